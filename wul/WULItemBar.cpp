#include "wul/WULItemBar.h"
#include <initializer_list>
#include <memory>
#include "wul/WULError.h"
#include "wul/WULImage.h"
#include "wul/WULPaintKit.h"
#include "wul/WULShared.h"
#include "wul/WULShortcut.h"
#include "wul/WULSystem.h"
#include "wul/WULTooltip.h"

// --- CWULBarItem ---

CWULBarItem::CWULBarItem()
    : value(0), kind(WUL_BAR_ITEM_PLAIN), width(1), height(1), x(0), y(0), visible(1), enabled(1) {
  classCode = WUL_CLASS_BAR_ITEM;
  text.listener = this;
}

CWULBarItem::~CWULBarItem() {
  if (CWULItemBar* bar = GetBar())
    bar->RemoveItem(this);
}

CWULItemBar* CWULBarItem::GetBar() const { return dynamic_cast<CWULItemBar*>(listener); }

void CWULBarItem::SetBounds(int newX, int newY, int newWidth, int newHeight) {
  Notify(WUL_BAR_NOTIFY_ERASE);
  x = newX;
  y = newY;
  width = newWidth;
  height = newHeight;
  Notify(WUL_BAR_NOTIFY_REPAINT);
}

void CWULBarItem::SetPosition(int newX, int newY) { SetBounds(newX, newY, width, height); }
void CWULBarItem::SetSize(int newWidth, int newHeight) { SetBounds(x, y, newWidth, newHeight); }

void CWULBarItem::SetSizePosition(int newWidth, int newHeight, int newX, int newY) {
  SetBounds(newX, newY, newWidth, newHeight);
}

void CWULBarItem::SetRect(const RECT* rect) {
  if (rect)
    SetBounds(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
}

void CWULBarItem::SetRect(int left, int top, int right, int bottom) { SetBounds(left, top, right - left, bottom - top); }

void CWULBarItem::GetRect(RECT* rect) { *rect = {x, y, x + width, y + height}; }

void CWULBarItem::Show() { SetVisible(true); }
void CWULBarItem::Hide() { SetVisible(false); }
void CWULBarItem::Enable() { SetEnabled(true); }
void CWULBarItem::Disable() { SetEnabled(false); }
int CWULBarItem::GetKind() { return kind; }
const char* CWULBarItem::GetText() { return text.text; }
void CWULBarItem::SetText(const char* newText) { text.Assign(newText); }
int CWULBarItem::GetWidth() { return width; }
void CWULBarItem::SetWidth(int value) { SetSize(value, height); }
int CWULBarItem::GetHeight() { return height; }
void CWULBarItem::SetHeight(int value) { SetSize(width, value); }
int CWULBarItem::GetX() { return x; }
void CWULBarItem::SetX(int value) { SetPosition(value, y); }
int CWULBarItem::GetY() { return y; }
void CWULBarItem::SetY(int value) { SetPosition(x, value); }
int CWULBarItem::GetRight() { return GetX() + GetWidth(); }
void CWULBarItem::SetRight(int value) { SetX(value - GetWidth()); }
int CWULBarItem::GetBottom() { return GetY() + GetHeight(); }
void CWULBarItem::SetBottom(int value) { SetY(value - GetHeight()); }
bool CWULBarItem::IsVisible() { return visible != 0; }

void CWULBarItem::SetVisible(bool on) {
  if (on == IsVisible())
    return;
  visible = on ? 1 : 0;
  Notify(WUL_BAR_NOTIFY_REPAINT);
}

bool CWULBarItem::IsEnabled() { return enabled != 0; }

void CWULBarItem::SetEnabled(bool on) {
  if (on == IsEnabled())
    return;
  enabled = on ? 1 : 0;
  Notify(WUL_BAR_NOTIFY_REPAINT);
}

void CWULBarItem::MouseDown(int, int) {}
void CWULBarItem::MouseMove(int, int) {}
void CWULBarItem::MouseUp(int, int) {}

// --- CWULStandardBarItem ---

CWULStandardBarItem::CWULStandardBarItem()
    : clickCallback(nullptr),
      checkChangedCallback(nullptr),
      groupPrev(nullptr),
      groupNext(nullptr),
      behaviour(WUL_BEHAVIOUR_PUSH),
      pressed(0),
      checked(0),
      shortcut(nullptr) {
  kind = WUL_BAR_ITEM_STANDARD;
  for (CWULImage*& image : images)
    image = nullptr;
}

CWULStandardBarItem::~CWULStandardBarItem() {
  // Out of the bar before the images go, so that nothing paints it half taken apart.
  if (CWULItemBar* bar = GetBar())
    bar->RemoveItem(this);
  LeaveGroup();
  for (CWULImage*& image : images) {
    CWULImage::Release(image);
    image = nullptr;
  }
  CWULShortcut::Release(shortcut);
  shortcut = nullptr;
}

bool CWULStandardBarItem::IsHot() const {
  CWULItemBar* bar = GetBar();
  return bar && bar->GetHot() == this;
}

CWULStandardBarItem* CWULStandardBarItem::JoinGroup(CWULStandardBarItem* other) {
  return wulJoinGroup(this, other, &CWULStandardBarItem::groupPrev, &CWULStandardBarItem::groupNext);
}

void CWULStandardBarItem::LeaveGroup() {
  wulLeaveGroup(this, &CWULStandardBarItem::groupPrev, &CWULStandardBarItem::groupNext);
}

void CWULStandardBarItem::PerformClick() {
  Click();
  Notify(WUL_BAR_NOTIFY_REPAINT);
}

int CWULStandardBarItem::GetBehaviour() { return behaviour; }

void CWULStandardBarItem::SetBehaviour(int value) {
  behaviour = value;
  Notify(WUL_BAR_NOTIFY_REPAINT);
}

CWULImage* CWULStandardBarItem::GetImage(int which) {
  return which >= 0 && which < WUL_BAR_IMAGE_COUNT ? images[which] : nullptr;
}

void CWULStandardBarItem::SetImage(int which, CWULImage* image) {
  if (which < 0 || which >= WUL_BAR_IMAGE_COUNT || images[which] == image)
    return;
  CWULImage::AddRef(image);
  CWULImage* old = images[which];
  images[which] = image;
  CWULImage::Release(old);
  Notify(WUL_BAR_NOTIFY_REPAINT);
}

bool CWULStandardBarItem::IsChecked() { return checked != 0; }

void CWULStandardBarItem::SetChecked(bool on) {
  if (on == IsChecked())
    return;
  checked = on ? 1 : 0;
  if (checkChangedCallback)
    checkChangedCallback(this, this);
  Notify(WUL_BAR_NOTIFY_REPAINT);
}

CWULShortcut* CWULStandardBarItem::GetShortcut() { return shortcut; }

void CWULStandardBarItem::SetShortcut(CWULShortcut* newShortcut) {
  if (newShortcut == shortcut)
    return;
  CWULShortcut::AddRef(newShortcut);
  CWULShortcut* old = shortcut;
  shortcut = newShortcut;
  CWULShortcut::Release(old);
}

void CWULStandardBarItem::Click() {
  if (clickCallback)
    clickCallback(this, this);
  if (behaviour == WUL_BEHAVIOUR_EXCLUSIVE) {
    if (checked)
      return;
    for (CWULStandardBarItem* member = groupPrev; member; member = member->groupPrev)
      member->SetChecked(false);
    for (CWULStandardBarItem* member = groupNext; member; member = member->groupNext)
      member->SetChecked(false);
    SetChecked(true);
  } else if (behaviour == WUL_BEHAVIOUR_TOGGLE) {
    SetChecked(!checked);
  }
}

void CWULStandardBarItem::MouseDown(int, int) {
  pressed = 1;
  Notify(WUL_BAR_NOTIFY_REPAINT);
}

void CWULStandardBarItem::MouseMove(int mx, int my) {
  const uint8_t inside = mx >= 0 && my >= 0 && mx < width && my < height ? 1 : 0;
  if (inside == pressed)
    return;
  pressed = inside;
  Notify(WUL_BAR_NOTIFY_REPAINT);
}

void CWULStandardBarItem::MouseUp(int, int) {
  if (!pressed)
    return;
  try {
    Click();
  } catch (...) {
    pressed = 0;
    Notify(WUL_BAR_NOTIFY_REPAINT);
    throw;
  }
  pressed = 0;
  Notify(WUL_BAR_NOTIFY_REPAINT);
}

CWULImage* CWULStandardBarItem::ChooseImage() {
  const bool hot = IsHot();
  CWULImage* chosen = images[WUL_BAR_IMAGE_NORMAL];
  if (checked) {
    for (int which : {WUL_BAR_IMAGE_CHECKED, WUL_BAR_IMAGE_PRESSED, WUL_BAR_IMAGE_HOT}) {
      if (images[which]) {
        chosen = images[which];
        break;
      }
    }
    if (enabled && hot && images[WUL_BAR_IMAGE_CHECKED_HOT])
      chosen = images[WUL_BAR_IMAGE_CHECKED_HOT];
  } else if (pressed) {
    if (images[WUL_BAR_IMAGE_PRESSED])
      chosen = images[WUL_BAR_IMAGE_PRESSED];
    else if (images[WUL_BAR_IMAGE_HOT])
      chosen = images[WUL_BAR_IMAGE_HOT];
  } else if (enabled && hot && images[WUL_BAR_IMAGE_HOT]) {
    chosen = images[WUL_BAR_IMAGE_HOT];
  }
  if (!enabled) {
    if (images[WUL_BAR_IMAGE_DISABLED])
      chosen = images[WUL_BAR_IMAGE_DISABLED];
    if (checked && images[WUL_BAR_IMAGE_DISABLED_CHECKED])
      chosen = images[WUL_BAR_IMAGE_DISABLED_CHECKED];
  }
  return chosen;
}

void CWULStandardBarItem::Paint(CWULOffscreenBuffer* buffer) {
  CWULItemBar* bar = GetBar();
  if (!bar || !buffer || !buffer->GetImage())
    return;
  HDC dc = buffer->GetDC();
  const RECT rect = {x, y, x + width, y + height};
  const int style = bar->itemStyle;
  const bool hot = IsHot();
  const bool down = pressed || checked;
  CWULColor face(style == WUL_ITEM_STYLE_BUTTONS ? bar->buttonColor : bar->GetColor());
  if ((style == WUL_ITEM_STYLE_RAISED && enabled && hot && !down) ||
      (style == WUL_ITEM_STYLE_BUTTONS && enabled && (hot || checked)))
    face = face.Scale(1.125f);
  CWULPenBrush pens;
  if (!pens.Create(face))
    return;
  if (style == WUL_ITEM_STYLE_BUTTONS) {
    RECT outline = rect;
    wulDeflateRect(&outline, -1);
    wulDrawRectOutline(dc, &outline, pens.shadePen);
  }
  bool framed = false;
  if (down && style >= WUL_ITEM_STYLE_HOVER && style <= WUL_ITEM_STYLE_BUTTONS) {
    if (style == WUL_ITEM_STYLE_BUTTONS)
      wulDrawFrame(dc, &rect, pens.darkPen, pens.basePen, pens.dark);
    else
      wulDrawFrame(dc, &rect, pens.darkPen, pens.lightPen, pens.base);
    framed = true;
  } else if (!down && (style == WUL_ITEM_STYLE_RAISED || style == WUL_ITEM_STYLE_BUTTONS ||
                       (style == WUL_ITEM_STYLE_HOVER && hot && enabled))) {
    wulDrawFrame(dc, &rect, pens.lightPen, pens.darkPen, pens.base);
    framed = true;
  }
  RECT inner = rect;
  if (framed)
    wulDeflateRect(&inner, 1);
  CWULColor fill(face);
  if ((style == WUL_ITEM_STYLE_HOVER || style == WUL_ITEM_STYLE_RAISED) && enabled && checked && !hot)
    fill = bar->GetColor().Scale(1.125f);
  wulFillColor(dc, &inner, fill);

  CWULImage* image = ChooseImage();
  if (!image || !image->pixels)
    return;
  GdiFlush();
  int ix = x + (width - image->width) / 2;
  int iy = y + (height - image->height) / 2;
  if (style != WUL_ITEM_STYLE_FLAT && down) {
    ix++;
    iy++;
  }
  const bool faded =
      !enabled && image != images[WUL_BAR_IMAGE_DISABLED] && image != images[WUL_BAR_IMAGE_DISABLED_CHECKED];
  // Only the part inside the item's rectangle is drawn.
  RECT placed = {ix, iy, ix + image->width, iy + image->height};
  RECT shown;
  if (!IntersectRect(&shown, &placed, &rect))
    return;
  CWULImage* source = image;
  std::unique_ptr<CWULImage> part;
  if (!EqualRect(&shown, &placed)) {
    part.reset(new CWULImage(shown.right - shown.left, shown.bottom - shown.top));
    RECT from = {shown.left - ix, shown.top - iy, shown.right - ix, shown.bottom - iy};
    part->DrawPart(0, 0, image, &from);
    source = part.get();
  }
  if (faded)
    buffer->GetImage()->Draw(shown.left, shown.top, source, 0.5f);
  else
    buffer->GetImage()->Draw(shown.left, shown.top, source);
}

// --- CWULItemBar ---

CWULItemBar::CWULItemBar()
    : buttonColor(wulColors[14]),
      hoverCallback(nullptr),
      itemStyle(WUL_ITEM_STYLE_HOVER),
      frameStyle(WUL_BAR_FRAME_NONE),
      hotItem(nullptr),
      hintStart(GetTickCount() - static_cast<DWORD>(wulHintDuration)),
      holding(0) {
  buttonColor.listener = this;
  flagsB |= WUL_IF_HOVER_WANTED;
  try {
    wulFitBuffer(buffer, width, height);
  } catch (const CWULError&) {
    // Without a bitmap nothing is painted.
  }
  RepaintAll();
}

CWULItemBar::~CWULItemBar() {
  HideHint();
  for (CWULListNode* node = items.first; node; node = node->next)
    ItemOf(node)->listener = nullptr;
  hotItem = nullptr;
  items.DeleteAll();
}

// --- items ---

void CWULItemBar::AddItem(CWULBarItem* item) {
  if (!item)
    return;
  if (CWULItemBar* old = item->GetBar())
    old->RemoveItem(item);
  items.Append(item);
  item->listener = this;
  LayoutChildren();
  RepaintItem(item);
}

void CWULItemBar::RemoveItem(CWULBarItem* item) {
  if (!Owns(item))
    return;
  if (item == hotItem) {
    HideHint();
    hotItem = nullptr;
    if (holding) {
      holding = 0;
      if (window && GetCapture() == window)
        ReleaseCapture();
    }
  }
  EraseItem(item);
  items.Remove(item);
  item->listener = nullptr;
  LayoutChildren();
}

void CWULItemBar::DeleteItem(CWULBarItem* item) {
  if (!Owns(item))
    return;
  RemoveItem(item);
  delete item;
}

void CWULItemBar::DeleteAllItems() {
  HideHint();
  if (holding) {
    holding = 0;
    if (window && GetCapture() == window)
      ReleaseCapture();
  }
  for (CWULListNode* node = items.first; node; node = node->next)
    ItemOf(node)->listener = nullptr;
  items.DeleteAll();
  hotItem = nullptr;
  LayoutChildren();
  RepaintAll();
  if (window && GetAutoRedraw())
    Redraw();
}

int CWULItemBar::GetItemStyle() { return itemStyle; }

void CWULItemBar::SetItemStyle(int value) {
  if (value == itemStyle)
    return;
  itemStyle = value;
  RepaintAll();
  if (window && GetAutoRedraw())
    Redraw();
}

int CWULItemBar::GetFrameStyle() { return frameStyle; }

void CWULItemBar::SetFrameStyle(int value) {
  if (value == frameStyle)
    return;
  frameStyle = value;
  OnFontChanged();
}

// --- painting ---

void CWULItemBar::GetItemArea(CWULBarItem* item, RECT* rect) {
  item->GetRect(rect);
  if (itemStyle == WUL_ITEM_STYLE_BUTTONS)
    wulDeflateRect(rect, -1);
}

void CWULItemBar::PaintItemInto(CWULBarItem* item) {
  if (buffer.GetImage())
    item->Paint(&buffer);
}

void CWULItemBar::EraseArea(const RECT* area, CWULBarItem* except) {
  if (!buffer.GetImage())
    return;
  wulFillColor(buffer.GetDC(), area, GetColor());
  if (itemStyle == WUL_ITEM_STYLE_BUTTONS) {
    // Outlines reach into the neighbours' areas.
    for (CWULListNode* node = items.first; node; node = node->next) {
      CWULBarItem* other = ItemOf(node);
      if (other == except || !other->visible)
        continue;
      RECT otherArea;
      GetItemArea(other, &otherArea);
      if (wulRectsOverlap(&otherArea, area))
        PaintItemInto(other);
    }
  }
  if (window && GetAutoRedraw())
    Redraw(area);
}

void CWULItemBar::EraseItem(CWULBarItem* item) {
  if (!Owns(item))
    return;
  RECT area;
  GetItemArea(item, &area);
  // The item itself is not painted back at the place it leaves.
  EraseArea(&area, item);
}

void CWULItemBar::RepaintItem(CWULBarItem* item) {
  if (!Owns(item))
    return;
  if (!item->visible) {
    EraseItem(item);
    return;
  }
  PaintItemInto(item);
  RECT area;
  GetItemArea(item, &area);
  if (window && GetAutoRedraw())
    Redraw(&area);
}

void CWULItemBar::RepaintAll() {
  CWULImage* image = buffer.GetImage();
  if (!image)
    return;
  RECT all = {0, 0, buffer.GetWidth(), buffer.GetHeight()};
  wulFillColor(buffer.GetDC(), &all, GetColor());
  for (CWULListNode* node = items.first; node; node = node->next) {
    if (ItemOf(node)->visible)
      PaintItemInto(ItemOf(node));
  }
}

CWULBarItem* CWULItemBar::ItemAtPoint(int cx, int cy) {
  for (CWULListNode* node = items.first; node; node = node->next) {
    CWULBarItem* item = ItemOf(node);
    RECT rect;
    item->GetRect(&rect);
    if (item->visible && wulPtInRect(cx, cy, &rect))
      return item;
  }
  return nullptr;
}

int32_t CWULItemBar::HandleNotify(CWULObject* sender, int32_t code, intptr_t param) {
  if (!sender)
    return 0;
  if (sender == &buttonColor) {
    OnColorChanged();
    return 0;
  }
  if (sender->classCode == WUL_CLASS_BAR_ITEM) {
    CWULBarItem* item = static_cast<CWULBarItem*>(sender);
    if (code == WUL_BAR_NOTIFY_ERASE)
      EraseItem(item);
    else if (code == WUL_BAR_NOTIFY_REPAINT)
      RepaintItem(item);
    return 0;
  }
  return CWULContainer::HandleNotify(sender, code, param);
}

void CWULItemBar::OnColorChanged() {
  RepaintAll();
  CWULContainer::OnColorChanged();
}

void CWULItemBar::OnSizeChanged() {
  try {
    wulFitBuffer(buffer, width, height);
  } catch (const CWULError&) {
    // Without a bitmap nothing is painted.
  }
  RepaintAll();
}

void CWULItemBar::ComputeInsets() {
  const int inset = frameStyle == WUL_BAR_FRAME_RAISED || frameStyle == WUL_BAR_FRAME_SUNKEN ? 1 : 0;
  leftInset = topInset = rightInset = bottomInset = inset;
}

LRESULT CWULItemBar::PaintNonClient(HDC dc) {
  if (frameStyle != WUL_BAR_FRAME_RAISED && frameStyle != WUL_BAR_FRAME_SUNKEN)
    return 0;
  CWULPenBrush pens;
  if (!pens.Create(GetColor()))
    return 0;
  RECT rect = {0, 0, width, height};
  if (frameStyle == WUL_BAR_FRAME_RAISED)
    wulDrawFrame(dc, &rect, pens.lightPen, pens.darkPen, pens.base);
  else
    wulDrawFrame(dc, &rect, pens.darkPen, pens.lightPen, pens.base);
  return 0;
}

LRESULT CWULItemBar::OnEraseBackground(HDC) { return 1; }

LRESULT CWULItemBar::OnPaint(PAINTSTRUCT* paint) {
  GdiFlush();
  const RECT& area = paint->rcPaint;
  buffer.Blit(paint->hdc, area.left, area.top, area.left, area.top, area.right - area.left, area.bottom - area.top);
  return 0;
}

// --- pointer and hint ---

void CWULItemBar::SetHot(CWULBarItem* item) {
  if (item == hotItem)
    return;
  HideHint();
  hintStart = GetTickCount() + static_cast<DWORD>(wulHintDelay);
  CWULBarItem* old = hotItem;
  hotItem = item;
  RepaintItem(old);
  RepaintItem(item);
  if (hoverCallback) {
    CWULCallbackBracket bracket(this);
    hoverCallback(this, item, old);
  }
}

void CWULItemBar::ShowHint(CWULBarItem* item) {
  if (!item)
    return;
  CWULString hint(item->text.text);
  if (item->GetKind() == WUL_BAR_ITEM_STANDARD) {
    auto* standard = dynamic_cast<CWULStandardBarItem*>(item);
    if (standard && standard->shortcut) {
      char keys[65];
      standard->shortcut->GetText(keys, sizeof keys);
      if (hint.GetLength() > 0)
        hint.Append(" ");
      hint.Append("(");
      hint.Append(keys);
      hint.Append(")");
    }
  }
  if (hint.GetLength() == 0)
    return;
  hintSlot.Show(hint.text);
}

CWULTooltip* CWULItemBar::GetHintWindow() { return hintSlot.Get(); }

void CWULItemBar::HideHint() {
  hintSlot.Hide();
  hintStart = GetTickCount() - static_cast<DWORD>(wulHintDuration);
}

void CWULItemBar::MouseHover(int mx, int my) {
  const int cx = mx - leftInset;
  const int cy = my - topInset;
  if (window && GetCapture() == window) {
    if (holding && hotItem) {
      CWULCallbackBracket bracket(this);
      hotItem->MouseMove(cx - hotItem->x, cy - hotItem->y);
    }
    return;
  }
  CWULBarItem* under = nullptr;
  RECT rect;
  if (hotItem) {
    hotItem->GetRect(&rect);
    if (hotItem->visible && wulPtInRect(cx, cy, &rect))
      under = hotItem;
  }
  if (!under)
    under = ItemAtPoint(cx, cy);
  SetHot(under);
  if (!hotItem)
    return;
  const int32_t elapsed = static_cast<int32_t>(GetTickCount() - hintStart);
  if (GetHintWindow()) {
    if (elapsed >= wulHintDuration)
      HideHint();
  } else if (elapsed >= 0 && elapsed < wulHintDuration) {
    ShowHint(hotItem);
  }
}

void CWULItemBar::MouseLeave() { SetHot(nullptr); }

LRESULT CWULItemBar::OnLButtonDown(int, int mx, int my) {
  if (GetHintWindow())
    HideHint();
  else
    hintStart = GetTickCount() - static_cast<DWORD>(wulHintDuration);
  if (hotItem && hotItem->enabled && window) {
    SetCapture(window);
    holding = 1;
    CWULCallbackBracket bracket(this);
    hotItem->MouseDown(mx - hotItem->x, my - hotItem->y);
  }
  return 0;
}

LRESULT CWULItemBar::OnLButtonUp(int, int mx, int my) {
  if (!window || GetCapture() != window)
    return 0;
  CWULBarItem* item = holding ? hotItem : nullptr;
  holding = 0;
  ReleaseCapture();
  if (Owns(item)) {
    CWULCallbackBracket bracket(this);
    item->MouseUp(mx - item->x, my - item->y);
  }
  return 0;
}

LRESULT CWULItemBar::OnLButtonDblClk(int keys, int mx, int my) { return OnLButtonDown(keys, mx, my); }

LRESULT CWULItemBar::OnCaptureChanged(HWND newCapture) {
  // The mouse taken away in the middle of a press: the item is released without a click.
  if (holding) {
    holding = 0;
    if (hotItem) {
      CWULCallbackBracket bracket(this);
      hotItem->MouseMove(-1, -1);
    }
  }
  return CWULContainer::OnCaptureChanged(newCapture);
}
