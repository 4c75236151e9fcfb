// The built installer (launcher + package of Setup, its data and the product) run as a process on
// the headless display in a fresh machine, its pages answered by an input script; then everything
// the installation leaves behind is read back: files, shortcuts, the uninstall list, the registry
// store, the associations, the programs it started and the temporary folder.
#include <compat_registry.h>
#include <fcntl.h>
#include <iconv.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "TempFolder.h"
#include "TempPrefix.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using rktest::readFile;
using rktest::windowsName;

std::string built(const std::string& relative) {
  const char* dir = getenv("RK_BUILD_DIR");
  return std::string(dir ? dir : ".") + "/" + relative;
}

const std::string kInstall = "C:\\Program Files\\Vantry Image Viewer";

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
    "type C:\\Program Files\\Vantry Image Viewer\n"
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

std::map<std::string, std::string> properties(const std::string& path) {
  std::map<std::string, std::string> out;
  std::istringstream in(readFile(path));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t eq = line.find('=');
    if (line.empty() || line[0] == '#' || eq == std::string::npos) continue;
    out[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return out;
}

std::string gbkToUtf8(const std::string& gbk) {
  iconv_t cd = iconv_open("UTF-8", "GBK");
  if (cd == iconv_t(-1)) return std::string();
  std::string out(gbk.size() * 3 + 4, '\0');
  char* in = const_cast<char*>(gbk.data());
  size_t inLeft = gbk.size(), outLeft = out.size();
  char* to = &out[0];
  iconv(cd, &in, &inLeft, &to, &outLeft);
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

std::string upper(std::string s) {
  for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

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

// Relative path -> content ("/" for a folder) of every entry below a host folder.
std::map<std::string, std::string> treeOf(const std::string& folder) {
  std::map<std::string, std::string> tree;
  for (auto& e : fs::recursive_directory_iterator(folder))
    tree[fs::relative(e.path(), folder).string()] = e.is_directory() ? "/" : readFile(e.path().string());
  return tree;
}

// The fields lnkinfo prints for a shortcut ("Local path", "Description", ...).
std::map<std::string, std::string> lnkinfo(const std::string& host) {
  std::map<std::string, std::string> fields;
  std::string command = "lnkinfo '" + host + "' 2>/dev/null";
  FILE* p = popen(command.c_str(), "r");
  if (!p) return fields;
  char buf[4096];
  while (fgets(buf, sizeof buf, p)) {
    std::string line = buf;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    size_t colon = line.find(": ");
    if (colon == std::string::npos) continue;
    std::string name = line.substr(0, colon);
    name.erase(0, name.find_first_not_of(" \t"));
    name.erase(name.find_last_not_of(" \t") + 1);
    fields[name] = line.substr(colon + 2);
  }
  pclose(p);
  return fields;
}

// A string value of the store; "<missing>" when the key or value is absent.
std::string value(HKEY root, const std::string& key, const char* name) {
  HKEY h;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return "<missing>";
  char buf[1024] = {};
  DWORD size = sizeof buf - 1, type = 0;
  LONG rc = RegQueryValueExA(h, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(h);
  return rc == ERROR_SUCCESS ? std::string(buf) : "<missing>";
}

bool keyExists(HKEY root, const std::string& key) {
  HKEY h;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  RegCloseKey(h);
  return true;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) out.push_back(line);
  return out;
}

class InstallerEndToEnd : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    // Orphans of the installer (the programs Setup starts and does not wait for) come to this
    // process, so that the test can wait for every one of them.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    temp = prefix.root() + "/tmp";
    fs::create_directories(temp);
    product = built("wizard/VantryViewer");
    cn = properties(built("wizard/setup_cn.properties"));
  }

  // Starts the installer with a private environment; its stderr goes to a file.
  pid_t start(const std::string& version, const std::string& script) {
    std::map<std::string, std::string> env;
    for (char** e = environ; *e; ++e) {
      std::string kv = *e;
      size_t eq = kv.find('=');
      if (eq != std::string::npos) env[kv.substr(0, eq)] = kv.substr(eq + 1);
    }
    for (const char* drop : {"DISPLAY", "ProgramFiles", "RKWIN_INPUT_TIMEOUT"}) env.erase(drop);
    env["RKWIN_ROOT"] = prefix.root();
    env["RKWIN_DISPLAY"] = "headless";
    env["RKWIN_VERSION"] = version;
    env["RKWIN_INPUT_SCRIPT"] = script;
    env["RKWIN_INPUT_TIMEOUT"] = "15";
    env["TMPDIR"] = temp;
    env["USER"] = "tester";
    std::vector<std::string> texts;
    for (auto& kv : env) texts.push_back(kv.first + "=" + kv.second);
    std::vector<char*> envp;
    for (auto& t : texts) envp.push_back(&t[0]);
    envp.push_back(nullptr);
    std::string exe = built("installer/VantrySetup.exe");
    std::string arg0 = exe;
    char* argv[] = {&arg0[0], nullptr};
    std::string errors = prefix.root() + "/stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, prefix.root().c_str());
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : 0;
  }

  // The installer's exit code (-1 when it did not end in time or by itself), then every program
  // it left running reaped.
  int finish(pid_t pid) {
    using clock = std::chrono::steady_clock;
    auto deadline = clock::now() + std::chrono::seconds(40);
    int status = 0, code = -1;
    for (;;) {
      pid_t r = waitpid(pid, &status, WNOHANG);
      if (r == pid) {
        code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        break;
      }
      if (r < 0 || clock::now() > deadline) {
        if (r == 0) {
          ADD_FAILURE() << "the installer did not end";
          kill(pid, SIGKILL);
          waitpid(pid, &status, 0);
        }
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    deadline = clock::now() + std::chrono::seconds(10);
    for (;;) {
      pid_t r = waitpid(-1, &status, WNOHANG);
      if (r < 0) break;  // no child left
      if (r == 0) {
        if (clock::now() > deadline) {
          ADD_FAILURE() << "programs started by the installer still run";
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
    return code;
  }

  std::string host(const std::string& windowsPath) {
    std::string h = windowsPath;
    if (h.compare(0, 3, "C:\\") == 0) h = prefix.root() + "/drive_c/" + h.substr(3);
    std::replace(h.begin(), h.end(), '\\', '/');
    return h;
  }

  TempPrefix prefix;
  std::string temp, product;
  std::map<std::string, std::string> cn;
};

TEST_P(InstallerEndToEnd, InstallsThroughEveryPageAsAProcess) {
  const std::string version = GetParam();
  const bool win7 = version == "6.1";
  ASSERT_TRUE(fs::is_regular_file(built("installer/VantrySetup.exe")));
  ASSERT_TRUE(compat_reg_import_text(kSeed));
  rktest::writeFile(prefix.root() + "/pages.txt", kPages);

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
  const std::string I = kInstall;
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
    EXPECT_EQ(l.target, f["Local path"]) << l.file;
    EXPECT_EQ(l.target, f["Command line arguments"]) << l.file;
    EXPECT_EQ(gbkToUtf8(l.description), f["Description"]) << l.file;
    EXPECT_EQ(l.icon, f["Icon location"]) << l.file;
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
  pid_t pid = start(GetParam(), script);
  ASSERT_GT(pid, 0);
  EXPECT_EQ(0, finish(pid));
  // This report, not the one of a script timing out, shows that Setup did not wait.
  EXPECT_EQ("input script " + script + ": cannot read the script file\n", readFile(prefix.root() + "/stderr.txt"));
  EXPECT_FALSE(fs::exists(host(kInstall)));
  EXPECT_FALSE(fs::exists(prefix.root() + "/programs.log"));
  EXPECT_TRUE(fs::is_empty(temp));
}

INSTANTIATE_TEST_SUITE_P(Versions, InstallerEndToEnd, ::testing::Values("6.1", "10.0"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param) == "6.1" ? std::string("Windows7") : std::string("Windows10");
                         });

}  // namespace
