#pragma once
// The stream layer of the project and text files: a shared error state, file objects over
// the ZR library's handles (with its compression filters), and chunk readers and writers
// that add nested, length-prefixed chunks with a CRC-16 header, varints, records and UTF-8
// strings.
//
// Chunk header, 10 bytes: id (four letters, first letter first), payload length (32-bit
// little-endian, header not counted), CRC-16/ARC of the first 8 bytes (little-endian).
#include <cstdint>
#include <functional>
#include "sys/ZR.h"
#include "wul/WULString.h"

// The id of a chunk as a number whose most significant byte is the first letter.
constexpr uint32_t MakeChunkId(const char (&letters)[5]) {
  return (static_cast<uint32_t>(static_cast<uint8_t>(letters[0])) << 24) |
         (static_cast<uint32_t>(static_cast<uint8_t>(letters[1])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(letters[2])) << 8) |
         static_cast<uint32_t>(static_cast<uint8_t>(letters[3]));
}

// The error state of a file object. The first message wins until Reset; in throwing mode
// SetError throws CVCException with it.
class CStreamError {
public:
  enum { STATE_OK = 1, STATE_FAILED = 2 };
  enum { MODE_RETURN = 0, MODE_THROW = 1 };

  CStreamError() : state(STATE_OK), mode(MODE_RETURN) {}

  void SetMode(int32_t newMode) { mode = newMode; }
  int32_t GetMode() const { return mode; }
  // Records the message (unless one is already recorded); throws in MODE_THROW, else false.
  bool SetError(const char* text);
  void Reset();
  bool IsFailed() const { return state == STATE_FAILED; }
  const char* GetMessage() const { return message.text; }

private:
  int32_t state;
  int32_t mode;
  CWULString message;
};

// CRC-16/ARC: reflected polynomial 0x8005, initial value 0, no final XOR.
class CCrc16 {
public:
  CCrc16() : value(0) {}
  void Reset() { value = 0; }
  void Update(const void* bytes, uint32_t count);
  uint16_t Get() const { return value; }

private:
  uint16_t value;
};

// Compression methods of the file layer: 1 = dictionary coder, 2 = range coder.
enum { COMPRESSION_NONE = 0, COMPRESSION_DICT = 1, COMPRESSION_RANGE = 2 };

class CFileReader {
public:
  CFileReader();
  virtual ~CFileReader();
  CFileReader(const CFileReader&) = delete;
  CFileReader& operator=(const CFileReader&) = delete;

  // Closes without reporting anything and resets the error state.
  virtual void CloseAll();
  virtual bool Open(const char* path);
  virtual bool Close();

  bool Read(void* buffer, uint32_t count);
  bool Seek(uint64_t position);
  // The pending target while a skip is pending; 0 without a file.
  uint64_t GetPosition();
  bool AtEnd();
  // Pushes the decoder of the method at the current position (a pending skip is carried
  // out first).
  bool BeginDecompression(int32_t method);
  bool EndDecompression();

  bool IsOpen() const { return handle != nullptr; }
  bool IsDecompressing() const { return decompressing != 0; }
  const char* GetFileName() const { return fileName.text; }

  CStreamError error;

protected:
  // Carries out a pending skip.
  bool SeekPending();
  // The file's size (0 without a file or while decompressing).
  uint64_t GetFileSize();

  ZRHandle handle;
  uint8_t pendingSeek;
  uint64_t pendingTarget;
  uint8_t decompressing;
  CWULString fileName;
};

class CFileWriter {
public:
  CFileWriter();
  virtual ~CFileWriter();
  CFileWriter(const CFileWriter&) = delete;
  CFileWriter& operator=(const CFileWriter&) = delete;

  // Closes without reporting anything and resets the error state.
  virtual void CloseAll();
  virtual bool Create(const char* path);
  virtual bool Close();
  // Writes into an open, empty file that stays the caller's (Close leaves it open); name is
  // the file name reported.
  bool Attach(HANDLE file, const char* name);

  bool Write(const void* buffer, uint32_t count);
  bool Seek(uint64_t position);
  uint64_t GetPosition();
  bool BeginCompression(int32_t method);
  // Finishes the encoder's output.
  bool EndCompression();

  bool IsOpen() const { return handle != nullptr; }
  bool IsCompressing() const { return compressing != 0; }
  const char* GetFileName() const { return fileName.text; }

  CStreamError error;

protected:
  ZRHandle handle;
  uint8_t compressing;
  CWULString fileName;
};

class CChunkReader : public CFileReader {
public:
  CChunkReader();
  ~CChunkReader() override;

  void CloseAll() override;
  // Ends every open chunk first.
  bool Close() override;

  // Reads a header and enters the chunk.
  bool BeginChunk(uint32_t& id);
  // Leaves the innermost chunk; unread payload is skipped lazily.
  bool EndChunk();
  // True without an open chunk or once the innermost chunk's end is reached.
  bool AtChunkEnd();
  bool ReadVarint(uint32_t& value);
  // Reads up to size bytes of a record; a longer record's rest is skipped, a shorter one
  // leaves the buffer's tail untouched.
  bool ReadRecord(void* buffer, uint32_t size);
  // A UTF-8 string, converted to the ANSI code page.
  bool ReadString(CWULString& text);

  int32_t GetDepth() const { return depth; }
  // End of the innermost chunk (0 without one).
  uint64_t GetChunkEnd() const;

private:
  struct Node {
    uint32_t id;
    uint64_t end;
    Node* next;
  };
  void FreeNodes();
  // The bytes a record may still use: up to the innermost chunk's end, else the file's.
  uint64_t GetRoomLeft();

  Node* top;
  int32_t depth;
};

class CChunkWriter : public CFileWriter {
public:
  CChunkWriter();
  ~CChunkWriter() override;

  void CloseAll() override;
  // Ends every open chunk first.
  bool Close() override;

  bool BeginChunk(uint32_t id);
  // Writes the final header of the innermost chunk.
  bool EndChunk();
  bool WriteVarint(uint32_t value);
  bool WriteRecord(const void* bytes, uint32_t count);
  // Text in the ANSI code page, stored as UTF-8.
  bool WriteString(const char* text);

  int32_t GetDepth() const { return depth; }

private:
  struct Node {
    uint32_t id;
    uint64_t start;
    Node* next;
  };
  void FreeNodes();

  Node* top;
  int32_t depth;
};

// Writes the 10-byte header of a chunk into out.
void BuildChunkHeader(uint32_t id, uint32_t length, uint8_t out[10]);

// Saves to path without risking what is there: file (switched to throwing mode) writes into
// a new file beside path (CZRReplacement), write fills it, and only the complete file, on
// the disk, takes path's place with path's attributes. On any failure the new file is
// deleted, path is left as it was and the failure passes on ("Write failed (the disk is
// full?)" when the data did not reach the disk, "Cannot create the file" when the new file
// cannot be made or cannot take path's place). A read-only path is refused before anything
// is written ("The file is write-protected").
void WriteFileReplacing(CFileWriter& file, const char* path, const std::function<void()>& write);
