// Critical sections, Sleep and the tick counter.
#include <windows.h>
#include <compat_time.h>

#include <atomic>
#include <new>

#include <errno.h>
#include <pthread.h>
#include <sched.h>
#include <time.h>
#include <unistd.h>

namespace {

pthread_mutex_t* mutexOf(LPCRITICAL_SECTION cs) {
  return cs ? static_cast<pthread_mutex_t*>(cs->LockSemaphore) : nullptr;
}

HANDLE currentThreadTag() { return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(pthread_self())); }

void noteEntered(LPCRITICAL_SECTION cs) {
  cs->OwningThread = currentThreadTag();
  cs->RecursionCount++;
  cs->LockCount++;
}

std::atomic<DWORD> g_tickOffset{0};

}  // namespace

BOOL WINAPI InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION cs, DWORD dwSpinCount) {
  if (!cs) return FALSE;
  pthread_mutex_t* m = new (std::nothrow) pthread_mutex_t;
  if (!m) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(m, &attr);
  pthread_mutexattr_destroy(&attr);
  cs->DebugInfo = nullptr;
  cs->LockCount = -1;  // -1 means free, as documented for the structure
  cs->RecursionCount = 0;
  cs->OwningThread = nullptr;
  cs->LockSemaphore = m;
  cs->SpinCount = dwSpinCount & 0x00FFFFFFu;  // the high bits are flags
  return TRUE;
}

void WINAPI EnterCriticalSection(LPCRITICAL_SECTION cs) {
  pthread_mutex_t* m = mutexOf(cs);
  if (!m) return;
  pthread_mutex_lock(m);
  noteEntered(cs);
}

BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION cs) {
  pthread_mutex_t* m = mutexOf(cs);
  if (!m) return FALSE;
  // The mutex is recursive, so the owning thread always succeeds.
  if (pthread_mutex_trylock(m) != 0) return FALSE;
  noteEntered(cs);
  return TRUE;
}

void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION cs) {
  pthread_mutex_t* m = mutexOf(cs);
  if (!m) return;
  if (cs->OwningThread != currentThreadTag() || cs->RecursionCount <= 0) return;  // not ours
  cs->LockCount--;
  if (--cs->RecursionCount == 0) cs->OwningThread = nullptr;
  pthread_mutex_unlock(m);
}

void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION cs) {
  pthread_mutex_t* m = mutexOf(cs);
  if (!m) return;
  pthread_mutex_destroy(m);
  delete m;
  cs->LockSemaphore = nullptr;
  cs->OwningThread = nullptr;
  cs->RecursionCount = 0;
  cs->LockCount = -1;
}

void WINAPI Sleep(DWORD dwMilliseconds) {
  if (dwMilliseconds == 0) {
    sched_yield();  // gives up the rest of the time slice
    return;
  }
  if (dwMilliseconds == INFINITE) {
    for (;;) ::pause();
  }
  struct timespec ts;
  ts.tv_sec = dwMilliseconds / 1000;
  ts.tv_nsec = (long)(dwMilliseconds % 1000) * 1000000L;
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

DWORD WINAPI GetTickCount(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  uint64_t ms = (uint64_t)ts.tv_sec * 1000u + (uint64_t)(ts.tv_nsec / 1000000L);
  return (DWORD)(ms + g_tickOffset.load(std::memory_order_relaxed));  // wraps modulo 2^32
}

void compat_set_tick_offset(DWORD offsetMs) { g_tickOffset.store(offsetMs, std::memory_order_relaxed); }
