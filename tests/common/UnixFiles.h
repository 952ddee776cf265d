#pragma once
// What Wine's file calls hide of a file on the Unix side (its mode, owner and links), and the
// Unix commands that set them, run by the test through Wine, which starts Unix programs too.
#include <windows.h>
#include <string>
#include <vector>

// The Unix path of a Windows path; empty when there is none.
inline std::string UnixPathOf(const std::string& path) {
  typedef char*(CDECL * UnixNameFunction)(const wchar_t*);
  const UnixNameFunction unixName = reinterpret_cast<UnixNameFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  const int units = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
  std::vector<wchar_t> wide(units > 0 ? static_cast<size_t>(units) : 1, 0);
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), units);
  char* name = unixName ? unixName(wide.data()) : nullptr;
  const std::string result = name ? name : "";
  if (name)
    HeapFree(GetProcessHeap(), 0, name);
  return result;
}

// A path quoted for the shell.
inline std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs a shell command line; what it printed. (Wine signals a Unix program's handle when it
// has started it: the command's last step makes the file whose existence tells it ended.)
inline std::string RunUnixShell(const std::string& command) {
  char folder[MAX_PATH];
  char output[MAX_PATH];
  if (!GetTempPathA(MAX_PATH, folder) || !GetTempFileNameA(folder, "vcu", 0, output))
    return "";
  const std::string done = std::string(output) + ".done";
  const std::string line = "/bin/sh -c \"(" + command + ") >" + ShellQuoted(UnixPathOf(output)) + " 2>&1; mv " +
                           ShellQuoted(UnixPathOf(output)) + " " + ShellQuoted(UnixPathOf(done)) + "\"";
  std::vector<wchar_t> wide(line.size() + 1, 0);
  MultiByteToWideChar(CP_ACP, 0, line.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (CreateProcessW(L"Z:\\bin\\sh", wide.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                     &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int i = 0; i < 6000 && GetFileAttributesA(done.c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
      Sleep(10);
  }
  std::string text;
  const HANDLE file = CreateFileA(done.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    char bytes[4096];
    DWORD read = 0;
    while (ReadFile(file, bytes, sizeof bytes, &read, nullptr) && read)
      text.append(bytes, read);
    CloseHandle(file);
  }
  DeleteFileA(done.c_str());
  DeleteFileA(output);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
    text.pop_back();
  return text;
}

// "mode owner group" of a file as Unix has them ("600 root root"); a link's own when link.
inline std::string UnixModeAndOwner(const std::string& path) {
  return RunUnixShell("stat -c '%a %U %G' " + ShellQuoted(UnixPathOf(path)));
}

// Sets a file's mode ("600") and, unless empty, its owner ("nobody").
inline void SetUnixModeAndOwner(const std::string& path, const char* mode, const char* owner = "") {
  const std::string file = ShellQuoted(UnixPathOf(path));
  RunUnixShell(std::string("chmod ") + mode + " " + file + (owner[0] ? std::string(" && chown ") + owner + " " + file : ""));
}

// Makes link a symbolic link naming target; what went wrong, "" when it is one afterwards.
inline std::string MakeSymbolicLink(const std::string& target, const std::string& link) {
  const std::string made = RunUnixShell("ln -s " + ShellQuoted(UnixPathOf(target)) + " " +
                                        ShellQuoted(UnixPathOf(link)) + " && test -L " +
                                        ShellQuoted(UnixPathOf(link)) + " && echo link");
  return made == "link" ? "" : made.empty() ? "no output" : made;
}

// The file a symbolic link names; empty when path is no link.
inline std::string SymbolicLinkTarget(const std::string& path) {
  return RunUnixShell("readlink " + ShellQuoted(UnixPathOf(path)));
}

// Removes a symbolic link itself (Wine's DeleteFile removes the file it names instead).
inline void RemoveSymbolicLink(const std::string& link) {
  RunUnixShell("rm -f " + ShellQuoted(UnixPathOf(link)));
}
