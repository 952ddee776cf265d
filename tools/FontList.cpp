#include "tools/FontList.h"
#include <windows.h>
#include <cctype>
#include <cstring>
#include <new>
#include "shell/TextRoutines.h"

CFontList g_FontList;

namespace {

// Byte order of the upper-cased names, so the order does not hang on the locale.
int CompareNames(const char* a, const char* b) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(a ? a : "");
  const unsigned char* q = reinterpret_cast<const unsigned char*>(b ? b : "");
  for (;; ++p, ++q) {
    const int c = std::toupper(*p);
    const int d = std::toupper(*q);
    if (c != d || !c)
      return c - d;
  }
}

int CompareItems(CListItem* a, CListItem* b, void*) {
  return CompareNames(static_cast<CFontListItem*>(a)->name.text,
                      static_cast<CFontListItem*>(b)->name.text);
}

int CALLBACK EnumFace(const LOGFONTA* logFont, const TEXTMETRICA*, DWORD fontType, LPARAM param) {
  reinterpret_cast<CFontList*>(param)->AddReportedFace(logFont->lfFaceName, fontType);
  return 1;
}

}  // namespace

void CFontList::AddReportedFace(const char* name, uint32_t fontType) {
  CFontListItem* head = GetFirst();
  if (!head || !head->name.Equals(name)) {
    CFontListItem* item = new (std::nothrow) CFontListItem();
    if (!item)
      return;
    item->name.Assign(name);
    InsertBefore(item, first);
    head = item;
  }
  head->raster = (fontType & RASTER_FONTTYPE) ? 1 : 0;
  head->trueType = (fontType & TRUETYPE_FONTTYPE) ? 1 : 0;
}

bool CFontList::Enumerate() {
  DeleteAll();
  HDC dc = GetDC(nullptr);
  if (!dc)
    return false;
  LOGFONTA query;
  std::memset(&query, 0, sizeof query);
  query.lfCharSet = DEFAULT_CHARSET;
  EnumFontFamiliesExA(dc, &query, EnumFace, reinterpret_cast<LPARAM>(this), 0);
  ReleaseDC(nullptr, dc);

  Sort(CompareItems, nullptr);
  // Faces reported apart under the same name (per character set) become one entry.
  CFontListItem* item = GetFirst();
  while (item) {
    CFontListItem* following = item->GetNext();
    while (following && CompareNames(item->name.text, following->name.text) == 0) {
      item->raster |= following->raster;
      item->trueType |= following->trueType;
      CFontListItem* merged = following;
      following = following->GetNext();
      Delete(merged);
    }
    item = following;
  }
  return true;
}

CFontListItem* CFontList::FindBestMatch(const char* typed) const {
  CFontListItem* best = GetFirst();
  if (!typed || !best)
    return best;
  int bestLength = -1;
  for (CFontListItem* item = best; item; item = item->GetNext()) {
    const int length = CommonPrefixLength(typed, item->name.text, true);
    if (length > bestLength) {
      bestLength = length;
      best = item;
    }
  }
  return best;
}

CFontListItem* CFontList::Find(const char* name) const {
  if (!name)
    return nullptr;
  for (CFontListItem* item = GetFirst(); item; item = item->GetNext())
    if (CompareNames(item->name.text, name) == 0)
      return item;
  return nullptr;
}
