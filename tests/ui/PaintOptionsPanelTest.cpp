#include <gtest/gtest.h>
#include <windows.h>
#include "shell/Settings.h"
#include "tools/PencilTool.h"
#include "tools/TextOptions.h"
#include "tools/ToolManager.h"
#include "ui/FoldingPanel.h"
#include "ui/MainView.h"
#include "ui/ToolPanel.h"
#include "ui/UIHosts.h"
#include "ui/ViewSettings.h"
#include "wul/WULEdit.h"
#include "wul/WULInit.h"
#include "wul/WULPanel.h"
#include "wul/WULScroll.h"
#include "wul/WindowTestKit.h"

namespace {

// The Pencil, Eraser and Brush options in the Tool panel of a dock.
class PaintOptionsPanelTest : public testing::Test {
protected:
  void SetUp() override {
    StartFramework();
    DropQueuedMessages();
    EnsureViewSettings();
    g_Settings.panelsToolBodyFolded->SetValue(false);
    g_Settings.panelsToolBodyClientHeight->SetValue(80);
    g_Settings.drawingToolsPencilSize->SetValue(3);
    g_Settings.drawingToolsEraserSize->SetValue(20);
    g_Settings.drawingToolsBrushSize->SetValue(9);
    host = new HostWindow(30, 30, 420, 320);
    host->SetSize(420, 320);
    {
      ParentScope inHost(host);
      master = new CPanelMaster;
      g_PanelMaster = master;
      master->SetClientWidth(204);
      master->SetAlignment(WUL_ALIGN_RIGHT);
      ParentScope inMaster(master);
      CreateToolPanel();
    }
    CreateMainView(host);
    InstallUIHosts();
    host->IncarnateTree(nullptr);
    SetForegroundWindow(host->GetHandle());
    PumpPending();
    options = ToolPanel::GetOptionHost();
  }
  void TearDown() override {
    ActivateTool(nullptr);
    g_ToolManager.SetActiveTool(nullptr);
    RemoveUIHosts();
    delete host;
    host = nullptr;
    g_PanelMaster = nullptr;
    DropQueuedMessages();
    g_Settings.drawingToolsPencilSize->ResetToDefault();
    g_Settings.drawingToolsEraserSize->ResetToDefault();
    g_Settings.drawingToolsBrushSize->ResetToDefault();
  }
  // The option controls that are not being closed.
  int LiveChildren() {
    int n = 0;
    for (CWULInteractor* child = options->firstChild; child; child = child->nextSibling)
      n += !(child->flagsC & WUL_IF_CLOSING);
    return n;
  }
  bool ClosedOnesAreGone() {
    return PumpUntil([&] {
      for (CWULInteractor* child = options->firstChild; child; child = child->nextSibling)
        if (child->flagsC & WUL_IF_CLOSING)
          return false;
      return true;
    });
  }

  HostWindow* host = nullptr;
  CPanelMaster* master = nullptr;
  CWULContainer* options = nullptr;
};

TEST_F(PaintOptionsPanelTest, ThePencilPaneLivesInTheToolPanel) {
  ASSERT_NE(nullptr, options);
  ASSERT_TRUE(ActivateTool(&g_ToolManager.pencil));
  const CPaintToolOptions& pane = GetPaintToolOptions();
  ASSERT_NE(nullptr, pane.pane);
  EXPECT_EQ(options, pane.pane->parent);
  EXPECT_EQ(1, LiveChildren());
  // The windows exist and the view scrolls over the whole pane.
  ASSERT_NE(nullptr, pane.size);
  ASSERT_NE(nullptr, pane.preview);
  EXPECT_NE(nullptr, pane.size->GetHandle());
  EXPECT_NE(nullptr, pane.preview->GetHandle());
  EXPECT_TRUE(IsWindowVisible(pane.preview->GetHandle()));
  EXPECT_EQ(pane.pane->GetBottom(), ToolPanel::GetView()->GetContentHeight());
  EXPECT_GE(pane.pane->GetBottom(), 56);
  EXPECT_EQ(3, pane.size->GetValueRounded());

  // Typing a size and confirming it stores the setting.
  SetFocus(pane.size->GetEditWindow());
  pane.size->SelectAll();
  for (char ch : {'1', '1'})
    SendMessageA(pane.size->GetEditWindow(), WM_CHAR, ch, 1);
  SendMessageA(pane.size->GetEditWindow(), WM_KEYDOWN, VK_RETURN, 1);
  EXPECT_EQ(11u, g_Settings.drawingToolsPencilSize->GetValue());
  EXPECT_EQ(11, g_ToolManager.pencil.GetSize());
}

TEST_F(PaintOptionsPanelTest, SwitchingToolsReplacesThePane) {
  ASSERT_TRUE(ActivateTool(&g_ToolManager.pencil));
  CWULInteractor* pencilPane = GetPaintToolOptions().pane;
  ASSERT_NE(nullptr, pencilPane);

  ASSERT_TRUE(ActivateTool(&g_ToolManager.eraser));
  EXPECT_EQ(&g_ToolManager.eraser, GetPaintToolOptions().tool);
  ASSERT_NE(nullptr, GetPaintToolOptions().size);
  EXPECT_EQ(20, GetPaintToolOptions().size->GetValueRounded());
  EXPECT_EQ(1, LiveChildren());
  ASSERT_TRUE(ClosedOnesAreGone());
  // The old pane went without taking the new one's controls with it.
  ASSERT_NE(nullptr, GetPaintToolOptions().size);
  EXPECT_NE(pencilPane, GetPaintToolOptions().pane);

  ASSERT_TRUE(ActivateTool(&g_ToolManager.brush));
  ASSERT_TRUE(ClosedOnesAreGone());
  EXPECT_EQ(1, LiveChildren());
  ASSERT_NE(nullptr, GetPaintToolOptions().hardness);
  EXPECT_EQ(9, GetPaintToolOptions().size->GetValueRounded());
  EXPECT_EQ(GetPaintToolOptions().pane->GetBottom(), ToolPanel::GetView()->GetContentHeight());

  // Another tool's options take their place; a tool without options leaves the panel empty.
  ASSERT_TRUE(ActivateTool(&g_ToolManager.text));
  ASSERT_TRUE(ClosedOnesAreGone());
  EXPECT_EQ(nullptr, GetPaintToolOptions().pane);
  EXPECT_EQ(nullptr, GetPaintToolOptions().size);
  EXPECT_EQ(nullptr, GetPaintToolOptions().hardness);
  EXPECT_NE(nullptr, GetTextToolOptions().text);

  ASSERT_TRUE(ActivateTool(&g_ToolManager.pencil));
  ASSERT_TRUE(ActivateTool(&g_ToolManager.move));
  ASSERT_TRUE(ClosedOnesAreGone());
  EXPECT_EQ(0, LiveChildren());
  EXPECT_EQ(nullptr, options->firstChild);
  EXPECT_EQ(nullptr, GetPaintToolOptions().preview);
  EXPECT_EQ(0, ToolPanel::GetView()->GetContentHeight());
}

}  // namespace
