// A file or folder named by its Windows path, asked and acted on through the file system at the
// moment of each call.
#ifndef RKSDK_RKFILE_H
#define RKSDK_RKFILE_H

#include "RKFileStream.h"
#include "RKObject.h"
#include "RKString.h"
#include "RKTime.h"
#include "TRKList.h"

#include <sys/stat.h>

namespace RKSDK {

// Error codes of RKFile.
const u32 RKFILE_EXISTS = 0xF0000001u;
const u32 RKFILE_BAD_PARAMETER = 0xF0000002u;
const u32 RKFILE_ACCESS_DENIED = 0xF0000003u;
const u32 RKFILE_NOT_FOUND = 0xF0000004u;
const u32 RKFILE_NO_DESCRIPTORS = 0xF0000005u;
const u32 RKFILE_NAME_ERROR = 0xF0000006u;
const u32 RKFILE_OPEN_FAIL = 0xF0000007u;
const u32 RKFILE_CLOSE_FAIL = 0xF0000008u;

// Chooses the entries of a listing by their bare name: nonzero keeps an entry.
class IRKFileFilter {
 public:
  virtual int accept(RKString name) = 0;

 protected:
  ~IRKFileFilter() = default;
};

// Paths are ANSI texts with the backslash as separator (C:\dir\file); only the last backslash
// and a trailing ':' are ever looked at. Every operation but getPath and openStream clears the
// error code first. Objects returned (parents, times, listings, folders) hold one reference for
// the caller.
class RKFile : public virtual RKObject {
 public:
  explicit RKFile(RKString path);
  RKFile(const RKFile& other);
  ~RKFile() override;

  virtual int setPath(RKString path);
  virtual int canRead();
  virtual int canWrite();
  // Creates an empty file; 0 with RKFILE_EXISTS when something exists at the path.
  virtual int createNewFile();
  // An empty folder or a file.
  virtual int remove();
  virtual int exists();
  virtual RKString getPath();
  // The text after the last backslash; "" with RKFILE_NAME_ERROR when there is none.
  virtual RKString getName();
  // The text before the last backslash, with "\" after a drive ("C:\a" gives "C:\"). A path
  // without a parent ("x", "\x", "C:\") gives "" with RKFILE_NAME_ERROR.
  virtual RKString getParent();
  virtual RKFile* getParentFile();
  // "C:" and "C:\" both name the drive's root; one trailing backslash is ignored.
  virtual int isDirectory();
  virtual int isFile();
  virtual int isExecutable();
  virtual RKTime* lastModified();
  virtual int length();
  // Append the folder's entries (without "." and "..") to the list; the list forms deliver
  // paths, the file forms new RKFile objects. 0 when this is no folder.
  virtual int listFiles(TRKList<RKFile*>* list, IRKFileFilter* filter);
  virtual int listFiles(TRKList<RKFile*>* list);
  virtual int list(TRKList<RKString>* list, IRKFileFilter* filter);
  virtual int list(TRKList<RKString>* list);
  virtual int mkdir();
  // Moves the file or folder; this object keeps its old path.
  virtual int renameTo(RKString newPath);
  // Sets the last-write time from the time's fields as they stand (no zone conversion).
  virtual int setLastModified(RKTime* time);
  virtual int setReadable(int flag);
  virtual int setWritable(int flag);
  // A stream opened on the file in the given mode, holding one reference; null for a folder or
  // when it does not open.
  virtual RKFileStream* openStream(int mode);

  u32 getLastError() override;
  const char* getErrorText(u32 code) override;

  // The folder of the running program.
  static RKFile* getModuleFolder();
  // Copies with overwriting; nonzero on success.
  static int copyFile(RKString from, RKString to);
  // The system's program-files folder; null when the variable is not set.
  static RKFile* getProgramFilesFolder();

 protected:
  const char* pathText() const;
  int listEntries(TRKList<RKFile*>* files, TRKList<RKString>* paths, IRKFileFilter* filter);
  // The file status of the path with one trailing backslash cut and a bare drive made a root.
  int statFolderForm(struct _stat* st);
  // Sets (flag nonzero) or clears one permission bit of the file status.
  int setPermissionBit(int bit, int flag);

  RKString path;
  u32 lastError;
  RKString errorText;
};

}  // namespace RKSDK

#endif
