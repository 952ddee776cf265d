#pragma once
// The working copies of the current layer and the current selection: what they looked like
// before the operation in progress. Strokes blend from the layer copy, undo blocks are the
// difference against it, and moves shift a copy and write it back. After every change of
// image, layer or selection the copies are taken again (ResyncWorkingCopies).
#include <cstdint>
#include "document/Geometry.h"
#include "document/PixelArray.h"

class CLayer;
class CSelection;

// A pixel array view over a reusable buffer that only grows.
class CScratchPixelArray : public CPixelArray {
public:
  CScratchPixelArray();
  ~CScratchPixelArray();
  CScratchPixelArray(const CScratchPixelArray&) = delete;
  CScratchPixelArray& operator=(const CScratchPixelArray&) = delete;

  // Grows the buffer when needed; false (and a 0 x 0 view) when it cannot be allocated.
  bool SetSize(int32_t newWidth, int32_t newHeight);
  // Exactly that many bytes; nothing when the capacity already is that.
  void Reserve(uint32_t bytes);
  void Release();
  uint32_t GetCapacity() const { return capacity; }

private:
  uint32_t capacity;
  void* buffer;
};

// The same over a mask array.
class CScratchMaskArray : public CMaskArray {
public:
  CScratchMaskArray();
  ~CScratchMaskArray();
  CScratchMaskArray(const CScratchMaskArray&) = delete;
  CScratchMaskArray& operator=(const CScratchMaskArray&) = delete;

  bool SetSize(int32_t newWidth, int32_t newHeight);
  void Reserve(uint32_t bytes);
  void Release();
  uint32_t GetCapacity() const { return capacity; }

private:
  uint32_t capacity;
  void* buffer;
};

class CLayerWorkingCopy {
public:
  CLayerWorkingCopy();

  // Capacity for the largest image of the current project (8x both ways when the image has
  // a supersampled layer).
  void ReserveForProject();
  // w x h, not supersampled.
  void SetSize(int32_t newWidth, int32_t newHeight);
  // The view becomes 8w x 8h (on) or w x h (off).
  void SetSupersampled(bool on);
  // The layer's edit array (8x when supersampled); null empties the copy.
  void LoadLayer(CLayer* layer);
  void LoadCurrentLayer();

  int32_t GetWidth() const { return width; }
  int32_t GetHeight() const { return height; }
  bool IsSupersampled() const { return supersampled != 0; }
  CScratchPixelArray& GetPixels() { return pixels; }
  // The pending offset (24.8) that a commit shifts the copy by.
  Point& GetOffsetRef() { return offset; }
  void Release();

private:
  int32_t width;
  int32_t height;
  uint8_t supersampled;
  CScratchPixelArray pixels;
  Point offset;
};

class CSelectionWorkingCopy {
public:
  CSelectionWorkingCopy();

  // Capacity for the largest selection of the current project.
  void ReserveForProject();
  // Working mask w x h, plain mask 0 x 0, not supersampled.
  void Reset(int32_t newWidth, int32_t newHeight);
  // On: working mask 8w x 8h and plain mask w x h; off: w x h and 0 x 0.
  void SetSupersampled(bool on);
  // Null empties the copy.
  void LoadSelection(CSelection* selection);
  void LoadCurrentSelection();

  int32_t GetWidth() const { return width; }
  int32_t GetHeight() const { return height; }
  bool IsSupersampled() const { return supersampled != 0; }
  // The 1x mask: the plain mask when supersampled, else the working mask.
  CScratchMaskArray& GetMask() { return supersampled ? plainMask : workingMask; }
  // The mask at the selection's edit resolution (8x when supersampled).
  CScratchMaskArray& GetWorkingMask() { return workingMask; }
  // The 1x mask of a supersampled copy (0 x 0 otherwise).
  CScratchMaskArray& GetPlainMask() { return plainMask; }
  Point& GetOffsetRef() { return offset; }
  void Release();

private:
  int32_t width;
  int32_t height;
  uint8_t supersampled;
  CScratchMaskArray workingMask;
  CScratchMaskArray plainMask;
  Point offset;
};

extern CLayerWorkingCopy g_LayerWorkingCopy;
extern CSelectionWorkingCopy g_SelectionWorkingCopy;

// Takes both copies again from the current layer and selection. Exceptions pass on.
void ResyncWorkingCopies();
// The same after a failed command, when a further failure has nothing left to report to.
void ResyncWorkingCopiesQuietly();
// Only the selection copy; a failure shows "Commit failed".
void ResyncSelectionWorkingCopy();
void ShowCommitFailed();
// Reload a copy only when it is stale (pending offset, other size or supersampling); false
// without a current layer or selection.
bool EnsureLayerWorkingCopy();
bool EnsureSelectionWorkingCopy();
// Write the copies, shifted by their pending offsets, back into the current layer or
// selection. False without a current selection, or (layer) when the current layer is not a
// raster layer or the copies do not fit it.
bool CommitLayerWorkingCopy();
bool CommitSelectionWorkingCopy();
