#include "folder_index.h"

#include "case_fold.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

namespace rkwin {

namespace {

bool before(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

}  // namespace

bool FolderIndex::Stamp::operator==(const Stamp& other) const {
  return dev == other.dev && ino == other.ino && mtime.tv_sec == other.mtime.tv_sec &&
         mtime.tv_nsec == other.mtime.tv_nsec && ctime.tv_sec == other.ctime.tv_sec &&
         ctime.tv_nsec == other.ctime.tv_nsec && size == other.size && links == other.links;
}

FolderIndex::FolderIndex(size_t capacity) : capacity(capacity ? capacity : 1) {}

FolderIndex& FolderIndex::shared() {
  static FolderIndex* index = new FolderIndex();  // never destroyed: used until the process ends
  return *index;
}

FolderIndex::Stamp FolderIndex::stampOf(const struct stat& st) {
  Stamp s;
  s.dev = st.st_dev;
  s.ino = st.st_ino;
  s.mtime = st.st_mtim;
  s.ctime = st.st_ctim;
  s.size = st.st_size;
  s.links = st.st_nlink;
  return s;
}

std::string FolderIndex::fold(const std::string& name) { return CaseFold::upperUtf8(name); }

void FolderIndex::add(Folder& folder, const std::string& name) {
  std::vector<std::string>& spellings = folder.names[fold(name)];
  if (std::find(spellings.begin(), spellings.end(), name) == spellings.end()) spellings.push_back(name);
}

void FolderIndex::remove(Folder& folder, const std::string& name) {
  auto it = folder.names.find(fold(name));
  if (it == folder.names.end()) return;
  std::vector<std::string>& spellings = it->second;
  spellings.erase(std::remove(spellings.begin(), spellings.end(), name), spellings.end());
  if (spellings.empty()) folder.names.erase(it);
}

bool FolderIndex::build(const std::string& path, Folder& folder) {
  int fd = open(path.empty() ? "/" : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  ++listings;
  // The stamp is taken before the listing: a change during it shows as a newer stamp later,
  // unless it falls in the tick of the stamp's own times.
  struct timespec now;
  clock_gettime(CLOCK_REALTIME_COARSE, &now);
  struct stat st;
  if (fstat(fd, &st) != 0) {
    int err = errno;
    close(fd);
    errno = err;
    return false;
  }
  folder.path = path;
  folder.stamp = stampOf(st);
  folder.fresh = !before(st.st_mtim, now) || !before(st.st_ctim, now);
  folder.names.clear();
  alignas(struct dirent64) char block[32768];
  ssize_t n;
  while ((n = getdents64(fd, block, sizeof block)) > 0) {
    for (ssize_t at = 0; at < n;) {
      const struct dirent64* e = reinterpret_cast<const struct dirent64*>(block + at);
      at += e->d_reclen;
      if (e->d_name[0] == '.' && (!e->d_name[1] || (e->d_name[1] == '.' && !e->d_name[2]))) continue;
      add(folder, e->d_name);
    }
  }
  close(fd);
  return true;
}

FolderIndex::Result FolderIndex::find(const std::string& path, const std::string& name, std::string& found) {
  std::lock_guard<std::mutex> lock(mutex);
  struct stat st;
  if (stat(path.empty() ? "/" : path.c_str(), &st) != 0) return Result::NoFolder;
  if (!S_ISDIR(st.st_mode)) {
    errno = ENOTDIR;
    return Result::NoFolder;
  }
  auto known = byPath.find(path);
  Entries::iterator folder;
  if (known != byPath.end()) {
    folder = known->second;
    entries.splice(entries.begin(), entries, folder);
    if ((folder->fresh || !(folder->stamp == stampOf(st))) && !build(path, *folder)) {
      int err = errno;
      byPath.erase(known);
      entries.erase(folder);
      errno = err;
      return Result::NoFolder;
    }
  } else {
    Folder fresh;
    if (!build(path, fresh)) return Result::NoFolder;
    entries.push_front(std::move(fresh));
    folder = entries.begin();
    byPath[path] = folder;
    if (entries.size() > capacity) {
      byPath.erase(entries.back().path);
      entries.pop_back();
    }
  }
  errno = ENOENT;
  auto match = folder->names.find(fold(name));
  if (match == folder->names.end() || match->second.empty()) return Result::Missing;
  found = match->second.front();
  return Result::Found;
}

void FolderIndex::noteChanged(const std::string& path, bool exists) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos || slash + 1 == path.size()) return;
  std::string parent = path.substr(0, slash);
  std::string name = path.substr(slash + 1);
  int err = errno;  // callers report their own call's errno
  std::lock_guard<std::mutex> lock(mutex);
  auto known = byPath.find(parent);
  if (known != byPath.end()) {
    Folder& folder = *known->second;
    if (exists)
      add(folder, name);
    else
      remove(folder, name);
    struct stat st;
    if (stat(parent.empty() ? "/" : parent.c_str(), &st) == 0) {
      folder.stamp = stampOf(st);
      folder.fresh = false;
    } else {
      entries.erase(known->second);
      byPath.erase(known);
    }
  }
  errno = err;
}

size_t FolderIndex::folderCount() {
  std::lock_guard<std::mutex> lock(mutex);
  return entries.size();
}

size_t FolderIndex::listingCount() {
  std::lock_guard<std::mutex> lock(mutex);
  return listings;
}

}  // namespace rkwin
