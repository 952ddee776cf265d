#pragma once
// Conversion between projects and the portable records of the plug-in interface. Every
// function shows its own error box and leaves nothing half-built behind; the caller frees
// the source record.
#include "plugins/sdk/VCXRecords.h"

class CImage;
class CProject;

VCXMultiImage* CreatePortableMultiImage(CProject* project);
VCXMultiImage* CreatePortableMultiImageOfImage(CImage* image);
VCXLayeredImage* CreatePortableImage(CImage* image);
CProject* ConvertPortableMultiImage(const VCXMultiImage* record);
CImage* ConvertPortableLayeredImage(const VCXLayeredImage* record);
