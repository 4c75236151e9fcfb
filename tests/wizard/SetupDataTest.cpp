// The setup folder the build assembles: both settings files carry every key the program reads,
// the pictures and the product folder are there.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <map>
#include <string>

#include "RKParam.h"
#include "TempPrefix.h"
#include "compat_path.h"

using namespace RKSDK;

namespace {

const char* const kKeys[] = {"caption",
                             "font",
                             "size",
                             "prev",
                             "next",
                             "exit",
                             "install",
                             "agree",
                             "disagree",
                             "setuppath",
                             "brows",
                             "disk",
                             "diskinfo",
                             "strlicense",
                             "strlicensespec",
                             "strfold",
                             "strfoldspec",
                             "strinstall",
                             "strinstallspec",
                             "strguage",
                             "strshowfile",
                             "strlinkfile",
                             "strlinkfilespec",
                             "strlinklist",
                             "strallselect",
                             "strfinishbtn",
                             "strexit",
                             "strwarring",
                             "strselfold",
                             "logo",
                             "logo2",
                             "logo3",
                             "productfold",
                             "sub_dir",
                             "start_app",
                             "start_app_ico",
                             "start_app_desc",
                             "uninstall_app",
                             "uninstall_app_ico",
                             "uninstall_app_desc",
                             "uninstall_regkey",
                             "regist_root"};

std::string setupBuildFolder() {
  const char* build = getenv("RK_BUILD_DIR");
  return std::filesystem::absolute(std::string(build ? build : ".") + "/wizard").lexically_normal().string();
}

std::string value(RKProperties& p, const char* key) {
  RKString v = p.getString(key, "");
  return v.data ? std::string(v.data, v.length) : std::string();
}

bool validGbk(const std::string& s) {
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char c = (unsigned char)s[i];
    if (c < 0x80) continue;
    if (c == 0x80 || c == 0xFF || i + 1 >= s.size()) return false;
    unsigned char t = (unsigned char)s[++i];
    if (t < 0x40 || t == 0x7F || t == 0xFF) return false;
  }
  return true;
}

}  // namespace

TEST(SetupDataTest, BothLanguagesCarryEveryKeyWithSharedInstallValues) {
  TempPrefix prefix;
  std::string folder = setupBuildFolder();
  char win[4096];
  RKProperties cn, en;
  ASSERT_GT(compat_windows_path((folder + "/setup_cn.properties").c_str(), win, sizeof win), 0u);
  ASSERT_TRUE(cn.load(RKString(win)));
  ASSERT_GT(compat_windows_path((folder + "/setup_en.properties").c_str(), win, sizeof win), 0u);
  ASSERT_TRUE(en.load(RKString(win)));
  for (const char* key : kKeys) {
    EXPECT_FALSE(value(cn, key).empty()) << key;
    EXPECT_FALSE(value(en, key).empty()) << key;
  }
  EXPECT_EQ("Vantry", value(cn, "sub_dir"));
  for (const char* key : {"productfold", "sub_dir", "start_app", "uninstall_app", "regist_root", "logo2",
                          "start_app_ico", "uninstall_app_ico"})
    EXPECT_EQ(value(cn, key), value(en, key)) << key;
  // The welcome and closing pictures carry words, so each language has its own.
  for (const char* key : {"logo", "logo3"}) EXPECT_NE(value(cn, key), value(en, key)) << key;
  // The pattern takes exactly three strings.
  for (RKProperties* p : {&cn, &en}) {
    std::string pattern = value(*p, "diskinfo");
    size_t count = 0;
    for (size_t at = pattern.find('%'); at != std::string::npos; at = pattern.find('%', at + 2)) {
      EXPECT_EQ('s', pattern[at + 1]);
      ++count;
    }
    EXPECT_EQ(3u, count);
  }
  // The Chinese texts are GBK, not UTF-8.
  std::string caption = value(cn, "caption");
  EXPECT_TRUE(validGbk(caption));
  EXPECT_NE(caption, value(en, "caption"));
  EXPECT_TRUE(validGbk(TempPrefix::readFile(folder + "/license_cn.txt")));

  for (const char* key : {"logo", "logo2", "logo3"}) {
    EXPECT_TRUE(TempPrefix::exists(folder + "/" + value(cn, key))) << key;
    EXPECT_TRUE(TempPrefix::exists(folder + "/" + value(en, key))) << key;
  }
  std::string product = folder + "/" + value(en, "productfold");
  EXPECT_TRUE(TempPrefix::exists(product + "/Vantry/VantryShellEx.dll"));
  EXPECT_TRUE(TempPrefix::exists(product + "/Vantry/" + value(en, "start_app")));
  EXPECT_TRUE(TempPrefix::exists(product + "/Vantry/" + value(en, "uninstall_app_ico")));
  std::string reg = TempPrefix::readFile(folder + "/setup.reg");
  EXPECT_NE(std::string::npos, reg.find(value(en, "regist_root")));
}
