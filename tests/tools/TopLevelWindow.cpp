// A top-level framework window for the option-pane tests.
#include "wul/WULAppWindow.h"
#include "wul/WULInit.h"

CWULFramedWindow* MakeTopLevelWindow(int clientWidth, int clientHeight) {
  wulPushDefaultParent(nullptr);
  CWULAppWindow* window = new CWULAppWindow;
  wulPopDefaultParent();
  window->SetClientSize(clientWidth, clientHeight);
  return window;
}
