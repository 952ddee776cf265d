#pragma once
// A pool of plain records handed out from blocks of BlockSize; freed records are reused.
// The blocks are returned to the heap only by Release (or the destructor).
#include <cstring>
#include <type_traits>
#include "shell/Errors.h"

// Thrown when the pool cannot grow (after the pool's own error box, if it has a text).
struct CBlockPoolError {};

template <class T, int BlockSize>
class CBlockPool {
  static_assert(std::is_trivially_copyable<T>::value, "pool records are plain data");
  static_assert(sizeof(T) >= sizeof(void*), "a free record holds the link to the next one");

public:
  // failureText: shown in the error box when a block cannot be allocated; null shows nothing.
  explicit CBlockPool(const char* failureText = nullptr)
      : m_failureText(failureText), m_blocks(nullptr), m_used(BlockSize), m_free(nullptr) {}
  ~CBlockPool() { Release(); }
  CBlockPool(const CBlockPool&) = delete;
  CBlockPool& operator=(const CBlockPool&) = delete;

  // A zeroed record.
  T* Allocate() {
    T* item;
    if (m_free) {
      item = m_free;
      std::memcpy(&m_free, item, sizeof m_free);
    } else {
      if (m_used == BlockSize) {
        Block* block = static_cast<Block*>(AllocMemory(sizeof(Block)));
        if (!block) {
          if (m_failureText)
            ErrorBox(m_failureText);
          throw CBlockPoolError();
        }
        block->next = m_blocks;
        m_blocks = block;
        m_used = 0;
      }
      item = &m_blocks->items[m_used++];
    }
    std::memset(static_cast<void*>(item), 0, sizeof(T));
    return item;
  }

  void Free(T* item) {
    if (!item)
      return;
    std::memcpy(item, &m_free, sizeof m_free);
    m_free = item;
  }

  // Frees every block; all records handed out become invalid.
  void Release() {
    while (m_blocks) {
      Block* next = m_blocks->next;
      FreeMemory(m_blocks);
      m_blocks = next;
    }
    m_used = BlockSize;
    m_free = nullptr;
  }

private:
  struct Block {
    Block* next;
    T items[BlockSize];
  };

  const char* m_failureText;
  Block* m_blocks;
  int m_used;  // records taken from the newest block
  T* m_free;
};
