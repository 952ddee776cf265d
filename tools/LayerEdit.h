#pragma once
// Shared steps of the tools and commands that edit the current raster layer: the blend of the
// view's channel mode, the rectangles between 24.8 and working pixels, the recording of the
// changed block as one undoable action and what the user interface is told afterwards.
#include <cstdint>
#include "document/Geometry.h"
#include "document/PixelArray.h"

class CImage;
class CLayer;
class CRasterLayer;

// BlendArgb, BlendRgb or BlendAlpha by channel mode (0 normal, 1 colour only, 2 alpha only).
inline uint32_t BlendByChannelMode(uint32_t pixel, uint32_t color, uint32_t amount,
                                   int32_t channelMode) {
  if (channelMode == 1)
    return BlendRgb(pixel, color, amount);
  if (channelMode == 2)
    return BlendAlpha(pixel, color, amount);
  return BlendArgb(pixel, color, amount);
}

// m * v / 255, rounded.
inline uint32_t ScaleCoverage(uint32_t m, uint32_t v) {
  return (m * v * 65793u + 0x800000u) >> 24;
}

// A 24.8 (or 8x) rectangle in units of 1 << shift, rounded outwards.
inline Rect ShiftRectOut(const Rect& rect, int32_t shift) {
  Rect out;
  out.left = rect.left >> shift;
  out.top = rect.top >> shift;
  out.right = ((rect.right - 1) >> shift) + 1;
  out.bottom = ((rect.bottom - 1) >> shift) + 1;
  return out;
}

// The layer's area in 24.8 units.
Rect GetLayerBounds24(const CLayer* layer);
// The current layer when it is a raster layer, else null.
CRasterLayer* GetCurrentRasterLayer();
bool IsVisibleRasterLayer(const CLayer* layer);
bool IsSupersampledRaster(const CLayer* layer);

// The selection mask that limits an edit of the layer (at the layer's edit resolution) in
// mask; false when the selection is active but has no mask of that size, so nothing may
// be painted. mask is null without an active selection.
bool GetEditMask(CRasterLayer* layer, const CMaskArray*& mask);

// After the layer's edit array changed inside the working-pixel rectangle: the lower levels
// of a supersampled layer, the image's composite, and one already applied action with the
// caption that keeps the difference against the layer working copy. An action that cannot
// be made is dropped (the edit stays, without undo).
void RecordLayerEdit(CImage* image, CRasterLayer* layer, const Rect& work, const char* caption);
// Only the action of RecordLayerEdit, for an edit whose composite is already updated.
void RecordLayerDifference(CImage* image, CRasterLayer* layer, const Rect& work,
                           const char* caption);

// After the layer's pixels changed: the main view is refitted, the preview and the items of
// the layer and the image are refreshed.
void RefreshAfterLayerEdit(CImage* image, CLayer* layer);
// The same for the current layer after a tool changed it; then the geometry pane is cleared
// when asked and the command states are updated.
void RefreshAfterToolEdit(bool clearGeometry);
