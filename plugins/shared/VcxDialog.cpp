#include "plugins/shared/VcxDialog.h"
#include "wul/WULInit.h"

namespace {

enum { RESULT_CANCEL = 0, RESULT_OK = 1 };

void PressOk(CWULPushButton* button) {
  if (auto* dialog = dynamic_cast<CVcxDialog*>(button->parent)) {
    dialog->Accept();
    dialog->EndModal(RESULT_OK);
  }
}

void PressCancel(CWULPushButton* button) {
  if (auto* dialog = dynamic_cast<CVcxDialog*>(button->parent))
    dialog->EndModal(RESULT_CANCEL);
}

int DialogKey(CWULInteractor* self, int* key, LPARAM) {
  auto* dialog = static_cast<CVcxDialog*>(self);
  if (*key == VK_RETURN) {
    if (dialog->cancelButton && dialog->cancelButton->HasFocus())
      dialog->cancelButton->PerformClick();
    else
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

CVcxDialog::CVcxDialog(const char* caption, int clientWidth, int clientHeight)
    : okButton(nullptr), cancelButton(nullptr) {
  SetFrameKind(WUL_FRAME_FIXED);
  SetMinimizeBox(false);
  SetMaximizeBox(false);
  SetText(caption);
  SetClientSize(clientWidth, clientHeight);
  keyDownHandler = DialogKey;
}

void CVcxDialog::AddButtons(bool withCancel) {
  const int w = GetClientWidth();
  const int h = GetClientHeight();
  okButton = new CWULButton;
  okButton->SetText("OK");
  okButton->pressCallback = PressOk;
  if (withCancel) {
    okButton->SetBounds(w - 168, h - 28, 80, 24);
    cancelButton = new CWULButton;
    cancelButton->SetText("Cancel");
    cancelButton->SetBounds(w - 84, h - 28, 80, 24);
    cancelButton->pressCallback = PressCancel;
  } else {
    okButton->SetBounds(w - 84, h - 28, 80, 24);
  }
}

bool vcxRunDialog(CVcxDialog* dialog, HWND parent) {
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
    throw;
  }
  // The dialog ends through its deferred close; let it end now.
  MSG message;
  while (handle && IsWindow(handle) &&
         PeekMessageA(&message, handle, WUL_MSG_DEFERRED_CLOSE, WUL_MSG_DEFERRED_CLOSE, PM_REMOVE))
    DispatchMessageA(&message);
  return result == RESULT_OK;
}
