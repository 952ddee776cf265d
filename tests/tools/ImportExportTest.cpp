#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <vector>
#include "DrawingToolTestSupport.h"
#include "common/BoxWatcher.h"
#include "document/ScratchFiles.h"
#include "document/EditorUI.h"
#include "shell/Conversion.h"
#include "shell/HostServices.h"
#include "shell/PluginLoader.h"
#include "tools/ImageCommands.h"
#include "wul/WULError.h"

namespace {

// A plug-in living in the test: it claims files ending in ".fake", imports the images of a
// source project and keeps what it is asked to export.
CProject* g_source = nullptr;
bool g_importThrows = false;
std::vector<std::string> g_exportPaths;
std::vector<int> g_exportTypes;
std::vector<uint32_t> g_exportedPixels;

int __cdecl FakeCanImport(const char* path, int* outType, VCXLayeredImage**, char*, int) {
  *outType = 5;
  const size_t n = std::strlen(path);
  return n > 5 && std::strcmp(path + n - 5, ".fake") == 0;
}

VCXMultiImage* __cdecl FakeImport(HWND, const char*, int*) {
  if (g_importThrows)
    throw 1;
  return g_source ? CreatePortableMultiImage(g_source) : nullptr;
}

int __cdecl FakeExport(HWND, const char* path, int type, VCXMultiImage* record) {
  g_exportPaths.push_back(path);
  g_exportTypes.push_back(type);
  CProject* written = ConvertPortableMultiImage(record);
  if (!written || !written->GetFirstImage() || !written->GetFirstImage()->GetFirstLayer()) {
    delete written;
    return 0;
  }
  g_exportedPixels = PixelsOf(*written->GetFirstImage()->GetFirstLayer()->GetPixels());
  delete written;
  return 1;
}

// Picks the second image of a multi-image file, or cancels; the dialogs answer as set.
class ChoosingHost : public RecordingHost {
public:
  CImage* ChooseImportedImage(CProject* project) override {
    ++choices;
    return cancel ? nullptr : project->GetFirstImage()->GetNext();
  }
  bool RunImportDialog(const char* start, CWULString& folder, CWULString& name) override {
    startFolder = start;
    folder.Assign(answerFolder.c_str());
    name.Assign(answerName.c_str());
    return true;
  }
  bool RunExportDialog(const char* fileName, const char* start, int32_t typeId, const char* plugin,
                       CExportChoice& choice) override {
    if (dialogFails)
      throw CWULError(5, "CWULAppWindow::ShowModal", "Dialog creation failed");
    shownName = fileName;
    startFolder = start;
    shownType = typeId;
    shownPlugin = plugin;
    choice.folder.Assign("C:\\out\\");
    choice.fileName.Assign("icon.fake");
    choice.typeId = 5;
    choice.pluginName.Assign("Fake");
    return true;
  }
  std::string answerFolder;
  std::string answerName = "two.fake";
  bool cancel = false;
  bool dialogFails = false;
  int choices = 0;
  std::string startFolder;
  std::string shownName;
  int32_t shownType = 0;
  std::string shownPlugin;
};

class ImportExportTest : public DrawingToolTestWith<ChoosingHost> {
protected:
  void SetUp() override {
    DrawingToolTestWith::SetUp();
    CPlugin* format = new CPlugin();
    format->name.Assign("Fake");
    format->canImport = FakeCanImport;
    format->import = FakeImport;
    format->exportFile = FakeExport;
    g_Plugins.Add(format);
    VCXFileType type;
    std::memset(&type, 0, sizeof type);
    type.headerSize = sizeof type;
    type.id = 5;
    std::strcpy(type.description, "Fake pictures");
    g_ImportTypes.Append(new CFileTypeEntry(format, &type));
    plugin = format;
    g_source = new CProject();
    for (int k = 0; k < 2; ++k) {
      CImage* image = new CImage();
      image->SetSize(3 + k, 2);
      image->SetTargetFormat(CImage::FORMAT_32BIT_ARGB);
      CRasterLayer* layer = new CRasterLayer();
      image->AddLayer(layer);
      FillPattern(*layer->GetPixels(), 40 + k);
      image->SetActiveLayer(layer);
      image->UpdateAll();
      g_source->AddImage(image);
    }
    g_importThrows = false;
    g_exportPaths.clear();
    g_exportTypes.clear();
    // The plug-in reads nothing, but the files must open.
    for (const char* name : {"one.fake", "two.fake", "bad.fake", "unknown.xyz"})
      StoreBytes(pictures.File(name), {});
    host.answerFolder = pictures.path;
  }
  void TearDown() override {
    ClearPluginLists();
    delete g_source;
    g_source = nullptr;
    DrawingToolTestWith::TearDown();
  }

  ScratchFolder pictures;
  CFileFormat* plugin = nullptr;
};

TEST_F(ImportExportTest, ImportAddsTheChosenImageAndMakesItCurrent) {
  TestDocument doc(4, 4);
  const std::vector<uint32_t> wanted =
      PixelsOf(*g_source->GetFirstImage()->GetNext()->GetFirstLayer()->GetPixels());
  g_Settings.importPath->SetValue("C:\\start");
  ASSERT_TRUE(ImportImageCommand());
  EXPECT_EQ(host.startFolder, "C:\\start");
  EXPECT_STREQ(g_Settings.importPath->GetValue(), pictures.path.c_str());
  EXPECT_EQ(host.choices, 1);
  ASSERT_EQ(doc.project->GetImageCount(), 2);
  CImage* added = doc.project->GetLastImage();
  EXPECT_EQ(GetCurrentImage(), added);
  EXPECT_EQ(added->GetWidth(), 4);
  EXPECT_NE(added->GetId(), doc.image->GetId());
  ASSERT_NE(added->GetFirstLayer(), nullptr);
  EXPECT_EQ(PixelsOf(*added->GetFirstLayer()->GetPixels()), wanted);
  EXPECT_EQ(g_LayerWorkingCopy.GetWidth(), 4);

  // Cancelling the choice changes nothing.
  host.cancel = true;
  EXPECT_FALSE(ImportImageFile(pictures.File("two.fake").c_str()));
  EXPECT_EQ(doc.project->GetImageCount(), 2);
  // A single image needs no choice.
  delete g_source->GetFirstImage();
  host.choices = 0;
  EXPECT_TRUE(ImportImageFile(pictures.File("one.fake").c_str()));
  EXPECT_EQ(host.choices, 0);
  EXPECT_EQ(doc.project->GetImageCount(), 3);
}

TEST_F(ImportExportTest, FailuresAreReported) {
  TestDocument doc(2, 2);
  BoxWatcher boxes("Vellumcraft :: Error");
  EXPECT_FALSE(ImportImageFile(pictures.File("unknown.xyz").c_str()));
  g_importThrows = true;
  EXPECT_FALSE(ImportImageFile(pictures.File("bad.fake").c_str()));
  ASSERT_TRUE(boxes.WaitFor(2));
  EXPECT_EQ(boxes.Texts()[0], "Unknown file type");
  EXPECT_EQ(boxes.Texts()[1], "Plugin malfunction");
  EXPECT_EQ(doc.project->GetImageCount(), 1);
  // Without a project nothing is imported.
  SetCurrentProject(nullptr);
  EXPECT_FALSE(ImportImageCommand());
  SetCurrentProject(doc.project);
}

TEST_F(ImportExportTest, AFileThatDoesNotOpenIsReportedSoAndTheProjectStays) {
  TestDocument doc(2, 2);
  const std::vector<uint32_t> pixels = PixelsOf(*doc.layer->GetPixels());
  const bool modified = doc.project->IsModified();
  BoxWatcher boxes("Vellumcraft :: Error");
  std::vector<std::string> expected;
  // Names the plug-in would claim: nothing is asked of it before the file opens.
  for (const char* name : {"????.fake", "missing.fake"}) {
    host.answerName = name;
    EXPECT_FALSE(ImportImageCommand());
    expected.push_back("Cannot open the file " + pictures.File(name));
  }
  ASSERT_TRUE(boxes.WaitFor(expected.size()));
  EXPECT_EQ(boxes.Texts(), expected);
  EXPECT_EQ(GetCurrentProject(), doc.project);
  EXPECT_EQ(doc.project->GetImageCount(), 1);
  EXPECT_EQ(GetCurrentImage(), doc.image);
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), pixels);
  EXPECT_EQ(doc.project->IsModified(), modified);
}

TEST_F(ImportExportTest, ExportHandsTheImageToThePlugin) {
  TestDocument doc(3, 3);
  doc.project->SetName("Icons");
  g_Settings.exportFormatId->SetValue(2);
  g_Settings.exportFormatPlugin->SetValue("Other");
  ASSERT_TRUE(ExportImageCommand());
  EXPECT_EQ(host.shownName, "Icons");
  EXPECT_EQ(host.shownType, 2);
  EXPECT_EQ(host.shownPlugin, "Other");
  ASSERT_EQ(g_exportPaths.size(), 1u);
  EXPECT_EQ(g_exportPaths[0], "C:\\out\\icon.fake");
  EXPECT_EQ(g_exportTypes[0], 5);
  EXPECT_EQ(g_exportedPixels, PixelsOf(*doc.layer->GetPixels()));
  EXPECT_STREQ(g_Settings.exportPath->GetValue(), "C:\\out\\");
  EXPECT_EQ(g_Settings.exportFormatId->GetValue(), 5u);
  EXPECT_STREQ(g_Settings.exportFormatPlugin->GetValue(), "Fake");
  // An unknown plug-in writes nothing.
  EXPECT_FALSE(ExportImageFile(doc.image, "C:\\out\\x.fake", 5, nullptr));
  EXPECT_TRUE(ExportImageFile(doc.image, "C:\\out\\x.fake", 5, plugin));
  EXPECT_EQ(g_exportPaths.size(), 2u);
  // A framework error in the dialog reaches the caller, which shows it.
  host.dialogFails = true;
  EXPECT_THROW(ExportImageCommand(), CWULError);
  EXPECT_EQ(g_exportPaths.size(), 2u);
}

}  // namespace
