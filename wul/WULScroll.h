#pragma once
// A child container whose content can be larger than its client area, with two scroll
// bars that the framework draws itself in the non-client area, and the view that
// scrolls a container of ordinary children by moving it.
#include "wul/WULDraw.h"
#include "wul/WULFramedWindow.h"

// Parts of the bars (pressed state, active part, painting).
enum {
  WUL_SCROLL_NONE = 0,
  WUL_SCROLL_LEFT_ARROW = 1,
  WUL_SCROLL_TRACK_LEFT = 2,
  WUL_SCROLL_RIGHT_ARROW = 3,
  WUL_SCROLL_TRACK_RIGHT = 4,
  WUL_SCROLL_H_THUMB = 5,
  WUL_SCROLL_UP_ARROW = 6,
  WUL_SCROLL_TRACK_ABOVE = 7,
  WUL_SCROLL_DOWN_ARROW = 8,
  WUL_SCROLL_TRACK_BELOW = 9,
  WUL_SCROLL_V_THUMB = 10,
  WUL_SCROLL_CORNER = 11,
  WUL_SCROLL_PART_COUNT = 12
};

// Bar modes.
enum {
  WUL_BAR_NEVER = 0,
  WUL_BAR_AUTO = 1,   // shown while the content is larger than the client area
  WUL_BAR_ALWAYS = 2  // the thumb works only while the content is larger
};

class CWULScrollWindow : public CWULContainer {
public:
  CWULScrollWindow();

  virtual void SetScrollPos(int sx, int sy);
  virtual void GetScrollPos(POINT* point);
  // 0 none, 1 a line, 2 a bevel, 3 bevel and line.
  virtual void SetBorderStyle(int value);
  virtual int GetBorderStyle();
  virtual int GetHBarMode();
  virtual void SetHBarMode(int mode);
  virtual int GetVBarMode();
  virtual void SetVBarMode(int mode);
  virtual void SetRedrawMode(int mode);
  virtual int GetRedrawMode();
  virtual void SetBarThickness(int value);
  virtual int GetBarThickness();
  virtual int GetContentWidth();
  virtual int GetContentHeight();
  virtual void SetScrollX(int value);
  virtual int GetScrollX();
  virtual void SetScrollY(int value);
  virtual int GetScrollY();
  virtual void SetLineStep(int stepX, int stepY);
  virtual int GetLineStepX();
  virtual int GetLineStepY();
  // Clamps the scroll position and places the bar parts.
  virtual void ComputeBars();
  // ComputeBars, repainting the bars when a part moved.
  virtual void UpdateBars();
  virtual void CheckContentSize();
  virtual void CheckScrollPos();
  virtual void OnContentSizeChanged();
  virtual void OnScrolled();
  virtual void PaintBorder(HDC dc);
  virtual void PaintBars(HDC dc);
  virtual void PaintBarPart(HDC dc, int part);
  virtual void PaintButton(HDC dc, const RECT* rect, bool down);
  virtual void PaintHTrack(HDC dc, const RECT* rect, bool down);
  virtual void PaintVTrack(HDC dc, const RECT* rect, bool down);

  void SetContentSize(int contentW, int contentH);
  void SetContentWidth(int value);
  void SetContentHeight(int value);
  // The rectangle of a part in window coordinates; empty when it is not shown.
  const RECT& GetPartRect(int part) const { return parts[part]; }

  void OnFontChanged() override;
  void OnGeometryChanged() override;
  void GeometryHook() override;
  void ComputeInsets() override;
  LRESULT OnMouseMove(int keys, int mx, int my) override;
  LRESULT OnLButtonUp(int keys, int mx, int my) override;
  LRESULT OnCaptureChanged(HWND newCapture) override;
  LRESULT OnNcLButtonDown(int hit, int nx, int ny) override;
  LRESULT OnNcLButtonDblClk(int hit, int nx, int ny) override;
  LRESULT PaintNonClient(HDC dc) override;
  // A press on a bar part; the point in window coordinates.
  virtual LRESULT OnNcButtonDown(int hit, int nx, int ny);

  int32_t borderStyle;
  int32_t hBarMode;
  int32_t vBarMode;
  int32_t redrawMode;
  int32_t barThickness;
  int32_t contentWidth;
  int32_t contentHeight;
  int32_t scrollX;
  int32_t scrollY;
  int32_t notifiedContentWidth;
  int32_t notifiedContentHeight;
  int32_t notifiedScrollX;
  int32_t notifiedScrollY;
  int32_t lineStepX;
  int32_t lineStepY;
  uint8_t hBarShown;
  uint8_t vBarShown;
  uint8_t hThumbActive;
  uint8_t vThumbActive;
  RECT hBar;
  RECT vBar;
  RECT corner;
  RECT parts[WUL_SCROLL_PART_COUNT];
  uint8_t pressedParts[WUL_SCROLL_PART_COUNT];
  int32_t activePart;
  POINT dragCursor;  // screen position where a thumb drag began
  POINT dragScroll;  // scroll position then

private:
  bool SameParts(const RECT* before) const;
  void RepaintPart(int part);
  POINT ThumbCentre();
  int DragGap(bool horizontal);
  void PlaceBar(bool horizontal);
};

class CWULView : public CWULScrollWindow {
public:
  // Throws CWULError 5 when the client container cannot be made.
  CWULView();

  // The container that holds the view's children and is moved to scroll them.
  CWULContainer* GetClientContainer() { return clientContainer; }

  void OnContentSizeChanged() override;
  void OnScrolled() override;
  void LayoutChildren() override;

  CWULContainer* clientContainer;
};
