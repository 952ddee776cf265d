#pragma once
// The primary (left button) and secondary (right button) drawing colours, kept in the
// settings "Drawing.Colors.Primary" and "Drawing.Colors.Secondary".
#include <cstdint>
#include "document/Color.h"

CColor GetPrimaryColor();
CColor GetSecondaryColor();
// Stores the colour and repaints the toolbox's colour swatches.
void SetPrimaryColor(CColor color);
void SetSecondaryColor(CColor color);
// The colour of a mouse button: 1 primary, 2 secondary (transparent black otherwise).
CColor GetStrokeColor(int32_t button);
