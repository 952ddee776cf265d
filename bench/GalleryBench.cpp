// One application window holding one of each framework control, shown for a few seconds
// (VC_GALLERY_SECONDS, default 3) so that a screenshot can be taken. Runs only when
// VC_GALLERY_SECONDS is set, so a run of all sections skips it.
#include <windows.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include "bench/Bench.h"
#include "wul/WULAppWindow.h"
#include "wul/WULButton.h"
#include "wul/WULCanvas.h"
#include "wul/WULDropDown.h"
#include "wul/WULEdit.h"
#include "wul/WULImage.h"
#include "wul/WULInit.h"
#include "wul/WULItemBar.h"
#include "wul/WULListBox.h"
#include "wul/WULMenu.h"
#include "wul/WULPageControl.h"
#include "wul/WULPanel.h"
#include "wul/WULProtoEdit.h"
#include "wul/WULScroll.h"

namespace {

CWULAppWindow* g_gallery = nullptr;

void CALLBACK CloseGallery(HWND, UINT, UINT_PTR, DWORD) {
  if (g_gallery) {
    CWULAppWindow* window = g_gallery;
    g_gallery = nullptr;
    window->Close();
  }
}

CWULMenu* MakeMenuBar() {
  auto* bar = new CWULMenu();
  const char* titles[] = {"&File", "&Edit", "&View"};
  const char* entries[][3] = {{"&New", "&Open...", "E&xit"}, {"&Undo", "&Redo", nullptr}, {"&Zoom in", nullptr, nullptr}};
  for (int i = 0; i < 3; i++) {
    auto* title = new CWULMenuItem(titles[i]);
    auto* sub = new CWULMenu();
    for (const char* text : entries[i]) {
      if (text)
        sub->Append(new CWULMenuItem(text));
    }
    title->SetSubmenu(sub);
    bar->Append(title);
  }
  bar->Append(new CWULMenuItem("&Help"));
  return bar;
}

// A 16 x 16 bar image: a coloured square with a dark outline on a transparent ground.
CWULImage* BarImage(uint32_t rgb) {
  auto* image = new CWULImage(16, 16);
  image->Fill(CWULColor(0u));
  RECT outer = {2, 2, 14, 14};
  image->FillRect(&outer, CWULColor(0xFF000000u | 0x303030u));
  RECT inner = {3, 3, 13, 13};
  image->FillRect(&inner, CWULColor(0xFF000000u | rgb));
  return image;
}

void AddBarItem(CWULItemBar* bar, int left, const char* hint, uint32_t rgb, int behaviour, bool checked) {
  auto* item = new CWULStandardBarItem;
  item->SetText(hint);
  item->SetBounds(left, 3, 24, 24);
  item->SetBehaviour(behaviour);
  CWULImage* image = BarImage(rgb);
  image->AddRef();
  item->SetImage(WUL_BAR_IMAGE_NORMAL, image);
  image->Release();
  bar->AddItem(item);
  if (checked)
    item->SetChecked(true);
}

// A smooth colour ramp for the picture and the canvas.
void PaintRamp(CWULImage* image, int offsetX, int offsetY) {
  if (!image || !image->pixels)
    return;
  for (int py = 0; py < image->height; py++)
    for (int px = 0; px < image->width; px++) {
      const uint32_t r = static_cast<uint32_t>((px + offsetX) * 255 / 400) & 0xFF;
      const uint32_t g = static_cast<uint32_t>((py + offsetY) * 255 / 300) & 0xFF;
      image->SetPixel(px, py, 0xFF000000u | (r << 16) | (g << 8) | 0xC0u);
    }
}

CWULScrollWindow* g_canvas = nullptr;
void PaintCanvas(CWULCanvasOverlay*, CWULOffscreenBuffer* own, CWULOffscreenBuffer*, const RECT* rect) {
  GdiFlush();
  CWULImage* image = own->GetImage();
  if (!image || !image->pixels)
    return;
  const int sx = g_canvas ? g_canvas->GetScrollX() : 0;
  const int sy = g_canvas ? g_canvas->GetScrollY() : 0;
  for (int py = rect->top; py < rect->bottom; py++)
    for (int px = rect->left; px < rect->right; px++) {
      const int cx = px + sx, cy = py + sy;
      const bool check = ((cx / 16) + (cy / 16)) % 2 == 0;
      const uint32_t shade = check ? 0xE0E0E0u : 0xA8B8D0u;
      image->SetPixel(px, py, 0xFF000000u | shade);
    }
}

CWULLabel* AddLabel(const char* text, int left, int top, int w) {
  auto* label = new CWULLabel;
  label->SetText(text);
  label->SetBounds(left, top, w, 18);
  return label;
}

CWULAppWindow* BuildGallery() {
  wulPushDefaultParent(nullptr);
  auto* app = new CWULAppWindow();
  wulPopDefaultParent();
  app->SetFrameKind(WUL_FRAME_SIZING);
  app->SetText("Vellumcraft control gallery");
  app->SetSystemMenu(true);
  app->SetCloseBox(true);
  app->SetMinimizeBox(true);
  app->SetMaximizeBox(true);
  app->SetWindowKind(WUL_WINDOW_TASKBAR);
  app->SetQuitOnDestroy(true);
  app->SetMenu(MakeMenuBar());
  app->SetBounds(40, 40, 700, 440);

  wulPushDefaultParent(app);
  const int clientW = app->GetClientWidth();

  // Item bar along the top.
  auto* bar = new CWULItemBar;
  bar->SetBounds(0, 0, clientW, 30);
  bar->SetItemStyle(WUL_ITEM_STYLE_RAISED);
  bar->SetFrameStyle(WUL_BAR_FRAME_RAISED);
  const uint32_t colours[] = {0xD04040u, 0x40A040u, 0x4060D0u, 0xD0B020u, 0x9040B0u};
  const char* hints[] = {"New", "Open", "Save", "Grid", "Preview"};
  for (int i = 0; i < 5; i++)
    AddBarItem(bar, 4 + 26 * i + (i >= 3 ? 8 : 0), hints[i], colours[i],
               i >= 3 ? WUL_BEHAVIOUR_TOGGLE : WUL_BEHAVIOUR_PUSH, i == 3);

  // Left column: label, picture, button, check box, radio group, panel.
  const int x1 = 12;
  AddLabel("Label", x1, 40, 150);

  auto* picture = new CWULPicture;
  picture->SetBounds(x1, 62, 150, 50);
  PaintRamp(picture->GetImage(), 0, 0);

  auto* button = new CWULButton;
  button->SetText("Button");
  button->SetBounds(x1, 120, 100, 26);

  auto* check = new CWULCheckBox;
  check->SetText("Check box");
  check->SetBounds(x1, 154, 150, 18);
  check->SetChecked(true);

  auto* group = new CWULGroupFrame;
  group->SetText("Group frame");
  group->SetBounds(x1, 180, 150, 90);
  wulPushDefaultParent(group);
  CWULRadioButton* radios[3];
  const char* radioTexts[] = {"Radio one", "Radio two", "Radio three"};
  for (int i = 0; i < 3; i++) {
    radios[i] = new CWULRadioButton;
    radios[i]->SetText(radioTexts[i]);
    radios[i]->SetBounds(8, 4 + 20 * i, 130, 18);
    if (i > 0)
      radios[i]->JoinGroup(radios[i - 1]);
  }
  radios[1]->SetChecked(true);
  wulPopDefaultParent();

  auto* panel = new CWULPanel;
  panel->SetOuterEdge(WUL_EDGE_RAISED);
  panel->SetInnerEdge(WUL_EDGE_SUNKEN);
  panel->SetBorderWidth(2);
  panel->SetBounds(x1, 280, 150, 60);
  wulPushDefaultParent(panel);
  AddLabel("Inside a panel", 10, 16, 120);
  wulPopDefaultParent();

  // Middle column: the edits, the drop-down and the list box.
  const int x2 = 180;
  AddLabel("Edit", x2, 40, 160);
  auto* edit = new CWULEdit;
  edit->SetBounds(x2, 58, 160, 22);
  edit->SetText("Some text");

  AddLabel("Spin edit", x2, 86, 160);
  auto* spin = new CWULSpinEdit;
  spin->SetBounds(x2, 104, 160, 22);
  spin->SetMinimum(0);
  spin->SetMaximum(100);
  spin->SetValue(42);

  AddLabel("Edit with a button", x2, 132, 160);
  auto* buttonEdit = new CWULButtonEdit;
  buttonEdit->SetBounds(x2, 150, 160, 22);
  buttonEdit->SetText("C:\\images\\icon.ico");

  AddLabel("Drop-down", x2, 178, 160);
  auto* drop = new CWULDropDown;
  drop->SetBounds(x2, 196, 160, 22);
  const char* dropTexts[] = {"Nearest", "Bilinear", "Bicubic", "Lanczos"};
  for (int i = 0; i < 4; i++)
    drop->InsertItem(new CWULDropDownItem(i + 1, dropTexts[i]));
  drop->SetSelection(drop->FindByValue(2));

  AddLabel("List box", x2, 224, 160);
  auto* list = new CWULListBox;
  list->SetBounds(x2, 242, 160, 98);
  const char* listTexts[] = {"Background", "Shadow", "Outline", "Fill", "Highlight", "Reflection", "Sparkle"};
  for (const char* text : listTexts)
    list->InsertItem(new CWULListItem(text), nullptr);
  list->SetCurrentItem(list->FindByIndex(2));

  // Right column: the page control and the canvas.
  const int x3 = 360;
  const int w3 = clientW - x3 - 12;
  auto* pages = new CWULPageControl;
  pages->SetBounds(x3, 40, w3, 150);
  auto* first = new CWULPageControlItem("First page");
  auto* second = new CWULPageControlItem("Second page");
  pages->AddItem(first);
  pages->AddItem(second);
  pages->SetCurrentItem(first);
  if (CWULContainer* page = first->GetInteractor()) {
    wulPushDefaultParent(page);
    AddLabel("A label on the first page", 10, 10, 220);
    auto* pageCheck = new CWULCheckBox;
    pageCheck->SetText("A check box on the page");
    pageCheck->SetBounds(10, 36, 220, 18);
    auto* pageButton = new CWULButton;
    pageButton->SetText("Apply");
    pageButton->SetBounds(10, 64, 90, 26);
    wulPopDefaultParent();
  }
  if (CWULContainer* page = second->GetInteractor()) {
    wulPushDefaultParent(page);
    AddLabel("The second page", 10, 10, 200);
    wulPopDefaultParent();
  }

  AddLabel("Canvas (scrolling)", x3, 200, 200);
  auto* canvas = new CWULTiledCanvas;
  g_canvas = canvas;
  canvas->SetBorderStyle(3);
  canvas->SetHBarMode(WUL_BAR_AUTO);
  canvas->SetVBarMode(WUL_BAR_AUTO);
  canvas->SetBounds(x3, 218, w3, 122);
  canvas->SetContentSize(800, 600);
  auto* overlay = new CWULCanvasOverlay;
  overlay->drawCallback = PaintCanvas;
  canvas->AddOverlay(overlay);

  // A status line along the bottom.
  auto* status = new CWULPanel;
  status->SetOuterEdge(WUL_EDGE_SUNKEN);
  status->SetBounds(0, app->GetClientHeight() - 24, clientW, 24);
  wulPushDefaultParent(status);
  AddLabel("Panel as a status line", 6, 2, 300);
  wulPopDefaultParent();

  wulPopDefaultParent();
  return app;
}

}  // namespace

VC_BENCH("control gallery") {
  const char* setting = std::getenv("VC_GALLERY_SECONDS");
  if (!setting || !*setting) {
    std::printf("skipped: set VC_GALLERY_SECONDS to show the gallery\n");
    return;
  }
  double seconds = std::atof(setting);
  if (seconds <= 0)
    seconds = 3;
  try {
    WULInit(GetModuleHandleA(nullptr));
    CWULAppWindow* app = BuildGallery();
    g_gallery = app;
    app->IncarnateTree(nullptr);
    if (g_canvas)
      static_cast<CWULTiledCanvas*>(g_canvas)->RenderAll(nullptr);
    app->Show();
    app->BringToForeground();
    const UINT_PTR timer = SetTimer(nullptr, 0, static_cast<UINT>(seconds * 1000.0), CloseGallery);
    wulRunMessageLoop();
    KillTimer(nullptr, timer);
    g_gallery = nullptr;
    g_canvas = nullptr;
    std::printf("gallery shown\n");
  } catch (const CWULError& error) {
    std::printf("gallery failed: %s\n", error.description);
  }
}
