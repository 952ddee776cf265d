#include "ui/MainWindow.h"
#include <shellapi.h>
#include <cstdio>
#include <cstring>
#include <utility>
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
CWULShortcut* g_Shortcuts[SHORTCUT_COUNT] = {};

namespace {

const char kMakerHomePage[] = "https://www.tolvenark.net/";
const char kProductHomePage[] = "https://www.tolvenark.net/vellumcraft/";
const char kSupportPage[] = "https://www.tolvenark.net/support/";

// Opens a web page in the shell's browser.
void OpenWebPage(const char* address) {
  ShellExecuteA(nullptr, nullptr, address, nullptr, nullptr, SW_SHOWNORMAL);
}

// What the enable and check rules read (ReadCommandConditions), one bit each.
enum : uint32_t {
  IF_PROJECT = 1u << 0,
  IF_IMAGE = 1u << 1,
  IF_LAYER = 1u << 2,
  IF_SELECTION = 1u << 3,           // the current selection is active
  IF_SELECTION_NOT_EMPTY = 1u << 4,
  IF_IMAGE_BEFORE = 1u << 5,        // the current image has a neighbour before it
  IF_IMAGE_AFTER = 1u << 6,
  IF_LAYER_BELOW = 1u << 7,         // the current layer has a neighbour below it
  IF_LAYER_ABOVE = 1u << 8,
  IF_LAYERS = 1u << 9,              // the current image has more than one layer
  IF_CUT = 1u << 10,
  IF_COPY = 1u << 11,
  IF_PASTE = 1u << 12,
  IF_SUPERSAMPLE = 1u << 13,
  IF_ZOOM_IN = 1u << 14,            // the next zoom index is within range
  IF_ZOOM_OUT = 1u << 15,
  IF_UNDO = 1u << 16,               // there is an action to undo
  IF_REDO = 1u << 17,
  IF_MODE_NORMAL = 1u << 18,        // the main view's channel mode
  IF_MODE_COLOR = 1u << 19,
  IF_MODE_ALPHA = 1u << 20,
  // Not a condition: the item's enabled state is set when its menu opens, not by
  // UpdateMenuStates.
  WHEN_OPENED = 1u << 31
};

// One row per entry of the main menu, in menu order. Level 0 is a title of the menu bar,
// 1 an item of a title's menu, 2 an item of a submenu; a row followed by a deeper one holds
// that submenu. An item needs every condition of enabledWhen (0: it is never disabled by
// UpdateMenuStates); a row with checkedWhen is a radio item, checked while its condition
// holds, and consecutive radio rows form one group.
struct CommandRow {
  int level;
  const char* text;  // null: a separator
  int32_t value;
  void (*run)();     // null: nothing to run
  uint32_t enabledWhen;
  uint32_t checkedWhen;
};

constexpr CommandRow Separator(int level) { return {level, nullptr, 0, nullptr, 0, 0}; }

// The degree sign of the rotate items is the Windows ANSI byte 0xB0.
const CommandRow kCommands[] = {
    {0, "&File", CMD_MENU_FILE, nullptr, 0, 0},
    {1, "&New...", CMD_FILE_NEW, [] { NewProjectCommand(); }, 0, 0},
    {1, "&Open...", CMD_FILE_OPEN, [] { OpenProjectCommand(); }, 0, 0},
    {1, "&Save", CMD_FILE_SAVE, [] { SaveProjectCommand(); }, IF_PROJECT, 0},
    {1, "Save &As...", CMD_FILE_SAVE_AS, [] { SaveProjectAsCommand(); }, IF_PROJECT, 0},
    {1, "&Close", CMD_FILE_CLOSE, [] { CloseProject(3); }, IF_PROJECT, 0},
    Separator(1),
    {1, "&Import...", CMD_FILE_IMPORT, [] { ImportProjectCommand(); }, 0, 0},
    {1, "&Export...", CMD_FILE_EXPORT, [] { ExportProjectCommand(); }, IF_PROJECT, 0},
    Separator(1),
    {1, "E&xit", CMD_FILE_EXIT, &RequestMainWindowClose, 0, 0},

    {0, "&Edit", CMD_MENU_EDIT, nullptr, IF_IMAGE, 0},
    {1, "&Undo", CMD_EDIT_UNDO, [] { UndoCommand(); }, IF_UNDO | WHEN_OPENED, 0},
    {1, "&Redo", CMD_EDIT_REDO, [] { RedoCommand(); }, IF_REDO | WHEN_OPENED, 0},
    Separator(1),
    {1, "Cu&t", CMD_EDIT_CUT, [] { CutCommand(); }, IF_CUT, 0},
    {1, "&Copy", CMD_EDIT_COPY, [] { CopyCommand(); }, IF_COPY, 0},
    {1, "C&opy Merged", CMD_EDIT_COPY_MERGED, [] { CopyMergedCommand(); }, IF_SELECTION, 0},
    {1, "&Paste", CMD_EDIT_PASTE, [] { PasteCommand(); }, IF_PASTE, 0},
    {1, "&Erase", CMD_EDIT_ERASE, [] { EraseCommand(nullptr); }, IF_CUT, 0},
    Separator(1),
    {1, "Select &All", CMD_EDIT_SELECT_ALL, [] { SelectAllCommand(); }, 0, 0},
    {1, "&Selection", CMD_EDIT_SELECTION, nullptr, IF_SELECTION, 0},
    {2, "&Deselect", CMD_EDIT_DESELECT, [] { DeselectCommand(); }, 0, 0},
    {2, "&Invert", CMD_EDIT_INVERT, [] { InvertSelectionCommand(); }, 0, 0},

    {0, "&View", CMD_MENU_VIEW, nullptr, IF_IMAGE, 0},
    {1, "Zoom &In", CMD_VIEW_ZOOM_IN, &ZoomInCommand, IF_IMAGE | IF_ZOOM_IN, 0},
    {1, "Zoom &Out", CMD_VIEW_ZOOM_OUT, &ZoomOutCommand, IF_IMAGE | IF_ZOOM_OUT, 0},
    {1, "Zoom to &Fit", CMD_VIEW_ZOOM_TO_FIT, &ZoomToFitCommand, 0, 0},
    Separator(1),
    {1, "&Normal", CMD_VIEW_NORMAL, [] { SetChannelModeCommand(MainView::CHANNELS_NORMAL); }, 0, IF_MODE_NORMAL},
    {1, "&Color only", CMD_VIEW_COLOR_ONLY, [] { SetChannelModeCommand(MainView::CHANNELS_COLOR); }, 0,
     IF_MODE_COLOR},
    {1, "&Alpha only", CMD_VIEW_ALPHA_ONLY, [] { SetChannelModeCommand(MainView::CHANNELS_ALPHA); }, 0,
     IF_MODE_ALPHA},

    {0, "&Image", CMD_MENU_IMAGE, nullptr, IF_PROJECT, 0},
    {1, "&New...", CMD_IMAGE_NEW, [] { NewImageDialog(); }, 0, 0},
    {1, "Dele&te", CMD_IMAGE_DELETE, [] { DeleteImageCommand(); }, IF_IMAGE, 0},
    {1, "&Properties...", CMD_IMAGE_PROPERTIES, [] { ImagePropertiesCommand(); }, IF_IMAGE, 0},
    Separator(1),
    {1, "&Crop to Selection", CMD_IMAGE_CROP, [] { CropCommand(); }, IF_IMAGE | IF_SELECTION_NOT_EMPTY, 0},
    Separator(1),
    {1, "P&revious", CMD_IMAGE_PREVIOUS, [] { PreviousImageCommand(); }, IF_IMAGE_BEFORE, 0},
    {1, "&Next", CMD_IMAGE_NEXT, [] { NextImageCommand(); }, IF_IMAGE_AFTER, 0},
    Separator(1),
    {1, "Move &Up", CMD_IMAGE_MOVE_UP, [] { MoveImageUpCommand(); }, IF_IMAGE_BEFORE, 0},
    {1, "Move &Down", CMD_IMAGE_MOVE_DOWN, [] { MoveImageDownCommand(); }, IF_IMAGE_AFTER, 0},
    Separator(1),
    {1, "Flip &Horizontal", CMD_IMAGE_FLIP_HORIZONTAL, [] { FlipImageHorizontalCommand(); }, 0, 0},
    {1, "Flip &Vertical", CMD_IMAGE_FLIP_VERTICAL, [] { FlipImageVerticalCommand(); }, 0, 0},
    Separator(1),
    {1, "Rotate &90\xB0 CW", CMD_IMAGE_ROTATE_CW, [] { RotateImageCwCommand(); }, 0, 0},
    {1, "Rotate 9&0\xB0 CCW", CMD_IMAGE_ROTATE_CCW, [] { RotateImageCcwCommand(); }, 0, 0},
    {1, "Rotate &180\xB0", CMD_IMAGE_ROTATE_180, [] { RotateImage180Command(); }, 0, 0},
    Separator(1),
    {1, "&Import...", CMD_IMAGE_IMPORT, [] { ImportImageCommand(); }, 0, 0},
    {1, "&Export...", CMD_IMAGE_EXPORT, [] { ExportImageCommand(); }, IF_IMAGE, 0},

    {0, "&Layer", CMD_MENU_LAYER, nullptr, IF_IMAGE, 0},
    {1, "&New", CMD_LAYER_NEW_MENU, nullptr, 0, 0},
    {2, "&Layer", CMD_LAYER_NEW, [] { NewLayerCommand(false); }, 0, 0},
    {2, "&Supersampled layer", CMD_LAYER_NEW_SUPERSAMPLED, [] { NewLayerCommand(true); }, IF_SUPERSAMPLE, 0},
    {1, "Dele&te", CMD_LAYER_DELETE, [] { DeleteLayerCommand(); }, IF_LAYER, 0},
    {1, "&Properties...", CMD_LAYER_PROPERTIES, [] { LayerPropertiesCommand(); }, IF_LAYER, 0},
    Separator(1),
    {1, "&Duplicate", CMD_LAYER_DUPLICATE, [] { DuplicateLayerCommand(); }, IF_LAYER, 0},
    {1, "&Merge Down", CMD_LAYER_MERGE_DOWN, [] { MergeDownCommand(); }, IF_LAYER_BELOW, 0},
    {1, "Merge &All", CMD_LAYER_MERGE_ALL, [] { MergeAllLayersCommand(); }, IF_IMAGE | IF_LAYERS, 0},
    Separator(1),
    {1, "Next &Up", CMD_LAYER_NEXT_UP, [] { SelectLayerAboveCommand(); }, IF_LAYER_ABOVE, 0},
    {1, "Next Do&wn", CMD_LAYER_NEXT_DOWN, [] { SelectLayerBelowCommand(); }, IF_LAYER_BELOW, 0},
    Separator(1),
    {1, "Bring to F&ront", CMD_LAYER_BRING_TO_FRONT, [] { MoveLayerToTopCommand(); }, IF_LAYER_ABOVE, 0},
    {1, "Move &Forward", CMD_LAYER_MOVE_FORWARD, [] { MoveLayerUpCommand(); }, IF_LAYER_ABOVE, 0},
    {1, "Move &Backward", CMD_LAYER_MOVE_BACKWARD, [] { MoveLayerDownCommand(); }, IF_LAYER_BELOW, 0},
    {1, "Send to Bac&k", CMD_LAYER_SEND_TO_BACK, [] { MoveLayerToBottomCommand(); }, IF_LAYER_BELOW, 0},

    {0, "&Tools", CMD_MENU_TOOLS, nullptr, 0, 0},
    {1, "&Plugins...", CMD_TOOLS_PLUGINS, [] { PluginsDialog(); }, 0, 0},
    {1, "&Options...", CMD_TOOLS_OPTIONS, [] { OptionsDialog(); }, 0, 0},

    {0, "&Help", CMD_MENU_HELP, nullptr, 0, 0},
    {1, "&Contents", CMD_HELP_CONTENTS, [] { ShowHelpContents(); }, 0, 0},
    {1, "&Keyboard Shortcuts", CMD_HELP_KEYBOARD, [] { ShowHelpTopic(HELP_TOPIC_KEYBOARD); }, 0, 0},
    Separator(1),
    {1, "&Home Page", CMD_HELP_HOME_PAGE, nullptr, 0, 0},
    {2, "&Primary", CMD_HELP_PRIMARY, [] { OpenWebPage(kMakerHomePage); }, 0, 0},
    {2, "&Alternate", CMD_HELP_ALTERNATE, [] { OpenWebPage(kProductHomePage); }, 0, 0},
    {1, "&Feedback", CMD_HELP_FEEDBACK, [] { OpenWebPage(kSupportPage); }, 0, 0},
    {1, "&Support", CMD_HELP_SUPPORT, [] { OpenWebPage(kSupportPage); }, 0, 0},
    Separator(1),
    {1, "&About...", CMD_HELP_ABOUT, [] { AboutDialog(); }, 0, 0},
};

const int kCommandCount = static_cast<int>(sizeof kCommands / sizeof kCommands[0]);

// The items of the main menu by row; all null while the menu does not exist.
CWULMenuItem* g_Items[kCommandCount] = {};

// The row with that command value, or -1.
int FindRow(int32_t value) {
  if (value == 0)
    return -1;
  for (int i = 0; i < kCommandCount; ++i) {
    if (kCommands[i].value == value)
      return i;
  }
  return -1;
}

// The shortcut table: key, modifiers, the command of the item it clicks and whether the
// item shows it.
struct ShortcutEntry {
  int32_t key;
  int32_t modifiers;
  int32_t command;  // 0: the focus entry
  bool attached;
};

const int kShift = WUL_MOD_SHIFT, kCtrl = WUL_MOD_CTRL, kAlt = WUL_MOD_ALT;

const ShortcutEntry kShortcutTable[SHORTCUT_COUNT] = {
    {VK_ESCAPE, 0, 0, false},
    {'N', kCtrl, CMD_FILE_NEW, true},
    {'O', kCtrl, CMD_FILE_OPEN, true},
    {'S', kCtrl, CMD_FILE_SAVE, true},
    {'S', kCtrl | kShift, CMD_FILE_SAVE_AS, true},
    {VK_F4, kCtrl, CMD_FILE_CLOSE, true},
    {'O', kCtrl | kAlt, CMD_FILE_IMPORT, true},
    {'S', kCtrl | kAlt, CMD_FILE_EXPORT, true},
    {'Z', kCtrl, CMD_EDIT_UNDO, true},
    {'Y', kCtrl, CMD_EDIT_REDO, true},
    {'Z', kCtrl | kShift, CMD_EDIT_REDO, false},
    {'X', kCtrl, CMD_EDIT_CUT, true},
    {'C', kCtrl, CMD_EDIT_COPY, true},
    {'C', kCtrl | kShift, CMD_EDIT_COPY_MERGED, true},
    {'V', kCtrl, CMD_EDIT_PASTE, true},
    {VK_DELETE, 0, CMD_EDIT_ERASE, true},
    {'A', kCtrl, CMD_EDIT_SELECT_ALL, true},
    {'D', kCtrl, CMD_EDIT_DESELECT, true},
    {'I', kCtrl, CMD_EDIT_INVERT, true},
    {187, kCtrl, CMD_VIEW_ZOOM_IN, true},
    {VK_ADD, kCtrl, CMD_VIEW_ZOOM_IN, false},
    {189, kCtrl, CMD_VIEW_ZOOM_OUT, true},
    {VK_SUBTRACT, kCtrl, CMD_VIEW_ZOOM_OUT, false},
    {VK_BACK, kCtrl, CMD_VIEW_ZOOM_TO_FIT, true},
    {VK_F5, 0, CMD_VIEW_NORMAL, true},
    {VK_F6, 0, CMD_VIEW_COLOR_ONLY, true},
    {VK_F7, 0, CMD_VIEW_ALPHA_ONLY, true},
    {'N', kCtrl | kShift, CMD_IMAGE_NEW, true},
    {VK_PRIOR, kAlt, CMD_IMAGE_PREVIOUS, true},
    {VK_NEXT, kAlt, CMD_IMAGE_NEXT, true},
    {'L', kCtrl, CMD_LAYER_NEW, true},
    {'L', kCtrl | kAlt, CMD_LAYER_NEW_SUPERSAMPLED, true},
    {'D', kCtrl | kShift, CMD_LAYER_DUPLICATE, true},
    {'E', kCtrl, CMD_LAYER_MERGE_DOWN, true},
    {VK_PRIOR, 0, CMD_LAYER_NEXT_UP, true},
    {VK_NEXT, 0, CMD_LAYER_NEXT_DOWN, true},
    {VK_PRIOR, kCtrl | kShift, CMD_LAYER_BRING_TO_FRONT, true},
    {VK_PRIOR, kCtrl, CMD_LAYER_MOVE_FORWARD, true},
    {VK_NEXT, kCtrl, CMD_LAYER_MOVE_BACKWARD, true},
    {VK_NEXT, kCtrl | kShift, CMD_LAYER_SEND_TO_BACK, true},
    {VK_F1, 0, CMD_HELP_CONTENTS, true},
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
  for (CWULMenuItem*& item : g_Items)
    item = nullptr;
}

void OnMainMenuChosen(CWULMenu* menu, CWULMenu*, CWULMenuItem* item) { OnMenuCommand(menu, item); }

void OnEditMenuOpen(CWULMenu* menu) { OnEditMenuPopup(menu); }

// The window's normal rectangle and state go to the settings; nothing when unreadable.
void StoreMainWindowPlacement(CWULAppWindow* window) {
  WINDOWPLACEMENT placement = {};
  placement.length = sizeof placement;
  if (!window->GetHandle() || !GetWindowPlacement(window->GetHandle(), &placement))
    return;
  const RECT& normal = placement.rcNormalPosition;
  g_Settings.mainWindowPositionLeft->SetValue(normal.left);
  g_Settings.mainWindowPositionTop->SetValue(normal.top);
  g_Settings.mainWindowSizeWidth->SetValue(normal.right - normal.left);
  g_Settings.mainWindowSizeHeight->SetValue(normal.bottom - normal.top);
  g_Settings.mainWindowMinimized->SetValue(window->IsMinimized());
  g_Settings.mainWindowMaximized->SetValue(window->IsMaximized());
}

bool g_settingsSavedAtSessionEnd = false;

bool OnMainWindowMessage(CWULInteractor* window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  // The session may end only when a modified project may go, as when the window closes;
  // the process ends without leaving the main loop, so the settings are saved here.
  if (message == WM_QUERYENDSESSION) {
    *result = !GetCurrentProject() || ConfirmSaveModified(SAVE_MODIFIED_ASK);
    return true;
  }
  if (message == WM_ENDSESSION) {
    if (wParam && !g_settingsSavedAtSessionEnd) {
      StoreMainWindowPlacement(static_cast<CWULAppWindow*>(window));
      g_Settings.Save();
      // The Restart Manager closes the program, the session goes on: it ends as on Exit,
      // without asking again (the question came with WM_QUERYENDSESSION) and without a
      // second save.
      if (lParam & ENDSESSION_CLOSEAPP) {
        g_settingsSavedAtSessionEnd = true;
        if (GetCurrentProject())
          CloseProject(SAVE_MODIFIED_DISCARD);
        window->Close();
      }
    }
    *result = 0;
    return true;
  }
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

// Appends a new item with a command value to menu and returns it.
CWULMenuItem* AddItem(CWULMenu* menu, const char* text, int32_t value) {
  CWULMenuItem* item = NewMenuItem(text);
  item->value = value;
  menu->Append(item);
  return item;
}

void AddSeparator(CWULMenu* menu) { menu->Append(NewMenuSeparator()); }

// The text of the command's item: its caption, then " " and the action's caption when it
// has one; enabled exactly when there is an action.
void SetActionText(int32_t value, CAction* action) {
  const int row = FindRow(value);
  CWULMenuItem* item = row >= 0 ? g_Items[row] : nullptr;
  if (!item)
    return;
  char text[1024];
  if (action && action->GetName()[0])
    std::snprintf(text, sizeof text, "%s %s", kCommands[row].text, action->GetName());
  else
    std::snprintf(text, sizeof text, "%s", kCommands[row].text);
  if (std::strcmp(item->GetText(), text) != 0)
    item->SetText(text);
  item->SetEnabled(action != nullptr);
}

// Whether every condition of rule holds.
bool Holds(uint32_t rule, uint32_t conditions) {
  rule &= ~static_cast<uint32_t>(WHEN_OPENED);
  return (conditions & rule) == rule;
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
  try {
    CWULMenu* bar = NewMenu();
    g_MainMenu = bar;
    bar->destroyCallback = &OnMainMenuDeleted;
    bar->itemChosenCallback = &OnMainMenuChosen;

    CWULMenu* menus[3] = {bar, nullptr, nullptr};
    CWULMenuItem* radioGroup = nullptr;
    for (int i = 0; i < kCommandCount; ++i) {
      const CommandRow& row = kCommands[i];
      CWULMenu* menu = menus[row.level];
      if (!row.text) {
        AddSeparator(menu);
        radioGroup = nullptr;
        continue;
      }
      CWULMenuItem* item = AddItem(menu, row.text, row.value);
      g_Items[i] = item;
      if (i + 1 < kCommandCount && kCommands[i + 1].level > row.level) {
        CWULMenu* submenu = NewMenu();
        item->SetSubmenu(submenu);
        menus[row.level + 1] = submenu;
        if (row.value == CMD_MENU_EDIT)
          submenu->openCallback = &OnEditMenuOpen;
      }
      // The first radio item of a group starts checked.
      if (row.checkedWhen) {
        item->SetType(WUL_MENU_RADIO);
        if (radioGroup)
          item->JoinGroup(radioGroup);
        else
          item->SetChecked(true);
        radioGroup = item;
      } else {
        radioGroup = nullptr;
      }
    }

    // The items show the shortcuts that click them.
    for (int i = 0; i < SHORTCUT_COUNT; ++i) {
      const ShortcutEntry& entry = kShortcutTable[i];
      CWULMenuItem* item = entry.attached ? FindMenuItem(entry.command) : nullptr;
      if (item && g_Shortcuts[i])
        item->SetShortcut(g_Shortcuts[i]);
    }
  } catch (...) {
    ErrorBox("Main menu creation failed");
    throw;
  }
}

CWULMenuItem* FindMenuItem(int32_t value) {
  const int row = FindRow(value);
  return row >= 0 ? g_Items[row] : nullptr;
}

CWULMenuItem* FindMenuCommand(int32_t value) {
  CWULMenuItem* item = FindMenuItem(value);
  return item && !item->submenu ? item : nullptr;
}

bool RunMenuCommand(int32_t value) {
  CWULMenuItem* item = FindMenuCommand(value);
  if (!item)
    return false;
  item->Click();
  return true;
}

void OnMenuCommand(CWULMenu*, CWULMenuItem* item) {
  const int row = item ? FindRow(item->value) : -1;
  if (row >= 0 && kCommands[row].run)
    kCommands[row].run();
}

void OnEditMenuPopup(CWULMenu*) {
  SetActionText(CMD_EDIT_UNDO, GetUndoAction());
  SetActionText(CMD_EDIT_REDO, GetRedoAction());
}

uint32_t ReadCommandConditions() {
  CImage* image = GetCurrentImage();
  CLayer* layer = GetCurrentLayer();
  CSelection* selection = GetCurrentSelection();
  const bool selectionActive = selection && selection->IsActive();
  const int32_t zoom = MainView::GetZoomIndex();
  const int32_t mode = MainView::GetChannelMode();
  const std::pair<bool, uint32_t> facts[] = {
      {GetCurrentProject() != nullptr, IF_PROJECT},
      {image != nullptr, IF_IMAGE},
      {layer != nullptr, IF_LAYER},
      {selectionActive, IF_SELECTION},
      {selectionActive && !selection->IsEmpty(), IF_SELECTION_NOT_EMPTY},
      {image && image->GetPrevious(), IF_IMAGE_BEFORE},
      {image && image->GetNext(), IF_IMAGE_AFTER},
      {layer && layer->GetPrevious(), IF_LAYER_BELOW},
      {layer && layer->GetNext(), IF_LAYER_ABOVE},
      {image && image->GetLayerCount() > 1, IF_LAYERS},
      {CanCut(), IF_CUT},
      {CanCopy(), IF_COPY},
      {CanPaste(), IF_PASTE},
      {CanSupersample(), IF_SUPERSAMPLE},
      {zoom + 1 <= MainView::ZOOM_STEPS - 1, IF_ZOOM_IN},
      {zoom - 1 >= 0, IF_ZOOM_OUT},
      {GetUndoAction() != nullptr, IF_UNDO},
      {GetRedoAction() != nullptr, IF_REDO},
      {mode == MainView::CHANNELS_NORMAL, IF_MODE_NORMAL},
      {mode == MainView::CHANNELS_COLOR, IF_MODE_COLOR},
      {mode == MainView::CHANNELS_ALPHA, IF_MODE_ALPHA},
  };
  uint32_t conditions = 0;
  for (const auto& fact : facts) {
    if (fact.first)
      conditions |= fact.second;
  }
  return conditions;
}

bool IsCommandEnabled(int32_t value, uint32_t conditions) {
  int row = FindRow(value);
  if (row < 0)
    return false;
  // The row's own rule, then those of the rows that hold it.
  uint32_t rule = kCommands[row].enabledWhen;
  for (int level = kCommands[row].level; row >= 0; --row) {
    if (kCommands[row].level < level) {
      level = kCommands[row].level;
      rule |= kCommands[row].enabledWhen;
    }
  }
  return Holds(rule, conditions);
}

bool IsCommandChecked(int32_t value, uint32_t conditions) {
  const int row = FindRow(value);
  return row >= 0 && kCommands[row].checkedWhen && Holds(kCommands[row].checkedWhen, conditions);
}

void UpdateMenuStates() {
  if (!g_MainMenu)
    return;
  const uint32_t conditions = ReadCommandConditions();
  for (int i = 0; i < kCommandCount; ++i) {
    const CommandRow& row = kCommands[i];
    CWULMenuItem* item = g_Items[i];
    if (!item)
      continue;
    if (row.enabledWhen && !(row.enabledWhen & WHEN_OPENED))
      item->SetEnabled(Holds(row.enabledWhen, conditions));
    if (row.checkedWhen)
      item->SetChecked(Holds(row.checkedWhen, conditions));
  }
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
    if (!kShortcutTable[i].command) {
      if (g_MainWindow)
        g_MainWindow->SetFocus();
    } else if (CWULMenuItem* item = FindMenuCommand(kShortcutTable[i].command)) {
      item->Click();
    }
    return 1;
  }
  return 0;
}

int32_t GetShortcutCommand(int index) {
  return index >= 0 && index < SHORTCUT_COUNT ? kShortcutTable[index].command : 0;
}

CWULShortcut* GetCommandShortcut(int32_t value) {
  for (int i = 0; i < SHORTCUT_COUNT; ++i) {
    if (value && kShortcutTable[i].command == value)
      return g_Shortcuts[i];
  }
  return nullptr;
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

bool SettingsSavedAtSessionEnd() { return g_settingsSavedAtSessionEnd; }

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
  if (GetCurrentProject() && !CloseProject(SAVE_MODIFIED_ASK))
    return 0;
  StoreMainWindowPlacement(window);
  return WUL_CLOSE_DESTROY;
}

void CreateMainWindow() {
  if (g_MainWindow) {
    g_MainWindow->BringToForeground();
    return;
  }
  g_settingsSavedAtSessionEnd = false;
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
