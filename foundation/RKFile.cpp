#include "RKFile.h"

#include <direct.h>
#include <io.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <windows.h>

#include <new>

namespace RKSDK {

namespace {

const ULONGLONG kUnixEpochAsFileTime = 116444736000000000ULL;  // 1970-01-01 in 100 ns since 1601

// A new RKFile on the path holding one reference, or null.
RKFile* newFile(const RKString& path) {
  RKFile* file = new (std::nothrow) RKFile(path);
  if (file) file->addRef();
  return file;
}

// The long form of a path, or the path itself when the system cannot give one.
RKString longForm(const char* path) {
  char buffer[MAX_PATH];
  DWORD n = GetLongPathNameA(path, buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) return RKString(path);
  return RKString(buffer);
}

}  // namespace

RKFile::RKFile(RKString p) : path(p), lastError(0), errorText() { appendClassName("RKFile"); }

RKFile::RKFile(const RKFile& other) : RKObject(), path(other.path), lastError(other.lastError), errorText() {
  appendClassName("RKFile");
}

RKFile::~RKFile() {}

const char* RKFile::pathText() const { return path.data ? path.data : ""; }

int RKFile::setPath(RKString p) {
  lastError = 0;
  path = p;
  return 1;
}

int RKFile::canRead() {
  lastError = 0;
  return _access(pathText(), 4) == 0 ? 1 : 0;
}

int RKFile::canWrite() {
  lastError = 0;
  return _access(pathText(), 2) == 0 ? 1 : 0;
}

int RKFile::exists() {
  lastError = 0;
  return _access(pathText(), 0) == 0 ? 1 : 0;
}

int RKFile::createNewFile() {
  lastError = 0;
  if (exists()) {
    lastError = RKFILE_EXISTS;
    return 0;
  }
  int fd = _creat(pathText(), _S_IREAD | _S_IWRITE);
  if (fd < 0) return 0;
  _close(fd);
  return 1;
}

int RKFile::remove() {
  lastError = 0;
  if (isDirectory()) return RemoveDirectoryA(pathText()) ? 1 : 0;
  return ::remove(pathText()) == 0 ? 1 : 0;
}

RKString RKFile::getPath() { return path; }

RKString RKFile::getName() {
  lastError = 0;
  int at = path.lastIndexOf('\\');
  if (at < 0) {
    lastError = RKFILE_NAME_ERROR;
    return RKString("");
  }
  return path.substring(at + 1, -1);
}

RKString RKFile::getParent() {
  lastError = 0;
  int at = path.lastIndexOf('\\');
  // "\x" has nothing before its backslash, and a drive root is its own parent: neither has one,
  // so that a walk upwards ends.
  if (at <= 0) {
    lastError = RKFILE_NAME_ERROR;
    return RKString("");
  }
  RKString parent = path.substring(0, at - 1);
  if (parent.endsWith(':')) parent.append("\\");
  if (parent == path) {
    lastError = RKFILE_NAME_ERROR;
    return RKString("");
  }
  return parent;
}

RKFile* RKFile::getParentFile() {
  RKString parent = getParent();
  if (parent.isEmpty()) {
    lastError = RKFILE_NAME_ERROR;
    return nullptr;
  }
  return newFile(parent);
}

int RKFile::statFolderForm(struct _stat* st) {
  RKString form = path;
  if (form.endsWith('\\')) form = form.substring(0, (int)form.length - 2);
  if (form.endsWith(':')) form.append("\\");
  if (_stat(form.data ? form.data : "", st) != 0) {
    lastError = RKFILE_NOT_FOUND;
    return 0;
  }
  return 1;
}

int RKFile::isDirectory() {
  lastError = 0;
  struct _stat st;
  if (!statFolderForm(&st)) return 0;
  return (st.st_mode & 0x4000) ? 1 : 0;
}

int RKFile::isFile() {
  lastError = 0;
  struct _stat st;
  if (!statFolderForm(&st)) return 0;
  return (st.st_mode & 0x4000) ? 0 : 1;
}

int RKFile::isExecutable() {
  lastError = 0;
  struct _stat st;
  if (_stat(pathText(), &st) != 0) {
    lastError = RKFILE_NOT_FOUND;
    return 0;
  }
  return (st.st_mode & 0x40) ? 1 : 0;
}

RKTime* RKFile::lastModified() {
  lastError = 0;
  struct _stat st;
  if (_stat(pathText(), &st) != 0) {
    lastError = RKFILE_NOT_FOUND;
    return nullptr;
  }
  long long ticks = (long long)st.st_mtime * 10000000LL + (long long)kUnixEpochAsFileTime;
  if (ticks < 0) ticks = 0;
  FILETIME ft;
  ft.dwLowDateTime = (DWORD)ticks;
  ft.dwHighDateTime = (DWORD)((unsigned long long)ticks >> 32);
  RKTime* time = new (std::nothrow) RKTime(ft);
  if (time) time->addRef();
  return time;
}

int RKFile::length() {
  lastError = 0;
  struct _stat st;
  if (_stat(pathText(), &st) != 0) {
    lastError = RKFILE_NOT_FOUND;
    return 0;
  }
  return st.st_size;
}

int RKFile::listEntries(TRKList<RKFile*>* files, TRKList<RKString>* paths, IRKFileFilter* filter) {
  if (!isDirectory()) return 0;
  RKString pattern = path + "\\*.*";
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(pattern.data, &data);
  if (find == INVALID_HANDLE_VALUE) {
    lastError = 0;
    return 0;
  }
  do {
    const char* name = data.cFileName;
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) continue;
    if (filter && !filter->accept(RKString(name))) continue;
    RKString entry = path.endsWith('\\') ? path + name : path + "\\" + name;
    RKString full = longForm(entry.data);
    if (paths) {
      paths->addLast(full);
    } else {
      RKFile* file = newFile(full);
      if (file && !files->addLast(file)) file->release();
    }
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return 1;
}

int RKFile::listFiles(TRKList<RKFile*>* list, IRKFileFilter* filter) {
  lastError = 0;
  if (!list || !filter) {
    lastError = RKFILE_BAD_PARAMETER;
    return 0;
  }
  return listEntries(list, nullptr, filter);
}

int RKFile::listFiles(TRKList<RKFile*>* list) {
  lastError = 0;
  if (!list) {
    lastError = RKFILE_BAD_PARAMETER;
    return 0;
  }
  return listEntries(list, nullptr, nullptr);
}

int RKFile::list(TRKList<RKString>* list, IRKFileFilter* filter) {
  lastError = 0;
  if (!list || !filter) {
    lastError = RKFILE_BAD_PARAMETER;
    return 0;
  }
  return listEntries(nullptr, list, filter);
}

int RKFile::list(TRKList<RKString>* list) {
  lastError = 0;
  if (!list) {
    lastError = RKFILE_BAD_PARAMETER;
    return 0;
  }
  return listEntries(nullptr, list, nullptr);
}

int RKFile::mkdir() {
  lastError = 0;
  if (_mkdir(pathText()) != 0) {
    lastError = RKFILE_NOT_FOUND;
    return 0;
  }
  return 1;
}

int RKFile::renameTo(RKString newPath) {
  lastError = 0;
  if (::rename(pathText(), newPath.data ? newPath.data : "") != 0) {
    lastError = RKFILE_NOT_FOUND;
    return 0;
  }
  return 1;
}

int RKFile::setLastModified(RKTime* time) {
  lastError = 0;
  if (!time) {
    lastError = RKFILE_BAD_PARAMETER;
    return 0;
  }
  // The time is only read during the call, so it takes no reference: a final release here would
  // destroy a caller's time that lives on the stack or inside another object.
  int fields[8] = {time->getYear(), time->getMonth(),  time->getDayOfWeek(), time->getDay(),
                   time->getHour(), time->getMinute(), time->getSecond(),    time->getMillisecond()};
  for (int i = 0; i < 8; ++i) {
    if (i == 2) continue;  // the day of the week is ignored by the conversion
    if (fields[i] < 0 || fields[i] > 0xFFFF) return 0;
  }
  SYSTEMTIME st;
  st.wYear = (WORD)fields[0];
  st.wMonth = (WORD)fields[1];
  st.wDayOfWeek = (WORD)(fields[2] < 0 ? 0 : fields[2]);
  st.wDay = (WORD)fields[3];
  st.wHour = (WORD)fields[4];
  st.wMinute = (WORD)fields[5];
  st.wSecond = (WORD)fields[6];
  st.wMilliseconds = (WORD)fields[7];
  FILETIME ft;
  if (!SystemTimeToFileTime(&st, &ft)) return 0;
  HANDLE h = CreateFileA(pathText(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  if (h == INVALID_HANDLE_VALUE) {
    lastError = RKFILE_OPEN_FAIL;
    return 0;
  }
  if (!SetFileTime(h, NULL, NULL, &ft)) {
    CloseHandle(h);
    return 0;
  }
  if (!CloseHandle(h)) {
    lastError = RKFILE_CLOSE_FAIL;
    return 0;
  }
  return 1;
}

int RKFile::setPermissionBit(int bit, int flag) {
  lastError = 0;
  struct _stat st;
  if (_stat(pathText(), &st) != 0) {
    lastError = RKFILE_NOT_FOUND;
    return 0;
  }
  int mode = flag ? (st.st_mode | bit) : (st.st_mode & ~bit);
  if (_chmod(pathText(), mode) != 0) {
    lastError = RKFILE_NOT_FOUND;
    return 0;
  }
  return 1;
}

int RKFile::setReadable(int flag) { return setPermissionBit(_S_IREAD, flag); }

int RKFile::setWritable(int flag) { return setPermissionBit(_S_IWRITE, flag); }

RKFileStream* RKFile::openStream(int mode) {
  if (isDirectory()) return nullptr;
  RKFileStream* stream = new (std::nothrow) RKFileStream();
  if (!stream) return nullptr;
  stream->addRef();
  if (stream->open(getPath(), mode)) return stream;
  stream->release();
  return nullptr;
}

u32 RKFile::getLastError() { return lastError; }

const char* RKFile::getErrorText(u32 code) {
  switch (code) {
    case RKFILE_EXISTS:
      errorText = "File exis";
      break;
    case RKFILE_BAD_PARAMETER:
      errorText = "Paramater is wrong";
      break;
    case RKFILE_ACCESS_DENIED:
      errorText = "Access denied: file's permission setting does not allow specified access";
      break;
    case RKFILE_NOT_FOUND:
      errorText = "Filename or path not found";
      break;
    case RKFILE_NO_DESCRIPTORS:
      errorText = "No more file descriptors are available";
      break;
    case RKFILE_NAME_ERROR:
      errorText = "File name error";
      break;
    case RKFILE_OPEN_FAIL:
      errorText = "Open file fail";
      break;
    case RKFILE_CLOSE_FAIL:
      errorText = "Close file fail";
      break;
    default:
      errorText = RK_TEXT_SUCCESS;
      break;
  }
  return errorText.data;
}

RKFile* RKFile::getModuleFolder() {
  char module[MAX_PATH] = {0};
  GetModuleFileNameA(NULL, module, sizeof module);
  RKString full = longForm(module);
  int at = full.lastIndexOf('\\');
  return newFile(at > 0 ? full.substring(0, at - 1) : full);
}

int RKFile::copyFile(RKString from, RKString to) {
  return CopyFileA(from.data ? from.data : "", to.data ? to.data : "", FALSE);
}

RKFile* RKFile::getProgramFilesFolder() {
  char folder[MAX_PATH] = {0};
  DWORD n = GetEnvironmentVariableA("ProgramFiles", folder, sizeof folder);
  if (n == 0 || n >= sizeof folder) return nullptr;
  return newFile(longForm(folder));
}

}  // namespace RKSDK
