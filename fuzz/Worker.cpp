// A worker process: runs a range of one reader's mutants, answers the boxes and dialogs the
// roads show, and reports each mutant, a crash and its memory on the standard output.
#include <windows.h>
#include <psapi.h>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <exception>
#include <thread>
#include <vector>
#include "fuzz/Fuzz.h"
#include "wul/WULListBox.h"

namespace fuzz {
namespace {

HANDLE g_out = nullptr;
std::atomic<long long> g_current(0);
std::atomic<bool> g_done(false);

// Unbuffered, so that a line written just before a crash is not lost.
void Say(const char* format, ...) {
  char line[256];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  DWORD written = 0;
  if (n > 0)
    WriteFile(g_out, line, DWORD(n < int(sizeof line) ? n : int(sizeof line) - 1), &written, nullptr);
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS* info) {
  // Where it happened, as module and offset, so that a crash outside every mutant can be found.
  const char* at = static_cast<const char*>(info->ExceptionRecord->ExceptionAddress);
  HMODULE module = nullptr;
  char path[MAX_PATH] = "?";
  if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, at,
                         &module))
    GetModuleFileNameA(module, path, sizeof path);
  const char* name = std::strrchr(path, '\\') ? std::strrchr(path, '\\') + 1 : path;
  Say("C %lld %08lx at %s+%llx\n", g_current.load(), static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode),
      name, static_cast<unsigned long long>(at - reinterpret_cast<const char*>(module)));
  TerminateProcess(GetCurrentProcess(), 3);
  return EXCEPTION_EXECUTE_HANDLER;
}

void OnTerminate() {
  Say("C %lld terminate\n", g_current.load());
  TerminateProcess(GetCurrentProcess(), 4);
}

// Resident bytes: what the mutant really made the process touch.
uint64_t Resident(bool peak) {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
    return 0;
  return peak ? counters.PeakWorkingSetSize : counters.WorkingSetSize;
}

// More than the 32-bit program could ever hold: the mutant is stopped and reported.
const uint64_t kMemoryLimit = uint64_t(3) << 30;

void WatchMemory() {
  while (!g_done) {
    const uint64_t now = Resident(false);
    if (now > kMemoryLimit) {
      Say("M %lld %llu\n", g_current.load(), static_cast<unsigned long long>(now));
      TerminateProcess(GetCurrentProcess(), 5);
    }
    Sleep(10);
  }
}

const char kChooser[] = "The file contains more than one image";
const wchar_t kChooserW[] = L"The file contains more than one image";
// The chooser whose lists and previews have all been made; until then the Enter presser
// leaves a chooser alone.
std::atomic<HWND> g_walked(nullptr);
// Rows of each list whose preview the walk draws.
const int kRowsWalked = 16;

void ClickAt(HWND window, int x, int y) {
  SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

struct ChildSearch {
  const char* caption;  // or null: by size
  int width, height;
  HWND found;
};

BOOL CALLBACK FindChild(HWND child, LPARAM lParam) {
  auto* search = reinterpret_cast<ChildSearch*>(lParam);
  if (search->caption) {
    char text[64] = {};
    GetWindowTextA(child, text, sizeof text);
    if (std::strcmp(text, search->caption) != 0)
      return TRUE;
  } else {
    RECT r;
    if (!GetWindowRect(child, &r) || r.right - r.left != search->width || r.bottom - r.top != search->height)
      return TRUE;
  }
  search->found = child;
  return FALSE;
}

HWND ChildCaptioned(HWND dialog, const char* caption) {
  ChildSearch search = {caption, 0, 0, nullptr};
  EnumChildWindows(dialog, FindChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The chooser's list is the child of its size; its first row is at the top.
HWND ChooserList(HWND dialog) {
  ChildSearch search = {nullptr, 128, 178, nullptr};
  EnumChildWindows(dialog, FindChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void Click(HWND dialog, const char* caption) {
  if (HWND child = ChildCaptioned(dialog, caption))
    ClickAt(child, 4, 4);
}

void ClickFirstRow(HWND dialog) {
  if (HWND list = ChooserList(dialog))
    ClickAt(list, 20, 8);
}

// The rows of the chooser's list: the plug-in's framework object behind its window.
int RowCount(HWND list) {
  auto* box = reinterpret_cast<CWULListBox*>(GetWindowLongPtrA(list, GWLP_USERDATA));
  return box ? box->items.count : 0;
}

void PressKey(HWND window, UINT key) {
  const LPARAM down = 1 | (LPARAM(MapVirtualKeyA(key, 0)) << 16);
  SendMessageA(window, WM_KEYDOWN, key, down);
  SendMessageA(window, WM_KEYUP, key, down | LPARAM(3u << 30));
}

// Everything the chooser makes before it is answered: every enabled kind's list with the
// thumbnails of all its rows (each made when its row is first drawn: the walk draws the list
// after each step and pages through the rest), the preview of each of the first rows (the
// first clicked, the next ones reached with the Down key), and the chequered background
// switched. The kind walked last, whose first row is imported, changes by turns.
void WalkChooser(HWND dialog) {
  std::vector<HWND> kinds;
  for (const char* kind : {"&Icons", "&Cursors", "&Bitmaps"})
    if (HWND radio = ChildCaptioned(dialog, kind))
      if (IsWindowEnabled(radio))
        kinds.push_back(radio);
  HWND list = ChooserList(dialog);
  for (size_t i = 0; i < kinds.size() && IsWindow(dialog); ++i) {
    ClickAt(kinds[(size_t(g_current.load()) + 1 + i) % kinds.size()], 4, 4);
    if (!list || !IsWindow(list))
      continue;
    UpdateWindow(list);
    ClickAt(list, 20, 8);
    for (int row = 1; row < kRowsWalked && IsWindow(list); ++row) {
      PressKey(list, VK_DOWN);
      UpdateWindow(list);
    }
    // A page moves fewer rows than this.
    const int kRowsPerPage = 8;
    const int rows = RowCount(list);
    for (int row = kRowsWalked; row < rows + kRowsPerPage && IsWindow(list); row += kRowsPerPage) {
      PressKey(list, VK_NEXT);
      UpdateWindow(list);
    }
  }
  if (IsWindow(dialog))
    Click(dialog, "Chequered background");
}

// The chooser is answered by a message to a window of the answerer's own, not in the timer's
// callback: the system swallows what a timer callback raises, a crash included.
const UINT kAnswerChooser = WM_APP + 1;
HWND g_answerer = nullptr;
std::atomic<bool> g_chooserPosted(false);

// After its walk the image chooser takes the first image of its list with OK.
void AnswerChooser(HWND chooser) {
  static bool walking = false;
  if (walking || !IsWindow(chooser) || !IsWindowVisible(chooser) || !IsWindowEnabled(chooser))
    return;
  if (g_walked.load() != chooser) {
    walking = true;
    WalkChooser(chooser);
    walking = false;
    g_walked = chooser;
    Say("W %lld\n", g_current.load());
  }
  if (!IsWindow(chooser))
    return;
  ClickFirstRow(chooser);
  Click(chooser, "OK");
}

LRESULT CALLBACK AnswererProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != kAnswerChooser)
    return DefWindowProcA(window, message, wParam, lParam);
  g_chooserPosted = false;
  AnswerChooser(reinterpret_cast<HWND>(lParam));
  return 0;
}

// The PSD import takes layers or the composite by turns, with OK; every other window (the
// error boxes) is closed, which answers its OK.
BOOL CALLBACK AnswerWindow(HWND window, LPARAM) {
  if (!IsWindowVisible(window) || !IsWindowEnabled(window))
    return TRUE;
  char caption[128] = {};
  GetWindowTextA(window, caption, sizeof caption);
  if (std::strcmp(caption, kChooser) == 0) {
    const LPARAM chooser = reinterpret_cast<LPARAM>(window);
    if (!g_chooserPosted.exchange(true) && !PostMessageA(g_answerer, kAnswerChooser, 0, chooser))
      g_chooserPosted = false;
  } else if (std::strcmp(caption, "PSD Import") == 0) {
    Click(window, g_current.load() % 2 == 0 ? "Layers" : "Composite");
    Click(window, "OK");
  } else {
    PostMessageA(window, WM_CLOSE, 0, 0);
  }
  return TRUE;
}

void CALLBACK AnswerTimer(HWND, UINT, UINT_PTR, DWORD) {
  EnumThreadWindows(GetCurrentThreadId(), AnswerWindow, 0);
}

HWND CreateAnswererWindow() {
  static const char kClass[] = "vcfuzz answerer";
  WNDCLASSA type = {};
  type.lpfnWndProc = AnswererProc;
  type.hInstance = GetModuleHandleA(nullptr);
  type.lpszClassName = kClass;
  RegisterClassA(&type);
  return CreateWindowExA(0, kClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, type.hInstance, nullptr);
}

// Error boxes are closed as soon as they become active, without the timer's wait.
LRESULT CALLBACK AnswerHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_DESTROYWND) {
    HWND window = reinterpret_cast<HWND>(wParam);
    g_walked.compare_exchange_strong(window, nullptr);
  } else if (code == HCBT_ACTIVATE) {
    HWND window = reinterpret_cast<HWND>(wParam);
    char caption[128] = {};
    GetWindowTextA(window, caption, sizeof caption);
    if (std::strstr(caption, ":: Error") || std::strstr(caption, ":: Critical Error"))
      PostMessageA(window, WM_CLOSE, 0, 0);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// A chooser that has not shown all it makes yet. Its caption is read without a message to
// its thread.
bool AwaitsItsWalk(HWND window) {
  wchar_t caption[64] = {};
  InternalGetWindowText(window, caption, 64);
  return std::wcscmp(caption, kChooserW) == 0 && g_walked.load() != window;
}

BOOL CALLBACK PressEnter(HWND window, LPARAM) {
  if (!IsWindowVisible(window) || AwaitsItsWalk(window))
    return TRUE;
  const LPARAM down = 1 | (LPARAM(MapVirtualKeyA(VK_RETURN, 0)) << 16);
  const LPARAM up = down | LPARAM(3u << 30);
  PostMessageA(window, WM_KEYDOWN, VK_RETURN, down);
  PostMessageA(window, WM_KEYUP, VK_RETURN, up);
  // A sent message arrives before whatever is queued, between two posted ones.
  SendNotifyMessageA(window, WM_KEYDOWN, VK_RETURN, down);
  SendNotifyMessageA(window, WM_KEYUP, VK_RETURN, up);
  return TRUE;
}

}  // namespace

CAnswerer::CAnswerer()
    : window((g_answerer = CreateAnswererWindow())),
      hook(SetWindowsHookExA(WH_CBT, AnswerHook, nullptr, GetCurrentThreadId())),
      timer(SetTimer(nullptr, 0, USER_TIMER_MINIMUM, AnswerTimer)),
      stop(false),
      presser([this, thread = GetCurrentThreadId()] {
        while (!stop) {
          EnumThreadWindows(thread, PressEnter, 0);
          Sleep(1);
        }
      }) {}

CAnswerer::~CAnswerer() {
  stop = true;
  presser.join();
  KillTimer(nullptr, timer);
  if (hook)
    UnhookWindowsHookEx(static_cast<HHOOK>(hook));
  DestroyWindow(static_cast<HWND>(window));
  g_answerer = nullptr;
}

int RunWorker(const Reader& reader, uint64_t first, uint64_t count) {
  g_out = GetStdHandle(STD_OUTPUT_HANDLE);
  SetUnhandledExceptionFilter(OnCrash);
  std::set_terminate(OnTerminate);
  std::thread watcher(WatchMemory);
  CAnswerer answerer;
  int result = 0;
  const std::vector<Bytes> seeds = LoadSeeds(reader);
  if (seeds.empty()) {
    Say("X no seeds for %s\n", reader.name);
    result = 2;
  } else if (!InitRoads()) {
    Say("X the editor's start-up failed (plug-ins missing?)\n");
    result = 2;
  } else {
    CreateDirectoryA((WorkFolder() + "work").c_str(), nullptr);
    char name[96];
    std::snprintf(name, sizeof name, "work\\%s-%llu.%s", reader.name, static_cast<unsigned long long>(first),
                  reader.extension);
    const std::string path = WorkFolder() + name;
    uint64_t peak = 0;
    for (uint64_t i = first; i < first + count; ++i) {
      const Bytes bytes = MakeMutant(seeds, reader, i);
      if (!WriteFileBytes(path, bytes)) {
        Say("X cannot write %s\n", path.c_str());
        result = 2;
        break;
      }
      g_current = static_cast<long long>(i);
      Say("S %llu\n", static_cast<unsigned long long>(i));
      const bool accepted = RunRoad(reader, path, bytes);
      const uint64_t now = Resident(true);
      if (now > peak) {
        peak = now;
        Say("P %llu %llu\n", static_cast<unsigned long long>(i), static_cast<unsigned long long>(peak));
      }
      Say("%c %llu\n", accepted ? 'A' : 'R', static_cast<unsigned long long>(i));
    }
    DeleteFileA(path.c_str());
    if (result == 0)
      Say("E\n");
  }
  g_done = true;
  watcher.join();
  // Quick exit: the plug-ins and services need no orderly shut-down here.
  std::fflush(stdout);
  TerminateProcess(GetCurrentProcess(), UINT(result));
  return result;
}

int Replay(const Reader& reader, const std::string& path) {
  g_out = GetStdHandle(STD_OUTPUT_HANDLE);
  SetUnhandledExceptionFilter(OnCrash);
  CAnswerer answerer;
  Bytes bytes;
  if (!ReadFileBytes(path, bytes) || !InitRoads()) {
    std::printf("cannot read %s or start the editor's services\n", path.c_str());
    return 2;
  }
  g_current = 0;
  const bool accepted = RunRoad(reader, path, bytes);
  std::printf("%s: %s\n", path.c_str(), accepted ? "accepted" : "refused");
  return 0;
}

}  // namespace fuzz
