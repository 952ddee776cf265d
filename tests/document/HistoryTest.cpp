#include <gtest/gtest.h>
#include <cstdint>
#include <algorithm>
#include <cstring>
#include <vector>
#include "common/BoxWatcher.h"
#include "document/History.h"
#include "document/Image.h"
#include "document/PixelArray.h"
#include "document/UndoStore.h"
#include "shell/Settings.h"

namespace {

// Counts its calls; the log records deletions by tag.
class TestAction : public CAction {
public:
  TestAction(int tag, std::vector<int>* log, int32_t dataBytes = 0)
      : tag(tag), log(log), data(nullptr) {
    if (dataBytes > 0) {
      // Incompressible bytes, so that the undo memory grows by about their size.
      std::vector<uint8_t> bytes(static_cast<size_t>(dataBytes));
      uint32_t state = 0x12345u + static_cast<uint32_t>(tag);
      for (uint8_t& b : bytes) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(state >> 24);
      }
      g_LzwEncoder.Reset();
      g_LzwEncoder.Begin();
      g_LzwEncoder.Feed(bytes.data(), dataBytes);
      data = g_LzwEncoder.Finish();
    }
  }
  ~TestAction() override {
    delete data;
    if (log)
      log->push_back(tag);
  }
  bool Redo() override {
    ++redos;
    return redoResult;
  }
  bool Undo() override {
    ++undos;
    return undoResult;
  }

  int tag;
  std::vector<int>* log;
  CUndoData* data;
  int redos = 0;
  int undos = 0;
  bool redoResult = true;
  bool undoResult = true;
};

// Sets the undo limits for one test and puts the old values back.
class UndoLimits {
public:
  UndoLimits(int32_t maxDepth, int32_t megabytes, int32_t minDepth)
      : oldMax(g_Settings.limitsUndoMaxDepth->GetValue()),
        oldMemory(g_Settings.limitsUndoMemoryLimit->GetValue()),
        oldMin(g_Settings.limitsUndoMinDepth->GetValue()) {
    g_Settings.limitsUndoMaxDepth->SetValue(maxDepth);
    g_Settings.limitsUndoMemoryLimit->SetValue(megabytes);
    g_Settings.limitsUndoMinDepth->SetValue(minDepth);
  }
  ~UndoLimits() {
    g_Settings.limitsUndoMaxDepth->SetValue(oldMax);
    g_Settings.limitsUndoMemoryLimit->SetValue(oldMemory);
    g_Settings.limitsUndoMinDepth->SetValue(oldMin);
  }

private:
  int32_t oldMax, oldMemory, oldMin;
};

std::vector<uint8_t> Encode(const std::vector<uint8_t>& bytes, CUndoData** out) {
  g_LzwEncoder.Reset();
  EXPECT_TRUE(g_LzwEncoder.Begin());
  g_LzwEncoder.Feed(bytes.data(), static_cast<int32_t>(bytes.size()));
  CUndoData* data = g_LzwEncoder.Finish();
  std::vector<uint8_t> packed;
  for (CUndoBlock* b = data ? data->GetFirstBlock() : nullptr; b; b = b->next)
    packed.insert(packed.end(), b->data, b->data + b->size);
  *out = data;
  return packed;
}

std::vector<uint8_t> Decode(CUndoData* data, size_t limit) {
  std::vector<uint8_t> result;
  EXPECT_TRUE(data->BeginRead());
  uint8_t chunk[1000];
  int32_t got = 0;
  while (result.size() < limit && data->Read(chunk, sizeof chunk, &got) && got > 0)
    result.insert(result.end(), chunk, chunk + got);
  data->EndRead();
  return result;
}

std::vector<uint8_t> RoundTrip(const std::vector<uint8_t>& bytes) {
  CUndoData* data = nullptr;
  Encode(bytes, &data);
  EXPECT_NE(data, nullptr);
  if (!data)
    return {};
  std::vector<uint8_t> result = Decode(data, bytes.size() + 16);
  delete data;
  return result;
}

// Reads codes of the given widths from packed bytes, most significant bit first.
class CodeReader {
public:
  explicit CodeReader(const std::vector<uint8_t>& bytes) : bytes(bytes) {}
  uint32_t Get(int width) {
    uint32_t code = 0;
    for (int i = 0; i < width; ++i, ++bit) {
      const uint32_t b = (bytes[bit / 8] >> (7 - bit % 8)) & 1;
      code = (code << 1) | b;
    }
    return code;
  }

private:
  const std::vector<uint8_t>& bytes;
  size_t bit = 0;
};

void FillPattern(CPixelArray& a, uint32_t seed) {
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x)
      a.SetPixel(x, y, (static_cast<uint32_t>(x) * 2654435761u) ^ (y * 40503u) ^ seed);
}

// The deletion log in ascending order (cascading deletions log in nesting order).
std::vector<int> Sorted(std::vector<int> v) {
  std::sort(v.begin(), v.end());
  return v;
}

bool SamePixels(const CPixelArray& a, const CPixelArray& b) {
  return a.width == b.width && a.height == b.height &&
         std::memcmp(a.data, b.data, static_cast<size_t>(a.width) * a.height * 4) == 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// LZW coding

TEST(LzwCoding, RoundTripsTextAndEmptyInput) {
  const char text[] = "TOBEORNOTTOBEORTOBEORNOT#TOBEORNOTTOBEORTOBEORNOT";
  std::vector<uint8_t> bytes(text, text + sizeof text - 1);
  EXPECT_EQ(RoundTrip(bytes), bytes);
  EXPECT_TRUE(RoundTrip({}).empty());
  EXPECT_EQ(RoundTrip({42}), std::vector<uint8_t>{42});
}

TEST(LzwCoding, EightThousandIdenticalBytes) {
  std::vector<uint8_t> bytes(8192, 0xA5);
  CUndoData* data = nullptr;
  std::vector<uint8_t> packed = Encode(bytes, &data);
  ASSERT_NE(data, nullptr);
  EXPECT_LT(packed.size(), 400u);
  EXPECT_EQ(Decode(data, 9000), bytes);
  delete data;
}

TEST(LzwCoding, RandomDataCrossesDictionaryResetsAndBlocks) {
  // Random bytes fill the dictionary many times and the output passes 64 KB.
  std::vector<uint8_t> bytes(200000);
  uint32_t state = 7;
  for (uint8_t& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<uint8_t>(state >> 16);
  }
  CUndoData* data = nullptr;
  Encode(bytes, &data);
  ASSERT_NE(data, nullptr);
  ASSERT_NE(data->GetFirstBlock(), nullptr);
  EXPECT_EQ(data->GetFirstBlock()->size, 65536);
  EXPECT_NE(data->GetFirstBlock()->next, nullptr);
  EXPECT_EQ(Decode(data, bytes.size() + 16), bytes);
  delete data;
}

TEST(LzwCoding, MixedPatternsRoundTrip) {
  std::vector<uint8_t> bytes;
  for (int run = 0; run < 3000; ++run) {
    const int length = (run * 7) % 23 + 1;
    for (int i = 0; i < length; ++i)
      bytes.push_back(static_cast<uint8_t>((run % 5 == 0) ? i : run * 31));
  }
  EXPECT_EQ(RoundTrip(bytes), bytes);
}

TEST(LzwCoding, FullDictionaryWritesClearAtTwelveBits) {
  g_LzwEncoder.Reset();
  ASSERT_TRUE(g_LzwEncoder.Begin());
  // Every pair of distinct bytes is a new string: one entry per fed byte after the first.
  uint32_t state = 99;
  int fed = 0;
  while (g_LzwEncoder.GetNextCode() < 4096) {
    state = state * 1664525u + 1013904223u;
    uint8_t b = static_cast<uint8_t>(state >> 24);
    g_LzwEncoder.Feed(&b, 1);
    ++fed;
  }
  EXPECT_EQ(g_LzwEncoder.GetCodeWidth(), 12);
  // Feed until the next miss resets the dictionary.
  while (g_LzwEncoder.GetNextCode() == 4096) {
    state = state * 1664525u + 1013904223u;
    uint8_t b = static_cast<uint8_t>(state >> 24);
    g_LzwEncoder.Feed(&b, 1);
    ++fed;
  }
  EXPECT_EQ(g_LzwEncoder.GetNextCode(), 258);
  EXPECT_EQ(g_LzwEncoder.GetCodeWidth(), 9);
  CUndoData* data = g_LzwEncoder.Finish();
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(Decode(data, 100000).size(), static_cast<size_t>(fed));
  delete data;
}

TEST(LzwCoding, CodesArePackedMostSignificantBitFirst) {
  const uint8_t bytes[] = {'A', 'B', 'A', 'B'};
  g_LzwEncoder.Reset();
  ASSERT_TRUE(g_LzwEncoder.Begin());
  g_LzwEncoder.Feed(bytes, 4);
  CUndoData* data = g_LzwEncoder.Finish();
  ASSERT_NE(data, nullptr);
  std::vector<uint8_t> packed(data->GetFirstBlock()->data,
                              data->GetFirstBlock()->data + data->GetFirstBlock()->size);
  CodeReader reader(packed);
  EXPECT_EQ(reader.Get(9), uint32_t('A'));
  EXPECT_EQ(reader.Get(9), uint32_t('B'));
  EXPECT_EQ(reader.Get(9), 258u);  // "AB"
  EXPECT_EQ(reader.Get(9), 257u);  // end
  EXPECT_EQ(packed.size(), 5u);    // 36 bits, the last byte padded with zeros
  EXPECT_EQ(packed[4] & 0x0F, 0);
  delete data;
}

TEST(LzwCoding, TruncatedStreamStopsAtLastCompleteCode) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 300; ++i)
    bytes.push_back(static_cast<uint8_t>(i * 13));
  CUndoData* data = nullptr;
  Encode(bytes, &data);
  ASSERT_NE(data, nullptr);
  CUndoBlock* block = data->GetFirstBlock();
  const int32_t fullSize = block->size;
  ASSERT_GT(fullSize, 40);
  // Cut the stream (the end code goes with it): nine codes of 9 bits fit in 11 bytes.
  block->size = 11;
  std::vector<uint8_t> decoded = Decode(data, 1000);
  ASSERT_EQ(decoded.size(), 9u);
  EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), bytes.begin()));
  block->size = fullSize;
  delete data;
}

TEST(LzwCoding, CorruptCodeEndsDecoding) {
  std::vector<uint8_t> bytes(50, 1);
  CUndoData* data = nullptr;
  Encode(bytes, &data);
  ASSERT_NE(data, nullptr);
  // A first code of 511 cannot exist yet: the decoder stops with one byte 255.
  data->GetFirstBlock()->data[0] = 0xFF;
  data->GetFirstBlock()->data[1] |= 0x80;
  std::vector<uint8_t> decoded = Decode(data, 1000);
  EXPECT_EQ(decoded, std::vector<uint8_t>{255});
  delete data;
}

TEST(LzwCoding, ReadWithoutBeginFails) {
  CUndoData data;
  uint8_t b;
  int32_t got = 7;
  EXPECT_FALSE(data.Read(&b, 1, &got));
  EXPECT_EQ(got, 0);
}

TEST(LzwCoding, RecordMakerRefusesWhileEncoding) {
  BoxWatcher boxes("Vellumcraft :: Error");
  CPixelArray a(4, 4);
  g_LzwEncoder.Reset();
  ASSERT_TRUE(g_LzwEncoder.Begin());
  EXPECT_EQ(g_LzwEncoder.StorePixelRect(a, nullptr, nullptr), nullptr);
  EXPECT_EQ(g_LzwEncoder.GetState(), CLzwEncoder::STATE_FAILED);
  ASSERT_TRUE(boxes.WaitFor(1));
  EXPECT_EQ(boxes.Texts()[0], "Action data compression failed");
  // The next record maker recovers after a reset.
  g_LzwEncoder.Reset();
  CStoredRect* r = g_LzwEncoder.StorePixelRect(a, nullptr, nullptr);
  EXPECT_NE(r, nullptr);
  delete r;
}

// ---------------------------------------------------------------------------------------------
// Stored rectangles

TEST(StoredRect, WholeArrayRoundTrip) {
  CPixelArray a(130, 70);
  FillPattern(a, 1);
  g_LzwEncoder.Reset();
  CStoredRect* r = g_LzwEncoder.StorePixelRect(a, nullptr, nullptr);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->width, 130);
  EXPECT_EQ(r->height, 70);
  CPixelArray b(130, 70);
  b.Fill(0);
  EXPECT_TRUE(r->Restore(b, RESTORE_STORE));
  EXPECT_TRUE(SamePixels(a, b));
  delete r;
}

TEST(StoredRect, RectangleIsClippedAndKeepsItsPlace) {
  CPixelArray a(40, 30);
  FillPattern(a, 2);
  Rect rect;
  rect.left = 30;
  rect.top = -5;
  rect.right = 60;
  rect.bottom = 10;
  CStoredRect* r = g_LzwEncoder.StorePixelRect(a, nullptr, &rect);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->left, 30);
  EXPECT_EQ(r->top, 0);
  EXPECT_EQ(r->width, 10);
  EXPECT_EQ(r->height, 10);
  CPixelArray b(40, 30);
  b.Fill(0x12345678);
  EXPECT_TRUE(r->Restore(b, RESTORE_STORE));
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x)
      EXPECT_EQ(b.GetPixel(x, y), x >= 30 && y < 10 ? a.GetPixel(x, y) : 0x12345678u);
  delete r;
}

TEST(StoredRect, SixtyFivePixelsFeedTwoTiles) {
  CPixelArray a(65, 1);
  for (int x = 0; x < 65; ++x)
    a.SetPixel(x, 0, static_cast<uint32_t>(x) * 0x01010101u);
  CStoredRect* r = g_LzwEncoder.StorePixelRect(a, nullptr, nullptr);
  ASSERT_NE(r, nullptr);
  // The bytes are the two segments in order: 64 pixels, then 1.
  ASSERT_TRUE(r->data->BeginRead());
  std::vector<uint8_t> bytes(300);
  int32_t got = 0;
  ASSERT_TRUE(r->data->Read(bytes.data(), 300, &got));
  EXPECT_EQ(got, 65 * 4);
  EXPECT_EQ(std::memcmp(bytes.data(), a.data, 65 * 4), 0);
  r->data->EndRead();
  // A smaller array is refused without a write.
  CPixelArray small(64, 1);
  small.Fill(7);
  EXPECT_FALSE(r->Restore(small, RESTORE_STORE));
  for (int x = 0; x < 64; ++x)
    EXPECT_EQ(small.GetPixel(x, 0), 7u);
  delete r;
}

TEST(StoredRect, DifferenceTurnsOldIntoNewAndBack) {
  CPixelArray before(100, 90), after(100, 90);
  FillPattern(before, 3);
  after.CopyFrom(before);
  Rect rect;
  rect.left = 5;
  rect.top = 7;
  rect.right = 80;
  rect.bottom = 85;
  for (int y = 20; y < 60; ++y)
    for (int x = 10; x < 75; ++x)
      after.SetPixel(x, y, after.GetPixel(x, y) ^ 0x80FF0001u);
  CStoredRect* diff = g_LzwEncoder.StorePixelRect(after, &before, &rect);
  ASSERT_NE(diff, nullptr);
  CPixelArray work(100, 90);
  work.CopyFrom(before);
  EXPECT_TRUE(diff->Restore(work, RESTORE_ADD));
  EXPECT_TRUE(SamePixels(work, after));
  EXPECT_TRUE(diff->Restore(work, RESTORE_SUBTRACT));
  EXPECT_TRUE(SamePixels(work, before));
  delete diff;
}

TEST(StoredRect, DifferenceOfIdenticalArraysChangesNothing) {
  CPixelArray a(64, 64), b(64, 64);
  FillPattern(a, 4);
  b.CopyFrom(a);
  CStoredRect* diff = g_LzwEncoder.StorePixelRect(a, &b, nullptr);
  ASSERT_NE(diff, nullptr);
  EXPECT_LT(diff->GetCompressedSize(), 400);
  EXPECT_TRUE(diff->Restore(b, RESTORE_ADD));
  EXPECT_TRUE(SamePixels(a, b));
  delete diff;
}

TEST(StoredRect, MaskRoundTripAndMismatchedOther) {
  BoxWatcher boxes("Vellumcraft :: Error");
  CMaskArray m(70, 66), old(70, 66), wrong(10, 10);
  for (int i = 0; i < 70 * 66; ++i) {
    m.data[i] = static_cast<uint8_t>(i * 7);
    old.data[i] = static_cast<uint8_t>(i);
  }
  CStoredRect* whole = g_LzwEncoder.StoreMask(m);
  ASSERT_NE(whole, nullptr);
  CMaskArray back(70, 66);
  EXPECT_TRUE(whole->Restore(back, RESTORE_STORE));
  EXPECT_EQ(std::memcmp(back.data, m.data, 70 * 66), 0);
  CStoredRect* diff = g_LzwEncoder.StoreMask(m, &old);
  ASSERT_NE(diff, nullptr);
  EXPECT_TRUE(diff->Restore(old, RESTORE_ADD));
  EXPECT_EQ(std::memcmp(old.data, m.data, 70 * 66), 0);
  // An other mask of another shape is refused.
  g_LzwEncoder.Reset();
  EXPECT_EQ(g_LzwEncoder.StoreMask(m, &wrong), nullptr);
  EXPECT_TRUE(boxes.WaitFor(1));
  g_LzwEncoder.Reset();
  delete whole;
  delete diff;
}

TEST(UndoBlocks, RegistryCountsTwelvePlusSize) {
  const int64_t before = g_UndoRegistry.GetTotalBytes();
  CUndoBlock* block = new CUndoBlock(1000);
  EXPECT_EQ(g_UndoRegistry.GetTotalBytes(), before + 1012);
  delete block;
  EXPECT_EQ(g_UndoRegistry.GetTotalBytes(), before);
}

// ---------------------------------------------------------------------------------------------
// History

class HistoryTest : public testing::Test {
protected:
  HistoryTest() : limits(100, 16, 1) {}
  void TearDown() override { EXPECT_EQ(g_UndoRegistry.GetCount(), baseCount); }

  UndoLimits limits;
  int32_t baseCount = g_UndoRegistry.GetCount();
  std::vector<int> deleted;
};

TEST_F(HistoryTest, ImageOwnsAHistory) {
  CImage image;
  ASSERT_NE(image.GetHistory(), nullptr);
  EXPECT_EQ(image.GetHistory()->GetImage(), &image);
  image.GetHistory()->Add(new TestAction(1, &deleted));
  EXPECT_EQ(g_UndoRegistry.GetCount(), baseCount + 1);
}

TEST_F(HistoryTest, UndoRedoMoveThroughTheList) {
  CImage image;
  CHistory* h = image.GetHistory();
  TestAction* a = new TestAction(1, &deleted);
  TestAction* b = new TestAction(2, &deleted);
  EXPECT_FALSE(h->Undo());
  EXPECT_TRUE(h->Add(a));
  EXPECT_TRUE(h->Add(b));
  EXPECT_EQ(h->GetCount(), 2);
  EXPECT_EQ(h->GetCurrent(), b);
  EXPECT_EQ(h->GetRedoNext(), nullptr);
  EXPECT_FALSE(h->Redo());
  EXPECT_TRUE(h->Undo());
  EXPECT_EQ(b->undos, 1);
  EXPECT_EQ(h->GetCurrent(), a);
  EXPECT_EQ(h->GetRedoNext(), b);
  EXPECT_TRUE(h->Undo());
  EXPECT_EQ(h->GetCurrent(), nullptr);
  EXPECT_EQ(h->GetRedoNext(), a);
  EXPECT_FALSE(h->Undo());
  EXPECT_TRUE(h->Redo());
  EXPECT_EQ(a->redos, 1);
  EXPECT_EQ(h->GetCurrent(), a);
  EXPECT_EQ(h->GetRedoNext(), b);
}

TEST_F(HistoryTest, FailingUndoOrRedoMovesNothing) {
  CImage image;
  CHistory* h = image.GetHistory();
  TestAction* a = new TestAction(1, &deleted);
  h->Add(a);
  a->undoResult = false;
  EXPECT_FALSE(h->Undo());
  EXPECT_EQ(h->GetCurrent(), a);
  a->undoResult = true;
  EXPECT_TRUE(h->Undo());
  a->redoResult = false;
  EXPECT_FALSE(h->Redo());
  EXPECT_EQ(h->GetRedoNext(), a);
  EXPECT_EQ(h->GetCurrent(), nullptr);
}

TEST_F(HistoryTest, AddAfterTwoUndosDropsTheUndoneActions) {
  CImage image;
  CHistory* h = image.GetHistory();
  for (int i = 1; i <= 3; ++i)
    h->Add(new TestAction(i, &deleted, 3000));
  const int64_t bytesWithThree = g_UndoRegistry.GetTotalBytes();
  h->Undo();
  h->Undo();
  h->Add(new TestAction(4, &deleted));
  EXPECT_EQ(Sorted(deleted), (std::vector<int>{2, 3}));
  EXPECT_EQ(h->GetCount(), 2);
  EXPECT_EQ(g_UndoRegistry.GetCount(), baseCount + 2);
  EXPECT_LT(g_UndoRegistry.GetTotalBytes(), bytesWithThree - 6000);
  EXPECT_EQ(h->GetFirst()->GetNext(), h->GetLast());
}

TEST_F(HistoryTest, AddingAnActionTwiceIsRefused) {
  CImage first, second;
  TestAction* a = new TestAction(1, &deleted);
  EXPECT_TRUE(first.GetHistory()->Add(a));
  EXPECT_FALSE(first.GetHistory()->Add(a));
  EXPECT_FALSE(second.GetHistory()->Add(a));
  EXPECT_EQ(first.GetHistory()->GetCount(), 1);
  EXPECT_EQ(second.GetHistory()->GetCount(), 0);
  EXPECT_FALSE(first.GetHistory()->Add(nullptr));
}

TEST_F(HistoryTest, ExecuteAddsOnlyWhatSucceeded) {
  CImage image;
  CHistory* h = image.GetHistory();
  TestAction* good = new TestAction(1, &deleted);
  EXPECT_TRUE(h->Execute(good));
  EXPECT_EQ(good->redos, 1);
  EXPECT_EQ(h->GetCurrent(), good);
  TestAction* bad = new TestAction(2, &deleted);
  bad->redoResult = false;
  EXPECT_FALSE(h->Execute(bad));
  EXPECT_EQ(bad->GetHistory(), nullptr);
  EXPECT_FALSE(bad->IsRegistered());
  EXPECT_EQ(h->GetCount(), 1);
  delete bad;
}

TEST_F(HistoryTest, DeletingADoneActionDeletesTheOlderOnes) {
  CImage image;
  CHistory* h = image.GetHistory();
  TestAction* actions[5];
  for (int i = 0; i < 5; ++i)
    h->Add(actions[i] = new TestAction(i, &deleted));
  h->Undo();  // 4 undone
  delete actions[2];
  EXPECT_EQ(Sorted(deleted), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(h->GetFirst(), actions[3]);
  EXPECT_EQ(actions[3]->GetPrevious(), nullptr);
  EXPECT_EQ(h->GetCurrent(), actions[3]);
  EXPECT_EQ(h->GetRedoNext(), actions[4]);
  EXPECT_EQ(h->GetCount(), 2);
}

TEST_F(HistoryTest, DeletingAnUndoneActionDeletesTheNewerOnes) {
  CImage image;
  CHistory* h = image.GetHistory();
  TestAction* actions[5];
  for (int i = 0; i < 5; ++i)
    h->Add(actions[i] = new TestAction(i, &deleted));
  h->Undo();
  h->Undo();
  h->Undo();  // 2, 3, 4 undone; 1 current
  delete actions[3];
  EXPECT_EQ(Sorted(deleted), (std::vector<int>{3, 4}));
  EXPECT_EQ(h->GetLast(), actions[2]);
  EXPECT_EQ(h->GetRedoNext(), actions[2]);
  delete actions[2];
  EXPECT_EQ(h->GetRedoNext(), nullptr);
  EXPECT_EQ(h->GetLast(), actions[1]);
  EXPECT_EQ(h->GetCurrent(), actions[1]);
  EXPECT_EQ(h->GetCount(), 2);
}

TEST_F(HistoryTest, ClearAndImageDestructionDeleteEverything) {
  {
    CImage image;
    for (int i = 0; i < 3; ++i)
      image.GetHistory()->Add(new TestAction(i, &deleted));
    image.GetHistory()->Clear();
    EXPECT_EQ(deleted.size(), 3u);
    EXPECT_EQ(image.GetHistory()->GetCount(), 0);
    EXPECT_EQ(image.GetHistory()->GetFirst(), nullptr);
    image.GetHistory()->Add(new TestAction(9, &deleted));
  }
  EXPECT_EQ(deleted.size(), 4u);
}

// ---------------------------------------------------------------------------------------------
// Registry

class RegistryTest : public HistoryTest {};

TEST_F(RegistryTest, ListsActionsOfAllImagesInTimeOrder) {
  CImage a, b;
  TestAction* a1 = new TestAction(1, &deleted);
  TestAction* b1 = new TestAction(2, &deleted);
  TestAction* a2 = new TestAction(3, &deleted);
  a.GetHistory()->Add(a1);
  b.GetHistory()->Add(b1);
  a.GetHistory()->Add(a2);
  EXPECT_EQ(g_UndoRegistry.GetNewest(), a2);
  EXPECT_EQ(a2->GetOlderRegistered(), b1);
  EXPECT_EQ(b1->GetOlderRegistered(), a1);
}

TEST_F(RegistryTest, MaxDepthDeletesTheOldestOfAnyImage) {
  UndoLimits three(3, 16, 1);
  CImage a, b;
  ASSERT_EQ(g_UndoRegistry.GetCount(), baseCount);
  if (baseCount != 0)
    GTEST_SKIP() << "other actions are registered";
  a.GetHistory()->Add(new TestAction(1, &deleted));
  b.GetHistory()->Add(new TestAction(2, &deleted));
  b.GetHistory()->Add(new TestAction(3, &deleted));
  EXPECT_TRUE(deleted.empty());
  b.GetHistory()->Add(new TestAction(4, &deleted));
  EXPECT_EQ(deleted, std::vector<int>{1});
  EXPECT_EQ(a.GetHistory()->GetCount(), 0);
  EXPECT_EQ(b.GetHistory()->GetCount(), 3);
  a.GetHistory()->Add(new TestAction(5, &deleted));
  EXPECT_EQ(deleted, (std::vector<int>{1, 2}));
  EXPECT_EQ(g_UndoRegistry.GetCount(), 3);
}

TEST_F(RegistryTest, TrimmingAnUndoneHistoryDeletesAllOfIt) {
  if (baseCount != 0)
    GTEST_SKIP() << "other actions are registered";
  UndoLimits four(4, 16, 1);
  CImage a, b;
  for (int i = 1; i <= 3; ++i)
    a.GetHistory()->Add(new TestAction(i, &deleted));
  a.GetHistory()->Undo();
  a.GetHistory()->Undo();
  a.GetHistory()->Undo();
  b.GetHistory()->Add(new TestAction(10, &deleted));
  EXPECT_TRUE(deleted.empty());
  // The fifth action trims the oldest, which is undone: the newer ones of its image go too.
  b.GetHistory()->Add(new TestAction(11, &deleted));
  EXPECT_EQ(Sorted(deleted), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(a.GetHistory()->GetCount(), 0);
  EXPECT_EQ(a.GetHistory()->GetRedoNext(), nullptr);
  EXPECT_EQ(g_UndoRegistry.GetCount(), 2);
}

TEST_F(RegistryTest, MemoryLimitKeepsTheMinimumDepth) {
  if (baseCount != 0)
    GTEST_SKIP() << "other actions are registered";
  UndoLimits oneMegabyte(100, 1, 2);
  CImage a, b;
  // About 1.4 times this once packed: two fit in 1 MB, three do not.
  const int32_t size = 300 * 1024;
  a.GetHistory()->Add(new TestAction(1, &deleted, size));
  b.GetHistory()->Add(new TestAction(2, &deleted, size));
  EXPECT_TRUE(deleted.empty());
  a.GetHistory()->Add(new TestAction(3, &deleted, size));
  // Over 1 MB with three: the oldest goes.
  EXPECT_EQ(deleted, std::vector<int>{1});
  EXPECT_LE(g_UndoRegistry.GetTotalBytes(), 1 << 20);
  {
    // A minimum depth of three keeps all of them, over the limit or not.
    UndoLimits keepThree(100, 1, 3);
    b.GetHistory()->Add(new TestAction(4, &deleted, size));
    EXPECT_EQ(deleted, std::vector<int>{1});
    EXPECT_EQ(g_UndoRegistry.GetCount(), 3);
    EXPECT_GT(g_UndoRegistry.GetTotalBytes(), 1 << 20);
  }
  // A single action larger than the limit stays when it is the minimum depth.
  b.GetHistory()->Clear();
  a.GetHistory()->Clear();
  UndoLimits keepOne(100, 1, 1);
  a.GetHistory()->Add(new TestAction(5, &deleted, 1200 * 1024));
  EXPECT_EQ(g_UndoRegistry.GetCount(), 1);
  EXPECT_EQ(g_UndoRegistry.GetTotalBytes() > (1 << 20), true);
}

TEST_F(RegistryTest, UnsetLimitsFallBackToDefaults) {
  if (baseCount != 0)
    GTEST_SKIP() << "other actions are registered";
  UndoLimits unset(0, 0, 0);
  CImage image;
  for (int i = 0; i < 5; ++i)
    image.GetHistory()->Add(new TestAction(i, &deleted));
  EXPECT_TRUE(deleted.empty());
  EXPECT_EQ(image.GetHistory()->GetCount(), 5);
}
