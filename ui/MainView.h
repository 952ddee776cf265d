#pragma once
// The main view: the zoomable, scrollable picture of the current image. One tiled canvas
// with two overlays (the image, then the selection outline and the active tool's feedback),
// the mapping between client pixels and 24.8 image positions, zoom, channel display mode,
// middle-button panning, auto-scrolling while a tool drags and the outline animation. There
// is one view per program; its state is global.
#include <windows.h>
#include <cstdint>
#include "document/Color.h"
#include "document/Geometry.h"
#include "document/Image.h"

class CWULInteractor;
class CWULTiledCanvas;
class CWULCanvasOverlay;
class CWULOffscreenBuffer;
class CWULTimer;

namespace MainView {

enum { ZOOM_STEPS = 9 };
enum { CHANNELS_NORMAL = 0, CHANNELS_COLOR = 1, CHANNELS_ALPHA = 2 };
enum { DRAG_IDLE = 0, DRAG_PANNING = 1, DRAG_TOOL = 2 };
// Application cursors of the view.
enum { CURSOR_NO_TOOL = 200, CURSOR_PAN = 203 };

// What the view asks of the main window and the status bar. Every member may be null.
struct CHooks {
  // After a wheel zoom: the menu and toolbar states of the zoom commands.
  void (*updateZoomStates)();
  // The status bar's pointer registry: the view's window describes the pointer with
  // the updater (client coordinates) while the pointer is over it.
  void (*registerStatusWindow)(CWULInteractor* window, void (*updater)(int32_t x, int32_t y));
  void (*unregisterStatusWindow)(CWULInteractor* window);
};
// Null clears every hook. The record is copied.
void SetHooks(const CHooks* hooks);

// The view, or null before CreateMainView and after its destruction.
CWULTiledCanvas* GetView();
CWULCanvasOverlay* GetImageOverlay();
CWULCanvasOverlay* GetToolOverlay();

// Geometry; zeros or false without a current image.
Point GetImageOrigin();
bool ClientToPixel(const Point& client, Point& pixel);
Point ClientToImage(int32_t x, int32_t y);
Point ImageToClient(int32_t x, int32_t y);
Point ImageToClientPoint(const Point& pos);
Rect ClientToImageRect(const Rect& client);
Rect ImageToClientRect(const Rect& image);
// The 24.8 position of the mouse cursor; (0, 0) when the view has no window.
Point GetCursorImagePoint();
int32_t GetZoomFactor();
int32_t GetZoomIndex();
// 0 outside 0..8.
int32_t GetZoomFactorAt(int32_t index);
int32_t GetChannelMode();
int32_t GetDragState();
// 1/256 pixel step of the Move tool's keys and of snapping: at least one screen pixel.
int32_t GetNudgeStep();
// The displayed colour of the image pixel under a client point, without chequerboard or
// channel mode; false outside the client area or the image, or without image.
bool PickColorAt(const Point& client, CColor& color);

// Zoom and scroll; each does nothing while the view's redraw is suspended.
// anchor: a client point in 24.8 (pixel centre) and the image point under it.
struct CZoomAnchor {
  Point client;
  Point image;
};
void SetZoomIndex(int32_t index, const CZoomAnchor* anchor);
void RefitToImage();
void ZoomToRect(const Rect& rect);
void ZoomToFitImage();
CViewState GetViewState();
void SetViewState(const CViewState& state);
void CenterOn(const Point& pos);
void SetChannelMode(int32_t mode);
// Lets the active tool's hover feedback follow a new geometry.
void ResendPointer();

// Invalidation. Rectangles in 24.8 image units; null: see each.
// Null refits the view to the image.
void InvalidateImageRect(const Rect* rect);
void InvalidateToolOverlay();
// Null: the whole tool overlay.
void InvalidateToolOverlayRect(const Rect* rect);

// The capture window with the cursor in its client coordinates; else the window under the
// cursor when the cursor lies in its client area (not on its frame or scroll bars), with
// the client coordinates; else null.
HWND GetWindowUnderCursor(POINT* client);
// Describes the pointer at a client point in the status bar.
void UpdateStatus(int32_t x, int32_t y);

// The overlays' paint callbacks.
void PaintImage(CWULCanvasOverlay* overlay, CWULOffscreenBuffer* buffer, CWULOffscreenBuffer* previous,
                const RECT* rect);
void PaintToolOverlay(CWULCanvasOverlay* overlay, CWULOffscreenBuffer* buffer, CWULOffscreenBuffer* previous,
                      const RECT* rect);

// Timer and ticker clients, public for the tests.
void OnOutlineTimer();
void OnAutoScrollTimer();
void OnTick();
int32_t GetOutlinePhase();
CWULTimer& GetOutlineTimer();
CWULTimer& GetAutoScrollTimer();
// Stops both timers (at exit).
void StopTimers();

}  // namespace MainView

// Builds the view in parent (the main window's client container); nothing when it exists.
// Shows "Main view creation failed" and passes the failure on. Returns the view.
CWULTiledCanvas* CreateMainView(CWULInteractor* parent);
