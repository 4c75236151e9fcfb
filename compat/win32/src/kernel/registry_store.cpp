#include "registry_store.h"

#include "ansi_text.h"
#include "case_fold.h"
#include "nls_internal.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <utility>

namespace rkwin {

namespace {

int foldChar(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

const char* const kRootNames[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS",
                                  "HKEY_CURRENT_CONFIG"};

const char kHeader[] = "Windows Registry Editor Version 5.00";
// The store's own file names the code page of its texts on the line after the header.
const char kCodePageLine[] = "; code page ";
// A name written in another code page than the one of the file's text comes after a line that
// names its code page ("; written in code page 1252").
const char kWrittenLine[] = "; written in code page ";
// A code page without double-byte characters: every byte a character of its own.
const unsigned kSingleByte = 1252;

std::string trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r' || s[b] == '\n')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\n')) --e;
  return s.substr(b, e - b);
}

// Splits text into logical lines: CRLF or LF, a trailing backslash continues a hex list. The
// text is in the code page, so the backslash is a character, not a second byte.
std::vector<std::string> logicalLines(const std::string& text, unsigned codePage) {
  std::vector<std::string> out;
  std::string current;
  bool continuing = false;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t nl = text.find('\n', pos);
    if (nl == std::string::npos) nl = text.size();
    std::string line = text.substr(pos, nl - pos);
    pos = nl + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string t = continuing ? trim(line) : line;
    std::string tt = trim(t);
    bool more = AnsiText(tt, codePage).endsWithOneOf("\\") && (continuing || tt.find("=hex") != std::string::npos);
    if (more) {
      tt.pop_back();
      current += continuing ? tt : t.substr(0, AnsiText(t, codePage).findLastOf("\\"));
      continuing = true;
      continue;
    }
    current += continuing ? tt : t;
    out.push_back(current);
    current.clear();
    continuing = false;
    if (nl == text.size()) break;
  }
  if (!current.empty()) out.push_back(current);
  return out;
}

// The code page whose number follows the prefix on the line ("; code page 936"), or 0 when the
// line is no such line.
unsigned codePageNamed(const std::string& line, const char* prefix) {
  const size_t length = strlen(prefix);
  if (line.compare(0, length, prefix) != 0) return 0;
  std::string digits = line.substr(length);
  if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) return 0;
  unsigned long codePage = strtoul(digits.c_str(), nullptr, 10);
  return codePage < 0x10000 ? (unsigned)codePage : 0;
}

// The code page that the line after the header names, or 0 when there is no such line. `from`
// is where the header line begins.
unsigned declaredCodePage(const std::string& text, size_t from) {
  size_t start = text.find('\n', from);
  if (start == std::string::npos) return 0;
  ++start;
  size_t end = text.find('\n', start);
  return codePageNamed(trim(text.substr(start, end == std::string::npos ? std::string::npos : end - start)),
                       kCodePageLine);
}

// Reads a quoted .reg string starting at s[i] == '"'; sets i past the closing quote. A
// double-byte character is taken whole: its second byte neither escapes nor ends the text.
bool readQuoted(const std::string& s, size_t& i, std::string* out, unsigned codePage) {
  if (i >= s.size() || s[i] != '"') return false;
  ++i;
  out->clear();
  AnsiText text(s, codePage);
  while (i < s.size()) {
    char c = s[i];
    if (c == '"') {
      ++i;
      return true;
    }
    if (c == '\\' && i + 1 < s.size()) ++i;
    size_t n = text.charLength(i);
    if (n == 1 && c == '\\' && s[i] == 'n')
      out->push_back('\n');
    else if (n == 1 && c == '\\' && s[i] == 'r')
      out->push_back('\r');
    else if (n == 1 && c == '\\' && s[i] == 't')
      out->push_back('\t');
    else
      out->append(s, i, n);  // a character as it is; \\, \" and other escapes stand for it
    i += n;
  }
  return false;
}

bool parseHexBytes(const std::string& s, std::vector<BYTE>* out) {
  out->clear();
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == ',')) ++i;
    if (i >= s.size()) break;
    if (!isxdigit((unsigned char)s[i])) return false;
    unsigned v = 0;
    int digits = 0;
    while (i < s.size() && isxdigit((unsigned char)s[i]) && digits < 2) {
      char c = s[i++];
      v = v * 16 + (isdigit((unsigned char)c) ? c - '0' : foldChar((unsigned char)c) - 'a' + 10);
      ++digits;
    }
    if (i < s.size() && isxdigit((unsigned char)s[i])) return false;
    out->push_back((BYTE)v);
  }
  return true;
}

// Parses the right-hand side of a value line. Returns false for a malformed value.
bool parseValueData(const std::string& rhs, unsigned codePage, bool* remove, RegValue* v) {
  *remove = false;
  std::string r = trim(rhs);
  if (r == "-") {
    *remove = true;
    return true;
  }
  if (!r.empty() && r[0] == '"') {
    size_t i = 0;
    std::string text;
    if (!readQuoted(r, i, &text, codePage)) return false;
    v->type = REG_SZ;
    v->data.assign(text.begin(), text.end());
    v->data.push_back(0);
    return true;
  }
  if (r.compare(0, 6, "dword:") == 0) {
    std::string digits = trim(r.substr(6));
    if (digits.empty() || digits.size() > 8) return false;
    for (char c : digits)
      if (!isxdigit((unsigned char)c)) return false;
    DWORD d = (DWORD)strtoul(digits.c_str(), nullptr, 16);
    v->type = REG_DWORD;
    v->data = {(BYTE)d, (BYTE)(d >> 8), (BYTE)(d >> 16), (BYTE)(d >> 24)};
    return true;
  }
  if (r.compare(0, 4, "hex:") == 0) {
    v->type = REG_BINARY;
    return parseHexBytes(r.substr(4), &v->data);
  }
  if (r.compare(0, 4, "hex(") == 0) {
    size_t close = r.find("):");
    if (close == std::string::npos) return false;
    std::string t = r.substr(4, close - 4);
    if (t.empty() || t.size() > 8) return false;
    for (char c : t)
      if (!isxdigit((unsigned char)c)) return false;
    v->type = (DWORD)strtoul(t.c_str(), nullptr, 16);
    return parseHexBytes(r.substr(close + 2), &v->data);
  }
  return false;
}

// Escapes each backslash and quote character, and writes line breaks as \n and \r, which the
// reader turns back; double-byte characters stay as they are.
std::string escapeText(const std::string& text, unsigned codePage) {
  std::string out;
  AnsiText chars(text, codePage);
  for (size_t i = 0; i < text.size();) {
    size_t n = chars.charLength(i);
    if (n == 1 && (text[i] == '\n' || text[i] == '\r')) {
      out += text[i] == '\n' ? "\\n" : "\\r";
    } else {
      if (n == 1 && (text[i] == '\\' || text[i] == '"')) out.push_back('\\');
      out.append(text, i, n);
    }
    i += n;
  }
  return out;
}

std::string quoted(const std::string& text, unsigned codePage) { return "\"" + escapeText(text, codePage) + "\""; }

// A REG_SZ is written as text only when it reads back the same: terminated, no inner zero,
// no line breaks, and every byte read back as written. A lead byte that stands alone before a
// quote does not: the escape of the quote would read as its second byte.
bool writableAsText(const RegValue& v, unsigned codePage) {
  if (v.type != REG_SZ || v.data.empty() || v.data.back() != 0) return false;
  for (size_t i = 0; i + 1 < v.data.size(); ++i)
    if (v.data[i] == 0 || v.data[i] == '\n' || v.data[i] == '\r') return false;
  std::string text(v.data.begin(), v.data.end() - 1), line = quoted(text, codePage), back;
  size_t end = 0;
  return readQuoted(line, end, &back, codePage) && end == line.size() && back == text;
}

// True when the name's code page tells what it is: ASCII names are the same in every one.
bool hasCodePage(const std::string& name) { return !rkwin_is_ascii(name.data(), name.size()); }

// Two names of the same bytes are the same name when written in the same code page.
bool sameName(const std::string& a, unsigned codePageA, const std::string& b, unsigned codePageB) {
  return a == b && (codePageA == codePageB || !hasCodePage(a));
}

void appendHex(std::string& out, const std::vector<BYTE>& data) {
  char buf[4];
  for (size_t i = 0; i < data.size(); ++i) {
    snprintf(buf, sizeof buf, "%02x", data[i]);
    if (i) out += ',';
    out += buf;
  }
}

}  // namespace

RegValue* RegKey::findByKey(const std::string& name, const std::string& key) {
  for (auto& v : values)
    if (v.key == key) return &v;
  for (auto& v : values)
    if (v.name == name) return &v;
  return nullptr;
}

RegValue* RegKey::find(const std::string& name, unsigned codePage) {
  return findByKey(name, CaseFold::nameKey(name, codePage));
}

RegValue& RegKey::findOrAdd(const std::string& name, unsigned codePage) {
  if (!codePage) codePage = rkwin_acp();
  std::string key = CaseFold::nameKey(name, codePage);
  if (RegValue* existing = findByKey(name, key)) return *existing;
  RegValue value;
  value.name = name;
  value.codePage = codePage;
  value.key = std::move(key);
  values.push_back(std::move(value));
  return values.back();
}

const char* rootName(HKEY root) {
  const HKEY roots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_CONFIG};
  for (size_t i = 0; i < sizeof roots / sizeof roots[0]; ++i)
    if (root == roots[i]) return kRootNames[i];
  return nullptr;
}

bool canonicalRoot(const std::string& name, std::string* canonical) {
  for (const char* r : kRootNames) {
    if (name.size() == strlen(r) && strncasecmp(name.c_str(), r, name.size()) == 0) {
      *canonical = r;
      return true;
    }
  }
  return false;
}

RegKey* RegStore::find(const std::string& path, unsigned codePage) {
  auto it = keys_.find(CaseFold::nameKey(path, codePage));
  if (it != keys_.end()) return &it->second;
  auto same = bytes_.find(path);
  return same == bytes_.end() ? nullptr : &keys_.at(same->second);
}

RegKey& RegStore::insert(const std::string& path, unsigned codePage) {
  const std::string key = CaseFold::nameKey(path, codePage);
  auto placed = keys_.emplace(key, RegKey());
  RegKey& stored = placed.first->second;
  if (placed.second) {
    stored.path = path;
    stored.codePage = codePage;
    bytes_.emplace(path, key);
  }
  return stored;
}

void RegStore::erase(const std::string& key) {
  auto it = keys_.find(key);
  if (it == keys_.end()) return;
  auto same = bytes_.find(it->second.path);
  if (same != bytes_.end() && same->second == key) bytes_.erase(same);
  keys_.erase(it);
}

RegKey* RegStore::create(const std::string& path, bool* created) {
  if (created) *created = false;
  const unsigned codePage = rkwin_acp();
  RegKey* existing = find(path, codePage);
  if (existing) return existing;
  // Every key above is created too; the root itself is never stored.
  AnsiText chars(path, codePage);
  bool belowRoot = false;
  for (size_t i = 0; i < path.size(); i += chars.charLength(i)) {
    if (path[i] != '\\') continue;
    std::string parent = path.substr(0, i);
    if (belowRoot && !find(parent, codePage)) insert(parent, codePage);
    belowRoot = true;
  }
  if (created) *created = true;
  return &insert(path, codePage);
}

// A key is below another when a path above it, read in its own code page, names that other
// key: by its characters (then the name keys start alike), or by its bytes where no key has its
// characters.
std::vector<std::string> RegStore::below(const std::string& key, const std::string& path) const {
  std::vector<std::string> found;
  const std::string prefix = key + CaseFold::nameKey("\\", 0);
  for (auto it = keys_.lower_bound(prefix); it != keys_.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it)
    found.push_back(it->first);
  const std::string start = path + "\\";
  for (auto it = bytes_.lower_bound(start); it != bytes_.end() && it->first.compare(0, start.size(), start) == 0;
       ++it) {
    const RegKey& other = keys_.at(it->second);
    // The backslash must be a character of the other key's code page, not a second byte.
    AnsiText chars(other.path, other.codePage);
    size_t i = 0;
    while (i < path.size()) i += chars.charLength(i);
    if (i != path.size()) continue;
    auto named = keys_.find(CaseFold::nameKey(path, other.codePage));
    if ((named == keys_.end() || named->first == key) && it->second.compare(0, prefix.size(), prefix) != 0)
      found.push_back(it->second);
  }
  return found;
}

bool RegStore::hasSubkeys(const RegKey& key) const {
  return !below(CaseFold::nameKey(key.path, key.codePage), key.path).empty();
}

void RegStore::removeKey(const RegKey& key) { erase(CaseFold::nameKey(key.path, key.codePage)); }

void RegStore::removeTree(const std::string& path, unsigned codePage) {
  const RegKey* top = find(path, codePage);
  std::vector<std::pair<std::string, std::string>> work;  // name key and path of a removed key
  work.emplace_back(top ? CaseFold::nameKey(top->path, top->codePage) : CaseFold::nameKey(path, codePage),
                    top ? top->path : path);
  erase(work.back().first);
  while (!work.empty()) {
    const std::pair<std::string, std::string> removed = work.back();
    work.pop_back();
    for (const std::string& key : below(removed.first, removed.second)) {
      auto it = keys_.find(key);
      if (it == keys_.end()) continue;
      work.emplace_back(key, it->second.path);
      erase(key);
    }
  }
}

bool RegStore::importText(const std::string& input) {
  std::string text = input;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  size_t headerAt = text.find_first_not_of(" \t\r\n");
  if (headerAt == std::string::npos) return true;  // empty text: nothing to import
  headerAt = text.rfind('\n', headerAt);
  headerAt = headerAt == std::string::npos ? 0 : headerAt + 1;
  // The store's own file is read in the code page it names, whatever the reader's; other .reg
  // text is in the active code page.
  const unsigned declared = declaredCodePage(text, headerAt);
  const unsigned codePage = declared ? declared : rkwin_acp();
  std::vector<std::string> lines = logicalLines(text.substr(headerAt), codePage);
  std::string header = trim(lines[0]);
  if (header != "REGEDIT4" && header != kHeader) return false;
  RegKey* current = nullptr;
  unsigned written = 0;  // the code page a line of the store's own file names for the next name
  for (size_t i = 1; i < lines.size(); ++i) {
    std::string line = trim(lines[i]);
    if (line.empty()) continue;
    if (line[0] == ';') {
      if (declared) written = codePageNamed(line, kWrittenLine);
      continue;
    }
    const unsigned nameCodePage = written ? written : codePage;
    written = 0;
    if (line[0] == '[') {
      current = nullptr;
      std::string path;
      if (declared) {
        // The store's own file: the path is every byte up to the bracket that ends the line,
        // kept as it is, so that a name ending in a lone lead byte keeps it. The file lists every
        // key, the ones above included.
        if (line.size() < 2 || line.back() != ']') continue;
        path = line.substr(1, line.size() - 2);
      } else {
        size_t close = AnsiText(line, codePage).findLastOf("]");
        if (close == std::string::npos) continue;
        path = line.substr(1, close - 1);
      }
      bool remove = !path.empty() && path[0] == '-';
      if (remove) path.erase(0, 1);
      if (!declared) path.resize(AnsiText(path, codePage).trimmedEnd('\\'));
      size_t sep = AnsiText(path, codePage).findFirstOf("\\");
      std::string root;
      if (!canonicalRoot(path.substr(0, sep), &root)) continue;  // unknown root: section skipped
      if (sep == std::string::npos) continue;                    // a root itself is not a key
      std::string full = root + path.substr(sep);
      if (remove) {
        removeTree(full, nameCodePage);
      } else if (declared) {
        current = &insert(full, nameCodePage);
      } else {
        current = create(full, nullptr);
      }
      continue;
    }
    if (!current) continue;
    std::string name;
    size_t pos = 0;
    if (line[0] == '@') {
      pos = 1;
    } else if (!readQuoted(line, pos, &name, codePage)) {
      continue;
    }
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    if (pos >= line.size() || line[pos] != '=') continue;
    RegValue value;
    bool remove = false;
    if (!parseValueData(line.substr(pos + 1), codePage, &remove, &value)) continue;
    if (remove) {
      RegValue* existing = current->find(name, nameCodePage);
      if (existing) current->values.erase(current->values.begin() + (existing - current->values.data()));
    } else {
      RegValue& stored = current->findOrAdd(name, nameCodePage);
      stored.type = value.type;
      stored.data = std::move(value.data);
    }
  }
  return true;
}

bool RegStore::exportText(std::string* out) const {
  // Texts in the active code page where they read back so, else every byte a character: a
  // value name with a lone lead byte before a quote has no other form.
  const unsigned active = rkwin_acp();
  for (unsigned codePage : {active, kSingleByte}) {
    *out = textIn(codePage);
    RegStore back;
    if (back.importText(*out) && back.sameAs(*this)) return true;
    if (codePage == kSingleByte) break;
  }
  out->clear();
  return false;
}

bool RegStore::sameAs(const RegStore& other) const {
  if (keys_.size() != other.keys_.size()) return false;
  for (auto a = keys_.begin(), b = other.keys_.begin(); a != keys_.end(); ++a, ++b) {
    const RegKey &x = a->second, &y = b->second;
    if (!sameName(x.path, x.codePage, y.path, y.codePage) || x.values.size() != y.values.size()) return false;
    for (size_t i = 0; i < x.values.size(); ++i) {
      const RegValue &v = x.values[i], &w = y.values[i];
      if (!sameName(v.name, v.codePage, w.name, w.codePage) || v.type != w.type || v.data != w.data) return false;
    }
  }
  return true;
}

std::string RegStore::textIn(unsigned codePage) const {
  std::string out = std::string(kHeader) + "\n" + kCodePageLine + std::to_string(codePage) + "\n";
  for (const auto& entry : keys_) {
    const RegKey& key = entry.second;
    out += "\n";
    if (key.codePage != codePage && hasCodePage(key.path)) out += kWrittenLine + std::to_string(key.codePage) + "\n";
    out += "[" + key.path + "]\n";
    for (const RegValue& v : key.values) {
      if (v.codePage != codePage && hasCodePage(v.name)) out += kWrittenLine + std::to_string(v.codePage) + "\n";
      out += v.name.empty() ? std::string("@") : quoted(v.name, codePage);
      out += '=';
      if (writableAsText(v, codePage)) {
        out += quoted(std::string(v.data.begin(), v.data.end() - 1), codePage);
      } else if (v.type == REG_DWORD && v.data.size() == 4) {
        char buf[16];
        DWORD d = v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) | ((DWORD)v.data[3] << 24);
        snprintf(buf, sizeof buf, "dword:%08x", d);
        out += buf;
      } else if (v.type == REG_BINARY) {
        out += "hex:";
        appendHex(out, v.data);
      } else {
        char buf[24];
        snprintf(buf, sizeof buf, "hex(%x):", v.type);
        out += buf;
        appendHex(out, v.data);
      }
      out += '\n';
    }
  }
  return out;
}

}  // namespace rkwin
