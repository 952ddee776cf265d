#include "wul/WULString.h"
#include <cstdlib>
#include <cstring>
#include "wul/WULError.h"

namespace {
const char kLocation[] = "CWULString::SetStorageSize";
const char kFailed[] = "String allocation failed";
// Largest power of two that fits the capacity field.
const int64_t kMaxCapacity = int64_t(1) << 30;
}  // namespace

CWULString::CWULString() : text(inlineBuffer), capacity(INLINE_SIZE) {
  classCode = WUL_CLASS_STRING;
  inlineBuffer[0] = 0;
}

CWULString::CWULString(const char* source) : CWULString() { Assign(source); }

CWULString::CWULString(const CWULString& other) : CWULString() { Assign(other.text); }

CWULString::~CWULString() {
  if (text != inlineBuffer)
    std::free(text);
}

bool CWULString::IsInside(const char* p) const {
  // Compared as integers: the pointers may belong to different objects.
  uintptr_t begin = reinterpret_cast<uintptr_t>(text);
  uintptr_t at = reinterpret_cast<uintptr_t>(p);
  return at >= begin && at - begin < static_cast<uintptr_t>(capacity);
}

void CWULString::SetStorageSize(int size, bool keep) {
  if (size > kMaxCapacity)
    wulThrowError(3, kLocation, kFailed);
  int64_t newCapacity = capacity;
  while (newCapacity < size)
    newCapacity *= 2;
  while (newCapacity > INLINE_SIZE && (newCapacity + 3) / 4 > size)
    newCapacity /= 2;
  if (newCapacity < INLINE_SIZE)
    newCapacity = INLINE_SIZE;
  if (newCapacity == capacity)
    return;

  char* buffer = inlineBuffer;
  if (newCapacity > INLINE_SIZE) {
    buffer = static_cast<char*>(std::malloc(static_cast<size_t>(newCapacity)));
    if (!buffer)
      wulThrowError(3, kLocation, kFailed);
  }
  if (keep) {
    size_t length = strnlen(text, static_cast<size_t>(capacity));
    if (length >= static_cast<size_t>(newCapacity))
      length = static_cast<size_t>(newCapacity) - 1;
    std::memcpy(buffer, text, length);
    buffer[length] = 0;
  } else {
    buffer[0] = 0;
  }
  if (text != inlineBuffer)
    std::free(text);
  text = buffer;
  capacity = static_cast<int32_t>(newCapacity);
}

char* CWULString::GetBuffer(int size) {
  SetStorageSize(size, false);
  return text;
}

void CWULString::Assign(const char* source) {
  if (!source)
    source = "";
  if (IsInside(source)) {
    // Part of our own text: resizing could free it, so go through a copy.
    CWULString copy(source);
    Assign(copy.text);
    return;
  }
  size_t length = std::strlen(source);
  if (length >= static_cast<size_t>(kMaxCapacity))
    wulThrowError(3, kLocation, kFailed);
  SetStorageSize(static_cast<int>(length + 1), false);
  std::memcpy(text, source, length + 1);
  NotifyChanged();
}

CWULString& CWULString::operator=(const char* source) {
  Assign(source);
  return *this;
}

CWULString& CWULString::operator=(const CWULString& other) {
  Assign(other.text);
  return *this;
}

void CWULString::Clear() { Assign(""); }

void CWULString::Append(const char* source) {
  if (!source)
    source = "";
  if (IsInside(source)) {
    CWULString copy(source);
    Append(copy.text);
    return;
  }
  size_t length = strnlen(text, static_cast<size_t>(capacity));
  size_t added = std::strlen(source);
  if (length + added >= static_cast<size_t>(kMaxCapacity))
    wulThrowError(3, kLocation, kFailed);
  SetStorageSize(static_cast<int>(length + added + 1), true);
  std::memcpy(text + length, source, added + 1);
  NotifyChanged();
}

void CWULString::Append(char c) {
  char one[2] = {c, 0};
  Append(one);
}

void CWULString::Append(const CWULString& other) { Append(other.text); }

bool CWULString::Equals(const char* other) const { return std::strcmp(text, other ? other : "") == 0; }

bool CWULString::Equals(const CWULString& other) const { return std::strcmp(text, other.text) == 0; }

bool CWULString::NotEquals(const char* other) const { return !Equals(other); }

int CWULString::GetLength() const { return static_cast<int>(strnlen(text, static_cast<size_t>(capacity))); }
