#include <gtest/gtest.h>
#include <windows.h>
#include <cstring>
#include <vector>
#include "common/FloatBits.h"
#include "document/EditorUI.h"
#include "document/PixelArray.h"
#include "shell/Clipboard.h"

namespace {

class ChannelHost : public CEditorUI {
public:
  int32_t GetChannelMode() override { return mode; }
  void UpdateCommandStates() override { ++refreshes; }
  int32_t mode = 0;
  int refreshes = 0;
};

// A viewer for the handler under test, and a plain window for "another program".
class ClipboardTest : public testing::Test {
protected:
  void SetUp() override {
    SetEditorUI(&host);
    ASSERT_TRUE(g_Clipboard.Init());
    ASSERT_TRUE(g_Clipboard.CreateViewer());
    other = CreateWindowExA(0, "STATIC", "other", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, other);
  }
  void TearDown() override {
    g_Clipboard.DestroyViewer();
    DestroyWindow(other);
    SetEditorUI(nullptr);
  }
  // Puts a bitmap block on the clipboard as another program would (rendered at once).
  void PutBitmap(UINT format, const std::vector<uint8_t>& block) {
    ASSERT_TRUE(OpenClipboard(other));
    EmptyClipboard();
    HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE, block.size());
    std::memcpy(GlobalLock(handle), block.data(), block.size());
    GlobalUnlock(handle);
    ASSERT_NE(nullptr, SetClipboardData(format, handle));
    CloseClipboard();
    Pump();
  }
  static void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageA(&msg);
  }
  ChannelHost host;
  HWND other = nullptr;
};

// A bitmap block: header, optional masks/table, rows.
std::vector<uint8_t> Bitmap(DWORD headerSize, int32_t w, int32_t h, WORD bits, DWORD compression,
                            const std::vector<uint8_t>& rows, DWORD alphaMask = 0, int extra = 0) {
  BITMAPV5HEADER header;
  std::memset(&header, 0, sizeof header);
  header.bV5Size = headerSize;
  header.bV5Width = w;
  header.bV5Height = h;
  header.bV5Planes = 1;
  header.bV5BitCount = bits;
  header.bV5Compression = compression;
  header.bV5XPelsPerMeter = 2835;
  header.bV5YPelsPerMeter = 2835;
  header.bV5AlphaMask = alphaMask;
  std::vector<uint8_t> block(headerSize + extra);
  std::memcpy(block.data(), &header, headerSize);
  block.insert(block.end(), rows.begin(), rows.end());
  return block;
}

}  // namespace

TEST_F(ClipboardTest, CopyAndPasteInsideTheProgramIsExact) {
  CPixelArray source(4, 3);
  for (int32_t i = 0; i < 12; ++i)
    source.data[i] = 0x11223344u * uint32_t(i + 1);
  CMaskArray mask(4, 3);
  mask.Fill(255);
  mask.data[5] = 0;  // pixel (1, 1) is not selected
  CClipboardCopyRequest request{&source, &mask, {1, 1, 4, 3}, 32, 3779.5f, 2000.0f};
  ASSERT_TRUE(g_Clipboard.Copy(request));
  Pump();
  EXPECT_TRUE(g_Clipboard.HasImage());
  CClipboardImageInfo info;
  ASSERT_TRUE(g_Clipboard.GetImageInfo(info));
  EXPECT_EQ(3, info.width);
  EXPECT_EQ(2, info.height);
  EXPECT_EQ(32, info.bitsPerPixel);
  EXPECT_FLOAT_EQ(2000.0f, info.yResolution);

  CPixelArray target(5, 5);
  target.Fill(0xFFABCDEFu);
  ASSERT_TRUE(g_Clipboard.Paste(target, 2, 3));
  EXPECT_EQ(0x00000000u, target.GetPixel(2, 3));  // the unselected pixel
  EXPECT_EQ(source.GetPixel(2, 1), target.GetPixel(3, 3));
  EXPECT_EQ(source.GetPixel(3, 2), target.GetPixel(4, 4));
  EXPECT_EQ(0xFFABCDEFu, target.GetPixel(1, 3));

  // Colour only, then alpha as grey level.
  host.mode = 1;
  target.Fill(0x7F000000u);
  ASSERT_TRUE(g_Clipboard.Paste(target, 0, 0));
  EXPECT_EQ((source.GetPixel(2, 1) & 0xFFFFFFu) | 0x7F000000u, target.GetPixel(1, 0));
  host.mode = 2;
  target.Fill(0x00123456u);
  ASSERT_TRUE(g_Clipboard.Paste(target, 0, 0));
  EXPECT_EQ(0x00123456u, target.GetPixel(1, 0) & 0xFFFFFFu);
  // Nothing stored for an empty rectangle.
  CClipboardCopyRequest empty{&source, nullptr, {2, 2, 2, 3}, 32, 0, 0};
  EXPECT_FALSE(g_Clipboard.Copy(empty));
}

TEST_F(ClipboardTest, OtherProgramsReadTheDelayedFormats) {
  CPixelArray source(3, 2);
  source.Fill(0x80102030u);
  source.SetPixel(0, 0, 0xFF405060u);
  CClipboardCopyRequest request{&source, nullptr, {0, 0, 3, 2}, 32, 3779.5276f, 3779.5276f};
  ASSERT_TRUE(g_Clipboard.Copy(request));
  Pump();
  ASSERT_TRUE(OpenClipboard(other));
  HGLOBAL dib = GetClipboardData(CF_DIB);
  ASSERT_NE(nullptr, dib);
  const uint8_t* block = static_cast<const uint8_t*>(GlobalLock(dib));
  BITMAPINFOHEADER header;
  std::memcpy(&header, block, sizeof header);
  EXPECT_EQ(40u, header.biSize);
  EXPECT_EQ(24, header.biBitCount);
  EXPECT_EQ(2, header.biHeight);  // bottom-up
  EXPECT_EQ(3780, header.biXPelsPerMeter);
  // Rows of 9 bytes padded to 12; the top row comes last.
  const uint8_t* top = block + 40 + 12;
  EXPECT_EQ(0x60, top[0]);
  EXPECT_EQ(0x50, top[1]);
  EXPECT_EQ(0x40, top[2]);
  EXPECT_EQ(0, top[9]);
  GlobalUnlock(dib);
  UINT privateFormat = g_Clipboard.GetPrivateFormat();
  HGLOBAL own = GetClipboardData(privateFormat);
  ASSERT_NE(nullptr, own);
  const int32_t* fields = static_cast<const int32_t*>(GlobalLock(own));
  EXPECT_EQ(24, fields[0]);
  EXPECT_EQ(0x200000, fields[1]);
  EXPECT_EQ(3, fields[2]);
  EXPECT_EQ(2, fields[3]);
  GlobalUnlock(own);
  CloseClipboard();

  // Resolutions beyond the bitmap's 32-bit fields are limited to them.
  CClipboardCopyRequest huge{&source, nullptr, {0, 0, 3, 2}, 32, 3e9f, -3e9f};
  ASSERT_TRUE(g_Clipboard.Copy(huge));
  Pump();
  ASSERT_TRUE(OpenClipboard(other));
  dib = GetClipboardData(CF_DIB);
  ASSERT_NE(nullptr, dib);
  std::memcpy(&header, GlobalLock(dib), sizeof header);
  GlobalUnlock(dib);
  CloseClipboard();
  EXPECT_EQ(INT32_MAX, header.biXPelsPerMeter);
  EXPECT_EQ(INT32_MIN, header.biYPelsPerMeter);
}

TEST_F(ClipboardTest, ForeignBitmaps) {
  // A 32-bit plain bitmap pastes opaque.
  std::vector<uint8_t> rows32 = {1, 2, 3, 4, 5, 6, 7, 8};  // 2 x 1, B G R A
  PutBitmap(CF_DIB, Bitmap(40, 2, 1, 32, BI_RGB, rows32));
  CPixelArray target(2, 2);
  target.Fill(0);
  ASSERT_TRUE(g_Clipboard.Paste(target, 0, 0));
  EXPECT_EQ(0xFF030201u, target.GetPixel(0, 0));
  EXPECT_EQ(0xFF070605u, target.GetPixel(1, 0));

  // A version-5 bitmap with an alpha mask keeps its alpha.
  PutBitmap(CF_DIBV5, Bitmap(sizeof(BITMAPV5HEADER), 2, 1, 32, BI_RGB, rows32, 0xFF000000u));
  CClipboardImageInfo info;
  ASSERT_TRUE(g_Clipboard.GetImageInfo(info));
  EXPECT_EQ(32, info.bitsPerPixel);
  EXPECT_FLOAT_EQ(2835.0f, info.xResolution);
  target.Fill(0);
  ASSERT_TRUE(g_Clipboard.Paste(target, 0, 1));
  EXPECT_EQ(0x04030201u, target.GetPixel(0, 1));
  // One alpha byte that is not 0 keeps every alpha byte; when all are 0 there is no alpha.
  PutBitmap(CF_DIBV5, Bitmap(sizeof(BITMAPV5HEADER), 2, 1, 32, BI_RGB, {1, 2, 3, 0, 5, 6, 7, 9}, 0xFF000000u));
  ASSERT_TRUE(g_Clipboard.Paste(target, 0, 0));
  EXPECT_EQ(0x00030201u, target.GetPixel(0, 0));
  EXPECT_EQ(0x09070605u, target.GetPixel(1, 0));
  PutBitmap(CF_DIBV5, Bitmap(sizeof(BITMAPV5HEADER), 2, 1, 32, BI_RGB, {1, 2, 3, 0, 5, 6, 7, 0}, 0xFF000000u));
  ASSERT_TRUE(g_Clipboard.GetImageInfo(info));
  EXPECT_EQ(24, info.bitsPerPixel);
  ASSERT_TRUE(g_Clipboard.Paste(target, 0, 0));
  EXPECT_EQ(0xFF030201u, target.GetPixel(0, 0));
  EXPECT_EQ(0xFF070605u, target.GetPixel(1, 0));

  // Top-down 24-bit bitmap (negative height), rows padded to 4 bytes.
  std::vector<uint8_t> rows24 = {10, 20, 30, 0, 40, 50, 60, 0};
  PutBitmap(CF_DIB, Bitmap(40, 1, -2, 24, BI_RGB, rows24));
  ASSERT_TRUE(g_Clipboard.GetImageInfo(info));
  EXPECT_EQ(24, info.bitsPerPixel);
  EXPECT_EQ(2, info.height);
  ASSERT_TRUE(g_Clipboard.Paste(target, 0, 0));
  EXPECT_EQ(0xFF1E140Au, target.GetPixel(0, 0));
  EXPECT_EQ(0xFF3C3228u, target.GetPixel(0, 1));

  // 8 bits through a colour table of two entries (offered as a version-5 bitmap: the
  // system's own conversion from a plain one drops short colour tables); bitfields skip
  // their masks.
  std::vector<uint8_t> table8 = {0, 0, 255, 0, 0, 255, 0, 0, 1, 0, 0, 0};
  std::vector<uint8_t> block8 = Bitmap(sizeof(BITMAPV5HEADER), 2, 1, 8, BI_RGB, table8);
  reinterpret_cast<BITMAPV5HEADER*>(block8.data())->bV5ClrUsed = 2;
  PutBitmap(CF_DIBV5, block8);
  ASSERT_TRUE(g_Clipboard.Paste(target, 0, 0));
  EXPECT_EQ(0xFF00FF00u, target.GetPixel(0, 0));
  EXPECT_EQ(0xFFFF0000u, target.GetPixel(1, 0));
  std::vector<uint8_t> bitfields = Bitmap(40, 1, 1, 32, BI_BITFIELDS, {9, 8, 7, 6}, 0, 12);
  PutBitmap(CF_DIB, bitfields);
  ASSERT_TRUE(g_Clipboard.Paste(target, 0, 0));
  EXPECT_EQ(0xFF070809u, target.GetPixel(0, 0));
}

TEST_F(ClipboardTest, UnsupportedOrDamagedBitmapsAreRefused) {
  CPixelArray target(2, 2);
  target.Fill(0x12345678u);
  PutBitmap(CF_DIB, Bitmap(40, 2, 2, 16, BI_RGB, std::vector<uint8_t>(8, 0)));
  EXPECT_FALSE(g_Clipboard.Paste(target, 0, 0));
  PutBitmap(CF_DIB, Bitmap(40, 2, 2, 8, BI_RLE8, std::vector<uint8_t>(1024 + 8, 0)));
  EXPECT_FALSE(g_Clipboard.Paste(target, 0, 0));
  // Rows missing from the block.
  PutBitmap(CF_DIB, Bitmap(40, 100, 100, 24, BI_RGB, std::vector<uint8_t>(12, 0)));
  EXPECT_FALSE(g_Clipboard.Paste(target, 0, 0));
  CClipboardImageInfo info;
  EXPECT_FALSE(g_Clipboard.GetImageInfo(info));
  // Planes other than 1.
  std::vector<uint8_t> planes = Bitmap(40, 1, 1, 24, BI_RGB, {1, 2, 3, 0});
  reinterpret_cast<BITMAPINFOHEADER*>(planes.data())->biPlanes = 2;
  PutBitmap(CF_DIB, planes);
  EXPECT_FALSE(g_Clipboard.Paste(target, 0, 0));
  EXPECT_EQ(0x12345678u, target.GetPixel(0, 0));
  // Another instance's block whose resolutions would trap once touched: they count as unknown.
  std::vector<uint8_t> own(24 + 4, 0);
  const int32_t fields[4] = {24, 0x200000, 1, 1};
  std::memcpy(own.data(), fields, sizeof fields);
  std::memcpy(own.data() + 16, &kFloatDenormal, 4);
  std::memcpy(own.data() + 20, &kFloatNaN, 4);
  PutBitmap(g_Clipboard.GetPrivateFormat(), own);
  ASSERT_TRUE(g_Clipboard.GetImageInfo(info));
  EXPECT_EQ(0u, FloatBitsOf(info.xResolution));
  EXPECT_EQ(0u, FloatBitsOf(info.yResolution));
  // Empty clipboard.
  ASSERT_TRUE(OpenClipboard(other));
  EmptyClipboard();
  CloseClipboard();
  EXPECT_FALSE(g_Clipboard.HasImage());
  EXPECT_FALSE(g_Clipboard.Paste(target, 0, 0));
}

TEST_F(ClipboardTest, LeavingRendersEveryFormat) {
  CPixelArray source(2, 2);
  source.Fill(0xFF010203u);
  CClipboardCopyRequest request{&source, nullptr, {0, 0, 2, 2}, 24, 0, 0};
  ASSERT_TRUE(g_Clipboard.Copy(request));
  SendMessageA(g_Clipboard.GetViewer(), WM_RENDERALLFORMATS, 0, 0);
  EXPECT_TRUE(g_Clipboard.HasStoredData());  // the lock kept it
  g_Clipboard.DestroyViewer();
  EXPECT_FALSE(g_Clipboard.HasStoredData());
  ASSERT_TRUE(OpenClipboard(other));
  EXPECT_NE(nullptr, GetClipboardData(g_Clipboard.GetPrivateFormat()));
  EXPECT_NE(nullptr, GetClipboardData(CF_DIB));
  EXPECT_NE(nullptr, GetClipboardData(CF_DIBV5));
  CloseClipboard();
}

// The decoders of a block in memory (what the fuzzing program feeds) read it exactly as the
// clipboard's own road does, and refuse a block that ends early.
TEST_F(ClipboardTest, BlocksInMemoryDecodeAsFromTheClipboard) {
  std::vector<uint8_t> own(24 + 2, 0);
  const int32_t fields[4] = {24, 8 << 16, 2, 1};
  std::memcpy(own.data(), fields, sizeof fields);
  own[24] = 0x40;
  own[25] = 0xC0;
  const UINT bitmap = g_Clipboard.GetBitmapFormat();
  const std::vector<std::pair<UINT, std::vector<uint8_t>>> blocks = {
      {bitmap, Bitmap(40, 2, 1, 24, BI_RGB, {1, 2, 3, 4, 5, 6, 0, 0})},
      {bitmap, Bitmap(124, 1, -2, 32, BI_BITFIELDS, {9, 8, 7, 0x80, 6, 5, 4, 0}, 0xFF000000u)},
      {g_Clipboard.GetPrivateFormat(), own}};
  for (const auto& block : blocks) {
    const bool isPrivate = block.first == g_Clipboard.GetPrivateFormat();
    PutBitmap(block.first, block.second);
    CClipboardImageInfo fromClipboard, fromMemory;
    ASSERT_TRUE(g_Clipboard.GetImageInfo(fromClipboard));
    ASSERT_TRUE(GetClipboardBlockInfo(block.second.data(), block.second.size(), isPrivate, fromMemory));
    EXPECT_EQ(fromClipboard.width, fromMemory.width);
    EXPECT_EQ(fromClipboard.height, fromMemory.height);
    EXPECT_EQ(fromClipboard.bitsPerPixel, fromMemory.bitsPerPixel);
    CPixelArray a(3, 3), b(3, 3);
    a.Fill(0x11223344u);
    b.Fill(0x11223344u);
    ASSERT_TRUE(g_Clipboard.Paste(a, 1, 1));
    ASSERT_TRUE(PasteClipboardBlock(block.second.data(), block.second.size(), isPrivate, b, 1, 1));
    EXPECT_EQ(0, std::memcmp(a.data, b.data, 9 * 4));
    CClipboardImageInfo info;
    EXPECT_FALSE(GetClipboardBlockInfo(block.second.data(), block.second.size() - 1, isPrivate, info));
    EXPECT_FALSE(PasteClipboardBlock(block.second.data(), block.second.size() - 1, isPrivate, b, 0, 0));
  }
}
