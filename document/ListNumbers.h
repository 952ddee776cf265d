#pragma once
// List numbers and ids shared by the project's image list and the image's layer list.
// A node type T offers GetPrevious(), GetNext(), GetId() and SetListNumber(n).
#include <cstdint>
#include <vector>

// Numbers the nodes from node to the end consecutively, starting at the predecessor's
// number + 1 (1 at the head).
template <class T>
void RenumberList(T* node) {
  if (!node)
    return;
  int32_t n = node->GetPrevious() ? node->GetPrevious()->GetListNumber() + 1 : 1;
  for (; node; node = node->GetNext())
    node->SetListNumber(n++);
}

// Id for a node of the list that starts at first and holds count nodes (the new node, still
// without an id, included): one above the highest id when that is below the count, else
// the smallest positive id that no node uses.
template <class T>
int32_t NextFreeListId(T* first, int32_t count) {
  int32_t highest = 0;
  for (T* node = first; node; node = node->GetNext())
    if (node->GetId() > highest)
      highest = node->GetId();
  if (highest < count)
    return highest + 1;
  // At most count - 1 ids are in use, so one of 1..count is free.
  std::vector<bool> used(static_cast<size_t>(count) + 1, false);
  for (T* node = first; node; node = node->GetNext()) {
    int32_t id = node->GetId();
    if (id > 0 && id <= count)
      used[static_cast<size_t>(id)] = true;
  }
  for (int32_t id = 1; id <= count; ++id)
    if (!used[static_cast<size_t>(id)])
      return id;
  return count + 1;
}
