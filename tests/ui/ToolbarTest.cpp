#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "document/History.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Project.h"
#include "shell/Clipboard.h"
#include "shell/Settings.h"
#include "tools/CurrentImage.h"
#include "tools/EditCommands.h"
#include "tools/ImageCommands.h"
#include "tools/ToolManager.h"
#include "tools/WorkingCopies.h"
#include "ui/AppCursors.h"
#include "ui/MainToolbar.h"
#include "ui/MainView.h"
#include "ui/MainWindow.h"
#include "MainWindowHarness.h"
#include "ViewSettings.h"
#include "wul/WULAppWindow.h"
#include "wul/WULDropDown.h"
#include "wul/WULItemBar.h"
#include "wul/WULMenu.h"
#include "wul/WULShortcut.h"
#include "wul/WULSystem.h"
#include "wul/WindowTestKit.h"

namespace {

using namespace MainToolbar;

void MakeProject() {
  CProject* project = new CProject();
  project->SetName("Bar");
  CImage* image = new CImage();
  image->SetSize(16, 16);
  image->SetTargetFormat(CImage::FORMAT_32BIT_ARGB);
  project->AddImage(image);
  CRasterLayer* layer = new CRasterLayer();
  image->AddLayer(layer);
  image->SetActiveLayer(layer);
  image->UpdateAll();
  project->SetCurrentImage(image);
  project->ClearModified();
  SetCurrentProject(project);
  ResyncWorkingCopies();
}

bool Enabled(int which) { return GetButton(which)->IsEnabled(); }
bool Down(int which) { return GetButton(which)->IsChecked(); }

std::string ListText() {
  CWULDropDownItem* item = GetZoomList()->GetSelection();
  return item ? item->text.text : "<none>";
}

// A sum over the pixels of a rectangle of the bar's buffer.
uint64_t AreaSum(const RECT& rect) {
  CWULItemBar* bar = GetBar();
  uint64_t sum = 0;
  for (int y = rect.top; y < rect.bottom; ++y)
    for (int x = rect.left; x < rect.right; ++x)
      sum = sum * 31 + RGBAt(bar->buffer, x, y);
  return sum;
}

class ToolbarTest : public testing::Test {
protected:
  static void SetUpTestSuite() { StartMainWindowSuite(); }
  static void TearDownTestSuite() { EndMainWindowSuite(); }

  void SetUp() override {
    PrepareMainWindow();
  }

  void TearDown() override {
    DiscardMainWindow();
    if (GetCurrentProject())
      DropProject();
    MainView::SetChannelMode(MainView::CHANNELS_NORMAL);
  }

  void Open() {
    ASSERT_TRUE(OpenMainWindow());
    ASSERT_NE(nullptr, GetBar());
  }

  void ClickButton(int which) { ClickBarItem(GetButton(which), 12, 12); }

  // A key stroke posted to a window, with Ctrl held when asked.
  void Key(HWND target, int key, bool ctrl = false) {
    KeyStateScope keys;
    if (ctrl)
      keys.Press(VK_CONTROL);
    PostMessageA(target, WM_KEYDOWN, key, KeyParam(key, false));
    PostMessageA(target, WM_KEYUP, key, KeyParam(key, true));
    PumpLikeMainLoop();
  }
};


TEST_F(ToolbarTest, ButtonsListAndShortcutsAreLaidOutAlongTheTop) {
  Open();
  CWULItemBar* bar = GetBar();
  EXPECT_EQ(WUL_ALIGN_TOP, bar->GetAlignment());
  EXPECT_EQ(26, bar->GetClientHeight());
  EXPECT_EQ(0, bar->GetY());
  EXPECT_EQ(g_MainWindow->GetClientWidth(), bar->GetWidth());
  const char* tips[BUTTON_COUNT] = {"New file", "Open file", "Save file", "Cut", "Copy", "Paste", "Undo",
                                     "Redo", "Zoom In", "Zoom Out", "Normal View", "Color Only", "Alpha Only"};
  const int lefts[BUTTON_COUNT] = {1, 25, 49, 77, 101, 125, 153, 177, 205, 229, 339, 363, 387};
  const int keys[BUTTON_COUNT] = {'N', 'O', 'S', 'X', 'C', 'V', 'Z', 'Y', 187, 189, VK_F5, VK_F6, VK_F7};
  for (int i = 0; i < BUTTON_COUNT; ++i) {
    CWULStandardBarItem* button = GetButton(i);
    ASSERT_NE(nullptr, button) << i;
    EXPECT_STREQ(tips[i], button->GetText());
    EXPECT_EQ(lefts[i], button->GetX()) << tips[i];
    EXPECT_EQ(1, button->GetY());
    EXPECT_EQ(24, button->GetWidth());
    EXPECT_EQ(24, button->GetHeight());
    ASSERT_NE(nullptr, button->GetShortcut()) << tips[i];
    EXPECT_EQ(keys[i], button->GetShortcut()->keyValue) << tips[i];
    EXPECT_EQ(i < BUTTON_VIEW_NORMAL ? WUL_MOD_CTRL : 0, button->GetShortcut()->modifiers) << tips[i];
    EXPECT_NE(nullptr, button->GetImage(WUL_BAR_IMAGE_NORMAL)) << tips[i];
    EXPECT_EQ(i >= BUTTON_VIEW_NORMAL ? WUL_BEHAVIOUR_EXCLUSIVE : WUL_BEHAVIOUR_PUSH, button->GetBehaviour());
  }
  EXPECT_NE(nullptr, GetButton(BUTTON_NEW)->GetImage(WUL_BAR_IMAGE_DISABLED));

  // The zoom list sits one pixel after "Zoom Out"; the next button follows five pixels after it.
  CWULDropDown* list = GetZoomList();
  ASSERT_NE(nullptr, list);
  EXPECT_EQ(bar, list->parent);
  // The list does not take the keyboard from the main window's shortcuts.
  EXPECT_FALSE(list->IsTabStop());
  EXPECT_NE(list->GetHandle(), GetFocus());
  EXPECT_EQ(GetButton(BUTTON_ZOOM_OUT)->GetRight() + 1, list->GetX());
  EXPECT_EQ(list->GetRight() + 5, GetButton(BUTTON_VIEW_NORMAL)->GetX());
  const char* texts[] = {"100%", "200%", "400%", "800%", "1600%", "2400%", "3200%", "4800%", "6400%"};
  ASSERT_EQ(9, list->GetItemCount());
  int i = 0;
  for (CWULDropDownItem* item = list->GetFirstItem(); item; item = item->GetNext(), ++i) {
    EXPECT_STREQ(texts[i], item->text.text);
    EXPECT_EQ(i, item->value);
  }
}

TEST_F(ToolbarTest, WithoutProjectOnlyNewAndOpenWorkAndTheListIsEmpty) {
  Open();
  for (int i = 0; i < BUTTON_COUNT; ++i)
    EXPECT_EQ(i == BUTTON_NEW || i == BUTTON_OPEN, Enabled(i)) << GetButton(i)->GetText();
  CWULDropDown* list = GetZoomList();
  EXPECT_EQ(nullptr, list->GetSelection());
  EXPECT_FALSE(list->IsEnabled());
  EXPECT_TRUE(list->GetParentColor());

  // A disabled button paints differently from an enabled one.
  RECT save;
  GetButton(BUTTON_SAVE)->GetRect(&save);
  const uint64_t disabled = AreaSum(save);
  MakeProject();
  RefreshAll();
  EXPECT_TRUE(Enabled(BUTTON_SAVE));
  EXPECT_NE(disabled, AreaSum(save));
  EXPECT_TRUE(list->IsEnabled());
  EXPECT_FALSE(list->GetParentColor());
  EXPECT_EQ("100%", ListText());

  // Closing the project takes the states back.
  DropProject();
  RefreshAll();
  EXPECT_FALSE(Enabled(BUTTON_SAVE));
  EXPECT_FALSE(Enabled(BUTTON_ZOOM_IN));
  EXPECT_EQ(nullptr, list->GetSelection());
  EXPECT_EQ(disabled, AreaSum(save));
}

TEST_F(ToolbarTest, StatesFollowTheImageTheHistoryAndTheZoom) {
  MakeProject();
  Open();
  EXPECT_TRUE(Enabled(BUTTON_SAVE));
  EXPECT_TRUE(Enabled(BUTTON_ZOOM_IN));
  EXPECT_FALSE(Enabled(BUTTON_ZOOM_OUT));
  EXPECT_FALSE(Enabled(BUTTON_UNDO));
  EXPECT_FALSE(Enabled(BUTTON_REDO));
  EXPECT_EQ(CanCopy(), Enabled(BUTTON_COPY));
  EXPECT_EQ(CanCut(), Enabled(BUTTON_CUT));
  EXPECT_EQ(CanPaste(), Enabled(BUTTON_PASTE));
  EXPECT_TRUE(Enabled(BUTTON_VIEW_NORMAL));
  EXPECT_TRUE(Down(BUTTON_VIEW_NORMAL));
  EXPECT_FALSE(Down(BUTTON_VIEW_COLOR));

  // An undoable action enables Undo; undoing it enables Redo instead.
  ASSERT_TRUE(NewLayerCommand(false));
  EXPECT_TRUE(Enabled(BUTTON_UNDO));
  EXPECT_FALSE(Enabled(BUTTON_REDO));
  ClickButton(BUTTON_UNDO);
  EXPECT_EQ(1, GetCurrentImage()->GetLayerCount());
  EXPECT_FALSE(Enabled(BUTTON_UNDO));
  EXPECT_TRUE(Enabled(BUTTON_REDO));
  ClickButton(BUTTON_REDO);
  EXPECT_EQ(2, GetCurrentImage()->GetLayerCount());

  // Selecting all enables Copy and Cut.
  SendMessageA(g_MainWindow->GetHandle(), WM_COMMAND, CMD_EDIT_SELECT_ALL, 0);
  EXPECT_TRUE(Enabled(BUTTON_COPY));
  EXPECT_TRUE(Enabled(BUTTON_CUT));

  // Zoom In up to the last factor disables itself.
  for (int i = 0; i < 8; ++i)
    ClickButton(BUTTON_ZOOM_IN);
  EXPECT_EQ(8, MainView::GetZoomIndex());
  EXPECT_FALSE(Enabled(BUTTON_ZOOM_IN));
  EXPECT_TRUE(Enabled(BUTTON_ZOOM_OUT));
  EXPECT_EQ("6400%", ListText());
  ClickButton(BUTTON_ZOOM_OUT);
  EXPECT_EQ(7, MainView::GetZoomIndex());
  EXPECT_EQ("4800%", ListText());
}

TEST_F(ToolbarTest, ChoosingInTheListZoomsAndStaysInStepWithTheShortcut) {
  MakeProject();
  Open();
  CWULDropDown* list = GetZoomList();
  list->SetFocus();
  PumpLikeMainLoop();
  ASSERT_EQ(list->GetHandle(), GetFocus());
  // Three steps down from 100% choose 800%: zoom index 3.
  for (int i = 0; i < 3; ++i)
    Key(list->GetHandle(), VK_DOWN);
  EXPECT_EQ("800%", ListText());
  EXPECT_EQ(3, MainView::GetZoomIndex());
  EXPECT_TRUE(FindMenuItem(CMD_VIEW_ZOOM_IN)->enabled);
  EXPECT_TRUE(FindMenuItem(CMD_VIEW_ZOOM_OUT)->enabled);
  EXPECT_TRUE(Enabled(BUTTON_ZOOM_OUT));

  // Ctrl+= zooms in; the list follows with 1600%.
  Key(g_MainWindow->GetHandle(), 187, true);
  EXPECT_EQ(4, MainView::GetZoomIndex());
  EXPECT_EQ("1600%", ListText());
  // End picks the last factor; the menu's Zoom In follows.
  Key(list->GetHandle(), VK_END);
  EXPECT_EQ(8, MainView::GetZoomIndex());
  EXPECT_FALSE(FindMenuItem(CMD_VIEW_ZOOM_IN)->enabled);
  EXPECT_FALSE(Enabled(BUTTON_ZOOM_IN));
}

TEST_F(ToolbarTest, ViewButtonsFireTheirShortcutsAndShowTheChannelMode) {
  MakeProject();
  Open();
  ClickButton(BUTTON_VIEW_ALPHA);
  EXPECT_EQ(MainView::CHANNELS_ALPHA, MainView::GetChannelMode());
  EXPECT_TRUE(Down(BUTTON_VIEW_ALPHA));
  EXPECT_FALSE(Down(BUTTON_VIEW_NORMAL));
  EXPECT_TRUE(FindMenuItem(CMD_VIEW_ALPHA_ONLY)->checked);
  ClickButton(BUTTON_VIEW_COLOR);
  EXPECT_EQ(MainView::CHANNELS_COLOR, MainView::GetChannelMode());
  EXPECT_TRUE(Down(BUTTON_VIEW_COLOR));
  EXPECT_FALSE(Down(BUTTON_VIEW_ALPHA));
  // The F5 key comes back to the toolbar as the down state of "Normal View".
  Key(g_MainWindow->GetHandle(), VK_F5);
  EXPECT_EQ(MainView::CHANNELS_NORMAL, MainView::GetChannelMode());
  EXPECT_TRUE(Down(BUTTON_VIEW_NORMAL));
  EXPECT_FALSE(Down(BUTTON_VIEW_COLOR));

  // A disabled button does nothing: no image, no channel change.
  DropProject();
  RefreshAll();
  ClickButton(BUTTON_VIEW_ALPHA);
  EXPECT_EQ(MainView::CHANNELS_NORMAL, MainView::GetChannelMode());
}

TEST_F(ToolbarTest, AButtonWithoutShortcutDoesNothingAndNoBarMeansNoUpdate) {
  Open();
  CWULStandardBarItem* button = GetButton(BUTTON_OPEN);
  CWULShortcut* shortcut = button->GetShortcut();
  CWULShortcut::AddRef(shortcut);
  button->SetShortcut(nullptr);
  EXPECT_NO_THROW(OnButtonClick(button, button));
  button->SetShortcut(shortcut);
  CWULShortcut::Release(shortcut);
  g_MainWindow->closeRequestHandler = nullptr;
  delete g_MainWindow;
  EXPECT_EQ(nullptr, GetBar());
  EXPECT_EQ(nullptr, GetZoomList());
  EXPECT_EQ(nullptr, GetButton(BUTTON_NEW));
  EXPECT_NO_THROW(UpdateToolbarStates());
}

}  // namespace
