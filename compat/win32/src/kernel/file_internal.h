// File copying shared by CopyFileA and the C runtime's rename across volumes.
#ifndef RKWIN_FILE_INTERNAL_H
#define RKWIN_FILE_INTERNAL_H

#include <windef.h>

#include <string>

#include "path_internal.h"

namespace rkwin {

// Copies the host file `from` to `to` with its permission bits and modification time, as
// CopyFileA does; returns ERROR_SUCCESS or the Windows error code. A partial target is removed.
// The entries, when given, are what the translations of the two paths found.
DWORD copyHostFile(const std::string& from, const std::string& to, bool failIfExists,
                   const HostEntry* fromEntry = nullptr, const HostEntry* toEntry = nullptr);

}  // namespace rkwin

#endif
