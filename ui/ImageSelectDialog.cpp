#include <algorithm>
#include <cstdio>
#include <new>
#include "document/Image.h"
#include "document/PixelArray.h"
#include "document/Project.h"
#include "shell/Settings.h"
#include "shell/TextRoutines.h"
#include "ui/DialogParts.h"
#include "ui/PluginDialogs.h"
#include "ui/ThumbnailList.h"
#include "wul/WULAppWindow.h"
#include "wul/WULButton.h"
#include "wul/WULError.h"
#include "wul/WULImage.h"
#include "wul/WULInit.h"
#include "wul/WULPanel.h"

namespace {

const int kClientWidth = 394;
const int kClientHeight = 298;
const int kButtonWidth = 80;
const int kButtonHeight = 24;
const int kMargin = 8;
const int kListWidth = 212;
const int kThumbnailSize = 80;  // largest thumbnail side
const int kPreviewX = kMargin + kListWidth + 8;
const int kPreviewSize = kClientWidth - kPreviewX - 4;
const int kChequerCell = 4;
enum { RESULT_CANCEL = 0, RESULT_OK = 1 };

class CSelectWindow;

CSelectWindow* g_dialog = nullptr;
CThumbnailList* g_list = nullptr;
CWULPicture* g_preview = nullptr;
CWULCheckBox* g_chequered = nullptr;
CWULButton* g_ok = nullptr;
CWULButton* g_cancel = nullptr;
CImage* g_chosen = nullptr;

void ForgetDialog() {
  g_dialog = nullptr;
  g_list = nullptr;
  g_preview = nullptr;
  g_chequered = nullptr;
  g_ok = g_cancel = nullptr;
}

class CSelectWindow : public CWULAppWindow {
public:
  ~CSelectWindow() override {
    if (g_dialog == this)
      ForgetDialog();
  }
};

CImage* SelectedImage() {
  CThumbnailItem* item = g_list ? g_list->GetSelected() : nullptr;
  return item ? static_cast<CImage*>(item->object) : nullptr;
}

uint32_t ChequerColor(bool second) {
  CColorSetting* setting = second ? g_Settings.uiColorsChequerB : g_Settings.uiColorsChequerA;
  if (setting)
    return setting->GetValue().value | 0xFF000000u;
  return second ? 0xFFC0C0C0u : 0xFFF0F0F0u;
}

void DrawPreview() {
  CWULImage* canvas = g_preview ? g_preview->GetImage() : nullptr;
  if (!canvas || !canvas->pixels)
    return;
  if (g_chequered && g_chequered->IsChecked()) {
    const uint32_t first = ChequerColor(false);
    const uint32_t second = ChequerColor(true);
    for (int y = 0; y < canvas->height; ++y)
      for (int x = 0; x < canvas->width; ++x)
        canvas->SetPixel(x, y, ((x / kChequerCell + y / kChequerCell) & 1) ? second : first);
  } else {
    canvas->Fill(g_preview->GetColor());
  }
  if (CImage* image = SelectedImage()) {
    CWULImage* fitted = nullptr;
    try {
      fitted = FitPicture(image->GetComposite(), std::min(canvas->width, canvas->height));
    } catch (const CWULError&) {
      fitted = nullptr;
    }
    if (fitted) {
      canvas->Draw((canvas->width - fitted->width) / 2, (canvas->height - fitted->height) / 2, fitted);
      delete fitted;
    }
  }
}

void RedrawPreview() {
  DrawPreview();
  if (g_preview)
    g_preview->Redraw();
}

void SelectionChanged(CThumbnailList*, CThumbnailItem*, CThumbnailItem*) { RedrawPreview(); }
void ChequerChanged(CWULPushButton*) { RedrawPreview(); }

void ChooseAndClose() {
  if (!g_dialog)
    return;
  g_chosen = SelectedImage();
  g_dialog->EndModal(RESULT_OK);
  g_dialog->Close();
}

void OkPressed(CWULPushButton*) { ChooseAndClose(); }

void CancelPressed(CWULPushButton*) {
  if (!g_dialog)
    return;
  g_chosen = nullptr;
  g_dialog->EndModal(RESULT_CANCEL);
  g_dialog->Close();
}

void ItemDoubleClicked(CThumbnailItem* item, CThumbnailItem*) {
  if (g_list && item->GetList() == g_list) {
    g_list->Select(item);
    ChooseAndClose();
  }
}

int DialogKeyDown(CWULInteractor*, int* key, LPARAM) {
  if (*key == VK_RETURN) {
    if (g_cancel && g_cancel->HasFocus())
      g_cancel->PerformClick();
    else if (g_chequered && g_chequered->HasFocus())
      g_chequered->PerformClick();
    else if (g_ok)
      g_ok->PerformClick();
    return 1;
  }
  if (*key == VK_ESCAPE) {
    CancelPressed(nullptr);
    return 1;
  }
  return 0;
}

void FillList(CProject* project) {
  for (CImage* image = project->GetFirstImage(); image; image = image->GetNext()) {
    char depth[64] = "";
    ColorDepthName(depth, static_cast<unsigned>(image->GetTargetFormat()), sizeof depth - 1);
    char text[128];
    std::snprintf(text, sizeof text, "%dx%d %s", static_cast<int>(image->GetWidth()),
                  static_cast<int>(image->GetHeight()), depth);
    auto* item = new CSizeListItem;
    item->object = image;
    item->doubleClickCallback = ItemDoubleClicked;
    g_list->Add(item);
    item->SetText(text);
    try {
      item->SetPicture(FitPicture(image->GetComposite(), kThumbnailSize));
    } catch (const CWULError&) {
      // The item goes without its picture.
    }
  }
}

void BuildDialog(CSelectWindow* dialog, CProject* project) {
  g_list = new CThumbnailList;
  g_list->SetBounds(kMargin, kMargin, kListWidth, kClientHeight - 2 * kMargin);
  g_list->SetMargin(2);
  g_list->SetSpacing(2);
  g_list->SetLineStep(8, 8);
  FillList(project);
  g_list->selectionChangedCallback = SelectionChanged;

  auto* frame = new CWULPanel;
  frame->SetOuterEdge(WUL_EDGE_SUNKEN);
  frame->SetBounds(kPreviewX, kMargin, kPreviewSize, kPreviewSize);
  BuildInside(frame, [] {
    g_preview = new CWULPicture;
    g_preview->SetAlignment(WUL_ALIGN_FILL);
  });

  g_chequered = new CWULCheckBox;
  g_chequered->SetText("Chequered background");
  g_chequered->SetBounds(kPreviewX, kMargin + kPreviewSize + 8, kPreviewSize, 20);
  g_chequered->SetChecked(true);
  g_chequered->checkedChangedCallback = ChequerChanged;

  const int buttonsTop = kClientHeight - kMargin - kButtonHeight;
  g_cancel = MakeDialogButton("Cancel", kClientWidth - 4 - kButtonWidth, buttonsTop, CancelPressed);
  g_ok = MakeDialogButton("OK", kClientWidth - 8 - 2 * kButtonWidth, buttonsTop, OkPressed);
  dialog->SetClientSize(kClientWidth, kClientHeight);
}

void Shown() {
  if (!g_list)
    return;
  if (CThumbnailItem* first = g_list->GetFirst())
    g_list->Select(first);
  RedrawPreview();
  g_list->SetFocus();
}

}  // namespace

CWULAppWindow* GetSelectImageDialogWindow() { return g_dialog; }
CThumbnailList* GetSelectImageList() { return g_list; }
CWULPicture* GetSelectImagePreview() { return g_preview; }
CWULCheckBox* GetSelectImageChequerBox() { return g_chequered; }
CWULPushButton* GetSelectImageButton(bool ok) { return ok ? g_ok : g_cancel; }

CImage* SelectImageDialog(CProject* project) {
  if (g_dialog) {
    g_dialog->BringToForeground();
    return nullptr;
  }
  if (!project)
    return nullptr;
  CSelectWindow* dialog = MakeSingleDialog(g_dialog, "Select an image", DialogKeyDown, ForgetDialog,
                                           [project](CSelectWindow* made) { BuildDialog(made, project); });
  if (!dialog)
    return nullptr;
  g_chosen = nullptr;
  const int result = RunPluginDialog(dialog, PluginDialogOwner(), RESULT_CANCEL, Shown);
  if (g_dialog == dialog)
    ForgetDialog();
  CImage* chosen = result == RESULT_OK ? g_chosen : nullptr;
  g_chosen = nullptr;
  return chosen;
}
