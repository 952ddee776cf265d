#include "document/Palette.h"
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <new>
#include "document/ColorSpace.h"
#include "shell/Errors.h"
#include "wul/WULMath.h"

namespace {

int32_t ClampChannel(int32_t v) {
  if (v < 0)
    return 0;
  return v > 255 ? 255 : v;
}

const uint8_t kFixed16[16][3] = {
    {0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
    {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {128, 128, 128},
    {192, 192, 192}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
    {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
};

// No palette format has more than 16 bits per pixel; larger counts are refused.
const int64_t kMaxCapacity = 65536;

float LabDistance(const float* p, const float* q) {
  float d0 = p[0] - q[0];
  float d1 = p[1] - q[1];
  float d2 = p[2] - q[2];
  return std::sqrt(d0 * d0 + d1 * d1 + d2 * d2);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CPaletteEntry

CPaletteEntry::CPaletteEntry() : owner(nullptr), index(-1), alpha(255), red(0), green(0), blue(0) {}

void CPaletteEntry::Changed() {
  if (owner)
    owner->ClearLookup();
}

void CPaletteEntry::SetRgb(int32_t r, int32_t g, int32_t b) {
  red = ClampChannel(r);
  green = ClampChannel(g);
  blue = ClampChannel(b);
  alpha = 255;
  Changed();
}

void CPaletteEntry::SetArgb(int32_t a, int32_t r, int32_t g, int32_t b) {
  alpha = ClampChannel(a);
  red = ClampChannel(r);
  green = ClampChannel(g);
  blue = ClampChannel(b);
  Changed();
}

void CPaletteEntry::SetAlpha(int32_t a) {
  alpha = ClampChannel(a);
  Changed();
}

void CPaletteEntry::SetRed(int32_t r) {
  red = ClampChannel(r);
  Changed();
}

void CPaletteEntry::SetGreen(int32_t g) {
  green = ClampChannel(g);
  Changed();
}

void CPaletteEntry::SetBlue(int32_t b) {
  blue = ClampChannel(b);
  Changed();
}

void CPaletteEntry::SetColor(uint32_t argb) {
  alpha = static_cast<int32_t>(argb >> 24);
  red = static_cast<int32_t>((argb >> 16) & 0xFF);
  green = static_cast<int32_t>((argb >> 8) & 0xFF);
  blue = static_cast<int32_t>(argb & 0xFF);
  Changed();
}

uint32_t CPaletteEntry::GetColor() const {
  return static_cast<uint32_t>(alpha) << 24 | static_cast<uint32_t>(red) << 16 |
         static_cast<uint32_t>(green) << 8 | static_cast<uint32_t>(blue);
}

// ---------------------------------------------------------------------------------------------
// CPalette

CPalette::CPalette()
    : count(0),
      entries(nullptr),
      capacity(0),
      lookupBuilt(0),
      root(nullptr),
      transparentIndex(-1),
      rowPool("Temporary palette data allocation failed"),
      nodePool("Palette mapping data allocation failed") {}

CPalette::~CPalette() {
  ClearLookup();
  FreeMemory(entries);
}

CPaletteEntry* CPalette::GetEntry(int32_t i) {
  return i >= 0 && i < count ? &entries[i] : nullptr;
}

const CPaletteEntry* CPalette::GetEntry(int32_t i) const {
  return i >= 0 && i < count ? &entries[i] : nullptr;
}

void CPalette::SetCount(int32_t n) {
  if (n < 0)
    n = 0;
  if (n == count)
    return;
  ClearLookup();
  count = n;
  int64_t newCapacity = capacity;
  while (newCapacity < n)
    newCapacity = newCapacity ? newCapacity * 2 : 1;
  while ((newCapacity + 3) / 4 > n)
    newCapacity /= 2;
  if (newCapacity == capacity)
    return;

  FreeMemory(entries);
  entries = nullptr;
  capacity = 0;
  uint64_t bytes = static_cast<uint64_t>(newCapacity) * sizeof(CPaletteEntry);
  void* block = nullptr;
  if (newCapacity <= kMaxCapacity && bytes <= SIZE_MAX)
    block = AllocMemory(static_cast<size_t>(bytes));
  if (!block) {
    ErrorBox("Palette array allocation failed");
    count = 0;
    return;
  }
  entries = static_cast<CPaletteEntry*>(block);
  capacity = static_cast<int32_t>(newCapacity);
  for (int32_t i = 0; i < capacity; ++i) {
    CPaletteEntry* e = new (&entries[i]) CPaletteEntry();
    e->owner = this;
    e->index = i;
  }
}

void CPalette::SetFixed(int32_t kind) {
  if (kind == FIXED_2_COLORS) {
    SetCount(2);
    if (count != 2)
      return;
    entries[0].SetArgb(255, 0, 0, 0);
    entries[1].SetArgb(255, 255, 255, 255);
  } else if (kind == FIXED_16_COLORS) {
    SetCount(16);
    if (count != 16)
      return;
    for (int32_t i = 0; i < 16; ++i)
      entries[i].SetArgb(255, kFixed16[i][0], kFixed16[i][1], kFixed16[i][2]);
  }
}

void CPalette::Reorder(int32_t kind) {
  if (kind != ORDER_LAB_PATH || count <= 0)
    return;

  // Points 0 and 1 are the ends of the path, black and white; the opaque entries follow.
  struct Point {
    uint32_t color;
    float lab[3];
    float priority;
    int32_t pending;
  };
  int32_t opaque = 0;
  for (int32_t i = 0; i < count; ++i)
    if (entries[i].alpha == 255)
      ++opaque;
  const int32_t points = opaque + 2;
  size_t bytes = static_cast<size_t>(points) * sizeof(Point) +
                 static_cast<size_t>(points) * sizeof(int32_t) +
                 static_cast<size_t>(count) * sizeof(uint32_t);
  void* work = AllocMemory(bytes);
  if (!work) {
    ErrorBox("Palette ordering failed");
    return;
  }
  Point* point = static_cast<Point*>(work);
  int32_t* path = reinterpret_cast<int32_t*>(point + points);
  uint32_t* aside = reinterpret_cast<uint32_t*>(path + points);

  point[0] = Point{0xFF000000u, {0.0f, 0.0f, 0.0f}, 0.0f, 0};
  point[1] = Point{0xFFFFFFFFu, {100.0f, 0.0f, 0.0f}, 0.0f, 0};
  int32_t asideCount = 0;
  int32_t p = 2;
  for (int32_t i = 0; i < count; ++i) {
    const CPaletteEntry& e = entries[i];
    if (e.alpha != 255) {
      aside[asideCount++] = e.GetColor();
      continue;
    }
    Point& pt = point[p++];
    pt.color = e.GetColor();
    RgbToLab(e.red / 255.0f, e.green / 255.0f, e.blue / 255.0f, pt.lab[0], pt.lab[1], pt.lab[2]);
    pt.priority = std::fmin(LabDistance(pt.lab, point[0].lab), LabDistance(pt.lab, point[1].lab));
    pt.pending = 1;
  }

  path[0] = 0;
  path[1] = 1;
  int32_t length = 2;
  for (int32_t round = 0; round < opaque; ++round) {
    int32_t best = -1;
    for (int32_t i = 2; i < points; ++i)
      if (point[i].pending && (best < 0 || point[i].priority > point[best].priority))
        best = i;
    const float* lab = point[best].lab;
    int32_t at = 0;
    float atCost = 0.0f;
    for (int32_t j = 0; j + 1 < length; ++j) {
      const float* a = point[path[j]].lab;
      const float* b = point[path[j + 1]].lab;
      float cost = LabDistance(lab, a) + LabDistance(lab, b) - LabDistance(a, b);
      if (j == 0 || cost < atCost) {
        at = j;
        atCost = cost;
      }
    }
    for (int32_t j = length; j > at + 1; --j)
      path[j] = path[j - 1];
    path[at + 1] = best;
    ++length;
    point[best].pending = 0;
    for (int32_t i = 2; i < points; ++i)
      if (point[i].pending)
        point[i].priority = std::fmin(point[i].priority, LabDistance(point[i].lab, lab));
  }

  int32_t out = 0;
  for (int32_t j = 1; j + 1 < length; ++j) {
    uint32_t c = point[path[j]].color;
    CPaletteEntry& e = entries[out++];
    e.alpha = static_cast<int32_t>(c >> 24);
    e.red = static_cast<int32_t>((c >> 16) & 0xFF);
    e.green = static_cast<int32_t>((c >> 8) & 0xFF);
    e.blue = static_cast<int32_t>(c & 0xFF);
  }
  for (int32_t i = 0; i < asideCount; ++i) {
    uint32_t c = aside[i];
    CPaletteEntry& e = entries[out++];
    e.alpha = static_cast<int32_t>(c >> 24);
    e.red = static_cast<int32_t>((c >> 16) & 0xFF);
    e.green = static_cast<int32_t>((c >> 8) & 0xFF);
    e.blue = static_cast<int32_t>(c & 0xFF);
  }
  FreeMemory(work);
  ClearLookup();
}

void CPalette::ClearLookup() {
  if (!lookupBuilt && !root)
    return;
  root = nullptr;
  nodePool.Release();
  lookupBuilt = 0;
}

CPalette::Row* CPalette::NewRow(CPaletteEntry* entry, Row*& head, Row*& tail) {
  Row* row = rowPool.Allocate();
  row->entry = entry;
  row->previous = tail;
  if (tail)
    tail->next = row;
  else
    head = row;
  tail = row;
  return row;
}

void CPalette::FreeRows(Row* rows) {
  while (rows) {
    Row* next = rows->next;
    rowPool.Free(rows);
    rows = next;
  }
}

// Stable merge sort by key; relinks the previous pointers.
CPalette::Row* CPalette::SortRows(Row* rows) {
  if (!rows || !rows->next)
    return rows;
  Row* slow = rows;
  Row* fast = rows->next;
  while (fast && fast->next) {
    slow = slow->next;
    fast = fast->next->next;
  }
  Row* second = slow->next;
  slow->next = nullptr;
  Row* a = SortRows(rows);
  Row* b = SortRows(second);
  Row* head = nullptr;
  Row* tail = nullptr;
  while (a || b) {
    Row* take;
    if (!b || (a && a->key <= b->key)) {
      take = a;
      a = a->next;
    } else {
      take = b;
      b = b->next;
    }
    take->previous = tail;
    take->next = nullptr;
    if (tail)
      tail->next = take;
    else
      head = take;
    tail = take;
  }
  return head;
}

namespace {

int64_t Square(int64_t v) { return v * v; }

// Whether the foot of row's colour on the cut lies strictly nearer to the row than to each of
// the rows from..to (exclusive). Everything is in doubled coordinates; key holds v.
template <class Row>
bool FootIsNearest(const Row* row, const Row* from, const Row* to, const int32_t* normal,
                   int64_t normal2) {
  const CPaletteEntry* e = row->entry;
  int32_t c[3] = {2 * e->GetRed(), 2 * e->GetGreen(), 2 * e->GetBlue()};
  int32_t foot[3];
  for (int k = 0; k < 3; ++k)
    foot[k] = wulRoundDouble(c[k] - static_cast<double>(row->key) * normal[k] / static_cast<double>(normal2));
  int64_t own = Square(foot[0] - c[0]) + Square(foot[1] - c[1]) + Square(foot[2] - c[2]);
  for (const Row* p = from; p != to; p = p->next) {
    if (p == row)
      continue;
    const CPaletteEntry* q = p->entry;
    int64_t d = Square(foot[0] - 2 * q->GetRed()) + Square(foot[1] - 2 * q->GetGreen()) +
                Square(foot[2] - 2 * q->GetBlue());
    if (d <= own)
      return false;
  }
  return true;
}

}  // namespace

// Builds the subtree over a list of rows with distinct colours; the list is consumed.
CPalette::Node* CPalette::BuildNode(Row* rows) {
  Node* node = nodePool.Allocate();
  if (!rows->next) {
    node->entry = rows->entry;
    FreeRows(rows);
    return node;
  }

  int64_t n = 0;
  int64_t sum[3] = {0, 0, 0};
  for (Row* r = rows; r; r = r->next) {
    ++n;
    sum[0] += r->entry->red;
    sum[1] += r->entry->green;
    sum[2] += r->entry->blue;
  }
  int64_t mean[3] = {2 * sum[0] / n, 2 * sum[1] / n, 2 * sum[2] / n};

  // The two rows closest to the mean.
  Row* a = nullptr;
  Row* b = nullptr;
  int64_t da = 0;
  int64_t db = 0;
  for (Row* r = rows; r; r = r->next) {
    int64_t d = Square(2 * r->entry->red - mean[0]) + Square(2 * r->entry->green - mean[1]) +
                Square(2 * r->entry->blue - mean[2]);
    if (!a || d < da) {
      b = a;
      db = da;
      a = r;
      da = d;
    } else if (!b || d < db) {
      b = r;
      db = d;
    }
  }

  // The cut is the perpendicular bisector of A and B: v(c) = 2c.N + o, positive towards A.
  const CPaletteEntry* ea = a->entry;
  const CPaletteEntry* eb = b->entry;
  int32_t normal[3] = {ea->red - eb->red, ea->green - eb->green, ea->blue - eb->blue};
  int32_t offset = -((ea->red + eb->red) * normal[0] + (ea->green + eb->green) * normal[1] +
                     (ea->blue + eb->blue) * normal[2]);
  int64_t normal2 = int64_t(normal[0]) * normal[0] + int64_t(normal[1]) * normal[1] +
                    int64_t(normal[2]) * normal[2];
  for (Row* r = rows; r; r = r->next)
    r->key = 2 * r->entry->red * normal[0] + 2 * r->entry->green * normal[1] +
             2 * r->entry->blue * normal[2] + offset;
  rows = SortRows(rows);

  // A row may also serve the far side when its foot on the cut is nearer to it than to the
  // rows on that side of it.
  Row* firstHead = nullptr;
  Row* firstTail = nullptr;
  Row* secondHead = nullptr;
  Row* secondTail = nullptr;
  for (Row* r = rows; r; r = r->next) {
    if (r->key <= 0 || FootIsNearest(r, rows, r, normal, normal2))
      NewRow(r->entry, firstHead, firstTail);
    if (r->key >= 0 || FootIsNearest(r, r->next, static_cast<Row*>(nullptr), normal, normal2))
      NewRow(r->entry, secondHead, secondTail);
  }
  FreeRows(rows);

  node->normal[0] = normal[0];
  node->normal[1] = normal[1];
  node->normal[2] = normal[2];
  node->offset = offset;
  node->children[0] = BuildNode(firstHead);
  node->children[1] = BuildNode(secondHead);
  return node;
}

void CPalette::BuildLookup() {
  ClearLookup();
  transparentIndex = -1;
  try {
    Row* head = nullptr;
    Row* tail = nullptr;
    for (int32_t i = 0; i < count; ++i) {
      CPaletteEntry* e = &entries[i];
      if (e->alpha == 0) {
        transparentIndex = i;
        continue;
      }
      Row* row = NewRow(e, head, tail);
      row->key = e->red << 16 | e->green << 8 | e->blue;
    }
    head = SortRows(head);
    // One row per colour.
    for (Row* r = head; r && r->next;) {
      Row* next = r->next;
      if (next->key == r->key) {
        r->next = next->next;
        if (next->next)
          next->next->previous = r;
        rowPool.Free(next);
      } else {
        r = next;
      }
    }
    if (head)
      root = BuildNode(head);
  } catch (...) {
    ErrorBox("Palette preprocessing error");
    root = nullptr;
    nodePool.Release();
  }
  rowPool.Release();
  lookupBuilt = 1;
}

int32_t CPalette::FindNearest(int32_t a, int32_t r, int32_t g, int32_t b) {
  if (!lookupBuilt)
    BuildLookup();
  if (a < 128)
    return transparentIndex;
  if (!root)
    return -1;
  r = 2 * ClampChannel(r);
  g = 2 * ClampChannel(g);
  b = 2 * ClampChannel(b);
  const Node* node = root;
  while (!node->entry) {
    int32_t side = r * node->normal[0] + g * node->normal[1] + b * node->normal[2] + node->offset;
    node = node->children[side >= 0 ? 1 : 0];
  }
  return node->entry->index;
}

int32_t CPalette::FindNearestArgb(uint32_t argb) {
  return FindNearest(static_cast<int32_t>(argb >> 24), static_cast<int32_t>((argb >> 16) & 0xFF),
                     static_cast<int32_t>((argb >> 8) & 0xFF), static_cast<int32_t>(argb & 0xFF));
}

uint32_t CPalette::GetMemorySize() const {
  return entries ? 52 + static_cast<uint32_t>(capacity) * 24 : 52;
}
