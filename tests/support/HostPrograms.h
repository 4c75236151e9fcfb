// Finding the host's programs that tests drive (Xvfb, xdotool, encoders) on PATH, without a shell.
#ifndef RK_TESTS_SUPPORT_HOSTPROGRAMS_H
#define RK_TESTS_SUPPORT_HOSTPROGRAMS_H

#include <unistd.h>

#include <cstdlib>
#include <initializer_list>
#include <string>

// The full path of an executable named name on PATH, "" when there is none.
// Windows test programs cannot start the host's programs: none is found there.
inline std::string findProgram(const char* name) {
#ifdef _WIN32
  (void)name;
  return std::string();
#endif
  const char* path = getenv("PATH");
  std::string p = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= p.size()) {
    size_t end = p.find(':', start);
    if (end == std::string::npos) end = p.size();
    std::string candidate = p.substr(start, end - start) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return std::string();
}

inline bool haveProgram(const char* name) { return !findProgram(name).empty(); }

// True when every one of the programs is on PATH.
inline bool haveProgram(std::initializer_list<const char*> names) {
  for (const char* name : names)
    if (!haveProgram(name)) return false;
  return true;
}

#endif
