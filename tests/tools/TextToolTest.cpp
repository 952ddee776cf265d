#include <gtest/gtest.h>
#include <windows.h>
#include <cctype>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>
#include "DrawingToolTestSupport.h"
#include "document/History.h"
#include "tools/FontList.h"
#include "tools/TextRenderer.h"
#include "tools/TextTool.h"
#include "tools/ToolManager.h"

namespace {

// ---------------------------------------------------------------------------------------------
// What the system offers, asked directly.

struct Face {
  std::string name;
  DWORD type;
};

int CALLBACK CollectFace(const LOGFONTA* logFont, const TEXTMETRICA*, DWORD type, LPARAM param) {
  reinterpret_cast<std::vector<Face>*>(param)->push_back(Face{logFont->lfFaceName, type});
  return 1;
}

std::vector<Face> SystemFaces() {
  std::vector<Face> faces;
  HDC dc = GetDC(nullptr);
  LOGFONTA query = {};
  query.lfCharSet = DEFAULT_CHARSET;
  EnumFontFamiliesExA(dc, &query, CollectFace, reinterpret_cast<LPARAM>(&faces), 0);
  ReleaseDC(nullptr, dc);
  return faces;
}

std::string Upper(const std::string& s) {
  std::string u = s;
  for (char& c : u)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

// A TrueType face with latin letters: Tahoma when present, else the first other one.
std::string PickTrueTypeFace() {
  std::string found;
  for (const Face& face : SystemFaces()) {
    if (!(face.type & TRUETYPE_FONTTYPE) || face.name.empty() || face.name[0] == '@')
      continue;
    if (face.name == "Tahoma")
      return face.name;
    const std::string upper = Upper(face.name);
    if (found.empty() && upper.find("MARLETT") == std::string::npos &&
        upper.find("SYMBOL") == std::string::npos && upper.find("WINGDING") == std::string::npos &&
        upper.find("WEBDING") == std::string::npos)
      found = face.name;
  }
  return found;
}

// The same text drawn with GDI straight into a DIB: white on black, one byte per pixel.
struct Reference {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> coverage;
  uint8_t At(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= width || y >= height)
      return 0;
    return coverage[static_cast<size_t>(y) * width + x];
  }
  int32_t Covered() const {
    int32_t n = 0;
    for (uint8_t v : coverage)
      n += v != 0;
    return n;
  }
};

Reference RenderReference(const char* text, const char* face, int32_t height, int style) {
  Reference ref;
  HDC dc = CreateCompatibleDC(nullptr);
  HFONT font = CreateFontA(height, 0, 0, 0, (style & 1) ? FW_BOLD : FW_NORMAL, (style & 2) ? TRUE : FALSE,
                           FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           NONANTIALIASED_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
  HGDIOBJ oldFont = SelectObject(dc, font);
  SIZE size = {};
  GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &size);
  ABC abc = {};
  const UINT last = static_cast<unsigned char>(text[std::strlen(text) - 1]);
  if (GetCharABCWidthsA(dc, last, last, &abc) && abc.abcC < 0)
    size.cx -= abc.abcC;
  ref.width = size.cx;
  ref.height = size.cy;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = size.cx;
  info.bmiHeader.biHeight = -size.cy;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  std::memset(bits, 0, static_cast<size_t>(size.cx) * size.cy * 4);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  TextOutA(dc, 0, 0, text, static_cast<int>(std::strlen(text)));
  GdiFlush();
  const uint32_t* pixels = static_cast<const uint32_t*>(bits);
  ref.coverage.resize(static_cast<size_t>(size.cx) * size.cy);
  for (size_t i = 0; i < ref.coverage.size(); ++i)
    ref.coverage[i] = static_cast<uint8_t>(pixels[i] & 0xFF);
  SelectObject(dc, oldBitmap);
  SelectObject(dc, oldFont);
  DeleteObject(bitmap);
  DeleteObject(font);
  DeleteDC(dc);
  return ref;
}

// 2 x 2 averages with rounding, from a w x h grid (even sizes).
std::vector<uint8_t> Halve(const std::vector<uint8_t>& grid, int32_t w, int32_t h) {
  std::vector<uint8_t> out(static_cast<size_t>(w / 2) * (h / 2));
  for (int32_t y = 0; y < h / 2; ++y)
    for (int32_t x = 0; x < w / 2; ++x) {
      const int sum = grid[(2 * y) * w + 2 * x] + grid[(2 * y) * w + 2 * x + 1] +
                      grid[(2 * y + 1) * w + 2 * x] + grid[(2 * y + 1) * w + 2 * x + 1];
      out[y * (w / 2) + x] = static_cast<uint8_t>((sum + 2) >> 2);
    }
  return out;
}

std::vector<uint8_t> LevelOf(const CTextRenderer& renderer, int level) {
  const CMaskArray* mask = renderer.GetLevel(level);
  if (!mask)
    return {};
  return MaskOf(*mask);
}

// ---------------------------------------------------------------------------------------------
// Font list

TEST(FontListTest, HoldsEverySystemFamilyOnceSortedWithoutRegardToCase) {
  CFontList list;
  ASSERT_TRUE(list.Enumerate());
  const std::vector<Face> faces = SystemFaces();
  ASSERT_FALSE(faces.empty());
  EXPECT_GT(list.count, 0);
  std::vector<std::string> names;
  for (CFontListItem* item = list.GetFirst(); item; item = item->GetNext())
    names.push_back(item->name.text);
  EXPECT_EQ(static_cast<int32_t>(names.size()), list.count);
  for (size_t i = 1; i < names.size(); ++i)
    EXPECT_LT(Upper(names[i - 1]), Upper(names[i])) << names[i - 1] << " / " << names[i];
  // Every reported face is there, with its flags OR-ed over its reports.
  for (const Face& face : faces) {
    CFontListItem* item = list.Find(face.name.c_str());
    ASSERT_NE(item, nullptr) << face.name;
    if (face.type & TRUETYPE_FONTTYPE) {
      EXPECT_EQ(item->trueType, 1) << face.name;
    }
    if (face.type & RASTER_FONTTYPE) {
      EXPECT_EQ(item->raster, 1) << face.name;
    }
  }
  // Enumerating again does not pile up entries.
  const int32_t count = list.count;
  ASSERT_TRUE(list.Enumerate());
  EXPECT_EQ(list.count, count);
}

TEST(FontListTest, ReportsOfOneFaceMergeAndFlagsFollowTheLastReport) {
  CFontList list;
  list.AddReportedFace("Beta", TRUETYPE_FONTTYPE);
  list.AddReportedFace("Beta", RASTER_FONTTYPE);  // same head: flags replaced
  EXPECT_EQ(list.count, 1);
  EXPECT_EQ(list.GetFirst()->raster, 1);
  EXPECT_EQ(list.GetFirst()->trueType, 0);
  list.AddReportedFace("alpha", 0);
  EXPECT_EQ(list.count, 2);
  EXPECT_STREQ(list.GetFirst()->name.text, "alpha");
}

CFontList* MakeList(const std::vector<const char*>& names) {
  CFontList* list = new CFontList();
  for (const char* name : names) {
    CFontListItem* item = new CFontListItem();
    item->name.Assign(name);
    list->Append(item);
  }
  return list;
}

TEST(FontListTest, BestMatchIsTheLongestCommonPrefixFirstOnTies) {
  std::unique_ptr<CFontList> list(MakeList({"Arial", "Courier New", "Tahoma", "Times New Roman", "Tiny"}));
  EXPECT_STREQ(list->FindBestMatch(nullptr)->name.text, "Arial");
  EXPECT_STREQ(list->FindBestMatch("")->name.text, "Arial");
  EXPECT_STREQ(list->FindBestMatch("t")->name.text, "Tahoma");
  EXPECT_STREQ(list->FindBestMatch("ti")->name.text, "Times New Roman");
  EXPECT_STREQ(list->FindBestMatch("TIN")->name.text, "Tiny");
  EXPECT_STREQ(list->FindBestMatch("courier new bold")->name.text, "Courier New");
  EXPECT_STREQ(list->FindBestMatch("zzz")->name.text, "Arial");
  CFontList empty;
  EXPECT_EQ(empty.FindBestMatch("a"), nullptr);
  EXPECT_EQ(empty.FindBestMatch(nullptr), nullptr);
}

// ---------------------------------------------------------------------------------------------
// Renderer

TEST(TextRendererTest, BufferSizesArePowersOfTwoThatShrinkLate) {
  EXPECT_EQ(CTextRenderer::FitBufferSize(0, 0), 0);
  EXPECT_EQ(CTextRenderer::FitBufferSize(0, 1), 1);
  EXPECT_EQ(CTextRenderer::FitBufferSize(0, 5), 8);
  EXPECT_EQ(CTextRenderer::FitBufferSize(0, 64), 64);
  EXPECT_EQ(CTextRenderer::FitBufferSize(0, 65), 128);
  EXPECT_EQ(CTextRenderer::FitBufferSize(128, 40), 128);  // 40 is not below a quarter
  EXPECT_EQ(CTextRenderer::FitBufferSize(128, 31), 64);
  EXPECT_EQ(CTextRenderer::FitBufferSize(128, 7), 16);
  EXPECT_EQ(CTextRenderer::FitBufferSize(128, 0), 0);
  EXPECT_EQ(CTextRenderer::FitBufferSize(128, -5), 0);
}

TEST(TextRendererTest, SetBufferSizeMakesTheBitmapAndTheMaskLevels) {
  CTextRenderer renderer;
  EXPECT_EQ(renderer.GetLevel(3), nullptr);
  ASSERT_TRUE(renderer.SetBufferSize(10, 20));
  EXPECT_EQ(renderer.GetBufferWidth(), 16);
  EXPECT_EQ(renderer.GetBufferHeight(), 32);
  for (int level = 0; level <= 3; ++level) {
    ASSERT_NE(renderer.GetLevel(level), nullptr);
    EXPECT_EQ(renderer.GetLevel(level)->width, 16 >> (3 - level));
    EXPECT_EQ(renderer.GetLevel(level)->height, 32 >> (3 - level));
  }
  // Small sizes stay at multiples of 8.
  ASSERT_TRUE(renderer.SetBufferSize(3, 3));
  EXPECT_EQ(renderer.GetBufferWidth(), 8);
  EXPECT_EQ(renderer.GetBufferHeight(), 8);
  ASSERT_TRUE(renderer.SetBufferSize(0, 0));
  EXPECT_EQ(renderer.GetBufferWidth(), 0);
  EXPECT_EQ(renderer.GetBufferHeight(), 0);
  EXPECT_EQ(renderer.GetLevel(3), nullptr);
  EXPECT_NE(renderer.GetDC(), nullptr);
}

TEST(TextRendererTest, AnAbsurdBufferSizeFailsAndLeavesAnEmptyRenderer) {
  CTextRenderer renderer;
  ASSERT_TRUE(renderer.SetBufferSize(64, 64));
  EXPECT_FALSE(renderer.SetBufferSize(0x7fffffff, 0x7fffffff));
  EXPECT_EQ(renderer.GetBufferWidth(), 0);
  EXPECT_EQ(renderer.GetLevel(3), nullptr);
  EXPECT_FALSE(renderer.SetBufferSize(100000, 100000));  // 40 GB of bitmap
  EXPECT_EQ(renderer.GetBufferWidth(), 0);
  // Nothing is drawn from an empty renderer, and it recovers.
  renderer.SetAutoSize(false);
  renderer.Render("TEXT");
  EXPECT_EQ(renderer.GetDrawnWidth(), 0);
  ASSERT_TRUE(renderer.SetBufferSize(64, 64));
  EXPECT_EQ(renderer.GetBufferWidth(), 64);
}

TEST(TextRendererTest, AnEmptyTextMeasuresAndDrawsNothing) {
  CTextRenderer renderer;
  renderer.SetAutoSize(true);
  SIZE size = renderer.Measure("");
  EXPECT_EQ(size.cx, 0);
  EXPECT_EQ(size.cy, 0);
  size = renderer.Measure(nullptr);
  EXPECT_EQ(size.cx, 0);
  size = renderer.Render("");
  EXPECT_EQ(size.cx, 0);
  EXPECT_EQ(renderer.GetDrawnWidth(), 0);
  EXPECT_EQ(renderer.GetDrawnHeight(), 0);
  EXPECT_EQ(renderer.GetBufferWidth(), 0);
}

TEST(TextRendererTest, RendersWhatTheFontEngineDrawsAndReducesItIntoTheLevels) {
  const std::string face = PickTrueTypeFace();
  ASSERT_FALSE(face.empty()) << "no TrueType font installed";
  for (int style = 0; style <= 3; ++style) {
    SCOPED_TRACE(style);
    CTextRenderer renderer;
    renderer.SetAutoSize(true);
    renderer.SetFontName(face.c_str());
    renderer.SetHeight(-17);
    renderer.SetStyle(style);
    const SIZE size = renderer.Render("Quick fox");
    const Reference ref = RenderReference("Quick fox", face.c_str(), -17, style);
    ASSERT_GT(ref.Covered(), 20);
    EXPECT_EQ(size.cx, ref.width);
    EXPECT_EQ(size.cy, ref.height);
    EXPECT_EQ(renderer.GetMeasuredWidth(), ref.width);
    EXPECT_EQ(renderer.GetDrawnWidth(), ref.width);
    EXPECT_EQ(renderer.GetDrawnHeight(), ref.height);
    const int32_t bw = renderer.GetBufferWidth(), bh = renderer.GetBufferHeight();
    EXPECT_GE(bw, ref.width);
    EXPECT_GE(bh, ref.height);
    EXPECT_EQ(bw % 8, 0);
    const std::vector<uint8_t> top = LevelOf(renderer, 3);
    ASSERT_EQ(top.size(), static_cast<size_t>(bw) * bh);
    int32_t mismatches = 0;
    for (int32_t y = 0; y < bh; ++y)
      for (int32_t x = 0; x < bw; ++x)
        mismatches += top[y * bw + x] != ref.At(x, y);
    EXPECT_EQ(mismatches, 0);
    // Levels 2, 1, 0 are rounded 2 x 2 averages.
    std::vector<uint8_t> expected = top;
    int32_t w = bw, h = bh;
    for (int level = 2; level >= 0; --level) {
      expected = Halve(expected, w, h);
      w /= 2;
      h /= 2;
      EXPECT_EQ(LevelOf(renderer, level), expected) << "level " << level;
    }
  }
}

TEST(TextRendererTest, AnUnknownFaceFallsBackToAFontThatDraws) {
  CTextRenderer renderer;
  renderer.SetAutoSize(true);
  renderer.SetFontName("No Such Face Xq");
  renderer.SetHeight(-15);
  const SIZE size = renderer.Render("Fallback");
  EXPECT_GT(size.cx, 0);
  EXPECT_GT(size.cy, 0);
  const std::vector<uint8_t> top = LevelOf(renderer, 3);
  int covered = 0;
  for (uint8_t v : top)
    covered += v != 0;
  EXPECT_GT(covered, 10);
}

TEST(TextRendererTest, AMemoryLimitCutsALongTextOnTheRight) {
  const std::string face = PickTrueTypeFace();
  ASSERT_FALSE(face.empty());
  std::string longText;
  for (int i = 0; i < 200; ++i)
    longText += "Wide text ";
  CTextRenderer renderer;
  renderer.SetAutoSize(true);
  renderer.SetFontName(face.c_str());
  renderer.SetHeight(-12);
  const SIZE full = renderer.Measure(longText.c_str());
  ASSERT_GT(full.cx, 1000);
  // Room for 100 columns at that height.
  const uint32_t limit = static_cast<uint32_t>(std::floor(5.328125 * full.cy * 100));
  renderer.SetMemoryLimit(limit);
  const SIZE size = renderer.Render(longText.c_str());
  EXPECT_EQ(size.cx, full.cx);
  EXPECT_EQ(renderer.GetMeasuredWidth(), full.cx);
  EXPECT_EQ(renderer.GetBufferWidth(), 128);  // the buffer fitted to the capped width
  EXPECT_EQ(renderer.GetDrawnWidth(), 128);
  EXPECT_EQ(renderer.GetDrawnHeight(), full.cy);
  // What is drawn is the left part of the text.
  const Reference ref = RenderReference(longText.c_str(), face.c_str(), -12, 0);
  const std::vector<uint8_t> top = LevelOf(renderer, 3);
  int32_t mismatches = 0;
  for (int32_t y = 0; y < full.cy; ++y)
    for (int32_t x = 0; x < 128; ++x)
      mismatches += top[y * 128 + x] != ref.At(x, y);
  EXPECT_EQ(mismatches, 0);
  // Without the limit the whole text fits.
  renderer.SetMemoryLimit(0);
  renderer.Render(longText.c_str());
  EXPECT_EQ(renderer.GetDrawnWidth(), full.cx);
}

// ---------------------------------------------------------------------------------------------
// Text tool

class TextToolTest : public DrawingToolTest {
protected:
  void SetUp() override {
    DrawingToolTest::SetUp();
    face = PickTrueTypeFace();
    ASSERT_FALSE(face.empty());
    g_Settings.drawingToolsTextFontName->SetValue(face.c_str());
    g_Settings.drawingToolsTextFontStyle->SetValue(0);
    g_Settings.drawingToolsTextFontSize->SetValue(13);
    g_Settings.limitsToolsTextMemoryLimit->SetValue(16);
  }
  void TearDown() override {
    tool.Deactivate();
    g_Settings.drawingToolsTextFontName->ResetToDefault();
    g_Settings.drawingToolsTextFontStyle->ResetToDefault();
    g_Settings.drawingToolsTextFontSize->ResetToDefault();
    g_Settings.limitsToolsTextMemoryLimit->ResetToDefault();
    DrawingToolTest::TearDown();
  }

  // Hover, press and release at pos as the main view does.
  void Click(int32_t button, const Point& pos) {
    tool.PointerEntered(pos);
    tool.GetCursor(pos);
    tool.MouseMove(pos);
    ASSERT_TRUE(tool.MouseDown(button, pos));
    EXPECT_TRUE(tool.MouseUp(button, pos));
    tool.EndDrag();
  }

  // The layer as the click should leave it: the reference text with its box centred on pos
  // and snapped to whole working pixels (step units per pixel).
  std::vector<uint32_t> Expected(const CPixelArray& before, const Reference& ref, const Point& pos,
                                 int32_t step, uint32_t color, const CMaskArray* selection = nullptr) {
    const int64_t w = int64_t(ref.width) * step, h = int64_t(ref.height) * step;
    const int64_t left = int64_t(std::floor((pos.x + step / 2 - w / 2) / double(step)));
    const int64_t top = int64_t(std::floor((pos.y + step / 2 - h / 2) / double(step)));
    std::vector<uint32_t> out = PixelsOf(before);
    for (int32_t y = 0; y < before.height; ++y)
      for (int32_t x = 0; x < before.width; ++x) {
        uint32_t v = ref.At(int32_t(x - left), int32_t(y - top));
        if (selection)
          v = (selection->data[y * selection->width + x] * v * 65793u + 0x800000u) >> 24;
        if (v)
          out[y * before.width + x] = BlendArgb(out[y * before.width + x], color, v);
      }
    return out;
  }

  CTextTool tool;
  std::string face;
};

TEST_F(TextToolTest, StartsReadyWithItsTextAndBelongsToTheToolSet) {
  EXPECT_EQ(tool.GetId(), 90);
  EXPECT_EQ(tool.GetState(), 1);
  EXPECT_STREQ(tool.GetText(), "TEXT");
  EXPECT_EQ(g_TextTool, &g_ToolManager.text);
  EXPECT_EQ(static_cast<CTool*>(&g_ToolManager.text), g_ToolManager.FindTool(90));
}

TEST_F(TextToolTest, ActivationRendersWithTheSettingsAndDeactivationFreesTheBuffer) {
  g_Settings.drawingToolsTextFontStyle->SetValue(3);
  tool.Activate();
  EXPECT_TRUE(tool.IsActive());
  CTextRenderer& renderer = tool.GetRenderer();
  EXPECT_STREQ(renderer.GetFontName(), face.c_str());
  EXPECT_EQ(renderer.GetHeight(), -13);
  EXPECT_EQ(renderer.GetStyle(), 3);
  EXPECT_EQ(renderer.GetMemoryLimit(), 16u << 20);
  EXPECT_TRUE(renderer.GetAutoSize());
  const Reference ref = RenderReference("TEXT", face.c_str(), -13, 3);
  EXPECT_EQ(renderer.GetDrawnWidth(), ref.width);
  EXPECT_EQ(renderer.GetDrawnHeight(), ref.height);
  tool.Deactivate();
  EXPECT_FALSE(tool.IsActive());
  EXPECT_EQ(renderer.GetBufferWidth(), 0);
  EXPECT_EQ(renderer.GetLevel(3), nullptr);
  // A style out of range renders regular.
  g_Settings.drawingToolsTextFontStyle->SetValue(9);
  tool.Activate();
  EXPECT_EQ(renderer.GetStyle(), 0);
}

TEST_F(TextToolTest, AClickImprintsTheTextAsOneUndoableAction) {
  TestDocument doc(80, 40);
  tool.Activate();
  const std::vector<uint32_t> original = PixelsOf(*doc.layer->GetPixelArray());
  const Reference ref = RenderReference("TEXT", face.c_str(), -13, 0);
  ASSERT_GT(ref.Covered(), 10);
  const Point pos = Px(30.3, 17.8);
  const std::vector<uint32_t> expected = Expected(*doc.layer->GetPixelArray(), ref, pos, 256, 0xFFFF0000u);
  Click(CTool::BUTTON_LEFT, pos);
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixelArray()), expected);
  EXPECT_EQ(PixelsOf(*doc.image->GetComposite()), expected);  // recomposed
  ASSERT_EQ(doc.image->GetHistory()->GetCount(), 1);
  EXPECT_STREQ(doc.image->GetHistory()->GetCurrent()->GetName(), "Text");
  EXPECT_EQ(tool.GetState(), 1);
  EXPECT_EQ(host.refits, 1);
  EXPECT_EQ(host.previewRefreshes, 1);
  EXPECT_EQ(host.commandStateUpdates, 1);
  ASSERT_EQ(host.refreshedLayers.size(), 1u);
  EXPECT_EQ(host.refreshedLayers[0], doc.layer);
  ASSERT_TRUE(doc.image->GetHistory()->Undo());
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixelArray()), original);
  ASSERT_TRUE(doc.image->GetHistory()->Redo());
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixelArray()), expected);
}

TEST_F(TextToolTest, TheRightButtonImprintsInTheSecondaryColourAndTheBoxIsClippedAtTheEdges) {
  TestDocument doc(40, 30);
  tool.SetText("Wg");  // not active: stored only
  EXPECT_STREQ(tool.GetText(), "Wg");
  tool.Activate();
  const Reference ref = RenderReference("Wg", face.c_str(), -13, 0);
  for (const Point& pos : {Px(1, 1), Px(39.9, 29.5), Px(-2, 15)}) {
    const std::vector<uint32_t> expected =
        Expected(*doc.layer->GetPixelArray(), ref, pos, 256, 0xFF0000FFu);
    Click(CTool::BUTTON_RIGHT, pos);
    EXPECT_EQ(PixelsOf(*doc.layer->GetPixelArray()), expected);
  }
  EXPECT_EQ(doc.image->GetHistory()->GetCount(), 3);
  // Entirely outside: nothing.
  Click(CTool::BUTTON_LEFT, Px(-300, 15));
  EXPECT_EQ(doc.image->GetHistory()->GetCount(), 3);
}

TEST_F(TextToolTest, AnActiveSelectionScalesTheCoverage) {
  TestDocument doc(64, 32);
  SetSelection(doc.image->GetSelection(), [](int32_t x, int32_t) { return x < 32 ? 255 : 100; });
  tool.SetText("HHHHHH");
  tool.Activate();
  const Reference ref = RenderReference("HHHHHH", face.c_str(), -13, 0);
  const Point pos = Px(32, 16);
  const std::vector<uint32_t> expected = Expected(*doc.layer->GetPixelArray(), ref, pos, 256, 0xFFFF0000u,
                                                  doc.image->GetSelection()->GetMask());
  Click(CTool::BUTTON_LEFT, pos);
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixelArray()), expected);
}

TEST_F(TextToolTest, OnASupersampledLayerTheTextGoesInAtWorkingResolution) {
  TestDocument doc(24, 12, true);
  g_Settings.drawingToolsTextFontSize->SetValue(40);
  tool.Activate();
  const Reference ref = RenderReference("TEXT", face.c_str(), -40, 0);
  CPixelArray* work = doc.layer->GetPixelArray();
  ASSERT_EQ(work->width, 24 * 8);
  const Point pos = Px(12.2, 6.1);
  const std::vector<uint32_t> expected = Expected(*work, ref, pos, 32, 0xFFFF0000u);
  const std::vector<uint32_t> plainBefore = PixelsOf(*doc.image->GetComposite());
  Click(CTool::BUTTON_LEFT, pos);
  EXPECT_EQ(PixelsOf(*work), expected);
  ASSERT_EQ(doc.image->GetHistory()->GetCount(), 1);
  // The text covers about an eighth of its size in image pixels, anti-aliased.
  const CPixelArray* plain = doc.image->GetComposite();
  int changedColumns = 0, partial = 0;
  for (int32_t x = 0; x < plain->width; ++x) {
    bool changed = false;
    for (int32_t y = 0; y < plain->height; ++y) {
      const uint32_t p = plain->GetPixel(x, y);
      const uint32_t before = plainBefore[y * plain->width + x];
      changed |= p != before;
    }
    changedColumns += changed;
  }
  for (int32_t i = 0; i < plain->width * plain->height; ++i) {
    const uint32_t red = (plain->data[i] >> 16) & 0xFF;
    partial += red != 0xFF && plain->data[i] != plainBefore[i];
  }
  EXPECT_LE(changedColumns, (ref.width + 7) / 8 + 1);
  EXPECT_GE(changedColumns, ref.width / 8 - 1);
  EXPECT_GT(partial, 0);
}

TEST_F(TextToolTest, AltPicksAColourWithoutEditing) {
  TestDocument doc(32, 16);
  tool.Activate();
  host.keys.insert(CTool::KEY_ALT);
  host.pickAnswers = true;
  host.pickColor = CColor(0xFF123456u);
  const std::vector<uint32_t> original = PixelsOf(*doc.layer->GetPixelArray());
  EXPECT_EQ(tool.GetCursor(Px(4, 4)), reinterpret_cast<HCURSOR>(static_cast<INT_PTR>(221)));
  EXPECT_EQ(tool.GetMode(), 2);
  tool.ShowHint();
  EXPECT_EQ(host.helpText, "Left/right click to pick a color.");
  ASSERT_TRUE(tool.MouseDown(CTool::BUTTON_RIGHT, Px(4, 4)));
  EXPECT_EQ(tool.GetState(), 3);
  EXPECT_EQ(GetSecondaryColor().value, 0xFF123456u);
  host.pickColor = CColor(0xFF654321u);
  tool.MouseMove(Px(5, 4));
  EXPECT_EQ(GetSecondaryColor().value, 0xFF654321u);
  EXPECT_FALSE(tool.MouseUp(CTool::BUTTON_LEFT, Px(5, 4)));  // not the pressed button
  EXPECT_TRUE(tool.MouseUp(CTool::BUTTON_RIGHT, Px(5, 4)));
  tool.EndDrag();
  EXPECT_EQ(tool.GetState(), 1);
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixelArray()), original);
  EXPECT_EQ(doc.image->GetHistory()->GetCount(), 0);
  // Alt released: back to imprinting, with the text cursor.
  host.keys.clear();
  EXPECT_EQ(tool.GetCursor(Px(4, 4)), reinterpret_cast<HCURSOR>(static_cast<INT_PTR>(CURSOR_TEXT)));
  tool.ShowHint();
  EXPECT_EQ(host.helpText, "Left/right click to imprint the text. Use ALT to pick colors.");
  EXPECT_TRUE(tool.KeyDown(CTool::KEY_ALT, false));
  EXPECT_FALSE(tool.KeyDown('A', false));
}

TEST_F(TextToolTest, AHiddenLayerAcceptsTheClickButChangesNothing) {
  TestDocument doc(32, 16);
  doc.layer->SetVisible(false);
  tool.Activate();
  const std::vector<uint32_t> original = PixelsOf(*doc.layer->GetPixelArray());
  EXPECT_EQ(tool.GetCursor(Px(8, 8)), reinterpret_cast<HCURSOR>(static_cast<INT_PTR>(200)));
  EXPECT_EQ(tool.GetMode(), 0);
  tool.ShowHint();
  EXPECT_EQ(host.helpText, "");
  ASSERT_TRUE(tool.MouseDown(CTool::BUTTON_LEFT, Px(8, 8)));
  EXPECT_EQ(tool.GetState(), 0);
  EXPECT_TRUE(tool.MouseUp(CTool::BUTTON_LEFT, Px(8, 8)));
  tool.EndDrag();
  EXPECT_EQ(tool.GetState(), 1);
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixelArray()), original);
  EXPECT_EQ(doc.image->GetHistory()->GetCount(), 0);
  // Middle and other buttons are refused.
  EXPECT_FALSE(tool.MouseDown(3, Px(8, 8)));
}

TEST_F(TextToolTest, AnEmptyTextImprintsNothing) {
  TestDocument doc(32, 16);
  tool.SetText("");
  tool.Activate();
  EXPECT_EQ(tool.GetRenderer().GetDrawnWidth(), 0);
  const std::vector<uint32_t> original = PixelsOf(*doc.layer->GetPixelArray());
  Click(CTool::BUTTON_LEFT, Px(10, 8));
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixelArray()), original);
  EXPECT_EQ(doc.image->GetHistory()->GetCount(), 0);
  // Nothing to show either.
  std::vector<uint32_t> view(32 * 16, 0xFF808080u), over(view);
  CToolOverlay overlay{32, 16, over.data(), view.data(), nullptr, nullptr, Rect{0, 0, 32, 16}};
  tool.DrawOverlay(overlay);
  EXPECT_EQ(over, view);
}

TEST_F(TextToolTest, AbsurdSizesAreHeldToTheRangeOfTheSetting) {
  TestDocument doc(32, 16);
  g_Settings.drawingToolsTextFontSize->SetValue(4000000);
  tool.Activate();
  EXPECT_EQ(tool.GetRenderer().GetHeight(), -999);
  EXPECT_GT(tool.GetRenderer().GetDrawnHeight(), 0);
  // The memory limit bounds the buffer whatever the size.
  const uint64_t bytes = uint64_t(tool.GetRenderer().GetBufferWidth()) * tool.GetRenderer().GetBufferHeight();
  EXPECT_LE(bytes * 4, uint64_t(2 * 16) << 20);
  Click(CTool::BUTTON_LEFT, Px(16, 8));
  EXPECT_LE(doc.image->GetHistory()->GetCount(), 1);
  g_Settings.drawingToolsTextFontSize->SetValue(0);
  tool.Activate();
  EXPECT_EQ(tool.GetRenderer().GetHeight(), -1);
}

TEST_F(TextToolTest, TheFeedbackShowsTheMaskUnderThePointerAtTheZoom) {
  TestDocument doc(64, 32);
  tool.Activate();
  host.zoom = 2;
  const Reference ref = RenderReference("TEXT", face.c_str(), -13, 0);
  const int32_t W = 128, H = 64;
  std::vector<uint32_t> view(W * H, 0xFF000000u), over(view);
  CToolOverlay overlay{W, H, over.data(), view.data(), nullptr, nullptr, Rect{0, 0, W, H}};
  const Point pos = Px(20.5, 12.5);
  tool.PointerEntered(pos);
  tool.GetCursor(pos);
  tool.MouseMove(pos);
  tool.DrawOverlay(overlay);
  const int32_t left = int32_t(std::floor((pos.x + 128 - ref.width * 128) / 256.0));
  const int32_t top = int32_t(std::floor((pos.y + 128 - ref.height * 128) / 256.0));
  int32_t mismatches = 0;
  for (int32_t y = 0; y < H; ++y)
    for (int32_t x = 0; x < W; ++x) {
      const uint32_t v = ref.At(x / 2 - left, y / 2 - top);
      uint32_t expected = 0xFF000000u;
      if (v) {
        const uint32_t c = uint32_t(std::floor(255.0 * (0.5f * v / 255.0f) + 0.5));
        expected = 0xFF000000u | c << 16 | c << 8 | c;
      }
      const uint32_t got = over[y * W + x];
      mismatches += std::abs(int(got & 0xFF) - int(expected & 0xFF)) > 1;
    }
  EXPECT_EQ(mismatches, 0);
  // Away from the view: nothing is drawn by the view's protocol, and the box is invalidated.
  host.overlayInvalidations.clear();
  tool.PointerLeft();
  EXPECT_TRUE(tool.IsAway());
  EXPECT_FALSE(host.overlayInvalidations.empty());
}

TEST_F(TextToolTest, APressShowsTheTextAtTheSnappedImprintPosition) {
  TestDocument doc(64, 32);
  tool.Activate();
  const Point pos = Px(20.7, 12.2);
  tool.PointerEntered(pos);
  tool.GetCursor(pos);
  ASSERT_TRUE(tool.MouseDown(CTool::BUTTON_LEFT, pos));
  EXPECT_EQ(tool.GetState(), 2);
  const Rect box = tool.GetTextBox(tool.GetImprintPosition());
  EXPECT_EQ(box.left % 256, 0);
  EXPECT_EQ(box.top % 256, 0);
  const Rect snapped = tool.GetSnappedTextBox(pos);
  EXPECT_EQ(box.left, snapped.left);
  EXPECT_EQ(box.top, snapped.top);
  EXPECT_EQ(box.right - box.left, tool.GetRenderer().GetDrawnWidth() * 256);
  EXPECT_FALSE(tool.WantsAutoScroll());
  EXPECT_TRUE(tool.MouseUp(CTool::BUTTON_LEFT, pos));
  tool.EndDrag();
}

TEST_F(TextToolTest, ChangingTheTextWhileActiveRendersAgainAndRedraws) {
  TestDocument doc(32, 16);
  tool.Activate();
  const int32_t before = tool.GetRenderer().GetDrawnWidth();
  host.overlayInvalidations.clear();
  const int restores = host.cursorRestores;
  tool.SetText("TEXTTEXT");
  EXPECT_GT(tool.GetRenderer().GetDrawnWidth(), before);
  ASSERT_FALSE(host.overlayInvalidations.empty());
  EXPECT_TRUE(host.overlayInvalidations.back().IsEmpty());  // the whole overlay
  EXPECT_EQ(host.cursorRestores, restores + 1);
}


}  // namespace
