#include "ui/ImagePanel.h"
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include "document/Actions.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "shell/Errors.h"
#include "shell/Settings.h"
#include "shell/TextRoutines.h"
#include "tools/CurrentImage.h"
#include "tools/ImageCommands.h"
#include "tools/WorkingCopies.h"
#include "ui/FoldingPanel.h"
#include "ui/MainView.h"
#include "ui/MainWindow.h"
#include "ui/PanelResourceIds.h"
#include "ui/ThumbnailList.h"
#include "wul/WULControl.h"
#include "wul/WULError.h"
#include "wul/WULImage.h"
#include "wul/WULInit.h"
#include "wul/WULItemBar.h"
#include "wul/WULMenu.h"
#include "wul/WULMenuShell.h"
#include "wul/WULPageControl.h"
#include "wul/WULPanel.h"
#include "wul/WULPopupMenu.h"

CVCFoldingPanel* g_ImagePanel = nullptr;

namespace {

const int kButtonSize = 18;
const int kBarHeight = kButtonSize + 2;
const int kThumbnailSize = 24;
const int kLabelMargin = 4;
// Below the button, aligned with its left edge.
const int kNewMenuPlacement = WUL_SHELL_PREFER_RIGHT | WUL_SHELL_PREFER_DOWN | WUL_SHELL_ALIGN_X;

struct ButtonEntry {
  const char* tooltip;
  int bitmap;
  int disabledBitmap;  // 0: a grey-scale copy of the normal picture
  int32_t command;     // the Layer menu item the button runs; 0 for the New layer menu
};

const ButtonEntry kButtons[ImagePanel::BUTTON_COUNT] = {
    {"New layer...", IDB_PANEL_NEW, IDB_PANEL_NEW_DISABLED, 0},
    {"Duplicate layer", IDB_LAYER_DUPLICATE, 0, CMD_LAYER_DUPLICATE},
    {"Merge layer down", IDB_LAYER_MERGE_DOWN, 0, CMD_LAYER_MERGE_DOWN},
    {"Delete layer", IDB_PANEL_DELETE, IDB_PANEL_DELETE_DISABLED, CMD_LAYER_DELETE},
    {"Layer properties", IDB_PANEL_PROPERTIES, IDB_PANEL_PROPERTIES_DISABLED, CMD_LAYER_PROPERTIES},
    {"Move layer forward", IDB_LAYER_MOVE_FORWARD, 0, CMD_LAYER_MOVE_FORWARD},
    {"Move layer backward", IDB_LAYER_MOVE_BACKWARD, 0, CMD_LAYER_MOVE_BACKWARD},
};

CWULPageControl* g_Pages = nullptr;
CWULItemBar* g_Bar = nullptr;
CThumbnailList* g_List = nullptr;
CWULLabel* g_InfoLabel = nullptr;
CWULStandardBarItem* g_Buttons[ImagePanel::BUTTON_COUNT] = {};
CWULMenu* g_NewLayerMenu = nullptr;
CWULMenuItem* g_NewSupersampledItem = nullptr;
CWULMenu* g_LayerMenu = nullptr;
CWULMenuItem* g_MergeDownItem = nullptr;
int g_UpdateDepth = 0;

CLayerListItem* ItemOf(CLayer* layer) {
  if (!g_List || !layer)
    return nullptr;
  for (CThumbnailItem* item = g_List->GetFirst(); item; item = CThumbnailList::Next(item)) {
    if (item->object == layer)
      return static_cast<CLayerListItem*>(item);
  }
  return nullptr;
}

// The main-menu item with that command, clicked as if chosen there.
void RunMenuCommand(int32_t command) {
  if (CWULMenuItem* item = FindMenuCommand(command))
    item->Click();
}

CWULShortcut* ShortcutOf(int32_t command) {
  CWULMenuItem* item = command ? FindMenuCommand(command) : nullptr;
  return item ? item->shortcut : nullptr;
}

// --- destroy callbacks ---

void OnPagesDeleted(CWULInteractor*) {
  g_Pages = nullptr;
  g_InfoLabel = nullptr;
}

void OnBarDeleted(CWULInteractor*) {
  g_Bar = nullptr;
  for (CWULStandardBarItem*& button : g_Buttons)
    button = nullptr;
}

void OnListDeleted(CWULInteractor*) { g_List = nullptr; }

void OnLabelDeleted(CWULInteractor*) { g_InfoLabel = nullptr; }

void OnNewLayerMenuDeleted(CWULMenu*, CWULMenu*) {
  g_NewLayerMenu = nullptr;
  g_NewSupersampledItem = nullptr;
}

void OnLayerMenuDeleted(CWULMenu*, CWULMenu*) {
  g_LayerMenu = nullptr;
  g_MergeDownItem = nullptr;
}

// The menus live as long as the panel.
void OnPanelDeleted(CWULInteractor*) {
  delete g_NewLayerMenu;
  delete g_LayerMenu;
}

// --- list ---

void OnLayerSelected(CThumbnailList*, CThumbnailItem* item, CThumbnailItem*) {
  CImage* image = GetCurrentImage();
  if (!image)
    return;
  image->SetActiveLayer(item ? static_cast<CLayerListItem*>(item)->GetLayer() : nullptr);
  if (ImagePanel::IsUpdating())
    return;
  ResyncWorkingCopies();
  if (MainView::GetView())
    MainView::RefitToImage();
  UpdateCommandStates();
}

void OnItemDoubleClick(CThumbnailItem*, CThumbnailItem*) { RunMenuCommand(CMD_LAYER_PROPERTIES); }

// Hides a visible layer or shows a hidden one as one undoable step.
void OnVisibilityButton(CLayerListItem* item) {
  CImage* image = GetCurrentImage();
  CLayer* layer = item ? item->GetLayer() : nullptr;
  if (!image || !layer || layer->GetOwner() != image)
    return;
  CLayerPropertiesAction* action = new (std::nothrow) CLayerPropertiesAction;
  if (!action)
    return;
  const bool visible = layer->IsVisible();
  try {
    action->SetLayerRef(layer);
    action->SetName(visible ? "Hide Layer" : "Show Layer");
    action->SetNewVisible(!visible);
  } catch (...) {
    delete action;
    return;
  }
  // Runs it through the image's history: the command states on success, else it is deleted.
  ExecuteCommandAction(action);
}

CLayerListItem* NewLayerItem(CLayer* layer) {
  CLayerListItem* item = new CLayerListItem;
  item->contextMenu = g_LayerMenu;
  item->doubleClickCallback = &OnItemDoubleClick;
  item->buttonCallback = &OnVisibilityButton;
  item->SetThumbnailSize(kThumbnailSize);
  item->SetLayer(layer);
  return item;
}

// --- menus ---

void OnMenuItemClick(CWULMenuItem* item, CWULMenuItem*) { RunMenuCommand(item->value); }

CWULMenuItem* AddMenuItem(CWULMenu* menu, const char* text, int32_t command) {
  CWULMenuItem* item = NewMenuItem(text);
  item->value = command;
  item->clickCallback = &OnMenuItemClick;
  menu->Append(item);
  return item;
}

void OnNewLayerMenuOpen(CWULMenu*) {
  if (g_NewSupersampledItem)
    g_NewSupersampledItem->SetEnabled(CanSupersample());
}

void OnLayerMenuOpen(CWULMenu*) {
  CLayer* layer = GetCurrentLayer();
  if (g_MergeDownItem)
    g_MergeDownItem->SetEnabled(layer && layer->GetPrevious());
}

void CreateNewLayerMenu() {
  CWULMenu* menu = nullptr;
  try {
    menu = NewMenu();
    AddMenuItem(menu, "&Normal", CMD_LAYER_NEW);
    g_NewSupersampledItem = AddMenuItem(menu, "&Supersampled", CMD_LAYER_NEW_SUPERSAMPLED);
    menu->openCallback = &OnNewLayerMenuOpen;
    menu->destroyCallback = &OnNewLayerMenuDeleted;
    g_NewLayerMenu = menu;
  } catch (...) {
    g_NewSupersampledItem = nullptr;
    ErrorBox("New layer menu creation failed");
    delete menu;
    throw;
  }
}

void CreateLayerMenu() {
  CWULMenu* menu = nullptr;
  try {
    menu = NewMenu();
    AddMenuItem(menu, "&Duplicate", CMD_LAYER_DUPLICATE);
    g_MergeDownItem = AddMenuItem(menu, "&Merge down", CMD_LAYER_MERGE_DOWN);
    AddMenuItem(menu, "Dele&te", CMD_LAYER_DELETE);
    AddMenuItem(menu, "&Properties...", CMD_LAYER_PROPERTIES)->SetBold(true);
    menu->openCallback = &OnLayerMenuOpen;
    menu->destroyCallback = &OnLayerMenuDeleted;
    g_LayerMenu = menu;
  } catch (...) {
    g_MergeDownItem = nullptr;
    ErrorBox("Layer menu creation failed");
    delete menu;
    throw;
  }
}

// --- buttons ---

// The New layer menu just below the button.
void OpenNewLayerMenu(CWULStandardBarItem* button) {
  if (!g_NewLayerMenu)
    return;
  RECT rect;
  button->GetRect(&rect);
  CWULItemBar* bar = button->GetBar();
  if (bar && bar->GetHandle())
    MapWindowPoints(bar->GetHandle(), nullptr, reinterpret_cast<POINT*>(&rect), 2);
  WULPopupMenuEx(g_NewLayerMenu, &rect, kNewMenuPlacement);
}

void OnButtonClick(CWULStandardBarItem* button, CWULStandardBarItem*) {
  if (button->value == 0)
    OpenNewLayerMenu(button);
  else
    RunMenuCommand(button->value);
}

CWULImage* LoadPicture(int id) {
  try {
    return WULLoadImageFromBitmapResource(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id));
  } catch (const CWULError&) {
    return nullptr;
  }
}

void SetPicture(CWULStandardBarItem* button, int which, CWULImage* image) {
  button->SetImage(which, image);
  // An image nobody took is freed here.
  if (image && image->refCount <= 0)
    CWULImage::Release(image);
}

CWULStandardBarItem* AddButton(int which, int x) {
  const ButtonEntry& entry = kButtons[which];
  CWULStandardBarItem* button = new CWULStandardBarItem;
  g_Bar->AddItem(button);
  g_Buttons[which] = button;
  button->value = entry.command;
  button->SetText(entry.tooltip);
  button->SetBounds(x, 1, kButtonSize, kButtonSize);
  CWULImage* normal = LoadPicture(entry.bitmap);
  CWULImage* disabled = nullptr;
  if (entry.disabledBitmap) {
    disabled = LoadPicture(entry.disabledBitmap);
  } else if (normal) {
    disabled = CWULImage::Clone(normal);
    disabled->ToGrayscale();
  }
  SetPicture(button, WUL_BAR_IMAGE_NORMAL, normal);
  SetPicture(button, WUL_BAR_IMAGE_DISABLED, disabled);
  button->SetShortcut(ShortcutOf(entry.command));
  button->clickCallback = &OnButtonClick;
  return button;
}

void SetButtonEnabled(int which, bool enabled) {
  if (CWULStandardBarItem* button = g_Buttons[which])
    button->SetEnabled(enabled);
}

void UpdateButtons() {
  using namespace ImagePanel;
  CLayer* layer = GetCurrentLayer();
  const bool hasLayer = layer != nullptr;
  const bool hasBelow = hasLayer && layer->GetPrevious();
  const bool hasAbove = hasLayer && layer->GetNext();
  SetButtonEnabled(BUTTON_NEW, GetCurrentImage() != nullptr);
  SetButtonEnabled(BUTTON_DUPLICATE, hasLayer);
  SetButtonEnabled(BUTTON_MERGE_DOWN, hasBelow);
  SetButtonEnabled(BUTTON_DELETE, hasLayer);
  SetButtonEnabled(BUTTON_PROPERTIES, hasLayer);
  SetButtonEnabled(BUTTON_MOVE_FORWARD, hasAbove);
  SetButtonEnabled(BUTTON_MOVE_BACKWARD, hasBelow);
}

// The description of the current image; empty without one.
void FormatInfo(char* text, size_t size) {
  text[0] = 0;
  CImage* image = GetCurrentImage();
  if (!image)
    return;
  char depth[64] = "";
  ColorDepthName(depth, static_cast<unsigned>(image->GetTargetFormat()), sizeof depth - 1);
  char bytes[64] = "";
  FormatByteSize(bytes, image->GetMemorySize(), 1, sizeof bytes - 1);
  std::snprintf(text, size,
                "Dimensions: %dx%d pixels\nTarget format: %s\nNumber of layers: %d\nSize in memory: %s bytes",
                static_cast<int>(image->GetWidth()), static_cast<int>(image->GetHeight()), depth,
                static_cast<int>(image->GetLayerCount()), bytes);
}

// --- building ---

CWULContainer* AddPage(const char* caption, int id) {
  CWULPageControlItem* page = new CWULPageControlItem(caption);
  page->SetId(id);
  g_Pages->AddItem(page);
  return page->GetInteractor();
}

void BuildLayersPage(CWULContainer* page) {
  wulPushDefaultParent(page);
  try {
    CWULItemBar* bar = new CWULItemBar;
    g_Bar = bar;
    bar->deletedHandler = &OnBarDeleted;
    bar->SetFrameStyle(WUL_BAR_FRAME_NONE);
    bar->SetAlignment(WUL_ALIGN_TOP);
    bar->SetClientHeight(kBarHeight);
    for (int which = 0; which < ImagePanel::BUTTON_COUNT; ++which)
      AddButton(which, 1 + which * kButtonSize);

    CThumbnailList* list = new CThumbnailList;
    g_List = list;
    list->deletedHandler = &OnListDeleted;
    list->SetMargin(1);
    list->SetSpacing(1);
    list->SetLineStep(list->GetLineStepX(), 8);
    list->SetBorderStyle(2);
    list->SetTabStop(false);
    list->SetAlignment(WUL_ALIGN_FILL);
    list->selectionChangedCallback = &OnLayerSelected;
  } catch (...) {
    wulPopDefaultParent();
    throw;
  }
  wulPopDefaultParent();
}

void BuildInfoPage(CWULContainer* page) {
  wulPushDefaultParent(page);
  try {
    CWULLabel* label = new CWULLabel;
    g_InfoLabel = label;
    label->deletedHandler = &OnLabelDeleted;
    label->SetMultiLine(true);
    label->SetMnemonic(false);
    label->SetVAlign(WUL_VALIGN_TOP);
    label->SetBounds(kLabelMargin, kLabelMargin, std::max(0, page->GetClientWidth() - 2 * kLabelMargin),
                     std::max(0, page->GetClientHeight() - 2 * kLabelMargin));
    // It keeps its margins as the page changes size.
    label->SetAlignment(WUL_ALIGN_STRETCH_RIGHT_DOWN);
  } catch (...) {
    wulPopDefaultParent();
    throw;
  }
  wulPopDefaultParent();
}

}  // namespace

namespace ImagePanel {

CThumbnailList* GetList() { return g_List; }
CWULPageControl* GetPages() { return g_Pages; }
CWULStandardBarItem* GetButton(int which) { return which >= 0 && which < BUTTON_COUNT ? g_Buttons[which] : nullptr; }
CWULLabel* GetInfoLabel() { return g_InfoLabel; }
CWULMenu* GetNewLayerMenu() { return g_NewLayerMenu; }
CWULMenu* GetLayerMenu() { return g_LayerMenu; }
bool IsUpdating() { return g_UpdateDepth > 0; }

bool BeginUpdate() {
  if (!g_List)
    return false;
  if (g_UpdateDepth++ == 0)
    g_List->SetAutoRedraw(false);
  return true;
}

bool EndUpdate() {
  if (!g_List || g_UpdateDepth == 0)
    return false;
  if (--g_UpdateDepth > 0)
    return true;
  g_List->SetAutoRedraw(true);
  UpdateInfo();
  return true;
}

bool Clear() {
  if (!g_List)
    return false;
  g_List->Clear();
  UpdateInfo();
  return true;
}

bool Rebuild() {
  CImage* image = GetCurrentImage();
  if (!g_List || !image)
    return false;
  CThumbnailList* list = g_List;
  const CThumbnailList::SelectionCallback callback = list->selectionChangedCallback;
  list->selectionChangedCallback = nullptr;
  list->SetAutoRedraw(false);
  try {
    for (CLayer* layer = image->GetFirstLayer(); layer; layer = layer->GetNext())
      AddLayerItem(layer);
    list->Select(ItemOf(image->GetActiveLayer()));
  } catch (...) {
    if (!IsUpdating())
      list->SetAutoRedraw(true);
    list->selectionChangedCallback = callback;
    throw;
  }
  if (!IsUpdating())
    list->SetAutoRedraw(true);
  list->selectionChangedCallback = callback;
  if (CThumbnailItem* selected = list->GetSelected()) {
    if (callback)
      callback(list, selected, nullptr);
  }
  return true;
}

bool AddLayerItem(CLayer* layer) {
  if (!g_List || !layer || ItemOf(layer))
    return false;
  CLayerListItem* item = NewLayerItem(layer);
  // The list shows the top layer first: the item goes before that of the layer below.
  g_List->Insert(item, ItemOf(layer->GetPrevious()));
  return true;
}

bool MoveLayerItem(CLayer* layer, CLayer* before) {
  CLayerListItem* item = ItemOf(layer);
  if (!item)
    return false;
  g_List->Move(item, ItemOf(before));
  return true;
}

bool RemoveLayerItem(CLayer* layer) {
  CLayerListItem* item = ItemOf(layer);
  if (!item)
    return false;
  g_List->Delete(item);
  return true;
}

bool RefreshLayerItem(CLayer* layer) {
  CLayerListItem* item = ItemOf(layer);
  if (!item)
    return false;
  item->Refresh();
  return true;
}

bool RefreshAllLayerItems() {
  if (!g_List)
    return false;
  for (CThumbnailItem* item = g_List->GetFirst(); item; item = CThumbnailList::Next(item))
    static_cast<CLayerListItem*>(item)->Refresh();
  return true;
}

bool SelectLayer(CLayer* layer) {
  if (!g_List)
    return false;
  if (!layer) {
    g_List->ClearSelection();
    return true;
  }
  CLayerListItem* item = ItemOf(layer);
  if (!item)
    return false;
  g_List->Select(item);
  return true;
}

bool RebindLayerItem(CLayer* layer, CLayer* other) {
  CLayerListItem* item = ItemOf(layer);
  if (!item)
    return false;
  item->SetLayer(other);
  return true;
}

bool RefreshAll() {
  if (!g_ImagePanel)
    return false;
  UpdateInfo();
  RefreshAllLayerItems();
  return true;
}

bool UpdateInfo() {
  if (!g_ImagePanel || IsUpdating())
    return false;
  UpdateButtons();
  if (!g_InfoLabel)
    return false;
  char text[1024];
  FormatInfo(text, sizeof text);
  if (std::strcmp(g_InfoLabel->GetText(), text) != 0)
    g_InfoLabel->SetText(text);
  return true;
}

}  // namespace ImagePanel

void CreateImagePanel() {
  if (g_ImagePanel)
    return;
  CVCFoldingPanel* panel = nullptr;
  try {
    CreateNewLayerMenu();
    CreateLayerMenu();
    panel = CreateFoldingPanel("Image", 80, g_Settings.panelsImageBodyFolded, g_Settings.panelsImageBodyClientHeight,
                               &g_ImagePanel);
    panel->deletedHandler = &OnPanelDeleted;
    wulPushDefaultParent(panel->GetClientContainer());
    try {
      CWULPageControl* pages = new CWULPageControl;
      g_Pages = pages;
      pages->deletedHandler = &OnPagesDeleted;
      pages->SetFrameStyle(2);
      pages->SetFirstTabOffset(4);
      pages->SetTabHeight(15);
      pages->SetTabInset(1);
      pages->SetAlignment(WUL_ALIGN_FILL);
      BuildLayersPage(AddPage("Layers", ImagePanel::PAGE_LAYERS));
      BuildInfoPage(AddPage("Info", ImagePanel::PAGE_INFO));
      pages->SelectById(ImagePanel::PAGE_LAYERS);
    } catch (...) {
      wulPopDefaultParent();
      throw;
    }
    wulPopDefaultParent();
    ImagePanel::UpdateInfo();
  } catch (...) {
    ReportPanelFailure("Image");
    if (panel)
      delete panel;
    else {
      delete g_NewLayerMenu;
      delete g_LayerMenu;
    }
    throw;
  }
}
