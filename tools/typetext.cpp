// Types text into a window of another program under Wine the way an input method delivers it:
// one WM_CHAR per character to the window under a screen point. Keys outside the keyboard map
// (Chinese characters) cannot be typed reliably through the X server's keyboard. Each character
// is sent, not posted, so the program has handled all of them when this one ends.
// Usage: typetext.exe <screen x> <screen y> <text>
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc != 4) return 2;
  POINT at = {static_cast<LONG>(wcstol(argv[1], nullptr, 10)), static_cast<LONG>(wcstol(argv[2], nullptr, 10))};
  HWND window = WindowFromPoint(at);
  if (!window) return 1;
  for (const wchar_t* c = argv[3]; *c; ++c) SendMessageW(window, WM_CHAR, *c, 1);
  LocalFree(argv);
  return 0;
}
