#pragma once
// The Image panel: the layers of the current image, top layer first, on its "Layers" page,
// with buttons, a New layer menu and a context menu for the layer commands, and a
// description of the image on its "Info" page. The layer commands and actions keep it in
// step through the operations below; each is safe while the panel or the item is missing
// and then returns false.
#include <cstdint>

class CLayer;
class CThumbnailList;
class CVCFoldingPanel;
class CWULLabel;
class CWULMenu;
class CWULPageControl;
class CWULStandardBarItem;

extern CVCFoldingPanel* g_ImagePanel;

namespace ImagePanel {

enum { PAGE_LAYERS = 1, PAGE_INFO = 2 };
enum {
  BUTTON_NEW,
  BUTTON_DUPLICATE,
  BUTTON_MERGE_DOWN,
  BUTTON_DELETE,
  BUTTON_PROPERTIES,
  BUTTON_MOVE_FORWARD,
  BUTTON_MOVE_BACKWARD,
  BUTTON_COUNT
};

// Null while the panel does not exist.
CThumbnailList* GetList();
CWULPageControl* GetPages();
CWULStandardBarItem* GetButton(int which);
CWULLabel* GetInfoLabel();
// The New layer menu ("&Normal", "&Supersampled") and the context menu of the layer items.
CWULMenu* GetNewLayerMenu();
CWULMenu* GetLayerMenu();
bool IsUpdating();

bool BeginUpdate();
bool EndUpdate();
bool Clear();
bool Rebuild();
// Clear and Rebuild inside one update bracket.
bool Refill();
bool AddLayerItem(CLayer* layer);
// Before null moves the item to the end of the list.
bool MoveLayerItem(CLayer* layer, CLayer* before);
bool RemoveLayerItem(CLayer* layer);
bool RefreshLayerItem(CLayer* layer);
bool RefreshAllLayerItems();
bool SelectLayer(CLayer* layer);
// Points the item of layer at other (merging layers).
bool RebindLayerItem(CLayer* layer, CLayer* other);
bool RefreshAll();
bool UpdateInfo();

}  // namespace ImagePanel

// Builds the panel in the panel master. Shows "Image panel creation failed" and passes a
// failure on.
void CreateImagePanel();
