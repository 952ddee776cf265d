#include "document/ChunkStream.h"
#include <windows.h>
#include <new>
#include "shell/Errors.h"
#include "shell/TextRoutines.h"

namespace {

// Filter type of a compression method; 0 for an unknown method.
uint32_t FilterOfMethod(int32_t method) {
  if (method == COMPRESSION_DICT)
    return ZR_FILTER_DICT;
  if (method == COMPRESSION_RANGE)
    return ZR_FILTER_RANGE;
  return 0;
}

const char* const kWriteFailed = "Write failed (the disk is full?)";

// Longest string the reader accepts when no file size bounds it.
const uint32_t kMaxUnboundedString = 1u << 20;

// A block of AllocMemory, freed on leaving the scope.
struct MemoryBlock {
  explicit MemoryBlock(size_t size) : p(AllocMemory(size)) {}
  ~MemoryBlock() {
    if (p)
      FreeMemory(p);
  }
  MemoryBlock(const MemoryBlock&) = delete;
  MemoryBlock& operator=(const MemoryBlock&) = delete;
  void* p;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// CStreamError, CCrc16

bool CStreamError::SetError(const char* text) {
  if (state != STATE_FAILED) {
    state = STATE_FAILED;
    message.Assign(text);
  }
  if (mode == MODE_THROW)
    throw CVCException(message.text);
  return false;
}

void CStreamError::Reset() {
  message.Clear();
  state = STATE_OK;
}

void CCrc16::Update(const void* bytes, uint32_t count) {
  const uint8_t* p = static_cast<const uint8_t*>(bytes);
  uint16_t crc = value;
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t data = p[i];
    for (int bit = 0; bit < 8; ++bit) {
      const bool low = ((crc ^ data) & 1) != 0;
      crc = static_cast<uint16_t>(crc >> 1);
      if (low)
        crc ^= 0xA001;
      data >>= 1;
    }
  }
  value = crc;
}

void BuildChunkHeader(uint32_t id, uint32_t length, uint8_t out[10]) {
  out[0] = static_cast<uint8_t>(id >> 24);
  out[1] = static_cast<uint8_t>(id >> 16);
  out[2] = static_cast<uint8_t>(id >> 8);
  out[3] = static_cast<uint8_t>(id);
  out[4] = static_cast<uint8_t>(length);
  out[5] = static_cast<uint8_t>(length >> 8);
  out[6] = static_cast<uint8_t>(length >> 16);
  out[7] = static_cast<uint8_t>(length >> 24);
  CCrc16 crc;
  crc.Update(out, 8);
  out[8] = static_cast<uint8_t>(crc.Get());
  out[9] = static_cast<uint8_t>(crc.Get() >> 8);
}

// ---------------------------------------------------------------------------------------------
// CFileReader

CFileReader::CFileReader()
    : handle(nullptr), pendingSeek(0), pendingTarget(0), decompressing(0) {}

CFileReader::~CFileReader() {
  CFileReader::CloseAll();
}

void CFileReader::CloseAll() {
  if (handle)
    zrClose(handle);
  handle = nullptr;
  pendingSeek = 0;
  pendingTarget = 0;
  decompressing = 0;
  fileName.Clear();
  error.Reset();
}

bool CFileReader::Open(const char* path) {
  if (handle) {
    Close();
    if (handle)
      return false;
  }
  handle = zrOpenFileForRead(nullptr, path, 0);
  if (!handle)
    return error.SetError("Cannot open the file");
  pendingSeek = 0;
  pendingTarget = 0;
  decompressing = 0;
  fileName.Assign(path);
  return true;
}

bool CFileReader::Close() {
  if (!handle)
    return false;
  const uint32_t result = zrClose(handle);
  // The handle is gone whatever the result.
  handle = nullptr;
  pendingSeek = 0;
  decompressing = 0;
  fileName.Clear();
  if (result != 0)
    return error.SetError("Cannot close the file");
  return true;
}

bool CFileReader::SeekPending() {
  if (!pendingSeek)
    return true;
  pendingSeek = 0;
  if (zrSeek(handle, pendingTarget) != 0)
    return error.SetError("Seek failed");
  return true;
}

bool CFileReader::Read(void* buffer, uint32_t count) {
  if (!handle)
    return error.SetError("Cannot read: there is no open file");
  if (!SeekPending())
    return false;
  if (count == 0)
    return true;
  uint32_t done = 0;
  const uint32_t result = zrRead(handle, buffer, count, &done);
  if (result != 0 || done < count)
    return error.SetError("Read failed");
  return true;
}

bool CFileReader::Seek(uint64_t position) {
  if (!handle)
    return error.SetError("Cannot seek: there is no open file");
  pendingSeek = 0;
  if (zrSeek(handle, position) != 0)
    return error.SetError("Seek failed");
  return true;
}

uint64_t CFileReader::GetPosition() {
  if (!handle)
    return 0;
  if (pendingSeek)
    return pendingTarget;
  return zrGetPosition(handle);
}

uint64_t CFileReader::GetFileSize() {
  if (!handle || decompressing)
    return 0;
  return zrGetSize(handle);
}

bool CFileReader::AtEnd() {
  if (!handle)
    return true;
  if (pendingSeek)
    return pendingTarget >= zrGetSize(handle);
  return zrIsAtEnd(handle);
}

bool CFileReader::BeginDecompression(int32_t method) {
  if (!handle)
    return error.SetError("Cannot decompress: there is no open file");
  const uint32_t type = FilterOfMethod(method);
  if (!type)
    return error.SetError("Unknown compression method");
  // The decoder reads at once: it must start where the compressed data does.
  if (!SeekPending())
    return false;
  if (zrAttachFilter(handle, type, 0) != 0)
    return error.SetError("Decompression failed");
  ++decompressing;
  return true;
}

bool CFileReader::EndDecompression() {
  if (!handle)
    return false;
  if (decompressing)
    --decompressing;
  if (zrDetachFilter(handle) != 0)
    return error.SetError("Decompression failed");
  return true;
}

// ---------------------------------------------------------------------------------------------
// CFileWriter

CFileWriter::CFileWriter() : handle(nullptr), compressing(0) {}

CFileWriter::~CFileWriter() {
  CFileWriter::CloseAll();
}

void CFileWriter::CloseAll() {
  if (handle)
    zrClose(handle);
  handle = nullptr;
  compressing = 0;
  fileName.Clear();
  error.Reset();
}

bool CFileWriter::Create(const char* path) {
  if (handle) {
    Close();
    if (handle)
      return false;
  }
  handle = zrOpenFileForWrite(nullptr, path, FILE_ATTRIBUTE_NORMAL, 0);
  if (!handle) {
    const DWORD attributes = path ? GetFileAttributesA(path) : INVALID_FILE_ATTRIBUTES;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
      return error.SetError("The file is write-protected");
    return error.SetError("Cannot create the file");
  }
  compressing = 0;
  fileName.Assign(path);
  return true;
}

bool CFileWriter::Attach(HANDLE file, const char* name) {
  if (handle) {
    Close();
    if (handle)
      return false;
  }
  handle = zrWrapFileForWrite(file, 0);
  if (!handle)
    return error.SetError("Cannot create the file");
  compressing = 0;
  fileName.Assign(name);
  return true;
}

bool CFileWriter::Close() {
  if (!handle)
    return false;
  const uint32_t result = zrClose(handle);
  handle = nullptr;
  compressing = 0;
  fileName.Clear();
  // Closing writes out what is still buffered; that write can fail.
  if (result == ZR_ERROR_WRITE)
    return error.SetError(kWriteFailed);
  if (result != 0)
    return error.SetError("Cannot close the file");
  return true;
}

bool CFileWriter::Write(const void* buffer, uint32_t count) {
  if (!handle)
    return error.SetError("Cannot write: there is no open file");
  if (count == 0)
    return true;
  uint32_t done = 0;
  const uint32_t result = zrWrite(handle, buffer, count, &done);
  if (result != 0 || done < count)
    return error.SetError(kWriteFailed);
  return true;
}

bool CFileWriter::Seek(uint64_t position) {
  if (!handle)
    return error.SetError("Cannot seek: there is no open file");
  const uint32_t result = zrSeek(handle, position);
  // Leaving the buffered window writes the buffer out first; that write can fail.
  if (result == ZR_ERROR_WRITE)
    return error.SetError(kWriteFailed);
  if (result != 0)
    return error.SetError("Seek failed");
  return true;
}

uint64_t CFileWriter::GetPosition() {
  if (!handle)
    return 0;
  return zrGetPosition(handle);
}

bool CFileWriter::BeginCompression(int32_t method) {
  if (!handle)
    return error.SetError("Cannot compress: there is no open file");
  const uint32_t type = FilterOfMethod(method);
  if (!type)
    return error.SetError("Unknown compression method");
  if (zrAttachFilter(handle, type, 0) != 0)
    return error.SetError("Compression failed");
  ++compressing;
  return true;
}

bool CFileWriter::EndCompression() {
  if (!handle)
    return false;
  if (compressing)
    --compressing;
  if (zrDetachFilter(handle) != 0)
    return error.SetError("Compression failed");
  return true;
}

// ---------------------------------------------------------------------------------------------
// CChunkReader

CChunkReader::CChunkReader() : top(nullptr), depth(0) {}

CChunkReader::~CChunkReader() {
  FreeNodes();
}

void CChunkReader::FreeNodes() {
  while (top) {
    Node* next = top->next;
    delete top;
    top = next;
  }
  depth = 0;
}

void CChunkReader::CloseAll() {
  FreeNodes();
  CFileReader::CloseAll();
}

bool CChunkReader::Close() {
  while (top)
    EndChunk();
  return CFileReader::Close();
}

uint64_t CChunkReader::GetChunkEnd() const {
  return top ? top->end : 0;
}

uint64_t CChunkReader::GetRoomLeft() {
  if (decompressing)
    return kMaxUnboundedString;
  const uint64_t position = GetPosition();
  const uint64_t end = top ? top->end : GetFileSize();
  return end > position ? end - position : 0;
}

bool CChunkReader::BeginChunk(uint32_t& id) {
  uint8_t header[10];
  if (!Read(header, sizeof header))
    return false;
  const uint32_t value = (static_cast<uint32_t>(header[0]) << 24) |
                         (static_cast<uint32_t>(header[1]) << 16) |
                         (static_cast<uint32_t>(header[2]) << 8) | header[3];
  if (value == 0)
    return error.SetError("Invalid chunk type");
  CCrc16 crc;
  crc.Update(header, 8);
  const uint16_t stored = static_cast<uint16_t>(header[8] | (header[9] << 8));
  if (crc.Get() != stored)
    return error.SetError("Data is corrupted");
  const uint32_t length = header[4] | (static_cast<uint32_t>(header[5]) << 8) |
                          (static_cast<uint32_t>(header[6]) << 16) |
                          (static_cast<uint32_t>(header[7]) << 24);
  Node* node = new (std::nothrow) Node;
  if (!node)
    return error.SetError("Insufficient memory");
  node->id = value;
  node->end = GetPosition() + length;
  node->next = top;
  top = node;
  ++depth;
  id = value;
  return true;
}

bool CChunkReader::EndChunk() {
  if (!top)
    return false;
  Node* node = top;
  top = node->next;
  --depth;
  const uint64_t end = node->end;
  delete node;
  const uint64_t position = GetPosition();
  if (position < end) {
    pendingSeek = 1;
    pendingTarget = end;
  } else if (position > end) {
    return error.SetError("Invalid data");
  }
  return true;
}

bool CChunkReader::AtChunkEnd() {
  if (!top)
    return true;
  return GetPosition() >= top->end;
}

bool CChunkReader::ReadVarint(uint32_t& value) {
  uint32_t result = 0;
  for (int i = 0; i < 5; ++i) {
    uint8_t byte;
    if (!Read(&byte, 1))
      return false;
    result |= static_cast<uint32_t>(byte & 0x7F) << (7 * i);
    if (!(byte & 0x80)) {
      value = result;
      return true;
    }
  }
  return error.SetError("Invalid data");
}

bool CChunkReader::ReadRecord(void* buffer, uint32_t size) {
  uint32_t length;
  if (!ReadVarint(length))
    return false;
  // A record never reaches past its chunk (or the file).
  if (length > GetRoomLeft())
    return error.SetError("Invalid data");
  const uint32_t taken = length < size ? length : size;
  if (!Read(buffer, taken))
    return false;
  if (length > size) {
    const uint64_t position = GetPosition();
    pendingTarget = position + (length - size);
    pendingSeek = 1;
  }
  return true;
}

bool CChunkReader::ReadString(CWULString& text) {
  uint32_t length;
  if (!ReadVarint(length))
    return false;
  if (length > GetRoomLeft() || length >= 0x3FFFFFFFu)
    return error.SetError("Invalid data");
  MemoryBlock bytes(static_cast<size_t>(length) + 1);
  if (!bytes.p)
    return error.SetError("Insufficient memory");
  char* utf8 = static_cast<char*>(bytes.p);
  if (!Read(utf8, length))
    return false;
  utf8[length] = '\0';
  const int units = Utf8Decode(nullptr, utf8);
  if (units <= 0)
    return error.SetError("Invalid data");
  MemoryBlock wideBlock(static_cast<size_t>(units) * sizeof(wchar_t));
  if (!wideBlock.p)
    return error.SetError("Insufficient memory");
  wchar_t* wide = static_cast<wchar_t*>(wideBlock.p);
  Utf8Decode(wide, utf8);
  const int size = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0)
    return error.SetError("Invalid data");
  char* target = nullptr;
  try {
    target = text.GetBuffer(size);
  } catch (...) {
    target = nullptr;
  }
  if (!target)
    return error.SetError("Insufficient memory");
  if (WideCharToMultiByte(CP_ACP, 0, wide, -1, target, size, nullptr, nullptr) <= 0) {
    text.Clear();
    return error.SetError("String conversion error");
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// CChunkWriter

CChunkWriter::CChunkWriter() : top(nullptr), depth(0) {}

CChunkWriter::~CChunkWriter() {
  FreeNodes();
}

void CChunkWriter::FreeNodes() {
  while (top) {
    Node* next = top->next;
    delete top;
    top = next;
  }
  depth = 0;
}

void CChunkWriter::CloseAll() {
  FreeNodes();
  CFileWriter::CloseAll();
}

bool CChunkWriter::Close() {
  while (top)
    EndChunk();
  return CFileWriter::Close();
}

bool CChunkWriter::BeginChunk(uint32_t id) {
  Node* node = new (std::nothrow) Node;
  if (!node)
    return error.SetError("Insufficient memory");
  node->id = id;
  node->start = GetPosition();
  uint8_t header[10] = {};
  header[0] = static_cast<uint8_t>(id >> 24);
  header[1] = static_cast<uint8_t>(id >> 16);
  header[2] = static_cast<uint8_t>(id >> 8);
  header[3] = static_cast<uint8_t>(id);
  bool ok;
  try {
    ok = Write(header, sizeof header);
  } catch (...) {
    delete node;
    throw;
  }
  if (!ok) {
    delete node;
    return false;
  }
  node->next = top;
  top = node;
  ++depth;
  return true;
}

bool CChunkWriter::EndChunk() {
  if (!top)
    return false;
  Node* node = top;
  top = node->next;
  --depth;
  const uint32_t id = node->id;
  const uint64_t start = node->start;
  delete node;
  const uint64_t position = GetPosition();
  const uint64_t length = position - start - 10;
  if (position < start + 10 || length > 0xFFFFFFFFu)
    return error.SetError("Invalid data");
  uint8_t header[10];
  BuildChunkHeader(id, static_cast<uint32_t>(length), header);
  if (!Seek(start) || !Write(header, sizeof header) || !Seek(position))
    return false;
  return true;
}

bool CChunkWriter::WriteVarint(uint32_t value) {
  uint8_t bytes[5];
  uint32_t n = 0;
  do {
    uint8_t b = static_cast<uint8_t>(value & 0x7F);
    value >>= 7;
    if (value)
      b |= 0x80;
    bytes[n++] = b;
  } while (value);
  return Write(bytes, n);
}

bool CChunkWriter::WriteRecord(const void* bytes, uint32_t count) {
  return WriteVarint(count) && Write(bytes, count);
}

bool CChunkWriter::WriteString(const char* text) {
  if (!text)
    return error.SetError("Invalid string");
  const int units = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, -1, nullptr, 0);
  if (units <= 0)
    return error.SetError("Invalid string");
  MemoryBlock wideBlock(static_cast<size_t>(units) * sizeof(wchar_t));
  if (!wideBlock.p)
    return error.SetError("Insufficient memory");
  wchar_t* wide = static_cast<wchar_t*>(wideBlock.p);
  if (MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, -1, wide, units) <= 0)
    return error.SetError("String conversion error");
  const int size = Utf8Encode(nullptr, wide);
  if (size <= 0)
    return error.SetError("Invalid string");
  MemoryBlock bytes(static_cast<size_t>(size));
  if (!bytes.p)
    return error.SetError("Insufficient memory");
  Utf8Encode(static_cast<char*>(bytes.p), wide);
  return WriteRecord(bytes.p, static_cast<uint32_t>(size - 1));
}

void WriteFileReplacing(CFileWriter& file, const char* path, const std::function<void()>& write) {
  CZRReplacement replacement;
  const uint32_t begun = replacement.Begin(path);
  if (begun == ZR_REPLACE_WRITE_PROTECTED)
    throw CVCException("The file is write-protected");
  if (begun != ZR_REPLACE_DONE)
    throw CVCException("Cannot create the file");

  file.error.SetMode(CStreamError::MODE_THROW);
  try {
    file.Attach(replacement.GetHandle(), path);
    write();
    file.Close();
  } catch (...) {
    // The replacement removes the new file.
    file.CloseAll();
    throw;
  }
  const uint32_t result = replacement.Commit();
  if (result == ZR_REPLACE_WRITE_FAILED)
    throw CVCException(kWriteFailed);
  if (result == ZR_REPLACE_WRITE_PROTECTED)
    throw CVCException("The file is write-protected");
  if (result != ZR_REPLACE_DONE)
    throw CVCException("Cannot create the file");
}
