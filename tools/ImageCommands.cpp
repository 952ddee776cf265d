#include "tools/ImageCommands.h"
#include <new>
#include "document/Image.h"
#include "document/Layer.h"
#include "shell/Errors.h"

CImage* CreateImage() {
  CImage* image = nullptr;
  try {
    image = new (std::nothrow) CImage;
  } catch (...) {
    image = nullptr;
  }
  if (!image)
    ErrorBox("Image creation failed");
  return image;
}

CRasterLayer* CreateRasterLayer() {
  CRasterLayer* layer = nullptr;
  try {
    layer = new (std::nothrow) CRasterLayer;
  } catch (...) {
    layer = nullptr;
  }
  if (!layer)
    ErrorBox("Raster layer creation failed");
  return layer;
}
