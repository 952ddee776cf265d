#include "wul/WULInteractor.h"
#include "wul/WULError.h"
#include "wul/WULFramedWindow.h"
#include "wul/WULInit.h"
#include "wul/WULSystem.h"

namespace {

inline int SignedLow(LPARAM value) { return static_cast<short>(LOWORD(value)); }
inline int SignedHigh(LPARAM value) { return static_cast<short>(HIWORD(value)); }

// Walks guard against malformed trees; no real window tree comes near it.
const int kWalkLimit = 1000000;

// Keys, the mouse, commands and timers: what drives a window's handlers.
bool IsInputMessage(UINT message) {
  return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
         (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK) || message == WUL_MSG_FORWARDED_WHEEL ||
         message == WM_COMMAND || message == WM_SYSCOMMAND || message == WM_CONTEXTMENU || message == WM_TIMER;
}

}  // namespace

CWULInteractor::CWULInteractor()
    : messageHook(nullptr),
      deletedHandler(nullptr),
      createdHandler(nullptr),
      destroyedHandler(nullptr),
      setCursorHandler(nullptr),
      mouseMoveHandler(nullptr),
      leftDownHandler(nullptr),
      leftUpHandler(nullptr),
      leftDoubleClickHandler(nullptr),
      rightDownHandler(nullptr),
      rightUpHandler(nullptr),
      rightDoubleClickHandler(nullptr),
      middleDownHandler(nullptr),
      middleUpHandler(nullptr),
      middleDoubleClickHandler(nullptr),
      focusGainedHandler(nullptr),
      focusLostHandler(nullptr),
      wheelAcceptHandler(nullptr),
      wheelHandler(nullptr),
      keyDownHandler(nullptr),
      keyUpHandler(nullptr),
      charHandler(nullptr),
      sysKeyDownHandler(nullptr),
      sysKeyUpHandler(nullptr),
      sysCharHandler(nullptr),
      captureLostHandler(nullptr),
      sizeChangedHandler(nullptr),
      movedHandler(nullptr),
      color(wulColors[0]),
      flagsA(WUL_IF_VISIBLE | WUL_IF_ENABLED | WUL_IF_AUTO_REDRAW | WUL_IF_PARENT_COLOR | WUL_IF_PARENT_FONT),
      flagsB(0),
      flagsC(0),
      callbackDepth(0),
      window(nullptr),
      style(WS_CLIPSIBLINGS | WS_CLIPCHILDREN),
      exStyle(0),
      parent(nullptr),
      prevSibling(nullptr),
      nextSibling(nullptr),
      firstChild(nullptr),
      lastChild(nullptr),
      childCount(0),
      width(1),
      height(1),
      x(0),
      y(0),
      checkedWidth(0),
      checkedHeight(0),
      checkedX(0),
      checkedY(0),
      cursor(nullptr) {
  classCode = WUL_CLASS_INTERACTOR;
  // The members report to the interactor only once they hold their start values.
  color.listener = this;
  font.listener = this;
  text.listener = this;
  SetParent(wulGetDefaultParent());
}

CWULInteractor::~CWULInteractor() {
  flagsC |= WUL_IF_IN_DESTRUCTOR;
  if (flagsB & WUL_IF_POINTER_INSIDE) {
    if (window)
      KillTimer(window, WUL_HOVER_TIMER_ID);
    flagsB &= ~WUL_IF_POINTER_INSIDE;
  }
  if (deletedHandler) {
    // Nothing may leave a destructor; the loop shows the error later.
    try {
      CWULCallbackBracket bracket(this);
      deletedHandler(this);
    } catch (...) {
      wulKeepPendingException();
    }
  }
  wulForgetDefaultParent(this);
  if (parent)
    parent->RemoveChild(this);
  while (firstChild)
    delete firstChild;
  if (window)
    DestroyWindow(window);
}

int32_t CWULInteractor::HandleNotify(CWULObject* sender, int32_t code, intptr_t) {
  if (!sender)
    return 0;
  if (sender == &color) {
    flagsA &= ~WUL_IF_PARENT_COLOR;
    OnColorChanged();
    for (CWULInteractor* child = firstChild; child;) {
      CWULInteractor* next = child->nextSibling;
      child->HandleNotify(this, WUL_NOTIFY_PARENT_COLOR, 0);
      child = next;
    }
  } else if (sender == &font) {
    flagsA &= ~WUL_IF_PARENT_FONT;
    OnFontChanged();
    for (CWULInteractor* child = firstChild; child;) {
      CWULInteractor* next = child->nextSibling;
      child->HandleNotify(this, WUL_NOTIFY_PARENT_FONT, 0);
      child = next;
    }
  } else if (sender == parent && code == WUL_NOTIFY_PARENT_COLOR) {
    OnColorChanged();
    if (flagsA & WUL_IF_PARENT_COLOR) {
      for (CWULInteractor* child = firstChild; child;) {
        CWULInteractor* next = child->nextSibling;
        child->HandleNotify(this, WUL_NOTIFY_PARENT_COLOR, 0);
        child = next;
      }
    }
  } else if (sender == parent && code == WUL_NOTIFY_PARENT_FONT) {
    if (flagsA & WUL_IF_PARENT_FONT) {
      OnFontChanged();
      for (CWULInteractor* child = firstChild; child;) {
        CWULInteractor* next = child->nextSibling;
        child->HandleNotify(this, WUL_NOTIFY_PARENT_FONT, 0);
        child = next;
      }
    }
  }
  return 0;
}

bool CWULInteractor::IsAncestorOf(const CWULInteractor* other) const {
  for (const CWULInteractor* p = other ? other->parent : nullptr; p; p = p->parent) {
    if (p == this)
      return true;
  }
  return false;
}

// --- child list ---

void CWULInteractor::Detach() {
  if (!parent)
    return;
  if (prevSibling)
    prevSibling->nextSibling = nextSibling;
  else
    parent->firstChild = nextSibling;
  if (nextSibling)
    nextSibling->prevSibling = prevSibling;
  else
    parent->lastChild = prevSibling;
  prevSibling = nullptr;
  nextSibling = nullptr;
}

// Links a detached child of this interactor in front of before (at the end for null).
void CWULInteractor::InsertChildBefore(CWULInteractor* child, CWULInteractor* before) {
  child->nextSibling = before;
  child->prevSibling = before ? before->prevSibling : lastChild;
  if (child->prevSibling)
    child->prevSibling->nextSibling = child;
  else
    firstChild = child;
  if (before)
    before->prevSibling = child;
  else
    lastChild = child;
}

void CWULInteractor::MoveToFront() {
  if (!parent || parent->firstChild == this)
    return;
  CWULInteractor* owner = parent;
  Detach();
  owner->InsertChildBefore(this, owner->firstChild);
}

void CWULInteractor::MoveToBack() {
  if (!parent || parent->lastChild == this)
    return;
  CWULInteractor* owner = parent;
  Detach();
  owner->InsertChildBefore(this, nullptr);
}

void CWULInteractor::MoveBefore(CWULInteractor* sibling) {
  if (!parent || !sibling || sibling == this || sibling->parent != parent || sibling->prevSibling == this)
    return;
  CWULInteractor* owner = parent;
  Detach();
  owner->InsertChildBefore(this, sibling);
}

void CWULInteractor::MoveAfter(CWULInteractor* sibling) {
  if (!parent || !sibling || sibling == this || sibling->parent != parent || sibling->nextSibling == this)
    return;
  CWULInteractor* owner = parent;
  Detach();
  owner->InsertChildBefore(this, sibling->nextSibling);
}

void CWULInteractor::AddChild(CWULInteractor* child) {
  if (!child || child->parent == this || child == this || child->IsAncestorOf(this))
    return;
  if (child->parent)
    child->parent->RemoveChild(child);
  InsertChildBefore(child, nullptr);
  ++childCount;
  callbackDepth += child->callbackDepth;
  child->parent = this;
}

void CWULInteractor::RemoveChild(CWULInteractor* child) {
  if (!child || child->parent != this)
    return;
  callbackDepth -= child->callbackDepth;
  child->Detach();
  child->parent = nullptr;
  --childCount;
}

void CWULInteractor::SetParent(CWULInteractor* newParent) {
  if (newParent == parent)
    return;
  // A window never becomes its own descendant.
  if (newParent && (newParent == this || IsAncestorOf(newParent)))
    return;
  if (window) {
    HWND parentWindow = newParent ? newParent->window : nullptr;
    if (!(style & WS_CHILD) || !parentWindow)
      return;
    ::SetParent(window, parentWindow);
    SyncFromWindow();
  }
  if (parent)
    parent->RemoveChild(this);
  if (newParent)
    newParent->AddChild(this);
}

// --- geometry ---

void CWULInteractor::SetPosition(int newX, int newY) {
  x = newX;
  y = newY;
  if (window) {
    SetWindowPos(window, nullptr, newX, newY, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateWindow(window);
  }
}

void CWULInteractor::SetSize(int newWidth, int newHeight) {
  width = newWidth;
  height = newHeight;
  if (window) {
    SetWindowPos(window, nullptr, 0, 0, newWidth, newHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateWindow(window);
  } else {
    OnGeometryChanged();
  }
}

void CWULInteractor::SetBounds(int newX, int newY, int newWidth, int newHeight) {
  x = newX;
  y = newY;
  width = newWidth;
  height = newHeight;
  if (window) {
    SetWindowPos(window, nullptr, newX, newY, newWidth, newHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateWindow(window);
  } else {
    OnGeometryChanged();
  }
}

void CWULInteractor::SetSizePosition(int newWidth, int newHeight, int newX, int newY) {
  SetBounds(newX, newY, newWidth, newHeight);
}

void CWULInteractor::SetRect(const RECT* rect) {
  if (rect)
    SetBounds(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
}

void CWULInteractor::SetRect(int left, int top, int right, int bottom) {
  SetBounds(left, top, right - left, bottom - top);
}

void CWULInteractor::GetRect(RECT* rect) {
  rect->left = GetX();
  rect->top = GetY();
  rect->right = GetRight();
  rect->bottom = GetBottom();
}

void CWULInteractor::GetScreenRect(RECT* rect) {
  rect->left = GetScreenLeft();
  rect->top = GetScreenTop();
  rect->right = GetScreenRight();
  rect->bottom = GetScreenBottom();
}

int CWULInteractor::GetWidth() { return width; }
void CWULInteractor::SetWidth(int value) { SetSize(value, height); }
int CWULInteractor::GetHeight() { return height; }
void CWULInteractor::SetHeight(int value) { SetSize(width, value); }
int CWULInteractor::GetX() { return x; }
void CWULInteractor::SetX(int value) { SetPosition(value, y); }
int CWULInteractor::GetY() { return y; }
void CWULInteractor::SetY(int value) { SetPosition(x, value); }
int CWULInteractor::GetRight() { return GetX() + GetWidth(); }
void CWULInteractor::SetRight(int value) { SetX(value - GetWidth()); }
int CWULInteractor::GetBottom() { return GetY() + GetHeight(); }
void CWULInteractor::SetBottom(int value) { SetY(value - GetHeight()); }

int CWULInteractor::GetScreenLeft() {
  if (window) {
    RECT rect;
    GetWindowRect(window, &rect);
    return rect.left;
  }
  CWULInteractor* owner = ListenerInteractor();
  if (!owner)
    return x;
  auto* framed = dynamic_cast<CWULFramedWindow*>(owner);
  return (framed ? framed->GetLeftInset() : 0) + owner->GetScreenLeft() + x;
}

int CWULInteractor::GetScreenTop() {
  if (window) {
    RECT rect;
    GetWindowRect(window, &rect);
    return rect.top;
  }
  CWULInteractor* owner = ListenerInteractor();
  if (!owner)
    return y;
  auto* framed = dynamic_cast<CWULFramedWindow*>(owner);
  return (framed ? framed->GetTopInset() : 0) + owner->GetScreenTop() + y;
}

int CWULInteractor::GetScreenRight() { return GetScreenLeft() + GetWidth(); }
int CWULInteractor::GetScreenBottom() { return GetScreenTop() + GetHeight(); }

void CWULInteractor::OnGeometryChanged() {
  GeometryHook();
  CheckSize();
  CheckPosition();
}

void CWULInteractor::GeometryHook() {}

void CWULInteractor::CheckSize() {
  if (width == checkedWidth && height == checkedHeight)
    return;
  OnSizeChanged();
  checkedWidth = width;
  checkedHeight = height;
  if (sizeChangedHandler) {
    CWULCallbackBracket bracket(this);
    sizeChangedHandler(this);
  }
}

void CWULInteractor::CheckPosition() {
  if (x == checkedX && y == checkedY)
    return;
  OnPositionChanged();
  checkedX = x;
  checkedY = y;
  if (movedHandler) {
    CWULCallbackBracket bracket(this);
    movedHandler(this);
  }
}

void CWULInteractor::OnSizeChanged() {}
void CWULInteractor::OnPositionChanged() {}

// --- window ---

HWND CWULInteractor::Incarnate(HWND parentWindow) { return IncarnateWith(parentWindow, nullptr); }

HWND CWULInteractor::IncarnateWith(HWND parentWindow, void (*setUp)(CWULInteractor* self)) {
  if (window)
    return window;
  const uint8_t remembered = flagsA;
  flagsB |= WUL_IF_INCARNATING;
  try {
    CreateIncarnation(parentWindow);
    if (setUp)
      setUp(this);
    // The new window starts hidden; a visible interactor is shown now.
    SetEnabled((remembered & WUL_IF_ENABLED) != 0);
    SetVisible((remembered & WUL_IF_VISIBLE) != 0);
  } catch (...) {
    flagsB &= ~WUL_IF_INCARNATING;
    throw;
  }
  flagsB &= ~WUL_IF_INCARNATING;
  SyncFromWindow();
  return window;
}

void CWULInteractor::IncarnateTree(HWND parentWindow) {
  Incarnate(parentWindow);
  for (CWULInteractor* child = firstChild; child;) {
    CWULInteractor* next = child->nextSibling;
    try {
      child->IncarnateTree(window);
    } catch (const CWULError& error) {
      wulShowError(error);
    }
    child = next;
  }
}

void CWULInteractor::CreateIncarnation(HWND parentWindow) {
  if (window)
    return;
  if (parent)
    parentWindow = parent->window;
  HWND created = CreateWindowExA(exStyle, wulClassName, text.text, style, x, y, width, height, parentWindow, nullptr,
                                 wulInstance, nullptr);
  if (!created)
    wulThrowError(5, "CWULInteractor::CreateIncarnation", "Cannot create window");
  window = created;
  // Messages sent before this point went to DefWindowProcA.
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  ApplyStyles();
  if (createdHandler) {
    CWULCallbackBracket bracket(this);
    createdHandler(this);
  }
}

void CWULInteractor::ApplyStyles() {
  if (!window)
    return;
  flagsB |= WUL_IF_APPLYING_STYLES;
  SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(style));
  SetWindowLongA(window, GWL_EXSTYLE, static_cast<LONG>(exStyle));
  SetWindowPos(window, nullptr, x, y, width, height,
               SWP_FRAMECHANGED | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
  flagsB &= ~WUL_IF_APPLYING_STYLES;
  SyncFromWindow();
}

void CWULInteractor::SyncFromWindow() {
  if (!window || (flagsB & WUL_IF_APPLYING_STYLES))
    return;
  style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
  exStyle = static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE));
  if (style & WS_VISIBLE)
    flagsA |= WUL_IF_VISIBLE;
  else
    flagsA &= ~WUL_IF_VISIBLE;
  if (style & WS_DISABLED)
    flagsA &= ~WUL_IF_ENABLED;
  else
    flagsA |= WUL_IF_ENABLED;
}

void CWULInteractor::Close() {
  if (flagsC & WUL_IF_CLOSING)
    return;
  flagsC |= WUL_IF_CLOSING;
  for (CWULInteractor* child = firstChild; child;) {
    CWULInteractor* next = child->nextSibling;
    child->Close();
    child = next;
  }
  if (window)
    PostMessageA(window, WUL_MSG_DEFERRED_CLOSE, 0, 0);
  else
    delete this;
}

void CWULInteractor::Show() { SetVisible(true); }
void CWULInteractor::Hide() { SetVisible(false); }
void CWULInteractor::Enable() { SetEnabled(true); }
void CWULInteractor::Disable() { SetEnabled(false); }

void CWULInteractor::SetFocus() {
  if (window)
    ::SetFocus(window);
}

void CWULInteractor::Redraw(const RECT* rect) {
  if (!window || !(flagsA & WUL_IF_VISIBLE))
    return;
  flagsB |= WUL_IF_ERASE_SUPPRESSED;
  RedrawWindow(window, rect, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ERASENOW | RDW_FRAME);
  UpdateWindow(window);
  flagsB &= ~WUL_IF_ERASE_SUPPRESSED;
}

void CWULInteractor::Redraw() { Redraw(nullptr); }

HWND CWULInteractor::GetHandle() { return window; }

const char* CWULInteractor::GetText() { return text.text; }

void CWULInteractor::SetText(const char* newText) {
  if (!newText)
    newText = "";
  if (text.Equals(newText))
    return;
  text.Assign(newText);
  if (window)
    SetWindowTextA(window, text.text);
}

// --- flags ---

bool CWULInteractor::IsVisible() { return (flagsA & WUL_IF_VISIBLE) != 0; }

void CWULInteractor::SetVisible(bool on) {
  if (on == IsVisible())
    return;
  if (on)
    flagsA |= WUL_IF_VISIBLE;
  else
    flagsA &= ~WUL_IF_VISIBLE;
  if (window) {
    ShowWindow(window, on ? SW_SHOWNA : SW_HIDE);
    SyncFromWindow();
  }
}

bool CWULInteractor::IsEnabled() { return (flagsA & WUL_IF_ENABLED) != 0; }

void CWULInteractor::SetEnabled(bool on) {
  if (on == IsEnabled())
    return;
  // Stored first: EnableWindow sends WM_ENABLE, which must find the new state.
  if (on)
    flagsA |= WUL_IF_ENABLED;
  else
    flagsA &= ~WUL_IF_ENABLED;
  if (window) {
    EnableWindow(window, on ? TRUE : FALSE);
    SyncFromWindow();
  }
  OnColorChanged();
}

bool CWULInteractor::IsTabStop() { return (flagsA & WUL_IF_TAB_STOP) != 0; }

void CWULInteractor::SetTabStop(bool on) {
  if (on)
    flagsA |= WUL_IF_TAB_STOP;
  else
    flagsA &= ~WUL_IF_TAB_STOP;
}

bool CWULInteractor::CanFocus() { return IsTabStop() && IsEnabled() && window && IsWindowVisible(window); }

bool CWULInteractor::HasFocus() { return (flagsA & WUL_IF_FOCUSED) != 0; }

bool CWULInteractor::Focus(bool on) {
  if (!window)
    return false;
  if (on)
    SetFocus();
  else if (HasFocus())
    ::SetFocus(nullptr);
  return true;
}

bool CWULInteractor::IsTabGroup() { return (flagsA & WUL_IF_TAB_GROUP) != 0; }

void CWULInteractor::SetTabGroup(bool on) {
  if (on)
    flagsA |= WUL_IF_TAB_GROUP;
  else
    flagsA &= ~WUL_IF_TAB_GROUP;
}

bool CWULInteractor::GetAutoRedraw() { return (flagsA & WUL_IF_AUTO_REDRAW) != 0; }

void CWULInteractor::SetAutoRedraw(bool on) {
  if (on == GetAutoRedraw())
    return;
  if (on) {
    flagsA |= WUL_IF_AUTO_REDRAW;
    Redraw();
  } else {
    flagsA &= ~WUL_IF_AUTO_REDRAW;
  }
}

HCURSOR CWULInteractor::GetCursor() { return cursor; }
void CWULInteractor::SetCursor(HCURSOR newCursor) { cursor = newCursor; }

bool CWULInteractor::GetParentColor() { return (flagsA & WUL_IF_PARENT_COLOR) != 0; }

void CWULInteractor::SetParentColor(bool on) {
  if (on)
    flagsA |= WUL_IF_PARENT_COLOR;
  else
    flagsA &= ~WUL_IF_PARENT_COLOR;
  OnColorChanged();
}

bool CWULInteractor::GetParentFont() { return (flagsA & WUL_IF_PARENT_FONT) != 0; }

void CWULInteractor::SetParentFont(bool on) {
  if (on)
    flagsA |= WUL_IF_PARENT_FONT;
  else
    flagsA &= ~WUL_IF_PARENT_FONT;
  OnFontChanged();
}

CWULColor& CWULInteractor::GetColor() {
  if ((flagsA & WUL_IF_PARENT_COLOR) && parent)
    return parent->GetColor();
  return color;
}

CWULFont& CWULInteractor::GetFont() {
  if ((flagsA & WUL_IF_PARENT_FONT) && parent)
    return parent->GetFont();
  return font;
}

int CWULInteractor::GetAlignment() { return 0; }

void CWULInteractor::BeginCallback() {
  ++callbackDepth;
  if (parent)
    parent->BeginCallback();
}

void CWULInteractor::EndCallback() {
  if (parent)
    parent->EndCallback();
  --callbackDepth;
}

void CWULInteractor::OnColorChanged() {
  if (GetAutoRedraw())
    Redraw();
}

void CWULInteractor::OnFontChanged() {
  OnGeometryChanged();
  OnColorChanged();
}

// --- Tab order ---

CWULInteractor* CWULInteractor::WalkTabStops(bool forward) {
  auto first = [forward](CWULInteractor* n) { return forward ? n->firstChild : n->lastChild; };
  auto following = [forward](CWULInteractor* n) { return forward ? n->nextSibling : n->prevSibling; };
  // The next node after n, climbing where needed. offered is set when the walk comes out
  // at a tab group it climbed to, or at the top of the tree; that node is offered itself
  // and the walk then goes on into it.
  auto climb = [&](CWULInteractor* n, bool* offered) -> CWULInteractor* {
    for (CWULInteractor* node = n;;) {
      if (CWULInteractor* sibling = following(node))
        return sibling;
      CWULInteractor* up = node->parent;
      if (!up || up->IsTabGroup()) {
        *offered = true;
        return up ? up : node;
      }
      node = up;
    }
  };

  CWULInteractor* start = this;
  CWULInteractor* current;
  bool offered = false;
  if (start->IsTabGroup()) {
    if (!first(start))
      return start->CanFocus() ? start : nullptr;
    current = first(start);
  } else {
    current = first(start) ? first(start) : climb(start, &offered);
  }
  for (int step = 0; step < kWalkLimit; step++) {
    if (current == start)
      return nullptr;
    if (offered ? current->CanFocus() : (!current->IsTabGroup() && current->CanFocus()))
      return current;
    bool enter = first(current) && (offered || !current->IsTabGroup());
    offered = false;
    current = enter ? first(current) : climb(current, &offered);
  }
  return nullptr;
}

CWULInteractor* CWULInteractor::NextTabStop() { return WalkTabStops(true); }
CWULInteractor* CWULInteractor::PrevTabStop() { return WalkTabStops(false); }

// --- messages ---

CWULInteractor* CWULInteractor::ListenerInteractor() const {
  if (listener && listener->classCode == WUL_CLASS_INTERACTOR)
    return static_cast<CWULInteractor*>(listener);
  return nullptr;
}

LRESULT CWULInteractor::PassToListener(UINT message, WPARAM wParam, LPARAM lParam, LRESULT result) {
  if (result == 0)
    return result;
  CWULInteractor* owner = ListenerInteractor();
  if (owner && owner->window)
    return wulSendMessage(owner->window, message, wParam, lParam);
  return result;
}

LRESULT CWULInteractor::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!window)
    return -1;
  HWND handle = window;
  // While the object is being deleted only the destruction itself is handled.
  if (flagsC & WUL_IF_IN_DESTRUCTOR) {
    if (message == WM_DESTROY)
      return OnDestroy();
    return DefWindowProcA(handle, message, wParam, lParam);
  }
  // A closing window takes no more input, whoever posts it: nothing is chosen or accepted
  // twice on the way out.
  if ((flagsC & WUL_IF_CLOSING) && IsInputMessage(message))
    return 0;
  if (messageHook) {
    LRESULT hookResult = -1;
    bool handled;
    {
      CWULCallbackBracket bracket(this);
      handled = messageHook(this, message, wParam, lParam, &hookResult);
    }
    if (handled)
      return hookResult;
  }
  LRESULT result = 0;
  // WM_DESTROY deletes the object inside Dispatch; nothing of it is touched afterwards.
  if (Dispatch(message, wParam, lParam, &result))
    return result;
  return DefWindowProcA(handle, message, wParam, lParam);
}

void CWULInteractor::TrackHover(UINT message, LPARAM lParam) {
  if (!window)
    return;
  POINT point = {SignedLow(lParam), SignedHigh(lParam)};
  if (message == WM_MOUSEMOVE)
    ClientToScreen(window, &point);
  const int hx = point.x - GetScreenLeft();
  const int hy = point.y - GetScreenTop();
  const bool inside = HitTest(hx, hy);
  if (flagsB & WUL_IF_POINTER_INSIDE) {
    if (inside) {
      MouseHover(hx, hy);
    } else {
      KillTimer(window, WUL_HOVER_TIMER_ID);
      flagsB &= ~WUL_IF_POINTER_INSIDE;
      MouseLeave();
    }
  } else if (inside) {
    if (SetTimer(window, WUL_HOVER_TIMER_ID, static_cast<UINT>(wulHoverPeriod), nullptr)) {
      flagsB |= WUL_IF_POINTER_INSIDE;
      MouseEnter(hx, hy);
      MouseHover(hx, hy);
    }
  }
}

void CWULInteractor::HoverTick() {
  if (!(flagsB & WUL_IF_POINTER_INSIDE)) {
    KillTimer(window, WUL_HOVER_TIMER_ID);
    return;
  }
  POINT point = {0, 0};
  GetCursorPos(&point);
  const bool inside = GetCapture() == window || WindowFromPoint(point) == window;
  const int hx = point.x - GetScreenLeft();
  const int hy = point.y - GetScreenTop();
  if (inside && (flagsB & WUL_IF_HOVER_WANTED) && HitTest(hx, hy)) {
    MouseHover(hx, hy);
  } else {
    KillTimer(window, WUL_HOVER_TIMER_ID);
    flagsB &= ~WUL_IF_POINTER_INSIDE;
    MouseLeave();
  }
}

LRESULT CWULInteractor::KeyRoutine(UINT message, WPARAM wParam, LPARAM lParam) {
  KeyHandler handler = nullptr;
  switch (message) {
    case WM_KEYDOWN: handler = keyDownHandler; break;
    case WM_KEYUP: handler = keyUpHandler; break;
    case WM_CHAR: handler = charHandler; break;
    case WM_SYSKEYDOWN: handler = sysKeyDownHandler; break;
    case WM_SYSKEYUP: handler = sysKeyUpHandler; break;
    default: handler = sysCharHandler; break;
  }
  int key = static_cast<int>(wParam);
  bool consumed = false;
  if (handler) {
    CWULCallbackBracket bracket(this);
    consumed = handler(this, &key, lParam) == 1;
  }
  const int effective = message == WM_CHAR ? (key & 0xFFFF) : key;
  LRESULT result = -1;
  if (effective != 0) {
    switch (message) {
      case WM_KEYDOWN: result = OnKeyDown(key, lParam); break;
      case WM_KEYUP: result = OnKeyUp(key, lParam); break;
      case WM_CHAR: result = OnChar(key, lParam); break;
      case WM_SYSKEYDOWN: result = OnSysKeyDown(key, lParam); break;
      case WM_SYSKEYUP: result = OnSysKeyUp(key, lParam); break;
      default: result = OnSysChar(key, lParam); break;
    }
  }
  if (consumed)
    result = 0;
  // Unconsumed keys bubble up the chain of listeners.
  return PassToListener(message, wParam, lParam, result);
}

LRESULT CWULInteractor::WheelRoutine(UINT message, WPARAM wParam, LPARAM lParam) {
  const int wx = SignedLow(lParam) - GetScreenLeft();
  const int wy = SignedHigh(lParam) - GetScreenTop();
  LRESULT result = -1;
  bool accepted;
  if (wheelAcceptHandler) {
    CWULCallbackBracket bracket(this);
    accepted = wheelAcceptHandler(this, wx, wy);
  } else {
    accepted = AcceptsWheel(wx, wy);
  }
  if (accepted) {
    float notches = static_cast<float>(static_cast<short>(HIWORD(wParam))) * 0.008333334f;
    const int keys = LOWORD(wParam);
    bool consumed = false;
    if (wheelHandler) {
      CWULCallbackBracket bracket(this);
      consumed = wheelHandler(this, &notches, keys, wx, wy) == 1;
    }
    result = OnMouseWheel(notches, keys, wx, wy);
    if (consumed)
      result = 0;
  }
  return PassToListener(message, wParam, lParam, result);
}

bool CWULInteractor::MouseMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  const int keys = static_cast<int>(wParam);
  const int mx = SignedLow(lParam);
  const int my = SignedHigh(lParam);
  MouseHandler handlers[] = {mouseMoveHandler,  leftDownHandler,          leftUpHandler,
                             leftDoubleClickHandler, rightDownHandler,   rightUpHandler,
                             rightDoubleClickHandler, middleDownHandler, middleUpHandler,
                             middleDoubleClickHandler};
  if (MouseHandler handler = handlers[message - WM_MOUSEMOVE]) {
    CWULCallbackBracket bracket(this);
    handler(this, keys, mx, my);
  }
  switch (message) {
    case WM_MOUSEMOVE: *result = OnMouseMove(keys, mx, my); break;
    case WM_LBUTTONDOWN: *result = OnLButtonDown(keys, mx, my); break;
    case WM_LBUTTONUP: *result = OnLButtonUp(keys, mx, my); break;
    case WM_LBUTTONDBLCLK: *result = OnLButtonDblClk(keys, mx, my); break;
    case WM_RBUTTONDOWN: *result = OnRButtonDown(keys, mx, my); break;
    case WM_RBUTTONUP: *result = OnRButtonUp(keys, mx, my); break;
    case WM_RBUTTONDBLCLK: *result = OnRButtonDblClk(keys, mx, my); break;
    case WM_MBUTTONDOWN: *result = OnMButtonDown(keys, mx, my); break;
    case WM_MBUTTONUP: *result = OnMButtonUp(keys, mx, my); break;
    default: *result = OnMButtonDblClk(keys, mx, my); break;
  }
  return true;
}

bool CWULInteractor::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if ((flagsB & WUL_IF_HOVER_WANTED) && (message == WM_MOUSEMOVE || message == WM_NCMOUSEMOVE))
    TrackHover(message, lParam);
  switch (message) {
    case WM_DESTROY:
      *result = OnDestroy();
      return true;
    case WM_SETFOCUS:
      flagsA |= WUL_IF_FOCUSED;
      *result = OnSetFocus(reinterpret_cast<HWND>(wParam));
      if (focusGainedHandler) {
        CWULCallbackBracket bracket(this);
        focusGainedHandler(this);
      }
      return true;
    case WM_KILLFOCUS:
      flagsA &= ~WUL_IF_FOCUSED;
      *result = OnKillFocus(reinterpret_cast<HWND>(wParam));
      if (focusLostHandler) {
        CWULCallbackBracket bracket(this);
        focusLostHandler(this);
      }
      return true;
    case WM_ENABLE:
      if ((wParam != 0) != IsEnabled())
        SetEnabled(wParam != 0);
      *result = OnEnable();
      return true;
    case WM_PAINT:
      if (GetUpdateRect(window, nullptr, FALSE)) {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        try {
          *result = OnPaint(&paint);
        } catch (...) {
          EndPaint(window, &paint);
          throw;
        }
        EndPaint(window, &paint);
      } else {
        // Nothing to paint; a stray request must not come back forever.
        ValidateRect(window, nullptr);
        *result = 0;
      }
      return true;
    case WM_ERASEBKGND:
      *result = OnEraseBackground(reinterpret_cast<HDC>(wParam));
      return true;
    case WM_CANCELMODE:
      *result = OnCancelMode();
      return true;
    case WM_SETCURSOR:
      if (setCursorHandler) {
        HCURSOR chosen = cursor;
        POINT point = {0, 0};
        GetCursorPos(&point);
        int answer;
        {
          CWULCallbackBracket bracket(this);
          answer = setCursorHandler(this, &chosen, SignedLow(lParam), point.x - GetScreenLeft(),
                                    point.y - GetScreenTop());
        }
        if (answer == 1) {
          ::SetCursor(chosen);
          *result = 1;
          return true;
        }
      }
      *result = OnSetCursor(wParam, SignedLow(lParam), HIWORD(lParam));
      return true;
    case WM_WINDOWPOSCHANGING:
      *result = OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(lParam));
      return true;
    case WM_WINDOWPOSCHANGED:
      *result = OnWindowPosChanged(reinterpret_cast<WINDOWPOS*>(lParam));
      return true;
    case WM_STYLECHANGED:
      *result = OnStyleChanged();
      return true;
    case WM_NCCALCSIZE:
      *result = OnNcCalcSize(wParam != 0, lParam);
      return true;
    case WM_NCHITTEST:
      *result = OnNcHitTest(SignedLow(lParam) - GetScreenLeft(), SignedHigh(lParam) - GetScreenTop());
      return true;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
      *result = KeyRoutine(message, wParam, lParam);
      return true;
    case WM_COMMAND:
      *result = OnCommand(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam));
      return true;
    case WM_TIMER:
      if (wParam == WUL_HOVER_TIMER_ID) {
        HoverTick();
        *result = 0;
      } else {
        *result = OnTimer(wParam, lParam);
      }
      return true;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
      return MouseMessage(message, wParam, lParam, result);
    case WM_MOUSEWHEEL:
    case WUL_MSG_FORWARDED_WHEEL:
      *result = WheelRoutine(message, wParam, lParam);
      return true;
    case WM_CAPTURECHANGED:
      if (captureLostHandler) {
        CWULCallbackBracket bracket(this);
        captureLostHandler(this);
      }
      *result = OnCaptureChanged(reinterpret_cast<HWND>(lParam));
      return true;
    case WUL_MSG_DEFERRED_CLOSE:
      *result = OnDeferredClose();
      return true;
    default:
      return false;
  }
}

// --- default handlers ---

bool CWULInteractor::HitTest(int, int) { return true; }
void CWULInteractor::MouseEnter(int, int) {}
void CWULInteractor::MouseHover(int, int) {}
void CWULInteractor::MouseLeave() {}

bool CWULInteractor::AcceptsWheel(int, int) { return HasFocus() && (!window || GetCapture() != window); }

LRESULT CWULInteractor::OnNcHitTest(int, int) { return HTCLIENT; }

LRESULT CWULInteractor::OnSetCursor(WPARAM wParam, int hitTest, int mouseMessage) {
  if (hitTest == HTCLIENT && cursor) {
    ::SetCursor(cursor);
    return 1;
  }
  if (!window)
    return 0;
  return DefWindowProcA(window, WM_SETCURSOR, wParam, MAKELPARAM(hitTest, mouseMessage));
}

#define WUL_DEFAULT_MOUSE(name, message)                                                \
  LRESULT CWULInteractor::name(int keys, int mx, int my) {                              \
    return window ? DefWindowProcA(window, message, static_cast<WPARAM>(keys), MAKELPARAM(mx, my)) : 0; \
  }
WUL_DEFAULT_MOUSE(OnMouseMove, WM_MOUSEMOVE)
WUL_DEFAULT_MOUSE(OnLButtonDown, WM_LBUTTONDOWN)
WUL_DEFAULT_MOUSE(OnLButtonUp, WM_LBUTTONUP)
WUL_DEFAULT_MOUSE(OnLButtonDblClk, WM_LBUTTONDBLCLK)
WUL_DEFAULT_MOUSE(OnRButtonDown, WM_RBUTTONDOWN)
WUL_DEFAULT_MOUSE(OnRButtonUp, WM_RBUTTONUP)
WUL_DEFAULT_MOUSE(OnRButtonDblClk, WM_RBUTTONDBLCLK)
WUL_DEFAULT_MOUSE(OnMButtonDown, WM_MBUTTONDOWN)
WUL_DEFAULT_MOUSE(OnMButtonUp, WM_MBUTTONUP)
WUL_DEFAULT_MOUSE(OnMButtonDblClk, WM_MBUTTONDBLCLK)
#undef WUL_DEFAULT_MOUSE

LRESULT CWULInteractor::OnTimer(WPARAM id, LPARAM lParam) {
  return window ? DefWindowProcA(window, WM_TIMER, id, lParam) : 0;
}

LRESULT CWULInteractor::OnCaptureChanged(HWND) { return 0; }
LRESULT CWULInteractor::OnSetFocus(HWND) { return 0; }
LRESULT CWULInteractor::OnKillFocus(HWND) { return 0; }
LRESULT CWULInteractor::OnMouseWheel(float, int, int, int) { return -1; }

LRESULT CWULInteractor::OnKeyDown(int key, LPARAM) {
  if (key != VK_TAB || wulIsCtrlDown())
    return -1;
  CWULInteractor* target = wulIsShiftDown() ? PrevTabStop() : NextTabStop();
  if (target)
    target->SetFocus();
  return 0;
}

LRESULT CWULInteractor::OnKeyUp(int, LPARAM) { return -1; }
LRESULT CWULInteractor::OnChar(int, LPARAM) { return -1; }
LRESULT CWULInteractor::OnSysKeyDown(int, LPARAM) { return -1; }
LRESULT CWULInteractor::OnSysKeyUp(int, LPARAM) { return -1; }
LRESULT CWULInteractor::OnSysChar(int, LPARAM) { return -1; }

LRESULT CWULInteractor::OnCommand(int notifyCode, int id, HWND control) {
  return window ? DefWindowProcA(window, WM_COMMAND, MAKEWPARAM(id, notifyCode), reinterpret_cast<LPARAM>(control))
                : 0;
}

LRESULT CWULInteractor::OnEraseBackground(HDC) { return 0; }
LRESULT CWULInteractor::OnPaint(PAINTSTRUCT*) { return 0; }

LRESULT CWULInteractor::OnNcCalcSize(bool validRects, LPARAM lParam) {
  auto* params = reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam);
  RECT* proposed = validRects ? &params->rgrc[0] : reinterpret_cast<RECT*>(lParam);
  x = proposed->left;
  y = proposed->top;
  width = proposed->right - proposed->left;
  height = proposed->bottom - proposed->top;
  OnGeometryChanged();
  if (validRects) {
    params->rgrc[1] = params->rgrc[0];
    return WVR_VALIDRECTS;
  }
  return 0;
}

LRESULT CWULInteractor::OnWindowPosChanging(WINDOWPOS* position) {
  SyncFromWindow();
  if (!(position->flags & SWP_NOSIZE) && (position->cx != width || position->cy != height))
    flagsB |= WUL_IF_SIZE_PENDING;
  if (!(position->flags & SWP_NOMOVE) && (position->x != x || position->y != y))
    flagsB |= WUL_IF_POSITION_PENDING;
  return 0;
}

LRESULT CWULInteractor::OnWindowPosChanged(WINDOWPOS* position) {
  SyncFromWindow();
  // A record without a move does not carry the position.
  if (!(position->flags & SWP_NOMOVE)) {
    x = position->x;
    y = position->y;
  }
  flagsB &= ~(WUL_IF_SIZE_PENDING | WUL_IF_POSITION_PENDING);
  CheckPosition();
  return 0;
}

LRESULT CWULInteractor::OnStyleChanged() {
  SyncFromWindow();
  return 0;
}

LRESULT CWULInteractor::OnEnable() {
  SyncFromWindow();
  return 0;
}

LRESULT CWULInteractor::OnCancelMode() { return 0; }

LRESULT CWULInteractor::OnDeferredClose() {
  // Only a closing interactor ends; a stray WM_USER changes nothing.
  if (!(flagsC & WUL_IF_CLOSING))
    return 0;
  // A child closed with its parent goes with the parent's window, so that nothing the parent
  // can still reach is freed while messages still reach it.
  if (parent && (parent->flagsC & WUL_IF_CLOSING))
    return 0;
  if (callbackDepth <= 0)
    DestroyWindow(window);
  else
    PostMessageA(window, WUL_MSG_DEFERRED_CLOSE, 0, 0);
  return 0;
}

LRESULT CWULInteractor::OnDestroy() {
  HWND handle = window;
  if (destroyedHandler) {
    // The window goes whatever the handler does; its error is shown by the loop.
    try {
      CWULCallbackBracket bracket(this);
      destroyedHandler(this);
    } catch (...) {
      wulKeepPendingException();
    }
  }
  if (flagsB & WUL_IF_POINTER_INSIDE) {
    KillTimer(handle, WUL_HOVER_TIMER_ID);
    flagsB &= ~WUL_IF_POINTER_INSIDE;
  }
  SetWindowLongPtrA(handle, GWLP_USERDATA, 0);
  window = nullptr;
  if (!(flagsC & WUL_IF_IN_DESTRUCTOR))
    delete this;
  return 0;
}
