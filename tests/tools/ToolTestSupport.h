#pragma once
// A recording user interface and a small current document for the tool tests.
#include <windows.h>
#include <cstdint>
#include <set>
#include <string>
#include <vector>
#include "document/EditorUI.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Project.h"
#include "document/Selection.h"
#include "shell/Settings.h"
#include "tools/CurrentImage.h"
#include "tools/WorkingCopies.h"

// Installs itself for its lifetime and records what the tools ask for.
class RecordingHost : public CEditorUI {
public:
  RecordingHost() { SetEditorUI(this); }
  ~RecordingHost() override { SetEditorUI(nullptr); }

  int32_t GetZoomFactor() override { return zoom; }
  int32_t GetChannelMode() override { return channelMode; }
  bool PickColorAt(const Point& client, CColor& color) override {
    pickedAt.push_back(client);
    if (!pickAnswers)
      return false;
    color = pickColor;
    return true;
  }
  void InvalidateImageRect(const Rect* rect) override {
    imageInvalidations.push_back(rect ? *rect : Rect());
  }
  void InvalidateToolOverlayRect(const Rect* rect) override {
    overlayInvalidations.push_back(rect ? *rect : Rect());
  }
  void RefitToImage() override { ++refits; }
  bool GetCursorImagePoint(Point& pos) override {
    ++pointerQueries;
    if (pointerIndex >= pointer.size())
      return false;
    pos = pointer[pointerIndex++];
    return true;
  }
  void SetHelpText(const char* text) override { helpText = text; }
  void SetPixelPosition(int32_t x, int32_t y) override {
    pixelPosition = Point{x, y};
    ++pixelPositions;
  }
  void SetPosition(int32_t x, int32_t y) override { Show(extent, extentFixed, extents, x, y, true); }
  void SetPositionInt(int32_t x, int32_t y) override { Show(extent, extentFixed, extents, x, y, false); }
  void ClearGeometry() override { ++geometryClears; }
  void SetSize(int32_t w, int32_t h) override { Show(size, sizeFixed, sizes, w, h, false); }
  void SetSizeFixed(int32_t w, int32_t h) override { Show(size, sizeFixed, sizes, w, h, true); }
  void SetColor(CColor color) override {
    shownColor = color;
    colorShown = true;
  }
  void ClearColor() override { colorShown = false; }
  void RefreshPreview() override { ++previewRefreshes; }
  void RefreshLayerItem(CLayer* layer) override { refreshedLayers.push_back(layer); }
  void RefreshImageItem(CImage* image) override { refreshedImages.push_back(image); }
  void UpdateCommandStates() override {
    ++commandStateUpdates;
    geometryClearedBeforeCommands = geometryClears > 0;
  }
  void UpdateToolboxColors() override { ++toolboxUpdates; }
  bool HasOptionHost() override { return optionHost; }
  bool IsFocusInOptionHost() override { return focusInOptionHost; }
  void ClearOptionHost() override { ++optionClears; }
  void LayoutOptionHost() override { ++optionLayouts; }
  void FocusMainWindow() override { ++mainWindowFocus; }
  HCURSOR GetAppCursor(int32_t resourceId) override {
    lastCursor = resourceId;
    return reinterpret_cast<HCURSOR>(static_cast<INT_PTR>(resourceId));
  }
  void RestoreCursor() override { ++cursorRestores; }
  bool IsKeyDown(int32_t virtualKey) override { return keys.count(virtualKey) != 0; }
  // The panels' update brackets, both ends counted.
  void BeginLayerItems() override { ++layerItems.begun; }
  void EndLayerItems() override { ++layerItems.ended; }
  void BeginProjectItems() override { ++projectItems.begun; }
  void EndProjectItems() override { ++projectItems.ended; }
  struct Brackets {
    int begun = 0;
    int ended = 0;
  };
  Brackets layerItems;
  Brackets projectItems;

  int32_t zoom = 1;
  int32_t channelMode = 0;
  std::set<int32_t> keys;
  bool pickAnswers = false;
  CColor pickColor;
  std::vector<Point> pickedAt;
  std::vector<Rect> imageInvalidations;
  std::vector<Rect> overlayInvalidations;
  int refits = 0;
  // Pointer positions handed out one per query.
  std::vector<Point> pointer;
  size_t pointerIndex = 0;
  int pointerQueries = 0;
  std::string helpText = "unset";
  Point pixelPosition;
  int pixelPositions = 0;
  Point extent;
  bool extentFixed = false;
  int extents = 0;
  int geometryClears = 0;
  Point size;
  bool sizeFixed = false;
  int sizes = 0;
  bool geometryClearedBeforeCommands = false;
  CColor shownColor;
  bool colorShown = false;
  int previewRefreshes = 0;
  std::vector<CLayer*> refreshedLayers;
  std::vector<CImage*> refreshedImages;
  int commandStateUpdates = 0;
  int toolboxUpdates = 0;
  bool optionHost = false;
  bool focusInOptionHost = false;
  int optionClears = 0;
  int optionLayouts = 0;
  int mainWindowFocus = 0;
  int32_t lastCursor = 0;
  int cursorRestores = 0;

private:
  // A status-bar pane: its value, whether it was shown as 24.8, and how often.
  static void Show(Point& pane, bool& fixed, int& count, int32_t x, int32_t y, bool asFixed) {
    pane = Point{x, y};
    fixed = asFixed;
    ++count;
  }
};

inline uint32_t PatternPixel(int32_t x, int32_t y, uint32_t seed) {
  return ((static_cast<uint32_t>(x) * 73856093u) ^ (static_cast<uint32_t>(y) * 19349663u) ^ seed) *
         2654435761u;
}

inline void FillPattern(CPixelArray& array, uint32_t seed) {
  for (int32_t y = 0; y < array.height; ++y)
    for (int32_t x = 0; x < array.width; ++x)
      array.SetPixel(x, y, PatternPixel(x, y, seed));
}

inline std::vector<uint32_t> PixelsOf(const CPixelArray& array) {
  return std::vector<uint32_t>(array.data, array.data + static_cast<size_t>(array.width) * array.height);
}

// A current project with one image of one raster layer (filled with a pattern), and the
// working copies taken from it.
class TestDocument {
public:
  TestDocument(int32_t width, int32_t height, bool supersampled = false, uint32_t seed = 7) {
    project = new CProject();
    image = AddImage(width, height);
    layer = new CRasterLayer();
    image->AddLayer(layer);
    if (supersampled)
      layer->SetSupersampling(true);
    FillPattern(*layer->GetPixelArray(), seed);
    if (supersampled)
      layer->Update(nullptr);
    image->SetActiveLayer(layer);
    image->UpdateAll();
    project->SetCurrentImage(image);
    SetCurrentProject(project);
    ResyncWorkingCopies();
  }
  ~TestDocument() {
    SetCurrentProject(nullptr);
    ResyncWorkingCopies();
    delete project;
  }
  TestDocument(const TestDocument&) = delete;
  TestDocument& operator=(const TestDocument&) = delete;

  CImage* AddImage(int32_t width, int32_t height) {
    CImage* added = new CImage();
    added->SetSize(width, height);
    added->SetTargetFormat(CImage::FORMAT_32BIT_ARGB);
    project->AddImage(added);
    return added;
  }

  CProject* project;
  CImage* image;
  CRasterLayer* layer;
};

inline void SetToolSizes(uint32_t pencil, uint32_t eraser) {
  g_Settings.drawingToolsPencilSize->SetValue(pencil);
  g_Settings.drawingToolsEraserSize->SetValue(eraser);
}
