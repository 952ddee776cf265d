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
#include "wul/WULAppWindow.h"
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

// The lParam of a WM_KEYDOWN (up false) or WM_KEYUP (up true) for a virtual key.
inline LPARAM KeyParam(int key, bool up) {
  LPARAM value = 1 | (static_cast<LPARAM>(MapVirtualKeyA(static_cast<UINT>(key), 0)) << 16);
  if (up)
    value |= (static_cast<LPARAM>(1) << 30) | (static_cast<LPARAM>(1) << 31);
  return value;
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
// (40, 30), neither maximized nor minimized.
inline void PrepareMainWindow() {
  DropQueuedMessages();
  SetCursorPos(0, 0);
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
