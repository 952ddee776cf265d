#pragma once
// Set-up and helpers shared by the suites that open the main window.
#include <windows.h>
#include "document/Project.h"
#include "shell/Clipboard.h"
#include "shell/Settings.h"
#include "tools/CurrentImage.h"
#include "tools/ToolManager.h"
#include "tools/WorkingCopies.h"
#include "ui/AppCursors.h"
#include "ui/MainWindow.h"
#include "ViewSettings.h"
#include "common/KeyMessages.h"
#include "wul/WULAppWindow.h"
#include "wul/WULItemBar.h"
#include "wul/WULShortcut.h"
#include "wul/WULSystem.h"
#include "wul/WindowTestKit.h"

// Takes the current project away and deletes it.
inline void DropProject() {
  CProject* project = GetCurrentProject();
  SetCurrentProject(nullptr);
  ResyncWorkingCopies();
  delete project;
}

// Dispatches what is queued as the main loop does: a key that no window consumed goes to
// the thread's shortcut table.
inline void PumpLikeMainLoop() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    LRESULT result = wulDispatchMessage(&message);
    TranslateMessage(&message);
    const bool key = message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN;
    if (key && result != 0) {
      WULThreadBlock* block = wulGetTLS();
      if (block && block->shortcutTable)
        block->shortcutTable->ProcessMessage(&message);
    }
  }
}

// Runs what is queued as the main loop does until the condition holds or about timeoutMs
// passed; returns the condition.
template <class Condition>
bool PumpLikeMainLoopUntil(Condition condition, DWORD timeoutMs = 3000) {
  const DWORD start = GetTickCount();
  for (;;) {
    PumpLikeMainLoop();
    if (condition())
      return true;
    const DWORD waited = GetTickCount() - start;
    if (waited >= timeoutMs)
      return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - waited, QS_ALLINPUT);
  }
}

// One event through the system's input queue, run as the main loop runs it until the key or
// button it moves (vk) shows the new state: the message has been taken and dispatched.
inline bool SendOneInput(INPUT input, int vk, bool down) {
  if (SendInput(1, &input, sizeof input) != 1)
    return false;
  return PumpLikeMainLoopUntil([&] { return (GetKeyState(vk) < 0) == down; });
}

// A real left click: the pointer goes to the client point of the window, and the button goes
// down and up through the system's input, which sends the messages to the window under the
// pointer. False when the display did not put the pointer over the window.
inline bool RealClick(HWND window, int cx, int cy) {
  POINT screen = {cx, cy};
  ClientToScreen(window, &screen);
  SetCursorPos(screen.x, screen.y);
  PumpLikeMainLoop();
  if (WindowFromPoint(screen) != window)
    return false;
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  const bool down = SendOneInput(input, VK_LBUTTON, true);
  input.mi.dwFlags = MOUSEEVENTF_LEFTUP;
  const bool up = SendOneInput(input, VK_LBUTTON, false);
  return down && up;
}

// A real key stroke: down and up through the system's input, which sends them to the window
// that has the keyboard focus. The cursor keys and Home and End come as extended keys, as
// from their own block of a keyboard.
inline bool RealKey(int key) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = static_cast<WORD>(key);
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(static_cast<UINT>(key), 0));
  const bool extended = key == VK_UP || key == VK_DOWN || key == VK_LEFT || key == VK_RIGHT || key == VK_HOME ||
                        key == VK_END || key == VK_PRIOR || key == VK_NEXT;
  input.ki.dwFlags = extended ? KEYEVENTF_EXTENDEDKEY : 0;
  const bool down = SendOneInput(input, key, true);
  input.ki.dwFlags |= KEYEVENTF_KEYUP;
  const bool up = SendOneInput(input, key, false);
  return down && up;
}

// Presses the keys that move a list's selection, starting on its second row, each as the
// keyboard sends it to the window with the focus; expectAt (row, key) checks that the row then
// current is row (0 = the list's first).
template <class ExpectAt>
void PressTheListKeys(ExpectAt expectAt) {
  const struct {
    int key;
    int row;
  } steps[] = {{VK_DOWN, 2}, {VK_END, 3}, {VK_DOWN, 3}, {VK_HOME, 0}, {VK_UP, 0}, {VK_DOWN, 1}, {VK_UP, 0}};
  for (const auto& step : steps) {
    ASSERT_TRUE(RealKey(step.key)) << step.key;
    expectAt(step.row, step.key);
  }
}

// Whether the running suite made the thread's shortcut table.
inline bool g_SuiteOwnsShortcuts = false;

// What a suite that opens the main window needs once: the framework, the settings, the
// clipboard, the cursors and, unless there is one, the shortcut table.
inline void StartMainWindowSuite() {
  StartFramework();
  EnsureViewSettings();
  g_Clipboard.Init();
  if (!GetAppIcon(32))
    LoadAppCursors();
  if (!g_Shortcuts[0]) {
    CreateShortcutTable();
    g_SuiteOwnsShortcuts = true;
  }
}

// Shortcuts made by StartMainWindowSuite leave the thread's table, so that a later suite
// can make its own.
inline void EndMainWindowSuite() {
  if (!g_SuiteOwnsShortcuts)
    return;
  g_SuiteOwnsShortcuts = false;
  WULThreadBlock* block = wulGetTLS();
  for (CWULShortcut*& shortcut : g_Shortcuts) {
    if (block && block->shortcutTable)
      block->shortcutTable->Remove(shortcut);
    shortcut = nullptr;
  }
}

// Drops what is queued, parks the pointer and has the main window open 800 x 600 at
// (40, 30), neither maximized nor minimized, with the panels as they first come, whatever
// an earlier test left.
inline void PrepareMainWindow() {
  DropQueuedMessages();
  SetCursorPos(0, 0);
  CSetting* const panels[] = {g_Settings.panelsProjectBodyFolded, g_Settings.panelsProjectBodyClientHeight,
                              g_Settings.panelsImageBodyFolded,   g_Settings.panelsImageBodyClientHeight,
                              g_Settings.panelsToolBodyFolded,    g_Settings.panelsToolBodyClientHeight,
                              g_Settings.panelsColorBodyFolded,   g_Settings.panelsColorBodyClientHeight,
                              g_Settings.panelsPreviewBodyFolded, g_Settings.panelsPreviewBodyClientHeight};
  for (CSetting* panel : panels)
    panel->ResetToDefault();
  g_Settings.mainWindowPositionLeft->SetValue(40);
  g_Settings.mainWindowPositionTop->SetValue(30);
  g_Settings.mainWindowSizeWidth->SetValue(800);
  g_Settings.mainWindowSizeHeight->SetValue(600);
  g_Settings.mainWindowMaximized->SetValue(false);
  g_Settings.mainWindowMinimized->SetValue(false);
}

// Deletes the main window without asking, drops what is queued and ends the active tool.
inline void DiscardMainWindow() {
  if (g_MainWindow) {
    g_MainWindow->closeRequestHandler = nullptr;
    delete g_MainWindow;
  }
  DropQueuedMessages();
  g_ToolManager.ClearActiveTool();
}

// Creates the main window, waits until it shows, brings it to the front and runs what is
// queued. False when it did not show.
inline bool OpenMainWindow() {
  CreateMainWindow();
  if (!g_MainWindow ||
      !PumpUntil([] { return g_MainWindow->GetHandle() && IsWindowVisible(g_MainWindow->GetHandle()); }))
    return false;
  SetForegroundWindow(g_MainWindow->GetHandle());
  PumpLikeMainLoop();
  return true;
}

// A real click on an item of a bar: the pointer comes over it (at its centre, or at the
// offset given), the left button goes down and up, then the pointer leaves.
inline void ClickBarItem(CWULBarItem* item, int dx = -1, int dy = -1) {
  CWULItemBar* bar = item->GetBar();
  const int cx = item->GetX() + (dx < 0 ? item->GetWidth() / 2 : dx);
  const int cy = item->GetY() + (dy < 0 ? item->GetHeight() / 2 : dy);
  POINT screen = {cx, cy};
  ClientToScreen(bar->GetHandle(), &screen);
  SetCursorPos(screen.x, screen.y);
  wulSendMessage(bar->GetHandle(), WM_MOUSEMOVE, 0, MAKELPARAM(cx, cy));
  wulSendMessage(bar->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(cx, cy));
  wulSendMessage(bar->GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(cx, cy));
  PumpLikeMainLoop();
  SetCursorPos(0, 0);
  bar->HideHint();
}
