#include "wul/WULInteractor.h"
#include "wul/WULError.h"
#include "wul/WULInit.h"
#include "wul/WULSystem.h"

CWULInteractor::CWULInteractor()
    : flagsA(WUL_IF_VISIBLE | WUL_IF_ENABLED | WUL_IF_AUTO_REDRAW | WUL_IF_PARENT_COLOR | WUL_IF_PARENT_FONT),
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
      cursor(nullptr) {
  classCode = WUL_CLASS_INTERACTOR;
  text.listener = this;
  SetParent(wulGetDefaultParent());
}

CWULInteractor::~CWULInteractor() {
  flagsC |= WUL_IF_IN_DESTRUCTOR;
  wulForgetDefaultParent(this);
  if (parent)
    parent->RemoveChild(this);
  while (firstChild)
    delete firstChild;
  if (window)
    DestroyWindow(window);
}

HWND CWULInteractor::Incarnate(HWND parentWindow) {
  if (window)
    return window;
  uint8_t remembered = flagsA;
  flagsB |= WUL_IF_INCARNATING;
  try {
    CreateIncarnation(parentWindow);
  } catch (...) {
    flagsB &= ~WUL_IF_INCARNATING;
    throw;
  }
  // The new window starts hidden and enabled.
  if (!(remembered & WUL_IF_ENABLED))
    EnableWindow(window, FALSE);
  if (remembered & WUL_IF_VISIBLE)
    ShowWindow(window, SW_SHOWNA);
  flagsB &= ~WUL_IF_INCARNATING;
  return window;
}

LRESULT CWULInteractor::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!window)
    return -1;
  HWND handle = window;
  LRESULT result = 0;
  // The object may be gone when Dispatch returns (WM_DESTROY deletes it).
  if (Dispatch(message, wParam, lParam, &result))
    return result;
  return DefWindowProcA(handle, message, wParam, lParam);
}

void CWULInteractor::SetParent(CWULInteractor* newParent) {
  if (newParent == parent)
    return;
  if (window) {
    HWND parentWindow = newParent ? newParent->window : nullptr;
    if (!(style & WS_CHILD) || !parentWindow)
      return;
    ::SetParent(window, parentWindow);
    style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
    exStyle = static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE));
  }
  if (parent)
    parent->RemoveChild(this);
  if (newParent)
    newParent->AddChild(this);
}

HWND CWULInteractor::GetHandle() { return window; }

void CWULInteractor::AddChild(CWULInteractor* child) {
  if (!child || child->parent == this)
    return;
  if (child->parent)
    child->parent->RemoveChild(child);
  child->prevSibling = lastChild;
  child->nextSibling = nullptr;
  if (lastChild)
    lastChild->nextSibling = child;
  else
    firstChild = child;
  lastChild = child;
  ++childCount;
  callbackDepth += child->callbackDepth;
  child->parent = this;
}

void CWULInteractor::RemoveChild(CWULInteractor* child) {
  if (!child || child->parent != this)
    return;
  callbackDepth -= child->callbackDepth;
  if (child->prevSibling)
    child->prevSibling->nextSibling = child->nextSibling;
  else
    firstChild = child->nextSibling;
  if (child->nextSibling)
    child->nextSibling->prevSibling = child->prevSibling;
  else
    lastChild = child->prevSibling;
  child->parent = nullptr;
  child->prevSibling = nullptr;
  child->nextSibling = nullptr;
  --childCount;
}

void CWULInteractor::CreateIncarnation(HWND parentWindow) {
  if (window)
    return;
  if (parent)
    parentWindow = parent->window;
  HWND created = CreateWindowExA(exStyle, wulClassName, text.text, style, x, y, width, height, parentWindow,
                                 nullptr, wulInstance, nullptr);
  if (!created)
    wulThrowError(5, "CWULInteractor::CreateIncarnation", "Cannot create window");
  window = created;
  // Messages sent before this point went to DefWindowProcA.
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

bool CWULInteractor::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  switch (message) {
    case WM_DESTROY:
      *result = OnDestroy();
      return true;
    default:
      return false;
  }
}

LRESULT CWULInteractor::OnDestroy() {
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  window = nullptr;
  if (!(flagsC & WUL_IF_IN_DESTRUCTOR))
    delete this;
  return 0;
}
