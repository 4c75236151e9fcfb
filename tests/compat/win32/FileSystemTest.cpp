#include <compat_path.h>
#include <fcntl.h>
#include <direct.h>
#include <io.h>
#include <share.h>
#include <stdio.h>
#include <sys/stat.h>
#include <time.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <TempPrefix.h>

#include <string>
#include <vector>

namespace {

class FileSystem : public ::testing::Test {
 protected:
  TempPrefix prefix;

  std::string host(const char* windowsPath) {
    char buffer[4096];
    return compat_host_path(windowsPath, buffer, sizeof buffer) ? buffer : "";
  }

  std::vector<std::string> listing(const char* pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(pattern, &data);
    if (h == INVALID_HANDLE_VALUE) return names;
    do names.push_back(data.cFileName);
    while (FindNextFileA(h, &data));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_MORE_FILES);
    EXPECT_TRUE(FindClose(h));
    return names;
  }
};

}  // namespace

TEST_F(FileSystem, DrivesMapToThePrefixAndTheHostRoot) {
  EXPECT_EQ(host("C:\\"), prefix.onC("").substr(0, prefix.onC("").size() - 1));
  EXPECT_EQ(host("C:\\a\\b.txt"), prefix.onC("a/b.txt"));
  EXPECT_EQ(host("c:/a//b.txt"), prefix.onC("a/b.txt"));
  EXPECT_EQ(host("C:\\\\a\\\\\\b.txt"), prefix.onC("a/b.txt"));
  EXPECT_EQ(host("C:\\a\\..\\..\\..\\b"), prefix.onC("b"));  // ".." stops at the drive root
  EXPECT_EQ(host("Z:\\etc\\hostname"), "/etc/hostname");
  EXPECT_EQ(host("Z:\\"), "/");
  char buffer[64];
  EXPECT_EQ(compat_host_path("D:\\x", buffer, sizeof buffer), 0u);
  EXPECT_EQ(compat_host_path("\\\\server\\share\\x", buffer, sizeof buffer), 0u);
  EXPECT_EQ(compat_host_path("C:\\a-long-name", buffer, 4), 0u);  // does not fit

  char win[4096];
  ASSERT_GT(compat_windows_path(prefix.onC("x/y.txt").c_str(), win, sizeof win), 0u);
  EXPECT_STREQ(win, "C:\\x\\y.txt");
  ASSERT_GT(compat_windows_path("/usr/lib", win, sizeof win), 0u);
  EXPECT_STREQ(win, "Z:\\usr\\lib");
  EXPECT_EQ(compat_windows_path("relative", win, sizeof win), 0u);
}

TEST_F(FileSystem, RelativePathsFollowTheCurrentFolder) {
  char old[4096];
  ASSERT_NE(getcwd(old, sizeof old), nullptr);
  std::filesystem::create_directories(prefix.onC("work"));
  ASSERT_EQ(chdir(prefix.onC("work").c_str()), 0);
  EXPECT_EQ(host("x\\y.txt"), prefix.onC("work/x/y.txt"));
  EXPECT_EQ(host("..\\up.txt"), prefix.onC("up.txt"));
  EXPECT_EQ(host("\\top.txt"), prefix.onC("top.txt"));  // the current folder's drive
  EXPECT_EQ(host("C:rel.txt"), prefix.onC("work/rel.txt"));
  EXPECT_EQ(host("Z:rel.txt"), "/rel.txt");
  ASSERT_EQ(chdir("/"), 0);
  EXPECT_EQ(host("\\etc"), "/etc");
  EXPECT_EQ(host("C:rel.txt"), prefix.onC("rel.txt"));
  ASSERT_EQ(chdir(old), 0);
}

TEST_F(FileSystem, NamesAreFoundWithoutCaseAndKeptInUtf8) {
  std::filesystem::create_directories(prefix.onC("Program Files/Vendor"));
  TempPrefix::writeFile(prefix.onC("Program Files/Vendor/ReadMe.TXT"), "x");
  EXPECT_EQ(host("C:\\PROGRAM FILES\\vendor\\readme.txt"), prefix.onC("Program Files/Vendor/ReadMe.TXT"));
  // A missing last element keeps its spelling below the found folders.
  EXPECT_EQ(host("C:\\program files\\VENDOR\\New.txt"), prefix.onC("Program Files/Vendor/New.txt"));

  // GBK bytes become UTF-8 on disk; the trail byte 0x5C of U+4FD3 is no separator.
  const char gbkName[] = "C:\\\xD6\xD0\xCE\xC4\\\x82\x5C.txt";  // 中文\俓.txt
  EXPECT_EQ(host(gbkName), prefix.onC("\xE4\xB8\xAD\xE6\x96\x87/\xE4\xBF\x93.txt"));
  ASSERT_EQ(_mkdir("C:\\\xD6\xD0\xCE\xC4"), 0);
  FILE* f = _fsopen(gbkName, "wb", _SH_DENYNO);
  ASSERT_NE(f, nullptr);
  fclose(f);
  EXPECT_TRUE(TempPrefix::exists(prefix.onC("\xE4\xB8\xAD\xE6\x96\x87/\xE4\xBF\x93.txt")));
  EXPECT_EQ(listing("C:\\\xD6\xD0\xCE\xC4\\*.*"), (std::vector<std::string>{".", "..", "\x82\x5C.txt"}));
}

TEST_F(FileSystem, RuntimeFileCallsFollowWindows) {
  ASSERT_EQ(_mkdir("C:\\d"), 0);
  EXPECT_EQ(_mkdir("C:\\d"), -1);
  EXPECT_EQ(errno, EEXIST);
  EXPECT_EQ(_mkdir("C:\\missing\\d"), -1);
  EXPECT_EQ(errno, ENOENT);

  int fd = _creat("C:\\d\\app.EXE", _S_IREAD | _S_IWRITE);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(_close(fd), 0);
  struct _stat st;
  ASSERT_EQ(_stat("C:\\d\\app.EXE", &st), 0);
  EXPECT_EQ(st.st_mode & _S_IFMT, _S_IFREG);
  EXPECT_EQ(st.st_mode & 0777, 0777);  // readable, writable, executable by its extension
  EXPECT_EQ(st.st_size, 0);
  EXPECT_GT(st.st_mtime, 0);
  ASSERT_EQ(_stat("C:\\d", &st), 0);
  EXPECT_EQ(st.st_mode & _S_IFMT, _S_IFDIR);
  EXPECT_EQ(_stat("C:\\d\\", &st), -1);  // a trailing separator only on a root
  EXPECT_EQ(_stat("C:\\", &st), 0);
  EXPECT_EQ(_stat("C:\\nothing", &st), -1);

  EXPECT_EQ(_access("C:\\d\\app.exe", 0), 0);
  EXPECT_EQ(_access("C:\\d\\app.exe", 6), 0);
  EXPECT_EQ(_access("C:\\d\\gone", 0), -1);
  EXPECT_EQ(_access("C:\\d\\app.exe", 1), -1);  // no such mode

  // Read-only: only the write bit counts, and it holds even for root.
  ASSERT_EQ(_chmod("C:\\d\\app.exe", _S_IREAD), 0);
  EXPECT_EQ(_access("C:\\d\\app.exe", 2), -1);
  EXPECT_EQ(errno, EACCES);
  EXPECT_EQ(_access("C:\\d\\app.exe", 4), 0);
  EXPECT_EQ(_fsopen("C:\\d\\app.exe", "wb", _SH_DENYNO), nullptr);
  EXPECT_EQ(remove("C:\\d\\app.exe"), -1);
  ASSERT_EQ(_stat("C:\\d\\app.exe", &st), 0);
  EXPECT_EQ(st.st_mode & _S_IWRITE, 0);
  ASSERT_EQ(_chmod("C:\\d\\app.exe", _S_IREAD | _S_IWRITE), 0);
  EXPECT_EQ(_access("C:\\d\\app.exe", 2), 0);

  fd = _creat("C:\\d\\locked.txt", _S_IREAD);
  ASSERT_GE(fd, 0);
  _close(fd);
  EXPECT_EQ(_access("C:\\d\\locked.txt", 2), -1);
}

// _stat refuses a trailing separator on anything but a root; the second byte of 誠 (GBK D5 5C)
// is none. In a single-byte code page the same byte is one.
TEST_F(FileSystem, RuntimeStatTakesDoubleByteCharactersWhole) {
  const std::string chenCheng = "C:\\\xEA\x90\xD5\x5C";  // C:\陳誠
  ASSERT_EQ(_mkdir(chenCheng.c_str()), 0);
  ASSERT_EQ(_mkdir((chenCheng + "\\\xDF\x5C"
                                "x")
                       .c_str()),
            0);  // C:\陳誠\運x
  struct _stat st;
  ASSERT_EQ(_stat(chenCheng.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & _S_IFMT, _S_IFDIR);
  EXPECT_EQ(_stat((chenCheng + "\\").c_str(), &st), -1);
  EXPECT_EQ(_stat((chenCheng + "\\\xDF\x5C"
                               "x")
                      .c_str(),
                  &st),
            0);
  EXPECT_TRUE(TempPrefix::exists(prefix.onC("\xE9\x99\xB3\xE8\xAA\xA0/\xE9\x81\x8Bx")));

  setenv("RKWIN_ACP", "1252", 1);
  int made = _mkdir("C:\\\xD5");
  int whole = _stat("C:\\\xD5", &st);
  int slash = _stat("C:\\\xD5\\", &st);
  unsetenv("RKWIN_ACP");
  EXPECT_EQ(made, 0);
  EXPECT_EQ(whole, 0);
  EXPECT_EQ(slash, -1);
}

TEST_F(FileSystem, FopenModesAndFolders) {
  FILE* f = _fsopen("C:\\f.bin", "wb", _SH_DENYNO);
  ASSERT_NE(f, nullptr);
  fputs("abc", f);
  fclose(f);
  f = _fsopen("C:\\F.BIN", "ab+", _SH_DENYNO);
  ASSERT_NE(f, nullptr);
  fputs("d", f);
  fclose(f);
  EXPECT_EQ(TempPrefix::readFile(prefix.onC("f.bin")), "abcd");
  EXPECT_EQ(_fsopen("C:\\f.bin", "br+", _SH_DENYNO), nullptr);
  EXPECT_EQ(errno, EINVAL);
  EXPECT_EQ(_fsopen("C:\\", "rb", _SH_DENYNO), nullptr);
  EXPECT_EQ(errno, EACCES);
  EXPECT_EQ(_fsopen("C:\\none.bin", "rb", _SH_DENYNO), nullptr);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(_fsopen("D:\\x.bin", "wb", _SH_DENYNO), nullptr);
}

TEST_F(FileSystem, RemoveAndRenameKeepWindowsRules) {
  TempPrefix::writeFile(prefix.onC("a.txt"), "A");
  TempPrefix::writeFile(prefix.onC("b.txt"), "B");
  ASSERT_EQ(_mkdir("C:\\dir"), 0);
  EXPECT_EQ(rename("C:\\a.txt", "C:\\b.txt"), -1);  // never replaces
  EXPECT_EQ(errno, EACCES);
  EXPECT_EQ(TempPrefix::readFile(prefix.onC("b.txt")), "B");
  EXPECT_EQ(rename("C:\\a.txt", "C:\\dir\\moved.txt"), 0);
  EXPECT_EQ(TempPrefix::readFile(prefix.onC("dir/moved.txt")), "A");
  EXPECT_EQ(rename("C:\\a.txt", "C:\\c.txt"), -1);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(rename("C:\\dir", "C:\\dir2"), 0);  // folders are renamed too

  EXPECT_EQ(remove("C:\\dir2"), -1);  // folders are not files
  EXPECT_EQ(errno, EACCES);
  EXPECT_EQ(remove("C:\\B.TXT"), 0);
  EXPECT_FALSE(TempPrefix::exists(prefix.onC("b.txt")));
  EXPECT_EQ(remove("C:\\b.txt"), -1);

  EXPECT_FALSE(RemoveDirectoryA("C:\\dir2"));  // not empty
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_DIR_NOT_EMPTY);
  EXPECT_EQ(remove("C:\\dir2\\moved.txt"), 0);
  EXPECT_TRUE(RemoveDirectoryA("C:\\DIR2"));
  EXPECT_FALSE(RemoveDirectoryA("C:\\dir2"));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}

TEST_F(FileSystem, ListingsAreSortedAndFiltered) {
  ASSERT_EQ(_mkdir("C:\\l"), 0);
  for (const char* name : {"b.txt", "A.txt", "c.dat", "noext"})
    TempPrefix::writeFile(prefix.onC(std::string("l/") + name), "");
  ASSERT_EQ(_mkdir("C:\\l\\Sub"), 0);
  EXPECT_EQ(listing("C:\\l\\*.*"), (std::vector<std::string>{".", "..", "A.txt", "b.txt", "c.dat", "noext", "Sub"}));
  EXPECT_EQ(listing("C:\\l\\*.TXT"), (std::vector<std::string>{"A.txt", "b.txt"}));
  EXPECT_EQ(listing("C:\\l\\?.dat"), (std::vector<std::string>{"c.dat"}));
  EXPECT_EQ(listing("C:/l/noext"), (std::vector<std::string>{"noext"}));

  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA("C:\\l\\Sub", &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  FindClose(h);
  // A link to a folder is marked as a reparse point, and removing it leaves the folder.
  ASSERT_EQ(symlink(prefix.onC("l/Sub").c_str(), prefix.onC("l/zlink").c_str()), 0);
  h = FindFirstFileA("C:\\l\\zlink", &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(data.dwFileAttributes, (DWORD)(FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY));
  FindClose(h);
  EXPECT_TRUE(RemoveDirectoryA("C:\\l\\zlink"));
  EXPECT_TRUE(TempPrefix::exists(prefix.onC("l/Sub")));
  EXPECT_EQ(FindFirstFileA("C:\\l\\*.png", &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(FindFirstFileA("C:\\none\\*.*", &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(FindClose((HANDLE)0x1234));

  // A drive root lists no "." and "..".
  std::vector<std::string> root = listing("C:\\*.*");
  EXPECT_EQ(std::count(root.begin(), root.end(), "."), 0);
  EXPECT_EQ(std::count(root.begin(), root.end(), "l"), 1);

  // Letters of other scripts sort by their upper case as well (code page 1252: éx, Éy).
  ASSERT_EQ(_mkdir("C:\\accents"), 0);
  for (const char* name : {"\xC3\x89y", "\xC3\xA9x"})
    TempPrefix::writeFile(prefix.onC(std::string("accents/") + name), "");
  setenv("RKWIN_ACP", "1252", 1);
  EXPECT_EQ(listing("C:\\accents\\*"), (std::vector<std::string>{".", "..", "\xE9x", "\xC9y"}));
  unsetenv("RKWIN_ACP");
}

TEST_F(FileSystem, LongPathNamesTakeTheNamesOnDisk) {
  std::filesystem::create_directories(prefix.onC("Data/Sub"));
  TempPrefix::writeFile(prefix.onC("Data/Sub/File.txt"), "");
  char out[MAX_PATH];
  DWORD n = GetLongPathNameA("C:\\data\\SUB\\file.TXT", out, sizeof out);
  EXPECT_STREQ(out, "C:\\Data\\Sub\\File.txt");
  EXPECT_EQ(n, strlen("C:\\Data\\Sub\\File.txt"));
  EXPECT_EQ(GetLongPathNameA("C:\\data\\sub\\", out, sizeof out), strlen("C:\\Data\\Sub\\"));
  EXPECT_STREQ(out, "C:\\Data\\Sub\\");
  char small[5] = "keep";
  EXPECT_EQ(GetLongPathNameA("C:\\Data\\Sub", small, sizeof small), strlen("C:\\Data\\Sub") + 1);
  EXPECT_STREQ(small, "keep");
  EXPECT_EQ(GetLongPathNameA("C:\\Data\\none.txt", out, sizeof out), 0u);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetLongPathNameA("C:\\none\\x.txt", out, sizeof out), 0u);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
  strcpy(out, "C:\\DATA");  // the same buffer for both
  EXPECT_EQ(GetLongPathNameA(out, out, sizeof out), 7u);
  EXPECT_STREQ(out, "C:\\Data");
}

TEST_F(FileSystem, CopyFileOverwritesKeepsTheTimeAndRefusesItself) {
  TempPrefix::writeFile(prefix.onC("src.bin"), "source bytes");
  TempPrefix::writeFile(prefix.onC("dst.bin"), "old");
  struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, prefix.onC("src.bin").c_str(), times, 0), 0);

  EXPECT_FALSE(CopyFileA("C:\\src.bin", "C:\\dst.bin", TRUE));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_EXISTS);
  EXPECT_TRUE(CopyFileA("C:\\src.bin", "C:\\dst.bin", FALSE));
  EXPECT_EQ(TempPrefix::readFile(prefix.onC("dst.bin")), "source bytes");
  struct stat st;
  ASSERT_EQ(stat(prefix.onC("dst.bin").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 1000000000);

  EXPECT_FALSE(CopyFileA("C:\\src.bin", "c:\\SRC.BIN", FALSE));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
  EXPECT_EQ(TempPrefix::readFile(prefix.onC("src.bin")), "source bytes");
  EXPECT_FALSE(CopyFileA("C:\\none.bin", "C:\\x.bin", FALSE));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(CopyFileA("C:\\src.bin", "C:\\none\\x.bin", FALSE));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(TempPrefix::exists(prefix.onC("x.bin")));
}

TEST_F(FileSystem, FileTimesAreSetThroughAHandle) {
  TempPrefix::writeFile(prefix.onC("t.txt"), "t");
  HANDLE h = CreateFileA("C:\\t.txt", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  SYSTEMTIME s = {2001, 9, 0, 9, 1, 46, 40, 500};
  FILETIME ft;
  ASSERT_TRUE(SystemTimeToFileTime(&s, &ft));
  EXPECT_TRUE(SetFileTime(h, NULL, NULL, &ft));
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_FALSE(CloseHandle(h));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
  struct stat st;
  ASSERT_EQ(stat(prefix.onC("t.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
  EXPECT_EQ(st.st_mtim.tv_nsec, 500000000);

  EXPECT_EQ(CreateFileA("C:\\none.txt", GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
  h = CreateFileA("C:\\t.txt", GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(SetFileTime(h, NULL, NULL, &ft));  // no write access
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
  CloseHandle(h);
  EXPECT_EQ(CreateFileA("C:\\t.txt", GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_EXISTS);
  EXPECT_EQ(CreateFileA("C:\\", GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
}

TEST(FileTime, ConvertsTheCalendarBothWays) {
  FILETIME zero = {0, 0};
  SYSTEMTIME s;
  ASSERT_TRUE(FileTimeToSystemTime(&zero, &s));
  EXPECT_EQ(s.wYear, 1601);
  EXPECT_EQ(s.wMonth, 1);
  EXPECT_EQ(s.wDay, 1);
  EXPECT_EQ(s.wDayOfWeek, 1);  // a Monday

  SYSTEMTIME leap = {2024, 2, 0, 29, 23, 59, 59, 999};
  FILETIME ft;
  ASSERT_TRUE(SystemTimeToFileTime(&leap, &ft));
  SYSTEMTIME back;
  ASSERT_TRUE(FileTimeToSystemTime(&ft, &back));
  EXPECT_EQ(back.wYear, 2024);
  EXPECT_EQ(back.wMonth, 2);
  EXPECT_EQ(back.wDay, 29);
  EXPECT_EQ(back.wDayOfWeek, 4);  // a Thursday
  EXPECT_EQ(back.wHour, 23);
  EXPECT_EQ(back.wMinute, 59);
  EXPECT_EQ(back.wSecond, 59);
  EXPECT_EQ(back.wMilliseconds, 999);

  SYSTEMTIME epoch = {1970, 1, 0, 1, 0, 0, 0, 0};
  ASSERT_TRUE(SystemTimeToFileTime(&epoch, &ft));
  EXPECT_EQ(((ULONGLONG)ft.dwHighDateTime << 32) | ft.dwLowDateTime, 116444736000000000ULL);

  SYSTEMTIME bad[] = {{2023, 2, 0, 29, 0, 0, 0, 0}, {1600, 12, 0, 31, 0, 0, 0, 0},  {2024, 13, 0, 1, 0, 0, 0, 0},
                      {2024, 1, 0, 1, 24, 0, 0, 0}, {2024, 1, 0, 1, 0, 0, 0, 1000}, {2024, 1, 0, 0, 0, 0, 0, 0}};
  for (const SYSTEMTIME& b : bad) {
    SetLastError(0);
    EXPECT_FALSE(SystemTimeToFileTime(&b, &ft));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  }
  FILETIME huge = {0, 0x80000000u};
  EXPECT_FALSE(FileTimeToSystemTime(&huge, &s));
}

TEST(FileTime, RuntimeClockBreaksDownLikeWindows) {
  __time64_t now = 0;
  __time64_t returned = _time64(&now);
  EXPECT_EQ(returned, now);
  EXPECT_GT(now, 1600000000);
  __time64_t t = 86400 * 366;  // 1971-01-02
  struct tm* utc = _gmtime64(&t);
  ASSERT_NE(utc, nullptr);
  EXPECT_EQ(utc->tm_year, 71);
  EXPECT_EQ(utc->tm_yday, 1);
  EXPECT_NE(_localtime64(&t), nullptr);
  __time64_t before = -1;
  EXPECT_EQ(_gmtime64(&before), nullptr);
  EXPECT_EQ(_localtime64(&before), nullptr);
  __time64_t late = 32535215999LL + 1;
  EXPECT_EQ(_gmtime64(&late), nullptr);
}

TEST_F(FileSystem, MachineDescribesItsDrivesAndItself) {
  char drives[16];
  memset(drives, 'x', sizeof drives);
  ASSERT_EQ(GetLogicalDriveStringsA(sizeof drives, drives), 8u);
  EXPECT_EQ(std::string(drives, 9), std::string("C:\\\0Z:\\\0\0", 9));
  EXPECT_EQ(GetLogicalDriveStringsA(8, drives), 9u);
  EXPECT_EQ(GetDriveTypeA("C:\\"), (UINT)DRIVE_FIXED);
  EXPECT_EQ(GetDriveTypeA("z:\\"), (UINT)DRIVE_FIXED);
  EXPECT_EQ(GetDriveTypeA("D:\\"), (UINT)DRIVE_NO_ROOT_DIR);
  ULARGE_INTEGER free, total, totalFree;
  ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &free, &total, &totalFree));
  EXPECT_GT(total.QuadPart, 0u);
  EXPECT_LE(free.QuadPart, totalFree.QuadPart);
  EXPECT_LE(totalFree.QuadPart, total.QuadPart);
  EXPECT_FALSE(GetDiskFreeSpaceExA("D:\\", &free, &total, &totalFree));

  char exe[MAX_PATH];
  DWORD n = GetModuleFileNameA(NULL, exe, sizeof exe);
  ASSERT_GT(n, 3u);
  EXPECT_EQ(std::string(exe, 3), "Z:\\");
  EXPECT_EQ(n, strlen(exe));
  char tiny[4];
  EXPECT_EQ(GetModuleFileNameA(NULL, tiny, sizeof tiny), 4u);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
  EXPECT_STREQ(tiny, "Z:\\");
}

TEST_F(FileSystem, EnvironmentHasTheWindowsDefaults) {
  unsetenv("ProgramFiles");
  unsetenv("SystemRoot");
  char value[MAX_PATH];
  EXPECT_EQ(GetEnvironmentVariableA("ProgramFiles", value, sizeof value), strlen("C:\\Program Files"));
  EXPECT_STREQ(value, "C:\\Program Files");
  EXPECT_EQ(GetEnvironmentVariableA("SYSTEMROOT", value, sizeof value), strlen("C:\\windows"));
  EXPECT_STREQ(value, "C:\\windows");
  ASSERT_GT(GetEnvironmentVariableA("USERPROFILE", value, sizeof value), 0u);
  EXPECT_EQ(std::string(value).rfind("C:\\users\\", 0), 0u);
  struct _stat st;
  EXPECT_EQ(_stat(value, &st), 0);  // the profile folder exists on the machine

  setenv("RK_TEST_VALUE", "abc", 1);
  EXPECT_EQ(GetEnvironmentVariableA("rk_test_value", value, sizeof value), 3u);
  EXPECT_STREQ(value, "abc");
  char small[3] = "xy";
  EXPECT_EQ(GetEnvironmentVariableA("RK_TEST_VALUE", small, sizeof small), 4u);
  EXPECT_STREQ(small, "xy");
  EXPECT_EQ(GetEnvironmentVariableA("RK_TEST_NOT_SET", value, sizeof value), 0u);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_ENVVAR_NOT_FOUND);
  setenv("ProgramFiles", "", 1);  // set but empty reads as nothing
  EXPECT_EQ(GetEnvironmentVariableA("ProgramFiles", value, sizeof value), 0u);
  unsetenv("ProgramFiles");
  unsetenv("RK_TEST_VALUE");
}

TEST(Version, ReportsSixOneUnlessTold) {
  unsetenv("RKWIN_VERSION");
  OSVERSIONINFOEXA info;
  memset(&info, 0, sizeof info);
  EXPECT_FALSE(GetVersionExA((LPOSVERSIONINFOA)&info));  // the size must be set
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
  info.dwOSVersionInfoSize = sizeof info;
  ASSERT_TRUE(GetVersionExA((LPOSVERSIONINFOA)&info));
  EXPECT_EQ(info.dwMajorVersion, 6u);
  EXPECT_EQ(info.dwMinorVersion, 1u);
  EXPECT_EQ(info.dwPlatformId, (DWORD)VER_PLATFORM_WIN32_NT);
  EXPECT_EQ(info.wProductType, VER_NT_WORKSTATION);

  setenv("RKWIN_VERSION", "10.0", 1);
  OSVERSIONINFOA plain;
  plain.dwOSVersionInfoSize = sizeof plain;
  ASSERT_TRUE(GetVersionExA(&plain));
  EXPECT_EQ(plain.dwMajorVersion, 10u);
  EXPECT_EQ(plain.dwMinorVersion, 0u);
  unsetenv("RKWIN_VERSION");
  EXPECT_EQ(sizeof(OSVERSIONINFOA), 148u);
  EXPECT_EQ(sizeof(OSVERSIONINFOEXA), 156u);
  EXPECT_EQ(sizeof(WIN32_FIND_DATAA), 320u);
}
