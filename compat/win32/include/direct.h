// Folder calls of the Windows C runtime.
#ifndef RKWIN_DIRECT_H
#define RKWIN_DIRECT_H

#ifdef __cplusplus
extern "C" {
#endif

// Creates one folder (its parent must exist); 0, or -1 with errno EEXIST or ENOENT.
int _mkdir(const char* path);

#ifdef __cplusplus
}
#endif

#endif
