#include "tools/ImageCommands.h"
#include <cstring>
#include <new>
#include "document/Actions.h"
#include "document/EditorUI.h"
#include "document/History.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Project.h"
#include "document/ProjectFile.h"
#include "document/Selection.h"
#include "shell/Conversion.h"
#include "shell/Errors.h"
#include "shell/HostServices.h"
#include "shell/PluginLoader.h"
#include "shell/Settings.h"
#include "shell/TextRoutines.h"
#include "tools/CurrentImage.h"
#include "tools/WorkingCopies.h"
#include "ui/PropertiesDialogs.h"

namespace {

// Makes the action with the constructor, lets configure set it up and executes it.
template <class Action, class Configure>
bool RunAction(Configure configure) {
  if (!GetCurrentImage())
    return false;
  Action* action = nullptr;
  try {
    action = new Action();
    configure(*action);
  } catch (...) {
    delete action;
    return false;
  }
  return ExecuteCommandAction(action);
}

bool MoveImageItem(CImage* image, CImage* anchor) {
  CProject* project = image->GetOwner();
  if (!project)
    return false;
  project->MoveImage(image, anchor);
  CEditorUI* host = GetEditorUI();
  CProjectItemsScope items;
  host->MoveImageItem(image);
  host->SelectImageItem(image);
  items.End();
  host->UpdateCommandStates();
  return true;
}

}  // namespace

CImage* CreateImage() {
  CImage* image = nullptr;
  try {
    image = new (std::nothrow) CImage;
  } catch (...) {
    image = nullptr;
  }
  if (!image)
    ErrorBox("Image creation failed");
  return image;
}

CRasterLayer* CreateRasterLayer() {
  CRasterLayer* layer = nullptr;
  try {
    layer = new (std::nothrow) CRasterLayer;
  } catch (...) {
    layer = nullptr;
  }
  if (!layer)
    ErrorBox("Raster layer creation failed");
  return layer;
}

bool CanSupersample() {
  CImage* image = GetCurrentImage();
  if (!image)
    return false;
  const int64_t pixels = static_cast<int64_t>(image->GetWidth()) * image->GetHeight();
  if (pixels < 0 || pixels > 0xFFFFFFFFll)
    return false;
  const uint32_t limit = g_Settings.limitsSupersamplingMaxPixelCount
                             ? g_Settings.limitsSupersamplingMaxPixelCount->GetValue()
                             : 0;
  return static_cast<uint32_t>(pixels) <= limit;
}

bool ExecuteCommandAction(CAction* action) {
  if (!action)
    return false;
  CImage* image = GetCurrentImage();
  bool done = false;
  try {
    done = image && image->GetHistory() && image->GetHistory()->Execute(action);
  } catch (...) {
    done = false;
  }
  if (!done) {
    // A failed Redo may still be in the history when the exception came from Add.
    if (!action->GetHistory())
      delete action;
    return false;
  }
  GetEditorUI()->UpdateCommandStates();
  return true;
}

// ---------------------------------------------------------------------------------------------
// Image commands

bool DeleteImageCommand() {
  CImage* image = GetCurrentImage();
  CProject* project = GetCurrentProject();
  if (!image || !project)
    return false;
  if (!GetEditorUI()->ConfirmDeleteImage())
    return false;
  try {
    CImage* next = image->GetNext() ? image->GetNext() : image->GetPrevious();
    project->SetCurrentImage(next);
    CEditorUI* host = GetEditorUI();
    CProjectItemsScope items;
    if (next)
      host->SelectImageItem(next);
    host->RemoveImageItem(image);
    if (next)
      host->SelectImageItem(next);
    items.End();
    project->RemoveImage(image);
    delete image;
    ResyncWorkingCopies();
  } catch (...) {
    ResyncWorkingCopiesQuietly();
    return false;
  }
  GetEditorUI()->UpdateCommandStates();
  return true;
}

bool ImagePropertiesCommand() {
  CImage* image = GetCurrentImage();
  if (!image)
    return false;
  return ExecuteCommandAction(ImagePropertiesDialog(image));
}

bool CropCommand() {
  CSelection* selection = GetCurrentSelection();
  if (!selection || !selection->IsActive() || selection->IsEmpty())
    return false;
  const Rect bounds = selection->GetBounds1x();
  if (bounds.IsEmpty())
    return false;
  return RunAction<CImageBoundsAction>([&](CImageBoundsAction& action) {
    action.SetName("Crop");
    action.SetBounds(bounds);
  });
}

bool ReorientImageCommand(const char* caption, int32_t code) {
  return RunAction<CReorientImageAction>([&](CReorientImageAction& action) {
    action.SetName(caption);
    action.SetOrientation(code);
  });
}

bool FlipImageHorizontalCommand() {
  return ReorientImageCommand("Flip Image", CReorientImageAction::MIRROR_HORIZONTAL);
}

bool FlipImageVerticalCommand() {
  return ReorientImageCommand("Flip Image", CReorientImageAction::MIRROR_VERTICAL);
}

bool RotateImageCwCommand() {
  return ReorientImageCommand("Rotate Image", CReorientImageAction::ROTATE_CW);
}

bool RotateImage180Command() {
  return ReorientImageCommand("Rotate Image", CReorientImageAction::ROTATE_180);
}

bool RotateImageCcwCommand() {
  return ReorientImageCommand("Rotate Image", CReorientImageAction::ROTATE_CCW);
}

bool CImage::MakeCurrent() {
  GetEditorUI()->SelectImageItem(this);
  return true;
}

bool NextImageCommand() {
  CImage* image = GetCurrentImage();
  if (!image)
    return false;
  if (image->GetNext())
    image->GetNext()->MakeCurrent();
  return true;
}

bool PreviousImageCommand() {
  CImage* image = GetCurrentImage();
  if (!image)
    return false;
  if (image->GetPrevious())
    image->GetPrevious()->MakeCurrent();
  return true;
}

bool CImage::MoveCurrentImageBefore(CImage* anchor) {
  CImage* image = GetCurrentImage();
  if (!image || anchor == image)
    return false;
  return MoveImageItem(image, anchor);
}

bool MoveImageUpCommand() {
  CImage* image = GetCurrentImage();
  if (!image || !image->GetPrevious())
    return false;
  return CImage::MoveCurrentImageBefore(image->GetPrevious());
}

bool MoveImageDownCommand() {
  CImage* image = GetCurrentImage();
  if (!image || !image->GetNext())
    return false;
  return CImage::MoveCurrentImageBefore(image->GetNext()->GetNext());
}

// ---------------------------------------------------------------------------------------------
// Layer commands

bool NewLayerCommand(bool supersampled) {
  if (!GetCurrentImage() || (supersampled && !CanSupersample())) {
    Beep();
    return false;
  }
  const bool done = RunAction<CNewLayerAction>(
      [&](CNewLayerAction& action) { action.SetSupersampled(supersampled); });
  if (!done)
    Beep();
  return done;
}

bool DuplicateLayerCommand() {
  CLayer* layer = GetCurrentLayer();
  if (!layer || layer->GetKind() != CLayer::KIND_RASTER)
    return false;
  return RunAction<CDuplicateLayerAction>([](CDuplicateLayerAction&) {});
}

bool DeleteLayerCommand() {
  if (!GetCurrentLayer())
    return false;
  return RunAction<CDeleteLayerAction>([](CDeleteLayerAction&) {});
}

bool LayerPropertiesCommand() {
  CLayer* layer = GetCurrentLayer();
  if (!layer || layer->GetKind() != CLayer::KIND_RASTER)
    return false;
  return ExecuteCommandAction(LayerPropertiesDialog(layer));
}

bool MergeDownCommand() {
  CLayer* layer = GetCurrentLayer();
  CLayer* below = layer ? layer->GetPrevious() : nullptr;
  if (!below)
    return false;
  return RunAction<CMergeLayersAction>([&](CMergeLayersAction& action) {
    action.SetRange(layer->GetId(), below->GetId());
    action.SetResultName(below->GetName());
  });
}

bool MergeAllLayersCommand() {
  CImage* image = GetCurrentImage();
  if (!image || image->GetLayerCount() < 2)
    return false;
  return RunAction<CMergeLayersAction>([](CMergeLayersAction& action) {
    action.SetName("Merge All Layers");
    action.SetMergeAll(true);
  });
}

bool CLayer::MakeCurrent() {
  CImage* image = GetCurrentImage();
  if (!image || owner != image)
    return false;
  if (image->GetActiveLayer() != this) {
    image->SetActiveLayer(this);
    CLayerItemsScope items;
    GetEditorUI()->SelectLayerItem(this);
    items.End();
    // The panel's handler skips these inside the bracket.
    ResyncWorkingCopiesQuietly();
    GetEditorUI()->RefitToImage();
    GetEditorUI()->UpdateCommandStates();
  }
  return true;
}

bool SelectLayerAboveCommand() {
  CLayer* layer = GetCurrentLayer();
  if (!layer)
    return false;
  if (layer->GetNext())
    layer->GetNext()->MakeCurrent();
  return true;
}

bool SelectLayerBelowCommand() {
  CLayer* layer = GetCurrentLayer();
  if (!layer)
    return false;
  if (layer->GetPrevious())
    layer->GetPrevious()->MakeCurrent();
  return true;
}

bool MoveLayerCommand(CLayer* anchor) {
  CLayer* layer = GetCurrentLayer();
  if (!layer || anchor == layer)
    return false;
  // Already in place: nothing to record.
  if (layer->GetPrevious() == anchor)
    return false;
  const int32_t target = anchor ? anchor->GetId() : 0;
  return RunAction<CMoveLayerAction>([&](CMoveLayerAction& action) { action.SetTargetId(target); });
}

bool MoveLayerToTopCommand() {
  CImage* image = GetCurrentImage();
  if (!image || !GetCurrentLayer())
    return false;
  return MoveLayerCommand(image->GetLastLayer());
}

bool MoveLayerUpCommand() {
  CLayer* layer = GetCurrentLayer();
  if (!layer || !layer->GetNext())
    return false;
  return MoveLayerCommand(layer->GetNext());
}

bool MoveLayerDownCommand() {
  CLayer* layer = GetCurrentLayer();
  if (!layer || !layer->GetPrevious())
    return false;
  return MoveLayerCommand(layer->GetPrevious()->GetPrevious());
}

bool MoveLayerToBottomCommand() {
  if (!GetCurrentLayer())
    return false;
  return MoveLayerCommand(nullptr);
}

// ---------------------------------------------------------------------------------------------
// Import and export

namespace {

// folder + name, with one separator between them.
void JoinPath(CWULString& path, const CWULString& folder, const CWULString& name) {
  path.Assign(folder.text);
  if (folder.text[0] && !EndsWithSeparator(folder.text, true))
    path.Append('\\');
  path.Append(name);
}

// The file read into a new project through its type, or null after the message of the open
// check, the reader or the plug-in.
CProject* ReadImportFile(const char* path) {
  if (!CheckFileOpens(path))
    return nullptr;
  CFileTypeEntry* type = FindImportTypeForFile(path, nullptr, nullptr, 0);
  if (!type || !type->plugin) {
    ErrorBox("Unknown file type");
    return nullptr;
  }
  CFileFormat* format = type->plugin;
  if (format->kind == FORMAT_KIND_BUILTIN) {
    CProjectReader reader;
    return reader.Read(path);
  }
  int outType = type->typeId;
  COwnedMultiImage record(ImportThroughPlugin(format, GetEditorUI()->GetMainWindow(), path, &outType));
  if (!record.get())
    return nullptr;
  return ConvertPortableMultiImage(record.get());
}

}  // namespace

bool ImportImageFile(const char* path) {
  CProject* project = GetCurrentProject();
  if (!project || !path || !path[0])
    return false;
  CProject* imported = ReadImportFile(path);
  if (!imported)
    return false;
  bool added = false;
  try {
    CImage* chosen = imported->GetFirstImage();
    if (imported->GetImageCount() > 1)
      chosen = GetEditorUI()->ChooseImportedImage(imported);
    if (chosen && chosen->GetOwner() == imported) {
      imported->RemoveImage(chosen);
      chosen->SetId(0);  // a new id in its new project
      project->AddImage(chosen);
      CEditorUI* host = GetEditorUI();
      host->AddImageItem(chosen);
      host->SelectImageItem(chosen);
      project->SetCurrentImage(chosen);
      ResyncWorkingCopies();
      host->UpdateCommandStates();
      added = true;
    }
  } catch (...) {
    ResyncWorkingCopiesQuietly();
  }
  CProject::Destroy(imported);
  return added;
}

bool ImportImageCommand() {
  if (!GetCurrentProject())
    return false;
  CEditorUI* host = GetEditorUI();
  CWULString folder;
  CWULString name;
  const char* start = g_Settings.importPath ? g_Settings.importPath->GetValue() : "";
  if (!host->RunImportDialog(start, folder, name))
    return false;
  CWULString path;
  JoinPath(path, folder, name);
  if (g_Settings.importPath)
    g_Settings.importPath->SetValue(folder.text);
  CBusyScope busy;
  return ImportImageFile(path.text);
}

bool ExportImageFile(CImage* image, const char* path, int32_t typeId, CFileFormat* plugin) {
  CPlugin* module = AsPlugin(plugin);
  if (!image || !path || !module || !module->GetExportFunction())
    return false;
  COwnedMultiImage record(CreatePortableMultiImageOfImage(image));
  if (!record.get())
    return false;
  return ExportThroughPlugin(plugin, GetEditorUI()->GetMainWindow(), path, typeId, record.get());
}

bool ExportImageCommand() {
  CImage* image = GetCurrentImage();
  CProject* project = GetCurrentProject();
  if (!image || !project)
    return false;
  // Freed on every way out; a framework error goes on to the loop, which shows it.
  COwnedMultiImage record(CreatePortableMultiImageOfImage(image));
  if (!record.get())
    return false;
  CEditorUI* host = GetEditorUI();
  CExportChoice choice;
  const char* start = g_Settings.exportPath ? g_Settings.exportPath->GetValue() : "";
  const int32_t typeId =
      g_Settings.exportFormatId ? static_cast<int32_t>(g_Settings.exportFormatId->GetValue()) : 0;
  const char* plugin = g_Settings.exportFormatPlugin ? g_Settings.exportFormatPlugin->GetValue() : "";
  if (!host->RunExportDialog(project->GetName(), start, typeId, plugin, choice))
    return false;
  if (g_Settings.exportPath)
    g_Settings.exportPath->SetValue(choice.folder.text);
  if (g_Settings.exportFormatId)
    g_Settings.exportFormatId->SetValue(static_cast<uint32_t>(choice.typeId));
  if (g_Settings.exportFormatPlugin)
    g_Settings.exportFormatPlugin->SetValue(choice.pluginName.text);
  CWULString path;
  JoinPath(path, choice.folder, choice.fileName);
  CBusyScope busy;
  return ExportThroughPlugin(g_Plugins.FindByName(choice.pluginName.text), host->GetMainWindow(), path.text,
                             choice.typeId, record.get());
}
