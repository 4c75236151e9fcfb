// The launcher program: no window, no arguments, no messages, exit code 0.
#include "Stowpack.h"

int main() { return RKSDK::runStowpack(); }
