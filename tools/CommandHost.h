#pragma once
// What the editing commands ask of the main view and the project panel besides the tool
// host: the view's state (centre and channel mode), the project panel's image items and the
// confirmation before an image is deleted. The user interface installs its own; the default
// centres on the current image, takes the tool host's zoom and channel mode, makes a selected
// image current itself and asks with a system message box.
#include <windows.h>
#include <cstdint>
#include "document/Image.h"
#include "wul/WULString.h"

class CProject;

// What the export dialog's user chose.
struct CExportChoice {
  CWULString folder;
  CWULString fileName;
  int32_t typeId = 0;
  CWULString pluginName;
};

class CCommandHost {
public:
  virtual ~CCommandHost();

  // Zoom, channel mode and the image point (24.8) under the view's centre.
  virtual CViewState GetViewState();

  // Project panel: changes come inside a begin/end bracket.
  virtual void BeginProjectItems();
  virtual void EndProjectItems();
  // Selects the image's item, which makes the image current.
  virtual void SelectImageItem(CImage* image);
  virtual void AddImageItem(CImage* image);
  virtual void RemoveImageItem(CImage* image);
  // The item follows its image to its new place in the project.
  virtual void MoveImageItem(CImage* image);

  // "Delete the image?": true when the user agrees.
  virtual bool ConfirmDeleteImage();

  // The owner of the plug-ins' windows.
  virtual HWND GetMainWindow();
  virtual void BeginWaitCursor();
  // The open dialog "Image import" starting in startFolder; false when cancelled (the
  // default, which has no dialog).
  virtual bool RunImportDialog(const char* startFolder, CWULString& folder, CWULString& fileName);
  // The save dialog "Image export" with the file name, folder and type preselected.
  virtual bool RunExportDialog(const char* fileName, const char* startFolder, int32_t typeId,
                               const char* pluginName, CExportChoice& choice);
  // One of the images of an imported file; null cancels (the default).
  virtual CImage* ChooseImportedImage(CProject* project);
};

CCommandHost* GetCommandHost();
// Null restores the default. Not owned.
void SetCommandHost(CCommandHost* host);
