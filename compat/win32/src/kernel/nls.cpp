// Code-page conversions (MultiByteToWideChar, WideCharToMultiByte) through iconv.
#include "nls_internal.h"

#include <errno.h>
#include <iconv.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <utility>

namespace {

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
const char kUtf16[] = "UTF-16BE";
#else
const char kUtf16[] = "UTF-16LE";
#endif

const char16_t kReplacement = 0xFFFD;

// iconv name of a numeric code page.
std::string charsetOf(UINT cp) {
  switch (cp) {
    case CP_UTF8:
      return "UTF-8";
    case 20127:
      return "ASCII";
    case 28591:
      return "ISO-8859-1";
    case 54936:
      return "GB18030";
    default: {
      char name[16];
      snprintf(name, sizeof name, "CP%u", cp);
      return name;
    }
  }
}

// One thread's open descriptors, by (code page, direction); closed when the thread ends.
struct DescriptorCache {
  std::map<std::pair<UINT, bool>, iconv_t> open;
  ~DescriptorCache() {
    for (auto& e : open)
      if (e.second != (iconv_t)-1) iconv_close(e.second);
  }
  iconv_t get(UINT cp, bool toUtf16) {
    auto key = std::make_pair(cp, toUtf16);
    auto it = open.find(key);
    if (it != open.end()) return it->second;
    std::string cs = charsetOf(cp);
    iconv_t cd = toUtf16 ? iconv_open(kUtf16, cs.c_str()) : iconv_open(cs.c_str(), kUtf16);
    open.emplace(key, cd);
    return cd;
  }
};

iconv_t descriptor(UINT cp, bool toUtf16) {
  thread_local DescriptorCache cache;
  iconv_t cd = cache.get(cp, toUtf16);
  if (cd != (iconv_t)-1) iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
  return cd;
}

// Code page 936's table maps every pair it leaves otherwise unassigned to a private-use character,
// so that a pair is always one character; the host's GBK converter has none of these. In code order:
//   the user-defined rows AA-AF and F8-FE (second bytes A1-FE): U+E000..U+E4C5;
//   the user-defined cells of rows A1-A7 (second bytes 40-7E, 80-A0): U+E4C6..U+E765;
//   the unassigned cells of rows A2-A9, D7 and FE below (runs of second bytes): U+E766..U+E864.
// The single byte 0xFF is U+F8F5.
struct CellRun {
  unsigned char lead, firstTrail, count;
};
const CellRun kUnassignedCells[] = {
    {0xA2, 0xAB, 6},  {0xA2, 0xE3, 2},  {0xA2, 0xEF, 2},  {0xA2, 0xFD, 2},  {0xA4, 0xF4, 11}, {0xA5, 0xF7, 8},
    {0xA6, 0xB9, 8},  {0xA6, 0xD9, 7},  {0xA6, 0xEC, 2},  {0xA6, 0xF3, 1},  {0xA6, 0xF6, 9},  {0xA7, 0xC2, 15},
    {0xA7, 0xF2, 13}, {0xA8, 0x96, 11}, {0xA8, 0xBC, 1},  {0xA8, 0xBF, 1},  {0xA8, 0xC1, 4},  {0xA8, 0xEA, 21},
    {0xA9, 0x58, 1},  {0xA9, 0x5B, 1},  {0xA9, 0x5D, 3},  {0xA9, 0x89, 13}, {0xA9, 0x97, 13}, {0xA9, 0xF0, 15},
    {0xD7, 0xFA, 5},  {0xFE, 0x50, 47}, {0xFE, 0x80, 33},
};
const char16_t kUserRowsFirst = 0xE000;    // AAA1-AFFE, then F8A1-FEFE
const char16_t kUserCellsFirst = 0xE4C6;   // A140-A7A0
const char16_t kUnassignedFirst = 0xE766;  // kUnassignedCells
const char16_t kUnassignedEnd = 0xE865;
const char16_t kByteFF = 0xF8F5;

// The private-use character of a pair the host converter lacks; 0 when the pair has none.
char16_t cp936PrivateUse(unsigned char lead, unsigned char trail) {
  if (trail >= 0xA1 && trail <= 0xFE) {
    if (lead >= 0xAA && lead <= 0xAF) return char16_t(kUserRowsFirst + (lead - 0xAA) * 94 + (trail - 0xA1));
    if (lead >= 0xF8 && lead <= 0xFE) return char16_t(kUserRowsFirst + (6 + lead - 0xF8) * 94 + (trail - 0xA1));
  }
  if (lead >= 0xA1 && lead <= 0xA7 && trail >= 0x40 && trail <= 0xA0 && trail != 0x7F)
    return char16_t(kUserCellsFirst + (lead - 0xA1) * 96 + (trail - 0x40) - (trail > 0x7F ? 1 : 0));
  char16_t next = kUnassignedFirst;
  for (const CellRun& run : kUnassignedCells) {
    if (lead == run.lead && trail >= run.firstTrail && trail - run.firstTrail < run.count)
      return char16_t(next + (trail - run.firstTrail));
    next = char16_t(next + run.count);
  }
  return 0;
}

// The bytes of a code page 936 private-use character (above); empty for any other character.
std::string cp936BytesOf(char16_t c) {
  if (c == kByteFF) return std::string(1, '\xFF');
  auto pair = [](int lead, int trail) { return std::string{char(lead), char(trail)}; };
  if (c >= kUserRowsFirst && c < kUserCellsFirst) {
    int index = c - kUserRowsFirst, row = index / 94;
    return pair(row < 6 ? 0xAA + row : 0xF8 + row - 6, 0xA1 + index % 94);
  }
  if (c >= kUserCellsFirst && c < kUnassignedFirst) {
    int index = c - kUserCellsFirst, cell = index % 96;
    return pair(0xA1 + index / 96, cell < 0x3F ? 0x40 + cell : 0x41 + cell);
  }
  if (c >= kUnassignedFirst && c < kUnassignedEnd) {
    int index = c - kUnassignedFirst;
    for (const CellRun& run : kUnassignedCells) {
      if (index < run.count) return pair(run.lead, run.firstTrail + index);
      index -= run.count;
    }
  }
  return std::string();
}

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

bool rkwin_handled_codepage(UINT codePage) {
  switch (codePage) {
    case 874:
    case 932:
    case 936:
    case 949:
    case 950:
    case 1250:
    case 1251:
    case 1252:
    case 1253:
    case 1254:
    case 1256:
    case 1257:
    case 20127:
    case 28591:
    case CP_UTF8:
      return descriptor(codePage, true) != (iconv_t)-1;
    default:
      return false;
  }
}

UINT rkwin_acp() {
  const char* env = getenv("RKWIN_ACP");
  if (env && *env) {
    char* end = nullptr;
    unsigned long cp = strtoul(env, &end, 10);
    if (end && *end == 0 && cp < 0x10000 && rkwin_handled_codepage((UINT)cp)) return (UINT)cp;
  }
  return 936;
}

UINT rkwin_resolve_codepage(UINT codePage) {
  switch (codePage) {
    case CP_ACP:
    case CP_OEMCP:  // the emulated machine is a Chinese one: OEM and ANSI pages agree
    case CP_THREAD_ACP:
      return rkwin_acp();
    case CP_MACCP:
      return 10000;
    default:
      return descriptor(codePage, true) != (iconv_t)-1 ? codePage : 0;
  }
}

bool rkwin_mb_to_utf16(UINT codePage, const char* in, size_t len, std::u16string& out, bool strict) {
  out.clear();
  UINT cp = rkwin_resolve_codepage(codePage);
  iconv_t cd = cp ? descriptor(cp, true) : (iconv_t)-1;
  if (cd == (iconv_t)-1) return false;
  // Every input byte yields at most one UTF-16 unit (or is replaced by one).
  out.resize(len + 1);
  char* src = const_cast<char*>(in);
  size_t srcLeft = len;
  char* dst = reinterpret_cast<char*>(&out[0]);
  size_t dstLeft = out.size() * sizeof(char16_t);
  auto grow = [&]() {
    size_t done = out.size() - dstLeft / sizeof(char16_t);
    out.resize(out.size() * 2 + 8);
    dst = reinterpret_cast<char*>(&out[done]);
    dstLeft = (out.size() - done) * sizeof(char16_t);
  };
  while (srcLeft > 0) {
    if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != (size_t)-1) break;
    if (errno == E2BIG) {
      grow();
      continue;
    }
    // Code page 936's private-use characters (above) are no invalid bytes; anything else is
    // replaced byte by byte.
    const unsigned char first = (unsigned char)src[0];
    size_t used = 1;
    char16_t unit = kReplacement;
    if (cp == 936 && first == 0xFF) {
      unit = kByteFF;
    } else if (cp == 936 && srcLeft >= 2) {
      if (char16_t pua = cp936PrivateUse(first, (unsigned char)src[1])) {
        unit = pua;
        used = 2;
      }
    }
    if (unit == kReplacement && strict) return false;
    while (dstLeft < sizeof unit) grow();
    memcpy(dst, &unit, sizeof unit);
    dst += sizeof unit;
    dstLeft -= sizeof unit;
    src += used;
    srcLeft -= used;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  out.resize(out.size() - dstLeft / sizeof(char16_t));
  return true;
}

bool rkwin_utf16_to_mb(UINT codePage, const char16_t* in, size_t len, std::string& out, const char* defaultChar,
                       bool* usedDefault, bool strict) {
  out.clear();
  if (usedDefault) *usedDefault = false;
  UINT cp = rkwin_resolve_codepage(codePage);
  iconv_t cd = cp ? descriptor(cp, false) : (iconv_t)-1;
  if (cd == (iconv_t)-1) return false;
  std::string replacement;
  if (cp == CP_UTF8)
    replacement = "\xEF\xBF\xBD";
  else if (defaultChar && *defaultChar)
    replacement.assign(defaultChar, defaultChar[1] ? 2 : 1);
  else
    replacement = "?";

  out.resize(len * 3 + 4);
  char* src = reinterpret_cast<char*>(const_cast<char16_t*>(in));
  size_t srcLeft = len * sizeof(char16_t);
  char* dst = &out[0];
  size_t dstLeft = out.size();
  auto grow = [&]() {
    size_t done = out.size() - dstLeft;
    out.resize(out.size() * 2 + 8);
    dst = &out[done];
    dstLeft = out.size() - done;
  };
  while (srcLeft > 0) {
    if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != (size_t)-1) break;
    if (errno == E2BIG) {
      grow();
      continue;
    }
    // A character the code page lacks, or a lone surrogate; code page 936's private-use
    // characters (above) go back to their bytes.
    char16_t first, second = 0;
    memcpy(&first, src, sizeof first);
    const std::string own = cp == 936 ? cp936BytesOf(first) : std::string();
    const std::string& put = own.empty() ? replacement : own;
    if (own.empty() && strict) return false;
    if (own.empty() && usedDefault) *usedDefault = true;
    while (dstLeft < put.size()) grow();
    memcpy(dst, put.data(), put.size());
    dst += put.size();
    dstLeft -= put.size();
    if (srcLeft >= 2 * sizeof(char16_t)) memcpy(&second, src + sizeof(char16_t), sizeof second);
    size_t skip = (isHighSurrogate(first) && isLowSurrogate(second)) ? 2 : 1;
    src += skip * sizeof(char16_t);
    srcLeft -= skip * sizeof(char16_t);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  out.resize(out.size() - dstLeft);
  return true;
}

namespace {

// Code pages whose bytes 0x00-0x7F are the ASCII characters, so that ASCII text reads the same
// in each of them.
bool keepsAscii(UINT cp) {
  switch (cp) {
    case CP_UTF8:
    case 932:
    case 936:
    case 949:
    case 950:
    case 20127:
    case 54936:
      return true;
    default:
      return (cp >= 1250 && cp <= 1258) || (cp >= 28591 && cp <= 28599);
  }
}

// Text from one code page to another through UTF-16; the text as it is when either is unknown.
// ASCII text between two pages that both keep ASCII is its own translation (most file names).
std::string recode(UINT from, UINT to, const char* text, size_t len) {
  if (!text) return std::string();
  auto keeps = [](UINT cp) { return cp == CP_UTF8 || keepsAscii(rkwin_resolve_codepage(cp)); };
  if (rkwin_is_ascii(text, len) && keeps(from) && keeps(to)) return std::string(text, len);
  std::u16string wide;
  std::string out;
  if (!rkwin_mb_to_utf16(from, text, len, wide, false) ||
      !rkwin_utf16_to_mb(to, wide.data(), wide.size(), out, nullptr, nullptr, false))
    return std::string(text, len);
  return out;
}

}  // namespace

bool rkwin_is_ascii(const char* text, size_t len) {
  for (size_t i = 0; i < len; ++i)
    if ((unsigned char)text[i] >= 0x80) return false;
  return true;
}

std::string rkwin_ansi_to_utf8(const char* ansi, size_t len) { return recode(CP_ACP, CP_UTF8, ansi, len); }

std::string rkwin_ansi_to_utf8(const std::string& ansi) { return rkwin_ansi_to_utf8(ansi.data(), ansi.size()); }

std::string rkwin_utf8_to_ansi(const char* utf8, size_t len) { return recode(CP_UTF8, CP_ACP, utf8, len); }

std::string rkwin_utf8_to_ansi(const std::string& utf8) { return rkwin_utf8_to_ansi(utf8.data(), utf8.size()); }

namespace {

bool isUtf8Like(UINT cp) { return cp == CP_UTF8 || cp == 54936; }

int failWith(DWORD error) {
  SetLastError(error);
  return 0;
}

// Argument rules both conversions share: a source, a source length of -1 (0-terminated) or
// more than 0, a non-negative target size, a target when its size is not 0, no overlap.
bool validBuffers(const void* src, int srcLen, const void* dst, int dstLen) {
  return src && srcLen != 0 && srcLen >= -1 && dstLen >= 0 && (dstLen == 0 || dst) && src != dst;
}

// A counting call (capacity 0) gives the size; a filling call copies when everything fits.
template <class C>
int deliver(const std::basic_string<C>& out, C* dst, int capacity) {
  if (capacity == 0) return (int)out.size();
  if (out.size() > (size_t)capacity) return failWith(ERROR_INSUFFICIENT_BUFFER);
  memcpy(dst, out.data(), out.size() * sizeof(C));
  return (int)out.size();
}

}  // namespace

UINT WINAPI GetACP(void) { return rkwin_acp(); }

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar) {
  if (!validBuffers(lpMultiByteStr, cbMultiByte, lpWideCharStr, cchWideChar)) return failWith(ERROR_INVALID_PARAMETER);
  UINT cp = rkwin_resolve_codepage(CodePage);
  if (!cp) return failWith(ERROR_INVALID_PARAMETER);
  const DWORD known = MB_PRECOMPOSED | MB_COMPOSITE | MB_USEGLYPHCHARS | MB_ERR_INVALID_CHARS;
  // The UTF-8 flag rule applies to the code page named by the caller; an ANSI code page set to
  // UTF-8 by RKWIN_ACP still takes the flags that callers pass for CP_ACP.
  if ((dwFlags & ~known) || (isUtf8Like(CodePage) && (dwFlags & ~(DWORD)MB_ERR_INVALID_CHARS)) ||
      ((dwFlags & MB_PRECOMPOSED) && (dwFlags & MB_COMPOSITE)))
    return failWith(ERROR_INVALID_FLAGS);
  // -1: the text is 0-terminated and the terminator is converted too.
  size_t len = cbMultiByte == -1 ? strlen(lpMultiByteStr) + 1 : (size_t)cbMultiByte;
  std::u16string wide;
  if (!rkwin_mb_to_utf16(cp, lpMultiByteStr, len, wide, (dwFlags & MB_ERR_INVALID_CHARS) != 0))
    return failWith(ERROR_NO_UNICODE_TRANSLATION);
  return deliver(wide, lpWideCharStr, cchWideChar);
}

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCCH lpDefaultChar, LPBOOL lpUsedDefaultChar) {
  if (!validBuffers(lpWideCharStr, cchWideChar, lpMultiByteStr, cbMultiByte)) return failWith(ERROR_INVALID_PARAMETER);
  UINT cp = rkwin_resolve_codepage(CodePage);
  if (!cp) return failWith(ERROR_INVALID_PARAMETER);
  if (isUtf8Like(CodePage)) {
    if (lpDefaultChar || lpUsedDefaultChar) return failWith(ERROR_INVALID_PARAMETER);
    if (dwFlags & ~(DWORD)WC_ERR_INVALID_CHARS) return failWith(ERROR_INVALID_FLAGS);
  } else {
    const DWORD known = WC_COMPOSITECHECK | WC_DISCARDNS | WC_SEPCHARS | WC_DEFAULTCHAR | WC_NO_BEST_FIT_CHARS;
    if (dwFlags & ~known) return failWith(ERROR_INVALID_FLAGS);
  }
  size_t len = 0;
  if (cchWideChar == -1) {
    while (lpWideCharStr[len]) ++len;
    ++len;  // the terminator is converted too
  } else {
    len = (size_t)cchWideChar;
  }
  std::string bytes;
  bool usedDefault = false;
  if (!rkwin_utf16_to_mb(cp, lpWideCharStr, len, bytes, lpDefaultChar, &usedDefault,
                         (dwFlags & WC_ERR_INVALID_CHARS) != 0))
    return failWith(ERROR_NO_UNICODE_TRANSLATION);
  if (lpUsedDefaultChar) *lpUsedDefaultChar = usedDefault ? TRUE : FALSE;
  return deliver(bytes, lpMultiByteStr, cbMultiByte);
}
