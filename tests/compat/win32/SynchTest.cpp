#include <windows.h>
#include <compat_time.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

BOOL tryFromOtherThread(CRITICAL_SECTION* cs) {
  BOOL got = FALSE;
  std::thread([&] {
    got = TryEnterCriticalSection(cs);
    if (got) LeaveCriticalSection(cs);
  }).join();
  return got;
}

}  // namespace

TEST(CriticalSection, RecursiveForOwnerExclusiveForOthers) {
  CRITICAL_SECTION cs;
  ASSERT_TRUE(InitializeCriticalSectionAndSpinCount(&cs, 0x80000400u));
  EXPECT_TRUE(tryFromOtherThread(&cs));
  EnterCriticalSection(&cs);
  EnterCriticalSection(&cs);
  EXPECT_TRUE(TryEnterCriticalSection(&cs));  // the owner always gets it again
  EXPECT_FALSE(tryFromOtherThread(&cs));
  LeaveCriticalSection(&cs);
  LeaveCriticalSection(&cs);
  EXPECT_FALSE(tryFromOtherThread(&cs));  // still entered once
  LeaveCriticalSection(&cs);
  EXPECT_TRUE(tryFromOtherThread(&cs));
  DeleteCriticalSection(&cs);
}

TEST(CriticalSection, EnterWaitsForTheOwner) {
  CRITICAL_SECTION cs;
  ASSERT_TRUE(InitializeCriticalSectionAndSpinCount(&cs, 0));
  std::atomic<bool> entered{false};
  EnterCriticalSection(&cs);
  std::thread t([&] {
    EnterCriticalSection(&cs);
    entered = true;
    LeaveCriticalSection(&cs);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(entered.load());
  LeaveCriticalSection(&cs);
  t.join();
  EXPECT_TRUE(entered.load());
  DeleteCriticalSection(&cs);
}

TEST(CriticalSection, ExcludesConcurrentUpdates) {
  CRITICAL_SECTION cs;
  ASSERT_TRUE(InitializeCriticalSectionAndSpinCount(&cs, 0x80000400u));
  long counter = 0;
  auto work = [&] {
    for (int i = 0; i < 20000; ++i) {
      EnterCriticalSection(&cs);
      ++counter;
      LeaveCriticalSection(&cs);
    }
  };
  std::thread a(work), b(work);
  a.join();
  b.join();
  EXPECT_EQ(counter, 40000);
  DeleteCriticalSection(&cs);
}

TEST(Timing, SleepAdvancesTickCount) {
  DWORD start = GetTickCount();
  Sleep(60);
  DWORD elapsed = GetTickCount() - start;
  EXPECT_GE(elapsed, 59u);
  EXPECT_LT(elapsed, 1000u);
  Sleep(0);  // yields only
}

TEST(Timing, TickCountWrapsAt32Bits) {
  compat_set_tick_offset(0);
  DWORD base = GetTickCount();
  compat_set_tick_offset(0xFFFFFFFFu - base - 20);
  DWORD before = GetTickCount();
  EXPECT_GT(before, 0xFFFFFF00u);
  Sleep(60);
  DWORD after = GetTickCount();
  compat_set_tick_offset(0);
  EXPECT_LT(after, 1000u);         // wrapped past zero
  EXPECT_GE(after - before, 59u);  // unsigned difference still gives the elapsed time
  EXPECT_LT(after - before, 1000u);
}
