// A fresh host folder for one test, removed with everything in it when the test ends, and the
// helpers tests use to name host files the way the stand-in's Windows side does.
#ifndef RK_TEST_TEMPFOLDER_H
#define RK_TEST_TEMPFOLDER_H

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace rktest {

class TempFolder {
 public:
  explicit TempFolder(const char* tag = "rktest") {
    std::string pattern = (std::filesystem::temp_directory_path() / (std::string(tag) + "-XXXXXX")).string();
    char* made = mkdtemp(&pattern[0]);
    path_ = made ? made : "";
  }
  ~TempFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The Z: name of an ASCII host path ("/tmp/a" -> "Z:\tmp\a"); on Windows the path with backslashes.
inline std::string windowsName(const std::string& host) {
#ifdef _WIN32
  std::string w = host;
#else
  std::string w = "Z:" + host;
#endif
  for (char& c : w)
    if (c == '/') c = '\\';
  return w;
}

inline void writeFile(const std::string& path, const std::string& bytes, mode_t mode = 0644) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  chmod(path.c_str(), mode);
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Sets an environment variable for one scope and puts the old value back afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    const char* old = std::getenv(name);
    hadOld_ = old != nullptr;
    if (old) old_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (hadOld_)
      setenv(name_.c_str(), old_.c_str(), 1);
    else
      unsetenv(name_.c_str());
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_, old_;
  bool hadOld_ = false;
};

}  // namespace rktest

#endif
