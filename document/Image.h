#pragma once
// An image of a project: size, resolution, target format, the layer stack, palette,
// selection, undo history, the composite of the layers and the caches the main view draws.
#include <cstdint>
#include "document/Layer.h"
#include "document/PixelArray.h"

class CHistory;
class CPalette;
class CProject;
class CSelection;

// The main view's state for an image; all zero is the default view.
struct CViewState {
  int32_t zoom;
  int32_t channelMode;
  Point center;  // image point under the view's centre, 24.8 fixed point
};

class CImage {
public:
  enum { KIND_IMAGE = 1 };
  // Pixel format codes of the target formats.
  enum : int32_t {
    FORMAT_1BIT_PALETTE = 0x10001,
    FORMAT_4BIT_PALETTE = 0x40001,
    FORMAT_8BIT_PALETTE = 0x80001,
    FORMAT_24BIT_RGB = 0x180000,
    FORMAT_32BIT_ARGB = 0x200000,
  };

  CImage();
  virtual ~CImage();
  CImage(const CImage&) = delete;
  CImage& operator=(const CImage&) = delete;

  CProject* GetOwner() const { return owner; }
  int32_t GetKind() const { return kind; }
  int32_t GetListNumber() const { return number; }
  void SetListNumber(int32_t n) { number = n; }
  CImage* GetPrevious() const { return previous; }
  CImage* GetNext() const { return next; }
  int32_t GetId() const { return id; }
  void SetId(int32_t value) { id = value; }

  // Resizes the composite, preview and caches (contents undefined until recomposed) and
  // resynchronises the selection; the caller fits the layers and recomposes.
  void SetSize(int32_t newWidth, int32_t newHeight);
  int32_t GetWidth() const { return width; }
  int32_t GetHeight() const { return height; }
  void SetResolution(float x, float y);
  void SetXResolution(float x);
  void SetYResolution(float y);
  float GetXResolution() const { return xResolution; }
  float GetYResolution() const { return yResolution; }
  // An unsupported code is refused with an error box and changes nothing.
  void SetTargetFormat(int32_t code);
  int32_t GetTargetFormat() const { return targetFormat; }
  void SetFlagA(bool on);
  bool GetFlagA() const { return flagA != 0; }
  void SetPaletteFixed(bool on);
  bool IsPaletteFixed() const { return paletteFixed != 0; }
  void SetForExport(bool on);
  bool IsForExport() const { return forExport != 0; }

  void AddLayer(CLayer* layer);
  // Before null puts the layer on top.
  void InsertLayer(CLayer* layer, CLayer* before);
  void MoveLayer(CLayer* layer, CLayer* before);
  // The layer is unlinked, not deleted.
  void RemoveLayer(CLayer* layer);
  void DeleteAllLayers();
  CLayer* FindLayer(int32_t layerId) const;
  void SetActiveLayer(CLayer* layer);
  CLayer* GetActiveLayer() const { return activeLayer; }
  int32_t GetLayerCount() const { return layerCount; }
  CLayer* GetFirstLayer() const { return firstLayer; }
  CLayer* GetLastLayer() const { return lastLayer; }
  bool HasSupersampledLayer() const;

  // The update lock: changes inside a bracket recompose the image once, at the last end.
  void BeginUpdate() { ++updateLock; }
  void EndUpdate(const Rect* rect = nullptr);
  // Ends a bracket without recomposing (the batch changed nothing).
  void ReleaseUpdate();
  int32_t GetUpdateLock() const { return updateLock; }
  // Recomposes rect (null = the whole image).
  void UpdateRect(const Rect* rect);
  void UpdateAll() { UpdateRect(nullptr); }
  // True when the palette was quantised anew.
  bool RebuildPalette();
  void UpdatePreview(const Rect* rect);
  void UpdateLayerCaches(const Rect* rect);

  CPixelArray* GetComposite() { return &composite; }
  CPixelArray* GetPreview() const { return preview; }
  // The converted preview when present, else the composite.
  CPixelArray* GetDisplayPixels();
  // Valid caches of the layers below and above the active one, or null.
  CPixelArray* GetBelowCache() const { return validBelow; }
  CPixelArray* GetAboveCache() const { return validAbove; }

  CHistory* GetHistory() const { return history; }
  CSelection* GetSelection() const { return selection; }
  CPalette* GetPalette() const { return palette; }

  void SaveViewState(const CViewState& state) { viewState = state; }
  const CViewState& GetViewState() const { return viewState; }

  // Image commands, defined with them (tools/ImageCommands.cpp). MakeCurrent selects the
  // image in the project panel, which makes it current; MoveCurrentImageBefore moves the
  // current image of the current project before anchor (null: to the end).
  bool MakeCurrent();
  static bool MoveCurrentImageBefore(CImage* anchor);

  uint32_t GetMemorySize() const;
  bool IsModified() const { return modified != 0; }
  void SetModified() { modified = 1; }
  void ClearModified() { modified = 0; }

private:
  friend class CProject;

  bool ComposeLayers(CLayer* first, CLayer* last, CPixelArray& target, const Rect& rect);
  void ClipToImage(const Rect* rect, Rect& clipped) const;
  bool IsInStack(const CLayer* layer) const;

  CProject* owner;
  int32_t kind;
  int32_t number;
  CImage* previous;
  CImage* next;
  int32_t id;
  int32_t width;
  int32_t height;
  float xResolution;
  float yResolution;
  int32_t targetFormat;
  uint8_t flagA;
  uint8_t paletteFixed;
  uint8_t forExport;
  CHistory* history;  // owned
  CSelection* selection;
  CPalette* palette;
  CPixelArray composite;
  CPixelArray* preview;
  int32_t layerCount;
  CLayer* firstLayer;
  CLayer* lastLayer;
  CLayer* activeLayer;
  uint8_t modified;
  int32_t updateLock;
  CPixelArray* caches[2];
  CPixelArray* validBelow;
  CPixelArray* validAbove;
  uint8_t cachesStale;  // the caches' layout changed: the next refresh covers everything
  CViewState viewState;
};

// Holds an image's update lock: End ends it and recomposes (rect null = the whole image);
// Release ends it without recomposing, as does the destructor when neither came first.
class CImageUpdateScope {
public:
  explicit CImageUpdateScope(CImage* image) : image(image) { image->BeginUpdate(); }
  ~CImageUpdateScope() { Release(); }
  void End(const Rect* rect = nullptr) {
    if (!open)
      return;
    open = false;
    image->EndUpdate(rect);
  }
  void Release() {
    if (!open)
      return;
    open = false;
    image->ReleaseUpdate();
  }
  CImageUpdateScope(const CImageUpdateScope&) = delete;
  CImageUpdateScope& operator=(const CImageUpdateScope&) = delete;

private:
  CImage* image;
  bool open = true;
};
