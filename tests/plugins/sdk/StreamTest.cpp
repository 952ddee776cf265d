#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>
#include "plugins/sdk/VCXPlugin.h"
#include "plugins/sdk/VCXStream.h"

namespace {

std::string TempFile(const char* name) {
  char folder[MAX_PATH] = {};
  GetTempPathA(sizeof folder, folder);
  return std::string(folder) + "vc-sdk-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}

std::vector<uint8_t> Pattern(size_t size) {
  std::vector<uint8_t> bytes(size);
  uint32_t state = 12345;
  for (auto& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<uint8_t>(state >> 16);
  }
  return bytes;
}

void WriteAll(const std::string& path, const std::vector<uint8_t>& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  if (!bytes.empty())
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::unique_ptr<CVCXFileReadStream> stream(vcxOpenFileForRead(path.c_str()));
  std::vector<uint8_t> bytes(static_cast<size_t>(stream->GetSize()));
  EXPECT_EQ(stream->Read(bytes.data(), bytes.size()), bytes.size());
  return bytes;
}

int64_t SizeOnDisk(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
    return -1;
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

template <class F>
int CodeOf(F&& f, std::string* message = nullptr) {
  try {
    f();
  } catch (const CVCXException& e) {
    if (message)
      *message = e.message;
    return e.code;
  }
  return 0;
}

}  // namespace

TEST(VCXFileReadStream, ShortReadsAndEndOfFile) {
  const std::string path = TempFile("short.bin");
  WriteAll(path, Pattern(100));
  std::unique_ptr<CVCXFileReadStream> stream(vcxOpenFileForRead(path.c_str()));
  EXPECT_EQ(stream->GetSize(), 100);
  stream->Seek(97);
  uint8_t buffer[10];
  EXPECT_EQ(stream->Read(buffer, 10), 3u);
  EXPECT_EQ(stream->GetPosition(), 100);
  EXPECT_TRUE(stream->IsAtEnd());
  EXPECT_EQ(CodeOf([&] { stream->ReadByte(); }), VCX_ERROR_EOF);
  stream->Seek(100);
  EXPECT_EQ(CodeOf([&] { stream->Seek(101); }), VCX_ERROR_INTERNAL);
  stream->Rewind();
  EXPECT_EQ(stream->ReadByte(), Pattern(100)[0]);
  stream.reset();
  DeleteFileA(path.c_str());
}

TEST(VCXFileReadStream, BufferedReadsAndSeeksMatchTheFile) {
  const std::string path = TempFile("big.bin");
  const std::vector<uint8_t> data = Pattern(200000);
  WriteAll(path, data);
  std::unique_ptr<CVCXFileReadStream> stream(vcxOpenFileForRead(path.c_str()));
  // Reads of many sizes, some straddling and some larger than the buffer.
  const size_t sizes[] = {1, 7, 65536, 3, 70000, 100, 65535, 2};
  size_t at = 0;
  for (size_t n : sizes) {
    std::vector<uint8_t> got(n);
    const size_t expect = std::min(n, data.size() - at);
    ASSERT_EQ(stream->Read(got.data(), n), expect);
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + expect, data.begin() + at)) << at;
    at += expect;
    EXPECT_EQ(stream->GetPosition(), static_cast<int64_t>(at));
  }
  // Seeks backwards, inside the buffer and far away.
  for (int64_t position : {5LL, 199999LL, 65536LL, 131071LL, 131070LL, 0LL}) {
    stream->Seek(position);
    EXPECT_EQ(stream->ReadByte(), data[static_cast<size_t>(position)]) << position;
  }
  stream.reset();
  DeleteFileA(path.c_str());
}

TEST(VCXFileReadStream, OpenFailures) {
  std::string message;
  EXPECT_EQ(CodeOf([] { delete vcxOpenFileForRead(TempFile("missing.bin").c_str()); }, &message),
            VCX_ERROR_ACCESS);
  EXPECT_EQ(message, "File not found");
  EXPECT_EQ(CodeOf([] { delete vcxCreateFile(TempFile("no-folder\\x.bin").c_str()); }, &message),
            VCX_ERROR_CREATE);
  EXPECT_EQ(message, "Cannot create file");
}

TEST(VCXFileWriteStream, LargeWriteKeepsTheRemainderBuffered) {
  const std::string path = TempFile("write.bin");
  const std::vector<uint8_t> data = Pattern(70000);
  std::unique_ptr<CVCXFileWriteStream> stream(vcxCreateFile(path.c_str()));
  EXPECT_EQ(stream->Write(data.data(), data.size()), data.size());
  EXPECT_EQ(SizeOnDisk(path), 65536);
  EXPECT_EQ(stream->GetBuffered(), 4464u);
  EXPECT_EQ(stream->GetSize(), 70000);
  stream.reset();  // flushes
  EXPECT_TRUE(ReadAll(path) == data);
  DeleteFileA(path.c_str());
}

TEST(VCXFileWriteStream, SeeksPatchWrittenBytes) {
  const std::string path = TempFile("patch.bin");
  std::vector<uint8_t> expected = Pattern(150000);
  std::unique_ptr<CVCXFileWriteStream> stream(vcxCreateFile(path.c_str()));
  stream->Write(expected.data(), 100);
  // Inside the buffer.
  stream->Seek(10);
  stream->WriteByte(0xAB);
  expected[10] = 0xAB;
  stream->Seek(100);
  stream->Write(expected.data() + 100, expected.size() - 100);
  // Far behind, already on disk.
  stream->Seek(5);
  const uint8_t patch[3] = {1, 2, 3};
  stream->Write(patch, 3);
  std::copy(patch, patch + 3, expected.begin() + 5);
  EXPECT_EQ(stream->GetPosition(), 8);
  stream->Seek(stream->GetSize());
  stream->WriteByte(0xCD);
  expected.push_back(0xCD);
  EXPECT_EQ(CodeOf([&] { stream->Seek(stream->GetSize() + 1); }), VCX_ERROR_INTERNAL);
  stream->Flush();
  stream.reset();
  EXPECT_TRUE(ReadAll(path) == expected);
  DeleteFileA(path.c_str());
}

TEST(VCXCountingStream, CountsWithoutStoring) {
  CVCXCountingStream stream;
  std::vector<uint8_t> data(100);
  stream.Write(data.data(), 100);
  stream.Seek(10);
  stream.Write(data.data(), 5);
  EXPECT_EQ(stream.GetPosition(), 15);
  EXPECT_EQ(stream.GetSize(), 100);
  EXPECT_FALSE(stream.IsAtEnd());
  EXPECT_EQ(CodeOf([&] { stream.Seek(101); }), VCX_ERROR_INTERNAL);
  EXPECT_EQ(CodeOf([&] { stream.ReadByte(); }), VCX_ERROR_INTERNAL);
}

TEST(VCXMemoryStream, ReadsWithinItsBlock) {
  const uint8_t data[5] = {1, 2, 3, 4, 5};
  CVCXMemoryStream stream(data, 5);
  uint8_t out[8] = {};
  stream.Seek(3);
  EXPECT_EQ(stream.Read(out, 8), 2u);
  EXPECT_EQ(out[0], 4);
  EXPECT_TRUE(stream.IsAtEnd());
  EXPECT_EQ(CodeOf([&] { stream.ReadByte(); }), VCX_ERROR_EOF);
  EXPECT_EQ(CodeOf([&] { stream.Seek(6); }), VCX_ERROR_INTERNAL);
  EXPECT_EQ(CodeOf([&] { stream.Seek(0x100000000LL); }), VCX_ERROR_INTERNAL);
  EXPECT_EQ(CodeOf([&] { stream.WriteByte(1); }), VCX_ERROR_INTERNAL);
  stream.Rewind();
  EXPECT_EQ(stream.ReadByte(), 1);
}
