#pragma once
// The main toolbar along the top of the main window: file, clipboard, undo and zoom
// buttons, the zoom list and the three channel-mode buttons. Each button fires the
// keyboard shortcut of its command. UpdateToolbarStates (ui/MainWindow.h) sets its states.
#include <cstdint>

class CWULDropDown;
class CWULItemBar;
class CWULStandardBarItem;

// Builds the bar in the current default parent (the main window). Shows "Main toolbar
// creation failed" and passes a failure on.
void CreateMainToolbar();

namespace MainToolbar {

enum {
  BUTTON_NEW, BUTTON_OPEN, BUTTON_SAVE, BUTTON_CUT, BUTTON_COPY, BUTTON_PASTE, BUTTON_UNDO,
  BUTTON_REDO, BUTTON_ZOOM_IN, BUTTON_ZOOM_OUT, BUTTON_VIEW_NORMAL, BUTTON_VIEW_COLOR,
  BUTTON_VIEW_ALPHA, BUTTON_COUNT
};

// Null while the bar does not exist.
CWULItemBar* GetBar();
CWULStandardBarItem* GetButton(int which);
CWULDropDown* GetZoomList();

// The buttons' click callback: triggers the button's shortcut.
void OnButtonClick(CWULStandardBarItem* item, CWULStandardBarItem* sender);

}  // namespace MainToolbar
