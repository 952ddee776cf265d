#include "ui/FoldingPanel.h"
#include "ui/AppCursors.h"
#include <algorithm>
#include <cstdio>
#include <new>
#include "shell/Errors.h"
#include "shell/Settings.h"
#include "ui/ColorPanel.h"
#include "ui/ImagePanel.h"
#include "ui/PreviewPanel.h"
#include "ui/ProjectPanel.h"
#include "ui/ToolPanel.h"
#include "wul/WULAppWindow.h"
#include "wul/WULError.h"
#include "wul/WULFont.h"
#include "wul/WULImage.h"
#include "wul/WULInit.h"
#include "wul/WULItemBar.h"
#include "wul/WULDraw.h"
#include "wul/WULSystem.h"

CWULPanel* g_PanelDock = nullptr;
CPanelMaster* g_PanelMaster = nullptr;

namespace {

const int kLeftInset = 1;
const int kTopInset = CVCFoldingPanel::CAPTION_HEIGHT + 1;
const int kRightInset = 1;
const int kBottomInset = 1;

// The settings and global of each panel made by CreateFoldingPanel.
struct PanelRecord {
  CVCFoldingPanel* panel;
  CBoolSetting* folded;
  CIntSetting* height;
  CVCFoldingPanel** global;
};
const int kMaxPanels = 8;
PanelRecord g_Records[kMaxPanels] = {};

PanelRecord* FindRecord(CVCFoldingPanel* panel) {
  for (PanelRecord& record : g_Records) {
    if (record.panel == panel)
      return &record;
  }
  return nullptr;
}

// Writes the panel's state into its settings and clears its global.
void StorePanel(CVCFoldingPanel* panel) {
  PanelRecord* record = FindRecord(panel);
  if (!record)
    return;
  if (record->folded)
    record->folded->SetValue(panel->IsFolded());
  if (record->height)
    record->height->SetValue(panel->GetUnfoldedClientHeight());
  if (record->global && *record->global == panel)
    *record->global = nullptr;
  *record = PanelRecord{};
}

void OnDockDeleted(CWULInteractor*) { g_PanelDock = nullptr; }
void OnMasterDeleted(CWULInteractor*) { g_PanelMaster = nullptr; }

CVCFoldingPanel* AsPanel(CWULInteractor* interactor) { return dynamic_cast<CVCFoldingPanel*>(interactor); }

void FillColor(HDC dc, const RECT* rect, const CWULColor& color) {
  HBRUSH brush = CreateSolidBrush(color.GetColorRef());
  if (!brush)
    return;
  FillRect(dc, rect, brush);
  DeleteObject(brush);
}

bool IsOpenPanel(CVCFoldingPanel* panel) { return panel && !(panel->flagsC & WUL_IF_CLOSING); }

// The master that holds the panel, or null.
CPanelMaster* MasterOf(CVCFoldingPanel* panel) {
  return panel->parent ? dynamic_cast<CPanelMaster*>(panel->parent) : nullptr;
}

int FreeSpaceOf(CWULFramedWindow* master) {
  int bottom = 0;
  for (CWULInteractor* child = master->firstChild; child; child = child->nextSibling) {
    CVCFoldingPanel* panel = AsPanel(child);
    if (IsOpenPanel(panel) && panel->IsVisible())
      bottom = panel->GetBottom();
  }
  return master->GetClientHeight() - bottom;
}

void MakeRoomIn(CWULFramedWindow* master, int amount, CVCFoldingPanel* except) {
  int n = 0;
  for (CWULInteractor* child = master->firstChild; child; child = child->nextSibling) {
    CVCFoldingPanel* panel = AsPanel(child);
    if (IsOpenPanel(panel) && panel != except && !panel->IsFolded())
      ++n;
  }
  while (n > 0) {
    int shrinkable = 0;
    for (CWULInteractor* child = master->firstChild; child; child = child->nextSibling) {
      CVCFoldingPanel* panel = AsPanel(child);
      if (IsOpenPanel(panel) && panel != except && !panel->IsFolded() && panel->IsResizable())
        shrinkable += panel->GetUnfoldedClientHeight() - panel->GetMinClientHeight();
    }
    if (shrinkable >= amount)
      break;
    CVCFoldingPanel* lowest = nullptr;
    for (CWULInteractor* child = master->lastChild; child && !lowest; child = child->prevSibling) {
      CVCFoldingPanel* panel = AsPanel(child);
      if (IsOpenPanel(panel) && panel != except && !panel->IsFolded())
        lowest = panel;
    }
    if (!lowest)
      break;
    const int before = lowest->GetHeight();
    lowest->SetFolded(true);
    amount -= before - lowest->GetHeight();
    --n;
  }
  for (CWULInteractor* child = master->lastChild; child && amount > 0; child = child->prevSibling) {
    CVCFoldingPanel* panel = AsPanel(child);
    if (!IsOpenPanel(panel) || panel == except || panel->IsFolded() || !panel->IsResizable())
      continue;
    const int c = std::min(amount, panel->GetUnfoldedClientHeight() - panel->GetMinClientHeight());
    if (c <= 0)
      continue;
    panel->SetClientHeight(panel->GetUnfoldedClientHeight() - c);
    amount -= c;
  }
}

}  // namespace

// --- CVCFoldingPanel ---

CVCFoldingPanel::CVCFoldingPanel()
    : clientContainer(nullptr),
      captionRect{},
      buttonRect{},
      gripRect{},
      folded(true),
      resizable(false),
      unfoldedHeight(0),
      minClientHeight(0),
      mouseMode(MOUSE_NONE),
      buttonPressed(false),
      startHeight(0),
      startCursorY(0) {
  alignment = WUL_ALIGN_TOP;
  SetParentFont(false);
  font.SetStandard(2);
  height = FOLDED_HEIGHT;
  wulPushDefaultParent(this);
  clientContainer = new (std::nothrow) CWULContainer;
  wulPopDefaultParent();
  if (!clientContainer)
    throw CWULError(5, "CVCFoldingPanel::VC_FOLDING_PANEL", "Client container creation failed");
  // The container is placed by the panel, not by the layout.
  clientContainer->listener = nullptr;
  clientContainer->SetPosition(0, 0);
  clientContainer->SetVisible(false);
  OnGeometryChanged();
}

CVCFoldingPanel::~CVCFoldingPanel() {
  StorePanel(this);
}

void CVCFoldingPanel::ComputeInsets() {
  leftInset = kLeftInset;
  topInset = kTopInset;
  rightInset = kRightInset;
  const bool grip = resizable && !folded;
  bottomInset = grip ? GRIP_HEIGHT + 1 : kBottomInset;
  captionRect = RECT{1, 1, width - 1, CAPTION_HEIGHT + 1};
  buttonRect = RECT{3, 3, 14, 14};
  gripRect = grip ? RECT{0, height - GRIP_HEIGHT, width, height} : RECT{0, 0, 0, 0};
}

void CVCFoldingPanel::RelayoutFrame() { OnFontChanged(); }

void CVCFoldingPanel::SetResizable(bool on) {
  resizable = on;
  RelayoutFrame();
}

void CVCFoldingPanel::SetClientHeight(int value) {
  value = std::max(value, static_cast<int>(minClientHeight));
  unfoldedHeight = value;
  if (clientContainer)
    clientContainer->SetSize(clientWidth, value);
  if (!folded)
    SetHeight(value + topInset + bottomInset);
}

void CVCFoldingPanel::SetMinClientHeight(int value) {
  minClientHeight = value;
  if (unfoldedHeight < value)
    SetClientHeight(value);
}

void CVCFoldingPanel::SetFolded(bool on) {
  if (on == folded)
    return;
  if (on) {
    HWND focus = GetFocus();
    HWND inner = clientContainer ? clientContainer->GetHandle() : nullptr;
    const bool focusInside = focus && inner && (focus == inner || IsChild(inner, focus));
    folded = true;
    SetHeight(FOLDED_HEIGHT);
    RelayoutFrame();
    if (clientContainer)
      clientContainer->SetVisible(false);
    if (focusInside) {
      // The main window is the panel's top-level window.
      HWND root = window ? GetAncestor(window, GA_ROOT) : nullptr;
      if (root)
        ::SetFocus(root);
    }
  } else {
    const int grip = resizable ? GRIP_HEIGHT : 0;
    const int wanted = grip + unfoldedHeight + FOLDED_HEIGHT;
    const int growth = wanted - height;
    int newHeight = wanted;
    if (CPanelMaster* master = MasterOf(this)) {
      int free = FreeSpaceOf(master);
      if (free < growth) {
        // A resizable panel may itself come out smaller, down to its minimum.
        const int needed = resizable ? minClientHeight + growth - unfoldedHeight : growth;
        if (free < needed) {
          Notify(NOTIFY_MAKE_ROOM, needed - free);
          free = FreeSpaceOf(master);
        }
        newHeight = height + (needed < free ? std::min(free, growth) : needed);
      }
    }
    folded = false;
    SetHeight(newHeight);
    RelayoutFrame();
    if (clientContainer)
      clientContainer->SetVisible(true);
  }
  if (window)
    PaintNonClientNow();
}

void CVCFoldingPanel::OnClientSizeChanged() {
  if (!folded && !(flagsC & WUL_IF_IN_DESTRUCTOR))
    unfoldedHeight = clientHeight;
  if (clientContainer) {
    RECT rect;
    clientContainer->GetRect(&rect);
    if (rect.left != 0 || rect.top != 0 || rect.right != clientWidth || rect.bottom != unfoldedHeight)
      clientContainer->SetBounds(0, 0, clientWidth, unfoldedHeight);
  }
  CWULContainer::OnClientSizeChanged();
}

void CVCFoldingPanel::OnSizeChanged() {
  CWULContainer::OnSizeChanged();
  // The master stacks its panels again.
  if (listener && !(flagsC & WUL_IF_IN_DESTRUCTOR))
    NotifyChanged();
}

LRESULT CVCFoldingPanel::OnNcHitTest(int hx, int hy) {
  if (wulPtInRect(hx, hy, &gripRect))
    return HTBOTTOM;
  return CWULContainer::OnNcHitTest(hx, hy);
}

LRESULT CVCFoldingPanel::OnNcLButtonDown(int, int nx, int ny) {
  if (!window || mouseMode != MOUSE_NONE)
    return 0;
  if (wulPtInRect(nx, ny, &gripRect)) {
    startHeight = height;
    startCursorY = GetScreenTop() + ny;
    mouseMode = MOUSE_GRIP;
    SetCapture(window);
    ::SetCursor(LoadCursor(nullptr, IDC_SIZENS));
  } else if (wulPtInRect(nx, ny, &buttonRect)) {
    buttonPressed = true;
    mouseMode = MOUSE_BUTTON;
    SetCapture(window);
    RepaintButton();
  }
  return 0;
}

LRESULT CVCFoldingPanel::OnNcLButtonDblClk(int hit, int nx, int ny) {
  if (wulPtInRect(nx, ny, &captionRect) && !wulPtInRect(nx, ny, &buttonRect)) {
    SetFolded(!folded);
    return 0;
  }
  return OnNcLButtonDown(hit, nx, ny);
}

LRESULT CVCFoldingPanel::OnMouseMove(int keys, int mx, int my) {
  if (window && GetCapture() == window) {
    if (mouseMode == MOUSE_GRIP) {
      ::SetCursor(LoadCursor(nullptr, IDC_SIZENS));
      const int cursorY = GetScreenTop() + topInset + my;
      int delta = startHeight + (cursorY - startCursorY) - height;
      if (delta > 0) {
        if (CPanelMaster* master = MasterOf(this))
          delta = std::min(delta, std::max(0, FreeSpaceOf(master)));
      }
      const int newHeight = std::max(height + delta, static_cast<int>(minClientHeight) + bottomInset + topInset);
      if (newHeight != height)
        SetHeight(newHeight);
      return 0;
    }
    if (mouseMode == MOUSE_BUTTON) {
      const bool over = wulPtInRect(mx + leftInset, my + topInset, &buttonRect);
      if (over != buttonPressed) {
        buttonPressed = over;
        RepaintButton();
      }
      return 0;
    }
  }
  return CWULContainer::OnMouseMove(keys, mx, my);
}

LRESULT CVCFoldingPanel::OnLButtonUp(int keys, int mx, int my) {
  if (window && GetCapture() == window && mouseMode != MOUSE_NONE) {
    const int mode = mouseMode;
    const bool pressed = buttonPressed;
    ReleaseCapture();
    if (mode == MOUSE_BUTTON && pressed) {
      buttonPressed = false;
      SetFolded(!folded);
    }
    buttonPressed = false;
    mouseMode = MOUSE_NONE;
    RepaintButton();
    return 0;
  }
  return CWULContainer::OnLButtonUp(keys, mx, my);
}

LRESULT CVCFoldingPanel::OnCaptureChanged(HWND newCapture) {
  if (newCapture != window && mouseMode != MOUSE_NONE) {
    mouseMode = MOUSE_NONE;
    if (buttonPressed) {
      buttonPressed = false;
      RepaintButton();
    }
  }
  return CWULContainer::OnCaptureChanged(newCapture);
}

LRESULT CVCFoldingPanel::OnEraseBackground(HDC dc) {
  if (!(flagsB & WUL_IF_ERASE_SUPPRESSED)) {
    RECT area = {0, 0, clientWidth, clientHeight};
    FillColor(dc, &area, GetColor());
  }
  return 1;
}

void CVCFoldingPanel::RepaintButton() { PaintNonClientNow(); }

bool CVCFoldingPanel::CaptionActive() {
  CWULInteractor* root = this;
  while (root->parent)
    root = root->parent;
  if (CWULAppWindow* app = dynamic_cast<CWULAppWindow*>(root))
    return app->IsActive();
  return root->window && GetActiveWindow() == root->window;
}

LRESULT CVCFoldingPanel::PaintNonClient(HDC dc) {
  const int w = width, h = height;
  if (w <= 0 || h <= 0)
    return 0;
  frameBuffer.SetSize(w, h);
  if (!frameBuffer.GetImage())
    return 0;
  HDC target = frameBuffer.GetDC();
  const CWULColor panel = GetColor();
  const bool active = CaptionActive();
  const CWULColor caption = (active ? wulColors[4] : wulColors[5]).Blend(panel, 0.125f);
  const CWULColor ink = (active ? wulFonts[4].color : wulFonts[5].color).Blend(panel, 0.125f);
  CWULPenBrush pens;
  const bool havePens = pens.Create(panel);

  // Caption bar: a frame, the caption colour inside it, the fold button and the text.
  RECT bar = captionRect;
  if (havePens)
    wulDrawRectOutline(target, &bar, pens.darkPen);
  wulDeflateRect(&bar, 1);
  FillColor(target, &bar, caption);

  RECT button = buttonRect;
  if (havePens) {
    wulDrawRectOutline(target, &button, pens.shadePen);
    wulDeflateRect(&button, 1);
    // Raised, or sunken while pressed, and filled.
    if (buttonPressed)
      wulDrawFrame(target, &button, pens.darkPen, pens.basePen, pens.dark);
    else
      wulDrawFrame(target, &button, pens.lightPen, pens.darkPen, pens.base);
    RECT inside = button;
    wulDeflateRect(&inside, 1);
    if (inside.right > inside.left && inside.bottom > inside.top)
      wulFillRect(target, &inside, pens.brush);
  }
  {
    const int shift = buttonPressed ? 1 : 0;
    const int cx = (buttonRect.left + buttonRect.right) / 2 + shift;
    const int cy = (buttonRect.top + buttonRect.bottom) / 2 + shift;
    POINT points[3];
    if (folded) {
      points[0] = POINT{cx - 1, cy - 3};
      points[1] = POINT{cx + 2, cy};
      points[2] = POINT{cx - 1, cy + 3};
    } else {
      points[0] = POINT{cx - 3, cy - 1};
      points[1] = POINT{cx + 3, cy - 1};
      points[2] = POINT{cx, cy + 2};
    }
    HPEN pen = CreatePen(PS_SOLID, 1, wulColors[17].GetColorRef());
    HBRUSH brush = CreateSolidBrush(wulColors[17].GetColorRef());
    if (pen && brush)
      wulDrawPolygon(target, points, 3, pen, brush);
    if (pen)
      DeleteObject(pen);
    if (brush)
      DeleteObject(brush);
  }

  RECT textArea = {buttonRect.right + 3, captionRect.top, captionRect.right - 2, captionRect.bottom};
  if (textArea.right > textArea.left) {
    CWULTextFont textFont(&GetFont());
    textFont.SetColor(ink);
    if (textFont.Select(target)) {
      DrawTextA(target, text.text, -1, &textArea, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_WORD_ELLIPSIS);
      textFont.Restore();
    }
  }

  // The outer frame, and the grip.
  RECT whole = {0, 0, w, h};
  if (havePens)
    wulDrawRectOutline(target, &whole, pens.shadePen);
  if (resizable && !folded && havePens) {
    RECT grip = {1, h - GRIP_HEIGHT - 1, w - 1, h - 1};
    FillColor(target, &grip, panel);
    wulDrawLine(target, 1, grip.top, w - 1, grip.top, pens.darkPen);
    const int ridgeTop = grip.top + 2;
    for (int rx = (w % 6) / 2 + 2; rx + 2 < w - 1; rx += 6) {
      wulDrawLine(target, rx, ridgeTop, rx + 2, ridgeTop, pens.lightPen);
      wulDrawLine(target, rx, ridgeTop, rx, ridgeTop + 2, pens.lightPen);
      wulDrawLine(target, rx + 2, ridgeTop, rx + 2, ridgeTop + 2, pens.darkPen);
      wulDrawLine(target, rx, ridgeTop + 2, rx + 3, ridgeTop + 2, pens.darkPen);
    }
  } else if (havePens) {
    RECT bottom = {1, h - bottomInset, w - 1, h - 1};
    if (bottom.bottom > bottom.top)
      FillColor(target, &bottom, panel);
  }
  // The sides.
  if (havePens) {
    wulDrawLine(target, 0, 0, 0, h, pens.shadePen);
    wulDrawLine(target, w - 1, 0, w - 1, h, pens.shadePen);
  }

  GdiFlush();
  frameBuffer.Blit(dc, 0, 0, 0, 0, w, topInset);
  frameBuffer.Blit(dc, 0, h - bottomInset, 0, h - bottomInset, w, bottomInset);
  frameBuffer.Blit(dc, 0, topInset, 0, topInset, leftInset, h - topInset - bottomInset);
  frameBuffer.Blit(dc, w - rightInset, topInset, w - rightInset, topInset, rightInset, h - topInset - bottomInset);
  return 0;
}

// --- CPanelMaster ---

int32_t CPanelMaster::HandleNotify(CWULObject* sender, int32_t code, intptr_t param) {
  if (code == CVCFoldingPanel::NOTIFY_MAKE_ROOM) {
    MakeRoomIn(this, static_cast<int>(param), dynamic_cast<CVCFoldingPanel*>(sender));
    return 0;
  }
  return CWULPanel::HandleNotify(sender, code, param);
}

void CPanelMaster::OnClientSizeChanged() {
  CWULPanel::OnClientSizeChanged();
  if (!(flagsC & WUL_IF_IN_DESTRUCTOR))
    MakeRoomIn(this, -FreeSpaceOf(this), nullptr);
}

namespace PanelMaster {

int GetFreeSpace() { return g_PanelMaster ? FreeSpaceOf(g_PanelMaster) : 0; }

void MakeRoom(int amount, CVCFoldingPanel* except) {
  if (g_PanelMaster)
    MakeRoomIn(g_PanelMaster, amount, except);
}

}  // namespace PanelMaster

CVCFoldingPanel* CreateFoldingPanel(const char* caption, int minClientHeight, CBoolSetting* foldedSetting,
                                    CIntSetting* heightSetting, CVCFoldingPanel** global) {
  CVCFoldingPanel* panel = new CVCFoldingPanel;
  if (global)
    *global = panel;
  for (PanelRecord& record : g_Records) {
    if (!record.panel) {
      record = PanelRecord{panel, foldedSetting, heightSetting, global};
      break;
    }
  }
  panel->SetText(caption);
  panel->SetResizable(true);
  panel->SetMinClientHeight(minClientHeight);
  panel->SetClientHeight(heightSetting ? heightSetting->GetValue() : minClientHeight);
  panel->SetFolded(foldedSetting ? foldedSetting->GetValue() : false);
  return panel;
}

void ReportPanelFailure(const char* name) {
  char text[256];
  std::snprintf(text, sizeof text, "%s panel creation failed", name);
  ErrorBox(text);
}

void SetUpDockPanel(CWULPanel* panel, CWULInteractor::Handler deleted, int clientWidth, int alignment) {
  panel->deletedHandler = deleted;
  panel->SetOuterEdge(WUL_EDGE_SUNKEN);
  panel->SetBorderWidth(1);
  panel->SetClientWidth(clientWidth);
  panel->SetAlignment(alignment);
}

void CreatePanelMaster() {
  if (g_PanelDock)
    return;
  CWULPanel* dock = nullptr;
  try {
    dock = new CWULPanel;
    g_PanelDock = dock;
    SetUpDockPanel(dock, &OnDockDeleted, 204, WUL_ALIGN_RIGHT);
    wulPushDefaultParent(dock);
    try {
      CPanelMaster* master = new CPanelMaster;
      g_PanelMaster = master;
      master->deletedHandler = &OnMasterDeleted;
      master->SetOuterEdge(WUL_EDGE_RAISED);
      master->SetAlignment(WUL_ALIGN_FILL);
      wulPushDefaultParent(master);
      try {
        CreateProjectPanel();
        CreateImagePanel();
        CreateToolPanel();
        CreateColorPanel();
        CreatePreviewPanel();
      } catch (...) {
        wulPopDefaultParent();
        throw;
      }
      wulPopDefaultParent();
    } catch (...) {
      wulPopDefaultParent();
      throw;
    }
    wulPopDefaultParent();
    PanelMaster::MakeRoom(-PanelMaster::GetFreeSpace(), nullptr);
  } catch (...) {
    ErrorBox("Panel master creation failed");
    delete dock;
    throw;
  }
}

void RepaintPanelCaptions() {
  if (!g_PanelMaster)
    return;
  for (CWULInteractor* child = g_PanelMaster->firstChild; child; child = child->nextSibling) {
    if (AsPanel(child) && child->window)
      SendMessageA(child->window, WM_NCPAINT, 1, 0);
  }
}

void SetPanelButtonPicture(CWULStandardBarItem* button, int which, int resourceId, bool grey) {
  if (!button)
    return;
  CWULImage* image = LoadProgramPicture(resourceId);
  if (!image)
    return;
  if (grey)
    image->ToGrayscale();
  button->SetImage(which, image);
  // An image nobody took is freed here.
  if (image->refCount <= 0)
    CWULImage::Release(image);
}
