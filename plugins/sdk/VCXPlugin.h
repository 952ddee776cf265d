#pragma once
// The plug-in side of the interface: the library's error state, CVCXException, the linked
// host services, file-type lists, the version word and the library entry point.
#include <windows.h>
#include <cstdint>
#include <new>
#include "plugins/sdk/VCXRecords.h"

// Thrown inside a plug-in only; the exports turn it into the error state.
class CVCXException {
public:
  CVCXException();
  explicit CVCXException(int code);
  CVCXException(int code, const char* text);

  int code;
  char message[256];
};

[[noreturn]] void vcxThrow();
[[noreturn]] void vcxThrow(int code);
[[noreturn]] void vcxThrow(int code, const char* text);
// Throws the code of the host's last failed service; returns when it is 0.
void vcxThrowServiceError();

// Copies at most len - 1 characters and always terminates; nothing when dst or src is
// null or len <= 0.
void vcxStrCopy(char* dst, const char* src, int len);

// The error state of the library, written by every export.
void vcxClearError();
void vcxSetError(int code, const char* text);
int vcxGetErrorCode();
const char* vcxGetErrorMessage();
// Copies the message into buf (when non-null) and returns the code.
int vcxGetLastError(char* buf, int len);

// Runs the work of an export: clears the error state, and stores whatever it throws in
// the error state, returning failValue then.
template <class R, class F>
R vcxRunExport(R failValue, F&& work);

// The host's services, filled by vcxLinkServices in this order.
enum { VCX_SERVICE_COUNT = 24 };
extern const uint32_t vcxServiceIds[VCX_SERVICE_COUNT];
extern VCXServiceFunction vcxServices[VCX_SERVICE_COUNT];
// 1 when every service resolved; otherwise 0 with code 1 "Service call linking failed".
int vcxLinkServices(VCXGetServiceProc getService);
// The linked service of an id, or null.
VCXServiceFunction vcxGetService(uint32_t id);

// Service calls. The creating ones never return null: they throw the host's code.
int32_t vcxServiceLastError();
int32_t vcxGetOption(uint32_t id);
int32_t vcxGetMetric(uint32_t id);
uint32_t vcxGetColor(uint32_t id);
VCXPalette* vcxCreatePalette(int32_t count);
VCXImage* vcxCreateImage(const VCXImage& request);
VCXLayeredImage* vcxCreateLayeredImage(const VCXLayeredImage& request);
VCXMultiImage* vcxCreateMultiImage(int32_t count);
VCXFileType* vcxCreateFileType(const VCXFileType& request);
void vcxFreeLayeredImage(VCXLayeredImage* image);
void vcxFreeMultiImage(VCXMultiImage* image);
void vcxFreeFileType(VCXFileType* type);
VCXLayeredImage* vcxConvertLayeredImage(VCXLayeredImage* image, uint32_t format);
VCXLayeredImage* vcxResampleLayeredImage(VCXLayeredImage* image, int32_t width, int32_t height,
                                         int32_t method, const void* options);
VCXLayeredImage* vcxFlatten(VCXLayeredImage* image);
void vcxPremultiply(VCXImage* image);

// Requests with the header size and the fixed fields set, everything else zero.
VCXImage vcxImageRequest(int32_t kind, uint32_t format, int32_t width, int32_t height,
                         const char* name);
VCXLayeredImage vcxLayeredImageRequest(uint32_t format, int32_t width, int32_t height,
                                       int32_t layerCount);

// One row of a plug-in's file-type table; extensions upper case, without the dot, ended
// by a null.
struct VCXFileTypeRow {
  int32_t id;
  const char* description;
  const char* extensions[4];
};

// Hands out the record of row cursor and advances it; null at the end of the table (error
// state untouched) or on failure (error 1, cursor -1).
VCXFileType* vcxNextFileType(const VCXFileTypeRow* rows, int rowCount, int& cursor);

// The module's file version packed as major, minor, build, revision bytes; 0 when it
// cannot be had.
uint32_t vcxGetModuleVersion(HMODULE module);

// The plug-in's module, kept by vcxDllMain.
extern HINSTANCE vcxInstance;
// Starts and stops the plug-in's instance of the framework; FALSE on any failure.
BOOL vcxDllMain(HINSTANCE instance, DWORD reason);

// Memory of the plug-in's own allocator; null on failure.
void* vcxAlloc(size_t size);
void vcxFree(void* block);

template <class R, class F>
R vcxRunExport(R failValue, F&& work) {
  vcxClearError();
  try {
    return work();
  } catch (const CVCXException& e) {
    vcxSetError(e.code, e.message);
  } catch (const std::bad_alloc&) {
    vcxSetError(VCX_ERROR_MEMORY, "");
  } catch (...) {
    vcxSetError(VCX_ERROR_INTERNAL, "");
  }
  return failValue;
}
