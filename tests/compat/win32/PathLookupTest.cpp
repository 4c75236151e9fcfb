// How the file calls find names on disk: existing names without regard to case, new names below
// the folders that exist, and what each call learns from the lookup (kind, size, links).
#include <compat_path.h>
#include <direct.h>
#include <io.h>
#include <share.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <LetterCases.h>
#include <TempPrefix.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class PathLookup : public ::testing::Test {
 protected:
  TempPrefix prefix;

  std::string host(const char* windowsPath) {
    char buffer[4096];
    return compat_host_path(windowsPath, buffer, sizeof buffer) ? buffer : "";
  }

  // Every entry below drive C:'s folder `relative`, as relative host paths.
  std::vector<std::string> tree(const std::string& relative) {
    std::vector<std::string> names;
    std::string top = prefix.onC(relative);
    for (auto& e : fs::recursive_directory_iterator(top)) names.push_back(fs::relative(e.path(), top).string());
    std::sort(names.begin(), names.end());
    return names;
  }

  bool writeWindowsFile(const char* path, const char* text) {
    FILE* f = _fsopen(path, "wb", _SH_DENYNO);
    if (!f) return false;
    fputs(text, f);
    fclose(f);
    return true;
  }
};

}  // namespace

TEST_F(PathLookup, NewFilesGoIntoTheExistingFolderWhateverItsCase) {
  fs::create_directories(prefix.onC("Data/Sub"));
  ASSERT_TRUE(writeWindowsFile("C:\\DATA\\new.txt", "one"));
  ASSERT_TRUE(writeWindowsFile("C:\\data\\SUB\\deeper.txt", "two"));
  HANDLE h =
      CreateFileA("C:\\dAtA\\created.bin", GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
  CloseHandle(h);
  EXPECT_EQ(tree("Data"), (std::vector<std::string>{"Sub", "Sub/deeper.txt", "created.bin", "new.txt"}));
  EXPECT_EQ(TempPrefix::readFile(prefix.onC("Data/new.txt")), "one");
  EXPECT_FALSE(TempPrefix::exists(prefix.onC("DATA")));

  // A new name that differs only in case from a file names that file.
  ASSERT_TRUE(writeWindowsFile("C:\\data\\NEW.TXT", "replaced"));
  EXPECT_EQ(TempPrefix::readFile(prefix.onC("Data/new.txt")), "replaced");
  EXPECT_FALSE(TempPrefix::exists(prefix.onC("Data/NEW.TXT")));
  h = CreateFileA("C:\\DATA\\CREATED.BIN", GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_EQ(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_EXISTS);
}

// Names that differ only in the case of letters of other scripts name the same file too: the
// calls find the folder, put new files into it, and list it under a wildcard.
TEST_F(PathLookup, LettersOfEveryScriptFoldAsOnWindows) {
  for (const LetterCase& c : kLetterCases) {
    SCOPED_TRACE(c.script);
    setenv("RKWIN_ACP", c.codePage, 1);
    const std::string made = std::string("C:\\") + c.lower, asked = std::string("C:\\") + c.upper;
    ASSERT_EQ(_mkdir(made.c_str()), 0);
    ASSERT_TRUE(writeWindowsFile((made + "\\f.txt").c_str(), "f"));
    EXPECT_EQ(GetFileAttributesA(asked.c_str()), (DWORD)FILE_ATTRIBUTE_DIRECTORY);
    HANDLE h = CreateFileA((asked + "\\F.TXT").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    EXPECT_TRUE(writeWindowsFile((asked + "\\new.txt").c_str(), "new"));
    EXPECT_EQ(_mkdir(asked.c_str()), -1);
    EXPECT_EQ(errno, EEXIST);
    WIN32_FIND_DATAA data;
    h = FindFirstFileA((asked + "*").c_str(), &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, c.lower);
    EXPECT_FALSE(FindNextFileA(h, &data));
    FindClose(h);
    unsetenv("RKWIN_ACP");
    EXPECT_EQ(tree(c.lowerUtf8), (std::vector<std::string>{"f.txt", "new.txt"}));
    EXPECT_FALSE(TempPrefix::exists(prefix.onC(c.upperUtf8)));
  }
}

// Only the one-to-one case pairs join spellings: the final sigma is a sigma, while letters that
// merely look like the other case of a letter (dotless i, dotted capital I, long s, micro sign,
// title-case digraph) name files of their own, and ß never matches two letters. Names in UTF-8
// (code page 65001); each pair is tried both ways round, each way in a folder of its own.
TEST_F(PathLookup, LookAlikeLettersStayApartWhileTheFinalSigmaFolds) {
  struct Pair {
    const char* one;
    const char* other;
    bool same;
  };
  const Pair pairs[] = {
      {"\xCF\x82", "\xCF\x83", true},   // ς σ: final sigma, sigma
      {"\xCF\x82", "\xCE\xA3", true},   // ς Σ
      {"\xC4\xB1", "i", false},         // ı: dotless i
      {"\xC4\xB1", "I", false},         // ı I
      {"\xC4\xB0", "i", false},         // İ: capital I with dot
      {"\xC4\xB0", "I", false},         // İ I
      {"\xC5\xBF", "s", false},         // ſ: long s
      {"\xC5\xBF", "S", false},         // ſ S
      {"\xC2\xB5", "\xCE\xBC", false},  // µ μ: micro sign, mu
      {"\xC2\xB5", "\xCE\x9C", false},  // µ Μ
      {"\xC7\x85", "\xC7\x84", false},  // ǅ Ǆ: title case, upper case
      {"\xC7\x85", "\xC7\x86", false},  // ǅ ǆ
      {"\xC3\x9F", "SS", false},        // ß SS
      {"\xC3\x9F", "ss", false},        // ß ss
  };
  auto create = [](const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return h != INVALID_HANDLE_VALUE;
  };
  setenv("RKWIN_ACP", "65001", 1);
  int n = 0;
  for (const Pair& p : pairs) {
    for (bool reversed : {false, true}) {
      const std::string made = reversed ? p.other : p.one, asked = reversed ? p.one : p.other;
      SCOPED_TRACE(made + " then " + asked);
      const std::string folder = "f" + std::to_string(n++), windows = "C:\\" + folder + "\\";
      EXPECT_EQ(_mkdir(("C:\\" + folder).c_str()), 0);
      EXPECT_TRUE(create(windows + made));
      EXPECT_EQ(GetFileAttributesA((windows + asked).c_str()),
                p.same ? (DWORD)FILE_ATTRIBUTE_ARCHIVE : INVALID_FILE_ATTRIBUTES);
      WIN32_FIND_DATAA data;
      HANDLE h = FindFirstFileA((windows + asked).c_str(), &data);
      EXPECT_EQ(h != INVALID_HANDLE_VALUE, p.same);
      if (h != INVALID_HANDLE_VALUE) {
        EXPECT_EQ(data.cFileName, made);
        FindClose(h);
      }
      EXPECT_EQ(create(windows + asked), !p.same);
      if (p.same) {
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_EXISTS);
      }
      std::vector<std::string> expected{made};
      if (!p.same) expected.push_back(asked);
      std::sort(expected.begin(), expected.end());
      EXPECT_EQ(tree(folder), expected);
    }
  }
  unsetenv("RKWIN_ACP");
}

TEST_F(PathLookup, NewFolderChainsAreBuiltBelowTheFoldersThatExist) {
  fs::create_directories(prefix.onC("Base"));
  ASSERT_EQ(_mkdir("C:\\BASE\\one"), 0);
  ASSERT_EQ(_mkdir("C:\\base\\ONE\\Two"), 0);
  ASSERT_EQ(_mkdir("C:\\Base\\One\\TWO\\2024"), 0);
  ASSERT_TRUE(writeWindowsFile("C:\\BASE\\ONE\\two\\2024\\1.txt", "x"));
  EXPECT_EQ(tree("Base"), (std::vector<std::string>{"one", "one/Two", "one/Two/2024", "one/Two/2024/1.txt"}));
  // The same folder again fails as on Windows, in any spelling.
  EXPECT_EQ(_mkdir("C:\\base\\one\\two"), -1);
  EXPECT_EQ(errno, EEXIST);

  // Missing elements keep their spelling, however many there are.
  EXPECT_EQ(host("C:\\base\\One\\New\\Newer\\f.txt"), prefix.onC("Base/one/New/Newer/f.txt"));
  EXPECT_EQ(host("C:\\NoSuch\\a\\b"), prefix.onC("NoSuch/a/b"));
  // A file cannot be created in a folder that does not exist yet.
  EXPECT_FALSE(writeWindowsFile("C:\\base\\missing\\f.txt", "x"));
  EXPECT_EQ(_mkdir("C:\\base\\missing\\f"), -1);
  EXPECT_FALSE(TempPrefix::exists(prefix.onC("Base/missing")));
}

TEST_F(PathLookup, TheExactSpellingWinsWhereSeveralExist) {
  fs::create_directories(prefix.onC("Mix/Sub"));
  fs::create_directories(prefix.onC("mix"));
  TempPrefix::writeFile(prefix.onC("Mix/Sub/name.txt"), "lower");
  TempPrefix::writeFile(prefix.onC("Mix/Sub/NAME.TXT"), "upper");
  EXPECT_EQ(host("C:\\Mix\\x"), prefix.onC("Mix/x"));
  EXPECT_EQ(host("C:\\mix\\x"), prefix.onC("mix/x"));
  // Below a folder taken under another spelling, the exact name is still preferred.
  TempPrefix::writeFile(prefix.onC("Mix/Sub/Only.txt"), "");
  EXPECT_EQ(host("C:\\Mix\\SUB\\NAME.TXT"), prefix.onC("Mix/Sub/NAME.TXT"));
  EXPECT_EQ(host("C:\\Mix\\SUB\\name.txt"), prefix.onC("Mix/Sub/name.txt"));
  EXPECT_EQ(host("C:\\Mix\\sub\\only.TXT"), prefix.onC("Mix/Sub/Only.txt"));
  // Names without letters have one spelling only.
  fs::create_directories(prefix.onC("Mix/Sub/2024"));
  EXPECT_EQ(host("C:\\MIX\\sub\\2024\\01"), prefix.onC("Mix/Sub/2024/01"));
}

TEST_F(PathLookup, NamesBelowAFileAreNeverFound) {
  fs::create_directories(prefix.onC("d"));
  TempPrefix::writeFile(prefix.onC("d/file.txt"), "abc");
  EXPECT_EQ(host("C:\\D\\FILE.TXT\\x"), prefix.onC("d/file.txt/x"));
  EXPECT_FALSE(writeWindowsFile("C:\\d\\file.txt\\x", "x"));
  struct _stat st;
  EXPECT_EQ(_stat("C:\\d\\File.txt\\x", &st), -1);
  EXPECT_EQ(_access("C:\\d\\file.txt\\x", 0), -1);
  EXPECT_EQ(GetFileAttributesA("C:\\d\\file.txt\\x"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA("C:\\d\\none.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesA("C:\\none\\none.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(_stat("C:\\D\\none.txt", &st), -1);
  EXPECT_EQ(errno, ENOENT);
}

TEST_F(PathLookup, CallsSeeWhatTheNameIsAndWhatALinkPointsTo) {
  fs::create_directories(prefix.onC("L/Folder"));
  TempPrefix::writeFile(prefix.onC("L/Target.txt"), "12345");
  ASSERT_EQ(symlink(prefix.onC("L/Target.txt").c_str(), prefix.onC("L/FileLink").c_str()), 0);
  ASSERT_EQ(symlink(prefix.onC("L/Folder").c_str(), prefix.onC("L/DirLink").c_str()), 0);
  ASSERT_EQ(symlink(prefix.onC("L/gone").c_str(), prefix.onC("L/Dangling").c_str()), 0);

  struct _stat st;
  ASSERT_EQ(_stat("C:\\l\\filelink", &st), 0);  // sizes and kinds are those of the target
  EXPECT_EQ(st.st_size, 5);
  EXPECT_FALSE(st.st_mode & _S_IFDIR);
  ASSERT_EQ(_stat("C:\\L\\DIRLINK", &st), 0);
  EXPECT_TRUE(st.st_mode & _S_IFDIR);
  EXPECT_EQ(_stat("C:\\L\\dangling", &st), -1);
  EXPECT_EQ(_access("C:\\L\\Dangling", 0), -1);

  EXPECT_EQ(GetFileAttributesA("C:\\l\\dirlink"), (DWORD)(FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(GetFileAttributesA("C:\\l\\dangling"), (DWORD)FILE_ATTRIBUTE_REPARSE_POINT);
  EXPECT_EQ(GetFileAttributesA("C:\\L\\TARGET.TXT"), (DWORD)FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(GetFileAttributesA("C:\\L\\folder"), (DWORD)FILE_ATTRIBUTE_DIRECTORY);

  // Opening through a link reaches the target; a link to a folder is no file.
  FILE* f = _fsopen("C:\\L\\FILELINK", "rb", _SH_DENYNO);
  ASSERT_NE(f, nullptr);
  char text[8] = {0};
  EXPECT_EQ(fread(text, 1, sizeof text, f), 5u);
  fclose(f);
  EXPECT_EQ(_fsopen("C:\\L\\dirlink", "rb", _SH_DENYNO), nullptr);
  EXPECT_EQ(errno, EACCES);

  // Removing a link removes the link only, in any spelling.
  EXPECT_EQ(remove("C:\\l\\FILELINK"), 0);
  EXPECT_TRUE(RemoveDirectoryA("C:\\L\\DirLink"));
  EXPECT_EQ(remove("C:\\L\\DANGLING"), 0);
  EXPECT_EQ(TempPrefix::readFile(prefix.onC("L/Target.txt")), "12345");
  EXPECT_TRUE(fs::is_directory(prefix.onC("L/Folder")));
  EXPECT_EQ(tree("L"), (std::vector<std::string>{"Folder", "Target.txt"}));
}

TEST_F(PathLookup, CopiesAndLongNamesUseTheNamesOnDisk) {
  fs::create_directories(prefix.onC("Src/In"));
  TempPrefix::writeFile(prefix.onC("Src/In/Data.bin"), "payload");
  fs::create_directories(prefix.onC("Dst"));
  EXPECT_TRUE(CopyFileA("C:\\src\\in\\DATA.BIN", "C:\\DST\\copy.bin", FALSE));
  EXPECT_EQ(TempPrefix::readFile(prefix.onC("Dst/copy.bin")), "payload");
  EXPECT_FALSE(CopyFileA("C:\\SRC\\IN\\data.bin", "C:\\src\\In\\Data.BIN", FALSE));  // itself
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
  EXPECT_FALSE(CopyFileA("C:\\src\\in\\data.bin", "C:\\dst\\COPY.BIN", TRUE));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_EXISTS);
  EXPECT_FALSE(CopyFileA("C:\\src\\none.bin", "C:\\dst\\x.bin", FALSE));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);

  char out[MAX_PATH];
  EXPECT_EQ(GetLongPathNameA("c:\\\\SRC\\in\\\\data.bin", out, sizeof out), strlen("c:\\\\Src\\In\\Data.bin"));
  EXPECT_STREQ(out, "c:\\\\Src\\In\\Data.bin");
  // "." and ".." stay as given.
  ASSERT_GT(GetLongPathNameA("C:\\src\\.\\IN\\..\\in\\data.bin", out, sizeof out), 0u);
  EXPECT_STREQ(out, "C:\\Src\\.\\In\\..\\In\\Data.bin");
  EXPECT_EQ(GetLongPathNameA("C:\\src\\in\\data.bin\\x", out, sizeof out), 0u);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetLongPathNameA("C:\\src\\out\\data.bin", out, sizeof out), 0u);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
}

TEST_F(PathLookup, AsciiNamesPassEveryAsciiCodePageUnchanged) {
  fs::create_directories(prefix.onC("Plain"));
  for (const char* cp : {"936", "65001", "1252", "932"}) {
    setenv("RKWIN_ACP", cp, 1);
    EXPECT_EQ(host("C:\\PLAIN\\Name-1_~.txt"), prefix.onC("Plain/Name-1_~.txt")) << cp;
  }
  // A code page that is no ASCII superset still converts texts of ASCII bytes: in EBCDIC
  // (code page 1047) the bytes "KK" are "..".
  fs::create_directories(prefix.onC("work/sub"));
  char old[4096];
  ASSERT_NE(getcwd(old, sizeof old), nullptr);
  ASSERT_EQ(chdir(prefix.onC("work/sub").c_str()), 0);
  setenv("RKWIN_ACP", "1047", 1);
  WCHAR wide[2] = {0, 0};
  if (MultiByteToWideChar(CP_ACP, 0, "\xC1", 1, wide, 2) == 1 && wide[0] == u'A') {
    EXPECT_EQ(host("KK"), prefix.onC("work"));
  }
  unsetenv("RKWIN_ACP");
  EXPECT_EQ(host("KK"), prefix.onC("work/sub/KK"));
  ASSERT_EQ(chdir(old), 0);
}
