#pragma once
// The colour quantiser: an octree of at most 4096 leaves collects an image's opaque colours,
// then the leaves are grouped into boxes by splitting the box of largest variance until the
// palette is full. Pixels with alpha below 128 add one transparent entry at the end.
#include <cstdint>
#include "document/BlockPool.h"

class CPalette;
class CPixelArray;

class CColorOctree {
public:
  enum { MAX_LEAVES = 4096 };
  enum { KIND_NEW = 0, KIND_ONE_CHILD = 1, KIND_BRANCH = 2, KIND_LEAF = 3 };

  // One row of the leaf table: pixel count and the rounded mean of each channel.
  struct Leaf {
    int32_t count;
    int32_t red;
    int32_t green;
    int32_t blue;
  };

  CColorOctree();
  ~CColorOctree();
  CColorOctree(const CColorOctree&) = delete;
  CColorOctree& operator=(const CColorOctree&) = delete;

  // Throws CBlockPoolError when the node pool cannot grow.
  void AddColor(int32_t r, int32_t g, int32_t b);
  int32_t GetLeafCount() const { return leafCount; }
  // Writes the leaves depth first into table (room for MAX_LEAVES rows); returns their number.
  int32_t ReadLeaves(Leaf* table) const;
  // Empties the tree and returns its memory.
  void Clear();

private:
  struct Node {
    int32_t kind;
    int32_t level;  // 8 at the root, 0 for the leaves of full depth
    int32_t count;
    int64_t sum[3];
    Node* children[8];
    Node* next;  // next node of the same level's reducible list
  };

  Node* NewNode(int32_t level);
  void Reduce();
  void Absorb(Node* into, Node* node);
  static void ReadNode(const Node* node, Leaf* table, int32_t& n);

  Node* reducible[9];
  int32_t leafCount;
  int32_t spread[256];
  CBlockPool<Node, 256> nodePool;
  Node* root;
};

class CColorQuantizer {
public:
  // A box of consecutive rows of the leaf table.
  struct Box {
    int32_t first;
    int32_t last;
    int32_t red;
    int32_t green;
    int32_t blue;
    int32_t axis;  // 0 red, 1 green, 2 blue
    float priority;
  };

  CColorQuantizer();
  ~CColorQuantizer();
  CColorQuantizer(const CColorQuantizer&) = delete;
  CColorQuantizer& operator=(const CColorQuantizer&) = delete;

  void SetPalette(CPalette* palette) { target = palette; }
  CPalette* GetPalette() const { return target; }
  void SetMaximum(int32_t colors) { maximum = colors; }
  int32_t GetMaximum() const { return maximum; }

  // Replaces the palette's entries by at most the maximum number of colours of the source.
  void Quantize(const CPixelArray* source);

private:
  void ComputeBox(Box& box) const;
  bool SplitBox(Box& box, Box& part);
  void FreeTables();

  CPalette* target;
  int32_t maximum;
  Box* boxes;
  int32_t boxCount;
  int32_t leafCount;
  CColorOctree::Leaf* leaves;
  CColorOctree octree;
};
