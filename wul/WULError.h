#pragma once
// The framework's exception: thrown and caught by value.
#include <cstdint>

class CWULError {
public:
  CWULError(int32_t code, const char* location, const char* description)
      : code(code), location(location), description(description) {}

  int32_t code;
  const char* location;     // static text, "Class::Method" or a function name
  const char* description;  // static text
};

[[noreturn]] void wulThrowError(int32_t code, const char* location, const char* description);
// Shows the error in a message box and returns the box's result; code 0 shows nothing.
int wulShowError(const CWULError& error);
