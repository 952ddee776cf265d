#include <gtest/gtest.h>
#include <windows.h>
#include <vector>
#include "ToolTestSupport.h"
#include "shell/Settings.h"
#include "tools/OptionPanes.h"
#include "wul/WULFramedWindow.h"
#include "wul/WULInit.h"
#include "wul/WULPanel.h"

// A hidden top-level framework window of that client size (TopLevelWindow.cpp).
CWULFramedWindow* MakeTopLevelWindow(int clientWidth, int clientHeight);

namespace {

class PaneHost : public RecordingHost {
public:
  CWULInteractor* GetOptionHostWindow() override { return window; }
  CWULInteractor* window = nullptr;
};

struct Change {
  CWULInteractor* control;
  uint32_t value;
};
std::vector<Change> g_changes;
CUIntSetting g_setting;

void RecordChange(CWULInteractor* control, uint32_t value) {
  g_changes.push_back({control, value});
}

class OptionPanesTest : public testing::Test {
protected:
  void SetUp() override {
    WULInit(GetModuleHandleA(nullptr));
    window = MakeTopLevelWindow(200, 120);
    host.window = window;
    g_changes.clear();
    setting.SetValue(5);
  }
  void TearDown() override {
    window->Close();
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageA(&message);
  }
  void Show() {
    window->IncarnateTree(nullptr);
    window->Show();
  }

  PaneHost host;
  CWULFramedWindow* window = nullptr;
  CUIntSetting& setting = g_setting;
};

const COptionChoice kChoices[3] = {{"One", 1}, {"Two", 2}, {"Five", 5}};

}  // namespace

TEST_F(OptionPanesTest, WithoutAnOptionHostNothingIsBuilt) {
  host.window = nullptr;
  bool ran = false;
  BuildOptionPane([&] { ran = true; });
  EXPECT_FALSE(ran);
  EXPECT_EQ(nullptr, window->firstChild);
}

TEST_F(OptionPanesTest, SpinRowShowsTheSettingAndStoresEachNewValue) {
  COptionSpinEdit* spin = nullptr;
  BuildOptionPane([&] { spin = AddOptionSpin("Size:", 4, 10, 50, &setting, 1, 20, RecordChange); });
  ASSERT_NE(nullptr, spin);
  Show();
  // The label sits left of the spin edit, centred on it, in the host.
  CWULLabel* label = spin->label;
  ASSERT_NE(nullptr, label);
  EXPECT_EQ(window, label->parent);
  EXPECT_EQ(window, spin->parent);
  EXPECT_STREQ("Size:", label->GetText());
  EXPECT_EQ(4, label->GetX());
  EXPECT_EQ(11, label->GetY());
  EXPECT_EQ(50, label->GetWidth());
  EXPECT_EQ(54, spin->GetX());
  EXPECT_EQ(10, spin->GetY());
  EXPECT_EQ(36, spin->GetWidth());
  EXPECT_EQ(16, spin->GetHeight());
  EXPECT_STREQ("5", spin->GetText());
  EXPECT_TRUE(g_changes.empty());

  spin->StepUp();
  EXPECT_EQ(6u, setting.GetValue());
  ASSERT_EQ(1u, g_changes.size());
  EXPECT_EQ(spin, g_changes[0].control);
  EXPECT_EQ(6u, g_changes[0].value);
  // Values beyond the limits are stored clamped; an unchanged value is not announced.
  spin->SetText("75");
  EXPECT_EQ(20u, setting.GetValue());
  EXPECT_EQ(2u, g_changes.size());
  spin->SetValue(20);
  EXPECT_EQ(2u, g_changes.size());
  spin->SetValue(0);
  EXPECT_EQ(1u, setting.GetValue());
  EXPECT_EQ(3u, g_changes.size());
}

TEST_F(OptionPanesTest, SpinRowWithoutSettingShowsTheMinimumAndStoresNothing) {
  COptionSpinEdit* spin = nullptr;
  BuildOptionPane([&] { spin = AddOptionSpin("Size:", 4, 4, 50, nullptr, 3, 9); });
  ASSERT_NE(nullptr, spin);
  Show();
  EXPECT_EQ(3, spin->GetValueRounded());
  spin->StepUp();
  EXPECT_EQ(4, spin->GetValueRounded());
  EXPECT_EQ(5u, setting.GetValue());
}

TEST_F(OptionPanesTest, RadioGroupChecksTheSettingAndStoresTheChoice) {
  COptionRadioButton* first = nullptr;
  BuildOptionPane([&] {
    first = AddOptionRadios("Kind:", 4, 4, 50, 60, 20, kChoices, 3, &setting, RecordChange);
  });
  ASSERT_NE(nullptr, first);
  Show();
  // A column of one group under each other, right of the caption.
  std::vector<COptionRadioButton*> radios;
  for (CWULPushButton* member = first; member; member = member->groupNext)
    radios.push_back(static_cast<COptionRadioButton*>(member));
  ASSERT_EQ(3u, radios.size());
  for (int i = 0; i < 3; ++i) {
    EXPECT_STREQ(kChoices[i].text, radios[i]->GetText());
    EXPECT_EQ(54, radios[i]->GetX());
    EXPECT_EQ(4 + 20 * i, radios[i]->GetY());
    EXPECT_EQ(60, radios[i]->GetWidth());
    EXPECT_EQ(20, radios[i]->GetHeight());
    EXPECT_EQ(window, radios[i]->parent);
  }
  CWULLabel* caption = dynamic_cast<CWULLabel*>(window->firstChild);
  ASSERT_NE(nullptr, caption);
  EXPECT_STREQ("Kind:", caption->GetText());
  EXPECT_EQ(7, caption->GetY());
  EXPECT_EQ(radios[2], GetCheckedOption(first));
  EXPECT_TRUE(g_changes.empty());

  radios[1]->PerformClick();
  EXPECT_EQ(2u, setting.GetValue());
  EXPECT_EQ(radios[1], GetCheckedOption(first));
  EXPECT_FALSE(radios[2]->IsChecked());
  ASSERT_EQ(1u, g_changes.size());
  EXPECT_EQ(radios[1], g_changes[0].control);
  EXPECT_EQ(2u, g_changes[0].value);
  // The checked one again changes nothing.
  radios[1]->PerformClick();
  EXPECT_EQ(1u, g_changes.size());
}

TEST_F(OptionPanesTest, RadioGroupChecksTheFirstChoiceForAnUnknownValue) {
  setting.SetValue(9);
  COptionRadioButton* first = nullptr;
  BuildOptionPane([&] { first = AddOptionRadios("Kind:", 4, 4, 50, 60, 20, kChoices, 3, &setting); });
  ASSERT_NE(nullptr, first);
  EXPECT_EQ(first, GetCheckedOption(first));
  EXPECT_EQ(9u, setting.GetValue());
}

TEST_F(OptionPanesTest, RadioButtonsWidenToShowTheirWholeCaption) {
  const COptionChoice choices[2] = {{"A", 1}, {"A much longer caption than forty pixels", 2}};
  COptionRadioButton* first = nullptr;
  BuildOptionPane([&] { first = AddOptionRadios("Kind:", 4, 4, 50, 40, 20, choices, 2, &setting); });
  ASSERT_NE(nullptr, first);
  CWULIndicatorButton* longer = static_cast<CWULIndicatorButton*>(first->groupNext);
  ASSERT_NE(nullptr, longer);
  EXPECT_EQ(40, first->GetWidth());
  // Forty characters need far more than forty pixels in any readable font.
  EXPECT_GT(longer->GetWidth(), 40 * 4 + longer->GetIndicatorSize());
}

TEST_F(OptionPanesTest, DisablingARowMovesTheFocusOnlyWhenItWasInside) {
  COptionSpinEdit* spin = nullptr;
  COptionSpinEdit* other = nullptr;
  BuildOptionPane([&] {
    spin = AddOptionSpin("A:", 4, 4, 50, &setting, 1, 20);
    other = AddOptionSpin("B:", 4, 24, 50, nullptr, 1, 20);
  });
  Show();
  SetForegroundWindow(window->GetHandle());
  ASSERT_NE(nullptr, other->GetEditWindow());
  SetFocus(other->GetEditWindow());
  ASSERT_EQ(other->GetEditWindow(), GetFocus());

  SetOptionRowEnabled(spin, false);
  EXPECT_FALSE(spin->IsEnabled());
  EXPECT_FALSE(spin->label->IsEnabled());
  EXPECT_EQ(0, host.mainWindowFocus);
  EXPECT_EQ(other->GetEditWindow(), GetFocus());

  SetOptionRowEnabled(spin, true);
  EXPECT_TRUE(spin->IsEnabled());
  EXPECT_TRUE(spin->label->IsEnabled());
  SetFocus(spin->GetEditWindow());
  ASSERT_EQ(spin->GetEditWindow(), GetFocus());
  SetOptionRowEnabled(spin, false);
  EXPECT_EQ(1, host.mainWindowFocus);
  EXPECT_NE(spin->GetEditWindow(), GetFocus());
  SetOptionRowEnabled(nullptr, false);
}
