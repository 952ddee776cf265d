#include "document/StringList.h"
#include <new>
#include "shell/Errors.h"
#include "wul/WULError.h"

CStringList::CStringList() : first(nullptr), last(nullptr), count(0) {}

CStringList::CStringList(const char* commandLine) : first(nullptr), last(nullptr), count(0) {
  SplitCommandLineWords(commandLine, [this](const std::string& word) { Add(word.c_str()); });
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
