#include <gtest/gtest.h>
#include <windows.h>
#include <cstring>
#include <vector>
#include "document/Image.h"
#include "document/Layer.h"
#include "shell/Settings.h"
#include "ui/ThumbnailList.h"
#include "ui/ViewSettings.h"
#include "wul/ControlTestKit.h"
#include "wul/WULImage.h"

namespace {

// A plain item of a fixed height that paints itself in one colour.
class BlockItem : public CThumbnailItem {
public:
  explicit BlockItem(int32_t h, uint32_t rgb = 0x336699) : fixedHeight(h), fill(rgb) {}
  void Layout() override { height = fixedHeight; }
  void Paint(CWULOffscreenBuffer* buffer) override {
    ++paints;
    GdiFlush();
    RECT r = {0, 0, width, height};
    buffer->GetImage()->FillRect(&r, CWULColor(static_cast<int>(fill >> 16), static_cast<int>((fill >> 8) & 0xFF),
                                               static_cast<int>(fill & 0xFF)));
  }
  int32_t fixedHeight;
  uint32_t fill;
  int paints = 0;
};

struct Change {
  CThumbnailItem* item;
  CThumbnailItem* old;
};
std::vector<Change> changes;
void OnChanged(CThumbnailList*, CThumbnailItem* item, CThumbnailItem* old) { changes.push_back({item, old}); }

int doubleClicks = 0;
void OnDoubleClick(CThumbnailItem*, CThumbnailItem*) { ++doubleClicks; }
int buttonClicks = 0;
void OnButton(CLayerListItem*) { ++buttonClicks; }

class ThumbnailListTest : public ControlTest {
protected:
  void SetUp() override {
    ControlTest::SetUp();
    EnsureViewSettings();
    changes.clear();
    doubleClicks = buttonClicks = 0;
    list = new CThumbnailList();
    list->SetBorderStyle(0);
    list->SetBounds(0, 0, 200, 100);
    list->SetLineStep(1, 10);
    list->selectionChangedCallback = &OnChanged;
  }
  // Ten items of 30 pixels with margin 4 and spacing 2: items at 4, 36, 68, ...
  void AddTen() {
    list->SetMargin(4);
    list->SetSpacing(2);
    for (int i = 0; i < 10; ++i) {
      items[i] = new BlockItem(30);
      list->Add(items[i]);
    }
  }
  void Key(int key) { KeyDown(list->GetHandle(), key); }

  CThumbnailList* list = nullptr;
  BlockItem* items[10] = {};
};

TEST_F(ThumbnailListTest, LayoutStacksItemsWithMarginAndSpacing) {
  EXPECT_EQ(list->GetMargin(), 0);
  EXPECT_EQ(list->GetSpacing(), 0);
  EXPECT_EQ(list->GetContentHeightOfItems(), 0);
  AddTen();
  EXPECT_EQ(list->GetCount(), 10);
  EXPECT_EQ(items[0]->y, 4);
  EXPECT_EQ(items[1]->y, 36);
  EXPECT_EQ(items[9]->y, 4 + 9 * 32);
  EXPECT_EQ(items[0]->x, 4);
  EXPECT_EQ(list->GetContentHeightOfItems(), 2 * 4 + 10 * 30 + 9 * 2);
  EXPECT_EQ(list->GetContentHeight(), list->GetContentHeightOfItems());
  // The vertical bar takes its width from the items.
  EXPECT_EQ(items[0]->width, list->GetClientWidth() - 8);
  EXPECT_LT(list->GetClientWidth(), 200);
  EXPECT_EQ(list->GetBuffer().GetWidth(), items[0]->width);
  EXPECT_EQ(list->GetBuffer().GetHeight(), 30);
  list->SetSpacing(0);
  EXPECT_EQ(items[1]->y, 34);
}

TEST_F(ThumbnailListTest, InsertMoveRemoveAndItemOwnership) {
  auto* a = new BlockItem(10);
  auto* b = new BlockItem(20);
  auto* c = new BlockItem(30);
  list->Add(a);
  list->Add(c);
  list->Insert(b, c);
  EXPECT_EQ(list->GetFirst(), a);
  EXPECT_EQ(CThumbnailList::Next(a), b);
  EXPECT_EQ(list->GetLast(), c);
  EXPECT_EQ(b->GetList(), list);
  EXPECT_EQ(b->y, 10);
  list->Move(a, nullptr);
  EXPECT_EQ(list->GetLast(), a);
  EXPECT_EQ(a->y, 50);
  list->Move(a, a);
  EXPECT_EQ(list->GetLast(), a);
  // Another list takes the item away.
  CThumbnailList other;
  other.Add(b);
  EXPECT_EQ(list->GetCount(), 2);
  EXPECT_EQ(b->GetList(), &other);
  // Destroying an item in a list takes it out first.
  delete c;
  EXPECT_EQ(list->GetCount(), 1);
  EXPECT_EQ(list->GetFirst(), a);
  list->Remove(a);
  EXPECT_EQ(a->GetList(), nullptr);
  EXPECT_EQ(list->GetCount(), 0);
  delete a;
}

TEST_F(ThumbnailListTest, RemovingTheSelectedItemClearsTheSelection) {
  AddTen();
  list->Select(items[2]);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].item, items[2]);
  EXPECT_EQ(changes[0].old, nullptr);
  list->Delete(items[2]);
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[1].item, nullptr);
  EXPECT_EQ(changes[1].old, items[2]);
  EXPECT_EQ(list->GetSelected(), nullptr);
  EXPECT_EQ(list->GetCount(), 9);
  list->Clear();
  EXPECT_EQ(list->GetCount(), 0);
  EXPECT_EQ(list->GetContentHeight(), 0);
}

TEST_F(ThumbnailListTest, SelectingScrollsTheItemAndItsMarginIntoView) {
  AddTen();
  Show();
  const int clientH = list->GetClientHeight();
  ASSERT_EQ(clientH, 100);
  list->Select(items[5]);  // 164..194
  EXPECT_EQ(list->GetScrollY(), 164 + 30 + 4 - clientH);
  list->Select(items[9]);
  EXPECT_EQ(list->GetScrollY(), list->GetContentHeight() - clientH);
  list->Select(items[1]);  // 36
  EXPECT_EQ(list->GetScrollY(), 36 - 4);
  list->Select(items[0]);
  EXPECT_EQ(list->GetScrollY(), 0);
  // Selecting the selected item again reports nothing.
  const size_t count = changes.size();
  list->Select(items[0]);
  EXPECT_EQ(changes.size(), count);
  list->ClearSelection();
  EXPECT_EQ(list->GetSelected(), nullptr);
  EXPECT_EQ(changes.back().item, nullptr);
}

TEST_F(ThumbnailListTest, ClicksSelectAndDoubleClicksRunTheCallback) {
  AddTen();
  Show();
  items[1]->doubleClickCallback = &OnDoubleClick;
  Click(list, 20, 40);
  EXPECT_EQ(list->GetSelected(), items[1]);
  // The margin and the gaps hold no item.
  EXPECT_EQ(list->ItemAt(2, 40), nullptr);
  EXPECT_EQ(list->ItemAt(20, 35), nullptr);
  EXPECT_EQ(list->ItemAt(20, 36), items[1]);
  wulSendMessage(list->GetHandle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, 40));
  EXPECT_EQ(doubleClicks, 1);
  wulSendMessage(list->GetHandle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(20, 70));
  EXPECT_EQ(list->GetSelected(), items[2]);
  // After scrolling the same client point is another item.
  list->SetScrollY(64);
  EXPECT_EQ(list->ItemAt(20, 40), items[3]);
}

TEST_F(ThumbnailListTest, KeysMoveTheSelectionWhileFocused) {
  AddTen();
  Show();
  if (!Focused(list))
    GTEST_SKIP() << "no focus on this display";
  KeyStateScope keys;
  Key(VK_DOWN);
  EXPECT_EQ(list->GetSelected(), items[0]);
  Key(VK_DOWN);
  EXPECT_EQ(list->GetSelected(), items[1]);
  Key(VK_UP);
  Key(VK_UP);
  EXPECT_EQ(list->GetSelected(), items[0]);
  Key(VK_END);
  EXPECT_EQ(list->GetSelected(), items[9]);
  Key(VK_DOWN);
  EXPECT_EQ(list->GetSelected(), items[9]);
  Key(VK_HOME);
  EXPECT_EQ(list->GetSelected(), items[0]);
  list->ClearSelection();
  Key(VK_UP);
  EXPECT_EQ(list->GetSelected(), items[0]);
  keys.Press(VK_CONTROL);
  Key(VK_END);
  EXPECT_EQ(list->GetScrollY(), list->GetContentHeight() - list->GetClientHeight());
  EXPECT_EQ(list->GetSelected(), items[0]);
  Key(VK_UP);
  EXPECT_EQ(list->GetScrollY(), list->GetContentHeight() - list->GetClientHeight() - 10);
  Key(VK_HOME);
  EXPECT_EQ(list->GetScrollY(), 0);
  Key(VK_DOWN);
  EXPECT_EQ(list->GetScrollY(), 10);
}

TEST_F(ThumbnailListTest, PaintingBlitsEachItemBetweenTheListColour) {
  AddTen();
  Show();
  CWULOffscreenBuffer shot;
  shot.SetSize(list->GetClientWidth(), list->GetClientHeight());
  HDC dc = GetDC(list->GetHandle());
  RedrawWindow(list->GetHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  BitBlt(shot.GetDC(), 0, 0, shot.GetWidth(), shot.GetHeight(), dc, 0, 0, SRCCOPY);
  ReleaseDC(list->GetHandle(), dc);
  const uint32_t background = list->GetColor().value & 0xFFFFFFu;
  EXPECT_EQ(RGBAt(shot, 10, 10), 0x336699u);
  EXPECT_EQ(RGBAt(shot, 10, 2), background);   // margin above
  EXPECT_EQ(RGBAt(shot, 2, 10), background);   // margin left
  EXPECT_EQ(RGBAt(shot, 10, 35), background);  // spacing
  EXPECT_EQ(RGBAt(shot, 10, 40), 0x336699u);
  EXPECT_GT(items[0]->paints, 0);
  EXPECT_EQ(items[9]->paints, 0);  // never visible
}

TEST_F(ThumbnailListTest, WheelScrollsByLineSteps) {
  AddTen();
  Show();
  list->OnMouseWheel(-2.0f, 0, 10, 10);
  EXPECT_EQ(list->GetScrollY(), 20);
  list->OnMouseWheel(0.5f, 0, 10, 10);
  EXPECT_EQ(list->GetScrollY(), 15);
}

// An image with one layer of w x h in one colour.
struct ImageDoc {
  ImageDoc(int32_t w, int32_t h, uint32_t argb) {
    image = new CImage();
    image->SetSize(w, h);
    image->SetTargetFormat(CImage::FORMAT_32BIT_ARGB);
    layer = new CRasterLayer();
    image->AddLayer(layer);
    layer->GetPixels()->Fill(argb);
    image->SetActiveLayer(layer);
    image->UpdateAll();
  }
  ~ImageDoc() { delete image; }
  CImage* image;
  CRasterLayer* layer;
};

TEST_F(ThumbnailListTest, ImageItemThumbnailKeepsEachSideWithinTheSize) {
  ImageDoc wide(256, 64, 0xFFFF0000u);
  auto* item = new CImageListItem();
  list->Add(item);
  item->SetThumbnailSize(32);
  item->SetImage(wide.image);
  EXPECT_EQ(item->height, 34);
  ASSERT_NE(item->thumbnail, nullptr);
  EXPECT_EQ(item->thumbnail->width, 32);
  EXPECT_EQ(item->thumbnail->height, 32);
  EXPECT_EQ(item->thumbnail->GetPixel(5, 5), 0xFFFF0000u);
  EXPECT_EQ(std::strncmp(item->text.text, "256x64 ", 7), 0);
  EXPECT_GT(std::strlen(item->text.text), 7u);

  ImageDoc small(8, 8, 0xFF00FF00u);
  item->SetImage(small.image);
  ASSERT_NE(item->thumbnail, nullptr);
  EXPECT_EQ(item->thumbnail->width, 8);
  EXPECT_EQ(item->thumbnail->height, 8);
  EXPECT_EQ(std::strncmp(item->text.text, "8x8 ", 4), 0);
  // Painted centred in the 32 x 32 box at (1, 1).
  Show();
  item->Paint(&list->GetBuffer());
  GdiFlush();
  const int corner = 1 + (32 - 8) / 2;
  EXPECT_EQ(RGBAt(list->GetBuffer(), corner, corner), 0x00FF00u);
  EXPECT_EQ(RGBAt(list->GetBuffer(), corner + 7, corner + 7), 0x00FF00u);
  EXPECT_NE(RGBAt(list->GetBuffer(), corner - 1, corner), 0x00FF00u);
  EXPECT_NE(RGBAt(list->GetBuffer(), corner + 8, corner), 0x00FF00u);
  // Outside the item rectangle deflated by 1 nothing is hit.
  EXPECT_FALSE(item->HitTest(0, 5));
  EXPECT_TRUE(item->HitTest(1, 1));
  EXPECT_FALSE(item->HitTest(item->width - 1, 5));
  item->SetImage(nullptr);
  EXPECT_EQ(item->thumbnail, nullptr);
}

TEST_F(ThumbnailListTest, SelectedImageItemUsesTheSelectionColour) {
  ImageDoc doc(16, 16, 0xFF0000FFu);
  auto* item = new CImageListItem();
  item->SetThumbnailSize(32);
  item->SetImage(doc.image);
  list->Add(item);
  Show();
  item->Paint(&list->GetBuffer());
  GdiFlush();
  EXPECT_EQ(RGBAt(list->GetBuffer(), item->width - 3, 3), item->color.value & 0xFFFFFFu);
  list->Select(item);
  item->Paint(&list->GetBuffer());
  GdiFlush();
  EXPECT_EQ(RGBAt(list->GetBuffer(), item->width - 3, 3), wulColors[18].value & 0xFFFFFFu);
}

TEST_F(ThumbnailListTest, LayerItemButtonRunsItsCallback) {
  ImageDoc doc(16, 16, 0xFF0000FFu);
  doc.layer->SetName("Background");
  auto* item = new CLayerListItem();
  item->buttonCallback = &OnButton;
  item->doubleClickCallback = &OnDoubleClick;
  list->Add(item);
  item->SetThumbnailSize(32);
  item->SetLayer(doc.layer);
  EXPECT_STREQ(item->text.text, "Background");
  Show();
  const int m = (34 - 14) / 2;
  EXPECT_EQ(item->buttonRect.right, item->width - m);
  EXPECT_EQ(item->buttonRect.left, item->width - m - 14);
  EXPECT_EQ(item->buttonRect.top, m);
  EXPECT_EQ(item->buttonRect.bottom, m + 14);
  const int bx = item->x + item->buttonRect.left + 3;
  const int by = item->y + item->buttonRect.top + 3;
  Click(list, bx, by);
  EXPECT_EQ(buttonClicks, 1);
  EXPECT_EQ(list->GetSelected(), nullptr);
  wulSendMessage(list->GetHandle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(bx, by));
  EXPECT_EQ(buttonClicks, 2);
  EXPECT_EQ(doubleClicks, 0);
  Click(list, item->x + 50, item->y + 5);
  EXPECT_EQ(list->GetSelected(), item);
  wulSendMessage(list->GetHandle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(item->x + 50, item->y + 5));
  EXPECT_EQ(doubleClicks, 1);
  // An unnamed layer shows its type name and number.
  doc.layer->SetName("");
  item->Refresh();
  EXPECT_EQ(std::strncmp(item->text.text, "Layer ", 6), 0);
}

TEST_F(ThumbnailListTest, SizeItemLaysOutPictureAndWrappedText) {
  auto* item = new CSizeListItem();
  list->Add(item);
  EXPECT_EQ(item->padding, 4);
  EXPECT_EQ(item->textInset, 1);
  EXPECT_EQ(item->height, 3);
  auto* picture = new CWULImage(16, 16);
  picture->Fill(CWULColor(200, 10, 10));
  item->SetPicture(picture);
  EXPECT_EQ(item->pictureRect.bottom - item->pictureRect.top, 18);
  EXPECT_EQ(item->pictureRect.right - item->pictureRect.left, 18);
  EXPECT_EQ(item->pictureRect.top, 5);
  EXPECT_EQ(item->pictureRect.left, (item->width - 18) / 2);
  const int32_t pictureOnly = item->height;
  item->SetText("16 x 16 pixels, a long caption that has to wrap over lines");
  EXPECT_GT(item->textRect.bottom, item->textRect.top);
  EXPECT_GE(item->textRect.top, item->pictureRect.bottom);
  EXPECT_EQ(item->height, item->textInset + item->textRect.bottom + 1);
  EXPECT_GT(item->height, pictureOnly);
  // A new picture replaces the old one and is laid out anew.
  item->SetPicture(new CWULImage(8, 8));
  EXPECT_EQ(item->pictureRect.right - item->pictureRect.left, 10);
  Show();
  item->Paint(&list->GetBuffer());
  EXPECT_EQ(list->GetCount(), 1);
}

TEST_F(ThumbnailListTest, RefreshOfAnItemRelaysTheList) {
  ImageDoc doc(16, 16, 0xFF0000FFu);
  auto* first = new CImageListItem();
  auto* second = new CImageListItem();
  list->Add(first);
  list->Add(second);
  first->SetThumbnailSize(16);
  second->SetThumbnailSize(16);
  EXPECT_EQ(second->y, 18);
  first->SetThumbnailSize(40);
  EXPECT_EQ(second->y, 42);
}

TEST_F(ThumbnailListTest, DestroyingTheSelectedItemOfAShownList) {
  AddTen();
  Show();
  list->Select(items[3]);
  delete items[3];
  EXPECT_EQ(list->GetSelected(), nullptr);
  EXPECT_EQ(list->GetCount(), 9);
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[1].item, nullptr);
  EXPECT_EQ(changes[1].old, items[3]);
  EXPECT_EQ(items[4]->y, 4 + 3 * 32);
  PumpPending();
}

}  // namespace
