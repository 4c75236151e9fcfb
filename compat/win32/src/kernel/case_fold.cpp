#include "case_fold.h"

#include "ansi_text.h"
#include "case_fold_table.h"
#include "nls_internal.h"

#include <algorithm>

namespace rkwin {

namespace {

const char32_t kStrayByte = 0x110000;

bool asciiLetter(unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += (char)c;
  } else if (c < 0x800) {
    out += (char)(0xC0 | (c >> 6));
    out += (char)(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += (char)(0xE0 | (c >> 12));
    out += (char)(0x80 | ((c >> 6) & 0x3F));
    out += (char)(0x80 | (c & 0x3F));
  } else {
    out += (char)(0xF0 | (c >> 18));
    out += (char)(0x80 | ((c >> 12) & 0x3F));
    out += (char)(0x80 | ((c >> 6) & 0x3F));
    out += (char)(0x80 | (c & 0x3F));
  }
}

// Position of a code point in the order of UTF-16 units: the characters above the plane (a
// surrogate pair) come between U+D7FF and U+E000; bytes that are no UTF-8 come last.
uint32_t utf16Rank(char32_t c) {
  if (c < 0xE000) return c;
  if (c < 0x10000) return c + 0x100000;
  if (c < kStrayByte) return c - 0x10000 + 0xD800;
  return c;
}

}  // namespace

char32_t CaseFold::upper(char32_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - ('a' - 'A') : c;
  if (c > 0xFFFF) return c;
  const UpperRun* end = kUpperRuns + sizeof kUpperRuns / sizeof kUpperRuns[0];
  const UpperRun* run = std::upper_bound(kUpperRuns, end, c, [](char32_t x, const UpperRun& r) { return x < r.first; });
  if (run == kUpperRuns) return c;
  --run;
  if (c > run->last || (c - run->first) % run->step != 0) return c;
  return (char32_t)((int)c + run->delta);
}

bool CaseFold::hasOtherCase(char32_t c) {
  if (c < 0x80) return asciiLetter((unsigned char)c);
  if (c > 0xFFFF) return false;
  const CasedRange* end = kCasedRanges + sizeof kCasedRanges / sizeof kCasedRanges[0];
  const CasedRange* range =
      std::upper_bound(kCasedRanges, end, c, [](char32_t x, const CasedRange& r) { return x < r.first; });
  return range != kCasedRanges && c <= (range - 1)->last;
}

size_t CaseFold::decodeUtf8(const char* p, size_t available, char32_t* c) {
  unsigned char b = (unsigned char)p[0];
  *c = kStrayByte + b;
  if (b < 0x80) {
    *c = b;
    return 1;
  }
  size_t n = b >= 0xC2 && b < 0xE0 ? 2 : b >= 0xE0 && b < 0xF0 ? 3 : b >= 0xF0 && b < 0xF5 ? 4 : 0;
  if (n == 0 || n > available) return 1;
  char32_t value = b & (0x3F >> (n - 1));
  for (size_t i = 1; i < n; ++i) {
    unsigned char t = (unsigned char)p[i];
    if ((t & 0xC0) != 0x80) return 1;
    value = (value << 6) | (t & 0x3F);
  }
  // Overlong forms, surrogates and values above Unicode's are no characters.
  if ((n == 3 && value < 0x800) || (n == 4 && (value < 0x10000 || value > 0x10FFFF)) ||
      (value >= 0xD800 && value <= 0xDFFF))
    return 1;
  *c = value;
  return n;
}

std::string CaseFold::upperUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    unsigned char b = (unsigned char)text[i];
    if (b < 0x80) {
      out += (b >= 'a' && b <= 'z') ? (char)(b - ('a' - 'A')) : (char)b;
      ++i;
      continue;
    }
    char32_t c;
    size_t n = decodeUtf8(text.data() + i, text.size() - i, &c);
    if (c >= kStrayByte)
      out += (char)b;
    else
      appendUtf8(out, upper(c));
    i += n;
  }
  return out;
}

bool CaseFold::hasOtherCaseUtf8(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    unsigned char b = (unsigned char)text[i];
    if (b < 0x80) {
      if (asciiLetter(b)) return true;
      ++i;
      continue;
    }
    char32_t c;
    i += decodeUtf8(text.data() + i, text.size() - i, &c);
    if (hasOtherCase(c)) return true;
  }
  return false;
}

int CaseFold::compareUtf8(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    char32_t x, y;
    i += decodeUtf8(a.data() + i, a.size() - i, &x);
    j += decodeUtf8(b.data() + j, b.size() - j, &y);
    uint32_t rx = utf16Rank(upper(x)), ry = utf16Rank(upper(y));
    if (rx != ry) return rx < ry ? -1 : 1;
  }
  return i < a.size() ? 1 : j < b.size() ? -1 : 0;
}

std::string CaseFold::nameKey(const std::string& text, unsigned codePage) {
  if (!codePage) codePage = rkwin_acp();
  std::string key;
  key.reserve(text.size() * 4);
  auto put = [&key](uint32_t unit) {
    for (int shift = 24; shift >= 0; shift -= 8) key += (char)(unit >> shift);
  };
  AnsiText chars(text, codePage);
  std::u16string wide;
  for (size_t i = 0; i < text.size();) {
    const size_t n = chars.charLength(i);
    const unsigned char b = (unsigned char)text[i];
    if (n == 1 && b < 0x80) {
      put((b >= 'A' && b <= 'Z') ? b + ('a' - 'A') : b);
      i += n;
      continue;
    }
    const bool converted = rkwin_mb_to_utf16(codePage, text.data() + i, n, wide, true);
    if (converted && wide.size() == 1) {
      char32_t up = upper(wide[0]);
      put((up >= 'A' && up <= 'Z') ? up + ('a' - 'A') : up);
    } else if (converted && wide.size() == 2 && wide[0] >= 0xD800 && wide[0] <= 0xDBFF && wide[1] >= 0xDC00 &&
               wide[1] <= 0xDFFF) {
      put(0x10000 + ((char32_t)(wide[0] - 0xD800) << 10) + (wide[1] - 0xDC00));  // above the plane: no case
    } else {
      for (size_t k = 0; k < n; ++k) put(kStrayByte + (codePage << 8) + (unsigned char)text[i + k]);
    }
    i += n;
  }
  return key;
}

}  // namespace rkwin
