#include "ui/MainView.h"
#include <algorithm>
#include <cmath>
#include "document/EditorUI.h"
#include "document/Painters.h"
#include "document/PixelArray.h"
#include "document/Selection.h"
#include "shell/Errors.h"
#include "shell/Settings.h"
#include "tools/CurrentImage.h"
#include "tools/Ticker.h"
#include "tools/Tool.h"
#include "tools/ToolManager.h"
#include "ui/ZoomedView.h"
#include "wul/WULCanvas.h"
#include "wul/WULInit.h"
#include "wul/WULSystem.h"
#include "wul/WULTimer.h"

namespace {

const int32_t kZoomTable[MainView::ZOOM_STEPS] = {1, 2, 4, 8, 16, 24, 32, 48, 64};

const uint32_t kViewColor = 0xFF606060u;   // (96, 96, 96)
const uint32_t kFrameColor = 0xFF202020u;  // grey 128 scaled by 0.25

CWULTiledCanvas* g_View = nullptr;
CWULCanvasOverlay* g_ImageOverlay = nullptr;
CWULCanvasOverlay* g_ToolOverlay = nullptr;
int32_t g_ZoomIndex = 0;
int32_t g_ChannelMode = MainView::CHANNELS_NORMAL;
int32_t g_DragState = MainView::DRAG_IDLE;
MainView::CZoomAnchor g_Anchor;
ZoomedView::CWheel g_Wheel;
int32_t g_OutlinePhase = 0;
MainView::CHooks g_Hooks = {nullptr, nullptr, nullptr};

CWULTimer g_OutlineTimer;
CWULTimer g_AutoScrollTimer;

CImage* Image() { return GetCurrentImage(); }

CTool* ActiveTool() { return g_ToolManager.GetActiveTool(); }

CTool* UsableTool() {
  CTool* tool = ActiveTool();
  return tool && !tool->IsAway() ? tool : nullptr;
}

using ZoomedView::FloorDiv;

int32_t ClientWidth() { return ZoomedView::ClientWidth(g_View); }
int32_t ClientHeight() { return ZoomedView::ClientHeight(g_View); }

HWND ViewWindow() { return g_View ? g_View->window : nullptr; }

// The setting's colour, or the fallback while the settings are not made.
CColor SettingColor(CColorSetting* setting, uint32_t fallback) {
  return setting ? setting->GetValue() : CColor(fallback);
}

class RedrawSuspension : public ZoomedView::CRedrawSuspension {
public:
  RedrawSuspension() : ZoomedView::CRedrawSuspension(g_View) {}
};

// True while another change of the view runs.
bool RedrawSuspended() { return ZoomedView::RedrawSuspended(g_View); }

void ClearWheel() { g_Wheel.Clear(); }

void SetContentSizeForImage() { ZoomedView::SetContentSize(g_View, Image(), MainView::GetZoomFactor()); }

// Scrolls so that the image point lies at the client centre.
void ScrollToCentre(const Point& pos) {
  if (!g_View)
    return;
  const int64_t zoom = MainView::GetZoomFactor();
  const int64_t sx = RoundFixed(static_cast<int32_t>(zoom * pos.x)) - ClientWidth() / 2;
  const int64_t sy = RoundFixed(static_cast<int32_t>(zoom * pos.y)) - ClientHeight() / 2;
  g_View->SetScrollPos(static_cast<int>(sx), static_cast<int>(sy));
}

bool IsVisibleSupersampledLayer(CLayer* layer) {
  if (!layer || !layer->IsVisible() || layer->GetKind() != CLayer::KIND_RASTER)
    return false;
  return static_cast<CRasterLayer*>(layer)->IsSupersampled();
}

RECT ToRECT(const Rect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

}  // namespace

// The view's event handlers, private to the main view.
namespace MainView {
namespace {

void OnDeleted(CWULInteractor*) {
  g_View = nullptr;
  g_ImageOverlay = nullptr;
  g_ToolOverlay = nullptr;
  g_DragState = MainView::DRAG_IDLE;
}

void OnCreated(CWULInteractor* self) {
  if (g_OutlineTimer.interval > 0)
    g_OutlineTimer.Go();
  g_Ticker.Register(&MainView::OnTick);
  if (g_Hooks.registerStatusWindow)
    g_Hooks.registerStatusWindow(self, &MainView::UpdateStatus);
}

void OnDestroying(CWULInteractor* self) {
  if (g_Hooks.unregisterStatusWindow)
    g_Hooks.unregisterStatusWindow(self);
  g_Ticker.Unregister(&MainView::OnTick);
  MainView::StopTimers();
}

// x, y relative to the window's top-left corner.
bool InClientRect(int x, int y) { return ZoomedView::InClientRect(g_View, x, y); }

int OnSetCursor(CWULInteractor*, HCURSOR* cursor, int, int x, int y) {
  if (!InClientRect(x, y))
    return 0;
  CImage* image = Image();
  if (!image) {
    *cursor = LoadCursor(nullptr, IDC_ARROW);
    return 1;
  }
  RECT client;
  g_View->GetClientRect(&client);
  const Point pos = MainView::ClientToImage(x - client.left, y - client.top);
  if (CTool* tool = ActiveTool()) {
    if (tool->IsAway())
      tool->PointerEntered(pos);
    *cursor = tool->GetCursor(pos);
  } else {
    *cursor = GetEditorUI()->GetAppCursor(MainView::CURSOR_NO_TOOL);
  }
  return 1;
}

void OnMouseMove(CWULInteractor*, int, int x, int y) {
  if (g_DragState == MainView::DRAG_PANNING) {
    g_Anchor.client.x = x * 256 + 128;
    g_Anchor.client.y = y * 256 + 128;
    ZoomedView::ScrollToAnchor(g_View, g_Anchor, MainView::GetImageOrigin(), MainView::GetZoomFactor());
  } else if (g_DragState == MainView::DRAG_TOOL) {
    if (Image()) {
      if (CTool* tool = UsableTool())
        tool->MouseMove(MainView::ClientToImage(x, y));
    }
  } else if (!GetCapture() && Image()) {
    const Point client{x * 256 + 128, y * 256 + 128};
    if (client.NotEqual(g_Anchor.client)) {
      g_Anchor.client = client;
      g_Anchor.image = MainView::ClientToImage(x, y);
    }
    if (CTool* tool = UsableTool())
      tool->MouseMove(MainView::ClientToImage(x, y));
  }
  MainView::UpdateStatus(x, y);
}

void ButtonDown(int32_t button, int x, int y) {
  if (g_DragState != MainView::DRAG_IDLE && g_DragState != MainView::DRAG_TOOL)
    return;
  if (!Image())
    return;
  CTool* tool = UsableTool();
  if (!tool)
    return;
  const bool wasIdle = g_DragState == MainView::DRAG_IDLE;
  const bool accepted = tool->MouseDown(button, MainView::ClientToImage(x, y));
  if (!accepted || !wasIdle || !g_View)
    return;
  if (g_View->window)
    SetCapture(g_View->window);
  g_View->SetFocus();
  g_DragState = MainView::DRAG_TOOL;
  GetEditorUI()->RestoreCursor();
  if (g_AutoScrollTimer.interval > 0)
    g_AutoScrollTimer.Go();
  MainView::UpdateStatus(x, y);
}

void ButtonUp(int32_t button, int x, int y) {
  if (g_DragState != MainView::DRAG_TOOL)
    return;
  CTool* tool = UsableTool();
  if (!tool)
    return;
  if (tool->MouseUp(button, MainView::ClientToImage(x, y))) {
    ReleaseCapture();
    MainView::UpdateStatus(x, y);
  }
}

void OnLeftDown(CWULInteractor*, int, int x, int y) { ButtonDown(CTool::BUTTON_LEFT, x, y); }
void OnLeftUp(CWULInteractor*, int, int x, int y) { ButtonUp(CTool::BUTTON_LEFT, x, y); }
void OnRightDown(CWULInteractor*, int, int x, int y) { ButtonDown(CTool::BUTTON_RIGHT, x, y); }
void OnRightUp(CWULInteractor*, int, int x, int y) { ButtonUp(CTool::BUTTON_RIGHT, x, y); }

void OnCaptureChanged(CWULInteractor*) {
  const int32_t state = g_DragState;
  g_DragState = MainView::DRAG_IDLE;
  if (state == MainView::DRAG_TOOL) {
    g_AutoScrollTimer.Stop();
    if (CTool* tool = ActiveTool())
      tool->EndDrag();
  }
}

void OnMiddleDown(CWULInteractor*, int, int x, int y) {
  if (g_DragState != MainView::DRAG_IDLE || !Image() || !g_View)
    return;
  if (CTool* tool = UsableTool())
    tool->PointerLeft();
  // The grabbed image point is the one under the press.
  g_Anchor.client = Point{x * 256 + 128, y * 256 + 128};
  g_Anchor.image = MainView::ClientToImage(x, y);
  if (g_View->window)
    SetCapture(g_View->window);
  g_View->SetFocus();
  g_DragState = MainView::DRAG_PANNING;
  ::SetCursor(GetEditorUI()->GetAppCursor(MainView::CURSOR_PAN));
}

void OnMiddleUp(CWULInteractor*, int, int, int) {
  if (g_DragState == MainView::DRAG_PANNING)
    ReleaseCapture();
}

bool AcceptsWheel(CWULInteractor*, int x, int y) {
  return ZoomedView::AcceptsWheel(g_DragState == MainView::DRAG_PANNING, g_View, x, y);
}

int OnMouseWheel(CWULInteractor*, float* notches, int, int, int) {
  if (!Image())
    return 1;
  const int32_t n = g_Wheel.Turn(*notches, [](int32_t steps) {
    const MainView::CZoomAnchor anchor = g_Anchor;
    MainView::SetZoomIndex(g_ZoomIndex + steps, &anchor);
  });
  if (n == 0)
    return 1;
  if (g_Hooks.updateZoomStates)
    g_Hooks.updateZoomStates();
  GetEditorUI()->RestoreCursor();
  return 1;
}

void OnSizeChanged(CWULInteractor*) {}

}  // namespace
}  // namespace MainView

namespace {

int OnOutlineTimerCallback(CWULTimer*, CWULTimer*) {
  MainView::OnOutlineTimer();
  return 0;
}

int OnAutoScrollTimerCallback(CWULTimer*, CWULTimer*) {
  MainView::OnAutoScrollTimer();
  return 0;
}

// The image layers of one pixel (or the rectangle of a zoomed view) as shown in Normal mode,
// without chequerboard. False when nothing was drawn.
bool RenderLayers(CImage* image, CPixelArray& target, const Rect& rect, const Point& origin, int32_t zoom,
                  bool blendFirst) {
  bool drawn = blendFirst;
  if (const CPixelArray* below = image->GetBelowCache()) {
    if (drawn)
      target.BlendZoomed(rect, origin, *below, zoom, 1.0f);
    else
      target.CopyZoomed(rect, origin, *below, zoom);
    drawn = true;
  }
  CLayer* layer = image->GetActiveLayer();
  if (layer && layer->IsVisible()) {
    layer->Render(target, rect, origin, zoom, drawn ? CLayer::RENDER_BLEND : CLayer::RENDER_COPY);
    drawn = true;
  }
  if (const CPixelArray* above = image->GetAboveCache()) {
    if (drawn)
      target.BlendZoomed(rect, origin, *above, zoom, 1.0f);
    else
      target.CopyZoomed(rect, origin, *above, zoom);
    drawn = true;
  }
  return drawn;
}

}  // namespace

namespace MainView {

HWND GetWindowUnderCursor(POINT* client) {
  POINT cursor = {0, 0};
  if (!GetCursorPos(&cursor))
    return nullptr;
  if (HWND capture = GetCapture()) {
    POINT p = cursor;
    ScreenToClient(capture, &p);
    if (client)
      *client = p;
    return capture;
  }
  HWND under = WindowFromPoint(cursor);
  if (!under)
    return nullptr;
  POINT p = cursor;
  ScreenToClient(under, &p);
  RECT rect;
  GetClientRect(under, &rect);
  if (!PtInRect(&rect, p))
    return nullptr;
  if (client)
    *client = p;
  return under;
}

void SetHooks(const CHooks* hooks) { g_Hooks = hooks ? *hooks : CHooks{nullptr, nullptr, nullptr}; }

CWULTiledCanvas* GetView() { return g_View; }
CWULCanvasOverlay* GetImageOverlay() { return g_ImageOverlay; }
CWULCanvasOverlay* GetToolOverlay() { return g_ToolOverlay; }

Point GetImageOrigin() { return ZoomedView::ImageOrigin(g_View, Image(), GetZoomFactor()); }

bool ClientToPixel(const Point& client, Point& pixel) {
  if (!Image()) {
    pixel = Point{};
    return false;
  }
  pixel = ZoomedView::ClientToPixel(GetImageOrigin(), GetZoomFactor(), client);
  return true;
}

Point ClientToImage(int32_t x, int32_t y) {
  if (!Image())
    return Point{};
  return ZoomedView::ClientToImage(GetImageOrigin(), GetZoomFactor(), x, y);
}

Point ImageToClient(int32_t x, int32_t y) {
  if (!Image())
    return Point{};
  const Point origin = GetImageOrigin();
  const int64_t zoom = GetZoomFactor();
  return Point{static_cast<int32_t>(origin.x + ((int64_t(x) * zoom) >> 8)),
               static_cast<int32_t>(origin.y + ((int64_t(y) * zoom) >> 8))};
}

Point ImageToClientPoint(const Point& pos) { return ImageToClient(pos.x, pos.y); }

Rect ClientToImageRect(const Rect& client) {
  Rect r;
  if (!Image())
    return r;
  const Point origin = GetImageOrigin();
  const int64_t zoom = GetZoomFactor();
  r.left = static_cast<int32_t>(FloorDiv((int64_t(client.left) - origin.x) * 256, zoom));
  r.top = static_cast<int32_t>(FloorDiv((int64_t(client.top) - origin.y) * 256, zoom));
  r.right = static_cast<int32_t>(FloorDiv((int64_t(client.right) - origin.x) * 256 - 1, zoom) + 1);
  r.bottom = static_cast<int32_t>(FloorDiv((int64_t(client.bottom) - origin.y) * 256 - 1, zoom) + 1);
  return r;
}

Rect ImageToClientRect(const Rect& image) {
  Rect r;
  if (!Image())
    return r;
  const Point origin = GetImageOrigin();
  const int64_t zoom = GetZoomFactor();
  r.left = static_cast<int32_t>((int64_t(image.left) * zoom) >> 8);
  r.top = static_cast<int32_t>((int64_t(image.top) * zoom) >> 8);
  r.right = image.right > image.left ? static_cast<int32_t>(((int64_t(image.right) * zoom - 1) >> 8) + 1)
                                     : static_cast<int32_t>((int64_t(image.right) * zoom) >> 8);
  r.bottom = image.bottom > image.top ? static_cast<int32_t>(((int64_t(image.bottom) * zoom - 1) >> 8) + 1)
                                      : static_cast<int32_t>((int64_t(image.bottom) * zoom) >> 8);
  r.left += origin.x;
  r.right += origin.x;
  r.top += origin.y;
  r.bottom += origin.y;
  return r;
}

Point GetCursorImagePoint() {
  HWND window = ViewWindow();
  if (!window)
    return Point{};
  POINT cursor = {0, 0};
  GetCursorPos(&cursor);
  ScreenToClient(window, &cursor);
  return ClientToImage(cursor.x, cursor.y);
}

int32_t GetZoomFactor() { return kZoomTable[g_ZoomIndex]; }

int32_t GetZoomIndex() { return g_ZoomIndex; }

int32_t GetZoomFactorAt(int32_t index) { return index >= 0 && index < ZOOM_STEPS ? kZoomTable[index] : 0; }

int32_t GetChannelMode() { return g_ChannelMode; }
int32_t GetDragState() { return g_DragState; }

int32_t GetNudgeStep() {
  int32_t step = 256;
  if (CImage* image = Image()) {
    if (IsVisibleSupersampledLayer(image->GetActiveLayer()))
      step = 32;
  }
  const int32_t zoom = GetZoomFactor();
  while (step * zoom < 256)
    step *= 2;
  return step;
}

bool PickColorAt(const Point& client, CColor& color) {
  CImage* image = Image();
  if (!image || !g_View)
    return false;
  if (client.x < 0 || client.y < 0 || client.x >= ClientWidth() || client.y >= ClientHeight())
    return false;
  Point pixel;
  if (!ClientToPixel(client, pixel))
    return false;
  if (pixel.x < 0 || pixel.y < 0 || pixel.x >= image->GetWidth() || pixel.y >= image->GetHeight())
    return false;
  uint32_t value = 0;
  CPixelArray one(&value, 1, 1);
  Rect rect;
  rect.right = rect.bottom = 1;
  RenderLayers(image, one, rect, Point{-pixel.x, -pixel.y}, 1, false);
  color = CColor(value);
  return true;
}

void SetZoomIndex(int32_t index, const CZoomAnchor* anchor) {
  if (RedrawSuspended())
    return;
  RedrawSuspension suspension;
  ClearWheel();
  index = std::max(0, std::min(index, static_cast<int32_t>(ZOOM_STEPS) - 1));
  if (index == g_ZoomIndex)
    return;
  CImage* image = Image();
  if (!image || !g_View) {
    g_ZoomIndex = index;
    return;
  }
  const CZoomAnchor fixed = anchor ? *anchor : ZoomedView::CentreAnchor(g_View, GetImageOrigin(), GetZoomFactor());
  g_ZoomIndex = index;
  SetContentSizeForImage();
  ZoomedView::ScrollToAnchor(g_View, fixed, GetImageOrigin(), GetZoomFactor());
  ResendPointer();
}

void RefitToImage() {
  if (RedrawSuspended())
    return;
  RedrawSuspension suspension;
  ClearWheel();
  if (!Image()) {
    g_ZoomIndex = 0;
    if (g_View)
      g_View->SetContentSize(0, 0);
    return;
  }
  SetContentSizeForImage();
  if (g_DragState == DRAG_IDLE)
    ResendPointer();
}

void ZoomToRect(const Rect& rect) {
  CImage* image = Image();
  if (!image || !g_View || RedrawSuspended())
    return;
  const int32_t viewWidth = g_View->GetWidth() - 2 * g_View->GetLeftInset();
  const int32_t viewHeight = g_View->GetHeight() - 2 * g_View->GetTopInset();
  const int32_t bar = g_View->GetBarThickness();
  const int64_t rectWidth = int64_t(rect.right) - rect.left;
  const int64_t rectHeight = int64_t(rect.bottom) - rect.top;
  int32_t i = 1;
  for (; i < ZOOM_STEPS; ++i) {
    const int64_t z = kZoomTable[i];
    int64_t availableWidth = viewWidth;
    int64_t availableHeight = viewHeight;
    const int64_t imageWidth = z * image->GetWidth();
    const int64_t imageHeight = z * image->GetHeight();
    // The bars the image would need at this zoom, each taking room from the other side.
    if (imageWidth > availableWidth)
      availableHeight -= bar;
    if (imageHeight > availableHeight)
      availableWidth -= bar;
    if (imageWidth > availableWidth)
      availableHeight -= bar;
    if (availableWidth < ((z * rectWidth + 255) >> 8) || availableHeight < ((z * rectHeight + 255) >> 8))
      break;
  }
  const int32_t chosen = std::max(0, i - 1);
  CViewState state;
  state.zoom = kZoomTable[chosen];
  state.channelMode = g_ChannelMode;
  state.center.x = static_cast<int32_t>(rect.left + rectWidth / 2);
  state.center.y = static_cast<int32_t>(rect.top + rectHeight / 2);
  SetViewState(state);
}

void ZoomToFitImage() {
  CImage* image = Image();
  if (!image)
    return;
  Rect rect;
  rect.right = image->GetWidth() << 8;
  rect.bottom = image->GetHeight() << 8;
  ZoomToRect(rect);
}

CViewState GetViewState() {
  CViewState state;
  state.zoom = GetZoomFactor();
  state.channelMode = g_ChannelMode;
  state.center = Point{};
  if (Image() && g_View) {
    const Point origin = GetImageOrigin();
    const int64_t zoom = GetZoomFactor();
    state.center.x = static_cast<int32_t>((int64_t(ClientWidth()) * 128 - int64_t(origin.x) * 256) / zoom);
    state.center.y = static_cast<int32_t>((int64_t(ClientHeight()) * 128 - int64_t(origin.y) * 256) / zoom);
  }
  return state;
}

void SetViewState(const CViewState& state) {
  if (RedrawSuspended())
    return;
  RedrawSuspension suspension;
  ClearWheel();
  int32_t index = ZOOM_STEPS - 1;
  for (int32_t i = 0; i < ZOOM_STEPS; ++i) {
    if (kZoomTable[i] >= state.zoom) {
      index = i;
      break;
    }
  }
  if (state.channelMode >= CHANNELS_NORMAL && state.channelMode <= CHANNELS_ALPHA)
    g_ChannelMode = state.channelMode;
  if (!Image()) {
    if (g_View)
      g_View->SetContentSize(0, 0);
    return;
  }
  g_ZoomIndex = index;
  SetContentSizeForImage();
  ScrollToCentre(state.center);
  ResendPointer();
}

void CenterOn(const Point& pos) {
  if (RedrawSuspended())
    return;
  RedrawSuspension suspension;
  ClearWheel();
  if (!Image())
    return;
  ScrollToCentre(pos);
  ResendPointer();
}

void SetChannelMode(int32_t mode) {
  if (mode == g_ChannelMode)
    return;
  g_ChannelMode = mode;
  if (g_View && g_ImageOverlay)
    g_View->RenderAll(nullptr);
}

void ResendPointer() {
  HWND window = ViewWindow();
  if (!window)
    return;
  CTool* tool = UsableTool();
  if (!tool || !Image())
    return;
  POINT client;
  if (GetWindowUnderCursor(&client) != window)
    return;
  const Point pos = ClientToImage(client.x, client.y);
  ::SetCursor(tool->GetCursor(pos));
  tool->MouseMove(pos);
}

void InvalidateImageRect(const Rect* rect) {
  if (!rect) {
    RefitToImage();
    return;
  }
  if (!Image() || rect->IsEmpty() || !g_View || !g_ImageOverlay)
    return;
  const RECT area = ToRECT(ImageToClientRect(*rect));
  g_View->Render(g_ImageOverlay, &area);
}

void InvalidateToolOverlay() {
  if (!Image() || !g_View || !g_ToolOverlay)
    return;
  g_View->Render(g_ToolOverlay, nullptr);
}

void InvalidateToolOverlayRect(const Rect* rect) {
  if (!rect) {
    InvalidateToolOverlay();
    return;
  }
  if (!Image() || !g_View || !g_ToolOverlay)
    return;
  const RECT area = ToRECT(ImageToClientRect(*rect));
  g_View->Render(g_ToolOverlay, &area);
}

void UpdateStatus(int32_t x, int32_t y) {
  CTool* tool = ActiveTool();
  if (g_DragState == DRAG_TOOL) {
    if (tool) {
      const Point pos = ClientToImage(x, y);
      tool->ShowHint();
      tool->ShowPosition(pos);
      tool->ShowColor(pos);
    }
    return;
  }
  if (g_DragState == DRAG_PANNING || GetCapture())
    return;
  if (tool)
    tool->ShowHint();
  if (!Image())
    return;
  CEditorUI* host = GetEditorUI();
  Point pixel;
  ClientToPixel(Point{x, y}, pixel);
  host->SetPixelPosition(pixel.x, pixel.y);
  CColor color;
  if (PickColorAt(Point{x, y}, color))
    host->SetColor(color);
}

void PaintImage(CWULCanvasOverlay*, CWULOffscreenBuffer* buffer, CWULOffscreenBuffer*, const RECT* rect) {
  CWULImage* target = buffer ? buffer->GetImage() : nullptr;
  if (!target || !rect)
    return;
  GdiFlush();
  CPixelArray view(target->pixels, target->width, target->height);
  const Rect update = ZoomedView::ClipToBuffer(view, *rect);
  if (update.IsEmpty())
    return;
  CImage* image = Image();
  if (!image) {
    view.FillRect(update, kViewColor);
    return;
  }
  const int32_t zoom = GetZoomFactor();
  const Point origin = GetImageOrigin();
  const Rect r = ZoomedView::ImageBounds(origin, image, zoom);
  Rect frame = r;
  frame.left -= 1;
  frame.top -= 1;
  frame.right += 1;
  frame.bottom += 1;
  const Rect c = update.Intersect(r);
  if (update.Intersect(frame).IsEmpty()) {
    view.FillRect(update, kViewColor);
  } else if (c.IsEmpty()) {
    // Only the frame is touched.
    view.FillRect(update, kViewColor);
    const Rect lines[4] = {Rect{frame.left, frame.top, frame.right, r.top},
                           Rect{frame.left, r.bottom, frame.right, frame.bottom},
                           Rect{frame.left, r.top, r.left, r.bottom}, Rect{r.right, r.top, frame.right, r.bottom}};
    for (const Rect& line : lines)
      view.FillRect(line.Intersect(update), kFrameColor);
  } else {
    // Around C: the bands above and below span the update rectangle, left and right the rows of C.
    const Rect above{update.left, update.top, update.right, c.top};
    const Rect below{update.left, c.bottom, update.right, update.bottom};
    const Rect left{update.left, c.top, c.left, c.bottom};
    const Rect right{c.right, c.top, update.right, c.bottom};
    if (above.IsNonEmpty()) {
      view.FillRect(above, kViewColor);
      view.FillRect(Rect{frame.left, frame.top, frame.right, r.top}.Intersect(above), kFrameColor);
    }
    if (below.IsNonEmpty()) {
      view.FillRect(below, kViewColor);
      view.FillRect(Rect{frame.left, r.bottom, frame.right, frame.bottom}.Intersect(below), kFrameColor);
    }
    if (left.IsNonEmpty()) {
      view.FillRect(left, kViewColor);
      view.FillRect(Rect{frame.left, r.top, r.left, r.bottom}.Intersect(left), kFrameColor);
    }
    if (right.IsNonEmpty()) {
      view.FillRect(right, kViewColor);
      view.FillRect(Rect{r.right, r.top, frame.right, r.bottom}.Intersect(right), kFrameColor);
    }
  }
  if (c.IsNonEmpty()) {
    if (g_ChannelMode == CHANNELS_NORMAL) {
      CChequer chequer;
      chequer.originX = origin.x;
      chequer.originY = origin.y;
      chequer.cellSize = 8;
      chequer.colorA = SettingColor(g_Settings.uiColorsChequerA, 0xFFF0F0F0u);
      chequer.colorB = SettingColor(g_Settings.uiColorsChequerB, 0xFFC0C0C0u);
      PaintChequer(view, c, chequer);
      RenderLayers(image, view, c, origin, zoom, true);
    } else {
      if (!RenderLayers(image, view, c, origin, zoom, false))
        view.FillRect(c, 0);
      for (int32_t y = c.top; y < c.bottom; ++y) {
        uint32_t* p = view.PixelAt(c.left, y);
        for (int32_t x = c.left; x < c.right; ++x, ++p) {
          if (g_ChannelMode == CHANNELS_COLOR) {
            *p |= 0xFF000000u;
          } else {
            const uint32_t a = *p >> 24;
            *p = 0xFF000000u | (a << 16) | (a << 8) | a;
          }
        }
      }
    }
    if (zoom >= 4) {
      float strength = 0.75f;
      switch (zoom) {
        case 4: strength = 0.25f; break;
        case 8: strength = 0.33f; break;
        case 16: strength = 0.5f; break;
        case 24: strength = 0.67f; break;
        default: break;
      }
      CGrid grid;
      grid.originX = origin.x;
      grid.originY = origin.y;
      grid.color = SettingColor(g_Settings.uiColorsGridA, 0xFFA0A0C8u);
      const int32_t fine = zoom / 8;
      if (fine >= 4 && IsVisibleSupersampledLayer(image->GetActiveLayer())) {
        const float s2 = 0.25f + static_cast<float>(std::min(fine, 8) - 4) * 0.02f;
        grid.spacing = fine;
        grid.opacity = s2;
        PaintGrid(view, c, grid);
        strength = 1.0f - (1.0f - strength) / (1.0f - s2);
      }
      grid.spacing = zoom;
      grid.opacity = strength;
      PaintGrid(view, c, grid);
    }
  }
}

void PaintToolOverlay(CWULCanvasOverlay*, CWULOffscreenBuffer* buffer, CWULOffscreenBuffer* previous,
                      const RECT* rect) {
  CWULImage* target = buffer ? buffer->GetImage() : nullptr;
  CWULImage* source = previous ? previous->GetImage() : nullptr;
  if (!target || !rect)
    return;
  GdiFlush();
  CPixelArray view(target->pixels, target->width, target->height);
  const Rect update = ZoomedView::ClipToBuffer(view, *rect);
  if (update.IsEmpty())
    return;
  if (source) {
    CPixelArray under(source->pixels, source->width, source->height);
    view.CopyRectTo(update.left, update.top, under, update);
  }
  CImage* image = Image();
  if (!image)
    return;
  const Point origin = GetImageOrigin();
  const int32_t zoom = GetZoomFactor();
  CSelection* selection = image->GetSelection();
  if (selection && selection->IsActive())
    selection->DrawOutline(view, update, origin, zoom, g_OutlinePhase);
  if (CTool* tool = UsableTool()) {
    CToolOverlay overlay;
    overlay.width = view.width;
    overlay.height = view.height;
    overlay.pixels = view.data;
    overlay.viewPixels = source ? source->pixels : nullptr;
    overlay.overlayImage = buffer;
    overlay.viewImage = previous;
    overlay.clip = update;
    tool->DrawOverlay(overlay);
  }
}

void OnOutlineTimer() {
  if (GetCapture() || !g_View)
    return;
  HWND window = ViewWindow();
  HWND root = window ? GetAncestor(window, GA_ROOT) : nullptr;
  if (!root || GetActiveWindow() != root || !IsWindowEnabled(root) || IsIconic(root))
    return;
  CImage* image = Image();
  CSelection* selection = image ? image->GetSelection() : nullptr;
  if (selection && selection->IsActive()) {
    ++g_OutlinePhase;
    InvalidateToolOverlay();
  }
}

void OnAutoScrollTimer() {
  CTool* tool = ActiveTool();
  HWND window = ViewWindow();
  if (!tool || !tool->WantsAutoScroll() || !window)
    return;
  POINT cursor = {0, 0};
  GetCursorPos(&cursor);
  ScreenToClient(window, &cursor);
  const int32_t cw = ClientWidth();
  const int32_t ch = ClientHeight();
  const int32_t dx = cursor.x < 0 ? cursor.x : (cursor.x >= cw ? cursor.x - cw + 1 : 0);
  const int32_t dy = cursor.y < 0 ? cursor.y : (cursor.y >= ch ? cursor.y - ch + 1 : 0);
  if (dx == 0 && dy == 0)
    return;
  const int32_t sx = std::max(0, std::min(g_View->GetScrollX() + dx, std::max(0, g_View->GetContentWidth() - cw)));
  const int32_t sy = std::max(0, std::min(g_View->GetScrollY() + dy, std::max(0, g_View->GetContentHeight() - ch)));
  if (sx == g_View->GetScrollX() && sy == g_View->GetScrollY())
    return;
  RedrawSuspension suspension;
  g_View->SetScrollPos(sx, sy);
  tool->MouseMove(ClientToImage(cursor.x, cursor.y));
}

void OnTick() {
  HWND window = ViewWindow();
  if (!window)
    return;
  if (GetWindowUnderCursor(nullptr) == window)
    return;
  if (CTool* tool = UsableTool())
    tool->PointerLeft();
}

int32_t GetOutlinePhase() { return g_OutlinePhase; }
CWULTimer& GetOutlineTimer() { return g_OutlineTimer; }
CWULTimer& GetAutoScrollTimer() { return g_AutoScrollTimer; }

void StopTimers() {
  if (g_OutlineTimer.IsRunning())
    g_OutlineTimer.Stop();
  if (g_AutoScrollTimer.IsRunning())
    g_AutoScrollTimer.Stop();
}

}  // namespace MainView

CWULTiledCanvas* CreateMainView(CWULInteractor* parent) {
  if (g_View)
    return g_View;
  try {
    wulPushDefaultParent(parent);
    CWULTiledCanvas* view;
    try {
      view = new CWULTiledCanvas();
    } catch (...) {
      wulPopDefaultParent();
      throw;
    }
    wulPopDefaultParent();
    g_View = view;
    view->SetBorderStyle(0);
    view->SetBarThickness(wulScrollBarThickness + 2);
    view->SetLineStep(16, 16);
    view->SetParentColor(false);
    view->color.SetRGB(96, 96, 96);
    view->SetPaintMode(WUL_PAINT_TILES);
    view->SetTileSize(64);
    view->alignment = WUL_ALIGN_FILL;
    view->deletedHandler = &MainView::OnDeleted;
    view->createdHandler = &MainView::OnCreated;
    view->destroyedHandler = &MainView::OnDestroying;
    view->setCursorHandler = &MainView::OnSetCursor;
    view->mouseMoveHandler = &MainView::OnMouseMove;
    view->leftDownHandler = &MainView::OnLeftDown;
    view->leftDoubleClickHandler = &MainView::OnLeftDown;
    view->leftUpHandler = &MainView::OnLeftUp;
    view->rightDownHandler = &MainView::OnRightDown;
    view->rightDoubleClickHandler = &MainView::OnRightDown;
    view->rightUpHandler = &MainView::OnRightUp;
    view->middleDownHandler = &MainView::OnMiddleDown;
    view->middleDoubleClickHandler = &MainView::OnMiddleDown;
    view->middleUpHandler = &MainView::OnMiddleUp;
    view->captureLostHandler = &MainView::OnCaptureChanged;
    view->wheelAcceptHandler = &MainView::AcceptsWheel;
    view->wheelHandler = &MainView::OnMouseWheel;
    view->sizeChangedHandler = &MainView::OnSizeChanged;

    g_ImageOverlay = new CWULCanvasOverlay();
    g_ImageOverlay->drawCallback = &MainView::PaintImage;
    view->AddOverlay(g_ImageOverlay);
    g_ToolOverlay = new CWULCanvasOverlay();
    g_ToolOverlay->drawCallback = &MainView::PaintToolOverlay;
    view->AddOverlay(g_ToolOverlay);

    g_ZoomIndex = 0;
    MainView::RefitToImage();

    g_OutlineTimer.SetInterval(g_Settings.timingsMaskAnimationInterval
                                   ? static_cast<int32_t>(g_Settings.timingsMaskAnimationInterval->GetValue())
                                   : 200);
    g_OutlineTimer.callback = &OnOutlineTimerCallback;
    g_AutoScrollTimer.SetInterval(g_Settings.timingsAutoScrollInterval
                                      ? static_cast<int32_t>(g_Settings.timingsAutoScrollInterval->GetValue())
                                      : 100);
    g_AutoScrollTimer.callback = &OnAutoScrollTimerCallback;
    // Created inside a parent that already has a window: make ours now.
    if (parent && parent->window && !view->window)
      view->IncarnateTree(parent->window);
    return view;
  } catch (...) {
    ErrorBox("Main view creation failed");
    throw;
  }
}
