#include <RKString.h>

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string>

using namespace RKSDK;

namespace {

// "中文测试" in GBK and in UTF-16.
const char kGbk[] = "\xD6\xD0\xCE\xC4\xB2\xE2\xCA\xD4";
const WCHAR kWide[] = {0x4E2D, 0x6587, 0x6D4B, 0x8BD5, 0};

// WCHAR is char16_t on the stand-in and wchar_t on Windows; both hold UTF-16 units.
std::u16string wideText(const WCHAR* w) {
  std::u16string s;
  while (*w) s.push_back(char16_t(*w++));
  return s;
}

RKString nullString() {
  RKString s(" \t");
  s.trimRight();
  return s;
}

}  // namespace

TEST(StringConstruction, EmptyAndNullGiveEmptyText) {
  RKString a;
  ASSERT_NE(a.data, nullptr);
  EXPECT_STREQ(a.data, "");
  EXPECT_EQ(a.length, 0u);
  EXPECT_TRUE(a.isEmpty());
  RKString b((const char*)nullptr);
  ASSERT_NE(b.data, nullptr);
  EXPECT_STREQ(b.data, "");
  EXPECT_EQ(b.length, 0u);
}

TEST(StringConstruction, FromNumbers) {
  EXPECT_STREQ(RKString(42).data, "42");
  EXPECT_STREQ(RKString(-7).data, "-7");
  EXPECT_STREQ(RKString(0.25).data, "0.250000");
  EXPECT_STREQ(RKString(3.5).data, "3.500000");
  EXPECT_STREQ(RKString((double)1.5f).data, "1.500000");
}

TEST(StringConstruction, CopyOwnsItsText) {
  RKString a("hello");
  RKString b(a);
  a = "other";
  EXPECT_STREQ(b.data, "hello");
  EXPECT_EQ(b.length, 5u);
  EXPECT_NE(a.data, b.data);
  EXPECT_STREQ(b.getClassName(), "RKObject.RKString");
}

TEST(StringAssign, CopiesGivenBytes) {
  RKString s("old");
  s.assign("abcdef", 3);
  EXPECT_STREQ(s.data, "abc");
  EXPECT_EQ(s.length, 3u);
  s.assign(nullptr, 5);
  EXPECT_STREQ(s.data, "");
  EXPECT_EQ(s.length, 0u);
  s = "xyz";
  s = s;
  EXPECT_STREQ(s.data, "xyz");
  s.assign(s.data, 1);  // the own buffer: nothing happens
  EXPECT_STREQ(s.data, "xyz");
  s = (const char*)nullptr;
  EXPECT_STREQ(s.data, "");
}

TEST(StringAppend, ConcatenatesAndIgnoresOwnBuffer) {
  RKString s("ab");
  s.append("cd");
  EXPECT_STREQ(s.data, "abcd");
  EXPECT_EQ(s.length, 4u);
  s.append(s.data);
  EXPECT_STREQ(s.data, "abcd");
  s.append(s.data + 2);  // a part of the own buffer is an ordinary text
  EXPECT_STREQ(s.data, "abcdcd");
  s.append(nullptr);
  EXPECT_STREQ(s.data, "abcdcd");
  EXPECT_EQ(s.length, 6u);
}

TEST(StringAppend, PlusOperators) {
  RKString a("C:\\dir");
  RKString b("file");
  EXPECT_STREQ((a + "\\" + b).data, "C:\\dir\\file");
  EXPECT_STREQ(("x" + b).data, "xfile");
  EXPECT_STREQ(((const char*)nullptr + b).data, "file");
  EXPECT_STREQ((nullString() + b).data, "file");
  EXPECT_STREQ((a + (const char*)nullptr).data, "C:\\dir");
  EXPECT_STREQ(a.data, "C:\\dir");  // operands unchanged
}

TEST(StringSubstring, InclusiveRanges) {
  RKString s("abcdef");
  EXPECT_STREQ(s.substring(1, 3).data, "bcd");
  EXPECT_STREQ(s.substring(2, -1).data, "cdef");
  EXPECT_STREQ(s.substring(0, 6).data, "abcdef");
  EXPECT_STREQ(s.substring(0, 0).data, "a");
  EXPECT_STREQ(s.substring(5, 5).data, "f");
  EXPECT_EQ(s.substring(2, 4).length, 3u);
}

TEST(StringSubstring, OutOfRangeGivesEmpty) {
  RKString s("abcdef");
  EXPECT_STREQ(s.substring(6, 6).data, "");
  EXPECT_STREQ(s.substring(3, 2).data, "");
  EXPECT_STREQ(s.substring(-1, 2).data, "");
  EXPECT_STREQ(s.substring(0, 7).data, "");
  EXPECT_STREQ(s.substring(7, -1).data, "");
  EXPECT_STREQ(nullString().substring(0, -1).data, "");
}

TEST(StringSearch, LastIndexOf) {
  EXPECT_EQ(RKString("C:\\dir\\file").lastIndexOf('\\'), 6);
  EXPECT_EQ(RKString("file").lastIndexOf('\\'), -1);
  EXPECT_EQ(RKString("abc").lastIndexOf(0), -1);
  EXPECT_EQ(RKString("aXa").lastIndexOf('a'), 2);
  EXPECT_EQ(RKString("aXa").lastIndexOf('a'), 2);
  EXPECT_EQ(nullString().lastIndexOf('a'), -1);
}

TEST(StringReplace, ReplacesLeftToRight) {
  RKString s("aXa");
  EXPECT_EQ(s.replaceAll("a", "aa"), 1);
  EXPECT_STREQ(s.data, "aaXaa");
  EXPECT_EQ(s.length, 5u);
  RKString path("[ROOT]\\bin;[ROOT]\\lib");
  EXPECT_EQ(path.replaceAll("[ROOT]", "C:\\Program Files\\App"), 1);
  EXPECT_STREQ(path.data, "C:\\Program Files\\App\\bin;C:\\Program Files\\App\\lib");
  RKString shrink("aaaa");
  EXPECT_EQ(shrink.replaceAll("aa", "b"), 1);
  EXPECT_STREQ(shrink.data, "bb");
  RKString gone("xyx");
  EXPECT_EQ(gone.replaceAll("x", ""), 1);
  EXPECT_STREQ(gone.data, "y");
  EXPECT_EQ(gone.length, 1u);
}

TEST(StringReplace, RefusesBadArguments) {
  RKString s("abc");
  EXPECT_EQ(s.replaceAll("", "x"), 0);
  EXPECT_EQ(s.replaceAll(nullptr, "x"), 0);
  EXPECT_EQ(s.replaceAll("a", nullptr), 0);
  EXPECT_STREQ(s.data, "abc");
  RKString empty;
  EXPECT_EQ(empty.replaceAll("a", "b"), 1);
  RKString none = nullString();
  EXPECT_EQ(none.replaceAll("a", "b"), 1);
  EXPECT_EQ(s.replaceAll("zz", "y"), 1);
  EXPECT_STREQ(s.data, "abc");
}

TEST(StringTrim, TrimRight) {
  RKString s("ab \r\n");
  s.trimRight();
  EXPECT_STREQ(s.data, "ab");
  EXPECT_EQ(s.length, 2u);
  RKString blank(" \t");
  blank.trimRight();
  EXPECT_EQ(blank.data, nullptr);
  EXPECT_EQ(blank.length, 0u);
  RKString kept("a b");
  kept.trimRight();
  EXPECT_STREQ(kept.data, "a b");
}

TEST(StringTrim, TrimLeft) {
  RKString s("  ab ");
  s.trimLeft();
  EXPECT_STREQ(s.data, "ab ");
  EXPECT_EQ(s.length, 3u);
  RKString blank("\n\n");
  blank.trimLeft();
  EXPECT_EQ(blank.data, nullptr);
  EXPECT_EQ(blank.length, 0u);
  RKString plain("x");
  plain.trimLeft();
  EXPECT_STREQ(plain.data, "x");
}

TEST(StringTrim, NullTextStillWorks) {
  RKString s = nullString();
  EXPECT_EQ(s.data, nullptr);
  EXPECT_TRUE(s.isEmpty());
  s.trimLeft();
  s.trimRight();
  EXPECT_EQ(s.toWide(), nullptr);
  s.append("x");
  EXPECT_STREQ(s.data, "x");
  EXPECT_EQ(s.length, 1u);
  RKString t = nullString();
  RKString copy(t);
  EXPECT_EQ(copy.data, nullptr);
  t = "y";
  EXPECT_STREQ(t.data, "y");
}

TEST(StringFormat, FormatsAnyLength) {
  RKString s;
  EXPECT_EQ(s.format("createwindows err=%d", 5), 1);
  EXPECT_STREQ(s.data, "createwindows err=5");
  EXPECT_EQ(s.length, 19u);
  std::string big(2500, 'q');
  EXPECT_EQ(s.format("%s", big.c_str()), 1);
  EXPECT_EQ(s.length, 2500u);
  EXPECT_EQ(std::string(s.data), big);
  std::string exact(1000, 'r');
  EXPECT_EQ(s.format("%s!", exact.c_str()), 1);
  EXPECT_EQ(s.length, 1001u);
  EXPECT_EQ(s.data[1000], '!');
}

TEST(StringFormat, MayUseItsOwnText) {
  RKString s("abc");
  EXPECT_EQ(s.format("<%s>", s.data), 1);
  EXPECT_STREQ(s.data, "<abc>");
}

TEST(StringFormat, FailureKeepsOldText) {
  RKString s("keep");
  // A wide character that the C locale cannot encode makes the formatter fail.
  const wchar_t wide[] = {0x4E2D, 0};
  EXPECT_EQ(s.format("%ls", wide), 0);
  EXPECT_STREQ(s.data, "keep");
  EXPECT_EQ(s.length, 4u);
}

TEST(StringFormat, NullPatternLeavesNullText) {
  RKString s("x");
  s.format(nullptr);
  EXPECT_EQ(s.data, nullptr);
  EXPECT_EQ(s.length, 0u);
}

TEST(StringWide, ChineseSurvivesRoundTrip) {
  RKString s(kGbk);
  const WCHAR* w = s.toWide();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(wideText(w), wideText(kWide));
  RKString back;
  back.fromWide(w);
  EXPECT_STREQ(back.data, kGbk);
  EXPECT_EQ(back.length, 8u);
  EXPECT_TRUE(back == s);
}

TEST(StringWide, MixedTextAndCacheRenewal) {
  RKString s("C:\\\xD6\xD0\\a.txt");
  const WCHAR* w = s.toWide();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(wideText(w), std::u16string(u"C:\\\u4E2D\\a.txt"));
  s = "b";
  const WCHAR* w2 = s.toWide();
  ASSERT_NE(w2, nullptr);
  EXPECT_EQ(wideText(w2), u"b");
}

TEST(StringWide, EmptyAndNull) {
  RKString empty;
  EXPECT_EQ(empty.toWide(), nullptr);
  RKString s("x");
  s.fromWide(nullptr);
  EXPECT_STREQ(s.data, "");
  EXPECT_EQ(s.length, 0u);
  const WCHAR none[] = {0};
  s = "y";
  s.fromWide(none);
  EXPECT_STREQ(s.data, "");
  EXPECT_EQ(s.length, 0u);
}

TEST(StringWide, InvalidBytesAreReplaced) {
  RKString s("ab\x81");  // a lead byte without its trail byte
  const WCHAR* w = s.toWide();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w[0], u'a');
  EXPECT_EQ(w[1], u'b');
  EXPECT_EQ(w[2], 0xFFFD);
  EXPECT_EQ(w[3], 0);
}

// On Windows these run with the Chinese locale; a wrong set-up fails here first.
TEST(StringCp936, AnsiCodePageIs936) { EXPECT_EQ(GetACP(), 936u); }

TEST(StringCp936, ByteFFIsThePrivateUseCharacterF8F5BothWays) {
  RKString s(
      "a\xFF"
      "b");
  const WCHAR* w = s.toWide();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(wideText(w), std::u16string(u"a\uF8F5b"));
  RKString back;
  back.fromWide(w);
  EXPECT_STREQ(back.data,
               "a\xFF"
               "b");
}

TEST(StringWide, FollowsTheConfiguredCodePage) {
  setenv("RKWIN_ACP", "65001", 1);
  RKString s("\xE4\xB8\xAD");  // U+4E2D in UTF-8
  const WCHAR* w = s.toWide();
  unsetenv("RKWIN_ACP");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w[0], 0x4E2D);
  EXPECT_EQ(w[1], 0);
}

TEST(StringCompare, EqualityIsByteExact) {
  EXPECT_TRUE(RKString("abc") == RKString("abc"));
  EXPECT_FALSE(RKString("abc") == RKString("abC"));
  EXPECT_FALSE(RKString("abc") == RKString("ab"));
  EXPECT_TRUE(RKString("abc") != "ab");
  EXPECT_TRUE(RKString("abc") == "abc");
  EXPECT_TRUE(RKString() == nullString());
  RKString withZero;
  withZero.assign("a\0b", 3);
  RKString other;
  other.assign("a\0c", 3);
  EXPECT_FALSE(withZero == other);
  EXPECT_TRUE(withZero.equals(withZero));
}

TEST(StringCompare, IgnoreCaseFoldsOnlyAsciiLetters) {
  EXPECT_TRUE(RKString("Setup.EXE").equalsIgnoreCase(RKString("setup.exe")));
  EXPECT_FALSE(RKString("abc").equalsIgnoreCase(RKString("abd")));
  EXPECT_FALSE(RKString("abc").equalsIgnoreCase(RKString("ab")));
  EXPECT_TRUE(RKString().equalsIgnoreCase(nullString()));
  EXPECT_FALSE(RKString().equalsIgnoreCase(RKString("a")));
  EXPECT_FALSE(RKString("a").equalsIgnoreCase(RKString()));
  // Bytes outside A-Z are compared as they are: GBK texts and '[' versus '{'.
  EXPECT_TRUE(RKString(kGbk).equalsIgnoreCase(RKString(kGbk)));
  EXPECT_FALSE(RKString("\xC1").equalsIgnoreCase(RKString("\xE1")));
  EXPECT_FALSE(RKString("[").equalsIgnoreCase(RKString("{")));
}

// In code page 936 the second byte of 誠 (D5 5C), 運 (DF 5C) and 錦 (E5 5C) is the byte of a
// backslash; searches take such a character whole.
namespace {
const char kChosen[] = "C:\\\xC8\xED\xBC\xFE\\\xEA\x90\xD5\x5C";  // C:\软件\陳誠
}  // namespace

TEST(StringDoubleByte, SearchesStepOverSecondBytes) {
  RKString chosen(kChosen);
  EXPECT_EQ(chosen.lastIndexOf('\\'), 7);
  EXPECT_FALSE(chosen.endsWith('\\'));
  EXPECT_TRUE((chosen + "\\").endsWith('\\'));
  EXPECT_EQ((chosen + "\\").lastIndexOf('\\'), 12);
  // 運 in the middle, ASCII around it.
  RKString middle(
      "a\\b\xDF\x5C"
      "c");
  EXPECT_EQ(middle.lastIndexOf('\\'), 1);
  EXPECT_TRUE(middle.endsWith('c'));
  EXPECT_FALSE(RKString("\xDF\x5C").endsWith('\\'));
  EXPECT_EQ(RKString("\xDF\x5C\xE5\x5C").lastIndexOf('\\'), -1);
  // A lead byte that ends the text is a character of its own.
  EXPECT_EQ(RKString("a\xD5").lastIndexOf('\xD5'), 1);
  EXPECT_FALSE(RKString().endsWith('\\'));
  EXPECT_FALSE(nullString().endsWith('\\'));

  EXPECT_EQ(chosen.charLength(0), 1u);
  EXPECT_EQ(chosen.charLength(3), 2u);
  EXPECT_EQ(chosen.charLength(10), 2u);
  EXPECT_EQ(chosen.charLength(12), 0u);
}

TEST(StringDoubleByte, ReplaceMatchesOnlyWholeCharacters) {
  RKString s("\xD5\x5C\\x\\");
  EXPECT_EQ(s.replaceAll("\\", "/"), 1);
  EXPECT_STREQ(s.data, "\xD5\x5C/x/");
  EXPECT_EQ(s.length, 5u);
  // A marker that begins with the second byte of a character is not there.
  RKString marker(
      "\xD5\x5C"
      "ROOT]");
  EXPECT_EQ(marker.replaceAll("\\ROOT]", "X"), 1);
  EXPECT_STREQ(marker.data,
               "\xD5\x5C"
               "ROOT]");
  RKString both("[\xD5\x5C]=[\xD5\x5C]");
  EXPECT_EQ(both.replaceAll("[\xD5\x5C]", "\xDF\x5C"), 1);
  EXPECT_STREQ(both.data, "\xDF\x5C=\xDF\x5C");
}

TEST(StringDoubleByte, IgnoreCaseComparesDoubleByteCharactersExactly) {
  // 丄 (81 41) and 乤 (81 61) differ only in a second byte that looks like a letter.
  EXPECT_FALSE(RKString("\x81\x41").equalsIgnoreCase(RKString("\x81\x61")));
  EXPECT_TRUE(RKString("\x81\x41Setup").equalsIgnoreCase(RKString("\x81\x41SETUP")));
  EXPECT_TRUE(RKString(kChosen).equalsIgnoreCase(RKString("c:\\\xC8\xED\xBC\xFE\\\xEA\x90\xD5\x5C")));
}

TEST(StringDoubleByte, SingleByteCodePageSearchesBytes) {
  setenv("RKWIN_ACP", "1252", 1);
  RKString latin("\xD5\x5C");
  int at = latin.lastIndexOf('\\');
  bool ends = latin.endsWith('\\');
  unsetenv("RKWIN_ACP");
  EXPECT_EQ(at, 1);
  EXPECT_TRUE(ends);
}
