#pragma once
// The dock at the right of the main window: collapsible panels with a self-drawn caption,
// a fold button and an optional resize grip, stacked from the top by the panel master,
// which makes room for a panel that unfolds or grows by shrinking or folding the others.
#include <windows.h>
#include <cstdint>
#include "wul/WULOffscreen.h"
#include "wul/WULPanel.h"

class CBoolSetting;
class CIntSetting;
class CWULStandardBarItem;

class CVCFoldingPanel : public CWULContainer {
public:
  enum { CAPTION_HEIGHT = 15, GRIP_HEIGHT = 6, FOLDED_HEIGHT = CAPTION_HEIGHT + 2 };
  enum { MOUSE_NONE = 0, MOUSE_BUTTON = 1, MOUSE_GRIP = 2 };
  // Sent to the master with the number of pixels it is asked to free.
  enum { NOTIFY_MAKE_ROOM = 1000 };

  // Throws CWULError 5 when the client container cannot be made.
  CVCFoldingPanel();
  // Writes the state of a panel made by CreateFoldingPanel into its settings.
  ~CVCFoldingPanel() override;

  virtual void SetFolded(bool on);
  void Fold() { SetFolded(true); }
  bool IsFolded() const { return folded; }
  virtual void SetResizable(bool on);
  bool IsResizable() const { return resizable; }
  // The client height the panel has while unfolded.
  void SetClientHeight(int value) override;
  int GetUnfoldedClientHeight() const { return unfoldedHeight; }
  virtual void SetMinClientHeight(int value);
  int GetMinClientHeight() const { return minClientHeight; }
  CWULContainer* GetClientContainer() { return clientContainer; }

  const RECT& GetCaptionRect() const { return captionRect; }
  const RECT& GetButtonRect() const { return buttonRect; }
  const RECT& GetGripRect() const { return gripRect; }
  int GetMouseMode() const { return mouseMode; }
  bool IsButtonPressed() const { return buttonPressed; }

  void OnClientSizeChanged() override;
  void OnSizeChanged() override;
  LRESULT OnNcHitTest(int hx, int hy) override;
  LRESULT OnMouseMove(int keys, int mx, int my) override;
  LRESULT OnLButtonUp(int keys, int mx, int my) override;
  LRESULT OnCaptureChanged(HWND newCapture) override;
  LRESULT OnEraseBackground(HDC dc) override;
  void ComputeInsets() override;
  LRESULT OnNcLButtonDown(int hit, int nx, int ny) override;
  LRESULT OnNcLButtonDblClk(int hit, int nx, int ny) override;
  LRESULT PaintNonClient(HDC dc) override;

  // The whole window as last painted; only the frame is copied to the window.
  CWULOffscreenBuffer frameBuffer;

protected:
  CWULContainer* clientContainer;
  RECT captionRect;
  RECT buttonRect;
  RECT gripRect;
  bool folded;
  bool resizable;
  int32_t unfoldedHeight;
  int32_t minClientHeight;
  int32_t mouseMode;
  bool buttonPressed;
  int32_t startHeight;
  int32_t startCursorY;  // screen

private:
  void RelayoutFrame();
  void RepaintButton();
  bool CaptionActive();
};

class CPanelMaster : public CWULPanel {
public:
  int32_t HandleNotify(CWULObject* sender, int32_t code, intptr_t param) override;
  void OnClientSizeChanged() override;
};

extern CWULPanel* g_PanelDock;
extern CPanelMaster* g_PanelMaster;

// winbase.h keeps an old macro of this name.
#ifdef GetFreeSpace
#undef GetFreeSpace
#endif

namespace PanelMaster {
// The master's client height below its last panel; negative when the panels overflow.
int GetFreeSpace();
// Frees amount pixels by folding the lowest unfolded panels (other than except) and
// shrinking the resizable ones towards their minimum heights.
void MakeRoom(int amount, CVCFoldingPanel* except);
}  // namespace PanelMaster

// Builds the dock, the master and its panels in the current default parent (the main
// window). Shows "Panel master creation failed" and passes a failure on.
void CreatePanelMaster();
// Repaints every panel's caption (after the main window was activated or deactivated).
void RepaintPanelCaptions();

// The frame every panel builder makes: a folding panel in the master with its caption,
// resizable, its minimum client height, and its client height and folded state from the
// settings, which its destroy callback writes back. global is cleared on destruction.
CVCFoldingPanel* CreateFoldingPanel(const char* caption, int minClientHeight, CBoolSetting* foldedSetting,
                                    CIntSetting* heightSetting, CVCFoldingPanel** global);
// Shows "%s panel creation failed" with the name.
void ReportPanelFailure(const char* name);
// Sets up a side dock of the main window (the panel master's, the toolbox): sunken, a
// one-pixel border, the client width, aligned to the side, deleted reported to the handler.
void SetUpDockPanel(CWULPanel* panel, CWULInteractor::Handler deleted, int clientWidth, int alignment);
// Puts the picture of a bitmap resource into one image slot of a panel's bar button, as a
// grey-scale copy when grey is set; the slot stays empty when the program lacks the resource.
void SetPanelButtonPicture(CWULStandardBarItem* button, int which, int resourceId, bool grey = false);
