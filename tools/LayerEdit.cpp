#include "tools/LayerEdit.h"
#include "document/Actions.h"
#include "document/History.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Selection.h"
#include "document/Supersample.h"
#include "document/UndoStore.h"
#include "tools/CurrentImage.h"
#include "tools/PencilTool.h"
#include "tools/WorkingCopies.h"

Rect GetLayerBounds24(const CLayer* layer) {
  Rect bounds;
  const int64_t w = static_cast<int64_t>(layer->GetWidth()) << 8;
  const int64_t h = static_cast<int64_t>(layer->GetHeight()) << 8;
  bounds.right = w > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int32_t>(w);
  bounds.bottom = h > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int32_t>(h);
  return bounds;
}

CRasterLayer* GetCurrentRasterLayer() {
  CLayer* layer = GetCurrentLayer();
  if (!layer || layer->GetKind() != CLayer::KIND_RASTER)
    return nullptr;
  return static_cast<CRasterLayer*>(layer);
}

bool IsVisibleRasterLayer(const CLayer* layer) {
  return layer && layer->IsVisible() && layer->GetKind() == CLayer::KIND_RASTER;
}

bool GetEditMask(CRasterLayer* layer, const CMaskArray*& mask) {
  mask = nullptr;
  CImage* image = layer->GetOwner();
  CSelection* selection = image ? image->GetSelection() : nullptr;
  if (!selection || !selection->IsActive())
    return true;
  const CPixelArray* edit = layer->GetPixelArray();
  const CMaskArray* found = layer->GetSelectionMask();
  if (!edit || !found || !found->data || found->width != edit->width ||
      found->height != edit->height)
    return false;
  mask = found;
  return true;
}

void RecordLayerEdit(CImage* image, CRasterLayer* layer, const Rect& work, const char* caption) {
  if (work.IsEmpty())
    return;
  Rect plain = work;
  if (layer->IsSupersampled()) {
    plain = SupersampleRectTo1x(work);
    layer->Update(&plain);
  }
  image->UpdateRect(&plain);
  RecordLayerDifference(image, layer, work, caption);
}

void RecordLayerDifference(CImage* image, CRasterLayer* layer, const Rect& work,
                           const char* caption) {
  CPixelArray* edit = layer->GetPixelArray();
  const CPixelArray& before = g_LayerWorkingCopy.GetPixels();
  CHistory* history = image->GetHistory();
  // Without a matching copy there is no difference to keep.
  if (!edit || !history || before.width != edit->width || before.height != edit->height)
    return;
  CModifyLayerAction* action = nullptr;
  try {
    action = new CModifyLayerAction();
    action->SetName(caption);
    if (g_LzwEncoder.GetState() == CLzwEncoder::STATE_FAILED)
      g_LzwEncoder.Reset();
    CStoredRect* stored = g_LzwEncoder.StorePixelRect(*edit, &before, &work);
    if (stored) {
      action->SetBlock(stored);
      if (history->Add(action))
        action = nullptr;
    }
    delete action;
  } catch (...) {
    delete action;
  }
}
