#include "wul/WULAppWindow.h"
#include <algorithm>
#include <cmath>
#include "wul/WULDraw.h"
#include "wul/WULError.h"
#include "wul/WULImage.h"
#include "wul/WULMenuShell.h"
#include "wul/WULPopupMenu.h"
#include "wul/WULShared.h"
#include "wul/WULShortcut.h"
#include "wul/WULSystem.h"
#include "wul/WULTooltip.h"

namespace {

inline CWULMenuItem* ItemOf(CWULListNode* node) { return static_cast<CWULMenuItem*>(node); }
inline int SignedLow(LPARAM value) { return static_cast<short>(LOWORD(value)); }
inline int SignedHigh(LPARAM value) { return static_cast<short>(HIWORD(value)); }

bool Inside(const RECT& rect, int px, int py) { return wulPtInRect(px, py, &rect); }

bool AnyMouseButtonDown() {
  return GetKeyState(VK_LBUTTON) < 0 || GetKeyState(VK_RBUTTON) < 0 || GetKeyState(VK_MBUTTON) < 0;
}

void FillSolid(HDC dc, const RECT& rect, const CWULColor& color) {
  HBRUSH brush = CreateSolidBrush(color.GetColorRef());
  if (!brush)
    return;
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

void Line(HDC dc, int x1, int y1, int x2, int y2, HPEN pen) { wulDrawLine(dc, x1, y1, x2, y2, pen); }

RECT Shifted(const RECT& rect, int dx, int dy) {
  RECT r = rect;
  wulOffsetRect(&r, dx, dy);
  return r;
}

const RECT kEmpty = {0, 0, 0, 0};

}  // namespace

CWULAppWindow::CWULAppWindow()
    : activatedHandler(nullptr),
      deactivatedHandler(nullptr),
      closeRequestHandler(nullptr),
      frameKind(WUL_FRAME_NONE),
      hasCaption(1),
      hasSystemMenu(0),
      hasCloseBox(0),
      hasMinimizeBox(0),
      hasMaximizeBox(0),
      bigIcon(nullptr),
      smallIcon(nullptr),
      menu(nullptr),
      captionStyle(WUL_CAPTION_PLAIN),
      minClientWidth(0),
      minClientHeight(0),
      maxClientWidth(-1),
      maxClientHeight(-1),
      windowKind(WUL_WINDOW_ORDINARY),
      closeAction(WUL_CLOSE_DESTROY),
      forwardWheel(1),
      forwardingWheel(0),
      quitOnDestroy(0),
      topmost(0),
      minimized(0),
      maximized(0),
      active(0),
      normalGeometry(kEmpty),
      captionRect(kEmpty),
      iconRect(kEmpty),
      closeRect(kEmpty),
      maximizeRect(kEmpty),
      minimizeRect(kEmpty),
      closePressed(0),
      maximizePressed(0),
      minimizePressed(0),
      menuBarRect(kEmpty),
      menuItemsEnd(0),
      captionBuffer(nullptr),
      menuBarBuffer(nullptr),
      mouseMode(WUL_MODE_NONE),
      lastHit(0),
      pressedButton(0),
      inMenuLoop(0),
      pendingResult(nullptr),
      keyboardOpened(0),
      submenuToOpen(nullptr),
      submenuShell(nullptr),
      lastShellItem(nullptr),
      hotTime(0),
      suppressKeyMenu(0),
      rememberedFocus(nullptr),
      systemMenu(nullptr),
      sysRestore(nullptr),
      sysMove(nullptr),
      sysSize(nullptr),
      sysMinimize(nullptr),
      sysMaximize(nullptr),
      sysClose(nullptr),
      modalResult(0),
      disabledWindows(nullptr),
      modalRun(nullptr) {
  style |= WS_POPUP;
  flagsA |= WUL_IF_TAB_GROUP;
  flagsA &= ~(WUL_IF_PARENT_COLOR | WUL_IF_PARENT_FONT | WUL_IF_VISIBLE);
  flagsB |= WUL_IF_HOVER_WANTED;
  captionBuffer = new CWULOffscreenBuffer();
  menuBarBuffer = new CWULOffscreenBuffer();
  normalGeometry = {x, y, width, height};
  OnGeometryChanged();
}

CWULAppWindow::~CWULAppWindow() {
  flagsC |= WUL_IF_IN_DESTRUCTOR;
  for (WULModalRun* run = modalRun; run; run = run->outer) {
    run->destroyed = true;
    run->result = modalResult;
  }
  modalRun = nullptr;
  wulEnableThreadWindows(&disabledWindows);
  HideItemHint();
  if (CWULMenu* bar = menu) {
    menu = nullptr;
    bar->listener = nullptr;
    bar->highlighted = nullptr;
    delete bar;
  }
  DestroySystemMenu();
  if (quitOnDestroy)
    PostQuitMessage(0);
  // Nothing paints once the destructor runs.
  delete captionBuffer;
  captionBuffer = nullptr;
  delete menuBarBuffer;
  menuBarBuffer = nullptr;
}

// --- geometry ---

int CWULAppWindow::FrameInset() const {
  switch (frameKind) {
    case WUL_FRAME_THIN: return 1;
    case WUL_FRAME_FIXED: return wulAppWindowMetrics[3];
    case WUL_FRAME_SIZING: return wulAppWindowMetrics[1];
    default: return 0;
  }
}

void CWULAppWindow::ComputeInsets() {
  const int f = FrameInset();
  leftInset = f;
  rightInset = f;
  bottomInset = f;
  int top = f;
  LayoutCaption(f);
  if (hasCaption)
    top += wulAppWindowMetricPair[0] + 1;
  top = LayoutMenuBar(top);
  topInset = top;
}

void CWULAppWindow::LayoutCaption(int top) {
  captionRect = kEmpty;
  iconRect = kEmpty;
  closeRect = kEmpty;
  maximizeRect = kEmpty;
  minimizeRect = kEmpty;
  if (!hasCaption)
    return;
  const int f = FrameInset();
  captionRect = {f, top, std::max(f, width - f), top + wulAppWindowMetricPair[0]};
  const int h = captionRect.bottom - captionRect.top;
  if (hasSystemMenu)
    iconRect = {captionRect.left, captionRect.top, captionRect.left + h, captionRect.bottom};
  RECT inner = captionRect;
  wulDeflateRect(&inner, 2);
  const int side = inner.bottom - inner.top;
  int right = inner.right;
  if (hasCloseBox) {
    closeRect = {right - side, inner.top, right, inner.bottom};
    right = closeRect.left - 1;
  }
  if (hasMaximizeBox) {
    maximizeRect = {right - side, inner.top, right, inner.bottom};
    right = maximizeRect.left - 1;
  }
  if (hasMinimizeBox)
    minimizeRect = {right - side, inner.top, right, inner.bottom};
}

int CWULAppWindow::LayoutMenuBar(int top) {
  menuBarRect = kEmpty;
  menuItemsEnd = 0;
  if (!menu)
    return top;
  const int f = FrameInset();
  const int left = f + 1;
  const int barTop = top + 1;
  int tallest = 0;
  if (HDC dc = GetDC(nullptr)) {
    for (CWULListNode* node = menu->items.first; node; node = node->next) {
      MeasureMenuBarItem(dc, ItemOf(node));
      tallest = std::max(tallest, ItemOf(node)->height);
    }
    ReleaseDC(nullptr, dc);
  }
  int itemX = left;
  for (CWULListNode* node = menu->items.first; node; node = node->next) {
    CWULMenuItem* item = ItemOf(node);
    item->x = itemX;
    item->y = barTop;
    item->height = item->visible ? tallest : 0;
    itemX += item->width;
  }
  const int frameRight = width - f;
  menuItemsEnd = std::min(itemX, frameRight - 1);
  menuBarRect = {left, barTop, std::max(left, frameRight - 1), barTop + tallest};
  return menuBarRect.bottom + 1;
}

void CWULAppWindow::MeasureMenuBarItem(HDC dc, CWULMenuItem* item) {
  if (!item || !menu)
    return;
  if (!item->visible) {
    item->width = 0;
    item->height = 0;
    return;
  }
  CWULTextFont textFont(&menu->GetEffectiveFont());
  if (item->bold)
    textFont.SetBold(true);
  textFont.Select(dc);
  TEXTMETRICA metrics = {};
  GetTextMetricsA(dc, &metrics);
  const int fontHeight = metrics.tmHeight;
  const int pad = (fontHeight + 2) / 4;
  switch (item->type) {
    case WUL_MENU_PICTURE: {
      int w = 0;
      int h = 0;
      for (CWULImage* image : {item->image, item->hotImage, item->checkedImage, item->disabledImage}) {
        if (!image)
          continue;
        w = std::max(w, std::max(0, image->width));
        h = std::max(h, std::max(0, image->height));
      }
      item->width = w;
      item->height = h;
      break;
    }
    case WUL_MENU_SEPARATOR:
      item->width = pad;
      item->height = fontHeight;
      break;
    default: {
      RECT area = {0, 0, 0, 0};
      DrawTextA(dc, item->text.text, -1, &area, DT_CALCRECT | DT_SINGLELINE | DT_VCENTER);
      item->width = area.right - area.left + 2 * pad;
      item->height = fontHeight;
      break;
    }
  }
  textFont.Restore();
}

int CWULAppWindow::ClampWidth(int value) {
  const int insets = leftInset + rightInset;
  if (maxClientWidth >= 0)
    value = std::min(value, insets + maxClientWidth);
  return std::max(value, insets + minClientWidth);
}

int CWULAppWindow::ClampHeight(int value) {
  const int insets = topInset + bottomInset;
  if (maxClientHeight >= 0)
    value = std::min(value, insets + maxClientHeight);
  return std::max(value, insets + minClientHeight);
}

void CWULAppWindow::ApplySizeLimits() {
  if (minimized || maximized)
    return;
  const int w = ClampWidth(width);
  const int h = ClampHeight(height);
  if (w != width || h != height)
    CWULFramedWindow::SetSize(w, h);
}

void CWULAppWindow::SetPosition(int newX, int newY) {
  if (minimized || maximized) {
    normalGeometry.left = newX;
    normalGeometry.top = newY;
    return;
  }
  CWULFramedWindow::SetPosition(newX, newY);
  normalGeometry.left = x;
  normalGeometry.top = y;
}

void CWULAppWindow::SetSize(int newWidth, int newHeight) {
  newWidth = ClampWidth(newWidth);
  newHeight = ClampHeight(newHeight);
  if (minimized || maximized) {
    normalGeometry.right = newWidth;
    normalGeometry.bottom = newHeight;
    return;
  }
  CWULFramedWindow::SetSize(newWidth, newHeight);
  normalGeometry.right = width;
  normalGeometry.bottom = height;
}

void CWULAppWindow::SetBounds(int newX, int newY, int newWidth, int newHeight) {
  newWidth = ClampWidth(newWidth);
  newHeight = ClampHeight(newHeight);
  if (minimized || maximized) {
    normalGeometry = {newX, newY, newWidth, newHeight};
    return;
  }
  CWULFramedWindow::SetBounds(newX, newY, newWidth, newHeight);
  normalGeometry = {x, y, width, height};
}

void CWULAppWindow::CenterOnRect(const RECT* rect) {
  RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  const RECT area = rect ? *rect : work;
  int nx = (area.left + area.right - width) / 2;
  int ny = (area.top + area.bottom - height) / 2;
  nx = std::max(static_cast<int>(work.left), std::min(nx, static_cast<int>(work.right) - width));
  ny = std::max(static_cast<int>(work.top), std::min(ny, static_cast<int>(work.bottom) - height));
  SetPosition(nx, ny);
}

void CWULAppWindow::CenterOnWindow(HWND other) {
  RECT rect;
  if (other && GetWindowRect(other, &rect))
    CenterOnRect(&rect);
  else
    CenterOnRect(nullptr);
}

void CWULAppWindow::CenterOnInteractor(CWULInteractor* other) {
  if (!other) {
    CenterOnRect(nullptr);
    return;
  }
  RECT rect;
  other->GetScreenRect(&rect);
  CenterOnRect(&rect);
}

void CWULAppWindow::RefreshPosition() {
  ApplySizeLimits();
  if (window && !minimized && !maximized)
    SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWULAppWindow::BringToForeground() {
  if (!window)
    return;
  if (minimized)
    Restore();
  SetForegroundWindow(window);
  BringWindowToTop(window);
}

// --- states ---

void CWULAppWindow::Minimize() { SetMinimized(true); }
void CWULAppWindow::Maximize() { SetMaximized(true); }

void CWULAppWindow::Restore() {
  if (minimized)
    SetMinimized(false);
  else if (maximized)
    SetMaximized(false);
}

bool CWULAppWindow::IsMinimized() { return minimized != 0; }
bool CWULAppWindow::IsMaximized() { return maximized != 0; }
bool CWULAppWindow::IsActive() { return active != 0; }

void CWULAppWindow::SetMinimized(bool on) {
  if ((minimized != 0) == on)
    return;
  if (window && IsVisible()) {
    ShowWindow(window, on ? SW_MINIMIZE : SW_RESTORE);
    // The position change read the state back; a system that refused leaves it.
    minimized = IsIconic(window) ? 1 : 0;
  } else {
    minimized = on ? 1 : 0;
    if (!on && !maximized)
      CWULFramedWindow::SetBounds(normalGeometry.left, normalGeometry.top, normalGeometry.right,
                                  normalGeometry.bottom);
    OnGeometryChanged();
  }
  UpdateSystemMenu();
  PaintNonClientParts();
}

void CWULAppWindow::SetMaximized(bool on) {
  if ((maximized != 0) == on)
    return;
  if (window && IsVisible()) {
    if (on) {
      normalGeometry = {x, y, width, height};
      ShowWindow(window, SW_SHOWMAXIMIZED);
    } else {
      ShowWindow(window, SW_RESTORE);
    }
    if (!IsIconic(window))
      maximized = IsZoomed(window) ? 1 : 0;
  } else {
    if (on) {
      if (!minimized)
        normalGeometry = {x, y, width, height};
      maximized = 1;
      if (!minimized) {
        MINMAXINFO info = {};
        OnGetMinMaxInfo(&info);
        CWULFramedWindow::SetBounds(info.ptMaxPosition.x, info.ptMaxPosition.y, info.ptMaxSize.x,
                                    info.ptMaxSize.y);
      }
    } else {
      maximized = 0;
      if (!minimized)
        CWULFramedWindow::SetBounds(normalGeometry.left, normalGeometry.top, normalGeometry.right,
                                    normalGeometry.bottom);
    }
    OnGeometryChanged();
  }
  UpdateSystemMenu();
  PaintNonClientParts();
}

void CWULAppWindow::SetVisible(bool on) {
  if (on == IsVisible())
    return;
  if (on)
    flagsA |= WUL_IF_VISIBLE;
  else
    flagsA &= ~WUL_IF_VISIBLE;
  if (!window)
    return;
  if (!on) {
    ShowWindow(window, SW_HIDE);
    SyncFromWindow();
    return;
  }
  const uint8_t wasMinimized = minimized;
  const uint8_t wasMaximized = maximized;
  ShowWindow(window, wasMinimized ? SW_SHOWMINNOACTIVE : wasMaximized ? SW_SHOWMAXIMIZED : SW_SHOWNOACTIVATE);
  if (wasMinimized || wasMaximized) {
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    GetWindowPlacement(window, &placement);
    placement.flags = wasMinimized && wasMaximized ? WPF_RESTORETOMAXIMIZED : 0;
    placement.showCmd = wasMinimized ? SW_SHOWMINNOACTIVE : SW_SHOWMAXIMIZED;
    RECT normal = {normalGeometry.left, normalGeometry.top, normalGeometry.left + normalGeometry.right,
                   normalGeometry.top + normalGeometry.bottom};
    if (!(exStyle & WS_EX_TOOLWINDOW)) {
      RECT work = {0, 0, 0, 0};
      SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
      wulOffsetRect(&normal, -work.left, -work.top);
    }
    placement.rcNormalPosition = normal;
    SetWindowPlacement(window, &placement);
    minimized = wasMinimized;
    maximized = wasMaximized;
  }
  SyncFromWindow();
}

void CWULAppWindow::SetTopmost(bool on) {
  topmost = on ? 1 : 0;
  if (window)
    SetWindowPos(window, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

bool CWULAppWindow::IsTopmost() { return topmost != 0; }

// --- flags and styles ---

void CWULAppWindow::ApplyStyleBit(DWORD bit, bool on) {
  if (on)
    style |= bit;
  else
    style &= ~bit;
  ApplyStyles();
}

int CWULAppWindow::GetFrameKind() { return frameKind; }

void CWULAppWindow::SetFrameKind(int kind) {
  if (kind < WUL_FRAME_NONE || kind > WUL_FRAME_SIZING)
    kind = WUL_FRAME_NONE;
  frameKind = kind;
  style &= ~(WS_BORDER | WS_THICKFRAME);
  if (kind == WUL_FRAME_THIN || kind == WUL_FRAME_FIXED)
    style |= WS_BORDER;
  else if (kind == WUL_FRAME_SIZING)
    style |= WS_THICKFRAME;
  ApplyStyles();
  OnFontChanged();
  UpdateSystemMenu();
}

bool CWULAppWindow::HasCaption() { return hasCaption != 0; }

void CWULAppWindow::SetCaption(bool on) {
  hasCaption = on ? 1 : 0;
  OnFontChanged();
}

bool CWULAppWindow::HasSystemMenu() { return hasSystemMenu != 0; }

void CWULAppWindow::SetSystemMenu(bool on) {
  hasSystemMenu = on ? 1 : 0;
  ApplyStyleBit(WS_SYSMENU, on);
  if (on)
    CreateSystemMenu();
  else
    DestroySystemMenu();
  OnFontChanged();
}

bool CWULAppWindow::HasCloseBox() { return hasCloseBox != 0; }

void CWULAppWindow::SetCloseBox(bool on) {
  hasCloseBox = on ? 1 : 0;
  OnFontChanged();
}

bool CWULAppWindow::HasMinimizeBox() { return hasMinimizeBox != 0; }

void CWULAppWindow::SetMinimizeBox(bool on) {
  hasMinimizeBox = on ? 1 : 0;
  ApplyStyleBit(WS_MINIMIZEBOX, on);
  UpdateSystemMenu();
  OnFontChanged();
}

bool CWULAppWindow::HasMaximizeBox() { return hasMaximizeBox != 0; }

void CWULAppWindow::SetMaximizeBox(bool on) {
  hasMaximizeBox = on ? 1 : 0;
  ApplyStyleBit(WS_MAXIMIZEBOX, on);
  UpdateSystemMenu();
  OnFontChanged();
}

HICON CWULAppWindow::GetBigIcon() { return bigIcon; }

void CWULAppWindow::SetBigIcon(HICON icon) {
  bigIcon = icon;
  if (window)
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}

HICON CWULAppWindow::GetSmallIcon() { return smallIcon; }

void CWULAppWindow::SetSmallIcon(HICON icon) {
  smallIcon = icon;
  if (window)
    SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  PaintNonClientParts();
}

int CWULAppWindow::GetCaptionStyle() { return captionStyle; }

void CWULAppWindow::SetCaptionStyle(int value) {
  captionStyle = value;
  PaintNonClientParts();
}

int CWULAppWindow::GetMinClientWidth() { return minClientWidth; }
int CWULAppWindow::GetMinClientHeight() { return minClientHeight; }
int CWULAppWindow::GetMaxClientWidth() { return maxClientWidth; }
int CWULAppWindow::GetMaxClientHeight() { return maxClientHeight; }

void CWULAppWindow::SetMinClientWidth(int value) {
  minClientWidth = std::max(0, value);
  ApplySizeLimits();
}

void CWULAppWindow::SetMinClientHeight(int value) {
  minClientHeight = std::max(0, value);
  ApplySizeLimits();
}

void CWULAppWindow::SetMaxClientWidth(int value) {
  maxClientWidth = value;
  ApplySizeLimits();
}

void CWULAppWindow::SetMaxClientHeight(int value) {
  maxClientHeight = value;
  ApplySizeLimits();
}

int CWULAppWindow::GetWindowKind() { return windowKind; }

void CWULAppWindow::SetWindowKind(int kind) {
  windowKind = kind;
  exStyle &= ~(WS_EX_TOOLWINDOW | WS_EX_APPWINDOW);
  if (kind == WUL_WINDOW_TOOL)
    exStyle |= WS_EX_TOOLWINDOW;
  else if (kind == WUL_WINDOW_TASKBAR)
    exStyle |= WS_EX_APPWINDOW;
  ApplyStyles();
}

int CWULAppWindow::GetCloseAction() { return closeAction; }
void CWULAppWindow::SetCloseAction(int action) { closeAction = action; }
bool CWULAppWindow::GetForwardWheel() { return forwardWheel != 0; }
void CWULAppWindow::SetForwardWheel(bool on) { forwardWheel = on ? 1 : 0; }
bool CWULAppWindow::GetQuitOnDestroy() { return quitOnDestroy != 0; }
void CWULAppWindow::SetQuitOnDestroy(bool on) { quitOnDestroy = on ? 1 : 0; }
int CWULAppWindow::GetModalResult() { return modalResult; }
CWULMenu* CWULAppWindow::GetSystemMenu() { return systemMenu; }
CWULMenu* CWULAppWindow::GetMenu() { return menu; }

void CWULAppWindow::SetText(const char* newText) {
  CWULFramedWindow::SetText(newText);
  PaintNonClientParts();
}

// --- incarnation ---

HWND CWULAppWindow::Incarnate(HWND parentWindow) {
  return IncarnateWith(parentWindow, [](CWULInteractor* self) {
    CWULAppWindow* app = static_cast<CWULAppWindow*>(self);
    HWND created = app->window;
    if (wulDynamicApi.dwmSetWindowAttribute) {
      // No frame of the system's own: the framework draws it.
      const DWORD disabled = 1;
      wulDynamicApi.dwmSetWindowAttribute(created, 2, &disabled, sizeof disabled);
    }
    if (app->bigIcon)
      SendMessageA(created, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(app->bigIcon));
    if (app->smallIcon)
      SendMessageA(created, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(app->smallIcon));
    if (app->topmost)
      SetWindowPos(created, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  });
}

// --- close and modality ---

void CWULAppWindow::RequestClose() {
  if (window)
    wulSendMessage(window, WM_CLOSE, 0, 0);
  else
    Close();
}

LRESULT CWULAppWindow::OnCloseRequest() {
  if (flagsC & WUL_IF_CLOSING)
    return 0;
  int action = closeAction;
  if (closeRequestHandler) {
    CWULCallbackBracket bracket(this);
    action = closeRequestHandler(this);
  }
  switch (action) {
    case WUL_CLOSE_MINIMIZE: Minimize(); break;
    case WUL_CLOSE_HIDE: Hide(); break;
    case WUL_CLOSE_DESTROY: Close(); break;
    default: break;
  }
  return 0;
}

namespace {

// Ends a modal loop's hold on its window, unless the window was deleted meanwhile (its
// destructor then re-enabled the windows).
class CModalScope {
public:
  explicit CModalScope(CWULAppWindow* window) : self(window) {
    run.outer = window->modalRun;
    run.result = 0;
    run.destroyed = false;
    window->modalRun = &run;
  }
  ~CModalScope() {
    if (run.destroyed)
      return;
    self->modalRun = run.outer;
    wulEnableThreadWindows(&self->disabledWindows);
  }
  CModalScope(const CModalScope&) = delete;
  CModalScope& operator=(const CModalScope&) = delete;

  CWULAppWindow* self;
  WULModalRun run;
};

}  // namespace

int CWULAppWindow::ShowModal(int initial) {
  modalResult = initial;
  if (!window)
    return modalResult;
  wulDisableThreadWindows(&disabledWindows, window);
  CModalScope scope(this);
  const WULModalRun& run = scope.run;
  Show();
  RefreshPosition();
  BringToForeground();
  HWND handle = window;
  MSG message;
  // Nothing of the window is touched once it may have been deleted.
  while (!run.destroyed) {
    BOOL got = wulGetMessage(&message);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (got < 0)
      continue;
    if (message.message == WUL_MSG_DEFERRED_CLOSE && message.hwnd == handle) {
      PostMessageA(message.hwnd, message.message, message.wParam, message.lParam);
      break;
    }
    try {
      wulDispatchMessage(&message);
      TranslateMessage(&message);
    } catch (const CWULError& error) {
      wulShowError(error);
    }
  }
  return run.destroyed ? run.result : modalResult;
}

void CWULAppWindow::EndModal(int value) {
  modalResult = value;
  RequestClose();
}

// --- system menu ---

void CWULAppWindow::CreateSystemMenu() {
  if (systemMenu || !hasSystemMenu)
    return;
  CWULMenu* created = nullptr;
  try {
    created = new CWULMenu();
  } catch (...) {
    created = nullptr;
  }
  if (!created)
    wulThrowError(5, "CWULAppWindow::CreateSystemMenu", "System menu creation failed");
  systemMenu = created;
  systemMenu->color1.Assign(wulColors[11]);
  systemMenu->color2.Assign(wulColors[12]);
  systemMenu->color3.Assign(wulColors[13]);
  systemMenu->font.Assign(wulFonts[7]);
  systemMenu->SetItemHeight(wulSystemMenuItemHeight);
  auto add = [this](const char* text, int32_t value, int type) {
    auto* item = new CWULMenuItem(text);
    item->value = value;
    item->SetType(type);
    systemMenu->Append(item);
    return item;
  };
  sysRestore = add("&Restore", WUL_SYSMENU_RESTORE, WUL_MENU_NORMAL);
  sysMove = add("&Move", WUL_SYSMENU_MOVE, WUL_MENU_NORMAL);
  sysSize = add("&Size", WUL_SYSMENU_SIZE, WUL_MENU_NORMAL);
  sysMinimize = add("Mi&nimize", WUL_SYSMENU_MINIMIZE, WUL_MENU_NORMAL);
  sysMaximize = add("Ma&ximize", WUL_SYSMENU_MAXIMIZE, WUL_MENU_NORMAL);
  add("", 0, WUL_MENU_SEPARATOR);
  sysClose = add("&Close", WUL_SYSMENU_CLOSE, WUL_MENU_NORMAL);
  sysClose->SetBold(true);
  sysClose->SetImage(wulCloseGlyph);
  sysClose->SetHotImage(wulCloseGlyphHot);
  // Shown only: the window itself handles Alt+F4.
  auto* closeKey = new CWULShortcut(WUL_KEY_VIRTUAL, VK_F4, WUL_MOD_ALT);
  sysClose->SetShortcut(closeKey);
  if (CWULShortcutTable* table = closeKey->GetOwner())
    table->Remove(closeKey);
  UpdateSystemMenu();
}

void CWULAppWindow::UpdateSystemMenu() {
  if (!systemMenu)
    return;
  const bool normal = !minimized && !maximized;
  sysRestore->SetVisible(hasMinimizeBox || hasMaximizeBox);
  sysRestore->SetEnabled(!normal);
  sysMove->SetEnabled(normal);
  sysSize->SetVisible(frameKind == WUL_FRAME_SIZING);
  sysSize->SetEnabled(normal);
  sysMinimize->SetVisible(hasMinimizeBox != 0);
  sysMinimize->SetEnabled(!minimized);
  sysMaximize->SetVisible(hasMaximizeBox != 0);
  sysMaximize->SetEnabled(!maximized);
}

void CWULAppWindow::DestroySystemMenu() {
  CWULMenu* old = systemMenu;
  systemMenu = nullptr;
  sysRestore = sysMove = sysSize = sysMinimize = sysMaximize = sysClose = nullptr;
  delete old;
}

void CWULAppWindow::PopupSystemMenu(const RECT* rect, int flags) {
  if (!systemMenu)
    return;
  UpdateSystemMenu();
  const int32_t chosen = WULPopupMenuEx(systemMenu, rect, flags);
  switch (chosen) {
    case WUL_SYSMENU_RESTORE: Restore(); break;
    case WUL_SYSMENU_MOVE:
      if (window)
        DefWindowProcA(window, WM_SYSCOMMAND, SC_MOVE, 0);
      break;
    case WUL_SYSMENU_SIZE:
      if (window)
        DefWindowProcA(window, WM_SYSCOMMAND, SC_SIZE, 0);
      break;
    case WUL_SYSMENU_MINIMIZE: Minimize(); break;
    case WUL_SYSMENU_MAXIMIZE: Maximize(); break;
    case WUL_SYSMENU_CLOSE: RequestClose(); break;
    default: {
      MSG next;
      if (PeekMessageA(&next, nullptr, 0, 0, PM_NOREMOVE) && next.message == WM_SYSKEYDOWN &&
          (next.wParam == VK_MENU || next.wParam == VK_F10))
        suppressKeyMenu = 1;
      break;
    }
  }
}

void CWULAppWindow::PopupSystemMenuAt(int sx, int sy, bool keyboard) {
  RECT point = {sx, sy, sx + 1, sy + 1};
  PopupSystemMenu(&point, keyboard ? 112 : 48);
}

void CWULAppWindow::PopupSystemMenuAtIcon(bool keyboard) {
  RECT icon = hasSystemMenu && hasCaption ? iconRect : captionRect;
  wulOffsetRect(&icon, GetScreenLeft(), GetScreenTop());
  PopupSystemMenu(&icon, keyboard ? 80 : 16);
}

LRESULT CWULAppWindow::OnPopupSystemMenu(int sx, int sy) {
  if (window)
    PostMessageA(window, WUL_MSG_SYSTEM_MENU_REQUEST, 0, MAKELPARAM(sx, sy));
  return 0;
}

LRESULT CWULAppWindow::OnSystemMenuRequest(int sx, int sy) {
  // A request queued before the close began finds no menu to choose from.
  if (!(flagsC & WUL_IF_CLOSING))
    PopupSystemMenuAt(sx, sy, false);
  return 0;
}

LRESULT CWULAppWindow::OnSysCommand(WPARAM command, int sx, int sy) {
  if ((command & 0xFFF0) != SC_KEYMENU)
    return window ? DefWindowProcA(window, WM_SYSCOMMAND, command, MAKELPARAM(sx, sy)) : 0;
  if (GetCapture())
    return 0;
  const int ch = sx & 0xFFFF;
  if (ch) {
    if (ch == ' ') {
      if (!inMenuLoop)
        PopupSystemMenuAtIcon(true);
    } else {
      MenuMnemonic(ch);
    }
  } else if (suppressKeyMenu) {
    suppressKeyMenu = 0;
  } else {
    keyboardOpened = 1;
    EnterMenuLoop();
  }
  return 0;
}

// --- menu bar ---

void CWULAppWindow::SetMenu(CWULMenu* newMenu) {
  if (newMenu == menu)
    return;
  if (newMenu && newMenu->listener)
    wulThrowError(1, "CWULAppWindow::SetMenu", "Cannot assign a menu already being used");
  if (inMenuLoop)
    ExitMenuLoop();
  if (CWULMenu* old = menu) {
    menu = nullptr;
    old->highlighted = nullptr;
    old->listener = nullptr;
  }
  menu = newMenu;
  if (menu) {
    menu->listener = this;
    menu->highlighted = nullptr;
  }
  OnFontChanged();
  PaintNonClientParts();
}

CWULMenuItem* CWULAppWindow::MenuBarItemAt(int hx, int hy) {
  if (!menu || !Inside(menuBarRect, hx, hy) || hx >= menuItemsEnd)
    return nullptr;
  for (CWULListNode* node = menu->items.first; node; node = node->next) {
    CWULMenuItem* item = ItemOf(node);
    if (!item->visible || item->type == WUL_MENU_SEPARATOR)
      continue;
    if (hx >= item->x && hx < item->x + item->width && hy >= item->y && hy < item->y + item->height)
      return item;
  }
  return nullptr;
}

bool CWULAppWindow::HitTest(int hx, int hy) { return menu && Inside(menuBarRect, hx, hy); }

void CWULAppWindow::MouseHover(int hx, int hy) { HoverMenuBar(hx, hy); }

void CWULAppWindow::MouseLeave() {
  HideItemHint();
  if (!inMenuLoop)
    SetHotItem(nullptr);
}

void CWULAppWindow::HoverMenuBar(int hx, int hy) {
  if (!menu)
    return;
  CWULMenuItem* hot = menu->highlighted;
  CWULMenuItem* item = hot && hot->visible && Inside(RECT{hot->x, hot->y, hot->x + hot->width, hot->y + hot->height},
                                                     hx, hy)
                           ? hot
                           : MenuBarItemAt(hx, hy);
  if (item != hot) {
    if (inMenuLoop && !item)
      return;
    SetHotItem(item);
    // With a menu dropped down, the neighbour's menu follows the pointer.
    if (inMenuLoop && item && item->submenu && item->enabled && (submenuShell || submenuToOpen))
      OpenSubmenu(item);
    return;
  }
  if (!item)
    return;
  const DWORD elapsed = GetTickCount() - hotTime;
  const DWORD hintStart = static_cast<DWORD>(wulHintDelay);
  const DWORD hintEnd = hintStart + static_cast<DWORD>(wulHintDuration);
  if (hintSlot.Get()) {
    if (elapsed >= hintEnd)
      HideItemHint();
  } else if (elapsed >= hintStart && elapsed < hintEnd && !submenuShell) {
    ShowItemHint(item);
  }
}

void CWULAppWindow::SetHotItem(CWULMenuItem* item) {
  if (!menu || menu->highlighted == item)
    return;
  if (item && item->GetOwner() != menu)
    return;
  HideItemHint();
  CWULMenuItem* old = menu->highlighted;
  menu->highlighted = item;
  hotTime = GetTickCount();
  PaintMenuBar(nullptr);
  wulRunHighlightCallbacks(this, menu, item, old);
}

void CWULAppWindow::SelectFirstMenuItem() {
  if (!menu)
    return;
  if (CWULMenuItem* item = menu->FirstSelectable())
    SetHotItem(item);
}

void CWULAppWindow::NextMenuItem() {
  if (!menu)
    return;
  if (CWULMenuItem* item = menu->NextSelectable(true))
    SetHotItem(item);
}

void CWULAppWindow::PrevMenuItem() {
  if (!menu)
    return;
  if (CWULMenuItem* item = menu->NextSelectable(false))
    SetHotItem(item);
}

void CWULAppWindow::InvokeMenuItem(CWULMenuItem* item) {
  if (menu)
    menu->ChooseItem(item, this);
}

void CWULAppWindow::OpenSubmenu(CWULMenuItem* item) {
  if (!item)
    return;
  submenuToOpen = nullptr;
  if (submenuShell)
    submenuShell->EndLoop();
  submenuToOpen = item;
  if (window)
    PostMessageA(window, WM_NULL, 0, 0);
}

void CWULAppWindow::StartMenuAt(CWULMenuItem* item, bool keyboard) {
  if (!menu || !item || !item->visible || !item->enabled)
    return;
  keyboardOpened = keyboard ? 1 : 0;
  if (!item->submenu) {
    InvokeMenuItem(item);
    return;
  }
  SetHotItem(item);
  if (inMenuLoop) {
    OpenSubmenu(item);
    return;
  }
  submenuToOpen = item;
  EnterMenuLoop();
}

void CWULAppWindow::MenuMnemonic(int ch) {
  if (!menu)
    return;
  if (CWULMenuItem* item = menu->FindByMnemonic(ch, true))
    StartMenuAt(item, true);
}

void CWULAppWindow::OnMenuOpened() {
  if (menu)
    menu->RunOpen(this);
}

void CWULAppWindow::OnMenuClosed() {
  if (menu)
    menu->RunClose(this);
}

void CWULAppWindow::EnterMenuLoop() {
  if (!menu || inMenuLoop || !window)
    return;
  inMenuLoop = 1;
  pendingResult = nullptr;
  lastShellItem = nullptr;
  mouseMode = WUL_MODE_NONE;
  HideItemHint();
  try {
    OnMenuOpened();
    if (!menu->highlighted)
      SelectFirstMenuItem();
    MenuLoop();
  } catch (...) {
    ExitMenuLoop();
    throw;
  }
  ExitMenuLoop();
}

void CWULAppWindow::ExitMenuLoop() {
  HideItemHint();
  submenuToOpen = nullptr;
  if (submenuShell)
    submenuShell->EndLoop();
  if (!inMenuLoop)
    return;
  inMenuLoop = 0;
  keyboardOpened = 0;
  if (menu)
    SetHotItem(nullptr);
  OnMenuClosed();
  PaintMenuBar(nullptr);
  if (window)
    PostMessageA(window, WM_NULL, 0, 0);
}

void CWULAppWindow::RunSubmenu(CWULMenuItem* item) {
  if (!item || !item->submenu || !menu || item->GetOwner() != menu)
    return;
  CWULPopupMenuShell* shell = CWULPopupMenuShell::Create("CWULAppWindow::MenuLoop", "Submenu shell creation failed");
  shell->SetParent(this);
  submenuShell = shell;
  lastShellItem = nullptr;
  try {
    shell->SetMenu(item->submenu);
    RECT itemRect = {item->x, item->y, item->x + item->width, item->y + item->height};
    wulOffsetRect(&itemRect, GetScreenLeft(), GetScreenTop());
    shell->SetExcludeRect(&itemRect);
    shell->SetFlags((keyboardOpened ? WUL_SHELL_KEYBOARD : 0) + WUL_SHELL_ALIGN_X);
    shell->Incarnate(nullptr);
    CWULMenuItem* chosen = shell->Run();
    submenuShell = nullptr;
    lastShellItem = item;
    if (chosen)
      pendingResult = chosen;
  } catch (...) {
    submenuShell = nullptr;
    CWULPopupMenuShell::Discard(shell);
    throw;
  }
}

void CWULAppWindow::MenuLoop() {
  while (inMenuLoop) {
    if (submenuToOpen) {
      CWULMenuItem* item = submenuToOpen;
      submenuToOpen = nullptr;
      try {
        RunSubmenu(item);
      } catch (const CWULError& error) {
        wulShowError(error);
      }
      if (pendingResult) {
        ExitMenuLoop();
        break;
      }
      continue;
    }
    if (pendingResult) {
      ExitMenuLoop();
      break;
    }
    // Clicks anywhere but on the menu bar, a deferred close, Alt and F10 end the loop; after
    // WM_QUIT, EnterMenuLoop does.
    const WULPopupLoopStep step = wulMenuLoopStep(
        window, [this] { return inMenuLoop && !submenuToOpen; },
        [this](const MSG& message) {
          if (wulIsNcButtonPress(message.message) && !(message.hwnd == window && message.wParam == HTMENU))
            return true;
          if (wulIsButtonPress(message.message) ||
              (message.message == WUL_MSG_DEFERRED_CLOSE && message.hwnd == window))
            return true;
          if (!wulIsMenuKey(message))
            return false;
          suppressKeyMenu = 1;
          return true;
        },
        [this] { ExitMenuLoop(); });
    if (step == WULPopupLoopStep::Stop)
      break;
  }
}

void CWULAppWindow::ShowItemHint(CWULMenuItem* item) {
  if (!item || item->hint.GetLength() == 0 || hintSlot.Get())
    return;
  hintSlot.Show(item->hint.text);
}

void CWULAppWindow::HideItemHint() { hintSlot.Hide(); }

int32_t CWULAppWindow::HandleNotify(CWULObject* sender, int32_t code, intptr_t param) {
  if (flagsC & WUL_IF_IN_DESTRUCTOR)
    return 0;
  if (sender && sender == menu) {
    switch (code) {
      case WUL_NOTIFY_ITEM_CHOSEN:
        if (inMenuLoop) {
          pendingResult = reinterpret_cast<CWULMenuItem*>(param);
          ExitMenuLoop();
        }
        break;
      case WUL_NOTIFY_MENU_DESTROYED:
        if (inMenuLoop)
          ExitMenuLoop();
        menu->listener = nullptr;
        menu = nullptr;
        OnFontChanged();
        PaintNonClientParts();
        break;
      default:
        OnFontChanged();
        PaintNonClientParts();
        break;
    }
    return 0;
  }
  if (sender && submenuShell && sender == submenuShell) {
    if (code == WUL_NOTIFY_SHELL_ENDED) {
      ExitMenuLoop();
    } else if (code == WUL_NOTIFY_NAVIGATION_KEY && menu) {
      keyboardOpened = 1;
      if (param == VK_LEFT)
        PrevMenuItem();
      else if (param == VK_RIGHT)
        NextMenuItem();
      CWULMenuItem* hot = menu->highlighted;
      if (hot && hot->submenu && hot->enabled)
        OpenSubmenu(hot);
      else
        submenuShell->EndLoop();
    }
    return 0;
  }
  return CWULFramedWindow::HandleNotify(sender, code, param);
}

// --- keyboard ---

LRESULT CWULAppWindow::OnKeyDown(int key, LPARAM lParam) {
  if (!inMenuLoop || !menu)
    return CWULFramedWindow::OnKeyDown(key, lParam);
  keyboardOpened = 1;
  CWULMenuItem* hot = menu->highlighted;
  switch (key) {
    case VK_RETURN:
      if (hot && hot->enabled) {
        if (hot->submenu)
          OpenSubmenu(hot);
        else
          InvokeMenuItem(hot);
      }
      break;
    case VK_ESCAPE: ExitMenuLoop(); break;
    case VK_LEFT: PrevMenuItem(); break;
    case VK_RIGHT: NextMenuItem(); break;
    case VK_UP:
    case VK_DOWN:
      if (hot && hot->enabled && hot->submenu)
        OpenSubmenu(hot);
      break;
    default: break;
  }
  return 0;
}

LRESULT CWULAppWindow::OnChar(int key, LPARAM lParam) {
  if (!inMenuLoop || !menu)
    return CWULFramedWindow::OnChar(key, lParam);
  if (CWULMenuItem* item = menu->FindByMnemonic(key, true))
    StartMenuAt(item, true);
  return 0;
}

LRESULT CWULAppWindow::OnSysKeyDown(int key, LPARAM lParam) {
  if (inMenuLoop)
    return OnKeyDown(key, lParam);
  const bool repeat = (lParam & (1 << 30)) != 0;
  const bool alt = (lParam & (1 << 29)) != 0;
  if (key == VK_MENU) {
    if (!repeat && !AnyMouseButtonDown())
      mouseMode = WUL_MODE_ALT;
    return 0;
  }
  if (key == VK_F10 && !alt) {
    if (!repeat && !AnyMouseButtonDown())
      mouseMode = WUL_MODE_F10;
    return 0;
  }
  if (mouseMode == WUL_MODE_ALT || mouseMode == WUL_MODE_F10)
    mouseMode = WUL_MODE_NONE;
  if (key == VK_F4 && alt) {
    if (window)
      wulSendMessage(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    return 0;
  }
  return -1;
}

LRESULT CWULAppWindow::OnSysKeyUp(int key, LPARAM lParam) {
  if (inMenuLoop)
    return 0;
  if ((key == VK_MENU && mouseMode == WUL_MODE_ALT) || (key == VK_F10 && mouseMode == WUL_MODE_F10)) {
    mouseMode = WUL_MODE_NONE;
    if (window)
      wulSendMessage(window, WM_SYSCOMMAND, SC_KEYMENU, 0);
    return 0;
  }
  return CWULFramedWindow::OnSysKeyUp(key, lParam);
}

LRESULT CWULAppWindow::OnSysChar(int key, LPARAM lParam) {
  if (inMenuLoop)
    return OnChar(key, lParam);
  const bool repeat = (lParam & (1 << 30)) != 0;
  if ((lParam & (1 << 29)) && !repeat && window) {
    wulSendMessage(window, WM_SYSCOMMAND, SC_KEYMENU, static_cast<LPARAM>(key & 0xFFFF));
    return 0;
  }
  return CWULFramedWindow::OnSysChar(key, lParam);
}

void CWULAppWindow::OnParentNotify(int event, int id, LPARAM lParam) {
  if (event == WM_LBUTTONDOWN || event == WM_RBUTTONDOWN || event == WM_MBUTTONDOWN) {
    if (mouseMode == WUL_MODE_ALT || mouseMode == WUL_MODE_F10)
      mouseMode = WUL_MODE_NONE;
  }
  CWULFramedWindow::OnParentNotify(event, id, lParam);
}

// --- mouse ---

LRESULT CWULAppWindow::OnNcHitTest(int hx, int hy) {
  if (hx < 0 || hy < 0 || hx >= width || hy >= height)
    return HTNOWHERE;
  RECT client;
  GetClientRect(&client);
  if (Inside(client, hx, hy))
    return HTCLIENT;
  if (hasCaption && Inside(captionRect, hx, hy)) {
    if (hasSystemMenu && Inside(iconRect, hx, hy))
      return HTSYSMENU;
    if (hasCloseBox && Inside(closeRect, hx, hy))
      return HTCLOSE;
    if (hasMinimizeBox && Inside(minimizeRect, hx, hy))
      return HTMINBUTTON;
    if (hasMaximizeBox && Inside(maximizeRect, hx, hy))
      return HTMAXBUTTON;
    return HTCAPTION;
  }
  if (menu && Inside(menuBarRect, hx, hy))
    return HTMENU;
  if (frameKind == WUL_FRAME_SIZING && !maximized) {
    const int band = wulAppWindowMetrics[1];
    const int corner = wulAppWindowMetrics[2];
    const bool left = hx < band;
    const bool right = hx >= width - band;
    const bool top = hy < band;
    const bool bottom = hy >= height - band;
    const bool nearLeft = hx < corner;
    const bool nearRight = hx >= width - corner;
    const bool nearTop = hy < corner;
    const bool nearBottom = hy >= height - corner;
    if ((top && nearLeft) || (left && nearTop))
      return HTTOPLEFT;
    if ((top && nearRight) || (right && nearTop))
      return HTTOPRIGHT;
    if ((bottom && nearLeft) || (left && nearBottom))
      return HTBOTTOMLEFT;
    if ((bottom && nearRight) || (right && nearBottom))
      return HTBOTTOMRIGHT;
    if (left)
      return HTLEFT;
    if (right)
      return HTRIGHT;
    if (top)
      return HTTOP;
    if (bottom)
      return HTBOTTOM;
  }
  return HTBORDER;
}

LRESULT CWULAppWindow::OnNcLButtonDown(int hit, int nx, int ny) {
  lastHit = hit;
  if (mouseMode == WUL_MODE_ALT || mouseMode == WUL_MODE_F10)
    mouseMode = WUL_MODE_NONE;
  switch (hit) {
    case HTMINBUTTON:
    case HTMAXBUTTON:
    case HTCLOSE:
      pressedButton = hit;
      closePressed = hit == HTCLOSE;
      maximizePressed = hit == HTMAXBUTTON;
      minimizePressed = hit == HTMINBUTTON;
      mouseMode = WUL_MODE_BUTTON;
      PaintNonClientParts();
      if (window)
        SetCapture(window);
      return 0;
    case HTSYSMENU:
      PopupSystemMenuAtIcon(false);
      return 0;
    case HTMENU: {
      CWULMenuItem* item = MenuBarItemAt(nx, ny);
      if (!item || !item->enabled)
        return 0;
      if (inMenuLoop && item == lastShellItem && !submenuShell && !submenuToOpen) {
        // A second click on the title closes its menu.
        ExitMenuLoop();
        return 0;
      }
      StartMenuAt(item, false);
      return 0;
    }
    default:
      return CWULFramedWindow::OnNcLButtonDown(hit, nx, ny);
  }
}

LRESULT CWULAppWindow::OnNcLButtonDblClk(int hit, int nx, int ny) {
  if (hit == HTCAPTION) {
    if (hasMaximizeBox) {
      if (maximized)
        Restore();
      else
        Maximize();
    }
    return 0;
  }
  if (hit == HTSYSMENU) {
    RequestClose();
    return 0;
  }
  return CWULFramedWindow::OnNcLButtonDblClk(hit, nx, ny);
}

LRESULT CWULAppWindow::OnNcRButtonDown(int hit, int nx, int ny) {
  if (mouseMode == WUL_MODE_ALT || mouseMode == WUL_MODE_F10)
    mouseMode = WUL_MODE_NONE;
  if (hit == HTCAPTION || hit == HTSYSMENU) {
    PopupSystemMenuAt(nx + GetScreenLeft(), ny + GetScreenTop(), false);
    return 0;
  }
  return CWULFramedWindow::OnNcRButtonDown(hit, nx, ny);
}

LRESULT CWULAppWindow::OnNcRButtonUp(int hit, int nx, int ny) {
  // The menu opened on the press.
  if (hit == HTCAPTION || hit == HTSYSMENU)
    return 0;
  return CWULFramedWindow::OnNcRButtonUp(hit, nx, ny);
}

LRESULT CWULAppWindow::OnNcMButtonDown(int hit, int nx, int ny) {
  if (mouseMode == WUL_MODE_ALT || mouseMode == WUL_MODE_F10)
    mouseMode = WUL_MODE_NONE;
  return CWULFramedWindow::OnNcMButtonDown(hit, nx, ny);
}

LRESULT CWULAppWindow::OnMouseMove(int keys, int mx, int my) {
  if (mouseMode != WUL_MODE_BUTTON || !window)
    return CWULFramedWindow::OnMouseMove(keys, mx, my);
  // The client point in window coordinates.
  POINT point = {mx, my};
  ClientToScreen(window, &point);
  const int hx = point.x - GetScreenLeft();
  const int hy = point.y - GetScreenTop();
  const RECT& button = pressedButton == HTCLOSE ? closeRect : pressedButton == HTMAXBUTTON ? maximizeRect : minimizeRect;
  const bool in = Inside(button, hx, hy);
  uint8_t* flag = pressedButton == HTCLOSE ? &closePressed : pressedButton == HTMAXBUTTON ? &maximizePressed
                                                                                         : &minimizePressed;
  if ((*flag != 0) != in) {
    *flag = in ? 1 : 0;
    PaintNonClientParts();
  }
  return 0;
}

LRESULT CWULAppWindow::OnLButtonDown(int keys, int mx, int my) {
  if (mouseMode == WUL_MODE_ALT || mouseMode == WUL_MODE_F10)
    mouseMode = WUL_MODE_NONE;
  return CWULFramedWindow::OnLButtonDown(keys, mx, my);
}

LRESULT CWULAppWindow::OnRButtonDown(int keys, int mx, int my) {
  if (mouseMode == WUL_MODE_ALT || mouseMode == WUL_MODE_F10)
    mouseMode = WUL_MODE_NONE;
  return CWULFramedWindow::OnRButtonDown(keys, mx, my);
}

LRESULT CWULAppWindow::OnMButtonDown(int keys, int mx, int my) {
  if (mouseMode == WUL_MODE_ALT || mouseMode == WUL_MODE_F10)
    mouseMode = WUL_MODE_NONE;
  return CWULFramedWindow::OnMButtonDown(keys, mx, my);
}

LRESULT CWULAppWindow::OnLButtonUp(int keys, int mx, int my) {
  if (mouseMode != WUL_MODE_BUTTON || !window)
    return CWULFramedWindow::OnLButtonUp(keys, mx, my);
  POINT point = {mx, my};
  ClientToScreen(window, &point);
  const int hx = point.x - GetScreenLeft();
  const int hy = point.y - GetScreenTop();
  const int button = pressedButton;
  const RECT& area = button == HTCLOSE ? closeRect : button == HTMAXBUTTON ? maximizeRect : minimizeRect;
  const bool act = Inside(area, hx, hy);
  mouseMode = WUL_MODE_NONE;
  pressedButton = 0;
  closePressed = maximizePressed = minimizePressed = 0;
  ReleaseCapture();
  PaintNonClientParts();
  if (!act)
    return 0;
  if (button == HTMINBUTTON)
    Minimize();
  else if (button == HTMAXBUTTON)
    maximized ? Restore() : Maximize();
  else if (button == HTCLOSE)
    RequestClose();
  return 0;
}

LRESULT CWULAppWindow::OnCaptureChanged(HWND newCapture) {
  if (mouseMode == WUL_MODE_BUTTON && newCapture != window) {
    mouseMode = WUL_MODE_NONE;
    pressedButton = 0;
    closePressed = maximizePressed = minimizePressed = 0;
    PaintNonClientParts();
  }
  return CWULFramedWindow::OnCaptureChanged(newCapture);
}

LRESULT CWULAppWindow::OnMouseWheel(float notches, int keys, int wx, int wy) {
  // What the window under the pointer declines comes back up its chain to this window;
  // it is not sent round again.
  if (!forwardWheel || !window || forwardingWheel)
    return -1;
  POINT point = {wx + GetScreenLeft(), wy + GetScreenTop()};
  HWND target = GetCapture();
  if (!target)
    target = WindowFromPoint(point);
  if (!target || target == window || GetWindowThreadProcessId(target, nullptr) != GetCurrentThreadId())
    return -1;
  const int delta = static_cast<int>(std::lround(notches * 120.0f));
  forwardingWheel = 1;
  LRESULT answer;
  try {
    answer = wulSendMessage(target, WUL_MSG_FORWARDED_WHEEL, MAKEWPARAM(keys, static_cast<WORD>(delta)),
                            MAKELPARAM(point.x, point.y));
  } catch (...) {
    forwardingWheel = 0;
    throw;
  }
  forwardingWheel = 0;
  return answer;
}

// --- activation and messages ---

LRESULT CWULAppWindow::OnGetMinMaxInfo(MINMAXINFO* info) {
  RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  const int f = FrameInset();
  info->ptMaxPosition.x = work.left - f;
  info->ptMaxPosition.y = work.top - f;
  info->ptMaxSize.x = work.right - work.left + 2 * f;
  info->ptMaxSize.y = work.bottom - work.top + 2 * f;
  int minWidth = minClientWidth + leftInset + rightInset;
  if (hasCaption)
    minWidth = std::max(minWidth, wulAppWindowMetrics[0] + 2 * f);
  if (menu)
    minWidth = std::max(minWidth, static_cast<int>(menuItemsEnd) + 1 + rightInset);
  info->ptMinTrackSize.x = minWidth;
  info->ptMinTrackSize.y = minClientHeight + topInset + bottomInset;
  info->ptMaxTrackSize = info->ptMaxSize;
  if (maxClientWidth >= 0)
    info->ptMaxTrackSize.x = maxClientWidth + leftInset + rightInset;
  if (maxClientHeight >= 0)
    info->ptMaxTrackSize.y = maxClientHeight + topInset + bottomInset;
  return 0;
}

LRESULT CWULAppWindow::OnEnterSizeMove() {
  mouseMode = WUL_MODE_SIZEMOVE;
  return 0;
}

LRESULT CWULAppWindow::OnExitSizeMove() {
  mouseMode = WUL_MODE_NONE;
  return 0;
}

LRESULT CWULAppWindow::OnNcActivate(bool isActive) {
  active = isActive ? 1 : 0;
  PaintNonClientParts();
  return TRUE;
}

LRESULT CWULAppWindow::OnActivate(int state, bool isMinimized, LPARAM) {
  if (state == WA_INACTIVE) {
    HWND focus = GetFocus();
    if (focus && window && IsChild(window, focus))
      rememberedFocus = focus;
  } else if (!isMinimized && window) {
    if (rememberedFocus && IsWindow(rememberedFocus) && IsChild(window, rememberedFocus))
      ::SetFocus(rememberedFocus);
    else
      ::SetFocus(window);
  }
  if (inMenuLoop)
    ExitMenuLoop();
  if (mouseMode == WUL_MODE_ALT || mouseMode == WUL_MODE_F10)
    mouseMode = WUL_MODE_NONE;
  ActivateHandler handler = state == WA_INACTIVE ? deactivatedHandler : activatedHandler;
  if (handler) {
    CWULCallbackBracket bracket(this);
    handler(this, isMinimized);
  }
  return 0;
}

LRESULT CWULAppWindow::OnWindowPosChanged(WINDOWPOS* position) {
  LRESULT result = CWULFramedWindow::OnWindowPosChanged(position);
  if (window && IsWindowVisible(window)) {
    const uint8_t nowMinimized = IsIconic(window) ? 1 : 0;
    const uint8_t nowMaximized = nowMinimized ? maximized : (IsZoomed(window) ? 1 : 0);
    if (nowMinimized != minimized || nowMaximized != maximized) {
      minimized = nowMinimized;
      maximized = nowMaximized;
      UpdateSystemMenu();
      PaintNonClientParts();
    }
  }
  if (!minimized && !maximized && window && !IsIconic(window) && !IsZoomed(window))
    normalGeometry = {x, y, width, height};
  return result;
}

LRESULT CWULAppWindow::OnEraseBackground(HDC dc) {
  if (!(flagsB & WUL_IF_ERASE_SUPPRESSED))
    wulFillUpdateArea(window, dc, GetColor());
  return 1;
}

LRESULT CWULAppWindow::OnPaint(PAINTSTRUCT* paint) {
  FillSolid(paint->hdc, paint->rcPaint, GetColor());
  return 0;
}

bool CWULAppWindow::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  switch (message) {
    case WM_SYSCOMMAND:
      *result = OnSysCommand(wParam, SignedLow(lParam), SignedHigh(lParam));
      return true;
    case WUL_MSG_POPUP_SYSTEM_MENU:
      *result = OnPopupSystemMenu(SignedLow(lParam), SignedHigh(lParam));
      return true;
    case WUL_MSG_SYSTEM_MENU_REQUEST:
      *result = OnSystemMenuRequest(SignedLow(lParam), SignedHigh(lParam));
      return true;
    case WM_ACTIVATE:
      *result = OnActivate(LOWORD(wParam), HIWORD(wParam) != 0, lParam);
      return true;
    case WM_CLOSE:
      *result = OnCloseRequest();
      return true;
    case WM_GETMINMAXINFO:
      *result = OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
      return true;
    case WM_NCACTIVATE:
      *result = OnNcActivate(wParam != 0);
      return true;
    case WM_ENTERSIZEMOVE:
      *result = OnEnterSizeMove();
      return true;
    case WM_EXITSIZEMOVE:
      *result = OnExitSizeMove();
      return true;
    default:
      return CWULFramedWindow::Dispatch(message, wParam, lParam, result);
  }
}

// --- painting ---

HDC CWULAppWindow::WindowDC() {
  return window ? GetDCEx(window, nullptr, DCX_WINDOW | DCX_CACHE | DCX_CLIPSIBLINGS) : nullptr;
}

void CWULAppWindow::PaintNonClientParts() {
  if (flagsC & WUL_IF_IN_DESTRUCTOR)
    return;
  HDC dc = WindowDC();
  try {
    if (dc)
      PaintFrame(dc);
    PaintCaption(dc);
    PaintMenuBar(dc);
  } catch (...) {
    if (dc)
      ReleaseDC(window, dc);
    throw;
  }
  if (dc)
    ReleaseDC(window, dc);
}

LRESULT CWULAppWindow::PaintNonClient(HDC dc) {
  PaintFrame(dc);
  PaintCaption(dc);
  PaintMenuBar(dc);
  return 0;
}

void CWULAppWindow::PaintFrame(HDC dc) {
  HDC target = dc ? dc : WindowDC();
  if (!target)
    return;
  RECT whole = {0, 0, width, height};
  RECT client;
  GetClientRect(&client);
  const int saved = SaveDC(target);
  ExcludeClipRect(target, client.left, client.top, client.right, client.bottom);
  if (hasCaption)
    ExcludeClipRect(target, captionRect.left, captionRect.top, captionRect.right, captionRect.bottom);
  if (menu)
    ExcludeClipRect(target, menuBarRect.left, menuBarRect.top, menuBarRect.right, menuBarRect.bottom);
  FillSolid(target, whole, active ? wulColors[4] : wulColors[5]);
  if (frameKind != WUL_FRAME_NONE) {
    HPEN outline = CreatePen(PS_SOLID, 1, wulColors[2].GetColorRef());
    if (outline) {
      wulDrawRectOutline(target, &whole, outline);
      DeleteObject(outline);
    }
  }
  RestoreDC(target, saved);
  if (!dc)
    ReleaseDC(window, target);
}

void CWULAppWindow::PaintCaptionBackground(HDC dc, const RECT* rect, bool isActive) {
  if (!rect)
    return;
  const CWULColor& base = isActive ? wulColors[4] : wulColors[5];
  if (captionStyle != WUL_CAPTION_SHADED) {
    FillSolid(dc, *rect, base);
    return;
  }
  // Shaded: from a lighter tone at the top to the caption colour at the bottom.
  const CWULColor light = base.Scale(1.3125f);
  const int h = std::max(1L, rect->bottom - rect->top);
  for (int row = 0; row < h; row++) {
    const float t = h > 1 ? static_cast<float>(row) / static_cast<float>(h - 1) : 1.0f;
    RECT line = {rect->left, rect->top + row, rect->right, rect->top + row + 1};
    FillSolid(dc, line, light.Blend(base, t));
  }
}

void CWULAppWindow::PaintCaptionButton(HDC dc, int button) {
  const RECT* area = button == HTCLOSE ? &closeRect : button == HTMAXBUTTON ? &maximizeRect : &minimizeRect;
  const bool shown = button == HTCLOSE ? hasCloseBox : button == HTMAXBUTTON ? hasMaximizeBox : hasMinimizeBox;
  if (!shown || area->right <= area->left)
    return;
  const bool pressed = button == HTCLOSE ? closePressed : button == HTMAXBUTTON ? maximizePressed : minimizePressed;
  RECT r = Shifted(*area, -captionRect.left, -captionRect.top);
  CWULColor face(active ? wulColors[6] : wulColors[7]);
  if (pressed)
    face = face.Scale(0.75f);
  CWULPenBrush set;
  set.Create(face);
  wulFillRect(dc, &r, set.brush);
  if (pressed)
    wulDrawFrame(dc, &r, set.darkPen, set.lightPen, face);
  else
    wulDrawFrame(dc, &r, set.lightPen, set.darkPen, face);
  HPEN glyph = CreatePen(PS_SOLID, 1, wulColors[23].GetColorRef());
  if (!glyph)
    return;
  const int side = r.right - r.left;
  const int m = std::max(3, side / 4);
  const int off = pressed ? 1 : 0;
  const int gl = r.left + m + off;
  const int gt = r.top + m + off;
  const int gr = r.right - m + off;
  const int gb = r.bottom - m + off;
  if (button == HTCLOSE) {
    for (int d = 0; d < 2; d++) {
      Line(dc, gl + d, gt, gr, gb - d, glyph);
      Line(dc, gl, gt + d, gr - d, gb, glyph);
      Line(dc, gr - 1 - d, gt, gl - 1, gb - d, glyph);
      Line(dc, gr - 1, gt + d, gl - 1 + d, gb, glyph);
    }
  } else if (button == HTMINBUTTON) {
    RECT bar = {gl, gb - 2, gr, gb};
    FillSolid(dc, bar, wulColors[23]);
  } else if (maximized) {
    RECT back = {gl + 2, gt, gr, gb - 2};
    RECT front = {gl, gt + 2, gr - 2, gb};
    wulDrawRectOutline(dc, &back, glyph);
    RECT backTop = {back.left, back.top, back.right, back.top + 2};
    FillSolid(dc, backTop, wulColors[23]);
    FillSolid(dc, front, face);
    wulDrawRectOutline(dc, &front, glyph);
    RECT frontTop = {front.left, front.top, front.right, front.top + 2};
    FillSolid(dc, frontTop, wulColors[23]);
  } else {
    RECT box = {gl, gt, gr, gb};
    wulDrawRectOutline(dc, &box, glyph);
    RECT top = {gl, gt, gr, gt + 2};
    FillSolid(dc, top, wulColors[23]);
  }
  DeleteObject(glyph);
}

void CWULAppWindow::PaintCaption(HDC dc) {
  if (!hasCaption || !captionBuffer)
    return;
  const int w = captionRect.right - captionRect.left;
  const int h = captionRect.bottom - captionRect.top;
  if (w <= 0 || h <= 0)
    return;
  try {
    captionBuffer->SetSize(w, h);
  } catch (const CWULError&) {
    return;
  }
  HDC bufferDC = captionBuffer->GetDC();
  RECT all = {0, 0, w, h};
  PaintCaptionBackground(bufferDC, &all, active != 0);
  int textLeft = 4;
  if (hasSystemMenu) {
    RECT icon = Shifted(iconRect, -captionRect.left, -captionRect.top);
    HICON shown = smallIcon ? smallIcon : bigIcon;
    if (shown) {
      const int size = std::min(16L, icon.bottom - icon.top);
      DrawIconEx(bufferDC, icon.left + (icon.right - icon.left - size) / 2, icon.top + (icon.bottom - icon.top - size) / 2,
                 shown, size, size, 0, nullptr, DI_NORMAL);
    }
    textLeft = icon.right + 2;
  }
  int textRight = w - 4;
  for (const RECT* button : {&closeRect, &maximizeRect, &minimizeRect}) {
    if (button->right > button->left)
      textRight = std::min(textRight, static_cast<int>(button->left - captionRect.left) - 2);
  }
  CWULTextFont textFont(active ? &wulFonts[4] : &wulFonts[5]);
  textFont.Select(bufferDC);
  RECT textArea = {textLeft, 0, textRight, h};
  if (textArea.right > textArea.left)
    DrawTextA(bufferDC, text.text, -1, &textArea, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  textFont.Restore();
  PaintCaptionButton(bufferDC, HTCLOSE);
  PaintCaptionButton(bufferDC, HTMAXBUTTON);
  PaintCaptionButton(bufferDC, HTMINBUTTON);
  GdiFlush();
  HDC target = dc ? dc : WindowDC();
  if (target) {
    captionBuffer->BlitAll(target, captionRect.left, captionRect.top);
    if (!dc)
      ReleaseDC(window, target);
  }
}

void CWULAppWindow::PaintMenuBarItem(HDC dc, CWULMenuItem* item) {
  if (!item || !menu || !item->visible || item->width <= 0 || item->height <= 0)
    return;
  RECT area = {item->x - menuBarRect.left, item->y - menuBarRect.top, item->x - menuBarRect.left + item->width,
               item->y - menuBarRect.top + item->height};
  const bool hot = item == menu->highlighted && item->enabled;
  CWULColor background(hot ? menu->GetEffectiveColor2() : menu->GetEffectiveColor1());
  CWULColor foreground(hot ? menu->GetEffectiveColor3() : menu->GetEffectiveFont().color);
  if (!item->enabled)
    foreground = foreground.Blend(background, 0.5f);
  FillSolid(dc, area, background);
  if (item->type == WUL_MENU_SEPARATOR) {
    const int mid = (area.left + area.right) / 2;
    RECT line = {mid, area.top + 2, mid + 1, area.bottom - 2};
    FillSolid(dc, line, wulColors[1]);
    return;
  }
  if (item->type == WUL_MENU_PICTURE) {
    CWULImage* image = hot && item->hotImage ? item->hotImage : item->image;
    if (!item->enabled && item->disabledImage)
      image = item->disabledImage;
    CWULImage* canvas = menuBarBuffer ? menuBarBuffer->GetImage() : nullptr;
    if (image && canvas) {
      GdiFlush();
      const float opacity = item->enabled || item->disabledImage ? 1.0f : 0.5f;
      const int ix = area.left + (area.right - area.left - image->width) / 2;
      const int iy = area.top + (area.bottom - area.top - image->height) / 2;
      if (opacity < 1.0f)
        canvas->Draw(ix, iy, image, opacity);
      else
        canvas->Draw(ix, iy, image);
    }
    return;
  }
  CWULTextFont textFont(&menu->GetEffectiveFont());
  if (item->bold)
    textFont.SetBold(true);
  textFont.SetColor(foreground);
  textFont.Select(dc);
  DrawTextA(dc, item->text.text, -1, &area, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
  textFont.Restore();
}

void CWULAppWindow::PaintMenuBar(HDC dc) {
  if (!menu || !menuBarBuffer || (flagsC & WUL_IF_IN_DESTRUCTOR))
    return;
  const int w = menuBarRect.right - menuBarRect.left;
  const int h = menuBarRect.bottom - menuBarRect.top;
  if (w <= 0 || h <= 0)
    return;
  try {
    menuBarBuffer->SetSize(w, h);
  } catch (const CWULError&) {
    return;
  }
  HDC bufferDC = menuBarBuffer->GetDC();
  RECT all = {0, 0, w, h};
  FillSolid(bufferDC, all, menu->GetEffectiveColor1());
  for (CWULListNode* node = menu->items.first; node; node = node->next) {
    CWULMenuItem* item = ItemOf(node);
    if (item->x < menuItemsEnd)
      PaintMenuBarItem(bufferDC, item);
  }
  // Items past the visible end are cut off.
  if (menuItemsEnd - menuBarRect.left < w) {
    RECT rest = {menuItemsEnd - menuBarRect.left, 0, w, h};
    FillSolid(bufferDC, rest, menu->GetEffectiveColor1());
  }
  GdiFlush();
  HDC target = dc ? dc : WindowDC();
  if (target) {
    menuBarBuffer->BlitAll(target, menuBarRect.left, menuBarRect.top);
    if (!dc)
      ReleaseDC(window, target);
  }
}
