// The install road into a folder whose name ends in 誠 (D5 5C in code page 936: its second byte
// is the byte of a backslash): every file, registry value, shortcut and list names that folder.
// Also a folder of double-byte letters typed in another case than it exists in.
#include "LetterCases.h"
#include "RoadSupport.h"

using namespace RKSDK;

namespace {

std::vector<std::string> textLines(const std::string& text) {
  std::vector<std::string> out;
  size_t from = 0;
  for (size_t end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", from)) {
    out.push_back(text.substr(from, end - from));
    from = end + 2;
  }
  return out;
}

}  // namespace

class DoubleByteFolderTest : public RoadFixture {
 protected:
  // C:\Program Files\Vantry 誠 in the ANSI code page, and the same folder on the host side.
  const std::string folder = "C:\\Program Files\\Vantry \xD5\x5C";
  const std::string utf8Folder = "C:\\Program Files\\Vantry \xE8\xAA\xA0";
};

TEST_F(DoubleByteFolderTest, EverythingTheRoadWritesNamesTheFolder) {
  // The user's earlier viewer of JP2 files, to be replaced and recorded.
  regSetString(HKEY_CLASSES_ROOT, ".jp2", "", "jp2file");
  regSetString(HKEY_CURRENT_USER, userChoice(".JP2"), "Progid", "OldViewer.JP2");
  RecordingSetup* w = new RecordingSetup();
  w->addRef();
  Driver d(w);
  stepsToCopy(d, w, folder);
  stepCopyAll(d);
  // JP2 and JPC are ticked from the start.
  d.step([&] {
    EXPECT_EQ(5, w->page);
    clickOn(w->nextButton);
  });
  d.step([&] { clickOn(w->nextButton); });
  run(w);
  EXPECT_EQ(7u, d.done);
  EXPECT_EQ(7, w->page);
  w->release();
  ASSERT_TRUE(waitForPrograms());

  // The product landed in the folder itself, not in a sibling "Vantry " + the first byte of 誠.
  EXPECT_TRUE(std::filesystem::is_regular_file(prefix.onC("Program Files/Vantry \xE8\xAA\xA0/Vantry/VantryView.exe")));
  for (const auto& e : std::filesystem::directory_iterator(prefix.onC("Program Files")))
    EXPECT_EQ("Vantry \xE8\xAA\xA0", e.path().filename().string());

  // The rewritten script doubles each backslash character and leaves 誠 whole.
  std::string script = TempPrefix::readFile(setupHost() + "/setup_temp.reg");
  std::string expected = TempPrefix::readFile(setupHost() + "/setup.reg");
  const std::string marker = "%INSTALLDIR%", escaped = "C:\\\\Program Files\\\\Vantry \xD5\x5C";
  for (size_t at = expected.find(marker); at != std::string::npos; at = expected.find(marker, at + escaped.size()))
    expected.replace(at, marker.size(), escaped);
  EXPECT_EQ(expected, script);
  EXPECT_NE(std::string::npos, script.find("\"InstallDir\"=\"C:\\\\Program Files\\\\Vantry \xD5\x5C\"\r\n"));

  // Every value of the script, and the shell extension registered by its whole path.
  const std::string viewer = "SOFTWARE\\Vantry\\Viewer";
  EXPECT_EQ(folder, regValue(HKEY_LOCAL_MACHINE, viewer, "InstallDir"));
  EXPECT_EQ(folder + "\\Vantry\\VantryView.exe", regValue(HKEY_LOCAL_MACHINE, viewer, "Viewer"));
  EXPECT_EQ(folder + ";" + folder + "\\Vantry", regValue(HKEY_LOCAL_MACHINE, viewer, "Paths"));
  EXPECT_EQ(folder + "\\Vantry\\Uninstall.exe",
            regValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VantryViewer",
                     "UninstallString"));
  const std::string library = folder + "\\Vantry\\VantryShellEx.dll";
  EXPECT_EQ("registered", regValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\RKWin\\RegisteredServers", library.c_str()));

  // The associations and the user's choice; the old choice recorded beside the product.
  for (std::string x : {".JP2", ".JPC"}) {
    SCOPED_TRACE(x);
    std::string g = "Vantry" + x;
    EXPECT_EQ(folder + "\\Vantry\\images\\" + x.substr(1) + ".ico,0",
              regValue(HKEY_CLASSES_ROOT, g + "\\DefaultIcon", ""));
    EXPECT_EQ("\"" + folder + "\\Vantry\\VantryView.exe\" \"%1\"",
              regValue(HKEY_CLASSES_ROOT, g + "\\shell\\Open\\Command", ""));
    EXPECT_EQ(g, regValue(HKEY_CURRENT_USER, userChoice(x), "Progid"));
  }
  EXPECT_EQ(".JP2=OldViewer.JP2\r\n", readWindowsFile(folder + "\\Vantry\\filelink.txt"));

  // The uninstall list: itself first, then below the shortcuts every entry of the sub-folder.
  std::vector<std::string> list = textLines(readWindowsFile(folder + "\\Vantry\\install.txt"));
  ASSERT_GT(list.size(), 8u);
  EXPECT_EQ(folder + "\\Vantry\\install.txt", list[0]);
  EXPECT_EQ(folder + "\\Vantry", list[list.size() - 2]);
  for (size_t i = 6; i + 1 < list.size(); ++i) EXPECT_EQ(0u, list[i].find(folder + "\\Vantry")) << list[i];

  // The shortcuts point into the folder.
  const std::string menu = specialFolder(CSIDL_PROGRAMS) + "\\VantryViewer\\Vantry\\";
  const std::string desktop = specialFolder(CSIDL_DESKTOPDIRECTORY) + "\\";
  for (const std::string& link : {menu + "VantryView.lnk", menu + "Uninstall.lnk", desktop + "VantryView.lnk"}) {
    ASSERT_TRUE(windowsFileExists(link)) << link;
    if (!haveLnkinfo()) continue;
    std::map<std::string, std::string> f = lnkFields(link);
    bool program = link.find("Uninstall") == std::string::npos;
    EXPECT_EQ(utf8Folder + (program ? "\\Vantry\\VantryView.exe" : "\\Vantry\\Uninstall.exe"), f["Local path"]);
    EXPECT_EQ(utf8Folder + (program ? "\\Vantry\\VantryView.ico" : "\\Vantry\\Uninstall.ico"), f["Icon location"]);
  }
}

// A second install into the same folder finds it there: no question to create it, no report
// that it cannot be made, and the copy runs.
TEST_F(DoubleByteFolderTest, AnExistingFolderIsTakenWithoutAQuestion) {
  std::filesystem::create_directories(prefix.onC("Program Files/Vantry \xE8\xAA\xA0"));
  RecordingSetup* w = new RecordingSetup();
  w->addRef();
  Driver d(w);
  int boxes = compat_message_box_count();
  d.step([=] { clickOn(w->nextButton); });
  d.step([=] { clickOn(w->agreeButton); });
  d.step([=] { clickOn(w->nextButton); });
  d.step([=] {
    w->pathField->setText(folder.c_str());
    clickOn(w->nextButton);
  });
  d.step([=] {
    EXPECT_EQ(4, w->page);
    EXPECT_EQ(boxes, compat_message_box_count());
    w->quit();
  });
  run(w);
  EXPECT_EQ(5u, d.done);
  w->release();
}

// A folder is found whatever the case of its letters, full-width ones too: typing ＶＡＮＴＲＹ
// where ｖａｎｔｒｙ exists asks nothing, and the product goes into the folder that is there.
TEST_F(DoubleByteFolderTest, AFolderInAnotherCaseIsTheSameFolder) {
  const LetterCase& name = kLetterCases[0];
  ASSERT_STREQ("936", name.codePage);
  std::filesystem::create_directories(prefix.onC(std::string("Program Files/") + name.lowerUtf8));
  RecordingSetup* w = new RecordingSetup();
  w->addRef();
  Driver d(w);
  int boxes = compat_message_box_count();
  const std::string typed = std::string("C:\\Program Files\\") + name.upper;
  d.step([=] { clickOn(w->nextButton); });
  d.step([=] { clickOn(w->agreeButton); });
  d.step([=] { clickOn(w->nextButton); });
  d.step([=] {
    w->pathField->setText(typed.c_str());
    clickOn(w->nextButton);
  });
  stepCopyAll(d);
  d.step([=] {
    EXPECT_EQ(5, w->page);
    EXPECT_EQ(boxes, compat_message_box_count());
    w->quit();
  });
  run(w);
  EXPECT_EQ(6u, d.done);
  w->release();

  EXPECT_TRUE(std::filesystem::is_regular_file(
      prefix.onC(std::string("Program Files/") + name.lowerUtf8 + "/Vantry/VantryView.exe")));
  for (const auto& e : std::filesystem::directory_iterator(prefix.onC("Program Files")))
    EXPECT_EQ(name.lowerUtf8, e.path().filename().string());
}
