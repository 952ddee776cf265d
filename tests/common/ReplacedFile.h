#pragma once
// A file that an export writes over, alone in a folder of its own: whether it stayed byte
// for byte, or the new file took its place, with nothing else left beside it.
#include <gtest/gtest.h>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>
#include "document/ScratchFiles.h"

class ExistingFile {
public:
  explicit ExistingFile(const char* fileName) : name(fileName), path(folder.File(fileName)) {
    for (int i = 0; i < 1000; ++i)
      old.push_back(static_cast<uint8_t>(7 * i + 3));
    StoreBytes(path, old);
  }

  void ExpectKept() const {
    EXPECT_EQ(folder.Files(), std::vector<std::string>{name});
    EXPECT_TRUE(LoadBytes(path) == old);
  }
  // What took the old file's place.
  std::vector<uint8_t> Replacement() const {
    EXPECT_EQ(folder.Files(), std::vector<std::string>{name});
    return LoadBytes(path);
  }

  ScratchFolder folder;
  const std::string name;
  const std::string path;
  std::vector<uint8_t> old;
};

// The size past which no file of the test program may grow in the full-disk run (its writes
// fail there, as on a full disk); 0 in the ordinary run.
inline uint64_t FileSizeLimit() {
  const char* limit = std::getenv("VC_FILE_SIZE_LIMIT");
  return limit ? std::strtoull(limit, nullptr, 10) : 0;
}
