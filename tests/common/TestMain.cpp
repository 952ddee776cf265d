#include <gtest/gtest.h>
#include <windows.h>
#include "common/HeldFile.h"
#include "document/PixelArray.h"
#include "shell/Application.h"

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
  return RUN_ALL_TESTS();
}
