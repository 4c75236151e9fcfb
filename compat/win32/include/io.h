// Low-level file calls of the Windows C runtime.
#ifndef RKWIN_IO_H
#define RKWIN_IO_H

#ifdef __cplusplus
extern "C" {
#endif

// Access test: mode 0 existence, 2 write, 4 read, 6 both; 0 when granted, else -1 and errno.
// Folders always grant read and write; files deny write when read-only.
int _access(const char* path, int mode);
// Creates or truncates a file for writing; without _S_IWRITE in pmode it is read-only once
// closed. Returns a descriptor or -1.
int _creat(const char* path, int pmode);
int _close(int fd);
// Only _S_IWRITE counts: set, the file becomes writable; clear, read-only.
int _chmod(const char* path, int pmode);

#ifdef __cplusplus
}
#endif

#endif
