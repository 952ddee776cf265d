// The roads a file takes into the editor: the plug-in probe and import with the host's
// services, conversion into a project, recomposition and the conversion back; the project
// and swatch readers; the clipboard's decoders.
#include <windows.h>
#include <algorithm>
#include <cstring>
#include "document/Image.h"
#include "document/PixelArray.h"
#include "document/Project.h"
#include "document/ProjectFile.h"
#include "document/Swatches.h"
#include "fuzz/Fuzz.h"
#include "shell/Application.h"
#include "shell/Clipboard.h"
#include "shell/Conversion.h"
#include "shell/HostServices.h"
#include "shell/PluginLoader.h"
#include "sys/ZRError.h"
#include "wul/WULInit.h"

namespace fuzz {
namespace {

// What the editor does with a project it opened: every image composed and its preview made,
// then the project handed to a plug-in as for an export.
bool UseProject(CProject* project) {
  if (!project)
    return false;
  for (CImage* image = project->GetFirstImage(); image; image = image->GetNext()) {
    image->UpdateAll();
    image->UpdatePreview(nullptr);
  }
  if (VCXMultiImage* back = CreatePortableMultiImage(project))
    VcsFreeMultiImage(back);
  CProject::Destroy(project);
  return true;
}

// The probe of every format: as the open dialog's preview pane asks it, with a description
// and a preview, or as the Import command asks it, with neither.
CFileTypeEntry* Probe(const std::string& path, bool asPreviewPane) {
  if (!asPreviewPane)
    return FindImportTypeForFile(path.c_str(), nullptr, nullptr, 0);
  VCXLayeredImage* preview = nullptr;
  char text[512];
  CFileTypeEntry* type = FindImportTypeForFile(path.c_str(), &preview, text, sizeof text);
  if (preview)
    VcsFreeLayeredImage(preview);
  return type;
}

// The clipboard's decoders, then a paste as the Paste command makes it: into an array of the
// image's size, or for a large image into a small one at a negative offset.
bool ClipboardRoad(const Bytes& bytes, bool isPrivate) {
  CClipboardImageInfo info;
  if (!GetClipboardBlockInfo(bytes.data(), bytes.size(), isPrivate, info))
    return false;
  if (info.width <= 0 || info.height <= 0 || info.bitsPerPixel <= 0)
    return false;
  const bool whole = int64_t(info.width) * info.height <= (int64_t(1) << 22);
  CPixelArray target(whole ? info.width : 256, whole ? info.height : 256);
  if (!target.data)
    return false;
  const int32_t x = whole ? 0 : (256 - std::min(info.width, 1 << 20)) / 2;
  const int32_t y = whole ? 0 : (256 - std::min(info.height, 1 << 20)) / 2;
  return PasteClipboardBlock(bytes.data(), bytes.size(), isPrivate, target, x, y);
}

}  // namespace

CProject* ImportThroughPlugins(const std::string& path) {
  CFileTypeEntry* type = Probe(path, false);
  if (!type)
    return nullptr;
  VCXMultiImage* record = ImportThroughPlugin(type->plugin, nullptr, path.c_str(), nullptr);
  if (!record)
    return nullptr;
  CProject* project = ConvertPortableMultiImage(record);
  VcsFreeMultiImage(record);
  return project;
}

bool InitRoads() {
  // The editor's own start-up, without its windows.
  zrInit();
  WULInit(GetModuleHandleA(nullptr));
  if (!StartApplication(GetModuleHandleA(nullptr)))
    return false;
  SetProjectFileProgramVersion(g_App.version);
  // Mutants may claim large images: the workers read within the 32-bit program's budget,
  // below their memory limit.
  SetReadMemoryBudgetCap(projectfile::READ_MEMORY_BUDGET_32);
  InitServices();
  int plugins = 0;
  for (CListItem* item = g_Plugins.first; item; item = item->next)
    if (static_cast<CFileFormat*>(item)->kind == FORMAT_KIND_PLUGIN)
      ++plugins;
  return plugins >= 4;
}

bool RunRoad(const Reader& reader, const std::string& path, const Bytes& bytes) {
  const std::string name = reader.name;
  if (name == "vcj") {  // opened as a project whatever the probe says
    Probe(path, true);
    return UseProject(CProjectReader().Read(path.c_str()));
  }
  if (name == "vccolors")
    return LoadSwatchSet(path.c_str());
  if (name == "dib" || name == "clip")
    return ClipboardRoad(bytes, name == "clip");
  // The open dialog's preview pane first; whatever it makes of the file, the Import command
  // then takes its own road.
  Probe(path, true);
  return UseProject(ImportThroughPlugins(path));
}

}  // namespace fuzz
