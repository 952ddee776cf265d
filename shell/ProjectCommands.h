#pragma once
// The File commands on whole projects: new, open, save, save as, close with the save
// question, import and export through the plug-ins, and the entry points of the command
// line. One project at most is open: the current project of tools/CurrentImage.h.
#include <windows.h>
#include <cstdint>

class CProject;
struct CCommandLine;
struct CFileDialogRequest;

// What the commands ask of the user interface besides the editor UI (which shows the wait
// cursor, refits the view, refreshes the preview and updates the command states). Every
// member may be null; a null member does nothing (panels) or falls back to the editor UI's
// main window, and a null dialog runs the real one.
struct CProjectCommandHooks {
  void (*clearImagePanel)();
  void (*clearProjectPanel)();
  void (*rebuildProjectPanel)();
  // The main window's client container: owner of the questions and the plug-ins' windows.
  HWND (*getMainWindow)();
  // Stand-ins for the file dialogs (CPluginFileDialog::RunOpen, CSaveFileDialog::RunSave,
  // CPluginSaveDialog::RunSave); true when the request was confirmed and filled in.
  bool (*runOpenDialog)(HWND owner, CFileDialogRequest& request);
  bool (*runSaveDialog)(HWND owner, CFileDialogRequest& request);
  bool (*runExportDialog)(HWND owner, CFileDialogRequest& request);
};
// Null clears every hook. The record is copied.
void SetProjectCommandHooks(const CProjectCommandHooks* hooks);

// Modes of ConfirmSaveModified and CloseProject.
enum {
  SAVE_MODIFIED_NEVER = 0,
  SAVE_MODIFIED_SILENTLY = 1,
  SAVE_MODIFIED_DISCARD = 2,  // a new project replaces the old one
  SAVE_MODIFIED_ASK = 3       // the Close command and closing the main window
};

// Null after the error box "Project creation failed".
CProject* CreateProject();
// A new project read from the file, or null (the reader reports its own errors).
CProject* ReadProject(const char* path);
// False after an error box; the file at path is replaced only by a complete new one.
bool WriteProject(const char* path, CProject* project);

// True when the command may go on; false without a project.
bool ConfirmSaveModified(int mode);
// Deletes the current project after ConfirmSaveModified(mode); false when there was none
// or the user refused.
bool CloseProject(int mode);

// The menu commands; each returns true when it did what it was asked.
bool OpenProjectCommand();
bool SaveProjectCommand();
bool SaveProjectAsCommand();
bool ImportProjectCommand();
bool ExportProjectCommand();

// The file parts of the commands, also used by the command line.
bool OpenProjectFile(const char* path);
bool ImportProjectFile(const char* path);
// Opens the path of the command line as a project (no option) or imports it (option i);
// any other option ignores it. A path that did not fit the code page is refused with
// "Cannot open the file <path>". False when nothing was opened.
bool OpenCommandLinePath(const CCommandLine& line);
// Writes the current project to path and makes path its file (name, path, unmodified).
bool SaveProjectAsFile(const char* path);
// Writes the current project as a file type of a plug-in (the project type writes a
// project file). The project keeps its name, path and modified flag.
bool ExportProjectFile(const char* path, int32_t typeId, const char* pluginName);
