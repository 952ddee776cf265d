#include "document/EditorUI.h"
#include "document/Layer.h"
#include "document/Project.h"
#include "shell/Errors.h"
#include "tools/CurrentImage.h"
#include "tools/WorkingCopies.h"

namespace {

CEditorUI defaultUI;
CEditorUI* installedUI = &defaultUI;

}  // namespace

CEditorUI* GetEditorUI() {
  return installedUI;
}

void SetEditorUI(CEditorUI* ui) {
  installedUI = ui ? ui : &defaultUI;
}

CEditorUI::~CEditorUI() {
  if (installedUI == this)
    installedUI = &defaultUI;
}

int32_t CEditorUI::GetZoomFactor() {
  return 1;
}

int32_t CEditorUI::GetChannelMode() {
  return 0;
}

CViewState CEditorUI::GetViewState() {
  CViewState state = {};
  state.zoom = GetZoomFactor();
  state.channelMode = GetChannelMode();
  if (CImage* image = GetCurrentImage()) {
    const int64_t x = static_cast<int64_t>(image->GetWidth()) * 128;
    const int64_t y = static_cast<int64_t>(image->GetHeight()) * 128;
    state.center.x = static_cast<int32_t>(x > 0x7FFFFFFF ? 0x7FFFFFFF : x);
    state.center.y = static_cast<int32_t>(y > 0x7FFFFFFF ? 0x7FFFFFFF : y);
  }
  return state;
}

Point CEditorUI::ImageToClientPoint(const Point& pos) {
  const int32_t zoom = GetZoomFactor();
  return Point{static_cast<int32_t>((static_cast<int64_t>(pos.x) * zoom) >> 8),
               static_cast<int32_t>((static_cast<int64_t>(pos.y) * zoom) >> 8)};
}

bool CEditorUI::PickColorAt(const Point&, CColor&) {
  return false;
}

void CEditorUI::InvalidateImageRect(const Rect*) {}
void CEditorUI::InvalidateToolOverlayRect(const Rect*) {}
void CEditorUI::RefitToImage() {}

int32_t CEditorUI::GetNudgeStep() {
  const CLayer* layer = GetCurrentLayer();
  int32_t step = 256;
  if (layer && layer->IsVisible() && layer->GetKind() == CLayer::KIND_RASTER &&
      static_cast<const CRasterLayer*>(layer)->IsSupersampled())
    step = 32;
  int32_t zoom = GetZoomFactor();
  if (zoom < 1)
    zoom = 1;
  while (step < (1 << 20) && static_cast<int64_t>(step) * zoom < 256)
    step <<= 1;
  return step;
}

bool CEditorUI::GetCursorImagePoint(Point&) {
  return false;
}

void CEditorUI::SetHelpText(const char*) {}
void CEditorUI::SetPixelPosition(int32_t, int32_t) {}
void CEditorUI::SetPosition(int32_t, int32_t) {}
void CEditorUI::SetPositionInt(int32_t, int32_t) {}
void CEditorUI::ClearGeometry() {}
void CEditorUI::SetSize(int32_t, int32_t) {}
void CEditorUI::SetSizeFixed(int32_t, int32_t) {}
void CEditorUI::SetColor(CColor) {}
void CEditorUI::ClearColor() {}

void CEditorUI::RefreshPreview() {}
void CEditorUI::UpdateCommandStates() {}
void CEditorUI::UpdateToolboxColors() {}

void CEditorUI::BeginLayerItems() {}
void CEditorUI::EndLayerItems() {}
void CEditorUI::AddLayerItem(CLayer*) {}
void CEditorUI::RemoveLayerItem(CLayer*) {}
void CEditorUI::MoveLayerItem(CLayer*) {}
void CEditorUI::RefreshLayerItem(CLayer*) {}
void CEditorUI::RefreshLayerItems() {}
void CEditorUI::SelectLayerItem(CLayer*) {}

void CEditorUI::BeginProjectItems() {}
void CEditorUI::EndProjectItems() {}
void CEditorUI::AddImageItem(CImage*) {}
void CEditorUI::RemoveImageItem(CImage*) {}
void CEditorUI::MoveImageItem(CImage*) {}
void CEditorUI::RefreshImageItem(CImage*) {}

void CEditorUI::SelectImageItem(CImage* image) {
  CProject* project = GetCurrentProject();
  if (!project || project->GetCurrentImage() == image)
    return;
  project->SetCurrentImage(image);
  ResyncWorkingCopies();
  UpdateCommandStates();
}

bool CEditorUI::HasOptionHost() {
  return false;
}

bool CEditorUI::IsFocusInOptionHost() {
  return false;
}

void CEditorUI::ClearOptionHost() {}
void CEditorUI::LayoutOptionHost() {}
void CEditorUI::FocusMainWindow() {}

CWULInteractor* CEditorUI::GetOptionHostWindow() {
  return nullptr;
}

HWND CEditorUI::GetMainWindow() {
  return GetErrorBoxOwner();
}

bool CEditorUI::ConfirmDeleteImage() {
  return MessageBoxA(GetErrorBoxOwner(), "Delete the image?", "Irreversible operation",
                     MB_YESNO | MB_ICONERROR | MB_DEFBUTTON2) == IDYES;
}

bool CEditorUI::RunImportDialog(const char*, CWULString&, CWULString&) {
  return false;
}

bool CEditorUI::RunExportDialog(const char*, const char*, int32_t, const char*, CExportChoice&) {
  return false;
}

CImage* CEditorUI::ChooseImportedImage(CProject*) {
  return nullptr;
}

HCURSOR CEditorUI::GetAppCursor(int32_t) {
  return LoadCursor(nullptr, IDC_ARROW);
}

CWULImage* CEditorUI::GetAppPicture(int32_t) {
  return nullptr;
}

void CEditorUI::BeginWaitCursor() {
  SetCursor(LoadCursor(nullptr, IDC_WAIT));
}

void CEditorUI::RestoreCursor() {}

bool CEditorUI::IsKeyDown(int32_t virtualKey) {
  return GetKeyState(virtualKey) < 0;
}
