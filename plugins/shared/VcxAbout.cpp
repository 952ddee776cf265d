#include "plugins/shared/VcxExports.h"

// The box needs its picture (bitmap resource 101) and the link's hand cursor (cursor
// resource 102), which the plug-ins do not carry yet; without them nothing is shown.
int vcxShowAboutBox(HWND) {
  return 0;
}
