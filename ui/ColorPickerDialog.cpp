#include "ui/ColorPickerDialog.h"
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <new>
#include "document/ColorSpace.h"
#include "shell/Settings.h"
#include "ui/DialogParts.h"
#include "wul/WULEdit.h"
#include "wul/WULAppWindow.h"
#include "wul/WULButton.h"
#include "wul/WULCoverage.h"
#include "wul/WULDropDown.h"
#include "wul/WULError.h"
#include "wul/WULInit.h"
#include "wul/WULPanel.h"

namespace {

enum { MODE_RGB = 1, MODE_HSL = 2 };
enum { RESULT_CANCEL = 0, RESULT_OK = 1 };

const int kClientWidth = 392;
const int kClientHeight = 204;
const int kBarWidth = 16;
const int kScale = 192;  // height of the bars and size of the field
const float kSteps = 191.0f;
const int kChequerCell = 4;
const int kFieldCursor = 202;

// The dialog's state: one dialog at a time.
struct PickerState {
  CColor* color = nullptr;
  float red = 0, green = 0, blue = 0;
  float hue = 0, saturation = 0, value = 0;
  float alpha = 1;
  int mode = MODE_RGB;
  bool updating = false;
};
PickerState g_state;

class CColorPickerWindow;
CColorPickerWindow* g_dialog = nullptr;

int Byte(float channel) {
  const int v = static_cast<int>(std::lround(channel * 255.0f));
  return std::min(255, std::max(0, v));
}

float Clamp01(float v) { return std::min(1.0f, std::max(0.0f, v)); }

uint32_t Opaque(int r, int g, int b) {
  return 0xFF000000u | (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | static_cast<uint32_t>(b);
}

uint32_t HsvPixel(float h, float s, float v) {
  CColorModel model;
  model.HsvToRgb(h, s, v);
  return Opaque(Byte(model.red), Byte(model.green), Byte(model.blue));
}

uint32_t CurrentPixel() { return Opaque(Byte(g_state.red), Byte(g_state.green), Byte(g_state.blue)); }

// The colour over a background at opacity a, each channel rounded; opaque.
uint32_t BlendOver(uint32_t background, uint32_t color, float a) {
  uint32_t out = 0xFF000000u;
  for (int shift = 0; shift <= 16; shift += 8) {
    const float b = static_cast<float>((background >> shift) & 0xFF);
    const float c = static_cast<float>((color >> shift) & 0xFF);
    const int mixed = static_cast<int>(std::lround(b + (c - b) * a));
    out |= static_cast<uint32_t>(std::min(255, std::max(0, mixed))) << shift;
  }
  return out;
}

uint32_t ChequerColor(bool second) {
  CColorSetting* setting = second ? g_Settings.uiColorsChequerB : g_Settings.uiColorsChequerA;
  if (setting)
    return setting->GetValue().value | 0xFF000000u;
  return second ? 0xFFC0C0C0u : 0xFFFFFFFFu;
}

// Light over dark colours, dark over light ones.
uint32_t MarkerColor(uint32_t under) {
  const float luma = 0.213f * static_cast<float>((under >> 16) & 0xFF) +
                     0.715f * static_cast<float>((under >> 8) & 0xFF) + 0.072f * static_cast<float>(under & 0xFF);
  return luma < 128.0f ? 0xFFF0F0F0u : 0xFF202020u;
}

// The chequer of the dialog blended with the current colour at opacity a, in one row span.
void PaintChequerRow(CWULImage* image, int y, int width, float a, uint32_t first, uint32_t second) {
  const uint32_t color = CurrentPixel();
  const uint32_t onFirst = BlendOver(first, color, a);
  const uint32_t onSecond = BlendOver(second, color, a);
  for (int x = 0; x < width; ++x)
    image->SetPixel(x, y, ((x / kChequerCell + y / kChequerCell) & 1) ? onSecond : onFirst);
}

// The outline of the bars' marker around row m.
void PaintBarMarker(CWULImage* image, int m, uint32_t color) {
  for (int x = 1; x <= 14; ++x) {
    image->SetPixel(x, m - 3, color);
    image->SetPixel(x, m + 3, color);
  }
  for (int y = m - 3; y <= m + 3; ++y) {
    image->SetPixel(1, y, color);
    image->SetPixel(14, y, color);
  }
}

class CColorPickerWindow : public CWULAppWindow {
public:
  CColorPickerWindow();
  ~CColorPickerWindow() override {
    if (g_dialog == this)
      g_dialog = nullptr;
  }

  void FillFields();
  void FillNumbers();
  void FillHex();
  void RedrawAll();
  void DrawHueBar();
  void DrawField();
  void DrawAlphaBar();
  void DrawSample();
  void ApplyMode(int newMode);
  void Place();

  CWULPicture* hueBar;
  CWULPicture* field;
  CWULPicture* alphaBar;
  CWULPicture* sample;
  CWULDropDown* modeList;
  CWULLabel* labels[3];
  CWULSpinEdit* numbers[3];
  CWULLabel* alphaLabel;
  CWULSpinEdit* alphaNumber;
  CWULLabel* hexLabel;
  CWULEdit* hexEdit;
  CWULButton* okButton;
  CWULButton* cancelButton;
  CWULPicture* captured;  // the picture the mouse is dragging on
};

// --- reactions ---

void NumbersChanged() {
  CWULSpinEdit** numbers = g_dialog->numbers;
  CColorModel model;
  if (g_state.mode == MODE_RGB) {
    g_state.red = static_cast<float>(numbers[0]->GetValue() / 255.0);
    g_state.green = static_cast<float>(numbers[1]->GetValue() / 255.0);
    g_state.blue = static_cast<float>(numbers[2]->GetValue() / 255.0);
    model.RgbToHsv(g_state.red, g_state.green, g_state.blue);
    g_state.hue = model.hue;
    g_state.saturation = model.saturation;
    g_state.value = model.value;
  } else {
    g_state.hue = static_cast<float>(numbers[0]->GetValue() / 360.0);
    g_state.saturation = static_cast<float>(numbers[1]->GetValue() / 100.0);
    g_state.value = static_cast<float>(numbers[2]->GetValue() / 100.0);
    model.HsvToRgb(g_state.hue, g_state.saturation, g_state.value);
    g_state.red = model.red;
    g_state.green = model.green;
    g_state.blue = model.blue;
  }
  g_dialog->FillHex();
  g_dialog->RedrawAll();
}

void NumberEdited(CWULProtoEdit*) {
  if (g_dialog && !g_state.updating)
    NumbersChanged();
}

void NumberStepped(CWULSpinEdit*) {
  if (g_dialog && !g_state.updating)
    NumbersChanged();
}

void AlphaChanged() {
  g_state.alpha = static_cast<float>(g_dialog->alphaNumber->GetValue() / 255.0);
  g_dialog->DrawAlphaBar();
  g_dialog->DrawSample();
}

void AlphaEdited(CWULProtoEdit*) {
  if (g_dialog && !g_state.updating)
    AlphaChanged();
}

void AlphaStepped(CWULSpinEdit*) {
  if (g_dialog && !g_state.updating)
    AlphaChanged();
}

void HexEdited(CWULProtoEdit* edit) {
  if (!g_dialog || g_state.updating)
    return;
  unsigned int rgb = 0;
  if (std::sscanf(edit->GetText(), "%x", &rgb) != 1)
    return;
  rgb &= 0xFFFFFFu;
  g_state.red = static_cast<float>((rgb >> 16) & 0xFF) / 255.0f;
  g_state.green = static_cast<float>((rgb >> 8) & 0xFF) / 255.0f;
  g_state.blue = static_cast<float>(rgb & 0xFF) / 255.0f;
  CColorModel model;
  model.RgbToHsv(g_state.red, g_state.green, g_state.blue);
  g_state.hue = model.hue;
  g_state.saturation = model.saturation;
  g_state.value = model.value;
  g_dialog->FillNumbers();
  g_dialog->RedrawAll();
}

// Typed characters that are neither hexadecimal digits nor control characters are dropped.
int HexChar(CWULInteractor*, int* key, LPARAM) {
  const int ch = *key & 0xFFFF;
  if (ch >= 32 && !(ch < 128 && std::isxdigit(ch)))
    *key = 0;
  return 0;
}

void HexLeft(CWULInteractor*) {
  if (g_dialog)
    g_dialog->FillHex();
}

void ModeChosen(CWULDropDown*, CWULDropDownItem* item, CWULDropDownItem*) {
  if (g_dialog && item && !g_state.updating)
    g_dialog->ApplyMode(item->value);
}

// Sets the value of the picture under the drag from a point in its client area.
void DragTo(CWULPicture* picture, int mx, int my) {
  const int x = std::min(picture->GetWidth() - 1, std::max(0, mx));
  const int y = std::min(picture->GetHeight() - 1, std::max(0, my));
  const float fromTop = 1.0f - static_cast<float>(y) / kSteps;
  CColorPickerWindow* dialog = g_dialog;
  if (picture == dialog->alphaBar) {
    g_state.alpha = Clamp01(fromTop);
    g_state.updating = true;
    dialog->alphaNumber->SetValue(static_cast<double>(g_state.alpha) * 255.0);
    g_state.updating = false;
    dialog->DrawAlphaBar();
    dialog->DrawSample();
    return;
  }
  if (picture == dialog->hueBar) {
    g_state.hue = Clamp01(fromTop);
  } else {
    g_state.saturation = Clamp01(static_cast<float>(x) / kSteps);
    g_state.value = Clamp01(fromTop);
  }
  CColorModel model;
  model.HsvToRgb(g_state.hue, g_state.saturation, g_state.value);
  g_state.red = model.red;
  g_state.green = model.green;
  g_state.blue = model.blue;
  dialog->FillFields();
  dialog->RedrawAll();
}

void PictureDown(CWULInteractor* self, int, int mx, int my) {
  if (!g_dialog)
    return;
  auto* picture = static_cast<CWULPicture*>(self);
  g_dialog->captured = picture;
  ::SetCapture(picture->GetHandle());
  DragTo(picture, mx, my);
}

void PictureMove(CWULInteractor* self, int, int mx, int my) {
  if (g_dialog && g_dialog->captured == self && GetCapture() == self->GetHandle())
    DragTo(static_cast<CWULPicture*>(self), mx, my);
}

void PictureUp(CWULInteractor* self, int, int, int) {
  if (g_dialog && g_dialog->captured == self) {
    g_dialog->captured = nullptr;
    if (GetCapture() == self->GetHandle())
      ReleaseCapture();
  }
}

void PictureCaptureLost(CWULInteractor* self) {
  if (g_dialog && g_dialog->captured == self)
    g_dialog->captured = nullptr;
}

void PressOk(CWULPushButton*) {
  if (g_dialog)
    g_dialog->EndModal(RESULT_OK);
}

void PressCancel(CWULPushButton*) {
  if (g_dialog)
    g_dialog->EndModal(RESULT_CANCEL);
}

int DialogKey(CWULInteractor* self, int* key, LPARAM) {
  auto* dialog = static_cast<CColorPickerWindow*>(self);
  if (*key == VK_RETURN) {
    if (dialog->cancelButton->HasFocus())
      dialog->cancelButton->PerformClick();
    else
      dialog->okButton->PerformClick();
    return 1;
  }
  if (*key == VK_ESCAPE) {
    dialog->EndModal(RESULT_CANCEL);
    return 1;
  }
  return 0;
}

// --- building ---

CWULLabel* MakeLabel(const char* text, int left, int top, int width) {
  auto* label = new CWULLabel;
  label->SetText(text);
  label->SetBounds(left, top + 3, width, 14);
  return label;
}

CWULSpinEdit* MakeNumber(int left, int top, double maximum) {
  auto* number = new CWULSpinEdit;
  number->SetBounds(left, top, 64, 20);
  number->SetMaxDecimals(0);
  number->SetMinimum(0.0);
  number->SetMaximum(maximum);
  return number;
}

CWULPicture* MakePicture(int left, int top, int width, int height) {
  auto* picture = new CWULPicture;
  picture->SetBounds(left, top, width, height);
  return picture;
}

void MakeDraggable(CWULPicture* picture) {
  picture->leftDownHandler = PictureDown;
  picture->mouseMoveHandler = PictureMove;
  picture->leftUpHandler = PictureUp;
  picture->captureLostHandler = PictureCaptureLost;
}

CColorPickerWindow::CColorPickerWindow() : captured(nullptr) {
  SetFrameKind(WUL_FRAME_FIXED);
  SetCloseBox(true);
  SetText("Color");
  SetClientSize(kClientWidth, kClientHeight);
  keyDownHandler = DialogKey;
  closeAction = WUL_CLOSE_DESTROY;

  wulPushDefaultParent(this);
  try {
    const int fieldLeft = 4 + kBarWidth + 6;
    const int alphaLeft = fieldLeft + kScale + 6;
    hueBar = MakePicture(4, 6, kBarWidth, kScale);
    field = MakePicture(fieldLeft, 6, kScale, kScale);
    alphaBar = MakePicture(alphaLeft, 6, kBarWidth, kScale);
    MakeDraggable(hueBar);
    MakeDraggable(field);
    MakeDraggable(alphaBar);
    if (HCURSOR fieldCursor = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kFieldCursor)))
      field->SetCursor(fieldCursor);

    const int left = alphaLeft + kBarWidth + 8;  // 248
    const int numberLeft = left + 36;
    modeList = new CWULDropDown;
    modeList->SetBounds(left, 6, 100, 20);
    modeList->InsertItem(new CWULDropDownItem(MODE_RGB, "RGB"));
    modeList->InsertItem(new CWULDropDownItem(MODE_HSL, "HSL"));
    for (int i = 0; i < 3; ++i) {
      labels[i] = MakeLabel("", left, 32 + 24 * i, 34);
      numbers[i] = MakeNumber(numberLeft, 32 + 24 * i, 255.0);
      numbers[i]->changeCallback = NumberEdited;
      numbers[i]->valueChangedHandler = NumberStepped;
    }
    alphaLabel = MakeLabel("A:", left, 104, 34);
    alphaNumber = MakeNumber(numberLeft, 104, 255.0);
    alphaNumber->changeCallback = AlphaEdited;
    alphaNumber->valueChangedHandler = AlphaStepped;
    hexLabel = MakeLabel("Hex #", left, 128, 34);
    hexEdit = new CWULEdit;
    hexEdit->SetBounds(numberLeft, 128, 64, 20);
    hexEdit->SetTextLimit(6);
    hexEdit->SetCaseConversion(WUL_CASE_UPPER);
    hexEdit->charHandler = HexChar;
    hexEdit->changeCallback = HexEdited;
    hexEdit->focusLostHandler = HexLeft;
    sample = MakePicture(numberLeft + 64 + 6, 32, kClientWidth - 4 - (numberLeft + 64 + 6), 116);

    // The two buttons do not fit side by side beside the alpha bar: Cancel sits above OK.
    okButton = new CWULButton;
    okButton->SetText("OK");
    okButton->SetBounds(kClientWidth - 4 - 80, kClientHeight - 4 - 24, 80, 24);
    okButton->pressCallback = PressOk;
    cancelButton = new CWULButton;
    cancelButton->SetText("Cancel");
    cancelButton->SetBounds(kClientWidth - 4 - 80, kClientHeight - 4 - 24 - 4 - 24, 80, 24);
    cancelButton->pressCallback = PressCancel;
  } catch (...) {
    wulPopDefaultParent();
    throw;
  }
  wulPopDefaultParent();
  modeList->selectionChangedHandler = ModeChosen;
}

void CColorPickerWindow::ApplyMode(int newMode) {
  g_state.mode = newMode == MODE_HSL ? MODE_HSL : MODE_RGB;
  static const char* const rgbNames[3] = {"R:", "G:", "B:"};
  static const char* const hslNames[3] = {"H:", "S:", "L:"};
  static const double hslMaximum[3] = {360.0, 100.0, 100.0};
  g_state.updating = true;
  for (int i = 0; i < 3; ++i) {
    labels[i]->SetText(g_state.mode == MODE_RGB ? rgbNames[i] : hslNames[i]);
    labels[i]->Redraw();
    numbers[i]->SetMaximum(g_state.mode == MODE_RGB ? 255.0 : hslMaximum[i]);
  }
  if (CWULDropDownItem* item = modeList->FindByValue(g_state.mode))
    modeList->SetSelection(item);
  g_state.updating = false;
  FillNumbers();
}

void CColorPickerWindow::FillNumbers() {
  g_state.updating = true;
  if (g_state.mode == MODE_RGB) {
    numbers[0]->SetValue(static_cast<double>(g_state.red) * 255.0);
    numbers[1]->SetValue(static_cast<double>(g_state.green) * 255.0);
    numbers[2]->SetValue(static_cast<double>(g_state.blue) * 255.0);
  } else {
    numbers[0]->SetValue(static_cast<double>(g_state.hue) * 360.0);
    numbers[1]->SetValue(static_cast<double>(g_state.saturation) * 100.0);
    numbers[2]->SetValue(static_cast<double>(g_state.value) * 100.0);
  }
  g_state.updating = false;
}

void CColorPickerWindow::FillHex() {
  char text[16];
  std::snprintf(text, sizeof text, "%06X",
                (Byte(g_state.red) << 16) | (Byte(g_state.green) << 8) | Byte(g_state.blue));
  g_state.updating = true;
  hexEdit->SetText(text);
  g_state.updating = false;
}

void CColorPickerWindow::FillFields() {
  FillNumbers();
  g_state.updating = true;
  alphaNumber->SetValue(static_cast<double>(g_state.alpha) * 255.0);
  g_state.updating = false;
  FillHex();
}

void CColorPickerWindow::RedrawAll() {
  DrawHueBar();
  DrawField();
  DrawAlphaBar();
  DrawSample();
}

void CColorPickerWindow::DrawHueBar() {
  CWULImage* image = hueBar->GetImage();
  if (!image)
    return;
  for (int y = 0; y < image->height; ++y) {
    const uint32_t pixel = HsvPixel(1.0f - static_cast<float>(y) / kSteps, 1.0f, 1.0f);
    for (int x = 0; x < image->width; ++x)
      image->SetPixel(x, y, pixel);
  }
  const int m = static_cast<int>(std::lround((1.0f - g_state.hue) * kSteps));
  PaintBarMarker(image, m, MarkerColor(HsvPixel(g_state.hue, 1.0f, 1.0f)));
  hueBar->Redraw();
}

void CColorPickerWindow::DrawField() {
  CWULImage* image = field->GetImage();
  if (!image)
    return;
  CColorModel model;
  for (int y = 0; y < image->height; ++y) {
    const float v = 1.0f - static_cast<float>(y) / kSteps;
    for (int x = 0; x < image->width; ++x) {
      model.HsvToRgb(g_state.hue, static_cast<float>(x) / kSteps, v);
      image->SetPixel(x, y, Opaque(Byte(model.red), Byte(model.green), Byte(model.blue)));
    }
  }
  // The ring around the current saturation and value, by pixel coverage.
  const int mx = static_cast<int>(std::lround(g_state.saturation * kSteps));
  const int my = static_cast<int>(std::lround((1.0f - g_state.value) * kSteps));
  const float cx = static_cast<float>(mx) + 0.5f;
  const float cy = static_cast<float>(my) + 0.5f;
  const uint32_t marker = MarkerColor(CurrentPixel());
  for (int y = my - 5; y <= my + 5; ++y) {
    for (int x = mx - 5; x <= mx + 5; ++x) {
      if (x < 0 || y < 0 || x >= image->width || y >= image->height)
        continue;
      const float cover = wulCircleCoverage(x, y, cx, cy, 5.5f) - wulCircleCoverage(x, y, cx, cy, 4.5f);
      if (cover > 0.0f)
        image->SetPixel(x, y, BlendOver(image->GetPixel(x, y), marker, Clamp01(cover)));
    }
  }
  field->Redraw();
}

void CColorPickerWindow::DrawAlphaBar() {
  CWULImage* image = alphaBar->GetImage();
  if (!image)
    return;
  const uint32_t first = ChequerColor(false);
  const uint32_t second = ChequerColor(true);
  for (int y = 0; y < image->height; ++y)
    PaintChequerRow(image, y, image->width, 1.0f - static_cast<float>(y) / kSteps, first, second);
  const int m = static_cast<int>(std::lround((1.0f - g_state.alpha) * kSteps));
  const uint32_t middle = BlendOver(first, second, 0.5f);
  PaintBarMarker(image, m, MarkerColor(BlendOver(middle, CurrentPixel(), g_state.alpha)));
  alphaBar->Redraw();
}

void CColorPickerWindow::DrawSample() {
  CWULImage* image = sample->GetImage();
  if (!image)
    return;
  const uint32_t first = ChequerColor(false);
  const uint32_t second = ChequerColor(true);
  for (int y = 0; y < image->height; ++y)
    PaintChequerRow(image, y, image->width, g_state.alpha, first, second);
  sample->Redraw();
}

// By the mouse pointer, next to the rectangle from 20 pixels above the pointer down to
// it: below it when there is room, else above; inside the work area.
void CColorPickerWindow::Place() {
  POINT pointer = {0, 0};
  GetCursorPos(&pointer);
  RECT work;
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0))
    work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  const int w = GetWidth();
  const int h = GetHeight();
  int left = std::max(static_cast<int>(work.left), std::min(static_cast<int>(pointer.x), static_cast<int>(work.right) - w));
  int top = pointer.y;
  if (top + h > work.bottom)
    top = pointer.y - 20 - h;
  top = std::max(static_cast<int>(work.top), std::min(top, static_cast<int>(work.bottom) - h));
  SetPosition(left, top);
}

}  // namespace

bool ColorPickerDialog(CColor* color, CWULInteractor* parent) {
  if (!color || g_dialog)
    return false;
  CColorPickerWindow* dialog = nullptr;
  HWND handle = nullptr;
  int result = RESULT_CANCEL;
  try {
    WULInit(GetModuleHandleA(nullptr));
    g_state = PickerState();
    g_state.color = color;
    g_state.alpha = static_cast<float>(color->GetAlpha()) / 255.0f;
    g_state.red = static_cast<float>(color->GetRed()) / 255.0f;
    g_state.green = static_cast<float>(color->GetGreen()) / 255.0f;
    g_state.blue = static_cast<float>(color->GetBlue()) / 255.0f;
    CColorModel model;
    model.RgbToHsv(g_state.red, g_state.green, g_state.blue);
    g_state.hue = model.hue;
    g_state.saturation = model.saturation;
    g_state.value = model.value;

    // A top-level window whatever the caller is building.
    wulPushDefaultParent(nullptr);
    try {
      dialog = new CColorPickerWindow;
    } catch (...) {
      wulPopDefaultParent();
      throw;
    }
    wulPopDefaultParent();
    g_dialog = dialog;
    dialog->IncarnateTree(parent ? parent->GetHandle() : nullptr);
    handle = dialog->window;
    dialog->ApplyMode(MODE_RGB);
    dialog->FillFields();
    dialog->RedrawAll();
    dialog->Place();
    dialog->Show();
    dialog->okButton->SetFocus();
    result = dialog->ShowModal(RESULT_CANCEL);
  } catch (...) {
    if (dialog) {
      if (g_dialog == dialog)
        g_dialog = nullptr;
      if (!handle)
        delete dialog;
      else
        dialog->Close();
    }
    g_state.color = nullptr;
    try {
      throw;
    } catch (const CWULError& error) {
      wulShowError(error);
      return false;
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  if (result == RESULT_OK) {
    color->SetArgb(static_cast<uint32_t>(Byte(g_state.alpha)), static_cast<uint32_t>(Byte(g_state.red)),
                   static_cast<uint32_t>(Byte(g_state.green)), static_cast<uint32_t>(Byte(g_state.blue)));
  }
  g_state.color = nullptr;
  if (g_dialog == dialog)
    g_dialog = nullptr;
  CloseEndedDialog(dialog, handle);
  return result == RESULT_OK;
}
