#pragma once
// The application's list of colour swatches, numbered 1..n in order with a balanced search
// index by number, and the swatch-set files that hold them.
#include <cstdint>
#include "document/Color.h"
#include "document/ObjectList.h"

class CSwatchSet;

class CSwatch : public CListItem {
public:
  explicit CSwatch(CColor value = CColor()) : color(value), set(nullptr), left(nullptr), right(nullptr), number(0) {}
  // Leaves its set first.
  ~CSwatch() noexcept(false) override;

  CColor color;
  CSwatchSet* set;
  CSwatch* left;
  CSwatch* right;
  int32_t number;
};

class CSwatchSet {
public:
  CSwatchSet();
  ~CSwatchSet();
  CSwatchSet(const CSwatchSet&) = delete;
  CSwatchSet& operator=(const CSwatchSet&) = delete;

  void BeginUpdate();
  void EndUpdate();
  // Null before appends.
  void Insert(CSwatch* swatch, CSwatch* before);
  CSwatch* AddColor(CColor color);
  void Move(CSwatch* swatch, CSwatch* before);
  void Remove(CSwatch* swatch);
  void Delete(CSwatch* swatch);
  void Clear();
  CSwatch* FindByNumber(int32_t n) const;
  void SetDefaults();

  int32_t GetCount() const { return list.count; }
  // How often any set has rebuilt its search index: each rebuild walks the whole set, so
  // one per swatch would make loading quadratic.
  static int64_t GetIndexRebuilds() { return indexRebuilds; }
  CSwatch* GetFirst() const { return static_cast<CSwatch*>(list.first); }
  static CSwatch* Next(const CSwatch* swatch) { return static_cast<CSwatch*>(swatch->next); }

private:
  void Renumber(CSwatch* from);
  void RebuildIndex();
  static CSwatch* BuildIndex(CSwatch* first, CSwatch* last);

  CObjectList list;
  int32_t updating;
  CSwatch* root;
  static int64_t indexRebuilds;
};

// One update bracket of a set: numbering and the index wait until the scope ends.
class CSwatchUpdateScope {
public:
  explicit CSwatchUpdateScope(CSwatchSet& set) : set(set) { set.BeginUpdate(); }
  ~CSwatchUpdateScope() { set.EndUpdate(); }
  CSwatchUpdateScope(const CSwatchUpdateScope&) = delete;
  CSwatchUpdateScope& operator=(const CSwatchUpdateScope&) = delete;

private:
  CSwatchSet& set;
};

extern CSwatchSet g_Swatches;

// Read and write swatch-set files; failures are shown in an error box.
bool LoadSwatchSet(const char* path);
bool SaveSwatchSet(const char* path);
