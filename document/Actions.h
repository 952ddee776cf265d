#pragma once
// The undoable actions of the editor. Commands make one, set its parameters and run it
// through CHistory::Execute; tools make one after a stroke has changed the pixels, give it
// the changed block and add it with CHistory::Add. Actions find their layers by id, so
// they stay valid while other actions delete and re-create layers.
#include <cstdint>
#include "document/Geometry.h"
#include "document/History.h"
#include "document/UndoStore.h"
#include "wul/WULString.h"

class CLayerSnapshotList;

class CDeleteLayerAction : public CAction {
public:
  CDeleteLayerAction();
  ~CDeleteLayerAction() override;
  bool Redo() override;
  bool Undo() override;

private:
  CLayerSnapshot* snapshot;
};

class CDuplicateLayerAction : public CAction {
public:
  CDuplicateLayerAction();
  bool Redo() override;
  bool Undo() override;
};

// Crops or extends the canvas to bounds given in the old image's coordinates.
class CImageBoundsAction : public CAction {
public:
  CImageBoundsAction();
  ~CImageBoundsAction() override;
  bool Prepare() override;
  bool Redo() override;
  bool Undo() override;

  void SetBounds(const Rect& bounds) { newBounds = bounds; }
  const Rect& GetBounds() const { return newBounds; }

private:
  void FreeRecords();

  Rect newBounds;
  int32_t oldWidth;
  int32_t oldHeight;
  CSelectionSnapshot* selection;
  CLayerSnapshotList* layers;
};

// Size (resampling the layers), resolution, target format and flags of the image. Every
// value starts as the image's own; the caller changes those that are to change.
class CImagePropertiesAction : public CAction {
public:
  CImagePropertiesAction();
  ~CImagePropertiesAction() override;
  bool Prepare() override;
  bool Redo() override;
  bool Undo() override;

  void SetSize(int32_t width, int32_t height) {
    newValues.width = width;
    newValues.height = height;
  }
  void SetResolution(float x, float y) {
    newValues.xResolution = x;
    newValues.yResolution = y;
  }
  void SetTargetFormat(int32_t code) { newValues.targetFormat = code; }
  void SetFlagA(bool on) { newValues.flagA = on ? 1 : 0; }
  // Only a palette-fixed value given here is applied.
  void SetPaletteFixed(bool on) {
    newValues.paletteFixed = on ? 1 : 0;
    paletteFixedGiven = 1;
  }
  void SetForExport(bool on) { newValues.forExport = on ? 1 : 0; }

  struct Values {
    int32_t width;
    int32_t height;
    float xResolution;
    float yResolution;
    int32_t targetFormat;
    uint8_t flagA;
    uint8_t paletteFixed;
    uint8_t forExport;
  };
  const Values& GetNewValues() const { return newValues; }
  const Values& GetOldValues() const { return oldValues; }

private:
  void FreeRecords();
  bool RecordPalette(CImage* image);
  bool RestorePalette(CImage* image);

  Values newValues;
  Values oldValues;
  uint8_t paletteFixedGiven;
  uint8_t paletteRecorded;
  CSelectionSnapshot* selection;
  CUndoData* palette;
  CLayerSnapshotList* layers;
};

// Merge down (a range from a bottom to a top layer) or merge all layers into the bottom one.
class CMergeLayersAction : public CAction {
public:
  CMergeLayersAction();
  ~CMergeLayersAction() override;
  bool Redo() override;
  bool Undo() override;

  void SetMergeAll(bool on) { mergeAll = on ? 1 : 0; }
  void SetRange(int32_t topLayerId, int32_t bottomLayerId) {
    topId = topLayerId;
    bottomId = bottomLayerId;
  }
  void SetResultName(const char* text) { resultName.Assign(text); }
  int32_t GetResultId() const { return resultId; }

private:
  uint8_t mergeAll;
  int32_t topId;
  int32_t bottomId;
  CWULString resultName;
  int32_t resultId;
  CLayerSnapshotList* layers;
};

// Strokes and pixel commands: the difference new - old of the changed rectangle of the
// layer's edit array (8x coordinates for a supersampled layer).
class CModifyLayerAction : public CAction {
public:
  CModifyLayerAction();
  ~CModifyLayerAction() override;
  bool Redo() override;
  bool Undo() override;

  // Takes ownership.
  void SetBlock(CStoredRect* block);
  CStoredRect* GetBlock() const { return pixels; }

private:
  bool Apply(int32_t mode);

  CStoredRect* pixels;
};

// Paste into the layer: pixel and selection mask differences (new - old). The selection
// flags restored by Undo are those of the selection when the action was made.
class CModifyLayerAndSelectionAction : public CAction {
public:
  CModifyLayerAndSelectionAction();
  ~CModifyLayerAndSelectionAction() override;
  bool Prepare() override;
  bool Redo() override;
  bool Undo() override;

  // Both take ownership.
  void SetPixelBlock(CStoredRect* block);
  void SetMaskBlock(CStoredRect* block);
  void SetSelectionFlags(bool active, bool supersampled) {
    selectionActive = active ? 1 : 0;
    selectionSupersampled = supersampled ? 1 : 0;
  }

private:
  bool Apply(int32_t mode);

  CStoredRect* pixels;
  CStoredRect* mask;
  uint8_t selectionActive;
  uint8_t selectionSupersampled;
};

// A change of the selection mask (difference new - old of the edit mask). The selection
// flags restored by Undo are those of the selection when the action was made.
class CModifySelectionAction : public CAction {
public:
  CModifySelectionAction();
  ~CModifySelectionAction() override;
  bool Prepare() override;
  bool Redo() override;
  bool Undo() override;

  // Takes ownership.
  void SetMaskBlock(CStoredRect* block);
  void SetSelectLayerOnRedo(bool on) { selectLayerOnRedo = on ? 1 : 0; }
  void SetSelectLayerOnUndo(bool on) { selectLayerOnUndo = on ? 1 : 0; }
  void SetSelectionFlags(bool active, bool supersampled) {
    selectionActive = active ? 1 : 0;
    selectionSupersampled = supersampled ? 1 : 0;
  }

private:
  bool SelectLayer(CImage* image);
  bool Apply(int32_t mode, bool selectLayer);

  CStoredRect* mask;
  uint8_t selectLayerOnRedo;
  uint8_t selectLayerOnUndo;
  uint8_t selectionActive;
  uint8_t selectionSupersampled;
};

// Moves the layer to lie just above the layer with the target id (0 or unknown: bottom).
class CMoveLayerAction : public CAction {
public:
  CMoveLayerAction();
  bool Redo() override;
  bool Undo() override;

  void SetTargetId(int32_t id) { targetId = id; }

private:
  bool MoveAbove(int32_t id);

  int32_t targetId;
};

// A new empty raster layer just above the action's layer (or on top).
class CNewLayerAction : public CAction {
public:
  CNewLayerAction();
  bool Prepare() override;
  bool Redo() override;
  bool Undo() override;

  void SetSupersampled(bool on) { supersampled = on ? 1 : 0; }

private:
  uint8_t supersampled;
  uint8_t selectionSupersampled;
};

// A pasted image as a new layer above the action's layer, from the layer working copy
// with its pending offset.
class CPasteAction : public CAction {
public:
  CPasteAction();
  ~CPasteAction() override;
  bool Prepare() override;
  bool Redo() override;
  bool Undo() override;

  // Takes ownership.
  void SetLayerCopy(CLayerCopyRecord* record);

private:
  CLayerCopyRecord* layerCopy;
  CSelectionSnapshot* selection;
};

class CLayerPropertiesAction : public CAction {
public:
  CLayerPropertiesAction();
  ~CLayerPropertiesAction() override;
  bool Prepare() override;
  bool Redo() override;
  bool Undo() override;

  void SetNewName(const char* text) { newName.Assign(text); }
  void SetNewVisible(bool on) { newVisible = on ? 1 : 0; }
  void SetNewOpacity(float value) { newOpacity = value; }
  void SetNewSupersampled(bool on) { newSupersampled = on ? 1 : 0; }

private:
  CWULString newName;
  uint8_t newVisible;
  float newOpacity;
  uint8_t newSupersampled;
  CWULString oldName;
  uint8_t oldVisible;
  float oldOpacity;
  uint8_t oldSupersampled;
  uint8_t selectionSupersampled;
  CStoredRect* pixels;
};

// Mirrors or rotates the whole image.
class CReorientImageAction : public CAction {
public:
  enum {
    MIRROR_HORIZONTAL = 1,
    MIRROR_VERTICAL = 2,
    ROTATE_CW = 3,
    ROTATE_180 = 4,
    ROTATE_CCW = 5,
  };

  CReorientImageAction();
  ~CReorientImageAction() override;
  bool Prepare() override;
  bool Redo() override;
  bool Undo() override;

  void SetOrientation(int32_t code) { orientation = code; }

private:
  bool Apply(CImage* image, int32_t code);
  // Redo (orientation, selection cleared) or Undo (the inverse, selection restored).
  bool Reorient(bool undo);

  int32_t orientation;
  CSelectionSnapshot* selection;
};

// A move or nudge of the layer (and the selected part) through the working copies. The
// constructor records both working copies as they are before the shift.
class CShiftAction : public CAction {
public:
  CShiftAction();
  ~CShiftAction() override;
  bool Prepare() override;
  bool Redo() override;
  bool Undo() override;

  void SetShift(int32_t x, int32_t y) {
    dx = x;
    dy = y;
  }

private:
  bool Commit(CImage* image, bool shifted);

  int32_t dx;
  int32_t dy;
  CLayerCopyRecord* layerCopy;
  CSelectionCopyRecord* selectionCopy;
};
