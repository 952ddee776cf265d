#include "document/Predictors.h"
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include "document/Image.h"
#include "shell/Errors.h"

// ---------------------------------------------------------------------------------------------
// Predictors

void CPixelPredictor::GetResidual(int32_t x, int32_t y, uint8_t residual[3]) const {
  uint8_t p[3];
  Predict(x, y, p);
  const uint32_t v = pixels->GetPixel(x, y);
  residual[0] = static_cast<uint8_t>(((v >> 16) & 0xFF) - p[0]);
  residual[1] = static_cast<uint8_t>(((v >> 8) & 0xFF) - p[1]);
  residual[2] = static_cast<uint8_t>((v & 0xFF) - p[2]);
}

void CPixelPredictor::Reconstruct(int32_t x, int32_t y, const uint8_t residual[3]) {
  uint8_t p[3];
  Predict(x, y, p);
  uint32_t* pixel = pixels->PixelAt(x, y);
  const uint32_t r = static_cast<uint8_t>(p[0] + residual[0]);
  const uint32_t g = static_cast<uint8_t>(p[1] + residual[1]);
  const uint32_t b = static_cast<uint8_t>(p[2] + residual[2]);
  *pixel = (*pixel & 0xFF000000u) | (r << 16) | (g << 8) | b;
}

bool CPixelPredictor::PredictEdge(int32_t x, int32_t y, uint8_t out[3]) const {
  if (x > 0 && y > 0)
    return false;
  int32_t c[3] = {0, 0, 0};
  if (x > 0)
    Left(x, y, c);
  else if (y > 0)
    Above(x, y, c);
  out[0] = static_cast<uint8_t>(c[0]);
  out[1] = static_cast<uint8_t>(c[1]);
  out[2] = static_cast<uint8_t>(c[2]);
  return true;
}

void CZeroPredictor::Predict(int32_t, int32_t, uint8_t out[3]) const {
  out[0] = out[1] = out[2] = 0;
}

void CLeftPredictor::Predict(int32_t x, int32_t y, uint8_t out[3]) const {
  if (PredictEdge(x, y, out))
    return;
  int32_t a[3];
  Left(x, y, a);
  for (int i = 0; i < 3; ++i)
    out[i] = static_cast<uint8_t>(a[i]);
}

void CUpPredictor::Predict(int32_t x, int32_t y, uint8_t out[3]) const {
  if (PredictEdge(x, y, out))
    return;
  int32_t b[3];
  Above(x, y, b);
  for (int i = 0; i < 3; ++i)
    out[i] = static_cast<uint8_t>(b[i]);
}

void CAveragePredictor::Predict(int32_t x, int32_t y, uint8_t out[3]) const {
  if (PredictEdge(x, y, out))
    return;
  int32_t a[3], b[3];
  Left(x, y, a);
  Above(x, y, b);
  for (int i = 0; i < 3; ++i)
    out[i] = static_cast<uint8_t>((a[i] + b[i]) >> 1);
}

void CPaethPredictor::Predict(int32_t x, int32_t y, uint8_t out[3]) const {
  if (PredictEdge(x, y, out))
    return;
  int32_t a[3], b[3], c[3];
  Left(x, y, a);
  Above(x, y, b);
  UpperLeft(x, y, c);
  for (int i = 0; i < 3; ++i) {
    const int32_t pa = std::abs(b[i] - c[i]);
    const int32_t pb = std::abs(a[i] - c[i]);
    const int32_t pc = std::abs(a[i] + b[i] - 2 * c[i]);
    int32_t v;
    if (pa <= pb && pa <= pc)
      v = a[i];
    else if (pc < pb)
      v = c[i];
    else
      v = b[i];
    out[i] = static_cast<uint8_t>(v);
  }
}

void CGradientPredictor::Predict(int32_t x, int32_t y, uint8_t out[3]) const {
  if (PredictEdge(x, y, out))
    return;
  int32_t a[3], b[3], c[3];
  Left(x, y, a);
  Above(x, y, b);
  UpperLeft(x, y, c);
  for (int i = 0; i < 3; ++i) {
    int32_t v = a[i] + b[i] - c[i];
    if (v < 0)
      v = 0;
    else if (v > 255)
      v = 255;
    out[i] = static_cast<uint8_t>(v);
  }
}

CPixelPredictor* CreatePredictor(CPixelArray* pixels, int32_t number) {
  CPixelPredictor* predictor = nullptr;
  switch (number) {
    case CPixelPredictor::ZERO:
      predictor = new (std::nothrow) CZeroPredictor(pixels);
      break;
    case CPixelPredictor::LEFT:
      predictor = new (std::nothrow) CLeftPredictor(pixels);
      break;
    case CPixelPredictor::UP:
      predictor = new (std::nothrow) CUpPredictor(pixels);
      break;
    case CPixelPredictor::AVERAGE:
      predictor = new (std::nothrow) CAveragePredictor(pixels);
      break;
    case CPixelPredictor::PAETH:
      predictor = new (std::nothrow) CPaethPredictor(pixels);
      break;
    case CPixelPredictor::GRADIENT:
      predictor = new (std::nothrow) CGradientPredictor(pixels);
      break;
    default:
      throw CVCException("Unknown prediction method");
  }
  if (!predictor)
    throw CVCException("Insufficient memory");
  return predictor;
}

// ---------------------------------------------------------------------------------------------
// CLzEstimator

CLzEstimator::CLzEstimator() {
  Reset();
}

void CLzEstimator::Reset() {
  std::memset(ring, 0, sizeof ring);
  for (uint32_t i = 0; i < RING; ++i) {
    nodes[i].bucket = 0;
    nodes[i].newer = NONE;
    nodes[i].older = NONE;
    nodes[i].linked = 0;
  }
  for (uint32_t i = 0; i < BUCKETS; ++i)
    newest[i] = oldest[i] = NONE;
  writeSlot = 0;
  processSlot = 0;
  ahead = 0;
  skip = 0;
  processed = 0;
  symbols = 0;
  matches = 0;
  std::memset(symbolHistogram, 0, sizeof symbolHistogram);
  std::memset(distanceHistogram, 0, sizeof distanceHistogram);
  estimate = 0.0f;
}

uint32_t CLzEstimator::Hash(uint32_t slot) const {
  // The mirror keeps slot + 2 inside the array.
  return (1089u * ring[slot] + 33u * ring[slot + 1] + ring[slot + 2]) & (BUCKETS - 1);
}

void CLzEstimator::Link(uint32_t slot) {
  Node& node = nodes[slot];
  const uint32_t h = Hash(slot);
  node.bucket = static_cast<uint16_t>(h);
  node.older = newest[h];
  node.newer = NONE;
  if (newest[h] != NONE)
    nodes[newest[h]].newer = static_cast<uint16_t>(slot);
  else
    oldest[h] = static_cast<uint16_t>(slot);
  newest[h] = static_cast<uint16_t>(slot);
  node.linked = 1;
}

void CLzEstimator::Unlink(uint32_t slot) {
  Node& node = nodes[slot];
  if (!node.linked)
    return;
  const uint32_t h = node.bucket;
  if (node.newer != NONE)
    nodes[node.newer].older = node.older;
  else
    newest[h] = node.older;
  if (node.older != NONE)
    nodes[node.older].newer = node.newer;
  else
    oldest[h] = node.newer;
  node.newer = node.older = NONE;
  node.linked = 0;
}

void CLzEstimator::Feed(uint8_t byte) {
  Unlink(writeSlot);
  ring[writeSlot] = byte;
  if (writeSlot < LOOKAHEAD)
    ring[RING + writeSlot] = byte;
  if (++writeSlot == RING)
    writeSlot = 0;
  if (++ahead == LOOKAHEAD)
    ProcessPosition();
}

void CLzEstimator::Feed(const uint8_t* bytes, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i)
    Feed(bytes[i]);
}

void CLzEstimator::ProcessPosition() {
  const uint32_t p = processSlot;
  if (skip > 0) {
    Link(p);
    --skip;
  } else {
    const uint32_t maxLength = ahead < uint32_t(LOOKAHEAD) ? ahead : uint32_t(LOOKAHEAD);
    uint32_t best = 0;
    uint32_t bestSlot = 0;
    const uint8_t* ours = ring + p;
    const uint32_t h = Hash(p);
    uint32_t candidate = newest[h];
    while (candidate != NONE && best < maxLength) {
      const uint32_t older = nodes[candidate].older;
      const uint8_t* theirs = ring + candidate;
      if (theirs[best] == ours[best]) {
        uint32_t length = 0;
        while (length < maxLength && theirs[length] == ours[length])
          ++length;
        if (length > best) {
          best = length;
          bestSlot = candidate;
        }
        if (length == LOOKAHEAD) {
          Unlink(candidate);
          break;
        }
      }
      candidate = older;
    }
    Link(p);
    if (best < MIN_MATCH) {
      ++symbolHistogram[*ours];
    } else {
      const uint32_t distance = p > bestSlot ? p - bestSlot : p + RING - bestSlot;
      skip = best - 1;
      ++symbolHistogram[best + 253];
      if (distance >= 1 && distance <= WINDOW)
        ++distanceHistogram[distance];
      ++matches;
    }
    ++symbols;
  }
  ++processed;
  if (++processSlot == RING)
    processSlot = 0;
  --ahead;
}

namespace {

// -sum (c / total) log2 (c / total) over the non-zero counts.
double Entropy(const uint32_t* counts, uint32_t n, uint32_t total) {
  if (total == 0)
    return 0.0;
  double h = 0.0;
  const double t = total;
  for (uint32_t i = 0; i < n; ++i) {
    if (counts[i]) {
      const double p = counts[i] / t;
      h -= p * std::log2(p);
    }
  }
  return h;
}

}  // namespace

void CLzEstimator::Finish() {
  while (ahead > 0)
    ProcessPosition();
  if (processed == 0) {
    estimate = 0.0f;
    return;
  }
  const double hs = Entropy(symbolHistogram, SYMBOLS, symbols);
  const double hd = Entropy(distanceHistogram + 1, WINDOW, matches);
  estimate = static_cast<float>((hd * matches + symbols * hs) / processed);
}

uint32_t CLzEstimator::GetSymbolHistogram(int32_t symbol) const {
  return symbol >= 0 && symbol < SYMBOLS ? symbolHistogram[symbol] : 0;
}

uint32_t CLzEstimator::GetDistanceHistogram(int32_t distance) const {
  return distance >= 1 && distance <= WINDOW ? distanceHistogram[distance] : 0;
}

// ---------------------------------------------------------------------------------------------
// COrder1Entropy

COrder1Entropy::COrder1Entropy() : counts(new (std::nothrow) uint32_t[256][256]) {
  Reset();
}

COrder1Entropy::~COrder1Entropy() {
  delete[] counts;
}

void COrder1Entropy::Reset() {
  if (counts)
    std::memset(counts, 0, sizeof(uint32_t) * 256 * 256);
  std::memset(contextTotals, 0, sizeof contextTotals);
  total = 0;
  previous = -1;
  entropy = 0.0f;
}

void COrder1Entropy::Update(const uint8_t* bytes, uint32_t count) {
  if (!counts)
    return;
  uint32_t i = 0;
  if (previous < 0 && count > 0)
    previous = bytes[i++];
  for (; i < count; ++i) {
    const uint8_t b = bytes[i];
    ++counts[previous][b];
    ++contextTotals[previous];
    ++total;
    previous = b;
  }
}

void COrder1Entropy::Compute() {
  if (total == 0) {
    entropy = 0.0f;
    return;
  }
  double sum = 0.0;
  for (int context = 0; context < 256; ++context) {
    const uint32_t contextTotal = contextTotals[context];
    if (!contextTotal)
      continue;
    const double t = contextTotal;
    for (int b = 0; b < 256; ++b) {
      const uint32_t c = counts[context][b];
      if (c)
        sum -= c * std::log2(c / t);
    }
  }
  entropy = static_cast<float>(sum / static_cast<double>(total));
}

// ---------------------------------------------------------------------------------------------

float GetThumbnailScore(CImage* image) {
  if (!image)
    return 0.0f;
  const CPixelArray* composite = image->GetComposite();
  const int64_t pixels = static_cast<int64_t>(composite->width) * composite->height;
  if (pixels <= 0 || !composite->data)
    return 0.0f;
  // Without the memory to count in, the image scores nothing (and is no thumbnail).
  std::unique_ptr<COrder1Entropy> entropy(new (std::nothrow) COrder1Entropy());
  if (!entropy || !entropy->IsReady())
    return 0.0f;
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(composite->data);
  uint64_t left = static_cast<uint64_t>(pixels) * 4;
  while (left > 0) {
    const uint32_t n = left > 0x40000000u ? 0x40000000u : static_cast<uint32_t>(left);
    entropy->Update(bytes, n);
    bytes += n;
    left -= n;
  }
  entropy->Compute();
  return entropy->GetEntropy() * std::sqrt(static_cast<float>(pixels));
}

int32_t ChoosePredictor(CPixelArray* pixels, int32_t stripWidth, CLzEstimator& estimator) {
  int32_t best = 0;
  float bestEstimate = 1000000.0f;
  for (int32_t number = 0; number < CPixelPredictor::COUNT; ++number) {
    CPixelPredictor* predictor = CreatePredictor(pixels, number);
    estimator.Reset();
    ForEachResidualRow(*predictor, stripWidth,
                       [&estimator](const uint8_t* bytes, uint32_t n) { estimator.Feed(bytes, n); });
    delete predictor;
    estimator.Finish();
    if (estimator.GetEstimate() < bestEstimate) {
      bestEstimate = estimator.GetEstimate();
      best = number;
    }
  }
  return best;
}
