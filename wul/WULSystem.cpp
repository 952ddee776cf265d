#include "wul/WULSystem.h"
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <utility>
#include "wul/WULColor.h"
#include "wul/WULError.h"
#include "wul/WULFont.h"
#include "wul/WULImage.h"
#include "wul/WULInit.h"
#include "wul/WULInteractor.h"
#include "wul/WULShortcut.h"

DWORD wulTLSIndex = TLS_OUT_OF_INDEXES;
OSVERSIONINFOA wulOSVersion;
char wulClassName[32];
HINSTANCE wulInstance = nullptr;
WULDynamicApi wulDynamicApi = {nullptr, nullptr, nullptr};
CWULImage* wulCloseGlyph = nullptr;
CWULImage* wulCloseGlyphHot = nullptr;

int32_t wulAppWindowMetricPair[2];
int32_t wulAppWindowMetrics[4];
int32_t wulScrollBarThickness;
int32_t wulMenuItemHeight;
int32_t wulSystemMenuItemHeight;
int32_t wulControlTextHeight;
int32_t wulPageTabHeight;
int32_t wulCheckTickSize;
int32_t wulRadioDotSize;
int32_t wulTooltipMetrics[2];
int32_t wulHoverPeriod;
int32_t wulSubmenuDelay;
int32_t wulRepeatDelay;
int32_t wulRepeatPeriod;
int32_t wulHintDelay;
int32_t wulHintDuration;
float wulWheelFactor;

namespace {

// What a framework callback threw, waiting for the code that called into the system.
// Kept in raw storage: a thread-local object with a destructor makes the runtime hold the
// module that carries this copy of the framework until the thread ends, so a plug-in that
// ever ran a dialog could never be unloaded.
alignas(std::exception_ptr) thread_local unsigned char pendingStorage[sizeof(std::exception_ptr)];
thread_local bool pendingHeld = false;

std::exception_ptr& Pending() { return *std::launder(reinterpret_cast<std::exception_ptr*>(pendingStorage)); }

std::exception_ptr TakePending() {
  if (!pendingHeld)
    return nullptr;
  std::exception_ptr exception = std::move(Pending());
  Pending().~exception_ptr();
  pendingHeld = false;
  return exception;
}

// The close glyphs: a cross, black for the plain item and white for the highlighted one.
#define O 0x00000000u
#define K 0xFF000000u
#define W 0xFFFFFFFFu
uint32_t closeGlyphPixels[12 * 12] = {
    O, O, O, O, O, O, O, O, O, O, O, O,
    O, O, O, O, O, O, O, O, O, O, O, O,
    O, O, K, K, O, O, O, O, K, K, O, O,
    O, O, K, K, K, O, O, K, K, K, O, O,
    O, O, O, K, K, K, K, K, K, O, O, O,
    O, O, O, O, K, K, K, K, O, O, O, O,
    O, O, O, O, K, K, K, K, O, O, O, O,
    O, O, O, K, K, K, K, K, K, O, O, O,
    O, O, K, K, K, O, O, K, K, K, O, O,
    O, O, K, K, O, O, O, O, K, K, O, O,
    O, O, O, O, O, O, O, O, O, O, O, O,
    O, O, O, O, O, O, O, O, O, O, O, O,
};
uint32_t closeGlyphHotPixels[12 * 12] = {
    O, O, O, O, O, O, O, O, O, O, O, O,
    O, O, O, O, O, O, O, O, O, O, O, O,
    O, O, W, W, O, O, O, O, W, W, O, O,
    O, O, W, W, W, O, O, W, W, W, O, O,
    O, O, O, W, W, W, W, W, W, O, O, O,
    O, O, O, O, W, W, W, W, O, O, O, O,
    O, O, O, O, W, W, W, W, O, O, O, O,
    O, O, O, W, W, W, W, W, W, O, O, O,
    O, O, W, W, W, O, O, W, W, W, O, O,
    O, O, W, W, O, O, O, O, W, W, O, O,
    O, O, O, O, O, O, O, O, O, O, O, O,
    O, O, O, O, O, O, O, O, O, O, O, O,
};
#undef O
#undef K
#undef W

void InitLookColors() {
  CWULColor* c = wulColors;
  c[0].SetRGB(128, 128, 128);
  c[1].Assign(c[0].Scale(0.25f));
  c[2].SetRGB(64, 64, 64);
  c[3].SetRGB(112, 112, 112);
  c[4].SetRGB(80, 80, 80);
  c[5].Assign(c[3]);
  c[6].SetRGB(192, 192, 192);
  c[7].SetRGB(192, 192, 192);
  c[8].SetRGB(192, 192, 192);
  c[9].SetRGB(80, 80, 112);
  c[10].SetRGB(255, 255, 255);
  c[11].SetRGB(192, 192, 192);
  c[12].SetRGB(80, 80, 112);
  c[13].SetRGB(255, 255, 255);
  c[14].SetRGB(144, 144, 144);
  c[15].SetRGB(96, 96, 96);
  c[16].SetRGB(224, 224, 224);
  c[17].SetRGB(0, 0, 0);
  c[18].SetColorRef(GetSysColor(COLOR_HIGHLIGHT));
  c[19].SetColorRef(GetSysColor(COLOR_HIGHLIGHTTEXT));
  c[20].SetRGB(64, 64, 64);
  c[21].Assign(c[20]);
  c[22].Assign(c[14]);
  c[23].SetRGB(0, 0, 0);
  c[24].SetARGB(128, 192, 64, 64);
  c[25].SetRGB(240, 240, 240);
}

}  // namespace

void wulInitLookFonts(WULFontFamilyQuery exists) {
  if (!exists)
    exists = wulFontFamilyExists;
  const char* ui = exists("Tahoma") ? "Tahoma" : "Arial";
  const char* alternative = exists("Arial") ? "Arial" : "Tahoma";
  CWULFont* f = wulFonts;
  f[0].SetFaceName(ui);
  f[0].SetCharSet(DEFAULT_CHARSET);
  f[0].SetHeight(-11);
  f[0].SetQuality(2);
  f[0].color.Assign(wulColors[17]);
  f[0].SetBold(false);
  f[0].SetItalic(false);
  f[0].SetUnderline(false);
  f[0].SetStrikeOut(false);
  f[1].Assign(f[0]);
  f[1].SetFaceName(ui);
  f[1].SetHeight(-9);
  f[2].Assign(f[0]);
  f[2].SetFaceName(alternative);
  f[3].Assign(f[1]);
  f[3].SetFaceName(ui);
  f[4].Assign(f[0]);
  f[4].color.SetRGB(255, 255, 255);
  f[5].Assign(f[0]);
  f[5].color.SetRGB(240, 240, 240);
  f[6].Assign(f[0]);
  f[7].Assign(f[0]);
  f[8].Assign(f[1]);
  f[8].SetQuality(3);
  f[8].color.SetRGB(240, 240, 240);
}

void wulAllocTLSIndex() {
  if (wulTLSIndex != TLS_OUT_OF_INDEXES)
    return;
  DWORD index = TlsAlloc();
  if (index == TLS_OUT_OF_INDEXES) {
    MessageBoxA(nullptr, "CAN'T GET THREAD LOCAL STORAGE INDEX", "WUL Critical Error", MB_ICONERROR);
    ExitProcess(static_cast<UINT>(-1));
  }
  wulTLSIndex = index;
}

WULThreadBlock* wulGetTLS() {
  if (wulTLSIndex == TLS_OUT_OF_INDEXES)
    return nullptr;
  return static_cast<WULThreadBlock*>(TlsGetValue(wulTLSIndex));
}

void wulFreeTLSBlock() {
  // An error that no loop will raise any more goes with the thread's state.
  TakePending();
  WULThreadBlock* block = wulGetTLS();
  if (!block)
    return;
  // A thread that ends without popping its default parents does not leak their nodes.
  while (WULDefaultParentNode* node = block->defaultParents) {
    block->defaultParents = node->next;
    wulFreeMemory(node);
  }
  delete block->shortcutTable;
  block->shortcutTable = nullptr;
  TlsSetValue(wulTLSIndex, nullptr);
  std::free(block);
}

void* wulAllocateMemory(size_t size) {
  void* block = std::malloc(size ? size : 1);
  if (!block)
    wulThrowError(3, "wulAllocateMemory", "Cannot allocate memory");
  return block;
}

void wulFreeMemory(void* block) { std::free(block); }

void wulGetOSVersion() {
  ZeroMemory(&wulOSVersion, sizeof wulOSVersion);
  wulOSVersion.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
  GetVersionExA(&wulOSVersion);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
}

void wulInitSystemLook() {
  InitLookColors();
  wulAppWindowMetricPair[0] = 20;
  wulAppWindowMetricPair[1] = 14;
  wulAppWindowMetrics[0] = 100;
  wulAppWindowMetrics[1] = 6;
  wulAppWindowMetrics[2] = 12;
  wulAppWindowMetrics[3] = 4;
  wulScrollBarThickness = 15;
  wulMenuItemHeight = 16;
  wulSystemMenuItemHeight = 16;
  wulControlTextHeight = 14;
  wulPageTabHeight = 18;
  wulCheckTickSize = 12;
  wulRadioDotSize = 12;
  wulTooltipMetrics[0] = 2;
  wulTooltipMetrics[1] = 400;
  wulHoverPeriod = 100;
  wulSubmenuDelay = 250;
  wulRepeatDelay = 500;
  wulRepeatPeriod = 100;
  wulHintDelay = 1200;
  wulHintDuration = 10000;
  wulWheelFactor = 3.0f;
  wulInitLookFonts(wulFontFamilyExists);
}

void wulCreateGlyphImages() {
  wulFreeGlyphImages();
  wulCloseGlyph = new CWULImage(closeGlyphPixels, 12, 12);
  CWULImage::AddRef(wulCloseGlyph);
  wulCloseGlyphHot = new CWULImage(closeGlyphHotPixels, 12, 12);
  CWULImage::AddRef(wulCloseGlyphHot);
}

void wulFreeGlyphImages() {
  // Holders that still have a reference keep their image until they release it.
  CWULImage::Release(wulCloseGlyph);
  wulCloseGlyph = nullptr;
  CWULImage::Release(wulCloseGlyphHot);
  wulCloseGlyphHot = nullptr;
}

void wulRegisterWindowClass() {
  std::snprintf(wulClassName, sizeof wulClassName, "WUL:%08X",
                static_cast<unsigned>(reinterpret_cast<uintptr_t>(&wulWindowProc)));
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = wulWindowProc;
  windowClass.cbClsExtra = 0;
  windowClass.cbWndExtra = 0;
  windowClass.hInstance = wulInstance;
  windowClass.hIcon = nullptr;
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  // Every pixel is painted by the framework.
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  windowClass.lpszMenuName = nullptr;
  windowClass.lpszClassName = wulClassName;
  windowClass.hIconSm = nullptr;
  if (!RegisterClassExA(&windowClass))
    wulThrowError(1, "wulRegisterWindowClass", "Cannot register window class");
}

void wulUnregisterWindowClass() { UnregisterClassA(wulClassName, wulInstance); }

void wulLoadDynamicApi(WULDynamicApi* api) {
  if (!api)
    return;
  api->updateLayeredWindow = nullptr;
  api->dwmGetWindowAttribute = nullptr;
  api->dwmSetWindowAttribute = nullptr;
  if (HMODULE user = wulLoadModule("USER32.DLL"))
    api->updateLayeredWindow =
        reinterpret_cast<WULUpdateLayeredWindowProc>(reinterpret_cast<void*>(GetProcAddress(user, "UpdateLayeredWindow")));
  if (HMODULE dwm = wulLoadModule("DWMAPI.DLL")) {
    api->dwmGetWindowAttribute = reinterpret_cast<WULDwmGetWindowAttributeProc>(
        reinterpret_cast<void*>(GetProcAddress(dwm, "DwmGetWindowAttribute")));
    api->dwmSetWindowAttribute = reinterpret_cast<WULDwmSetWindowAttributeProc>(
        reinterpret_cast<void*>(GetProcAddress(dwm, "DwmSetWindowAttribute")));
  }
}

HMODULE wulLoadModule(const char* name) {
  if (!name)
    return nullptr;
  HMODULE module = GetModuleHandleA(name);
  if (!module)
    module = LoadLibraryA(name);
  return module;
}

LRESULT CALLBACK wulWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* object = reinterpret_cast<CWULInteractor*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!object)
    return DefWindowProcA(window, message, wParam, lParam);
  try {
    return object->WindowProc(message, wParam, lParam);
  } catch (...) {
    wulKeepPendingException();
    return 0;
  }
}

void wulPumpMessage(HWND window) {
  MSG message;
  BOOL got = wulGetMessage(&message);
  if (got < 0)
    return;
  try {
    if (got == 0) {
      // The quit request stays for the outer loop.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    message.hwnd = window;
    wulDispatchMessage(&message);
    TranslateMessage(&message);
  } catch (const CWULError& error) {
    wulShowError(error);
  }
}

void wulKeepPendingException() {
  // The first one wins: it would have ended the others' handlers had it travelled on.
  if (pendingHeld)
    return;
  new (pendingStorage) std::exception_ptr(std::current_exception());
  pendingHeld = true;
}

void wulRaisePendingException() {
  if (std::exception_ptr exception = TakePending())
    std::rethrow_exception(exception);
}

bool wulHasPendingException() { return pendingHeld; }

LRESULT wulDispatchMessage(const MSG* message) {
  LRESULT result = DispatchMessageA(message);
  wulRaisePendingException();
  return result;
}

LRESULT wulSendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = SendMessageA(window, message, wParam, lParam);
  wulRaisePendingException();
  return result;
}

namespace {

void ShowPendingError(bool quitTaken, const MSG& message) {
  try {
    wulRaisePendingException();
  } catch (const CWULError& error) {
    wulShowError(error);
  } catch (...) {
    if (quitTaken)
      PostQuitMessage(static_cast<int>(message.wParam));
    throw;
  }
}

}  // namespace

BOOL wulGetMessage(MSG* message) {
  BOOL got = GetMessageA(message, nullptr, 0, 0);
  ShowPendingError(got == 0, *message);
  return got;
}

BOOL wulPeekMessage(MSG* message) {
  BOOL got = PeekMessageA(message, nullptr, 0, 0, PM_REMOVE);
  ShowPendingError(got && message->message == WM_QUIT, *message);
  return got;
}

bool wulIsButtonPress(UINT message) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
      return true;
    default:
      return false;
  }
}

bool wulIsNcButtonPress(UINT message) {
  switch (message) {
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
    case WM_NCRBUTTONDOWN:
    case WM_NCRBUTTONDBLCLK:
    case WM_NCMBUTTONDOWN:
    case WM_NCMBUTTONDBLCLK:
      return true;
    default:
      return false;
  }
}

bool wulIsKeyboardMessage(UINT message) {
  switch (message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
      return true;
    default:
      return false;
  }
}
