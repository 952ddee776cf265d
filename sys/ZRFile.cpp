#include "sys/ZRFile.h"
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

bool SetFilePosition(HANDLE file, uint64_t target, uint64_t& result) {
  LONG high = static_cast<LONG>(target >> 32);
  DWORD low = SetFilePointer(file, static_cast<LONG>(target & 0xFFFFFFFFu), &high, FILE_BEGIN);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
    return false;
  result = (static_cast<uint64_t>(static_cast<uint32_t>(high)) << 32) | low;
  return true;
}

uint64_t FileSize(HANDLE file) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size) || size.QuadPart < 0)
    return 0;
  return static_cast<uint64_t>(size.QuadPart);
}

void CloseOwnedFile(HANDLE file, bool owns) {
  if (owns && file != INVALID_HANDLE_VALUE && file != nullptr && !CloseHandle(file))
    zrSetError(ZR_ERROR_CLOSE);
}

}  // namespace

// ---- reader

CZRFileReader::CZRFileReader(ZRHandle handle, HANDLE file, bool ownsHandle, uint8_t* buffer, uint32_t capacity)
    : CZRInputStream(handle, ZR_KIND_FILE_READER),
      m_file(file),
      m_ownsHandle(ownsHandle),
      m_size(FileSize(file)),
      m_position(0),
      m_capacity(capacity),
      m_index(0),
      m_fill(0),
      m_buffer(buffer) {}

CZRFileReader::~CZRFileReader() {
  CloseOwnedFile(m_file, m_ownsHandle);
  std::free(m_buffer);
}

uint32_t CZRFileReader::ReadByte() {
  if (m_index == m_fill)
    return CZRStream::ReadByte();
  ++m_position;
  return m_buffer[m_index++];
}

void CZRFileReader::Read(void* buffer, uint32_t count, uint32_t& done) {
  uint8_t* out = static_cast<uint8_t*>(buffer);
  uint32_t avail = m_fill - m_index;
  if (avail >= count) {
    std::memcpy(out, m_buffer + m_index, count);
    m_index += count;
    done = count;
    m_position += done;
    return;
  }
  std::memcpy(out, m_buffer + m_index, avail);
  done = avail;
  m_index = m_fill = 0;
  uint32_t rest = count - avail;
  DWORD got = 0;
  if (rest < m_capacity) {
    if (!ReadFile(m_file, m_buffer, m_capacity, &got, nullptr)) {
      Fail(ZR_ERROR_READ);
      got = 0;
    }
    uint32_t take = rest < got ? rest : static_cast<uint32_t>(got);
    std::memcpy(out + avail, m_buffer, take);
    m_index = take;
    m_fill = got;
    done += take;
  } else {
    if (!ReadFile(m_file, out + avail, rest, &got, nullptr)) {
      Fail(ZR_ERROR_READ);
      got = 0;
    }
    done += got;
  }
  m_position += done;
}

bool CZRFileReader::IsAtEnd() { return m_position >= m_size; }

uint64_t CZRFileReader::GetSize() { return m_size; }

uint64_t CZRFileReader::GetPosition() { return m_position; }

void CZRFileReader::Rewind() { Seek(0); }

void CZRFileReader::Seek(uint64_t position) {
  if (position > m_size)
    position = m_size;
  uint64_t base = m_position - m_index;
  if (position >= base && position - base < m_fill) {
    m_index = static_cast<uint32_t>(position - base);
    m_position = position;
    return;
  }
  uint64_t result = 0;
  if (!SetFilePosition(m_file, position, result)) {
    Fail(ZR_ERROR_SEEK);
    return;
  }
  m_index = m_fill = 0;
  m_position = result;
}

// ---- writer

CZRFileWriter::CZRFileWriter(ZRHandle handle, HANDLE file, bool ownsHandle, uint8_t* buffer, uint32_t capacity)
    : CZROutputStream(handle, ZR_KIND_FILE_WRITER),
      m_file(file),
      m_ownsHandle(ownsHandle),
      m_size(0),
      m_position(0),
      m_capacity(capacity),
      m_index(0),
      m_fill(0),
      m_buffer(buffer) {}

CZRFileWriter::~CZRFileWriter() {
  CloseOwnedFile(m_file, m_ownsHandle);
  std::free(m_buffer);
}

bool CZRFileWriter::WriteRaw(const void* data, uint32_t count) {
  DWORD written = 0;
  return WriteFile(m_file, data, count, &written, nullptr) && written == count;
}

void CZRFileWriter::WriteByte(uint8_t byte) {
  if (m_index == m_capacity) {
    CZRStream::WriteByte(byte);
    return;
  }
  m_buffer[m_index++] = byte;
  if (m_fill < m_index)
    m_fill = m_index;
  ++m_position;
  if (m_size < m_position)
    m_size = m_position;
}

void CZRFileWriter::Write(const void* buffer, uint32_t count, uint32_t& done) {
  const uint8_t* in = static_cast<const uint8_t*>(buffer);
  uint32_t space = m_capacity - m_index;
  if (space >= count) {
    std::memcpy(m_buffer + m_index, in, count);
    m_index += count;
    if (m_fill < m_index)
      m_fill = m_index;
    done = count;
  } else {
    std::memcpy(m_buffer + m_index, in, space);
    done = space;
    bool ok = WriteRaw(m_buffer, m_capacity);
    m_index = m_fill = 0;
    if (!ok) {
      Fail(ZR_ERROR_WRITE);
    } else {
      uint32_t rest = count - space;
      if (rest < m_capacity) {
        std::memcpy(m_buffer, in + space, rest);
        m_index = m_fill = rest;
        done = count;
      } else if (WriteRaw(in + space, rest)) {
        done = count;
      } else {
        Fail(ZR_ERROR_WRITE);
      }
    }
  }
  m_position += done;
  if (m_size < m_position)
    m_size = m_position;
}

uint64_t CZRFileWriter::GetSize() { return m_size; }

uint64_t CZRFileWriter::GetPosition() { return m_position; }

void CZRFileWriter::Seek(uint64_t position) {
  if (position > m_size)
    position = m_size;
  uint64_t base = m_position - m_index;
  if (position >= base && position - base < m_fill) {
    m_index = static_cast<uint32_t>(position - base);
    m_position = position;
    return;
  }
  const bool written = WritePending();
  uint64_t result = 0;
  if (!SetFilePosition(m_file, position, result)) {
    if (written)
      Fail(ZR_ERROR_SEEK);
    return;
  }
  m_index = m_fill = 0;
  m_position = result;
}

void CZRFileWriter::Flush() { WritePending(); }

// Writes out the buffered bytes. False when that write failed: its error 12 then stays the
// stream's error, whatever positioning the file afterwards gives.
bool CZRFileWriter::WritePending() {
  if (m_fill == 0)
    return true;
  const bool written = WriteRaw(m_buffer, m_fill);
  if (!written)
    Fail(ZR_ERROR_WRITE);
  // After a seek back into the window the logical position lies before the end of what
  // was just written: bring the file pointer back to it.
  if (m_index < m_fill) {
    LONG back = -static_cast<LONG>(m_fill - m_index);
    if (SetFilePointer(m_file, back, nullptr, FILE_CURRENT) == INVALID_SET_FILE_POINTER &&
        GetLastError() != NO_ERROR && written)
      Fail(ZR_ERROR_SEEK);
  }
  m_index = m_fill = 0;
  return written;
}

// ---- handle calls

namespace {

template <class Stream>
ZRHandle OpenStream(HANDLE file, bool ownsHandle = true) {
  ZRHandle handle = static_cast<ZRHandle>(std::malloc(sizeof(ZRHandleRecord)));
  uint8_t* buffer = static_cast<uint8_t*>(std::malloc(ZR_FILE_BUFFER_SIZE));
  Stream* stream = nullptr;
  if (handle && buffer) {
    handle->top = nullptr;
    stream = new (std::nothrow) Stream(handle, file, ownsHandle, buffer, ZR_FILE_BUFFER_SIZE);
  }
  if (!stream) {
    std::free(buffer);
    std::free(handle);
    if (ownsHandle)
      CloseHandle(file);
    zrSetError(ZR_ERROR_MEMORY);
    return nullptr;
  }
  return handle;
}

CZRStream* Top(ZRHandle handle) {
  if (!handle || !handle->top) {
    zrSetError(ZR_ERROR_NULL_HANDLE);
    return nullptr;
  }
  return handle->top;
}

}  // namespace

extern "C" {

ZRHandle WINAPI zrOpenFileForRead(CZROpener* opener, const char* path, uint32_t mode) {
  zrClearError();
  if (opener)
    return opener->OpenRead(path, mode);
  if (!path) {
    zrSetError(ZR_ERROR_OPEN);
    return nullptr;
  }
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD reason = GetLastError();
    zrSetError(reason == ERROR_FILE_NOT_FOUND ? ZR_ERROR_NOT_FOUND : ZR_ERROR_OPEN);
    return nullptr;
  }
  return OpenStream<CZRFileReader>(file);
}

ZRHandle WINAPI zrOpenFileForWrite(CZROpener* opener, const char* path, uint32_t attributes, uint32_t mode) {
  zrClearError();
  if (opener)
    return opener->OpenWrite(path, attributes, mode);
  if (!path) {
    zrSetError(ZR_ERROR_OPEN);
    return nullptr;
  }
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            attributes | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    zrSetError(ZR_ERROR_OPEN);
    return nullptr;
  }
  return OpenStream<CZRFileWriter>(file);
}

ZRHandle WINAPI zrWrapFileForWrite(HANDLE file, uint32_t ownsHandle) {
  zrClearError();
  if (file == INVALID_HANDLE_VALUE || !file) {
    zrSetError(ZR_ERROR_OPEN);
    return nullptr;
  }
  return OpenStream<CZRFileWriter>(file, ownsHandle != 0);
}

uint32_t WINAPI zrAttachFilter(ZRHandle handle, uint32_t type, uint32_t param) {
  zrClearError();
  if (CZRStream* top = Top(handle))
    top->AttachFilter(type, param);
  return zrGetLastError();
}

uint32_t WINAPI zrDetachFilter(ZRHandle handle) {
  zrClearError();
  if (CZRStream* top = Top(handle))
    top->DetachFilter();
  return zrGetLastError();
}

uint32_t WINAPI zrRead(ZRHandle handle, void* buffer, uint32_t count, uint32_t* done) {
  zrClearError();
  if (done)
    *done = 0;
  CZRStream* top = Top(handle);
  if (!top)
    return ZR_ERROR_NULL_HANDLE;
  uint32_t got = 0;
  if (count)
    top->Read(buffer, count, got);
  if (done)
    *done = got;
  return top->GetError();
}

uint32_t WINAPI zrWrite(ZRHandle handle, const void* buffer, uint32_t count, uint32_t* done) {
  zrClearError();
  if (done)
    *done = 0;
  CZRStream* top = Top(handle);
  if (!top)
    return ZR_ERROR_NULL_HANDLE;
  uint32_t put = 0;
  if (count)
    top->Write(buffer, count, put);
  if (done)
    *done = put;
  return top->GetError();
}

uint32_t WINAPI zrClose(ZRHandle handle) {
  zrClearError();
  if (!handle) {
    zrSetError(ZR_ERROR_NULL_HANDLE);
    return ZR_ERROR_NULL_HANDLE;
  }
  if (handle->top)
    handle->top->Close();
  std::free(handle);
  return zrGetLastError();
}

bool WINAPI zrIsAtEnd(ZRHandle handle) {
  zrClearError();
  CZRStream* top = Top(handle);
  return top ? top->IsAtEnd() : false;
}

uint64_t WINAPI zrGetSize(ZRHandle handle) {
  zrClearError();
  CZRStream* top = Top(handle);
  return top ? top->GetSize() : 0;
}

uint64_t WINAPI zrGetPosition(ZRHandle handle) {
  zrClearError();
  CZRStream* top = Top(handle);
  return top ? top->GetPosition() : 0;
}

uint32_t WINAPI zrSeek(ZRHandle handle, uint64_t position) {
  zrClearError();
  CZRStream* top = Top(handle);
  if (!top)
    return ZR_ERROR_NULL_HANDLE;
  top->Seek(position);
  return top->GetError();
}

}  // extern "C"
