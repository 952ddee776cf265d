// Paths in code page 932, whose double-byte characters may end in the byte of a backslash.
// These run only in the ctest entry shell_cp932, where Wine takes that code page from a
// Japanese locale.
#include <gtest/gtest.h>
#include <windows.h>
#include <commdlg.h>
#include <cstdio>
#include <string>
#include "common/FileDialogText.h"
#include "common/SavedRegistryKeys.h"
#include "document/ScratchFiles.h"
#include "shell/Application.h"
#include "shell/DialogPoker.h"
#include "shell/FileDialogs.h"
#include "shell/PluginLoader.h"
#include "shell/Registry.h"
#include "shell/TextRoutines.h"
#include "sys/ZR.h"
#include "ui/AppCursors.h"
#include "wul/WULInit.h"

namespace {

// Characters whose second byte is 0x5C, the byte of a backslash.
const std::string kHyo = "\x95\x5C";  // U+8868
const std::string kSo = "\x83\x5C";   // U+30BD
const std::string kNo = "\x94\x5C";   // U+80FD

std::string Text(const CWULString& text) { return text.text; }

std::wstring Wide(const std::string& text) { return AnsiToWide(text.c_str()); }

std::string FixturePath(const char* name) {
  char program[MAX_PATH];
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  std::string path(program);
  return path.substr(0, path.rfind('\\') + 1) + "..\\..\\..\\tests\\plugins\\rastrel\\fixtures\\" + name;
}

class CodePage932 : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(932u, GetACP()) << "run under LC_ALL=ja_JP.UTF-8 (the ctest entry shell_cp932)";
    zrInit();
    WULInit(GetModuleHandleA(nullptr));
    if (!GetAppIcon(32))
      LoadAppCursors();
    char program[MAX_PATH];
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    std::string folder(program);
    folder.erase(folder.rfind('\\') + 1);
    g_Plugins.Add(CreateBuiltinFormat());
    ScanPluginFolder((folder + "Plugins").c_str());
    g_Plugins.SortByName();
    BuildFileTypeLists();
    ico = CreateFileFilter("Windows icon", "ico", 2);
  }
  void TearDown() override {
    delete ico;
    ClearPluginLists();
  }

  // A folder of the scratch folder, removed with its files afterwards.
  struct Subfolder {
    explicit Subfolder(const std::string& where) : path(where) { CreateDirectoryA(path.c_str(), nullptr); }
    ~Subfolder() { RemoveScratchFolder(path); }
    std::string path;
  };

  CFileTypeEntry* ico = nullptr;
};

TEST_F(CodePage932, NamesFoldersAndExtensionsAreFoundByCharacter) {
  const std::string path = "C:\\" + kSo + "\\" + kHyo + ".ico";
  EXPECT_EQ(kHyo + ".ico", PathFileName(path.c_str()));
  EXPECT_STREQ(".ico", PathExtensionDot(path.c_str()));
  EXPECT_EQ(nullptr, PathExtensionDot(("C:\\d\\" + kSo + ".bmp\\x").c_str()));
  EXPECT_EQ(nullptr, PathExtensionDot(("C:\\x.y\\" + kNo).c_str()));

  // A folder whose last character ends in 0x5C has no backslash yet.
  char folder[MAX_PATH];
  std::snprintf(folder, sizeof folder, "C:\\%s", kHyo.c_str());
  EXPECT_EQ("C:\\" + kHyo + "\\", AddTrailingBackslash(folder));
  EXPECT_EQ("C:\\" + kHyo + "\\", AddTrailingBackslash(folder));
  CFileDialogRequest request;
  request.folder.Assign(("C:\\" + kNo).c_str());
  request.fileName.Assign("a.ico");
  CWULString joined;
  request.GetPath(joined);
  EXPECT_EQ("C:\\" + kNo + "\\a.ico", Text(joined));

  // The save dialog's extension handling.
  CWULString name((kHyo).c_str());
  CompleteSaveExtension(name, ico);
  EXPECT_EQ(kHyo + ".ico", Text(name));
  name.Assign(("C:\\" + kSo + "\\" + kNo).c_str());
  CompleteSaveExtension(name, ico);
  EXPECT_EQ("C:\\" + kSo + "\\" + kNo + ".ico", Text(name));
  name.Assign((kHyo + ".").c_str());
  CompleteSaveExtension(name, ico);
  EXPECT_EQ(kHyo + ".", Text(name));
  name.Assign((kHyo + ".bmp").c_str());
  EXPECT_TRUE(ReplaceSpecExtension(name, ico));
  EXPECT_EQ(kHyo + ".ico", Text(name));
}

TEST_F(CodePage932, ImportTypesAreFoundByTheFilesOwnExtension) {
  ScratchFolder scratch;
  Subfolder inner(scratch.File(kSo.c_str()));
  Subfolder bmpNamed(scratch.File((kSo + ".bmp").c_str()));
  const std::string icon = inner.path + "\\" + kHyo + ".ico";
  const std::string plain = bmpNamed.path + "\\x";
  ASSERT_TRUE(CopyFileA(FixturePath("icon-ramp-32x32.ico").c_str(), icon.c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(FixturePath("icon-ramp-32x32.ico").c_str(), plain.c_str(), FALSE));
  for (const std::string& path : {icon, plain}) {
    char text[1024];
    const CFileTypeEntry* type = FindImportTypeForFile(path.c_str(), nullptr, text, sizeof text);
    ASSERT_NE(nullptr, type) << path;
    EXPECT_STREQ("Windows icon", type->description.text) << path;
  }
}

TEST_F(CodePage932, TheApplicationKeyNamesTheWholeProgramFile) {
  const std::string program = "C:\\vc\\Vellumcraft" + kHyo + ".exe";
  const std::string key = "Applications\\Vellumcraft" + kHyo + ".exe";
  SavedRegistryKeys saved(HKEY_CLASSES_ROOT, {key, "Applications\\.exe"});
  saved.DeleteAll();
  char kept[MAX_PATH];
  std::snprintf(kept, sizeof kept, "%s", g_App.programPath);
  std::snprintf(g_App.programPath, sizeof g_App.programPath, "%s", program.c_str());
  EXPECT_TRUE(RegisterShellTypes(SHELL_APPLICATION));
  HKEY command = OpenRegKey(HKEY_CLASSES_ROOT, (key + "\\shell\\open\\command").c_str(), KEY_READ);
  CWULString value;
  EXPECT_TRUE(ReadRegString(command, nullptr, value));
  CloseRegKey(command);
  EXPECT_EQ("\"" + program + "\" /i \"%1\"", Text(value));
  EXPECT_TRUE(UnregisterShellTypes(SHELL_APPLICATION));
  EXPECT_EQ(nullptr, OpenRegKey(HKEY_CLASSES_ROOT, key.c_str(), KEY_READ));
  std::snprintf(g_App.programPath, sizeof g_App.programPath, "%s", kept);
}

// The folder a dialog shows, in the code page.
std::string DialogFolder(HWND dialog) {
  wchar_t wide[MAX_PATH] = {};
  SendMessageW(dialog, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(wide));
  CWULString folder;
  WideToAnsiExact(wide, folder);
  return folder.text;
}

TEST_F(CodePage932, TheDialogsSplitTheChosenPathAndStartWhereItWas) {
  ScratchFolder scratch;
  // The folder's name ends in 0x5C, and so does the file name's first character.
  Subfolder folder(scratch.File(kSo.c_str()));
  const std::string file = kHyo + ".vcj";
  FILE* f = std::fopen((folder.path + "\\" + file).c_str(), "wb");
  ASSERT_NE(nullptr, f);
  std::fputs("project", f);
  std::fclose(f);

  CFileDialogRequest request;
  request.title.Assign("Open test");
  request.folder.Assign(folder.path.c_str());
  request.filters.Append(CreateFileFilter("Vellumcraft project", "vcj", 1));
  // The second run starts where the first one's choice was, as the commands keep it.
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    std::string shown;
    {
      DialogPoker poker("Open test", [&](HWND dialog) {
        shown = DialogFolder(dialog);
        ConfirmFileName(dialog, Wide(file));
      });
      ASSERT_TRUE(CFileDialog::RunOpen(nullptr, request));
    }
    EXPECT_EQ(folder.path, shown);
    EXPECT_EQ(folder.path + "\\", Text(request.folder));
    EXPECT_EQ(file, Text(request.fileName));
  }

  // A save with a typed name whose type is switched: the extension follows the type.
  CFileDialogRequest save;
  save.title.Assign("Save test");
  save.folder.Assign(request.folder.text);
  save.fileName.Assign(kNo.c_str());
  save.filters.Append(CreateFileFilter("Windows bitmap", "bmp", 1));
  save.filters.Append(CreateFileFilter("Windows icon", "ico", 2));
  save.selectedTypeId = 1;
  std::string offered, switched, shown;
  {
    DialogPoker poker("Save test", [&](HWND dialog) {
      shown = DialogFolder(dialog);
      offered = FileNameSpec(dialog);
      ChooseFileType(dialog, 1);
      switched = FileNameSpec(dialog);
      PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    ASSERT_TRUE(CSaveFileDialog::RunSave(nullptr, save));
  }
  EXPECT_EQ(folder.path, shown);
  EXPECT_EQ(kNo + ".bmp", offered);
  EXPECT_EQ(kNo + ".ico", switched);
  EXPECT_EQ(kNo + ".ico", Text(save.fileName));
  CWULString path;
  save.GetPath(path);
  EXPECT_EQ(folder.path + "\\" + kNo + ".ico", Text(path));
}

}  // namespace
