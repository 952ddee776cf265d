// The exports shared by the JPEG, TGA and PSD plug-ins. They live in this one object with
// the library entry, so that a plug-in whose DllMain calls vcxSharedDllMain carries them.
#include "plugins/shared/VcxExports.h"
#include <cstdint>
#include <cstring>
#include "plugins/sdk/VCXPlugin.h"
#include "plugins/shared/VcxShared.h"

#define VCX_EXPORT extern "C" __declspec(dllexport)

namespace {

const VcxPluginInfo* g_info = nullptr;

}  // namespace

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
    return vcxShowPluginAboutBox(parent);
  } catch (...) {
    return 0;
  }
}
