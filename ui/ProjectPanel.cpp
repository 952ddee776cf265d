#include "ui/ProjectPanel.h"
#include <algorithm>
#include <cstdio>
#include <cstring>
#include "document/Image.h"
#include "document/Project.h"
#include "shell/Errors.h"
#include "shell/Settings.h"
#include "shell/TextRoutines.h"
#include "tools/CurrentImage.h"
#include "tools/WorkingCopies.h"
#include "ui/DialogParts.h"
#include "ui/FoldingPanel.h"
#include "ui/ImagePanel.h"
#include "ui/MainView.h"
#include "ui/MainWindow.h"
#include "ui/PanelParts.h"
#include "ui/PanelResourceIds.h"
#include "ui/PreviewPanel.h"
#include "ui/ThumbnailList.h"
#include "wul/WULInit.h"
#include "wul/WULItemBar.h"
#include "wul/WULMenu.h"
#include "wul/WULPageControl.h"
#include "wul/WULPanel.h"
#include "wul/WULSystem.h"

CVCFoldingPanel* g_ProjectPanel = nullptr;

namespace {

const int kThumbnailSize = 24;
const int kInfoSize = 1024;

CWULPageControl* g_Pages = nullptr;
CWULItemBar* g_Bar = nullptr;
CWULStandardBarItem* g_Buttons[ProjectPanel::BUTTON_COUNT] = {};
CThumbnailList* g_List = nullptr;
CWULLabel* g_Label = nullptr;
CWULMenu* g_ContextMenu = nullptr;
int g_UpdateDepth = 0;

CImage* ImageOf(CThumbnailItem* item) { return item ? static_cast<CImageListItem*>(item)->GetImage() : nullptr; }

// --- handlers ---

void OnPanelDeleted(CWULInteractor*) {
  g_Pages = nullptr;
  g_Bar = nullptr;
  for (CWULStandardBarItem*& button : g_Buttons)
    button = nullptr;
  g_List = nullptr;
  g_Label = nullptr;
  g_UpdateDepth = 0;
  CWULMenu* menu = g_ContextMenu;
  g_ContextMenu = nullptr;
  delete menu;
}

void OnPagesDeleted(CWULInteractor*) {
  g_Pages = nullptr;
  g_Bar = nullptr;
  for (CWULStandardBarItem*& button : g_Buttons)
    button = nullptr;
  g_List = nullptr;
  g_Label = nullptr;
}

void OnBarDeleted(CWULInteractor*) {
  g_Bar = nullptr;
  for (CWULStandardBarItem*& button : g_Buttons)
    button = nullptr;
}

void OnListDeleted(CWULInteractor*) { g_List = nullptr; }

void OnLabelDeleted(CWULInteractor*) { g_Label = nullptr; }

void OnContextMenuDeleted(CWULMenu*, CWULMenu*) { g_ContextMenu = nullptr; }

void OnContextItemChosen(CWULMenu*, CWULMenu*, CWULMenuItem* item) {
  if (item)
    RunMenuCommand(item->value);
}

void OnButtonClick(CWULStandardBarItem* button, CWULStandardBarItem*) { RunMenuCommand(button->value); }

void OnItemDoubleClick(CThumbnailItem*, CThumbnailItem*) { RunMenuCommand(CMD_IMAGE_PROPERTIES); }

// The list's selection callback: the item's image becomes the current image, and the view
// returns to the state it had when that image was last shown.
void OnImageSelected(CThumbnailList*, CThumbnailItem* item, CThumbnailItem* old) {
  CProject* project = GetCurrentProject();
  if (!project)
    return;
  if (CImage* previous = ImageOf(old))
    previous->SaveViewState(MainView::GetViewState());
  CImage* image = ImageOf(item);
  project->SetCurrentImage(image);
  if (g_UpdateDepth == 0)
    ResyncWorkingCopies();
  ImagePanel::Refill();
  if (image) {
    const CViewState& state = image->GetViewState();
    if (state.zoom != 0)
      MainView::SetViewState(state);
    else
      MainView::ZoomToFitImage();
  } else {
    MainView::RefitToImage();
  }
  PreviewPanel::Refresh();
  if (g_UpdateDepth == 0)
    UpdateCommandStates();
}

CImageListItem* MakeItem(CImage* image) {
  CImageListItem* item = new CImageListItem;
  try {
    item->contextMenu = g_ContextMenu;
    item->doubleClickCallback = &OnItemDoubleClick;
    item->SetThumbnailSize(kThumbnailSize);
    item->SetImage(image);
  } catch (...) {
    delete item;
    throw;
  }
  return item;
}

// --- building ---

void BuildContextMenu() {
  try {
    CWULMenu* menu = NewMenu();
    g_ContextMenu = menu;
    menu->destroyCallback = &OnContextMenuDeleted;
    menu->itemChosenCallback = &OnContextItemChosen;
    CWULMenuItem* remove = NewMenuItem("Dele&te");
    remove->value = CMD_IMAGE_DELETE;
    menu->Append(remove);
    CWULMenuItem* properties = NewMenuItem("&Properties...");
    properties->value = CMD_IMAGE_PROPERTIES;
    properties->SetBold(true);
    menu->Append(properties);
  } catch (...) {
    CWULMenu* menu = g_ContextMenu;
    g_ContextMenu = nullptr;
    delete menu;
    ErrorBox("Image menu creation failed");
    throw;
  }
}

struct ButtonEntry {
  const char* tooltip;
  int32_t command;
  int normal;
  int disabled;  // 0: a grey-scale copy of the normal picture
};

const ButtonEntry kButtons[ProjectPanel::BUTTON_COUNT] = {
    {"New image", CMD_IMAGE_NEW, IDB_PANEL_NEW, IDB_PANEL_NEW_DISABLED},
    {"Delete image", CMD_IMAGE_DELETE, IDB_PANEL_DELETE, IDB_PANEL_DELETE_DISABLED},
    {"Image properties", CMD_IMAGE_PROPERTIES, IDB_PANEL_PROPERTIES, IDB_PANEL_PROPERTIES_DISABLED},
    {"Move image up", CMD_IMAGE_MOVE_UP, IDB_IMAGE_MOVE_UP, 0},
    {"Move image down", CMD_IMAGE_MOVE_DOWN, IDB_IMAGE_MOVE_DOWN, 0},
};

void BuildImagesPage(CWULContainer* page) {
  BuildInside(page, [] {
    g_Bar = MakePanelButtonBar(&OnBarDeleted);
    for (int i = 0; i < ProjectPanel::BUTTON_COUNT; ++i) {
      const ButtonEntry& entry = kButtons[i];
      g_Buttons[i] = AddPanelButton(g_Bar, 1 + i * kPanelButtonSize, entry.tooltip, entry.command, entry.normal,
                                    entry.disabled, &OnButtonClick);
    }
    if (CWULMenuItem* item = FindMenuCommand(CMD_IMAGE_NEW))
      g_Buttons[ProjectPanel::BUTTON_NEW]->SetShortcut(item->shortcut);
    g_List = MakePanelThumbnailList(&OnListDeleted, &OnImageSelected);
  });
}

void BuildInfoPage(CWULContainer* page) {
  BuildInside(page, [page] { g_Label = MakePanelInfoLabel(page, &OnLabelDeleted); });
}

}  // namespace

namespace ProjectPanel {

CThumbnailList* GetList() { return g_List; }
CWULPageControl* GetPages() { return g_Pages; }
CWULStandardBarItem* GetButton(int which) { return which >= 0 && which < BUTTON_COUNT ? g_Buttons[which] : nullptr; }
CWULLabel* GetInfoLabel() { return g_Label; }
CWULMenu* GetContextMenu() { return g_ContextMenu; }
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

bool Rebuild() {
  CProject* project = GetCurrentProject();
  if (!g_List || !project)
    return false;
  RefillThumbnailList(g_List, IsUpdating(), [project] {
    // Items of a project that went before would point at deleted images.
    g_List->Clear();
    CThumbnailItem* current = nullptr;
    for (CImage* image = project->GetFirstImage(); image; image = image->GetNext()) {
      CImageListItem* item = MakeItem(image);
      g_List->Add(item);
      if (image == project->GetCurrentImage())
        current = item;
    }
    g_List->Select(current);
  });
  return true;
}

bool AddImageItem(CImage* image) {
  // The list follows the project's order.
  return AddPanelItem(g_List, image, image ? image->GetNext() : nullptr, MakeItem);
}

bool MoveImageItem(CImage* image, CImage* before) {
  return MovePanelItem(g_List, image, before);
}

bool RemoveImageItem(CImage* image) {
  return DeletePanelItem(g_List, image);
}

bool RefreshImageItem(CImage* image) {
  return RefreshPanelItem<CImageListItem>(g_List, image);
}

bool SelectImage(CImage* image) {
  return SelectPanelItem(g_List, image);
}

bool RefreshAll() {
  if (!g_List)
    return false;
  UpdateInfo();
  return RefreshPanelItems<CImageListItem>(g_List);
}

bool UpdateInfo() {
  if (IsUpdating() || !g_Pages)
    return false;
  CProject* project = GetCurrentProject();
  CImage* image = GetCurrentImage();
  const bool enabled[BUTTON_COUNT] = {
      project != nullptr,
      image != nullptr,
      image != nullptr,
      image && image->GetPrevious(),
      image && image->GetNext(),
  };
  for (int i = 0; i < BUTTON_COUNT; ++i) {
    if (g_Buttons[i])
      g_Buttons[i]->SetEnabled(enabled[i]);
  }
  char text[kInfoSize] = "";
  if (project) {
    char size[64] = "";
    FormatByteSize(size, project->GetMemorySize(), 1, sizeof size - 1);
    std::snprintf(text, sizeof text, "Number of images: %d\nSize in memory: %s bytes",
                  static_cast<int>(project->GetImageCount()), size);
  }
  SetLabelTextIfChanged(g_Label, text);
  return true;
}

}  // namespace ProjectPanel

void CreateProjectPanel() {
  if (g_ProjectPanel)
    return;
  CVCFoldingPanel* panel = nullptr;
  try {
    BuildContextMenu();
    panel = CreateFoldingPanel("Project", 80, g_Settings.panelsProjectBodyFolded,
                               g_Settings.panelsProjectBodyClientHeight, &g_ProjectPanel);
    panel->deletedHandler = &OnPanelDeleted;
    BuildInside(panel->GetClientContainer(), [] {
      g_Pages = MakePanelPages(&OnPagesDeleted);
      BuildImagesPage(AddPanelPage(g_Pages, "Images", ProjectPanel::PAGE_IMAGES)->GetInteractor());
      BuildInfoPage(AddPanelPage(g_Pages, "Info", ProjectPanel::PAGE_INFO)->GetInteractor());
      g_Pages->SelectById(ProjectPanel::PAGE_IMAGES);
    });
    ProjectPanel::UpdateInfo();
  } catch (...) {
    ReportPanelFailure("Project");
    CVCFoldingPanel* made = panel ? panel : g_ProjectPanel;
    OnPanelDeleted(nullptr);
    delete made;
    throw;
  }
}
