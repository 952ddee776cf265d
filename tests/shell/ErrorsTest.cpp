#include <gtest/gtest.h>
#include <cstdint>
#include <string>
#include "common/BoxWatcher.h"
#include "shell/Errors.h"

namespace {
// Large enough that the heap refuses it on both architectures.
const size_t kImpossible = SIZE_MAX / 2 + 1;

std::string AllocationText(size_t size) {
  return "Cannot allocate memory (requested block size: " + std::to_string(size) + " bytes)";
}
}  // namespace

TEST(ErrorReports, ErrorBoxShowsTextUnderApplicationCaption) {
  BoxWatcher watcher("Vellumcraft :: Error");
  ErrorBox("Something went wrong");
  ASSERT_TRUE(watcher.WaitFor(1));
  EXPECT_EQ(watcher.Texts()[0], "Something went wrong");
}

TEST(ErrorReports, ErrorBoxIgnoresAnOwnerThatNoLongerExists) {
  HWND gone = CreateWindowA("STATIC", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(gone, nullptr);
  DestroyWindow(gone);
  SetErrorBoxOwner(gone);
  BoxWatcher watcher("Vellumcraft :: Error");
  ErrorBox("Owner is gone");
  SetErrorBoxOwner(nullptr);
  ASSERT_TRUE(watcher.WaitFor(1));
  EXPECT_EQ(watcher.Texts()[0], "Owner is gone");
}

TEST(ErrorReports, CriticalErrorBoxUsesItsOwnCaption) {
  BoxWatcher watcher("Vellumcraft :: Critical Error");
  CriticalErrorBox("Fatal");
  ASSERT_TRUE(watcher.WaitFor(1));
  EXPECT_EQ(watcher.Texts()[0], "Fatal");
}

TEST(Allocation, SucceedsWithoutBoxAndFreesNull) {
  BoxWatcher watcher("Vellumcraft :: Critical Error");
  void* block = AllocMemory(1000000);
  ASSERT_NE(block, nullptr);
  static_cast<char*>(block)[999999] = 1;
  EXPECT_EQ(FreeMemory(block), 0);
  EXPECT_EQ(FreeMemory(nullptr), 0);
  Sleep(50);
  EXPECT_EQ(watcher.Count(), 0u);
}

TEST(Allocation, FailureShowsRequestedSizeOnceAndReturnsNull) {
  BoxWatcher watcher("Vellumcraft :: Critical Error");
  EXPECT_EQ(AllocMemory(kImpossible), nullptr);
  ASSERT_TRUE(watcher.WaitFor(1));
  Sleep(100);
  ASSERT_EQ(watcher.Count(), 1u);
  EXPECT_EQ(watcher.Texts()[0], AllocationText(kImpossible));
}

TEST(Allocation, ThrowingVariantThrowsAfterOneBox) {
  BoxWatcher watcher("Vellumcraft :: Critical Error");
  bool thrown = false;
  try {
    AllocMemoryOrThrow(kImpossible);
  } catch (const CVCException& e) {
    thrown = true;
    EXPECT_STREQ(e.message.text, "Insufficient memory");
  }
  EXPECT_TRUE(thrown);
  ASSERT_TRUE(watcher.WaitFor(1));
  Sleep(100);
  EXPECT_EQ(watcher.Count(), 1u);
}

TEST(Exceptions, ThrowErrorCarriesTextAndAbortIsSeparate) {
  try {
    ThrowError("Bad file");
    FAIL();
  } catch (const CVCException& e) {
    EXPECT_STREQ(e.message.text, "Bad file");
  }
  bool aborted = false;
  try {
    ThrowAbort();
  } catch (const CVCException&) {
    FAIL() << "abort must not be a CVCException";
  } catch (const CVCAbortRequest&) {
    aborted = true;
  }
  EXPECT_TRUE(aborted);
}
