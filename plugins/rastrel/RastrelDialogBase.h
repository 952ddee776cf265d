#pragma once
// The frame of the plug-in's modal dialogs: a fixed-size window with "OK" and "Cancel"
// (80 x 24, OK rightmost) 4 pixels from the right and 2 from the bottom. Enter presses Cancel when it has the focus
// and OK otherwise; Escape and the close button cancel.
#include <windows.h>
#include "wul/WULAppWindow.h"
#include "wul/WULButton.h"
#include "wul/WULPanel.h"

class CRastrelDialog : public CWULAppWindow {
public:
  CRastrelDialog(const char* caption, int clientWidth, int clientHeight);

  // Call while the dialog is the default parent.
  void AddButtons();
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
bool RunRastrelDialog(CRastrelDialog* dialog, HWND parent);

// Marks one kind of dialog open for its lifetime; a second one is error 1.
class CDialogOnce {
public:
  explicit CDialogOnce(bool& open);
  ~CDialogOnce();
  CDialogOnce(const CDialogOnce&) = delete;
  CDialogOnce& operator=(const CDialogOnce&) = delete;

private:
  bool& m_open;
};
