// The C library's <stdio.h> plus the Windows C runtime's additions. remove and rename keep their
// C declarations; programs linked with the stand-in get their Windows behaviour (paths in Windows
// form, no directory removal, no overwriting rename) through the link step (see rkwin32).
#pragma GCC system_header  // the wrapper itself, like the header it extends
#include_next <stdio.h>

#ifndef RKWIN_STDIO_H
#define RKWIN_STDIO_H

#ifdef __cplusplus
extern "C" {
#endif

// Opens a file with sharing (share.h); the share flag is accepted and not enforced.
FILE* _fsopen(const char* filename, const char* mode, int shflag);

#ifdef __cplusplus
}
#endif

#endif
