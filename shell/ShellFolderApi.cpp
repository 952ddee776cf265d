#include "shell/ShellFolderApi.h"
#include <cstring>
#include "shell/TextRoutines.h"

CShellFolderApi g_ShellFolderApi;

namespace {
const int kCsidlPersonal = 5;  // CSIDL_PERSONAL: the documents folder
}

CShellFolderApi::CShellFolderApi() : module(nullptr), getSpecialFolderPath(nullptr) { Load(); }

CShellFolderApi::~CShellFolderApi() { Unload(); }

bool CShellFolderApi::Load() {
  if (getSpecialFolderPath)
    return true;
  if (!module)
    module = LoadLibraryA("SHELL32.DLL");
  if (!module)
    return false;
  getSpecialFolderPath = reinterpret_cast<ShGetSpecialFolderPathProc>(
      reinterpret_cast<void*>(GetProcAddress(module, "SHGetSpecialFolderPathA")));
  return getSpecialFolderPath != nullptr;
}

void CShellFolderApi::Unload() {
  getSpecialFolderPath = nullptr;
  if (module)
    FreeLibrary(module);
  module = nullptr;
}

void CShellFolderApi::GetDocumentsFolder(CWULString& path) const {
  char buffer[MAX_PATH + 2] = {};
  if (!getSpecialFolderPath || !getSpecialFolderPath(nullptr, buffer, kCsidlPersonal, FALSE) || !buffer[0]) {
    path.Clear();
    return;
  }
  buffer[MAX_PATH] = 0;
  size_t length = std::strlen(buffer);
  // A drive root already ends in one.
  if (!EndsWithSeparator(buffer, false)) {
    buffer[length] = '\\';
    buffer[length + 1] = 0;
  }
  path.Assign(buffer);
}
