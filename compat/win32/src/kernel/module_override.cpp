// The test override of the main module's path.
#include <mutex>
#include <string>

#include "compat_module.h"
#include "module_internal.h"

namespace {
std::mutex overrideLock;
bool overridden = false;
std::string overridePath;
}  // namespace

void compat_set_module_path(const char* windowsPath) {
  std::lock_guard<std::mutex> hold(overrideLock);
  overridden = windowsPath != nullptr;
  overridePath = windowsPath ? windowsPath : "";
}

namespace rkwin {

bool moduleOverride(std::string* path) {
  std::lock_guard<std::mutex> hold(overrideLock);
  if (overridden) *path = overridePath;
  return overridden;
}

}  // namespace rkwin
