// Path translation of the stand-in, for code outside it that must hand a file's name to a host
// library (for instance libbz2, which opens files itself).
#ifndef RKWIN_COMPAT_PATH_H
#define RKWIN_COMPAT_PATH_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

// Writes the host path that the stand-in's file calls use for the Windows path `windowsPath`
// (ANSI bytes; C:\... in the prefix, Z:\... the host root, relative to the current folder
// otherwise) into `hostPath`. Returns its length, or 0 when the path names no mapped drive or
// the result does not fit into `size` bytes with its terminator.
size_t compat_host_path(const char* windowsPath, char* hostPath, size_t size);

// The reverse: the Windows name (ANSI bytes) of an absolute host path. Returns its length, or 0
// when `hostPath` is not absolute or the result does not fit.
size_t compat_windows_path(const char* hostPath, char* windowsPath, size_t size);

#ifdef __cplusplus
}
#endif

#endif
