// Images through the real clipboard between running editors, and between an editor and a
// program that only knows device-independent bitmaps (this test process). The editors are
// driven by WM_COMMAND; what one of them pasted is read back from the project it saves.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>
#include "document/Image.h"
#include "document/Layer.h"
#include "document/PixelArray.h"
#include "document/Project.h"
#include "document/ProjectFile.h"
#include "ui/MainWindow.h"
#include "EditorProcess.h"

namespace {

const DWORD kStartMs = 30000;
const DWORD kCommandMs = 20000;

// The colour space of a version-5 header ("sRGB").
const DWORD kSRGB = 0x73524742u;

// 96 and 72 dots per inch in pixels per metre: not whole numbers.
const float kXResolution = 3779.5276f;
const float kYResolution = 2834.6457f;

// The source image: 7 x 5 (rows of 21 bytes at 24 bits, so bitmaps pad them), every pixel
// different, no pixel zero, alpha from opaque down to a quarter.
const int32_t kWidth = 7;
const int32_t kHeight = 5;

uint32_t SourcePixel(int32_t x, int32_t y) {
  if (x == 0 && y == 0)
    return 0xFF123456u;
  const uint32_t a = 0x40u + 0x25u * uint32_t(y) + 0x03u * uint32_t(x);
  const uint32_t r = 0x10u + 0x20u * uint32_t(x);
  const uint32_t g = 0xC0u - 0x18u * uint32_t(y);
  const uint32_t b = 0x05u + 0x11u * uint32_t(x) + 0x07u * uint32_t(y);
  return a << 24 | r << 16 | g << 8 | b;
}

// A project of one 32-bit image with one layer; pixel null leaves the layer transparent.
bool WriteProject(const std::string& path, int32_t width, int32_t height, uint32_t (*pixel)(int32_t, int32_t)) {
  std::unique_ptr<CProject> project(new CProject());
  CImage* image = new CImage();
  image->SetSize(width, height);
  image->SetTargetFormat(CImage::FORMAT_32BIT_ARGB);
  image->SetResolution(kXResolution, kYResolution);
  project->AddImage(image);
  CRasterLayer* layer = new CRasterLayer();
  image->AddLayer(layer);
  image->SetActiveLayer(layer);
  CPixelArray* pixels = layer->GetPixelArray();
  if (!pixels || pixels->width != width || pixels->height != height)
    return false;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      pixels->SetPixel(x, y, pixel ? pixel(x, y) : 0);
  image->UpdateAll();
  project->SetCurrentImage(image);
  CProjectWriter writer;
  return writer.Write(path.c_str(), project.get());
}

// Rows top-down.
struct Pixels {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> data;
  uint32_t At(int32_t x, int32_t y) const { return data[size_t(y) * size_t(width) + size_t(x)]; }
};

// The raster layers of the first image of a saved project, bottom first.
std::vector<Pixels> SavedLayers(const std::string& path) {
  std::vector<Pixels> layers;
  CProjectReader reader;
  std::unique_ptr<CProject> project(reader.Load(path.c_str()));
  CImage* image = project ? project->GetFirstImage() : nullptr;
  for (CLayer* layer = image ? image->GetFirstLayer() : nullptr; layer; layer = layer->GetNext()) {
    if (layer->GetKind() != CLayer::KIND_RASTER)
      continue;
    const CPixelArray* array = static_cast<CRasterLayer*>(layer)->GetPixelArray();
    Pixels p;
    p.width = array->width;
    p.height = array->height;
    p.data.assign(array->data, array->data + size_t(array->width) * size_t(array->height));
    layers.push_back(p);
  }
  return layers;
}

// The smallest rectangle of a layer holding every non-zero pixel: where a paste landed.
Pixels PastedPart(const Pixels& layer, POINT* origin = nullptr) {
  int32_t left = layer.width, top = layer.height, right = -1, bottom = -1;
  for (int32_t y = 0; y < layer.height; ++y) {
    for (int32_t x = 0; x < layer.width; ++x) {
      if (layer.At(x, y) == 0)
        continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  Pixels part;
  if (right < 0)
    return part;
  part.width = right - left + 1;
  part.height = bottom - top + 1;
  for (int32_t y = top; y <= bottom; ++y)
    for (int32_t x = left; x <= right; ++x)
      part.data.push_back(layer.At(x, y));
  if (origin)
    *origin = {left, top};
  return part;
}

// A device-independent bitmap as a program that knows nothing of the editor reads it.
struct Dib {
  BITMAPV5HEADER header = {};  // the fields past the block's own header size stay zero
  std::vector<RGBQUAD> colors;
  size_t bitsOffset = 0;
  int64_t stride = 0;
  Pixels pixels;
};

bool ReadDib(const std::vector<uint8_t>& block, Dib& dib) {
  DWORD size = 0;
  if (block.size() < sizeof(BITMAPINFOHEADER))
    return false;
  std::memcpy(&size, block.data(), 4);
  if (size < sizeof(BITMAPINFOHEADER) || size > block.size())
    return false;
  std::memcpy(&dib.header, block.data(), std::min<size_t>(size, sizeof dib.header));
  const BITMAPV5HEADER& h = dib.header;
  if (h.bV5Planes != 1 || (h.bV5Compression != BI_RGB && h.bV5Compression != BI_BITFIELDS) || h.bV5Width <= 0)
    return false;
  const int32_t bits = h.bV5BitCount;
  if (bits != 8 && bits != 24 && bits != 32)
    return false;
  size_t offset = size;
  if (h.bV5Compression == BI_BITFIELDS && size == sizeof(BITMAPINFOHEADER))
    offset += 12;
  if (bits == 8) {
    const size_t count = h.bV5ClrUsed ? h.bV5ClrUsed : 256;
    if (offset + count * 4 > block.size())
      return false;
    dib.colors.resize(count);
    std::memcpy(dib.colors.data(), block.data() + offset, count * 4);
    offset += count * 4;
  }
  const int32_t rows = h.bV5Height < 0 ? -h.bV5Height : h.bV5Height;
  dib.stride = ((int64_t(h.bV5Width) * bits + 31) / 32) * 4;
  if (offset + size_t(dib.stride) * size_t(rows) > block.size())
    return false;
  dib.bitsOffset = offset;
  const bool alpha = bits == 32 && size >= sizeof(BITMAPV5HEADER) && h.bV5AlphaMask == 0xFF000000u;
  dib.pixels.width = h.bV5Width;
  dib.pixels.height = rows;
  for (int32_t y = 0; y < rows; ++y) {
    const uint8_t* line = block.data() + offset + size_t(h.bV5Height > 0 ? rows - 1 - y : y) * size_t(dib.stride);
    for (int32_t x = 0; x < h.bV5Width; ++x) {
      if (bits == 8) {
        const uint8_t index = line[x];
        if (index >= dib.colors.size())
          return false;
        const RGBQUAD& q = dib.colors[index];
        dib.pixels.data.push_back(0xFF000000u | uint32_t(q.rgbRed) << 16 | uint32_t(q.rgbGreen) << 8 | q.rgbBlue);
      } else {
        const uint8_t* p = line + x * (bits / 8);
        const uint32_t a = alpha ? p[3] : 0xFFu;
        dib.pixels.data.push_back(a << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
      }
    }
  }
  return true;
}

// A bitmap block as another program puts it on the clipboard: header, rows as given.
std::vector<uint8_t> BitmapBlock(DWORD headerSize, int32_t width, int32_t height, WORD bits, DWORD alphaMask,
                                 const std::vector<uint8_t>& rows) {
  BITMAPV5HEADER header = {};
  header.bV5Size = headerSize;
  header.bV5Width = width;
  header.bV5Height = height;
  header.bV5Planes = 1;
  header.bV5BitCount = bits;
  header.bV5Compression = BI_RGB;
  header.bV5SizeImage = DWORD(rows.size());
  header.bV5XPelsPerMeter = 2835;
  header.bV5YPelsPerMeter = 2835;
  header.bV5AlphaMask = alphaMask;
  if (headerSize >= sizeof(BITMAPV5HEADER))
    header.bV5CSType = kSRGB;
  std::vector<uint8_t> block(headerSize);
  std::memcpy(block.data(), &header, headerSize);
  block.insert(block.end(), rows.begin(), rows.end());
  return block;
}

// This process's side of the clipboard, through a window of its own.
class ClipboardUser {
public:
  ClipboardUser() {
    window = CreateWindowExA(0, "STATIC", "clipboard user", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  }
  ~ClipboardUser() { DestroyWindow(window); }
  ClipboardUser(const ClipboardUser&) = delete;
  ClipboardUser& operator=(const ClipboardUser&) = delete;

  bool Empty() {
    if (!Open())
      return false;
    EmptyClipboard();
    CloseClipboard();
    return true;
  }
  bool Put(UINT format, const std::vector<uint8_t>& block) {
    HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE, block.size());
    if (!handle)
      return false;
    std::memcpy(GlobalLock(handle), block.data(), block.size());
    GlobalUnlock(handle);
    if (!Open()) {
      GlobalFree(handle);
      return false;
    }
    EmptyClipboard();
    const bool put = SetClipboardData(format, handle) != nullptr;
    if (!put)
      GlobalFree(handle);
    CloseClipboard();
    return put;
  }
  // The data of a format (rendered by its owner when it was offered only); empty when the
  // clipboard does not offer it.
  std::vector<uint8_t> Get(UINT format) {
    std::vector<uint8_t> block;
    if (!Open())
      return block;
    if (HGLOBAL handle = GetClipboardData(format)) {
      if (const uint8_t* data = static_cast<const uint8_t*>(GlobalLock(handle))) {
        block.assign(data, data + GlobalSize(handle));
        GlobalUnlock(handle);
      }
    }
    CloseClipboard();
    return block;
  }

  HWND window = nullptr;

private:
  // Another process may hold the clipboard open for a moment.
  bool Open() {
    for (int tries = 0; tries < 100; ++tries) {
      if (OpenClipboard(window))
        return true;
      AnswerSentMessagesFor(20);
    }
    return false;
  }
};

// WM_COMMAND of a menu command to an editor's main window, waiting until it is handled.
bool Command(HWND main, int command) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(main, WM_COMMAND, WPARAM(command), 0, SMTO_NORMAL, kCommandMs, &result) != 0;
}

DWORD OwnerProcess() {
  DWORD pid = 0;
  if (HWND owner = GetClipboardOwner())
    GetWindowThreadProcessId(owner, &pid);
  return pid;
}

// An editor that opened a project file of its own; the file goes with it.
struct OpenEditor {
  OpenEditor(const char* name, int32_t width, int32_t height, uint32_t (*pixel)(int32_t, int32_t))
      : path(ScratchPath((std::string(name) + ".vcj").c_str())), title(std::string("Vellumcraft - ") + name) {
    DeleteFileA(path.c_str());
    written = WriteProject(path, width, height, pixel);
    if (written)
      editor.reset(new Editor("\"" + path + "\""));
  }
  ~OpenEditor() {
    editor.reset();
    DeleteFileA(path.c_str());
  }
  // Whether the editor shows the project; main is its window then.
  bool Show() {
    if (!editor || !editor->started)
      return false;
    main = editor->FindWindowTitled(title.c_str(), kStartMs);
    return main != nullptr;
  }
  // Saves through the dispatcher (the project has its path, so no dialog opens) and tells
  // whether the modified mark went.
  bool Save() { return Command(main, CMD_FILE_SAVE) && WaitForTitle(main, title.c_str(), kCommandMs); }
  // Pastes and tells whether the project became modified.
  bool Paste() { return Command(main, CMD_EDIT_PASTE) && WaitForTitle(main, (title + "*").c_str(), kCommandMs); }
  int Exit() {
    PostMessageA(main, WM_COMMAND, CMD_FILE_EXIT, 0);
    return editor->Wait(kCommandMs);
  }
  DWORD Pid() const { return editor ? editor->info.dwProcessId : 0; }

  std::string path;
  std::string title;
  bool written = false;
  std::unique_ptr<Editor> editor;
  HWND main = nullptr;
};

class ClipboardInstances : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(ProgramPath().c_str())) << ProgramPath();
    privateFormat = RegisterClipboardFormatA("Vellumcraft.DIB");
    ASSERT_NE(0u, privateFormat);
    ASSERT_NE(nullptr, clipboard.window);
    ASSERT_TRUE(clipboard.Empty());
  }

  // Select All and Copy in an editor, in the channel mode given by its View command.
  void CopyAll(OpenEditor& source, int channelCommand) {
    ASSERT_TRUE(Command(source.main, channelCommand));
    ASSERT_TRUE(Command(source.main, CMD_EDIT_SELECT_ALL));
    ASSERT_TRUE(Command(source.main, CMD_EDIT_COPY));
    EXPECT_EQ(source.Pid(), OwnerProcess()) << "the copy did not take the clipboard";
    EXPECT_TRUE(IsClipboardFormatAvailable(privateFormat));
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_DIB));
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_DIBV5));
  }

  // The 24-byte header of the editor's own block and its rows.
  void ExpectPrivateBlock(int32_t bits, const std::vector<uint8_t>& block) {
    ASSERT_GE(block.size(), size_t(24 + kWidth * kHeight * bits / 8));
    int32_t fields[4];
    std::memcpy(fields, block.data(), sizeof fields);
    EXPECT_EQ(24, fields[0]);
    EXPECT_EQ(bits << 16, fields[1]);
    EXPECT_EQ(kWidth, fields[2]);
    EXPECT_EQ(kHeight, fields[3]);
    float resolutions[2];
    std::memcpy(resolutions, block.data() + 16, sizeof resolutions);
    EXPECT_EQ(kXResolution, resolutions[0]);
    EXPECT_EQ(kYResolution, resolutions[1]);
    for (int32_t y = 0; y < kHeight; ++y) {
      for (int32_t x = 0; x < kWidth; ++x) {
        const uint8_t* p = block.data() + 24 + (y * kWidth + x) * (bits / 8);
        const uint32_t want = SourcePixel(x, y);
        if (bits == 8) {
          EXPECT_EQ(want >> 24, p[0]) << x << "," << y;
        } else {
          uint32_t got;
          std::memcpy(&got, p, 4);
          EXPECT_EQ(want, got) << x << "," << y;
        }
      }
    }
  }

  // The bitmap formats as a plain reader sees them: the source's colours, opaque; with alpha
  // only in the version-5 header.
  void ExpectFullColourBitmaps() {
    Dib dib;
    const std::vector<uint8_t> plain = clipboard.Get(CF_DIB);
    ASSERT_TRUE(ReadDib(plain, dib)) << "CF_DIB of " << plain.size() << " bytes";
    EXPECT_EQ(40u, dib.header.bV5Size);
    EXPECT_EQ(24, dib.header.bV5BitCount);
    EXPECT_EQ(DWORD(BI_RGB), dib.header.bV5Compression);
    EXPECT_EQ(kHeight, dib.header.bV5Height) << "rows bottom-up";
    EXPECT_EQ(3780, dib.header.bV5XPelsPerMeter);
    EXPECT_EQ(2835, dib.header.bV5YPelsPerMeter);
    ASSERT_EQ(kWidth, dib.pixels.width);
    ASSERT_EQ(kHeight, dib.pixels.height);
    for (int32_t y = 0; y < kHeight; ++y) {
      for (int32_t x = 0; x < kWidth; ++x)
        EXPECT_EQ(SourcePixel(x, y) | 0xFF000000u, dib.pixels.At(x, y)) << x << "," << y;
      // Rows of 21 bytes padded with zeros to 24.
      const uint8_t* pad = plain.data() + dib.bitsOffset + size_t(y) * size_t(dib.stride) + kWidth * 3;
      EXPECT_EQ(0, pad[0] | pad[1] | pad[2]) << "row " << y;
    }

    Dib v5;
    ASSERT_TRUE(ReadDib(clipboard.Get(CF_DIBV5), v5));
    EXPECT_EQ(DWORD(sizeof(BITMAPV5HEADER)), v5.header.bV5Size);
    EXPECT_EQ(32, v5.header.bV5BitCount);
    EXPECT_EQ(0xFF000000u, v5.header.bV5AlphaMask);
    EXPECT_EQ(kSRGB, v5.header.bV5CSType);
    EXPECT_EQ(2u, v5.header.bV5Intent);
    EXPECT_EQ(3780, v5.header.bV5XPelsPerMeter);
    ASSERT_EQ(kWidth, v5.pixels.width);
    ASSERT_EQ(kHeight, v5.pixels.height);
    for (int32_t y = 0; y < kHeight; ++y)
      for (int32_t x = 0; x < kWidth; ++x)
        EXPECT_EQ(SourcePixel(x, y), v5.pixels.At(x, y)) << x << "," << y;
  }

  // The pasted layer of a saved project holds the source exactly, alpha included.
  static void ExpectExactPaste(const std::string& path) {
    std::vector<Pixels> layers = SavedLayers(path);
    ASSERT_EQ(2u, layers.size()) << "the paste made no layer";
    EXPECT_TRUE(PastedPart(layers[0]).data.empty()) << "the old layer changed";
    POINT origin;
    const Pixels pasted = PastedPart(layers[1], &origin);
    ASSERT_EQ(kWidth, pasted.width);
    ASSERT_EQ(kHeight, pasted.height);
    for (int32_t y = 0; y < kHeight; ++y)
      for (int32_t x = 0; x < kWidth; ++x)
        EXPECT_EQ(SourcePixel(x, y), pasted.At(x, y)) << x << "," << y;
    // Centred on the view, which shows the image centred at zoom 1.
    EXPECT_NEAR((32 - kWidth) / 2, origin.x, 1);
    EXPECT_NEAR((32 - kHeight) / 2, origin.y, 1);
  }

  UINT privateFormat = 0;
  ClipboardUser clipboard;
};

TEST_F(ClipboardInstances, CopyInOneEditorPastesExactlyInAnotherAndReadsAsBitmaps) {
  OpenEditor source("vc-clip-source", kWidth, kHeight, SourcePixel);
  OpenEditor target("vc-clip-target", 32, 32, nullptr);
  ASSERT_TRUE(source.written && target.written);
  ASSERT_TRUE(source.Show()) << "the first editor did not open its project";
  ASSERT_TRUE(target.Show()) << "the second editor did not open its project";
  CopyAll(source, CMD_VIEW_NORMAL);

  // The second editor renders nothing itself: the first one hands over its data on request.
  ASSERT_TRUE(Command(target.main, CMD_VIEW_NORMAL));
  ASSERT_TRUE(target.Paste()) << "the paste changed nothing";
  EXPECT_EQ(source.Pid(), OwnerProcess());
  ASSERT_TRUE(target.Save());

  ExpectPrivateBlock(32, clipboard.Get(privateFormat));
  ExpectFullColourBitmaps();

  EXPECT_EQ(0, target.Exit());
  ExpectExactPaste(target.path);
  // The selection may count as a change; saved, the editor leaves without asking.
  EXPECT_TRUE(source.Save());
  EXPECT_EQ(0, source.Exit());
}

TEST_F(ClipboardInstances, AlphaOnlyCopyTravelsAsGreyLevels) {
  OpenEditor source("vc-clip-alpha", kWidth, kHeight, SourcePixel);
  OpenEditor target("vc-clip-grey", 32, 32, nullptr);
  ASSERT_TRUE(source.written && target.written);
  ASSERT_TRUE(source.Show());
  ASSERT_TRUE(target.Show());
  CopyAll(source, CMD_VIEW_ALPHA_ONLY);

  ASSERT_TRUE(Command(target.main, CMD_VIEW_NORMAL));
  ASSERT_TRUE(target.Paste());
  ASSERT_TRUE(target.Save());

  ExpectPrivateBlock(8, clipboard.Get(privateFormat));
  // Eight bits through a grey colour table of 256 entries, in both bitmap formats.
  for (UINT format : {UINT(CF_DIB), UINT(CF_DIBV5)}) {
    Dib dib;
    ASSERT_TRUE(ReadDib(clipboard.Get(format), dib)) << format;
    EXPECT_EQ(8, dib.header.bV5BitCount) << format;
    ASSERT_EQ(256u, dib.colors.size()) << format;
    for (int i = 0; i < 256; ++i) {
      const RGBQUAD& q = dib.colors[size_t(i)];
      EXPECT_TRUE(q.rgbRed == i && q.rgbGreen == i && q.rgbBlue == i && q.rgbReserved == 0) << format << " " << i;
    }
    ASSERT_EQ(kWidth, dib.pixels.width);
    for (int32_t y = 0; y < kHeight; ++y)
      for (int32_t x = 0; x < kWidth; ++x)
        EXPECT_EQ(0xFF000000u | (SourcePixel(x, y) >> 24) * 0x010101u, dib.pixels.At(x, y)) << format;
  }

  EXPECT_EQ(0, target.Exit());
  std::vector<Pixels> layers = SavedLayers(target.path);
  ASSERT_EQ(2u, layers.size());
  const Pixels pasted = PastedPart(layers[1]);
  ASSERT_EQ(kWidth, pasted.width);
  ASSERT_EQ(kHeight, pasted.height);
  // The alpha values arrive as opaque grey.
  for (int32_t y = 0; y < kHeight; ++y)
    for (int32_t x = 0; x < kWidth; ++x)
      EXPECT_EQ(0xFF000000u | (SourcePixel(x, y) >> 24) * 0x010101u, pasted.At(x, y)) << x << "," << y;
}

TEST_F(ClipboardInstances, FormatsOutliveTheCopyingEditor) {
  OpenEditor source("vc-clip-leaving", kWidth, kHeight, SourcePixel);
  OpenEditor target("vc-clip-staying", 32, 32, nullptr);
  ASSERT_TRUE(source.written && target.written);
  ASSERT_TRUE(source.Show());
  ASSERT_TRUE(target.Show());
  CopyAll(source, CMD_VIEW_NORMAL);
  // Nothing has been rendered yet; leaving renders all three formats.
  ASSERT_TRUE(source.Save());
  ASSERT_EQ(0, source.Exit());

  EXPECT_NE(source.Pid(), OwnerProcess());
  EXPECT_TRUE(IsClipboardFormatAvailable(privateFormat));
  ExpectPrivateBlock(32, clipboard.Get(privateFormat));
  ExpectFullColourBitmaps();

  ASSERT_TRUE(Command(target.main, CMD_VIEW_NORMAL));
  ASSERT_TRUE(target.Paste());
  ASSERT_TRUE(target.Save());
  EXPECT_EQ(0, target.Exit());
  ExpectExactPaste(target.path);
}

TEST_F(ClipboardInstances, BitmapsOfAnotherProgramPasteIntoARunningEditor) {
  OpenEditor target("vc-clip-foreign", 32, 32, nullptr);
  ASSERT_TRUE(target.written);
  ASSERT_TRUE(target.Show());
  ASSERT_TRUE(Command(target.main, CMD_VIEW_NORMAL));

  // A plain 24-bit bitmap, 5 x 3, bottom-up, rows of 15 bytes padded to 16.
  std::vector<uint8_t> rows24;
  for (int32_t row = 2; row >= 0; --row) {
    for (int32_t x = 0; x < 5; ++x) {
      rows24.push_back(uint8_t(0x10 + x));         // B
      rows24.push_back(uint8_t(0x40 + row * 0x10)); // G
      rows24.push_back(uint8_t(0x80 + x * 0x08));   // R
    }
    rows24.push_back(0);
  }
  ASSERT_TRUE(clipboard.Put(CF_DIB, BitmapBlock(40, 5, 3, 24, 0, rows24)));
  ASSERT_TRUE(target.Paste());
  ASSERT_TRUE(target.Save());

  // A plain 32-bit bitmap, 2 x 2: its fourth bytes are not alpha, so it pastes opaque.
  const std::vector<uint8_t> rows32 = {1, 2, 3, 0x10, 4, 5, 6, 0x20, 7, 8, 9, 0x30, 10, 11, 12, 0x40};
  ASSERT_TRUE(clipboard.Put(CF_DIB, BitmapBlock(40, 2, 2, 32, 0, rows32)));
  ASSERT_TRUE(target.Paste());
  ASSERT_TRUE(target.Save());

  // A version-5 bitmap with an alpha mask, 3 x 2, top-down: it keeps its alpha.
  const std::vector<uint8_t> rowsV5 = {0x11, 0x22, 0x33, 0x80, 0x44, 0x55, 0x66, 0xFF, 0x77, 0x88, 0x99, 0x01,
                                       0xAA, 0xBB, 0xCC, 0x40, 0xDD, 0xEE, 0xF0, 0xC0, 0x01, 0x02, 0x03, 0x10};
  ASSERT_TRUE(clipboard.Put(CF_DIBV5, BitmapBlock(sizeof(BITMAPV5HEADER), 3, -2, 32, 0xFF000000u, rowsV5)));
  ASSERT_TRUE(target.Paste());
  ASSERT_TRUE(target.Save());
  EXPECT_EQ(0, target.Exit());

  std::vector<Pixels> layers = SavedLayers(target.path);
  ASSERT_EQ(4u, layers.size());
  const Pixels first = PastedPart(layers[1]);
  ASSERT_EQ(5, first.width);
  ASSERT_EQ(3, first.height);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 5; ++x)
      EXPECT_EQ(0xFF000000u | uint32_t(0x80 + x * 0x08) << 16 | uint32_t(0x40 + y * 0x10) << 8 | uint32_t(0x10 + x),
                first.At(x, y))
          << x << "," << y;

  const Pixels second = PastedPart(layers[2]);
  ASSERT_EQ(2, second.width);
  ASSERT_EQ(2, second.height);
  // Bottom-up: the block's first row is the lower one.
  EXPECT_EQ(0xFF090807u, second.At(0, 0));
  EXPECT_EQ(0xFF0C0B0Au, second.At(1, 0));
  EXPECT_EQ(0xFF030201u, second.At(0, 1));
  EXPECT_EQ(0xFF060504u, second.At(1, 1));

  const Pixels third = PastedPart(layers[3]);
  ASSERT_EQ(3, third.width);
  ASSERT_EQ(2, third.height);
  EXPECT_EQ(0x80332211u, third.At(0, 0));
  EXPECT_EQ(0xFF665544u, third.At(1, 0));
  EXPECT_EQ(0x01998877u, third.At(2, 0));
  EXPECT_EQ(0x40CCBBAAu, third.At(0, 1));
  EXPECT_EQ(0xC0F0EEDDu, third.At(1, 1));
  EXPECT_EQ(0x10030201u, third.At(2, 1));
}

}  // namespace
