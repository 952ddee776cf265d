#pragma once
// Stream classes of the ZR library. A handle holds a chain of streams: a file stream at the
// bottom and any filters pushed on top of it. Streams push themselves onto their handle when
// constructed and pop themselves when destroyed. Failures are stored, never thrown.
#include "sys/ZRError.h"

class CZRStream;

// The record behind a ZRHandle: the top stream of its chain.
struct ZRHandleRecord {
  CZRStream* top;
};
typedef ZRHandleRecord* ZRHandle;

// Kind codes of the streams.
enum : uint32_t {
  ZR_KIND_BASE = 0,
  ZR_KIND_FILE_WRITER = 1,
  ZR_KIND_FILE_READER = 2,
  ZR_KIND_RANGE_ENCODER = 101,
  ZR_KIND_RANGE_DECODER = 102,
  ZR_KIND_DICT_ENCODER = 103,
  ZR_KIND_DICT_DECODER = 104,
};

// Filter types for AttachFilter.
enum : uint32_t {
  ZR_FILTER_RANGE = 1,  // LZ77 through an adaptive binary range coder
  ZR_FILTER_DICT = 2,   // dictionary coder with 9- to 16-bit codes
};

class CZRStream {
public:
  // Sets inner = the handle's top and makes this stream the top.
  CZRStream(ZRHandle handle, uint32_t kind);
  // Sets the handle's top back to inner.
  virtual ~CZRStream();

  // Stores the code in the stream's error field and in the thread word.
  virtual void Fail(uint32_t code);
  // The byte in the low 8 bits; when none came, an error code whose low byte is 0xFF.
  virtual uint32_t ReadByte();
  virtual void WriteByte(uint8_t byte);
  virtual void Read(void* buffer, uint32_t count, uint32_t& done);
  virtual void Write(const void* buffer, uint32_t count, uint32_t& done);
  // Closes the chain from here down and deletes this stream.
  virtual void Close();
  virtual bool IsAtEnd();
  virtual uint64_t GetSize();
  virtual uint64_t GetPosition();
  virtual void Rewind();
  virtual void Seek(uint64_t position);
  virtual void AttachFilter(uint32_t type, uint32_t param);
  virtual void DetachFilter();
  virtual void Flush();

  uint32_t GetKind() const { return m_kind; }
  uint32_t GetError() const { return m_error; }
  ZRHandle GetHandle() const { return m_handle; }
  CZRStream* GetInner() const { return m_inner; }

protected:
  uint32_t m_kind;
  uint32_t m_error;
  ZRHandle m_handle;
  CZRStream* m_inner;

private:
  CZRStream(const CZRStream&) = delete;
  CZRStream& operator=(const CZRStream&) = delete;
};

class CZRInputStream : public CZRStream {
public:
  CZRInputStream(ZRHandle handle, uint32_t kind) : CZRStream(handle, kind) {}
  // Pushes the decoder of the type: 1 range decoder, 2 dictionary decoder.
  void AttachFilter(uint32_t type, uint32_t param) override;
};

class CZROutputStream : public CZRStream {
public:
  CZROutputStream(ZRHandle handle, uint32_t kind) : CZRStream(handle, kind) {}
  // Pushes the encoder of the type: 1 range encoder, 2 dictionary encoder.
  void AttachFilter(uint32_t type, uint32_t param) override;
  // Flush, then as the base.
  void Close() override;
};
