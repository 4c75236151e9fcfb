#include <windows.h>

#include "compat_registry.h"

#include "LetterCases.h"
#include "TempFolder.h"
#include "TempPrefix.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

class Registry : public ::testing::Test {
 protected:
  static std::string storeText() {
    std::ifstream in(compat_reg_store_path());
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  static LONG setString(HKEY key, const char* name, const char* text) {
    return RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)text, (DWORD)strlen(text) + 1);
  }
  static std::string queryString(HKEY root, const char* path, const char* name) {
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return "<no key>";
    char buf[256] = {0};
    DWORD size = sizeof buf, type = 0;
    LONG rc = RegQueryValueExA(key, name, NULL, &type, (BYTE*)buf, &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return "<no value>";
    return std::string(buf, size ? size - 1 : 0);
  }
  TempPrefix prefix_;
};

TEST_F(Registry, CreateOpenSetQueryRoundTrip) {
  HKEY key;
  DWORD disp = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, ".png", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, &disp), ERROR_SUCCESS);
  EXPECT_EQ(disp, (DWORD)REG_CREATED_NEW_KEY);
  EXPECT_EQ(setString(key, "", "Vantry.png"), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, ".PNG", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, &disp), ERROR_SUCCESS);
  EXPECT_EQ(disp, (DWORD)REG_OPENED_EXISTING_KEY) << "key names ignore case";
  RegCloseKey(key);
  EXPECT_EQ(queryString(HKEY_CLASSES_ROOT, ".Png", ""), "Vantry.png");
  EXPECT_NE(storeText().find("[HKEY_CLASSES_ROOT\\.png]\n@=\"Vantry.png\""), std::string::npos) << storeText();
}

// Key and value names that differ only in the case of letters of other scripts are the same
// names, as on Windows; each store is written in the code page of its names.
TEST_F(Registry, LettersOfEveryScriptFoldAsOnWindows) {
  for (const LetterCase& c : kLetterCases) {
    SCOPED_TRACE(c.script);
    TempPrefix machine;
    setenv("RKWIN_ACP", c.codePage, 1);
    const std::string made = std::string("Software\\") + c.lower, asked = std::string("Software\\") + c.upper;
    HKEY key;
    DWORD disp = 0;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_CURRENT_USER, (made + "\\Sub").c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL),
        ERROR_SUCCESS);
    EXPECT_EQ(setString(key, c.lower, "first"), ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_CURRENT_USER, (asked + "\\SUB").c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, &disp),
        ERROR_SUCCESS);
    EXPECT_EQ(disp, (DWORD)REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(setString(key, c.upper, "second"), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(queryString(HKEY_CURRENT_USER, (made + "\\Sub").c_str(), c.lower), "second");
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, asked.c_str()), ERROR_ACCESS_DENIED) << "has a sub-key";
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, (asked + "\\Sub").c_str()), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, asked.c_str()), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, made.c_str(), 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    unsetenv("RKWIN_ACP");
  }
}

TEST_F(Registry, OpenMissingKeyFailsAndEmptyPathGivesTheRoot) {
  HKEY key;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Nothing", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  HKEY sub;
  ASSERT_EQ(RegCreateKeyExA(key, "Vantry.jpg", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &sub, NULL), ERROR_SUCCESS);
  RegCloseKey(sub);
  RegCloseKey(key);
  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Vantry.jpg", 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
}

TEST_F(Registry, CreatingADeepKeyCreatesTheKeysAbove) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\A\\B\\\\C", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL),
            ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "software\\a", 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\A\\B\\C", 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\A\\B"), ERROR_ACCESS_DENIED) << "has a sub-key";
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\A\\B\\C"), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\A\\B\\C", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, QuerySizesFollowTheWindowsConventions) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\V", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL),
            ERROR_SUCCESS);
  ASSERT_EQ(setString(key, "Path", "C:\\Program Files\\Vantry"), ERROR_SUCCESS);
  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "path", NULL, &type, NULL, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, (DWORD)REG_SZ);
  EXPECT_EQ(size, 24u);
  char small[4];
  size = sizeof small;
  EXPECT_EQ(RegQueryValueExA(key, "Path", NULL, &type, (BYTE*)small, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 24u);
  EXPECT_EQ(RegQueryValueExA(key, "Missing", NULL, &type, NULL, &size), ERROR_FILE_NOT_FOUND);

  DWORD number = 0x12345678;
  ASSERT_EQ(RegSetValueExA(key, "N", 0, REG_DWORD, (const BYTE*)&number, 4), ERROR_SUCCESS);
  const BYTE raw[] = {'a', 'b'};  // a string without its terminating zero stays as stored
  ASSERT_EQ(RegSetValueExA(key, "Raw", 0, REG_SZ, raw, 2), ERROR_SUCCESS);
  RegCloseKey(key);

  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\V", 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD read = 0;
  size = 4;
  EXPECT_EQ(RegQueryValueExA(key, "N", NULL, &type, (BYTE*)&read, &size), ERROR_SUCCESS);
  EXPECT_EQ(read, 0x12345678u);
  BYTE buf[8] = {0x7f, 0x7f, 0x7f};
  size = sizeof buf;
  EXPECT_EQ(RegQueryValueExA(key, "Raw", NULL, &type, buf, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 2u);
  EXPECT_EQ(buf[2], 0x7f);
  EXPECT_EQ(setString(key, "X", "y"), ERROR_ACCESS_DENIED) << "opened for reading only";
  RegCloseKey(key);
}

TEST_F(Registry, DeletedValuesAndTextEscapesSurviveTheStore) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "Vantry.tif\\shell\\open\\command", 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                            &key, NULL),
            ERROR_SUCCESS);
  const char* command = "\"C:\\Program Files\\Vantry\\Vantry.exe\" \"%1\"";
  ASSERT_EQ(setString(key, "", command), ERROR_SUCCESS);
  ASSERT_EQ(setString(key, "Tmp", "x"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(key, "TMP"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(key, "Tmp"), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
  EXPECT_EQ(queryString(HKEY_CLASSES_ROOT, "Vantry.tif\\shell\\open\\command", ""), command);
  EXPECT_EQ(queryString(HKEY_CLASSES_ROOT, "Vantry.tif\\shell\\open\\command", "Tmp"), "<no value>");
}

TEST_F(Registry, ImportsRegTextAsTheRegistryEditorDoes) {
  const std::string script =
      "REGEDIT4\r\n"
      "\r\n"
      "; a comment\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillet\\Vantry]\r\n"
      "\"InstallPath\"=\"C:\\\\Program Files\\\\Vantry\"\r\n"
      "@=\"default\"\r\n"
      "\"Count\"=dword:0000002a\r\n"
      "\"Bytes\"=hex:01,02,\\\r\n"
      "  03,ff\r\n"
      "\"Expand\"=hex(2):25,00\r\n"
      "[HKEY_NOWHERE\\X]\r\n"
      "\"Lost\"=\"y\"\r\n";
  ASSERT_TRUE(compat_reg_import_text(script));
  EXPECT_EQ(queryString(HKEY_LOCAL_MACHINE, "Software\\Quillet\\Vantry", "InstallPath"), "C:\\Program Files\\Vantry");
  EXPECT_EQ(queryString(HKEY_LOCAL_MACHINE, "Software\\Quillet\\Vantry", ""), "default");
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Quillet\\Vantry", 0, KEY_READ, &key), ERROR_SUCCESS);
  BYTE buf[8];
  DWORD size = sizeof buf, type = 0;
  ASSERT_EQ(RegQueryValueExA(key, "Bytes", NULL, &type, buf, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, (DWORD)REG_BINARY);
  ASSERT_EQ(size, 4u);
  EXPECT_EQ(buf[3], 0xff);
  size = sizeof buf;
  ASSERT_EQ(RegQueryValueExA(key, "Count", NULL, &type, buf, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, (DWORD)REG_DWORD);
  EXPECT_EQ(buf[0], 42);
  size = sizeof buf;
  ASSERT_EQ(RegQueryValueExA(key, "Expand", NULL, &type, buf, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, (DWORD)REG_EXPAND_SZ);
  RegCloseKey(key);

  ASSERT_TRUE(compat_reg_import_text(
      "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillet\\Vantry]\n\"Count\"=-\n"
      "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillet]\n"));
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Quillet", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(compat_reg_import_text("[HKEY_CLASSES_ROOT\\x]\n")) << "no header";
  EXPECT_TRUE(compat_reg_import_text(""));
}

// GBK: the second byte of 誠 and 運 is a backslash, that of 閉 a closing bracket; 丄 and 乤
// differ only in a second byte that reads as 'A' or 'a'.
const std::string kCheng = "\xD5\x5C";               // 誠
const std::string kYun = "\xDF\x5C";                 // 運
const std::string kBi = "\xE9\x5D";                  // 閉
const std::string kChenCheng = "\xEA\x90" + kCheng;  // 陳誠

// Key and value names with such characters are whole names: a key ending in one is no key
// ending in a separator, a key below one is not a key whose name goes on after it, and letters
// in second bytes keep their case. Everything reads back from the store file as written, and
// the file holds the texts as .reg text written in the ANSI code page.
TEST_F(Registry, DoubleByteNamesAndTextsRoundTripThroughTheStore) {
  const std::string base = "Software\\Vantry\\";
  const std::string ending = base + kChenCheng;                      // 陳誠
  const std::string middle = base + "a" + kYun + "b";                // a運b
  const std::string bracket = base + "x" + kBi;                      // x閉
  const std::string below = base + kCheng + "\\Sub";                 // 誠\Sub
  const std::string folder = "C:\\Program Files\\Vantry " + kCheng;  // ends in 誠
  const std::string trailing = "C:\\" + kChenCheng + "\\";           // 誠 then a backslash
  const std::string quoted = kCheng + "\"" + kYun + "\"";            // 誠"運"
  for (const std::string& path : {ending, middle, bracket, below}) {
    HKEY key;
    DWORD disp = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, &disp),
              ERROR_SUCCESS);
    EXPECT_EQ(disp, (DWORD)REG_CREATED_NEW_KEY) << path;
    EXPECT_EQ(setString(key, "", path.c_str()), ERROR_SUCCESS);
    EXPECT_EQ(setString(key, ("Dir" + kCheng).c_str(), folder.c_str()), ERROR_SUCCESS);
    EXPECT_EQ(setString(key, (kYun + "Trailing").c_str(), trailing.c_str()), ERROR_SUCCESS);
    EXPECT_EQ(setString(key, "Quoted", quoted.c_str()), ERROR_SUCCESS);
    RegCloseKey(key);
  }
  for (const std::string& path : {ending, middle, bracket, below}) {
    EXPECT_EQ(queryString(HKEY_CURRENT_USER, path.c_str(), ""), path);
    EXPECT_EQ(queryString(HKEY_CURRENT_USER, path.c_str(), ("Dir" + kCheng).c_str()), folder) << path;
    EXPECT_EQ(queryString(HKEY_CURRENT_USER, path.c_str(), (kYun + "Trailing").c_str()), trailing) << path;
    EXPECT_EQ(queryString(HKEY_CURRENT_USER, path.c_str(), "Quoted"), quoted) << path;
  }
  HKEY key;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (base + kCheng + "Sub").c_str(), 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND)
      << "the key below 誠 is no key named 誠Sub";
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, (base + kCheng).c_str()), ERROR_ACCESS_DENIED) << "誠 has a sub-key";
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (base + "\xEA\x90\xD5").c_str(), 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND)
      << "no key made of the first byte of 誠";

  // 丄 and 乤 are two keys, each found again only by its own name.
  const std::string upper = base + "\x81\x41", lower = base + "\x81\x61";
  DWORD disp = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, upper.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, &disp), 0);
  RegCloseKey(key);
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, lower.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, &disp), 0);
  EXPECT_EQ(disp, (DWORD)REG_CREATED_NEW_KEY);
  EXPECT_EQ(setString(key, "v", "lower"), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(queryString(HKEY_CURRENT_USER, upper.c_str(), "v"), "<no value>");
  EXPECT_EQ(queryString(HKEY_CURRENT_USER, lower.c_str(), "v"), "lower");

  // The store is .reg text in the code page: every backslash and quote character escaped,
  // double-byte characters as they are.
  const std::string text = storeText();
  EXPECT_NE(text.find("\n[HKEY_CURRENT_USER\\Software\\Vantry\\" + kChenCheng + "]\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\n[HKEY_CURRENT_USER\\Software\\Vantry\\x" + kBi + "]\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\n\"Dir" + kCheng + "\"=\"C:\\\\Program Files\\\\Vantry " + kCheng + "\"\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("\"=\"C:\\\\" + kChenCheng + "\\\\\"\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\"Quoted\"=\"" + kCheng + "\\\"" + kYun + "\\\"\"\n"), std::string::npos) << text;
}

// The system's registry script is a REGEDIT4 file in the ANSI code page; the registry editor
// reads its escapes character by character.
TEST_F(Registry, TheRegistryEditorImportsDoubleByteTextsWhole) {
  const char* build = getenv("RK_BUILD_DIR");
  if (!build) GTEST_SKIP() << "RK_BUILD_DIR not set";
  const std::string script =
      "REGEDIT4\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantry\\Viewer]\r\n"
      "\"InstallDir\"=\"C:\\\\Program Files\\\\Vantry " +
      kCheng +
      "\"\r\n"
      "\"Folder\"=\"C:\\\\" +
      kChenCheng +
      "\\\\\"\r\n"
      "\"Quote\"=\"" +
      kChenCheng +
      "\\\"\"\r\n"
      "\"Path" +
      kYun + "\"=\"C:\\\\a" + kYun + "\\\\" + kYun +
      "b\\\\x\"\r\n"
      "\"Plain\"=\"C:\\\\Program Files\\\\Vantry\\\\\"\r\n"
      "; =hex: " +
      kChenCheng +
      "\r\n"
      "\"AfterComment\"=\"1\"\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantry\\y" +
      kBi +
      "\r\n"
      "\"Unbracketed\"=\"1\"\r\n"
      "\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantry\\" +
      kChenCheng +
      "]\r\n"
      "@=\"ending\"\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantry\\x" +
      kBi +
      "]\r\n"
      "@=\"" +
      kBi + "]\"\r\n";
  TempPrefix::writeFile(prefix_.onC("setup_temp.reg"), script);
  std::string programs = std::string(build) + "/system32/";
  ASSERT_EQ(system((programs + "regedit.exe /s 'C:\\setup_temp.reg'").c_str()), 0);
  const char* viewer = "SOFTWARE\\Vantry\\Viewer";
  EXPECT_EQ(queryString(HKEY_LOCAL_MACHINE, viewer, "InstallDir"), "C:\\Program Files\\Vantry " + kCheng);
  EXPECT_EQ(queryString(HKEY_LOCAL_MACHINE, viewer, "Folder"), "C:\\" + kChenCheng + "\\");
  EXPECT_EQ(queryString(HKEY_LOCAL_MACHINE, viewer, "Quote"), kChenCheng + "\"");
  EXPECT_EQ(queryString(HKEY_LOCAL_MACHINE, viewer, ("Path" + kYun).c_str()), "C:\\a" + kYun + "\\" + kYun + "b\\x");
  EXPECT_EQ(queryString(HKEY_LOCAL_MACHINE, viewer, "Plain"), "C:\\Program Files\\Vantry\\");
  EXPECT_EQ(queryString(HKEY_LOCAL_MACHINE, viewer, "AfterComment"), "1") << "a comment ending in 誠 continues nothing";
  EXPECT_EQ(queryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vantry\\y\xE9", "Unbracketed"), "<no key>")
      << "the second byte of 閉 closes no key name";
  EXPECT_EQ(queryString(HKEY_LOCAL_MACHINE, ("SOFTWARE\\Vantry\\" + kChenCheng).c_str(), ""), "ending");
  EXPECT_EQ(queryString(HKEY_LOCAL_MACHINE, ("SOFTWARE\\Vantry\\x" + kBi).c_str(), ""), kBi + "]");

  // In a single-byte code page the same bytes are single characters: 0x5C after 0xD5 is a
  // backslash, which escapes what follows it.
  rktest::ScopedEnv acp("RKWIN_ACP", "1252");
  TempPrefix::writeFile(prefix_.onC("single.reg"),
                        "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\\xD5\\]\r\n\"A\"=\"\xD5\\\\\"\r\n"
                        "\"B\"=\"\xD5\\\"x\"\r\n");
  ASSERT_EQ(system((programs + "regedit.exe /s 'C:\\single.reg'").c_str()), 0);
  EXPECT_EQ(queryString(HKEY_CURRENT_USER, "Software\\\xD5", "A"), "\xD5\\");
  EXPECT_EQ(queryString(HKEY_CURRENT_USER, "Software\\\xD5", "B"), "\xD5\"x");
  EXPECT_NE(storeText().find("\n\"A\"=\"\xD5\\\\\"\n"), std::string::npos) << storeText();
}

// Texts are kept byte for byte, whatever their bytes. Each row is written in its code page, its
// text also under a name of plain ASCII; then every row is read back (every call reads the store
// file afresh, as another process does): in its own code page by its names, after which its key
// takes further values, and in both code pages the text by the ASCII name (a text reads as its
// bytes in any code page). In the other code page the row's names are other characters, and
// nothing is found by them. Then the store file, imported through the registry editor into
// another machine, gives the same.
struct TextRow {
  const char* acp;  // the code page of the writer
  std::string key, name, data;
};

class RegistryTexts : public Registry {
 protected:
  static std::string path(const TextRow& row) { return "Software\\Vantry\\" + row.key; }
  static std::string plainName(size_t i) { return "Text" + std::to_string(i); }
  static void readsBack(const std::vector<TextRow>& rows, const char* where) {
    for (const char* reader : {"1252", "936"}) {
      rktest::ScopedEnv acp("RKWIN_ACP", reader);
      for (size_t i = 0; i < rows.size(); ++i) {
        const TextRow& row = rows[i];
        const std::string at =
            std::string(where) + ", written in " + row.acp + ", read in " + reader + ": " + path(row);
        EXPECT_EQ(queryString(HKEY_CURRENT_USER, "Software\\Texts", plainName(i).c_str()), row.data) << at;
        if (strcmp(reader, row.acp) != 0) {
          EXPECT_EQ(queryString(HKEY_CURRENT_USER, path(row).c_str(), "After"), "<no key>") << at;
          continue;
        }
        EXPECT_EQ(queryString(HKEY_CURRENT_USER, path(row).c_str(), row.name.c_str()), row.data) << at;
        EXPECT_EQ(queryString(HKEY_CURRENT_USER, path(row).c_str(), "After"), "1") << at;
        HKEY key;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path(row).c_str(), 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS) << at;
        EXPECT_EQ(setString(key, reader, "later"), ERROR_SUCCESS) << at;
        RegCloseKey(key);
      }
    }
  }
  static void keepsEveryText(const std::vector<TextRow>& rows) {
    for (size_t i = 0; i < rows.size(); ++i) {
      const TextRow& row = rows[i];
      rktest::ScopedEnv acp("RKWIN_ACP", row.acp);
      HKEY texts;
      ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Texts", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &texts, NULL),
                ERROR_SUCCESS);
      EXPECT_EQ(setString(texts, plainName(i).c_str(), row.data.c_str()), ERROR_SUCCESS);
      RegCloseKey(texts);
      HKEY key;
      DWORD disp = 0;
      ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path(row).c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, &disp),
                ERROR_SUCCESS);
      EXPECT_EQ(disp, (DWORD)REG_CREATED_NEW_KEY) << path(row);
      EXPECT_EQ(setString(key, row.name.c_str(), row.data.c_str()), ERROR_SUCCESS);
      EXPECT_EQ(setString(key, "After", "1"), ERROR_SUCCESS);
      RegCloseKey(key);
    }
    readsBack(rows, "in the store");
    const char* build = getenv("RK_BUILD_DIR");
    if (!build) return;
    const std::string exported = storeText();
    TempPrefix other;
    TempPrefix::writeFile(other.onC("exported.reg"), exported);
    {
      rktest::ScopedEnv acp("RKWIN_ACP", "1252");
      ASSERT_EQ(system((std::string(build) + "/system32/regedit.exe /s 'C:\\exported.reg'").c_str()), 0);
    }
    readsBack(rows, "imported");
  }
};

// A lead byte alone at the end: a GBK text cut after the first byte of a character, and a
// Western text written in code page 1252, whose é is a GBK lead byte.
TEST_F(RegistryTexts, TextsEndingInALoneLeadByteReadBackInEveryCodePage) {
  keepsEveryText({{"936", "abc\xD5", "Dir\xD5", "C:\\abc\xD5"}, {"1252", "Caf\xE9", "Caf\xE9", "C:\\Caf\xE9"}});
}

// A lead byte alone before a quote, bracket, backslash or line break, which .reg text escapes
// or uses to end a text. A key name with a line break has no place in the store: it is refused
// and the store stays whole.
TEST_F(RegistryTexts, QuotesBracketsAndBackslashesAfterALoneLeadByteReadBack) {
  keepsEveryText({{"936", "q\xD5\"", "q\xD5\"x", "\xD5\"x\xD5"},
                  {"1252", "x\xE9]", "\xE9\\\"\xE9]", "C:\\Caf\xE9\\"},
                  {"936", "b\xD5]\xD5", "a\xD5\n" + kCheng, "\xD5\\\xD5"}});
  HKEY key;
  EXPECT_EQ(
      RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Vantry\\two\nlines", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL),
      ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Vantry\\two\nlines", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(queryString(HKEY_CURRENT_USER, "Software\\Vantry\\q\xD5\"", "After"), "1");
}

// A name is its characters in the code page it was written in. Two names that a process of
// another code page reads as one name in two cases stay two keys or two values, each with its own
// data, whichever process writes the store next; the other code page, in which their bytes are
// other characters, finds neither.
TEST_F(Registry, NamesWrittenInDifferentCodePagesStayApart) {
  struct Pair {
    const char *writer, *other;
    std::string first, second;
  } pairs[] = {
      {"1252", "936", "\xA6\xC1", "\xA6\xA1"},  // ¦Á and ¦¡; in 936 α and Α
      {"936", "1252", "\x81\xE9", "\x81\xC9"},  // two characters in 936; in 1252 two cases of é
  };
  for (const Pair& p : pairs) {
    SCOPED_TRACE(std::string("written in ") + p.writer);
    TempPrefix machine;
    const std::string keys = "Software\\T\\K", values = "Software\\T\\Values";
    const std::pair<std::string, std::string> named[] = {{p.first, "one"}, {p.second, "two"}};
    {
      rktest::ScopedEnv acp("RKWIN_ACP", p.writer);
      for (const auto& n : named) {
        HKEY key;
        ASSERT_EQ(
            RegCreateKeyExA(HKEY_CURRENT_USER, (keys + n.first).c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL),
            ERROR_SUCCESS);
        EXPECT_EQ(setString(key, "V", n.second.c_str()), ERROR_SUCCESS);
        RegCloseKey(key);
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, values.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL),
                  ERROR_SUCCESS);
        EXPECT_EQ(setString(key, n.first.c_str(), n.second.c_str()), ERROR_SUCCESS);
        RegCloseKey(key);
      }
    }
    // The other code page writes first, then the writer's again; after each, both read.
    for (const char* next : {p.other, p.writer}) {
      {
        rktest::ScopedEnv acp("RKWIN_ACP", next);
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Other", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL),
                  ERROR_SUCCESS);
        EXPECT_EQ(setString(key, next, "x"), ERROR_SUCCESS);
        RegCloseKey(key);
      }
      for (const char* reader : {p.writer, p.other}) {
        rktest::ScopedEnv acp("RKWIN_ACP", reader);
        const bool own = reader == p.writer;
        for (const auto& n : named) {
          const std::string at = std::string("after a write in ") + next + ", read in " + reader;
          EXPECT_EQ(queryString(HKEY_CURRENT_USER, (keys + n.first).c_str(), "V"), own ? n.second : "<no key>") << at;
          EXPECT_EQ(queryString(HKEY_CURRENT_USER, values.c_str(), n.first.c_str()), own ? n.second : "<no value>")
              << at;
        }
      }
    }
  }
  // The same characters but for case are one name also between code pages: CAFÉ written in
  // 1252 is found as café in 936.
  {
    rktest::ScopedEnv acp("RKWIN_ACP", "1252");
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\CAF\xC9", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL),
              ERROR_SUCCESS);
    EXPECT_EQ(setString(key, "\xC9t\xC9", "summer"), ERROR_SUCCESS);
    RegCloseKey(key);
  }
  rktest::ScopedEnv acp("RKWIN_ACP", "936");
  EXPECT_EQ(queryString(HKEY_CURRENT_USER, "software\\caf\xA8\xA6", "\xA8\xA6t\xA8\xA6"), "summer");
}

// In a registry script a lead byte before a quote stands alone, as the code page reads it, and
// the quote ends the text. In the store a text whose escaped quote would pair with such a byte is
// written as hex(1), and the file stays in the code page of its other texts.
TEST_F(Registry, ALoneLeadByteBeforeAQuoteStandsAlone) {
  const char* build = getenv("RK_BUILD_DIR");
  if (!build) GTEST_SKIP() << "RK_BUILD_DIR not set";
  TempPrefix::writeFile(prefix_.onC("cut.reg"),
                        "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\" + kCheng +
                            "]\r\n\"Cut\"=\"abc\xD5\"\r\n\"\xD5\"=\"name\"\r\n\"Next\"=\"1\"\r\n");
  ASSERT_EQ(system((std::string(build) + "/system32/regedit.exe /s 'C:\\cut.reg'").c_str()), 0);
  const std::string path = "Software\\" + kCheng;
  EXPECT_EQ(queryString(HKEY_CURRENT_USER, path.c_str(), "Cut"), "abc\xD5");
  EXPECT_EQ(queryString(HKEY_CURRENT_USER, path.c_str(), "\xD5"), "name");
  EXPECT_EQ(queryString(HKEY_CURRENT_USER, path.c_str(), "Next"), "1");

  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  EXPECT_EQ(setString(key, "Quote", "\xD5\"x"), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(queryString(HKEY_CURRENT_USER, path.c_str(), "Quote"), "\xD5\"x");
  const std::string text = storeText();
  EXPECT_NE(text.find("; code page 936\n"), std::string::npos) << text;
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\" + kCheng + "]\n\"Cut\"=\"abc\xD5\"\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("\n\"Quote\"=hex(1):d5,22,78,00\n"), std::string::npos) << text;
}

TEST_F(Registry, TwoProcessesWritingAtOnceLoseNothing) {
  const int kPerProcess = 40;
  pid_t child = fork();
  ASSERT_GE(child, 0);
  const char* who = child == 0 ? "child" : "parent";
  for (int i = 0; i < kPerProcess; ++i) {
    HKEY key;
    std::string name = std::string("Software\\") + who + std::to_string(i);
    if (RegCreateKeyExA(HKEY_CURRENT_USER, name.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) == 0) {
      setString(key, "v", who);
      RegCloseKey(key);
    }
  }
  if (child == 0) _exit(0);
  int status = 0;
  waitpid(child, &status, 0);
  for (int i = 0; i < kPerProcess; ++i) {
    EXPECT_EQ(queryString(HKEY_CURRENT_USER, ("Software\\child" + std::to_string(i)).c_str(), "v"), "child");
    EXPECT_EQ(queryString(HKEY_CURRENT_USER, ("Software\\parent" + std::to_string(i)).c_str(), "v"), "parent");
  }
}

// A writer killed between writing its new file and renaming it leaves the file behind; the next
// write removes it, while the new file of a writer that still runs stays.
TEST_F(Registry, TheNextWriteRemovesNewFilesOfDeadWriters) {
  const std::string store = compat_reg_store_path();
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\First", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL), 0);
  ASSERT_EQ(setString(key, "v", "1"), 0);
  RegCloseKey(key);
  pid_t dead = fork();
  ASSERT_GE(dead, 0);
  if (dead == 0) _exit(0);
  waitpid(dead, nullptr, 0);
  pid_t alive = fork();
  ASSERT_GE(alive, 0);
  if (alive == 0) {
    pause();
    _exit(0);
  }
  const std::string deadFile = store + ".new." + std::to_string(dead);
  const std::string aliveFile = store + ".new." + std::to_string(alive);
  const std::string otherFile = store + ".new.notes";
  for (const std::string& f : {deadFile, aliveFile, otherFile})
    std::ofstream(f) << "REGEDIT4\r\n[HKEY_CURRENT_USER\\Half";
  // Reading alone changes nothing beside the store.
  EXPECT_EQ(queryString(HKEY_CURRENT_USER, "Software\\First", "v"), "1");
  EXPECT_EQ(0, access(deadFile.c_str(), F_OK));
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Second", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL), 0);
  ASSERT_EQ(setString(key, "v", "2"), 0);
  RegCloseKey(key);
  EXPECT_NE(0, access(deadFile.c_str(), F_OK));
  EXPECT_EQ(0, access(aliveFile.c_str(), F_OK));
  EXPECT_EQ(0, access(otherFile.c_str(), F_OK));
  kill(alive, SIGKILL);
  waitpid(alive, nullptr, 0);
  // The store itself is whole.
  EXPECT_EQ(queryString(HKEY_CURRENT_USER, "Software\\First", "v"), "1");
  EXPECT_EQ(queryString(HKEY_CURRENT_USER, "Software\\Second", "v"), "2");
}

// Runs f as a process of that code page does (every call reads the store afresh).
template <class F>
void inCodePage(const char* acp, F f) {
  rktest::ScopedEnv env("RKWIN_ACP", acp);
  f();
}

LONG makeKey(HKEY parent, const std::string& path, DWORD* disp = nullptr) {
  HKEY key;
  LONG rc = RegCreateKeyExA(parent, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, disp);
  if (rc == ERROR_SUCCESS) RegCloseKey(key);
  return rc;
}

LONG makeKeyWith(const std::string& path, const char* name, const char* text, DWORD* disp = nullptr) {
  HKEY key;
  LONG rc = RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, disp);
  if (rc != ERROR_SUCCESS) return rc;
  rc = RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)text, (DWORD)strlen(text) + 1);
  RegCloseKey(key);
  return rc;
}

// Imports a script through the registry editor where it is built, else as it does.
bool importScript(const TempPrefix& machine, const std::string& script) {
  const char* build = getenv("RK_BUILD_DIR");
  if (!build) return compat_reg_import_text(script);
  TempPrefix::writeFile(machine.onC("script.reg"), script);
  return system((std::string(build) + "/system32/regedit.exe /s 'C:\\script.reg'").c_str()) == 0;
}

// Every call finds a name by its characters in the code page of its process: a create, set or
// delete given the bytes of a name of other characters never reaches that name, but makes a name of
// its own or finds none, and a sub-key goes below the key of its own characters. Each sequence runs
// both ways round; every value holds the code page that wrote it.
TEST_F(Registry, EveryCallFindsANameByItsCharactersOnly) {
  const std::string b0a1 = "\xB0\xA1";  // °¡ in 1252, 啊 in 936
  const std::string a1e3 = "\xA1\xE3";  // ¡ã in 1252, ° in 936
  const std::string eb5b = "\xEB\x5B";  // ë[ in 1252, 隱 in 936
  const HKEY user = HKEY_CURRENT_USER;
  for (const auto& order : {std::make_pair("1252", "936"), std::make_pair("936", "1252")}) {
    const char *first = order.first, *second = order.second;
    SCOPED_TRACE(std::string("first in ") + first);
    TempPrefix machine;
    const auto readsOwn = [&](const std::string& path, const char* name) {
      for (const char* reader : {first, second})
        inCodePage(reader, [&] { EXPECT_EQ(queryString(user, path.c_str(), name), reader) << "read in " << reader; });
    };

    // Values: a delete of the other characters' bytes finds none; a set of them makes a value.
    inCodePage(first, [&] { EXPECT_EQ(makeKeyWith("Software\\S\\K", b0a1.c_str(), first), ERROR_SUCCESS); });
    inCodePage(second, [&] {
      HKEY key;
      ASSERT_EQ(RegOpenKeyExA(user, "Software\\S\\K", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
      EXPECT_EQ(RegDeleteValueA(key, b0a1.c_str()), ERROR_FILE_NOT_FOUND);
      EXPECT_EQ(setString(key, b0a1.c_str(), second), ERROR_SUCCESS);
      RegCloseKey(key);
    });
    readsOwn("Software\\S\\K", b0a1.c_str());
    inCodePage(first, [&] {
      HKEY key;
      ASSERT_EQ(RegOpenKeyExA(user, "Software\\S\\K", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
      EXPECT_EQ(RegDeleteValueA(key, b0a1.c_str()), ERROR_SUCCESS);
      RegCloseKey(key);
    });
    inCodePage(second, [&] { EXPECT_EQ(queryString(user, "Software\\S\\K", b0a1.c_str()), second); });

    // Keys: a delete of the other characters' bytes finds none; a create of them makes a key.
    inCodePage(first, [&] { EXPECT_EQ(makeKeyWith("Software\\S\\" + a1e3, "V", first), ERROR_SUCCESS); });
    inCodePage(second, [&] {
      HKEY parent;
      ASSERT_EQ(RegOpenKeyExA(user, "Software\\S", 0, KEY_ALL_ACCESS, &parent), ERROR_SUCCESS);
      EXPECT_EQ(RegDeleteKeyA(parent, a1e3.c_str()), ERROR_FILE_NOT_FOUND);
      RegCloseKey(parent);
    });
    inCodePage(first, [&] { EXPECT_EQ(queryString(user, ("Software\\S\\" + a1e3).c_str(), "V"), first); });
    for (const char* writer : {first, second}) {
      inCodePage(writer, [&] {
        DWORD disp = 0;
        EXPECT_EQ(makeKeyWith("Software\\S\\" + eb5b, "V", writer, &disp), ERROR_SUCCESS);
        EXPECT_EQ(disp, (DWORD)REG_CREATED_NEW_KEY) << "made in " << writer;
      });
    }
    readsOwn("Software\\S\\" + eb5b, "V");

    // A sub-key goes below the key of its own characters, which is made for it; the other code
    // page's key of those bytes stays without sub-keys and can be deleted.
    inCodePage(first, [&] { EXPECT_EQ(makeKey(user, "Software\\S\\" + b0a1), ERROR_SUCCESS); });
    inCodePage(second, [&] {
      DWORD disp = 0;
      EXPECT_EQ(makeKeyWith("Software\\S\\" + b0a1 + "\\sub", "V", second, &disp), ERROR_SUCCESS);
      EXPECT_EQ(disp, (DWORD)REG_CREATED_NEW_KEY);
    });
    inCodePage(first, [&] { EXPECT_EQ(RegDeleteKeyA(user, ("Software\\S\\" + b0a1).c_str()), ERROR_SUCCESS); });
    inCodePage(second, [&] {
      EXPECT_EQ(queryString(user, ("Software\\S\\" + b0a1 + "\\sub").c_str(), "V"), second);
      EXPECT_EQ(RegDeleteKeyA(user, ("Software\\S\\" + b0a1).c_str()), ERROR_ACCESS_DENIED) << "has a sub-key";
    });

    // The registry editor makes the key of the script's characters too.
    inCodePage(first, [&] { EXPECT_EQ(makeKeyWith("Software\\Sweep\\" + eb5b, "V", first), ERROR_SUCCESS); });
    inCodePage(second, [&] {
      EXPECT_TRUE(importScript(machine, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Sweep\\" + eb5b +
                                            "]\r\n\"V\"=\"" + second + "\"\r\n\"W\"=\"" + second + "\"\r\n"));
    });
    readsOwn("Software\\Sweep\\" + eb5b, "V");
    inCodePage(second, [&] { EXPECT_EQ(queryString(user, ("Software\\Sweep\\" + eb5b).c_str(), "W"), second); });
    inCodePage(first, [&] { EXPECT_EQ(queryString(user, ("Software\\Sweep\\" + eb5b).c_str(), "W"), "<no value>"); });
  }

  // A key made below a key of another code page of the same characters is below that key, and
  // keeps its own characters: 啊 (936) below CAFÉ (1252), found as café\啊 in 936 only.
  inCodePage("1252", [] { EXPECT_EQ(makeKey(HKEY_CURRENT_USER, "Software\\CAF\xC9"), ERROR_SUCCESS); });
  inCodePage("936", [] {
    DWORD disp = 0;
    EXPECT_EQ(makeKeyWith("Software\\caf\xA8\xA6\\\xB0\xA1", "V", "936", &disp), ERROR_SUCCESS);
    EXPECT_EQ(disp, (DWORD)REG_CREATED_NEW_KEY);
  });
  for (const char* writer : {"1252", "936"}) {  // each writes the store again, then both read
    inCodePage(writer, [] { EXPECT_EQ(makeKeyWith("Software\\Other", "V", "x"), ERROR_SUCCESS); });
    inCodePage("936", [] { EXPECT_EQ(queryString(HKEY_CURRENT_USER, "SOFTWARE\\CAF\xA8\xA6\\\xB0\xA1", "V"), "936"); });
    inCodePage("1252", [] {
      EXPECT_EQ(makeKey(HKEY_CURRENT_USER, "Software\\CAF\xC9\\\xB0\xA1"), ERROR_SUCCESS);  // °¡, a key of its own
      EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\CAF\xC9\\\xB0\xA1"), ERROR_SUCCESS);
      EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\CAF\xC9"), ERROR_ACCESS_DENIED) << "啊 is below it";
    });
  }

  // Nor does a read find a name of other characters: a 936 process looking for Kα by the bytes of
  // 1252's K¦Á finds nothing, and what it then makes and writes it keeps finding, KΑ being the
  // same name but for case.
  inCodePage("1252", [] { EXPECT_EQ(makeKeyWith("Software\\K\xA6\xC1", "V", "1252"), ERROR_SUCCESS); });
  inCodePage("936", [] {
    EXPECT_EQ(queryString(HKEY_CURRENT_USER, "Software\\K\xA6\xC1", "V"), "<no key>");
    EXPECT_EQ(makeKeyWith("Software\\K\xA6\xC1", "W", "936"), ERROR_SUCCESS);
    DWORD disp = 0;
    EXPECT_EQ(makeKeyWith("Software\\K\xA6\xA1", "X", "936", &disp), ERROR_SUCCESS);
    EXPECT_EQ(disp, (DWORD)REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(queryString(HKEY_CURRENT_USER, "Software\\K\xA6\xC1", "W"), "936");
  });
  inCodePage("1252", [] {
    EXPECT_EQ(queryString(HKEY_CURRENT_USER, "Software\\K\xA6\xC1", "V"), "1252");
    EXPECT_EQ(queryString(HKEY_CURRENT_USER, "Software\\K\xA6\xC1", "W"), "<no value>");
  });
}

// A key path is a list of names, split once: a script's section as a call's path, repeated
// separators counting as one, and a sub-key made through a handle below the handle's key, even
// where the key's name ends in a lone lead byte that would pair with the separator.
TEST_F(Registry, KeyPathsAreSplitAlikeInScriptsAndCalls) {
  const HKEY user = HKEY_CURRENT_USER;
  ASSERT_TRUE(importScript(prefix_,
                           "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\A\\\\B]\r\n\"V\"=\"one\"\r\n"
                           "[HKEY_CURRENT_USER\\\\Software\\\\\\C\\]\r\n\"V\"=\"two\"\r\n"));
  EXPECT_EQ(queryString(user, "Software\\A\\B", "V"), "one");
  EXPECT_EQ(queryString(user, "Software\\C", "V"), "two");
  EXPECT_EQ(storeText().find("\\]"), std::string::npos) << storeText();
  EXPECT_EQ(storeText().find("\\\\"), std::string::npos) << storeText();
  HKEY software;
  ASSERT_EQ(RegOpenKeyExA(user, "Software", 0, KEY_ALL_ACCESS, &software), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(software, "A"), ERROR_ACCESS_DENIED) << "B is below A";
  ASSERT_TRUE(importScript(prefix_, "REGEDIT4\r\n\r\n[-HKEY_CURRENT_USER\\Software\\A\\\\B]\r\n"));
  EXPECT_EQ(queryString(user, "Software\\A\\B", "V"), "<no key>");
  EXPECT_EQ(RegDeleteKeyA(software, "A"), ERROR_SUCCESS);

  // The bytes of 誠 (D5 5C) and a separator are a lone byte and two separators in code page 1252.
  inCodePage("1252", [&] {
    ASSERT_TRUE(importScript(
        prefix_, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\" + kCheng + "\\B]\r\n\"V\"=\"three\"\r\n"));
    EXPECT_EQ(queryString(user, "Software\\\xD5\\B", "V"), "three");
    EXPECT_EQ(queryString(user, ("Software\\" + kCheng + "\\B").c_str(), "V"), "three");
    ASSERT_TRUE(importScript(prefix_, "REGEDIT4\r\n\r\n[-HKEY_CURRENT_USER\\Software\\" + kCheng + "\\B]\r\n"));
    EXPECT_EQ(queryString(user, "Software\\\xD5\\B", "V"), "<no key>");
    EXPECT_EQ(RegDeleteKeyA(software, "\xD5"), ERROR_SUCCESS);
  });
  RegCloseKey(software);

  // A key whose name ends in a lone lead byte keeps its sub-key apart from the key named by the
  // pair that byte makes with a separator (x誠y).
  const std::string cut = "Software\\S\\x\xD5";
  HKEY key, sub;
  ASSERT_EQ(RegCreateKeyExA(user, cut.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL), ERROR_SUCCESS);
  ASSERT_EQ(RegCreateKeyExA(key, "y", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &sub, NULL), ERROR_SUCCESS);
  EXPECT_EQ(setString(sub, "V", "below"), ERROR_SUCCESS);
  RegCloseKey(sub);
  RegCloseKey(key);
  EXPECT_EQ(makeKeyWith("Software\\S\\x" + kCheng + "y", "V", "beside"), ERROR_SUCCESS);
  for (const char* writer : {"1252", "936"}) {
    inCodePage(writer, [] { EXPECT_EQ(makeKeyWith("Software\\Other", "V", "x"), ERROR_SUCCESS); });
    ASSERT_EQ(RegOpenKeyExA(user, cut.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(queryString(key, "y", "V"), "below") << "after a write in " << writer;
    RegCloseKey(key);
    EXPECT_EQ(queryString(user, ("Software\\S\\x" + kCheng + "y").c_str(), "V"), "beside");
    EXPECT_EQ(RegDeleteKeyA(user, cut.c_str()), ERROR_ACCESS_DENIED) << "y is below it";
  }
}

// As on Windows, a key name has at most 255 characters and a key is at most 512 levels below its
// root: RegCreateKeyExA refuses a key beyond, and the registry editor skips its section with its
// values, making the others of the script.
TEST_F(Registry, NamesAndDepthsAreBoundedAsOnWindows) {
  const HKEY user = HKEY_CURRENT_USER;
  const std::string longest(255, 'n'), tooLong(256, 'n');
  std::string wide, deep = "Deep", tooDeep = "Script";  // 啊 255 times, 512 and 600 levels
  for (int i = 0; i < 255; ++i) wide += "\xB0\xA1";
  for (int level = 2; level <= 512; ++level) deep += "\\k";
  for (int level = 2; level <= 600; ++level) tooDeep += "\\a";
  EXPECT_EQ(makeKey(user, "Software\\" + longest), ERROR_SUCCESS);
  EXPECT_EQ(makeKey(user, "Software\\" + tooLong), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(makeKey(user, "Software\\" + wide), ERROR_SUCCESS);
  EXPECT_EQ(makeKey(user, "Software\\" + wide + "\xB0\xA1"), ERROR_INVALID_PARAMETER);
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(user, deep.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL), ERROR_SUCCESS);
  EXPECT_EQ(makeKey(key, "x"), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(setString(key, "V", "512"), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(makeKey(user, deep + "\\x"), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(queryString(user, deep.c_str(), "V"), "512");
  EXPECT_EQ(queryString(user, "Software", ""), "<no value>") << "the store reads";

  ASSERT_TRUE(importScript(prefix_, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\" + tooDeep + "]\r\n\"V\"=\"600\"\r\n" +
                                        "[HKEY_CURRENT_USER\\Script\\" + tooLong + "]\r\n\"V\"=\"256\"\r\n" +
                                        "[HKEY_CURRENT_USER\\Script\\" + longest + "]\r\n\"V\"=\"255\"\r\n" +
                                        "[HKEY_CURRENT_USER\\" + deep + "]\r\n\"W\"=\"512\"\r\n"));
  EXPECT_EQ(queryString(user, "Script\\a", ""), "<no key>") << "no level of the 600 is made";
  EXPECT_EQ(queryString(user, ("Script\\" + tooLong).c_str(), "V"), "<no key>");
  EXPECT_EQ(queryString(user, ("Script\\" + longest).c_str(), "V"), "255");
  EXPECT_EQ(queryString(user, deep.c_str(), "W"), "512");
}

// A store of an earlier version loses nothing: one written in a code page the stand-in no longer
// takes (or naming one for some of its names) is refused by every call and left as it is, and the
// keys beyond Windows' bounds that a store holds stay readable and deletable through writes
// elsewhere, in either form of the store.
TEST_F(Registry, AStoreOfAnEarlierVersionLosesNothing) {
  const std::string header = "Windows Registry Editor Version 5.00\n";
  const std::string hebrew = "[HKEY_CURRENT_USER\\Software\\H\\\xF9]\n\"V\"=\"hebrew\"\n";  // ends in a GBK lead byte
  std::vector<std::string> foreign;
  for (const char* codePage : {"1255", "1258", "866", "54936"})
    foreign.push_back(header + "; code page " + codePage + "\n\n" + hebrew);
  foreign.push_back(header + "; code page 936\n\n; written in code page 1255\n" + hebrew);
  foreign.push_back(header + "; code page 936\n\n; names written in code pages 936:8 1255:1 1255:1\n" + hebrew);
  for (const std::string& store : foreign) {
    TempPrefix::writeFile(compat_reg_store_path(), store);
    HKEY key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\H", 0, KEY_READ, &key), ERROR_BADDB) << store;
    EXPECT_EQ(makeKey(HKEY_CURRENT_USER, "Software\\New"), ERROR_BADDB) << store;
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\H"), ERROR_BADDB) << store;
    EXPECT_FALSE(compat_reg_import_text("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\New]\r\n"));
    EXPECT_EQ(storeText(), store);
  }

  const std::string tooLong = "Software\\Old\\" + std::string(300, 'n');
  std::string tooDeep = "Deep";
  for (int level = 2; level <= 600; ++level) tooDeep += "\\a";
  for (const std::string& form : {header + "; code page 936\n", std::string("REGEDIT4\r\n")}) {
    TempPrefix::writeFile(compat_reg_store_path(), form + "\n[HKEY_CURRENT_USER\\" + tooLong + "]\n\"V\"=\"300\"\n" +
                                                       "[HKEY_CURRENT_USER\\" + tooDeep + "]\n\"V\"=\"600\"\n");
    EXPECT_EQ(makeKeyWith("Software\\Other", "V", "written"), ERROR_SUCCESS);
    EXPECT_EQ(queryString(HKEY_CURRENT_USER, tooLong.c_str(), "V"), "300");
    EXPECT_EQ(queryString(HKEY_CURRENT_USER, tooDeep.c_str(), "V"), "600");
    EXPECT_EQ(makeKey(HKEY_CURRENT_USER, tooLong + "\\sub"), ERROR_INVALID_PARAMETER) << "no new key beyond";
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, tooLong.c_str()), ERROR_SUCCESS);
    EXPECT_EQ(queryString(HKEY_CURRENT_USER, tooLong.c_str(), "V"), "<no key>");
    EXPECT_EQ(queryString(HKEY_CURRENT_USER, tooDeep.c_str(), "V"), "600");
  }
}

// A sub-key path names a key below the handle's: one beginning with a separator is refused, as
// Windows does, but for one separator opening below HKEY_CLASSES_ROOT itself.
TEST_F(Registry, ASubKeyPathBeginningWithASeparatorIsRefused) {
  HKEY key, sub;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\B", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL),
            ERROR_SUCCESS);
  for (const char* path : {"\\b", "\\b\\c", "\\"}) {
    EXPECT_EQ(RegCreateKeyExA(key, path, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &sub, NULL), ERROR_BAD_PATHNAME) << path;
    EXPECT_EQ(RegOpenKeyExA(key, path, 0, KEY_READ, &sub), ERROR_BAD_PATHNAME) << path;
    EXPECT_EQ(RegDeleteKeyA(key, path), ERROR_BAD_PATHNAME) << path;
  }
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "\\Software\\B", 0, KEY_READ, &sub), ERROR_BAD_PATHNAME);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\B\\b", 0, KEY_READ, &sub), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
  EXPECT_EQ(queryString(HKEY_CURRENT_USER, "Software\\B", ""), "<no value>") << "the key itself stays";

  ASSERT_EQ(makeKey(HKEY_CLASSES_ROOT, "CLSID"), ERROR_SUCCESS);
  EXPECT_EQ(makeKey(HKEY_CLASSES_ROOT, "\\Other"), ERROR_BAD_PATHNAME);
  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "\\clsid", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyExA(key, "\\x", 0, KEY_READ, &sub), ERROR_BAD_PATHNAME);
  RegCloseKey(key);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "\\\\clsid", 0, KEY_READ, &key), ERROR_BAD_PATHNAME);
}

// The store's code-page lines name only code pages the stand-in handles: a name after a line of any
// other number (1 and 3 stand for the reader's code page in the conversions) is taken as written in
// the file's code page, whoever reads it. Names of one key are one name when they are the same
// characters, two when they are other characters of the same bytes.
TEST_F(Registry, TheStoreFileIsReadTheSameByEveryReader) {
  const std::string path = "Software\\\xB0\xA1";  // 啊 in 936
  TempPrefix::writeFile(compat_reg_store_path(),
                        "Windows Registry Editor Version 5.00\n; code page 936\n\n"
                        "; written in code page 1\n[HKEY_CURRENT_USER\\" +
                            path +
                            "]\n\"V\"=\"key\"\n"
                            "\n[HKEY_CURRENT_USER\\Software\\Pages]\n"
                            "; written in code page 3\n\"\xA1\xE3\"=\"936\"\n"      // ° in 936
                            "; written in code page 1252\n\"\xA1\xE3\"=\"1252\"\n"  // ¡ã in 1252
                            "\n[HKEY_CURRENT_USER\\Software\\Same]\n"
                            "; written in code page 932\n\"\x81\xCA\"=\"first\"\n"  // ¬ twice in 932
                            "; written in code page 932\n\"\xEE\xF9\"=\"second\"\n");
  for (const char* reader : {"936", "1252"})
    inCodePage(reader, [&] { EXPECT_EQ(queryString(HKEY_CURRENT_USER, "Software\\Pages", "\xA1\xE3"), reader); });
  inCodePage("932", [] { EXPECT_EQ(queryString(HKEY_CURRENT_USER, "Software\\Same", "\xFA\x54"), "second"); });
  inCodePage("936", [&] { EXPECT_EQ(queryString(HKEY_CURRENT_USER, path.c_str(), "V"), "key"); });
  inCodePage("1252", [&] {
    DWORD disp = 0;
    EXPECT_EQ(makeKey(HKEY_CURRENT_USER, path, &disp), ERROR_SUCCESS);
    EXPECT_EQ(disp, (DWORD)REG_CREATED_NEW_KEY) << "°¡ is no name of the file's";
    EXPECT_EQ(queryString(HKEY_CURRENT_USER, path.c_str(), "V"), "<no value>");
  });
  inCodePage("936", [&] { EXPECT_EQ(queryString(HKEY_CURRENT_USER, path.c_str(), "V"), "key"); });

  // A store of the form without code-page lines holding two spellings of ¬ in code page 932 has
  // one key, with the values of both sections, the later one's where both have one.
  TempPrefix old;
  TempPrefix::writeFile(compat_reg_store_path(),
                        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\\x81\xCA]\r\n\"V\"=\"first\"\r\n\"A\"=\"a\"\r\n"
                        "[HKEY_CURRENT_USER\\Software\\\xEE\xF9]\r\n\"V\"=\"second\"\r\n");
  inCodePage("932", [] {
    EXPECT_EQ(queryString(HKEY_CURRENT_USER, "Software\\\xFA\x54", "V"), "second");
    EXPECT_EQ(queryString(HKEY_CURRENT_USER, "Software\\\xFA\x54", "A"), "a");
  });
}

// RKWIN_ACP takes only the code pages whose names the stand-in steps and folds, and reports the
// default one for any other, as for an unknown one. In UTF-8 names fold by case as in the others.
TEST_F(Registry, TheAnsiCodePageIsOneWhoseNamesAreSteppedAndFolded) {
  for (const char* refused : {"54936", "1255", "1258", "1047"})
    inCodePage(refused, [&] { EXPECT_EQ(GetACP(), 936u) << refused; });
  for (const char* taken : {"932", "949", "950", "874", "1252", "65001"})
    inCodePage(taken, [&] { EXPECT_EQ(GetACP(), (UINT)atoi(taken)); });
  inCodePage("65001", [] {
    EXPECT_EQ(makeKeyWith("Software\\Caf\xC3\xA9\\\xCE\xB1", "\xC3\xA9t\xC3\xA9", "summer"), ERROR_SUCCESS);
    DWORD disp = 0;
    EXPECT_EQ(makeKey(HKEY_CURRENT_USER, "SOFTWARE\\CAF\xC3\x89\\\xCE\x91", &disp), ERROR_SUCCESS);
    EXPECT_EQ(disp, (DWORD)REG_OPENED_EXISTING_KEY) << "café\\α is CAFÉ\\Α";
    EXPECT_EQ(queryString(HKEY_CURRENT_USER, "software\\caf\xC3\x89\\\xCE\x91", "\xC3\x89T\xC3\x89"), "summer");
  });
}

}  // namespace
