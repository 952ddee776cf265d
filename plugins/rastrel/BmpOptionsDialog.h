#pragma once
// The "BMP options" dialog: true for OK, which stores the choices in g_BmpOptions. A second
// one while it is open is error 1.
#include <windows.h>
#include "plugins/sdk/VCXRecords.h"

// 1, 4 and 8 bits.
bool BmpOptionsDialog(HWND parent);
// 24 bits.
bool BmpOptionsDialog(HWND parent, VCXLayeredImage* image);
// 32 bits.
bool BmpOptions32Dialog(HWND parent);
