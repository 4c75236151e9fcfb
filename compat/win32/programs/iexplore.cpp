// The browser of the emulated machine: "iexplore.exe <address>" records the address it was asked
// to open and ends; it opens no window and fetches nothing.
#include <windows.h>

#include "compat_programs.h"

int main(int argc, char** argv) {
  compat_log_program_run("iexplore.exe", argc, argv);
  return 0;
}
