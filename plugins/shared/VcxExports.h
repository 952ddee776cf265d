#pragma once
// The exports that the JPEG, TGA and PSD plug-ins share (SDK version, version, name, last
// error, link, the end of the import list, the About box) and their library entry.
#include <windows.h>

// What a plug-in tells the shared part about itself.
struct VcxPluginInfo {
  const char* name;         // "JPEG", "TGA", "PSD"
  const char* description;  // first line of the About box
  const char* notice;       // last line of the About box
};

// The library entry of a plug-in: keeps the module and the plug-in's facts, starts its
// framework copy on process attach and shuts it down on detach; FALSE makes loading fail.
BOOL vcxSharedDllMain(HINSTANCE instance, DWORD reason, const VcxPluginInfo* info);

// The plug-in's module and facts, kept by the entry.
HINSTANCE vcxGetPluginModule();
const VcxPluginInfo* vcxGetPluginInfo();

// The modal About box, owned by parent, with the plug-in's texts. Returns 0 when the box
// cannot be shown.
int vcxShowPluginAboutBox(HWND parent);
