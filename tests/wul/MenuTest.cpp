#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "common/BoxWatcher.h"
#include "FrameworkProbe.h"
#include "MenuDriver.h"
#include "wul/WULAppWindow.h"
#include "wul/WULError.h"
#include "wul/WULImage.h"
#include "wul/WULInit.h"
#include "wul/WULMenu.h"
#include "wul/WULMenuShell.h"
#include "wul/WULOffscreen.h"
#include "wul/WULPopupMenu.h"
#include "wul/WULShortcut.h"
#include "wul/WULSystem.h"
#include "wul/WULTooltip.h"

namespace {

// Records what happens to the menus and items of a test, in order.
std::vector<std::string> g_events;

void Chosen(CWULMenu* menu, CWULMenu*, CWULMenuItem* item) {
  g_events.push_back("chosen " + std::string(menu->font.faceName.text) + ":" + item->GetText());
}
void Clicked(CWULMenuItem* item, CWULMenuItem*) { g_events.push_back(std::string("click ") + item->GetText()); }
void Opened(CWULMenu*) { g_events.push_back("open"); }
void ClosedMenu(CWULMenu*) { g_events.push_back("close"); }
void Destroyed(CWULMenu*, CWULMenu*) { g_events.push_back("destroy"); }
void CheckChanged(CWULMenuItem* item, CWULMenuItem*) {
  g_events.push_back(std::string("checked ") + item->GetText() + (item->checked ? "=1" : "=0"));
}

// A listener that counts change notices.
class CountingListener : public CWULObject {
public:
  int32_t HandleNotify(CWULObject* sender, int32_t code, intptr_t param) override {
    codes.push_back(code);
    senders.push_back(sender);
    params.push_back(param);
    return 0;
  }
  std::vector<int32_t> codes;
  std::vector<CWULObject*> senders;
  std::vector<intptr_t> params;
};

class DeletionItem : public CWULMenuItem {
public:
  DeletionItem(const char* text, int* counter) : CWULMenuItem(text), counter(counter) {}
  ~DeletionItem() override { ++*counter; }
  int* counter;
};

CWULMenuItem* AddItem(CWULMenu* menu, const char* text, int32_t value, int type = WUL_MENU_NORMAL) {
  auto* item = new CWULMenuItem(text);
  item->value = value;
  item->SetType(type);
  menu->Append(item);
  return item;
}

// A submenu item with its menu; the menu's face name tags it in the recorded events.
CWULMenu* AddSubmenu(CWULMenu* menu, const char* text, const char* tag) {
  auto* item = new CWULMenuItem(text);
  auto* sub = new CWULMenu();
  sub->font.faceName.Assign(tag);
  item->SetSubmenu(sub);
  menu->Append(item);
  return sub;
}

class MenuModel : public testing::Test {
protected:
  void SetUp() override {
    WULInit(GetModuleHandleA(nullptr));
    g_events.clear();
  }
};

class MenuShell : public MenuModel {
protected:
  void SetUp() override {
    MenuModel::SetUp();
    DiscardQueuedMessages();
    keys.Set({});
  }
  void TearDown() override {
    SettleWindows();
    DiscardQueuedMessages();
  }
  KeyState keys;
};

// --- menu and items ---

TEST_F(MenuModel, DefaultsComeFromTheLook) {
  CWULMenu menu;
  EXPECT_EQ(menu.classCode, WUL_CLASS_MENU);
  EXPECT_EQ(menu.color1.value, 0xFFC0C0C0u);
  EXPECT_EQ(menu.color2.value, 0xFF505070u);
  EXPECT_EQ(menu.color3.value, 0xFFFFFFFFu);
  EXPECT_EQ(menu.itemHeight, 16);
  EXPECT_EQ(menu.inheritColors, 1);
  EXPECT_EQ(menu.inheritFont, 1);
  CWULMenuItem item;
  EXPECT_EQ(item.classCode, WUL_CLASS_MENU_ITEM);
  EXPECT_EQ(item.type, WUL_MENU_NORMAL);
  EXPECT_TRUE(item.visible && item.enabled);
  EXPECT_FALSE(item.checked || item.bold);
  EXPECT_EQ(item.index, 0);
}

TEST_F(MenuModel, InsertAndRemoveRenumberAndNotify) {
  CWULMenu menu;
  CountingListener listener;
  menu.listener = &listener;
  CWULMenuItem* a = AddItem(&menu, "a", 1);
  CWULMenuItem* c = AddItem(&menu, "c", 3);
  auto* b = new CWULMenuItem("b");
  menu.Insert(b, c);
  EXPECT_EQ(a->index, 1);
  EXPECT_EQ(b->index, 2);
  EXPECT_EQ(c->index, 3);
  EXPECT_EQ(b->GetOwner(), &menu);
  EXPECT_EQ(menu.items.count, 3);
  size_t before = listener.codes.size();
  menu.Remove(a);
  EXPECT_EQ(listener.codes.size(), before + 1);
  EXPECT_EQ(listener.codes.back(), WUL_NOTIFY_CHANGED);
  EXPECT_EQ(b->index, 1);
  EXPECT_EQ(c->index, 2);
  EXPECT_EQ(a->index, 0);
  EXPECT_EQ(a->GetOwner(), nullptr);
  // Removing an item that is not in the menu changes nothing.
  menu.Remove(a);
  menu.Remove(nullptr);
  menu.Insert(nullptr, nullptr);
  EXPECT_EQ(menu.items.count, 2);
  delete a;
  menu.listener = nullptr;
}

TEST_F(MenuModel, InsertTakesTheItemFromItsOldMenu) {
  CWULMenu first;
  CWULMenu second;
  CWULMenuItem* item = AddItem(&first, "x", 1);
  AddItem(&first, "y", 2);
  second.Append(item);
  EXPECT_EQ(first.items.count, 1);
  EXPECT_EQ(first.GetFirstItem()->index, 1);
  EXPECT_EQ(second.GetFirstItem(), item);
  EXPECT_EQ(item->GetOwner(), &second);
}

TEST_F(MenuModel, RemovingTheHighlightedItemClearsTheHighlight) {
  CWULMenu menu;
  CWULMenuItem* item = AddItem(&menu, "x", 1);
  menu.highlighted = item;
  menu.Remove(item);
  EXPECT_EQ(menu.highlighted, nullptr);
  delete item;
}

TEST_F(MenuModel, DeletedItemLeavesItsMenu) {
  CWULMenu menu;
  CWULMenuItem* a = AddItem(&menu, "a", 1);
  CWULMenuItem* b = AddItem(&menu, "b", 2);
  delete a;
  EXPECT_EQ(menu.items.count, 1);
  EXPECT_EQ(menu.GetFirstItem(), b);
  EXPECT_EQ(b->index, 1);
}

TEST_F(MenuModel, DestructorCallsBackNotifiesAndDeletesItemsAndSubmenus) {
  int deleted = 0;
  auto* menu = new CWULMenu();
  menu->destroyCallback = Destroyed;
  menu->Append(new DeletionItem("a", &deleted));
  auto* holder = new DeletionItem("sub", &deleted);
  auto* sub = new CWULMenu();
  sub->destroyCallback = Destroyed;
  sub->Append(new DeletionItem("inner", &deleted));
  holder->SetSubmenu(sub);
  menu->Append(holder);
  CountingListener listener;
  menu->listener = &listener;
  delete menu;
  EXPECT_EQ(deleted, 3);
  ASSERT_EQ(g_events.size(), 2u);
  EXPECT_EQ(g_events[0], "destroy");
  EXPECT_EQ(g_events[1], "destroy");
  ASSERT_FALSE(listener.codes.empty());
  EXPECT_EQ(listener.codes.back(), WUL_NOTIFY_MENU_DESTROYED);
}

TEST_F(MenuModel, DeletingASubmenuAloneClearsItsItem) {
  CWULMenu menu;
  CWULMenu* sub = AddSubmenu(&menu, "&Sub", "s");
  CWULMenuItem* holder = menu.GetFirstItem();
  delete sub;
  EXPECT_EQ(holder->submenu, nullptr);
}

TEST_F(MenuModel, MnemonicsIgnoreCaseAndLiteralAmpersands) {
  CWULMenu menu;
  CWULMenuItem* save = AddItem(&menu, "&Save", 1);
  CWULMenuItem* both = AddItem(&menu, "Fish && &Chips", 2);
  AddItem(&menu, "Rock &&Roll", 3);
  CWULMenuItem* last = AddItem(&menu, "&1 Recent", 4);
  AddItem(&menu, "Ends &", 5);
  EXPECT_EQ(menu.FindByMnemonic('s'), save);
  EXPECT_EQ(menu.FindByMnemonic('S'), save);
  EXPECT_EQ(menu.FindByMnemonic('c'), both);
  EXPECT_EQ(menu.FindByMnemonic('r'), nullptr);
  EXPECT_EQ(menu.FindByMnemonic('1'), last);
  EXPECT_EQ(menu.FindByMnemonic('&'), nullptr);
  EXPECT_EQ(menu.FindByMnemonic('e'), nullptr);
}

TEST_F(MenuModel, ChoosingInAThirdLevelMenuRunsEachCallbackOnce) {
  CWULMenu top;
  top.font.faceName.Assign("top");
  top.itemChosenCallback = Chosen;
  CWULMenu* second = AddSubmenu(&top, "&Second", "second");
  second->itemChosenCallback = Chosen;
  CWULMenu* third = AddSubmenu(second, "&Third", "third");
  third->itemChosenCallback = Chosen;
  CWULMenuItem* leaf = AddItem(third, "leaf", 7);
  leaf->clickCallback = Clicked;
  leaf->Click();
  std::vector<std::string> expected = {"click leaf", "chosen third:leaf", "chosen second:leaf", "chosen top:leaf"};
  EXPECT_EQ(g_events, expected);
}

TEST_F(MenuModel, ClickWithoutMenuOnlyActivates) {
  CWULMenuItem item("alone");
  item.clickCallback = Clicked;
  item.SetType(WUL_MENU_CHECK);
  item.Click();
  EXPECT_EQ(item.checked, 1);
  item.Click();
  EXPECT_EQ(item.checked, 0);
  EXPECT_EQ(g_events.size(), 2u);
}

TEST_F(MenuModel, CheckChangedRunsBeforeTheNotice) {
  CWULMenu menu;
  CountingListener listener;
  menu.listener = &listener;
  CWULMenuItem* item = AddItem(&menu, "c", 1, WUL_MENU_CHECK);
  item->checkChangedCallback = CheckChanged;
  size_t before = listener.codes.size();
  item->SetChecked(true);
  EXPECT_EQ(listener.codes.size(), before + 1);
  item->SetChecked(true);
  EXPECT_EQ(listener.codes.size(), before + 1);
  ASSERT_EQ(g_events.size(), 1u);
  EXPECT_EQ(g_events[0], "checked c=1");
  menu.listener = nullptr;
}

TEST_F(MenuModel, RadioGroupKeepsOneChecked) {
  CWULMenu menu;
  CWULMenuItem* a = AddItem(&menu, "a", 1, WUL_MENU_RADIO);
  CWULMenuItem* b = AddItem(&menu, "b", 2, WUL_MENU_RADIO);
  CWULMenuItem* c = AddItem(&menu, "c", 3, WUL_MENU_RADIO);
  EXPECT_EQ(b->JoinGroup(a), a);
  EXPECT_EQ(c->JoinGroup(b), b);
  EXPECT_EQ(a->radioNext, b);
  EXPECT_EQ(c->radioPrev, b);
  a->Activate();
  c->Activate();
  EXPECT_FALSE(a->checked);
  EXPECT_FALSE(b->checked);
  EXPECT_TRUE(c->checked);
  b->Activate();
  EXPECT_FALSE(a->checked);
  EXPECT_TRUE(b->checked);
  EXPECT_FALSE(c->checked);
  // Joining a group to itself makes no ring.
  a->JoinGroup(c);
  EXPECT_EQ(a->radioPrev, nullptr);
  EXPECT_EQ(c->radioNext, nullptr);
  b->LeaveGroup();
  EXPECT_EQ(a->radioNext, c);
  EXPECT_EQ(c->radioPrev, a);
  EXPECT_EQ(b->radioNext, nullptr);
}

TEST_F(MenuModel, SubmenuWithAnotherOwnerIsRefused) {
  CWULMenu menu;
  AddSubmenu(&menu, "one", "one");
  CWULMenu* taken = menu.GetFirstItem()->submenu;
  CWULMenuItem* other = AddItem(&menu, "two", 2);
  try {
    other->SetSubmenu(taken);
    FAIL() << "no error";
  } catch (const CWULError& error) {
    EXPECT_EQ(error.code, 1);
    EXPECT_STREQ(error.location, "CWULMenuItem::SetSubmenu");
    EXPECT_STREQ(error.description, "Cannot assign a non-orphaned menu");
  }
  EXPECT_EQ(other->submenu, nullptr);
  // A menu holding the item itself would make a ring.
  CWULMenuItem* inner = AddItem(taken, "inner", 3);
  EXPECT_THROW(inner->SetSubmenu(&menu), CWULError);
  EXPECT_EQ(inner->submenu, nullptr);
}

TEST_F(MenuModel, ReplacingASubmenuReleasesTheOldOne) {
  CWULMenuItem item("x");
  CWULMenu first;
  CWULMenu second;
  item.SetSubmenu(&first);
  item.SetSubmenu(&second);
  EXPECT_EQ(first.ownerItem, nullptr);
  EXPECT_EQ(second.ownerItem, &item);
  item.SetSubmenu(nullptr);
  EXPECT_EQ(second.ownerItem, nullptr);
}

TEST_F(MenuModel, ColoursAndFontAreInheritedUntilSetOwn) {
  CWULMenu top;
  top.color1.SetRGB(10, 20, 30);
  top.font.SetHeight(-20);
  EXPECT_EQ(top.inheritColors, 0);
  EXPECT_EQ(top.inheritFont, 0);
  CWULMenu* sub = AddSubmenu(&top, "s", "sub");
  // Giving the tag changed the submenu's own font.
  sub->inheritFont = 1;
  EXPECT_EQ(&sub->GetEffectiveColor1(), &top.color1);
  EXPECT_EQ(&sub->GetEffectiveColor3(), &top.color3);
  EXPECT_EQ(&sub->GetEffectiveFont(), &top.font);
  sub->color3.SetRGB(1, 2, 3);
  EXPECT_EQ(sub->inheritColors, 0);
  EXPECT_EQ(&sub->GetEffectiveColor1(), &sub->color1);
  EXPECT_EQ(&sub->GetEffectiveFont(), &top.font);
}

TEST_F(MenuModel, ItemChangesReachTheListenerButHintsDoNot) {
  CWULMenu menu;
  CountingListener listener;
  menu.listener = &listener;
  CWULMenuItem* item = AddItem(&menu, "x", 1);
  size_t before = listener.codes.size();
  item->hint.Assign("a hint");
  EXPECT_EQ(listener.codes.size(), before);
  item->SetText("y");
  item->SetEnabled(false);
  item->SetEnabled(false);
  item->SetBold(true);
  EXPECT_EQ(listener.codes.size(), before + 3);
  menu.listener = nullptr;
}

TEST_F(MenuModel, ShortcutAndImagesAreReferenced) {
  CWULMenuItem* item = new CWULMenuItem("x");
  auto* shortcut = new CWULShortcut(WUL_KEY_VIRTUAL, VK_F2, WUL_MOD_CTRL);
  int32_t base = shortcut->refCount;
  item->SetShortcut(shortcut);
  EXPECT_EQ(shortcut->refCount, base + 1);
  auto* image = new CWULImage(4, 4);
  image->AddRef();
  item->SetImage(image);
  EXPECT_EQ(image->refCount, 2);
  item->SetImage(image);
  EXPECT_EQ(image->refCount, 2);
  delete item;
  EXPECT_EQ(shortcut->refCount, base);
  EXPECT_EQ(image->refCount, 1);
  image->Release();
  if (WULThreadBlock* block = wulGetTLS())
    block->shortcutTable->Remove(shortcut);
}

// --- shell layout and placement ---

TEST_F(MenuShell, EmptyShellIsASquareOfTheItemHeight) {
  auto* shell = new CWULPopupMenuShell();
  EXPECT_EQ(shell->width, 18);
  EXPECT_EQ(shell->height, 18);
  CWULMenu menu;
  menu.SetItemHeight(20);
  shell->SetMenu(&menu);
  EXPECT_EQ(shell->width, 22);
  EXPECT_EQ(shell->height, 22);
  delete shell;
  EXPECT_EQ(menu.listener, nullptr);
}

TEST_F(MenuShell, ItemsAreLaidOutInOneColumn) {
  CWULMenu menu;
  CWULMenuItem* a = AddItem(&menu, "Short", 1);
  AddItem(&menu, "", 0, WUL_MENU_SEPARATOR);
  CWULMenuItem* b = AddItem(&menu, "A much longer item text", 2);
  CWULMenuItem* hidden = AddItem(&menu, "hidden", 3);
  hidden->SetVisible(false);
  auto* shell = new CWULPopupMenuShell();
  shell->SetMenu(&menu);
  EXPECT_EQ(a->x, 1);
  EXPECT_EQ(a->y, 1);
  EXPECT_EQ(a->height, 16);
  EXPECT_EQ(menu.GetFirstItem()->next != nullptr, true);
  EXPECT_EQ(b->y, 1 + 16 + 1);
  EXPECT_EQ(hidden->height, 0);
  EXPECT_EQ(a->width, b->width);
  EXPECT_GT(b->width, 2 * 16);
  EXPECT_EQ(shell->width, b->width + 2);
  EXPECT_EQ(shell->height, 16 + 1 + 16 + 2);
  // A change of an item lays the shell out again.
  b->SetVisible(false);
  EXPECT_EQ(shell->height, 16 + 1 + 2);
  delete shell;
}

TEST_F(MenuShell, ShortcutColumnWidensTheItems) {
  CWULMenu menu;
  CWULMenuItem* plain = AddItem(&menu, "Open", 1);
  auto* shell = new CWULPopupMenuShell();
  shell->SetMenu(&menu);
  const int without = plain->width;
  auto* shortcut = new CWULShortcut(WUL_KEY_VIRTUAL, 'O', WUL_MOD_CTRL);
  plain->SetShortcut(shortcut);
  EXPECT_GT(shell->shortcutWidth, 0);
  EXPECT_EQ(plain->width, without + shell->shortcutWidth + 16);
  delete shell;
  plain->SetShortcut(nullptr);
  wulGetTLS()->shortcutTable->Remove(shortcut);
}

TEST_F(MenuShell, RemovingTheHighlightedItemOfAShownMenu) {
  CWULMenu menu;
  AddItem(&menu, "a", 1);
  CWULMenuItem* b = AddItem(&menu, "b", 2);
  auto* shell = new CWULPopupMenuShell();
  shell->SetMenu(&menu);
  shell->SetHighlighted(b);
  EXPECT_EQ(menu.highlighted, b);
  const int tall = shell->height;
  menu.Remove(b);
  EXPECT_EQ(menu.highlighted, nullptr);
  EXPECT_EQ(shell->height, tall - 16);
  delete b;
  delete shell;
}

TEST_F(MenuShell, OpensBelowAndRightOfItsRectangle) {
  CWULMenu menu;
  AddItem(&menu, "Item", 1);
  auto* shell = new CWULPopupMenuShell();
  shell->SetMenu(&menu);
  RECT r = {100, 100, 101, 101};
  shell->SetExcludeRect(&r);
  shell->SetFlags(WUL_SHELL_ALIGN_X | WUL_SHELL_ALIGN_Y);
  EXPECT_EQ(shell->x, 100);
  EXPECT_EQ(shell->y, 100);
  EXPECT_EQ(shell->placement & 3, WUL_PLACED_RIGHT);
  shell->SetFlags(0);
  EXPECT_EQ(shell->x, 101);
  EXPECT_EQ(shell->y, 101);
  delete shell;
}

TEST_F(MenuShell, OpensLeftWhereTheRightDoesNotFit) {
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  CWULMenu menu;
  AddItem(&menu, "Item with some text", 1);
  auto* shell = new CWULPopupMenuShell();
  shell->SetMenu(&menu);
  RECT r = {screenWidth - 20, screenHeight - 5, screenWidth - 10, screenHeight - 2};
  shell->SetExcludeRect(&r);
  shell->SetFlags(0);
  EXPECT_EQ(shell->x, r.left - shell->width);
  EXPECT_EQ(shell->y, r.top - shell->height);
  EXPECT_EQ(shell->placement & 3, WUL_PLACED_LEFT);
  shell->SetFlags(WUL_SHELL_ALIGN_X | WUL_SHELL_ALIGN_Y);
  EXPECT_EQ(shell->x, r.right - shell->width);
  EXPECT_EQ(shell->y, r.bottom - shell->height);
  // Preferring the left where it fits.
  RECT middle = {400, 300, 420, 310};
  shell->SetExcludeRect(&middle);
  shell->SetFlags(WUL_SHELL_PREFER_LEFT | WUL_SHELL_PREFER_UP);
  EXPECT_EQ(shell->x, 400 - shell->width);
  EXPECT_EQ(shell->y, 300 - shell->height);
  EXPECT_EQ(shell->placement & 3, WUL_PLACED_LEFT);
  // 2 and 8 cancel 1 and 4.
  shell->SetFlags(WUL_SHELL_PREFER_LEFT | WUL_SHELL_PREFER_RIGHT | WUL_SHELL_PREFER_UP | WUL_SHELL_PREFER_DOWN);
  EXPECT_EQ(shell->x, 420);
  EXPECT_EQ(shell->y, 310);
  // No room on the left: the right side.
  RECT edge = {5, 300, 10, 310};
  shell->SetExcludeRect(&edge);
  shell->SetFlags(WUL_SHELL_PREFER_LEFT);
  EXPECT_EQ(shell->x, 10);
  EXPECT_EQ(shell->placement & 3, WUL_PLACED_RIGHT);
  delete shell;
}

TEST_F(MenuShell, SecondShellCannotTakeTheMenu) {
  CWULMenu menu;
  auto* first = new CWULPopupMenuShell();
  auto* second = new CWULPopupMenuShell();
  first->SetMenu(&menu);
  try {
    second->SetMenu(&menu);
    FAIL() << "no error";
  } catch (const CWULError& error) {
    EXPECT_EQ(error.code, 1);
    EXPECT_STREQ(error.location, "CWULPopupMenuShell::SetMenu");
    EXPECT_STREQ(error.description, "Cannot assign a menu already being used");
  }
  EXPECT_EQ(menu.listener, first);
  EXPECT_EQ(WULPopupMenuEx(&menu, nullptr, 0), 0);
  delete second;
  delete first;
  EXPECT_EQ(menu.listener, nullptr);
}

TEST_F(MenuShell, ShellFollowsADestroyedMenu) {
  auto* menu = new CWULMenu();
  auto* shell = new CWULPopupMenuShell();
  shell->SetMenu(menu);
  delete menu;
  EXPECT_EQ(shell->menu, nullptr);
  delete shell;
}

TEST_F(MenuShell, HighlightSkipsSeparatorsDisabledAndHiddenAndWraps) {
  CWULMenu menu;
  CWULMenuItem* a = AddItem(&menu, "a", 1);
  AddItem(&menu, "", 0, WUL_MENU_SEPARATOR);
  CWULMenuItem* off = AddItem(&menu, "off", 2);
  off->SetEnabled(false);
  CWULMenuItem* gone = AddItem(&menu, "gone", 3);
  gone->SetVisible(false);
  CWULMenuItem* d = AddItem(&menu, "d", 4);
  auto* shell = new CWULPopupMenuShell();
  shell->SetMenu(&menu);
  shell->HighlightNext();
  EXPECT_EQ(menu.highlighted, a);
  shell->HighlightNext();
  EXPECT_EQ(menu.highlighted, d);
  shell->HighlightNext();
  EXPECT_EQ(menu.highlighted, a);
  shell->HighlightPrev();
  EXPECT_EQ(menu.highlighted, d);
  delete shell;
}

TEST_F(MenuShell, MenuWithoutSelectableItemsKeepsNoHighlight) {
  CWULMenu menu;
  AddItem(&menu, "", 0, WUL_MENU_SEPARATOR);
  AddItem(&menu, "off", 2)->SetEnabled(false);
  auto* shell = new CWULPopupMenuShell();
  shell->SetMenu(&menu);
  shell->HighlightNext();
  EXPECT_EQ(menu.highlighted, nullptr);
  shell->HighlightPrev();
  shell->HighlightFirst();
  EXPECT_EQ(menu.highlighted, nullptr);
  delete shell;
}

// --- running popup menus ---

TEST_F(MenuShell, KeyboardChoosesAndReturnsTheValue) {
  CWULMenu menu;
  menu.openCallback = Opened;
  menu.closeCallback = ClosedMenu;
  AddItem(&menu, "&First", 11);
  AddItem(&menu, "", 0, WUL_MENU_SEPARATOR);
  AddItem(&menu, "&Disabled", 12)->SetEnabled(false);
  CWULMenuItem* third = AddItem(&menu, "&Third", 13);
  third->clickCallback = Clicked;
  MenuScript script(&menu);
  script.Then([&] { return menu.IsOpen(); }).Key(&menu, VK_DOWN).Key(&menu, VK_DOWN).Key(&menu, VK_RETURN);
  RECT r = {200, 200, 240, 220};
  EXPECT_EQ(WULPopupMenuEx(&menu, &r, 0), 13);
  EXPECT_TRUE(script.Finished());
  EXPECT_EQ(menu.listener, nullptr);
  EXPECT_FALSE(menu.IsOpen());
  std::vector<std::string> expected = {"open", "close", "click &Third"};
  EXPECT_EQ(g_events, expected);
}

TEST_F(MenuShell, EscapeReturnsNothing) {
  CWULMenu menu;
  AddItem(&menu, "&One", 1);
  MenuScript script(&menu);
  script.Key(&menu, VK_DOWN).Key(&menu, VK_ESCAPE);
  EXPECT_EQ(WULPopupMenu(&menu, 50, 50), 0);
  EXPECT_TRUE(script.Finished());
  EXPECT_EQ(menu.listener, nullptr);
  EXPECT_EQ(menu.highlighted, nullptr);
}

TEST_F(MenuShell, MnemonicChoosesAndIgnoresDisabledItems) {
  CWULMenu menu;
  AddItem(&menu, "&Alpha", 1);
  AddItem(&menu, "&Beta", 2)->SetEnabled(false);
  AddItem(&menu, "&Gamma", 3)->visible = false;
  AddItem(&menu, "&Galaxy", 4);
  AddItem(&menu, "&Bravo", 5);
  MenuScript script(&menu);
  // The disabled and the hidden item hand their letter on to the next item that has it.
  script.Char(&menu, 'b');
  EXPECT_EQ(WULPopupMenu(&menu, 60, 60), 5);
  MenuScript again(&menu);
  again.Char(&menu, 'g');
  EXPECT_EQ(WULPopupMenu(&menu, 60, 60), 4);
}

TEST_F(MenuShell, KeysFromAnotherWindowReachTheMenu) {
  auto* other = new ProbeInteractor();
  other->Incarnate(nullptr);
  CWULMenu menu;
  AddItem(&menu, "&One", 1);
  AddItem(&menu, "&Two", 2);
  MenuScript script(&menu);
  script.Then([&] { return menu.IsOpen(); })
      .Then([&] {
        PostMessageA(other->window, WM_KEYDOWN, VK_DOWN, 1);
        PostMessageA(other->window, WM_KEYDOWN, VK_DOWN, 1);
        PostMessageA(other->window, WM_KEYDOWN, VK_RETURN, 1);
        return true;
      });
  EXPECT_EQ(WULPopupMenu(&menu, 60, 60), 2);
  EXPECT_EQ(other->log->Count(WM_KEYDOWN), 0);
  delete other;
}

TEST_F(MenuShell, MouseClickChoosesTheItemUnderThePointer) {
  CWULMenu menu;
  AddItem(&menu, "One", 1);
  CWULMenuItem* two = AddItem(&menu, "Two", 2);
  AddItem(&menu, "Three", 3);
  MenuScript script(&menu);
  script.Click(&menu, two);
  EXPECT_EQ(WULPopupMenu(&menu, 80, 80), 2);
}

TEST_F(MenuShell, ClickOnAnotherWindowClosesAndReachesThatWindow) {
  auto* other = new ProbeInteractor();
  other->Incarnate(nullptr);
  CWULMenu menu;
  AddItem(&menu, "One", 1);
  MenuScript script(&menu);
  script.Then([&] { return menu.IsOpen(); }).Then([&] {
    PostMessageA(other->window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
    return true;
  });
  EXPECT_EQ(WULPopupMenu(&menu, 80, 80), 0);
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, other->window, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_NOREMOVE));
  delete other;
}

TEST_F(MenuShell, AltClosesTheMenuAndStaysQueued) {
  CWULMenu menu;
  AddItem(&menu, "One", 1);
  MenuScript script(&menu);
  script.Post(&menu, WM_SYSKEYDOWN, VK_MENU, 1 << 29);
  EXPECT_EQ(WULPopupMenu(&menu, 80, 80), 0);
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_SYSKEYDOWN, WM_SYSKEYDOWN, PM_NOREMOVE));
  EXPECT_EQ(message.wParam, static_cast<WPARAM>(VK_MENU));
}

TEST_F(MenuShell, KeyboardWalksThreeLevelsAndEveryShellEnds) {
  CWULMenu top;
  top.font.faceName.Assign("top");
  top.itemChosenCallback = Chosen;
  AddItem(&top, "&Plain", 1);
  CWULMenu* second = AddSubmenu(&top, "&Second", "second");
  second->itemChosenCallback = Chosen;
  CWULMenu* third = AddSubmenu(second, "&Third", "third");
  third->itemChosenCallback = Chosen;
  AddItem(third, "&Leaf", 42)->clickCallback = Clicked;
  AddItem(third, "&Other", 43);
  CWULPopupMenuShell* shells[3] = {};
  MenuScript script(&top);
  script.Key(&top, VK_DOWN)
      .Key(&top, VK_DOWN)
      .Key(&top, VK_RIGHT)
      .Then([&] { return MenuScript::ShellOf(second) != nullptr; })
      .Then([&] {
        // Opened by keyboard: the first item is highlighted at once.
        EXPECT_EQ(second->highlighted, second->GetFirstItem());
        return true;
      })
      .Char(second, 't')
      .Then([&] {
        shells[0] = MenuScript::ShellOf(&top);
        shells[1] = MenuScript::ShellOf(second);
        shells[2] = MenuScript::ShellOf(third);
        return shells[2] != nullptr && third->highlighted != nullptr;
      })
      .Then([&] {
        // The submenu opens beside its item.
        CWULMenuItem* holder = second->GetFirstItem();
        EXPECT_EQ(shells[2]->y, shells[1]->y + holder->y - 1);
        EXPECT_EQ(shells[2]->x, shells[1]->x + holder->x + holder->width - 2);
        EXPECT_EQ(shells[2]->parent, shells[1]);
        return true;
      })
      .Key(third, VK_RETURN);
  EXPECT_EQ(WULPopupMenu(&top, 100, 100), 42);
  std::vector<std::string> expected = {"click &Leaf", "chosen third:&Leaf", "chosen second:&Leaf",
                                       "chosen top:&Leaf"};
  EXPECT_EQ(g_events, expected);
  EXPECT_EQ(top.listener, nullptr);
  EXPECT_EQ(second->listener, nullptr);
  EXPECT_EQ(third->listener, nullptr);
  for (CWULPopupMenuShell* shell : shells) {
    ASSERT_NE(shell, nullptr);
    EXPECT_FALSE(shell->IsRunning());
  }
}

TEST_F(MenuShell, MenuOnTheLeftOpensItsSubmenusOnTheLeft) {
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  CWULMenu top;
  CWULMenu* sub = AddSubmenu(&top, "&Sub", "sub");
  AddItem(sub, "&Inner item", 5);
  RECT placed[2] = {};
  int topPlacement = 0;
  MenuScript script(&top);
  script.Char(&top, 's')
      .Then([&] {
        CWULPopupMenuShell* parentShell = MenuScript::ShellOf(&top);
        CWULPopupMenuShell* childShell = MenuScript::ShellOf(sub);
        if (!childShell)
          return false;
        parentShell->GetScreenRect(&placed[0]);
        childShell->GetScreenRect(&placed[1]);
        topPlacement = parentShell->placement & 3;
        return true;
      })
      .Key(sub, VK_RETURN);
  EXPECT_EQ(WULPopupMenu(&top, screenWidth - 5, 100), 5);
  EXPECT_EQ(topPlacement, WUL_PLACED_LEFT);
  EXPECT_EQ(placed[0].right, screenWidth - 4);
  // Beside the left edge of its row, although the right side would have room.
  EXPECT_EQ(placed[1].right, placed[0].left + 1 + 2);
}

TEST_F(MenuShell, LeftClosesOnlyTheSubmenu) {
  CWULMenu top;
  CWULMenu* sub = AddSubmenu(&top, "&Sub", "sub");
  AddItem(sub, "&Inner", 5);
  AddItem(&top, "&After", 6);
  MenuScript script(&top);
  script.Key(&top, VK_DOWN)
      .Key(&top, VK_RIGHT)
      .Then([&] { return MenuScript::ShellOf(sub) != nullptr; })
      .Key(sub, VK_LEFT)
      .Then([&] { return sub->listener == nullptr; })
      .Key(&top, VK_DOWN)
      .Key(&top, VK_RETURN);
  EXPECT_EQ(WULPopupMenu(&top, 100, 100), 6);
}

TEST_F(MenuShell, EscapeInASubmenuReturnsToItsParent) {
  CWULMenu top;
  CWULMenu* sub = AddSubmenu(&top, "&Sub", "sub");
  AddItem(sub, "&Inner", 5);
  AddItem(&top, "&After", 6);
  MenuScript script(&top);
  script.Char(&top, 's')
      .Then([&] { return MenuScript::ShellOf(sub) != nullptr; })
      .Key(sub, VK_ESCAPE)
      .Then([&] { return sub->listener == nullptr; })
      .Then([&] { return top.listener != nullptr; })
      .Char(&top, 'a');
  EXPECT_EQ(WULPopupMenu(&top, 100, 100), 6);
}

TEST_F(MenuShell, SubmenuOpensWhenThePointerRestsOnItsItem) {
  CWULMenu top;
  AddItem(&top, "Plain", 1);
  CWULMenu* sub = AddSubmenu(&top, "Sub", "sub");
  AddItem(sub, "&Inner", 9);
  CWULMenuItem* holder = top.GetLastItem();
  DWORD movedAt = 0;
  SetCursorPos(0, 0);
  MenuScript script(&top);
  script.Then([&] {
          CWULPopupMenuShell* shell = MenuScript::ShellOf(&top);
          if (!shell || !shell->IsRunning())
            return false;
          const int px = holder->x + 4;
          const int py = holder->y + holder->height / 2;
          SetCursorPos(shell->x + px, shell->y + py);
          PostMessageA(shell->window, WM_MOUSEMOVE, 0, MAKELPARAM(px, py));
          movedAt = GetTickCount();
          return true;
        })
      .Then([&] { return MenuScript::ShellOf(sub) != nullptr; })
      .Then([&] {
        EXPECT_GE(GetTickCount() - movedAt, static_cast<DWORD>(wulSubmenuDelay));
        EXPECT_EQ(top.highlighted, holder);
        return true;
      })
      .Char(sub, 'i');
  EXPECT_EQ(WULPopupMenu(&top, 150, 150), 9);
}

TEST_F(MenuShell, HighlightFromTheKeyboardOpensNoSubmenu) {
  CWULMenu top;
  CWULMenu* sub = AddSubmenu(&top, "Sub", "sub");
  AddItem(sub, "Inner", 9);
  bool stayedClosed = false;
  DWORD since = 0;
  MenuScript script(&top);
  script.Key(&top, VK_DOWN)
      .Then([&] {
        since = GetTickCount();
        return top.highlighted != nullptr;
      })
      .Then([&] {
        if (GetTickCount() - since < static_cast<DWORD>(2 * wulSubmenuDelay))
          return false;
        stayedClosed = sub->listener == nullptr;
        return true;
      })
      .Key(&top, VK_ESCAPE);
  EXPECT_EQ(WULPopupMenu(&top, 150, 150), 0);
  EXPECT_TRUE(stayedClosed);
}

TEST_F(MenuShell, HintAppearsAfterTheDelayAndGoesWithTheHighlight) {
  const int32_t savedDelay = wulHintDelay;
  wulHintDelay = 100;
  CWULMenu menu;
  CWULMenuItem* first = AddItem(&menu, "First", 1);
  first->hint.Assign("Helpful text");
  CWULMenuItem* second = AddItem(&menu, "Second", 2);
  std::string shownText;
  SetCursorPos(0, 0);
  MenuScript script(&menu);
  script.Then([&] {
          CWULPopupMenuShell* shell = MenuScript::ShellOf(&menu);
          if (!shell || !shell->IsRunning())
            return false;
          const int px = first->x + 4;
          const int py = first->y + 4;
          SetCursorPos(shell->x + px, shell->y + py);
          PostMessageA(shell->window, WM_MOUSEMOVE, 0, MAKELPARAM(px, py));
          return true;
        })
      .Then([&] {
        CWULPopupMenuShell* shell = MenuScript::ShellOf(&menu);
        if (!shell->hintSlot.Get())
          return false;
        shownText = shell->hintSlot.Get()->GetText();
        return true;
      })
      .Then([&] {
        CWULPopupMenuShell* shell = MenuScript::ShellOf(&menu);
        shell->SetHighlighted(second);
        EXPECT_EQ(shell->hintSlot.Get(), nullptr);
        return true;
      })
      .Key(&menu, VK_ESCAPE);
  WULPopupMenu(&menu, 150, 150);
  wulHintDelay = savedDelay;
  EXPECT_EQ(shownText, "Helpful text");
}

TEST_F(MenuShell, HintsDestroyedFromOutsideAreForgotten) {
  // As when all of the thread's windows are closed: the tooltip deletes itself.
  auto destroyShown = [](CWULHintSlot& slot) {
    ASSERT_NE(slot.Get(), nullptr);
    DestroyWindow(slot.Get()->GetHandle());
    EXPECT_EQ(slot.Get(), nullptr);
  };
  CWULMenu menu;
  CWULMenuItem* item = AddItem(&menu, "First", 1);
  item->hint.Assign("Helpful text");
  auto* shell = new CWULPopupMenuShell();
  shell->SetMenu(&menu);
  shell->Incarnate(nullptr);
  shell->ShowHint(item);
  destroyShown(shell->hintSlot);
  shell->HideHint();
  shell->ShowHint(item);
  EXPECT_NE(shell->hintSlot.Get(), nullptr);
  delete shell;

  // The menu bar's hint alike.
  auto* app = new CWULAppWindow();
  auto* bar = new CWULMenu();
  CWULMenuItem* title = AddItem(bar, "&File", 1);
  title->hint.Assign("Files");
  app->SetMenu(bar);
  app->Incarnate(nullptr);
  app->ShowItemHint(title);
  destroyShown(app->hintSlot);
  app->HideItemHint();
  delete app;
  SettleWindows();
}

TEST_F(MenuShell, ErrorInAClickCallbackIsShownAndTheChoiceStands) {
  BoxWatcher boxes("WUL Error");
  CWULMenu menu;
  CWULMenuItem* item = AddItem(&menu, "&Bad", 3);
  item->clickCallback = [](CWULMenuItem*, CWULMenuItem*) { wulThrowError(5, "Test::Click", "Click failed"); };
  MenuScript script(&menu);
  script.Char(&menu, 'b');
  EXPECT_EQ(WULPopupMenu(&menu, 100, 100), 3);
  ASSERT_TRUE(boxes.WaitFor(1));
  EXPECT_NE(boxes.Texts()[0].find("Click failed"), std::string::npos);
}

TEST_F(MenuShell, QuitEndsTheMenuAndIsPostedAgain) {
  CWULMenu menu;
  AddItem(&menu, "One", 1);
  MenuScript script(&menu);
  script.Then([&] { return menu.IsOpen(); }).Then([] {
    PostQuitMessage(4);
    return true;
  });
  EXPECT_EQ(WULPopupMenu(&menu, 100, 100), 0);
  EXPECT_EQ(menu.listener, nullptr);
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 4u);
}

TEST_F(MenuShell, ClosedShellIsDeletedWithItsWindow) {
  CWULMenu menu;
  AddItem(&menu, "One", 1);
  CWULPopupMenuShell* shell = nullptr;
  HWND handle = nullptr;
  MenuScript script(&menu);
  script.Then([&] {
          shell = MenuScript::ShellOf(&menu);
          handle = shell ? shell->window : nullptr;
          return shell != nullptr;
        })
      .Key(&menu, VK_ESCAPE);
  WULPopupMenu(&menu, 100, 100);
  ASSERT_NE(handle, nullptr);
  EXPECT_TRUE(IsWindow(handle));
  SettleWindows();
  EXPECT_FALSE(IsWindow(handle));
}

// --- painting ---

class MenuPaint : public MenuShell {
protected:
  // Paints the whole shell into a buffer of its size and returns the buffer's image.
  CWULImage* Paint(CWULPopupMenuShell* shell) {
    buffer.SetSize(shell->width, shell->height);
    PAINTSTRUCT paint = {};
    paint.hdc = buffer.GetDC();
    paint.rcPaint = {0, 0, shell->width, shell->height};
    shell->OnPaint(&paint);
    GdiFlush();
    return buffer.GetImage();
  }
  static uint32_t Rgb(uint32_t pixel) { return pixel & 0xFFFFFFu; }
  CWULOffscreenBuffer buffer;
};

TEST_F(MenuPaint, ColoursOfTheSystemLook) {
  CWULMenu menu;
  CWULMenuItem* plain = AddItem(&menu, "Plain", 1);
  CWULMenuItem* separator = AddItem(&menu, "", 0, WUL_MENU_SEPARATOR);
  CWULMenuItem* hot = AddItem(&menu, "Hot", 2);
  CWULMenuItem* check = AddItem(&menu, "Check", 3, WUL_MENU_CHECK);
  check->SetChecked(true);
  CWULMenuItem* radio = AddItem(&menu, "Radio", 4, WUL_MENU_RADIO);
  radio->SetChecked(true);
  CWULMenu* sub = AddSubmenu(&menu, "Sub", "sub");
  (void)sub;
  CWULMenuItem* holder = menu.GetLastItem();
  auto* shell = new CWULPopupMenuShell();
  shell->SetMenu(&menu);
  shell->SetHighlighted(hot);
  CWULImage* image = Paint(shell);
  ASSERT_NE(image, nullptr);
  // Outline in the look's dark shade, plain rows in the menu background.
  EXPECT_EQ(Rgb(image->GetPixel(0, 0)), 0x202020u);
  EXPECT_EQ(Rgb(image->GetPixel(shell->width - 1, shell->height - 1)), 0x202020u);
  EXPECT_EQ(Rgb(image->GetPixel(plain->x + 2, plain->y + 1)), 0xC0C0C0u);
  EXPECT_EQ(Rgb(image->GetPixel(plain->x + plain->width - 2, plain->y + 8)), 0xC0C0C0u);
  // The separator is a line of the dark shade.
  EXPECT_EQ(Rgb(image->GetPixel(separator->x + 5, separator->y)), 0x202020u);
  // The highlighted row takes the second menu colour.
  EXPECT_EQ(Rgb(image->GetPixel(hot->x + 2, hot->y + 1)), 0x505070u);
  EXPECT_EQ(Rgb(image->GetPixel(hot->x + hot->width - 2, hot->y + 14)), 0x505070u);
  // A checked check item: a square in the text colour, inset by (16 + 2) / 4 = 4.
  EXPECT_EQ(Rgb(image->GetPixel(check->x + 4, check->y + 4)), 0x000000u);
  EXPECT_EQ(Rgb(image->GetPixel(check->x + 11, check->y + 11)), 0x000000u);
  EXPECT_EQ(Rgb(image->GetPixel(check->x + 3, check->y + 3)), 0xC0C0C0u);
  EXPECT_EQ(Rgb(image->GetPixel(check->x + 12, check->y + 12)), 0xC0C0C0u);
  // A checked radio item: a disc, solid in the middle and background at the box corner.
  EXPECT_EQ(Rgb(image->GetPixel(radio->x + 8, radio->y + 8)), 0x000000u);
  EXPECT_EQ(Rgb(image->GetPixel(radio->x + 4, radio->y + 4)), 0xC0C0C0u);
  // The submenu arrow: side 16 / 12 + 2 = 3, left edge (16 - 3 - 1) / 2 = 6 into the last square.
  const int ax = holder->x + holder->width - 16 + 6;
  EXPECT_EQ(Rgb(image->GetPixel(ax + 1, holder->y + 8)), 0x000000u);
  EXPECT_EQ(Rgb(image->GetPixel(ax - 2, holder->y + 8)), 0xC0C0C0u);
  delete shell;
}

TEST_F(MenuPaint, DisabledTextIsBlendedAndEmptyMenuIsFilled) {
  CWULMenu menu;
  menu.font.SetHeight(-16);
  menu.font.SetBold(true);
  CWULMenuItem* off = AddItem(&menu, "WWWWWWWW", 1);
  off->SetEnabled(false);
  auto* shell = new CWULPopupMenuShell();
  shell->SetMenu(&menu);
  CWULImage* image = Paint(shell);
  ASSERT_NE(image, nullptr);
  // Text pixels of a disabled item lie half-way between black and the background.
  bool sawBlend = false;
  bool sawBlack = false;
  for (int py = off->y; py < off->y + off->height; py++) {
    for (int px = off->x + 16; px < off->x + off->width - 16; px++) {
      uint32_t c = Rgb(image->GetPixel(px, py));
      sawBlend = sawBlend || c == 0x606060u;
      sawBlack = sawBlack || c == 0;
    }
  }
  EXPECT_TRUE(sawBlend);
  EXPECT_FALSE(sawBlack);
  delete shell;

  CWULMenu empty;
  auto* emptyShell = new CWULPopupMenuShell();
  emptyShell->SetMenu(&empty);
  image = Paint(emptyShell);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(Rgb(image->GetPixel(0, 0)), 0x202020u);
  EXPECT_EQ(Rgb(image->GetPixel(9, 9)), 0xC0C0C0u);
  delete emptyShell;
}

TEST_F(MenuPaint, PictureItemIsCentred) {
  CWULMenu menu;
  auto* picture = new CWULImage(6, 4);
  picture->Fill(CWULColor(255, 0, 0));
  CWULMenuItem* item = AddItem(&menu, "", 1, WUL_MENU_PICTURE);
  item->SetImage(picture);
  AddItem(&menu, "Wide text entry", 2);
  auto* shell = new CWULPopupMenuShell();
  shell->SetMenu(&menu);
  EXPECT_EQ(item->height, 4);
  CWULImage* image = Paint(shell);
  ASSERT_NE(image, nullptr);
  const int left = item->x + (item->width - 6) / 2;
  EXPECT_EQ(Rgb(image->GetPixel(left, item->y)), 0xFF0000u);
  EXPECT_EQ(Rgb(image->GetPixel(left + 5, item->y + 3)), 0xFF0000u);
  EXPECT_EQ(Rgb(image->GetPixel(left - 1, item->y)), 0xC0C0C0u);
  delete shell;
}

TEST_F(MenuPaint, TooltipPaintsTranslucentBackgroundAndOpaqueBorder) {
  auto* tip = new CWULTooltip();
  tip->SetText("Tip");
  EXPECT_GT(tip->width, 2 * tip->margin + 2);
  CWULImage* image = tip->buffer->GetImage();
  ASSERT_NE(image, nullptr);
  tip->Render();
  const uint32_t border = image->GetPixel(0, 0);
  const uint32_t inside = image->GetPixel(1, 1);
  if (tip->IsLayered()) {
    EXPECT_EQ(border, 0xFFF0F0F0u);
    EXPECT_EQ(inside >> 24, 128u);
  } else {
    EXPECT_EQ(border & 0xFFFFFFu, 0xF0F0F0u);
    EXPECT_EQ(inside & 0xFFFFFFu, 0xC04040u);
  }
  delete tip;
}

TEST_F(MenuPaint, LongTooltipTextWraps) {
  auto* tip = new CWULTooltip();
  tip->SetText("short");
  const int oneLine = tip->height;
  std::string text;
  for (int i = 0; i < 40; i++)
    text += "word ";
  tip->SetText(text.c_str());
  EXPECT_LE(tip->width, 400);
  EXPECT_GT(tip->height, oneLine);
  delete tip;
}

}  // namespace
