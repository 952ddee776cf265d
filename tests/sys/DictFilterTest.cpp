#include "ZRTestSupport.h"

using namespace zrtest;

namespace {

using Codes = std::vector<std::pair<uint32_t, uint32_t>>;

}  // namespace

TEST(ZRDictEncoder, EmptyInputIsTheEndCodeInTwoBytes) {
  Bytes packed = Compress(ZR_FILTER_DICT, Bytes{});
  EXPECT_EQ(packed, (Bytes{0x80, 0x80}));
  uint32_t error = 99;
  EXPECT_TRUE(Decompress(ZR_FILTER_DICT, packed, &error).empty());
  EXPECT_EQ(error, 0u);
}

TEST(ZRDictEncoder, SmallInputsAreCodedBitExactly) {
  EXPECT_EQ(Compress(ZR_FILTER_DICT, Bytes{'A'}), PackCodes({{'A', 9}, {257, 9}}));
  EXPECT_EQ(Compress(ZR_FILTER_DICT, Bytes{'A', 'B', 'A', 'B'}),
            PackCodes({{'A', 9}, {'B', 9}, {258, 9}, {257, 9}}));
  // "aaaaaa": a, aa (258), aaa (259), then the end.
  EXPECT_EQ(Compress(ZR_FILTER_DICT, Bytes(6, 'a')), PackCodes({{'a', 9}, {258, 9}, {259, 9}, {257, 9}}));
}

TEST(ZRDictEncoder, MatchesTheReferenceCoder) {
  std::vector<Bytes> inputs = {
      RandomBytes(1, 1),          TextLike(1000, 2),        TextLike(300000, 3),
      RandomBytes(300000, 4),     RepeatedByte(100000, 9),  Concat(RandomBytes(50000, 5), TextLike(200000, 6)),
      Concat(RepeatedByte(70000, 0), RandomBytes(70000, 7)),
  };
  for (size_t i = 0; i < inputs.size(); ++i) {
    Bytes packed = Compress(ZR_FILTER_DICT, inputs[i], 1 + i * 997);
    EXPECT_EQ(packed, ReferenceDictEncode(inputs[i])) << i;
    uint32_t error = 99;
    EXPECT_EQ(Decompress(ZR_FILTER_DICT, packed, &error, 1000 + i), inputs[i]) << i;
    EXPECT_EQ(error, 0u) << i;
  }
}

TEST(ZRDictEncoder, WidthStepsAt512And1024And32768) {
  // Random data adds about one string per byte and crosses every width step.
  Bytes data = RandomBytes(40000, 11);
  Bytes packed = Compress(ZR_FILTER_DICT, data);
  EXPECT_EQ(packed, ReferenceDictEncode(data));
  uint32_t error = 99;
  EXPECT_EQ(Decompress(ZR_FILTER_DICT, packed, &error), data);
  EXPECT_EQ(error, 0u);
}

TEST(ZRDictEncoder, FullDictionaryClearsAndRestartsAtWidth9) {
  // With every string added, random data fills the 65277 free codes after about 66 000 bytes.
  Bytes data = RandomBytes(200000, 12);
  Bytes packed = Compress(ZR_FILTER_DICT, data, 65536);
  EXPECT_EQ(packed, ReferenceDictEncode(data));
  uint32_t error = 99;
  EXPECT_EQ(Decompress(ZR_FILTER_DICT, packed, &error, 65536), data);
  EXPECT_EQ(error, 0u);
}

TEST(ZRDictDecoder, EndsAtWidthStepAfterTheLastCode) {
  // Input that ends exactly when the decoder widens: the end code is read at the new width.
  for (size_t n = 250; n < 800; n += 1) {
    Bytes data = RandomBytes(n, 13);
    Bytes packed = Compress(ZR_FILTER_DICT, data);
    ASSERT_EQ(packed, ReferenceDictEncode(data)) << n;
    uint32_t error = 99;
    ASSERT_EQ(Decompress(ZR_FILTER_DICT, packed, &error), data) << n;
    ASSERT_EQ(error, 0u) << n;
  }
}

TEST(ZRDictDecoder, KwKwKAndClearCode) {
  // 'a', then 258 before it exists ("aa"), a clear, then 'b' 'b' and 258 again ("bb").
  Bytes packed = PackCodes({{'a', 9}, {258, 9}, {256, 9}, {'b', 9}, {258, 9}, {257, 9}});
  uint32_t error = 99;
  EXPECT_EQ(Decompress(ZR_FILTER_DICT, packed, &error, 1), (Bytes{'a', 'a', 'a', 'b', 'b', 'b'}));
  EXPECT_EQ(error, 0u);
}

TEST(ZRDictDecoder, CodeAboveTheNextCodeIsError13AfterTheDecodedBytes) {
  Bytes packed = PackCodes({{'x', 9}, {'y', 9}, {261, 9}, {'z', 9}, {257, 9}});
  uint32_t error = 0;
  EXPECT_EQ(Decompress(ZR_FILTER_DICT, packed, &error, 1), (Bytes{'x', 'y'}));
  EXPECT_EQ(error, ZR_ERROR_BAD_DATA);
  error = 0;
  EXPECT_EQ(Decompress(ZR_FILTER_DICT, packed, &error, 100), (Bytes{'x', 'y'}));
  EXPECT_EQ(error, ZR_ERROR_BAD_DATA);
}

TEST(ZRDictDecoder, NextCodeWithoutPreviousIsError13) {
  for (const Codes& codes : {Codes{{258, 9}, {257, 9}}, Codes{{'q', 9}, {256, 9}, {258, 9}, {257, 9}}}) {
    ZRHandle handle = NewHandle();
    new MemoryReader(handle, PackCodes(codes));
    uint32_t attach = zrAttachFilter(handle, ZR_FILTER_DICT, 0);
    Bytes out(10);
    uint32_t done = 0;
    uint32_t read = zrRead(handle, out.data(), 10, &done);
    if (codes.size() == 2) {
      EXPECT_EQ(attach, ZR_ERROR_BAD_DATA);
      EXPECT_EQ(done, 0u);
    } else {
      EXPECT_EQ(attach, 0u);
      EXPECT_EQ(done, 1u);
      EXPECT_EQ(out[0], 'q');
    }
    EXPECT_EQ(read, ZR_ERROR_BAD_DATA);
    EXPECT_TRUE(zrIsAtEnd(handle));
    EXPECT_EQ(zrClose(handle), 0u);
  }
}

TEST(ZRDictDecoder, NextCodeOfAFullDictionaryIsError13) {
  // 65278 codes fill the dictionary (the first adds nothing); 0xFFFF may then not follow.
  Codes codes;
  uint32_t next = 258, width = 9;
  for (int i = 0; i < 65278; ++i) {
    codes.push_back({static_cast<uint32_t>(i & 0xFF), width});
    if (i > 0) {
      ++next;
      if (next < 0xFFFF && next == (1u << width))
        ++width;
    }
  }
  ASSERT_EQ(next, 0xFFFFu);
  ASSERT_EQ(width, 16u);
  Codes bad = codes;
  bad.push_back({0xFFFF, 16});
  bad.push_back({257, 16});
  uint32_t error = 0;
  Bytes out = Decompress(ZR_FILTER_DICT, PackCodes(bad), &error);
  EXPECT_EQ(out.size(), 65278u);
  EXPECT_EQ(error, ZR_ERROR_BAD_DATA);
  // The clear code at width 16 is what a full dictionary calls for.
  Codes good = codes;
  good.push_back({256, 16});
  good.push_back({'k', 9});
  good.push_back({257, 9});
  error = 99;
  out = Decompress(ZR_FILTER_DICT, PackCodes(good), &error);
  EXPECT_EQ(error, 0u);
  ASSERT_EQ(out.size(), 65279u);
  EXPECT_EQ(out.back(), 'k');
}

TEST(ZRDictDecoder, TruncatedInputIsError11) {
  Bytes data = TextLike(8000, 14);
  Bytes packed = Compress(ZR_FILTER_DICT, data);
  for (size_t cut = 0; cut < packed.size(); cut += (cut < 16 ? 1 : 29)) {
    uint32_t error = 0;
    Bytes out = Decompress(ZR_FILTER_DICT, Bytes(packed.begin(), packed.begin() + cut), &error, 500);
    EXPECT_EQ(error, ZR_ERROR_READ) << cut;
    ASSERT_LE(out.size(), data.size());
    EXPECT_TRUE(std::equal(out.begin(), out.end(), data.begin())) << cut;
  }
}

TEST(ZRDictDecoder, GarbageNeverCrashesOrRunsAway) {
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    Bytes garbage = RandomBytes(50 + seed * 211, seed + 100);
    uint32_t error = 0;
    Bytes out = Decompress(ZR_FILTER_DICT, garbage, &error);
    EXPECT_TRUE(error == ZR_ERROR_READ || error == ZR_ERROR_BAD_DATA || error == 0) << seed;
    // A code of at least 9 bits spells at most 65536 bytes.
    EXPECT_LE(out.size(), garbage.size() * 8 / 9 * 65536) << seed;
  }
}

TEST(ZRDictDecoder, StopsExactlyAtItsEnd) {
  Bytes data = TextLike(30000, 15);
  Bytes packed = Compress(ZR_FILTER_DICT, data);
  uint32_t error = 99;
  size_t consumed = 0;
  EXPECT_EQ(Decompress(ZR_FILTER_DICT, Concat(packed, Bytes{9, 9, 9}), &error, 4096, 64u << 20, &consumed), data);
  EXPECT_EQ(error, 0u);
  EXPECT_EQ(consumed, packed.size());
}
