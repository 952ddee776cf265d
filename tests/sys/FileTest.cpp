#include "ZRTestSupport.h"
#include <windows.h>

using namespace zrtest;

namespace {

// Writes data through zrWrite in pieces of the step.
void WriteInSteps(ZRHandle handle, const Bytes& data, size_t step) {
  for (size_t at = 0; at < data.size(); at += step) {
    uint32_t n = static_cast<uint32_t>(std::min(step, data.size() - at));
    uint32_t done = 0;
    ASSERT_EQ(zrWrite(handle, data.data() + at, n, &done), 0u);
    ASSERT_EQ(done, n);
  }
}

Bytes ReadInSteps(ZRHandle handle, size_t step, size_t total) {
  Bytes out;
  Bytes buffer(step);
  while (out.size() < total) {
    uint32_t done = 0;
    EXPECT_EQ(zrRead(handle, buffer.data(), static_cast<uint32_t>(step), &done), 0u);
    out.insert(out.end(), buffer.begin(), buffer.begin() + done);
    if (done < step)
      break;
  }
  return out;
}

// An operating-system handle value that names nothing.
HANDLE BogusHandle() { return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x7FFF1234)); }

}  // namespace

TEST(ZRFileOpen, MissingFileForReadIsError5) {
  TempPath path;
  DeleteFileA(path.c_str());
  EXPECT_EQ(zrOpenFileForRead(nullptr, path.c_str(), 0), nullptr);
  EXPECT_EQ(zrGetLastError(), ZR_ERROR_NOT_FOUND);
}

TEST(ZRFileOpen, FileLockedByWriterIsError6) {
  TempPath path;
  ZRHandle writer = zrOpenFileForWrite(nullptr, path.c_str(), FILE_ATTRIBUTE_NORMAL, 0);
  ASSERT_NE(writer, nullptr);
  EXPECT_EQ(zrOpenFileForRead(nullptr, path.c_str(), 0), nullptr);
  EXPECT_EQ(zrGetLastError(), ZR_ERROR_OPEN);
  EXPECT_EQ(zrClose(writer), 0u);
}

TEST(ZRFileOpen, CreateInMissingFolderIsError6) {
  TempPath path;
  std::string bad = path.path + "_missing\\file.bin";
  EXPECT_EQ(zrOpenFileForWrite(nullptr, bad.c_str(), FILE_ATTRIBUTE_NORMAL, 0), nullptr);
  EXPECT_EQ(zrGetLastError(), ZR_ERROR_OPEN);
  EXPECT_EQ(zrOpenFileForRead(nullptr, bad.c_str(), 0), nullptr);
  EXPECT_NE(zrGetLastError(), 0u);
}

TEST(ZRFileOpen, NullPathIsError6) {
  EXPECT_EQ(zrOpenFileForRead(nullptr, nullptr, 0), nullptr);
  EXPECT_EQ(zrGetLastError(), ZR_ERROR_OPEN);
  EXPECT_EQ(zrOpenFileForWrite(nullptr, nullptr, 0, 0), nullptr);
  EXPECT_EQ(zrGetLastError(), ZR_ERROR_OPEN);
}

TEST(ZRFileOpen, OpenerReceivesTheCall) {
  struct Opener : CZROpener {
    std::string readPath, writePath;
    uint32_t readMode = 0, writeAttributes = 0, writeMode = 0;
    ZRHandle OpenRead(const char* path, uint32_t mode) override {
      readPath = path;
      readMode = mode;
      return nullptr;
    }
    ZRHandle OpenWrite(const char* path, uint32_t attributes, uint32_t mode) override {
      writePath = path;
      writeAttributes = attributes;
      writeMode = mode;
      return reinterpret_cast<ZRHandle>(this);
    }
  } opener;
  EXPECT_EQ(zrOpenFileForRead(&opener, "a.bin", 3), nullptr);
  EXPECT_EQ(zrOpenFileForWrite(&opener, "b.bin", 0x80, 4), reinterpret_cast<ZRHandle>(&opener));
  EXPECT_EQ(opener.readPath, "a.bin");
  EXPECT_EQ(opener.readMode, 3u);
  EXPECT_EQ(opener.writePath, "b.bin");
  EXPECT_EQ(opener.writeAttributes, 0x80u);
  EXPECT_EQ(opener.writeMode, 4u);
}

TEST(ZRFileOpen, StreamsHaveTheirKinds) {
  TempPath path;
  ZRHandle writer = zrOpenFileForWrite(nullptr, path.c_str(), FILE_ATTRIBUTE_NORMAL, 0);
  ASSERT_NE(writer, nullptr);
  EXPECT_EQ(writer->top->GetKind(), ZR_KIND_FILE_WRITER);
  EXPECT_EQ(writer->top->GetInner(), nullptr);
  EXPECT_EQ(writer->top->GetHandle(), writer);
  EXPECT_EQ(zrClose(writer), 0u);
  ZRHandle reader = zrOpenFileForRead(nullptr, path.c_str(), 0);
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(reader->top->GetKind(), ZR_KIND_FILE_READER);
  EXPECT_EQ(zrClose(reader), 0u);
}

class ZRFileRoundTrip : public testing::TestWithParam<std::tuple<size_t, size_t, size_t>> {};

TEST_P(ZRFileRoundTrip, WrittenBytesReadBack) {
  auto [size, writeStep, readStep] = GetParam();
  Bytes data = RandomBytes(size, static_cast<uint32_t>(size + writeStep));
  TempPath path;
  ZRHandle writer = zrOpenFileForWrite(nullptr, path.c_str(), FILE_ATTRIBUTE_NORMAL, 0);
  ASSERT_NE(writer, nullptr);
  WriteInSteps(writer, data, writeStep);
  EXPECT_EQ(zrGetPosition(writer), size);
  EXPECT_EQ(zrGetSize(writer), size);
  EXPECT_EQ(zrClose(writer), 0u);
  EXPECT_EQ(ReadWholeFile(path.c_str()), data);

  ZRHandle reader = zrOpenFileForRead(nullptr, path.c_str(), 0);
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(zrGetSize(reader), size);
  EXPECT_EQ(zrIsAtEnd(reader), size == 0);
  EXPECT_EQ(ReadInSteps(reader, readStep, size + 1), data);
  EXPECT_TRUE(zrIsAtEnd(reader));
  EXPECT_EQ(zrGetPosition(reader), size);
  EXPECT_EQ(zrClose(reader), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ZRFileRoundTrip,
    testing::Values(std::make_tuple(0, 1, 1), std::make_tuple(1, 1, 1), std::make_tuple(1000, 7, 13),
                    std::make_tuple(65535, 65535, 65536), std::make_tuple(65536, 65536, 65536),
                    std::make_tuple(65537, 1, 4096), std::make_tuple(65537, 65537, 1),
                    std::make_tuple(200000, 100000, 65535), std::make_tuple(200000, 65536, 131072),
                    std::make_tuple(300001, 3001, 70000), std::make_tuple(300001, 300001, 300001)));

TEST(ZRFileReader, ReadOfZeroAndShortReads) {
  TempPath path;
  WriteWholeFile(path.c_str(), Bytes{1, 2, 3});
  ZRHandle reader = zrOpenFileForRead(nullptr, path.c_str(), 0);
  ASSERT_NE(reader, nullptr);
  uint32_t done = 77;
  EXPECT_EQ(zrRead(reader, nullptr, 0, &done), 0u);
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(zrGetPosition(reader), 0u);
  // A short count at the end is no error.
  uint8_t b[10];
  EXPECT_EQ(zrRead(reader, b, 10, &done), 0u);
  EXPECT_EQ(done, 3u);
  EXPECT_EQ(b[2], 3);
  EXPECT_EQ(zrRead(reader, b, 10, &done), 0u);
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(zrClose(reader), 0u);
}

TEST(ZRFileReader, SeekInsideAndOutsideTheWindow) {
  Bytes data = RandomBytes(200000, 5);
  TempPath path;
  WriteWholeFile(path.c_str(), data);
  ZRHandle reader = zrOpenFileForRead(nullptr, path.c_str(), 0);
  ASSERT_NE(reader, nullptr);
  uint8_t b[16];
  uint32_t done = 0;
  zrRead(reader, b, 10, &done);  // fills the buffer with the first 64 KB
  for (uint64_t target : {uint64_t(5), uint64_t(65535), uint64_t(0), uint64_t(150000), uint64_t(70000),
                          uint64_t(149999), uint64_t(199990), uint64_t(3)}) {
    EXPECT_EQ(zrSeek(reader, target), 0u);
    EXPECT_EQ(zrGetPosition(reader), target);
    EXPECT_EQ(zrRead(reader, b, 10, &done), 0u);
    ASSERT_EQ(done, 10u);
    EXPECT_EQ(0, std::memcmp(b, data.data() + target, 10)) << target;
    EXPECT_EQ(zrGetPosition(reader), target + 10);
  }
  EXPECT_EQ(zrClose(reader), 0u);
}

TEST(ZRFileReader, SeekPastTheEndLandsAtTheEnd) {
  TempPath path;
  WriteWholeFile(path.c_str(), RandomBytes(1000, 1));
  ZRHandle reader = zrOpenFileForRead(nullptr, path.c_str(), 0);
  ASSERT_NE(reader, nullptr);
  EXPECT_FALSE(zrIsAtEnd(reader));
  EXPECT_EQ(zrSeek(reader, 5000), 0u);
  EXPECT_EQ(zrGetPosition(reader), 1000u);
  EXPECT_TRUE(zrIsAtEnd(reader));
  uint8_t b[4];
  uint32_t done = 9;
  EXPECT_EQ(zrRead(reader, b, 4, &done), 0u);
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(zrClose(reader), 0u);
}

TEST(ZRFileReader, RewindGoesBackToTheStart) {
  Bytes data = RandomBytes(100000, 2);
  TempPath path;
  WriteWholeFile(path.c_str(), data);
  ZRHandle reader = zrOpenFileForRead(nullptr, path.c_str(), 0);
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(ReadInSteps(reader, 30000, 100000), data);
  reader->top->Rewind();
  EXPECT_EQ(reader->top->GetError(), 0u);
  EXPECT_EQ(zrGetPosition(reader), 0u);
  EXPECT_EQ(ReadInSteps(reader, 99999, 100000), data);
  EXPECT_EQ(zrClose(reader), 0u);
}

TEST(ZRFileReader, ReadByteAtTheEndFailsWith11) {
  TempPath path;
  WriteWholeFile(path.c_str(), Bytes{0x41});
  ZRHandle reader = zrOpenFileForRead(nullptr, path.c_str(), 0);
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(reader->top->ReadByte(), 0x41u);
  uint32_t value = reader->top->ReadByte();
  EXPECT_EQ(value & 0xFF, 0xFFu);
  EXPECT_EQ(reader->top->GetError(), ZR_ERROR_READ);
  // A failed stream keeps its code, and zrRead reports it.
  uint8_t b;
  uint32_t done = 0;
  EXPECT_EQ(zrRead(reader, &b, 1, &done), ZR_ERROR_READ);
  EXPECT_EQ(zrClose(reader), 0u);
}

TEST(ZRFileReader, UnsupportedOperationsFailWith9) {
  TempPath path;
  WriteWholeFile(path.c_str(), Bytes{1, 2});
  ZRHandle reader = zrOpenFileForRead(nullptr, path.c_str(), 0);
  ASSERT_NE(reader, nullptr);
  uint32_t done = 5;
  EXPECT_EQ(zrWrite(reader, "ab", 2, &done), ZR_ERROR_UNSUPPORTED);
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(zrGetLastError(), ZR_ERROR_UNSUPPORTED);
  EXPECT_EQ(zrDetachFilter(reader), ZR_ERROR_UNSUPPORTED);
  EXPECT_EQ(zrClose(reader), 0u);
}

TEST(ZRFileReader, FailingReadFileIsError11) {
  TempPath path;
  WriteWholeFile(path.c_str(), Bytes{1, 2, 3});
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ZRHandle handle = NewHandle();
  new CZRFileReader(handle, file, true, static_cast<uint8_t*>(zrAllocateMemory(4096)), 4096);
  uint8_t b[3];
  uint32_t done = 9;
  EXPECT_EQ(zrRead(handle, b, 3, &done), ZR_ERROR_READ);
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(zrGetLastError(), ZR_ERROR_READ);
  EXPECT_EQ(zrClose(handle), 0u);
}

TEST(ZRFileReader, FailingSeekIsError10) {
  ZRHandle handle = NewHandle();
  new CZRFileReader(handle, BogusHandle(), false, static_cast<uint8_t*>(zrAllocateMemory(4096)), 4096);
  EXPECT_EQ(zrSeek(handle, 0), ZR_ERROR_SEEK);
  EXPECT_EQ(zrGetLastError(), ZR_ERROR_SEEK);
  EXPECT_EQ(zrClose(handle), 0u);
}

TEST(ZRFileReader, FailingCloseHandleIsError1) {
  ZRHandle handle = NewHandle();
  new CZRFileReader(handle, BogusHandle(), true, static_cast<uint8_t*>(zrAllocateMemory(4096)), 4096);
  EXPECT_EQ(zrClose(handle), ZR_ERROR_CLOSE);
  EXPECT_EQ(zrGetLastError(), ZR_ERROR_CLOSE);
}

TEST(ZRFileReader, BorrowedHandleStaysOpen) {
  TempPath path;
  WriteWholeFile(path.c_str(), Bytes{7, 8, 9});
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ZRHandle handle = NewHandle();
  new CZRFileReader(handle, file, false, static_cast<uint8_t*>(zrAllocateMemory(4096)), 4096);
  uint8_t b[3];
  uint32_t done = 0;
  EXPECT_EQ(zrRead(handle, b, 3, &done), 0u);
  EXPECT_EQ(zrClose(handle), 0u);
  EXPECT_NE(CloseHandle(file), FALSE);
}

TEST(ZRFileWriter, SeekBackInsideTheWindowAndWriteOnPastTheEnd) {
  TempPath path;
  ZRHandle writer = zrOpenFileForWrite(nullptr, path.c_str(), FILE_ATTRIBUTE_NORMAL, 0);
  ASSERT_NE(writer, nullptr);
  Bytes data = RandomBytes(100, 3);
  WriteInSteps(writer, data, 100);
  EXPECT_EQ(zrSeek(writer, 90), 0u);
  EXPECT_EQ(zrGetPosition(writer), 90u);
  Bytes tail = RandomBytes(20, 4);
  WriteInSteps(writer, tail, 3);
  EXPECT_EQ(zrGetPosition(writer), 110u);
  EXPECT_EQ(zrGetSize(writer), 110u);
  EXPECT_EQ(zrClose(writer), 0u);
  Bytes expected(data.begin(), data.begin() + 90);
  expected.insert(expected.end(), tail.begin(), tail.end());
  EXPECT_EQ(ReadWholeFile(path.c_str()), expected);
}

TEST(ZRFileWriter, SeekBackAndCloseKeepsTheHighestPosition) {
  TempPath path;
  ZRHandle writer = zrOpenFileForWrite(nullptr, path.c_str(), FILE_ATTRIBUTE_NORMAL, 0);
  ASSERT_NE(writer, nullptr);
  Bytes data = RandomBytes(500, 6);
  WriteInSteps(writer, data, 500);
  EXPECT_EQ(zrSeek(writer, 10), 0u);
  WriteInSteps(writer, Bytes{1, 2, 3, 4}, 1);
  EXPECT_EQ(zrGetSize(writer), 500u);
  EXPECT_EQ(zrClose(writer), 0u);
  Bytes expected = data;
  std::memcpy(expected.data() + 10, "\x01\x02\x03\x04", 4);
  EXPECT_EQ(ReadWholeFile(path.c_str()), expected);
}

TEST(ZRFileWriter, BackPatchOutsideTheWindow) {
  // A header at the start is patched after more than a buffer of payload.
  TempPath path;
  ZRHandle writer = zrOpenFileForWrite(nullptr, path.c_str(), FILE_ATTRIBUTE_NORMAL, 0);
  ASSERT_NE(writer, nullptr);
  Bytes data = RandomBytes(200000, 7);
  WriteInSteps(writer, data, 777);
  EXPECT_EQ(zrSeek(writer, 10), 0u);
  WriteInSteps(writer, Bytes{0xAA, 0xBB, 0xCC}, 3);
  EXPECT_EQ(zrGetPosition(writer), 13u);
  EXPECT_EQ(zrSeek(writer, 200000), 0u);
  WriteInSteps(writer, Bytes{0xDD}, 1);
  EXPECT_EQ(zrGetSize(writer), 200001u);
  EXPECT_EQ(zrSeek(writer, 999999), 0u);  // clamped to the size
  EXPECT_EQ(zrGetPosition(writer), 200001u);
  EXPECT_EQ(zrClose(writer), 0u);
  Bytes expected = data;
  expected[10] = 0xAA;
  expected[11] = 0xBB;
  expected[12] = 0xCC;
  expected.push_back(0xDD);
  EXPECT_EQ(ReadWholeFile(path.c_str()), expected);
}

TEST(ZRFileWriter, WriteByteFillsBufferAndSpills) {
  TempPath path;
  ZRHandle writer = zrOpenFileForWrite(nullptr, path.c_str(), FILE_ATTRIBUTE_NORMAL, 0);
  ASSERT_NE(writer, nullptr);
  Bytes data = RandomBytes(140000, 8);
  for (uint8_t b : data)
    writer->top->WriteByte(b);
  EXPECT_EQ(writer->top->GetError(), 0u);
  EXPECT_EQ(zrGetPosition(writer), data.size());
  EXPECT_EQ(zrClose(writer), 0u);
  EXPECT_EQ(ReadWholeFile(path.c_str()), data);
}

TEST(ZRFileWriter, UnsupportedOperationsFailWith9) {
  TempPath path;
  ZRHandle writer = zrOpenFileForWrite(nullptr, path.c_str(), FILE_ATTRIBUTE_NORMAL, 0);
  ASSERT_NE(writer, nullptr);
  uint8_t b[2];
  uint32_t done = 5;
  EXPECT_EQ(zrRead(writer, b, 2, &done), ZR_ERROR_UNSUPPORTED);
  EXPECT_EQ(done, 0u);
  zrClearError();
  EXPECT_TRUE(zrIsAtEnd(writer));
  EXPECT_EQ(zrGetLastError(), ZR_ERROR_UNSUPPORTED);
  EXPECT_EQ(zrDetachFilter(writer), ZR_ERROR_UNSUPPORTED);
  EXPECT_EQ(zrClose(writer), 0u);
}

TEST(ZRFileWriter, UnknownFilterTypeIsError8) {
  TempPath path;
  ZRHandle writer = zrOpenFileForWrite(nullptr, path.c_str(), FILE_ATTRIBUTE_NORMAL, 0);
  ASSERT_NE(writer, nullptr);
  EXPECT_EQ(zrAttachFilter(writer, 0, 0), ZR_ERROR_FILTER_TYPE);
  EXPECT_EQ(zrAttachFilter(writer, 3, 0), ZR_ERROR_FILTER_TYPE);
  EXPECT_EQ(writer->top->GetKind(), ZR_KIND_FILE_WRITER);
  EXPECT_EQ(zrClose(writer), 0u);
  WriteWholeFile(path.c_str(), Bytes{1});
  ZRHandle reader = zrOpenFileForRead(nullptr, path.c_str(), 0);
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(zrAttachFilter(reader, 7, 0), ZR_ERROR_FILTER_TYPE);
  EXPECT_EQ(reader->top->GetKind(), ZR_KIND_FILE_READER);
  EXPECT_EQ(zrClose(reader), 0u);
}

TEST(ZRFileWriter, FailingWriteFileIsError12) {
  TempPath path;
  WriteWholeFile(path.c_str(), Bytes{});
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ZRHandle handle = NewHandle();
  new CZRFileWriter(handle, file, true, static_cast<uint8_t*>(zrAllocateMemory(4096)), 4096);
  Bytes data = RandomBytes(100, 9);
  uint32_t done = 0;
  EXPECT_EQ(zrWrite(handle, data.data(), 100, &done), 0u);  // still buffered
  EXPECT_EQ(done, 100u);
  EXPECT_EQ(zrClose(handle), ZR_ERROR_WRITE);

  // A write larger than the buffer fails at once.
  file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  handle = NewHandle();
  new CZRFileWriter(handle, file, true, static_cast<uint8_t*>(zrAllocateMemory(4096)), 4096);
  Bytes big = RandomBytes(10000, 10);
  EXPECT_EQ(zrWrite(handle, big.data(), 10000, &done), ZR_ERROR_WRITE);
  EXPECT_LT(done, 10000u);
  EXPECT_EQ(zrClose(handle), 0u);  // the buffer was dropped with the failure
}

// A seek out of the buffered window writes the buffer out first; when that write fails, its
// error is the seek's, whatever positioning the file gives.
TEST(ZRFileWriter, SeekWhoseWriteFailsIsError12) {
  ZRHandle handle = NewHandle();
  new CZRFileWriter(handle, BogusHandle(), false, static_cast<uint8_t*>(zrAllocateMemory(4096)), 4096);
  uint32_t done = 0;
  EXPECT_EQ(zrWrite(handle, "abc", 3, &done), 0u);
  EXPECT_EQ(zrSeek(handle, 3), ZR_ERROR_WRITE);
  EXPECT_EQ(zrGetLastError(), ZR_ERROR_WRITE);
  EXPECT_EQ(zrClose(handle), 0u);
}

TEST(ZRFileWriter, FailingSeekIsError10) {
  ZRHandle handle = NewHandle();
  new CZRFileWriter(handle, BogusHandle(), false, static_cast<uint8_t*>(zrAllocateMemory(4096)), 4096);
  EXPECT_EQ(zrSeek(handle, 0), ZR_ERROR_SEEK);
  EXPECT_EQ(zrClose(handle), 0u);
}
