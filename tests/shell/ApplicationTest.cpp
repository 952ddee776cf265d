#include <gtest/gtest.h>
#include <windows.h>
#include <float.h>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include "common/SavedRegistryKeys.h"
#include "shell/Application.h"
#include "shell/Registry.h"

namespace {

// The words after the program name, as the system gives the whole line.
CCommandLine Parse(const wchar_t* arguments) {
  CCommandLine line;
  ParseCommandLine((std::wstring(L"\"C:\\Program Files\\Vellumcraft.exe\" ") + arguments).c_str(), line);
  return line;
}

std::string DefaultValue(const char* path) {
  HKEY key = OpenRegKey(HKEY_CLASSES_ROOT, path, KEY_READ);
  if (!key)
    return "<missing>";
  CWULString value;
  bool ok = ReadRegString(key, nullptr, value);
  CloseRegKey(key);
  return ok ? std::string(value.text) : "<no value>";
}

bool KeyExists(HKEY parent, const char* path) {
  HKEY key = OpenRegKey(parent, path, KEY_READ);
  CloseRegKey(key);
  return key != nullptr;
}

// Starts the application facts for this process and puts the FPU back afterwards.
class ApplicationFacts : public testing::Test {
protected:
  void SetUp() override {
    saved = _controlfp(0, 0);
    ASSERT_TRUE(StartApplication(GetModuleHandleA(nullptr)));
    _controlfp(saved, _MCW_EM | _MCW_RC);
  }
  void TearDown() override { _controlfp(saved, _MCW_EM | _MCW_RC); }
  unsigned saved = 0;
};

// The shell registration's keys, and those the tests make for other programs: missing while
// a test runs, as they were afterwards.
class ShellRegistration : public ApplicationFacts {
protected:
  void SetUp() override {
    ApplicationFacts::SetUp();
    saved.reset(new SavedRegistryKeys(
        HKEY_CLASSES_ROOT, {".vcplugin", ".vcj", ".vccolors", ".vcjx", "Vellumcraft.Plugin", "Vellumcraft.Project",
                            "Vellumcraft.Colors", "Vellumcraft.ProjectViewer", "Other.App", ApplicationKey()}));
    saved->DeleteAll();
  }
  void TearDown() override {
    saved.reset();
    ApplicationFacts::TearDown();
  }
  static std::string ApplicationKey() {
    return std::string("Applications\\") + (std::strrchr(g_App.programPath, '\\') + 1);
  }
  std::unique_ptr<SavedRegistryKeys> saved;
};

void SetDefault(const char* path, const char* value) {
  HKEY key = CreateRegKey(HKEY_CLASSES_ROOT, path, KEY_WRITE);
  ASSERT_NE(nullptr, key) << path;
  EXPECT_TRUE(WriteRegString(key, nullptr, value));
  CloseRegKey(key);
}

}  // namespace

TEST(CommandLine, FirstOptionAndFirstPathOnly) {
  CCommandLine a = Parse(L"/r /u");
  EXPECT_TRUE(a.hasOption);
  EXPECT_STREQ("r", a.option.text);
  EXPECT_FALSE(a.hasPath);

  CCommandLine b = Parse(L"first.vcj second.vcj");
  EXPECT_FALSE(b.hasOption);
  EXPECT_STREQ("first.vcj", b.path.text);

  CCommandLine c = Parse(L"/i \"C:\\My Icons\\app icon.ico\" /x other");
  EXPECT_STREQ("i", c.option.text);
  EXPECT_STREQ("C:\\My Icons\\app icon.ico", c.path.text);

  CCommandLine d = Parse(L"");
  EXPECT_FALSE(d.hasOption);
  EXPECT_FALSE(d.hasPath);
  CCommandLine e;
  ParseCommandLine(nullptr, e);
  EXPECT_FALSE(e.hasPath);

  CCommandLine f = Parse(L"\"say \"\"hi\"\".vcj\"");
  EXPECT_STREQ("say \"hi\".vcj", f.path.text);
  EXPECT_TRUE(f.pathFits);
}

TEST(CommandLine, TheProgramNameIsSkippedAsForWinMain) {
  // Up to the first blank outside quotes, quotes opening anywhere.
  const std::pair<const wchar_t*, const char*> lines[] = {
      {L"Vellumcraft.exe a.vcj b.vcj", "a.vcj"},
      {L"\"C:\\My Apps\\Vellumcraft.exe\"a.vcj b.vcj", "b.vcj"},
      {L"C:\\My\" Apps\"\\Vellumcraft.exe \t a.vcj b.vcj", "a.vcj"},
  };
  for (const auto& line : lines) {
    CCommandLine parsed;
    ParseCommandLine(line.first, parsed);
    EXPECT_STREQ(line.second, parsed.path.text);
  }
  CCommandLine alone;
  ParseCommandLine(L"Vellumcraft.exe", alone);
  EXPECT_FALSE(alone.hasPath);
  EXPECT_FALSE(alone.hasOption);
}

TEST(CommandLine, APathOutsideTheCodePageIsMarkedNotAnotherName) {
  // U+03A9: the best-fit conversion to code page 1252 makes it an O.
  CCommandLine line = Parse(L"/i \"C:\\Icons\\i\u03A9.ico\"");
  EXPECT_STREQ("i", line.option.text);
  ASSERT_TRUE(line.hasPath);
  EXPECT_FALSE(line.pathFits);
  EXPECT_STREQ("C:\\Icons\\i?.ico", line.path.text);
  CCommandLine fits = Parse(L"caf\u00E9.vcj");
  EXPECT_TRUE(fits.pathFits);
  EXPECT_STREQ("caf\xE9.vcj", fits.path.text);
}

TEST_F(ApplicationFacts, ProgramPathFolderAndVersion) {
  char expected[MAX_PATH];
  GetModuleFileNameA(nullptr, expected, MAX_PATH);
  EXPECT_STREQ(expected, g_App.programPath);
  size_t folder = std::strlen(g_App.programFolder);
  ASSERT_GT(folder, 0u);
  EXPECT_EQ('\\', g_App.programFolder[folder - 1]);
  EXPECT_EQ(0, std::strncmp(g_App.programFolder, expected, folder));
  EXPECT_EQ(nullptr, std::strchr(expected + folder, '\\'));
  // The test program carries the program's resources, version block included.
  EXPECT_EQ(0x00090000u, g_App.version);
  EXPECT_EQ(0u, GetFileProductVersion("C:\\no such folder\\none.exe"));
  // A system library does.
  char system[MAX_PATH];
  GetSystemDirectoryA(system, MAX_PATH);
  std::strcat(system, "\\kernel32.dll");
  EXPECT_NE(0u, GetFileProductVersion(system));
  EXPECT_EQ(sizeof(OSVERSIONINFOA), g_App.osVersion.dwOSVersionInfoSize);
  EXPECT_GE(g_App.osVersion.dwMajorVersion, 5u);
}

TEST(FloatingPoint, OnlyUnderflowAndInexactMasked) {
  unsigned saved = _controlfp(0, 0);
  SetupFloatingPoint(HasSse());
  unsigned now = _controlfp(0, 0);
  _controlfp(saved, _MCW_EM | _MCW_RC);
  EXPECT_EQ(unsigned(_EM_UNDERFLOW | _EM_INEXACT), now & (_EM_INVALID | _EM_ZERODIVIDE | _EM_OVERFLOW |
                                                         _EM_UNDERFLOW | _EM_INEXACT | _EM_DENORMAL));
  EXPECT_EQ(unsigned(_RC_NEAR), now & _MCW_RC);
}

TEST_F(ShellRegistration, RegisterAndUnregisterShellTypes) {
  ASSERT_TRUE(RegisterShellTypes(SHELL_ALL));

  const char* name = std::strrchr(g_App.programPath, '\\') + 1;
  std::string app = std::string("Applications\\") + name + "\\shell\\open\\command";
  EXPECT_EQ(std::string("\"") + g_App.programPath + "\" /i \"%1\"", DefaultValue(app.c_str()));

  EXPECT_EQ("Vellumcraft.Plugin", DefaultValue(".vcplugin"));
  EXPECT_EQ("Vellumcraft.Project", DefaultValue(".vcj"));
  EXPECT_EQ("Vellumcraft.Colors", DefaultValue(".vccolors"));
  EXPECT_EQ("Vellumcraft Plugin", DefaultValue("Vellumcraft.Plugin"));
  EXPECT_EQ("Vellumcraft Project", DefaultValue("Vellumcraft.Project"));
  EXPECT_EQ("Vellumcraft Colors", DefaultValue("Vellumcraft.Colors"));
  EXPECT_EQ(std::string(g_App.programPath) + ",1", DefaultValue("Vellumcraft.Plugin\\DefaultIcon"));
  EXPECT_EQ(std::string(g_App.programPath) + ",2", DefaultValue("Vellumcraft.Project\\DefaultIcon"));
  EXPECT_EQ(std::string(g_App.programPath) + ",3", DefaultValue("Vellumcraft.Colors\\DefaultIcon"));
  EXPECT_EQ(std::string("\"") + g_App.programPath + "\" \"%1\"",
            DefaultValue("Vellumcraft.Project\\shell\\open\\command"));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "Vellumcraft.Plugin\\shell"));

  // A neighbour must survive the unregistration.
  HKEY neighbour = CreateRegKey(HKEY_CLASSES_ROOT, ".vcjx", KEY_WRITE);
  ASSERT_NE(nullptr, neighbour);
  CloseRegKey(neighbour);

  EXPECT_TRUE(UnregisterShellTypes(SHELL_ALL));
  for (const char* gone : {".vcplugin", ".vcj", ".vccolors", "Vellumcraft.Plugin", "Vellumcraft.Project",
                           "Vellumcraft.Colors", app.c_str()})
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, gone)) << gone;
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, ".vcjx"));
  EXPECT_TRUE(DeleteRegTree(HKEY_CLASSES_ROOT, ".vcjx"));

  // Nothing left to delete: failure.
  EXPECT_FALSE(UnregisterShellTypes(SHELL_FILE_TYPES));
  EXPECT_FALSE(UnregisterShellTypes(SHELL_APPLICATION));
}

TEST_F(ShellRegistration, UnregisteringLeavesAnotherProgramsClassAndExtension) {
  ASSERT_TRUE(RegisterShellTypes(SHELL_FILE_TYPES));
  // Another program takes the project extension afterwards.
  HKEY extension = CreateRegKey(HKEY_CLASSES_ROOT, ".vcj", KEY_WRITE);
  ASSERT_NE(nullptr, extension);
  EXPECT_TRUE(WriteRegString(extension, nullptr, "Other.App"));
  CloseRegKey(extension);
  HKEY other = CreateRegKey(HKEY_CLASSES_ROOT, "Other.App\\shell\\open\\command", KEY_WRITE);
  ASSERT_NE(nullptr, other);
  EXPECT_TRUE(WriteRegString(other, nullptr, "other.exe \"%1\""));
  CloseRegKey(other);

  EXPECT_TRUE(UnregisterShellTypes(SHELL_FILE_TYPES));
  EXPECT_EQ("Other.App", DefaultValue(".vcj"));
  EXPECT_EQ("other.exe \"%1\"", DefaultValue("Other.App\\shell\\open\\command"));
  for (const char* gone : {".vcplugin", ".vccolors", "Vellumcraft.Plugin", "Vellumcraft.Project", "Vellumcraft.Colors"})
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, gone)) << gone;
  EXPECT_TRUE(DeleteRegTree(HKEY_CLASSES_ROOT, "Other.App"));
  EXPECT_TRUE(DeleteRegTree(HKEY_CLASSES_ROOT, ".vcj"));
}

TEST_F(ShellRegistration, OnlyTheChosenPartIsRegistered) {
  ASSERT_TRUE(RegisterShellTypes(SHELL_FILE_TYPES));
  const char* name = std::strrchr(g_App.programPath, '\\') + 1;
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, (std::string("Applications\\") + name).c_str()));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, ".vcj"));
  EXPECT_TRUE(UnregisterShellTypes(SHELL_FILE_TYPES));
  EXPECT_TRUE(RegisterShellTypes(0));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ".vcj"));
}

TEST_F(ShellRegistration, UnregisteringLeavesWhatOtherProgramsKeepInTheExtensionKeys) {
  ASSERT_TRUE(RegisterShellTypes(SHELL_FILE_TYPES));
  // Another program offers itself for the extensions and names their content type, while
  // the program's classes stay the extensions' defaults.
  for (const char* extension : {".vcplugin", ".vcj", ".vccolors"}) {
    HKEY key = CreateRegKey(HKEY_CLASSES_ROOT, extension, KEY_WRITE);
    ASSERT_NE(nullptr, key);
    EXPECT_TRUE(WriteRegString(key, "Content Type", "application/x-other"));
    CloseRegKey(key);
    key = CreateRegKey(HKEY_CLASSES_ROOT, (std::string(extension) + "\\OpenWithProgids").c_str(), KEY_WRITE);
    ASSERT_NE(nullptr, key);
    EXPECT_TRUE(WriteRegString(key, "Other.App", ""));
    CloseRegKey(key);
  }
  SetDefault("Other.App\\shell\\open\\command", "other.exe \"%1\"");

  EXPECT_TRUE(UnregisterShellTypes(SHELL_FILE_TYPES));
  for (const char* extension : {".vcplugin", ".vcj", ".vccolors"}) {
    SCOPED_TRACE(extension);
    // The default value named the program's class: it goes, the rest stays.
    EXPECT_EQ("<no value>", DefaultValue(extension));
    HKEY key = OpenRegKey(HKEY_CLASSES_ROOT, extension, KEY_READ);
    CWULString text;
    EXPECT_TRUE(ReadRegString(key, "Content Type", text));
    EXPECT_STREQ("application/x-other", text.text);
    CloseRegKey(key);
    key = OpenRegKey(HKEY_CLASSES_ROOT, (std::string(extension) + "\\OpenWithProgids").c_str(), KEY_READ);
    EXPECT_TRUE(ReadRegString(key, "Other.App", text));
    CloseRegKey(key);
  }
  for (const char* gone : {"Vellumcraft.Plugin", "Vellumcraft.Project", "Vellumcraft.Colors"})
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, gone)) << gone;
  EXPECT_EQ("other.exe \"%1\"", DefaultValue("Other.App\\shell\\open\\command"));
}

TEST_F(ShellRegistration, AnOwnClassIsKnownWhateverItsCaseAndOnlyByItsWholeName) {
  ASSERT_TRUE(RegisterShellTypes(SHELL_FILE_TYPES));
  // The registry ignores case: these name the program's classes.
  SetDefault(".vcj", "vellumcraft.project");
  SetDefault(".vccolors", "VELLUMCRAFT.COLORS");
  // A class whose name only begins with the program's is another program's.
  SetDefault(".vcplugin", "Vellumcraft.ProjectViewer");
  SetDefault("Vellumcraft.ProjectViewer\\shell\\open\\command", "viewer.exe \"%1\"");

  EXPECT_TRUE(UnregisterShellTypes(SHELL_FILE_TYPES));
  for (const char* gone : {".vcj", ".vccolors", "Vellumcraft.Plugin", "Vellumcraft.Project", "Vellumcraft.Colors"})
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, gone)) << gone;
  EXPECT_EQ("Vellumcraft.ProjectViewer", DefaultValue(".vcplugin"));
  EXPECT_EQ("viewer.exe \"%1\"", DefaultValue("Vellumcraft.ProjectViewer\\shell\\open\\command"));
}

TEST(Registry, ValuesOfEveryKind) {
  HKEY key = CreateRegKey(HKEY_CURRENT_USER, "Software\\VellumcraftTest\\Registry\\Deep", KEY_ALL_ACCESS);
  ASSERT_NE(nullptr, key);
  EXPECT_TRUE(WriteRegDword(key, "Number", 0xDEADBEEFu));
  EXPECT_TRUE(WriteRegString(key, "Text", "hello"));
  uint32_t number = 0;
  EXPECT_TRUE(ReadRegDword(key, "Number", number));
  EXPECT_EQ(0xDEADBEEFu, number);
  CWULString text("unchanged");
  EXPECT_FALSE(ReadRegDword(key, "Text", number));  // wrong type
  EXPECT_FALSE(ReadRegString(key, "Missing", text));
  EXPECT_STREQ("unchanged", text.text);
  EXPECT_TRUE(ReadRegString(key, "Text", text));
  EXPECT_STREQ("hello", text.text);
  // Bytes without a terminating zero still read as a terminated text.
  const char raw[3] = {'a', 'b', 'c'};
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Raw", 0, REG_SZ, reinterpret_cast<const BYTE*>(raw), 3));
  EXPECT_TRUE(ReadRegString(key, "Raw", text));
  EXPECT_STREQ("abc", text.text);
  EXPECT_TRUE(DeleteRegValue(key, "Raw"));
  EXPECT_FALSE(DeleteRegValue(key, "Raw"));
  CloseRegKey(key);
  EXPECT_TRUE(DeleteRegTree(HKEY_CURRENT_USER, "Software\\VellumcraftTest\\Registry"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\VellumcraftTest\\Registry"));
  EXPECT_FALSE(DeleteRegTree(HKEY_CURRENT_USER, "Software\\VellumcraftTest\\Registry"));
  DeleteRegTree(HKEY_CURRENT_USER, "Software\\VellumcraftTest");
}
