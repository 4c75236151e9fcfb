// The built installer (launcher + package of Setup, its data and the product) run as a process on
// the headless display in a fresh machine, its pages answered by an input script; then everything
// the installation leaves behind is read back: files, shortcuts, the uninstall list, the registry
// store, the associations, the programs it started and the temporary folder.
#include "InstallerHarness.h"

namespace {

using namespace installer;

// One run: the system version, the install folder typed on the folder page (in the machine's
// code page and as the input script's UTF-8), and the run's name.
struct Run {
  const char* version;
  const char* folder;
  const char* typed;
  const char* name;
};

void PrintTo(const Run& run, std::ostream* out) { *out << run.name; }

const Run kRuns[] = {
    {"6.1", "C:\\Program Files\\Vantry Image Viewer", "C:\\Program Files\\Vantry Image Viewer", "Windows7"},
    {"10.0", "C:\\Program Files\\Vantry Image Viewer", "C:\\Program Files\\Vantry Image Viewer", "Windows10"},
    // 誠: its second byte in code page 936 is the byte of a backslash.
    {"6.1", "C:\\Program Files\\Vantry \xD5\x5C", "C:\\Program Files\\Vantry \xE8\xAA\xA0", "Windows7DoubleByteFolder"},
};

// Welcome, licence (agreed), a new folder with blanks under Program Files (created when asked),
// the copy up to the gauge's end, JPEG and TIFF ticked beside the two ticked already, finish.
const char* kPages =
    "wait-visible 250 150 RKPicture\n"
    "wait-disabled 218 340 RKButton\n"
    "shot shots/1-welcome.png\n"
    "click 328 340\n"
    "wait-visible 200 150 RKTextView\n"
    "wait-disabled 328 340 RKButton\n"
    "shot shots/2-licence.png\n"
    "click 40 277\n"
    "wait-enabled 328 340 RKButton\n"
    "click 328 340\n"
    "wait-visible 200 102 RKEdit\n"
    "click 200 102\n"
    "key END\n"
    "key shift+HOME\n"
    "type %FOLDER%\n"
    "shot shots/3-folder.png\n"
    "answer-box OK\n"
    "click 328 340\n"
    "wait-visible 200 102 RKGuage\n"
    "shot shots/4-copy.png\n"
    "# the bar's last columns are reached by the gauge's maximum only\n"
    "wait-pixel 478 102 0000FF\n"
    "wait-visible 40 140 RKCheckBox\n"
    "click 40 140\n"
    "click 210 230\n"
    "shot shots/5-links.png\n"
    "click 328 340\n"
    "wait-visible 250 150 RKPicture\n"
    "wait-enabled 218 340 RKButton\n"
    "shot shots/6-finish.png\n"
    "click 328 340\n";

// Earlier associations of two of the formats the script ticks.
const char* kSeed =
    "REGEDIT4\r\n\r\n"
    "[HKEY_CLASSES_ROOT\\.jpg]\r\n@=\"jpegfile\"\r\n\r\n"
    "[HKEY_CLASSES_ROOT\\.tif]\r\n@=\"TIFImage.Document\"\r\n\r\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.jpg\\UserChoice]\r\n"
    "\"Progid\"=\"OldViewer.JPG\"\r\n\r\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.tif\\UserChoice]\r\n"
    "\"Progid\"=\"OldViewer.TIF\"\r\n";

// The product's entries as the wizard walks them: folders before their contents, names in the
// order the file system lists them (by upper-cased name), paths joined by "\".
void walk(const std::string& host, const std::string& relative, std::vector<std::string>* out) {
  std::vector<std::string> names;
  for (auto& e : fs::directory_iterator(host)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) { return upper(a) < upper(b); });
  for (const std::string& n : names) {
    std::string rel = relative.empty() ? n : relative + "\\" + n;
    out->push_back(rel);
    if (fs::is_directory(host + "/" + n)) walk(host + "/" + n, rel, out);
  }
}

class InstallerEndToEnd : public ::testing::TestWithParam<Run>, protected InstallerHarness {
 protected:
  void SetUp() override { setUpMachine(); }
};

TEST_P(InstallerEndToEnd, InstallsThroughEveryPageAsAProcess) {
  const std::string version = GetParam().version;
  const bool win7 = version == "6.1";
  ASSERT_TRUE(fs::is_regular_file(built("installer/VantrySetup.exe")));
  ASSERT_TRUE(compat_reg_import_text(kSeed));
  std::string pages = kPages;
  pages.replace(pages.find("%FOLDER%"), 8, GetParam().typed);
  rktest::writeFile(prefix.root() + "/pages.txt", pages);

  pid_t pid = start(version, prefix.root() + "/pages.txt");
  ASSERT_GT(pid, 0);
  EXPECT_EQ(0, finish(pid));
  // The script ran to its end (every page was reached and the gauge drew its maximum), and
  // none of the programs complained.
  EXPECT_EQ("", readFile(prefix.root() + "/stderr.txt"));
  std::string shots = prefix.root() + "/shots/";
  for (const char* shot : {"1-welcome", "2-licence", "3-folder", "4-copy", "5-links", "6-finish"})
    EXPECT_EQ("\x89PNG", readFile(shots + shot + ".png").substr(0, 4)) << shot;
  EXPECT_NE(readFile(shots + "1-welcome.png"), readFile(shots + "6-finish.png"));
  // The unpack folder is gone.
  EXPECT_TRUE(fs::is_empty(temp));

  // Every product file and folder, byte for byte, beside the two lists the install writes.
  const std::string I = GetParam().folder;
  std::map<std::string, std::string> installed = treeOf(host(I));
  EXPECT_EQ("/", installed["Vantry/plugins"]);
  installed.erase("Vantry/install.txt");
  installed.erase("Vantry/filelink.txt");
  EXPECT_EQ(treeOf(product), installed);

  // The shortcuts as another tool reads them.
  const std::string menu =
      "C:\\users\\tester\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\" + cn["productfold"];
  const std::string desktop = "C:\\users\\tester\\Desktop\\VantryView.lnk";
  struct Link {
    std::string file, target, description, icon;
  } links[] = {
      {menu + "\\Vantry\\VantryView.lnk", I + "\\Vantry\\VantryView.exe", cn["start_app_desc"],
       I + "\\Vantry\\VantryView.ico"},
      {menu + "\\Vantry\\Uninstall.lnk", I + "\\Vantry\\Uninstall.exe", cn["uninstall_app_desc"],
       I + "\\Vantry\\Uninstall.ico"},
      {desktop, I + "\\Vantry\\VantryView.exe", cn["start_app_desc"], I + "\\Vantry\\VantryView.ico"},
  };
  for (const Link& l : links) {
    std::map<std::string, std::string> f = lnkinfo(host(l.file));
    EXPECT_EQ(gbkToUtf8(l.target), f["Local path"]) << l.file;
    EXPECT_EQ(gbkToUtf8(l.target), f["Command line arguments"]) << l.file;
    EXPECT_EQ(gbkToUtf8(l.description), f["Description"]) << l.file;
    EXPECT_EQ(gbkToUtf8(l.icon), f["Icon location"]) << l.file;
    EXPECT_EQ("0", f["Icon index"]) << l.file;
    // The show command (SW_SHOW) from the header itself: this lnkinfo prints another field there.
    std::string bytes = readFile(host(l.file));
    ASSERT_GE(bytes.size(), 64u) << l.file;
    EXPECT_EQ(std::string("\x05\0\0\0", 4), bytes.substr(60, 4)) << l.file;
  }

  // The uninstall list: itself, the shortcuts and menu folders, every entry below the product's
  // sub-folder (and the folder named like it with more letters) from the last to the first.
  std::vector<std::string> entries;
  walk(product, "", &entries);
  std::string list = I + "\\Vantry\\install.txt\r\n" + menu + "\\Vantry\\Uninstall.lnk\r\n" + menu +
                     "\\Vantry\\VantryView.lnk\r\n" + menu + "\\Vantry\r\n" + menu + "\r\n" + desktop + "\r\n";
  for (auto it = entries.rbegin(); it != entries.rend(); ++it)
    if (upper(it->substr(0, 6)) == "VANTRY") list += I + "\\" + *it + "\r\n";
  list += cn["uninstall_regkey"] + "\r\n";
  EXPECT_EQ(list, readFile(host(I + "\\Vantry\\install.txt")));

  // setup_temp.reg was imported: the install folder with single backslashes in the store.
  EXPECT_EQ(I, value(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vantry\\Viewer", "InstallDir"));
  EXPECT_EQ(I + "\\Vantry\\VantryView.exe", value(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vantry\\Viewer", "Viewer"));
  EXPECT_EQ(I + ";" + I + "\\Vantry", value(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vantry\\Viewer", "Paths"));
  const std::string uninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VantryViewer";
  EXPECT_EQ(I + "\\Vantry\\Uninstall.exe", value(HKEY_LOCAL_MACHINE, uninstallKey, "UninstallString"));
  // The shell extension registered, by its whole path.
  EXPECT_EQ("registered", value(HKEY_LOCAL_MACHINE, "SOFTWARE\\RKWin\\RegisteredServers",
                                (I + "\\Vantry\\VantryShellEx.dll").c_str()));

  // The ticked associations; PNG was not ticked.
  const char* fileExts = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
  for (std::string x : {".JPEG", ".JPG", ".JP2", ".TIFF", ".TIF", ".JPC"}) {
    std::string b = x.substr(1), g = "Vantry" + x;
    EXPECT_EQ("", value(HKEY_CLASSES_ROOT, x + "\\OpenWithProgids", g.c_str())) << x;
    EXPECT_EQ(b + " Image", value(HKEY_CLASSES_ROOT, g, "")) << x;
    EXPECT_EQ(I + "\\Vantry\\images\\" + b + ".ico,0", value(HKEY_CLASSES_ROOT, g + "\\DefaultIcon", "")) << x;
    EXPECT_EQ("@C:\\WINDOWS\\system32\\mspaint.exe,-59419", value(HKEY_CLASSES_ROOT, g + "\\FriendlyTypeName", ""));
    EXPECT_EQ("Open with Vantry", value(HKEY_CLASSES_ROOT, g + "\\shell\\Open", "")) << x;
    EXPECT_EQ("\"" + I + "\\Vantry\\VantryView.exe\" \"%1\"",
              value(HKEY_CLASSES_ROOT, g + "\\shell\\Open\\Command", ""))
        << x;
    if (win7) {
      EXPECT_EQ(g, value(HKEY_CURRENT_USER, fileExts + x + "\\UserChoice", "Progid")) << x;
    } else {
      EXPECT_EQ(g, value(HKEY_CLASSES_ROOT, x, "")) << x;
      EXPECT_EQ("image/" + b, value(HKEY_CLASSES_ROOT, x, "Content Type")) << x;
    }
  }
  EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, "Vantry.PNG"));
  EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, ".PNG"));
  // Where an association was replaced, the earlier one is kept in filelink.txt.
  if (win7) {
    EXPECT_EQ("jpegfile", value(HKEY_CLASSES_ROOT, ".jpg", ""));
    EXPECT_EQ(".JPG=OldViewer.JPG\r\n.TIF=OldViewer.TIF\r\n", readFile(host(I + "\\Vantry\\filelink.txt")));
  } else {
    EXPECT_EQ("OldViewer.JPG", value(HKEY_CURRENT_USER, std::string(fileExts) + ".JPG\\UserChoice", "Progid"));
    EXPECT_EQ(".JPG=jpegfile\r\n.TIF=TIFImage.Document\r\n", readFile(host(I + "\\Vantry\\filelink.txt")));
  }

  // The programs started: the registry editor on the rewritten script in the unpack folder, the
  // registration of the shell extension, then the closing page; the desktop shell was left alone.
  std::vector<std::string> runs = lines(readFile(prefix.root() + "/programs.log"));
  ASSERT_EQ(3u, runs.size()) << readFile(prefix.root() + "/programs.log");
  std::sort(runs.begin(), runs.begin() + 2);
  EXPECT_EQ(0u, runs[0].find("regedit.exe /s " + windowsName(temp) + "\\")) << runs[0];
  EXPECT_EQ("\\setup_temp.reg", runs[0].substr(runs[0].size() - 15));
  EXPECT_EQ("regsvr32.exe /s " + I + "\\Vantry\\VantryShellEx.dll", runs[1]);
  EXPECT_EQ(0u, runs[2].find("iexplore.exe http")) << runs[2];
  EXPECT_EQ("/setup.jsp?pd=1", runs[2].substr(runs[2].size() - 15));
}

// A script that cannot be read ends Setup at once with a report instead of leaving it waiting.
TEST_P(InstallerEndToEnd, AnUnreadableScriptEndsSetupWithAReport) {
  const std::string script = prefix.root() + "/no-such-script.txt";
  pid_t pid = start(GetParam().version, script);
  ASSERT_GT(pid, 0);
  EXPECT_EQ(0, finish(pid));
  // This report, not the one of a script timing out, shows that Setup did not wait.
  EXPECT_EQ("input script " + script + ": cannot read the script file\n", readFile(prefix.root() + "/stderr.txt"));
  EXPECT_FALSE(fs::exists(host(GetParam().folder)));
  EXPECT_FALSE(fs::exists(prefix.root() + "/programs.log"));
  EXPECT_TRUE(fs::is_empty(temp));
}

INSTANTIATE_TEST_SUITE_P(Versions, InstallerEndToEnd, ::testing::ValuesIn(kRuns),
                         [](const ::testing::TestParamInfo<Run>& info) { return std::string(info.param.name); });

}  // namespace
