#include "tools/GradientTool.h"
#include <cmath>
#include "document/Image.h"
#include "document/Layer.h"
#include "document/PixelArray.h"
#include "document/Selection.h"
#include "shell/Settings.h"
#include "tools/CurrentImage.h"
#include "tools/DrawingColors.h"
#include "tools/LayerEdit.h"
#include "tools/OptionPanes.h"
#include "tools/ToolHost.h"
#include "tools/ToolHostExtras.h"
#include "tools/WorkingCopies.h"
#include "ui/PanelResourceIds.h"
#include "wul/WULMath.h"

namespace {

const float kFeedbackOpacity = 0.5f;

Rect SquareAround(const Point& p, int32_t half) {
  Rect r;
  r.left = p.x - half;
  r.top = p.y - half;
  r.right = p.x + half;
  r.bottom = p.y + half;
  return r;
}

void DrawCross(CToolOverlay& overlay, const Point& p) {
  DrawOverlayLine(overlay, Point{p.x - 3, p.y}, Point{p.x + 3, p.y}, kFeedbackOpacity);
  DrawOverlayLine(overlay, Point{p.x, p.y - 3}, Point{p.x, p.y + 3}, kFeedbackOpacity);
}

}  // namespace

uint32_t LerpArgb(uint32_t a, uint32_t b, double t) {
  if (!(t > 0.0))
    return a;
  if (t >= 1.0)
    return b;
  const uint64_t w = static_cast<uint64_t>(wulRoundDouble(t * 16777216.0));
  uint32_t result = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const uint64_t ca = (a >> shift) & 0xFF;
    const uint64_t cb = (b >> shift) & 0xFF;
    const uint64_t c = (cb * w + ca * (16777216u - w) + 0x800000u) >> 24;
    result |= static_cast<uint32_t>(c) << shift;
  }
  return result;
}

Point ConstrainGradientVector(const Point& v) {
  const int32_t ax0 = v.x < 0 ? -v.x : v.x;
  const int32_t ay0 = v.y < 0 ? -v.y : v.y;
  int32_t ax = ax0;
  int32_t ay = ay0;
  if (ax0 > ay0 * 2.41) {
    ay = 0;
  } else if (ay0 > ax0 * 2.41) {
    ax = 0;
  } else {
    ax = ay = ax0 < ay0 ? ax0 : ay0;
  }
  return Point{v.x < 0 ? -ax : ax, v.y < 0 ? -ay : ay};
}

Rect FillGradient(const Point& anchor, const Point& vector, int32_t type, CColor startColor,
                  CColor endColor) {
  Rect none;
  if (vector.x == 0 && vector.y == 0)
    return none;
  CImage* image = GetCurrentImage();
  CSelection* selection = GetCurrentSelection();
  CRasterLayer* layer = GetCurrentRasterLayer();
  if (!image || !selection || !layer)
    return none;
  EnsureLayerWorkingCopy();
  EnsureSelectionWorkingCopy();
  CPixelArray* edit = layer->GetPixelArray();
  const CMaskArray* mask;
  if (!edit || !edit->data || !GetEditMask(layer, mask))
    return none;

  Rect area;
  area.right = edit->width;
  area.bottom = edit->height;
  if (mask) {
    Rect bounds = selection->GetBounds1x();
    if (layer->IsSupersampled())
      selection->GetBounds(bounds);
    area = bounds.Intersect(area);
  }
  if (area.IsEmpty())
    return none;

  const double step = layer->IsSupersampled() ? 32.0 : 256.0;
  const double x0 = anchor.x / step - 0.5;
  const double y0 = anchor.y / step - 0.5;
  const double x1 = (static_cast<double>(anchor.x) + vector.x) / step - 0.5;
  const double y1 = (static_cast<double>(anchor.y) + vector.y) / step - 0.5;
  const double dx = x1 - x0;
  const double dy = y1 - y0;
  const double length2 = dx * dx + dy * dy;
  const bool alongX = std::fabs(dx) >= std::fabs(dy);
  const double radius =
      std::sqrt(static_cast<double>(vector.x) * vector.x + static_cast<double>(vector.y) * vector.y) /
      step;
  const double radius2 = radius * radius;
  const uint32_t c0 = startColor.value;
  const uint32_t c1 = endColor.value;
  const int32_t channelMode = GetToolHost()->GetChannelMode();

  for (int32_t i = area.top; i < area.bottom; ++i) {
    const ptrdiff_t row = static_cast<ptrdiff_t>(i) * edit->width;
    for (int32_t j = area.left; j < area.right; ++j) {
      const uint32_t coverage = mask ? mask->data[row + j] : 255;
      if (!coverage)
        continue;
      uint32_t color;
      if (type == GRADIENT_RADIAL) {
        const double d2 = (j - x0) * (j - x0) + (i - y0) * (i - y0);
        color = d2 >= radius2 ? c1 : LerpArgb(c0, c1, std::sqrt(d2) / radius);
      } else {
        // The foot of the perpendicular, measured along the longer axis of the vector.
        const double u = ((j - x0) * dx + (i - y0) * dy) / length2;
        const double t = alongX ? (x0 + u * dx - x0) / dx : (y0 + u * dy - y0) / dy;
        color = t <= 0 ? c0 : (t >= 1 ? c1 : LerpArgb(c0, c1, t));
      }
      edit->data[row + j] = BlendByChannelMode(edit->data[row + j], color, coverage, channelMode);
    }
  }
  RecordLayerEdit(image, layer, area, "Gradient");
  ResyncWorkingCopies();
  return area;
}

// ---------------------------------------------------------------------------------------------
// CGradientTool

CGradientTool::CGradientTool() {
  id = 60;
}

void CGradientTool::CreateOptionsPane() {
  static const COptionChoice kTypes[2] = {{"Linear", GRADIENT_LINEAR, IDB_GRADIENT_LINEAR, 0},
                                          {"Radial", GRADIENT_RADIAL, IDB_GRADIENT_RADIAL, 0}};
  BuildOptionPane([] {
    AddOptionRadios("Type:", OPTION_MARGIN, OPTION_MARGIN, OPTION_LABEL_WIDTH, 60, OPTION_ROW_HEIGHT, kTypes, 2,
                    g_Settings.drawingToolsGradientType);
  });
}

int32_t CGradientTool::GetType() const {
  const uint32_t type =
      g_Settings.drawingToolsGradientType ? g_Settings.drawingToolsGradientType->GetValue() : 1;
  return type == GRADIENT_RADIAL ? GRADIENT_RADIAL : GRADIENT_LINEAR;
}

int32_t CGradientTool::GetDrawCursor() const {
  return CURSOR_GRADIENT;
}

int32_t CGradientTool::ReadFlags() const {
  return GetToolHost()->IsKeyDown(KEY_SHIFT) ? FLAG_SHIFT : 0;
}

void CGradientTool::BeginDrag() {
  flags = ReadFlags();
  vector = Point{};
}

Rect CGradientTool::GetDirtyRect(const Point& end) const {
  int32_t zoom = GetToolHost()->GetZoomFactor();
  if (zoom < 1)
    zoom = 1;
  const int32_t half = (4 * 256 + zoom - 1) / zoom;  // a little over 3.5 screen pixels
  const Point tip = anchor.Add(end);
  Rect dirty = SquareAround(anchor, half).Union(SquareAround(tip, half));
  if (GetType() == GRADIENT_RADIAL) {
    const double length = std::sqrt(static_cast<double>(end.x) * end.x +
                                    static_cast<double>(end.y) * end.y);
    const double reach = length + half + 1;
    const int32_t r = reach > 0x3FFFFFFF ? 0x3FFFFFFF : static_cast<int32_t>(reach);
    dirty.UnionWith(SquareAround(anchor, r));
  }
  return dirty;
}

void CGradientTool::UpdateDrag() {
  Point v = current.Subtract(anchor);
  if (flags & FLAG_SHIFT)
    v = ConstrainGradientVector(v);
  const Rect dirty = GetDirtyRect(vector).Union(GetDirtyRect(v));
  CToolHost* host = GetToolHost();
  host->InvalidateToolOverlayRect(&dirty);
  if (v.NotEqual(vector)) {
    host->SetPosition(v.x, v.y);
    vector = v;
  }
}

void CGradientTool::FinishDrag() {
  FillGradient(anchor, vector, GetType(), GetStrokeColor(button),
               GetStrokeColor(button == BUTTON_LEFT ? BUTTON_RIGHT : BUTTON_LEFT));
}

void CGradientTool::DrawOverlay(CToolOverlay& overlay) {
  if (state != STATE_DRAG)
    return;
  CToolHost* host = GetToolHost();
  const Point a = host->ImageToClientPoint(anchor);
  const Point e = host->ImageToClientPoint(anchor.Add(vector));
  const Point c = host->ImageToClientPoint(current);
  if (a.NotEqual(c))
    DrawCross(overlay, a);
  if (!a.NotEqual(e))
    return;
  DrawOverlayLine(overlay, a, e, kFeedbackOpacity);
  if (GetType() == GRADIENT_RADIAL) {
    const double dx = static_cast<double>(e.x) - a.x;
    const double dy = static_cast<double>(e.y) - a.y;
    const int32_t r = wulRoundDouble(std::sqrt(dx * dx + dy * dy));
    Rect circle;
    circle.left = a.x - r;
    circle.top = a.y - r;
    circle.right = a.x + r + 1;
    circle.bottom = a.y + r + 1;
    DrawOverlayEllipse(overlay, circle, 1, kFeedbackOpacity);
  } else if (e.NotEqual(c)) {
    DrawCross(overlay, e);
  }
}

void CGradientTool::ShowHint() {
  const char* text = "";
  if (state == STATE_READY) {
    if (mode == MODE_DRAW)
      text = "Left/right click and drag to fill the layer or the selection with a gradient. Use "
             "ALT to pick colors.";
    else if (mode == MODE_PICK)
      text = "Left/right click to pick a color.";
  } else if (state == STATE_DRAG && !(flags & FLAG_SHIFT)) {
    text = "Use SHIFT to constrain the direction to multiples of 45 degrees.";
  }
  GetToolHost()->SetHelpText(text);
}
