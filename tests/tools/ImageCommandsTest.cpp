#include <gtest/gtest.h>
#include <cstdint>
#include <vector>
#include "DrawingToolTestSupport.h"
#include "document/Actions.h"
#include "document/EditorUI.h"
#include "document/History.h"
#include "tools/ImageCommands.h"
#include "tools/SelectionTool.h"
#include "wul/WULError.h"

namespace {

// Answers the delete question and records the project panel's notices.
class PanelHost : public RecordingHost {
public:
  bool ConfirmDeleteImage() override {
    ++questions;
    return answer;
  }
  // The panels' selections fail while failSelect is set.
  void SelectLayerItem(CLayer*) override { FailIfAsked(); }
  void SelectImageItem(CImage* image) override {
    FailIfAsked();
    RecordingHost::SelectImageItem(image);
  }
  void FailIfAsked() {
    if (failSelect)
      throw CWULError(5, "CThumbnailList::SetCurrentItem", "Item selection failed");
  }
  void RemoveImageItem(CImage* image) override { removed.push_back(image); }
  void MoveImageItem(CImage* image) override { moved.push_back(image); }
  bool answer = false;
  int questions = 0;
  bool failSelect = false;
  std::vector<CImage*> removed;
  std::vector<CImage*> moved;
};

using ImageCommandsTest = DrawingToolTestWith<PanelHost>;

const char* LastCaption(CImage* image) {
  CAction* action = image->GetHistory()->GetCurrent();
  return action ? action->GetName() : "";
}

CRasterLayer* AddPatternLayer(CImage* image, uint32_t seed) {
  CRasterLayer* layer = new CRasterLayer();
  image->AddLayer(layer);
  FillPattern(*layer->GetPixels(), seed);
  image->SetActiveLayer(layer);
  image->UpdateAll();
  ResyncWorkingCopies();
  return layer;
}

std::vector<CImage*> ImagesOf(CProject* project) {
  std::vector<CImage*> images;
  for (CImage* image = project->GetFirstImage(); image; image = image->GetNext())
    images.push_back(image);
  return images;
}

std::vector<CLayer*> LayersOf(CImage* image) {
  std::vector<CLayer*> layers;
  for (CLayer* layer = image->GetFirstLayer(); layer; layer = layer->GetNext())
    layers.push_back(layer);
  return layers;
}

// ---------------------------------------------------------------------------------------------
// Image commands

TEST_F(ImageCommandsTest, CropKeepsTheSelectedBounds) {
  TestDocument doc(8, 6);
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
  EXPECT_FALSE(CropCommand());  // no selection
  CSelection* selection = doc.image->GetSelection();
  SetSelection(selection, [](int32_t x, int32_t y) { return (x == 2 && y == 1) || (x == 5 && y == 3) ? 255 : 0; });
  ASSERT_TRUE(CropCommand());
  EXPECT_STREQ(LastCaption(doc.image), "Crop");
  ASSERT_EQ(doc.image->GetWidth(), 4);
  ASSERT_EQ(doc.image->GetHeight(), 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x)
      ASSERT_EQ(doc.layer->GetPixels()->GetPixel(x, y), before[(y + 1) * 8 + x + 2]);
  EXPECT_FALSE(selection->IsActive());
  EXPECT_FALSE(CropCommand());  // the selection was cleared
  ASSERT_TRUE(doc.image->GetHistory()->Undo());
  EXPECT_EQ(doc.image->GetWidth(), 8);
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before);
  EXPECT_TRUE(selection->IsActive());
}

TEST_F(ImageCommandsTest, FlipsAndRotations) {
  TestDocument doc(4, 3);
  const std::vector<uint32_t> before = PixelsOf(*doc.layer->GetPixels());
  ASSERT_TRUE(FlipImageHorizontalCommand());
  EXPECT_STREQ(LastCaption(doc.image), "Flip Image");
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x)
      ASSERT_EQ(doc.layer->GetPixels()->GetPixel(x, y), before[y * 4 + 3 - x]);
  ASSERT_TRUE(FlipImageHorizontalCommand());
  ASSERT_TRUE(FlipImageVerticalCommand());
  EXPECT_EQ(doc.layer->GetPixels()->GetPixel(1, 0), before[2 * 4 + 1]);
  ASSERT_TRUE(FlipImageVerticalCommand());
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before);

  // Clockwise: 3 x 4, the old top-left pixel at the top right.
  ASSERT_TRUE(RotateImageCwCommand());
  EXPECT_STREQ(LastCaption(doc.image), "Rotate Image");
  ASSERT_EQ(doc.image->GetWidth(), 3);
  ASSERT_EQ(doc.image->GetHeight(), 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 3; ++x)
      ASSERT_EQ(doc.layer->GetPixels()->GetPixel(x, y), before[(2 - x) * 4 + y]);
  ASSERT_TRUE(RotateImageCcwCommand());
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before);
  ASSERT_TRUE(RotateImage180Command());
  EXPECT_EQ(doc.layer->GetPixels()->GetPixel(0, 0), before[11]);
  EXPECT_EQ(doc.image->GetHistory()->GetCount(), 7);
  while (doc.image->GetHistory()->CanUndo())
    ASSERT_TRUE(doc.image->GetHistory()->Undo());
  EXPECT_EQ(PixelsOf(*doc.layer->GetPixels()), before);
  EXPECT_FALSE(ReorientImageCommand("Bad", 9));
  EXPECT_EQ(doc.image->GetHistory()->GetRedoNext()->GetName(), std::string("Flip Image"));
}

TEST_F(ImageCommandsTest, DeleteImageAsksAndMovesToTheNextImage) {
  TestDocument doc(4, 4);
  CImage* second = doc.AddImage(5, 5);
  AddPatternLayer(second, 3);
  CImage* first = doc.image;
  // Declined: nothing happens.
  EXPECT_FALSE(DeleteImageCommand());
  EXPECT_EQ(host.questions, 1);
  EXPECT_EQ(doc.project->GetImageCount(), 2);

  host.answer = true;
  ASSERT_TRUE(DeleteImageCommand());
  EXPECT_EQ(doc.project->GetImageCount(), 1);
  EXPECT_EQ(doc.project->GetCurrentImage(), second);
  ASSERT_EQ(host.removed.size(), 1u);
  EXPECT_EQ(host.removed[0], first);
  EXPECT_EQ(g_LayerWorkingCopy.GetWidth(), 5);

  // The last image leaves no current image and empty working copies.
  ASSERT_TRUE(DeleteImageCommand());
  EXPECT_EQ(doc.project->GetImageCount(), 0);
  EXPECT_EQ(GetCurrentImage(), nullptr);
  EXPECT_EQ(g_LayerWorkingCopy.GetWidth(), 0);
  EXPECT_EQ(g_SelectionWorkingCopy.GetWidth(), 0);
  EXPECT_FALSE(DeleteImageCommand());
  doc.image = nullptr;
}

TEST_F(ImageCommandsTest, DeletingTheLastOfSeveralSelectsTheOneBefore) {
  TestDocument doc(2, 2);
  CImage* second = doc.AddImage(3, 3);
  doc.project->SetCurrentImage(second);
  host.answer = true;
  ASSERT_TRUE(DeleteImageCommand());
  EXPECT_EQ(GetCurrentImage(), doc.image);
}

// A panel that fails inside its bracket leaves no bracket open and no image locked.
TEST_F(ImageCommandsTest, APanelFailureLeavesNoBracketOpen) {
  TestDocument doc(4, 4);
  CImage* second = doc.AddImage(4, 4);
  AddPatternLayer(second, 3);
  AddPatternLayer(doc.image, 2);
  host.answer = true;
  host.failSelect = true;
  const std::pair<const char*, bool (*)()> commands[] = {
      {"new layer", [] { return NewLayerCommand(false); }},
      {"duplicate", DuplicateLayerCommand},
      {"layer up", MoveLayerUpCommand},
      {"layer below", SelectLayerBelowCommand},
      {"merge down", MergeDownCommand},
      {"delete layer", DeleteLayerCommand},
      {"image down", MoveImageDownCommand},
      {"delete image", DeleteImageCommand},
  };
  for (const auto& command : commands) {
    // The main loop shows a framework error that a command lets out.
    try {
      command.second();
    } catch (const CWULError&) {
    }
    EXPECT_EQ(host.layerItems.ended, host.layerItems.begun) << command.first;
    EXPECT_EQ(host.projectItems.ended, host.projectItems.begun) << command.first;
    for (CImage* image = doc.project->GetFirstImage(); image; image = image->GetNext()) {
      EXPECT_EQ(image->GetUpdateLock(), 0) << command.first;
    }
  }
  EXPECT_GT(host.layerItems.begun, 0);
  EXPECT_GT(host.projectItems.begun, 0);
}

TEST_F(ImageCommandsTest, ImageOrderAndNavigation) {
  TestDocument doc(2, 2);
  CImage* a = doc.image;
  CImage* b = doc.AddImage(3, 3);
  CImage* c = doc.AddImage(4, 4);
  EXPECT_TRUE(PreviousImageCommand());  // at the front: nothing changes
  EXPECT_EQ(GetCurrentImage(), a);
  EXPECT_TRUE(NextImageCommand());
  EXPECT_EQ(GetCurrentImage(), b);
  EXPECT_EQ(g_LayerWorkingCopy.GetWidth(), 0);  // b has no layer
  EXPECT_TRUE(NextImageCommand());
  EXPECT_TRUE(NextImageCommand());
  EXPECT_EQ(GetCurrentImage(), c);
  EXPECT_TRUE(PreviousImageCommand());
  EXPECT_EQ(GetCurrentImage(), b);

  ASSERT_TRUE(MoveImageUpCommand());
  EXPECT_EQ(ImagesOf(doc.project), (std::vector<CImage*>{b, a, c}));
  EXPECT_FALSE(MoveImageUpCommand());  // at the front
  ASSERT_TRUE(MoveImageDownCommand());
  EXPECT_EQ(ImagesOf(doc.project), (std::vector<CImage*>{a, b, c}));
  ASSERT_TRUE(MoveImageDownCommand());
  EXPECT_EQ(ImagesOf(doc.project), (std::vector<CImage*>{a, c, b}));
  EXPECT_FALSE(MoveImageDownCommand());  // at the end
  EXPECT_EQ(GetCurrentImage(), b);
  EXPECT_EQ(host.moved.size(), 3u);
  ASSERT_TRUE(CImage::MoveCurrentImageBefore(a));
  EXPECT_EQ(ImagesOf(doc.project), (std::vector<CImage*>{b, a, c}));
  EXPECT_EQ(a->GetListNumber(), 2);
}

TEST_F(ImageCommandsTest, TheOnlyImageDoesNotMove) {
  TestDocument doc(2, 2);
  EXPECT_FALSE(MoveImageUpCommand());
  EXPECT_FALSE(MoveImageDownCommand());
  EXPECT_TRUE(NextImageCommand());
  EXPECT_EQ(GetCurrentImage(), doc.image);
  EXPECT_EQ(host.moved.size(), 0u);
}

// ---------------------------------------------------------------------------------------------
// Layer commands

TEST_F(ImageCommandsTest, NewLayersAndTheSupersamplingLimit) {
  TestDocument doc(10, 10);
  ASSERT_TRUE(NewLayerCommand(false));
  EXPECT_EQ(doc.image->GetLayerCount(), 2);
  EXPECT_EQ(doc.layer->GetNext(), doc.image->GetActiveLayer());
  EXPECT_STREQ(LastCaption(doc.image), "New Layer");
  const uint32_t limit = g_Settings.limitsSupersamplingMaxPixelCount->GetValue();
  g_Settings.limitsSupersamplingMaxPixelCount->SetValue(99);
  EXPECT_FALSE(CanSupersample());
  EXPECT_FALSE(NewLayerCommand(true));
  EXPECT_EQ(doc.image->GetLayerCount(), 2);
  g_Settings.limitsSupersamplingMaxPixelCount->SetValue(100);
  EXPECT_TRUE(CanSupersample());
  ASSERT_TRUE(NewLayerCommand(true));
  g_Settings.limitsSupersamplingMaxPixelCount->SetValue(limit);
  CLayer* top = doc.image->GetActiveLayer();
  ASSERT_EQ(top->GetKind(), CLayer::KIND_RASTER);
  EXPECT_TRUE(static_cast<CRasterLayer*>(top)->IsSupersampled());
  EXPECT_TRUE(g_LayerWorkingCopy.IsSupersampled());
  ASSERT_TRUE(doc.image->GetHistory()->Undo());
  EXPECT_EQ(doc.image->GetLayerCount(), 2);
}

TEST_F(ImageCommandsTest, DuplicateDeleteAndMerge) {
  TestDocument doc(4, 4);
  const std::vector<uint32_t> bottom = PixelsOf(*doc.layer->GetPixels());
  ASSERT_TRUE(DuplicateLayerCommand());
  ASSERT_EQ(doc.image->GetLayerCount(), 2);
  CLayer* copy = doc.image->GetActiveLayer();
  EXPECT_EQ(PixelsOf(*copy->GetPixels()), bottom);
  ASSERT_TRUE(DeleteLayerCommand());
  EXPECT_EQ(doc.image->GetLayerCount(), 1);
  EXPECT_STREQ(LastCaption(doc.image), "Delete Layer");
  ASSERT_TRUE(doc.image->GetHistory()->Undo());
  ASSERT_EQ(doc.image->GetLayerCount(), 2);

  // A half-transparent red layer over the pattern, merged down.
  CRasterLayer* top = static_cast<CRasterLayer*>(doc.image->GetActiveLayer());
  top->GetPixels()->Fill(0x80FF0000u);
  doc.image->UpdateAll();
  ResyncWorkingCopies();
  const std::vector<uint32_t> composite = PixelsOf(*doc.image->GetComposite());
  doc.layer->SetName("Base");
  ASSERT_TRUE(MergeDownCommand());
  ASSERT_EQ(doc.image->GetLayerCount(), 1);
  CLayer* merged = doc.image->GetActiveLayer();
  EXPECT_STREQ(merged->GetName(), "Base");
  EXPECT_EQ(PixelsOf(*merged->GetPixels()), composite);
  EXPECT_FALSE(MergeDownCommand());      // nothing below
  EXPECT_FALSE(MergeAllLayersCommand());  // only one layer
  ASSERT_TRUE(doc.image->GetHistory()->Undo());
  EXPECT_EQ(doc.image->GetLayerCount(), 2);
  ASSERT_TRUE(MergeAllLayersCommand());
  EXPECT_STREQ(LastCaption(doc.image), "Merge All Layers");
  EXPECT_EQ(doc.image->GetLayerCount(), 1);
}

TEST_F(ImageCommandsTest, LayerSelectionAndOrder) {
  TestDocument doc(3, 3);
  CLayer* a = doc.layer;
  CLayer* b = AddPatternLayer(doc.image, 2);
  CLayer* c = AddPatternLayer(doc.image, 3);
  EXPECT_EQ(LayersOf(doc.image), (std::vector<CLayer*>{a, b, c}));
  EXPECT_TRUE(SelectLayerAboveCommand());  // at the top: stays
  EXPECT_EQ(GetCurrentLayer(), c);
  EXPECT_TRUE(SelectLayerBelowCommand());
  EXPECT_EQ(GetCurrentLayer(), b);
  EXPECT_EQ(PixelsOf(g_LayerWorkingCopy.GetPixels()), PixelsOf(*b->GetPixels()));
  EXPECT_TRUE(SelectLayerBelowCommand());
  EXPECT_TRUE(SelectLayerBelowCommand());
  EXPECT_EQ(GetCurrentLayer(), a);

  // The bottom layer does not move down.
  EXPECT_FALSE(MoveLayerDownCommand());
  EXPECT_FALSE(MoveLayerToBottomCommand());
  ASSERT_TRUE(MoveLayerUpCommand());
  EXPECT_EQ(LayersOf(doc.image), (std::vector<CLayer*>{b, a, c}));
  EXPECT_STREQ(LastCaption(doc.image), "Move Layer");
  ASSERT_TRUE(MoveLayerToTopCommand());
  EXPECT_EQ(LayersOf(doc.image), (std::vector<CLayer*>{b, c, a}));
  EXPECT_FALSE(MoveLayerToTopCommand());
  EXPECT_FALSE(MoveLayerUpCommand());
  ASSERT_TRUE(MoveLayerDownCommand());
  EXPECT_EQ(LayersOf(doc.image), (std::vector<CLayer*>{b, a, c}));
  ASSERT_TRUE(MoveLayerDownCommand());  // one below: to the bottom
  EXPECT_EQ(LayersOf(doc.image), (std::vector<CLayer*>{a, b, c}));
  EXPECT_TRUE(c->MakeCurrent());
  ASSERT_TRUE(MoveLayerToBottomCommand());
  EXPECT_EQ(LayersOf(doc.image), (std::vector<CLayer*>{c, a, b}));
  ASSERT_TRUE(doc.image->GetHistory()->Undo());
  EXPECT_EQ(LayersOf(doc.image), (std::vector<CLayer*>{a, b, c}));
}

TEST_F(ImageCommandsTest, LayerCommandsNeedALayer) {
  EXPECT_FALSE(NewLayerCommand(false));
  EXPECT_FALSE(CanSupersample());
  TestDocument doc(3, 3);
  doc.image->SetActiveLayer(nullptr);
  EXPECT_FALSE(DuplicateLayerCommand());
  EXPECT_FALSE(DeleteLayerCommand());
  EXPECT_FALSE(MergeDownCommand());
  EXPECT_FALSE(SelectLayerAboveCommand());
  EXPECT_FALSE(MoveLayerToTopCommand());
  EXPECT_FALSE(MoveLayerToBottomCommand());
  EXPECT_FALSE(ExecuteCommandAction(nullptr));
  EXPECT_EQ(doc.image->GetHistory()->GetCount(), 0);
  // Without a current layer a new layer goes on top.
  ASSERT_TRUE(NewLayerCommand(false));
  EXPECT_EQ(doc.image->GetLastLayer(), doc.image->GetActiveLayer());
}

}  // namespace
