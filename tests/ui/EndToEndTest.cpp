// Starts the editor itself as a child process under the same Wine and drives it from outside:
// a pencil stroke with synthesized mouse input, a save through the command dispatcher, and
// the registration options of the command line.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>
#include "document/Image.h"
#include "document/Layer.h"
#include "document/PixelArray.h"
#include "document/Project.h"
#include "document/ProjectFile.h"
#include "document/ScratchFiles.h"
#include "common/BoxWatcher.h"
#include "common/SavedRegistryKeys.h"
#include "shell/LookAlikeFiles.h"
#include "ui/MainWindow.h"
#include "EditorProcess.h"

namespace {

FILETIME WriteTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
  return data.ftLastWriteTime;
}

void MoveAndWait(int x, int y, DWORD flags) {
  SetCursorPos(x, y);
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dx = x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
  input.mi.dy = y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flags;
  SendInput(1, &input, sizeof input);
  Sleep(60);
}

bool KeyExists(const char* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

std::string DefaultValue(const char* path) {
  char value[512] = {};
  LONG size = sizeof value;
  if (RegQueryValueA(HKEY_CLASSES_ROOT, path, value, &size) != ERROR_SUCCESS)
    return std::string();
  return value;
}

TEST(EndToEnd, APencilStrokeSavedThroughTheDispatcherReachesTheFile) {
  ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(ProgramPath().c_str())) << ProgramPath();
  const std::string path = ScratchPath("vc-e2e-stroke.vcj");
  DeleteFileA(path.c_str());
  ASSERT_TRUE(WriteBlankProject(path));
  const FILETIME before = WriteTime(path);
  Sleep(20);

  Editor editor("\"" + path + "\"");
  ASSERT_TRUE(editor.started);
  HWND main = editor.FindWindowTitled("Vellumcraft - vc-e2e-stroke", 30000);
  ASSERT_NE(nullptr, main) << "the editor did not open the project";
  SetForegroundWindow(main);
  // The pencil, as the toolbox would choose it.
  ASSERT_EQ(0, SendMessageA(main, WM_COMMAND, CMD_SELECT_TOOL + 50, 0));

  // The view is the window under the middle of the main window's client area; the image
  // sits centred in it at zoom 1, so its pixel (16, 16) is under the view's centre.
  RECT client;
  GetClientRect(main, &client);
  POINT middle = {(client.left + client.right) / 2, (client.top + client.bottom) / 2};
  ClientToScreen(main, &middle);
  HWND view = WindowFromPoint(middle);
  ASSERT_NE(nullptr, view);
  ASSERT_NE(main, view);
  RECT viewRect;
  GetClientRect(view, &viewRect);
  POINT centre = {viewRect.right / 2, viewRect.bottom / 2};
  ClientToScreen(view, &centre);

  MoveAndWait(centre.x - 8, centre.y, 0);
  MoveAndWait(centre.x - 8, centre.y, 0);
  MoveAndWait(centre.x - 8, centre.y, MOUSEEVENTF_LEFTDOWN);
  for (int dx = -6; dx <= 8; dx += 2)
    MoveAndWait(centre.x + dx, centre.y, 0);
  MoveAndWait(centre.x + 8, centre.y, MOUSEEVENTF_LEFTUP);
  ASSERT_NE(nullptr, editor.FindWindowTitled("Vellumcraft - vc-e2e-stroke*", 10000)) << "the stroke left no change";

  // Save through the dispatcher: the project has its path, so no dialog opens.
  PostMessageA(main, WM_COMMAND, CMD_FILE_SAVE, 0);
  ASSERT_TRUE(WaitForTitle(main, "Vellumcraft - vc-e2e-stroke", 10000)) << "the save did not clear the modified mark";
  const FILETIME after = WriteTime(path);
  EXPECT_NE(0, CompareFileTime(&before, &after));

  // Exit: the project is unmodified, so no question; the program ends with 0.
  PostMessageA(main, WM_COMMAND, CMD_FILE_EXIT, 0);
  EXPECT_EQ(0, editor.Wait(20000));

  CProjectReader reader;
  std::unique_ptr<CProject> project(reader.Read(path.c_str()));
  ASSERT_NE(nullptr, project);
  CImage* image = project->GetFirstImage();
  ASSERT_NE(nullptr, image);
  ASSERT_EQ(32, image->GetWidth());
  CLayer* layer = image->GetFirstLayer();
  ASSERT_NE(nullptr, layer);
  ASSERT_EQ(CLayer::KIND_RASTER, layer->GetKind());
  const CPixelArray* pixels = static_cast<CRasterLayer*>(layer)->GetPixelArray();
  // The stroke: a one-pixel line in the primary colour (opaque black) along the row under
  // the view's centre, through its pixel (16, 16); everything else stays transparent. At
  // zoom 1 the 16 screen pixels of the drag are 17 image pixels, columns 8 to 24.
  int painted = 0, left = 32, right = -1;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const uint32_t pixel = pixels->GetPixel(x, y);
      if (pixel == 0)
        continue;
      ++painted;
      EXPECT_EQ(16, y) << "x " << x;
      EXPECT_EQ(0xFF000000u, pixel) << "x " << x << " y " << y;
      left = std::min(left, x);
      right = std::max(right, x);
    }
  }
  ASSERT_GE(painted, 2);
  EXPECT_EQ(right - left + 1, painted) << "the line has a gap";
  EXPECT_LE(left, 16);
  EXPECT_GE(right, 16);
  EXPECT_LE(painted, 17);
  DeleteFileA(path.c_str());
}

TEST(EndToEnd, RegisterAndUnregisterOptionsExitWithoutAWindow) {
  ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(ProgramPath().c_str()));
  // The registration starts from none and is as it was afterwards.
  SavedRegistryKeys saved(HKEY_CLASSES_ROOT, {".vcplugin", ".vcj", ".vccolors", "Vellumcraft.Plugin",
                                              "Vellumcraft.Project", "Vellumcraft.Colors",
                                              "Applications\\Vellumcraft.exe"});
  saved.DeleteAll();
  {
    // The option is read without regard to case; a second option is ignored.
    Editor editor("/R /u");
    ASSERT_TRUE(editor.started);
    EXPECT_EQ(0, editor.Wait(30000));
  }
  EXPECT_EQ("Vellumcraft.Project", DefaultValue(".vcj"));
  EXPECT_EQ("Vellumcraft.Colors", DefaultValue(".vccolors"));
  EXPECT_EQ("Vellumcraft Plugin", DefaultValue("Vellumcraft.Plugin"));
  const std::string command = DefaultValue("Vellumcraft.Project\\shell\\open\\command");
  EXPECT_NE(std::string::npos, command.find("Vellumcraft.exe\" \"%1\"")) << command;
  EXPECT_NE(std::string::npos, DefaultValue("Vellumcraft.Project\\DefaultIcon").find(",2"));
  EXPECT_TRUE(KeyExists("Applications\\Vellumcraft.exe\\shell\\open\\command"));

  {
    Editor editor("/u");
    ASSERT_TRUE(editor.started);
    EXPECT_EQ(0, editor.Wait(30000));
  }
  EXPECT_FALSE(KeyExists(".vcj"));
  EXPECT_FALSE(KeyExists("Vellumcraft.Project"));
  EXPECT_FALSE(KeyExists(".vcplugin"));
  EXPECT_FALSE(KeyExists("Applications\\Vellumcraft.exe"));

  {
    // Nothing left to remove: failure, exit code 1.
    Editor editor("/u");
    ASSERT_TRUE(editor.started);
    EXPECT_EQ(1, editor.Wait(30000));
  }
}

TEST(EndToEnd, ACommandLineNameOutsideTheCodePageIsNotTakenForItsLookAlike) {
  ScratchFolder folder;
  WriteLookAlikeIcons(folder.path);
  for (const wchar_t* option : {L"/i ", L""}) {
    SCOPED_TRACE(option[0] ? "import" : "open");
    Editor editor(option + (L"\"" + WideFileIn(folder.path, kOmegaIcon) + L"\""));
    ASSERT_TRUE(editor.started);
    BoxWatcher errors("Vellumcraft :: Error", 0, editor.info.dwProcessId);
    errors.WaitFor(1, 30000);
    EXPECT_EQ(std::vector<std::string>{"Cannot open the file " + folder.File(kOmegaIconShown)}, errors.Texts());
    // The editor runs on without a project: the look-alike was not taken.
    HWND main = editor.FindWindowTitled("Vellumcraft", 10000, true);
    ASSERT_NE(nullptr, main) << "a project was opened";
    PostMessageA(main, WM_COMMAND, CMD_FILE_EXIT, 0);
    EXPECT_EQ(0, editor.Wait(20000));
    EXPECT_EQ(1u, errors.Count());
  }
}

}  // namespace
