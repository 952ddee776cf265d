#include "shell/Errors.h"
#include <cstdio>
#include <cstdlib>
#include "ui/MessageBox.h"

namespace {
HWND g_errorBoxOwner = nullptr;
}

void CriticalErrorBox(const char* text) {
  MessageBoxA(nullptr, text, "Vellumcraft :: Critical Error", MB_TASKMODAL | MB_ICONERROR);
}

void ErrorBox(const char* text) {
  HWND owner = g_errorBoxOwner;
  if (owner && !IsWindow(owner))
    owner = nullptr;
  MessageBoxDialog(owner, MSGBOX_TYPE_OK, MSGBOX_KIND_ERROR, "Vellumcraft :: Error", text, MSGBOX_VALUE_OK);
}

void SetErrorBoxOwner(HWND owner) { g_errorBoxOwner = owner; }
HWND GetErrorBoxOwner() { return g_errorBoxOwner; }

void Beep() { MessageBeep(static_cast<UINT>(-1)); }

void* AllocMemory(size_t size) {
  void* block = std::malloc(size);
  if (!block) {
    char text[256];
    std::snprintf(text, sizeof text, "Cannot allocate memory (requested block size: %llu bytes)",
                  static_cast<unsigned long long>(size));
    CriticalErrorBox(text);
  }
  return block;
}

void* AllocMemoryOrThrow(size_t size) {
  void* block = AllocMemory(size);
  if (!block)
    throw CVCException("Insufficient memory");
  return block;
}

int FreeMemory(void* block) {
  std::free(block);
  return 0;
}

void ThrowError(const char* text) { throw CVCException(text); }
void ThrowAbort() { throw CVCAbortRequest(); }
