#include "handle_internal.h"

#include <windows.h>

#include <map>
#include <mutex>

namespace rkwin {

namespace {
std::mutex g_handleMutex;
std::map<UINT_PTR, std::shared_ptr<KernelObject>> g_handles;
UINT_PTR g_nextHandle = 0x40000000;
}  // namespace

HANDLE addHandle(std::shared_ptr<KernelObject> object) {
  std::lock_guard<std::mutex> guard(g_handleMutex);
  while (g_handles.count(g_nextHandle)) g_nextHandle += 4;
  UINT_PTR value = g_nextHandle;
  g_nextHandle += 4;
  g_handles[value] = std::move(object);
  return (HANDLE)value;
}

std::shared_ptr<KernelObject> findHandle(HANDLE handle) {
  std::lock_guard<std::mutex> guard(g_handleMutex);
  auto it = g_handles.find((UINT_PTR)handle);
  return it == g_handles.end() ? nullptr : it->second;
}

bool removeHandle(HANDLE handle) {
  std::shared_ptr<KernelObject> object;  // destroyed outside the lock
  std::lock_guard<std::mutex> guard(g_handleMutex);
  auto it = g_handles.find((UINT_PTR)handle);
  if (it == g_handles.end()) return false;
  object = std::move(it->second);
  g_handles.erase(it);
  return true;
}

}  // namespace rkwin

BOOL WINAPI CloseHandle(HANDLE hObject) {
  if (!rkwin::removeHandle(hObject)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
