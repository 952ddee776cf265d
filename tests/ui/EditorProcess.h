#pragma once
// The editor itself started as a child process under the same Wine, for suites that drive it
// from outside.
#include <windows.h>
#include <cstring>
#include <string>
#include <memory>
#include "common/SettingsKey.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Project.h"
#include "document/ProjectFile.h"

// The folder of the running test program, with a trailing backslash; the editor is built
// beside it.
inline std::string ProgramFolder() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

inline std::string ProgramPath() { return ProgramFolder() + "Vellumcraft.exe"; }

inline std::string ScratchPath(const char* name) {
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  return std::string(folder) + name;
}

// Waits up to ms while answering messages that other processes send to this thread's windows
// (a clipboard owner or viewer here must not hold the editor up).
inline void AnswerSentMessagesFor(DWORD ms) {
  MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_SENDMESSAGE);
  MSG message;
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
}

// The editor with a command line; owns the process handle and ends a process still running
// when it goes. It starts from the default settings, and what it saves goes with it.
class Editor {
public:
  explicit Editor(const std::string& arguments) : Editor(Wide(arguments)) {}
  // Arguments in wide characters, as the shell passes a name outside the code page.
  explicit Editor(const std::wstring& arguments) {
    ClearSettingsKey();
    std::wstring line = L"\"" + Wide(ProgramPath()) + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    started = CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             &info) != 0;
  }
  ~Editor() {
    if (!started)
      return;
    if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(info.hProcess, 99);
      WaitForSingleObject(info.hProcess, 5000);
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    ClearSettingsKey();
  }
  Editor(const Editor&) = delete;
  Editor& operator=(const Editor&) = delete;

  // The exit code, or -2 when the program still runs after timeoutMs.
  int Wait(DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
      const DWORD waited = GetTickCount() - start;
      if (waited >= timeoutMs)
        return -2;
      const DWORD r = MsgWaitForMultipleObjects(1, &info.hProcess, FALSE, timeoutMs - waited, QS_SENDMESSAGE);
      if (r == WAIT_OBJECT_0)
        break;
      MSG message;
      PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    }
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    return static_cast<int>(code);
  }

  struct Search {
    DWORD pid;
    const char* prefix;
    bool whole;
    HWND found;
  };

  static BOOL CALLBACK FindTitled(HWND window, LPARAM param) {
    Search* s = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char title[256] = {};
    GetWindowTextA(window, title, sizeof title);
    if (pid == s->pid && IsWindowVisible(window) &&
        (s->whole ? std::strcmp(title, s->prefix) : std::strncmp(title, s->prefix, std::strlen(s->prefix))) == 0) {
      s->found = window;
      return FALSE;
    }
    return TRUE;
  }

  // The visible top-level window of the editor whose title begins with prefix (or is the
  // whole title), waiting up to timeoutMs; null when none shows.
  HWND FindWindowTitled(const char* prefix, DWORD timeoutMs, bool whole = false) {
    Search search{info.dwProcessId, prefix, whole, nullptr};
    const DWORD start = GetTickCount();
    while (!search.found && GetTickCount() - start < timeoutMs) {
      EnumWindows(FindTitled, reinterpret_cast<LPARAM>(&search));
      if (!search.found)
        AnswerSentMessagesFor(50);
    }
    return search.found;
  }

  bool started = false;
  PROCESS_INFORMATION info = {};

private:
  static std::wstring Wide(const std::string& text) {
    std::wstring wide(text.size() + 1, L'\0');
    wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0],
                                                        static_cast<int>(wide.size()))));
    if (!wide.empty())
      wide.pop_back();
    return wide;
  }
};

// Whether the window's title becomes exactly title within timeoutMs.
inline bool WaitForTitle(HWND window, const char* title, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    if (std::strcmp(text, title) == 0)
      return true;
    if (GetTickCount() - start >= timeoutMs)
      return false;
    AnswerSentMessagesFor(50);
  }
}

// A project file of one transparent 32 x 32 image with one layer.
inline bool WriteBlankProject(const std::string& path) {
  std::unique_ptr<CProject> project(new CProject());
  project->SetName("e2e");
  CImage* image = new CImage();
  image->SetSize(32, 32);
  image->SetTargetFormat(CImage::FORMAT_32BIT_ARGB);
  project->AddImage(image);
  CRasterLayer* layer = new CRasterLayer();
  image->AddLayer(layer);
  image->SetActiveLayer(layer);
  image->UpdateAll();
  project->SetCurrentImage(image);
  CProjectWriter writer;
  return writer.Write(path.c_str(), project.get());
}
