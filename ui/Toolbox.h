#pragma once
// The toolbox at the left of the main window: the twelve tool buttons in two columns and,
// under them, the colour widget with the primary and secondary drawing colours and the
// buttons that reset and swap them.
#include <windows.h>
#include <cstdint>
#include "document/Color.h"

class CWULItemBar;
class CWULPanel;
class CWULPicture;
class CWULStandardBarItem;

// Builds the toolbox in the current default parent (the main window), then the colour
// widget. Shows "Toolbox creation failed" and passes a failure on.
void CreateToolbox();
void CreateColorWidget();

namespace Toolbox {

enum { TOOL_BUTTON_COUNT = 12 };

// Clicks the button of the tool with that id; false when there is none.
bool SelectTool(int32_t toolId);
// Paints both colour swatches again from the settings.
void UpdateColors();

// Null while the toolbox does not exist.
CWULPanel* GetPanel();
CWULItemBar* GetToolBar();
CWULStandardBarItem* GetToolButton(int index);
CWULPicture* GetColorWidget();
CWULStandardBarItem* GetResetButton();
CWULStandardBarItem* GetSwapButton();

// The widget's squares and corners for a widget width.
struct CSwatchLayout {
  RECT primary;
  RECT secondary;
  RECT primaryCorner;
  RECT secondaryCorner;
};
CSwatchLayout GetSwatchLayout(int width);

// The chequer cell colour moved towards the colour by the colour's alpha; opaque.
uint32_t TintChequerCell(CColor cell, CColor color);

// Paints a swatch (chequerboard blended with the colour, opaque corner, outline) into the
// picture's image.
void PaintSwatch(CWULPicture* picture, const RECT& square, const RECT& corner, CColor color);

// The callbacks, public for the tests.
void OnToolButtonClick(CWULStandardBarItem* item, CWULStandardBarItem* sender);
void OnResetColors(CWULStandardBarItem* item, CWULStandardBarItem* sender);
void OnSwapColors(CWULStandardBarItem* item, CWULStandardBarItem* sender);
// Describes the colour under a client point of the widget in the status bar.
void UpdateWidgetStatus(HWND window, int32_t x, int32_t y);

}  // namespace Toolbox
