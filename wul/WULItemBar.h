#pragma once
// A child container of freely placed items that are not windows: each bar item is a
// plain object with a rectangle inside the bar. The bar paints every item into one
// offscreen buffer, tracks the item under the pointer, shows its hint and forwards mouse
// presses to it. CWULStandardBarItem is the painted button item with images for its
// states, push, exclusive or toggle behaviour and a shortcut shown in the hint.
#include <windows.h>
#include <cstdint>
#include "wul/WULColor.h"
#include "wul/WULControl.h"
#include "wul/WULFramedWindow.h"
#include "wul/WULList.h"
#include "wul/WULOffscreen.h"
#include "wul/WULString.h"
#include "wul/WULTooltip.h"

class CWULImage;
class CWULItemBar;
class CWULShortcut;

// What a bar item tells its bar.
enum {
  WUL_BAR_NOTIFY_ERASE = 1,   // before a change: the old area goes
  WUL_BAR_NOTIFY_REPAINT = 2  // after a change: the item is painted again
};

// Item kinds.
enum {
  WUL_BAR_ITEM_PLAIN = 0,
  WUL_BAR_ITEM_STANDARD = 2  // its hint carries the shortcut's key text
};

class CWULBarItem : public CWULObject, public CWULListNode {
public:
  CWULBarItem();
  // Leaves its bar first.
  ~CWULBarItem() override;

  // The bar that holds the item, or null.
  CWULItemBar* GetBar() const;

  virtual void SetPosition(int newX, int newY);
  virtual void SetSize(int newWidth, int newHeight);
  virtual void SetBounds(int newX, int newY, int newWidth, int newHeight);
  virtual void SetSizePosition(int newWidth, int newHeight, int newX, int newY);
  virtual void SetRect(const RECT* rect);
  virtual void SetRect(int left, int top, int right, int bottom);
  virtual void GetRect(RECT* rect);
  virtual void Show();
  virtual void Hide();
  virtual void Enable();
  virtual void Disable();
  virtual int GetKind();
  virtual const char* GetText();
  // Does not repaint.
  virtual void SetText(const char* newText);
  virtual int GetWidth();
  virtual void SetWidth(int value);
  virtual int GetHeight();
  virtual void SetHeight(int value);
  virtual int GetX();
  virtual void SetX(int value);
  virtual int GetY();
  virtual void SetY(int value);
  virtual int GetRight();
  virtual void SetRight(int value);  // moves, keeping the width
  virtual int GetBottom();
  virtual void SetBottom(int value);
  virtual bool IsVisible();
  virtual void SetVisible(bool on);
  virtual bool IsEnabled();
  virtual void SetEnabled(bool on);
  // Pointer input while the bar holds the mouse, relative to the item; nothing here.
  virtual void MouseDown(int mx, int my);
  virtual void MouseMove(int mx, int my);
  virtual void MouseUp(int mx, int my);
  // Paints the item at its place in the bar's buffer.
  virtual void Paint(CWULOffscreenBuffer* buffer) = 0;

  int32_t value;  // the application's value
  int32_t kind;
  int32_t width;
  int32_t height;
  int32_t x;
  int32_t y;
  uint8_t visible;
  uint8_t enabled;
  CWULString text;  // the hint

private:
  CWULBarItem(const CWULBarItem&) = delete;
  CWULBarItem& operator=(const CWULBarItem&) = delete;
};

// Images of a standard item's states.
enum {
  WUL_BAR_IMAGE_NORMAL = 0,
  WUL_BAR_IMAGE_HOT = 1,
  WUL_BAR_IMAGE_PRESSED = 2,
  WUL_BAR_IMAGE_CHECKED = 3,
  WUL_BAR_IMAGE_CHECKED_HOT = 4,
  WUL_BAR_IMAGE_DISABLED = 5,
  WUL_BAR_IMAGE_DISABLED_CHECKED = 6,
  WUL_BAR_IMAGE_COUNT = 7
};

// Behaviours of a standard item: WUL_BEHAVIOUR_PUSH, _EXCLUSIVE and _TOGGLE (WULControl.h).
class CWULStandardBarItem : public CWULBarItem {
public:
  typedef void (*Callback)(CWULStandardBarItem* item, CWULStandardBarItem* sender);

  CWULStandardBarItem();
  // Leaves its group and gives back its images and shortcut.
  ~CWULStandardBarItem() override;

  void Paint(CWULOffscreenBuffer* buffer) override;
  // Links this item's group after the end of other's group; returns other's last member.
  virtual CWULStandardBarItem* JoinGroup(CWULStandardBarItem* other);
  virtual void LeaveGroup();
  // A click from the program, repainted afterwards.
  virtual void PerformClick();
  virtual int GetBehaviour();
  virtual void SetBehaviour(int value);
  virtual CWULImage* GetImage(int which);
  // Holds a reference to the new image and gives back the old one.
  virtual void SetImage(int which, CWULImage* image);
  virtual bool IsChecked();
  virtual void SetChecked(bool on);
  virtual CWULShortcut* GetShortcut();
  virtual void SetShortcut(CWULShortcut* newShortcut);
  // The click callback, then the behaviour's change of the checked state.
  virtual void Click();
  // The image the item shows in its present state, or null.
  virtual CWULImage* ChooseImage();

  void MouseDown(int mx, int my) override;
  void MouseMove(int mx, int my) override;
  void MouseUp(int mx, int my) override;

  Callback clickCallback;
  Callback checkChangedCallback;
  CWULStandardBarItem* groupPrev;
  CWULStandardBarItem* groupNext;
  int32_t behaviour;
  uint8_t pressed;
  uint8_t checked;
  CWULShortcut* shortcut;  // referenced, only shown in the hint
  CWULImage* images[WUL_BAR_IMAGE_COUNT];  // referenced, null when not set

private:
  bool IsHot() const;
};

// Item styles.
enum {
  WUL_ITEM_STYLE_FLAT = 0,    // no frames
  WUL_ITEM_STYLE_HOVER = 1,   // a frame only under the pointer
  WUL_ITEM_STYLE_RAISED = 2,  // raised frames
  WUL_ITEM_STYLE_BUTTONS = 3  // raised frames on the button colour, with an outline
};

// Frame styles of the bar itself.
enum {
  WUL_BAR_FRAME_NONE = 0,
  WUL_BAR_FRAME_RAISED = 1,
  WUL_BAR_FRAME_SUNKEN = 2
};

class CWULItemBar : public CWULContainer {
public:
  typedef void (*HoverCallback)(CWULItemBar* bar, CWULBarItem* newItem, CWULBarItem* oldItem);

  CWULItemBar();
  // Hides the hint and deletes the items.
  ~CWULItemBar() override;

  // Takes the item from its old bar and appends it.
  virtual void AddItem(CWULBarItem* item);
  virtual void RemoveItem(CWULBarItem* item);
  virtual void DeleteItem(CWULBarItem* item);
  virtual void DeleteAllItems();
  virtual int GetItemStyle();
  virtual void SetItemStyle(int value);
  virtual int GetFrameStyle();
  virtual void SetFrameStyle(int value);
  // The item under the pointer; the hint follows it.
  virtual void SetHot(CWULBarItem* item);
  virtual void ShowHint(CWULBarItem* item);
  virtual void HideHint();
  // Fills the item's area of the buffer with the bar's colour and shows it.
  virtual void EraseItem(CWULBarItem* item);
  // Paints the item into the buffer and shows it; an invisible item is erased.
  virtual void RepaintItem(CWULBarItem* item);
  // Paints the whole buffer: the bar's colour and every visible item.
  virtual void RepaintAll();
  // The first visible item whose rectangle holds the client point, or null.
  virtual CWULBarItem* ItemAtPoint(int cx, int cy);

  CWULBarItem* GetHot() const { return hotItem; }
  CWULBarItem* GetFirstItem() const { return static_cast<CWULBarItem*>(items.first); }
  // The shown hint, or null.
  CWULTooltip* GetHintWindow();
  // The rectangle the item covers in the buffer: its own, one pixel larger with style 3.
  void GetItemArea(CWULBarItem* item, RECT* rect);

  int32_t HandleNotify(CWULObject* sender, int32_t code, intptr_t param) override;
  void OnColorChanged() override;
  void OnSizeChanged() override;
  void ComputeInsets() override;
  LRESULT PaintNonClient(HDC dc) override;
  void MouseHover(int mx, int my) override;
  void MouseLeave() override;
  LRESULT OnLButtonDown(int keys, int mx, int my) override;
  LRESULT OnLButtonUp(int keys, int mx, int my) override;
  LRESULT OnLButtonDblClk(int keys, int mx, int my) override;
  LRESULT OnCaptureChanged(HWND newCapture) override;
  LRESULT OnEraseBackground(HDC dc) override;
  LRESULT OnPaint(PAINTSTRUCT* paint) override;

  CWULColor buttonColor;  // the face of item style 3
  HoverCallback hoverCallback;
  int32_t itemStyle;
  int32_t frameStyle;
  CWULList items;
  CWULBarItem* hotItem;
  DWORD hintStart;  // the tick count from which on the hint may show
  CWULHintSlot hintSlot;
  CWULOffscreenBuffer buffer;
  uint8_t holding;  // the bar holds the mouse for the hot item's press

private:
  static CWULBarItem* ItemOf(CWULListNode* node) { return static_cast<CWULBarItem*>(node); }
  bool Owns(const CWULBarItem* item) const { return item && item->listener == this; }
  void PaintItemInto(CWULBarItem* item);
  void EraseArea(const RECT* area, CWULBarItem* except);

  CWULItemBar(const CWULItemBar&) = delete;
  CWULItemBar& operator=(const CWULItemBar&) = delete;
};
