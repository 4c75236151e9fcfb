// Test support: what the program asks of the global operator new while an AllocationCount lives
// (the test program replaces the operators; they count only while one is armed), so that tests
// can bound the memory a decode asks for without timing anything.
#ifndef RK_TESTS_ALLOCATIONCOUNT_H
#define RK_TESTS_ALLOCATIONCOUNT_H

#include <cstddef>
#include <cstdint>

class AllocationCount {
 public:
  // Counts every allocation from now on. A request above limit bytes fails, as on a machine
  // without that much memory: a throwing new throws, a non-throwing one answers null.
  explicit AllocationCount(std::size_t limit = SIZE_MAX);
  ~AllocationCount();
  AllocationCount(const AllocationCount&) = delete;
  AllocationCount& operator=(const AllocationCount&) = delete;

  // Allocations asked for, those that failed included.
  std::size_t count() const;
  // The largest size asked for.
  std::size_t largest() const;
};

// The allocations that run() asks for.
template <class F>
std::size_t allocationsOf(F&& run) {
  AllocationCount count;
  run();
  return count.count();
}

#endif
