#include <gtest/gtest.h>
#include <windows.h>
#include "ControlTestKit.h"
#include "wul/WULPopupBuffer.h"

namespace {

// A pixel of the window as the screen shows it, 0xRRGGBB.
uint32_t ScreenPixel(HWND window, int x, int y) {
  HDC dc = GetDC(window);
  const COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

class PopupBufferTest : public ControlTest {};

TEST_F(PopupBufferTest, BufferFollowsTheSizeAndStartsInTheWindowColour) {
  auto* popup = new CWULPopupBuffer;
  EXPECT_EQ(nullptr, popup->parent);
  EXPECT_EQ(nullptr, popup->GetImage());
  popup->color.SetRGB(10, 200, 30);
  popup->SetSize(16, 12);
  ASSERT_NE(nullptr, popup->GetImage());
  EXPECT_EQ(16, popup->buffer.GetWidth());
  EXPECT_EQ(12, popup->buffer.GetHeight());
  EXPECT_EQ(0x0AC81Eu, RGBAt(popup->buffer, 0, 0));
  EXPECT_EQ(0x0AC81Eu, RGBAt(popup->buffer, 15, 11));

  // A new size gives a new buffer, filled again.
  popup->GetImage()->SetPixel(3, 3, 0xFF0000FFu);
  popup->color.SetRGB(255, 255, 0);
  popup->SetSize(20, 20);
  EXPECT_EQ(20, popup->buffer.GetWidth());
  EXPECT_EQ(0xFFFF00u, RGBAt(popup->buffer, 3, 3));
  delete popup;
}

TEST_F(PopupBufferTest, PaintingShowsTheBufferWithoutTakingTheActivation) {
  Show();
  HWND active = GetForegroundWindow();
  auto* popup = new CWULPopupBuffer;
  popup->SetVisible(false);
  popup->color.SetRGB(0, 0, 255);
  popup->SetBounds(100, 100, 16, 16);
  RECT left = {0, 0, 8, 16};
  popup->GetImage()->FillRect(&left, CWULColor(0xFFFF0000u));
  popup->Incarnate(nullptr);
  ASSERT_NE(nullptr, popup->GetHandle());
  EXPECT_TRUE(GetWindowLongA(popup->GetHandle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  popup->Show();
  popup->Present();
  PumpPending();
  EXPECT_TRUE(IsWindowVisible(popup->GetHandle()));
  EXPECT_EQ(active, GetForegroundWindow());
  EXPECT_EQ(0xFF0000u, ScreenPixel(popup->GetHandle(), 2, 8));
  EXPECT_EQ(0x0000FFu, ScreenPixel(popup->GetHandle(), 12, 8));

  // The owner paints again and presents it.
  popup->Clear();
  popup->Present();
  PumpPending();
  EXPECT_EQ(0x0000FFu, ScreenPixel(popup->GetHandle(), 2, 8));
  HWND handle = popup->GetHandle();
  delete popup;
  EXPECT_FALSE(IsWindow(handle));
}

}  // namespace
