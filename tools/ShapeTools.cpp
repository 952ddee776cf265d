#include "tools/ShapeTools.h"
#include <cstdlib>
#include "document/EditorUI.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/PixelArray.h"
#include "shell/Settings.h"
#include "tools/CurrentImage.h"
#include "tools/DrawingColors.h"
#include "tools/LayerEdit.h"
#include "tools/OptionPanes.h"
#include "tools/WorkingCopies.h"
#include "ui/PanelResourceIds.h"

namespace {

const float kFeedbackOpacity = 0.5f;

// Moves c onto the diagonal through p that lies in its quadrant, at the smaller distance.
void MakeSquare(const Point& p, Point& c) {
  const int64_t dx = static_cast<int64_t>(c.x) - p.x;
  const int64_t dy = static_cast<int64_t>(c.y) - p.y;
  const int64_t ax = dx < 0 ? -dx : dx;
  const int64_t ay = dy < 0 ? -dy : dy;
  const int64_t f = ax < ay ? ax : ay;
  c.x = static_cast<int32_t>(p.x + (dx >= 0 ? f : -f));
  c.y = static_cast<int32_t>(p.y + (dy >= 0 ? f : -f));
}

// Distance of v from the nearest grid line.
int32_t GridDistance(int32_t v, int32_t g) {
  const int32_t t = v & (g - 1);
  return t > g / 2 ? g - t : t;
}

int32_t ClampSetting(const CUIntSetting* setting, uint32_t low, uint32_t high, uint32_t fallback) {
  if (!setting)
    return static_cast<int32_t>(fallback);
  const uint32_t v = setting->GetValue();
  return static_cast<int32_t>(v < low ? low : (v > high ? high : v));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Geometry

Rect SnapSelectionRect(const Point& anchorIn, const Point& currentIn, bool square, bool centred) {
  int32_t g = GetEditorUI()->GetNudgeStep();
  if (g < 2 || (g & (g - 1)) != 0)
    g = 256;
  const int32_t h = g / 2;
  Point a = anchorIn;
  Point c = currentIn;
  Rect r;
  if (centred) {
    if (square) {
      if (GridDistance(a.x, g) + GridDistance(a.y, g) > h) {
        a.x = (a.x & -g) + h;
        a.y = (a.y & -g) + h;
      } else {
        a.x = (a.x + h) & -g;
        a.y = (a.y + h) & -g;
      }
      MakeSquare(a, c);
    } else {
      a.x = (a.x + g / 4) & -h;
      a.y = (a.y + g / 4) & -h;
    }
    const int32_t ex = std::abs(c.x - a.x);
    const int32_t ey = std::abs(c.y - a.y);
    r.left = a.x - ex;
    r.top = a.y - ey;
    r.right = a.x + ex;
    r.bottom = a.y + ey;
  } else {
    if (square) {
      a.x = c.x >= a.x ? (a.x + h - 1) & -g : (a.x + h) & -g;
      a.y = c.y >= a.y ? (a.y + h - 1) & -g : (a.y + h) & -g;
      MakeSquare(a, c);
    }
    r.left = a.x < c.x ? a.x : c.x;
    r.top = a.y < c.y ? a.y : c.y;
    r.right = a.x < c.x ? c.x : a.x;
    r.bottom = a.y < c.y ? c.y : a.y;
  }
  r.left = (r.left + h - 1) & -g;
  r.top = (r.top + h - 1) & -g;
  r.right = (r.right + h) & -g;
  r.bottom = (r.bottom + h) & -g;
  return r;
}

void DragSnappedRect(Rect& shape, const Point& anchor, const Point& current, bool square, bool centred) {
  const Rect next = SnapSelectionRect(anchor, current, square, centred);
  if (!next.NotEqual(shape))
    return;
  const Rect dirty = shape.Union(next);
  CEditorUI* ui = GetEditorUI();
  ui->InvalidateToolOverlayRect(&dirty);
  const int32_t w = next.right - next.left;
  const int32_t h = next.bottom - next.top;
  if (IsSupersampledRaster(GetCurrentLayer()))
    ui->SetSizeFixed(w, h);
  else
    ui->SetSize(RoundFixed(w), RoundFixed(h));
  shape = next;
}

Rect ImageRectToClient(const Rect& rect) {
  CEditorUI* host = GetEditorUI();
  const Point origin = host->ImageToClientPoint(Point{0, 0});
  const int64_t zoom = host->GetZoomFactor();
  Rect client;
  client.left = origin.x + static_cast<int32_t>((rect.left * zoom) >> 8);
  client.top = origin.y + static_cast<int32_t>((rect.top * zoom) >> 8);
  client.right = origin.x + static_cast<int32_t>(rect.right > rect.left
                                                     ? ((rect.right * zoom - 1) >> 8) + 1
                                                     : (rect.right * zoom) >> 8);
  client.bottom = origin.y + static_cast<int32_t>(rect.bottom > rect.top
                                                      ? ((rect.bottom * zoom - 1) >> 8) + 1
                                                      : (rect.bottom * zoom) >> 8);
  return client;
}

// ---------------------------------------------------------------------------------------------
// Shape painting

namespace {

struct EllipseShape {
  double cx, cy, a, b;
  bool Inside(int32_t x, int32_t y) const {
    const double u = (x - cx) * b;
    const double v = (y - cy) * a;
    return u * u + v * v <= (a * b) * (a * b);
  }
};

}  // namespace

Rect PaintShape(const Rect& shapeRect, bool ellipse, int32_t type, int32_t width,
                CColor mainColor, CColor otherColor, const char* caption) {
  Rect none;
  CImage* image = GetCurrentImage();
  CLayer* layer = GetCurrentLayer();
  if (!image || !GetCurrentSelection() || !layer)
    return none;
  const Rect clipped = shapeRect.Intersect(GetLayerBounds24(layer));
  if (clipped.IsEmpty())
    return none;
  if (layer->GetKind() != CLayer::KIND_RASTER) {
    ResyncWorkingCopies();
    return none;
  }
  CRasterLayer* raster = static_cast<CRasterLayer*>(layer);
  const int32_t shift = 8 - raster->GetSupersampleLevel();
  const Rect work = ShiftRectOut(clipped, shift);
  EnsureLayerWorkingCopy();
  EnsureSelectionWorkingCopy();
  CPixelArray* target = raster->GetPixelArray();
  const CMaskArray* mask;
  if (!target || !target->data || !GetEditMask(raster, mask)) {
    ResyncWorkingCopies();
    return none;
  }
  const int32_t channelMode = GetEditorUI()->GetChannelMode();
  if (width < 1)
    width = 1;

  // The shape in working pixels.
  const int32_t left = shapeRect.left >> shift;
  const int32_t top = shapeRect.top >> shift;
  const int32_t right = ((shapeRect.right - 1) >> shift) + 1;
  const int32_t bottom = ((shapeRect.bottom - 1) >> shift) + 1;
  Rect inner;
  inner.left = left + width;
  inner.top = top + width;
  inner.right = right - width;
  inner.bottom = bottom - width;
  EllipseShape outer{(left + right - 1) / 2.0, (top + bottom - 1) / 2.0, (right - left) / 2.0,
                     (bottom - top) / 2.0};
  EllipseShape core{outer.cx, outer.cy, outer.a - width, outer.b - width};
  const bool hasCore = core.a > 0 && core.b > 0;

  for (int32_t y = work.top; y < work.bottom; ++y) {
    for (int32_t x = work.left; x < work.right; ++x) {
      bool isInner;
      if (ellipse) {
        if (!outer.Inside(x, y))
          continue;
        if (width == 1)
          isInner = outer.Inside(x - 1, y) && outer.Inside(x + 1, y) && outer.Inside(x, y - 1) &&
                    outer.Inside(x, y + 1);
        else
          isInner = hasCore && core.Inside(x, y);
      } else {
        isInner = x >= inner.left && x < inner.right && y >= inner.top && y < inner.bottom;
      }
      uint32_t color = mainColor.value;
      if (isInner && type == SHAPE_OUTLINE)
        continue;
      if (isInner && type == SHAPE_FILLED_OUTLINE)
        color = otherColor.value;
      const ptrdiff_t index = static_cast<ptrdiff_t>(y) * target->width + x;
      const uint32_t coverage = mask ? mask->data[index] : 255;
      if (coverage)
        target->data[index] = BlendByChannelMode(target->data[index], color, coverage, channelMode);
    }
  }
  RecordLayerEdit(image, raster, work, caption);
  ResyncWorkingCopies();
  return work;
}

// ---------------------------------------------------------------------------------------------
// CShapeDragTool

CShapeDragTool::CShapeDragTool() : flags(0) {}

int32_t CShapeDragTool::ReadFlags() const {
  CEditorUI* host = GetEditorUI();
  return (host->IsKeyDown(KEY_SHIFT) ? FLAG_SHIFT : 0) | (host->IsKeyDown(KEY_ALT) ? FLAG_ALT : 0);
}

void CShapeDragTool::MouseMove(const Point& pos) {
  current = pos;
  if (state == STATE_DRAG) {
    UpdateDrag();
  } else if (state == STATE_PICK) {
    PickButtonColor(pos, button);
  }
}

void CShapeDragTool::BeginPaint(const Point& pos) {
  anchor = current = pos;
  flags = 0;
  BeginDrag();
}

void CShapeDragTool::EndPaint() {
  RefreshAfterToolEdit(true);
}

bool CShapeDragTool::HandleKey(int32_t key, bool repeat) {
  if (key < KEY_SHIFT || key > KEY_ALT)
    return false;
  if (state == STATE_READY) {
    GetEditorUI()->RestoreCursor();
    return true;
  }
  if (state != STATE_DRAG)
    return false;
  if (!repeat) {
    const int32_t now = ReadFlags();
    if (now != flags) {
      flags = now;
      UpdateDrag();
    }
  }
  return true;
}

bool CShapeDragTool::KeyDown(int32_t key, bool repeat) {
  return HandleKey(key, repeat);
}

bool CShapeDragTool::KeyUp(int32_t key) {
  return HandleKey(key, false);
}

void CShapeDragTool::ShowColor(const Point& pos) {
  ShowDrawnOrPickedColor(pos, false, button, state == STATE_PICK);
}

bool CShapeDragTool::WantsAutoScroll() {
  return state == STATE_DRAG;
}

// ---------------------------------------------------------------------------------------------
// Rectangle and Ellipse

CShapeTool::CShapeTool() {}

namespace {

// The outline row of the open pane; null while no shape pane is shown.
COptionSpinEdit* g_OutlineSpin = nullptr;

void ForgetOutlineSpin(CWULInteractor* control) {
  if (control == g_OutlineSpin)
    g_OutlineSpin = nullptr;
}

bool HasOutline(uint32_t type) {
  return type == SHAPE_OUTLINE || type == SHAPE_FILLED_OUTLINE;
}

void OnShapeTypeChanged(CWULInteractor*, uint32_t type) {
  SetOptionRowEnabled(g_OutlineSpin, HasOutline(type));
}

}  // namespace

void CShapeTool::CreateOptionsPane() {
  static const COptionChoice kRectangleTypes[3] = {
      {"Solid", SHAPE_SOLID, IDB_RECTANGLE_SOLID, IDB_RECTANGLE_SOLID_CHECKED},
      {"Outline", SHAPE_OUTLINE, IDB_RECTANGLE_OUTLINE, IDB_RECTANGLE_OUTLINE_CHECKED},
      {"Filled Outline", SHAPE_FILLED_OUTLINE, IDB_RECTANGLE_FILLED, IDB_RECTANGLE_FILLED_CHECKED}};
  static const COptionChoice kEllipseTypes[3] = {
      {"Solid", SHAPE_SOLID, IDB_ELLIPSE_SOLID, IDB_ELLIPSE_SOLID_CHECKED},
      {"Outline", SHAPE_OUTLINE, IDB_ELLIPSE_OUTLINE, IDB_ELLIPSE_OUTLINE_CHECKED},
      {"Filled Outline", SHAPE_FILLED_OUTLINE, IDB_ELLIPSE_FILLED, IDB_ELLIPSE_FILLED_CHECKED}};
  const COptionChoice* types = IsEllipse() ? kEllipseTypes : kRectangleTypes;
  CUIntSetting* typeSetting = GetTypeSetting();
  CUIntSetting* widthSetting = GetWidthSetting();
  BuildOptionPane([&] {
    COptionRadioButton* first = AddOptionRadios("Type:", OPTION_MARGIN, OPTION_MARGIN, OPTION_LABEL_WIDTH, 60,
                                                OPTION_ROW_HEIGHT, types, 3, typeSetting, OnShapeTypeChanged);
    COptionSpinEdit* spin = AddOptionSpin("Outline:", OPTION_MARGIN, OPTION_MARGIN + 3 * OPTION_ROW_HEIGHT + 4,
                                          OPTION_LABEL_WIDTH, widthSetting, 1, 100);
    g_OutlineSpin = spin;
    spin->deletedHandler = ForgetOutlineSpin;
    COptionRadioButton* checked = GetCheckedOption(first);
    SetOptionRowEnabled(spin, checked && HasOutline(checked->value));
  });
}

int32_t CShapeTool::GetDrawCursor() const {
  return CURSOR_SHAPE;
}

void CShapeTool::BeginDrag() {
  shape.left = shape.right = anchor.x;
  shape.top = shape.bottom = anchor.y;
}

void CShapeTool::UpdateDrag() {
  DragSnappedRect(shape, anchor, current, (flags & FLAG_SHIFT) != 0, (flags & FLAG_ALT) != 0);
}

void CShapeTool::FinishDrag() {
  PaintShape(shape, IsEllipse(), GetShapeType(), GetOutlineWidth(), GetStrokeColor(button),
             GetStrokeColor(button == BUTTON_LEFT ? BUTTON_RIGHT : BUTTON_LEFT), GetCaption());
}

void CShapeTool::DrawOverlay(CToolOverlay& overlay) {
  if (state != STATE_DRAG)
    return;
  const Rect client = ImageRectToClient(shape);
  if (IsEllipse())
    DrawOverlayEllipse(overlay, client, 1, kFeedbackOpacity);
  else
    DrawOverlayRect(overlay, client, kFeedbackOpacity);
}

void CShapeTool::ShowHint() {
  const char* text = "";
  if (state == STATE_READY) {
    if (mode == MODE_DRAW)
      text = GetReadyHint();
    else if (mode == MODE_PICK)
      text = "Left/right click to pick a color.";
  } else if (state == STATE_DRAG) {
    text = "Use ALT and SHIFT for additional options.";
  }
  GetEditorUI()->SetHelpText(text);
}

CRectangleTool::CRectangleTool() {
  id = 100;
}

int32_t CRectangleTool::GetShapeType() const {
  return ClampSetting(g_Settings.drawingToolsRectangleType, 1, 3, 1);
}

int32_t CRectangleTool::GetOutlineWidth() const {
  return ClampSetting(g_Settings.drawingToolsRectangleOutlineWidth, 1, 100, 1);
}

CUIntSetting* CRectangleTool::GetTypeSetting() const {
  return g_Settings.drawingToolsRectangleType;
}

CUIntSetting* CRectangleTool::GetWidthSetting() const {
  return g_Settings.drawingToolsRectangleOutlineWidth;
}

CEllipseTool::CEllipseTool() {
  id = 101;
}

int32_t CEllipseTool::GetShapeType() const {
  return ClampSetting(g_Settings.drawingToolsEllipseType, 1, 3, 1);
}

int32_t CEllipseTool::GetOutlineWidth() const {
  return ClampSetting(g_Settings.drawingToolsEllipseOutlineWidth, 1, 100, 1);
}

CUIntSetting* CEllipseTool::GetTypeSetting() const {
  return g_Settings.drawingToolsEllipseType;
}

CUIntSetting* CEllipseTool::GetWidthSetting() const {
  return g_Settings.drawingToolsEllipseOutlineWidth;
}
