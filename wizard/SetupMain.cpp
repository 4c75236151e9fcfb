// The Setup program, started from the unpack folder without arguments; exit code 0 always.
#include <windows.h>

#include "SetupStartUp.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return RKSDK::runSetup(instance); }

int main() { return WinMain(nullptr, nullptr, nullptr, 0); }
