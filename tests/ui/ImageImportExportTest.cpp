// Image > Import and Image > Export through the real file dialogs and the image chooser.
#include <gtest/gtest.h>
#include <windows.h>
#include <commdlg.h>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>
#include "BoxDriver.h"
#include "common/FileDialogText.h"
#include "MainWindowHarness.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Project.h"
#include "document/ScratchFiles.h"
#include "shell/DialogPoker.h"
#include "shell/FileDialogs.h"
#include "shell/PluginLoader.h"
#include "shell/ProjectCommands.h"
#include "shell/Settings.h"
#include "tools/CurrentImage.h"
#include "tools/ImageCommands.h"
#include "tools/WorkingCopies.h"
#include "ui/PluginDialogs.h"
#include "ui/ProjectPanel.h"
#include "ui/ThumbnailList.h"

namespace {

std::string BinFolder() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string s(path);
  return s.substr(0, s.rfind('\\') + 1);
}

// The entries of a common file dialog's type box (cmb1).
std::vector<std::string> OfferedTypes(HWND dialog) {
  HWND types = GetDlgItem(dialog, 1136);
  const int count = static_cast<int>(SendMessageA(types, CB_GETCOUNT, 0, 0));
  std::vector<std::string> listed;
  for (int i = 0; i < count; ++i) {
    char text[256] = {};
    SendMessageA(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    listed.push_back(text);
  }
  return listed;
}

// The text a type's entry shows in the type box: its description and patterns.
std::string TypeEntryText(const CFileTypeEntry* type) {
  CWULString filter;
  AppendFilterEntry(filter, type, nullptr);
  const std::string text = filter.text;
  return text.substr(0, text.find('\t'));
}

// Opaque, so that a 24-bit file keeps every pixel.
uint32_t Sample(int x, int y, uint32_t seed) {
  return 0xFF000000u | (seed & 0xFF0000u) | static_cast<uint32_t>(x * 50) << 8 | static_cast<uint32_t>(y * 60);
}

CImage* AddImage(CProject* project, int width, int height, uint32_t seed) {
  CImage* image = new CImage();
  image->SetSize(width, height);
  image->SetTargetFormat(CImage::FORMAT_24BIT_RGB);
  project->AddImage(image);
  CRasterLayer* layer = new CRasterLayer();
  image->AddLayer(layer);
  CPixelArray* pixels = layer->GetPixelArray();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      pixels->data[y * pixels->width + x] = Sample(x, y, seed);
  image->SetActiveLayer(layer);
  image->UpdateAll();
  return image;
}

bool HasSample(CImage* image, int width, int height, uint32_t seed) {
  if (!image || image->GetWidth() != width || image->GetHeight() != height || !image->GetComposite())
    return false;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (image->GetComposite()->GetPixel(x, y) != Sample(x, y, seed))
        return false;
  return true;
}

std::vector<CImage*> ListedImages() {
  std::vector<CImage*> images;
  for (CThumbnailItem* item = ProjectPanel::GetList()->GetFirst(); item; item = CThumbnailList::Next(item))
    images.push_back(static_cast<CImageListItem*>(item)->GetImage());
  return images;
}

class ImageImportExportTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { StartMainWindowSuite(); }
  static void TearDownTestSuite() { EndMainWindowSuite(); }

  void SetUp() override {
    PrepareMainWindow();
    g_Plugins.Add(CreateBuiltinFormat());
    ASSERT_TRUE(ScanPluginFolder((BinFolder() + "Plugins").c_str()));
    g_Plugins.SortByName();
    BuildFileTypeLists();
    saved.importPath = g_Settings.importPath->GetValue();
    saved.exportPath = g_Settings.exportPath->GetValue();
    saved.exportId = g_Settings.exportFormatId->GetValue();
    saved.exportPlugin = g_Settings.exportFormatPlugin->GetValue();
    ASSERT_TRUE(OpenMainWindow());
    CProject* project = new CProject();
    project->SetName("Sample");
    first = AddImage(project, 5, 4, 0x110000u);
    project->SetCurrentImage(first);
    SetCurrentProject(project);
    ResyncWorkingCopies();
    ProjectPanel::Rebuild();
    UpdateCommandStates();
  }

  void TearDown() override {
    DiscardMainWindow();
    if (GetCurrentProject())
      DropProject();
    ClearPluginLists();
    g_Settings.importPath->SetValue(saved.importPath.c_str());
    g_Settings.exportPath->SetValue(saved.exportPath.c_str());
    g_Settings.exportFormatId->SetValue(saved.exportId);
    g_Settings.exportFormatPlugin->SetValue(saved.exportPlugin.c_str());
  }

  struct {
    std::string importPath, exportPath, exportPlugin;
    uint32_t exportId = 0;
  } saved;
  ScratchFolder folder;
  CImage* first = nullptr;
};

TEST_F(ImageImportExportTest, ExportedImageComesBackAsASecondImageOfTheProject) {
  g_Settings.exportPath->SetValue(folder.path.c_str());
  g_Settings.exportFormatId->SetValue(1);
  g_Settings.exportFormatPlugin->SetValue("Rastrel");
  std::string offered;
  {
    DialogPoker options("BMP options", DialogPoker::PressFocused);
    DialogPoker save("Image export", [&](HWND dialog) {
      offered = FileNameSpec(dialog);
      ConfirmFileName(dialog, "copy.bmp");
    });
    ASSERT_TRUE(ExportImageCommand());
    EXPECT_EQ(1, save.Count());
  }
  EXPECT_EQ("Sample.bmp", offered);
  const std::vector<uint8_t> bytes = LoadBytes(folder.File("copy.bmp"));
  ASSERT_GT(bytes.size(), 54u);
  EXPECT_EQ('B', bytes[0]);
  EXPECT_EQ('M', bytes[1]);
  EXPECT_EQ(1u, g_Settings.exportFormatId->GetValue());
  EXPECT_STREQ("Rastrel", g_Settings.exportFormatPlugin->GetValue());
  EXPECT_EQ(1, GetCurrentProject()->GetImageCount());

  g_Settings.importPath->SetValue(folder.path.c_str());
  {
    DialogPoker open("Image import", [](HWND dialog) { ConfirmFileName(dialog, "copy.bmp"); });
    ASSERT_TRUE(ImportImageCommand());
    EXPECT_EQ(1, open.Count());
  }
  CProject* project = GetCurrentProject();
  ASSERT_EQ(2, project->GetImageCount());
  CImage* imported = project->GetCurrentImage();
  ASSERT_NE(first, imported);
  EXPECT_TRUE(HasSample(imported, 5, 4, 0x110000u));
  EXPECT_EQ((std::vector<CImage*>{first, imported}), ListedImages());
  EXPECT_EQ(imported, static_cast<CImageListItem*>(ProjectPanel::GetList()->GetSelected())->GetImage());
}

// One image is written by a plug-in: the dialog offers every plug-in export type, and not the
// project type, which the export list holds too.
TEST_F(ImageImportExportTest, ExportOffersThePluginTypesOnly) {
  const std::string projectType = "Vellumcraft project (*.vcj)";
  std::vector<std::string> exportable, pluginTypes;
  for (CListItem* item = g_ExportTypes.first; item; item = item->next) {
    const auto* type = static_cast<CFileTypeEntry*>(item);
    if (!type->extensions.first)
      continue;
    exportable.push_back(TypeEntryText(type));
    if (!type->plugin || type->plugin->kind != FORMAT_KIND_BUILTIN)
      pluginTypes.push_back(exportable.back());
  }
  ASSERT_EQ(1, std::count(exportable.begin(), exportable.end(), projectType));
  ASSERT_FALSE(pluginTypes.empty());

  std::vector<std::string> offered;
  {
    DialogPoker save("Image export", [&](HWND dialog) {
      offered = OfferedTypes(dialog);
      PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_FALSE(ExportImageCommand());
    EXPECT_EQ(1, save.Count());
  }
  EXPECT_EQ(pluginTypes, offered);
  EXPECT_EQ(0, std::count(offered.begin(), offered.end(), projectType));
}

TEST_F(ImageImportExportTest, AFileOfSeveralImagesAsksWhichOneAndCancelAddsNothing) {
  const std::string path = folder.File("three.vcj");
  {
    CProject three;
    AddImage(&three, 3, 3, 0x220000u);
    AddImage(&three, 7, 2, 0x330000u);
    AddImage(&three, 2, 6, 0x440000u);
    ASSERT_TRUE(WriteProject(path.c_str(), &three));
  }
  g_Settings.importPath->SetValue(folder.path.c_str());

  // The second row of the chooser is taken.
  int rows = 0;
  {
    DialogPoker open("Image import", [](HWND dialog) { ConfirmFileName(dialog, "three.vcj"); });
    BoxDriver::Run("Select an image", [&](CWULAppWindow*) {
      CThumbnailList* list = GetSelectImageList();
      rows = list->GetCount();
      list->Select(CThumbnailList::Next(list->GetFirst()));
      BoxDriver::PostClick(GetSelectImageButton(true), 40, 12);
    }, [] { return ImportImageCommand() ? 1 : 0; });
  }
  EXPECT_TRUE(BoxDriver::Ran());
  EXPECT_FALSE(BoxDriver::TimedOut());
  EXPECT_EQ(3, rows);
  CProject* project = GetCurrentProject();
  ASSERT_EQ(2, project->GetImageCount());
  EXPECT_TRUE(HasSample(project->GetCurrentImage(), 7, 2, 0x330000u));

  // Cancel in the chooser adds nothing.
  {
    DialogPoker open("Image import", [](HWND dialog) { ConfirmFileName(dialog, "three.vcj"); });
    BoxDriver::Run("Select an image", [](CWULAppWindow*) {
      BoxDriver::PostClick(GetSelectImageButton(false), 40, 12);
    }, [] { return ImportImageCommand() ? 1 : 0; });
  }
  EXPECT_TRUE(BoxDriver::Ran());
  EXPECT_EQ(2, GetCurrentProject()->GetImageCount());
  EXPECT_EQ(2u, ListedImages().size());
}

}  // namespace
