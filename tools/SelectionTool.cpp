#include "tools/SelectionTool.h"
#include <cmath>
#include "document/Actions.h"
#include "document/EditorUI.h"
#include "document/History.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Selection.h"
#include "document/Supersample.h"
#include "document/UndoStore.h"
#include "shell/Settings.h"
#include "tools/CurrentImage.h"
#include "tools/LayerEdit.h"
#include "tools/OptionPanes.h"
#include "tools/ShapeTools.h"
#include "tools/WorkingCopies.h"
#include "ui/PanelResourceIds.h"

namespace {

const uint32_t kTintColor = 0xFF808080u;
const float kTintOpacity = 0.25f;
const float kDashOpacity = 0.75f;

uint32_t OpacityWeight(float opacity) {
  double w = std::floor(static_cast<double>(opacity) * 16777216.0 + 0.5);
  if (w < 0)
    w = 0;
  if (w > 16777216.0)
    w = 16777216.0;
  return static_cast<uint32_t>(w);
}

// The colour channels of p moved towards target by weight / 2^24; alpha 255.
uint32_t LerpOpaque(uint32_t p, uint32_t target, uint32_t weight) {
  uint32_t result = 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8) {
    const uint32_t a = (p >> shift) & 0xFF;
    const uint32_t b = (target >> shift) & 0xFF;
    result |= ((a * (0x1000000u - weight) + b * weight + 0x800000u) >> 24) << shift;
  }
  return result;
}

uint32_t DashColor(int32_t x, int32_t y) {
  return ((x + y) & 7) < 4 ? 0xFF000000u : 0xFFFFFFFFu;
}

// The 1x mask of a selection, whatever its supersampling.
CMaskArray* GetPlainMask(CSelection* selection) {
  CMaskSupersampleStack* stack = selection->GetSupersampleStack();
  if (selection->IsSupersampled() && stack)
    return stack->GetLevel(0);
  return selection->GetMask();
}

Rect ShiftRectDown(const Rect& r, int32_t shift) {
  Rect out;
  out.left = r.left >> shift;
  out.top = r.top >> shift;
  out.right = r.right >> shift;
  out.bottom = r.bottom >> shift;
  return out;
}

// Inside the ellipse inscribed in columns l..r-1 and rows t..b-1.
struct SelectionEllipse {
  explicit SelectionEllipse(const Rect& r)
      : cx((static_cast<double>(r.left) + r.right - 1) / 2),
        cy((static_cast<double>(r.top) + r.bottom - 1) / 2),
        sx((static_cast<double>(r.right) - r.left) / 2),
        sy((static_cast<double>(r.bottom) - r.top) / 2) {}
  bool Contains(int32_t x, int32_t y) const {
    const double dx = (x - cx) * sy;
    const double dy = (y - cy) * sx;
    return dx * dx + dy * dy <= (sx * sy) * (sx * sy);
  }
  double cx, cy, sx, sy;
};

// The selection working copy holds the mask as it was before the change, at the size of the
// selection's edit mask.
bool HasOldMask(CSelection* selection) {
  const CMaskArray* edit = selection->GetMask();
  const CMaskArray& old = g_SelectionWorkingCopy.GetWorkingMask();
  return edit && edit->data && old.data && old.width == edit->width &&
         old.height == edit->height;
}

void RestoreOldMask(CSelection* selection) {
  if (!HasOldMask(selection))
    return;
  selection->GetMask()->CopyTo(0, 0, g_SelectionWorkingCopy.GetWorkingMask());
  selection->Update(nullptr);
}

// Finishes a change of the selection's edit mask: bounds, the difference against the
// working copy kept in the action, the active flag (an empty selection becomes inactive and
// follows its image), and the action added to the history. False when the difference could
// not be kept; the caller then restores the old mask and deletes the action.
bool FinishSelectionChange(CImage* image, CSelection* selection, CModifySelectionAction* action,
                           bool selectLayer) {
  selection->Update(nullptr);
  if (g_LzwEncoder.GetState() == CLzwEncoder::STATE_FAILED)
    g_LzwEncoder.Reset();
  CStoredRect* stored =
      g_LzwEncoder.StoreMask(*selection->GetMask(), &g_SelectionWorkingCopy.GetWorkingMask());
  if (!stored)
    return false;
  action->SetMaskBlock(stored);
  if (selection->IsEmpty()) {
    selection->SetActive(false);
    selection->SyncToImage();
  } else {
    selection->SetActive(true);
  }
  if (selectLayer) {
    action->SetSelectLayerOnRedo(true);
    action->SetSelectLayerOnUndo(true);
  }
  return image->GetHistory()->Add(action);
}

// Runs a change of the current selection's edit mask as one action with the caption. change
// rewrites the mask and returns false to leave it alone.
template <class Change>
bool ChangeSelection(const char* caption, bool selectLayer, Change change) {
  CImage* image = GetCurrentImage();
  CSelection* selection = GetCurrentSelection();
  if (!image || !selection || !image->GetHistory())
    return false;
  CModifySelectionAction* action = nullptr;
  const bool wasActive = selection->IsActive();
  bool changed = false;
  bool touched = false;
  try {
    EnsureSelectionWorkingCopy();
    if (HasOldMask(selection)) {
      action = new CModifySelectionAction();
      action->SetName(caption);
      touched = true;
      if (change(selection) && FinishSelectionChange(image, selection, action, selectLayer)) {
        action = nullptr;
        changed = true;
      }
    }
  } catch (...) {
    changed = false;
  }
  if (!changed && touched) {
    RestoreOldMask(selection);
    selection->SetActive(wasActive);
  }
  delete action;
  return changed;
}

// After a command changed the selection (or failed to).
bool FinishCommand(bool changed) {
  try {
    ResyncWorkingCopies();
  } catch (...) {
  }
  if (!changed)
    return false;
  CEditorUI* host = GetEditorUI();
  host->InvalidateToolOverlayRect(nullptr);
  host->UpdateCommandStates();
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Commands

bool SelectAllCommand() {
  CSelection* selection = GetCurrentSelection();
  if (!GetCurrentImage() || !selection || (selection->IsFull() && selection->IsActive()))
    return false;
  return FinishCommand(ChangeSelection("Select", false, [](CSelection* s) {
    s->GetMask()->Fill(255);
    return true;
  }));
}

bool DeselectCommand() {
  CSelection* selection = GetCurrentSelection();
  if (!GetCurrentImage() || !selection || !selection->IsActive())
    return false;
  return FinishCommand(ChangeSelection("Deselect", false, [](CSelection* s) {
    s->GetMask()->Fill(0);
    return true;
  }));
}

bool InvertSelectionCommand() {
  CSelection* selection = GetCurrentSelection();
  if (!GetCurrentImage() || !selection || !selection->IsActive())
    return false;
  return FinishCommand(ChangeSelection("Invert Selection", false, [](CSelection* s) {
    s->GetMask()->Invert();
    return true;
  }));
}

void RasterizeSelectionShape(CMaskArray& mask, const Rect& rect, bool elliptical) {
  mask.Fill(0);
  if (rect.IsEmpty() || !mask.data)
    return;
  Rect bounds;
  bounds.right = mask.width;
  bounds.bottom = mask.height;
  const Rect area = rect.Intersect(bounds);
  if (area.IsEmpty())
    return;
  if (!elliptical) {
    mask.FillRect(area, 255);
    return;
  }
  const SelectionEllipse ellipse(rect);
  for (int32_t y = area.top; y < area.bottom; ++y) {
    uint8_t* row = mask.data + static_cast<ptrdiff_t>(y) * mask.width;
    for (int32_t x = area.left; x < area.right; ++x)
      if (ellipse.Contains(x, y))
        row[x] = 255;
  }
}

// ---------------------------------------------------------------------------------------------
// Selection tool

CSelectionTool::CSelectionTool() : state(STATE_READY), mode(MODE_NONE), flags(0) {
  id = 10;
}

void CSelectionTool::CreateOptionsPane() {
  static const COptionChoice kShapes[2] = {
      {"Rectangular", SELECTION_RECTANGULAR, IDB_SELECTION_RECTANGULAR, IDB_SELECTION_RECTANGULAR_CHECKED},
      {"Elliptical", SELECTION_ELLIPTICAL, IDB_SELECTION_ELLIPTICAL, IDB_SELECTION_ELLIPTICAL_CHECKED}};
  BuildOptionPane([] {
    AddOptionRadios("Shape:", OPTION_MARGIN, OPTION_MARGIN, OPTION_LABEL_WIDTH, 40, OPTION_ROW_HEIGHT, kShapes, 2,
                    g_Settings.drawingToolsSelectorShape);
  });
}

void CSelectionTool::UpdateMode() {
  mode = MODE_NONE;
  if (!GetCurrentSelection())
    return;
  mode = ReadCombineMode();
}

int32_t CSelectionTool::ReadFlags() const {
  CEditorUI* host = GetEditorUI();
  int32_t read = 0;
  if (host->IsKeyDown(KEY_SHIFT))
    read |= FLAG_SHIFT;
  if (host->IsKeyDown(KEY_ALT))
    read |= FLAG_ALT;
  return read;
}

HCURSOR CSelectionTool::GetCursor(const Point&) {
  if (state == STATE_READY)
    UpdateMode();
  return GetCombineCursor(mode, CURSOR_SELECT_REPLACE);
}

bool CSelectionTool::MouseDown(int32_t button, const Point& pos) {
  if (button != BUTTON_LEFT || state != STATE_READY)
    return false;
  if (mode == MODE_NONE) {
    state = STATE_IDLE;
    return true;
  }
  state = STATE_PRESSED;
  anchor = pos;
  current = pos;
  flags = 0;
  shape.left = shape.right = pos.x;
  shape.top = shape.bottom = pos.y;
  return true;
}

void CSelectionTool::MouseMove(const Point& pos) {
  current = pos;
  if (state == STATE_PRESSED && pos.NotEqual(anchor))
    state = STATE_DRAG;
  if (state == STATE_DRAG)
    UpdateShape();
}

void CSelectionTool::UpdateShape() {
  DragSnappedRect(shape, anchor, current, (flags & FLAG_SHIFT) != 0, (flags & FLAG_ALT) != 0);
}

bool CSelectionTool::MouseUp(int32_t button, const Point&) {
  if (button != BUTTON_LEFT)
    return false;
  switch (state) {
    case STATE_IDLE:
      return true;
    case STATE_PRESSED:
      DeselectByClick();
      return true;
    case STATE_DRAG:
      ApplyShape();
      return true;
    default:
      return false;
  }
}

void CSelectionTool::EndDrag() {
  const int32_t old = state;
  state = STATE_READY;
  if (old != STATE_PRESSED && old != STATE_DRAG)
    return;
  CEditorUI* host = GetEditorUI();
  host->InvalidateToolOverlayRect(nullptr);
  if (old == STATE_DRAG)
    host->ClearGeometry();
  host->UpdateCommandStates();
}

bool CSelectionTool::HandleKey(int32_t key, bool readFlags) {
  if (key < KEY_SHIFT || key > KEY_ALT)
    return false;
  if (state == STATE_READY) {
    GetEditorUI()->RestoreCursor();
    return true;
  }
  if (state != STATE_PRESSED && state != STATE_DRAG)
    return false;
  if (readFlags) {
    const int32_t read = ReadFlags();
    if (read != flags) {
      flags = read;
      if (state == STATE_DRAG)
        UpdateShape();
    }
  }
  return true;
}

bool CSelectionTool::KeyDown(int32_t key, bool repeat) {
  return HandleKey(key, !repeat);
}

bool CSelectionTool::KeyUp(int32_t key) {
  return HandleKey(key, true);
}

void CSelectionTool::DrawOverlay(CToolOverlay& overlay) {
  if (state != STATE_DRAG || shape.IsEmpty() || !overlay.pixels)
    return;
  CEditorUI* host = GetEditorUI();
  const Point a = host->ImageToClientPoint(Point{shape.left, shape.top});
  const Point b = host->ImageToClientPoint(Point{shape.right - 1, shape.bottom - 1});
  Rect client;
  client.left = a.x;
  client.top = a.y;
  client.right = b.x + 1;
  client.bottom = b.y + 1;
  Rect buffer;
  buffer.right = overlay.width;
  buffer.bottom = overlay.height;
  const Rect area = client.Intersect(overlay.clip).Intersect(buffer);
  if (area.IsEmpty())
    return;
  const bool elliptical = g_Settings.drawingToolsSelectorShape &&
                          g_Settings.drawingToolsSelectorShape->GetValue() == SELECTION_ELLIPTICAL;
  const SelectionEllipse ellipse(client);
  const uint32_t tint = OpacityWeight(kTintOpacity);
  const uint32_t dash = OpacityWeight(kDashOpacity);
  for (int32_t y = area.top; y < area.bottom; ++y) {
    uint32_t* row = overlay.pixels + static_cast<ptrdiff_t>(y) * overlay.width;
    for (int32_t x = area.left; x < area.right; ++x) {
      bool edge;
      if (elliptical) {
        if (!ellipse.Contains(x, y))
          continue;
        edge = !ellipse.Contains(x - 1, y) || !ellipse.Contains(x + 1, y) ||
               !ellipse.Contains(x, y - 1) || !ellipse.Contains(x, y + 1);
      } else {
        edge = x == client.left || x == client.right - 1 || y == client.top ||
               y == client.bottom - 1;
      }
      uint32_t value = LerpOpaque(row[x], kTintColor, tint);
      if (edge)
        value = LerpOpaque(value, DashColor(x, y), dash);
      row[x] = value;
    }
  }
}

void CSelectionTool::ShowHint() {
  const char* text = "";
  if (state == STATE_READY) {
    switch (mode) {
      case MODE_REPLACE:
        text = "Click and drag to select a region. Use ALT and SHIFT for additional options.";
        break;
      case MODE_ADD:
        text = "Click and drag to add a region to the selection.";
        break;
      case MODE_SUBTRACT:
        text = "Click and drag to subtract a region from the selection.";
        break;
      case MODE_INTERSECT:
        text = "Click and drag to intersect the selection with a region.";
        break;
      default:
        break;
    }
  } else if (state == STATE_PRESSED || state == STATE_DRAG) {
    text = "Use ALT and SHIFT for additional options.";
  }
  GetEditorUI()->SetHelpText(text);
}

bool CSelectionTool::WantsAutoScroll() {
  return state == STATE_DRAG;
}

void CSelectionTool::ApplyShape() {
  const Rect dragged = shape;
  const int32_t combine = mode;
  const bool elliptical = g_Settings.drawingToolsSelectorShape &&
                          g_Settings.drawingToolsSelectorShape->GetValue() == SELECTION_ELLIPTICAL;
  const CLayer* layer = GetCurrentLayer();
  const bool eight = IsVisibleRasterLayer(layer) && IsSupersampledRaster(layer);
  ChangeSelection("Select", true, [&](CSelection* s) {
    CMaskArray* edit = s->GetMask();
    CMaskArray* target = GetPlainMask(s);
    int32_t shift = 8;
    if (eight && s->GetSupersampleTop()) {
      target = s->GetSupersampleTop();
      shift = 5;
    }
    if (!target || !target->data)
      return false;
    if (target != edit &&
        (static_cast<int64_t>(target->width) * 8 != edit->width ||
         static_cast<int64_t>(target->height) * 8 != edit->height))
      return false;
    RasterizeSelectionShape(*target, ShiftRectDown(dragged, shift), elliptical);
    if (target != edit) {
      // A 1x shape in an 8x selection: each value covers its 8 x 8 block.
      for (int32_t i = 0; i < edit->height; ++i) {
        const uint8_t* from = target->data + static_cast<ptrdiff_t>(i >> 3) * target->width;
        uint8_t* to = edit->data + static_cast<ptrdiff_t>(i) * edit->width;
        for (int32_t j = 0; j < edit->width; ++j)
          to[j] = from[j >> 3];
      }
    }
    const size_t count = static_cast<size_t>(edit->width) * static_cast<size_t>(edit->height);
    uint8_t* bytes = edit->data;
    const uint8_t* before = g_SelectionWorkingCopy.GetWorkingMask().data;
    if (combine == MODE_ADD) {
      for (size_t k = 0; k < count; ++k)
        bytes[k] = static_cast<uint8_t>(bytes[k] | before[k]);
    } else if (combine == MODE_SUBTRACT) {
      for (size_t k = 0; k < count; ++k)
        bytes[k] = static_cast<uint8_t>(~bytes[k] & before[k]);
    } else if (combine == MODE_INTERSECT) {
      for (size_t k = 0; k < count; ++k)
        bytes[k] = static_cast<uint8_t>(bytes[k] & before[k]);
    }
    return true;
  });
  try {
    ResyncWorkingCopies();
  } catch (...) {
  }
}

void CSelectionTool::DeselectByClick() {
  CSelection* selection = GetCurrentSelection();
  if (!selection || !selection->IsActive())
    return;
  ChangeSelection("Deselect", true, [](CSelection* s) {
    s->GetMask()->Fill(0);
    return true;
  });
  try {
    ResyncWorkingCopies();
  } catch (...) {
  }
}
