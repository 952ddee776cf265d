#pragma once
// Plug-in descriptors, the plug-in loader and the import and export file-type lists.
#include <windows.h>
#include <cstdint>
#include "document/ObjectList.h"
#include "plugins/sdk/VCXRecords.h"
#include "wul/WULString.h"

enum { FORMAT_KIND_NONE = 0, FORMAT_KIND_BUILTIN = 1, FORMAT_KIND_PLUGIN = 3 };

class CFileTypeEntry;

// A source of file types: the built-in project format or a plug-in module.
class CFileFormat : public CListItem {
public:
  CFileFormat();
  ~CFileFormat() noexcept(false) override;

  // The import-type entry the plug-in claims for the file, or null. On failure the preview
  // is freed and the text emptied.
  CFileTypeEntry* ProbeImport(const char* path, VCXLayeredImage** preview, char* text, int size);

  int32_t kind;
  uint32_t sdkVersion;
  uint32_t features;
  CWULString name;
  uint32_t version;

  VCXGetSDKVersionProc getSDKVersion;
  VCXGetFeaturesProc getFeatures;
  VCXGetNameProc getName;
  VCXGetVersionProc getVersion;
  VCXGetLastErrorProc getLastError;
  VCXLinkProc link;
  void(__cdecl* adjustUI)(void);
  int(__cdecl* settings)(HWND parent);
  VCXAboutProc about;
  VCXGetFileTypeProc getFirstImportableFileType;
  VCXGetFileTypeProc getNextImportableFileType;
  VCXCanImportProc canImport;
  VCXImportProc import;
  VCXGetFileTypeProc getFirstExportableFileType;
  VCXGetFileTypeProc getNextExportableFileType;
  VCXCanExportProc canExport;
  VCXExportProc exportFile;
};

// A plug-in module; deleting it frees the module.
class CPlugin : public CFileFormat {
public:
  CPlugin();
  ~CPlugin() noexcept(false) override;

  // The module's import and export entries; null when it has none.
  VCXImportProc GetImportFunction() const { return import; }
  VCXExportProc GetExportFunction() const { return exportFile; }

  HMODULE module;
  CWULString path;
};

// The plug-in module behind a file format; null for the built-in format.
inline CPlugin* AsPlugin(CFileFormat* format) { return dynamic_cast<CPlugin*>(format); }

class CFileFormatList : public CObjectList {
public:
  void Add(CFileFormat* format) { Append(format); }
  void Clear() { DeleteAll(); }
  void SortByName();
  CFileFormat* FindByName(const char* name) const;
};

class CFileExtension : public CListItem {
public:
  explicit CFileExtension(const char* text);
  CWULString text;  // lower case, without the dot
};

// One import or export type of a plug-in.
class CFileTypeEntry : public CListItem {
public:
  CFileTypeEntry(CFileFormat* format, const VCXFileType* type);
  CFileTypeEntry(const CFileTypeEntry& other);
  ~CFileTypeEntry() noexcept(false) override;

  bool HasExtension(const char* extension) const;

  CFileFormat* plugin;
  int32_t typeId;
  CWULString description;
  CObjectList extensions;
};

class CFileTypeList : public CObjectList {
public:
  void SortByDescription();
  CFileTypeEntry* Find(const CFileFormat* plugin, int32_t typeId) const;
  // 1-based; null or 0 when out of range or absent.
  CFileTypeEntry* GetAt(int32_t position) const;
  int32_t IndexOf(const CFileTypeEntry* entry) const;
};

extern CFileFormatList g_Plugins;
extern CFileTypeList g_ImportTypes;
extern CFileTypeList g_ExportTypes;

// The built-in descriptor's project-file probe (CanImportProject); tests may replace it.
extern VCXCanImportProc g_ProjectFileProbe;

void LoadPlugins();
// Loads the modules of a folder; false when it holds none.
bool ScanPluginFolder(const char* folder);
CPlugin* LoadPlugin(const char* path);
bool LoadPluginFile(const char* path);
CFileFormat* CreateBuiltinFormat();
void BuildFileTypeLists();
// Empties the type lists, then the plug-in list (which frees the modules).
void ClearPluginLists();

// Whether the file opens for reading; when it does not, false after "Cannot open the file
// <path>". Open and import ask this before looking for the file's type.
bool CheckFileOpens(const char* path);
// The error box "Cannot open the file <path>", also for a name that the code page cannot
// hold (shown with '?' for what it lacks).
void ShowCannotOpenFile(const char* path);
CFileTypeEntry* FindImportTypeForFile(const char* path, VCXLayeredImage** preview, char* text, int size);
void ShowPluginError(CFileFormat* plugin);
// The record the plug-in's import entry makes of the file, owned by the caller; null after
// "Unknown file type" (no import entry), the plug-in's error (no record) or "Plugin
// malfunction" (its code threw).
VCXMultiImage* ImportThroughPlugin(CFileFormat* format, HWND owner, const char* path, int* outType);
// Hands the record to the plug-in's export entry; false without one, after the plug-in's
// error when it fails and after "Plugin malfunction" when its code throws.
bool ExportThroughPlugin(CFileFormat* format, HWND owner, const char* path, int32_t typeId, VCXMultiImage* record);
