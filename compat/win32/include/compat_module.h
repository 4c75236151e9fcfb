// Test hook of the stand-in's module paths (no counterpart on Windows).
#ifndef RKWIN_COMPAT_MODULE_H
#define RKWIN_COMPAT_MODULE_H

// Makes GetModuleFileNameA(NULL, ...) answer the given Windows path instead of the running
// executable's, so that a test can stand a program in a prepared folder. Null restores it.
void compat_set_module_path(const char* windowsPath);

#endif
