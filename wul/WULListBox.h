#pragma once
// A vertical list of items of one fixed height, each with an optional image and a text,
// and one current item that the keyboard, the mouse and the wheel move and that is kept
// in view. The items are plain objects; the list paints them row by row through a
// one-row offscreen strip.
#include <windows.h>
#include <cstdint>
#include "wul/WULList.h"
#include "wul/WULOffscreen.h"
#include "wul/WULScroll.h"
#include "wul/WULString.h"

class CWULImage;
class CWULListBox;

class CWULListItem : public CWULObject, public CWULListNode {
public:
  explicit CWULListItem(const char* itemText = nullptr);
  // Leaves its list first and releases its image.
  ~CWULListItem() override;

  // A change of the text is passed on to the list.
  int32_t HandleNotify(CWULObject* sender, int32_t code, intptr_t param) override;

  CWULListBox* GetOwner() const { return owner; }
  int GetIndex() const { return index; }
  virtual const char* GetText();
  virtual void SetText(const char* newText);
  CWULImage* GetImage() const { return image; }
  // Holds a reference to the new image and gives back the old one.
  virtual void SetImage(CWULImage* newImage);

  CWULListBox* owner;  // the list that holds the item, or null
  int32_t index;       // 1-based place in the list, 0 outside one
  int32_t value;       // the application's value
  CWULImage* image;    // referenced, may be null
  int32_t measuredWidth;
  CWULString text;

private:
  CWULListItem(const CWULListItem&) = delete;
  CWULListItem& operator=(const CWULListItem&) = delete;
};

// What the list recomputes of its content width before the next content size.
enum {
  WUL_LIST_WIDTH_KEEP = 0,     // nothing
  WUL_LIST_WIDTH_HEIGHT = 1,   // only the height changed
  WUL_LIST_WIDTH_WIDEST = 2,   // the widest of the stored widths
  WUL_LIST_WIDTH_MEASURE = 3   // every item measured again
};

class CWULListBox : public CWULScrollWindow {
public:
  typedef void (*CurrentItemChangedHandler)(CWULListBox* list, CWULListItem* newItem, CWULListItem* oldItem);

  // Field-coloured and a tab stop.
  CWULListBox();
  // Deletes the items.
  ~CWULListBox() override;

  // Before null appends. An item of another list is taken from it first.
  virtual void InsertItem(CWULListItem* item, CWULListItem* before);
  virtual void SwapItems(CWULListItem* a, CWULListItem* b);
  // By the texts' byte order, ascending or descending.
  virtual void SortItems(bool descending);
  virtual void RemoveItem(CWULListItem* item);
  virtual void DeleteItem(CWULListItem* item);
  // Deletes every item.
  virtual void Clear();
  virtual CWULListItem* FindByValue(int value);
  virtual CWULListItem* FindByText(const char* itemText);
  virtual CWULListItem* FindByIndex(int itemIndex);
  virtual CWULListItem* GetFirstItem();
  virtual CWULListItem* GetLastItem();
  virtual int GetCount();
  virtual void SelectNext();
  virtual void SelectPrevious();
  virtual CWULListItem* GetCurrentItem();
  // Scrolls the item into view, repaints the old and the new current item and runs the
  // handler; null clears the current item. Items of other lists are ignored.
  virtual void SetCurrentItem(CWULListItem* item);

  virtual int GetItemHeight();
  // Also the scroll step in both directions.
  virtual void SetItemHeight(int value);
  virtual int GetImageGap();
  virtual void SetImageGap(int value);
  virtual bool GetReserveImageColumn();
  virtual void SetReserveImageColumn(bool on);
  virtual int GetLeftPadding();
  virtual void SetLeftPadding(int value);
  virtual int GetRightPadding();
  virtual void SetRightPadding(int value);

  // The width of the item's row content in the list's font.
  virtual int MeasureItem(CWULListItem* item);
  // The item whose row holds the client point, or null.
  virtual CWULListItem* ItemAtPoint(int cx, int cy);
  // The row of the item in client coordinates.
  virtual void GetItemRect(CWULListItem* item, RECT* rect);
  virtual void ScrollIntoView(CWULListItem* item);
  virtual void RepaintItem(CWULListItem* item);
  // Paints the rows meeting the client rectangle into dc, which maps the client area.
  virtual void PaintRows(HDC dc, const RECT* area);
  // Paints one row into the strip; item null is an empty row.
  virtual void PaintRow(CWULListItem* item, bool focusMark);

  int32_t HandleNotify(CWULObject* sender, int32_t code, intptr_t param) override;
  // Recomputes the content size before the frame.
  void OnFontChanged() override;
  LRESULT OnEraseBackground(HDC dc) override;
  LRESULT OnPaint(PAINTSTRUCT* paint) override;
  LRESULT OnLButtonDown(int keys, int mx, int my) override;
  LRESULT OnLButtonDblClk(int keys, int mx, int my) override;
  LRESULT OnKeyDown(int key, LPARAM lParam) override;
  LRESULT OnMouseWheel(float notches, int keys, int wx, int wy) override;
  LRESULT OnSetFocus(HWND previous) override;
  LRESULT OnKillFocus(HWND next) override;

  CurrentItemChangedHandler currentItemChangedHandler;
  int32_t itemHeight;
  int32_t imageGap;
  uint8_t reserveImageColumn;
  int32_t leftPadding;
  int32_t rightPadding;
  CWULList items;
  CWULListItem* currentItem;
  int32_t widthMode;
  int32_t widestWidth;
  float wheelRemainder;
  CWULOffscreenBuffer strip;
  CWULFont measuredFont;  // the font the stored widths were measured in

private:
  static CWULListItem* ItemOf(CWULListNode* node) { return static_cast<CWULListItem*>(node); }
  bool Owns(const CWULListItem* item) const { return item && item->owner == this; }
  void Renumber(CWULListItem* from);
  void ItemChanged(CWULListItem* item);
  void RepaintFocusRow();
  // Rows wholly inside the client area, at least one.
  int PageRows();
  void SelectIndex(int itemIndex);
  void RaiseWidthMode(int mode);
  bool SameMeasuringFont();

  CWULListBox(const CWULListBox&) = delete;
  CWULListBox& operator=(const CWULListBox&) = delete;
};
