#include "document/Image.h"
#include <cstddef>
#include <cstdint>
#include <new>
#include "document/History.h"
#include "document/ListNumbers.h"
#include "document/Palette.h"
#include "document/Project.h"
#include "document/Quantizer.h"
#include "document/Selection.h"
#include "shell/Errors.h"

namespace {

const float kDefaultResolution = 3779.5276f;  // 96 per inch, in pixels per metre

bool IsPaletteFormat(int32_t code) {
  return code == CImage::FORMAT_1BIT_PALETTE || code == CImage::FORMAT_4BIT_PALETTE ||
         code == CImage::FORMAT_8BIT_PALETTE;
}

bool IsSupportedFormat(int32_t code) {
  return IsPaletteFormat(code) || code == CImage::FORMAT_24BIT_RGB ||
         code == CImage::FORMAT_32BIT_ARGB;
}

Rect Intersect(const Rect& a, int32_t width, int32_t height) {
  Rect r = a;
  if (r.left < 0)
    r.left = 0;
  if (r.top < 0)
    r.top = 0;
  if (r.right > width)
    r.right = width;
  if (r.bottom > height)
    r.bottom = height;
  return r;
}

bool IsEmptyRect(const Rect& r) {
  return r.left >= r.right || r.top >= r.bottom;
}

}  // namespace

CImage::CImage()
    : owner(nullptr), kind(KIND_IMAGE), number(0), previous(nullptr), next(nullptr), id(0),
      width(0), height(0), xResolution(kDefaultResolution), yResolution(kDefaultResolution),
      targetFormat(0), flagA(0), paletteFixed(0), forExport(1), history(nullptr),
      selection(nullptr), palette(nullptr), preview(nullptr), layerCount(0),
      firstLayer(nullptr), lastLayer(nullptr), activeLayer(nullptr), modified(0),
      updateLock(0), validBelow(nullptr), validAbove(nullptr), cachesStale(1) {
  caches[0] = caches[1] = nullptr;
  viewState.zoom = 0;
  viewState.channelMode = 0;
  viewState.center.x = 0;
  viewState.center.y = 0;
  history = new (std::nothrow) CHistory(this);
  if (!history)
    ErrorBox("Action manager creation failed");
  selection = new (std::nothrow) CSelection(this);
  if (!selection)
    ErrorBox("Selection creation failed");
}

CImage::~CImage() {
  // Nothing is recomposed while the image is torn down.
  ++updateLock;
  if (owner)
    owner->RemoveImage(this);
  DeleteAllLayers();
  delete caches[0];
  delete caches[1];
  caches[0] = caches[1] = nullptr;
  validBelow = validAbove = nullptr;
  delete preview;
  preview = nullptr;
  composite.SetSize(0, 0);
  delete palette;
  palette = nullptr;
  delete selection;
  selection = nullptr;
  // Deletes the actions of this image, wherever they stand in the registry.
  delete history;
  history = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Properties

void CImage::SetSize(int32_t newWidth, int32_t newHeight) {
  if (newWidth < 0 || newHeight < 0)
    return;
  if (newWidth == width && newHeight == height)
    return;
  composite.SetSize(newWidth, newHeight);
  if (preview)
    preview->SetSize(newWidth, newHeight);
  for (CPixelArray* cache : caches)
    if (cache)
      cache->SetSize(newWidth, newHeight);
  width = newWidth;
  height = newHeight;
  cachesStale = 1;
  if (selection)
    selection->SyncToImage();
  modified = 1;
}

void CImage::SetResolution(float x, float y) {
  xResolution = x;
  yResolution = y;
  modified = 1;
}

void CImage::SetXResolution(float x) {
  xResolution = x;
  modified = 1;
}

void CImage::SetYResolution(float y) {
  yResolution = y;
  modified = 1;
}

void CImage::SetTargetFormat(int32_t code) {
  if (code == targetFormat)
    return;
  if (!IsSupportedFormat(code)) {
    // Refused as a whole: the palette and the stored format stay as they were.
    ErrorBox("Unsupported target format");
    return;
  }
  targetFormat = code;
  delete palette;
  palette = nullptr;
  if (IsPaletteFormat(code)) {
    palette = new (std::nothrow) CPalette();
    if (!palette)
      ErrorBox("Palette creation failed");
    if (code == FORMAT_8BIT_PALETTE) {
      paletteFixed = 0;
      RebuildPalette();
    } else {
      if (palette)
        palette->SetFixed(code == FORMAT_1BIT_PALETTE ? CPalette::FIXED_2_COLORS
                                                      : CPalette::FIXED_16_COLORS);
      paletteFixed = 1;
    }
  }
  if (code == FORMAT_32BIT_ARGB) {
    delete preview;
    preview = nullptr;
  } else {
    if (!preview) {
      preview = new (std::nothrow) CPixelArray();
      if (preview)
        preview->SetSize(width, height);
    }
    UpdatePreview(nullptr);
  }
  modified = 1;
}

void CImage::SetFlagA(bool on) {
  if ((flagA != 0) == on)
    return;
  flagA = on ? 1 : 0;
  if (palette)
    UpdatePreview(nullptr);
  modified = 1;
}

void CImage::SetPaletteFixed(bool on) {
  if ((paletteFixed != 0) == on)
    return;
  paletteFixed = on ? 1 : 0;
  if (!on && palette) {
    RebuildPalette();
    UpdatePreview(nullptr);
  }
  modified = 1;
}

void CImage::SetForExport(bool on) {
  forExport = on ? 1 : 0;
  modified = 1;
}

// ---------------------------------------------------------------------------------------------
// Layers

bool CImage::IsInStack(const CLayer* layer) const {
  return layer && layer->owner == this;
}

void CImage::AddLayer(CLayer* layer) {
  InsertLayer(layer, nullptr);
}

void CImage::InsertLayer(CLayer* layer, CLayer* before) {
  if (!layer)
    return;
  if (before == layer)
    before = layer->owner == this ? layer->next : nullptr;
  if (before && !IsInStack(before))
    before = nullptr;
  if (layer->owner == this) {
    BeginUpdate();
    RemoveLayer(layer);
    ReleaseUpdate();
  } else if (layer->owner) {
    layer->owner->RemoveLayer(layer);
  }

  layer->next = before;
  layer->previous = before ? before->previous : lastLayer;
  if (layer->previous)
    layer->previous->next = layer;
  else
    firstLayer = layer;
  if (before)
    before->previous = layer;
  else
    lastLayer = layer;
  layer->owner = this;
  ++layerCount;
  RenumberList(layer);

  if (layer->id == 0)
    layer->id = NextFreeListId(firstLayer, layerCount);
  if (layer->displayNumber == 0) {
    int32_t highest = 0;
    for (CLayer* l = firstLayer; l; l = l->next)
      if (l->kind == layer->kind && l->displayNumber > highest)
        highest = l->displayNumber;
    layer->displayNumber = highest + 1;
  }
  layer->FitToImage();
  cachesStale = 1;
  UpdateAll();
}

void CImage::MoveLayer(CLayer* layer, CLayer* before) {
  if (!IsInStack(layer) || before == layer)
    return;
  if (before && !IsInStack(before))
    before = nullptr;
  // Unlink.
  if (layer->previous)
    layer->previous->next = layer->next;
  else
    firstLayer = layer->next;
  if (layer->next)
    layer->next->previous = layer->previous;
  else
    lastLayer = layer->previous;
  // Link before the given layer, or on top.
  layer->next = before;
  layer->previous = before ? before->previous : lastLayer;
  if (layer->previous)
    layer->previous->next = layer;
  else
    firstLayer = layer;
  if (before)
    before->previous = layer;
  else
    lastLayer = layer;
  RenumberList(firstLayer);
  cachesStale = 1;
  UpdateAll();
}

void CImage::RemoveLayer(CLayer* layer) {
  if (!IsInStack(layer))
    return;
  if (activeLayer == layer)
    activeLayer = nullptr;
  CLayer* successor = layer->next;
  if (layer->previous)
    layer->previous->next = layer->next;
  else
    firstLayer = layer->next;
  if (layer->next)
    layer->next->previous = layer->previous;
  else
    lastLayer = layer->previous;
  --layerCount;
  RenumberList(successor);
  layer->owner = nullptr;
  layer->previous = nullptr;
  layer->next = nullptr;
  layer->number = 0;
  cachesStale = 1;
  UpdateAll();
}

void CImage::DeleteAllLayers() {
  CLayer* layer = firstLayer;
  firstLayer = lastLayer = activeLayer = nullptr;
  layerCount = 0;
  while (layer) {
    CLayer* following = layer->next;
    // Already out of the list: the destructor has nothing to unlink.
    layer->owner = nullptr;
    layer->previous = nullptr;
    layer->next = nullptr;
    delete layer;
    layer = following;
  }
  cachesStale = 1;
  UpdateAll();
}

CLayer* CImage::FindLayer(int32_t layerId) const {
  for (CLayer* l = firstLayer; l; l = l->next)
    if (l->id == layerId)
      return l;
  return nullptr;
}

void CImage::SetActiveLayer(CLayer* layer) {
  if (layer && !IsInStack(layer))
    return;
  if (layer == activeLayer)
    return;
  activeLayer = layer;
  // The caches hold the layers below and above the active one.
  cachesStale = 1;
  UpdateLayerCaches(nullptr);
}

bool CImage::HasSupersampledLayer() const {
  for (CLayer* l = firstLayer; l; l = l->next)
    if (l->kind == CLayer::KIND_RASTER && static_cast<CRasterLayer*>(l)->IsSupersampled())
      return true;
  return false;
}

// ---------------------------------------------------------------------------------------------
// Recomposition

void CImage::EndUpdate(const Rect* rect) {
  if (updateLock <= 0)
    return;
  if (--updateLock == 0)
    UpdateRect(rect);
}

void CImage::ReleaseUpdate() {
  if (updateLock > 0)
    --updateLock;
}

void CImage::ClipToImage(const Rect* rect, Rect& clipped) const {
  if (rect) {
    clipped = Intersect(*rect, width, height);
  } else {
    clipped.left = 0;
    clipped.top = 0;
    clipped.right = width;
    clipped.bottom = height;
  }
}

bool CImage::ComposeLayers(CLayer* first, CLayer* last, CPixelArray& target, const Rect& rect) {
  if (!first)
    return false;
  int32_t visibleCount = 0;
  for (CLayer* layer = first; layer; layer = layer->next) {
    if (layer->IsVisible()) {
      const CPixelArray& source = layer->pixels;
      const int32_t mode = layer->GetBlendMode();
      // Where the layer's pixels lie inside the rectangle.
      const Rect covered = Intersect(rect, source.width, source.height);
      if (mode == CLayer::BLEND_NORMAL && visibleCount > 0) {
        target.BlendFrom(rect.left, rect.top, source, rect, layer->GetOpacity());
      } else if (mode == CLayer::BLEND_NORMAL || mode == CLayer::BLEND_REPLACE) {
        // The first layer must define every pixel even when its array falls short.
        if (visibleCount == 0 && (covered.left != rect.left || covered.top != rect.top ||
                                  covered.right != rect.right || covered.bottom != rect.bottom))
          target.FillRect(rect, 0);
        if (!IsEmptyRect(covered)) {
          target.CopyRectTo(covered.left, covered.top, source, covered);
          target.ScaleAlpha(covered, layer->GetOpacity());
        }
      } else if (visibleCount == 0) {
        // A blend mode that draws nothing still leaves the layers above a defined base.
        target.FillRect(rect, 0);
      }
      ++visibleCount;
    }
    if (layer == last)
      break;
  }
  return visibleCount > 0;
}

void CImage::UpdateRect(const Rect* rect) {
  if (updateLock > 0)
    return;
  Rect r;
  ClipToImage(rect, r);
  if (!IsEmptyRect(r)) {
    if (!ComposeLayers(firstLayer, lastLayer, composite, r))
      composite.FillRect(r, 0);
  }
  // A new palette changes the mapping of every pixel, not only those inside r.
  const bool requantised = RebuildPalette();
  UpdatePreview(requantised ? nullptr : &r);
  UpdateLayerCaches(&r);
  if (selection)
    selection->SyncToImage();
  modified = 1;
}

bool CImage::RebuildPalette() {
  if (updateLock > 0 || paletteFixed || !palette)
    return false;
  CColorQuantizer quantizer;
  quantizer.SetPalette(palette);
  quantizer.SetMaximum(256);
  quantizer.Quantize(&composite);
  palette->Reorder(CPalette::ORDER_LAB_PATH);
  return true;
}

void CImage::UpdatePreview(const Rect* rect) {
  if (updateLock > 0 || !preview)
    return;
  Rect r;
  ClipToImage(rect, r);
  r = Intersect(r, composite.width, composite.height);
  r = Intersect(r, preview->width, preview->height);
  if (IsEmptyRect(r) || !composite.data || !preview->data)
    return;
  const bool paletteFormat = IsPaletteFormat(targetFormat);
  if (paletteFormat && !palette)
    return;
  if (!paletteFormat && targetFormat != FORMAT_24BIT_RGB)
    return;
  const uint32_t* in = reinterpret_cast<const uint32_t*>(composite.data);
  uint32_t* out = reinterpret_cast<uint32_t*>(preview->data);
  for (int32_t y = r.top; y < r.bottom; ++y) {
    const uint32_t* src = in + static_cast<ptrdiff_t>(y) * composite.width;
    uint32_t* dst = out + static_cast<ptrdiff_t>(y) * preview->width;
    for (int32_t x = r.left; x < r.right; ++x) {
      const uint32_t c = src[x];
      if (paletteFormat) {
        const CPaletteEntry* entry = palette->GetEntry(palette->FindNearestArgb(c));
        dst[x] = entry ? entry->GetColor() : 0;
      } else {
        dst[x] = (c & 0x00FFFFFF) | ((c >> 24) >= 128 ? 0xFF000000u : 0);
      }
    }
  }
}

void CImage::UpdateLayerCaches(const Rect* rect) {
  if (updateLock > 0)
    return;
  const int32_t needed = layerCount <= 1 ? 0 : (layerCount == 2 ? 1 : 2);
  for (int32_t i = 0; i < 2; ++i) {
    if (i < needed && !caches[i]) {
      caches[i] = new (std::nothrow) CPixelArray();
      if (caches[i])
        caches[i]->SetSize(width, height);
      cachesStale = 1;
    } else if (i >= needed && caches[i]) {
      delete caches[i];
      caches[i] = nullptr;
    }
  }
  validBelow = validAbove = nullptr;
  Rect r;
  ClipToImage(cachesStale ? nullptr : rect, r);
  cachesStale = 0;
  if (!activeLayer || IsEmptyRect(r))
    return;
  int32_t nextCache = 0;
  if (activeLayer->previous) {
    if (caches[0] && ComposeLayers(firstLayer, activeLayer->previous, *caches[0], r))
      validBelow = caches[0];
    nextCache = 1;
  }
  if (activeLayer->next) {
    CPixelArray* cache = caches[nextCache];
    if (cache && ComposeLayers(activeLayer->next, lastLayer, *cache, r))
      validAbove = cache;
  }
}

CPixelArray* CImage::GetDisplayPixels() {
  return preview ? preview : &composite;
}

uint32_t CImage::GetMemorySize() const {
  uint32_t size = 128;
  for (CLayer* l = firstLayer; l; l = l->next)
    size += l->GetMemorySize();
  if (palette)
    size += palette->GetMemorySize();
  size += composite.GetMemorySize();
  if (preview)
    size += preview->GetMemorySize();
  if (selection)
    size += selection->GetMemorySize();
  for (CPixelArray* cache : caches)
    if (cache)
      size += cache->GetMemorySize();
  return size;
}
