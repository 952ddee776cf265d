#pragma once
// Buffered file streams and the handle-level calls of the ZR library.
#include "sys/ZRStream.h"

// Optional replacement of the file openers: when passed, the open calls only forward to it.
class CZROpener {
public:
  virtual ~CZROpener() {}
  virtual ZRHandle OpenRead(const char* path, uint32_t mode) = 0;
  virtual ZRHandle OpenWrite(const char* path, uint32_t attributes, uint32_t mode) = 0;
};

enum : uint32_t { ZR_FILE_BUFFER_SIZE = 65536 };

class CZRFileReader : public CZRInputStream {
public:
  // Takes the buffer (allocated with zrAllocateMemory) and, when ownsHandle, the file handle.
  CZRFileReader(ZRHandle handle, HANDLE file, bool ownsHandle, uint8_t* buffer, uint32_t capacity);
  ~CZRFileReader() override;

  uint32_t ReadByte() override;
  void Read(void* buffer, uint32_t count, uint32_t& done) override;
  bool IsAtEnd() override;
  uint64_t GetSize() override;
  uint64_t GetPosition() override;
  void Rewind() override;
  void Seek(uint64_t position) override;

private:
  HANDLE m_file;
  bool m_ownsHandle;
  uint64_t m_size;
  uint64_t m_position;
  uint32_t m_capacity;
  uint32_t m_index;
  uint32_t m_fill;
  uint8_t* m_buffer;
};

class CZRFileWriter : public CZROutputStream {
public:
  CZRFileWriter(ZRHandle handle, HANDLE file, bool ownsHandle, uint8_t* buffer, uint32_t capacity);
  ~CZRFileWriter() override;

  void WriteByte(uint8_t byte) override;
  void Write(const void* buffer, uint32_t count, uint32_t& done) override;
  uint64_t GetSize() override;
  uint64_t GetPosition() override;
  void Seek(uint64_t position) override;
  void Flush() override;

private:
  bool WriteRaw(const void* data, uint32_t count);
  bool WritePending();

  HANDLE m_file;
  bool m_ownsHandle;
  uint64_t m_size;      // highest position ever written
  uint64_t m_position;
  uint32_t m_capacity;
  uint32_t m_index;
  uint32_t m_fill;      // high-water level of valid bytes in the buffer
  uint8_t* m_buffer;
};

extern "C" {

// Opens an existing file for buffered reading. Null on failure (5 not found, 6 other, 2 memory).
ZRHandle WINAPI zrOpenFileForRead(CZROpener* opener, const char* path, uint32_t mode);
// Creates (or truncates) a file for buffered writing. Null on failure (6, 2).
ZRHandle WINAPI zrOpenFileForWrite(CZROpener* opener, const char* path, uint32_t attributes, uint32_t mode);
// Buffered writing into an open, empty file (its pointer at the start); the file handle is
// closed with the stream only when ownsHandle. Null on failure (6 no file, 2; an owned file
// is then closed).
ZRHandle WINAPI zrWrapFileForWrite(HANDLE file, uint32_t ownsHandle);
// Pushes a filter (ZR_FILTER_RANGE or ZR_FILTER_DICT) onto the handle. Returns the thread word.
uint32_t WINAPI zrAttachFilter(ZRHandle handle, uint32_t type, uint32_t param);
// Pops the top filter; an encoder finishes its output first. Returns the thread word.
uint32_t WINAPI zrDetachFilter(ZRHandle handle);
// Return the top stream's error code (0 = success); done receives the bytes moved.
// A short count is not itself an error: compare done with count.
uint32_t WINAPI zrRead(ZRHandle handle, void* buffer, uint32_t count, uint32_t* done);
uint32_t WINAPI zrWrite(ZRHandle handle, const void* buffer, uint32_t count, uint32_t* done);
// Closes the whole chain from the top down and frees the handle. Returns the thread word.
uint32_t WINAPI zrClose(ZRHandle handle);
bool WINAPI zrIsAtEnd(ZRHandle handle);
uint64_t WINAPI zrGetSize(ZRHandle handle);
uint64_t WINAPI zrGetPosition(ZRHandle handle);
// Returns the top stream's error code.
uint32_t WINAPI zrSeek(ZRHandle handle, uint64_t position);

}  // extern "C"
