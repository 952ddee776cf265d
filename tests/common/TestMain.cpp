#include <gtest/gtest.h>
#include <windows.h>
#include <cstdlib>
#include "common/HeldFile.h"
#include "document/PixelArray.h"
#include "shell/Application.h"
#include "shell/Registry.h"

namespace {

// Keys the system's file dialogs make when a test uses them; those that were not there
// before the run go after it.
class DialogTraces : public testing::Environment {
public:
  void SetUp() override {
    for (Trace& trace : traces) {
      HKEY key = OpenRegKey(HKEY_CURRENT_USER, trace.path, KEY_READ);
      trace.existed = key != nullptr;
      CloseRegKey(key);
    }
  }
  void TearDown() override {
    for (const Trace& trace : traces)
      if (!trace.existed)
        DeleteRegTree(HKEY_CURRENT_USER, trace.path);
  }

private:
  struct Trace {
    const char* path;
    bool existed;
  };
  Trace traces[3] = {{"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\LastVisitedMRU", true},
                     {"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32", true},
                     {"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced", true}};
};

// The seed scripts/vc printed for the run and passed down in VC_TEST_ORDER_SEED: the tests
// must be shuffled with it, or the printed seed would not repeat their order.
class TestOrderCheck : public testing::Test {
public:
  explicit TestOrderCheck(long seed) : seed_(seed) {}
  void TestBody() override {
    EXPECT_TRUE(GTEST_FLAG_GET(shuffle)) << "the tests ran in their own order";
    EXPECT_EQ(seed_, static_cast<long>(testing::UnitTest::GetInstance()->random_seed()));
  }

private:
  long seed_;
};

void RegisterTestOrderCheck() {
  char value[32] = {};
  const DWORD length = GetEnvironmentVariableA("VC_TEST_ORDER_SEED", value, sizeof value);
  if (length == 0)
    return;
  char* end = nullptr;
  long seed = length < sizeof value ? std::strtol(value, &end, 10) : -1;
  if (!end || *end || end == value)
    seed = -1;
  testing::RegisterTest("TestOrder", "FollowsTheSeedTheRunPrinted", nullptr, nullptr, __FILE__, __LINE__,
                        [seed]() -> testing::Test* { return new TestOrderCheck(seed); });
}

}  // namespace

int main(int argc, char** argv) {
  int code = 0;
  if (HoldFileForParent(argc, argv, code))
    return code;
  // A crash must end the test run, not wait for a dialog.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  // The program's own floating-point masks, so that a trap the editor would take fails here too.
  SetupFloatingPoint(HasSse());
  InitReciprocalTable();
  testing::InitGoogleTest(&argc, argv);
  testing::AddGlobalTestEnvironment(new DialogTraces);
  RegisterTestOrderCheck();
  return RUN_ALL_TESTS();
}
