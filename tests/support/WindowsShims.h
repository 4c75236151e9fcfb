// The few POSIX calls the tests use, for the Windows test programs (force-included there):
// environment, temporary folders, local time, file status, with the C runtime's equivalents.
#ifndef RK_TESTS_WINDOWSSHIMS_H
#define RK_TESTS_WINDOWSSHIMS_H
#ifdef _WIN32

#include <direct.h>
#include <io.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>

inline int setenv(const char* name, const char* value, int overwrite) {
  if (!overwrite && getenv(name)) return 0;
  return _putenv_s(name, value) == 0 ? 0 : -1;
}

// An empty value removes the variable from the C runtime's and the process's environment.
inline int unsetenv(const char* name) { return _putenv_s(name, "") == 0 ? 0 : -1; }

inline char* mkdtemp(char* pattern) {
  if (_mktemp_s(pattern, strlen(pattern) + 1) != 0) return nullptr;
  return _mkdir(pattern) == 0 ? pattern : nullptr;
}

inline struct tm* localtime_r(const time_t* t, struct tm* out) { return localtime_s(out, t) == 0 ? out : nullptr; }

// Windows has no symbolic links the tests make; lstat is stat.
inline int lstat(const char* path, struct stat* st) { return stat(path, st); }

#endif
#endif
