#pragma once
// A tabbed container: a strip of self-drawn tabs along the top or bottom edge and the
// page area in which the interactor of the current page is visible. Each page owns a
// child container to which the application adds the page's controls.
#include <windows.h>
#include <cstdint>
#include "wul/WULFramedWindow.h"
#include "wul/WULList.h"
#include "wul/WULOffscreen.h"
#include "wul/WULString.h"

class CWULPageControl;

class CWULPageControlItem : public CWULObject, public CWULListNode {
public:
  typedef void (*Callback)(CWULPageControlItem* page);

  explicit CWULPageControlItem(const char* caption = nullptr);
  // Leaves its control first; an interactor still held is closed.
  ~CWULPageControlItem() override;
  CWULPageControlItem(const CWULPageControlItem&) = delete;
  CWULPageControlItem& operator=(const CWULPageControlItem&) = delete;

  // A change of the text is passed on to the control.
  int32_t HandleNotify(CWULObject* sender, int32_t code, intptr_t param) override;

  // Makes the page interactor, a child of the owner control; only with an owner and
  // without one yet. Throws CWULError 5 when it cannot be made.
  void CreateInteractor();
  // A page that is not shown has no tab and its interactor stays hidden.
  void SetShown(bool on);
  void Show() { SetShown(true); }
  void Hide() { SetShown(false); }
  bool IsShown() const { return shown != 0; }
  void SetText(const char* caption);
  const char* GetText() const { return text.text; }
  // Only stores.
  void SetId(int value) { id = value; }
  int GetId() const { return id; }
  CWULContainer* GetInteractor() const { return interactor; }
  CWULPageControl* GetOwner() const { return owner; }
  CWULPageControlItem* GetNext() const { return static_cast<CWULPageControlItem*>(next); }
  CWULPageControlItem* GetPrev() const { return static_cast<CWULPageControlItem*>(prev); }

  CWULPageControl* owner;  // also the listener; null when in no control
  int32_t value;
  Callback activateCallback;
  Callback deactivateCallback;
  int32_t index;  // 1-based, 0 when in no control
  int32_t id;
  uint8_t shown;
  CWULContainer* interactor;  // owned; null until created
  // Tab geometry in window coordinates; -1 for a page that is not shown.
  int32_t tabLeft;
  int32_t tabInnerLeft;
  int32_t tabInnerRight;
  int32_t tabRight;
  CWULString text;
};

enum {
  WUL_TABS_TOP = 0,
  WUL_TABS_BOTTOM = 1
};

class CWULPageControl : public CWULContainer {
public:
  typedef void (*PageChangedCallback)(CWULPageControl* control, CWULPageControlItem* newPage,
                                      CWULPageControlItem* oldPage);

  CWULPageControl();
  ~CWULPageControl() override;

  virtual void AddItem(CWULPageControlItem* page);
  // Before null appends; a page of another control is taken from it first.
  virtual void InsertItem(CWULPageControlItem* page, CWULPageControlItem* before);
  virtual void SwapItems(CWULPageControlItem* a, CWULPageControlItem* b);
  // A current page stops being current first; its interactor is closed.
  virtual void RemoveItem(CWULPageControlItem* page);
  virtual void DeleteItem(CWULPageControlItem* page);
  virtual void DeleteAllItems();
  virtual CWULPageControlItem* FindByText(const char* caption);
  virtual CWULPageControlItem* FindById(int pageId);
  // Activates the new page, deactivates the old one, then tells the page-changed callback.
  virtual void SetCurrentItem(CWULPageControlItem* page);
  virtual void SelectByText(const char* caption);
  virtual void SelectById(int pageId);
  virtual int GetFrameStyle();
  virtual void SetFrameStyle(int value);
  virtual int GetTabPosition();
  virtual void SetTabPosition(int value);
  virtual int GetFirstTabOffset();
  virtual void SetFirstTabOffset(int value);
  virtual int GetMinTabWidth();
  virtual void SetMinTabWidth(int value);
  virtual int GetTabHeight();
  virtual void SetTabHeight(int value);
  virtual int GetTabInset();
  virtual void SetTabInset(int value);
  virtual int GetTabTextMargin();
  virtual void SetTabTextMargin(int value);
  virtual CWULPageControlItem* GetFirstItem();
  virtual CWULPageControlItem* GetCurrentItem();
  virtual void Renumber();
  virtual void LayoutTabs();
  // Paints one tab into the strip buffer in top orientation.
  virtual void PaintTab(HDC dc, CWULPageControlItem* page);
  // Paints the whole strip into the strip buffer.
  virtual void PaintStrip();

  int32_t HandleNotify(CWULObject* sender, int32_t code, intptr_t param) override;
  void OnSizeChanged() override;
  void OnClientSizeChanged() override;
  LRESULT OnKeyDown(int key, LPARAM lParam) override;
  LRESULT OnEraseBackground(HDC dc) override;
  void ComputeInsets() override;
  LRESULT OnNcLButtonDown(int hit, int nx, int ny) override;
  LRESULT PaintNonClient(HDC dc) override;

  int GetItemCount() const { return pages.count; }
  // Tab inset + tab height + 2.
  int GetStripHeight() const { return tabInset + tabHeight + 2; }
  // The page under a window point of the tab strip; null when none.
  CWULPageControlItem* TabAt(int nx, int ny);

  int32_t frameStyle;   // 0: 2-pixel frame, 1: 1-pixel frame, 2: none
  int32_t tabPosition;  // WUL_TABS_TOP or WUL_TABS_BOTTOM
  int32_t firstTabOffset;
  int32_t minTabWidth;
  int32_t tabHeight;
  int32_t tabInset;
  int32_t tabTextMargin;
  CWULList pages;
  CWULPageControlItem* current;
  PageChangedCallback pageChangedCallback;
  CWULOffscreenBuffer stripBuffer;

protected:
  // Tab geometry, insets and painting after a change.
  void Relayout();
  // Every page interactor at (0, 0) with the client size.
  void PlacePages();
};
