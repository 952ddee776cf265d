#include <gtest/gtest.h>
#include <windows.h>
#include <htmlhelp.h>
#include <functional>
#include <string>
#include <vector>
#include "BoxDriver.h"
#include "MainWindowHarness.h"
#include "TimerSteps.h"
#include "ViewSettings.h"
#include "shell/Help.h"
#include "shell/Settings.h"
#include "ui/MainWindow.h"
#include "ui/OptionsDialog.h"
#include "wul/WULAppWindow.h"
#include "wul/WULButton.h"
#include "wul/WULEdit.h"
#include "wul/WULListBox.h"
#include "wul/WULMenu.h"
#include "wul/WULPanel.h"
#include "wul/WindowTestKit.h"

namespace {

const char* const kCaption = "Options";

// Replaces the text of an edit by typing into its native edit.
void Retype(CWULProtoEdit* edit, const char* characters) {
  HWND target = edit->GetEditWindow();
  SendMessageA(target, EM_SETSEL, 0, -1);
  for (const char* p = characters; *p; p++)
    SendMessageA(target, WM_CHAR, static_cast<unsigned char>(*p), 1);
}

// A click in the middle of a row of the page list.
void ClickPage(const COptionsDialogParts* p, int page) {
  RECT row;
  p->pageList->GetItemRect(p->pageList->FindByIndex(page + 1), &row);
  BoxDriver::PostClick(p->pageList, (row.left + row.right) / 2, (row.top + row.bottom) / 2);
}

// The same, handled at once.
void SelectPage(const COptionsDialogParts* p, int page) {
  RECT row;
  p->pageList->GetItemRect(p->pageList->FindByIndex(page + 1), &row);
  const LPARAM point = MAKELPARAM((row.left + row.right) / 2, (row.top + row.bottom) / 2);
  SendMessageA(p->pageList->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, point);
  SendMessageA(p->pageList->GetHandle(), WM_LBUTTONUP, 0, point);
}

void Click(CWULInteractor* control) { BoxDriver::PostClick(control, control->GetWidth() / 2, control->GetHeight() / 2); }

// A key sent straight to a control; unconsumed keys bubble up to the dialog.
void SendKey(CWULInteractor* control, int key) {
  HWND target = control->GetHandle();
  if (auto* edit = dynamic_cast<CWULProtoEdit*>(control))
    target = edit->GetEditWindow() ? edit->GetEditWindow() : target;
  SendMessageA(target, WM_KEYDOWN, key, KeyParam(key, false));
  SendMessageA(target, WM_KEYUP, key, KeyParam(key, true));
}

int VisiblePage(const COptionsDialogParts* p) {
  int visible = -1;
  for (int i = 0; i < OPTIONS_PAGE_COUNT; ++i) {
    if (p->pages[i]->IsVisible() && IsWindowVisible(p->pages[i]->GetHandle())) {
      if (visible >= 0)
        return -2;  // more than one
      visible = i;
    }
  }
  return visible;
}

uint32_t Argb(const CColor& color) { return color.value; }

std::vector<std::string> g_helpFiles;
HWND WINAPI FakeHtmlHelp(HWND, LPCSTR file, UINT command, DWORD_PTR) {
  if (command == HH_DISPLAY_TOPIC)
    g_helpFiles.push_back(file ? file : "");
  // A window stands for the shown topic; nothing for the window type.
  return command == HH_DISPLAY_TOPIC ? GetDesktopWindow() : nullptr;
}

class OptionsDialogTest : public testing::Test {
protected:
  static void SetUpTestSuite() {
    StartFramework();
    EnsureViewSettings();
    // The program's defaults; the current values stay as they are.
    const RECT area = {0, 0, 1280, 1024};
    g_Settings.SetDefaults(area, "");
  }

  void SetUp() override {
    DropQueuedMessages();
    CSettings& s = g_Settings;
    saved.chequerA = s.uiColorsChequerA->GetValue();
    saved.chequerB = s.uiColorsChequerB->GetValue();
    saved.grid = s.uiColorsGridA->GetValue();
    saved.minDepth = s.limitsUndoMinDepth->GetValue();
    saved.maxDepth = s.limitsUndoMaxDepth->GetValue();
    saved.undoMemory = s.limitsUndoMemoryLimit->GetValue();
    saved.textMemory = s.limitsToolsTextMemoryLimit->GetValue();
    saved.supersampling = s.limitsSupersamplingMaxPixelCount->GetValue();
    saved.relaxed = s.projectFileRelaxedChecks->GetValue();
    saved.embed = s.projectFileEmbedThumbnails->GetValue();
    saved.thumbnail = s.projectFileMaxThumbnailSize->GetValue();
    // Known values that differ from the defaults.
    s.uiColorsChequerA->SetValue(CColor(0xFFF0F0F0u));
    s.uiColorsChequerB->SetValue(CColor(0xFFC0C0C0u));
    s.uiColorsGridA->SetValue(CColor(0xFFA0A0C8u));
    s.limitsUndoMinDepth->SetValue(5);
    s.limitsUndoMaxDepth->SetValue(50);
    s.limitsUndoMemoryLimit->SetValue(32);
    s.limitsToolsTextMemoryLimit->SetValue(40);
    s.limitsSupersamplingMaxPixelCount->SetValue(100000u);
    s.projectFileRelaxedChecks->SetValue(false);
    s.projectFileEmbedThumbnails->SetValue(true);
    s.projectFileMaxThumbnailSize->SetValue(256);
  }

  void TearDown() override {
    Steps::Stop();
    SetHtmlHelpProc(nullptr);
    DropQueuedMessages();
    CSettings& s = g_Settings;
    s.uiColorsChequerA->SetValue(saved.chequerA);
    s.uiColorsChequerB->SetValue(saved.chequerB);
    s.uiColorsGridA->SetValue(saved.grid);
    s.limitsUndoMinDepth->SetValue(saved.minDepth);
    s.limitsUndoMaxDepth->SetValue(saved.maxDepth);
    s.limitsUndoMemoryLimit->SetValue(saved.undoMemory);
    s.limitsToolsTextMemoryLimit->SetValue(saved.textMemory);
    s.limitsSupersamplingMaxPixelCount->SetValue(saved.supersampling);
    s.projectFileRelaxedChecks->SetValue(saved.relaxed);
    s.projectFileEmbedThumbnails->SetValue(saved.embed);
    s.projectFileMaxThumbnailSize->SetValue(saved.thumbnail);
  }

  // Opens the dialog and runs the action on it once it is shown.
  static void Run(const std::function<void(const COptionsDialogParts*)>& action) {
    BoxDriver::Run(
        kCaption,
        [&](CWULAppWindow* dialog) {
          const COptionsDialogParts* p = GetOptionsDialogParts();
          ASSERT_NE(p, nullptr);
          ASSERT_EQ(p->window, dialog);
          action(p);
        },
        [] {
          OptionsDialog();
          return 0;
        });
    EXPECT_TRUE(BoxDriver::Ran());
    EXPECT_FALSE(BoxDriver::TimedOut());
    EXPECT_EQ(GetOptionsDialogParts(), nullptr);
    EXPECT_FALSE(OptionsChangesPending());
  }

  struct Saved {
    CColor chequerA, chequerB, grid;
    int32_t minDepth, maxDepth, undoMemory;
    uint32_t textMemory, supersampling;
    bool relaxed, embed;
    int32_t thumbnail;
  } saved;
};

TEST_F(OptionsDialogTest, ShowsFivePagesBesideTheirControlsAndFourButtons) {
  const int last = GetOptionsLastPage();
  bool seen = false;
  Run([&](const COptionsDialogParts* p) {
    seen = true;
    EXPECT_STREQ(p->window->GetText(), "Options");
    EXPECT_EQ(p->window->GetClientWidth(), 400);
    EXPECT_EQ(p->window->GetClientHeight(), 300);
    ASSERT_EQ(p->pageList->GetCount(), OPTIONS_PAGE_COUNT);
    const char* names[] = {"Viewports", "Undo", "Memory", "Supersampling", "Project Files"};
    for (int i = 0; i < OPTIONS_PAGE_COUNT; ++i)
      EXPECT_STREQ(p->pageList->FindByIndex(i + 1)->GetText(), names[i]);
    // The page selected last time, the first one before any.
    const int expected = last < 0 ? 0 : last;
    ASSERT_NE(p->pageList->GetCurrentItem(), nullptr);
    EXPECT_EQ(p->pageList->GetCurrentItem()->GetIndex(), expected + 1);
    EXPECT_EQ(VisiblePage(p), expected);
    for (CWULPushButton* button : {p->ok, p->cancel, p->apply}) {
      EXPECT_EQ(button->GetWidth(), 80);
      EXPECT_EQ(button->GetHeight(), 24);
    }
    EXPECT_STREQ(p->ok->GetText(), "OK");
    EXPECT_STREQ(p->cancel->GetText(), "Cancel");
    EXPECT_STREQ(p->apply->GetText(), "Apply");
    EXPECT_STREQ(p->reset->GetText(), "Reset to defaults");
    EXPECT_EQ(p->reset->GetWidth(), 120);
    EXPECT_EQ(p->reset->GetHeight(), 24);
    // Nothing pending yet.
    EXPECT_FALSE(p->apply->IsEnabled());
    // The controls start from the settings.
    EXPECT_EQ(p->undoMinDepth->GetValueRounded(), 5);
    EXPECT_EQ(p->undoMaxDepth->GetValueRounded(), 50);
    EXPECT_EQ(p->undoMemoryLimit->GetValueRounded(), 32);
    EXPECT_EQ(p->textMemoryLimit->GetValueRounded(), 40);
    EXPECT_TRUE(p->embedThumbnails->IsChecked());
    EXPECT_FALSE(p->relaxedChecks->IsChecked());
    EXPECT_EQ(p->thumbnailSize->GetValueRounded(), 256);
    // A second request only brings this one forward.
    OptionsDialog();
    EXPECT_EQ(GetOptionsDialogParts(), p);
    BoxDriver::PostKey(p->window, VK_ESCAPE);
  });
  EXPECT_TRUE(seen);
}

TEST_F(OptionsDialogTest, CancelLeavesTheSettingAndReopeningShowsTheOldValue) {
  Run([](const COptionsDialogParts* p) {
    SelectPage(p, OPTIONS_PAGE_MEMORY);
    EXPECT_EQ(VisiblePage(p), OPTIONS_PAGE_MEMORY);
    p->textMemoryLimit->SetFocus();
    Retype(p->textMemoryLimit, "12");
    // Pressing Cancel takes the focus first, which commits the typed value.
    Click(p->cancel);
  });
  EXPECT_EQ(g_Settings.limitsToolsTextMemoryLimit->GetValue(), 40u);
  int shown = 0;
  Run([&](const COptionsDialogParts* p) {
    shown = p->textMemoryLimit->GetValueRounded();
    BoxDriver::PostKey(p->window, VK_ESCAPE);
  });
  EXPECT_EQ(shown, 40);
  EXPECT_EQ(g_Settings.limitsToolsTextMemoryLimit->GetValue(), 40u);
}

TEST_F(OptionsDialogTest, ResetOnTheUndoPageThenOkSetsTheDefaultUndoLimitsOnly) {
  g_Settings.limitsSupersamplingMaxPixelCount->SetValue(300000u);
  Run([](const COptionsDialogParts* p) {
    // A change on another page stays as it is.
    SelectPage(p, OPTIONS_PAGE_MEMORY);
    p->textMemoryLimit->SetFocus();
    Retype(p->textMemoryLimit, "20");
    SelectPage(p, OPTIONS_PAGE_UNDO);
    EXPECT_TRUE(p->apply->IsEnabled());
    SendMessageA(p->reset->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessageA(p->reset->GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_EQ(p->undoMinDepth->GetValueRounded(), 1);
    EXPECT_EQ(p->undoMaxDepth->GetValueRounded(), 100);
    EXPECT_EQ(p->undoMemoryLimit->GetValueRounded(), 16);
    EXPECT_EQ(p->textMemoryLimit->GetValueRounded(), 20);
    EXPECT_EQ(p->supersamplingLimit->GetValueRounded(), 300);
    // Nothing is applied before OK.
    EXPECT_EQ(g_Settings.limitsUndoMaxDepth->GetValue(), 50);
    Click(p->ok);
  });
  EXPECT_EQ(g_Settings.limitsUndoMinDepth->GetValue(), 1);
  EXPECT_EQ(g_Settings.limitsUndoMaxDepth->GetValue(), 100);
  EXPECT_EQ(g_Settings.limitsUndoMemoryLimit->GetValue(), 16);
  EXPECT_EQ(g_Settings.limitsToolsTextMemoryLimit->GetValue(), 20u);
  EXPECT_EQ(g_Settings.limitsSupersamplingMaxPixelCount->GetValue(), 300000u);
  EXPECT_FALSE(g_Settings.projectFileRelaxedChecks->GetValue());
  EXPECT_EQ(Argb(g_Settings.uiColorsChequerA->GetValue()), 0xFFF0F0F0u);
}

TEST_F(OptionsDialogTest, TheUndoMinimumAndMaximumPushEachOther) {
  g_Settings.limitsUndoMinDepth->SetValue(1);
  g_Settings.limitsUndoMaxDepth->SetValue(100);
  Run([](const COptionsDialogParts* p) {
    SelectPage(p, OPTIONS_PAGE_UNDO);
    p->undoMinDepth->SetFocus();
    Retype(p->undoMinDepth, "500");
    p->undoMaxDepth->SetFocus();
    EXPECT_EQ(p->undoMaxDepth->GetValueRounded(), 500);
    EXPECT_EQ(g_Settings.limitsUndoMaxDepth->remembered, 500);
    EXPECT_EQ(g_Settings.limitsUndoMinDepth->remembered, 500);
    // Lowering the maximum below the minimum takes the minimum down with it.
    Retype(p->undoMaxDepth, "20");
    p->undoMemoryLimit->SetFocus();
    EXPECT_EQ(p->undoMinDepth->GetValueRounded(), 20);
    EXPECT_EQ(g_Settings.limitsUndoMinDepth->remembered, 20);
    Click(p->ok);
  });
  EXPECT_EQ(g_Settings.limitsUndoMinDepth->GetValue(), 20);
  EXPECT_EQ(g_Settings.limitsUndoMaxDepth->GetValue(), 20);

  Run([](const COptionsDialogParts* p) {
    SelectPage(p, OPTIONS_PAGE_UNDO);
    p->undoMinDepth->SetFocus();
    Retype(p->undoMinDepth, "500");
    Click(p->ok);
  });
  EXPECT_EQ(g_Settings.limitsUndoMinDepth->GetValue(), 500);
  EXPECT_EQ(g_Settings.limitsUndoMaxDepth->GetValue(), 500);
}

TEST_F(OptionsDialogTest, SupersamplingIsShownInThousandsAndEnterConfirms) {
  int shown = 0;
  Run([&](const COptionsDialogParts* p) {
    SelectPage(p, OPTIONS_PAGE_SUPERSAMPLING);
    shown = p->supersamplingLimit->GetValueRounded();
    p->supersamplingLimit->SetFocus();
    Retype(p->supersamplingLimit, "250");
    // Enter commits the number and, with the focus on neither Apply nor Cancel, is OK.
    BoxDriver::PostKey(p->window, VK_RETURN);
  });
  EXPECT_EQ(shown, 100);
  EXPECT_EQ(g_Settings.limitsSupersamplingMaxPixelCount->GetValue(), 250000u);

  // Rounded to the nearest thousand.
  g_Settings.limitsSupersamplingMaxPixelCount->SetValue(1499u);
  Run([&](const COptionsDialogParts* p) {
    shown = p->supersamplingLimit->GetValueRounded();
    BoxDriver::PostKey(p->window, VK_ESCAPE);
  });
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(g_Settings.limitsSupersamplingMaxPixelCount->GetValue(), 1499u);
}

TEST_F(OptionsDialogTest, ApplyIsEnabledWhileChangesArePendingAndCopiesThem) {
  Run([](const COptionsDialogParts* p) {
    SelectPage(p, OPTIONS_PAGE_PROJECT_FILES);
    EXPECT_FALSE(p->apply->IsEnabled());
    EXPECT_FALSE(OptionsChangesPending());
    p->relaxedChecks->PerformClick();
    EXPECT_TRUE(p->relaxedChecks->IsChecked());
    EXPECT_TRUE(p->apply->IsEnabled());
    EXPECT_TRUE(OptionsChangesPending());
    EXPECT_FALSE(g_Settings.projectFileRelaxedChecks->GetValue());
    p->apply->PerformClick();
    EXPECT_TRUE(g_Settings.projectFileRelaxedChecks->GetValue());
    EXPECT_FALSE(p->apply->IsEnabled());
    // Enter on the focused Apply applies again and leaves the dialog open.
    p->thumbnailSize->SetFocus();
    Retype(p->thumbnailSize, "64");
    // Typing alone makes Apply available; taking the focus to it commits the number.
    EXPECT_TRUE(p->apply->IsEnabled());
    p->apply->SetFocus();
    EXPECT_EQ(g_Settings.projectFileMaxThumbnailSize->remembered, 64);
    SendKey(p->apply, VK_RETURN);
    EXPECT_EQ(g_Settings.projectFileMaxThumbnailSize->GetValue(), 64);
    EXPECT_FALSE(p->apply->IsEnabled());
    EXPECT_NE(GetOptionsDialogParts(), nullptr);
    // The disabled Apply hands the focus to OK.
    EXPECT_TRUE(p->ok->HasFocus());
    // A change after Apply and Enter on the focused Cancel: only the applied ones stay.
    p->embedThumbnails->PerformClick();
    p->cancel->SetFocus();
    SendKey(p->cancel, VK_RETURN);
  });
  EXPECT_TRUE(g_Settings.projectFileRelaxedChecks->GetValue());
  EXPECT_EQ(g_Settings.projectFileMaxThumbnailSize->GetValue(), 64);
  EXPECT_TRUE(g_Settings.projectFileEmbedThumbnails->GetValue());
}

TEST_F(OptionsDialogTest, TheLastSelectedPageIsSelectedOnTheNextOpening) {
  Run([](const COptionsDialogParts* p) {
    SelectPage(p, OPTIONS_PAGE_VIEWPORTS);
    EXPECT_EQ(VisiblePage(p), OPTIONS_PAGE_VIEWPORTS);
    ClickPage(p, OPTIONS_PAGE_SUPERSAMPLING);
    BoxDriver::PostKey(p->window, VK_ESCAPE);
  });
  EXPECT_EQ(GetOptionsLastPage(), OPTIONS_PAGE_SUPERSAMPLING);
  int current = -1, visible = -1;
  Run([&](const COptionsDialogParts* p) {
    current = p->pageList->GetCurrentItem() ? p->pageList->GetCurrentItem()->GetIndex() - 1 : -1;
    visible = VisiblePage(p);
    SelectPage(p, OPTIONS_PAGE_UNDO);
    EXPECT_EQ(VisiblePage(p), OPTIONS_PAGE_UNDO);
    EXPECT_FALSE(p->pages[OPTIONS_PAGE_SUPERSAMPLING]->IsVisible());
    BoxDriver::PostKey(p->window, VK_ESCAPE);
  });
  EXPECT_EQ(current, OPTIONS_PAGE_SUPERSAMPLING);
  EXPECT_EQ(visible, OPTIONS_PAGE_SUPERSAMPLING);
  EXPECT_EQ(GetOptionsLastPage(), OPTIONS_PAGE_UNDO);
}

TEST_F(OptionsDialogTest, EmbedThumbnailsEnablesTheThumbnailSize) {
  g_Settings.projectFileEmbedThumbnails->SetValue(false);
  Run([](const COptionsDialogParts* p) {
    SelectPage(p, OPTIONS_PAGE_PROJECT_FILES);
    EXPECT_FALSE(p->embedThumbnails->IsChecked());
    EXPECT_FALSE(p->thumbnailSize->IsEnabled());
    SendMessageA(p->embedThumbnails->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(6, 8));
    SendMessageA(p->embedThumbnails->GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(6, 8));
    EXPECT_TRUE(p->embedThumbnails->IsChecked());
    EXPECT_TRUE(p->thumbnailSize->IsEnabled());
    EXPECT_TRUE(g_Settings.projectFileEmbedThumbnails->remembered);
    p->embedThumbnails->PerformClick();
    EXPECT_FALSE(p->thumbnailSize->IsEnabled());
    p->embedThumbnails->PerformClick();
    EXPECT_TRUE(p->thumbnailSize->IsEnabled());
    Click(p->ok);
  });
  EXPECT_TRUE(g_Settings.projectFileEmbedThumbnails->GetValue());
}

TEST_F(OptionsDialogTest, ASwatchIsEditedThroughTheColourPicker) {
  std::string hexShown;
  uint32_t swatchPixel = 0;
  bool applyAfterPick = false;
  uint32_t valueWhilePending = 0;
  BoxDriver::Run(
      kCaption,
      [&](CWULAppWindow*) {
        const COptionsDialogParts* p = GetOptionsDialogParts();
        ASSERT_NE(p, nullptr);
        SelectPage(p, OPTIONS_PAGE_VIEWPORTS);
        Steps::Start({
            [p] {
              BoxDriver::PostClick(p->chequerA, 10, 10);
              return true;
            },
            [&] {
              auto* picker = dynamic_cast<CWULAppWindow*>(BoxDriver::InteractorOf(BoxDriver::Find("Color")));
              if (!picker)
                return false;
              CWULEdit* hex = nullptr;
              CWULButton* ok = nullptr;
              for (CWULInteractor* child = picker->firstChild; child; child = child->nextSibling) {
                if (auto* edit = dynamic_cast<CWULEdit*>(child))
                  hex = edit;
                else if (auto* button = dynamic_cast<CWULButton*>(child))
                  if (std::string(button->GetText()) == "OK")
                    ok = button;
              }
              if (!hex || !ok) {
                PostMessageA(picker->GetHandle(), WM_CLOSE, 0, 0);
                return true;
              }
              hexShown = hex->GetText();
              Retype(hex, "00FF00");
              Click(ok);
              return true;
            },
            [&, p] {
              if (BoxDriver::Find("Color") || !OptionsChangesPending())
                return false;
              GdiFlush();
              swatchPixel = p->chequerA->GetImage()->GetPixel(10, 10) & 0xFFFFFFu;
              applyAfterPick = p->apply->IsEnabled();
              valueWhilePending = Argb(g_Settings.uiColorsChequerA->GetValue());
              Click(p->ok);
              return true;
            },
        });
      },
      [] {
        OptionsDialog();
        return 0;
      });
  EXPECT_FALSE(BoxDriver::TimedOut());
  EXPECT_EQ(Steps::Done(), 3u);
  EXPECT_EQ(hexShown, "F0F0F0");
  EXPECT_EQ(swatchPixel, 0x00FF00u);
  EXPECT_TRUE(applyAfterPick);
  EXPECT_EQ(valueWhilePending, 0xFFF0F0F0u);
  EXPECT_EQ(Argb(g_Settings.uiColorsChequerA->GetValue()), 0xFF00FF00u);
  EXPECT_EQ(Argb(g_Settings.uiColorsChequerB->GetValue()), 0xFFC0C0C0u);
}

TEST_F(OptionsDialogTest, F1AndTheHelpKeyOpenTheOptionsTopic) {
  g_helpFiles.clear();
  SetHtmlHelpProc(FakeHtmlHelp);
  Run([](const COptionsDialogParts* p) {
    SendKey(p->pageList, VK_F1);
    SendKey(p->pageList, 47);
    BoxDriver::PostKey(p->window, VK_ESCAPE);
  });
  ASSERT_EQ(g_helpFiles.size(), 2u);
  for (const std::string& file : g_helpFiles) {
    const std::string tail = ".chm::/options.html";
    ASSERT_GE(file.size(), tail.size());
    EXPECT_EQ(file.substr(file.size() - tail.size()), tail);
  }
}

class OptionsFromMainWindowTest : public testing::Test {
protected:
  static void SetUpTestSuite() { StartMainWindowSuite(); }
  static void TearDownTestSuite() { EndMainWindowSuite(); }
  void SetUp() override { PrepareMainWindow(); }
  void TearDown() override { DiscardMainWindow(); }
};

TEST_F(OptionsFromMainWindowTest, TheToolsMenuOpensTheDialogOverTheMainWindow) {
  CreateMainWindow();
  ASSERT_NE(g_MainWindow, nullptr);
  ASSERT_TRUE(PumpUntil([] { return g_MainWindow->GetHandle() && IsWindowVisible(g_MainWindow->GetHandle()); }));
  PumpLikeMainLoop();
  HWND owner = nullptr;
  bool mainDisabled = false;
  BoxDriver::Run(
      kCaption,
      [&](CWULAppWindow* dialog) {
        owner = GetWindow(dialog->GetHandle(), GW_OWNER);
        mainDisabled = !IsWindowEnabled(g_MainWindow->GetHandle());
        BoxDriver::PostKey(dialog, VK_ESCAPE);
      },
      [] {
        OnMenuCommand(g_MainMenu, FindMenuItem(CMD_TOOLS_OPTIONS));
        return 0;
      });
  EXPECT_TRUE(BoxDriver::Ran());
  EXPECT_FALSE(BoxDriver::TimedOut());
  EXPECT_EQ(owner, g_MainWindow->GetHandle());
  EXPECT_TRUE(mainDisabled);
  EXPECT_TRUE(IsWindowEnabled(g_MainWindow->GetHandle()));
}

}  // namespace
