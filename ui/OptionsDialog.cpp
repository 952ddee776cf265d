#include "ui/OptionsDialog.h"
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include "shell/Help.h"
#include "shell/Settings.h"
#include "ui/ColorPickerDialog.h"
#include "ui/DialogParts.h"
#include "ui/MainWindow.h"
#include "ui/PluginDialogs.h"
#include "ui/Toolbox.h"
#include "wul/WULAppWindow.h"
#include "wul/WULButton.h"
#include "wul/WULEdit.h"
#include "wul/WULListBox.h"
#include "wul/WULPanel.h"

namespace {

enum { RESULT_CANCEL = 0, RESULT_OK = 1 };

const int kClientWidth = 400;
const int kClientHeight = 300;
const int kMargin = 8;
const int kButtonWidth = 80;
const int kButtonHeight = 24;
const int kResetWidth = 120;
const int kListWidth = 112;

// Inside a page: labels at the left, their controls in a column beside them.
const int kLabelLeft = 8;
const int kLabelWidth = 180;
const int kControlLeft = 192;
const int kSpinWidth = 64;
const int kRowTop = 8;
const int kRowPitch = 28;
const int kSwatchSize = 20;
const int kSwatchGap = 4;

class COptionsWindow;

COptionsWindow* g_dialog = nullptr;
COptionsDialogParts g_parts;
bool g_pending = false;
int g_currentPage = -1;
int g_lastPage = -1;
// Above zero while the controls are being filled; their change handlers do nothing then.
int g_filling = 0;

void ForgetDialog() {
  g_dialog = nullptr;
  std::memset(&g_parts, 0, sizeof g_parts);
  g_currentPage = -1;
  g_pending = false;
}

class COptionsWindow : public CWULAppWindow {
public:
  ~COptionsWindow() override {
    if (g_dialog == this)
      ForgetDialog();
  }
};

class CFillScope {
public:
  CFillScope() { ++g_filling; }
  ~CFillScope() { --g_filling; }
};

void UpdateApplyButton() {
  if (!g_parts.apply)
    return;
  // A disabled button keeps no focus: the keys go on to OK.
  if (!g_pending && g_parts.ok && g_parts.apply->HasFocus())
    g_parts.ok->SetFocus();
  g_parts.apply->SetEnabled(g_pending);
}

void MarkPending() {
  g_pending = true;
  UpdateApplyButton();
}

// A colour square that shows the remembered colour of its entry and edits it with the
// colour picker when clicked.
class COptionSwatch : public CWULPicture {
public:
  explicit COptionSwatch(CColorSetting* entry) : setting(entry) {
    leftDownHandler = Clicked;
  }

  void Paint() {
    const RECT square = {1, 1, kSwatchSize - 1, kSwatchSize - 1};
    const RECT corner = {1, 1, 7, 7};
    Toolbox::PaintSwatch(this, square, corner, setting->remembered);
    if (GetHandle())
      Redraw();
  }

  CColorSetting* setting;

private:
  static void Clicked(CWULInteractor* self, int, int, int) {
    auto* swatch = static_cast<COptionSwatch*>(self);
    CColor color = swatch->setting->remembered;
    if (!ColorPickerDialog(&color, swatch))
      return;
    swatch->setting->remembered = color;
    swatch->Paint();
    MarkPending();
  }
};

COptionSwatch* MakeSwatch(CColorSetting* entry, int left, int top) {
  auto* swatch = new COptionSwatch(entry);
  swatch->SetBounds(left, top, kSwatchSize, kSwatchSize);
  return swatch;
}

// Typing is a change too: Apply can be pressed, and pressing it takes the focus, which
// commits the typed number through the value handler first.
void SpinTyped(CWULProtoEdit*) {
  if (!g_filling)
    MarkPending();
}

// A label and a spin edit in one row of a page; the handler is set once the limits are.
CWULSpinEdit* MakeRow(int row, const char* text, double minimum, double maximum,
                      CWULSpinEdit::ValueHandler handler) {
  const int top = kRowTop + row * kRowPitch;
  MakeLabel(text, kLabelLeft, top, kLabelWidth);
  CWULSpinEdit* spin = MakeSpin(kControlLeft, top, kSpinWidth, minimum, maximum, minimum);
  spin->valueChangedHandler = handler;
  spin->changeCallback = SpinTyped;
  return spin;
}

// --- Viewports ---

void BuildViewportsPage() {
  MakeLabel("Chequer colors:", kLabelLeft, kRowTop, kLabelWidth);
  g_parts.chequerA = MakeSwatch(g_Settings.uiColorsChequerA, kControlLeft, kRowTop);
  g_parts.chequerB = MakeSwatch(g_Settings.uiColorsChequerB, kControlLeft + kSwatchSize + kSwatchGap, kRowTop);
  MakeLabel("Grid color:", kLabelLeft, kRowTop + kRowPitch, kLabelWidth);
  g_parts.grid = MakeSwatch(g_Settings.uiColorsGridA, kControlLeft, kRowTop + kRowPitch);
}

void FillViewportsPage() {
  for (CWULPicture* swatch : {g_parts.chequerA, g_parts.chequerB, g_parts.grid})
    if (swatch)
      static_cast<COptionSwatch*>(swatch)->Paint();
}

// --- Undo ---

void UndoMinChanged(CWULSpinEdit* spin) {
  if (g_filling)
    return;
  const int32_t value = spin->GetValueRounded();
  g_Settings.limitsUndoMinDepth->remembered = value;
  if (g_Settings.limitsUndoMaxDepth->remembered < value) {
    g_Settings.limitsUndoMaxDepth->remembered = value;
    CFillScope filling;
    g_parts.undoMaxDepth->SetValue(value);
  }
  MarkPending();
}

void UndoMaxChanged(CWULSpinEdit* spin) {
  if (g_filling)
    return;
  const int32_t value = spin->GetValueRounded();
  g_Settings.limitsUndoMaxDepth->remembered = value;
  if (g_Settings.limitsUndoMinDepth->remembered > value) {
    g_Settings.limitsUndoMinDepth->remembered = value;
    CFillScope filling;
    g_parts.undoMinDepth->SetValue(value);
  }
  MarkPending();
}

void UndoMemoryChanged(CWULSpinEdit* spin) {
  if (g_filling)
    return;
  g_Settings.limitsUndoMemoryLimit->remembered = spin->GetValueRounded();
  MarkPending();
}

void BuildUndoPage() {
  g_parts.undoMinDepth = MakeRow(0, "Depth, min:", 1, 1000, UndoMinChanged);
  g_parts.undoMaxDepth = MakeRow(1, "Depth, max:", 1, 1000, UndoMaxChanged);
  g_parts.undoMemoryLimit = MakeRow(2, "Memory limit, MB:", 1, 256, UndoMemoryChanged);
}

void FillUndoPage() {
  g_parts.undoMinDepth->SetValue(static_cast<double>(g_Settings.limitsUndoMinDepth->remembered));
  g_parts.undoMaxDepth->SetValue(static_cast<double>(g_Settings.limitsUndoMaxDepth->remembered));
  g_parts.undoMemoryLimit->SetValue(static_cast<double>(g_Settings.limitsUndoMemoryLimit->remembered));
}

// --- Memory ---

void TextMemoryChanged(CWULSpinEdit* spin) {
  if (g_filling)
    return;
  g_Settings.limitsToolsTextMemoryLimit->remembered = static_cast<uint32_t>(spin->GetValueRounded());
  MarkPending();
}

void BuildMemoryPage() {
  g_parts.textMemoryLimit = MakeRow(0, "Text tool memory limit, MB:", 1, 64, TextMemoryChanged);
}

void FillMemoryPage() {
  g_parts.textMemoryLimit->SetValue(static_cast<double>(g_Settings.limitsToolsTextMemoryLimit->remembered));
}

// --- Supersampling: shown in thousands of pixels ---

void SupersamplingChanged(CWULSpinEdit* spin) {
  if (g_filling)
    return;
  g_Settings.limitsSupersamplingMaxPixelCount->remembered = static_cast<uint32_t>(spin->GetValueRounded()) * 1000u;
  MarkPending();
}

void BuildSupersamplingPage() {
  g_parts.supersamplingLimit = MakeRow(0, "Tolerable image size, Kpixels:", 1, 1000, SupersamplingChanged);
}

void FillSupersamplingPage() {
  const uint64_t pixels = g_Settings.limitsSupersamplingMaxPixelCount->remembered;
  g_parts.supersamplingLimit->SetValue(static_cast<double>((pixels + 500) / 1000));
}

// --- Project files ---

void RelaxedChanged(CWULPushButton* box) {
  if (g_filling)
    return;
  g_Settings.projectFileRelaxedChecks->remembered = box->IsChecked();
  MarkPending();
}

void EmbedChanged(CWULPushButton* box) {
  if (g_filling)
    return;
  g_Settings.projectFileEmbedThumbnails->remembered = box->IsChecked();
  g_parts.thumbnailSize->SetEnabled(box->IsChecked());
  MarkPending();
}

void ThumbnailSizeChanged(CWULSpinEdit* spin) {
  if (g_filling)
    return;
  g_Settings.projectFileMaxThumbnailSize->remembered = spin->GetValueRounded();
  MarkPending();
}

void BuildProjectFilesPage() {
  const int width = 240;
  g_parts.relaxedChecks = MakeIndicator<CWULCheckBox>("Relaxed integrity checks", kLabelLeft, kRowTop, width, false);
  g_parts.relaxedChecks->checkedChangedCallback = RelaxedChanged;
  g_parts.embedThumbnails =
      MakeIndicator<CWULCheckBox>("Embed thumbnails", kLabelLeft, kRowTop + 22, width, false);
  g_parts.embedThumbnails->checkedChangedCallback = EmbedChanged;
  g_parts.thumbnailSize = MakeRow(2, "Thumbnail dimensions, max:", 16, 1024, ThumbnailSizeChanged);
}

void FillProjectFilesPage() {
  const bool embed = g_Settings.projectFileEmbedThumbnails->remembered;
  g_parts.relaxedChecks->SetChecked(g_Settings.projectFileRelaxedChecks->remembered);
  g_parts.embedThumbnails->SetChecked(embed);
  g_parts.thumbnailSize->SetValue(static_cast<double>(g_Settings.projectFileMaxThumbnailSize->remembered));
  g_parts.thumbnailSize->SetEnabled(embed);
}

// --- The page table ---

struct COptionsPage {
  const char* name;
  void (*build)();  // makes the controls in the page's panel, the default parent
  void (*fill)();   // the remembered values into the controls
};

const COptionsPage kPages[OPTIONS_PAGE_COUNT] = {
    {"Viewports", BuildViewportsPage, FillViewportsPage},
    {"Undo", BuildUndoPage, FillUndoPage},
    {"Memory", BuildMemoryPage, FillMemoryPage},
    {"Supersampling", BuildSupersamplingPage, FillSupersamplingPage},
    {"Project Files", BuildProjectFilesPage, FillProjectFilesPage},
};

// The settings entries a page edits; returns their count.
int PageEntries(int index, CSetting* entries[3]) {
  CSettings& s = g_Settings;
  switch (index) {
    case OPTIONS_PAGE_VIEWPORTS:
      entries[0] = s.uiColorsChequerA;
      entries[1] = s.uiColorsChequerB;
      entries[2] = s.uiColorsGridA;
      return 3;
    case OPTIONS_PAGE_UNDO:
      entries[0] = s.limitsUndoMinDepth;
      entries[1] = s.limitsUndoMaxDepth;
      entries[2] = s.limitsUndoMemoryLimit;
      return 3;
    case OPTIONS_PAGE_MEMORY:
      entries[0] = s.limitsToolsTextMemoryLimit;
      return 1;
    case OPTIONS_PAGE_SUPERSAMPLING:
      entries[0] = s.limitsSupersamplingMaxPixelCount;
      return 1;
    case OPTIONS_PAGE_PROJECT_FILES:
      entries[0] = s.projectFileRelaxedChecks;
      entries[1] = s.projectFileEmbedThumbnails;
      entries[2] = s.projectFileMaxThumbnailSize;
      return 3;
    default:
      return 0;
  }
}

void FillPage(int index) {
  CFillScope filling;
  kPages[index].fill();
}

void ShowPage(int index) {
  if (g_currentPage >= 0 && g_parts.pages[g_currentPage])
    g_parts.pages[g_currentPage]->Hide();
  g_currentPage = index;
  g_lastPage = index;
  if (index >= 0 && g_parts.pages[index])
    g_parts.pages[index]->Show();
}

void PageSelected(CWULListBox*, CWULListItem* item, CWULListItem*) {
  const int index = item ? item->GetIndex() - 1 : -1;
  ShowPage(index >= 0 && index < OPTIONS_PAGE_COUNT ? index : -1);
}

// --- Buttons and keys ---

void Apply() {
  if (g_pending) {
    g_Settings.RevertAll();
    RefreshAll();
    g_pending = false;
  }
  UpdateApplyButton();
}

void PressOk(CWULPushButton*) {
  if (!g_dialog)
    return;
  Apply();
  g_dialog->EndModal(RESULT_OK);
}

void PressCancel(CWULPushButton*) {
  if (g_dialog)
    g_dialog->EndModal(RESULT_CANCEL);
}

void PressApply(CWULPushButton*) { Apply(); }

void PressReset(CWULPushButton*) {
  if (g_currentPage < 0)
    return;
  CSetting* entries[3] = {};
  const int count = PageEntries(g_currentPage, entries);
  for (int i = 0; i < count; ++i)
    entries[i]->RememberDefault();
  FillPage(g_currentPage);
  MarkPending();
}

int DialogKeyDown(CWULInteractor*, int* key, LPARAM) {
  if (!g_dialog)
    return 0;
  if (*key == VK_RETURN) {
    if (g_parts.apply->HasFocus())
      g_parts.apply->PerformClick();
    else if (g_parts.cancel->HasFocus())
      g_parts.cancel->PerformClick();
    else
      g_parts.ok->PerformClick();
    return 1;
  }
  if (*key == VK_ESCAPE) {
    g_dialog->EndModal(RESULT_CANCEL);
    return 1;
  }
  if (IsDialogHelpKey(*key)) {
    ShowHelpTopic(HELP_TOPIC_OPTIONS);
    return 1;
  }
  return 0;
}

void BuildDialog(COptionsWindow* dialog) {
  g_parts.window = dialog;
  dialog->SetClientSize(kClientWidth, kClientHeight);
  const int buttonsTop = kClientHeight - kMargin - kButtonHeight;
  const int bodyHeight = buttonsTop - 2 * kMargin;

  g_parts.pageList = new CWULListBox;
  g_parts.pageList->SetHBarMode(WUL_BAR_NEVER);
  g_parts.pageList->SetBounds(kMargin, kMargin, kListWidth, bodyHeight);

  const int containerLeft = kMargin + kListWidth + kMargin;
  g_parts.container = new CWULPanel;
  g_parts.container->SetBounds(containerLeft, kMargin, kClientWidth - kMargin - containerLeft, bodyHeight);
  BuildInside(g_parts.container, [&] {
    for (int i = 0; i < OPTIONS_PAGE_COUNT; ++i) {
      auto* page = new CWULPanel;
      g_parts.pages[i] = page;
      page->SetBounds(0, 0, g_parts.container->GetClientWidth(), g_parts.container->GetClientHeight());
      page->SetVisible(false);
      CFillScope filling;
      BuildInside(page, kPages[i].build);
    }
  });
  for (int i = 0; i < OPTIONS_PAGE_COUNT; ++i)
    FillPage(i);

  g_parts.reset = new CWULButton;
  g_parts.reset->SetText("Reset to defaults");
  g_parts.reset->SetBounds(kMargin, buttonsTop, kResetWidth, kButtonHeight);
  g_parts.reset->pressCallback = PressReset;
  const int applyLeft = kClientWidth - kMargin - kButtonWidth;
  const int cancelLeft = applyLeft - 4 - kButtonWidth;
  const int okLeft = cancelLeft - 4 - kButtonWidth;
  g_parts.ok = MakeDialogButton("OK", okLeft, buttonsTop, PressOk);
  g_parts.cancel = MakeDialogButton("Cancel", cancelLeft, buttonsTop, PressCancel);
  g_parts.apply = MakeDialogButton("Apply", applyLeft, buttonsTop, PressApply);
  UpdateApplyButton();

  // The page list last: selecting its item shows the page.
  for (int i = 0; i < OPTIONS_PAGE_COUNT; ++i) {
    auto* item = new CWULListItem(kPages[i].name);
    item->value = i;
    g_parts.pageList->InsertItem(item, nullptr);
  }
  g_parts.pageList->currentItemChangedHandler = PageSelected;
  const int first = g_lastPage >= 0 && g_lastPage < OPTIONS_PAGE_COUNT ? g_lastPage : 0;
  g_parts.pageList->SetCurrentItem(g_parts.pageList->FindByIndex(first + 1));
}

void Shown() {
  if (g_parts.pageList)
    g_parts.pageList->SetFocus();
}

}  // namespace

const COptionsDialogParts* GetOptionsDialogParts() { return g_parts.window ? &g_parts : nullptr; }

bool OptionsChangesPending() { return g_dialog && g_pending; }

int GetOptionsLastPage() { return g_lastPage; }

void OptionsDialog() {
  if (g_dialog) {
    g_dialog->BringToForeground();
    return;
  }
  if (!g_Settings.limitsUndoMinDepth)
    return;
  g_Settings.RememberAll();
  g_pending = false;
  COptionsWindow* dialog = MakeSingleDialog(g_dialog, "Options", DialogKeyDown, ForgetDialog, BuildDialog);
  if (!dialog)
    return;
  RunPluginDialog(dialog, PluginDialogOwner(), RESULT_CANCEL, Shown);
  if (g_dialog == dialog)
    ForgetDialog();
}
