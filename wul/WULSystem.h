#pragma once
// Process-wide pieces of the framework: the thread-local slot, the system version, the
// look of all framework windows, the shared window class and window procedure, guarded
// allocation, the one-message pump of the popup loops, the close glyphs and the entry
// points bound at run time.
#include <windows.h>
#include <cstddef>
#include <cstdint>

class CWULInteractor;
class CWULShortcutTable;
class CWULImage;

// One entry of a thread's stack of default parents.
struct WULDefaultParentNode {
  CWULInteractor* interactor;
  WULDefaultParentNode* next;
};

// The framework's record of one thread, kept in the thread-local slot.
struct WULThreadBlock {
  WULDefaultParentNode* defaultParents;  // top of the stack, null when empty
  CWULShortcutTable* shortcutTable;
};

typedef BOOL(WINAPI* WULUpdateLayeredWindowProc)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF,
                                                  BLENDFUNCTION*, DWORD);
typedef HRESULT(WINAPI* WULDwmGetWindowAttributeProc)(HWND, DWORD, PVOID, DWORD);
typedef HRESULT(WINAPI* WULDwmSetWindowAttributeProc)(HWND, DWORD, LPCVOID, DWORD);

// Functions that older systems lack; each is null when the system does not offer it.
struct WULDynamicApi {
  WULUpdateLayeredWindowProc updateLayeredWindow;
  WULDwmGetWindowAttributeProc dwmGetWindowAttribute;
  WULDwmSetWindowAttributeProc dwmSetWindowAttribute;
};

extern DWORD wulTLSIndex;  // TLS_OUT_OF_INDEXES (-1) while none is held
extern OSVERSIONINFOA wulOSVersion;
extern char wulClassName[32];
extern HINSTANCE wulInstance;
extern WULDynamicApi wulDynamicApi;
// The close glyph of the system menu and its variant for the highlighted item.
extern CWULImage* wulCloseGlyph;
extern CWULImage* wulCloseGlyphHot;

// Metrics of the look, in pixels.
extern int32_t wulAppWindowMetricPair[2];  // caption height 20, and 14
extern int32_t wulAppWindowMetrics[4];     // caption minimum width 100, sizing frame 6, corner 12, fixed frame 4
extern int32_t wulScrollBarThickness;
extern int32_t wulMenuItemHeight;
extern int32_t wulSystemMenuItemHeight;
extern int32_t wulControlTextHeight;
extern int32_t wulPageTabHeight;
extern int32_t wulCheckTickSize;
extern int32_t wulRadioDotSize;
extern int32_t wulTooltipMetrics[2];  // inner margin, maximum width
// Timings of the look, in milliseconds, and the rows scrolled per wheel notch.
extern int32_t wulHoverPeriod;
extern int32_t wulSubmenuDelay;
extern int32_t wulRepeatDelay;
extern int32_t wulRepeatPeriod;
extern int32_t wulHintDelay;
extern int32_t wulHintDuration;
extern float wulWheelFactor;

// Allocates the slot once; ends the process when the system has none left.
void wulAllocTLSIndex();
WULThreadBlock* wulGetTLS();
// Deletes the calling thread's shortcut table and frees its block.
void wulFreeTLSBlock();

// malloc that throws CWULError 3 instead of returning null. Free with wulFreeMemory.
void* wulAllocateMemory(size_t size);
void wulFreeMemory(void* block);

void wulGetOSVersion();
// Colours, metrics, timings and fonts of the look.
void wulInitSystemLook();
// The fonts of the look alone: the user-interface face is "Tahoma" when exists says the
// family is there, else "Arial"; the third standard font prefers "Arial" the same way.
typedef bool (*WULFontFamilyQuery)(const char* face);
void wulInitLookFonts(WULFontFamilyQuery exists);
void wulRegisterWindowClass();
void wulUnregisterWindowClass();
void wulCreateGlyphImages();
void wulFreeGlyphImages();
void wulLoadDynamicApi(WULDynamicApi* api);
// The loaded module, loading it when needed; null when neither works. Never freed.
HMODULE wulLoadModule(const char* name);

LRESULT CALLBACK wulWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Takes the next message, hands it to the given window and dispatches it.
void wulPumpMessage(HWND window);
// Message kinds: mouse button presses in the client area and in the frame, and keys.
bool wulIsButtonPress(UINT message);
bool wulIsNcButtonPress(UINT message);
bool wulIsKeyboardMessage(UINT message);

// Exceptions never cross the system's frames: the framework's window and timer
// procedures keep what their handlers throw, and the code that called into the system
// (a loop's DispatchMessageA, a SendMessageA) throws it again once the system returned.
void wulKeepPendingException();
void wulRaisePendingException();
bool wulHasPendingException();
// DispatchMessageA and SendMessageA followed by wulRaisePendingException.
LRESULT wulDispatchMessage(const MSG* message);
LRESULT wulSendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// GetMessageA and PeekMessageA (PM_REMOVE) for any window of the thread, as the loops take
// their messages. An error left pending (by a message sent meanwhile) is shown only once the
// message is taken, so that the message is not lost; any other exception travels on, a
// quit request just taken being posted again first.
BOOL wulGetMessage(MSG* message);
BOOL wulPeekMessage(MSG* message);
