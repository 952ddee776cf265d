#pragma once
// Painting pieces shared by the controls that draw themselves into an offscreen buffer:
// frame kinds, bevelled faces, arrow triangles and GDI fonts made from font descriptions.
#include <windows.h>
#include "wul/WULColor.h"
#include "wul/WULDraw.h"
#include "wul/WULFont.h"
#include "wul/WULOffscreen.h"

class CWULInteractor;

// Frame kinds: 0 none, 1 a line, 2 a bevel, 3 bevel and line.
enum {
  WUL_FRAME_NONE = 0,
  WUL_FRAME_LINE = 1,
  WUL_FRAME_BEVEL = 2,
  WUL_FRAME_BEVEL_LINE = 3
};

// The thickness of a frame kind: 0, 1, 1 or 2; unknown kinds have none.
int wulFrameInset(int kind);
// A line in the look's dark shade, a sunken bevel in the shades of base, or both.
void wulPaintFrameKind(HDC dc, const RECT* rect, int kind, const CWULColor& base);
// A button face: raised (light above and left) or pressed (dark above and left), the
// inside filled with the base colour of the set.
void wulPaintFace(HDC dc, const RECT* rect, CWULPenBrush& pens, bool pressed);
// A filled triangle centred in area, pointing up or down, height rows high and
// 2 x height - 1 wide at its base.
void wulPaintArrow(HDC dc, const RECT* area, bool up, int height, const CWULColor& color);
// The parent's effective colour, or the own one without a parent.
CWULColor& wulParentColor(CWULInteractor* interactor);
// The GDI font of a description; null when it cannot be made. The caller deletes it.
HFONT wulCreateFont(const CWULFont& font);
// Fills a rectangle with a colour through a temporary brush.
void wulFillColor(HDC dc, const RECT* rect, const CWULColor& color);
// Gives the buffer the size, keeping it when the size is the same; false when empty.
bool wulFitBuffer(CWULOffscreenBuffer& buffer, int width, int height);
