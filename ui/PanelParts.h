#pragma once
// Building blocks shared by the dock panels: the page control, pages, the button bar along
// the top of a page with its small buttons, the thumbnail list under it and the Info label.
#include <cstdint>
#include "ui/ThumbnailList.h"
#include "wul/WULItemBar.h"
#include "wul/WULPageControl.h"

class CWULLabel;
class CWULMenu;

const int kPanelButtonSize = 18;  // the framework's small button
const int kPanelBarHeight = kPanelButtonSize + 2;

// The page control filling a panel: no frame, tabs 15 high from 4 with an inset of 1.
CWULPageControl* MakePanelPages(CWULInteractor::Handler deleted);
// A page of pages with its interactor made.
CWULPageControlItem* AddPanelPage(CWULPageControl* pages, const char* caption, int id);
// The button bar along the top of a page: a raised 1-pixel border around a client area of
// kPanelBarHeight.
CWULItemBar* MakePanelButtonBar(CWULInteractor::Handler deleted);
// A small square button at x on bar, with its tooltip, command value and pictures; a
// disabled picture of 0 is a grey-scale copy of the normal one.
CWULStandardBarItem* AddPanelButton(CWULItemBar* bar, int x, const char* tooltip, int32_t value, int normal,
                                    int disabled, CWULStandardBarItem::Callback click);
// The list filling the rest of a page: margin and spacing 1, vertical step 8, border 2,
// no tab stop.
CThumbnailList* MakePanelThumbnailList(CWULInteractor::Handler deleted, CThumbnailList::SelectionCallback selected);
// The multi-line Info label at (4, 4) of page, stretching with it.
CWULLabel* MakePanelInfoLabel(CWULContainer* page, CWULInteractor::Handler deleted);
// Opens menu at the button's rectangle on the screen, placed by the popup flags; nothing
// without a menu or while the button's bar has no window.
void PopupMenuBelowButton(CWULMenu* menu, CWULStandardBarItem* button, int placement);
// Sets the text only when it differs, so an unchanged label is not repainted.
void SetLabelTextIfChanged(CWULLabel* label, const char* text);

// Refills list with fill() while its selection callback is detached and its redraw
// suspended (redraw resumes unless updating); then runs the callback once for the item
// left selected. A failure restores both and is passed on.
template <class Fill>
void RefillThumbnailList(CThumbnailList* list, bool updating, Fill&& fill) {
  const CThumbnailList::SelectionCallback callback = list->selectionChangedCallback;
  list->selectionChangedCallback = nullptr;
  list->SetAutoRedraw(false);
  try {
    fill();
  } catch (...) {
    if (!updating)
      list->SetAutoRedraw(true);
    list->selectionChangedCallback = callback;
    throw;
  }
  if (!updating)
    list->SetAutoRedraw(true);
  list->selectionChangedCallback = callback;
  if (CThumbnailItem* selected = list->GetSelected()) {
    if (callback)
      callback(list, selected, nullptr);
  }
}
