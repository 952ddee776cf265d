#pragma once
// Requests for the portable records that a plug-in hands over, for the host's services.
#include <cstdint>
#include "plugins/sdk/VCXRecords.h"

inline VCXLayeredImage LayeredRequest(uint32_t format, int32_t width, int32_t height, int32_t layerCount) {
  VCXLayeredImage request = {};
  request.headerSize = sizeof request;
  request.version = 1;
  request.format = format;
  request.width = width;
  request.height = height;
  request.layerCount = layerCount;
  return request;
}

inline VCXImage ImageRequest(uint32_t format, int32_t width, int32_t height, int32_t kind = VCX_KIND_COLOR) {
  VCXImage request = {};
  request.headerSize = sizeof request;
  request.kind = kind;
  request.format = format;
  request.width = width;
  request.height = height;
  request.opacity = 1.0f;
  return request;
}
