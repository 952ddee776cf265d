#pragma once
// An ordered list of strings; also splits a command line into its words.
#include <cstdint>
#include "wul/WULString.h"

class CStringList {
public:
  CStringList();
  // Blanks separate words, double quotes group, and inside quotes a doubled quote stands
  // for one literal quote.
  explicit CStringList(const char* commandLine);
  ~CStringList();
  CStringList(const CStringList&) = delete;
  CStringList& operator=(const CStringList&) = delete;

  // A failed allocation shows an error box and adds nothing.
  void Add(const char* text);
  // Null when index is outside 0..count-1.
  CWULString* GetAt(int32_t index) const;
  void Clear();
  int32_t GetCount() const { return count; }

private:
  struct Item {
    CWULString text;
    Item* next;
  };

  Item* first;
  Item* last;
  int32_t count;
};
