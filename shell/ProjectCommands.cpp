#include "shell/ProjectCommands.h"
#include <cstring>
#include <new>
#include "document/EditorUI.h"
#include "document/Project.h"
#include "document/ProjectFile.h"
#include "shell/Application.h"
#include "shell/Conversion.h"
#include "shell/Errors.h"
#include "shell/FileDialogs.h"
#include "shell/HostServices.h"
#include "shell/PluginLoader.h"
#include "shell/Settings.h"
#include "shell/TextRoutines.h"
#include "tools/CurrentImage.h"
#include "tools/WorkingCopies.h"
#include "ui/MessageBox.h"

namespace {

CProjectCommandHooks g_hooks = {};

const char kProjectTypeName[] = "Vellumcraft project";
const char kProjectExtension[] = "vcj";
const int32_t kProjectTypeId = 1;

HWND MainWindow() {
  return g_hooks.getMainWindow ? g_hooks.getMainWindow() : GetEditorUI()->GetMainWindow();
}

void UpdateCommandStates() { GetEditorUI()->UpdateCommandStates(); }

void RebuildProjectPanel() {
  if (g_hooks.rebuildProjectPanel)
    g_hooks.rebuildProjectPanel();
}

// The file name of a path without folder and extension.
void NameFromPath(const char* path, CWULString& name) {
  name.Assign(PathFileName(path));
  if (char* dot = PathExtensionDot(name.text))
    *dot = 0;
}

bool IsBuiltin(const CFileFormat* format) { return format && format->kind == FORMAT_KIND_BUILTIN; }

const char* SettingText(CStringSetting* setting) { return setting ? setting->GetValue() : ""; }

void SetSettingText(CStringSetting* setting, const char* text) {
  if (setting)
    setting->SetValue(text);
}

bool RunOpenDialog(CFileDialogRequest& request) {
  HWND owner = MainWindow();
  return g_hooks.runOpenDialog ? g_hooks.runOpenDialog(owner, request) : CPluginFileDialog::RunOpen(owner, request);
}

bool RunSaveDialog(CFileDialogRequest& request) {
  HWND owner = MainWindow();
  return g_hooks.runSaveDialog ? g_hooks.runSaveDialog(owner, request) : CSaveFileDialog::RunSave(owner, request);
}

bool RunExportDialog(CFileDialogRequest& request) {
  HWND owner = MainWindow();
  return g_hooks.runExportDialog ? g_hooks.runExportDialog(owner, request)
                                 : CPluginSaveDialog::RunSave(owner, request);
}

// Makes a project read from path the current one, replacing (without a question) the
// project that was open. False, with the new project deleted, when the old one stays.
bool InstallProject(CProject* project, const char* path, bool keepPath) {
  if (GetCurrentProject() && !CloseProject(SAVE_MODIFIED_DISCARD)) {
    CProject::Destroy(project);
    return false;
  }
  SetCurrentProject(project);
  ResyncWorkingCopiesQuietly();
  CWULString name;
  NameFromPath(path, name);
  project->SetName(name.text);
  if (keepPath)
    project->SetPath(path);
  project->ClearModified();
  RebuildProjectPanel();
  UpdateCommandStates();
  return true;
}

// A new project from a plug-in's file, or null after the plug-in's message.
CProject* ImportProjectThroughPlugin(CFileFormat* plugin, const char* path) {
  VCXMultiImage* record = ImportThroughPlugin(plugin, MainWindow(), path, nullptr);
  if (!record)
    return nullptr;
  COwnedMultiImage owned(record);
  return ConvertPortableMultiImage(record);
}

// Writes the project as the plug-in's type; the project type writes a project file.
bool ExportTo(CProject* project, VCXMultiImage* record, const char* path, int32_t typeId, CFileFormat* plugin) {
  if (!plugin)
    return false;
  if (IsBuiltin(plugin))
    return WriteProject(path, project);
  return record && ExportThroughPlugin(plugin, MainWindow(), path, typeId, record);
}

}  // namespace

void SetProjectCommandHooks(const CProjectCommandHooks* hooks) {
  if (hooks)
    g_hooks = *hooks;
  else
    g_hooks = CProjectCommandHooks();
}

CProject* CreateProject() {
  CProject* project = nullptr;
  try {
    project = new (std::nothrow) CProject;
  } catch (...) {
    project = nullptr;
  }
  if (!project)
    ErrorBox("Project creation failed");
  return project;
}

CProject* ReadProject(const char* path) {
  CProjectReader* reader = new (std::nothrow) CProjectReader;
  if (!reader) {
    ErrorBox("Cannot read project: insufficient memory");
    return nullptr;
  }
  CProject* project = nullptr;
  try {
    project = reader->Read(path);
  } catch (...) {
    project = nullptr;
  }
  delete reader;
  return project;
}

bool WriteProject(const char* path, CProject* project) {
  CProjectWriter* writer = new (std::nothrow) CProjectWriter;
  if (!writer) {
    ErrorBox("Cannot write project: insufficient memory");
    return false;
  }
  bool written = false;
  try {
    written = writer->Write(path, project);
  } catch (...) {
    written = false;
  }
  delete writer;
  return written;
}

bool ConfirmSaveModified(int mode) {
  CProject* project = GetCurrentProject();
  if (!project)
    return false;
  switch (mode) {
    case SAVE_MODIFIED_NEVER:
    case SAVE_MODIFIED_DISCARD:
      return true;
    case SAVE_MODIFIED_SILENTLY:
      return !project->IsModified() || SaveProjectCommand();
    case SAVE_MODIFIED_ASK: {
      if (!project->IsModified())
        return true;
      CWULString text("Save the changes you made to ");
      text.Append(project->GetName());
      text.Append('?');
      const int answer = MessageBoxDialog(MainWindow(), MSGBOX_TYPE_YES_NO_CANCEL, MSGBOX_KIND_QUESTION,
                                          "The project is modified", text.text, MSGBOX_VALUE_YES);
      if (answer == MSGBOX_VALUE_YES)
        return SaveProjectCommand();
      return answer == MSGBOX_VALUE_NO;
    }
    default:
      return false;
  }
}

bool CloseProject(int mode) {
  if (!GetCurrentProject() || !ConfirmSaveModified(mode))
    return false;
  CProject* project = GetCurrentProject();
  SetCurrentProject(nullptr);
  try {
    CProject::Destroy(project);
  } catch (...) {
  }
  ResyncWorkingCopiesQuietly();
  if (g_hooks.clearImagePanel)
    g_hooks.clearImagePanel();
  if (g_hooks.clearProjectPanel)
    g_hooks.clearProjectPanel();
  GetEditorUI()->RefitToImage();
  GetEditorUI()->RefreshPreview();
  UpdateCommandStates();
  return true;
}

bool OpenProjectCommand() {
  if (GetCurrentProject() && !ConfirmSaveModified(SAVE_MODIFIED_ASK))
    return false;
  CFileDialogRequest request;
  request.title.Assign("Open project");
  request.listProjectType = true;
  request.listPluginTypes = false;
  request.folder.Assign(SettingText(g_Settings.projectFilePath));
  if (!RunOpenDialog(request))
    return false;
  SetSettingText(g_Settings.projectFilePath, request.folder.text);
  CWULString path;
  request.GetPath(path);
  return OpenProjectFile(path.text);
}

bool OpenProjectFile(const char* path) {
  if (!path || !path[0])
    return false;
  CBusyScope busy;
  if (!CheckFileOpens(path))
    return false;
  CFileTypeEntry* type = FindImportTypeForFile(path, nullptr, nullptr, 0);
  if (!type || !IsBuiltin(type->plugin)) {
    CWULString text(path);
    text.Append(type ? " is not a valid Vellumcraft project file.\nUse 'Import' instead of 'Open'"
                     : " is not a valid Vellumcraft project file");
    ErrorBox(text.text);
    return false;
  }
  CProject* project = ReadProject(path);
  if (!project)
    return false;
  return InstallProject(project, path, true);
}

bool SaveProjectCommand() {
  CProject* project = GetCurrentProject();
  if (!project)
    return false;
  if (!project->GetPath()[0])
    return SaveProjectAsCommand();
  CBusyScope busy;
  if (!WriteProject(project->GetPath(), project))
    return false;
  project->ClearModified();
  UpdateCommandStates();
  return true;
}

bool SaveProjectAsCommand() {
  CProject* project = GetCurrentProject();
  if (!project)
    return false;
  CFileDialogRequest request;
  request.title.Assign("Save project as");
  request.fileName.Assign(project->GetName());
  request.folder.Assign(SettingText(g_Settings.projectFilePath));
  request.filters.Append(CreateFileFilter(kProjectTypeName, kProjectExtension, kProjectTypeId));
  request.selectedTypeId = kProjectTypeId;
  if (!RunSaveDialog(request))
    return false;
  SetSettingText(g_Settings.projectFilePath, request.folder.text);
  CWULString path;
  request.GetPath(path);
  return SaveProjectAsFile(path.text);
}

bool SaveProjectAsFile(const char* path) {
  CProject* project = GetCurrentProject();
  if (!project || !path || !path[0])
    return false;
  CBusyScope busy;
  if (!WriteProject(path, project))
    return false;
  CWULString name;
  NameFromPath(path, name);
  project->SetName(name.text);
  project->SetPath(path);
  project->ClearModified();
  UpdateCommandStates();
  return true;
}

bool ImportProjectCommand() {
  if (GetCurrentProject() && !ConfirmSaveModified(SAVE_MODIFIED_ASK))
    return false;
  CFileDialogRequest request;
  request.title.Assign("Project import");
  request.listProjectType = true;
  request.listPluginTypes = true;
  request.folder.Assign(SettingText(g_Settings.importPath));
  if (!RunOpenDialog(request))
    return false;
  SetSettingText(g_Settings.importPath, request.folder.text);
  CWULString path;
  request.GetPath(path);
  return ImportProjectFile(path.text);
}

bool ImportProjectFile(const char* path) {
  if (!path || !path[0])
    return false;
  CBusyScope busy;
  if (!CheckFileOpens(path))
    return false;
  CFileTypeEntry* type = FindImportTypeForFile(path, nullptr, nullptr, 0);
  if (!type || !type->plugin) {
    ErrorBox("Unknown file type");
    return false;
  }
  CProject* project = IsBuiltin(type->plugin) ? ReadProject(path) : ImportProjectThroughPlugin(type->plugin, path);
  if (!project)
    return false;
  // No path: a later Save asks for a file name.
  return InstallProject(project, path, false);
}

bool OpenCommandLinePath(const CCommandLine& line) {
  if (!line.hasPath)
    return false;
  const bool import = line.hasOption && lstrcmpiA(line.option.text, "i") == 0;
  if (line.hasOption && !import)
    return false;
  if (!line.pathFits) {
    ShowCannotOpenFile(line.path.text);
    return false;
  }
  return import ? ImportProjectFile(line.path.text) : OpenProjectFile(line.path.text);
}

bool ExportProjectCommand() {
  CProject* project = GetCurrentProject();
  if (!project)
    return false;
  // Freed on every way out; a framework error goes on to the loop, which shows it.
  COwnedMultiImage record(CreatePortableMultiImage(project));
  if (!record.get())
    return false;
  CFileDialogRequest request;
  request.title.Assign("Project export");
  request.fileName.Assign(project->GetName());
  request.folder.Assign(SettingText(g_Settings.exportPath));
  request.selectedTypeId = g_Settings.exportFormatId ? static_cast<int32_t>(g_Settings.exportFormatId->GetValue()) : 0;
  request.selectedPlugin = g_Plugins.FindByName(SettingText(g_Settings.exportFormatPlugin));
  if (!RunExportDialog(request))
    return false;
  SetSettingText(g_Settings.exportPath, request.folder.text);
  if (g_Settings.exportFormatId)
    g_Settings.exportFormatId->SetValue(static_cast<uint32_t>(request.selectedTypeId));
  SetSettingText(g_Settings.exportFormatPlugin, request.selectedPlugin ? request.selectedPlugin->name.text : "");
  CWULString path;
  request.GetPath(path);
  CBusyScope busy;
  return ExportTo(project, record.get(), path.text, request.selectedTypeId,
                  g_Plugins.FindByName(SettingText(g_Settings.exportFormatPlugin)));
}

bool ExportProjectFile(const char* path, int32_t typeId, const char* pluginName) {
  CProject* project = GetCurrentProject();
  CFileFormat* plugin = g_Plugins.FindByName(pluginName);
  if (!project || !path || !path[0] || !plugin)
    return false;
  CBusyScope busy;
  if (IsBuiltin(plugin))
    return ExportTo(project, nullptr, path, typeId, plugin);
  COwnedMultiImage record(CreatePortableMultiImage(project));
  if (!record.get())
    return false;
  return ExportTo(project, record.get(), path, typeId, plugin);
}
