#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <vector>
#include "RastrelHarness.h"

namespace {

VCXServiceFunction WINAPI ResolverWithout1400(uint32_t id) {
  return id == VCX_SC_PREMULTIPLY ? nullptr : GetServiceProc(id);
}

struct ImportResult {
  bool imported;
  int code;
  std::string message;
  int32_t images;
};

ImportResult ImportBytes(const std::vector<uint8_t>& bytes, const char* name = "bad.ico") {
  const std::string path = TempPath(name);
  EXPECT_TRUE(WriteFileBytes(path, bytes));
  int type = 0;
  VCXMultiImage* multi = Rastrel().import(nullptr, path.c_str(), &type);
  ImportResult result{multi != nullptr, 0, "", ImageCount(multi)};
  result.code = Rastrel().LastError(&result.message);
  VcsFreeMultiImage(multi);
  DeleteFileA(path.c_str());
  return result;
}

}  // namespace

TEST(RastrelExports, IdentityAndVersion) {
  RastrelPlugin& p = Rastrel();
  ASSERT_NE(p.module, nullptr);
  EXPECT_EQ(p.getSDKVersion(), 0x90000u);
  EXPECT_EQ(p.getFeatures(), 12u);
  char name[16] = "xxxx";
  p.getName(name, sizeof name);
  EXPECT_STREQ(name, "Rastrel");
  char one[4] = "abc";
  p.getName(one, 1);
  EXPECT_EQ(one[0], 0);
  EXPECT_EQ(one[1], 'b');
  char untouched[4] = "abc";
  p.getName(untouched, 0);
  p.getName(nullptr, 8);
  EXPECT_STREQ(untouched, "abc");
  // File version 1.0.0.0 packs major 1 into the top byte.
  EXPECT_EQ(p.getVersion(), 0x1000000u);
}

TEST(RastrelExports, LinkFailsWhenOneServiceIsMissing) {
  RastrelPlugin& p = Rastrel();
  EXPECT_EQ(p.link(0, VCX_SDK_VERSION, ResolverWithout1400), 0);
  std::string message;
  EXPECT_EQ(p.LastError(&message), 1);
  EXPECT_EQ(message, "Service call linking failed");
  EXPECT_EQ(p.getLastError(nullptr, 0), 1);
  EXPECT_EQ(p.link(0, VCX_SDK_VERSION, HarnessResolver), 1);
  EXPECT_EQ(p.LastError(&message), 0);
  EXPECT_EQ(message, "");
}

TEST(RastrelExports, ImportAndExportTypeLists) {
  RastrelPlugin& p = Rastrel();
  struct Row {
    int id;
    const char* description;
    std::vector<std::string> extensions;
  };
  const std::vector<Row> imports = {{1, "Windows bitmap", {"BMP"}},
                                    {2, "Windows icon", {"ICO"}},
                                    {3, "Windows cursor", {"CUR"}},
                                    {4, "Windows executable", {"EXE", "DLL", "OCX"}},
                                    {3, "Windows icon library", {"ICL"}}};
  const std::vector<Row> exports = {{1, "Windows bitmap", {"BMP"}}, {2, "Windows icon", {"ICO"}}};
  for (int list = 0; list < 2; ++list) {
    const std::vector<Row>& rows = list ? exports : imports;
    VCXFileType* type = list ? p.firstExport() : p.firstImport();
    for (const Row& row : rows) {
      ASSERT_NE(type, nullptr) << row.description;
      EXPECT_EQ(type->headerSize, 272);
      EXPECT_EQ(type->id, row.id);
      EXPECT_STREQ(type->description, row.description);
      ASSERT_EQ(type->extensionCount, static_cast<int32_t>(row.extensions.size()));
      for (size_t i = 0; i < row.extensions.size(); ++i) {
        EXPECT_EQ(vcxGetFileTypeExtensions(type)[i].flags, 0);
        EXPECT_EQ(row.extensions[i], vcxGetFileTypeExtensions(type)[i].extension);
      }
      VcsFreeFileType(type);
      type = list ? p.nextExport() : p.nextImport();
    }
    EXPECT_EQ(type, nullptr);
    EXPECT_EQ(p.LastError(), 0);
  }
}

TEST(RastrelExports, UnknownTypesAndMissingFiles) {
  RastrelPlugin& p = Rastrel();
  VCXMultiImage* doc = Wrap({MakeIcon(VCX_FORMAT_32, 2, 2, 0, true)});
  EXPECT_EQ(p.canExport(4, doc, nullptr), 0);
  EXPECT_EQ(p.LastError(), VCX_ERROR_FORMAT);
  EXPECT_EQ(p.exportFile(nullptr, TempPath("x.exe").c_str(), 4, doc), 0);
  EXPECT_EQ(p.LastError(), VCX_ERROR_FORMAT);
  VcsFreeMultiImage(doc);

  const std::string missing = TempPath("does-not-exist.ico");
  int type = 0;
  EXPECT_EQ(p.canImport(missing.c_str(), &type, nullptr, nullptr, 0), 0);
  std::string message;
  EXPECT_EQ(p.LastError(&message), VCX_ERROR_ACCESS);
  EXPECT_EQ(message, "File not found");
  EXPECT_EQ(p.import(nullptr, missing.c_str(), &type), nullptr);
  EXPECT_EQ(p.LastError(), VCX_ERROR_FORMAT);
  EXPECT_STREQ(GetPluginErrorText(VCX_ERROR_FORMAT), "Unsupported format");
}

TEST(IcoBadInput, SnifferRefusesWhatIsNoIconFile) {
  // Directory type 3, a non-zero reserved word, a file shorter than the header.
  std::vector<uint8_t> type3 = {0, 0, 3, 0, 1, 0};
  std::vector<uint8_t> reserved = {1, 0, 1, 0, 1, 0};
  std::vector<uint8_t> tiny = {0, 0, 1};
  for (const auto& bytes : {type3, reserved, tiny}) {
    const std::string path = TempPath("sniff.ico");
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    int type = 0;
    EXPECT_EQ(Rastrel().canImport(path.c_str(), &type, nullptr, nullptr, 0), 0);
    EXPECT_EQ(Rastrel().LastError(), 0);
    ImportResult r = ImportBytes(bytes);
    EXPECT_FALSE(r.imported);
    EXPECT_EQ(r.code, VCX_ERROR_FORMAT);
    DeleteFileA(path.c_str());
  }
}

TEST(IcoBadInput, EveryTruncationFailsWithACode) {
  for (const char* name : {"icon-multi.ico", "cursor-8bit-48x48.cur", "icon-1bit-13x7.ico"}) {
    const std::vector<uint8_t> whole = ReadFileBytes(FixtureFolder() + name);
    ASSERT_FALSE(whole.empty());
    // A last entry of 32 bits with alpha is whole without its AND rows.
    const size_t at = Le32(whole, 6 + 16 * (Le16(whole, 4) - 1) + 12);
    const size_t complete = Le16(whole, at + 14) == 32
                                ? at + 40 + 4 * size_t(Le32(whole, at + 4)) * (Le32(whole, at + 8) / 2)
                                : whole.size();
    for (size_t cut = 0; cut < whole.size(); cut += (cut < 200 ? 1 : 97)) {
      std::vector<uint8_t> part(whole.begin(), whole.begin() + cut);
      ImportResult r = ImportBytes(part);
      EXPECT_EQ(r.imported, cut >= complete) << name << " cut at " << cut;
      if (r.imported)
        continue;
      const int expected = cut < 6 ? VCX_ERROR_FORMAT : VCX_ERROR_EOF;
      EXPECT_EQ(r.code, expected) << name << " cut at " << cut;
    }
  }
  EXPECT_STREQ(GetPluginErrorText(VCX_ERROR_EOF), "Unexpected end of file");
}

TEST(IcoBadInput, LyingDirectoryEntries) {
  std::vector<uint8_t> good = SmallIcon(4, 8, 32);
  ASSERT_TRUE(ImportBytes(good).imported);
  // An offset past the end of the file.
  std::vector<uint8_t> distant = good;
  SetLe32(distant, 18, 0x7FFFFFF0);
  EXPECT_EQ(ImportBytes(distant).code, VCX_ERROR_EOF);
  // An offset pointing at the last two bytes.
  std::vector<uint8_t> nearEnd = good;
  SetLe32(nearEnd, 18, static_cast<uint32_t>(good.size() - 2));
  EXPECT_EQ(ImportBytes(nearEnd).code, VCX_ERROR_EOF);
  // A size field far larger than the file is not used.
  std::vector<uint8_t> bigSize = good;
  SetLe32(bigSize, 14, 0xFFFFFFFF);
  EXPECT_TRUE(ImportBytes(bigSize).imported);
  // More entries than the file holds.
  std::vector<uint8_t> many = good;
  SetLe16(many, 4, 0xFFFF);
  EXPECT_EQ(ImportBytes(many).code, VCX_ERROR_EOF);
}

// count 32-bit 256 x 256 entries 44 bytes apart, each reading through the headers of those
// after it; the directory lists them from the first or from the last.
std::vector<uint8_t> OverlappingEntries(uint16_t count, bool fromLast) {
  const uint32_t stride = 44, first = 6 + 16u * count, image = 40 + 256 * 256 * 4 + 256 * 32;
  std::vector<uint8_t> b(first + stride * (count - 1) + image, 0);
  SetLe16(b, 2, 1);
  SetLe16(b, 4, count);
  for (uint32_t k = 0; k < count; ++k) {
    const uint32_t at = first + stride * k, entry = 6 + 16 * (fromLast ? count - 1 - k : k);
    SetLe32(b, entry + 8, image);
    SetLe32(b, entry + 12, at);
    SetLe32(b, at, 40);
    SetLe32(b, at + 4, 256);
    SetLe32(b, at + 8, 512);
    SetLe16(b, at + 12, 1);
    SetLe16(b, at + 14, 32);
  }
  return b;
}

TEST(IcoBadInput, EntriesThatNameDataReadBeforeAreLeftOutOrRefused) {
  // 4,000 entries of a 64 KB file naming one 256 x 256 PNG: it is read once.
  const std::vector<uint8_t> png = FirstEntry(ReadFileBytes(FixtureFolder() + "icon-png-256.ico"));
  ImportResult once = ImportBytes(WrapPng(png, 4000));
  EXPECT_TRUE(once.imported) << once.code;
  EXPECT_EQ(once.images, 1);
  // From the first, the others start in its bytes; from the last, each reads 270,376 bytes of
  // a 390 KB file again, until the entries have read twice the file.
  ImportResult first = ImportBytes(OverlappingEntries(2000, false));
  EXPECT_TRUE(first.imported) << first.code;
  EXPECT_EQ(first.images, 1);
  ImportResult last = ImportBytes(OverlappingEntries(2000, true));
  EXPECT_FALSE(last.imported);
  EXPECT_EQ(last.code, VCX_ERROR_DATA);
  EXPECT_EQ(last.message, "The entries of this file read more data than it holds");
}

TEST(IcoBadInput, ZeroCountHasNoImages) {
  std::vector<uint8_t> none = {0, 0, 1, 0, 0, 0};
  ImportResult r = ImportBytes(none);
  EXPECT_FALSE(r.imported);
  EXPECT_EQ(r.code, VCX_ERROR_DATA);
  EXPECT_EQ(r.message, "There are no images in this file");
  char text[64] = {};
  const std::string path = TempPath("none.ico");
  ASSERT_TRUE(WriteFileBytes(path, none));
  EXPECT_EQ(Rastrel().canImport(path.c_str(), nullptr, nullptr, text, sizeof text), 1);
  EXPECT_STREQ(text, "Windows icon\n0 images");
  DeleteFileA(path.c_str());
}

TEST(IcoBadInput, BadHeadersGiveTheirCodes) {
  // A 16-bit entry: unsupported.
  EXPECT_EQ(ImportBytes(SmallIcon(4, 8, 16)).code, VCX_ERROR_FORMAT);
  // An odd stored height, a negative width: invalid data.
  EXPECT_EQ(ImportBytes(SmallIcon(4, 7, 32)).code, VCX_ERROR_DATA);
  EXPECT_EQ(ImportBytes(SmallIcon(-4, 8, 32)).code, VCX_ERROR_DATA);
  EXPECT_STREQ(GetPluginErrorText(VCX_ERROR_DATA), "Invalid data");
  // A huge size that the file cannot hold fails before anything is allocated.
  EXPECT_EQ(ImportBytes(SmallIcon(0x7FFFFFFF, 0x7FFFFFFE, 32)).code, VCX_ERROR_EOF);
  EXPECT_EQ(ImportBytes(SmallIcon(60000, 120000, 1)).code, VCX_ERROR_EOF);
  EXPECT_EQ(ImportBytes(SmallIcon(4, -2147483647 - 1, 8)).code, VCX_ERROR_EOF);
}

TEST(IcoBadInput, TopDownEntriesReadAndEntriesWithoutPixelsAreRefused) {
  // A negative stored height reads rows top-down; an entry 0 pixels wide or high is invalid.
  std::vector<uint8_t> topDown = SmallIcon(1, -4, 32);
  topDown[62] = 0x11;  // first stored row is the top row
  topDown[66] = 0x22;
  const std::string path = TempPath("topdown.ico");
  ASSERT_TRUE(WriteFileBytes(path, topDown));
  VCXMultiImage* multi = Rastrel().import(nullptr, path.c_str(), nullptr);
  ASSERT_NE(multi, nullptr);
  const VCXLayeredImage* image = vcxGetImageSlot(multi, 0);
  EXPECT_EQ(image->height, 2);
  EXPECT_EQ(vcxGetPixelSlot(vcxGetLayerSlot(image, 0))[0], 0x11);
  EXPECT_EQ(vcxGetPixelSlot(vcxGetLayerSlot(image, 0))[4], 0x22);
  VcsFreeMultiImage(multi);
  for (const auto& size : {std::make_pair(0, 0), std::make_pair(0, 4), std::make_pair(3, 0)}) {
    SCOPED_TRACE(std::to_string(size.first) + " x " + std::to_string(size.second / 2));
    ASSERT_TRUE(WriteFileBytes(path, SmallIcon(size.first, size.second, 8)));
    EXPECT_EQ(Rastrel().import(nullptr, path.c_str(), nullptr), nullptr);
    EXPECT_EQ(Rastrel().LastError(), VCX_ERROR_DATA);
  }
  DeleteFileA(path.c_str());
}

TEST(IcoBadInput, PngSignatureWithABadHeaderFailsWithCode1) {
  // The PNG signature followed by an IHDR chunk that libpng rejects (a 1 x 1 image of bit
  // depth 0, bad CRC); with a width or height of 0 it is invalid data before libpng sees it.
  for (const auto& size : {std::make_pair(1, 1), std::make_pair(0, 1), std::make_pair(1, 0)}) {
    SCOPED_TRACE(std::to_string(size.first) + " x " + std::to_string(size.second));
    std::vector<uint8_t> b(6 + 16, 0);
    SetLe16(b, 2, 1);
    SetLe16(b, 4, 1);
    SetLe32(b, 18, 22);
    b.insert(b.end(), {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'});
    b.resize(b.size() + 13 + 4, 0);
    b[22 + 16 + 3] = static_cast<uint8_t>(size.first);
    b[22 + 16 + 7] = static_cast<uint8_t>(size.second);
    SetLe32(b, 14, static_cast<uint32_t>(b.size() - 22));
    ImportResult r = ImportBytes(b);
    EXPECT_FALSE(r.imported);
    const bool pixels = size.first && size.second;
    EXPECT_EQ(r.code, pixels ? VCX_ERROR_INTERNAL : VCX_ERROR_DATA);
    EXPECT_EQ(r.message.empty(), !pixels);
  }
}

TEST(IcoBadInput, UnknownEntryKindIsLeftOut) {
  // One entry whose image is neither a DIB nor a PNG, one good entry.
  std::vector<uint8_t> good = SmallIcon(2, 4, 24);
  std::vector<uint8_t> b(6 + 32, 0);
  SetLe16(b, 2, 1);
  SetLe16(b, 4, 2);
  const size_t junk = b.size();
  b.insert(b.end(), {0x42, 0x4D, 1, 2, 3, 4, 5, 6});
  SetLe32(b, 6 + 12, static_cast<uint32_t>(junk));
  SetLe32(b, 22 + 12, static_cast<uint32_t>(b.size()));
  b.insert(b.end(), good.begin() + 22, good.end());
  const std::string path = TempPath("mixed.ico");
  ASSERT_TRUE(WriteFileBytes(path, b));
  VCXMultiImage* multi = Rastrel().import(nullptr, path.c_str(), nullptr);
  ASSERT_NE(multi, nullptr) << Rastrel().LastError();
  ASSERT_EQ(multi->count, 2);
  EXPECT_EQ(vcxGetImageSlot(multi, 0), nullptr);
  ASSERT_NE(vcxGetImageSlot(multi, 1), nullptr);
  EXPECT_EQ(vcxGetImageSlot(multi, 1)->format, VCX_FORMAT_24);
  VcsFreeMultiImage(multi);
  DeleteFileA(path.c_str());
}
