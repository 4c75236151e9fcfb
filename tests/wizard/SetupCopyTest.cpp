// The copy on the copying page, one package entry per timer tick, and the release of a shell
// extension held by the desktop shell.
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>

#include <compat_processes.h>
#include <shlobj.h>

#include "RoadSupport.h"

using namespace RKSDK;

namespace {

// Every file and folder below a host folder, by relative path; folders map to "<dir>".
std::map<std::string, std::string> tree(const std::string& host) {
  std::map<std::string, std::string> out;
  for (const auto& e : std::filesystem::recursive_directory_iterator(host)) {
    std::string rel = std::filesystem::relative(e.path(), host).string();
    out[rel] = e.is_directory() ? "<dir>" : TempPrefix::readFile(e.path().string());
  }
  return out;
}

// A desktop shell started as the system starts it; its process id.
DWORD startShell() {
  if ((INT_PTR)ShellExecuteA(NULL, "open", "EXPLORER.EXE", NULL, NULL, SW_SHOWNOACTIVATE) <= 32) return 0;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  DWORD pid = 0;
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snap, &entry); more; more = Process32Next(snap, &entry))
    if (strcasecmp(entry.szExeFile, "explorer.exe") == 0) pid = entry.th32ProcessID;
  CloseHandle(snap);
  return pid;
}

// True while the process of that id is listed in the machine's snapshot.
bool runs(DWORD pid) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  bool found = false;
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snap, &entry); more; more = Process32Next(snap, &entry))
    if (entry.th32ProcessID == pid) found = true;
  CloseHandle(snap);
  return found;
}

std::string startedText(const std::vector<std::string>& started) {
  std::string all;
  for (const std::string& s : started) all += s + "\n";
  return all;
}

}  // namespace

class SetupCopyTest : public RoadFixture {
 protected:
  std::string installHost() { return prefix.onC("Program Files/VantryViewer"); }
  // An earlier extension in the install folder, held by the shell: it cannot be overwritten. Its
  // host path.
  std::string lockInstalledExtension() {
    std::string dll = installHost() + "/Vantry/VantryShellEx.dll";
    std::filesystem::create_directories(installHost() + "/Vantry");
    TempPrefix::writeFile(dll, "the loaded extension");
    chmod(dll.c_str(), 0444);
    return dll;
  }
  // A wizard whose copy fails: after the copy it is back on the folder page; the loop ended there.
  RecordingSetup* installExpectingFailure() {
    RecordingSetup* w = new RecordingSetup();
    w->addRef();
    Driver d(w);
    stepsToCopy(d, w);
    stepCopyAll(d);
    d.step([&] {
      EXPECT_EQ(3, w->page);
      w->quit();
    });
    run(w);
    EXPECT_EQ(6u, d.done);
    return w;
  }
};

TEST_F(SetupCopyTest, EachTickCopiesOneEntryAndTheLastShowsTheAssociationsPage) {
  const std::vector<std::pair<std::string, unsigned>> walk = entries();
  const int n = (int)walk.size();
  ASSERT_GT(n, 20);
  // An install over an older one: a folder that exists and a file to be overwritten.
  std::filesystem::create_directories(installHost() + "/Vantry/images");
  TempPrefix::writeFile(installHost() + "/Vantry/VantryView.exe", "an older viewer");
  RecordingSetup* w = new RecordingSetup();
  w->addRef();
  Driver d(w);
  stepsToCopy(d, w);
  d.step([&] {
    EXPECT_EQ(4, w->page);
    EXPECT_EQ(0, w->gauge->getValue());
    EXPECT_EQ(n, w->gauge->getMaximum());
    EXPECT_EQ("", text(w->copiedFilesView->getAllText()));
  });
  // The idle loop lets the virtual clock run to the next tick between two steps.
  for (int tick = 1; tick <= n; ++tick) {
    d.step([&, tick] {
      EXPECT_EQ(tick, w->gauge->getValue()) << "tick " << tick;
      EXPECT_EQ(tick == n ? 5 : 4, w->page) << "tick " << tick;
      // Nothing after the copy has started before the last entry.
      EXPECT_EQ(tick == n ? 2u : 0u, w->started.size()) << "tick " << tick;
      // The entry of this tick is in place.
      std::string host = installHost() + "/" + walk[tick - 1].first;
      std::replace(host.begin(), host.end(), '\\', '/');
      EXPECT_TRUE(TempPrefix::exists(host)) << host;
    });
  }
  d.step([&] {
    // No further ticks once the copy is done.
    compat_advance(100);
    EXPECT_EQ(5, w->page);
    EXPECT_EQ(n, w->gauge->getValue());
    w->quit();
  });
  run(w);
  EXPECT_EQ(size_t(5 + n + 1), d.done);

  // The view lists the files' relative paths, one a line, and no folder.
  std::string listed;
  for (const auto& e : walk)
    if (e.second == FILENODE_KIND_FILE) listed += (listed.empty() ? "" : "\r\n") + e.first;
  EXPECT_EQ(listed + "\r\n", text(w->copiedFilesView->getAllText()).substr(0, listed.size() + 2));
  EXPECT_EQ(std::string::npos, text(w->copiedFilesView->getAllText()).find("Vantry\\images\r\n"));
  // The install folder now holds the product byte for byte (besides the road's own records).
  std::map<std::string, std::string> installed = tree(installHost());
  installed.erase("Vantry/install.txt");
  EXPECT_EQ(tree(setupHost() + "/VantryViewer"), installed);
  EXPECT_TRUE(std::filesystem::is_directory(installHost() + "/Vantry/plugins"));
  EXPECT_EQ(0, w->explorerStopped);
  w->release();
}

TEST_F(SetupCopyTest, AnEmptyPackageEndsTheCopyAtTheFirstTick) {
  std::filesystem::remove_all(setupHost() + "/VantryViewer");
  std::filesystem::create_directories(setupHost() + "/VantryViewer");
  startUpShipped();
  ASSERT_EQ(0u, packageList.getCount());
  RecordingSetup* w = new RecordingSetup();
  w->addRef();
  Driver d(w);
  stepsToCopy(d, w);
  d.step([&] {
    EXPECT_EQ(4, w->page);
    compat_advance(10);
    EXPECT_EQ(5, w->page);
    EXPECT_EQ(0, w->gauge->getValue());
    w->quit();
  });
  run(w);
  EXPECT_EQ(5u, d.done);
  // The registry script still runs; with no shell extension there is nothing to register.
  ASSERT_EQ(1u, w->started.size()) << startedText(w->started);
  EXPECT_EQ("regedit.exe /s \"C:\\setup\\setup_temp.reg\"", w->started[0]);
  w->release();
}

TEST_F(SetupCopyTest, SourcesStayTheWalkedFolderAfterALanguageWithAnotherFolderName) {
  std::string en = TempPrefix::readFile(setupHost() + "/setup_en.properties");
  en.replace(en.find("productfold=VantryViewer"), 24, "productfold=Elsewhere");
  TempPrefix::writeFile(setupHost() + "/setup_en.properties", en);
  startUpShipped();
  RecordingSetup* w = new RecordingSetup();
  w->addRef();
  Driver d(w);
  d.step([&] { clickOn(w->nextButton); });
  d.step([&] { clickOn(w->agreeButton); });
  d.step([&] { clickOn(w->nextButton); });
  d.step([&] {
    w->languageBox->select(1);
    w->actionPerformed(static_cast<RKComponent*>(w->languageBox), RK_ACTION_COMBO_SELECTION_CHANGED, 0);
    EXPECT_EQ(&englishProperties, currentProperties);
    w->pathField->setText(kInstall);
    compat_message_box_answer(IDOK, 0);
    clickOn(w->nextButton);
  });
  stepCopyAll(d);
  d.step([&] { w->quit(); });
  run(w);
  EXPECT_EQ(6u, d.done);
  EXPECT_EQ(5, w->page);
  EXPECT_EQ(TempPrefix::readFile(setupHost() + "/VantryViewer/Vantry/VantryShellEx.dll"),
            TempPrefix::readFile(installHost() + "/Vantry/VantryShellEx.dll"));
  EXPECT_EQ(TempPrefix::readFile(setupHost() + "/VantryViewer/VantryTools/Capture.exe"),
            TempPrefix::readFile(installHost() + "/VantryTools/Capture.exe"));
  // No failed copy, so no shell was stopped.
  EXPECT_EQ(0, w->explorerStopped);
  EXPECT_EQ(2u, w->started.size()) << startedText(w->started);
  w->release();
}

TEST_F(SetupCopyTest, ExitDuringTheCopyKeepsWhatWasCopiedAndRunsNothingElse) {
  RecordingSetup* w = new RecordingSetup();
  w->addRef();
  Driver d(w);
  stepsToCopy(d, w);
  d.step([] {});
  d.step([] {});
  d.step([&] {
    EXPECT_EQ(2, w->gauge->getValue());
    compat_message_box_answer(IDOK, 0);
    clickOn(w->exitButton);
  });
  run(w);
  EXPECT_EQ(7u, d.done);
  EXPECT_EQ(4, w->page);
  EXPECT_TRUE(w->started.empty()) << startedText(w->started);
  const auto walk = entries();
  size_t present = 0;
  for (const auto& e : walk) {
    std::string host = installHost() + "/" + e.first;
    std::replace(host.begin(), host.end(), '\\', '/');
    present += TempPrefix::exists(host);
  }
  EXPECT_EQ((size_t)w->gauge->getValue(), present);
  EXPECT_LT(present, walk.size());
  EXPECT_FALSE(TempPrefix::exists(installHost() + "/Vantry/install.txt"));
  w->release();
}

// The desktop shell holds the installed extension: its file cannot be overwritten until every
// shell has stopped. A watcher plays the shell's hold and lets go once no shell runs.
TEST_F(SetupCopyTest, ALockedShellExtensionStopsTheShellsUnregistersRestartsAndCopiesAgain) {
  std::string dll = lockInstalledExtension();
  // Two shells (the second under an upper-case name) and a program that is no shell.
  ASSERT_GT((INT_PTR)ShellExecuteA(NULL, "open", "EXPLORER.EXE", NULL, NULL, SW_SHOWNOACTIVATE), 32);
  std::filesystem::create_directories(prefix.onC("shell"));
  std::filesystem::copy_file(hostOf("C:\\windows\\system32\\explorer.exe"), prefix.onC("shell/EXPLORER.EXE"));
  std::filesystem::copy_file(hostOf("C:\\windows\\system32\\explorer.exe"), prefix.onC("shell/notexplorer.exe"));
  for (const char* line : {"C:\\shell\\EXPLORER.EXE", "C:\\shell\\notexplorer.exe"}) {
    std::string command = line;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessA(NULL, &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi));
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  ASSERT_EQ(2, countProcesses("explorer.exe"));
  ASSERT_EQ(1, countProcesses("notexplorer.exe"));
  // Each runs (and has logged) before Setup looks for shells to stop.
  ASSERT_TRUE(waitForRuns("explorer.exe", 3));

  std::atomic<bool> released{false}, stop{false};
  std::thread watcher([&] {
    while (!stop) {
      if (countProcesses("explorer.exe") == 0) {
        chmod(dll.c_str(), 0644);
        released = true;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  RecordingSetup* w = new RecordingSetup();
  w->addRef();
  installTo(w);
  stop = true;
  watcher.join();

  EXPECT_TRUE(released);
  EXPECT_EQ(1, w->explorerStopped);
  EXPECT_EQ(TempPrefix::readFile(setupHost() + "/VantryViewer/Vantry/VantryShellEx.dll"), TempPrefix::readFile(dll));
  // Unregistration of the old file comes first, during the copy; then the end of the copy.
  std::string library = "\"C:\\Program Files\\VantryViewer\\Vantry\\VantryShellEx.dll\"";
  ASSERT_EQ(3u, w->started.size()) << startedText(w->started);
  EXPECT_EQ("regsvr32.exe /s /u " + library, w->started[0]);
  EXPECT_EQ("regedit.exe /s \"C:\\setup\\setup_temp.reg\"", w->started[1]);
  EXPECT_EQ("regsvr32.exe /s " + library, w->started[2]);
  ASSERT_TRUE(waitForPrograms());
  // A program has run once it has logged its run: the restarted shell, and the unregistration.
  const std::string unregistered = "regsvr32.exe /s /u C:\\Program Files\\VantryViewer\\Vantry\\VantryShellEx.dll";
  ASSERT_TRUE(waitForRuns("explorer.exe", 4)) << "the restarted shell";
  ASSERT_TRUE(waitForRuns(unregistered, 1)) << "the unregistration";
  // One shell again (the restarted one); the other program was left alone.
  EXPECT_EQ(1, countProcesses("explorer.exe"));
  EXPECT_EQ(1, countProcesses("notexplorer.exe"));
  std::vector<std::string> runs = programRuns();
  // The three copies of the shell program started above (each logs as the shell) and the restart.
  EXPECT_EQ(4, std::count(runs.begin(), runs.end(), "explorer.exe"));
  EXPECT_EQ(1, std::count(runs.begin(), runs.end(), unregistered));
  w->release();
}

// A copy that lost an entry writes nothing that points at the product: the folder message, the
// folder page again, and another folder can then be installed into as usual.
TEST_F(SetupCopyTest, AFailedCopyWritesNothingAndReturnsToTheFolderPage) {
  std::filesystem::create_directories(installHost());
  std::string readme = installHost() + "/readme.txt";
  TempPrefix::writeFile(readme, "kept");
  chmod(readme.c_str(), 0444);
  ASSERT_GT((INT_PTR)ShellExecuteA(NULL, "open", "EXPLORER.EXE", NULL, NULL, SW_SHOWNOACTIVATE), 32);
  const std::string other = "C:\\Program Files\\Elsewhere";
  const int n = (int)packageList.getCount();
  RecordingSetup* w = new RecordingSetup();
  w->addRef();
  Driver d(w);
  stepsToCopy(d, w);
  int boxes = 0;
  d.step([&] { boxes = compat_message_box_count(); });
  stepCopyAll(d);
  d.step([&] {
    EXPECT_EQ(boxes + 1, compat_message_box_count());
    EXPECT_STREQ(
        "\xB4\xB4\xBD\xA8\xB2\xBB\xB3\xC9\xB9\xA6\xA3\xAC\xC7\xEB\xD6\xD8\xD0\xC2\xCA\xE4\xC8\xEB\xC2\xB7\xBE\xB6",
        compat_message_box_last_text());
    EXPECT_STREQ("\xCC\xE1\xCA\xBE", compat_message_box_last_caption());
    // The folder page, ready for another attempt, with no tick left running.
    EXPECT_EQ(3, w->page);
    compat_advance(100);
    EXPECT_EQ(3, w->page);
    EXPECT_TRUE(IsWindowVisible(hwndOf(w->pathField)));
    EXPECT_TRUE(IsWindowVisible(hwndOf(w->diskList)));
    EXPECT_FALSE(IsWindowVisible(hwndOf(w->gauge)));
    EXPECT_TRUE(enabled(w->nextButton));
    EXPECT_TRUE(enabled(w->prevButton));
    EXPECT_EQ(cnText("install"), text(w->nextButton->getText()));
    EXPECT_EQ(cnText("setuppath"), text(w->pathLabel->getText()));
    EXPECT_EQ(cnText("disk"), text(w->diskLabel->getText()));
    EXPECT_TRUE(w->started.empty()) << startedText(w->started);
    EXPECT_FALSE(TempPrefix::exists(installHost() + "/Vantry/install.txt"));
    char desktop[MAX_PATH] = {0};
    SHGetSpecialFolderPathA(NULL, desktop, CSIDL_DESKTOPDIRECTORY, FALSE);
    EXPECT_FALSE(windowsFileExists(std::string(desktop) + "\\VantryView.lnk"));
    // A second attempt into another folder.
    w->pathField->setText(other.c_str());
    compat_message_box_answer(IDOK, 0);
    clickOn(w->nextButton);
  });
  d.step([&] {
    EXPECT_EQ(4, w->page);
    EXPECT_EQ(0, w->gauge->getValue());
  });
  stepCopyAll(d);
  d.step([&] {
    EXPECT_EQ(5, w->page);
    EXPECT_EQ(n, w->gauge->getValue());
    w->quit();
  });
  run(w);
  EXPECT_EQ(10u, d.done);
  EXPECT_EQ("kept", TempPrefix::readFile(readme));
  // The failed copy touched no shell; the second one went the whole road into its own folder.
  EXPECT_EQ(0, w->explorerStopped);
  EXPECT_EQ(1, countProcesses("explorer.exe"));
  EXPECT_EQ(2u, w->started.size()) << startedText(w->started);
  EXPECT_TRUE(windowsFileExists(other + "\\Vantry\\install.txt"));
  EXPECT_FALSE(TempPrefix::exists(installHost() + "/Vantry/install.txt"));
  // The list of copied files starts afresh with the second attempt.
  std::string listed = text(w->copiedFilesView->getAllText());
  EXPECT_EQ(listed.find("readme.txt\r\n"), listed.rfind("readme.txt\r\n"));
  w->release();
}

// The extension stays locked after the shell was stopped: the one in place stays, and the install
// goes on with it.
TEST_F(SetupCopyTest, AShellExtensionThatStaysLockedKeepsTheOldOneAndTheInstallGoesOn) {
  std::string dll = lockInstalledExtension();
  RecordingSetup* w = new RecordingSetup();
  w->addRef();
  installTo(w);
  EXPECT_EQ("the loaded extension", TempPrefix::readFile(dll));
  // The unregistration of the old file, then the whole end of the copy, registering the file in place.
  std::string library = "\"C:\\Program Files\\VantryViewer\\Vantry\\VantryShellEx.dll\"";
  ASSERT_EQ(3u, w->started.size()) << startedText(w->started);
  EXPECT_EQ("regsvr32.exe /s /u " + library, w->started[0]);
  EXPECT_EQ("regedit.exe /s \"C:\\setup\\setup_temp.reg\"", w->started[1]);
  EXPECT_EQ("regsvr32.exe /s " + library, w->started[2]);
  EXPECT_TRUE(TempPrefix::exists(installHost() + "/Vantry/install.txt"));
  EXPECT_EQ(TempPrefix::readFile(setupHost() + "/VantryViewer/Vantry/VantryView.exe"),
            TempPrefix::readFile(installHost() + "/Vantry/VantryView.exe"));
  w->release();
}

// An extension that could not be copied with none in place: the product lacks it, and the install
// did not happen.
TEST_F(SetupCopyTest, AShellExtensionThatCannotBeCopiedWithNoneInPlaceFailsTheInstall) {
  std::filesystem::remove(setupHost() + "/VantryViewer/Vantry/VantryShellEx.dll");
  RecordingSetup* w = installExpectingFailure();
  EXPECT_FALSE(TempPrefix::exists(installHost() + "/Vantry/VantryShellEx.dll"));
  // No file to unregister, no registry script, no registration.
  EXPECT_TRUE(w->started.empty()) << startedText(w->started);
  EXPECT_FALSE(TempPrefix::exists(installHost() + "/Vantry/install.txt"));
  w->release();
}

// A shell of Setup's session that refuses to be opened cannot be stopped, but it was found: the
// shell is started again afterwards all the same.
TEST_F(SetupCopyTest, AShellThatCannotBeOpenedIsStartedAgainAllTheSame) {
  std::string dll = lockInstalledExtension();
  DWORD shell = startShell();
  ASSERT_TRUE(compat_refuse_process_open(shell));
  RecordingSetup* w = new RecordingSetup();
  w->addRef();
  installTo(w);
  EXPECT_EQ(1, w->explorerStopped);
  // The shell that could not be stopped runs on, beside the one started again.
  EXPECT_TRUE(runs(shell));
  EXPECT_EQ(2, countProcesses("explorer.exe"));
  EXPECT_EQ("the loaded extension", TempPrefix::readFile(dll));
  w->release();
}

// On a shared machine the shells of the other signed-in users are theirs: not stopped, not
// counted, and no shell is started for them.
TEST_F(SetupCopyTest, AShellOfAnotherSessionIsLeftAlone) {
  std::string dll = lockInstalledExtension();
  DWORD shell = startShell();
  ASSERT_TRUE(compat_set_process_session(shell, 2));
  RecordingSetup* w = new RecordingSetup();
  w->addRef();
  installTo(w);
  EXPECT_EQ(0, w->explorerStopped);
  EXPECT_TRUE(runs(shell));
  EXPECT_EQ(1, countProcesses("explorer.exe"));
  // The extension was still released (unregistered) and the install went on with the one in place.
  ASSERT_EQ(3u, w->started.size()) << startedText(w->started);
  EXPECT_EQ(0u, w->started[0].find("regsvr32.exe /s /u "));
  EXPECT_EQ("the loaded extension", TempPrefix::readFile(dll));
  w->release();
}

// A folder of the package whose place holds a file cannot be made; an existing folder is fine.
TEST_F(SetupCopyTest, AFolderThatCannotBeMadeFailsTheInstall) {
  std::filesystem::create_directories(installHost() + "/Vantry");
  TempPrefix::writeFile(installHost() + "/Vantry/plugins", "a file in the folder's place");
  RecordingSetup* w = installExpectingFailure();
  EXPECT_TRUE(w->started.empty()) << startedText(w->started);
  EXPECT_FALSE(TempPrefix::exists(installHost() + "/Vantry/install.txt"));
  w->release();
}
