#include "RKObject.h"

#include <stdlib.h>
#include <string.h>

namespace RKSDK {

namespace {

// Spin count 1024 with the flag that pre-allocates the wait event.
const DWORD kSpinCount = 0x80000400u;

}  // namespace

const char* const RK_TEXT_SUCCESS = "Success";

RKObject::RKObject() : refCount(0), className(nullptr), refLockMade(0), userLockMade(0), refLock(), userLock() {
  static const char kRoot[] = "RKObject";
  className = static_cast<char*>(malloc(sizeof kRoot));
  if (className) memcpy(className, kRoot, sizeof kRoot);
}

RKObject::RKObject(const RKObject&) : RKObject() {}

RKObject& RKObject::operator=(const RKObject&) { return *this; }

RKObject::~RKObject() {
  free(className);
  className = nullptr;
  if (refLockMade) DeleteCriticalSection(&refLock);
  if (userLockMade) DeleteCriticalSection(&userLock);
}

void RKObject::appendClassName(const char* name) {
  if (!name) return;
  size_t oldLen = className ? strlen(className) : 0;
  size_t nameLen = strlen(name);
  char* path = static_cast<char*>(malloc(oldLen + 1 + nameLen + 1));
  if (!path) return;
  if (oldLen) memcpy(path, className, oldLen);
  path[oldLen] = '.';
  memcpy(path + oldLen + 1, name, nameLen + 1);
  free(className);
  className = path;
}

u32 RKObject::addRef() {
  if (!refLockMade) {
    refLockMade = 1;
    InitializeCriticalSectionAndSpinCount(&refLock, kSpinCount);
  }
  EnterCriticalSection(&refLock);
  u32 count = ++refCount;
  LeaveCriticalSection(&refLock);
  return count;
}

u32 RKObject::release() {
  if (!refLockMade) return 0;  // never counted: not ours to destroy
  EnterCriticalSection(&refLock);
  if (refCount == 0) {
    LeaveCriticalSection(&refLock);
    return 0;
  }
  u32 count = --refCount;
  LeaveCriticalSection(&refLock);
  if (count == 0) delete this;
  return count;
}

u32 RKObject::getLastError() { return 0; }

const char* RKObject::getErrorText(u32) { return nullptr; }

const char* RKObject::getClassName() const { return className; }

int RKObject::lock(u32 timeoutMs) {
  if (!userLockMade) {
    userLockMade = 1;
    InitializeCriticalSectionAndSpinCount(&userLock, kSpinCount);
  }
  if (timeoutMs == RK_WAIT_FOREVER) {
    EnterCriticalSection(&userLock);
    return 1;
  }
  DWORD start = GetTickCount();
  if (TryEnterCriticalSection(&userLock)) return 1;
  for (;;) {
    DWORD now = GetTickCount();
    if (timeoutMs == 0) return 0;
    DWORD elapsed = now >= start ? now - start : (0xFFFFFFFFu - start) + now;
    if (elapsed >= timeoutMs) return 0;
    Sleep(100);
    if (TryEnterCriticalSection(&userLock)) return 1;
  }
}

void RKObject::unlock() { LeaveCriticalSection(&userLock); }

RKObject* RKObject::clone() { return nullptr; }

}  // namespace RKSDK
