#include "tools/OptionPanes.h"
#include <algorithm>
#include "shell/Settings.h"
#include "wul/WULPanel.h"
#include "wul/WULShared.h"

namespace {

void StoreSpinValue(COptionSpinEdit* spin) {
  if (!spin->setting)
    return;
  int rounded = spin->GetValueRounded();
  if (rounded < 0)
    rounded = 0;
  const uint32_t value = static_cast<uint32_t>(rounded);
  if (spin->setting->GetValue() == value)
    return;
  spin->setting->SetValue(value);
  if (spin->changedHandler)
    spin->changedHandler(spin, value);
}

void OnSpinValueChanged(CWULSpinEdit* control) {
  StoreSpinValue(static_cast<COptionSpinEdit*>(control));
}

// Typing: the spin edit has already read the text into its value.
void OnSpinTextChanged(CWULProtoEdit* control) {
  StoreSpinValue(static_cast<COptionSpinEdit*>(control));
}

void OnRadioCheckedChanged(CWULPushButton* control) {
  auto* radio = static_cast<COptionRadioButton*>(control);
  if (!radio->IsChecked())
    return;
  if (radio->setting)
    radio->setting->SetValue(radio->value);
  if (radio->changedHandler)
    radio->changedHandler(radio, radio->value);
}

bool IsFocusWithin(CWULInteractor* control) {
  HWND own = control->GetHandle();
  HWND focus = GetFocus();
  return own && focus && (focus == own || IsChild(own, focus));
}

}  // namespace

COptionSpinEdit::COptionSpinEdit() : setting(nullptr), changedHandler(nullptr), label(nullptr) {}

COptionRadioButton::COptionRadioButton()
    : setting(nullptr), value(0), changedHandler(nullptr), checkedPicture(nullptr) {}

COptionRadioButton::~COptionRadioButton() {
  CWULImage::Release(checkedPicture);
  checkedPicture = nullptr;
}

CWULImage* COptionRadioButton::GetPicture() {
  return IsChecked() && checkedPicture ? checkedPicture : CWULRadioButton::GetPicture();
}

void COptionRadioButton::SetCheckedPicture(CWULImage* image) {
  if (wulReplaceImage(checkedPicture, image))
    Redraw();
}

CWULLabel* AddOptionLabel(const char* text, int x, int y, int width) {
  auto* label = new CWULLabel;
  label->SetText(text);
  label->SetBounds(x, y, width, 14);
  return label;
}

COptionSpinEdit* AddOptionSpinEdit(int x, int y, CUIntSetting* setting, int minimum, int maximum,
                                   OptionChangedHandler changed) {
  auto* spin = new COptionSpinEdit;
  spin->SetBounds(x, y, OPTION_SPIN_WIDTH, OPTION_SPIN_HEIGHT);
  spin->SetMaxDecimals(0);
  spin->SetMinimum(minimum);
  spin->SetMaximum(maximum);
  spin->SetValue(static_cast<double>(setting ? setting->GetValue() : static_cast<uint32_t>(minimum)));
  // Bound only now, so that showing the setting does not store it back.
  spin->setting = setting;
  spin->changedHandler = changed;
  spin->valueChangedHandler = OnSpinValueChanged;
  spin->changeCallback = OnSpinTextChanged;
  return spin;
}

COptionSpinEdit* AddOptionSpin(const char* caption, int x, int y, int labelWidth, CUIntSetting* setting,
                               int minimum, int maximum, OptionChangedHandler changed) {
  CWULLabel* label = AddOptionLabel(caption, x, y + (OPTION_SPIN_HEIGHT - 14) / 2, labelWidth);
  COptionSpinEdit* spin = AddOptionSpinEdit(x + labelWidth, y, setting, minimum, maximum, changed);
  spin->label = label;
  return spin;
}

namespace {

int PictureWidth(const CWULImage* image) { return image ? image->width : 0; }

// The width that shows the button's picture and whole caption beside its indicator.
int FittingWidth(COptionRadioButton* button, int height) {
  RECT text = {0, 0, 10000, height};
  button->MeasureText(nullptr, &text);
  int width = (text.right - text.left) + button->GetIndicatorSize() + button->GetSpacing() + 4;
  const int picture = std::max(PictureWidth(button->picture), PictureWidth(button->checkedPicture));
  if (picture > 0)
    width += picture + button->GetSpacing();
  return width;
}

}  // namespace

COptionRadioButton* AddOptionRadios(const char* caption, int x, int y, int labelWidth, int width, int height,
                                    const COptionChoice* choices, int count, CUIntSetting* setting,
                                    OptionChangedHandler changed) {
  AddOptionLabel(caption, x, y + (height - 14) / 2, labelWidth);
  int checked = 0;
  for (int i = 0; i < count; ++i) {
    if (setting && setting->GetValue() == choices[i].value) {
      checked = i;
      break;
    }
  }
  COptionRadioButton* first = nullptr;
  for (int i = 0; i < count; ++i) {
    auto* radio = new COptionRadioButton;
    radio->SetText(choices[i].text);
    radio->SetPicture(GetToolHost()->GetAppPicture(choices[i].picture));
    radio->SetCheckedPicture(GetToolHost()->GetAppPicture(choices[i].checkedPicture));
    radio->SetBounds(x + labelWidth, y + i * height, std::max(width, FittingWidth(radio, height)), height);
    if (first)
      radio->JoinGroup(first);
    else
      first = radio;
    radio->SetChecked(i == checked);
    radio->setting = setting;
    radio->value = choices[i].value;
    radio->changedHandler = changed;
    radio->checkedChangedCallback = OnRadioCheckedChanged;
  }
  return first;
}

COptionRadioButton* GetCheckedOption(COptionRadioButton* first) {
  for (CWULPushButton* member = first; member; member = member->groupNext) {
    if (member->IsChecked())
      return static_cast<COptionRadioButton*>(member);
  }
  return nullptr;
}

void SetOptionRowEnabled(COptionSpinEdit* spin, bool on) {
  if (!spin)
    return;
  const bool focusInside = !on && IsFocusWithin(spin);
  spin->SetEnabled(on);
  if (spin->label)
    spin->label->SetEnabled(on);
  // A disabled field keeps no focus worth having.
  if (focusInside)
    GetToolHost()->FocusMainWindow();
}
