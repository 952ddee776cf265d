#include "wul/WULError.h"
#include <windows.h>
#include <cstdio>

void wulThrowError(int32_t code, const char* location, const char* description) {
  throw CWULError(code, location, description);
}

int wulShowError(const CWULError& error) {
  if (error.code == 0)
    return 0;
  char text[1024];
  std::snprintf(text, sizeof text, "Location: %s\nDescription: %s", error.location ? error.location : "",
                error.description ? error.description : "");
  return MessageBoxA(nullptr, text, "WUL Error", MB_TASKMODAL | MB_ICONERROR);
}
