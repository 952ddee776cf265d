#include <gtest/gtest.h>
#include <windows.h>
#include <htmlhelp.h>
#include <cstring>
#include <string>
#include <vector>
#include "BoxDriver.h"
#include "MainWindowHarness.h"
#include "common/BoxWatcher.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Project.h"
#include "shell/Clipboard.h"
#include "shell/Help.h"
#include "shell/Settings.h"
#include "tools/CurrentImage.h"
#include "tools/WorkingCopies.h"
#include "ui/MainWindow.h"
#include "ui/NewImageDialogs.h"
#include "ui/ThumbnailList.h"
#include "wul/WULButton.h"
#include "wul/WULEdit.h"
#include "wul/WULImage.h"
#include "wul/WULPanel.h"

namespace {

const char kImageCaption[] = "New image";
const char kProjectCaption[] = "New project :: new image";
const uint32_t kRed = 0xFFFF0000u;
const uint32_t kGreen = 0xFF00FF00u;
const uint32_t kBlue = 0xFF0000FFu;

enum { PRESET_16, PRESET_24, PRESET_32, PRESET_48, PRESET_64, PRESET_96, PRESET_128, PRESET_256 };
enum { FORMAT_32, FORMAT_24, FORMAT_8, FORMAT_4, FORMAT_1 };

// Clicks a check box or radio button on its indicator.
void ClickBox(CWULInteractor* box) { BoxDriver::SendClick(box, 6, 8); }

// A key stroke sent to the window with the focus; it has been handled when this returns.
void SendKey(CWULAppWindow* dialog, int key) {
  HWND target = GetFocus();
  if (!target || (target != dialog->GetHandle() && !IsChild(dialog->GetHandle(), target)))
    target = dialog->GetHandle();
  SendMessageA(target, WM_KEYDOWN, key, KeyParam(key, false));
  SendMessageA(target, WM_KEYUP, key, KeyParam(key, true));
}

bool ClientSizeIs(CWULAppWindow* dialog, int width, int height) {
  RECT client;
  GetClientRect(dialog->GetHandle(), &client);
  return client.right - client.left == width && client.bottom - client.top == height;
}

// Windows of this thread used as the other program on the clipboard.
HWND OtherProgramWindow() {
  static HWND window = CreateWindowExA(0, "STATIC", "other", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  return window;
}

void EmptyTheClipboard() {
  g_Clipboard.ReleaseData();
  if (OpenClipboard(OtherProgramWindow())) {
    EmptyClipboard();
    CloseClipboard();
  }
}

// Puts a 24-bit bitmap of width x height on the clipboard as another program would.
void PutBitmapOnClipboard(int32_t width, int32_t height) {
  const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
  std::vector<uint8_t> block(sizeof(BITMAPINFOHEADER) + stride * height, 0x80);
  BITMAPINFOHEADER header;
  std::memset(&header, 0, sizeof header);
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  std::memcpy(block.data(), &header, sizeof header);
  g_Clipboard.ReleaseData();
  ASSERT_TRUE(OpenClipboard(OtherProgramWindow()));
  EmptyClipboard();
  HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE, block.size());
  std::memcpy(GlobalLock(handle), block.data(), block.size());
  GlobalUnlock(handle);
  ASSERT_NE(nullptr, SetClipboardData(CF_DIB, handle));
  CloseClipboard();
}

void DropQueued() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message != WM_QUIT)
      DispatchMessageA(&message);
  }
}

CRasterLayer* AddLayer(CImage* image, const char* name) {
  auto* layer = new CRasterLayer();
  layer->SetName(name);
  image->AddLayer(layer);
  return layer;
}

// The help file paths the dialogs asked to show.
std::vector<std::string> g_helpShown;
HWND WINAPI RecordHelp(HWND, LPCSTR file, UINT command, DWORD_PTR) {
  if (command == HH_DISPLAY_TOPIC)
    g_helpShown.push_back(file ? file : "");
  // A window stands for the shown topic; nothing for the window type.
  return command == HH_DISPLAY_TOPIC ? GetDesktopWindow() : nullptr;
}

class NewImageDialogsTest : public testing::Test {
protected:
  void SetUp() override {
    WULInit(GetModuleHandleA(nullptr));
    if (!g_Settings.limitsSupersamplingMaxPixelCount)
      g_Settings.Init();
    g_Clipboard.Init();
    EmptyTheClipboard();
    DropQueued();
    saved[0] = g_Settings.imageWidth->GetValue();
    saved[1] = g_Settings.imageHeight->GetValue();
    saved[2] = g_Settings.imageTargetFormat->GetValue();
    saved[3] = g_Settings.limitsSupersamplingMaxPixelCount->GetValue();
    g_Settings.imageWidth->SetValue(40u);
    g_Settings.imageHeight->SetValue(20u);
    g_Settings.imageTargetFormat->SetValue(0x80001u);
    g_Settings.limitsSupersamplingMaxPixelCount->SetValue(100000u);

    project = new CProject();
    small = new CImage();
    small->SetSize(16, 16);
    small->SetTargetFormat(CImage::FORMAT_8BIT_PALETTE);
    project->AddImage(small);
    CRasterLayer* layer = AddLayer(small, "Background");
    small->SetActiveLayer(layer);
    small->UpdateAll();
    wide = new CImage();
    wide->SetSize(128, 64);
    wide->SetTargetFormat(CImage::FORMAT_32BIT_ARGB);
    project->AddImage(wide);
    wide->SetActiveLayer(AddLayer(wide, ""));
    wide->UpdateAll();
    project->SetCurrentImage(small);
    project->ClearModified();
    SetCurrentProject(project);
    ResyncWorkingCopies();
  }
  void TearDown() override {
    DropQueued();
    CProject* current = GetCurrentProject();
    SetCurrentProject(nullptr);
    ResyncWorkingCopies();
    delete current;
    if (project != current)
      delete project;
    g_Settings.imageWidth->SetValue(saved[0]);
    g_Settings.imageHeight->SetValue(saved[1]);
    g_Settings.imageTargetFormat->SetValue(saved[2]);
    g_Settings.limitsSupersamplingMaxPixelCount->SetValue(saved[3]);
    EmptyTheClipboard();
    SetHtmlHelpProc(nullptr);
  }

  // Runs the New image dialog with action applied to it; the dialog's result.
  bool RunImage(const BoxDriver::Action& action) {
    bool result = false;
    BoxDriver::Run(kImageCaption, action, [&] {
      result = NewImageDialog();
      return 0;
    });
    EXPECT_TRUE(BoxDriver::Ran());
    EXPECT_FALSE(BoxDriver::TimedOut());
    EXPECT_EQ(nullptr, GetNewImageParts());
    return result;
  }
  bool RunProject(const BoxDriver::Action& action) {
    bool result = false;
    BoxDriver::Run(kProjectCaption, action, [&] {
      result = NewProjectDialog();
      return 0;
    });
    EXPECT_TRUE(BoxDriver::Ran());
    EXPECT_FALSE(BoxDriver::TimedOut());
    EXPECT_EQ(nullptr, GetNewProjectParts());
    return result;
  }

  void ExpectSettings(uint32_t width, uint32_t height, uint32_t format) {
    EXPECT_EQ(width, g_Settings.imageWidth->GetValue());
    EXPECT_EQ(height, g_Settings.imageHeight->GetValue());
    EXPECT_EQ(format, g_Settings.imageTargetFormat->GetValue());
  }

  CProject* project = nullptr;
  CImage* small = nullptr;
  CImage* wide = nullptr;
  uint32_t saved[4] = {};
};

TEST_F(NewImageDialogsTest, NewImageOpensFromTheSettingsWithThePicturesOfTheProject) {
  bool checked = false;
  const bool created = RunImage([&](CWULAppWindow* dialog) {
    const CNewImageParts* p = GetNewImageParts();
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(dialog, p->window);
    EXPECT_TRUE(ClientSizeIs(dialog, 374, 316));
    EXPECT_EQ(80, p->ok->GetWidth());
    EXPECT_EQ(24, p->cancel->GetHeight());
    EXPECT_LT(p->ok->GetX(), p->cancel->GetX());
    EXPECT_TRUE(p->custom->IsChecked());
    EXPECT_EQ(GetFocus(), p->custom->GetHandle());
    EXPECT_EQ(40, p->width->GetValueRounded());
    EXPECT_EQ(20, p->height->GetValueRounded());
    EXPECT_TRUE(p->width->IsEnabled());
    EXPECT_TRUE(p->heightLabel->IsEnabled());
    for (CWULRadioButton* preset : p->presets)
      EXPECT_FALSE(preset->IsChecked());
    EXPECT_STREQ("128x128", p->presets[PRESET_128]->GetText());
    for (int i = 0; i < NEW_IMAGE_FORMAT_COUNT; ++i)
      EXPECT_EQ(i == FORMAT_8, p->formats[i]->IsChecked()) << i;
    // Nothing on the clipboard.
    EXPECT_FALSE(p->matchClipboard->IsEnabled());
    EXPECT_TRUE(p->supersampled->IsEnabled());
    EXPECT_FALSE(p->supersampled->IsChecked());
    EXPECT_FALSE(p->notForExport->IsChecked());
    EXPECT_TRUE(p->borrow->IsEnabled());
    EXPECT_FALSE(p->borrow->IsChecked());
    EXPECT_FALSE(p->fromLabel->IsEnabled());
    EXPECT_FALSE(p->images->IsEnabled());
    EXPECT_TRUE(p->ok->IsEnabled());

    // One item per image: the composite fitted into 64 x 64, the size and the depth.
    ASSERT_EQ(2, p->images->GetCount());
    EXPECT_EQ(nullptr, p->images->GetSelected());
    auto* first = static_cast<CSizeListItem*>(p->images->GetFirst());
    auto* second = static_cast<CSizeListItem*>(CThumbnailList::Next(first));
    EXPECT_EQ(small, first->object);
    EXPECT_STREQ("16x16 256 colors", first->text.text);
    ASSERT_NE(nullptr, first->picture);
    EXPECT_EQ(16, first->picture->width);
    EXPECT_EQ(16, first->picture->height);
    EXPECT_EQ(wide, second->object);
    EXPECT_STREQ("128x64 RGBA", second->text.text);
    ASSERT_NE(nullptr, second->picture);
    EXPECT_EQ(64, second->picture->width);
    EXPECT_EQ(32, second->picture->height);

    // While it is open it is not opened again.
    EXPECT_FALSE(NewImageDialog());
    EXPECT_EQ(p, GetNewImageParts());

    // A preset size disables the custom size.
    ClickBox(p->presets[PRESET_48]);
    EXPECT_TRUE(p->presets[PRESET_48]->IsChecked());
    EXPECT_FALSE(p->custom->IsChecked());
    EXPECT_FALSE(p->width->IsEnabled());
    EXPECT_FALSE(p->height->IsEnabled());
    EXPECT_FALSE(p->widthLabel->IsEnabled());
    ClickBox(p->custom);
    EXPECT_TRUE(p->width->IsEnabled());
    checked = true;
    BoxDriver::PostClick(p->cancel, 40, 12);
  });
  EXPECT_TRUE(checked);
  EXPECT_FALSE(created);
  EXPECT_EQ(2, project->GetImageCount());
}

TEST_F(NewImageDialogsTest, OkAddsTheImageAndWritesTheSettings) {
  EXPECT_TRUE(RunImage([](CWULAppWindow*) {
    const CNewImageParts* p = GetNewImageParts();
    ClickBox(p->presets[PRESET_48]);
    ClickBox(p->formats[FORMAT_4]);
    ClickBox(p->notForExport);
    BoxDriver::PostClick(p->ok, 40, 12);
  }));
  ASSERT_EQ(3, project->GetImageCount());
  CImage* image = project->GetCurrentImage();
  ASSERT_NE(nullptr, image);
  EXPECT_NE(small, image);
  EXPECT_EQ(nullptr, image->GetNext());
  EXPECT_EQ(48, image->GetWidth());
  EXPECT_EQ(48, image->GetHeight());
  EXPECT_EQ(CImage::FORMAT_4BIT_PALETTE, image->GetTargetFormat());
  EXPECT_FALSE(image->IsForExport());
  EXPECT_FALSE(image->GetFlagA());
  ASSERT_EQ(1, image->GetLayerCount());
  auto* layer = static_cast<CRasterLayer*>(image->GetFirstLayer());
  EXPECT_EQ(layer, image->GetActiveLayer());
  EXPECT_FALSE(layer->IsSupersampled());
  EXPECT_EQ(48, layer->GetWidth());
  EXPECT_EQ(48, g_LayerWorkingCopy.GetWidth());
  ExpectSettings(48, 48, 0x40001);

  // Typed custom sizes count, and Enter outside Cancel confirms.
  EXPECT_TRUE(RunImage([](CWULAppWindow* dialog) {
    const CNewImageParts* p = GetNewImageParts();
    EXPECT_EQ(48, p->width->GetValueRounded());
    EXPECT_TRUE(p->formats[FORMAT_4]->IsChecked());
    BoxDriver::Retype(p->width, "100");
    BoxDriver::Retype(p->height, "7");
    ClickBox(p->supersampled);
    p->formats[FORMAT_24]->SetFocus();
    BoxDriver::PostKey(dialog, VK_SPACE);
    BoxDriver::PostKey(dialog, VK_RETURN);
  }));
  image = project->GetCurrentImage();
  ASSERT_EQ(4, project->GetImageCount());
  EXPECT_EQ(100, image->GetWidth());
  EXPECT_EQ(7, image->GetHeight());
  EXPECT_EQ(CImage::FORMAT_24BIT_RGB, image->GetTargetFormat());
  EXPECT_TRUE(image->IsForExport());
  ASSERT_EQ(1, image->GetLayerCount());
  EXPECT_TRUE(static_cast<CRasterLayer*>(image->GetFirstLayer())->IsSupersampled());
  EXPECT_TRUE(g_LayerWorkingCopy.IsSupersampled());
  ExpectSettings(100, 7, 0x180000);
}

TEST_F(NewImageDialogsTest, CancelEscapeAndEnterOnCancelChangeNothing) {
  const auto changeEverything = [](const CNewImageParts* p) {
    ClickBox(p->presets[PRESET_256]);
    ClickBox(p->formats[FORMAT_1]);
    ClickBox(p->notForExport);
  };
  EXPECT_FALSE(RunImage([&](CWULAppWindow* dialog) {
    changeEverything(GetNewImageParts());
    BoxDriver::PostKey(dialog, VK_ESCAPE);
  }));
  EXPECT_FALSE(RunImage([&](CWULAppWindow* dialog) {
    const CNewImageParts* p = GetNewImageParts();
    changeEverything(p);
    p->cancel->SetFocus();
    BoxDriver::PostKey(dialog, VK_RETURN);
  }));
  EXPECT_FALSE(RunImage([&](CWULAppWindow*) {
    const CNewImageParts* p = GetNewImageParts();
    changeEverything(p);
    BoxDriver::PostClick(p->cancel, 40, 12);
  }));
  EXPECT_FALSE(RunProject([&](CWULAppWindow* dialog) {
    changeEverything(GetNewProjectParts());
    BoxDriver::PostKey(dialog, VK_ESCAPE);
  }));
  EXPECT_EQ(project, GetCurrentProject());
  EXPECT_EQ(2, project->GetImageCount());
  EXPECT_EQ(small, project->GetCurrentImage());
  EXPECT_FALSE(project->IsModified());
  ExpectSettings(40, 20, 0x80001);
}

TEST_F(NewImageDialogsTest, MatchingASupersampledClipboardPictureFitsItsEighthLevel) {
  PutBitmapOnClipboard(300, 200);
  // 300 x 200 would be over the limit; its eighth, 38 x 25, is not.
  g_Settings.limitsSupersamplingMaxPixelCount->SetValue(1000u);
  EXPECT_TRUE(RunImage([](CWULAppWindow*) {
    const CNewImageParts* p = GetNewImageParts();
    EXPECT_TRUE(p->matchClipboard->IsEnabled());
    ClickBox(p->matchClipboard);
    EXPECT_TRUE(p->matchClipboard->IsChecked());
    EXPECT_FALSE(p->width->IsEnabled());
    EXPECT_TRUE(p->supersampled->IsEnabled());
    ClickBox(p->supersampled);
    BoxDriver::PostClick(p->ok, 40, 12);
  }));
  CImage* image = project->GetCurrentImage();
  ASSERT_EQ(3, project->GetImageCount());
  EXPECT_EQ(38, image->GetWidth());
  EXPECT_EQ(25, image->GetHeight());
  ASSERT_EQ(1, image->GetLayerCount());
  auto* layer = static_cast<CRasterLayer*>(image->GetFirstLayer());
  ASSERT_TRUE(layer->IsSupersampled());
  // The clipboard picture fits the 8x level.
  EXPECT_EQ(304, layer->GetPixelArray()->width);
  EXPECT_EQ(200, layer->GetPixelArray()->height);
  ExpectSettings(38, 25, 0x80001);

  // Without supersampling the image takes the picture's size.
  g_Settings.limitsSupersamplingMaxPixelCount->SetValue(100000u);
  EXPECT_TRUE(RunImage([](CWULAppWindow*) {
    const CNewImageParts* p = GetNewImageParts();
    ClickBox(p->matchClipboard);
    BoxDriver::PostClick(p->ok, 40, 12);
  }));
  image = project->GetCurrentImage();
  EXPECT_EQ(300, image->GetWidth());
  EXPECT_EQ(200, image->GetHeight());
  EXPECT_FALSE(static_cast<CRasterLayer*>(image->GetFirstLayer())->IsSupersampled());
  ExpectSettings(300, 200, 0x80001);
}

TEST_F(NewImageDialogsTest, TheSizeLimitUnchecksSupersampledAndRestoresItsState) {
  g_Settings.limitsSupersamplingMaxPixelCount->SetValue(4096u);
  EXPECT_FALSE(RunImage([](CWULAppWindow*) {
    const CNewImageParts* p = GetNewImageParts();
    CWULCheckBox* box = p->supersampled;
    ClickBox(box);
    ASSERT_TRUE(box->IsChecked());
    ClickBox(p->presets[PRESET_128]);
    EXPECT_FALSE(box->IsChecked());
    EXPECT_FALSE(box->IsEnabled());
    EXPECT_FALSE(IsWindowEnabled(box->GetHandle()));
    ClickBox(p->presets[PRESET_256]);
    EXPECT_FALSE(box->IsEnabled());
    ClickBox(p->presets[PRESET_32]);
    EXPECT_TRUE(box->IsEnabled());
    EXPECT_TRUE(box->IsChecked());
    // 64 x 64 is exactly the limit.
    ClickBox(p->presets[PRESET_64]);
    EXPECT_TRUE(box->IsEnabled());
    // An unchecked box comes back unchecked.
    ClickBox(box);
    ClickBox(p->presets[PRESET_96]);
    EXPECT_FALSE(box->IsEnabled());
    ClickBox(p->presets[PRESET_16]);
    EXPECT_TRUE(box->IsEnabled());
    EXPECT_FALSE(box->IsChecked());
    // Typed sizes follow the same rule.
    ClickBox(box);
    ClickBox(p->custom);
    BoxDriver::Retype(p->width, "65");
    EXPECT_EQ(65, p->width->GetValueRounded());
    EXPECT_TRUE(box->IsEnabled());
    BoxDriver::Retype(p->height, "64");
    EXPECT_FALSE(box->IsEnabled());
    EXPECT_FALSE(box->IsChecked());
    BoxDriver::Retype(p->width, "64");
    EXPECT_TRUE(box->IsEnabled());
    EXPECT_TRUE(box->IsChecked());
    BoxDriver::PostClick(p->cancel, 40, 12);
  }));
}

TEST_F(NewImageDialogsTest, TheLimitAlreadyAppliesWhenTheDialogOpens) {
  g_Settings.imageWidth->SetValue(100u);
  g_Settings.imageHeight->SetValue(100u);
  g_Settings.limitsSupersamplingMaxPixelCount->SetValue(4096u);
  EXPECT_TRUE(RunImage([](CWULAppWindow*) {
    const CNewImageParts* p = GetNewImageParts();
    EXPECT_FALSE(p->supersampled->IsEnabled());
    BoxDriver::PostClick(p->ok, 40, 12);
  }));
  CImage* image = project->GetCurrentImage();
  EXPECT_EQ(100, image->GetWidth());
  EXPECT_FALSE(static_cast<CRasterLayer*>(image->GetFirstLayer())->IsSupersampled());
}

TEST_F(NewImageDialogsTest, BorrowingCopiesEveryLayerWithItsHiddenStateNameAndNumber) {
  // small: "Background" (1) red, a hidden "Secret" numbered 7 with a green left half and
  // an unnamed supersampled layer (8) with a blue left half at 8x; "Secret" is active.
  auto* background = static_cast<CRasterLayer*>(small->GetFirstLayer());
  background->GetPixels()->Fill(kRed);
  auto* secret = new CRasterLayer();
  secret->SetName("Secret");
  secret->SetLinkId(7);
  secret->SetVisible(false);
  secret->SetOpacity(0.5f);
  secret->SetBlendMode(CLayer::BLEND_REPLACE);
  small->AddLayer(secret);
  secret->GetPixels()->FillRect(Rect{0, 0, 8, 16}, kGreen);
  CRasterLayer* fine = AddLayer(small, "");
  fine->SetSupersampling(true);
  ASSERT_TRUE(fine->IsSupersampled());
  fine->GetSupersampleTop()->FillRect(Rect{0, 0, 64, 128}, kBlue);
  fine->Update(nullptr);
  small->SetActiveLayer(secret);
  small->UpdateAll();
  project->ClearModified();

  EXPECT_TRUE(RunImage([](CWULAppWindow*) {
    const CNewImageParts* p = GetNewImageParts();
    ClickBox(p->presets[PRESET_32]);
    ClickBox(p->borrow);
    BoxDriver::SendClick(p->images, 30, 10);
    EXPECT_EQ(p->images->GetFirst(), p->images->GetSelected());
    EXPECT_TRUE(p->ok->IsEnabled());
    BoxDriver::PostClick(p->ok, 40, 12);
  }));
  CImage* image = project->GetCurrentImage();
  ASSERT_EQ(3, project->GetImageCount());
  EXPECT_EQ(32, image->GetWidth());
  EXPECT_EQ(CImage::FORMAT_8BIT_PALETTE, image->GetTargetFormat());
  ASSERT_EQ(3, image->GetLayerCount());
  auto* bottom = static_cast<CRasterLayer*>(image->GetFirstLayer());
  auto* middle = static_cast<CRasterLayer*>(bottom->GetNext());
  auto* top = static_cast<CRasterLayer*>(middle->GetNext());
  EXPECT_STREQ("Background", bottom->GetName());
  EXPECT_EQ(1, bottom->GetLinkId());
  EXPECT_TRUE(bottom->IsVisible());
  EXPECT_FALSE(bottom->IsSupersampled());
  EXPECT_EQ(kRed, bottom->GetPixels()->GetPixel(31, 31));

  EXPECT_STREQ("Secret", middle->GetName());
  EXPECT_EQ(7, middle->GetLinkId());
  EXPECT_FALSE(middle->IsVisible());
  EXPECT_FLOAT_EQ(0.5f, middle->GetOpacity());
  EXPECT_EQ(CLayer::BLEND_REPLACE, middle->GetBlendMode());
  EXPECT_FALSE(middle->IsSupersampled());
  EXPECT_EQ(kGreen, middle->GetPixels()->GetPixel(15, 20));
  EXPECT_EQ(0u, middle->GetPixels()->GetPixel(16, 20));
  EXPECT_EQ(middle, image->GetActiveLayer());

  char name[32];
  top->GetDisplayName(name, sizeof name);
  EXPECT_STREQ("Layer 8", name);
  EXPECT_TRUE(top->IsVisible());
  ASSERT_TRUE(top->IsSupersampled());
  EXPECT_EQ(kBlue, top->GetSupersampleTop()->GetPixel(127, 255));
  EXPECT_EQ(0u, top->GetSupersampleTop()->GetPixel(128, 0));
  EXPECT_EQ(kBlue, top->GetPixels()->GetPixel(15, 3));
  EXPECT_EQ(0u, top->GetPixels()->GetPixel(16, 3));
  // The hidden layer stays out of the picture.
  EXPECT_EQ(kBlue, image->GetComposite()->GetPixel(2, 2));
  EXPECT_EQ(kRed, image->GetComposite()->GetPixel(20, 2));
  // The source is untouched.
  EXPECT_EQ(3, small->GetLayerCount());
  EXPECT_EQ(16, small->GetWidth());

  // With Supersampled checked every copy is supersampled; without an active layer in the
  // source the top one becomes active.
  small->SetActiveLayer(nullptr);
  EXPECT_TRUE(RunImage([](CWULAppWindow*) {
    const CNewImageParts* p = GetNewImageParts();
    ClickBox(p->presets[PRESET_16]);
    ClickBox(p->supersampled);
    ClickBox(p->borrow);
    BoxDriver::SendClick(p->images, 30, 10);
    BoxDriver::PostClick(p->ok, 40, 12);
  }));
  image = project->GetCurrentImage();
  ASSERT_EQ(3, image->GetLayerCount());
  for (CLayer* layer = image->GetFirstLayer(); layer; layer = layer->GetNext())
    EXPECT_TRUE(static_cast<CRasterLayer*>(layer)->IsSupersampled());
  EXPECT_EQ(image->GetLastLayer(), image->GetActiveLayer());
  EXPECT_EQ(kRed, static_cast<CRasterLayer*>(image->GetFirstLayer())->GetSupersampleTop()->GetPixel(127, 127));
}

TEST_F(NewImageDialogsTest, OkWaitsForAnImageWhileBorrowIsChecked) {
  EXPECT_FALSE(RunImage([](CWULAppWindow* dialog) {
    const CNewImageParts* p = GetNewImageParts();
    ClickBox(p->borrow);
    EXPECT_TRUE(p->borrow->IsChecked());
    EXPECT_TRUE(p->fromLabel->IsEnabled());
    EXPECT_TRUE(p->images->IsEnabled());
    EXPECT_FALSE(p->ok->IsEnabled());
    EXPECT_FALSE(IsWindowEnabled(p->ok->GetHandle()));
    // Enter does not get past the disabled OK.
    p->borrow->SetFocus();
    SendKey(dialog, VK_RETURN);
    ASSERT_EQ(p, GetNewImageParts());
    BoxDriver::SendClick(p->images, 30, 10);
    EXPECT_TRUE(p->ok->IsEnabled());
    ClickBox(p->borrow);
    EXPECT_FALSE(p->images->IsEnabled());
    EXPECT_TRUE(p->ok->IsEnabled());
    ClickBox(p->borrow);
    EXPECT_TRUE(p->ok->IsEnabled());
    BoxDriver::PostClick(p->cancel, 40, 12);
  }));
  EXPECT_EQ(2, project->GetImageCount());

  // A project without images has nothing to borrow from.
  SetCurrentProject(nullptr);
  CProject empty;
  SetCurrentProject(&empty);
  EXPECT_FALSE(RunImage([](CWULAppWindow*) {
    const CNewImageParts* p = GetNewImageParts();
    EXPECT_FALSE(p->borrow->IsEnabled());
    EXPECT_EQ(0, p->images->GetCount());
    BoxDriver::PostClick(p->cancel, 40, 12);
  }));
  SetCurrentProject(project);
}

TEST_F(NewImageDialogsTest, NewImageNeedsAProject) {
  SetCurrentProject(nullptr);
  bool result = true;
  BoxDriver::Run(kImageCaption, [](CWULAppWindow* dialog) { BoxDriver::PostKey(dialog, VK_ESCAPE); }, [&] {
    result = NewImageDialog();
    return 0;
  });
  EXPECT_FALSE(result);
  EXPECT_FALSE(BoxDriver::Ran());
  SetCurrentProject(project);
}

TEST_F(NewImageDialogsTest, NewProjectDiscardsAModifiedProjectWithoutAsking) {
  project->SetName("Old");
  project->SetModified();
  ASSERT_TRUE(project->IsModified());
  BoxWatcher question("The project is modified");
  EXPECT_TRUE(RunProject([](CWULAppWindow* dialog) {
    const CNewImageParts* p = GetNewProjectParts();
    ASSERT_NE(nullptr, p);
    EXPECT_TRUE(ClientSizeIs(dialog, 248, 316));
    EXPECT_EQ(nullptr, p->borrow);
    EXPECT_EQ(nullptr, p->images);
    EXPECT_EQ(GetFocus(), p->custom->GetHandle());
    EXPECT_TRUE(p->formats[FORMAT_8]->IsChecked());
    EXPECT_EQ(248 - 4, p->cancel->GetX() + p->cancel->GetWidth());
    ClickBox(p->presets[PRESET_24]);
    ClickBox(p->formats[FORMAT_32]);
    BoxDriver::PostClick(p->ok, 40, 12);
  }));
  EXPECT_EQ(0u, question.Count());
  CProject* made = GetCurrentProject();
  ASSERT_NE(nullptr, made);
  project = nullptr;  // deleted by the dialog
  EXPECT_STREQ("UNTITLED", made->GetName());
  EXPECT_FALSE(made->IsModified());
  ASSERT_EQ(1, made->GetImageCount());
  CImage* image = made->GetCurrentImage();
  ASSERT_NE(nullptr, image);
  EXPECT_EQ(24, image->GetWidth());
  EXPECT_EQ(24, image->GetHeight());
  EXPECT_EQ(CImage::FORMAT_32BIT_ARGB, image->GetTargetFormat());
  ASSERT_EQ(1, image->GetLayerCount());
  EXPECT_EQ(image->GetFirstLayer(), image->GetActiveLayer());
  EXPECT_EQ(24, g_LayerWorkingCopy.GetWidth());
  ExpectSettings(24, 24, 0x200000);

  // Without an open project one is simply made.
  SetCurrentProject(nullptr);
  ResyncWorkingCopies();
  delete made;
  EXPECT_TRUE(RunProject([](CWULAppWindow*) {
    const CNewImageParts* p = GetNewProjectParts();
    ClickBox(p->supersampled);
    BoxDriver::PostClick(p->ok, 40, 12);
  }));
  made = GetCurrentProject();
  ASSERT_NE(nullptr, made);
  ASSERT_EQ(1, made->GetImageCount());
  EXPECT_EQ(24, made->GetCurrentImage()->GetWidth());
  EXPECT_TRUE(static_cast<CRasterLayer*>(made->GetCurrentImage()->GetFirstLayer())->IsSupersampled());
  EXPECT_FALSE(made->IsModified());
}

TEST_F(NewImageDialogsTest, AFormatThatIsNotOfferedFallsBackToThirtyTwoBits) {
  g_Settings.imageTargetFormat->SetValue(0x123u);
  EXPECT_TRUE(RunImage([](CWULAppWindow*) {
    const CNewImageParts* p = GetNewImageParts();
    for (int i = 0; i < NEW_IMAGE_FORMAT_COUNT; ++i)
      EXPECT_EQ(i == FORMAT_32, p->formats[i]->IsChecked()) << i;
    BoxDriver::PostClick(p->ok, 40, 12);
  }));
  EXPECT_EQ(CImage::FORMAT_32BIT_ARGB, project->GetCurrentImage()->GetTargetFormat());
  ExpectSettings(40, 20, 0x200000);
}

TEST_F(NewImageDialogsTest, AClipboardEmptiedWhileOpenLeavesTheDialogOpen) {
  PutBitmapOnClipboard(20, 10);
  EXPECT_TRUE(RunImage([](CWULAppWindow*) {
    const CNewImageParts* p = GetNewImageParts();
    ClickBox(p->matchClipboard);
    EmptyTheClipboard();
    BoxDriver::SendClick(p->ok, 40, 12);
    ASSERT_EQ(p, GetNewImageParts());
    PutBitmapOnClipboard(20, 10);
    BoxDriver::PostClick(p->ok, 40, 12);
  }));
  EXPECT_EQ(3, project->GetImageCount());
  EXPECT_EQ(20, project->GetCurrentImage()->GetWidth());
  EXPECT_EQ(10, project->GetCurrentImage()->GetHeight());
}

TEST_F(NewImageDialogsTest, F1ShowsTheDialogsHelpTopics) {
  g_helpShown.clear();
  SetHtmlHelpProc(RecordHelp);
  EXPECT_FALSE(RunImage([](CWULAppWindow* dialog) {
    SendKey(dialog, VK_F1);
    BoxDriver::PostKey(dialog, VK_ESCAPE);
  }));
  EXPECT_FALSE(RunProject([](CWULAppWindow* dialog) {
    SendKey(dialog, VK_HELP);
    BoxDriver::PostKey(dialog, VK_ESCAPE);
  }));
  ASSERT_EQ(2u, g_helpShown.size());
  const std::string imageTopic = "::/ui.dialogs.newimage.html";
  const std::string projectTopic = "::/ui.dialogs.newproject.html";
  EXPECT_EQ(imageTopic, g_helpShown[0].substr(g_helpShown[0].size() - imageTopic.size()));
  EXPECT_EQ(projectTopic, g_helpShown[1].substr(g_helpShown[1].size() - projectTopic.size()));
}

// The menu commands open the dialogs over the main window.
class NewImageDialogsMenuTest : public testing::Test {
protected:
  static void SetUpTestSuite() { StartMainWindowSuite(); }
  static void TearDownTestSuite() { EndMainWindowSuite(); }
  void SetUp() override {
    PrepareMainWindow();
    EmptyTheClipboard();
    saved = g_Settings.imageTargetFormat->GetValue();
    g_Settings.imageTargetFormat->SetValue(0x200000u);
    CreateMainWindow();
    ASSERT_NE(nullptr, g_MainWindow);
    ASSERT_TRUE(PumpUntil([] { return g_MainWindow->GetHandle() && IsWindowVisible(g_MainWindow->GetHandle()); }));
    PumpLikeMainLoop();
  }
  void TearDown() override {
    DiscardMainWindow();
    if (GetCurrentProject())
      DropProject();
    g_Settings.imageTargetFormat->SetValue(saved);
  }
  uint32_t saved = 0;
};

TEST_F(NewImageDialogsMenuTest, FileNewAndImageNewRunTheDialogs) {
  HWND main = g_MainWindow->GetHandle();
  BoxDriver::Run(kProjectCaption, [](CWULAppWindow*) {
    const CNewImageParts* p = GetNewProjectParts();
    ClickBox(p->presets[PRESET_16]);
    BoxDriver::PostClick(p->ok, 40, 12);
  }, [&] { return static_cast<int>(SendMessageA(main, WM_COMMAND, CMD_FILE_NEW, 0)); });
  EXPECT_TRUE(BoxDriver::Ran());
  EXPECT_FALSE(BoxDriver::TimedOut());
  CProject* made = GetCurrentProject();
  ASSERT_NE(nullptr, made);
  ASSERT_EQ(1, made->GetImageCount());
  EXPECT_EQ(16, made->GetCurrentImage()->GetWidth());
  PumpLikeMainLoop();
  EXPECT_TRUE(FindMenuItem(CMD_IMAGE_NEW)->enabled != 0);

  BoxDriver::Run(kImageCaption, [](CWULAppWindow*) {
    const CNewImageParts* p = GetNewImageParts();
    EXPECT_EQ(1, p->images->GetCount());
    ClickBox(p->presets[PRESET_32]);
    BoxDriver::PostClick(p->ok, 40, 12);
  }, [&] { return static_cast<int>(SendMessageA(main, WM_COMMAND, CMD_IMAGE_NEW, 0)); });
  EXPECT_TRUE(BoxDriver::Ran());
  EXPECT_FALSE(BoxDriver::TimedOut());
  ASSERT_EQ(2, made->GetImageCount());
  EXPECT_EQ(32, made->GetCurrentImage()->GetWidth());
  EXPECT_EQ(made->GetCurrentImage(), made->GetFirstImage()->GetNext());
}

TEST_F(NewImageDialogsMenuTest, FileNewAsksBeforeAModifiedProjectIsReplaced) {
  HWND main = g_MainWindow->GetHandle();
  CProject* old = new CProject();
  SetCurrentProject(old);
  old->SetName("Old");
  old->SetModified();
  const auto fileNew = [&] { return static_cast<int>(SendMessageA(main, WM_COMMAND, CMD_FILE_NEW, 0)); };
  const auto escape = [](CWULAppWindow* dialog) { BoxDriver::PostKey(dialog, VK_ESCAPE); };
  {
    BoxWatcher cancel("The project is modified", 'C');
    BoxDriver::Run(kProjectCaption, escape, fileNew);
    EXPECT_FALSE(BoxDriver::Ran());
    ASSERT_EQ(1u, cancel.Count());
    EXPECT_EQ("Save the changes you made to Old?", cancel.Texts()[0]);
  }
  EXPECT_EQ(old, GetCurrentProject());
  EXPECT_TRUE(old->IsModified());
  {
    BoxWatcher no("The project is modified", 'N');
    BoxDriver::Run(kProjectCaption, escape, fileNew);
    EXPECT_TRUE(BoxDriver::Ran());
    EXPECT_EQ(1u, no.Count());
  }
  EXPECT_EQ(old, GetCurrentProject());
}

}  // namespace
