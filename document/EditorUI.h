#pragma once
// What the document model, the tools and the commands ask of the editor's user interface:
// the main view, the status bar, the project and image panels, the preview, the toolbox,
// the tool panel's option host, the main window's questions, dialogs and cursors. The main
// window installs its own; until then (and in tests) the default answers: zoom 1 with the
// image at the client origin, normal channels, the view centred on the current image, the
// grid of the current layer, no pointer, no cursors or pictures of its own, a selected image
// made current at once, the system message box for the delete question, no file dialogs,
// and nothing to invalidate, show or refresh.
#include <windows.h>
#include <cstdint>
#include "document/Color.h"
#include "document/Geometry.h"
#include "document/Image.h"
#include "wul/WULString.h"

class CLayer;
class CProject;
class CWULImage;
class CWULInteractor;

// What the export dialog's user chose.
struct CExportChoice {
  CWULString folder;
  CWULString fileName;
  int32_t typeId = 0;
  CWULString pluginName;
};

class CEditorUI {
public:
  virtual ~CEditorUI();

  // Main view. Rectangles and positions are in 24.8 image units unless said otherwise.
  virtual int32_t GetZoomFactor();
  // 0 normal, 1 colour only, 2 alpha only.
  virtual int32_t GetChannelMode();
  // Zoom, channel mode and the image point (24.8) under the view's centre.
  virtual CViewState GetViewState();
  // The client point of an image position.
  virtual Point ImageToClientPoint(const Point& pos);
  // The displayed colour at a client point; false outside the client area or the image.
  virtual bool PickColorAt(const Point& client, CColor& color);
  // Null: the whole image.
  virtual void InvalidateImageRect(const Rect* rect);
  // Null: the whole tool overlay.
  virtual void InvalidateToolOverlayRect(const Rect* rect);
  virtual void RefitToImage();
  // Grid step in 24.8 units: 32 on a visible supersampled raster layer, else 256, doubled
  // until it covers at least one screen pixel.
  virtual int32_t GetNudgeStep();
  // The pointer's image position (24.8); false when the view cannot tell.
  virtual bool GetCursorImagePoint(Point& pos);

  // Status bar.
  virtual void SetHelpText(const char* text);
  virtual void SetPixelPosition(int32_t x, int32_t y);
  // A 24.8 extent, shown with three decimals.
  virtual void SetPosition(int32_t x, int32_t y);
  virtual void SetPositionInt(int32_t x, int32_t y);
  virtual void ClearGeometry();
  // The size pane: whole pixels, or 24.8 values shown with three decimals.
  virtual void SetSize(int32_t width, int32_t height);
  virtual void SetSizeFixed(int32_t width, int32_t height);
  virtual void SetColor(CColor color);
  virtual void ClearColor();

  // Preview, toolbox and command states after an edit.
  virtual void RefreshPreview();
  virtual void UpdateCommandStates();
  virtual void UpdateToolboxColors();

  // The image panel's layer items: changes come inside a begin/end bracket.
  virtual void BeginLayerItems();
  virtual void EndLayerItems();
  virtual void AddLayerItem(CLayer* layer);
  // Before the layer is deleted.
  virtual void RemoveLayerItem(CLayer* layer);
  // The item follows its layer to its new place in the image.
  virtual void MoveLayerItem(CLayer* layer);
  virtual void RefreshLayerItem(CLayer* layer);
  // Every layer changed.
  virtual void RefreshLayerItems();
  // The layer is already the image's active layer.
  virtual void SelectLayerItem(CLayer* layer);

  // The project panel's image items: changes come inside a begin/end bracket.
  virtual void BeginProjectItems();
  virtual void EndProjectItems();
  virtual void AddImageItem(CImage* image);
  virtual void RemoveImageItem(CImage* image);
  // The item follows its image to its new place in the project.
  virtual void MoveImageItem(CImage* image);
  virtual void RefreshImageItem(CImage* image);
  // Selects the image's item, which makes the image current.
  virtual void SelectImageItem(CImage* image);

  // The option host of the tool panel.
  virtual bool HasOptionHost();
  virtual bool IsFocusInOptionHost();
  virtual void ClearOptionHost();
  // Lays out the new controls and creates their windows when the host has one.
  virtual void LayoutOptionHost();
  virtual void FocusMainWindow();
  // The window the active tool builds its option controls in; null while there is none.
  virtual CWULInteractor* GetOptionHostWindow();

  // The main window: the owner of the plug-ins' windows, its questions and dialogs.
  virtual HWND GetMainWindow();
  // "Delete the image?": true when the user agrees.
  virtual bool ConfirmDeleteImage();
  // The open dialog "Image import" starting in startFolder; false when cancelled.
  virtual bool RunImportDialog(const char* startFolder, CWULString& folder, CWULString& fileName);
  // The save dialog "Image export" with the file name, folder and type preselected.
  virtual bool RunExportDialog(const char* fileName, const char* startFolder, int32_t typeId,
                               const char* pluginName, CExportChoice& choice);
  // One of the images of an imported file; null cancels.
  virtual CImage* ChooseImportedImage(CProject* project);

  // Cursors, pictures and keys.
  virtual HCURSOR GetAppCursor(int32_t resourceId);
  // A shared picture of the program by its bitmap resource number; null when there is none.
  virtual CWULImage* GetAppPicture(int32_t resourceId);
  virtual void BeginWaitCursor();
  // Lets the window under the pointer ask for its cursor again.
  virtual void RestoreCursor();
  virtual bool IsKeyDown(int32_t virtualKey);
};

CEditorUI* GetEditorUI();
// Null restores the default. Not owned.
void SetEditorUI(CEditorUI* ui);

// The busy state of the long commands: the wait cursor until the scope ends.
class CBusyScope {
public:
  CBusyScope() { GetEditorUI()->BeginWaitCursor(); }
  ~CBusyScope() { GetEditorUI()->RestoreCursor(); }
  CBusyScope(const CBusyScope&) = delete;
  CBusyScope& operator=(const CBusyScope&) = delete;
};

// One of the host's update brackets (the layer or the project items), closed on every way out:
// End closes it where the code says and passes a failure of the end on; otherwise the
// destructor closes it and swallows such a failure.
template <void (CEditorUI::*Begin)(), void (CEditorUI::*Finish)()>
class CEditorUIScope {
public:
  CEditorUIScope() : ui(GetEditorUI()) { (ui->*Begin)(); }
  ~CEditorUIScope() {
    try {
      End();
    } catch (...) {
    }
  }
  void End() {
    if (!open)
      return;
    open = false;
    (ui->*Finish)();
  }
  CEditorUIScope(const CEditorUIScope&) = delete;
  CEditorUIScope& operator=(const CEditorUIScope&) = delete;

private:
  CEditorUI* ui;
  bool open = true;
};

using CLayerItemsScope = CEditorUIScope<&CEditorUI::BeginLayerItems, &CEditorUI::EndLayerItems>;
using CProjectItemsScope = CEditorUIScope<&CEditorUI::BeginProjectItems, &CEditorUI::EndProjectItems>;

// Application cursor resources the tools ask for.
enum {
  CURSOR_TOOL_DEFAULT = 200,
  CURSOR_GRADIENT = 211,
  CURSOR_SHAPE = 212,
  CURSOR_WAND_REPLACE = 216,
  CURSOR_WAND_ADD = 217,
  CURSOR_WAND_SUBTRACT = 218,
  CURSOR_WAND_INTERSECT = 219,
  CURSOR_PICKER = 221,
  CURSOR_BRUSH_LARGE = 222,
  CURSOR_BRUSH_ODD = 223,
  CURSOR_BRUSH_EVEN = 224,
  CURSOR_FLOOD_FILL = 225
};
