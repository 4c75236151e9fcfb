#include "RKPackageTable.h"

#include <windows.h>

#include <cstring>
#include <string>

namespace RKSDK {

namespace {

bool readU32(IRKIOStream* stream, unsigned int& value) {
  unsigned char bytes[4] = {0, 0, 0, 0};
  bool whole = stream->read(bytes, 4) == 4;
  value = whole ? bytes[0] | bytes[1] << 8 | bytes[2] << 16 | (unsigned int)bytes[3] << 24 : 0;
  return whole;
}

// An element made of dots and blanks with at least two dots names a parent folder on Windows,
// which drops trailing dots and blanks from names.
bool isParentElement(const char* begin, const char* end) {
  int dots = 0;
  for (const char* p = begin; p < end; ++p) {
    if (*p == '.')
      ++dots;
    else if (*p != ' ')
      return false;
  }
  return dots >= 2;
}

// The form two paths are compared in: elements joined by single backslashes, without "."
// elements, ASCII letters in lower case; double-byte characters are kept whole, so that their
// second byte is neither a separator nor a letter.
std::string foldedEntryPath(const RKString& path) {
  std::string folded;
  std::string element;
  auto endElement = [&]() {
    if (!element.empty() && element != ".") folded += "\\" + element;
    element.clear();
  };
  const char* text = path.data ? path.data : "";
  for (const char* p = text; *p; ++p) {
    unsigned char c = (unsigned char)*p;
    if (IsDBCSLeadByte(c) && p[1]) {
      element += *p;
      element += *++p;
    } else if (c == '\\' || c == '/') {
      endElement();
    } else {
      element += (char)(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
  }
  endElement();
  return folded;
}

}  // namespace

int readPackageTable(IRKIOStream* stream, RKPackageTable& table) {
  table.program = "";
  table.entries.removeAll();
  table.packedLength = 0;
  table.complete = false;
  if (!stream) return 0;

  unsigned int offset = 0;
  stream->seek(-4, 2);
  readU32(stream, offset);
  stream->seek((int)offset, 0);

  table.program = stream->readString();
  unsigned int count = 0;
  if (!readU32(stream, count)) return 0;
  // The count is signed: 0 or less means no entries.
  for (int i = 0; i < (int)count; ++i) {
    FILENODE node;
    node.path = stream->readString();
    // The text reader cannot tell an empty path from the end of the file; the two numbers after
    // it can: a table cut short ends here instead of looping over the rest of the count.
    bool whole = readU32(stream, node.kind);
    whole = readU32(stream, node.size) && whole;
    if (!whole) return 0;
    table.entries.addLast(node);
  }
  if (!readU32(stream, table.packedLength)) return 0;
  table.complete = true;
  return 1;
}

bool isContainedEntryPath(const RKString& path) {
  const char* text = path.data;
  if (!text || text[0] != '\\') return false;
  if (std::strchr(text, ':')) return false;
  // Both separators of Windows paths end an element; the second byte of a double-byte
  // character (0x5C in GBK) is part of its character, not a separator. A lead byte before a
  // byte below 0x40, which no GBK character has for its second byte, stands alone, so that a
  // malformed pair cannot hide a separator, a dot or the end.
  const char* element = text + 1;
  for (const char* p = element;; ++p) {
    if (IsDBCSLeadByte((BYTE)*p) && (BYTE)p[1] >= 0x40) {
      ++p;
    } else if (*p == '\\' || *p == '/' || *p == 0) {
      if (isParentElement(element, p)) return false;
      if (*p == 0) break;
      element = p + 1;
    }
  }
  return true;
}

bool isSameEntryPath(const RKString& a, const RKString& b) { return foldedEntryPath(a) == foldedEntryPath(b); }

}  // namespace RKSDK
