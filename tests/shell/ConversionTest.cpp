#include <gtest/gtest.h>
#include <cstddef>
#include <cstring>
#include <vector>
#include "common/BoxWatcher.h"
#include "common/FloatBits.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Palette.h"
#include "document/Project.h"
#include "shell/Conversion.h"
#include "shell/HostServices.h"
#include "plugins/sdk/VCXPlugin.h"

namespace {

// An image of the given size and target format with one layer per fill function.
CImage* MakeImage(int32_t w, int32_t h, int32_t format, std::vector<uint32_t (*)(int32_t, int32_t)> fills) {
  CImage* image = new CImage;
  image->BeginUpdate();
  image->SetSize(w, h);
  for (auto fill : fills) {
    CRasterLayer* layer = new CRasterLayer;
    image->AddLayer(layer);
    CPixelArray* p = layer->GetPixels();
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        p->SetPixel(x, y, fill(x, y));
  }
  image->SetActiveLayer(image->GetFirstLayer());
  image->EndUpdate();
  image->SetTargetFormat(format);
  return image;
}

uint32_t Gradient(int32_t x, int32_t y) { return 0xFF000000u | uint32_t(x * 20) << 16 | uint32_t(y * 30) << 8 | 0x40; }
uint32_t HalfClear(int32_t x, int32_t y) { return x < 2 ? 0x00000000u : 0x80112233u + uint32_t(y); }
uint32_t RedOrClear(int32_t x, int32_t y) { return (x + y) % 3 == 0 ? 0x10FF0000u : 0xFFFF0000u; }
uint32_t Fixed4(int32_t x, int32_t y) {
  static const uint32_t colors[] = {0xFF000000u, 0xFFFFFFFFu, 0xFFFF0000u, 0xFF0000FFu};
  return colors[(x + 2 * y) % 4];
}

VCXImage* Layer(VCXLayeredImage* record, int32_t i) { return vcxGetLayerSlot(record, i); }

// Offsets of the 32-bit plug-in interface and of its x86-64 widening, for records built and
// read as plain bytes.
struct RecordLayout {
  size_t slot;  // bytes of a pointer
  size_t imageOpacity, imageName, imageHeader;
};
constexpr RecordLayout kI686Layout = {4, 36, 40, 296};
constexpr RecordLayout kX64Layout = {8, 40, 44, 300};
constexpr RecordLayout kLayout = sizeof(void*) == 4 ? kI686Layout : kX64Layout;
static_assert(sizeof(VCXImage) == kLayout.imageHeader && offsetof(VCXImage, opacity) == kLayout.imageOpacity &&
                  offsetof(VCXImage, name) == kLayout.imageName,
              "VCXImage as the interface lays it out");

void Put32(std::vector<uint8_t>& record, size_t at, uint32_t value) { std::memcpy(&record[at], &value, 4); }
void PutFloat(std::vector<uint8_t>& record, size_t at, float value) { std::memcpy(&record[at], &value, 4); }
void PutPointer(std::vector<uint8_t>& record, size_t at, const void* pointer) {
  std::memcpy(&record[at], &pointer, kLayout.slot);
}
uint32_t Get32(const void* record, size_t at) {
  uint32_t value;
  std::memcpy(&value, static_cast<const uint8_t*>(record) + at, 4);
  return value;
}
const void* GetPointer(const void* record, size_t at) {
  const void* pointer = nullptr;
  std::memcpy(&pointer, static_cast<const uint8_t*>(record) + at, kLayout.slot);
  return pointer;
}

// A colour or mask layer laid out byte by byte, its payload pointing at pixels.
std::vector<uint8_t> RawImage(uint32_t format, int32_t width, int32_t height, const void* palette,
                              float opacity, const char* name, const void* pixels) {
  std::vector<uint8_t> record(kLayout.imageHeader + kLayout.slot, 0);
  const uint32_t fields[] = {uint32_t(kLayout.imageHeader), VCX_KIND_COLOR, format, VCX_FLAG_CURRENT,
                             uint32_t(width), uint32_t(height)};
  for (size_t i = 0; i < 6; ++i)
    Put32(record, 4 * i, fields[i]);
  PutPointer(record, 32, palette);
  PutFloat(record, kLayout.imageOpacity, opacity);
  std::strcpy(reinterpret_cast<char*>(&record[kLayout.imageName]), name);
  PutPointer(record, kLayout.imageHeader, pixels);
  return record;
}

}  // namespace

TEST(PortableRecords, ThirtyTwoBitLayersTravelSeparately) {
  CProject project;
  CImage* image = MakeImage(5, 4, CImage::FORMAT_32BIT_ARGB, {Gradient, HalfClear});
  project.AddImage(image);
  project.SetCurrentImage(image);
  CLayer* top = image->GetLastLayer();
  top->SetVisible(false);
  top->SetOpacity(0.25f);
  top->SetName("Top");

  VCXLayeredImage* record = CreatePortableImage(image);
  ASSERT_NE(nullptr, record);
  EXPECT_EQ(36, record->headerSize);
  EXPECT_EQ(0x200000u, record->format);
  EXPECT_EQ(VCX_FLAG_CURRENT, record->flags);
  EXPECT_EQ(2, record->layerCount);
  EXPECT_EQ(VCX_FLAG_CURRENT, Layer(record, 0)->flags);
  EXPECT_EQ(VCX_FLAG_HIDDEN, Layer(record, 1)->flags);
  EXPECT_STREQ("Top", Layer(record, 1)->name);
  EXPECT_FLOAT_EQ(0.25f, Layer(record, 1)->opacity);
  const uint8_t* bytes = vcxGetPixelSlot(Layer(record, 0));
  // B, G, R, A of pixel (3, 2).
  const uint8_t* p = bytes + (2 * 5 + 3) * 4;
  EXPECT_EQ(0x40, p[0]);
  EXPECT_EQ(60, p[1]);
  EXPECT_EQ(60, p[2]);
  EXPECT_EQ(0xFF, p[3]);

  CImage* back = ConvertPortableLayeredImage(record);
  VcsFreeLayeredImage(record);
  ASSERT_NE(nullptr, back);
  EXPECT_EQ(CImage::FORMAT_32BIT_ARGB, back->GetTargetFormat());
  ASSERT_EQ(2, back->GetLayerCount());
  EXPECT_FALSE(back->GetLastLayer()->IsVisible());
  EXPECT_TRUE(back->GetFirstLayer()->IsVisible());
  EXPECT_FLOAT_EQ(0.25f, back->GetLastLayer()->GetOpacity());
  EXPECT_STREQ("Top", back->GetLastLayer()->GetName());
  EXPECT_EQ(back->GetFirstLayer(), back->GetActiveLayer());
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 5; ++x) {
      EXPECT_EQ(Gradient(x, y), back->GetFirstLayer()->GetPixels()->GetPixel(x, y));
      EXPECT_EQ(HalfClear(x, y), back->GetLastLayer()->GetPixels()->GetPixel(x, y));
    }
  delete back;
}

TEST(PortableRecords, OpaqueTwentyFourBitHasNoMask) {
  CImage* image = MakeImage(3, 2, CImage::FORMAT_24BIT_RGB, {Gradient});
  VCXLayeredImage* record = CreatePortableImage(image);
  ASSERT_NE(nullptr, record);
  EXPECT_EQ(0x180000u, record->format);
  EXPECT_EQ(0, record->flags);
  ASSERT_EQ(1, record->layerCount);
  VCXImage* colors = Layer(record, 0);
  EXPECT_STREQ("IMAGE", colors->name);
  EXPECT_EQ(VCX_KIND_COLOR, colors->kind);
  const uint8_t* bytes = vcxGetPixelSlot(colors);
  // Rows of 9 bytes, back to back.
  const uint8_t* p = bytes + 9 + 2 * 3;
  EXPECT_EQ(0x40, p[0]);
  EXPECT_EQ(30, p[1]);
  EXPECT_EQ(40, p[2]);
  VcsFreeLayeredImage(record);
  delete image;
}

TEST(PortableRecords, ReducedImageWithoutPixelsIsRefused) {
  // Neither the preview nor the composite holds pixels (their allocations failed).
  for (int32_t format : {CImage::FORMAT_24BIT_RGB, CImage::FORMAT_8BIT_PALETTE}) {
    CImage* image = MakeImage(3, 2, format, {Gradient});
    image->GetPreview()->SetSize(0, 0);
    image->GetComposite()->SetSize(0, 0);
    BoxWatcher boxes("Vellumcraft :: Error");
    EXPECT_EQ(nullptr, CreatePortableImage(image)) << format;
    ASSERT_TRUE(boxes.WaitFor(1));
    EXPECT_EQ("Portable image creation failed", boxes.Texts()[0]);
    delete image;
  }
}

TEST(PortableRecords, TransparentPixelsAddAOneBitMask) {
  CImage* image = MakeImage(9, 2, CImage::FORMAT_24BIT_RGB, {RedOrClear});
  VCXLayeredImage* record = CreatePortableImage(image);
  ASSERT_NE(nullptr, record);
  ASSERT_EQ(2, record->layerCount);
  VCXImage* mask = Layer(record, 1);
  EXPECT_STREQ("MASK", mask->name);
  EXPECT_EQ(VCX_KIND_MASK, mask->kind);
  EXPECT_EQ(0x10000u, mask->format);
  const uint8_t* bits = vcxGetPixelSlot(mask);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 9; ++x) {
      bool opaque = (bits[y * 2 + x / 8] >> (7 - x % 8)) & 1;
      EXPECT_EQ((x + y) % 3 != 0, opaque) << x << "," << y;
    }
  VcsFreeLayeredImage(record);
  delete image;
}

TEST(PortableRecords, PaletteImagesCarryIndicesAndTheirPalette) {
  CImage* image = MakeImage(5, 3, CImage::FORMAT_4BIT_PALETTE, {Fixed4});
  VCXLayeredImage* record = CreatePortableImage(image);
  ASSERT_NE(nullptr, record);
  EXPECT_EQ(0x40000u, record->format);
  VCXImage* colors = Layer(record, 0);
  VCXPalette* palette = vcxGetImagePalette(colors);
  ASSERT_NE(nullptr, palette);
  ASSERT_EQ(16, palette->count);
  const VCXPaletteEntry* entries = vcxGetPaletteEntries(palette);
  const uint8_t* bytes = vcxGetPixelSlot(colors);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 5; ++x) {
      int index = (bytes[y * 3 + x / 2] >> (x % 2 ? 0 : 4)) & 15;
      uint32_t c = uint32_t(entries[index].alpha) << 24 | uint32_t(entries[index].red) << 16 |
                   uint32_t(entries[index].green) << 8 | uint32_t(entries[index].blue);
      EXPECT_EQ(Fixed4(x, y), c) << x << "," << y;
    }

  CImage* back = ConvertPortableLayeredImage(record);
  VcsFreeLayeredImage(record);
  ASSERT_NE(nullptr, back);
  EXPECT_EQ(CImage::FORMAT_4BIT_PALETTE, back->GetTargetFormat());
  ASSERT_NE(nullptr, back->GetPalette());
  ASSERT_EQ(16, back->GetPalette()->GetCount());
  for (int32_t i = 0; i < 16; ++i)
    EXPECT_EQ(image->GetPalette()->GetEntry(i)->GetColor(), back->GetPalette()->GetEntry(i)->GetColor());
  EXPECT_TRUE(back->IsPaletteFixed());
  EXPECT_EQ(Fixed4(4, 2), back->GetFirstLayer()->GetPixels()->GetPixel(4, 2));
  delete back;
  delete image;
}

TEST(PortableRecords, EightBitRecordWithPaletteGivesItsPalette) {
  VCXLayeredImage header = vcxLayeredImageRequest(VCX_FORMAT_8, 2, 1, 1);
  VCXLayeredImage* record = VcsCreateLayeredImage(&header);
  VCXImage layer = vcxImageRequest(VCX_KIND_COLOR, VCX_FORMAT_8, 2, 1, "");
  VCXImage* colors = VcsCreateImage(&layer);
  vcxSetLayerSlot(record, 0, colors);
  VCXPalette p{};
  p.headerSize = sizeof p;
  p.version = 1;
  p.count = 3;
  VCXPalette* palette = VcsCreatePalette(&p);
  VCXPaletteEntry* e = vcxGetPaletteEntries(palette);
  e[0] = {255, 10, 20, 30};
  e[1] = {255, 200, 100, 50};
  e[2] = {0, 0, 0, 0};
  vcxSetImagePalette(colors, palette);
  vcxGetPixelSlot(colors)[0] = 1;
  vcxGetPixelSlot(colors)[1] = 0;

  CImage* image = ConvertPortableLayeredImage(record);
  VcsFreeLayeredImage(record);
  ASSERT_NE(nullptr, image);
  EXPECT_EQ(CImage::FORMAT_8BIT_PALETTE, image->GetTargetFormat());
  ASSERT_EQ(3, image->GetPalette()->GetCount());
  EXPECT_EQ(0xFFC86432u, image->GetPalette()->GetEntry(1)->GetColor());
  EXPECT_EQ(0x00000000u, image->GetPalette()->GetEntry(2)->GetColor());
  EXPECT_EQ(0xFFC86432u, image->GetFirstLayer()->GetPixels()->GetPixel(0, 0));
  EXPECT_EQ(0xFF0A141Eu, image->GetFirstLayer()->GetPixels()->GetPixel(1, 0));
  EXPECT_FLOAT_EQ(3779.5276f, image->GetXResolution());
  EXPECT_FLOAT_EQ(3779.5276f, image->GetYResolution());
  delete image;
}

TEST(PortableRecords, FloatsThatWouldTrapCountAsUnknownOrNone) {
  VCXLayeredImage header = vcxLayeredImageRequest(VCX_FORMAT_32, 1, 1, 3);
  StoreFloatBits(&header.xResolution, kFloatDenormal);
  StoreFloatBits(&header.yResolution, kFloatNaN);
  VCXLayeredImage* record = VcsCreateLayeredImage(&header);
  const uint32_t opacities[3] = {kFloatDenormal, kFloatInfinity, kFloatNaN};
  for (int32_t i = 0; i < 3; ++i) {
    VCXImage layer = vcxImageRequest(VCX_KIND_COLOR, VCX_FORMAT_32, 1, 1, "");
    StoreFloatBits(&layer.opacity, opacities[i]);
    vcxSetLayerSlot(record, i, VcsCreateImage(&layer));
  }
  CImage* image = ConvertPortableLayeredImage(record);
  VcsFreeLayeredImage(record);
  ASSERT_NE(nullptr, image);
  EXPECT_FLOAT_EQ(3779.5276f, image->GetXResolution());
  EXPECT_FLOAT_EQ(3779.5276f, image->GetYResolution());
  ASSERT_EQ(3, image->GetLayerCount());
  EXPECT_EQ(0u, FloatBitsOf(image->GetFirstLayer()->GetOpacity()));
  EXPECT_FLOAT_EQ(1.0f, image->GetFirstLayer()->GetNext()->GetOpacity());
  EXPECT_EQ(0u, FloatBitsOf(image->GetLastLayer()->GetOpacity()));
  delete image;
}

TEST(PortableRecords, MasksApplyToTheLayersBeforeThem) {
  BoxWatcher watcher("Vellumcraft :: Error");
  VCXLayeredImage header = vcxLayeredImageRequest(VCX_FORMAT_32, 8, 1, 6);
  header.xResolution = 2000.0f;
  VCXLayeredImage* record = VcsCreateLayeredImage(&header);
  auto make = [](int32_t kind, uint32_t format, int32_t width, uint8_t fill) {
    VCXImage layer = vcxImageRequest(kind, format, width, 1, "");
    VCXImage* r = VcsCreateImage(&layer);
    std::memset(vcxGetPixelSlot(r), fill, size_t(GetRecordRowBytes(format, width)));
    return r;
  };
  vcxSetLayerSlot(record, 0, make(VCX_KIND_MASK, VCX_FORMAT_1, 8, 0x00));  // before any colour: nothing
  vcxSetLayerSlot(record, 1, make(VCX_KIND_COLOR, VCX_FORMAT_32, 8, 0xFF));
  vcxSetLayerSlot(record, 2, nullptr);
  vcxSetLayerSlot(record, 3, make(VCX_KIND_COLOR, VCX_FORMAT_32, 8, 0xFF));
  vcxSetLayerSlot(record, 4, make(VCX_KIND_MASK, VCX_FORMAT_1, 8, 0xF0));
  vcxSetLayerSlot(record, 5, make(VCX_KIND_MASK, VCX_FORMAT_8, 8, 0x00));  // not 1-bit: refused

  CImage* image = ConvertPortableLayeredImage(record);
  VcsFreeLayeredImage(record);
  ASSERT_NE(nullptr, image);
  ASSERT_EQ(2, image->GetLayerCount());
  EXPECT_EQ(image->GetLastLayer(), image->GetActiveLayer());
  EXPECT_FLOAT_EQ(2000.0f, image->GetXResolution());
  for (CLayer* layer = image->GetFirstLayer(); layer; layer = layer->GetNext())
    for (int32_t x = 0; x < 8; ++x)
      EXPECT_EQ(x < 4 ? 0xFFu : 0u, layer->GetPixels()->GetPixel(x, 0) >> 24) << x;
  delete image;
  ASSERT_TRUE(watcher.WaitFor(1));
  EXPECT_EQ("Unsupported mask format", watcher.Texts()[0]);
}

TEST(PortableRecords, ProjectsTravelAsMultiImages) {
  CProject project;
  CImage* a = MakeImage(4, 4, CImage::FORMAT_32BIT_ARGB, {Gradient});
  CImage* b = MakeImage(2, 2, CImage::FORMAT_32BIT_ARGB, {HalfClear});
  CImage* c = MakeImage(3, 3, CImage::FORMAT_24BIT_RGB, {Gradient});
  project.AddImage(a);
  project.AddImage(b);
  project.AddImage(c);
  b->SetForExport(false);
  VCXMultiImage* record = CreatePortableMultiImage(&project);
  ASSERT_NE(nullptr, record);
  ASSERT_EQ(2, record->count);
  EXPECT_EQ(4, vcxGetImageSlot(record, 0)->width);
  EXPECT_EQ(3, vcxGetImageSlot(record, 1)->width);

  VcsFreeLayeredImage(vcxGetImageSlot(record, 0));
  vcxSetImageSlot(record, 0, nullptr);  // a gap is skipped
  CProject* back = ConvertPortableMultiImage(record);
  VcsFreeMultiImage(record);
  ASSERT_NE(nullptr, back);
  ASSERT_EQ(1, back->GetImageCount());
  EXPECT_EQ(3, back->GetFirstImage()->GetWidth());
  EXPECT_EQ(back->GetFirstImage(), back->GetCurrentImage());
  EXPECT_EQ(CImage::FORMAT_24BIT_RGB, back->GetFirstImage()->GetTargetFormat());
  delete back;

  a->SetForExport(false);
  c->SetForExport(false);
  record = CreatePortableMultiImage(&project);
  ASSERT_NE(nullptr, record);
  EXPECT_EQ(0, record->count);
  VcsFreeMultiImage(record);

  record = CreatePortableMultiImageOfImage(b);
  ASSERT_NE(nullptr, record);
  EXPECT_EQ(1, record->count);
  VcsFreeMultiImage(record);
}

TEST(PortableRecords, RecordsHaveTheInterfaceLayoutByteForByte) {
  // Import: a multi-image {gap, image {gap, 8-bit layer with a palette}} made of plain bytes.
  std::vector<uint8_t> palette(16 + 2 * 16, 0);
  const uint32_t paletteFields[] = {16, 1, 0, 2, 255, 10, 20, 30, 255, 200, 100, 50};
  for (size_t i = 0; i < 12; ++i)
    Put32(palette, 4 * i, paletteFields[i]);
  const uint8_t indices[2] = {1, 0};
  std::vector<uint8_t> layer = RawImage(VCX_FORMAT_8, 2, 1, palette.data(), 0.5f, "Raw", indices);
  std::vector<uint8_t> layered(36 + 2 * kLayout.slot, 0);
  const uint32_t layeredFields[] = {36, 1, VCX_FORMAT_8, VCX_FLAG_CURRENT, 2, 1, 0, 0, 2};
  for (size_t i = 0; i < 9; ++i)
    Put32(layered, 4 * i, layeredFields[i]);
  PutPointer(layered, 36 + kLayout.slot, layer.data());
  std::vector<uint8_t> multi(12 + 2 * kLayout.slot, 0);
  Put32(multi, 0, 12);
  Put32(multi, 8, 2);
  PutPointer(multi, 12 + kLayout.slot, layered.data());

  CProject* project = ConvertPortableMultiImage(reinterpret_cast<VCXMultiImage*>(multi.data()));
  ASSERT_NE(nullptr, project);
  ASSERT_EQ(1, project->GetImageCount());
  CImage* image = project->GetFirstImage();
  EXPECT_EQ(CImage::FORMAT_8BIT_PALETTE, image->GetTargetFormat());
  ASSERT_EQ(2, image->GetPalette()->GetCount());
  EXPECT_EQ(0xFFC86432u, image->GetPalette()->GetEntry(1)->GetColor());
  ASSERT_EQ(1, image->GetLayerCount());
  EXPECT_STREQ("Raw", image->GetFirstLayer()->GetName());
  EXPECT_FLOAT_EQ(0.5f, image->GetFirstLayer()->GetOpacity());
  EXPECT_EQ(0xFFC86432u, image->GetFirstLayer()->GetPixels()->GetPixel(0, 0));
  EXPECT_EQ(0xFF0A141Eu, image->GetFirstLayer()->GetPixels()->GetPixel(1, 0));
  delete project;

  // A create request of the interface's header size is taken field by field.
  const uint32_t pixel = 0xFF336699u;
  std::vector<uint8_t> request = RawImage(VCX_FORMAT_32, 1, 1, nullptr, 0.75f, "Request", nullptr);
  request.resize(kLayout.imageHeader);
  VCXImage* created = VcsCreateImage(reinterpret_cast<const VCXImage*>(request.data()));
  ASSERT_NE(nullptr, created);
  EXPECT_EQ(kLayout.imageHeader, Get32(created, 0));
  EXPECT_EQ(0, std::memcmp(created, request.data(), kLayout.imageHeader));
  ASSERT_NE(nullptr, GetPointer(created, kLayout.imageHeader));
  std::memcpy(const_cast<void*>(GetPointer(created, kLayout.imageHeader)), &pixel, 4);

  // Export: the host's records read back at the same offsets.
  VCXLayeredImage header = vcxLayeredImageRequest(VCX_FORMAT_32, 1, 1, 2);
  VCXLayeredImage* record = VcsCreateLayeredImage(&header);
  ASSERT_NE(nullptr, record);
  vcxSetLayerSlot(record, 1, created);
  EXPECT_EQ(created, GetPointer(record, 36 + kLayout.slot));
  EXPECT_EQ(nullptr, GetPointer(record, 36));
  image = ConvertPortableLayeredImage(record);
  VcsFreeLayeredImage(record);
  ASSERT_NE(nullptr, image);
  VCXLayeredImage* exported = CreatePortableImage(image);
  delete image;
  ASSERT_NE(nullptr, exported);
  const void* out = GetPointer(exported, 36);
  ASSERT_NE(nullptr, out);
  EXPECT_EQ(kLayout.imageHeader, Get32(out, 0));
  EXPECT_EQ(nullptr, GetPointer(out, 32));
  float opacity;
  std::memcpy(&opacity, static_cast<const uint8_t*>(out) + kLayout.imageOpacity, 4);
  EXPECT_FLOAT_EQ(0.75f, opacity);
  EXPECT_STREQ("Request", static_cast<const char*>(out) + kLayout.imageName);
  EXPECT_EQ(pixel, Get32(GetPointer(out, kLayout.imageHeader), 0));
  VcsFreeLayeredImage(exported);
}
