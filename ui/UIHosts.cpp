#include "ui/UIHosts.h"
#include "document/EditorUI.h"
#include "document/Layer.h"
#include "document/Project.h"
#include "shell/FileDialogs.h"
#include "shell/PluginLoader.h"
#include "shell/ProjectCommands.h"
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

class CMainWindowUI : public CEditorUI {
public:
  int32_t GetZoomFactor() override {
    const int32_t zoom = MainView::GetZoomFactor();
    return zoom > 0 ? zoom : 1;
  }
  int32_t GetChannelMode() override { return MainView::GetChannelMode(); }
  CViewState GetViewState() override {
    return HasView() ? MainView::GetViewState() : CEditorUI::GetViewState();
  }
  Point ImageToClientPoint(const Point& pos) override {
    return HasView() ? MainView::ImageToClientPoint(pos) : CEditorUI::ImageToClientPoint(pos);
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
  int32_t GetNudgeStep() override {
    return HasView() ? MainView::GetNudgeStep() : CEditorUI::GetNudgeStep();
  }
  bool GetCursorImagePoint(Point& pos) override {
    if (!HasView() || !MainView::GetView()->GetHandle())
      return false;
    pos = MainView::GetCursorImagePoint();
    return true;
  }

  void SetHelpText(const char* text) override { StatusBar::SetHelpText(text); }
  void SetPixelPosition(int32_t x, int32_t y) override { StatusBar::SetPixelPosition(x, y); }
  void SetPosition(int32_t x, int32_t y) override { StatusBar::SetPosition(x, y); }
  void SetPositionInt(int32_t x, int32_t y) override { StatusBar::SetPositionInt(x, y); }
  void ClearGeometry() override { StatusBar::ClearGeometry(); }
  void SetSize(int32_t width, int32_t height) override { StatusBar::SetSize(width, height); }
  void SetSizeFixed(int32_t width, int32_t height) override { StatusBar::SetSizeFixed(width, height); }
  void SetColor(CColor color) override { StatusBar::SetColor(color); }
  void ClearColor() override { StatusBar::ClearColor(); }

  void RefreshPreview() override { PreviewPanel::Refresh(); }
  void UpdateCommandStates() override { ::UpdateCommandStates(); }
  void UpdateToolboxColors() override { Toolbox::UpdateColors(); }

  void BeginLayerItems() override { ImagePanel::BeginUpdate(); }
  void EndLayerItems() override { ImagePanel::EndUpdate(); }
  void AddLayerItem(CLayer* layer) override { ImagePanel::AddLayerItem(layer); }
  void RemoveLayerItem(CLayer* layer) override { ImagePanel::RemoveLayerItem(layer); }
  // Its item goes before that of the layer now below it (the list shows the top first).
  void MoveLayerItem(CLayer* layer) override {
    ImagePanel::MoveLayerItem(layer, layer ? layer->GetPrevious() : nullptr);
  }
  void RefreshLayerItem(CLayer* layer) override { ImagePanel::RefreshLayerItem(layer); }
  void RefreshLayerItems() override { ImagePanel::RefreshAllLayerItems(); }
  void SelectLayerItem(CLayer* layer) override { ImagePanel::SelectLayer(layer); }

  void BeginProjectItems() override { ProjectPanel::BeginUpdate(); }
  void EndProjectItems() override { ProjectPanel::EndUpdate(); }
  void AddImageItem(CImage* image) override { ProjectPanel::AddImageItem(image); }
  void RemoveImageItem(CImage* image) override { ProjectPanel::RemoveImageItem(image); }
  void MoveImageItem(CImage* image) override {
    if (image)
      ProjectPanel::MoveImageItem(image, image->GetNext());
  }
  void RefreshImageItem(CImage* image) override { ProjectPanel::RefreshImageItem(image); }
  // Selecting the item makes the image current; an image without an item becomes current
  // here, with a full refresh.
  void SelectImageItem(CImage* image) override {
    if (ProjectPanel::SelectImage(image))
      return;
    CEditorUI::SelectImageItem(image);
    RefreshAll();
  }

  bool HasOptionHost() override { return ToolPanel::GetOptionHost() != nullptr; }
  bool IsFocusInOptionHost() override { return ToolPanel::IsFocusInside(); }
  void ClearOptionHost() override { ToolPanel::ClearOptions(); }
  void LayoutOptionHost() override { ToolPanel::LayoutOptions(); }
  void FocusMainWindow() override {
    if (g_MainWindow)
      g_MainWindow->SetFocus();
  }
  CWULInteractor* GetOptionHostWindow() override { return ToolPanel::GetOptionHost(); }

  HWND GetMainWindow() override { return g_MainWindow ? g_MainWindow->GetHandle() : nullptr; }
  bool ConfirmDeleteImage() override {
    return ShowMessageBox(g_MainWindow, MSGBOX_TYPE_YES_NO, MSGBOX_KIND_ERROR, "Irreversible operation",
                          "Delete the image?", MSGBOX_VALUE_OK) == MSGBOX_VALUE_YES;
  }
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
    // One image goes to a plug-in's type; a project is written by File > Export.
    request.listProjectType = false;
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

  HCURSOR GetAppCursor(int32_t resourceId) override { return ::GetAppCursor(resourceId); }
  CWULImage* GetAppPicture(int32_t resourceId) override { return ::GetAppPicture(resourceId); }
  void BeginWaitCursor() override { ::BeginWaitCursor(); }
  void RestoreCursor() override { ::RestoreCursor(); }
};

CMainWindowUI g_MainWindowUI;

void ClearLayerItems() { ImagePanel::Clear(); }

// Without the project panel the whole window is refreshed instead.
void RebuildProjectItems() {
  if (!ProjectPanel::Rebuild())
    RefreshAll();
}

void ClearProjectItems() { ProjectPanel::Clear(); }

HWND ClientContainerWindow() { return g_ClientContainer ? g_ClientContainer->GetHandle() : nullptr; }

}  // namespace

void InstallUIHosts() {
  SetEditorUI(&g_MainWindowUI);

  CProjectCommandHooks project = {};
  project.clearImagePanel = &ClearLayerItems;
  project.clearProjectPanel = &ClearProjectItems;
  project.rebuildProjectPanel = &RebuildProjectItems;
  project.getMainWindow = &ClientContainerWindow;
  SetProjectCommandHooks(&project);
}

void RemoveUIHosts() {
  SetEditorUI(nullptr);
  SetProjectCommandHooks(nullptr);
}
