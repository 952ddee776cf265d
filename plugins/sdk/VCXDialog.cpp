#include "plugins/sdk/VCXDialog.h"
#include "plugins/sdk/VCXPlugin.h"
#include "wul/WULInit.h"

namespace {

enum { RESULT_CANCEL = 0, RESULT_OK = 1 };
enum { BUTTON_WIDTH = 80, BUTTON_HEIGHT = 24, BUTTON_MARGIN = 4 };

// The dialog a button sits in, also when it is inside a group.
CVCXDialog* DialogOf(CWULPushButton* button) {
  for (CWULInteractor* owner = button->parent; owner; owner = owner->parent)
    if (auto* dialog = dynamic_cast<CVCXDialog*>(owner))
      return dialog;
  return nullptr;
}

void PressOk(CWULPushButton* button) {
  if (CVCXDialog* dialog = DialogOf(button)) {
    dialog->Accept();
    dialog->EndModal(RESULT_OK);
  }
}

void PressCancel(CWULPushButton* button) {
  if (CVCXDialog* dialog = DialogOf(button))
    dialog->EndModal(RESULT_CANCEL);
}

int DialogKey(CWULInteractor* self, int* key, LPARAM) {
  auto* dialog = static_cast<CVCXDialog*>(self);
  if (*key == VK_RETURN) {
    if (dialog->cancelButton && dialog->cancelButton->HasFocus())
      dialog->cancelButton->PerformClick();
    else if (dialog->okButton)
      dialog->okButton->PerformClick();
    return 1;
  }
  if (*key == VK_ESCAPE) {
    dialog->EndModal(RESULT_CANCEL);
    return 1;
  }
  return 0;
}

}  // namespace

CVCXDialog::CVCXDialog(const char* caption, int clientWidth, int clientHeight)
    : okButton(nullptr), cancelButton(nullptr) {
  SetFrameKind(WUL_FRAME_FIXED);
  SetCloseBox(true);
  SetMinimizeBox(false);
  SetMaximizeBox(false);
  SetText(caption);
  SetClientSize(clientWidth, clientHeight);
  keyDownHandler = DialogKey;
}

void CVCXDialog::AddButtons(bool withCancel) {
  const int right = GetClientWidth() - BUTTON_MARGIN;
  const int top = GetClientHeight() - BUTTON_MARGIN - BUTTON_HEIGHT;
  if (withCancel) {
    cancelButton = new CWULButton;
    cancelButton->SetText("Cancel");
    cancelButton->SetBounds(right - 2 * BUTTON_WIDTH - BUTTON_MARGIN, top, BUTTON_WIDTH, BUTTON_HEIGHT);
    cancelButton->pressCallback = PressCancel;
  }
  okButton = new CWULButton;
  okButton->SetText("OK");
  okButton->SetBounds(right - BUTTON_WIDTH, top, BUTTON_WIDTH, BUTTON_HEIGHT);
  okButton->pressCallback = PressOk;
}

CWULColor CVCXDialog::DimmedTextColor() {
  return GetFont().color.Blend(GetColor(), 0.5f);
}

void CVCXDialog::SetGroupEnabled(CWULGroupFrame* group, CWULPushButton* const* buttons, int count,
                                 bool on) {
  for (int i = 0; i < count; ++i)
    buttons[i]->SetEnabled(on);
  CWULFont caption(GetFont());
  if (!on)
    caption.color = DimmedTextColor();
  group->SetParentFont(false);
  group->font.Assign(caption);
  group->Redraw();
}

bool vcxRunDialog(CVCXDialog* dialog, HWND parent) {
  const HCURSOR cursor = GetCursor();
  int result = RESULT_CANCEL;
  HWND handle = nullptr;
  try {
    dialog->IncarnateTree(parent);
    handle = dialog->window;
    dialog->CenterOnWindow(parent);
    dialog->Show();
    if (dialog->okButton)
      dialog->okButton->SetFocus();
    result = dialog->ShowModal(RESULT_CANCEL);
  } catch (...) {
    if (!handle)
      delete dialog;
    else
      dialog->Close();
    SetCursor(cursor);
    throw;
  }
  // The dialog ends through its deferred close; let it end now.
  MSG message;
  while (handle && IsWindow(handle) &&
         PeekMessageA(&message, handle, WUL_MSG_DEFERRED_CLOSE, WUL_MSG_DEFERRED_CLOSE, PM_REMOVE))
    DispatchMessageA(&message);
  SetCursor(cursor);
  return result == RESULT_OK;
}

CVCXDialogOnce::CVCXDialogOnce(bool& open) : m_open(open) {
  if (open)
    vcxThrow(VCX_ERROR_INTERNAL);
  open = true;
}

CVCXDialogOnce::~CVCXDialogOnce() {
  m_open = false;
}
