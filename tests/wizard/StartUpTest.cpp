// Setup's start-up: settings from beside the program, the product walk, lookups and the licence.
#include <cstring>
#include <string>
#include <vector>

#include "SetupFixture.h"

using namespace RKSDK;

namespace {

struct Entry {
  std::string path;
  u32 kind;
  u32 size;
  bool operator==(const Entry& o) const { return path == o.path && kind == o.kind && size == o.size; }
};

std::vector<Entry> walked() {
  std::vector<Entry> out;
  if (!packageList.moveFirst()) return out;
  do {
    FILENODE* n = packageList.getCurrent();
    out.push_back({n->path.data ? n->path.data : "", n->kind, n->size});
  } while (packageList.moveNext());
  return out;
}

std::string text(const RKString& s) { return s.data ? std::string(s.data, s.length) : std::string(); }

}  // namespace

class StartUpTest : public SetupFixture {};

TEST_F(StartUpTest, LoadsBothFilesAndWalksFoldersBeforeTheirContents) {
  writeSettings();
  write("prod/a.txt", "12345");
  write("prod/b/c.txt", "xy");
  write("prod/b/d/e.bin", "");
  makeFolder("prod/b/empty");
  write("prod/z.txt", "z");
  ASSERT_EQ(1, startUp());
  EXPECT_EQ("C:\\setup\\", text(getSetupFolder()));
  std::vector<Entry> expected = {{"a.txt", 1, 5},       {"b", 2, 0},        {"b\\c.txt", 1, 2}, {"b\\d", 2, 0},
                                 {"b\\d\\e.bin", 1, 0}, {"b\\empty", 2, 0}, {"z.txt", 1, 1}};
  EXPECT_EQ(expected, walked());
  // Lookups read the Chinese map until the language changes.
  EXPECT_EQ("\xB0\xB2\xD7\xB0", text(getProperty("caption")));
  EXPECT_EQ("", text(getProperty("absent")));
  currentProperties = &englishProperties;
  EXPECT_EQ("Setup", text(getProperty("caption")));
}

TEST_F(StartUpTest, EmptyOrMissingProductFolderGivesAnEmptyList) {
  writeSettings();
  ASSERT_EQ(1, startUp());
  EXPECT_EQ(0u, packageList.getCount());

  resetGlobals();
  makeFolder("prod/only/empty");
  ASSERT_EQ(1, startUp());
  std::vector<Entry> expected = {{"only", 2, 0}, {"only\\empty", 2, 0}};
  EXPECT_EQ(expected, walked());
}

TEST_F(StartUpTest, EitherSettingsFileMissingEndsTheStartUp) {
  write("setup_cn.properties", "productfold=prod\n");
  write("prod/a.txt", "a");
  EXPECT_EQ(0, startUp());
  EXPECT_EQ(0u, packageList.getCount());

  resetGlobals();
  std::filesystem::remove(setupHost() + "/setup_cn.properties");
  write("setup_en.properties", "productfold=prod\n");
  EXPECT_EQ(0, startUp());
  EXPECT_EQ(0u, packageList.getCount());
}

TEST_F(StartUpTest, FontSizeFollowsTheStringToLongRules) {
  writeSettings("size=12pt\nneg= -3\nempty=\nword=big\n");
  ASSERT_EQ(1, startUp());
  EXPECT_EQ(12, getFontSize("size"));
  EXPECT_EQ(-3, getFontSize("neg"));
  EXPECT_EQ(0, getFontSize("empty"));
  EXPECT_EQ(0, getFontSize("absent"));
  EXPECT_EQ(0, getFontSize("word"));
}

TEST_F(StartUpTest, LicenceOfTheCurrentLanguageAsRawBytes) {
  writeSettings();
  std::string cn = "\xD0\xED\xBF\xC9\r\nline 2\r\n";
  write("license_cn.txt", cn);
  ASSERT_EQ(1, startUp());
  EXPECT_EQ(cn, text(loadLicenseText()));
  // No English licence: the text is empty although the Chinese one exists.
  languageIndex = 1;
  EXPECT_EQ("", text(loadLicenseText()));
  write("license_en.txt", "English terms");
  EXPECT_EQ("English terms", text(loadLicenseText()));
}

TEST_F(StartUpTest, EmptyOrUnreadableLicenceGivesTheEmptyText) {
  writeSettings();
  write("license_cn.txt", "");
  ASSERT_EQ(1, startUp());
  EXPECT_EQ("", text(loadLicenseText()));
  // A folder in the licence's place cannot be read.
  std::filesystem::remove(setupHost() + "/license_cn.txt");
  makeFolder("license_cn.txt");
  EXPECT_EQ("", text(loadLicenseText()));
}

TEST_F(StartUpTest, SettingsWithoutTheInstallKeysEndTheStartUpLikeMissingOnes) {
  write("prod/a.txt", "a");
  // Both files empty: every key would read as empty.
  write("setup_cn.properties", "");
  write("setup_en.properties", "");
  EXPECT_EQ(0, startUp());
  EXPECT_EQ(0u, packageList.getCount());
  // Each key the install road needs, missing or empty in either file, is enough.
  for (const char* key : {"productfold", "sub_dir", "start_app", "uninstall_app", "regist_root"}) {
    for (int file = 0; file < 2; ++file) {
      resetGlobals();
      writeSettings();
      const char* name = file ? "setup_en.properties" : "setup_cn.properties";
      std::string text = TempPrefix::readFile(setupHost() + "/" + name);
      size_t at = text.find(std::string(key) + "=");
      ASSERT_NE(std::string::npos, at) << key;
      text.erase(at + strlen(key) + 1, text.find('\n', at) - at - strlen(key) - 1);
      write(name, text);
      EXPECT_EQ(0, startUp()) << key << " in " << name;
      EXPECT_EQ(0u, packageList.getCount()) << key << " in " << name;
    }
  }
  // A settings file cut off after its first lines lacks the later keys.
  resetGlobals();
  writeSettings();
  write("setup_en.properties", "productfold=prod\ncaption=Setup\nsub_dir=Va");
  EXPECT_EQ(0, startUp());
  resetGlobals();
  writeSettings();
  EXPECT_EQ(1, startUp());
}

// The window's texts are no install keys: missing or empty, they read as empty and start-up goes on.
TEST_F(StartUpTest, MissingOrEmptyInterfaceTextsReadAsEmpty) {
  write("prod/a.txt", "a");
  const std::string installKeys =
      "productfold=prod\nsub_dir=Vantry\nstart_app=VantryView.exe\n"
      "uninstall_app=Uninstall.exe\nregist_root=%INSTALLDIR%\n";
  // Chinese: every text present but empty; English: every text missing.
  write("setup_cn.properties", installKeys + "caption=\nprev=\nnext=\nexit=\ninstall=\nstrfinishbtn=\n");
  write("setup_en.properties", installKeys);
  ASSERT_EQ(1, startUp());
  EXPECT_EQ(1u, packageList.getCount());
  for (int language = 0; language < 2; ++language) {
    currentProperties = language ? &englishProperties : &chineseProperties;
    for (const char* key : {"caption", "prev", "next", "exit", "install", "strfinishbtn"})
      EXPECT_EQ("", text(getProperty(key))) << key << " in language " << language;
  }
}

TEST_F(StartUpTest, ARootEndingInASeparatorKeepsEveryNameWhole) {
  write("prod/a.txt", "12345");
  write("prod/b/c.txt", "xy");
  scanPackageFolder("C:\\setup\\prod\\", "C:\\setup\\prod\\", &packageList);
  std::vector<Entry> expected = {{"a.txt", 1, 5}, {"b", 2, 0}, {"b\\c.txt", 1, 2}};
  EXPECT_EQ(expected, walked());
  packageList.removeAll();
  scanPackageFolder("C:\\setup\\prod", "C:\\setup\\prod", &packageList);
  EXPECT_EQ(expected, walked());
}

// Folder names whose last character ends in the byte of a backslash (誠 is D5 5C, 運 DF 5C in
// code page 936): the setup folder beside the program and a product folder named so.
TEST_F(StartUpTest, DoubleByteFolderNamesEndingInTheByteOfABackslashAreWalkedWhole) {
  // C:\陳誠\setup.exe, with the product folder 運誠 (UTF-8 names on the host side).
  const std::string folder = prefix.onC("\xE9\x99\xB3\xE8\xAA\xA0");
  std::filesystem::create_directories(folder + "/\xE9\x81\x8B\xE8\xAA\xA0/b");
  TempPrefix::writeFile(folder + "/\xE9\x81\x8B\xE8\xAA\xA0/a.txt", "12345");
  TempPrefix::writeFile(folder + "/\xE9\x81\x8B\xE8\xAA\xA0/b/\xE8\xAA\xA0.txt", "xy");
  TempPrefix::writeFile(folder + "/setup_cn.properties", "productfold=\xDF\x5C\xD5\x5C\n" + installKeys());
  TempPrefix::writeFile(folder + "/setup_en.properties", "productfold=\xDF\x5C\xD5\x5C\n" + installKeys());
  compat_set_module_path("C:\\\xEA\x90\xD5\x5C\\setup.exe");
  ASSERT_EQ(1, startUp());
  EXPECT_EQ("C:\\\xEA\x90\xD5\x5C\\", text(getSetupFolder()));
  EXPECT_EQ("C:\\\xEA\x90\xD5\x5C\\\xDF\x5C\xD5\x5C", text(packageRoot));
  std::vector<Entry> expected = {{"a.txt", 1, 5}, {"b", 2, 0}, {"b\\\xD5\x5C.txt", 1, 2}};
  EXPECT_EQ(expected, walked());
}
