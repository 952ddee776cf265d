#include <gtest/gtest.h>
#include <windows.h>
#include <cstring>
#include <string>
#include <vector>
#include "plugins/sdk/VCXAbout.h"
#include "plugins/shared/OldPluginHarness.h"
#include "plugins/shared/VcxExports.h"
#include "plugins/shared/VcxShared.h"

namespace {

int Code(void (*work)()) {
  try {
    work();
  } catch (const CVcxError& e) {
    return e.code;
  }
  return 0;
}

std::vector<uint32_t> g_asked;
VCXServiceFunction WINAPI ResolverWithout1103(uint32_t id) {
  g_asked.push_back(id);
  return id == VCX_SC_FREE_MULTI_IMAGE ? nullptr : GetServiceProc(id);
}

VCXServiceFunction WINAPI CountingResolver(uint32_t id) {
  g_asked.push_back(id);
  return GetServiceProc(id);
}

std::string AboutText(uint32_t version) {
  char text[256];
  vcxFormatAboutText(text, sizeof text, "Reads things", version, "Notice");
  return text;
}

const char* const kPlugins[] = {"JPEG", "TGA", "PSD"};

}  // namespace

// --- helpers ---

TEST(SharedHelpers, RowBytesAndPixelDepths) {
  EXPECT_EQ(CalcRowBytes(3, 4), 2u);
  EXPECT_EQ(CalcRowBytes(9, 1), 2u);
  EXPECT_EQ(CalcRowBytes(5, 24), 15u);
  EXPECT_EQ(CalcRowBytes(65535, 64), 524280u);
  const uint32_t formats[] = {0x10000, 0x40000, 0x80000, 0x100000, 0x180000, 0x200000, 0x300000, 0x400000};
  const uint32_t depths[] = {1, 4, 8, 16, 24, 32, 48, 64};
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(GetPixelDepth(formats[i]), depths[i]);
  EXPECT_EQ(GetPixelDepth(0x80001), 0u);
  EXPECT_EQ(GetPixelDepth(0x20000), 0u);
  EXPECT_EQ(GetPixelDepth(0), 0u);
}

TEST(SharedHelpers, ThrowIfCarriesTheCode) {
  EXPECT_EQ(Code([] { vcxThrowIf(false, 4); }), 0);
  EXPECT_EQ(Code([] { vcxThrowIf(true, 13); }), 13);
  // Blocks past the largest size are refused before any allocation.
  EXPECT_EQ(Code([] { CVcxBlock block(uint64_t(1) << 40); }), VCX_ERROR_MEMORY);
  EXPECT_EQ(Code([] { CVcxBlock block(VCX_MAX_BLOCK + 1); }), VCX_ERROR_MEMORY);
  EXPECT_EQ(Code([] { CVcxBlock block(100); }), 0);
}

TEST(SharedHelpers, ExactFileReadsAndWrites) {
  const std::string path = TempPath("shared-rw.bin");
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  const char data[] = "0123456789";
  vcxWriteFile(file, data, 10);
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  char got[16] = {};
  vcxReadFile(file, got, 4);
  EXPECT_EQ(std::string(got, 4), "0123");
  // Asking for more than is left fails with 13 however much was read.
  try {
    vcxReadFile(file, got, 7);
    ADD_FAILURE() << "no error";
  } catch (const CVcxError& e) {
    EXPECT_EQ(e.code, VCX_ERROR_READ);
  }
  CloseHandle(file);
  // Writing through a read-only handle fails with 12.
  file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  try {
    vcxWriteFile(file, data, 3);
    ADD_FAILURE() << "no error";
  } catch (const CVcxError& e) {
    EXPECT_EQ(e.code, VCX_ERROR_WRITE);
  }
  CloseHandle(file);
  DeleteFileA(path.c_str());
}

TEST(SharedHelpers, BufferedReaderCrossesBlocksAndStopsAtTheEnd) {
  std::vector<uint8_t> bytes(200000);
  for (size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
  const std::string path = TempPath("shared-reader.bin");
  ASSERT_TRUE(WriteFileBytes(path, bytes));
  CVcxFile file(vcxOpenForRead(path.c_str()));
  CVcxReader reader(file.handle);
  EXPECT_EQ(reader.Size(), bytes.size());
  std::vector<uint8_t> got(70000);
  reader.Read(got.data(), 10);
  EXPECT_EQ(0, std::memcmp(got.data(), bytes.data(), 10));
  reader.Read(got.data(), 70000);
  EXPECT_EQ(0, std::memcmp(got.data(), bytes.data() + 10, 70000));
  EXPECT_EQ(reader.ReadByte(), bytes[70010]);
  reader.Skip(65536);
  EXPECT_EQ(reader.Position(), 70011u + 65536u);
  EXPECT_EQ(reader.ReadByte(), bytes[70011 + 65536]);
  reader.Seek(5);
  EXPECT_EQ(reader.ReadBE16(), bytes[5] << 8 | bytes[6]);
  reader.Seek(199998);
  EXPECT_EQ(reader.ReadLE16(), bytes[199998] | bytes[199999] << 8);
  EXPECT_EQ(reader.Remaining(), 0u);
  uint8_t one;
  EXPECT_THROW(reader.Read(&one, 1), CVcxError);
  EXPECT_THROW(reader.Seek(200001), CVcxError);
  reader.Seek(199990);
  EXPECT_THROW(reader.Skip(11), CVcxError);
  EXPECT_THROW(reader.Read(got.data(), 11), CVcxError);
  EXPECT_EQ(reader.Position(), 199990u);
  // A block used up exactly, then a read of more than a block, which bypasses it: seeks into
  // the old block's window read the file.
  reader.Seek(0);
  reader.Read(got.data(), 10);
  reader.Read(got.data(), 65526);
  reader.Read(got.data(), 70000);
  EXPECT_EQ(0, std::memcmp(got.data(), bytes.data() + 65536, 70000));
  for (uint64_t at : {100000u, 130000u, 135536u, 40000u, 135535u}) {
    reader.Seek(at);
    EXPECT_EQ(reader.ReadByte(), bytes[at]) << at;
    reader.Read(got.data(), 3);
    EXPECT_EQ(0, std::memcmp(got.data(), bytes.data() + at + 1, 3)) << at;
  }
  file.Close();
  DeleteFileA(path.c_str());
  try {
    vcxOpenForRead(path.c_str());
    ADD_FAILURE() << "opened a missing file";
  } catch (const CVcxError& e) {
    EXPECT_EQ(e.code, VCX_ERROR_ACCESS);
  }
}

TEST(SharedHelpers, AboutTextVersions) {
  EXPECT_EQ(AboutText(0x01020000), "Reads things\nVersion 1.2\nNotice");
  EXPECT_EQ(AboutText(0x01020005), "Reads things\nVersion 1.2.0.5\nNotice");
  EXPECT_EQ(AboutText(0x01020300), "Reads things\nVersion 1.2.3\nNotice");
  EXPECT_EQ(AboutText(0x0A0B0C0D), "Reads things\nVersion 10.11.12.13\nNotice");
  char small[8];
  vcxFormatAboutText(small, sizeof small, "Reads things", 0x01020304, "Notice");
  EXPECT_STREQ(small, "Reads t");
}

TEST(SharedHelpers, ModuleWithoutVersionResourceReportsZero) {
  EXPECT_EQ(vcxGetModuleVersion(GetModuleHandleA(nullptr)), 0u);
}

TEST(SharedHelpers, LinkStopsAtTheFirstMissingService) {
  g_asked.clear();
  EXPECT_EQ(vcxLinkHostServices(ResolverWithout1103), 0);
  ASSERT_EQ(g_asked.size(), 10u);
  EXPECT_EQ(g_asked.back(), 0x1103u);
  EXPECT_EQ(vcxLinkHostServices(nullptr), 0);
  g_asked.clear();
  EXPECT_EQ(vcxLinkHostServices(CountingResolver), 1);
  const std::vector<uint32_t> order = {0x100,  0x1000, 0x1001, 0x1002, 0x1003, 0x1010, 0x1100, 0x1101,
                                       0x1102, 0x1103, 0x1110, 0x1300, 0x1301, 0x1311, 0x1320};
  EXPECT_EQ(g_asked, order);
  EXPECT_NE(vcxGetHostService(0x1320), nullptr);
  EXPECT_EQ(vcxGetHostService(0x1400), nullptr);
}

// --- the shared exports of the three plug-ins ---

TEST(SharedExports, IdentityOfEachPlugin) {
  for (const char* name : kPlugins) {
    OldPlugin& p = LoadOldPlugin(name);
    ASSERT_NE(p.module, nullptr) << name;
    EXPECT_EQ(p.getSDKVersion(), 0x90000u);
    EXPECT_EQ(p.getVersion(), 0x1000000u);
    char text[32] = "xxxxxxxxxxxxxxxx";
    p.getName(text, sizeof text);
    EXPECT_STREQ(text, name);
    EXPECT_EQ(p.nextImport(), nullptr);
    EXPECT_EQ(p.getLastError(text, sizeof text), 0);
    EXPECT_STREQ(text, "");
    VCXFileType* type = p.firstImport();
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(type->headerSize, 272);
    EXPECT_EQ(type->id, 1);
    VcsFreeFileType(type);
  }
  EXPECT_EQ(LoadOldPlugin("JPEG").getFeatures(), 4u);
  EXPECT_EQ(LoadOldPlugin("TGA").getFeatures(), 12u);
  EXPECT_EQ(LoadOldPlugin("PSD").getFeatures(), 4u);
}

TEST(SharedExports, NameIsCutToTheBuffer) {
  OldPlugin& p = LoadOldPlugin("JPEG");
  char text[8] = "abcdefg";
  p.getName(text, 3);
  EXPECT_STREQ(text, "JP");
  EXPECT_EQ(text[3], 'd');
  char one[4] = "abc";
  p.getName(one, 1);
  EXPECT_EQ(one[0], 0);
  EXPECT_EQ(one[1], 'b');
  char untouched[4] = "abc";
  p.getName(untouched, 0);
  p.getName(nullptr, 8);
  EXPECT_STREQ(untouched, "abc");
}

TEST(SharedExports, LinkFailsWithAMissingServiceAndRecovers) {
  for (const char* name : kPlugins) {
    OldPlugin& p = LoadOldPlugin(name);
    g_asked.clear();
    EXPECT_EQ(p.link(0, VCX_SDK_VERSION, ResolverWithout1103), 0) << name;
    EXPECT_EQ(g_asked.size(), 10u) << name;
    EXPECT_EQ(p.link(0, VCX_SDK_VERSION, nullptr), 0) << name;
    EXPECT_EQ(p.link(0, VCX_SDK_VERSION, GetServiceProc), 1) << name;
  }
}
