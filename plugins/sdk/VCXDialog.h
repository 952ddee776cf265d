#pragma once
// The modal dialogs of the plug-ins, built from framework controls: a fixed-size window
// with "OK" (and "Cancel") of 80 x 24 at the bottom right, OK rightmost. Enter presses
// Cancel when it has the focus and OK otherwise; Escape and the close button cancel.
#include <windows.h>
#include "wul/WULAppWindow.h"
#include "wul/WULButton.h"
#include "wul/WULPanel.h"

class CVCXDialog : public CWULAppWindow {
public:
  CVCXDialog(const char* caption, int clientWidth, int clientHeight);

  // The buttons 4 pixels from the right and bottom edges, Cancel left of OK. Call while
  // the dialog is the default parent.
  void AddButtons(bool withCancel);
  // Takes the controls' values when the dialog closes with OK.
  virtual void Accept() {}

  // The dialog's text colour halfway to its background: captions of disabled groups.
  CWULColor DimmedTextColor();
  // Enables or disables a group's buttons and dims its caption.
  void SetGroupEnabled(CWULGroupFrame* group, CWULPushButton* const* buttons, int count, bool on);

  CWULButton* okButton;
  CWULButton* cancelButton;
};

// Shows the dialog owned by parent with the focus on OK, runs its modal loop and deletes
// it; the mouse cursor is put back afterwards. True when it closed with OK.
bool vcxRunDialog(CVCXDialog* dialog, HWND parent);

// Marks one kind of dialog open for its lifetime; a second one is error 1.
class CVCXDialogOnce {
public:
  explicit CVCXDialogOnce(bool& open);
  ~CVCXDialogOnce();
  CVCXDialogOnce(const CVCXDialogOnce&) = delete;
  CVCXDialogOnce& operator=(const CVCXDialogOnce&) = delete;

private:
  bool& m_open;
};
