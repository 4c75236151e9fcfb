// A packed program for the Windows launcher tests: writes how it was started (argument count,
// its own path, the working folder) and the files beside it into the folder RK_REPORT names.
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char**) {
  char report[MAX_PATH];
  if (!GetEnvironmentVariableA("RK_REPORT", report, MAX_PATH)) return 3;
  char self[MAX_PATH], cwd[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  GetCurrentDirectoryA(MAX_PATH, cwd);
  std::string folder(self);
  folder.erase(folder.find_last_of('\\') + 1);
  std::string data;
  if (FILE* f = std::fopen((folder + "sub\\data.bin").c_str(), "rb")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, n);
    std::fclose(f);
  }
  FILE* out = std::fopen((std::string(report) + "\\started.txt").c_str(), "wb");
  if (!out) return 4;
  std::fprintf(out, "%d\n%s\n%s\n%zu\n", argc, self, cwd, data.size());
  std::fclose(out);
  return 7;
}
