#pragma once
// The font families of the system, for the text tool's font box and the font selection
// dialog: one entry per face name, sorted by name without regard to case.
#include <cstdint>
#include "document/ObjectList.h"
#include "wul/WULString.h"

class CFontListItem : public CListItem {
public:
  CFontListItem() : raster(0), trueType(0) {}

  CFontListItem* GetNext() const { return static_cast<CFontListItem*>(next); }
  CFontListItem* GetPrev() const { return static_cast<CFontListItem*>(prev); }

  uint8_t raster;
  uint8_t trueType;
  CWULString name;
};

class CFontList : public CObjectList {
public:
  // Fills the list anew from the screen's font families; false when the screen context
  // cannot be had (the list is then empty).
  bool Enumerate();
  // The item whose name shares the longest prefix with typed (case-insensitive); the first
  // one on ties and for a null text; null for an empty list.
  CFontListItem* FindBestMatch(const char* typed) const;
  // The item named exactly so (case-insensitive), or null.
  CFontListItem* Find(const char* name) const;

  CFontListItem* GetFirst() const { return static_cast<CFontListItem*>(first); }
  CFontListItem* GetLast() const { return static_cast<CFontListItem*>(last); }

  // Used by the enumeration callback: a face as the system reports it.
  void AddReportedFace(const char* name, uint32_t fontType);
};

extern CFontList g_FontList;
