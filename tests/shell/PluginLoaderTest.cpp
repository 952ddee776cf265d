#include <gtest/gtest.h>
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include "common/BoxWatcher.h"
#include "shell/PluginLoader.h"

namespace {

std::string BinFolder() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string s(path);
  return s.substr(0, s.rfind('\\') + 1);
}

void WriteFile(const std::string& path, const char* content) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(nullptr, f);
  std::fputs(content, f);
  std::fclose(f);
}

// A plug-in folder with the test plug-ins of every variant and a file that is no module.
class PluginFolder : public testing::Test {
protected:
  void SetUp() override {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    folder = std::string(temp) + "vc-plugins-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    for (const char* name : {"Good", "FirstOnly", "OldSdk", "NoName", "LinkFails", "MissingExport"}) {
      std::string from = BinFolder() + "TestPlugins\\" + name + ".vcplugin";
      ASSERT_TRUE(CopyFileA(from.c_str(), (folder + "\\" + name + ".vcplugin").c_str(), FALSE)) << from;
    }
    WriteFile(folder + "\\Bogus.vcplugin", "not a module");
    WriteFile(folder + "\\Ignored.dll", "not a plug-in name");
  }
  void TearDown() override {
    ClearPluginLists();
    for (const char* name : {"Good", "FirstOnly", "OldSdk", "NoName", "LinkFails", "MissingExport", "Bogus"})
      DeleteFileA((folder + "\\" + name + ".vcplugin").c_str());
    DeleteFileA((folder + "\\Ignored.dll").c_str());
    for (const std::string& f : files)
      DeleteFileA(f.c_str());
    RemoveDirectoryA(folder.c_str());
  }
  void LoadAll() {
    g_Plugins.Add(CreateBuiltinFormat());
    ASSERT_TRUE(ScanPluginFolder(folder.c_str()));
    g_Plugins.SortByName();
    BuildFileTypeLists();
  }
  std::string Sample(const char* name, const char* content) {
    std::string path = folder + "\\" + name;
    WriteFile(path, content);
    files.push_back(path);
    return path;
  }
  std::string folder;
  std::vector<std::string> files;
};

std::vector<std::string> Names() {
  std::vector<std::string> names;
  for (CListItem* item = g_Plugins.first; item; item = item->next)
    names.push_back(static_cast<CFileFormat*>(item)->name.text);
  return names;
}

std::vector<std::string> Descriptions(const CFileTypeList& list) {
  std::vector<std::string> out;
  for (CListItem* item = list.first; item; item = item->next)
    out.push_back(static_cast<CFileTypeEntry*>(item)->description.text);
  return out;
}

}  // namespace

TEST_F(PluginFolder, OnlyModulesThatPassEveryStepAreListed) {
  LoadAll();
  EXPECT_EQ((std::vector<std::string>{"INTERNAL FORMATS", "Test First Only", "Test Good"}), Names());
  CFileFormat* good = g_Plugins.FindByName("Test Good");
  ASSERT_NE(nullptr, good);
  EXPECT_EQ(nullptr, g_Plugins.FindByName("test good"));
  EXPECT_EQ(FORMAT_KIND_PLUGIN, good->kind);
  EXPECT_EQ(0x90000u, good->sdkVersion);
  EXPECT_EQ(12u, good->features);
  EXPECT_EQ(0x01020300u, good->version);
  EXPECT_NE(nullptr, good->getNextImportableFileType);
  EXPECT_EQ(nullptr, good->about);
  CPlugin* module = AsPlugin(good);
  ASSERT_NE(nullptr, module);
  EXPECT_EQ(nullptr, module->GetImportFunction());
  EXPECT_EQ(folder + "\\Good.vcplugin", module->path.text);

  CFileFormat* builtin = g_Plugins.FindByName("INTERNAL FORMATS");
  ASSERT_NE(nullptr, builtin);
  EXPECT_EQ(FORMAT_KIND_BUILTIN, builtin->kind);
  EXPECT_EQ(0xFFFFFFFFu, builtin->version);
  EXPECT_EQ(nullptr, builtin->import);
  EXPECT_EQ(nullptr, builtin->exportFile);
  EXPECT_EQ(nullptr, AsPlugin(builtin));
  int flags = 5;
  EXPECT_EQ(1, builtin->canExport(1, nullptr, &flags));
  EXPECT_EQ(0, flags);

  // The rejected modules are unloaded again.
  for (const char* name : {"OldSdk", "NoName", "LinkFails", "MissingExport"})
    EXPECT_EQ(nullptr, GetModuleHandleA((folder + "\\" + name + ".vcplugin").c_str())) << name;
  EXPECT_NE(nullptr, GetModuleHandleA((folder + "\\Good.vcplugin").c_str()));
  ClearPluginLists();
  EXPECT_EQ(nullptr, GetModuleHandleA((folder + "\\Good.vcplugin").c_str()));
  EXPECT_EQ(0, g_ImportTypes.count);
}

TEST_F(PluginFolder, FileTypeListsAreSortedAndLowerCase) {
  LoadAll();
  // The module without a "next" export gives its first import type only.
  EXPECT_EQ((std::vector<std::string>{"Alpha pictures", "Beta pictures", "Vellumcraft project", "Zeta pictures"}),
            Descriptions(g_ImportTypes));
  EXPECT_EQ((std::vector<std::string>{"Alpha pictures", "Vellumcraft project", "Zeta pictures"}),
            Descriptions(g_ExportTypes));
  CFileTypeEntry* zeta = g_ImportTypes.GetAt(4);
  ASSERT_NE(nullptr, zeta);
  EXPECT_EQ(1, zeta->typeId);
  ASSERT_EQ(2, zeta->extensions.count);
  EXPECT_STREQ("zzz", static_cast<CFileExtension*>(zeta->extensions.first)->text.text);
  EXPECT_STREQ("shr", static_cast<CFileExtension*>(zeta->extensions.last)->text.text);
  EXPECT_EQ(4, g_ImportTypes.IndexOf(zeta));
  EXPECT_EQ(0, g_ImportTypes.IndexOf(nullptr));
  EXPECT_EQ(nullptr, g_ImportTypes.GetAt(0));
  EXPECT_EQ(nullptr, g_ImportTypes.GetAt(5));
  EXPECT_EQ(zeta, g_ImportTypes.Find(g_Plugins.FindByName("Test Good"), 1));
  CFileTypeEntry* project = g_ImportTypes.GetAt(3);
  EXPECT_STREQ("vcj", static_cast<CFileExtension*>(project->extensions.first)->text.text);

  CFileTypeEntry copy(*zeta);
  EXPECT_EQ(zeta->plugin, copy.plugin);
  EXPECT_STREQ("Zeta pictures", copy.description.text);
  EXPECT_EQ(2, copy.extensions.count);
  EXPECT_EQ(nullptr, copy.owner);
}

TEST_F(PluginFolder, ImportProbesByExtensionThenEveryPlugin) {
  LoadAll();
  char text[64];
  VCXLayeredImage* preview = reinterpret_cast<VCXLayeredImage*>(1);

  // Both plug-ins list "shr"; the first by description declines, the second claims it.
  CFileTypeEntry* found = FindImportTypeForFile(Sample("a.SHR", "GOOD data").c_str(), &preview, text, sizeof text);
  ASSERT_NE(nullptr, found);
  EXPECT_STREQ("Zeta pictures", found->description.text);
  EXPECT_STREQ("Test Good", text);
  EXPECT_EQ(nullptr, preview);

  found = FindImportTypeForFile(Sample("b.shr", "FIRST data").c_str(), &preview, text, sizeof text);
  ASSERT_NE(nullptr, found);
  EXPECT_STREQ("Alpha pictures", found->description.text);

  // No type lists the extension: every plug-in is asked in name order.
  found = FindImportTypeForFile(Sample("c.unknown", "GOOD").c_str(), &preview, text, sizeof text);
  ASSERT_NE(nullptr, found);
  EXPECT_STREQ("Zeta pictures", found->description.text);
  found = FindImportTypeForFile(Sample("noextension", "FIRST").c_str(), &preview, text, sizeof text);
  ASSERT_NE(nullptr, found);
  EXPECT_STREQ("Alpha pictures", found->description.text);

  std::strcpy(text, "stale");
  EXPECT_EQ(nullptr, FindImportTypeForFile(Sample("d.shr", "nobody").c_str(), &preview, text, sizeof text));
  EXPECT_STREQ("", text);
  EXPECT_EQ(nullptr, FindImportTypeForFile("", &preview, text, sizeof text));
  EXPECT_EQ(nullptr, FindImportTypeForFile((folder + "\\missing.shr").c_str(), &preview, text, sizeof text));
}

TEST_F(PluginFolder, PluginErrorsInTheirOwnWordsOrByCode) {
  LoadAll();
  CFileFormat* good = g_Plugins.FindByName("Test Good");
  ASSERT_NE(nullptr, good);
  BoxWatcher watcher("Vellumcraft :: Error");

  _putenv("VC_TEST_PLUGIN_CODE=13");
  ShowPluginError(good);
  _putenv("VC_TEST_PLUGIN_CODE=99");
  ShowPluginError(good);
  _putenv("VC_TEST_PLUGIN_TEXT=Broken frame 3");
  ShowPluginError(good);
  _putenv("VC_TEST_PLUGIN_TEXT=");
  _putenv("VC_TEST_PLUGIN_CODE=7");
  ShowPluginError(good);  // cancelled: nothing
  _putenv("VC_TEST_PLUGIN_CODE=");
  ShowPluginError(good);  // 7 again: nothing
  ASSERT_TRUE(watcher.WaitFor(3));
  Sleep(200);
  EXPECT_EQ((std::vector<std::string>{"File read failed", "Unidentified plugin error", "Broken frame 3"}),
            watcher.Texts());
}

TEST(PluginLoader, MissingFolderOrModule) {
  EXPECT_FALSE(ScanPluginFolder("C:\\no such folder"));
  EXPECT_EQ(nullptr, LoadPlugin("C:\\no such folder\\x.vcplugin"));
  EXPECT_FALSE(LoadPluginFile("C:\\no such folder\\x.vcplugin"));
  EXPECT_EQ(0, g_Plugins.count);
}
