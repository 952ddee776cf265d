#pragma once
// Per-thread last-error word and memory calls of the ZR library.
// Every public zr call clears the calling thread's word first and sets it on failure.
#include <windows.h>
#include <cstddef>
#include <cstdint>

// The library's error codes.
enum : uint32_t {
  ZR_ERROR_NONE = 0,
  ZR_ERROR_CLOSE = 1,         // closing the operating-system file handle failed
  ZR_ERROR_MEMORY = 2,        // out of memory
  ZR_ERROR_NOT_FOUND = 5,     // file not found (open for reading)
  ZR_ERROR_OPEN = 6,          // the file cannot be opened or created
  ZR_ERROR_NULL_HANDLE = 7,   // a null handle was passed
  ZR_ERROR_FILTER_TYPE = 8,   // unknown filter type
  ZR_ERROR_UNSUPPORTED = 9,   // operation not supported by this stream
  ZR_ERROR_SEEK = 10,         // seek failed
  ZR_ERROR_READ = 11,         // read failed, or the data ended early
  ZR_ERROR_WRITE = 12,        // write failed (error or short write)
  ZR_ERROR_BAD_DATA = 13,     // invalid compressed data
};

extern "C" {

// Once per process: the thread-local slot, then the calling thread's word. Returns 1.
int WINAPI zrInit(void);
// Frees the calling thread's word and the slot.
void WINAPI zrDone(void);
// Gives the calling thread its word (when it has none yet). Returns 1.
int WINAPI zrThreadInit(void);
// Frees the calling thread's word.
void WINAPI zrThreadDone(void);

void WINAPI zrClearError(void);
void WINAPI zrSetError(uint32_t code);
uint32_t WINAPI zrGetLastError(void);

// C heap; null and error 2 on failure. zrFreeMemory ignores null.
void* WINAPI zrAllocateMemory(size_t size);
void WINAPI zrFreeMemory(void* p);

}  // extern "C"
