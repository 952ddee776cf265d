#pragma once
// The "Color" dialog: edits one colour with alpha through a hue bar, a saturation/value
// field, an alpha bar and numeric fields in an RGB or an HSL mode. Modal, opened by the
// mouse pointer; the colour is written back only on OK.
#include "document/Color.h"

class CWULInteractor;

// Shows the dialog over parent (may be null) on *color; true when it closed with OK,
// after *color took the chosen colour. False, with no dialog, while one is already open
// or when color is null.
bool ColorPickerDialog(CColor* color, CWULInteractor* parent);
