#include "plugins/tga/TgaDialog.h"
#include "plugins/sdk/VCXDialog.h"
#include "wul/WULInit.h"

namespace {

class CTgaOptionsDialog : public CVCXDialog {
public:
  CTgaOptionsDialog(uint32_t depth, TgaOptions* options)
      : CVCXDialog("TGA Options", 240, depth == 24 ? 176 : depth == 32 ? 120 : 96),
        m_options(options),
        m_premultiplied(nullptr),
        m_format{nullptr, nullptr, nullptr} {
    wulPushDefaultParent(this);
    int y = 10;
    if (depth == 24) {
      auto* group = new CWULGroupFrame;
      group->SetText("Format");
      group->SetBounds(8, y, 224, 76);
      wulPushDefaultParent(group);
      const char* names[3] = {"Grayscale (8 bpp)", "R5:G5:B5 (15 bpp)", "R8:G8:B8 (24 bpp)"};
      for (int i = 0; i < 3; ++i) {
        m_format[i] = new CWULRadioButton;
        m_format[i]->SetText(names[i]);
        m_format[i]->SetBounds(8, 4 + 18 * i, 200, 16);
        if (i > 0)
          m_format[i]->JoinGroup(m_format[i - 1]);
      }
      const int chosen = options->format24 >= TGA_OUTPUT_GREY && options->format24 <= TGA_OUTPUT_24
                             ? options->format24 - 1
                             : 2;
      m_format[chosen]->SetChecked(true);
      wulPopDefaultParent();
      y += 84;
    } else if (depth == 32) {
      m_premultiplied = AddCheck("Premultiplied alpha", options->premultiplied, y);
      y += 24;
    }
    m_topDown = AddCheck("Top-down row order", options->topDown, y);
    m_rle = AddCheck("RLE compression", options->rle, y + 24);
    AddButtons(true);
    wulPopDefaultParent();
  }

  void Accept() override {
    m_options->topDown = m_topDown->IsChecked();
    m_options->rle = m_rle->IsChecked();
    if (m_premultiplied)
      m_options->premultiplied = m_premultiplied->IsChecked();
    for (int i = 0; i < 3; ++i)
      if (m_format[i] && m_format[i]->IsChecked())
        m_options->format24 = TGA_OUTPUT_GREY + i;
  }

private:
  CWULCheckBox* AddCheck(const char* text, bool checked, int y) {
    auto* box = new CWULCheckBox;
    box->SetText(text);
    box->SetBounds(16, y, 200, 16);
    box->SetChecked(checked);
    return box;
  }

  TgaOptions* m_options;
  CWULCheckBox* m_premultiplied;
  CWULCheckBox* m_topDown;
  CWULCheckBox* m_rle;
  CWULRadioButton* m_format[3];
};

}  // namespace

bool TgaShowOptionsDialog(HWND parent, uint32_t depth, TgaOptions& options) {
  if (depth != 8 && depth != 24 && depth != 32)
    return true;
  TgaOptions chosen = options;
  if (!vcxRunDialog(new CTgaOptionsDialog(depth, &chosen), parent))
    return false;
  options = chosen;
  return true;
}
