#include "plugins/sdk/VCXList.h"

CVCXListNode::~CVCXListNode() {
  if (list)
    list->Remove(this);
}

CVCXList::~CVCXList() {
  DeleteAll();
}

void CVCXList::Append(CVCXListNode* node) {
  InsertBefore(node, nullptr);
}

void CVCXList::InsertBefore(CVCXListNode* node, CVCXListNode* next) {
  if (!node)
    return;
  if (node->list)
    node->list->Remove(node);
  if (next && next->list != this)
    next = nullptr;
  node->list = this;
  node->next = next;
  node->previous = next ? next->previous : last;
  if (node->previous)
    node->previous->next = node;
  else
    first = node;
  if (next)
    next->previous = node;
  else
    last = node;
  ++count;
}

void CVCXList::MoveBefore(CVCXListNode* node, CVCXListNode* next) {
  if (!node || node == next || node->list != this)
    return;
  Remove(node);
  InsertBefore(node, next);
}

void CVCXList::Remove(CVCXListNode* node) {
  if (!node || node->list != this)
    return;
  if (node->previous)
    node->previous->next = node->next;
  else
    first = node->next;
  if (node->next)
    node->next->previous = node->previous;
  else
    last = node->previous;
  node->list = nullptr;
  node->next = node->previous = nullptr;
  --count;
}

void CVCXList::DeleteAll() {
  while (first)
    delete first;  // the node unlinks itself
}

CVCXListNode* CVCXList::SortRun(CVCXListNode* start, int n, VCXListCompare compare,
                                void* context) {
  if (n < 2)
    return start;
  const int half = n / 2;
  CVCXListNode* left = SortRun(start, half, compare, context);
  CVCXListNode* right = left;
  for (int i = 0; i < half; ++i)
    right = right->next;
  right = SortRun(right, n - half, compare, context);
  // Merge: walking the left run, a smaller right node moves before the current left node.
  CVCXListNode* head = left;
  int leftLeft = half;
  int rightLeft = n - half;
  while (leftLeft > 0 && rightLeft > 0) {
    if (compare(left, right, context) > 0) {
      CVCXListNode* moved = right;
      right = right->next;
      --rightLeft;
      MoveBefore(moved, left);
      if (head == left)
        head = moved;
    } else {
      left = left->next;
      --leftLeft;
    }
  }
  return head;
}

void CVCXList::Sort(VCXListCompare compare, void* context) {
  if (compare && count > 1)
    SortRun(first, count, compare, context);
}
