#include "document/Project.h"
#include "document/Image.h"
#include "document/ListNumbers.h"
#include "document/Palette.h"

CProject::CProject()
    : imageCount(0), firstImage(nullptr), lastImage(nullptr), currentImage(nullptr),
      modified(0), name("UNTITLED") {}

CProject::~CProject() {
  DeleteAllImages();
}

void CProject::Destroy(CProject* project) { delete project; }

void CProject::SetName(const char* text) {
  name.Assign(text);
}

void CProject::SetPath(const char* text) {
  path.Assign(text);
}

void CProject::Unlink(CImage* image) {
  if (image->previous)
    image->previous->next = image->next;
  else
    firstImage = image->next;
  if (image->next)
    image->next->previous = image->previous;
  else
    lastImage = image->previous;
  image->previous = nullptr;
  image->next = nullptr;
}

void CProject::LinkBefore(CImage* image, CImage* before) {
  image->next = before;
  image->previous = before ? before->previous : lastImage;
  if (image->previous)
    image->previous->next = image;
  else
    firstImage = image;
  if (before)
    before->previous = image;
  else
    lastImage = image;
}

void CProject::AddImage(CImage* image) {
  InsertImage(image, nullptr);
}

void CProject::InsertImage(CImage* image, CImage* before) {
  if (!image)
    return;
  if (before == image)
    before = image->owner == this ? image->next : nullptr;
  if (before && before->owner != this)
    before = nullptr;
  if (image->owner)
    image->owner->RemoveImage(image);
  LinkBefore(image, before);
  image->owner = this;
  ++imageCount;
  RenumberList(image);
  if (image->id == 0)
    image->id = AssignImageId();
  SetModified();
}

void CProject::MoveImage(CImage* image, CImage* before) {
  if (!image || image->owner != this || before == image)
    return;
  if (before && before->owner != this)
    before = nullptr;
  Unlink(image);
  LinkBefore(image, before);
  RenumberList(firstImage);
  SetModified();
}

void CProject::RemoveImage(CImage* image) {
  if (!image || image->owner != this)
    return;
  if (currentImage == image)
    currentImage = nullptr;
  CImage* successor = image->next;
  Unlink(image);
  --imageCount;
  RenumberList(successor);
  image->owner = nullptr;
  image->number = 0;
  SetModified();
}

void CProject::DeleteAllImages() {
  CImage* image = firstImage;
  firstImage = lastImage = currentImage = nullptr;
  imageCount = 0;
  while (image) {
    CImage* following = image->next;
    // Already out of the list: the destructor has nothing to unlink.
    image->owner = nullptr;
    image->previous = nullptr;
    image->next = nullptr;
    delete image;
    image = following;
  }
  SetModified();
}

CImage* CProject::FindImage(int32_t imageId) const {
  for (CImage* image = firstImage; image; image = image->next)
    if (image->id == imageId)
      return image;
  return nullptr;
}

int32_t CProject::AssignImageId() const {
  return NextFreeListId(firstImage, imageCount);
}

void CProject::SetCurrentImage(CImage* image) {
  if (image && image->owner != this)
    return;
  if (currentImage && currentImage->GetPalette())
    currentImage->GetPalette()->ClearLookup();
  currentImage = image;
}

bool CProject::IsModified() const {
  if (modified)
    return true;
  for (CImage* image = firstImage; image; image = image->next)
    if (image->IsModified())
      return true;
  return false;
}

void CProject::ClearModified() {
  modified = 0;
  for (CImage* image = firstImage; image; image = image->next)
    image->ClearModified();
}

uint32_t CProject::GetMemorySize() const {
  uint32_t size = 124;
  for (CImage* image = firstImage; image; image = image->next)
    size += image->GetMemorySize();
  return size;
}
