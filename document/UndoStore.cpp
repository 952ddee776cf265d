#include "document/UndoStore.h"
#include <cstring>
#include <new>
#include "document/History.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/PixelArray.h"
#include "document/Selection.h"
#include "shell/Errors.h"

CLzwEncoder g_LzwEncoder;

namespace {

const uint16_t kNone = 0xFFFF;
const uint32_t kHashPrime = 16777619u;
const uint32_t kHashStart = 0xFFFFFFFFu;
const int32_t kTile = 64;
const char kCompressionFailed[] = "Action data compression failed";

inline uint32_t BucketOf(uint32_t scrambled, uint32_t n) {
  return (n & 0xFFF) ^ (scrambled >> 20);
}

Rect ClipToArray(const Rect* rect, int32_t width, int32_t height) {
  Rect r;
  r.right = width;
  r.bottom = height;
  if (rect) {
    r = *rect;
    if (r.left < 0)
      r.left = 0;
    if (r.top < 0)
      r.top = 0;
    if (r.right > width)
      r.right = width;
    if (r.bottom > height)
      r.bottom = height;
    if (r.left >= r.right || r.top >= r.bottom)
      r.Clear();
  }
  return r;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Blocks and data

CUndoBlock::CUndoBlock(int32_t bytes) : size(0), data(nullptr), next(nullptr) {
  if (bytes > 0) {
    data = static_cast<uint8_t*>(AllocMemory(static_cast<size_t>(bytes)));
    if (data)
      size = bytes;
  }
  g_UndoRegistry.AddBytes(12u + static_cast<uint32_t>(size));
}

CUndoBlock::~CUndoBlock() {
  if (data)
    FreeMemory(data);
  g_UndoRegistry.SubtractBytes(12u + static_cast<uint32_t>(size));
}

CUndoData::CUndoData() : totalSize(0), firstBlock(nullptr), decoder(nullptr) {}

CUndoData::~CUndoData() {
  EndRead();
  while (firstBlock) {
    CUndoBlock* next = firstBlock->next;
    delete firstBlock;
    firstBlock = next;
  }
}

bool CUndoData::BeginRead() {
  EndRead();
  decoder = new (std::nothrow) CLzwDecoder(firstBlock);
  return decoder != nullptr;
}

bool CUndoData::Read(void* buffer, int32_t length, int32_t* count) {
  if (count)
    *count = 0;
  if (!decoder)
    return false;
  const int32_t n = length > 0 ? decoder->Read(static_cast<uint8_t*>(buffer), length) : 0;
  if (count)
    *count = n;
  if (decoder->AtEnd())
    EndRead();
  return true;
}

void CUndoData::EndRead() {
  delete decoder;
  decoder = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Decoder

CLzwDecoder::CLzwDecoder(CUndoBlock* first)
    : end(0), block(first), position(0), bitCount(0), bits(0), depth(0), previous(kNone),
      previousFirst(0), nextCode(CLzwEncoder::FIRST_FREE), codeWidth(9) {
  ResetDictionary();
}

void CLzwDecoder::ResetDictionary() {
  for (int32_t i = 0; i < CLzwEncoder::FIRST_FREE; ++i) {
    entries[i].prefix = kNone;
    entries[i].byte = static_cast<uint8_t>(i);
  }
  nextCode = CLzwEncoder::FIRST_FREE;
  codeWidth = 9;
}

bool CLzwDecoder::GetCode(uint32_t& code) {
  while (bitCount < codeWidth) {
    while (block && position >= block->size) {
      block = block->next;
      position = 0;
    }
    if (!block) {
      end = 1;
      return false;
    }
    bits = (bits << 8) | block->data[position++];
    bitCount += 8;
  }
  bitCount -= codeWidth;
  code = (bits >> bitCount) & ((1u << codeWidth) - 1);
  bits &= (1u << bitCount) - 1;
  return true;
}

void CLzwDecoder::DecodeNext() {
  while (!end && depth == 0) {
    uint32_t code;
    if (!GetCode(code))
      return;
    if (code == CLzwEncoder::CODE_END) {
      end = 1;
      return;
    }
    if (code == CLzwEncoder::CODE_CLEAR) {
      ResetDictionary();
      previous = kNone;
      continue;
    }
    uint32_t walk = code;
    if (code >= static_cast<uint32_t>(nextCode)) {
      if (code != static_cast<uint32_t>(nextCode) || previous == kNone ||
          nextCode >= CLzwEncoder::MAX_CODES) {
        // A code the encoder cannot have written: the data is corrupt.
        end = 1;
        stack[depth++] = 255;
        return;
      }
      stack[depth++] = previousFirst;
      walk = previous;
    }
    while (walk != kNone) {
      if (depth >= CLzwEncoder::MAX_CODES) {
        end = 1;
        depth = 0;
        return;
      }
      stack[depth++] = entries[walk].byte;
      walk = entries[walk].prefix;
    }
    const uint8_t first = stack[depth - 1];
    if (previous != kNone && nextCode < CLzwEncoder::MAX_CODES) {
      entries[nextCode].prefix = previous;
      entries[nextCode].byte = first;
      ++nextCode;
      if (nextCode < CLzwEncoder::MAX_CODES && nextCode == (1 << codeWidth))
        ++codeWidth;
    }
    previous = static_cast<uint16_t>(code);
    previousFirst = first;
  }
}

int32_t CLzwDecoder::Read(uint8_t* out, int32_t length) {
  int32_t n = 0;
  while (n < length) {
    if (depth == 0) {
      DecodeNext();
      if (depth == 0)
        break;
    }
    out[n++] = stack[--depth];
  }
  return n;
}

// ---------------------------------------------------------------------------------------------
// Encoder

CLzwEncoder::CLzwEncoder()
    : state(0), output(nullptr), lastBlock(nullptr), bitCount(0), bits(0), fill(0),
      prefix(kNone), hash(kHashStart), nextCode(FIRST_FREE), codeWidth(9) {
  Reset();
}

CLzwEncoder::~CLzwEncoder() {
  delete output;
}

void CLzwEncoder::ResetDictionary() {
  for (uint16_t& head : heads)
    head = kNone;
  for (int32_t i = 0; i < FIRST_FREE; ++i) {
    entries[i].prefix = kNone;
    entries[i].chain = kNone;
  }
  const uint32_t scrambled = kHashStart * kHashPrime;
  for (uint32_t b = 0; b < 256; ++b) {
    const uint32_t bucket = BucketOf(scrambled, scrambled ^ b);
    entries[b].chain = heads[bucket];
    heads[bucket] = static_cast<uint16_t>(b);
  }
  nextCode = FIRST_FREE;
  codeWidth = 9;
}

void CLzwEncoder::Reset() {
  if (state == STATE_READY)
    return;
  // An abandoned encoding gives its data up.
  delete output;
  output = nullptr;
  lastBlock = nullptr;
  bitCount = 0;
  bits = 0;
  fill = 0;
  prefix = kNone;
  hash = kHashStart;
  ResetDictionary();
  state = STATE_READY;
}

void CLzwEncoder::Fail() {
  delete output;
  output = nullptr;
  lastBlock = nullptr;
  state = STATE_FAILED;
  ErrorBox(kCompressionFailed);
}

bool CLzwEncoder::Begin() {
  Reset();
  output = new (std::nothrow) CUndoData();
  if (!output) {
    Fail();
    return false;
  }
  lastBlock = nullptr;
  state = STATE_ENCODING;
  return true;
}

bool CLzwEncoder::FlushBuffer() {
  if (fill == 0)
    return true;
  CUndoBlock* block = new (std::nothrow) CUndoBlock(fill);
  if (!block || !block->data) {
    delete block;
    Fail();
    return false;
  }
  std::memcpy(block->data, buffer, static_cast<size_t>(fill));
  if (lastBlock)
    lastBlock->next = block;
  else
    output->firstBlock = block;
  lastBlock = block;
  output->totalSize += fill;
  fill = 0;
  return true;
}

void CLzwEncoder::PutByte(uint8_t byte) {
  buffer[fill++] = byte;
  if (fill == BUFFER_SIZE)
    FlushBuffer();
}

void CLzwEncoder::PutCode(uint32_t code) {
  bits = (bits << codeWidth) | code;
  bitCount += codeWidth;
  while (bitCount >= 8 && state == STATE_ENCODING) {
    bitCount -= 8;
    PutByte(static_cast<uint8_t>(bits >> bitCount));
  }
  bits &= (1u << bitCount) - 1;
}

void CLzwEncoder::Feed(const void* bytes, int32_t length) {
  const uint8_t* p = static_cast<const uint8_t*>(bytes);
  for (int32_t i = 0; i < length && state == STATE_ENCODING; ++i) {
    const uint32_t c = p[i];
    const uint32_t scrambled = hash * kHashPrime;
    const uint32_t n = scrambled ^ c;
    const uint32_t bucket = BucketOf(scrambled, n);
    uint16_t e = heads[bucket];
    while (e != kNone && entries[e].prefix != prefix)
      e = entries[e].chain;
    if (e != kNone) {
      prefix = e;
      hash = n;
      continue;
    }
    PutCode(prefix);
    if (nextCode >= MAX_CODES) {
      PutCode(CODE_CLEAR);
      ResetDictionary();
    } else {
      entries[nextCode].prefix = prefix;
      entries[nextCode].chain = heads[bucket];
      heads[bucket] = static_cast<uint16_t>(nextCode);
      ++nextCode;
      if ((1 << codeWidth) < nextCode)
        ++codeWidth;
    }
    prefix = static_cast<uint16_t>(c);
    hash = (kHashStart * kHashPrime) ^ c;
  }
}

CUndoData* CLzwEncoder::Finish() {
  if (state != STATE_ENCODING)
    return nullptr;
  if (prefix != kNone) {
    PutCode(prefix);
    // The decoder adds one entry after this code.
    if (nextCode < MAX_CODES && nextCode == (1 << codeWidth))
      ++codeWidth;
  }
  PutCode(CODE_END);
  if (bitCount > 0 && state == STATE_ENCODING)
    PutByte(static_cast<uint8_t>(bits << (8 - bitCount)));
  bitCount = 0;
  bits = 0;
  if (state != STATE_ENCODING || !FlushBuffer())
    return nullptr;
  CUndoData* data = output;
  output = nullptr;
  lastBlock = nullptr;
  state = STATE_FINISHED;
  return data;
}

CStoredRect* CLzwEncoder::StoreRect(const uint8_t* base, const uint8_t* otherBase,
                                    int32_t elementSize, int32_t arrayWidth,
                                    int32_t arrayHeight, const Rect* rect) {
  if (state != STATE_READY && state != STATE_FINISHED) {
    Fail();
    return nullptr;
  }
  CStoredRect* record = new (std::nothrow) CStoredRect();
  if (!record) {
    Fail();
    return nullptr;
  }
  const Rect r = base ? ClipToArray(rect, arrayWidth, arrayHeight) : Rect();
  record->left = r.left;
  record->top = r.top;
  record->width = r.right - r.left;
  record->height = r.bottom - r.top;
  if (!Begin()) {
    delete record;
    return nullptr;
  }
  uint8_t difference[kTile * 4];
  for (int32_t ty = r.top; ty < r.bottom; ty += kTile) {
    const int32_t rowEnd = ty + kTile < r.bottom ? ty + kTile : r.bottom;
    for (int32_t tx = r.left; tx < r.right; tx += kTile) {
      const int32_t count = (tx + kTile < r.right ? kTile : r.right - tx) * elementSize;
      for (int32_t y = ty; y < rowEnd; ++y) {
        const size_t offset =
            (static_cast<size_t>(y) * static_cast<size_t>(arrayWidth) + static_cast<size_t>(tx)) *
            static_cast<size_t>(elementSize);
        const uint8_t* segment = base + offset;
        if (otherBase) {
          const uint8_t* before = otherBase + offset;
          for (int32_t i = 0; i < count; ++i)
            difference[i] = static_cast<uint8_t>(segment[i] - before[i]);
          segment = difference;
        }
        Feed(segment, count);
      }
    }
  }
  record->data = Finish();
  if (!record->data) {
    delete record;
    return nullptr;
  }
  return record;
}

CStoredRect* CLzwEncoder::StorePixelRect(const CPixelArray& array, const CPixelArray* other,
                                         const Rect* rect) {
  if (other && (other->width != array.width || other->height != array.height ||
                (!other->data && array.data))) {
    Fail();
    return nullptr;
  }
  return StoreRect(reinterpret_cast<const uint8_t*>(array.data),
                   other ? reinterpret_cast<const uint8_t*>(other->data) : nullptr, 4,
                   array.width, array.height, rect);
}

CStoredRect* CLzwEncoder::StoreMaskRect(const CMaskArray& mask, const CMaskArray* other,
                                        const Rect* rect) {
  if (other && (other->width != mask.width || other->height != mask.height ||
                (!other->data && mask.data))) {
    Fail();
    return nullptr;
  }
  return StoreRect(mask.data, other ? other->data : nullptr, 1, mask.width, mask.height, rect);
}

CStoredRect* CLzwEncoder::StoreMask(const CMaskArray& mask, const CMaskArray* other) {
  return StoreMaskRect(mask, other, nullptr);
}

CLayerSnapshot* CLzwEncoder::StoreLayer(CLayer* layer) {
  if (!layer || layer->GetKind() != CLayer::KIND_RASTER) {
    Fail();
    return nullptr;
  }
  CRasterLayer* raster = static_cast<CRasterLayer*>(layer);
  CLayerSnapshot* snapshot = new (std::nothrow) CLayerSnapshot();
  if (!snapshot) {
    Fail();
    return nullptr;
  }
  snapshot->layerId = layer->GetId();
  snapshot->belowId = layer->GetPrevious() ? layer->GetPrevious()->GetId() : 0;
  snapshot->displayNumber = layer->GetLinkId();
  snapshot->visible = layer->IsVisible() ? 1 : 0;
  snapshot->opacity = layer->GetOpacity();
  snapshot->blendMode = layer->GetBlendMode();
  snapshot->width = layer->GetWidth();
  snapshot->height = layer->GetHeight();
  snapshot->name.Assign(layer->GetName());
  snapshot->supersampled = raster->IsSupersampled() ? 1 : 0;
  snapshot->pixels = StorePixelRect(*raster->GetPixelArray(), nullptr, nullptr);
  if (!snapshot->pixels) {
    delete snapshot;
    return nullptr;
  }
  return snapshot;
}

CSelectionSnapshot* CLzwEncoder::StoreSelection(CSelection* selection) {
  if (!selection) {
    Fail();
    return nullptr;
  }
  CSelectionSnapshot* snapshot = new (std::nothrow) CSelectionSnapshot();
  if (!snapshot) {
    Fail();
    return nullptr;
  }
  snapshot->width = selection->GetWidth();
  snapshot->height = selection->GetHeight();
  snapshot->active = selection->IsActive() ? 1 : 0;
  snapshot->supersampled = selection->IsSupersampled() ? 1 : 0;
  CMaskArray* mask = selection->GetMask();
  if (mask && mask->data && mask->width > 0 && mask->height > 0) {
    snapshot->mask = StoreMask(*mask);
    if (!snapshot->mask) {
      delete snapshot;
      return nullptr;
    }
  }
  return snapshot;
}

// ---------------------------------------------------------------------------------------------
// Stored rectangles

CStoredRect::CStoredRect() : width(0), height(0), left(0), top(0), data(nullptr) {}

CStoredRect::~CStoredRect() {
  delete data;
}

Rect CStoredRect::GetRect() const {
  Rect r;
  r.left = left;
  r.top = top;
  r.right = left + width;
  r.bottom = top + height;
  return r;
}

int32_t CStoredRect::GetCompressedSize() const {
  return data ? data->GetCompressedSize() : 0;
}

bool CStoredRect::RestoreBytes(uint8_t* base, int32_t stride, int32_t elementSize,
                               int32_t arrayWidth, int32_t arrayHeight, int32_t mode) {
  if (!data || left < 0 || top < 0 || width < 0 || height < 0)
    return false;
  if (arrayWidth < left + width || arrayHeight < top + height)
    return false;
  if (width == 0 || height == 0)
    return true;
  if (!base || mode < RESTORE_STORE || mode > RESTORE_SUBTRACT)
    return false;
  if (!data->BeginRead())
    return false;
  uint8_t segment[kTile * 4];
  const int32_t right = left + width;
  const int32_t bottom = top + height;
  for (int32_t ty = top; ty < bottom; ty += kTile) {
    const int32_t rowEnd = ty + kTile < bottom ? ty + kTile : bottom;
    for (int32_t tx = left; tx < right; tx += kTile) {
      const int32_t count = (tx + kTile < right ? kTile : right - tx) * elementSize;
      for (int32_t y = ty; y < rowEnd; ++y) {
        int32_t got = 0;
        if (!data->Read(segment, count, &got) || got != count) {
          data->EndRead();
          return false;
        }
        uint8_t* target = base + (static_cast<size_t>(y) * static_cast<size_t>(stride) +
                                  static_cast<size_t>(tx)) *
                                     static_cast<size_t>(elementSize);
        if (mode == RESTORE_STORE) {
          std::memcpy(target, segment, static_cast<size_t>(count));
        } else if (mode == RESTORE_ADD) {
          for (int32_t i = 0; i < count; ++i)
            target[i] = static_cast<uint8_t>(target[i] + segment[i]);
        } else {
          for (int32_t i = 0; i < count; ++i)
            target[i] = static_cast<uint8_t>(target[i] - segment[i]);
        }
      }
    }
  }
  data->EndRead();
  return true;
}

bool CStoredRect::Restore(CPixelArray& array, int32_t mode) {
  return RestoreBytes(reinterpret_cast<uint8_t*>(array.data), array.width, 4, array.width,
                      array.height, mode);
}

bool CStoredRect::Restore(CMaskArray& mask, int32_t mode) {
  return RestoreBytes(mask.data, mask.width, 1, mask.width, mask.height, mode);
}

// ---------------------------------------------------------------------------------------------
// Layer snapshots

CLayerStateSnapshot::CLayerStateSnapshot()
    : kind(0), layerId(0), belowId(0), displayNumber(0), visible(1), opacity(1.0f),
      blendMode(CLayer::BLEND_NORMAL), width(0), height(0) {}

CLayerStateSnapshot::~CLayerStateSnapshot() {}

bool CLayerStateSnapshot::Apply(CLayer* layer) {
  if (!layer || layer->GetWidth() != width || layer->GetHeight() != height)
    return false;
  layer->SetId(layerId);
  layer->SetLinkId(displayNumber);
  layer->SetVisible(visible != 0);
  layer->SetOpacity(opacity);
  layer->SetBlendMode(blendMode);
  layer->SetName(name.text);
  return true;
}

CLayerSnapshot::CLayerSnapshot() : supersampled(0), pixels(nullptr) {
  kind = CLayer::KIND_RASTER;
}

CLayerSnapshot::~CLayerSnapshot() {
  delete pixels;
}

bool CLayerSnapshot::Apply(CLayer* layer) {
  if (!layer || layer->GetKind() != CLayer::KIND_RASTER || !pixels)
    return false;
  if (!CLayerStateSnapshot::Apply(layer))
    return false;
  CRasterLayer* raster = static_cast<CRasterLayer*>(layer);
  raster->SetSupersampling(supersampled != 0);
  if (raster->IsSupersampled() != (supersampled != 0))
    return false;
  if (!pixels->Restore(*raster->GetPixelArray(), RESTORE_STORE))
    return false;
  raster->Update(nullptr);
  return true;
}

CLayer* CLayerSnapshot::Recreate(CImage* image) {
  if (!image)
    return nullptr;
  CRasterLayer* layer = new (std::nothrow) CRasterLayer();
  if (!layer) {
    ErrorBox("Raster layer creation failed");
    return nullptr;
  }
  layer->SetId(layerId);
  layer->SetLinkId(displayNumber);
  CLayer* below = belowId > 0 ? image->FindLayer(belowId) : nullptr;
  image->InsertLayer(layer, below ? below->GetNext() : image->GetFirstLayer());
  if (!Apply(layer)) {
    image->RemoveLayer(layer);
    delete layer;
    return nullptr;
  }
  return layer;
}

// ---------------------------------------------------------------------------------------------
// Selection snapshots

CSelectionSnapshot::CSelectionSnapshot()
    : width(0), height(0), active(0), supersampled(0), mask(nullptr) {}

CSelectionSnapshot::~CSelectionSnapshot() {
  delete mask;
}

bool CSelectionSnapshot::Restore(CSelection* selection) {
  if (!selection)
    return false;
  if (selection->GetWidth() != width || selection->GetHeight() != height)
    return true;
  selection->SetActive(active != 0);
  selection->SetSupersampling(supersampled != 0);
  CMaskArray* edit = selection->GetMask();
  if (!edit)
    return false;
  bool ok = true;
  if (mask)
    ok = mask->Restore(*edit, RESTORE_STORE);
  else
    edit->Fill(0);
  selection->Update(nullptr);
  return ok;
}
