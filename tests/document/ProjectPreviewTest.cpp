#include <gtest/gtest.h>
#include <windows.h>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>
#include "common/BoxWatcher.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/PixelArray.h"
#include "document/Project.h"
#include "document/ProjectFile.h"
#include "document/ProjectPreview.h"
#include "document/ScratchFiles.h"
#include "shell/HostServices.h"
#include "shell/Settings.h"

namespace {

uint32_t Pattern(int x, int y) {
  return (static_cast<uint32_t>(x * 37 + y) & 0xFF) << 24 | static_cast<uint32_t>(x * 11) << 16 |
         static_cast<uint32_t>(y * 7) << 8 | static_cast<uint32_t>((x ^ y) & 0xFF);
}

CImage* AddImage(CProject& project, int w, int h) {
  CImage* image = new CImage();
  image->SetSize(w, h);
  project.AddImage(image);
  image->SetTargetFormat(0x200000);
  return image;
}

CRasterLayer* AddLayer(CImage& image, uint32_t (*pixel)(int, int)) {
  CRasterLayer* layer = new CRasterLayer();
  image.AddLayer(layer);
  CPixelArray* px = layer->GetPixels();
  for (int y = 0; y < px->height; ++y)
    for (int x = 0; x < px->width; ++x)
      px->SetPixel(x, y, pixel(x, y));
  image.UpdateAll();
  return layer;
}

class ProjectPreviewTest : public testing::Test {
protected:
  void SetUp() override {
    zrInit();
    savedEmbed = g_Settings.projectFileEmbedThumbnails->GetValue();
    savedMax = g_Settings.projectFileMaxThumbnailSize->GetValue();
    savedMaxEx = g_Settings.projectFileMaxThumbnailSizeEx->GetValue();
    savedCompression = g_Settings.projectFileCompression->GetValue();
    g_Settings.projectFileEmbedThumbnails->SetValue(false);
    g_Settings.projectFileCompression->SetValue(2);
  }
  void TearDown() override {
    g_Settings.projectFileEmbedThumbnails->SetValue(savedEmbed);
    g_Settings.projectFileMaxThumbnailSize->SetValue(savedMax);
    g_Settings.projectFileMaxThumbnailSizeEx->SetValue(savedMaxEx);
    g_Settings.projectFileCompression->SetValue(savedCompression);
  }
  std::string Save(CProject& project, const char* name) {
    std::string path = folder.File(name);
    CProjectWriter writer;
    writer.Save(path.c_str(), &project);
    return path;
  }
  // Calls the probe with every output asked for.
  int Probe(const std::string& path, VCXLayeredImage** picture, char* text = nullptr, int size = 0) {
    outType = 0;
    return CanImportProject(path.c_str(), &outType, picture, text, size);
  }

  ScratchFolder folder;
  int outType = 0;
  bool savedEmbed = false;
  int32_t savedMax = 0;
  int32_t savedMaxEx = 0;
  int32_t savedCompression = 0;
};

TEST_F(ProjectPreviewTest, OnlyLayerOfFirstImageIsThePicture) {
  CProject project;
  CImage* image = AddImage(project, 21, 13);
  AddLayer(*image, Pattern);
  const std::string path = Save(project, "one.vcj");

  VCXLayeredImage* picture = nullptr;
  char text[64];
  std::memset(text, 'x', sizeof text);
  ASSERT_EQ(1, Probe(path, &picture, text, sizeof text));
  EXPECT_EQ(1, outType);
  EXPECT_STREQ("Vellumcraft project\n1 image", text);
  ASSERT_NE(nullptr, picture);
  EXPECT_EQ(0x200000u, picture->format);
  EXPECT_EQ(21, picture->width);
  EXPECT_EQ(13, picture->height);
  ASSERT_EQ(1, picture->layerCount);
  VCXImage* layer = vcxGetLayerSlot(picture, 0);
  ASSERT_NE(nullptr, layer);
  EXPECT_STREQ("PREVIEW", layer->name);
  EXPECT_EQ(VCX_KIND_COLOR, layer->kind);
  // Opacity is a factor where 1 is opaque.
  EXPECT_FLOAT_EQ(1.0f, layer->opacity);
  const uint32_t* pixels = reinterpret_cast<const uint32_t*>(vcxGetPixelSlot(layer));
  ASSERT_NE(nullptr, pixels);
  int wrong = 0;
  for (int y = 0; y < 13; ++y)
    for (int x = 0; x < 21; ++x)
      wrong += pixels[y * 21 + x] != Pattern(x, y);
  EXPECT_EQ(0, wrong);
  VcsFreeLayeredImage(picture);
}

TEST_F(ProjectPreviewTest, TwoLayersWithoutThumbnailGiveOnlyTheDescription) {
  CProject project;
  CImage* image = AddImage(project, 8, 8);
  AddLayer(*image, Pattern);
  AddLayer(*image, [](int, int) { return 0x80FF0000u; });
  AddImage(project, 4, 4);
  AddLayer(*project.GetLastImage(), Pattern);
  const std::string path = Save(project, "two.vcj");

  VCXLayeredImage* picture = reinterpret_cast<VCXLayeredImage*>(1);
  char text[64] = {};
  ASSERT_EQ(1, Probe(path, &picture, text, sizeof text));
  EXPECT_EQ(nullptr, picture);
  EXPECT_STREQ("Vellumcraft project\n2 images", text);
}

TEST_F(ProjectPreviewTest, EmbeddedThumbnailIsPreferred) {
  g_Settings.projectFileEmbedThumbnails->SetValue(true);
  g_Settings.projectFileMaxThumbnailSize->SetValue(16);
  g_Settings.projectFileMaxThumbnailSizeEx->SetValue(16);
  CProject project;
  CImage* image = AddImage(project, 40, 20);
  AddLayer(*image, [](int, int) { return 0xFF2040C0u; });
  const std::string path = Save(project, "thumb.vcj");

  VCXLayeredImage* picture = nullptr;
  ASSERT_EQ(1, Probe(path, &picture));
  ASSERT_NE(nullptr, picture);
  // The thumbnail, not the 40 x 20 layer.
  EXPECT_EQ(16, picture->width);
  EXPECT_EQ(8, picture->height);
  const uint32_t* pixels = reinterpret_cast<const uint32_t*>(vcxGetPixelSlot(vcxGetLayerSlot(picture, 0)));
  EXPECT_EQ(0xFF2040C0u, pixels[4 * 16 + 8]);
  VcsFreeLayeredImage(picture);
}

TEST_F(ProjectPreviewTest, SupersampledLayerHasNoPicture) {
  CProject project;
  CImage* image = AddImage(project, 6, 6);
  CRasterLayer* layer = AddLayer(*image, Pattern);
  layer->SetSupersampling(true);
  ASSERT_TRUE(layer->IsSupersampled());
  const std::string path = Save(project, "super.vcj");
  VCXLayeredImage* picture = nullptr;
  EXPECT_EQ(1, Probe(path, &picture));
  EXPECT_EQ(nullptr, picture);
}

TEST_F(ProjectPreviewTest, OtherFilesAreRefusedSilently) {
  BoxWatcher boxes("Vellumcraft :: Error");
  const std::string text = folder.File("note.vcj");
  FILE* f = std::fopen(text.c_str(), "wb");
  ASSERT_NE(nullptr, f);
  std::fputs("VCP1 this is not a chunk header at all", f);
  std::fclose(f);

  VCXLayeredImage* picture = nullptr;
  char description[64] = "untouched";
  EXPECT_EQ(0, Probe(text, &picture, description, sizeof description));
  EXPECT_EQ(nullptr, picture);
  EXPECT_EQ(0, outType);
  EXPECT_EQ(0, Probe(folder.File("missing.vcj"), &picture, description, sizeof description));
  EXPECT_EQ(0, CanImportProject(nullptr, nullptr, nullptr, nullptr, 0));
  EXPECT_STREQ("untouched", description);
  Sleep(100);
  EXPECT_EQ(0u, boxes.Count());
}

TEST_F(ProjectPreviewTest, DamagedPixelsLeaveNoPictureAndNoMessage) {
  BoxWatcher boxes("Vellumcraft :: Error");
  g_Settings.projectFileCompression->SetValue(0);
  CProject project;
  CImage* image = AddImage(project, 64, 64);
  AddLayer(*image, Pattern);
  const std::string path = Save(project, "whole.vcj");
  std::vector<uint8_t> bytes = LoadBytes(path);
  ASSERT_GT(bytes.size(), 4000u);

  // Cut inside the pixel data: the header still says it is a project.
  const std::string cut = folder.File("cut.vcj");
  std::vector<uint8_t> head(bytes.begin(), bytes.begin() + static_cast<long>(bytes.size() * 2 / 3));
  FILE* f = std::fopen(cut.c_str(), "wb");
  ASSERT_NE(nullptr, f);
  std::fwrite(head.data(), 1, head.size(), f);
  std::fclose(f);
  VCXLayeredImage* picture = nullptr;
  char text[64] = {};
  EXPECT_EQ(1, Probe(cut, &picture, text, sizeof text));
  EXPECT_EQ(nullptr, picture);
  EXPECT_STREQ("Vellumcraft project\n1 image", text);

  // Garbage in the residuals: the picture may come out wrong but nothing breaks.
  for (size_t i = bytes.size() / 2; i < bytes.size() - 8; i += 97)
    bytes[i] ^= 0x5A;
  const std::string noisy = folder.File("noisy.vcj");
  f = std::fopen(noisy.c_str(), "wb");
  ASSERT_NE(nullptr, f);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  picture = nullptr;
  Probe(noisy, &picture);
  if (picture)
    VcsFreeLayeredImage(picture);
  Sleep(100);
  EXPECT_EQ(0u, boxes.Count());
}

// A layer whose bitmap needs more work than a small file may do still gets its picture: the
// preview may do what the project reader does for a layer of its size.
TEST_F(ProjectPreviewTest, LargeLayerThatOpensGetsItsPicture) {
  g_Settings.projectFileCompression->SetValue(1);
  const int size = 5000;
  auto pixel = [](int x, int y) { return x < 16 && y < 16 ? Pattern(x, y) | 0xFF000000u : 0xFF336699u; };
  std::string path;
  {
    CProject project;
    AddLayer(*AddImage(project, size, size), pixel);
    path = Save(project, "large.vcj");
  }
  std::unique_ptr<CProject> opened(CProjectReader().Load(path.c_str()));
  ASSERT_NE(nullptr, opened);
  opened.reset();

  VCXLayeredImage* picture = nullptr;
  ASSERT_EQ(1, Probe(path, &picture));
  ASSERT_NE(nullptr, picture);
  EXPECT_EQ(size, picture->width);
  const uint32_t* pixels = reinterpret_cast<const uint32_t*>(vcxGetPixelSlot(vcxGetLayerSlot(picture, 0)));
  for (int xy : {0, 5, 15, 16, size - 1})
    EXPECT_EQ(pixel(xy, xy), pixels[static_cast<size_t>(xy) * size + xy]) << xy;
  VcsFreeLayeredImage(picture);
}

TEST_F(ProjectPreviewTest, DescriptionIsCutToTheBuffer) {
  CProject project;
  AddLayer(*AddImage(project, 2, 2), Pattern);
  const std::string path = Save(project, "short.vcj");
  char text[10];
  std::memset(text, 'x', sizeof text);
  EXPECT_EQ(1, CanImportProject(path.c_str(), nullptr, nullptr, text, sizeof text));
  EXPECT_STREQ("Vellumcr", std::string(text, 8).c_str());
  EXPECT_EQ(0, text[9]);
}

TEST_F(ProjectPreviewTest, FileTypeRecordsOfTheProjectFormat) {
  VCXFileType* type = GetProjectFileType();
  ASSERT_NE(nullptr, type);
  EXPECT_EQ(272, type->headerSize);
  EXPECT_EQ(1, type->id);
  EXPECT_STREQ("Vellumcraft project", type->description);
  ASSERT_EQ(1, type->extensionCount);
  EXPECT_STREQ("vcj", vcxGetFileTypeExtensions(type)[0].extension);
  EXPECT_EQ(0, vcxGetFileTypeExtensions(type)[0].flags);
  VcsFreeFileType(type);
  EXPECT_EQ(nullptr, GetNextProjectFileType());
  int flags = 5;
  EXPECT_EQ(1, CanExportProject(1, nullptr, &flags));
  EXPECT_EQ(0, flags);
}

}  // namespace
