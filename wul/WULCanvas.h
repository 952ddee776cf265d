#pragma once
// A scrolling window whose client area is produced by a chain of overlays. Each overlay
// has a buffer of the visible size and a draw callback that reads the buffer of the
// overlay before it and writes its own; the last overlay's buffer is what the window
// shows. Rendering can be cut into square tiles, and scrolling shifts the buffers and
// renders only the uncovered strips.
#include "wul/WULList.h"
#include "wul/WULOffscreen.h"
#include "wul/WULScroll.h"

class CWULTiledCanvas;

class CWULCanvasOverlay : public CWULObject, public CWULListNode {
public:
  // previous is null for the first overlay of the canvas.
  typedef void (*DrawCallback)(CWULCanvasOverlay* overlay, CWULOffscreenBuffer* own, CWULOffscreenBuffer* previous,
                               const RECT* rect);

  CWULCanvasOverlay();
  // Leaves its canvas first.
  ~CWULCanvasOverlay() override;

  // The canvas the overlay belongs to, or null.
  CWULTiledCanvas* GetCanvas() const;

  int32_t value;
  DrawCallback drawCallback;
  CWULOffscreenBuffer buffer;
};

enum {
  WUL_PAINT_WHOLE = 0,  // one call per overlay for a requested rectangle
  WUL_PAINT_TILES = 1   // the rectangle cut into tiles
};

class CWULTiledCanvas : public CWULScrollWindow {
public:
  CWULTiledCanvas();
  ~CWULTiledCanvas() override;

  virtual void AddOverlay(CWULCanvasOverlay* overlay);
  // Before null appends. An overlay of another canvas is taken from it.
  virtual void InsertOverlay(CWULCanvasOverlay* overlay, CWULCanvasOverlay* before);
  virtual void SwapOverlays(CWULCanvasOverlay* a, CWULCanvasOverlay* b);
  virtual void RemoveOverlay(CWULCanvasOverlay* overlay);
  virtual void DeleteOverlay(CWULCanvasOverlay* overlay);
  virtual void DeleteAllOverlays();
  // Renders the rectangle (null: all) of the visible area from the given overlay on and
  // shows it.
  virtual void Render(CWULCanvasOverlay* first, const RECT* rect);
  virtual void RenderAll(const RECT* rect);
  virtual int GetPaintMode();
  virtual void SetPaintMode(int mode);
  virtual int GetTileSize();
  virtual void SetTileSize(int size);
  virtual CWULCanvasOverlay* GetFirstOverlay();
  virtual CWULCanvasOverlay* GetLastOverlay();
  // Runs the chain for the rectangle, whole or tile by tile; shows nothing.
  virtual void RenderTiles(CWULCanvasOverlay* first, const RECT* rect);
  virtual void RenderChain(CWULCanvasOverlay* first, const RECT* rect);

  int GetVisibleWidth() const { return visibleWidth; }
  int GetVisibleHeight() const { return visibleHeight; }

  void SetAutoRedraw(bool on) override;
  void OnGeometryChanged() override;
  LRESULT OnEraseBackground(HDC dc) override;
  LRESULT OnPaint(PAINTSTRUCT* paint) override;
  void OnScrolled() override;

  int32_t paintMode;
  int32_t tileSize;
  int32_t visibleWidth;
  int32_t visibleHeight;
  CWULList overlays;

private:
  static CWULCanvasOverlay* FromNode(CWULListNode* node);
  bool Owns(CWULCanvasOverlay* overlay) const;
};
