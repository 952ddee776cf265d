#include "tools/ToolHostExtras.h"
#include "document/Layer.h"
#include "tools/CurrentImage.h"
#include "tools/ToolHost.h"

namespace {

CToolHostExtras defaultExtras;
CToolHostExtras* installedExtras = &defaultExtras;

}  // namespace

CToolHostExtras* GetToolHostExtras() {
  return installedExtras;
}

void SetToolHostExtras(CToolHostExtras* extras) {
  installedExtras = extras ? extras : &defaultExtras;
}

CToolHostExtras::~CToolHostExtras() {
  if (installedExtras == this)
    installedExtras = &defaultExtras;
}

int32_t CToolHostExtras::GetNudgeStep() {
  const CLayer* layer = GetCurrentLayer();
  int32_t step = 256;
  if (layer && layer->IsVisible() && layer->GetKind() == CLayer::KIND_RASTER &&
      static_cast<const CRasterLayer*>(layer)->IsSupersampled())
    step = 32;
  int32_t zoom = GetToolHost()->GetZoomFactor();
  if (zoom < 1)
    zoom = 1;
  while (step < (1 << 20) && static_cast<int64_t>(step) * zoom < 256)
    step <<= 1;
  return step;
}

bool CToolHostExtras::GetCursorImagePoint(Point&) {
  return false;
}

void CToolHostExtras::SetSize(int32_t, int32_t) {}
void CToolHostExtras::SetSizeFixed(int32_t, int32_t) {}
