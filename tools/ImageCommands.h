#pragma once
// Creation of images and layers for the commands, the conversions and the project reader.
class CImage;
class CRasterLayer;

// Null after the error box "Image creation failed".
CImage* CreateImage();
// Null after the error box "Raster layer creation failed".
CRasterLayer* CreateRasterLayer();
