#include <gtest/gtest.h>
#include "common/ChildRun.h"

// Partners that run only in a run of their own.
TEST(ChildRun, DISABLED_PassesAlone) { EXPECT_TRUE(IsTestChild()); }
TEST(ChildRun, DISABLED_PassesToo) { EXPECT_TRUE(IsTestChild()); }
TEST(ChildRun, DISABLED_Fails) { ADD_FAILURE() << "as it should"; }

TEST(ChildRun, PassesOnlyWhenTheOneTestItNamesRanAndPassed) {
  EXPECT_EQ(0u, RunTestInChild("ChildRun.DISABLED_PassesAlone"));
  EXPECT_EQ(1u, RunTestInChild("ChildRun.DISABLED_Fails"));
  // A name that matches no test (a renamed partner), or a pattern that matches two.
  EXPECT_EQ(1004u, RunTestInChild("ChildRun.DISABLED_PassesAlonee"));
  EXPECT_EQ(1004u, RunTestInChild("ChildRun.DISABLED_Passes*"));
}
