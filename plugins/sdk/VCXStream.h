#pragma once
// Byte streams of the plug-in side with 64-bit positions. Failures throw CVCXException.
#include <windows.h>
#include <cstddef>
#include <cstdint>
#include "sys/ZRReplace.h"

class CVCXStream {
public:
  virtual ~CVCXStream();
  // Throws 14 when no byte is left.
  virtual uint8_t ReadByte();
  // Returns the number of bytes actually read.
  virtual size_t Read(void* buffer, size_t count);
  // Throws 12 when the byte is not written.
  virtual void WriteByte(uint8_t value);
  virtual size_t Write(const void* buffer, size_t count);
  virtual void Flush();
  virtual void Rewind();
  virtual void Seek(int64_t position);
  virtual int64_t GetSize();
  virtual int64_t GetPosition();
  virtual bool IsAtEnd();

  // Reads exactly count bytes; fewer throw 14.
  void ReadExact(void* buffer, size_t count);
  // Writes exactly count bytes; fewer throw 12.
  void WriteExact(const void* buffer, size_t count);
  // Bytes between the position and the end.
  int64_t GetRemaining();
};

// Counts what is written without storing it.
class CVCXCountingStream : public CVCXStream {
public:
  CVCXCountingStream() : m_position(0), m_size(0) {}
  void WriteByte(uint8_t value) override;
  size_t Write(const void* buffer, size_t count) override;
  void Flush() override {}
  void Seek(int64_t position) override;
  int64_t GetSize() override { return m_size; }
  int64_t GetPosition() override { return m_position; }
  bool IsAtEnd() override { return m_position >= m_size; }

private:
  int64_t m_position;
  int64_t m_size;
};

// Reads a block of memory that it does not own.
class CVCXMemoryStream : public CVCXStream {
public:
  CVCXMemoryStream(const void* data, uint32_t size)
      : m_data(static_cast<const uint8_t*>(data)), m_size(size), m_position(0) {}
  uint8_t ReadByte() override;
  size_t Read(void* buffer, size_t count) override;
  void Seek(int64_t position) override;
  int64_t GetSize() override { return m_size; }
  int64_t GetPosition() override { return m_position; }
  bool IsAtEnd() override { return m_position >= m_size; }

private:
  const uint8_t* m_data;
  uint32_t m_size;
  uint32_t m_position;
};

// A disk file with a 64 KiB buffer; owns the handle unless told otherwise.
class CVCXHandleStream : public CVCXStream {
public:
  enum { BUFFER_SIZE = 65536 };
  explicit CVCXHandleStream(HANDLE file, bool ownsHandle = true);
  ~CVCXHandleStream() override;
  int64_t GetSize() override { return m_size; }
  int64_t GetPosition() override { return m_position; }
  bool IsAtEnd() override { return m_position >= m_size; }

protected:
  // Moves the file pointer (11 "File seek failed").
  void SeekFile(int64_t position);

  HANDLE m_file;
  bool m_ownsHandle;
  int64_t m_size;
  int64_t m_position;
  uint8_t* m_buffer;
  size_t m_cursor;  // next byte of the buffer
  size_t m_fill;    // bytes held in the buffer
};

class CVCXFileReadStream : public CVCXHandleStream {
public:
  explicit CVCXFileReadStream(HANDLE file) : CVCXHandleStream(file) {}
  uint8_t ReadByte() override;
  size_t Read(void* buffer, size_t count) override;
  void Seek(int64_t position) override;
};

class CVCXFileWriteStream : public CVCXHandleStream {
public:
  explicit CVCXFileWriteStream(HANDLE file, bool ownsHandle = true)
      : CVCXHandleStream(file, ownsHandle), m_bufferStart(m_position) {}
  ~CVCXFileWriteStream() override;
  void WriteByte(uint8_t value) override;
  size_t Write(const void* buffer, size_t count) override;
  void Flush() override;
  void Seek(int64_t position) override;

  // Bytes waiting in the buffer.
  size_t GetBuffered() const { return m_fill; }

private:
  // Writes the buffer's bytes at the file pointer.
  void WriteBuffer();
  int64_t m_bufferStart;  // file position of the buffer's first byte
};

// 11 "File not found" or 11 without text; 6 when the stream cannot be made.
CVCXFileReadStream* vcxOpenFileForRead(const char* path);
// 10 "Cannot create file".
CVCXFileWriteStream* vcxCreateFile(const char* path);

// The write stream of a new file that takes path's place once complete; until Commit, path
// is not touched, and destruction without Commit removes the new file.
class CVCXReplacingFile {
public:
  // 10 "Cannot create file".
  explicit CVCXReplacingFile(const char* path);
  ~CVCXReplacingFile();
  CVCXReplacingFile(const CVCXReplacingFile&) = delete;
  CVCXReplacingFile& operator=(const CVCXReplacingFile&) = delete;

  CVCXFileWriteStream& GetStream() { return *m_stream; }
  // Writes out the buffer and brings the file to the disk (12), then puts it in path's place
  // with path's attributes (10 "Cannot create file").
  void Commit();

private:
  CZRReplacement m_replacement;  // outlives the stream, which writes into its file
  CVCXFileWriteStream* m_stream;
};
