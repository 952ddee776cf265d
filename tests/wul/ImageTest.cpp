#include <gtest/gtest.h>
#include <windows.h>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>
#include "wul/WULError.h"
#include "wul/WULImage.h"
#include "wul/WULSRGB.h"

namespace {

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return (a << 24) | (r << 16) | (g << 8) | b; }

// p / 255 rounded, the blend rule of the images.
uint32_t Div255(uint32_t p) { return (p * 65793u + (1u << 23)) >> 24; }

// Knows when it is deleted.
class TrackedImage : public CWULImage {
public:
  TrackedImage(int width, int height, bool* deleted) : CWULImage(width, height), deleted(deleted) {
    *deleted = false;
  }
  ~TrackedImage() override { *deleted = true; }
  bool* deleted;
};

// An image whose pixel at (x, y) is a distinct value.
CWULImage* Numbered(int width, int height) {
  CWULImage* image = new CWULImage(width, height);
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++)
      image->SetPixel(x, y, 0xFF000000u | static_cast<uint32_t>(y * 1000 + x));
  return image;
}

void ExpectError(int code, const char* location, const char* description, const CWULError& error) {
  EXPECT_EQ(code, error.code);
  EXPECT_STREQ(location, error.location);
  EXPECT_STREQ(description, error.description);
}

}  // namespace

TEST(Image, ConstructorAllocatesAnOwnedBuffer) {
  CWULImage image(3, 2);
  EXPECT_EQ(WUL_CLASS_IMAGE, image.classCode);
  EXPECT_EQ(3, image.width);
  EXPECT_EQ(2, image.height);
  ASSERT_NE(nullptr, image.pixels);
  EXPECT_EQ(1, image.ownsPixels);
  EXPECT_EQ(1, image.autoDelete);
  EXPECT_EQ(0, image.refCount);
  image.Fill(CWULColor(0x12345678u));
  for (int i = 0; i < 6; i++)
    EXPECT_EQ(0x12345678u, image.pixels[i]);
}

TEST(Image, EmptyOrNegativeSizeHasNoPixels) {
  CWULImage empty(0, 5);
  EXPECT_EQ(nullptr, empty.pixels);
  CWULImage negative(-4, 3);
  EXPECT_EQ(nullptr, negative.pixels);
  EXPECT_EQ(0, negative.width);
  // Operations do nothing on an image without pixels.
  negative.Fill(CWULColor(1u));
  RECT r = {0, 0, 10, 10};
  negative.FillRect(&r, CWULColor(1u));
  negative.SetPixel(0, 0, 5);
  EXPECT_EQ(0u, negative.GetPixel(0, 0));
  negative.Scroll(0, 1);
  negative.ToGrayscale();
  negative.PremultiplyAlpha();
}

TEST(Image, HugeSizeThrowsAllocationFailure) {
  try {
    CWULImage image(0x7FFFFFFF, 0x7FFFFFFF);
    FAIL() << "no error";
  } catch (const CWULError& error) {
    ExpectError(5, "CWULImage::CWULImage", "Image allocation failed", error);
  }
}

TEST(Image, WrappedBufferIsNotOwned) {
  uint32_t buffer[4] = {1, 2, 3, 4};
  CWULImage* image = new CWULImage(buffer, 2, 2);
  EXPECT_EQ(buffer, image->pixels);
  EXPECT_EQ(0, image->ownsPixels);
  EXPECT_EQ(3u, image->GetPixel(0, 1));
  image->SetPixel(1, 1, 9);
  EXPECT_EQ(9u, buffer[3]);
  // Freeing the stack buffer would break the process.
  CWULImage::Release(image);
  EXPECT_EQ(1u, buffer[0]);
}

TEST(Image, ReleaseWithoutAddRefDeletes) {
  bool deleted = false;
  CWULImage* image = new TrackedImage(2, 2, &deleted);
  image->Release();
  EXPECT_TRUE(deleted);
}

TEST(Image, ReleaseDeletesAtTheLastReference) {
  bool deleted = false;
  CWULImage* image = new TrackedImage(2, 2, &deleted);
  CWULImage::AddRef(image);
  image->AddRef();
  EXPECT_EQ(2, image->refCount);
  CWULImage::Release(image);
  EXPECT_FALSE(deleted);
  EXPECT_EQ(1, image->refCount);
  CWULImage::Release(image);
  EXPECT_TRUE(deleted);
}

TEST(Image, AddRefAndReleaseAcceptNull) {
  CWULImage::AddRef(nullptr);
  CWULImage::Release(nullptr);
  EXPECT_EQ(nullptr, CWULImage::Clone(nullptr));
}

TEST(Image, ReleaseWithAutoDeleteOffNeverDeletes) {
  bool deleted = false;
  TrackedImage* image = new TrackedImage(2, 2, &deleted);
  image->SetAutoDelete(false);
  image->AddRef();
  image->Release();
  image->Release();
  image->Release();
  EXPECT_FALSE(deleted);
  EXPECT_EQ(-2, image->refCount);
  delete image;
  EXPECT_TRUE(deleted);
}

TEST(Image, EmbeddedImageSurvivesRelease) {
  CWULImage image(1, 1);
  image.SetAutoDelete(false);
  image.Release();
  EXPECT_EQ(-1, image.refCount);
}

TEST(Image, CloneCopiesPixelsIntoAnOwnedBuffer) {
  uint32_t buffer[6] = {1, 2, 3, 4, 5, 6};
  CWULImage source(buffer, 3, 2);
  source.AddRef();
  CWULImage* copy = source.Clone();
  ASSERT_NE(nullptr, copy);
  EXPECT_EQ(3, copy->width);
  EXPECT_EQ(2, copy->height);
  EXPECT_NE(buffer, copy->pixels);
  EXPECT_EQ(1, copy->ownsPixels);
  EXPECT_EQ(0, copy->refCount);
  EXPECT_EQ(1, copy->autoDelete);
  EXPECT_EQ(0, std::memcmp(buffer, copy->pixels, sizeof buffer));
  copy->SetPixel(0, 0, 99);
  EXPECT_EQ(1u, buffer[0]);
  CWULImage::Release(copy);
}

TEST(Image, CloneOfImageWithoutBufferIsCleared) {
  CWULImage source(static_cast<uint32_t*>(nullptr), 2, 2);
  CWULImage* copy = CWULImage::Clone(&source);
  ASSERT_NE(nullptr, copy);
  ASSERT_NE(nullptr, copy->pixels);
  for (int i = 0; i < 4; i++)
    EXPECT_EQ(0u, copy->pixels[i]);
  delete copy;
}

TEST(Image, GetPixelOutsideIsZero) {
  CWULImage image(4, 3);
  image.Fill(CWULColor(7u));
  EXPECT_EQ(7u, image.GetPixel(3, 2));
  EXPECT_EQ(0u, image.GetPixel(4, 0));
  EXPECT_EQ(0u, image.GetPixel(0, 3));
  EXPECT_EQ(0u, image.GetPixel(-1, 0));
  EXPECT_EQ(0u, image.GetPixel(0, -1));
  image.SetPixel(4, 0, 1);
  image.SetPixel(-1, 0, 1);
  image.SetPixel(0, 3, 1);
  for (int i = 0; i < 12; i++)
    EXPECT_EQ(7u, image.pixels[i]);
}

TEST(Image, FillReturnsTheImage) {
  CWULImage image(2, 2);
  EXPECT_EQ(&image, image.Fill(CWULColor(1u)));
  RECT r = {0, 0, 1, 1};
  EXPECT_EQ(&image, image.FillRect(&r, CWULColor(1u)));
  EXPECT_EQ(&image, image.FillRectBlended(&r, CWULColor(1u), 0.5f));
}

TEST(Image, FillRectIsClippedToTheImage) {
  CWULImage image(4, 4);
  image.Fill(CWULColor(0u));
  RECT r = {-2, 2, 2, 10};
  image.FillRect(&r, CWULColor(5u));
  for (int y = 0; y < 4; y++)
    for (int x = 0; x < 4; x++)
      EXPECT_EQ(y >= 2 && x < 2 ? 5u : 0u, image.GetPixel(x, y)) << x << "," << y;
  RECT outside = {5, 5, 9, 9};
  image.FillRect(&outside, CWULColor(6u));
  RECT inverted = {3, 3, 1, 1};
  image.FillRect(&inverted, CWULColor(6u));
  image.FillRect(nullptr, CWULColor(6u));
  for (int i = 0; i < 16; i++)
    EXPECT_NE(6u, image.pixels[i]);
}

TEST(Image, FillRectBlendedMixesEveryChannel) {
  CWULImage image(3, 1);
  image.Fill(CWULColor(Argb(0, 0, 100, 255)));
  RECT all = {0, 0, 3, 1};
  image.FillRectBlended(&all, CWULColor(Argb(255, 255, 200, 0)), 0.5f);
  // h = 2^23: (d * 2^23 + c * 2^23 + 2^23) >> 24.
  EXPECT_EQ(Argb(128, 128, 150, 128), image.GetPixel(1, 0));

  image.Fill(CWULColor(Argb(10, 20, 30, 40)));
  image.FillRectBlended(&all, CWULColor(Argb(250, 240, 230, 220)), 0.0f);
  EXPECT_EQ(Argb(10, 20, 30, 40), image.GetPixel(0, 0));
  image.FillRectBlended(&all, CWULColor(Argb(250, 240, 230, 220)), 1.0f);
  EXPECT_EQ(Argb(250, 240, 230, 220), image.GetPixel(2, 0));

  image.Fill(CWULColor(0u));
  image.FillRectBlended(&all, CWULColor(0xFFFFFFFFu), 0.25f);
  uint32_t expected = ((255u << 22) + (1u << 23)) >> 24;  // 255 x 0.25 rounded
  EXPECT_EQ(expected * 0x01010101u, image.GetPixel(0, 0));
}

TEST(Image, FillRectBlendedKeepsOpacityInRange) {
  CWULImage image(1, 1);
  RECT all = {0, 0, 1, 1};
  image.Fill(CWULColor(Argb(10, 20, 30, 40)));
  image.FillRectBlended(&all, CWULColor(Argb(200, 200, 200, 200)), 3.0f);
  EXPECT_EQ(Argb(200, 200, 200, 200), image.GetPixel(0, 0));
  image.Fill(CWULColor(Argb(10, 20, 30, 40)));
  image.FillRectBlended(&all, CWULColor(Argb(200, 200, 200, 200)), -1.0f);
  EXPECT_EQ(Argb(10, 20, 30, 40), image.GetPixel(0, 0));
  image.FillRectBlended(&all, CWULColor(Argb(200, 200, 200, 200)), NAN);
  EXPECT_EQ(Argb(10, 20, 30, 40), image.GetPixel(0, 0));
}

TEST(Image, SetPixelsCopiesTheWholeImage) {
  CWULImage image(2, 2);
  uint32_t source[4] = {10, 20, 30, 40};
  image.SetPixels(source);
  EXPECT_EQ(0, std::memcmp(source, image.pixels, sizeof source));
  image.SetPixels(nullptr);
  EXPECT_EQ(40u, image.GetPixel(1, 1));
}

TEST(Image, DrawPartCopiesWithoutBlending) {
  CWULImage* source = Numbered(4, 4);
  source->SetPixel(1, 1, 0x00000042u);  // transparent, copied as it is
  CWULImage target(5, 5);
  target.Fill(CWULColor(0xFFFFFFFFu));
  RECT part = {1, 1, 3, 3};
  target.DrawPart(2, 1, source, &part);
  EXPECT_EQ(0x00000042u, target.GetPixel(2, 1));
  EXPECT_EQ(source->GetPixel(2, 1), target.GetPixel(3, 1));
  EXPECT_EQ(source->GetPixel(1, 2), target.GetPixel(2, 2));
  EXPECT_EQ(source->GetPixel(2, 2), target.GetPixel(3, 2));
  EXPECT_EQ(0xFFFFFFFFu, target.GetPixel(4, 1));
  EXPECT_EQ(0xFFFFFFFFu, target.GetPixel(2, 3));
  EXPECT_EQ(0xFFFFFFFFu, target.GetPixel(1, 1));
  delete source;
}

// A negative destination moves the source start without shortening the copy, so it
// runs on past the rectangle up to the source image's edge.
TEST(Image, DrawPartAtNegativeXShiftsTheSourceStart) {
  CWULImage* source = Numbered(12, 1);
  CWULImage target(20, 1);
  target.Fill(CWULColor(0u));
  RECT part = {0, 0, 10, 1};
  target.DrawPart(-3, 0, source, &part);
  for (int x = 0; x < 9; x++)
    EXPECT_EQ(source->GetPixel(x + 3, 0), target.GetPixel(x, 0)) << x;
  EXPECT_EQ(0u, target.GetPixel(9, 0));
  delete source;
}

TEST(Image, DrawPartWithNegativeSourceStartMovesTheDestination) {
  CWULImage* source = Numbered(4, 4);
  CWULImage target(6, 6);
  target.Fill(CWULColor(0u));
  RECT part = {-2, -1, 2, 2};
  target.DrawPart(0, 0, source, &part);
  // The copy starts at source (0, 0) and lands at (2, 1); the size stays 4 x 3.
  EXPECT_EQ(0u, target.GetPixel(1, 1));
  EXPECT_EQ(0u, target.GetPixel(2, 0));
  for (int y = 0; y < 3; y++)
    for (int x = 0; x < 4; x++)
      EXPECT_EQ(source->GetPixel(x, y), target.GetPixel(x + 2, y + 1)) << x << "," << y;
  EXPECT_EQ(0u, target.GetPixel(2, 4));
  delete source;
}

TEST(Image, DrawPartOutsideOrDegenerateDrawsNothing) {
  CWULImage* source = Numbered(4, 4);
  CWULImage target(4, 4);
  target.Fill(CWULColor(0u));
  RECT part = {0, 0, 4, 4};
  target.DrawPart(4, 0, source, &part);
  target.DrawPart(0, -4, source, &part);
  RECT empty = {2, 2, 2, 4};
  target.DrawPart(0, 0, source, &empty);
  RECT beyond = {4, 0, 8, 4};
  target.DrawPart(0, 0, source, &beyond);
  target.DrawPart(0, 0, source, nullptr);
  target.DrawPart(0, 0, nullptr, &part);
  for (int i = 0; i < 16; i++)
    EXPECT_EQ(0u, target.pixels[i]);
  delete source;
}

TEST(Image, DrawPartWithinOneImageHandlesOverlap) {
  CWULImage* image = Numbered(4, 4);
  CWULImage* before = image->Clone();
  RECT part = {0, 0, 3, 3};
  image->DrawPart(1, 1, image, &part);
  for (int y = 0; y < 3; y++)
    for (int x = 0; x < 3; x++)
      EXPECT_EQ(before->GetPixel(x, y), image->GetPixel(x + 1, y + 1));
  delete image;
  delete before;
}

TEST(Image, DrawOfTransparentSourceChangesNothing) {
  CWULImage source(3, 3);
  source.Fill(CWULColor(0x00FF8040u));
  CWULImage target(3, 3);
  target.Fill(CWULColor(Argb(100, 1, 2, 3)));
  target.Draw(&source);
  for (int i = 0; i < 9; i++)
    EXPECT_EQ(Argb(100, 1, 2, 3), target.pixels[i]);
}

TEST(Image, DrawOfOpaqueSourceReplacesCoveredPixels) {
  CWULImage source(2, 2);
  source.Fill(CWULColor(Argb(255, 9, 8, 7)));
  CWULImage target(3, 3);
  target.Fill(CWULColor(Argb(0, 1, 2, 3)));
  target.Draw(1, 1, &source);
  EXPECT_EQ(Argb(255, 9, 8, 7), target.GetPixel(1, 1));
  EXPECT_EQ(Argb(255, 9, 8, 7), target.GetPixel(2, 2));
  EXPECT_EQ(Argb(0, 1, 2, 3), target.GetPixel(0, 0));
  EXPECT_EQ(Argb(0, 1, 2, 3), target.GetPixel(2, 0));
}

TEST(Image, DrawOfHalfTransparentSource) {
  CWULImage source(1, 1);
  source.Fill(CWULColor(Argb(128, 255, 0, 100)));
  CWULImage target(1, 1);
  target.Fill(CWULColor(Argb(255, 0, 255, 50)));
  target.Draw(&source);
  uint32_t r = Div255(255 * 128 + 0 * 127);
  uint32_t g = Div255(0 * 128 + 255 * 127);
  uint32_t b = Div255(100 * 128 + 50 * 127);
  EXPECT_EQ(Argb(255, r, g, b), target.GetPixel(0, 0));

  // Over a transparent pixel the alpha becomes the source's.
  target.Fill(CWULColor(Argb(0, 0, 0, 0)));
  target.Draw(&source);
  EXPECT_EQ(128u, target.GetPixel(0, 0) >> 24);
  EXPECT_EQ(128u, (target.GetPixel(0, 0) >> 16) & 0xFF);
}

TEST(Image, DrawWithOpacityScalesTheSourceAlpha) {
  CWULImage source(1, 1);
  source.Fill(CWULColor(Argb(255, 200, 200, 200)));
  CWULImage target(1, 1);
  target.Fill(CWULColor(Argb(255, 0, 0, 0)));
  target.Draw(0, 0, &source, 0.5f);
  uint32_t a = (255u * (1u << 23) + (1u << 23)) >> 24;  // 128
  uint32_t c = Div255(200 * a);
  EXPECT_EQ(Argb(255, c, c, c), target.GetPixel(0, 0));

  target.Fill(CWULColor(Argb(255, 0, 0, 0)));
  target.Draw(0, 0, &source, 0.0f);
  EXPECT_EQ(Argb(255, 0, 0, 0), target.GetPixel(0, 0));
  target.Draw(0, 0, &source, 1.0f);
  EXPECT_EQ(Argb(255, 200, 200, 200), target.GetPixel(0, 0));
}

TEST(Image, DrawIsClippedOnEverySide) {
  CWULImage source(3, 3);
  source.Fill(CWULColor(0xFF010101u));
  CWULImage target(4, 4);
  target.Fill(CWULColor(0u));
  target.Draw(-2, 3, &source);
  int covered = 0;
  for (int i = 0; i < 16; i++)
    covered += target.pixels[i] != 0;
  EXPECT_EQ(1, covered);
  EXPECT_EQ(0xFF010101u, target.GetPixel(0, 3));
  target.Draw(4, 0, &source);
  target.Draw(0, -3, &source);
  target.Draw(0, 0, nullptr);
  covered = 0;
  for (int i = 0; i < 16; i++)
    covered += target.pixels[i] != 0;
  EXPECT_EQ(1, covered);
}

TEST(Image, DrawOntoItselfReadsTheOriginal) {
  CWULImage* image = new CWULImage(3, 1);
  image->SetPixel(0, 0, Argb(255, 10, 10, 10));
  image->SetPixel(1, 0, Argb(255, 20, 20, 20));
  image->SetPixel(2, 0, Argb(255, 30, 30, 30));
  image->Draw(1, 0, image);
  EXPECT_EQ(Argb(255, 10, 10, 10), image->GetPixel(0, 0));
  EXPECT_EQ(Argb(255, 10, 10, 10), image->GetPixel(1, 0));
  EXPECT_EQ(Argb(255, 20, 20, 20), image->GetPixel(2, 0));
  delete image;
}

TEST(Image, PremultiplyAlphaKeepsAlpha) {
  CWULImage image(3, 1);
  image.SetPixel(0, 0, Argb(128, 200, 100, 255));
  image.SetPixel(1, 0, Argb(0, 200, 100, 255));
  image.SetPixel(2, 0, Argb(255, 200, 100, 255));
  image.PremultiplyAlpha();
  EXPECT_EQ(Argb(128, Div255(200 * 128), Div255(100 * 128), 128), image.GetPixel(0, 0));
  EXPECT_EQ(Argb(128, 100, 50, 128), image.GetPixel(0, 0));
  EXPECT_EQ(0u, image.GetPixel(1, 0));
  EXPECT_EQ(Argb(255, 200, 100, 255), image.GetPixel(2, 0));
}

TEST(Srgb, TablesAndInterpolation) {
  wulBuildSRGBTables();
  EXPECT_EQ(0.0f, wulSRGBDecodeTable[0]);
  EXPECT_FLOAT_EQ(1.0f, wulSRGBDecodeTable[255]);
  EXPECT_EQ(1.0f, wulSRGBToLinear(1.0f));
  EXPECT_EQ(0.0f, wulSRGBToLinear(-0.5f));
  EXPECT_EQ(1.0f, wulLinearToSRGB(2.0f));
  EXPECT_EQ(0.0f, wulLinearToSRGB(0.0f));
  // Below the old break point the decode is linear.
  EXPECT_FLOAT_EQ((5.0f / 255.0f) * 0.07739938f, wulSRGBDecodeTable[5]);
  float half = 0.5f * 255.0f;
  float expected = wulSRGBEncodeTable[127] + (half - 127.0f) * (wulSRGBEncodeTable[128] - wulSRGBEncodeTable[127]);
  EXPECT_FLOAT_EQ(expected, wulLinearToSRGB(0.5f));
  EXPECT_NEAR(0.7354f, wulLinearToSRGB(0.5f), 0.002f);
  EXPECT_NEAR(0.2140f, wulSRGBToLinear(0.5f), 0.002f);
}

TEST(Image, ToGrayscaleUsesPerceptualLuminance) {
  wulBuildSRGBTables();
  CWULImage image(5, 1);
  image.SetPixel(0, 0, Argb(10, 255, 255, 255));
  image.SetPixel(1, 0, Argb(20, 0, 0, 0));
  image.SetPixel(2, 0, Argb(30, 0, 255, 0));
  image.SetPixel(3, 0, Argb(40, 128, 128, 128));
  image.SetPixel(4, 0, Argb(50, 255, 0, 0));
  image.ToGrayscale();
  EXPECT_EQ(Argb(10, 255, 255, 255), image.GetPixel(0, 0));
  EXPECT_EQ(Argb(20, 0, 0, 0), image.GetPixel(1, 0));
  for (int x = 2; x < 5; x++) {
    uint32_t p = image.GetPixel(x, 0);
    EXPECT_EQ((p >> 16) & 0xFF, (p >> 8) & 0xFF);
    EXPECT_EQ((p >> 8) & 0xFF, p & 0xFF);
    EXPECT_EQ(static_cast<uint32_t>(10 * (x + 1)), p >> 24);
  }
  // Green 0.7152 and red 0.2126 of linear light, encoded again.
  EXPECT_NEAR(220, static_cast<int>(image.GetPixel(2, 0) & 0xFF), 1);
  EXPECT_NEAR(128, static_cast<int>(image.GetPixel(3, 0) & 0xFF), 1);
  EXPECT_NEAR(127, static_cast<int>(image.GetPixel(4, 0) & 0xFF), 1);
}

TEST(Image, ScrollInEveryDirection) {
  const int dirs[][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -2}, {2, 1}, {-1, -1}, {3, 2}, {-3, -2}};
  for (const auto& d : dirs) {
    CWULImage* image = Numbered(4, 3);
    CWULImage* before = image->Clone();
    image->Scroll(d[0], d[1]);
    for (int y = 0; y < 3; y++)
      for (int x = 0; x < 4; x++) {
        int fx = x - d[0], fy = y - d[1];
        bool moved = fx >= 0 && fx < 4 && fy >= 0 && fy < 3;
        EXPECT_EQ(moved ? before->GetPixel(fx, fy) : before->GetPixel(x, y), image->GetPixel(x, y))
            << d[0] << "," << d[1] << " at " << x << "," << y;
      }
    delete image;
    delete before;
  }
}

TEST(Image, ScrollByTheWholeSizeDoesNothing) {
  CWULImage* image = Numbered(4, 3);
  CWULImage* before = image->Clone();
  image->Scroll(4, 0);
  image->Scroll(-4, 1);
  image->Scroll(0, 3);
  image->Scroll(1, -3);
  image->Scroll(INT32_MIN, 0);
  EXPECT_EQ(0, std::memcmp(before->pixels, image->pixels, 4 * 3 * 4));
  image->Scroll(0, 0);
  EXPECT_EQ(0, std::memcmp(before->pixels, image->pixels, 4 * 3 * 4));
  delete image;
  delete before;
}

// Bitmap resources are written into a copy of this program, which is then loaded as
// a data file.
class BitmapResources : public ::testing::Test {
protected:
  struct Resource {
    const char* name;
    std::vector<uint8_t> data;
  };

  static std::vector<uint8_t> Bitmap(int width, int height, int bits, const std::vector<uint32_t>& rows,
                                     size_t cut = 0) {
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(bits);
    header.biCompression = BI_RGB;
    std::vector<uint8_t> data(sizeof header + rows.size() * 4);
    std::memcpy(data.data(), &header, sizeof header);
    if (!rows.empty())
      std::memcpy(data.data() + sizeof header, rows.data(), rows.size() * 4);
    data.resize(data.size() - cut);
    return data;
  }

  // A larger header: the pixels start at the header's own size, after 84 bytes of
  // fields that the loader does not read.
  static std::vector<uint8_t> V5Bitmap(int width, int height, const std::vector<uint32_t>& rows) {
    std::vector<uint8_t> data = Bitmap(width, height, 32, rows);
    BITMAPINFOHEADER header;
    std::memcpy(&header, data.data(), sizeof header);
    header.biSize = sizeof(BITMAPV5HEADER);
    std::memcpy(data.data(), &header, sizeof header);
    data.insert(data.begin() + sizeof header, sizeof(BITMAPV5HEADER) - sizeof header, 0xEE);
    return data;
  }

  static void SetUpTestSuite() {
    char self[MAX_PATH];
    char folder[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    GetTempPathA(MAX_PATH, folder);
    path = std::string(folder) + "vc_image_resources_" + std::to_string(GetCurrentProcessId()) + ".dll";
    DeleteFileA(path.c_str());
    if (!CopyFileA(self, path.c_str(), FALSE))
      return;
    // Pixels of row r, column c: 0xAA000000 + r * 16 + c, in the stored order.
    std::vector<uint32_t> bottomUp, topDown;
    for (int stored = 0; stored < 3; stored++)
      for (int c = 0; c < 2; c++) {
        bottomUp.push_back(0xAA000000u + (2 - stored) * 16 + c);
        topDown.push_back(0xAA000000u + stored * 16 + c);
      }
    std::vector<Resource> resources = {
        {"BOTTOMUP", Bitmap(2, 3, 32, bottomUp)},
        {"TOPDOWN", Bitmap(2, -3, 32, topDown)},
        {"NEGWIDTH", Bitmap(-2, 3, 32, bottomUp)},
        {"RGB24", Bitmap(2, 3, 24, bottomUp)},
        {"SHORTPIXELS", Bitmap(2, 3, 32, bottomUp, 4)},
        {"SHORTHEADER", std::vector<uint8_t>(20, 0)},
        {"EMPTY", Bitmap(0, 0, 32, {})},
        {"ZEROWIDTH", Bitmap(0, 3, 32, {})},
        {"V5HEADER", V5Bitmap(2, 3, bottomUp)},
    };
    HANDLE update = BeginUpdateResourceA(path.c_str(), FALSE);
    if (!update)
      return;
    for (Resource& r : resources)
      UpdateResourceA(update, reinterpret_cast<LPCSTR>(RT_BITMAP), r.name, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                      r.data.data(), static_cast<DWORD>(r.data.size()));
    if (!EndUpdateResourceA(update, FALSE))
      return;
    module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  }

  static void TearDownTestSuite() {
    if (module)
      FreeLibrary(module);
    module = nullptr;
    DeleteFileA(path.c_str());
  }

  void SetUp() override { ASSERT_NE(nullptr, module) << "resource module could not be built"; }

  static CWULError LoadError(const char* name) {
    try {
      CWULImage* image = WULLoadImageFromBitmapResource(module, name);
      delete image;
    } catch (const CWULError& error) {
      return error;
    }
    return CWULError(0, "", "");
  }

  static std::string path;
  static HMODULE module;
};

std::string BitmapResources::path;
HMODULE BitmapResources::module = nullptr;

TEST_F(BitmapResources, BottomUpBitmapLoadsUpright) {
  CWULImage* image = WULLoadImageFromBitmapResource(module, "BOTTOMUP");
  ASSERT_NE(nullptr, image);
  EXPECT_EQ(2, image->width);
  EXPECT_EQ(3, image->height);
  EXPECT_EQ(0, image->refCount);
  EXPECT_EQ(1, image->autoDelete);
  EXPECT_EQ(1, image->ownsPixels);
  for (int y = 0; y < 3; y++)
    for (int x = 0; x < 2; x++)
      EXPECT_EQ(0xAA000000u + y * 16 + x, image->GetPixel(x, y)) << x << "," << y;
  CWULImage::Release(image);
}

TEST_F(BitmapResources, TopDownBitmapIsCopiedAsItIs) {
  CWULImage* image = WULLoadImageFromBitmapResource(module, "TOPDOWN");
  ASSERT_NE(nullptr, image);
  EXPECT_EQ(3, image->height);
  for (int y = 0; y < 3; y++)
    for (int x = 0; x < 2; x++)
      EXPECT_EQ(0xAA000000u + y * 16 + x, image->GetPixel(x, y));
  CWULImage::Release(image);
}

TEST_F(BitmapResources, NegativeWidthTakesItsMagnitude) {
  CWULImage* image = WULLoadImageFromBitmapResource(module, "NEGWIDTH");
  ASSERT_NE(nullptr, image);
  EXPECT_EQ(2, image->width);
  EXPECT_EQ(0xAA000000u + 16 * 2 + 1, image->GetPixel(1, 2));
  CWULImage::Release(image);
}

TEST_F(BitmapResources, EmptyBitmapGivesAnEmptyImage) {
  CWULImage* image = WULLoadImageFromBitmapResource(module, "EMPTY");
  ASSERT_NE(nullptr, image);
  EXPECT_EQ(0, image->width);
  EXPECT_EQ(nullptr, image->pixels);
  CWULImage::Release(image);
}

TEST_F(BitmapResources, ZeroWidthGivesAnImageWithoutPixels) {
  CWULImage* image = WULLoadImageFromBitmapResource(module, "ZEROWIDTH");
  ASSERT_NE(nullptr, image);
  EXPECT_EQ(0, image->width);
  EXPECT_EQ(3, image->height);
  EXPECT_EQ(nullptr, image->pixels);
  CWULImage::Release(image);
}

TEST_F(BitmapResources, PixelsStartAtTheHeadersOwnSize) {
  CWULImage* image = WULLoadImageFromBitmapResource(module, "V5HEADER");
  ASSERT_NE(nullptr, image);
  EXPECT_EQ(2, image->width);
  EXPECT_EQ(3, image->height);
  for (int y = 0; y < 3; y++)
    for (int x = 0; x < 2; x++)
      EXPECT_EQ(0xAA000000u + y * 16 + x, image->GetPixel(x, y)) << x << "," << y;
  CWULImage::Release(image);
}

TEST_F(BitmapResources, TwentyFourBitBitmapIsRefused) {
  ExpectError(2, "WULLoadImageFromBitmapResource", "Invalid image format", LoadError("RGB24"));
}

TEST_F(BitmapResources, TruncatedDataIsRefused) {
  ExpectError(2, "WULLoadImageFromBitmapResource", "Invalid image format", LoadError("SHORTPIXELS"));
  ExpectError(2, "WULLoadImageFromBitmapResource", "Invalid image format", LoadError("SHORTHEADER"));
}

TEST_F(BitmapResources, MissingResourceIsReported) {
  ExpectError(7, "WULLoadImageFromBitmapResource", "Cannot find resource", LoadError("NOSUCHBITMAP"));
  try {
    WULLoadImageFromBitmapResource(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(4711));
    FAIL() << "no error";
  } catch (const CWULError& error) {
    EXPECT_EQ(7, error.code);
  }
}
