// The editor under code page 932, whose double-byte characters may end in the byte of a
// backslash. These run only in the ctest entry ui_cp932, where Wine takes that code page from
// a Japanese locale; the editor started from here inherits it.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Project.h"
#include "document/ProjectFile.h"
#include "document/ScratchFiles.h"
#include "ui/MainWindow.h"
#include "EditorProcess.h"

namespace {

// Characters whose second byte is 0x5C, the byte of a backslash.
const std::string kHyo = "\x95\x5C";  // U+8868
const std::string kSo = "\x83\x5C";   // U+30BD
const std::string kNo = "\x94\x5C";   // U+80FD

class CodePage932 : public testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(932u, GetACP()) << "run under LC_ALL=ja_JP.UTF-8 (the ctest entry ui_cp932)"; }
};

std::string TitleOf(Editor& editor) {
  char title[256] = {};
  if (HWND main = editor.FindWindowTitled("Vellumcraft", 1000))
    GetWindowTextA(main, title, sizeof title);
  return title;
}

TEST_F(CodePage932, TheTitleNamesTheFileAfterImportAndOpen) {
  ScratchFolder folder;
  const std::string icon = folder.File((kHyo + ".ico").c_str());
  ASSERT_TRUE(CopyFileA((ProgramFolder() + "..\\..\\..\\tests\\plugins\\rastrel\\fixtures\\icon-ramp-32x32.ico").c_str(),
                        icon.c_str(), FALSE));
  const std::string project = folder.File((kSo + kNo + ".vcj").c_str());
  ASSERT_TRUE(WriteBlankProject(project));
  const struct {
    std::string arguments, title;
  } runs[] = {{"/i \"" + icon + "\"", "Vellumcraft - " + kHyo}, {"\"" + project + "\"", "Vellumcraft - " + kSo + kNo}};
  for (const auto& run : runs) {
    SCOPED_TRACE(run.arguments);
    Editor editor(run.arguments);
    ASSERT_TRUE(editor.started);
    HWND main = editor.FindWindowTitled(run.title.c_str(), 30000, true);
    ASSERT_NE(nullptr, main) << "the title reads " << TitleOf(editor);
    PostMessageA(main, WM_COMMAND, CMD_FILE_EXIT, 0);
    EXPECT_EQ(0, editor.Wait(20000));
  }
}

}  // namespace
