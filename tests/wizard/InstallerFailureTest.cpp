// Installs that cannot happen, run as processes like the whole install: an install folder that
// fills up midway, one on a read-only file system, a product file that cannot be read, and empty
// settings files. Nothing that points at the product or registers it may be written, and the
// user is told and gets the folder page back (or, without usable settings, no window at all).
#include <sys/mount.h>

#include "InstallerHarness.h"

namespace {

using namespace installer;

const std::string kInstall = "C:\\Program Files\\Vantry Image Viewer";

// "创建不成功，请重新输入路径" in UTF-8; the box shows it in GBK.
const char* const kCreateFailedUtf8 =
    "\xE5\x88\x9B\xE5\xBB\xBA\xE4\xB8\x8D\xE6\x88\x90\xE5\x8A\x9F\xEF\xBC\x8C\xE8\xAF\xB7\xE9\x87\x8D\xE6\x96\xB0"
    "\xE8\xBE\x93\xE5\x85\xA5\xE8\xB7\xAF\xE5\xBE\x84";

// Welcome, licence, the install folder typed in and the install button; the copy ends with the
// folder message, the folder page comes back with its install button, and the user leaves.
std::string failingPages(bool folderExists) {
  return std::string(
             "wait-visible 250 150 RKPicture\n"
             "click 328 340\n"
             "wait-visible 200 150 RKTextView\n"
             "click 40 277\n"
             "wait-enabled 328 340 RKButton\n"
             "click 328 340\n"
             "wait-visible 200 102 RKEdit\n"
             "click 200 102\n"
             "key END\n"
             "key shift+HOME\n"
             "type C:\\Program Files\\Vantry Image Viewer\n") +
         (folderExists ? "" : "answer-box OK\n") + "answer-box OK " + kCreateFailedUtf8 +
         "\n"
         "click 328 340\n"
         "wait-visible 200 102 RKGuage\n"
         "# the folder page again, its install button usable\n"
         "wait-visible 200 102 RKEdit\n"
         "wait-visible 200 200 RKListBox\n"
         "wait-enabled 328 340 RKButton\n"
         "shot shots/folder-again.png\n"
         "answer-box OK\n"
         "click 438 340\n";
}

class InstallerFailure : public ::testing::Test, protected InstallerHarness {
 protected:
  void SetUp() override { setUpMachine(); }
  void TearDown() override {
    if (!mounted.empty()) umount2(mounted.c_str(), MNT_DETACH);
  }

  // A file system of its own at the install folder; false (the test skips) where this process
  // may not mount.
  bool mountAtInstallFolder(const char* options) {
    std::string at = host(kInstall);
    fs::create_directories(at);
    if (mount("tmpfs", at.c_str(), "tmpfs", 0, options) != 0) return false;
    mounted = at;
    return true;
  }

  // Runs a script and returns the exit code; the script ran to its end without a report.
  int run(const std::string& pages, std::vector<std::string> argv = {}) {
    rktest::writeFile(prefix.root() + "/pages.txt", pages);
    pid_t pid = start("6.1", prefix.root() + "/pages.txt", argv);
    EXPECT_GT(pid, 0);
    if (pid <= 0) return -1;
    int code = finish(pid);
    EXPECT_EQ("", readFile(prefix.root() + "/stderr.txt"));
    return code;
  }

  // Nothing of the road after the copy: no shortcut, no uninstall list, no registry values, no
  // registration, no association, no program started.
  void expectNothingWritten() {
    const std::string menu =
        "C:\\users\\tester\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\" + cn["productfold"];
    EXPECT_FALSE(fs::exists(host(menu)));
    std::string desktop = host("C:\\users\\tester\\Desktop");
    if (fs::exists(desktop)) {
      EXPECT_TRUE(fs::is_empty(desktop));
    }
    EXPECT_FALSE(fs::exists(host(kInstall + "\\Vantry\\install.txt")));
    EXPECT_FALSE(fs::exists(host("C:\\Program Files\\install.txt")));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vantry"));
    EXPECT_FALSE(
        keyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VantryViewer"));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\RKWin\\RegisteredServers"));
    for (const char* key : {".JP2", ".JPC", "Vantry.JP2", "Vantry.JPC"})
      EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, key)) << key;
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts"));
    EXPECT_FALSE(fs::exists(prefix.root() + "/programs.log")) << readFile(prefix.root() + "/programs.log");
  }

  // The product files that arrived in the install folder, and those that did not.
  void countInstalled(int* present, int* missing) {
    *present = *missing = 0;
    for (auto& e : fs::recursive_directory_iterator(product)) {
      if (e.is_directory()) continue;
      bool there = fs::exists(host(kInstall) + "/" + fs::relative(e.path(), product).string());
      ++*(there ? present : missing);
    }
  }

  std::string mounted;
};

TEST_F(InstallerFailure, AnInstallFolderThatFillsUpMidwayIsNotReportedAsInstalled) {
  // Room for four of the product's files, one memory page each.
  if (!mountAtInstallFolder("size=16k"))
    GTEST_SKIP() << "mounting a small file system needs root (mount: " << strerror(errno) << ")";
  EXPECT_EQ(0, run(failingPages(true)));
  int present = 0, missing = 0;
  countInstalled(&present, &missing);
  EXPECT_GT(present, 0);
  EXPECT_GT(missing, 0);
  expectNothingWritten();
  EXPECT_EQ("\x89PNG", readFile(prefix.root() + "/shots/folder-again.png").substr(0, 4));
  EXPECT_TRUE(fs::is_empty(temp));
}

TEST_F(InstallerFailure, AReadOnlyInstallFolderIsNotReportedAsInstalled) {
  if (!mountAtInstallFolder("ro,size=1m"))
    GTEST_SKIP() << "mounting a read-only file system needs root (mount: " << strerror(errno) << ")";
  EXPECT_EQ(0, run(failingPages(true)));
  EXPECT_TRUE(fs::is_empty(host(kInstall)));
  expectNothingWritten();
  EXPECT_TRUE(fs::is_empty(temp));
}

// No package can carry a file that the unpacked Setup cannot read, so Setup is started as the
// launcher starts it, from a setup folder where the viewer program has no read permission (for
// root, without the capabilities that pass over permissions).
TEST_F(InstallerFailure, AProductFileThatCannotBeReadIsNotReportedAsInstalled) {
  std::string setupHost = prefix.root() + "/unpacked";
  fs::copy(built("installer/package"), setupHost, fs::copy_options::recursive);
  std::string viewer = setupHost + "/VantryViewer/Vantry/VantryView.exe";
  ASSERT_EQ(0, chmod(viewer.c_str(), 0));
  std::vector<std::string> argv = {setupHost + "/Setup.exe"};
  if (geteuid() == 0) {
    const std::string drop =
        "setpriv --inh-caps=-dac_override,-dac_read_search --bounding-set=-dac_override,-dac_read_search -- ";
    if (system((drop + "true").c_str()) != 0) GTEST_SKIP() << "root cannot give up its capabilities here";
    if (system((drop + "cat '" + viewer + "' >/dev/null 2>&1").c_str()) == 0)
      GTEST_SKIP() << "root still reads every file without its capabilities here";
    argv.insert(argv.begin(), {"setpriv", "--inh-caps=-dac_override,-dac_read_search",
                               "--bounding-set=-dac_override,-dac_read_search", "--"});
  }
  // Setup's own exit code: its entry function returns 0.
  EXPECT_EQ(0, run(failingPages(false), argv));
  EXPECT_FALSE(fs::exists(host(kInstall + "\\Vantry\\VantryView.exe")));
  EXPECT_TRUE(fs::exists(host(kInstall + "\\Vantry\\Uninstall.exe")));
  expectNothingWritten();
}

// Both settings files empty, packed by the package writer behind the built launcher: Setup ends
// without a window (the script's first step, a shot, never runs) and writes nothing.
TEST_F(InstallerFailure, EmptySettingsFilesEndSetupWithoutAWindow) {
  std::string package = prefix.root() + "/package";
  fs::copy(built("installer/package"), package, fs::copy_options::recursive);
  for (const char* name : {"setup_cn.properties", "setup_en.properties"}) rktest::writeFile(package + "/" + name, "");
  std::string starter = prefix.root() + "/EmptySettings.exe";
  std::string command = "'" + built("tools/packwriter") + "' '" + built("launcher/stowpack") + "' '" + package +
                        "' Setup.exe '" + starter + "'";
  ASSERT_EQ(0, system(command.c_str()));
  EXPECT_EQ(0, run("shot shots/window.png\n", {starter}));
  EXPECT_FALSE(fs::exists(prefix.root() + "/shots/window.png"));
  expectNothingWritten();
  EXPECT_FALSE(fs::exists(host("C:\\Program Files\\VantryViewer")));
  EXPECT_FALSE(fs::exists(host("C:\\Program Files\\antryViewer")));
  EXPECT_TRUE(fs::is_empty(temp));
}

}  // namespace
