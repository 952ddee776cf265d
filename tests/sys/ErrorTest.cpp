#include "ZRTestSupport.h"
#include <windows.h>

using namespace zrtest;

namespace {

struct ThreadResult {
  uint32_t seenAtStart;
  uint32_t seenAfterSet;
};

DWORD WINAPI OtherThread(LPVOID param) {
  ThreadResult* result = static_cast<ThreadResult*>(param);
  zrThreadInit();
  result->seenAtStart = zrGetLastError();
  zrSetError(ZR_ERROR_SEEK);
  result->seenAfterSet = zrGetLastError();
  zrThreadDone();
  return 0;
}

DWORD WINAPI ThreadWithoutInit(LPVOID param) {
  // A thread that never called zrThreadInit still gets its own word.
  ZRHandle handle = zrOpenFileForRead(nullptr, "Z:\\no\\such\\folder\\file.bin", 0);
  *static_cast<uint32_t*>(param) = handle ? 0xFFFFFFFFu : zrGetLastError();
  zrThreadDone();
  return 0;
}

}  // namespace

TEST(ZRThreadError, InitIsIdempotentAndReturnsOne) {
  EXPECT_EQ(zrInit(), 1);
  EXPECT_EQ(zrInit(), 1);
  EXPECT_EQ(zrThreadInit(), 1);
}

TEST(ZRThreadError, SetGetClear) {
  zrSetError(ZR_ERROR_WRITE);
  EXPECT_EQ(zrGetLastError(), ZR_ERROR_WRITE);
  zrSetError(0x12345678u);
  EXPECT_EQ(zrGetLastError(), 0x12345678u);
  zrClearError();
  EXPECT_EQ(zrGetLastError(), 0u);
}

TEST(ZRThreadError, EachThreadHasItsOwnWord) {
  zrSetError(ZR_ERROR_OPEN);
  ThreadResult result{99, 99};
  HANDLE thread = CreateThread(nullptr, 0, OtherThread, &result, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  EXPECT_EQ(result.seenAtStart, 0u);
  EXPECT_EQ(result.seenAfterSet, ZR_ERROR_SEEK);
  EXPECT_EQ(zrGetLastError(), ZR_ERROR_OPEN);
  zrClearError();
}

TEST(ZRThreadError, ThreadWithoutInitStillRecordsErrors) {
  uint32_t seen = 0;
  HANDLE thread = CreateThread(nullptr, 0, ThreadWithoutInit, &seen, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  EXPECT_EQ(seen, ZR_ERROR_OPEN);
}

TEST(ZRThreadError, DoneThenInitAgainWorks) {
  zrDone();
  EXPECT_EQ(zrGetLastError(), 0u);
  EXPECT_EQ(zrInit(), 1);
  zrSetError(ZR_ERROR_READ);
  EXPECT_EQ(zrGetLastError(), ZR_ERROR_READ);
  zrClearError();
}

TEST(ZRThreadError, ThreadDoneTwiceIsHarmless) {
  zrSetError(ZR_ERROR_READ);
  zrThreadDone();
  zrThreadDone();
  EXPECT_EQ(zrGetLastError(), 0u);
  EXPECT_EQ(zrThreadInit(), 1);
  EXPECT_EQ(zrGetLastError(), 0u);
}

TEST(ZRMemory, AllocateAndFree) {
  zrSetError(ZR_ERROR_READ);
  void* p = zrAllocateMemory(1000);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(zrGetLastError(), 0u);  // every call clears the word first
  std::memset(p, 0xAB, 1000);
  zrFreeMemory(p);
  zrFreeMemory(nullptr);
  EXPECT_EQ(zrGetLastError(), 0u);
}

TEST(ZRMemory, FailedAllocationSetsError2) {
  void* p = zrAllocateMemory(SIZE_MAX - 64);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(zrGetLastError(), ZR_ERROR_MEMORY);
}

TEST(ZRNullHandle, EveryCallSetsError7) {
  uint8_t buffer[4] = {1, 2, 3, 4};
  uint32_t done = 1234;
  EXPECT_EQ(zrRead(nullptr, buffer, 4, &done), ZR_ERROR_NULL_HANDLE);
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(zrGetLastError(), ZR_ERROR_NULL_HANDLE);
  done = 1234;
  EXPECT_EQ(zrWrite(nullptr, buffer, 4, &done), ZR_ERROR_NULL_HANDLE);
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(zrAttachFilter(nullptr, ZR_FILTER_RANGE, 0), ZR_ERROR_NULL_HANDLE);
  EXPECT_EQ(zrDetachFilter(nullptr), ZR_ERROR_NULL_HANDLE);
  EXPECT_EQ(zrClose(nullptr), ZR_ERROR_NULL_HANDLE);
  EXPECT_EQ(zrSeek(nullptr, 5), ZR_ERROR_NULL_HANDLE);
  zrClearError();
  EXPECT_FALSE(zrIsAtEnd(nullptr));
  EXPECT_EQ(zrGetLastError(), ZR_ERROR_NULL_HANDLE);
  zrClearError();
  EXPECT_EQ(zrGetSize(nullptr), 0u);
  EXPECT_EQ(zrGetLastError(), ZR_ERROR_NULL_HANDLE);
  zrClearError();
  EXPECT_EQ(zrGetPosition(nullptr), 0u);
  EXPECT_EQ(zrGetLastError(), ZR_ERROR_NULL_HANDLE);
  EXPECT_EQ(buffer[0], 1);
}
