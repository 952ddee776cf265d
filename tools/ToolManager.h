#pragma once
// The tool set: the twelve tools, held by value, and the active one.
#include <cstdint>
#include "tools/BrushTool.h"
#include "tools/ColorPicker.h"
#include "tools/FillTools.h"
#include "tools/GradientTool.h"
#include "tools/MoveTool.h"
#include "tools/PencilTool.h"
#include "tools/SelectionTool.h"
#include "tools/ShapeTools.h"
#include "tools/TextTool.h"

class CToolManager {
public:
  enum { TOOL_COUNT = 12 };

  CToolManager();
  // Deactivates the active tool.
  ~CToolManager();
  CToolManager(const CToolManager&) = delete;
  CToolManager& operator=(const CToolManager&) = delete;

  // Nothing when the tool already is the active one; null deactivates.
  void SetActiveTool(CTool* tool);
  void ClearActiveTool() { SetActiveTool(nullptr); }
  CTool* GetActiveTool() const { return activeTool; }

  // In toolbox order (0..11); null outside.
  CTool* GetTool(int32_t index);
  // Null for an unknown identifier.
  CTool* FindTool(int32_t toolId);

  CSelectionTool selection;
  CMagicWandTool magicWand;
  CMoveTool move;
  CColorPickerTool colorPicker;
  CPencilTool pencil;
  CBrushTool brush;
  CGradientTool gradient;
  CFloodFillTool floodFill;
  CEraserTool eraser;
  CTextTool text;
  CRectangleTool rectangle;
  CEllipseTool ellipse;

private:
  CTool* activeTool;
};

extern CToolManager g_ToolManager;

// The toolbox's way to switch tools: rebuilds the option controls in the tool panel.
// False when the tool is already active or the tool panel has no option host.
bool ActivateTool(CTool* tool);
