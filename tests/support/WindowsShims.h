// The few POSIX calls the tests use, for the Windows test programs (force-included there):
// environment, temporary folders, local time, file status, with the C runtime's equivalents.
#ifndef RK_TESTS_WINDOWSSHIMS_H
#define RK_TESTS_WINDOWSSHIMS_H
#ifdef _WIN32

#include <direct.h>
#include <errno.h>
#include <io.h>
#include <process.h>
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

// The pattern's trailing XXXXXX become letters and digits, drawn again until a folder of that
// name could be made (the runtime's _mktemp_s has only 26 names for a process).
inline char* mkdtemp(char* pattern) {
  size_t n = strlen(pattern);
  if (n < 6 || strcmp(pattern + n - 6, "XXXXXX") != 0) {
    errno = EINVAL;
    return nullptr;
  }
  static const char kNameChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  static unsigned long long state = 0;
  if (state == 0)
    state = (unsigned long long)time(nullptr) ^ ((unsigned long long)_getpid() << 32) ^ (unsigned long long)clock();
  for (int attempt = 0; attempt < 10000; ++attempt) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    unsigned long long r = state >> 20;
    for (size_t i = n - 6; i < n; ++i, r /= 36) pattern[i] = kNameChars[r % 36];
    if (_mkdir(pattern) == 0) return pattern;
    if (errno != EEXIST) return nullptr;
  }
  return nullptr;
}

inline struct tm* localtime_r(const time_t* t, struct tm* out) { return localtime_s(out, t) == 0 ? out : nullptr; }

// Windows has no symbolic links the tests make; lstat is stat.
inline int lstat(const char* path, struct stat* st) { return stat(path, st); }

#endif
#endif
