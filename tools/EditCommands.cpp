#include "tools/EditCommands.h"
#include <cfloat>
#include <optional>
#include "document/Actions.h"
#include "document/EditorUI.h"
#include "document/History.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Selection.h"
#include "document/Supersample.h"
#include "document/UndoStore.h"
#include "shell/Clipboard.h"
#include "shell/Errors.h"
#include "tools/CurrentImage.h"
#include "tools/ImageCommands.h"
#include "tools/LayerEdit.h"
#include "tools/WorkingCopies.h"

namespace {

// Thrown inside the commands to abandon them.
struct CommandFailed {};

CRasterLayer* AsRaster(CLayer* layer) {
  return layer && layer->GetKind() == CLayer::KIND_RASTER ? static_cast<CRasterLayer*>(layer)
                                                          : nullptr;
}

bool HasActiveSelection(CImage* image) {
  return image && image->GetSelection() && image->GetSelection()->IsActive();
}

// The 1x mask of a selection.
CMaskArray* GetPlainMask(CSelection* selection) {
  CMaskSupersampleStack* stack = selection->GetSupersampleStack();
  if (selection->IsSupersampled() && stack)
    return stack->GetLevel(0);
  return selection->GetMask();
}

bool SameSize(const CPixelArray& a, const CPixelArray& b) {
  return a.width == b.width && a.height == b.height;
}

// After a failed command: the image recomposed and the working copies taken again.
void RecomposeQuietly(CImage* image) {
  try {
    image->UpdateAll();
  } catch (...) {
  }
  ResyncWorkingCopiesQuietly();
}

void PrepareEncoder() {
  if (g_LzwEncoder.GetState() == CLzwEncoder::STATE_FAILED)
    g_LzwEncoder.Reset();
}

// The 1x rectangle of an edit rectangle.
Rect EditTo1x(const Rect& rect, bool supersampled) {
  return supersampled ? SupersampleRectTo1x(rect) : rect;
}

// Puts the rectangle of the layer back from the layer working copy (which holds the layer
// as it was before the command) and recomposes it.
void RestoreFromCopy(CImage* image, CRasterLayer* layer, const Rect& rect) {
  CPixelArray* edit = layer->GetPixelArray();
  const CPixelArray& copy = g_LayerWorkingCopy.GetPixels();
  if (!edit || !SameSize(*edit, copy))
    return;
  edit->CopyRectTo(rect.left, rect.top, copy, rect);
  const Rect plain = EditTo1x(rect, layer->IsSupersampled());
  if (layer->IsSupersampled())
    layer->Update(&plain);
  image->UpdateRect(&plain);
}

// ---------------------------------------------------------------------------------------------
// Copy

// A resolution of the 8x level: eight times finer, at most the largest float (a product
// beyond it would overflow, which traps).
float EightTimesFiner(float resolution) {
  const float limit = FLT_MAX / 8;
  return resolution > limit ? FLT_MAX : resolution < -limit ? -FLT_MAX : resolution * 8;
}

bool CopyLayer(CImage* image, CLayer* layer) {
  CSelection* selection = image->GetSelection();
  CClipboardCopyRequest request;
  const int32_t mode = GetEditorUI()->GetChannelMode();
  request.bitsPerPixel = mode == 1 ? 24 : (mode == 2 ? 8 : 32);
  request.xResolution = image->GetXResolution();
  request.yResolution = image->GetYResolution();
  CRasterLayer* raster = AsRaster(layer);
  if (raster && raster->IsSupersampled() && selection->GetSupersampleTop()) {
    request.source = raster->GetPixelArray();
    request.mask = selection->GetSupersampleTop();
    selection->GetBounds(request.rect);
    request.xResolution = EightTimesFiner(request.xResolution);
    request.yResolution = EightTimesFiner(request.yResolution);
  } else {
    request.source = layer->GetPixels();
    request.mask = GetPlainMask(selection);
    request.rect = selection->GetBounds1x();
  }
  if (!request.source || !request.mask || request.mask->width != request.source->width ||
      request.mask->height != request.source->height)
    return false;
  return g_Clipboard.Copy(request);
}

// ---------------------------------------------------------------------------------------------
// Paste

// Takes a failed paste's layer out of the layers panel and the image, the item first, and
// makes the layer that was current again; the panel's own failures here change nothing more.
void DropPastedLayer(CImage* image, CRasterLayer* layer, CLayer* current, bool itemAdded) {
  CEditorUI* host = GetEditorUI();
  auto quietly = [](auto step) {
    try {
      step();
    } catch (...) {
    }
  };
  std::optional<CLayerItemsScope> items;
  quietly([&] { items.emplace(); });
  if (itemAdded)
    quietly([&] { host->RemoveLayerItem(layer); });
  if (layer->GetOwner() == image)
    image->RemoveLayer(layer);
  if (current) {
    image->SetActiveLayer(current);
    quietly([&] { host->SelectLayerItem(current); });
  }
}

bool PasteAsLayer(CImage* image, CSelection* selection, const CClipboardImageInfo& info,
                  const Point& center) {
  CLayer* current = GetCurrentLayer();
  CRasterLayer* currentRaster = AsRaster(current);
  const bool supersampled =
      IsVisibleRasterLayer(current) && currentRaster && currentRaster->IsSupersampled();
  CPasteAction* action = nullptr;
  CRasterLayer* layer = nullptr;
  const bool wasActive = selection->IsActive();
  bool cleared = false;
  bool itemAdded = false;
  try {
    EnsureSelectionWorkingCopy();
    action = new CPasteAction();
    // The copy holds the image at the new layer's edit resolution, in whole image pixels.
    if (supersampled) {
      g_LayerWorkingCopy.SetSize((info.width + 7) >> 3, (info.height + 7) >> 3);
      g_LayerWorkingCopy.SetSupersampled(true);
    } else {
      g_LayerWorkingCopy.SetSize(info.width, info.height);
    }
    CScratchPixelArray& pixels = g_LayerWorkingCopy.GetPixels();
    const int64_t level = supersampled ? 8 : 1;
    if (!pixels.data || pixels.width != g_LayerWorkingCopy.GetWidth() * level ||
        pixels.height != g_LayerWorkingCopy.GetHeight() * level)
      throw CommandFailed();
    pixels.Fill(0);
    Point& offset = g_LayerWorkingCopy.GetOffsetRef();
    offset.x = center.x - g_LayerWorkingCopy.GetWidth() * 128;
    offset.y = center.y - g_LayerWorkingCopy.GetHeight() * 128;
    if (!g_Clipboard.Paste(pixels, (pixels.width - info.width) / 2,
                           (pixels.height - info.height) / 2))
      throw CommandFailed();
    layer = CreateRasterLayer();
    if (!layer)
      throw CommandFailed();
    cleared = true;
    selection->Clear();
    {
      CImageUpdateScope update(image);
      if (current)
        image->InsertLayer(layer, current->GetNext());
      else
        image->AddLayer(layer);
      layer->SetSupersampling(supersampled);
      image->SetActiveLayer(layer);
      if (!CommitLayerWorkingCopy())
        throw CommandFailed();
      CLayerItemsScope items;
      itemAdded = true;
      GetEditorUI()->AddLayerItem(layer);
      GetEditorUI()->SelectLayerItem(layer);
      items.End();
      update.End();
    }
    PrepareEncoder();
    CLayerCopyRecord* record = g_LzwEncoder.StoreLayerScratch(g_LayerWorkingCopy);
    if (!record)
      throw CommandFailed();
    action->SetLayerCopy(record);
    if (!image->GetHistory()->Add(action))
      throw CommandFailed();
    action = nullptr;
  } catch (...) {
    // The panel's item goes before its layer, wherever the failure left the layer.
    if (layer && (itemAdded || layer->GetOwner() == image))
      DropPastedLayer(image, layer, current, itemAdded);
    delete layer;
    delete action;
    // The selection comes back from its working copy.
    CMaskArray* mask = selection->GetMask();
    const CMaskArray& oldMask = g_SelectionWorkingCopy.GetWorkingMask();
    if (cleared && wasActive && mask && oldMask.data && mask->width == oldMask.width &&
        mask->height == oldMask.height) {
      mask->CopyTo(0, 0, oldMask);
      selection->Update(nullptr);
      selection->SetActive(true);
    }
    RecomposeQuietly(image);
    return false;
  }
  // The layer copy keeps the pasted pixels and their offset for the Move tool.
  ResyncSelectionWorkingCopy();
  CEditorUI* host = GetEditorUI();
  host->RefitToImage();
  host->RefreshPreview();
  host->RefreshImageItem(image);
  host->UpdateCommandStates();
  return true;
}

// The clipboard image centred on the current layer's edit array, by channel mode.
bool PasteIntoLayer(CImage* image, CSelection* selection, CRasterLayer* layer,
                    const CClipboardImageInfo& info) {
  CPixelArray* edit = layer->GetPixelArray();
  if (!edit || !edit->data)
    return false;
  const int32_t x = static_cast<int32_t>((static_cast<int64_t>(edit->width) - info.width) / 2);
  const int32_t y = static_cast<int32_t>((static_cast<int64_t>(edit->height) - info.height) / 2);
  Rect placed;
  placed.left = x;
  placed.top = y;
  placed.right = static_cast<int32_t>(static_cast<int64_t>(x) + info.width);
  placed.bottom = static_cast<int32_t>(static_cast<int64_t>(y) + info.height);
  Rect bounds;
  bounds.right = edit->width;
  bounds.bottom = edit->height;
  const Rect rect = placed.Intersect(bounds);
  if (rect.IsEmpty())
    return false;
  const bool supersampled = layer->IsSupersampled();
  const bool wasActive = selection->IsActive();
  CModifyLayerAndSelectionAction* action = nullptr;
  bool pasted = false;
  bool maskCleared = false;
  try {
    action = new CModifyLayerAndSelectionAction();
    action->SetName("Paste");
    EnsureLayerWorkingCopy();
    EnsureSelectionWorkingCopy();
    const CPixelArray& before = g_LayerWorkingCopy.GetPixels();
    const CMaskArray& oldMask = g_SelectionWorkingCopy.GetWorkingMask();
    CMaskArray* mask = selection->GetMask();
    // Both differences need the state before the paste at the edit resolution.
    if (!SameSize(before, *edit) || !before.data ||
        (wasActive && (!mask || !oldMask.data || oldMask.width != mask->width ||
                       oldMask.height != mask->height)))
      throw CommandFailed();
    pasted = true;
    if (!g_Clipboard.Paste(*edit, x, y))
      throw CommandFailed();
    const Rect plain = EditTo1x(rect, supersampled);
    if (supersampled)
      layer->Update(&plain);
    image->UpdateRect(&plain);
    PrepareEncoder();
    CStoredRect* pixels = g_LzwEncoder.StorePixelRect(*edit, &before, &rect);
    if (!pixels)
      throw CommandFailed();
    action->SetPixelBlock(pixels);
    if (wasActive) {
      maskCleared = true;
      mask->Fill(0);
      selection->Update(nullptr);
      CStoredRect* stored = g_LzwEncoder.StoreMask(*mask, &oldMask);
      if (!stored)
        throw CommandFailed();
      action->SetMaskBlock(stored);
      selection->SetActive(false);
      selection->SyncToImage();
    }
    if (!image->GetHistory()->Add(action))
      throw CommandFailed();
    action = nullptr;
  } catch (...) {
    delete action;
    // Nothing stays changed without its undo.
    if (pasted)
      RestoreFromCopy(image, layer, rect);
    if (maskCleared) {
      CMaskArray* mask = selection->GetMask();
      const CMaskArray& oldMask = g_SelectionWorkingCopy.GetWorkingMask();
      if (mask && mask->width == oldMask.width && mask->height == oldMask.height)
        mask->CopyTo(0, 0, oldMask);
      selection->Update(nullptr);
      selection->SetActive(wasActive);
    }
    RecomposeQuietly(image);
    return false;
  }
  ResyncWorkingCopiesQuietly();
  RefreshAfterLayerEdit(image, layer);
  GetEditorUI()->UpdateCommandStates();
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Undo and redo

CAction* GetUndoAction() {
  CImage* image = GetCurrentImage();
  CHistory* history = image ? image->GetHistory() : nullptr;
  return history ? history->GetCurrent() : nullptr;
}

CAction* GetRedoAction() {
  CImage* image = GetCurrentImage();
  CHistory* history = image ? image->GetHistory() : nullptr;
  return history ? history->GetRedoNext() : nullptr;
}

namespace {

// One step back (or forward) in the current image's history; a beep when there is none.
bool StepHistory(bool forward) {
  CImage* image = GetCurrentImage();
  CHistory* history = image ? image->GetHistory() : nullptr;
  if (!history)
    return false;
  if (!(forward ? GetRedoAction() : GetUndoAction())) {
    Beep();
    return false;
  }
  if (!(forward ? history->Redo() : history->Undo()))
    return false;
  GetEditorUI()->UpdateCommandStates();
  return true;
}

}  // namespace

bool UndoCommand() {
  return StepHistory(false);
}

bool RedoCommand() {
  return StepHistory(true);
}

// ---------------------------------------------------------------------------------------------
// Enabled states

bool CanCut() {
  CImage* image = GetCurrentImage();
  return HasActiveSelection(image) && IsVisibleRasterLayer(GetCurrentLayer());
}

bool CanCopy() {
  CImage* image = GetCurrentImage();
  CLayer* layer = GetCurrentLayer();
  return HasActiveSelection(image) && layer && layer->IsVisible();
}

bool CanPaste() {
  if (!GetCurrentImage() || !g_Clipboard.HasImage())
    return false;
  const int32_t mode = GetEditorUI()->GetViewState().channelMode;
  if (mode == 1 || mode == 2)
    return AsRaster(GetCurrentLayer()) != nullptr;
  return true;
}

// ---------------------------------------------------------------------------------------------
// Copy, cut, erase

bool CopyCommand() {
  CImage* image = GetCurrentImage();
  CLayer* layer = GetCurrentLayer();
  if (!HasActiveSelection(image) || !layer || !layer->IsVisible()) {
    Beep();
    return false;
  }
  return CopyLayer(image, layer);
}

bool CopyMergedCommand() {
  CImage* image = GetCurrentImage();
  if (!HasActiveSelection(image)) {
    Beep();
    return false;
  }
  CSelection* selection = image->GetSelection();
  CClipboardCopyRequest request;
  const int32_t mode = GetEditorUI()->GetChannelMode();
  request.source = image->GetComposite();
  request.mask = GetPlainMask(selection);
  request.rect = selection->GetBounds1x();
  request.bitsPerPixel = mode == 1 ? 24 : (mode == 2 ? 8 : 32);
  request.xResolution = image->GetXResolution();
  request.yResolution = image->GetYResolution();
  if (!request.mask || request.mask->width != request.source->width ||
      request.mask->height != request.source->height)
    return false;
  return g_Clipboard.Copy(request);
}

bool CutCommand() {
  if (!CopyCommand())
    return false;
  return EraseCommand("Cut");
}

bool EraseCommand(const char* caption) {
  CImage* image = GetCurrentImage();
  CLayer* layer = GetCurrentLayer();
  if (!HasActiveSelection(image) || !IsVisibleRasterLayer(layer) || !image->GetHistory()) {
    Beep();
    return false;
  }
  CRasterLayer* raster = AsRaster(layer);
  CSelection* selection = image->GetSelection();
  const bool supersampled = raster->IsSupersampled();
  const CMaskArray* mask = supersampled ? selection->GetSupersampleTop() : GetPlainMask(selection);
  Rect rect;
  if (supersampled)
    selection->GetBounds(rect);
  else
    rect = selection->GetBounds1x();
  CPixelArray* edit = raster->GetPixelArray();
  if (!mask || !edit || !edit->data || mask->width != edit->width ||
      mask->height != edit->height) {
    Beep();
    return false;
  }
  Rect bounds;
  bounds.right = edit->width;
  bounds.bottom = edit->height;
  rect = rect.Intersect(bounds);
  const int32_t channelMode = GetEditorUI()->GetChannelMode();
  CModifyLayerAction* action = nullptr;
  bool erased = false;
  try {
    action = new CModifyLayerAction();
    action->SetName(caption ? caption : "Erase");
    EnsureLayerWorkingCopy();
    const CPixelArray& before = g_LayerWorkingCopy.GetPixels();
    if (!SameSize(before, *edit) || !before.data)
      throw CommandFailed();
    erased = true;
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
      uint32_t* row = edit->PixelAt(0, y);
      const uint8_t* m = mask->data + static_cast<ptrdiff_t>(y) * mask->width;
      for (int32_t x = rect.left; x < rect.right; ++x) {
        if (!m[x])
          continue;
        if (channelMode == 1)
          row[x] = BlendRgb(row[x], 0, m[x]);
        else if (channelMode == 2)
          row[x] = BlendAlpha(row[x], 0, m[x]);
        else
          row[x] = BlendArgb(row[x], 0, m[x]);
      }
    }
    const Rect plain = EditTo1x(rect, supersampled);
    if (supersampled)
      raster->Update(&plain);
    image->UpdateRect(&plain);
    PrepareEncoder();
    CStoredRect* stored = g_LzwEncoder.StorePixelRect(*edit, &before, &rect);
    if (!stored)
      throw CommandFailed();
    action->SetBlock(stored);
    if (!image->GetHistory()->Add(action))
      throw CommandFailed();
    action = nullptr;
  } catch (...) {
    delete action;
    if (erased)
      RestoreFromCopy(image, raster, rect);
    RecomposeQuietly(image);
    return false;
  }
  ResyncWorkingCopiesQuietly();
  RefreshAfterLayerEdit(image, layer);
  GetEditorUI()->UpdateCommandStates();
  return true;
}

// ---------------------------------------------------------------------------------------------
// Paste

bool PasteCommand() {
  CImage* image = GetCurrentImage();
  CSelection* selection = GetCurrentSelection();
  CClipboardImageInfo info;
  if (!image || !selection || !image->GetHistory() || !g_Clipboard.GetImageInfo(info) ||
      info.width <= 0 || info.height <= 0 || info.bitsPerPixel <= 0) {
    Beep();
    return false;
  }
  const CViewState view = GetEditorUI()->GetViewState();
  bool done = false;
  if (view.channelMode == 0) {
    done = PasteAsLayer(image, selection, info, view.center);
  } else if (view.channelMode == 1 || view.channelMode == 2) {
    CLayer* layer = GetCurrentLayer();
    if (IsVisibleRasterLayer(layer))
      done = PasteIntoLayer(image, selection, AsRaster(layer), info);
  }
  if (!done)
    Beep();
  return done;
}
