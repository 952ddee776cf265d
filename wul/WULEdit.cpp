#include "wul/WULEdit.h"
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include "wul/WULInit.h"
#include "wul/WULMath.h"
#include "wul/WULSystem.h"

namespace {

const int kMaxDecimals = 15;
const double kPowers[kMaxDecimals + 1] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
// The largest magnitude whose scaled digits still fit a 64-bit integer.
const double kLargestScaled = 9.0e18;

int ClampDecimals(int n) { return std::max(0, std::min(kMaxDecimals, n)); }

bool SameValue(double a, double b) { return a == b; }

}  // namespace

// --- CWULEdit ---

CWULEdit::CWULEdit() : numbersOnly(0), passwordChar(0), caseConversion(WUL_CASE_NONE), frameKind(WUL_FRAME_BEVEL_LINE) {
  width = 64;
  height = wulControlTextHeight + 6;
  flagsA |= WUL_IF_TAB_STOP;
}

bool CWULEdit::GetNumbersOnly() { return numbersOnly != 0; }

void CWULEdit::SetNumbersOnly(bool on) {
  numbersOnly = on ? 1 : 0;
  RecreateEditor();
}

char CWULEdit::GetPasswordChar() { return passwordChar; }

void CWULEdit::SetPasswordChar(char ch) {
  passwordChar = ch;
  if (editWindow) {
    SendMessageA(editWindow, EM_SETPASSWORDCHAR, static_cast<WPARAM>(static_cast<unsigned char>(ch)), 0);
    InvalidateRect(editWindow, nullptr, TRUE);
  }
}

int CWULEdit::GetCaseConversion() { return caseConversion; }

void CWULEdit::SetCaseConversion(int value) {
  caseConversion = value;
  RecreateEditor();
}

int CWULEdit::GetFrameKind() { return frameKind; }

void CWULEdit::SetFrameKind(int kind) {
  frameKind = kind;
  PlaceEditor();
}

DWORD CWULEdit::ComputeNativeStyle() {
  DWORD value = CWULProtoEdit::ComputeNativeStyle();
  if (numbersOnly)
    value |= ES_NUMBER;
  if (caseConversion == WUL_CASE_LOWER)
    value |= ES_LOWERCASE;
  else if (caseConversion == WUL_CASE_UPPER)
    value |= ES_UPPERCASE;
  return value;
}

void CWULEdit::OnEditorCreated() {
  SendMessageA(editWindow, EM_SETPASSWORDCHAR, static_cast<WPARAM>(static_cast<unsigned char>(passwordChar)), 0);
}

void CWULEdit::ComputeEditRect(RECT* rect) {
  const int inset = wulFrameInset(frameKind);
  rect->left = inset + leftMargin;
  rect->top = inset + topMargin;
  rect->right = std::max(static_cast<int>(rect->left), width - inset - rightMargin);
  rect->bottom = std::max(static_cast<int>(rect->top), height - inset - bottomMargin);
}

void CWULEdit::PaintControl(HDC dc) {
  RECT all = {0, 0, width, height};
  wulPaintFrameKind(dc, &all, frameKind, wulParentColor(this));
  wulDeflateRect(&all, wulFrameInset(frameKind));
  wulFillColor(dc, &all, GetColor());
}

// --- CWULSpinEdit ---

CWULSpinEdit::CWULSpinEdit()
    : buttonColor(wulColors[14]),
      arrowColor(wulColors[17]),
      valueChangedHandler(nullptr),
      frameKind(WUL_FRAME_BEVEL_LINE),
      buttonWidth(-1),
      minimum(0.0),
      maximum(100.0),
      step(1.0),
      value(0.0),
      minDecimals(0),
      maxDecimals(0),
      upRect{0, 0, 0, 0},
      downRect{0, 0, 0, 0},
      upPressed(0),
      downPressed(0),
      pressedButton(WUL_SPIN_NONE),
      pressMode(WUL_PRESS_NONE),
      repeatMode(WUL_REPEAT_OFF),
      wheelRemainder(0.0f),
      lastWheelStep(0.0f),
      reportedValue(0.0) {
  buttonColor.listener = this;
  arrowColor.listener = this;
  width = 64;
  height = wulControlTextHeight + 6;
  flagsA |= WUL_IF_TAB_STOP;
  UpdateText();
}

CWULSpinEdit::~CWULSpinEdit() {
  if (window)
    KillTimer(window, WUL_SPIN_TIMER_ID);
}

double CWULSpinEdit::Clamp(double x) const {
  if (std::isnan(x))
    return minimum;
  return std::max(minimum, std::min(maximum, x));
}

void CWULSpinEdit::SetValue(double x) {
  value = Clamp(x);
  UpdateText();
}

double CWULSpinEdit::GetValue() { return value; }

int CWULSpinEdit::GetValueRounded() {
  const double limit = 2147483647.0;
  return wulRoundDouble(std::max(-limit, std::min(limit, value)));
}

double CWULSpinEdit::GetMinimum() { return minimum; }

void CWULSpinEdit::SetMinimum(double x) {
  if (std::isnan(x))
    return;
  minimum = x;
  maximum = std::max(maximum, x);
  SetValue(value);
}

double CWULSpinEdit::GetMaximum() { return maximum; }

void CWULSpinEdit::SetMaximum(double x) {
  if (std::isnan(x))
    return;
  maximum = x;
  minimum = std::min(minimum, x);
  SetValue(value);
}

int CWULSpinEdit::GetMinDecimals() { return minDecimals; }

void CWULSpinEdit::SetMinDecimals(int n) {
  minDecimals = ClampDecimals(n);
  maxDecimals = std::max(maxDecimals, minDecimals);
  SetValue(value);
}

int CWULSpinEdit::GetMaxDecimals() { return maxDecimals; }

void CWULSpinEdit::SetMaxDecimals(int n) {
  maxDecimals = ClampDecimals(n);
  minDecimals = std::min(minDecimals, maxDecimals);
  SetValue(value);
}

double CWULSpinEdit::GetStep() { return step; }
void CWULSpinEdit::SetStep(double x) { step = x; }
void CWULSpinEdit::StepUp() { SetValue(value + step); }
void CWULSpinEdit::StepDown() { SetValue(value - step); }

void CWULSpinEdit::UpdateText() {
  char formatted[WUL_NUMBER_BUFFER];
  FormatNumber(formatted, value);
  const double shown = ParseNumber(formatted);
  const bool changed = !text.Equals(formatted) || !SameValue(shown, value);
  if (changed) {
    SetTextSilently(formatted);
    value = shown;
  }
  // A typed value that needed no new text is announced here too.
  if (changed || !SameValue(value, reportedValue)) {
    reportedValue = value;
    if (valueChangedHandler) {
      CWULCallbackBracket bracket(this);
      valueChangedHandler(this);
    }
  }
}

void CWULSpinEdit::ShowValue(double x) {
  char formatted[WUL_NUMBER_BUFFER];
  FormatNumber(formatted, x);
  const double shown = ParseNumber(formatted);
  if (!text.Equals(formatted) || !SameValue(shown, value)) {
    SetTextSilently(formatted);
    value = shown;
  }
}

void CWULSpinEdit::ReadText() { value = Clamp(ParseNumber(text.text)); }

void CWULSpinEdit::FormatNumber(char* buffer, double x) {
  const int decimals = ClampDecimals(maxDecimals);
  const int least = std::min(decimals, ClampDecimals(minDecimals));
  if (!std::isfinite(x))
    x = 0.0;
  const bool negative = x < 0.0;
  const double scaled = std::min(std::fabs(x) * kPowers[decimals], kLargestScaled);
  const int64_t number = wulRoundDoubleToInt64(scaled);
  // The digits, at least one more than the decimals.
  char digits[24];
  int count = 0;
  uint64_t rest = static_cast<uint64_t>(number);
  do {
    digits[count++] = static_cast<char>('0' + rest % 10);
    rest /= 10;
  } while (rest && count < 20);
  while (count < decimals + 1)
    digits[count++] = '0';
  int fraction = decimals;
  // Trailing zeros go while more than the least fraction digits remain.
  int skipped = 0;
  while (fraction > least && digits[skipped] == '0') {
    skipped++;
    fraction--;
  }
  char* out = buffer;
  if (negative && number != 0)
    *out++ = '-';
  for (int i = count - 1; i >= decimals; i--)
    *out++ = digits[i];
  if (fraction > 0) {
    *out++ = '.';
    for (int i = decimals - 1; i >= decimals - fraction; i--)
      *out++ = digits[i];
  }
  *out = '\0';
}

double CWULSpinEdit::ParseNumber(const char* source) {
  if (!source)
    return 0.0;
  const char* p = source;
  while (*p == ' ')
    p++;
  bool negative = false;
  if (*p == '-') {
    negative = true;
    p++;
  }
  int64_t mantissa = 0;
  int fraction = 0;    // digits after the separator
  int dropped = 0;     // integer digits beyond what the mantissa holds
  bool separator = false;
  // Digits that would scale the result out of range are ignored: the program runs with
  // overflow and denormal operands trapping, and a value of hundreds of fraction digits would
  // leave denormals in the arithmetic that follows. Fraction digits count only as far as the
  // mantissa's 18 digits reach; the magnitude of a long integer part is kept far below the
  // largest double.
  const int kMostFractionDigits = 18;
  const int kMostDroppedDigits = 280;
  for (;; p++) {
    if (*p >= '0' && *p <= '9') {
      if (mantissa < 100000000000000000LL && (!separator || fraction < kMostFractionDigits)) {
        mantissa = mantissa * 10 + (*p - '0');
        if (separator)
          fraction++;
      } else if (!separator && dropped < kMostDroppedDigits) {
        dropped++;
      }
    } else if ((*p == '.' || *p == ',') && !separator) {
      separator = true;
    } else {
      break;
    }
  }
  double result = static_cast<double>(mantissa);
  if (dropped > 0)
    result *= std::pow(10.0, dropped);
  if (fraction > 0)
    result /= std::pow(10.0, fraction);
  return negative ? -result : result;
}

int CWULSpinEdit::GetFrameKind() { return frameKind; }

void CWULSpinEdit::SetFrameKind(int kind) {
  frameKind = kind;
  PlaceEditor();
}

int CWULSpinEdit::GetButtonWidth() { return buttonWidth; }

void CWULSpinEdit::SetButtonWidth(int value_) {
  buttonWidth = value_;
  PlaceEditor();
}

void CWULSpinEdit::GeometryHook() {
  RECT inner = {0, 0, width, height};
  wulDeflateRect(&inner, wulFrameInset(frameKind));
  int w = buttonWidth;
  if (w < 0)
    w = std::max(0, static_cast<int>(inner.bottom - inner.top) - 1) | 1;
  w = std::min(w, static_cast<int>(std::max(0L, inner.right - inner.left)));
  const int middle = (inner.top + inner.bottom) / 2;
  upRect = {inner.right - w, inner.top, inner.right, middle};
  downRect = {inner.right - w, middle, inner.right, std::max(middle, static_cast<int>(inner.bottom))};
  CWULProtoEdit::GeometryHook();
}

void CWULSpinEdit::ComputeEditRect(RECT* rect) {
  const int inset = wulFrameInset(frameKind);
  const int separator = frameKind == WUL_FRAME_LINE || frameKind == WUL_FRAME_BEVEL_LINE ? 1 : 0;
  rect->left = inset + leftMargin;
  rect->top = inset + topMargin;
  rect->right = std::max(static_cast<int>(rect->left), static_cast<int>(upRect.left) - separator - rightMargin);
  rect->bottom = std::max(static_cast<int>(rect->top), height - inset - bottomMargin);
}

void CWULSpinEdit::PaintControl(HDC dc) {
  RECT all = {0, 0, width, height};
  wulPaintFrameKind(dc, &all, frameKind, wulParentColor(this));
  const int inset = wulFrameInset(frameKind);
  const bool separator = frameKind == WUL_FRAME_LINE || frameKind == WUL_FRAME_BEVEL_LINE;
  RECT area = {inset, inset, upRect.left - (separator ? 1 : 0), height - inset};
  wulFillColor(dc, &area, GetColor());
  if (separator && upRect.right > upRect.left) {
    HPEN shade = CreatePen(PS_SOLID, 1, wulColors[1].GetColorRef());
    if (shade) {
      wulDrawLine(dc, upRect.left - 1, upRect.top, upRect.left - 1, downRect.bottom, shade);
      DeleteObject(shade);
    }
  }
  CWULPenBrush pens;
  if (!pens.Create(buttonColor))
    return;
  const CWULColor ink(IsEnabled() ? arrowColor : arrowColor.Blend(buttonColor, 0.5f));
  const RECT* faces[2] = {&upRect, &downRect};
  const bool down[2] = {upPressed != 0, downPressed != 0};
  for (int i = 0; i < 2; i++) {
    const RECT& face = *faces[i];
    if (face.right <= face.left || face.bottom <= face.top)
      continue;
    wulPaintFace(dc, &face, pens, down[i]);
    RECT content = face;
    if (down[i])
      wulOffsetRect(&content, 1, 1);
    wulPaintArrow(dc, &content, i == 0, std::max(1, static_cast<int>(face.bottom - face.top) / 3), ink);
  }
}

void CWULSpinEdit::OnTextChanged() { ReadText(); }

void CWULSpinEdit::RepaintButtons() {
  RECT both = {upRect.left, upRect.top, downRect.right, downRect.bottom};
  CWULTextControl::Redraw(&both);
}

void CWULSpinEdit::SetRepeatMode(int mode) {
  if (window)
    KillTimer(window, WUL_SPIN_TIMER_ID);
  repeatMode = mode;
  if (!window || mode == WUL_REPEAT_OFF)
    return;
  const int delay = mode == WUL_REPEAT_FIRST ? wulRepeatDelay : wulRepeatPeriod;
  if (!SetTimer(window, WUL_SPIN_TIMER_ID, static_cast<UINT>(std::max(1, delay)), nullptr))
    repeatMode = WUL_REPEAT_OFF;
}

void CWULSpinEdit::SetPressMode(int mode) {
  const int old = pressMode;
  pressMode = mode;
  if (mode == WUL_PRESS_NONE) {
    SetRepeatMode(WUL_REPEAT_OFF);
    if (old == WUL_PRESS_MOUSE && window && GetCapture() == window)
      ReleaseCapture();
    const bool shown = upPressed || downPressed;
    upPressed = downPressed = 0;
    pressedButton = WUL_SPIN_NONE;
    if (shown)
      RepaintButtons();
    return;
  }
  if (mode == WUL_PRESS_MOUSE && window)
    SetCapture(window);
  SetRepeatMode(WUL_REPEAT_FIRST);
}

void CWULSpinEdit::StartPress(int button, int mode) {
  pressedButton = button;
  upPressed = button == WUL_SPIN_UP ? 1 : 0;
  downPressed = button == WUL_SPIN_DOWN ? 1 : 0;
  SetPressMode(mode);
  RepaintButtons();
  StepPressed();
}

void CWULSpinEdit::StepPressed() {
  if (pressedButton == WUL_SPIN_UP && upPressed)
    StepUp();
  else if (pressedButton == WUL_SPIN_DOWN && downPressed)
    StepDown();
}

LRESULT CWULSpinEdit::OnTimer(WPARAM id, LPARAM lParam) {
  if (id != WUL_SPIN_TIMER_ID)
    return CWULProtoEdit::OnTimer(id, lParam);
  if (repeatMode == WUL_REPEAT_FIRST) {
    SetRepeatMode(WUL_REPEAT_RUNNING);
    StepPressed();
  } else if (repeatMode == WUL_REPEAT_RUNNING) {
    StepPressed();
  } else if (window) {
    KillTimer(window, WUL_SPIN_TIMER_ID);
  }
  return 0;
}

LRESULT CWULSpinEdit::OnLButtonDown(int, int mx, int my) {
  if (pressMode != WUL_PRESS_NONE)
    return 0;
  if (wulPtInRect(mx, my, &upRect))
    StartPress(WUL_SPIN_UP, WUL_PRESS_MOUSE);
  else if (wulPtInRect(mx, my, &downRect))
    StartPress(WUL_SPIN_DOWN, WUL_PRESS_MOUSE);
  return 0;
}

LRESULT CWULSpinEdit::OnLButtonDblClk(int keys, int mx, int my) { return OnLButtonDown(keys, mx, my); }

LRESULT CWULSpinEdit::OnMouseMove(int, int mx, int my) {
  if (pressMode != WUL_PRESS_MOUSE)
    return 0;
  const RECT& face = pressedButton == WUL_SPIN_UP ? upRect : downRect;
  uint8_t& shown = pressedButton == WUL_SPIN_UP ? upPressed : downPressed;
  const uint8_t inside = wulPtInRect(mx, my, &face) ? 1 : 0;
  if (inside != shown) {
    shown = inside;
    RepaintButtons();
  }
  return 0;
}

LRESULT CWULSpinEdit::OnLButtonUp(int, int, int) {
  if (pressMode == WUL_PRESS_MOUSE)
    SetPressMode(WUL_PRESS_NONE);
  return 0;
}

LRESULT CWULSpinEdit::OnCaptureChanged(HWND newCapture) {
  if (pressMode == WUL_PRESS_MOUSE && newCapture != window)
    SetPressMode(WUL_PRESS_NONE);
  return CWULProtoEdit::OnCaptureChanged(newCapture);
}

LRESULT CWULSpinEdit::OnKillFocus(HWND next) {
  if (next != editWindow) {
    UpdateText();
    SetPressMode(WUL_PRESS_NONE);
  }
  return CWULProtoEdit::OnKillFocus(next);
}

LRESULT CWULSpinEdit::OnKeyDown(int key, LPARAM lParam) {
  if (key == VK_UP || key == VK_DOWN) {
    if (pressMode == WUL_PRESS_NONE)
      StartPress(key == VK_UP ? WUL_SPIN_UP : WUL_SPIN_DOWN, WUL_PRESS_KEYBOARD);
    return 0;
  }
  if (key == VK_RETURN) {
    char before[64];
    std::strncpy(before, text.text, sizeof before - 1);
    before[sizeof before - 1] = '\0';
    UpdateText();
    if (std::strcmp(before, text.text) != 0)
      return 0;
  }
  return CWULProtoEdit::OnKeyDown(key, lParam);
}

LRESULT CWULSpinEdit::OnKeyUp(int key, LPARAM lParam) {
  if (key == VK_UP || key == VK_DOWN) {
    const int button = key == VK_UP ? WUL_SPIN_UP : WUL_SPIN_DOWN;
    if (pressMode == WUL_PRESS_KEYBOARD && pressedButton == button)
      SetPressMode(WUL_PRESS_NONE);
    return 0;
  }
  return CWULProtoEdit::OnKeyUp(key, lParam);
}

LRESULT CWULSpinEdit::OnMouseWheel(float notches, int, int, int) {
  if (pressMode != WUL_PRESS_NONE || !(notches == notches))
    return 0;
  if ((notches > 0.0f && lastWheelStep < 0.0f) || (notches < 0.0f && lastWheelStep > 0.0f))
    wheelRemainder = 0.0f;
  lastWheelStep = notches;
  wheelRemainder += notches;
  const int steps = wulRoundFloat(wheelRemainder);
  wheelRemainder -= static_cast<float>(steps);
  for (int i = 0; i < steps; i++)
    StepUp();
  for (int i = 0; i > steps; i--)
    StepDown();
  return 0;
}
