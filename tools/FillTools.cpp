#include "tools/FillTools.h"
#include <new>
#include "document/Actions.h"
#include "document/EditorUI.h"
#include "document/History.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/PixelArray.h"
#include "document/Selection.h"
#include "document/UndoStore.h"
#include "shell/Settings.h"
#include "tools/CurrentImage.h"
#include "tools/DrawingColors.h"
#include "tools/LayerEdit.h"
#include "tools/OptionPanes.h"
#include "tools/WorkingCopies.h"

namespace {

const int32_t kBlockPoints = 256;

uint32_t Premultiply(uint32_t c, uint32_t a) {
  return (c * a * 65793u + 0x800000u) >> 24;
}

uint32_t Distance(uint32_t a, uint32_t b) {
  return a > b ? a - b : b - a;
}

int32_t ClampTolerance(uint32_t value) {
  return value > 255 ? 255 : static_cast<int32_t>(value);
}

int32_t GetCompareMode() {
  const int32_t mode = GetEditorUI()->GetChannelMode();
  return mode >= 0 && mode <= 2 ? mode : CFloodFill::COMPARE_ARGB;
}

bool SameSize(const CPixelArray& a, const CMaskArray& m) {
  return a.data && m.data && a.width == m.width && a.height == m.height;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CFloodFill

struct CFloodFill::PointBlock {
  int32_t x[kBlockPoints];
  int32_t y[kBlockPoints];
  PointBlock* previous;
  PointBlock* next;
};

CFloodFill::CFloodFill()
    : compareMode(COMPARE_ARGB),
      tolerance(0),
      source(nullptr),
      target(nullptr),
      seedAlpha(0),
      seedRed(0),
      seedGreen(0),
      seedBlue(0),
      firstBlock(nullptr),
      topBlock(nullptr),
      topCount(0),
      complete(true) {}

CFloodFill::~CFloodFill() {
  FreeBlocks();
}

void CFloodFill::SetTolerance(int32_t value) {
  tolerance = value < 0 ? 0 : (value > 255 ? 255 : value);
}

void CFloodFill::FreeBlocks() {
  while (firstBlock) {
    PointBlock* next = firstBlock->next;
    delete firstBlock;
    firstBlock = next;
  }
  topBlock = nullptr;
  topCount = 0;
}

bool CFloodFill::Push(int32_t x, int32_t y) {
  if (!topBlock || topCount == kBlockPoints) {
    PointBlock* next = topBlock ? topBlock->next : firstBlock;
    if (!next) {
      next = new (std::nothrow) PointBlock;
      if (!next) {
        complete = false;
        return false;
      }
      next->previous = topBlock;
      next->next = nullptr;
      if (topBlock)
        topBlock->next = next;
      else
        firstBlock = next;
    }
    topBlock = next;
    topCount = 0;
  }
  topBlock->x[topCount] = x;
  topBlock->y[topCount] = y;
  ++topCount;
  return true;
}

bool CFloodFill::Pop(int32_t& x, int32_t& y) {
  while (topBlock && topCount == 0) {
    topBlock = topBlock->previous;
    topCount = topBlock ? kBlockPoints : 0;
  }
  if (!topBlock)
    return false;
  --topCount;
  x = topBlock->x[topCount];
  y = topBlock->y[topCount];
  return true;
}

bool CFloodFill::Matches(uint32_t pixel) const {
  const uint32_t a = pixel >> 24;
  const uint32_t r = (pixel >> 16) & 0xFF;
  const uint32_t g = (pixel >> 8) & 0xFF;
  const uint32_t b = pixel & 0xFF;
  const uint32_t limit = static_cast<uint32_t>(tolerance);
  switch (compareMode) {
    case COMPARE_RGB:
      return Distance(r, seedRed) <= limit && Distance(g, seedGreen) <= limit &&
             Distance(b, seedBlue) <= limit;
    case COMPARE_ALPHA:
      return Distance(a, seedAlpha) <= limit;
    default:
      return Distance(a, seedAlpha) <= limit && Distance(Premultiply(r, a), seedRed) <= limit &&
             Distance(Premultiply(g, a), seedGreen) <= limit &&
             Distance(Premultiply(b, a), seedBlue) <= limit;
  }
}

Rect CFloodFill::Fill(int32_t x, int32_t y) {
  Rect result;
  result.left = result.right = x;
  result.top = result.bottom = y;
  complete = true;
  if (!source || !target || !SameSize(*source, *target))
    return result;
  const int32_t width = source->width;
  const int32_t height = source->height;
  if (x < 0 || y < 0 || x >= width || y >= height)
    return result;

  const uint32_t seed = source->GetPixel(x, y);
  const uint32_t a = seed >> 24;
  const uint32_t r = (seed >> 16) & 0xFF;
  const uint32_t g = (seed >> 8) & 0xFF;
  const uint32_t b = seed & 0xFF;
  if (compareMode == COMPARE_RGB) {
    seedAlpha = 255;
    seedRed = r;
    seedGreen = g;
    seedBlue = b;
  } else if (compareMode == COMPARE_ALPHA) {
    seedAlpha = a;
    seedRed = seedGreen = seedBlue = 0;
  } else {
    seedAlpha = a;
    seedRed = Premultiply(r, a);
    seedGreen = Premultiply(g, a);
    seedBlue = Premultiply(b, a);
  }

  target->Fill(0);
  Push(x, y);
  int32_t px, py;
  while (Pop(px, py)) {
    uint8_t* mask = target->data + static_cast<ptrdiff_t>(py) * width;
    if (mask[px])
      continue;
    const uint32_t* pixels = source->data + static_cast<ptrdiff_t>(py) * width;
    mask[px] = 255;
    int32_t i = px;
    while (i > 0 && Matches(pixels[i - 1]))
      mask[--i] = 255;
    int32_t j = px;
    while (j < width - 1 && Matches(pixels[j + 1]))
      mask[++j] = 255;
    // One seed per run of matching pixels in the rows above and below.
    for (int32_t row = py - 1; row <= py + 1; row += 2) {
      if (row < 0 || row >= height)
        continue;
      const uint32_t* next = source->data + static_cast<ptrdiff_t>(row) * width;
      const uint8_t* nextMask = target->data + static_cast<ptrdiff_t>(row) * width;
      bool inRun = false;
      for (int32_t k = i; k <= j; ++k) {
        if (Matches(next[k])) {
          if (!inRun && nextMask[k] == 0)
            Push(k, row);
          inRun = true;
        } else {
          inRun = false;
        }
      }
    }
    Rect span;
    span.left = i;
    span.top = py;
    span.right = j + 1;
    span.bottom = py + 1;
    result.UnionWith(span);
  }
  FreeBlocks();
  return result;
}

// ---------------------------------------------------------------------------------------------
// Flood Fill tool

CFloodFillTool::CFloodFillTool() {
  id = 70;
}

void CFloodFillTool::CreateOptionsPane() {
  BuildOptionPane([] {
    AddOptionSpin("Tolerance:", OPTION_MARGIN, OPTION_MARGIN, OPTION_LABEL_WIDTH,
                  g_Settings.drawingToolsFloodFillerTolerance, 0, 255);
  });
}

int32_t CFloodFillTool::GetDrawCursor() const {
  return CURSOR_FLOOD_FILL;
}

void CFloodFillTool::MouseMove(const Point& pos) {
  if (state == STATE_PICK)
    PickButtonColor(pos, button);
}

void CFloodFillTool::BeginPaint(const Point& pos) {
  seed = pos;
}

bool CFloodFillTool::KeyDown(int32_t key, bool) {
  return HandleModifierKey(state, key);
}

bool CFloodFillTool::KeyUp(int32_t key) {
  return HandleModifierKey(state, key);
}

void CFloodFillTool::ShowHint() {
  const char* text = "";
  if (state == STATE_READY) {
    if (mode == MODE_FILL)
      text = "Left/right click to fill a region. Use ALT to pick colors.";
    else if (mode == MODE_PICK)
      text = "Left/right click to pick a color.";
  }
  GetEditorUI()->SetHelpText(text);
}

void CFloodFillTool::ShowColor(const Point& pos) {
  ShowDrawnOrPickedColor(pos, state == STATE_WAIT, button, state == STATE_PICK);
}

void CFloodFillTool::FinishDrag() {
  CImage* image = GetCurrentImage();
  CSelection* selection = GetCurrentSelection();
  CRasterLayer* layer = GetCurrentRasterLayer();
  if (!image || !selection || !layer)
    return;
  CPixelArray* edit = layer->GetPixelArray();
  if (!edit || !edit->data)
    return;
  const int32_t shift = 8 - layer->GetSupersampleLevel();
  const int32_t x = seed.x >> shift;
  const int32_t y = seed.y >> shift;
  if (x < 0 || y < 0 || x >= edit->width || y >= edit->height)
    return;
  EnsureLayerWorkingCopy();
  EnsureSelectionWorkingCopy();
  const CMaskArray* selectionMask;
  if (!GetEditMask(layer, selectionMask))
    return;

  // The selection copy's buffer serves as the region mask; the copies are taken again below.
  CMaskArray* region = layer->IsSupersampled()
                           ? static_cast<CMaskArray*>(&g_SelectionWorkingCopy.GetWorkingMask())
                           : static_cast<CMaskArray*>(&g_SelectionWorkingCopy.GetMask());
  CMaskArray spare;
  if (!SameSize(*edit, *region)) {
    spare.SetSize(edit->width, edit->height);
    if (!SameSize(*edit, spare))
      return;
    region = &spare;
  }

  CFloodFill fill;
  fill.SetCompareMode(GetCompareMode());
  fill.SetTolerance(g_Settings.drawingToolsFloodFillerTolerance
                        ? ClampTolerance(g_Settings.drawingToolsFloodFillerTolerance->GetValue())
                        : 0);
  fill.SetSource(edit);
  fill.SetTarget(region);
  const Rect area = fill.Fill(x, y);

  const uint32_t color = GetStrokeColor(button).value;
  const int32_t channelMode = GetEditorUI()->GetChannelMode();
  for (int32_t i = area.top; i < area.bottom; ++i) {
    const ptrdiff_t row = static_cast<ptrdiff_t>(i) * edit->width;
    for (int32_t j = area.left; j < area.right; ++j) {
      uint32_t coverage = region->data[row + j];
      if (selectionMask && coverage)
        coverage = ScaleCoverage(selectionMask->data[row + j], coverage);
      if (coverage)
        edit->data[row + j] = BlendByChannelMode(edit->data[row + j], color, coverage, channelMode);
    }
  }
  RecordLayerEdit(image, layer, area, "Flood Fill");
  ResyncWorkingCopies();
}

// ---------------------------------------------------------------------------------------------
// Magic Wand

CMagicWandTool::CMagicWandTool() : state(STATE_READY), mode(MODE_NONE) {
  id = 20;
}

void CMagicWandTool::CreateOptionsPane() {
  BuildOptionPane([] {
    AddOptionSpin("Tolerance:", OPTION_MARGIN, OPTION_MARGIN, OPTION_LABEL_WIDTH,
                  g_Settings.drawingToolsMagicWandTolerance, 0, 255);
  });
}

void CMagicWandTool::UpdateMode() {
  mode = MODE_NONE;
  CLayer* layer = GetCurrentLayer();
  if (!GetCurrentSelection() || !layer || !layer->IsVisible())
    return;
  mode = ReadCombineMode();
}

HCURSOR CMagicWandTool::GetCursor(const Point&) {
  if (state == STATE_READY)
    UpdateMode();
  return GetCombineCursor(mode, CURSOR_WAND_REPLACE);
}

bool CMagicWandTool::MouseDown(int32_t button, const Point& pos) {
  if (button != BUTTON_LEFT || state != STATE_READY)
    return false;
  if (mode == MODE_NONE) {
    state = STATE_IDLE;
  } else {
    state = STATE_WAIT;
    seed = pos;
  }
  return true;
}

bool CMagicWandTool::MouseUp(int32_t button, const Point&) {
  if (button != BUTTON_LEFT)
    return false;
  if (state == STATE_IDLE)
    return true;
  if (state == STATE_WAIT) {
    Select();
    return true;
  }
  return false;
}

void CMagicWandTool::EndDrag() {
  const int32_t old = state;
  state = STATE_READY;
  if (old != STATE_WAIT)
    return;
  CEditorUI* host = GetEditorUI();
  host->InvalidateToolOverlayRect(nullptr);
  host->UpdateCommandStates();
}

bool CMagicWandTool::KeyDown(int32_t key, bool) {
  return HandleModifierKey(state, key);
}

bool CMagicWandTool::KeyUp(int32_t key) {
  return HandleModifierKey(state, key);
}

void CMagicWandTool::ShowHint() {
  const char* text = "";
  if (state == STATE_READY) {
    switch (mode) {
      case MODE_REPLACE:
        text = "Click to select a region. Use ALT and SHIFT for additional options.";
        break;
      case MODE_ADD:
        text = "Click to add a region to the selection.";
        break;
      case MODE_SUBTRACT:
        text = "Click to subtract a region from the selection.";
        break;
      case MODE_INTERSECT:
        text = "Click to intersect the selection with a region.";
        break;
      default:
        break;
    }
  }
  GetEditorUI()->SetHelpText(text);
}

void CMagicWandTool::Select() {
  CImage* image = GetCurrentImage();
  CSelection* selection = GetCurrentSelection();
  CLayer* layer = GetCurrentLayer();
  if (!image || !selection || !layer || !image->GetHistory())
    return;

  // Source and target: the layer's 8x level and the 8x mask when both are supersampled,
  // else the 1x pixels and the 1x mask.
  const CPixelArray* source = layer->GetPixels();
  CMaskArray* target = selection->GetMask();
  int32_t shift = 8;
  CMaskArray* top = selection->GetSupersampleTop();
  if (top) {
    CMaskSupersampleStack* stack = selection->GetSupersampleStack();
    target = stack ? stack->GetLevel(0) : nullptr;
    if (layer->GetKind() == CLayer::KIND_RASTER &&
        static_cast<CRasterLayer*>(layer)->IsSupersampled()) {
      source = static_cast<CRasterLayer*>(layer)->GetPixelArray();
      target = top;
      shift = 5;
    }
  }
  CMaskArray* edit = selection->GetMask();
  EnsureSelectionWorkingCopy();
  const CMaskArray& old = g_SelectionWorkingCopy.GetWorkingMask();
  // Nothing is changed unless every array fits: the difference could not be kept otherwise.
  if (!source || !target || !edit || !SameSize(*source, *target) || !edit->data ||
      !old.data || old.width != edit->width || old.height != edit->height)
    return;

  CModifySelectionAction* action = nullptr;
  try {
    action = new CModifySelectionAction();
    action->SetName("Select");
    const int32_t x = seed.x >> shift;
    const int32_t y = seed.y >> shift;
    if (x >= 0 && y >= 0 && x < target->width && y < target->height) {
      CFloodFill fill;
      fill.SetCompareMode(GetCompareMode());
      fill.SetTolerance(g_Settings.drawingToolsMagicWandTolerance
                            ? ClampTolerance(g_Settings.drawingToolsMagicWandTolerance->GetValue())
                            : 0);
      fill.SetSource(source);
      fill.SetTarget(target);
      fill.Fill(x, y);
    } else {
      target->Fill(0);
    }
    if (target != edit) {
      // A 1x region in an 8x selection: each value covers its 8 x 8 block.
      for (int32_t i = 0; i < edit->height; ++i) {
        const uint8_t* from = target->data + static_cast<ptrdiff_t>(i >> 3) * target->width;
        uint8_t* to = edit->data + static_cast<ptrdiff_t>(i) * edit->width;
        for (int32_t j = 0; j < edit->width; ++j)
          to[j] = from[j >> 3];
      }
    }
    const size_t count = static_cast<size_t>(edit->width) * static_cast<size_t>(edit->height);
    uint8_t* bytes = edit->data;
    const uint8_t* before = old.data;
    if (mode == MODE_ADD) {
      for (size_t k = 0; k < count; ++k)
        bytes[k] = static_cast<uint8_t>(bytes[k] | before[k]);
    } else if (mode == MODE_SUBTRACT) {
      for (size_t k = 0; k < count; ++k)
        bytes[k] = static_cast<uint8_t>(~bytes[k] & before[k]);
    } else if (mode == MODE_INTERSECT) {
      for (size_t k = 0; k < count; ++k)
        bytes[k] = static_cast<uint8_t>(bytes[k] & before[k]);
    }
    selection->Update(nullptr);
    if (g_LzwEncoder.GetState() == CLzwEncoder::STATE_FAILED)
      g_LzwEncoder.Reset();
    CStoredRect* stored = g_LzwEncoder.StoreMask(*edit, &old);
    if (selection->IsEmpty()) {
      selection->SetActive(false);
      selection->SyncToImage();
    } else {
      selection->SetActive(true);
    }
    if (stored) {
      action->SetMaskBlock(stored);
      action->SetSelectLayerOnRedo(true);
      action->SetSelectLayerOnUndo(true);
      if (image->GetHistory()->Add(action))
        action = nullptr;
    }
    delete action;
  } catch (...) {
    delete action;
  }
  ResyncWorkingCopies();
}
