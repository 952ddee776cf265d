#include "ui/PanelParts.h"
#include <algorithm>
#include <cstring>
#include "ui/FoldingPanel.h"
#include "wul/WULControl.h"
#include "wul/WULInit.h"
#include "wul/WULPopupMenu.h"

CWULPageControl* MakePanelPages(CWULInteractor::Handler deleted) {
  auto* pages = new CWULPageControl;
  pages->deletedHandler = deleted;
  pages->SetFrameStyle(2);
  pages->SetFirstTabOffset(4);
  pages->SetTabHeight(15);
  pages->SetTabInset(1);
  pages->SetAlignment(WUL_ALIGN_FILL);
  return pages;
}

CWULPageControlItem* AddPanelPage(CWULPageControl* pages, const char* caption, int id) {
  auto* page = new CWULPageControlItem(caption);
  page->SetId(id);
  pages->AddItem(page);
  page->CreateInteractor();
  return page;
}

CWULItemBar* MakePanelButtonBar(CWULInteractor::Handler deleted) {
  auto* bar = new CWULItemBar;
  bar->deletedHandler = deleted;
  bar->SetFrameStyle(WUL_BAR_FRAME_RAISED);
  bar->SetAlignment(WUL_ALIGN_TOP);
  bar->SetClientHeight(kPanelBarHeight);
  return bar;
}

CWULStandardBarItem* AddPanelButton(CWULItemBar* bar, int x, const char* tooltip, int32_t value, int normal,
                                    int disabled, CWULStandardBarItem::Callback click) {
  auto* button = new CWULStandardBarItem;
  bar->AddItem(button);
  button->value = value;
  button->SetText(tooltip);
  button->SetBounds(x, 1, kPanelButtonSize, kPanelButtonSize);
  SetPanelButtonPicture(button, WUL_BAR_IMAGE_NORMAL, normal);
  if (disabled)
    SetPanelButtonPicture(button, WUL_BAR_IMAGE_DISABLED, disabled);
  else
    SetPanelButtonPicture(button, WUL_BAR_IMAGE_DISABLED, normal, true);
  button->clickCallback = click;
  return button;
}

CThumbnailList* MakePanelThumbnailList(CWULInteractor::Handler deleted, CThumbnailList::SelectionCallback selected) {
  auto* list = new CThumbnailList;
  list->deletedHandler = deleted;
  list->SetMargin(1);
  list->SetSpacing(1);
  list->SetLineStep(list->GetLineStepX(), 8);
  list->SetBorderStyle(2);
  list->SetTabStop(false);
  list->SetAlignment(WUL_ALIGN_FILL);
  list->selectionChangedCallback = selected;
  return list;
}

CWULLabel* MakePanelInfoLabel(CWULContainer* page, CWULInteractor::Handler deleted) {
  const int margin = 4;
  auto* label = new CWULLabel;
  label->deletedHandler = deleted;
  label->SetMultiLine(true);
  label->SetMnemonic(false);
  label->SetVAlign(WUL_VALIGN_TOP);
  label->SetBounds(margin, margin, std::max(0, page->GetClientWidth() - margin),
                   std::max(0, page->GetClientHeight() - 2 * margin));
  label->SetAlignment(WUL_ALIGN_STRETCH_RIGHT_DOWN);
  return label;
}

void PopupMenuBelowButton(CWULMenu* menu, CWULStandardBarItem* button, int placement) {
  CWULItemBar* bar = button ? button->GetBar() : nullptr;
  if (!menu || !bar || !bar->GetHandle())
    return;
  RECT rect;
  button->GetRect(&rect);
  MapWindowPoints(bar->GetHandle(), nullptr, reinterpret_cast<POINT*>(&rect), 2);
  WULPopupMenuEx(menu, &rect, placement);
}

void SetLabelTextIfChanged(CWULLabel* label, const char* text) {
  if (label && std::strcmp(label->GetText(), text) != 0)
    label->SetText(text);
}
