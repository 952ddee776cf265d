#pragma once
// Start-up and shut-down of the framework, the per-thread default parents, the message
// loops and the modality helpers.
#include <windows.h>
#include "wul/WULError.h"

class CWULInteractor;

// One window disabled by wulDisableThreadWindows. The list head is a pointer to the first
// record, owned by the caller.
struct WULDisabledWindow {
  HWND window;
  WULDisabledWindow* next;
};

// Starts the framework once per process; a second call does nothing. A failing step is
// shown and then CWULError 1 "WUL initialization failed" is thrown.
void WULInit(HINSTANCE instance);
void wulDone();
// Creates the calling thread's record when it has none.
void wulCreateTLS();

// The calling thread's stack of default parents, to which new interactors attach.
CWULInteractor* wulGetDefaultParent();
void wulPushDefaultParent(CWULInteractor* interactor);
// Replaces the top entry, or pushes when the stack is empty.
void wulSetDefaultParent(CWULInteractor* interactor);
void wulPopDefaultParent();
void wulPopAllDefaultParents();
// Clears the entries of the calling thread's stack that name a deleted interactor, so
// that later interactors do not attach to it; the entries stay for their pops.
void wulForgetDefaultParent(CWULInteractor* interactor);

// The main loop: returns the exit code of WM_QUIT.
int wulRunMessageLoop();
// Dispatches every message already queued. A WM_QUIT met on the way is posted again.
void wulPumpMessages();
// Sends WM_CLOSE to every top-level window of the calling thread.
void wulCloseThreadWindows();

// Disables every visible, enabled top-level window of the thread but except, recording
// them at the end of *list; wulEnableThreadWindows re-enables those that still exist and
// empties the list.
void wulDisableThreadWindows(WULDisabledWindow** list, HWND except);
void wulEnableThreadWindows(WULDisabledWindow** list);

// Makes the window under the cursor set its cursor again.
void wulUpdateCursor();
bool wulIsAltDown();
bool wulIsCtrlDown();
bool wulIsShiftDown();
bool wulFontFamilyExists(const char* face);
