// The exports of the Rastrel plug-in: they dispatch to the readers and writers and keep
// every failure in the library's error state.
#include <windows.h>
#include <memory>
#include "plugins/rastrel/BmpFile.h"
#include "plugins/rastrel/IcoFile.h"
#include "plugins/rastrel/PeIcons.h"
#include "plugins/rastrel/RastrelResources.h"
#include "plugins/sdk/VCXAbout.h"
#include "plugins/sdk/VCXPlugin.h"
#include "plugins/sdk/VCXRecordAccess.h"
#include "plugins/sdk/VCXStream.h"

#define VCX_EXPORT extern "C" __declspec(dllexport)

namespace {

enum { TYPE_BMP = 1, TYPE_ICON = 2, TYPE_CURSOR = 3, TYPE_EXE = 4 };

const VCXFileTypeRow kImportTypes[] = {
    {TYPE_BMP, "Windows bitmap", {"BMP", nullptr}},
    {TYPE_ICON, "Windows icon", {"ICO", nullptr}},
    {TYPE_CURSOR, "Windows cursor", {"CUR", nullptr}},
    {TYPE_EXE, "Windows executable", {"EXE", "DLL", "OCX", nullptr}},
    {TYPE_CURSOR, "Windows icon library", {"ICL", nullptr}},
};
const VCXFileTypeRow kExportTypes[] = {
    {TYPE_BMP, "Windows bitmap", {"BMP", nullptr}},
    {TYPE_ICON, "Windows icon", {"ICO", nullptr}},
};

const char kDescription[] = "Windows bitmap, icon and cursor import/export";

int g_importCursor = 0;
int g_exportCursor = 0;

}  // namespace

VCX_EXPORT uint32_t __cdecl VCXGetSDKVersion() {
  return VCX_SDK_VERSION;
}

VCX_EXPORT uint32_t __cdecl VCXGetFeatures() {
  return VCX_FEATURE_IMPORT | VCX_FEATURE_EXPORT;
}

VCX_EXPORT void __cdecl VCXGetName(char* buf, int len) {
  vcxStrCopy(buf, "Rastrel", len);
}

VCX_EXPORT uint32_t __cdecl VCXGetVersion() {
  return vcxGetModuleVersion(vcxInstance);
}

VCX_EXPORT int __cdecl VCXGetLastError(char* buf, int len) {
  return vcxGetLastError(buf, len);
}

VCX_EXPORT int __cdecl VCXLink(int, uint32_t, VCXGetServiceProc getService) {
  return vcxLinkServices(getService);
}

// Without its picture the box is not shown.
VCX_EXPORT int __cdecl VCXAbout(HWND parent) {
  return vcxRunExport(0, [&]() -> int {
    CWULImage* picture = vcxLoadPicture(vcxInstance, RASTREL_IDB_ABOUT_PICTURE);
    if (!picture)
      return 0;
    CVCXPictureHold hold(picture);
    return vcxShowAboutBox(parent, "Rastrel", kDescription, vcxGetModuleVersion(vcxInstance),
                           nullptr, picture,
                           LoadCursorA(vcxInstance, MAKEINTRESOURCEA(RASTREL_IDC_LINK_HAND)));
  });
}

VCX_EXPORT VCXFileType* __cdecl VCXGetNextImportableFileType() {
  return vcxNextFileType(kImportTypes, sizeof kImportTypes / sizeof kImportTypes[0],
                         g_importCursor);
}

VCX_EXPORT VCXFileType* __cdecl VCXGetFirstImportableFileType() {
  vcxClearError();
  g_importCursor = 0;
  return VCXGetNextImportableFileType();
}

VCX_EXPORT VCXFileType* __cdecl VCXGetNextExportableFileType() {
  return vcxNextFileType(kExportTypes, sizeof kExportTypes / sizeof kExportTypes[0],
                         g_exportCursor);
}

VCX_EXPORT VCXFileType* __cdecl VCXGetFirstExportableFileType() {
  vcxClearError();
  g_exportCursor = 0;
  return VCXGetNextExportableFileType();
}

VCX_EXPORT int __cdecl VCXCanImport(const char* path, int* outType, VCXLayeredImage** preview,
                                    char* description, int descriptionLen) {
  return vcxRunExport(0, [&]() -> int {
    std::unique_ptr<CVCXStream> stream(vcxOpenFileForRead(path));
    if (DibCanImport(*stream, preview, description, descriptionLen)) {
      if (outType)
        *outType = TYPE_BMP;
      return 1;
    }
    int type = 0;
    if (IcoCanImport(*stream, &type, preview, description, descriptionLen)) {
      if (outType)
        *outType = type;
      return 1;
    }
    if (ExeCanImport(*stream, preview, description, descriptionLen)) {
      if (outType)
        *outType = TYPE_EXE;
      return 1;
    }
    return 0;
  });
}

VCX_EXPORT VCXMultiImage* __cdecl VCXImport(HWND parent, const char* path, int* outType) {
  int type = 0;
  if (!VCXCanImport(path, &type, nullptr, nullptr, 0)) {
    vcxSetError(VCX_ERROR_FORMAT, "");
    return nullptr;
  }
  return vcxRunExport<VCXMultiImage*>(nullptr, [&]() -> VCXMultiImage* {
    std::unique_ptr<CVCXStream> stream(vcxOpenFileForRead(path));
    switch (type) {
      case TYPE_BMP: {
        VCXMultiImage* result = vcxWrapInMultiImage(DibImport(*stream));
        if (outType)
          *outType = TYPE_BMP;
        return result;
      }
      case TYPE_ICON:
      case TYPE_CURSOR: {
        VCXMultiImage* result = IcoReadFile(*stream, &type);
        if (outType)
          *outType = type;
        return result;
      }
      case TYPE_EXE:
        return ExeImport(parent, *stream, outType);
      default:
        vcxThrow(VCX_ERROR_INTERNAL);
    }
  });
}

VCX_EXPORT int __cdecl VCXCanExport(int type, VCXMultiImage* document, int* outFlags) {
  return vcxRunExport(0, [&]() -> int {
    switch (type) {
      case TYPE_BMP:
        return DibCanExport(document, outFlags) ? 1 : 0;
      case TYPE_ICON:
      case TYPE_CURSOR:
        return IcoCanExport(document, outFlags) ? 1 : 0;
      default:
        vcxThrow(VCX_ERROR_FORMAT);
    }
  });
}

VCX_EXPORT int __cdecl VCXExport(HWND parent, const char* path, int type,
                                 VCXMultiImage* document) {
  if (!VCXCanExport(type, document, nullptr)) {
    vcxSetError(VCX_ERROR_FORMAT, "");
    return 0;
  }
  return vcxRunExport(0, [&]() -> int {
    switch (type) {
      case TYPE_BMP:
        DibExport(parent, path, vcxGetFirstImage(document));
        return 1;
      case TYPE_ICON:
      case TYPE_CURSOR:
        IcoExport(parent, path, type, document);
        return 1;
      default:
        vcxThrow(VCX_ERROR_INTERNAL);
    }
  });
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  return vcxDllMain(instance, reason);
}
