// The table of an installation package: the program to start, the entries to create and the
// length of the bzip2 stream that follows, read from the file that carries the package.
//
// Layout after the launcher image, integers unsigned 32-bit little-endian, texts 0-terminated:
//   program text, entry count, count x (path text, kind, size), packed length,
//   packed bytes (one bzip2 stream), trailer = file offset of the program text.
#ifndef RKSDK_RKPACKAGETABLE_H
#define RKSDK_RKPACKAGETABLE_H

#include "IRKIOStream.h"
#include "RKString.h"
#include "FILENODE.h"
#include "TRKList.h"

namespace RKSDK {

struct RKPackageTable {
  RKString program;           // relative to the unpack folder, no leading backslash
  TRKList<FILENODE> entries;  // in package order: every folder before its contents
  unsigned int packedLength = 0;
  bool complete = false;  // false when the file ended inside the table
};

// Reads the table from a stream over the whole file, leaving the stream at the first packed
// byte. Short reads give 0 or "" as the fields' values; entries stop where the file ends, so a
// damaged count cannot make the reader loop past it. Returns 1 when the whole table was read.
int readPackageTable(IRKIOStream* stream, RKPackageTable& table);

// True when an entry path stays inside the unpack folder: it begins with a backslash and has
// no drive or colon and no parent element ("..", and names of only dots and blanks).
bool isContainedEntryPath(const RKString& path);

// True when two entry paths name the same file: ASCII letters compared without case (the second
// byte of a double-byte character as it stands), both separators alike, repeated separators and
// "." elements dropped.
bool isSameEntryPath(const RKString& a, const RKString& b);

}  // namespace RKSDK

#endif
