#include <gtest/gtest.h>
#include <string>
#include "common/BoxWatcher.h"
#include "wul/WULError.h"

namespace {

TEST(Error, ThrowCarriesTheThreeFields) {
  static const char location[] = "CWULTimer::Go";
  try {
    wulThrowError(5, location, "Timer creation failed");
    FAIL();
  } catch (CWULError e) {
    EXPECT_EQ(e.code, 5);
    EXPECT_EQ(e.location, location);
    EXPECT_STREQ(e.description, "Timer creation failed");
  }
}

TEST(Error, CodeZeroShowsNothing) {
  BoxWatcher watcher("WUL Error");
  EXPECT_EQ(wulShowError(CWULError(0, "X::Y", "nothing")), 0);
  Sleep(200);
  EXPECT_EQ(watcher.Count(), 0u);
}

TEST(Error, BoxShowsLocationAndDescription) {
  BoxWatcher watcher("WUL Error");
  EXPECT_EQ(wulShowError(CWULError(1, "CWULAppWindow::SetMenu", "Cannot assign a menu already being used")),
            IDOK);
  ASSERT_TRUE(watcher.WaitFor(1));
  EXPECT_EQ(watcher.Texts()[0],
            "Location: CWULAppWindow::SetMenu\nDescription: Cannot assign a menu already being used");
}

TEST(Error, LongTextIsCutAndMissingTextsAreEmpty) {
  BoxWatcher watcher("WUL Error");
  std::string location(2000, 'L');
  wulShowError(CWULError(-7, location.c_str(), "unseen"));
  wulShowError(CWULError(2, nullptr, nullptr));
  ASSERT_TRUE(watcher.WaitFor(2));
  EXPECT_EQ(watcher.Texts()[0], "Location: " + std::string(1013, 'L'));
  EXPECT_EQ(watcher.Texts()[1], "Location: \nDescription: ");
}

}  // namespace
