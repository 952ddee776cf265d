#pragma once
// The Tool panel: a folding panel of the dock whose scrolling view holds the option
// controls of the active tool.
class CVCFoldingPanel;
class CWULContainer;
class CWULView;

extern CVCFoldingPanel* g_ToolPanel;

namespace ToolPanel {

// Null while the panel does not exist.
CWULView* GetView();
// The container the active tool builds its option controls in, or null.
CWULContainer* GetOptionHost();
// The view's content height becomes the lowest bottom edge of the option controls that
// are not being closed (0 without controls).
void UpdateLayout();
void Refresh();
// True while the keyboard focus is inside the option controls.
bool IsFocusInside();
// Closes the option controls.
void ClearOptions();
// Lays out new option controls and creates their windows when the view has one.
void LayoutOptions();

}  // namespace ToolPanel

// Builds the panel in the panel master. Shows "Tool panel creation failed" and passes a
// failure on.
void CreateToolPanel();
