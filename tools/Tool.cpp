#include "tools/Tool.h"
#include <cmath>
#include <cstdlib>
#include "document/EditorUI.h"
#include "tools/CurrentImage.h"
#include "tools/DrawingColors.h"
#include "tools/LayerEdit.h"

// ---------------------------------------------------------------------------------------------
// Feedback plotting

void PlotContrastPixel(CToolOverlay& overlay, int32_t x, int32_t y, float opacity) {
  const Rect& clip = overlay.clip;
  if (x < clip.left || x >= clip.right || y < clip.top || y >= clip.bottom)
    return;
  if (x < 0 || y < 0 || x >= overlay.width || y >= overlay.height || !overlay.pixels ||
      !overlay.viewPixels)
    return;
  const size_t index = static_cast<size_t>(y) * static_cast<size_t>(overlay.width) + x;
  const uint32_t view = overlay.viewPixels[index];
  const uint32_t red = (view >> 16) & 0xFF;
  const uint32_t green = (view >> 8) & 0xFF;
  const uint32_t blue = view & 0xFF;
  const uint32_t target = red + 2 * green + blue >= 512 ? 0 : 255;
  double w = std::floor(static_cast<double>(opacity) * 16777216.0 + 0.5);
  if (w < 0)
    w = 0;
  if (w > 16777216.0)
    w = 16777216.0;
  const uint32_t weight = static_cast<uint32_t>(w);
  uint32_t result = 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8) {
    const uint32_t c = (view >> shift) & 0xFF;
    const uint32_t mixed = (c * (0x1000000u - weight) + target * weight + 0x800000u) >> 24;
    result |= mixed << shift;
  }
  overlay.pixels[index] = result;
}

namespace {

// round(a / b) for b != 0, halves away from minus infinity.
int32_t RoundedQuotient(int64_t a, int64_t b) {
  return static_cast<int32_t>(std::floor(static_cast<double>(a) / static_cast<double>(b) + 0.5));
}

}  // namespace

void DrawOverlayLine(CToolOverlay& overlay, const Point& p0, const Point& p1, float opacity) {
  const int64_t dx = static_cast<int64_t>(p1.x) - p0.x;
  const int64_t dy = static_cast<int64_t>(p1.y) - p0.y;
  if (dx == 0 && dy == 0) {
    PlotContrastPixel(overlay, p0.x, p0.y, opacity);
    return;
  }
  const Rect& clip = overlay.clip;
  if (std::llabs(dx) >= std::llabs(dy)) {
    int64_t from = p0.x < p1.x ? p0.x : p1.x;
    int64_t to = p0.x < p1.x ? p1.x : p0.x;
    if (from < clip.left)
      from = clip.left;
    if (to > static_cast<int64_t>(clip.right) - 1)
      to = static_cast<int64_t>(clip.right) - 1;
    for (int64_t x = from; x <= to; ++x) {
      const int32_t y = p0.y + RoundedQuotient((x - p0.x) * dy, dx);
      PlotContrastPixel(overlay, static_cast<int32_t>(x), y, opacity);
    }
  } else {
    int64_t from = p0.y < p1.y ? p0.y : p1.y;
    int64_t to = p0.y < p1.y ? p1.y : p0.y;
    if (from < clip.top)
      from = clip.top;
    if (to > static_cast<int64_t>(clip.bottom) - 1)
      to = static_cast<int64_t>(clip.bottom) - 1;
    for (int64_t y = from; y <= to; ++y) {
      const int32_t x = p0.x + RoundedQuotient((y - p0.y) * dx, dy);
      PlotContrastPixel(overlay, x, static_cast<int32_t>(y), opacity);
    }
  }
}

void DrawOverlayRect(CToolOverlay& overlay, const Rect& rect, float opacity) {
  if (rect.IsEmpty())
    return;
  const Point topLeft{rect.left, rect.top};
  const Point topRight{rect.right - 1, rect.top};
  const Point bottomLeft{rect.left, rect.bottom - 1};
  const Point bottomRight{rect.right - 1, rect.bottom - 1};
  DrawOverlayLine(overlay, topLeft, topRight, opacity);
  DrawOverlayLine(overlay, bottomLeft, bottomRight, opacity);
  DrawOverlayLine(overlay, topLeft, bottomLeft, opacity);
  DrawOverlayLine(overlay, topRight, bottomRight, opacity);
}

bool IsCellInEllipse(int32_t col, int32_t row, int32_t cols, int32_t rows) {
  if (col < 0 || row < 0 || col >= cols || row >= rows)
    return false;
  // Doubled coordinates relative to the centre keep the test in integers.
  const int64_t x = 2 * static_cast<int64_t>(col) - (cols - 1);
  const int64_t y = 2 * static_cast<int64_t>(row) - (rows - 1);
  const int64_t w2 = static_cast<int64_t>(cols) * cols;
  const int64_t h2 = static_cast<int64_t>(rows) * rows;
  return x * x * h2 + y * y * w2 <= w2 * h2;
}

void DrawOverlayEllipse(CToolOverlay& overlay, const Rect& rect, int32_t cell, float opacity) {
  if (rect.IsEmpty())
    return;
  if (cell < 1)
    cell = 1;
  const int32_t cols = rect.GetWidth() / cell;
  const int32_t rows = rect.GetHeight() / cell;
  if (cols < 1 || rows < 1)
    return;
  // Only the cells that can meet the clip rectangle are visited.
  const Rect& clip = overlay.clip;
  int32_t firstCol = 0, lastCol = cols - 1, firstRow = 0, lastRow = rows - 1;
  if (clip.left > rect.left)
    firstCol = (clip.left - rect.left) / cell - 1;
  if (clip.right < rect.right)
    lastCol = (clip.right - rect.left) / cell + 1;
  if (clip.top > rect.top)
    firstRow = (clip.top - rect.top) / cell - 1;
  if (clip.bottom < rect.bottom)
    lastRow = (clip.bottom - rect.top) / cell + 1;
  if (firstCol < 0)
    firstCol = 0;
  if (firstRow < 0)
    firstRow = 0;
  if (lastCol > cols - 1)
    lastCol = cols - 1;
  if (lastRow > rows - 1)
    lastRow = rows - 1;
  for (int32_t row = firstRow; row <= lastRow; ++row) {
    for (int32_t col = firstCol; col <= lastCol; ++col) {
      if (!IsCellInEllipse(col, row, cols, rows))
        continue;
      const int32_t left = rect.left + col * cell;
      const int32_t top = rect.top + row * cell;
      const int32_t right = left + cell - 1;
      const int32_t bottom = top + cell - 1;
      const bool openLeft = !IsCellInEllipse(col - 1, row, cols, rows);
      const bool openRight = !IsCellInEllipse(col + 1, row, cols, rows);
      const bool openTop = !IsCellInEllipse(col, row - 1, cols, rows);
      const bool openBottom = !IsCellInEllipse(col, row + 1, cols, rows);
      if (cell == 1) {
        if (openLeft || openRight || openTop || openBottom)
          PlotContrastPixel(overlay, left, top, opacity);
        continue;
      }
      if (openLeft)
        DrawOverlayLine(overlay, Point{left, top}, Point{left, bottom}, opacity);
      if (openRight)
        DrawOverlayLine(overlay, Point{right, top}, Point{right, bottom}, opacity);
      if (openTop)
        DrawOverlayLine(overlay, Point{left, top}, Point{right, top}, opacity);
      if (openBottom)
        DrawOverlayLine(overlay, Point{left, bottom}, Point{right, bottom}, opacity);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// CTool

CTool::CTool() : id(0), active(0), away(1) {}

CTool::~CTool() {
  if (active)
    active = 0;
}

void CTool::Activate() {
  active = 1;
}

void CTool::Deactivate() {
  active = 0;
}

void CTool::CreateOptionsPane() {}

void CTool::PointerLeft() {
  away = 1;
}

void CTool::PointerEntered(const Point&) {
  away = 0;
}

HCURSOR CTool::GetCursor(const Point&) {
  return LoadCursor(nullptr, IDC_ARROW);
}

void CTool::MouseMove(const Point&) {}

bool CTool::MouseDown(int32_t, const Point&) {
  return false;
}

bool CTool::MouseUp(int32_t, const Point&) {
  return false;
}

void CTool::EndDrag() {}

bool CTool::KeyDown(int32_t, bool) {
  return false;
}

bool CTool::KeyUp(int32_t) {
  return false;
}

void CTool::DrawOverlay(CToolOverlay&) {}

void CTool::ShowHint() {}

void CTool::ShowPosition(const Point& pos) {
  GetEditorUI()->SetPixelPosition(pos.x >> 8, pos.y >> 8);
}

void CTool::ShowColor(const Point&) {}

bool CTool::WantsAutoScroll() {
  return false;
}

bool CTool::PickColor(const Point& pos, CColor& color) {
  CEditorUI* host = GetEditorUI();
  return host->PickColorAt(host->ImageToClientPoint(pos), color);
}

void CTool::ShowDrawnOrPickedColor(const Point& pos, bool drawing, int32_t button,
                                   bool picking) {
  CEditorUI* host = GetEditorUI();
  if (drawing) {
    host->SetColor(GetStrokeColor(button));
    return;
  }
  CColor color;
  if (picking && PickColor(pos, color))
    host->SetColor(color);
  else
    host->ClearColor();
}

void CTool::PickButtonColor(const Point& pos, int32_t button) {
  CColor color;
  if (!PickColor(pos, color))
    return;
  if (button == BUTTON_LEFT)
    SetPrimaryColor(color);
  else
    SetSecondaryColor(color);
}

int32_t CTool::ReadCombineMode() {
  CEditorUI* ui = GetEditorUI();
  const bool shift = ui->IsKeyDown(KEY_SHIFT);
  if (ui->IsKeyDown(KEY_ALT))
    return shift ? CCombineModes::MODE_INTERSECT : CCombineModes::MODE_SUBTRACT;
  return shift ? CCombineModes::MODE_ADD : CCombineModes::MODE_REPLACE;
}

HCURSOR CTool::GetCombineCursor(int32_t mode, int32_t replaceCursor) {
  CEditorUI* ui = GetEditorUI();
  if (mode >= CCombineModes::MODE_REPLACE && mode <= CCombineModes::MODE_INTERSECT)
    return ui->GetAppCursor(replaceCursor + mode - CCombineModes::MODE_REPLACE);
  return ui->GetAppCursor(CURSOR_TOOL_DEFAULT);
}

bool CTool::HandleModifierKey(int32_t state, int32_t key) {
  if (state != STATE_READY || key < KEY_SHIFT || key > KEY_ALT)
    return false;
  GetEditorUI()->RestoreCursor();
  return true;
}

// ---------------------------------------------------------------------------------------------
// CPaintOrPickTool

CPaintOrPickTool::CPaintOrPickTool() : state(STATE_READY), mode(MODE_NONE), button(BUTTON_LEFT) {}

HCURSOR CPaintOrPickTool::GetCursor(const Point&) {
  CEditorUI* ui = GetEditorUI();
  if (state == STATE_READY) {
    mode = MODE_NONE;
    if (ui->IsKeyDown(KEY_ALT))
      mode = MODE_PICK;
    else if (IsVisibleRasterLayer(GetCurrentLayer()))
      mode = MODE_PAINT;
  }
  if (state >= STATE_READY && state <= STATE_PICK) {
    if (mode == MODE_PAINT)
      return ui->GetAppCursor(GetDrawCursor());
    if (mode == MODE_PICK)
      return ui->GetAppCursor(CURSOR_PICKER);
  }
  return ui->GetAppCursor(CURSOR_TOOL_DEFAULT);
}

bool CPaintOrPickTool::MouseDown(int32_t pressed, const Point& pos) {
  if ((pressed != BUTTON_LEFT && pressed != BUTTON_RIGHT) || state != STATE_READY)
    return false;
  button = pressed;
  if (mode == MODE_PAINT) {
    state = STATE_PAINT;
    BeginPaint(pos);
  } else if (mode == MODE_PICK) {
    state = STATE_PICK;
    MouseMove(pos);
  } else {
    state = STATE_IDLE;
  }
  return true;
}

bool CPaintOrPickTool::MouseUp(int32_t released, const Point&) {
  if (released != button)
    return false;
  if (state == STATE_PAINT) {
    FinishDrag();
    return true;
  }
  return state == STATE_IDLE || state == STATE_PICK;
}

void CPaintOrPickTool::EndDrag() {
  const int32_t old = state;
  state = STATE_READY;
  if (old == STATE_PAINT)
    EndPaint();
}

void CPaintOrPickTool::EndPaint() {
  RefreshAfterToolEdit(false);
}
