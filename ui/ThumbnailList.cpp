#include "ui/ThumbnailList.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Painters.h"
#include "document/PixelArray.h"
#include "shell/Settings.h"
#include "shell/TextRoutines.h"
#include "ui/AppCursors.h"
#include "wul/WULDraw.h"
#include "wul/WULError.h"
#include "wul/WULFont.h"
#include "wul/WULImage.h"
#include "wul/WULPopupMenu.h"

namespace {

enum { BUTTON_SIZE = 14 };

CWULColor FaceColor() { return wulColors[14]; }
CWULColor SelectionColor() { return wulColors[18]; }
CWULColor SelectionTextColor() { return wulColors[19]; }

CColor ChequerColor(CColorSetting* setting, uint32_t fallback) {
  return setting ? setting->GetValue() : CColor(fallback);
}

void FillSolid(HDC dc, const RECT& rect, const CWULColor& color) {
  if (rect.right <= rect.left || rect.bottom <= rect.top)
    return;
  HBRUSH brush = CreateSolidBrush(color.GetColorRef());
  if (!brush)
    return;
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

void Outline(HDC dc, const RECT& rect, const CWULColor& color) {
  HPEN pen = CreatePen(PS_SOLID, 1, color.GetColorRef());
  if (!pen)
    return;
  wulDrawRectOutline(dc, &rect, pen);
  DeleteObject(pen);
}

void VerticalLine(HDC dc, int x, int top, int bottom, const CWULColor& color) {
  HPEN pen = CreatePen(PS_SOLID, 1, color.GetColorRef());
  if (!pen)
    return;
  wulDrawLine(dc, x, top, x, bottom, pen);
  DeleteObject(pen);
}

// A chequerboard of 4-pixel cells in the box, then the picture composed over it centred.
void PaintPictureBox(CWULOffscreenBuffer* buffer, const RECT& box, const CWULImage* picture) {
  CWULImage* target = buffer->GetImage();
  if (!target || box.right <= box.left || box.bottom <= box.top)
    return;
  GdiFlush();
  CPixelArray pixels(target->pixels, target->width, target->height);
  CChequer chequer;
  chequer.originX = box.left;
  chequer.originY = box.top;
  chequer.cellSize = 4;
  chequer.colorA = ChequerColor(g_Settings.uiColorsChequerA, 0xFFF0F0F0u);
  chequer.colorB = ChequerColor(g_Settings.uiColorsChequerB, 0xFFC0C0C0u);
  Rect r;
  r.left = box.left;
  r.top = box.top;
  r.right = box.right;
  r.bottom = box.bottom;
  PaintChequer(pixels, r, chequer);
  if (picture && picture->pixels) {
    const int px = box.left + ((box.right - box.left) - picture->width) / 2;
    const int py = box.top + ((box.bottom - box.top) - picture->height) / 2;
    CPixelArray source(picture->pixels, picture->width, picture->height);
    Rect part;
    part.left = std::max(0, static_cast<int>(box.left) - px);
    part.top = std::max(0, static_cast<int>(box.top) - py);
    part.right = std::min(picture->width, static_cast<int>(box.right) - px);
    part.bottom = std::min(picture->height, static_cast<int>(box.bottom) - py);
    if (part.IsNonEmpty())
      pixels.BlendFrom(px + part.left, py + part.top, source, part, 1.0f);
  }
}

void DrawItemText(HDC dc, CThumbnailList* list, const char* text, RECT rect, const CWULColor& color, UINT format) {
  if (!list || !text || !text[0] || rect.right <= rect.left || rect.bottom <= rect.top)
    return;
  GdiFlush();
  CWULTextFont font(&list->GetFont());
  font.SetColor(color);
  if (!font.Select(dc))
    return;
  DrawTextA(dc, text, -1, &rect, format);
  font.Restore();
}

// Resamples source into a thumbnail that fits n x n, each side limited by itself; keeps
// the old thumbnail when its size fits. Returns the thumbnail (null for an empty source).
CWULImage* MakeThumbnail(const CPixelArray* source, int32_t n, CWULImage* old) {
  if (!source || source->width <= 0 || source->height <= 0 || !source->data || n <= 0) {
    delete old;
    return nullptr;
  }
  const int32_t tw = std::min(source->width, n);
  const int32_t th = std::min(source->height, n);
  CWULImage* thumbnail = old;
  if (thumbnail && (thumbnail->width != tw || thumbnail->height != th || !thumbnail->pixels)) {
    delete thumbnail;
    thumbnail = nullptr;
  }
  if (!thumbnail)
    thumbnail = new CWULImage(tw, th);
  CPixelArray target(thumbnail->pixels, tw, th);
  CResampleOptions options;
  options.smooth = 1;
  options.totalSamples = 0;
  options.pixelSamples = 64;
  source->Resample(target, &options);
  return thumbnail;
}

// Background, outline, the line after the thumbnail box, the thumbnail and the text of an
// image or layer item.
void PaintThumbnailRow(CThumbnailItem* item, CWULOffscreenBuffer* buffer, int32_t n, const CWULImage* thumbnail,
                       const char* text, int textRight, const CWULColor& background, const CWULColor& textColor) {
  HDC dc = buffer->GetDC();
  const RECT whole = {0, 0, item->width, item->height};
  GdiFlush();
  FillSolid(dc, whole, background);
  const CWULColor line = background.Scale(0.75f);
  Outline(dc, whole, line);
  VerticalLine(dc, n + 1, 0, item->height, line);
  const RECT box = {1, 1, n + 1, n + 1};
  PaintPictureBox(buffer, box, thumbnail);
  RECT textRect = {n + 1 + (n + 4) / 8, 0, textRight, item->height};
  wulDeflateRect(&textRect, 2);
  DrawItemText(dc, item->GetList(), text, textRect, textColor,
               DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_WORD_ELLIPSIS | DT_LEFT);
}

}  // namespace

// --- CThumbnailItem ---

CThumbnailItem::CThumbnailItem()
    : owner(nullptr),
      color(FaceColor()),
      object(nullptr),
      contextMenu(nullptr),
      doubleClickCallback(nullptr),
      width(0),
      height(0),
      x(0),
      y(0) {
  classCode = CLASS_CODE;
}

CThumbnailItem::~CThumbnailItem() {
  if (owner)
    owner->Remove(this);
}

void CThumbnailItem::Layout() {}

bool CThumbnailItem::HitTest(int, int) { return true; }

void CThumbnailItem::Click(int, int) {
  if (owner)
    owner->Select(this);
}

void CThumbnailItem::DoubleClick(int, int) {
  if (doubleClickCallback)
    doubleClickCallback(this, this);
}

void CThumbnailItem::ContextClick(int, int) {
  if (owner)
    owner->Select(this);
  if (contextMenu)
    WULPopupMenuAtCursor(contextMenu);
}

bool CThumbnailItem::IsSelected() const { return owner && owner->GetSelected() == this; }

void CThumbnailItem::NotifyList() {
  if (owner)
    NotifyTo(this, owner, NOTIFY_REFRESH);
}

void CThumbnailItem::GetColors(CWULColor& background, CWULColor& text) const {
  if (IsSelected()) {
    background = SelectionColor();
    text = SelectionTextColor();
  } else {
    background = color;
    text = owner ? owner->GetFont().color : wulFonts[0].color;
  }
}

// --- CThumbnailList ---

CThumbnailList::CThumbnailList()
    : selectionChangedCallback(nullptr), margin(0), spacing(0), selected(nullptr), layingOut(0) {
  SetTabStop(true);
  hBarMode = WUL_BAR_NEVER;
}

CThumbnailList::~CThumbnailList() { Clear(); }

bool CThumbnailList::Owns(const CThumbnailItem* item) const { return item && item->owner == this; }

void CThumbnailList::SetMargin(int32_t m) {
  margin = std::max(0, m);
  LayoutItems();
}

void CThumbnailList::SetSpacing(int32_t s) {
  spacing = std::max(0, s);
  LayoutItems();
}

void CThumbnailList::Insert(CThumbnailItem* item, CThumbnailItem* before) {
  if (!item)
    return;
  if (before == item)
    return;
  if (before && !Owns(before))
    before = nullptr;
  if (item->owner)
    item->owner->Remove(item);
  items.Insert(item, before);
  item->owner = this;
  item->listener = this;
  LayoutItems();
}

void CThumbnailList::Move(CThumbnailItem* item, CThumbnailItem* before) {
  if (!Owns(item) || item == before)
    return;
  if (before && !Owns(before))
    before = nullptr;
  items.Move(item, before);
  LayoutItems();
}

void CThumbnailList::Remove(CThumbnailItem* item) {
  if (!Owns(item))
    return;
  if (item == selected) {
    // Cleared without painting the leaving item: it may be half destroyed already.
    selected = nullptr;
    if (selectionChangedCallback)
      selectionChangedCallback(this, nullptr, item);
  }
  // The selection callback may have taken it out already.
  if (!Owns(item))
    return;
  items.Remove(item);
  item->owner = nullptr;
  item->listener = nullptr;
  LayoutItems();
}

void CThumbnailList::Delete(CThumbnailItem* item) {
  if (!Owns(item))
    return;
  Remove(item);
  delete item;
}

void CThumbnailList::Clear() {
  selected = nullptr;
  while (CThumbnailItem* item = GetFirst()) {
    items.Remove(item);
    item->owner = nullptr;
    item->listener = nullptr;
    delete item;
  }
  LayoutItems();
}

int32_t CThumbnailList::GetContentHeightOfItems() const {
  if (!items.count)
    return 0;
  int32_t total = 2 * margin + (items.count - 1) * spacing;
  for (CWULListNode* node = items.first; node; node = node->next)
    total += static_cast<CThumbnailItem*>(node)->height;
  return total;
}

void CThumbnailList::LayoutItems() {
  if (layingOut)
    return;
  ++layingOut;
  try {
    // A vertical bar that comes or goes changes the width: lay out once more then.
    for (int pass = 0; pass < 2; ++pass) {
      const int32_t clientW = GetClientWidth();
      const int32_t itemWidth = std::max(0, clientW - 2 * margin);
      int32_t position = margin;
      int32_t tallest = 0;
      for (CWULListNode* node = items.first; node; node = node->next) {
        CThumbnailItem* item = static_cast<CThumbnailItem*>(node);
        item->x = margin;
        item->y = position;
        item->width = itemWidth;
        item->Layout();
        tallest = std::max(tallest, item->height);
        position += item->height + spacing;
      }
      try {
        buffer.SetSize(itemWidth, tallest);
      } catch (const CWULError&) {
      }
      SetContentSize(0, GetContentHeightOfItems());
      if (GetClientWidth() == clientW)
        break;
    }
  } catch (...) {
    --layingOut;
    throw;
  }
  --layingOut;
  Redraw();
}

void CThumbnailList::Select(CThumbnailItem* item) {
  if (item && !Owns(item))
    return;
  bool suspended = false;
  if (item) {
    int32_t position = scrollY;
    position = std::max(position, item->y + margin + item->height - GetClientHeight());
    position = std::min(position, item->y - margin);
    if (position != scrollY) {
      if (item != selected && GetAutoRedraw()) {
        SetAutoRedraw(false);
        suspended = true;
      }
      SetScrollY(position);
    }
  }
  if (item == selected)
    return;
  CThumbnailItem* old = selected;
  selected = item;
  if (window && GetAutoRedraw()) {
    RedrawItem(old);
    RedrawItem(item);
  }
  if (suspended)
    SetAutoRedraw(true);
  if (selectionChangedCallback)
    selectionChangedCallback(this, item, old);
}

CThumbnailItem* CThumbnailList::ItemAt(int cx, int cy) {
  const int x = cx + scrollX;
  const int y = cy + scrollY;
  for (CWULListNode* node = items.first; node; node = node->next) {
    CThumbnailItem* item = static_cast<CThumbnailItem*>(node);
    if (x >= item->x && x < item->x + item->width && y >= item->y && y < item->y + item->height)
      return item->HitTest(x - item->x, y - item->y) ? item : nullptr;
  }
  return nullptr;
}

void CThumbnailList::PaintItemAt(HDC dc, CThumbnailItem* item) {
  if (!buffer.GetImage() || item->width <= 0 || item->height <= 0)
    return;
  item->Paint(&buffer);
  GdiFlush();
  buffer.Blit(dc, item->x - scrollX, item->y - scrollY, 0, 0, item->width, item->height);
}

void CThumbnailList::RedrawItem(CThumbnailItem* item) {
  if (!Owns(item) || !window)
    return;
  const int top = item->y - scrollY;
  if (top + item->height <= 0 || top >= GetClientHeight())
    return;
  HDC dc = GetDC(window);
  if (!dc)
    return;
  try {
    PaintItemAt(dc, item);
  } catch (...) {
    ReleaseDC(window, dc);
    throw;
  }
  ReleaseDC(window, dc);
}

void CThumbnailList::PaintItems(HDC dc, const RECT& area) {
  const CWULColor background = GetColor();
  const int clientW = GetClientWidth();
  const int clientH = GetClientHeight();
  if (!items.first) {
    FillSolid(dc, area, background);
    return;
  }
  int filled = 0;  // client y painted down to
  for (CWULListNode* node = items.first; node; node = node->next) {
    CThumbnailItem* item = static_cast<CThumbnailItem*>(node);
    const int top = item->y - scrollY;
    const int bottom = top + item->height;
    if (bottom <= 0)
      continue;
    if (top >= clientH)
      break;
    const RECT gap = {0, filled, clientW, top};
    FillSolid(dc, gap, background);
    PaintItemAt(dc, item);
    filled = bottom;
  }
  const RECT below = {0, filled, clientW, clientH};
  FillSolid(dc, below, background);
  const int itemWidth = std::max(0, clientW - 2 * margin);
  const RECT left = {0, 0, margin - scrollX, clientH};
  const RECT right = {margin + itemWidth - scrollX, 0, clientW, clientH};
  FillSolid(dc, left, background);
  FillSolid(dc, right, background);
}

LRESULT CThumbnailList::OnPaint(PAINTSTRUCT* paint) {
  PaintItems(paint->hdc, paint->rcPaint);
  return 0;
}

LRESULT CThumbnailList::OnEraseBackground(HDC) { return 1; }

int32_t CThumbnailList::HandleNotify(CWULObject* sender, int32_t code, intptr_t param) {
  if (code == CThumbnailItem::NOTIFY_REFRESH && sender && sender->classCode == CThumbnailItem::CLASS_CODE) {
    CThumbnailItem* item = static_cast<CThumbnailItem*>(sender);
    // Its height may have changed: the items after it move.
    if (Owns(item))
      LayoutItems();
    return 0;
  }
  return CWULScrollWindow::HandleNotify(sender, code, param);
}

void CThumbnailList::OnClientSizeChanged() {
  CWULScrollWindow::OnClientSizeChanged();
  LayoutItems();
}

// A click focuses the list also where Tab passes it by (no tab stop): its keys act only
// while it has the focus.
void CThumbnailList::TakeFocus() {
  if (IsEnabled() && window && IsWindowVisible(window))
    Focus(true);
}

LRESULT CThumbnailList::OnLButtonDown(int, int mx, int my) {
  if (CThumbnailItem* item = ItemAt(mx, my))
    item->Click(mx + scrollX - item->x, my + scrollY - item->y);
  TakeFocus();
  return 0;
}

LRESULT CThumbnailList::OnLButtonDblClk(int, int mx, int my) {
  if (CThumbnailItem* item = ItemAt(mx, my))
    item->DoubleClick(mx + scrollX - item->x, my + scrollY - item->y);
  return 0;
}

LRESULT CThumbnailList::OnRButtonDown(int, int mx, int my) {
  if (CThumbnailItem* item = ItemAt(mx, my))
    item->ContextClick(mx + scrollX - item->x, my + scrollY - item->y);
  TakeFocus();
  return 0;
}

LRESULT CThumbnailList::OnMouseWheel(float notches, int, int, int) {
  SetScrollY(scrollY - static_cast<int>(std::lround(lineStepY * notches)));
  return 0;
}

LRESULT CThumbnailList::OnKeyDown(int key, LPARAM lParam) {
  if (!HasFocus() || (window && GetCapture() == window))
    return CWULScrollWindow::OnKeyDown(key, lParam);
  const bool control = GetKeyState(VK_CONTROL) < 0;
  switch (key) {
    case VK_HOME:
      if (control)
        SetScrollY(0);
      else if (GetFirst())
        Select(GetFirst());
      return 0;
    case VK_END:
      if (control)
        SetScrollY(std::max(0, contentHeight - GetClientHeight()));
      else if (GetLast())
        Select(GetLast());
      return 0;
    case VK_UP:
      if (control)
        SetScrollY(scrollY - lineStepY);
      else if (!selected)
        Select(GetFirst());
      else if (Prev(selected))
        Select(Prev(selected));
      return 0;
    case VK_DOWN:
      if (control)
        SetScrollY(scrollY + lineStepY);
      else if (!selected)
        Select(GetFirst());
      else if (Next(selected))
        Select(Next(selected));
      return 0;
    case VK_LEFT:
      SetScrollX(scrollX - lineStepX);
      return 0;
    case VK_RIGHT:
      SetScrollX(scrollX + lineStepX);
      return 0;
    default:
      return CWULScrollWindow::OnKeyDown(key, lParam);
  }
}

// --- CImageListItem ---

CImageListItem::CImageListItem() : thumbnailSize(0), image(nullptr), thumbnail(nullptr) {}

CImageListItem::~CImageListItem() {
  delete thumbnail;
  thumbnail = nullptr;
}

void CImageListItem::SetThumbnailSize(int32_t n) {
  thumbnailSize = std::max(0, n);
  height = thumbnailSize + 2;
  Refresh();
}

void CImageListItem::SetImage(CImage* newImage) {
  if (newImage == image)
    return;
  image = newImage;
  object = newImage;
  Refresh();
}

void CImageListItem::Refresh() {
  text.Assign("");
  if (image && int64_t(image->GetWidth()) * image->GetHeight() > 0) {
    thumbnail = MakeThumbnail(image->GetComposite(), thumbnailSize, thumbnail);
    char depth[64] = "";
    ColorDepthName(depth, static_cast<unsigned>(image->GetTargetFormat()), sizeof depth - 1);
    char line[128];
    std::snprintf(line, sizeof line, "%dx%d %s", static_cast<int>(image->GetWidth()),
                  static_cast<int>(image->GetHeight()), depth);
    text.Assign(line);
  } else {
    delete thumbnail;
    thumbnail = nullptr;
  }
  NotifyList();
}

void CImageListItem::Layout() { height = thumbnailSize + 2; }

bool CImageListItem::HitTest(int hx, int hy) { return hx >= 1 && hy >= 1 && hx < width - 1 && hy < height - 1; }

void CImageListItem::Paint(CWULOffscreenBuffer* target) {
  CWULColor background, textColor;
  GetColors(background, textColor);
  const int32_t n = thumbnailSize;
  PaintThumbnailRow(this, target, n, thumbnail, text.text, width - (n + 4) / 8, background, textColor);
}

// --- CLayerListItem ---

CLayerListItem::CLayerListItem()
    : buttonCallback(nullptr), thumbnailSize(0), layer(nullptr), thumbnail(nullptr), buttonRect{0, 0, 0, 0} {}

CLayerListItem::~CLayerListItem() {
  delete thumbnail;
  thumbnail = nullptr;
}

void CLayerListItem::SetThumbnailSize(int32_t n) {
  thumbnailSize = std::max(0, n);
  height = thumbnailSize + 2;
  Refresh();
}

void CLayerListItem::SetLayer(CLayer* newLayer) {
  if (newLayer == layer)
    return;
  layer = newLayer;
  object = newLayer;
  Refresh();
}

void CLayerListItem::Refresh() {
  text.Assign("");
  if (layer && int64_t(layer->GetWidth()) * layer->GetHeight() > 0) {
    thumbnail = MakeThumbnail(layer->GetPixels(), thumbnailSize, thumbnail);
  } else {
    delete thumbnail;
    thumbnail = nullptr;
  }
  if (layer) {
    char name[256];
    layer->GetDisplayName(name, sizeof name);
    text.Assign(name);
  }
  NotifyList();
}

void CLayerListItem::Layout() {
  height = thumbnailSize + 2;
  const int m = (height - BUTTON_SIZE) / 2;
  buttonRect.right = width - m;
  buttonRect.left = buttonRect.right - BUTTON_SIZE;
  buttonRect.top = m;
  buttonRect.bottom = m + BUTTON_SIZE;
}

bool CLayerListItem::HitTest(int hx, int hy) { return hx >= 1 && hy >= 1 && hx < width - 1 && hy < height - 1; }

void CLayerListItem::Click(int cx, int cy) {
  if (wulPtInRect(cx, cy, &buttonRect)) {
    if (buttonCallback)
      buttonCallback(this);
    return;
  }
  CThumbnailItem::Click(cx, cy);
}

void CLayerListItem::DoubleClick(int cx, int cy) {
  if (wulPtInRect(cx, cy, &buttonRect)) {
    if (buttonCallback)
      buttonCallback(this);
    return;
  }
  CThumbnailItem::DoubleClick(cx, cy);
}

void CLayerListItem::Paint(CWULOffscreenBuffer* target) {
  CWULColor background, textColor;
  GetColors(background, textColor);
  const int32_t n = thumbnailSize;
  const int m = (height - BUTTON_SIZE) / 2;
  const int textRight = buttonRect.left - std::max(m, static_cast<int>((n + 4) / 8));
  PaintThumbnailRow(this, target, n, thumbnail, text.text, textRight, background, textColor);
  HDC dc = target->GetDC();
  const bool selectedItem = IsSelected();
  if (selectedItem) {
    Outline(dc, buttonRect, textColor.Blend(background, 0.25f));
  } else {
    CWULPenBrush pens;
    if (pens.Create(background))
      wulDrawFrame(dc, &buttonRect, pens.lightPen, pens.darkPen, background);
  }
  if (layer && layer->IsVisible()) {
    CWULImage* picture = GetAppImage(selectedItem ? APP_IMAGE_VISIBLE : APP_IMAGE_VISIBLE_GREY);
    if (picture && target->GetImage()) {
      GdiFlush();
      target->GetImage()->Draw(buttonRect.left + 1, buttonRect.top + 1, picture);
    }
  }
}

// --- CSizeListItem ---

CSizeListItem::CSizeListItem()
    : picture(nullptr), padding(4), textInset(1), pictureRect{0, 0, 0, 0}, textRect{0, 0, 0, 0} {}

CSizeListItem::~CSizeListItem() {
  delete picture;
  picture = nullptr;
}

void CSizeListItem::SetPicture(CWULImage* newPicture) {
  if (newPicture == picture)
    return;
  delete picture;
  picture = newPicture;
  NotifyList();
}

void CSizeListItem::SetText(const char* newText) {
  text.Assign(newText ? newText : "");
  NotifyList();
}

void CSizeListItem::Layout() {
  int bottom;
  if (picture && picture->width > 0 && picture->height > 0) {
    const int w = picture->width + 2;
    const int h = picture->height + 2;
    pictureRect.left = (width - w) / 2;
    pictureRect.right = pictureRect.left + w;
    pictureRect.top = padding + 1;
    pictureRect.bottom = pictureRect.top + h;
    bottom = pictureRect.bottom + padding;
  } else {
    pictureRect = RECT{0, 0, 0, 0};
    bottom = 3;
  }
  height = bottom;
  textRect = RECT{textInset + 1, bottom, width - textInset - 1, bottom};
  if (text.text && text.text[0] && owner && textRect.right > textRect.left) {
    HDC dc = owner->GetBuffer().GetDC();
    CWULTextFont font(&owner->GetFont());
    if (dc && font.Select(dc)) {
      RECT measured = {0, 0, textRect.right - textRect.left, 0};
      DrawTextA(dc, text.text, -1, &measured, DT_CALCRECT | DT_WORDBREAK | DT_CENTER | DT_NOPREFIX);
      font.Restore();
      textRect.bottom = textRect.top + (measured.bottom - measured.top);
    }
    height = textInset + textRect.bottom + 1;
  }
}

void CSizeListItem::Paint(CWULOffscreenBuffer* target) {
  CWULColor background, textColor;
  GetColors(background, textColor);
  HDC dc = target->GetDC();
  const RECT whole = {0, 0, width, height};
  GdiFlush();
  FillSolid(dc, whole, background);
  CThumbnailList* list = GetList();
  const bool focusMark =
      list && list->HasFocus() && (IsSelected() || (!list->GetSelected() && list->GetFirst() == this));
  if (focusMark)
    wulDrawDottedFrame(dc, &whole, background.Blend(textColor, 0.25f), textColor.Blend(background, 0.25f));
  else
    Outline(dc, whole, background.Scale(0.75f));
  if (pictureRect.right > pictureRect.left) {
    Outline(dc, pictureRect, textColor.Blend(background, 0.5f));
    RECT inner = pictureRect;
    wulDeflateRect(&inner, 1);
    PaintPictureBox(target, inner, picture);
  }
  DrawItemText(dc, list, text.text, textRect, textColor, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
  if (list && !list->IsEnabled() && target->GetImage()) {
    GdiFlush();
    target->GetImage()->FillRectBlended(&whole, color, 0.5f);
  }
}
