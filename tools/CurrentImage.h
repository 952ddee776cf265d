#pragma once
// The process-wide current project and the accessors of its current image, layer and
// selection that the tools, commands and actions work on.
#include <cstdint>

class CImage;
class CLayer;
class CProject;
class CSelection;

// The current project does not belong to the accessor: whoever sets it deletes it.
CProject* GetCurrentProject();
void SetCurrentProject(CProject* project);

// Each is null when the level above it is missing.
CImage* GetCurrentImage();
CLayer* GetCurrentLayer();
CSelection* GetCurrentSelection();
// The layer of the current image with that id, or null.
CLayer* FindCurrentImageLayer(int32_t layerId);
