#include <windows.h>

#include "../../../compat/win32/src/kernel/shell_link.h"

#include <gtest/gtest.h>

namespace {

using rkwin::ShellLinkData;

TEST(ShellLinkFormat, HeaderAndLinkInfoFollowThePublishedLayout) {
  ShellLinkData link;
  link.target = "C:\\Program Files\\Vantry\\Vantry.exe";
  link.arguments = link.target;
  link.description = "Vantry image viewer";
  link.iconPath = "C:\\Program Files\\Vantry\\vantry.ico";
  link.showCmd = 5;
  std::vector<BYTE> b = rkwin::encodeShellLink(link);
  ASSERT_GE(b.size(), 76u);
  EXPECT_EQ(b[0], 0x4C);
  EXPECT_EQ(b[4], 0x01);
  EXPECT_EQ(b[5], 0x14);
  EXPECT_EQ(b[6], 0x02);
  EXPECT_EQ(b[19], 0x46);
  DWORD flags = b[20] | (b[21] << 8);
  EXPECT_EQ(flags, 0x2u | 0x4u | 0x20u | 0x40u | 0x80u);
  EXPECT_EQ(b[60], 5) << "show command";
  // The local base path is the ANSI target inside the link info.
  std::string bytes(b.begin(), b.end());
  EXPECT_NE(bytes.find(link.target + std::string(1, '\0')), std::string::npos);
  // The file ends with the terminal block.
  EXPECT_EQ(b[b.size() - 1] | b[b.size() - 2] | b[b.size() - 3] | b[b.size() - 4], 0);
}

TEST(ShellLinkFormat, RoundTripsGbkTextThroughTheUnicodeStrings) {
  ShellLinkData link;
  link.target = "C:\\\xB3\xCC\xD0\xF2\\v.exe";  // a GBK folder name
  link.description = "\xCD\xBC\xC6\xAC\xE4\xAF\xC0\xC0";
  link.arguments = "\"%1\"";
  link.iconPath = "C:\\i.ico";
  link.iconIndex = 2;
  ShellLinkData back;
  ASSERT_TRUE(rkwin::decodeShellLink(rkwin::encodeShellLink(link), &back));
  EXPECT_EQ(back.target, link.target);
  EXPECT_EQ(back.description, link.description);
  EXPECT_EQ(back.arguments, link.arguments);
  EXPECT_EQ(back.iconPath, link.iconPath);
  EXPECT_EQ(back.iconIndex, 2);
  EXPECT_EQ(back.showCmd, 1);
}

TEST(ShellLinkFormat, DecodingRefusesTruncatedOrForeignBytes) {
  ShellLinkData link;
  link.target = "C:\\a.exe";
  link.description = "d";
  std::vector<BYTE> b = rkwin::encodeShellLink(link);
  ShellLinkData back;
  for (size_t cut : {size_t(0), size_t(10), size_t(76), size_t(90), b.size() - 6}) {
    std::vector<BYTE> part(b.begin(), b.begin() + cut);
    EXPECT_FALSE(rkwin::decodeShellLink(part, &back)) << "cut at " << cut;
  }
  b[4] ^= 0xFF;
  EXPECT_FALSE(rkwin::decodeShellLink(b, &back));
}

}  // namespace
