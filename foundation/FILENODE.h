// One entry of an installation package, in memory.
#ifndef RKSDK_FILENODE_H
#define RKSDK_FILENODE_H

#include "RKString.h"

namespace RKSDK {

const u32 FILENODE_KIND_FILE = 1;
const u32 FILENODE_KIND_FOLDER = 2;

struct FILENODE {
  RKString path;  // relative to the package root
  u32 kind = 0;   // 1 file, 2 folder; other values are carried but not acted on
  u32 size = 0;   // bytes of the file's contents; 0 for folders
};

}  // namespace RKSDK

#endif
