#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "ToolTestSupport.h"
#include "tools/FontList.h"
#include "tools/TextOptions.h"
#include "tools/TextTool.h"
#include "tools/ToolManager.h"
#include "wul/WULDropDown.h"
#include "wul/WULEdit.h"
#include "wul/WULFramedWindow.h"
#include "wul/WULInit.h"

// A hidden top-level framework window of that client size (TopLevelWindow.cpp).
CWULFramedWindow* MakeTopLevelWindow(int clientWidth, int clientHeight);

namespace {

// ---------------------------------------------------------------------------------------------
// Option controls

// A host whose option controls live in a framework window.
class PaneHost : public RecordingHost {
public:
  CWULInteractor* GetOptionHostWindow() override { return window; }
  CWULInteractor* window = nullptr;
};

class TextOptionsTest : public testing::Test {
protected:
  void SetUp() override {
    WULInit(GetModuleHandleA(nullptr));
    window = MakeTopLevelWindow(200, 100);
    host.window = window;
    g_Settings.drawingToolsTextFontName->SetValue("Tiny");
    g_Settings.drawingToolsTextFontStyle->SetValue(2);
    g_Settings.drawingToolsTextFontSize->SetValue(17);
    // A known list of families.
    g_FontList.DeleteAll();
    for (const char* name : {"Arial", "Tahoma", "Times New Roman", "Tiny"}) {
      CFontListItem* item = new CFontListItem();
      item->name.Assign(name);
      item->trueType = 1;
      g_FontList.Append(item);
    }
  }
  void TearDown() override {
    g_ToolManager.ClearActiveTool();
    window->Close();
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageA(&message);
    g_Settings.drawingToolsTextFontName->ResetToDefault();
    g_Settings.drawingToolsTextFontStyle->ResetToDefault();
    g_Settings.drawingToolsTextFontSize->ResetToDefault();
    g_FontList.DeleteAll();
  }

  void Build() {
    g_ToolManager.SetActiveTool(&g_ToolManager.text);
    g_ToolManager.text.CreateOptionsPane();
    window->IncarnateTree(nullptr);
    window->Show();
  }

  static std::string TextOf(CWULProtoEdit* edit) { return edit->GetText(); }
  static void Char(CWULProtoEdit* edit, int ch) { SendMessageA(edit->GetEditWindow(), WM_CHAR, ch, 1); }
  static void Key(CWULProtoEdit* edit, int key) {
    SendMessageA(edit->GetEditWindow(), WM_KEYDOWN, key, 1);
    SendMessageA(edit->GetEditWindow(), WM_KEYUP, key, 0xC0000001);
  }

  PaneHost host;
  CWULFramedWindow* window = nullptr;
};

TEST_F(TextOptionsTest, TheControlsShowTheSettingsAndChangesReachTheTool) {
  g_ToolManager.text.SetText("Hello");
  Build();
  const CTextToolOptions& options = GetTextToolOptions();
  ASSERT_NE(options.text, nullptr);
  ASSERT_NE(options.font, nullptr);
  ASSERT_NE(options.style, nullptr);
  ASSERT_NE(options.size, nullptr);
  EXPECT_EQ(TextOf(options.text), "Hello");
  EXPECT_EQ(TextOf(options.font), "Tiny");
  ASSERT_NE(options.style->GetSelection(), nullptr);
  EXPECT_STREQ(options.style->GetSelection()->text.text, "Italic");
  EXPECT_EQ(options.size->GetValueRounded(), 17);
  EXPECT_EQ(g_ToolManager.text.GetRenderer().GetHeight(), -17);
  // Filling the controls changed nothing.
  EXPECT_EQ(host.cursorRestores, 0);

  const int32_t before = g_ToolManager.text.GetRenderer().GetDrawnWidth();
  options.text->SetText("Hello, world");
  EXPECT_STREQ(g_ToolManager.text.GetText(), "Hello, world");
  EXPECT_GT(g_ToolManager.text.GetRenderer().GetDrawnWidth(), before);
  EXPECT_GT(host.cursorRestores, 0);

  options.style->SetSelection(options.style->FindByValue(1));
  EXPECT_EQ(g_Settings.drawingToolsTextFontStyle->GetValue(), 1u);
  EXPECT_EQ(g_ToolManager.text.GetRenderer().GetStyle(), 1);

  options.font->SetText("Times New Roman");
  EXPECT_STREQ(g_Settings.drawingToolsTextFontName->GetValue(), "Times New Roman");
  EXPECT_STREQ(g_ToolManager.text.GetRenderer().GetFontName(), "Times New Roman");
  g_ToolManager.text.SetText("TEXT");
}

TEST_F(TextOptionsTest, EachTypedSizeIsStoredAndRendered) {
  Build();
  CWULSpinEdit* size = GetTextToolOptions().size;
  ASSERT_NE(size, nullptr);
  SendMessageA(size->GetEditWindow(), EM_SETSEL, 0, -1);
  // Neither Enter nor leaving the field: every character stores the setting and re-renders.
  Char(size, '9');
  EXPECT_EQ(g_Settings.drawingToolsTextFontSize->GetValue(), 9u);
  EXPECT_EQ(g_ToolManager.text.GetRenderer().GetHeight(), -9);
  const int restores = host.cursorRestores;
  EXPECT_GT(restores, 0);
  Char(size, '5');
  EXPECT_EQ(g_Settings.drawingToolsTextFontSize->GetValue(), 95u);
  EXPECT_EQ(g_ToolManager.text.GetRenderer().GetHeight(), -95);
  EXPECT_GT(host.cursorRestores, restores);
}

TEST_F(TextOptionsTest, TypingInTheFontBoxProposesTheFirstMatchingFamily) {
  Build();
  CFontNameEdit* font = GetTextToolOptions().font;
  ASSERT_NE(font, nullptr);
  ASSERT_NE(font->GetEditWindow(), nullptr);
  font->SetText("");
  Char(font, 't');
  EXPECT_EQ(TextOf(font), "Tahoma");
  EXPECT_EQ(font->GetSelStart(), 1);
  EXPECT_EQ(font->GetSelEnd(), 6);
  Char(font, 'i');
  EXPECT_EQ(TextOf(font), "Times New Roman");
  EXPECT_EQ(font->GetSelStart(), 2);
  EXPECT_EQ(font->GetSelEnd(), 15);
  EXPECT_STREQ(g_Settings.drawingToolsTextFontName->GetValue(), "Times New Roman");
  Char(font, 'n');
  EXPECT_EQ(TextOf(font), "Tiny");
  EXPECT_EQ(font->GetSelStart(), 3);
  // Backspace moves the start of the selection back.
  Char(font, '\b');
  EXPECT_EQ(TextOf(font), "Tiny");
  EXPECT_EQ(font->GetSelStart(), 2);
  EXPECT_EQ(font->GetSelEnd(), 4);
  // A letter that no family goes on with keeps the best match, selected from the common part.
  Char(font, 'x');
  EXPECT_EQ(TextOf(font), "Times New Roman");
  EXPECT_EQ(font->GetSelStart(), 2);
  // Up and Down walk the list and select everything.
  Key(font, VK_DOWN);
  EXPECT_EQ(TextOf(font), "Tiny");
  EXPECT_EQ(font->GetSelStart(), 0);
  EXPECT_EQ(font->GetSelEnd(), 4);
  Key(font, VK_DOWN);  // the last stays
  EXPECT_EQ(TextOf(font), "Tiny");
  Key(font, VK_UP);
  EXPECT_EQ(TextOf(font), "Times New Roman");
  font->SetText("Arial");
  Key(font, VK_UP);  // the first stays
  EXPECT_EQ(TextOf(font), "Arial");
  // Home, End, Left and Right move the caret and select to the end.
  Key(font, VK_HOME);
  EXPECT_EQ(font->GetSelStart(), 0);
  EXPECT_EQ(font->GetSelEnd(), 5);
  Key(font, VK_RIGHT);
  Key(font, VK_RIGHT);
  EXPECT_EQ(font->GetSelStart(), 2);
  EXPECT_EQ(font->GetSelEnd(), 5);
  Key(font, VK_LEFT);
  EXPECT_EQ(font->GetSelStart(), 1);
  Key(font, VK_END);
  EXPECT_EQ(font->GetSelStart(), 5);
  Key(font, VK_RIGHT);
  EXPECT_EQ(font->GetSelStart(), 5);
}

TEST_F(TextOptionsTest, WithoutAnOptionHostNothingIsBuilt) {
  host.window = nullptr;
  g_ToolManager.SetActiveTool(&g_ToolManager.text);
  g_ToolManager.text.CreateOptionsPane();
  EXPECT_EQ(GetTextToolOptions().text, nullptr);
  EXPECT_EQ(window->firstChild, nullptr);
}

}  // namespace
