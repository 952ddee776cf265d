// Project and swatch saves over an existing file (WriteFileReplacing): deep folders, names
// already taken beside the target, its attributes, a target held open elsewhere, a last
// write that fails, links, owners and modes, folders that take no new file.
#include <gtest/gtest.h>
#include <windows.h>
#include <memory>
#include <random>
#include <string>
#include <vector>
#include "common/BoxWatcher.h"
#include "common/ReplacedFile.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/PixelArray.h"
#include "document/Project.h"
#include "document/ProjectFile.h"
#include "document/Swatches.h"
#include "shell/Errors.h"

namespace {

// One 100 x 100 image of noise, stored uncompressed without a thumbnail: about 40 KB.
std::unique_ptr<CProject> NoiseProject() {
  std::unique_ptr<CProject> project(new CProject());
  CImage* image = new CImage();
  image->SetSize(100, 100);
  project->AddImage(image);
  image->SetTargetFormat(CImage::FORMAT_32BIT_ARGB);
  CRasterLayer* layer = new CRasterLayer();
  image->AddLayer(layer);
  std::minstd_rand random(7);
  CPixelArray* pixels = layer->GetPixels();
  for (int y = 0; y < pixels->height; ++y)
    for (int x = 0; x < pixels->width; ++x)
      pixels->SetPixel(x, y, static_cast<uint32_t>(random()) | 0xFF000000u);
  image->UpdateAll();
  return project;
}

// The application's swatches: a thousand of them (about 40 KB as a file) for the test's
// lifetime, the defaults afterwards.
class ManySwatches {
public:
  ManySwatches() {
    g_Swatches.Clear();
    CSwatchUpdateScope update(g_Swatches);
    for (uint32_t i = 0; i < 1000; ++i)
      g_Swatches.AddColor(CColor(0xFF000000u | (i * 2654435761u >> 8)));
  }
  ~ManySwatches() { g_Swatches.SetDefaults(); }
};

class ReplacingSave : public testing::Test {
protected:
  ReplacingSave() : project(NoiseProject()) {}

  // The project's save and the swatches' save, each reporting its message.
  std::vector<ReplacingWrite> Saves() {
    const std::string cannotCreate = "Cannot create the file";
    const std::string writeFailed = "Write failed (the disk is full?)";
    CProject* saved = project.get();
    auto saveProject = [saved](const std::string& path) {
      CProjectWriter writer;
      writer.SetCompression(0);
      writer.SetEmbedThumbnails(false);
      try {
        writer.Save(path.c_str(), saved);
      } catch (const CVCException& e) {
        return std::string(e.message.text);
      }
      return std::string();
    };
    auto saveSwatches = [](const std::string& path) {
      BoxWatcher boxes("Vellumcraft :: Error");
      if (SaveSwatchSet(path.c_str()))
        return std::string();
      boxes.WaitFor(1);
      return boxes.Count() ? boxes.Texts()[0] : std::string("no message");
    };
    return {{"p", saveProject, cannotCreate, writeFailed},
            {"s", saveSwatches, cannotCreate, writeFailed}};
  }

  std::unique_ptr<CProject> project;
  ManySwatches swatches;
};

}  // namespace

TEST_F(ReplacingSave, WorksInFoldersOf250CharactersAndMore) {
  for (const ReplacingWrite& save : Saves())
    ExpectReplacesInDeepFolders(save);
}

TEST_F(ReplacingSave, LeavesFilesUnderTheNamesItMightTakeAlone) {
  for (const ReplacingWrite& save : Saves())
    ExpectLeavesOtherFilesAlone(save);
}

TEST_F(ReplacingSave, AHiddenSystemFileStaysOne) {
  for (const ReplacingWrite& save : Saves())
    ExpectKeepsTheAttributes(save);
}

TEST_F(ReplacingSave, AFileHeldOpenElsewhereIsKept) {
  for (const ReplacingWrite& save : Saves())
    ExpectKeepsAHeldTarget(save);
}

TEST_F(ReplacingSave, KeepsEverythingTheFileWas) {
  for (const ReplacingWrite& save : Saves())
    ExpectKeepsEverythingTheTargetWas(save);
}

class FullDisk : public ReplacingSave {};

TEST_F(FullDisk, ASaveWhoseLastWriteFailsKeepsTheFile) {
  if (!FileSizeLimit())
    GTEST_SKIP() << "runs where files are limited in size (ctest's document_full_disk)";
  for (const ReplacingWrite& save : Saves())
    ExpectKeepsTheTargetWhenTheLastWriteFails(save);
}
