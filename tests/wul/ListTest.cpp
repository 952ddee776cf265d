#include <gtest/gtest.h>
#include <vector>
#include "wul/WULObject.h"

namespace {

// A list entry with both bases, as menu items have. It may also be listed elsewhere
// through its second link, which it leaves when deleted.
class Item : public CWULObject, public CWULListNode {
public:
  explicit Item(int v, int* deaths = nullptr) : value(v), deaths(deaths) {}
  ~Item() override {
    if (deaths)
      ++*deaths;
    if (linkList)
      linkList->Remove(&link);
    if (ownList)
      ownList->Remove(this);
    delete killNeighbour;
  }
  int value;
  int* deaths;
  CWULListNode link;
  CWULList* linkList = nullptr;
  CWULList* ownList = nullptr;
  Item* killNeighbour = nullptr;
};

// Values front to back, after checking every link and the count.
std::vector<int> Values(const CWULList& list) {
  std::vector<int> values;
  CWULListNode* previous = nullptr;
  for (CWULListNode* node = list.first; node; node = node->next) {
    EXPECT_EQ(node->prev, previous);
    previous = node;
    values.push_back(static_cast<Item*>(node)->value);
  }
  EXPECT_EQ(list.last, previous);
  EXPECT_EQ(list.count, static_cast<int32_t>(values.size()));
  return values;
}

using V = std::vector<int>;

class ListTest : public testing::Test {
protected:
  void Fill(int n) {
    for (int i = 0; i < n; ++i)
      items.push_back(static_cast<Item*>(list.Append(new Item(i, &deaths))));
  }
  int deaths = 0;
  CWULList list;
  std::vector<Item*> items;
};

TEST_F(ListTest, InsertWithoutSuccessorAppends) {
  Item a(1), b(2), c(3);
  EXPECT_EQ(list.Insert(&a, nullptr), &a);
  EXPECT_EQ(list.first, &a);
  EXPECT_EQ(list.last, &a);
  list.Insert(&b, nullptr);
  list.Insert(&c, &a);
  EXPECT_EQ(Values(list), (V{3, 1, 2}));
  list.UnlinkAll();
}

TEST_F(ListTest, NullLinkedOrForeignArgumentsChangeNothing) {
  Fill(2);
  Item stranger(9), fresh(7);
  EXPECT_EQ(list.Append(nullptr), nullptr);
  EXPECT_EQ(list.Remove(nullptr), nullptr);
  list.Swap(items[0], nullptr);
  // A second link of a linked node would make a cycle.
  EXPECT_EQ(list.Append(items[1]), nullptr);
  EXPECT_EQ(list.Insert(items[0], items[1]), nullptr);
  EXPECT_EQ(list.Insert(&fresh, &stranger), nullptr);
  list.Move(items[0], &stranger);
  list.Swap(items[0], &stranger);
  EXPECT_EQ(Values(list), (V{0, 1}));
}

TEST_F(ListTest, Move) {
  Fill(3);
  list.Move(items[1], items[1]);
  list.Move(items[1], items[2]);
  EXPECT_EQ(Values(list), (V{0, 1, 2}));
  list.Move(items[0], nullptr);
  EXPECT_EQ(Values(list), (V{1, 2, 0}));
  list.Move(items[2], items[1]);
  EXPECT_EQ(Values(list), (V{2, 1, 0}));
}

TEST_F(ListTest, SwapFirstAndLastOfTwo) {
  Fill(2);
  list.Swap(items[0], items[1]);
  EXPECT_EQ(Values(list), (V{1, 0}));
  EXPECT_EQ(list.first, items[1]);
  list.Swap(items[0], items[1]);  // the later node first
  EXPECT_EQ(Values(list), (V{0, 1}));
}

TEST_F(ListTest, SwapNeighboursAndDistantNodes) {
  Fill(5);
  list.Swap(items[2], items[1]);
  EXPECT_EQ(Values(list), (V{0, 2, 1, 3, 4}));
  list.Swap(items[0], items[4]);
  EXPECT_EQ(Values(list), (V{4, 2, 1, 3, 0}));
  list.Swap(items[2], items[3]);  // one node between
  EXPECT_EQ(Values(list), (V{4, 3, 1, 2, 0}));
}

TEST_F(ListTest, RemoveOnlyNodeAndRemoveTwice) {
  Fill(1);
  Item* only = items[0];
  EXPECT_EQ(list.Remove(only), only);
  EXPECT_EQ(Values(list), V{});
  EXPECT_EQ(only->prev, nullptr);
  EXPECT_EQ(only->next, nullptr);
  Fill(2);
  // A detached node must not be taken for the list's first.
  EXPECT_EQ(list.Remove(only), only);
  EXPECT_EQ(Values(list), (V{0, 1}));
  delete only;
}

TEST_F(ListTest, UnlinkingDuringTraversal) {
  Fill(6);
  for (CWULListNode* node = list.first; node;) {
    CWULListNode* next = node->next;
    if (static_cast<Item*>(node)->value % 2 == 0)
      delete list.Remove(node);
    node = next;
  }
  EXPECT_EQ(Values(list), (V{1, 3, 5}));
  EXPECT_EQ(deaths, 3);
}

TEST_F(ListTest, UnlinkAllKeepsNodes) {
  Fill(3);
  list.UnlinkAll();
  EXPECT_EQ(Values(list), V{});
  EXPECT_EQ(deaths, 0);
  for (Item* item : items) {
    EXPECT_EQ(item->next, nullptr);
    delete item;
  }
}

TEST_F(ListTest, DeleteAllWhileNodesLeaveAnotherList) {
  CWULList other;
  CWULListNode stays;
  Fill(3);
  other.Append(&items[0]->link);
  other.Append(&stays);
  other.Append(&items[2]->link);
  other.Append(&items[1]->link);
  for (Item* item : items)
    item->linkList = &other;
  list.DeleteAll();
  EXPECT_EQ(deaths, 3);
  EXPECT_EQ(Values(list), V{});
  EXPECT_EQ(other.count, 1);
  EXPECT_EQ(other.first, &stays);
  EXPECT_EQ(other.last, &stays);
  EXPECT_EQ(stays.next, nullptr);
  other.UnlinkAll();
}

TEST_F(ListTest, DeleteAllWhileNodesTouchTheSameList) {
  Fill(4);
  items[0]->ownList = &list;           // removes itself
  items[1]->killNeighbour = items[2];  // deletes the next node,
  items[2]->ownList = &list;           // which leaves the list
  list.DeleteAll();
  EXPECT_EQ(deaths, 4);
  EXPECT_EQ(Values(list), V{});
}

TEST_F(ListTest, CopiedNodeStartsDetached) {
  Fill(3);
  Item copy(*items[1]);
  copy.deaths = nullptr;
  EXPECT_EQ(copy.prev, nullptr);
  EXPECT_EQ(copy.next, nullptr);
  *items[1] = copy;
  EXPECT_EQ(Values(list), (V{0, 1, 2}));
}

TEST(List, DestructorDeletesNodes) {
  int gone = 0;
  {
    CWULList local;
    local.Append(new Item(1, &gone));
    local.Append(new Item(2, &gone));
  }
  EXPECT_EQ(gone, 2);
}

}  // namespace
