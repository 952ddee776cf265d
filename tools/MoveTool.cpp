#include "tools/MoveTool.h"
#include "document/Actions.h"
#include "document/EditorUI.h"
#include "document/History.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Selection.h"
#include "tools/CurrentImage.h"
#include "tools/GradientTool.h"
#include "tools/LayerEdit.h"
#include "tools/WorkingCopies.h"

namespace {

// An active selection moves with the layer only when both copies start from the same
// place; otherwise both are taken again.
void AlignWorkingCopies(CSelection* selection) {
  if (!selection->IsActive())
    return;
  if (g_LayerWorkingCopy.GetOffsetRef().NotEqual(g_SelectionWorkingCopy.GetOffsetRef())) {
    EnsureLayerWorkingCopy();
    EnsureSelectionWorkingCopy();
  }
}

void AddToOffset(Point& offset, int32_t dx, int32_t dy) {
  offset.x += dx;
  offset.y += dy;
}

// Moves the copies' pending offsets by (dx, dy) and writes them back: the layer, and the
// selection when it is active. False when the layer copy could not be written.
bool ShiftCopies(CSelection* selection, int32_t dx, int32_t dy) {
  AddToOffset(g_LayerWorkingCopy.GetOffsetRef(), dx, dy);
  if (!CommitLayerWorkingCopy()) {
    AddToOffset(g_LayerWorkingCopy.GetOffsetRef(), -dx, -dy);
    return false;
  }
  if (selection->IsActive()) {
    AddToOffset(g_SelectionWorkingCopy.GetOffsetRef(), dx, dy);
    CommitSelectionWorkingCopy();
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Nudge

bool NudgeCommand(int32_t dx, int32_t dy) {
  CImage* image = GetCurrentImage();
  CSelection* selection = GetCurrentSelection();
  CLayer* layer = GetCurrentLayer();
  if (!image || !selection || !IsVisibleRasterLayer(layer) || !image->GetHistory())
    return false;
  CShiftAction* action = nullptr;
  try {
    AlignWorkingCopies(selection);
    action = new CShiftAction();
    action->SetName("Nudge");
    if (!ShiftCopies(selection, dx, dy)) {
      delete action;
      return false;
    }
    image->UpdateAll();
    action->SetShift(dx, dy);
    if (!image->GetHistory()->Add(action))
      delete action;
  } catch (...) {
    delete action;
    try {
      image->UpdateAll();
    } catch (...) {
    }
    return false;
  }
  RefreshAfterLayerEdit(image, layer);
  GetEditorUI()->UpdateCommandStates();
  return true;
}

// ---------------------------------------------------------------------------------------------
// Move tool

CMoveTool::CMoveTool() : state(STATE_READY), mode(MODE_NONE), flags(0) {
  id = 30;
}

void CMoveTool::UpdateMode() {
  mode = GetCurrentSelection() && IsVisibleRasterLayer(GetCurrentLayer()) ? MODE_MOVE : MODE_NONE;
}

HCURSOR CMoveTool::GetCursor(const Point&) {
  if (state == STATE_READY)
    UpdateMode();
  CEditorUI* host = GetEditorUI();
  if ((state == STATE_READY || state == STATE_DRAG) && mode == MODE_MOVE)
    return host->GetAppCursor(CURSOR_MOVE);
  return host->GetAppCursor(CURSOR_TOOL_DEFAULT);
}

bool CMoveTool::MouseDown(int32_t button, const Point& pos) {
  if (button != BUTTON_LEFT || state != STATE_READY)
    return false;
  if (mode == MODE_NONE) {
    state = STATE_IDLE;
    return true;
  }
  CSelection* selection = GetCurrentSelection();
  if (!selection)
    return false;
  state = STATE_DRAG;
  anchor = pos;
  current = pos;
  flags = GetEditorUI()->IsKeyDown(KEY_SHIFT) ? FLAG_SHIFT : 0;
  applied = Point();
  try {
    AlignWorkingCopies(selection);
  } catch (...) {
  }
  return true;
}

void CMoveTool::MouseMove(const Point& pos) {
  current = pos;
  if (state == STATE_DRAG)
    UpdateDrag();
}

void CMoveTool::UpdateDrag() {
  Point v = current.Subtract(anchor);
  if (flags & FLAG_SHIFT)
    v = ConstrainGradientVector(v);
  int32_t g = GetEditorUI()->GetNudgeStep();
  if (g < 1 || (g & (g - 1)) != 0)
    g = 256;
  v.x = (v.x + g / 2) & -g;
  v.y = (v.y + g / 2) & -g;
  if (!v.NotEqual(applied))
    return;
  CSelection* selection = GetCurrentSelection();
  CLayer* layer = GetCurrentLayer();
  CEditorUI* host = GetEditorUI();
  if (!selection || !layer || layer->GetKind() != CLayer::KIND_RASTER)
    return;
  bool shifted = false;
  try {
    shifted = ShiftCopies(selection, v.x - applied.x, v.y - applied.y);
  } catch (...) {
  }
  // The applied offset always matches what the copies were moved by.
  if (!shifted)
    return;
  if (IsSupersampledRaster(layer))
    host->SetPosition(v.x, v.y);
  else
    host->SetPositionInt(RoundFixed(v.x), RoundFixed(v.y));
  applied = v;
  host->RefitToImage();
}

bool CMoveTool::MouseUp(int32_t button, const Point&) {
  if (button != BUTTON_LEFT)
    return false;
  if (state == STATE_IDLE)
    return true;
  if (state != STATE_DRAG)
    return false;
  if (applied.NotEqual(Point()))
    RecordMove();
  return true;
}

void CMoveTool::RecordMove() {
  CImage* image = GetCurrentImage();
  CSelection* selection = GetCurrentSelection();
  CLayer* layer = GetCurrentLayer();
  if (!image || !selection || !layer || !image->GetHistory())
    return;
  image->UpdateAll();
  // The action records the copies as they were before the drag.
  const bool active = selection->IsActive();
  AddToOffset(g_LayerWorkingCopy.GetOffsetRef(), -applied.x, -applied.y);
  if (active)
    AddToOffset(g_SelectionWorkingCopy.GetOffsetRef(), -applied.x, -applied.y);
  CShiftAction* action = nullptr;
  try {
    action = new CShiftAction();
    action->SetName("Move");
    action->SetShift(applied.x, applied.y);
    if (image->GetHistory()->Add(action))
      action = nullptr;
  } catch (...) {
  }
  delete action;
  AddToOffset(g_LayerWorkingCopy.GetOffsetRef(), applied.x, applied.y);
  if (active)
    AddToOffset(g_SelectionWorkingCopy.GetOffsetRef(), applied.x, applied.y);
}

void CMoveTool::EndDrag() {
  const int32_t old = state;
  state = STATE_READY;
  if (old != STATE_DRAG)
    return;
  RefreshAfterToolEdit(true);
}

bool CMoveTool::HandleShift(int32_t key) {
  if (state != STATE_DRAG || key < KEY_SHIFT || key > KEY_ALT)
    return false;
  const int32_t read = GetEditorUI()->IsKeyDown(KEY_SHIFT) ? FLAG_SHIFT : 0;
  if (read != flags) {
    flags = read;
    UpdateDrag();
  }
  return true;
}

bool CMoveTool::KeyDown(int32_t key, bool) {
  if (state == STATE_DRAG)
    return HandleShift(key);
  if (state != STATE_READY || key < KEY_LEFT || key > KEY_DOWN)
    return false;
  CLayer* layer = GetCurrentLayer();
  if (!layer || !layer->IsVisible())
    return true;
  const int32_t c = IsSupersampledRaster(layer) ? 32 : 256;
  switch (key) {
    case KEY_LEFT:
      NudgeCommand(-c, 0);
      break;
    case KEY_UP:
      NudgeCommand(0, -c);
      break;
    case KEY_RIGHT:
      NudgeCommand(c, 0);
      break;
    default:
      NudgeCommand(0, c);
      break;
  }
  return true;
}

bool CMoveTool::KeyUp(int32_t key) {
  return HandleShift(key);
}

void CMoveTool::ShowHint() {
  const char* text = "";
  if (state == STATE_READY && mode == MODE_MOVE)
    text = "Click and drag to move, or use the cursor keys to nudge the layer or the selection.";
  else if (state == STATE_DRAG && !(flags & FLAG_SHIFT))
    text = "Use SHIFT to constrain the direction to multiples of 45 degrees.";
  GetEditorUI()->SetHelpText(text);
}

bool CMoveTool::WantsAutoScroll() {
  return state == STATE_DRAG;
}
