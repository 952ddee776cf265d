#include "ui/MainWindow.h"
#include <shellapi.h>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include "document/History.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Project.h"
#include "document/Selection.h"
#include "shell/Clipboard.h"
#include "shell/Errors.h"
#include "shell/Help.h"
#include "shell/ProjectCommands.h"
#include "shell/Settings.h"
#include "tools/CurrentImage.h"
#include "tools/EditCommands.h"
#include "tools/FontList.h"
#include "tools/ImageCommands.h"
#include "tools/SelectionTool.h"
#include "tools/ToolManager.h"
#include "ui/AppCursors.h"
#include "ui/MainToolbar.h"
#include "ui/FoldingPanel.h"
#include "ui/MainView.h"
#include "ui/OptionsDialog.h"
#include "ui/NewImageDialogs.h"
#include "ui/PluginDialogs.h"
#include "ui/ColorPanel.h"
#include "ui/ImagePanel.h"
#include "ui/PreviewPanel.h"
#include "ui/ProjectPanel.h"
#include "ui/StatusBar.h"
#include "ui/ToolPanel.h"
#include "ui/Toolbox.h"
#include "ui/UIHosts.h"
#include "wul/WULAppWindow.h"
#include "wul/WULCanvas.h"
#include "wul/WULInit.h"
#include "wul/WULMenu.h"
#include "wul/WULPanel.h"
#include "wul/WULShortcut.h"

CWULAppWindow* g_MainWindow = nullptr;
CWULPanel* g_ClientContainer = nullptr;
CWULMenu* g_MainMenu = nullptr;
CMainMenuItems g_MenuItems = {};
CWULShortcut* g_Shortcuts[SHORTCUT_COUNT] = {};

namespace {

const char kMakerHomePage[] = "https://www.tolvenark.net/";
const char kProductHomePage[] = "https://www.tolvenark.net/vellumcraft/";
const char kSupportPage[] = "https://www.tolvenark.net/support/";

typedef CWULMenuItem* CMainMenuItems::*ItemSlot;

// The shortcut table: key, modifiers, the item it clicks and whether the item shows it.
struct ShortcutEntry {
  int32_t key;
  int32_t modifiers;
  ItemSlot item;  // null: the focus entry
  bool attached;
};

const int kShift = WUL_MOD_SHIFT, kCtrl = WUL_MOD_CTRL, kAlt = WUL_MOD_ALT;

const ShortcutEntry kShortcutTable[SHORTCUT_COUNT] = {
    {VK_ESCAPE, 0, nullptr, false},
    {'N', kCtrl, &CMainMenuItems::fileNew, true},
    {'O', kCtrl, &CMainMenuItems::fileOpen, true},
    {'S', kCtrl, &CMainMenuItems::fileSave, true},
    {'S', kCtrl | kShift, &CMainMenuItems::fileSaveAs, true},
    {VK_F4, kCtrl, &CMainMenuItems::fileClose, true},
    {'O', kCtrl | kAlt, &CMainMenuItems::fileImport, true},
    {'S', kCtrl | kAlt, &CMainMenuItems::fileExport, true},
    {'Z', kCtrl, &CMainMenuItems::editUndo, true},
    {'Y', kCtrl, &CMainMenuItems::editRedo, true},
    {'Z', kCtrl | kShift, &CMainMenuItems::editRedo, false},
    {'X', kCtrl, &CMainMenuItems::editCut, true},
    {'C', kCtrl, &CMainMenuItems::editCopy, true},
    {'C', kCtrl | kShift, &CMainMenuItems::editCopyMerged, true},
    {'V', kCtrl, &CMainMenuItems::editPaste, true},
    {VK_DELETE, 0, &CMainMenuItems::editErase, true},
    {'A', kCtrl, &CMainMenuItems::editSelectAll, true},
    {'D', kCtrl, &CMainMenuItems::editDeselect, true},
    {'I', kCtrl, &CMainMenuItems::editInvert, true},
    {187, kCtrl, &CMainMenuItems::viewZoomIn, true},
    {VK_ADD, kCtrl, &CMainMenuItems::viewZoomIn, false},
    {189, kCtrl, &CMainMenuItems::viewZoomOut, true},
    {VK_SUBTRACT, kCtrl, &CMainMenuItems::viewZoomOut, false},
    {VK_BACK, kCtrl, &CMainMenuItems::viewZoomToFit, true},
    {VK_F5, 0, &CMainMenuItems::viewNormal, true},
    {VK_F6, 0, &CMainMenuItems::viewColorOnly, true},
    {VK_F7, 0, &CMainMenuItems::viewAlphaOnly, true},
    {'N', kCtrl | kShift, &CMainMenuItems::imageNew, true},
    {VK_PRIOR, kAlt, &CMainMenuItems::imagePrevious, true},
    {VK_NEXT, kAlt, &CMainMenuItems::imageNext, true},
    {'L', kCtrl, &CMainMenuItems::layerNewLayer, true},
    {'L', kCtrl | kAlt, &CMainMenuItems::layerNewSupersampled, true},
    {'D', kCtrl | kShift, &CMainMenuItems::layerDuplicate, true},
    {'E', kCtrl, &CMainMenuItems::layerMergeDown, true},
    {VK_PRIOR, 0, &CMainMenuItems::layerNextUp, true},
    {VK_NEXT, 0, &CMainMenuItems::layerNextDown, true},
    {VK_PRIOR, kCtrl | kShift, &CMainMenuItems::layerBringToFront, true},
    {VK_PRIOR, kCtrl, &CMainMenuItems::layerMoveForward, true},
    {VK_NEXT, kCtrl, &CMainMenuItems::layerMoveBackward, true},
    {VK_NEXT, kCtrl | kShift, &CMainMenuItems::layerSendToBack, true},
    {VK_F1, 0, &CMainMenuItems::helpContents, true},
};

void OnMainWindowDeleted(CWULInteractor*) {
  g_MainWindow = nullptr;
  SetErrorBoxOwner(nullptr);
  MainView::SetHooks(nullptr);
  RemoveUIHosts();
}

void OnClientContainerDeleted(CWULInteractor*) {
  g_ClientContainer = nullptr;
  SetErrorBoxOwner(nullptr);
}

void OnMainMenuDeleted(CWULMenu*, CWULMenu*) {
  g_MainMenu = nullptr;
  g_MenuItems = CMainMenuItems{};
}

void OnMainMenuChosen(CWULMenu* menu, CWULMenu*, CWULMenuItem* item) { OnMenuCommand(menu, item); }

void OnEditMenuOpen(CWULMenu* menu) { OnEditMenuPopup(menu); }

bool OnMainWindowMessage(CWULInteractor*, UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
  if (message == WM_FONTCHANGE) {
    g_FontList.Enumerate();
    *result = 0;
    return true;
  }
  // Commands by value, for programs that drive the editor with WM_COMMAND.
  if (message == WM_COMMAND && HIWORD(wParam) == 0) {
    const int value = LOWORD(wParam);
    if (value > CMD_SELECT_TOOL && value < CMD_SELECT_TOOL + 1000) {
      SelectToolCommand(value - CMD_SELECT_TOOL);
      *result = 0;
      return true;
    }
    if (RunMenuCommand(value)) {
      *result = 0;
      return true;
    }
  }
  return false;
}

void OnMainWindowCreated(CWULInteractor*) {
  g_Clipboard.CreateViewer();
}

void OnMainWindowDestroying(CWULInteractor*) {
  g_Clipboard.DestroyViewer();
}

void OnMainWindowActivate(CWULAppWindow*, bool minimized) {
  if (!minimized)
    RepaintPanelCaptions();
}

int OnMainWindowKeyDown(CWULInteractor*, int* key, LPARAM flags) {
  if (CTool* tool = g_ToolManager.GetActiveTool())
    return tool->KeyDown(*key, (flags & (1 << 30)) != 0) ? 1 : 0;
  return 0;
}

int OnMainWindowKeyUp(CWULInteractor*, int* key, LPARAM) {
  if (CTool* tool = g_ToolManager.GetActiveTool())
    return tool->KeyUp(*key) ? 1 : 0;
  return 0;
}

// Opens a web page in the shell's browser.
void OpenWebPage(const char* address) {
  ShellExecuteA(nullptr, nullptr, address, nullptr, nullptr, SW_SHOWNORMAL);
}

// Appends a new item with a command value to menu and returns it.
CWULMenuItem* AddItem(CWULMenu* menu, const char* text, int32_t value) {
  CWULMenuItem* item = NewMenuItem(text);
  item->value = value;
  menu->Append(item);
  return item;
}

void AddSeparator(CWULMenu* menu) { menu->Append(NewMenuSeparator()); }

// A title or submenu item holding a new submenu, which it returns.
CWULMenu* AddSubmenu(CWULMenu* menu, const char* text, CWULMenuItem** item) {
  *item = AddItem(menu, text, 0);
  CWULMenu* submenu = NewMenu();
  (*item)->SetSubmenu(submenu);
  return submenu;
}

void SetEnabled(CWULMenuItem* item, bool on) {
  if (item)
    item->SetEnabled(on);
}

// The item's text: base, then " " and the action's caption when it has one.
void SetActionText(CWULMenuItem* item, const char* base, CAction* action) {
  if (!item)
    return;
  char text[1024];
  if (action && action->GetName()[0])
    std::snprintf(text, sizeof text, "%s %s", base, action->GetName());
  else
    std::snprintf(text, sizeof text, "%s", base);
  if (std::strcmp(item->GetText(), text) != 0)
    item->SetText(text);
  item->SetEnabled(action != nullptr);
}

CWULMenuItem* SearchMenu(CWULMenu* menu, int32_t value) {
  if (!menu)
    return nullptr;
  for (CWULListNode* node = menu->items.first; node; node = node->next) {
    CWULMenuItem* item = static_cast<CWULMenuItem*>(node);
    if (item->value == value && item->type != WUL_MENU_SEPARATOR && !item->submenu)
      return item;
    if (CWULMenuItem* found = SearchMenu(item->submenu, value))
      return found;
  }
  return nullptr;
}

void UpdateZoomStates() {
  UpdateMenuStates();
  UpdateToolbarStates();
}

}  // namespace

CWULMenu* NewMenu() { return new CWULMenu; }

CWULMenuItem* NewMenuItem(const char* text) { return new CWULMenuItem(text); }

CWULMenuItem* NewMenuSeparator() {
  CWULMenuItem* item = new CWULMenuItem;
  item->SetType(WUL_MENU_SEPARATOR);
  return item;
}

CWULShortcut* CreateShortcut(int32_t value, int32_t key, int32_t modifiers) {
  return new CWULShortcut(value, key, modifiers);
}

void CreateMainMenu() {
  if (g_MainMenu)
    return;
  CMainMenuItems& m = g_MenuItems;
  try {
    CWULMenu* bar = NewMenu();
    g_MainMenu = bar;
    bar->destroyCallback = &OnMainMenuDeleted;
    bar->itemChosenCallback = &OnMainMenuChosen;

    CWULMenu* file = AddSubmenu(bar, "&File", &m.file);
    m.fileNew = AddItem(file, "&New...", CMD_FILE_NEW);
    m.fileOpen = AddItem(file, "&Open...", CMD_FILE_OPEN);
    m.fileSave = AddItem(file, "&Save", CMD_FILE_SAVE);
    m.fileSaveAs = AddItem(file, "Save &As...", CMD_FILE_SAVE_AS);
    m.fileClose = AddItem(file, "&Close", CMD_FILE_CLOSE);
    AddSeparator(file);
    m.fileImport = AddItem(file, "&Import...", CMD_FILE_IMPORT);
    m.fileExport = AddItem(file, "&Export...", CMD_FILE_EXPORT);
    AddSeparator(file);
    m.fileExit = AddItem(file, "E&xit", CMD_FILE_EXIT);

    CWULMenu* edit = AddSubmenu(bar, "&Edit", &m.edit);
    edit->openCallback = &OnEditMenuOpen;
    m.editUndo = AddItem(edit, "&Undo", CMD_EDIT_UNDO);
    m.editRedo = AddItem(edit, "&Redo", CMD_EDIT_REDO);
    AddSeparator(edit);
    m.editCut = AddItem(edit, "Cu&t", CMD_EDIT_CUT);
    m.editCopy = AddItem(edit, "&Copy", CMD_EDIT_COPY);
    m.editCopyMerged = AddItem(edit, "C&opy Merged", CMD_EDIT_COPY_MERGED);
    m.editPaste = AddItem(edit, "&Paste", CMD_EDIT_PASTE);
    m.editErase = AddItem(edit, "&Erase", CMD_EDIT_ERASE);
    AddSeparator(edit);
    m.editSelectAll = AddItem(edit, "Select &All", CMD_EDIT_SELECT_ALL);
    CWULMenu* selection = AddSubmenu(edit, "&Selection", &m.editSelection);
    m.editDeselect = AddItem(selection, "&Deselect", CMD_EDIT_DESELECT);
    m.editInvert = AddItem(selection, "&Invert", CMD_EDIT_INVERT);

    CWULMenu* view = AddSubmenu(bar, "&View", &m.view);
    m.viewZoomIn = AddItem(view, "Zoom &In", CMD_VIEW_ZOOM_IN);
    m.viewZoomOut = AddItem(view, "Zoom &Out", CMD_VIEW_ZOOM_OUT);
    m.viewZoomToFit = AddItem(view, "Zoom to &Fit", CMD_VIEW_ZOOM_TO_FIT);
    AddSeparator(view);
    m.viewNormal = AddItem(view, "&Normal", CMD_VIEW_NORMAL);
    m.viewColorOnly = AddItem(view, "&Color only", CMD_VIEW_COLOR_ONLY);
    m.viewAlphaOnly = AddItem(view, "&Alpha only", CMD_VIEW_ALPHA_ONLY);
    m.viewNormal->SetType(WUL_MENU_RADIO);
    m.viewColorOnly->SetType(WUL_MENU_RADIO);
    m.viewAlphaOnly->SetType(WUL_MENU_RADIO);
    m.viewColorOnly->JoinGroup(m.viewNormal);
    m.viewAlphaOnly->JoinGroup(m.viewColorOnly);
    m.viewNormal->SetChecked(true);

    CWULMenu* image = AddSubmenu(bar, "&Image", &m.image);
    m.imageNew = AddItem(image, "&New...", CMD_IMAGE_NEW);
    m.imageDelete = AddItem(image, "Dele&te", CMD_IMAGE_DELETE);
    m.imageProperties = AddItem(image, "&Properties...", CMD_IMAGE_PROPERTIES);
    AddSeparator(image);
    m.imageCrop = AddItem(image, "&Crop to Selection", CMD_IMAGE_CROP);
    AddSeparator(image);
    m.imagePrevious = AddItem(image, "P&revious", CMD_IMAGE_PREVIOUS);
    m.imageNext = AddItem(image, "&Next", CMD_IMAGE_NEXT);
    AddSeparator(image);
    m.imageMoveUp = AddItem(image, "Move &Up", CMD_IMAGE_MOVE_UP);
    m.imageMoveDown = AddItem(image, "Move &Down", CMD_IMAGE_MOVE_DOWN);
    AddSeparator(image);
    m.imageFlipHorizontal = AddItem(image, "Flip &Horizontal", CMD_IMAGE_FLIP_HORIZONTAL);
    m.imageFlipVertical = AddItem(image, "Flip &Vertical", CMD_IMAGE_FLIP_VERTICAL);
    AddSeparator(image);
    // The degree sign is the Windows ANSI byte 0xB0.
    m.imageRotateCw = AddItem(image, "Rotate &90\xB0 CW", CMD_IMAGE_ROTATE_CW);
    m.imageRotateCcw = AddItem(image, "Rotate 9&0\xB0 CCW", CMD_IMAGE_ROTATE_CCW);
    m.imageRotate180 = AddItem(image, "Rotate &180\xB0", CMD_IMAGE_ROTATE_180);
    AddSeparator(image);
    m.imageImport = AddItem(image, "&Import...", CMD_IMAGE_IMPORT);
    m.imageExport = AddItem(image, "&Export...", CMD_IMAGE_EXPORT);

    CWULMenu* layer = AddSubmenu(bar, "&Layer", &m.layer);
    CWULMenu* layerNew = AddSubmenu(layer, "&New", &m.layerNew);
    m.layerNewLayer = AddItem(layerNew, "&Layer", CMD_LAYER_NEW);
    m.layerNewSupersampled = AddItem(layerNew, "&Supersampled layer", CMD_LAYER_NEW_SUPERSAMPLED);
    m.layerDelete = AddItem(layer, "Dele&te", CMD_LAYER_DELETE);
    m.layerProperties = AddItem(layer, "&Properties...", CMD_LAYER_PROPERTIES);
    AddSeparator(layer);
    m.layerDuplicate = AddItem(layer, "&Duplicate", CMD_LAYER_DUPLICATE);
    m.layerMergeDown = AddItem(layer, "&Merge Down", CMD_LAYER_MERGE_DOWN);
    m.layerMergeAll = AddItem(layer, "Merge &All", CMD_LAYER_MERGE_ALL);
    AddSeparator(layer);
    m.layerNextUp = AddItem(layer, "Next &Up", CMD_LAYER_NEXT_UP);
    m.layerNextDown = AddItem(layer, "Next Do&wn", CMD_LAYER_NEXT_DOWN);
    AddSeparator(layer);
    m.layerBringToFront = AddItem(layer, "Bring to F&ront", CMD_LAYER_BRING_TO_FRONT);
    m.layerMoveForward = AddItem(layer, "Move &Forward", CMD_LAYER_MOVE_FORWARD);
    m.layerMoveBackward = AddItem(layer, "Move &Backward", CMD_LAYER_MOVE_BACKWARD);
    m.layerSendToBack = AddItem(layer, "Send to Bac&k", CMD_LAYER_SEND_TO_BACK);

    CWULMenu* tools = AddSubmenu(bar, "&Tools", &m.tools);
    m.toolsPlugins = AddItem(tools, "&Plugins...", CMD_TOOLS_PLUGINS);
    m.toolsOptions = AddItem(tools, "&Options...", CMD_TOOLS_OPTIONS);

    CWULMenu* help = AddSubmenu(bar, "&Help", &m.help);
    m.helpContents = AddItem(help, "&Contents", CMD_HELP_CONTENTS);
    m.helpKeyboard = AddItem(help, "&Keyboard Shortcuts", CMD_HELP_KEYBOARD);
    AddSeparator(help);
    CWULMenu* homePage = AddSubmenu(help, "&Home Page", &m.helpHomePage);
    m.helpPrimary = AddItem(homePage, "&Primary", CMD_HELP_PRIMARY);
    m.helpAlternate = AddItem(homePage, "&Alternate", CMD_HELP_ALTERNATE);
    m.helpFeedback = AddItem(help, "&Feedback", CMD_HELP_FEEDBACK);
    m.helpSupport = AddItem(help, "&Support", CMD_HELP_SUPPORT);
    AddSeparator(help);
    m.helpAbout = AddItem(help, "&About...", CMD_HELP_ABOUT);

    // The items show the shortcuts that click them.
    for (int i = 0; i < SHORTCUT_COUNT; ++i) {
      const ShortcutEntry& entry = kShortcutTable[i];
      if (entry.attached && g_Shortcuts[i] && m.*entry.item)
        (m.*entry.item)->SetShortcut(g_Shortcuts[i]);
    }
  } catch (...) {
    ErrorBox("Main menu creation failed");
    throw;
  }
}

CWULMenuItem* FindMenuCommand(int32_t value) {
  if (value == 0)
    return nullptr;
  return SearchMenu(g_MainMenu, value);
}

bool RunMenuCommand(int32_t value) {
  CWULMenuItem* item = FindMenuCommand(value);
  if (!item)
    return false;
  item->Click();
  return true;
}

void OnMenuCommand(CWULMenu*, CWULMenuItem* item) {
  const CMainMenuItems& m = g_MenuItems;
  if (!item)
    return;
  // File.
  if (item == m.fileNew) {
    NewProjectDialog();
  } else if (item == m.fileOpen) {
    OpenProjectCommand();
  } else if (item == m.fileSave) {
    SaveProjectCommand();
  } else if (item == m.fileSaveAs) {
    SaveProjectAsCommand();
  } else if (item == m.fileClose) {
    CloseProject(3);
  } else if (item == m.fileImport) {
    ImportProjectCommand();
  } else if (item == m.fileExport) {
    ExportProjectCommand();
  } else if (item == m.fileExit) {
    RequestMainWindowClose();
  }
  // Edit.
  else if (item == m.editUndo) {
    UndoCommand();
  } else if (item == m.editRedo) {
    RedoCommand();
  } else if (item == m.editCut) {
    CutCommand();
  } else if (item == m.editCopy) {
    CopyCommand();
  } else if (item == m.editCopyMerged) {
    CopyMergedCommand();
  } else if (item == m.editPaste) {
    PasteCommand();
  } else if (item == m.editErase) {
    EraseCommand(nullptr);
  } else if (item == m.editSelectAll) {
    SelectAllCommand();
  } else if (item == m.editDeselect) {
    DeselectCommand();
  } else if (item == m.editInvert) {
    InvertSelectionCommand();
  }
  // View.
  else if (item == m.viewZoomIn) {
    ZoomInCommand();
  } else if (item == m.viewZoomOut) {
    ZoomOutCommand();
  } else if (item == m.viewZoomToFit) {
    ZoomToFitCommand();
  } else if (item == m.viewNormal) {
    SetChannelModeCommand(MainView::CHANNELS_NORMAL);
  } else if (item == m.viewColorOnly) {
    SetChannelModeCommand(MainView::CHANNELS_COLOR);
  } else if (item == m.viewAlphaOnly) {
    SetChannelModeCommand(MainView::CHANNELS_ALPHA);
  }
  // Image.
  else if (item == m.imageNew) {
    NewImageDialog();
  } else if (item == m.imageDelete) {
    DeleteImageCommand();
  } else if (item == m.imageProperties) {
    ImagePropertiesCommand();
  } else if (item == m.imageCrop) {
    CropCommand();
  } else if (item == m.imagePrevious) {
    PreviousImageCommand();
  } else if (item == m.imageNext) {
    NextImageCommand();
  } else if (item == m.imageMoveUp) {
    MoveImageUpCommand();
  } else if (item == m.imageMoveDown) {
    MoveImageDownCommand();
  } else if (item == m.imageFlipHorizontal) {
    FlipImageHorizontalCommand();
  } else if (item == m.imageFlipVertical) {
    FlipImageVerticalCommand();
  } else if (item == m.imageRotateCw) {
    RotateImageCwCommand();
  } else if (item == m.imageRotateCcw) {
    RotateImageCcwCommand();
  } else if (item == m.imageRotate180) {
    RotateImage180Command();
  } else if (item == m.imageImport) {
    ImportImageCommand();
  } else if (item == m.imageExport) {
    ExportImageCommand();
  }
  // Layer.
  else if (item == m.layerNewLayer) {
    NewLayerCommand(false);
  } else if (item == m.layerNewSupersampled) {
    NewLayerCommand(true);
  } else if (item == m.layerDelete) {
    DeleteLayerCommand();
  } else if (item == m.layerProperties) {
    LayerPropertiesCommand();
  } else if (item == m.layerDuplicate) {
    DuplicateLayerCommand();
  } else if (item == m.layerMergeDown) {
    MergeDownCommand();
  } else if (item == m.layerMergeAll) {
    MergeAllLayersCommand();
  } else if (item == m.layerNextUp) {
    SelectLayerAboveCommand();
  } else if (item == m.layerNextDown) {
    SelectLayerBelowCommand();
  } else if (item == m.layerBringToFront) {
    MoveLayerToTopCommand();
  } else if (item == m.layerMoveForward) {
    MoveLayerUpCommand();
  } else if (item == m.layerMoveBackward) {
    MoveLayerDownCommand();
  } else if (item == m.layerSendToBack) {
    MoveLayerToBottomCommand();
  }
  // Tools.
  else if (item == m.toolsOptions) {
    OptionsDialog();
  } else if (item == m.toolsPlugins) {
    PluginsDialog();
  }
  // Help.
  else if (item == m.helpContents) {
    ShowHelpContents();
  } else if (item == m.helpKeyboard) {
    ShowHelpTopic("keyboard.html");
  } else if (item == m.helpPrimary) {
    OpenWebPage(kMakerHomePage);
  } else if (item == m.helpAlternate) {
    OpenWebPage(kProductHomePage);
  } else if (item == m.helpFeedback || item == m.helpSupport) {
    OpenWebPage(kSupportPage);
  } else if (item == m.helpAbout) {
    AboutDialog();
  }
}

void OnEditMenuPopup(CWULMenu*) {
  SetActionText(g_MenuItems.editUndo, "&Undo", GetUndoAction());
  SetActionText(g_MenuItems.editRedo, "&Redo", GetRedoAction());
}

void UpdateMenuStates() {
  if (!g_MainMenu)
    return;
  const CMainMenuItems& m = g_MenuItems;
  CProject* project = GetCurrentProject();
  CImage* image = GetCurrentImage();
  CLayer* layer = GetCurrentLayer();
  CSelection* selection = GetCurrentSelection();
  const bool hasProject = project != nullptr;
  const bool hasImage = image != nullptr;
  const bool hasLayer = layer != nullptr;
  const bool selectionActive = selection && selection->IsActive();
  const bool selectionNotEmpty = selectionActive && !selection->IsEmpty();
  const bool imageHasPrevious = hasImage && image->GetPrevious();
  const bool imageHasNext = hasImage && image->GetNext();
  const bool layerHasBelow = hasLayer && layer->GetPrevious();
  const bool layerHasAbove = hasLayer && layer->GetNext();
  const int32_t zoom = MainView::GetZoomIndex();

  for (CWULMenuItem* item : {m.fileSave, m.fileSaveAs, m.fileClose, m.fileExport, m.image})
    SetEnabled(item, hasProject);
  for (CWULMenuItem* item : {m.edit, m.view, m.imageDelete, m.imageProperties, m.imageExport, m.layer})
    SetEnabled(item, hasImage);
  SetEnabled(m.editCut, CanCut());
  SetEnabled(m.editErase, CanCut());
  SetEnabled(m.editCopy, CanCopy());
  SetEnabled(m.editPaste, CanPaste());
  SetEnabled(m.editCopyMerged, selectionActive);
  SetEnabled(m.editSelection, selectionActive);
  SetEnabled(m.viewZoomIn, hasImage && zoom + 1 <= MainView::ZOOM_STEPS - 1);
  SetEnabled(m.viewZoomOut, hasImage && zoom - 1 >= 0);
  SetEnabled(m.imageCrop, hasImage && selectionNotEmpty);
  SetEnabled(m.imagePrevious, imageHasPrevious);
  SetEnabled(m.imageMoveUp, imageHasPrevious);
  SetEnabled(m.imageNext, imageHasNext);
  SetEnabled(m.imageMoveDown, imageHasNext);
  SetEnabled(m.layerNewSupersampled, CanSupersample());
  for (CWULMenuItem* item : {m.layerDelete, m.layerProperties, m.layerDuplicate})
    SetEnabled(item, hasLayer);
  for (CWULMenuItem* item : {m.layerMergeDown, m.layerNextDown, m.layerMoveBackward, m.layerSendToBack})
    SetEnabled(item, layerHasBelow);
  for (CWULMenuItem* item : {m.layerNextUp, m.layerBringToFront, m.layerMoveForward})
    SetEnabled(item, layerHasAbove);
  SetEnabled(m.layerMergeAll, hasImage && image->GetLayerCount() > 1);

  const int32_t mode = MainView::GetChannelMode();
  if (m.viewNormal && (m.viewNormal->checked != 0) != (mode == MainView::CHANNELS_NORMAL))
    m.viewNormal->SetChecked(mode == MainView::CHANNELS_NORMAL);
  if (m.viewColorOnly && (m.viewColorOnly->checked != 0) != (mode == MainView::CHANNELS_COLOR))
    m.viewColorOnly->SetChecked(mode == MainView::CHANNELS_COLOR);
  if (m.viewAlphaOnly && (m.viewAlphaOnly->checked != 0) != (mode == MainView::CHANNELS_ALPHA))
    m.viewAlphaOnly->SetChecked(mode == MainView::CHANNELS_ALPHA);
}

void CreateShortcutTable() {
  try {
    for (CWULShortcut*& shortcut : g_Shortcuts)
      shortcut = nullptr;
    for (int i = 0; i < SHORTCUT_COUNT; ++i)
      g_Shortcuts[i] = CreateShortcut(0, kShortcutTable[i].key, kShortcutTable[i].modifiers);
  } catch (...) {
    ErrorBox("Shortcut table creation failed");
    for (CWULShortcut* shortcut : g_Shortcuts) {
      if (shortcut)
        shortcut->callback = &OnShortcut;
    }
    throw;
  }
  for (CWULShortcut* shortcut : g_Shortcuts)
    shortcut->callback = &OnShortcut;
}

int OnShortcut(CWULShortcut* shortcut, CWULShortcut*) {
  if (MainView::GetDragState() != MainView::DRAG_IDLE)
    return 0;
  for (int i = 0; i < SHORTCUT_COUNT; ++i) {
    if (g_Shortcuts[i] != shortcut)
      continue;
    if (!kShortcutTable[i].item) {
      if (g_MainWindow)
        g_MainWindow->SetFocus();
    } else if (CWULMenuItem* item = g_MenuItems.*kShortcutTable[i].item) {
      item->Click();
    }
    return 1;
  }
  return 0;
}

void UpdateMainWindowTitle() {
  if (!g_MainWindow)
    return;
  char title[1024];
  std::snprintf(title, sizeof title, "Vellumcraft");
  if (CProject* project = GetCurrentProject()) {
    const size_t used = std::strlen(title);
    std::snprintf(title + used, sizeof title - used, " - %s%s", project->GetName(),
                  project->IsModified() ? "*" : "");
  }
  if (std::strcmp(g_MainWindow->GetText(), title) != 0)
    g_MainWindow->SetText(title);
}

bool SelectToolCommand(int32_t toolId) {
  if (Toolbox::SelectTool(toolId))
    return true;
  CTool* tool = g_ToolManager.FindTool(toolId);
  if (!tool)
    return false;
  g_ToolManager.SetActiveTool(tool);
  RestoreCursor();
  return true;
}

void RequestMainWindowClose() {
  if (g_MainWindow)
    g_MainWindow->RequestClose();
}

void UpdateCommandStates() {
  UpdateMainWindowTitle();
  UpdateMenuStates();
  UpdateToolbarStates();
  ProjectPanel::UpdateInfo();
  ImagePanel::UpdateInfo();
  ColorPanel::UpdatePalettePage();
  RestoreCursor();
}

void RefreshAll() {
  UpdateMainWindowTitle();
  UpdateMenuStates();
  UpdateToolbarStates();
  ProjectPanel::RefreshAll();
  ImagePanel::RefreshAll();
  ToolPanel::Refresh();
  ColorPanel::Refresh();
  Toolbox::UpdateColors();
  PreviewPanel::Refresh();
  if (MainView::GetView())
    MainView::RefitToImage();
  RestoreCursor();
}

void BeginWaitCursor() {
  wulPumpMessages();
  SetCursor(GetWaitCursor());
}

void RestoreCursor() { wulUpdateCursor(); }

void SetZoomCommand(int32_t index) {
  MainView::SetZoomIndex(index, nullptr);
  UpdateMenuStates();
  UpdateToolbarStates();
  RestoreCursor();
}

void ZoomInCommand() { SetZoomCommand(MainView::GetZoomIndex() + 1); }

void ZoomOutCommand() { SetZoomCommand(MainView::GetZoomIndex() - 1); }

void ZoomToFitCommand() {
  MainView::ZoomToFitImage();
  UpdateMenuStates();
  UpdateToolbarStates();
  RestoreCursor();
}

void SetChannelModeCommand(int32_t mode) {
  MainView::SetChannelMode(mode);
  UpdateMenuStates();
  UpdateToolbarStates();
  RestoreCursor();
}

int OnMainWindowClose(CWULAppWindow* window) {
  if (GetCurrentProject() && !CloseProject(3))
    return 0;
  WINDOWPLACEMENT placement = {};
  placement.length = sizeof placement;
  if (!window->GetHandle() || !GetWindowPlacement(window->GetHandle(), &placement))
    return WUL_CLOSE_DESTROY;
  const RECT& normal = placement.rcNormalPosition;
  g_Settings.mainWindowPositionLeft->SetValue(normal.left);
  g_Settings.mainWindowPositionTop->SetValue(normal.top);
  g_Settings.mainWindowSizeWidth->SetValue(normal.right - normal.left);
  g_Settings.mainWindowSizeHeight->SetValue(normal.bottom - normal.top);
  g_Settings.mainWindowMinimized->SetValue(window->IsMinimized());
  g_Settings.mainWindowMaximized->SetValue(window->IsMaximized());
  return WUL_CLOSE_DESTROY;
}

void CreateMainWindow() {
  if (g_MainWindow) {
    g_MainWindow->BringToForeground();
    return;
  }
  CreateMainMenu();
  CWULAppWindow* window = nullptr;
  try {
    window = new CWULAppWindow;
  } catch (...) {
    if (g_MainMenu)
      delete g_MainMenu;
    throw;
  }
  g_MainWindow = window;
  window->deletedHandler = &OnMainWindowDeleted;
  try {
    window->SetFrameKind(WUL_FRAME_SIZING);
    window->SetCaption(true);
    window->SetSystemMenu(true);
    window->SetCloseBox(true);
    window->SetMinimizeBox(true);
    window->SetMaximizeBox(true);
    window->SetBigIcon(GetAppIcon(32));
    window->SetSmallIcon(GetAppIcon(16));
    window->SetMenu(g_MainMenu);
    window->SetCaptionStyle(WUL_CAPTION_SHADED);
    window->SetPosition(g_Settings.mainWindowPositionLeft->GetValue(),
                        g_Settings.mainWindowPositionTop->GetValue());
    window->SetSize(g_Settings.mainWindowSizeWidth->GetValue(), g_Settings.mainWindowSizeHeight->GetValue());
    window->SetMinClientWidth(480);
    window->SetMinClientHeight(320);
    window->SetWindowKind(WUL_WINDOW_ORDINARY);
    window->SetQuitOnDestroy(true);
    window->SetMinimized(false);
    window->SetMaximized(g_Settings.mainWindowMaximized->GetValue());

    window->messageHook = &OnMainWindowMessage;
    window->createdHandler = &OnMainWindowCreated;
    window->destroyedHandler = &OnMainWindowDestroying;
    window->activatedHandler = &OnMainWindowActivate;
    window->deactivatedHandler = &OnMainWindowActivate;
    window->keyDownHandler = &OnMainWindowKeyDown;
    window->sysKeyDownHandler = &OnMainWindowKeyDown;
    window->keyUpHandler = &OnMainWindowKeyUp;
    window->sysKeyUpHandler = &OnMainWindowKeyUp;
    window->closeRequestHandler = &OnMainWindowClose;

    // The toolbar, status bar, toolbox and panel master dock here, in that order, before
    // the client container takes what is left.
    wulPushDefaultParent(window);
    try {
      CreateMainToolbar();
      CreateStatusBar();
      CreateToolbox();
      CreatePanelMaster();
      CWULPanel* container = new CWULPanel;
      g_ClientContainer = container;
      container->deletedHandler = &OnClientContainerDeleted;
      container->SetParentColor(false);
      container->color.SetRGB(96, 96, 96);
      container->SetOuterEdge(WUL_EDGE_LINE);
      container->SetAlignment(WUL_ALIGN_FILL);
      wulPushDefaultParent(container);
      try {
        CreateMainView(container);
      } catch (...) {
        wulPopDefaultParent();
        throw;
      }
      wulPopDefaultParent();
    } catch (...) {
      wulPopDefaultParent();
      throw;
    }
    wulPopDefaultParent();

    InstallUIHosts();
    MainView::CHooks hooks = {};
    hooks.updateZoomStates = &UpdateZoomStates;
    hooks.registerStatusWindow = &StatusBar::RegisterWindow;
    hooks.unregisterStatusWindow = &StatusBar::UnregisterWindow;
    MainView::SetHooks(&hooks);

    SelectToolCommand(10);

    UpdateMainWindowTitle();
    UpdateMenuStates();
    UpdateToolbarStates();
    window->IncarnateTree(nullptr);
    SetErrorBoxOwner(g_ClientContainer ? g_ClientContainer->GetHandle() : nullptr);
    window->Show();
    window->BringToForeground();
  } catch (...) {
    delete window;
    throw;
  }
}
