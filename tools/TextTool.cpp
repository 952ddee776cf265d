#include "tools/TextTool.h"
#include "document/EditorUI.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Selection.h"
#include "shell/Settings.h"
#include "tools/CurrentImage.h"
#include "tools/DrawingColors.h"
#include "tools/LayerEdit.h"
#include "tools/PencilTool.h"
#include "tools/TextOptions.h"
#include "tools/ToolManager.h"
#include "tools/WorkingCopies.h"

CTextTool* g_TextTool = &g_ToolManager.text;

namespace {

const float kFeedbackOpacity = 0.5f;

int32_t ClampToInt32(int64_t v) {
  if (v > INT32_MAX)
    return INT32_MAX;
  if (v < INT32_MIN)
    return INT32_MIN;
  return static_cast<int32_t>(v);
}

// Covers a cell x cell block of client pixels per non-zero mask value, from corner on.
void DrawOverlayMask(CToolOverlay& overlay, const Point& corner, const CMaskArray& mask,
                     int32_t columns, int32_t rows, int32_t cell) {
  if (columns > mask.width)
    columns = mask.width;
  if (rows > mask.height)
    rows = mask.height;
  const Rect& clip = overlay.clip;
  for (int32_t my = 0; my < rows; ++my) {
    const int64_t y0 = corner.y + static_cast<int64_t>(my) * cell;
    if (y0 >= clip.bottom)
      break;
    if (y0 + cell <= clip.top)
      continue;
    const uint8_t* row = mask.data + static_cast<size_t>(my) * mask.width;
    for (int32_t mx = 0; mx < columns; ++mx) {
      const uint32_t v = row[mx];
      if (!v)
        continue;
      const int64_t x0 = corner.x + static_cast<int64_t>(mx) * cell;
      if (x0 >= clip.right)
        break;
      if (x0 + cell <= clip.left)
        continue;
      const float opacity = kFeedbackOpacity * static_cast<float>(v) / 255.0f;
      for (int32_t dy = 0; dy < cell; ++dy)
        for (int32_t dx = 0; dx < cell; ++dx)
          PlotContrastPixel(overlay, static_cast<int32_t>(x0 + dx), static_cast<int32_t>(y0 + dy),
                            opacity);
    }
  }
}

}  // namespace

CTextTool::CTextTool()
    : text("TEXT"), state(STATE_READY), mode(MODE_NONE), button(BUTTON_LEFT) {
  id = 90;
}

CTextTool::~CTextTool() {}

void CTextTool::Activate() {
  renderer.SetAutoSize(true);
  uint64_t limit = g_Settings.limitsToolsTextMemoryLimit
                       ? static_cast<uint64_t>(g_Settings.limitsToolsTextMemoryLimit->GetValue()) << 20
                       : 0;
  if (limit > UINT32_MAX)
    limit = UINT32_MAX;
  renderer.SetMemoryLimit(static_cast<uint32_t>(limit));
  renderer.SetFontName(g_Settings.drawingToolsTextFontName
                           ? g_Settings.drawingToolsTextFontName->GetValue()
                           : "Tahoma");
  uint32_t size = g_Settings.drawingToolsTextFontSize
                      ? g_Settings.drawingToolsTextFontSize->GetValue()
                      : 11;
  // The sizes the settings allow.
  if (size < 1)
    size = 1;
  if (size > 999)
    size = 999;
  renderer.SetHeight(-static_cast<int32_t>(size));
  const uint32_t fontStyle =
      g_Settings.drawingToolsTextFontStyle ? g_Settings.drawingToolsTextFontStyle->GetValue() : 0;
  renderer.SetStyle(fontStyle <= 3 ? static_cast<int32_t>(fontStyle) : 0);
  renderer.Render(text.text);
  active = 1;
}

void CTextTool::Deactivate() {
  renderer.SetBufferSize(0, 0);
  active = 0;
}

void CTextTool::CreateOptionsPane() {
  CreateTextToolOptions(GetEditorUI()->GetOptionHostWindow());
}

void CTextTool::SetText(const char* value) {
  text.Assign(value);
  Rerender();
}

void CTextTool::Rerender() {
  if (!active)
    return;
  Activate();
  CEditorUI* host = GetEditorUI();
  host->InvalidateToolOverlayRect(nullptr);
  host->RestoreCursor();
}

Rect CTextTool::GetTextBox(const Point& p) const {
  const int64_t step = GetToolPixelStep();
  const int64_t w = renderer.GetDrawnWidth() * step;
  const int64_t h = renderer.GetDrawnHeight() * step;
  Rect box;
  box.left = ClampToInt32(p.x - w / 2);
  box.top = ClampToInt32(p.y - h / 2);
  box.right = ClampToInt32(static_cast<int64_t>(p.x) + w - w / 2);
  box.bottom = ClampToInt32(static_cast<int64_t>(p.y) + h - h / 2);
  return box;
}

Rect CTextTool::GetSnappedTextBox(const Point& p) const {
  const int64_t step = GetToolPixelStep();
  if (step <= 0)
    return GetTextBox(p);
  const int64_t w = renderer.GetDrawnWidth() * step;
  const int64_t h = renderer.GetDrawnHeight() * step;
  const int64_t left = (p.x + step / 2 - w / 2) & -step;
  const int64_t top = (p.y + step / 2 - h / 2) & -step;
  Rect box;
  box.left = ClampToInt32(left);
  box.top = ClampToInt32(top);
  box.right = ClampToInt32(left + w);
  box.bottom = ClampToInt32(top + h);
  return box;
}

void CTextTool::InvalidateBox(const Point& p) {
  // The feedback is drawn on the grid: cover both boxes.
  const Rect box = GetTextBox(p).Union(GetSnappedTextBox(p));
  GetEditorUI()->InvalidateToolOverlayRect(&box);
}

bool CTextTool::UpdateMode() {
  const int32_t old = mode;
  if (GetEditorUI()->IsKeyDown(KEY_ALT))
    mode = MODE_PICK;
  else if (IsVisibleRasterLayer(GetCurrentLayer()))
    mode = MODE_IMPRINT;
  else
    mode = MODE_NONE;
  return mode != old;
}

void CTextTool::PointerLeft() {
  if (away)
    return;
  away = 1;
  if (state == STATE_READY && mode == MODE_IMPRINT)
    InvalidateBox(current);
}

void CTextTool::PointerEntered(const Point& pos) {
  if (!away)
    return;
  away = 0;
  current = pos;
  if (state == STATE_READY) {
    const int32_t old = mode;
    UpdateMode();
    if (mode == MODE_IMPRINT || old == MODE_IMPRINT)
      InvalidateBox(current);
  }
}

HCURSOR CTextTool::GetCursor(const Point&) {
  if (state == STATE_READY && UpdateMode())
    InvalidateBox(current);
  CEditorUI* host = GetEditorUI();
  if (state >= STATE_READY && state <= STATE_PICKING) {
    if (mode == MODE_IMPRINT)
      return host->GetAppCursor(CURSOR_TEXT);
    if (mode == MODE_PICK)
      return host->GetAppCursor(CURSOR_PICKER);
  }
  return host->GetAppCursor(CURSOR_TOOL_DEFAULT);
}

void CTextTool::MouseMove(const Point& pos) {
  const Point previous = current;
  current = pos;
  if (state == STATE_READY && mode == MODE_IMPRINT) {
    InvalidateBox(previous);
    InvalidateBox(current);
  } else if (state == STATE_PICKING) {
    PickButtonColor(pos, button);
  }
}

bool CTextTool::MouseDown(int32_t pressed, const Point& pos) {
  if ((pressed != BUTTON_LEFT && pressed != BUTTON_RIGHT) || state != STATE_READY)
    return false;
  button = pressed;
  current = pos;
  if (mode == MODE_IMPRINT) {
    state = STATE_PRESSED;
    const Rect box = GetTextBox(pos);
    const Rect snapped = GetSnappedTextBox(pos);
    imprintPos.x = pos.x + (snapped.left - box.left);
    imprintPos.y = pos.y + (snapped.top - box.top);
    InvalidateBox(pos);
    InvalidateBox(imprintPos);
  } else if (mode == MODE_PICK) {
    state = STATE_PICKING;
    PickButtonColor(pos, button);
  } else {
    state = STATE_IDLE;
  }
  return true;
}

bool CTextTool::MouseUp(int32_t released, const Point&) {
  if (released != button)
    return false;
  switch (state) {
    case STATE_PRESSED:
      Imprint();
      return true;
    case STATE_IDLE:
    case STATE_PICKING:
      return true;
    default:
      return false;
  }
}

void CTextTool::EndDrag() {
  const int32_t old = state;
  state = STATE_READY;
  if (old != STATE_PRESSED)
    return;
  InvalidateBox(imprintPos);
  RefreshAfterToolEdit(false);
}

bool CTextTool::KeyDown(int32_t key, bool) {
  return HandleModifierKey(state, key);
}

bool CTextTool::KeyUp(int32_t key) {
  return HandleModifierKey(state, key);
}

void CTextTool::DrawOverlay(CToolOverlay& overlay) {
  Point at;
  if (state == STATE_READY && mode == MODE_IMPRINT)
    at = current;
  else if (state == STATE_PRESSED)
    at = imprintPos;
  else
    return;
  const int32_t drawnW = renderer.GetDrawnWidth();
  const int32_t drawnH = renderer.GetDrawnHeight();
  if (drawnW <= 0 || drawnH <= 0)
    return;
  CEditorUI* host = GetEditorUI();
  const Rect box = GetSnappedTextBox(at);
  const Point corner = host->ImageToClientPoint(Point{box.left, box.top});
  int32_t cell = host->GetZoomFactor();
  if (cell < 1)
    cell = 1;
  int32_t level = CMaskSupersampleStack::TOP;
  if (IsSupersampledRaster(GetCurrentLayer())) {
    level = 0;
    while (cell > 1 && level < CMaskSupersampleStack::TOP) {
      cell /= 2;
      ++level;
    }
  }
  const CMaskArray* mask = renderer.GetLevel(level);
  if (!mask)
    return;
  const int32_t shift = CMaskSupersampleStack::TOP - level;
  const int32_t columns = ((drawnW - 1) >> shift) + 1;
  const int32_t rows = ((drawnH - 1) >> shift) + 1;
  DrawOverlayMask(overlay, corner, *mask, columns, rows, cell);
}

void CTextTool::ShowHint() {
  const char* hint = "";
  if (state == STATE_READY) {
    if (mode == MODE_IMPRINT)
      hint = "Left/right click to imprint the text. Use ALT to pick colors.";
    else if (mode == MODE_PICK)
      hint = "Left/right click to pick a color.";
  }
  GetEditorUI()->SetHelpText(hint);
}

void CTextTool::Imprint() {
  CImage* image = GetCurrentImage();
  CLayer* layer = GetCurrentLayer();
  if (!image || !GetCurrentSelection() || !layer)
    return;
  const Rect snapped = GetSnappedTextBox(imprintPos);
  const Rect clipped = snapped.Intersect(GetLayerBounds24(layer));
  if (clipped.IsEmpty() || layer->GetKind() != CLayer::KIND_RASTER)
    return;
  const CMaskArray* coverage = renderer.GetLevel(CMaskSupersampleStack::TOP);
  if (!coverage)
    return;
  CRasterLayer* raster = static_cast<CRasterLayer*>(layer);
  const int32_t shift = 8 - raster->GetSupersampleLevel();
  const Rect work = ShiftRectOut(clipped, shift);
  EnsureLayerWorkingCopy();
  EnsureSelectionWorkingCopy();
  CPixelArray* target = raster->GetPixelArray();
  const CMaskArray* selection;
  if (!target || !target->data || !GetEditMask(raster, selection)) {
    ResyncWorkingCopies();
    return;
  }
  const int32_t channelMode = GetEditorUI()->GetChannelMode();
  const uint32_t color = GetStrokeColor(button).value;
  const int32_t originX = snapped.left >> shift;
  const int32_t originY = snapped.top >> shift;
  const int32_t drawnW = renderer.GetDrawnWidth();
  const int32_t drawnH = renderer.GetDrawnHeight();
  for (int32_t y = work.top; y < work.bottom; ++y) {
    const int32_t my = y - originY;
    if (my < 0 || my >= drawnH || my >= coverage->height)
      continue;
    const uint8_t* row = coverage->data + static_cast<size_t>(my) * coverage->width;
    for (int32_t x = work.left; x < work.right; ++x) {
      const int32_t mx = x - originX;
      if (mx < 0 || mx >= drawnW || mx >= coverage->width)
        continue;
      uint32_t v = row[mx];
      const ptrdiff_t index = static_cast<ptrdiff_t>(y) * target->width + x;
      if (selection)
        v = ScaleCoverage(selection->data[index], v);
      if (v)
        target->data[index] = BlendByChannelMode(target->data[index], color, v, channelMode);
    }
  }
  RecordLayerEdit(image, raster, work, "Text");
  ResyncWorkingCopies();
}
