// The "BMP options" dialog in its three variants: 1, 4 and 8 bits; 24 bits; 32 bits.
#include "plugins/rastrel/BmpOptionsDialog.h"
#include "plugins/rastrel/BmpFile.h"
#include "plugins/sdk/VCXDialog.h"
#include "wul/WULInit.h"

namespace {

bool g_bmpDialogOpen = false;

class CBmpOptionsDialog : public CVCXDialog {
public:
  // depth 8 stands for 1, 4 and 8 bits.
  explicit CBmpOptionsDialog(int depth)
      : CVCXDialog("BMP options", depth == 24 ? 226 : depth == 32 ? 244 : 240,
                   depth == 24 ? 93 : depth == 32 ? 109 : 60),
        m_depth(depth),
        m_group(nullptr),
        m_format{nullptr, nullptr, nullptr},
        m_premultiplied(nullptr),
        m_topDown(nullptr),
        m_rle(nullptr) {
    wulPushDefaultParent(this);
    const int w = GetClientWidth();
    if (depth == 8) {
      m_topDown = AddCheck("Top-down row order", g_BmpOptions.topDown, 8, 3);
      m_rle = AddCheck("RLE compression", false, 8, 17);
      m_rle->SetEnabled(false);
    } else {
      // Compact rows: the format group, then the switches, above the buttons.
      m_group = new CWULGroupFrame;
      m_group->SetText("Format");
      m_group->SetBandHeight(12);
      m_group->SetBounds(4, 0, w - 8, 53);
      wulPushDefaultParent(m_group);
      const char* names24[3] = {"R5:G5:B5 (15 bpp)", "R5:G6:B5 (16 bpp)", "R8:G8:B8 (24 bpp)"};
      const char* names32[3] = {"A1:R5:G5:B5 (16 bpp)", "A4:R4:G4:B4 (16 bpp)",
                                "A8:R8:G8:B8 (32 bpp)"};
      for (int i = 0; i < 3; ++i) {
        m_format[i] = new CWULRadioButton;
        m_format[i]->SetText(depth == 24 ? names24[i] : names32[i]);
        m_format[i]->SetBounds(4, 13 * i, w - 20, 13);
        if (i > 0)
          m_format[i]->JoinGroup(m_format[i - 1]);
      }
      wulPopDefaultParent();
      const int current = depth == 24 ? g_BmpOptions.format24 : g_BmpOptions.format32;
      m_format[current >= 0 && current <= 2 ? current : 2]->SetChecked(true);
      if (depth == 32) {
        m_premultiplied = AddCheck("Premultiplied alpha", g_BmpOptions.premultiplied, 8, 53);
        m_topDown = AddCheck("Top-down row order", g_BmpOptions.topDown, 8, 67);
      } else {
        m_topDown = AddCheck("Top-down row order", g_BmpOptions.topDown, 8, 53);
      }
    }
    AddButtons(true);
    wulPopDefaultParent();
  }

  // Every enabled control's state goes into the settings.
  void Accept() override {
    if (m_topDown->IsEnabled())
      g_BmpOptions.topDown = m_topDown->IsChecked();
    if (m_rle && m_rle->IsEnabled())
      g_BmpOptions.rle = m_rle->IsChecked();
    if (m_premultiplied && m_premultiplied->IsEnabled())
      g_BmpOptions.premultiplied = m_premultiplied->IsChecked();
    for (int i = 0; i < 3; ++i)
      if (m_format[i] && m_format[i]->IsEnabled() && m_format[i]->IsChecked()) {
        if (m_depth == 24)
          g_BmpOptions.format24 = i;
        else
          g_BmpOptions.format32 = i;
      }
  }

private:
  CWULCheckBox* AddCheck(const char* text, bool checked, int x, int y) {
    auto* box = new CWULCheckBox;
    box->SetText(text);
    box->SetBounds(x, y, 150, 13);
    box->SetChecked(checked);
    return box;
  }

  int m_depth;
  CWULGroupFrame* m_group;
  CWULRadioButton* m_format[3];
  CWULCheckBox* m_premultiplied;
  CWULCheckBox* m_topDown;
  CWULCheckBox* m_rle;
};

bool RunBmpDialog(HWND parent, int depth) {
  CVCXDialogOnce once(g_bmpDialogOpen);
  return vcxRunDialog(new CBmpOptionsDialog(depth), parent);
}

}  // namespace

bool BmpOptionsDialog(HWND parent) {
  return RunBmpDialog(parent, 8);
}

bool BmpOptionsDialog(HWND parent, VCXLayeredImage*) {
  return RunBmpDialog(parent, 24);
}

bool BmpOptions32Dialog(HWND parent) {
  return RunBmpDialog(parent, 32);
}
