#include <gtest/gtest.h>
#include <algorithm>
#include <windows.h>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <functional>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <vector>
#include "common/BoxWatcher.h"
#include "common/FloatBits.h"
#include "document/ChunkStream.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Palette.h"
#include "document/PixelArray.h"
#include "document/Predictors.h"
#include "document/ProjectFile.h"
#include "document/Project.h"
#include "document/Selection.h"
#include "shell/Errors.h"
#include "shell/Settings.h"
#include "sys/ZR.h"
#include "document/ScratchFiles.h"

// While g_failLargeAllocations is set, operator new refuses blocks of 256 KiB and more (the
// program's own pixel memory comes from AllocMemory and is not affected).
std::atomic<bool> g_failLargeAllocations{false};
std::atomic<int> g_failedAllocations{0};

void* operator new(std::size_t size) {
  if (g_failLargeAllocations && size >= (std::size_t(256) << 10)) {
    ++g_failedAllocations;
    throw std::bad_alloc();
  }
  if (void* block = std::malloc(size ? size : 1))
    return block;
  throw std::bad_alloc();
}
// The pair is malloc and free underneath; GCC takes free() inlined into a delete for a
// mismatch with the operator new it sees.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
#pragma GCC diagnostic pop

namespace {

const char kErrorCaption[] = "Vellumcraft :: Error";

// ---------------------------------------------------------------------------------------------
// Building chunks by hand

typedef std::vector<uint8_t> Bytes;

uint16_t Crc(const uint8_t* p, size_t n) {
  uint16_t c = 0;
  for (size_t i = 0; i < n; ++i) {
    uint8_t x = p[i];
    for (int b = 0; b < 8; ++b) {
      const bool low = ((c ^ x) & 1) != 0;
      c = static_cast<uint16_t>(c >> 1);
      if (low)
        c ^= 0xA001;
      x >>= 1;
    }
  }
  return c;
}

void Append(Bytes& out, const Bytes& more) {
  out.insert(out.end(), more.begin(), more.end());
}

Bytes Varint(uint32_t v) {
  Bytes out;
  do {
    uint8_t b = v & 0x7F;
    v >>= 7;
    out.push_back(static_cast<uint8_t>(b | (v ? 0x80 : 0)));
  } while (v);
  return out;
}

Bytes Le(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}

Bytes Rec(std::initializer_list<uint32_t> fields) {
  Bytes body;
  for (uint32_t f : fields)
    Append(body, Le(f));
  Bytes out = Varint(static_cast<uint32_t>(body.size()));
  Append(out, body);
  return out;
}

Bytes Chunk(const char* id, const Bytes& payload, uint32_t claimedLength = 0xFFFFFFFFu) {
  Bytes out(id, id + 4);
  Append(out, Le(claimedLength == 0xFFFFFFFFu ? static_cast<uint32_t>(payload.size()) : claimedLength));
  const uint16_t crc = Crc(out.data(), 8);
  out.push_back(static_cast<uint8_t>(crc));
  out.push_back(static_cast<uint8_t>(crc >> 8));
  Append(out, payload);
  return out;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts)
    Append(out, p);
  return out;
}

// A project file of one w x h image whose one layer is one FILL; extra chunks go into the
// IMAG, LAYR and BMAP as given.
struct HandProject {
  uint32_t imageCount = 1;
  uint32_t minimumVersion = 0;
  Bytes beforeImage;
  uint32_t imageType = 1;
  uint32_t width = 4, height = 3;
  uint32_t format = 0x200000;
  uint32_t layerCount = 1;
  uint32_t blendMode = 1;
  uint32_t resolution = FloatBitsOf(3779.5276f);
  uint32_t opacity = FloatBitsOf(0.5f);
  Bytes bitmapChildren = Chunk("FILL", Cat({Rec({0, 0, 0, 4, 3, 3}), Bytes{0xFF, 1, 2, 3}}));
  Bytes extraImages;

  Bytes Build() const {
    Bytes bmap = Chunk("BMAP", Cat({Rec({0, width, height, 0, 0, 3}), bitmapChildren}));
    Bytes layr = Chunk("LAYR", Cat({Rec({1, 1, 1, 1, width, height, 0, 0, blendMode, opacity}),
                                    Chunk("DATA", Cat({Rec({0, 0}), bmap}))}));
    Bytes imag = Chunk("IMAG", Cat({Rec({1, imageType, 1, width, height, resolution, resolution, format,
                                         layerCount}),
                                    layr}));
    return Chunk("VCP1", Cat({Rec({0, 0x01000000, minimumVersion, imageCount}), beforeImage, imag,
                              extraImages}));
  }
};

// ---------------------------------------------------------------------------------------------
// Parsing written files

struct Node {
  std::string id;
  size_t offset = 0;        // of the chunk header
  size_t recordOffset = 0;  // of the record's first field byte
  std::vector<int32_t> fields;
  Bytes rest;  // payload after the record (leaves)
  std::vector<Node> children;

  const Node* Child(const char* name, int index = 0) const {
    for (const Node& c : children)
      if (c.id == name && index-- == 0)
        return &c;
    return nullptr;
  }
  int Count(const char* name) const {
    int n = 0;
    for (const Node& c : children)
      n += c.id == name;
    return n;
  }
};

uint32_t ReadVarintAt(const Bytes& b, size_t& pos) {
  uint32_t v = 0;
  for (int i = 0; i < 5 && pos < b.size(); ++i) {
    const uint8_t x = b[pos++];
    v |= static_cast<uint32_t>(x & 0x7F) << (7 * i);
    if (!(x & 0x80))
      break;
  }
  return v;
}

std::vector<Node> Parse(const Bytes& b, size_t pos, size_t end, const std::string& parent) {
  std::vector<Node> nodes;
  while (pos + 10 <= end) {
    Node n;
    n.offset = pos;
    n.id.assign(reinterpret_cast<const char*>(&b[pos]), 4);
    const uint32_t length = b[pos + 4] | (b[pos + 5] << 8) | (b[pos + 6] << 16) | (uint32_t(b[pos + 7]) << 24);
    size_t p = pos + 10;
    const size_t chunkEnd = p + length;
    const bool container = n.id == "VCP1" || n.id == "THMB" || n.id == "IMAG" || n.id == "PLTE" ||
                           n.id == "LAYR" || n.id == "BMAP" || (n.id == "DATA" && parent == "LAYR");
    const bool leafRecord = n.id == "DATA" || n.id == "FILL" || n.id == "TIME";
    if (container || leafRecord) {
      const uint32_t size = ReadVarintAt(b, p);
      n.recordOffset = p;
      for (uint32_t i = 0; i + 4 <= size; i += 4)
        n.fields.push_back(static_cast<int32_t>(b[p + i] | (b[p + i + 1] << 8) | (b[p + i + 2] << 16) |
                                                (uint32_t(b[p + i + 3]) << 24)));
      p += size;
    } else if (n.id == "CREA" || n.id == "NAME") {
      const uint32_t size = ReadVarintAt(b, p);
      n.recordOffset = p;
      n.rest.assign(b.begin() + p, b.begin() + p + size);
      p += size;
    }
    if (container)
      n.children = Parse(b, p, chunkEnd, n.id);
    else if (p < chunkEnd)
      n.rest.assign(b.begin() + p, b.begin() + chunkEnd);
    nodes.push_back(n);
    pos = chunkEnd;
  }
  return nodes;
}

Node ParseFile(const std::string& path) {
  const Bytes b = LoadBytes(path);
  std::vector<Node> top = Parse(b, 0, b.size(), "");
  return top.empty() ? Node() : top[0];
}

// ---------------------------------------------------------------------------------------------
// Projects

uint32_t Natural(int x, int y, int w, int h, uint32_t seed) {
  // Smooth shading, a disc and a little noise.
  std::minstd_rand random(static_cast<uint32_t>(x * 7919 + y * 104729) ^ seed);
  const int cx = w / 2, cy = h / 2, r = w / 3;
  const bool inside = (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
  const int noise = static_cast<int>(random() % 5) - 2;
  auto clamp = [](int v) { return static_cast<uint32_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
  const uint32_t red = clamp((inside ? 200 : 40) + x * 50 / w + noise);
  const uint32_t green = clamp(120 + y * 100 / h + noise);
  const uint32_t blue = clamp((inside ? 60 : 180) + noise + static_cast<int>(seed & 15));
  const uint32_t alpha = inside ? 255 : (x + y < w / 2 ? 0 : clamp(128 + (x - y) * 2));
  return (alpha << 24) | (red << 16) | (green << 8) | blue;
}

CImage* AddImage(CProject& project, int32_t w, int32_t h, int32_t format) {
  CImage* image = new CImage();
  image->SetSize(w, h);
  project.AddImage(image);
  image->SetTargetFormat(format);
  return image;
}

CRasterLayer* AddLayer(CImage& image, const std::function<uint32_t(int, int)>& pixel) {
  CRasterLayer* layer = new CRasterLayer();
  image.AddLayer(layer);
  CPixelArray* px = layer->GetPixels();
  for (int y = 0; y < px->height; ++y)
    for (int x = 0; x < px->width; ++x)
      px->SetPixel(x, y, pixel(x, y));
  image.UpdateAll();
  return layer;
}

// Several images, both blend modes, hidden layers, names, palettes of every kind, a
// supersampled layer, flags and an active selection.
std::unique_ptr<CProject> MakeRichProject() {
  std::unique_ptr<CProject> project(new CProject());
  CImage* a = AddImage(*project, 16, 16, CImage::FORMAT_32BIT_ARGB);
  AddLayer(*a, [](int x, int y) { return Natural(x, y, 16, 16, 1); });
  CRasterLayer* a2 = AddLayer(*a, [](int x, int y) { return x < 8 ? 0x80FF0000u : 0u; });
  a2->SetBlendMode(CLayer::BLEND_REPLACE);
  a2->SetOpacity(0.75f);
  a2->SetName("Replace layer");
  CRasterLayer* a3 = AddLayer(*a, [](int x, int y) { return 0xFF00FF00u | static_cast<uint32_t>(x * y); });
  a3->SetVisible(false);
  a->SetActiveLayer(a2);
  a->SetResolution(2834.6457f, 1000.5f);
  a->SetFlagA(true);
  a->UpdateAll();

  CImage* b = AddImage(*project, 32, 24, CImage::FORMAT_8BIT_PALETTE);
  AddLayer(*b, [](int x, int y) { return Natural(x, y, 32, 24, 2); });
  CRasterLayer* b2 = AddLayer(*b, [](int x, int y) { return (x / 4 + y / 4) % 2 ? 0x40FFFFFFu : 0u; });
  b2->SetOpacity(0.3f);
  b->SetForExport(false);
  b->GetSelection()->SetActive(true);
  b->GetSelection()->GetMask()->FillRect(Rect{2, 2, 10, 10}, 255);
  b->GetSelection()->Update(nullptr);
  b->UpdateAll();

  CImage* c = AddImage(*project, 48, 48, CImage::FORMAT_4BIT_PALETTE);
  CRasterLayer* c1 = AddLayer(*c, [](int x, int y) { return Natural(x, y, 48, 48, 3); });
  c1->SetSupersampling(true);
  CPixelArray* top = c1->GetSupersampleTop();
  for (int y = 0; y < top->height; ++y)
    for (int x = 0; x < top->width; ++x)
      if ((x - 190) * (x - 190) + (y - 200) * (y - 200) < 120 * 120)
        top->SetPixel(x, y, 0xFF203040u + static_cast<uint32_t>((x ^ y) & 7));
  c1->Update(nullptr);
  c1->SetName("Smooth");
  c->UpdateAll();

  CImage* d = AddImage(*project, 20, 10, CImage::FORMAT_8BIT_PALETTE);
  AddLayer(*d, [](int x, int y) { return Natural(x, y, 20, 10, 4); });
  d->SetPaletteFixed(true);
  CPalette* palette = d->GetPalette();
  palette->SetCount(5);
  for (int i = 0; i < 5; ++i)
    palette->GetEntry(i)->SetArgb(i == 0 ? 0 : 255, i * 40, 255 - i * 30, i * 7);
  d->UpdateAll();

  CImage* e = AddImage(*project, 64, 40, CImage::FORMAT_24BIT_RGB);
  AddLayer(*e, [](int x, int y) { return 0u; });  // transparent black
  AddLayer(*e, [](int x, int y) { return 0xFF000000u | static_cast<uint32_t>(x * 3 + y * 1000); });
  e->UpdateAll();

  project->SetCurrentImage(b);
  return project;
}

bool SamePixels(const CPixelArray* a, const CPixelArray* b) {
  if (!a || !b)
    return a == b;
  if (a->width != b->width || a->height != b->height)
    return false;
  const size_t n = static_cast<size_t>(a->width) * a->height;
  return n == 0 || std::memcmp(a->data, b->data, n * 4) == 0;
}

void ExpectSamePalette(const CPalette* a, const CPalette* b) {
  ASSERT_EQ(a == nullptr, b == nullptr);
  if (!a)
    return;
  ASSERT_EQ(a->GetCount(), b->GetCount());
  for (int32_t i = 0; i < a->GetCount(); ++i)
    EXPECT_EQ(a->GetEntry(i)->GetColor(), b->GetEntry(i)->GetColor()) << "entry " << i;
}

void ExpectSameProject(CProject& a, CProject& b) {
  ASSERT_EQ(a.GetImageCount(), b.GetImageCount());
  ASSERT_EQ(a.GetCurrentImage() != nullptr, b.GetCurrentImage() != nullptr);
  if (a.GetCurrentImage()) {
    EXPECT_EQ(a.GetCurrentImage()->GetId(), b.GetCurrentImage()->GetId());
  }
  CImage* ib = b.GetFirstImage();
  for (CImage* ia = a.GetFirstImage(); ia; ia = ia->GetNext(), ib = ib->GetNext()) {
    SCOPED_TRACE(testing::Message() << "image " << ia->GetId());
    EXPECT_EQ(ia->GetId(), ib->GetId());
    EXPECT_EQ(ia->GetWidth(), ib->GetWidth());
    EXPECT_EQ(ia->GetHeight(), ib->GetHeight());
    EXPECT_EQ(ia->GetXResolution(), ib->GetXResolution());
    EXPECT_EQ(ia->GetYResolution(), ib->GetYResolution());
    EXPECT_EQ(ia->GetTargetFormat(), ib->GetTargetFormat());
    EXPECT_EQ(ia->GetFlagA(), ib->GetFlagA());
    EXPECT_EQ(ia->IsPaletteFixed(), ib->IsPaletteFixed());
    EXPECT_EQ(ia->IsForExport(), ib->IsForExport());
    ExpectSamePalette(ia->GetPalette(), ib->GetPalette());
    EXPECT_TRUE(SamePixels(ia->GetComposite(), ib->GetComposite()));
    EXPECT_TRUE(SamePixels(ia->GetPreview(), ib->GetPreview()));
    ASSERT_EQ(ia->GetLayerCount(), ib->GetLayerCount());
    ASSERT_EQ(ia->GetActiveLayer() != nullptr, ib->GetActiveLayer() != nullptr);
    if (ia->GetActiveLayer()) {
      EXPECT_EQ(ia->GetActiveLayer()->GetId(), ib->GetActiveLayer()->GetId());
    }
    CLayer* lb = ib->GetFirstLayer();
    for (CLayer* la = ia->GetFirstLayer(); la; la = la->GetNext(), lb = lb->GetNext()) {
      SCOPED_TRACE(testing::Message() << "layer " << la->GetId());
      EXPECT_EQ(la->GetKind(), lb->GetKind());
      EXPECT_EQ(la->GetId(), lb->GetId());
      EXPECT_EQ(la->GetLinkId(), lb->GetLinkId());
      EXPECT_STREQ(la->GetName(), lb->GetName());
      EXPECT_EQ(la->GetBlendMode(), lb->GetBlendMode());
      EXPECT_EQ(la->GetOpacity(), lb->GetOpacity());
      EXPECT_EQ(la->IsVisible(), lb->IsVisible());
      CRasterLayer* ra = static_cast<CRasterLayer*>(la);
      CRasterLayer* rb = static_cast<CRasterLayer*>(lb);
      EXPECT_EQ(ra->IsSupersampled(), rb->IsSupersampled());
      EXPECT_TRUE(SamePixels(ra->GetPixels(), rb->GetPixels()));
      EXPECT_TRUE(SamePixels(ra->GetSupersampleTop(), rb->GetSupersampleTop()));
    }
  }
}

// Loads through the throwing entry; the message, or "" on success.
std::string LoadError(const std::string& path, bool relaxed = false,
                      std::unique_ptr<CProject>* loaded = nullptr) {
  CProjectReader reader;
  reader.SetRelaxedChecks(relaxed);
  try {
    std::unique_ptr<CProject> project(reader.Load(path.c_str()));
    if (loaded)
      *loaded = std::move(project);
    return "";
  } catch (const CVCException& e) {
    return e.message.text;
  }
}

class ProjectFileTest : public testing::Test {
protected:
  void SetUp() override {
    zrInit();
    saved[0] = g_Settings.projectFileCompression->GetValue();
    saved[1] = g_Settings.projectFileEmbedThumbnails->GetValue();
    saved[2] = g_Settings.projectFileMaxThumbnailSize->GetValue();
    saved[3] = g_Settings.projectFileMaxThumbnailSizeEx->GetValue();
    saved[4] = g_Settings.projectFileRelaxedChecks->GetValue();
    SetSettings(1, true, 256, 1024, false);
    savedVersion = GetProjectFileProgramVersion();
  }
  void TearDown() override {
    g_Settings.projectFileCompression->SetValue(saved[0]);
    g_Settings.projectFileEmbedThumbnails->SetValue(saved[1] != 0);
    g_Settings.projectFileMaxThumbnailSize->SetValue(saved[2]);
    g_Settings.projectFileMaxThumbnailSizeEx->SetValue(saved[3]);
    g_Settings.projectFileRelaxedChecks->SetValue(saved[4] != 0);
    SetProjectFileProgramVersion(savedVersion);
  }
  static void SetSettings(int32_t compression, bool thumbnails, int32_t maxSize, int32_t maxSizeEx,
                          bool relaxed) {
    g_Settings.projectFileCompression->SetValue(compression);
    g_Settings.projectFileEmbedThumbnails->SetValue(thumbnails);
    g_Settings.projectFileMaxThumbnailSize->SetValue(maxSize);
    g_Settings.projectFileMaxThumbnailSizeEx->SetValue(maxSizeEx);
    g_Settings.projectFileRelaxedChecks->SetValue(relaxed);
  }
  // Saves with the current settings; false with the thrown message in error.
  static bool SaveProject(CProject& project, const std::string& path, std::string* error = nullptr) {
    CProjectWriter writer;
    try {
      writer.Save(path.c_str(), &project);
      return true;
    } catch (const CVCException& e) {
      if (error)
        *error = e.message.text;
      return false;
    }
  }

  // Saves, lets the project go and loads the file back into it; false when that fails.
  static bool SaveAndReload(std::unique_ptr<CProject>& project, const std::string& path) {
    EXPECT_TRUE(SaveProject(*project, path));
    project.reset();
    EXPECT_EQ(LoadError(path, false, &project), "");
    return project != nullptr;
  }

  ScratchFolder folder;
  int32_t saved[5];
  uint32_t savedVersion;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Layout

TEST_F(ProjectFileTest, SmallProjectIsWrittenByteForByte) {
  SetSettings(0, false, 256, 1024, false);
  SetProjectFileProgramVersion(0x01020304);
  CProject project;
  CImage* image = AddImage(project, 2, 2, CImage::FORMAT_32BIT_ARGB);
  const uint32_t pixels[4] = {0xFF102030u, 0x80405060u, 0x00000000u, 0xFF0A0B0Cu};
  CRasterLayer* layer = AddLayer(*image, [&](int x, int y) { return pixels[y * 2 + x]; });
  image->SetActiveLayer(layer);
  project.SetCurrentImage(image);
  const std::string path = folder.File("small.vcj");
  ASSERT_TRUE(SaveProject(project, path));

  // Computed by hand: headers with their CRC-16, varint record lengths, fields.
  const Bytes expected = {
      0x56, 0x43, 0x50, 0x31, 0x50, 0x01, 0x00, 0x00, 0xC6, 0x86, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x43, 0x52, 0x45, 0x41, 0x14,
      0x00, 0x00, 0x00, 0x00, 0x8A, 0x13, 0x56, 0x65, 0x6C, 0x6C, 0x75, 0x6D, 0x63, 0x72, 0x61, 0x66,
      0x74, 0x20, 0x31, 0x2E, 0x32, 0x2E, 0x33, 0x2E, 0x34, 0x54, 0x49, 0x4D, 0x45, 0x09, 0x00, 0x00,
      0x00, 0x1D, 0x85, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x49, 0x4D, 0x41, 0x47,
      0x04, 0x01, 0x00, 0x00, 0xB2, 0xB0, 0x24, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01,
      0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x71, 0x38, 0x6C, 0x45, 0x71,
      0x38, 0x6C, 0x45, 0x00, 0x00, 0x20, 0x00, 0x01, 0x00, 0x00, 0x00, 0x4C, 0x41, 0x59, 0x52, 0xD5,
      0x00, 0x00, 0x00, 0xD8, 0x68, 0x28, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00,
      0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3F, 0x44, 0x41,
      0x54, 0x41, 0xA2, 0x00, 0x00, 0x00, 0x46, 0xA4, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00, 0x42, 0x4D, 0x41, 0x50, 0x8F, 0x00, 0x00, 0x00, 0xFD, 0x24, 0x18, 0x00, 0x00, 0x00, 0x00,
      0x02, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x03, 0x00, 0x00, 0x00, 0x44, 0x41, 0x54, 0x41, 0x2D, 0x00, 0x00, 0x00, 0x6C, 0x70, 0x28, 0x00,
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x02,
      0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00,
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x80, 0x00, 0xFF, 0x44, 0x41, 0x54, 0x41, 0x35,
      0x00, 0x00, 0x00, 0x6A, 0xD0, 0x28, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x02, 0x00,
      0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x20,
      0x30, 0x40, 0x50, 0x60, 0x00, 0x00, 0x00, 0x0A, 0x0B, 0x0C,
  };
  Bytes written = LoadBytes(path);
  ASSERT_EQ(written.size(), expected.size());
  // The TIME record holds the local time of saving.
  SYSTEMTIME now;
  GetLocalTime(&now);
  EXPECT_EQ(written[68], 0);
  const int year = written[69] | (written[70] << 8);
  EXPECT_TRUE(year == now.wYear || year + 1 == now.wYear);
  EXPECT_GE(written[71], 1);
  EXPECT_LE(written[71], 12);
  std::fill(written.begin() + 68, written.begin() + 76, 0);
  EXPECT_EQ(written, expected);
}

TEST_F(ProjectFileTest, UniformAndAlphaUniformBitmaps) {
  SetSettings(0, false, 256, 1024, false);
  CProject project;
  CImage* image = AddImage(project, 6, 5, CImage::FORMAT_32BIT_ARGB);
  AddLayer(*image, [](int, int) { return 0u; });
  AddLayer(*image, [](int x, int y) { return static_cast<uint32_t>(x + 10 * y); });  // alpha 0
  AddLayer(*image, [](int x, int y) { return 0xFF000000u | static_cast<uint32_t>(x * y); });
  const std::string path = folder.File("fills.vcj");
  ASSERT_TRUE(SaveProject(project, path));
  const Node root = ParseFile(path);
  const Node* imag = root.Child("IMAG");
  ASSERT_NE(imag, nullptr);
  ASSERT_EQ(imag->Count("LAYR"), 3);

  // All 0: one FILL of format 3 with the value 0.
  const Node* b0 = imag->Child("LAYR", 0)->Child("DATA")->Child("BMAP");
  ASSERT_EQ(b0->children.size(), 1u);
  EXPECT_EQ(b0->children[0].id, "FILL");
  EXPECT_EQ(b0->children[0].fields, (std::vector<int32_t>{0, 0, 0, 6, 5, 3}));
  EXPECT_EQ(b0->children[0].rest, (Bytes{0, 0, 0, 0}));

  // Transparent with hidden colours: FILL of alpha 0, then the colour run.
  const Node* b1 = imag->Child("LAYR", 1)->Child("DATA")->Child("BMAP");
  ASSERT_EQ(b1->children.size(), 2u);
  EXPECT_EQ(b1->children[0].id, "FILL");
  EXPECT_EQ(b1->children[0].fields, (std::vector<int32_t>{0, 0, 0, 6, 5, 1}));
  EXPECT_EQ(b1->children[0].rest, (Bytes{0}));
  EXPECT_EQ(b1->children[1].id, "DATA");
  EXPECT_EQ(b1->children[1].fields, (std::vector<int32_t>{0, 0, 0, 6, 5, 2, 6, 5, 0, 0}));
  EXPECT_EQ(b1->children[1].rest.size(), 90u);

  // Opaque with varying colours: FILL of alpha 255 and the colour run.
  const Node* b2 = imag->Child("LAYR", 2)->Child("DATA")->Child("BMAP");
  ASSERT_EQ(b2->children.size(), 2u);
  EXPECT_EQ(b2->children[0].fields[5], 1);
  EXPECT_EQ(b2->children[0].rest, (Bytes{0xFF}));
  EXPECT_EQ(b2->children[1].fields[5], 2);

  std::unique_ptr<CProject> loaded;
  ASSERT_EQ(LoadError(path, false, &loaded), "");
  ExpectSameProject(project, *loaded);
}

TEST_F(ProjectFileTest, WideImageTilesBySetting) {
  CProject project;
  CImage* image = AddImage(project, 5000, 2, CImage::FORMAT_32BIT_ARGB);
  AddLayer(*image, [](int x, int y) { return Natural(x, y, 5000, 2, 9); });
  const std::string path = folder.File("wide.vcj");

  SetSettings(0, false, 256, 1024, false);
  ASSERT_TRUE(SaveProject(project, path));
  Node root = ParseFile(path);
  const Node* bmap = root.Child("IMAG")->Child("LAYR")->Child("DATA")->Child("BMAP");
  ASSERT_EQ(bmap->Count("DATA"), 2);
  const Node* alpha = bmap->Child("DATA", 0);
  const Node* color = bmap->Child("DATA", 1);
  EXPECT_EQ(alpha->fields, (std::vector<int32_t>{0, 0, 0, 5000, 2, 1, 4096, 2, 0, 0}));
  EXPECT_EQ(color->fields, (std::vector<int32_t>{0, 0, 0, 5000, 2, 2, 1024, 2, 0, 0}));
  ASSERT_EQ(alpha->rest.size(), 10000u);
  ASSERT_EQ(color->rest.size(), 30000u);
  // Strips: the second alpha strip (904 wide) starts after 2 rows of 4096.
  const CPixelArray* px = image->GetFirstLayer()->GetPixels();
  EXPECT_EQ(alpha->rest[4096], px->GetPixel(0, 1) >> 24);
  EXPECT_EQ(alpha->rest[8192], px->GetPixel(4096, 0) >> 24);
  EXPECT_EQ(alpha->rest[8192 + 904], px->GetPixel(4096, 1) >> 24);
  // Colour strip 5 (904 wide) starts after 4 strips of 1024 x 2 pixels.
  EXPECT_EQ(color->rest[3 * 8192], (px->GetPixel(4096, 0) >> 16) & 0xFF);
  EXPECT_EQ(color->rest[3 * 8192 + 3 * 904 + 2], px->GetPixel(4096, 1) & 0xFF);
  std::unique_ptr<CProject> loaded;
  ASSERT_EQ(LoadError(path, false, &loaded), "");
  ExpectSameProject(project, *loaded);

  SetSettings(1, false, 256, 1024, false);
  ASSERT_TRUE(SaveProject(project, path));
  root = ParseFile(path);
  bmap = root.Child("IMAG")->Child("LAYR")->Child("DATA")->Child("BMAP");
  EXPECT_EQ(bmap->Child("DATA", 0)->fields, (std::vector<int32_t>{0, 0, 0, 5000, 2, 1, 1024, 2, 0, 1}));
  EXPECT_EQ(bmap->Child("DATA", 1)->fields, (std::vector<int32_t>{0, 0, 0, 5000, 2, 2, 256, 2, 4, 1}));
  ASSERT_EQ(LoadError(path, false, &loaded), "");
  ExpectSameProject(project, *loaded);

  SetSettings(2, false, 256, 1024, false);
  ASSERT_TRUE(SaveProject(project, path));
  root = ParseFile(path);
  bmap = root.Child("IMAG")->Child("LAYR")->Child("DATA")->Child("BMAP");
  EXPECT_EQ(bmap->Child("DATA", 0)->fields[6], 256);
  EXPECT_EQ(bmap->Child("DATA", 0)->fields[9], 2);
  EXPECT_EQ(bmap->Child("DATA", 1)->fields[6], 64);
  EXPECT_EQ(bmap->Child("DATA", 1)->fields[9], 2);
  ASSERT_EQ(LoadError(path, false, &loaded), "");
  ExpectSameProject(project, *loaded);
}

TEST_F(ProjectFileTest, BestPredictorIsRecorded) {
  SetSettings(2, false, 256, 1024, false);
  CProject project;
  CImage* image = AddImage(project, 150, 30, CImage::FORMAT_32BIT_ARGB);
  CRasterLayer* layer = AddLayer(*image, [](int x, int y) { return Natural(x, y, 150, 30, 6); });
  const std::string path = folder.File("best.vcj");
  ASSERT_TRUE(SaveProject(project, path));
  const Node root = ParseFile(path);
  const Node* bmap = root.Child("IMAG")->Child("LAYR")->Child("DATA")->Child("BMAP");
  ASSERT_NE(bmap, nullptr);
  const Node* color = bmap->Child("DATA", 1);
  ASSERT_NE(color, nullptr);
  CLzEstimator estimator;
  EXPECT_EQ(color->fields[8], ChoosePredictor(layer->GetPixels(), 64, estimator));
  EXPECT_NE(color->fields[8], 0);  // smooth pixels: some prediction beats none
  std::unique_ptr<CProject> loaded;
  ASSERT_EQ(LoadError(path, false, &loaded), "");
  ExpectSameProject(project, *loaded);
}

TEST_F(ProjectFileTest, PalettesAreStoredOnlyWhenFixed) {
  SetSettings(0, false, 256, 1024, false);
  std::unique_ptr<CProject> project = MakeRichProject();
  const std::string path = folder.File("palettes.vcj");
  ASSERT_TRUE(SaveProject(*project, path));
  const Node root = ParseFile(path);
  ASSERT_EQ(root.Count("IMAG"), 5);
  EXPECT_EQ(root.Child("IMAG", 0)->Child("PLTE"), nullptr);  // 32-bit
  EXPECT_EQ(root.Child("IMAG", 1)->Child("PLTE"), nullptr);  // quantised, not fixed
  const Node* fixed16 = root.Child("IMAG", 2)->Child("PLTE");
  ASSERT_NE(fixed16, nullptr);
  EXPECT_EQ(fixed16->fields, (std::vector<int32_t>{0, 16}));
  EXPECT_EQ(fixed16->Child("DATA")->fields, (std::vector<int32_t>{0, 0, 16, 2, 0}));
  ASSERT_EQ(fixed16->Child("DATA")->rest.size(), 48u);
  EXPECT_EQ(Bytes(fixed16->Child("DATA")->rest.begin() + 3, fixed16->Child("DATA")->rest.begin() + 6),
            (Bytes{128, 0, 0}));
  const Node* custom = root.Child("IMAG", 3)->Child("PLTE");
  ASSERT_NE(custom, nullptr);
  EXPECT_EQ(custom->Child("DATA")->fields, (std::vector<int32_t>{0, 0, 5, 3, 0}));
  EXPECT_EQ(custom->Child("DATA")->rest,
            (Bytes{0, 0, 255, 0, 255, 40, 225, 7, 255, 80, 195, 14, 255, 120, 165, 21, 255, 160, 135, 28}));
  // Flags: image 2 is current and not for export; image 1 has flag A; 3 and 4 fixed palettes.
  EXPECT_EQ(root.Child("IMAG", 0)->fields[0], 2);
  EXPECT_EQ(root.Child("IMAG", 1)->fields[0], 1 | 8);
  EXPECT_EQ(root.Child("IMAG", 2)->fields[0], 4);
  EXPECT_EQ(root.Child("IMAG", 3)->fields[0], 4);
  // The supersampled layer stores its 8x array with level 3, and its name.
  const Node* smooth = root.Child("IMAG", 2)->Child("LAYR");
  EXPECT_EQ(smooth->Child("NAME")->rest, (Bytes{'S', 'm', 'o', 'o', 't', 'h'}));
  EXPECT_EQ(smooth->Child("DATA")->fields, (std::vector<int32_t>{0, 3}));
  EXPECT_EQ(smooth->Child("DATA")->Child("BMAP")->fields, (std::vector<int32_t>{0, 384, 384, 0, 0, 3}));
  // Hidden layer and replace layer.
  const Node* a = root.Child("IMAG", 0);
  EXPECT_EQ(a->Child("LAYR", 1)->fields[0], 1);  // current
  EXPECT_EQ(a->Child("LAYR", 1)->fields[8], 2);
  EXPECT_EQ(static_cast<uint32_t>(a->Child("LAYR", 1)->fields[9]), FloatBitsOf(0.75f));
  EXPECT_EQ(a->Child("LAYR", 2)->fields[0], 2);  // hidden
}

// ---------------------------------------------------------------------------------------------
// Round trips

TEST_F(ProjectFileTest, RichProjectRoundTripsUnderEveryCompression) {
  std::unique_ptr<CProject> project = MakeRichProject();
  for (int32_t compression = 0; compression <= 2; ++compression) {
    SCOPED_TRACE(testing::Message() << "compression " << compression);
    SetSettings(compression, true, 256, 1024, false);
    const std::string path = folder.File("rich.vcj");
    ASSERT_TRUE(SaveProject(*project, path));
    std::unique_ptr<CProject> loaded;
    ASSERT_EQ(LoadError(path, false, &loaded), "");
    ExpectSameProject(*project, *loaded);
    // The selection is not part of the file: it comes back cleared, at the image's size.
    CImage* b = loaded->GetFirstImage()->GetNext();
    EXPECT_FALSE(b->GetSelection()->IsActive());
    EXPECT_EQ(b->GetSelection()->GetWidth(), 32);
    CImage* c = b->GetNext();
    EXPECT_TRUE(c->GetSelection()->IsSupersampled());

    // Saving the loaded project gives the same file, time aside.
    const std::string again = folder.File("again.vcj");
    ASSERT_TRUE(SaveProject(*loaded, again));
    Bytes first = LoadBytes(path), second = LoadBytes(again);
    ASSERT_EQ(first.size(), second.size());
    const size_t time = ParseFile(path).Child("TIME")->recordOffset;
    std::fill(first.begin() + time, first.begin() + time + 8, 0);
    std::fill(second.begin() + time, second.begin() + time + 8, 0);
    EXPECT_TRUE(first == second);
  }
}

TEST_F(ProjectFileTest, ReadShowsNoBoxOnSuccessAndClearsNothingItShouldKeep) {
  std::unique_ptr<CProject> project = MakeRichProject();
  const std::string path = folder.File("plain.vcj");
  CProjectWriter writer;
  BoxWatcher boxes(kErrorCaption);
  ASSERT_TRUE(writer.Write(path.c_str(), project.get()));
  CProjectReader reader;
  std::unique_ptr<CProject> loaded(reader.Read(path.c_str()));
  ASSERT_NE(loaded, nullptr);
  ExpectSameProject(*project, *loaded);
  EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(ProjectFileTest, EmptyProjectRoundTrips) {
  CProject project;
  const std::string path = folder.File("empty.vcj");
  ASSERT_TRUE(SaveProject(project, path));
  const Node root = ParseFile(path);
  EXPECT_EQ(root.fields, (std::vector<int32_t>{0, 0x01000000, 0, 0}));
  EXPECT_EQ(root.Child("THMB"), nullptr);
  std::unique_ptr<CProject> loaded;
  ASSERT_EQ(LoadError(path, false, &loaded), "");
  EXPECT_EQ(loaded->GetImageCount(), 0);
}

// ---------------------------------------------------------------------------------------------
// Thumbnails

TEST_F(ProjectFileTest, ThumbnailChoice) {
  SetSettings(0, true, 64, 100, false);
  {
    // One small image with one plain layer: no thumbnail.
    CProject project;
    CImage* image = AddImage(project, 32, 32, CImage::FORMAT_32BIT_ARGB);
    AddLayer(*image, [](int x, int y) { return Natural(x, y, 32, 32, 1); });
    CProjectWriter writer;
    EXPECT_EQ(writer.ChooseThumbnail(&project), nullptr);
    // Two layers: that image.
    AddLayer(*image, [](int x, int) { return x < 3 ? 0xFFFF0000u : 0u; });
    EXPECT_EQ(writer.ChooseThumbnail(&project), image);
    const std::string path = folder.File("thumb.vcj");
    ASSERT_TRUE(SaveProject(project, path));
    const Node root = ParseFile(path);
    const Node* thumb = root.Child("THMB");
    ASSERT_NE(thumb, nullptr);
    EXPECT_EQ(thumb->fields, (std::vector<int32_t>{0}));
    EXPECT_EQ(thumb->Child("BMAP")->fields, (std::vector<int32_t>{0, 32, 32, 0, 0, 3}));
    // The thumbnail comes before the images and is skipped by the reader.
    EXPECT_LT(thumb->offset, root.Child("IMAG")->offset);
    std::unique_ptr<CProject> loaded;
    ASSERT_EQ(LoadError(path, false, &loaded), "");
    ExpectSameProject(project, *loaded);
  }
  {
    // Larger than the limit: resampled to fit 64 x 64.
    CProject project;
    CImage* image = AddImage(project, 300, 150, CImage::FORMAT_32BIT_ARGB);
    AddLayer(*image, [](int x, int y) { return Natural(x, y, 300, 150, 5); });
    const std::string path = folder.File("big.vcj");
    ASSERT_TRUE(SaveProject(project, path));
    const Node root = ParseFile(path);
    const Node* thumb = root.Child("THMB");
    ASSERT_NE(thumb, nullptr);
    ASSERT_NE(thumb->Child("BMAP"), nullptr);
    EXPECT_EQ(thumb->Child("BMAP")->fields, (std::vector<int32_t>{0, 64, 32, 0, 0, 3}));
  }
  {
    // Several images: the best score among those for export.
    CProject project;
    CImage* plain = AddImage(project, 16, 16, CImage::FORMAT_32BIT_ARGB);
    AddLayer(*plain, [](int, int) { return 0xFF808080u; });
    CImage* busy = AddImage(project, 16, 16, CImage::FORMAT_32BIT_ARGB);
    AddLayer(*busy, [](int x, int y) { return Natural(x, y, 16, 16, 7); });
    CImage* busier = AddImage(project, 32, 32, CImage::FORMAT_32BIT_ARGB);
    AddLayer(*busier, [](int x, int y) { return Natural(x, y, 32, 32, 8); });
    CProjectWriter writer;
    EXPECT_EQ(writer.ChooseThumbnail(&project), busier);
    busier->SetForExport(false);
    EXPECT_EQ(writer.ChooseThumbnail(&project), busy);
    busy->SetForExport(false);
    plain->SetForExport(false);
    EXPECT_EQ(writer.ChooseThumbnail(&project), busier);  // none for export: all count
    // Scoring that cannot get its memory: saved without a thumbnail.
    const std::string scored = folder.File("noscore.vcj");
    g_failedAllocations = 0;
    g_failLargeAllocations = true;
    const bool saved = SaveProject(project, scored);
    g_failLargeAllocations = false;
    ASSERT_TRUE(saved);
    EXPECT_GT(g_failedAllocations, 0);
    EXPECT_EQ(ParseFile(scored).Child("THMB"), nullptr);
    std::unique_ptr<CProject> loaded;
    ASSERT_EQ(LoadError(scored, false, &loaded), "");
    ExpectSameProject(project, *loaded);
    // Only uniform images: no thumbnail.
    CProject flat;
    AddLayer(*AddImage(flat, 8, 8, CImage::FORMAT_32BIT_ARGB), [](int, int) { return 0u; });
    AddLayer(*AddImage(flat, 8, 8, CImage::FORMAT_32BIT_ARGB), [](int, int) { return 0xFFFFFFFFu; });
    EXPECT_EQ(writer.ChooseThumbnail(&flat), nullptr);
    // Thumbnails switched off.
    g_Settings.projectFileEmbedThumbnails->SetValue(false);
    const std::string path = folder.File("nothumb.vcj");
    ASSERT_TRUE(SaveProject(project, path));
    EXPECT_EQ(ParseFile(path).Child("THMB"), nullptr);
  }
}

// ---------------------------------------------------------------------------------------------
// Bad input

TEST_F(ProjectFileTest, ForeignAndDamagedFilesAreRefused) {
  const std::string path = folder.File("bad.vcj");
  StoreBytes(path, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 0, 'I', 'H', 'D', 'R'});
  EXPECT_EQ(LoadError(path), "Unknown file format");
  StoreBytes(path, {});
  EXPECT_EQ(LoadError(path), "Unknown file format");
  StoreBytes(path, Chunk("VCP2", Rec({0, 0x01000000, 0, 0})));
  EXPECT_EQ(LoadError(path), "Unknown file format");
  EXPECT_EQ(LoadError(folder.File("missing.vcj")), "Cannot open the file");

  Bytes good = HandProject().Build();
  StoreBytes(path, good);
  EXPECT_EQ(LoadError(path), "");
  Bytes bad = good;
  bad[9] ^= 0x40;  // the first header's CRC
  StoreBytes(path, bad);
  EXPECT_EQ(LoadError(path), "Data is corrupted");
  bad = good;
  bad.resize(good.size() - 3);
  StoreBytes(path, bad);
  EXPECT_EQ(LoadError(path), "Read failed");
  // A record without its fourth field.
  StoreBytes(path, Chunk("VCP1", Rec({0, 0x01000000, 0})));
  EXPECT_EQ(LoadError(path), "Invalid data");
}

TEST_F(ProjectFileTest, RecordChecks) {
  const std::string path = folder.File("checks.vcj");
  auto check = [&](const HandProject& p, bool relaxed = false) {
    StoreBytes(path, p.Build());
    return LoadError(path, relaxed);
  };
  HandProject p;
  EXPECT_EQ(check(p), "");
  p.imageCount = 2;
  EXPECT_EQ(check(p), "Project is corrupted");
  EXPECT_EQ(check(p, true), "");
  p = HandProject();
  p.layerCount = 3;
  EXPECT_EQ(check(p), "Image is corrupted");
  EXPECT_EQ(check(p, true), "");
  p = HandProject();
  p.blendMode = 3;
  EXPECT_EQ(check(p), "Unknown blend mode");
  p = HandProject();
  p.format = 0x80000;  // bits only, without the palette flag
  EXPECT_EQ(check(p), "Unknown target format");
  // NaN, infinity and denormals (which trap once touched) are damage; relaxed checks put in
  // the defaults.
  std::unique_ptr<CProject> loaded;
  for (uint32_t bad : {kFloatNaN, kFloatMinusInfinity, kFloatDenormal, kFloatMinusDenormal}) {
    SCOPED_TRACE(bad);
    p = HandProject();
    p.resolution = bad;
    EXPECT_EQ(check(p), "Invalid data");
    StoreBytes(path, p.Build());
    ASSERT_EQ(LoadError(path, true, &loaded), "");
    EXPECT_FLOAT_EQ(loaded->GetFirstImage()->GetXResolution(), 3779.5276f);
    EXPECT_FLOAT_EQ(loaded->GetFirstImage()->GetYResolution(), 3779.5276f);
    p = HandProject();
    p.opacity = bad;
    EXPECT_EQ(check(p), "Invalid data");
    StoreBytes(path, p.Build());
    ASSERT_EQ(LoadError(path, true, &loaded), "");
    EXPECT_EQ(FloatBitsOf(loaded->GetFirstImage()->GetFirstLayer()->GetOpacity()), 0u);
  }
  p = HandProject();
  p.width = 0;
  EXPECT_EQ(check(p), "Invalid data");
  p = HandProject();
  p.bitmapChildren = Chunk("FILL", Cat({Rec({0, 0, 0, 4, 3, 4}), Bytes{1, 2, 3, 4}}));
  EXPECT_EQ(check(p), "Unknown fill format");
  p.bitmapChildren = Chunk("FILL", Cat({Rec({0, 0, 0, 5, 3, 3}), Bytes{1, 2, 3, 4}}));
  EXPECT_EQ(check(p), "Invalid data");
  p.bitmapChildren = Chunk("DATA", Cat({Rec({0, 0, 0, 4, 3, 1, 0, 0, 1, 0}), Bytes(12, 0)}));
  EXPECT_EQ(check(p), "Alpha prediction is not supported");
  p.bitmapChildren = Chunk("DATA", Cat({Rec({0, 0, 0, 4, 3, 2, 0, 0, 6, 0}), Bytes(36, 0)}));
  EXPECT_EQ(check(p), "Unknown prediction method");
  p.bitmapChildren = Chunk("DATA", Cat({Rec({0, 0, 0, 4, 3, 7, 0, 0, 0, 0}), Bytes(36, 0)}));
  EXPECT_EQ(check(p), "Unknown pixel format");
  p.bitmapChildren = Chunk("DATA", Cat({Rec({0, 0, 0, 4, 3, 1, 0, 0, 0, 5}), Bytes(12, 0)}));
  EXPECT_EQ(check(p), "Unknown compression method");
  p.bitmapChildren = Chunk("DATA", Cat({Rec({0, 1, 0, 0, 3, 1, 0, 0, 0, 0})}));
  EXPECT_EQ(check(p), "Invalid data");  // right < left
  p.bitmapChildren = Chunk("DATA", Cat({Rec({0, 0, 0, 4, 3, 1, 0, 0, 0})}));
  EXPECT_EQ(check(p), "Invalid data");  // no method field
  // Tiles of 3 x 2 over a 4 x 3 rectangle, alpha bytes in tile order; an empty run is skipped.
  p.bitmapChildren = Cat({Chunk("DATA", Cat({Rec({0, 1, 1, 1, 3, 2, 0, 0, 0, 0})})),
                          Chunk("DATA", Cat({Rec({0, 0, 0, 4, 3, 1, 3, 2, 0, 0}),
                                             Bytes{1, 2, 3, 5, 6, 7, 4, 8, 9, 10, 11, 12}}))});
  StoreBytes(path, p.Build());
  ASSERT_EQ(LoadError(path, false, &loaded), "");
  const CPixelArray* px = loaded->GetFirstImage()->GetFirstLayer()->GetPixels();
  for (int i = 0; i < 12; ++i)
    EXPECT_EQ(px->GetPixel(i % 4, i / 4), static_cast<uint32_t>(i + 1) << 24) << i;
}

TEST_F(ProjectFileTest, UnknownChunksAndImageTypes) {
  const std::string path = folder.File("types.vcj");
  HandProject p;
  p.beforeImage = Chunk("XTRA", Bytes{1, 2, 3, 4, 5});
  StoreBytes(path, p.Build());
  std::unique_ptr<CProject> loaded;
  ASSERT_EQ(LoadError(path, false, &loaded), "");
  EXPECT_EQ(loaded->GetImageCount(), 1);
  EXPECT_EQ(loaded->GetFirstImage()->GetFirstLayer()->GetPixels()->GetPixel(3, 2), 0xFF010203u);
  EXPECT_FLOAT_EQ(loaded->GetFirstImage()->GetFirstLayer()->GetOpacity(), 0.5f);

  HandProject second;
  second.imageType = 2;
  p.imageCount = 2;
  p.extraImages = second.Build();
  // Only the IMAG of the second build: cut its VCP1 header and record off.
  p.extraImages.erase(p.extraImages.begin(), p.extraImages.begin() + 10 + 17);
  StoreBytes(path, p.Build());
  EXPECT_EQ(LoadError(path), "Unknown image type");
  ASSERT_EQ(LoadError(path, true, &loaded), "");
  EXPECT_EQ(loaded->GetImageCount(), 1);
}

TEST_F(ProjectFileTest, NewerFilesNeedRelaxedChecks) {
  SetProjectFileProgramVersion(0x00090000);
  const std::string path = folder.File("newer.vcj");
  HandProject p;
  p.minimumVersion = 0x01020300;
  StoreBytes(path, p.Build());
  EXPECT_EQ(LoadError(path),
            "This file should be opened by Vellumcraft version\xA0" "1.2.3\xA0or later.\n"
            "Try to enable relaxed integrity checks");
  EXPECT_EQ(LoadError(path, true), "");
  p.minimumVersion = 0x00090000;
  StoreBytes(path, p.Build());
  EXPECT_EQ(LoadError(path), "");
}

TEST_F(ProjectFileTest, AbsurdSizesAndEndlessWorkAreRefused) {
  const std::string path = folder.File("absurd.vcj");
  HandProject p;
  p.width = 1000000;
  p.height = 1000000;
  StoreBytes(path, p.Build());
  EXPECT_EQ(LoadError(path), "Insufficient memory");
  p.width = 0x7FFFFFFF;
  p.height = 0x7FFFFFFF;
  StoreBytes(path, p.Build());
  EXPECT_EQ(LoadError(path), "Insufficient memory");

  // Two images that each fit the 32-bit program's budget but together do not.
  SetReadMemoryBudgetCap(projectfile::READ_MEMORY_BUDGET_32);
  HandProject many;
  many.width = many.height = 11000;
  many.bitmapChildren.clear();
  Bytes image = many.Build();
  image.erase(image.begin(), image.begin() + 10 + 17);
  many.imageCount = 2;
  Append(many.extraImages, image);
  StoreBytes(path, many.Build());
  EXPECT_EQ(LoadError(path), "Insufficient memory");
  SetReadMemoryBudgetCap(0);

  // Thousands of fills over a large bitmap: far more work than its pixels need.
  HandProject fills;
  fills.width = fills.height = 1024;
  fills.bitmapChildren.clear();
  const Bytes fill = Chunk("FILL", Cat({Rec({0, 0, 0, 1024, 1024, 3}), Bytes{1, 2, 3, 4}}));
  for (int i = 0; i < 3000; ++i)
    Append(fills.bitmapChildren, fill);
  StoreBytes(path, fills.Build());
  EXPECT_EQ(LoadError(path), "Invalid data");

  // A chunk claiming 4 GB in a small file.
  Bytes huge = HandProject().Build();
  Bytes header = Chunk("VCP1", Bytes{}, 0xFFFFFFF0u);
  std::copy(header.begin(), header.begin() + 10, huge.begin());
  StoreBytes(path, huge);
  EXPECT_EQ(LoadError(path), "Read failed");
}

namespace {

// Stands in for the read budget's memory-status query for its lifetime: it answers with the
// figures set, or fails; the cap is lifted at the end too.
class MemoryStatusStandIn {
public:
  MemoryStatusStandIn() { SetReadMemoryStatusQuery(&Query); }
  ~MemoryStatusStandIn() {
    SetReadMemoryStatusQuery(nullptr);
    SetReadMemoryBudgetCap(0);
  }
  void Answer(uint64_t availPageFile, uint64_t availVirtual) {
    pageFile = availPageFile;
    virtualMemory = availVirtual;
    fails = false;
  }
  void Fail() { fails = true; }

private:
  static uint64_t pageFile, virtualMemory;
  static bool fails;
  static bool Query(MEMORYSTATUSEX* status) {
    // Like the real call, which refuses a structure whose length is not set.
    if (fails || status->dwLength != sizeof *status)
      return false;
    status->ullAvailPageFile = pageFile;
    status->ullAvailVirtual = virtualMemory;
    return true;
  }
};
uint64_t MemoryStatusStandIn::pageFile = 0;
uint64_t MemoryStatusStandIn::virtualMemory = 0;
bool MemoryStatusStandIn::fails = true;

}  // namespace

// The 32-bit program reads within its address space; the 64-bit one within what the process
// can commit, and never less; a cap holds either lower.
TEST_F(ProjectFileTest, ReadBudgetIsWhatTheProgramCanHold) {
  const uint64_t GiB = uint64_t(1) << 30;
  ASSERT_EQ(2 * GiB, projectfile::READ_MEMORY_BUDGET_32);
  const bool wide = sizeof(void*) == 8;
  MemoryStatusStandIn memory;

  memory.Answer(6 * GiB, 5 * GiB);
  EXPECT_EQ(wide ? 5 * GiB : 2 * GiB, GetReadMemoryBudget());
  memory.Answer(5 * GiB, 7 * GiB);
  EXPECT_EQ(wide ? 5 * GiB : 2 * GiB, GetReadMemoryBudget());
  // Less to commit than the 32-bit budget: that budget still.
  memory.Answer(1 * GiB, 8 * GiB);
  EXPECT_EQ(2 * GiB, GetReadMemoryBudget());
  memory.Answer(8 * GiB, 1 * GiB);
  EXPECT_EQ(2 * GiB, GetReadMemoryBudget());
  memory.Fail();
  EXPECT_EQ(2 * GiB, GetReadMemoryBudget());

  memory.Answer(6 * GiB, 5 * GiB);
  SetReadMemoryBudgetCap(3 * GiB);
  EXPECT_EQ(wide ? 3 * GiB : 2 * GiB, GetReadMemoryBudget());
  SetReadMemoryBudgetCap(1 * GiB);
  EXPECT_EQ(1 * GiB, GetReadMemoryBudget());
  SetReadMemoryBudgetCap(8 * GiB);
  EXPECT_EQ(wide ? 5 * GiB : 2 * GiB, GetReadMemoryBudget());
  memory.Fail();
  SetReadMemoryBudgetCap(1 * GiB);
  EXPECT_EQ(1 * GiB, GetReadMemoryBudget());
  SetReadMemoryBudgetCap(0);
  EXPECT_EQ(2 * GiB, GetReadMemoryBudget());
}

// Every project the editor can make loads back: the largest image a new image can be, and
// the largest the options let be supersampled, with three supersampled layers and so a
// supersampled selection.
TEST_F(ProjectFileTest, LargestImageLoadsBack) {
  std::unique_ptr<CProject> project(new CProject());
  CImage* image = AddImage(*project, 10000, 10000, CImage::FORMAT_32BIT_ARGB);
  CRasterLayer* layer = new CRasterLayer();
  image->AddLayer(layer);
  layer->GetPixels()->Fill(0xFF336699u);
  image->UpdateAll();
  ASSERT_TRUE(SaveAndReload(project, folder.File("largest.vcj")));
  image = project->GetFirstImage();
  ASSERT_EQ(image->GetLayerCount(), 1);
  EXPECT_EQ(image->GetFirstLayer()->GetPixels()->GetPixel(9999, 9999), 0xFF336699u);
  EXPECT_EQ(image->GetComposite()->GetPixel(0, 0), 0xFF336699u);
}

TEST_F(ProjectFileTest, LargestSupersampledImageLoadsBack) {
  std::unique_ptr<CProject> project(new CProject());
  CImage* image = AddImage(*project, 1000, 1000, CImage::FORMAT_32BIT_ARGB);
  for (uint32_t i = 0; i < 3; ++i) {
    CRasterLayer* layer = new CRasterLayer();
    image->AddLayer(layer);
    layer->SetSupersampling(true);
    ASSERT_TRUE(layer->IsSupersampled());
    // Uniform, so that the file stays small and quick to write.
    layer->GetSupersampleTop()->Fill(0xFF000000u | (i + 1));
    layer->Update(nullptr);
  }
  image->UpdateAll();
  ASSERT_TRUE(image->GetSelection()->IsSupersampled());
  ASSERT_TRUE(SaveAndReload(project, folder.File("supersampled.vcj")));
  image = project->GetFirstImage();
  ASSERT_EQ(image->GetLayerCount(), 3);
  EXPECT_TRUE(image->GetSelection()->IsSupersampled());
  uint32_t i = 0;
  for (CLayer* layer = image->GetFirstLayer(); layer; layer = layer->GetNext(), ++i) {
    CRasterLayer* raster = static_cast<CRasterLayer*>(layer);
    ASSERT_TRUE(raster->IsSupersampled());
    EXPECT_EQ(raster->GetSupersampleTop()->GetPixel(7999, 7999), 0xFF000000u | (i + 1));
    EXPECT_EQ(raster->GetPixels()->GetPixel(999, 0), 0xFF000000u | (i + 1));
  }
}

TEST_F(ProjectFileTest, PaletteChecks) {
  const std::string path = folder.File("palette.vcj");
  // An IMAG of the 4-bit format with its palette, built by hand around a PLTE.
  auto build = [](const Bytes& plte) {
    const Bytes bmap = Chunk("BMAP", Cat({Rec({0, 2, 1, 0, 0, 3}),
                                          Chunk("FILL", Cat({Rec({0, 0, 0, 2, 1, 3}), Bytes{255, 9, 9, 9}}))}));
    const Bytes layr = Chunk("LAYR", Cat({Rec({0, 1, 1, 1, 2, 1, 0, 0, 1, FloatBitsOf(1.0f)}),
                                          Chunk("DATA", Cat({Rec({0, 0}), bmap}))}));
    const Bytes imag = Chunk("IMAG", Cat({Rec({4, 1, 1, 2, 1, FloatBitsOf(1.0f), FloatBitsOf(1.0f), 0x40001, 1}),
                                          plte, layr}));
    return Chunk("VCP1", Cat({Rec({0, 0x01000000, 0, 1}), imag}));
  };
  auto plte = [](uint32_t count, const Bytes& data) {
    return Chunk("PLTE", Cat({Rec({0, count}), Chunk("DATA", data)}));
  };
  StoreBytes(path, build(plte(3, Cat({Rec({0, 1, 2, 3, 0}), Bytes{1, 2, 3, 4, 5, 6, 7, 8}}))));
  std::unique_ptr<CProject> loaded;
  ASSERT_EQ(LoadError(path, false, &loaded), "");
  const CPalette* palette = loaded->GetFirstImage()->GetPalette();
  ASSERT_EQ(palette->GetCount(), 3);
  EXPECT_EQ(palette->GetEntry(0)->GetColor(), 0u);
  EXPECT_EQ(palette->GetEntry(1)->GetColor(), 0x01020304u);
  EXPECT_EQ(palette->GetEntry(2)->GetColor(), 0x05060708u);
  StoreBytes(path, build(plte(3, Cat({Rec({0, 2, 2, 2, 0}), Bytes(6, 1)}))));
  EXPECT_EQ(LoadError(path), "Invalid data");  // first + count beyond the palette
  StoreBytes(path, build(plte(3, Cat({Rec({0, 0, 1, 4, 0}), Bytes(6, 1)}))));
  EXPECT_EQ(LoadError(path), "Unknown palette format");
  StoreBytes(path, build(plte(1000000000u, Cat({Rec({0, 0, 1, 2, 0}), Bytes(3, 1)}))));
  EXPECT_EQ(LoadError(path), "Invalid data");
  StoreBytes(path, build(plte(0xFFFFFFFFu, Bytes{})));
  EXPECT_EQ(LoadError(path), "Invalid data");
}

// Every byte of small files flipped (uncompressed and range-coded), and many truncations:
// each mutant loads or fails with a message, and nothing shows a box.
TEST_F(ProjectFileTest, MutatedFilesNeverCrash) {
  BoxWatcher boxes(kErrorCaption);
  CProject project;
  CImage* a = AddImage(project, 3, 2, CImage::FORMAT_32BIT_ARGB);
  AddLayer(*a, [](int x, int y) { return Natural(x, y, 3, 2, 1); });
  CRasterLayer* a2 = AddLayer(*a, [](int x, int y) { return y == 1 ? 0x80FF0000u : 0u; });
  a2->SetName("Top");
  a2->SetBlendMode(CLayer::BLEND_REPLACE);
  CImage* b = AddImage(project, 1, 1, CImage::FORMAT_1BIT_PALETTE);
  CRasterLayer* b1 = AddLayer(*b, [](int, int) { return 0xFF336699u; });
  b1->SetSupersampling(true);
  CPixelArray* top = b1->GetSupersampleTop();
  for (int i = 0; i < 8; ++i)
    top->SetPixel(i, 7 - i, 0xFF000000u | static_cast<uint32_t>(i * 0x112233));
  b1->Update(nullptr);
  b->UpdateAll();

  int loadedCount = 0, failedCount = 0;
  const std::string path = folder.File("mutant.vcj");
  auto attempt = [&](const Bytes& mutant, bool relaxed) {
    StoreBytes(path, mutant);
    if (LoadError(path, relaxed).empty())
      ++loadedCount;
    else
      ++failedCount;
  };
  for (int32_t compression = 0; compression <= 2; ++compression) {
    SetSettings(compression, false, 256, 1024, false);
    const std::string source = folder.File("source.vcj");
    ASSERT_TRUE(SaveProject(project, source));
    const Bytes original = LoadBytes(source);
    ASSERT_GT(original.size(), 100u);
    // Every byte of the plain file; the compressed ones share its framing, so a sample.
    const size_t step = compression == 0 ? 1 : (compression == 1 ? 9 : 3);
    for (size_t i = 0; i < original.size(); i += step) {
      Bytes mutant = original;
      mutant[i] ^= 0xFF;
      attempt(mutant, i % 2 == 0);
      if (compression == 2 && i % 9 == 0)
        attempt(Bytes(original.begin(), original.begin() + i), false);
    }
  }
  EXPECT_GT(failedCount, 500);
  EXPECT_GT(loadedCount, 10);
  EXPECT_EQ(boxes.Count(), 0u);
}

// ---------------------------------------------------------------------------------------------
// Error boxes and what stays on disk

TEST_F(ProjectFileTest, ReadReportsInAnErrorBox) {
  const std::string path = folder.File("box.vcj");
  StoreBytes(path, {'n', 'o', 'p', 'e', 0, 0, 0, 0, 0, 0, 0});
  BoxWatcher boxes(kErrorCaption);
  CProjectReader reader;
  EXPECT_EQ(reader.Read(path.c_str()), nullptr);
  ASSERT_TRUE(boxes.WaitFor(1));
  EXPECT_EQ(boxes.Texts()[0], "Unknown file format");
}

TEST_F(ProjectFileTest, AProjectTheReaderWouldRefuseIsNotSaved) {
  // Each change makes the rich project one that its reader refuses; the writer says so and
  // neither replaces the file there nor makes a new one.
  const std::string kept = folder.File("kept.vcj");
  const std::string fresh = folder.File("fresh.vcj");
  const char* const kPrefix = "The project cannot be saved, because Vellumcraft could not open the file again: ";
  struct Case {
    std::function<void(CProject&)> change;
    std::string cause;
  };
  const std::vector<Case> cases = {
      {[](CProject& p) { p.GetFirstImage()->GetNext()->SetSize(0, 24); }, "image 2 has no pixels (0 x 24)"},
      {[](CProject& p) { p.GetFirstImage()->GetNext()->SetSize(32, 0); }, "image 2 has no pixels (32 x 0)"},
      {[](CProject& p) {
         float nan;
         StoreFloatBits(&nan, kFloatNaN);
         p.GetFirstImage()->GetNext()->GetNext()->SetYResolution(nan);
       },
       "the resolution of image 3 is not a number"},
      {[](CProject& p) { p.GetFirstImage()->GetFirstLayer()->GetNext()->SetBlendMode(3); },
       "layer \"Replace layer\" of image 1 has an unknown blend mode"},
      {[](CProject& p) { p.GetFirstImage()->GetNext()->GetNext()->GetNext()->GetPalette()->SetCount(257); },
       "the palette of image 4 has more than 256 colors"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cause);
    std::unique_ptr<CProject> project = MakeRichProject();
    ASSERT_TRUE(SaveProject(*project, kept));
    const Bytes before = LoadBytes(kept);
    c.change(*project);
    BoxWatcher boxes(kErrorCaption);
    CProjectWriter writer;
    EXPECT_FALSE(writer.Write(kept.c_str(), project.get()));
    EXPECT_FALSE(writer.Write(fresh.c_str(), project.get()));
    ASSERT_TRUE(boxes.WaitFor(2));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>(2, kPrefix + c.cause + "."));
    EXPECT_EQ(LoadBytes(kept), before);
    EXPECT_EQ(folder.Files(), std::vector<std::string>{"kept.vcj"});
  }
}

TEST_F(ProjectFileTest, FailedSaveKeepsThePreviousFile) {
  std::unique_ptr<CProject> project = MakeRichProject();
  const std::string path = folder.File("keep.vcj");
  ASSERT_TRUE(SaveProject(*project, path));
  const Bytes before = LoadBytes(path);

  g_Settings.projectFileCompression->SetValue(7);
  BoxWatcher boxes(kErrorCaption);
  CProjectWriter writer;
  EXPECT_FALSE(writer.Write(path.c_str(), project.get()));
  ASSERT_TRUE(boxes.WaitFor(1));
  EXPECT_EQ(boxes.Texts()[0], "Unknown compression method");
  EXPECT_EQ(LoadBytes(path), before);
  EXPECT_EQ(folder.Files(), std::vector<std::string>{"keep.vcj"});  // no temporary left

  // A read-only file is refused before anything is written.
  g_Settings.projectFileCompression->SetValue(1);
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
  std::string error;
  EXPECT_FALSE(SaveProject(*project, path, &error));
  EXPECT_EQ(error, "The file is write-protected");
  EXPECT_EQ(LoadBytes(path), before);
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(folder.Files().size(), 1u);

  // A folder that does not exist: nothing is created.
  const std::string nowhere = folder.File("missing\\x.vcj");
  EXPECT_FALSE(SaveProject(*project, nowhere, &error));
  EXPECT_EQ(error, "Cannot create the file");
  EXPECT_EQ(GetFileAttributesA(nowhere.c_str()), INVALID_FILE_ATTRIBUTES);

  // A successful save replaces the file.
  project->GetFirstImage()->GetFirstLayer()->GetPixels()->SetPixel(0, 0, 0xFF123456u);
  ASSERT_TRUE(SaveProject(*project, path));
  EXPECT_NE(LoadBytes(path), before);
  EXPECT_EQ(folder.Files().size(), 1u);
}
