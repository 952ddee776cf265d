#pragma once
// An ordered list of strings; also splits a command line into its words.
#include <cstdint>
#include <string>
#include "wul/WULString.h"

// Calls emit with each word of a command line, narrow or wide: blanks separate words,
// double quotes group, and inside quotes a doubled quote stands for one literal quote.
// Empty words are dropped.
template <typename Char, typename Emit>
void SplitCommandLineWords(const Char* text, Emit emit) {
  if (!text)
    return;
  std::basic_string<Char> word;
  bool quoted = false;
  for (const Char* p = text; *p; ++p) {
    const Char c = *p;
    if (quoted) {
      if (c != '"')
        word += c;
      else if (p[1] == '"')
        word += *++p;
      else
        quoted = false;
    } else if (c == '"') {
      quoted = true;
    } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f') {
      if (!word.empty())
        emit(word);
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty())
    emit(word);
}

class CStringList {
public:
  CStringList();
  // The words of SplitCommandLineWords.
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
