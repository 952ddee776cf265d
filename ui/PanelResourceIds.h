#pragma once
// Bitmap resources of the dock's panels, the tool panes' option buttons and the file dialogs'
// preview pane (usable from .rc files).

// Preview panel buttons.
#define IDB_PREVIEW_CHEQUERED_DOWN 317
#define IDB_PREVIEW_CHEQUERED 319
#define IDB_PREVIEW_ZOOM_IN 326
#define IDB_PREVIEW_ZOOM_OUT 327

// Project and image panel buttons.
#define IDB_PANEL_NEW_DISABLED 311
#define IDB_PANEL_NEW 312
#define IDB_PANEL_DELETE 359
#define IDB_PANEL_DELETE_DISABLED 360
#define IDB_PANEL_PROPERTIES 361
#define IDB_PANEL_PROPERTIES_DISABLED 362
#define IDB_LAYER_DUPLICATE 363
#define IDB_LAYER_MERGE_DOWN 364
#define IDB_LAYER_MOVE_FORWARD 365
#define IDB_LAYER_MOVE_BACKWARD 366
#define IDB_IMAGE_MOVE_UP 369
#define IDB_IMAGE_MOVE_DOWN 370

// The visibility mark of the layer list's items.
#define IDB_LAYER_VISIBLE 313

// Color panel buttons.
#define IDB_PALETTE_LOCK_DISABLED 330
#define IDB_PALETTE_LOCK 340
#define IDB_SWATCHES_NEW_DISABLED 353
#define IDB_SWATCHES_NEW 354
#define IDB_SWATCHES_LOAD 355
#define IDB_SWATCHES_SAVE 356
#define IDB_SWATCHES_ADD_SECONDARY_DISABLED 357
#define IDB_SWATCHES_ADD_PRIMARY_DISABLED 358
#define IDB_SWATCHES_ADD_PRIMARY 367
#define IDB_SWATCHES_ADD_SECONDARY 368

// Option buttons of the tool panes: each choice's picture, then its picture while it is the
// chosen one. The Gradient's choices have one picture each.
#define IDB_SELECTION_RECTANGULAR 410
#define IDB_SELECTION_RECTANGULAR_CHECKED 411
#define IDB_SELECTION_ELLIPTICAL 412
#define IDB_SELECTION_ELLIPTICAL_CHECKED 413
#define IDB_GRADIENT_LINEAR 420
#define IDB_GRADIENT_RADIAL 421
#define IDB_RECTANGLE_SOLID 440
#define IDB_RECTANGLE_SOLID_CHECKED 441
#define IDB_RECTANGLE_OUTLINE 442
#define IDB_RECTANGLE_OUTLINE_CHECKED 443
#define IDB_RECTANGLE_FILLED 444
#define IDB_RECTANGLE_FILLED_CHECKED 445
#define IDB_ELLIPSE_SOLID 450
#define IDB_ELLIPSE_SOLID_CHECKED 451
#define IDB_ELLIPSE_OUTLINE 452
#define IDB_ELLIPSE_OUTLINE_CHECKED 453
#define IDB_ELLIPSE_FILLED 454
#define IDB_ELLIPSE_FILLED_CHECKED 455

// The check boxes "Enable preview" and "Chequered background" of the file dialogs' preview pane.
#define IDB_FILE_PREVIEW 314
#define IDB_FILE_PREVIEW_CHEQUERED 315
