// The registry store of a prefix: keys by full path ("HKEY_CLASSES_ROOT\.png"), compared without
// regard to the case of their letters and kept with the case they were created with.
#ifndef RKWIN_REGISTRY_STORE_H
#define RKWIN_REGISTRY_STORE_H

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace rkwin {

struct CaseLess {
  bool operator()(const std::string& a, const std::string& b) const;
};

bool equalsNoCase(const std::string& a, const std::string& b);

struct RegValue {
  std::string name;  // "" is the key's default value
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

struct RegKey {
  std::string path;  // full path as created
  std::vector<RegValue> values;
  RegValue* find(const std::string& name);
};

class RegStore {
 public:
  RegKey* find(const std::string& path);
  // Creates the key and every missing key above it; returns the key and whether it was new.
  RegKey* create(const std::string& path, bool* created);
  bool hasSubkeys(const std::string& path) const;
  void removeKey(const std::string& path);
  // Removes the key and everything below it.
  void removeTree(const std::string& path);

  // Applies .reg text to the store. False when the header is missing. Text in the store's own
  // form (a code-page line after the header) is read in the code page it names and its keys
  // are taken exactly as listed; other text is read in the active code page.
  bool importText(const std::string& text);
  // The store as .reg text in its own form, checked to read back as this same store, byte for
  // byte, in any process. False when some text has no such form (a key name with a line break).
  bool exportText(std::string* out) const;

 private:
  std::string textIn(unsigned codePage) const;
  bool sameAs(const RegStore& other) const;

  std::map<std::string, RegKey, CaseLess> keys_;
};

// Root key names as .reg text writes them; null for a handle that is no predefined root.
const char* rootName(HKEY root);
// Accepts the full root names of .reg text; returns false for an unknown root.
bool canonicalRoot(const std::string& name, std::string* canonical);

}  // namespace rkwin

#endif
