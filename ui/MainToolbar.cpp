#include "ui/MainToolbar.h"
#include "ui/FoldingPanel.h"
#include <cstdio>
#include "shell/Errors.h"
#include "tools/CurrentImage.h"
#include "ui/BarResourceIds.h"
#include "ui/MainView.h"
#include "ui/MainWindow.h"
#include "wul/WULDropDown.h"
#include "wul/WULError.h"
#include "wul/WULImage.h"
#include "wul/WULInit.h"
#include "wul/WULItemBar.h"
#include "wul/WULPaintKit.h"
#include "wul/WULShortcut.h"

namespace {

struct ButtonEntry {
  const char* tooltip;
  int bitmap;
  int disabledBitmap;  // 0: the faded normal picture
  int32_t command;     // the menu command whose shortcut the button fires and whose states it shows
  int gapAfter;
};

const ButtonEntry kButtons[MainToolbar::BUTTON_COUNT] = {
    {"New file", IDB_TOOLBAR_NEW, IDB_TOOLBAR_NEW_DISABLED, CMD_FILE_NEW, 0},
    {"Open file", IDB_TOOLBAR_OPEN, 0, CMD_FILE_OPEN, 0},
    {"Save file", IDB_TOOLBAR_SAVE, 0, CMD_FILE_SAVE, 4},
    {"Cut", IDB_TOOLBAR_CUT, 0, CMD_EDIT_CUT, 0},
    {"Copy", IDB_TOOLBAR_COPY, 0, CMD_EDIT_COPY, 0},
    {"Paste", IDB_TOOLBAR_PASTE, 0, CMD_EDIT_PASTE, 4},
    {"Undo", IDB_TOOLBAR_UNDO, 0, CMD_EDIT_UNDO, 0},
    {"Redo", IDB_TOOLBAR_REDO, 0, CMD_EDIT_REDO, 4},
    {"Zoom In", IDB_TOOLBAR_ZOOM_IN, 0, CMD_VIEW_ZOOM_IN, 0},
    {"Zoom Out", IDB_TOOLBAR_ZOOM_OUT, 0, CMD_VIEW_ZOOM_OUT, 0},
    {"Normal View", IDB_TOOLBAR_VIEW_NORMAL, 0, CMD_VIEW_NORMAL, 0},
    {"Color Only", IDB_TOOLBAR_VIEW_COLOR, 0, CMD_VIEW_COLOR_ONLY, 0},
    {"Alpha Only", IDB_TOOLBAR_VIEW_ALPHA, 0, CMD_VIEW_ALPHA_ONLY, 0},
};

const int kButtonSize = 24;

CWULItemBar* g_Bar = nullptr;
CWULStandardBarItem* g_Buttons[MainToolbar::BUTTON_COUNT] = {};
CWULDropDown* g_ZoomList = nullptr;
bool g_Updating = false;

void OnBarDeleted(CWULInteractor*) {
  g_Bar = nullptr;
  g_ZoomList = nullptr;
  for (CWULStandardBarItem*& button : g_Buttons)
    button = nullptr;
}

void OnZoomListDeleted(CWULInteractor*) { g_ZoomList = nullptr; }

void OnZoomChosen(CWULDropDown*, CWULDropDownItem* item, CWULDropDownItem*) {
  if (g_Updating || !item)
    return;
  SetZoomCommand(item->value);
}

void SetButtonState(int which, bool enabled, bool down = false) {
  CWULStandardBarItem* button = g_Buttons[which];
  if (!button)
    return;
  button->SetEnabled(enabled);
  if (button->behaviour == WUL_BEHAVIOUR_EXCLUSIVE)
    button->SetChecked(down);
}

}  // namespace

void CreateMainToolbar() {
  if (g_Bar)
    return;
  CWULItemBar* bar = nullptr;
  try {
    bar = new CWULItemBar;
    g_Bar = bar;
    bar->deletedHandler = &OnBarDeleted;
    bar->SetFrameStyle(WUL_BAR_FRAME_RAISED);
    bar->SetAlignment(WUL_ALIGN_TOP);
    bar->SetClientHeight(26);

    int x = 1;
    for (int i = 0; i < MainToolbar::BUTTON_COUNT; ++i) {
      const ButtonEntry& entry = kButtons[i];
      CWULStandardBarItem* button = new CWULStandardBarItem;
      bar->AddItem(button);
      g_Buttons[i] = button;
      button->SetText(entry.tooltip);
      button->SetBounds(x, 1, kButtonSize, kButtonSize);
      SetPanelButtonPicture(button, WUL_BAR_IMAGE_NORMAL, entry.bitmap);
      if (entry.disabledBitmap)
        SetPanelButtonPicture(button, WUL_BAR_IMAGE_DISABLED, entry.disabledBitmap);
      button->SetShortcut(GetCommandShortcut(entry.command));
      button->clickCallback = &MainToolbar::OnButtonClick;
      x += kButtonSize + entry.gapAfter;

      if (i == MainToolbar::BUTTON_ZOOM_OUT) {
        wulPushDefaultParent(bar);
        try {
          CWULDropDown* list = new CWULDropDown;
          g_ZoomList = list;
          list->deletedHandler = &OnZoomListDeleted;
          list->SetFrameKind(WUL_FRAME_BEVEL);
          // The keyboard stays with the main window unless the list is clicked.
          list->SetTabStop(false);
          list->SetPosition(x + 1, (26 - list->GetHeight()) / 2);
          list->selectionChangedHandler = &OnZoomChosen;
          for (int32_t index = 0; index < MainView::ZOOM_STEPS; ++index) {
            char text[32];
            std::snprintf(text, sizeof text, "%d00%%", static_cast<int>(MainView::GetZoomFactorAt(index)));
            list->InsertItem(new CWULDropDownItem(index, text));
          }
          x = list->GetRight() + 5;
        } catch (...) {
          wulPopDefaultParent();
          throw;
        }
        wulPopDefaultParent();
      }
    }
    for (int i = MainToolbar::BUTTON_VIEW_NORMAL; i <= MainToolbar::BUTTON_VIEW_ALPHA; ++i)
      g_Buttons[i]->SetBehaviour(WUL_BEHAVIOUR_EXCLUSIVE);
    g_Buttons[MainToolbar::BUTTON_VIEW_COLOR]->JoinGroup(g_Buttons[MainToolbar::BUTTON_VIEW_NORMAL]);
    g_Buttons[MainToolbar::BUTTON_VIEW_ALPHA]->JoinGroup(g_Buttons[MainToolbar::BUTTON_VIEW_COLOR]);
  } catch (...) {
    ErrorBox("Main toolbar creation failed");
    delete bar;
    throw;
  }
}

void UpdateToolbarStates() {
  if (!g_Bar)
    return;
  // The buttons follow the rules of their menu commands.
  const uint32_t conditions = ReadCommandConditions();
  for (int i = 0; i < MainToolbar::BUTTON_COUNT; ++i)
    SetButtonState(i, IsCommandEnabled(kButtons[i].command, conditions),
                   IsCommandChecked(kButtons[i].command, conditions));
  const bool hasImage = GetCurrentImage() != nullptr;
  const int32_t zoom = MainView::GetZoomIndex();
  if (CWULDropDown* list = g_ZoomList) {
    g_Updating = true;
    try {
      list->SetEnabled(hasImage);
      list->SetParentColor(!hasImage);
      list->SetSelection(hasImage ? list->FindByValue(zoom) : nullptr);
    } catch (...) {
      g_Updating = false;
      throw;
    }
    g_Updating = false;
  }
}

namespace MainToolbar {

CWULItemBar* GetBar() { return g_Bar; }

CWULStandardBarItem* GetButton(int which) {
  return which >= 0 && which < BUTTON_COUNT ? g_Buttons[which] : nullptr;
}

CWULDropDown* GetZoomList() { return g_ZoomList; }

void OnButtonClick(CWULStandardBarItem* item, CWULStandardBarItem*) {
  if (item && item->GetShortcut())
    CWULShortcut::Trigger(item->GetShortcut());
}

}  // namespace MainToolbar
