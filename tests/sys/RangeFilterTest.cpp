#include "ZRTestSupport.h"
#include <cmath>

using namespace zrtest;

namespace {

Bytes Ascending(size_t n) {
  Bytes data(n);
  for (size_t i = 0; i < n; ++i)
    data[i] = static_cast<uint8_t>(i);
  return data;
}

std::vector<RangeEvent> Literals(const Bytes& data) {
  std::vector<RangeEvent> events;
  for (uint8_t b : data)
    events.push_back(Lit(b));
  events.push_back(EndEvent());
  return events;
}

}  // namespace

TEST(ZRRangeCostTable, MatchesMinusLog2) {
  uint32_t table[4096];
  CZRRangeEncoder::BuildCostTable(table);
  EXPECT_EQ(table[0], 0xFFFFFFFFu);
  EXPECT_EQ(table[2048], 65536u);
  EXPECT_EQ(table[1024], 2u * 65536);
  EXPECT_EQ(table[1], 12u * 65536);
  EXPECT_EQ(table[3072], 65536u - 38336u);  // b = 2048: T[8]
  for (uint32_t p = 1; p < 4096; ++p) {
    double exact = -std::log2(p / 4096.0) * 65536.0;
    EXPECT_NEAR(static_cast<double>(table[p]), exact, 80.0) << p;
    if (p > 1) {
      EXPECT_LE(table[p], table[p - 1]) << p;
    }
  }
}

TEST(ZRRangeEncoder, EmptyInputIsTheEndSymbolAndFlush) {
  Bytes packed = Compress(ZR_FILTER_RANGE, Bytes{});
  EXPECT_EQ(packed, ReferenceRangeEncode({EndEvent()}));
  EXPECT_EQ(packed.size(), 5u);
  uint32_t error = 99;
  EXPECT_TRUE(Decompress(ZR_FILTER_RANGE, packed, &error).empty());
  EXPECT_EQ(error, 0u);
}

TEST(ZRRangeEncoder, LiteralsAreCodedBitExactly) {
  // All bytes distinct: nothing can match, every byte is a literal in its context.
  for (size_t n : {size_t(1), size_t(2), size_t(3), size_t(255), size_t(256)}) {
    Bytes data = Ascending(n);
    std::reverse(data.begin(), data.end());
    Bytes packed = Compress(ZR_FILTER_RANGE, data);
    EXPECT_EQ(packed, ReferenceRangeEncode(Literals(data))) << n;
  }
}

TEST(ZRRangeEncoder, ShortRepeatBecomesAMatch) {
  Bytes data = {'a', 'b', 'c', 'd', 'a', 'b', 'c', 'd', 'a', 'b', 'c', 'd', 'e'};
  Bytes packed = Compress(ZR_FILTER_RANGE, data);
  Bytes decoded;
  auto events = ReferenceRangeTrace(packed, &decoded);
  EXPECT_EQ(decoded, data);
  std::vector<RangeEvent> expected = {Lit('a'), Lit('b'), Lit('c'), Lit('d'), Mat(8, 4), Lit('e'), EndEvent()};
  EXPECT_EQ(events, expected);
  EXPECT_EQ(packed, ReferenceRangeEncode(expected));
}

TEST(ZRRangeEncoder, LongRunUsesFullLengthMatchesAtDistanceOne) {
  Bytes data = RepeatedByte(100000, 0x5A);
  Bytes packed = Compress(ZR_FILTER_RANGE, data, 1000);
  EXPECT_LT(packed.size(), 200u);
  Bytes decoded;
  auto events = ReferenceRangeTrace(packed, &decoded);
  EXPECT_EQ(decoded, data);
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events.front(), Lit(0x5A));
  EXPECT_EQ(events.back(), EndEvent());
  size_t matches = 0;
  size_t lastMatch = 0;
  for (size_t i = 1; i + 1 < events.size(); ++i) {
    if (events[i].kind == RangeEvent::Match) {
      EXPECT_EQ(events[i].distance, 1u) << i;
      ++matches;
      lastMatch = i;
    }
  }
  for (size_t i = 1; i < lastMatch; ++i)
    EXPECT_EQ(events[i], Mat(256, 1)) << i;
  EXPECT_GE(matches, 100000u / 256 - 1);
  uint32_t error = 99;
  EXPECT_EQ(Decompress(ZR_FILTER_RANGE, packed, &error), data);
  EXPECT_EQ(error, 0u);
}

TEST(ZRRangeEncoder, RepeatAtTheFullWindowDistance) {
  Bytes block = RandomBytes(65536, 21);
  Bytes data = Concat(block, block);
  Bytes packed = Compress(ZR_FILTER_RANGE, data, 4093);
  Bytes decoded;
  auto events = ReferenceRangeTrace(packed, &decoded);
  EXPECT_EQ(decoded, data);
  bool farMatch = false;
  for (const RangeEvent& e : events)
    if (e.kind == RangeEvent::Match && e.distance == 65536)
      farMatch = true;
  EXPECT_TRUE(farMatch);
  EXPECT_LT(packed.size(), 65536u + 4000u);
  uint32_t error = 99;
  EXPECT_EQ(Decompress(ZR_FILTER_RANGE, packed, &error), data);
  EXPECT_EQ(error, 0u);
}

TEST(ZRRangeEncoder, MatchesNeverReachBeyondTheWindowWhileFinishing) {
  // The last bytes repeat bytes 65550 back whose ring slots are still unused when the
  // look-ahead drains at the end; no match may reach them.
  Bytes data = RandomBytes(65842, 22);
  std::copy(data.begin() + 50, data.begin() + 250, data.begin() + 65600);
  Bytes packed = Compress(ZR_FILTER_RANGE, data);
  Bytes decoded;
  auto events = ReferenceRangeTrace(packed, &decoded);
  EXPECT_EQ(decoded, data);
  for (const RangeEvent& e : events) {
    if (e.kind == RangeEvent::Match) {
      EXPECT_LE(e.distance, 65536u);
    }
  }
  uint32_t error = 99;
  EXPECT_EQ(Decompress(ZR_FILTER_RANGE, packed, &error), data);
  EXPECT_EQ(error, 0u);
}

TEST(ZRRangeEncoder, NoMatchBeyondTheWindowInLongerData) {
  Bytes block = RandomBytes(70000, 23);
  Bytes data = Concat(block, block);
  Bytes packed = Compress(ZR_FILTER_RANGE, data, 65536);
  Bytes decoded;
  for (const RangeEvent& e : ReferenceRangeTrace(packed, &decoded)) {
    if (e.kind == RangeEvent::Match) {
      EXPECT_LE(e.distance, 65536u);
    }
  }
  EXPECT_EQ(decoded, data);
}

TEST(ZRRangeDecoder, DecodesReferenceStreams) {
  // Overlapping copies, the reset symbol and the longest match.
  std::vector<RangeEvent> events = {Lit('x'), Mat(10, 1), Lit('y'), Lit('z'), Mat(3, 2), ResetEvent(),
                                    Mat(256, 5), Lit(0), ResetEvent(), ResetEvent(), Lit(255), EndEvent()};
  Bytes expected;
  ReferenceRangeTrace(ReferenceRangeEncode(events), &expected);
  Bytes want = {'x'};
  want.insert(want.end(), 10, 'x');
  want.insert(want.end(), {'y', 'z', 'y', 'z', 'y'});
  for (int i = 0; i < 256; ++i)
    want.push_back(want[want.size() - 5]);
  want.push_back(0);
  want.push_back(255);
  ASSERT_EQ(expected, want);
  for (size_t step : {size_t(1), size_t(7), size_t(4096)}) {
    uint32_t error = 99;
    EXPECT_EQ(Decompress(ZR_FILTER_RANGE, ReferenceRangeEncode(events), &error, step), want) << step;
    EXPECT_EQ(error, 0u);
  }
}

TEST(ZRRangeDecoder, MatchAtDistance65536) {
  Bytes block = RandomBytes(65536, 31);
  std::vector<RangeEvent> events = Literals(block);
  events.pop_back();
  events.push_back(Mat(256, 65536));
  events.push_back(EndEvent());
  Bytes want = block;
  want.insert(want.end(), block.begin(), block.begin() + 256);
  uint32_t error = 99;
  EXPECT_EQ(Decompress(ZR_FILTER_RANGE, ReferenceRangeEncode(events), &error), want);
  EXPECT_EQ(error, 0u);
}

TEST(ZRRangeDecoder, MatchBeforeTheFirstByteIsError13) {
  uint32_t error = 0;
  Bytes out = Decompress(ZR_FILTER_RANGE, ReferenceRangeEncode({Lit('a'), Lit('b'), Mat(4, 3), EndEvent()}),
                         &error, 1);
  EXPECT_EQ(out, (Bytes{'a', 'b'}));
  EXPECT_EQ(error, ZR_ERROR_BAD_DATA);
  // Right at the start the first symbol fails, and so does the attach.
  Bytes packed = ReferenceRangeEncode({Mat(3, 1), EndEvent()});
  ZRHandle handle = NewHandle();
  new MemoryReader(handle, packed);
  EXPECT_EQ(zrAttachFilter(handle, ZR_FILTER_RANGE, 0), ZR_ERROR_BAD_DATA);
  EXPECT_TRUE(zrIsAtEnd(handle));
  EXPECT_EQ(zrDetachFilter(handle), ZR_ERROR_BAD_DATA);
  EXPECT_EQ(zrClose(handle), 0u);
}

TEST(ZRRangeDecoder, TruncatedInputIsError11) {
  Bytes data = TextLike(5000, 41);
  Bytes packed = Compress(ZR_FILTER_RANGE, data);
  for (size_t cut = 0; cut < packed.size(); cut += (cut < 16 ? 1 : 37)) {
    Bytes part(packed.begin(), packed.begin() + cut);
    uint32_t error = 0;
    Bytes out = Decompress(ZR_FILTER_RANGE, part, &error, 333);
    EXPECT_EQ(error, ZR_ERROR_READ) << cut;
    ASSERT_LE(out.size(), data.size()) << cut;
    EXPECT_TRUE(std::equal(out.begin(), out.end(), data.begin())) << cut;
  }
}

TEST(ZRRangeDecoder, GarbageNeverCrashesOrRunsAway) {
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    Bytes garbage = RandomBytes(100 + seed * 97, seed);
    uint32_t error = 0;
    Bytes out = Decompress(ZR_FILTER_RANGE, garbage, &error, 4096, 64u << 20);
    // Each input byte can stand for only so many output bytes.
    EXPECT_LT(out.size(), garbage.size() * 30000 + 1024) << seed;
    EXPECT_TRUE(error == 0 || error == ZR_ERROR_READ || error == ZR_ERROR_BAD_DATA) << seed << " " << error;
  }
  for (uint8_t fill : {uint8_t(0), uint8_t(0xFF)}) {
    uint32_t error = 0;
    Bytes out = Decompress(ZR_FILTER_RANGE, Bytes(3000, fill), &error);
    EXPECT_LT(out.size(), 3000u * 30000);
  }
}

TEST(ZRRangeDecoder, StopsExactlyAtItsEnd) {
  Bytes data = TextLike(20000, 42);
  Bytes packed = Compress(ZR_FILTER_RANGE, data);
  Bytes withTail = Concat(packed, Bytes{1, 2, 3});
  uint32_t error = 99;
  size_t consumed = 0;
  EXPECT_EQ(Decompress(ZR_FILTER_RANGE, withTail, &error, 4096, 64u << 20, &consumed), data);
  EXPECT_EQ(error, 0u);
  EXPECT_EQ(consumed, packed.size());
}
