#include "registry_store.h"

#include "ansi_text.h"
#include "case_fold.h"
#include "nls_internal.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <algorithm>
#include <functional>
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
// A key whose path does not read back as its names in one code page (names of several code pages,
// a name ending in a lone lead byte before a separator) comes after a line that gives the code
// page and the length in bytes of each name below the root ("; names written in code pages
// 1252:4 936:2").
const char kNamesLine[] = "; names written in code pages ";
// A code page without double-byte characters: every byte a character of its own.
const unsigned kSingleByte = 1252;
// Windows' bounds: characters of a key name (UTF-16 units), levels of keys below a root.
const size_t kMaxNameLength = 255;
const size_t kMaxDepth = 512;

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

// The number that a store line's digits spell, or 0 when they spell none below 0x10000.
unsigned numberOf(const std::string& digits) {
  if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) return 0;
  unsigned long number = strtoul(digits.c_str(), nullptr, 10);
  return number < 0x10000 ? (unsigned)number : 0;
}

// The code page of a number in a store line: 0 unless it is one the stand-in handles, so that a
// number such as 1 or 3 (the OEM and thread code pages of the conversions) never stands for the
// reader's code page.
unsigned handledCodePage(const std::string& digits) {
  const unsigned codePage = numberOf(digits);
  return rkwin_handled_codepage((UINT)codePage) ? codePage : 0;
}

// A real code page (one the host's conversions have, not one of the numbers 0 to 3 that stand for
// the reader's) that the stand-in does not step and fold; 0 for any other number. A store whose
// lines name one was written by a version that took it, and cannot be read without changing the
// names it holds.
unsigned foreignCodePage(const std::string& digits) {
  const unsigned codePage = numberOf(digits);
  if (codePage <= 3 || rkwin_handled_codepage((UINT)codePage)) return 0;
  return rkwin_resolve_codepage((UINT)codePage) == codePage ? codePage : 0;
}

// Whether the line begins with the prefix; `rest` is what follows it.
bool startsWith(const std::string& line, const char* prefix, std::string* rest) {
  const size_t length = strlen(prefix);
  if (line.compare(0, length, prefix) != 0) return false;
  *rest = line.substr(length);
  return true;
}

// The foreign code page (above) that a line of the store's own file names, or 0.
unsigned foreignCodePageOf(const std::string& line) {
  std::string rest;
  for (const char* prefix : {kCodePageLine, kWrittenLine})
    if (startsWith(line, prefix, &rest)) return foreignCodePage(rest);
  if (!startsWith(line, kNamesLine, &rest)) return 0;
  for (size_t i = 0; i < rest.size();) {
    size_t end = rest.find(' ', i);
    if (end == std::string::npos) end = rest.size();
    const std::string entry = rest.substr(i, end - i);
    i = end + 1;
    if (unsigned foreign = foreignCodePage(entry.substr(0, entry.find(':')))) return foreign;
  }
  return 0;
}

// The code page whose number follows the prefix on the line ("; code page 936"), or 0 when the
// line is no such line or names a code page the stand-in does not handle.
unsigned codePageNamed(const std::string& line, const char* prefix) {
  std::string rest;
  return startsWith(line, prefix, &rest) ? handledCodePage(rest) : 0;
}

// The names of the path below the root (`rest`) as a names line gives them; false when the line is
// no such line, names a code page the stand-in does not handle, or does not fit the path.
bool spelledNames(const std::string& line, const std::string& rest, std::vector<RegName>* names) {
  const size_t length = strlen(kNamesLine);
  if (line.compare(0, length, kNamesLine) != 0) return false;
  std::vector<RegName> out;
  size_t at = 0;  // in rest
  for (size_t i = length; i < line.size();) {
    size_t end = line.find(' ', i);
    if (end == std::string::npos) end = line.size();
    const std::string entry = line.substr(i, end - i);
    i = end + 1;
    if (entry.empty()) continue;
    const size_t colon = entry.find(':');
    const unsigned codePage = colon == std::string::npos ? 0 : handledCodePage(entry.substr(0, colon));
    const std::string digits = colon == std::string::npos ? std::string() : entry.substr(colon + 1);
    if (!codePage || digits.empty() || digits.size() > 7 || digits.find_first_not_of("0123456789") != std::string::npos)
      return false;
    const size_t bytes = strtoul(digits.c_str(), nullptr, 10);
    if (!out.empty()) {
      if (at >= rest.size() || rest[at] != '\\') return false;
      ++at;
    }
    if (bytes == 0 || bytes > rest.size() - at) return false;
    out.emplace_back(rest.substr(at, bytes), codePage);
    at += bytes;
  }
  if (out.empty() || at != rest.size()) return false;
  *names = std::move(out);
  return true;
}

// The line after the header, trimmed; `from` is where the header line begins.
std::string lineAfterHeader(const std::string& text, size_t from) {
  size_t start = text.find('\n', from);
  if (start == std::string::npos) return std::string();
  ++start;
  size_t end = text.find('\n', start);
  return trim(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
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
bool sameName(const RegName& a, const RegName& b) {
  return a.bytes == b.bytes && (a.codePage == b.codePage || !hasCodePage(a.bytes));
}

// Characters of a name as Windows counts them: UTF-16 units, a byte that is no character one.
size_t nameLength(const RegName& name) {
  size_t units = 0;
  for (size_t i = 0; i + 4 <= name.key.size(); i += 4) {
    const uint32_t unit = (uint32_t)(unsigned char)name.key[i] << 24 | (uint32_t)(unsigned char)name.key[i + 1] << 16 |
                          (uint32_t)(unsigned char)name.key[i + 2] << 8 | (unsigned char)name.key[i + 3];
    units += unit >= 0x10000 && unit <= 0x10FFFF ? 2 : 1;
  }
  return units;
}

// The names of a path in the code page (resolved): split at every backslash that is a character of
// it, empty names left out.
std::vector<std::string> splitNames(const std::string& text, unsigned codePage) {
  std::vector<std::string> names;
  AnsiText chars(text, codePage);
  size_t start = 0;
  for (size_t i = 0; i <= text.size();) {
    if (i == text.size() || text[i] == '\\') {
      if (i > start) names.push_back(text.substr(start, i - start));
      start = ++i;
    } else {
      i += chars.charLength(i);
    }
  }
  return names;
}

// True when two keys hold the same values, by the same names in the same code pages, and the
// same keys below them.
bool sameKeys(const RegKey& x, const RegKey& y) {
  if (x.values.size() != y.values.size() || x.children.size() != y.children.size()) return false;
  for (size_t i = 0; i < x.values.size(); ++i) {
    const RegValue &v = x.values[i], &w = y.values[i];
    if (!sameName(v.name, w.name) || v.type != w.type || v.data != w.data) return false;
  }
  for (auto a = x.children.begin(), b = y.children.begin(); a != x.children.end(); ++a, ++b)
    if (a->first != b->first || !sameName(a->second->name, b->second->name) || !sameKeys(*a->second, *b->second))
      return false;
  return true;
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

RegName::RegName(std::string text, unsigned resolved)
    : bytes(std::move(text)), codePage(resolved ? resolved : rkwin_acp()), key(CaseFold::nameKey(bytes, codePage)) {}

void RegPath::append(const std::string& text, unsigned codePage) {
  if (!codePage) codePage = rkwin_acp();
  for (std::string& name : splitNames(text, codePage)) names.emplace_back(std::move(name), codePage);
}

bool RegPath::withinBounds() const {
  if (names.size() > kMaxDepth) return false;
  for (const RegName& name : names)
    if (nameLength(name) > kMaxNameLength) return false;
  return true;
}

RegValue* RegKey::find(const std::string& name, unsigned codePage) {
  const std::string key = CaseFold::nameKey(name, codePage);
  for (auto& v : values)
    if (v.name.key == key) return &v;
  return nullptr;
}

RegValue& RegKey::findOrAdd(const std::string& text, unsigned codePage) {
  RegName name(text, codePage);
  for (auto& v : values)
    if (v.name.key == name.key) return v;
  RegValue value;
  value.name = std::move(name);
  values.push_back(std::move(value));
  return values.back();
}

void RegKey::removeValue(RegValue* value) { values.erase(values.begin() + (value - values.data())); }

RegKey* RegKey::child(const RegName& name) {
  auto it = children.find(name.key);
  return it == children.end() ? nullptr : it->second.get();
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

RegKey& RegStore::root(const std::string& name) {
  RegKey& top = roots_[name];
  if (top.name.bytes.empty()) top.name = RegName(name, kSingleByte);
  return top;
}

RegKey* RegStore::find(const RegPath& path) {
  auto top = roots_.find(path.root);
  if (top == roots_.end() || path.names.empty()) return nullptr;
  RegKey* key = &top->second;
  for (const RegName& name : path.names)
    if (!(key = key->child(name))) return nullptr;
  return key;
}

RegKey* RegStore::create(const RegPath& path, bool* created) {
  if (created) *created = false;
  if (path.names.empty()) return nullptr;
  RegKey* key = &root(path.root);
  for (const RegName& name : path.names) {
    auto it = key->children.find(name.key);
    if (it == key->children.end()) {
      std::unique_ptr<RegKey> made(new RegKey());
      made->name = name;
      made->parent = key;
      it = key->children.emplace(name.key, std::move(made)).first;
      if (created) *created = true;
    }
    key = it->second.get();
  }
  return key;
}

void RegStore::remove(RegKey* key) {
  if (key->parent) key->parent->children.erase(key->name.key);
}

RegPath RegStore::pathOf(const RegKey& key) {
  RegPath path;
  const RegKey* at = &key;
  for (; at->parent; at = at->parent) path.names.push_back(at->name);
  path.root = at->name.bytes;
  std::reverse(path.names.begin(), path.names.end());
  return path;
}

bool RegStore::importText(const std::string& input, bool storeFile) {
  foreignCodePage_ = 0;
  std::string text = input;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  size_t headerAt = text.find_first_not_of(" \t\r\n");
  if (headerAt == std::string::npos) return true;  // empty text: nothing to import
  headerAt = text.rfind('\n', headerAt);
  headerAt = headerAt == std::string::npos ? 0 : headerAt + 1;
  // The store's own file is read in the code page it names, whatever the reader's; other .reg
  // text (and a file whose line names a number that is no code page) is in the active code page.
  const std::string codePageLine = lineAfterHeader(text, headerAt);
  const unsigned declared = codePageNamed(codePageLine, kCodePageLine);
  // A store written in a code page the stand-in no longer takes is not read at all: read in
  // another, its names would change, and the next write would lose keys.
  if ((foreignCodePage_ = foreignCodePageOf(codePageLine)) != 0) return false;
  const unsigned codePage = declared ? declared : rkwin_acp();
  std::vector<std::string> lines = logicalLines(text.substr(headerAt), codePage);
  std::string header = trim(lines[0]);
  if (header != "REGEDIT4" && header != kHeader) return false;
  RegKey* current = nullptr;
  unsigned written = 0;  // the code page a line of the store's own file names for the next name
  std::string spelled;   // a line of the store's own file that spells the next section's names
  for (size_t i = 1; i < lines.size(); ++i) {
    std::string line = trim(lines[i]);
    if (line.empty()) continue;
    if (line[0] == ';') {
      if (declared && (foreignCodePage_ = foreignCodePageOf(line)) != 0) return false;
      written = declared ? codePageNamed(line, kWrittenLine) : 0;
      spelled = declared ? line : std::string();
      continue;
    }
    const unsigned nameCodePage = written ? written : codePage;
    const std::string names = std::move(spelled);
    written = 0;
    spelled.clear();
    if (line[0] == '[') {
      current = nullptr;
      std::string path;
      if (declared) {
        // The store's own file: the path is every byte up to the bracket that ends the line,
        // kept as it is, so that a name ending in a lone lead byte keeps it.
        if (line.size() < 2 || line.back() != ']') continue;
        path = line.substr(1, line.size() - 2);
      } else {
        size_t close = AnsiText(line, codePage).findLastOf("]");
        if (close == std::string::npos) continue;
        path = line.substr(1, close - 1);
      }
      bool remove = !path.empty() && path[0] == '-';
      if (remove) path.erase(0, 1);
      // The root's name is ASCII: its end is the first separator.
      size_t sep = path.find('\\');
      RegPath key;
      if (!canonicalRoot(path.substr(0, sep), &key.root)) continue;  // unknown root: section skipped
      if (sep == std::string::npos) continue;                        // a root itself is not a key
      const std::string rest = path.substr(sep + 1);
      // The names as a call gives them: repeated separators are one. In the store's own file a
      // line before the section may spell them.
      if (!spelledNames(names, rest, &key.names)) key.append(rest, nameCodePage);
      // A key the calls cannot make (beyond the bounds, or a root) is skipped with its values;
      // one that the store's own file holds (made before the bounds were kept) stays.
      if (key.names.empty() || (!storeFile && !key.withinBounds())) continue;
      if (remove) {
        if (RegKey* gone = find(key)) this->remove(gone);
      } else {
        current = create(key, nullptr);
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
      if (RegValue* existing = current->find(name, nameCodePage)) current->removeValue(existing);
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
    if (back.importText(*out, true) && back.sameAs(*this)) return true;
    if (codePage == kSingleByte) break;
  }
  out->clear();
  return false;
}

bool RegStore::sameAs(const RegStore& other) const {
  // A root without keys is no part of the store.
  auto next = [](const std::map<std::string, RegKey>& roots, std::map<std::string, RegKey>::const_iterator it) {
    while (it != roots.end() && it->second.children.empty()) ++it;
    return it;
  };
  auto a = next(roots_, roots_.begin()), b = next(other.roots_, other.roots_.begin());
  for (; a != roots_.end() && b != other.roots_.end(); a = next(roots_, ++a), b = next(other.roots_, ++b))
    if (a->first != b->first || !sameKeys(a->second, b->second)) return false;
  return a == roots_.end() && b == other.roots_.end();
}

std::string RegStore::textIn(unsigned codePage) const {
  std::string out = std::string(kHeader) + "\n" + kCodePageLine + std::to_string(codePage) + "\n";
  // Every key in the order of its names, each after the one above it. `path` is the key's path
  // as its names' bytes; `names` the names below the root.
  std::string path;
  std::vector<const RegName*> names;
  std::vector<unsigned> pageOf;  // per level: the code page of the deepest name with one, or 0
  std::function<void(const RegKey&)> write = [&](const RegKey& key) {
    const size_t length = path.size();
    path += "\\" + key.name.bytes;
    names.push_back(&key.name);
    const unsigned above = pageOf.empty() ? 0 : pageOf.back();
    pageOf.push_back(hasCodePage(key.name.bytes) ? key.name.codePage : above);
    // The path reads back as its names when every name with a code page has the section's
    // and a split in it gives the same names; else a line spells them.
    const unsigned section = pageOf.back() ? pageOf.back() : codePage;
    bool plain = pageOf.back() == 0;
    if (!plain) {
      const std::vector<std::string> read = splitNames(path.substr(path.find('\\') + 1), section);
      plain = read.size() == names.size();
      for (size_t i = 0; plain && i < names.size(); ++i)
        plain = read[i] == names[i]->bytes && (names[i]->codePage == section || !hasCodePage(names[i]->bytes));
    }
    out += "\n";
    if (!plain) {
      out += kNamesLine;
      for (size_t i = 0; i < names.size(); ++i)
        out += (i ? " " : "") + std::to_string(names[i]->codePage) + ":" + std::to_string(names[i]->bytes.size());
      out += "\n";
    } else if (section != codePage) {
      out += kWrittenLine + std::to_string(section) + "\n";
    }
    out += "[" + path + "]\n";
    for (const RegValue& v : key.values) {
      if (v.name.codePage != codePage && hasCodePage(v.name.bytes))
        out += kWrittenLine + std::to_string(v.name.codePage) + "\n";
      out += v.name.bytes.empty() ? std::string("@") : quoted(v.name.bytes, codePage);
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
    for (const auto& child : key.children) write(*child.second);
    path.resize(length);
    names.pop_back();
    pageOf.pop_back();
  };
  for (const auto& top : roots_) {
    path = top.first;
    for (const auto& child : top.second.children) write(*child.second);
  }
  return out;
}

}  // namespace rkwin
