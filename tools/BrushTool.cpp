#include "tools/BrushTool.h"
#include <windows.h>
#include <cmath>
#include "document/EditorUI.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/PixelArray.h"
#include "document/Supersample.h"
#include "shell/Settings.h"
#include "tools/CurrentImage.h"
#include "tools/OptionPanes.h"
#include "tools/DrawingColors.h"
#include "tools/LayerEdit.h"
#include "tools/StrokePreview.h"
#include "tools/WorkingCopies.h"
#include "wul/WULEdit.h"
#include "wul/WULMath.h"

namespace {

const float kFeedbackOpacity = 0.5f;
// Messages looked at between dabs before the stroke goes on (a guard against a queue that
// never empties).
const int32_t kMaxSkippedMessages = 4096;

int32_t ClampSetting(const CUIntSetting* setting, uint32_t low, uint32_t high, uint32_t fallback) {
  const uint32_t v = setting ? setting->GetValue() : fallback;
  return static_cast<int32_t>(v < low ? low : (v > high ? high : v));
}

void HardnessChanged(CWULInteractor* control, uint32_t) {
  if (control && control == GetPaintToolOptions().hardness)
    RedrawPaintToolPreview();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CStrokePointQueue

CStrokePointQueue::CStrokePointQueue() {
  Clear();
}

void CStrokePointQueue::Clear() {
  closed = 0;
  writeIndex = -1;
  readIndex = 0;
  count = 0;
}

bool CStrokePointQueue::Push(const Point& p) {
  if (closed || count >= CAPACITY)
    return false;
  if (count > 0 && !p.NotEqual(points[writeIndex]))
    return true;
  writeIndex = writeIndex >= CAPACITY - 1 ? 0 : writeIndex + 1;
  points[writeIndex] = p;
  ++count;
  return true;
}

bool CStrokePointQueue::Pop(Point& p) {
  if (count == 0)
    return false;
  p = points[readIndex];
  readIndex = readIndex >= CAPACITY - 1 ? 0 : readIndex + 1;
  --count;
  return true;
}

Point CStrokePointQueue::Newest() const {
  return count > 0 ? points[writeIndex] : Point{};
}

bool CStrokePointQueue::PushPointer() {
  Point p;
  if (!GetEditorUI()->GetCursorImagePoint(p))
    return false;
  return Push(p);
}

// ---------------------------------------------------------------------------------------------
// Dabs

CBrushShape GetBrushShape() {
  CBrushShape brush;
  brush.size = ClampSetting(g_Settings.drawingToolsBrushSize, 1, 100, 8);
  brush.hardness = ClampSetting(g_Settings.drawingToolsBrushHardness, 0, 100, 0);
  brush.opacity = ClampSetting(g_Settings.drawingToolsBrushOpacity, 1, 100, 100);
  return brush;
}

Rect GetDabSquare(const Point& p, int32_t size, int32_t step) {
  const int32_t a = size * step;
  Rect square;
  square.left = p.x - a / 2;
  square.top = p.y - a / 2;
  if (GetScreenBrushDiameter(size, step) % 2 == 0) {
    int32_t zoom = GetEditorUI()->GetZoomFactor();
    if (zoom < 1)
      zoom = 1;
    const int32_t half = (zoom / 2 + 128) / zoom;
    square.left += half;
    square.top += half;
  }
  square.right = square.left + a;
  square.bottom = square.top + a;
  return square;
}

float GetDabBaseAlpha(int32_t opacity, int32_t hardness) {
  const float k = opacity / 100.0f;
  const float h = hardness / 100.0f;
  float base = static_cast<float>((1.0 - wulPow(1.0 - 0.999 * k, (2.0 - h) * 0.1)) * 255.0);
  const float least = k < 0.999f ? 1.0f : 128.0f;
  if (base < least)
    base = least;
  return base;
}

CDabProfile::CDabProfile(int32_t size, int32_t hardness) {
  radius = size / 2.0f;
  const float h = hardness / 100.0f;
  core = h * radius;
  falloff = h >= 0.999f ? 0.0f : 1.0f / (radius - core);
  const float half = static_cast<float>(std::sqrt(2.0) / 2.0);
  outer2 = static_cast<double>(radius + half) * (radius + half);
  hasCore = core >= half;
  core2 = static_cast<double>(core - half) * (core - half);
  hasRamp = radius >= half;
  rampIn2 = static_cast<double>(core + half) * (core + half);
  rampOut2 = static_cast<double>(radius - half) * (radius - half);
  coreSquared = static_cast<double>(core) * core;
  radiusSquared = static_cast<double>(radius) * radius;
}

float CDabProfile::GetCoverage(double dx, double dy) const {
  const double d2 = dx * dx + dy * dy;
  if (d2 > outer2)
    return 0.0f;
  if (hasCore && d2 <= core2)
    return 1.0f;
  if (hasRamp && d2 >= rampIn2 && d2 <= rampOut2)
    return static_cast<float>((radius - std::sqrt(d2)) * falloff);
  // On a boundary: 8 x 8 samples.
  double sum = 0.0;
  for (int32_t sy = 0; sy < 8; ++sy) {
    const double oy = dy - 0.4375 + 0.125 * sy;
    for (int32_t sx = 0; sx < 8; ++sx) {
      const double ox = dx - 0.4375 + 0.125 * sx;
      const double d = ox * ox + oy * oy;
      if (d <= coreSquared)
        sum += 1.0;
      else if (d <= radiusSquared)
        sum += (radius - std::sqrt(d)) * falloff;
    }
  }
  return static_cast<float>(sum / 64.0);
}

Rect PaintBrushDab(const Point& p, const CBrushShape& brush, CColor color) {
  Rect none;
  CLayer* layer = GetCurrentLayer();
  if (!layer)
    return none;
  const int32_t step = GetToolPixelStep();
  const Rect square = GetDabSquare(p, brush.size, step);
  const Rect area = square.Intersect(GetLayerBounds24(layer));
  if (area.IsEmpty())
    return none;
  CRasterLayer* raster = GetCurrentRasterLayer();
  const int32_t level = raster ? raster->GetSupersampleLevel() : 0;
  const int32_t shift = 8 - level;
  const Rect work = ShiftRectOut(area, shift);
  Rect painted;
  painted.left = work.left << shift;
  painted.top = work.top << shift;
  painted.right = work.right << shift;
  painted.bottom = work.bottom << shift;
  if (!raster)
    return painted;
  CPixelArray* target = raster->GetPixelArray();
  const CMaskArray* mask;
  if (!target || !target->data || !GetEditMask(raster, mask))
    return painted;

  const CDabProfile profile(brush.size, brush.hardness);
  const float base = GetDabBaseAlpha(brush.opacity, brush.hardness);

  const double cx = (static_cast<double>(square.left) + square.right) / (2.0 * step) - 0.5;
  const double cy = (static_cast<double>(square.top) + square.bottom) / (2.0 * step) - 0.5;
  const int32_t channelMode = GetEditorUI()->GetChannelMode();
  const uint32_t paint = color.value;

  for (int32_t i = work.top; i < work.bottom; ++i) {
    for (int32_t j = work.left; j < work.right; ++j) {
      const float coverage = profile.GetCoverage(j - cx, i - cy);
      if (coverage <= 0.0f)
        continue;
      int32_t alpha = wulRoundFloat(coverage * base);
      if (alpha <= 0)
        continue;
      if (alpha > 255)
        alpha = 255;
      const ptrdiff_t index = static_cast<ptrdiff_t>(i) * target->width + j;
      uint32_t amount = static_cast<uint32_t>(alpha);
      if (mask)
        amount = ScaleCoverage(mask->data[index], amount);
      if (amount)
        target->data[index] = BlendByChannelMode(target->data[index], paint, amount, channelMode);
    }
  }
  if (level) {
    const Rect plain = SupersampleRectTo1x(work);
    raster->Update(&plain);
  }
  return painted;
}

// ---------------------------------------------------------------------------------------------
// CBrushTool

CBrushTool::CBrushTool() {
  id = 51;
}

int32_t CBrushTool::GetSize() const {
  return ClampSetting(g_Settings.drawingToolsBrushSize, 1, 100, 8);
}

CUIntSetting* CBrushTool::GetSizeSetting() const {
  return g_Settings.drawingToolsBrushSize;
}

void CBrushTool::CreateOptionsPane() {
  CWULInteractor* pane = BeginPaintToolOptions(this, GetEditorUI()->GetOptionHostWindow());
  if (!pane)
    return;
  const int x = GetPaintOptionsRowX();
  const int w = PAINT_OPTIONS_LABEL_WIDTH;
  COptionParentScope scope(pane);
  CWULSpinEdit* size =
      AddOptionSpin("Size:", x, 4, w, g_Settings.drawingToolsBrushSize, 1, 100, &OnPaintToolSizeChanged);
  CWULSpinEdit* hardness =
      AddOptionSpin("Hardness, %:", x, 24, w, g_Settings.drawingToolsBrushHardness, 0, 100, &HardnessChanged);
  CWULSpinEdit* opacity = AddOptionSpin("Opacity, %:", x, 44, w, g_Settings.drawingToolsBrushOpacity, 1, 100);
  FinishPaintToolOptions(size, hardness, opacity);
}

void CBrushTool::ComputePreview(int32_t width, int32_t height, float* coverage) const {
  const CBrushShape brush = GetBrushShape();
  ComputeBrushPreview(brush.size, brush.hardness, width, height, coverage);
}

void CBrushTool::SkipPendingMouseMessages() {
  const UINT release = button == BUTTON_RIGHT ? WM_RBUTTONUP : WM_LBUTTONUP;
  MSG msg;
  for (int32_t n = 0; n < kMaxSkippedMessages; ++n) {
    if (!PeekMessageA(&msg, nullptr, WM_MOUSEMOVE, WM_MBUTTONDBLCLK, PM_NOREMOVE))
      return;
    if (msg.message == release) {
      queue.Close();
      return;
    }
    PeekMessageA(&msg, nullptr, WM_MOUSEMOVE, WM_MBUTTONDBLCLK, PM_REMOVE);
  }
}

Rect CBrushTool::PaintSegment(const Point& e, const CBrushShape& brush, bool freehand) {
  Rect result;
  const CColor color = GetPaintColor();
  if (strokeRect.IsEmpty())
    result.UnionWith(PaintBrushDab(lineStart, brush, color));
  if (!e.NotEqual(lineStart))
    return result;
  const int32_t step = GetToolPixelStep();
  const double spanX = static_cast<double>(e.x) - lineStart.x;
  const double spanY = static_cast<double>(e.y) - lineStart.y;
  const double distance = std::sqrt(spanX * spanX + spanY * spanY);
  const double diameter = static_cast<double>(brush.size) * (step > 0 ? step : 256);
  const double steps = distance / diameter * 10.0;
  const int32_t n = steps < 2147483647.0 ? static_cast<int32_t>(steps) : 2147483647;
  Point last = lineStart;
  for (int32_t k = 1; k <= n; ++k) {
    last.x = wulRoundDouble(lineStart.x + k * spanX / steps);
    last.y = wulRoundDouble(lineStart.y + k * spanY / steps);
    result.UnionWith(PaintBrushDab(last, brush, color));
    if (freehand && !queue.IsClosed()) {
      SkipPendingMouseMessages();
      queue.PushPointer();
    }
  }
  lineStart = last;
  return result;
}

void CBrushTool::MouseMove(const Point& pos) {
  if (state != STATE_FREEHAND) {
    CPencilTool::MouseMove(pos);
    return;
  }
  const Point previous = current;
  current = pos;
  CEditorUI* host = GetEditorUI();
  const int32_t step = GetToolPixelStep();
  const CBrushShape brush = GetBrushShape();
  if (previous.NotEqual(current)) {
    const Rect dirty =
        GetDabSquare(previous, brush.size, step).Union(GetDabSquare(current, brush.size, step));
    host->InvalidateToolOverlayRect(&dirty);
  }
  queue.Clear();
  queue.Push(current);
  Point next;
  while (queue.Pop(next)) {
    const Rect painted = PaintSegment(next, brush, true);
    strokeRect.UnionWith(painted);
    if (painted.IsNonEmpty())
      host->InvalidateImageRect(&painted);
    if (queue.GetCount() > 0 && queue.Newest().NotEqual(current)) {
      InvalidateOutline(current);
      InvalidateOutline(queue.Newest());
      current = queue.Newest();
      ShowPosition(current);
    }
  }
}

bool CBrushTool::MouseUp(int32_t released, const Point& pos) {
  if (released == button && state == STATE_LINE) {
    strokeRect = PaintSegment(current, GetBrushShape(), false);
    CommitStroke(strokeRect, GetCaption());
    return true;
  }
  return CPencilTool::MouseUp(released, pos);
}

void CBrushTool::DrawFootprint(CToolOverlay& overlay, const Point& pos) {
  const int32_t s = GetScreenBrushDiameter(GetSize(), GetToolPixelStep());
  if (s < 1)
    return;
  const Point client = GetEditorUI()->ImageToClientPoint(pos);
  Rect square;
  square.left = client.x - (s - 1) / 2;
  square.top = client.y - (s - 1) / 2;
  square.right = square.left + s;
  square.bottom = square.top + s;
  DrawOverlayEllipse(overlay, square, 1, kFeedbackOpacity);
}
