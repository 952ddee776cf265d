// The About box of the JPEG, TGA and PSD plug-ins: the picture beside the name and version
// and the plug-in's notice, with a link to the home page.
#include <windows.h>
#include "plugins/sdk/VCXAbout.h"
#include "plugins/sdk/VCXPlugin.h"
#include "plugins/shared/VcxAboutResources.h"
#include "plugins/shared/VcxExports.h"

int vcxShowPluginAboutBox(HWND parent) {
  const VcxPluginInfo* info = vcxGetPluginInfo();
  HINSTANCE module = vcxGetPluginModule();
  if (!info || !module)
    return 0;
  CWULImage* picture = vcxLoadPicture(module, VCX_IDB_ABOUT_PICTURE);
  if (!picture)
    return 0;
  CVCXPictureHold hold(picture);
  VCXAboutContent content = {VCX_ABOUT_BESIDE_PICTURE,
                             info->name,
                             info->description,
                             vcxGetModuleVersion(module),
                             info->notice,
                             nullptr,
                             picture,
                             LoadCursorA(module, MAKEINTRESOURCEA(VCX_IDC_LINK_HAND))};
  return vcxRunAboutBox(parent, content);
}
