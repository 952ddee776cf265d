#pragma once
// The settings the views read, made and given their usual values when a test runs alone:
// Init leaves the defaults that depend on the desktop at zero.
#include "shell/Settings.h"

inline void EnsureViewSettings() {
  if (!g_Settings.uiColorsChequerA)
    g_Settings.Init();
  if (g_Settings.timingsMaskAnimationInterval->GetValue() == 0)
    g_Settings.timingsMaskAnimationInterval->SetValue(200);
  if (g_Settings.timingsAutoScrollInterval->GetValue() == 0)
    g_Settings.timingsAutoScrollInterval->SetValue(100);
  if (g_Settings.uiColorsChequerA->GetValue().value == 0)
    g_Settings.uiColorsChequerA->SetValue(CColor(0xFFF0F0F0u));
  if (g_Settings.uiColorsChequerB->GetValue().value == 0)
    g_Settings.uiColorsChequerB->SetValue(CColor(0xFFC0C0C0u));
  if (g_Settings.uiColorsGridA->GetValue().value == 0)
    g_Settings.uiColorsGridA->SetValue(CColor(0xFFA0A0C8u));
}
