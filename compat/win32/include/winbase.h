// winbase declarations of the stand-in.
#ifndef RKWIN_WINBASE_H
#define RKWIN_WINBASE_H

#include "windef.h"
#include "winerror.h"

// (a * b) / c computed in 64 bits, rounded half away from zero; -1 when c is 0 or on overflow.
int WINAPI MulDiv(int nNumber, int nNumerator, int nDenominator);

#define DRIVE_UNKNOWN 0
#define DRIVE_NO_ROOT_DIR 1
#define DRIVE_REMOVABLE 2
#define DRIVE_FIXED 3
#define DRIVE_REMOTE 4
#define DRIVE_CDROM 5
#define DRIVE_RAMDISK 6

// Copies a file with its attributes and last-write time; overwrites unless bFailIfExists.
BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists);

// Global memory (the clipboard hands its data over in these blocks).
#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GMEM_DDESHARE 0x2000
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)
HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes);
LPVOID WINAPI GlobalLock(HGLOBAL mem);
BOOL WINAPI GlobalUnlock(HGLOBAL mem);
HGLOBAL WINAPI GlobalFree(HGLOBAL mem);
SIZE_T WINAPI GlobalSize(HGLOBAL mem);

// Whether a byte is the first byte of a double-byte character in the ANSI code page.
BOOL WINAPI IsDBCSLeadByte(BYTE testChar);
// The same in a given code page (CP_ACP and the other symbolic pages allowed).
BOOL WINAPI IsDBCSLeadByteEx(UINT codePage, BYTE testChar);

#endif
