// The "ICO options" / "CUR options" dialog and the chooser of one image out of an
// executable.
#include "plugins/rastrel/RastrelDialogs.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <vector>
#include "plugins/rastrel/RecordGuard.h"
#include "plugins/sdk/VCXDialog.h"
#include "plugins/sdk/VCXPlugin.h"
#include "plugins/sdk/VCXRecordAccess.h"
#include "wul/WULError.h"
#include "wul/WULImage.h"
#include "wul/WULInit.h"
#include "wul/WULListBox.h"
#include "wul/WULShared.h"

ImageChooserOptions g_ChooserOptions;

namespace {

bool g_iconDialogOpen = false;
bool g_chooserOpen = false;

CWULRadioButton* AddRadio(const char* text, int x, int y, int w, CWULRadioButton* previous) {
  auto* radio = new CWULRadioButton;
  radio->SetText(text);
  radio->SetBounds(x, y, w, 14);
  if (previous)
    radio->JoinGroup(previous);
  return radio;
}

CWULGroupFrame* AddGroup(const char* text, int x, int y, int w, int h) {
  auto* group = new CWULGroupFrame;
  group->SetText(text);
  group->SetBounds(x, y, w, h);
  return group;
}

template <class T>
T* DialogOf(CWULInteractor* control) {
  for (CWULInteractor* owner = control; owner; owner = owner->parent)
    if (auto* dialog = dynamic_cast<T*>(owner))
      return dialog;
  return nullptr;
}

bool IsLarge(const VCXLayeredImage* image) {
  const int32_t pixels = static_cast<int32_t>(static_cast<uint32_t>(image->width) *
                                              static_cast<uint32_t>(image->height));
  return pixels < 0 || pixels > ICON_PNG_THRESHOLD;
}

// --- ICO / CUR options ---

class CIconOptionsDialog : public CVCXDialog {
public:
  CIconOptionsDialog(IconDirectory& directory)
      : CVCXDialog(directory.type == ICON_TYPE_CURSOR ? "CUR options" : "ICO options", 240, 270),
        m_directory(directory),
        m_hasLarge(false) {
    for (CVCXListNode* node = directory.entries.first; node; node = node->next)
      if (IsLarge(static_cast<IconDirEntry*>(node)->image))
        m_hasLarge = true;
    const bool sortable = directory.entries.count >= 2;
    const IconWriterOptions& options = g_IconOptions;

    wulPushDefaultParent(this);
    m_sortGroup = AddGroup("Image sort", 4, 4, 120, 68);
    wulPushDefaultParent(m_sortGroup);
    const char* sortNames[3] = {"As is", "Size / Color", "Color / Size"};
    for (int i = 0; i < 3; ++i)
      m_sort[i] = AddRadio(sortNames[i], 6, 2 + 16 * i, 108, i ? m_sort[i - 1] : nullptr);
    wulPopDefaultParent();

    m_sizeGroup = AddGroup("Size order", 128, 4, 108, 44);
    wulPushDefaultParent(m_sizeGroup);
    m_size[0] = AddRadio("Ascending", 6, 0, 96, nullptr);
    m_size[1] = AddRadio("Descending", 6, 14, 96, m_size[0]);
    wulPopDefaultParent();

    m_depthGroup = AddGroup("Color depth order", 4, 76, 120, 44);
    wulPushDefaultParent(m_depthGroup);
    m_depth[0] = AddRadio("Ascending", 6, 0, 96, nullptr);
    m_depth[1] = AddRadio("Descending", 6, 14, 96, m_depth[0]);
    wulPopDefaultParent();

    m_pngGroup = AddGroup("PNG compression", 128, 52, 108, 44);
    m_pngGroup->SetIndent(2);
    wulPushDefaultParent(m_pngGroup);
    m_enable = new CWULCheckBox;
    m_enable->SetText("Enable");
    m_enable->SetBounds(6, 0, 108, 14);
    m_multipass = new CWULCheckBox;
    m_multipass->SetText("Multipass");
    m_multipass->SetBounds(6, 14, 108, 14);
    wulPopDefaultParent();

    m_list = new CWULListBox;
    m_list->SetBounds(4, 124, 232, 114);

    if (sortable) {
      const int mode = options.sortMode >= 0 && options.sortMode <= 2 ? options.sortMode : 0;
      m_sort[mode]->SetChecked(true);
      m_size[options.sizeOrder == 2 ? 1 : 0]->SetChecked(true);
      m_depth[options.depthOrder == 2 ? 1 : 0]->SetChecked(true);
    } else {
      m_sort[0]->SetChecked(true);
      m_size[0]->SetChecked(true);
      m_depth[0]->SetChecked(true);
      for (CWULRadioButton* radio : m_sort)
        radio->SetEnabled(false);
    }
    m_enable->SetChecked(options.pngCompression);
    m_multipass->SetChecked(options.pngMultipass);
    if (!m_hasLarge) {
      CWULPushButton* boxes[2] = {m_enable, m_multipass};
      SetGroupEnabled(m_pngGroup, boxes, 2, false);
    }
    for (CWULPushButton* button : {static_cast<CWULPushButton*>(m_sort[0]), static_cast<CWULPushButton*>(m_sort[1]),
                                   static_cast<CWULPushButton*>(m_sort[2]), static_cast<CWULPushButton*>(m_size[0]),
                                   static_cast<CWULPushButton*>(m_size[1]), static_cast<CWULPushButton*>(m_depth[0]),
                                   static_cast<CWULPushButton*>(m_depth[1]), static_cast<CWULPushButton*>(m_enable),
                                   static_cast<CWULPushButton*>(m_multipass)})
      button->checkedChangedCallback = Changed;
    AddButtons(true);
    wulPopDefaultParent();
    Refresh();
  }

  // The options that the controls show.
  IconWriterOptions Shown() {
    IconWriterOptions options = g_IconOptions;
    for (int i = 0; i < 3; ++i)
      if (m_sort[i]->IsChecked())
        options.sortMode = i;
    options.sizeOrder = m_size[1]->IsChecked() ? 2 : 1;
    options.depthOrder = m_depth[1]->IsChecked() ? 2 : 1;
    options.pngCompression = m_enable->IsChecked();
    options.pngMultipass = m_multipass->IsChecked();
    return options;
  }

  // Enabled states, the order of the directory and the list after every change.
  void Refresh() {
    const bool ordered = !m_sort[0]->IsChecked();
    CWULPushButton* sizes[2] = {m_size[0], m_size[1]};
    CWULPushButton* depths[2] = {m_depth[0], m_depth[1]};
    SetGroupEnabled(m_sizeGroup, sizes, 2, ordered);
    SetGroupEnabled(m_depthGroup, depths, 2, ordered);
    if (m_hasLarge)
      m_multipass->SetEnabled(m_enable->IsChecked());

    IconWriterOptions options = Shown();
    m_directory.entries.Sort(IconSortCompare, &options);
    m_list->Clear();
    for (CVCXListNode* node = m_directory.entries.first; node; node = node->next) {
      const VCXLayeredImage* image = static_cast<IconDirEntry*>(node)->image;
      const uint32_t bpp = vcxGetBitsPerPixel(image->format);
      const char* depth = bpp == 1 ? " 2" : bpp == 4 ? " 16" : bpp == 8 ? " 256" : bpp == 24 ? " RGB" : bpp == 32 ? " RGBA" : "";
      char text[64];
      std::snprintf(text, sizeof text, "%dx%d%s", image->width, image->height, depth);
      m_list->InsertItem(new CWULListItem(text), nullptr);
    }
  }

  void Accept() override {
    IconWriterOptions& options = g_IconOptions;
    for (int i = 0; i < 3; ++i)
      if (m_sort[i]->IsEnabled() && m_sort[i]->IsChecked())
        options.sortMode = i;
    if (m_size[0]->IsEnabled())
      options.sizeOrder = m_size[1]->IsChecked() ? 2 : 1;
    if (m_depth[0]->IsEnabled())
      options.depthOrder = m_depth[1]->IsChecked() ? 2 : 1;
    if (m_enable->IsEnabled())
      options.pngCompression = m_enable->IsChecked();
    if (m_multipass->IsEnabled())
      options.pngMultipass = m_multipass->IsChecked();
  }

private:
  static void Changed(CWULPushButton* button) {
    if (auto* dialog = DialogOf<CIconOptionsDialog>(button))
      dialog->Refresh();
  }

  IconDirectory& m_directory;
  bool m_hasLarge;
  CWULGroupFrame* m_sortGroup;
  CWULGroupFrame* m_sizeGroup;
  CWULGroupFrame* m_depthGroup;
  CWULGroupFrame* m_pngGroup;
  CWULRadioButton* m_sort[3];
  CWULRadioButton* m_size[2];
  CWULRadioButton* m_depth[2];
  CWULCheckBox* m_enable;
  CWULCheckBox* m_multipass;
  CWULListBox* m_list;
};

// --- image chooser ---

// Puts a new copy in the guard and frees the one it held.
void Replace(CLayeredImageGuard& guard, VCXLayeredImage* copy) {
  VCXLayeredImage* old = guard.release();
  guard.reset(copy);
  vcxFreeLayeredImage(old);
}

// A 32-bit layered image of the resource that fits the box; null when it cannot be made (or,
// with a budget, when its pixels do not fit what is left of it).
VCXLayeredImage* PresentableImage(ResourceItem* item, int boxWidth, int boxHeight, uint64_t* pixelBudget) {
  try {
    SIZE box = {boxWidth, boxHeight};
    CLayeredImageGuard image(ExeReadPreview(item, &box, pixelBudget));
    if (!image.get())
      return nullptr;
    if (vcxHasMask(image.get()) || vcxNeedsFlattening(image.get())) {
      auto flatten = reinterpret_cast<VCXFlattenService>(
          reinterpret_cast<void*>(vcxGetService(VCX_SC_FLATTEN)));
      if (!flatten)
        return nullptr;
      // The host frees the source.
      image.reset(flatten(image.release(), 1));
      if (!image.get())
        return nullptr;
    }
    if (image.get()->format != VCX_FORMAT_32)
      Replace(image, vcxConvertLayeredImage(image.get(), VCX_FORMAT_32));
    const int32_t width = image.get()->width;
    const int32_t height = image.get()->height;
    // An image or a box without pixels has no picture to fit.
    if (width <= 0 || height <= 0 || boxWidth <= 0 || boxHeight <= 0)
      return nullptr;
    if (width > boxWidth || height > boxHeight) {
      const double factor = std::min(static_cast<double>(boxWidth) / width,
                                     static_cast<double>(boxHeight) / height);
      const int32_t w = std::max<int32_t>(1, static_cast<int32_t>(std::lround(width * factor)));
      const int32_t h = std::max<int32_t>(1, static_cast<int32_t>(std::lround(height * factor)));
      const VCXResampleOptions options = {sizeof(VCXResampleOptions), 1, 1000000, 64};
      Replace(image, vcxResampleLayeredImage(image.get(), w, h, VCX_RESAMPLE_DEFAULT, &options));
    }
    return image.release();
  } catch (...) {
    return nullptr;
  }
}

// The first colour layer of a 32-bit layered image as a framework image; null when none.
CWULImage* ToFrameworkImage(const VCXLayeredImage* image) {
  const VCXImage* color = vcxGetFirstLayer(image, VCX_KIND_COLOR);
  if (!color || color->format != VCX_FORMAT_32 || color->width <= 0 || color->height <= 0)
    return nullptr;
  const uint8_t* pixels = vcxGetPixels(color);
  if (!pixels)
    return nullptr;
  CWULImage* result = new CWULImage(color->width, color->height);
  result->SetPixels(reinterpret_cast<const uint32_t*>(pixels));
  return result;
}

CWULImage* PresentableFrameworkImage(ResourceItem* item, int boxWidth, int boxHeight,
                                     uint64_t* pixelBudget = nullptr) {
  VCXLayeredImage* image = PresentableImage(item, boxWidth, boxHeight, pixelBudget);
  if (!image)
    return nullptr;
  CLayeredImageGuard guard(image);
  try {
    return ToFrameworkImage(image);
  } catch (...) {
    return nullptr;
  }
}

class CImageChooserDialog;

// The chooser whose modal loop runs; its rows reach the module only while it does.
CImageChooserDialog* g_chooser = nullptr;

// One resource of the chooser's list, with its thumbnail once the row has been drawn.
class CChooserRow : public CWULListItem {
public:
  explicit CChooserRow(ResourceItem* item) : CWULListItem(item->name), resource(item), thumbnailTried(false) {}

  ResourceItem* resource;
  bool thumbnailTried;
};

// Pixels that the thumbnails of one list may read together; a row whose picture no longer
// fits shows none. Thumbnails are small pictures: the most an ordinary list reads is far less.
const uint64_t kThumbnailPixels = uint64_t(1) << 25;

// Makes a row's thumbnail when the row is first drawn, so that only the rows shown cost
// their work, however long the list, and all of them no more than the budget.
class CChooserList : public CWULListBox {
public:
  explicit CChooserList(CImageChooserDialog* dialog) : m_dialog(dialog), m_budget(0) {}

  void Fill(CVCXList& resources) {
    Clear();
    m_budget = kThumbnailPixels;
    for (CVCXListNode* node = resources.first; node; node = node->next)
      InsertItem(new CChooserRow(static_cast<ResourceItem*>(node)), nullptr);
  }

  void PaintRow(CWULListItem* item, bool focusMark) override {
    auto* row = static_cast<CChooserRow*>(item);
    if (row && !row->thumbnailTried && g_chooser == m_dialog) {
      row->thumbnailTried = true;
      // Set without the item's change notice, which would paint the row again from here.
      if (CWULImage* thumbnail = PresentableFrameworkImage(row->resource, 16, 16, &m_budget))
        wulReplaceImage(row->image, thumbnail);
    }
    CWULListBox::PaintRow(item, focusMark);
  }

private:
  CImageChooserDialog* m_dialog;
  uint64_t m_budget;
};

class CImageChooserDialog : public CVCXDialog {
public:
  CImageChooserDialog(ResourceModule& module, ResourceItem** result)
      : CVCXDialog("The file contains more than one image", 400, 301),
        m_module(module),
        m_result(result),
        m_kind(0),
        m_previewRow(nullptr),
        m_previewImage(nullptr) {
    g_chooser = this;
    wulPushDefaultParent(this);
    m_preview = new CWULPicture;
    m_preview->SetBounds(4, 4, 258, 258);

    m_kindGroup = AddGroup("Image types", 268, 4, 128, 60);
    wulPushDefaultParent(m_kindGroup);
    const char* names[3] = {"&Icons", "&Cursors", "&Bitmaps"};
    for (int i = 0; i < 3; ++i) {
      m_kinds[i] = AddRadio(names[i], 6, 14 * i, 116, i ? m_kinds[i - 1] : nullptr);
      m_kinds[i]->SetMnemonic(true);
      m_kinds[i]->SetEnabled(KindList(i + 1).count > 0);
      m_kinds[i]->checkedChangedCallback = KindChanged;
    }
    wulPopDefaultParent();

    m_label = new CWULLabel;
    m_label->SetText("Select an image:");
    m_label->SetBounds(268, 68, 128, 14);
    m_list = new CChooserList(this);
    m_list->SetBounds(268, 84, 128, 178);
    m_list->SetItemHeight(18);
    m_list->SetReserveImageColumn(true);
    m_list->currentItemChangedHandler = SelectionChanged;

    m_chequered = new CWULCheckBox;
    m_chequered->SetText("Chequered background");
    m_chequered->SetBounds(4, 268, 160, 14);
    m_chequered->SetChecked(g_ChooserOptions.chequered);
    m_chequered->checkedChangedCallback = ChequerChanged;
    AddButtons(true);
    charHandler = MnemonicKey;
    wulPopDefaultParent();

    int kind = g_ChooserOptions.kind;
    if (kind < 1 || kind > 3 || !m_kinds[kind - 1]->IsEnabled())
      for (kind = 1; kind <= 3 && !m_kinds[kind - 1]->IsEnabled(); ++kind) {
      }
    if (kind <= 3)
      m_kinds[kind - 1]->SetChecked(true);
    if (m_kind == 0 && kind <= 3)
      SelectKind(kind);
    else
      RedrawPreview();
  }

  ~CImageChooserDialog() override {
    CWULImage::Release(m_previewImage);
    if (g_chooser == this)
      g_chooser = nullptr;
  }

  void Accept() override {
    g_ChooserOptions.kind = m_kind ? m_kind : g_ChooserOptions.kind;
    g_ChooserOptions.chequered = m_chequered->IsChecked();
    auto* current = static_cast<CChooserRow*>(m_list->GetCurrentItem());
    *m_result = current ? current->resource : nullptr;
  }

private:
  CVCXList& KindList(int kind) {
    return kind == 1 ? m_module.iconGroups : kind == 2 ? m_module.cursorGroups : m_module.bitmaps;
  }

  // Fills the list with the resources of a kind and selects the first.
  void SelectKind(int kind) {
    if (kind == m_kind)
      return;
    m_kind = kind;
    const HCURSOR previous = ::SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    ForgetPreview();
    m_list->Fill(KindList(kind));
    if (CWULListItem* first = m_list->GetFirstItem())
      m_list->SetCurrentItem(first);
    else
      RedrawPreview();
    ::SetCursor(previous);
  }

  void ForgetPreview() {
    CWULImage::Release(m_previewImage);
    m_previewImage = nullptr;
    m_previewRow = nullptr;
  }

  // The background, and the selected resource's picture, made once per selection.
  void RedrawPreview() {
    CWULImage* picture = m_preview->GetImage();
    if (!picture || g_chooser != this)
      return;
    if (m_chequered->IsChecked()) {
      const uint32_t a = vcxGetColor(VCX_COLOR_CHEQUER_A) | 0xFF000000u;
      const uint32_t b = vcxGetColor(VCX_COLOR_CHEQUER_B) | 0xFF000000u;
      for (int y = 0; y < picture->height; ++y)
        for (int x = 0; x < picture->width; ++x)
          picture->pixels[static_cast<size_t>(y) * picture->width + x] = ((x / 4 + y / 4) & 1) ? b : a;
    } else {
      picture->Fill(m_preview->GetColor());
    }
    auto* current = static_cast<CChooserRow*>(m_list->GetCurrentItem());
    if (current != m_previewRow) {
      ForgetPreview();
      m_previewRow = current;
      if (current)
        m_previewImage = PresentableFrameworkImage(current->resource, picture->width, picture->height);
    }
    if (m_previewImage)
      picture->Draw((picture->width - m_previewImage->width) / 2, (picture->height - m_previewImage->height) / 2,
                    m_previewImage);
    m_preview->Redraw();
  }

  static void KindChanged(CWULPushButton* button) {
    auto* dialog = DialogOf<CImageChooserDialog>(button);
    if (!dialog || !button->IsChecked())
      return;
    for (int i = 0; i < 3; ++i)
      if (dialog->m_kinds[i] == button)
        dialog->SelectKind(i + 1);
  }

  static void ChequerChanged(CWULPushButton* button) {
    if (auto* dialog = DialogOf<CImageChooserDialog>(button))
      dialog->RedrawPreview();
  }

  static void SelectionChanged(CWULListBox* list, CWULListItem*, CWULListItem*) {
    if (auto* dialog = DialogOf<CImageChooserDialog>(list))
      dialog->RedrawPreview();
  }

  // A typed character selects the enabled kind whose mnemonic it is.
  static int MnemonicKey(CWULInteractor* self, int* key, LPARAM) {
    auto* dialog = static_cast<CImageChooserDialog*>(self);
    for (CWULRadioButton* radio : dialog->m_kinds)
      if (radio->IsEnabled() && wulMatchMnemonic(radio->GetText(), *key)) {
        if (!radio->IsChecked())
          radio->PerformClick();
        return 1;
      }
    return 0;
  }

  ResourceModule& m_module;
  ResourceItem** m_result;
  int m_kind;
  // The row whose picture the preview holds, and that picture.
  CChooserRow* m_previewRow;
  CWULImage* m_previewImage;
  CWULPicture* m_preview;
  CWULGroupFrame* m_kindGroup;
  CWULRadioButton* m_kinds[3];
  CWULLabel* m_label;
  CChooserList* m_list;
  CWULCheckBox* m_chequered;
};

}  // namespace

bool IconOptionsDialog(HWND parent, IconDirectory& directory) {
  CVCXDialogOnce once(g_iconDialogOpen);
  return vcxRunDialog(new CIconOptionsDialog(directory), parent);
}

ResourceItem* ImageChooserDialog(HWND parent, ResourceModule* module) {
  if (!module)
    vcxThrow(VCX_ERROR_INTERNAL);
  CVCXDialogOnce once(g_chooserOpen);
  ResourceItem* chosen = nullptr;
  // Whatever is left of the dialog no longer reaches the module, which the caller frees.
  struct Ended {
    ~Ended() { g_chooser = nullptr; }
  } ended;
  if (!vcxRunDialog(new CImageChooserDialog(*module, &chosen), parent))
    return nullptr;
  return chosen;
}
