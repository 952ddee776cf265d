#include <windows.h>
#include <shellapi.h>
#include <cstdio>
#include <new>
#include "shell/Application.h"
#include "shell/TextRoutines.h"
#include "ui/AppCursors.h"
#include "ui/AppResourceIds.h"
#include "ui/DialogParts.h"
#include "ui/PluginDialogs.h"
#include "wul/WULAppWindow.h"
#include "wul/WULButton.h"
#include "wul/WULError.h"
#include "wul/WULImage.h"
#include "wul/WULInit.h"
#include "wul/WULPanel.h"

AboutLinkOpener g_AboutLinkOpener = ShellExecuteA;

namespace {

const int kClientWidth = 320;
const int kClientHeight = 168;
const int kButtonWidth = 80;
const int kButtonHeight = 24;
const int kPictureX = 8;
const int kPictureY = 10;
const int kPictureSize = 48;

const char kNotice[] = "Copyright (C) Tolvenark. All rights reserved.";
const char kHomePage[] = "https://www.tolvenark.net/vellumcraft/";

class CAboutWindow;

CAboutWindow* g_dialog = nullptr;
CWULLabel* g_text = nullptr;
CWULLabel* g_link = nullptr;
CWULPicture* g_picture = nullptr;

void ForgetDialog() {
  g_dialog = nullptr;
  g_text = g_link = nullptr;
  g_picture = nullptr;
}

class CAboutWindow : public CWULAppWindow {
public:
  ~CAboutWindow() override {
    if (g_dialog == this)
      ForgetDialog();
  }
};

void OkPressed(CWULPushButton*) {
  if (g_dialog) {
    g_dialog->EndModal(1);
    g_dialog->Close();
  }
}

int DialogKeyDown(CWULInteractor*, int* key, LPARAM) {
  if (*key == VK_RETURN || *key == VK_ESCAPE) {
    OkPressed(nullptr);
    return 1;
  }
  return 0;
}

// A release over the link opens the address.
void OpenLink(CWULInteractor* self, int, int mx, int my) {
  if (mx < 0 || my < 0 || mx >= self->GetWidth() || my >= self->GetHeight() || !g_AboutLinkOpener)
    return;
  g_AboutLinkOpener(g_dialog ? g_dialog->GetHandle() : nullptr, nullptr, self->GetText(), nullptr, nullptr,
                    SW_SHOW);
}

// The version gathered at start, else the product version of the running program file.
uint32_t ProgramVersion() {
  if (g_App.version)
    return g_App.version;
  char path[MAX_PATH] = "";
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return length && length < MAX_PATH ? GetFileProductVersion(path) : 0;
}

void BuildDialog(CAboutWindow* dialog) {
  g_picture = new CWULPicture;
  g_picture->SetBounds(kPictureX, kPictureY, kPictureSize, kPictureSize);

  char version[64] = "";
  FormatVersion(version, ProgramVersion(), sizeof version - 1);
  char text[256];
  std::snprintf(text, sizeof text, "Vellumcraft\nVersion %s\n%s", version, kNotice);
  const int textX = kPictureX + kPictureSize + 8;
  g_text = new CWULLabel;
  g_text->SetMultiLine(true);
  g_text->SetWordWrap(true);
  g_text->SetText(text);
  g_text->SetBounds(textX, kPictureY - 4, kClientWidth - textX - 4, 64);

  const int buttonsTop = kClientHeight - 4 - kButtonHeight;
  auto* homepage = new CWULLabel;
  homepage->SetAutoSize(true);
  homepage->SetText("Homepage:");
  homepage->SetPosition(kPictureX, kPictureY + kPictureSize + 20);

  g_link = new CWULLabel;
  g_link->SetParentFont(false);
  g_link->font.Assign(dialog->GetFont());
  g_link->font.SetUnderline(true);
  g_link->font.color.SetRGB(48, 48, 144);
  g_link->SetAutoSize(true);
  g_link->SetText(kHomePage);
  g_link->SetPosition(homepage->GetRight() + 4, homepage->GetY());
  g_link->SetCursor(GetAppCursor(IDC_LINK));
  g_link->leftUpHandler = OpenLink;

  auto* beta = new CWULLabel;
  beta->SetAutoSize(true);
  beta->SetText("BETA VERSION");
  beta->SetPosition(kPictureX, buttonsTop + (kButtonHeight - beta->GetHeight()) / 2);

  MakeDialogButton("OK", kClientWidth - 4 - kButtonWidth, buttonsTop, OkPressed);
  dialog->SetClientSize(kClientWidth, kClientHeight);
}

// The program's icon over the dialog's colour.
void DrawPicture() {
  CWULImage* image = g_picture ? g_picture->GetImage() : nullptr;
  if (!image || !image->pixels)
    return;
  image->Fill(g_picture->GetColor());
  HICON icon = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_APPLICATION_ICON),
                                             IMAGE_ICON, kPictureSize, kPictureSize, 0));
  if (!icon)
    return;
  HDC dc = g_picture->buffer.GetDC();
  if (dc) {
    GdiFlush();
    DrawIconEx(dc, 0, 0, icon, kPictureSize, kPictureSize, 0, nullptr, DI_NORMAL);
    GdiFlush();
  }
  DestroyIcon(icon);
  g_picture->Redraw();
}

}  // namespace

CWULAppWindow* GetAboutDialogWindow() { return g_dialog; }
CWULLabel* GetAboutDialogText() { return g_text; }
CWULLabel* GetAboutDialogLink() { return g_link; }

void AboutDialog() {
  if (g_dialog) {
    g_dialog->BringToForeground();
    return;
  }
  CAboutWindow* dialog =
      MakeSingleDialog(g_dialog, "About Vellumcraft", DialogKeyDown, ForgetDialog, BuildDialog);
  if (!dialog)
    return;
  RunPluginDialog(dialog, PluginDialogOwner(), 0, DrawPicture);
  if (g_dialog == dialog)
    ForgetDialog();
}
