#pragma once
// The About box of the plug-ins: the picture, the name and version, the maker's notice, a
// link to the home page and an "OK" button.
#include <windows.h>
#include <cstddef>
#include <cstdint>

class CWULImage;

// Where the texts go: beside the picture in a 320 x 150 box, or centred under it in a
// 320 x 320 box.
enum VCXAboutLayout { VCX_ABOUT_BESIDE_PICTURE, VCX_ABOUT_UNDER_PICTURE };

struct VCXAboutContent {
  VCXAboutLayout layout;
  const char* name;         // caption "About %s plugin"
  const char* description;  // first line
  uint32_t version;         // major, minor, build and revision bytes
  const char* notice;       // the line after the version
  const char* extra;        // word-wrapped under the link (texts under the picture); or null
  CWULImage* picture;       // at (8, 10)
  HCURSOR linkCursor;       // over the link
};

// "%s\nVersion %u.%u", then ".%u" with the build when build or revision is non-zero, ".%u"
// with the revision when it is non-zero, then "\n%s" with the notice. Cut to the buffer.
void vcxFormatAboutText(char* buffer, size_t size, const char* description, uint32_t version,
                        const char* notice);

// A plug-in's 32-bit bitmap resource as a picture, or null when it cannot be loaded.
CWULImage* vcxLoadPicture(HINSTANCE module, int id);

// Keeps a picture for its lifetime and releases it at the end; null is allowed.
class CVCXPictureHold {
public:
  explicit CVCXPictureHold(CWULImage* picture);
  ~CVCXPictureHold();
  CVCXPictureHold(const CVCXPictureHold&) = delete;
  CVCXPictureHold& operator=(const CVCXPictureHold&) = delete;

private:
  CWULImage* m_picture;
};

// The maker's web address and notice line.
extern const char* const vcxHomepage;
extern const char* const vcxMakerNotice;

// Shows the modal box owned by parent and returns 1 once it is closed; 0 without a picture
// or while a box is open already (no second box is shown).
int vcxRunAboutBox(HWND parent, const VCXAboutContent& content);

// The box with the texts under the picture and the maker's notice; extra may be null.
int vcxShowAboutBox(HWND parent, const char* name, const char* description, uint32_t version,
                    const char* extra, CWULImage* picture, HCURSOR linkCursor);
