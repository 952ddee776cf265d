#pragma once
// Image palettes: entries, the fixed 2- and 16-colour palettes, ordering along a path
// through L*a*b* space and the nearest-colour lookup that maps ARGB values to indices.
#include <cstdint>
#include "document/BlockPool.h"

class CPalette;

class CPaletteEntry {
public:
  CPaletteEntry();

  // Every setter limits its values to 0..255 and drops the owner's lookup.
  void SetRgb(int32_t r, int32_t g, int32_t b);  // alpha becomes 255
  void SetArgb(int32_t a, int32_t r, int32_t g, int32_t b);
  void SetAlpha(int32_t a);
  void SetRed(int32_t r);
  void SetGreen(int32_t g);
  void SetBlue(int32_t b);
  void SetColor(uint32_t argb);  // 0xAARRGGBB

  uint32_t GetColor() const;  // 0xAARRGGBB
  int32_t GetAlpha() const { return alpha; }
  int32_t GetRed() const { return red; }
  int32_t GetGreen() const { return green; }
  int32_t GetBlue() const { return blue; }
  int32_t GetIndex() const { return index; }
  CPalette* GetOwner() const { return owner; }

private:
  friend class CPalette;
  void Changed();

  CPalette* owner;
  int32_t index;  // -1 when not in a palette
  int32_t alpha;
  int32_t red;
  int32_t green;
  int32_t blue;
};

class CPalette {
public:
  enum { FIXED_2_COLORS = 1, FIXED_16_COLORS = 2 };
  enum { ORDER_LAB_PATH = 1 };

  CPalette();
  ~CPalette();
  CPalette(const CPalette&) = delete;
  CPalette& operator=(const CPalette&) = delete;

  // Entries beyond the old capacity start as opaque black; callers rewrite every entry.
  void SetCount(int32_t n);
  int32_t GetCount() const { return count; }
  int32_t GetCapacity() const { return capacity; }
  // Null when the index is outside 0..count-1.
  CPaletteEntry* GetEntry(int32_t i);
  const CPaletteEntry* GetEntry(int32_t i) const;

  void SetFixed(int32_t kind);
  void Reorder(int32_t kind);

  void BuildLookup();
  void ClearLookup();
  bool IsLookupBuilt() const { return lookupBuilt != 0; }
  // Index of the last entry with alpha 0 as found by the last lookup build, -1 when none.
  int32_t GetTransparentIndex() const { return transparentIndex; }

  // Alpha below 128 gives the transparent index; -1 when nothing can be mapped.
  int32_t FindNearest(int32_t a, int32_t r, int32_t g, int32_t b);
  int32_t FindNearestArgb(uint32_t argb);

  uint32_t GetMemorySize() const;

private:
  struct Row {
    CPaletteEntry* entry;
    int32_t key;
    Row* previous;
    Row* next;
  };
  struct Node {
    CPaletteEntry* entry;  // set in a leaf
    int32_t normal[3];
    int32_t offset;
    Node* children[2];
  };

  Node* BuildNode(Row* rows);
  Row* NewRow(CPaletteEntry* entry, Row*& head, Row*& tail);
  void FreeRows(Row* rows);
  static Row* SortRows(Row* rows);

  int32_t count;
  CPaletteEntry* entries;
  int32_t capacity;
  uint8_t lookupBuilt;
  Node* root;
  int32_t transparentIndex;
  CBlockPool<Row, 255> rowPool;
  CBlockPool<Node, 256> nodePool;
};
