// The registry store of a prefix: keys by full path ("HKEY_CLASSES_ROOT\.png"), kept with the
// bytes and the case they were created with. Every key path and value name remembers the code
// page it was written in: a name is its characters in that code page, so that names written in
// different code pages are never taken for one another by a process whose code page reads their
// bytes differently. A name asked for is the stored one of the same characters but for case;
// failing that, the one of the same bytes (a name reaches the process that wrote it, and any
// other, by its bytes).
#ifndef RKWIN_REGISTRY_STORE_H
#define RKWIN_REGISTRY_STORE_H

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace rkwin {

struct RegValue {
  std::string name;  // "" is the key's default value
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  unsigned codePage = 0;  // the code page of the name
  std::string key;        // the name's CaseFold::nameKey
};

struct RegKey {
  std::string path;       // full path as created
  unsigned codePage = 0;  // the code page of the path
  std::vector<RegValue> values;

  // The value of that name, written in the code page (0: the active one); null when none.
  RegValue* find(const std::string& name, unsigned codePage = 0);
  // The value of that name as find gives it, else a new one without type or data.
  RegValue& findOrAdd(const std::string& name, unsigned codePage = 0);

 private:
  // The value whose name key is key, else the one of the same bytes; null when none.
  RegValue* findByKey(const std::string& name, const std::string& key);
};

class RegStore {
 public:
  // The key of that path, written in the code page (0: the active one); null when none.
  RegKey* find(const std::string& path, unsigned codePage = 0);
  // Creates the key and every missing key above it, in the active code page; returns the key
  // and whether it was new.
  RegKey* create(const std::string& path, bool* created);
  bool hasSubkeys(const RegKey& key) const;
  void removeKey(const RegKey& key);
  // Removes the key of that path and everything below it.
  void removeTree(const std::string& path, unsigned codePage);

  // Applies .reg text to the store. False when the header is missing. Text in the store's own
  // form (a code-page line after the header) is read in the code page it names, its names taken
  // as written in that code page unless a line before them names another, and its keys exactly
  // as listed; other text is read in the active code page.
  bool importText(const std::string& text);
  // The store as .reg text in its own form, checked to read back as this same store, byte for
  // byte, in any process. False when some text has no such form (a key name with a line break).
  bool exportText(std::string* out) const;

 private:
  RegKey& insert(const std::string& path, unsigned codePage);
  void erase(const std::string& key);
  // The name keys of the stored keys below the key of that name key and path.
  std::vector<std::string> below(const std::string& key, const std::string& path) const;
  std::string textIn(unsigned codePage) const;
  bool sameAs(const RegStore& other) const;

  std::map<std::string, RegKey> keys_;        // by the name key of the path
  std::map<std::string, std::string> bytes_;  // path bytes -> name key
};

// Root key names as .reg text writes them; null for a handle that is no predefined root.
const char* rootName(HKEY root);
// Accepts the full root names of .reg text; returns false for an unknown root.
bool canonicalRoot(const std::string& name, std::string* canonical);

}  // namespace rkwin

#endif
