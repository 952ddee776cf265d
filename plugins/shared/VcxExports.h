#pragma once
// The exports that the JPEG, TGA and PSD plug-ins share (SDK version, version, name, last
// error, link, the end of the import list, the About box) and their library entry.
#include <windows.h>
#include <cstddef>
#include <cstdint>

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

// "%s\nVersion %u.%u", then ".%u" with the build when build or revision is non-zero, ".%u"
// with the revision when it is non-zero, then "\n%s" with the notice.
void vcxFormatAboutText(char* buffer, size_t size, const char* description, uint32_t version,
                        const char* notice);

// The maker's web address on the About box.
extern const char* const vcxHomepage;

// The modal About box, owned by parent; the texts are those the last VCXAbout set.
// Returns 0 when the box cannot be shown.
int vcxShowAboutBox(HWND parent);
