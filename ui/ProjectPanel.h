#pragma once
// The Project panel: the images of the current project as thumbnails on its "Images" page,
// with buttons and a context menu for the image commands, and the image count and memory
// size on its "Info" page. The commands keep it in step through the operations below; each
// is safe while the panel or the item is missing and then returns false.
#include <cstdint>

class CImage;
class CThumbnailList;
class CVCFoldingPanel;
class CWULLabel;
class CWULMenu;
class CWULPageControl;
class CWULStandardBarItem;

extern CVCFoldingPanel* g_ProjectPanel;

namespace ProjectPanel {

enum { PAGE_IMAGES = 1, PAGE_INFO = 2 };
enum { BUTTON_NEW, BUTTON_DELETE, BUTTON_PROPERTIES, BUTTON_MOVE_UP, BUTTON_MOVE_DOWN, BUTTON_COUNT };

// Null while the panel does not exist.
CThumbnailList* GetList();
CWULPageControl* GetPages();
CWULStandardBarItem* GetButton(int which);
CWULLabel* GetInfoLabel();
// The image items' context menu.
CWULMenu* GetContextMenu();
bool IsUpdating();

bool BeginUpdate();
bool EndUpdate();
bool Clear();
bool Rebuild();
bool AddImageItem(CImage* image);
// Before null moves the item to the end.
bool MoveImageItem(CImage* image, CImage* before);
bool RemoveImageItem(CImage* image);
bool RefreshImageItem(CImage* image);
bool SelectImage(CImage* image);
bool RefreshAll();
bool UpdateInfo();

}  // namespace ProjectPanel

// Builds the panel in the panel master. Shows "Project panel creation failed" and passes a
// failure on.
void CreateProjectPanel();
