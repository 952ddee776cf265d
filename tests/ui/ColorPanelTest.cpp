#include <gtest/gtest.h>
#include <windows.h>
#include <commdlg.h>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include "document/ScratchFiles.h"
#include "BoxDriver.h"
#include "common/FileDialogText.h"
#include "MainWindowHarness.h"
#include "document/History.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Palette.h"
#include "document/Project.h"
#include "document/Swatches.h"
#include "shell/DialogPoker.h"
#include "shell/Settings.h"
#include "tools/CurrentImage.h"
#include "tools/DrawingColors.h"
#include "ui/ColorPanel.h"
#include "ui/FoldingPanel.h"
#include "ui/StatusBar.h"
#include "ui/Toolbox.h"
#include "wul/MenuDriver.h"
#include "wul/WULCanvas.h"
#include "wul/WULEdit.h"
#include "wul/WULItemBar.h"
#include "wul/WULPageControl.h"
#include "wul/WULPopupBuffer.h"
#include "wul/WindowTestKit.h"

namespace {

const uint32_t kRed = 0xFFFF0000u;
const uint32_t kHalfBlue = 0x800000FFu;
const uint32_t kGreen = 0xFF00FF00u;
const uint32_t kYellow = 0xFFFFFF00u;
const uint32_t kWhite = 0xFFFFFFFFu;
const uint32_t kGrey = 0xFF808080u;

std::vector<uint32_t> SwatchColors() {
  std::vector<uint32_t> colors;
  for (CSwatch* s = g_Swatches.GetFirst(); s; s = CSwatchSet::Next(s))
    colors.push_back(s->color.value);
  return colors;
}

void SetSwatches(const std::vector<uint32_t>& colors) {
  g_Swatches.Clear();
  for (uint32_t c : colors)
    g_Swatches.AddColor(CColor(c));
  ColorPanel::UpdateSwatchGrid();
}

// A current project of one 16 x 16 image in the target format.
CImage* MakeProject(int32_t format) {
  CProject* project = new CProject();
  project->SetName("Colors");
  CImage* image = new CImage();
  image->SetSize(16, 16);
  project->AddImage(image);
  CRasterLayer* layer = new CRasterLayer();
  image->AddLayer(layer);
  image->SetActiveLayer(layer);
  layer->GetPixels()->Fill(0xFF204080u);
  image->UpdateAll();
  image->SetTargetFormat(format);
  project->SetCurrentImage(image);
  project->ClearModified();
  SetCurrentProject(project);
  ResyncWorkingCopies();
  UpdateCommandStates();
  return image;
}

std::string PaneText(int which) {
  CStatusPane* pane = StatusBar::GetPane(which);
  return pane ? pane->GetText() : "<none>";
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const char* text) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(nullptr, f);
  std::fputs(text, f);
  std::fclose(f);
}

void Stroke(HWND target, int key) {
  PostMessageA(target, WM_KEYDOWN, key, KeyParam(key, false));
  PostMessageA(target, WM_KEYUP, key, KeyParam(key, true));
  PumpInDialog();
}

class ColorPanelTest : public testing::Test {
protected:
  static void SetUpTestSuite() { StartMainWindowSuite(); }
  static void TearDownTestSuite() { EndMainWindowSuite(); }

  void SetUp() override {
    PrepareMainWindow();
    savedPrimary = g_Settings.drawingColorsPrimary->GetValue();
    savedSecondary = g_Settings.drawingColorsSecondary->GetValue();
    savedPath = g_Settings.swatchesFilePath->GetValue();
    savedChequerA = g_Settings.uiColorsChequerA->GetValue();
    savedChequerB = g_Settings.uiColorsChequerB->GetValue();
    g_Settings.uiColorsChequerA->SetValue(CColor(0xFFF0F0F0u));
    g_Settings.uiColorsChequerB->SetValue(CColor(0xFFC0C0C0u));
    for (CBoolSetting* folded : {g_Settings.panelsProjectBodyFolded, g_Settings.panelsImageBodyFolded,
                                 g_Settings.panelsToolBodyFolded, g_Settings.panelsPreviewBodyFolded})
      folded->SetValue(true);
    g_Settings.panelsColorBodyFolded->SetValue(false);
    g_Settings.panelsColorBodyClientHeight->SetValue(200);
    g_Settings.drawingColorsPrimary->SetValue(CColor(kWhite));
    g_Settings.drawingColorsSecondary->SetValue(CColor(kWhite));
    g_Swatches.Clear();
    for (uint32_t c : {kRed, kHalfBlue, kGreen, kYellow, kGrey})
      g_Swatches.AddColor(CColor(c));
    ASSERT_TRUE(OpenMainWindow());
    ASSERT_NE(nullptr, g_ColorPanel);
    grid = ColorPanel::GetSwatchGrid();
    ASSERT_NE(nullptr, grid);
    ASSERT_NE(nullptr, grid->GetHandle());
    ASSERT_TRUE(IsWindowVisible(grid->GetHandle()));

    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    static int counter = 0;
    folder = std::string(temp) + "vc-colors-" + std::to_string(GetCurrentProcessId()) + "-" +
             std::to_string(counter++);
    CreateDirectoryA(folder.c_str(), nullptr);
  }

  void TearDown() override {
    if (GetCapture())
      ReleaseCapture();
    DiscardMainWindow();
    if (GetCurrentProject())
      DropProject();
    g_Swatches.Clear();
    g_Settings.drawingColorsPrimary->SetValue(savedPrimary);
    g_Settings.drawingColorsSecondary->SetValue(savedSecondary);
    g_Settings.swatchesFilePath->SetValue(savedPath.c_str());
    g_Settings.uiColorsChequerA->SetValue(savedChequerA);
    g_Settings.uiColorsChequerB->SetValue(savedChequerB);
    RemoveScratchFolder(folder);
  }

  // The client point in the middle of entry i of a grid.
  static POINT CellCentre(CWULTiledCanvas* g, int i) {
    const int columns = ColorPanel::GetColumns(g);
    return POINT{(i % columns) * 15 + 7 - g->GetScrollX(), (i / columns) * 15 + 7 - g->GetScrollY()};
  }
  POINT Cell(int i) const { return CellCentre(grid, i); }

  static void Send(CWULTiledCanvas* g, UINT message, WPARAM keys, int x, int y) {
    wulSendMessage(g->GetHandle(), message, keys, MAKELPARAM(x, y));
  }
  void Send(UINT message, WPARAM keys, int x, int y) { Send(grid, message, keys, x, y); }
  void Send(UINT message, WPARAM keys, POINT p) { Send(grid, message, keys, p.x, p.y); }

  uint32_t Shown(int x, int y) { return RGBAt(grid->GetFirstOverlay()->buffer, x, y); }

  std::string File(const char* name) const { return folder + "\\" + name; }

  CWULTiledCanvas* grid = nullptr;
  CColor savedPrimary;
  CColor savedSecondary;
  CColor savedChequerA;
  CColor savedChequerB;
  std::string savedPath;
  std::string folder;
};

TEST_F(ColorPanelTest, PanelHasTwoPagesButtonBarsAndGrids) {
  EXPECT_STREQ("Color", g_ColorPanel->GetText());
  EXPECT_EQ(80, g_ColorPanel->GetMinClientHeight());
  CWULPageControl* pages = ColorPanel::GetPages();
  ASSERT_NE(nullptr, pages);
  EXPECT_EQ(2, pages->GetFrameStyle());
  EXPECT_EQ(4, pages->GetFirstTabOffset());
  EXPECT_EQ(15, pages->GetTabHeight());
  EXPECT_EQ(1, pages->GetTabInset());
  ASSERT_EQ(2, pages->GetItemCount());
  EXPECT_STREQ("Swatches", pages->FindById(ColorPanel::PAGE_SWATCHES)->GetText());
  EXPECT_STREQ("Palette", pages->FindById(ColorPanel::PAGE_PALETTE)->GetText());
  EXPECT_EQ(pages->FindById(ColorPanel::PAGE_SWATCHES), pages->GetCurrentItem());

  const char* tooltips[] = {"New swatch set...", "Load swatches", "Save swatches", "Add primary color",
                            "Add secondary color", "Lock palette"};
  for (int i = 0; i < ColorPanel::BUTTON_COUNT; ++i) {
    CWULStandardBarItem* button = ColorPanel::GetButton(i);
    ASSERT_NE(nullptr, button) << i;
    EXPECT_STREQ(tooltips[i], button->GetText());
    EXPECT_EQ(18, button->GetWidth());
    EXPECT_EQ(1, button->GetY());
    EXPECT_NE(nullptr, button->GetImage(WUL_BAR_IMAGE_NORMAL)) << i;
    EXPECT_NE(nullptr, button->GetImage(WUL_BAR_IMAGE_DISABLED)) << i;
  }
  EXPECT_EQ(1, ColorPanel::GetButton(ColorPanel::BUTTON_NEW_SET)->GetX());
  EXPECT_EQ(19, ColorPanel::GetButton(ColorPanel::BUTTON_LOAD)->GetX());
  EXPECT_EQ(73, ColorPanel::GetButton(ColorPanel::BUTTON_ADD_SECONDARY)->GetX());
  EXPECT_EQ(WUL_BEHAVIOUR_TOGGLE, ColorPanel::GetButton(ColorPanel::BUTTON_LOCK_PALETTE)->GetBehaviour());

  EXPECT_EQ(2, grid->GetBorderStyle());
  EXPECT_EQ(15, grid->GetLineStepX());
  EXPECT_EQ(15, grid->GetLineStepY());
  const int columns = (grid->GetClientWidth() - 1) / 15;
  EXPECT_EQ(columns, ColorPanel::GetColumns(grid));
  EXPECT_EQ(15 * ((5 + columns - 1) / columns) + 1, grid->GetContentHeight());
  // Without an image the palette page is hidden.
  EXPECT_FALSE(pages->FindById(ColorPanel::PAGE_PALETTE)->IsShown());
  EXPECT_EQ(0, ColorPanel::GetPaletteGrid()->GetContentHeight());
}

TEST_F(ColorPanelTest, GridPaintsOutlinedCellsAndChequersTranslucentOnes) {
  const uint32_t outline = wulColors[1].value & 0xFFFFFFu;
  const uint32_t background = grid->GetColor().value & 0xFFFFFFu;
  // Cell 0: outline from (0, 0) to (15, 15), red inside.
  EXPECT_EQ(outline, Shown(0, 0));
  EXPECT_EQ(outline, Shown(0, 15));
  EXPECT_EQ(outline, Shown(15, 7));
  EXPECT_EQ(outline, Shown(7, 15));
  EXPECT_EQ(0xFF0000u, Shown(1, 1));
  EXPECT_EQ(0xFF0000u, Shown(14, 14));
  // Cell 1, half-transparent blue: the chequer of 4-pixel cells, tinted.
  const uint32_t a = Toolbox::TintChequerCell(g_Settings.uiColorsChequerA->GetValue(), CColor(kHalfBlue)) & 0xFFFFFFu;
  const uint32_t b = Toolbox::TintChequerCell(g_Settings.uiColorsChequerB->GetValue(), CColor(kHalfBlue)) & 0xFFFFFFu;
  ASSERT_NE(a, b);
  EXPECT_EQ(a, Shown(16, 1));
  EXPECT_EQ(b, Shown(20, 1));
  EXPECT_EQ(b, Shown(16, 4));
  EXPECT_EQ(a, Shown(20, 4));
  EXPECT_EQ(outline, Shown(30, 5));
  // Cell 2 green, cell 4 grey; after the last cell only the grid's colour.
  EXPECT_EQ(0x00FF00u, Shown(31, 8));
  EXPECT_EQ(0x808080u, Shown(61, 1));
  EXPECT_EQ(outline, Shown(75, 0));
  EXPECT_EQ(background, Shown(77, 5));
  EXPECT_EQ(background, Shown(5, 17));

  // The chequer keeps to the content when the grid scrolls.
  std::vector<uint32_t> many(200, kHalfBlue);
  SetSwatches(many);
  grid->SetScrollY(2);
  grid->RenderAll(nullptr);
  EXPECT_EQ(a, Shown(16, 0));  // content (16, 2)
  EXPECT_EQ(b, Shown(16, 2));  // content (16, 4)
  EXPECT_EQ(outline, Shown(16, 13));  // content row 15
}

TEST_F(ColorPanelTest, ClickingTheSeparatorBetweenCellsPicksNothing) {
  EXPECT_EQ(-1, ColorPanel::EntryAt(grid, 15, 7));
  EXPECT_EQ(-1, ColorPanel::EntryAt(grid, 7, 15));
  EXPECT_EQ(0, ColorPanel::EntryAt(grid, 14, 14));
  EXPECT_EQ(1, ColorPanel::EntryAt(grid, 16, 1));
  EXPECT_EQ(-1, ColorPanel::EntryAt(grid, 5 * 15 + 7, 7));  // past the last swatch
  Send(WM_LBUTTONDOWN, MK_LBUTTON, 15, 7);
  EXPECT_EQ(ColorPanel::PRESS_IDLE, ColorPanel::GetPressState());
  EXPECT_EQ(nullptr, GetCapture());
  Send(WM_LBUTTONUP, 0, 15, 7);
  EXPECT_EQ(kWhite, GetPrimaryColor().value);
}

TEST_F(ColorPanelTest, ShortPressesPickPrimaryWithTheLeftAndSecondaryWithTheRightButton) {
  POINT p = Cell(2);
  Send(WM_LBUTTONDOWN, MK_LBUTTON, p);
  EXPECT_EQ(ColorPanel::PRESS_PRESSED, ColorPanel::GetPressState());
  EXPECT_EQ(grid->GetHandle(), GetCapture());
  Send(WM_MOUSEMOVE, MK_LBUTTON, p.x + 3, p.y - 3);
  EXPECT_EQ(ColorPanel::PRESS_PRESSED, ColorPanel::GetPressState());
  EXPECT_EQ(nullptr, ColorPanel::GetDragWindow());
  // Another button's release does nothing.
  Send(WM_RBUTTONUP, MK_LBUTTON, p.x + 3, p.y - 3);
  EXPECT_EQ(grid->GetHandle(), GetCapture());
  Send(WM_LBUTTONUP, 0, p.x + 3, p.y - 3);
  EXPECT_EQ(ColorPanel::PRESS_IDLE, ColorPanel::GetPressState());
  EXPECT_EQ(nullptr, GetCapture());
  EXPECT_EQ(kGreen, GetPrimaryColor().value);
  EXPECT_EQ(kWhite, GetSecondaryColor().value);

  p = Cell(1);
  Send(WM_RBUTTONDOWN, MK_RBUTTON, p);
  Send(WM_RBUTTONUP, 0, p);
  EXPECT_EQ(kHalfBlue, GetSecondaryColor().value);
  EXPECT_EQ(kGreen, GetPrimaryColor().value);

  // The middle button picks nothing.
  p = Cell(3);
  Send(WM_MBUTTONDOWN, MK_MBUTTON, p);
  EXPECT_EQ(ColorPanel::PRESS_PRESSED, ColorPanel::GetPressState());
  Send(WM_MBUTTONUP, 0, p);
  EXPECT_EQ(ColorPanel::PRESS_IDLE, ColorPanel::GetPressState());
  EXPECT_EQ(kGreen, GetPrimaryColor().value);
  EXPECT_EQ(kHalfBlue, GetSecondaryColor().value);
  EXPECT_EQ(5u, SwatchColors().size());
}

TEST_F(ColorPanelTest, DraggingASwatchOutOfTheGridDeletesItUnlessShiftIsHeld) {
  KeyStateScope keys;
  const POINT p = Cell(1);
  Send(WM_LBUTTONDOWN, MK_LBUTTON, p);
  Send(WM_MOUSEMOVE, MK_LBUTTON, p.x + 4, p.y);
  EXPECT_EQ(ColorPanel::PRESS_DRAGGING, ColorPanel::GetPressState());
  CWULPopupBuffer* drag = ColorPanel::GetDragWindow();
  ASSERT_NE(nullptr, drag);
  ASSERT_NE(nullptr, drag->GetHandle());
  EXPECT_TRUE(IsWindowVisible(drag->GetHandle()));
  // At the pointer minus the place of the press inside the cell.
  POINT screen = {p.x + 4, p.y};
  ClientToScreen(grid->GetHandle(), &screen);
  RECT rect;
  GetWindowRect(drag->GetHandle(), &rect);
  EXPECT_EQ(screen.x - 7, rect.left);
  EXPECT_EQ(screen.y - 7, rect.top);
  EXPECT_EQ(16, rect.right - rect.left);
  EXPECT_EQ(16, rect.bottom - rect.top);
  // The translucent colour over the chequer.
  const uint32_t a = Toolbox::TintChequerCell(g_Settings.uiColorsChequerA->GetValue(), CColor(kHalfBlue)) & 0xFFFFFFu;
  const uint32_t b = Toolbox::TintChequerCell(g_Settings.uiColorsChequerB->GetValue(), CColor(kHalfBlue)) & 0xFFFFFFu;
  EXPECT_EQ(a, RGBAt(drag->buffer, 0, 0));
  EXPECT_EQ(b, RGBAt(drag->buffer, 4, 0));
  // While dragging, the status bar shows the grabbed colour.
  CStatusRegistry::Entry* entry = CStatusRegistry::Find(grid->GetHandle());
  ASSERT_NE(nullptr, entry);
  entry->updater(200, 150);
  EXPECT_EQ("0,0,255 : 128", PaneText(StatusBar::PANE_COLOR));

  // Out to the left and released: gone.
  Send(WM_MOUSEMOVE, MK_LBUTTON, -120, p.y);
  GetWindowRect(drag->GetHandle(), &rect);
  screen = POINT{-120, p.y};
  ClientToScreen(grid->GetHandle(), &screen);
  EXPECT_EQ(screen.x - 7, rect.left);
  Send(WM_LBUTTONUP, 0, -120, p.y);
  EXPECT_EQ(ColorPanel::PRESS_IDLE, ColorPanel::GetPressState());
  EXPECT_EQ(nullptr, ColorPanel::GetDragWindow());
  EXPECT_EQ((std::vector<uint32_t>{kRed, kGreen, kYellow, kGrey}), SwatchColors());
  EXPECT_EQ(kWhite, GetPrimaryColor().value);

  // With Shift held at the release it stays.
  Send(WM_LBUTTONDOWN, MK_LBUTTON, Cell(0));
  Send(WM_MOUSEMOVE, MK_LBUTTON, Cell(0).x, Cell(0).y + 6);
  Send(WM_MOUSEMOVE, MK_LBUTTON, -120, 40);
  keys.Press(VK_SHIFT);
  Send(WM_LBUTTONUP, MK_SHIFT, -120, 40);
  EXPECT_EQ((std::vector<uint32_t>{kRed, kGreen, kYellow, kGrey}), SwatchColors());
  EXPECT_EQ(nullptr, ColorPanel::GetDragWindow());
}

TEST_F(ColorPanelTest, DroppingOntoAnotherSwatchMovesItAndWithShiftCopiesIt) {
  KeyStateScope keys;
  // Swatch 0 dropped where swatch 3 lies goes before it.
  Send(WM_LBUTTONDOWN, MK_LBUTTON, Cell(0));
  Send(WM_MOUSEMOVE, MK_LBUTTON, Cell(1));
  Send(WM_MOUSEMOVE, MK_LBUTTON, Cell(3));
  Send(WM_LBUTTONUP, 0, Cell(3));
  EXPECT_EQ((std::vector<uint32_t>{kHalfBlue, kGreen, kRed, kYellow, kGrey}), SwatchColors());

  // With Shift a copy of swatch 4 goes before swatch 1.
  Send(WM_LBUTTONDOWN, MK_LBUTTON, Cell(4));
  Send(WM_MOUSEMOVE, MK_LBUTTON, Cell(1));
  keys.Press(VK_SHIFT);
  Send(WM_LBUTTONUP, MK_SHIFT, Cell(1));
  EXPECT_EQ((std::vector<uint32_t>{kHalfBlue, kGrey, kGreen, kRed, kYellow, kGrey}), SwatchColors());
  keys.Clear();

  // Dropped past the last swatch: to the end.
  const POINT beyond = {Cell(0).x + 15 * 8, Cell(0).y + 15};
  Send(WM_LBUTTONDOWN, MK_LBUTTON, Cell(0));
  Send(WM_MOUSEMOVE, MK_LBUTTON, beyond);
  Send(WM_LBUTTONUP, 0, beyond);
  EXPECT_EQ((std::vector<uint32_t>{kGrey, kGreen, kRed, kYellow, kGrey, kHalfBlue}), SwatchColors());
  const int columns = ColorPanel::GetColumns(grid);
  EXPECT_EQ(15 * ((6 + columns - 1) / columns) + 1, grid->GetContentHeight());
  EXPECT_EQ(0x808080u, Shown(1, 1));
}

TEST_F(ColorPanelTest, StatusBarDescribesTheCellUnderThePointer) {
  CStatusRegistry::Entry* entry = CStatusRegistry::Find(grid->GetHandle());
  ASSERT_NE(nullptr, entry);
  ASSERT_NE(nullptr, entry->updater);
  entry->updater(Cell(0).x, Cell(0).y);
  EXPECT_EQ("Left/right click to pick, double-click to modify, drag to move or delete color.",
            PaneText(StatusBar::PANE_HELP));
  EXPECT_EQ("255,0,0", PaneText(StatusBar::PANE_COLOR));
  entry->updater(Cell(1).x, Cell(1).y);
  EXPECT_EQ("0,0,255 : 128", PaneText(StatusBar::PANE_COLOR));
  entry->updater(15, 3);
  EXPECT_EQ("", PaneText(StatusBar::PANE_COLOR));

  // While pressed the grabbed colour stays, wherever the pointer is.
  Send(WM_LBUTTONDOWN, MK_LBUTTON, Cell(2));
  entry->updater(15, 3);
  EXPECT_EQ("0,255,0", PaneText(StatusBar::PANE_COLOR));
  Send(WM_LBUTTONUP, 0, Cell(2));

  // The palette grid has its own text.
  MakeProject(CImage::FORMAT_4BIT_PALETTE);
  CWULTiledCanvas* palette = ColorPanel::GetPaletteGrid();
  ColorPanel::GetPages()->SelectById(ColorPanel::PAGE_PALETTE);
  PumpPending();
  CStatusRegistry::Entry* paletteEntry = CStatusRegistry::Find(palette->GetHandle());
  ASSERT_NE(nullptr, paletteEntry);
  const POINT p = CellCentre(palette, 0);
  paletteEntry->updater(p.x, p.y);
  EXPECT_EQ("Left/right click to pick color.", PaneText(StatusBar::PANE_HELP));
  const CPaletteEntry* first = GetCurrentImage()->GetPalette()->GetEntry(0);
  char text[64];
  std::snprintf(text, sizeof text, "%d,%d,%d", first->GetRed(), first->GetGreen(), first->GetBlue());
  EXPECT_EQ(text, PaneText(StatusBar::PANE_COLOR));
}

TEST_F(ColorPanelTest, PointerOverACellShowsThePickCursor) {
  POINT screen = Cell(0);
  ClientToScreen(grid->GetHandle(), &screen);
  SetCursorPos(screen.x, screen.y);
  ASSERT_NE(nullptr, grid->setCursorHandler);
  HCURSOR cursor = nullptr;
  RECT window;
  GetWindowRect(grid->GetHandle(), &window);
  EXPECT_EQ(1, grid->setCursorHandler(grid, &cursor, HTCLIENT, screen.x - window.left, screen.y - window.top));
  EXPECT_EQ(GetAppCursor(ColorPanel::CURSOR_PICK), cursor);
  POINT gap = {15, 3};
  ClientToScreen(grid->GetHandle(), &gap);
  EXPECT_EQ(0, grid->setCursorHandler(grid, &cursor, HTCLIENT, gap.x - window.left, gap.y - window.top));
}

TEST_F(ColorPanelTest, WheelScrollsByTheLineStep) {
  SetSwatches(std::vector<uint32_t>(300, kGreen));
  ASSERT_GT(grid->GetContentHeight(), grid->GetClientHeight() + 60);
  POINT screen = {20, 20};
  ClientToScreen(grid->GetHandle(), &screen);
  wulSendMessage(grid->GetHandle(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-2 * WHEEL_DELTA)), MAKELPARAM(screen.x, screen.y));
  EXPECT_EQ(30, grid->GetScrollY());
  wulSendMessage(grid->GetHandle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(screen.x, screen.y));
  EXPECT_EQ(15, grid->GetScrollY());
  // Refused while another window holds the capture.
  SetCapture(g_MainWindow->GetHandle());
  EXPECT_FALSE(grid->wheelAcceptHandler(grid, 20, 20));
  ReleaseCapture();
  EXPECT_TRUE(grid->wheelAcceptHandler(grid, 20, 20));
}

TEST_F(ColorPanelTest, AddButtonsAppendTheDrawingColoursAndShowTheEnd) {
  SetSwatches(std::vector<uint32_t>(300, kGreen));
  g_Settings.drawingColorsPrimary->SetValue(CColor(kYellow));
  g_Settings.drawingColorsSecondary->SetValue(CColor(kHalfBlue));
  ColorPanel::GetButton(ColorPanel::BUTTON_ADD_PRIMARY)->PerformClick();
  ColorPanel::GetButton(ColorPanel::BUTTON_ADD_SECONDARY)->PerformClick();
  std::vector<uint32_t> colors = SwatchColors();
  ASSERT_EQ(302u, colors.size());
  EXPECT_EQ(kYellow, colors[300]);
  EXPECT_EQ(kHalfBlue, colors[301]);
  const int columns = ColorPanel::GetColumns(grid);
  EXPECT_EQ(15 * ((302 + columns - 1) / columns) + 1, grid->GetContentHeight());
  EXPECT_EQ(grid->GetContentHeight() - grid->GetClientHeight(), grid->GetScrollY());
  // The last swatch is in view.
  const POINT last = Cell(301);
  EXPECT_EQ(301, ColorPanel::EntryAt(grid, last.x, last.y));
}

TEST_F(ColorPanelTest, NewSwatchSetMenuOpensBelowTheButton) {
  CWULMenu* menu = ColorPanel::GetNewSetMenu();
  ASSERT_NE(nullptr, menu);
  CWULStandardBarItem* button = ColorPanel::GetButton(ColorPanel::BUTTON_NEW_SET);
  POINT corner = {button->GetX(), button->GetBottom()};
  ClientToScreen(button->GetBar()->GetHandle(), &corner);
  grid->SetScrollY(10);
  RECT shell = {0, 0, 0, 0};
  {
    MenuScript script(menu);
    script
        .Then([&] {
          CWULPopupMenuShell* s = MenuScript::ShellOf(menu);
          if (!s || !s->IsRunning() || !s->window)
            return false;
          GetWindowRect(s->window, &shell);
          return true;
        })
        .Char(menu, 'e');
    button->PerformClick();
    EXPECT_TRUE(script.Finished());
  }
  SettleWindows();
  EXPECT_EQ(corner.x, shell.left);
  EXPECT_EQ(corner.y, shell.top);
  EXPECT_EQ(0, g_Swatches.GetCount());
  EXPECT_EQ(1, grid->GetContentHeight());

  {
    MenuScript script(menu);
    script.Char(menu, 's');
    button->PerformClick();
    EXPECT_TRUE(script.Finished());
  }
  SettleWindows();
  EXPECT_EQ(48, g_Swatches.GetCount());
  EXPECT_EQ(0, grid->GetScrollY());
  EXPECT_EQ(0x000000u, Shown(1, 1));
}

TEST_F(ColorPanelTest, DoubleClickEditsTheSwatchInThePicker) {
  const POINT p = Cell(0);
  BoxDriver::Run(
      "Color",
      [](CWULAppWindow* dialog) {
        CWULEdit* hex = nullptr;
        for (CWULInteractor* child = dialog->firstChild; child; child = child->nextSibling)
          if (auto* edit = dynamic_cast<CWULEdit*>(child))
            hex = edit;
        if (!hex)
          return;
        hex->SetFocus();
        PumpInDialog();
        hex->SelectAll();
        for (const char* k = "0000FF"; *k; ++k)
          Stroke(hex->GetEditWindow(), *k);
        Stroke(hex->GetEditWindow(), VK_RETURN);
      },
      [&] {
        Send(WM_LBUTTONDBLCLK, MK_LBUTTON, p);
        return 0;
      });
  EXPECT_TRUE(BoxDriver::Ran());
  EXPECT_FALSE(BoxDriver::TimedOut());
  EXPECT_EQ(0xFF0000FFu, SwatchColors()[0]);
  EXPECT_EQ(0x0000FFu, Shown(3, 3));
  EXPECT_EQ(ColorPanel::PRESS_IDLE, ColorPanel::GetPressState());
}

TEST_F(ColorPanelTest, PalettePageFollowsTheImageFormat) {
  CWULPageControl* pages = ColorPanel::GetPages();
  CWULPageControlItem* palettePage = pages->FindById(ColorPanel::PAGE_PALETTE);
  CWULStandardBarItem* lock = ColorPanel::GetButton(ColorPanel::BUTTON_LOCK_PALETTE);
  CWULTiledCanvas* palette = ColorPanel::GetPaletteGrid();

  // A 4-bit image: the page is shown, but the lock is disabled.
  MakeProject(CImage::FORMAT_4BIT_PALETTE);
  EXPECT_TRUE(palettePage->IsShown());
  EXPECT_FALSE(lock->IsEnabled());
  EXPECT_TRUE(lock->IsChecked());
  pages->SelectById(ColorPanel::PAGE_PALETTE);
  PumpPending();
  ASSERT_TRUE(IsWindowVisible(palette->GetHandle()));
  const int columns = ColorPanel::GetColumns(palette);
  EXPECT_EQ(15 * ((16 + columns - 1) / columns) + 1, palette->GetContentHeight());
  // Its entries are painted and picked like swatches.
  const CPaletteEntry* entry = GetCurrentImage()->GetPalette()->GetEntry(5);
  const uint32_t rgb = (entry->GetRed() << 16) | (entry->GetGreen() << 8) | entry->GetBlue();
  const POINT p = CellCentre(palette, 5);
  EXPECT_EQ(rgb, RGBAt(palette->GetFirstOverlay()->buffer, p.x, p.y));
  Send(palette, WM_LBUTTONDOWN, MK_LBUTTON, p.x, p.y);
  Send(palette, WM_MOUSEMOVE, MK_LBUTTON, p.x + 2, p.y);
  Send(palette, WM_LBUTTONUP, 0, p.x + 2, p.y);
  EXPECT_EQ(0xFF000000u | rgb, GetPrimaryColor().value);
  // A drag on the palette drops nothing and picks nothing.
  Send(palette, WM_RBUTTONDOWN, MK_RBUTTON, p.x, p.y);
  Send(palette, WM_MOUSEMOVE, MK_RBUTTON, p.x + 30, p.y);
  EXPECT_EQ(ColorPanel::PRESS_DRAGGING, ColorPanel::GetPressState());
  EXPECT_EQ(nullptr, ColorPanel::GetDragWindow());
  Send(palette, WM_RBUTTONUP, 0, p.x + 30, p.y);
  EXPECT_EQ(kWhite, GetSecondaryColor().value);
  EXPECT_EQ(5u, SwatchColors().size());

  // A 24-bit image has no palette: the page goes and the swatches are shown.
  DropProject();
  MakeProject(CImage::FORMAT_24BIT_RGB);
  EXPECT_FALSE(palettePage->IsShown());
  EXPECT_EQ(pages->FindById(ColorPanel::PAGE_SWATCHES), pages->GetCurrentItem());
  EXPECT_EQ(0, palette->GetContentHeight());

  // An 8-bit image: shown, the lock enabled and up.
  DropProject();
  MakeProject(CImage::FORMAT_8BIT_PALETTE);
  EXPECT_TRUE(palettePage->IsShown());
  EXPECT_TRUE(lock->IsEnabled());
  EXPECT_FALSE(lock->IsChecked());
}

TEST_F(ColorPanelTest, LockPaletteIsAnUndoableImageChange) {
  CImage* image = MakeProject(CImage::FORMAT_8BIT_PALETTE);
  CWULStandardBarItem* lock = ColorPanel::GetButton(ColorPanel::BUTTON_LOCK_PALETTE);
  ASSERT_FALSE(image->IsPaletteFixed());
  lock->PerformClick();
  EXPECT_TRUE(image->IsPaletteFixed());
  EXPECT_TRUE(lock->IsChecked());
  ASSERT_NE(nullptr, image->GetHistory()->GetCurrent());
  EXPECT_STREQ("Lock Palette", image->GetHistory()->GetCurrent()->GetName());
  EXPECT_EQ(1, image->GetHistory()->GetCount());

  lock->PerformClick();
  EXPECT_FALSE(image->IsPaletteFixed());
  EXPECT_FALSE(lock->IsChecked());
  EXPECT_STREQ("Unlock Palette", image->GetHistory()->GetCurrent()->GetName());
  EXPECT_EQ(2, image->GetHistory()->GetCount());

  ASSERT_TRUE(image->GetHistory()->Undo());
  UpdateCommandStates();
  EXPECT_TRUE(image->IsPaletteFixed());
  EXPECT_TRUE(lock->IsChecked());
  ASSERT_TRUE(image->GetHistory()->Undo());
  UpdateCommandStates();
  EXPECT_FALSE(image->IsPaletteFixed());
  EXPECT_FALSE(lock->IsChecked());
  // Setting the button's state from the image adds nothing to the history.
  EXPECT_EQ(2, image->GetHistory()->GetCount());
  EXPECT_FALSE(image->GetHistory()->CanUndo());
}

TEST_F(ColorPanelTest, SaveAndLoadCommandsRoundTripASwatchFile) {
  g_Settings.swatchesFilePath->SetValue(folder.c_str());
  std::string offered;
  {
    DialogPoker poker("Save swatch set", [&](HWND dialog) {
      offered = FileNameSpec(dialog);
      ConfirmFileName(dialog, "mine");
    });
    SaveSwatchSetCommand();
    EXPECT_EQ(1, poker.Count());
  }
  EXPECT_EQ("COLORS.vccolors", offered);
  const std::string text = ReadFile(File("mine.vccolors"));
  EXPECT_EQ(0u, text.find("VELLUMCRAFT.COLORS"));
  EXPECT_NE(std::string::npos, text.find("RGBA255 \"255,0,0\";"));
  EXPECT_NE(std::string::npos, text.find("RGBA255 \"0,0,255:128\";"));
  EXPECT_EQ(folder + "\\", g_Settings.swatchesFilePath->GetValue());

  SetSwatches({kWhite});
  grid->SetScrollY(0);
  {
    DialogPoker poker("Load swatch set", [&](HWND dialog) { ConfirmFileName(dialog, "mine.vccolors"); });
    LoadSwatchSetCommand();
    EXPECT_EQ(1, poker.Count());
  }
  EXPECT_EQ((std::vector<uint32_t>{kRed, kHalfBlue, kGreen, kYellow, kGrey}), SwatchColors());
  EXPECT_EQ(0xFF0000u, Shown(1, 1));
  EXPECT_EQ(0x00FF00u, Shown(31, 1));
}

TEST_F(ColorPanelTest, LoadingABadFileReportsItAndKeepsTheSwatches) {
  g_Settings.swatchesFilePath->SetValue(folder.c_str());
  WriteFile(File("future.vccolors"), "VELLUMCRAFT.COLORS { VERSION \"2.0\"; COLOR { RGBA255 \"1,2,3\"; } }");
  WriteFile(File("short.vccolors"), "VELLUMCRAFT.COLORS { VERSION \"1.0\"; COLOR { RGBA255 \"1,2\"; } }");
  WriteFile(File("cut.vccolors"), "VELLUMCRAFT.COLORS { VERSION \"1.0\"; COLOR { RGBA255 \"1,2,3\"; } COLOR { RGBA255 \"4,5");
  const std::vector<uint32_t> before = SwatchColors();
  BoxWatcher errors("Vellumcraft :: Error");
  for (const char* name : {"future.vccolors", "short.vccolors", "cut.vccolors"}) {
    DialogPoker poker("Load swatch set", [&](HWND dialog) { ConfirmFileName(dialog, name); });
    LoadSwatchSetCommand();
    EXPECT_EQ(1, poker.Count());
  }
  ASSERT_TRUE(errors.WaitFor(3, 5000));
  EXPECT_EQ("Unsupported format", errors.Texts()[0]);
  EXPECT_EQ("Invalid data", errors.Texts()[1]);
  EXPECT_EQ("Invalid data", errors.Texts()[2]);
  EXPECT_EQ(before, SwatchColors());
  EXPECT_EQ(0xFF0000u, Shown(1, 1));
}

TEST_F(ColorPanelTest, ClosingThePanelKeepsItsStateForTheNextRun) {
  g_ColorPanel->SetClientHeight(150);
  DiscardMainWindow();
  EXPECT_EQ(nullptr, g_ColorPanel);
  EXPECT_EQ(nullptr, ColorPanel::GetSwatchGrid());
  EXPECT_EQ(nullptr, ColorPanel::GetPages());
  EXPECT_EQ(nullptr, ColorPanel::GetNewSetMenu());
  EXPECT_EQ(nullptr, ColorPanel::GetButton(ColorPanel::BUTTON_LOAD));
  EXPECT_FALSE(g_Settings.panelsColorBodyFolded->GetValue());
  EXPECT_EQ(150, g_Settings.panelsColorBodyClientHeight->GetValue());
  // Nothing to update without the panel.
  ColorPanel::Refresh();
  ColorPanel::UpdateSwatchGrid();
}

}  // namespace
