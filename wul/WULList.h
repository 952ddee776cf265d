#pragma once
// Intrusive doubly linked list. Elements derive from CWULListNode; the list links them
// through the nodes' own pointers and owns them only through DeleteAll and its destructor.
#include <cstdint>

class CWULListNode {
public:
  CWULListNode() : prev(nullptr), next(nullptr) {}
  // A copy starts detached; assignment leaves the target's links alone.
  CWULListNode(const CWULListNode&) : prev(nullptr), next(nullptr) {}
  CWULListNode& operator=(const CWULListNode&) { return *this; }
  // The owner unlinks the node before deleting it; the destructor leaves the list alone.
  virtual ~CWULListNode() {}

  CWULListNode* prev;
  CWULListNode* next;
};

class CWULList {
public:
  CWULList() : count(0), first(nullptr), last(nullptr) {}
  ~CWULList() { DeleteAll(); }

  // Every operation ignores null nodes and then returns null.
  CWULListNode* Append(CWULListNode* node);
  CWULListNode* Insert(CWULListNode* node, CWULListNode* before);
  void Move(CWULListNode* node, CWULListNode* before);
  void Swap(CWULListNode* a, CWULListNode* b);
  CWULListNode* Remove(CWULListNode* node);
  void UnlinkAll();
  void DeleteAll();

  int32_t count;
  CWULListNode* first;
  CWULListNode* last;

private:
  bool IsLinked(const CWULListNode* node) const;

  CWULList(const CWULList&) = delete;
  CWULList& operator=(const CWULList&) = delete;
};
