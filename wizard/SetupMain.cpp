// The Setup program, started from the unpack folder without arguments; exit code 0 always.
#include <windows.h>

#include "SetupStartUp.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return RKSDK::runSetup(instance); }

#ifdef RKWIN_COMPAT
// The stand-in's programs start at main; on Windows the C runtime calls WinMain itself.
int main() { return WinMain(nullptr, nullptr, nullptr, 0); }
#endif
