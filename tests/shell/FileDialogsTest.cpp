#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include "document/ScratchFiles.h"
#include "common/BoxWatcher.h"
#include "common/FileDialogText.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/PixelArray.h"
#include "document/Project.h"
#include "document/ProjectFile.h"
#include "shell/DialogPoker.h"
#include "shell/LookAlikeFiles.h"
#include "shell/FileDialogs.h"
#include "shell/HostServices.h"
#include "shell/PluginLoader.h"
#include "plugins/sdk/VCXPlugin.h"
#include "shell/Settings.h"
#include "sys/ZR.h"
#include "ui/AppCursors.h"
#include "wul/WULButton.h"
#include "wul/WULImage.h"
#include "wul/WULInit.h"
#include "wul/WULPanel.h"

namespace {

std::string BinFolder() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string s(path);
  return s.substr(0, s.rfind('\\') + 1);
}

VCXLayeredImage* MakeRecord(int w, int h, uint32_t format, int layers, uint32_t value) {
  VCXLayeredImage request = vcxLayeredImageRequest(format, w, h, layers);
  VCXLayeredImage* record = VcsCreateLayeredImage(&request);
  for (int i = 0; i < layers; ++i) {
    VCXImage layer = vcxImageRequest(VCX_KIND_COLOR, format, w, h, "");
    VCXImage* image = VcsCreateImage(&layer);
    const size_t bytes = static_cast<size_t>(GetRecordRowBytes(format, w)) * h;
    uint8_t* pixels = vcxGetPixelSlot(image);
    for (size_t b = 0; b < bytes; b += format == VCX_FORMAT_32 ? 4 : 3) {
      std::memcpy(pixels + b, &value, format == VCX_FORMAT_32 ? 4 : 3);
    }
    vcxSetLayerSlot(record, i, image);
  }
  return record;
}

class FileDialogsTest : public testing::Test {
protected:
  void SetUp() override {
    zrInit();
    WULInit(GetModuleHandleA(nullptr));
    if (!GetAppIcon(32))
      LoadAppCursors();
    g_Plugins.Add(CreateBuiltinFormat());
    ScanPluginFolder((BinFolder() + "Plugins").c_str());
    g_Plugins.SortByName();
    BuildFileTypeLists();
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    static int counter = 0;
    folder = std::string(temp) + "vc-dialogs-" + std::to_string(GetCurrentProcessId()) + "-" +
             std::to_string(counter++);
    CreateDirectoryA(folder.c_str(), nullptr);
    savedEnabled = g_Settings.imageFilePreviewEnabled->GetValue();
    savedChequer = g_Settings.imageFilePreviewChequeredBackground->GetValue();
    g_Settings.imageFilePreviewEnabled->SetValue(true);
    g_Settings.imageFilePreviewChequeredBackground->SetValue(false);
  }
  void TearDown() override {
    ClearPluginLists();
    g_Settings.imageFilePreviewEnabled->SetValue(savedEnabled);
    g_Settings.imageFilePreviewChequeredBackground->SetValue(savedChequer);
    RemoveScratchFolder(folder);
  }
  std::string File(const char* name) const { return folder + "\\" + name; }

  // A project file of one w x h layer of one colour.
  std::string WriteProjectFile(const char* name, int w, int h, uint32_t color) {
    CProject project;
    CImage* image = new CImage();
    image->SetSize(w, h);
    project.AddImage(image);
    image->SetTargetFormat(0x200000);
    CRasterLayer* layer = new CRasterLayer();
    image->AddLayer(layer);
    layer->GetPixels()->Fill(color);
    image->UpdateAll();
    CProjectWriter writer;
    writer.SetEmbedThumbnails(false);
    const std::string path = File(name);
    writer.Save(path.c_str(), &project);
    return path;
  }

  std::string folder;
  bool savedEnabled = true;
  bool savedChequer = false;
};

// Selects the first item of the dialog's file list once it has one.
void SelectFirstFile(HWND dialog) {
  HWND list = nullptr;
  for (int i = 0; i < 300 && !list; ++i) {
    list = FindWindowExA(FindWindowExA(dialog, nullptr, "SHELLDLL_DefView", nullptr), nullptr, "SysListView32",
                         nullptr);
    if (!list)
      Sleep(10);
  }
  if (!list)
    return;
  for (int i = 0; i < 300 && SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) < 1; ++i)
    Sleep(10);
  LVITEMA item = {};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
}

// Clicks a framework control in its top-left corner.
void Click(HWND control) {
  PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
  PostMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
}

// Picks the file: selects it in the list and, where the list does not report that, types its
// name and switches the preview off and on, which previews the named file.
void PickFile(HWND dialog, const char* name) {
  SelectFirstFile(dialog);
  for (int i = 0; i < 50 && !GetFilePreview().image; ++i)
    Sleep(10);
  if (GetFilePreview().image || !GetFilePreview().enableBox)
    return;
  SetFileNameText(dialog, name);
  HWND box = GetFilePreview().enableBox->GetHandle();
  Click(box);
  Sleep(200);
  Click(box);
}

TEST_F(FileDialogsTest, FilterOfTheProjectModeListsOnlyTheProjectType) {
  CFileDialogRequest request;
  request.listProjectType = true;
  request.listPluginTypes = false;
  CWULString filter;
  EXPECT_EQ(2, BuildPluginOpenFilter(request, filter));
  EXPECT_STREQ("ALL FILES\t*.*\tVellumcraft project (*.vcj)\t*.vcj\t", filter.text);

  request.listPluginTypes = true;
  BuildPluginOpenFilter(request, filter);
  const std::string all(filter.text);
  EXPECT_EQ(0u, all.find("ALL FILES\t*.*\tAll supported file types\t*."));
  EXPECT_NE(std::string::npos, all.find("*.vcj"));
  EXPECT_NE(std::string::npos, all.find("*.ico"));
}

TEST_F(FileDialogsTest, FilterEntriesOfSimpleDialogs) {
  CFileTypeEntry* type = CreateFileFilter("Vellumcraft swatch set", "vccolors", 1);
  CFileTypeEntry* two = CreateFileFilter("Pictures", "BMP;dib", 2);
  CWULString filter;
  CWULString patterns;
  EXPECT_TRUE(AppendFilterEntry(filter, type, &patterns));
  EXPECT_TRUE(AppendFilterEntry(filter, two, &patterns));
  EXPECT_STREQ("Vellumcraft swatch set (*.vccolors)\t*.vccolors\tPictures (*.bmp;*.dib)\t*.bmp;*.dib\t", filter.text);
  EXPECT_STREQ("*.vccolors;*.bmp;*.dib", patterns.text);
  delete type;
  delete two;
}

TEST_F(FileDialogsTest, SaveNamesGetTheTypesExtension) {
  CFileTypeEntry* ico = CreateFileFilter("Windows icon", "ico", 2);
  CWULString path("C:\\out\\icon");
  CompleteSaveExtension(path, ico);
  EXPECT_STREQ("C:\\out\\icon.ico", path.text);
  path.Assign("C:\\out\\icon.png");
  CompleteSaveExtension(path, ico);
  EXPECT_STREQ("C:\\out\\icon.png.ico", path.text);
  path.Assign("C:\\out\\icon.");
  CompleteSaveExtension(path, ico);
  EXPECT_STREQ("C:\\out\\icon.", path.text);
  path.Assign("C:\\out\\ICON.ICO");
  CompleteSaveExtension(path, ico);
  EXPECT_STREQ("C:\\out\\ICON.ICO", path.text);

  CWULString spec("logo.bmp");
  EXPECT_TRUE(ReplaceSpecExtension(spec, ico));
  EXPECT_STREQ("logo.ico", spec.text);
  spec.Assign("");
  EXPECT_FALSE(ReplaceSpecExtension(spec, ico));
  delete ico;
}

TEST_F(FileDialogsTest, LargePreviewIsScaledIntoTheBox) {
  ASSERT_EQ(184, GetPreviewBoxSide());
  CWULImage* image = MakePreviewImage(MakeRecord(1024, 512, VCX_FORMAT_32, 1, 0xFF112233u), 184);
  ASSERT_NE(nullptr, image);
  EXPECT_EQ(184, image->width);
  EXPECT_EQ(92, image->height);
  EXPECT_EQ(0xFF112233u, image->GetPixel(90, 40));
  CWULImage::Release(image);

  // Two layers are flattened, 24-bit pixels made opaque 32-bit, small pictures kept.
  image = MakePreviewImage(MakeRecord(3, 2, VCX_FORMAT_24, 1, 0x00445566u), 184);
  ASSERT_NE(nullptr, image);
  EXPECT_EQ(3, image->width);
  EXPECT_EQ(0xFF445566u, image->GetPixel(2, 1));
  CWULImage::Release(image);
  image = MakePreviewImage(MakeRecord(4, 4, VCX_FORMAT_32, 2, 0xFF0000FFu), 184);
  ASSERT_NE(nullptr, image);
  EXPECT_EQ(0xFF0000FFu, image->GetPixel(1, 1));
  CWULImage::Release(image);
  EXPECT_EQ(nullptr, MakePreviewImage(nullptr, 184));
}

TEST_F(FileDialogsTest, OpenDialogPreviewsTheSelectedProjectFile) {
  WriteProjectFile("shot.vcj", 40, 20, 0xFFFF0000u);
  CFileDialogRequest request;
  request.title.Assign("Preview test");
  request.folder.Assign(folder.c_str());
  request.listPluginTypes = false;

  std::atomic<bool> sawPicture{false};
  std::string text;
  std::string label;
  uint32_t centre = 0, corner = 0, left = 0, outsideLeft = 0, top = 0, outsideTop = 0;
  int imageWidth = 0, imageHeight = 0;
  CWULImage* boxPictures[2] = {};
  uint32_t boxPixels[2] = {};
  {
    DialogPoker poker("Preview test", [&](HWND dialog) {
      PickFile(dialog, "shot.vcj");
      for (int i = 0; i < 500 && !GetFilePreview().image; ++i)
        Sleep(10);
      Sleep(100);
      const CFilePreview& preview = GetFilePreview();
      if (preview.image && preview.box) {
        sawPicture = true;
        imageWidth = preview.image->width;
        imageHeight = preview.image->height;
        text = preview.text;
        label = preview.label ? preview.label->GetText() : "";
        GdiFlush();
        centre = preview.box->buffer.GetImage()->GetPixel(preview.boxSide / 2, preview.boxSide / 2);
        corner = preview.box->buffer.GetImage()->GetPixel(2, 2);
        // 40 x 20 centred in the box: columns 72..111, rows 82..101.
        const int side = preview.boxSide;
        left = preview.box->buffer.GetImage()->GetPixel((side - 40) / 2, side / 2);
        outsideLeft = preview.box->buffer.GetImage()->GetPixel((side - 40) / 2 - 1, side / 2);
        top = preview.box->buffer.GetImage()->GetPixel(side / 2, (side - 20) / 2);
        outsideTop = preview.box->buffer.GetImage()->GetPixel(side / 2, (side - 20) / 2 - 1);
        // The middle of each check box's picture, which sits after the indicator.
        CWULCheckBox* boxes[2] = {preview.enableBox, preview.chequerBox};
        for (int i = 0; i < 2; ++i) {
          boxPictures[i] = boxes[i]->GetPicture();
          boxPixels[i] = boxes[i]->buffer.GetImage()->GetPixel(16 + 8, (boxes[i]->GetHeight() - 16) / 2 + 8);
        }
      }
      PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_FALSE(CPluginFileDialog::RunOpen(nullptr, request));
    EXPECT_EQ(1, poker.Count());
  }
  ASSERT_TRUE(sawPicture);
  EXPECT_EQ(40, imageWidth);
  EXPECT_EQ(20, imageHeight);
  EXPECT_EQ("Vellumcraft project\n1 image", text);
  EXPECT_EQ(text, label);
  EXPECT_EQ(0xFF0000u, centre & 0xFFFFFFu);
  EXPECT_NE(0xFF0000u, corner & 0xFFFFFFu);
  EXPECT_EQ(0xFF0000u, left & 0xFFFFFFu);
  EXPECT_NE(0xFF0000u, outsideLeft & 0xFFFFFFu);
  EXPECT_EQ(0xFF0000u, top & 0xFFFFFFu);
  EXPECT_NE(0xFF0000u, outsideTop & 0xFFFFFFu);
  const int32_t pictureIds[2] = {314, 315};
  for (int i = 0; i < 2; ++i) {
    ASSERT_NE(nullptr, GetAppPicture(pictureIds[i]));
    EXPECT_EQ(GetAppPicture(pictureIds[i]), boxPictures[i]);
    EXPECT_EQ(GetAppPicture(pictureIds[i])->GetPixel(8, 8) & 0xFFFFFFu, boxPixels[i] & 0xFFFFFFu);
  }
  // Cancelled: the request is as it was.
  EXPECT_STREQ(folder.c_str(), request.folder.text);
  EXPECT_STREQ("", request.fileName.text);
  EXPECT_EQ(nullptr, GetFilePreview().pane);
}

TEST_F(FileDialogsTest, OpenDialogPreviewsAPluginFormat) {
  // A 2 x 2 24-bit bitmap: red, green on top, blue, white below.
  const std::string path = File("pic.bmp");
  uint8_t bytes[70] = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0};
  const uint8_t rows[16] = {0xFF, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0, 0xFF, 0, 0, 0};
  std::memcpy(bytes + 54, rows, 16);
  FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(bytes, 1, sizeof bytes, f);
  std::fclose(f);

  CFileDialogRequest request;
  request.title.Assign("Plugin preview test");
  g_Settings.imageFilePreviewChequeredBackground->SetValue(true);
  const CColor savedA = g_Settings.uiColorsChequerA->GetValue();
  const CColor savedB = g_Settings.uiColorsChequerB->GetValue();
  g_Settings.uiColorsChequerA->SetValue(CColor(0xFFFFFFFFu));
  g_Settings.uiColorsChequerB->SetValue(CColor(0xFF808080u));
  uint32_t cell[3] = {};
  request.folder.Assign(folder.c_str());
  int w = 0;
  uint32_t topLeft = 0;
  std::string text;
  {
    DialogPoker poker("Plugin preview test", [&](HWND dialog) {
      PickFile(dialog, "pic.bmp");
      for (int i = 0; i < 500 && !GetFilePreview().image; ++i)
        Sleep(10);
      const CFilePreview& preview = GetFilePreview();
      if (preview.image) {
        w = preview.image->width;
        topLeft = preview.image->GetPixel(0, 0);
        text = preview.text;
        GdiFlush();
        CWULImage* box = preview.box->buffer.GetImage();
        cell[0] = box->GetPixel(0, 0);
        cell[1] = box->GetPixel(4, 0);
        cell[2] = box->GetPixel(4, 4);
      }
      PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_FALSE(CPluginFileDialog::RunOpen(nullptr, request));
  }
  g_Settings.uiColorsChequerA->SetValue(savedA);
  g_Settings.uiColorsChequerB->SetValue(savedB);
  EXPECT_EQ(2, w);
  EXPECT_EQ(0xFFFF0000u, topLeft);
  EXPECT_FALSE(text.empty());
  // 4-pixel cells of the two chequer colours.
  EXPECT_EQ(0xFFFFFFu, cell[0] & 0xFFFFFFu);
  EXPECT_EQ(0x808080u, cell[1] & 0xFFFFFFu);
  EXPECT_EQ(0xFFFFFFu, cell[2] & 0xFFFFFFu);
}

TEST_F(FileDialogsTest, OpenDialogDoesNotPreviewALookAlike) {
  WriteLookAlikeIcons(folder);
  CFileDialogRequest request;
  request.title.Assign("Look-alike preview test");
  request.folder.Assign(folder.c_str());
  std::string path, text;
  bool image = true;
  {
    DialogPoker poker("Look-alike preview test", [&](HWND dialog) {
      // Switching the preview off and on previews the named file.
      SetFileNameText(dialog, kOmegaIcon);
      HWND box = GetFilePreview().enableBox->GetHandle();
      Click(box);
      for (int i = 0; i < 500 && GetFilePreview().path[0] == 0; ++i)
        Sleep(10);
      Click(box);
      for (int i = 0; i < 500 && GetFilePreview().text[0] == 0; ++i)
        Sleep(10);
      path = GetFilePreview().path;
      text = GetFilePreview().text;
      image = GetFilePreview().image != nullptr;
      PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_FALSE(CPluginFileDialog::RunOpen(nullptr, request));
  }
  EXPECT_EQ(File(kOmegaIconShown), path);
  EXPECT_EQ("Unknown file format...", text);
  EXPECT_FALSE(image);
}

TEST_F(FileDialogsTest, SaveDialogCompletesTheNameAndAsksBeforeReplacing) {
  FILE* f = std::fopen(File("exists.ico").c_str(), "wb");
  std::fputs("old", f);
  std::fclose(f);
  CFileDialogRequest request;
  request.title.Assign("Save test");
  request.folder.Assign(folder.c_str());
  request.fileName.Assign("icon");
  request.filters.Append(CreateFileFilter("Windows bitmap", "bmp", 1));
  request.filters.Append(CreateFileFilter("Windows icon", "ico", 2));
  request.selectedTypeId = 2;
  SetFileDialogSize(SIZE{640, 480});
  SIZE seen = {0, 0};
  std::string offered;
  BoxWatcher refuse("The file already exists", 'N');
  {
    DialogPoker poker("Save test", [&](HWND dialog) {
      RECT rect;
      GetWindowRect(dialog, &rect);
      seen.cx = rect.right - rect.left;
      seen.cy = rect.bottom - rect.top;
      offered = FileNameSpec(dialog);
      ConfirmFileName(dialog, "exists");
      refuse.WaitFor(1, 5000);
      Sleep(300);
      ConfirmFileName(dialog, "icon.png");
    });
    ASSERT_TRUE(CSaveFileDialog::RunSave(nullptr, request));
  }
  EXPECT_EQ(640, seen.cx);
  EXPECT_EQ(480, seen.cy);
  EXPECT_EQ("icon.ico", offered);
  ASSERT_EQ(1u, refuse.Count());
  EXPECT_EQ(File("exists.ico") + " already exists.\nDo you want to replace it?", refuse.Texts()[0]);
  EXPECT_STREQ("icon.png.ico", request.fileName.text);
  EXPECT_EQ(2, request.selectedTypeId);
  CWULString path;
  request.GetPath(path);
  EXPECT_STREQ(File("icon.png.ico").c_str(), path.text);
  SIZE remembered = GetFileDialogSize();
  EXPECT_EQ(640, remembered.cx);
  EXPECT_EQ(480, remembered.cy);
}

TEST_F(FileDialogsTest, SwitchingTheSaveTypeChangesTheTypedExtension) {
  CFileDialogRequest request;
  request.title.Assign("Type test");
  request.folder.Assign(folder.c_str());
  request.fileName.Assign("logo");
  // A type without extensions is not listed, so the entries below keep their positions.
  request.filters.Append(CreateFileFilter("Nothing to name", "", 5));
  request.filters.Append(CreateFileFilter("Windows bitmap", "bmp", 1));
  request.filters.Append(CreateFileFilter("Windows icon", "ico;icon", 2));
  request.selectedTypeId = 1;
  std::string before, after;
  int listed = 0, preselected = -1;
  {
    DialogPoker poker("Type test", [&](HWND dialog) {
      before = FileNameSpec(dialog);
      HWND types = FileTypeBox(dialog);
      listed = static_cast<int>(SendMessageA(types, CB_GETCOUNT, 0, 0));
      preselected = static_cast<int>(SendMessageA(types, CB_GETCURSEL, 0, 0));
      ChooseFileType(dialog, 1);
      after = FileNameSpec(dialog);
      PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    ASSERT_TRUE(CSaveFileDialog::RunSave(nullptr, request));
  }
  EXPECT_EQ(2, listed);
  EXPECT_EQ(0, preselected);
  EXPECT_EQ("logo.bmp", before);
  EXPECT_EQ("logo.ico", after);
  EXPECT_STREQ("logo.ico", request.fileName.text);
  EXPECT_EQ(2, request.selectedTypeId);
}

TEST_F(FileDialogsTest, SwitchingTheSaveTypeKeepsANameOutsideTheCodePageAsTyped) {
  CFileDialogRequest request;
  request.title.Assign("Type test");
  request.folder.Assign(folder.c_str());
  request.fileName.Assign("logo");
  request.filters.Append(CreateFileFilter("Windows bitmap", "bmp", 1));
  request.filters.Append(CreateFileFilter("Windows icon", "ico", 2));
  request.selectedTypeId = 1;
  // Omega has no place in the code page; its best fit there is the look-alike "iO".
  const std::wstring typed = L"i\u03A9";
  std::wstring after;
  int chosen = -1;
  {
    DialogPoker poker("Type test", [&](HWND dialog) {
      SetFileNameText(dialog, typed);
      HWND types = FileTypeBox(dialog);
      ChooseFileType(dialog, 1);
      chosen = static_cast<int>(SendMessageA(types, CB_GETCURSEL, 0, 0));
      after = FileNameWide(dialog);
      PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_FALSE(CSaveFileDialog::RunSave(nullptr, request));
  }
  EXPECT_EQ(1, chosen);
  EXPECT_EQ(typed, after);
  EXPECT_STREQ("logo", request.fileName.text);
}

TEST_F(FileDialogsTest, PluginSaveDialogLeavesOutTheProjectTypeWhenAsked) {
  for (bool project : {true, false}) {
    CFileDialogRequest request;
    request.title.Assign("Export test");
    request.folder.Assign(folder.c_str());
    request.fileName.Assign("art");
    request.listProjectType = project;
    std::vector<std::string> listed;
    {
      DialogPoker poker("Export test", [&](HWND dialog) {
        HWND types = FileTypeBox(dialog);
        const int count = static_cast<int>(SendMessageA(types, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
          char text[256] = {};
          SendMessageA(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
          listed.push_back(text);
        }
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
      });
      EXPECT_FALSE(CPluginSaveDialog::RunSave(nullptr, request));
    }
    EXPECT_EQ(project, std::count(listed.begin(), listed.end(), "Vellumcraft project (*.vcj)") == 1);
    EXPECT_TRUE(std::any_of(listed.begin(), listed.end(),
                            [](const std::string& t) { return t.find("*.ico") != std::string::npos; }));
  }
}

TEST_F(FileDialogsTest, SimpleOpenDialogReturnsFolderAndName) {
  FILE* f = std::fopen(File("COLORS.vccolors").c_str(), "wb");
  std::fputs("swatches", f);
  std::fclose(f);
  CFileDialogRequest request;
  request.title.Assign("Load test");
  request.folder.Assign(folder.c_str());
  request.filters.Append(CreateFileFilter("Vellumcraft swatch set", "vccolors", 1));
  int filterIndex = 0;
  {
    DialogPoker poker("Load test", [&](HWND dialog) {
      // ALL FILES, then the swatch sets.
      HWND types = FileTypeBox(dialog);
      filterIndex = static_cast<int>(SendMessageA(types, CB_GETCURSEL, 0, 0)) + 1;
      ConfirmFileName(dialog, "COLORS.vccolors");
    });
    ASSERT_TRUE(CFileDialog::RunOpen(nullptr, request));
  }
  EXPECT_EQ(2, filterIndex);
  EXPECT_STREQ((folder + "\\").c_str(), request.folder.text);
  EXPECT_STREQ("COLORS.vccolors", request.fileName.text);
}

TEST_F(FileDialogsTest, SaveDialogWithoutTypesDoesNotOpen) {
  CFileDialogRequest request;
  request.title.Assign("Never shown");
  EXPECT_FALSE(CSaveFileDialog::RunSave(nullptr, request));
  // Only types without extensions: nothing to offer either.
  request.filters.Append(CreateFileFilter("Nothing to name", "", 5));
  EXPECT_FALSE(CSaveFileDialog::RunSave(nullptr, request));
}

}  // namespace
