#include <gtest/gtest.h>

#include "PackageWriter.h"
#include "RKFileStream.h"
#include "RKPackageTable.h"
#include "TempFolder.h"
#include "TempPrefix.h"

using namespace RKSDK;
using rktest::windowsName;
using stowtools::PackEntry;

namespace {

// Writes image bytes followed by a package and reads its table back.
int readBack(const std::string& file, const std::string& bytes, RKPackageTable& table) {
  rktest::writeFile(file, bytes);
  RKFileStream stream;
  if (!stream.open(RKString(windowsName(file).c_str()), 0)) return -1;
  return readPackageTable(&stream, table);
}

std::vector<FILENODE> nodes(RKPackageTable& table) {
  std::vector<FILENODE> out;
  if (table.entries.moveFirst()) {
    do out.push_back(*table.entries.getCurrent());
    while (table.entries.moveNext());
  }
  return out;
}

}  // namespace

TEST(PackageTable, ReadsProgramEntriesInOrderAndPackedLength) {
  TempPrefix prefix;
  rktest::TempFolder dir;
  std::vector<PackEntry> entries{
      {"\\docs", 2, 0, ""}, {"\\docs\\a.txt", 1, 3, "abc"}, {"\\odd", 9, 0, ""}, {"\\z", 1, 0, ""}};
  std::string image = "IMAGE-BYTES";
  std::string stream = stowtools::compressContents(entries);
  std::string bytes = image + stowtools::packageBytes("Setup.exe", entries, stream, (uint32_t)image.size());
  RKPackageTable table;
  ASSERT_EQ(readBack(dir / "p.exe", bytes, table), 1);
  EXPECT_TRUE(table.complete);
  EXPECT_STREQ(table.program.data, "Setup.exe");
  EXPECT_EQ(table.packedLength, stream.size());
  auto got = nodes(table);
  ASSERT_EQ(got.size(), 4u);
  EXPECT_STREQ(got[0].path.data, "\\docs");
  EXPECT_EQ(got[0].kind, 2u);
  EXPECT_STREQ(got[1].path.data, "\\docs\\a.txt");
  EXPECT_EQ(got[1].size, 3u);
  EXPECT_EQ(got[2].kind, 9u);
  EXPECT_EQ(got[3].size, 0u);
}

TEST(PackageTable, ZeroEntriesAndNegativeCountsGiveAnEmptyTable) {
  TempPrefix prefix;
  rktest::TempFolder dir;
  std::string empty = "IMG" + stowtools::packageBytes("", {}, "", 3);
  RKPackageTable table;
  ASSERT_EQ(readBack(dir / "a.exe", empty, table), 1);
  EXPECT_STREQ(table.program.data ? table.program.data : "", "");
  EXPECT_EQ(table.entries.getCount(), 0u);
  EXPECT_EQ(table.packedLength, 0u);

  // Count 0x80000000 is negative: no entries, and the packed length follows at once.
  std::string negative("IMGx\0\0\0\0\x80\x05\0\0\0\x03\0\0\0", 17);
  ASSERT_EQ(readBack(dir / "b.exe", negative, table), 1);
  EXPECT_STREQ(table.program.data, "x");
  EXPECT_EQ(table.entries.getCount(), 0u);
  EXPECT_EQ(table.packedLength, 5u);
}

TEST(PackageTable, ATableCutShortStopsAtTheEndOfTheFile) {
  TempPrefix prefix;
  rktest::TempFolder dir;
  // A count of two billion with two entries before the file ends.
  std::string bytes = "IMG" + stowtools::packageBytes("Setup.exe", {{"\\a", 2, 0, ""}, {"\\b", 2, 0, ""}}, "", 3);
  bytes[3 + 10] = '\xFF';
  bytes[3 + 11] = '\xFF';
  bytes[3 + 12] = '\xFF';
  bytes[3 + 13] = '\x7F';
  RKPackageTable table;
  ASSERT_EQ(readBack(dir / "c.exe", bytes, table), 0);
  EXPECT_FALSE(table.complete);
  EXPECT_LE(table.entries.getCount(), 3u);

  // A trailer beyond the end of the file: nothing at all.
  std::string beyond = "IMG" + stowtools::packageBytes("Setup.exe", {{"\\a", 2, 0, ""}}, "", 3);
  beyond.replace(beyond.size() - 4, 4, std::string("\x00\x00\x00\x70", 4));
  ASSERT_EQ(readBack(dir / "d.exe", beyond, table), 0);
  EXPECT_EQ(table.entries.getCount(), 0u);
  EXPECT_EQ(table.packedLength, 0u);
  EXPECT_EQ(readPackageTable(nullptr, table), 0);
}

TEST(PackageTable, EntryPathsMustStayInsideTheUnpackFolder) {
  TempPrefix prefix;
  for (const char* good : {"\\a", "\\a\\b.txt", "\\.hidden", "\\a\\...x", "\\x.\\y",
                           "\\\xD6\xD0"
                           "\xCE\xC4\\\xCE\xC4.txt"})
    EXPECT_TRUE(isContainedEntryPath(RKString(good))) << good;
  for (const char* bad : {"", "a.txt", "\\..", "\\..\\x", "\\a\\..\\..\\x", "\\a/../../x", "\\C:\\x", "\\a:b",
                          "\\.. \\x", "\\a\\. .", "\\...\\x"})
    EXPECT_FALSE(isContainedEntryPath(RKString(bad))) << bad;
}

// GBK (code page 936): the second byte of a character is no separator, and a lead byte before a
// byte no character has second stands alone.
TEST(PackageTable, DoubleByteEntryPathsAreSplitByCharacter) {
  TempPrefix prefix;
  // 誠.. (D5 5C 2E 2E) is one element, not a parent folder.
  EXPECT_TRUE(isContainedEntryPath(RKString("\\\xD5\x5C..\\x")));
  EXPECT_FALSE(isContainedEntryPath(RKString("\\\xD5\x5C\\..\\x")));
  EXPECT_FALSE(isContainedEntryPath(RKString("\\\x81/..\\x")));
  // A lead byte at the end is a character of its own.
  EXPECT_TRUE(isContainedEntryPath(RKString("\\a\\\x81")));
}

TEST(PackageTable, EntryPathsNameTheSameFileWhateverTheCaseAndSeparators) {
  TempPrefix prefix;
  EXPECT_TRUE(isSameEntryPath(RKString("\\Setup.exe"), RKString("\\SETUP.EXE")));
  EXPECT_TRUE(isSameEntryPath(RKString("\\Tools\\Setup.exe"), RKString("\\tools/./setup.exe")));
  EXPECT_TRUE(isSameEntryPath(RKString("\\Tools\\Setup.exe"), RKString("\\\\tools\\\\setup.exe\\")));
  EXPECT_FALSE(isSameEntryPath(RKString("\\Tools\\Setup.exe"), RKString("\\Setup.exe")));
  EXPECT_FALSE(isSameEntryPath(RKString("\\Setup.exe"), RKString("\\Setup.exe.")));
  // GBK: the second byte of a character is neither a letter to fold nor a separator.
  EXPECT_FALSE(isSameEntryPath(RKString("\\\x81\x41.exe"), RKString("\\\x81\x61.exe")));
  EXPECT_FALSE(isSameEntryPath(RKString("\\\x81\x5C"
                                        "a"),
                               RKString("\\\x81\x5C\\a")));
  EXPECT_TRUE(isSameEntryPath(RKString("\\\xD6\xD0\xCE\xC4\\A"), RKString("\\\xD6\xD0\xCE\xC4\\a")));
}
