#pragma once
// The Color panel: the application's swatch set as a grid of colour cells on its
// "Swatches" page and the current image's palette on its "Palette" page. Cells are picked
// as drawing colours by clicking; swatches are edited by double-clicking and moved, copied
// or deleted by dragging.
#include <windows.h>
#include <cstdint>
#include "document/Color.h"

class CVCFoldingPanel;
class CWULCanvasOverlay;
class CWULMenu;
class CWULOffscreenBuffer;
class CWULPageControl;
class CWULPopupBuffer;
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
// Grid geometry: 14 x 14 cells on a pitch of 15, after a separator at (0, 0).
enum { CELL_SIZE = 14, CELL_PITCH = 15 };
// Press states shared by both grids.
enum { PRESS_IDLE = 0, PRESS_PRESSED = 1, PRESS_DRAGGING = 2 };
// The colour-pick cursor shown over a cell.
enum { CURSOR_PICK = 221 };
// Values of the New swatch set menu's items.
enum { NEW_SET_EMPTY = 1, NEW_SET_STANDARD = 2 };

// Null while the panel does not exist.
CWULPageControl* GetPages();
CWULStandardBarItem* GetButton(int which);
CWULTiledCanvas* GetSwatchGrid();
CWULTiledCanvas* GetPaletteGrid();
CWULMenu* GetNewSetMenu();
// The window that follows the pointer while a swatch is dragged; null otherwise.
CWULPopupBuffer* GetDragWindow();
int32_t GetPressState();

// Grid geometry for a grid (either one): its columns, the content height for a number of
// entries, and the entry under a client point (-1 on a separator or past the last entry).
int32_t GetColumns(CWULTiledCanvas* grid);
int32_t GetContentHeight(CWULTiledCanvas* grid, int32_t count);
int32_t EntryAt(CWULTiledCanvas* grid, int32_t x, int32_t y);

void UpdateSwatchGridHeight();
// The same, scrolled to the top.
void UpdateSwatchGrid();
void UpdatePalettePage();
void Refresh();

// The grids' overlay paint callback.
void PaintGrid(CWULCanvasOverlay* overlay, CWULOffscreenBuffer* buffer, CWULOffscreenBuffer* previous,
               const RECT* rect);
// Describe the pointer at a client point of a grid in the status bar.
void UpdateSwatchStatus(int32_t x, int32_t y);
void UpdatePaletteStatus(int32_t x, int32_t y);

}  // namespace ColorPanel

// Builds the panel in the panel master. Shows "Color panel creation failed" and passes a
// failure on.
void CreateColorPanel();

// The Load and Save buttons' commands: a file dialog, then LoadSwatchSet / SaveSwatchSet.
void LoadSwatchSetCommand();
void SaveSwatchSetCommand();
