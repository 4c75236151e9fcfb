// The Start-menu folders and shortcuts, read back by an outside reader of the shortcut format,
// and the uninstall list byte for byte.
#include <windows.h>

#include <shlobj.h>

#include <filesystem>

#include "RoadSupport.h"

using namespace RKSDK;

class SetupShortcutsTest : public RoadFixture {
 protected:
  // A product folder of its own: entries inside the sub-folder, beside it, and named like it.
  void writeSmallProduct() {
    std::filesystem::remove_all(setupHost() + "/VantryViewer");
    for (const char* f :
         {"a.txt", "Other/Vantry.txt", "Vantry/x.exe", "Vantry/sub/y.dat", "vantry.txt", "VantryX/z.txt"})
      write(std::string("VantryViewer/") + f, f);
    makeFolder("VantryViewer/Van");
    startUpShipped();
  }
};

TEST_F(SetupShortcutsTest, TheUninstallListNamesTheRoadsFilesAndTheSubFolderLastEntryFirst) {
  writeSmallProduct();
  ASSERT_EQ(11u, packageList.getCount());
  std::filesystem::create_directories(prefix.onC("Inst/Vantry"));
  RKSDK::Setup* w = new RKSDK::Setup();
  w->addRef();
  w->writeInstallList("C:\\Inst\\Vantry\\install.txt", "C:\\Inst\\", "M\\Vantry\\Uninstall.lnk",
                      "M\\Vantry\\VantryView.lnk", "M\\Vantry", "M", "D\\VantryView.lnk");
  EXPECT_EQ(
      "C:\\Inst\\Vantry\\install.txt\r\n"
      "M\\Vantry\\Uninstall.lnk\r\n"
      "M\\Vantry\\VantryView.lnk\r\n"
      "M\\Vantry\r\n"
      "M\r\n"
      "D\\VantryView.lnk\r\n"
      "C:\\Inst\\VantryX\\z.txt\r\n"
      "C:\\Inst\\VantryX\r\n"
      "C:\\Inst\\vantry.txt\r\n"
      "C:\\Inst\\Vantry\\x.exe\r\n"
      "C:\\Inst\\Vantry\\sub\\y.dat\r\n"
      "C:\\Inst\\Vantry\\sub\r\n"
      "C:\\Inst\\Vantry\r\n" +
          cnText("uninstall_regkey") + "\r\n",
      TempPrefix::readFile(prefix.onC("Inst/Vantry/install.txt")));
  EXPECT_TRUE(packageList.isFirst());

  // Written again it is truncated; an empty sub-folder name matches no entry, and a missing
  // registry key leaves an empty last line.
  currentProperties->set("sub_dir", "");
  currentProperties->set("uninstall_regkey", "");
  w->writeInstallList("C:\\Inst\\Vantry\\install.txt", "C:\\Inst\\", "u", "p", "s", "m", "d");
  EXPECT_EQ("C:\\Inst\\Vantry\\install.txt\r\nu\r\np\r\ns\r\nm\r\nd\r\n\r\n",
            TempPrefix::readFile(prefix.onC("Inst/Vantry/install.txt")));
  // A list whose folder is missing is not written.
  w->writeInstallList("C:\\Nowhere\\install.txt", "C:\\Inst\\", "u", "p", "s", "m", "d");
  EXPECT_FALSE(TempPrefix::exists(prefix.onC("Nowhere")));
  w->release();
}

TEST_F(SetupShortcutsTest, AProgramNameWithoutAThreeLetterExtensionLosesFourCharactersAnyway) {
  currentProperties->set("start_app", "Viewer");
  RKSDK::Setup* w = new RKSDK::Setup();
  w->addRef();
  w->pathField->setText("C:\\Inst");
  w->createShortcuts("C:\\Inst\\");
  std::string menu = specialFolder(CSIDL_PROGRAMS) + "\\VantryViewer\\Vantry\\";
  EXPECT_TRUE(windowsFileExists(menu + "Vi.lnk"));
  EXPECT_TRUE(windowsFileExists(menu + "Uninstall.lnk"));
  EXPECT_TRUE(windowsFileExists(specialFolder(CSIDL_DESKTOPDIRECTORY) + "\\Vi.lnk"));
  w->release();
}

TEST_F(SetupShortcutsTest, TheRoadMakesThreeShortcutsAndTheirListAndAReinstallRewritesThem) {
  // In English, so the descriptions are plain ASCII for the reader.
  languageIndex = 1;
  currentProperties = &englishProperties;
  const std::string install = kInstall;
  const std::string menu = specialFolder(CSIDL_PROGRAMS) + "\\VantryViewer";
  const std::string desktop = specialFolder(CSIDL_DESKTOPDIRECTORY);
  ASSERT_FALSE(menu.empty());
  ASSERT_FALSE(desktop.empty());
  const std::string programShortcut = menu + "\\Vantry\\VantryView.lnk";
  const std::string uninstallShortcut = menu + "\\Vantry\\Uninstall.lnk";
  const std::string desktopShortcut = desktop + "\\VantryView.lnk";

  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round ? "reinstall" : "first install");
    if (round) TempPrefix::writeFile(hostOf(programShortcut), "spoilt");
    RecordingSetup* w = new RecordingSetup();
    w->addRef();
    installTo(w);
    w->release();

    const std::string program = install + "\\Vantry\\VantryView.exe";
    const std::string uninstaller = install + "\\Vantry\\Uninstall.exe";
    struct Expected {
      std::string file, target, description, icon;
    } links[] = {
        {programShortcut, program, enText("start_app_desc"), install + "\\Vantry\\VantryView.ico"},
        {uninstallShortcut, uninstaller, enText("uninstall_app_desc"), install + "\\Vantry\\Uninstall.ico"},
        {desktopShortcut, program, enText("start_app_desc"), install + "\\Vantry\\VantryView.ico"},
    };
    for (const Expected& e : links) {
      ASSERT_TRUE(windowsFileExists(e.file)) << e.file;
      if (!haveLnkinfo()) continue;
      std::map<std::string, std::string> f = lnkFields(e.file);
      ASSERT_TRUE(f.count("Local path")) << e.file;
      EXPECT_EQ(e.target, f["Local path"]) << e.file;
      EXPECT_EQ(e.target, f["Command line arguments"]) << e.file;
      EXPECT_EQ(e.description, f["Description"]) << e.file;
      EXPECT_EQ(e.icon, f["Icon location"]) << e.file;
      EXPECT_EQ("0", f["Icon index"]) << e.file;
    }

    std::string list = readWindowsFile(install + "\\Vantry\\install.txt");
    std::string head = install + "\\Vantry\\install.txt\r\n" + uninstallShortcut + "\r\n" + programShortcut + "\r\n" +
                       menu + "\\Vantry\r\n" + menu + "\r\n" + desktopShortcut + "\r\n";
    EXPECT_EQ(head, list.substr(0, head.size()));
    // Every installed entry below the sub-folder and the tools folder named like it, the
    // sub-folder itself just before the last line; once only after the reinstall.
    EXPECT_NE(std::string::npos, list.find("\r\n" + install + "\\Vantry\\images\\JPEG.ico\r\n"));
    EXPECT_NE(std::string::npos, list.find("\r\n" + install + "\\VantryTools\\Capture.exe\r\n"));
    EXPECT_EQ(std::string::npos, list.find("readme.txt"));
    std::string tail = "\r\n" + install + "\\Vantry\r\n" + enText("uninstall_regkey") + "\r\n";
    EXPECT_EQ(tail, list.substr(list.size() - tail.size()));
    EXPECT_EQ(list.find(head), list.rfind(head));
  }
}
