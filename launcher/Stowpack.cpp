#include "Stowpack.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "RKBZip.h"
#include "RKFileStream.h"
#include "RKPackageTable.h"
#include "RKTime.h"
#include "TRKList.h"

namespace RKSDK {

namespace {

const int kTransferSize = 10240;

// Creates the unpack folder. A folder of that name that already exists belongs to another run
// (two launches in one second): the name then gets a suffix until it is fresh.
RKString createUnpackFolder(const RKString& temp) {
  RKString base = temp + "\\" + makeTimeStampName();
  RKString folder = base;
  for (int suffix = 1; suffix < 1000; ++suffix) {
    RKFile file(folder);
    if (file.mkdir() || !file.exists()) break;
    RKString next;
    next.format("%s_%d", base.data, suffix);
    folder = next;
  }
  return folder;
}

// Moves length bytes from source (the package file or the decompressed stream) to target, or
// drops them when target is null, in chunks of the transfer buffer. A read of 0 or -1 ends the
// copy before anything is written: false, the source ended or failed early.
template <class Source>
bool copyBytes(Source& source, RKFileStream* target, unsigned int length, char* buffer) {
  unsigned int done = 0;
  while (done < length) {
    unsigned int left = length - done;
    int chunk = left < (unsigned int)kTransferSize ? (int)left : kTransferSize;
    int n = source.read(buffer, chunk);
    if (n <= 0) return false;
    if (target) target->write(buffer, n);
    done += (unsigned int)n;
  }
  return true;
}

}  // namespace

RKString makeTimeStampName() {
  RKString name;
  RKTime* now = RKTime::now();
  if (!now) return name;
  name.format("%04d%02d%02d%02d%02d%02d", now->getYear(), now->getMonth(), now->getDay(), now->getHour(),
              now->getMinute(), now->getSecond());
  now->release();
  return name;
}

void deleteFolderTree(RKFile* folder) {
  TRKList<RKFile*> children;
  folder->listFiles(&children);
  if (children.moveFirst()) {
    do {
      RKFile* child = *children.getCurrent();
      RKString path = child->getPath();
      // One look at the entry tells links, folders and files apart.
      DWORD attributes = GetFileAttributesA(path.data);
      bool known = attributes != INVALID_FILE_ATTRIBUTES;
      if (known && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        // A link is removed itself; what it points to lies outside this tree.
        if (!RemoveDirectoryA(path.data)) std::remove(path.data);
        child->release();
      } else if (known && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        deleteFolderTree(child);
      } else {
        // Known not to be a folder: removed as a file without a second look.
        std::remove(path.data);
        child->release();
      }
    } while (children.moveNext());
  }
  folder->remove();
  folder->release();
  children.removeAll();
}

int runStowpack() {
  char ownPath[MAX_PATH];
  char tempPath[MAX_PATH];
  std::memset(ownPath, 0, sizeof ownPath);
  std::memset(tempPath, 0, sizeof tempPath);
  GetModuleFileNameA(NULL, ownPath, MAX_PATH);
  GetTempPathA(MAX_PATH, tempPath);

  RKString unpackFolder = createUnpackFolder(RKString(tempPath));
  RKString packedCopy = unpackFolder + "\\" + makeTimeStampName();

  RKFileStream own;
  if (!own.open(RKString(ownPath), 0)) return 0;
  RKFileStream copy;
  if (!copy.open(packedCopy, 1)) return 0;

  RKPackageTable table;
  // A damaged package starts nothing: its files would look complete but are not.
  bool damaged = !readPackageTable(&own, table);

  char buffer[kTransferSize];
  if (!copyBytes(own, &copy, table.packedLength, buffer)) damaged = true;
  unsigned int trailer = 0;
  own.read(&trailer, 4);
  copy.close();
  own.close();

  RKBZip packed;
  bool opened = packed.openRead(packedCopy);
  if (opened && !damaged && table.entries.moveFirst()) {
    do {
      FILENODE* entry = table.entries.getCurrent();
      // A path that leads out of the unpack folder creates nothing, but a file still
      // consumes its bytes so that the following entries get their own contents.
      bool contained = isContainedEntryPath(entry->path);
      RKString full = unpackFolder + entry->path;
      if (entry->kind == 1) {
        RKFileStream file;
        bool created = contained && file.open(full, 1);
        if (!copyBytes(packed, created ? &file : nullptr, entry->size, buffer)) damaged = true;
        if (created) file.close();
      } else if (entry->kind == 2 && contained) {
        RKFile(full).mkdir();
      }
    } while (!damaged && table.entries.moveNext());
  }
  packed.closeRead();
  RKFile(packedCopy).remove();

  if (!damaged) {
    // The program is named as the application and quoted on the command line, so that a
    // folder path with blanks can neither start another program nor pass it arguments.
    RKString program = unpackFolder + "\\" + table.program;
    RKString commandLine = "\"" + program + "\"";
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    std::memset(&startup, 0, sizeof startup);
    std::memset(&process, 0, sizeof process);
    startup.cb = sizeof startup;
    CreateProcessA(program.data, commandLine.data, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process);
    WaitForSingleObject(process.hProcess, INFINITE);
  }

  RKFile* folder = new RKFile(unpackFolder);
  folder->addRef();
  deleteFolderTree(folder);
  return 0;
}

}  // namespace RKSDK
