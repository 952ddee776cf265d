#pragma once
// The editor's main window: its menu bar, the keyboard shortcut table, the client container
// that holds the main view, the command dispatcher and the refresh broadcasts.
#include <windows.h>
#include <cstdint>

class CWULAppWindow;
class CWULMenu;
class CWULMenuItem;
class CWULPanel;
class CWULShortcut;

extern CWULAppWindow* g_MainWindow;
extern CWULPanel* g_ClientContainer;
extern CWULMenu* g_MainMenu;

// The command values of the menu items (CWULMenuItem::value). A WM_COMMAND to the main
// window whose low word of wParam is one of them runs that item as a click would. The
// titles of the menu bar and the items that hold submenus have values too, so that they
// can be found; they run nothing.
enum {
  CMD_MENU_FILE = 1000, CMD_FILE_NEW = 1001, CMD_FILE_OPEN, CMD_FILE_SAVE, CMD_FILE_SAVE_AS,
  CMD_FILE_CLOSE, CMD_FILE_IMPORT, CMD_FILE_EXPORT, CMD_FILE_EXIT,
  CMD_MENU_EDIT = 1100, CMD_EDIT_UNDO = 1101, CMD_EDIT_REDO, CMD_EDIT_CUT, CMD_EDIT_COPY,
  CMD_EDIT_COPY_MERGED, CMD_EDIT_PASTE, CMD_EDIT_ERASE, CMD_EDIT_SELECT_ALL, CMD_EDIT_DESELECT,
  CMD_EDIT_INVERT, CMD_EDIT_SELECTION,
  CMD_MENU_VIEW = 1200, CMD_VIEW_ZOOM_IN = 1201, CMD_VIEW_ZOOM_OUT, CMD_VIEW_ZOOM_TO_FIT,
  CMD_VIEW_NORMAL, CMD_VIEW_COLOR_ONLY, CMD_VIEW_ALPHA_ONLY,
  CMD_MENU_IMAGE = 1300, CMD_IMAGE_NEW = 1301, CMD_IMAGE_DELETE, CMD_IMAGE_PROPERTIES,
  CMD_IMAGE_CROP, CMD_IMAGE_PREVIOUS, CMD_IMAGE_NEXT, CMD_IMAGE_MOVE_UP, CMD_IMAGE_MOVE_DOWN,
  CMD_IMAGE_FLIP_HORIZONTAL, CMD_IMAGE_FLIP_VERTICAL, CMD_IMAGE_ROTATE_CW, CMD_IMAGE_ROTATE_CCW,
  CMD_IMAGE_ROTATE_180, CMD_IMAGE_IMPORT, CMD_IMAGE_EXPORT,
  CMD_MENU_LAYER = 1400, CMD_LAYER_NEW = 1401, CMD_LAYER_NEW_SUPERSAMPLED, CMD_LAYER_DELETE,
  CMD_LAYER_PROPERTIES, CMD_LAYER_DUPLICATE, CMD_LAYER_MERGE_DOWN, CMD_LAYER_MERGE_ALL,
  CMD_LAYER_NEXT_UP, CMD_LAYER_NEXT_DOWN, CMD_LAYER_BRING_TO_FRONT, CMD_LAYER_MOVE_FORWARD,
  CMD_LAYER_MOVE_BACKWARD, CMD_LAYER_SEND_TO_BACK, CMD_LAYER_NEW_MENU,
  CMD_MENU_TOOLS = 1500, CMD_TOOLS_PLUGINS = 1501, CMD_TOOLS_OPTIONS,
  CMD_MENU_HELP = 1600, CMD_HELP_CONTENTS = 1601, CMD_HELP_KEYBOARD, CMD_HELP_PRIMARY,
  CMD_HELP_ALTERNATE, CMD_HELP_FEEDBACK, CMD_HELP_SUPPORT, CMD_HELP_ABOUT, CMD_HELP_HOME_PAGE
};

// A WM_COMMAND value of CMD_SELECT_TOOL + a tool's id makes that tool active.
enum { CMD_SELECT_TOOL = 2000 };
// Activates the tool with that id as the toolbox's button would; false for an unknown id.
bool SelectToolCommand(int32_t toolId);

enum { SHORTCUT_COUNT = 41 };
// The shortcut table in its fixed order; entry 0 is Escape.
extern CWULShortcut* g_Shortcuts[SHORTCUT_COUNT];

// Builds and shows the main window; when it exists, brings it to the foreground.
void CreateMainWindow();
void UpdateMainWindowTitle();
// Asks the main window to close (the "E&xit" command).
void RequestMainWindowClose();
// Whether the main window saved the settings when the Restart Manager closed it; the
// program then does not save them again at its end.
bool SettingsSavedAtSessionEnd();

void CreateMainMenu();
void UpdateMenuStates();
void OnEditMenuPopup(CWULMenu* menu);
void OnMenuCommand(CWULMenu* menu, CWULMenuItem* item);
// The item of the main menu with that command value, titles and submenu items included,
// or null.
CWULMenuItem* FindMenuItem(int32_t value);
// The same for the items that run a command (no title, no submenu item).
CWULMenuItem* FindMenuCommand(int32_t value);
// Runs that item as if chosen from the menu; false when there is none.
bool RunMenuCommand(int32_t value);

// What the enable and check rules of the commands read, taken at one moment.
uint32_t ReadCommandConditions();
// A command's states under those conditions by the rules of its menu row and of the
// titles and submenu items that hold it; false for an unknown value.
bool IsCommandEnabled(int32_t value, uint32_t conditions);
bool IsCommandChecked(int32_t value, uint32_t conditions);

void CreateShortcutTable();
int OnShortcut(CWULShortcut* shortcut, CWULShortcut* sender);
// The first shortcut of the table that runs that command, or null.
CWULShortcut* GetCommandShortcut(int32_t value);
// The command the table's entry at index runs; 0 for the Escape entry and outside the table.
int32_t GetShortcutCommand(int index);

// The light refresh after an edit and the full one after the current project or image
// was replaced.
void UpdateCommandStates();
void RefreshAll();
// The toolbar's enabled states; nothing while the window has no toolbar.
void UpdateToolbarStates();

// Long commands bracket their work with these.
void BeginWaitCursor();
void RestoreCursor();

// View commands.
void ZoomInCommand();
void ZoomOutCommand();
void ZoomToFitCommand();
void SetZoomCommand(int32_t index);
void SetChannelModeCommand(int32_t mode);

// Factories of the menu and shortcut objects.
CWULMenu* NewMenu();
CWULMenuItem* NewMenuItem(const char* text);
CWULMenuItem* NewMenuSeparator();
CWULShortcut* CreateShortcut(int32_t value, int32_t key, int32_t modifiers);

// The main window's own callbacks, public for the tests.
int OnMainWindowClose(CWULAppWindow* window);
