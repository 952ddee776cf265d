#include <gtest/gtest.h>
#include <windows.h>
#include "document/PixelArray.h"

int main(int argc, char** argv) {
  // A crash must end the test run, not wait for a dialog.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  InitReciprocalTable();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
