#pragma once
// Building blocks of the tools' option panes: a caption label, a label + spin edit row and a
// group of radio buttons, each control bound to an integer setting. A control starts from its
// setting and stores every new value into it; a null setting leaves the control unbound.
//
// A tool builds its pane in CreateOptionsPane:
//   BuildOptionPane([] {
//     AddOptionSpin("Tolerance:", OPTION_MARGIN, OPTION_MARGIN, OPTION_LABEL_WIDTH,
//                   g_Settings.drawingToolsFloodFillerTolerance, 0, 255);
//   });
// The controls belong to the option host, which closes them when the next tool is chosen.
#include <cstdint>
#include "tools/ToolHost.h"
#include "wul/WULButton.h"
#include "wul/WULEdit.h"
#include "wul/WULInit.h"

class CUIntSetting;
class CWULLabel;

// Layout shared by the panes: the margin around the controls, the width of the caption
// column, and the sizes of a spin edit and of a radio button row.
enum {
  OPTION_MARGIN = 4,
  OPTION_LABEL_WIDTH = 56,
  OPTION_SPIN_WIDTH = 36,
  OPTION_SPIN_HEIGHT = 16,
  OPTION_ROW_HEIGHT = 20
};

// Runs after a control stored a new value into its setting; control is the spin edit or the
// radio button that was chosen.
typedef void (*OptionChangedHandler)(CWULInteractor* control, uint32_t value);

// A whole-number spin edit bound to a setting. Stepping, Enter, leaving the field and typing
// all store the (clamped) value when it differs from the setting.
class COptionSpinEdit : public CWULSpinEdit {
public:
  COptionSpinEdit();

  CUIntSetting* setting;
  OptionChangedHandler changedHandler;
  // The row's caption, a sibling closed together with the spin edit; null when there is none.
  CWULLabel* label;
};

// A radio button that stores its value into the setting when it becomes checked. It shows
// its picture beside the indicator, and its checked picture instead while it is checked.
class COptionRadioButton : public CWULRadioButton {
public:
  COptionRadioButton();
  ~COptionRadioButton() override;

  CWULImage* GetPicture() override;
  void SetCheckedPicture(CWULImage* image);

  CUIntSetting* setting;
  uint32_t value;
  OptionChangedHandler changedHandler;
  CWULImage* checkedPicture;
};

// One radio button of a group: its caption, its value and the program's pictures (bitmap
// resource numbers, 0 for none) of its plain and checked look.
struct COptionChoice {
  const char* text;
  uint32_t value;
  int32_t picture;
  int32_t checkedPicture;
};

// Makes an interactor the default parent for one scope.
class COptionParentScope {
public:
  explicit COptionParentScope(CWULInteractor* parent) { wulPushDefaultParent(parent); }
  ~COptionParentScope() { wulPopDefaultParent(); }
  COptionParentScope(const COptionParentScope&) = delete;
  COptionParentScope& operator=(const COptionParentScope&) = delete;
};

// Runs build with the option host of the tool panel as the default parent; nothing happens
// while there is no host. The parent is popped however build ends.
template <class Build>
void BuildOptionPane(Build&& build) {
  CWULInteractor* host = GetToolHost()->GetOptionHostWindow();
  if (!host)
    return;
  COptionParentScope scope(host);
  build();
}

// A caption label (14 high) at x, y in the default parent.
CWULLabel* AddOptionLabel(const char* text, int x, int y, int width);

// A 36 x 16 spin edit at x, y limited to minimum..maximum, showing the setting's value.
COptionSpinEdit* AddOptionSpinEdit(int x, int y, CUIntSetting* setting, int minimum, int maximum,
                                   OptionChangedHandler changed = nullptr);

// A row at x, y: the caption (labelWidth wide, centred on the spin edit) and to its right a
// 36 x 16 spin edit limited to minimum..maximum, showing the setting's value.
COptionSpinEdit* AddOptionSpin(const char* caption, int x, int y, int labelWidth, CUIntSetting* setting,
                               int minimum, int maximum, OptionChangedHandler changed = nullptr);

// The caption at x, y (centred on the first button) and, from x + labelWidth down, a column of
// count radio buttons of one group, each width x height, or wider when its picture and caption
// need it.
// The choice whose value equals the setting is checked (the first when none does). Returns
// the first button; the others follow through groupNext.
COptionRadioButton* AddOptionRadios(const char* caption, int x, int y, int labelWidth, int width, int height,
                                    const COptionChoice* choices, int count, CUIntSetting* setting,
                                    OptionChangedHandler changed = nullptr);

// The checked button of the group that starts with first, or null.
COptionRadioButton* GetCheckedOption(COptionRadioButton* first);

// Enables or disables the spin edit and its label. When disabling them takes the keyboard
// focus away, the focus goes to the main window.
void SetOptionRowEnabled(COptionSpinEdit* spin, bool on);
