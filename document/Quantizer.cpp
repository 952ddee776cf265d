#include "document/Quantizer.h"
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include "document/Palette.h"
#include "document/PixelArray.h"
#include "shell/Errors.h"

namespace {

// Thrown inside Quantize when one of its tables cannot be allocated.
struct QuantizeFailure {};

int32_t RoundedMean(int64_t sum, int64_t n) { return static_cast<int32_t>((2 * sum + n) / (2 * n)); }

int32_t Channel(const CColorOctree::Leaf& leaf, int32_t axis) {
  return axis == 0 ? leaf.red : axis == 1 ? leaf.green : leaf.blue;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CColorOctree

CColorOctree::CColorOctree() : leafCount(0), root(nullptr) {
  for (int32_t i = 0; i < 9; ++i)
    reducible[i] = nullptr;
  // Bit j of a channel goes to bit 3 * (7 - j): the most significant bit is consumed first.
  for (int32_t v = 0; v < 256; ++v) {
    int32_t s = 0;
    for (int32_t j = 0; j < 8; ++j)
      if (v & (1 << j))
        s |= 1 << (3 * (7 - j));
    spread[v] = s;
  }
}

CColorOctree::~CColorOctree() { Clear(); }

void CColorOctree::Clear() {
  root = nullptr;
  for (int32_t i = 0; i < 9; ++i)
    reducible[i] = nullptr;
  leafCount = 0;
  nodePool.Release();
}

CColorOctree::Node* CColorOctree::NewNode(int32_t level) {
  Node* node = nodePool.Allocate();
  node->level = level;
  if (level == 0) {
    node->kind = KIND_LEAF;
    ++leafCount;
  } else {
    node->kind = KIND_NEW;
  }
  return node;
}

void CColorOctree::AddColor(int32_t r, int32_t g, int32_t b) {
  uint32_t path = static_cast<uint32_t>(spread[r & 0xFF]) * 4 + static_cast<uint32_t>(spread[g & 0xFF]) * 2 +
                  static_cast<uint32_t>(spread[b & 0xFF]);
  if (!root)
    root = NewNode(8);
  Node* node = root;
  int32_t level = 8;
  while (node->kind != KIND_LEAF) {
    Node*& slot = node->children[path & 7];
    path >>= 3;
    if (!slot) {
      if (node->kind == KIND_NEW) {
        node->kind = KIND_ONE_CHILD;
      } else if (node->kind == KIND_ONE_CHILD) {
        node->kind = KIND_BRANCH;
        node->next = reducible[level];
        reducible[level] = node;
      }
      slot = NewNode(level - 1);
    }
    node = slot;
    --level;
  }
  ++node->count;
  node->sum[0] += r;
  node->sum[1] += g;
  node->sum[2] += b;
  if (leafCount > MAX_LEAVES)
    Reduce();
}

// Folds the deepest branching node into one leaf.
void CColorOctree::Reduce() {
  for (int32_t level = 1; level <= 8; ++level) {
    Node* node = reducible[level];
    if (!node)
      continue;
    reducible[level] = node->next;
    node->next = nullptr;
    for (int32_t i = 0; i < 8; ++i) {
      if (node->children[i]) {
        Absorb(node, node->children[i]);
        node->children[i] = nullptr;
      }
    }
    node->kind = KIND_LEAF;
    ++leafCount;
    return;
  }
}

// Adds the leaves below node (node included) to into and returns their nodes to the pool.
// No branching node lies below a reduced node, so none of them is on a reducible list.
void CColorOctree::Absorb(Node* into, Node* node) {
  if (node->kind == KIND_LEAF) {
    into->count += node->count;
    into->sum[0] += node->sum[0];
    into->sum[1] += node->sum[1];
    into->sum[2] += node->sum[2];
    --leafCount;
  } else {
    for (int32_t i = 0; i < 8; ++i)
      if (node->children[i])
        Absorb(into, node->children[i]);
  }
  nodePool.Free(node);
}

void CColorOctree::ReadNode(const Node* node, Leaf* table, int32_t& n) {
  if (node->kind == KIND_LEAF) {
    if (n >= MAX_LEAVES || node->count <= 0)
      return;
    Leaf& leaf = table[n++];
    leaf.count = node->count;
    leaf.red = RoundedMean(node->sum[0], node->count);
    leaf.green = RoundedMean(node->sum[1], node->count);
    leaf.blue = RoundedMean(node->sum[2], node->count);
    return;
  }
  for (int32_t i = 0; i < 8; ++i)
    if (node->children[i])
      ReadNode(node->children[i], table, n);
}

int32_t CColorOctree::ReadLeaves(Leaf* table) const {
  int32_t n = 0;
  if (root)
    ReadNode(root, table, n);
  return n;
}

// ---------------------------------------------------------------------------------------------
// CColorQuantizer

CColorQuantizer::CColorQuantizer()
    : target(nullptr), maximum(256), boxes(nullptr), boxCount(0), leafCount(0), leaves(nullptr) {}

CColorQuantizer::~CColorQuantizer() { FreeTables(); }

void CColorQuantizer::FreeTables() {
  FreeMemory(boxes);
  boxes = nullptr;
  FreeMemory(leaves);
  leaves = nullptr;
  boxCount = 0;
  leafCount = 0;
  octree.Clear();
}

void CColorQuantizer::ComputeBox(Box& box) const {
  int64_t n = 0;
  int64_t sum[3] = {0, 0, 0};
  for (int32_t i = box.first; i <= box.last; ++i) {
    const CColorOctree::Leaf& leaf = leaves[i];
    n += leaf.count;
    sum[0] += int64_t(leaf.count) * leaf.red;
    sum[1] += int64_t(leaf.count) * leaf.green;
    sum[2] += int64_t(leaf.count) * leaf.blue;
  }
  int32_t mean[3] = {RoundedMean(sum[0], n), RoundedMean(sum[1], n), RoundedMean(sum[2], n)};
  int64_t spread[3] = {0, 0, 0};
  for (int32_t i = box.first; i <= box.last; ++i) {
    const CColorOctree::Leaf& leaf = leaves[i];
    for (int32_t axis = 0; axis < 3; ++axis) {
      int64_t d = Channel(leaf, axis) - mean[axis];
      spread[axis] += leaf.count * d * d;
    }
  }
  box.red = mean[0];
  box.green = mean[1];
  box.blue = mean[2];
  box.axis = 0;
  if (spread[1] > spread[box.axis])
    box.axis = 1;
  if (spread[2] > spread[box.axis])
    box.axis = 2;
  box.priority = static_cast<float>(spread[box.axis]);
}

// Cuts the box at the middle of its range on its axis; part receives the upper rows.
bool CColorQuantizer::SplitBox(Box& box, Box& part) {
  const int32_t axis = box.axis;
  CColorOctree::Leaf* begin = leaves + box.first;
  CColorOctree::Leaf* end = leaves + box.last + 1;
  std::sort(begin, end, [axis](const CColorOctree::Leaf& a, const CColorOctree::Leaf& b) {
    return Channel(a, axis) < Channel(b, axis);
  });
  int32_t middle = (Channel(*begin, axis) + Channel(*(end - 1), axis)) >> 1;
  CColorOctree::Leaf* cut = std::upper_bound(
      begin, end, middle, [axis](int32_t v, const CColorOctree::Leaf& leaf) { return v < Channel(leaf, axis); });
  if (cut == begin || cut == end)
    return false;  // every row has the same value on the axis
  int32_t s = static_cast<int32_t>(cut - leaves);
  part.first = s;
  part.last = box.last;
  box.last = s - 1;
  ComputeBox(box);
  ComputeBox(part);
  return true;
}

void CColorQuantizer::Quantize(const CPixelArray* source) {
  if (!target || !source)
    return;
  try {
    // No more boxes than leaves can ever be made.
    const int32_t boxLimit = std::max(1, std::min<int32_t>(maximum, CColorOctree::MAX_LEAVES));
    boxes = static_cast<Box*>(AllocMemory(static_cast<size_t>(boxLimit) * sizeof(Box)));
    if (!boxes)
      throw QuantizeFailure();
    leaves = static_cast<CColorOctree::Leaf*>(AllocMemory(CColorOctree::MAX_LEAVES * sizeof(CColorOctree::Leaf)));
    if (!leaves)
      throw QuantizeFailure();

    octree.Clear();
    bool transparent = false;
    const uint32_t* pixel = reinterpret_cast<const uint32_t*>(source->data);
    const size_t pixels = source->data && source->width > 0 && source->height > 0
                              ? static_cast<size_t>(source->width) * static_cast<size_t>(source->height)
                              : 0;
    for (size_t i = 0; i < pixels; ++i) {
      uint32_t c = pixel[i];
      if ((c >> 24) >= 128)
        octree.AddColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
      else
        transparent = true;
    }
    leafCount = octree.ReadLeaves(leaves);
    octree.Clear();

    const int32_t t = transparent ? 1 : 0;
    int32_t k = std::min(leafCount, maximum - t);
    if (k < 0)
      k = 0;
    boxCount = 0;
    if (leafCount > 0) {
      boxes[0].first = 0;
      boxes[0].last = leafCount - 1;
      ComputeBox(boxes[0]);
      boxCount = 1;
      while (boxCount < k) {
        int32_t best = 0;
        for (int32_t i = 1; i < boxCount; ++i)
          if (boxes[i].priority > boxes[best].priority)
            best = i;
        if (boxes[best].priority <= 0.0f || !SplitBox(boxes[best], boxes[boxCount]))
          break;
        ++boxCount;
      }
    }
    const int32_t colors = std::min(boxCount, k);

    target->SetCount(colors + t);
    if (target->GetCount() != colors + t)
      throw QuantizeFailure();
    for (int32_t i = 0; i < colors; ++i)
      target->GetEntry(i)->SetArgb(255, boxes[i].red, boxes[i].green, boxes[i].blue);
    if (t)
      target->GetEntry(colors)->SetArgb(0, 0, 0, 0);
  } catch (...) {
    ErrorBox("Color quantization error");
  }
  FreeTables();
}
