#include "wul/WULControl.h"
#include "wul/WULFramedWindow.h"
#include "wul/WULInit.h"
#include "wul/WULShared.h"

// --- CWULControl ---

CWULControl::CWULControl() : alignment(0) {
  style |= WS_CHILD;
  listener = parent;
}

CWULControl::~CWULControl() {
  if (listener) {
    alignment = 0;
    NotifyChanged();
    listener = nullptr;
  }
}

void CWULControl::SetAlignment(int code) {
  alignment = code;
  NotifyChanged();
}

void CWULControl::SetParent(CWULInteractor* newParent) {
  CWULInteractor::SetParent(newParent);
  if (listener != parent) {
    NotifyChanged();
    listener = parent;
    NotifyChanged();
  }
}

void CWULControl::SetVisible(bool on) {
  if (on == IsVisible())
    return;
  CWULInteractor::SetVisible(on);
  NotifyChanged();
}

int CWULControl::GetAlignment() { return alignment; }

LRESULT CWULControl::OnEraseBackground(HDC dc) {
  if (!(flagsB & WUL_IF_ERASE_SUPPRESSED) && listener && listener->classCode == WUL_CLASS_INTERACTOR)
    wulFillUpdateArea(window, dc, static_cast<CWULInteractor*>(listener)->GetColor());
  return 1;
}

// --- CWULTextControl ---

CWULTextControl::CWULTextControl()
    : hAlign(WUL_HALIGN_LEFT), vAlign(WUL_VALIGN_CENTER), multiLine(0), wordWrap(0), mnemonic(0) {}

int CWULTextControl::GetHAlign() { return hAlign; }

void CWULTextControl::SetHAlign(int value) {
  hAlign = value;
  OnFontChanged();
}

int CWULTextControl::GetVAlign() { return vAlign; }

void CWULTextControl::SetVAlign(int value) {
  vAlign = value;
  OnFontChanged();
}

bool CWULTextControl::GetMultiLine() { return multiLine != 0; }

void CWULTextControl::SetMultiLine(bool on) {
  multiLine = on ? 1 : 0;
  OnFontChanged();
}

bool CWULTextControl::GetWordWrap() { return wordWrap != 0; }

void CWULTextControl::SetWordWrap(bool on) {
  wordWrap = on ? 1 : 0;
  OnFontChanged();
}

bool CWULTextControl::GetMnemonic() { return mnemonic != 0; }

void CWULTextControl::SetMnemonic(bool on) {
  mnemonic = on ? 1 : 0;
  OnFontChanged();
}

void CWULTextControl::SetText(const char* newText) {
  if (text.Equals(newText ? newText : ""))
    return;
  CWULControl::SetText(newText);
  OnFontChanged();
}

UINT CWULTextControl::TextFlags() const { return mnemonic ? 0u : static_cast<UINT>(DT_NOPREFIX); }

namespace {

// The screen DC for a measurement without one, released also when an exception passes.
class ScreenDC {
public:
  explicit ScreenDC(HDC given) : m_dc(given), m_own(!given) {
    if (m_own)
      m_dc = GetDC(nullptr);
  }
  ~ScreenDC() {
    if (m_own && m_dc)
      ReleaseDC(nullptr, m_dc);
  }
  ScreenDC(const ScreenDC&) = delete;
  ScreenDC& operator=(const ScreenDC&) = delete;
  HDC Get() const { return m_dc; }

private:
  HDC m_dc;
  bool m_own;
};

}  // namespace

void CWULTextControl::MeasureText(HDC dc, RECT* rect) {
  if (!rect)
    return;
  ScreenDC screen(dc);
  if (!screen.Get())
    return;
  CWULTextFont textFont(&GetFont());
  textFont.Select(screen.Get());
  UINT flags = DT_CALCRECT | TextFlags();
  if (!multiLine)
    flags |= DT_SINGLELINE;
  else if (wordWrap)
    flags |= DT_WORDBREAK;
  RECT box = {0, 0, rect->right - rect->left, 0};
  DrawTextA(screen.Get(), text.text, -1, &box, flags);
  const int w = box.right - box.left;
  const int h = box.bottom - box.top;
  int left = rect->left;
  if (hAlign == WUL_HALIGN_CENTER)
    left = rect->left + (rect->right - rect->left - w) / 2;
  else if (hAlign == WUL_HALIGN_RIGHT)
    left = rect->right - w;
  int top = rect->top;
  if (vAlign == WUL_VALIGN_CENTER)
    top = rect->top + (rect->bottom - rect->top - h) / 2;
  else if (vAlign == WUL_VALIGN_BOTTOM)
    top = rect->bottom - h;
  rect->left = left;
  rect->top = top;
  rect->right = left + w;
  rect->bottom = top + h;
}

void CWULTextControl::DrawCaption(HDC dc, const RECT* rect) {
  if (!dc || !rect)
    return;
  CWULFont& textFont = GetFont();
  CWULTextFont selected(&textFont);
  if (!IsEnabled())
    selected.SetColor(textFont.color.Blend(GetColor(), 0.5f));
  selected.Select(dc);
  UINT flags = TextFlags();
  if (hAlign == WUL_HALIGN_CENTER)
    flags |= DT_CENTER;
  else if (hAlign == WUL_HALIGN_RIGHT)
    flags |= DT_RIGHT;

  HRGN saved = CreateRectRgn(0, 0, 0, 0);
  const int hadClip = saved ? GetClipRgn(dc, saved) : -1;
  IntersectClipRect(dc, rect->left, rect->top, rect->right, rect->bottom);
  RECT area = *rect;
  if (multiLine) {
    if (wordWrap)
      flags |= DT_WORDBREAK;
    RECT box = *rect;
    DrawTextA(dc, text.text, -1, &box, flags | DT_CALCRECT);
    const int h = box.bottom - box.top;
    if (vAlign == WUL_VALIGN_CENTER)
      area.top = rect->top + (rect->bottom - rect->top - h) / 2;
    else if (vAlign == WUL_VALIGN_BOTTOM)
      area.top = rect->bottom - h;
    area.bottom = area.top + h;
  } else {
    flags |= DT_SINGLELINE;
    if (vAlign == WUL_VALIGN_CENTER)
      flags |= DT_VCENTER;
    else if (vAlign == WUL_VALIGN_BOTTOM)
      flags |= DT_BOTTOM;
  }
  DrawTextA(dc, text.text, -1, &area, flags);
  SelectClipRgn(dc, hadClip == 1 ? saved : nullptr);
  if (saved)
    DeleteObject(saved);
}

LRESULT CWULTextControl::OnSetFocus(HWND) {
  Redraw();
  return 0;
}

LRESULT CWULTextControl::OnKillFocus(HWND) {
  Redraw();
  return 0;
}

// --- CWULPushButton ---

CWULPushButton::CWULPushButton()
    : pressCallback(nullptr),
      checkedChangedCallback(nullptr),
      groupPrev(nullptr),
      groupNext(nullptr),
      behaviour(WUL_BEHAVIOUR_PUSH),
      pressed(0),
      checked(0),
      faceRect{0, 0, 0, 0},
      captureMode(0) {
  flagsA |= WUL_IF_TAB_STOP;
}

CWULPushButton::~CWULPushButton() { LeaveGroup(); }

CWULPushButton* CWULPushButton::JoinGroup(CWULPushButton* other) {
  return wulJoinGroup(this, other, &CWULPushButton::groupPrev, &CWULPushButton::groupNext);
}

void CWULPushButton::LeaveGroup() { wulLeaveGroup(this, &CWULPushButton::groupPrev, &CWULPushButton::groupNext); }

void CWULPushButton::PerformClick() {
  Click();
  OnColorChanged();
}

bool CWULPushButton::IsChecked() { return checked != 0; }

void CWULPushButton::SetChecked(bool on) {
  if (on == IsChecked())
    return;
  checked = on ? 1 : 0;
  Redraw(&faceRect);
  if (checkedChangedCallback) {
    CWULCallbackBracket bracket(this);
    checkedChangedCallback(this);
  }
}

void CWULPushButton::Click() {
  if (pressCallback) {
    CWULCallbackBracket bracket(this);
    pressCallback(this);
  }
  if (behaviour == WUL_BEHAVIOUR_EXCLUSIVE) {
    if (checked)
      return;
    for (CWULPushButton* member = groupPrev; member; member = member->groupPrev)
      member->SetChecked(false);
    for (CWULPushButton* member = groupNext; member; member = member->groupNext)
      member->SetChecked(false);
    SetChecked(true);
  } else if (behaviour == WUL_BEHAVIOUR_TOGGLE) {
    SetChecked(!checked);
  }
}

void CWULPushButton::OnPress() {}

void CWULPushButton::Activate() { Click(); }

void CWULPushButton::GetCentre(POINT* point) {
  RECT rect;
  GetScreenRect(&rect);
  point->x = (rect.left + rect.right) / 2;
  point->y = (rect.top + rect.bottom) / 2;
}

void CWULPushButton::GeometryHook() {
  CWULTextControl::GeometryHook();
  faceRect = {0, 0, width, height};
}

// Starts a press; the capture mode is already set.
void CWULPushButton::Press() {
  if (window)
    SetCapture(window);
  pressed = 1;
  try {
    OnPress();
  } catch (...) {
    // A failed press leaves the control released, not stuck pressed.
    captureMode = 0;
    pressed = 0;
    if (window && GetCapture() == window)
      ReleaseCapture();
    Redraw();
    throw;
  }
  Redraw();
}

// Ends a press; a press still on the control clicks it when asked to.
void CWULPushButton::Release(bool click) {
  captureMode = 0;
  if (window && GetCapture() == window)
    ReleaseCapture();
  if (!pressed)
    return;
  if (click) {
    try {
      Activate();
    } catch (...) {
      pressed = 0;
      Redraw();
      throw;
    }
  }
  pressed = 0;
  Redraw();
}

LRESULT CWULPushButton::OnLButtonDown(int, int, int) {
  if (captureMode)
    return 0;
  if (!pressed) {
    captureMode = 2;
    Press();
  }
  if (CanFocus())
    Focus(true);
  return 0;
}

LRESULT CWULPushButton::OnLButtonDblClk(int keys, int mx, int my) { return OnLButtonDown(keys, mx, my); }

LRESULT CWULPushButton::OnMouseMove(int, int mx, int my) {
  if (captureMode == 2) {
    const uint8_t inside = mx >= 0 && my >= 0 && mx < width && my < height ? 1 : 0;
    if (inside != pressed) {
      pressed = inside;
      Redraw();
    }
  }
  return 0;
}

LRESULT CWULPushButton::OnLButtonUp(int, int, int) {
  if (captureMode == 2)
    Release(true);
  return 0;
}

LRESULT CWULPushButton::OnKillFocus(HWND next) {
  captureMode = 0;
  if (window && GetCapture() == window)
    ReleaseCapture();
  if (pressed) {
    pressed = 0;
    Redraw();
  }
  return CWULTextControl::OnKillFocus(next);
}

LRESULT CWULPushButton::OnKeyDown(int key, LPARAM lParam) {
  if (wulIsCtrlDown() || wulIsShiftDown())
    return CWULTextControl::OnKeyDown(key, lParam);
  switch (key) {
    case VK_SPACE:
      if (captureMode || pressed || GetCapture())
        return 0;
      captureMode = 1;
      Press();
      return 0;
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
      MoveFocusInGroup(key);
      return 0;
    default:
      return CWULTextControl::OnKeyDown(key, lParam);
  }
}

LRESULT CWULPushButton::OnKeyUp(int key, LPARAM lParam) {
  // A space press ends with its key whatever modifiers came meanwhile.
  if (key == VK_SPACE && captureMode == 1) {
    Release(true);
    return 0;
  }
  return CWULTextControl::OnKeyUp(key, lParam);
}

void CWULPushButton::MoveFocusInGroup(int key) {
  CWULPushButton* head = this;
  while (head->groupPrev)
    head = head->groupPrev;
  POINT own;
  GetCentre(&own);
  CWULPushButton* best = nullptr;
  long long bestDistance = 0;
  // Members before this one come first, so they win a tie.
  for (CWULPushButton* member = head; member; member = member->groupNext) {
    if (member == this || !member->CanFocus())
      continue;
    POINT centre;
    member->GetCentre(&centre);
    const long long dx = centre.x - own.x;
    const long long dy = centre.y - own.y;
    const long long adx = dx < 0 ? -dx : dx;
    const long long ady = dy < 0 ? -dy : dy;
    bool fits = false;
    switch (key) {
      case VK_DOWN: fits = ady >= adx && dy >= 1; break;
      case VK_UP: fits = ady >= adx && dy < 0; break;
      case VK_RIGHT: fits = adx >= ady && dx >= 1; break;
      default: fits = adx >= ady && dx < 0; break;
    }
    if (!fits)
      continue;
    const long long distance = dx * dx + dy * dy;
    if (!best || distance < bestDistance) {
      best = member;
      bestDistance = distance;
    }
  }
  if (!best)
    return;
  pressed = 0;
  best->Focus(true);
}
