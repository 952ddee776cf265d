#pragma once
// The pictures that scripts/vc bench makes beside the build (bench-pictures, see
// scripts/bench-peers.sh) and the figures of the peer tools measured on them outside Wine.
#include <cstdint>
#include <string>
#include <vector>

namespace bench {

struct PeerPicture {
  std::string name;
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> rgba;         // R, G, B, A bytes, rows top-down
  std::vector<uint8_t> quantized[2];  // pngquant --nofs of its opaque colours at 256 and 16
  uint32_t optipngBytes = 0;          // optipng -o7
  double optipngMs = 0;
  uint32_t zopflipngBytes = 0;  // zopflipng -m
  double zopflipngMs = 0;
  double pngquantMs[2] = {0, 0};
};

// Every picture of the folder; none (with a line saying why) when it is missing or incomplete.
std::vector<PeerPicture> LoadPeerPictures();

// The folder of the benchmark program, with its separator.
std::string ExeFolder();
std::vector<uint8_t> ReadAll(const std::string& path);

}  // namespace bench
