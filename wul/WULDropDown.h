#pragma once
// A control that shows one selected item and a button; the button (or Alt+Up/Alt+Down)
// opens a popup list of all items from which the user picks one.
#include <windows.h>
#include <cstdint>
#include "wul/WULControl.h"
#include "wul/WULImage.h"
#include "wul/WULList.h"
#include "wul/WULOffscreen.h"
#include "wul/WULString.h"

class CWULDropDown;
class CWULPopupList;

class CWULDropDownItem : public CWULObject, public CWULListNode {
public:
  CWULDropDownItem(int itemValue, const char* itemText);
  // Leaves its drop-down first and releases its image.
  ~CWULDropDownItem() override;
  CWULDropDownItem(const CWULDropDownItem&) = delete;
  CWULDropDownItem& operator=(const CWULDropDownItem&) = delete;

  // A change of the text is passed on to the drop-down.
  int32_t HandleNotify(CWULObject* sender, int32_t code, intptr_t param) override;

  void SetValue(int newValue);
  void SetText(const char* newText);
  // Takes a reference on the image and releases the old one; null removes it.
  void SetImage(CWULImage* newImage);

  CWULDropDown* GetOwner() const { return owner; }
  CWULDropDownItem* GetNext() const { return static_cast<CWULDropDownItem*>(next); }
  CWULDropDownItem* GetPrev() const { return static_cast<CWULDropDownItem*>(prev); }

  CWULDropDown* owner;  // also the listener; null when in no drop-down
  CWULImage* image;     // may be null
  int32_t index;        // 1-based position, 0 when in no drop-down
  int32_t value;        // the application's value
  int32_t tag;
  CWULString text;
};

class CWULDropDown : public CWULControl {
public:
  typedef void (*SelectionHandler)(CWULDropDown* control, CWULDropDownItem* newItem, CWULDropDownItem* oldItem);

  // 80 x (text line + 6), a tab stop, in the field colour.
  CWULDropDown();
  ~CWULDropDown() override;

  // Before null appends; an item of another drop-down is taken from it first.
  virtual void InsertItem(CWULDropDownItem* item, CWULDropDownItem* before = nullptr);
  virtual void SwapItems(CWULDropDownItem* a, CWULDropDownItem* b);
  // Neighbour exchanges by strcmp of the texts: equal texts keep their order.
  virtual void SortItems(bool descending);
  // The selection is cleared first when it is this item.
  virtual void RemoveItem(CWULDropDownItem* item);
  virtual void DeleteItem(CWULDropDownItem* item);
  virtual void Clear();
  virtual CWULDropDownItem* FindByValue(int itemValue);
  virtual CWULDropDownItem* FindByText(const char* itemText);
  virtual CWULDropDownItem* GetFirstItem();
  virtual CWULDropDownItem* GetLastItem();
  // The neighbour of the selection, the first item when none is selected.
  virtual void SelectNext();
  virtual void SelectPrevious();
  // Repaints and calls the selection handler (new, old) on a change.
  virtual void SetSelection(CWULDropDownItem* item);
  virtual CWULDropDownItem* GetSelection();
  // Opens the popup list and selects what is chosen there.
  virtual void ClickButton();

  virtual int GetFrameKind();
  virtual void SetFrameKind(int kind);
  virtual int GetButtonWidth();
  virtual void SetButtonWidth(int value);  // negative: automatic
  virtual int GetImageSpacing();
  virtual void SetImageSpacing(int value);
  virtual int GetItemHeight();
  virtual void SetItemHeight(int value);
  virtual int GetMaxVisibleItems();
  virtual void SetMaxVisibleItems(int value);  // -1 (or any value below 1): all
  virtual int GetMaxPopupWidth();
  virtual void SetMaxPopupWidth(int value);  // 0 or negative: no limit
  // Space left of, above, right of and below an item's text.
  virtual void GetMargins(RECT* margins);
  virtual void SetMargins(int left, int top, int right, int bottom);

  int GetItemCount() const { return items.count; }
  bool IsOpen() const { return open != 0; }
  CWULPopupList* GetPopupList() const { return popupList; }

  int32_t HandleNotify(CWULObject* sender, int32_t code, intptr_t param) override;
  void GeometryHook() override;
  void OnSizeChanged() override;
  LRESULT OnEraseBackground(HDC dc) override;
  LRESULT OnPaint(PAINTSTRUCT* paint) override;
  LRESULT OnLButtonDown(int keys, int mx, int my) override;
  LRESULT OnLButtonDblClk(int keys, int mx, int my) override;
  LRESULT OnKeyDown(int key, LPARAM lParam) override;
  LRESULT OnSysKeyDown(int key, LPARAM lParam) override;
  LRESULT OnMouseWheel(float notches, int keys, int wx, int wy) override;
  LRESULT OnSetFocus(HWND previous) override;
  LRESULT OnKillFocus(HWND next) override;

  // Paints the whole control into dc.
  void PaintControl(HDC dc);

  CWULColor buttonColor;
  CWULColor arrowColor;
  SelectionHandler selectionChangedHandler;
  int32_t frameKind;      // WUL_FRAME_ kinds
  int32_t buttonWidth;    // negative: automatic
  int32_t imageSpacing;
  int32_t itemHeight;
  int32_t maxVisibleItems;  // rows of the open list; the rest scrolls
  int32_t leftMargin;
  int32_t topMargin;
  int32_t rightMargin;
  int32_t bottomMargin;
  int32_t maxPopupWidth;
  CWULList items;
  CWULDropDownItem* selection;
  RECT textRect;
  RECT buttonRect;
  uint8_t open;
  uint8_t skipNextClick;
  CWULPopupList* popupList;  // while open
  float wheelRemainder;
  float lastWheelStep;
  CWULOffscreenBuffer buffer;

protected:
  void Renumber();
  // Tells an open list that the items changed; leaving is the item that goes, if any.
  void TellList(CWULDropDownItem* leaving = nullptr);
};
