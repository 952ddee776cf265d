#pragma once
// The plug-in side's owning doubly linked list.

class CVCXList;

class CVCXListNode {
public:
  CVCXListNode() : list(nullptr), next(nullptr), previous(nullptr) {}
  // Unlinks the node from its list.
  virtual ~CVCXListNode();

  CVCXList* list;
  CVCXListNode* next;
  CVCXListNode* previous;

private:
  CVCXListNode(const CVCXListNode&) = delete;
  CVCXListNode& operator=(const CVCXListNode&) = delete;
};

// Answers > 0 when a belongs after b.
typedef int (*VCXListCompare)(const CVCXListNode* a, const CVCXListNode* b, void* context);

class CVCXList {
public:
  CVCXList() : count(0), first(nullptr), last(nullptr) {}
  // Deletes every node.
  ~CVCXList();

  void Append(CVCXListNode* node);
  // Before next; at the end when next is null.
  void InsertBefore(CVCXListNode* node, CVCXListNode* next);
  // Moves a node of this list before next (to the end when null).
  void MoveBefore(CVCXListNode* node, CVCXListNode* next);
  // Unlinks without deleting.
  void Remove(CVCXListNode* node);
  void DeleteAll();
  // Stable merge sort.
  void Sort(VCXListCompare compare, void* context);

  int count;
  CVCXListNode* first;
  CVCXListNode* last;

private:
  // Sorts the run of n nodes that begins at start; returns the run's new first node.
  CVCXListNode* SortRun(CVCXListNode* start, int n, VCXListCompare compare, void* context);

  CVCXList(const CVCXList&) = delete;
  CVCXList& operator=(const CVCXList&) = delete;
};
