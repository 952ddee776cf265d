#include "wul/WULListBox.h"
#include <algorithm>
#include <cstring>
#include "wul/WULImage.h"
#include "wul/WULInit.h"
#include "wul/WULPaintKit.h"
#include "wul/WULShared.h"
#include "wul/WULSystem.h"

namespace {

const UINT kTextFlags = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;

const char* TextOf(const char* text) { return text ? text : ""; }

}  // namespace

// --- CWULListItem ---

CWULListItem::CWULListItem(const char* itemText)
    : owner(nullptr), index(0), value(0), image(nullptr), measuredWidth(0), text(TextOf(itemText)) {
  classCode = WUL_CLASS_LIST_ITEM;
  text.listener = this;
}

CWULListItem::~CWULListItem() {
  if (owner)
    owner->RemoveItem(this);
  CWULImage::Release(image);
  image = nullptr;
}

int32_t CWULListItem::HandleNotify(CWULObject* sender, int32_t, intptr_t) {
  if (sender == &text)
    NotifyChanged();
  return 0;
}

const char* CWULListItem::GetText() { return text.text; }

void CWULListItem::SetText(const char* newText) { text.Assign(newText); }

void CWULListItem::SetImage(CWULImage* newImage) {
  if (wulReplaceImage(image, newImage))
    NotifyChanged();
}

// --- CWULListBox ---

CWULListBox::CWULListBox()
    : currentItemChangedHandler(nullptr),
      itemHeight(wulControlTextHeight > 0 ? wulControlTextHeight : 14),
      imageGap(2),
      reserveImageColumn(0),
      leftPadding(2),
      rightPadding(2),
      currentItem(nullptr),
      widthMode(WUL_LIST_WIDTH_MEASURE),
      widestWidth(0),
      wheelRemainder(0.0f) {
  color.value = wulColors[16].value;
  flagsA &= ~WUL_IF_PARENT_COLOR;
  flagsA |= WUL_IF_TAB_STOP;
  lineStepX = itemHeight;
  lineStepY = itemHeight;
  OnFontChanged();
}

CWULListBox::~CWULListBox() {
  // The items must not find their way back into a list that is going away.
  for (CWULListNode* node = items.first; node; node = node->next) {
    ItemOf(node)->owner = nullptr;
    ItemOf(node)->listener = nullptr;
  }
  currentItem = nullptr;
  items.DeleteAll();
}

// --- items ---

void CWULListBox::Renumber(CWULListItem* from) {
  int number = from && from->prev ? ItemOf(from->prev)->index + 1 : 1;
  for (CWULListNode* node = from; node; node = node->next)
    ItemOf(node)->index = number++;
}

void CWULListBox::RaiseWidthMode(int mode) { widthMode = std::max(static_cast<int>(widthMode), mode); }

void CWULListBox::InsertItem(CWULListItem* item, CWULListItem* before) {
  if (!item || item == before)
    return;
  if (before && !Owns(before))
    before = nullptr;
  if (Owns(item)) {
    // A move within the list keeps the item current and its width.
    CWULListNode* next = item->next;
    items.Remove(item);
    Renumber(ItemOf(next));
    items.Insert(item, before);
    Renumber(ItemOf(items.first));
    RaiseWidthMode(WUL_LIST_WIDTH_HEIGHT);
    OnFontChanged();
    return;
  }
  if (item->owner)
    item->owner->RemoveItem(item);
  items.Insert(item, before);
  item->owner = this;
  item->listener = this;
  Renumber(item);
  item->measuredWidth = MeasureItem(item);
  widestWidth = std::max(static_cast<int>(widestWidth), static_cast<int>(item->measuredWidth));
  RaiseWidthMode(WUL_LIST_WIDTH_HEIGHT);
  OnFontChanged();
}

void CWULListBox::SwapItems(CWULListItem* a, CWULListItem* b) {
  if (!Owns(a) || !Owns(b) || a == b)
    return;
  items.Swap(a, b);
  std::swap(a->index, b->index);
  RepaintItem(a);
  RepaintItem(b);
}

void CWULListBox::SortItems(bool descending) {
  if (items.count < 2)
    return;
  const bool redraw = GetAutoRedraw();
  SetAutoRedraw(false);
  for (bool changed = true; changed;) {
    changed = false;
    for (CWULListNode* node = items.first; node && node->next;) {
      CWULListItem* a = ItemOf(node);
      CWULListItem* b = ItemOf(node->next);
      const int order = std::strcmp(a->text.text, b->text.text);
      if (descending ? order < 0 : order > 0) {
        items.Swap(a, b);
        changed = true;
        node = a;  // a now follows b
      } else {
        node = b;
      }
    }
  }
  Renumber(ItemOf(items.first));
  if (redraw)
    SetAutoRedraw(true);
}

void CWULListBox::RemoveItem(CWULListItem* item) {
  if (!Owns(item))
    return;
  if (item == currentItem)
    SetCurrentItem(nullptr);
  if (!Owns(item))
    return;
  CWULListNode* next = item->next;
  items.Remove(item);
  item->owner = nullptr;
  item->listener = nullptr;
  item->index = 0;
  Renumber(ItemOf(next));
  if (item->measuredWidth >= widestWidth)
    RaiseWidthMode(WUL_LIST_WIDTH_WIDEST);
  else
    RaiseWidthMode(WUL_LIST_WIDTH_HEIGHT);
  OnFontChanged();
}

void CWULListBox::DeleteItem(CWULListItem* item) {
  if (!Owns(item))
    return;
  RemoveItem(item);
  delete item;
}

void CWULListBox::Clear() {
  for (CWULListNode* node = items.first; node; node = node->next) {
    CWULListItem* item = ItemOf(node);
    item->owner = nullptr;
    item->listener = nullptr;
    item->index = 0;
  }
  currentItem = nullptr;
  items.DeleteAll();
  RaiseWidthMode(WUL_LIST_WIDTH_WIDEST);
  OnFontChanged();
}

CWULListItem* CWULListBox::FindByValue(int wanted) {
  for (CWULListNode* node = items.first; node; node = node->next) {
    if (ItemOf(node)->value == wanted)
      return ItemOf(node);
  }
  return nullptr;
}

CWULListItem* CWULListBox::FindByText(const char* itemText) {
  itemText = TextOf(itemText);
  for (CWULListNode* node = items.first; node; node = node->next) {
    if (std::strcmp(ItemOf(node)->text.text, itemText) == 0)
      return ItemOf(node);
  }
  return nullptr;
}

CWULListItem* CWULListBox::FindByIndex(int itemIndex) {
  if (itemIndex < 1 || itemIndex > items.count)
    return nullptr;
  CWULListNode* node = items.first;
  for (int i = 1; node && i < itemIndex; i++)
    node = node->next;
  return ItemOf(node);
}

CWULListItem* CWULListBox::GetFirstItem() { return ItemOf(items.first); }
CWULListItem* CWULListBox::GetLastItem() { return ItemOf(items.last); }
int CWULListBox::GetCount() { return items.count; }
CWULListItem* CWULListBox::GetCurrentItem() { return currentItem; }

void CWULListBox::SelectNext() {
  if (!currentItem)
    SetCurrentItem(GetFirstItem());
  else if (currentItem->next)
    SetCurrentItem(ItemOf(currentItem->next));
}

void CWULListBox::SelectPrevious() {
  if (!currentItem)
    SetCurrentItem(GetFirstItem());
  else if (currentItem->prev)
    SetCurrentItem(ItemOf(currentItem->prev));
}

void CWULListBox::SelectIndex(int itemIndex) {
  itemIndex = std::max(1, std::min(itemIndex, static_cast<int>(items.count)));
  if (CWULListItem* item = FindByIndex(itemIndex))
    SetCurrentItem(item);
}

void CWULListBox::SetCurrentItem(CWULListItem* item) {
  if (item && !Owns(item))
    return;
  const bool changes = item != currentItem;
  const bool redraw = GetAutoRedraw();
  const int before = scrollY;
  if (item) {
    // A change of the current item repaints the whole list once, not the scrolled view
    // and then the two rows.
    if (changes && redraw)
      flagsA &= ~WUL_IF_AUTO_REDRAW;
    try {
      ScrollIntoView(item);
    } catch (...) {
      if (redraw)
        flagsA |= WUL_IF_AUTO_REDRAW;
      throw;
    }
    if (redraw)
      flagsA |= WUL_IF_AUTO_REDRAW;
  }
  if (!changes)
    return;
  CWULListItem* old = currentItem;
  currentItem = item;
  if (scrollY != before && redraw) {
    Redraw();
  } else {
    RepaintItem(old);
    RepaintItem(item);
  }
  if (currentItemChangedHandler) {
    CWULCallbackBracket bracket(this);
    currentItemChangedHandler(this, item, old);
  }
}

// --- settings ---

int CWULListBox::GetItemHeight() { return itemHeight; }

void CWULListBox::SetItemHeight(int value) {
  value = std::max(1, value);
  if (value == itemHeight)
    return;
  itemHeight = value;
  lineStepX = value;
  lineStepY = value;
  // The image column is as wide as a row is high.
  RaiseWidthMode(WUL_LIST_WIDTH_MEASURE);
  OnFontChanged();
}

int CWULListBox::GetImageGap() { return imageGap; }

void CWULListBox::SetImageGap(int value) {
  imageGap = value;
  RaiseWidthMode(WUL_LIST_WIDTH_MEASURE);
  OnFontChanged();
}

bool CWULListBox::GetReserveImageColumn() { return reserveImageColumn != 0; }

void CWULListBox::SetReserveImageColumn(bool on) {
  reserveImageColumn = on ? 1 : 0;
  RaiseWidthMode(WUL_LIST_WIDTH_MEASURE);
  OnFontChanged();
}

int CWULListBox::GetLeftPadding() { return leftPadding; }

void CWULListBox::SetLeftPadding(int value) {
  leftPadding = value;
  RaiseWidthMode(WUL_LIST_WIDTH_MEASURE);
  OnFontChanged();
}

int CWULListBox::GetRightPadding() { return rightPadding; }

void CWULListBox::SetRightPadding(int value) {
  rightPadding = value;
  RaiseWidthMode(WUL_LIST_WIDTH_MEASURE);
  OnFontChanged();
}

// --- measuring ---

int CWULListBox::MeasureItem(CWULListItem* item) {
  if (!item)
    return 0;
  int textWidth = 0;
  if (item->text.GetLength() > 0) {
    if (HDC dc = GetDC(nullptr)) {
      CWULTextFont textFont(&GetFont());
      textFont.Select(dc);
      RECT area = {0, 0, 0, 0};
      DrawTextA(dc, item->text.text, -1, &area, DT_CALCRECT | kTextFlags);
      textFont.Restore();
      ReleaseDC(nullptr, dc);
      textWidth = area.right - area.left;
    }
  }
  int result = textWidth + leftPadding + rightPadding;
  if (item->image || reserveImageColumn)
    result += imageGap + itemHeight;
  return result;
}

bool CWULListBox::SameMeasuringFont() {
  const CWULFont& now = GetFont();
  return now.height == measuredFont.height && now.charSet == measuredFont.charSet &&
         now.style == measuredFont.style && now.quality == measuredFont.quality &&
         now.faceName.Equals(measuredFont.faceName);
}

void CWULListBox::OnFontChanged() {
  // Widths stored in another font are worth nothing.
  if (!SameMeasuringFont()) {
    measuredFont.Assign(GetFont());
    RaiseWidthMode(WUL_LIST_WIDTH_MEASURE);
  }
  if (widthMode == WUL_LIST_WIDTH_MEASURE) {
    widestWidth = 0;
    for (CWULListNode* node = items.first; node; node = node->next) {
      CWULListItem* item = ItemOf(node);
      item->measuredWidth = MeasureItem(item);
      widestWidth = std::max(static_cast<int>(widestWidth), static_cast<int>(item->measuredWidth));
    }
  } else if (widthMode == WUL_LIST_WIDTH_WIDEST) {
    widestWidth = 0;
    for (CWULListNode* node = items.first; node; node = node->next)
      widestWidth = std::max(static_cast<int>(widestWidth), static_cast<int>(ItemOf(node)->measuredWidth));
  }
  widthMode = WUL_LIST_WIDTH_KEEP;
  const int64_t rows = static_cast<int64_t>(items.count) * itemHeight;
  contentWidth = std::max(0, static_cast<int>(widestWidth));
  contentHeight = static_cast<int>(std::min<int64_t>(rows, 0x7FFFFFFF));
  CWULScrollWindow::OnFontChanged();
}

void CWULListBox::ItemChanged(CWULListItem* item) {
  const int old = item->measuredWidth;
  const int now = MeasureItem(item);
  item->measuredWidth = now;
  if (now != old && old >= widestWidth) {
    RaiseWidthMode(WUL_LIST_WIDTH_WIDEST);
    OnFontChanged();
  } else if (now > widestWidth) {
    widestWidth = now;
    OnFontChanged();
  } else {
    RepaintItem(item);
  }
}

int32_t CWULListBox::HandleNotify(CWULObject* sender, int32_t code, intptr_t param) {
  if (sender && sender->classCode == WUL_CLASS_LIST_ITEM) {
    CWULListItem* item = static_cast<CWULListItem*>(sender);
    if (Owns(item))
      ItemChanged(item);
    return 0;
  }
  return CWULScrollWindow::HandleNotify(sender, code, param);
}

// --- geometry ---

void CWULListBox::GetItemRect(CWULListItem* item, RECT* rect) {
  const int top = item ? (item->index - 1) * itemHeight - scrollY : -scrollY;
  *rect = {0, top, clientWidth, top + itemHeight};
}

CWULListItem* CWULListBox::ItemAtPoint(int, int cy) {
  const int64_t y = static_cast<int64_t>(cy) + scrollY;
  if (cy < 0 || y < 0)
    return nullptr;
  return FindByIndex(static_cast<int>(y / itemHeight + 1));
}

int CWULListBox::PageRows() { return std::max(1, static_cast<int>(clientHeight / itemHeight)); }

void CWULListBox::ScrollIntoView(CWULListItem* item) {
  if (!Owns(item))
    return;
  const int low = item->index * itemHeight - clientHeight;
  const int high = (item->index - 1) * itemHeight;
  int target = scrollY;
  if (scrollY > high)
    target = high;
  else if (scrollY < low)
    target = std::min(low, high);  // a row taller than the client area shows its top
  if (target != scrollY)
    SetScrollY(target);
}

// --- painting ---

void CWULListBox::RepaintItem(CWULListItem* item) {
  if (!Owns(item) || !window || !GetAutoRedraw())
    return;
  RECT row;
  GetItemRect(item, &row);
  if (row.bottom <= 0 || row.top >= clientHeight)
    return;
  Redraw(&row);
}

void CWULListBox::RepaintFocusRow() {
  if (!window || !GetAutoRedraw())
    return;
  RECT row;
  GetItemRect(currentItem ? currentItem : GetFirstItem(), &row);
  Redraw(&row);
}

void CWULListBox::PaintRow(CWULListItem* item, bool focusMark) {
  HDC dc = strip.GetDC();
  RECT row = {0, 0, strip.GetWidth(), strip.GetHeight()};
  const bool current = item && item == currentItem;
  const CWULColor background(current ? wulColors[18] : GetColor());
  CWULColor foreground(current ? wulColors[19] : GetFont().color);
  if (!IsEnabled())
    foreground = foreground.Blend(background, 0.5f);
  wulFillColor(dc, &row, background);
  if (item) {
    int textLeft = leftPadding - scrollX;
    if (item->image || reserveImageColumn) {
      if (CWULImage* picture = item->image) {
        GdiFlush();
        const int px = textLeft + (itemHeight - picture->width) / 2;
        const int py = (itemHeight - picture->height) / 2;
        if (IsEnabled())
          strip.GetImage()->Draw(px, py, picture);
        else
          strip.GetImage()->Draw(px, py, picture, 0.5f);
      }
      textLeft += itemHeight + imageGap;
    }
    RECT area = {textLeft, 0, row.right, row.bottom};
    CWULTextFont textFont(&GetFont());
    textFont.SetColor(foreground);
    textFont.Select(dc);
    DrawTextA(dc, item->text.text, -1, &area, kTextFlags);
    textFont.Restore();
  }
  if (focusMark)
    wulDrawDottedFrame(dc, &row, foreground, background);
}

void CWULListBox::PaintRows(HDC dc, const RECT* area) {
  RECT clip = {std::max(0L, area->left), std::max(0L, area->top), std::min<LONG>(area->right, clientWidth),
               std::min<LONG>(area->bottom, clientHeight)};
  if (clip.right <= clip.left || clip.bottom <= clip.top)
    return;
  int paintedTo = clip.top;
  if (wulFitBuffer(strip, clientWidth, itemHeight)) {
    const int first = static_cast<int>((static_cast<int64_t>(clip.top) + scrollY) / itemHeight + 1);
    const int last = static_cast<int>((static_cast<int64_t>(clip.bottom) - 1 + scrollY) / itemHeight + 1);
    const bool focused = HasFocus();
    CWULListItem* focusItem = currentItem ? currentItem : GetFirstItem();
    CWULListItem* item = FindByIndex(first);
    for (int row = first; row <= last; row++) {
      const bool emptyFocusRow = !item && row == 1 && items.count == 0 && focused;
      if (!item && !emptyFocusRow)
        break;
      PaintRow(item, focused && (item == focusItem));
      GdiFlush();
      const int top = (row - 1) * itemHeight - scrollY;
      strip.Blit(dc, 0, top, 0, 0, clientWidth, itemHeight);
      paintedTo = top + itemHeight;
      item = item ? ItemOf(item->next) : nullptr;
    }
  }
  if (paintedTo < clip.bottom) {
    RECT rest = {clip.left, std::max(paintedTo, static_cast<int>(clip.top)), clip.right, clip.bottom};
    wulFillColor(dc, &rest, GetColor());
  }
}

LRESULT CWULListBox::OnEraseBackground(HDC) { return 1; }

LRESULT CWULListBox::OnPaint(PAINTSTRUCT* paint) {
  PaintRows(paint->hdc, &paint->rcPaint);
  return 0;
}

// --- input ---

LRESULT CWULListBox::OnLButtonDown(int, int mx, int my) {
  if (CWULListItem* item = ItemAtPoint(mx, my))
    SetCurrentItem(item);
  if (CanFocus())
    SetFocus();
  return 0;
}

LRESULT CWULListBox::OnLButtonDblClk(int, int, int) {
  if (CanFocus())
    SetFocus();
  return 0;
}

LRESULT CWULListBox::OnKeyDown(int key, LPARAM lParam) {
  if (!HasFocus() || (window && GetCapture() == window))
    return CWULScrollWindow::OnKeyDown(key, lParam);
  if (wulIsCtrlDown()) {
    switch (key) {
      case VK_UP: SetScrollY(scrollY - itemHeight); return 0;
      case VK_DOWN: SetScrollY(scrollY + itemHeight); return 0;
      case VK_PRIOR: SetScrollY(scrollY - clientHeight); return 0;
      case VK_NEXT: SetScrollY(scrollY + clientHeight); return 0;
      case VK_HOME: SetScrollY(0); return 0;
      case VK_END: SetScrollY(contentHeight); return 0;
      default: break;
    }
  }
  switch (key) {
    case VK_UP: SelectPrevious(); return 0;
    case VK_DOWN: SelectNext(); return 0;
    case VK_HOME: SetCurrentItem(GetFirstItem()); return 0;
    case VK_END: SetCurrentItem(GetLastItem()); return 0;
    case VK_PRIOR:
    case VK_NEXT: {
      if (!items.count)
        return 0;
      // Rows partly and wholly in view; a current row at least partly in view at the edge the
      // key goes to is already there and moves a page, never back into the view.
      const int count = static_cast<int>(items.count);
      const int partTop = scrollY / itemHeight + 1;
      const int top = std::min(count, (scrollY + itemHeight - 1) / itemHeight + 1);
      const int partBottom = std::min(count, (scrollY + clientHeight - 1) / itemHeight + 1);
      const int bottom = std::min(count, std::max(top, (scrollY + clientHeight) / itemHeight));
      const int current = currentItem ? currentItem->index : 0;
      if (key == VK_PRIOR)
        SelectIndex(current >= partTop && current <= top ? current - PageRows() : top);
      else
        SelectIndex(current >= bottom && current <= partBottom ? current + PageRows() : bottom);
      return 0;
    }
    case VK_LEFT: SetScrollX(scrollX - lineStepX); return 0;
    case VK_RIGHT: SetScrollX(scrollX + lineStepX); return 0;
    default: return CWULScrollWindow::OnKeyDown(key, lParam);
  }
}

LRESULT CWULListBox::OnMouseWheel(float notches, int, int, int) {
  const int step = std::min(static_cast<int>(wulWheelFactor * itemHeight), clientHeight / 2);
  if (step <= 0) {
    wheelRemainder = 0.0f;
    return 0;
  }
  wheelRemainder += notches;
  const float pixels = wheelRemainder * static_cast<float>(step);
  const int whole = static_cast<int>(pixels);
  wheelRemainder = (pixels - static_cast<float>(whole)) / static_cast<float>(step);
  if (whole)
    SetScrollY(scrollY - whole);
  return 0;
}

LRESULT CWULListBox::OnSetFocus(HWND previous) {
  LRESULT result = CWULScrollWindow::OnSetFocus(previous);
  RepaintFocusRow();
  return result;
}

LRESULT CWULListBox::OnKillFocus(HWND next) {
  LRESULT result = CWULScrollWindow::OnKillFocus(next);
  RepaintFocusRow();
  return result;
}
