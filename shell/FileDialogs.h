#pragma once
// The Windows common open and save dialogs (explorer style, with a hook): the simple
// dialogs with a fixed filter list, and the plug-in dialogs whose filters come from the
// import and export type lists. The plug-in open dialog adds a preview pane that asks the
// importers for a picture of the selected file. Every dialog remembers its size, adds the
// type's extension to a typed save name and asks before replacing a file. The dialogs run in
// wide characters: a chosen name that the ANSI code page cannot hold exactly is refused (an
// open dialog says the file cannot be opened, a save dialog says so and stays open).
#include <windows.h>
#include <cstdint>
#include "document/ObjectList.h"
#include "plugins/sdk/VCXRecords.h"
#include "wul/WULString.h"

class CFileFormat;
class CFileTypeEntry;
class CWULCheckBox;
class CWULImage;
class CWULLabel;
class CWULPanel;
class CWULPicture;

enum { FILE_DIALOG_OPEN = 1, FILE_DIALOG_SAVE = 2 };

// The state of one dialog run; the hook finds it through the dialog's custom data.
struct CFileDialogHookState {
  int32_t kind = FILE_DIALOG_OPEN;
  // The types of the filter entries of a save dialog: filter index i is types[i - 1].
  CFileTypeEntry** types = nullptr;
  int32_t typeCount = 0;
  // Built in the plug-in open dialog.
  bool preview = false;
  // The chosen path of a confirmed save dialog, its extension completed.
  CWULString path;
};

struct CFileDialogRequest {
  CFileDialogRequest();
  ~CFileDialogRequest();
  CFileDialogRequest(const CFileDialogRequest&) = delete;
  CFileDialogRequest& operator=(const CFileDialogRequest&) = delete;

  // folder + file name, with one separator between them.
  void GetPath(CWULString& path) const;

  CWULString title;
  CFileDialogHookState* hookState;  // set while the dialog runs
  CWULString folder;    // in: the starting folder; out: drive and folder of the choice
  CWULString fileName;  // in: the name to offer; out: name and extension of the choice
  // The filter entries of the simple dialogs (CreateFileFilter); owned.
  CObjectList filters;
  // Save dialogs: the type to preselect, and the one chosen.
  int32_t selectedTypeId;
  CFileFormat* selectedPlugin;  // the plug-in save dialog's; null matches any
  // The plug-in open dialog: list the built-in project type, list the plug-in types. The
  // plug-in save dialog honours the first.
  bool listProjectType;
  bool listPluginTypes;
};

// A filter entry of the simple dialogs: a description and extensions without dots,
// separated by ';'. typeId is what a save dialog reports for it.
CFileTypeEntry* CreateFileFilter(const char* description, const char* extensions, int32_t typeId);

// Appends a type's entry to a filter text: description " (" patterns ")\t" patterns "\t",
// the patterns "*.ext" joined with ';'. The patterns are appended to allPatterns too
// (joined with ';') when it is given. False when the type has no extension.
bool AppendFilterEntry(CWULString& filter, const CFileTypeEntry* type, CWULString* allPatterns);
// The filter of the plug-in open dialog ("ALL FILES", then "All supported file types" when
// more than one type is listed, then the types); returns the filter index to preselect.
int32_t BuildPluginOpenFilter(const CFileDialogRequest& request, CWULString& filter);
// A save name for the selected type: a missing or foreign extension gets "." + the type's
// first extension added; a name that ends in a single dot is kept as it is.
void CompleteSaveExtension(CWULString& path, const CFileTypeEntry* type);
// The typed name (no folder) with its extension replaced by the type's first one; false
// when the name has no name part.
bool ReplaceSpecExtension(CWULString& spec, const CFileTypeEntry* type);

class CFileDialog {
public:
  // Filters "ALL FILES" and the request's entries, the first entry preselected.
  static bool RunOpen(HWND owner, CFileDialogRequest& request);
};

class CSaveFileDialog {
public:
  // The request's entries only (false at once without any); the entry whose type id is
  // the request's is preselected and the offered name gets its first extension.
  static bool RunSave(HWND owner, CFileDialogRequest& request);
};

class CPluginFileDialog {
public:
  // The import types allowed by the request's switches, with the preview pane.
  static bool RunOpen(HWND owner, CFileDialogRequest& request);
};

class CPluginSaveDialog {
public:
  // The export types; on success the chosen type's id and plug-in are in the request.
  static bool RunSave(HWND owner, CFileDialogRequest& request);
};

// The preview pane of the plug-in open dialog; every pointer is null while none is shown.
struct CFilePreview {
  CWULPanel* pane;
  CWULPicture* box;
  CWULLabel* label;
  CWULCheckBox* enableBox;
  CWULCheckBox* chequerBox;
  CWULImage* image;      // the picture drawn centred in the box, or null
  CFileTypeEntry* type;  // the importer that described the selected file
  char path[MAX_PATH];
  char text[1024];
  int32_t boxSide;
};
const CFilePreview& GetFilePreview();
// The side of the preview box: 160 before Windows 2000, else 184.
int32_t GetPreviewBoxSide();
// The picture of an importer's preview record in a box of the side, or null: several
// layers are flattened, other formats converted to 32 bits, a larger picture scaled down
// to fit. The record is freed in every case.
CWULImage* MakePreviewImage(VCXLayeredImage* record, int32_t side);

// The size the dialogs last closed with ({0, 0} until one has closed); settable for tests.
SIZE GetFileDialogSize();
void SetFileDialogSize(SIZE size);
