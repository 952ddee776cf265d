#include <gtest/gtest.h>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>
#include "document/Actions.h"
#include "document/EditorUI.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "document/Palette.h"
#include "document/Project.h"
#include "document/Selection.h"
#include "document/Supersample.h"
#include "tools/CurrentImage.h"
#include "tools/WorkingCopies.h"

namespace {

// ---------------------------------------------------------------------------------------------
// The whole state of an image that undo must restore.

struct LayerState {
  int32_t id, display, blend, width, height;
  uint8_t visible, supersampled;
  float opacity;
  std::string name;
  std::vector<uint32_t> pixels, pixels8x;
};

struct ImageState {
  int32_t width, height, format;
  float xres, yres;
  bool flagA, fixed, forExport;
  std::vector<uint32_t> palette;
  std::vector<LayerState> layers;
  std::vector<uint32_t> composite, preview;
  int32_t selWidth, selHeight;
  bool selActive, selSupersampled;
  std::vector<uint8_t> mask, mask8x;
};

std::vector<uint32_t> PixelsOf(const CPixelArray* a) {
  if (!a || !a->data)
    return {};
  return std::vector<uint32_t>(a->data, a->data + static_cast<size_t>(a->width) * a->height);
}

std::vector<uint8_t> BytesOf(const CMaskArray* m) {
  if (!m || !m->data)
    return {};
  return std::vector<uint8_t>(m->data, m->data + static_cast<size_t>(m->width) * m->height);
}

ImageState Capture(CImage* image) {
  ImageState s;
  s.width = image->GetWidth();
  s.height = image->GetHeight();
  s.format = image->GetTargetFormat();
  s.xres = image->GetXResolution();
  s.yres = image->GetYResolution();
  s.flagA = image->GetFlagA();
  s.fixed = image->IsPaletteFixed();
  s.forExport = image->IsForExport();
  if (CPalette* p = image->GetPalette())
    for (int32_t i = 0; i < p->GetCount(); ++i)
      s.palette.push_back(p->GetEntry(i)->GetColor());
  for (CLayer* l = image->GetFirstLayer(); l; l = l->GetNext()) {
    LayerState ls;
    ls.id = l->GetId();
    ls.display = l->GetLinkId();
    ls.blend = l->GetBlendMode();
    ls.width = l->GetWidth();
    ls.height = l->GetHeight();
    ls.visible = l->IsVisible();
    ls.opacity = l->GetOpacity();
    ls.name = l->GetName();
    ls.pixels = PixelsOf(l->GetPixels());
    CRasterLayer* r = static_cast<CRasterLayer*>(l);
    ls.supersampled = r->IsSupersampled();
    ls.pixels8x = PixelsOf(r->GetSupersampleTop());
    s.layers.push_back(ls);
  }
  s.composite = PixelsOf(image->GetComposite());
  s.preview = PixelsOf(image->GetPreview());
  CSelection* sel = image->GetSelection();
  s.selWidth = sel->GetWidth();
  s.selHeight = sel->GetHeight();
  s.selActive = sel->IsActive();
  s.selSupersampled = sel->IsSupersampled();
  CMaskSupersampleStack* stack = sel->GetSupersampleStack();
  s.mask = BytesOf(stack ? stack->GetLevel(0) : sel->GetMask());
  s.mask8x = BytesOf(sel->GetSupersampleTop());
  return s;
}

// The first difference, or empty.
std::string Diff(const ImageState& a, const ImageState& b) {
  std::ostringstream out;
  if (a.width != b.width || a.height != b.height)
    out << "size " << a.width << "x" << a.height << " / " << b.width << "x" << b.height;
  else if (a.format != b.format || a.xres != b.xres || a.yres != b.yres || a.flagA != b.flagA ||
           a.fixed != b.fixed || a.forExport != b.forExport)
    out << "image properties";
  else if (a.palette != b.palette)
    out << "palette";
  else if (a.layers.size() != b.layers.size())
    out << "layer count " << a.layers.size() << " / " << b.layers.size();
  else if (a.composite != b.composite)
    out << "composite";
  else if (a.preview != b.preview)
    out << "preview";
  else if (a.selWidth != b.selWidth || a.selHeight != b.selHeight || a.selActive != b.selActive ||
           a.selSupersampled != b.selSupersampled)
    out << "selection flags";
  else if (a.mask != b.mask || a.mask8x != b.mask8x)
    out << "selection mask";
  if (!out.str().empty())
    return out.str();
  for (size_t i = 0; i < a.layers.size(); ++i) {
    const LayerState& x = a.layers[i];
    const LayerState& y = b.layers[i];
    if (x.id != y.id || x.display != y.display || x.blend != y.blend || x.visible != y.visible ||
        x.opacity != y.opacity || x.name != y.name || x.width != y.width ||
        x.height != y.height || x.supersampled != y.supersampled)
      out << "layer " << i << " properties (id " << x.id << " / " << y.id << ")";
    else if (x.pixels != y.pixels || x.pixels8x != y.pixels8x)
      out << "layer " << i << " pixels";
    if (!out.str().empty())
      break;
  }
  return out.str();
}

#define EXPECT_SAME_STATE(a, b) EXPECT_EQ(Diff((a), (b)), "")

uint32_t Pattern(int x, int y, uint32_t seed) {
  uint32_t v = (static_cast<uint32_t>(x) * 73856093u) ^ (static_cast<uint32_t>(y) * 19349663u) ^
               (seed * 83492791u);
  v *= 2654435761u;
  return v ^ (v >> 13);
}

void Fill(CPixelArray* a, uint32_t seed, bool opaque = false) {
  for (int y = 0; y < a->height; ++y)
    for (int x = 0; x < a->width; ++x)
      a->SetPixel(x, y, Pattern(x, y, seed) | (opaque ? 0xFF000000u : 0));
}

// A project holding one image, made current.
class ActionsTest : public testing::Test {
protected:
  void Open(int32_t width, int32_t height, int32_t format = CImage::FORMAT_32BIT_ARGB) {
    image = new CImage();
    image->SetSize(width, height);
    image->SetTargetFormat(format);
    project.AddImage(image);
    project.SetCurrentImage(image);
    SetCurrentProject(&project);
  }
  void TearDown() override {
    SetCurrentProject(nullptr);
  }

  CRasterLayer* AddLayer(uint32_t seed, bool supersampled = false, const char* name = nullptr) {
    CRasterLayer* layer = new CRasterLayer();
    image->AddLayer(layer);
    if (supersampled)
      layer->SetSupersampling(true);
    Fill(layer->GetPixelArray(), seed);
    layer->Update(nullptr);
    if (name)
      layer->SetName(name);
    image->UpdateAll();
    image->SetActiveLayer(layer);
    return layer;
  }

  void SelectRect(int l, int t, int r, int b) {
    CSelection* s = image->GetSelection();
    CMaskArray* m = s->GetMask();
    const int k = s->IsSupersampled() ? 8 : 1;
    Rect rect;
    rect.left = l * k;
    rect.top = t * k;
    rect.right = r * k;
    rect.bottom = b * k;
    m->FillRect(rect, 255);
    s->Update(nullptr);
    s->SetActive(true);
  }

  CHistory* History() { return image->GetHistory(); }

  // Runs the action through the history and checks that undo and redo restore both states.
  void ExecuteAndCheck(CAction* action) {
    const ImageState before = Capture(image);
    ASSERT_TRUE(History()->Execute(action));
    const ImageState after = Capture(image);
    EXPECT_NE(Diff(before, after), "");
    ASSERT_TRUE(History()->Undo());
    EXPECT_SAME_STATE(Capture(image), before);
    ASSERT_TRUE(History()->Redo());
    EXPECT_SAME_STATE(Capture(image), after);
    ASSERT_TRUE(History()->Undo());
    EXPECT_SAME_STATE(Capture(image), before);
    ASSERT_TRUE(History()->Redo());
    EXPECT_SAME_STATE(Capture(image), after);
  }

  CProject project;
  CImage* image = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Pixel and selection edits added after the fact

TEST_F(ActionsTest, ModifyLayerUndoesAndRedoesAStroke) {
  Open(40, 30);
  CRasterLayer* bottom = AddLayer(1);
  CRasterLayer* top = AddLayer(2);
  top->SetOpacity(0.5f);
  image->UpdateAll();
  image->SetActiveLayer(bottom);
  const ImageState before = Capture(image);

  CPixelArray old(40, 30);
  old.CopyFrom(*bottom->GetPixelArray());
  Rect r;
  r.left = 5;
  r.top = 4;
  r.right = 33;
  r.bottom = 21;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x)
      bottom->GetPixelArray()->SetPixel(x, y, 0xFF102030u + x);
  image->UpdateRect(&r);
  const ImageState after = Capture(image);

  CModifyLayerAction* action = new CModifyLayerAction();
  EXPECT_STREQ(action->GetName(), "Modify Layer");
  action->SetName("Pencil Stroke");
  EXPECT_EQ(action->GetLayerId(), bottom->GetId());
  action->SetBlock(g_LzwEncoder.StorePixelRect(*bottom->GetPixelArray(), &old, &r));
  ASSERT_TRUE(History()->Add(action));
  EXPECT_STREQ(History()->GetCurrent()->GetName(), "Pencil Stroke");

  image->SetActiveLayer(top);
  ASSERT_TRUE(History()->Undo());
  EXPECT_SAME_STATE(Capture(image), before);
  EXPECT_EQ(image->GetActiveLayer(), bottom);
  ASSERT_TRUE(History()->Redo());
  EXPECT_SAME_STATE(Capture(image), after);
}

TEST_F(ActionsTest, ModifyLayerOnASupersampledLayer) {
  Open(12, 10);
  CRasterLayer* layer = AddLayer(3, true);
  const ImageState before = Capture(image);
  CPixelArray old(96, 80);
  old.CopyFrom(*layer->GetPixelArray());
  Rect r8;
  r8.left = 13;
  r8.top = 9;
  r8.right = 50;
  r8.bottom = 71;
  for (int y = r8.top; y < r8.bottom; ++y)
    for (int x = r8.left; x < r8.right; ++x)
      layer->GetPixelArray()->SetPixel(x, y, 0x80FF0000u | (x * y));
  const Rect r1 = SupersampleRectTo1x(r8);
  layer->Update(&r1);
  image->UpdateRect(&r1);
  const ImageState after = Capture(image);
  CModifyLayerAction* action = new CModifyLayerAction();
  action->SetBlock(g_LzwEncoder.StorePixelRect(*layer->GetPixelArray(), &old, &r8));
  ASSERT_TRUE(History()->Add(action));
  ASSERT_TRUE(History()->Undo());
  EXPECT_SAME_STATE(Capture(image), before);
  ASSERT_TRUE(History()->Redo());
  EXPECT_SAME_STATE(Capture(image), after);
}

TEST_F(ActionsTest, ModifyLayerWithoutItsLayerFails) {
  Open(8, 8);
  CRasterLayer* layer = AddLayer(1);
  CPixelArray old(8, 8);
  old.CopyFrom(*layer->GetPixels());
  CModifyLayerAction* action = new CModifyLayerAction();
  action->SetBlock(g_LzwEncoder.StorePixelRect(*layer->GetPixels(), &old, nullptr));
  ASSERT_TRUE(History()->Add(action));
  image->RemoveLayer(layer);
  EXPECT_FALSE(History()->Undo());
  EXPECT_EQ(History()->GetCurrent(), action);
  delete layer;
}

TEST_F(ActionsTest, ModifySelectionSelectsAndDeselects) {
  Open(20, 16);
  AddLayer(1);
  CSelection* s = image->GetSelection();
  const ImageState before = Capture(image);
  CMaskArray old(20, 16);
  old.Assign(*s->GetMask());

  CModifySelectionAction* select = new CModifySelectionAction();
  SelectRect(3, 2, 15, 11);
  const ImageState selected = Capture(image);
  select->SetMaskBlock(g_LzwEncoder.StoreMask(*s->GetMask(), &old));
  ASSERT_TRUE(History()->Add(select));

  // Deselect: the mask is cleared and the selection made inactive.
  old.Assign(*s->GetMask());
  CModifySelectionAction* deselect = new CModifySelectionAction();
  s->GetMask()->Fill(0);
  s->Update(nullptr);
  s->SetActive(false);
  s->SyncToImage();
  const ImageState cleared = Capture(image);
  deselect->SetMaskBlock(g_LzwEncoder.StoreMask(*s->GetMask(), &old));
  ASSERT_TRUE(History()->Add(deselect));

  ASSERT_TRUE(History()->Undo());
  EXPECT_SAME_STATE(Capture(image), selected);
  ASSERT_TRUE(History()->Undo());
  EXPECT_SAME_STATE(Capture(image), before);
  ASSERT_TRUE(History()->Redo());
  EXPECT_SAME_STATE(Capture(image), selected);
  EXPECT_TRUE(s->IsActive());
  ASSERT_TRUE(History()->Redo());
  EXPECT_SAME_STATE(Capture(image), cleared);
  EXPECT_FALSE(s->IsActive());
}

TEST_F(ActionsTest, ModifySelectionOnASupersampledSelection) {
  Open(10, 10);
  AddLayer(1, true);
  CSelection* s = image->GetSelection();
  ASSERT_TRUE(s->IsSupersampled());
  const ImageState before = Capture(image);
  CMaskArray old(80, 80);
  old.Assign(*s->GetMask());
  CModifySelectionAction* action = new CModifySelectionAction();
  Rect r;
  r.left = 3;
  r.top = 5;
  r.right = 41;
  r.bottom = 29;
  s->GetMask()->FillRect(r, 200);
  s->Update(nullptr);
  s->SetActive(true);
  const ImageState after = Capture(image);
  action->SetMaskBlock(g_LzwEncoder.StoreMaskRect(*s->GetMask(), &old, &r));
  ASSERT_TRUE(History()->Add(action));
  ASSERT_TRUE(History()->Undo());
  EXPECT_SAME_STATE(Capture(image), before);
  ASSERT_TRUE(History()->Redo());
  EXPECT_SAME_STATE(Capture(image), after);
}

TEST_F(ActionsTest, ModifyLayerAndSelectionRestoresBoth) {
  Open(24, 20);
  CRasterLayer* layer = AddLayer(4);
  SelectRect(2, 2, 12, 12);
  CSelection* s = image->GetSelection();
  const ImageState before = Capture(image);
  CPixelArray oldPixels(24, 20);
  oldPixels.CopyFrom(*layer->GetPixels());
  CMaskArray oldMask(24, 20);
  oldMask.Assign(*s->GetMask());

  CModifyLayerAndSelectionAction* action = new CModifyLayerAndSelectionAction();
  Rect r;
  r.left = 6;
  r.top = 5;
  r.right = 20;
  r.bottom = 18;
  layer->GetPixels()->FillRect(r, 0xC0406080u);
  image->UpdateRect(&r);
  s->GetMask()->Fill(0);
  s->Update(nullptr);
  s->SetActive(false);
  s->SyncToImage();
  const ImageState after = Capture(image);
  action->SetPixelBlock(g_LzwEncoder.StorePixelRect(*layer->GetPixels(), &oldPixels, &r));
  action->SetMaskBlock(g_LzwEncoder.StoreMask(*s->GetMask(), &oldMask));
  ASSERT_TRUE(History()->Add(action));
  ASSERT_TRUE(History()->Undo());
  EXPECT_SAME_STATE(Capture(image), before);
  ASSERT_TRUE(History()->Redo());
  EXPECT_SAME_STATE(Capture(image), after);
}

// ---------------------------------------------------------------------------------------------
// Layer commands

TEST_F(ActionsTest, DeleteTheOnlyLayerAndUndo) {
  Open(16, 12);
  CRasterLayer* layer = AddLayer(5, false, "Sky");
  layer->SetOpacity(0.75f);
  layer->SetBlendMode(CLayer::BLEND_REPLACE);
  layer->SetVisible(false);
  image->UpdateAll();
  const int32_t id = layer->GetId();
  ExecuteAndCheck(new CDeleteLayerAction());
  EXPECT_EQ(image->GetLayerCount(), 0);
  ASSERT_TRUE(History()->Undo());
  CLayer* back = image->GetFirstLayer();
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->GetId(), id);
  EXPECT_STREQ(back->GetName(), "Sky");
  EXPECT_EQ(image->GetActiveLayer(), back);
}

TEST_F(ActionsTest, DeleteAMiddleSupersampledLayer) {
  Open(10, 8);
  AddLayer(1);
  CRasterLayer* middle = AddLayer(2, true, "Middle");
  middle->SetOpacity(0.3f);
  CRasterLayer* top = AddLayer(3);
  image->UpdateAll();
  image->SetActiveLayer(middle);
  ExecuteAndCheck(new CDeleteLayerAction());
  // Undo put it back between the others.
  ASSERT_TRUE(History()->Undo());
  EXPECT_EQ(image->GetFirstLayer()->GetNext()->GetNext(), top);
}

TEST_F(ActionsTest, DeleteSelectsTheLayerBelow) {
  Open(4, 4);
  CRasterLayer* bottom = AddLayer(1);
  AddLayer(2);
  ASSERT_TRUE(History()->Execute(new CDeleteLayerAction()));
  EXPECT_EQ(image->GetActiveLayer(), bottom);
}

TEST_F(ActionsTest, DuplicateGivesAnUnnamedCopy) {
  Open(12, 9);
  CRasterLayer* layer = AddLayer(6, false, "Outline");
  layer->SetOpacity(0.4f);
  layer->SetBlendMode(CLayer::BLEND_REPLACE);
  image->UpdateAll();
  AddLayer(7);
  image->SetActiveLayer(layer);
  ExecuteAndCheck(new CDuplicateLayerAction());
  CLayer* copy = layer->GetNext();
  ASSERT_NE(copy, nullptr);
  EXPECT_STREQ(copy->GetName(), "");
  EXPECT_EQ(copy->GetBlendMode(), CLayer::BLEND_NORMAL);
  EXPECT_FLOAT_EQ(copy->GetOpacity(), 0.4f);
  char shown[32];
  copy->GetDisplayName(shown, sizeof shown);
  EXPECT_STREQ(shown, "Layer 3");
  EXPECT_EQ(std::memcmp(copy->GetPixels()->data, layer->GetPixels()->data, 12 * 9 * 4), 0);
}

TEST_F(ActionsTest, DuplicateASupersampledLayer) {
  Open(6, 5);
  CRasterLayer* layer = AddLayer(8, true);
  ExecuteAndCheck(new CDuplicateLayerAction());
  CRasterLayer* copy = static_cast<CRasterLayer*>(layer->GetNext());
  ASSERT_TRUE(copy->IsSupersampled());
  EXPECT_EQ(std::memcmp(copy->GetPixelArray()->data, layer->GetPixelArray()->data, 48 * 40 * 4),
            0);
}

TEST_F(ActionsTest, MoveLayerAboveATarget) {
  Open(6, 6);
  CRasterLayer* a = AddLayer(1);
  CRasterLayer* b = AddLayer(2);
  CRasterLayer* c = AddLayer(3);
  b->SetOpacity(0.5f);
  c->SetOpacity(0.7f);
  image->UpdateAll();
  CMoveLayerAction* move = new CMoveLayerAction();
  move->SetTargetId(a->GetId());
  ExecuteAndCheck(move);
  EXPECT_EQ(a->GetNext(), c);
  EXPECT_EQ(c->GetNext(), b);
  ASSERT_TRUE(History()->Undo());
  EXPECT_EQ(b->GetNext(), c);
}

TEST_F(ActionsTest, MoveLayerToAMissingTargetGoesToTheBottom) {
  Open(6, 6);
  CRasterLayer* a = AddLayer(1);
  AddLayer(2);
  CRasterLayer* c = AddLayer(3);
  CMoveLayerAction* move = new CMoveLayerAction();
  move->SetTargetId(77);
  ExecuteAndCheck(move);
  EXPECT_EQ(image->GetFirstLayer(), c);
  EXPECT_EQ(c->GetNext(), a);
}

TEST_F(ActionsTest, NewSupersampledLayerAndUndo) {
  Open(9, 7);
  AddLayer(1);
  SelectRect(1, 1, 5, 5);
  ASSERT_FALSE(image->GetSelection()->IsSupersampled());
  CNewLayerAction* action = new CNewLayerAction();
  action->SetSupersampled(true);
  ExecuteAndCheck(action);
  CRasterLayer* added = static_cast<CRasterLayer*>(image->GetLastLayer());
  EXPECT_TRUE(added->IsSupersampled());
  EXPECT_TRUE(image->GetSelection()->IsSupersampled());
  EXPECT_EQ(image->GetActiveLayer(), added);
  const int32_t id = added->GetId();
  ASSERT_TRUE(History()->Undo());
  ASSERT_TRUE(History()->Redo());
  EXPECT_EQ(image->GetLastLayer()->GetId(), id);
}

TEST_F(ActionsTest, NewLayerGoesJustAboveTheCurrentOne) {
  Open(5, 5);
  CRasterLayer* bottom = AddLayer(1);
  CRasterLayer* top = AddLayer(2);
  image->SetActiveLayer(bottom);
  ASSERT_TRUE(History()->Execute(new CNewLayerAction()));
  EXPECT_EQ(bottom->GetNext()->GetNext(), top);
  ASSERT_TRUE(History()->Undo());
  EXPECT_EQ(bottom->GetNext(), top);
}

TEST_F(ActionsTest, MergeDown) {
  Open(14, 11);
  AddLayer(1, false, "Base");
  CRasterLayer* middle = AddLayer(2, false, "Middle");
  CRasterLayer* top = AddLayer(3, true, "Top");
  top->SetOpacity(0.6f);
  middle->SetBlendMode(CLayer::BLEND_REPLACE);
  image->UpdateAll();
  CMergeLayersAction* merge = new CMergeLayersAction();
  merge->SetRange(top->GetId(), middle->GetId());
  merge->SetResultName("Middle");
  const int32_t middleId = middle->GetId();
  ExecuteAndCheck(merge);
  EXPECT_EQ(image->GetLayerCount(), 2);
  EXPECT_EQ(merge->GetResultId(), middleId);
  CRasterLayer* result = static_cast<CRasterLayer*>(image->GetLastLayer());
  EXPECT_EQ(result->GetId(), middleId);
  EXPECT_TRUE(result->IsSupersampled());
}

TEST_F(ActionsTest, MergeAllKeepsThePicture) {
  Open(13, 9);
  CRasterLayer* base = AddLayer(1, false, "Base");
  Fill(base->GetPixels(), 1, true);
  base->SetOpacity(0.5f);
  CRasterLayer* second = AddLayer(2);
  second->SetOpacity(0.5f);
  CRasterLayer* hidden = AddLayer(3);
  hidden->SetVisible(false);
  AddLayer(4);
  image->UpdateAll();
  const std::vector<uint32_t> picture = PixelsOf(image->GetComposite());
  CMergeLayersAction* merge = new CMergeLayersAction();
  merge->SetName("Merge All Layers");
  merge->SetMergeAll(true);
  ExecuteAndCheck(merge);
  EXPECT_EQ(image->GetLayerCount(), 1);
  EXPECT_EQ(image->GetFirstLayer()->GetLinkId(), 1);
  EXPECT_EQ(image->GetFirstLayer()->GetOpacity(), 1.0f);
  EXPECT_EQ(PixelsOf(image->GetComposite()), picture);
}

TEST_F(ActionsTest, MergeWithBottomAboveTopFails) {
  Open(5, 5);
  CRasterLayer* a = AddLayer(1);
  CRasterLayer* b = AddLayer(2);
  const ImageState before = Capture(image);
  CMergeLayersAction* merge = new CMergeLayersAction();
  merge->SetRange(a->GetId(), b->GetId());
  EXPECT_FALSE(History()->Execute(merge));
  delete merge;
  EXPECT_SAME_STATE(Capture(image), before);
  EXPECT_EQ(History()->GetCount(), 0);
}

TEST_F(ActionsTest, LayerPropertiesRenameDoesNotRecompose) {
  Open(6, 6);
  CRasterLayer* layer = AddLayer(1);
  // A pixel changed without recomposition stays out of the composite after a rename.
  layer->GetPixels()->SetPixel(0, 0, 0xFF00FF00u);
  const uint32_t shown = image->GetComposite()->GetPixel(0, 0);
  ASSERT_NE(shown, 0xFF00FF00u);
  CLayerPropertiesAction* action = new CLayerPropertiesAction();
  action->SetNewName("Renamed");
  ASSERT_TRUE(History()->Execute(action));
  EXPECT_STREQ(layer->GetName(), "Renamed");
  EXPECT_EQ(image->GetComposite()->GetPixel(0, 0), shown);
  ASSERT_TRUE(History()->Undo());
  EXPECT_STREQ(layer->GetName(), "");
}

TEST_F(ActionsTest, LayerPropertiesWithoutChangeIsNotKept) {
  Open(6, 6);
  AddLayer(1);
  CLayerPropertiesAction* action = new CLayerPropertiesAction();
  EXPECT_FALSE(History()->Execute(action));
  delete action;
}

TEST_F(ActionsTest, LayerPropertiesVisibilityAndOpacity) {
  Open(8, 8);
  AddLayer(1);
  AddLayer(2);
  CLayerPropertiesAction* action = new CLayerPropertiesAction();
  action->SetNewVisible(false);
  action->SetNewOpacity(0.25f);
  action->SetNewName("Ghost");
  ExecuteAndCheck(action);
}

TEST_F(ActionsTest, LayerPropertiesSupersamplingOffRestoresTheDetail) {
  Open(7, 6);
  AddLayer(1);
  AddLayer(2, true);
  CLayerPropertiesAction* action = new CLayerPropertiesAction();
  action->SetNewSupersampled(false);
  ExecuteAndCheck(action);
  EXPECT_FALSE(static_cast<CRasterLayer*>(image->GetLastLayer())->IsSupersampled());
}

TEST_F(ActionsTest, LayerPropertiesSupersamplingOn) {
  Open(7, 6);
  AddLayer(1);
  SelectRect(0, 0, 3, 3);
  CLayerPropertiesAction* action = new CLayerPropertiesAction();
  action->SetNewSupersampled(true);
  ExecuteAndCheck(action);
}

// ---------------------------------------------------------------------------------------------
// Image commands

TEST_F(ActionsTest, ImageBoundsExtendsAndUndoes) {
  Open(32, 32);
  CRasterLayer* layer = AddLayer(1);
  AddLayer(2, true);
  SelectRect(4, 4, 20, 20);
  std::vector<uint32_t> old = PixelsOf(layer->GetPixels());
  CImageBoundsAction* bounds = new CImageBoundsAction();
  Rect b;
  b.left = -8;
  b.top = -8;
  b.right = 40;
  b.bottom = 40;
  bounds->SetBounds(b);
  ExecuteAndCheck(bounds);
  ASSERT_EQ(image->GetWidth(), 48);
  ASSERT_EQ(image->GetHeight(), 48);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 48; ++x) {
      const bool inside = x >= 8 && x < 40 && y >= 8 && y < 40;
      ASSERT_EQ(layer->GetPixels()->GetPixel(x, y),
                inside ? old[static_cast<size_t>(y - 8) * 32 + (x - 8)] : 0u);
    }
  EXPECT_FALSE(image->GetSelection()->IsActive());
}

TEST_F(ActionsTest, ImageBoundsCrops) {
  Open(20, 18);
  CRasterLayer* layer = AddLayer(3);
  std::vector<uint32_t> old = PixelsOf(layer->GetPixels());
  CImageBoundsAction* crop = new CImageBoundsAction();
  crop->SetName("Crop");
  Rect b;
  b.left = 3;
  b.top = 5;
  b.right = 11;
  b.bottom = 17;
  crop->SetBounds(b);
  ExecuteAndCheck(crop);
  ASSERT_EQ(image->GetWidth(), 8);
  EXPECT_EQ(layer->GetPixels()->GetPixel(0, 0), old[5 * 20 + 3]);
  EXPECT_EQ(layer->GetPixels()->GetPixel(7, 11), old[16 * 20 + 10]);
}

TEST_F(ActionsTest, ImageBoundsRefusesUnchangedOrEmptyBounds) {
  Open(10, 10);
  AddLayer(1);
  CImageBoundsAction* same = new CImageBoundsAction();
  EXPECT_FALSE(History()->Execute(same));
  delete same;
  CImageBoundsAction* empty = new CImageBoundsAction();
  Rect b;
  b.left = 5;
  b.right = 5;
  b.bottom = 10;
  empty->SetBounds(b);
  EXPECT_FALSE(History()->Execute(empty));
  delete empty;
  EXPECT_EQ(image->GetWidth(), 10);
}

TEST_F(ActionsTest, ImagePropertiesThatChangeNothingAreNotKept) {
  Open(10, 10);
  AddLayer(1);
  CImagePropertiesAction* action = new CImagePropertiesAction();
  EXPECT_FALSE(History()->Execute(action));
  delete action;
  EXPECT_EQ(History()->GetCount(), 0);
}

TEST_F(ActionsTest, ImagePropertiesResizeAndFormat) {
  Open(16, 12, CImage::FORMAT_8BIT_PALETTE);
  AddLayer(1);
  AddLayer(2, true);
  SelectRect(2, 2, 9, 9);
  CImagePropertiesAction* action = new CImagePropertiesAction();
  action->SetSize(24, 7);
  action->SetResolution(1000.0f, 2000.0f);
  action->SetTargetFormat(CImage::FORMAT_24BIT_RGB);
  action->SetFlagA(true);
  action->SetForExport(false);
  ExecuteAndCheck(action);
  EXPECT_EQ(image->GetWidth(), 24);
  EXPECT_EQ(image->GetPalette(), nullptr);
}

TEST_F(ActionsTest, ImagePropertiesRestoresAFixedPalette) {
  Open(9, 9, CImage::FORMAT_8BIT_PALETTE);
  AddLayer(5);
  image->SetPaletteFixed(true);
  // Edit the fixed palette so that only the record can bring it back.
  image->GetPalette()->GetEntry(0)->SetColor(0xFF123456u);
  image->UpdateAll();
  const int32_t count = image->GetPalette()->GetCount();
  CImagePropertiesAction* action = new CImagePropertiesAction();
  action->SetTargetFormat(CImage::FORMAT_32BIT_ARGB);
  ExecuteAndCheck(action);
  ASSERT_TRUE(History()->Undo());
  ASSERT_NE(image->GetPalette(), nullptr);
  EXPECT_EQ(image->GetPalette()->GetCount(), count);
  EXPECT_EQ(image->GetPalette()->GetEntry(0)->GetColor(), 0xFF123456u);
}

TEST_F(ActionsTest, ImagePropertiesUnfixesThePalette) {
  Open(9, 9, CImage::FORMAT_4BIT_PALETTE);
  AddLayer(6);
  CImagePropertiesAction* action = new CImagePropertiesAction();
  action->SetPaletteFixed(false);
  ExecuteAndCheck(action);
  EXPECT_FALSE(image->IsPaletteFixed());
}

TEST_F(ActionsTest, ReorientEveryCodeUndoesExactly) {
  for (int32_t code = 1; code <= 5; ++code) {
    SCOPED_TRACE(code);
    CImage* previous = image;
    Open(16, 32);
    if (previous) {
      project.RemoveImage(previous);
      delete previous;
    }
    image->SetResolution(3000.0f, 4000.0f);
    AddLayer(1);
    AddLayer(2, true);
    SelectRect(1, 2, 6, 20);
    CReorientImageAction* action = new CReorientImageAction();
    action->SetOrientation(code);
    ExecuteAndCheck(action);
  }
}

TEST_F(ActionsTest, RotateClockwiseMovesTheCorner) {
  Open(16, 32);
  image->SetResolution(3000.0f, 4000.0f);
  CRasterLayer* layer = AddLayer(1);
  const uint32_t corner = layer->GetPixels()->GetPixel(0, 0);
  const uint32_t bottomLeft = layer->GetPixels()->GetPixel(0, 31);
  CReorientImageAction* action = new CReorientImageAction();
  action->SetName("Rotate Image");
  action->SetOrientation(CReorientImageAction::ROTATE_CW);
  ASSERT_TRUE(History()->Execute(action));
  EXPECT_EQ(image->GetWidth(), 32);
  EXPECT_EQ(image->GetHeight(), 16);
  EXPECT_EQ(image->GetXResolution(), 4000.0f);
  EXPECT_EQ(layer->GetPixels()->GetPixel(31, 0), corner);
  EXPECT_EQ(layer->GetPixels()->GetPixel(0, 0), bottomLeft);
}

TEST_F(ActionsTest, ReorientRefusesAnUnknownCode) {
  Open(4, 4);
  AddLayer(1);
  CReorientImageAction* action = new CReorientImageAction();
  action->SetOrientation(6);
  EXPECT_FALSE(History()->Execute(action));
  delete action;
}

// ---------------------------------------------------------------------------------------------
// Working-copy actions

TEST_F(ActionsTest, PasteAsANewLayer) {
  Open(20, 14);
  CRasterLayer* bottom = AddLayer(1);
  AddLayer(2);
  image->SetActiveLayer(bottom);
  SelectRect(3, 3, 9, 9);
  ResyncWorkingCopies();
  CPasteAction* paste = new CPasteAction();
  g_LayerWorkingCopy.SetSize(20, 14);
  CPixelArray& copy = g_LayerWorkingCopy.GetPixels();
  copy.Fill(0);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x)
      copy.SetPixel(x, y, 0xFF000000u | Pattern(x, y, 9));
  g_LayerWorkingCopy.GetOffsetRef().x = 4 * 256;
  g_LayerWorkingCopy.GetOffsetRef().y = 2 * 256;
  paste->SetLayerCopy(g_LzwEncoder.StoreLayerScratch(g_LayerWorkingCopy));
  ExecuteAndCheck(paste);
  CLayer* pasted = bottom->GetNext();
  ASSERT_NE(pasted, nullptr);
  EXPECT_EQ(pasted->GetPixels()->GetPixel(4, 2), 0xFF000000u | Pattern(0, 0, 9));
  EXPECT_EQ(pasted->GetPixels()->GetPixel(0, 0), 0u);
  EXPECT_FALSE(image->GetSelection()->IsActive());
}

TEST_F(ActionsTest, ShiftMovesTheLayer) {
  Open(18, 15);
  CRasterLayer* layer = AddLayer(1);
  std::vector<uint32_t> old = PixelsOf(layer->GetPixels());
  ResyncWorkingCopies();
  CShiftAction* shift = new CShiftAction();
  shift->SetName("Nudge");
  shift->SetShift(3 * 256, -2 * 256);
  ExecuteAndCheck(shift);
  EXPECT_EQ(layer->GetPixels()->GetPixel(3, 0), old[2 * 18 + 0]);
  EXPECT_EQ(layer->GetPixels()->GetPixel(0, 0), 0u);
}

TEST_F(ActionsTest, ShiftMovesOnlyTheSelectedPart) {
  Open(16, 16);
  CRasterLayer* layer = AddLayer(2);
  Fill(layer->GetPixels(), 2, true);
  image->UpdateAll();
  SelectRect(2, 2, 8, 8);
  std::vector<uint32_t> old = PixelsOf(layer->GetPixels());
  ResyncWorkingCopies();
  CShiftAction* shift = new CShiftAction();
  shift->SetShift(4 * 256, 4 * 256);
  ExecuteAndCheck(shift);
  EXPECT_EQ(layer->GetPixels()->GetPixel(6, 6), old[2 * 16 + 2]);
  EXPECT_EQ(layer->GetPixels()->GetPixel(15, 0), old[15]);
  EXPECT_EQ(layer->GetPixels()->GetPixel(2, 2), 0u);
  EXPECT_EQ(image->GetSelection()->GetMask()->data[6 * 16 + 6], 255);
}

// ---------------------------------------------------------------------------------------------
// Histories of several images

TEST_F(ActionsTest, UndoWorksOnTheHistorysOwnImage) {
  Open(8, 8);
  CImage* first = image;
  CRasterLayer* layer = AddLayer(1);
  const ImageState before = Capture(first);
  CPixelArray old(8, 8);
  old.CopyFrom(*layer->GetPixels());
  layer->GetPixels()->Fill(0xFFFFFFFFu);
  image->UpdateAll();
  CModifyLayerAction* action = new CModifyLayerAction();
  action->SetBlock(g_LzwEncoder.StorePixelRect(*layer->GetPixels(), &old, nullptr));
  ASSERT_TRUE(first->GetHistory()->Add(action));

  Open(8, 8);
  CRasterLayer* other = AddLayer(2);
  const ImageState second = Capture(image);
  ASSERT_TRUE(first->GetHistory()->Undo());
  EXPECT_SAME_STATE(Capture(first), before);
  EXPECT_SAME_STATE(Capture(image), second);
  EXPECT_EQ(image->GetActiveLayer(), other);
}

// Records the layer-item notices in the order they come.
class LayerItemsUI : public CEditorUI {
public:
  enum { ADDED, REMOVED, MOVED, REFRESHED, ALL_REFRESHED, SELECTED };
  LayerItemsUI() { SetEditorUI(this); }
  void AddLayerItem(CLayer*) override { notices.push_back(ADDED); }
  void RemoveLayerItem(CLayer*) override { notices.push_back(REMOVED); }
  void MoveLayerItem(CLayer*) override { notices.push_back(MOVED); }
  void RefreshLayerItem(CLayer*) override { notices.push_back(REFRESHED); }
  void RefreshLayerItems() override { notices.push_back(ALL_REFRESHED); }
  void SelectLayerItem(CLayer*) override { notices.push_back(SELECTED); }
  std::vector<int> notices;
};

TEST_F(ActionsTest, LayerNotificationsReachTheUserInterface) {
  LayerItemsUI ui;
  std::vector<int>& notices = ui.notices;
  Open(4, 4);
  AddLayer(1);
  AddLayer(2);
  ASSERT_TRUE(History()->Execute(new CDeleteLayerAction()));
  ASSERT_FALSE(notices.empty());
  EXPECT_EQ(notices.front(), LayerItemsUI::REMOVED);
  EXPECT_EQ(notices.back(), LayerItemsUI::SELECTED);
}

}  // namespace
