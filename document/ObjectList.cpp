#include "document/ObjectList.h"

CListItem::~CListItem() noexcept(false) {
  if (owner)
    owner->Remove(this);
}

CObjectList::~CObjectList() { DeleteAll(); }

void CObjectList::Unlink(CListItem* item) {
  (item->prev ? item->prev->next : first) = item->next;
  (item->next ? item->next->prev : last) = item->prev;
  item->owner = nullptr;
  item->prev = nullptr;
  item->next = nullptr;
  --count;
}

CListItem* CObjectList::Append(CListItem* item) { return InsertBefore(item, nullptr); }

CListItem* CObjectList::InsertBefore(CListItem* item, CListItem* before) {
  if (!item)
    return nullptr;
  // Linking in front of a stranger would join two lists.
  if (before && before->owner != this)
    return nullptr;
  // In front of itself it already is.
  if (item == before)
    return item;
  if (item->owner)
    item->owner->Remove(item);
  item->owner = this;
  item->next = before;
  if (before) {
    item->prev = before->prev;
    (before->prev ? before->prev->next : first) = item;
    before->prev = item;
  } else {
    item->prev = last;
    (last ? last->next : first) = item;
    last = item;
  }
  ++count;
  return item;
}

void CObjectList::Move(CListItem* item, CListItem* before) {
  if (!item || item == before)
    return;
  InsertBefore(item, before);
}

CListItem* CObjectList::Remove(CListItem* item) {
  if (!item || !item->owner)
    return item;
  if (item->owner != this)
    return nullptr;
  Unlink(item);
  return item;
}

void CObjectList::Delete(CListItem* item) {
  if (!item || (item->owner && item->owner != this))
    return;
  Remove(item);
  delete item;
}

void CObjectList::DetachAll() {
  CListItem* item = first;
  while (item) {
    CListItem* next = item->next;
    item->owner = nullptr;
    item->prev = nullptr;
    item->next = nullptr;
    item = next;
  }
  count = 0;
  first = nullptr;
  last = nullptr;
}

void CObjectList::DeleteAll() {
  // Each item leaves the list before its destructor runs, so a destructor that deletes
  // or moves other items finds the list consistent.
  while (first) {
    CListItem* item = first;
    Unlink(item);
    try {
      delete item;
    } catch (...) {
    }
  }
  count = 0;
  last = nullptr;
}

void CObjectList::Sort(ObjectListCompare compare, void* context) {
  if (!compare || count < 2)
    return;
  SortRange(first, last, compare, context);
}

// Sorts the items from rangeFirst to rangeLast (both in this list, rangeFirst not after
// rangeLast) in place. The items just outside the range stay where they are, so the
// sorted range is found again from them.
void CObjectList::SortRange(CListItem* rangeFirst, CListItem* rangeLast, ObjectListCompare compare,
                            void* context) {
  if (rangeFirst == rangeLast)
    return;
  CListItem* before = rangeFirst->prev;
  CListItem* after = rangeLast->next;

  // Walk inwards from both ends until the two pointers are neighbours.
  CListItem* forward = rangeFirst;
  CListItem* backward = rangeLast;
  for (;;) {
    if (forward->next == backward)
      break;
    forward = forward->next;
    if (forward->next == backward)
      break;
    backward = backward->prev;
  }

  SortRange(rangeFirst, forward, compare, context);
  CListItem* headFirst = before ? before->next : first;
  CListItem* headLast = backward->prev;
  SortRange(backward, rangeLast, compare, context);
  CListItem* tailFirst = headLast->next;
  CListItem* tailLast = after ? after->prev : last;

  // The unmerged rest of the second half always follows headLast directly.
  CListItem* s = headFirst;
  CListItem* h = tailFirst;
  for (;;) {
    if (compare(s, h, context) <= 0) {
      if (s == headLast)
        break;
      s = s->next;
    } else {
      CListItem* nextH = h->next;
      bool wasLast = h == tailLast;
      // Unlink h from behind headLast and link it in front of s.
      headLast->next = nextH;
      (nextH ? nextH->prev : last) = headLast;
      h->prev = s->prev;
      h->next = s;
      (s->prev ? s->prev->next : first) = h;
      s->prev = h;
      if (wasLast)
        break;
      h = nextH;
    }
  }
}
