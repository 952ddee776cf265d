// The About box of the JPEG, TGA and PSD plug-ins: the picture, the name and version, the
// maker's notice and a link to the home page.
#include <windows.h>
#include <shellapi.h>
#include <cstdio>
#include "plugins/sdk/VCXPlugin.h"
#include "plugins/shared/VcxAboutResources.h"
#include "plugins/shared/VcxDialog.h"
#include "plugins/shared/VcxExports.h"
#include "wul/WULImage.h"
#include "wul/WULInit.h"
#include "wul/WULPanel.h"

namespace {

enum {
  CLIENT_WIDTH = 320,
  CLIENT_HEIGHT = 150,
  PICTURE_X = 8,
  PICTURE_Y = 10,
  PICTURE_WIDTH = 60,
  PICTURE_HEIGHT = 48
};

void OpenLink(CWULInteractor* self, int, int mx, int my) {
  if (mx < 0 || my < 0 || mx >= self->GetWidth() || my >= self->GetHeight())
    return;
  ShellExecuteA(GetDesktopWindow(), nullptr, self->GetText(), nullptr, nullptr, SW_SHOW);
}

class CVcxAboutBox : public CVcxDialog {
public:
  CVcxAboutBox(const char* caption, const char* text, CWULImage* art, HCURSOR hand)
      : CVcxDialog(caption, CLIENT_WIDTH, CLIENT_HEIGHT) {
    wulPushDefaultParent(this);
    picture = new CWULPicture;
    picture->SetBounds(PICTURE_X, PICTURE_Y, PICTURE_WIDTH, PICTURE_HEIGHT);
    if (CWULImage* image = picture->GetImage())
      image->Draw(art);

    const int textX = PICTURE_X + PICTURE_WIDTH + 8;
    AddButtons(false);
    // Centred between the picture and the button.
    const int middle = (PICTURE_Y + PICTURE_HEIGHT + okButton->GetY()) / 2;
    homepage = new CWULLabel;
    homepage->SetAutoSize(true);
    homepage->SetText("Homepage:");
    homepage->SetPosition(PICTURE_X, middle - homepage->GetHeight() / 2);

    about = new CWULLabel;
    about->SetMultiLine(true);
    about->SetWordWrap(true);
    about->SetText(text);
    about->SetBounds(textX, PICTURE_Y - 4, CLIENT_WIDTH - textX - 4, homepage->GetY() - PICTURE_Y + 2);

    link = new CWULLabel;
    link->SetParentFont(false);
    link->font.Assign(GetFont());
    link->font.SetUnderline(true);
    link->font.color.SetRGB(48, 48, 144);
    link->SetAutoSize(true);
    link->SetText(vcxHomepage);
    link->SetPosition(homepage->GetRight() + 4, homepage->GetY());
    link->SetCursor(hand);
    link->leftUpHandler = OpenLink;
    wulPopDefaultParent();
  }

  CWULPicture* picture;
  CWULLabel* about;
  CWULLabel* homepage;
  CWULLabel* link;
};

// The box while it is open; a second request meanwhile shows nothing.
CVcxAboutBox* g_aboutBox = nullptr;

class CImageHold {
public:
  explicit CImageHold(CWULImage* image) : m_image(image) { CWULImage::AddRef(image); }
  ~CImageHold() { CWULImage::Release(m_image); }
  CImageHold(const CImageHold&) = delete;
  CImageHold& operator=(const CImageHold&) = delete;

private:
  CWULImage* m_image;
};

}  // namespace

int vcxShowAboutBox(HWND parent) {
  if (g_aboutBox)
    return 0;
  const VcxPluginInfo* info = vcxGetPluginInfo();
  HINSTANCE module = vcxGetPluginModule();
  if (!info || !module)
    return 0;
  CWULImage* art = nullptr;
  try {
    art = WULLoadImageFromBitmapResource(module, MAKEINTRESOURCEA(VCX_IDB_ABOUT_PICTURE));
  } catch (const CWULError&) {
    return 0;
  }
  CImageHold hold(art);
  HCURSOR hand = LoadCursorA(module, MAKEINTRESOURCEA(VCX_IDC_LINK_HAND));

  char caption[128];
  std::snprintf(caption, sizeof caption, "About %s plugin", info->name);
  char text[768];
  vcxFormatAboutText(text, sizeof text, info->description, vcxGetModuleVersion(module),
                     info->notice);
  g_aboutBox = new CVcxAboutBox(caption, text, art, hand);
  try {
    vcxRunDialog(g_aboutBox, parent);
  } catch (...) {
    g_aboutBox = nullptr;
    throw;
  }
  g_aboutBox = nullptr;
  return 1;
}
