#pragma once
// The modal dialogs of the plug-ins, built from framework controls: a fixed-frame window
// with "OK" (and "Cancel") at the bottom right; Enter presses OK unless the focus is on
// Cancel, Escape cancels.
#include <windows.h>
#include "wul/WULAppWindow.h"
#include "wul/WULButton.h"
#include "wul/WULPanel.h"

class CVcxDialog : public CWULAppWindow {
public:
  CVcxDialog(const char* caption, int clientWidth, int clientHeight);

  // 80 x 24 buttons 4 pixels from the right and bottom edges: OK rightmost, Cancel before
  // it. Call while the dialog is the default parent.
  void AddButtons(bool withCancel);
  // Closes with OK after Accept has taken the controls' values.
  virtual void Accept() {}

  CWULButton* okButton;
  CWULButton* cancelButton;
};

// Creates the dialog's windows, shows it owned by parent with the focus on OK, runs its
// modal loop and lets it end. True when it closed with OK. The dialog is deleted.
bool vcxRunDialog(CVcxDialog* dialog, HWND parent);
