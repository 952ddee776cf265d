#include "ui/AppCursors.h"
#include <cstring>
#include "ui/AppResourceIds.h"
#include "ui/MessageBoxIds.h"
#include "ui/PanelResourceIds.h"
#include "wul/WULError.h"
#include "wul/WULImage.h"

namespace {

const int kCursorIds[] = {IDC_TOOL_DEFAULT, IDC_LINK, IDC_COLOR_FIELD, IDC_PAN, IDC_PREVIEW,
                          IDC_TEXT, IDC_GRADIENT, IDC_SHAPE, IDC_SELECT_ADD, IDC_SELECT_SUBTRACT,
                          IDC_SELECT_INTERSECT, IDC_WAND_REPLACE, IDC_WAND_ADD, IDC_WAND_SUBTRACT,
                          IDC_WAND_INTERSECT, IDC_MOVE, IDC_PICKER, IDC_BRUSH_LARGE, IDC_BRUSH_ODD,
                          IDC_BRUSH_EVEN, IDC_FLOOD_FILL};
const int kCursorCount = sizeof kCursorIds / sizeof kCursorIds[0];

struct CAppResources {
  HICON bigIcon;
  HICON smallIcon;
  HCURSOR arrow;
  HCURSOR wait;
  HCURSOR cursors[kCursorCount];
  CWULImage* images[APP_IMAGE_COUNT];
};

// The pictures of bitmap resources: count slots from first on, of the resources from
// firstId on.
struct PictureRun {
  int first;
  int32_t firstId;
  int count;
};
const PictureRun kPictureRuns[] = {
    {APP_IMAGE_MESSAGE_ERROR, IDB_MESSAGE_ERROR, 4},
    {APP_IMAGE_VISIBLE, IDB_LAYER_VISIBLE, 1},
    {APP_IMAGE_SELECTOR_FIRST, IDB_SELECTION_RECTANGULAR, 4},
    {APP_IMAGE_GRADIENT_FIRST, IDB_GRADIENT_LINEAR, 2},
    {APP_IMAGE_RECTANGLE_FIRST, IDB_RECTANGLE_SOLID, 6},
    {APP_IMAGE_ELLIPSE_FIRST, IDB_ELLIPSE_SOLID, 6},
    {APP_IMAGE_PREVIEW_FIRST, IDB_FILE_PREVIEW, 2},
};

CAppResources g_Resources;

HINSTANCE ProgramInstance() { return GetModuleHandleA(nullptr); }

// The picture of a bitmap resource, kept until FreeAppCursors; null when the program
// does not carry it.
CWULImage* LoadPicture(int id) {
  CWULImage* image = LoadProgramPicture(id);
  if (image)
    image->SetAutoDelete(false);
  return image;
}

}  // namespace

void LoadAppCursors() {
  std::memset(&g_Resources, 0, sizeof g_Resources);
  HINSTANCE instance = ProgramInstance();
  g_Resources.bigIcon = static_cast<HICON>(
      LoadImageA(instance, MAKEINTRESOURCEA(IDI_APPLICATION_ICON), IMAGE_ICON, 32, 32, 0));
  g_Resources.smallIcon = static_cast<HICON>(
      LoadImageA(instance, MAKEINTRESOURCEA(IDI_APPLICATION_ICON), IMAGE_ICON, 16, 16, 0));
  g_Resources.arrow = LoadCursor(nullptr, IDC_ARROW);
  g_Resources.wait = LoadCursor(nullptr, IDC_WAIT);
  for (int i = 0; i < kCursorCount; ++i)
    g_Resources.cursors[i] = LoadCursorA(instance, MAKEINTRESOURCEA(kCursorIds[i]));

  for (const PictureRun& run : kPictureRuns)
    for (int i = 0; i < run.count; ++i)
      g_Resources.images[run.first + i] = LoadPicture(run.firstId + i);
  if (CWULImage* visible = g_Resources.images[APP_IMAGE_VISIBLE]) {
    CWULImage* grey = CWULImage::Clone(visible);
    grey->ToGrayscale();
    grey->SetAutoDelete(false);
    g_Resources.images[APP_IMAGE_VISIBLE_GREY] = grey;
  }
}

void FreeAppCursors() {
  if (g_Resources.bigIcon)
    DestroyIcon(g_Resources.bigIcon);
  if (g_Resources.smallIcon)
    DestroyIcon(g_Resources.smallIcon);
  g_Resources.bigIcon = g_Resources.smallIcon = nullptr;
  for (CWULImage*& image : g_Resources.images) {
    delete image;
    image = nullptr;
  }
}

HICON GetAppIcon(int size) { return size == 32 ? g_Resources.bigIcon : g_Resources.smallIcon; }

HCURSOR GetArrowCursor() { return g_Resources.arrow ? g_Resources.arrow : LoadCursor(nullptr, IDC_ARROW); }

HCURSOR GetWaitCursor() { return g_Resources.wait ? g_Resources.wait : LoadCursor(nullptr, IDC_WAIT); }

HCURSOR GetAppCursor(int32_t resourceId) {
  if (resourceId == reinterpret_cast<intptr_t>(IDC_WAIT))
    return GetWaitCursor();
  for (int i = 0; i < kCursorCount; ++i) {
    if (kCursorIds[i] == resourceId && g_Resources.cursors[i])
      return g_Resources.cursors[i];
  }
  return GetArrowCursor();
}

CWULImage* GetAppImage(int index) {
  return index >= 0 && index < APP_IMAGE_COUNT ? g_Resources.images[index] : nullptr;
}

CWULImage* GetAppPicture(int32_t resourceId) {
  for (const PictureRun& run : kPictureRuns) {
    if (resourceId >= run.firstId && resourceId < run.firstId + run.count)
      return g_Resources.images[run.first + resourceId - run.firstId];
  }
  return nullptr;
}

CWULImage* LoadProgramPicture(int32_t resourceId) {
  try {
    return WULLoadImageFromBitmapResource(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resourceId));
  } catch (const CWULError&) {
    return nullptr;
  }
}
