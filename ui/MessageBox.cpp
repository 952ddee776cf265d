#include "ui/MessageBox.h"
#include "ui/AppCursors.h"
#include <algorithm>
#include <new>
#include "ui/MessageBoxIds.h"
#include "ui/DialogParts.h"
#include "wul/WULAppWindow.h"
#include "wul/WULButton.h"
#include "wul/WULError.h"
#include "wul/WULImage.h"
#include "wul/WULInit.h"
#include "wul/WULPanel.h"

namespace {

// Control id of the text label, the id the system's message box gives its text too, so
// that tools looking for a box's text find it in either.
const int kTextId = 0xFFFF;
const int kButtonWidth = 80;
const int kButtonHeight = 24;
const int kButtonPitch = 84;
const int kDefaultPictureSize = 32;

struct BoxType {
  int count;
  int values[3];
};

// Indexed by type - 1.
const BoxType kTypes[4] = {
    {1, {MSGBOX_VALUE_OK}},
    {2, {MSGBOX_VALUE_YES, MSGBOX_VALUE_NO}},
    {2, {MSGBOX_VALUE_OK, MSGBOX_VALUE_CANCEL}},
    {3, {MSGBOX_VALUE_YES, MSGBOX_VALUE_NO, MSGBOX_VALUE_CANCEL}},
};

const char* ButtonText(int value) {
  switch (value) {
    case MSGBOX_VALUE_YES: return "&Yes";
    case MSGBOX_VALUE_NO: return "&No";
    case MSGBOX_VALUE_OK: return "&OK";
    default: return "&Cancel";
  }
}

class CMessageBoxWindow;

// The open box and its buttons, left to right.
CMessageBoxWindow* g_box = nullptr;
CWULButton* g_buttons[3] = {};
int g_values[3] = {};
int g_buttonCount = 0;

void ForgetBox() {
  g_box = nullptr;
  g_buttonCount = 0;
  std::fill(g_buttons, g_buttons + 3, nullptr);
}

class CMessageBoxWindow : public CWULAppWindow {
public:
  ~CMessageBoxWindow() override {
    if (g_box == this)
      ForgetBox();
  }
};

void PressButton(CWULPushButton* button) {
  for (int i = 0; i < g_buttonCount; ++i) {
    if (g_buttons[i] == button && g_box) {
      g_box->EndModal(g_values[i]);
      return;
    }
  }
}

int BoxKeyDown(CWULInteractor* self, int* key, LPARAM) {
  if (*key == VK_RETURN) {
    for (int i = 0; i < g_buttonCount; ++i) {
      if (g_buttons[i]->HasFocus()) {
        g_buttons[i]->PerformClick();
        break;
      }
    }
    return 1;
  }
  if (*key == VK_ESCAPE) {
    static_cast<CWULAppWindow*>(self)->RequestClose();
    return 1;
  }
  return 0;
}

int BoxChar(CWULInteractor*, int* key, LPARAM) {
  for (int i = 0; i < g_buttonCount; ++i) {
    if (wulMatchMnemonic(g_buttons[i]->GetText(), *key)) {
      g_buttons[i]->PerformClick();
      return 1;
    }
  }
  return 0;
}

// The picture of the kind from the program's resources; null when it cannot be had.
CWULImage* LoadPicture(int kind) { return LoadProgramPicture(IDB_MESSAGE_ERROR + kind - 1); }

// Builds the box's controls and sizes it; the box is the default parent meanwhile.
void BuildBox(CMessageBoxWindow* box, const BoxType& type, CWULImage* image, const char* text,
              CWULPicture** picture, CWULLabel** label) {
  const int pictureWidth = image ? image->width : kDefaultPictureSize;
  const int pictureHeight = image ? image->height : kDefaultPictureSize;

  *picture = new CWULPicture;
  (*picture)->SetBounds(8, 10, pictureWidth, pictureHeight);

  *label = new CWULLabel;
  CWULLabel* textLabel = *label;
  textLabel->SetMnemonic(false);
  textLabel->SetHAlign(WUL_HALIGN_LEFT);
  textLabel->SetVAlign(WUL_VALIGN_CENTER);
  textLabel->SetMultiLine(true);
  textLabel->SetWordWrap(true);
  textLabel->SetText(text);
  textLabel->SetPosition(8 + pictureWidth + 8, 10);
  textLabel->SetMinimumSize(200 - (pictureWidth + 24), pictureHeight);
  textLabel->SetMaximumWidth(480 - (pictureWidth + 24));
  textLabel->SetAutoSize(true);

  int clientWidth = std::max(textLabel->GetRight() + 8, type.count * kButtonPitch + 4);
  if (type.count > 1 && (clientWidth & 1))
    clientWidth += 1;
  const int clientHeight = textLabel->GetBottom() + 36;
  box->SetClientSize(clientWidth, clientHeight);

  const int top = clientHeight - 4 - kButtonHeight;
  int left = type.count == 1 ? clientWidth - 4 - kButtonWidth : (clientWidth - type.count * kButtonPitch + 4) / 2;
  for (int i = 0; i < type.count; ++i) {
    auto* button = new CWULButton;
    button->SetMnemonic(true);
    button->SetText(ButtonText(type.values[i]));
    button->SetBounds(left, top, kButtonWidth, kButtonHeight);
    button->pressCallback = PressButton;
    g_buttons[i] = button;
    g_values[i] = type.values[i];
    g_buttonCount = i + 1;
    left += kButtonPitch;
  }
}

}  // namespace

int MessageBoxDialog(HWND owner, int type, int kind, const char* caption, const char* text, int defaultValue) {
  if (type < MSGBOX_TYPE_OK || type > MSGBOX_TYPE_YES_NO_CANCEL || kind < MSGBOX_KIND_ERROR ||
      kind > MSGBOX_KIND_INFORMATION || g_box)
    return 0;
  if (owner && !IsWindow(owner))
    owner = nullptr;
  const BoxType& buttons = kTypes[type - 1];

  CMessageBoxWindow* box = nullptr;
  CWULImage* image = nullptr;
  HWND handle = nullptr;
  int result = 0;
  bool pushed = false;
  try {
    WULInit(GetModuleHandleA(nullptr));
    image = LoadPicture(kind);
    // The box is a top-level window whatever parent the caller is building.
    wulPushDefaultParent(nullptr);
    pushed = true;
    box = new CMessageBoxWindow;
    g_box = box;
    box->SetFrameKind(WUL_FRAME_FIXED);
    box->SetCloseBox(true);
    box->SetText(caption ? caption : "");
    box->keyDownHandler = BoxKeyDown;
    box->charHandler = BoxChar;
    wulPushDefaultParent(box);
    CWULPicture* picture = nullptr;
    CWULLabel* label = nullptr;
    try {
      BuildBox(box, buttons, image, text ? text : "", &picture, &label);
    } catch (...) {
      wulPopDefaultParent();
      throw;
    }
    wulPopDefaultParent();
    wulPopDefaultParent();
    pushed = false;

    box->IncarnateTree(owner);
    handle = box->window;
    if (label->window)
      SetWindowLongPtrA(label->window, GWLP_ID, kTextId);
    if (CWULImage* canvas = picture->GetImage()) {
      canvas->Fill(picture->GetColor());
      if (image)
        canvas->Draw(0, 0, image);
    }
    CWULImage::Release(image);
    image = nullptr;
    if (owner)
      box->CenterOnWindow(owner);
    else
      box->CenterOnRect(nullptr);
    box->Show();
    for (int i = 0; i < g_buttonCount; ++i) {
      if (g_values[i] == defaultValue) {
        g_buttons[i]->SetFocus();
        break;
      }
    }
    // Closing without a button keeps the OK answer.
    result = box->ShowModal(MSGBOX_VALUE_OK);
  } catch (...) {
    if (pushed)
      wulPopDefaultParent();
    CWULImage::Release(image);
    if (box) {
      if (g_box == box)
        ForgetBox();
      if (!handle)
        delete box;
      else
        box->Close();
    }
    try {
      throw;
    } catch (const CWULError&) {
      return 0;
    } catch (const std::bad_alloc&) {
      return 0;
    }
  }
  if (g_box == box)
    ForgetBox();
  // The box ends through its deferred close; let it end now.
  CloseEndedDialog(box, handle);
  return result;
}

int ShowMessageBox(CWULInteractor* owner, int type, int kind, const char* caption, const char* text,
                   int defaultValue) {
  return MessageBoxDialog(owner ? owner->GetHandle() : nullptr, type, kind, caption, text, defaultValue);
}
