#include <gtest/gtest.h>
#include <cstdint>
#include "document/Image.h"
#include "document/Palette.h"
#include "document/Project.h"

namespace {

class CountedImage : public CImage {
public:
  explicit CountedImage(int* counter) : counter(counter) {}
  ~CountedImage() override { ++*counter; }
  int* counter;
};

}  // namespace

TEST(ProjectTest, NewProjectIsUntitledAndEmpty) {
  CProject project;
  EXPECT_STREQ(project.GetName(), "UNTITLED");
  EXPECT_STREQ(project.GetPath(), "");
  EXPECT_EQ(project.GetImageCount(), 0);
  EXPECT_EQ(project.GetCurrentImage(), nullptr);
  EXPECT_FALSE(project.IsModified());
  EXPECT_EQ(project.GetMemorySize(), 124u);
  project.SetPath("C:\\work\\icons.vcj");
  EXPECT_STREQ(project.GetPath(), "C:\\work\\icons.vcj");
}

TEST(ProjectTest, ImagesAreNumberedMovedAndRemoved) {
  CProject project;
  CImage* a = new CImage();
  CImage* b = new CImage();
  CImage* c = new CImage();
  project.AddImage(a);
  project.AddImage(b);
  project.InsertImage(c, b);
  project.InsertImage(c, c);  // before itself: stays where it is
  const CImage* order[] = {a, c, b};
  const int ids[] = {1, 3, 2};
  int n = 0;
  for (CImage* i = project.GetFirstImage(); i; i = i->GetNext(), ++n) {
    EXPECT_EQ(i, order[n]);
    EXPECT_EQ(i->GetListNumber(), n + 1);
    EXPECT_EQ(i->GetId(), ids[n]);
    EXPECT_EQ(i->GetOwner(), &project);
  }
  EXPECT_EQ(n, 3);
  EXPECT_EQ(project.FindImage(3), c);
  EXPECT_EQ(project.FindImage(4), nullptr);
  project.MoveImage(a, nullptr);
  EXPECT_EQ(project.GetFirstImage(), c);
  EXPECT_EQ(project.GetLastImage(), a);
  EXPECT_EQ(a->GetListNumber(), 3);
  project.SetCurrentImage(c);
  project.RemoveImage(c);
  EXPECT_EQ(project.GetCurrentImage(), nullptr);
  EXPECT_EQ(project.GetImageCount(), 2);
  EXPECT_EQ(b->GetListNumber(), 1);
  EXPECT_EQ(c->GetOwner(), nullptr);
  EXPECT_EQ(c->GetListNumber(), 0);
  EXPECT_EQ(c->GetId(), 3);
  delete c;
  project.SetCurrentImage(b);
  delete b;  // the destructor takes it out of the project
  EXPECT_EQ(project.GetImageCount(), 1);
  EXPECT_EQ(project.GetFirstImage(), a);
  EXPECT_EQ(a->GetPrevious(), nullptr);
  EXPECT_EQ(a->GetListNumber(), 1);
  EXPECT_EQ(project.GetCurrentImage(), nullptr);
}

TEST(ProjectTest, ImageIdsFillTheSmallestGapWhenTheHighestIsTooLarge) {
  CProject project;
  CImage* two = new CImage();
  two->SetId(2);
  CImage* five = new CImage();
  five->SetId(5);
  project.AddImage(two);
  project.AddImage(five);
  CImage* fresh = new CImage();
  project.AddImage(fresh);
  EXPECT_EQ(fresh->GetId(), 1);
  EXPECT_EQ(five->GetId(), 5);
}

TEST(ProjectTest, DeleteAllImagesAndTheDestructorDeleteEveryImage) {
  int deleted = 0;
  {
    CProject project;
    project.AddImage(new CountedImage(&deleted));
    project.AddImage(new CountedImage(&deleted));
    project.DeleteAllImages();
    EXPECT_EQ(deleted, 2);
    EXPECT_EQ(project.GetImageCount(), 0);
    EXPECT_EQ(project.GetFirstImage(), nullptr);
    project.AddImage(new CountedImage(&deleted));
  }
  EXPECT_EQ(deleted, 3);
}

TEST(ProjectTest, ImagesOfAnotherProject) {
  CProject first, second;
  CImage* a = new CImage();
  first.AddImage(a);
  first.SetCurrentImage(a);
  second.SetCurrentImage(a);  // refused
  EXPECT_EQ(second.GetCurrentImage(), nullptr);
  second.AddImage(a);  // moves it
  EXPECT_EQ(first.GetImageCount(), 0);
  EXPECT_EQ(first.GetCurrentImage(), nullptr);
  EXPECT_EQ(second.GetImageCount(), 1);
  EXPECT_EQ(a->GetOwner(), &second);
}

TEST(ProjectTest, ChangingTheCurrentImageDropsTheOldPalettesLookup) {
  CProject project;
  CImage* a = new CImage();
  CImage* b = new CImage();
  project.AddImage(a);
  project.AddImage(b);
  a->SetSize(2, 2);
  a->SetTargetFormat(CImage::FORMAT_4BIT_PALETTE);
  project.SetCurrentImage(a);
  ASSERT_NE(a->GetPalette(), nullptr);
  a->GetPalette()->FindNearestArgb(0xFFFF0000);
  ASSERT_TRUE(a->GetPalette()->IsLookupBuilt());
  project.SetCurrentImage(b);
  EXPECT_FALSE(a->GetPalette()->IsLookupBuilt());
  EXPECT_EQ(project.GetCurrentImage(), b);
}

TEST(ProjectTest, ModifiedStateAndMemorySize) {
  CProject project;
  CImage* a = new CImage();
  CImage* b = new CImage();
  project.AddImage(a);
  project.AddImage(b);
  EXPECT_TRUE(project.IsModified());  // the list changed
  project.ClearModified();
  EXPECT_FALSE(project.IsModified());
  a->SetForExport(false);
  EXPECT_TRUE(project.IsModified());
  project.ClearModified();
  EXPECT_FALSE(a->IsModified());
  project.MoveImage(a, nullptr);
  EXPECT_TRUE(project.IsModified());
  a->SetSize(4, 4);
  b->SetSize(2, 3);
  EXPECT_EQ(project.GetMemorySize(), 124u + a->GetMemorySize() + b->GetMemorySize());
}
