#include "tools/CurrentImage.h"
#include "document/Image.h"
#include "document/Project.h"

namespace {

CProject* s_currentProject = nullptr;

}  // namespace

CProject* GetCurrentProject() {
  return s_currentProject;
}

void SetCurrentProject(CProject* project) {
  s_currentProject = project;
}

CImage* GetCurrentImage() {
  return s_currentProject ? s_currentProject->GetCurrentImage() : nullptr;
}

CLayer* GetCurrentLayer() {
  CImage* image = GetCurrentImage();
  return image ? image->GetActiveLayer() : nullptr;
}

CSelection* GetCurrentSelection() {
  CImage* image = GetCurrentImage();
  return image ? image->GetSelection() : nullptr;
}

CLayer* FindCurrentImageLayer(int32_t layerId) {
  CImage* image = GetCurrentImage();
  return image ? image->FindLayer(layerId) : nullptr;
}
