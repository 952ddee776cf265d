#include "wul/WULList.h"

// A node belongs here when its neighbours (or the list ends) point back at it. A
// detached node has null links and is neither first nor last.
bool CWULList::IsLinked(const CWULListNode* node) const {
  if (node->prev ? node->prev->next != node : first != node)
    return false;
  return node->next ? node->next->prev == node : last == node;
}

CWULListNode* CWULList::Append(CWULListNode* node) { return Insert(node, nullptr); }

CWULListNode* CWULList::Insert(CWULListNode* node, CWULListNode* before) {
  if (!node)
    return nullptr;
  // Linking a node twice would make a cycle; linking before a stranger would lose it.
  if (node->prev || node->next || node == first)
    return nullptr;
  if (before && !IsLinked(before))
    return nullptr;
  if (before) {
    node->prev = before->prev;
    node->next = before;
    if (before->prev)
      before->prev->next = node;
    else
      first = node;
    before->prev = node;
  } else {
    node->prev = last;
    node->next = nullptr;
    if (last)
      last->next = node;
    else
      first = node;
    last = node;
  }
  ++count;
  return node;
}

void CWULList::Move(CWULListNode* node, CWULListNode* before) {
  if (!node || node == before || !IsLinked(node))
    return;
  if (before && !IsLinked(before))
    return;
  Remove(node);
  Insert(node, before);
}

void CWULList::Swap(CWULListNode* a, CWULListNode* b) {
  if (!a || !b || a == b || !IsLinked(a) || !IsLinked(b))
    return;
  if (b->next == a) {
    CWULListNode* t = a;
    a = b;
    b = t;
  }
  if (a->next == b) {
    // Neighbours: p a b n becomes p b a n.
    CWULListNode* p = a->prev;
    CWULListNode* n = b->next;
    (p ? p->next : first) = b;
    (n ? n->prev : last) = a;
    b->prev = p;
    b->next = a;
    a->prev = b;
    a->next = n;
    return;
  }
  CWULListNode* ap = a->prev;
  CWULListNode* an = a->next;
  CWULListNode* bp = b->prev;
  CWULListNode* bn = b->next;
  (ap ? ap->next : first) = b;
  (an ? an->prev : last) = b;
  (bp ? bp->next : first) = a;
  (bn ? bn->prev : last) = a;
  a->prev = bp;
  a->next = bn;
  b->prev = ap;
  b->next = an;
}

CWULListNode* CWULList::Remove(CWULListNode* node) {
  if (!node)
    return nullptr;
  if (!IsLinked(node))
    return node;
  (node->prev ? node->prev->next : first) = node->next;
  (node->next ? node->next->prev : last) = node->prev;
  node->prev = nullptr;
  node->next = nullptr;
  --count;
  return node;
}

void CWULList::UnlinkAll() {
  CWULListNode* node = first;
  while (node) {
    CWULListNode* next = node->next;
    node->prev = nullptr;
    node->next = nullptr;
    node = next;
  }
  count = 0;
  first = nullptr;
  last = nullptr;
}

void CWULList::DeleteAll() {
  // Each node is unlinked before it is deleted, so a destructor that touches this list
  // (removes itself or deletes a neighbour) finds it consistent.
  while (first) {
    CWULListNode* node = first;
    first = node->next;
    if (first)
      first->prev = nullptr;
    else
      last = nullptr;
    node->prev = nullptr;
    node->next = nullptr;
    --count;
    delete node;
  }
  count = 0;
  last = nullptr;
}
