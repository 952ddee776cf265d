#include "wul/WULDropDown.h"
#include <algorithm>
#include <cmath>
#include <cstring>
#include "wul/WULError.h"
#include "wul/WULInit.h"
#include "wul/WULMath.h"
#include "wul/WULPaintKit.h"
#include "wul/WULPopupList.h"
#include "wul/WULShared.h"
#include "wul/WULSystem.h"

namespace {

inline CWULDropDownItem* ItemOf(CWULListNode* node) { return static_cast<CWULDropDownItem*>(node); }

}  // namespace

// --- CWULDropDownItem ---

CWULDropDownItem::CWULDropDownItem(int itemValue, const char* itemText)
    : owner(nullptr), image(nullptr), index(0), value(itemValue), tag(0), text(itemText) {
  classCode = WUL_CLASS_DROP_DOWN_ITEM;
  text.listener = this;
}

CWULDropDownItem::~CWULDropDownItem() {
  if (owner)
    owner->RemoveItem(this);
  owner = nullptr;
  listener = nullptr;
  CWULImage::Release(image);
  image = nullptr;
}

int32_t CWULDropDownItem::HandleNotify(CWULObject* sender, int32_t, intptr_t) {
  if (sender == &text)
    NotifyChanged();
  return 0;
}

void CWULDropDownItem::SetValue(int newValue) { value = newValue; }

void CWULDropDownItem::SetText(const char* newText) { text.Assign(newText); }

void CWULDropDownItem::SetImage(CWULImage* newImage) {
  if (wulReplaceImage(image, newImage))
    NotifyChanged();
}

// --- CWULDropDown ---

CWULDropDown::CWULDropDown()
    : buttonColor(wulColors[14]),
      arrowColor(wulColors[17]),
      selectionChangedHandler(nullptr),
      frameKind(WUL_FRAME_BEVEL_LINE),
      buttonWidth(-1),
      imageSpacing(2),
      itemHeight(wulControlTextHeight),
      maxVisibleItems(-1),
      leftMargin(2),
      topMargin(1),
      rightMargin(2),
      bottomMargin(1),
      maxPopupWidth(-1),
      selection(nullptr),
      textRect{0, 0, 0, 0},
      buttonRect{0, 0, 0, 0},
      open(0),
      skipNextClick(0),
      popupList(nullptr),
      wheelRemainder(0.0f),
      lastWheelStep(0.0f) {
  buttonColor.listener = this;
  arrowColor.listener = this;
  color.value = wulColors[16].value;
  flagsA &= ~WUL_IF_PARENT_COLOR;
  flagsA |= WUL_IF_TAB_STOP;
  width = 80;
  height = wulControlTextHeight + 6;
  GeometryHook();
}

CWULDropDown::~CWULDropDown() {
  // An open list (a child, deleted with the children) no longer reads this control.
  if (popupList)
    popupList->owner = nullptr;
  popupList = nullptr;
  selection = nullptr;
  for (CWULListNode* node = items.first; node; node = node->next) {
    ItemOf(node)->owner = nullptr;
    ItemOf(node)->listener = nullptr;
    ItemOf(node)->index = 0;
  }
  items.DeleteAll();
}

// --- items ---

void CWULDropDown::Renumber() {
  int n = 1;
  for (CWULListNode* node = items.first; node; node = node->next)
    ItemOf(node)->index = n++;
}

void CWULDropDown::TellList(CWULDropDownItem* leaving) {
  if (popupList)
    NotifyTo(this, popupList, WUL_NOTIFY_CHANGED, reinterpret_cast<intptr_t>(leaving));
}

void CWULDropDown::InsertItem(CWULDropDownItem* item, CWULDropDownItem* before) {
  if (!item || item == before)
    return;
  if (before && before->owner != this)
    before = nullptr;
  if (item->owner == this) {
    // A move inside the list keeps the selection.
    items.Move(item, before);
    Renumber();
    TellList();
    OnColorChanged();
    return;
  }
  if (item->owner)
    item->owner->RemoveItem(item);
  items.Insert(item, before);
  item->owner = this;
  item->listener = this;
  Renumber();
  TellList();
  OnColorChanged();
}

void CWULDropDown::SwapItems(CWULDropDownItem* a, CWULDropDownItem* b) {
  if (!a || !b || a == b || a->owner != this || b->owner != this)
    return;
  items.Swap(a, b);
  std::swap(a->index, b->index);
  TellList();
  OnColorChanged();
}

void CWULDropDown::SortItems(bool descending) {
  if (!items.first)
    return;
  const bool redraw = GetAutoRedraw();
  SetAutoRedraw(false);
  bool exchanged = true;
  while (exchanged) {
    exchanged = false;
    for (CWULListNode* node = items.first; node && node->next;) {
      CWULDropDownItem* a = ItemOf(node);
      CWULDropDownItem* b = ItemOf(node->next);
      const int order = std::strcmp(a->text.text, b->text.text);
      if (descending ? order < 0 : order > 0) {
        items.Swap(a, b);
        exchanged = true;
        node = a;  // a moved one place on
      } else {
        node = node->next;
      }
    }
  }
  Renumber();
  SetAutoRedraw(redraw);
  TellList();
  OnColorChanged();
}

void CWULDropDown::RemoveItem(CWULDropDownItem* item) {
  if (!item || item->owner != this)
    return;
  if (item == selection)
    SetSelection(nullptr);
  // A handler may have taken it away already.
  if (item->owner != this)
    return;
  TellList(item);
  items.Remove(item);
  item->owner = nullptr;
  item->listener = nullptr;
  item->index = 0;
  Renumber();
  TellList();
  OnColorChanged();
}

void CWULDropDown::DeleteItem(CWULDropDownItem* item) {
  if (!item || item->owner != this)
    return;
  RemoveItem(item);
  delete item;
}

void CWULDropDown::Clear() {
  for (CWULListNode* node = items.first; node; node = node->next) {
    TellList(ItemOf(node));
    ItemOf(node)->owner = nullptr;
    ItemOf(node)->listener = nullptr;
    ItemOf(node)->index = 0;
  }
  selection = nullptr;
  items.DeleteAll();
  TellList();
  OnColorChanged();
}

CWULDropDownItem* CWULDropDown::FindByValue(int itemValue) {
  for (CWULListNode* node = items.first; node; node = node->next) {
    if (ItemOf(node)->value == itemValue)
      return ItemOf(node);
  }
  return nullptr;
}

CWULDropDownItem* CWULDropDown::FindByText(const char* itemText) {
  for (CWULListNode* node = items.first; node; node = node->next) {
    if (ItemOf(node)->text.Equals(itemText))
      return ItemOf(node);
  }
  return nullptr;
}

CWULDropDownItem* CWULDropDown::GetFirstItem() { return ItemOf(items.first); }

CWULDropDownItem* CWULDropDown::GetLastItem() { return ItemOf(items.last); }

void CWULDropDown::SelectNext() {
  if (!selection)
    SetSelection(GetFirstItem());
  else if (selection->next)
    SetSelection(ItemOf(selection->next));
}

void CWULDropDown::SelectPrevious() {
  if (!selection)
    SetSelection(GetFirstItem());
  else if (selection->prev)
    SetSelection(ItemOf(selection->prev));
}

void CWULDropDown::SetSelection(CWULDropDownItem* item) {
  if (item && item->owner != this)
    return;
  if (item == selection)
    return;
  CWULDropDownItem* old = selection;
  selection = item;
  OnColorChanged();
  if (selectionChangedHandler) {
    CWULCallbackBracket bracket(this);
    selectionChangedHandler(this, item, old);
  }
}

CWULDropDownItem* CWULDropDown::GetSelection() { return selection; }

// --- the list ---

void CWULDropDown::ClickButton() {
  if (skipNextClick) {
    // The click that closed the list.
    skipNextClick = 0;
    return;
  }
  if (open || popupList)
    return;
  CWULPopupList* list = nullptr;
  try {
    list = new CWULPopupList(this);
  } catch (...) {
    list = nullptr;
  }
  if (!list)
    wulThrowError(5, "CWULDropDown::ClickButton", "Popup list creation failed");
  popupList = list;
  open = 1;
  OnColorChanged();
  try {
    CWULDropDownItem* chosen = list->Run();
    // The list deletes itself once its window is gone.
    popupList = nullptr;
    MSG message;
    if (window && PeekMessageA(&message, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_NOREMOVE) &&
        message.hwnd == window && (message.message == WM_LBUTTONDOWN || message.message == WM_LBUTTONDBLCLK)) {
      const int mx = static_cast<short>(LOWORD(message.lParam));
      const int my = static_cast<short>(HIWORD(message.lParam));
      if (wulPtInRect(mx, my, &buttonRect))
        skipNextClick = 1;
    }
    if (chosen && chosen->owner == this)
      SetSelection(chosen);
  } catch (const CWULError& error) {
    popupList = nullptr;
    wulShowError(error);
  } catch (...) {
    popupList = nullptr;
    open = 0;
    OnColorChanged();
    throw;
  }
  open = 0;
  OnColorChanged();
}

// --- display values ---

int CWULDropDown::GetFrameKind() { return frameKind; }

void CWULDropDown::SetFrameKind(int kind) {
  frameKind = kind;
  OnGeometryChanged();
  OnColorChanged();
}

int CWULDropDown::GetButtonWidth() { return buttonWidth; }

void CWULDropDown::SetButtonWidth(int value) {
  buttonWidth = value;
  OnGeometryChanged();
  OnColorChanged();
}

int CWULDropDown::GetImageSpacing() { return imageSpacing; }

void CWULDropDown::SetImageSpacing(int value) {
  imageSpacing = value;
  TellList();
  OnColorChanged();
}

int CWULDropDown::GetItemHeight() { return itemHeight; }

void CWULDropDown::SetItemHeight(int value) {
  itemHeight = std::max(1, value);
  TellList();
  OnColorChanged();
}

int CWULDropDown::GetMaxVisibleItems() { return maxVisibleItems; }

void CWULDropDown::SetMaxVisibleItems(int value) {
  maxVisibleItems = value;
  TellList();
}

int CWULDropDown::GetMaxPopupWidth() { return maxPopupWidth; }

void CWULDropDown::SetMaxPopupWidth(int value) {
  maxPopupWidth = value;
  TellList();
}

void CWULDropDown::GetMargins(RECT* margins) {
  if (margins)
    *margins = {leftMargin, topMargin, rightMargin, bottomMargin};
}

void CWULDropDown::SetMargins(int left, int top, int right, int bottom) {
  leftMargin = left;
  topMargin = top;
  rightMargin = right;
  bottomMargin = bottom;
  TellList();
  OnColorChanged();
}

// --- framework ---

int32_t CWULDropDown::HandleNotify(CWULObject* sender, int32_t code, intptr_t param) {
  if (sender == &buttonColor || sender == &arrowColor) {
    OnColorChanged();
    return 0;
  }
  if (sender && sender->classCode == WUL_CLASS_DROP_DOWN_ITEM) {
    CWULDropDownItem* item = static_cast<CWULDropDownItem*>(sender);
    if (item->owner == this) {
      TellList();
      if (item == selection)
        OnColorChanged();
    }
    return 0;
  }
  return CWULControl::HandleNotify(sender, code, param);
}

void CWULDropDown::GeometryHook() {
  CWULControl::GeometryHook();
  RECT inner = {0, 0, width, height};
  wulDeflateRect(&inner, wulFrameInset(frameKind));
  int w = buttonWidth;
  if (w < 0)
    w = std::max(0, static_cast<int>(inner.bottom - inner.top) - 1) | 1;
  w = std::min(w, static_cast<int>(std::max(0L, inner.right - inner.left)));
  buttonRect = {inner.right - w, inner.top, inner.right, inner.bottom};
  const int separator = frameKind == WUL_FRAME_LINE || frameKind == WUL_FRAME_BEVEL_LINE ? 1 : 0;
  textRect = {inner.left, inner.top, std::max(inner.left, buttonRect.left - separator), inner.bottom};
}

void CWULDropDown::OnSizeChanged() {
  CWULControl::OnSizeChanged();
  try {
    wulFitBuffer(buffer, width, height);
  } catch (const CWULError&) {
    // Without a bitmap nothing is painted.
  }
}

LRESULT CWULDropDown::OnEraseBackground(HDC) { return 1; }

LRESULT CWULDropDown::OnPaint(PAINTSTRUCT* paint) {
  wulPaintBuffered(buffer, width, height, paint, [this](HDC dc) { PaintControl(dc); });
  return 0;
}

void CWULDropDown::PaintControl(HDC dc) {
  RECT all = {0, 0, width, height};
  wulPaintFrameKind(dc, &all, frameKind, wulParentColor(this));
  const bool separator = frameKind == WUL_FRAME_LINE || frameKind == WUL_FRAME_BEVEL_LINE;
  if (separator && buttonRect.right > buttonRect.left) {
    HPEN shade = CreatePen(PS_SOLID, 1, wulColors[1].GetColorRef());
    if (shade) {
      wulDrawLine(dc, buttonRect.left - 1, buttonRect.top, buttonRect.left - 1, buttonRect.bottom, shade);
      DeleteObject(shade);
    }
  }
  // The button with its arrow.
  CWULPenBrush pens;
  if (buttonRect.right > buttonRect.left && buttonRect.bottom > buttonRect.top && pens.Create(buttonColor)) {
    wulPaintFace(dc, &buttonRect, pens, open != 0);
    RECT content = buttonRect;
    if (open)
      wulOffsetRect(&content, 1, 1);
    const CWULColor ink(IsEnabled() ? arrowColor : arrowColor.Blend(buttonColor, 0.5f));
    const int arrowWidth = std::max(1, static_cast<int>(buttonRect.right - buttonRect.left) / 4);
    wulPaintArrow(dc, &content, false, std::max(1, (arrowWidth + 1) / 2), ink);
  }
  // The text area with the selected item.
  const bool focused = HasFocus() && !open;
  const CWULColor background(focused ? wulColors[18] : GetColor());
  wulFillColor(dc, &textRect, background);
  if (selection) {
    RECT area = {textRect.left + leftMargin, textRect.top + topMargin, textRect.right - rightMargin,
                 textRect.bottom - bottomMargin};
    if (area.right > area.left && area.bottom > area.top) {
      HRGN saved = CreateRectRgn(0, 0, 0, 0);
      const int hadClip = saved ? GetClipRgn(dc, saved) : -1;
      IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
      if (CWULImage* image = selection->image) {
        const int iw = std::min(static_cast<int>(image->width), static_cast<int>(area.right - area.left));
        if (iw > 0 && image->pixels && buffer.GetImage()) {
          const int ih = std::min(static_cast<int>(image->height), static_cast<int>(area.bottom - area.top));
          const int iy = area.top + (area.bottom - area.top - ih) / 2;
          RECT part = {0, (image->height - ih) / 2, iw, (image->height - ih) / 2 + ih};
          GdiFlush();
          CWULImage clipped(iw, ih);
          clipped.DrawPart(0, 0, image, &part);
          buffer.GetImage()->Draw(area.left, iy, &clipped);
          area.left += iw + imageSpacing;
        }
      }
      CWULTextFont textFont(&GetFont());
      if (focused)
        textFont.SetColor(wulColors[19]);
      else if (!IsEnabled())
        textFont.SetColor(GetFont().color.Blend(GetColor(), 0.5f));
      textFont.Select(dc);
      DrawTextA(dc, selection->text.text, -1, &area, DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER);
      textFont.Restore();
      SelectClipRgn(dc, hadClip == 1 ? saved : nullptr);
      if (saved)
        DeleteObject(saved);
    }
  }
  if (HasFocus()) {
    RECT focus = textRect;
    if (focus.right > focus.left + 2 && focus.bottom > focus.top + 2)
      wulDrawDottedFrame(dc, &focus, background.Scale(0.5f), background);
  }
}

// --- input ---

LRESULT CWULDropDown::OnLButtonDown(int, int mx, int my) {
  if (wulPtInRect(mx, my, &buttonRect)) {
    ClickButton();
  } else if (wulPtInRect(mx, my, &textRect)) {
    if (CanFocus())
      Focus(true);
  }
  return 0;
}

LRESULT CWULDropDown::OnLButtonDblClk(int keys, int mx, int my) { return OnLButtonDown(keys, mx, my); }

LRESULT CWULDropDown::OnKeyDown(int key, LPARAM lParam) {
  if (!window || GetCapture() == window)
    return CWULControl::OnKeyDown(key, lParam);
  switch (key) {
    case VK_HOME:
      if (items.first)
        SetSelection(GetFirstItem());
      return 0;
    case VK_END:
      if (items.last)
        SetSelection(GetLastItem());
      return 0;
    case VK_UP:
      if (wulIsAltDown())
        ClickButton();
      else
        SelectPrevious();
      return 0;
    case VK_DOWN:
      if (wulIsAltDown())
        ClickButton();
      else
        SelectNext();
      return 0;
    default:
      return CWULControl::OnKeyDown(key, lParam);
  }
}

LRESULT CWULDropDown::OnSysKeyDown(int key, LPARAM lParam) {
  if ((key == VK_UP || key == VK_DOWN) && window && GetCapture() != window) {
    ClickButton();
    return 0;
  }
  return CWULControl::OnSysKeyDown(key, lParam);
}

LRESULT CWULDropDown::OnMouseWheel(float notches, int keys, int wx, int wy) {
  if (!(notches == notches))
    return 0;
  if (open) {
    // The open list scrolls; the selection stays.
    if (popupList)
      popupList->OnMouseWheel(notches, keys, wx, wy);
    return 0;
  }
  if ((notches > 0.0f && lastWheelStep < 0.0f) || (notches < 0.0f && lastWheelStep > 0.0f))
    wheelRemainder = 0.0f;
  lastWheelStep = notches;
  wheelRemainder += notches;
  // Far more steps than items only run to the end of the list.
  const float limit = static_cast<float>(items.count) + 1.0f;
  if (!(std::fabs(wheelRemainder) <= limit))
    wheelRemainder = wheelRemainder < 0.0f ? -limit : limit;
  const int steps = wulRoundFloat(wheelRemainder);
  wheelRemainder -= static_cast<float>(steps);
  for (int i = 0; i < steps; i++) {
    if (selection && !selection->prev)
      break;
    SelectPrevious();
  }
  for (int i = 0; i > steps; i--) {
    if (selection && !selection->next)
      break;
    SelectNext();
  }
  return 0;
}

LRESULT CWULDropDown::OnSetFocus(HWND) {
  OnColorChanged();
  return 0;
}

LRESULT CWULDropDown::OnKillFocus(HWND) {
  OnColorChanged();
  return 0;
}
