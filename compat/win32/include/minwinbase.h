// minwinbase declarations of the stand-in: structures shared by the kernel calls.
#ifndef RKWIN_MINWINBASE_H
#define RKWIN_MINWINBASE_H

#include "windef.h"

typedef struct _SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *PSECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

#endif
