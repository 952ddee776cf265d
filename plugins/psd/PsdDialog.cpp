#include "plugins/psd/PsdDialog.h"
#include "plugins/sdk/VCXDialog.h"
#include "wul/WULInit.h"

namespace {

class CPsdImportDialog : public CVCXDialog {
public:
  explicit CPsdImportDialog(int* source) : CVCXDialog("PSD Import", 200, 104), m_source(source) {
    wulPushDefaultParent(this);
    auto* group = new CWULGroupFrame;
    group->SetText("Source");
    group->SetBounds(8, 8, 184, 58);
    wulPushDefaultParent(group);
    m_layers = new CWULRadioButton;
    m_layers->SetText("Layers");
    m_layers->SetBounds(8, 4, 160, 16);
    m_composite = new CWULRadioButton;
    m_composite->SetText("Composite");
    m_composite->SetBounds(8, 22, 160, 16);
    m_composite->JoinGroup(m_layers);
    (*source == PSD_SOURCE_LAYERS ? m_layers : m_composite)->SetChecked(true);
    wulPopDefaultParent();
    AddButtons(true);
    wulPopDefaultParent();
  }

  void Accept() override { *m_source = m_layers->IsChecked() ? PSD_SOURCE_LAYERS : PSD_SOURCE_COMPOSITE; }

private:
  int* m_source;
  CWULRadioButton* m_layers;
  CWULRadioButton* m_composite;
};

}  // namespace

bool ShowPsdImportDialog(HWND parent, int& source) {
  int chosen = source;
  if (!vcxRunDialog(new CPsdImportDialog(&chosen), parent))
    return false;
  source = chosen;
  return true;
}
