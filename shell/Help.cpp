#include "shell/Help.h"
#include <htmlhelp.h>
#include <cstring>
#include <cstdio>
#include "shell/Errors.h"
#include "shell/TextRoutines.h"
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
  char* dot = PathExtensionDot(module);
  if (dot)
    dot[1] = 0;
  else
    std::strcat(module, ".");
  path.Assign(module);
  path.Append("chm");
}

namespace {

// The right part of the work area, at most 800 pixels wide; false when the work area is unknown.
bool GetHelpWindowRect(RECT& place) {
  RECT work;
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0))
    return false;
  place.left = work.right - 800 > work.left ? work.right - 800 : work.left;
  place.top = work.top;
  place.right = work.right;
  place.bottom = work.bottom;
  return true;
}

// Moves the help file's window type to place. False when the control knows no such type
// (some controls know none until the file has been shown).
bool PlaceHelpWindowType(HtmlHelpProc proc, const CWULString& file, const RECT& place) {
  CWULString name(file);
  name.Append(">");
  name.Append(HELP_WINDOW_TYPE);
  // The answer is a pointer to the control's record; some controls copy the record itself
  // into the buffer instead, so the buffer has room for one. Past the pointer's bytes the
  // buffer is marked: a copy writes over the mark, a pointer leaves it. (Any pointer value
  // can look like a record's first words, and a copy can be zero past them.)
  const unsigned char mark = 0xA5;
  union {
    HH_WINTYPE* pointer;
    unsigned char room[2 * sizeof(HH_WINTYPE)];
  } answer;
  std::memset(&answer, mark, sizeof answer);
  answer.pointer = nullptr;
  HWND result = proc(GetDesktopWindow(), name.text, HH_GET_WIN_TYPE, reinterpret_cast<DWORD_PTR>(&answer));
  bool copied = false;
  for (size_t i = sizeof answer.pointer; i < sizeof(HH_WINTYPE) && !copied; ++i)
    copied = answer.room[i] != mark;
  const HH_WINTYPE* existing = copied ? reinterpret_cast<const HH_WINTYPE*>(answer.room) : answer.pointer;
  if (result == reinterpret_cast<HWND>(-1) || !existing)
    return false;
  HH_WINTYPE type;
  std::memset(&type, 0, sizeof type);
  size_t size = existing->cbStruct > 0 ? static_cast<size_t>(existing->cbStruct) : 0;
  std::memcpy(&type, existing, size < sizeof type ? size : sizeof type);
  type.cbStruct = sizeof type;
  type.fsValidMembers |= HHWIN_PARAM_RECT;
  type.rcWindowPos = place;
  proc(GetDesktopWindow(), name.text, HH_SET_WIN_TYPE, reinterpret_cast<DWORD_PTR>(&type));
  return true;
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
  RECT place;
  const bool placing = GetHelpWindowRect(place);
  const bool typed = placing && PlaceHelpWindowType(proc, file, place);
  HWND window = proc(GetDesktopWindow(), path.text, HH_DISPLAY_TOPIC, 0);
  if (!window)
    ReportHelpFailure(file, false);
  else if (placing && !typed && IsWindow(window))
    // The type was unknown before the window opened: the window itself goes there.
    SetWindowPos(window, nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  return window;
}

HWND ShowHelpContents() { return ShowHelpTopic(nullptr); }
