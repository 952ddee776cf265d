#include "shell/Help.h"
#include <htmlhelp.h>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include "shell/Errors.h"
#include "wul/WULString.h"

static_assert(sizeof(void*) != 4 || sizeof(HH_WINTYPE) == 196, "HH_WINTYPE layout");

namespace {

HtmlHelpProc htmlHelp = nullptr;
bool bindingTried = false;

// Says why the help file did not open, naming it.
void ReportHelpFailure(const CWULString& file, bool noControl) {
  const char* name = file.GetLength() ? file.text : "Vellumcraft.chm";
  const char* format = noControl ? "The help file %s cannot be shown: the HTML Help control is not installed."
                       : GetFileAttributesA(name) == INVALID_FILE_ATTRIBUTES ? "The help file %s is missing."
                                                                             : "The help file %s cannot be opened.";
  char text[MAX_PATH + 160];
  std::snprintf(text, sizeof text, format, name);
  ErrorBox(text);
}

}  // namespace

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

namespace {

// Moves the help file's window type to the right part of the work area.
void PlaceHelpWindow(HtmlHelpProc proc, const CWULString& file) {
  RECT work;
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0))
    return;
  CWULString name(file);
  name.Append(">");
  name.Append(HELP_WINDOW_TYPE);
  // The answer is a pointer to the control's record; some controls copy the record itself
  // into the buffer instead, so the buffer has room for one. A copied record starts with its
  // size and a BOOL, which no record pointer can look like; it is left alone.
  union {
    HH_WINTYPE* pointer;
    uint32_t words[2];
    unsigned char room[2 * sizeof(HH_WINTYPE)];
  } answer;
  std::memset(&answer, 0, sizeof answer);
  HWND result = proc(GetDesktopWindow(), name.text, HH_GET_WIN_TYPE, reinterpret_cast<DWORD_PTR>(&answer));
  const bool copied = answer.words[0] < 0x10000 && (sizeof(void*) == 4 || answer.words[1] <= 1);
  HH_WINTYPE* existing = answer.pointer;
  if (result == reinterpret_cast<HWND>(-1) || !existing || copied)
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

void SetHtmlHelpProc(HtmlHelpProc proc, bool rebind) {
  htmlHelp = proc;
  bindingTried = proc != nullptr || !rebind;
}

HWND ShowHelpTopic(const char* topic) {
  CWULString file;
  GetHelpFilePath(file);
  HtmlHelpProc proc = GetHtmlHelpProc();
  if (!proc || file.GetLength() == 0) {
    ReportHelpFailure(file, !proc);
    return nullptr;
  }
  CWULString path(file);
  if (topic && topic[0]) {
    path.Append("::");
    if (topic[0] != '/')
      path.Append("/");
    path.Append(topic);
  }
  PlaceHelpWindow(proc, file);
  HWND window = proc(GetDesktopWindow(), path.text, HH_DISPLAY_TOPIC, 0);
  if (!window)
    ReportHelpFailure(file, false);
  return window;
}

HWND ShowHelpContents() { return ShowHelpTopic(nullptr); }
