#pragma once
// The program's icons, cursors and shared pictures, loaded once at start-up.
#include <windows.h>
#include <cstdint>

class CWULImage;

// Shared pictures that live from LoadAppCursors to FreeAppCursors.
enum {
  APP_IMAGE_MESSAGE_ERROR,        // bitmaps 400 to 403
  APP_IMAGE_MESSAGE_QUESTION,
  APP_IMAGE_MESSAGE_WARNING,
  APP_IMAGE_MESSAGE_INFORMATION,
  APP_IMAGE_VISIBLE,              // 313
  APP_IMAGE_VISIBLE_GREY,         // a grey-scale copy of 313
  APP_IMAGE_SELECTOR_FIRST,       // 410 to 413
  APP_IMAGE_GRADIENT_FIRST = APP_IMAGE_SELECTOR_FIRST + 4,   // 420, 421
  APP_IMAGE_RECTANGLE_FIRST = APP_IMAGE_GRADIENT_FIRST + 2,  // 440 to 445
  APP_IMAGE_ELLIPSE_FIRST = APP_IMAGE_RECTANGLE_FIRST + 6,   // 450 to 455
  APP_IMAGE_PREVIEW_FIRST = APP_IMAGE_ELLIPSE_FIRST + 6,     // 314, 315
  APP_IMAGE_COUNT = APP_IMAGE_PREVIEW_FIRST + 2
};

// Clears the table, then loads the icons, the cursors and the pictures. A picture whose
// resource the program does not carry stays null.
void LoadAppCursors();
// Destroys the icons and deletes the pictures; the cursors are shared and stay.
void FreeAppCursors();

// 32 for the big icon, anything else for the small one; null before LoadAppCursors.
HICON GetAppIcon(int size);
// An application cursor by resource number (200 to 225), or IDC_ARROW / IDC_WAIT of the
// system; the arrow for one the program lacks.
HCURSOR GetAppCursor(int32_t resourceId);
HCURSOR GetArrowCursor();
HCURSOR GetWaitCursor();
// Null when not loaded.
CWULImage* GetAppImage(int index);
// One of the pictures above by its bitmap resource number; null when not loaded.
CWULImage* GetAppPicture(int32_t resourceId);
// A new picture of one of the program's bitmap resources, or null when it lacks it.
CWULImage* LoadProgramPicture(int32_t resourceId);
