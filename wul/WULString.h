#pragma once
// The framework's text type. Texts shorter than 32 bytes live in the object itself;
// longer ones in a heap buffer whose size is a power of two.
#include <cstdint>
#include "wul/WULObject.h"

class CWULString : public CWULObject {
public:
  enum { INLINE_SIZE = 32 };

  CWULString();
  CWULString(const char* source);
  CWULString(const CWULString& other);
  ~CWULString();

  // Fits the capacity to size bytes; keep carries the old text over (cut to fit).
  // Does not notify.
  void SetStorageSize(int size, bool keep);
  // Writable buffer of at least size bytes, for callers that fill it themselves.
  char* GetBuffer(int size);

  // A null text counts as the empty text.
  void Assign(const char* source);
  CWULString& operator=(const char* source);
  CWULString& operator=(const CWULString& other);
  void Clear();

  void Append(const char* source);
  void Append(char c);
  void Append(const CWULString& other);

  bool Equals(const char* other) const;
  bool Equals(const CWULString& other) const;
  bool NotEquals(const char* other) const;

  int GetLength() const;

  char* text;        // always zero-terminated
  int32_t capacity;  // size of text's buffer, at least INLINE_SIZE
  char inlineBuffer[INLINE_SIZE];

private:
  bool IsInside(const char* p) const;
};
