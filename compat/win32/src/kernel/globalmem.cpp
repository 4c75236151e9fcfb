// Global memory blocks: moveable blocks are reached through a handle and GlobalLock; fixed
// blocks are their own address. Every block is registered so that bad handles are refused.
#include "windows.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

namespace {

struct Block {
  void* data;
  SIZE_T size;
  UINT flags;
  int locks;
};

// Never destroyed, so that blocks still held at exit stay reachable and other exit code can
// still free them.
std::mutex& lock() {
  static std::mutex* m = new std::mutex;
  return *m;
}
std::map<void*, Block>& blocks() {
  static std::map<void*, Block>* m = new std::map<void*, Block>;
  return *m;
}

Block* find(HGLOBAL h) {
  auto it = blocks().find(h);
  return it == blocks().end() ? nullptr : &it->second;
}

}  // namespace

HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes) {
  void* data = (flags & GMEM_ZEROINIT) ? calloc(1, bytes ? bytes : 1) : malloc(bytes ? bytes : 1);
  if (!data) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  std::lock_guard<std::mutex> g(lock());
  void* handle = data;
  if (flags & GMEM_MOVEABLE) {
    handle = malloc(1);  // a distinct address stands for the handle
    if (!handle) {
      free(data);
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
  }
  blocks()[handle] = Block{data, bytes, flags, 0};
  return handle;
}

LPVOID WINAPI GlobalLock(HGLOBAL h) {
  std::lock_guard<std::mutex> g(lock());
  Block* b = find(h);
  if (!b) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (b->flags & GMEM_MOVEABLE) b->locks++;
  return b->data;
}

BOOL WINAPI GlobalUnlock(HGLOBAL h) {
  std::lock_guard<std::mutex> g(lock());
  Block* b = find(h);
  if (!b) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!(b->flags & GMEM_MOVEABLE) || b->locks == 0) {
    SetLastError(ERROR_NOT_LOCKED);
    return FALSE;
  }
  if (--b->locks > 0) return TRUE;
  SetLastError(NO_ERROR);
  return FALSE;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL h) {
  if (!h) return nullptr;
  std::lock_guard<std::mutex> g(lock());
  auto it = blocks().find(h);
  if (it == blocks().end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return h;
  }
  free(it->second.data);
  if (it->second.flags & GMEM_MOVEABLE) free(it->first);
  blocks().erase(it);
  return nullptr;
}

SIZE_T WINAPI GlobalSize(HGLOBAL h) {
  std::lock_guard<std::mutex> g(lock());
  Block* b = find(h);
  if (!b) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return b->size;
}
