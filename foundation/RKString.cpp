#include "RKString.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace RKSDK {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Whether a byte begins a double-byte character of the ANSI code page. No code page has a lead
// byte below 0x80, so ASCII text is read without asking the system.
bool isLeadByte(char c) { return (BYTE)c >= 0x80 && IsDBCSLeadByte((BYTE)c); }

// Bytes of the character at byte `at` of a text of len bytes: a lead byte of the ANSI code page
// and the (nonzero) byte after it are one character; 0 at or past the end.
u32 charSize(const char* text, u32 len, u32 at) {
  if (!text || at >= len) return 0;
  return isLeadByte(text[at]) && at + 1 < len && text[at + 1] != 0 ? 2 : 1;
}

// The first occurrence of find that begins on a character at or after `from` (itself the start
// of a character), or -1.
long findText(const char* text, u32 len, const char* find, u32 findLen, u32 from) {
  for (u32 i = from; i < len && len - i >= findLen; i += charSize(text, len, i))
    if (memcmp(text + i, find, findLen) == 0) return (long)i;
  return -1;
}

// A zeroed buffer of len + 1 bytes holding the first len bytes of src.
char* copyText(const char* src, size_t len) {
  char* buf = static_cast<char*>(calloc(len + 1, 1));
  if (buf && src && len) memcpy(buf, src, len);
  return buf;
}

unsigned char foldAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? (unsigned char)(c + ('a' - 'A')) : c; }

}  // namespace

RKString::RKString() : data(copyText(nullptr, 0)), length(0), wide(nullptr) { appendClassName("RKString"); }

RKString::RKString(int value) : data(nullptr), length(0), wide(nullptr) {
  appendClassName("RKString");
  if (!format("%d", value)) data = copyText(nullptr, 0);
}

RKString::RKString(double value) : data(nullptr), length(0), wide(nullptr) {
  appendClassName("RKString");
  if (!format("%f", value)) data = copyText(nullptr, 0);
}

// A copy of a null string stays null, so that such a string keeps its identity as a map key.
RKString::RKString(const RKString& other) : RKObject(), data(nullptr), length(0), wide(nullptr) {
  appendClassName("RKString");
  if (other.data) {
    data = copyText(other.data, other.length);
    if (data) length = other.length;
  }
}

RKString::RKString(const char* text) : data(nullptr), length(0), wide(nullptr) {
  appendClassName("RKString");
  size_t len = text ? strlen(text) : 0;
  data = copyText(text, len);
  if (data) length = (u32)len;
}

RKString::~RKString() {
  free(data);
  free(wide);
}

RKString& RKString::operator=(const RKString& other) {
  assign(other.data, other.length);
  return *this;
}

RKString& RKString::operator=(const char* src) {
  assign(src, src ? (u32)strlen(src) : 0);
  return *this;
}

void RKString::assign(const char* src, u32 len) {
  if (src && src == data) return;
  if (!src) len = 0;
  char* buf = copyText(src, len);
  if (!buf) return;
  free(data);
  data = buf;
  length = len;
}

void RKString::append(const char* src) {
  if (src && src == data) return;
  size_t add = src ? strlen(src) : 0;
  char* buf = static_cast<char*>(malloc(length + add + 1));
  if (!buf) return;
  if (length) memcpy(buf, data, length);
  if (add) memcpy(buf + length, src, add);
  buf[length + add] = 0;
  free(data);
  data = buf;
  length += (u32)add;
}

RKString RKString::substring(int start, int end) const {
  RKString result;
  if (!data) return result;
  if (end == -1) end = (int)length;
  if (start < 0 || (u32)start > length || end < 0 || start > end || (u32)end > length) return result;
  // Both ends inclusive; an end at the length takes in the terminator, so the copy stops there.
  const char* from = data + start;
  result.assign(from, (u32)strnlen(from, (size_t)(end - start) + 1));
  return result;
}

u32 RKString::charLength(u32 at) const { return charSize(data, length, at); }

int RKString::lastIndexOf(char c) const {
  if (!data || c == 0) return -1;
  int found = -1;
  for (u32 i = 0; i < length; i += charSize(data, length, i))
    if (data[i] == c) found = (int)i;
  return found;
}

bool RKString::endsWith(char c) const {
  int at = lastIndexOf(c);
  return at >= 0 && (u32)at + charLength((u32)at) == length;
}

int RKString::replaceAll(const char* find, const char* replacement) {
  if (!find || !replacement || !*find) return 0;
  if (!data || length < 1) return 1;
  // The search reads the text as far as its first zero byte.
  u32 textLen = (u32)strnlen(data, length);
  u32 findLen = (u32)strlen(find);
  size_t replLen = strlen(replacement);
  // Occurrences are taken left to right without overlap, as if the search resumed after each
  // inserted replacement, and only where a character begins (never at the second byte of a
  // double-byte character); the new text is built in one allocation.
  size_t count = 0;
  for (long p = findText(data, textLen, find, findLen, 0); p >= 0;
       p = findText(data, textLen, find, findLen, (u32)p + findLen))
    ++count;
  if (count == 0) return 1;
  size_t newLen = length - count * findLen + count * replLen;
  char* buf = static_cast<char*>(malloc(newLen + 1));
  if (!buf) return 0;
  char* out = buf;
  u32 rest = 0;
  for (long p = findText(data, textLen, find, findLen, 0); p >= 0; p = findText(data, textLen, find, findLen, rest)) {
    memcpy(out, data + rest, (size_t)p - rest);
    out += (size_t)p - rest;
    memcpy(out, replacement, replLen);
    out += replLen;
    rest = (u32)p + findLen;
  }
  size_t tail = length - rest;
  memcpy(out, data + rest, tail);
  out[tail] = 0;
  free(data);
  data = buf;
  length = (u32)newLen;
  return 1;
}

void RKString::trimRight() {
  size_t n = data ? strlen(data) : 0;
  if (n == 0) return;
  size_t i = n;
  while (i > 0 && isBlank(data[i - 1])) --i;
  if (i > 0) {
    data[i] = 0;  // the buffer keeps its size
    length = (u32)i;
  } else {
    free(data);
    data = nullptr;
    length = 0;
  }
}

void RKString::trimLeft() {
  size_t n = data ? strlen(data) : 0;
  if (n == 0) return;
  size_t k = 0;
  while (k < n && isBlank(data[k])) ++k;
  if (k < n) {
    RKString rest = substring((int)k, (int)(n - 1));
    if (rest.data) {
      free(data);
      data = rest.data;
      length = rest.length;
      rest.data = nullptr;
      rest.length = 0;
    }
  } else {
    free(data);
    data = nullptr;
    length = 0;
  }
}

int RKString::format(const char* fmt, ...) {
  if (!fmt) {
    free(data);
    data = nullptr;
    length = 0;
    return 1;
  }
  va_list args;
  va_start(args, fmt);
  va_list measure;
  va_copy(measure, args);
  int n = vsnprintf(nullptr, 0, fmt, measure);
  va_end(measure);
  char* buf = n >= 0 ? static_cast<char*>(malloc((size_t)n + 1)) : nullptr;
  int written = buf ? vsnprintf(buf, (size_t)n + 1, fmt, args) : -1;
  va_end(args);
  if (n < 0 || written != n) {  // encoding error or no memory: keep the old text
    free(buf);
    return 0;
  }
  free(data);
  data = buf;
  length = (u32)n;
  return 1;
}

bool RKString::isEmpty() const { return length == 0; }

const WCHAR* RKString::toWide() {
  if (!data) return nullptr;
  free(wide);
  wide = nullptr;
  int n = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, data, (int)length, nullptr, 0);
  if (n <= 0) return nullptr;
  WCHAR* buf = static_cast<WCHAR*>(malloc(((size_t)n + 1) * sizeof(WCHAR)));
  if (!buf) return nullptr;
  int got = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, data, (int)length, buf, n);
  if (got <= 0) {
    free(buf);
    return nullptr;
  }
  buf[got] = 0;
  wide = buf;
  return wide;
}

void RKString::fromWide(const WCHAR* text) {
  if (!text) {
    assign("", 0);
    return;
  }
  int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) {
    assign("", 0);
    return;
  }
  char* buf = static_cast<char*>(calloc((size_t)n, 1));
  if (!buf) return;
  if (WideCharToMultiByte(CP_ACP, 0, text, -1, buf, n, nullptr, nullptr) != n) {
    free(buf);
    assign("", 0);
    return;
  }
  free(data);
  data = buf;
  length = (u32)(n - 1);
}

bool RKString::equalsIgnoreCase(const RKString& other) const {
  bool mine = length == 0, theirs = other.length == 0;
  if (mine || theirs) return mine == theirs;
  const unsigned char* a = reinterpret_cast<const unsigned char*>(data);
  const unsigned char* b = reinterpret_cast<const unsigned char*>(other.data);
  for (;; ++a, ++b) {
    // A double-byte character compares as it is: its second byte may be a letter's byte.
    if (*a == *b && isLeadByte((char)*a) && a[1]) {
      if (*++a != *++b) return false;
      continue;
    }
    unsigned char x = foldAscii(*a), y = foldAscii(*b);
    if (x != y) return false;
    if (x == 0) return true;
  }
}

bool RKString::equals(const RKString& other) const {
  return length == other.length && (length == 0 || memcmp(data, other.data, length) == 0);
}

RKString operator+(const RKString& left, const RKString& right) {
  RKString result(left);
  if (!result.data) result = "";
  result.append(right.data);
  return result;
}

RKString operator+(const RKString& left, const char* right) {
  RKString result(left);
  if (!result.data) result = "";
  result.append(right);
  return result;
}

RKString operator+(const char* left, const RKString& right) {
  RKString result(left);
  result.append(right.data);
  return result;
}

bool operator==(const RKString& left, const RKString& right) { return left.equals(right); }
bool operator!=(const RKString& left, const RKString& right) { return !left.equals(right); }

bool operator==(const RKString& left, const char* right) {
  size_t len = right ? strlen(right) : 0;
  return left.length == len && (len == 0 || memcmp(left.data, right, len) == 0);
}
bool operator!=(const RKString& left, const char* right) { return !(left == right); }

}  // namespace RKSDK
