#include "ui/ProjectPanel.h"

CVCFoldingPanel* g_ProjectPanel = nullptr;

namespace ProjectPanel {

CThumbnailList* GetList() { return nullptr; }
CWULPageControl* GetPages() { return nullptr; }
CWULStandardBarItem* GetButton(int) { return nullptr; }
CWULLabel* GetInfoLabel() { return nullptr; }
bool IsUpdating() { return false; }
bool BeginUpdate() { return false; }
bool EndUpdate() { return false; }
bool Clear() { return false; }
bool Rebuild() { return false; }
bool AddImageItem(CImage*) { return false; }
bool MoveImageItem(CImage*, CImage*) { return false; }
bool RemoveImageItem(CImage*) { return false; }
bool RefreshImageItem(CImage*) { return false; }
bool SelectImage(CImage*) { return false; }
bool RefreshAll() { return false; }
bool UpdateInfo() { return false; }

}  // namespace ProjectPanel

void CreateProjectPanel() {}
