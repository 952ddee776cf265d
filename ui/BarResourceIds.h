#pragma once
// Bitmap resources of the toolbar, the status bar panes and the toolbox (usable from .rc files).

// Toolbar buttons.
#define IDB_TOOLBAR_NEW_DISABLED 301
#define IDB_TOOLBAR_NEW 302
#define IDB_TOOLBAR_OPEN 303
#define IDB_TOOLBAR_SAVE 304
#define IDB_TOOLBAR_PASTE 305
#define IDB_TOOLBAR_COPY 306
#define IDB_TOOLBAR_CUT 307
#define IDB_TOOLBAR_UNDO 308
#define IDB_TOOLBAR_REDO 309
#define IDB_TOOLBAR_ZOOM_IN 389
#define IDB_TOOLBAR_ZOOM_OUT 390
#define IDB_TOOLBAR_VIEW_NORMAL 392
#define IDB_TOOLBAR_VIEW_COLOR 393
#define IDB_TOOLBAR_VIEW_ALPHA 394

// Status bar pane icons.
#define IDB_STATUS_COLOR 371
#define IDB_STATUS_PIXEL 372
#define IDB_STATUS_GEOMETRY 373

// Toolbox tool buttons.
#define IDB_TOOL_SELECTION 322
#define IDB_TOOL_MAGIC_WAND 323
#define IDB_TOOL_MOVE 379
#define IDB_TOOL_COLOR_PICKER 380
#define IDB_TOOL_PENCIL 381
#define IDB_TOOL_BRUSH 382
#define IDB_TOOL_GRADIENT 383
#define IDB_TOOL_FLOOD_FILL 384
#define IDB_TOOL_ERASER 385
#define IDB_TOOL_TEXT 386
#define IDB_TOOL_RECTANGLE 387
#define IDB_TOOL_ELLIPSE 388

// Colour widget buttons: normal and hot pictures.
#define IDB_COLORS_RESET_HOT 374
#define IDB_COLORS_RESET 375
#define IDB_COLORS_SWAP_HOT 376
#define IDB_COLORS_SWAP 377
