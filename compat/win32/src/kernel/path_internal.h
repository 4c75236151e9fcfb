// The emulated machine's file-system model, shared by every kernel call that takes a path.
//
// A prefix folder ($RKWIN_ROOT, default $HOME/.rkwin) stands for the machine. Drive C: is
// $RKWIN_ROOT/drive_c, drive Z: is the host's "/"; no other drive letter is mapped.
// Windows paths arrive as ANSI bytes; they are converted to UTF-8 by the ANSI code page, then
// split at backslashes or slashes (repeated separators tolerated), "." and ".." are resolved
// lexically within the drive, and each element is looked up case-insensitively where the exact
// name does not exist. A name that exists as given costs one lstat; for a new name the longest
// existing leading part is found first and only the elements after it are searched for.
#ifndef RKWIN_PATH_INTERNAL_H
#define RKWIN_PATH_INTERNAL_H

#include "nls_internal.h"

#include <windef.h>

#include <errno.h>
#include <sys/stat.h>

#include <string>

namespace rkwin {

// The prefix folder of the emulated machine (no trailing slash).
std::string prefixRoot();

// Host folder of drive C: inside the prefix; creates the machine's standard folders on first use.
std::string driveCRoot();

// The variable through which CreateProcessA tells a program the prefix it was started in.
constexpr const char* kStartedInVariable = "RKWIN_STARTED_IN";

// Ends the calling process at once when it was started in this prefix and the prefix has been
// removed since: a program that starts late (after its test's machine went) must not make that
// machine again. A process started otherwise (the first program of a machine) returns.
void leaveIfMachineGone();

// What a translation learned of the named file itself, so that callers need not look again.
struct HostEntry {
  bool exists = false;  // the name exists (a dangling symbolic link too)
  struct stat st;       // its lstat, when it exists
  int error = ENOENT;   // errno of the failed lookup, when it does not
};

// Translates a Windows path (ANSI bytes, absolute or relative to the current folder) into the
// host path that names it. Returns false when the path names no mapped drive or is malformed
// (null, empty, UNC); `error` then holds the Windows error code (ERROR_PATH_NOT_FOUND ...).
// With `entry`, a successful translation also tells whether the name exists, and its lstat.
bool toHostPath(const char* windowsPath, std::string& hostPath, DWORD* error = nullptr, HostEntry* entry = nullptr);

// The same for a Windows path already converted to UTF-8.
bool toHostPathUtf8(std::string windowsPathUtf8, std::string& hostPath, DWORD* error = nullptr,
                    HostEntry* entry = nullptr);

// stat of what `host` refers to (links followed), taken from `entry` unless the name is a
// link: 0, or -1 with errno set.
int statEntry(const HostEntry& entry, const std::string& host, struct stat* st);

// The Windows name (ANSI bytes) of an absolute host path: C:\... inside drive C:, else Z:\...
std::string toWindowsPath(const std::string& hostPath);

// The user name the machine's profile folder is named after.
std::string userName();

// Conversions between ANSI bytes (the machine's code page) and UTF-8 host names.
inline std::string ansiToUtf8(const char* text, size_t length) { return rkwin_ansi_to_utf8(text, length); }
inline std::string utf8ToAnsi(const char* text, size_t length) { return rkwin_utf8_to_ansi(text, length); }

// Windows error code for a failed host file operation on `hostPath`: ENOENT becomes
// ERROR_PATH_NOT_FOUND when the parent folder is missing, else ERROR_FILE_NOT_FOUND.
DWORD errorFromErrno(int err, const std::string& hostPath);

// FILETIME (100 ns since 1601 UTC) from host seconds and nanoseconds since 1970, and back.
ULONGLONG fileTimeFromUnix(int64_t seconds, long nanoseconds);
void unixFromFileTime(ULONGLONG fileTime, int64_t* seconds, long* nanoseconds);

}  // namespace rkwin

#endif
