// The cached index of folder names behind case-insensitive lookups: what it finds, when it lists
// a folder again, and that changes made around it are seen.
#include <folder_index.h>

#include <direct.h>
#include <share.h>
#include <stdio.h>
#include <unistd.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <TempPrefix.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;
using rkwin::FolderIndex;

class FolderIndexTest : public ::testing::Test {
 protected:
  TempPrefix prefix;
  std::string folder = prefix.onC("Index");
  void SetUp() override { fs::create_directories(folder); }
  void touch(const std::string& name) { std::ofstream(folder + "/" + name) << name; }
  // Folder times have the resolution of the kernel's clock tick; a change by someone else is
  // made a little later than the listing it must invalidate.
  static void tick() { std::this_thread::sleep_for(std::chrono::milliseconds(30)); }
};

}  // namespace

TEST_F(FolderIndexTest, FindsNamesWhateverTheirCase) {
  touch("ReadMe.TXT");
  fs::create_directories(folder + "/Sub");
  FolderIndex index;
  std::string found;
  EXPECT_EQ(index.find(folder, "readme.txt", found), FolderIndex::Result::Found);
  EXPECT_EQ(found, "ReadMe.TXT");
  EXPECT_EQ(index.find(folder, "SUB", found), FolderIndex::Result::Found);
  EXPECT_EQ(found, "Sub");
  EXPECT_EQ(index.find(folder, "readme.txt2", found), FolderIndex::Result::Missing);
  // Letters of every script fold, one character to one: ä finds Ä, ß is no SS.
  touch("\xC3\x84rger");
  EXPECT_EQ(index.find(folder, "\xC3\xA4RGER", found), FolderIndex::Result::Found);
  EXPECT_EQ(found, "\xC3\x84rger");
  touch(
      "Stra\xC3\x9F"
      "e");
  EXPECT_EQ(index.find(folder, "STRASSE", found), FolderIndex::Result::Missing);
  EXPECT_EQ(index.find(folder + "/nosuch", "x", found), FolderIndex::Result::NoFolder);
  EXPECT_EQ(index.find(folder + "/ReadMe.TXT", "x", found), FolderIndex::Result::NoFolder);
  EXPECT_EQ(errno, ENOTDIR);
}

TEST_F(FolderIndexTest, NamesThisProcessCreatesAreNotedWithoutListingAgain) {
  touch("first");
  FolderIndex index;
  std::string found;
  ASSERT_EQ(index.find(folder, "FIRST", found), FolderIndex::Result::Found);
  for (int i = 0; i < 2000; ++i) {
    std::string name = "File" + std::to_string(i) + ".Txt";
    touch(name);
    index.noteChanged(folder + "/" + name, true);
  }
  ASSERT_EQ(index.find(folder, "file1999.txt", found), FolderIndex::Result::Found);
  EXPECT_EQ(found, "File1999.Txt");
  fs::remove(folder + "/File7.Txt");
  index.noteChanged(folder + "/File7.Txt", false);
  EXPECT_EQ(index.find(folder, "FILE7.TXT", found), FolderIndex::Result::Missing);
  fs::rename(folder + "/File8.Txt", folder + "/Moved.Txt");
  index.noteChanged(folder + "/File8.Txt", false);
  index.noteChanged(folder + "/Moved.Txt", true);
  EXPECT_EQ(index.find(folder, "file8.txt", found), FolderIndex::Result::Missing);
  EXPECT_EQ(index.find(folder, "MOVED.txt", found), FolderIndex::Result::Found);
  EXPECT_EQ(index.listingCount(), 1u);
}

TEST_F(FolderIndexTest, ChangesMadeByOthersAreSeen) {
  touch("old.txt");
  FolderIndex index;
  std::string found;
  ASSERT_EQ(index.find(folder, "OLD.TXT", found), FolderIndex::Result::Found);
  tick();
  fs::rename(folder + "/old.txt", folder + "/New.txt");
  EXPECT_EQ(index.find(folder, "OLD.TXT", found), FolderIndex::Result::Missing);
  EXPECT_EQ(index.find(folder, "new.TXT", found), FolderIndex::Result::Found);
  EXPECT_EQ(found, "New.txt");
  // A folder replaced by another of the same name is another folder.
  tick();
  fs::remove_all(folder);
  fs::create_directories(folder);
  touch("Other");
  EXPECT_EQ(index.find(folder, "new.txt", found), FolderIndex::Result::Missing);
  EXPECT_EQ(index.find(folder, "OTHER", found), FolderIndex::Result::Found);
}

TEST_F(FolderIndexTest, AChangeRightAfterTheListingIsSeen) {
  // Within one tick of the folder's clock, many times over.
  FolderIndex index;
  std::string found;
  for (int i = 0; i < 200; ++i) {
    std::string name = "Quick" + std::to_string(i);
    ASSERT_EQ(index.find(folder, name, found), FolderIndex::Result::Missing) << i;
    touch(name);
    ASSERT_EQ(index.find(folder, "QUICK" + std::to_string(i), found), FolderIndex::Result::Found) << i;
  }
}

TEST_F(FolderIndexTest, SeveralSpellingsKeepTheFirstListedUntilItGoes) {
  touch("name");
  touch("NAME");
  FolderIndex index;
  std::string first;
  ASSERT_EQ(index.find(folder, "Name", first), FolderIndex::Result::Found);
  fs::remove(folder + "/" + first);
  index.noteChanged(folder + "/" + first, false);
  std::string second;
  ASSERT_EQ(index.find(folder, "Name", second), FolderIndex::Result::Found);
  EXPECT_NE(first, second);
}

TEST_F(FolderIndexTest, KeepsOnlyTheMostRecentlyUsedFolders) {
  for (const char* sub : {"a", "b", "c"}) fs::create_directories(folder + "/" + sub);
  tick();  // folders changed in the tick of their listing would be listed again
  FolderIndex index(2);
  std::string found;
  for (const char* sub : {"a", "b", "c"}) index.find(folder + "/" + sub, "x", found);
  EXPECT_EQ(index.folderCount(), 2u);
  index.find(folder + "/c", "x", found);  // still indexed
  EXPECT_EQ(index.listingCount(), 3u);
  index.find(folder + "/a", "x", found);  // dropped before, listed again
  EXPECT_EQ(index.listingCount(), 4u);
}

// Through the file calls: many new names in one folder, and a rename behind their back.
TEST_F(FolderIndexTest, FileCallsFindNamesChangedBetweenThem) {
  ASSERT_EQ(_mkdir("C:\\INDEX\\Many"), 0);
  for (int i = 0; i < 500; ++i) {
    std::string name = "C:\\index\\MANY\\f" + std::to_string(i) + ".TXT";
    FILE* f = _fsopen(name.c_str(), "wb", _SH_DENYNO);
    ASSERT_NE(f, nullptr) << name;
    fclose(f);
  }
  size_t count = 0;
  for (auto& e : fs::directory_iterator(folder + "/Many")) count += e.path().filename().string()[0] == 'f';
  EXPECT_EQ(count, 500u);
  tick();
  fs::rename(folder + "/Many/f7.TXT", folder + "/Many/Renamed.bin");
  EXPECT_NE(GetFileAttributesA("C:\\index\\many\\RENAMED.BIN"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA("C:\\index\\many\\F7.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(remove("C:\\index\\many\\F8.txt"), 0);
  EXPECT_EQ(GetFileAttributesA("C:\\index\\many\\f8.TXT"), INVALID_FILE_ATTRIBUTES);
}
