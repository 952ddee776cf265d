#include <gtest/gtest.h>
#include <windows.h>
#include <vector>
#include "wul/WULColor.h"

namespace {

// Records what its sub-objects report.
class Recorder : public CWULObject {
public:
  int32_t HandleNotify(CWULObject* sender, int32_t code, intptr_t param) override {
    senders.push_back(sender);
    codes.push_back(code);
    return 0;
  }
  std::vector<CWULObject*> senders;
  std::vector<int32_t> codes;
};

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return (a << 24) | (r << 16) | (g << 8) | b; }

}  // namespace

TEST(Color, DefaultIsTransparentBlack) {
  CWULColor color;
  EXPECT_EQ(0u, color.value);
  EXPECT_EQ(WUL_CLASS_COLOR, color.classCode);
  EXPECT_EQ(nullptr, color.listener);
}

TEST(Color, PackedValueKeepsByteOrderBGRA) {
  CWULColor color(0x11223344u);
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&color.value);
  EXPECT_EQ(0x44, bytes[0]);  // blue
  EXPECT_EQ(0x33, bytes[1]);  // green
  EXPECT_EQ(0x22, bytes[2]);  // red
  EXPECT_EQ(0x11, bytes[3]);  // alpha
  EXPECT_EQ(0x44, color.GetBlue());
  EXPECT_EQ(0x33, color.GetGreen());
  EXPECT_EQ(0x22, color.GetRed());
  EXPECT_EQ(0x11, color.GetAlpha());
}

TEST(Color, RgbConstructorIsOpaqueAndClamps) {
  EXPECT_EQ(Argb(255, 10, 20, 30), CWULColor(10, 20, 30).value);
  EXPECT_EQ(Argb(255, 255, 251, 20), CWULColor(300, -5, 20).value);
}

TEST(Color, SetRGBClampsHighAndKeepsLowByteOfNegative) {
  CWULColor color;
  color.SetRGB(300, -5, 20);
  EXPECT_EQ(255, color.GetRed());
  EXPECT_EQ(251, color.GetGreen());
  EXPECT_EQ(20, color.GetBlue());
  EXPECT_EQ(255, color.GetAlpha());
}

TEST(Color, SetARGBClampsEveryComponent) {
  CWULColor color;
  color.SetARGB(300, 10, 20, 30);
  EXPECT_EQ(Argb(255, 10, 20, 30), color.value);
  color.SetARGB(0, 1000, 256, 255);
  EXPECT_EQ(Argb(0, 255, 255, 255), color.value);
  color.SetARGB(-1, 0, 0, 0);
  EXPECT_EQ(Argb(255, 0, 0, 0), color.value);
}

TEST(Color, ColorRefIsPaletteRelative) {
  CWULColor color(1, 2, 3);
  EXPECT_EQ(0x02030201u, color.GetColorRef());
  EXPECT_EQ(0x02000000u, CWULColor(0u).GetColorRef());
}

TEST(Color, SetColorRefIgnoresTheHighByteAndIsOpaque) {
  CWULColor color(0x12345678u);
  color.SetColorRef(0x02030201);
  EXPECT_EQ(Argb(255, 1, 2, 3), color.value);
  color.SetColorRef(RGB(200, 100, 50));
  EXPECT_EQ(Argb(255, 200, 100, 50), color.value);
}

TEST(Color, ScaleRoundsClampsAndKeepsAlpha) {
  CWULColor color;
  color.SetARGB(77, 200, 100, 50);
  CWULColor scaled = color.Scale(2.0f);
  EXPECT_EQ(Argb(77, 255, 200, 100), scaled.value);
  // The source is unchanged.
  EXPECT_EQ(Argb(77, 200, 100, 50), color.value);
  EXPECT_EQ(Argb(255, 32, 32, 32), CWULColor(128, 128, 128).Scale(0.25f).value);
  // 2.5 and 3.5 round to the even neighbour.
  EXPECT_EQ(Argb(255, 2, 4, 0), CWULColor(5, 7, 0).Scale(0.5f).value);
}

TEST(Color, ScaleByNegativeFactorKeepsLowByte) {
  CWULColor scaled = CWULColor(10, 0, 1).Scale(-1.0f);
  EXPECT_EQ(246, scaled.GetRed());
  EXPECT_EQ(0, scaled.GetGreen());
  EXPECT_EQ(255, scaled.GetBlue());
}

TEST(Color, BlendHalfwayRoundsToEven) {
  CWULColor black(0u);
  CWULColor white(0xFFFFFFFFu);
  EXPECT_EQ(0x80808080u, black.Blend(white, 0.5f).value);
}

TEST(Color, BlendEndsAndDirection) {
  CWULColor a(Argb(10, 200, 100, 0));
  CWULColor b(Argb(250, 100, 200, 255));
  EXPECT_EQ(a.value, a.Blend(b, 0.0f).value);
  EXPECT_EQ(b.value, a.Blend(b, 1.0f).value);
  EXPECT_EQ(Argb(70, 175, 125, 64), a.Blend(b, 0.25f).value);
}

TEST(Color, SettersNotifyTheListenerOnce) {
  Recorder owner;
  CWULColor color;
  color.listener = &owner;
  color.SetRGB(1, 2, 3);
  color.SetARGB(1, 2, 3, 4);
  color.SetValue(5);
  color.SetColorRef(RGB(1, 1, 1));
  EXPECT_EQ(&color, &color.Assign(CWULColor(9u)));
  ASSERT_EQ(5u, owner.codes.size());
  for (size_t i = 0; i < owner.codes.size(); i++) {
    EXPECT_EQ(WUL_NOTIFY_CHANGED, owner.codes[i]);
    EXPECT_EQ(&color, owner.senders[i]);
  }
  EXPECT_EQ(9u, color.value);
}

TEST(Color, ScaleAndBlendDoNotNotify) {
  Recorder owner;
  CWULColor color(1, 2, 3);
  color.listener = &owner;
  CWULColor scaled = color.Scale(2.0f);
  CWULColor mixed = color.Blend(scaled, 0.5f);
  EXPECT_TRUE(owner.codes.empty());
  EXPECT_EQ(nullptr, scaled.listener);
  EXPECT_EQ(nullptr, mixed.listener);
}

TEST(Color, CopyHasNoListenerAssignmentKeepsIt) {
  Recorder owner;
  CWULColor color(7u);
  color.listener = &owner;
  CWULColor copy(color);
  EXPECT_EQ(7u, copy.value);
  EXPECT_EQ(nullptr, copy.listener);
  EXPECT_EQ(WUL_CLASS_COLOR, copy.classCode);
  copy.SetValue(8);
  EXPECT_TRUE(owner.codes.empty());

  CWULColor target;
  Recorder other;
  target.listener = &other;
  target = color;
  EXPECT_EQ(&other, target.listener);
  EXPECT_EQ(7u, target.value);
  EXPECT_EQ(1u, other.codes.size());
  EXPECT_TRUE(owner.codes.empty());
}

TEST(Color, GlobalTableHoldsTwentySixColours) {
  EXPECT_EQ(26, static_cast<int>(sizeof wulColors / sizeof wulColors[0]));
  for (const CWULColor& color : wulColors)
    EXPECT_EQ(WUL_CLASS_COLOR, color.classCode);
}

// The palette-relative value paints the exact colour into a true-colour bitmap.
TEST(Color, ColorRefPaintsExactColourIntoDib) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = 4;
  info.bmiHeader.biHeight = -4;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(nullptr, bitmap);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  CWULColor color(201, 102, 53);
  HBRUSH brush = CreateSolidBrush(color.GetColorRef());
  RECT all = {0, 0, 4, 4};
  FillRect(dc, &all, brush);
  GdiFlush();
  const uint32_t* pixels = static_cast<const uint32_t*>(bits);
  EXPECT_EQ(0x00C96635u, pixels[5] & 0x00FFFFFFu);
  SelectObject(dc, old);
  DeleteObject(brush);
  DeleteDC(dc);
  DeleteObject(bitmap);
}
