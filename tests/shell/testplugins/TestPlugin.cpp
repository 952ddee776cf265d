// A plug-in for the loader's tests, built once per variant; each variant breaks or
// changes one step of the binding.
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "plugins/sdk/VCXRecords.h"

#define EXPORT extern "C" __declspec(dllexport)

namespace {

VCXGetServiceProc g_getService = nullptr;
int g_nextImport = 0;

#if defined(TEST_PLUGIN_Good)
const char kName[] = "Test Good";
struct Type {
  int id;
  const char* description;
  const char* extensions[2];
};
const Type kImports[] = {{1, "Zeta pictures", {"ZZZ", "shr"}}, {2, "Beta pictures", {"bbb", nullptr}}};
const Type kExports[] = {{1, "Zeta pictures", {"zzz", nullptr}}};
const char kMagic[] = "GOOD";
#else
const char kName[] = "Test First Only";
struct Type {
  int id;
  const char* description;
  const char* extensions[2];
};
const Type kImports[] = {{7, "Alpha pictures", {"shr", nullptr}}, {8, "Never listed", {"nev", nullptr}}};
const Type kExports[] = {{7, "Alpha pictures", {"shr", nullptr}}};
const char kMagic[] = "FIRST";
#endif

VCXFileType* MakeType(const Type& t) {
  auto create = reinterpret_cast<VCXCreateFileTypeService>(g_getService(VCX_SC_CREATE_FILE_TYPE));
  if (!create)
    return nullptr;
  VCXFileType request;
  std::memset(&request, 0, sizeof request);
  request.headerSize = sizeof request;
  request.id = t.id;
  std::snprintf(request.description, sizeof request.description, "%s", t.description);
  request.extensionCount = t.extensions[1] ? 2 : 1;
  VCXFileType* type = create(&request);
  if (!type)
    return nullptr;
  for (int i = 0; i < request.extensionCount; ++i)
    std::snprintf(vcxGetFileTypeExtensions(type)[i].extension, 256, "%s", t.extensions[i]);
  return type;
}

}  // namespace

EXPORT uint32_t __cdecl VCXGetSDKVersion(void) {
#if defined(TEST_PLUGIN_OldSdk)
  return 0x8FFFF;
#else
  return 0x90000;
#endif
}

EXPORT uint32_t __cdecl VCXGetFeatures(void) { return 12; }

EXPORT void __cdecl VCXGetName(char* buffer, int len) {
#if defined(TEST_PLUGIN_NoName)
  (void)len;
  buffer[0] = 0;
#else
  std::snprintf(buffer, len, "%s", kName);
#endif
}

EXPORT uint32_t __cdecl VCXGetVersion(void) { return 0x01020300; }

#if !defined(TEST_PLUGIN_MissingExport)
EXPORT int __cdecl VCXGetLastError(char* buffer, int len) {
  // Tells its failure in its own words only when asked to.
  if (std::getenv("VC_TEST_PLUGIN_TEXT"))
    std::snprintf(buffer, len, "%s", std::getenv("VC_TEST_PLUGIN_TEXT"));
  return std::getenv("VC_TEST_PLUGIN_CODE") ? std::atoi(std::getenv("VC_TEST_PLUGIN_CODE")) : 7;
}
#endif

EXPORT int __cdecl VCXLink(int, uint32_t sdkVersion, VCXGetServiceProc getService) {
  g_getService = getService;
#if defined(TEST_PLUGIN_LinkFails)
  return 0;
#else
  return sdkVersion >= 0x90000 && getService ? 1 : 0;
#endif
}

EXPORT VCXFileType* __cdecl VCXGetFirstImportableFileType(void) {
  g_nextImport = 1;
  return MakeType(kImports[0]);
}

#if defined(TEST_PLUGIN_Good)
EXPORT VCXFileType* __cdecl VCXGetNextImportableFileType(void) {
  if (g_nextImport >= int(sizeof kImports / sizeof kImports[0]))
    return nullptr;
  return MakeType(kImports[g_nextImport++]);
}
#endif

EXPORT VCXFileType* __cdecl VCXGetFirstExportableFileType(void) { return MakeType(kExports[0]); }
EXPORT VCXFileType* __cdecl VCXGetNextExportableFileType(void) { return nullptr; }

// Claims files that start with its magic word; the text names the plug-in.
EXPORT int __cdecl VCXCanImport(const char* path, int* outType, VCXLayeredImage** preview, char* text, int size) {
  FILE* f = std::fopen(path, "rb");
  if (!f)
    return 0;
  char head[16] = {0};
  size_t n = std::fread(head, 1, sizeof head - 1, f);
  std::fclose(f);
  (void)n;
  if (std::strncmp(head, kMagic, std::strlen(kMagic)) != 0)
    return 0;
  *outType = kImports[0].id;
  if (preview)
    *preview = nullptr;
  if (text && size > 0)
    std::snprintf(text, size, "%s", kName);
  return 1;
}
