#pragma once
// The Preview panel: the composite of the current image at the panel's own zoom, with
// zoom buttons, a zoom list and a chequerboard toggle. Clicking or dragging in it centres
// the main view on that point.
#include <windows.h>
#include <cstdint>
#include "document/Geometry.h"
#include "ui/MainView.h"

class CVCFoldingPanel;
class CWULCanvasOverlay;
class CWULDropDown;
class CWULOffscreenBuffer;
class CWULStandardBarItem;
class CWULTiledCanvas;

extern CVCFoldingPanel* g_PreviewPanel;

namespace PreviewPanel {

enum { ZOOM_STEPS = 11 };
enum { DRAG_IDLE = 0, DRAG_PANNING = 1, DRAG_NAVIGATING = 2 };
enum { CURSOR_PREVIEW = 204 };
enum { BUTTON_ZOOM_IN, BUTTON_ZOOM_OUT, BUTTON_CHEQUERED, BUTTON_COUNT };

// Null while the panel does not exist.
CWULTiledCanvas* GetCanvas();
CWULCanvasOverlay* GetOverlay();
CWULDropDown* GetZoomList();
CWULStandardBarItem* GetButton(int which);

// The canvas follows the size of the current image at the preview zoom.
void Refresh();
void SetZoomIndex(int32_t index, const MainView::CZoomAnchor* anchor);
int32_t GetZoomIndex();
int32_t GetZoomFactor();
// 0 outside 0..10.
int32_t GetZoomFactorAt(int32_t index);
int32_t GetDragState();
Point GetImageOrigin();
bool ClientToPixel(const Point& client, Point& pixel);

// The overlay's paint callback.
void Paint(CWULCanvasOverlay* overlay, CWULOffscreenBuffer* buffer, CWULOffscreenBuffer* previous,
           const RECT* rect);
// Describes the pointer at a client point in the status bar.
void UpdateStatus(int32_t x, int32_t y);

}  // namespace PreviewPanel

// Builds the panel in the panel master. Shows "Preview panel creation failed" and passes
// a failure on.
void CreatePreviewPanel();
