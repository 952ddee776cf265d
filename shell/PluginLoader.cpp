#include "shell/PluginLoader.h"
#include <cstdio>
#include <cstring>
#include <new>
#include "document/ProjectPreview.h"
#include "shell/Application.h"
#include "shell/Errors.h"
#include "shell/HostServices.h"
#include "shell/TextRoutines.h"

CFileFormatList g_Plugins;
CFileTypeList g_ImportTypes;
CFileTypeList g_ExportTypes;
VCXCanImportProc g_ProjectFileProbe = CanImportProject;

namespace {

const char kPluginExtension[] = "vcplugin";

int __cdecl BuiltinLastError(char*, int) { return 0; }

int __cdecl BuiltinCanImport(const char* path, int* outType, VCXLayeredImage** preview, char* text, int size) {
  return g_ProjectFileProbe ? g_ProjectFileProbe(path, outType, preview, text, size) : 0;
}

int CompareNames(CListItem* a, CListItem* b, void*) {
  return _stricmp(static_cast<CFileFormat*>(a)->name.text, static_cast<CFileFormat*>(b)->name.text);
}

int CompareDescriptions(CListItem* a, CListItem* b, void*) {
  return _stricmp(static_cast<CFileTypeEntry*>(a)->description.text,
                  static_cast<CFileTypeEntry*>(b)->description.text);
}

template <class T>
bool Bind(HMODULE module, const char* name, T& slot) {
  slot = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return slot != nullptr;
}

// Appends an entry for every type the pair of functions yields; a failing entry is left out.
void CollectTypes(CFileFormat* format, VCXGetFileTypeProc first, VCXGetFileTypeProc next, CFileTypeList& list) {
  // A plug-in that never ends its list cannot hold the start-up forever.
  for (int guard = 0; guard < 4096; ++guard) {
    VCXFileType* type = guard == 0 ? first() : next ? next() : nullptr;
    if (!type)
      break;
    try {
      list.Append(new CFileTypeEntry(format, type));
    } catch (...) {
    }
    VcsFreeFileType(type);
    if (!next)
      break;
  }
}

}  // namespace

// Descriptors.

CFileFormat::CFileFormat()
    : kind(FORMAT_KIND_NONE), sdkVersion(0), features(0), version(0), getSDKVersion(nullptr),
      getFeatures(nullptr), getName(nullptr), getVersion(nullptr), getLastError(nullptr), link(nullptr),
      adjustUI(nullptr), settings(nullptr), about(nullptr), getFirstImportableFileType(nullptr),
      getNextImportableFileType(nullptr), canImport(nullptr), import(nullptr), getFirstExportableFileType(nullptr),
      getNextExportableFileType(nullptr), canExport(nullptr), exportFile(nullptr) {}

CFileFormat::~CFileFormat() noexcept(false) {}

CFileTypeEntry* CFileFormat::ProbeImport(const char* path, VCXLayeredImage** preview, char* text, int size) {
  if (!canImport)
    return nullptr;
  CFileTypeEntry* entry = nullptr;
  try {
    int typeId = 0;
    if (canImport(path, &typeId, preview, text, size)) {
      if (text && size > 0)
        text[size - 1] = 0;
      entry = g_ImportTypes.Find(this, typeId);
    }
  } catch (...) {
    entry = nullptr;
  }
  if (!entry) {
    if (preview && *preview) {
      VcsFreeLayeredImage(*preview);
      *preview = nullptr;
    }
    if (text && size > 0)
      text[0] = 0;
  }
  return entry;
}

CPlugin::CPlugin() : module(nullptr) { kind = FORMAT_KIND_PLUGIN; }

CPlugin::~CPlugin() noexcept(false) {
  if (module)
    FreeLibrary(module);
}

void CFileFormatList::SortByName() { Sort(CompareNames, nullptr); }

CFileFormat* CFileFormatList::FindByName(const char* text) const {
  if (!text)
    return nullptr;
  for (CListItem* item = first; item; item = item->next)
    if (std::strcmp(static_cast<CFileFormat*>(item)->name.text, text) == 0)
      return static_cast<CFileFormat*>(item);
  return nullptr;
}

// File-type entries.

CFileExtension::CFileExtension(const char* extension) : text(extension) { _strlwr(text.text); }

CFileTypeEntry::CFileTypeEntry(CFileFormat* format, const VCXFileType* type)
    : plugin(format), typeId(type->id) {
  char description[sizeof type->description + 1];
  std::memcpy(description, type->description, sizeof type->description);
  description[sizeof type->description] = 0;
  this->description.Assign(description);
  const VCXFileTypeExtension* items = vcxGetFileTypeExtensions(type);
  for (int32_t i = 0; i < type->extensionCount; ++i) {
    char extension[sizeof items[i].extension + 1];
    std::memcpy(extension, items[i].extension, sizeof items[i].extension);
    extension[sizeof items[i].extension] = 0;
    extensions.Append(new CFileExtension(extension));
  }
}

CFileTypeEntry::CFileTypeEntry(const CFileTypeEntry& other)
    : CListItem(other), plugin(other.plugin), typeId(other.typeId), description(other.description) {
  for (CListItem* item = other.extensions.first; item; item = item->next)
    extensions.Append(new CFileExtension(static_cast<CFileExtension*>(item)->text.text));
}

CFileTypeEntry::~CFileTypeEntry() noexcept(false) { extensions.DeleteAll(); }

bool CFileTypeEntry::HasExtension(const char* extension) const {
  for (CListItem* item = extensions.first; item; item = item->next)
    if (_stricmp(static_cast<CFileExtension*>(item)->text.text, extension) == 0)
      return true;
  return false;
}

void CFileTypeList::SortByDescription() { Sort(CompareDescriptions, nullptr); }

CFileTypeEntry* CFileTypeList::Find(const CFileFormat* plugin, int32_t typeId) const {
  for (CListItem* item = first; item; item = item->next) {
    CFileTypeEntry* entry = static_cast<CFileTypeEntry*>(item);
    if (entry->plugin == plugin && entry->typeId == typeId)
      return entry;
  }
  return nullptr;
}

CFileTypeEntry* CFileTypeList::GetAt(int32_t position) const {
  int32_t i = 1;
  for (CListItem* item = first; item; item = item->next, ++i)
    if (i == position)
      return static_cast<CFileTypeEntry*>(item);
  return nullptr;
}

int32_t CFileTypeList::IndexOf(const CFileTypeEntry* entry) const {
  int32_t i = 1;
  for (CListItem* item = first; item; item = item->next, ++i)
    if (item == entry)
      return i;
  return 0;
}

// Loading.

CFileFormat* CreateBuiltinFormat() {
  CFileFormat* format = new (std::nothrow) CFileFormat;
  if (!format)
    return nullptr;
  format->kind = FORMAT_KIND_BUILTIN;
  format->name.Assign("INTERNAL FORMATS");
  format->version = 0xFFFFFFFFu;
  format->sdkVersion = VCX_SDK_VERSION;
  format->features = VCX_FEATURE_IMPORT | VCX_FEATURE_EXPORT;
  format->getLastError = BuiltinLastError;
  format->getFirstImportableFileType = GetProjectFileType;
  format->getNextImportableFileType = GetNextProjectFileType;
  format->getFirstExportableFileType = GetProjectFileType;
  format->getNextExportableFileType = GetNextProjectFileType;
  format->canImport = BuiltinCanImport;
  format->canExport = CanExportProject;
  return format;
}

CPlugin* LoadPlugin(const char* path) {
  CPlugin* plugin = new (std::nothrow) CPlugin;
  if (!plugin)
    return nullptr;
  try {
    plugin->path.Assign(path);
    // No "cannot find DLL" box for a plug-in with a missing dependency.
    UINT mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    plugin->module = LoadLibraryA(path);
    SetErrorMode(mode);
    HMODULE m = plugin->module;
    bool ok = m != nullptr;
    ok = ok && Bind(m, "VCXGetSDKVersion", plugin->getSDKVersion);
    ok = ok && (plugin->sdkVersion = plugin->getSDKVersion()) >= VCX_SDK_VERSION;
    ok = ok && Bind(m, "VCXGetFeatures", plugin->getFeatures);
    if (ok)
      plugin->features = plugin->getFeatures();
    ok = ok && Bind(m, "VCXGetName", plugin->getName);
    if (ok) {
      char name[256];
      name[0] = 0;
      plugin->getName(name, sizeof name);
      name[sizeof name - 1] = 0;
      ok = name[0] != 0;
      plugin->name.Assign(name);
    }
    ok = ok && Bind(m, "VCXGetVersion", plugin->getVersion);
    if (ok)
      plugin->version = plugin->getVersion();
    ok = ok && Bind(m, "VCXGetLastError", plugin->getLastError);
    ok = ok && Bind(m, "VCXLink", plugin->link);
    ok = ok && plugin->link(0, VCX_SDK_VERSION, GetServiceProc) != 0;
    if (!ok) {
      delete plugin;
      return nullptr;
    }
    Bind(m, "VCXAdjustUI", plugin->adjustUI);
    Bind(m, "VCXSettings", plugin->settings);
    Bind(m, "VCXAbout", plugin->about);
    Bind(m, "VCXGetFirstImportableFileType", plugin->getFirstImportableFileType);
    Bind(m, "VCXGetNextImportableFileType", plugin->getNextImportableFileType);
    Bind(m, "VCXCanImport", plugin->canImport);
    Bind(m, "VCXImport", plugin->import);
    Bind(m, "VCXGetFirstExportableFileType", plugin->getFirstExportableFileType);
    Bind(m, "VCXGetNextExportableFileType", plugin->getNextExportableFileType);
    Bind(m, "VCXCanExport", plugin->canExport);
    Bind(m, "VCXExport", plugin->exportFile);
    if (plugin->adjustUI)
      plugin->adjustUI();
    return plugin;
  } catch (...) {
    delete plugin;
    return nullptr;
  }
}

bool LoadPluginFile(const char* path) {
  CPlugin* plugin = LoadPlugin(path);
  if (!plugin)
    return false;
  g_Plugins.Add(plugin);
  return true;
}

bool ScanPluginFolder(const char* folder) {
  char pattern[MAX_PATH + 16];
  std::snprintf(pattern, sizeof pattern - 16, "%s", folder);
  AddTrailingBackslash(pattern);
  const size_t folderLength = std::strlen(pattern);
  std::strcat(pattern, "*.");
  std::strcat(pattern, kPluginExtension);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE)
    return false;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      continue;
    CWULString path;
    path.Assign(pattern);
    path.text[folderLength] = 0;
    path.Append(found.cFileName);
    try {
      LoadPluginFile(path.text);
    } catch (...) {
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return true;
}

void LoadPlugins() {
  CWULString folder(g_App.programFolder);
  folder.Append("Plugins");
  if (CFileFormat* builtin = CreateBuiltinFormat())
    g_Plugins.Add(builtin);
  ScanPluginFolder(folder.text);
  g_Plugins.SortByName();
}

void BuildFileTypeLists() {
  for (CListItem* item = g_Plugins.first; item; item = item->next) {
    CFileFormat* format = static_cast<CFileFormat*>(item);
    try {
      if ((format->features & VCX_FEATURE_IMPORT) && format->getFirstImportableFileType)
        CollectTypes(format, format->getFirstImportableFileType, format->getNextImportableFileType, g_ImportTypes);
      if ((format->features & VCX_FEATURE_EXPORT) && format->getFirstExportableFileType)
        CollectTypes(format, format->getFirstExportableFileType, format->getNextExportableFileType, g_ExportTypes);
    } catch (...) {
    }
  }
  g_ImportTypes.SortByDescription();
  g_ExportTypes.SortByDescription();
}

void ClearPluginLists() {
  g_ImportTypes.DeleteAll();
  g_ExportTypes.DeleteAll();
  g_Plugins.DeleteAll();
}

bool CheckFileOpens(const char* path) {
  if (path && path[0]) {
    // Shared as widely as possible: only a file nobody could read is refused here.
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      return true;
    }
  }
  ShowCannotOpenFile(path);
  return false;
}

void ShowCannotOpenFile(const char* path) {
  CWULString text("Cannot open the file ");
  text.Append(path ? path : "");
  ErrorBox(text.text);
}

CFileTypeEntry* FindImportTypeForFile(const char* path, VCXLayeredImage** preview, char* text, int size) {
  if (preview)
    *preview = nullptr;
  if (text && size > 0)
    text[0] = 0;
  if (!path || !path[0])
    return nullptr;
  const char* dot = PathExtensionDot(path);
  const char* extension = dot ? dot + 1 : "";
  if (extension[0]) {
    for (CListItem* item = g_ImportTypes.first; item; item = item->next) {
      CFileTypeEntry* entry = static_cast<CFileTypeEntry*>(item);
      if (!entry->HasExtension(extension))
        continue;
      if (CFileTypeEntry* found = entry->plugin->ProbeImport(path, preview, text, size))
        return found;
    }
  }
  for (CListItem* item = g_Plugins.first; item; item = item->next)
    if (CFileTypeEntry* found = static_cast<CFileFormat*>(item)->ProbeImport(path, preview, text, size))
      return found;
  return nullptr;
}

void ShowPluginError(CFileFormat* plugin) {
  if (!plugin || !plugin->getLastError)
    return;
  char* buffer = new (std::nothrow) char[4096];
  if (!buffer)
    return;
  buffer[0] = 0;
  int code = VCX_ERROR_INTERNAL;
  try {
    code = plugin->getLastError(buffer, 4095);
  } catch (...) {
    buffer[0] = 0;
  }
  buffer[4095] = 0;
  if (buffer[0]) {
    ErrorBox(buffer);
  } else if (const char* text = GetPluginErrorText(code)) {
    ErrorBox(text);
  }
  delete[] buffer;
}

VCXMultiImage* ImportThroughPlugin(CFileFormat* format, HWND owner, const char* path, int* outType) {
  CPlugin* module = AsPlugin(format);
  const VCXImportProc importFile = module ? module->GetImportFunction() : nullptr;
  if (!importFile) {
    ErrorBox("Unknown file type");
    return nullptr;
  }
  VCXMultiImage* record = nullptr;
  try {
    record = importFile(owner, path, outType);
  } catch (...) {
    ErrorBox("Plugin malfunction");
    return nullptr;
  }
  if (!record)
    ShowPluginError(format);
  return record;
}

bool ExportThroughPlugin(CFileFormat* format, HWND owner, const char* path, int32_t typeId, VCXMultiImage* record) {
  CPlugin* module = AsPlugin(format);
  const VCXExportProc exportFile = module ? module->GetExportFunction() : nullptr;
  if (!exportFile)
    return false;
  try {
    if (exportFile(owner, path, typeId, record) != 0)
      return true;
    ShowPluginError(format);
  } catch (...) {
    ErrorBox("Plugin malfunction");
  }
  return false;
}
