// Entry of every test program. On Linux the program runs in an emulated machine of its own from
// its first call to its last: the stand-in answers file calls of tests, fixtures and GoogleTest
// itself (a death test removes its captured output through remove()), and a call made with no
// machine named would make the user's default machine in their home.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#ifndef _WIN32
#include <stdlib.h>

#include "TempPrefix.h"
#endif

int main(int argc, char** argv) {
#ifndef _WIN32
  // A death test's child that the program starts again stays in its parent's machine.
  bool deathTestChild = false;
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--gtest_internal_run_death_test", 31) == 0) deathTestChild = true;
  std::string root;
  if (!deathTestChild) {
    root = TempPrefix::make();
    if (root.empty()) {
      std::perror("the test program's emulated machine");
      return 1;
    }
    setenv("RKWIN_ROOT", root.c_str(), 1);
  }
#endif
  testing::InitGoogleTest(&argc, argv);
  int result = RUN_ALL_TESTS();
#ifndef _WIN32
  // RKWIN_ROOT keeps naming the removed machine: nothing after this point reaches the user's.
  TempPrefix::discard(root);
#endif
  return result;
}
