#pragma once
// A project: the ordered set of images that belong together, with its name and path.
#include <cstdint>
#include "wul/WULString.h"

class CImage;

class CProject {
public:
  CProject();
  // Deletes every image.
  ~CProject();
  // Deletes the project with its images; null does nothing.
  static void Destroy(CProject* project);
  CProject(const CProject&) = delete;
  CProject& operator=(const CProject&) = delete;

  void SetName(const char* text);
  const char* GetName() const { return name.text; }
  void SetPath(const char* text);
  const char* GetPath() const { return path.text; }

  void AddImage(CImage* image);
  // Before null appends.
  void InsertImage(CImage* image, CImage* before);
  void MoveImage(CImage* image, CImage* before);
  // The image is unlinked, not deleted.
  void RemoveImage(CImage* image);
  void DeleteAllImages();
  // Null for an unknown id.
  CImage* FindImage(int32_t imageId) const;
  // Id for a new image of the list (the image, still without an id, already counted).
  int32_t AssignImageId() const;

  // Null, or an image of this project.
  void SetCurrentImage(CImage* image);
  CImage* GetCurrentImage() const { return currentImage; }
  int32_t GetImageCount() const { return imageCount; }
  CImage* GetFirstImage() const { return firstImage; }
  CImage* GetLastImage() const { return lastImage; }

  // True when the project or any of its images was changed.
  bool IsModified() const;
  void SetModified() { modified = 1; }
  void ClearModified();
  uint32_t GetMemorySize() const;

private:
  void Unlink(CImage* image);
  void LinkBefore(CImage* image, CImage* before);

  int32_t imageCount;
  CImage* firstImage;
  CImage* lastImage;
  CImage* currentImage;
  uint8_t modified;
  CWULString name;
  CWULString path;
};
