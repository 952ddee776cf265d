#include "ui/NewImageDialogs.h"
#include <windows.h>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <new>
#include "document/Image.h"
#include "document/Layer.h"
#include "document/PixelArray.h"
#include "document/Project.h"
#include "shell/Clipboard.h"
#include "shell/Errors.h"
#include "shell/Help.h"
#include "shell/ProjectCommands.h"
#include "shell/Settings.h"
#include "shell/TextRoutines.h"
#include "tools/CurrentImage.h"
#include "tools/ImageCommands.h"
#include "tools/WorkingCopies.h"
#include "ui/DialogParts.h"
#include "ui/ImagePanel.h"
#include "ui/MainView.h"
#include "ui/MainWindow.h"
#include "ui/PluginDialogs.h"
#include "ui/PreviewPanel.h"
#include "ui/ProjectPanel.h"
#include "ui/ThumbnailList.h"
#include "wul/WULAppWindow.h"
#include "wul/WULButton.h"
#include "wul/WULEdit.h"
#include "wul/WULError.h"
#include "wul/WULPanel.h"

namespace {

// Modal results; STAY_OPEN is the OK handling's answer when the dialog goes on.
enum { RESULT_CANCEL = 0, RESULT_OK = 1, STAY_OPEN = -1 };
// Where the size comes from.
enum { SOURCE_NONE = 0, SOURCE_CUSTOM = 1, SOURCE_PRESET = 2, SOURCE_CLIPBOARD = 3 };

const int kButtonWidth = 80;
const int kButtonHeight = 24;
const int kClientHeight = 316;
const int kImageClientWidth = 374;
const int kProjectClientWidth = 248;
const int kThumbnailSize = 64;
const int32_t kMaxSide = 10000;
const int32_t kPresetSizes[NEW_IMAGE_PRESET_COUNT] = {16, 24, 32, 48, 64, 96, 128, 256};
const char* const kPresetTexts[NEW_IMAGE_PRESET_COUNT] = {"16x16", "24x24", "32x32", "48x48",
                                                          "64x64", "96x96", "128x128", "256x256"};

// What the controls say.
struct CNewImageValues {
  int32_t source;
  int32_t width;
  int32_t height;
  int32_t format;  // 0 when no format is checked
  uint8_t supersampled;
  uint8_t notForExport;
};

class CNewImageWindow;

struct CDialogState {
  CNewImageParts parts;
  CNewImageWindow* window;
  // The Supersampled box's checked state from when the size limit disabled it.
  uint8_t rememberedSupersampled;
};

CDialogState g_image = {};
CDialogState g_project = {};

void Forget(CDialogState& s) {
  std::memset(&s.parts, 0, sizeof s.parts);
  s.window = nullptr;
  s.rememberedSupersampled = 0;
}
void ForgetImage() { Forget(g_image); }
void ForgetProject() { Forget(g_project); }

class CNewImageWindow : public CWULAppWindow {
public:
  ~CNewImageWindow() override {
    if (state && state->window == this)
      Forget(*state);
  }
  CDialogState* state = nullptr;
};

// The open dialog that holds control.
CDialogState* StateOf(CWULInteractor* control) {
  while (control && control->parent)
    control = control->parent;
  if (!control)
    return nullptr;
  if (control == g_image.window)
    return &g_image;
  if (control == g_project.window)
    return &g_project;
  return nullptr;
}

bool IsProjectDialog(const CDialogState& s) { return &s == &g_project; }

uint32_t SettingValue(CUIntSetting* setting, uint32_t fallback) {
  return setting ? setting->GetValue() : fallback;
}

CNewImageValues ReadValues(CDialogState& s) {
  const CNewImageParts& p = s.parts;
  CNewImageValues v = {SOURCE_NONE, 1, 1, 0, 0, 0};
  if (p.custom->IsChecked()) {
    p.width->ReadText();
    p.height->ReadText();
    v.source = SOURCE_CUSTOM;
    v.width = p.width->GetValueRounded();
    v.height = p.height->GetValueRounded();
  } else if (!p.matchClipboard->IsChecked()) {
    for (int i = 0; i < NEW_IMAGE_PRESET_COUNT; ++i) {
      if (p.presets[i]->IsChecked()) {
        v.source = SOURCE_PRESET;
        v.width = v.height = kPresetSizes[i];
        break;
      }
    }
  } else {
    CClipboardImageInfo info;
    if (g_Clipboard.HasImage() && g_Clipboard.GetImageInfo(info) && info.width > 0 && info.height > 0) {
      v.source = SOURCE_CLIPBOARD;
      v.width = info.width;
      v.height = info.height;
    }
  }
  for (int i = 0; i < NEW_IMAGE_FORMAT_COUNT; ++i) {
    if (p.formats[i]->IsChecked()) {
      v.format = kTargetFormatChoices[i].code;
      break;
    }
  }
  v.supersampled = p.supersampled->IsChecked() ? 1 : 0;
  v.notForExport = p.notForExport->IsChecked() ? 1 : 0;
  return v;
}

// A clipboard picture fits the 8x level of a supersampled image.
int32_t EighthOf(int32_t side) { return ((side - 1) >> 3) + 1; }

// Supersampling is offered only up to Limits.Supersampling.MaxPixelCount pixels.
void ApplySizeLimit(CDialogState& s) {
  CWULCheckBox* box = s.parts.supersampled;
  const CNewImageValues v = ReadValues(s);
  int64_t w = v.width;
  int64_t h = v.height;
  if (v.source == SOURCE_CLIPBOARD) {
    w = EighthOf(v.width);
    h = EighthOf(v.height);
  }
  const uint32_t limit = SettingValue(g_Settings.limitsSupersamplingMaxPixelCount, 0);
  if (w * h > static_cast<int64_t>(limit)) {
    if (box->IsEnabled()) {
      s.rememberedSupersampled = box->IsChecked() ? 1 : 0;
      box->SetChecked(false);
      box->SetEnabled(false);
    }
  } else if (!box->IsEnabled()) {
    box->SetEnabled(true);
    box->SetChecked(s.rememberedSupersampled != 0);
  }
}

void UpdateCustomControls(CDialogState& s) {
  CNewImageParts& p = s.parts;
  const bool custom = p.custom->IsChecked();
  p.widthLabel->SetEnabled(custom);
  p.width->SetEnabled(custom);
  p.heightLabel->SetEnabled(custom);
  p.height->SetEnabled(custom);
}

void UpdateContentsControls(CDialogState& s) {
  CNewImageParts& p = s.parts;
  if (!p.borrow)
    return;
  const bool borrowing = p.borrow->IsChecked();
  p.fromLabel->SetEnabled(borrowing);
  p.images->SetEnabled(borrowing);
  p.ok->SetEnabled(!borrowing || p.images->GetSelected());
}

// --- making the image ---

// Holds an image's update lock, so that the image is composed once at the end.
class CUpdateScope {
public:
  explicit CUpdateScope(CImage* image) : image(image) { image->BeginUpdate(); }
  ~CUpdateScope() { image->EndUpdate(); }
  CUpdateScope(const CUpdateScope&) = delete;
  CUpdateScope& operator=(const CUpdateScope&) = delete;

private:
  CImage* image;
};

void StoreSettings(const CNewImageValues& v) {
  if (g_Settings.imageWidth)
    g_Settings.imageWidth->SetValue(static_cast<uint32_t>(v.width));
  if (g_Settings.imageHeight)
    g_Settings.imageHeight->SetValue(static_cast<uint32_t>(v.height));
  if (g_Settings.imageTargetFormat)
    g_Settings.imageTargetFormat->SetValue(static_cast<uint32_t>(v.format));
}

// A new image of the dialog's size and options, added to the project and to the project
// panel and made current; null after the error box of its creation.
CImage* AddNewImage(CProject* project, const CNewImageValues& v) {
  CImage* image = CreateImage();
  if (!image)
    return nullptr;
  try {
    CUpdateScope lock(image);
    image->SetSize(v.width, v.height);
    image->SetTargetFormat(v.format);
    image->SetFlagA(false);
    image->SetForExport(!v.notForExport);
  } catch (...) {
    delete image;
    throw;
  }
  project->AddImage(image);
  ProjectPanel::AddImageItem(image);
  ProjectPanel::SelectImage(image);
  // Without the project panel nobody else makes it current.
  if (project->GetCurrentImage() != image)
    project->SetCurrentImage(image);
  return image;
}

// One empty raster layer, made active.
bool AddEmptyLayer(CImage* image, bool supersampled) {
  CUpdateScope lock(image);
  CRasterLayer* layer = CreateRasterLayer();
  if (!layer)
    return false;
  image->AddLayer(layer);
  if (supersampled)
    layer->SetSupersampling(true);
  image->SetActiveLayer(layer);
  return true;
}

// Copies of the source's raster layers, bottom first, scaled to the image by box filtering.
// A layer is supersampled when supersampled is set or its source is; its 8x level then
// comes from the source's 8x level, or from its 1x pixels.
bool BorrowLayers(CImage* image, CImage* source, bool supersampled) {
  CUpdateScope lock(image);
  CLayer* active = nullptr;
  for (CLayer* from = source->GetFirstLayer(); from; from = from->GetNext()) {
    if (from->GetKind() != CLayer::KIND_RASTER)
      continue;
    auto* original = static_cast<CRasterLayer*>(from);
    CRasterLayer* layer = CreateRasterLayer();
    if (!layer)
      return false;
    layer->SetLinkId(original->GetLinkId());
    layer->SetName(original->GetName());
    layer->SetVisible(original->IsVisible());
    layer->SetOpacity(original->GetOpacity());
    layer->SetBlendMode(original->GetBlendMode());
    image->AddLayer(layer);
    if (supersampled || original->IsSupersampled())
      layer->SetSupersampling(true);
    const CPixelArray* pixels = original->GetPixels();
    if (layer->IsSupersampled() && original->IsSupersampled() && original->GetSupersampleTop())
      pixels = original->GetSupersampleTop();
    CPixelArray* target = layer->GetPixelArray();
    if (pixels->data && pixels->width > 0 && pixels->height > 0 && target && target->data) {
      CResampleOptions options;
      options.smooth = 0;
      pixels->Resample(*target, &options);
    }
    layer->Update(nullptr);
    if (from == source->GetActiveLayer())
      active = layer;
  }
  image->SetActiveLayer(active ? active : image->GetLastLayer());
  return true;
}

void RefreshViews() {
  if (MainView::GetView())
    MainView::RefitToImage();
  PreviewPanel::Refresh();
}

// Shows what a failure while making the image carries; the creating functions show
// their own boxes and return null instead.
void ReportFailure() {
  try {
    throw;
  } catch (const CWULError& error) {
    wulShowError(error);
  } catch (const CVCException& error) {
    ErrorBox(error.message.text);
  } catch (...) {
  }
}

// The values, or STAY_OPEN when there is no size to make an image of (the clipboard
// emptied while the dialog was open).
bool ReadSizedValues(CDialogState& s, CNewImageValues& v) {
  v = ReadValues(s);
  if (v.source == SOURCE_NONE) {
    MessageBeep(MB_OK);
    return false;
  }
  if (v.source == SOURCE_CLIPBOARD && v.supersampled) {
    v.width = EighthOf(v.width);
    v.height = EighthOf(v.height);
  }
  return true;
}

int AcceptNewImage(CDialogState& s) {
  CProject* project = GetCurrentProject();
  if (!project)
    return RESULT_CANCEL;
  CNewImageValues v;
  if (!ReadSizedValues(s, v))
    return STAY_OPEN;
  StoreSettings(v);
  CImage* chosen = nullptr;
  if (s.parts.borrow->IsChecked() && s.parts.images->GetSelected())
    chosen = static_cast<CImage*>(s.parts.images->GetSelected()->object);
  if (chosen && chosen->GetOwner() != project)
    chosen = nullptr;
  bool done = false;
  try {
    if (CImage* image = AddNewImage(project, v)) {
      done = chosen ? BorrowLayers(image, chosen, v.supersampled != 0) : AddEmptyLayer(image, v.supersampled != 0);
      ImagePanel::Refill();
    }
    if (done) {
      ResyncWorkingCopies();
      RefreshViews();
      ProjectPanel::RefreshAll();
    }
  } catch (...) {
    done = false;
    ReportFailure();
  }
  if (!done)
    ResyncWorkingCopiesQuietly();
  UpdateCommandStates();
  return done ? RESULT_OK : RESULT_CANCEL;
}

int AcceptNewProject(CDialogState& s) {
  CNewImageValues v;
  if (!ReadSizedValues(s, v))
    return STAY_OPEN;
  if (GetCurrentProject()) {
    CloseProject(SAVE_MODIFIED_DISCARD);
    if (GetCurrentProject())
      return STAY_OPEN;
  }
  StoreSettings(v);
  CProject* project = CreateProject();
  if (!project)
    return RESULT_CANCEL;
  SetCurrentProject(project);
  bool done = false;
  try {
    if (CImage* image = AddNewImage(project, v)) {
      done = AddEmptyLayer(image, v.supersampled != 0);
      ImagePanel::Refill();
    }
    if (done) {
      ResyncWorkingCopies();
      project->ClearModified();
      RefreshViews();
    }
  } catch (...) {
    done = false;
    ReportFailure();
  }
  if (!done)
    ResyncWorkingCopiesQuietly();
  UpdateCommandStates();
  return done ? RESULT_OK : RESULT_CANCEL;
}

// --- the controls' callbacks ---

void SizeChosen(CWULPushButton* button) {
  // The button that was unchecked in favour of another one waits for that one.
  if (!button->IsChecked())
    return;
  if (CDialogState* s = StateOf(button)) {
    UpdateCustomControls(*s);
    ApplySizeLimit(*s);
  }
}

void SpinTyped(CWULProtoEdit* edit) {
  if (CDialogState* s = StateOf(edit))
    ApplySizeLimit(*s);
}

void SpinChanged(CWULSpinEdit* spin) {
  if (CDialogState* s = StateOf(spin))
    ApplySizeLimit(*s);
}

void BorrowChanged(CWULPushButton* box) {
  if (CDialogState* s = StateOf(box))
    UpdateContentsControls(*s);
}

void ImageChosen(CThumbnailList* list, CThumbnailItem*, CThumbnailItem*) {
  if (CDialogState* s = StateOf(list))
    UpdateContentsControls(*s);
}

void OkPressed(CWULPushButton* button) {
  CDialogState* s = StateOf(button);
  if (!s || !s->window)
    return;
  CNewImageWindow* window = s->window;
  const int result = IsProjectDialog(*s) ? AcceptNewProject(*s) : AcceptNewImage(*s);
  if (result != STAY_OPEN)
    window->EndModal(result);
}

void CancelPressed(CWULPushButton* button) {
  if (CDialogState* s = StateOf(button))
    s->window->EndModal(RESULT_CANCEL);
}

int DialogKeyDown(CWULInteractor* self, int* key, LPARAM) {
  CDialogState* s = StateOf(self);
  if (!s || !s->window)
    return 0;
  CNewImageParts& p = s->parts;
  if (*key == VK_RETURN) {
    if (p.cancel->HasFocus())
      p.cancel->PerformClick();
    else if (p.ok->IsEnabled())
      p.ok->PerformClick();
    return 1;
  }
  if (*key == VK_ESCAPE) {
    s->window->EndModal(RESULT_CANCEL);
    return 1;
  }
  if (IsDialogHelpKey(*key)) {
    ShowHelpTopic(IsProjectDialog(*s) ? HELP_TOPIC_NEW_PROJECT : HELP_TOPIC_NEW_IMAGE);
    return 1;
  }
  return 0;
}

// --- building ---

// An item per image of the project: its picture fitted into 64 x 64, its size and colour depth.
void FillImageList(CThumbnailList* list, CProject* project) {
  for (CImage* image = project->GetFirstImage(); image; image = image->GetNext()) {
    auto* item = new CSizeListItem;
    item->object = image;
    list->Add(item);
    char depth[32] = "";
    ColorDepthName(depth, static_cast<unsigned>(image->GetTargetFormat()), sizeof depth - 1);
    char text[96];
    std::snprintf(text, sizeof text, "%dx%d %s", static_cast<int>(image->GetWidth()),
                  static_cast<int>(image->GetHeight()), depth);
    item->SetText(text);
    try {
      item->SetPicture(FitPicture(image->GetComposite(), kThumbnailSize));
    } catch (const CWULError&) {
      // The item goes without its picture.
    }
  }
}

void BuildDialog(CDialogState& s, CNewImageWindow* dialog, CProject* project) {
  CNewImageParts& p = s.parts;
  dialog->state = &s;
  p.window = dialog;
  const bool contents = !IsProjectDialog(s);
  const int clientWidth = contents ? kImageClientWidth : kProjectClientWidth;
  dialog->SetClientSize(clientWidth, kClientHeight);

  const uint32_t width = SettingValue(g_Settings.imageWidth, 32);
  const uint32_t height = SettingValue(g_Settings.imageHeight, 32);
  const uint32_t format = SettingValue(g_Settings.imageTargetFormat, 0x200000);
  MakeGroup("Image size", 4, 3, 240, 121, [&] {
    p.custom = MakeIndicator<CWULRadioButton>("Custom:", 4, 1, 70, true);
    p.widthLabel = MakeLabel("Width", 78, 0, 42);
    p.width = MakeSpin(122, 0, 80, 1, kMaxSide, static_cast<double>(width));
    p.heightLabel = MakeLabel("Height", 78, 22, 42);
    p.height = MakeSpin(122, 22, 80, 1, kMaxSide, static_cast<double>(height));
    // Three presets a row, then "Match clipboard" on a row of its own.
    for (int i = 0; i < NEW_IMAGE_PRESET_COUNT; ++i) {
      p.presets[i] = MakeIndicator<CWULRadioButton>(kPresetTexts[i], 4 + 78 * (i % 3), 44 + 15 * (i / 3), 76, false);
      p.presets[i]->SetSize(76, 16);
      p.presets[i]->JoinGroup(p.custom);
    }
    p.matchClipboard = MakeIndicator<CWULRadioButton>("Match clipboard", 4, 89, 150, false);
    p.matchClipboard->SetSize(150, 16);
    p.matchClipboard->JoinGroup(p.custom);
  });
  MakeGroup("Target color format", 4, 127, 240, 100, [&] {
    for (int i = 0; i < NEW_IMAGE_FORMAT_COUNT; ++i) {
      p.formats[i] = MakeIndicator<CWULRadioButton>(kTargetFormatChoices[i].text, 5, 1 + 16 * i, 228,
                                                    static_cast<uint32_t>(kTargetFormatChoices[i].code) == format);
      if (i > 0)
        p.formats[i]->JoinGroup(p.formats[0]);
    }
  });
  // A remembered format that is none of these would make an image without a format.
  bool anyFormat = false;
  for (CWULRadioButton* radio : p.formats)
    anyFormat = anyFormat || radio->IsChecked();
  if (!anyFormat)
    p.formats[0]->SetChecked(true);
  MakeGroup("Options", 4, 230, 240, 52, [&] {
    p.supersampled = MakeIndicator<CWULCheckBox>("Supersampled", 5, 1, 228, false);
    p.notForExport = MakeIndicator<CWULCheckBox>("Not for export", 5, 17, 228, false);
  });
  if (contents) {
    MakeGroup("Contents", 248, 3, clientWidth - 248 - 4, 279, [&] {
      p.borrow = MakeIndicator<CWULCheckBox>("Borrow", 5, 1, 108, false);
      p.fromLabel = MakeLabel("From:", 5, 20, 108);
      p.images = new CThumbnailList;
      p.images->SetBounds(5, 39, 108, 219);
      p.images->SetMargin(2);
      p.images->SetSpacing(2);
      p.images->SetLineStep(8, 8);
      FillImageList(p.images, project);
    });
  }
  const int buttonsTop = kClientHeight - 4 - kButtonHeight;
  p.ok = MakeDialogButton("OK", clientWidth - 8 - 2 * kButtonWidth, buttonsTop, OkPressed);
  p.cancel = MakeDialogButton("Cancel", clientWidth - 4 - kButtonWidth, buttonsTop, CancelPressed);

  p.matchClipboard->SetEnabled(g_Clipboard.HasImage());
  if (p.borrow)
    p.borrow->SetEnabled(project->GetImageCount() > 0);
  UpdateCustomControls(s);
  UpdateContentsControls(s);
  ApplySizeLimit(s);

  p.custom->checkedChangedCallback = SizeChosen;
  for (CWULRadioButton* radio : p.presets)
    radio->checkedChangedCallback = SizeChosen;
  p.matchClipboard->checkedChangedCallback = SizeChosen;
  for (CWULSpinEdit* spin : {p.width, p.height}) {
    spin->changeCallback = SpinTyped;
    spin->valueChangedHandler = SpinChanged;
  }
  if (p.borrow) {
    p.borrow->checkedChangedCallback = BorrowChanged;
    p.images->selectionChangedCallback = ImageChosen;
  }
}

void FocusCustom(CDialogState& s) {
  if (s.parts.custom)
    s.parts.custom->SetFocus();
}
void ImageShown() { FocusCustom(g_image); }
void ProjectShown() { FocusCustom(g_project); }

// Builds the dialog, runs it and lets it go; true when its OK handling succeeded.
bool RunNewDialog(CDialogState& s, CProject* project) {
  if (s.window) {
    s.window->BringToForeground();
    return false;
  }
  const bool forProject = IsProjectDialog(s);
  CNewImageWindow* dialog =
      MakeSingleDialog(s.window, forProject ? "New project :: new image" : "New image", DialogKeyDown,
                       forProject ? ForgetProject : ForgetImage,
                       [&s, project](CNewImageWindow* made) { BuildDialog(s, made, project); });
  if (!dialog)
    return false;
  const int result = RunPluginDialog(dialog, PluginDialogOwner(), RESULT_CANCEL, forProject ? ProjectShown : ImageShown);
  if (s.window == dialog)
    Forget(s);
  return result == RESULT_OK;
}

}  // namespace

const CNewImageParts* GetNewImageParts() { return g_image.window ? &g_image.parts : nullptr; }
const CNewImageParts* GetNewProjectParts() { return g_project.window ? &g_project.parts : nullptr; }

bool NewImageDialog() {
  CProject* project = GetCurrentProject();
  if (!project)
    return false;
  return RunNewDialog(g_image, project);
}

bool NewProjectDialog() { return RunNewDialog(g_project, nullptr); }

bool NewProjectCommand() {
  if (GetCurrentProject() && !ConfirmSaveModified(SAVE_MODIFIED_ASK))
    return false;
  return NewProjectDialog();
}
