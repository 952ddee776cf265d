#pragma once
// The "PSD Import" dialog: layers or the composite.
#include <windows.h>

enum { PSD_SOURCE_LAYERS = 0, PSD_SOURCE_COMPOSITE = 1 };

// Shows the dialog owned by parent, starting at source; true with the chosen source on
// OK, false on Cancel. The mouse cursor is put back afterwards.
bool ShowPsdImportDialog(HWND parent, int& source);
