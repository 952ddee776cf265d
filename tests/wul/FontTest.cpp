#include <gtest/gtest.h>
#include <windows.h>
#include <cstring>
#include <vector>
#include "wul/WULFont.h"

namespace {

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

// Gives the four standard fonts known values and puts the old ones back afterwards.
class StandardFonts : public ::testing::Test {
protected:
  void SetUp() override {
    for (int i = 0; i < 4; i++) {
      saved[i] = new CWULFont(wulFonts[i]);
      wulFonts[i].SetFaceName(i == 2 ? "Arial" : "Tahoma");
      wulFonts[i].SetCharSet(DEFAULT_CHARSET);
      wulFonts[i].SetHeight(i == 1 || i == 3 ? -9 : -11);
      wulFonts[i].SetQuality(2);
      wulFonts[i].color.SetRGB(0, 0, 0);
      wulFonts[i].style = 0;
    }
    wulFonts[1].SetItalic(true);
  }
  void TearDown() override {
    for (int i = 0; i < 4; i++) {
      wulFonts[i].Assign(*saved[i]);
      delete saved[i];
    }
  }
  CWULFont* saved[4];
};

// A 32-bit top-down DIB selected into a memory DC.
class Canvas {
public:
  Canvas(int width, int height) : width(width), height(height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* data = nullptr;
    bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &data, nullptr, 0);
    bits = static_cast<uint32_t*>(data);
    dc = CreateCompatibleDC(nullptr);
    old = SelectObject(dc, bitmap);
  }
  ~Canvas() {
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
  void Clear(uint32_t value) {
    GdiFlush();
    for (int i = 0; i < width * height; i++)
      bits[i] = value;
  }
  int width, height;
  HBITMAP bitmap;
  HGDIOBJ old;
  HDC dc;
  uint32_t* bits;
};

bool SameFont(const CWULFont& a, const CWULFont& b) {
  return a.color.value == b.color.value && a.charSet == b.charSet && a.height == b.height &&
         a.quality == b.quality && a.style == b.style && a.faceName.Equals(b.faceName);
}

}  // namespace

TEST(Font, GlobalTableHoldsNineFonts) {
  EXPECT_EQ(9, static_cast<int>(sizeof wulFonts / sizeof wulFonts[0]));
  for (const CWULFont& font : wulFonts) {
    EXPECT_EQ(WUL_CLASS_FONT, font.classCode);
    EXPECT_EQ(&font, font.color.listener);
    EXPECT_EQ(&font, font.faceName.listener);
  }
}

TEST_F(StandardFonts, NewFontIsACopyOfStandardFontOne) {
  CWULFont font;
  EXPECT_EQ(WUL_CLASS_FONT, font.classCode);
  EXPECT_TRUE(SameFont(font, wulFonts[0]));
  EXPECT_STREQ("Tahoma", font.faceName.text);
  EXPECT_EQ(-11, font.height);
  EXPECT_EQ(nullptr, font.listener);
  EXPECT_EQ(&font, font.color.listener);
  EXPECT_EQ(&font, font.faceName.listener);
  // The face name is the font's own.
  EXPECT_NE(wulFonts[0].faceName.text, font.faceName.text);
}

TEST_F(StandardFonts, SetStandardCopiesFontsOneToFour) {
  CWULFont font;
  for (int kind = 1; kind <= 4; kind++) {
    font.SetStandard(kind);
    EXPECT_TRUE(SameFont(font, wulFonts[kind - 1])) << kind;
  }
  EXPECT_TRUE(font.style == 0);
  font.SetStandard(2);
  EXPECT_EQ(WUL_FONT_ITALIC, font.style);
  EXPECT_EQ(-9, font.height);
}

TEST_F(StandardFonts, SetStandardOutsideOneToFourChangesNothing) {
  Recorder owner;
  CWULFont font;
  font.SetHeight(-30);
  font.SetFaceName("Courier New");
  font.listener = &owner;
  font.SetStandard(5);
  font.SetStandard(0);
  font.SetStandard(-1);
  EXPECT_EQ(-30, font.height);
  EXPECT_STREQ("Courier New", font.faceName.text);
  EXPECT_TRUE(owner.codes.empty());
}

TEST(Font, AssignCopiesEverythingAndNotifiesOnce) {
  CWULFont source;
  source.SetFaceName("Source Face");
  source.SetCharSet(204);
  source.SetHeight(-17);
  source.SetQuality(4);
  source.SetBold(true);
  source.SetStrikeOut(true);
  source.color.SetARGB(1, 2, 3, 4);
  Recorder sourceOwner;
  source.listener = &sourceOwner;

  Recorder owner;
  CWULFont font;
  font.listener = &owner;
  EXPECT_EQ(&font, &font.Assign(source));
  EXPECT_TRUE(SameFont(font, source));
  ASSERT_EQ(1u, owner.codes.size());
  EXPECT_EQ(&font, owner.senders[0]);
  EXPECT_EQ(WUL_NOTIFY_CHANGED, owner.codes[0]);
  EXPECT_TRUE(sourceOwner.codes.empty());
  // The members still report to their own font.
  EXPECT_EQ(&font, font.color.listener);
  EXPECT_EQ(&font, font.faceName.listener);
}

TEST(Font, AssignFromItselfKeepsValues) {
  Recorder owner;
  CWULFont font;
  font.SetFaceName("Self");
  font.SetHeight(-5);
  font.listener = &owner;
  font.Assign(font);
  EXPECT_STREQ("Self", font.faceName.text);
  EXPECT_EQ(-5, font.height);
  EXPECT_EQ(1u, owner.codes.size());
}

TEST(Font, SettersNotifyOnceEach) {
  Recorder owner;
  CWULFont font;
  font.listener = &owner;
  font.SetFaceName("Arial");
  font.SetCharSet(0);
  font.SetHeight(-12);
  font.SetQuality(3);
  font.SetBold(true);
  font.SetItalic(true);
  font.SetUnderline(true);
  font.SetStrikeOut(true);
  ASSERT_EQ(8u, owner.codes.size());
  for (size_t i = 0; i < owner.codes.size(); i++) {
    EXPECT_EQ(&font, owner.senders[i]);
    EXPECT_EQ(WUL_NOTIFY_CHANGED, owner.codes[i]);
  }
  EXPECT_STREQ("Arial", font.faceName.text);
  EXPECT_EQ(0, font.charSet);
  EXPECT_EQ(-12, font.height);
  EXPECT_EQ(3, font.quality);
}

TEST(Font, StyleSettersSetAndClearTheirBitOnly) {
  CWULFont font;
  font.style = 0;
  font.SetBold(true);
  EXPECT_EQ(WUL_FONT_BOLD, font.style);
  font.SetItalic(true);
  font.SetUnderline(true);
  font.SetStrikeOut(true);
  EXPECT_EQ(15, font.style);
  font.SetItalic(false);
  EXPECT_EQ(WUL_FONT_BOLD | WUL_FONT_UNDERLINE | WUL_FONT_STRIKEOUT, font.style);
  font.SetBold(false);
  font.SetStrikeOut(false);
  EXPECT_EQ(WUL_FONT_UNDERLINE, font.style);
  font.SetUnderline(false);
  EXPECT_EQ(0, font.style);
}

TEST(Font, ColourAndFaceChangesAreReportedAsFontChanges) {
  Recorder owner;
  CWULFont font;
  font.listener = &owner;
  font.color.SetRGB(9, 9, 9);
  font.faceName.Assign("Other");
  font.faceName.Append(" Face");
  ASSERT_EQ(3u, owner.codes.size());
  for (size_t i = 0; i < owner.codes.size(); i++) {
    EXPECT_EQ(&font, owner.senders[i]);
    EXPECT_EQ(WUL_NOTIFY_CHANGED, owner.codes[i]);
  }
}

TEST(Font, CopyReportsToItsOwnListenerOnly) {
  Recorder owner;
  CWULFont font;
  font.SetFaceName("Original");
  font.listener = &owner;
  CWULFont copy(font);
  EXPECT_EQ(nullptr, copy.listener);
  EXPECT_EQ(WUL_CLASS_FONT, copy.classCode);
  EXPECT_TRUE(SameFont(font, copy));
  EXPECT_EQ(&copy, copy.color.listener);
  EXPECT_EQ(&copy, copy.faceName.listener);
  copy.color.SetRGB(1, 1, 1);
  copy.SetFaceName("Changed");
  EXPECT_TRUE(owner.codes.empty());
  EXPECT_STREQ("Original", font.faceName.text);
}

TEST(Font, AssignmentOperatorKeepsListener) {
  Recorder owner;
  CWULFont target;
  target.listener = &owner;
  CWULFont source;
  source.SetHeight(-40);
  target = source;
  EXPECT_EQ(-40, target.height);
  EXPECT_EQ(&owner, target.listener);
  EXPECT_EQ(1u, owner.codes.size());
}

TEST(TextFont, SettersStoreValueAndFlag) {
  CWULTextFont text;
  EXPECT_EQ(nullptr, text.font);
  EXPECT_EQ(0, text.overrides | text.overrides2);
  EXPECT_EQ(nullptr, text.dc);
  text.SetFaceName("Face");
  EXPECT_EQ(WUL_TF_FACE, text.overrides);
  EXPECT_STREQ("Face", text.faceNameOverride.text);
  text.SetCharSet(2);
  text.SetHeight(-20);
  text.SetQuality(5);
  EXPECT_EQ(WUL_TF_FACE | WUL_TF_CHARSET | WUL_TF_HEIGHT | WUL_TF_QUALITY, text.overrides);
  EXPECT_EQ(2, text.charSetOverride);
  EXPECT_EQ(-20, text.heightOverride);
  EXPECT_EQ(5, text.qualityOverride);
  text.SetBold(false);
  EXPECT_EQ(0x1F, text.overrides);
  EXPECT_EQ(0, text.styleOverride);
  text.SetItalic(true);
  text.SetUnderline(true);
  text.SetStrikeOut(false);
  EXPECT_EQ(0xFF, text.overrides);
  EXPECT_EQ(WUL_FONT_ITALIC | WUL_FONT_UNDERLINE, text.styleOverride);
  EXPECT_EQ(0, text.overrides2);
  text.SetColor(CWULColor(1, 2, 3));
  EXPECT_EQ(WUL_TF_COLOR, text.overrides2);
  EXPECT_EQ(CWULColor(1, 2, 3).value, text.GetColor().value);
}

TEST(TextFont, SelectWithoutFontDoesNothing) {
  Canvas canvas(8, 8);
  HGDIOBJ before = GetCurrentObject(canvas.dc, OBJ_FONT);
  CWULTextFont text;
  EXPECT_EQ(nullptr, text.Select(canvas.dc));
  EXPECT_EQ(nullptr, text.dc);
  EXPECT_EQ(before, GetCurrentObject(canvas.dc, OBJ_FONT));
}

TEST(TextFont, SelectIntoNullDcSelectsNothing) {
  CWULFont font;
  font.SetFaceName("Arial");
  font.SetHeight(-12);
  CWULTextFont text(&font);
  EXPECT_EQ(nullptr, text.Select(nullptr));
  EXPECT_EQ(nullptr, text.dc);
  EXPECT_EQ(nullptr, text.hfont);
}

TEST(TextFont, SelectSetsFontModeAndColourRestorePutsThemBack) {
  Canvas canvas(8, 8);
  SetBkMode(canvas.dc, OPAQUE);
  SetTextColor(canvas.dc, RGB(1, 2, 3));
  HGDIOBJ before = GetCurrentObject(canvas.dc, OBJ_FONT);

  CWULFont font;
  font.SetFaceName("Arial");
  font.SetHeight(-12);
  font.color.SetRGB(10, 20, 30);
  CWULTextFont text(&font);
  HFONT created = text.Select(canvas.dc);
  ASSERT_NE(nullptr, created);
  EXPECT_EQ(created, text.hfont);
  EXPECT_EQ(canvas.dc, text.dc);
  EXPECT_EQ(static_cast<HGDIOBJ>(created), GetCurrentObject(canvas.dc, OBJ_FONT));
  EXPECT_EQ(TRANSPARENT, GetBkMode(canvas.dc));
  EXPECT_EQ(static_cast<COLORREF>(RGB(10, 20, 30)), GetTextColor(canvas.dc) & 0x00FFFFFF);

  text.Restore();
  EXPECT_EQ(nullptr, text.dc);
  EXPECT_EQ(nullptr, text.hfont);
  EXPECT_EQ(before, GetCurrentObject(canvas.dc, OBJ_FONT));
  EXPECT_EQ(OPAQUE, GetBkMode(canvas.dc));
  EXPECT_EQ(static_cast<COLORREF>(RGB(1, 2, 3)), GetTextColor(canvas.dc));
  EXPECT_EQ(0u, GetObjectType(created));  // deleted
  // A second restore is harmless.
  text.Restore();
  EXPECT_EQ(before, GetCurrentObject(canvas.dc, OBJ_FONT));
}

TEST(TextFont, SelectingTwiceRestoresTheFirstSelection) {
  Canvas canvas(8, 8);
  SetBkMode(canvas.dc, OPAQUE);
  SetTextColor(canvas.dc, RGB(4, 5, 6));
  HGDIOBJ before = GetCurrentObject(canvas.dc, OBJ_FONT);
  CWULFont font;
  font.SetFaceName("Arial");
  font.SetHeight(-12);
  CWULTextFont text(&font);
  HFONT first = text.Select(canvas.dc);
  ASSERT_NE(nullptr, first);
  HFONT second = text.Select(canvas.dc);
  ASSERT_NE(nullptr, second);
  EXPECT_EQ(0u, GetObjectType(first));
  EXPECT_EQ(static_cast<HGDIOBJ>(second), GetCurrentObject(canvas.dc, OBJ_FONT));
  // What it remembered is the DC's own state, not its first selection.
  EXPECT_EQ(before, text.previousFont);
  EXPECT_EQ(OPAQUE, text.previousBkMode);
  EXPECT_EQ(static_cast<COLORREF>(RGB(4, 5, 6)), text.previousTextColor);
  text.Restore();
  EXPECT_EQ(before, GetCurrentObject(canvas.dc, OBJ_FONT));
  EXPECT_EQ(OPAQUE, GetBkMode(canvas.dc));
}

TEST(TextFont, DestructorRestoresTheDc) {
  Canvas canvas(8, 8);
  HGDIOBJ before = GetCurrentObject(canvas.dc, OBJ_FONT);
  CWULFont font;
  font.SetFaceName("Arial");
  font.SetHeight(-12);
  HFONT created;
  {
    CWULTextFont text(&font);
    created = text.Select(canvas.dc);
    ASSERT_NE(nullptr, created);
  }
  EXPECT_EQ(before, GetCurrentObject(canvas.dc, OBJ_FONT));
  EXPECT_EQ(0u, GetObjectType(created));
}

TEST(TextFont, FontValuesReachTheCreatedFont) {
  Canvas canvas(8, 8);
  CWULFont font;
  font.SetFaceName("Arial");
  font.SetHeight(-20);
  font.SetCharSet(DEFAULT_CHARSET);
  font.SetQuality(NONANTIALIASED_QUALITY);
  font.SetBold(true);
  font.SetItalic(true);
  font.SetUnderline(true);
  font.SetStrikeOut(true);
  CWULTextFont text(&font);
  HFONT created = text.Select(canvas.dc);
  ASSERT_NE(nullptr, created);
  LOGFONTA logFont = {};
  ASSERT_NE(0, GetObjectA(created, sizeof logFont, &logFont));
  EXPECT_EQ(-20, logFont.lfHeight);
  EXPECT_EQ(0, logFont.lfWidth);
  EXPECT_EQ(0, logFont.lfEscapement);
  EXPECT_EQ(0, logFont.lfOrientation);
  EXPECT_EQ(FW_BOLD, logFont.lfWeight);
  EXPECT_TRUE(logFont.lfItalic);
  EXPECT_TRUE(logFont.lfUnderline);
  EXPECT_TRUE(logFont.lfStrikeOut);
  EXPECT_EQ(DEFAULT_CHARSET, logFont.lfCharSet);
  EXPECT_EQ(OUT_DEFAULT_PRECIS, logFont.lfOutPrecision);
  EXPECT_EQ(CLIP_DEFAULT_PRECIS, logFont.lfClipPrecision);
  EXPECT_EQ(NONANTIALIASED_QUALITY, logFont.lfQuality);
  EXPECT_EQ(DEFAULT_PITCH | FF_DONTCARE, logFont.lfPitchAndFamily);
  EXPECT_STREQ("Arial", logFont.lfFaceName);
  TEXTMETRICA metrics = {};
  ASSERT_TRUE(GetTextMetricsA(canvas.dc, &metrics));
  // The character height, within the rasteriser's rounding.
  EXPECT_NEAR(20, metrics.tmHeight - metrics.tmInternalLeading, 1);
  EXPECT_EQ(FW_BOLD, metrics.tmWeight);
  EXPECT_TRUE(metrics.tmItalic);
}

TEST(TextFont, OverridesWinOverTheFont) {
  Canvas canvas(8, 8);
  CWULFont font;
  font.SetFaceName("Arial");
  font.SetHeight(-20);
  font.SetQuality(PROOF_QUALITY);
  font.SetCharSet(ANSI_CHARSET);
  font.SetBold(true);
  font.SetItalic(true);
  font.color.SetRGB(1, 1, 1);
  CWULTextFont text(&font);
  text.SetFaceName("Courier New");
  text.SetHeight(-31);
  text.SetQuality(NONANTIALIASED_QUALITY);
  text.SetCharSet(DEFAULT_CHARSET);
  text.SetBold(false);
  text.SetUnderline(true);
  text.SetColor(CWULColor(200, 100, 50));
  HFONT created = text.Select(canvas.dc);
  ASSERT_NE(nullptr, created);
  LOGFONTA logFont = {};
  ASSERT_NE(0, GetObjectA(created, sizeof logFont, &logFont));
  EXPECT_STREQ("Courier New", logFont.lfFaceName);
  EXPECT_EQ(-31, logFont.lfHeight);
  EXPECT_EQ(NONANTIALIASED_QUALITY, logFont.lfQuality);
  EXPECT_EQ(DEFAULT_CHARSET, logFont.lfCharSet);
  EXPECT_EQ(FW_NORMAL, logFont.lfWeight);
  // Italic is not overridden and comes from the font.
  EXPECT_TRUE(logFont.lfItalic);
  EXPECT_TRUE(logFont.lfUnderline);
  EXPECT_FALSE(logFont.lfStrikeOut);
  EXPECT_EQ(static_cast<COLORREF>(RGB(200, 100, 50)), GetTextColor(canvas.dc) & 0x00FFFFFF);
}

// Text drawn through a selected font: glyph pixels in the text colour, the rest untouched.
TEST(TextFont, DrawsTransparentTextInItsColour) {
  Canvas canvas(40, 40);
  canvas.Clear(0x00FFFFFF);
  CWULFont font;
  font.SetFaceName("Arial");
  font.SetHeight(-30);
  font.SetQuality(NONANTIALIASED_QUALITY);
  font.color.SetRGB(0, 0, 255);
  CWULTextFont text(&font);
  text.SetColor(CWULColor(255, 0, 0));
  ASSERT_NE(nullptr, text.Select(canvas.dc));
  ASSERT_TRUE(TextOutA(canvas.dc, 2, 2, "W", 1));
  GdiFlush();
  int red = 0, other = 0;
  for (int i = 0; i < canvas.width * canvas.height; i++) {
    uint32_t p = canvas.bits[i] & 0x00FFFFFF;
    if (p == 0x00FF0000)
      red++;
    else if (p != 0x00FFFFFF)
      other++;
  }
  EXPECT_GT(red, 20);
  EXPECT_EQ(0, other);
  text.Restore();
}
