#include "plugins/sdk/VCXStream.h"
#include <cstring>
#include "plugins/sdk/VCXPlugin.h"

CVCXStream::~CVCXStream() {}

uint8_t CVCXStream::ReadByte() {
  uint8_t value;
  if (Read(&value, 1) != 1)
    vcxThrow(VCX_ERROR_EOF);
  return value;
}

size_t CVCXStream::Read(void*, size_t) {
  vcxThrow(VCX_ERROR_INTERNAL);
}

void CVCXStream::WriteByte(uint8_t value) {
  if (Write(&value, 1) != 1)
    vcxThrow(VCX_ERROR_WRITE);
}

size_t CVCXStream::Write(const void*, size_t) {
  vcxThrow(VCX_ERROR_INTERNAL);
}

void CVCXStream::Flush() {
  vcxThrow(VCX_ERROR_INTERNAL);
}

void CVCXStream::Rewind() {
  Seek(0);
}

void CVCXStream::Seek(int64_t) {
  vcxThrow(VCX_ERROR_INTERNAL);
}

int64_t CVCXStream::GetSize() {
  vcxThrow(VCX_ERROR_INTERNAL);
}

int64_t CVCXStream::GetPosition() {
  vcxThrow(VCX_ERROR_INTERNAL);
}

bool CVCXStream::IsAtEnd() {
  vcxThrow(VCX_ERROR_INTERNAL);
}

void CVCXStream::ReadExact(void* buffer, size_t count) {
  if (Read(buffer, count) != count)
    vcxThrow(VCX_ERROR_EOF);
}

void CVCXStream::WriteExact(const void* buffer, size_t count) {
  if (Write(buffer, count) != count)
    vcxThrow(VCX_ERROR_WRITE);
}

int64_t CVCXStream::GetRemaining() {
  const int64_t rest = GetSize() - GetPosition();
  return rest > 0 ? rest : 0;
}

// Counting stream.

void CVCXCountingStream::WriteByte(uint8_t) {
  Write(nullptr, 1);
}

size_t CVCXCountingStream::Write(const void*, size_t count) {
  m_position += static_cast<int64_t>(count);
  if (m_position > m_size)
    m_size = m_position;
  return count;
}

void CVCXCountingStream::Seek(int64_t position) {
  if (position < 0 || position > m_size)
    vcxThrow(VCX_ERROR_INTERNAL);
  m_position = position;
}

// Memory stream.

uint8_t CVCXMemoryStream::ReadByte() {
  if (m_position >= m_size)
    vcxThrow(VCX_ERROR_EOF);
  return m_data[m_position++];
}

size_t CVCXMemoryStream::Read(void* buffer, size_t count) {
  const size_t rest = m_size - m_position;
  if (count > rest)
    count = rest;
  if (count) {
    std::memcpy(buffer, m_data + m_position, count);
    m_position += static_cast<uint32_t>(count);
  }
  return count;
}

void CVCXMemoryStream::Seek(int64_t position) {
  if (position < 0 || position >= 0x100000000LL || position > m_size)
    vcxThrow(VCX_ERROR_INTERNAL);
  m_position = static_cast<uint32_t>(position);
}

// Handle streams.

CVCXHandleStream::CVCXHandleStream(HANDLE file, bool ownsHandle)
    : m_file(file), m_ownsHandle(ownsHandle), m_size(0), m_position(0), m_buffer(nullptr), m_cursor(0), m_fill(0) {
  m_buffer = static_cast<uint8_t*>(vcxAlloc(BUFFER_SIZE));
  if (!m_buffer)
    vcxThrow(VCX_ERROR_MEMORY);
  try {
    if (GetFileType(file) != FILE_TYPE_DISK)
      vcxThrow(VCX_ERROR_INTERNAL);
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size))
      vcxThrow(VCX_ERROR_ACCESS, "Cannot get file size");
    LARGE_INTEGER zero, position;
    zero.QuadPart = 0;
    if (!SetFilePointerEx(file, zero, &position, FILE_CURRENT))
      vcxThrow(VCX_ERROR_ACCESS, "Cannot get file pointer");
    m_size = size.QuadPart;
    m_position = position.QuadPart;
  } catch (...) {
    // The caller still owns the handle when construction fails.
    vcxFree(m_buffer);
    throw;
  }
}

CVCXHandleStream::~CVCXHandleStream() {
  if (m_ownsHandle)
    CloseHandle(m_file);
  vcxFree(m_buffer);
}

void CVCXHandleStream::SeekFile(int64_t position) {
  LARGE_INTEGER to;
  to.QuadPart = position;
  if (!SetFilePointerEx(m_file, to, nullptr, FILE_BEGIN))
    vcxThrow(VCX_ERROR_ACCESS, "File seek failed");
}

// Reading. The buffer holds the file's bytes from m_position - m_cursor on; the file pointer
// stands after them.

uint8_t CVCXFileReadStream::ReadByte() {
  if (m_cursor < m_fill) {
    ++m_position;
    return m_buffer[m_cursor++];
  }
  return CVCXStream::ReadByte();
}

size_t CVCXFileReadStream::Read(void* buffer, size_t count) {
  uint8_t* out = static_cast<uint8_t*>(buffer);
  const size_t held = m_fill - m_cursor;
  if (count <= held) {
    std::memcpy(out, m_buffer + m_cursor, count);
    m_cursor += count;
    m_position += static_cast<int64_t>(count);
    return count;
  }
  std::memcpy(out, m_buffer + m_cursor, held);
  m_cursor = m_fill = 0;
  size_t delivered = held;
  const size_t rest = count - held;
  if (rest < BUFFER_SIZE) {
    DWORD got = 0;
    if (!ReadFile(m_file, m_buffer, BUFFER_SIZE, &got, nullptr))
      vcxThrow(VCX_ERROR_READ);
    m_fill = got;
    m_cursor = rest < got ? rest : got;
    std::memcpy(out + held, m_buffer, m_cursor);
    delivered += m_cursor;
  } else {
    size_t done = 0;
    while (done < rest) {
      const DWORD chunk = static_cast<DWORD>(rest - done > 0x40000000 ? 0x40000000 : rest - done);
      DWORD got = 0;
      if (!ReadFile(m_file, out + held + done, chunk, &got, nullptr))
        vcxThrow(VCX_ERROR_READ);
      done += got;
      if (got < chunk)
        break;
    }
    delivered += done;
  }
  m_position += static_cast<int64_t>(delivered);
  return delivered;
}

void CVCXFileReadStream::Seek(int64_t position) {
  if (position < 0 || position > m_size)
    vcxThrow(VCX_ERROR_INTERNAL);
  if (position == m_position)
    return;
  const int64_t bufferStart = m_position - static_cast<int64_t>(m_cursor);
  if (m_fill && position >= bufferStart && position <= bufferStart + static_cast<int64_t>(m_fill)) {
    m_cursor = static_cast<size_t>(position - bufferStart);
    m_position = position;
    return;
  }
  SeekFile(position);
  m_cursor = m_fill = 0;
  m_position = position;
}

// Writing. The buffer holds the bytes for the file from m_bufferStart on, where the file
// pointer stands while bytes are buffered.

CVCXFileWriteStream::~CVCXFileWriteStream() {
  try {
    Flush();
  } catch (...) {
  }
}

void CVCXFileWriteStream::WriteBuffer() {
  if (!m_fill)
    return;
  DWORD written = 0;
  if (!WriteFile(m_file, m_buffer, static_cast<DWORD>(m_fill), &written, nullptr) ||
      written != m_fill)
    vcxThrow(VCX_ERROR_WRITE);
}

void CVCXFileWriteStream::WriteByte(uint8_t value) {
  if (m_fill == 0)
    m_bufferStart = m_position;
  if (m_cursor < BUFFER_SIZE) {
    m_buffer[m_cursor++] = value;
    if (m_cursor > m_fill)
      m_fill = m_cursor;
    if (++m_position > m_size)
      m_size = m_position;
    return;
  }
  CVCXStream::WriteByte(value);
}

size_t CVCXFileWriteStream::Write(const void* buffer, size_t count) {
  const uint8_t* in = static_cast<const uint8_t*>(buffer);
  if (m_fill == 0)
    m_bufferStart = m_position;
  if (count <= BUFFER_SIZE - m_cursor) {
    std::memcpy(m_buffer + m_cursor, in, count);
    m_cursor += count;
  } else {
    const size_t first = BUFFER_SIZE - m_cursor;
    std::memcpy(m_buffer + m_cursor, in, first);
    m_fill = BUFFER_SIZE;
    WriteBuffer();
    m_bufferStart += BUFFER_SIZE;
    m_cursor = m_fill = 0;
    const size_t rest = count - first;
    if (rest < BUFFER_SIZE) {
      std::memcpy(m_buffer, in + first, rest);
      m_cursor = rest;
    } else {
      size_t done = 0;
      while (done < rest) {
        const DWORD chunk = static_cast<DWORD>(rest - done > 0x40000000 ? 0x40000000 : rest - done);
        DWORD written = 0;
        if (!WriteFile(m_file, in + first + done, chunk, &written, nullptr) || written != chunk)
          vcxThrow(VCX_ERROR_WRITE);
        done += chunk;
      }
      m_bufferStart += static_cast<int64_t>(rest);
    }
  }
  if (m_cursor > m_fill)
    m_fill = m_cursor;
  m_position += static_cast<int64_t>(count);
  if (m_position > m_size)
    m_size = m_position;
  return count;
}

void CVCXFileWriteStream::Flush() {
  if (!m_fill)
    return;
  WriteBuffer();
  const bool moved = m_cursor != m_fill;
  m_cursor = m_fill = 0;
  m_bufferStart = m_position;
  if (moved)
    SeekFile(m_position);
}

void CVCXFileWriteStream::Seek(int64_t position) {
  if (position < 0 || position > m_size)
    vcxThrow(VCX_ERROR_INTERNAL);
  if (position == m_position)
    return;
  if (m_fill && position >= m_bufferStart &&
      position <= m_bufferStart + static_cast<int64_t>(m_fill)) {
    m_cursor = static_cast<size_t>(position - m_bufferStart);
    m_position = position;
    return;
  }
  Flush();
  SeekFile(position);
  m_position = position;
  m_bufferStart = position;
}

CVCXFileReadStream* vcxOpenFileForRead(const char* path) {
  HANDLE file = CreateFileA(path ? path : "", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
      vcxThrow(VCX_ERROR_ACCESS, "File not found");
    vcxThrow(VCX_ERROR_ACCESS);
  }
  try {
    CVCXFileReadStream* stream = new (std::nothrow) CVCXFileReadStream(file);
    if (!stream)
      vcxThrow(VCX_ERROR_MEMORY);
    return stream;
  } catch (...) {
    CloseHandle(file);
    throw;
  }
}

CVCXFileWriteStream* vcxCreateFile(const char* path) {
  HANDLE file = CreateFileA(path ? path : "", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    vcxThrow(VCX_ERROR_CREATE, "Cannot create file");
  try {
    CVCXFileWriteStream* stream = new (std::nothrow) CVCXFileWriteStream(file);
    if (!stream)
      vcxThrow(VCX_ERROR_MEMORY);
    return stream;
  } catch (...) {
    CloseHandle(file);
    throw;
  }
}

CVCXReplacingFile::CVCXReplacingFile(const char* path) : m_stream(nullptr) {
  if (m_replacement.Begin(path) != ZR_REPLACE_DONE)
    vcxThrow(VCX_ERROR_CREATE, "Cannot create file");
  m_stream = new (std::nothrow) CVCXFileWriteStream(m_replacement.GetHandle(), false);
  if (!m_stream)
    vcxThrow(VCX_ERROR_MEMORY);
}

CVCXReplacingFile::~CVCXReplacingFile() {
  delete m_stream;
}

void CVCXReplacingFile::Commit() {
  m_stream->Flush();
  delete m_stream;
  m_stream = nullptr;
  const uint32_t result = m_replacement.Commit();
  if (result == ZR_REPLACE_WRITE_FAILED)
    vcxThrow(VCX_ERROR_WRITE);
  if (result != ZR_REPLACE_DONE)
    vcxThrow(VCX_ERROR_CREATE, "Cannot create file");
}
