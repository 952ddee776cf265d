#include <gtest/gtest.h>
#include <windows.h>
#include <cstdlib>
#include <string>
#include <vector>
#include "ToolTestSupport.h"
#include "tools/StrokePreview.h"
#include "tools/ToolManager.h"
#include "wul/WULEdit.h"
#include "wul/WULFramedWindow.h"
#include "wul/WULInit.h"
#include "wul/WULPanel.h"

// A hidden top-level framework window of that client size (TopLevelWindow.cpp).
CWULFramedWindow* MakeTopLevelWindow(int clientWidth, int clientHeight);

namespace {

const int kSide = 50;

// A host whose option controls live in a framework window.
class PaneHost : public RecordingHost {
public:
  CWULInteractor* GetOptionHostWindow() override { return window; }
  CWULInteractor* window = nullptr;
};

bool InHardDisc(int d, int j, int i) {
  const int c = kSide - 1 - d % 2;  // doubled centre
  const int dx = 2 * j - c, dy = 2 * i - c;
  return dx * dx + dy * dy <= d * d;
}

// The label in the spin edit's parent that ends left of it on its row.
CWULLabel* LabelOf(CWULSpinEdit* spin) {
  for (CWULInteractor* child = spin->parent->firstChild; child; child = child->nextSibling) {
    CWULLabel* label = dynamic_cast<CWULLabel*>(child);
    if (label && label->GetRight() <= spin->GetX() && label->GetBottom() > spin->GetY() &&
        label->GetY() < spin->GetBottom())
      return label;
  }
  return nullptr;
}

class PaintOptionsTest : public testing::Test {
protected:
  void SetUp() override {
    WULInit(GetModuleHandleA(nullptr));
    window = MakeTopLevelWindow(220, 100);
    host.window = window;
    g_Settings.drawingToolsPencilSize->SetValue(7);
    g_Settings.drawingToolsEraserSize->SetValue(16);
    g_Settings.drawingToolsBrushSize->SetValue(8);
    g_Settings.drawingToolsBrushHardness->SetValue(0);
    g_Settings.drawingToolsBrushOpacity->SetValue(100);
  }
  void TearDown() override {
    g_ToolManager.ClearActiveTool();
    window->Close();
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageA(&message);
    g_Settings.drawingToolsPencilSize->ResetToDefault();
    g_Settings.drawingToolsEraserSize->ResetToDefault();
    g_Settings.drawingToolsBrushSize->ResetToDefault();
    g_Settings.drawingToolsBrushHardness->ResetToDefault();
    g_Settings.drawingToolsBrushOpacity->ResetToDefault();
  }

  void Build(CTool* tool) {
    g_ToolManager.SetActiveTool(tool);
    tool->CreateOptionsPane();
    window->IncarnateTree(nullptr);
    window->Show();
  }

  static CWULImage* Picture() {
    CWULPicture* picture = GetPaintToolOptions().preview;
    return picture ? picture->GetImage() : nullptr;
  }
  static std::vector<uint32_t> Pixels() {
    CWULImage* image = Picture();
    std::vector<uint32_t> out;
    if (image)
      for (int n = 0; n < image->width * image->height; ++n)
        out.push_back(image->pixels[n] & 0xFFFFFF);
    return out;
  }
  static uint32_t Back() { return GetPaintToolOptions().preview->GetColor().value & 0xFFFFFF; }
  static uint32_t Ink() { return GetPaintToolOptions().preview->GetFont().color.value & 0xFFFFFF; }
  // The picture mixes the text colour into the background by coverage.
  static uint32_t Mixed(float coverage) {
    CWULPicture* picture = GetPaintToolOptions().preview;
    return picture->GetColor().Blend(picture->GetFont().color, coverage).value & 0xFFFFFF;
  }
  static int InkPixels() {
    int n = 0;
    for (uint32_t p : Pixels())
      n += p == Ink();
    return n;
  }
  void ExpectHardDisc(int d) {
    SCOPED_TRACE(d);
    CWULImage* image = Picture();
    ASSERT_NE(nullptr, image);
    for (int i = 0; i < kSide; ++i)
      for (int j = 0; j < kSide; ++j)
        ASSERT_EQ(InHardDisc(d, j, i) ? Ink() : Back(), image->GetPixel(j, i) & 0xFFFFFF) << j << "," << i;
  }
  static void Key(CWULSpinEdit* spin, int key) {
    HWND target = spin->GetEditWindow() ? spin->GetEditWindow() : spin->GetHandle();
    SendMessageA(target, WM_KEYDOWN, key, 1);
    SendMessageA(target, WM_KEYUP, key, 0xC0000001);
  }

  PaneHost host;
  CWULFramedWindow* window = nullptr;
};

TEST_F(PaintOptionsTest, PencilPaneShowsTheSizeBesideAFramedPicture) {
  Build(&g_ToolManager.pencil);
  const CPaintToolOptions& options = GetPaintToolOptions();
  ASSERT_NE(nullptr, options.size);
  ASSERT_NE(nullptr, options.preview);
  EXPECT_EQ(nullptr, options.hardness);
  EXPECT_EQ(nullptr, options.opacity);
  EXPECT_EQ(&g_ToolManager.pencil, options.tool);
  // One container in the host holds everything.
  ASSERT_NE(nullptr, options.pane);
  EXPECT_EQ(window, options.pane->parent);
  EXPECT_EQ(options.pane, window->firstChild);
  EXPECT_EQ(nullptr, options.pane->nextSibling);

  EXPECT_EQ(7, options.size->GetValueRounded());
  EXPECT_EQ(1.0, options.size->GetMinimum());
  EXPECT_EQ(100.0, options.size->GetMaximum());
  EXPECT_EQ(36, options.size->GetWidth());
  EXPECT_EQ(16, options.size->GetHeight());
  CWULLabel* label = LabelOf(options.size);
  ASSERT_NE(nullptr, label);
  EXPECT_STREQ("Size:", label->GetText());

  // The picture fills a framed 52 x 52 box.
  CWULPanel* box = dynamic_cast<CWULPanel*>(options.preview->parent);
  ASSERT_NE(nullptr, box);
  EXPECT_EQ(52, box->GetWidth());
  EXPECT_EQ(52, box->GetHeight());
  EXPECT_NE(0, box->GetOuterEdge());
  EXPECT_EQ(kSide, options.preview->GetWidth());
  EXPECT_EQ(kSide, options.preview->GetHeight());
  EXPECT_NE(Back(), Ink());
  ExpectHardDisc(7);

  // Filling the controls changed nothing.
  EXPECT_TRUE(host.overlayInvalidations.empty());
  EXPECT_EQ(0, host.cursorRestores);
  EXPECT_EQ(7u, g_Settings.drawingToolsPencilSize->GetValue());
}

TEST_F(PaintOptionsTest, SizeChangesAreStoredAndRedrawThePictureTheOverlayAndTheCursor) {
  Build(&g_ToolManager.pencil);
  CWULSpinEdit* size = GetPaintToolOptions().size;
  ASSERT_NE(nullptr, size);
  size->SetValue(12);
  EXPECT_EQ(12u, g_Settings.drawingToolsPencilSize->GetValue());
  ExpectHardDisc(12);
  ASSERT_EQ(1u, host.overlayInvalidations.size());
  EXPECT_TRUE(host.overlayInvalidations[0].IsEmpty());  // the whole overlay
  EXPECT_EQ(1, host.cursorRestores);

  // The arrow key steps the value like the user does.
  Key(size, VK_UP);
  EXPECT_EQ(13, size->GetValueRounded());
  EXPECT_EQ(13u, g_Settings.drawingToolsPencilSize->GetValue());
  ExpectHardDisc(13);
  EXPECT_EQ(2, host.cursorRestores);

  // Values stay within 1 to 100.
  size->SetValue(500);
  EXPECT_EQ(100u, g_Settings.drawingToolsPencilSize->GetValue());
  size->SetValue(-3);
  EXPECT_EQ(1u, g_Settings.drawingToolsPencilSize->GetValue());
  ExpectHardDisc(1);
  EXPECT_EQ(1, InkPixels());
}

TEST_F(PaintOptionsTest, EraserPaneKeepsTheEraserSize) {
  Build(&g_ToolManager.eraser);
  CWULSpinEdit* size = GetPaintToolOptions().size;
  ASSERT_NE(nullptr, size);
  EXPECT_EQ(16, size->GetValueRounded());
  ExpectHardDisc(16);
  size->SetValue(5);
  EXPECT_EQ(5u, g_Settings.drawingToolsEraserSize->GetValue());
  EXPECT_EQ(7u, g_Settings.drawingToolsPencilSize->GetValue());
  ExpectHardDisc(5);
  EXPECT_EQ(1, host.cursorRestores);
}

TEST_F(PaintOptionsTest, SizesBeyondTheBoxPrintTheNumberOverTheDisc) {
  g_Settings.drawingToolsPencilSize->SetValue(60);
  Build(&g_ToolManager.pencil);
  const std::vector<uint32_t> sixty = Pixels();
  ASSERT_EQ(static_cast<size_t>(kSide * kSide), sixty.size());
  GetPaintToolOptions().size->SetValue(70);
  const std::vector<uint32_t> seventy = Pixels();
  GetPaintToolOptions().size->SetValue(48);
  ExpectHardDisc(48);

  // Away from the middle both show the disc of diameter 48 centred in the box; the rim
  // pixels mix the colours by their covered part.
  std::vector<float> disc(kSide * kSide);
  ComputePencilPreview(100, kSide, kSide, disc.data());
  const RECT middle = {10, 14, 40, 36};
  int differing = 0;
  int cleared = 0;
  for (int i = 0; i < kSide; ++i)
    for (int j = 0; j < kSide; ++j) {
      const size_t n = static_cast<size_t>(i) * kSide + j;
      const POINT p = {j, i};
      if (!PtInRect(&middle, p)) {
        ASSERT_EQ(Mixed(disc[n]), sixty[n]) << j << "," << i;
        ASSERT_EQ(sixty[n], seventy[n]) << j << "," << i;
      } else {
        differing += sixty[n] != seventy[n];
        // The number stands out of the full disc.
        cleared += disc[n] == 1.0f && sixty[n] == Back();
      }
    }
  EXPECT_GT(differing, 5);
  EXPECT_GT(cleared, 10);
  // The disc is one pixel inside the box.
  EXPECT_EQ(Back(), sixty[24 * kSide]);
  EXPECT_EQ(Ink(), sixty[24 * kSide + 2]);
}

TEST_F(PaintOptionsTest, BrushPaneHasSizeHardnessAndOpacity) {
  g_Settings.drawingToolsBrushSize->SetValue(30);
  g_Settings.drawingToolsBrushHardness->SetValue(40);
  g_Settings.drawingToolsBrushOpacity->SetValue(55);
  Build(&g_ToolManager.brush);
  const CPaintToolOptions& options = GetPaintToolOptions();
  ASSERT_NE(nullptr, options.size);
  ASSERT_NE(nullptr, options.hardness);
  ASSERT_NE(nullptr, options.opacity);
  ASSERT_NE(nullptr, options.preview);
  EXPECT_EQ(30, options.size->GetValueRounded());
  EXPECT_EQ(40, options.hardness->GetValueRounded());
  EXPECT_EQ(55, options.opacity->GetValueRounded());
  const char* const labels[3] = {"Size:", "Hardness, %:", "Opacity, %:"};
  CWULSpinEdit* const rows[3] = {options.size, options.hardness, options.opacity};
  const double low[3] = {1, 0, 1};
  for (int r = 0; r < 3; ++r) {
    SCOPED_TRACE(labels[r]);
    CWULLabel* label = LabelOf(rows[r]);
    ASSERT_NE(nullptr, label);
    EXPECT_STREQ(labels[r], label->GetText());
    EXPECT_EQ(low[r], rows[r]->GetMinimum());
    EXPECT_EQ(100.0, rows[r]->GetMaximum());
    EXPECT_EQ(36, rows[r]->GetWidth());
    EXPECT_EQ(16, rows[r]->GetHeight());
    if (r > 0) {
      EXPECT_GE(rows[r]->GetY(), rows[r - 1]->GetBottom());
    }
  }

  // The picture is one dab with the profile, without the dab's alpha.
  std::vector<float> dab(kSide * kSide);
  ComputeBrushPreview(30, 40, kSide, kSide, dab.data());
  std::vector<uint32_t> shown = Pixels();
  for (size_t n = 0; n < shown.size(); ++n)
    ASSERT_EQ(Mixed(dab[n]), shown[n]) << n;
  EXPECT_EQ(Ink(), shown[24 * kSide + 24]);

  // Opacity is only stored.
  options.opacity->SetValue(20);
  EXPECT_EQ(20u, g_Settings.drawingToolsBrushOpacity->GetValue());
  EXPECT_EQ(shown, Pixels());
  EXPECT_TRUE(host.overlayInvalidations.empty());
  EXPECT_EQ(0, host.cursorRestores);

  // Hardness redraws the picture only.
  options.hardness->SetValue(100);
  EXPECT_EQ(100u, g_Settings.drawingToolsBrushHardness->GetValue());
  ComputeBrushPreview(30, 100, kSide, kSide, dab.data());
  shown = Pixels();
  for (size_t n = 0; n < shown.size(); ++n)
    ASSERT_EQ(Mixed(dab[n]), shown[n]) << n;
  EXPECT_TRUE(host.overlayInvalidations.empty());
  EXPECT_EQ(0, host.cursorRestores);

  // Size redraws the picture, the overlay and the cursor.
  options.size->SetValue(10);
  EXPECT_EQ(10u, g_Settings.drawingToolsBrushSize->GetValue());
  ComputeBrushPreview(10, 100, kSide, kSide, dab.data());
  shown = Pixels();
  for (size_t n = 0; n < shown.size(); ++n)
    ASSERT_EQ(Mixed(dab[n]), shown[n]) << n;
  EXPECT_EQ(1u, host.overlayInvalidations.size());
  EXPECT_EQ(1, host.cursorRestores);
  EXPECT_EQ(10, g_ToolManager.brush.GetSize());

  // Out-of-range values are held to the rows' ranges.
  options.opacity->SetValue(0);
  EXPECT_EQ(1u, g_Settings.drawingToolsBrushOpacity->GetValue());
  options.hardness->SetValue(-5);
  EXPECT_EQ(0u, g_Settings.drawingToolsBrushHardness->GetValue());
}

TEST_F(PaintOptionsTest, LargeBrushesPrintTheirSize) {
  g_Settings.drawingToolsBrushSize->SetValue(80);
  g_Settings.drawingToolsBrushHardness->SetValue(100);
  Build(&g_ToolManager.brush);
  std::vector<float> dab(kSide * kSide);
  ComputeBrushPreview(48, 100, kSide, kSide, dab.data());
  const std::vector<uint32_t> shown = Pixels();
  int cleared = 0;
  for (int i = 0; i < kSide; ++i)
    for (int j = 0; j < kSide; ++j) {
      const size_t n = static_cast<size_t>(i) * kSide + j;
      if (j < 10 || j >= 40 || i < 14 || i >= 36)
        ASSERT_EQ(Mixed(dab[n]), shown[n]) << j << "," << i;
      else
        cleared += shown[n] == Back();
    }
  EXPECT_GT(cleared, 10);
}

TEST_F(PaintOptionsTest, ClosingThePaneForgetsItsControls) {
  Build(&g_ToolManager.brush);
  ASSERT_NE(nullptr, GetPaintToolOptions().pane);
  // A later pane is not forgotten when an earlier one goes.
  CWULInteractor* first = GetPaintToolOptions().pane;
  g_ToolManager.pencil.CreateOptionsPane();
  CWULInteractor* second = GetPaintToolOptions().pane;
  ASSERT_NE(first, second);
  delete first;
  EXPECT_EQ(second, GetPaintToolOptions().pane);
  EXPECT_NE(nullptr, GetPaintToolOptions().size);
  EXPECT_NE(nullptr, GetPaintToolOptions().preview);
  EXPECT_EQ(&g_ToolManager.pencil, GetPaintToolOptions().tool);
  delete second;
  EXPECT_EQ(nullptr, GetPaintToolOptions().pane);
  EXPECT_EQ(nullptr, GetPaintToolOptions().size);
  EXPECT_EQ(nullptr, GetPaintToolOptions().preview);
  EXPECT_EQ(nullptr, GetPaintToolOptions().tool);
}

TEST_F(PaintOptionsTest, WithoutAnOptionHostNothingIsBuilt) {
  host.window = nullptr;
  for (CTool* tool : {static_cast<CTool*>(&g_ToolManager.pencil), static_cast<CTool*>(&g_ToolManager.eraser),
                      static_cast<CTool*>(&g_ToolManager.brush)}) {
    g_ToolManager.SetActiveTool(tool);
    tool->CreateOptionsPane();
    EXPECT_EQ(nullptr, GetPaintToolOptions().pane);
    EXPECT_EQ(nullptr, GetPaintToolOptions().size);
  }
  EXPECT_EQ(nullptr, window->firstChild);
}

}  // namespace
