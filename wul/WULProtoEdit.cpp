#include "wul/WULProtoEdit.h"
#include <algorithm>
#include <vector>
#include "wul/WULCoverage.h"
#include "wul/WULError.h"
#include "wul/WULImage.h"
#include "wul/WULInit.h"
#include "wul/WULPaintKit.h"
#include "wul/WULShared.h"
#include "wul/WULSystem.h"

namespace {

const char kPreviousProcProperty[] = "WULEditPrevProc";
const int kChangeNotification = EN_CHANGE;  // 768

// A key that the framework handles everywhere: Pause, Escape and the function keys.
bool IsFrameworkKey(int key) { return key == VK_PAUSE || key == VK_ESCAPE || (key >= VK_F1 && key <= VK_F24); }

// Keys that go into the edit while Ctrl is down: navigation, Insert, Delete and the
// clipboard and undo letters.
bool IsEditCtrlKey(int key) {
  return (key >= VK_PRIOR && key <= VK_DOWN) || key == VK_INSERT || key == VK_DELETE || key == 'C' || key == 'V' ||
         key == 'X' || key == 'Y' || key == 'Z';
}

bool IsClipboardChar(int ch) { return ch == 3 || ch == 22 || ch == 24 || ch == 25 || ch == 26; }

CWULProtoEdit* OwnerOf(HWND edit) {
  HWND parentWindow = GetParent(edit);
  if (!parentWindow)
    return nullptr;
  auto* object = reinterpret_cast<CWULInteractor*>(GetWindowLongPtrA(parentWindow, GWLP_USERDATA));
  auto* owner = dynamic_cast<CWULProtoEdit*>(object);
  return owner && owner->editWindow == edit ? owner : nullptr;
}

}  // namespace

LRESULT CALLBACK wulEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
  auto previous = reinterpret_cast<WNDPROC>(GetPropA(edit, kPreviousProcProperty));
  switch (message) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
    case WM_MOUSEWHEEL:
    case WUL_MSG_FORWARDED_WHEEL:
      if (CWULProtoEdit* owner = OwnerOf(edit))
        return SendMessageA(owner->GetHandle(), message, wParam, lParam);
      break;
    default:
      break;
  }
  // Without its framework window the edit still runs its own procedure, so that it
  // can clean up when it is destroyed.
  LRESULT result = previous ? CallWindowProcA(previous, edit, message, wParam, lParam)
                            : DefWindowProcA(edit, message, wParam, lParam);
  if (message == WM_NCDESTROY)
    RemovePropA(edit, kPreviousProcProperty);
  return result;
}

// --- CWULProtoEdit ---

CWULProtoEdit::CWULProtoEdit()
    : changeCallback(nullptr),
      textLimit(0x3FFF),
      readOnly(0),
      selectAllOnFocus(1),
      tabIntoText(0),
      notifyChanges(1),
      clipboardGuard(0),
      leftMargin(1),
      topMargin(1),
      rightMargin(1),
      bottomMargin(1),
      nativeStyle(WS_CHILD | WS_CLIPSIBLINGS | ES_WANTRETURN | ES_AUTOVSCROLL),
      editWindow(nullptr),
      editFont(nullptr),
      editBrush(nullptr),
      previousProc(nullptr),
      editRect{0, 0, 0, 0},
      m_settingText(0) {
  width = 64;
  height = wulControlTextHeight + 2;
  color.value = wulColors[16].value;
  flagsA &= ~(WUL_IF_PARENT_COLOR | WUL_IF_PARENT_FONT);
  font.SetStandard(3);
  flagsA &= ~WUL_IF_PARENT_FONT;
}

CWULProtoEdit::~CWULProtoEdit() {
  DestroyEditor();
  if (editFont)
    DeleteObject(editFont);
  if (editBrush)
    DeleteObject(editBrush);
}

void CWULProtoEdit::SelectAll() { SetSelection(0, -1); }

void CWULProtoEdit::SetSelection(int start, int end) {
  if (editWindow)
    SendMessageA(editWindow, EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(end));
}

void CWULProtoEdit::CollapseSelection() {
  const int end = GetSelEnd();
  if (end >= 0)
    SetSelection(end, end);
}

void CWULProtoEdit::SetTextSilently(const char* newText) {
  const uint8_t notify = notifyChanges;
  notifyChanges = 0;
  try {
    SetText(newText);
  } catch (...) {
    notifyChanges = notify;
    throw;
  }
  notifyChanges = notify;
}

int CWULProtoEdit::GetLeftMargin() { return leftMargin; }
int CWULProtoEdit::GetTopMargin() { return topMargin; }
int CWULProtoEdit::GetRightMargin() { return rightMargin; }
int CWULProtoEdit::GetBottomMargin() { return bottomMargin; }

void CWULProtoEdit::SetLeftMargin(int value) {
  leftMargin = value;
  PlaceEditor();
}

void CWULProtoEdit::SetTopMargin(int value) {
  topMargin = value;
  PlaceEditor();
}

void CWULProtoEdit::SetRightMargin(int value) {
  rightMargin = value;
  PlaceEditor();
}

void CWULProtoEdit::SetBottomMargin(int value) {
  bottomMargin = value;
  PlaceEditor();
}

int CWULProtoEdit::GetTextLimit() { return textLimit; }

void CWULProtoEdit::SetTextLimit(int value) {
  textLimit = std::max(0, value);
  if (editWindow)
    SendMessageA(editWindow, EM_LIMITTEXT, static_cast<WPARAM>(textLimit), 0);
}

bool CWULProtoEdit::GetReadOnly() { return readOnly != 0; }

void CWULProtoEdit::SetReadOnly(bool on) {
  readOnly = on ? 1 : 0;
  if (on)
    nativeStyle |= ES_READONLY;
  else
    nativeStyle &= ~static_cast<DWORD>(ES_READONLY);
  if (editWindow)
    SendMessageA(editWindow, EM_SETREADONLY, on ? TRUE : FALSE, 0);
}

bool CWULProtoEdit::GetSelectAllOnFocus() { return selectAllOnFocus != 0; }
void CWULProtoEdit::SetSelectAllOnFocus(bool on) { selectAllOnFocus = on ? 1 : 0; }
bool CWULProtoEdit::GetTabIntoText() { return tabIntoText != 0; }
void CWULProtoEdit::SetTabIntoText(bool on) { tabIntoText = on ? 1 : 0; }

int CWULProtoEdit::GetSelStart() {
  if (!editWindow)
    return -1;
  DWORD start = 0, end = 0;
  SendMessageA(editWindow, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return static_cast<int>(start);
}

int CWULProtoEdit::GetSelEnd() {
  if (!editWindow)
    return -1;
  DWORD start = 0, end = 0;
  SendMessageA(editWindow, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return static_cast<int>(end);
}

void CWULProtoEdit::OnTextChanged() {}

void CWULProtoEdit::ApplyFont() {
  if (!editWindow)
    return;
  SendMessageA(editWindow, WM_SETFONT, reinterpret_cast<WPARAM>(editFont), FALSE);
  SendMessageA(editWindow, EM_SETMARGINS, EC_LEFTMARGIN, MAKELPARAM(0, 0));
  SendMessageA(editWindow, EM_SETMARGINS, EC_RIGHTMARGIN, MAKELPARAM(0, 0));
  SendMessageA(editWindow, EM_LIMITTEXT, static_cast<WPARAM>(textLimit), 0);
}

LRESULT CWULProtoEdit::OnCtlColorEdit(HDC dc, HWND) {
  const CWULFont& textFont = GetFont();
  CWULColor ink(textFont.color);
  if (!IsEnabled())
    ink = textFont.color.Blend(GetColor(), 0.5f);
  SetTextColor(dc, ink.GetColorRef());
  SetBkColor(dc, GetColor().GetColorRef());
  if (!editBrush)
    MakeFontAndBrush();
  return reinterpret_cast<LRESULT>(editBrush);
}

LRESULT CWULProtoEdit::OnCtlColorStatic(HDC dc, HWND edit) { return OnCtlColorEdit(dc, edit); }

void CWULProtoEdit::ComputeEditRect(RECT* rect) {
  rect->left = leftMargin;
  rect->top = topMargin;
  rect->right = std::max(static_cast<int>(rect->left), width - rightMargin);
  rect->bottom = std::max(static_cast<int>(rect->top), height - bottomMargin);
}

DWORD CWULProtoEdit::ComputeNativeStyle() {
  DWORD value = WS_CHILD | WS_CLIPSIBLINGS | ES_WANTRETURN | ES_AUTOVSCROLL;
  if (hAlign == WUL_HALIGN_CENTER)
    value |= ES_CENTER;
  else if (hAlign == WUL_HALIGN_RIGHT)
    value |= ES_RIGHT;
  else
    value |= ES_LEFT;
  if (multiLine)
    value |= ES_MULTILINE;
  if (!(multiLine && wordWrap))
    value |= ES_AUTOHSCROLL;
  if (readOnly)
    value |= ES_READONLY;
  return value;
}

void CWULProtoEdit::PaintControl(HDC dc) {
  RECT all = {0, 0, width, height};
  wulFillColor(dc, &all, GetColor());
}

HWND CWULProtoEdit::Incarnate(HWND parentWindow) {
  if (window)
    return window;
  CWULTextControl::Incarnate(parentWindow);
  CreateEditor();
  return window;
}

void CWULProtoEdit::CreateEditor() {
  DestroyEditor();
  if (!window)
    return;
  nativeStyle = ComputeNativeStyle();
  GeometryHook();
  HWND created = CreateWindowExA(WS_EX_LEFT, "EDIT", "WULEditBox", nativeStyle, editRect.left, editRect.top,
                                 editRect.right - editRect.left, editRect.bottom - editRect.top, window, nullptr,
                                 wulInstance, nullptr);
  if (!created)
    wulThrowError(5, "CWULProtoEdit::Incarnate", "Cannot create editor window");
  m_settingText = 1;
  SetWindowTextA(created, text.text);
  m_settingText = 0;
  previousProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(created, GWLP_WNDPROC));
  SetPropA(created, kPreviousProcProperty, reinterpret_cast<HANDLE>(previousProc));
  SetWindowLongPtrA(created, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&wulEditProc));
  editWindow = created;
  if (!editFont)
    MakeFontAndBrush();
  ApplyFont();
  EnableWindow(editWindow, IsEnabled() ? TRUE : FALSE);
  OnEditorCreated();
  ShowWindow(editWindow, SW_SHOWNA);
  nativeStyle = static_cast<DWORD>(GetWindowLongA(editWindow, GWL_STYLE));
  wulRaisePendingException();
  // The edit may have converted the text (case conversion).
  if (TextFromEditor())
    NotifyTextChange();
}

void CWULProtoEdit::OnEditorCreated() {}

void CWULProtoEdit::DestroyEditor() {
  if (!editWindow)
    return;
  HWND edit = editWindow;
  // Taken off the framework first: its destruction is no event of the control.
  editWindow = nullptr;
  if (previousProc)
    SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc));
  RemovePropA(edit, kPreviousProcProperty);
  DestroyWindow(edit);
  previousProc = nullptr;
}

void CWULProtoEdit::RecreateEditor() {
  if (!editWindow)
    return;
  const bool focused = GetFocus() == editWindow;
  const int start = GetSelStart();
  const int end = GetSelEnd();
  CreateEditor();
  SetSelection(start, end);
  if (focused && editWindow)
    ::SetFocus(editWindow);
  Redraw();
}

void CWULProtoEdit::MakeFontAndBrush() {
  HFONT oldFont = editFont;
  HBRUSH oldBrush = editBrush;
  editFont = wulCreateFont(GetFont());
  editBrush = CreateSolidBrush(GetColor().GetColorRef());
  if (editWindow)
    ApplyFont();
  if (oldFont)
    DeleteObject(oldFont);
  if (oldBrush)
    DeleteObject(oldBrush);
}

LRESULT CWULProtoEdit::PassToEdit(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!editWindow || !previousProc)
    return 0;
  LRESULT result = CallWindowProcA(previousProc, editWindow, message, wParam, lParam);
  wulRaisePendingException();
  return result;
}

void CWULProtoEdit::PlaceEditor() {
  GeometryHook();
  if (editWindow) {
    SetWindowPos(editWindow, nullptr, editRect.left, editRect.top, editRect.right - editRect.left,
                 editRect.bottom - editRect.top, SWP_NOACTIVATE | SWP_NOZORDER);
    UpdateWindow(editWindow);
  }
  OnColorChanged();
}

void CWULProtoEdit::SetFocus() {
  if (!editWindow) {
    CWULTextControl::SetFocus();
    return;
  }
  ::SetFocus(editWindow);
  wulRaisePendingException();
  if (selectAllOnFocus)
    SelectAll();
}

void CWULProtoEdit::Redraw(const RECT* rect) {
  CWULTextControl::Redraw(rect);
  if (editWindow && (flagsA & WUL_IF_VISIBLE))
    RedrawWindow(editWindow, nullptr, nullptr, RDW_FRAME | RDW_ERASE | RDW_INVALIDATE | RDW_UPDATENOW);
}

void CWULProtoEdit::SetText(const char* newText) {
  if (!newText)
    newText = "";
  if (text.Equals(newText))
    return;
  CWULTextControl::SetText(newText);
  if (!editWindow)
    return;
  m_settingText = 1;
  SetWindowTextA(editWindow, text.text);
  m_settingText = 0;
  wulRaisePendingException();
  // Told here rather than by the edit, which stays silent for multi-line texts; the
  // text is what the edit made of it.
  TextFromEditor();
  NotifyTextChange();
}

void CWULProtoEdit::NotifyTextChange() {
  if (!notifyChanges)
    return;
  OnTextChanged();
  if (changeCallback) {
    CWULCallbackBracket bracket(this);
    changeCallback(this);
  }
}

bool CWULProtoEdit::CanFocus() { return CWULTextControl::CanFocus() && editWindow; }

void CWULProtoEdit::SetEnabled(bool on) {
  CWULTextControl::SetEnabled(on);
  if (editWindow)
    EnableWindow(editWindow, IsEnabled() ? TRUE : FALSE);
}

void CWULProtoEdit::OnColorChanged() {
  MakeFontAndBrush();
  CWULTextControl::OnColorChanged();
}

void CWULProtoEdit::GeometryHook() {
  CWULTextControl::GeometryHook();
  ComputeEditRect(&editRect);
}

void CWULProtoEdit::OnSizeChanged() {
  CWULTextControl::OnSizeChanged();
  if (editWindow) {
    SetWindowPos(editWindow, nullptr, editRect.left, editRect.top, editRect.right - editRect.left,
                 editRect.bottom - editRect.top, SWP_NOACTIVATE | SWP_NOZORDER);
    UpdateWindow(editWindow);
  }
}

bool CWULProtoEdit::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  switch (message) {
    case WM_CTLCOLOREDIT:
      *result = OnCtlColorEdit(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
      return true;
    case WM_CTLCOLORSTATIC:
      *result = OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
      return true;
    default:
      return CWULTextControl::Dispatch(message, wParam, lParam, result);
  }
}

LRESULT CWULProtoEdit::OnSetFocus(HWND previous) {
  if (editWindow && window && GetFocus() == window) {
    // The framework window itself got the focus: it belongs to the edit.
    ::SetFocus(editWindow);
    wulRaisePendingException();
  } else {
    PassToEdit(WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
  }
  return CWULTextControl::OnSetFocus(previous);
}

LRESULT CWULProtoEdit::OnKillFocus(HWND next) {
  if (next != editWindow)
    PassToEdit(WM_KILLFOCUS, reinterpret_cast<WPARAM>(next), 0);
  return CWULTextControl::OnKillFocus(next);
}

LRESULT CWULProtoEdit::RouteKey(UINT message, int key, LPARAM lParam) {
  const bool down = message == WM_KEYDOWN;
  bool framework = false;
  if (key == VK_RETURN)
    framework = !multiLine;
  else if (key == VK_TAB)
    framework = !(multiLine && tabIntoText && !wulIsCtrlDown());
  else
    framework = IsFrameworkKey(key);
  if (framework)
    return down ? CWULTextControl::OnKeyDown(key, lParam) : CWULTextControl::OnKeyUp(key, lParam);
  if (wulIsCtrlDown()) {
    if (key == 'A')
      return 0;  // select-all happens on its character
    if (!IsEditCtrlKey(key))
      return -1;  // left for the shortcut table
  }
  PassToEdit(message, static_cast<WPARAM>(key), lParam);
  return 0;
}

LRESULT CWULProtoEdit::OnKeyDown(int key, LPARAM lParam) { return RouteKey(WM_KEYDOWN, key, lParam); }

LRESULT CWULProtoEdit::OnKeyUp(int key, LPARAM lParam) { return RouteKey(WM_KEYUP, key, lParam); }

LRESULT CWULProtoEdit::OnChar(int key, LPARAM lParam) {
  const int ch = key & 0xFFFF;
  if (ch == 27 || (ch == '\r' && !multiLine) || (ch == '\t' && !(multiLine && tabIntoText)))
    return CWULTextControl::OnChar(key, lParam);
  if (!wulIsCtrlDown() || clipboardGuard) {
    PassToEdit(WM_CHAR, static_cast<WPARAM>(key), lParam);
    return 0;
  }
  if (ch == 1) {
    SelectAll();
    return 0;
  }
  if (IsClipboardChar(ch)) {
    clipboardGuard = 1;
    try {
      PassToEdit(WM_CHAR, static_cast<WPARAM>(key), lParam);
    } catch (...) {
      clipboardGuard = 0;
      throw;
    }
    clipboardGuard = 0;
    return 0;
  }
  if (ch < 32 || ch == 127)
    return -1;
  // A printable character typed with Ctrl (AltGr) is text.
  PassToEdit(WM_CHAR, static_cast<WPARAM>(key), lParam);
  return 0;
}

bool CWULProtoEdit::TextFromEditor() {
  if (!editWindow)
    return false;
  const int length = GetWindowTextLengthA(editWindow);
  std::vector<char> content(static_cast<size_t>(std::max(0, length)) + 1, '\0');
  GetWindowTextA(editWindow, content.data(), static_cast<int>(content.size()));
  if (text.Equals(content.data()))
    return false;
  text.Assign(content.data());
  if (window)
    SetWindowTextA(window, text.text);
  return true;
}

LRESULT CWULProtoEdit::OnCommand(int notifyCode, int id, HWND control) {
  if (!control || control != editWindow)
    return CWULTextControl::OnCommand(notifyCode, id, control);
  if (notifyCode == kChangeNotification && !m_settingText) {
    TextFromEditor();
    NotifyTextChange();
  }
  return 0;
}

LRESULT CWULProtoEdit::OnEraseBackground(HDC) { return 1; }

LRESULT CWULProtoEdit::OnPaint(PAINTSTRUCT* paint) {
  wulPaintBuffered(buffer, width, height, paint, [this](HDC dc) { PaintControl(dc); });
  return 0;
}

void CWULProtoEdit::SetHAlign(int value) {
  CWULTextControl::SetHAlign(value);
  RecreateEditor();
}

void CWULProtoEdit::SetMultiLine(bool on) {
  CWULTextControl::SetMultiLine(on);
  RecreateEditor();
}

void CWULProtoEdit::SetWordWrap(bool on) {
  CWULTextControl::SetWordWrap(on);
  RecreateEditor();
}

// --- CWULButtonEdit ---

CWULButtonEdit::CWULButtonEdit()
    : faceColor(wulColors[14]),
      glyphColor(wulColors[17]),
      buttonCallback(nullptr),
      borderStyle(WUL_FRAME_BEVEL_LINE),
      buttonWidth(-1),
      buttonRect{0, 0, 0, 0},
      pressed(0),
      captureMode(0) {
  faceColor.listener = this;
  glyphColor.listener = this;
  width = 64;
  height = wulControlTextHeight + 6;
  flagsA |= WUL_IF_TAB_STOP;
}

void CWULButtonEdit::Click() { ClickButton(); }

int CWULButtonEdit::GetBorderStyle() { return borderStyle; }

void CWULButtonEdit::SetBorderStyle(int value) {
  borderStyle = value;
  PlaceEditor();
}

int CWULButtonEdit::GetButtonWidth() { return buttonWidth; }

void CWULButtonEdit::SetButtonWidth(int value) {
  buttonWidth = value;
  PlaceEditor();
}

void CWULButtonEdit::GeometryHook() {
  // The button first: the edit's rectangle leaves it free.
  RECT inner = {0, 0, width, height};
  wulDeflateRect(&inner, wulFrameInset(borderStyle));
  int w = buttonWidth;
  if (w < 0)
    w = std::max(0, static_cast<int>(inner.bottom - inner.top) - 1) | 1;
  w = std::min(w, static_cast<int>(std::max(0L, inner.right - inner.left)));
  buttonRect = {inner.right - w, inner.top, inner.right, std::max(inner.top, inner.bottom)};
  CWULProtoEdit::GeometryHook();
}

void CWULButtonEdit::ComputeEditRect(RECT* rect) {
  const int inset = wulFrameInset(borderStyle);
  const int separator = borderStyle == WUL_FRAME_LINE || borderStyle == WUL_FRAME_BEVEL_LINE ? 1 : 0;
  rect->left = inset + leftMargin;
  rect->top = inset + topMargin;
  rect->right = std::max(static_cast<int>(rect->left), static_cast<int>(buttonRect.left) - separator - rightMargin);
  rect->bottom = std::max(static_cast<int>(rect->top), height - inset - bottomMargin);
}

void CWULButtonEdit::PaintControl(HDC dc) {
  RECT all = {0, 0, width, height};
  wulPaintFrameKind(dc, &all, borderStyle, wulParentColor(this));
  const int inset = wulFrameInset(borderStyle);
  const bool separator = borderStyle == WUL_FRAME_LINE || borderStyle == WUL_FRAME_BEVEL_LINE;
  if (separator && buttonRect.right > buttonRect.left) {
    HPEN shade = CreatePen(PS_SOLID, 1, wulColors[1].GetColorRef());
    if (shade) {
      wulDrawLine(dc, buttonRect.left - 1, buttonRect.top, buttonRect.left - 1, buttonRect.bottom, shade);
      DeleteObject(shade);
    }
  }
  PaintButton(dc);
  RECT area = {inset, inset, buttonRect.left - (separator ? 1 : 0), height - inset};
  if (editBrush && area.right > area.left && area.bottom > area.top)
    wulFillRect(dc, &area, editBrush);
  else
    wulFillColor(dc, &area, GetColor());
}

void CWULButtonEdit::PaintButton(HDC dc) {
  const RECT face = buttonRect;
  if (face.right <= face.left || face.bottom <= face.top)
    return;
  if (!dc) {
    // At once into the window, through the buffer.
    if (!window || !wulFitBuffer(buffer, width, height))
      return;
    PaintButton(buffer.GetDC());
    GdiFlush();
    HDC windowDC = GetDC(window);
    if (windowDC) {
      buffer.Blit(windowDC, face.left, face.top, face.left, face.top, face.right - face.left, face.bottom - face.top);
      ReleaseDC(window, windowDC);
    }
    return;
  }
  CWULPenBrush pens;
  if (!pens.Create(faceColor))
    return;
  wulPaintFace(dc, &face, pens, pressed != 0);
  PaintDots(dc, &face);
}

void CWULButtonEdit::PaintDots(HDC dc, const RECT* face) {
  const int w = face->right - face->left;
  if (w <= 6)
    return;
  const int dot = std::max(1, (w + 4) / 8);
  const int step = std::max((w + 2) / 5, dot + 1);
  const CWULColor ink(IsEnabled() ? glyphColor : glyphColor.Blend(faceColor, 0.5f));
  const int shift = pressed ? 1 : 0;
  const int cx = (face->left + face->right) / 2 + shift;
  const int cy = (face->top + face->bottom) / 2 + shift;
  if (dot <= 2) {
    for (int i = -1; i <= 1; i++) {
      const int left = cx + i * step - (dot == 2 ? 1 : 0);
      RECT square = {left, cy - 1, left + dot, cy + 1};
      wulFillColor(dc, &square, ink);
    }
    return;
  }
  // Larger dots are antialiased discs mixed into the face.
  GdiFlush();
  const float r = dot * 0.5f;
  for (int i = -1; i <= 1; i++) {
    const float centreX = cx + i * step + 0.5f;
    const float centreY = cy + 0.5f;
    for (int py = cy - dot; py <= cy + dot; py++) {
      for (int px = cx + i * step - dot; px <= cx + i * step + dot; px++) {
        if (!wulPtInRect(px, py, face))
          continue;
        const float cover = wulCircleCoverage(px, py, centreX, centreY, r);
        if (cover <= 0.0f)
          continue;
        const COLORREF under = GetPixel(dc, px, py);
        CWULColor base;
        base.SetColorRef(under);
        const CWULColor mixed = base.Blend(ink, cover);
        SetPixel(dc, px, py, mixed.GetColorRef());
      }
    }
  }
}

void CWULButtonEdit::ClickButton() {
  if (!buttonCallback)
    return;
  RECT screen = buttonRect;
  if (window) {
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    wulOffsetRect(&screen, origin.x, origin.y);
  } else {
    wulOffsetRect(&screen, GetScreenLeft(), GetScreenTop());
  }
  CWULCallbackBracket bracket(this);
  buttonCallback(this, &screen);
}

void CWULButtonEdit::EndPress(bool click) {
  captureMode = 0;
  if (window && GetCapture() == window)
    ReleaseCapture();
  if (!pressed)
    return;
  if (click) {
    try {
      ClickButton();
    } catch (...) {
      pressed = 0;
      PaintButton(nullptr);
      throw;
    }
  }
  pressed = 0;
  PaintButton(nullptr);
}

LRESULT CWULButtonEdit::OnLButtonDown(int, int mx, int my) {
  if (captureMode || !wulPtInRect(mx, my, &buttonRect))
    return 0;
  captureMode = 2;
  if (window)
    SetCapture(window);
  pressed = 1;
  PaintButton(nullptr);
  return 0;
}

LRESULT CWULButtonEdit::OnLButtonDblClk(int keys, int mx, int my) { return OnLButtonDown(keys, mx, my); }

LRESULT CWULButtonEdit::OnMouseMove(int, int mx, int my) {
  if (captureMode == 2) {
    const uint8_t inside = wulPtInRect(mx, my, &buttonRect) ? 1 : 0;
    if (inside != pressed) {
      pressed = inside;
      PaintButton(nullptr);
    }
  }
  return 0;
}

LRESULT CWULButtonEdit::OnLButtonUp(int, int, int) {
  if (captureMode == 2)
    EndPress(true);
  return 0;
}

LRESULT CWULButtonEdit::OnCaptureChanged(HWND newCapture) {
  // A press whose capture was taken away ends without a click.
  if (captureMode == 2 && newCapture != window)
    EndPress(false);
  return CWULProtoEdit::OnCaptureChanged(newCapture);
}

LRESULT CWULButtonEdit::OnKillFocus(HWND next) {
  if (captureMode)
    EndPress(false);
  return CWULProtoEdit::OnKillFocus(next);
}

LRESULT CWULButtonEdit::OnKeyDown(int key, LPARAM lParam) {
  if (key == VK_SPACE && wulIsCtrlDown()) {
    if (!captureMode) {
      captureMode = 1;
      pressed = 1;
      PaintButton(nullptr);
    }
    return 0;
  }
  return CWULProtoEdit::OnKeyDown(key, lParam);
}

LRESULT CWULButtonEdit::OnKeyUp(int key, LPARAM lParam) {
  if (key == VK_SPACE && captureMode == 1) {
    EndPress(true);
    return 0;
  }
  return CWULProtoEdit::OnKeyUp(key, lParam);
}

LRESULT CWULButtonEdit::OnChar(int key, LPARAM lParam) {
  // The space of Ctrl+Space pressed the button; it is no text.
  if ((key & 0xFFFF) == ' ' && (captureMode == 1 || wulIsCtrlDown()))
    return 0;
  return CWULProtoEdit::OnChar(key, lParam);
}
