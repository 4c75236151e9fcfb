// Stands in for the web browser in a test machine under Wine: appends the command line it was
// started with to "opened.txt" beside its own executable and ends. The test reads the record to
// see which address the installer asked to open.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char path[MAX_PATH + 16] = {};
  if (!GetModuleFileNameA(nullptr, path, MAX_PATH)) return 1;
  // After the last backslash character: a double-byte character's second byte may be 0x5C.
  char* name = path;
  for (char* p = path; *p; p = CharNextA(p))
    if (*p == '\\') name = p + 1;
  lstrcpyA(name, "opened.txt");
  HANDLE file =
      CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  const char* line = GetCommandLineA();
  DWORD written = 0;
  WriteFile(file, line, lstrlenA(line), &written, nullptr);
  WriteFile(file, "\r\n", 2, &written, nullptr);
  CloseHandle(file);
  return 0;
}
