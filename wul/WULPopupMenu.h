#pragma once
// Menus popped up beside a rectangle or at a point; each runs the shell's modal loop and
// returns the chosen item's value, 0 when nothing was chosen.
#include <windows.h>
#include <cstdint>

class CWULMenu;

// flags are the shell's placement flags (WUL_SHELL_ in WULMenuShell.h). 0 for a menu that
// is shown elsewhere; throws CWULError 5 when no shell can be made.
int32_t WULPopupMenuEx(CWULMenu* menu, const RECT* rect, int flags);
// At the point, opening right and down from it.
int32_t WULPopupMenu(CWULMenu* menu, int x, int y);
int32_t WULPopupMenuAtCursor(CWULMenu* menu);
