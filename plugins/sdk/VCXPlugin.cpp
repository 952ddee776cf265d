#include "plugins/sdk/VCXPlugin.h"
#include <cstdlib>
#include <cstring>
#include "wul/WULInit.h"
#include "wul/WULSystem.h"

namespace {

int g_errorCode = 0;
char g_errorMessage[1024] = "";

template <class T>
T Service(uint32_t id) {
  VCXServiceFunction f = vcxGetService(id);
  if (!f)
    vcxThrow(VCX_ERROR_INTERNAL);
  return reinterpret_cast<T>(reinterpret_cast<void*>(f));
}

// A null record from a creating service: the host's code, or 1 when it gave none.
template <class T>
T* Checked(T* record) {
  if (!record) {
    vcxThrowServiceError();
    vcxThrow(VCX_ERROR_INTERNAL);
  }
  return record;
}

}  // namespace

CVCXException::CVCXException() : code(VCX_ERROR_INTERNAL) {
  message[0] = 0;
}

CVCXException::CVCXException(int c) : code(c) {
  message[0] = 0;
}

CVCXException::CVCXException(int c, const char* text) : code(c) {
  message[0] = 0;
  vcxStrCopy(message, text, sizeof message);
}

void vcxThrow() {
  throw CVCXException();
}

void vcxThrow(int code) {
  throw CVCXException(code);
}

void vcxThrow(int code, const char* text) {
  throw CVCXException(code, text);
}

void vcxThrowServiceError() {
  const int32_t code = vcxServiceLastError();
  if (code != 0)
    throw CVCXException(code);
}

void vcxStrCopy(char* dst, const char* src, int len) {
  if (!dst || !src || len <= 0)
    return;
  int i = 0;
  for (; i < len - 1 && src[i]; ++i)
    dst[i] = src[i];
  dst[i] = 0;
}

void vcxClearError() {
  g_errorCode = 0;
  g_errorMessage[0] = 0;
}

void vcxSetError(int code, const char* text) {
  g_errorCode = code;
  g_errorMessage[0] = 0;
  vcxStrCopy(g_errorMessage, text, sizeof g_errorMessage);
}

int vcxGetErrorCode() {
  return g_errorCode;
}

const char* vcxGetErrorMessage() {
  return g_errorMessage;
}

int vcxGetLastError(char* buf, int len) {
  if (buf)
    vcxStrCopy(buf, g_errorMessage, len);
  return g_errorCode;
}

const uint32_t vcxServiceIds[VCX_SERVICE_COUNT] = {
    VCX_SC_GET_LAST_ERROR,        VCX_SC_GET_OPTION,           VCX_SC_GET_METRIC,
    VCX_SC_GET_COLOR,             VCX_SC_RESERVED,             VCX_SC_CREATE_PALETTE,
    VCX_SC_CREATE_IMAGE,          VCX_SC_CREATE_LAYERED_IMAGE, VCX_SC_CREATE_MULTI_IMAGE,
    VCX_SC_CREATE_FILE_TYPE,      VCX_SC_FREE_PALETTE,         VCX_SC_FREE_IMAGE,
    VCX_SC_FREE_LAYERED_IMAGE,    VCX_SC_FREE_MULTI_IMAGE,     VCX_SC_FREE_FILE_TYPE,
    VCX_SC_CLONE_PALETTE,         VCX_SC_CLONE_IMAGE,          VCX_SC_CLONE_LAYERED_IMAGE,
    VCX_SC_CONVERT_IMAGE,         VCX_SC_CONVERT_LAYERED_IMAGE, VCX_SC_RESAMPLE_IMAGE,
    VCX_SC_RESAMPLE_LAYERED_IMAGE, VCX_SC_FLATTEN,             VCX_SC_PREMULTIPLY};

VCXServiceFunction vcxServices[VCX_SERVICE_COUNT] = {};

int vcxLinkServices(VCXGetServiceProc getService) {
  vcxClearError();
  for (int i = 0; i < VCX_SERVICE_COUNT; ++i) {
    VCXServiceFunction f = getService ? getService(vcxServiceIds[i]) : nullptr;
    if (!f) {
      vcxSetError(VCX_ERROR_INTERNAL, "Service call linking failed");
      return 0;
    }
    vcxServices[i] = f;
  }
  return 1;
}

VCXServiceFunction vcxGetService(uint32_t id) {
  for (int i = 0; i < VCX_SERVICE_COUNT; ++i)
    if (vcxServiceIds[i] == id)
      return vcxServices[i];
  return nullptr;
}

int32_t vcxServiceLastError() {
  return Service<VCXGetLastErrorService>(VCX_SC_GET_LAST_ERROR)();
}

int32_t vcxGetOption(uint32_t id) {
  return Service<VCXGetOptionService>(VCX_SC_GET_OPTION)(id);
}

int32_t vcxGetMetric(uint32_t id) {
  return Service<VCXGetMetricService>(VCX_SC_GET_METRIC)(id);
}

uint32_t vcxGetColor(uint32_t id) {
  return Service<VCXGetColorService>(VCX_SC_GET_COLOR)(id);
}

VCXPalette* vcxCreatePalette(int32_t count) {
  VCXPalette request = {sizeof(VCXPalette), 1, 0, count};
  return Checked(Service<VCXCreatePaletteService>(VCX_SC_CREATE_PALETTE)(&request));
}

VCXImage* vcxCreateImage(const VCXImage& request) {
  return Checked(Service<VCXCreateImageService>(VCX_SC_CREATE_IMAGE)(&request));
}

VCXLayeredImage* vcxCreateLayeredImage(const VCXLayeredImage& request) {
  return Checked(Service<VCXCreateLayeredImageService>(VCX_SC_CREATE_LAYERED_IMAGE)(&request));
}

VCXMultiImage* vcxCreateMultiImage(int32_t count) {
  VCXMultiImage request = {sizeof(VCXMultiImage), 0, count};
  return Checked(Service<VCXCreateMultiImageService>(VCX_SC_CREATE_MULTI_IMAGE)(&request));
}

VCXFileType* vcxCreateFileType(const VCXFileType& request) {
  return Checked(Service<VCXCreateFileTypeService>(VCX_SC_CREATE_FILE_TYPE)(&request));
}

void vcxFreeLayeredImage(VCXLayeredImage* image) {
  if (image)
    Service<VCXFreeLayeredImageService>(VCX_SC_FREE_LAYERED_IMAGE)(image);
}

void vcxFreeMultiImage(VCXMultiImage* image) {
  if (image)
    Service<VCXFreeMultiImageService>(VCX_SC_FREE_MULTI_IMAGE)(image);
}

void vcxFreeFileType(VCXFileType* type) {
  if (type)
    Service<VCXFreeFileTypeService>(VCX_SC_FREE_FILE_TYPE)(type);
}

VCXLayeredImage* vcxConvertLayeredImage(VCXLayeredImage* image, uint32_t format) {
  return Checked(
      Service<VCXConvertLayeredImageService>(VCX_SC_CONVERT_LAYERED_IMAGE)(image, format, 0));
}

VCXLayeredImage* vcxResampleLayeredImage(VCXLayeredImage* image, int32_t width, int32_t height,
                                         int32_t method, const void* options) {
  return Checked(Service<VCXResampleLayeredImageService>(VCX_SC_RESAMPLE_LAYERED_IMAGE)(
      image, width, height, method, options, 0));
}

VCXLayeredImage* vcxFlatten(VCXLayeredImage* image) {
  return Checked(Service<VCXFlattenService>(VCX_SC_FLATTEN)(image, 0));
}

void vcxPremultiply(VCXImage* image) {
  if (!Service<VCXPremultiplyService>(VCX_SC_PREMULTIPLY)(image)) {
    vcxThrowServiceError();
    vcxThrow(VCX_ERROR_INTERNAL);
  }
}

VCXImage vcxImageRequest(int32_t kind, uint32_t format, int32_t width, int32_t height,
                         const char* name) {
  VCXImage request;
  std::memset(&request, 0, sizeof request);
  request.headerSize = sizeof(VCXImage);
  request.kind = kind;
  request.format = format;
  request.width = width;
  request.height = height;
  request.opacity = 1.0f;
  vcxStrCopy(request.name, name, sizeof request.name);
  return request;
}

VCXLayeredImage vcxLayeredImageRequest(uint32_t format, int32_t width, int32_t height,
                                       int32_t layerCount) {
  VCXLayeredImage request;
  std::memset(&request, 0, sizeof request);
  request.headerSize = sizeof(VCXLayeredImage);
  request.version = 1;
  request.format = format;
  request.width = width;
  request.height = height;
  request.layerCount = layerCount;
  return request;
}

VCXFileType* vcxNextFileType(const VCXFileTypeRow* rows, int rowCount, int& cursor) {
  if (cursor < 0) {
    vcxSetError(VCX_ERROR_INTERNAL, "");
    cursor = -1;
    return nullptr;
  }
  if (cursor >= rowCount)
    return nullptr;
  const VCXFileTypeRow& row = rows[cursor];
  VCXFileType* type = nullptr;
  try {
    VCXFileType request;
    std::memset(&request, 0, sizeof request);
    request.headerSize = sizeof(VCXFileType);
    request.id = row.id;
    vcxStrCopy(request.description, row.description, sizeof request.description);
    while (request.extensionCount < 3 && row.extensions[request.extensionCount])
      ++request.extensionCount;
    type = vcxCreateFileType(request);
    VCXFileTypeExtension* entries = vcxGetFileTypeExtensions(type);
    for (int i = 0; i < request.extensionCount; ++i) {
      entries[i].flags = 0;
      vcxStrCopy(entries[i].extension, row.extensions[i], sizeof entries[i].extension);
    }
  } catch (...) {
    try {
      vcxFreeFileType(type);
    } catch (...) {
    }
    vcxSetError(VCX_ERROR_INTERNAL, "");
    cursor = -1;
    return nullptr;
  }
  ++cursor;
  return type;
}

uint32_t vcxGetModuleVersion(HMODULE module) {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(module, path, sizeof path);
  if (length == 0 || length >= sizeof path)
    return 0;
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &handle);
  if (size == 0)
    return 0;
  void* block = vcxAlloc(size);
  if (!block)
    return 0;
  uint32_t version = 0;
  VS_FIXEDFILEINFO* info = nullptr;
  UINT infoSize = 0;
  if (GetFileVersionInfoA(path, 0, size, block) &&
      VerQueryValueA(block, "\\", reinterpret_cast<void**>(&info), &infoSize) && info &&
      infoSize >= sizeof(VS_FIXEDFILEINFO)) {
    const uint32_t ms = info->dwFileVersionMS;
    const uint32_t ls = info->dwFileVersionLS;
    version = (ms >> 16) << 24 | (ms & 255) << 16 | ((ls >> 16) & 255) << 8 | (ls & 255);
  }
  vcxFree(block);
  return version;
}

HINSTANCE vcxInstance = nullptr;

BOOL vcxDllMain(HINSTANCE instance, DWORD reason) {
  try {
    switch (reason) {
      case DLL_PROCESS_ATTACH:
        vcxInstance = instance;
        WULInit(instance);
        break;
      case DLL_PROCESS_DETACH:
        wulDone();
        break;
      case DLL_THREAD_ATTACH:
        wulCreateTLS();
        break;
      case DLL_THREAD_DETACH:
        wulFreeTLSBlock();
        break;
      default:
        break;
    }
  } catch (...) {
    return FALSE;
  }
  return TRUE;
}

void* vcxAlloc(size_t size) {
  return std::malloc(size ? size : 1);
}

void vcxFree(void* block) {
  std::free(block);
}
