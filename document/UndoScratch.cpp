// Records of the tools' working copies.
#include <new>
#include "document/UndoStore.h"
#include "tools/WorkingCopies.h"

namespace {

// The size, supersampling and offset of a working copy, into its record.
template <class Record, class Copy>
void TakePlacement(Record& record, Copy& copy) {
  record.width = copy.GetWidth();
  record.height = copy.GetHeight();
  record.supersampled = copy.IsSupersampled() ? 1 : 0;
  record.offsetX = copy.GetOffsetRef().x;
  record.offsetY = copy.GetOffsetRef().y;
}

}  // namespace

CLayerCopyRecord::CLayerCopyRecord()
    : width(0), height(0), supersampled(0), offsetX(0), offsetY(0), pixels(nullptr) {}

CLayerCopyRecord::~CLayerCopyRecord() {
  delete pixels;
}

bool CLayerCopyRecord::Restore(CLayerWorkingCopy& copy) {
  if (!pixels)
    return false;
  // Sized every time: a reserve may have emptied the view without changing the size.
  copy.SetSize(width, height);
  copy.SetSupersampled(supersampled != 0);
  copy.GetOffsetRef().x = offsetX;
  copy.GetOffsetRef().y = offsetY;
  return pixels->Restore(copy.GetPixels(), RESTORE_STORE);
}

CSelectionCopyRecord::CSelectionCopyRecord()
    : width(0), height(0), supersampled(0), offsetX(0), offsetY(0), mask(nullptr),
      workingMask(nullptr) {}

CSelectionCopyRecord::~CSelectionCopyRecord() {
  delete mask;
  delete workingMask;
}

bool CSelectionCopyRecord::Restore(CSelectionWorkingCopy& copy) {
  if (!mask)
    return false;
  copy.Reset(width, height);
  copy.SetSupersampled(supersampled != 0);
  copy.GetOffsetRef().x = offsetX;
  copy.GetOffsetRef().y = offsetY;
  if (!mask->Restore(copy.GetMask(), RESTORE_STORE))
    return false;
  if (workingMask && !workingMask->Restore(copy.GetWorkingMask(), RESTORE_STORE))
    return false;
  return true;
}

CLayerCopyRecord* CLzwEncoder::StoreLayerScratch(CLayerWorkingCopy& copy) {
  CLayerCopyRecord* record = new (std::nothrow) CLayerCopyRecord();
  if (!record) {
    Fail();
    return nullptr;
  }
  TakePlacement(*record, copy);
  record->pixels = StorePixelRect(copy.GetPixels(), nullptr, nullptr);
  if (!record->pixels) {
    delete record;
    return nullptr;
  }
  return record;
}

CSelectionCopyRecord* CLzwEncoder::StoreSelectionScratch(CSelectionWorkingCopy& copy) {
  CSelectionCopyRecord* record = new (std::nothrow) CSelectionCopyRecord();
  if (!record) {
    Fail();
    return nullptr;
  }
  TakePlacement(*record, copy);
  record->mask = StoreMask(copy.GetMask());
  if (record->mask && record->supersampled)
    record->workingMask = StoreMask(copy.GetWorkingMask());
  if (!record->mask || (record->supersampled && !record->workingMask)) {
    delete record;
    return nullptr;
  }
  return record;
}
