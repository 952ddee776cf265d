#include "sys/ZRFilters.h"

// ---- decoder base

void CZRInputFilter::Fail(uint32_t code) {
  m_stopped = true;
  CZRStream::Fail(code);
}

void CZRInputFilter::Prime() {
  if (!m_stopped && !DecodeNext(m_next))
    m_stopped = true;
}

bool CZRInputFilter::InputByte(uint8_t& byte) {
  uint32_t value = m_inner->ReadByte();
  if (m_inner->GetError() != ZR_ERROR_NONE) {
    Fail(ZR_ERROR_READ);
    return false;
  }
  byte = static_cast<uint8_t>(value);
  return true;
}

void CZRInputFilter::Read(void* buffer, uint32_t count, uint32_t& done) {
  done = 0;
  if (m_inner->GetError() != ZR_ERROR_NONE) {
    Fail(ZR_ERROR_READ);
    return;
  }
  uint8_t* out = static_cast<uint8_t*>(buffer);
  while (done < count && !m_stopped) {
    out[done++] = m_next;
    if (!DecodeNext(m_next))
      m_stopped = true;
  }
}

void CZRInputFilter::DetachFilter() {
  uint32_t error = m_error;
  delete this;
  if (error != ZR_ERROR_NONE)
    zrSetError(error);
}

// ---- encoder base

void CZROutputFilter::Fail(uint32_t code) {
  m_stopped = true;
  CZRStream::Fail(code);
}

void CZROutputFilter::Write(const void* buffer, uint32_t count, uint32_t& done) {
  done = 0;
  if (m_inner->GetError() != ZR_ERROR_NONE) {
    Fail(ZR_ERROR_WRITE);
    return;
  }
  const uint8_t* in = static_cast<const uint8_t*>(buffer);
  while (done < count && !m_stopped)
    EncodeByte(in[done++]);
}

void CZROutputFilter::Flush() {
  if (m_finished)
    return;
  m_finished = true;
  if (!m_stopped) {
    if (m_inner->GetError() != ZR_ERROR_NONE)
      Fail(ZR_ERROR_WRITE);
    else
      Finish();
  }
  m_stopped = true;
}

void CZROutputFilter::DetachFilter() {
  Flush();
  uint32_t error = m_error;
  delete this;
  // A failed encoder has lost data: its detach must not look like success.
  if (error != ZR_ERROR_NONE)
    zrSetError(error);
}

void CZROutputFilter::Close() {
  Flush();
  uint32_t error = m_error;
  CZROutputStream::Close();
  if (error != ZR_ERROR_NONE && zrGetLastError() == ZR_ERROR_NONE)
    zrSetError(error);
}
