#include "tools/ToolManager.h"
#include "document/EditorUI.h"

CToolManager g_ToolManager;

CToolManager::CToolManager() : activeTool(nullptr) {}

CToolManager::~CToolManager() {
  ClearActiveTool();
}

void CToolManager::SetActiveTool(CTool* tool) {
  if (tool == activeTool)
    return;
  if (activeTool)
    activeTool->Deactivate();
  activeTool = tool;
  if (activeTool)
    activeTool->Activate();
}

CTool* CToolManager::GetTool(int32_t index) {
  CTool* const tools[TOOL_COUNT] = {&selection, &magicWand, &move,      &colorPicker,
                                    &pencil,    &brush,     &gradient,  &floodFill,
                                    &eraser,    &text,      &rectangle, &ellipse};
  if (index < 0 || index >= TOOL_COUNT)
    return nullptr;
  return tools[index];
}

CTool* CToolManager::FindTool(int32_t toolId) {
  for (int32_t i = 0; i < TOOL_COUNT; ++i) {
    CTool* tool = GetTool(i);
    if (tool->GetId() == toolId)
      return tool;
  }
  return nullptr;
}

bool ActivateTool(CTool* tool) {
  CEditorUI* host = GetEditorUI();
  if (tool == g_ToolManager.GetActiveTool() || !host->HasOptionHost())
    return false;
  const bool focusInside = host->IsFocusInOptionHost();
  if (g_ToolManager.GetActiveTool())
    host->ClearOptionHost();
  g_ToolManager.SetActiveTool(tool);
  if (tool)
    tool->CreateOptionsPane();
  host->LayoutOptionHost();
  if (focusInside)
    host->FocusMainWindow();
  host->RestoreCursor();
  return true;
}
