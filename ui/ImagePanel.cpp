#include "ui/ImagePanel.h"

CVCFoldingPanel* g_ImagePanel = nullptr;

namespace ImagePanel {

CThumbnailList* GetList() { return nullptr; }
CWULPageControl* GetPages() { return nullptr; }
CWULStandardBarItem* GetButton(int) { return nullptr; }
CWULLabel* GetInfoLabel() { return nullptr; }
bool IsUpdating() { return false; }
bool BeginUpdate() { return false; }
bool EndUpdate() { return false; }
bool Clear() { return false; }
bool Rebuild() { return false; }
bool AddLayerItem(CLayer*) { return false; }
bool MoveLayerItem(CLayer*, CLayer*) { return false; }
bool RemoveLayerItem(CLayer*) { return false; }
bool RefreshLayerItem(CLayer*) { return false; }
bool RefreshAllLayerItems() { return false; }
bool SelectLayer(CLayer*) { return false; }
bool RebindLayerItem(CLayer*, CLayer*) { return false; }
bool RefreshAll() { return false; }
bool UpdateInfo() { return false; }

}  // namespace ImagePanel

void CreateImagePanel() {}
