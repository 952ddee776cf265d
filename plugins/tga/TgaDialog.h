#pragma once
// The "TGA Options" dialog of the export.
#include <windows.h>
#include <cstdint>
#include "plugins/tga/TgaFile.h"

// Shows the dialog for an image of depth bits per pixel (8, 24 or 32), owned by parent,
// starting from options; true with the chosen options on OK, false on Cancel. The mouse
// cursor is put back afterwards.
bool TgaShowOptionsDialog(HWND parent, uint32_t depth, TgaOptions& options);
