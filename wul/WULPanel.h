#pragma once
// Simple containers and static controls: the panel and the group frame (containers with a
// self-drawn frame), the label (static text that can size itself to its text) and the
// picture (an offscreen image the application draws into).
#include "wul/WULControl.h"
#include "wul/WULFramedWindow.h"
#include "wul/WULOffscreen.h"

// Edge kinds of a panel.
enum {
  WUL_EDGE_NONE = 0,
  WUL_EDGE_LINE = 1,
  WUL_EDGE_RAISED = 2,
  WUL_EDGE_SUNKEN = 3
};

class CWULPanel : public CWULContainer {
public:
  CWULPanel();

  virtual int GetOuterEdge();
  virtual void SetOuterEdge(int kind);
  virtual int GetInnerEdge();
  virtual void SetInnerEdge(int kind);
  virtual int GetBorderWidth();
  virtual void SetBorderWidth(int value);

  void ComputeInsets() override;
  LRESULT PaintNonClient(HDC dc) override;

  int32_t outerEdge;
  int32_t innerEdge;
  int32_t borderWidth;
  // The whole window as last painted; only the frame is copied to the window.
  CWULOffscreenBuffer frameBuffer;

protected:
  void PaintEdge(HDC dc, RECT* rect, int kind, bool lastEdge);
};

class CWULGroupFrame : public CWULContainer {
public:
  CWULGroupFrame();

  // The caption band at the top, the caption's indent and the gap around it.
  virtual int GetBandHeight();
  virtual void SetBandHeight(int value);
  virtual int GetIndent();
  virtual void SetIndent(int value);
  virtual int GetGap();
  virtual void SetGap(int value);

  void SetText(const char* newText) override;
  void ComputeInsets() override;
  LRESULT PaintNonClient(HDC dc) override;

  int32_t bandHeight;
  int32_t indent;
  int32_t gap;
  CWULOffscreenBuffer frameBuffer;
};

class CWULLabel : public CWULTextControl {
public:
  CWULLabel();

  virtual bool GetAutoSize();
  virtual void SetAutoSize(bool on);
  virtual void SetMinimumSize(int minW, int minH);
  virtual int GetMaximumWidth();
  virtual void SetMaximumWidth(int value);  // -1: none
  virtual int GetMaximumHeight();
  virtual void SetMaximumHeight(int value);

  // Resizes an auto-sized label to its text.
  void OnFontChanged() override;
  LRESULT OnEraseBackground(HDC dc) override;
  LRESULT OnPaint(PAINTSTRUCT* paint) override;

  uint8_t autoSize;
  int32_t minimumWidth;
  int32_t minimumHeight;
  int32_t maximumWidth;
  int32_t maximumHeight;
  CWULOffscreenBuffer buffer;

protected:
  void MeasureAutoSize(int* w, int* h);
};

class CWULPicture : public CWULControl {
public:
  CWULPicture();

  // The image the application draws into; null while the control is empty.
  virtual CWULImage* GetImage();

  void OnSizeChanged() override;
  LRESULT OnEraseBackground(HDC dc) override;
  LRESULT OnPaint(PAINTSTRUCT* paint) override;

  CWULOffscreenBuffer buffer;

private:
  void ResetBuffer();
};
