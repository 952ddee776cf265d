#include "ui/PropertiesDialogs.h"
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <new>
#include "document/Actions.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "shell/Help.h"
#include "shell/Settings.h"
#include "ui/DialogParts.h"
#include "ui/MainWindow.h"
#include "wul/WULEdit.h"
#include "wul/WULAppWindow.h"
#include "wul/WULButton.h"
#include "wul/WULError.h"
#include "wul/WULInit.h"
#include "wul/WULPanel.h"

namespace {

enum { RESULT_CANCEL = 0, RESULT_OK = 1 };
const int kButtonWidth = 80;
const int kButtonHeight = 24;

CImagePropertiesParts g_imageParts;
CLayerPropertiesParts g_layerParts;

// A dialog window that clears its parts when it goes.
class CPropertiesWindow : public CWULAppWindow {
public:
  CPropertiesWindow(CWULAppWindow** slot, void* parts, size_t partsSize)
      : slot(slot), parts(parts), partsSize(partsSize) {
    SetFrameKind(WUL_FRAME_FIXED);
    SetCloseBox(true);
    closeAction = WUL_CLOSE_DESTROY;
  }
  ~CPropertiesWindow() override {
    if (*slot == this)
      ClearParts();
  }
  void ClearParts() { std::memset(parts, 0, partsSize); }

  CWULAppWindow** slot;
  void* parts;
  size_t partsSize;
  CWULPushButton* okButton = nullptr;
  CWULPushButton* cancelButton = nullptr;
  const char* helpTopic = "";
  // Reads the controls into the action that OK hands back; it runs before the window closes.
  std::function<CAction*()> collect;
  CAction** result = nullptr;
};

int DialogKey(CWULInteractor* self, int* key, LPARAM) {
  auto* dialog = static_cast<CPropertiesWindow*>(self);
  if (*key == VK_RETURN) {
    if (dialog->cancelButton->HasFocus())
      dialog->cancelButton->PerformClick();
    else
      dialog->okButton->PerformClick();
    return 1;
  }
  if (*key == VK_ESCAPE) {
    dialog->EndModal(RESULT_CANCEL);
    return 1;
  }
  if (IsDialogHelpKey(*key)) {
    ShowHelpTopic(dialog->helpTopic);
    return 1;
  }
  return 0;
}

// The open dialog that owns button.
CPropertiesWindow* OwnerOf(CWULPushButton* button) {
  if (button == g_imageParts.ok || button == g_imageParts.cancel)
    return static_cast<CPropertiesWindow*>(g_imageParts.window);
  if (button == g_layerParts.ok || button == g_layerParts.cancel)
    return static_cast<CPropertiesWindow*>(g_layerParts.window);
  return nullptr;
}

void PressOk(CWULPushButton* button) {
  CPropertiesWindow* window = OwnerOf(button);
  if (!window)
    return;
  if (window->collect && window->result && !*window->result) {
    try {
      *window->result = window->collect();
    } catch (const std::bad_alloc&) {
      *window->result = nullptr;
    }
  }
  window->EndModal(*window->result ? RESULT_OK : RESULT_CANCEL);
}

void PressCancel(CWULPushButton* button) {
  if (CPropertiesWindow* window = OwnerOf(button))
    window->EndModal(RESULT_CANCEL);
}

// Builds the dialog with fill (inside the window) and shows it modally over the main
// window's client area; the result is what collect made on OK.
template <class Fill, class Collect>
CAction* RunDialog(CPropertiesWindow*& dialog, void* parts, size_t partsSize, Fill fill,
                   Collect collect) {
  HWND handle = nullptr;
  CAction* result = nullptr;
  try {
    WULInit(GetModuleHandleA(nullptr));
    BuildInside(nullptr, fill);
    dialog->keyDownHandler = DialogKey;
    dialog->collect = collect;
    dialog->result = &result;
    dialog->IncarnateTree(g_MainWindow ? g_MainWindow->GetHandle() : nullptr);
    handle = dialog->window;
    if (g_ClientContainer && g_ClientContainer->GetHandle())
      dialog->CenterOnInteractor(g_ClientContainer);
    dialog->Show();
    CWULInteractor* first = nullptr;
    fill.focus(&first);
    if (first)
      first->SetFocus();
    if (dialog->ShowModal(RESULT_CANCEL) != RESULT_OK) {
      delete result;
      result = nullptr;
    }
  } catch (...) {
    delete result;
    result = nullptr;
    std::memset(parts, 0, partsSize);
    if (dialog) {
      if (!handle)
        delete dialog;
      else if (IsWindow(handle))
        dialog->Close();
    }
    try {
      throw;
    } catch (const CWULError& error) {
      wulShowError(error);
    } catch (const std::bad_alloc&) {
    }
    return nullptr;
  }
  // The window may be gone already; only a live one is touched.
  std::memset(parts, 0, partsSize);
  if (handle && IsWindow(handle))
    dialog->result = nullptr;
  CloseEndedDialog(dialog, handle);
  return result;
}

// Brings an open dialog forward; true when there was one.
bool RaiseOpen(CWULAppWindow* window) {
  if (!window)
    return false;
  if (window->GetHandle())
    SetForegroundWindow(window->GetHandle());
  return true;
}

}  // namespace

const CImagePropertiesParts* GetImagePropertiesParts() {
  return g_imageParts.window ? &g_imageParts : nullptr;
}

const CLayerPropertiesParts* GetLayerPropertiesParts() {
  return g_layerParts.window ? &g_layerParts : nullptr;
}

CAction* ImagePropertiesDialog(CImage* image) {
  if (!image || RaiseOpen(g_imageParts.window))
    return nullptr;
  CPropertiesWindow* dialog = nullptr;
  CImagePropertiesParts& p = g_imageParts;
  struct Fill {
    CPropertiesWindow*& dialog;
    CImage* image;
    CImagePropertiesParts& p;
    void operator()() {
      dialog = new CPropertiesWindow(&p.window, &p, sizeof p);
      p.window = dialog;
      dialog->SetText("Image properties");
      dialog->SetClientSize(248, 236);
      dialog->helpTopic = HELP_TOPIC_IMAGE_PROPERTIES;
      BuildInside(dialog, [&] {
        MakeGroup("Image size", 4, 3, 240, 57, [&] {
          MakeLabel("Width", 5, 3, 59);
          p.width = MakeSpin(67, 3, 80, 1, 10000, image->GetWidth());
          MakeLabel("Height", 5, 27, 59);
          p.height = MakeSpin(67, 27, 80, 1, 10000, image->GetHeight());
        });
        MakeGroup("Target color format", 4, 63, 240, 100, [&] {
          for (int i = 0; i < 5; ++i) {
            p.formats[i] = MakeIndicator<CWULRadioButton>(kTargetFormatChoices[i].text, 5, 1 + 16 * i, 228,
                                                          kTargetFormatChoices[i].code == image->GetTargetFormat());
            if (i > 0)
              p.formats[i]->JoinGroup(p.formats[0]);
          }
        });
        MakeGroup("Options", 4, 166, 240, 36, [&] {
          p.notForExport = MakeIndicator<CWULCheckBox>("Not for export", 5, 1, 228, !image->IsForExport());
        });
        p.cancel =
            MakeDialogButton("Cancel", 248 - 4 - 2 * kButtonWidth - 4, 236 - 4 - kButtonHeight, PressCancel);
        p.ok = MakeDialogButton("OK", 248 - 4 - kButtonWidth, 236 - 4 - kButtonHeight, PressOk);
      });
      dialog->okButton = p.ok;
      dialog->cancelButton = p.cancel;
    }
    void focus(CWULInteractor** first) { *first = p.width; }
  } fill{dialog, image, p};
  return RunDialog(dialog, &p, sizeof p, fill, [&]() -> CAction* {
    p.width->ReadText();
    p.height->ReadText();
    auto* action = new CImagePropertiesAction;
    action->SetSize(p.width->GetValueRounded(), p.height->GetValueRounded());
    for (int i = 0; i < 5; ++i) {
      if (p.formats[i]->IsChecked()) {
        action->SetTargetFormat(kTargetFormatChoices[i].code);
        break;
      }
    }
    action->SetForExport(!p.notForExport->IsChecked());
    return action;
  });
}

CAction* LayerPropertiesDialog(CLayer* layer) {
  // Only raster layers have these properties.
  if (!layer || layer->GetKind() != CLayer::KIND_RASTER || RaiseOpen(g_layerParts.window))
    return nullptr;
  CPropertiesWindow* dialog = nullptr;
  CLayerPropertiesParts& p = g_layerParts;
  struct Fill {
    CPropertiesWindow*& dialog;
    CLayer* layer;
    CLayerPropertiesParts& p;
    void operator()() {
      dialog = new CPropertiesWindow(&p.window, &p, sizeof p);
      p.window = dialog;
      dialog->SetText("Layer properties");
      dialog->SetClientSize(300, 110);
      dialog->helpTopic = HELP_TOPIC_LAYER_PROPERTIES;
      BuildInside(dialog, [&] {
        MakeLabel("Name", 5, 3, 120);
        p.name = new CWULEdit;
        p.name->SetBounds(128, 3, 300 - 6 - 128, 20);
        p.name->SetText(layer->GetName());
        MakeLabel("Opacity", 5, 26, 120);
        p.opacity = MakeSpin(128, 26, 48, 0, 100, std::round(layer->GetOpacity() * 100.0));
        MakeLabel("%", 180, 26, 20);
        p.visible = MakeIndicator<CWULCheckBox>("Visible", 5, 50, 120, layer->IsVisible());
        const bool supersampled = static_cast<CRasterLayer*>(layer)->IsSupersampled();
        p.supersampled = MakeIndicator<CWULCheckBox>("Supersampled", 5, 70, 120, supersampled);
        if (!supersampled) {
          // Too many pixels (or more than 32 bits of them) cannot be supersampled.
          const int64_t pixels = static_cast<int64_t>(layer->GetWidth()) * layer->GetHeight();
          const uint32_t limit = g_Settings.limitsSupersamplingMaxPixelCount
                                     ? g_Settings.limitsSupersamplingMaxPixelCount->GetValue()
                                     : 0;
          if (pixels < 0 || pixels > 0xFFFFFFFFll || static_cast<uint32_t>(pixels) > limit)
            p.supersampled->SetEnabled(false);
        }
        p.ok = MakeDialogButton("OK", 300 - 4 - 2 * kButtonWidth - 4, 110 - 4 - kButtonHeight, PressOk);
        p.cancel = MakeDialogButton("Cancel", 300 - 4 - kButtonWidth, 110 - 4 - kButtonHeight, PressCancel);
      });
      dialog->okButton = p.ok;
      dialog->cancelButton = p.cancel;
    }
    void focus(CWULInteractor** first) { *first = p.name; }
  } fill{dialog, layer, p};
  return RunDialog(dialog, &p, sizeof p, fill, [&]() -> CAction* {
    p.opacity->ReadText();
    auto* action = new CLayerPropertiesAction;
    action->SetLayerRef(layer);
    action->SetNewName(p.name->GetText());
    action->SetNewVisible(p.visible->IsChecked());
    action->SetNewOpacity(static_cast<float>(p.opacity->GetValue() * 0.01));
    // A disabled box keeps the layer as it is, whatever reached it.
    action->SetNewSupersampled(p.supersampled->IsEnabled() ? p.supersampled->IsChecked()
                                                           : static_cast<CRasterLayer*>(layer)->IsSupersampled());
    return action;
  });
}
