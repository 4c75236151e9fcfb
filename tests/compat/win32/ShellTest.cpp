#include <windows.h>

#include <objidl.h>
#include <shlobj.h>

#include "HostPrograms.h"
#include "TempFolder.h"
#include "TempPrefix.h"
#include "compat_shell.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>
#include <string>
#include <vector>

namespace {

std::string hostOf(const TempPrefix& prefix, std::string windows) {
  // C:\x\y -> <prefix>/drive_c/x/y
  EXPECT_EQ(windows.compare(0, 3, "C:\\"), 0) << windows;
  std::string rel = windows.substr(3);
  for (char& c : rel)
    if (c == '\\') c = '/';
  return prefix.onC(rel);
}

std::string specialFolder(int csidl) {
  LPITEMIDLIST pidl = NULL;
  if (FAILED(SHGetSpecialFolderLocation(NULL, csidl, &pidl))) return "";
  char path[300] = {0};
  BOOL ok = SHGetPathFromIDListA(pidl, path);
  ILFree(pidl);
  return ok ? path : "";
}

std::string run(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

TEST(SpecialFolders, LieInTheUserProfileAndExist) {
  TempPrefix prefix;
  std::string desktop = specialFolder(CSIDL_DESKTOPDIRECTORY);
  std::string programs = specialFolder(CSIDL_PROGRAMS);
  ASSERT_FALSE(desktop.empty());
  ASSERT_FALSE(programs.empty());
  EXPECT_EQ(desktop.compare(0, 9, "C:\\users\\"), 0) << desktop;
  EXPECT_NE(programs.find("\\Start Menu\\Programs"), std::string::npos) << programs;
  EXPECT_TRUE(TempPrefix::exists(hostOf(prefix, desktop)));
  EXPECT_TRUE(TempPrefix::exists(hostOf(prefix, programs)));
  char buf[MAX_PATH];
  ASSERT_TRUE(SHGetSpecialFolderPathA(NULL, buf, CSIDL_DESKTOPDIRECTORY, FALSE));
  EXPECT_EQ(desktop, buf);
  LPITEMIDLIST pidl = (LPITEMIDLIST)1;
  EXPECT_TRUE(FAILED(SHGetSpecialFolderLocation(NULL, 0x7777, &pidl)));
  EXPECT_EQ(pidl, nullptr);
}

// The user's profile folder may end in 誠 or hold 運 (GBK second byte 0x5C): the special folders
// lie below it whole, and only the folders on the way to them are made.
TEST(SpecialFolders, LieBelowAProfileFolderWithDoubleByteNames) {
  TempPrefix prefix;
  const std::string users[][2] = {{"\xE9\x99\xB3\xE8\xAA\xA0", "\xEA\x90\xD5\x5C"},  // 陳誠: UTF-8, GBK
                                  {"\xE9\x81\x8B"
                                   "a",
                                   "\xDF\x5C"
                                   "a"}};  // 運a
  for (const auto& user : users) {
    rktest::ScopedEnv profile("USERPROFILE", ("C:\\users\\" + user[0]).c_str());
    char buf[MAX_PATH] = {0};
    ASSERT_TRUE(SHGetSpecialFolderPathA(NULL, buf, CSIDL_DESKTOPDIRECTORY, FALSE));
    EXPECT_EQ(std::string(buf), "C:\\users\\" + user[1] + "\\Desktop");
    EXPECT_EQ(specialFolder(CSIDL_PROGRAMS),
              "C:\\users\\" + user[1] + "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs");
    EXPECT_TRUE(TempPrefix::exists(prefix.onC("users/" + user[0] + "/Desktop")));
    EXPECT_TRUE(TempPrefix::exists(prefix.onC("users/" + user[0] + "/AppData/Roaming/Microsoft/Windows/Start Menu")));
  }
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(prefix.onC("users"))) names.push_back(e.path().filename());
  // Besides the two, only the machine's own profile folder: none made of part of a name.
  EXPECT_EQ(names.size(), 3u);
  EXPECT_EQ(std::count(names.begin(), names.end(), users[0][0]), 1);
  EXPECT_EQ(std::count(names.begin(), names.end(), users[1][0]), 1);
}

// The display name of a chosen folder is its last part, a whole name whatever its bytes.
TEST(FolderBrowser, DisplayNameIsTheLastPartOfTheChosenFolder) {
  TempPrefix prefix;
  const char* const answers[][2] = {{"C:\\\xC8\xED\xBC\xFE\\\xEA\x90\xD5\x5C", "\xEA\x90\xD5\x5C"},  // C:\软件\陳誠
                                    {"C:\\\xC8\xED\xBC\xFE\\\xDF\x5C\x84\xD3", "\xDF\x5C\x84\xD3"},  // C:\软件\運動
                                    {"C:\\Data\\Vantry", "Vantry"},
                                    {"C:\\", "C:\\"}};
  for (const auto& answer : answers) {
    compat_folder_browser_answer(answer[0]);
    char name[MAX_PATH] = "unchanged";
    BROWSEINFOA bi = {};
    bi.pszDisplayName = name;
    LPITEMIDLIST chosen = SHBrowseForFolderA(&bi);
    ASSERT_NE(chosen, nullptr);
    char path[MAX_PATH] = {0};
    EXPECT_TRUE(SHGetPathFromIDListA(chosen, path));
    ILFree(chosen);
    EXPECT_STREQ(path, answer[0]);
    EXPECT_STREQ(name, answer[1]) << answer[0];
  }
}

TEST(ShellLinkObject, NeedsTheComponentLibraryAndSavesARealLinkFile) {
  TempPrefix prefix;
  IShellLinkA* link = NULL;
  // Per thread: the first CoInitialize is S_OK, later ones S_FALSE.
  std::thread([&] {
    EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&link),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(CoInitialize(NULL), S_OK);
    EXPECT_EQ(CoInitialize(NULL), S_FALSE);
  }).join();
  CoInitialize(NULL);
  ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&link), S_OK);
  const std::string target = "C:\\Program Files\\Vantry\\Vantry\\VantryView.exe";
  TempPrefix::writeFile(hostOf(prefix, "C:\\Program Files\\placeholder"), "");
  link->SetPath(target.c_str());
  link->SetDescription("\xCD\xBC\xC6\xAC\xE4\xAF\xC0\xC0\xC6\xF7");  // GBK description
  link->SetIconLocation("C:\\Program Files\\Vantry\\Vantry\\vantry.ico", 0);
  link->SetArguments(target.c_str());
  link->SetShowCmd(5);  // SW_SHOW
  IPersistFile* file = NULL;
  ASSERT_EQ(link->QueryInterface(IID_IPersistFile, (void**)&file), S_OK);

  std::string shortcut = specialFolder(CSIDL_DESKTOPDIRECTORY) + "\\VantryView.lnk";
  WCHAR wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, shortcut.c_str(), -1, wide, MAX_PATH);
  EXPECT_EQ(file->Save(wide, TRUE), S_OK);
  WCHAR missing[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, "C:\\no\\such\\folder\\x.lnk", -1, missing, MAX_PATH);
  EXPECT_TRUE(FAILED(file->Save(missing, TRUE))) << "a missing folder fails the save";
  EXPECT_EQ(file->Release(), 1u);
  EXPECT_EQ(link->Release(), 0u);

  // Read back through a fresh object.
  ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IPersistFile, (void**)&file), S_OK);
  ASSERT_EQ(file->Load(wide, STGM_READ), S_OK);
  ASSERT_EQ(file->QueryInterface(IID_IShellLinkA, (void**)&link), S_OK);
  char buf[MAX_PATH];
  link->GetPath(buf, sizeof buf, NULL, 0);
  EXPECT_EQ(target, buf);
  link->GetArguments(buf, sizeof buf);
  EXPECT_EQ(target, buf);
  int show = 0;
  link->GetShowCmd(&show);
  EXPECT_EQ(show, 5);
  link->Release();
  file->Release();

  // Another reader of the published format agrees, where one is installed.
  std::string host = hostOf(prefix, shortcut);
  if (haveProgram("lnkinfo")) {
    std::string info = run("lnkinfo '" + host + "' 2>&1");
    EXPECT_NE(info.find("Local path"), std::string::npos) << info;
    EXPECT_NE(info.find("VantryView.exe"), std::string::npos) << info;
    EXPECT_NE(info.find("vantry.ico"), std::string::npos) << info;
  }
}

TEST(RegistryPrograms, RegeditImportsAScriptAndRegsvr32RecordsTheLibrary) {
  TempPrefix prefix;
  const char* build = getenv("RK_BUILD_DIR");
  if (!build) GTEST_SKIP() << "RK_BUILD_DIR not set";
  std::string programs = std::string(build) + "/system32/";
  TempPrefix::writeFile(prefix.onC("setup_temp.reg"),
                        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantry]\r\n"
                        "\"Path\"=\"C:\\\\Program Files\\\\Vantry\"\r\n");
  ASSERT_EQ(system((programs + "regedit.exe /s 'C:\\setup_temp.reg'").c_str()), 0);
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vantry", 0, KEY_READ, &key), ERROR_SUCCESS);
  char buf[256] = {0};
  DWORD size = sizeof buf;
  ASSERT_EQ(RegQueryValueExA(key, "Path", NULL, NULL, (BYTE*)buf, &size), ERROR_SUCCESS);
  EXPECT_STREQ(buf, "C:\\Program Files\\Vantry");
  RegCloseKey(key);

  EXPECT_NE(system((programs + "regsvr32.exe /s 'C:\\missing.dll'").c_str()), 0);
  TempPrefix::writeFile(prefix.onC("ext.dll"), "MZ");
  ASSERT_EQ(system((programs + "regsvr32.exe /s 'C:\\ext.dll'").c_str()), 0);
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\RKWin\\RegisteredServers", 0, KEY_READ, &key), ERROR_SUCCESS);
  size = sizeof buf;
  EXPECT_EQ(RegQueryValueExA(key, "C:\\ext.dll", NULL, NULL, (BYTE*)buf, &size), ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_EQ(system((programs + "regsvr32.exe /s /u 'C:\\ext.dll'").c_str()), 0);
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\RKWin\\RegisteredServers", 0, KEY_READ, &key), ERROR_SUCCESS);
  size = sizeof buf;
  EXPECT_EQ(RegQueryValueExA(key, "C:\\ext.dll", NULL, NULL, (BYTE*)buf, &size), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
}

}  // namespace
