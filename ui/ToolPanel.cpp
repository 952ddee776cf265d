#include "ui/ToolPanel.h"
#include <algorithm>
#include <cmath>
#include "shell/Settings.h"
#include "ui/FoldingPanel.h"
#include "wul/WULInit.h"
#include "wul/WULScroll.h"

CVCFoldingPanel* g_ToolPanel = nullptr;

namespace {

CWULView* g_ToolView = nullptr;

void OnViewDeleted(CWULInteractor*) { g_ToolView = nullptr; }

int OnViewWheel(CWULInteractor*, float* notches, int, int, int) {
  if (!g_ToolView)
    return 0;
  const int step = g_ToolView->GetLineStepY();
  const int delta = static_cast<int>(std::lround(*notches * static_cast<float>(step)));
  g_ToolView->SetScrollY(g_ToolView->GetScrollY() - delta);
  return 1;
}

}  // namespace

namespace ToolPanel {

CWULView* GetView() { return g_ToolView; }

CWULContainer* GetOptionHost() { return g_ToolView ? g_ToolView->GetClientContainer() : nullptr; }

void UpdateLayout() {
  CWULContainer* host = GetOptionHost();
  if (!host)
    return;
  int bottom = 0;
  for (CWULInteractor* child = host->firstChild; child; child = child->nextSibling) {
    if (!(child->flagsC & WUL_IF_CLOSING))
      bottom = std::max(bottom, child->GetBottom());
  }
  g_ToolView->SetContentHeight(bottom);
}

void Refresh() { UpdateLayout(); }

bool IsFocusInside() {
  CWULContainer* host = GetOptionHost();
  HWND inner = host ? host->GetHandle() : nullptr;
  HWND focus = GetFocus();
  return inner && focus && (focus == inner || IsChild(inner, focus));
}

void ClearOptions() {
  if (CWULContainer* host = GetOptionHost())
    host->CloseChildren();
}

void LayoutOptions() {
  CWULContainer* host = GetOptionHost();
  if (!host)
    return;
  UpdateLayout();
  if (host->window) {
    for (CWULInteractor* child = host->firstChild; child; child = child->nextSibling) {
      if (!child->window && !(child->flagsC & WUL_IF_CLOSING))
        child->IncarnateTree(host->window);
    }
  }
}

}  // namespace ToolPanel

void CreateToolPanel() {
  if (g_ToolPanel)
    return;
  CVCFoldingPanel* panel = nullptr;
  try {
    panel = CreateFoldingPanel("Tool", 56, g_Settings.panelsToolBodyFolded, g_Settings.panelsToolBodyClientHeight,
                               &g_ToolPanel);
    wulPushDefaultParent(panel->GetClientContainer());
    try {
      CWULView* view = new CWULView;
      g_ToolView = view;
      view->deletedHandler = &OnViewDeleted;
      view->SetBorderStyle(0);
      view->SetLineStep(view->GetLineStepX(), 8);
      view->SetAlignment(WUL_ALIGN_FILL);
      view->wheelHandler = &OnViewWheel;
    } catch (...) {
      wulPopDefaultParent();
      throw;
    }
    wulPopDefaultParent();
    ToolPanel::UpdateLayout();
  } catch (...) {
    ReportPanelFailure("Tool");
    delete panel;
    throw;
  }
}
