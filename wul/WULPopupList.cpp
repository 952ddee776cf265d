#include "wul/WULPopupList.h"
#include <algorithm>
#include <cmath>
#include "wul/WULDraw.h"
#include "wul/WULDropDown.h"
#include "wul/WULError.h"
#include "wul/WULImage.h"
#include "wul/WULMath.h"
#include "wul/WULShared.h"
#include "wul/WULSystem.h"

namespace {

inline CWULDropDownItem* ItemOf(CWULListNode* node) { return static_cast<CWULDropDownItem*>(node); }

}  // namespace

CWULPopupList::CWULPopupList(CWULDropDown* dropDown)
    : owner(dropDown),
      running(0),
      result(nullptr),
      highlighted(nullptr),
      lastX(-1),
      lastY(-1),
      itemBuffer(nullptr),
      topRow(0),
      wheelRemainder(0.0f) {
  flagsB |= WUL_IF_CONSTRUCTING | WUL_IF_HOVER_WANTED;
  itemBuffer = new CWULOffscreenBuffer();
  if (owner)
    SetParent(owner);
  // Unlike the other popups, the list looks like its drop-down.
  flagsA |= WUL_IF_PARENT_COLOR | WUL_IF_PARENT_FONT;
  flagsB &= ~WUL_IF_CONSTRUCTING;
  Layout();
}

CWULPopupList::~CWULPopupList() {
  flagsC |= WUL_IF_IN_DESTRUCTOR;
  if (window) {
    // The window goes before the buffer it paints from.
    DestroyWindow(window);
  }
  delete itemBuffer;
  itemBuffer = nullptr;
  highlighted = nullptr;
  result = nullptr;
}

// --- running ---

CWULDropDownItem* CWULPopupList::Run() {
  result = nullptr;
  if (running)
    return nullptr;
  BeginCallback();
  try {
    if (!window)
      Incarnate(nullptr);
    running = 1;
    HighlightCurrent();
    Show();
    Loop();
  } catch (...) {
    running = 0;
    // A list without a window is deleted by Close at once.
    EndCallback();
    Close();
    throw;
  }
  running = 0;
  CWULDropDownItem* chosen = result;
  EndCallback();
  Close();
  return chosen;
}

void CWULPopupList::EndLoop() {
  if (!running)
    return;
  running = 0;
  WakeLoop();
}

void CWULPopupList::WakeLoop() {
  if (window)
    PostMessageA(window, WM_NULL, 0, 0);
}

void CWULPopupList::Loop() {
  while (running) {
    if (wulPopupLoopStep(window, running, [this] { EndLoop(); }) == WULPopupLoopStep::Stop)
      break;
  }
}

// --- layout ---

void CWULPopupList::Layout() {
  if (!owner)
    return;
  const int rowHeight = std::max(1, static_cast<int>(owner->itemHeight));
  const int areaWidth = std::max(0, static_cast<int>(owner->textRect.right - owner->textRect.left));
  if (!owner->items.first) {
    try {
      itemBuffer->SetSize(0, 0);
    } catch (const CWULError&) {
    }
    SetSize(areaWidth + 2, rowHeight + 2);
    Position();
    return;
  }
  int widest = 0;
  if (HDC dc = GetDC(nullptr)) {
    CWULTextFont textFont(&GetFont());
    textFont.Select(dc);
    for (CWULListNode* node = owner->items.first; node; node = node->next) {
      CWULDropDownItem* item = ItemOf(node);
      RECT box = {0, 0, 0, 0};
      DrawTextA(dc, item->text.text, -1, &box, DT_NOPREFIX | DT_CALCRECT | DT_SINGLELINE | DT_VCENTER);
      int w = owner->leftMargin + owner->rightMargin + (box.right - box.left);
      if (item->image)
        w += std::max(0, static_cast<int>(item->image->width)) + owner->imageSpacing;
      widest = std::max(widest, w);
    }
    textFont.Restore();
    ReleaseDC(nullptr, dc);
  }
  if (owner->maxPopupWidth > 0)
    widest = std::min(widest, static_cast<int>(owner->maxPopupWidth));
  widest = std::max(widest, areaWidth);
  try {
    itemBuffer->SetSize(widest, rowHeight);
  } catch (const CWULError&) {
    // Rows are then not painted.
  }
  ClampTopRow();
  SetSize(widest + 2, VisibleRows() * rowHeight + 2);
  Position();
}

int CWULPopupList::VisibleRows() const {
  if (!owner)
    return 0;
  const int count = owner->items.count;
  return owner->maxVisibleItems > 0 ? std::min(count, static_cast<int>(owner->maxVisibleItems)) : count;
}

bool CWULPopupList::ClampTopRow() {
  const int count = owner ? owner->items.count : 0;
  const int top = std::max(0, std::min(static_cast<int>(topRow), count - VisibleRows()));
  if (top == topRow)
    return false;
  topRow = top;
  return true;
}

void CWULPopupList::ScrollRows(int rows) {
  const int32_t old = topRow;
  topRow = static_cast<int32_t>(std::max(-0x10000, std::min(0x10000, topRow + rows)));
  ClampTopRow();
  if (topRow != old && window)
    Redraw();
}

bool CWULPopupList::IsRowVisible(CWULDropDownItem* item) const {
  const int row = item->index - 1;
  return row >= topRow && row < topRow + VisibleRows();
}

void CWULPopupList::ScrollIntoView(CWULDropDownItem* item) {
  if (!item || IsRowVisible(item))
    return;
  const int row = item->index - 1;
  ScrollRows(row < topRow ? row - topRow : row - (topRow + VisibleRows() - 1));
}

void CWULPopupList::Position() {
  if (!owner)
    return;
  const int left = owner->GetScreenLeft() + owner->textRect.left;
  const int top = owner->GetScreenTop() + owner->textRect.top;
  const int bottom = owner->GetScreenTop() + owner->textRect.bottom;
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  const int nx = left - 1;
  int ny = bottom;
  if (screenHeight < bottom + height)
    ny = top - height;
  SetPosition(nx, ny);
  POINT pointer = {0, 0};
  if (GetCursorPos(&pointer)) {
    lastX = pointer.x - nx;
    lastY = pointer.y - ny;
  }
}

// --- highlight ---

void CWULPopupList::GetRowRect(CWULDropDownItem* item, RECT* rect) {
  const int h = owner ? owner->itemHeight : 0;
  const int index = item ? item->index : 0;
  rect->left = 1;
  rect->top = 1 + (index - 1 - topRow) * h;
  rect->right = width - 1;
  rect->bottom = rect->top + h;
}

CWULDropDownItem* CWULPopupList::ItemAt(int hx, int hy) {
  if (!owner)
    return nullptr;
  for (CWULListNode* node = owner->items.first; node; node = node->next) {
    RECT row;
    GetRowRect(ItemOf(node), &row);
    if (IsRowVisible(ItemOf(node)) && wulPtInRect(hx, hy, &row))
      return ItemOf(node);
  }
  return nullptr;
}

void CWULPopupList::HighlightCurrent() {
  if (!owner)
    return;
  CWULDropDownItem* item = owner->selection;
  if (!item || item->owner != owner)
    item = owner->GetFirstItem();
  SetHighlighted(item);
}

void CWULPopupList::SetHighlighted(CWULDropDownItem* item) {
  if (item && (!owner || item->owner != owner))
    return;
  if (item == highlighted)
    return;
  CWULDropDownItem* old = highlighted;
  highlighted = item;
  RepaintItem(old);
  ScrollIntoView(item);
  RepaintItem(item);
}

void CWULPopupList::HighlightNext() {
  if (!owner)
    return;
  if (!highlighted)
    SetHighlighted(owner->GetFirstItem());
  else if (highlighted->next)
    SetHighlighted(ItemOf(highlighted->next));
}

void CWULPopupList::HighlightPrev() {
  if (!owner)
    return;
  if (!highlighted)
    SetHighlighted(owner->GetFirstItem());
  else if (highlighted->prev)
    SetHighlighted(ItemOf(highlighted->prev));
}

void CWULPopupList::Choose(CWULDropDownItem* item) {
  result = item;
  EndLoop();
}

// --- notifications ---

int32_t CWULPopupList::HandleNotify(CWULObject* sender, int32_t code, intptr_t param) {
  if ((flagsB & WUL_IF_CONSTRUCTING) || (flagsC & WUL_IF_IN_DESTRUCTOR))
    return 0;
  if (sender && sender == owner && code == WUL_NOTIFY_CHANGED && param) {
    // An item is leaving the drop-down: nothing may point at it any more.
    CWULDropDownItem* leaving = reinterpret_cast<CWULDropDownItem*>(param);
    if (highlighted == leaving)
      highlighted = nullptr;
    if (result == leaving)
      result = nullptr;
    return 0;
  }
  if (sender == &color || sender == &font)
    CWULPopupWindow::HandleNotify(sender, code, param);
  Layout();
  OnColorChanged();
  return 0;
}

// --- pointer ---

void CWULPopupList::Rehover(int hx, int hy) {
  lastX = -1;
  lastY = -1;
  MouseHover(hx, hy);
}

void CWULPopupList::MouseHover(int hx, int hy) {
  if (hx == lastX && hy == lastY)
    return;
  lastX = hx;
  lastY = hy;
  SetHighlighted(ItemAt(hx, hy));
}

void CWULPopupList::MouseLeave() {
  SetHighlighted(nullptr);
  lastX = -1;
  lastY = -1;
}

LRESULT CWULPopupList::OnLButtonDown(int, int mx, int my) {
  Rehover(mx, my);
  return 0;
}

LRESULT CWULPopupList::OnLButtonUp(int, int mx, int my) {
  Rehover(mx, my);
  if (highlighted)
    Choose(highlighted);
  return 0;
}

// --- keys ---

LRESULT CWULPopupList::OnKeyDown(int key, LPARAM) {
  switch (key) {
    case VK_RETURN:
      if (highlighted)
        Choose(highlighted);
      break;
    case VK_ESCAPE:
      EndLoop();
      break;
    case VK_UP:
      HighlightPrev();
      break;
    case VK_DOWN:
      HighlightNext();
      break;
    default:
      break;
  }
  return 0;
}

LRESULT CWULPopupList::OnSysKeyDown(int key, LPARAM lParam) { return OnKeyDown(key, lParam); }

// --- wheel ---

bool CWULPopupList::AcceptsWheel(int wx, int wy) { return wx >= 0 && wy >= 0 && wx < width && wy < height; }

LRESULT CWULPopupList::OnMouseWheel(float notches, int, int, int) {
  if (!(std::fabs(notches) <= 1000.0f))
    return 0;
  if ((notches > 0.0f) != (wheelRemainder > 0.0f))
    wheelRemainder = 0.0f;
  wheelRemainder += notches;
  const int rows = wulRoundFloat(wheelRemainder);
  wheelRemainder -= static_cast<float>(rows);
  if (rows)
    ScrollRows(-rows);
  return 0;
}

LRESULT CWULPopupList::OnActivateApp(bool, DWORD) {
  EndLoop();
  return 0;
}

// --- painting ---

LRESULT CWULPopupList::OnPaint(PAINTSTRUCT* paint) {
  CWULPenBrush set;
  set.Create(GetColor());
  RECT whole = {0, 0, width, height};
  if (owner && owner->items.first) {
    wulDrawRectOutline(paint->hdc, &whole, set.shadePen);
    for (CWULListNode* node = owner->items.first; node; node = node->next) {
      RECT row;
      GetRowRect(ItemOf(node), &row);
      if (IsRowVisible(ItemOf(node)) && wulRectsOverlap(&row, &paint->rcPaint))
        PaintItem(paint->hdc, ItemOf(node));
    }
  } else {
    wulDrawRect(paint->hdc, &whole, set.shadePen, set.brush);
  }
  return 0;
}

void CWULPopupList::RepaintItem(CWULDropDownItem* item) {
  if (!window || !item || !owner || item->owner != owner || !IsRowVisible(item))
    return;
  HDC dc = GetDC(window);
  if (!dc)
    return;
  try {
    PaintItem(dc, item);
  } catch (...) {
    ReleaseDC(window, dc);
    throw;
  }
  ReleaseDC(window, dc);
}

void CWULPopupList::PaintItem(HDC dc, CWULDropDownItem* item) {
  if (!item || !owner || item->owner != owner || !itemBuffer)
    return;
  CWULImage* canvas = itemBuffer->GetImage();
  if (!canvas)
    return;
  const int w = canvas->width;
  const int h = canvas->height;
  HDC bufferDC = itemBuffer->GetDC();
  const bool hot = item == highlighted;
  CWULFont& itemFont = GetFont();
  const CWULColor background(hot ? wulColors[18] : GetColor());
  const CWULColor foreground(hot ? wulColors[19] : itemFont.color);
  GdiFlush();
  canvas->Fill(background);
  RECT area = {owner->leftMargin, 0, w - owner->rightMargin, h};
  if (CWULImage* image = item->image) {
    const int iw = std::min(static_cast<int>(image->width), static_cast<int>(area.right - area.left));
    const int ih = std::min(static_cast<int>(image->height), h);
    if (iw > 0 && ih > 0 && image->pixels) {
      const int sy = (image->height - ih) / 2;
      RECT part = {0, sy, iw, sy + ih};
      CWULImage clipped(iw, ih);
      clipped.DrawPart(0, 0, image, &part);
      canvas->Draw(area.left, (h - ih) / 2, &clipped);
    }
    area.left += std::max(0, iw) + owner->imageSpacing;
  }
  if (area.right > area.left) {
    CWULTextFont textFont(&itemFont);
    textFont.SetColor(foreground);
    textFont.Select(bufferDC);
    DrawTextA(bufferDC, item->text.text, -1, &area, DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER);
    textFont.Restore();
  }
  GdiFlush();
  RECT row;
  GetRowRect(item, &row);
  itemBuffer->Blit(dc, row.left, row.top, 0, 0, w, h);
}
