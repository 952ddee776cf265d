#include "wul/WULMenuShell.h"
#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include "wul/WULDraw.h"
#include "wul/WULError.h"
#include "wul/WULImage.h"
#include "wul/WULShared.h"
#include "wul/WULShortcut.h"
#include "wul/WULSystem.h"
#include "wul/WULTooltip.h"

namespace {

inline CWULMenuItem* ItemOf(CWULListNode* node) { return static_cast<CWULMenuItem*>(node); }

// Text width in the font, bold on request.
int MeasureText(HDC dc, CWULFont& font, bool bold, const char* text) {
  CWULTextFont textFont(&font);
  if (bold)
    textFont.SetBold(true);
  textFont.Select(dc);
  RECT area = {0, 0, 0, 0};
  DrawTextA(dc, text ? text : "", -1, &area, DT_CALCRECT | DT_SINGLELINE | DT_VCENTER);
  textFont.Restore();
  return area.right - area.left;
}

// Draws the middle of image, at most boxW x boxH of it, centred in the box.
void DrawCentred(CWULImage* canvas, const CWULImage* image, int boxX, int boxY, int boxW, int boxH, float opacity) {
  if (!canvas || !image || !image->pixels || image->width <= 0 || image->height <= 0)
    return;
  const int cw = std::min(image->width, boxW);
  const int ch = std::min(image->height, boxH);
  if (cw <= 0 || ch <= 0)
    return;
  const int dx = boxX + (boxW - cw) / 2;
  const int dy = boxY + (boxH - ch) / 2;
  const CWULImage* source = image;
  std::unique_ptr<CWULImage> part;
  if (cw != image->width || ch != image->height) {
    part.reset(new CWULImage(cw, ch));
    const int sx = (image->width - cw) / 2;
    const int sy = (image->height - ch) / 2;
    RECT from = {sx, sy, sx + cw, sy + ch};
    part->DrawPart(0, 0, image, &from);
    source = part.get();
  }
  if (opacity >= 1.0f)
    canvas->Draw(dx, dy, source);
  else
    canvas->Draw(dx, dy, source, opacity);
}

// A disc filling the square, its edge blended over about one pixel.
void DrawDisc(CWULImage* canvas, const RECT& box, const CWULColor& background, const CWULColor& foreground) {
  const float cx = (box.left + box.right) * 0.5f;
  const float cy = (box.top + box.bottom) * 0.5f;
  const float radius = (box.right - box.left) * 0.5f;
  for (int py = box.top; py < box.bottom; py++) {
    for (int px = box.left; px < box.right; px++) {
      const float ddx = px + 0.5f - cx;
      const float ddy = py + 0.5f - cy;
      float coverage = radius - std::sqrt(ddx * ddx + ddy * ddy) + 0.5f;
      coverage = std::min(1.0f, std::max(0.0f, coverage));
      if (coverage > 0.0f)
        canvas->SetPixel(px, py, background.Blend(foreground, coverage).value);
    }
  }
}

}  // namespace

CWULPopupMenuShell::CWULPopupMenuShell()
    : menu(nullptr),
      flags(0),
      running(0),
      result(nullptr),
      resultValue(0),
      shortcutWidth(0),
      lastX(-1),
      lastY(-1),
      highlightTime(0),
      hintAllowed(0),
      moved(0),
      placement(0),
      pendingItem(nullptr),
      submenuShell(nullptr),
      itemBuffer(nullptr) {
  flagsB |= WUL_IF_CONSTRUCTING | WUL_IF_HOVER_WANTED;
  excludeRect = {0, 0, 0, 0};
  itemBuffer = new CWULOffscreenBuffer();
  width = wulMenuItemHeight + 2;
  height = wulMenuItemHeight + 2;
  color.Assign(wulColors[8]);
  font.Assign(wulFonts[7]);
  flagsB &= ~WUL_IF_CONSTRUCTING;
  Layout();
}

CWULPopupMenuShell* CWULPopupMenuShell::Create(const char* where, const char* what) {
  CWULPopupMenuShell* shell = nullptr;
  try {
    shell = new CWULPopupMenuShell();
  } catch (...) {
    shell = nullptr;
  }
  if (!shell)
    wulThrowError(5, where, what);
  return shell;
}

void CWULPopupMenuShell::Discard(CWULPopupMenuShell* shell) {
  if (shell->window)
    shell->Close();
  else
    delete shell;
}

CWULPopupMenuShell::~CWULPopupMenuShell() {
  flagsC |= WUL_IF_IN_DESTRUCTOR;
  HideHint();
  if (menu && menu->listener == this) {
    try {
      OnClose();
    } catch (...) {
      wulKeepPendingException();
    }
    menu->highlighted = nullptr;
    menu->listener = nullptr;
  }
  menu = nullptr;
  // Nothing paints once the destructor runs.
  delete itemBuffer;
  itemBuffer = nullptr;
}

void CWULPopupMenuShell::TakeMenuLook() {
  if (!menu)
    return;
  // Taken quietly: the caller lays out and redraws once.
  CWULObject* colorListener = color.listener;
  CWULObject* fontListener = font.listener;
  color.listener = nullptr;
  font.listener = nullptr;
  color.Assign(menu->GetEffectiveColor1());
  font.Assign(menu->GetEffectiveFont());
  color.listener = colorListener;
  font.listener = fontListener;
}

// --- running ---

CWULMenuItem* CWULPopupMenuShell::Run() {
  if (!window || running || !menu)
    return nullptr;
  BeginCallback();
  running = 1;
  try {
    OnOpen();
    if (flags & WUL_SHELL_KEYBOARD)
      HighlightFirst();
    Show();
    MenuLoop();
  } catch (...) {
    try {
      EndLoop();
    } catch (...) {
    }
    running = 0;
    Hide();
    Close();
    EndCallback();
    throw;
  }
  // A loop left for WM_QUIT still holds the menu.
  try {
    EndLoop();
  } catch (const CWULError& error) {
    wulShowError(error);
  }
  running = 0;
  Hide();
  Close();
  EndCallback();
  return result;
}

void CWULPopupMenuShell::EndLoop() {
  if (!running)
    return;
  CloseSubmenu();
  OnClose();
  Hide();
  SetMenu(nullptr);
  running = 0;
  WakeLoop();
}

void CWULPopupMenuShell::WakeLoop() {
  if (window)
    PostMessageA(window, WM_NULL, 0, 0);
}

void CWULPopupMenuShell::MenuLoop() {
  while (running) {
    WULPopupLoopStep step = wulPopupLoopStep(window, running, [this] { EndLoop(); });
    if (step == WULPopupLoopStep::Stop)
      break;
    if (step == WULPopupLoopStep::Idle)
      continue;
    if (step == WULPopupLoopStep::Dispatched) {
      if (pendingItem) {
        CWULMenuItem* item = pendingItem;
        pendingItem = nullptr;
        if (item->submenu && running) {
          try {
            CWULPopupMenuShell* child = Create("CWULPopupMenuShell::MenuLoop", "Submenu shell creation failed");
            child->SetParent(this);
            submenuShell = child;
            try {
              child->SetMenu(item->submenu);
              RECT row = {x + item->x + 2, y + item->y - 1, x + item->x + item->width - 2,
                          y + item->y + item->height + 1};
              child->SetExcludeRect(&row);
              child->SetFlags((placement & (WUL_PLACED_LEFT | WUL_PLACED_RIGHT | WUL_SHELL_KEYBOARD)) +
                              WUL_SHELL_ALIGN_Y);
              child->Incarnate(nullptr);
              if (CWULMenuItem* chosen = child->Run()) {
                result = chosen;
                resultValue = child->resultValue;
              }
            } catch (...) {
              submenuShell = nullptr;
              Discard(child);
              throw;
            }
            // The child deletes itself when its window is destroyed.
            submenuShell = nullptr;
          } catch (const CWULError& error) {
            wulShowError(error);
          }
        }
      }
    }
    if (result)
      EndLoop();
  }
}

void CWULPopupMenuShell::OnOpen() {
  if (menu)
    menu->RunOpen(this);
}

void CWULPopupMenuShell::OnClose() {
  if (menu)
    menu->RunClose(this);
}

// --- configuration ---

CWULMenu* CWULPopupMenuShell::GetMenu() { return menu; }

void CWULPopupMenuShell::SetMenu(CWULMenu* newMenu) {
  if (newMenu == menu)
    return;
  if (newMenu && newMenu->listener)
    wulThrowError(1, "CWULPopupMenuShell::SetMenu", "Cannot assign a menu already being used");
  if (CWULMenu* old = menu) {
    if (running)
      OnClose();
    HideHint();
    old->highlighted = nullptr;
    old->listener = nullptr;
    menu = nullptr;
  }
  menu = newMenu;
  if (menu) {
    menu->listener = this;
    menu->highlighted = nullptr;
    TakeMenuLook();
  }
  Layout();
  OnColorChanged();
  if (running && menu)
    OnOpen();
}

void CWULPopupMenuShell::GetExcludeRect(RECT* rect) {
  if (rect)
    *rect = excludeRect;
}

void CWULPopupMenuShell::SetExcludeRect(const RECT* rect) {
  if (rect)
    excludeRect = *rect;
  Position();
}

int CWULPopupMenuShell::GetFlags() { return flags; }

void CWULPopupMenuShell::SetFlags(int value) {
  flags = value;
  Position();
}

// --- layout ---

void CWULPopupMenuShell::Layout() {
  if (menu && menu->items.first) {
    int widest = 0;
    int tallest = 0;
    if (HDC dc = GetDC(nullptr)) {
      MeasureShortcuts(dc);
      for (CWULListNode* node = menu->items.first; node; node = node->next)
        MeasureItem(dc, ItemOf(node));
      ReleaseDC(nullptr, dc);
    }
    int top = 1;
    for (CWULListNode* node = menu->items.first; node; node = node->next)
      widest = std::max(widest, ItemOf(node)->width);
    for (CWULListNode* node = menu->items.first; node; node = node->next) {
      CWULMenuItem* item = ItemOf(node);
      item->x = 1;
      item->y = top;
      item->width = widest;
      top += item->height;
      tallest = std::max(tallest, item->height);
    }
    try {
      itemBuffer->SetSize(widest, tallest);
    } catch (const CWULError&) {
      // Items are then not painted.
    }
    SetSize(widest + 2, top + 1);
    Position();
  } else {
    try {
      itemBuffer->SetSize(0, 0);
    } catch (const CWULError&) {
    }
    const int h = menu ? menu->itemHeight : wulMenuItemHeight;
    SetSize(h + 2, h + 2);
  }
}

void CWULPopupMenuShell::MeasureShortcuts(HDC dc) {
  shortcutWidth = 0;
  if (!menu)
    return;
  for (CWULListNode* node = menu->items.first; node; node = node->next) {
    CWULMenuItem* item = ItemOf(node);
    if (!item->visible || !item->shortcut || item->type < WUL_MENU_NORMAL || item->type > WUL_MENU_RADIO)
      continue;
    char keyText[65];
    item->shortcut->GetText(keyText, sizeof keyText);
    shortcutWidth = std::max(shortcutWidth, MeasureText(dc, menu->GetEffectiveFont(), item->bold != 0, keyText));
  }
}

void CWULPopupMenuShell::MeasureItem(HDC dc, CWULMenuItem* item) {
  if (!item || !menu)
    return;
  const int h = menu->itemHeight;
  if (!item->visible) {
    item->width = 0;
    item->height = 0;
    return;
  }
  switch (item->type) {
    case WUL_MENU_NORMAL:
    case WUL_MENU_CHECK:
    case WUL_MENU_RADIO: {
      const int textWidth = MeasureText(dc, menu->GetEffectiveFont(), item->bold != 0, item->text.text);
      item->width = textWidth + 2 * h;
      if (item->shortcut)
        item->width = shortcutWidth + h + (textWidth + 2 * h);
      item->height = h;
      break;
    }
    case WUL_MENU_PICTURE: {
      int w = 0;
      int ht = 0;
      for (CWULImage* image : {item->image, item->hotImage, item->checkedImage, item->disabledImage}) {
        if (!image)
          continue;
        w = std::max(w, std::max(0, image->width));
        ht = std::max(ht, std::max(0, image->height));
      }
      item->width = w;
      item->height = ht;
      break;
    }
    case WUL_MENU_SEPARATOR:
      item->width = 0;
      item->height = 1;
      break;
    default:
      item->width = 0;
      item->height = 0;
      break;
  }
}

void CWULPopupMenuShell::Position() {
  const int w = width;
  const int h = height;
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  const int L = excludeRect.left;
  const int T = excludeRect.top;
  const int R = excludeRect.right;
  const int B = excludeRect.bottom;
  int nx;
  int side;
  if (!(flags & WUL_SHELL_PREFER_LEFT) || (flags & WUL_SHELL_PREFER_RIGHT)) {
    nx = (flags & WUL_SHELL_ALIGN_X) ? L : R;
    if (screenWidth - nx < w) {
      nx = (flags & WUL_SHELL_ALIGN_X) ? R - w : L - w;
      side = WUL_PLACED_LEFT;
    } else {
      side = WUL_PLACED_RIGHT;
    }
  } else if (flags & WUL_SHELL_ALIGN_X) {
    const bool left = R >= w;
    nx = left ? R - w : L;
    side = left ? WUL_PLACED_LEFT : WUL_PLACED_RIGHT;
  } else {
    const bool left = L >= w;
    nx = left ? L - w : R;
    side = left ? WUL_PLACED_LEFT : WUL_PLACED_RIGHT;
  }
  placement = (placement & WUL_SHELL_KEYBOARD) | side;
  int ny;
  if (!(flags & WUL_SHELL_PREFER_UP) || (flags & WUL_SHELL_PREFER_DOWN)) {
    ny = (flags & WUL_SHELL_ALIGN_Y) ? T : B;
    if (screenHeight - ny < h)
      ny = (flags & WUL_SHELL_ALIGN_Y) ? B - h : T - h;
  } else if (flags & WUL_SHELL_ALIGN_Y) {
    ny = B >= h ? B - h : T;
  } else {
    ny = T >= h ? T - h : B;
  }
  SetPosition(nx, ny);
  POINT pointer = {0, 0};
  if (GetCursorPos(&pointer)) {
    lastX = pointer.x - nx;
    lastY = pointer.y - ny;
  }
}

// --- highlight ---

CWULMenuItem* CWULPopupMenuShell::ItemAt(int hx, int hy) {
  if (!menu)
    return nullptr;
  for (CWULListNode* node = menu->items.first; node; node = node->next) {
    CWULMenuItem* item = ItemOf(node);
    if (item->type == WUL_MENU_SEPARATOR || !item->visible)
      continue;
    if (hx >= item->x && hx < item->x + item->width && hy >= item->y && hy < item->y + item->height)
      return item;
  }
  return nullptr;
}

void CWULPopupMenuShell::HighlightFirst() {
  if (menu)
    SetHighlighted(menu->FirstSelectable());
}

void CWULPopupMenuShell::SetHighlighted(CWULMenuItem* item) {
  if (!menu || menu->highlighted == item)
    return;
  if (item && item->GetOwner() != menu)
    return;
  HideHint();
  CWULMenuItem* old = menu->highlighted;
  menu->highlighted = item;
  highlightTime = GetTickCount();
  hintAllowed = 0;
  moved = 0;
  RepaintItem(old);
  RepaintItem(item);
  wulRunHighlightCallbacks(this, menu, item, old);
}

void CWULPopupMenuShell::HighlightNext() {
  if (!menu)
    return;
  if (CWULMenuItem* found = menu->NextSelectable(true))
    SetHighlighted(found);
}

void CWULPopupMenuShell::HighlightPrev() {
  if (!menu)
    return;
  if (CWULMenuItem* found = menu->NextSelectable(false))
    SetHighlighted(found);
}

// --- choosing ---

void CWULPopupMenuShell::Choose(CWULMenuItem* item) {
  if (menu)
    menu->ChooseItem(item, this);
}

void CWULPopupMenuShell::ChooseByKey(int ch) {
  if (!running || !menu)
    return;
  CWULMenuItem* item = menu->FindByMnemonic(ch, true);
  if (!item)
    return;
  if (item->submenu) {
    SetHighlighted(item);
    placement |= WUL_SHELL_KEYBOARD;
    OpenSubmenu(item);
  } else {
    Choose(item);
  }
}

void CWULPopupMenuShell::OpenSubmenu(CWULMenuItem* item) {
  if (!item)
    return;
  CloseSubmenu();
  moved = 0;
  pendingItem = item;
  WakeLoop();
}

void CWULPopupMenuShell::CloseSubmenu() {
  pendingItem = nullptr;
  if (submenuShell)
    submenuShell->EndLoop();
}

// --- hints ---

void CWULPopupMenuShell::ShowHint(CWULMenuItem* item) {
  hintAllowed = 0;
  if (!item || item->hint.GetLength() == 0)
    return;
  hintSlot.Show(item->hint.text);
}

void CWULPopupMenuShell::HideHint() { hintSlot.Hide(); }

// --- notifications ---

int32_t CWULPopupMenuShell::HandleNotify(CWULObject* sender, int32_t code, intptr_t param) {
  if ((flagsB & WUL_IF_CONSTRUCTING) || (flagsC & WUL_IF_IN_DESTRUCTOR))
    return 0;
  if (sender && sender == menu) {
    switch (code) {
      case WUL_NOTIFY_ITEM_CHOSEN: {
        result = reinterpret_cast<CWULMenuItem*>(param);
        resultValue = result ? result->value : 0;
        NotifyTo(this, parent, WUL_NOTIFY_SHELL_ENDED);
        Hide();
        EndLoop();
        break;
      }
      case WUL_NOTIFY_MENU_DESTROYED:
        SetMenu(nullptr);
        break;
      default:
        TakeMenuLook();
        Layout();
        OnColorChanged();
        break;
    }
    return 0;
  }
  if (sender && submenuShell && sender == submenuShell) {
    if (code == WUL_NOTIFY_SHELL_ENDED) {
      NotifyTo(this, parent, WUL_NOTIFY_SHELL_ENDED);
      Hide();
    } else if (code == WUL_NOTIFY_NAVIGATION_KEY) {
      if (param == VK_LEFT)
        CloseSubmenu();
      else if (param == VK_RIGHT)
        NotifyTo(this, parent, WUL_NOTIFY_NAVIGATION_KEY, VK_RIGHT);
    }
    return 0;
  }
  return CWULPopupWindow::HandleNotify(sender, code, param);
}

// --- pointer ---

void CWULPopupMenuShell::Rehover(int hx, int hy) {
  lastX = -1;
  lastY = -1;
  MouseHover(hx, hy);
}

void CWULPopupMenuShell::MouseHover(int hx, int hy) {
  if (!menu)
    return;
  CWULMenuItem* under = ItemAt(hx, hy);
  if (hx != lastX || hy != lastY) {
    lastX = hx;
    lastY = hy;
    CWULMenuItem* current = menu->highlighted;
    CWULMenuItem* item = current && current->visible && hx >= current->x && hx < current->x + current->width &&
                                 hy >= current->y && hy < current->y + current->height
                             ? current
                             : under;
    if (item != current) {
      SetHighlighted(item);
      hintAllowed = 1;
      moved = 1;
    }
  }
  if (!under || !menu)
    return;
  const DWORD elapsed = GetTickCount() - highlightTime;
  const DWORD hintStart = static_cast<DWORD>(wulHintDelay);
  const DWORD hintEnd = hintStart + static_cast<DWORD>(wulHintDuration);
  if (hintSlot.Get()) {
    if (elapsed >= hintEnd)
      HideHint();
  } else if (hintAllowed && elapsed >= hintStart && elapsed < hintEnd) {
    ShowHint(under);
  }
  if (!under->enabled || elapsed < static_cast<DWORD>(wulSubmenuDelay))
    return;
  if (submenuShell && !under->submenu) {
    CloseSubmenu();
    return;
  }
  if ((submenuShell && submenuShell->menu == under->submenu) || (!under->submenu && !submenuShell) || !moved)
    return;
  placement &= ~WUL_SHELL_KEYBOARD;
  OpenSubmenu(under);
}

void CWULPopupMenuShell::MouseLeave() {
  HideHint();
  if (menu) {
    CWULMenuItem* keep = pendingItem;
    if (!keep && submenuShell && submenuShell->menu) {
      CWULMenuItem* owner = submenuShell->menu->ownerItem;
      if (owner && owner->GetOwner() == menu)
        keep = owner;
    }
    SetHighlighted(keep);
  }
  lastX = -1;
  lastY = -1;
  hintAllowed = 0;
  moved = 0;
}

LRESULT CWULPopupMenuShell::OnLButtonDown(int, int mx, int my) {
  if (hintSlot.Get())
    HideHint();
  else
    hintAllowed = 0;
  Rehover(mx, my);
  return 0;
}

LRESULT CWULPopupMenuShell::OnLButtonUp(int, int mx, int my) {
  Rehover(mx, my);
  CWULMenuItem* item = menu ? menu->highlighted : nullptr;
  if (item && item->enabled) {
    if (item->submenu) {
      placement &= ~WUL_SHELL_KEYBOARD;
      OpenSubmenu(item);
    } else {
      Choose(item);
    }
  }
  return 0;
}

// --- keys ---

LRESULT CWULPopupMenuShell::OnKeyDown(int key, LPARAM) {
  placement |= WUL_SHELL_KEYBOARD;
  CWULMenuItem* item = menu ? menu->highlighted : nullptr;
  switch (key) {
    case VK_RETURN:
      if (item && item->enabled) {
        if (item->submenu)
          OpenSubmenu(item);
        else
          Choose(item);
      }
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
    case VK_RIGHT:
      if (item && item->enabled && item->submenu)
        OpenSubmenu(item);
      else
        NotifyTo(this, parent, WUL_NOTIFY_NAVIGATION_KEY, VK_RIGHT);
      break;
    case VK_LEFT:
      NotifyTo(this, parent, WUL_NOTIFY_NAVIGATION_KEY, VK_LEFT);
      break;
    default:
      break;
  }
  return 0;
}

LRESULT CWULPopupMenuShell::OnSysKeyDown(int key, LPARAM lParam) { return OnKeyDown(key, lParam); }

LRESULT CWULPopupMenuShell::OnChar(int key, LPARAM) {
  ChooseByKey(key);
  return 0;
}

LRESULT CWULPopupMenuShell::OnSysChar(int key, LPARAM) {
  ChooseByKey(key);
  return 0;
}

LRESULT CWULPopupMenuShell::OnKeyUp(int, LPARAM) { return 0; }
LRESULT CWULPopupMenuShell::OnSysKeyUp(int, LPARAM) { return 0; }

LRESULT CWULPopupMenuShell::OnActivateApp(bool active, DWORD) {
  if (!active)
    EndLoop();
  return 0;
}

// --- painting ---

LRESULT CWULPopupMenuShell::OnPaint(PAINTSTRUCT* paint) {
  CWULPenBrush set;
  set.Create(menu ? menu->GetEffectiveColor1() : GetColor());
  RECT whole = {0, 0, width, height};
  if (menu && menu->items.first) {
    wulDrawRectOutline(paint->hdc, &whole, set.shadePen);
    for (CWULListNode* node = menu->items.first; node; node = node->next) {
      CWULMenuItem* item = ItemOf(node);
      RECT area = {item->x, item->y, item->x + item->width, item->y + item->height};
      if (item->visible && wulRectsOverlap(&area, &paint->rcPaint))
        PaintItem(paint->hdc, item);
    }
  } else {
    wulDrawRect(paint->hdc, &whole, set.shadePen, set.brush);
  }
  return 0;
}

void CWULPopupMenuShell::RepaintItem(CWULMenuItem* item) {
  if (!window || !item || !menu || item->GetOwner() != menu)
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

void CWULPopupMenuShell::PaintItem(HDC dc, CWULMenuItem* item) {
  if (!item || !menu || !item->visible || !itemBuffer)
    return;
  const int w = item->width;
  const int ih = item->height;
  CWULImage* canvas = itemBuffer->GetImage();
  if (w <= 0 || ih <= 0 || !canvas || canvas->width < w || canvas->height < ih)
    return;
  const int h = menu->itemHeight;
  HDC bufferDC = itemBuffer->GetDC();
  const bool hot = item == menu->highlighted && item->enabled;
  CWULFont& itemFont = menu->GetEffectiveFont();
  CWULColor background(hot ? menu->GetEffectiveColor2() : menu->GetEffectiveColor1());
  CWULColor foreground(hot ? menu->GetEffectiveColor3() : itemFont.color);
  if (!item->enabled)
    foreground = foreground.Blend(background, 0.5f);

  CWULImage* image = item->image;
  if (item->checked && item->checkedImage)
    image = item->checkedImage;
  else if (hot && item->hotImage)
    image = item->hotImage;
  if (!item->enabled && item->disabledImage)
    image = item->disabledImage;
  const float opacity = item->enabled || item->disabledImage ? 1.0f : 0.5f;

  GdiFlush();
  RECT all = {0, 0, w, ih};
  canvas->FillRect(&all, background);
  switch (item->type) {
    case WUL_MENU_NORMAL:
    case WUL_MENU_CHECK:
    case WUL_MENU_RADIO: {
      RECT box = {0, 0, h, h};
      wulDeflateRect(&box, (h + 2) / 4);
      if (item->checked && item->type == WUL_MENU_CHECK && !item->checkedImage)
        canvas->FillRect(&box, foreground);
      else if (item->checked && item->type == WUL_MENU_RADIO && !item->checkedImage)
        DrawDisc(canvas, box, background, foreground);
      else
        DrawCentred(canvas, image, 0, 0, h, h, opacity);
      CWULTextFont textFont(&itemFont);
      if (item->bold)
        textFont.SetBold(true);
      textFont.SetColor(foreground);
      textFont.Select(bufferDC);
      RECT textArea = {h, 0, w - h, ih};
      DrawTextA(bufferDC, item->text.text, -1, &textArea, DT_SINGLELINE | DT_VCENTER);
      if (item->shortcut) {
        char keyText[65];
        item->shortcut->GetText(keyText, sizeof keyText);
        RECT keyArea = {w - h - shortcutWidth, 0, w - h, ih};
        DrawTextA(bufferDC, keyText, -1, &keyArea, DT_SINGLELINE | DT_VCENTER);
      }
      textFont.Restore();
      if (item->submenu) {
        const int side = h / 12 + 2;
        const int tx = (h - side - 1) / 2 + w - h;
        POINT points[3] = {{tx, h / 2 - side}, {tx + side, h / 2}, {tx, h / 2 + side}};
        HPEN pen = CreatePen(PS_SOLID, 1, foreground.GetColorRef());
        HBRUSH brush = CreateSolidBrush(foreground.GetColorRef());
        if (pen && brush)
          wulDrawPolygon(bufferDC, points, 3, pen, brush);
        if (pen)
          DeleteObject(pen);
        if (brush)
          DeleteObject(brush);
      }
      break;
    }
    case WUL_MENU_PICTURE:
      DrawCentred(canvas, image, 0, 0, w, ih, opacity);
      break;
    case WUL_MENU_SEPARATOR:
      canvas->FillRect(&all, wulColors[1]);
      break;
    default:
      break;
  }
  GdiFlush();
  itemBuffer->Blit(dc, item->x, item->y, 0, 0, w, ih);
}
