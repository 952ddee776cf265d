#include "wul/WULInit.h"
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>
#include "wul/WULSRGB.h"
#include "wul/WULShortcut.h"
#include "wul/WULSystem.h"

namespace {

bool initialized = false;

bool IsKeyMessage(UINT message) {
  return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_CHAR || message == WM_SYSKEYDOWN ||
         message == WM_SYSKEYUP || message == WM_SYSCHAR;
}

// Dispatches, then translates, so that a key reaches its window before its character
// message exists. Returns the dispatch result.
LRESULT DispatchAndTranslate(const MSG& message) {
  LRESULT result = wulDispatchMessage(&message);
  TranslateMessage(&message);
  return result;
}

// The calling thread's block, made on first use.
WULThreadBlock* ThreadBlock() {
  WULThreadBlock* block = wulGetTLS();
  if (!block) {
    wulCreateTLS();
    block = wulGetTLS();
  }
  return block;
}

BOOL CALLBACK CloseWindowProc(HWND window, LPARAM) {
  SendMessageA(window, WM_CLOSE, 0, 0);
  return TRUE;
}

BOOL CALLBACK DisableWindowProc(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<std::pair<WULDisabledWindow**, HWND>*>(param);
  if (window == search->second)
    return TRUE;
  LONG style = GetWindowLongA(window, GWL_STYLE);
  if (!(style & WS_VISIBLE) || (style & WS_DISABLED))
    return TRUE;
  // No exception may leave this callback: a record that cannot be had leaves the window enabled.
  auto* record = static_cast<WULDisabledWindow*>(std::malloc(sizeof(WULDisabledWindow)));
  if (!record)
    return TRUE;
  record->window = window;
  record->next = nullptr;
  WULDisabledWindow** tail = search->first;
  while (*tail)
    tail = &(*tail)->next;
  *tail = record;
  EnableWindow(window, FALSE);
  return TRUE;
}

BOOL CALLBACK FontFamilyProc(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM param) {
  *reinterpret_cast<bool*>(param) = true;
  return 0;
}

}  // namespace

void WULInit(HINSTANCE instance) {
  if (initialized)
    return;
  try {
    wulAllocTLSIndex();
    wulGetOSVersion();
    wulLoadDynamicApi(&wulDynamicApi);
    wulBuildSRGBTables();
    wulInitSystemLook();
    wulCreateGlyphImages();
    wulInstance = instance;
    wulRegisterWindowClass();
    wulCreateTLS();
  } catch (const CWULError& error) {
    wulShowError(error);
    wulThrowError(1, "WULInit", "WUL initialization failed");
  }
  initialized = true;
}

void wulDone() {
  wulPopAllDefaultParents();
  wulFreeTLSBlock();
  wulUnregisterWindowClass();
  wulFreeGlyphImages();
  if (wulTLSIndex != TLS_OUT_OF_INDEXES) {
    TlsFree(wulTLSIndex);
    wulTLSIndex = TLS_OUT_OF_INDEXES;
  }
}

void wulCreateTLS() {
  if (wulTLSIndex == TLS_OUT_OF_INDEXES || wulGetTLS())
    return;
  auto* block = static_cast<WULThreadBlock*>(std::malloc(sizeof(WULThreadBlock)));
  if (!block) {
    MessageBoxA(nullptr, "CAN'T ALLOCATE THREAD LOCAL STORAGE", "WUL Critical Error", MB_ICONERROR);
    ExitProcess(static_cast<UINT>(-1));
  }
  block->defaultParents = nullptr;
  block->shortcutTable = nullptr;
  if (!TlsSetValue(wulTLSIndex, block)) {
    std::free(block);
    return;
  }
  block->shortcutTable = new (std::nothrow) CWULShortcutTable;
  if (!block->shortcutTable)
    wulThrowError(5, "wulCreateTLS", "Shortcut table creation failed");
}

CWULInteractor* wulGetDefaultParent() {
  WULThreadBlock* block = wulGetTLS();
  if (!block || !block->defaultParents)
    return nullptr;
  return block->defaultParents->interactor;
}

void wulPushDefaultParent(CWULInteractor* interactor) {
  WULThreadBlock* block = ThreadBlock();
  if (!block)
    return;
  auto* node = static_cast<WULDefaultParentNode*>(wulAllocateMemory(sizeof(WULDefaultParentNode)));
  node->interactor = interactor;
  node->next = block->defaultParents;
  block->defaultParents = node;
}

void wulSetDefaultParent(CWULInteractor* interactor) {
  WULThreadBlock* block = ThreadBlock();
  if (block && block->defaultParents)
    block->defaultParents->interactor = interactor;
  else
    wulPushDefaultParent(interactor);
}

void wulPopDefaultParent() {
  WULThreadBlock* block = wulGetTLS();
  if (!block || !block->defaultParents)
    return;
  WULDefaultParentNode* node = block->defaultParents;
  block->defaultParents = node->next;
  wulFreeMemory(node);
}

void wulPopAllDefaultParents() {
  WULThreadBlock* block = wulGetTLS();
  while (block && block->defaultParents)
    wulPopDefaultParent();
}

void wulForgetDefaultParent(CWULInteractor* interactor) {
  WULThreadBlock* block = wulGetTLS();
  if (!block || !interactor)
    return;
  for (WULDefaultParentNode* node = block->defaultParents; node; node = node->next) {
    if (node->interactor == interactor)
      node->interactor = nullptr;
  }
}

int wulRunMessageLoop() {
  MSG message;
  for (;;) {
    BOOL got = wulGetMessage(&message);
    try {
      if (got > 0) {
        LRESULT result = DispatchAndTranslate(message);
        // A nonzero result means that no window consumed the key.
        if (IsKeyMessage(message.message) && result != 0) {
          WULThreadBlock* block = wulGetTLS();
          if (block && block->shortcutTable)
            block->shortcutTable->ProcessMessage(&message);
        }
      }
    } catch (const CWULError& error) {
      wulShowError(error);
    }
    if (got == 0)
      break;
  }
  int exitCode = static_cast<int>(message.wParam);
  try {
    wulCloseThreadWindows();
  } catch (const CWULError& error) {
    wulShowError(error);
  }
  while (wulPeekMessage(&message)) {
    try {
      DispatchAndTranslate(message);
    } catch (const CWULError& error) {
      wulShowError(error);
    }
  }
  return exitCode;
}

void wulPumpMessages() {
  MSG message;
  while (wulPeekMessage(&message)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    try {
      DispatchAndTranslate(message);
    } catch (const CWULError& error) {
      wulShowError(error);
    }
  }
}

void wulCloseThreadWindows() {
  EnumThreadWindows(GetCurrentThreadId(), CloseWindowProc, 0);
  wulRaisePendingException();
}

void wulDisableThreadWindows(WULDisabledWindow** list, HWND except) {
  if (!list)
    return;
  std::pair<WULDisabledWindow**, HWND> search(list, except);
  EnumThreadWindows(GetCurrentThreadId(), DisableWindowProc, reinterpret_cast<LPARAM>(&search));
}

void wulEnableThreadWindows(WULDisabledWindow** list) {
  if (!list)
    return;
  WULDisabledWindow* record = *list;
  *list = nullptr;
  while (record) {
    WULDisabledWindow* next = record->next;
    if (IsWindow(record->window))
      EnableWindow(record->window, TRUE);
    std::free(record);
    record = next;
  }
}

void wulUpdateCursor() {
  if (GetCapture())
    return;
  POINT point;
  if (!GetCursorPos(&point))
    return;
  HWND window = WindowFromPoint(point);
  if (!window)
    return;
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId())
    return;
  LRESULT hit = wulSendMessage(window, WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y));
  wulSendMessage(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window),
                 MAKELPARAM(static_cast<WORD>(hit), WM_MOUSEMOVE));
}

bool wulIsAltDown() { return GetKeyState(VK_MENU) < 0; }
bool wulIsCtrlDown() { return GetKeyState(VK_CONTROL) < 0; }
bool wulIsShiftDown() { return GetKeyState(VK_SHIFT) < 0; }

bool wulFontFamilyExists(const char* face) {
  // An empty name would enumerate every family.
  if (!face || !face[0] || std::strlen(face) >= LF_FACESIZE)
    return false;
  HDC dc = GetDC(nullptr);
  if (!dc)
    return false;
  LOGFONTA font = {};
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfPitchAndFamily = 0;
  std::strcpy(font.lfFaceName, face);
  bool found = false;
  EnumFontFamiliesExA(dc, &font, reinterpret_cast<FONTENUMPROCA>(FontFamilyProc), reinterpret_cast<LPARAM>(&found),
                      0);
  ReleaseDC(nullptr, dc);
  return found;
}
