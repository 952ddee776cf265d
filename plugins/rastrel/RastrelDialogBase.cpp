#include "plugins/rastrel/RastrelDialogBase.h"
#include "plugins/sdk/VCXPlugin.h"
#include "wul/WULInit.h"

namespace {

enum { RESULT_CANCEL = 0, RESULT_OK = 1 };

void PressOk(CWULPushButton* button) {
  for (CWULInteractor* owner = button->parent; owner; owner = owner->parent)
    if (auto* dialog = dynamic_cast<CRastrelDialog*>(owner)) {
      dialog->Accept();
      dialog->EndModal(RESULT_OK);
      return;
    }
}

void PressCancel(CWULPushButton* button) {
  for (CWULInteractor* owner = button->parent; owner; owner = owner->parent)
    if (auto* dialog = dynamic_cast<CRastrelDialog*>(owner)) {
      dialog->EndModal(RESULT_CANCEL);
      return;
    }
}

int DialogKey(CWULInteractor* self, int* key, LPARAM) {
  auto* dialog = static_cast<CRastrelDialog*>(self);
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

CRastrelDialog::CRastrelDialog(const char* caption, int clientWidth, int clientHeight)
    : okButton(nullptr), cancelButton(nullptr) {
  SetFrameKind(WUL_FRAME_FIXED);
  SetMinimizeBox(false);
  SetMaximizeBox(false);
  SetText(caption);
  SetClientSize(clientWidth, clientHeight);
  keyDownHandler = DialogKey;
}

void CRastrelDialog::AddButtons() {
  const int w = GetClientWidth();
  const int h = GetClientHeight();
  cancelButton = new CWULButton;
  cancelButton->SetText("Cancel");
  cancelButton->SetBounds(w - 168, h - 26, 80, 24);
  cancelButton->pressCallback = PressCancel;
  okButton = new CWULButton;
  okButton->SetText("OK");
  okButton->SetBounds(w - 84, h - 26, 80, 24);
  okButton->pressCallback = PressOk;
}

CWULColor CRastrelDialog::DimmedTextColor() {
  return GetFont().color.Blend(GetColor(), 0.5f);
}

void CRastrelDialog::SetGroupEnabled(CWULGroupFrame* group, CWULPushButton* const* buttons, int count,
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

bool RunRastrelDialog(CRastrelDialog* dialog, HWND parent) {
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

CDialogOnce::CDialogOnce(bool& open) : m_open(open) {
  if (open)
    vcxThrow(VCX_ERROR_INTERNAL);
  open = true;
}

CDialogOnce::~CDialogOnce() {
  m_open = false;
}
