#include "ui/StatusBar.h"
#include "ui/AppCursors.h"
#include <cstdio>
#include <initializer_list>
#include <new>
#include "shell/Errors.h"
#include "tools/Ticker.h"
#include "ui/BarResourceIds.h"
#include "ui/MainView.h"
#include "wul/WULError.h"
#include "wul/WULFont.h"
#include "wul/WULImage.h"
#include "wul/WULInit.h"
#include "wul/WULPaintKit.h"
#include "wul/WULPanel.h"

namespace {

CWULPanel* g_Bar = nullptr;
CStatusPane* g_Panes[StatusBar::PANE_COUNT] = {};
CStatusRegistry::Entry* g_Registry = nullptr;


CStatusPane* PaneOfPicture(CWULInteractor* picture) {
  for (CStatusPane* pane : g_Panes) {
    if (pane && pane->picture == picture)
      return pane;
  }
  return nullptr;
}

// A resized picture comes back empty.
void OnPictureSized(CWULInteractor* picture) {
  if (CStatusPane* pane = PaneOfPicture(picture))
    pane->Paint();
}

void DeletePanes() {
  for (CStatusPane*& pane : g_Panes) {
    CStatusPane* doomed = pane;
    pane = nullptr;
    delete doomed;
  }
}

void OnBarCreated(CWULInteractor*) { g_Ticker.Register(&StatusBar::OnTick); }

void OnBarDestroying(CWULInteractor*) { g_Ticker.Unregister(&StatusBar::OnTick); }

void OnBarDeleted(CWULInteractor*) {
  g_Ticker.Unregister(&StatusBar::OnTick);
  g_Bar = nullptr;
  CStatusRegistry::Clear();
  DeletePanes();
}

void SetPaneText(int which, const char* text) {
  if (g_Bar && g_Panes[which])
    g_Panes[which]->SetText(text);
}

void ClearPane(int which) {
  if (g_Bar && g_Panes[which])
    g_Panes[which]->Clear();
}

// Draws text into the picture's buffer in the picture's font.
void DrawPaneText(CWULPicture* picture, const char* text, RECT* area, UINT format) {
  if (!text[0])
    return;
  HDC dc = picture->buffer.GetDC();
  CWULTextFont font(&picture->GetFont());
  if (!font.Select(dc))
    return;
  DrawTextA(dc, text, -1, area, format | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  font.Restore();
}

// The picture's image filled with its colour; null while it has none.
CWULImage* ClearPicture(CWULPicture* picture) {
  if (!picture)
    return nullptr;
  CWULImage* image = picture->GetImage();
  if (image)
    image->Fill(picture->GetColor());
  return image;
}

}  // namespace

// --- panes ---

CStatusPane::CStatusPane() : stale(false), changeTime(GetTickCount()), panel(nullptr), picture(nullptr) {
  panel = new CWULPanel;
  panel->SetInnerEdge(WUL_EDGE_RAISED);
  panel->SetBorderWidth(1);
  wulPushDefaultParent(panel);
  try {
    picture = new CWULPicture;
    picture->SetAlignment(WUL_ALIGN_FILL);
    picture->sizeChangedHandler = &OnPictureSized;
  } catch (...) {
    wulPopDefaultParent();
    throw;
  }
  wulPopDefaultParent();
}

CStatusPane::~CStatusPane() {}

void CStatusPane::SetStale() { stale = true; }

void CStatusPane::Clear() {
  stale = false;
  if (text.GetLength() > 0) {
    text.Clear();
    Repaint();
  }
  changeTime = GetTickCount();
}

void CStatusPane::SetText(const char* newText) {
  stale = false;
  if (newText && newText[0]) {
    if (!text.Equals(newText)) {
      text.Assign(newText);
      Repaint();
      changeTime = GetTickCount();
    }
    return;
  }
  if (GetTickCount() - changeTime >= CLEAR_DELAY)
    Clear();
}

void CStatusPane::Repaint() {
  Paint();
  if (picture && picture->GetHandle())
    picture->Redraw();
}

CHelpPane::CHelpPane() { panel->SetAlignment(WUL_ALIGN_FILL); }

void CHelpPane::Paint() {
  CWULImage* image = ClearPicture(picture);
  if (!image)
    return;
  RECT area = {2, 0, image->width - 2, image->height};
  DrawPaneText(picture, text.text, &area, DT_LEFT | DT_END_ELLIPSIS);
}

CIconPane::CIconPane(int clientWidth, CWULImage* newIcon) : icon(newIcon) {
  CWULImage::AddRef(icon);
  panel->SetClientWidth(clientWidth);
  panel->SetAlignment(WUL_ALIGN_RIGHT);
}

CIconPane::~CIconPane() { CWULImage::Release(icon); }

void CIconPane::SetIcon(CWULImage* newIcon) {
  if (newIcon == icon)
    return;
  CWULImage::AddRef(newIcon);
  CWULImage::Release(icon);
  icon = newIcon;
  Repaint();
}

void CIconPane::Paint() {
  CWULImage* image = ClearPicture(picture);
  if (!image)
    return;
  int left = 0;
  if (icon && icon->pixels) {
    image->Draw(0, (image->height - icon->height) / 2, icon);
    left = icon->width;
  }
  RECT area = {left, 0, image->width - 1, image->height};
  DrawPaneText(picture, text.text, &area, DT_CENTER);
}

// --- pointer registry ---

namespace {
// Empties the list when the program ends.
CStatusRegistry g_StatusRegistry;
}  // namespace

CStatusRegistry::CStatusRegistry() {}

CStatusRegistry::~CStatusRegistry() { Clear(); }

void CStatusRegistry::Add(Entry* entry) {
  entry->next = g_Registry;
  g_Registry = entry;
}

void CStatusRegistry::Register(HWND window, Callback callback) {
  Add(new Entry{window, callback, nullptr, nullptr});
}

void CStatusRegistry::Register(HWND window, Updater updater) {
  Add(new Entry{window, nullptr, updater, nullptr});
}

void CStatusRegistry::Unregister(HWND window) {
  for (Entry** link = &g_Registry; *link; link = &(*link)->next) {
    if ((*link)->window == window) {
      Entry* doomed = *link;
      *link = doomed->next;
      delete doomed;
      return;
    }
  }
}

void CStatusRegistry::Clear() {
  while (g_Registry) {
    Entry* doomed = g_Registry;
    g_Registry = doomed->next;
    delete doomed;
  }
}

CStatusRegistry::Entry* CStatusRegistry::Find(HWND window) {
  for (Entry* entry = g_Registry; entry; entry = entry->next) {
    if (entry->window == window)
      return entry;
  }
  return nullptr;
}

int32_t CStatusRegistry::GetCount() {
  int32_t count = 0;
  for (Entry* entry = g_Registry; entry; entry = entry->next)
    ++count;
  return count;
}

// --- the bar ---

void CreateStatusBar() {
  if (g_Bar)
    return;
  CWULPanel* bar = nullptr;
  try {
    bar = new CWULPanel;
    g_Bar = bar;
    bar->deletedHandler = &OnBarDeleted;
    bar->createdHandler = &OnBarCreated;
    bar->destroyedHandler = &OnBarDestroying;
    bar->SetOuterEdge(WUL_EDGE_SUNKEN);
    bar->SetHeight(19);
    bar->font.SetStandard(2);
    bar->SetParentFont(false);
    bar->SetAlignment(WUL_ALIGN_BOTTOM);
    wulPushDefaultParent(bar);
    try {
      // Docking right in this order puts them, left to right: help, geometry, pixel, colour.
      g_Panes[StatusBar::PANE_COLOR] = new CIconPane(96, LoadProgramPicture(IDB_STATUS_COLOR));
      g_Panes[StatusBar::PANE_PIXEL] = new CIconPane(72, LoadProgramPicture(IDB_STATUS_PIXEL));
      g_Panes[StatusBar::PANE_GEOMETRY] = new CIconPane(120, LoadProgramPicture(IDB_STATUS_GEOMETRY));
      g_Panes[StatusBar::PANE_HELP] = new CHelpPane;
    } catch (...) {
      wulPopDefaultParent();
      throw;
    }
    wulPopDefaultParent();
    // The pictures were sized before their panes were known.
    for (CStatusPane* pane : g_Panes)
      pane->Paint();
  } catch (...) {
    ErrorBox("Status bar creation failed");
    delete bar;
    throw;
  }
}

namespace StatusBar {

CWULPanel* GetBar() { return g_Bar; }

CStatusPane* GetPane(int which) { return which >= 0 && which < PANE_COUNT ? g_Panes[which] : nullptr; }

void SetHelpText(const char* text) { SetPaneText(PANE_HELP, text); }

void SetPositionInt(int32_t x, int32_t y) {
  char text[64];
  std::snprintf(text, sizeof text, "%d : %d", static_cast<int>(x), static_cast<int>(y));
  SetPaneText(PANE_GEOMETRY, text);
}

void SetPosition(int32_t x, int32_t y) {
  char text[96];
  std::snprintf(text, sizeof text, "%.3f : %.3f", x / 256.0, y / 256.0);
  SetPaneText(PANE_GEOMETRY, text);
}

void SetSize(int32_t w, int32_t h) {
  char text[64];
  std::snprintf(text, sizeof text, "%d x %d", static_cast<int>(w), static_cast<int>(h));
  SetPaneText(PANE_GEOMETRY, text);
}

void SetSizeFixed(int32_t w, int32_t h) {
  char text[96];
  std::snprintf(text, sizeof text, "%.3f x %.3f", w / 256.0, h / 256.0);
  SetPaneText(PANE_GEOMETRY, text);
}

void SetPixelPosition(int32_t x, int32_t y) {
  char text[64];
  std::snprintf(text, sizeof text, "%d,%d", static_cast<int>(x), static_cast<int>(y));
  SetPaneText(PANE_PIXEL, text);
}

void SetColor(CColor color) {
  char text[64];
  const int r = static_cast<int>(color.GetRed()), g = static_cast<int>(color.GetGreen()),
            b = static_cast<int>(color.GetBlue()), a = static_cast<int>(color.GetAlpha());
  if (a == 255)
    std::snprintf(text, sizeof text, "%d,%d,%d", r, g, b);
  else
    std::snprintf(text, sizeof text, "%d,%d,%d : %d", r, g, b, a);
  SetPaneText(PANE_COLOR, text);
}

void SetColorText(const char* text) { SetPaneText(PANE_COLOR, text); }

void ClearGeometry() { ClearPane(PANE_GEOMETRY); }

void ClearColor() { ClearPane(PANE_COLOR); }

void OnTick() {
  if (!g_Bar)
    return;
  for (int which : {PANE_HELP, PANE_PIXEL, PANE_COLOR}) {
    if (g_Panes[which])
      g_Panes[which]->SetStale();
  }
  POINT client = {0, 0};
  if (HWND window = MainView::GetWindowUnderCursor(&client)) {
    if (CStatusRegistry::Entry* entry = CStatusRegistry::Find(window)) {
      try {
        if (entry->callback)
          entry->callback(window, client.x, client.y);
        else if (entry->updater)
          entry->updater(client.x, client.y);
      } catch (...) {
      }
    }
  }
  for (CStatusPane* pane : g_Panes) {
    if (pane && pane->IsStale())
      pane->Clear();
  }
}

void RegisterWindow(CWULInteractor* window, void (*updater)(int32_t x, int32_t y)) {
  if (window && window->GetHandle() && updater)
    CStatusRegistry::Register(window->GetHandle(), updater);
}

void UnregisterWindow(CWULInteractor* window) {
  if (window && window->GetHandle())
    CStatusRegistry::Unregister(window->GetHandle());
}

}  // namespace StatusBar
