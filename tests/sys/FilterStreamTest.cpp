#include "ZRTestSupport.h"
#include <windows.h>

using namespace zrtest;

namespace {

struct Case {
  const char* name;
  Bytes data;
};

std::vector<Case> Cases() {
  Bytes mixed = Concat(TextLike(40000, 1), RandomBytes(30000, 2));
  mixed = Concat(mixed, RepeatedByte(5000, 0xEE));
  mixed = Concat(mixed, TextLike(40000, 1));
  Bytes periodic;
  for (int i = 0; i < 150000; ++i)
    periodic.push_back(static_cast<uint8_t>((i % 7) * 31 + (i % 13)));
  return {
      {"empty", Bytes{}},
      {"one byte", Bytes{0x42}},
      {"two bytes", Bytes{0, 0}},
      {"three equal", Bytes{7, 7, 7}},
      {"random 300", RandomBytes(300, 3)},
      {"random 200000", RandomBytes(200000, 4)},
      {"run 100000", RepeatedByte(100000, 0)},
      {"text 70000", TextLike(70000, 5)},
      {"mixed", mixed},
      {"periodic", periodic},
      {"random over dictionary", RandomBytes(150000, 6)},
  };
}

void WriteAll(ZRHandle handle, const Bytes& data, size_t step) {
  for (size_t at = 0; at < data.size(); at += step) {
    uint32_t n = static_cast<uint32_t>(std::min(step, data.size() - at));
    uint32_t done = 0;
    ASSERT_EQ(zrWrite(handle, data.data() + at, n, &done), 0u);
    ASSERT_EQ(done, n);
  }
}

Bytes ReadExactly(ZRHandle handle, size_t n, size_t step) {
  Bytes out;
  Bytes buffer(step);
  while (out.size() < n) {
    uint32_t want = static_cast<uint32_t>(std::min(step, n - out.size()));
    uint32_t done = 0;
    EXPECT_EQ(zrRead(handle, buffer.data(), want, &done), 0u);
    out.insert(out.end(), buffer.begin(), buffer.begin() + done);
    if (done < want)
      break;
  }
  return out;
}

}  // namespace

class ZRFilterOnFile : public testing::TestWithParam<uint32_t> {};

// As the project file uses them: plain bytes, a compressed section, plain bytes again.
TEST_P(ZRFilterOnFile, SectionRoundTripsBetweenPlainBytes) {
  uint32_t type = GetParam();
  const Bytes header = {'H', 'D', 'R', 0};
  const Bytes trailer = {'E', 'N', 'D', 1, 2};
  size_t steps[] = {1, 1000, 65536, 1 << 20};
  size_t stepIndex = 0;
  for (const Case& c : Cases()) {
    if (c.data.size() > 100000 && stepIndex % 4 == 0)
      ++stepIndex;  // byte-wise writes of the big inputs only cost time
    size_t step = steps[stepIndex++ % 4];
    SCOPED_TRACE(c.name);
    TempPath path;
    ZRHandle writer = zrOpenFileForWrite(nullptr, path.c_str(), FILE_ATTRIBUTE_NORMAL, 0);
    ASSERT_NE(writer, nullptr);
    WriteAll(writer, header, 4);
    ASSERT_EQ(zrAttachFilter(writer, type, 0), 0u);
    EXPECT_EQ(writer->top->GetKind(), type == ZR_FILTER_RANGE ? ZR_KIND_RANGE_ENCODER : ZR_KIND_DICT_ENCODER);
    WriteAll(writer, c.data, step);
    EXPECT_EQ(zrDetachFilter(writer), 0u);
    EXPECT_EQ(writer->top->GetKind(), ZR_KIND_FILE_WRITER);
    uint64_t compressedEnd = zrGetPosition(writer);
    if (c.data.size() >= 100000 && std::string(c.name).rfind("random", 0) != 0) {
      EXPECT_LT(compressedEnd - 4, c.data.size() * 2 / 3);
    }
    WriteAll(writer, trailer, 5);
    EXPECT_EQ(zrClose(writer), 0u);

    ZRHandle reader = zrOpenFileForRead(nullptr, path.c_str(), 0);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(ReadExactly(reader, 4, 4), header);
    ASSERT_EQ(zrAttachFilter(reader, type, 0), 0u);
    EXPECT_EQ(reader->top->GetKind(), type == ZR_FILTER_RANGE ? ZR_KIND_RANGE_DECODER : ZR_KIND_DICT_DECODER);
    EXPECT_EQ(ReadExactly(reader, c.data.size(), step == 1 ? 3 : step), c.data);
    EXPECT_TRUE(zrIsAtEnd(reader));
    uint8_t extra;
    uint32_t done = 7;
    EXPECT_EQ(zrRead(reader, &extra, 1, &done), 0u);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(zrDetachFilter(reader), 0u);
    EXPECT_EQ(zrGetPosition(reader), compressedEnd);
    EXPECT_EQ(ReadExactly(reader, 5, 5), trailer);
    EXPECT_EQ(zrClose(reader), 0u);
  }
}

TEST_P(ZRFilterOnFile, CloseWithTheFilterAttachedFinishesTheData) {
  uint32_t type = GetParam();
  Bytes data = TextLike(90000, 8);
  TempPath path;
  ZRHandle writer = zrOpenFileForWrite(nullptr, path.c_str(), FILE_ATTRIBUTE_NORMAL, 0);
  ASSERT_NE(writer, nullptr);
  ASSERT_EQ(zrAttachFilter(writer, type, 0), 0u);
  WriteAll(writer, data, 4000);
  EXPECT_EQ(zrClose(writer), 0u);
  uint32_t error = 99;
  EXPECT_EQ(Decompress(type, ReadWholeFile(path.c_str()), &error), data);
  EXPECT_EQ(error, 0u);

  // Closing a read handle with its decoder attached half-way is just as clean.
  ZRHandle reader = zrOpenFileForRead(nullptr, path.c_str(), 0);
  ASSERT_NE(reader, nullptr);
  ASSERT_EQ(zrAttachFilter(reader, type, 0), 0u);
  EXPECT_EQ(ReadExactly(reader, 100, 100), Bytes(data.begin(), data.begin() + 100));
  EXPECT_EQ(zrClose(reader), 0u);

  ZRHandle input = NewHandle();
  new MemoryReader(input, Compress(type, data));
  ASSERT_EQ(zrAttachFilter(input, type, 0), 0u);
  // A second decoder reading the first one's output as its input; whatever it makes of it,
  // the close takes down all three streams.
  zrAttachFilter(input, type == ZR_FILTER_RANGE ? ZR_FILTER_DICT : ZR_FILTER_RANGE, 0);
  EXPECT_EQ(zrClose(input), 0u);
  EXPECT_EQ(MemoryReader::live, 0);
}

TEST_P(ZRFilterOnFile, DetachingADecoderEarlyLeavesTheRestUnread) {
  uint32_t type = GetParam();
  Bytes data = RandomBytes(50000, 9);
  TempPath path;
  WriteWholeFile(path.c_str(), Compress(type, data));
  ZRHandle reader = zrOpenFileForRead(nullptr, path.c_str(), 0);
  ASSERT_NE(reader, nullptr);
  ASSERT_EQ(zrAttachFilter(reader, type, 0), 0u);
  EXPECT_EQ(ReadExactly(reader, 10, 10), Bytes(data.begin(), data.begin() + 10));
  EXPECT_FALSE(zrIsAtEnd(reader));
  EXPECT_EQ(zrDetachFilter(reader), 0u);
  uint64_t at = zrGetPosition(reader);
  EXPECT_GT(at, 0u);
  EXPECT_LT(at, 100u);
  EXPECT_EQ(zrClose(reader), 0u);
}

TEST_P(ZRFilterOnFile, FiltersStack) {
  uint32_t type = GetParam();
  uint32_t other = type == ZR_FILTER_RANGE ? ZR_FILTER_DICT : ZR_FILTER_RANGE;
  Bytes data = TextLike(30000, 10);
  TempPath path;
  ZRHandle writer = zrOpenFileForWrite(nullptr, path.c_str(), FILE_ATTRIBUTE_NORMAL, 0);
  ASSERT_NE(writer, nullptr);
  ASSERT_EQ(zrAttachFilter(writer, type, 0), 0u);
  ASSERT_EQ(zrAttachFilter(writer, other, 0), 0u);
  WriteAll(writer, data, 999);
  EXPECT_EQ(zrClose(writer), 0u);
  ZRHandle reader = zrOpenFileForRead(nullptr, path.c_str(), 0);
  ASSERT_NE(reader, nullptr);
  ASSERT_EQ(zrAttachFilter(reader, type, 0), 0u);
  ASSERT_EQ(zrAttachFilter(reader, other, 0), 0u);
  EXPECT_EQ(ReadExactly(reader, data.size(), 1234), data);
  EXPECT_EQ(zrDetachFilter(reader), 0u);
  EXPECT_EQ(zrDetachFilter(reader), 0u);
  EXPECT_EQ(zrClose(reader), 0u);
}

TEST_P(ZRFilterOnFile, PositionalOperationsFailWith9) {
  uint32_t type = GetParam();
  Bytes out;
  ZRHandle handle = NewHandle();
  new MemoryWriter(handle, &out);
  ASSERT_EQ(zrAttachFilter(handle, type, 0), 0u);
  EXPECT_EQ(zrGetSize(handle), 0u);
  EXPECT_EQ(zrGetLastError(), ZR_ERROR_UNSUPPORTED);
  EXPECT_EQ(zrGetPosition(handle), 0u);
  EXPECT_EQ(zrGetLastError(), ZR_ERROR_UNSUPPORTED);
  EXPECT_EQ(zrSeek(handle, 0), ZR_ERROR_UNSUPPORTED);
  handle->top->Rewind();
  EXPECT_EQ(handle->top->GetError(), ZR_ERROR_UNSUPPORTED);
  uint8_t b;
  uint32_t done = 3;
  EXPECT_EQ(zrRead(handle, &b, 1, &done), ZR_ERROR_UNSUPPORTED);
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(zrClose(handle), ZR_ERROR_UNSUPPORTED);  // the stored failure is not hidden

  ZRHandle input = NewHandle();
  new MemoryReader(input, Compress(type, Bytes{1, 2, 3}));
  ASSERT_EQ(zrAttachFilter(input, type, 0), 0u);
  EXPECT_EQ(zrGetSize(input), 0u);
  EXPECT_EQ(zrGetLastError(), ZR_ERROR_UNSUPPORTED);
  EXPECT_EQ(zrWrite(input, &b, 1, &done), ZR_ERROR_UNSUPPORTED);
  EXPECT_EQ(zrClose(input), 0u);
}

TEST_P(ZRFilterOnFile, EncoderWhoseOutputFailsStopsWith12) {
  uint32_t type = GetParam();
  Bytes data = RandomBytes(100000, 11);
  for (size_t limit : {size_t(0), size_t(3), size_t(256), size_t(1000), size_t(50000)}) {
    SCOPED_TRACE(limit);
    Bytes out;
    ZRHandle handle = NewHandle();
    new MemoryWriter(handle, &out, limit);
    ASSERT_EQ(zrAttachFilter(handle, type, 0), 0u);
    uint32_t done = 0;
    uint32_t result = zrWrite(handle, data.data(), static_cast<uint32_t>(data.size()), &done);
    EXPECT_EQ(result, ZR_ERROR_WRITE);
    EXPECT_LT(done, data.size());
    EXPECT_TRUE(zrIsAtEnd(handle));
    // Later writes take nothing; the detach reports the failure.
    EXPECT_EQ(zrWrite(handle, data.data(), 10, &done), ZR_ERROR_WRITE);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(zrDetachFilter(handle), ZR_ERROR_WRITE);
    EXPECT_LE(out.size(), limit);
    zrClose(handle);
    EXPECT_EQ(MemoryWriter::live, 0);
  }
}

TEST_P(ZRFilterOnFile, EncoderFailingInItsFlushReports12) {
  uint32_t type = GetParam();
  Bytes out;
  ZRHandle handle = NewHandle();
  new MemoryWriter(handle, &out, 1);
  ASSERT_EQ(zrAttachFilter(handle, type, 0), 0u);
  uint32_t done = 0;
  EXPECT_EQ(zrWrite(handle, "ab", 2, &done), 0u);  // nothing leaves the encoder yet
  EXPECT_EQ(done, 2u);
  EXPECT_EQ(zrDetachFilter(handle), ZR_ERROR_WRITE);
  zrClose(handle);
}

TEST_P(ZRFilterOnFile, InnerStreamAlreadyFailed) {
  uint32_t type = GetParam();
  Bytes out;
  ZRHandle handle = NewHandle();
  MemoryWriter* writer = new MemoryWriter(handle, &out);
  ASSERT_EQ(zrAttachFilter(handle, type, 0), 0u);
  writer->Fail(ZR_ERROR_SEEK);
  uint32_t done = 5;
  EXPECT_EQ(zrWrite(handle, "abc", 3, &done), ZR_ERROR_WRITE);
  EXPECT_EQ(done, 0u);
  zrClose(handle);

  ZRHandle input = NewHandle();
  MemoryReader* reader = new MemoryReader(input, Compress(type, TextLike(1000, 1)));
  ASSERT_EQ(zrAttachFilter(input, type, 0), 0u);
  reader->Fail(ZR_ERROR_SEEK);
  uint8_t b[10];
  EXPECT_EQ(zrRead(input, b, 10, &done), ZR_ERROR_READ);
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(zrDetachFilter(input), ZR_ERROR_READ);
  EXPECT_EQ(zrClose(input), 0u);
}

TEST_P(ZRFilterOnFile, InputFailingMidwayStopsWith11) {
  uint32_t type = GetParam();
  Bytes data = TextLike(50000, 12);
  Bytes packed = Compress(type, data);
  ZRHandle input = NewHandle();
  new MemoryReader(input, packed, packed.size() / 2);
  ASSERT_EQ(zrAttachFilter(input, type, 0), 0u);
  Bytes out(data.size());
  uint32_t done = 0;
  EXPECT_EQ(zrRead(input, out.data(), static_cast<uint32_t>(out.size()), &done), ZR_ERROR_READ);
  EXPECT_GT(done, 0u);
  EXPECT_LT(done, data.size());
  EXPECT_TRUE(std::equal(out.begin(), out.begin() + done, data.begin()));
  EXPECT_TRUE(zrIsAtEnd(input));
  EXPECT_EQ(zrClose(input), 0u);
}

TEST_P(ZRFilterOnFile, EmptyInputFailsTheAttachWith11) {
  uint32_t type = GetParam();
  ZRHandle input = NewHandle();
  new MemoryReader(input, Bytes{});
  EXPECT_EQ(zrAttachFilter(input, type, 0), ZR_ERROR_READ);
  EXPECT_TRUE(zrIsAtEnd(input));
  uint8_t b;
  uint32_t done = 4;
  EXPECT_EQ(zrRead(input, &b, 1, &done), ZR_ERROR_READ);
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(zrClose(input), 0u);
}

TEST_P(ZRFilterOnFile, WriteAfterFinishTakesNothing) {
  uint32_t type = GetParam();
  Bytes out;
  ZRHandle handle = NewHandle();
  new MemoryWriter(handle, &out);
  ASSERT_EQ(zrAttachFilter(handle, type, 0), 0u);
  uint32_t done = 0;
  EXPECT_EQ(zrWrite(handle, "abc", 3, &done), 0u);
  handle->top->Flush();
  size_t finished = out.size();
  handle->top->Flush();  // finishes once only
  EXPECT_EQ(out.size(), finished);
  EXPECT_EQ(zrWrite(handle, "abc", 3, &done), 0u);
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(zrDetachFilter(handle), 0u);
  EXPECT_EQ(out.size(), finished);
  EXPECT_EQ(zrClose(handle), 0u);
  uint32_t error = 99;
  EXPECT_EQ(Decompress(type, out, &error), (Bytes{'a', 'b', 'c'}));
}

INSTANTIATE_TEST_SUITE_P(Types, ZRFilterOnFile, testing::Values(ZR_FILTER_RANGE, ZR_FILTER_DICT),
                         [](const testing::TestParamInfo<uint32_t>& info) {
                           return info.param == ZR_FILTER_RANGE ? std::string("Range") : std::string("Dict");
                         });
