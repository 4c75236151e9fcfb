#include "LOGICDRIVERS.h"
#include "RKFile.h"

#include <gtest/gtest.h>

#include <TempPrefix.h>

#include <string.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace RKSDK;

namespace {

class File : public ::testing::Test {
 protected:
  TempPrefix prefix;
};

class TxtOnly : public IRKFileFilter {
 public:
  int accept(RKString name) override {
    seen.push_back(name.data);
    return name.length > 4 && strcmp(name.data + name.length - 4, ".txt") == 0;
  }
  std::vector<std::string> seen;
};

std::vector<std::string> paths(TRKList<RKString>& list) {
  std::vector<std::string> out;
  for (int more = list.moveFirst(); more; more = list.moveNext()) out.push_back(list.getCurrent()->data);
  return out;
}

}  // namespace

TEST(FilePath, NamesAndParents) {
  RKFile f(RKString("C:\\dir\\a.txt"));
  EXPECT_STREQ(f.getClassName(), "RKObject.RKFile");
  EXPECT_STREQ(f.getName().data, "a.txt");
  EXPECT_STREQ(f.getParent().data, "C:\\dir");
  EXPECT_STREQ(f.getPath().data, "C:\\dir\\a.txt");
  EXPECT_STREQ(RKFile(RKString("C:\\a.txt")).getParent().data, "C:\\");
  RKFile dir(RKString("C:\\dir\\"));
  EXPECT_STREQ(dir.getName().data, "");
  EXPECT_EQ(dir.getLastError(), 0u);

  RKFile bare(RKString("a.txt"));
  EXPECT_STREQ(bare.getName().data, "");
  EXPECT_EQ(bare.getLastError(), RKFILE_NAME_ERROR);
  EXPECT_STREQ(bare.getErrorText(RKFILE_NAME_ERROR), "File name error");
  EXPECT_EQ(bare.getParentFile(), nullptr);
  EXPECT_EQ(bare.getLastError(), RKFILE_NAME_ERROR);

  // Walking upwards ends: "\x" and a drive root have no parent.
  RKFile rooted(RKString("\\x"));
  EXPECT_STREQ(rooted.getParent().data, "");
  EXPECT_EQ(rooted.getLastError(), RKFILE_NAME_ERROR);
  RKFile* up = f.getParentFile();
  int steps = 0;
  while (up && steps < 10) {
    RKFile* next = up->getParentFile();
    up->release();
    up = next;
    ++steps;
  }
  EXPECT_EQ(steps, 2);  // C:\dir, then the root
  EXPECT_EQ(up, nullptr);

  EXPECT_EQ(f.setPath(RKString("C:\\b")), 1);
  EXPECT_STREQ(f.getName().data, "b");
  RKFile copy(f);
  EXPECT_STREQ(copy.getPath().data, "C:\\b");

  EXPECT_STREQ(f.getErrorText(RKFILE_EXISTS), "File exis");
  EXPECT_STREQ(f.getErrorText(RKFILE_BAD_PARAMETER), "Paramater is wrong");
  EXPECT_STREQ(f.getErrorText(RKFILE_ACCESS_DENIED),
               "Access denied: file's permission setting does not allow specified access");
  EXPECT_STREQ(f.getErrorText(RKFILE_NOT_FOUND), "Filename or path not found");
  EXPECT_STREQ(f.getErrorText(RKFILE_NO_DESCRIPTORS), "No more file descriptors are available");
  EXPECT_STREQ(f.getErrorText(RKFILE_OPEN_FAIL), "Open file fail");
  EXPECT_STREQ(f.getErrorText(RKFILE_CLOSE_FAIL), "Close file fail");
  EXPECT_STREQ(f.getErrorText(0xF0000009u), "Success");
}

TEST_F(File, KindsOfPaths) {
  EXPECT_EQ(RKFile(RKString("C:")).isDirectory(), 1);
  EXPECT_EQ(RKFile(RKString("C:\\")).isDirectory(), 1);
  EXPECT_EQ(RKFile(RKString("C:\\Windows\\")).isDirectory(), 1);
  RKFile missing(RKString("C:\\missing"));
  EXPECT_EQ(missing.isDirectory(), 0);
  EXPECT_EQ(missing.getLastError(), RKFILE_NOT_FOUND);
  EXPECT_EQ(missing.exists(), 0);
  EXPECT_EQ(missing.getLastError(), 0u);
  EXPECT_EQ(missing.length(), 0);
  EXPECT_EQ(missing.getLastError(), RKFILE_NOT_FOUND);
  EXPECT_EQ(missing.lastModified(), nullptr);
  EXPECT_EQ(missing.isExecutable(), 0);

  TempPrefix::writeFile(prefix.onC("Setup.exe"), "MZ1234");
  RKFile exe(RKString("C:\\setup.exe"));
  EXPECT_EQ(exe.isFile(), 1);
  EXPECT_EQ(exe.isDirectory(), 0);
  EXPECT_EQ(exe.isExecutable(), 1);
  EXPECT_EQ(exe.length(), 6);
  EXPECT_EQ(exe.canRead(), 1);
  EXPECT_EQ(exe.canWrite(), 1);
  TempPrefix::writeFile(prefix.onC("readme.txt"), "");
  EXPECT_EQ(RKFile(RKString("C:\\readme.txt")).isExecutable(), 0);
  EXPECT_EQ(RKFile(RKString("C:\\")).isFile(), 0);
}

TEST_F(File, CreateRemoveMkdirAndRename) {
  RKFile f(RKString("C:\\new.txt"));
  EXPECT_EQ(f.createNewFile(), 1);
  EXPECT_EQ(f.exists(), 1);
  TempPrefix::writeFile(prefix.onC("new.txt"), "keep");
  EXPECT_EQ(f.createNewFile(), 0);
  EXPECT_EQ(f.getLastError(), RKFILE_EXISTS);
  EXPECT_EQ(TempPrefix::readFile(prefix.onC("new.txt")), "keep");
  EXPECT_EQ(RKFile(RKString("C:\\no\\new.txt")).createNewFile(), 0);

  RKFile dir(RKString("C:\\dir"));
  EXPECT_EQ(dir.mkdir(), 1);
  EXPECT_EQ(dir.mkdir(), 0);
  EXPECT_EQ(dir.getLastError(), RKFILE_NOT_FOUND);
  EXPECT_EQ(RKFile(RKString("C:\\a\\b")).mkdir(), 0);

  EXPECT_EQ(f.renameTo(RKString("C:\\dir\\moved.txt")), 1);
  EXPECT_STREQ(f.getPath().data, "C:\\new.txt");  // the object keeps its path
  EXPECT_EQ(f.exists(), 0);
  RKFile moved(RKString("C:\\dir\\moved.txt"));
  EXPECT_EQ(TempPrefix::readFile(prefix.onC("dir/moved.txt")), "keep");
  TempPrefix::writeFile(prefix.onC("other.txt"), "other");
  EXPECT_EQ(RKFile(RKString("C:\\other.txt")).renameTo(RKString("C:\\dir\\moved.txt")), 0);  // no overwriting
  EXPECT_EQ(TempPrefix::readFile(prefix.onC("dir/moved.txt")), "keep");

  EXPECT_EQ(dir.remove(), 0);  // not empty
  EXPECT_EQ(moved.remove(), 1);
  EXPECT_EQ(dir.remove(), 1);
  EXPECT_FALSE(TempPrefix::exists(prefix.onC("dir")));
  EXPECT_EQ(dir.remove(), 0);
}

TEST_F(File, ListingsAppendFilteredLongPaths) {
  std::filesystem::create_directories(prefix.onC("Dir/Sub"));
  TempPrefix::writeFile(prefix.onC("Dir/b.txt"), "");
  TempPrefix::writeFile(prefix.onC("Dir/a.TXT"), "");
  TempPrefix::writeFile(prefix.onC("Dir/c.txt"), "");
  std::filesystem::create_directories(prefix.onC("Empty"));

  TRKList<RKString> all;
  all.addLast(RKString("earlier"));
  RKFile dir(RKString("C:\\dir"));
  ASSERT_EQ(dir.list(&all), 1);
  // Appended, in the system's order, with the names on disk.
  EXPECT_EQ(paths(all), (std::vector<std::string>{"earlier", "C:\\Dir\\a.TXT", "C:\\Dir\\b.txt", "C:\\Dir\\c.txt",
                                                  "C:\\Dir\\Sub"}));
  TRKList<RKString> slash;
  ASSERT_EQ(RKFile(RKString("C:\\dir\\")).list(&slash), 1);
  EXPECT_EQ(paths(slash).size(), 4u);
  EXPECT_EQ(paths(slash)[1], "C:\\Dir\\b.txt");

  TxtOnly filter;
  TRKList<RKString> txt;
  ASSERT_EQ(dir.list(&txt, &filter), 1);
  EXPECT_EQ(paths(txt), (std::vector<std::string>{"C:\\Dir\\b.txt", "C:\\Dir\\c.txt"}));
  EXPECT_EQ(filter.seen, (std::vector<std::string>{"a.TXT", "b.txt", "c.txt", "Sub"}));  // bare names

  TRKList<RKFile*> files;
  ASSERT_EQ(dir.listFiles(&files, &filter), 1);
  ASSERT_EQ(files.getCount(), 2u);
  for (int more = files.moveFirst(); more; more = files.moveNext()) {
    RKFile* f = *files.getCurrent();
    EXPECT_EQ(f->isFile(), 1);
    EXPECT_EQ(f->release(), 0u);
  }
  TRKList<RKFile*> everything;
  ASSERT_EQ(dir.listFiles(&everything), 1);
  EXPECT_EQ(everything.getCount(), 4u);
  for (int more = everything.moveFirst(); more; more = everything.moveNext()) (*everything.getCurrent())->release();

  TRKList<RKString> none;
  EXPECT_EQ(RKFile(RKString("C:\\Empty")).list(&none), 1);
  EXPECT_EQ(none.getCount(), 0u);
  EXPECT_EQ(RKFile(RKString("C:\\Dir\\b.txt")).list(&none), 0);
  RKFile missing(RKString("C:\\missing"));
  EXPECT_EQ(missing.list(&none), 0);
  EXPECT_EQ(missing.getLastError(), RKFILE_NOT_FOUND);
  EXPECT_EQ(dir.list(nullptr), 0);
  EXPECT_EQ(dir.getLastError(), RKFILE_BAD_PARAMETER);
  EXPECT_EQ(dir.list(&none, nullptr), 0);
  EXPECT_EQ(dir.listFiles(&files, nullptr), 0);
  EXPECT_EQ(dir.getLastError(), RKFILE_BAD_PARAMETER);
}

TEST_F(File, ModificationTimeRoundTrip) {
  TempPrefix::writeFile(prefix.onC("t.bin"), "t");
  RKFile f(RKString("C:\\t.bin"));
  RKTime when(2010, 7, 4, 12, 30, 15);  // a time on the stack survives the call
  EXPECT_EQ(f.setLastModified(&when), 1);
  EXPECT_EQ(when.getYear(), 2010);
  RKTime* got = f.lastModified();
  ASSERT_NE(got, nullptr);
  EXPECT_STREQ(got->toString().data, "2010-07-04 12:30:15");
  EXPECT_EQ(f.setLastModified(got), 1);  // a counted time keeps its reference too
  EXPECT_EQ(got->release(), 0u);

  EXPECT_EQ(f.setLastModified(nullptr), 0);
  EXPECT_EQ(f.getLastError(), RKFILE_BAD_PARAMETER);
  RKTime invalid;
  EXPECT_EQ(f.setLastModified(&invalid), 0);
  EXPECT_EQ(f.getLastError(), 0u);
  RKFile missing(RKString("C:\\none.bin"));
  EXPECT_EQ(missing.setLastModified(&when), 0);
  EXPECT_EQ(missing.getLastError(), RKFILE_OPEN_FAIL);
}

TEST_F(File, PermissionBitsAndStreams) {
  TempPrefix::writeFile(prefix.onC("p.txt"), "abc");
  RKFile f(RKString("C:\\p.txt"));
  EXPECT_EQ(f.setWritable(0), 1);
  EXPECT_EQ(f.canWrite(), 0);
  EXPECT_EQ(f.canRead(), 1);
  EXPECT_EQ(f.openStream(1), nullptr);
  EXPECT_EQ(f.setWritable(1), 1);
  EXPECT_EQ(f.canWrite(), 1);
  EXPECT_EQ(f.setReadable(1), 1);
  EXPECT_EQ(RKFile(RKString("C:\\none")).setWritable(1), 0);

  RKFileStream* s = f.openStream(0);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->readByte(), 'a');
  EXPECT_EQ(s->release(), 0u);
  EXPECT_EQ(RKFile(RKString("C:\\")).openStream(0), nullptr);
  RKFile fresh(RKString("C:\\fresh.txt"));
  s = fresh.openStream(1);
  ASSERT_NE(s, nullptr);
  s->release();
  EXPECT_EQ(fresh.exists(), 1);
  EXPECT_EQ(RKFile(RKString("C:\\no\\fresh.txt")).openStream(1), nullptr);
}

TEST_F(File, StaticFoldersAndCopies) {
  RKFile* module = RKFile::getModuleFolder();
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(module->isDirectory(), 1);
  EXPECT_EQ(std::string(module->getPath().data, 3), "Z:\\");
  module->release();

  unsetenv("ProgramFiles");
  RKFile* programs = RKFile::getProgramFilesFolder();
  ASSERT_NE(programs, nullptr);
  EXPECT_STREQ(programs->getPath().data, "C:\\Program Files");
  EXPECT_EQ(programs->isDirectory(), 1);
  programs->release();
  setenv("ProgramFiles", "", 1);
  EXPECT_EQ(RKFile::getProgramFilesFolder(), nullptr);
  unsetenv("ProgramFiles");

  TempPrefix::writeFile(prefix.onC("from.bin"), "data");
  TempPrefix::writeFile(prefix.onC("to.bin"), "old");
  EXPECT_NE(RKFile::copyFile(RKString("C:\\from.bin"), RKString("C:\\to.bin")), 0);
  EXPECT_EQ(TempPrefix::readFile(prefix.onC("to.bin")), "data");
  EXPECT_EQ(RKFile::copyFile(RKString("C:\\from.bin"), RKString("C:\\FROM.bin")), 0);
  EXPECT_EQ(TempPrefix::readFile(prefix.onC("from.bin")), "data");
}

TEST_F(File, DriveListAndVersionCode) {
  TRKList<LOGICDRIVERS> drives;
  LOGICDRIVERS stale;
  memset(&stale, 0, sizeof stale);
  strcpy(stale.root, "Q:\\");
  drives.addLast(stale);
  EXPECT_EQ(listDrives(&drives), 1);
  ASSERT_EQ(drives.getCount(), 2u);
  drives.moveFirst();
  EXPECT_STREQ(drives.getCurrent()->root, "C:\\");
  EXPECT_EQ(drives.getCurrent()->driveType, 3u);
  EXPECT_GT(drives.getCurrent()->totalBytes, 0u);
  EXPECT_LE(drives.getCurrent()->freeBytes, drives.getCurrent()->totalBytes);
  drives.moveNext();
  EXPECT_STREQ(drives.getCurrent()->root, "Z:\\");
  EXPECT_EQ(listDrives(nullptr), 0);

  unsetenv("RKWIN_VERSION");
  EXPECT_EQ(checkWindowsVersion(), RK_WINDOWS_7);
  const struct {
    const char* version;
    int code;
  } cases[] = {{"6.2", 0},
               {"10.0", 0},
               {"5.1", RK_WINDOWS_XP},
               {"5.0", RK_WINDOWS_2000},
               {"5.2", RK_WINDOWS_SERVER_2003},
               {"6.0", RK_WINDOWS_VISTA},
               {"4.0", RK_WINDOWS_NT4},
               {"4.5", 0},
               {"6.1", 1024}};
  for (const auto& c : cases) {
    setenv("RKWIN_VERSION", c.version, 1);
    EXPECT_EQ(checkWindowsVersion(), c.code) << c.version;
  }
  unsetenv("RKWIN_VERSION");
}

// Folder names whose last character ends in the byte of a backslash (誠 is D5 5C in code page
// 936), with 運 (DF 5C) in the middle and plain ASCII around them.
TEST(FilePath, DoubleByteNamesKeepTheirLastByte) {
  const char chosen[] = "C:\\\xC8\xED\xBC\xFE\\\xEA\x90\xD5\x5C";  // C:\软件\陳誠
  RKFile folder{RKString(chosen)};
  EXPECT_STREQ(folder.getName().data, "\xEA\x90\xD5\x5C");
  EXPECT_STREQ(folder.getParent().data, "C:\\\xC8\xED\xBC\xFE");
  EXPECT_EQ(folder.getLastError(), 0u);

  RKFile inside{
      RKString("C:\\Program Files\\Vantry \xD5\x5C\\a\xDF\x5C"
               "b.txt")};
  EXPECT_STREQ(inside.getName().data,
               "a\xDF\x5C"
               "b.txt");
  EXPECT_STREQ(inside.getParent().data, "C:\\Program Files\\Vantry \xD5\x5C");
  RKFile* up = inside.getParentFile();
  ASSERT_NE(up, nullptr);
  EXPECT_STREQ(up->getName().data, "Vantry \xD5\x5C");
  up->release();

  // A name made only of such characters has no separator in it.
  RKFile bare{RKString("\xDF\x5C\xD5\x5C")};
  EXPECT_STREQ(bare.getName().data, "");
  EXPECT_EQ(bare.getLastError(), RKFILE_NAME_ERROR);
  RKFile onDrive{RKString("C:\\\xD5\x5C")};
  EXPECT_STREQ(onDrive.getParent().data, "C:\\");
  EXPECT_STREQ(onDrive.getName().data, "\xD5\x5C");
}

TEST_F(File, DoubleByteFoldersAreListedAndJoined) {
  // 陳誠 and 運 as UTF-8 on the host side of the emulated drive.
  ASSERT_TRUE(std::filesystem::create_directory(prefix.onC("\xE9\x99\xB3\xE8\xAA\xA0")));
  TempPrefix::writeFile(prefix.onC("\xE9\x99\xB3\xE8\xAA\xA0/\xE9\x81\x8B.txt"), "x");
  const char folderPath[] = "C:\\\xEA\x90\xD5\x5C";
  RKFile folder{RKString(folderPath)};
  EXPECT_EQ(folder.isDirectory(), 1);
  EXPECT_EQ(folder.exists(), 1);
  RKFile withSeparator{RKString(folderPath) + "\\"};
  EXPECT_EQ(withSeparator.isDirectory(), 1);

  // Listed with and without the trailing separator, the entry is the folder, a backslash and
  // the name.
  const std::vector<std::string> expected = {std::string(folderPath) + "\\\xDF\x5C.txt"};
  TRKList<RKString> plain;
  ASSERT_EQ(folder.list(&plain), 1);
  EXPECT_EQ(paths(plain), expected);
  TRKList<RKString> ending;
  ASSERT_EQ(withSeparator.list(&ending), 1);
  EXPECT_EQ(paths(ending), expected);

  RKFile file{RKString(expected[0].c_str())};
  EXPECT_EQ(file.isFile(), 1);
  EXPECT_STREQ(file.getParent().data, folderPath);
}
