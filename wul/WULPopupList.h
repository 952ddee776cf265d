#pragma once
// The list that a drop-down opens below its text area: one row per item of the drop-down
// (at most the drop-down's maximum visible items; the rest scrolls with the highlight and
// the wheel), the pointer and the keys move the highlight, and a modal loop of the same kind as the
// menu shell's runs until an item is chosen or the list is dismissed.
#include <windows.h>
#include <cstdint>
#include "wul/WULOffscreen.h"
#include "wul/WULPopupWindow.h"

class CWULDropDown;
class CWULDropDownItem;

class CWULPopupList : public CWULPopupWindow {
public:
  // A child of the owner, whose colour and font it inherits; sized to the owner's items.
  explicit CWULPopupList(CWULDropDown* owner);
  ~CWULPopupList() override;

  // Shows the list below (or above) the owner's text area and runs its loop; the chosen
  // item, or null. Closes the list also when an exception passes.
  virtual CWULDropDownItem* Run();
  virtual void EndLoop();
  // Sizes the window and the row buffer to the owner's items, then positions it.
  virtual void Layout();
  virtual void Position();
  // Evaluates the position even when the pointer did not move.
  virtual void Rehover(int hx, int hy);
  virtual void WakeLoop();
  virtual void Loop();
  // The owner's selected item, or the first one.
  virtual void HighlightCurrent();
  virtual void SetHighlighted(CWULDropDownItem* item);
  virtual void HighlightNext();
  virtual void HighlightPrev();
  virtual void Choose(CWULDropDownItem* item);
  virtual void PaintItem(HDC dc, CWULDropDownItem* item);

  int32_t HandleNotify(CWULObject* sender, int32_t code, intptr_t param) override;
  void MouseHover(int hx, int hy) override;
  void MouseLeave() override;
  LRESULT OnLButtonDown(int keys, int mx, int my) override;
  LRESULT OnLButtonUp(int keys, int mx, int my) override;
  LRESULT OnKeyDown(int key, LPARAM lParam) override;
  LRESULT OnSysKeyDown(int key, LPARAM lParam) override;
  LRESULT OnPaint(PAINTSTRUCT* paint) override;
  LRESULT OnActivateApp(bool active, DWORD thread) override;

  bool AcceptsWheel(int wx, int wy) override;
  // Scrolls by whole rows per notch (positive: towards the first item).
  LRESULT OnMouseWheel(float notches, int keys, int wx, int wy) override;

  bool IsRunning() const { return running != 0; }
  // The rows shown at once: every item, or at most the owner's maximum visible items.
  int VisibleRows() const;
  // Scrolls by rows (positive: towards the last item), within the items.
  void ScrollRows(int rows);
  // The item whose row holds the point (window coordinates); null when none.
  CWULDropDownItem* ItemAt(int hx, int hy);
  // The row of an item in window coordinates.
  void GetRowRect(CWULDropDownItem* item, RECT* rect);

  CWULDropDown* owner;
  uint8_t running;
  CWULDropDownItem* result;
  CWULDropDownItem* highlighted;
  int32_t lastX;  // -1 while none
  int32_t lastY;
  CWULOffscreenBuffer* itemBuffer;  // one row
  int32_t topRow;       // rows scrolled off above the first visible one
  float wheelRemainder;  // the part of a notch not yet scrolled

private:
  void RepaintItem(CWULDropDownItem* item);
  // Keeps topRow within the items; true when it changed.
  bool ClampTopRow();
  // Scrolls the least that shows the item's row.
  void ScrollIntoView(CWULDropDownItem* item);
  bool IsRowVisible(CWULDropDownItem* item) const;
};
