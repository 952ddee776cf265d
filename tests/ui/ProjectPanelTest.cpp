#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>
#include "BoxDriver.h"
#include "common/BoxWatcher.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Project.h"
#include "shell/PluginLoader.h"
#include "shell/ProjectCommands.h"
#include "shell/Settings.h"
#include "shell/TextRoutines.h"
#include "sys/ZR.h"
#include "tools/CurrentImage.h"
#include "tools/ImageCommands.h"
#include "tools/WorkingCopies.h"
#include "ui/FoldingPanel.h"
#include "ui/MainView.h"
#include "ui/MainWindow.h"
#include "ui/ProjectPanel.h"
#include "ui/ThumbnailList.h"
#include "MainWindowHarness.h"
#include "wul/WULItemBar.h"
#include "wul/WULMenu.h"
#include "wul/WULPageControl.h"
#include "wul/WULPanel.h"
#include "wul/WULShortcut.h"
#include "wul/WindowTestKit.h"

namespace {

using namespace ProjectPanel;

const char kDeleteCaption[] = "Irreversible operation";

// A current project of images of the given sizes, each with one opaque raster layer; the
// first one is current.
CProject* MakeProject(const std::vector<std::pair<int, int>>& sizes) {
  CProject* project = new CProject();
  project->SetName("Icons");
  for (const auto& size : sizes) {
    CImage* image = new CImage();
    image->SetSize(size.first, size.second);
    image->SetTargetFormat(CImage::FORMAT_32BIT_ARGB);
    project->AddImage(image);
    CRasterLayer* layer = new CRasterLayer();
    image->AddLayer(layer);
    image->SetActiveLayer(layer);
    layer->GetPixelArray()->Fill(0xFF3060C0u);
    image->UpdateAll();
  }
  project->SetCurrentImage(project->GetFirstImage());
  project->ClearModified();
  SetCurrentProject(project);
  ResyncWorkingCopies();
  return project;
}

CImage* ImageAt(CProject* project, int index) {
  CImage* image = project->GetFirstImage();
  while (image && index-- > 0)
    image = image->GetNext();
  return image;
}

std::vector<CImage*> ProjectOrder() {
  std::vector<CImage*> images;
  for (CImage* image = GetCurrentProject()->GetFirstImage(); image; image = image->GetNext())
    images.push_back(image);
  return images;
}

std::vector<CImage*> ListOrder() {
  std::vector<CImage*> images;
  for (CThumbnailItem* item = GetList()->GetFirst(); item; item = CThumbnailList::Next(item))
    images.push_back(static_cast<CImageListItem*>(item)->GetImage());
  return images;
}

CImageListItem* ItemOf(CImage* image) {
  for (CThumbnailItem* item = GetList()->GetFirst(); item; item = CThumbnailList::Next(item)) {
    if (static_cast<CImageListItem*>(item)->GetImage() == image)
      return static_cast<CImageListItem*>(item);
  }
  return nullptr;
}

CImage* SelectedImage() {
  CThumbnailItem* item = GetList()->GetSelected();
  return item ? static_cast<CImageListItem*>(item)->GetImage() : nullptr;
}

std::string InfoText() { return GetInfoLabel()->GetText(); }

bool Enabled(int which) { return GetButton(which)->IsEnabled(); }

std::string Size(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

class ProjectPanelTest : public testing::Test {
protected:
  static void SetUpTestSuite() { StartMainWindowSuite(); }
  static void TearDownTestSuite() { EndMainWindowSuite(); }

  void SetUp() override {
    PrepareMainWindow();
    g_Settings.panelsProjectBodyFolded->SetValue(false);
    g_Settings.panelsProjectBodyClientHeight->SetValue(160);
  }

  void TearDown() override {
    DiscardMainWindow();
    if (GetCurrentProject())
      DropProject();
    MainView::SetChannelMode(MainView::CHANNELS_NORMAL);
  }

  void Open() {
    ASSERT_TRUE(OpenMainWindow());
    ASSERT_NE(nullptr, g_ProjectPanel);
    ASSERT_NE(nullptr, GetList());
  }

  // Opens the window and lists the current project in the panel.
  void OpenListed() {
    Open();
    ASSERT_TRUE(Rebuild());
    PumpLikeMainLoop();
  }

  // A left click (or double click) in the middle of an image's item.
  void ClickItem(CImage* image, bool twice = false) {
    CImageListItem* item = ItemOf(image);
    ASSERT_NE(nullptr, item);
    CThumbnailList* list = GetList();
    const int cx = item->x + item->width / 2;
    const int cy = item->y + item->height / 2 - list->GetScrollY();
    wulSendMessage(list->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(cx, cy));
    wulSendMessage(list->GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(cx, cy));
    if (twice)
      wulSendMessage(list->GetHandle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(cx, cy));
    PumpLikeMainLoop();
  }

  void ClickButton(int which) { ClickBarItem(GetButton(which)); }

  // Deletes the current image through the Delete button, answering the question with Yes.
  void DeleteThroughButton() {
    BoxWatcher watcher(kDeleteCaption, 'y');
    ClickButton(BUTTON_DELETE);
    PumpLikeMainLoop();
    EXPECT_EQ(1u, watcher.Count());
  }

  void ExpectListFollowsProject() {
    EXPECT_EQ(ProjectOrder(), ListOrder());
    EXPECT_EQ(GetCurrentImage(), SelectedImage());
  }
};

TEST_F(ProjectPanelTest, IsBuiltWithItsPagesButtonsListAndMenu) {
  Open();
  EXPECT_STREQ("Project", g_ProjectPanel->GetText());
  EXPECT_EQ(80, g_ProjectPanel->GetMinClientHeight());
  EXPECT_FALSE(g_ProjectPanel->IsFolded());
  // The stored height, unless the dock had to shrink the panels to fit the window.
  EXPECT_LE(g_ProjectPanel->GetClientHeight(), 160);
  EXPECT_GE(g_ProjectPanel->GetClientHeight(), 80);

  CWULPageControl* pages = GetPages();
  ASSERT_NE(nullptr, pages);
  EXPECT_EQ(2, pages->GetFrameStyle());
  EXPECT_EQ(4, pages->GetFirstTabOffset());
  EXPECT_EQ(15, pages->GetTabHeight());
  EXPECT_EQ(1, pages->GetTabInset());
  ASSERT_EQ(2, pages->GetItemCount());
  EXPECT_STREQ("Images", pages->FindById(PAGE_IMAGES)->GetText());
  EXPECT_STREQ("Info", pages->FindById(PAGE_INFO)->GetText());
  EXPECT_EQ(pages->FindById(PAGE_IMAGES), pages->GetCurrentItem());
  EXPECT_EQ(pages->GetWidth(), g_ProjectPanel->GetClientContainer()->GetClientWidth());

  const char* tips[BUTTON_COUNT] = {"New image", "Delete image", "Image properties", "Move image up",
                                     "Move image down"};
  for (int i = 0; i < BUTTON_COUNT; ++i) {
    CWULStandardBarItem* button = GetButton(i);
    ASSERT_NE(nullptr, button);
    EXPECT_STREQ(tips[i], button->GetText());
    EXPECT_EQ(1 + 18 * i, button->GetX()) << tips[i];
    EXPECT_EQ(1, button->GetY());
    EXPECT_EQ(18, button->GetWidth());
    EXPECT_EQ(18, button->GetHeight());
    EXPECT_NE(nullptr, button->GetImage(WUL_BAR_IMAGE_NORMAL)) << tips[i];
    EXPECT_NE(nullptr, button->GetImage(WUL_BAR_IMAGE_DISABLED)) << tips[i];
  }
  // Only New shows its shortcut.
  ASSERT_NE(nullptr, GetButton(BUTTON_NEW)->GetShortcut());
  char keys[64];
  GetButton(BUTTON_NEW)->GetShortcut()->GetText(keys, sizeof keys);
  EXPECT_STREQ("Ctrl+Shift+N", keys);
  EXPECT_EQ(nullptr, GetButton(BUTTON_DELETE)->GetShortcut());
  // The moves' disabled pictures are grey copies of their own.
  CWULImage* up = GetButton(BUTTON_MOVE_UP)->GetImage(WUL_BAR_IMAGE_NORMAL);
  CWULImage* upGrey = GetButton(BUTTON_MOVE_UP)->GetImage(WUL_BAR_IMAGE_DISABLED);
  ASSERT_EQ(up->width, upGrey->width);
  bool coloured = false, grey = true, sameAlpha = true;
  for (int i = 0; i < up->width * up->height; ++i) {
    const uint32_t p = upGrey->pixels[i];
    grey = grey && (p & 0xFF) == ((p >> 8) & 0xFF) && (p & 0xFF) == ((p >> 16) & 0xFF);
    sameAlpha = sameAlpha && (up->pixels[i] >> 24) == (p >> 24);
    coloured = coloured || ((up->pixels[i] & 0xFF) != ((up->pixels[i] >> 16) & 0xFF));
  }
  EXPECT_TRUE(coloured);
  EXPECT_TRUE(grey);
  EXPECT_TRUE(sameAlpha);

  CWULItemBar* bar = static_cast<CWULItemBar*>(GetButton(BUTTON_NEW)->GetBar());
  EXPECT_EQ(20, bar->GetClientHeight());
  EXPECT_EQ(0, bar->GetY());
  CThumbnailList* list = GetList();
  EXPECT_EQ(1, list->GetMargin());
  EXPECT_EQ(1, list->GetSpacing());
  EXPECT_EQ(8, list->GetLineStepY());
  EXPECT_EQ(2, list->GetBorderStyle());
  EXPECT_FALSE(list->IsTabStop());
  EXPECT_EQ(bar->GetHeight(), list->GetY());
  EXPECT_GT(list->GetHeight(), 40);

  CWULLabel* label = GetInfoLabel();
  ASSERT_NE(nullptr, label);
  EXPECT_EQ(4, label->GetX());
  EXPECT_EQ(4, label->GetY());
  EXPECT_EQ(pages->FindById(PAGE_INFO)->GetInteractor(), label->parent);
  EXPECT_EQ(pages->FindById(PAGE_INFO)->GetInteractor()->GetClientWidth() - 4, label->GetWidth());

  CWULMenu* menu = GetContextMenu();
  ASSERT_NE(nullptr, menu);
  CWULMenuItem* first = menu->GetFirstItem();
  ASSERT_NE(nullptr, first);
  EXPECT_STREQ("Dele&te", first->GetText());
  EXPECT_FALSE(first->IsBold());
  CWULMenuItem* second = static_cast<CWULMenuItem*>(first->next);
  ASSERT_NE(nullptr, second);
  EXPECT_STREQ("&Properties...", second->GetText());
  EXPECT_TRUE(second->IsBold());
  EXPECT_EQ(second, menu->GetLastItem());
}

// Whether the button's area of the bar shows a clearly coloured (not grey) pixel.
bool ShowsColour(int which) {
  CWULStandardBarItem* button = GetButton(which);
  CWULItemBar* bar = static_cast<CWULItemBar*>(button->GetBar());
  for (int y = button->GetY(); y < button->GetY() + button->GetHeight(); ++y) {
    for (int x = button->GetX(); x < button->GetX() + button->GetWidth(); ++x) {
      const uint32_t rgb = RGBAt(bar->buffer, x, y);
      const int r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
      if (std::max(r, std::max(g, b)) - std::min(r, std::min(g, b)) > 60)
        return true;
    }
  }
  return false;
}

TEST_F(ProjectPanelTest, DisabledButtonsShowTheirDisabledPictures) {
  Open();
  GetButton(BUTTON_NEW)->GetBar()->RepaintAll();
  EXPECT_FALSE(ShowsColour(BUTTON_NEW));
  MakeProject({{16, 16}});
  UpdateCommandStates();
  ASSERT_TRUE(Enabled(BUTTON_NEW));
  EXPECT_TRUE(ShowsColour(BUTTON_NEW));
}

TEST_F(ProjectPanelTest, GoesAwayWithTheWindowAndKeepsItsFoldInTheSettings) {
  Open();
  g_ProjectPanel->SetClientHeight(120);
  DiscardMainWindow();
  EXPECT_EQ(nullptr, g_ProjectPanel);
  EXPECT_EQ(nullptr, GetList());
  EXPECT_EQ(nullptr, GetPages());
  EXPECT_EQ(nullptr, GetButton(BUTTON_NEW));
  EXPECT_EQ(nullptr, GetInfoLabel());
  EXPECT_EQ(nullptr, GetContextMenu());
  EXPECT_EQ(120, g_Settings.panelsProjectBodyClientHeight->GetValue());
  // Every notification is safe without the panel.
  MakeProject({{16, 16}});
  EXPECT_FALSE(Rebuild());
  EXPECT_FALSE(AddImageItem(GetCurrentImage()));
  EXPECT_FALSE(SelectImage(GetCurrentImage()));
  EXPECT_FALSE(RefreshImageItem(GetCurrentImage()));
  EXPECT_FALSE(MoveImageItem(GetCurrentImage(), nullptr));
  EXPECT_FALSE(RemoveImageItem(GetCurrentImage()));
  EXPECT_FALSE(BeginUpdate());
  EXPECT_FALSE(EndUpdate());
  EXPECT_FALSE(Clear());
  EXPECT_FALSE(ProjectPanel::RefreshAll());
  EXPECT_FALSE(UpdateInfo());
}

TEST_F(ProjectPanelTest, InfoTextCountsTheImagesAndSizesTheProjectInBinaryUnits) {
  Open();
  // Without a project: no text and no button.
  EXPECT_EQ("", InfoText());
  for (int i = 0; i < BUTTON_COUNT; ++i)
    EXPECT_FALSE(Enabled(i)) << i;

  // An empty project is 124 bytes.
  MakeProject({});
  UpdateCommandStates();
  EXPECT_EQ("Number of images: 0\nSize in memory: 124 bytes", InfoText());
  EXPECT_TRUE(Enabled(BUTTON_NEW));
  EXPECT_FALSE(Enabled(BUTTON_DELETE));
  EXPECT_FALSE(Enabled(BUTTON_PROPERTIES));
  DropProject();

  // Small images are counted in K of 1024 bytes.
  CProject* project = MakeProject({{16, 16}, {24, 24}});
  UpdateCommandStates();
  uint32_t size = project->GetMemorySize();
  ASSERT_GE(size, 1024u);
  ASSERT_LT(size, 1048576u);
  EXPECT_EQ("Number of images: 2\nSize in memory: " + Size("%.2fK", size / 1024.0) + " bytes", InfoText());
  DropProject();

  // Large ones in M of 1048576 bytes.
  project = MakeProject({{640, 480}});
  UpdateCommandStates();
  size = project->GetMemorySize();
  ASSERT_GE(size, 1048576u);
  EXPECT_EQ("Number of images: 1\nSize in memory: " + Size("%.2fM", size / 1048576.0) + " bytes", InfoText());

  // The units the text uses: 1023 stays bytes, 1536 is 1.50K, 3145728 is 3.00M.
  char text[32];
  EXPECT_STREQ("1023", FormatByteSize(text, 1023, 1, sizeof text));
  EXPECT_STREQ("1000", FormatByteSize(text, 1000, 1, sizeof text));
  EXPECT_STREQ("1.50K", FormatByteSize(text, 1536, 1, sizeof text));
  EXPECT_STREQ("3.00M", FormatByteSize(text, 3145728, 1, sizeof text));

  // Closing the project empties the text.
  ASSERT_TRUE(CloseProject(SAVE_MODIFIED_DISCARD));
  EXPECT_EQ("", InfoText());
  EXPECT_FALSE(Enabled(BUTTON_NEW));
}

TEST_F(ProjectPanelTest, RebuildListsTheImagesInProjectOrderWithTheCurrentOneSelected) {
  CProject* project = MakeProject({{32, 32}, {48, 16}, {16, 16}});
  CImage* second = ImageAt(project, 1);
  second->SetTargetFormat(CImage::FORMAT_8BIT_PALETTE);
  project->SetCurrentImage(second);
  ResyncWorkingCopies();
  OpenListed();
  ExpectListFollowsProject();
  EXPECT_EQ(second, SelectedImage());
  ASSERT_EQ(3, GetList()->GetCount());
  CImageListItem* item = ItemOf(second);
  EXPECT_STREQ("48x16 256 colors", item->text.text);
  EXPECT_EQ(24, item->thumbnailSize);
  EXPECT_EQ(26, item->height);
  ASSERT_NE(nullptr, item->thumbnail);
  EXPECT_EQ(24, item->thumbnail->width);
  EXPECT_EQ(16, item->thumbnail->height);
  EXPECT_EQ(GetContextMenu(), item->contextMenu);
  EXPECT_STREQ("16x16 RGBA", ItemOf(ImageAt(project, 2))->text.text);
  EXPECT_EQ("Number of images: 3", InfoText().substr(0, InfoText().find('\n')));

  // A second rebuild does not list the images twice.
  ASSERT_TRUE(Rebuild());
  EXPECT_EQ(3, GetList()->GetCount());
  ExpectListFollowsProject();
}

TEST_F(ProjectPanelTest, SwitchingImagesRestoresTheViewOfEach) {
  CProject* project = MakeProject({{64, 64}, {40, 24}});
  CImage* a = ImageAt(project, 0);
  CImage* b = ImageAt(project, 1);
  OpenListed();
  ASSERT_EQ(a, GetCurrentImage());

  // A is seen closer, in alpha only, around one of its points.
  SetZoomCommand(5);
  SetChannelModeCommand(MainView::CHANNELS_ALPHA);
  MainView::CenterOn(Point{40 * 256, 30 * 256});
  const CViewState shownA = MainView::GetViewState();
  ASSERT_EQ(24, shownA.zoom);

  // B was never shown: it is fitted to the view.
  ClickItem(b);
  ASSERT_EQ(b, GetCurrentImage());
  EXPECT_EQ(b, SelectedImage());
  const int32_t fitted = MainView::GetZoomIndex();
  MainView::ZoomToFitImage();
  EXPECT_EQ(fitted, MainView::GetZoomIndex());
  EXPECT_NE(5, fitted);
  // A kept what the view showed of it.
  EXPECT_EQ(24, a->GetViewState().zoom);
  EXPECT_EQ(MainView::CHANNELS_ALPHA, a->GetViewState().channelMode);

  SetChannelModeCommand(MainView::CHANNELS_COLOR);
  const CViewState shownB = MainView::GetViewState();

  // Back to A: zoom, channel mode and centre as they were.
  ClickItem(a);
  ASSERT_EQ(a, GetCurrentImage());
  CViewState state = MainView::GetViewState();
  EXPECT_EQ(shownA.zoom, state.zoom);
  EXPECT_EQ(MainView::CHANNELS_ALPHA, state.channelMode);
  EXPECT_NEAR(shownA.center.x, state.center.x, 256);
  EXPECT_NEAR(shownA.center.y, state.center.y, 256);
  EXPECT_TRUE(FindMenuItem(CMD_VIEW_ALPHA_ONLY)->checked);

  // And B again as it was left.
  ClickItem(b);
  state = MainView::GetViewState();
  EXPECT_EQ(shownB.zoom, state.zoom);
  EXPECT_EQ(MainView::CHANNELS_COLOR, state.channelMode);
  EXPECT_NEAR(shownB.center.x, state.center.x, 256);
  EXPECT_NEAR(shownB.center.y, state.center.y, 256);
}

TEST_F(ProjectPanelTest, WhileUpdatingSelectionsLeaveTheMenusAndInfoAlone) {
  CProject* project = MakeProject({{16, 16}, {24, 24}});
  CImage* a = ImageAt(project, 0);
  CImage* b = ImageAt(project, 1);
  OpenListed();
  ASSERT_EQ(a, GetCurrentImage());
  ASSERT_FALSE(Enabled(BUTTON_MOVE_UP));
  ASSERT_FALSE(FindMenuItem(CMD_IMAGE_PREVIOUS)->enabled);
  const std::string before = InfoText();

  ASSERT_TRUE(BeginUpdate());
  EXPECT_TRUE(IsUpdating());
  GetList()->Select(ItemOf(b));
  EXPECT_EQ(b, GetCurrentImage());
  // Neither the menus nor the buttons heard of it.
  EXPECT_FALSE(FindMenuItem(CMD_IMAGE_PREVIOUS)->enabled);
  EXPECT_FALSE(Enabled(BUTTON_MOVE_UP));
  EXPECT_TRUE(Enabled(BUTTON_MOVE_DOWN));
  // A third image comes in; the Info page still counts two.
  CImage* c = new CImage();
  c->SetSize(8, 8);
  c->SetTargetFormat(CImage::FORMAT_24BIT_RGB);
  project->AddImage(c);
  EXPECT_TRUE(AddImageItem(c));
  EXPECT_FALSE(UpdateInfo());
  EXPECT_EQ(before, InfoText());

  // The end of the bracket brings the Info page and buttons up to date.
  ASSERT_TRUE(EndUpdate());
  EXPECT_FALSE(IsUpdating());
  EXPECT_EQ("Number of images: 3", InfoText().substr(0, InfoText().find('\n')));
  EXPECT_TRUE(Enabled(BUTTON_MOVE_UP));
  EXPECT_TRUE(Enabled(BUTTON_MOVE_DOWN));
  ExpectListFollowsProject();
  EXPECT_STREQ("8x8 RGB", ItemOf(c)->text.text);
  // Outside the bracket a selection refreshes the menus at once.
  ClickItem(c);
  EXPECT_EQ(c, GetCurrentImage());
  EXPECT_TRUE(FindMenuItem(CMD_IMAGE_PREVIOUS)->enabled);
  EXPECT_FALSE(FindMenuItem(CMD_IMAGE_NEXT)->enabled);
  EXPECT_FALSE(Enabled(BUTTON_MOVE_DOWN));
}

TEST_F(ProjectPanelTest, MoveButtonsFollowThePlaceOfTheCurrentImage) {
  CProject* project = MakeProject({{16, 16}, {24, 24}, {32, 32}});
  OpenListed();
  const bool expected[3][2] = {{false, true}, {true, true}, {true, false}};
  for (int i = 0; i < 3; ++i) {
    ClickItem(ImageAt(project, i));
    ASSERT_EQ(ImageAt(project, i), GetCurrentImage());
    EXPECT_EQ(expected[i][0], Enabled(BUTTON_MOVE_UP)) << i;
    EXPECT_EQ(expected[i][1], Enabled(BUTTON_MOVE_DOWN)) << i;
    EXPECT_TRUE(Enabled(BUTTON_NEW));
    EXPECT_TRUE(Enabled(BUTTON_DELETE));
    EXPECT_TRUE(Enabled(BUTTON_PROPERTIES));
  }
  // Without a current image only New is left.
  ASSERT_TRUE(SelectImage(ImageAt(project, 0)));
  GetList()->ClearSelection();
  EXPECT_EQ(nullptr, GetCurrentImage());
  EXPECT_TRUE(Enabled(BUTTON_NEW));
  for (int which : {BUTTON_DELETE, BUTTON_PROPERTIES, BUTTON_MOVE_UP, BUTTON_MOVE_DOWN})
    EXPECT_FALSE(Enabled(which)) << which;
}

TEST_F(ProjectPanelTest, MoveButtonsMoveTheItemWithItsImage) {
  CProject* project = MakeProject({{16, 16}, {24, 24}, {32, 32}});
  CImage* a = ImageAt(project, 0);
  CImage* b = ImageAt(project, 1);
  CImage* c = ImageAt(project, 2);
  OpenListed();

  ClickButton(BUTTON_MOVE_DOWN);
  EXPECT_EQ((std::vector<CImage*>{b, a, c}), ProjectOrder());
  ExpectListFollowsProject();
  EXPECT_EQ(a, GetCurrentImage());
  EXPECT_TRUE(Enabled(BUTTON_MOVE_UP));

  ClickButton(BUTTON_MOVE_DOWN);
  EXPECT_EQ((std::vector<CImage*>{b, c, a}), ProjectOrder());
  ExpectListFollowsProject();
  EXPECT_FALSE(Enabled(BUTTON_MOVE_DOWN));
  EXPECT_FALSE(FindMenuItem(CMD_IMAGE_MOVE_DOWN)->enabled);

  ClickButton(BUTTON_MOVE_UP);
  ClickButton(BUTTON_MOVE_UP);
  EXPECT_EQ((std::vector<CImage*>{a, b, c}), ProjectOrder());
  ExpectListFollowsProject();
  EXPECT_FALSE(Enabled(BUTTON_MOVE_UP));
  // The items sit where their images are.
  EXPECT_LT(ItemOf(a)->y, ItemOf(b)->y);
  EXPECT_LT(ItemOf(b)->y, ItemOf(c)->y);
}

TEST_F(ProjectPanelTest, DeletingImagesRemovesTheirItems) {
  CProject* project = MakeProject({{16, 16}, {24, 24}, {32, 32}});
  CImage* a = ImageAt(project, 0);
  CImage* b = ImageAt(project, 1);
  CImage* c = ImageAt(project, 2);
  OpenListed();

  // The image after the deleted one takes its place.
  ClickItem(b);
  DeleteThroughButton();
  EXPECT_EQ((std::vector<CImage*>{a, c}), ProjectOrder());
  ExpectListFollowsProject();
  EXPECT_EQ(c, GetCurrentImage());
  EXPECT_EQ("Number of images: 2", InfoText().substr(0, InfoText().find('\n')));
  EXPECT_FALSE(IsUpdating());

  // At the end, the one before it.
  DeleteThroughButton();
  EXPECT_EQ((std::vector<CImage*>{a}), ProjectOrder());
  ExpectListFollowsProject();
  EXPECT_EQ(a, GetCurrentImage());

  // The last one leaves an empty list and no current image.
  DeleteThroughButton();
  EXPECT_EQ(0, GetList()->GetCount());
  EXPECT_EQ(nullptr, GetCurrentImage());
  EXPECT_EQ(nullptr, GetList()->GetSelected());
  EXPECT_TRUE(Enabled(BUTTON_NEW));
  EXPECT_FALSE(Enabled(BUTTON_DELETE));
  EXPECT_EQ("Number of images: 0\nSize in memory: 124 bytes", InfoText());
}

TEST_F(ProjectPanelTest, ContextMenuAndDoubleClickRunTheImageCommands) {
  CProject* project = MakeProject({{16, 16}, {24, 24}});
  CImage* b = ImageAt(project, 1);
  OpenListed();
  ClickItem(b);

  // "Dele&te" asks first; No keeps the image.
  CWULMenu* menu = GetContextMenu();
  {
    BoxWatcher watcher(kDeleteCaption, 'n');
    menu->ItemChosen(menu->GetFirstItem());
    PumpLikeMainLoop();
    EXPECT_EQ(1u, watcher.Count());
  }
  EXPECT_EQ(2, project->GetImageCount());
  EXPECT_EQ(2, GetList()->GetCount());

  // "&Properties..." and a double click open the image properties.
  BoxDriver::Run("Image properties", [](CWULAppWindow* dialog) { BoxDriver::PostKey(dialog, VK_ESCAPE); },
                 [&] {
                   menu->ItemChosen(menu->GetLastItem());
                   return 0;
                 });
  EXPECT_TRUE(BoxDriver::Ran());
  EXPECT_FALSE(BoxDriver::TimedOut());
  BoxDriver::Run("Image properties", [](CWULAppWindow* dialog) { BoxDriver::PostKey(dialog, VK_ESCAPE); },
                 [&] {
                   ClickItem(b, true);
                   return 0;
                 });
  EXPECT_TRUE(BoxDriver::Ran());
  EXPECT_FALSE(BoxDriver::TimedOut());
  EXPECT_EQ(b, GetCurrentImage());
}

TEST_F(ProjectPanelTest, AClickedListTakesTheKeysThatMoveTheCurrentImage) {
  CProject* project = MakeProject({{16, 16}, {24, 24}, {32, 32}, {48, 48}});
  OpenListed();
  CThumbnailList* list = GetList();
  CImageListItem* second = ItemOf(ImageAt(project, 1));
  ASSERT_NE(nullptr, second);
  ASSERT_NE(list->GetHandle(), GetFocus());
  ASSERT_TRUE(RealClick(list->GetHandle(), second->x + second->width / 2,
                        second->y + second->height / 2 - list->GetScrollY()))
      << "the pointer did not reach the list";
  EXPECT_EQ(ImageAt(project, 1), GetCurrentImage());
  EXPECT_EQ(list->GetHandle(), GetFocus());

  // Each key, and the image then current.
  PressTheListKeys([&](int row, int key) {
    EXPECT_EQ(ImageAt(project, row), GetCurrentImage()) << "after key " << key;
    EXPECT_EQ(ImageAt(project, row), SelectedImage()) << "after key " << key;
  });
}

TEST_F(ProjectPanelTest, EditsOfAnImageRefreshItsItem) {
  CProject* project = MakeProject({{32, 16}, {24, 24}});
  CImage* a = ImageAt(project, 0);
  OpenListed();
  ASSERT_STREQ("32x16 RGBA", ItemOf(a)->text.text);
  ASSERT_TRUE(RotateImageCwCommand());
  EXPECT_STREQ("16x32 RGBA", ItemOf(a)->text.text);
  EXPECT_EQ(16, ItemOf(a)->thumbnail->width);
  EXPECT_EQ(24, ItemOf(a)->thumbnail->height);
  // Undo turns it back.
  SendMessageA(g_MainWindow->GetHandle(), WM_COMMAND, CMD_EDIT_UNDO, 0);
  EXPECT_STREQ("32x16 RGBA", ItemOf(a)->text.text);
}

TEST_F(ProjectPanelTest, OpeningImportingAndClosingProjectsKeepTheListInStep) {
  zrInit();
  g_Plugins.Add(CreateBuiltinFormat());
  BuildFileTypeLists();
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string pair = std::string(temp) + "vc-projpanel-" + std::to_string(GetCurrentProcessId()) + "-pair.vcj";
  const std::string single = std::string(temp) + "vc-projpanel-" + std::to_string(GetCurrentProcessId()) + "-one.vcj";
  {
    CProject* saved = MakeProject({{16, 16}, {48, 48}});
    ASSERT_TRUE(WriteProject(pair.c_str(), saved));
    DropProject();
    saved = MakeProject({{20, 10}});
    ASSERT_TRUE(WriteProject(single.c_str(), saved));
    DropProject();
  }
  Open();

  ASSERT_TRUE(OpenProjectFile(pair.c_str()));
  CProject* project = GetCurrentProject();
  ASSERT_NE(nullptr, project);
  EXPECT_EQ(2, GetList()->GetCount());
  ExpectListFollowsProject();
  EXPECT_NE(nullptr, GetCurrentImage());
  EXPECT_STREQ("16x16 RGBA", ItemOf(project->GetFirstImage())->text.text);
  EXPECT_EQ("Number of images: 2", InfoText().substr(0, InfoText().find('\n')));

  // An imported image is appended and selected.
  ASSERT_TRUE(ImportImageFile(single.c_str()));
  EXPECT_EQ(3, GetList()->GetCount());
  ExpectListFollowsProject();
  EXPECT_EQ(project->GetLastImage(), GetCurrentImage());
  EXPECT_STREQ("20x10 RGBA", ItemOf(GetCurrentImage())->text.text);
  EXPECT_EQ("Number of images: 3", InfoText().substr(0, InfoText().find('\n')));

  // Opening another project replaces the items.
  ASSERT_TRUE(OpenProjectFile(single.c_str()));
  EXPECT_EQ(1, GetList()->GetCount());
  ExpectListFollowsProject();

  ASSERT_TRUE(CloseProject(SAVE_MODIFIED_DISCARD));
  EXPECT_EQ(0, GetList()->GetCount());
  EXPECT_EQ("", InfoText());
  for (int i = 0; i < BUTTON_COUNT; ++i)
    EXPECT_FALSE(Enabled(i)) << i;

  ClearPluginLists();
  DeleteFileA(pair.c_str());
  DeleteFileA(single.c_str());
}

}  // namespace
