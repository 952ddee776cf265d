#pragma once
// Pixel predictors of the project file's colour tiles, and the two estimators the writer
// uses: an LZ77 cost model that picks the predictor whose residuals compress best, and an
// order-1 entropy that scores the candidates for the file's thumbnail.
#include <cstdint>
#include "document/PixelArray.h"

class CImage;

// Predicts the red, green and blue of a pixel from its left, upper and upper-left
// neighbours in the whole array. Alpha is never predicted.
class CPixelPredictor {
public:
  enum { ZERO = 0, LEFT = 1, UP = 2, AVERAGE = 3, PAETH = 4, GRADIENT = 5, COUNT = 6 };

  explicit CPixelPredictor(CPixelArray* source) : pixels(source) {}
  virtual ~CPixelPredictor() {}
  CPixelPredictor(const CPixelPredictor&) = delete;
  CPixelPredictor& operator=(const CPixelPredictor&) = delete;

  // out receives red, green, blue.
  virtual void Predict(int32_t x, int32_t y, uint8_t out[3]) const = 0;

  // Pixel minus prediction per channel, modulo 256: red, green, blue.
  void GetResidual(int32_t x, int32_t y, uint8_t residual[3]) const;
  // Sets red, green and blue to prediction + residual (modulo 256); alpha is kept. The
  // left, upper and upper-left neighbours must already be final.
  void Reconstruct(int32_t x, int32_t y, const uint8_t residual[3]);

  CPixelArray* GetPixels() const { return pixels; }

protected:
  // Neighbour channels as ints; rgb order.
  void Left(int32_t x, int32_t y, int32_t out[3]) const { Split(pixels->GetPixel(x - 1, y), out); }
  void Above(int32_t x, int32_t y, int32_t out[3]) const { Split(pixels->GetPixel(x, y - 1), out); }
  void UpperLeft(int32_t x, int32_t y, int32_t out[3]) const {
    Split(pixels->GetPixel(x - 1, y - 1), out);
  }
  // The edge rules every predictor but the zero one shares: (0, 0) predicts 0, the first
  // row the left pixel, the first column the upper one. False when x > 0 and y > 0.
  bool PredictEdge(int32_t x, int32_t y, uint8_t out[3]) const;

  static void Split(uint32_t argb, int32_t out[3]) {
    out[0] = static_cast<int32_t>((argb >> 16) & 0xFF);
    out[1] = static_cast<int32_t>((argb >> 8) & 0xFF);
    out[2] = static_cast<int32_t>(argb & 0xFF);
  }

  CPixelArray* pixels;
};

class CZeroPredictor : public CPixelPredictor {
public:
  using CPixelPredictor::CPixelPredictor;
  void Predict(int32_t x, int32_t y, uint8_t out[3]) const override;
};

class CLeftPredictor : public CPixelPredictor {
public:
  using CPixelPredictor::CPixelPredictor;
  void Predict(int32_t x, int32_t y, uint8_t out[3]) const override;
};

class CUpPredictor : public CPixelPredictor {
public:
  using CPixelPredictor::CPixelPredictor;
  void Predict(int32_t x, int32_t y, uint8_t out[3]) const override;
};

class CAveragePredictor : public CPixelPredictor {
public:
  using CPixelPredictor::CPixelPredictor;
  void Predict(int32_t x, int32_t y, uint8_t out[3]) const override;
};

class CPaethPredictor : public CPixelPredictor {
public:
  using CPixelPredictor::CPixelPredictor;
  void Predict(int32_t x, int32_t y, uint8_t out[3]) const override;
};

class CGradientPredictor : public CPixelPredictor {
public:
  using CPixelPredictor::CPixelPredictor;
  void Predict(int32_t x, int32_t y, uint8_t out[3]) const override;
};

// A new predictor of the file number 0-5 over pixels (the caller deletes it). Throws
// CVCException "Unknown prediction method" for other numbers, "Insufficient memory" when
// it cannot be made.
CPixelPredictor* CreatePredictor(CPixelArray* pixels, int32_t number);

// Estimates the bits per byte that the range coder's LZ77 parse would need, by a greedy
// parse over a 4 KB window and the entropies of its symbols and distances.
class CLzEstimator {
public:
  enum {
    WINDOW = 4096,
    LOOKAHEAD = 256,
    RING = WINDOW + LOOKAHEAD,
    BUCKETS = 4096,
    SYMBOLS = 510,
    MIN_MATCH = 3
  };

  CLzEstimator();
  CLzEstimator(const CLzEstimator&) = delete;
  CLzEstimator& operator=(const CLzEstimator&) = delete;

  void Reset();
  void Feed(uint8_t byte);
  void Feed(const uint8_t* bytes, uint32_t count);
  // Processes the bytes still ahead and computes the estimate.
  void Finish();
  // Bits per input byte; 0 when nothing was fed.
  float GetEstimate() const { return estimate; }

  uint32_t GetProcessedCount() const { return processed; }
  uint32_t GetSymbolCount() const { return symbols; }
  uint32_t GetMatchCount() const { return matches; }
  uint32_t GetSymbolHistogram(int32_t symbol) const;
  // Distance 1..WINDOW.
  uint32_t GetDistanceHistogram(int32_t distance) const;

private:
  enum { NONE = 0xFFFF };
  struct Node {
    uint16_t bucket;
    uint16_t newer;
    uint16_t older;
    uint8_t linked;
  };

  void ProcessPosition();
  void Link(uint32_t slot);
  void Unlink(uint32_t slot);
  uint32_t Hash(uint32_t slot) const;

  uint8_t ring[RING + LOOKAHEAD];  // the first LOOKAHEAD slots mirrored after the end
  Node nodes[RING];
  uint16_t newest[BUCKETS];
  uint16_t oldest[BUCKETS];
  uint32_t writeSlot;
  uint32_t processSlot;
  uint32_t ahead;
  uint32_t skip;

  uint32_t processed;  // n
  uint32_t symbols;    // a
  uint32_t matches;    // b
  uint32_t symbolHistogram[SYMBOLS];
  uint32_t distanceHistogram[WINDOW + 1];
  float estimate;
};

// Order-1 entropy of a byte stream: each byte counted under the previous one.
class COrder1Entropy {
public:
  COrder1Entropy();
  ~COrder1Entropy();
  COrder1Entropy(const COrder1Entropy&) = delete;
  COrder1Entropy& operator=(const COrder1Entropy&) = delete;

  // False when the counters could not be allocated; then nothing is counted and the
  // entropy stays 0.
  bool IsReady() const { return counts != nullptr; }
  void Reset();
  void Update(const uint8_t* bytes, uint32_t count);
  void Compute();
  // Bits per byte, as of the last Compute.
  float GetEntropy() const { return entropy; }

private:
  uint32_t (*counts)[256];  // [context][next byte], 256 rows
  uint32_t contextTotals[256];
  uint64_t total;
  int32_t previous;  // -1 before the first byte
  float entropy;
};

// Order-1 entropy of the composite's raw bytes times the square root of its pixel count;
// 0 for an empty composite.
float GetThumbnailScore(CImage* image);

// The residuals of one colour tile run as the file stores them: vertical strips
// stripWidth pixels wide, each row by row from the top, pixels left to right, three
// bytes (red, green, blue) each. Calls sink(bytes, count) once per strip row.
template <class Sink>
void ForEachResidualRow(const CPixelPredictor& predictor, int32_t stripWidth, Sink&& sink);

// The predictor (0-5) whose residuals the LZ estimator expects to compress best, in the
// order the file stores them in strips stripWidth wide; ties keep the lower number.
int32_t ChoosePredictor(CPixelArray* pixels, int32_t stripWidth, CLzEstimator& estimator);

template <class Sink>
void ForEachResidualRow(const CPixelPredictor& predictor, int32_t stripWidth, Sink&& sink) {
  const CPixelArray* pixels = predictor.GetPixels();
  const int32_t width = pixels->width;
  const int32_t height = pixels->height;
  if (width <= 0 || height <= 0)
    return;
  if (stripWidth <= 0 || stripWidth > width)
    stripWidth = width;
  uint8_t row[3 * 1024];
  for (int32_t left = 0; left < width; left += stripWidth) {
    const int32_t right = width - left > stripWidth ? left + stripWidth : width;
    for (int32_t y = 0; y < height; ++y) {
      int32_t x = left;
      while (x < right) {
        const int32_t chunk = right - x > 1024 ? 1024 : right - x;
        for (int32_t i = 0; i < chunk; ++i)
          predictor.GetResidual(x + i, y, row + 3 * i);
        sink(row, static_cast<uint32_t>(3 * chunk));
        x += chunk;
      }
    }
  }
}
