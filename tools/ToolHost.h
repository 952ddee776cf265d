#pragma once
// What the tools ask of the main view, the status bar, the panels and the toolbox. The user
// interface installs its own host; until then (and in tests) the default host answers: zoom
// 1 with the image at the client origin, normal channels, no cursors of its own, nothing to
// invalidate, show or refresh.
#include <windows.h>
#include <cstdint>
#include "document/Color.h"
#include "document/Geometry.h"

class CImage;
class CLayer;
class CWULImage;
class CWULInteractor;

class CToolHost {
public:
  virtual ~CToolHost();

  // Main view. Rectangles and positions are in 24.8 image units unless said otherwise.
  virtual int32_t GetZoomFactor();
  // 0 normal, 1 colour only, 2 alpha only.
  virtual int32_t GetChannelMode();
  // The client point of an image position.
  virtual Point ImageToClientPoint(const Point& pos);
  // The displayed colour at a client point; false outside the client area or the image.
  virtual bool PickColorAt(const Point& client, CColor& color);
  // Null: the whole image.
  virtual void InvalidateImageRect(const Rect* rect);
  // Null: the whole tool overlay.
  virtual void InvalidateToolOverlayRect(const Rect* rect);
  virtual void RefitToImage();

  // Status bar.
  virtual void SetHelpText(const char* text);
  virtual void SetPixelPosition(int32_t x, int32_t y);
  // A 24.8 extent, shown with three decimals.
  virtual void SetPosition(int32_t x, int32_t y);
  virtual void SetPositionInt(int32_t x, int32_t y);
  virtual void ClearGeometry();
  virtual void SetColor(CColor color);
  virtual void ClearColor();

  // Panels, toolbox and command states after an edit.
  virtual void RefreshPreview();
  virtual void RefreshLayerItem(CLayer* layer);
  virtual void RefreshImageItem(CImage* image);
  virtual void UpdateCommandStates();
  virtual void UpdateToolboxColors();

  // The option host of the tool panel.
  virtual bool HasOptionHost();
  virtual bool IsFocusInOptionHost();
  virtual void ClearOptionHost();
  // Lays out the new controls and creates their windows when the host has one.
  virtual void LayoutOptionHost();
  virtual void FocusMainWindow();
  // The window the active tool builds its option controls in; null while there is none.
  virtual CWULInteractor* GetOptionHostWindow();

  // Cursors, pictures and keys.
  virtual HCURSOR GetAppCursor(int32_t resourceId);
  // A shared picture of the program by its bitmap resource number; null when there is none.
  virtual CWULImage* GetAppPicture(int32_t resourceId);
  // Lets the window under the pointer ask for its cursor again.
  virtual void RestoreCursor();
  virtual bool IsKeyDown(int32_t virtualKey);
};

CToolHost* GetToolHost();
// Null restores the default host. The host is not owned.
void SetToolHost(CToolHost* host);

// Application cursor resources the tools use.
enum {
  CURSOR_TOOL_DEFAULT = 200,
  CURSOR_PICKER = 221,
  CURSOR_BRUSH_LARGE = 222,
  CURSOR_BRUSH_ODD = 223,
  CURSOR_BRUSH_EVEN = 224
};
