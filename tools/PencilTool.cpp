#include "tools/PencilTool.h"
#include <vector>
#include "document/Actions.h"
#include "document/History.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Selection.h"
#include "document/UndoStore.h"
#include "shell/Settings.h"
#include "tools/CurrentImage.h"
#include "tools/DrawingColors.h"
#include "tools/LayerEdit.h"
#include "tools/OptionPanes.h"
#include "tools/StrokePreview.h"
#include "tools/ToolHost.h"
#include "tools/WorkingCopies.h"
#include "wul/WULEdit.h"
#include "wul/WULInit.h"
#include "wul/WULPanel.h"

namespace {

const float kFeedbackOpacity = 0.5f;

int32_t ClampSize(uint32_t size) {
  return size < 1 ? 1 : (size > 100 ? 100 : static_cast<int32_t>(size));
}

Rect GrowRect(const Rect& rect, int32_t shift) {
  Rect out;
  out.left = rect.left << shift;
  out.top = rect.top << shift;
  out.right = rect.right << shift;
  out.bottom = rect.bottom << shift;
  return out;
}

bool IsSupersampledRaster(const CLayer* layer) {
  return layer && layer->GetKind() == CLayer::KIND_RASTER &&
         static_cast<const CRasterLayer*>(layer)->IsSupersampled();
}

// Option pane layout: the framed picture at the left, the rows beside it.
const int kPaneMargin = 4;
const int kPreviewBoxSide = 52;
const int kRowX = kPaneMargin + kPreviewBoxSide + 6;

CPaintToolOptions g_options = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

void ForgetPaneControl(CWULInteractor* control) {
  if (control == g_options.pane) {
    g_options = CPaintToolOptions{nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    return;
  }
  if (control == g_options.preview)
    g_options.preview = nullptr;
  else if (control == g_options.size)
    g_options.size = nullptr;
  else if (control == g_options.hardness)
    g_options.hardness = nullptr;
  else if (control == g_options.opacity)
    g_options.opacity = nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Option pane

const CPaintToolOptions& GetPaintToolOptions() {
  return g_options;
}

int GetPaintOptionsRowX() {
  return kRowX;
}

CWULInteractor* BeginPaintToolOptions(CPaintTool* tool, CWULInteractor* parent) {
  if (!parent || !tool)
    return nullptr;
  g_options = CPaintToolOptions{nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
  COptionParentScope inParent(parent);
  CWULContainer* pane = new CWULContainer;
  pane->SetBounds(0, 0, kRowX + PAINT_OPTIONS_LABEL_WIDTH + OPTION_SPIN_WIDTH + kPaneMargin,
                  kPreviewBoxSide + 2 * kPaneMargin);
  g_options.tool = tool;
  g_options.pane = pane;
  pane->deletedHandler = ForgetPaneControl;
  COptionParentScope inPane(pane);
  CWULPanel* box = new CWULPanel;
  box->SetOuterEdge(WUL_EDGE_LINE);
  box->SetBounds(kPaneMargin, kPaneMargin, kPreviewBoxSide, kPreviewBoxSide);
  COptionParentScope inBox(box);
  CWULPicture* picture = new CWULPicture;
  picture->SetBounds(0, 0, kPreviewBoxSide - 2, kPreviewBoxSide - 2);
  g_options.preview = picture;
  picture->deletedHandler = ForgetPaneControl;
  return pane;
}

void FinishPaintToolOptions(CWULSpinEdit* size, CWULSpinEdit* hardness, CWULSpinEdit* opacity) {
  g_options.size = size;
  g_options.hardness = hardness;
  g_options.opacity = opacity;
  for (CWULSpinEdit* spin : {size, hardness, opacity}) {
    if (spin)
      spin->deletedHandler = ForgetPaneControl;
  }
  RedrawPaintToolPreview();
}

void RedrawPaintToolPreview() {
  CWULPicture* picture = g_options.preview;
  if (!picture || !g_options.tool)
    return;
  CWULImage* image = picture->GetImage();
  if (!image || !image->pixels)
    return;
  std::vector<float> coverage(static_cast<size_t>(image->width) * image->height);
  g_options.tool->ComputePreview(image->width, image->height, coverage.data());
  const int32_t size = g_options.tool->GetSize();
  DrawStrokePreview(picture, coverage.data(), StrokePreviewShowsNumber(size, image->width) ? size : 0);
}

void OnPaintToolSizeChanged(CWULInteractor* control, uint32_t) {
  if (!control || control != g_options.size || !g_options.tool)
    return;
  RedrawPaintToolPreview();
  CToolHost* host = GetToolHost();
  host->InvalidateToolOverlayRect(nullptr);
  host->RestoreCursor();
}

// ---------------------------------------------------------------------------------------------
// Brush geometry and painting

int32_t GetToolPixelStep() {
  CLayer* layer = GetCurrentLayer();
  if (!layer)
    return 0;
  return IsSupersampledRaster(layer) ? 32 : 256;
}

Rect GetBrushSquare(const Point& p, int32_t size, int32_t step) {
  Rect square;
  if (step <= 0) {
    square.left = square.right = p.x;
    square.top = square.bottom = p.y;
    return square;
  }
  const int32_t grid = -step;  // step is a power of two: the mask of its multiples
  square.left = (p.x + step / 2 - size * step / 2) & grid;
  square.top = (p.y + step / 2 - size * step / 2) & grid;
  square.right = square.left + size * step;
  square.bottom = square.top + size * step;
  return square;
}

Rect GetOutlineSquare(const Point& p, int32_t size, int32_t step) {
  const int32_t half = size * step / 2;
  Rect square;
  square.left = p.x - half;
  square.top = p.y - half;
  square.right = p.x + half;
  square.bottom = p.y + half;
  return square;
}

int32_t GetScreenBrushDiameter(int32_t size, int32_t step) {
  const int64_t units = static_cast<int64_t>(size) * step * GetToolHost()->GetZoomFactor();
  return static_cast<int32_t>((units + 255) / 256);
}

Rect PaintBrushSegment(const Point& s, const Point& e, int32_t size, CColor color) {
  Rect none;
  CLayer* layer = GetCurrentLayer();
  if (!layer)
    return none;
  const int32_t step = GetToolPixelStep();
  const Rect square0 = GetBrushSquare(s, size, step);
  const Rect square1 = GetBrushSquare(e, size, step);
  const Rect area = square0.Union(square1).Intersect(GetLayerBounds24(layer));
  if (area.IsEmpty())
    return none;
  const bool raster = layer->GetKind() == CLayer::KIND_RASTER;
  const int32_t level = IsSupersampledRaster(layer) ? 3 : 0;
  const int32_t shift = 8 - level;
  const Rect work = ShiftRectOut(area, shift);
  const Rect painted = GrowRect(work, shift);
  if (!raster)
    return painted;

  CRasterLayer* rasterLayer = static_cast<CRasterLayer*>(layer);
  CPixelArray* target = rasterLayer->GetPixelArray();
  const CPixelArray& source = g_LayerWorkingCopy.GetPixels();
  // A copy that does not match the layer cannot be blended from.
  if (!target || !target->data || source.width != target->width ||
      source.height != target->height)
    return painted;
  const CMaskArray* mask = rasterLayer->GetSelectionMask();
  if (rasterLayer->GetOwner() && rasterLayer->GetOwner()->GetSelection() &&
      rasterLayer->GetOwner()->GetSelection()->IsActive() &&
      (!mask || mask->width != target->width || mask->height != target->height))
    return painted;  // an active selection that does not fit the layer protects everything
  const int32_t channelMode = GetToolHost()->GetChannelMode();
  const uint32_t paint = color.value;

  // Centres in working pixels: pixel (j, i) is tested at its index.
  const double x0 = (static_cast<double>(square0.left) + square0.right) / (2.0 * step) - 0.5;
  const double y0 = (static_cast<double>(square0.top) + square0.bottom) / (2.0 * step) - 0.5;
  const double x1 = (static_cast<double>(square1.left) + square1.right) / (2.0 * step) - 0.5;
  const double y1 = (static_cast<double>(square1.top) + square1.bottom) / (2.0 * step) - 0.5;
  const double r = size / 2.0;
  const double r2 = r * r;
  const double dx = x1 - x0;
  const double dy = y1 - y0;
  const double length2 = dx * dx + dy * dy;
  const bool dab = !square0.NotEqual(square1);

  for (int32_t i = work.top; i < work.bottom; ++i) {
    for (int32_t j = work.left; j < work.right; ++j) {
      const double px = j - x0;
      const double py = i - y0;
      bool covered;
      if (dab) {
        covered = px * px + py * py <= r2;
      } else {
        // Within r of the line, then of the segment or of the nearer end.
        const double cross = px * dy - py * dx;
        if (cross * cross > r2 * length2) {
          covered = false;
        } else {
          const double along = px * dx + py * dy;
          if (along < 0) {
            covered = px * px + py * py <= r2;
          } else if (along > length2) {
            const double qx = j - x1;
            const double qy = i - y1;
            covered = qx * qx + qy * qy <= r2;
          } else {
            covered = true;
          }
        }
      }
      if (!covered)
        continue;
      const ptrdiff_t index = static_cast<ptrdiff_t>(i) * target->width + j;
      uint32_t coverage = 255;
      if (mask) {
        coverage = mask->data[index];
        if (coverage == 0)
          continue;
      }
      const uint32_t before = source.data[index];
      uint32_t after;
      if (channelMode == 1)
        after = BlendRgb(before, paint, coverage);
      else if (channelMode == 2)
        after = BlendAlpha(before, paint, coverage);
      else
        after = BlendArgb(before, paint, coverage);
      target->data[index] = after;
    }
  }
  if (level) {
    const Rect plain = SupersampleRectTo1x(work);
    rasterLayer->Update(&plain);
  }
  return painted;
}

void CommitStroke(const Rect& strokeRect, const char* caption) {
  CImage* image = GetCurrentImage();
  CLayer* layer = GetCurrentLayer();
  if (!image || !layer)
    return;
  const Rect stroke = strokeRect.Intersect(GetLayerBounds24(layer));
  if (stroke.IsEmpty())
    return;
  const Rect pixels = ShiftRectOut(stroke, 8);
  image->UpdateRect(&pixels);
  if (layer->GetKind() == CLayer::KIND_RASTER) {
    CRasterLayer* raster = static_cast<CRasterLayer*>(layer);
    // Without a matching copy the stroke stays, unrecorded.
    RecordLayerDifference(image, raster, ShiftRectOut(stroke, 8 - raster->GetSupersampleLevel()),
                          caption);
  }
  ResyncWorkingCopies();
}

// ---------------------------------------------------------------------------------------------
// CPaintTool

CPaintTool::CPaintTool()
    : state(STATE_READY), mode(MODE_NONE), button(BUTTON_LEFT) {}

bool CPaintTool::UpdateMode() {
  const int32_t old = mode;
  CToolHost* host = GetToolHost();
  mode = MODE_NONE;
  if (CanPick() && host->IsKeyDown(KEY_ALT)) {
    mode = MODE_PICK;
  } else if (IsVisibleRasterLayer(GetCurrentLayer())) {
    mode = host->IsKeyDown(KEY_CONTROL) ? MODE_LINE : MODE_PAINT;
  }
  return mode != old;
}

void CPaintTool::InvalidateOutline(const Point& pos) {
  const Rect outline = GetOutlineSquare(pos, GetSize(), GetToolPixelStep());
  GetToolHost()->InvalidateToolOverlayRect(&outline);
}

void CPaintTool::PointerLeft() {
  if (away)
    return;
  away = 1;
  if (mode == MODE_PAINT || mode == MODE_LINE)
    InvalidateOutline(current);
}

void CPaintTool::PointerEntered(const Point& pos) {
  if (!away)
    return;
  away = 0;
  current = pos;
  RefreshMode();
  if (mode == MODE_PAINT || mode == MODE_LINE)
    InvalidateOutline(current);
}

void CPaintTool::RefreshMode() {
  if (UpdateMode() && state == STATE_READY)
    InvalidateOutline(current);
}

HCURSOR CPaintTool::GetCursor(const Point&) {
  RefreshMode();
  CToolHost* host = GetToolHost();
  const int32_t highest = CanPick() ? STATE_PICK : STATE_LINE;
  if (state < STATE_READY || state > highest)
    return host->GetAppCursor(CURSOR_TOOL_DEFAULT);
  if (mode == MODE_PAINT || mode == MODE_LINE) {
    const int32_t s = GetScreenBrushDiameter(GetSize(), GetToolPixelStep());
    if (s > 8)
      return host->GetAppCursor(CURSOR_BRUSH_LARGE);
    return host->GetAppCursor(s % 2 ? CURSOR_BRUSH_ODD : CURSOR_BRUSH_EVEN);
  }
  if (mode == MODE_PICK)
    return host->GetAppCursor(CURSOR_PICKER);
  return host->GetAppCursor(CURSOR_TOOL_DEFAULT);
}

void CPaintTool::MouseMove(const Point& pos) {
  const Point previous = current;
  current = pos;
  CToolHost* host = GetToolHost();
  if (state >= STATE_READY && state <= STATE_LINE) {
    const int32_t size = GetSize();
    const int32_t step = GetToolPixelStep();
    Rect dirty = GetOutlineSquare(previous, size, step).Union(GetOutlineSquare(current, size, step));
    if (state == STATE_READY) {
      if (mode == MODE_PAINT || mode == MODE_LINE)
        host->InvalidateToolOverlayRect(&dirty);
    } else if (state == STATE_FREEHAND) {
      const Rect painted = PaintBrushSegment(lineStart, current, size, GetPaintColor());
      lineStart = current;
      strokeRect.UnionWith(painted);
      dirty.UnionWith(painted);
      host->InvalidateImageRect(&dirty);
    } else {
      const Rect from = GetBrushSquare(lineStart, size, step);
      const Rect to = GetBrushSquare(current, size, step);
      const int32_t extentX = to.left - from.left;
      const int32_t extentY = to.top - from.top;
      if (IsSupersampledRaster(GetCurrentLayer()))
        host->SetPosition(extentX, extentY);
      else
        host->SetPositionInt(RoundFixed(extentX), RoundFixed(extentY));
      dirty.UnionWith(GetOutlineSquare(lineStart, size, step));
      host->InvalidateToolOverlayRect(&dirty);
    }
  } else if (state == STATE_PICK) {
    PickButtonColor(pos, button);
  }
}

bool CPaintTool::MouseDown(int32_t pressed, const Point& pos) {
  if (!AcceptsButton(pressed) || state != STATE_READY)
    return false;
  button = pressed;
  if (mode == MODE_PAINT || mode == MODE_LINE) {
    state = mode == MODE_PAINT ? STATE_FREEHAND : STATE_LINE;
    lineStart = current;
    strokeRect.left = strokeRect.right = current.x;
    strokeRect.top = strokeRect.bottom = current.y;
    EnsureLayerWorkingCopy();
    EnsureSelectionWorkingCopy();
    MouseMove(current);
  } else if (mode == MODE_PICK) {
    state = STATE_PICK;
    MouseMove(pos);
  } else {
    state = STATE_IDLE;
  }
  return true;
}

bool CPaintTool::MouseUp(int32_t released, const Point&) {
  if (released != button || !AcceptsButton(released))
    return false;
  switch (state) {
    case STATE_IDLE:
    case STATE_FREEHAND:
    case STATE_PICK:
      return true;
    case STATE_LINE:
      strokeRect = PaintBrushSegment(lineStart, current, GetSize(), GetPaintColor());
      lineStart = current;
      CommitStroke(strokeRect, GetCaption());
      return true;
    default:
      return false;
  }
}

void CPaintTool::EndDrag() {
  const int32_t old = state;
  state = STATE_READY;
  if (old == STATE_FREEHAND) {
    CommitStroke(strokeRect, GetCaption());
    RefreshAfterStroke(false);
  } else if (old == STATE_LINE) {
    RefreshAfterStroke(true);
  }
}

void CPaintTool::RefreshAfterStroke(bool clearGeometry) {
  CToolHost* host = GetToolHost();
  host->RefitToImage();
  host->RefreshPreview();
  host->RefreshLayerItem(GetCurrentLayer());
  host->RefreshImageItem(GetCurrentImage());
  if (clearGeometry)
    host->ClearGeometry();
  host->UpdateCommandStates();
}

bool CPaintTool::KeyDown(int32_t key, bool) {
  return HandleModifierKey(state, key);
}

bool CPaintTool::KeyUp(int32_t key) {
  return HandleModifierKey(state, key);
}

void CPaintTool::DrawFootprint(CToolOverlay& overlay, const Point& pos) {
  const int32_t size = GetSize();
  const int32_t s = GetScreenBrushDiameter(size, GetToolPixelStep());
  if (s < 1)
    return;
  const Point client = GetToolHost()->ImageToClientPoint(pos);
  Rect square;
  square.left = client.x - (s - 1) / 2;
  square.top = client.y - (s - 1) / 2;
  square.right = square.left + s;
  square.bottom = square.top + s;
  DrawOverlayEllipse(overlay, square, s / size, kFeedbackOpacity);
}

void CPaintTool::DrawOverlay(CToolOverlay& overlay) {
  if ((state == STATE_READY && (mode == MODE_PAINT || mode == MODE_LINE)) ||
      state == STATE_FREEHAND) {
    DrawFootprint(overlay, current);
  } else if (state == STATE_LINE) {
    DrawFootprint(overlay, lineStart);
    if (lineStart.NotEqual(current)) {
      CToolHost* host = GetToolHost();
      DrawOverlayLine(overlay, host->ImageToClientPoint(lineStart),
                      host->ImageToClientPoint(current), kFeedbackOpacity);
      DrawFootprint(overlay, current);
    }
  }
}

bool CPaintTool::WantsAutoScroll() {
  return state == STATE_LINE;
}

void CPaintTool::CreateOptionsPane() {
  CWULInteractor* pane = BeginPaintToolOptions(this, GetToolHost()->GetOptionHostWindow());
  if (!pane)
    return;
  COptionParentScope scope(pane);
  CWULSpinEdit* size = AddOptionSpin("Size:", GetPaintOptionsRowX(), kPaneMargin, PAINT_OPTIONS_LABEL_WIDTH,
                                     GetSizeSetting(), 1, 100, &OnPaintToolSizeChanged);
  FinishPaintToolOptions(size, nullptr, nullptr);
}

void CPaintTool::ComputePreview(int32_t width, int32_t height, float* coverage) const {
  ComputePencilPreview(GetSize(), width, height, coverage);
}

// ---------------------------------------------------------------------------------------------
// Pencil and Eraser

CPencilTool::CPencilTool() {
  id = 50;
}

int32_t CPencilTool::GetSize() const {
  return g_Settings.drawingToolsPencilSize
             ? ClampSize(g_Settings.drawingToolsPencilSize->GetValue())
             : 1;
}

CUIntSetting* CPencilTool::GetSizeSetting() const {
  return g_Settings.drawingToolsPencilSize;
}

bool CPencilTool::AcceptsButton(int32_t pressed) const {
  return pressed == BUTTON_LEFT || pressed == BUTTON_RIGHT;
}

CColor CPencilTool::GetPaintColor() const {
  return GetStrokeColor(button);
}

void CPencilTool::ShowHint() {
  const char* text = "";
  if (state == STATE_READY) {
    if (mode == MODE_PAINT)
      text = "Left/right click and drag to paint. Use CTRL to draw lines, ALT to pick colors.";
    else if (mode == MODE_LINE)
      text = "Left/right click and drag to draw a line.";
    else if (mode == MODE_PICK)
      text = "Left/right click to pick a color.";
  }
  GetToolHost()->SetHelpText(text);
}

void CPencilTool::ShowColor(const Point& pos) {
  ShowDrawnOrPickedColor(pos, state == STATE_FREEHAND || state == STATE_LINE, button,
                         state == STATE_PICK);
}

CEraserTool::CEraserTool() {
  id = 80;
}

int32_t CEraserTool::GetSize() const {
  return g_Settings.drawingToolsEraserSize
             ? ClampSize(g_Settings.drawingToolsEraserSize->GetValue())
             : 1;
}

CUIntSetting* CEraserTool::GetSizeSetting() const {
  return g_Settings.drawingToolsEraserSize;
}

void CEraserTool::ShowHint() {
  const char* text = "";
  if (state == STATE_READY) {
    if (mode == MODE_PAINT)
      text = "Click and drag to erase. Use CTRL to erase lines.";
    else if (mode == MODE_LINE)
      text = "Click and drag to erase a line.";
  }
  GetToolHost()->SetHelpText(text);
}
