#include "plugins/sdk/VCXAbout.h"
#include <shellapi.h>
#include <algorithm>
#include <cstdio>
#include "plugins/sdk/VCXDialog.h"
#include "wul/WULError.h"
#include "wul/WULImage.h"
#include "wul/WULInit.h"
#include "wul/WULPanel.h"

const char* const vcxHomepage = "https://vellumcraft.example.org/";
const char* const vcxMakerNotice = "Copyright (C) Tolvenark. All rights reserved.";

namespace {

enum {
  CLIENT_WIDTH = 320,
  PICTURE_X = 8,
  PICTURE_Y = 10,
  GAP = 8,
  LINK_GAP = 4,
  // The word-wrapped extra text is this much narrower than the box.
  EXTRA_INSET = 32
};

int ClientHeight(VCXAboutLayout layout) {
  return layout == VCX_ABOUT_UNDER_PICTURE ? 320 : 150;
}

// A release over the link opens the address.
void OpenLink(CWULInteractor* self, int, int mx, int my) {
  if (mx < 0 || my < 0 || mx >= self->GetWidth() || my >= self->GetHeight())
    return;
  ShellExecuteA(GetDesktopWindow(), nullptr, self->GetText(), nullptr, nullptr, SW_SHOW);
}

// The height of a word-wrapped label's text at its width.
int TextHeight(CWULLabel* label) {
  RECT box = {0, 0, label->GetWidth(), 0};
  label->MeasureText(nullptr, &box);
  return box.bottom - box.top;
}

CWULLabel* NewWrappedLabel(const char* text, int x, int y, int width, int align) {
  auto* label = new CWULLabel;
  label->SetMultiLine(true);
  label->SetWordWrap(true);
  label->SetHAlign(align);
  label->SetText(text);
  label->SetBounds(x, y, width, 1);
  label->SetSize(width, TextHeight(label));
  return label;
}

class CVCXAboutBox : public CVCXDialog {
public:
  CVCXAboutBox(const char* caption, const char* text, const VCXAboutContent& content)
      : CVCXDialog(caption, CLIENT_WIDTH, ClientHeight(content.layout)), extra(nullptr) {
    wulPushDefaultParent(this);
    const CWULImage* art = content.picture;
    picture = new CWULPicture;
    picture->SetBounds(PICTURE_X, PICTURE_Y, std::min<int>(art->width, CLIENT_WIDTH - 2 * PICTURE_X),
                       art->height);
    if (CWULImage* image = picture->GetImage())
      image->Draw(art);
    AddButtons(false);

    homepage = new CWULLabel;
    homepage->SetAutoSize(true);
    homepage->SetText("Homepage:");
    link = new CWULLabel;
    link->SetParentFont(false);
    link->font.Assign(GetFont());
    link->font.SetUnderline(true);
    link->font.color.SetRGB(48, 48, 144);
    link->SetAutoSize(true);
    link->SetText(vcxHomepage);
    link->SetCursor(content.linkCursor);
    link->leftUpHandler = OpenLink;

    if (content.layout == VCX_ABOUT_UNDER_PICTURE)
      PlaceUnderPicture(text, content.extra);
    else
      PlaceBesidePicture(text);
    wulPopDefaultParent();
  }

  CWULPicture* picture;
  CWULLabel* about;
  CWULLabel* homepage;
  CWULLabel* link;
  CWULLabel* extra;

private:
  // Everything centred from the top down: picture, texts, "Homepage:", the link under it
  // and the extra text.
  void PlaceUnderPicture(const char* text, const char* extraText) {
    const int width = CLIENT_WIDTH - 2 * PICTURE_X;
    about = NewWrappedLabel(text, PICTURE_X, picture->GetBottom() + GAP, width, WUL_HALIGN_CENTER);
    homepage->SetPosition((CLIENT_WIDTH - homepage->GetWidth()) / 2, about->GetBottom() + GAP);
    link->SetPosition((CLIENT_WIDTH - link->GetWidth()) / 2, homepage->GetBottom() + 2);
    if (extraText) {
      extra = NewWrappedLabel(extraText, EXTRA_INSET / 2, link->GetBottom() + GAP,
                              CLIENT_WIDTH - EXTRA_INSET, WUL_HALIGN_LEFT);
      const int room = okButton->GetY() - GAP - extra->GetY();
      if (extra->GetHeight() > room)
        extra->SetSize(extra->GetWidth(), std::max(room, 0));
    }
  }

  // The texts right of the picture; "Homepage:" and the link centred between the picture
  // and the button.
  void PlaceBesidePicture(const char* text) {
    const int middle = (picture->GetBottom() + okButton->GetY()) / 2;
    homepage->SetPosition(PICTURE_X, middle - homepage->GetHeight() / 2);
    link->SetPosition(homepage->GetRight() + LINK_GAP, homepage->GetY());
    const int textX = picture->GetRight() + GAP;
    about = new CWULLabel;
    about->SetMultiLine(true);
    about->SetWordWrap(true);
    about->SetText(text);
    about->SetBounds(textX, PICTURE_Y - 4, CLIENT_WIDTH - textX - 4,
                     homepage->GetY() - PICTURE_Y + 2);
  }
};

// The box while it is open; a second request meanwhile shows nothing.
CVCXAboutBox* g_aboutBox = nullptr;

}  // namespace

void vcxFormatAboutText(char* buffer, size_t size, const char* description, uint32_t version,
                        const char* notice) {
  if (!buffer || size == 0)
    return;
  const unsigned major = version >> 24;
  const unsigned minor = (version >> 16) & 255;
  const unsigned build = (version >> 8) & 255;
  const unsigned revision = version & 255;
  int n = std::snprintf(buffer, size, "%s\nVersion %u.%u", description ? description : "", major,
                        minor);
  auto append = [&](const char* format, auto value) {
    if (n >= 0 && static_cast<size_t>(n) < size)
      n += std::snprintf(buffer + n, size - n, format, value);
  };
  if (build || revision)
    append(".%u", build);
  if (revision)
    append(".%u", revision);
  append("\n%s", notice ? notice : "");
}

CWULImage* vcxLoadPicture(HINSTANCE module, int id) {
  try {
    return WULLoadImageFromBitmapResource(module, MAKEINTRESOURCEA(id));
  } catch (const CWULError&) {
    return nullptr;
  }
}

CVCXPictureHold::CVCXPictureHold(CWULImage* picture) : m_picture(picture) {
  CWULImage::AddRef(picture);
}

CVCXPictureHold::~CVCXPictureHold() {
  CWULImage::Release(m_picture);
}

int vcxRunAboutBox(HWND parent, const VCXAboutContent& content) {
  if (g_aboutBox || !content.picture)
    return 0;
  char caption[128];
  std::snprintf(caption, sizeof caption, "About %s plugin", content.name ? content.name : "");
  char text[768];
  vcxFormatAboutText(text, sizeof text, content.description, content.version, content.notice);
  g_aboutBox = new CVCXAboutBox(caption, text, content);
  try {
    vcxRunDialog(g_aboutBox, parent);
  } catch (...) {
    g_aboutBox = nullptr;
    throw;
  }
  g_aboutBox = nullptr;
  return 1;
}

int vcxShowAboutBox(HWND parent, const char* name, const char* description, uint32_t version,
                    const char* extra, CWULImage* picture, HCURSOR linkCursor) {
  VCXAboutContent content = {VCX_ABOUT_UNDER_PICTURE, name, description, version,
                             vcxMakerNotice, extra, picture, linkCursor};
  return vcxRunAboutBox(parent, content);
}
