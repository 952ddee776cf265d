#include "tools/ToolHost.h"

namespace {

CToolHost defaultHost;
CToolHost* installedHost = &defaultHost;

}  // namespace

CToolHost* GetToolHost() {
  return installedHost;
}

void SetToolHost(CToolHost* host) {
  installedHost = host ? host : &defaultHost;
}

CToolHost::~CToolHost() {
  if (installedHost == this)
    installedHost = &defaultHost;
}

int32_t CToolHost::GetZoomFactor() {
  return 1;
}

int32_t CToolHost::GetChannelMode() {
  return 0;
}

Point CToolHost::ImageToClientPoint(const Point& pos) {
  const int32_t zoom = GetZoomFactor();
  return Point{static_cast<int32_t>((static_cast<int64_t>(pos.x) * zoom) >> 8),
               static_cast<int32_t>((static_cast<int64_t>(pos.y) * zoom) >> 8)};
}

bool CToolHost::PickColorAt(const Point&, CColor&) {
  return false;
}

void CToolHost::InvalidateImageRect(const Rect*) {}
void CToolHost::InvalidateToolOverlayRect(const Rect*) {}
void CToolHost::RefitToImage() {}

void CToolHost::SetHelpText(const char*) {}
void CToolHost::SetPixelPosition(int32_t, int32_t) {}
void CToolHost::SetPosition(int32_t, int32_t) {}
void CToolHost::SetPositionInt(int32_t, int32_t) {}
void CToolHost::ClearGeometry() {}
void CToolHost::SetColor(CColor) {}
void CToolHost::ClearColor() {}

void CToolHost::RefreshPreview() {}
void CToolHost::RefreshLayerItem(CLayer*) {}
void CToolHost::RefreshImageItem(CImage*) {}
void CToolHost::UpdateCommandStates() {}
void CToolHost::UpdateToolboxColors() {}

bool CToolHost::HasOptionHost() {
  return false;
}

bool CToolHost::IsFocusInOptionHost() {
  return false;
}

void CToolHost::ClearOptionHost() {}
void CToolHost::LayoutOptionHost() {}
void CToolHost::FocusMainWindow() {}

CWULInteractor* CToolHost::GetOptionHostWindow() {
  return nullptr;
}

HCURSOR CToolHost::GetAppCursor(int32_t) {
  return LoadCursor(nullptr, IDC_ARROW);
}

CWULImage* CToolHost::GetAppPicture(int32_t) {
  return nullptr;
}

void CToolHost::RestoreCursor() {}

bool CToolHost::IsKeyDown(int32_t virtualKey) {
  return GetKeyState(virtualKey) < 0;
}
