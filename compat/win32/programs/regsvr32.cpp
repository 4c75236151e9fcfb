// The server-registration tool of the emulated machine: "regsvr32.exe [/s] [/u] file.dll".
// The library is data here; registering records it under
// HKEY_LOCAL_MACHINE\SOFTWARE\RKWin\RegisteredServers (value = the library's path), /u removes it.
// A missing file fails with exit code 3, as the tool does when the library cannot be loaded.
#include <windows.h>

#include "compat_programs.h"

#include <cstring>
#include <string>

int main(int argc, char** argv) {
  compat_log_program_run("regsvr32.exe", argc, argv);
  bool unregister = false;
  std::string library;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.size() == 2 && (arg[0] == '/' || arg[0] == '-')) {
      if (arg[1] == 'u' || arg[1] == 'U') unregister = true;
      continue;
    }
    library = arg;
  }
  if (library.empty()) return 1;
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA(library.c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return 3;
  FindClose(h);

  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\RKWin\\RegisteredServers", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key,
                      NULL) != ERROR_SUCCESS)
    return 4;
  LONG rc;
  if (unregister) {
    rc = RegDeleteValueA(key, library.c_str());
    if (rc == ERROR_FILE_NOT_FOUND) rc = ERROR_SUCCESS;
  } else {
    const char* state = "registered";
    rc = RegSetValueExA(key, library.c_str(), 0, REG_SZ, (const BYTE*)state, (DWORD)strlen(state) + 1);
  }
  RegCloseKey(key);
  return rc == ERROR_SUCCESS ? 0 : 5;
}
