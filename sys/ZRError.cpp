#include "sys/ZRError.h"
#include <cstdlib>

namespace {

DWORD g_slot = TLS_OUT_OF_INDEXES;
LONG g_initialised = 0;

void ZRCriticalError(const char* text) {
  MessageBoxA(nullptr, text, "ZR Critical Error", MB_ICONERROR);
  ExitProcess(static_cast<UINT>(-1));
}

// The slot, made on first use when zrInit has not run.
DWORD Slot() {
  DWORD slot = static_cast<DWORD>(InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(&g_slot), 0, 0));
  if (slot != TLS_OUT_OF_INDEXES)
    return slot;
  DWORD made = TlsAlloc();
  if (made == TLS_OUT_OF_INDEXES)
    return TLS_OUT_OF_INDEXES;
  LONG previous = InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(&g_slot), static_cast<LONG>(made),
                                             static_cast<LONG>(TLS_OUT_OF_INDEXES));
  if (static_cast<DWORD>(previous) != TLS_OUT_OF_INDEXES) {
    TlsFree(made);
    return static_cast<DWORD>(previous);
  }
  return made;
}

// The calling thread's word, made on first use; null only when none can be had.
uint32_t* Word(bool create) {
  DWORD slot = create ? Slot() : g_slot;
  if (slot == TLS_OUT_OF_INDEXES)
    return nullptr;
  uint32_t* word = static_cast<uint32_t*>(TlsGetValue(slot));
  if (!word && create) {
    word = static_cast<uint32_t*>(std::malloc(sizeof(uint32_t)));
    if (!word)
      return nullptr;
    *word = 0;
    if (!TlsSetValue(slot, word)) {
      std::free(word);
      return nullptr;
    }
  }
  return word;
}

}  // namespace

extern "C" {

int WINAPI zrInit(void) {
  if (InterlockedExchange(&g_initialised, 1))
    return 1;
  if (Slot() == TLS_OUT_OF_INDEXES)
    ZRCriticalError("CAN'T GET THREAD LOCAL STORAGE INDEX");
  return zrThreadInit();
}

void WINAPI zrDone(void) {
  zrThreadDone();
  DWORD slot = static_cast<DWORD>(
      InterlockedExchange(reinterpret_cast<volatile LONG*>(&g_slot), static_cast<LONG>(TLS_OUT_OF_INDEXES)));
  if (slot != TLS_OUT_OF_INDEXES)
    TlsFree(slot);
  InterlockedExchange(&g_initialised, 0);
}

int WINAPI zrThreadInit(void) {
  if (Slot() == TLS_OUT_OF_INDEXES)
    ZRCriticalError("CAN'T GET THREAD LOCAL STORAGE INDEX");
  if (!Word(true))
    ZRCriticalError("CAN'T ALLOCATE THREAD LOCAL STORAGE");
  return 1;
}

void WINAPI zrThreadDone(void) {
  if (g_slot == TLS_OUT_OF_INDEXES)
    return;
  uint32_t* word = static_cast<uint32_t*>(TlsGetValue(g_slot));
  if (word) {
    TlsSetValue(g_slot, nullptr);
    std::free(word);
  }
}

void WINAPI zrClearError(void) {
  // A thread without a word has no error to clear.
  if (uint32_t* word = Word(false))
    *word = 0;
}

void WINAPI zrSetError(uint32_t code) {
  if (uint32_t* word = Word(true))
    *word = code;
}

uint32_t WINAPI zrGetLastError(void) {
  uint32_t* word = Word(false);
  return word ? *word : 0;
}

void* WINAPI zrAllocateMemory(size_t size) {
  zrClearError();
  void* p = std::malloc(size ? size : 1);
  if (!p)
    zrSetError(ZR_ERROR_MEMORY);
  return p;
}

void WINAPI zrFreeMemory(void* p) {
  zrClearError();
  std::free(p);
}

}  // extern "C"
