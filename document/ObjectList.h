#pragma once
// The application's owning, intrusive doubly linked list. An item knows the list that
// holds it, so it can be moved between lists or deleted on its own; deleting the list
// deletes its items.
#include <cstdint>

class CObjectList;

class CListItem {
public:
  CListItem() : owner(nullptr), prev(nullptr), next(nullptr) {}
  // A copy starts outside any list; assignment leaves the target's links alone.
  CListItem(const CListItem&) : owner(nullptr), prev(nullptr), next(nullptr) {}
  CListItem& operator=(const CListItem&) { return *this; }
  // Leaves the owner list. May pass on what a derived destructor throws, so that
  // CObjectList::DeleteAll can go on with the other items.
  virtual ~CListItem() noexcept(false);

  CObjectList* owner;  // null while not in a list
  CListItem* prev;
  CListItem* next;
};

// A positive result puts b before a.
typedef int (*ObjectListCompare)(CListItem* a, CListItem* b, void* context);

class CObjectList {
public:
  CObjectList() : count(0), first(nullptr), last(nullptr) {}
  virtual ~CObjectList();

  // Takes the item out of the list that holds it (this one included) and links it at
  // the end. Returns the item, or null for a null item.
  CListItem* Append(CListItem* item);
  // The same, linked in front of before (at the end for null). Returns null and changes
  // nothing when before is not in this list.
  CListItem* InsertBefore(CListItem* item, CListItem* before);
  void Move(CListItem* item, CListItem* before);
  // Unlinks the item and returns it. An item of another list is left alone and null is
  // returned; a detached item is returned as it is.
  CListItem* Remove(CListItem* item);
  // Removes and deletes the item; an item of another list is not touched.
  void Delete(CListItem* item);
  // Unlinks every item without deleting any.
  void DetachAll();
  // Deletes every item from the first on. What a destructor throws is dropped.
  void DeleteAll();
  // Stable merge sort on the links.
  void Sort(ObjectListCompare compare, void* context);

  int32_t count;
  CListItem* first;
  CListItem* last;

private:
  void Unlink(CListItem* item);
  void SortRange(CListItem* rangeFirst, CListItem* rangeLast, ObjectListCompare compare,
                 void* context);

  CObjectList(const CObjectList&) = delete;
  CObjectList& operator=(const CObjectList&) = delete;
};
