// The exports shared by the JPEG, TGA and PSD plug-ins. They live in this one object with
// the library entry, so that a plug-in whose DllMain calls vcxSharedDllMain carries them.
#include "plugins/shared/VcxExports.h"
#include <cstdio>
#include <cstring>
#include "plugins/sdk/VCXPlugin.h"
#include "plugins/shared/VcxShared.h"

#define VCX_EXPORT extern "C" __declspec(dllexport)

namespace {

const VcxPluginInfo* g_info = nullptr;

}  // namespace

const char* const vcxHomepage = "https://vellumcraft.example.org/";

BOOL vcxSharedDllMain(HINSTANCE instance, DWORD reason, const VcxPluginInfo* info) {
  if (reason == DLL_PROCESS_ATTACH)
    g_info = info;
  return vcxDllMain(instance, reason);
}

HINSTANCE vcxGetPluginModule() {
  return vcxInstance;
}

const VcxPluginInfo* vcxGetPluginInfo() {
  return g_info;
}

void vcxFormatAboutText(char* buffer, size_t size, const char* description, uint32_t version,
                        const char* notice) {
  if (!buffer || size == 0)
    return;
  const unsigned major = version >> 24;
  const unsigned minor = (version >> 16) & 255;
  const unsigned build = (version >> 8) & 255;
  const unsigned revision = version & 255;
  int n = std::snprintf(buffer, size, "%s\nVersion %u.%u", description ? description : "", major,
                        minor);
  auto append = [&](const char* format, auto value) {
    if (n >= 0 && static_cast<size_t>(n) < size)
      n += std::snprintf(buffer + n, size - n, format, value);
  };
  if (build || revision)
    append(".%u", build);
  if (revision)
    append(".%u", revision);
  append("\n%s", notice ? notice : "");
}

VCX_EXPORT uint32_t __cdecl VCXGetSDKVersion() {
  return VCX_SDK_VERSION;
}

VCX_EXPORT uint32_t __cdecl VCXGetVersion() {
  return vcxGetModuleVersion(vcxInstance);
}

VCX_EXPORT void __cdecl VCXGetName(char* buffer, int size) {
  if (!buffer || size <= 0)
    return;
  std::strncpy(buffer, g_info ? g_info->name : "", static_cast<size_t>(size));
  buffer[size - 1] = 0;
}

// This generation has no error texts: a buffer only receives an empty string.
VCX_EXPORT int __cdecl VCXGetLastError(char* buffer, int size) {
  if (buffer && size > 0)
    buffer[0] = 0;
  return vcxGetLastErrorCode();
}

VCX_EXPORT int __cdecl VCXLink(int, uint32_t, VCXGetServiceProc getService) {
  return vcxLinkHostServices(getService);
}

// Each plug-in has one file type.
VCX_EXPORT VCXFileType* __cdecl VCXGetNextImportableFileType() {
  return nullptr;
}

VCX_EXPORT int __cdecl VCXAbout(HWND parent) {
  try {
    return vcxShowAboutBox(parent);
  } catch (...) {
    return 0;
  }
}
