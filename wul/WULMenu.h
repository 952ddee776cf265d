#pragma once
// Menus drawn by the framework itself: a CWULMenu is a plain object (not a window) holding
// an ordered list of CWULMenuItems, each of which may own a submenu. Popup menu shells and
// the application window's menu bar show them.
#include <cstdint>
#include "wul/WULColor.h"
#include "wul/WULFont.h"
#include "wul/WULList.h"
#include "wul/WULObject.h"
#include "wul/WULString.h"

class CWULImage;
class CWULInteractor;
class CWULMenuItem;
class CWULShortcut;

class CWULMenu : public CWULObject {
public:
  typedef void (*DestroyCallback)(CWULMenu* menu, CWULMenu* sender);
  typedef void (*OpenCallback)(CWULMenu* menu);
  typedef void (*HighlightChangedCallback)(CWULMenu* menu, CWULMenuItem* newItem, CWULMenuItem* oldItem);
  typedef void (*ItemChosenCallback)(CWULMenu* menu, CWULMenu* sender, CWULMenuItem* item);

  CWULMenu();
  // Tells the listener, then deletes the items (and with them their submenus).
  ~CWULMenu() override;

  // Changes of items, colours and font are passed on to the listener; an item chosen in
  // a submenu travels up the chain of owning menus.
  int32_t HandleNotify(CWULObject* sender, int32_t code, intptr_t param) override;

  // Both take the item out of its old menu first; before null appends.
  void Append(CWULMenuItem* item) { Insert(item, nullptr); }
  void Insert(CWULMenuItem* item, CWULMenuItem* before);
  void Remove(CWULMenuItem* item);
  // Tells the listener, activates the item, then runs the item-chosen callbacks from
  // this menu up to the top-level menu.
  void ItemChosen(CWULMenuItem* item);
  // The first item whose text has ch as its mnemonic (wulMatchMnemonic); null when none.
  // With usableOnly, hidden and disabled items are passed over.
  CWULMenuItem* FindByMnemonic(int ch, bool usableOnly = false);
  // The first selectable item; null when none.
  CWULMenuItem* FirstSelectable() const;
  // The selectable item after (or before) the highlighted one, wrapping around; null when
  // no other item is selectable.
  CWULMenuItem* NextSelectable(bool forward) const;
  // What a shell or menu bar showing the menu runs, the callbacks bracketed by the host:
  // marking it open (nothing when already open), closed (nothing when not open), and
  // choosing one of its own items (nothing for another menu's).
  void RunOpen(CWULInteractor* host);
  void RunClose(CWULInteractor* host);
  void ChooseItem(CWULMenuItem* item, CWULInteractor* host);
  void SetItemHeight(int height);

  CWULMenuItem* GetOwnerItem() const { return ownerItem; }
  bool IsOpen() const { return open != 0; }
  CWULMenuItem* GetFirstItem() const;
  CWULMenuItem* GetLastItem() const;
  // The parent menu's values while inherited, else the own members.
  CWULColor& GetEffectiveColor1();
  CWULColor& GetEffectiveColor2();
  CWULColor& GetEffectiveColor3();
  CWULFont& GetEffectiveFont();
  // The menu that holds the owner item, or null.
  CWULMenu* GetParentMenu() const;

  CWULColor color1;  // background
  CWULFont font;
  CWULColor color2;  // background of the highlighted item
  CWULColor color3;  // text of the highlighted item
  DestroyCallback destroyCallback;
  OpenCallback openCallback;
  OpenCallback closeCallback;
  HighlightChangedCallback highlightChangedCallback;
  ItemChosenCallback itemChosenCallback;
  uint8_t open;
  CWULMenuItem* ownerItem;  // the item whose submenu this is
  uint8_t inheritColors;
  uint8_t inheritFont;
  int32_t itemHeight;
  CWULList items;
  CWULMenuItem* highlighted;

private:
  void Renumber(CWULMenuItem* from);

  CWULMenu(const CWULMenu&) = delete;
  CWULMenu& operator=(const CWULMenu&) = delete;
};

// Item types.
enum {
  WUL_MENU_NORMAL = 1,
  WUL_MENU_CHECK = 2,
  WUL_MENU_RADIO = 3,
  WUL_MENU_PICTURE = 4,  // an image only
  WUL_MENU_SEPARATOR = 5
};

class CWULMenuItem : public CWULObject, public CWULListNode {
public:
  typedef void (*HighlightCallback)(CWULMenuItem* item);
  typedef void (*ClickCallback)(CWULMenuItem* item, CWULMenuItem* sender);

  explicit CWULMenuItem(const char* itemText = nullptr);
  // Leaves its radio group and its menu, deletes its submenu.
  ~CWULMenuItem() override;

  // The text and hint report here; a change of them alone re-lays nothing out.
  int32_t HandleNotify(CWULObject* sender, int32_t code, intptr_t param) override;

  // Through the owner menu as if chosen there; without one, Activate.
  void Click();
  // Click callback, then the check or radio state follows.
  void Activate();
  // Links this item's radio group after other's; returns other's last member.
  CWULMenuItem* JoinGroup(CWULMenuItem* other);
  void LeaveGroup();

  void SetType(int newType);
  void SetText(const char* newText);
  void SetImage(CWULImage* image);
  void SetHotImage(CWULImage* image);
  void SetCheckedImage(CWULImage* image);
  void SetDisabledImage(CWULImage* image);
  void SetChecked(bool on);
  void SetBold(bool on);
  void SetVisible(bool on);
  void SetEnabled(bool on);
  void SetShortcut(CWULShortcut* newShortcut);
  // The old submenu is released, not deleted. Throws CWULError 1 for a menu that already
  // belongs to an item.
  void SetSubmenu(CWULMenu* menu);

  CWULMenu* GetOwner() const;
  const char* GetText() const { return text.text; }
  const char* GetHint() const { return hint.text; }
  bool IsBold() const { return bold != 0; }
  bool IsSelectable() const;  // visible, enabled and not a separator

  int32_t value;  // the application's command value
  HighlightCallback highlightCallback;
  ClickCallback clickCallback;
  ClickCallback checkChangedCallback;
  int32_t index;  // 1-based place in the owner menu, 0 outside a menu
  CWULMenuItem* radioPrev;
  CWULMenuItem* radioNext;
  int32_t type;
  uint8_t checked;
  uint8_t bold;
  uint8_t visible;
  uint8_t enabled;
  CWULMenu* submenu;  // owned
  CWULShortcut* shortcut;  // referenced, shown as key text
  CWULImage* image;
  CWULImage* hotImage;       // while highlighted and enabled
  CWULImage* checkedImage;   // while checked
  CWULImage* disabledImage;
  // Layout in the shell showing the item.
  int32_t width;
  int32_t height;
  int32_t x;
  int32_t y;
  CWULString text;  // may hold a mnemonic '&'
  CWULString hint;  // shown as a tooltip

private:
  void ReplaceImage(CWULImage** slot, CWULImage* newImage);

  CWULMenuItem(const CWULMenuItem&) = delete;
  CWULMenuItem& operator=(const CWULMenuItem&) = delete;
};
