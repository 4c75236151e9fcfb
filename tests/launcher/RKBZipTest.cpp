#include <gtest/gtest.h>

#include <string>

#include "PackageWriter.h"
#include "RKBZip.h"
#include "TempFolder.h"
#include "TempPrefix.h"

using RKSDK::RKBZip;
using RKSDK::RKString;
using rktest::windowsName;

namespace {

std::string pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return s;
}

std::string compressed(const std::string& bytes) {
  return stowtools::compressContents({{"\\x", stowtools::kKindFile, 0, bytes}});
}

}  // namespace

TEST(RKBZip, ClassNameAndClosedSides) {
  TempPrefix prefix;
  RKBZip z;
  EXPECT_NE(std::string(z.getClassName()).find(".RKBZip"), std::string::npos);
  char buf[16];
  EXPECT_EQ(z.read(buf, 16), -1);
  EXPECT_EQ(z.write(buf, 16), -1);
  EXPECT_EQ(z.closeRead(), 0);
  EXPECT_EQ(z.closeWrite(), 0);
}

TEST(RKBZip, ReadsAStreamInChunksThenReportsTheEndForever) {
  TempPrefix prefix;
  rktest::TempFolder dir;
  std::string data = pattern(25000);
  rktest::writeFile(dir / "s.bz2", compressed(data));
  RKBZip z;
  ASSERT_TRUE(z.openRead(RKString(windowsName(dir / "s.bz2").c_str())));
  std::string got;
  char buf[10240];
  int sizes[4];
  for (int i = 0; i < 4; ++i) {
    sizes[i] = z.read(buf, sizeof buf);
    if (sizes[i] > 0) got.append(buf, sizes[i]);
  }
  EXPECT_EQ(sizes[0], 10240);
  EXPECT_EQ(sizes[1], 10240);
  EXPECT_EQ(sizes[2], 4520);
  EXPECT_EQ(sizes[3], 0);
  EXPECT_EQ(z.read(buf, sizeof buf), 0);
  EXPECT_TRUE(got == data);
  EXPECT_EQ(z.read(nullptr, 10), -1);
  EXPECT_EQ(z.read(buf, -1), -1);
  EXPECT_EQ(z.closeRead(), 1);
  EXPECT_EQ(z.closeRead(), 0);
}

TEST(RKBZip, WritesWhatItReadsBack) {
  TempPrefix prefix;
  rktest::TempFolder dir;
  RKString path(windowsName(dir / "w.bz2").c_str());
  std::string data = pattern(50000);
  {
    RKBZip z;
    ASSERT_TRUE(z.openWrite(path));
    EXPECT_EQ(z.write(data.data(), 0), 0);
    EXPECT_EQ(z.write(data.data(), 30000), 30000);
    EXPECT_EQ(z.write(data.data() + 30000, 20000), 20000);
    EXPECT_EQ(z.write(nullptr, 5), -1);
    EXPECT_EQ(z.write(data.data(), -2), -1);
    EXPECT_EQ(z.closeWrite(), 1);
    EXPECT_EQ(z.write(data.data(), 5), -1);
  }
  EXPECT_EQ(rktest::readFile(dir / "w.bz2").substr(0, 4), "BZh9");
  RKBZip z;
  ASSERT_TRUE(z.openRead(path));
  std::string got(60000, '\0');
  int n = z.read(&got[0], 60000);
  EXPECT_EQ(n, 50000);
  got.resize(n > 0 ? n : 0);
  EXPECT_TRUE(got == data);
}

TEST(RKBZip, BothSidesAreIndependentAndClosedByTheDestructor) {
  TempPrefix prefix;
  rktest::TempFolder dir;
  rktest::writeFile(dir / "in.bz2", compressed("hello"));
  RKString out(windowsName(dir / "out.bz2").c_str());
  {
    RKBZip z;
    ASSERT_TRUE(z.openRead(RKString(windowsName(dir / "in.bz2").c_str())));
    ASSERT_TRUE(z.openWrite(out));
    char buf[8];
    ASSERT_EQ(z.read(buf, 8), 5);
    EXPECT_EQ(z.write(buf, 5), 5);
    // Reopening a side closes it first (the first output is finished, then replaced).
    ASSERT_TRUE(z.openWrite(out));
    EXPECT_EQ(z.write("again", 5), 5);
  }
  RKBZip z;
  ASSERT_TRUE(z.openRead(out));
  char buf[8];
  ASSERT_EQ(z.read(buf, 8), 5);
  EXPECT_EQ(std::string(buf, 5), "again");
}

TEST(RKBZip, FailsOnMissingDamagedAndTruncatedFiles) {
  TempPrefix prefix;
  rktest::TempFolder dir;
  char buf[4096];
  RKBZip z;
  EXPECT_FALSE(z.openRead(RKString(windowsName(dir / "missing.bz2").c_str())));
  EXPECT_EQ(z.read(buf, sizeof buf), -1);

  rktest::writeFile(dir / "plain.txt", "plain text, not compressed");
  ASSERT_TRUE(z.openRead(RKString(windowsName(dir / "plain.txt").c_str())));
  EXPECT_EQ(z.read(buf, sizeof buf), -1);
  // A failed stream stays failed.
  EXPECT_EQ(z.read(buf, sizeof buf), -1);

  std::string whole = compressed(pattern(200000));
  rktest::writeFile(dir / "cut.bz2", whole.substr(0, whole.size() / 2));
  ASSERT_TRUE(z.openRead(RKString(windowsName(dir / "cut.bz2").c_str())));
  int n;
  long total = 0;
  while ((n = z.read(buf, sizeof buf)) > 0) total += n;
  EXPECT_EQ(n, -1);
  EXPECT_LT(total, 200000);

  // A drive that does not exist cannot be opened either way.
  EXPECT_FALSE(z.openRead(RKString("Q:\\nothing.bz2")));
  EXPECT_FALSE(z.openWrite(RKString("Q:\\nothing.bz2")));
}
