#pragma once
// The one-line text field and the numeric field with up and down buttons, auto-repeat,
// wheel and arrow-key stepping. Both host the native edit of CWULProtoEdit.
#include "wul/WULPaintKit.h"
#include "wul/WULProtoEdit.h"

// Case conversion of CWULEdit.
enum {
  WUL_CASE_NONE = 0,
  WUL_CASE_LOWER = 1,
  WUL_CASE_UPPER = 2
};

class CWULEdit : public CWULProtoEdit {
public:
  CWULEdit();

  virtual bool GetNumbersOnly();
  virtual void SetNumbersOnly(bool on);
  virtual char GetPasswordChar();
  virtual void SetPasswordChar(char ch);  // 0: the text shows in clear
  virtual int GetCaseConversion();
  virtual void SetCaseConversion(int value);
  virtual int GetFrameKind();
  virtual void SetFrameKind(int kind);

  DWORD ComputeNativeStyle() override;
  void ComputeEditRect(RECT* rect) override;
  void PaintControl(HDC dc) override;

  uint8_t numbersOnly;
  char passwordChar;
  int32_t caseConversion;
  int32_t frameKind;

protected:
  void OnEditorCreated() override;
};

enum {
  WUL_SPIN_TIMER_ID = 16722,
  WUL_NUMBER_BUFFER = 64  // room for every text FormatNumber writes
};

// Spin buttons, press modes and repeat modes.
enum {
  WUL_SPIN_NONE = 0,
  WUL_SPIN_UP = 1,
  WUL_SPIN_DOWN = 2,
  WUL_PRESS_NONE = 0,
  WUL_PRESS_KEYBOARD = 1,
  WUL_PRESS_MOUSE = 2,
  WUL_REPEAT_OFF = 0,
  WUL_REPEAT_FIRST = 1,
  WUL_REPEAT_RUNNING = 2
};

class CWULSpinEdit : public CWULProtoEdit {
public:
  typedef void (*ValueHandler)(CWULSpinEdit* control);

  CWULSpinEdit();
  ~CWULSpinEdit() override;

  // Clamped to the limits, shown, and announced when the shown text or value changed.
  virtual void SetValue(double x);
  void SetValue(int x) { SetValue(static_cast<double>(x)); }
  virtual double GetValue();
  virtual int GetValueRounded();
  virtual double GetMinimum();
  virtual void SetMinimum(double x);
  virtual double GetMaximum();
  virtual void SetMaximum(double x);
  virtual int GetMinDecimals();
  virtual void SetMinDecimals(int n);
  virtual int GetMaxDecimals();
  virtual void SetMaxDecimals(int n);
  virtual double GetStep();
  virtual void SetStep(double x);
  virtual void StepUp();
  virtual void StepDown();
  virtual void UpdateText();
  // Shows a number without clamping or announcing it.
  virtual void ShowValue(double x);
  void ShowValue(int x) { ShowValue(static_cast<double>(x)); }
  // The value from the shown text, clamped; nothing announced.
  virtual void ReadText();
  // buffer holds at least WUL_NUMBER_BUFFER characters.
  virtual void FormatNumber(char* buffer, double x);
  virtual double ParseNumber(const char* text);
  virtual int GetFrameKind();
  virtual void SetFrameKind(int kind);
  virtual int GetButtonWidth();
  virtual void SetButtonWidth(int value);  // negative: automatic

  void GeometryHook() override;
  void ComputeEditRect(RECT* rect) override;
  void PaintControl(HDC dc) override;
  void OnTextChanged() override;
  LRESULT OnTimer(WPARAM id, LPARAM lParam) override;
  LRESULT OnLButtonDown(int keys, int mx, int my) override;
  LRESULT OnLButtonDblClk(int keys, int mx, int my) override;
  LRESULT OnMouseMove(int keys, int mx, int my) override;
  LRESULT OnLButtonUp(int keys, int mx, int my) override;
  LRESULT OnCaptureChanged(HWND newCapture) override;
  LRESULT OnKillFocus(HWND next) override;
  LRESULT OnKeyDown(int key, LPARAM lParam) override;
  LRESULT OnKeyUp(int key, LPARAM lParam) override;
  LRESULT OnMouseWheel(float notches, int keys, int wx, int wy) override;

  CWULColor buttonColor;
  CWULColor arrowColor;
  ValueHandler valueChangedHandler;
  int32_t frameKind;
  int32_t buttonWidth;
  double minimum;
  double maximum;
  double step;
  double value;
  int32_t minDecimals;
  int32_t maxDecimals;
  RECT upRect;
  RECT downRect;
  uint8_t upPressed;    // shown pressed
  uint8_t downPressed;
  int32_t pressedButton;  // WUL_SPIN_UP, WUL_SPIN_DOWN or none
  int32_t pressMode;
  int32_t repeatMode;
  float wheelRemainder;
  float lastWheelStep;
  double reportedValue;  // the value the handler last heard of

protected:
  void SetPressMode(int mode);
  void SetRepeatMode(int mode);
  void StartPress(int button, int mode);
  void StepPressed();
  void RepaintButtons();
  double Clamp(double x) const;
};
