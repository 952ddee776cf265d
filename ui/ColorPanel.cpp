#include "ui/ColorPanel.h"

CVCFoldingPanel* g_ColorPanel = nullptr;

namespace ColorPanel {

CWULPageControl* GetPages() { return nullptr; }
CWULStandardBarItem* GetButton(int) { return nullptr; }
CWULTiledCanvas* GetSwatchGrid() { return nullptr; }
CWULTiledCanvas* GetPaletteGrid() { return nullptr; }
void UpdateSwatchGridHeight() {}
void UpdateSwatchGrid() {}
void UpdatePalettePage() {}
void Refresh() {}

}  // namespace ColorPanel

void CreateColorPanel() {}
void LoadSwatchSetCommand() {}
void SaveSwatchSetCommand() {}
