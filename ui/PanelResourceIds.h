#pragma once
// Bitmap resources of the dock's panels (usable from .rc files).

// Preview panel buttons.
#define IDB_PREVIEW_CHEQUERED_DOWN 317
#define IDB_PREVIEW_CHEQUERED 319
#define IDB_PREVIEW_ZOOM_IN 326
#define IDB_PREVIEW_ZOOM_OUT 327
