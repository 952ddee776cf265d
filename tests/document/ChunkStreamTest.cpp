#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>
#include "document/ChunkStream.h"
#include "shell/Errors.h"
#include "sys/ZR.h"
#include "document/ScratchFiles.h"

namespace {

const uint32_t kRoot = MakeChunkId("ROOT");
const uint32_t kKid1 = MakeChunkId("KID1");
const uint32_t kTest = MakeChunkId("TEST");

// ROOT { varint 300, KID1 { record "abc" }, empty string }, headers computed by hand.
const std::vector<uint8_t> kNested = {
    0x52, 0x4F, 0x4F, 0x54, 0x11, 0x00, 0x00, 0x00, 0x00, 0xEE,  // ROOT, 17 bytes
    0xAC, 0x02,                                                  // varint 300
    0x4B, 0x49, 0x44, 0x31, 0x04, 0x00, 0x00, 0x00, 0xEE, 0xF7,  // KID1, 4 bytes
    0x03, 'a', 'b', 'c',                                         // record
    0x00,                                                        // empty string
};

void WriteNested(const std::string& path) {
  CChunkWriter writer;
  ASSERT_TRUE(writer.Create(path.c_str()));
  ASSERT_TRUE(writer.BeginChunk(kRoot));
  ASSERT_TRUE(writer.WriteVarint(300));
  ASSERT_TRUE(writer.BeginChunk(kKid1));
  ASSERT_TRUE(writer.WriteRecord("abc", 3));
  ASSERT_TRUE(writer.EndChunk());
  ASSERT_TRUE(writer.WriteString(""));
  ASSERT_TRUE(writer.EndChunk());
  ASSERT_TRUE(writer.Close());
}

std::string Message(const CStreamError& error) {
  return error.GetMessage() ? error.GetMessage() : "";
}

// A chunk writer whose file takes fewer bytes than it is given, as a full disk does: the
// file writer's handle is a pipe that nobody reads, filled up.
class FullDiskWriter : public CChunkWriter {
public:
  FullDiskWriter() {
    HANDLE out = nullptr;
    if (!CreatePipe(&unread, &out, nullptr, 64))
      return;
    DWORD mode = PIPE_NOWAIT;
    SetNamedPipeHandleState(out, &mode, nullptr, nullptr);
    DWORD done = 1;
    for (int i = 0; i < (1 << 20) && done == 1; ++i)
      WriteFile(out, "x", 1, &done, nullptr);
    handle = static_cast<ZRHandle>(zrAllocateMemory(sizeof(ZRHandleRecord)));
    handle->top = nullptr;
    new CZRFileWriter(handle, out, true, static_cast<uint8_t*>(zrAllocateMemory(ZR_FILE_BUFFER_SIZE)),
                      ZR_FILE_BUFFER_SIZE);
  }
  ~FullDiskWriter() override {
    CloseAll();
    CloseHandle(unread);
  }
  HANDLE unread = nullptr;
};

}  // namespace

TEST(ChunkStreamTest, Crc16IsArc) {
  CCrc16 crc;
  crc.Update("123456789", 9);
  EXPECT_EQ(crc.Get(), 0xBB3D);
  crc.Reset();
  EXPECT_EQ(crc.Get(), 0);
  crc.Update("1234", 4);
  crc.Update("56789", 5);
  EXPECT_EQ(crc.Get(), 0xBB3D);
}

TEST(ChunkStreamTest, HeaderLayout) {
  uint8_t header[10];
  BuildChunkHeader(kTest, 3, header);
  const uint8_t expected[10] = {0x54, 0x45, 0x53, 0x54, 0x03, 0x00, 0x00, 0x00, 0x2D, 0xE0};
  EXPECT_EQ(0, std::memcmp(header, expected, 10));
  EXPECT_EQ(MakeChunkId("VCP1"), 0x56435031u);
}

TEST(ChunkStreamTest, NestedChunksAreWrittenByteForByte) {
  ScratchFolder folder;
  const std::string path = folder.File("nested.bin");
  WriteNested(path);
  EXPECT_EQ(LoadBytes(path), kNested);
}

TEST(ChunkStreamTest, VarintEncodings) {
  ScratchFolder folder;
  const std::string path = folder.File("varint.bin");
  const uint32_t values[] = {0, 1, 127, 128, 300, 16383, 16384, 0xFFFFFFFFu};
  {
    CChunkWriter writer;
    ASSERT_TRUE(writer.Create(path.c_str()));
    for (uint32_t v : values)
      ASSERT_TRUE(writer.WriteVarint(v));
    ASSERT_TRUE(writer.Close());
  }
  const std::vector<uint8_t> expected = {0x00, 0x01, 0x7F, 0x80, 0x01, 0xAC, 0x02, 0xFF, 0x7F,
                                         0x80, 0x80, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F};
  EXPECT_EQ(LoadBytes(path), expected);
  CChunkReader reader;
  ASSERT_TRUE(reader.Open(path.c_str()));
  for (uint32_t v : values) {
    uint32_t got = 12345;
    ASSERT_TRUE(reader.ReadVarint(got));
    EXPECT_EQ(got, v);
  }
  EXPECT_TRUE(reader.AtEnd());
}

TEST(ChunkStreamTest, FiveByteVarintAcceptedSixthNeverRead) {
  ScratchFolder folder;
  const std::string path = folder.File("long.bin");
  // Bits beyond 32 are dropped; then a varint whose fifth byte still continues.
  StoreBytes(path, {0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0x81, 0x80, 0x80, 0x80, 0x80, 0x01});
  CChunkReader reader;
  ASSERT_TRUE(reader.Open(path.c_str()));
  uint32_t value = 0;
  ASSERT_TRUE(reader.ReadVarint(value));
  EXPECT_EQ(value, 0xFFFFFFFFu);
  EXPECT_FALSE(reader.ReadVarint(value));
  EXPECT_EQ(Message(reader.error), "Invalid data");
  EXPECT_EQ(reader.GetPosition(), 10u);  // five bytes of the second varint, not six
}

TEST(ChunkStreamTest, ReadingBackNestedChunks) {
  ScratchFolder folder;
  const std::string path = folder.File("nested.bin");
  WriteNested(path);
  CChunkReader reader;
  ASSERT_TRUE(reader.Open(path.c_str()));
  uint32_t id = 0;
  ASSERT_TRUE(reader.BeginChunk(id));
  EXPECT_EQ(id, kRoot);
  EXPECT_EQ(reader.GetChunkEnd(), 27u);
  uint32_t v = 0;
  ASSERT_TRUE(reader.ReadVarint(v));
  EXPECT_EQ(v, 300u);
  ASSERT_TRUE(reader.BeginChunk(id));
  EXPECT_EQ(id, kKid1);
  char buffer[8] = "-------";
  ASSERT_TRUE(reader.ReadRecord(buffer, 7));
  EXPECT_EQ(std::string(buffer), "abc----");  // the tail is left as it was
  EXPECT_TRUE(reader.AtChunkEnd());
  ASSERT_TRUE(reader.EndChunk());
  CWULString text("x");
  ASSERT_TRUE(reader.ReadString(text));
  EXPECT_STREQ(text.text, "");
  EXPECT_TRUE(reader.AtChunkEnd());
  ASSERT_TRUE(reader.EndChunk());
  EXPECT_FALSE(reader.EndChunk());  // nothing open
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_TRUE(reader.Close());
  EXPECT_FALSE(reader.error.IsFailed());
}

TEST(ChunkStreamTest, EndChunkSkipsUnreadPayloadLazily) {
  ScratchFolder folder;
  const std::string path = folder.File("skip.bin");
  {
    CChunkWriter writer;
    ASSERT_TRUE(writer.Create(path.c_str()));
    ASSERT_TRUE(writer.BeginChunk(kKid1));
    ASSERT_TRUE(writer.WriteVarint(7));
    ASSERT_TRUE(writer.WriteRecord("0123456789", 10));
    ASSERT_TRUE(writer.BeginChunk(kRoot));  // an unknown child
    ASSERT_TRUE(writer.WriteVarint(1));
    ASSERT_TRUE(writer.EndChunk());
    ASSERT_TRUE(writer.EndChunk());
    ASSERT_TRUE(writer.BeginChunk(kTest));
    ASSERT_TRUE(writer.WriteVarint(42));
    ASSERT_TRUE(writer.EndChunk());
    ASSERT_TRUE(writer.Close());
  }
  CChunkReader reader;
  ASSERT_TRUE(reader.Open(path.c_str()));
  uint32_t id, v;
  ASSERT_TRUE(reader.BeginChunk(id));
  ASSERT_TRUE(reader.ReadVarint(v));
  EXPECT_EQ(v, 7u);
  const uint64_t end = reader.GetChunkEnd();
  ASSERT_TRUE(reader.EndChunk());
  // Nothing is read yet: the position reported is the pending target.
  EXPECT_EQ(reader.GetPosition(), end);
  EXPECT_FALSE(reader.AtEnd());
  ASSERT_TRUE(reader.BeginChunk(id));
  EXPECT_EQ(id, kTest);
  ASSERT_TRUE(reader.ReadVarint(v));
  EXPECT_EQ(v, 42u);
  ASSERT_TRUE(reader.EndChunk());
  EXPECT_TRUE(reader.AtEnd());
}

TEST(ChunkStreamTest, LongRecordFillsTheBufferAndSkipsTheRest) {
  ScratchFolder folder;
  const std::string path = folder.File("record.bin");
  {
    CChunkWriter writer;
    ASSERT_TRUE(writer.Create(path.c_str()));
    ASSERT_TRUE(writer.WriteRecord("abcdefgh", 8));
    ASSERT_TRUE(writer.WriteVarint(99));
    ASSERT_TRUE(writer.Close());
  }
  CChunkReader reader;
  ASSERT_TRUE(reader.Open(path.c_str()));
  char buffer[4] = {};
  ASSERT_TRUE(reader.ReadRecord(buffer, 3));
  EXPECT_EQ(std::string(buffer, 3), "abc");
  EXPECT_EQ(reader.GetPosition(), 9u);
  uint32_t v = 0;
  ASSERT_TRUE(reader.ReadVarint(v));
  EXPECT_EQ(v, 99u);
}

TEST(ChunkStreamTest, ReadingPastTheChunkEndIsInvalid) {
  ScratchFolder folder;
  const std::string path = folder.File("nested.bin");
  WriteNested(path);
  CChunkReader reader;
  ASSERT_TRUE(reader.Open(path.c_str()));
  uint32_t id, v;
  ASSERT_TRUE(reader.BeginChunk(id));
  ASSERT_TRUE(reader.ReadVarint(v));
  ASSERT_TRUE(reader.BeginChunk(id));  // KID1: 4 bytes of payload
  uint8_t bytes[5];
  ASSERT_TRUE(reader.Read(bytes, 5));
  EXPECT_FALSE(reader.EndChunk());
  EXPECT_EQ(Message(reader.error), "Invalid data");
}

TEST(ChunkStreamTest, RecordReachingPastItsChunkIsInvalid) {
  ScratchFolder folder;
  const std::string path = folder.File("bad.bin");
  std::vector<uint8_t> bytes = {0x54, 0x45, 0x53, 0x54, 0x03, 0x00, 0x00, 0x00, 0x2D, 0xE0,
                                0x05, 'a', 'b', 'c', 'd', 'e', 'f'};
  StoreBytes(path, bytes);
  CChunkReader reader;
  ASSERT_TRUE(reader.Open(path.c_str()));
  uint32_t id;
  ASSERT_TRUE(reader.BeginChunk(id));
  char buffer[8];
  EXPECT_FALSE(reader.ReadRecord(buffer, 8));
  EXPECT_EQ(Message(reader.error), "Invalid data");
}

TEST(ChunkStreamTest, HeaderFaults) {
  ScratchFolder folder;
  const std::string path = folder.File("crc.bin");
  std::vector<uint8_t> bytes = kNested;
  bytes[9] ^= 0x01;  // the CRC's high byte
  StoreBytes(path, bytes);
  {
    CChunkReader reader;
    ASSERT_TRUE(reader.Open(path.c_str()));
    uint32_t id = 0;
    EXPECT_FALSE(reader.BeginChunk(id));
    EXPECT_EQ(Message(reader.error), "Data is corrupted");
    EXPECT_EQ(reader.GetPosition(), 10u);  // nothing of the payload was read
    EXPECT_EQ(reader.GetDepth(), 0);
  }
  bytes = kNested;
  bytes[4] = 0x12;  // a length that does not match the CRC
  StoreBytes(path, bytes);
  {
    CChunkReader reader;
    ASSERT_TRUE(reader.Open(path.c_str()));
    uint32_t id = 0;
    EXPECT_FALSE(reader.BeginChunk(id));
    EXPECT_EQ(Message(reader.error), "Data is corrupted");
  }
  uint8_t zero[10];
  BuildChunkHeader(0, 0, zero);
  StoreBytes(path, std::vector<uint8_t>(zero, zero + 10));
  {
    CChunkReader reader;
    ASSERT_TRUE(reader.Open(path.c_str()));
    uint32_t id = 0;
    EXPECT_FALSE(reader.BeginChunk(id));
    EXPECT_EQ(Message(reader.error), "Invalid chunk type");
  }
  StoreBytes(path, {0x52, 0x4F, 0x4F});  // a truncated header
  {
    CChunkReader reader;
    ASSERT_TRUE(reader.Open(path.c_str()));
    uint32_t id = 0;
    EXPECT_FALSE(reader.BeginChunk(id));
    EXPECT_EQ(Message(reader.error), "Read failed");
  }
}

TEST(ChunkStreamTest, StringsAreUtf8) {
  ScratchFolder folder;
  const std::string path = folder.File("strings.bin");
  const bool western = GetACP() == 1252;
  {
    CChunkWriter writer;
    ASSERT_TRUE(writer.Create(path.c_str()));
    ASSERT_TRUE(writer.WriteString("Layer 1"));
    if (western) {
      ASSERT_TRUE(writer.WriteString("Caf\xE9"));
    }
    ASSERT_TRUE(writer.Close());
  }
  std::vector<uint8_t> expected = {7, 'L', 'a', 'y', 'e', 'r', ' ', '1'};
  if (western)
    expected.insert(expected.end(), {5, 'C', 'a', 'f', 0xC3, 0xA9});
  EXPECT_EQ(LoadBytes(path), expected);
  CChunkReader reader;
  ASSERT_TRUE(reader.Open(path.c_str()));
  CWULString text;
  ASSERT_TRUE(reader.ReadString(text));
  EXPECT_STREQ(text.text, "Layer 1");
  if (western) {
    ASSERT_TRUE(reader.ReadString(text));
    EXPECT_STREQ(text.text, "Caf\xE9");
  }
}

TEST(ChunkStreamTest, StrayContinuationBytesAreDroppedAndHugeLengthsRefused) {
  ScratchFolder folder;
  const std::string path = folder.File("utf8.bin");
  StoreBytes(path, {4, 'a', 0x80, 0xBF, 'b', 0xFF, 0xFF, 0xFF, 0xFF, 0x0F, 'x'});
  CChunkReader reader;
  ASSERT_TRUE(reader.Open(path.c_str()));
  CWULString text;
  ASSERT_TRUE(reader.ReadString(text));
  EXPECT_STREQ(text.text, "ab");
  // A length of 4 GB in a file of a few bytes: refused before anything is allocated.
  EXPECT_FALSE(reader.ReadString(text));
  EXPECT_EQ(Message(reader.error), "Invalid data");
}

TEST(ChunkStreamTest, CompressedPayloadsRoundTrip) {
  ScratchFolder folder;
  for (int32_t method = 1; method <= 2; ++method) {
    const std::string path = folder.File(method == 1 ? "dict.bin" : "range.bin");
    std::vector<uint8_t> data(50000);
    for (size_t i = 0; i < data.size(); ++i)
      data[i] = static_cast<uint8_t>((i / 7) % 13 * 17 + (i % 5));
    {
      CChunkWriter writer;
      ASSERT_TRUE(writer.Create(path.c_str()));
      ASSERT_TRUE(writer.BeginChunk(kKid1));
      ASSERT_TRUE(writer.WriteVarint(1));
      ASSERT_TRUE(writer.BeginCompression(method));
      ASSERT_TRUE(writer.Write(data.data(), static_cast<uint32_t>(data.size())));
      ASSERT_TRUE(writer.EndCompression());
      ASSERT_TRUE(writer.EndChunk());
      ASSERT_TRUE(writer.BeginChunk(kTest));
      ASSERT_TRUE(writer.WriteVarint(77));
      ASSERT_TRUE(writer.EndChunk());
      ASSERT_TRUE(writer.Close());
    }
    EXPECT_LT(LoadBytes(path).size(), data.size());
    CChunkReader reader;
    ASSERT_TRUE(reader.Open(path.c_str()));
    uint32_t id, v;
    ASSERT_TRUE(reader.BeginChunk(id));
    ASSERT_TRUE(reader.ReadVarint(v));
    ASSERT_TRUE(reader.BeginDecompression(method));
    std::vector<uint8_t> back(data.size());
    // Read only part of it: the rest is skipped with the chunk.
    ASSERT_TRUE(reader.Read(back.data(), 30000));
    ASSERT_TRUE(reader.EndDecompression());
    EXPECT_TRUE(std::equal(back.begin(), back.begin() + 30000, data.begin()));
    ASSERT_TRUE(reader.EndChunk());
    ASSERT_TRUE(reader.BeginChunk(id));
    EXPECT_EQ(id, kTest);
    ASSERT_TRUE(reader.ReadVarint(v));
    EXPECT_EQ(v, 77u);
  }
}

TEST(ChunkStreamTest, DecompressionStartsAfterAPendingSkip) {
  ScratchFolder folder;
  const std::string path = folder.File("pending.bin");
  const char text[] = "compressed after a longer record";
  {
    CChunkWriter writer;
    ASSERT_TRUE(writer.Create(path.c_str()));
    ASSERT_TRUE(writer.WriteRecord("12345678", 8));
    ASSERT_TRUE(writer.BeginCompression(2));
    ASSERT_TRUE(writer.Write(text, sizeof text));
    ASSERT_TRUE(writer.EndCompression());
    ASSERT_TRUE(writer.Close());
  }
  CChunkReader reader;
  ASSERT_TRUE(reader.Open(path.c_str()));
  char record[4];
  ASSERT_TRUE(reader.ReadRecord(record, 4));  // the rest of the record is pending
  ASSERT_TRUE(reader.BeginDecompression(2));
  char back[sizeof text] = {};
  ASSERT_TRUE(reader.Read(back, sizeof text));
  EXPECT_STREQ(back, text);
  EXPECT_TRUE(reader.EndDecompression());
}

TEST(ChunkStreamTest, WriterCloseEndsOpenChunks) {
  ScratchFolder folder;
  const std::string path = folder.File("open.bin");
  CChunkWriter writer;
  ASSERT_TRUE(writer.Create(path.c_str()));
  ASSERT_TRUE(writer.BeginChunk(kRoot));
  ASSERT_TRUE(writer.WriteVarint(300));
  ASSERT_TRUE(writer.BeginChunk(kKid1));
  ASSERT_TRUE(writer.WriteRecord("abc", 3));
  ASSERT_TRUE(writer.EndChunk());
  ASSERT_TRUE(writer.WriteString(""));
  EXPECT_EQ(writer.GetDepth(), 1);
  ASSERT_TRUE(writer.Close());
  EXPECT_EQ(LoadBytes(path), kNested);
}

TEST(ChunkStreamTest, FileErrors) {
  ScratchFolder folder;
  {
    CChunkWriter writer;
    EXPECT_FALSE(writer.Create(folder.File("missing\\x.bin").c_str()));
    EXPECT_EQ(Message(writer.error), "Cannot create the file");
    EXPECT_FALSE(writer.IsOpen());
  }
  {
    const std::string path = folder.File("locked.bin");
    StoreBytes(path, {1, 2, 3});
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    // Where the attribute does not stop writing (an administrator), there is nothing to test.
    HANDLE probe = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
      CChunkWriter writer;
      EXPECT_FALSE(writer.Create(path.c_str()));
      EXPECT_EQ(Message(writer.error), "The file is write-protected");
      EXPECT_EQ(LoadBytes(path).size(), 3u);
    } else {
      CloseHandle(probe);
    }
  }
  {
    CChunkReader reader;
    EXPECT_FALSE(reader.Open(folder.File("none.bin").c_str()));
    EXPECT_EQ(Message(reader.error), "Cannot open the file");
  }
  {
    CChunkReader reader;
    uint8_t b;
    EXPECT_FALSE(reader.Read(&b, 1));
    EXPECT_EQ(Message(reader.error), "Cannot read: there is no open file");
    EXPECT_FALSE(reader.Close());
    EXPECT_EQ(reader.GetPosition(), 0u);
    EXPECT_TRUE(reader.AtEnd());
    reader.CloseAll();
    EXPECT_FALSE(reader.error.IsFailed());
    EXPECT_FALSE(reader.BeginDecompression(1));
    EXPECT_EQ(Message(reader.error), "Cannot decompress: there is no open file");
  }
  {
    CChunkWriter writer;
    EXPECT_FALSE(writer.Write("x", 1));
    EXPECT_EQ(Message(writer.error), "Cannot write: there is no open file");
    writer.CloseAll();
    EXPECT_FALSE(writer.Seek(0));
    EXPECT_EQ(Message(writer.error), "Cannot seek: there is no open file");
    writer.CloseAll();
    EXPECT_FALSE(writer.BeginCompression(1));
    EXPECT_EQ(Message(writer.error), "Cannot compress: there is no open file");
  }
  {
    CChunkWriter writer;
    ASSERT_TRUE(writer.Create(folder.File("method.bin").c_str()));
    EXPECT_FALSE(writer.BeginCompression(3));
    EXPECT_EQ(Message(writer.error), "Unknown compression method");
    writer.CloseAll();
  }
}

TEST(ChunkStreamTest, FailingWriteOfASeekOrACloseIsReportedAsAWrite) {
  FullDiskWriter writer;
  ASSERT_TRUE(writer.IsOpen());
  ASSERT_TRUE(writer.BeginChunk(kRoot));
  ASSERT_TRUE(writer.WriteVarint(300));
  // The seek back to the chunk's end leaves the buffered window: the buffer goes out first.
  EXPECT_FALSE(writer.EndChunk());
  EXPECT_EQ(Message(writer.error), "Write failed (the disk is full?)");

  // Closing writes out the buffered bytes likewise.
  FullDiskWriter closing;
  ASSERT_TRUE(closing.IsOpen());
  ASSERT_TRUE(closing.WriteVarint(300));
  EXPECT_FALSE(closing.Close());
  EXPECT_EQ(Message(closing.error), "Write failed (the disk is full?)");
}

TEST(ChunkStreamTest, ReplacingSaveTouchesTheTargetOnlyWhenComplete) {
  ScratchFolder folder;
  const std::string path = folder.File("target.bin");
  StoreBytes(path, {1, 2, 3});
  StoreBytes(path + ".tmp", {9});
  auto saveError = [&](const std::function<void(CFileWriter&)>& write) {
    CFileWriter file;
    try {
      WriteFileReplacing(file, path.c_str(), [&] { write(file); });
    } catch (const CVCException& e) {
      return std::string(e.message.text);
    }
    return std::string();
  };
  // A write that fails halfway: the old file stays and no temporary is left.
  EXPECT_EQ(saveError([](CFileWriter& file) {
              file.Write("abc", 3);
              file.error.SetError("Write failed (the disk is full?)");
            }),
            "Write failed (the disk is full?)");
  std::vector<std::string> files = folder.Files();
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"target.bin", "target.bin.tmp"}));
  EXPECT_EQ(LoadBytes(path), (std::vector<uint8_t>{1, 2, 3}));
  // A read-only target is refused before the writer runs.
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
  bool ran = false;
  EXPECT_EQ(saveError([&](CFileWriter&) { ran = true; }), "The file is write-protected");
  EXPECT_FALSE(ran);
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  // A complete write replaces the target; the user's .tmp file is not touched.
  EXPECT_EQ(saveError([](CFileWriter& file) { file.Write("new", 3); }), "");
  EXPECT_EQ(LoadBytes(path), (std::vector<uint8_t>{'n', 'e', 'w'}));
  EXPECT_EQ(LoadBytes(path + ".tmp"), (std::vector<uint8_t>{9}));
  EXPECT_EQ(folder.Files().size(), 2u);
}

TEST(ChunkStreamTest, ErrorStateKeepsTheFirstMessageAndThrowsInThrowingMode) {
  CStreamError error;
  EXPECT_FALSE(error.IsFailed());
  EXPECT_FALSE(error.SetError("first"));
  EXPECT_FALSE(error.SetError("second"));
  EXPECT_STREQ(error.GetMessage(), "first");
  error.SetMode(CStreamError::MODE_THROW);
  try {
    error.SetError("third");
    FAIL() << "no exception";
  } catch (const CVCException& e) {
    EXPECT_STREQ(e.message.text, "first");
  }
  error.Reset();
  EXPECT_FALSE(error.IsFailed());
  try {
    error.SetError("fourth");
    FAIL() << "no exception";
  } catch (const CVCException& e) {
    EXPECT_STREQ(e.message.text, "fourth");
  }

  ScratchFolder folder;
  CChunkReader reader;
  reader.error.SetMode(CStreamError::MODE_THROW);
  EXPECT_THROW(reader.Open(folder.File("none.bin").c_str()), CVCException);
}
