// A stand-in for the packed installer: reports where it runs, its arguments and what was
// unpacked beside it, so that a launch can be watched from the terminal.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

static void list(const std::string& folder, const std::string& indent) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  std::vector<std::string> names;
  while (dirent* d = readdir(dir)) {
    std::string n = d->d_name;
    if (n != "." && n != "..") names.push_back(n);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  for (const std::string& n : names) {
    std::string child = folder + "/" + n;
    struct stat st;
    if (lstat(child.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      std::printf("%s%s/\n", indent.c_str(), n.c_str());
      list(child, indent + "  ");
    } else {
      std::printf("%s%s (%lld bytes)\n", indent.c_str(), n.c_str(), (long long)st.st_size);
    }
  }
}

int main(int argc, char**) {
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  std::string exe = n > 0 ? std::string(self, n) : std::string("?");
  std::string folder = exe.substr(0, exe.find_last_of('/'));
  std::printf("demo program: running as %s\n", exe.c_str());
  std::printf("demo program: %d argument(s) after the program name\n", argc - 1);
  std::printf("demo program: unpacked beside it in %s:\n", folder.c_str());
  list(folder, "  ");
  std::fflush(stdout);
  return 0;
}
