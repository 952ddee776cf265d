#include <new>
#include <cstdio>
#include "shell/PluginLoader.h"
#include "shell/TextRoutines.h"
#include "ui/DialogParts.h"
#include "ui/MainWindow.h"
#include "ui/PluginDialogs.h"
#include "wul/WULAppWindow.h"
#include "wul/WULButton.h"
#include "wul/WULError.h"
#include "wul/WULInit.h"
#include "wul/WULListBox.h"

namespace {

const int kClientWidth = 288;
const int kClientHeight = 256;
const int kButtonWidth = 80;
const int kButtonHeight = 24;
const int kMargin = 8;

class CPluginsWindow;

CPluginsWindow* g_dialog = nullptr;
CWULListBox* g_list = nullptr;
CWULButton* g_buttons[3] = {nullptr, nullptr, nullptr};

void ForgetDialog() {
  g_dialog = nullptr;
  g_list = nullptr;
  g_buttons[0] = g_buttons[1] = g_buttons[2] = nullptr;
}

class CPluginsWindow : public CWULAppWindow {
public:
  ~CPluginsWindow() override {
    if (g_dialog == this)
      ForgetDialog();
  }
};

class CPluginRow : public CWULListItem {
public:
  CPluginRow(const char* text, CFileFormat* format) : CWULListItem(text), plugin(format) {}
  CFileFormat* plugin;
};

CFileFormat* SelectedPlugin() {
  CWULListItem* item = g_list ? g_list->GetCurrentItem() : nullptr;
  return item ? static_cast<CPluginRow*>(item)->plugin : nullptr;
}

void UpdateButtons() {
  CFileFormat* plugin = SelectedPlugin();
  if (g_buttons[PLUGINS_BUTTON_SETTINGS])
    g_buttons[PLUGINS_BUTTON_SETTINGS]->SetEnabled(plugin && plugin->settings);
  if (g_buttons[PLUGINS_BUTTON_ABOUT])
    g_buttons[PLUGINS_BUTTON_ABOUT]->SetEnabled(plugin && plugin->about);
}

void SelectionChanged(CWULListBox*, CWULListItem*, CWULListItem*) { UpdateButtons(); }

void ClosePressed(CWULPushButton*) {
  if (g_dialog) {
    g_dialog->EndModal(0);
    g_dialog->Close();
  }
}

void SettingsPressed(CWULPushButton*) {
  CFileFormat* plugin = SelectedPlugin();
  if (plugin && plugin->settings && g_dialog)
    plugin->settings(g_dialog->GetHandle());
}

void AboutPressed(CWULPushButton*) {
  CFileFormat* plugin = SelectedPlugin();
  if (plugin && plugin->about && g_dialog)
    plugin->about(g_dialog->GetHandle());
}

int DialogKeyDown(CWULInteractor*, int* key, LPARAM) {
  if (*key == VK_RETURN || *key == VK_ESCAPE) {
    ClosePressed(nullptr);
    return 1;
  }
  return 0;
}

void FillList() {
  for (CListItem* node = g_Plugins.first; node; node = node->next) {
    auto* plugin = static_cast<CFileFormat*>(node);
    if (plugin->kind != FORMAT_KIND_PLUGIN)
      continue;
    char version[64] = "";
    FormatVersion(version, plugin->version, sizeof version - 1);
    char text[320];
    std::snprintf(text, sizeof text, "%s %s", plugin->name.text ? plugin->name.text : "", version);
    g_list->InsertItem(new CPluginRow(text, plugin), nullptr);
  }
}

void BuildDialog(CPluginsWindow* dialog) {
  const int buttonsTop = kClientHeight - kMargin - kButtonHeight;
  g_list = new CWULListBox;
  g_list->SetHBarMode(WUL_BAR_NEVER);
  g_list->SetBounds(kMargin, kMargin, kClientWidth - 2 * kMargin, buttonsTop - 2 * kMargin);
  g_list->currentItemChangedHandler = SelectionChanged;
  FillList();
  g_buttons[PLUGINS_BUTTON_SETTINGS] = MakeDialogButton("Settings...", kMargin, buttonsTop, SettingsPressed);
  g_buttons[PLUGINS_BUTTON_ABOUT] = MakeDialogButton("About...", kMargin + kButtonWidth + 4, buttonsTop, AboutPressed);
  g_buttons[PLUGINS_BUTTON_CLOSE] =
      MakeDialogButton("Close", kClientWidth - kMargin - kButtonWidth, buttonsTop, ClosePressed);
  UpdateButtons();
  dialog->SetClientSize(kClientWidth, kClientHeight);
}

void Shown() {
  if (g_list)
    g_list->SetFocus();
}

}  // namespace

HWND PluginDialogOwner() {
  HWND owner = g_MainWindow ? g_MainWindow->GetHandle() : nullptr;
  return owner && IsWindow(owner) ? owner : nullptr;
}

int RunPluginDialog(CWULAppWindow* dialog, HWND owner, int initial, void (*shown)()) {
  HWND handle = nullptr;
  int result = initial;
  try {
    dialog->IncarnateTree(owner);
    handle = dialog->window;
    if (owner)
      dialog->CenterOnWindow(owner);
    else
      dialog->CenterOnRect(nullptr);
    dialog->Show();
    if (shown)
      shown();
    result = dialog->ShowModal(initial);
  } catch (const CWULError&) {
    result = initial;
  } catch (const std::bad_alloc&) {
    result = initial;
  }
  if (!handle) {
    delete dialog;
    return result;
  }
  // The dialog ends through its deferred close; let it end now.
  CloseEndedDialog(dialog, handle);
  return result;
}

CWULAppWindow* GetPluginsDialogWindow() { return g_dialog; }
CWULListBox* GetPluginsDialogList() { return g_list; }
CWULPushButton* GetPluginsDialogButton(int which) {
  return which >= 0 && which < 3 ? g_buttons[which] : nullptr;
}

void PluginsDialog() {
  if (g_dialog) {
    g_dialog->BringToForeground();
    return;
  }
  CPluginsWindow* dialog = MakeSingleDialog(g_dialog, "Plugins", DialogKeyDown, ForgetDialog, BuildDialog);
  if (!dialog)
    return;
  RunPluginDialog(dialog, PluginDialogOwner(), 0, Shown);
  if (g_dialog == dialog)
    ForgetDialog();
}
