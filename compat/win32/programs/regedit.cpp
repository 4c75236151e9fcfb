// The registry editor of the emulated machine: "regedit.exe [/s] script.reg" imports a .reg script
// into the prefix's registry store. /s (silent) is accepted; the stand-in never shows a window.
#include <windows.h>

#include "compat_programs.h"

#include "compat_registry.h"

#include <string>

int main(int argc, char** argv) {
  compat_log_program_run("regedit.exe", argc, argv);
  std::string script;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.size() == 2 && (arg[0] == '/' || arg[0] == '-') && (arg[1] == 's' || arg[1] == 'S')) continue;
    script = arg;
  }
  if (script.empty()) return 0;  // nothing to import
  HANDLE file =
      CreateFileA(script.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return 1;
  std::string text;
  char buf[65536];
  DWORD got = 0;
  while (ReadFile(file, buf, sizeof buf, &got, NULL) && got > 0) text.append(buf, got);
  CloseHandle(file);
  return compat_reg_import_text(text) ? 0 : 1;
}
