// The plug-in's option dialogs and image chooser, shown by its exports and driven with
// real clicks and keys.
#include <gtest/gtest.h>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>
#include "DialogProbe.h"
#include "RastrelHarness.h"

// The BMP writer compiled into BmpWriterOptionsTest calls the dialog, so its code is
// compiled into this program too.
#include "plugins/rastrel/BmpOptionsDialog.cpp"

namespace {

struct Export {
  int result;
  int code;
  std::vector<uint8_t> bytes;
};

Export ExportWith(DialogProbe& probe, int type, VCXMultiImage* doc, const char* name) {
  ExportDialogsOn on;
  const std::string path = TempPath(name);
  DeleteFileA(path.c_str());
  DialogProbeArm arm(probe);
  Export e{Rastrel().exportFile(nullptr, path.c_str(), type, doc), 0, {}};
  e.code = Rastrel().LastError();
  e.bytes = ReadFileBytes(path);
  DeleteFileA(path.c_str());
  return e;
}

VCXMultiImage* OneImage(uint32_t format, int width, int height) {
  const int palette = format == VCX_FORMAT_8 ? 256 : format == VCX_FORMAT_4 ? 16 : format == VCX_FORMAT_1 ? 2 : 0;
  return Wrap({MakeIcon(format, width, height, palette, false)});
}

}  // namespace

TEST(BmpOptionsDialog, ThirtyTwoBitsRemembersTheFormatAndCancelKeepsIt) {
  VCXMultiImage* doc = OneImage(VCX_FORMAT_32, 4, 3);
  DialogProbe probe;
  probe.caption = "BMP options";
  probe.run = [](HWND dialog) {
    const SIZE size = ClientSize(dialog);
    EXPECT_EQ(size.cx, 244);
    EXPECT_EQ(size.cy, 109);
    EXPECT_TRUE(IsCheckedText(dialog, "A8:R8:G8:B8 (32 bpp)"));
    EXPECT_FALSE(IsCheckedText(dialog, "Premultiplied alpha"));
    EXPECT_FALSE(IsCheckedText(dialog, "Top-down row order"));
    EXPECT_NE(ChildByText(dialog, "A1:R5:G5:B5 (16 bpp)"), nullptr);
    EXPECT_NE(ChildByText(dialog, "Format"), nullptr);
    ClickText(dialog, "A4:R4:G4:B4 (16 bpp)");
    EXPECT_TRUE(IsCheckedText(dialog, "A4:R4:G4:B4 (16 bpp)"));
    EXPECT_FALSE(IsCheckedText(dialog, "A8:R8:G8:B8 (32 bpp)"));
    SendKeyStroke(GetFocus(), VK_RETURN);
  };
  Export e = ExportWith(probe, 1, doc, "a4.bmp");
  EXPECT_TRUE(probe.seen);
  ASSERT_EQ(e.result, 1) << e.code;
  ASSERT_GT(e.bytes.size(), 14u + 108u);
  EXPECT_EQ(Le32(e.bytes, 14), 108u);
  EXPECT_EQ(Le16(e.bytes, 28), 16u);
  EXPECT_EQ(Le32(e.bytes, 14 + 40), 0x0F00u);
  EXPECT_EQ(Le32(e.bytes, 14 + 52), 0xF000u);

  // The choice is remembered; Escape cancels with code 7 and writes nothing.
  probe = DialogProbe();
  probe.caption = "BMP options";
  probe.run = [](HWND dialog) {
    EXPECT_TRUE(IsCheckedText(dialog, "A4:R4:G4:B4 (16 bpp)"));
    ClickText(dialog, "A1:R5:G5:B5 (16 bpp)");
    SendKeyStroke(GetFocus(), VK_ESCAPE);
  };
  e = ExportWith(probe, 1, doc, "cancel.bmp");
  EXPECT_TRUE(probe.seen);
  EXPECT_EQ(e.result, 0);
  EXPECT_EQ(e.code, 7);
  EXPECT_TRUE(e.bytes.empty());

  // Enter with the focus on Cancel cancels too; the choice is still A4:R4:G4:B4.
  probe = DialogProbe();
  probe.caption = "BMP options";
  probe.run = [](HWND dialog) {
    EXPECT_TRUE(IsCheckedText(dialog, "A4:R4:G4:B4 (16 bpp)"));
    HWND cancel = ChildByText(dialog, "Cancel");
    ASSERT_NE(cancel, nullptr);
    SetFocus(cancel);
    SendKeyStroke(cancel, VK_RETURN);
  };
  e = ExportWith(probe, 1, doc, "cancel2.bmp");
  EXPECT_EQ(e.code, 7);

  // Back to the default with OK.
  probe = DialogProbe();
  probe.caption = "BMP options";
  probe.run = [](HWND dialog) {
    EXPECT_TRUE(IsCheckedText(dialog, "A4:R4:G4:B4 (16 bpp)"));
    ClickText(dialog, "A8:R8:G8:B8 (32 bpp)");
    ClickText(dialog, "OK");
  };
  e = ExportWith(probe, 1, doc, "a8.bmp");
  ASSERT_EQ(e.result, 1);
  EXPECT_EQ(Le16(e.bytes, 28), 32u);
  VcsFreeMultiImage(doc);
}

TEST(BmpOptionsDialog, PaletteImagesOfferTopDownOnly) {
  VCXMultiImage* doc = OneImage(VCX_FORMAT_8, 5, 2);
  DialogProbe probe;
  probe.caption = "BMP options";
  probe.run = [](HWND dialog) {
    const SIZE size = ClientSize(dialog);
    EXPECT_EQ(size.cx, 240);
    EXPECT_EQ(size.cy, 60);
    EXPECT_FALSE(IsEnabledText(dialog, "RLE compression"));
    EXPECT_FALSE(IsCheckedText(dialog, "RLE compression"));
    EXPECT_TRUE(IsEnabledText(dialog, "Top-down row order"));
    EXPECT_EQ(ChildByText(dialog, "Format"), nullptr);
    ClickText(dialog, "Top-down row order");
    SendKeyStroke(GetFocus(), VK_RETURN);
  };
  Export e = ExportWith(probe, 1, doc, "topdown.bmp");
  ASSERT_EQ(e.result, 1) << e.code;
  EXPECT_EQ(static_cast<int32_t>(Le32(e.bytes, 22)), -2);

  // Closing with the window's close button is Cancel.
  probe = DialogProbe();
  probe.caption = "BMP options";
  probe.run = [](HWND dialog) {
    EXPECT_TRUE(IsCheckedText(dialog, "Top-down row order"));
    ClickText(dialog, "Top-down row order");
    SendMessageA(dialog, WM_CLOSE, 0, 0);
  };
  e = ExportWith(probe, 1, doc, "closed.bmp");
  EXPECT_EQ(e.code, 7);

  probe = DialogProbe();
  probe.caption = "BMP options";
  probe.run = [](HWND dialog) {
    EXPECT_TRUE(IsCheckedText(dialog, "Top-down row order"));
    ClickText(dialog, "Top-down row order");
    ClickText(dialog, "OK");
  };
  e = ExportWith(probe, 1, doc, "bottomup.bmp");
  ASSERT_EQ(e.result, 1);
  EXPECT_EQ(static_cast<int32_t>(Le32(e.bytes, 22)), 2);
  VcsFreeMultiImage(doc);
}

TEST(OptionDialogs, TheCloseBoxAtTheCaptionsEndCancels) {
  const struct {
    uint32_t format;
    int type;
    const char* caption;
  } cases[] = {{VCX_FORMAT_8, 1, "BMP options"},
               {VCX_FORMAT_24, 1, "BMP options"},
               {VCX_FORMAT_32, 1, "BMP options"},
               {VCX_FORMAT_32, 2, "ICO options"},
               {VCX_FORMAT_32, 3, "CUR options"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.caption) + " " + std::to_string(c.format >> 16));
    VCXMultiImage* doc = OneImage(c.format, 4, 4);
    DialogProbe probe;
    probe.caption = c.caption;
    probe.run = [](HWND dialog) { EXPECT_TRUE(ClickCloseBox(dialog)); };
    const Export e = ExportWith(probe, c.type, doc, "closed.bin");
    EXPECT_TRUE(probe.seen);
    EXPECT_EQ(e.result, 0);
    EXPECT_EQ(e.code, VCX_ERROR_CANCELLED);
    EXPECT_TRUE(e.bytes.empty());
    VcsFreeMultiImage(doc);
  }
}

TEST(BmpOptionsDialog, TwentyFourBitFormats) {
  VCXMultiImage* doc = OneImage(VCX_FORMAT_24, 3, 3);
  for (int round = 0; round < 2; ++round) {
    DialogProbe probe;
    probe.caption = "BMP options";
    probe.run = [round](HWND dialog) {
      const SIZE size = ClientSize(dialog);
      EXPECT_EQ(size.cx, 226);
      EXPECT_EQ(size.cy, 93);
      EXPECT_NE(ChildByText(dialog, "R5:G5:B5 (15 bpp)"), nullptr);
      EXPECT_TRUE(IsCheckedText(dialog, round ? "R5:G6:B5 (16 bpp)" : "R8:G8:B8 (24 bpp)"));
      ClickText(dialog, round ? "R8:G8:B8 (24 bpp)" : "R5:G6:B5 (16 bpp)");
      ClickText(dialog, "OK");
    };
    Export e = ExportWith(probe, 1, doc, "rgb.bmp");
    ASSERT_EQ(e.result, 1) << e.code;
    EXPECT_EQ(Le16(e.bytes, 28), round ? 24u : 16u);
    if (!round) {
      EXPECT_EQ(Le32(e.bytes, 14 + 40), 0xF800u);
    }
  }
  VcsFreeMultiImage(doc);
}

TEST(IconOptionsDialog, OneIconCannotBeSorted) {
  VCXMultiImage* doc = OneImage(VCX_FORMAT_32, 32, 32);
  DialogProbe probe;
  probe.caption = "ICO options";
  probe.run = [](HWND dialog) {
    const SIZE size = ClientSize(dialog);
    EXPECT_EQ(size.cx, 240);
    EXPECT_EQ(size.cy, 270);
    for (const char* text : {"As is", "Size / Color", "Color / Size"})
      EXPECT_FALSE(IsEnabledText(dialog, text)) << text;
    EXPECT_TRUE(IsCheckedText(dialog, "As is"));
    EXPECT_FALSE(IsEnabledText(dialog, "Enable"));
    EXPECT_FALSE(IsEnabledText(dialog, "Multipass"));
    // The captions of the disabled groups are dimmed.
    CWULAppWindow* window = ObjectOf<CWULAppWindow>(dialog);
    const uint32_t dimmed = window->GetFont().color.Blend(window->GetColor(), 0.5f).value;
    for (const char* group : {"PNG compression", "Size order", "Color depth order"}) {
      HWND frame = ChildByText(dialog, group);
      ASSERT_NE(frame, nullptr) << group;
      EXPECT_EQ(ObjectOf<CWULInteractor>(frame)->GetFont().color.value, dimmed) << group;
    }
    EXPECT_NE(ObjectOf<CWULInteractor>(ChildByText(dialog, "Image sort"))->GetFont().color.value, dimmed);
    HWND list = ChildBySize(dialog, 232, 114);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(ListTexts(list), std::vector<std::string>{"32x32 RGBA"});
    SendKeyStroke(GetFocus(), VK_RETURN);
  };
  Export e = ExportWith(probe, 2, doc, "one.ico");
  EXPECT_TRUE(probe.seen);
  EXPECT_EQ(e.result, 1) << e.code;
  VcsFreeMultiImage(doc);
}

TEST(IconOptionsDialog, OrderFollowsTheControlsAndIsWritten) {
  VCXMultiImage* doc = Wrap({MakeIcon(VCX_FORMAT_8, 16, 16, 256, true), MakeIcon(VCX_FORMAT_32, 256, 256, 0, false),
                             MakeIcon(VCX_FORMAT_4, 32, 32, 16, true)});
  DialogProbe probe;
  probe.caption = "ICO options";
  probe.run = [](HWND dialog) {
    HWND list = ChildBySize(dialog, 232, 114);
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(IsCheckedText(dialog, "As is"));
    EXPECT_FALSE(IsEnabledText(dialog, "Ascending"));
    EXPECT_TRUE(IsCheckedText(dialog, "Enable"));
    EXPECT_TRUE(IsEnabledText(dialog, "Multipass"));
    // Large entries go last while PNG compression is on, whatever the sort.
    EXPECT_EQ(ListTexts(list), (std::vector<std::string>{"16x16 256", "32x32 16", "256x256 RGBA"}));
    ClickText(dialog, "Size / Color");
    EXPECT_TRUE(IsEnabledText(dialog, "Descending"));
    EXPECT_EQ(ListTexts(list), (std::vector<std::string>{"16x16 256", "32x32 16", "256x256 RGBA"}));
    // Descending sizes: the large entry stays last while PNG compression is on ...
    HWND sizeGroup = ChildByText(dialog, "Size order");
    ASSERT_NE(sizeGroup, nullptr);
    std::vector<HWND> inGroup = DialogChildren(sizeGroup);
    ASSERT_EQ(inGroup.size(), 2u);
    ClickWindow(inGroup[1]);
    EXPECT_EQ(ListTexts(list), (std::vector<std::string>{"32x32 16", "16x16 256", "256x256 RGBA"}));
    // ... and comes first without it; Multipass follows Enable.
    ClickText(dialog, "Enable");
    EXPECT_FALSE(IsEnabledText(dialog, "Multipass"));
    EXPECT_EQ(ListTexts(list), (std::vector<std::string>{"256x256 RGBA", "32x32 16", "16x16 256"}));
    SendKeyStroke(GetFocus(), VK_RETURN);
  };
  Export e = ExportWith(probe, 2, doc, "order.ico");
  ASSERT_EQ(e.result, 1) << e.code;
  ASSERT_GT(e.bytes.size(), 6u + 48u);
  // The directory in the order shown: 256 (written as 0), 32, 16; the large entry as DIB.
  EXPECT_EQ(e.bytes[6], 0);
  EXPECT_EQ(e.bytes[6 + 16], 32);
  EXPECT_EQ(e.bytes[6 + 32], 16);
  EXPECT_EQ(Le32(e.bytes, Le32(e.bytes, 6 + 12)), 40u);

  // Remembered; Cancel is code 7. Then back to the defaults.
  probe = DialogProbe();
  probe.caption = "CUR options";
  probe.run = [](HWND dialog) {
    EXPECT_TRUE(IsCheckedText(dialog, "Size / Color"));
    EXPECT_FALSE(IsCheckedText(dialog, "Enable"));
    SendKeyStroke(GetFocus(), VK_ESCAPE);
  };
  e = ExportWith(probe, 3, doc, "cancel.cur");
  EXPECT_TRUE(probe.seen);
  EXPECT_EQ(e.code, 7);

  probe = DialogProbe();
  probe.caption = "ICO options";
  probe.run = [](HWND dialog) {
    HWND sizeGroup = ChildByText(dialog, "Size order");
    ClickWindow(DialogChildren(sizeGroup)[0]);
    ClickText(dialog, "As is");
    ClickText(dialog, "Enable");
    EXPECT_TRUE(IsEnabledText(dialog, "Multipass"));
    EXPECT_TRUE(IsCheckedText(dialog, "Multipass"));
    HWND list = ChildBySize(dialog, 232, 114);
    EXPECT_EQ(ListTexts(list), (std::vector<std::string>{"16x16 256", "32x32 16", "256x256 RGBA"}));
    ClickText(dialog, "OK");
  };
  e = ExportWith(probe, 2, doc, "asis.ico");
  ASSERT_EQ(e.result, 1) << e.code;
  EXPECT_EQ(e.bytes[6], 16);
  EXPECT_EQ(e.bytes[6 + 16], 32);
  EXPECT_EQ(e.bytes[6 + 32], 0);
  VcsFreeMultiImage(doc);
}

TEST(IconOptionsDialog, OnlyOneAtATime) {
  VCXMultiImage* doc = Wrap({MakeIcon(VCX_FORMAT_32, 8, 8, 0, false), MakeIcon(VCX_FORMAT_32, 4, 4, 0, false)});
  int nestedResult = -1, nestedCode = -1;
  DialogProbe probe;
  probe.caption = "ICO options";
  probe.run = [&](HWND dialog) {
    const std::string path = TempPath("nested.ico");
    nestedResult = Rastrel().exportFile(nullptr, path.c_str(), 2, doc);
    nestedCode = Rastrel().LastError();
    DeleteFileA(path.c_str());
    SendKeyStroke(GetFocus(), VK_ESCAPE);
  };
  Export e = ExportWith(probe, 2, doc, "outer.ico");
  EXPECT_EQ(e.code, 7);
  EXPECT_EQ(nestedResult, 0);
  EXPECT_EQ(nestedCode, 1);
  VcsFreeMultiImage(doc);
}
