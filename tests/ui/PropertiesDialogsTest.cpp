#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "BoxDriver.h"
#include "document/Actions.h"
#include "document/History.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Project.h"
#include "shell/Settings.h"
#include "tools/CurrentImage.h"
#include "tools/ImageCommands.h"
#include "tools/WorkingCopies.h"
#include "ui/PropertiesDialogs.h"
#include "wul/WULEdit.h"
#include "wul/WULButton.h"

namespace {

const char* const kImageCaption = "Image properties";
const char* const kLayerCaption = "Layer properties";

class PropertiesDialogsTest : public testing::Test {
protected:
  void SetUp() override {
    WULInit(GetModuleHandleA(nullptr));
    if (!g_Settings.limitsSupersamplingMaxPixelCount)
      g_Settings.Init();
    savedLimit = g_Settings.limitsSupersamplingMaxPixelCount->GetValue();
    g_Settings.limitsSupersamplingMaxPixelCount->SetValue(1000000u);
    DropQueued();
    project = new CProject();
    image = new CImage();
    image->SetSize(64, 64);
    image->SetTargetFormat(CImage::FORMAT_8BIT_PALETTE);
    project->AddImage(image);
    layer = new CRasterLayer();
    image->AddLayer(layer);
    layer->SetName("Background");
    image->SetActiveLayer(layer);
    image->UpdateAll();
    project->SetCurrentImage(image);
    SetCurrentProject(project);
    ResyncWorkingCopies();
  }
  void TearDown() override {
    DropQueued();
    SetCurrentProject(nullptr);
    ResyncWorkingCopies();
    delete project;
    g_Settings.limitsSupersamplingMaxPixelCount->SetValue(savedLimit);
  }

  static void DropQueued() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message != WM_QUIT)
        DispatchMessageA(&message);
    }
  }

  // Runs the image dialog with action and returns what it gave (owned by the caller).
  CAction* RunImage(const BoxDriver::Action& action) {
    CAction* result = nullptr;
    BoxDriver::Run(kImageCaption, action, [&] {
      result = ImagePropertiesDialog(image);
      return 0;
    });
    EXPECT_TRUE(BoxDriver::Ran());
    EXPECT_FALSE(BoxDriver::TimedOut());
    EXPECT_EQ(GetImagePropertiesParts(), nullptr);
    return result;
  }
  CAction* RunLayer(const BoxDriver::Action& action) {
    CAction* result = nullptr;
    BoxDriver::Run(kLayerCaption, action, [&] {
      result = LayerPropertiesDialog(layer);
      return 0;
    });
    EXPECT_TRUE(BoxDriver::Ran());
    EXPECT_FALSE(BoxDriver::TimedOut());
    EXPECT_EQ(GetLayerPropertiesParts(), nullptr);
    return result;
  }

  CProject* project = nullptr;
  CImage* image = nullptr;
  CRasterLayer* layer = nullptr;
  uint32_t savedLimit = 0;
};

TEST_F(PropertiesDialogsTest, ImageDialogStartsFromTheImageAndOkGivesAnUndoableChange) {
  bool started = false;
  bool okDone = BoxDriver::Run(kImageCaption, [&](CWULAppWindow* dialog) {
    const CImagePropertiesParts* p = GetImagePropertiesParts();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->window, dialog);
    RECT client;
    GetClientRect(dialog->GetHandle(), &client);
    EXPECT_EQ(client.right - client.left, 248);
    EXPECT_EQ(client.bottom - client.top, 236);
    EXPECT_EQ(p->ok->GetWidth(), 80);
    EXPECT_EQ(p->ok->GetHeight(), 24);
    EXPECT_EQ(p->width->GetValueRounded(), 64);
    EXPECT_EQ(p->height->GetValueRounded(), 64);
    // The 8 bpp palette format is the one checked.
    for (int i = 0; i < 5; ++i)
      EXPECT_EQ(p->formats[i]->IsChecked(), i == 2) << i;
    EXPECT_FALSE(p->notForExport->IsChecked());
    EXPECT_EQ(GetFocus(), p->width->GetEditWindow());
    started = true;
    // A second dialog is refused while this one is open.
    EXPECT_EQ(ImagePropertiesDialog(image), nullptr);
    BoxDriver::Retype(p->width, "120");
    BoxDriver::Retype(p->height, "48");
    BoxDriver::PostClick(p->formats[0], 6, 8);
    BoxDriver::PostClick(p->notForExport, 6, 8);
    BoxDriver::PostClick(p->ok, 40, 12);
  }, [&] { return ImagePropertiesCommand() ? 1 : 0; }) == 1;
  EXPECT_TRUE(started);
  EXPECT_FALSE(BoxDriver::TimedOut());
  ASSERT_TRUE(okDone);
  EXPECT_EQ(image->GetWidth(), 120);
  EXPECT_EQ(image->GetHeight(), 48);
  EXPECT_EQ(image->GetTargetFormat(), CImage::FORMAT_32BIT_ARGB);
  EXPECT_FALSE(image->IsForExport());
  ASSERT_TRUE(image->GetHistory()->CanUndo());
  ASSERT_TRUE(image->GetHistory()->Undo());
  EXPECT_EQ(image->GetWidth(), 64);
  EXPECT_EQ(image->GetHeight(), 64);
  EXPECT_EQ(image->GetTargetFormat(), CImage::FORMAT_8BIT_PALETTE);
  EXPECT_TRUE(image->IsForExport());
  ASSERT_TRUE(image->GetHistory()->Redo());
  EXPECT_EQ(image->GetWidth(), 120);
  EXPECT_EQ(image->GetTargetFormat(), CImage::FORMAT_32BIT_ARGB);
}

TEST_F(PropertiesDialogsTest, SizeIsKeptBetweenOneAndTenThousand) {
  CAction* action = RunImage([](CWULAppWindow*) {
    const CImagePropertiesParts* p = GetImagePropertiesParts();
    BoxDriver::Retype(p->width, "10001");
    BoxDriver::Retype(p->height, "0");
    EXPECT_EQ(p->width->GetValueRounded(), 10000);
    EXPECT_EQ(p->height->GetValueRounded(), 1);
    BoxDriver::PostClick(p->ok, 40, 12);
  });
  ASSERT_NE(action, nullptr);
  ASSERT_TRUE(image->GetHistory()->Execute(action));
  EXPECT_EQ(image->GetWidth(), 10000);
  EXPECT_EQ(image->GetHeight(), 1);
}

TEST_F(PropertiesDialogsTest, CancelEscapeAndEnterOnCancelGiveNothing) {
  EXPECT_EQ(RunImage([](CWULAppWindow*) {
    BoxDriver::PostClick(GetImagePropertiesParts()->cancel, 40, 12);
  }), nullptr);
  EXPECT_EQ(RunImage([](CWULAppWindow* dialog) {
    BoxDriver::Retype(GetImagePropertiesParts()->width, "5");
    BoxDriver::PostKey(dialog, VK_ESCAPE);
  }), nullptr);
  EXPECT_EQ(RunImage([](CWULAppWindow* dialog) {
    GetImagePropertiesParts()->cancel->SetFocus();
    BoxDriver::PostKey(dialog, VK_RETURN);
  }), nullptr);
  EXPECT_EQ(RunLayer([](CWULAppWindow*) {
    BoxDriver::PostClick(GetLayerPropertiesParts()->cancel, 40, 12);
  }), nullptr);
  EXPECT_EQ(image->GetWidth(), 64);
  EXPECT_FALSE(image->GetHistory()->CanUndo());
  // Without an image or layer there is no dialog.
  EXPECT_EQ(ImagePropertiesDialog(nullptr), nullptr);
  EXPECT_EQ(LayerPropertiesDialog(nullptr), nullptr);
}

TEST_F(PropertiesDialogsTest, EnterElsewhereConfirms) {
  CAction* action = RunImage([](CWULAppWindow* dialog) {
    const CImagePropertiesParts* p = GetImagePropertiesParts();
    p->formats[4]->SetFocus();
    BoxDriver::PostKey(dialog, VK_SPACE);
    BoxDriver::PostKey(dialog, VK_RETURN);
  });
  ASSERT_NE(action, nullptr);
  ASSERT_TRUE(image->GetHistory()->Execute(action));
  EXPECT_EQ(image->GetTargetFormat(), CImage::FORMAT_1BIT_PALETTE);
  EXPECT_EQ(image->GetWidth(), 64);
}

TEST_F(PropertiesDialogsTest, LayerDialogEditsNameOpacityAndVisibility) {
  layer->SetOpacity(0.5f);
  bool ok = BoxDriver::Run(kLayerCaption, [&](CWULAppWindow* dialog) {
    const CLayerPropertiesParts* p = GetLayerPropertiesParts();
    ASSERT_NE(p, nullptr);
    RECT client;
    GetClientRect(dialog->GetHandle(), &client);
    EXPECT_EQ(client.right - client.left, 300);
    EXPECT_EQ(client.bottom - client.top, 110);
    EXPECT_STREQ(p->name->GetText(), "Background");
    EXPECT_EQ(GetFocus(), p->name->GetEditWindow());
    EXPECT_EQ(p->opacity->GetValueRounded(), 50);
    EXPECT_TRUE(p->visible->IsChecked());
    EXPECT_FALSE(p->supersampled->IsChecked());
    EXPECT_TRUE(p->supersampled->IsEnabled());
    BoxDriver::Retype(p->name, "Sky");
    BoxDriver::Retype(p->opacity, "37");
    BoxDriver::PostClick(p->visible, 6, 8);
    BoxDriver::PostClick(p->ok, 40, 12);
  }, [&] { return LayerPropertiesCommand() ? 1 : 0; }) == 1;
  EXPECT_FALSE(BoxDriver::TimedOut());
  ASSERT_TRUE(ok);
  EXPECT_STREQ(layer->GetName(), "Sky");
  EXPECT_FLOAT_EQ(layer->GetOpacity(), 0.37f);
  EXPECT_FALSE(layer->IsVisible());
  EXPECT_FALSE(layer->IsSupersampled());
  ASSERT_TRUE(image->GetHistory()->Undo());
  EXPECT_STREQ(layer->GetName(), "Background");
  EXPECT_FLOAT_EQ(layer->GetOpacity(), 0.5f);
  EXPECT_TRUE(layer->IsVisible());
  ASSERT_TRUE(image->GetHistory()->Redo());
  EXPECT_STREQ(layer->GetName(), "Sky");
  EXPECT_FLOAT_EQ(layer->GetOpacity(), 0.37f);
}

TEST_F(PropertiesDialogsTest, SupersamplingIsRefusedForTooLargeLayers) {
  g_Settings.limitsSupersamplingMaxPixelCount->SetValue(64u * 64u - 1u);
  CAction* action = RunLayer([](CWULAppWindow*) {
    const CLayerPropertiesParts* p = GetLayerPropertiesParts();
    EXPECT_FALSE(p->supersampled->IsEnabled());
    EXPECT_FALSE(IsWindowEnabled(p->supersampled->GetHandle()));
    BoxDriver::PostClick(p->supersampled, 6, 8);
    BoxDriver::PostClick(p->ok, 40, 12);
  });
  ASSERT_NE(action, nullptr);
  // Nothing changes, so the history takes nothing.
  ExecuteCommandAction(action);
  EXPECT_FALSE(layer->IsSupersampled());
  EXPECT_FALSE(image->GetHistory()->CanUndo());
  // At the limit it can be switched on, and a supersampled layer can always be switched off.
  g_Settings.limitsSupersamplingMaxPixelCount->SetValue(64u * 64u);
  action = RunLayer([](CWULAppWindow*) {
    const CLayerPropertiesParts* p = GetLayerPropertiesParts();
    EXPECT_TRUE(p->supersampled->IsEnabled());
    BoxDriver::PostClick(p->supersampled, 6, 8);
    BoxDriver::PostClick(p->ok, 40, 12);
  });
  ASSERT_NE(action, nullptr);
  ASSERT_TRUE(image->GetHistory()->Execute(action));
  EXPECT_TRUE(layer->IsSupersampled());
  g_Settings.limitsSupersamplingMaxPixelCount->SetValue(16u);
  action = RunLayer([](CWULAppWindow*) {
    const CLayerPropertiesParts* p = GetLayerPropertiesParts();
    EXPECT_TRUE(p->supersampled->IsEnabled());
    EXPECT_TRUE(p->supersampled->IsChecked());
    BoxDriver::PostClick(p->supersampled, 6, 8);
    BoxDriver::PostClick(p->ok, 40, 12);
  });
  ASSERT_NE(action, nullptr);
  ASSERT_TRUE(image->GetHistory()->Execute(action));
  EXPECT_FALSE(layer->IsSupersampled());
}

}  // namespace
