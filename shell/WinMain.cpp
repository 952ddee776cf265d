// The program's entry: start-up, the command line, the main loop and shut-down.
#include <windows.h>
#include "document/ProjectFile.h"
#include "shell/Application.h"
#include "shell/Errors.h"
#include "sys/ZRError.h"
#include "wul/WULError.h"
#include "wul/WULInit.h"

namespace {

// Registration from the command line: 0 on success, 1 on failure.
int RunShellOption(bool reg) {
  return (reg ? RegisterShellTypes(SHELL_ALL) : UnregisterShellTypes(SHELL_ALL)) ? 0 : 1;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  int exitCode = -1;
  try {
    zrInit();
    WULInit(instance);
    if (StartApplication(instance)) {
      SetProjectFileProgramVersion(g_App.version);
      // Wide, so that a name outside the code page is not narrowed to a look-alike.
      CCommandLine line;
      ParseCommandLine(GetCommandLineW(), line);
      if (line.hasOption && lstrcmpiA(line.option.text, "r") == 0)
        exitCode = RunShellOption(true);
      else if (line.hasOption && lstrcmpiA(line.option.text, "u") == 0)
        exitCode = RunShellOption(false);
      else
        exitCode = RunEditor(line);
    }
  } catch (const CWULError& error) {
    wulShowError(error);
    exitCode = -1;
  } catch (const CVCException& error) {
    ErrorBox(error.message.text);
    exitCode = -1;
  }
  wulDone();
  zrDone();
  return exitCode;
}
