#include "tools/CommandHost.h"
#include <windows.h>
#include "document/Project.h"
#include "shell/Errors.h"
#include "tools/CurrentImage.h"
#include "tools/ToolHost.h"
#include "tools/WorkingCopies.h"

namespace {

CCommandHost defaultHost;
CCommandHost* installedHost = &defaultHost;

}  // namespace

CCommandHost* GetCommandHost() {
  return installedHost;
}

void SetCommandHost(CCommandHost* host) {
  installedHost = host ? host : &defaultHost;
}

CCommandHost::~CCommandHost() {
  if (installedHost == this)
    installedHost = &defaultHost;
}

CViewState CCommandHost::GetViewState() {
  CViewState state = {};
  CToolHost* host = GetToolHost();
  state.zoom = host->GetZoomFactor();
  state.channelMode = host->GetChannelMode();
  if (CImage* image = GetCurrentImage()) {
    const int64_t x = static_cast<int64_t>(image->GetWidth()) * 128;
    const int64_t y = static_cast<int64_t>(image->GetHeight()) * 128;
    state.center.x = static_cast<int32_t>(x > 0x7FFFFFFF ? 0x7FFFFFFF : x);
    state.center.y = static_cast<int32_t>(y > 0x7FFFFFFF ? 0x7FFFFFFF : y);
  }
  return state;
}

void CCommandHost::BeginProjectItems() {}
void CCommandHost::EndProjectItems() {}

void CCommandHost::SelectImageItem(CImage* image) {
  CProject* project = GetCurrentProject();
  if (!project || project->GetCurrentImage() == image)
    return;
  project->SetCurrentImage(image);
  ResyncWorkingCopies();
  GetToolHost()->UpdateCommandStates();
}

void CCommandHost::AddImageItem(CImage*) {}
void CCommandHost::RemoveImageItem(CImage*) {}
void CCommandHost::MoveImageItem(CImage*) {}

bool CCommandHost::ConfirmDeleteImage() {
  return MessageBoxA(GetErrorBoxOwner(), "Delete the image?", "Irreversible operation",
                     MB_YESNO | MB_ICONERROR | MB_DEFBUTTON2) == IDYES;
}

HWND CCommandHost::GetMainWindow() {
  return GetErrorBoxOwner();
}

void CCommandHost::BeginWaitCursor() {
  SetCursor(LoadCursor(nullptr, IDC_WAIT));
}

bool CCommandHost::RunImportDialog(const char*, CWULString&, CWULString&) {
  return false;
}

bool CCommandHost::RunExportDialog(const char*, const char*, int32_t, const char*,
                                   CExportChoice&) {
  return false;
}

CImage* CCommandHost::ChooseImportedImage(CProject*) {
  return nullptr;
}
