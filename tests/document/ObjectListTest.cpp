#include <gtest/gtest.h>
#include <algorithm>
#include <random>
#include <stdexcept>
#include <vector>
#include "document/ObjectList.h"

namespace {

class Item : public CListItem {
public:
  explicit Item(int k, int* deaths = nullptr) : key(k), deaths(deaths) {}
  ~Item() noexcept(false) override {
    if (deaths)
      ++*deaths;
    delete victim;
    if (throws)
      throw std::runtime_error("item destructor");
  }
  int key;
  int tag = 0;
  int* deaths;
  bool throws = false;
  Item* victim = nullptr;  // deleted by this item's destructor
};

Item* AsItem(CListItem* item) { return static_cast<Item*>(item); }

// Keys front to back, after checking links, owners, ends and the count.
std::vector<int> Keys(const CObjectList& list) {
  std::vector<int> keys;
  CListItem* previous = nullptr;
  for (CListItem* item = list.first; item; item = item->next) {
    EXPECT_EQ(item->prev, previous);
    EXPECT_EQ(item->owner, &list);
    previous = item;
    keys.push_back(AsItem(item)->key);
    if (keys.size() > 100000)
      break;
  }
  EXPECT_EQ(list.last, previous);
  EXPECT_EQ(list.count, static_cast<int32_t>(keys.size()));
  return keys;
}

void ExpectDetached(const CListItem& item) {
  EXPECT_EQ(item.owner, nullptr);
  EXPECT_EQ(item.prev, nullptr);
  EXPECT_EQ(item.next, nullptr);
}

using V = std::vector<int>;

class ObjectListTest : public testing::Test {
protected:
  std::vector<Item*> Fill(CObjectList& target, std::initializer_list<int> keys) {
    std::vector<Item*> made;
    for (int k : keys)
      made.push_back(AsItem(target.Append(new Item(k, &deaths))));
    return made;
  }
  int deaths = 0;
  CObjectList list;
};

int CompareKeys(CListItem* a, CListItem* b, void*) { return AsItem(a)->key - AsItem(b)->key; }

TEST_F(ObjectListTest, AppendLinksAtTheEnd) {
  EXPECT_EQ(list.Append(nullptr), nullptr);
  Fill(list, {1, 2, 3});
  EXPECT_EQ(Keys(list), V({1, 2, 3}));
}

TEST_F(ObjectListTest, AppendTakesTheItemFromAnotherList) {
  CObjectList other;
  auto items = Fill(other, {1, 2, 3});
  Fill(list, {7});
  list.Append(items[1]);
  EXPECT_EQ(Keys(other), V({1, 3}));
  EXPECT_EQ(Keys(list), V({7, 2}));
  EXPECT_EQ(items[1]->owner, &list);
}

TEST_F(ObjectListTest, AppendOfAnItemOfThisListMovesItToTheEnd) {
  auto items = Fill(list, {1, 2, 3});
  list.Append(items[0]);
  EXPECT_EQ(Keys(list), V({2, 3, 1}));
  list.Append(items[0]);
  EXPECT_EQ(Keys(list), V({2, 3, 1}));
}

TEST_F(ObjectListTest, InsertBeforeNullAppends) {
  Item* a = new Item(1);
  list.InsertBefore(a, nullptr);
  EXPECT_EQ(list.first, a);
  EXPECT_EQ(list.last, a);
  list.InsertBefore(new Item(2), nullptr);
  EXPECT_EQ(Keys(list), V({1, 2}));
}

TEST_F(ObjectListTest, InsertBeforeFirstAndMiddle) {
  auto items = Fill(list, {1, 2});
  list.InsertBefore(new Item(0), items[0]);
  list.InsertBefore(new Item(5), items[1]);
  EXPECT_EQ(Keys(list), V({0, 1, 5, 2}));
}

TEST_F(ObjectListTest, InsertBeforeItselfLeavesTheListAlone) {
  auto items = Fill(list, {1, 2, 3});
  EXPECT_EQ(list.InsertBefore(items[1], items[1]), items[1]);
  EXPECT_EQ(Keys(list), V({1, 2, 3}));
}

TEST_F(ObjectListTest, InsertBeforeAnItemOfAnotherListIsRefused) {
  CObjectList other;
  auto mine = Fill(list, {1, 2});
  auto theirs = Fill(other, {8, 9});
  EXPECT_EQ(list.InsertBefore(mine[0], theirs[1]), nullptr);
  EXPECT_EQ(Keys(list), V({1, 2}));
  EXPECT_EQ(Keys(other), V({8, 9}));
  Item loose(4), other2(3);
  EXPECT_EQ(list.InsertBefore(&other2, &loose), nullptr);
  ExpectDetached(other2);
  EXPECT_EQ(list.count, 2);
}

TEST_F(ObjectListTest, InsertBeforeMovesWithinTheList) {
  auto items = Fill(list, {1, 2, 3, 4});
  list.InsertBefore(items[3], items[0]);
  EXPECT_EQ(Keys(list), V({4, 1, 2, 3}));
  list.InsertBefore(items[0], items[3]);
  EXPECT_EQ(Keys(list), V({1, 4, 2, 3}));
  list.InsertBefore(items[1], items[2]);  // already in front of it
  EXPECT_EQ(Keys(list), V({1, 4, 2, 3}));
}

TEST_F(ObjectListTest, MoveInFrontOfItselfDoesNothing) {
  auto items = Fill(list, {1, 2, 3});
  list.Move(items[2], items[2]);
  EXPECT_EQ(Keys(list), V({1, 2, 3}));
  list.Move(items[2], items[0]);
  EXPECT_EQ(Keys(list), V({3, 1, 2}));
  list.Move(items[2], nullptr);
  EXPECT_EQ(Keys(list), V({1, 2, 3}));
  list.Move(nullptr, items[0]);
  EXPECT_EQ(Keys(list), V({1, 2, 3}));
}

TEST_F(ObjectListTest, RemoveUnlinksAndReturnsTheItem) {
  auto items = Fill(list, {1, 2, 3});
  EXPECT_EQ(list.Remove(items[1]), items[1]);
  ExpectDetached(*items[1]);
  EXPECT_EQ(Keys(list), V({1, 3}));
  EXPECT_EQ(list.Remove(items[1]), items[1]);  // already detached
  EXPECT_EQ(list.count, 2);
  EXPECT_EQ(list.Remove(nullptr), nullptr);
  delete items[1];
  EXPECT_EQ(deaths, 1);
}

TEST_F(ObjectListTest, RemoveOfTheOnlyItemEmptiesTheList) {
  auto items = Fill(list, {1});
  list.Remove(items[0]);
  EXPECT_EQ(list.count, 0);
  EXPECT_EQ(list.first, nullptr);
  EXPECT_EQ(list.last, nullptr);
  delete items[0];
}

TEST_F(ObjectListTest, RemoveLeavesItemsOfOtherListsAlone) {
  CObjectList other;
  auto theirs = Fill(other, {8, 9});
  Fill(list, {1});
  EXPECT_EQ(list.Remove(theirs[0]), nullptr);
  EXPECT_EQ(Keys(other), V({8, 9}));
  EXPECT_EQ(Keys(list), V({1}));
  list.Delete(theirs[1]);
  EXPECT_EQ(deaths, 0);
  EXPECT_EQ(Keys(other), V({8, 9}));
}

TEST_F(ObjectListTest, DeleteRemovesAndDestroys) {
  auto items = Fill(list, {1, 2, 3});
  list.Delete(items[0]);
  EXPECT_EQ(deaths, 1);
  EXPECT_EQ(Keys(list), V({2, 3}));
  list.Delete(nullptr);
  list.Delete(new Item(9, &deaths));  // a detached item is simply deleted
  EXPECT_EQ(deaths, 2);
}

TEST_F(ObjectListTest, ItemDeletedOnItsOwnLeavesTheListConsistent) {
  auto items = Fill(list, {1, 2, 3, 4});
  delete items[1];
  EXPECT_EQ(Keys(list), V({1, 3, 4}));
  delete items[0];
  EXPECT_EQ(Keys(list), V({3, 4}));
  delete items[3];
  EXPECT_EQ(Keys(list), V({3}));
  delete items[2];
  EXPECT_EQ(Keys(list), V({}));
  EXPECT_EQ(list.first, nullptr);
  EXPECT_EQ(list.last, nullptr);
}

TEST_F(ObjectListTest, DetachAllKeepsTheItems) {
  auto items = Fill(list, {1, 2, 3});
  list.DetachAll();
  EXPECT_EQ(list.count, 0);
  EXPECT_EQ(list.first, nullptr);
  EXPECT_EQ(list.last, nullptr);
  for (Item* item : items)
    ExpectDetached(*item);
  EXPECT_EQ(deaths, 0);
  // Detached items can join another list and die with it.
  {
    CObjectList other;
    for (Item* item : items)
      other.Append(item);
    EXPECT_EQ(Keys(other), V({1, 2, 3}));
  }
  EXPECT_EQ(deaths, 3);
}

TEST_F(ObjectListTest, DeleteAllGoesOnWhenADestructorThrows) {
  auto items = Fill(list, {1, 2, 3, 4});
  items[0]->throws = true;
  items[2]->throws = true;
  list.DeleteAll();
  EXPECT_EQ(deaths, 4);
  EXPECT_EQ(list.count, 0);
  EXPECT_EQ(list.first, nullptr);
  EXPECT_EQ(list.last, nullptr);
}

TEST_F(ObjectListTest, DeleteAllCopesWithDestructorsThatDeleteOtherItems) {
  auto items = Fill(list, {1, 2, 3, 4});
  items[0]->victim = items[3];  // the last one goes with the first
  items[1]->victim = items[2];  // and the third with its neighbour
  list.DeleteAll();
  EXPECT_EQ(deaths, 4);
  EXPECT_EQ(list.count, 0);
}

TEST_F(ObjectListTest, DestructorDeletesTheItems) {
  {
    CObjectList local;
    Fill(local, {1, 2, 3});
  }
  EXPECT_EQ(deaths, 3);
}

TEST_F(ObjectListTest, CopiedItemStartsDetached) {
  auto items = Fill(list, {1, 2});
  Item copy(*items[0]);
  ExpectDetached(copy);
  copy.deaths = nullptr;
  *items[1] = copy;  // assignment keeps the target's place
  EXPECT_EQ(Keys(list), V({1, 1}));
}

TEST_F(ObjectListTest, SortOfNoneOrOneItemDoesNothing) {
  int calls = 0;
  auto counting = [](CListItem*, CListItem*, void* context) {
    ++*static_cast<int*>(context);
    return 1;
  };
  list.Sort(counting, &calls);
  Fill(list, {5});
  list.Sort(counting, &calls);
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(Keys(list), V({5}));
  list.Sort(nullptr, nullptr);
}

TEST_F(ObjectListTest, SortKeepsTheOrderOfEqualItems) {
  auto items = Fill(list, {0, 0, 0, 0, 0, 0, 0});
  for (size_t i = 0; i < items.size(); ++i)
    items[i]->tag = static_cast<int>(i);
  list.Sort(CompareKeys, nullptr);
  int expected = 0;
  for (CListItem* item = list.first; item; item = item->next)
    EXPECT_EQ(AsItem(item)->tag, expected++);
  EXPECT_EQ(Keys(list).size(), 7u);
}

TEST_F(ObjectListTest, SortPassesTheContextAndFollowsItsSign) {
  Fill(list, {1, 4, 2, 3});
  int sign = -1;  // descending
  list.Sort(
      [](CListItem* a, CListItem* b, void* context) {
        return *static_cast<int*>(context) * (AsItem(a)->key - AsItem(b)->key);
      },
      &sign);
  EXPECT_EQ(Keys(list), V({4, 3, 2, 1}));
}

// Stable sort against std::stable_sort for every length up to 64, with many equal keys,
// and with items outside the sorted list left alone.
TEST_F(ObjectListTest, SortMatchesAStableSortForManyShapes) {
  std::mt19937 random(12345);
  for (int n = 0; n <= 64; ++n) {
    for (int round = 0; round < 4; ++round) {
      CObjectList sorted;
      std::vector<std::pair<int, int>> expected;
      for (int i = 0; i < n; ++i) {
        int key = round == 3 ? n - i : static_cast<int>(random() % (round + 3));
        Item* item = new Item(key);
        item->tag = i;
        sorted.Append(item);
        expected.push_back({key, i});
      }
      sorted.Sort(CompareKeys, nullptr);
      std::stable_sort(expected.begin(), expected.end(),
                       [](const std::pair<int, int>& a, const std::pair<int, int>& b) { return a.first < b.first; });
      std::vector<std::pair<int, int>> got;
      for (CListItem* item = sorted.first; item; item = item->next)
        got.push_back({AsItem(item)->key, AsItem(item)->tag});
      ASSERT_EQ(got, expected) << "length " << n << " round " << round;
      ASSERT_EQ(Keys(sorted).size(), static_cast<size_t>(n));
    }
  }
}

TEST_F(ObjectListTest, SortNeedsNoMoreThanNLogNComparisons) {
  const int n = 1024;
  std::mt19937 random(7);
  for (int i = 0; i < n; ++i)
    list.Append(new Item(static_cast<int>(random() % 100000)));
  struct Counter {
    long calls = 0;
  } counter;
  list.Sort(
      [](CListItem* a, CListItem* b, void* context) {
        ++static_cast<Counter*>(context)->calls;
        return CompareKeys(a, b, nullptr);
      },
      &counter);
  EXPECT_LE(counter.calls, static_cast<long>(n) * 10);
  V keys = Keys(list);
  EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
}

}  // namespace
