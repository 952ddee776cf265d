#pragma once
// The Color panel: the application's swatch set as a grid of colour cells on its
// "Swatches" page and the current image's palette on its "Palette" page. Cells are picked
// as drawing colours by clicking; swatches are edited by double-clicking and moved, copied
// or deleted by dragging.
#include <cstdint>

class CVCFoldingPanel;
class CWULPageControl;
class CWULStandardBarItem;
class CWULTiledCanvas;

extern CVCFoldingPanel* g_ColorPanel;

namespace ColorPanel {

enum { PAGE_SWATCHES = 1, PAGE_PALETTE = 2 };
enum {
  BUTTON_NEW_SET,
  BUTTON_LOAD,
  BUTTON_SAVE,
  BUTTON_ADD_PRIMARY,
  BUTTON_ADD_SECONDARY,
  BUTTON_LOCK_PALETTE,
  BUTTON_COUNT
};

// Null while the panel does not exist.
CWULPageControl* GetPages();
CWULStandardBarItem* GetButton(int which);
CWULTiledCanvas* GetSwatchGrid();
CWULTiledCanvas* GetPaletteGrid();

void UpdateSwatchGridHeight();
// The same, scrolled to the top.
void UpdateSwatchGrid();
void UpdatePalettePage();
void Refresh();

}  // namespace ColorPanel

// Builds the panel in the panel master. Shows "Color panel creation failed" and passes a
// failure on.
void CreateColorPanel();

// The Load and Save buttons' commands: a file dialog, then LoadSwatchSet / SaveSwatchSet.
void LoadSwatchSetCommand();
void SaveSwatchSetCommand();
