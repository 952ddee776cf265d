#include "document/StringList.h"
#include <new>
#include "shell/Errors.h"
#include "wul/WULError.h"

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

}  // namespace

CStringList::CStringList() : first(nullptr), last(nullptr), count(0) {}

CStringList::CStringList(const char* commandLine) : first(nullptr), last(nullptr), count(0) {
  if (!commandLine)
    return;
  CWULString word;
  bool quoted = false;
  for (const char* p = commandLine; *p; ++p) {
    const char c = *p;
    if (quoted) {
      if (c == '"') {
        if (p[1] == '"') {
          word.Append('"');
          ++p;
        } else {
          quoted = false;
        }
      } else {
        word.Append(c);
      }
    } else if (c == '"') {
      quoted = true;
    } else if (IsBlank(c)) {
      if (word.GetLength() > 0) {
        Add(word.text);
        word.Clear();
      }
    } else {
      word.Append(c);
    }
  }
  if (word.GetLength() > 0)
    Add(word.text);
}

CStringList::~CStringList() {
  Clear();
}

void CStringList::Add(const char* text) {
  Item* item = new (std::nothrow) Item();
  if (item) {
    try {
      item->text.Assign(text);
    } catch (const CWULError&) {
      delete item;
      item = nullptr;
    }
  }
  if (!item) {
    ErrorBox("Cannot create string item");
    return;
  }
  item->next = nullptr;
  if (last)
    last->next = item;
  else
    first = item;
  last = item;
  ++count;
}

CWULString* CStringList::GetAt(int32_t index) const {
  if (index < 0 || index >= count)
    return nullptr;
  Item* item = first;
  while (index-- > 0)
    item = item->next;
  return &item->text;
}

void CStringList::Clear() {
  while (first) {
    Item* next = first->next;
    delete first;
    first = next;
  }
  last = nullptr;
  count = 0;
}
