// The desktop shell of the emulated machine: "explorer.exe" records its run and then stays, as
// a desktop shell does, until it is stopped (TerminateProcess) or its machine's prefix is gone.
// It ends by itself after an hour so that no forgotten shell outlives a test run for long.
#include <windows.h>

#include "compat_programs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <string>

int main(int argc, char** argv) {
  compat_log_program_run("explorer.exe", argc, argv);
  const char* root = getenv("RKWIN_ROOT");
  std::string prefix = root && *root ? root : "";
  for (int i = 0; i < 3600 * 5; ++i) {
    struct stat st;
    if (!prefix.empty() && stat(prefix.c_str(), &st) != 0) break;
    usleep(200000);
  }
  return 0;
}
