#pragma once
// Error boxes, the refusal beep, checked allocation and the application's exceptions.
#include <windows.h>
#include <cstddef>
#include "wul/WULString.h"

// A failure whose text the catcher shows in an error box.
class CVCException {
public:
  explicit CVCException(const char* text) : message(text) {}
  CWULString message;
};

// Abandons a long operation quietly; the catcher shows nothing.
class CVCAbortRequest {};

void CriticalErrorBox(const char* text);
void ErrorBox(const char* text);
// Owner of the error boxes: the main window's client container once it exists.
void SetErrorBoxOwner(HWND owner);
HWND GetErrorBoxOwner();
void Beep();

void* AllocMemory(size_t size);
void* AllocMemoryOrThrow(size_t size);
int FreeMemory(void* block);

[[noreturn]] void ThrowError(const char* text);
[[noreturn]] void ThrowAbort();
