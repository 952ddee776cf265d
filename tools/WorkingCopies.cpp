#include "tools/WorkingCopies.h"
#include <type_traits>
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Project.h"
#include "document/Selection.h"
#include "shell/Errors.h"
#include "tools/CurrentImage.h"

CLayerWorkingCopy g_LayerWorkingCopy;
CSelectionWorkingCopy g_SelectionWorkingCopy;

namespace {

// Largest buffer a scratch array takes: the pixel arrays' own limit.
const uint64_t kMaxScratchBytes = 0x7FFFFFFF;

// Bytes of a w x h array of elementSize bytes, or kMaxScratchBytes + 1 when unusable.
uint64_t ScratchBytes(int32_t w, int32_t h, uint32_t elementSize) {
  if (w < 0 || h < 0)
    return kMaxScratchBytes + 1;
  const uint64_t bytes = static_cast<uint64_t>(w) * static_cast<uint64_t>(h) * elementSize;
  return bytes > kMaxScratchBytes ? kMaxScratchBytes + 1 : bytes;
}

// The buffer of a scratch array: exactly bytes long, or none.
void ReserveBuffer(void*& buffer, uint32_t& capacity, uint32_t bytes) {
  if (bytes == capacity)
    return;
  if (buffer)
    FreeMemory(buffer);
  buffer = nullptr;
  capacity = 0;
  if (bytes == 0)
    return;
  buffer = AllocMemory(bytes);
  if (buffer)
    capacity = bytes;
}

// Empties the view of a scratch array.
template <class Array>
void ClearScratchView(Array& view) {
  view.width = 0;
  view.height = 0;
  view.data = nullptr;
}

// A scratch array's buffer becomes exactly bytes long (the view emptied), unless it already is.
template <class Array>
void ReserveScratchView(Array& view, void*& buffer, uint32_t& capacity, uint32_t bytes) {
  if (bytes == capacity)
    return;
  ClearScratchView(view);
  ReserveBuffer(buffer, capacity, bytes);
}

// The view becomes newWidth x newHeight over the buffer, grown when needed; false (and a
// 0 x 0 view) when it cannot be allocated.
template <class Array>
bool SizeScratchView(Array& view, void*& buffer, uint32_t& capacity, int32_t newWidth,
                     int32_t newHeight) {
  using Element = typename std::remove_pointer<decltype(view.data)>::type;
  const uint32_t elementSize = sizeof(Element);
  ClearScratchView(view);
  const uint64_t bytes = ScratchBytes(newWidth, newHeight, elementSize);
  if (bytes > kMaxScratchBytes)
    return false;
  if (capacity < bytes)
    ReserveBuffer(buffer, capacity, static_cast<uint32_t>(bytes));
  if (capacity < bytes)
    return false;
  view.data = static_cast<Element*>(buffer);
  view.width = newWidth;
  view.height = newHeight;
  return true;
}

// The 1x mask of a selection, whatever its supersampling.
CMaskArray* GetSelectionPlainMask(CSelection* selection) {
  if (selection->IsSupersampled() && selection->GetSupersampleStack())
    return selection->GetSupersampleStack()->GetLevel(0);
  return selection->GetMask();
}

// Tiles of 64 x 64 elements over a width x height array, row of tiles by row of tiles.
template <class Visit>
void ForEachTile(int32_t width, int32_t height, Visit visit) {
  const int32_t kTile = 64;
  for (int32_t top = 0; top < height; top += kTile) {
    for (int32_t left = 0; left < width; left += kTile) {
      Rect tile;
      tile.left = left;
      tile.top = top;
      tile.right = width - left < kTile ? width : left + kTile;
      tile.bottom = height - top < kTile ? height : top + kTile;
      visit(tile);
    }
  }
}

Rect Offset(const Rect& rect, int32_t dx, int32_t dy) {
  Rect moved;
  moved.left = rect.left + dx;
  moved.top = rect.top + dy;
  moved.right = rect.right + dx;
  moved.bottom = rect.bottom + dy;
  return moved;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Scratch arrays

CScratchPixelArray::CScratchPixelArray() : capacity(0), buffer(nullptr) {
  owned = 0;
}

CScratchPixelArray::~CScratchPixelArray() {
  Release();
}

bool CScratchPixelArray::SetSize(int32_t newWidth, int32_t newHeight) {
  return SizeScratchView(*this, buffer, capacity, newWidth, newHeight);
}

void CScratchPixelArray::Reserve(uint32_t bytes) {
  ReserveScratchView(*this, buffer, capacity, bytes);
}

void CScratchPixelArray::Release() {
  ClearScratchView(*this);
  ReserveBuffer(buffer, capacity, 0);
}

CScratchMaskArray::CScratchMaskArray() : capacity(0), buffer(nullptr) {
  owned = 0;
}

CScratchMaskArray::~CScratchMaskArray() {
  Release();
}

bool CScratchMaskArray::SetSize(int32_t newWidth, int32_t newHeight) {
  return SizeScratchView(*this, buffer, capacity, newWidth, newHeight);
}

void CScratchMaskArray::Reserve(uint32_t bytes) {
  ReserveScratchView(*this, buffer, capacity, bytes);
}

void CScratchMaskArray::Release() {
  ClearScratchView(*this);
  ReserveBuffer(buffer, capacity, 0);
}

// ---------------------------------------------------------------------------------------------
// Layer working copy

CLayerWorkingCopy::CLayerWorkingCopy() : width(0), height(0), supersampled(0) {}

void CLayerWorkingCopy::ReserveForProject() {
  uint64_t largest = 0;
  if (CProject* project = GetCurrentProject()) {
    for (CImage* image = project->GetFirstImage(); image; image = image->GetNext()) {
      int32_t w = image->GetWidth();
      int32_t h = image->GetHeight();
      uint64_t bytes = ScratchBytes(w, h, 4);
      if (image->HasSupersampledLayer())
        bytes = bytes > kMaxScratchBytes / 64 ? kMaxScratchBytes + 1 : bytes * 64;
      if (bytes > largest)
        largest = bytes;
    }
  }
  // An image too large to copy gets no reserve; loading it then fails on its own.
  if (largest > kMaxScratchBytes)
    largest = 0;
  pixels.SetSize(0, 0);
  pixels.Reserve(static_cast<uint32_t>(largest));
}

void CLayerWorkingCopy::SetSize(int32_t newWidth, int32_t newHeight) {
  width = newWidth;
  height = newHeight;
  supersampled = 0;
  pixels.SetSize(newWidth, newHeight);
}

void CLayerWorkingCopy::SetSupersampled(bool on) {
  if ((supersampled != 0) == on)
    return;
  supersampled = on ? 1 : 0;
  if (on && (width > 0x7FFFFFFF / 8 || height > 0x7FFFFFFF / 8))
    pixels.SetSize(0, 0);
  else if (on)
    pixels.SetSize(width * 8, height * 8);
  else
    pixels.SetSize(width, height);
}

void CLayerWorkingCopy::LoadLayer(CLayer* layer) {
  offset = Point();
  if (!layer) {
    SetSize(0, 0);
    return;
  }
  SetSize(layer->GetWidth(), layer->GetHeight());
  if (layer->GetKind() == CLayer::KIND_RASTER) {
    CRasterLayer* raster = static_cast<CRasterLayer*>(layer);
    SetSupersampled(raster->IsSupersampled());
    if (CPixelArray* edit = raster->GetPixelArray())
      pixels.CopyFrom(*edit);
  } else {
    pixels.CopyFrom(*layer->GetPixels());
  }
}

void CLayerWorkingCopy::LoadCurrentLayer() {
  LoadLayer(GetCurrentLayer());
}

void CLayerWorkingCopy::Release() {
  width = height = 0;
  supersampled = 0;
  offset = Point();
  pixels.Release();
}

// ---------------------------------------------------------------------------------------------
// Selection working copy

CSelectionWorkingCopy::CSelectionWorkingCopy() : width(0), height(0), supersampled(0) {}

void CSelectionWorkingCopy::ReserveForProject() {
  uint64_t working = 0;
  uint64_t plain = 0;
  if (CProject* project = GetCurrentProject()) {
    for (CImage* image = project->GetFirstImage(); image; image = image->GetNext()) {
      CSelection* selection = image->GetSelection();
      if (!selection)
        continue;
      const uint64_t bytes = ScratchBytes(selection->GetWidth(), selection->GetHeight(), 1);
      uint64_t edit = bytes;
      if (selection->IsSupersampled()) {
        edit = bytes > kMaxScratchBytes / 64 ? kMaxScratchBytes + 1 : bytes * 64;
        if (bytes > plain)
          plain = bytes;
      }
      if (edit > working)
        working = edit;
    }
  }
  if (working > kMaxScratchBytes)
    working = 0;
  if (plain > kMaxScratchBytes)
    plain = 0;
  Reset(0, 0);
  workingMask.Reserve(static_cast<uint32_t>(working));
  plainMask.Reserve(static_cast<uint32_t>(plain));
}

void CSelectionWorkingCopy::Reset(int32_t newWidth, int32_t newHeight) {
  workingMask.SetSize(newWidth, newHeight);
  plainMask.SetSize(0, 0);
  supersampled = 0;
  width = newWidth;
  height = newHeight;
}

void CSelectionWorkingCopy::SetSupersampled(bool on) {
  supersampled = on ? 1 : 0;
  if (on) {
    if (width > 0x7FFFFFFF / 8 || height > 0x7FFFFFFF / 8)
      workingMask.SetSize(0, 0);
    else
      workingMask.SetSize(width * 8, height * 8);
    plainMask.SetSize(width, height);
  } else {
    workingMask.SetSize(width, height);
    plainMask.SetSize(0, 0);
  }
}

void CSelectionWorkingCopy::LoadSelection(CSelection* selection) {
  offset = Point();
  if (!selection) {
    Reset(0, 0);
    return;
  }
  Reset(selection->GetWidth(), selection->GetHeight());
  SetSupersampled(selection->IsSupersampled());
  if (CMaskArray* plain = GetSelectionPlainMask(selection))
    GetMask().CopyTo(0, 0, *plain);
  if (supersampled) {
    if (CMaskArray* edit = selection->GetMask())
      workingMask.CopyTo(0, 0, *edit);
  }
}

void CSelectionWorkingCopy::LoadCurrentSelection() {
  LoadSelection(GetCurrentSelection());
}

void CSelectionWorkingCopy::Release() {
  width = height = 0;
  supersampled = 0;
  offset = Point();
  workingMask.Release();
  plainMask.Release();
}

// ---------------------------------------------------------------------------------------------
// Synchronisation

void ResyncWorkingCopies() {
  g_LayerWorkingCopy.ReserveForProject();
  g_LayerWorkingCopy.LoadCurrentLayer();
  g_SelectionWorkingCopy.ReserveForProject();
  g_SelectionWorkingCopy.LoadCurrentSelection();
}

void ResyncWorkingCopiesQuietly() {
  try {
    ResyncWorkingCopies();
  } catch (...) {
  }
}

void ShowCommitFailed() {
  ErrorBox("Commit failed");
}

void ResyncSelectionWorkingCopy() {
  try {
    g_SelectionWorkingCopy.ReserveForProject();
    g_SelectionWorkingCopy.LoadCurrentSelection();
  } catch (...) {
    ShowCommitFailed();
  }
}

bool EnsureLayerWorkingCopy() {
  CLayer* layer = GetCurrentLayer();
  if (!layer)
    return false;
  const Point& offset = g_LayerWorkingCopy.GetOffsetRef();
  bool stale = offset.x != 0 || offset.y != 0 ||
               g_LayerWorkingCopy.GetWidth() != layer->GetWidth() ||
               g_LayerWorkingCopy.GetHeight() != layer->GetHeight();
  if (layer->GetKind() == CLayer::KIND_RASTER &&
      static_cast<CRasterLayer*>(layer)->IsSupersampled() != g_LayerWorkingCopy.IsSupersampled())
    stale = true;
  if (stale)
    g_LayerWorkingCopy.LoadLayer(layer);
  return true;
}

bool EnsureSelectionWorkingCopy() {
  CSelection* selection = GetCurrentSelection();
  if (!selection)
    return false;
  const Point& offset = g_SelectionWorkingCopy.GetOffsetRef();
  if (offset.x != 0 || offset.y != 0 ||
      g_SelectionWorkingCopy.GetWidth() != selection->GetWidth() ||
      g_SelectionWorkingCopy.GetHeight() != selection->GetHeight() ||
      g_SelectionWorkingCopy.IsSupersampled() != selection->IsSupersampled())
    g_SelectionWorkingCopy.LoadSelection(selection);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Commits

bool CommitLayerWorkingCopy() {
  CSelection* selection = GetCurrentSelection();
  CLayer* layer = GetCurrentLayer();
  if (!selection || !layer || layer->GetKind() != CLayer::KIND_RASTER)
    return false;
  CRasterLayer* raster = static_cast<CRasterLayer*>(layer);
  CPixelArray* target = raster->GetPixelArray();
  CScratchPixelArray& copy = g_LayerWorkingCopy.GetPixels();
  const bool supersampled = raster->IsSupersampled();
  if (!target || !target->data || g_LayerWorkingCopy.IsSupersampled() != supersampled)
    return false;
  // The copy may have another shape than the layer (a pasted image placed by its offset),
  // but a copy that lost its pixels would only clear the layer: refuse it.
  const int64_t level = supersampled ? 8 : 1;
  if (static_cast<int64_t>(copy.width) != g_LayerWorkingCopy.GetWidth() * level ||
      static_cast<int64_t>(copy.height) != g_LayerWorkingCopy.GetHeight() * level ||
      (!copy.data && copy.width > 0 && copy.height > 0))
    return false;
  const int32_t shift = supersampled ? 5 : 8;
  const Point& offset = g_LayerWorkingCopy.GetOffsetRef();
  const int32_t dx = offset.x >> shift;
  const int32_t dy = offset.y >> shift;
  const CMaskArray* mask = nullptr;
  if (selection->IsActive()) {
    mask = supersampled ? &g_SelectionWorkingCopy.GetWorkingMask()
                        : &g_SelectionWorkingCopy.GetMask();
    if (mask->width != copy.width || mask->height != copy.height)
      return false;
  }
  ForEachTile(target->width, target->height, [&](const Rect& tile) {
    const Rect source = Offset(tile, -dx, -dy);
    target->FillRect(tile, 0);
    if (mask) {
      target->CopyMaskedRect(tile.left, tile.top, copy, *mask, tile, true);
      target->CopyMaskedRect(tile.left, tile.top, copy, *mask, source, false);
    } else {
      target->CopyRectTo(tile.left, tile.top, copy, source);
    }
    if (supersampled) {
      const Rect plain = SupersampleRectTo1x(tile);
      raster->Update(&plain);
    }
  });
  return true;
}

bool CommitSelectionWorkingCopy() {
  CSelection* selection = GetCurrentSelection();
  if (!selection)
    return false;
  CMaskArray* target = selection->GetMask();
  CScratchMaskArray& copy = g_SelectionWorkingCopy.GetWorkingMask();
  if (!target || copy.width != target->width || copy.height != target->height)
    return false;
  const int32_t shift = selection->IsSupersampled() ? 5 : 8;
  const Point& offset = g_SelectionWorkingCopy.GetOffsetRef();
  const int32_t dx = offset.x >> shift;
  const int32_t dy = offset.y >> shift;
  ForEachTile(target->width, target->height, [&](const Rect& tile) {
    const Rect source = Offset(tile, -dx, -dy);
    target->FillRect(tile, 0);
    target->CopyRect(tile.left, tile.top, copy, source.left, source.top, source.GetWidth(),
                     source.GetHeight());
  });
  selection->Update(nullptr);
  return true;
}
