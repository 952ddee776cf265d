#pragma once
// A vertically scrolling list of items of varying height, each painting itself into one
// shared offscreen buffer that is then blitted: the project panel's images, the image
// panel's layers and the size lists of the New image and Select an image dialogs.
#include <windows.h>
#include <cstdint>
#include "wul/WULColor.h"
#include "wul/WULList.h"
#include "wul/WULOffscreen.h"
#include "wul/WULScroll.h"
#include "wul/WULString.h"

class CImage;
class CLayer;
class CThumbnailList;
class CWULImage;
class CWULMenu;

class CThumbnailItem : public CWULObject, public CWULListNode {
public:
  enum { CLASS_CODE = 1000 };
  // Sent by an item to its list when it changed: the list lays it out and redraws it.
  enum { NOTIFY_REFRESH = 1000 };
  typedef void (*DoubleClickCallback)(CThumbnailItem* item, CThumbnailItem* sender);

  CThumbnailItem();
  // Leaves its list first.
  ~CThumbnailItem() override;
  CThumbnailItem(const CThumbnailItem&) = delete;
  CThumbnailItem& operator=(const CThumbnailItem&) = delete;

  // Sets height for the current width.
  virtual void Layout();
  // x, y relative to the item.
  virtual bool HitTest(int x, int y);
  virtual void Click(int x, int y);
  virtual void DoubleClick(int x, int y);
  virtual void ContextClick(int x, int y);
  // Paints the item into the buffer at (0, 0) to (width, height).
  virtual void Paint(CWULOffscreenBuffer* buffer) = 0;

  CThumbnailList* GetList() const { return owner; }
  bool IsSelected() const;
  // Tells the list that the item changed.
  void NotifyList();

  CThumbnailList* owner;
  CWULColor color;
  void* object;  // the image or layer, or null
  CWULMenu* contextMenu;
  DoubleClickCallback doubleClickCallback;
  int32_t width;
  int32_t height;
  int32_t x;  // in the list's content
  int32_t y;

protected:
  // The background and text colours: the selection's when selected.
  void GetColors(CWULColor& background, CWULColor& text) const;
};

class CThumbnailList : public CWULScrollWindow {
public:
  typedef void (*SelectionCallback)(CThumbnailList* list, CThumbnailItem* item, CThumbnailItem* old);

  CThumbnailList();
  // Destroys the items.
  ~CThumbnailList() override;

  void SetMargin(int32_t m);
  int32_t GetMargin() const { return margin; }
  void SetSpacing(int32_t s);
  int32_t GetSpacing() const { return spacing; }

  void Add(CThumbnailItem* item) { Insert(item, nullptr); }
  // Before null appends; the item leaves its former list.
  void Insert(CThumbnailItem* item, CThumbnailItem* before);
  void Move(CThumbnailItem* item, CThumbnailItem* before);
  void Remove(CThumbnailItem* item);
  void Delete(CThumbnailItem* item);
  void Clear();

  void Select(CThumbnailItem* item);
  void ClearSelection() { Select(nullptr); }
  CThumbnailItem* GetSelected() const { return selected; }
  // The item under a client point, or null.
  CThumbnailItem* ItemAt(int cx, int cy);
  // Paints one item at once.
  void RedrawItem(CThumbnailItem* item);

  CThumbnailItem* GetFirst() const { return static_cast<CThumbnailItem*>(items.first); }
  CThumbnailItem* GetLast() const { return static_cast<CThumbnailItem*>(items.last); }
  static CThumbnailItem* Next(CThumbnailItem* item) { return item ? static_cast<CThumbnailItem*>(item->next) : nullptr; }
  static CThumbnailItem* Prev(CThumbnailItem* item) { return item ? static_cast<CThumbnailItem*>(item->prev) : nullptr; }
  int32_t GetCount() const { return items.count; }
  // 0 without items, else 2 x margin + heights + (count - 1) x spacing.
  int32_t GetContentHeightOfItems() const;
  // Lays every item out again and sizes the buffer and the content.
  void LayoutItems();
  CWULOffscreenBuffer& GetBuffer() { return buffer; }

  int32_t HandleNotify(CWULObject* sender, int32_t code, intptr_t param) override;
  void OnClientSizeChanged() override;
  LRESULT OnPaint(PAINTSTRUCT* paint) override;
  LRESULT OnEraseBackground(HDC dc) override;
  LRESULT OnLButtonDown(int keys, int mx, int my) override;
  LRESULT OnLButtonDblClk(int keys, int mx, int my) override;
  LRESULT OnRButtonDown(int keys, int mx, int my) override;
  LRESULT OnMouseWheel(float notches, int keys, int wx, int wy) override;
  LRESULT OnKeyDown(int key, LPARAM lParam) override;

  CWULList items;
  SelectionCallback selectionChangedCallback;
  int32_t margin;
  int32_t spacing;
  CThumbnailItem* selected;
  CWULOffscreenBuffer buffer;

private:
  bool Owns(const CThumbnailItem* item) const;
  void PaintItems(HDC dc, const RECT& area);
  void PaintItemAt(HDC dc, CThumbnailItem* item);
  void TakeFocus();
  int32_t layingOut;
};

// An image of the project: thumbnail, size and colour depth.
class CImageListItem : public CThumbnailItem {
public:
  CImageListItem();
  ~CImageListItem() override;

  void SetThumbnailSize(int32_t n);
  void SetImage(CImage* image);
  CImage* GetImage() const { return image; }
  // Rebuilds the thumbnail and the text and tells the list.
  void Refresh();

  void Layout() override;
  bool HitTest(int x, int y) override;
  void Paint(CWULOffscreenBuffer* buffer) override;

  CWULString text;
  int32_t thumbnailSize;
  CImage* image;
  CWULImage* thumbnail;  // owned
};

// A layer: thumbnail, name and a visibility button.
class CLayerListItem : public CThumbnailItem {
public:
  typedef void (*ButtonCallback)(CLayerListItem* item);

  CLayerListItem();
  ~CLayerListItem() override;

  void SetThumbnailSize(int32_t n);
  void SetLayer(CLayer* layer);
  CLayer* GetLayer() const { return layer; }
  void Refresh();

  void Layout() override;
  bool HitTest(int x, int y) override;
  void Click(int x, int y) override;
  void DoubleClick(int x, int y) override;
  void Paint(CWULOffscreenBuffer* buffer) override;

  ButtonCallback buttonCallback;
  CWULString text;
  int32_t thumbnailSize;
  CLayer* layer;
  CWULImage* thumbnail;  // owned
  RECT buttonRect;       // item-relative
};

// A picture with a wrapped caption under it.
class CSizeListItem : public CThumbnailItem {
public:
  CSizeListItem();
  ~CSizeListItem() override;

  // The old picture is freed; the new one is owned.
  void SetPicture(CWULImage* picture);
  void SetText(const char* text);

  void Layout() override;
  void Paint(CWULOffscreenBuffer* buffer) override;

  CWULImage* picture;  // owned
  CWULString text;
  int32_t padding;
  int32_t textInset;
  RECT pictureRect;
  RECT textRect;
};
