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
// The decompressed stream is taken in blocks of this size: long uninterrupted stretches of
// decompression keep its tables in the processor's caches, where one call per small file
// would meet them cold after every file's system calls.
const int kStreamBlockSize = 1 << 20;

// The package's decompressed stream, read from the bzip2 file in large blocks and handed out in
// pieces of any size straight from the block.
class BlockReader {
 public:
  explicit BlockReader(RKBZip& packed) : packed(packed), block(new char[kStreamBlockSize]) {}
  ~BlockReader() { delete[] block; }
  BlockReader(const BlockReader&) = delete;
  BlockReader& operator=(const BlockReader&) = delete;

  // Up to length bytes at *data: the count, 0 at the end of the stream, -1 when it is damaged.
  int take(const char** data, unsigned int length) {
    if (next == filled) {
      filled = packed.read(block, kStreamBlockSize);
      next = 0;
      if (filled <= 0) {
        int result = filled;
        filled = 0;
        return result;
      }
    }
    int n = (unsigned int)(filled - next) < length ? filled - next : (int)length;
    *data = block + next;
    next += n;
    return n;
  }

 private:
  RKBZip& packed;
  char* block;
  int filled = 0;
  int next = 0;
};

// The package file, read through the transfer buffer.
class TransferReader {
 public:
  TransferReader(RKFileStream& file, char* buffer) : file(file), buffer(buffer) {}
  int take(const char** data, unsigned int length) {
    *data = buffer;
    return file.read(buffer, length < (unsigned int)kTransferSize ? (int)length : kTransferSize);
  }

 private:
  RKFileStream& file;
  char* buffer;
};

// Creates the unpack folder. A folder of that name that already exists belongs to another run
// (two launches in one second): the name then gets a suffix until it is fresh. Empty when no
// folder could be created.
RKString createUnpackFolder(const RKString& temp) {
  RKString base = temp + "\\" + makeTimeStampName();
  RKString folder = base;
  for (int suffix = 1; suffix < 1000; ++suffix) {
    RKFile file(folder);
    if (file.mkdir()) return folder;
    if (!file.exists()) break;
    RKString next;
    next.format("%s_%d", base.data, suffix);
    folder = next;
  }
  return RKString();
}

// A Windows path filled into a buffer of MAX_PATH bytes by a call that returns its length: 0
// means failure and MAX_PATH or more that the path did not fit (the buffer then holds nothing
// usable, or a truncated path).
bool fitsPathBuffer(DWORD length) { return length > 0 && length < MAX_PATH; }

// The program to start: a file entry of the package, named by a path that stays inside the
// unpack folder. Any other name starts nothing, so that a package cannot start a program
// outside its folder, a folder, or the launcher itself again.
bool namesFileEntry(const RKString& program, TRKList<FILENODE>& entries) {
  RKString path = "\\" + program;
  if (!program.data || !program.data[0] || !isContainedEntryPath(path)) return false;
  if (!entries.moveFirst()) return false;
  do {
    FILENODE* entry = entries.getCurrent();
    if (entry->kind == FILENODE_KIND_FILE && isContainedEntryPath(entry->path) && isSameEntryPath(entry->path, path))
      return true;
  } while (entries.moveNext());
  return false;
}

// Moves length bytes from source (the package file or the decompressed stream) to target, or
// drops them when target is null, in the pieces the source hands out. A read of 0 or -1 ends the
// copy before anything is written: false, the source ended or failed early. A write that fails
// (a full disk) is false too.
template <class Source>
bool copyBytes(Source& source, RKFileStream* target, unsigned int length) {
  unsigned int done = 0;
  while (done < length) {
    const char* data = nullptr;
    int n = source.take(&data, length - done);
    if (n <= 0) return false;
    if (target && target->write(data, n) != n) return false;
    done += (unsigned int)n;
  }
  return true;
}

// Unpacks the package behind the launcher's own file into folder, through a packed copy of its
// bzip2 stream. True only for a whole package: a complete table, every byte of every file
// written and closed, and a stream that ends exactly after the last file's contents (which also
// checks the last block's and the stream's checksums).
bool unpackPackage(const RKString& ownPath, const RKString& folder, const RKString& packedCopy, RKPackageTable& table,
                   char* buffer) {
  RKFileStream own;
  if (!own.open(ownPath, 0)) return false;
  RKFileStream copy;
  if (!copy.open(packedCopy, 1)) return false;
  bool whole = readPackageTable(&own, table) == 1;
  TransferReader packedData(own, buffer);
  if (!copyBytes(packedData, &copy, table.packedLength)) whole = false;
  if (!copy.close()) whole = false;
  own.close();
  if (!whole) return false;

  RKBZip packed;
  if (!packed.openRead(packedCopy)) return false;
  BlockReader stream(packed);
  // One stream object for every file: its buffer is allocated once.
  RKFileStream file;
  if (table.entries.moveFirst()) {
    do {
      FILENODE* entry = table.entries.getCurrent();
      // A path that leads out of the unpack folder creates nothing, but a file still
      // consumes its bytes so that the following entries get their own contents.
      bool contained = isContainedEntryPath(entry->path);
      RKString full = folder + entry->path;
      if (entry->kind == FILENODE_KIND_FILE) {
        bool created = contained && file.open(full, 1);
        if (!copyBytes(stream, created ? &file : nullptr, entry->size)) whole = false;
        if (created && !file.close()) whole = false;
      } else if (entry->kind == FILENODE_KIND_FOLDER && contained) {
        RKFile(full).mkdir();
      }
    } while (whole && table.entries.moveNext());
  }
  // The clean end of the stream, right after the last entry's bytes: no data and no error.
  const char* rest = nullptr;
  if (whole && stream.take(&rest, 1) != 0) whole = false;
  packed.closeRead();
  return whole;
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
  RKString path = folder->getPath();
  // The listing brings each entry's attributes, which tell links, folders and files apart
  // without a further look at any of them.
  RKString pattern = path + "\\*";
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(pattern.data, &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const char* name = data.cFileName;
      if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
      RKString child = path + "\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // A link is removed itself; what it points to lies outside this tree.
        if (!RemoveDirectoryA(child.data)) std::remove(child.data);
      } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RKFile* sub = new RKFile(child);
        sub->addRef();
        deleteFolderTree(sub);
      } else {
        std::remove(child.data);
      }
    } while (FindNextFileA(find, &data));
    FindClose(find);
  }
  folder->remove();
  folder->release();
}

int runStowpack() {
  char ownPath[MAX_PATH];
  char tempPath[MAX_PATH];
  std::memset(ownPath, 0, sizeof ownPath);
  std::memset(tempPath, 0, sizeof tempPath);
  // A temporary path that does not fit leaves the buffer empty, which would put the unpack
  // folder at the root of the current drive; a cut own path would name another file.
  if (!fitsPathBuffer(GetModuleFileNameA(NULL, ownPath, MAX_PATH))) return 0;
  if (!fitsPathBuffer(GetTempPathA(MAX_PATH, tempPath))) return 0;

  RKString unpackFolder = createUnpackFolder(RKString(tempPath));
  if (!unpackFolder.data || !unpackFolder.data[0]) return 0;
  RKString packedCopy = unpackFolder + "\\" + makeTimeStampName();

  RKPackageTable table;
  char buffer[kTransferSize];
  // A damaged package or a failed write starts nothing: its files would look complete but are not.
  bool whole = unpackPackage(RKString(ownPath), unpackFolder, packedCopy, table, buffer);
  RKFile(packedCopy).remove();

  if (whole && namesFileEntry(table.program, table.entries)) {
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
