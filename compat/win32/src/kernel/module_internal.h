// Internal: the test override of the main module's path.
#ifndef RKWIN_MODULE_INTERNAL_H
#define RKWIN_MODULE_INTERNAL_H

#include <string>

namespace rkwin {

// True (and the Windows path in *path) while a test has set compat_set_module_path.
bool moduleOverride(std::string* path);

}  // namespace rkwin

#endif
