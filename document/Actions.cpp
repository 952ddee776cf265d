#include "document/Actions.h"
#include <cmath>
#include <cstring>
#include <new>
#include "document/EditorUI.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Palette.h"
#include "document/PixelArray.h"
#include "document/Selection.h"
#include "document/Supersample.h"
#include "tools/CurrentImage.h"
#include "tools/WorkingCopies.h"

// A list of layer snapshots kept in one undo block (a count, then one pointer per layer),
// so that the registry counts its size.
class CLayerSnapshotList {
public:
  // Snapshots of the layers first..last, bottom first; null on any failure.
  static CLayerSnapshotList* Store(CLayer* first, CLayer* last);
  ~CLayerSnapshotList();

  int32_t GetCount() const;
  CLayerSnapshot* Get(int32_t index) const;

private:
  explicit CLayerSnapshotList(CUndoBlock* storage) : block(storage) {}
  void Set(int32_t index, CLayerSnapshot* snapshot);

  CUndoBlock* block;
};

namespace {

const size_t kCountBytes = sizeof(int32_t);

CRasterLayer* AsRaster(CLayer* layer) {
  return layer && layer->GetKind() == CLayer::KIND_RASTER ? static_cast<CRasterLayer*>(layer)
                                                          : nullptr;
}

CLayer* FindLayer(CImage* image, int32_t id) {
  return image && id > 0 ? image->FindLayer(id) : nullptr;
}

// Edit coordinates to the 1x rectangle they touch.
Rect EditRectTo1x(const Rect& r, bool supersampled) {
  return supersampled ? SupersampleRectTo1x(r) : r;
}

CSelection* SelectionOf(CImage* image) {
  return image ? image->GetSelection() : nullptr;
}

// Deletes what the action owned and takes the given block instead.
template <class T>
void ReplaceOwned(T*& owned, T* given) {
  if (given != owned)
    delete owned;
  owned = given;
}

void SelectLayer(CImage* image, CLayer* layer) {
  image->SetActiveLayer(layer);
  GetEditorUI()->SelectLayerItem(layer);
}

void Resync() {
  try {
    ResyncWorkingCopies();
  } catch (...) {
  }
}

// The main view, the preview and the project panel's item after the image changed.
void RefreshViews(CImage* image) {
  CEditorUI* ui = GetEditorUI();
  ui->InvalidateImageRect(nullptr);
  ui->RefreshPreview();
  ui->RefreshImageItem(image);
}

// After a change of the image's pixels or layers.
void RefreshAfterImageChange(CImage* image) {
  Resync();
  RefreshViews(image);
}

// Ends the update lock of a change of every layer (size, orientation) and refreshes.
void EndWholeImageChange(CImage* image) {
  image->EndUpdate();
  CLayerItemsScope items;
  GetEditorUI()->RefreshLayerItems();
  items.End();
  RefreshAfterImageChange(image);
}

// Gives the image the size and fits (clears) every layer to it; false when the size was
// already that.
bool ResizeClearing(CImage* image, int32_t width, int32_t height) {
  if (image->GetWidth() == width && image->GetHeight() == height)
    return false;
  image->SetSize(width, height);
  for (CLayer* layer = image->GetFirstLayer(); layer; layer = layer->GetNext())
    layer->FitToImage();
  return true;
}

// The common frame of Redo and Undo: an exception releases the update locks taken inside,
// recomposes, takes the working copies again and gives false.
template <class Body>
bool Guarded(CImage* image, Body body) {
  const int32_t lock = image->GetUpdateLock();
  try {
    return body();
  } catch (...) {
    while (image->GetUpdateLock() > lock)
      image->ReleaseUpdate();
    try {
      image->UpdateAll();
    } catch (...) {
    }
    Resync();
    return false;
  }
}

// The copy of an array that a layer is rebuilt from.
bool CopyArray(CPixelArray& copy, const CPixelArray& source) {
  copy.SetSize(source.width, source.height);
  if (copy.width != source.width || copy.height != source.height)
    return false;
  copy.CopyFrom(source);
  return true;
}

// Removes the layer from the image and deletes it.
void DeleteLayer(CImage* image, CLayer* layer) {
  GetEditorUI()->RemoveLayerItem(layer);
  image->RemoveLayer(layer);
  delete layer;
}

// Deletes the layer and makes the other one (if any) the active layer.
void DeleteLayerAndSelect(CImage* image, CLayer* layer, CLayer* other) {
  CLayerItemsScope items;
  DeleteLayer(image, layer);
  if (other)
    SelectLayer(image, other);
  items.End();
}

// Announces a layer just put into the image and makes it the active layer.
void AddedLayerSelect(CImage* image, CLayer* layer) {
  CLayerItemsScope items;
  GetEditorUI()->AddLayerItem(layer);
  SelectLayer(image, layer);
  items.End();
}

// Puts a new raster layer into the image before the given one (null: on top), lets set up
// fill it, and makes it the active layer.
template <class SetUp>
bool InsertNewLayer(CImage* image, CLayer* before, SetUp setUp) {
  return Guarded(image, [&] {
    CRasterLayer* layer = new (std::nothrow) CRasterLayer();
    if (!layer)
      return false;
    image->BeginUpdate();
    image->InsertLayer(layer, before);
    setUp(layer);
    AddedLayerSelect(image, layer);
    image->EndUpdate();
    RefreshAfterImageChange(image);
    return true;
  });
}

// Deletes the layer that Redo put just above the one with the id (the top layer when that
// one is gone) and makes the one with the id active; then, once the image is recomposed,
// runs after.
template <class After>
bool RemoveAddedLayer(CImage* image, int32_t id, After after) {
  if (!image)
    return false;
  CLayer* below = FindLayer(image, id);
  CLayer* added = below ? below->GetNext() : image->GetLastLayer();
  if (!added)
    return false;
  return Guarded(image, [&] {
    image->BeginUpdate();
    DeleteLayerAndSelect(image, added, below);
    image->EndUpdate();
    after();
    RefreshAfterImageChange(image);
    return true;
  });
}

// Makes the layer the active one and restores its stored pixels (added or taken away).
bool RestoreLayerPixels(CImage* image, CRasterLayer* layer, CStoredRect* pixels, int32_t mode) {
  CLayerItemsScope items;
  SelectLayer(image, layer);
  items.End();
  if (!pixels->Restore(*layer->GetPixelArray(), mode))
    return false;
  const Rect r = EditRectTo1x(pixels->GetRect(), layer->IsSupersampled());
  layer->Update(&r);
  image->UpdateRect(&r);
  return true;
}

// Restores the stored pixels into the layer, then anything else through also, and refreshes.
template <class Also>
bool RestoreLayerChange(CImage* image, CRasterLayer* layer, CStoredRect* pixels, int32_t mode,
                        Also also) {
  return Guarded(image, [&] {
    if (!RestoreLayerPixels(image, layer, pixels, mode) || !also())
      return false;
    GetEditorUI()->RefreshLayerItem(layer);
    RefreshAfterImageChange(image);
    return true;
  });
}

// Restores the selection's stored mask. Added, the selection is active unless it comes out
// empty; taken away, it gets back the state it had before the edit.
bool RestoreSelectionMask(CSelection* s, CStoredRect* mask, int32_t mode, bool wasActive,
                          bool wasSupersampled) {
  if (mode == RESTORE_SUBTRACT) {
    s->SetActive(wasActive);
    s->SetSupersampling(wasSupersampled);
  }
  if (!mask->Restore(*s->GetMask(), mode))
    return false;
  const Rect m = EditRectTo1x(mask->GetRect(), s->IsSupersampled());
  s->Update(&m);
  if (mode == RESTORE_ADD) {
    if (s->IsEmpty()) {
      s->SetActive(false);
      s->SyncToImage();
    } else {
      s->SetActive(true);
    }
  }
  return true;
}

// Puts the snapshots back into the layers they were taken from; false if any fails.
bool ApplySnapshots(CImage* image, CLayerSnapshotList* layers) {
  bool ok = true;
  for (int32_t i = 0; layers && i < layers->GetCount(); ++i) {
    CLayerSnapshot* snapshot = layers->Get(i);
    if (!snapshot->Apply(image->FindLayer(snapshot->layerId)))
      ok = false;
  }
  return ok;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Snapshot lists

CLayerSnapshotList* CLayerSnapshotList::Store(CLayer* first, CLayer* last) {
  int32_t count = 0;
  for (CLayer* l = first; l; l = l->GetNext()) {
    ++count;
    if (l == last)
      break;
  }
  const size_t bytes = kCountBytes + static_cast<size_t>(count) * sizeof(CLayerSnapshot*);
  CUndoBlock* block = new (std::nothrow) CUndoBlock(static_cast<int32_t>(bytes));
  if (!block || !block->data) {
    delete block;
    return nullptr;
  }
  std::memset(block->data, 0, bytes);
  std::memcpy(block->data, &count, kCountBytes);
  CLayerSnapshotList* list = new (std::nothrow) CLayerSnapshotList(block);
  if (!list) {
    delete block;
    return nullptr;
  }
  g_LzwEncoder.Reset();
  int32_t index = 0;
  for (CLayer* l = first; l && index < count; l = l->GetNext(), ++index) {
    CLayerSnapshot* snapshot = g_LzwEncoder.StoreLayer(l);
    if (!snapshot) {
      delete list;
      return nullptr;
    }
    list->Set(index, snapshot);
  }
  return list;
}

CLayerSnapshotList::~CLayerSnapshotList() {
  const int32_t count = GetCount();
  for (int32_t i = 0; i < count; ++i)
    delete Get(i);
  delete block;
}

int32_t CLayerSnapshotList::GetCount() const {
  int32_t count = 0;
  std::memcpy(&count, block->data, kCountBytes);
  return count;
}

CLayerSnapshot* CLayerSnapshotList::Get(int32_t index) const {
  CLayerSnapshot* snapshot = nullptr;
  std::memcpy(&snapshot, block->data + kCountBytes + index * sizeof snapshot, sizeof snapshot);
  return snapshot;
}

void CLayerSnapshotList::Set(int32_t index, CLayerSnapshot* snapshot) {
  std::memcpy(block->data + kCountBytes + index * sizeof snapshot, &snapshot, sizeof snapshot);
}

// ---------------------------------------------------------------------------------------------
// Delete Layer

CDeleteLayerAction::CDeleteLayerAction() : snapshot(nullptr) {
  SetName("Delete Layer");
}

CDeleteLayerAction::~CDeleteLayerAction() {
  delete snapshot;
}

bool CDeleteLayerAction::Redo() {
  CImage* image = GetImage();
  CLayer* layer = FindLayer(image, GetLayerId());
  if (!layer)
    return false;
  if (!snapshot) {
    g_LzwEncoder.Reset();
    snapshot = g_LzwEncoder.StoreLayer(layer);
    if (!snapshot)
      return false;
  }
  return Guarded(image, [&] {
    CLayer* neighbour = layer->GetPrevious() ? layer->GetPrevious() : layer->GetNext();
    image->BeginUpdate();
    DeleteLayerAndSelect(image, layer, neighbour);
    image->EndUpdate();
    RefreshAfterImageChange(image);
    return true;
  });
}

bool CDeleteLayerAction::Undo() {
  CImage* image = GetImage();
  if (!snapshot)
    return false;
  return Guarded(image, [&] {
    image->BeginUpdate();
    CLayer* layer = snapshot->Recreate(image);
    if (layer)
      AddedLayerSelect(image, layer);
    image->EndUpdate();
    if (!layer)
      return false;
    RefreshAfterImageChange(image);
    return true;
  });
}

// ---------------------------------------------------------------------------------------------
// Duplicate Layer

CDuplicateLayerAction::CDuplicateLayerAction() {
  SetName("Duplicate Layer");
}

bool CDuplicateLayerAction::Redo() {
  CImage* image = GetImage();
  CRasterLayer* layer = AsRaster(FindLayer(image, GetLayerId()));
  if (!layer)
    return false;
  return InsertNewLayer(image, layer->GetNext(), [&](CRasterLayer* copy) {
    copy->SetVisible(layer->IsVisible());
    copy->SetOpacity(layer->GetOpacity());
    if (layer->IsSupersampled()) {
      copy->SetSupersampling(true);
      copy->GetPixelArray()->CopyFrom(*layer->GetPixelArray());
      copy->Update(nullptr);
    } else {
      copy->GetPixels()->CopyFrom(*layer->GetPixels());
    }
  });
}

bool CDuplicateLayerAction::Undo() {
  return RemoveAddedLayer(GetImage(), GetLayerId(), [] {});
}

// ---------------------------------------------------------------------------------------------
// Image Bounds

CImageBoundsAction::CImageBoundsAction()
    : oldWidth(0), oldHeight(0), selection(nullptr), layers(nullptr) {
  SetName("Image Bounds");
  SetPrepared(Prepare());
}

CImageBoundsAction::~CImageBoundsAction() {
  FreeRecords();
}

void CImageBoundsAction::FreeRecords() {
  delete selection;
  selection = nullptr;
  delete layers;
  layers = nullptr;
}

bool CImageBoundsAction::Prepare() {
  FreeRecords();
  CImage* image = GetImage();
  if (!image)
    return false;
  oldWidth = image->GetWidth();
  oldHeight = image->GetHeight();
  newBounds.left = 0;
  newBounds.top = 0;
  newBounds.right = oldWidth;
  newBounds.bottom = oldHeight;
  g_LzwEncoder.Reset();
  if (image->GetSelection()) {
    selection = g_LzwEncoder.StoreSelection(image->GetSelection());
    if (!selection)
      return false;
  }
  layers = CLayerSnapshotList::Store(image->GetFirstLayer(), image->GetLastLayer());
  return layers != nullptr;
}

bool CImageBoundsAction::Redo() {
  CImage* image = GetImage();
  if (!image || !IsPrepared())
    return false;
  const Rect b = newBounds;
  if (b.left == 0 && b.top == 0 && b.right == oldWidth && b.bottom == oldHeight)
    return false;
  const int64_t width = static_cast<int64_t>(b.right) - b.left;
  const int64_t height = static_cast<int64_t>(b.bottom) - b.top;
  if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX)
    return false;
  if (image->GetWidth() != oldWidth || image->GetHeight() != oldHeight)
    return false;
  return Guarded(image, [&] {
    CPixelArray copy;
    image->BeginUpdate();
    image->SetSize(static_cast<int32_t>(width), static_cast<int32_t>(height));
    for (CLayer* layer = image->GetFirstLayer(); layer; layer = layer->GetNext()) {
      CRasterLayer* raster = AsRaster(layer);
      if (!raster) {
        layer->FitToImage();
        layer->Update(nullptr);
        continue;
      }
      const int32_t level = raster->GetSupersampleLevel();
      const bool copied = CopyArray(copy, *raster->GetPixelArray());
      raster->FitToImage();
      CPixelArray* edit = raster->GetPixelArray();
      edit->Fill(0);
      if (copied) {
        // The part of the old array inside the bounds, in edit coordinates.
        Rect source;
        source.left = b.left < 0 ? 0 : b.left;
        source.top = b.top < 0 ? 0 : b.top;
        source.right = b.right < oldWidth ? b.right : oldWidth;
        source.bottom = b.bottom < oldHeight ? b.bottom : oldHeight;
        if (source.IsNonEmpty()) {
          edit->CopyRect((source.left - b.left) << level, (source.top - b.top) << level, copy,
                         source.left << level, source.top << level,
                         source.GetWidth() << level, source.GetHeight() << level);
        }
      }
      raster->Update(nullptr);
    }
    if (CSelection* s = image->GetSelection())
      s->Clear();
    EndWholeImageChange(image);
    return true;
  });
}

bool CImageBoundsAction::Undo() {
  CImage* image = GetImage();
  if (!image || !IsPrepared())
    return false;
  return Guarded(image, [&] {
    bool ok = true;
    image->BeginUpdate();
    ResizeClearing(image, oldWidth, oldHeight);
    if (selection && !selection->Restore(image->GetSelection()))
      ok = false;
    if (!ApplySnapshots(image, layers))
      ok = false;
    EndWholeImageChange(image);
    return ok;
  });
}

// ---------------------------------------------------------------------------------------------
// Image Properties

namespace {

// Gives the image the values other than its size; true when any of them changed. A target
// format the image refuses counts as a change only without formatMustTake.
bool SetImageValues(CImage* image, const CImagePropertiesAction::Values& v, bool setPaletteFixed,
                    bool formatMustTake) {
  bool changed = false;
  if (v.xResolution != image->GetXResolution()) {
    image->SetXResolution(v.xResolution);
    changed = true;
  }
  if (v.yResolution != image->GetYResolution()) {
    image->SetYResolution(v.yResolution);
    changed = true;
  }
  if (v.targetFormat != image->GetTargetFormat()) {
    image->SetTargetFormat(v.targetFormat);
    if (!formatMustTake || image->GetTargetFormat() == v.targetFormat)
      changed = true;
  }
  if ((v.flagA != 0) != image->GetFlagA()) {
    image->SetFlagA(v.flagA != 0);
    changed = true;
  }
  if (setPaletteFixed && (v.paletteFixed != 0) != image->IsPaletteFixed()) {
    image->SetPaletteFixed(v.paletteFixed != 0);
    changed = true;
  }
  if ((v.forExport != 0) != image->IsForExport()) {
    image->SetForExport(v.forExport != 0);
    changed = true;
  }
  return changed;
}

}  // namespace

CImagePropertiesAction::CImagePropertiesAction()
    : paletteFixedGiven(0), paletteRecorded(0), selection(nullptr), palette(nullptr),
      layers(nullptr) {
  std::memset(&newValues, 0, sizeof newValues);
  std::memset(&oldValues, 0, sizeof oldValues);
  SetName("Image Properties");
  SetPrepared(Prepare());
}

CImagePropertiesAction::~CImagePropertiesAction() {
  FreeRecords();
}

void CImagePropertiesAction::FreeRecords() {
  delete selection;
  selection = nullptr;
  delete palette;
  palette = nullptr;
  paletteRecorded = 0;
  delete layers;
  layers = nullptr;
}

bool CImagePropertiesAction::Prepare() {
  FreeRecords();
  paletteFixedGiven = 0;
  CImage* image = GetImage();
  if (!image)
    return false;
  oldValues.width = image->GetWidth();
  oldValues.height = image->GetHeight();
  oldValues.xResolution = image->GetXResolution();
  oldValues.yResolution = image->GetYResolution();
  oldValues.targetFormat = image->GetTargetFormat();
  oldValues.flagA = image->GetFlagA() ? 1 : 0;
  oldValues.paletteFixed = image->IsPaletteFixed() ? 1 : 0;
  oldValues.forExport = image->IsForExport() ? 1 : 0;
  newValues = oldValues;
  return true;
}

bool CImagePropertiesAction::RecordPalette(CImage* image) {
  CPalette* p = image->GetPalette();
  const int32_t state = g_LzwEncoder.GetState();
  if (state != CLzwEncoder::STATE_READY && state != CLzwEncoder::STATE_FINISHED)
    g_LzwEncoder.Reset();
  if (!g_LzwEncoder.Begin())
    return false;
  const int32_t count = p->GetCount();
  g_LzwEncoder.Feed(&count, sizeof count);
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t argb = p->GetEntry(i)->GetColor();
    g_LzwEncoder.Feed(&argb, sizeof argb);
  }
  palette = g_LzwEncoder.Finish();
  return palette != nullptr;
}

bool CImagePropertiesAction::RestorePalette(CImage* image) {
  CPalette* p = image->GetPalette();
  if (!palette || !p || !palette->BeginRead())
    return false;
  int32_t count = 0;
  int32_t got = 0;
  bool ok = palette->Read(&count, sizeof count, &got) && got == sizeof count && count >= 0 &&
            count <= 256;
  if (ok) {
    p->SetCount(count);
    for (int32_t i = 0; ok && i < count; ++i) {
      uint32_t argb = 0;
      ok = palette->Read(&argb, sizeof argb, &got) && got == sizeof argb;
      if (ok)
        p->GetEntry(i)->SetColor(argb);
    }
  }
  palette->EndRead();
  return ok;
}

bool CImagePropertiesAction::Redo() {
  CImage* image = GetImage();
  if (!image || !IsPrepared())
    return false;
  const Values& v = newValues;
  const bool resize = v.width != image->GetWidth() || v.height != image->GetHeight();
  if (resize && (v.width <= 0 || v.height <= 0))
    return false;
  if (resize && !layers) {
    g_LzwEncoder.Reset();
    CSelection* s = image->GetSelection();
    if (s && s->IsActive()) {
      selection = g_LzwEncoder.StoreSelection(s);
      if (!selection)
        return false;
    }
    layers = CLayerSnapshotList::Store(image->GetFirstLayer(), image->GetLastLayer());
    if (!layers)
      return false;
  }
  if (!paletteRecorded && image->GetPalette() && image->IsPaletteFixed() &&
      (v.targetFormat != image->GetTargetFormat() || (paletteFixedGiven && !v.paletteFixed))) {
    if (!RecordPalette(image))
      return false;
    paletteRecorded = 1;
  }
  return Guarded(image, [&] {
    bool changed = false;
    image->BeginUpdate();
    if (resize) {
      CPixelArray copy;
      image->SetSize(v.width, v.height);
      for (CLayer* layer = image->GetFirstLayer(); layer; layer = layer->GetNext()) {
        CRasterLayer* raster = AsRaster(layer);
        const bool copied = raster && CopyArray(copy, *raster->GetPixelArray());
        layer->FitToImage();
        if (copied)
          copy.Resample(*raster->GetPixelArray(), nullptr);
        layer->Update(nullptr);
      }
      changed = true;
    }
    if (SetImageValues(image, v, paletteFixedGiven != 0, true))
      changed = true;
    if (!changed) {
      image->ReleaseUpdate();
      return false;
    }
    EndWholeImageChange(image);
    return true;
  });
}

bool CImagePropertiesAction::Undo() {
  CImage* image = GetImage();
  if (!image || !IsPrepared())
    return false;
  const Values& v = oldValues;
  return Guarded(image, [&] {
    image->BeginUpdate();
    bool changed = ResizeClearing(image, v.width, v.height);
    if (SetImageValues(image, v, true, false))
      changed = true;
    if (selection)
      selection->Restore(image->GetSelection());
    if (paletteRecorded)
      RestorePalette(image);
    ApplySnapshots(image, layers);
    if (!changed) {
      image->ReleaseUpdate();
      return false;
    }
    EndWholeImageChange(image);
    return true;
  });
}

// ---------------------------------------------------------------------------------------------
// Merge Layers

CMergeLayersAction::CMergeLayersAction()
    : mergeAll(0), topId(0), bottomId(0), resultId(0), layers(nullptr) {
  SetName("Merge Layers");
}

CMergeLayersAction::~CMergeLayersAction() {
  delete layers;
}

bool CMergeLayersAction::Redo() {
  CImage* image = GetImage();
  if (!image)
    return false;
  CLayer* bottom = mergeAll ? image->GetFirstLayer() : FindLayer(image, bottomId);
  CLayer* top = mergeAll ? image->GetLastLayer() : FindLayer(image, topId);
  if (!bottom || !top || bottom->GetListNumber() >= top->GetListNumber())
    return false;
  CRasterLayer* result = AsRaster(bottom);
  if (!result)
    return false;
  if (!layers) {
    layers = CLayerSnapshotList::Store(bottom, top);
    if (!layers)
      return false;
  }
  return Guarded(image, [&] {
    bool supersampled = false;
    for (CLayer* l = bottom;; l = l->GetNext()) {
      CRasterLayer* raster = AsRaster(l);
      if (l->IsVisible() && raster && raster->IsSupersampled())
        supersampled = true;
      if (l == top)
        break;
    }
    const int32_t zoom = supersampled ? 8 : 1;
    CPixelArray merged(image->GetWidth() * zoom, image->GetHeight() * zoom);
    if (merged.width != image->GetWidth() * zoom)
      return false;
    merged.Fill(0);
    Rect whole;
    whole.right = merged.width;
    whole.bottom = merged.height;
    const Point origin;
    int32_t visibleCount = 0;
    for (CLayer* l = bottom;; l = l->GetNext()) {
      if (l->IsVisible()) {
        CRasterLayer* raster = AsRaster(l);
        const bool own8x = raster && raster->IsSupersampled();
        const CPixelArray& source = own8x ? *raster->GetPixelArray() : *l->GetPixels();
        const int32_t magnify = supersampled && !own8x ? 8 : 1;
        const int32_t mode = l->GetBlendMode();
        if (mode == CLayer::BLEND_NORMAL && visibleCount > 0) {
          if (magnify > 1)
            merged.BlendZoomed(whole, origin, source, magnify, l->GetOpacity());
          else
            merged.BlendFrom(0, 0, source, l->GetOpacity());
        } else if (mode == CLayer::BLEND_NORMAL || mode == CLayer::BLEND_REPLACE) {
          if (magnify > 1)
            merged.CopyZoomed(whole, origin, source, magnify);
          else
            merged.CopyTo(0, 0, source);
          merged.ScaleAlpha(l->GetOpacity());
        }
        ++visibleCount;
      }
      if (l == top)
        break;
    }

    image->BeginUpdate();
    CLayerItemsScope items;
    for (;;) {
      CLayer* above = bottom->GetNext();
      if (!above)
        break;
      const bool last = above == top;
      DeleteLayer(image, above);
      if (last)
        break;
    }
    if (mergeAll)
      result->SetLinkId(1);
    result->SetVisible(true);
    // The merged pixels already carry the bottom layer's opacity; its blend mode still
    // places them on what lies below.
    result->SetOpacity(1.0f);
    result->SetName(resultName.text);
    result->SetSupersampling(supersampled);
    result->GetPixelArray()->CopyFrom(merged);
    result->Update(nullptr);
    resultId = result->GetId();
    GetEditorUI()->RefreshLayerItem(result);
    SelectLayer(image, result);
    items.End();
    image->EndUpdate();
    RefreshAfterImageChange(image);
    return true;
  });
}

bool CMergeLayersAction::Undo() {
  CImage* image = GetImage();
  if (!image || !layers || layers->GetCount() < 1)
    return false;
  CLayer* result = FindLayer(image, resultId);
  if (!result)
    return false;
  return Guarded(image, [&] {
    bool ok = true;
    image->BeginUpdate();
    CLayerItemsScope items;
    if (!layers->Get(0)->Apply(result))
      ok = false;
    GetEditorUI()->RefreshLayerItem(result);
    for (int32_t i = 1; i < layers->GetCount(); ++i) {
      CLayer* layer = layers->Get(i)->Recreate(image);
      if (layer)
        GetEditorUI()->AddLayerItem(layer);
      else
        ok = false;
    }
    if (CLayer* selected = FindLayer(image, GetLayerId()))
      SelectLayer(image, selected);
    items.End();
    image->EndUpdate();
    RefreshAfterImageChange(image);
    return ok;
  });
}

// ---------------------------------------------------------------------------------------------
// Modify Layer

CModifyLayerAction::CModifyLayerAction() : pixels(nullptr) {
  SetName("Modify Layer");
}

CModifyLayerAction::~CModifyLayerAction() {
  delete pixels;
}

void CModifyLayerAction::SetBlock(CStoredRect* block) {
  ReplaceOwned(pixels, block);
}

bool CModifyLayerAction::Apply(int32_t mode) {
  CImage* image = GetImage();
  CRasterLayer* layer = AsRaster(FindLayer(image, GetLayerId()));
  if (!layer || !pixels)
    return false;
  return RestoreLayerChange(image, layer, pixels, mode, [] { return true; });
}

bool CModifyLayerAction::Redo() {
  return Apply(RESTORE_ADD);
}

bool CModifyLayerAction::Undo() {
  return Apply(RESTORE_SUBTRACT);
}

// ---------------------------------------------------------------------------------------------
// Modify Layer with selection

CModifyLayerAndSelectionAction::CModifyLayerAndSelectionAction()
    : pixels(nullptr), mask(nullptr), selectionActive(0), selectionSupersampled(0) {
  SetName("Modify Layer");
  SetPrepared(Prepare());
}

CModifyLayerAndSelectionAction::~CModifyLayerAndSelectionAction() {
  delete pixels;
  delete mask;
}

bool CModifyLayerAndSelectionAction::Prepare() {
  CSelection* s = SelectionOf(GetImage());
  SetSelectionFlags(s && s->IsActive(), s && s->IsSupersampled());
  return true;
}

void CModifyLayerAndSelectionAction::SetPixelBlock(CStoredRect* block) {
  ReplaceOwned(pixels, block);
}

void CModifyLayerAndSelectionAction::SetMaskBlock(CStoredRect* block) {
  ReplaceOwned(mask, block);
}

bool CModifyLayerAndSelectionAction::Apply(int32_t mode) {
  CImage* image = GetImage();
  CRasterLayer* layer = AsRaster(FindLayer(image, GetLayerId()));
  CSelection* s = SelectionOf(image);
  if (!layer || !pixels || !s)
    return false;
  return RestoreLayerChange(image, layer, pixels, mode, [&] {
    return !mask ||
           RestoreSelectionMask(s, mask, mode, selectionActive != 0, selectionSupersampled != 0);
  });
}

bool CModifyLayerAndSelectionAction::Redo() {
  return Apply(RESTORE_ADD);
}

bool CModifyLayerAndSelectionAction::Undo() {
  return Apply(RESTORE_SUBTRACT);
}

// ---------------------------------------------------------------------------------------------
// Modify Selection

CModifySelectionAction::CModifySelectionAction()
    : mask(nullptr), selectLayerOnRedo(0), selectLayerOnUndo(0), selectionActive(0),
      selectionSupersampled(0) {
  SetName("Modify Selection");
  SetPrepared(Prepare());
}

CModifySelectionAction::~CModifySelectionAction() {
  delete mask;
}

bool CModifySelectionAction::Prepare() {
  CSelection* s = SelectionOf(GetImage());
  SetSelectionFlags(s && s->IsActive(), s && s->IsSupersampled());
  return true;
}

void CModifySelectionAction::SetMaskBlock(CStoredRect* block) {
  ReplaceOwned(mask, block);
}

bool CModifySelectionAction::SelectLayer(CImage* image) {
  CLayer* layer = FindLayer(image, GetLayerId());
  if (!layer)
    return false;
  CLayerItemsScope items;
  ::SelectLayer(image, layer);
  items.End();
  return true;
}

bool CModifySelectionAction::Apply(int32_t mode, bool selectLayer) {
  CImage* image = GetImage();
  CSelection* s = SelectionOf(image);
  if (!s || !mask)
    return false;
  if (selectLayer && !FindLayer(image, GetLayerId()))
    return false;
  return Guarded(image, [&] {
    if (selectLayer)
      SelectLayer(image);
    if (!RestoreSelectionMask(s, mask, mode, selectionActive != 0, selectionSupersampled != 0))
      return false;
    Resync();
    GetEditorUI()->InvalidateToolOverlayRect(nullptr);
    return true;
  });
}

bool CModifySelectionAction::Redo() {
  return Apply(RESTORE_ADD, selectLayerOnRedo != 0);
}

bool CModifySelectionAction::Undo() {
  return Apply(RESTORE_SUBTRACT, selectLayerOnUndo != 0);
}

// ---------------------------------------------------------------------------------------------
// Move Layer

CMoveLayerAction::CMoveLayerAction() : targetId(0) {
  SetName("Move Layer");
}

bool CMoveLayerAction::MoveAbove(int32_t id) {
  CImage* image = GetImage();
  CLayer* layer = FindLayer(image, GetLayerId());
  if (!layer)
    return false;
  CLayer* below = FindLayer(image, id);
  if (below == layer)
    return false;
  return Guarded(image, [&] {
    image->MoveLayer(layer, below ? below->GetNext() : image->GetFirstLayer());
    CLayerItemsScope items;
    GetEditorUI()->MoveLayerItem(layer);
    SelectLayer(image, layer);
    items.End();
    RefreshAfterImageChange(image);
    return true;
  });
}

bool CMoveLayerAction::Redo() {
  return MoveAbove(targetId);
}

bool CMoveLayerAction::Undo() {
  return MoveAbove(GetBelowId());
}

// ---------------------------------------------------------------------------------------------
// New Layer

CNewLayerAction::CNewLayerAction() : supersampled(0), selectionSupersampled(0) {
  SetName("New Layer");
  SetPrepared(Prepare());
}

bool CNewLayerAction::Prepare() {
  CSelection* s = SelectionOf(GetImage());
  selectionSupersampled = s && s->IsSupersampled() ? 1 : 0;
  return true;
}

bool CNewLayerAction::Redo() {
  CImage* image = GetImage();
  if (!image)
    return false;
  CLayer* anchor = FindLayer(image, GetLayerId());
  return InsertNewLayer(image, anchor ? anchor->GetNext() : nullptr,
                        [&](CRasterLayer* layer) { layer->SetSupersampling(supersampled != 0); });
}

bool CNewLayerAction::Undo() {
  CImage* image = GetImage();
  return RemoveAddedLayer(image, GetLayerId(), [&] {
    if (CSelection* s = image->GetSelection())
      s->SetSupersampling(selectionSupersampled != 0);
  });
}

// ---------------------------------------------------------------------------------------------
// Paste

CPasteAction::CPasteAction() : layerCopy(nullptr), selection(nullptr) {
  SetName("Paste");
  SetPrepared(Prepare());
}

CPasteAction::~CPasteAction() {
  delete layerCopy;
  delete selection;
}

bool CPasteAction::Prepare() {
  if (selection)
    return true;
  CImage* image = GetImage();
  if (!image || !image->GetSelection())
    return false;
  g_LzwEncoder.Reset();
  selection = g_LzwEncoder.StoreSelection(image->GetSelection());
  return selection != nullptr;
}

void CPasteAction::SetLayerCopy(CLayerCopyRecord* record) {
  ReplaceOwned(layerCopy, record);
}

bool CPasteAction::Redo() {
  CImage* image = GetImage();
  CSelection* s = SelectionOf(image);
  if (!s || !layerCopy || !IsPrepared() || image != GetCurrentImage())
    return false;
  CLayer* anchor = FindLayer(image, GetLayerId());
  return Guarded(image, [&] {
    if (!layerCopy->Restore(g_LayerWorkingCopy))
      return false;
    s->Clear();
    CRasterLayer* layer = new (std::nothrow) CRasterLayer();
    if (!layer)
      return false;
    image->BeginUpdate();
    image->InsertLayer(layer, anchor ? anchor->GetNext() : nullptr);
    layer->SetSupersampling(g_LayerWorkingCopy.IsSupersampled());
    image->SetActiveLayer(layer);
    CommitLayerWorkingCopy();
    CLayerItemsScope items;
    GetEditorUI()->AddLayerItem(layer);
    GetEditorUI()->SelectLayerItem(layer);
    items.End();
    image->EndUpdate();
    // The layer copy keeps the pasted pixels and their offset for the Move tool.
    ResyncSelectionWorkingCopy();
    RefreshViews(image);
    GetEditorUI()->UpdateCommandStates();
    return true;
  });
}

bool CPasteAction::Undo() {
  CImage* image = GetImage();
  if (!image || !IsPrepared())
    return false;
  CLayer* anchor = FindLayer(image, GetLayerId());
  CLayer* layer = anchor ? anchor->GetNext() : image->GetLastLayer();
  if (!layer)
    return false;
  return Guarded(image, [&] {
    image->BeginUpdate();
    DeleteLayerAndSelect(image, layer, anchor);
    if (selection)
      selection->Restore(image->GetSelection());
    image->EndUpdate();
    RefreshAfterImageChange(image);
    GetEditorUI()->UpdateCommandStates();
    return true;
  });
}

// ---------------------------------------------------------------------------------------------
// Layer Properties

CLayerPropertiesAction::CLayerPropertiesAction()
    : newVisible(1), newOpacity(1.0f), newSupersampled(0), oldVisible(1), oldOpacity(1.0f),
      oldSupersampled(0), selectionSupersampled(0), pixels(nullptr) {
  SetName("Layer Properties");
  SetPrepared(Prepare());
}

CLayerPropertiesAction::~CLayerPropertiesAction() {
  delete pixels;
}

bool CLayerPropertiesAction::Prepare() {
  delete pixels;
  pixels = nullptr;
  CImage* image = GetImage();
  CSelection* s = SelectionOf(image);
  selectionSupersampled = s && s->IsSupersampled() ? 1 : 0;
  CRasterLayer* layer = AsRaster(FindLayer(image, GetLayerId()));
  if (!layer)
    return false;
  oldName.Assign(layer->GetName());
  oldVisible = layer->IsVisible() ? 1 : 0;
  oldOpacity = layer->GetOpacity();
  oldSupersampled = layer->IsSupersampled() ? 1 : 0;
  newName.Assign(oldName.text);
  newVisible = oldVisible;
  newOpacity = oldOpacity;
  newSupersampled = oldSupersampled;
  return true;
}

bool CLayerPropertiesAction::Redo() {
  CImage* image = GetImage();
  CRasterLayer* layer = AsRaster(FindLayer(image, GetLayerId()));
  if (!layer || !IsPrepared())
    return false;
  const bool toggle = (newSupersampled != 0) != layer->IsSupersampled();
  if (toggle && !pixels) {
    g_LzwEncoder.Reset();
    pixels = g_LzwEncoder.StorePixelRect(*layer->GetPixelArray(), nullptr, nullptr);
    if (!pixels)
      return false;
  }
  return Guarded(image, [&] {
    bool changed = false;
    bool recompose = false;
    if (std::strcmp(newName.text, layer->GetName()) != 0) {
      layer->SetName(newName.text);
      changed = true;
    }
    if ((newVisible != 0) != layer->IsVisible()) {
      layer->SetVisible(newVisible != 0);
      recompose = true;
    }
    if (std::fabs(newOpacity - layer->GetOpacity()) > 1e-6f) {
      layer->SetOpacity(newOpacity);
      recompose = true;
    }
    if (toggle) {
      layer->SetSupersampling(newSupersampled != 0);
      recompose = true;
    }
    if (!changed && !recompose)
      return false;
    if (recompose)
      image->UpdateAll();
    else
      image->SetModified();
    GetEditorUI()->RefreshLayerItem(layer);
    if (recompose)
      RefreshAfterImageChange(image);
    return true;
  });
}

bool CLayerPropertiesAction::Undo() {
  CImage* image = GetImage();
  CRasterLayer* layer = AsRaster(FindLayer(image, GetLayerId()));
  if (!layer || !IsPrepared())
    return false;
  return Guarded(image, [&] {
    bool ok = true;
    image->BeginUpdate();
    if (std::strcmp(oldName.text, layer->GetName()) != 0)
      layer->SetName(oldName.text);
    if ((oldVisible != 0) != layer->IsVisible())
      layer->SetVisible(oldVisible != 0);
    if (std::fabs(oldOpacity - layer->GetOpacity()) > 1e-6f)
      layer->SetOpacity(oldOpacity);
    if ((oldSupersampled != 0) != layer->IsSupersampled())
      layer->SetSupersampling(oldSupersampled != 0);
    if (pixels) {
      ok = pixels->Restore(*layer->GetPixelArray(), RESTORE_STORE);
      layer->Update(nullptr);
    }
    image->EndUpdate();
    if (CSelection* s = image->GetSelection())
      s->SetSupersampling(selectionSupersampled != 0);
    GetEditorUI()->RefreshLayerItem(layer);
    RefreshAfterImageChange(image);
    return ok;
  });
}

// ---------------------------------------------------------------------------------------------
// Reorient Image

CReorientImageAction::CReorientImageAction() : orientation(0), selection(nullptr) {
  SetName("Reorient Image");
  SetPrepared(Prepare());
}

CReorientImageAction::~CReorientImageAction() {
  delete selection;
}

bool CReorientImageAction::Prepare() {
  delete selection;
  selection = nullptr;
  CImage* image = GetImage();
  if (!image || !image->GetSelection())
    return false;
  g_LzwEncoder.Reset();
  selection = g_LzwEncoder.StoreSelection(image->GetSelection());
  return selection != nullptr;
}

bool CReorientImageAction::Apply(CImage* image, int32_t code) {
  if (code == ROTATE_CW || code == ROTATE_CCW) {
    const float x = image->GetXResolution();
    const float y = image->GetYResolution();
    image->SetSize(image->GetHeight(), image->GetWidth());
    image->SetResolution(y, x);
  }
  CPixelArray copy;
  bool ok = true;
  for (CLayer* layer = image->GetFirstLayer(); layer; layer = layer->GetNext()) {
    CRasterLayer* raster = AsRaster(layer);
    if (!raster) {
      layer->FitToImage();
      layer->Update(nullptr);
      continue;
    }
    if (!CopyArray(copy, *raster->GetPixelArray())) {
      ok = false;
      continue;
    }
    raster->FitToImage();
    CPixelArray* edit = raster->GetPixelArray();
    const int32_t w = edit->width;
    const int32_t h = edit->height;
    const bool turned = code == ROTATE_CW || code == ROTATE_CCW;
    if ((turned ? copy.height : copy.width) != w || (turned ? copy.width : copy.height) != h) {
      ok = false;
      continue;
    }
    for (int32_t y = 0; y < h; ++y) {
      uint32_t* out = edit->PixelAt(0, y);
      for (int32_t x = 0; x < w; ++x) {
        switch (code) {
          case MIRROR_HORIZONTAL: out[x] = copy.GetPixel(w - 1 - x, y); break;
          case MIRROR_VERTICAL: out[x] = copy.GetPixel(x, h - 1 - y); break;
          case ROTATE_CW: out[x] = copy.GetPixel(y, w - 1 - x); break;
          case ROTATE_180: out[x] = copy.GetPixel(w - 1 - x, h - 1 - y); break;
          default: out[x] = copy.GetPixel(h - 1 - y, x); break;
        }
      }
    }
    raster->Update(nullptr);
  }
  return ok;
}

bool CReorientImageAction::Reorient(bool undo) {
  CImage* image = GetImage();
  if (!image || !IsPrepared() || orientation < MIRROR_HORIZONTAL || orientation > ROTATE_CCW)
    return false;
  const int32_t inverse =
      orientation == ROTATE_CW ? ROTATE_CCW : (orientation == ROTATE_CCW ? ROTATE_CW : orientation);
  return Guarded(image, [&] {
    image->BeginUpdate();
    const bool ok = Apply(image, undo ? inverse : orientation);
    if (!undo) {
      if (CSelection* s = image->GetSelection())
        s->Clear();
    } else if (selection) {
      selection->Restore(image->GetSelection());
    }
    EndWholeImageChange(image);
    return ok;
  });
}

bool CReorientImageAction::Redo() {
  return Reorient(false);
}

bool CReorientImageAction::Undo() {
  return Reorient(true);
}

// ---------------------------------------------------------------------------------------------
// Shift

CShiftAction::CShiftAction() : dx(0), dy(0), layerCopy(nullptr), selectionCopy(nullptr) {
  SetName("Shift");
  SetPrepared(Prepare());
}

CShiftAction::~CShiftAction() {
  delete layerCopy;
  delete selectionCopy;
}

bool CShiftAction::Prepare() {
  delete layerCopy;
  layerCopy = nullptr;
  delete selectionCopy;
  selectionCopy = nullptr;
  if (!GetImage())
    return false;
  g_LzwEncoder.Reset();
  layerCopy = g_LzwEncoder.StoreLayerScratch(g_LayerWorkingCopy);
  if (!layerCopy)
    return false;
  selectionCopy = g_LzwEncoder.StoreSelectionScratch(g_SelectionWorkingCopy);
  return selectionCopy != nullptr;
}

bool CShiftAction::Commit(CImage* image, bool shifted) {
  // The working copies belong to the current image.
  CSelection* s = image->GetSelection();
  CLayer* layer = FindLayer(image, GetLayerId());
  if (!s || !layer || !layerCopy || !selectionCopy || !IsPrepared() ||
      image != GetCurrentImage())
    return false;
  return Guarded(image, [&] {
    // The copy is written into the current layer: make it the action's layer.
    SelectLayer(image, layer);
    if (!layerCopy->Restore(g_LayerWorkingCopy) ||
        !selectionCopy->Restore(g_SelectionWorkingCopy))
      return false;
    if (shifted) {
      g_LayerWorkingCopy.GetOffsetRef().x += dx;
      g_LayerWorkingCopy.GetOffsetRef().y += dy;
    }
    image->BeginUpdate();
    bool ok = CommitLayerWorkingCopy();
    if (s->IsActive()) {
      if (shifted) {
        g_SelectionWorkingCopy.GetOffsetRef().x += dx;
        g_SelectionWorkingCopy.GetOffsetRef().y += dy;
      }
      ok = CommitSelectionWorkingCopy() && ok;
    }
    image->EndUpdate();
    GetEditorUI()->RefreshLayerItem(image->GetActiveLayer());
    RefreshViews(image);
    return ok;
  });
}

bool CShiftAction::Redo() {
  CImage* image = GetImage();
  return image && Commit(image, true);
}

bool CShiftAction::Undo() {
  CImage* image = GetImage();
  return image && Commit(image, false);
}
