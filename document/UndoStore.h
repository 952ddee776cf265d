#pragma once
// Compressed storage of undo data: memory blocks counted by the undo registry, the LZW
// coder that fills them, and the records that actions keep (pixel and mask rectangles,
// layer and selection snapshots, copies of the tools' working copies).
#include <cstdint>
#include "document/Geometry.h"
#include "wul/WULString.h"

class CImage;
class CLayer;
class CLzwDecoder;
class CMaskArray;
class CPixelArray;
class CSelection;
class CLayerWorkingCopy;
class CSelectionWorkingCopy;

// One chunk of undo memory; 12 + size bytes are added to the registry's total while it lives.
class CUndoBlock {
public:
  // The data is allocated with AllocMemory; on failure data is null and size 0.
  explicit CUndoBlock(int32_t bytes);
  ~CUndoBlock();
  CUndoBlock(const CUndoBlock&) = delete;
  CUndoBlock& operator=(const CUndoBlock&) = delete;

  int32_t size;
  uint8_t* data;
  CUndoBlock* next;
};

// The compressed bytes of one stored item.
class CUndoData {
public:
  CUndoData();
  ~CUndoData();
  CUndoData(const CUndoData&) = delete;
  CUndoData& operator=(const CUndoData&) = delete;

  // Opens a decoder on the first block (closing an open one); false when none can be made.
  bool BeginRead();
  // Decodes up to length bytes; false when no decoder is open. The decoder closes itself
  // at the end of the data.
  bool Read(void* buffer, int32_t length, int32_t* count);
  void EndRead();

  int32_t GetCompressedSize() const { return totalSize; }
  CUndoBlock* GetFirstBlock() const { return firstBlock; }

private:
  friend class CLzwEncoder;

  int32_t totalSize;
  CUndoBlock* firstBlock;
  CLzwDecoder* decoder;
};

// Restore modes of stored rectangles.
enum { RESTORE_STORE = 0, RESTORE_ADD = 1, RESTORE_SUBTRACT = 2 };

// A rectangle of a pixel or mask array, whole or as the byte difference of two arrays.
class CStoredRect {
public:
  CStoredRect();
  ~CStoredRect();
  CStoredRect(const CStoredRect&) = delete;
  CStoredRect& operator=(const CStoredRect&) = delete;

  // False when the array is smaller than the stored rectangle, or the data ends early.
  bool Restore(CPixelArray& array, int32_t mode);
  bool Restore(CMaskArray& mask, int32_t mode);
  Rect GetRect() const;
  int32_t GetCompressedSize() const;

  int32_t width;
  int32_t height;
  int32_t left;
  int32_t top;
  CUndoData* data;

private:
  bool RestoreBytes(uint8_t* base, int32_t stride, int32_t elementSize, int32_t arrayWidth,
                    int32_t arrayHeight, int32_t mode);
};

// The properties of a layer as they were.
class CLayerStateSnapshot {
public:
  CLayerStateSnapshot();
  virtual ~CLayerStateSnapshot();
  CLayerStateSnapshot(const CLayerStateSnapshot&) = delete;
  CLayerStateSnapshot& operator=(const CLayerStateSnapshot&) = delete;

  // Makes the layer again inside image, with its id, just above the stored below layer;
  // null on failure.
  virtual CLayer* Recreate(CImage* image) = 0;
  // False unless the layer has the stored size; sets id, display number, visible, opacity,
  // blend mode and name.
  virtual bool Apply(CLayer* layer);

  int32_t kind;
  int32_t layerId;
  int32_t belowId;  // 0 when none
  int32_t displayNumber;
  uint8_t visible;
  float opacity;
  int32_t blendMode;
  int32_t width;
  int32_t height;
  CWULString name;
};

// A raster layer with its whole edit array.
class CLayerSnapshot : public CLayerStateSnapshot {
public:
  CLayerSnapshot();
  ~CLayerSnapshot() override;

  CLayer* Recreate(CImage* image) override;
  // Also sets the supersampling and restores the pixels.
  bool Apply(CLayer* layer) override;

  uint8_t supersampled;
  CStoredRect* pixels;
};

class CSelectionSnapshot {
public:
  CSelectionSnapshot();
  ~CSelectionSnapshot();
  CSelectionSnapshot(const CSelectionSnapshot&) = delete;
  CSelectionSnapshot& operator=(const CSelectionSnapshot&) = delete;

  // A selection of another size is left alone (true).
  bool Restore(CSelection* selection);

  int32_t width;
  int32_t height;
  uint8_t active;
  uint8_t supersampled;
  CStoredRect* mask;  // null: an empty mask
};

// The tools' layer working copy as it was (size, supersampling, pending offset, pixels).
class CLayerCopyRecord {
public:
  CLayerCopyRecord();
  ~CLayerCopyRecord();
  CLayerCopyRecord(const CLayerCopyRecord&) = delete;
  CLayerCopyRecord& operator=(const CLayerCopyRecord&) = delete;

  bool Restore(CLayerWorkingCopy& copy);

  int32_t width;
  int32_t height;
  uint8_t supersampled;
  int32_t offsetX;
  int32_t offsetY;
  CStoredRect* pixels;
};

// The tools' selection working copy as it was; the 8x working mask only when supersampled.
class CSelectionCopyRecord {
public:
  CSelectionCopyRecord();
  ~CSelectionCopyRecord();
  CSelectionCopyRecord(const CSelectionCopyRecord&) = delete;
  CSelectionCopyRecord& operator=(const CSelectionCopyRecord&) = delete;

  bool Restore(CSelectionWorkingCopy& copy);

  int32_t width;
  int32_t height;
  uint8_t supersampled;
  int32_t offsetX;
  int32_t offsetY;
  CStoredRect* mask;
  CStoredRect* workingMask;
};

// The LZW encoder of undo data (one global object, one caller at a time). Codes 0..255
// are bytes, 256 clears the dictionary, 257 ends the data; 9 to 12 bits, most significant
// bit first.
class CLzwEncoder {
public:
  enum { STATE_FAILED = 1, STATE_READY = 2, STATE_ENCODING = 3, STATE_FINISHED = 4 };
  enum { CODE_CLEAR = 256, CODE_END = 257, FIRST_FREE = 258, MAX_CODES = 4096 };
  enum { BUFFER_SIZE = 65536, HASH_SIZE = 4096 };

  CLzwEncoder();
  ~CLzwEncoder();
  CLzwEncoder(const CLzwEncoder&) = delete;
  CLzwEncoder& operator=(const CLzwEncoder&) = delete;

  void Reset();
  bool Begin();
  void Feed(const void* bytes, int32_t length);
  // The data, or null after a failure (the encoder is then in state 1).
  CUndoData* Finish();
  int32_t GetState() const { return state; }
  int32_t GetCodeWidth() const { return codeWidth; }
  int32_t GetNextCode() const { return nextCode; }

  // The record makers run Begin ... Finish themselves and work only in states 2 and 4.
  // A failure shows "Action data compression failed" and gives null. With other, the
  // bytes stored are this - other (modulo 256); other must have the array's size.
  CStoredRect* StorePixelRect(const CPixelArray& array, const CPixelArray* other,
                              const Rect* rect);
  CStoredRect* StoreMaskRect(const CMaskArray& mask, const CMaskArray* other, const Rect* rect);
  // The whole mask.
  CStoredRect* StoreMask(const CMaskArray& mask, const CMaskArray* other = nullptr);
  CLayerSnapshot* StoreLayer(CLayer* layer);
  CSelectionSnapshot* StoreSelection(CSelection* selection);
  CLayerCopyRecord* StoreLayerScratch(CLayerWorkingCopy& copy);
  CSelectionCopyRecord* StoreSelectionScratch(CSelectionWorkingCopy& copy);

private:
  void ResetDictionary();
  void PutCode(uint32_t code);
  void PutByte(uint8_t byte);
  bool FlushBuffer();
  void Fail();
  CStoredRect* StoreRect(const uint8_t* base, const uint8_t* otherBase, int32_t elementSize,
                         int32_t arrayWidth, int32_t arrayHeight, const Rect* rect);

  int32_t state;
  CUndoData* output;
  CUndoBlock* lastBlock;
  int32_t bitCount;
  uint32_t bits;
  int32_t fill;
  uint8_t buffer[BUFFER_SIZE];
  uint16_t prefix;
  uint32_t hash;
  int32_t nextCode;
  int32_t codeWidth;
  uint16_t heads[HASH_SIZE];
  struct Entry {
    uint16_t prefix;
    uint16_t chain;
  } entries[MAX_CODES];
};

// Reads one CUndoData back.
class CLzwDecoder {
public:
  explicit CLzwDecoder(CUndoBlock* first);
  void ResetDictionary();
  // Bytes produced (0 at the end).
  int32_t Read(uint8_t* out, int32_t length);
  bool AtEnd() const { return end != 0 && depth == 0; }

private:
  bool GetCode(uint32_t& code);
  void DecodeNext();

  uint8_t end;
  CUndoBlock* block;
  int32_t position;
  int32_t bitCount;
  uint32_t bits;
  int32_t depth;
  uint8_t stack[CLzwEncoder::MAX_CODES];
  uint16_t previous;
  uint8_t previousFirst;
  int32_t nextCode;
  int32_t codeWidth;
  struct Entry {
    uint16_t prefix;
    uint8_t byte;
  } entries[CLzwEncoder::MAX_CODES];
};

extern CLzwEncoder g_LzwEncoder;
