#include "wul/WULPageControl.h"
#include <algorithm>
#include <vector>
#include "wul/WULDraw.h"
#include "wul/WULError.h"
#include "wul/WULInit.h"
#include "wul/WULPaintKit.h"
#include "wul/WULSystem.h"

namespace {

inline CWULPageControlItem* PageOf(CWULListNode* node) { return static_cast<CWULPageControlItem*>(node); }

// Interactor visibility follows the page: shown and current.
void SyncPageVisibility(CWULPageControlItem* page) {
  if (!page->interactor)
    return;
  const bool visible = page->shown && page->owner && page->owner->current == page;
  page->interactor->SetVisible(visible);
}

bool HasFocusWithin(HWND window) {
  HWND focus = GetFocus();
  return window && focus && (focus == window || IsChild(window, focus));
}

// Turns the strip upside down, row by row.
void FlipRows(CWULImage* image) {
  if (!image || !image->pixels)
    return;
  const int w = image->width;
  for (int top = 0, bottom = image->height - 1; top < bottom; top++, bottom--) {
    uint32_t* a = image->pixels + static_cast<size_t>(top) * w;
    uint32_t* b = image->pixels + static_cast<size_t>(bottom) * w;
    std::swap_ranges(a, a + w, b);
  }
}

}  // namespace

// --- CWULPageControlItem ---

CWULPageControlItem::CWULPageControlItem(const char* caption)
    : owner(nullptr),
      value(0),
      activateCallback(nullptr),
      deactivateCallback(nullptr),
      index(0),
      id(0),
      shown(1),
      interactor(nullptr),
      tabLeft(-1),
      tabInnerLeft(-1),
      tabInnerRight(-1),
      tabRight(-1),
      text(caption) {
  classCode = WUL_CLASS_PAGE_CONTROL_ITEM;
  text.listener = this;
}

CWULPageControlItem::~CWULPageControlItem() {
  if (owner)
    owner->RemoveItem(this);
  owner = nullptr;
  listener = nullptr;
  if (interactor) {
    CWULContainer* page = interactor;
    interactor = nullptr;
    page->Close();
  }
}

int32_t CWULPageControlItem::HandleNotify(CWULObject* sender, int32_t, intptr_t) {
  if (sender == &text)
    NotifyChanged();
  return 0;
}

void CWULPageControlItem::CreateInteractor() {
  if (!owner || interactor)
    return;
  CWULContainer* page = nullptr;
  wulPushDefaultParent(owner);
  try {
    page = new CWULContainer();
  } catch (...) {
    page = nullptr;
  }
  wulPopDefaultParent();
  if (!page)
    wulThrowError(5, "CWULPageControlItem::CreateInteractor", "Page interactor creation failed");
  interactor = page;
  page->SetVisible(shown && owner->current == this);
  page->SetBounds(0, 0, owner->clientWidth, owner->clientHeight);
  if (owner->window)
    page->IncarnateTree(nullptr);
}

void CWULPageControlItem::SetShown(bool on) {
  const uint8_t flag = on ? 1 : 0;
  if (flag == shown)
    return;
  shown = flag;
  SyncPageVisibility(this);
  NotifyChanged();
}

void CWULPageControlItem::SetText(const char* caption) { text.Assign(caption); }

// --- CWULPageControl ---

CWULPageControl::CWULPageControl()
    : frameStyle(0),
      tabPosition(WUL_TABS_TOP),
      firstTabOffset(0),
      minTabWidth(0),
      tabHeight(wulPageTabHeight),
      tabInset(0),
      tabTextMargin(4),
      current(nullptr),
      pageChangedCallback(nullptr) {
  OnGeometryChanged();
}

CWULPageControl::~CWULPageControl() {
  current = nullptr;
  // The interactors are children and go with the control.
  for (CWULListNode* node = pages.first; node; node = node->next) {
    PageOf(node)->owner = nullptr;
    PageOf(node)->listener = nullptr;
    PageOf(node)->index = 0;
    PageOf(node)->interactor = nullptr;
  }
  pages.DeleteAll();
}

// --- pages ---

void CWULPageControl::AddItem(CWULPageControlItem* page) { InsertItem(page, nullptr); }

void CWULPageControl::InsertItem(CWULPageControlItem* page, CWULPageControlItem* before) {
  if (!page || page == before)
    return;
  if (before && before->owner != this)
    before = nullptr;
  if (page->owner == this) {
    // A move inside the control keeps the page and its interactor.
    pages.Move(page, before);
    Renumber();
    Relayout();
    return;
  }
  if (page->owner)
    page->owner->RemoveItem(page);
  pages.Insert(page, before);
  page->owner = this;
  page->listener = this;
  Renumber();
  try {
    page->CreateInteractor();
  } catch (...) {
    Relayout();
    throw;
  }
  Relayout();
}

void CWULPageControl::SwapItems(CWULPageControlItem* a, CWULPageControlItem* b) {
  if (!a || !b || a == b || a->owner != this || b->owner != this)
    return;
  pages.Swap(a, b);
  std::swap(a->index, b->index);
  Relayout();
}

void CWULPageControl::RemoveItem(CWULPageControlItem* page) {
  if (!page || page->owner != this)
    return;
  if (page == current)
    SetCurrentItem(nullptr);
  // A callback may have taken it away already.
  if (page->owner != this)
    return;
  pages.Remove(page);
  Renumber();
  page->owner = nullptr;
  page->listener = nullptr;
  page->index = 0;
  page->tabLeft = page->tabInnerLeft = page->tabInnerRight = page->tabRight = -1;
  Relayout();
  if (CWULContainer* interactor = page->interactor) {
    page->interactor = nullptr;
    interactor->Close();
  }
}

void CWULPageControl::DeleteItem(CWULPageControlItem* page) {
  if (!page || page->owner != this)
    return;
  RemoveItem(page);
  delete page;
}

void CWULPageControl::DeleteAllItems() {
  current = nullptr;
  for (CWULListNode* node = pages.first; node; node = node->next) {
    CWULPageControlItem* page = PageOf(node);
    page->owner = nullptr;
    page->listener = nullptr;
    page->index = 0;
    // The pages' controls go with them.
    if (CWULContainer* interactor = page->interactor) {
      page->interactor = nullptr;
      interactor->Hide();
      interactor->Close();
    }
  }
  pages.DeleteAll();
  Relayout();
}

CWULPageControlItem* CWULPageControl::FindByText(const char* caption) {
  for (CWULListNode* node = pages.first; node; node = node->next) {
    if (PageOf(node)->text.Equals(caption))
      return PageOf(node);
  }
  return nullptr;
}

CWULPageControlItem* CWULPageControl::FindById(int pageId) {
  for (CWULListNode* node = pages.first; node; node = node->next) {
    if (PageOf(node)->id == pageId)
      return PageOf(node);
  }
  return nullptr;
}

void CWULPageControl::SetCurrentItem(CWULPageControlItem* page) {
  if (page == current)
    return;
  if (page && page->owner != this)
    return;
  CWULPageControlItem* old = current;
  current = page;
  if (page) {
    if (page->activateCallback) {
      CWULCallbackBracket bracket(this);
      page->activateCallback(page);
    }
    SyncPageVisibility(page);
  }
  if (old) {
    if (old->deactivateCallback) {
      CWULCallbackBracket bracket(this);
      old->deactivateCallback(old);
    }
    if (old->interactor) {
      const bool hadFocus = HasFocusWithin(old->interactor->window);
      old->interactor->Hide();
      if (hadFocus)
        SetFocus();
    }
  }
  if (pageChangedCallback) {
    CWULCallbackBracket bracket(this);
    pageChangedCallback(this, page, old);
  }
  Relayout();
}

void CWULPageControl::SelectByText(const char* caption) {
  if (CWULPageControlItem* page = FindByText(caption))
    SetCurrentItem(page);
}

void CWULPageControl::SelectById(int pageId) {
  if (CWULPageControlItem* page = FindById(pageId))
    SetCurrentItem(page);
}

// --- display values ---

#define WUL_PAGE_SETTER(getter, setter, field) \
  int CWULPageControl::getter() { return field; } \
  void CWULPageControl::setter(int value) {       \
    if (value == field)                           \
      return;                                     \
    field = value;                                \
    Relayout();                                   \
  }
WUL_PAGE_SETTER(GetFrameStyle, SetFrameStyle, frameStyle)
WUL_PAGE_SETTER(GetTabPosition, SetTabPosition, tabPosition)
WUL_PAGE_SETTER(GetFirstTabOffset, SetFirstTabOffset, firstTabOffset)
WUL_PAGE_SETTER(GetMinTabWidth, SetMinTabWidth, minTabWidth)
WUL_PAGE_SETTER(GetTabInset, SetTabInset, tabInset)
WUL_PAGE_SETTER(GetTabTextMargin, SetTabTextMargin, tabTextMargin)
#undef WUL_PAGE_SETTER

int CWULPageControl::GetTabHeight() { return tabHeight; }

void CWULPageControl::SetTabHeight(int value) {
  value = std::max(0, value);
  if (value == tabHeight)
    return;
  tabHeight = value;
  Relayout();
}

CWULPageControlItem* CWULPageControl::GetFirstItem() { return PageOf(pages.first); }

CWULPageControlItem* CWULPageControl::GetCurrentItem() { return current; }

void CWULPageControl::Renumber() {
  int n = 1;
  for (CWULListNode* node = pages.first; node; node = node->next)
    PageOf(node)->index = n++;
}

void CWULPageControl::Relayout() {
  if (flagsC & WUL_IF_IN_DESTRUCTOR)
    return;
  LayoutTabs();
  OnFontChanged();
}

void CWULPageControl::PlacePages() {
  for (CWULListNode* node = pages.first; node; node = node->next) {
    if (CWULContainer* interactor = PageOf(node)->interactor)
      interactor->SetBounds(0, 0, clientWidth, clientHeight);
  }
}

// --- geometry ---

void CWULPageControl::ComputeInsets() {
  const int frame = frameStyle == 0 ? 2 : frameStyle == 1 ? 1 : 0;
  leftInset = topInset = rightInset = bottomInset = frame;
  if (tabPosition == WUL_TABS_BOTTOM)
    bottomInset += GetStripHeight();
  else
    topInset += GetStripHeight();
}

void CWULPageControl::OnSizeChanged() {
  CWULContainer::OnSizeChanged();
  try {
    wulFitBuffer(stripBuffer, width, GetStripHeight());
  } catch (const CWULError&) {
    // Without a bitmap the strip is not painted.
  }
  PlacePages();
}

void CWULPageControl::OnClientSizeChanged() {
  PlacePages();
  CWULContainer::OnClientSizeChanged();
}

void CWULPageControl::LayoutTabs() {
  HDC dc = GetDC(nullptr);
  CWULTextFont textFont(&GetFont());
  if (dc)
    textFont.Select(dc);
  int x = firstTabOffset;
  for (CWULListNode* node = pages.first; node; node = node->next) {
    CWULPageControlItem* page = PageOf(node);
    if (!page->shown) {
      page->tabLeft = page->tabInnerLeft = page->tabInnerRight = page->tabRight = -1;
      continue;
    }
    RECT box = {0, 0, 0, 0};
    if (dc)
      DrawTextA(dc, page->text.text, -1, &box, DT_NOPREFIX | DT_CALCRECT | DT_SINGLELINE | DT_VCENTER);
    const int w = std::max(static_cast<int>(box.right - box.left) + 2 * tabTextMargin, static_cast<int>(minTabWidth));
    page->tabLeft = x;
    page->tabInnerLeft = x + 2;
    x += w < 4 ? 5 : w + 1;
    page->tabInnerRight = x - 2;
    page->tabRight = x;
  }
  textFont.Restore();
  if (dc)
    ReleaseDC(nullptr, dc);
}

CWULPageControlItem* CWULPageControl::TabAt(int nx, int ny) {
  bool inStrip;
  if (tabPosition == WUL_TABS_BOTTOM)
    inStrip = height - tabInset - 2 - tabHeight + 1 < ny && ny < height - tabInset - 2;
  else
    inStrip = tabInset + 1 < ny && ny < tabInset + tabHeight;
  if (!inStrip)
    return nullptr;
  for (CWULListNode* node = pages.first; node; node = node->next) {
    CWULPageControlItem* page = PageOf(node);
    if (page->shown && page->tabLeft < nx && nx < page->tabRight)
      return page;
  }
  return nullptr;
}

// --- painting ---

void CWULPageControl::PaintTab(HDC dc, CWULPageControlItem* page) {
  if (!page || !page->shown || page->tabRight <= page->tabLeft)
    return;
  CWULPenBrush pens;
  if (!pens.Create(GetColor()))
    return;
  const bool isCurrent = page == current;
  const int strip = GetStripHeight();
  // Top orientation: the page area lies below the strip.
  const int top = isCurrent ? tabInset : tabInset + 1;
  const int bottom = isCurrent ? strip : strip - 2;
  const int left = page->tabLeft;
  const int right = page->tabRight - 1;  // last column of the tab
  POINT outline[6] = {{left, bottom},      {left, top + 2},     {left + 2, top},
                      {right - 2, top},    {right, top + 2},    {right, bottom}};
  wulDrawPolygon(dc, outline, 6, pens.basePen, pens.brush);
  // Light edges left and above, dark edge right.
  wulDrawLine(dc, left, bottom, left, top + 2, pens.lightPen);
  wulDrawLine(dc, left, top + 2, left + 2, top, pens.lightPen);
  wulDrawLine(dc, left + 2, top, right - 1, top, pens.lightPen);
  wulDrawLine(dc, right - 1, top + 1, right, top + 2, pens.darkPen);
  wulDrawLine(dc, right, top + 2, right, bottom, pens.darkPen);
}

void CWULPageControl::PaintStrip() {
  const int strip = GetStripHeight();
  if (!wulFitBuffer(stripBuffer, width, strip))
    return;
  HDC dc = stripBuffer.GetDC();
  CWULPenBrush pens;
  if (!pens.Create(GetColor()))
    return;
  RECT all = {0, 0, width, strip};
  wulFillRect(dc, &all, pens.brush);
  // The base line along the page side.
  if (strip >= 2) {
    wulDrawLine(dc, 0, strip - 2, width, strip - 2, pens.darkPen);
    wulDrawLine(dc, 0, strip - 1, width, strip - 1, pens.lightPen);
  }
  std::vector<CWULPageControlItem*> order;
  if (current && current->shown) {
    for (CWULListNode* node = pages.first; node && node != current; node = node->next)
      order.push_back(PageOf(node));
    for (CWULListNode* node = pages.last; node && node != current; node = node->prev)
      order.push_back(PageOf(node));
    order.push_back(current);
  } else {
    for (CWULListNode* node = pages.first; node; node = node->next)
      order.push_back(PageOf(node));
  }
  for (CWULPageControlItem* page : order)
    PaintTab(dc, page);
  GdiFlush();
  if (tabPosition == WUL_TABS_BOTTOM)
    FlipRows(stripBuffer.GetImage());
  // The captions, upright in both positions.
  CWULTextFont textFont(&GetFont());
  if (!IsEnabled())
    textFont.SetColor(GetFont().color.Blend(GetColor(), 0.5f));
  textFont.Select(dc);
  for (CWULPageControlItem* page : order) {
    if (!page->shown || page->tabRight <= page->tabLeft)
      continue;
    const bool isCurrent = page == current;
    int top = isCurrent ? tabInset : tabInset + 1;
    int bottom = strip - 2;
    if (tabPosition == WUL_TABS_BOTTOM) {
      const int flippedTop = strip - bottom;
      bottom = strip - top;
      top = flippedTop;
    }
    RECT area = {page->tabInnerLeft, top, page->tabRight, bottom};
    DrawTextA(dc, page->text.text, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  textFont.Restore();
  GdiFlush();
}

LRESULT CWULPageControl::PaintNonClient(HDC dc) {
  LayoutTabs();
  PaintStrip();
  const int strip = GetStripHeight();
  const int stripTop = tabPosition == WUL_TABS_BOTTOM ? height - strip : 0;
  if (stripBuffer.GetImage())
    stripBuffer.Blit(dc, 0, stripTop, 0, 0, width, strip);
  if (frameStyle == 0 || frameStyle == 1) {
    CWULPenBrush pens;
    if (pens.Create(GetColor())) {
      RECT area = {0, tabPosition == WUL_TABS_BOTTOM ? 0 : strip, width,
                   tabPosition == WUL_TABS_BOTTOM ? height - strip : height};
      if (area.right > area.left && area.bottom > area.top) {
        wulDrawFrame(dc, &area, pens.lightPen, pens.darkPen, pens.base);
        if (frameStyle == 0) {
          wulDeflateRect(&area, 1);
          if (area.right > area.left && area.bottom > area.top)
            wulFillFrame(dc, &area, 1, pens.brush);
        }
      }
    }
  }
  return 0;
}

LRESULT CWULPageControl::OnEraseBackground(HDC dc) {
  if (!(flagsB & WUL_IF_ERASE_SUPPRESSED))
    wulFillUpdateArea(window, dc, GetColor());
  return 1;
}

// --- input ---

LRESULT CWULPageControl::OnNcLButtonDown(int hit, int nx, int ny) {
  CWULPageControlItem* page = TabAt(nx, ny);
  if (page && page != current)
    SetCurrentItem(page);
  return CWULContainer::OnNcLButtonDown(hit, nx, ny);
}

LRESULT CWULPageControl::OnKeyDown(int key, LPARAM lParam) {
  if (key != VK_TAB || !wulIsCtrlDown())
    return CWULContainer::OnKeyDown(key, lParam);
  const bool backwards = wulIsShiftDown();
  CWULPageControlItem* found = nullptr;
  CWULListNode* start = current ? (backwards ? current->prev : current->next) : nullptr;
  if (!current)
    start = backwards ? pages.last : pages.first;
  // Round the list once, wrapping at its end.
  for (int i = 0; i < pages.count && !found; i++) {
    if (!start)
      start = backwards ? pages.last : pages.first;
    if (PageOf(start)->shown)
      found = PageOf(start);
    else
      start = backwards ? start->prev : start->next;
  }
  if (found && found != current) {
    const bool hadFocus = HasFocusWithin(window);
    SetCurrentItem(found);
    if (hadFocus) {
      if (CWULInteractor* next = NextTabStop())
        next->SetFocus();
    }
  }
  return 0;
}

int32_t CWULPageControl::HandleNotify(CWULObject* sender, int32_t code, intptr_t param) {
  if (sender && sender->classCode == WUL_CLASS_PAGE_CONTROL_ITEM) {
    if (static_cast<CWULPageControlItem*>(sender)->owner == this)
      Relayout();
    return 0;
  }
  if (sender && sender->classCode == WUL_CLASS_INTERACTOR &&
      (static_cast<CWULInteractor*>(sender)->flagsC & WUL_IF_CLOSING)) {
    // A page interactor closed from elsewhere is forgotten as it goes.
    for (CWULListNode* node = pages.first; node; node = node->next) {
      if (PageOf(node)->interactor == sender)
        PageOf(node)->interactor = nullptr;
    }
  }
  return CWULContainer::HandleNotify(sender, code, param);
}
