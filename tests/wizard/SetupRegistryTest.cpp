// The registry script rewritten with the install folder, its import by the registry editor, and
// the programs the end of the copy starts.
#include <compat_registry.h>

#include "RKFileStream.h"
#include "RoadSupport.h"

using namespace RKSDK;

namespace {

std::string replaced(std::string s, const std::string& from, const std::string& to) {
  for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
    s.replace(at, from.size(), to);
  return s;
}

}  // namespace

class SetupRegistryTest : public RoadFixture {
 protected:
  std::string output() { return TempPrefix::readFile(setupHost() + "/setup_temp.reg"); }
};

TEST_F(SetupRegistryTest, EveryMarkerTakesTheFolderEscapedAsScriptTextAndLineEndsStay) {
  // Two markers on a line, CRLF and LF ends, a last line without one.
  write("setup.reg",
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\RoadTest]\r\n"
        "\"Both\"=\"%INSTALLDIR%|%INSTALLDIR%\"\r\n"
        "\"Bin\"=\"%INSTALLDIR%\\\\bin\"\n"
        "\"Last\"=\"end %INSTALLDIR%\"");
  RecordingSetup* w = new RecordingSetup();
  w->addRef();
  // A folder with a star, quotes and blanks must neither break the rewrite nor the script.
  const std::string folder = "C:\\Odd*Star \"Q\"\\X";
  const std::string escaped = "C:\\\\Odd*Star \\\"Q\\\"\\\\X";
  w->pathField->setText(folder.c_str());
  w->runRegistryScript("");
  EXPECT_EQ(
      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\RoadTest]\r\n"
      "\"Both\"=\"" +
          escaped + "|" + escaped +
          "\"\r\n"
          "\"Bin\"=\"" +
          escaped +
          "\\\\bin\"\n"
          "\"Last\"=\"end " +
          escaped + "\"",
      output());
  ASSERT_EQ(1u, w->started.size());
  EXPECT_EQ("regedit.exe /s \"C:\\setup\\setup_temp.reg\"", w->started[0]);
  ASSERT_TRUE(waitForPrograms());
  EXPECT_EQ(folder + "|" + folder, regValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\RoadTest", "Both"));
  EXPECT_EQ(folder + "\\bin", regValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\RoadTest", "Bin"));
  EXPECT_EQ("end " + folder, regValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\RoadTest", "Last"));
  w->release();
}

TEST_F(SetupRegistryTest, EmptyMarkersScriptsAndMissingScripts) {
  RecordingSetup* w = new RecordingSetup();
  w->addRef();
  w->pathField->setText("C:\\X");
  // No marker: the script is copied as it stands; a zero byte ends its line's text.
  currentProperties->set("regist_root", "");
  static const char script[] = "REGEDIT4\r\n\"A\"=\"%INSTALLDIR%\"\r\nab\0cd\r\nz";
  write("setup.reg", std::string(script, sizeof script - 1));
  w->rewriteRegistryScript(setupFolder + "setup.reg", setupFolder + "setup_temp.reg");
  EXPECT_EQ("REGEDIT4\r\n\"A\"=\"%INSTALLDIR%\"\r\nabz", output());
  // An empty script gives an empty one, which is still imported.
  currentProperties->set("regist_root", "%INSTALLDIR%");
  write("setup.reg", "");
  w->runRegistryScript("");
  EXPECT_TRUE(TempPrefix::exists(setupHost() + "/setup_temp.reg"));
  EXPECT_EQ("", output());
  EXPECT_EQ(1u, w->started.size());
  // Without a script nothing is written and the editor is not started on nothing.
  std::filesystem::remove(setupHost() + "/setup.reg");
  std::filesystem::remove(setupHost() + "/setup_temp.reg");
  w->runRegistryScript("");
  EXPECT_FALSE(TempPrefix::exists(setupHost() + "/setup_temp.reg"));
  EXPECT_EQ(1u, w->started.size());
  // A name suffix picks the pair of scripts.
  write("setup_x.reg", "REGEDIT4\r\n");
  w->runRegistryScript("_x");
  EXPECT_EQ("REGEDIT4\r\n", TempPrefix::readFile(setupHost() + "/setup_temp_x.reg"));
  ASSERT_EQ(2u, w->started.size());
  EXPECT_EQ("regedit.exe /s \"C:\\setup\\setup_temp_x.reg\"", w->started[1]);
  w->release();
}

TEST(SetupReadLine, KeepsEachLinesOwnEndAndTheLastLineWithoutOne) {
  TempPrefix prefix;
  TempPrefix::writeFile(prefix.onC("lines.txt"), "one\r\ntwo\n\nthree");
  RKFileStream stream;
  ASSERT_TRUE(stream.open("C:\\lines.txt", RK_STREAM_READ));
  RKString line;
  std::vector<std::string> lines;
  while (stream.available() != -1 && Setup::readLine(&stream, line)) lines.push_back(text(line));
  stream.close();
  EXPECT_EQ((std::vector<std::string>{"one\r\n", "two\n", "\n", "three"}), lines);
}

TEST_F(SetupRegistryTest, TheEndOfTheCopyImportsTheScriptAndRegistersTheExtension) {
  RecordingSetup* w = new RecordingSetup();
  w->addRef();
  installTo(w);
  const std::string install = kInstall;
  const std::string library = install + "\\Vantry\\VantryShellEx.dll";
  // Editor first, then the registration; both paths quoted, since they hold a blank.
  ASSERT_EQ(2u, w->started.size());
  EXPECT_EQ("regedit.exe /s \"C:\\setup\\setup_temp.reg\"", w->started[0]);
  EXPECT_EQ("regsvr32.exe /s \"" + library + "\"", w->started[1]);
  std::string shipped = TempPrefix::readFile(setupHost() + "/setup.reg");
  EXPECT_EQ(replaced(shipped, "%INSTALLDIR%", "C:\\\\Program Files\\\\VantryViewer"), output());
  w->release();

  ASSERT_TRUE(waitForPrograms());
  std::vector<std::string> runs = programRuns();
  EXPECT_EQ(1, std::count(runs.begin(), runs.end(), "regedit.exe /s C:\\setup\\setup_temp.reg"));
  EXPECT_EQ(1, std::count(runs.begin(), runs.end(), "regsvr32.exe /s " + library));
  // Each program got its path whole.
  EXPECT_EQ(install, regValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vantry\\Viewer", "InstallDir"));
  EXPECT_EQ(install + "\\Vantry\\VantryView.exe", regValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vantry\\Viewer", "Viewer"));
  EXPECT_EQ(install + ";" + install + "\\Vantry", regValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vantry\\Viewer", "Paths"));
  EXPECT_EQ(install + "\\Vantry\\Uninstall.exe",
            regValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VantryViewer",
                     "UninstallString"));
  EXPECT_EQ("registered", regValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\RKWin\\RegisteredServers", library.c_str()));
}
