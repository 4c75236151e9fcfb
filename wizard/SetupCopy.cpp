// The copy of the product into the install folder, one package entry per timer tick, and the
// release of a shell extension that the desktop shell holds loaded.
#include <windows.h>

#include <direct.h>
#include <errno.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include "RKFile.h"
#include "Setup.h"
#include "SetupStartUp.h"

namespace RKSDK {

namespace {

// The shell extension below the install folder; the desktop shell keeps it loaded.
const char* const kShellExtension = "\\Vantry\\VantryShellEx.dll";

}  // namespace

u32 Setup::timerFired() { return (u32)onTimer(); }

int Setup::onTimer() {
  // The window has only the copy's timer; a tick left over after the end changes nothing.
  if (page != 4) return 1;
  FILENODE* entry = packageList.getCount() ? packageList.getCurrent() : nullptr;
  if (entry) {
    copyEntry(entry);
    gauge->setValue(progressCount);
    ++progressCount;
    if (packageList.moveNext()) return 1;
  }
  // No entry left (an empty package ends at its first tick).
  finishCopy();
  return 1;
}

void Setup::copyEntry(FILENODE* entry) {
  // Sources come from the folder walked at start-up, not the current language's folder name.
  RKString source = packageRoot + "\\" + entry->path;
  RKString destination = pathField->getText() + "\\" + entry->path;
  if (entry->kind == FILENODE_KIND_FILE) {
    copiedFilesView->append(entry->path + "\r\n");
    if (RKFile::copyFile(source, destination)) return;
    if (destination.equalsIgnoreCase(pathField->getText() + kShellExtension)) {
      releaseShellExtension();
      if (RKFile::copyFile(source, destination)) return;
      // Still locked: the extension in place serves the product, and the install goes on.
      if (RKFile(destination).isFile()) return;
    }
    ++failedEntries;
  } else if (entry->kind == FILENODE_KIND_FOLDER) {
    // An existing folder is fine: its files are copied into it.
    if (_mkdir(destination.data ? destination.data : "") == 0) return;
    if (errno == EEXIST && RKFile(destination).isDirectory()) return;
    ++failedEntries;
  }
}

void Setup::finishCopy() {
  stopTimer();
  if (failedEntries) {
    // Part of the product is missing: nothing may point at it or register it.
    reportFolderFailure();
    returnToFolderPage();
    return;
  }
  RKString folder = pathField->getText();
  createShortcuts(folder + "\\");
  runRegistryScript("");
  RKString library = shortPathOf(folder + kShellExtension);
  if (!library.isEmpty()) startProcess("regsvr32.exe /s \"" + library + "\"");
  ++page;
  showPage();
}

void Setup::returnToFolderPage() {
  // A new attempt starts from an empty gauge and list.
  progressCount = 0;
  failedEntries = 0;
  gauge->setValue(0);
  copiedFilesView->clear();
  pathLabel->setText(getProperty("setuppath"));
  diskLabel->setText(getProperty("disk"));
  // The copy used up space: the drive lines show what is left.
  diskList->removeAll();
  fillDriveList();
  page = 3;
  showPage();
  nextButton->enable();
}

void Setup::releaseShellExtension() {
  // On a shared machine the snapshot also lists the shells of the other signed-in users: only
  // the shells of Setup's own session are its business. A shell whose session cannot be told
  // (or all of them, when Setup's own cannot) is left alone.
  DWORD ownSession = 0;
  BOOL knownSession = ProcessIdToSessionId(GetCurrentProcessId(), &ownSession);
  HANDLE snapshot = knownSession ? CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0) : INVALID_HANDLE_VALUE;
  if (snapshot != INVALID_HANDLE_VALUE) {
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
      if (!RKString(entry.szExeFile).equalsIgnoreCase("explorer.exe")) continue;
      DWORD session = 0;
      if (!ProcessIdToSessionId(entry.th32ProcessID, &session) || session != ownSession) continue;
      // A shell found is started again afterwards, whether or not it could be stopped.
      explorerStopped = 1;
      HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID);
      if (!process) continue;
      TerminateProcess(process, 1);
      CloseHandle(process);
    }
    CloseHandle(snapshot);
  }
  Sleep(1000);
  RKString library = shortPathOf(pathField->getText() + kShellExtension);
  if (!library.isEmpty()) startProcess("regsvr32.exe /s /u \"" + library + "\"");
  Sleep(1000);
  restartExplorer();
}

void Setup::restartExplorer() {
  if (explorerStopped) ShellExecuteA(NULL, "open", "EXPLORER.EXE", NULL, NULL, SW_SHOWNOACTIVATE);
}

RKString Setup::shortPathOf(RKString path) {
  char buffer[1024] = {0};
  DWORD n = GetShortPathNameA(path.data ? path.data : "", buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) return RKString();
  return RKString(buffer);
}

}  // namespace RKSDK
