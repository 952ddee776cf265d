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
#include "ui/DialogParts.h"
#include "ui/PanelParts.h"
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

const int kThumbnailSize = 24;
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
  return FindPanelItem<CLayerListItem>(g_List, layer);
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

void OnListDeleted(CWULInteractor*) {
  g_List = nullptr;
  g_UpdateDepth = 0;
}

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

void OnButtonClick(CWULStandardBarItem* button, CWULStandardBarItem*) {
  if (button->value == 0)
    PopupMenuBelowButton(g_NewLayerMenu, button, kNewMenuPlacement);
  else
    RunMenuCommand(button->value);
}

CWULStandardBarItem* AddButton(int which, int x) {
  const ButtonEntry& entry = kButtons[which];
  CWULStandardBarItem* button =
      AddPanelButton(g_Bar, x, entry.tooltip, entry.command, entry.bitmap, entry.disabledBitmap, &OnButtonClick);
  g_Buttons[which] = button;
  button->SetShortcut(ShortcutOf(entry.command));
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

void BuildLayersPage(CWULContainer* page) {
  BuildInside(page, [] {
    g_Bar = MakePanelButtonBar(&OnBarDeleted);
    for (int which = 0; which < ImagePanel::BUTTON_COUNT; ++which)
      AddButton(which, 1 + which * kPanelButtonSize);
    g_List = MakePanelThumbnailList(&OnListDeleted, &OnLayerSelected);
  });
}

void BuildInfoPage(CWULContainer* page) {
  BuildInside(page, [page] { g_InfoLabel = MakePanelInfoLabel(page, &OnLabelDeleted); });
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
  if (g_UpdateDepth == 0)
    g_List->SetAutoRedraw(false);
  ++g_UpdateDepth;
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

bool Refill() {
  if (!BeginUpdate())
    return false;
  // The bracket closes however the refill ends.
  struct Bracket {
    bool open = true;
    ~Bracket() {
      if (open) {
        try {
          EndUpdate();
        } catch (...) {
        }
      }
    }
  } bracket;
  Clear();
  Rebuild();
  bracket.open = false;
  return EndUpdate();
}

bool Rebuild() {
  CImage* image = GetCurrentImage();
  if (!g_List || !image)
    return false;
  RefillThumbnailList(g_List, IsUpdating(), [image] {
    for (CLayer* layer = image->GetFirstLayer(); layer; layer = layer->GetNext())
      AddLayerItem(layer);
    g_List->Select(ItemOf(image->GetActiveLayer()));
  });
  return true;
}

bool AddLayerItem(CLayer* layer) {
  // The list shows the top layer first: the item goes before that of the layer below.
  return AddPanelItem(g_List, layer, layer ? layer->GetPrevious() : nullptr, NewLayerItem);
}

bool MoveLayerItem(CLayer* layer, CLayer* before) {
  return MovePanelItem(g_List, layer, before);
}

bool RemoveLayerItem(CLayer* layer) {
  return DeletePanelItem(g_List, layer);
}

bool RefreshLayerItem(CLayer* layer) {
  return RefreshPanelItem<CLayerListItem>(g_List, layer);
}

bool RefreshAllLayerItems() {
  return RefreshPanelItems<CLayerListItem>(g_List);
}

bool SelectLayer(CLayer* layer) {
  if (!g_List)
    return false;
  if (!layer) {
    g_List->ClearSelection();
    return true;
  }
  return SelectPanelItem(g_List, layer);
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
  SetLabelTextIfChanged(g_InfoLabel, text);
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
    BuildInside(panel->GetClientContainer(), [] {
      g_Pages = MakePanelPages(&OnPagesDeleted);
      BuildLayersPage(AddPanelPage(g_Pages, "Layers", ImagePanel::PAGE_LAYERS)->GetInteractor());
      BuildInfoPage(AddPanelPage(g_Pages, "Info", ImagePanel::PAGE_INFO)->GetInteractor());
      g_Pages->SelectById(ImagePanel::PAGE_LAYERS);
    });
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
