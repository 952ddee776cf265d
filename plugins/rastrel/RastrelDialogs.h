#pragma once
// The plug-in's modal dialogs: the BMP and ICO/CUR export options and the chooser of one
// image out of an executable. Each exists at most once at a time (a second is error 1);
// their choices live in process-wide settings until the library is unloaded.
#include <windows.h>
#include <cstdint>
#include "plugins/rastrel/BmpOptionsDialog.h"
#include "plugins/rastrel/IcoFile.h"
#include "plugins/rastrel/PeIcons.h"
#include "plugins/sdk/VCXRecords.h"

// What the chooser remembers.
struct ImageChooserOptions {
  int32_t kind = 1;  // 1 icons, 2 cursors, 3 bitmaps
  bool chequered = false;
};
extern ImageChooserOptions g_ChooserOptions;

// True for OK; the directory's list is left sorted as shown.
bool IconOptionsDialog(HWND parent, IconDirectory& directory);
// The chosen resource, or null for Cancel.
ResourceItem* ImageChooserDialog(HWND parent, ResourceModule* module);
