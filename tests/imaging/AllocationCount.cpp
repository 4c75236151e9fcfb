#include "AllocationCount.h"

#include <atomic>
#include <cstdlib>
#include <new>

// The replaced operators below pair malloc with free; GCC cannot see that through inlining.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace {

std::atomic<bool> armed(false);
std::atomic<std::size_t> limitBytes(SIZE_MAX);
std::atomic<std::size_t> asked(0);
std::atomic<std::size_t> largestAsked(0);

// Counts the request while armed; false when it must fail.
bool allow(std::size_t n) {
  if (!armed.load(std::memory_order_relaxed)) return true;
  asked.fetch_add(1, std::memory_order_relaxed);
  std::size_t seen = largestAsked.load(std::memory_order_relaxed);
  while (n > seen && !largestAsked.compare_exchange_weak(seen, n, std::memory_order_relaxed)) {
  }
  return n <= limitBytes.load(std::memory_order_relaxed);
}

void* allocate(std::size_t n) { return allow(n) ? std::malloc(n ? n : 1) : nullptr; }

void* allocateOrThrow(std::size_t n) {
  void* p = allocate(n);
  if (!p) throw std::bad_alloc();
  return p;
}

}  // namespace

AllocationCount::AllocationCount(std::size_t limit) {
  asked = 0;
  largestAsked = 0;
  limitBytes = limit;
  armed = true;
}

AllocationCount::~AllocationCount() {
  armed = false;
  limitBytes = SIZE_MAX;
}

std::size_t AllocationCount::count() const { return asked; }
std::size_t AllocationCount::largest() const { return largestAsked; }

void* operator new(std::size_t n) { return allocateOrThrow(n); }
void* operator new[](std::size_t n) { return allocateOrThrow(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return allocate(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
