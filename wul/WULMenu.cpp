#include "wul/WULMenu.h"
#include "wul/WULButton.h"
#include "wul/WULError.h"
#include "wul/WULImage.h"
#include "wul/WULInteractor.h"
#include "wul/WULShortcut.h"
#include "wul/WULSystem.h"

namespace {

inline CWULMenuItem* ItemOf(CWULListNode* node) { return static_cast<CWULMenuItem*>(node); }

}  // namespace

// --- CWULMenu ---

CWULMenu::CWULMenu()
    : color1(wulColors[8]),
      font(wulFonts[7]),
      color2(wulColors[9]),
      color3(wulColors[10]),
      destroyCallback(nullptr),
      openCallback(nullptr),
      closeCallback(nullptr),
      highlightChangedCallback(nullptr),
      itemChosenCallback(nullptr),
      open(0),
      ownerItem(nullptr),
      inheritColors(1),
      inheritFont(1),
      itemHeight(wulMenuItemHeight > 0 ? wulMenuItemHeight : 16),
      highlighted(nullptr) {
  classCode = WUL_CLASS_MENU;
  color1.listener = this;
  font.listener = this;
  color2.listener = this;
  color3.listener = this;
}

CWULMenu::~CWULMenu() {
  if (destroyCallback) {
    // Nothing may leave a destructor; the loop shows the error later.
    try {
      destroyCallback(this, this);
    } catch (...) {
      wulKeepPendingException();
    }
  }
  if (listener)
    Notify(WUL_NOTIFY_MENU_DESTROYED);
  listener = nullptr;
  // A submenu deleted on its own leaves no dangling pointer in its item.
  if (ownerItem && ownerItem->submenu == this)
    ownerItem->submenu = nullptr;
  ownerItem = nullptr;
  highlighted = nullptr;
  for (CWULListNode* node = items.first; node; node = node->next) {
    ItemOf(node)->listener = nullptr;
    ItemOf(node)->index = 0;
  }
  items.DeleteAll();
}

int32_t CWULMenu::HandleNotify(CWULObject* sender, int32_t code, intptr_t param) {
  if (!sender)
    return 0;
  if (sender->classCode != WUL_CLASS_MENU) {
    if (sender == &color1 || sender == &color2 || sender == &color3)
      inheritColors = 0;
    else if (sender == &font)
      inheritFont = 0;
    NotifyChanged();
    return 0;
  }
  if (code == WUL_NOTIFY_ITEM_CHOSEN) {
    if (itemChosenCallback)
      itemChosenCallback(this, this, reinterpret_cast<CWULMenuItem*>(param));
    if (CWULMenu* parentMenu = GetParentMenu())
      NotifyTo(this, parentMenu, WUL_NOTIFY_ITEM_CHOSEN, param);
  }
  return 0;
}

void CWULMenu::Renumber(CWULMenuItem* from) {
  for (CWULListNode* node = from; node; node = node->next) {
    CWULMenuItem* item = ItemOf(node);
    item->index = node->prev ? ItemOf(node->prev)->index + 1 : 1;
  }
}

void CWULMenu::Insert(CWULMenuItem* item, CWULMenuItem* before) {
  if (!item || item == before)
    return;
  if (before && before->GetOwner() != this)
    before = nullptr;
  if (CWULMenu* old = item->GetOwner())
    old->Remove(item);
  items.Insert(item, before);
  item->listener = this;
  Renumber(item);
  NotifyChanged();
}

void CWULMenu::Remove(CWULMenuItem* item) {
  if (!item || item->GetOwner() != this)
    return;
  if (highlighted == item)
    highlighted = nullptr;
  CWULMenuItem* successor = ItemOf(item->next);
  items.Remove(item);
  Renumber(successor);
  item->listener = nullptr;
  item->index = 0;
  NotifyChanged();
}

void CWULMenu::ItemChosen(CWULMenuItem* item) {
  Notify(WUL_NOTIFY_ITEM_CHOSEN, reinterpret_cast<intptr_t>(item));
  if (item)
    item->Activate();
  HandleNotify(this, WUL_NOTIFY_ITEM_CHOSEN, reinterpret_cast<intptr_t>(item));
}

CWULMenuItem* CWULMenu::FindByMnemonic(int ch, bool usableOnly) {
  for (CWULListNode* node = items.first; node; node = node->next) {
    CWULMenuItem* item = ItemOf(node);
    if (usableOnly && (!item->visible || !item->enabled))
      continue;
    if (wulMatchMnemonic(item->text.text, ch))
      return item;
  }
  return nullptr;
}

CWULMenuItem* CWULMenu::FirstSelectable() const {
  for (CWULListNode* node = items.first; node; node = node->next) {
    if (ItemOf(node)->IsSelectable())
      return ItemOf(node);
  }
  return nullptr;
}

CWULMenuItem* CWULMenu::NextSelectable(bool forward) const {
  if (!(forward ? items.first : items.last))
    return nullptr;
  CWULListNode* start = highlighted;
  CWULListNode* node = start;
  for (int i = 0; i < items.count; i++) {
    node = node ? (forward ? node->next : node->prev) : nullptr;
    if (!node)
      node = forward ? items.first : items.last;
    if (node == start)
      return nullptr;
    if (ItemOf(node)->IsSelectable())
      return ItemOf(node);
  }
  return nullptr;
}

void CWULMenu::RunOpen(CWULInteractor* host) {
  if (open)
    return;
  open = 1;
  if (openCallback) {
    CWULCallbackBracket bracket(host);
    openCallback(this);
  }
}

void CWULMenu::RunClose(CWULInteractor* host) {
  if (!open)
    return;
  struct ClearOpen {
    CWULMenu* m;
    ~ClearOpen() { m->open = 0; }
  } clear = {this};
  if (closeCallback) {
    CWULCallbackBracket bracket(host);
    closeCallback(this);
  }
}

void CWULMenu::ChooseItem(CWULMenuItem* item, CWULInteractor* host) {
  if (!item || item->GetOwner() != this)
    return;
  CWULCallbackBracket bracket(host);
  ItemChosen(item);
}

void CWULMenu::SetItemHeight(int height) {
  if (height == itemHeight)
    return;
  itemHeight = height;
  NotifyChanged();
}

CWULMenuItem* CWULMenu::GetFirstItem() const { return ItemOf(items.first); }
CWULMenuItem* CWULMenu::GetLastItem() const { return ItemOf(items.last); }

CWULMenu* CWULMenu::GetParentMenu() const { return ownerItem ? ownerItem->GetOwner() : nullptr; }

CWULColor& CWULMenu::GetEffectiveColor1() {
  CWULMenu* parentMenu = GetParentMenu();
  return inheritColors && parentMenu ? parentMenu->GetEffectiveColor1() : color1;
}

CWULColor& CWULMenu::GetEffectiveColor2() {
  CWULMenu* parentMenu = GetParentMenu();
  return inheritColors && parentMenu ? parentMenu->GetEffectiveColor2() : color2;
}

CWULColor& CWULMenu::GetEffectiveColor3() {
  CWULMenu* parentMenu = GetParentMenu();
  return inheritColors && parentMenu ? parentMenu->GetEffectiveColor3() : color3;
}

CWULFont& CWULMenu::GetEffectiveFont() {
  CWULMenu* parentMenu = GetParentMenu();
  return inheritFont && parentMenu ? parentMenu->GetEffectiveFont() : font;
}

// --- CWULMenuItem ---

CWULMenuItem::CWULMenuItem(const char* itemText)
    : value(0),
      highlightCallback(nullptr),
      clickCallback(nullptr),
      checkChangedCallback(nullptr),
      index(0),
      radioPrev(nullptr),
      radioNext(nullptr),
      type(WUL_MENU_NORMAL),
      checked(0),
      bold(0),
      visible(1),
      enabled(1),
      submenu(nullptr),
      shortcut(nullptr),
      image(nullptr),
      hotImage(nullptr),
      checkedImage(nullptr),
      disabledImage(nullptr),
      width(0),
      height(0),
      x(0),
      y(0),
      text(itemText) {
  classCode = WUL_CLASS_MENU_ITEM;
  text.listener = this;
  hint.listener = this;
}

CWULMenuItem::~CWULMenuItem() {
  LeaveGroup();
  if (CWULMenu* menu = submenu) {
    submenu = nullptr;
    menu->ownerItem = nullptr;
    delete menu;
  }
  if (CWULMenu* owner = GetOwner())
    owner->Remove(this);
  CWULShortcut::Release(shortcut);
  shortcut = nullptr;
  CWULImage::Release(image);
  CWULImage::Release(hotImage);
  CWULImage::Release(checkedImage);
  CWULImage::Release(disabledImage);
  image = hotImage = checkedImage = disabledImage = nullptr;
}

int32_t CWULMenuItem::HandleNotify(CWULObject*, int32_t, intptr_t) { return 0; }

CWULMenu* CWULMenuItem::GetOwner() const {
  return listener && listener->classCode == WUL_CLASS_MENU ? static_cast<CWULMenu*>(listener) : nullptr;
}

bool CWULMenuItem::IsSelectable() const { return visible && enabled && type != WUL_MENU_SEPARATOR; }

void CWULMenuItem::Click() {
  if (CWULMenu* owner = GetOwner())
    owner->ItemChosen(this);
  else
    Activate();
}

void CWULMenuItem::Activate() {
  if (clickCallback)
    clickCallback(this, this);
  if (type == WUL_MENU_CHECK) {
    SetChecked(!checked);
  } else if (type == WUL_MENU_RADIO) {
    for (CWULMenuItem* other = radioPrev; other && other != this; other = other->radioPrev)
      other->SetChecked(false);
    for (CWULMenuItem* other = radioNext; other && other != this; other = other->radioNext)
      other->SetChecked(false);
    SetChecked(true);
  }
}

CWULMenuItem* CWULMenuItem::JoinGroup(CWULMenuItem* other) {
  if (!other)
    return nullptr;
  CWULMenuItem* head = this;
  while (head->radioPrev)
    head = head->radioPrev;
  CWULMenuItem* tail = other;
  while (tail->radioNext)
    tail = tail->radioNext;
  // Joining a group to itself would make a ring.
  for (CWULMenuItem* member = head; member; member = member->radioNext) {
    if (member == tail)
      return tail;
  }
  tail->radioNext = head;
  head->radioPrev = tail;
  return tail;
}

void CWULMenuItem::LeaveGroup() {
  if (radioPrev)
    radioPrev->radioNext = radioNext;
  if (radioNext)
    radioNext->radioPrev = radioPrev;
  radioPrev = nullptr;
  radioNext = nullptr;
}

void CWULMenuItem::SetType(int newType) {
  type = newType;
  NotifyChanged();
}

void CWULMenuItem::SetText(const char* newText) {
  text.Assign(newText);
  NotifyChanged();
}

void CWULMenuItem::ReplaceImage(CWULImage** slot, CWULImage* newImage) {
  if (*slot == newImage)
    return;
  CWULImage::AddRef(newImage);
  CWULImage::Release(*slot);
  *slot = newImage;
  NotifyChanged();
}

void CWULMenuItem::SetImage(CWULImage* newImage) { ReplaceImage(&image, newImage); }
void CWULMenuItem::SetHotImage(CWULImage* newImage) { ReplaceImage(&hotImage, newImage); }
void CWULMenuItem::SetCheckedImage(CWULImage* newImage) { ReplaceImage(&checkedImage, newImage); }
void CWULMenuItem::SetDisabledImage(CWULImage* newImage) { ReplaceImage(&disabledImage, newImage); }

void CWULMenuItem::SetChecked(bool on) {
  if ((checked != 0) == on)
    return;
  checked = on ? 1 : 0;
  if (checkChangedCallback)
    checkChangedCallback(this, this);
  NotifyChanged();
}

void CWULMenuItem::SetBold(bool on) {
  bold = on ? 1 : 0;
  NotifyChanged();
}

void CWULMenuItem::SetVisible(bool on) {
  visible = on ? 1 : 0;
  NotifyChanged();
}

void CWULMenuItem::SetEnabled(bool on) {
  if ((enabled != 0) == on)
    return;
  enabled = on ? 1 : 0;
  NotifyChanged();
}

void CWULMenuItem::SetShortcut(CWULShortcut* newShortcut) {
  if (newShortcut == shortcut)
    return;
  CWULShortcut::AddRef(newShortcut);
  CWULShortcut::Release(shortcut);
  shortcut = newShortcut;
  NotifyChanged();
}

void CWULMenuItem::SetSubmenu(CWULMenu* menu) {
  if (menu == submenu)
    return;
  if (menu && menu->ownerItem)
    wulThrowError(1, "CWULMenuItem::SetSubmenu", "Cannot assign a non-orphaned menu");
  // A menu that holds this item, directly or further up, would make a ring.
  for (CWULMenu* up = GetOwner(); menu && up; up = up->GetParentMenu()) {
    if (up == menu)
      wulThrowError(1, "CWULMenuItem::SetSubmenu", "Cannot assign a non-orphaned menu");
  }
  if (submenu)
    submenu->ownerItem = nullptr;
  submenu = menu;
  if (menu)
    menu->ownerItem = this;
  NotifyChanged();
}
