// The launcher run: unpacks the package behind the running executable into a fresh
// time-stamped folder under the temporary folder, starts the program it names, waits for it
// and deletes the folder.
#ifndef RKSDK_STOWPACK_H
#define RKSDK_STOWPACK_H

#include "RKFile.h"
#include "RKString.h"

namespace RKSDK {

// 14 digits of the current local time, "%04d%02d%02d%02d%02d%02d".
RKString makeTimeStampName();

// Deletes a folder and everything in it, depth first, without following links out of it.
// The folder holds one reference, which this gives up. Results are ignored: what cannot be
// deleted stays, with every folder above it.
void deleteFolderTree(RKFile* folder);

// The whole run; always returns 0 and reports nothing.
int runStowpack();

}  // namespace RKSDK

#endif
