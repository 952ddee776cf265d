#include "ui/UIHosts.h"
#include "document/ActionHooks.h"
#include "document/Layer.h"
#include "document/Project.h"
#include "shell/FileDialogs.h"
#include "shell/PluginLoader.h"
#include "shell/ProjectCommands.h"
#include "tools/CommandHost.h"
#include "tools/ToolHost.h"
#include "tools/ToolHostExtras.h"
#include "tools/WorkingCopies.h"
#include "ui/AppCursors.h"
#include "ui/ImagePanel.h"
#include "ui/MainView.h"
#include "ui/MainWindow.h"
#include "ui/MessageBox.h"
#include "ui/PluginDialogs.h"
#include "ui/PreviewPanel.h"
#include "ui/ProjectPanel.h"
#include "ui/StatusBar.h"
#include "ui/ToolPanel.h"
#include "ui/Toolbox.h"
#include "wul/WULAppWindow.h"
#include "wul/WULCanvas.h"
#include "wul/WULPanel.h"

namespace {

bool HasView() { return MainView::GetView() != nullptr; }

class CUIToolHost : public CToolHost {
public:
  int32_t GetZoomFactor() override {
    const int32_t zoom = MainView::GetZoomFactor();
    return zoom > 0 ? zoom : 1;
  }
  int32_t GetChannelMode() override { return MainView::GetChannelMode(); }
  Point ImageToClientPoint(const Point& pos) override {
    return HasView() ? MainView::ImageToClientPoint(pos) : CToolHost::ImageToClientPoint(pos);
  }
  bool PickColorAt(const Point& client, CColor& color) override {
    return HasView() && MainView::PickColorAt(client, color);
  }
  void InvalidateImageRect(const Rect* rect) override {
    if (HasView())
      MainView::InvalidateImageRect(rect);
  }
  void InvalidateToolOverlayRect(const Rect* rect) override {
    if (HasView())
      MainView::InvalidateToolOverlayRect(rect);
  }
  void RefitToImage() override {
    if (HasView())
      MainView::RefitToImage();
  }
  void SetHelpText(const char* text) override { StatusBar::SetHelpText(text); }
  void SetPixelPosition(int32_t x, int32_t y) override { StatusBar::SetPixelPosition(x, y); }
  void SetPosition(int32_t x, int32_t y) override { StatusBar::SetPosition(x, y); }
  void SetPositionInt(int32_t x, int32_t y) override { StatusBar::SetPositionInt(x, y); }
  void ClearGeometry() override { StatusBar::ClearGeometry(); }
  void SetColor(CColor color) override { StatusBar::SetColor(color); }
  void ClearColor() override { StatusBar::ClearColor(); }
  void UpdateToolboxColors() override { Toolbox::UpdateColors(); }
  void RefreshPreview() override { PreviewPanel::Refresh(); }
  void RefreshImageItem(CImage* image) override { ProjectPanel::RefreshImageItem(image); }
  void RefreshLayerItem(CLayer* layer) override { ImagePanel::RefreshLayerItem(layer); }
  bool HasOptionHost() override { return ToolPanel::GetOptionHost() != nullptr; }
  bool IsFocusInOptionHost() override { return ToolPanel::IsFocusInside(); }
  void ClearOptionHost() override { ToolPanel::ClearOptions(); }
  void LayoutOptionHost() override { ToolPanel::LayoutOptions(); }
  CWULInteractor* GetOptionHostWindow() override { return ToolPanel::GetOptionHost(); }

  void UpdateCommandStates() override { ::UpdateCommandStates(); }
  void FocusMainWindow() override {
    if (g_MainWindow)
      g_MainWindow->SetFocus();
  }
  HCURSOR GetAppCursor(int32_t resourceId) override { return ::GetAppCursor(resourceId); }
  CWULImage* GetAppPicture(int32_t resourceId) override { return ::GetAppPicture(resourceId); }
  void RestoreCursor() override { ::RestoreCursor(); }
};

class CUIToolHostExtras : public CToolHostExtras {
public:
  int32_t GetNudgeStep() override {
    return HasView() ? MainView::GetNudgeStep() : CToolHostExtras::GetNudgeStep();
  }
  bool GetCursorImagePoint(Point& pos) override {
    if (!HasView() || !MainView::GetView()->GetHandle())
      return false;
    pos = MainView::GetCursorImagePoint();
    return true;
  }
  void SetSize(int32_t width, int32_t height) override { StatusBar::SetSize(width, height); }
  void SetSizeFixed(int32_t width, int32_t height) override { StatusBar::SetSizeFixed(width, height); }
};

class CUICommandHost : public CCommandHost {
public:
  CViewState GetViewState() override {
    return HasView() ? MainView::GetViewState() : CCommandHost::GetViewState();
  }
  void BeginProjectItems() override { ProjectPanel::BeginUpdate(); }
  void EndProjectItems() override { ProjectPanel::EndUpdate(); }
  // Selecting the item makes the image current; an image without an item becomes current
  // here, with a full refresh.
  void SelectImageItem(CImage* image) override {
    if (ProjectPanel::SelectImage(image))
      return;
    CCommandHost::SelectImageItem(image);
    RefreshAll();
  }
  void AddImageItem(CImage* image) override { ProjectPanel::AddImageItem(image); }
  void RemoveImageItem(CImage* image) override { ProjectPanel::RemoveImageItem(image); }
  void MoveImageItem(CImage* image) override {
    if (image)
      ProjectPanel::MoveImageItem(image, image->GetNext());
  }
  bool ConfirmDeleteImage() override {
    return ShowMessageBox(g_MainWindow, MSGBOX_TYPE_YES_NO, MSGBOX_KIND_ERROR, "Irreversible operation",
                          "Delete the image?", MSGBOX_VALUE_OK) == MSGBOX_VALUE_YES;
  }
  HWND GetMainWindow() override { return g_MainWindow ? g_MainWindow->GetHandle() : nullptr; }
  void BeginWaitCursor() override { ::BeginWaitCursor(); }
  bool RunImportDialog(const char* startFolder, CWULString& folder, CWULString& fileName) override {
    CFileDialogRequest request;
    request.title.Assign("Image import");
    request.listProjectType = true;
    request.listPluginTypes = true;
    request.folder.Assign(startFolder ? startFolder : "");
    if (!CPluginFileDialog::RunOpen(GetMainWindow(), request))
      return false;
    folder.Assign(request.folder.text);
    fileName.Assign(request.fileName.text);
    return true;
  }
  bool RunExportDialog(const char* fileName, const char* startFolder, int32_t typeId, const char* pluginName,
                       CExportChoice& choice) override {
    CFileDialogRequest request;
    request.title.Assign("Image export");
    request.fileName.Assign(fileName ? fileName : "");
    request.folder.Assign(startFolder ? startFolder : "");
    request.selectedTypeId = typeId;
    request.selectedPlugin = g_Plugins.FindByName(pluginName ? pluginName : "");
    if (!CPluginSaveDialog::RunSave(GetMainWindow(), request))
      return false;
    choice.folder.Assign(request.folder.text);
    choice.fileName.Assign(request.fileName.text);
    choice.typeId = request.selectedTypeId;
    choice.pluginName.Assign(request.selectedPlugin ? request.selectedPlugin->name.text : "");
    return true;
  }
  CImage* ChooseImportedImage(CProject* project) override { return SelectImageDialog(project); }
};

CUIToolHost g_UIToolHost;
CUIToolHostExtras g_UIToolHostExtras;
CUICommandHost g_UICommandHost;

void RefitView() {
  if (HasView())
    MainView::InvalidateImageRect(nullptr);
}

void RedrawToolOverlay() {
  if (HasView())
    MainView::InvalidateToolOverlay();
}

void UpdateStates() { UpdateCommandStates(); }

void ClearLayerItems() { ImagePanel::Clear(); }
void BeginLayerItems() { ImagePanel::BeginUpdate(); }
void EndLayerItems() { ImagePanel::EndUpdate(); }

// What an action did to the image's layers, shown in the image panel's list.
void LayerItemChanged(int notice, CLayer* layer) {
  switch (notice) {
    case LAYER_ITEM_ADDED:
      ImagePanel::AddLayerItem(layer);
      break;
    case LAYER_ITEM_REMOVED:
      ImagePanel::RemoveLayerItem(layer);
      break;
    case LAYER_ITEM_MOVED:
      // Its item goes before that of the layer now below it (the list shows the top first).
      ImagePanel::MoveLayerItem(layer, layer ? layer->GetPrevious() : nullptr);
      break;
    case LAYER_ITEM_REFRESHED:
      ImagePanel::RefreshLayerItem(layer);
      break;
    case LAYER_ITEM_SELECTED:
      ImagePanel::SelectLayer(layer);
      break;
    case LAYER_ITEMS_REFRESHED:
      ImagePanel::RefreshAllLayerItems();
      break;
    default:
      break;
  }
}

void BeginWait() { BeginWaitCursor(); }
void EndWait() { RestoreCursor(); }

void RefreshImageItem(CImage* image) { ProjectPanel::RefreshImageItem(image); }

// Without the project panel the whole window is refreshed instead.
void RebuildProjectItems() {
  if (!ProjectPanel::Rebuild())
    RefreshAll();
}

void ClearProjectItems() { ProjectPanel::Clear(); }

HWND ClientContainerWindow() { return g_ClientContainer ? g_ClientContainer->GetHandle() : nullptr; }

}  // namespace

void InstallUIHosts() {
  SetToolHost(&g_UIToolHost);
  SetToolHostExtras(&g_UIToolHostExtras);
  SetCommandHost(&g_UICommandHost);
  g_ActionHooks.resyncWorkingCopies = &ResyncWorkingCopies;
  g_ActionHooks.refitView = &RefitView;
  g_ActionHooks.redrawToolOverlay = &RedrawToolOverlay;
  g_ActionHooks.updateCommandStates = &UpdateStates;
  g_ActionHooks.refreshPreview = &PreviewPanel::Refresh;
  g_ActionHooks.refreshImageItem = &RefreshImageItem;
  g_ActionHooks.beginLayerItems = &BeginLayerItems;
  g_ActionHooks.layerItem = &LayerItemChanged;
  g_ActionHooks.endLayerItems = &EndLayerItems;

  CProjectCommandHooks project = {};
  project.beginWaitCursor = &BeginWait;
  project.restoreCursor = &EndWait;
  project.clearImagePanel = &ClearLayerItems;
  project.refitView = &RefitView;
  project.clearProjectPanel = &ClearProjectItems;
  project.rebuildProjectPanel = &RebuildProjectItems;
  project.updateCommandStates = &UpdateStates;
  project.getMainWindow = &ClientContainerWindow;
  SetProjectCommandHooks(&project);
}

void RemoveUIHosts() {
  SetToolHost(nullptr);
  SetToolHostExtras(nullptr);
  SetCommandHost(nullptr);
  g_ActionHooks.refitView = nullptr;
  g_ActionHooks.redrawToolOverlay = nullptr;
  g_ActionHooks.updateCommandStates = nullptr;
  g_ActionHooks.refreshPreview = nullptr;
  g_ActionHooks.refreshImageItem = nullptr;
  g_ActionHooks.beginLayerItems = nullptr;
  g_ActionHooks.layerItem = nullptr;
  g_ActionHooks.endLayerItems = nullptr;
  SetProjectCommandHooks(nullptr);
}
