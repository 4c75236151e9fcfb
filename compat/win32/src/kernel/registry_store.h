// The registry store of a prefix: a tree of keys below the predefined roots. A key path is a list
// of names, and every name (of a key or of a value) is kept with the bytes and the case it was
// written with and with the code page of the process that wrote it: a name is its characters in
// that code page. A byte that is no character of its code page (a lone lead byte, an undefined
// 1252 byte) stays that byte of that code page, equal only to itself. Every call finds a name by
// its characters, compared by simple upper case, so that a create, set or delete never reaches a
// name of other characters, whatever their bytes; each name of a path keeps its own characters,
// so a key made by one code page below a key of another is below that key. Reading finds names
// the same way: a name of other characters is not found, whatever its bytes.
#ifndef RKWIN_REGISTRY_STORE_H
#define RKWIN_REGISTRY_STORE_H

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace rkwin {

// A name of a key or a value as written.
struct RegName {
  RegName() = default;
  // Bytes in the code page given (a resolved number, or 0 for the active one).
  RegName(std::string bytes, unsigned codePage);

  std::string bytes;
  unsigned codePage = 0;
  std::string key;  // CaseFold::nameKey of the bytes in the code page: equal for the same characters
};

// A key path: the canonical name of its root ("HKEY_CURRENT_USER"), then the names below it.
struct RegPath {
  std::string root;
  std::vector<RegName> names;

  // Appends the names of a path in the code page (0: the active one) as the calls split it: at
  // every backslash that is a character of the code page (a lead byte before 0x5C makes one
  // character with it), repeated, leading and trailing separators counting as one or none.
  void append(const std::string& text, unsigned codePage = 0);
  // True within Windows' bounds: no name of more than 255 characters, no more than 512 levels.
  bool withinBounds() const;
};

struct RegValue {
  RegName name;  // "" is the key's default value
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

struct RegKey {
  RegName name;                                             // a root's own name for a root
  RegKey* parent = nullptr;                                 // null for a root
  std::map<std::string, std::unique_ptr<RegKey>> children;  // by name key
  std::vector<RegValue> values;

  // The value of that name, written in the code page (0: the active one), by its characters;
  // null when none.
  RegValue* find(const std::string& name, unsigned codePage = 0);
  // The value of that name as find gives it, else a new one without type or data.
  RegValue& findOrAdd(const std::string& name, unsigned codePage = 0);
  void removeValue(RegValue* value);
  // The child of that name by its characters; null when none.
  RegKey* child(const RegName& name);
};

class RegStore {
 public:
  // The key of that path by the characters of its names; null when none.
  RegKey* find(const RegPath& path);
  // The key of that path, created with every missing key above it (each new name as written, in
  // its own code page); whether it was new. Null when the path names no key below a root. The
  // bounds are the caller's to keep.
  RegKey* create(const RegPath& path, bool* created);
  // Removes the key with everything below it.
  void remove(RegKey* key);
  // The path of a stored key, its names as stored.
  static RegPath pathOf(const RegKey& key);

  // Applies .reg text to the store. False when the header is missing, or when the text names a
  // real code page the stand-in does not take (foreignCodePage). Text in the store's own form (a
  // code-page line after the header) is read in the code page it names, its names taken as written
  // in that code page unless a line before them names another; other text is read in the active
  // code page. Sections beyond the bounds are skipped with their values, except in the store's
  // own file (`storeFile`), whose keys are all kept.
  bool importText(const std::string& text, bool storeFile = false);
  // The code page that made the last importText fail, or 0.
  unsigned foreignCodePage() const { return foreignCodePage_; }
  // The store as .reg text in its own form, checked to read back as this same store, byte for
  // byte, in any process. False when some text has no such form (a key name with a line break).
  bool exportText(std::string* out) const;

 private:
  RegKey& root(const std::string& name);
  std::string textIn(unsigned codePage) const;
  bool sameAs(const RegStore& other) const;

  std::map<std::string, RegKey> roots_;  // by canonical root name; a root itself is no stored key
  unsigned foreignCodePage_ = 0;
};

// Root key names as .reg text writes them; null for a handle that is no predefined root.
const char* rootName(HKEY root);
// Accepts the full root names of .reg text; returns false for an unknown root.
bool canonicalRoot(const std::string& name, std::string* canonical);

}  // namespace rkwin

#endif
