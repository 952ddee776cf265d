#include "shell/Help.h"
#include <htmlhelp.h>
#include <cstring>
#include "wul/WULString.h"

static_assert(sizeof(void*) != 4 || sizeof(HH_WINTYPE) == 196, "HH_WINTYPE layout");

namespace {

const char kWindowType[] = "VC Help";

HtmlHelpProc htmlHelp = nullptr;
bool bindingTried = false;

// The program path with its extension replaced by "chm".
void GetHelpFilePath(CWULString& path) {
  char module[MAX_PATH + 8];
  DWORD length = GetModuleFileNameA(nullptr, module, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    path.Clear();
    return;
  }
  module[length] = 0;
  char* name = module;
  for (char* p = module; *p; p++) {
    if (*p == '\\' || *p == '/' || *p == ':')
      name = p + 1;
  }
  char* dot = std::strrchr(name, '.');
  if (dot)
    dot[1] = 0;
  else
    std::strcat(module, ".");
  path.Assign(module);
  path.Append("chm");
}

// Moves the help file's window type to the right part of the work area.
void PlaceHelpWindow(HtmlHelpProc proc, const CWULString& file) {
  RECT work;
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0))
    return;
  CWULString name(file);
  name.Append(">");
  name.Append(kWindowType);
  HH_WINTYPE* existing = nullptr;
  HWND result = proc(GetDesktopWindow(), name.text, HH_GET_WIN_TYPE, reinterpret_cast<DWORD_PTR>(&existing));
  if (result == reinterpret_cast<HWND>(-1) || !existing)
    return;
  HH_WINTYPE type;
  std::memset(&type, 0, sizeof type);
  size_t size = existing->cbStruct > 0 ? static_cast<size_t>(existing->cbStruct) : 0;
  std::memcpy(&type, existing, size < sizeof type ? size : sizeof type);
  type.cbStruct = sizeof type;
  type.rcWindowPos.left = work.right - 800 > work.left ? work.right - 800 : work.left;
  type.rcWindowPos.top = work.top;
  type.rcWindowPos.right = work.right;
  type.rcWindowPos.bottom = work.bottom;
  proc(GetDesktopWindow(), name.text, HH_SET_WIN_TYPE, reinterpret_cast<DWORD_PTR>(&type));
}

}  // namespace

HtmlHelpProc GetHtmlHelpProc() {
  if (!htmlHelp && !bindingTried) {
    bindingTried = true;
    HMODULE module = GetModuleHandleA("hhctrl.ocx");
    if (!module)
      module = LoadLibraryA("hhctrl.ocx");
    if (module)
      htmlHelp = reinterpret_cast<HtmlHelpProc>(reinterpret_cast<void*>(GetProcAddress(module, "HtmlHelpA")));
  }
  return htmlHelp;
}

void SetHtmlHelpProc(HtmlHelpProc proc) {
  htmlHelp = proc;
  bindingTried = proc != nullptr;
}

HWND ShowHelpTopic(const char* topic) {
  HtmlHelpProc proc = GetHtmlHelpProc();
  if (!proc)
    return nullptr;
  CWULString file;
  GetHelpFilePath(file);
  if (file.GetLength() == 0)
    return nullptr;
  CWULString path(file);
  if (topic && topic[0]) {
    path.Append("::");
    if (topic[0] != '/')
      path.Append("/");
    path.Append(topic);
  }
  PlaceHelpWindow(proc, file);
  return proc(GetDesktopWindow(), path.text, HH_DISPLAY_TOPIC, 0);
}

HWND ShowHelpContents() { return ShowHelpTopic(nullptr); }
