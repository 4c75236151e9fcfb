#include <direct.h>
#include <windows.h>

#include "../../../compat/win32/src/kernel/nls_internal.h"

#include <gtest/gtest.h>

#include <TempPrefix.h>

#include <stdlib.h>
#include <string.h>
#include <set>
#include <string>

namespace {

// "中文" in GBK, UTF-8 and UTF-16.
const char kGbk[] = "\xD6\xD0\xCE\xC4";
const char kUtf8[] = "\xE4\xB8\xAD\xE6\x96\x87";
const WCHAR kWide[] = {0x4E2D, 0x6587, 0};

// Sets RKWIN_ACP for the lifetime of the object.
class AcpOverride {
 public:
  explicit AcpOverride(const char* cp) { setenv("RKWIN_ACP", cp, 1); }
  ~AcpOverride() { unsetenv("RKWIN_ACP"); }
};

std::u16string toWide(UINT cp, const char* s, int len) {
  int n = MultiByteToWideChar(cp, 0, s, len, nullptr, 0);
  std::u16string w((size_t)(n > 0 ? n : 0), u'\0');
  if (n > 0) {
    EXPECT_EQ(MultiByteToWideChar(cp, 0, s, len, &w[0], n), n);
  }
  return w;
}

std::string toNarrow(UINT cp, const WCHAR* w, int len) {
  int n = WideCharToMultiByte(cp, 0, w, len, nullptr, 0, nullptr, nullptr);
  std::string s((size_t)(n > 0 ? n : 0), '\0');
  if (n > 0) {
    EXPECT_EQ(WideCharToMultiByte(cp, 0, w, len, &s[0], n, nullptr, nullptr), n);
  }
  return s;
}

}  // namespace

TEST(CodePage, AnsiIsGbkByDefault) {
  EXPECT_EQ(rkwin_acp(), 936u);
  EXPECT_EQ(toWide(CP_ACP, kGbk, 4), std::u16string(kWide));
  EXPECT_EQ(toNarrow(CP_ACP, kWide, 2), std::string(kGbk));
  EXPECT_EQ(toWide(936, kGbk, 4), std::u16string(kWide));
}

TEST(CodePage, ChineseSurvivesNarrowWideNarrow) {
  // "安装程序 Setup 中文版" in GBK.
  const char text[] = "\xB0\xB2\xD7\xB0\xB3\xCC\xD0\xF2 Setup \xD6\xD0\xCE\xC4\xB0\xE6";
  std::u16string w = toWide(CP_ACP, text, -1);
  ASSERT_FALSE(w.empty());
  EXPECT_EQ(w.back(), u'\0');
  EXPECT_EQ(w.size(), 15u);  // 4 + 7 + 3 + 1 characters, terminator included
  EXPECT_EQ(w[0], 0x5B89);
  std::string back = toNarrow(CP_ACP, w.c_str(), -1);
  EXPECT_EQ(back.size(), sizeof text);
  EXPECT_STREQ(back.c_str(), text);
}

TEST(CodePage, CountingAndFillingCalls) {
  // -1 counts and converts the terminator; an explicit length does not.
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, kGbk, -1, nullptr, 0), 3);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, kGbk, 4, nullptr, 0), 2);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, kWide, -1, nullptr, 0, nullptr, nullptr), 5);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, kWide, 2, nullptr, 0, nullptr, nullptr), 4);
  WCHAR small[2] = {0x1111, 0x2222};
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, kGbk, -1, small, 2), 0);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
  char tiny[3];
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, kWide, -1, tiny, 3, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
  WCHAR exact[2];
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, kGbk, 4, exact, 2), 2);
  EXPECT_EQ(exact[1], 0x6587);
}

TEST(CodePage, RejectsBadArguments) {
  WCHAR w[4];
  char n[4];
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "a", 0, w, 4), 0);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, nullptr, 1, w, 4), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "a", -2, w, 4), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "a", 1, nullptr, 4), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "a", 1, w, -1), 0);
  EXPECT_EQ(MultiByteToWideChar(12345, 0, "a", 1, w, 4), 0);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, kWide, 0, n, 4, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_PRECOMPOSED, "a", 1, w, 4), 0);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_FLAGS);
  BOOL used = FALSE;
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, kWide, 2, n, 4, nullptr, &used), 0);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
}

TEST(CodePage, InvalidBytesAreReplaced) {
  // A lead byte at the end lacks its trail byte.
  const char bad[] = "ab\xD6";
  std::u16string w = toWide(CP_ACP, bad, 3);
  EXPECT_EQ(w, (std::u16string{u'a', u'b', 0xFFFD}));
  WCHAR out[8];
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bad, 3, out, 8), 0);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_UNICODE_TRANSLATION);
  std::u16string u = toWide(CP_UTF8, "x\xC3(", 3);
  EXPECT_EQ(u, (std::u16string{u'x', 0xFFFD, u'('}));
}

TEST(CodePage, Gbk0xFFIsThePrivateUseF8F5BothWays) {
  // Code page 936's table maps the single byte 0xFF to U+F8F5 and back; it is no invalid byte.
  const char text[] = "a\xFF";
  WCHAR out[4];
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, 2, out, 4), 2);
  EXPECT_EQ(out[1], 0xF8F5);
  char back[4] = {0};
  BOOL used = TRUE;
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, out, 2, back, sizeof back, nullptr, &used), 2);
  EXPECT_STREQ(back, text);
  EXPECT_FALSE(used);
  EXPECT_EQ(GetACP(), 936u);
}

TEST(CodePage, UnmappableCharactersUseDefault) {
  const WCHAR smile[] = {u'a', 0xD83D, 0xDE00, u'b', 0};  // U+1F600 has no GBK form
  char out[8] = {0};
  BOOL used = FALSE;
  int n = WideCharToMultiByte(CP_ACP, 0, smile, -1, out, sizeof out, nullptr, &used);
  EXPECT_EQ(n, 4);
  EXPECT_STREQ(out, "a?b");
  EXPECT_TRUE(used);
  n = WideCharToMultiByte(CP_ACP, 0, smile, -1, out, sizeof out, "*", &used);
  EXPECT_STREQ(out, "a*b");
  n = WideCharToMultiByte(CP_ACP, 0, kWide, -1, out, sizeof out, nullptr, &used);
  EXPECT_FALSE(used);
  // A lone surrogate becomes U+FFFD in UTF-8.
  const WCHAR lone[] = {0xD800, u'z'};
  EXPECT_EQ(toNarrow(CP_UTF8, lone, 2), std::string("\xEF\xBF\xBDz"));
  // With the full character UTF-8 has a form for it.
  EXPECT_EQ(toNarrow(CP_UTF8, smile + 1, 2), std::string("\xF0\x9F\x98\x80"));
}

TEST(CodePage, EnvironmentSelectsAnsiCodePage) {
  {
    AcpOverride acp("65001");
    EXPECT_EQ(rkwin_acp(), 65001u);
    EXPECT_EQ(toWide(CP_ACP, kUtf8, 6), std::u16string(kWide));
  }
  {
    AcpOverride acp("1252");
    std::u16string w = toWide(CP_ACP, "caf\xE9", 4);
    EXPECT_EQ(w, u"caf\u00E9");
    EXPECT_EQ(toNarrow(CP_ACP, kWide, 2), "??");
  }
  {
    AcpOverride acp("not-a-page");
    EXPECT_EQ(rkwin_acp(), 936u);
  }
}

TEST(CodePage, PathHelpersConvertBetweenAnsiAndUtf8) {
  std::string path = std::string("C:\\") + kGbk + "\\a.txt";
  std::string utf8 = rkwin_ansi_to_utf8(path);
  EXPECT_EQ(utf8, std::string("C:\\") + kUtf8 + "\\a.txt");
  EXPECT_EQ(rkwin_utf8_to_ansi(utf8), path);
  EXPECT_EQ(rkwin_ansi_to_utf8("", 0), "");
  EXPECT_EQ(rkwin_utf8_to_ansi(std::string("\xF0\x9F\x98\x80")), "?");
}

// Every pair of code page 936 is one character: the pairs the GBK table leaves unassigned (the
// user-defined areas among them, some with the second byte 0x5C) are private-use characters.
// They convert both ways, and as a name each is one element of a host path and lists back.
TEST(CodePage, GbkUserDefinedPairsArePrivateUseCharactersAndWholeInPaths) {
  struct Row {
    const char* pair;
    char16_t wide;
  };
  const Row rows[] = {
      {"\xA1\x5C", 0xE4E2}, {"\xA2\x5C", 0xE542}, {"\xA3\x5C", 0xE5A2}, {"\xA4\x5C", 0xE602}, {"\xA5\x5C", 0xE662},
      {"\xA6\x5C", 0xE6C2}, {"\xA7\x5C", 0xE722}, {"\xFE\x5C", 0xE821}, {"\xAA\xA1", 0xE000}, {"\xAF\xFE", 0xE233},
      {"\xF8\xA1", 0xE234}, {"\xFE\xFE", 0xE4C5}, {"\xA1\x40", 0xE4C6}, {"\xA1\x80", 0xE505}, {"\xA7\xA0", 0xE765},
      {"\xA2\xAB", 0xE766}, {"\xA2\xE3", 0xE76C}, {"\xD7\xFA", 0xE810}, {"\xFE\x50", 0xE815}, {"\xFE\xA0", 0xE864},
  };
  TempPrefix prefix;
  ASSERT_EQ(_mkdir("C:\\x"), 0);
  std::set<std::string> names;
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << std::hex << (int)row.wide);
    WCHAR wide[4] = {0};
    ASSERT_EQ(MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, row.pair, 2, wide, 4), 1);
    EXPECT_EQ(wide[0], row.wide);
    char back[4] = {0};
    BOOL used = TRUE;
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, 1, back, sizeof back, nullptr, &used), 2);
    EXPECT_STREQ(back, row.pair);
    EXPECT_FALSE(used);

    const std::string name = std::string(row.pair) + "y";
    HANDLE h =
        CreateFileA(("C:\\x\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    const char16_t c = row.wide;
    const std::string utf8 = {char(0xE0 | c >> 12), char(0x80 | (c >> 6 & 0x3F)), char(0x80 | (c & 0x3F)), 'y'};
    EXPECT_TRUE(TempPrefix::exists(prefix.onC("x/" + utf8)));
    EXPECT_EQ(rkwin_utf8_to_ansi(utf8), name);  // as a name made on the host
    names.insert(name);
  }
  std::set<std::string> listed;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA("C:\\x\\*", &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  do
    if (strcmp(data.cFileName, ".") && strcmp(data.cFileName, "..")) listed.insert(data.cFileName);
  while (FindNextFileA(find, &data));
  FindClose(find);
  EXPECT_EQ(listed, names);  // one entry each, none split into a folder

  // A lead byte before a byte that cannot follow it stays an invalid byte of its own.
  EXPECT_EQ(toWide(936, "\xA1\x7F", 2), (std::u16string{0xFFFD, 0x7F}));
  EXPECT_EQ(toWide(936, "\xAA\x30", 2), (std::u16string{0xFFFD, u'0'}));
  EXPECT_EQ(toWide(936, "\xFE\xFF", 2), (std::u16string{0xFFFD, 0xF8F5}));
}
