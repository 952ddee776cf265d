// The Restart Manager's close (WM_ENDSESSION with ENDSESSION_CLOSEAPP) in the editor's own run:
// its services, settings, main window and main loop, in a process of its own.
#include <gtest/gtest.h>
#include <windows.h>
#include <memory>
#include <string>
#include "common/BoxWatcher.h"
#include "common/ChildRun.h"
#include "common/SettingsKey.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Project.h"
#include "document/ProjectFile.h"
#include "shell/Application.h"
#include "shell/Registry.h"
#include "shell/Settings.h"
#include "sys/ZR.h"
#include "tools/CurrentImage.h"
#include "ui/MainWindow.h"
#include "wul/WULAppWindow.h"
#include "wul/WULInit.h"
#include "EditorProcess.h"

namespace {

bool SettingsStored() {
  HKEY key = OpenRegKey(HKEY_CURRENT_USER, kSettingsRootKey, KEY_READ);
  CloseRegKey(key);
  return key != nullptr;
}

// What the run saw at the session's end.
struct SessionEnd {
  bool queried = false;
  bool mayEnd = false;
  bool storedByTheEnd = false;
  bool timedOut = false;
};
SessionEnd g_end;

// Once the command line's project is open: the Restart Manager's two messages.
void CALLBACK EndTheSession(HWND, UINT, UINT_PTR id, DWORD) {
  if (!g_MainWindow || !g_MainWindow->GetHandle() || !IsWindowVisible(g_MainWindow->GetHandle()) ||
      !GetCurrentProject())
    return;
  KillTimer(nullptr, id);
  const HWND window = g_MainWindow->GetHandle();
  GetCurrentProject()->SetModified();
  g_end.queried = true;
  g_end.mayEnd = SendMessageA(window, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP) != 0;
  SendMessageA(window, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP);
  g_end.storedByTheEnd = SettingsStored();
  // Whatever is saved from here on is a second save.
  ClearSettingsKey();
}

// Ends a run that the close left going.
void CALLBACK GiveUp(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  g_end.timedOut = true;
  PostQuitMessage(0);
}

}  // namespace

TEST(SessionEnd, TheRestartManagersCloseEndsTheEditorOnceAsExitDoes) {
  EXPECT_EQ(0u, RunTestInChild("SessionEnd.DISABLED_TheRestartManagersCloseInARunOfItsOwn"));
  ClearSettingsKey();
}

TEST(SessionEnd, DISABLED_TheRestartManagersCloseInARunOfItsOwn) {
  ASSERT_TRUE(IsTestChild());
  ClearSettingsKey();
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string path = std::string(temp) + "vc-session-end-" + std::to_string(GetCurrentProcessId()) + ".vcj";
  ASSERT_TRUE(WriteBlankProject(path));
  WIN32_FILE_ATTRIBUTE_DATA before = {};
  GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &before);

  zrInit();
  WULInit(GetModuleHandleA(nullptr));
  ASSERT_TRUE(StartApplication(GetModuleHandleA(nullptr)));
  CCommandLine line;
  line.path.Assign(path.c_str());
  line.hasPath = true;
  SetTimer(nullptr, 0, 100, EndTheSession);
  SetTimer(nullptr, 0, 30000, GiveUp);
  int exitCode = -1;
  {
    BoxWatcher questions("The project is modified", 'n');
    exitCode = RunEditor(line);
    EXPECT_EQ(1u, questions.Count());
  }
  wulDone();
  zrDone();

  ASSERT_TRUE(g_end.queried);
  // No: the changes go with the session, and the program may close.
  EXPECT_TRUE(g_end.mayEnd);
  // The settings are saved before the end returns, and the run ends on its own without
  // saving them again.
  EXPECT_TRUE(g_end.storedByTheEnd);
  EXPECT_FALSE(g_end.timedOut) << "the editor ran on after the Restart Manager's close";
  EXPECT_FALSE(SettingsStored()) << "the settings were saved a second time";
  EXPECT_EQ(0, exitCode);
  EXPECT_EQ(nullptr, GetCurrentProject());
  WIN32_FILE_ATTRIBUTE_DATA after = {};
  GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &after);
  EXPECT_EQ(0, CompareFileTime(&before.ftLastWriteTime, &after.ftLastWriteTime));
  DeleteFileA(path.c_str());
  ClearSettingsKey();
}
