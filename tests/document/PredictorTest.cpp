#include <gtest/gtest.h>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>
#include "document/Image.h"
#include "document/Layer.h"
#include "document/PixelArray.h"
#include "document/Predictors.h"
#include "shell/Errors.h"

namespace {

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  return (a << 24) | (r << 16) | (g << 8) | b;
}

std::unique_ptr<CPixelPredictor> Make(CPixelArray* pixels, int32_t number) {
  return std::unique_ptr<CPixelPredictor>(CreatePredictor(pixels, number));
}

void FillRandom(CPixelArray& pixels, uint32_t seed) {
  std::mt19937 random(seed);
  for (int32_t y = 0; y < pixels.height; ++y)
    for (int32_t x = 0; x < pixels.width; ++x)
      pixels.SetPixel(x, y, static_cast<uint32_t>(random()));
}

// Prediction at (1, 1) of a 2 x 2 array with the given left, above and upper-left values
// (the same in every channel).
uint8_t PredictCorner(int32_t number, uint8_t left, uint8_t above, uint8_t upperLeft) {
  CPixelArray pixels(2, 2);
  auto grey = [](uint8_t v) { return Argb(255, v, v, v); };
  pixels.SetPixel(0, 0, grey(upperLeft));
  pixels.SetPixel(1, 0, grey(above));
  pixels.SetPixel(0, 1, grey(left));
  pixels.SetPixel(1, 1, grey(99));
  auto predictor = Make(&pixels, number);
  uint8_t out[3];
  predictor->Predict(1, 1, out);
  EXPECT_EQ(out[0], out[1]);
  EXPECT_EQ(out[1], out[2]);
  return out[0];
}

std::string ThrownText(int32_t number) {
  CPixelArray pixels(1, 1);
  try {
    delete CreatePredictor(&pixels, number);
  } catch (const CVCException& e) {
    return e.message.text;
  }
  return std::string();
}

}  // namespace

TEST(PredictorTest, OriginResidualIsThePixelForEveryPredictor) {
  CPixelArray pixels(3, 3);
  FillRandom(pixels, 7);
  pixels.SetPixel(0, 0, Argb(12, 200, 100, 50));
  for (int32_t n = 0; n < CPixelPredictor::COUNT; ++n) {
    auto predictor = Make(&pixels, n);
    uint8_t r[3];
    predictor->GetResidual(0, 0, r);
    EXPECT_EQ(r[0], 200) << n;
    EXPECT_EQ(r[1], 100) << n;
    EXPECT_EQ(r[2], 50) << n;
  }
}

TEST(PredictorTest, EdgesUseLeftOnTheFirstRowAndAboveInTheFirstColumn) {
  CPixelArray pixels(2, 2);
  pixels.SetPixel(0, 0, Argb(0, 10, 20, 30));
  pixels.SetPixel(1, 0, Argb(0, 15, 25, 35));
  pixels.SetPixel(0, 1, Argb(0, 1, 2, 3));
  pixels.SetPixel(1, 1, Argb(0, 0, 0, 0));
  for (int32_t n = 1; n < CPixelPredictor::COUNT; ++n) {
    auto predictor = Make(&pixels, n);
    uint8_t r[3];
    predictor->GetResidual(1, 0, r);  // first row: minus the left pixel
    EXPECT_EQ(r[0], 5) << n;
    EXPECT_EQ(r[1], 5) << n;
    EXPECT_EQ(r[2], 5) << n;
    predictor->GetResidual(0, 1, r);  // first column: minus the upper pixel, modulo 256
    EXPECT_EQ(r[0], static_cast<uint8_t>(1 - 10)) << n;
    EXPECT_EQ(r[1], static_cast<uint8_t>(2 - 20)) << n;
    EXPECT_EQ(r[2], static_cast<uint8_t>(3 - 30)) << n;
  }
  auto zero = Make(&pixels, 0);
  uint8_t r[3];
  zero->GetResidual(0, 1, r);
  EXPECT_EQ(r[0], 1);
  EXPECT_EQ(r[2], 3);
}

TEST(PredictorTest, InteriorPredictionsOfEachMethod) {
  EXPECT_EQ(PredictCorner(0, 40, 80, 20), 0);
  EXPECT_EQ(PredictCorner(1, 40, 80, 20), 40);
  EXPECT_EQ(PredictCorner(2, 40, 80, 20), 80);
  EXPECT_EQ(PredictCorner(3, 40, 81, 20), 60);  // (40 + 81) >> 1
  EXPECT_EQ(PredictCorner(5, 40, 80, 20), 100);
}

TEST(PredictorTest, GradientIsClamped) {
  EXPECT_EQ(PredictCorner(5, 250, 250, 10), 255);
  EXPECT_EQ(PredictCorner(5, 10, 10, 250), 0);
}

TEST(PredictorTest, PaethChoices) {
  EXPECT_EQ(PredictCorner(4, 77, 77, 77), 77);
  // pa = |b - c| = 5, pb = |a - c| = 5, pc = |a + b - 2c| = 0: the upper-left pixel.
  EXPECT_EQ(PredictCorner(4, 10, 20, 15), 15);
  // pa = 30, pb = 0, pc = 30: pb is smallest, the upper pixel.
  EXPECT_EQ(PredictCorner(4, 50, 80, 50), 80);
  // pa = 0: the left pixel.
  EXPECT_EQ(PredictCorner(4, 90, 50, 50), 90);
  // pa = pb = 10, pc = 20: ties with pa keep the left pixel.
  EXPECT_EQ(PredictCorner(4, 60, 60, 50), 60);
}

TEST(PredictorTest, ChannelsArePredictedSeparately) {
  CPixelArray pixels(2, 2);
  pixels.SetPixel(0, 0, Argb(255, 10, 200, 0));    // upper-left
  pixels.SetPixel(1, 0, Argb(255, 20, 100, 255));  // above
  pixels.SetPixel(0, 1, Argb(255, 30, 150, 255));  // left
  pixels.SetPixel(1, 1, Argb(255, 0, 0, 0));
  auto gradient = Make(&pixels, 5);
  uint8_t out[3];
  gradient->Predict(1, 1, out);
  EXPECT_EQ(out[0], 40);   // 30 + 20 - 10
  EXPECT_EQ(out[1], 50);   // 150 + 100 - 200
  EXPECT_EQ(out[2], 255);  // 255 + 255 - 0, clamped
}

TEST(PredictorTest, UniformImageHasZeroResidualsBeyondTheOrigin) {
  CPixelArray pixels(9, 7);
  pixels.Fill(Argb(128, 33, 66, 99));
  for (int32_t n = 1; n < CPixelPredictor::COUNT; ++n) {
    auto predictor = Make(&pixels, n);
    for (int32_t y = 0; y < 7; ++y)
      for (int32_t x = 0; x < 9; ++x) {
        if (x == 0 && y == 0)
          continue;
        uint8_t r[3];
        predictor->GetResidual(x, y, r);
        ASSERT_EQ(r[0] | r[1] | r[2], 0) << n << " at " << x << "," << y;
      }
  }
}

TEST(PredictorTest, ReconstructInvertsResidualsInStripOrderAndKeepsAlpha) {
  const int32_t w = 150, h = 23, strip = 64;
  CPixelArray original(w, h);
  FillRandom(original, 99);
  // Some smooth areas so that every branch of the predictors is taken.
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < 40; ++x)
      original.SetPixel(x, y, Argb(x * 5, x * 3, y * 7, x + y));
  for (int32_t n = 0; n < CPixelPredictor::COUNT; ++n) {
    auto encoder = Make(&original, n);
    std::vector<uint8_t> residuals;
    ForEachResidualRow(*encoder, strip, [&](const uint8_t* bytes, uint32_t count) {
      residuals.insert(residuals.end(), bytes, bytes + count);
    });
    ASSERT_EQ(residuals.size(), static_cast<size_t>(3 * w * h));

    CPixelArray decoded(w, h);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        decoded.SetPixel(x, y, original.GetPixel(x, y) & 0xFF000000u);  // alpha only
    auto decoder = Make(&decoded, n);
    size_t at = 0;
    for (int32_t left = 0; left < w; left += strip)
      for (int32_t y = 0; y < h; ++y)
        for (int32_t x = left; x < w && x < left + strip; ++x) {
          decoder->Reconstruct(x, y, &residuals[at]);
          at += 3;
        }
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        ASSERT_EQ(decoded.GetPixel(x, y), original.GetPixel(x, y)) << n << " at " << x << "," << y;
  }
}

TEST(PredictorTest, ResidualRowsFollowTheStripOrder) {
  CPixelArray pixels(5, 2);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 5; ++x)
      pixels.SetPixel(x, y, Argb(255, 10 * y + x, 0, 0));
  auto zero = Make(&pixels, 0);
  std::vector<uint8_t> reds;
  ForEachResidualRow(*zero, 2, [&](const uint8_t* bytes, uint32_t count) {
    for (uint32_t i = 0; i < count; i += 3)
      reds.push_back(bytes[i]);
  });
  // Strips 0-1, 2-3 and 4, each row by row.
  const std::vector<uint8_t> expected = {0, 1, 10, 11, 2, 3, 12, 13, 4, 14};
  EXPECT_EQ(reds, expected);
}

TEST(PredictorTest, UnknownNumbersThrow) {
  EXPECT_EQ(ThrownText(6), "Unknown prediction method");
  EXPECT_EQ(ThrownText(-1), "Unknown prediction method");
  EXPECT_EQ(ThrownText(5), "");
}

// ---------------------------------------------------------------------------------------------

TEST(LzEstimatorTest, NothingFedEstimatesZero) {
  CLzEstimator estimator;
  estimator.Finish();
  EXPECT_EQ(estimator.GetEstimate(), 0.0f);
  EXPECT_EQ(estimator.GetProcessedCount(), 0u);
}

TEST(LzEstimatorTest, RunOfZerosParsesIntoFullMatchesAtDistanceOne) {
  auto estimator = std::make_unique<CLzEstimator>();
  for (int i = 0; i < 1000; ++i)
    estimator->Feed(0);
  estimator->Finish();
  // A literal, three matches of 256 and a last one of the 231 bytes left.
  EXPECT_EQ(estimator->GetProcessedCount(), 1000u);
  EXPECT_EQ(estimator->GetSymbolCount(), 5u);
  EXPECT_EQ(estimator->GetMatchCount(), 4u);
  EXPECT_EQ(estimator->GetSymbolHistogram(0), 1u);
  EXPECT_EQ(estimator->GetSymbolHistogram(256 + 253), 3u);
  EXPECT_EQ(estimator->GetSymbolHistogram(231 + 253), 1u);
  EXPECT_EQ(estimator->GetDistanceHistogram(1), 4u);
  const double hs = -(0.4 * std::log2(0.2) + 0.6 * std::log2(0.6));
  EXPECT_NEAR(estimator->GetEstimate(), 5.0 * hs / 1000.0, 1e-6);
}

TEST(LzEstimatorTest, ShortSequenceIsAllLiterals) {
  CLzEstimator estimator;
  const uint8_t bytes[4] = {1, 2, 3, 4};
  estimator.Feed(bytes, 4);
  estimator.Finish();
  EXPECT_EQ(estimator.GetSymbolCount(), 4u);
  EXPECT_EQ(estimator.GetMatchCount(), 0u);
  EXPECT_NEAR(estimator.GetEstimate(), 2.0f, 1e-6);  // four equally frequent symbols
}

TEST(LzEstimatorTest, RepeatsAreFoundOnlyInsideTheWindow) {
  std::mt19937 random(5);
  std::vector<uint8_t> block(3000);
  for (auto& b : block)
    b = static_cast<uint8_t>(random());
  auto inside = std::make_unique<CLzEstimator>();
  inside->Feed(block.data(), 3000);
  inside->Feed(block.data(), 3000);
  inside->Finish();
  EXPECT_GT(inside->GetDistanceHistogram(3000), 5u);

  std::vector<uint8_t> distant(5000);
  for (auto& b : distant)
    b = static_cast<uint8_t>(random());
  auto outside = std::make_unique<CLzEstimator>();
  outside->Feed(distant.data(), 5000);
  outside->Feed(distant.data(), 5000);
  outside->Finish();
  EXPECT_LT(outside->GetMatchCount(), 5u);
  EXPECT_GT(outside->GetEstimate(), inside->GetEstimate());
}

TEST(LzEstimatorTest, ResetForgetsEarlierInput) {
  auto a = std::make_unique<CLzEstimator>();
  std::mt19937 random(11);
  for (int i = 0; i < 5000; ++i)
    a->Feed(static_cast<uint8_t>(random()));
  a->Finish();
  a->Reset();
  for (int i = 0; i < 1000; ++i)
    a->Feed(0);
  a->Finish();
  auto b = std::make_unique<CLzEstimator>();
  for (int i = 0; i < 1000; ++i)
    b->Feed(0);
  b->Finish();
  EXPECT_EQ(a->GetEstimate(), b->GetEstimate());
  EXPECT_EQ(a->GetSymbolCount(), b->GetSymbolCount());
}

TEST(LzEstimatorTest, RandomBytesCostAboutEightBits) {
  auto estimator = std::make_unique<CLzEstimator>();
  std::mt19937 random(3);
  for (int i = 0; i < 200000; ++i)
    estimator->Feed(static_cast<uint8_t>(random()));
  estimator->Finish();
  EXPECT_GT(estimator->GetEstimate(), 7.8f);
  EXPECT_LT(estimator->GetEstimate(), 8.1f);
}

TEST(LzEstimatorTest, ChoosesTheExactPredictorAndKeepsTheLowerNumberOnTies) {
  std::mt19937 random(21);
  CPixelArray columns(100, 40);  // every row the same: the upper pixel predicts exactly
  CPixelArray rows(100, 40);     // every column the same: the left pixel predicts exactly
  for (int32_t x = 0; x < 100; ++x) {
    const uint32_t c = static_cast<uint32_t>(random());
    for (int32_t y = 0; y < 40; ++y)
      columns.SetPixel(x, y, c);
  }
  for (int32_t y = 0; y < 40; ++y) {
    const uint32_t c = static_cast<uint32_t>(random());
    for (int32_t x = 0; x < 100; ++x)
      rows.SetPixel(x, y, c);
  }
  auto estimator = std::make_unique<CLzEstimator>();
  // Up, Paeth and gradient give the same residuals on columns: up wins the tie.
  EXPECT_EQ(ChoosePredictor(&columns, 64, *estimator), 2);
  // Left, Paeth and gradient tie on rows: left wins.
  EXPECT_EQ(ChoosePredictor(&rows, 64, *estimator), 1);
}

// ---------------------------------------------------------------------------------------------

TEST(Order1EntropyTest, HandComputedValues) {
  COrder1Entropy entropy;
  const uint8_t same[6] = {7, 7, 7, 7, 7, 7};
  entropy.Update(same, 6);
  entropy.Compute();
  EXPECT_EQ(entropy.GetEntropy(), 0.0f);

  entropy.Reset();
  const uint8_t alternating[6] = {0, 1, 0, 1, 0, 1};
  entropy.Update(alternating, 6);
  entropy.Compute();
  EXPECT_EQ(entropy.GetEntropy(), 0.0f);

  // Pairs 0-0, 0-1, 1-1, 1-0: one bit under each context.
  entropy.Reset();
  const uint8_t mixed[5] = {0, 0, 1, 1, 0};
  entropy.Update(mixed, 2);
  entropy.Update(mixed + 2, 3);  // the context carries across calls
  entropy.Compute();
  EXPECT_NEAR(entropy.GetEntropy(), 1.0f, 1e-6);

  // Context 5: 5-5, 5-5, 5-9 (0.918 bits); context 9: 9-5 (0 bits); weights 3/4 and 1/4.
  entropy.Reset();
  const uint8_t weighted[5] = {5, 5, 5, 9, 5};
  entropy.Update(weighted, 5);
  entropy.Compute();
  const double h5 = -(2.0 / 3 * std::log2(2.0 / 3) + 1.0 / 3 * std::log2(1.0 / 3));
  EXPECT_NEAR(entropy.GetEntropy(), 0.75 * h5, 1e-6);
}

TEST(Order1EntropyTest, ThumbnailScore) {
  CImage empty;
  EXPECT_EQ(GetThumbnailScore(&empty), 0.0f);

  CImage uniform;
  uniform.SetSize(8, 8);
  uniform.SetTargetFormat(CImage::FORMAT_32BIT_ARGB);
  CRasterLayer* layer = new CRasterLayer();
  uniform.AddLayer(layer);
  layer->GetPixels()->Fill(0xFFFFFFFFu);
  uniform.UpdateAll();
  EXPECT_EQ(GetThumbnailScore(&uniform), 0.0f);

  // 2 x 2 pixels whose 16 bytes are known: the score is their entropy times 2.
  CImage small;
  small.SetSize(2, 2);
  small.SetTargetFormat(CImage::FORMAT_32BIT_ARGB);
  CRasterLayer* l2 = new CRasterLayer();
  small.AddLayer(l2);
  const uint32_t values[4] = {0xFF000000u, 0xFF0000FFu, 0xFFFF00FFu, 0xFFFFFFFFu};
  for (int i = 0; i < 4; ++i)
    l2->GetPixels()->SetPixel(i % 2, i / 2, values[i]);
  small.UpdateAll();
  COrder1Entropy expected;
  expected.Update(reinterpret_cast<const uint8_t*>(small.GetComposite()->data), 16);
  expected.Compute();
  EXPECT_GT(expected.GetEntropy(), 0.0f);
  EXPECT_FLOAT_EQ(GetThumbnailScore(&small), expected.GetEntropy() * 2.0f);
}
