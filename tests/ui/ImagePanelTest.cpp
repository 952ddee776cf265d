#include <gtest/gtest.h>
#include <windows.h>
#include <cstdio>
#include <string>
#include <vector>
#include "document/Actions.h"
#include "document/EditorUI.h"
#include "document/History.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Project.h"
#include "shell/ProjectCommands.h"
#include "shell/Settings.h"
#include "shell/TextRoutines.h"
#include "tools/CurrentImage.h"
#include "tools/EditCommands.h"
#include "tools/ImageCommands.h"
#include "tools/WorkingCopies.h"
#include "ui/FoldingPanel.h"
#include "ui/ImagePanel.h"
#include "ui/MainView.h"
#include "ui/MainWindow.h"
#include "ui/PropertiesDialogs.h"
#include "wul/WULEdit.h"
#include "ui/ThumbnailList.h"
#include "BoxDriver.h"
#include "MainWindowHarness.h"
#include "wul/MenuDriver.h"
#include "wul/WULCanvas.h"
#include "wul/WULImage.h"
#include "wul/WULItemBar.h"
#include "wul/WULMenu.h"
#include "wul/WULPageControl.h"
#include "wul/WULPanel.h"
#include "wul/WindowTestKit.h"

namespace {

using namespace ImagePanel;

const uint32_t kLayerColors[] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFF00u};

// A current project of one image whose layers are filled with distinct colours and named
// "L1" (bottom) upwards; the top layer is current.
CImage* MakeProject(int layers, int32_t width = 32, int32_t height = 32,
                    int32_t format = CImage::FORMAT_32BIT_ARGB) {
  CProject* project = new CProject();
  project->SetName("Panel");
  CImage* image = new CImage();
  image->SetSize(width, height);
  image->SetTargetFormat(format);
  project->AddImage(image);
  for (int i = 0; i < layers; ++i) {
    CRasterLayer* layer = new CRasterLayer();
    image->AddLayer(layer);
    char name[16];
    std::snprintf(name, sizeof name, "L%d", i + 1);
    layer->SetName(name);
    layer->GetPixelArray()->Fill(kLayerColors[i % 4]);
    image->SetActiveLayer(layer);
  }
  image->UpdateAll();
  project->SetCurrentImage(image);
  project->ClearModified();
  SetCurrentProject(project);
  ResyncWorkingCopies();
  return image;
}

// What the project panel does when an image becomes current.
void ShowCurrentImage() {
  BeginUpdate();
  Clear();
  Rebuild();
  EndUpdate();
  ::RefreshAll();
}

CLayerListItem* ItemAt(int index) {
  CThumbnailItem* item = GetList()->GetFirst();
  for (int i = 0; item && i < index; ++i)
    item = CThumbnailList::Next(item);
  return static_cast<CLayerListItem*>(item);
}

CLayerListItem* ItemOfLayer(CLayer* layer) {
  for (CThumbnailItem* item = GetList()->GetFirst(); item; item = CThumbnailList::Next(item)) {
    if (static_cast<CLayerListItem*>(item)->GetLayer() == layer)
      return static_cast<CLayerListItem*>(item);
  }
  return nullptr;
}

// The items' layers from the top of the list.
std::vector<CLayer*> ListedLayers() {
  std::vector<CLayer*> layers;
  for (CThumbnailItem* item = GetList()->GetFirst(); item; item = CThumbnailList::Next(item))
    layers.push_back(static_cast<CLayerListItem*>(item)->GetLayer());
  return layers;
}

// The image's layers from the top of the stack.
std::vector<CLayer*> StackFromTop(CImage* image) {
  std::vector<CLayer*> layers;
  for (CLayer* layer = image->GetLastLayer(); layer; layer = layer->GetPrevious())
    layers.push_back(layer);
  return layers;
}

std::vector<std::string> ListedNames() {
  std::vector<std::string> names;
  for (CThumbnailItem* item = GetList()->GetFirst(); item; item = CThumbnailList::Next(item))
    names.push_back(static_cast<CLayerListItem*>(item)->text.text);
  return names;
}

// The list shows the current image's layers, top first, with the active one selected.
void ExpectListFollowsImage(CImage* image) {
  EXPECT_EQ(StackFromTop(image), ListedLayers());
  CThumbnailItem* selected = GetList()->GetSelected();
  ASSERT_NE(nullptr, selected);
  EXPECT_EQ(image->GetActiveLayer(), static_cast<CLayerListItem*>(selected)->GetLayer());
}

bool Enabled(int which) { return GetButton(which)->IsEnabled(); }

std::string InfoText() { return GetInfoLabel()->GetText(); }

class ImagePanelTest : public testing::Test {
protected:
  static void SetUpTestSuite() { StartMainWindowSuite(); }
  static void TearDownTestSuite() { EndMainWindowSuite(); }

  void SetUp() override {
    PrepareMainWindow();
    g_Settings.panelsImageBodyFolded->SetValue(false);
    g_Settings.panelsImageBodyClientHeight->SetValue(200);
    // The panels below it folded, so that the window has room for all of it.
    g_Settings.panelsToolBodyFolded->SetValue(true);
    g_Settings.panelsColorBodyFolded->SetValue(true);
    g_Settings.panelsPreviewBodyFolded->SetValue(true);
    savedLimit = g_Settings.limitsSupersamplingMaxPixelCount->GetValue();
  }

  void TearDown() override {
    if (GetCapture())
      ReleaseCapture();
    DiscardMainWindow();
    if (GetCurrentProject())
      DropProject();
    g_Settings.limitsSupersamplingMaxPixelCount->SetValue(savedLimit);
  }

  void Open() {
    ASSERT_TRUE(OpenMainWindow());
    ASSERT_NE(nullptr, g_ImagePanel);
    ASSERT_NE(nullptr, GetList());
    ASSERT_NE(nullptr, GetList()->GetHandle());
  }

  // A click at a point of an item (item coordinates) through the list's window; a double-click
  // comes after a first click as the system sends it.
  void ClickItem(CThumbnailItem* item, int ix, int iy, UINT down = WM_LBUTTONDOWN) {
    CThumbnailList* list = GetList();
    const int cx = item->x + ix - list->GetScrollX();
    const int cy = item->y + iy - list->GetScrollY();
    if (down == WM_LBUTTONDBLCLK) {
      wulSendMessage(list->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(cx, cy));
      wulSendMessage(list->GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(cx, cy));
    }
    wulSendMessage(list->GetHandle(), down, down == WM_RBUTTONDOWN ? MK_RBUTTON : MK_LBUTTON, MAKELPARAM(cx, cy));
    wulSendMessage(list->GetHandle(), down == WM_RBUTTONDOWN ? WM_RBUTTONUP : WM_LBUTTONUP, 0, MAKELPARAM(cx, cy));
    PumpLikeMainLoop();
  }

  // A click on the item's name, away from its visibility button.
  void SelectItem(CThumbnailItem* item) { ClickItem(item, 40, item->height / 2); }

  void ClickVisibility(CLayerListItem* item) {
    ClickItem(item, item->buttonRect.left + 4, item->buttonRect.top + 4);
  }

  // A key stroke posted to the main window and dispatched as the main loop does.
  void Key(int key) {
    PostMessageA(g_MainWindow->GetHandle(), WM_KEYDOWN, key, KeyParam(key, false));
    PostMessageA(g_MainWindow->GetHandle(), WM_KEYUP, key, KeyParam(key, true));
    PumpLikeMainLoop();
  }

  uint32_t savedLimit = 0;
};

TEST_F(ImagePanelTest, PanelHoldsLayersAndInfoPagesWithSevenButtons) {
  Open();
  EXPECT_STREQ("Image", g_ImagePanel->GetText());
  EXPECT_EQ(80, g_ImagePanel->GetMinClientHeight());
  EXPECT_FALSE(g_ImagePanel->IsFolded());
  EXPECT_EQ(200, g_ImagePanel->GetUnfoldedClientHeight());

  CWULPageControl* pages = GetPages();
  ASSERT_NE(nullptr, pages);
  ASSERT_EQ(2, pages->GetItemCount());
  ASSERT_NE(nullptr, pages->FindById(PAGE_LAYERS));
  ASSERT_NE(nullptr, pages->FindById(PAGE_INFO));
  EXPECT_STREQ("Layers", pages->FindById(PAGE_LAYERS)->GetText());
  EXPECT_STREQ("Info", pages->FindById(PAGE_INFO)->GetText());
  EXPECT_EQ(pages->FindById(PAGE_LAYERS), pages->GetCurrentItem());
  EXPECT_TRUE(pages->FindById(PAGE_LAYERS)->GetInteractor()->IsAncestorOf(GetList()));
  EXPECT_TRUE(pages->FindById(PAGE_INFO)->GetInteractor()->IsAncestorOf(GetInfoLabel()));
  EXPECT_EQ(4, GetInfoLabel()->GetX());
  EXPECT_EQ(4, GetInfoLabel()->GetY());

  const char* tooltips[BUTTON_COUNT] = {"New layer...",     "Duplicate layer",    "Merge layer down",
                                        "Delete layer",     "Layer properties",   "Move layer forward",
                                        "Move layer backward"};
  for (int i = 0; i < BUTTON_COUNT; ++i) {
    CWULStandardBarItem* button = GetButton(i);
    ASSERT_NE(nullptr, button) << i;
    EXPECT_STREQ(tooltips[i], button->GetText());
    EXPECT_NE(nullptr, button->GetImage(WUL_BAR_IMAGE_NORMAL)) << tooltips[i];
    EXPECT_NE(nullptr, button->GetImage(WUL_BAR_IMAGE_DISABLED)) << tooltips[i];
  }
  // The buttons for the commands with shortcuts show them.
  EXPECT_EQ(FindMenuItem(CMD_LAYER_DUPLICATE)->shortcut, GetButton(BUTTON_DUPLICATE)->GetShortcut());
  EXPECT_EQ(FindMenuItem(CMD_LAYER_MERGE_DOWN)->shortcut, GetButton(BUTTON_MERGE_DOWN)->GetShortcut());
  EXPECT_EQ(FindMenuItem(CMD_LAYER_MOVE_FORWARD)->shortcut, GetButton(BUTTON_MOVE_FORWARD)->GetShortcut());
  EXPECT_EQ(FindMenuItem(CMD_LAYER_MOVE_BACKWARD)->shortcut, GetButton(BUTTON_MOVE_BACKWARD)->GetShortcut());
  EXPECT_NE(nullptr, GetButton(BUTTON_DUPLICATE)->GetShortcut());

  // A grey-scale copy stands in for the missing disabled picture.
  CWULImage* grey = GetButton(BUTTON_MOVE_FORWARD)->GetImage(WUL_BAR_IMAGE_DISABLED);
  bool coloured = false;
  for (int y = 0; y < grey->height; ++y) {
    for (int x = 0; x < grey->width; ++x) {
      const uint32_t p = grey->GetPixel(x, y);
      if (((p >> 16) & 0xFF) != ((p >> 8) & 0xFF) || ((p >> 8) & 0xFF) != (p & 0xFF))
        coloured = true;
    }
  }
  EXPECT_FALSE(coloured);

  EXPECT_EQ(1, GetList()->GetMargin());
  EXPECT_EQ(1, GetList()->GetSpacing());
  EXPECT_EQ(8, GetList()->GetLineStepY());
  EXPECT_FALSE(GetList()->IsTabStop());

  // The panel's state goes back into its settings.
  g_ImagePanel->Fold();
  DiscardMainWindow();
  EXPECT_EQ(nullptr, g_ImagePanel);
  EXPECT_EQ(nullptr, GetList());
  EXPECT_EQ(nullptr, GetNewLayerMenu());
  EXPECT_TRUE(g_Settings.panelsImageBodyFolded->GetValue());
  EXPECT_EQ(200, g_Settings.panelsImageBodyClientHeight->GetValue());
}

TEST_F(ImagePanelTest, ThreeLayersAreListedTopFirstAndTheButtonsFollowTheCurrentLayer) {
  CImage* image = MakeProject(3);
  Open();
  ShowCurrentImage();
  CLayer* bottom = image->GetFirstLayer();
  CLayer* top = image->GetLastLayer();
  ASSERT_EQ(3, GetList()->GetCount());
  EXPECT_EQ((std::vector<std::string>{"L3", "L2", "L1"}), ListedNames());
  ExpectListFollowsImage(image);
  EXPECT_EQ(26, ItemAt(0)->height);
  EXPECT_EQ(24, ItemAt(0)->thumbnailSize);

  // The top layer is current.
  EXPECT_TRUE(Enabled(BUTTON_NEW));
  EXPECT_TRUE(Enabled(BUTTON_DUPLICATE));
  EXPECT_TRUE(Enabled(BUTTON_MERGE_DOWN));
  EXPECT_TRUE(Enabled(BUTTON_DELETE));
  EXPECT_TRUE(Enabled(BUTTON_PROPERTIES));
  EXPECT_FALSE(Enabled(BUTTON_MOVE_FORWARD));
  EXPECT_TRUE(Enabled(BUTTON_MOVE_BACKWARD));

  SelectItem(ItemAt(2));
  EXPECT_EQ(bottom, image->GetActiveLayer());
  EXPECT_EQ(bottom, GetCurrentLayer());
  EXPECT_TRUE(Enabled(BUTTON_MOVE_FORWARD));
  EXPECT_FALSE(Enabled(BUTTON_MERGE_DOWN));
  EXPECT_FALSE(Enabled(BUTTON_MOVE_BACKWARD));
  EXPECT_TRUE(Enabled(BUTTON_DELETE));
  // The menus follow the same selection.
  EXPECT_FALSE(FindMenuItem(CMD_LAYER_MERGE_DOWN)->enabled);
  EXPECT_TRUE(FindMenuItem(CMD_LAYER_MOVE_FORWARD)->enabled);

  SelectItem(ItemAt(1));
  EXPECT_EQ(bottom->GetNext(), image->GetActiveLayer());
  for (int which : {BUTTON_MERGE_DOWN, BUTTON_MOVE_FORWARD, BUTTON_MOVE_BACKWARD})
    EXPECT_TRUE(Enabled(which));
  // The tools' working copy is the new current layer.
  EXPECT_EQ(kLayerColors[1], g_LayerWorkingCopy.GetPixels().GetPixel(0, 0));

  SelectItem(ItemAt(0));
  EXPECT_EQ(top, image->GetActiveLayer());
}

TEST_F(ImagePanelTest, ButtonsAreDisabledWithoutImageOrLayer) {
  Open();
  for (int i = 0; i < BUTTON_COUNT; ++i)
    EXPECT_FALSE(Enabled(i)) << i;
  CImage* image = MakeProject(0);
  ShowCurrentImage();
  EXPECT_EQ(0, GetList()->GetCount());
  EXPECT_TRUE(Enabled(BUTTON_NEW));
  for (int i = BUTTON_DUPLICATE; i < BUTTON_COUNT; ++i)
    EXPECT_FALSE(Enabled(i)) << i;
  EXPECT_EQ(nullptr, image->GetActiveLayer());
}

TEST_F(ImagePanelTest, VisibilityButtonHidesTheLayerAsOneUndoableStep) {
  CImage* image = MakeProject(3);
  Open();
  ShowCurrentImage();
  CLayer* middle = image->GetFirstLayer()->GetNext();
  CLayerListItem* item = ItemOfLayer(middle);
  ASSERT_NE(nullptr, item);
  // The top layer covers the others: hide it so that the middle one shows.
  CLayer* top = image->GetLastLayer();
  ClickVisibility(ItemOfLayer(top));
  EXPECT_FALSE(top->IsVisible());
  EXPECT_EQ(kLayerColors[1], image->GetComposite()->GetPixel(3, 3));
  // The button does not select the item.
  EXPECT_EQ(top, image->GetActiveLayer());

  ClickVisibility(item);
  EXPECT_FALSE(middle->IsVisible());
  EXPECT_EQ(kLayerColors[0], image->GetComposite()->GetPixel(3, 3));
  ASSERT_NE(nullptr, GetUndoAction());
  EXPECT_STREQ("Hide Layer", GetUndoAction()->GetName());
  CWULMenu* edit = FindMenuItem(CMD_MENU_EDIT)->submenu;
  edit->openCallback(edit);
  EXPECT_STREQ("&Undo Hide Layer", FindMenuItem(CMD_EDIT_UNDO)->GetText());
  EXPECT_TRUE(FindMenuItem(CMD_EDIT_UNDO)->enabled);

  // Its item no longer shows the visibility mark: the eye's pupil is gone from the button.
  CThumbnailList* list = GetList();
  const int px = item->buttonRect.left + 1 + 6, py = item->buttonRect.top + 1 + 6;
  item->Paint(&list->GetBuffer());
  const uint32_t hidden = RGBAt(list->GetBuffer(), px, py);
  UndoCommand();
  EXPECT_TRUE(middle->IsVisible());
  EXPECT_EQ(kLayerColors[1], image->GetComposite()->GetPixel(3, 3));
  item->Paint(&list->GetBuffer());
  const uint32_t shown = RGBAt(list->GetBuffer(), px, py);
  EXPECT_EQ(0u, shown);
  EXPECT_NE(shown, hidden);

  // A hidden layer comes back as "Show Layer".
  ClickVisibility(ItemOfLayer(top));
  EXPECT_TRUE(top->IsVisible());
  EXPECT_STREQ("Show Layer", GetUndoAction()->GetName());
  EXPECT_EQ(kLayerColors[2], image->GetComposite()->GetPixel(3, 3));
}

TEST_F(ImagePanelTest, DoubleClickOpensTheLayerPropertiesExceptOnTheVisibilityButton) {
  CImage* image = MakeProject(2);
  Open();
  ShowCurrentImage();
  CLayerListItem* bottom = ItemAt(1);
  BoxDriver::Run("Layer properties", [](CWULAppWindow* dialog) { BoxDriver::PostKey(dialog, VK_ESCAPE); }, [&] {
    ClickItem(bottom, 40, 10, WM_LBUTTONDBLCLK);
    return 0;
  });
  EXPECT_TRUE(BoxDriver::Ran());
  EXPECT_FALSE(BoxDriver::TimedOut());
  // The first click of the pair made it current; the dialog was about that layer.
  EXPECT_EQ(image->GetFirstLayer(), image->GetActiveLayer());
  EXPECT_EQ(nullptr, GetUndoAction());

  BoxDriver::Run("Layer properties", [](CWULAppWindow* dialog) { BoxDriver::PostKey(dialog, VK_ESCAPE); }, [&] {
    ClickItem(bottom, bottom->buttonRect.left + 4, bottom->buttonRect.top + 4, WM_LBUTTONDBLCLK);
    return 0;
  });
  // Both clicks of the pair work the button: hidden, then shown again.
  EXPECT_FALSE(BoxDriver::Ran());
  EXPECT_TRUE(image->GetFirstLayer()->IsVisible());
  ASSERT_NE(nullptr, GetUndoAction());
  EXPECT_STREQ("Show Layer", GetUndoAction()->GetName());
  ASSERT_NE(nullptr, GetUndoAction()->GetPrevious());
  EXPECT_STREQ("Hide Layer", GetUndoAction()->GetPrevious()->GetName());
}

TEST_F(ImagePanelTest, AClickedListTakesTheKeysThatMoveTheCurrentLayer) {
  CImage* image = MakeProject(4);
  Open();
  ShowCurrentImage();
  PumpLikeMainLoop();
  CThumbnailList* list = GetList();
  // The list shows the top layer first: items 0 to 3 are L4 down to L1.
  const std::vector<CLayer*> layers = StackFromTop(image);
  ASSERT_EQ(4u, layers.size());
  ASSERT_NE(list->GetHandle(), GetFocus());
  CThumbnailItem* second = ItemAt(1);
  ASSERT_TRUE(RealClick(list->GetHandle(), second->x + 40 - list->GetScrollX(),
                        second->y + second->height / 2 - list->GetScrollY()))
      << "the pointer did not reach the list";
  EXPECT_EQ(layers[1], GetCurrentLayer());
  EXPECT_EQ(list->GetHandle(), GetFocus());

  // Each key, and the layer then current.
  PressTheListKeys([&](int row, int key) {
    EXPECT_EQ(layers[row], GetCurrentLayer()) << "after key " << key;
    ASSERT_NE(nullptr, list->GetSelected());
    EXPECT_EQ(layers[row], static_cast<CLayerListItem*>(list->GetSelected())->GetLayer()) << "after key " << key;
  });
}

// What the layer list's window shows now, read from the screen.
std::vector<uint32_t> ShownList() {
  CThumbnailList* list = GetList();
  CWULOffscreenBuffer shot;
  shot.SetSize(list->GetClientWidth(), list->GetClientHeight());
  HDC dc = GetDC(list->GetHandle());
  BitBlt(shot.GetDC(), 0, 0, shot.GetWidth(), shot.GetHeight(), dc, 0, 0, SRCCOPY);
  ReleaseDC(list->GetHandle(), dc);
  GdiFlush();
  const CWULImage* image = shot.GetImage();
  return std::vector<uint32_t>(image->pixels, image->pixels + image->width * image->height);
}

TEST_F(ImagePanelTest, ALongNameFromLayerPropertiesIsShownAtOnce) {
  CImage* image = MakeProject(2);
  Open();
  ShowCurrentImage();
  PumpLikeMainLoop();
  CLayer* top = image->GetLastLayer();
  ASSERT_EQ(top, GetCurrentLayer());
  auto longName = [](char first, size_t n, bool spaces) {
    std::string name;
    for (size_t i = 0; name.size() < n; ++i)
      name += (spaces && i % 7 == 6) ? ' ' : static_cast<char>(first + i % 20);
    return name;
  };
  // Each shown as its first 255 characters, whatever came before.
  const std::string names[] = {longName('a', 300, false), longName('b', 256, true), "Sky", longName('c', 5000, false)};
  for (const std::string& name : names) {
    const std::vector<uint32_t> before = ShownList();
    BoxDriver::Run("Layer properties",
                   [&](CWULAppWindow* dialog) {
                     const CLayerPropertiesParts* p = GetLayerPropertiesParts();
                     ASSERT_NE(nullptr, p);
                     BoxDriver::Retype(p->name, name.c_str());
                     BoxDriver::PostKey(dialog, VK_RETURN);
                   },
                   [&] { return RunMenuCommand(CMD_LAYER_PROPERTIES) ? 1 : 0; });
    EXPECT_TRUE(BoxDriver::Ran());
    EXPECT_FALSE(BoxDriver::TimedOut());
    PumpLikeMainLoop();
    ASSERT_EQ(name, top->GetName());
    EXPECT_EQ(name.substr(0, 255), std::string(ItemOfLayer(top)->text.text)) << name.size();
    // On the screen at once: what a repaint of the whole list shows, and not the old name.
    const std::vector<uint32_t> shown = ShownList();
    EXPECT_FALSE(shown == before) << name.size();
    RedrawWindow(GetList()->GetHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_TRUE(shown == ShownList()) << name.size();
  }
}

TEST_F(ImagePanelTest, SelectingALayerKeepsTheZoomAndRefitsTheView) {
  CImage* image = MakeProject(2, 40, 30);
  Open();
  ShowCurrentImage();
  MainView::SetZoomIndex(3, nullptr);
  const int32_t zoom = MainView::GetZoomFactor();
  SelectItem(ItemAt(1));
  EXPECT_EQ(image->GetFirstLayer(), image->GetActiveLayer());
  EXPECT_EQ(3, MainView::GetZoomIndex());
  EXPECT_EQ(zoom, MainView::GetZoomFactor());
  // The view covers the image at that zoom.
  CWULTiledCanvas* view = MainView::GetView();
  EXPECT_EQ(40 * zoom, view->GetContentWidth());
  EXPECT_EQ(30 * zoom, view->GetContentHeight());
}

// What the main view's window shows, read back from its last overlay's buffer.
std::vector<uint32_t> ShownView() {
  GdiFlush();
  const CWULImage* shown = MainView::GetView()->GetLastOverlay()->buffer.GetImage();
  if (!shown)
    return {};
  return std::vector<uint32_t>(shown->pixels, shown->pixels + shown->width * shown->height);
}

TEST_F(ImagePanelTest, PageKeysShowTheLayerAsAClickOnItsItemDoes) {
  CImage* image = MakeProject(2, 8, 8);
  // The top layer supersampled, with detail finer than a pixel: a chequer of 1/8 pixels.
  CRasterLayer* fine = static_cast<CRasterLayer*>(image->GetLastLayer());
  fine->SetSupersampling(true);
  ASSERT_TRUE(fine->IsSupersampled());
  CPixelArray* edit = fine->GetPixelArray();
  for (int32_t y = 0; y < edit->height; ++y)
    for (int32_t x = 0; x < edit->width; ++x)
      edit->SetPixel(x, y, ((x + y) & 1) ? 0xFFFFFFFFu : 0u);
  fine->Update(nullptr);
  image->UpdateAll();
  ResyncWorkingCopies();
  Open();
  ShowCurrentImage();
  CLayer* plain = image->GetFirstLayer();

  for (int index : {3, 6}) {  // zoom 8, zoom 32
    MainView::SetZoomIndex(index, nullptr);
    SCOPED_TRACE(MainView::GetZoomFactor());
    SelectItem(ItemOfLayer(fine));
    const std::vector<uint32_t> fineShown = ShownView();
    SelectItem(ItemOfLayer(plain));
    const std::vector<uint32_t> plainShown = ShownView();
    ASSERT_FALSE(plainShown.empty());
    ASSERT_TRUE(plainShown != fineShown);

    // Page Up: the supersampled layer becomes current.
    Key(VK_PRIOR);
    EXPECT_EQ(fine, GetCurrentLayer());
    EXPECT_TRUE(ShownView() == fineShown);
    // Page Down from the view a click made: it stops being current.
    SelectItem(ItemOfLayer(plain));
    SelectItem(ItemOfLayer(fine));
    Key(VK_NEXT);
    EXPECT_EQ(plain, GetCurrentLayer());
    EXPECT_TRUE(ShownView() == plainShown);
  }
}

TEST_F(ImagePanelTest, InfoPageDescribesTheCurrentImage) {
  Open();
  EXPECT_EQ("", InfoText());
  CImage* image = MakeProject(3, 48, 20);
  ShowCurrentImage();
  char size[64];
  FormatByteSize(size, image->GetMemorySize(), 1, sizeof size - 1);
  EXPECT_EQ(std::string("Dimensions: 48x20 pixels\nTarget format: RGBA\nNumber of layers: 3\nSize in memory: ") + size +
                " bytes",
            InfoText());
  EXPECT_GT(image->GetMemorySize(), 1024u);
  EXPECT_NE(std::string::npos, InfoText().find("K bytes"));

  // A layer command brings it up to date.
  ASSERT_TRUE(NewLayerCommand(false));
  EXPECT_NE(std::string::npos, InfoText().find("Number of layers: 4\n"));

  // Between BeginUpdate and EndUpdate nothing changes; EndUpdate brings it up to date.
  BeginUpdate();
  EXPECT_TRUE(IsUpdating());
  image->SetTargetFormat(CImage::FORMAT_8BIT_PALETTE);
  EXPECT_FALSE(UpdateInfo());
  EXPECT_NE(std::string::npos, InfoText().find("Target format: RGBA\n"));
  EndUpdate();
  EXPECT_FALSE(IsUpdating());
  EXPECT_NE(std::string::npos, InfoText().find("Target format: 256 colors\n"));

  CloseProject(SAVE_MODIFIED_DISCARD);
  EXPECT_EQ(nullptr, GetCurrentProject());
  EXPECT_EQ("", InfoText());
  EXPECT_EQ(0, GetList()->GetCount());
}

TEST_F(ImagePanelTest, NewLayerMenuOffersSupersampledOnlyWhenTheImageAllowsIt) {
  CImage* image = MakeProject(1, 32, 32);
  g_Settings.limitsSupersamplingMaxPixelCount->SetValue(100000);
  Open();
  ShowCurrentImage();
  ASSERT_TRUE(CanSupersample());
  CWULMenu* menu = GetNewLayerMenu();
  ASSERT_NE(nullptr, menu);
  ASSERT_EQ(2, menu->items.count);
  CWULMenuItem* normal = menu->GetFirstItem();
  CWULMenuItem* supersampled = menu->GetLastItem();
  EXPECT_STREQ("&Normal", normal->GetText());
  EXPECT_STREQ("&Supersampled", supersampled->GetText());

  // Opened by the button just below it; Escape closes it.
  bool enabledWhileOpen = false;
  RECT shellRect = {};
  {
    MenuScript script(menu);
    script.Then([&] {
      CWULPopupMenuShell* shell = MenuScript::ShellOf(menu);
      if (!shell || !shell->window)
        return false;
      enabledWhileOpen = supersampled->enabled != 0;
      GetWindowRect(shell->window, &shellRect);
      return true;
    }).Key(menu, VK_ESCAPE);
    GetButton(BUTTON_NEW)->PerformClick();
    EXPECT_TRUE(script.Finished());
  }
  SettleWindows();
  EXPECT_TRUE(enabledWhileOpen);
  RECT button;
  GetButton(BUTTON_NEW)->GetRect(&button);
  MapWindowPoints(GetButton(BUTTON_NEW)->GetBar()->GetHandle(), nullptr, reinterpret_cast<POINT*>(&button), 2);
  EXPECT_GE(shellRect.top, button.bottom);
  EXPECT_EQ(button.left, shellRect.left);
  EXPECT_EQ(1, image->GetLayerCount());

  // Above the limit of supersampled pixels the item is disabled each time the menu opens.
  g_Settings.limitsSupersamplingMaxPixelCount->SetValue(32 * 32 - 1);
  menu->openCallback(menu);
  EXPECT_FALSE(supersampled->enabled);
  g_Settings.limitsSupersamplingMaxPixelCount->SetValue(32 * 32);
  menu->openCallback(menu);
  EXPECT_TRUE(supersampled->enabled);

  // Choosing "Supersampled" runs the Layer menu's command: a supersampled layer on top.
  {
    MenuScript script(menu);
    script.Then([&] { return menu->IsOpen(); }).Click(menu, supersampled);
    GetButton(BUTTON_NEW)->PerformClick();
    EXPECT_TRUE(script.Finished());
  }
  SettleWindows();
  ASSERT_EQ(2, image->GetLayerCount());
  CLayer* added = image->GetLastLayer();
  EXPECT_TRUE(static_cast<CRasterLayer*>(added)->IsSupersampled());
  ExpectListFollowsImage(image);
  EXPECT_EQ(added, ItemAt(0)->GetLayer());
}

TEST_F(ImagePanelTest, ContextMenuSelectsTheItemAndOffersMergeDownOnlyAboveAnotherLayer) {
  CImage* image = MakeProject(2);
  Open();
  ShowCurrentImage();
  CWULMenu* menu = GetLayerMenu();
  ASSERT_NE(nullptr, menu);
  std::vector<std::string> texts;
  for (CWULMenuItem* item = menu->GetFirstItem(); item; item = static_cast<CWULMenuItem*>(item->next))
    texts.push_back(item->GetText());
  EXPECT_EQ((std::vector<std::string>{"&Duplicate", "&Merge down", "Dele&te", "&Properties..."}), texts);
  EXPECT_TRUE(menu->GetLastItem()->IsBold());
  CWULMenuItem* mergeDown = static_cast<CWULMenuItem*>(menu->GetFirstItem()->next);
  EXPECT_EQ(menu, ItemAt(0)->contextMenu);

  // A right click on the bottom item selects it before the menu opens.
  bool mergeEnabled = true;
  const auto noteMergeEnabled = [&] {
    if (!menu->IsOpen())
      return false;
    mergeEnabled = mergeDown->enabled != 0;
    return true;
  };
  {
    MenuScript script(menu);
    script.Then(noteMergeEnabled).Key(menu, VK_ESCAPE);
    ClickItem(ItemAt(1), 40, 10, WM_RBUTTONDOWN);
    EXPECT_TRUE(script.Finished());
  }
  SettleWindows();
  EXPECT_EQ(image->GetFirstLayer(), image->GetActiveLayer());
  EXPECT_FALSE(mergeEnabled);

  // On the top layer "Merge down" merges it into the one below.
  {
    MenuScript script(menu);
    script.Then(noteMergeEnabled).Click(menu, mergeDown);
    ClickItem(ItemAt(0), 40, 10, WM_RBUTTONDOWN);
    EXPECT_TRUE(script.Finished());
  }
  SettleWindows();
  EXPECT_TRUE(mergeEnabled);
  EXPECT_EQ(1, image->GetLayerCount());
  ExpectListFollowsImage(image);
}

TEST_F(ImagePanelTest, ListFollowsTheLayerCommandsAndTheirUndo) {
  CImage* image = MakeProject(2);
  Open();
  ShowCurrentImage();
  CLayer* bottom = image->GetFirstLayer();

  // New layer: above the current one, selected.
  ASSERT_TRUE(NewLayerCommand(false));
  ASSERT_EQ(3, image->GetLayerCount());
  ExpectListFollowsImage(image);
  EXPECT_EQ(image->GetLastLayer(), image->GetActiveLayer());
  EXPECT_EQ("Layer 3", ListedNames()[0]);

  // Duplicate (through the panel's button) of the bottom layer: the copy lies just above it.
  SelectItem(ItemOfLayer(bottom));
  GetButton(BUTTON_DUPLICATE)->PerformClick();
  ASSERT_EQ(4, image->GetLayerCount());
  ExpectListFollowsImage(image);
  CLayer* copy = bottom->GetNext();
  EXPECT_EQ(copy, image->GetActiveLayer());
  EXPECT_EQ("Layer 4", ListedNames()[2]);

  // Move forward and backward.
  GetButton(BUTTON_MOVE_FORWARD)->PerformClick();
  ExpectListFollowsImage(image);
  EXPECT_EQ(copy, image->GetFirstLayer()->GetNext()->GetNext());
  GetButton(BUTTON_MOVE_BACKWARD)->PerformClick();
  GetButton(BUTTON_MOVE_BACKWARD)->PerformClick();
  ExpectListFollowsImage(image);
  EXPECT_EQ(copy, image->GetFirstLayer());
  EXPECT_EQ(copy, ItemAt(3)->GetLayer());

  // Merge down from the layer above the copy: the copy is the result.
  SelectItem(ItemOfLayer(bottom));
  GetButton(BUTTON_MERGE_DOWN)->PerformClick();
  ASSERT_EQ(3, image->GetLayerCount());
  ExpectListFollowsImage(image);
  EXPECT_EQ(copy, image->GetActiveLayer());

  // Delete: the layer below becomes current, or else the one above.
  GetButton(BUTTON_DELETE)->PerformClick();
  ASSERT_EQ(2, image->GetLayerCount());
  ExpectListFollowsImage(image);

  // Every step comes back in reverse, and forward again.
  const std::vector<std::string> names = ListedNames();
  for (int step = 0; step < 7; ++step) {
    ASSERT_TRUE(UndoCommand()) << step;
    ExpectListFollowsImage(image);
    EXPECT_EQ(image->GetLayerCount(), GetList()->GetCount());
  }
  EXPECT_EQ(2, image->GetLayerCount());
  EXPECT_EQ((std::vector<std::string>{"L2", "L1"}), ListedNames());
  EXPECT_EQ(nullptr, GetUndoAction());
  for (int step = 0; step < 7; ++step) {
    ASSERT_TRUE(RedoCommand()) << step;
    ExpectListFollowsImage(image);
  }
  EXPECT_EQ(names, ListedNames());
  EXPECT_EQ(2, GetList()->GetCount());
}

TEST_F(ImagePanelTest, ThumbnailsFollowStrokesAndReorientation) {
  CImage* image = MakeProject(1, 16, 16);
  Open();
  ShowCurrentImage();
  CRasterLayer* layer = static_cast<CRasterLayer*>(image->GetFirstLayer());
  CLayerListItem* item = ItemAt(0);
  ASSERT_NE(nullptr, item->thumbnail);
  EXPECT_EQ(16, item->thumbnail->width);
  EXPECT_EQ(kLayerColors[0], item->thumbnail->GetPixel(0, 0));

  // A tool's refresh after a stroke.
  layer->GetPixelArray()->FillRect(Rect{0, 0, 8, 16}, 0xFF00FF00u);
  layer->Update(nullptr);
  image->UpdateAll();
  GetEditorUI()->RefreshLayerItem(layer);
  EXPECT_EQ(0xFF00FF00u, item->thumbnail->GetPixel(0, 0));
  EXPECT_EQ(kLayerColors[0], item->thumbnail->GetPixel(15, 0));

  // Flipping the image changes every layer: its item is rebuilt, and again on undo.
  ASSERT_TRUE(FlipImageHorizontalCommand());
  EXPECT_EQ(kLayerColors[0], item->thumbnail->GetPixel(0, 0));
  EXPECT_EQ(0xFF00FF00u, item->thumbnail->GetPixel(15, 0));
  ASSERT_TRUE(UndoCommand());
  EXPECT_EQ(0xFF00FF00u, item->thumbnail->GetPixel(0, 0));

  // Renaming through Layer Properties changes the item's text.
  CLayerPropertiesAction* action = new CLayerPropertiesAction;
  action->SetNewName("Renamed");
  ASSERT_TRUE(ExecuteCommandAction(action));
  EXPECT_STREQ("Renamed", item->text.text);
}

TEST_F(ImagePanelTest, OperationsAreSafeWithoutThePanelOrTheItem) {
  CImage* image = MakeProject(2);
  CLayer* layer = image->GetFirstLayer();
  EXPECT_FALSE(BeginUpdate());
  EXPECT_FALSE(EndUpdate());
  EXPECT_FALSE(Clear());
  EXPECT_FALSE(Rebuild());
  EXPECT_FALSE(AddLayerItem(layer));
  EXPECT_FALSE(MoveLayerItem(layer, nullptr));
  EXPECT_FALSE(RemoveLayerItem(layer));
  EXPECT_FALSE(RefreshLayerItem(layer));
  EXPECT_FALSE(RefreshAllLayerItems());
  EXPECT_FALSE(SelectLayer(layer));
  EXPECT_FALSE(RebindLayerItem(layer, nullptr));
  EXPECT_FALSE(ImagePanel::RefreshAll());
  EXPECT_FALSE(UpdateInfo());
  // Layer commands work without the panel.
  EXPECT_TRUE(NewLayerCommand(false));
  EXPECT_EQ(3, image->GetLayerCount());

  Open();
  EXPECT_FALSE(RefreshLayerItem(layer));
  EXPECT_FALSE(SelectLayer(layer));
  EXPECT_FALSE(EndUpdate());
  ASSERT_TRUE(Rebuild());
  EXPECT_EQ(3, GetList()->GetCount());
  // A layer gets one item only.
  EXPECT_FALSE(AddLayerItem(layer));
  EXPECT_EQ(3, GetList()->GetCount());
  // Merging may point an item at another layer.
  CLayer* other = layer->GetNext();
  CLayerListItem* item = ItemOfLayer(layer);
  ASSERT_TRUE(RebindLayerItem(layer, other));
  EXPECT_EQ(other, item->GetLayer());
}

}  // namespace
