// Case-insensitive name lookup in host folders through a cached index per folder.
//
// Each indexed folder maps the folded spelling of every name in it (every letter in upper case,
// as CaseFold maps it) to its spellings on disk, in listing order. An index is trusted only
// while the folder's identity (device, inode) and its change stamps (modification and change
// times, size, link count) are those seen when it was built; a change by another process shows
// there and the folder is listed again on the next lookup. Changes this process makes through
// the file calls are noted as they happen, so that creating many names in one folder lists it
// once.
// Folder times move in clock ticks of a few milliseconds: a folder listed in the tick of its
// last change is listed again on the next lookup.
// The most recently used folders are kept (64 by default), the others dropped.
#ifndef RKWIN_FOLDER_INDEX_H
#define RKWIN_FOLDER_INDEX_H

#include <sys/stat.h>

#include <cstddef>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace rkwin {

class FolderIndex {
 public:
  enum class Result { Found, Missing, NoFolder };

  explicit FolderIndex(size_t capacity = 64);

  // Looks in host folder `folder` ("" for "/") for an entry whose name equals `name` but for
  // the case of its letters: Found with its name on disk in `found` (the first in listing
  // order where several match), Missing, or NoFolder when the folder cannot be listed (errno
  // tells why).
  Result find(const std::string& folder, const std::string& name, std::string& found);

  // This process has just created (`exists`) or removed host path `path` (absolute, no
  // trailing slash; a rename is both): the index of its folder, if there is one, learns it.
  void noteChanged(const std::string& path, bool exists);

  // Number of folders indexed now, and of listings made since construction.
  size_t folderCount();
  size_t listingCount();

  // The index the file calls of this process share.
  static FolderIndex& shared();

 private:
  struct Stamp {
    dev_t dev = 0;
    ino_t ino = 0;
    struct timespec mtime = {0, 0};
    struct timespec ctime = {0, 0};
    off_t size = 0;
    nlink_t links = 0;
    bool operator==(const Stamp& other) const;
  };
  struct Folder {
    std::string path;
    Stamp stamp;
    // Listed in the same clock tick as its last change: a further change in that tick would
    // leave the same times, so the stamp alone cannot vouch for the index.
    bool fresh = false;
    std::unordered_map<std::string, std::vector<std::string>> names;  // folded -> spellings
  };
  using Entries = std::list<Folder>;

  static Stamp stampOf(const struct stat& st);
  static std::string fold(const std::string& name);
  // Lists `path` into a new index; false when it cannot be listed.
  bool build(const std::string& path, Folder& folder);
  void add(Folder& folder, const std::string& name);
  void remove(Folder& folder, const std::string& name);

  std::mutex mutex;
  size_t capacity;
  size_t listings = 0;
  Entries entries;  // most recently used first
  std::unordered_map<std::string, Entries::iterator> byPath;
};

}  // namespace rkwin

#endif
