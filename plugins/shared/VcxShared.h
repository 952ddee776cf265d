#pragma once
// Helpers shared by the JPEG, TGA and PSD plug-ins: their exception and error word, the
// fifteen host services they link, checked file reads and writes, and row arithmetic.
#include <windows.h>
#include <cstddef>
#include <cstdint>
#include <new>
#include "plugins/sdk/VCXPlugin.h"
#include "plugins/sdk/VCXRecords.h"
#include "sys/ZRReplace.h"

// The exception of these plug-ins: an error code only.
class CVcxError {
public:
  explicit CVcxError(int32_t errorCode) : code(errorCode) {}
  int32_t code;
};

inline void vcxThrowIf(bool condition, int32_t code) {
  if (condition)
    throw CVcxError(code);
}

// The plug-in's last error code.
int32_t vcxGetLastErrorCode();
void vcxSetLastErrorCode(int32_t code);

// Runs the work of an export: clears the error code, and turns what the work throws into
// the error code (CVcxError its code, an allocation failure 6, anything else 4).
template <class R, class F>
R vcxGuardExport(R failValue, F&& work);

// The host services, fetched by vcxLinkHostServices in this order.
enum { VCX_SHARED_SERVICE_COUNT = 15 };
extern const uint32_t vcxSharedServiceIds[VCX_SHARED_SERVICE_COUNT];
// 1 when every service was obtained; the first null result stops with 0 and the rest
// stay unset.
int vcxLinkHostServices(VCXGetServiceProc getService);
// The linked service of an id, or null.
VCXServiceFunction vcxGetHostService(uint32_t id);

// Service calls; the creating ones return null on failure (a missing service included).
VCXPalette* vcxHostCreatePalette(int32_t count);
VCXImage* vcxHostCreateImage(const VCXImage& request);
VCXLayeredImage* vcxHostCreateLayeredImage(const VCXLayeredImage& request);
VCXMultiImage* vcxHostCreateMultiImage(int32_t count);
VCXFileType* vcxHostCreateFileType(const VCXFileType& request);
void vcxHostFreePalette(VCXPalette* palette);
void vcxHostFreeImage(VCXImage* image);
void vcxHostFreeLayeredImage(VCXLayeredImage* image);
void vcxHostFreeMultiImage(VCXMultiImage* image);
// A new flattened copy with one 32-bit layer; the source is kept.
VCXLayeredImage* vcxHostFlatten(VCXLayeredImage* image);

// The file-type record of a plug-in's one type; null (error 6) when the host cannot make it.
VCXFileType* vcxMakeFileType(int32_t id, const char* description, const char* const* extensions,
                             int32_t extensionCount);
// A layered image {36, 1, format 0, flags 0, width, height, resolutions 0, one layer} holding
// layer; the layer is freed and 6 thrown when the host cannot make it.
VCXLayeredImage* vcxWrapLayer(VCXImage* layer, int32_t width, int32_t height);
// A multi-image {12, 0, 1} holding image; the image is freed and 6 thrown when the host
// cannot make it.
VCXMultiImage* vcxWrapImage(VCXLayeredImage* image);

// ReadFile of exactly n bytes (a short read throws 13); WriteFile of n bytes (a short
// write throws 12).
void vcxReadFile(HANDLE file, void* buffer, size_t n);
void vcxWriteFile(HANDLE file, const void* buffer, size_t n);

// (width * bitsPerPixel + 7) / 8.
uint64_t CalcRowBytes(uint64_t width, uint32_t bitsPerPixel);
// Bits per pixel of the record formats 0x10000 ... 0x400000; 0 for any other code.
uint32_t GetPixelDepth(uint32_t pixelFormat);

// A size for vcxAlloc: throws 6 when it does not fit the address space or exceeds the
// largest block these plug-ins ask for.
size_t vcxCheckedSize(uint64_t bytes);
enum : uint64_t { VCX_MAX_BLOCK = uint64_t(1) << 29 };

// A block of the C heap, freed at the end of the scope.
class CVcxBlock {
public:
  CVcxBlock() : data(nullptr), size(0) {}
  // Throws 6 when the block cannot be had.
  explicit CVcxBlock(uint64_t bytes);
  ~CVcxBlock();
  CVcxBlock(const CVcxBlock&) = delete;
  CVcxBlock& operator=(const CVcxBlock&) = delete;
  void Allocate(uint64_t bytes);
  void Release();
  uint8_t* Detach();

  uint8_t* data;
  size_t size;
};

// A file handle closed at the end of the scope.
class CVcxFile {
public:
  CVcxFile() : handle(INVALID_HANDLE_VALUE) {}
  explicit CVcxFile(HANDLE h) : handle(h) {}
  ~CVcxFile() { Close(); }
  CVcxFile(const CVcxFile&) = delete;
  CVcxFile& operator=(const CVcxFile&) = delete;
  void Close();
  bool IsOpen() const { return handle != INVALID_HANDLE_VALUE; }

  HANDLE handle;
};

// A new file open for writing that takes path's place once complete; until Commit, path is
// not touched, and destruction without Commit removes the new file.
class CVcxReplacingFile {
public:
  // Throws 10 when the file cannot be made (a null path 3).
  explicit CVcxReplacingFile(const char* path);
  HANDLE GetHandle() const { return m_replacement.GetHandle(); }
  // Brings the file to the disk (12), closes it and puts it in path's place with path's
  // attributes (10).
  void Commit();

private:
  CZRReplacement m_replacement;
};

// Opens an existing file for reading; throws 11 (a null path 3).
HANDLE vcxOpenForRead(const char* path);

// Buffered exact reading from a file handle (not owned) with its size known.
class CVcxReader {
public:
  // Reads from the handle's current position on.
  explicit CVcxReader(HANDLE file);
  CVcxReader(const CVcxReader&) = delete;
  CVcxReader& operator=(const CVcxReader&) = delete;

  uint64_t Size() const { return m_size; }
  uint64_t Position() const { return m_position; }
  uint64_t Remaining() const { return m_position < m_size ? m_size - m_position : 0; }
  // Exactly n bytes; fewer left in the file throws 13.
  void Read(void* buffer, size_t n);
  uint8_t ReadByte();
  uint16_t ReadBE16();
  uint32_t ReadBE32();
  uint16_t ReadLE16();
  // Moves forward; past the end throws 13.
  void Skip(uint64_t n);
  // Moves to a position inside the file (the end included); beyond throws 13.
  void Seek(uint64_t position);

private:
  void Fill();

  enum { BUFFER_SIZE = 65536 };
  HANDLE m_file;
  uint64_t m_size;
  uint64_t m_position;  // of the next byte handed out
  CVcxBlock m_buffer;
  size_t m_cursor;
  size_t m_fill;
};

template <class R, class F>
R vcxGuardExport(R failValue, F&& work) {
  vcxSetLastErrorCode(0);
  try {
    return work();
  } catch (const CVcxError& e) {
    vcxSetLastErrorCode(e.code);
  } catch (const std::bad_alloc&) {
    vcxSetLastErrorCode(VCX_ERROR_MEMORY);
  } catch (...) {
    vcxSetLastErrorCode(VCX_ERROR_DATA);
  }
  return failValue;
}
