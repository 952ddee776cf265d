#include "ui/PreviewPanel.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include "document/Painters.h"
#include "document/PixelArray.h"
#include "shell/Settings.h"
#include "tools/CurrentImage.h"
#include "tools/Tool.h"
#include "ui/AppCursors.h"
#include "ui/FoldingPanel.h"
#include "ui/PanelParts.h"
#include "ui/PanelResourceIds.h"
#include "ui/StatusBar.h"
#include "ui/ZoomedView.h"
#include "wul/WULCanvas.h"
#include "wul/WULDropDown.h"
#include "wul/WULError.h"
#include "wul/WULImage.h"
#include "wul/WULInit.h"
#include "wul/WULItemBar.h"
#include "wul/WULPaintKit.h"

CVCFoldingPanel* g_PreviewPanel = nullptr;

namespace {

const int32_t kZoomTable[PreviewPanel::ZOOM_STEPS] = {1, 2, 3, 4, 5, 6, 7, 8, 10, 12, 16};

CWULTiledCanvas* g_Canvas = nullptr;
CWULCanvasOverlay* g_Overlay = nullptr;
CWULItemBar* g_Bar = nullptr;
CWULDropDown* g_ZoomList = nullptr;
CWULStandardBarItem* g_Buttons[PreviewPanel::BUTTON_COUNT] = {};
int32_t g_ZoomIndex = 0;
int32_t g_DragState = PreviewPanel::DRAG_IDLE;
MainView::CZoomAnchor g_Anchor;
ZoomedView::CWheel g_Wheel;
bool g_Updating = false;

CImage* Image() { return GetCurrentImage(); }

class RedrawSuspension : public ZoomedView::CRedrawSuspension {
public:
  RedrawSuspension() : ZoomedView::CRedrawSuspension(g_Canvas) {}
};

bool RedrawSuspended() { return ZoomedView::RedrawSuspended(g_Canvas); }

void SetContentSizeForImage() { ZoomedView::SetContentSize(g_Canvas, Image(), PreviewPanel::GetZoomFactor()); }

Point ClientToImage(int32_t x, int32_t y) {
  if (!Image())
    return Point{};
  return ZoomedView::ClientToImage(PreviewPanel::GetImageOrigin(), PreviewPanel::GetZoomFactor(), x, y);
}

void UpdateButtons() {
  CWULDropDownItem* selected = g_ZoomList ? g_ZoomList->GetSelection() : nullptr;
  if (CWULStandardBarItem* in = g_Buttons[PreviewPanel::BUTTON_ZOOM_IN])
    in->SetEnabled(selected && selected->GetNext());
  if (CWULStandardBarItem* out = g_Buttons[PreviewPanel::BUTTON_ZOOM_OUT])
    out->SetEnabled(selected && selected->GetPrev());
}

// --- handlers ---

void OnCanvasDeleted(CWULInteractor*) {
  g_Canvas = nullptr;
  g_Overlay = nullptr;
  g_DragState = PreviewPanel::DRAG_IDLE;
}

void OnBarDeleted(CWULInteractor*) {
  g_Bar = nullptr;
  g_ZoomList = nullptr;
  for (CWULStandardBarItem*& button : g_Buttons)
    button = nullptr;
}

void OnZoomListDeleted(CWULInteractor*) { g_ZoomList = nullptr; }

void OnCanvasCreated(CWULInteractor* self) { StatusBar::RegisterWindow(self, &PreviewPanel::UpdateStatus); }

void OnCanvasDestroying(CWULInteractor* self) { StatusBar::UnregisterWindow(self); }

bool InClientRect(int x, int y) { return ZoomedView::InClientRect(g_Canvas, x, y); }

int OnSetCursor(CWULInteractor*, HCURSOR* cursor, int, int x, int y) {
  if (!InClientRect(x, y))
    return 0;
  *cursor = GetAppCursor(PreviewPanel::CURSOR_PREVIEW);
  return 1;
}

void Navigate(int x, int y) {
  CImage* image = Image();
  if (!image)
    return;
  const Point origin = PreviewPanel::GetImageOrigin();
  const int64_t zoom = PreviewPanel::GetZoomFactor();
  const int64_t limitX = int64_t(image->GetWidth()) * 256 - 1;
  const int64_t limitY = int64_t(image->GetHeight()) * 256 - 1;
  const int64_t px = std::min(std::max<int64_t>((int64_t(x) - origin.x) * 256, 0) / zoom, limitX);
  const int64_t py = std::min(std::max<int64_t>((int64_t(y) - origin.y) * 256, 0) / zoom, limitY);
  MainView::CenterOn(Point{static_cast<int32_t>(px), static_cast<int32_t>(py)});
}

void OnMouseMove(CWULInteractor*, int, int x, int y) {
  if (g_DragState == PreviewPanel::DRAG_PANNING) {
    g_Anchor.client.x = x * 256 + 128;
    g_Anchor.client.y = y * 256 + 128;
    ZoomedView::ScrollToAnchor(g_Canvas, g_Anchor, PreviewPanel::GetImageOrigin(), PreviewPanel::GetZoomFactor());
  } else if (g_DragState == PreviewPanel::DRAG_NAVIGATING) {
    Navigate(x, y);
  } else if (!GetCapture() && Image()) {
    const Point client{x * 256 + 128, y * 256 + 128};
    if (client.NotEqual(g_Anchor.client)) {
      g_Anchor.client = client;
      g_Anchor.image = ClientToImage(x, y);
    }
  }
  PreviewPanel::UpdateStatus(x, y);
}

void OnLeftDown(CWULInteractor*, int keys, int x, int y) {
  if (g_DragState != PreviewPanel::DRAG_IDLE || GetCapture() || !g_Canvas)
    return;
  if (g_Canvas->window)
    SetCapture(g_Canvas->window);
  g_Canvas->SetFocus();
  g_DragState = PreviewPanel::DRAG_NAVIGATING;
  OnMouseMove(g_Canvas, keys, x, y);
}

void OnLeftUp(CWULInteractor*, int, int, int) {
  if (g_DragState == PreviewPanel::DRAG_NAVIGATING)
    ReleaseCapture();
}

void OnMiddleDown(CWULInteractor*, int, int x, int y) {
  if (g_DragState != PreviewPanel::DRAG_IDLE || GetCapture() || !g_Canvas)
    return;
  g_Anchor.client = Point{x * 256 + 128, y * 256 + 128};
  g_Anchor.image = ClientToImage(x, y);
  if (g_Canvas->window)
    SetCapture(g_Canvas->window);
  g_Canvas->SetFocus();
  g_DragState = PreviewPanel::DRAG_PANNING;
  ::SetCursor(GetAppCursor(MainView::CURSOR_PAN));
}

void OnMiddleUp(CWULInteractor*, int, int, int) {
  if (g_DragState == PreviewPanel::DRAG_PANNING)
    ReleaseCapture();
}

void OnCaptureLost(CWULInteractor*) { g_DragState = PreviewPanel::DRAG_IDLE; }

bool AcceptsWheel(CWULInteractor*, int x, int y) {
  return ZoomedView::AcceptsWheel(g_DragState == PreviewPanel::DRAG_PANNING, g_Canvas, x, y);
}

int OnMouseWheel(CWULInteractor*, float* notches, int, int, int) {
  if (!Image())
    return 1;
  g_Wheel.Turn(*notches, [](int32_t steps) {
    const MainView::CZoomAnchor anchor = g_Anchor;
    PreviewPanel::SetZoomIndex(g_ZoomIndex + steps, &anchor);
  });
  return 1;
}

bool RefuseWheel(CWULInteractor*, int, int) { return false; }

void OnZoomChosen(CWULDropDown*, CWULDropDownItem* item, CWULDropDownItem*) {
  if (!g_Updating && item)
    PreviewPanel::SetZoomIndex(item->value, nullptr);
  UpdateButtons();
}

void OnZoomIn(CWULStandardBarItem*, CWULStandardBarItem*) { PreviewPanel::SetZoomIndex(g_ZoomIndex + 1, nullptr); }

void OnZoomOut(CWULStandardBarItem*, CWULStandardBarItem*) { PreviewPanel::SetZoomIndex(g_ZoomIndex - 1, nullptr); }

void OnChequeredChanged(CWULStandardBarItem* item, CWULStandardBarItem*) {
  if (g_Settings.panelsPreviewChequeredBackground)
    g_Settings.panelsPreviewChequeredBackground->SetValue(item->IsChecked());
  if (g_Canvas && g_Overlay)
    g_Canvas->RenderAll(nullptr);
}

CWULStandardBarItem* AddButton(const char* tooltip, int x, int bitmap) {
  CWULStandardBarItem* button = new CWULStandardBarItem;
  g_Bar->AddItem(button);
  button->SetText(tooltip);
  button->SetBounds(x, 1, kPanelButtonSize, kPanelButtonSize);
  SetPanelButtonPicture(button, WUL_BAR_IMAGE_NORMAL, bitmap);
  return button;
}

}  // namespace

namespace PreviewPanel {

CWULTiledCanvas* GetCanvas() { return g_Canvas; }
CWULCanvasOverlay* GetOverlay() { return g_Overlay; }
CWULDropDown* GetZoomList() { return g_ZoomList; }
CWULStandardBarItem* GetButton(int which) { return which >= 0 && which < BUTTON_COUNT ? g_Buttons[which] : nullptr; }

int32_t GetZoomIndex() { return g_ZoomIndex; }
int32_t GetZoomFactor() { return kZoomTable[g_ZoomIndex]; }
int32_t GetZoomFactorAt(int32_t index) { return index >= 0 && index < ZOOM_STEPS ? kZoomTable[index] : 0; }
int32_t GetDragState() { return g_DragState; }

void Refresh() {
  if (RedrawSuspended())
    return;
  RedrawSuspension suspension;
  SetContentSizeForImage();
}

void SetZoomIndex(int32_t index, const MainView::CZoomAnchor* anchor) {
  index = std::max(0, std::min(index, static_cast<int32_t>(ZOOM_STEPS) - 1));
  if (index != g_ZoomIndex && !RedrawSuspended()) {
    RedrawSuspension suspension;
    g_Wheel.Clear();
    CImage* image = Image();
    if (!image || !g_Canvas) {
      g_ZoomIndex = index;
    } else {
      const MainView::CZoomAnchor fixed =
          anchor ? *anchor : ZoomedView::CentreAnchor(g_Canvas, GetImageOrigin(), GetZoomFactor());
      g_ZoomIndex = index;
      SetContentSizeForImage();
      ZoomedView::ScrollToAnchor(g_Canvas, fixed, GetImageOrigin(), GetZoomFactor());
    }
  }
  if (g_ZoomList) {
    g_Updating = true;
    try {
      g_ZoomList->SetSelection(g_ZoomList->FindByValue(g_ZoomIndex));
    } catch (...) {
      g_Updating = false;
      throw;
    }
    g_Updating = false;
  }
  UpdateButtons();
}

Point GetImageOrigin() { return ZoomedView::ImageOrigin(g_Canvas, Image(), GetZoomFactor()); }

bool ClientToPixel(const Point& client, Point& pixel) {
  if (!Image()) {
    pixel = Point{};
    return false;
  }
  pixel = ZoomedView::ClientToPixel(GetImageOrigin(), GetZoomFactor(), client);
  return true;
}

void Paint(CWULCanvasOverlay*, CWULOffscreenBuffer* buffer, CWULOffscreenBuffer*, const RECT* rect) {
  CWULImage* target = buffer ? buffer->GetImage() : nullptr;
  if (!target || !rect || !g_Canvas)
    return;
  GdiFlush();
  CPixelArray view(target->pixels, target->width, target->height);
  const Rect update = ZoomedView::ClipToBuffer(view, *rect);
  if (update.IsEmpty())
    return;
  CWULStandardBarItem* chequered = g_Buttons[BUTTON_CHEQUERED];
  if (chequered && chequered->IsChecked()) {
    CChequer chequer;
    chequer.originX = -g_Canvas->GetScrollX();
    chequer.originY = -g_Canvas->GetScrollY();
    chequer.cellSize = 4;
    chequer.colorA = g_Settings.uiColorsChequerA ? g_Settings.uiColorsChequerA->GetValue() : CColor(0xFFF0F0F0u);
    chequer.colorB = g_Settings.uiColorsChequerB ? g_Settings.uiColorsChequerB->GetValue() : CColor(0xFFC0C0C0u);
    PaintChequer(view, update, chequer);
  } else {
    view.FillRect(update, 0xFF000000u | (g_Canvas->GetColor().value & 0xFFFFFFu));
  }
  CImage* image = Image();
  if (!image)
    return;
  const int32_t zoom = GetZoomFactor();
  const Point origin = GetImageOrigin();
  const Rect r = ZoomedView::ImageBounds(origin, image, zoom);
  const Rect c = update.Intersect(r);
  if (c.IsNonEmpty())
    view.BlendZoomed(c, origin, *image->GetComposite(), zoom, 1.0f);
}

void UpdateStatus(int32_t x, int32_t y) {
  CImage* image = Image();
  if (g_DragState == DRAG_PANNING)
    return;
  if (g_DragState == DRAG_NAVIGATING) {
    if (image) {
      Point pixel;
      ClientToPixel(Point{x, y}, pixel);
      StatusBar::SetPixelPosition(pixel.x, pixel.y);
    }
    return;
  }
  if (GetCapture())
    return;
  StatusBar::SetHelpText("Use wheel to zoom, middle button to pan. Click to adjust the main view.");
  if (!image)
    return;
  Point pixel;
  ClientToPixel(Point{x, y}, pixel);
  if (pixel.x >= 0 && pixel.y >= 0 && pixel.x < image->GetWidth() && pixel.y < image->GetHeight()) {
    StatusBar::SetPixelPosition(pixel.x, pixel.y);
    StatusBar::SetColor(CColor(image->GetComposite()->GetPixel(pixel.x, pixel.y)));
  }
}

}  // namespace PreviewPanel

void CreatePreviewPanel() {
  if (g_PreviewPanel)
    return;
  CVCFoldingPanel* panel = nullptr;
  try {
    panel = CreateFoldingPanel("Preview", 80, g_Settings.panelsPreviewBodyFolded,
                               g_Settings.panelsPreviewBodyClientHeight, &g_PreviewPanel);
    wulPushDefaultParent(panel->GetClientContainer());
    try {
      CWULItemBar* bar = MakePanelButtonBar(&OnBarDeleted);
      g_Bar = bar;
      int x = 1;
      g_Buttons[PreviewPanel::BUTTON_ZOOM_IN] = AddButton("Zoom in", x, IDB_PREVIEW_ZOOM_IN);
      g_Buttons[PreviewPanel::BUTTON_ZOOM_IN]->clickCallback = &OnZoomIn;
      x += kPanelButtonSize;
      g_Buttons[PreviewPanel::BUTTON_ZOOM_OUT] = AddButton("Zoom out", x, IDB_PREVIEW_ZOOM_OUT);
      g_Buttons[PreviewPanel::BUTTON_ZOOM_OUT]->clickCallback = &OnZoomOut;
      x += kPanelButtonSize + 2;

      wulPushDefaultParent(bar);
      try {
        CWULDropDown* list = new CWULDropDown;
        g_ZoomList = list;
        list->deletedHandler = &OnZoomListDeleted;
        list->SetFrameKind(WUL_FRAME_BEVEL);
        list->SetMaxVisibleItems(11);
        list->SetTabStop(false);
        list->SetBounds(x, 1, 52, kPanelBarHeight - 2);
        list->wheelAcceptHandler = &RefuseWheel;
        for (int32_t index = 0; index < PreviewPanel::ZOOM_STEPS; ++index) {
          char text[32];
          std::snprintf(text, sizeof text, "%d00%%", static_cast<int>(kZoomTable[index]));
          list->InsertItem(new CWULDropDownItem(index, text));
        }
        list->selectionChangedHandler = &OnZoomChosen;
        x = list->GetRight() + 2;
      } catch (...) {
        wulPopDefaultParent();
        throw;
      }
      wulPopDefaultParent();

      CWULStandardBarItem* chequered = AddButton("Chequered background", x, IDB_PREVIEW_CHEQUERED);
      g_Buttons[PreviewPanel::BUTTON_CHEQUERED] = chequered;
      SetPanelButtonPicture(chequered, WUL_BAR_IMAGE_CHECKED, IDB_PREVIEW_CHEQUERED_DOWN);
      chequered->SetBehaviour(WUL_BEHAVIOUR_TOGGLE);
      chequered->SetChecked(g_Settings.panelsPreviewChequeredBackground
                                ? g_Settings.panelsPreviewChequeredBackground->GetValue()
                                : true);
      chequered->checkChangedCallback = &OnChequeredChanged;

      CWULTiledCanvas* canvas = new CWULTiledCanvas;
      g_Canvas = canvas;
      canvas->deletedHandler = &OnCanvasDeleted;
      canvas->createdHandler = &OnCanvasCreated;
      canvas->destroyedHandler = &OnCanvasDestroying;
      canvas->SetBorderStyle(2);
      canvas->SetLineStep(8, 8);
      canvas->SetAlignment(WUL_ALIGN_FILL);
      canvas->setCursorHandler = &OnSetCursor;
      canvas->mouseMoveHandler = &OnMouseMove;
      canvas->leftDownHandler = &OnLeftDown;
      canvas->leftDoubleClickHandler = &OnLeftDown;
      canvas->leftUpHandler = &OnLeftUp;
      canvas->middleDownHandler = &OnMiddleDown;
      canvas->middleDoubleClickHandler = &OnMiddleDown;
      canvas->middleUpHandler = &OnMiddleUp;
      canvas->captureLostHandler = &OnCaptureLost;
      canvas->wheelAcceptHandler = &AcceptsWheel;
      canvas->wheelHandler = &OnMouseWheel;
      CWULCanvasOverlay* overlay = new CWULCanvasOverlay;
      g_Overlay = overlay;
      overlay->drawCallback = &PreviewPanel::Paint;
      canvas->AddOverlay(overlay);
    } catch (...) {
      wulPopDefaultParent();
      throw;
    }
    wulPopDefaultParent();
    g_ZoomIndex = 0;
    PreviewPanel::SetZoomIndex(0, nullptr);
    PreviewPanel::Refresh();
  } catch (...) {
    ReportPanelFailure("Preview");
    delete panel;
    throw;
  }
}
