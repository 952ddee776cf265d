#pragma once
// The font selection dialog: a small modal popup listing the system's font families with a
// sample of the highlighted one, returning the chosen family name.
#include <windows.h>
#include "wul/WULString.h"

class CWULAppWindow;
class CWULListBox;
class CWULPicture;
class CWULPushButton;

// Preselects the family that best matches name, shows sample (or "Sample") in the strip and,
// on OK, copies the chosen family into name. anchor (screen coordinates) places the dialog
// below it; null places it at the pointer. False when cancelled, and at once when the dialog
// is already open (which is brought forward instead).
bool SelectFontDialog(CWULString* name, const char* sample, const RECT* anchor);

// The open dialog's parts, for tests and the owner; null while no dialog is open.
CWULAppWindow* GetFontDialogWindow();
CWULListBox* GetFontDialogList();
CWULPicture* GetFontDialogSample();
CWULPushButton* GetFontDialogButton(bool ok);
