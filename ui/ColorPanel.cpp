#include "ui/ColorPanel.h"
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>
#include "document/Actions.h"
#include "document/History.h"
#include "document/Image.h"
#include "document/Painters.h"
#include "document/Palette.h"
#include "document/PixelArray.h"
#include "document/Swatches.h"
#include "shell/Errors.h"
#include "shell/FileDialogs.h"
#include "shell/PluginLoader.h"
#include "shell/Settings.h"
#include "tools/CurrentImage.h"
#include "tools/DrawingColors.h"
#include "tools/ImageCommands.h"
#include "ui/AppCursors.h"
#include "ui/ColorPickerDialog.h"
#include "ui/FoldingPanel.h"
#include "ui/PanelParts.h"
#include "ui/MainWindow.h"
#include "ui/PanelResourceIds.h"
#include "ui/StatusBar.h"
#include "ui/Toolbox.h"
#include "wul/WULAppWindow.h"
#include "wul/WULCanvas.h"
#include "wul/WULDraw.h"
#include "wul/WULError.h"
#include "wul/WULImage.h"
#include "wul/WULInit.h"
#include "wul/WULItemBar.h"
#include "wul/WULMenu.h"
#include "wul/WULMenuShell.h"
#include "wul/WULPageControl.h"
#include "wul/WULPopupBuffer.h"
#include "wul/WULPopupMenu.h"

CVCFoldingPanel* g_ColorPanel = nullptr;

namespace {

const int kPitch = ColorPanel::CELL_PITCH;
const int kDragDistance = 4;
const int kDragWindowSize = 16;
const int kChequerCell = 4;
const int32_t kSwatchTypeId = 1;
const char kSwatchTypeName[] = "Vellumcraft swatch set";
const char kSwatchExtension[] = "vccolors";

CWULPageControl* g_Pages = nullptr;
CWULPageControlItem* g_SwatchPage = nullptr;
CWULPageControlItem* g_PalettePage = nullptr;
CWULTiledCanvas* g_SwatchGrid = nullptr;
CWULTiledCanvas* g_PaletteGrid = nullptr;
CWULStandardBarItem* g_Buttons[ColorPanel::BUTTON_COUNT] = {};
CWULMenu* g_NewSetMenu = nullptr;
// Set while the panel writes the lock button's state itself.
bool g_UpdatingLock = false;
// Set while a grid's content height follows a change of its client size.
bool g_Fitting = false;

// What the pointer holds; shared by both grids.
struct PressState {
  int32_t state = ColorPanel::PRESS_IDLE;
  int32_t button = 0;  // 1 left, 2 right, 3 middle
  CWULTiledCanvas* grid = nullptr;
  POINT pressAt = {0, 0};  // client point of the press
  POINT grabOffset = {0, 0};  // the press inside the outlined cell
  CSwatch* swatch = nullptr;
  int32_t paletteIndex = -1;
  CColor color;
  CWULPopupBuffer* dragWindow = nullptr;
  bool cursorHidden = false;
};
PressState g_Press;

CImage* Image() { return GetCurrentImage(); }

CPalette* CurrentPalette() {
  CImage* image = Image();
  return image ? image->GetPalette() : nullptr;
}

bool IsSwatchGrid(CWULInteractor* grid) { return grid && grid == g_SwatchGrid; }

int32_t EntryCount(CWULTiledCanvas* grid) {
  if (!grid)
    return 0;
  if (grid == g_SwatchGrid)
    return g_Swatches.GetCount();
  if (grid == g_PaletteGrid) {
    CPalette* palette = CurrentPalette();
    return palette ? palette->GetCount() : 0;
  }
  return 0;
}

CColor EntryColor(CWULTiledCanvas* grid, int32_t index) {
  if (grid == g_SwatchGrid) {
    CSwatch* swatch = g_Swatches.FindByNumber(index + 1);
    return swatch ? swatch->color : CColor();
  }
  CPalette* palette = CurrentPalette();
  const CPaletteEntry* entry = palette ? palette->GetEntry(index) : nullptr;
  if (!entry)
    return CColor();
  return CColor(static_cast<uint32_t>(entry->GetAlpha()), static_cast<uint32_t>(entry->GetRed()),
                static_cast<uint32_t>(entry->GetGreen()), static_cast<uint32_t>(entry->GetBlue()));
}

CColor SettingColor(CColorSetting* setting, uint32_t fallback) {
  return setting ? setting->GetValue() : CColor(fallback);
}

// The two chequer colours with the colour blended over them by its alpha.
CChequer TintedChequer(CColor color, int32_t originX, int32_t originY) {
  CChequer chequer;
  chequer.originX = originX;
  chequer.originY = originY;
  chequer.cellSize = kChequerCell;
  chequer.colorA = Toolbox::TintChequerCell(SettingColor(g_Settings.uiColorsChequerA, 0xFFF0F0F0u), color);
  chequer.colorB = Toolbox::TintChequerCell(SettingColor(g_Settings.uiColorsChequerB, 0xFFC0C0C0u), color);
  return chequer;
}

// A colour cell: plain when opaque, the tinted chequer when translucent.
void FillColor(CPixelArray& view, const Rect& area, CColor color, int32_t originX, int32_t originY) {
  if (area.IsEmpty())
    return;
  if (color.GetAlpha() == 255)
    view.FillRect(area, color.value);
  else
    PaintChequer(view, area, TintedChequer(color, originX, originY));
}

void ResetPress() {
  g_Press = PressState();
}

// --- drag window ---

void PaintDragWindow(CWULPopupBuffer* window, CColor color) {
  CWULImage* image = window ? window->GetImage() : nullptr;
  if (!image || !image->pixels)
    return;
  GdiFlush();
  CPixelArray view(image->pixels, image->width, image->height);
  Rect all;
  all.right = image->width;
  all.bottom = image->height;
  FillColor(view, all, color, 0, 0);
}

void DestroyDragWindow() {
  CWULPopupBuffer* window = g_Press.dragWindow;
  g_Press.dragWindow = nullptr;
  delete window;
  if (g_Press.cursorHidden) {
    g_Press.cursorHidden = false;
    ShowCursor(TRUE);
  }
}

// The screen point of a client point of the grid.
POINT ToScreen(CWULTiledCanvas* grid, int x, int y) {
  POINT point = {x, y};
  if (grid && grid->window)
    ClientToScreen(grid->window, &point);
  return point;
}

void PlaceDragWindow(const POINT& screen) {
  if (g_Press.dragWindow)
    g_Press.dragWindow->SetPosition(screen.x - g_Press.grabOffset.x, screen.y - g_Press.grabOffset.y);
}

void CreateDragWindow(CWULTiledCanvas* grid, int x, int y) {
  CWULPopupBuffer* window = new CWULPopupBuffer;
  g_Press.dragWindow = window;
  try {
    window->SetVisible(false);
    window->SetSize(kDragWindowSize, kDragWindowSize);
    PlaceDragWindow(ToScreen(grid, x, y));
    PaintDragWindow(window, g_Press.color);
    window->Incarnate(nullptr);
    window->Show();
  } catch (...) {
    DestroyDragWindow();
    throw;
  }
  if (!g_Press.cursorHidden) {
    g_Press.cursorHidden = true;
    ShowCursor(FALSE);
  }
}

// --- dropping ---

// The swatch the dragged one goes before (null: the end), from the drag window's place.
CSwatch* DropTarget(CWULTiledCanvas* grid, const RECT& drag) {
  RECT client;
  ::GetClientRect(grid->window, &client);
  POINT point = {drag.left + kPitch - 1, (drag.top + drag.bottom) / 2};
  ScreenToClient(grid->window, &point);
  point.x = std::max<LONG>(0, std::min<LONG>(point.x, client.right - 1));
  point.y = std::max<LONG>(0, std::min<LONG>(point.y, client.bottom - 1));
  const int32_t columns = ColorPanel::GetColumns(grid);
  const int32_t column = std::min(static_cast<int32_t>((point.x + grid->GetScrollX()) / kPitch), columns);
  const int32_t row = static_cast<int32_t>((point.y + grid->GetScrollY()) / kPitch);
  const int64_t index = static_cast<int64_t>(row) * columns + column;
  if (index >= g_Swatches.GetCount())
    return nullptr;
  return g_Swatches.FindByNumber(static_cast<int32_t>(index) + 1);
}

bool InSet(const CSwatch* swatch) {
  for (CSwatch* s = g_Swatches.GetFirst(); s; s = CSwatchSet::Next(s))
    if (s == swatch)
      return true;
  return false;
}

void DropSwatch(CWULTiledCanvas* grid, CSwatch* swatch, CColor color, const RECT& drag) {
  if (!swatch || !InSet(swatch))
    return;
  const bool copy = wulIsShiftDown();
  RECT client;
  ::GetClientRect(grid->window, &client);
  MapWindowPoints(grid->window, nullptr, reinterpret_cast<POINT*>(&client), 2);
  if (wulRectsOverlap(&drag, &client)) {
    CSwatch* before = DropTarget(grid, drag);
    if (copy)
      g_Swatches.Insert(new CSwatch(color), before);
    else
      g_Swatches.Move(swatch, before);
  } else if (!copy) {
    g_Swatches.Delete(swatch);
  }
}

// The end of a press: a click picks the colour, a drag on the swatch grid drops the swatch.
void FinishPress(CWULTiledCanvas* grid) {
  if (g_Press.state == ColorPanel::PRESS_IDLE || g_Press.grid != grid)
    return;
  const PressState press = g_Press;
  RECT drag = {0, 0, 0, 0};
  if (press.dragWindow && press.dragWindow->window)
    GetWindowRect(press.dragWindow->window, &drag);
  else if (press.dragWindow)
    drag = RECT{press.dragWindow->x, press.dragWindow->y, press.dragWindow->x + press.dragWindow->width,
                press.dragWindow->y + press.dragWindow->height};
  DestroyDragWindow();
  ResetPress();
  if (press.state == ColorPanel::PRESS_PRESSED) {
    if (press.button == 1)
      SetPrimaryColor(press.color);
    else if (press.button == 2)
      SetSecondaryColor(press.color);
  } else if (IsSwatchGrid(grid) && press.dragWindow) {
    DropSwatch(grid, press.swatch, press.color, drag);
    ColorPanel::UpdateSwatchGridHeight();
  }
}

// --- grid handlers ---

void Press(CWULInteractor* self, int button, int x, int y) {
  auto* grid = static_cast<CWULTiledCanvas*>(self);
  if (!grid->window || GetCapture() == grid->window)
    return;
  const int32_t index = ColorPanel::EntryAt(grid, x, y);
  if (index < 0)
    return;
  // A press whose capture went without notice is forgotten.
  DestroyDragWindow();
  ResetPress();
  g_Press.grid = grid;
  g_Press.button = button;
  g_Press.pressAt = POINT{x, y};
  g_Press.grabOffset = POINT{(x + grid->GetScrollX()) % kPitch, (y + grid->GetScrollY()) % kPitch};
  g_Press.color = EntryColor(grid, index);
  if (IsSwatchGrid(grid))
    g_Press.swatch = g_Swatches.FindByNumber(index + 1);
  else
    g_Press.paletteIndex = index;
  g_Press.state = ColorPanel::PRESS_PRESSED;
  SetCapture(grid->window);
  grid->SetFocus();
}

void OnLeftDown(CWULInteractor* self, int, int x, int y) { Press(self, 1, x, y); }
void OnRightDown(CWULInteractor* self, int, int x, int y) { Press(self, 2, x, y); }
void OnMiddleDown(CWULInteractor* self, int, int x, int y) { Press(self, 3, x, y); }

void Release(CWULInteractor* self, int button) {
  if (g_Press.state != ColorPanel::PRESS_IDLE && g_Press.grid == self && g_Press.button == button &&
      self->window && GetCapture() == self->window)
    ReleaseCapture();
}

void OnLeftUp(CWULInteractor* self, int, int, int) { Release(self, 1); }
void OnRightUp(CWULInteractor* self, int, int, int) { Release(self, 2); }
void OnMiddleUp(CWULInteractor* self, int, int, int) { Release(self, 3); }

void OnCaptureLost(CWULInteractor* self) { FinishPress(static_cast<CWULTiledCanvas*>(self)); }

void OnMouseMove(CWULInteractor* self, int, int x, int y) {
  auto* grid = static_cast<CWULTiledCanvas*>(self);
  if (g_Press.grid == grid && g_Press.state == ColorPanel::PRESS_PRESSED &&
      (std::abs(x - g_Press.pressAt.x) >= kDragDistance || std::abs(y - g_Press.pressAt.y) >= kDragDistance)) {
    g_Press.state = ColorPanel::PRESS_DRAGGING;
    if (IsSwatchGrid(grid))
      CreateDragWindow(grid, x, y);
  } else if (g_Press.grid == grid && g_Press.state == ColorPanel::PRESS_DRAGGING) {
    PlaceDragWindow(ToScreen(grid, x, y));
  }
  if (IsSwatchGrid(grid))
    ColorPanel::UpdateSwatchStatus(x, y);
  else
    ColorPanel::UpdatePaletteStatus(x, y);
}

// Double-click on a swatch: the colour picker edits it.
void OnSwatchDoubleClick(CWULInteractor* self, int, int x, int y) {
  auto* grid = static_cast<CWULTiledCanvas*>(self);
  if (g_Press.state != ColorPanel::PRESS_IDLE || GetCapture())
    return;
  CSwatch* swatch = g_Swatches.FindByNumber(ColorPanel::EntryAt(grid, x, y) + 1);
  if (!swatch)
    return;
  CColor color = swatch->color;
  if (!ColorPickerDialog(&color, grid))
    return;
  // The set may have changed while the dialog was open.
  if (InSet(swatch))
    swatch->color = color;
  ColorPanel::UpdateSwatchGridHeight();
}

void OnPaletteDoubleClick(CWULInteractor* self, int, int x, int y) { Press(self, 1, x, y); }

int OnSetCursor(CWULInteractor* self, HCURSOR* cursor, int hitTest, int wx, int wy) {
  auto* grid = static_cast<CWULTiledCanvas*>(self);
  if (hitTest != HTCLIENT)
    return 0;
  if (ColorPanel::EntryAt(grid, wx - grid->leftInset, wy - grid->topInset) < 0)
    return 0;
  *cursor = GetAppCursor(ColorPanel::CURSOR_PICK);
  return 1;
}

bool AcceptsWheel(CWULInteractor* self, int wx, int wy) {
  auto* grid = static_cast<CWULTiledCanvas*>(self);
  if (g_Press.state == ColorPanel::PRESS_DRAGGING && g_Press.grid == grid)
    return true;
  if (GetCapture())
    return false;
  RECT client;
  grid->GetClientRect(&client);
  return wx >= client.left && wx < client.right && wy >= client.top && wy < client.bottom;
}

int OnWheel(CWULInteractor* self, float* notches, int, int, int) {
  auto* grid = static_cast<CWULTiledCanvas*>(self);
  const int delta = static_cast<int>(std::lround(*notches * static_cast<float>(grid->GetLineStepY())));
  grid->SetScrollY(grid->GetScrollY() - delta);
  RestoreCursor();
  return 1;
}

// The content height follows the columns that the client width allows.
void OnGridClientSized(CWULFramedWindow* self) {
  if (g_Fitting)
    return;
  g_Fitting = true;
  try {
    auto* grid = static_cast<CWULTiledCanvas*>(self);
    if (grid == g_SwatchGrid)
      grid->SetContentHeight(ColorPanel::GetContentHeight(grid, g_Swatches.GetCount()));
    else if (grid == g_PaletteGrid && CurrentPalette())
      grid->SetContentHeight(ColorPanel::GetContentHeight(grid, CurrentPalette()->GetCount()));
  } catch (...) {
    g_Fitting = false;
    throw;
  }
  g_Fitting = false;
}

void OnSwatchGridCreated(CWULInteractor* self) { StatusBar::RegisterWindow(self, &ColorPanel::UpdateSwatchStatus); }
void OnPaletteGridCreated(CWULInteractor* self) { StatusBar::RegisterWindow(self, &ColorPanel::UpdatePaletteStatus); }
void OnGridDestroying(CWULInteractor* self) { StatusBar::UnregisterWindow(self); }

void OnGridDeleted(CWULInteractor* self) {
  if (g_Press.grid == self) {
    DestroyDragWindow();
    ResetPress();
  }
  if (self == g_SwatchGrid)
    g_SwatchGrid = nullptr;
  if (self == g_PaletteGrid)
    g_PaletteGrid = nullptr;
}

void OnSwatchBarDeleted(CWULInteractor*) {
  for (int i = 0; i < ColorPanel::BUTTON_LOCK_PALETTE; ++i)
    g_Buttons[i] = nullptr;
}

void OnPaletteBarDeleted(CWULInteractor*) { g_Buttons[ColorPanel::BUTTON_LOCK_PALETTE] = nullptr; }

void OnPagesDeleted(CWULInteractor*) {
  g_Pages = nullptr;
  g_SwatchPage = nullptr;
  g_PalettePage = nullptr;
  CWULMenu* menu = g_NewSetMenu;
  g_NewSetMenu = nullptr;
  delete menu;
}

// --- buttons ---

void ShowNewSetMenu(CWULStandardBarItem* item, CWULStandardBarItem*) {
  PopupMenuBelowButton(g_NewSetMenu, item, WUL_SHELL_PREFER_DOWN | WUL_SHELL_ALIGN_X);
}

void OnNewSetChosen(CWULMenuItem* item, CWULMenuItem*) {
  if (item->value == ColorPanel::NEW_SET_EMPTY)
    g_Swatches.Clear();
  else if (item->value == ColorPanel::NEW_SET_STANDARD)
    g_Swatches.SetDefaults();
  else
    return;
  ColorPanel::UpdateSwatchGrid();
}

void OnLoad(CWULStandardBarItem*, CWULStandardBarItem*) { LoadSwatchSetCommand(); }
void OnSave(CWULStandardBarItem*, CWULStandardBarItem*) { SaveSwatchSetCommand(); }

void AddColorAndShow(CColor color) {
  g_Swatches.AddColor(color);
  ColorPanel::UpdateSwatchGridHeight();
  if (g_SwatchGrid)
    g_SwatchGrid->SetScrollY(std::max(0, g_SwatchGrid->GetContentHeight() - g_SwatchGrid->GetClientHeight()));
}

void OnAddPrimary(CWULStandardBarItem*, CWULStandardBarItem*) {
  AddColorAndShow(SettingColor(g_Settings.drawingColorsPrimary, 0xFF000000u));
}

void OnAddSecondary(CWULStandardBarItem*, CWULStandardBarItem*) {
  AddColorAndShow(SettingColor(g_Settings.drawingColorsSecondary, 0));
}

void OnLockChanged(CWULStandardBarItem* item, CWULStandardBarItem*) {
  if (g_UpdatingLock || !Image())
    return;
  const bool lock = item->IsChecked();
  auto* action = new CImagePropertiesAction;
  action->SetPaletteFixed(lock);
  action->SetName(lock ? "Lock Palette" : "Unlock Palette");
  // On failure the button shows the image's state again.
  if (!ExecuteCommandAction(action))
    ColorPanel::UpdatePalettePage();
}

void SetLockState(bool enabled, bool checked) {
  CWULStandardBarItem* lock = g_Buttons[ColorPanel::BUTTON_LOCK_PALETTE];
  if (!lock)
    return;
  g_UpdatingLock = true;
  lock->SetEnabled(enabled);
  lock->SetChecked(checked);
  g_UpdatingLock = false;
}

CWULTiledCanvas* MakeGrid(CWULInteractor::Handler created) {
  auto* grid = new CWULTiledCanvas;
  grid->deletedHandler = &OnGridDeleted;
  grid->createdHandler = created;
  grid->destroyedHandler = &OnGridDestroying;
  grid->SetBorderStyle(2);
  grid->SetLineStep(kPitch, kPitch);
  grid->SetAlignment(WUL_ALIGN_FILL);
  grid->setCursorHandler = &OnSetCursor;
  grid->mouseMoveHandler = &OnMouseMove;
  grid->leftDownHandler = &OnLeftDown;
  grid->leftUpHandler = &OnLeftUp;
  grid->rightDownHandler = &OnRightDown;
  grid->rightDoubleClickHandler = &OnRightDown;
  grid->rightUpHandler = &OnRightUp;
  grid->middleDownHandler = &OnMiddleDown;
  grid->middleDoubleClickHandler = &OnMiddleDown;
  grid->middleUpHandler = &OnMiddleUp;
  grid->captureLostHandler = &OnCaptureLost;
  grid->wheelAcceptHandler = &AcceptsWheel;
  grid->wheelHandler = &OnWheel;
  grid->clientSizeChangedHandler = &OnGridClientSized;
  auto* overlay = new CWULCanvasOverlay;
  overlay->drawCallback = &ColorPanel::PaintGrid;
  grid->AddOverlay(overlay);
  return grid;
}

CWULMenu* MakeNewSetMenu() {
  CWULMenu* menu = nullptr;
  try {
    menu = NewMenu();
    CWULMenuItem* empty = NewMenuItem("&Empty");
    empty->value = ColorPanel::NEW_SET_EMPTY;
    empty->clickCallback = &OnNewSetChosen;
    menu->Append(empty);
    CWULMenuItem* standard = NewMenuItem("&Standard");
    standard->value = ColorPanel::NEW_SET_STANDARD;
    standard->clickCallback = &OnNewSetChosen;
    menu->Append(standard);
  } catch (...) {
    delete menu;
    ErrorBox("New swatch set menu creation failed");
    throw;
  }
  return menu;
}

void BuildSwatchPage(CWULContainer* page) {
  wulPushDefaultParent(page);
  try {
    CWULItemBar* bar = MakePanelButtonBar(&OnSwatchBarDeleted);
    int x = 1;
    g_Buttons[ColorPanel::BUTTON_NEW_SET] =
        AddPanelButton(bar, x, "New swatch set...", 0, IDB_SWATCHES_NEW, IDB_SWATCHES_NEW_DISABLED, &ShowNewSetMenu);
    x += kPanelButtonSize;
    g_Buttons[ColorPanel::BUTTON_LOAD] = AddPanelButton(bar, x, "Load swatches", 0, IDB_SWATCHES_LOAD, 0, &OnLoad);
    x += kPanelButtonSize;
    g_Buttons[ColorPanel::BUTTON_SAVE] = AddPanelButton(bar, x, "Save swatches", 0, IDB_SWATCHES_SAVE, 0, &OnSave);
    x += kPanelButtonSize;
    g_Buttons[ColorPanel::BUTTON_ADD_PRIMARY] = AddPanelButton(bar, x, "Add primary color", 0, IDB_SWATCHES_ADD_PRIMARY,
                                                          IDB_SWATCHES_ADD_PRIMARY_DISABLED, &OnAddPrimary);
    x += kPanelButtonSize;
    g_Buttons[ColorPanel::BUTTON_ADD_SECONDARY] =
        AddPanelButton(bar, x, "Add secondary color", 0, IDB_SWATCHES_ADD_SECONDARY, IDB_SWATCHES_ADD_SECONDARY_DISABLED,
                  &OnAddSecondary);
    g_SwatchGrid = MakeGrid(&OnSwatchGridCreated);
    g_SwatchGrid->leftDoubleClickHandler = &OnSwatchDoubleClick;
  } catch (...) {
    wulPopDefaultParent();
    throw;
  }
  wulPopDefaultParent();
}

void BuildPalettePage(CWULContainer* page) {
  wulPushDefaultParent(page);
  try {
    CWULItemBar* bar = MakePanelButtonBar(&OnPaletteBarDeleted);
    CWULStandardBarItem* lock =
        AddPanelButton(bar, 1, "Lock palette", 0, IDB_PALETTE_LOCK, IDB_PALETTE_LOCK_DISABLED, nullptr);
    g_Buttons[ColorPanel::BUTTON_LOCK_PALETTE] = lock;
    lock->SetBehaviour(WUL_BEHAVIOUR_TOGGLE);
    lock->checkChangedCallback = &OnLockChanged;
    g_PaletteGrid = MakeGrid(&OnPaletteGridCreated);
    g_PaletteGrid->leftDoubleClickHandler = &OnPaletteDoubleClick;
  } catch (...) {
    wulPopDefaultParent();
    throw;
  }
  wulPopDefaultParent();
}


}  // namespace

namespace ColorPanel {

CWULPageControl* GetPages() { return g_Pages; }
CWULStandardBarItem* GetButton(int which) { return which >= 0 && which < BUTTON_COUNT ? g_Buttons[which] : nullptr; }
CWULTiledCanvas* GetSwatchGrid() { return g_SwatchGrid; }
CWULTiledCanvas* GetPaletteGrid() { return g_PaletteGrid; }
CWULMenu* GetNewSetMenu() { return g_NewSetMenu; }
CWULPopupBuffer* GetDragWindow() { return g_Press.dragWindow; }
int32_t GetPressState() { return g_Press.state; }

int32_t GetColumns(CWULTiledCanvas* grid) {
  // At least one column, so that a narrow grid still has a height.
  return grid ? std::max(1, (grid->GetClientWidth() - 1) / kPitch) : 1;
}

int32_t GetContentHeight(CWULTiledCanvas* grid, int32_t count) {
  const int32_t columns = GetColumns(grid);
  const int32_t rows = count > 0 ? (count + columns - 1) / columns : 0;
  return kPitch * rows + 1;
}

int32_t EntryAt(CWULTiledCanvas* grid, int32_t x, int32_t y) {
  if (!grid)
    return -1;
  const int32_t cx = x + grid->GetScrollX();
  const int32_t cy = y + grid->GetScrollY();
  if (x < 0 || y < 0 || x >= grid->GetClientWidth() || y >= grid->GetClientHeight() || cx <= 0 || cy <= 0 ||
      cx % kPitch == 0 || cy % kPitch == 0)
    return -1;
  const int32_t columns = GetColumns(grid);
  const int32_t column = cx / kPitch;
  if (column >= columns)
    return -1;
  const int64_t index = static_cast<int64_t>(cy / kPitch) * columns + column;
  return index < EntryCount(grid) ? static_cast<int32_t>(index) : -1;
}

void UpdateSwatchGridHeight() {
  if (!g_SwatchGrid)
    return;
  g_SwatchGrid->SetContentHeight(GetContentHeight(g_SwatchGrid, g_Swatches.GetCount()));
  g_SwatchGrid->RenderAll(nullptr);
}

void UpdateSwatchGrid() {
  UpdateSwatchGridHeight();
  if (g_SwatchGrid)
    g_SwatchGrid->SetScrollY(0);
}

void UpdatePalettePage() {
  if (!g_Pages || !g_PalettePage)
    return;
  CImage* image = Image();
  CPalette* palette = image ? image->GetPalette() : nullptr;
  if (!palette) {
    // A hidden page must not stay the current one.
    if (g_Pages->GetCurrentItem() == g_PalettePage && g_SwatchPage)
      g_Pages->SetCurrentItem(g_SwatchPage);
    g_PalettePage->Hide();
    if (g_PaletteGrid)
      g_PaletteGrid->SetContentHeight(0);
    return;
  }
  SetLockState(image->GetTargetFormat() == CImage::FORMAT_8BIT_PALETTE, image->IsPaletteFixed());
  if (g_PaletteGrid) {
    g_PaletteGrid->SetContentHeight(GetContentHeight(g_PaletteGrid, palette->GetCount()));
    g_PaletteGrid->RenderAll(nullptr);
  }
  g_PalettePage->Show();
}

void Refresh() {
  UpdatePalettePage();
  UpdateSwatchGridHeight();
}

void PaintGrid(CWULCanvasOverlay* overlay, CWULOffscreenBuffer* buffer, CWULOffscreenBuffer*, const RECT* rect) {
  CWULImage* target = buffer ? buffer->GetImage() : nullptr;
  CWULTiledCanvas* grid = overlay ? overlay->GetCanvas() : nullptr;
  if (!target || !target->pixels || !rect || !grid)
    return;
  GdiFlush();
  CPixelArray view(target->pixels, target->width, target->height);
  Rect update;
  update.left = std::max<int32_t>(0, rect->left);
  update.top = std::max<int32_t>(0, rect->top);
  update.right = std::min<int32_t>(target->width, rect->right);
  update.bottom = std::min<int32_t>(target->height, rect->bottom);
  if (update.IsEmpty())
    return;
  view.FillRect(update, 0xFF000000u | (grid->GetColor().value & 0xFFFFFFu));
  const int32_t count = EntryCount(grid);
  if (count <= 0)
    return;
  const int32_t sx = grid->GetScrollX();
  const int32_t sy = grid->GetScrollY();
  const int32_t columns = GetColumns(grid);
  const uint32_t outline = 0xFF000000u | (wulColors[1].value & 0xFFFFFFu);
  // An outline reaches one pixel into the next cell's pitch, so the row and column before
  // the update rectangle count too.
  const int32_t firstRow = std::max(0, (update.top + sy - 1) / kPitch);
  const int32_t lastRow = std::min((update.bottom - 1 + sy) / kPitch, (count - 1) / columns);
  const int32_t firstColumn = std::max(0, (update.left + sx - 1) / kPitch);
  const int32_t lastColumn = std::min((update.right - 1 + sx) / kPitch, columns - 1);
  for (int32_t row = firstRow; row <= lastRow; ++row) {
    for (int32_t column = firstColumn; column <= lastColumn; ++column) {
      const int64_t index = static_cast<int64_t>(row) * columns + column;
      if (index >= count)
        break;
      Rect frame;
      frame.left = column * kPitch - sx;
      frame.top = row * kPitch - sy;
      frame.right = frame.left + CELL_SIZE + 2;
      frame.bottom = frame.top + CELL_SIZE + 2;
      Rect edges[4];
      edges[0] = frame;
      edges[0].bottom = frame.top + 1;
      edges[1] = frame;
      edges[1].top = frame.bottom - 1;
      edges[2] = frame;
      edges[2].right = frame.left + 1;
      edges[3] = frame;
      edges[3].left = frame.right - 1;
      for (const Rect& edge : edges)
        view.FillRect(edge.Intersect(update), outline);
      Rect inside = frame;
      inside.left += 1;
      inside.top += 1;
      inside.right -= 1;
      inside.bottom -= 1;
      FillColor(view, inside.Intersect(update), EntryColor(grid, static_cast<int32_t>(index)), -sx, -sy);
    }
  }
}

namespace {

void UpdateGridStatus(CWULTiledCanvas* grid, int32_t x, int32_t y, const char* help) {
  if (!grid)
    return;
  if (g_Press.state != PRESS_IDLE) {
    if (g_Press.grid == grid)
      StatusBar::SetColor(g_Press.color);
    return;
  }
  if (GetCapture())
    return;
  const int32_t index = EntryAt(grid, x, y);
  if (index >= 0) {
    StatusBar::SetHelpText(help);
    StatusBar::SetColor(EntryColor(grid, index));
  } else {
    StatusBar::SetHelpText("");
    StatusBar::ClearColor();
  }
}

}  // namespace

void UpdateSwatchStatus(int32_t x, int32_t y) {
  UpdateGridStatus(g_SwatchGrid, x, y, "Left/right click to pick, double-click to modify, drag to move or delete color.");
}

void UpdatePaletteStatus(int32_t x, int32_t y) {
  UpdateGridStatus(g_PaletteGrid, x, y, "Left/right click to pick color.");
}

}  // namespace ColorPanel

void CreateColorPanel() {
  if (g_ColorPanel)
    return;
  CVCFoldingPanel* panel = nullptr;
  try {
    g_NewSetMenu = MakeNewSetMenu();
    panel = CreateFoldingPanel("Color", 80, g_Settings.panelsColorBodyFolded, g_Settings.panelsColorBodyClientHeight,
                               &g_ColorPanel);
    wulPushDefaultParent(panel->GetClientContainer());
    try {
      g_Pages = MakePanelPages(&OnPagesDeleted);
      g_SwatchPage = AddPanelPage(g_Pages, "Swatches", ColorPanel::PAGE_SWATCHES);
      g_PalettePage = AddPanelPage(g_Pages, "Palette", ColorPanel::PAGE_PALETTE);
      BuildSwatchPage(g_SwatchPage->GetInteractor());
      BuildPalettePage(g_PalettePage->GetInteractor());
      g_Pages->SelectById(ColorPanel::PAGE_SWATCHES);
    } catch (...) {
      wulPopDefaultParent();
      throw;
    }
    wulPopDefaultParent();
    ColorPanel::UpdateSwatchGrid();
    ColorPanel::UpdatePalettePage();
  } catch (...) {
    ReportPanelFailure("Color");
    delete panel;
    // Without the page control nobody else deletes the menu.
    if (!g_Pages) {
      delete g_NewSetMenu;
      g_NewSetMenu = nullptr;
    }
    throw;
  }
}

void LoadSwatchSetCommand() {
  CFileDialogRequest request;
  request.title.Assign("Load swatch set");
  request.folder.Assign(g_Settings.swatchesFilePath ? g_Settings.swatchesFilePath->GetValue() : "");
  request.filters.Append(CreateFileFilter(kSwatchTypeName, kSwatchExtension, kSwatchTypeId));
  if (!CFileDialog::RunOpen(g_MainWindow ? g_MainWindow->GetHandle() : nullptr, request))
    return;
  if (g_Settings.swatchesFilePath)
    g_Settings.swatchesFilePath->SetValue(request.folder.text);
  CWULString path;
  request.GetPath(path);
  BeginWaitCursor();
  LoadSwatchSet(path.text);
  RestoreCursor();
  ColorPanel::UpdateSwatchGrid();
}

void SaveSwatchSetCommand() {
  CFileDialogRequest request;
  request.title.Assign("Save swatch set");
  request.fileName.Assign("COLORS");
  request.folder.Assign(g_Settings.swatchesFilePath ? g_Settings.swatchesFilePath->GetValue() : "");
  request.filters.Append(CreateFileFilter(kSwatchTypeName, kSwatchExtension, kSwatchTypeId));
  request.selectedTypeId = kSwatchTypeId;
  if (!CSaveFileDialog::RunSave(g_MainWindow ? g_MainWindow->GetHandle() : nullptr, request))
    return;
  if (g_Settings.swatchesFilePath)
    g_Settings.swatchesFilePath->SetValue(request.folder.text);
  CWULString path;
  request.GetPath(path);
  BeginWaitCursor();
  SaveSwatchSet(path.text);
  RestoreCursor();
}
