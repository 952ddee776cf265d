#include "plugins/shared/VcxShared.h"
#include <cstring>
#include "plugins/sdk/VCXPlugin.h"

namespace {

int32_t g_lastError = 0;
VCXServiceFunction g_services[VCX_SHARED_SERVICE_COUNT] = {};

template <class T>
T Service(uint32_t id) {
  return reinterpret_cast<T>(reinterpret_cast<void*>(vcxGetHostService(id)));
}

}  // namespace

int32_t vcxGetLastErrorCode() {
  return g_lastError;
}

void vcxSetLastErrorCode(int32_t code) {
  g_lastError = code;
}

const uint32_t vcxSharedServiceIds[VCX_SHARED_SERVICE_COUNT] = {
    VCX_SC_GET_LAST_ERROR,       VCX_SC_CREATE_PALETTE,     VCX_SC_CREATE_IMAGE,
    VCX_SC_CREATE_LAYERED_IMAGE, VCX_SC_CREATE_MULTI_IMAGE, VCX_SC_CREATE_FILE_TYPE,
    VCX_SC_FREE_PALETTE,         VCX_SC_FREE_IMAGE,         VCX_SC_FREE_LAYERED_IMAGE,
    VCX_SC_FREE_MULTI_IMAGE,     VCX_SC_FREE_FILE_TYPE,     VCX_SC_CONVERT_IMAGE,
    VCX_SC_CONVERT_LAYERED_IMAGE, VCX_SC_RESAMPLE_LAYERED_IMAGE, VCX_SC_FLATTEN};

int vcxLinkHostServices(VCXGetServiceProc getService) {
  if (!getService)
    return 0;
  try {
    for (int i = 0; i < VCX_SHARED_SERVICE_COUNT; ++i) {
      VCXServiceFunction f = getService(vcxSharedServiceIds[i]);
      if (!f)
        return 0;
      g_services[i] = f;
    }
  } catch (...) {
    return 0;
  }
  return 1;
}

VCXServiceFunction vcxGetHostService(uint32_t id) {
  for (int i = 0; i < VCX_SHARED_SERVICE_COUNT; ++i)
    if (vcxSharedServiceIds[i] == id)
      return g_services[i];
  return nullptr;
}

VCXPalette* vcxHostCreatePalette(int32_t count) {
  auto f = Service<VCXCreatePaletteService>(VCX_SC_CREATE_PALETTE);
  VCXPalette request = {sizeof(VCXPalette), 1, 0, count};
  return f ? f(&request) : nullptr;
}

VCXImage* vcxHostCreateImage(const VCXImage& request) {
  auto f = Service<VCXCreateImageService>(VCX_SC_CREATE_IMAGE);
  return f ? f(&request) : nullptr;
}

VCXLayeredImage* vcxHostCreateLayeredImage(const VCXLayeredImage& request) {
  auto f = Service<VCXCreateLayeredImageService>(VCX_SC_CREATE_LAYERED_IMAGE);
  return f ? f(&request) : nullptr;
}

VCXMultiImage* vcxHostCreateMultiImage(int32_t count) {
  auto f = Service<VCXCreateMultiImageService>(VCX_SC_CREATE_MULTI_IMAGE);
  VCXMultiImage request = {sizeof(VCXMultiImage), 0, count};
  return f ? f(&request) : nullptr;
}

VCXFileType* vcxHostCreateFileType(const VCXFileType& request) {
  auto f = Service<VCXCreateFileTypeService>(VCX_SC_CREATE_FILE_TYPE);
  return f ? f(&request) : nullptr;
}

void vcxHostFreePalette(VCXPalette* palette) {
  auto f = Service<VCXFreePaletteService>(VCX_SC_FREE_PALETTE);
  if (palette && f)
    f(palette);
}

void vcxHostFreeImage(VCXImage* image) {
  auto f = Service<VCXFreeImageService>(VCX_SC_FREE_IMAGE);
  if (image && f)
    f(image);
}

void vcxHostFreeLayeredImage(VCXLayeredImage* image) {
  auto f = Service<VCXFreeLayeredImageService>(VCX_SC_FREE_LAYERED_IMAGE);
  if (image && f)
    f(image);
}

void vcxHostFreeMultiImage(VCXMultiImage* image) {
  auto f = Service<VCXFreeMultiImageService>(VCX_SC_FREE_MULTI_IMAGE);
  if (image && f)
    f(image);
}

VCXLayeredImage* vcxHostFlatten(VCXLayeredImage* image) {
  auto f = Service<VCXFlattenService>(VCX_SC_FLATTEN);
  return f ? f(image, 0) : nullptr;
}

VCXFileType* vcxMakeFileType(int32_t id, const char* description, const char* const* extensions,
                             int32_t extensionCount) {
  VCXFileType request;
  std::memset(&request, 0, sizeof request);
  request.headerSize = sizeof(VCXFileType);
  request.id = id;
  vcxStrCopy(request.description, description, sizeof request.description);
  request.extensionCount = extensionCount;
  VCXFileType* type = vcxHostCreateFileType(request);
  if (!type) {
    vcxSetLastErrorCode(VCX_ERROR_MEMORY);
    return nullptr;
  }
  VCXFileTypeExtension* entries = vcxGetFileTypeExtensions(type);
  for (int32_t i = 0; i < extensionCount; ++i) {
    entries[i].flags = 0;
    vcxStrCopy(entries[i].extension, extensions[i], sizeof entries[i].extension);
  }
  return type;
}

VCXLayeredImage* vcxWrapLayer(VCXImage* layer, int32_t width, int32_t height) {
  VCXLayeredImage* image = vcxHostCreateLayeredImage(vcxLayeredImageRequest(0, width, height, 1));
  if (!image) {
    vcxHostFreeImage(layer);
    throw CVcxError(VCX_ERROR_MEMORY);
  }
  vcxSetLayerSlot(image, 0, layer);
  return image;
}

VCXMultiImage* vcxWrapImage(VCXLayeredImage* image) {
  VCXMultiImage* multi = vcxHostCreateMultiImage(1);
  if (!multi) {
    vcxHostFreeLayeredImage(image);
    throw CVcxError(VCX_ERROR_MEMORY);
  }
  vcxSetImageSlot(multi, 0, image);
  return multi;
}

void vcxReadFile(HANDLE file, void* buffer, size_t n) {
  uint8_t* at = static_cast<uint8_t*>(buffer);
  while (n > 0) {
    const DWORD chunk = n > 0x40000000 ? 0x40000000 : static_cast<DWORD>(n);
    DWORD got = 0;
    if (!ReadFile(file, at, chunk, &got, nullptr) || got != chunk)
      throw CVcxError(VCX_ERROR_READ);
    at += got;
    n -= got;
  }
}

void vcxWriteFile(HANDLE file, const void* buffer, size_t n) {
  const uint8_t* at = static_cast<const uint8_t*>(buffer);
  while (n > 0) {
    const DWORD chunk = n > 0x40000000 ? 0x40000000 : static_cast<DWORD>(n);
    DWORD written = 0;
    if (!WriteFile(file, at, chunk, &written, nullptr) || written != chunk)
      throw CVcxError(VCX_ERROR_WRITE);
    at += written;
    n -= written;
  }
}

uint64_t CalcRowBytes(uint64_t width, uint32_t bitsPerPixel) {
  return (width * bitsPerPixel + 7) / 8;
}

uint32_t GetPixelDepth(uint32_t pixelFormat) {
  switch (pixelFormat) {
    case VCX_FORMAT_1: return 1;
    case VCX_FORMAT_4: return 4;
    case VCX_FORMAT_8: return 8;
    case VCX_FORMAT_16: return 16;
    case VCX_FORMAT_24: return 24;
    case VCX_FORMAT_32: return 32;
    case VCX_FORMAT_48: return 48;
    case VCX_FORMAT_64: return 64;
    default: return 0;
  }
}

size_t vcxCheckedSize(uint64_t bytes) {
  if (bytes > VCX_MAX_BLOCK || bytes > SIZE_MAX / 2)
    throw CVcxError(VCX_ERROR_MEMORY);
  return static_cast<size_t>(bytes);
}

CVcxBlock::CVcxBlock(uint64_t bytes) : data(nullptr), size(0) {
  Allocate(bytes);
}

CVcxBlock::~CVcxBlock() {
  Release();
}

void CVcxBlock::Allocate(uint64_t bytes) {
  Release();
  const size_t n = vcxCheckedSize(bytes);
  data = static_cast<uint8_t*>(vcxAlloc(n));
  if (!data)
    throw CVcxError(VCX_ERROR_MEMORY);
  size = n;
}

void CVcxBlock::Release() {
  vcxFree(data);
  data = nullptr;
  size = 0;
}

uint8_t* CVcxBlock::Detach() {
  uint8_t* block = data;
  data = nullptr;
  size = 0;
  return block;
}

void CVcxFile::Close() {
  if (handle != INVALID_HANDLE_VALUE)
    CloseHandle(handle);
  handle = INVALID_HANDLE_VALUE;
}

CVcxReplacingFile::CVcxReplacingFile(const char* path) {
  vcxThrowIf(!path, VCX_ERROR_PARAMETER);
  vcxThrowIf(m_replacement.Begin(path) != ZR_REPLACE_DONE, VCX_ERROR_CREATE);
}

void CVcxReplacingFile::Commit() {
  const uint32_t result = m_replacement.Commit();
  vcxThrowIf(result == ZR_REPLACE_WRITE_FAILED, VCX_ERROR_WRITE);
  vcxThrowIf(result != ZR_REPLACE_DONE, VCX_ERROR_CREATE);
}

HANDLE vcxOpenForRead(const char* path) {
  vcxThrowIf(!path, VCX_ERROR_PARAMETER);
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  vcxThrowIf(file == INVALID_HANDLE_VALUE, VCX_ERROR_ACCESS);
  return file;
}

CVcxReader::CVcxReader(HANDLE file)
    : m_file(file), m_size(0), m_position(0), m_buffer(BUFFER_SIZE), m_cursor(0), m_fill(0) {
  LARGE_INTEGER size;
  LARGE_INTEGER zero;
  LARGE_INTEGER position;
  zero.QuadPart = 0;
  vcxThrowIf(!GetFileSizeEx(file, &size) || !SetFilePointerEx(file, zero, &position, FILE_CURRENT),
             VCX_ERROR_READ);
  m_size = static_cast<uint64_t>(size.QuadPart);
  m_position = static_cast<uint64_t>(position.QuadPart);
}

void CVcxReader::Fill() {
  DWORD got = 0;
  if (!ReadFile(m_file, m_buffer.data, BUFFER_SIZE, &got, nullptr))
    throw CVcxError(VCX_ERROR_READ);
  m_cursor = 0;
  m_fill = got;
}

void CVcxReader::Read(void* buffer, size_t n) {
  vcxThrowIf(n > Remaining(), VCX_ERROR_READ);
  uint8_t* to = static_cast<uint8_t*>(buffer);
  while (n > 0) {
    if (m_cursor == m_fill) {
      if (n >= BUFFER_SIZE) {
        // Straight into the caller's buffer; the block no longer matches the position.
        m_cursor = 0;
        m_fill = 0;
        vcxReadFile(m_file, to, n);
        m_position += n;
        return;
      }
      Fill();
      vcxThrowIf(m_fill == 0, VCX_ERROR_READ);
    }
    size_t take = m_fill - m_cursor;
    if (take > n)
      take = n;
    std::memcpy(to, m_buffer.data + m_cursor, take);
    m_cursor += take;
    m_position += take;
    to += take;
    n -= take;
  }
}

uint8_t CVcxReader::ReadByte() {
  if (m_cursor < m_fill) {
    ++m_position;
    return m_buffer.data[m_cursor++];
  }
  uint8_t value;
  Read(&value, 1);
  return value;
}

uint16_t CVcxReader::ReadBE16() {
  uint8_t b[2];
  Read(b, 2);
  return static_cast<uint16_t>(b[0] << 8 | b[1]);
}

uint32_t CVcxReader::ReadBE32() {
  uint8_t b[4];
  Read(b, 4);
  return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
}

uint16_t CVcxReader::ReadLE16() {
  uint8_t b[2];
  Read(b, 2);
  return static_cast<uint16_t>(b[0] | b[1] << 8);
}

void CVcxReader::Skip(uint64_t n) {
  vcxThrowIf(n > Remaining(), VCX_ERROR_READ);
  Seek(m_position + n);
}

void CVcxReader::Seek(uint64_t position) {
  vcxThrowIf(position > m_size, VCX_ERROR_READ);
  // Inside the buffer: move the cursor; otherwise move the file pointer.
  const uint64_t bufferStart = m_position - m_cursor;
  if (m_fill > 0 && position >= bufferStart && position <= bufferStart + m_fill) {
    m_cursor = static_cast<size_t>(position - bufferStart);
    m_position = position;
    return;
  }
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(position);
  vcxThrowIf(!SetFilePointerEx(m_file, to, nullptr, FILE_BEGIN), VCX_ERROR_READ);
  m_position = position;
  m_cursor = 0;
  m_fill = 0;
}
