#include "sys/ZRStream.h"
#include "sys/ZRFilters.h"
#include <new>

CZRStream::CZRStream(ZRHandle handle, uint32_t kind)
    : m_kind(kind), m_error(ZR_ERROR_NONE), m_handle(handle), m_inner(nullptr) {
  if (m_handle) {
    m_inner = m_handle->top;
    m_handle->top = this;
  }
}

CZRStream::~CZRStream() {
  if (m_handle && m_handle->top == this)
    m_handle->top = m_inner;
}

void CZRStream::Fail(uint32_t code) {
  m_error = code;
  zrSetError(code);
}

uint32_t CZRStream::ReadByte() {
  uint8_t byte = 0;
  uint32_t done = 0;
  Read(&byte, 1, done);
  if (done == 1)
    return byte;
  if (m_error == ZR_ERROR_NONE)
    Fail(ZR_ERROR_READ);
  return (m_error & ~0xFFu) | 0xFFu;
}

void CZRStream::WriteByte(uint8_t byte) {
  uint32_t done = 0;
  Write(&byte, 1, done);
  if (done != 1 && m_error == ZR_ERROR_NONE)
    Fail(ZR_ERROR_WRITE);
}

void CZRStream::Read(void*, uint32_t, uint32_t& done) {
  done = 0;
  Fail(ZR_ERROR_UNSUPPORTED);
}

void CZRStream::Write(const void*, uint32_t, uint32_t& done) {
  done = 0;
  Fail(ZR_ERROR_UNSUPPORTED);
}

void CZRStream::Close() {
  if (m_inner) {
    CZRStream* inner = m_inner;
    inner->Close();
    m_inner = nullptr;
  }
  delete this;
}

bool CZRStream::IsAtEnd() {
  Fail(ZR_ERROR_UNSUPPORTED);
  return true;
}

uint64_t CZRStream::GetSize() {
  Fail(ZR_ERROR_UNSUPPORTED);
  return 0;
}

uint64_t CZRStream::GetPosition() {
  Fail(ZR_ERROR_UNSUPPORTED);
  return 0;
}

void CZRStream::Rewind() { Fail(ZR_ERROR_UNSUPPORTED); }

void CZRStream::Seek(uint64_t) { Fail(ZR_ERROR_UNSUPPORTED); }

void CZRStream::AttachFilter(uint32_t, uint32_t) { Fail(ZR_ERROR_UNSUPPORTED); }

void CZRStream::DetachFilter() { Fail(ZR_ERROR_UNSUPPORTED); }

void CZRStream::Flush() {}

void CZRInputStream::AttachFilter(uint32_t type, uint32_t) {
  if (type != ZR_FILTER_RANGE && type != ZR_FILTER_DICT) {
    Fail(ZR_ERROR_FILTER_TYPE);
    return;
  }
  // The decoder reads its first input as it is made; it is the top from then on.
  CZRStream* filter;
  if (type == ZR_FILTER_RANGE)
    filter = new (std::nothrow) CZRRangeDecoder(m_handle);
  else
    filter = new (std::nothrow) CZRDictDecoder(m_handle);
  if (!filter)
    zrSetError(ZR_ERROR_MEMORY);
}

void CZROutputStream::AttachFilter(uint32_t type, uint32_t) {
  if (type != ZR_FILTER_RANGE && type != ZR_FILTER_DICT) {
    Fail(ZR_ERROR_FILTER_TYPE);
    return;
  }
  CZRStream* filter;
  if (type == ZR_FILTER_RANGE)
    filter = new (std::nothrow) CZRRangeEncoder(m_handle);
  else
    filter = new (std::nothrow) CZRDictEncoder(m_handle);
  if (!filter)
    zrSetError(ZR_ERROR_MEMORY);
}

void CZROutputStream::Close() {
  Flush();
  CZRStream::Close();
}
