#include "wul/WULPopupMenu.h"
#include "wul/WULError.h"
#include "wul/WULMenu.h"
#include "wul/WULMenuShell.h"

int32_t WULPopupMenuEx(CWULMenu* menu, const RECT* rect, int flags) {
  if (!menu || menu->listener)
    return 0;
  CWULPopupMenuShell* shell = CWULPopupMenuShell::Create("WULPopupMenuEx", "Popup menu shell creation failed");
  try {
    shell->SetMenu(menu);
    RECT area = {0, 0, 0, 0};
    if (rect)
      area = *rect;
    shell->SetExcludeRect(&area);
    shell->SetFlags(flags);
    shell->Incarnate(nullptr);
    // The shell closes itself; its window's destruction deletes it later.
    if (shell->Run())
      return shell->resultValue;
    return 0;
  } catch (const CWULError& error) {
    CWULPopupMenuShell::Discard(shell);
    wulShowError(error);
    return 0;
  }
}

int32_t WULPopupMenu(CWULMenu* menu, int x, int y) {
  RECT point = {x, y, x + 1, y + 1};
  return WULPopupMenuEx(menu, &point, WUL_SHELL_ALIGN_X | WUL_SHELL_ALIGN_Y);
}

int32_t WULPopupMenuAtCursor(CWULMenu* menu) {
  POINT cursor;
  if (!GetCursorPos(&cursor))
    return 0;
  return WULPopupMenu(menu, cursor.x, cursor.y);
}
