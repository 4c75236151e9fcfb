// The Start-menu folders and shortcuts of the installed product, and its uninstall list.
#include <windows.h>

#include <direct.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include "RKFileStream.h"
#include "Setup.h"
#include "SetupStartUp.h"

namespace RKSDK {

namespace {

// The path of a special folder; "" when the shell cannot give it.
RKString specialFolder(int csidl) {
  char path[300] = {0};
  LPITEMIDLIST list = NULL;
  if (SUCCEEDED(SHGetSpecialFolderLocation(NULL, csidl, &list)) && list) {
    if (!SHGetPathFromIDListA(list, path)) path[0] = 0;
    ILFree(list);
  }
  return RKString(path);
}

// The path without its last four characters (the extension of a three-letter name and its dot).
RKString stem(const RKString& path) {
  RKString out;
  if (path.length > 4) out.assign(path.data, path.length - 4);
  return out;
}

void makeFolder(const RKString& path) { _mkdir(path.data ? path.data : ""); }

void writeText(RKFileStream& stream, const RKString& text) {
  if (text.length) stream.write(text.data, (int)text.length);
}

void writeLine(RKFileStream& stream, const RKString& text) {
  writeText(stream, text);
  stream.write("\r\n", 2);
}

}  // namespace

void Setup::createShortcuts(RKString installFolder) {
  RKString programs = specialFolder(CSIDL_PROGRAMS);
  RKString desktop = specialFolder(CSIDL_DESKTOPDIRECTORY);
  RKString product = getProperty("productfold");
  RKString sub = getProperty("sub_dir");
  RKString app = getProperty("start_app");
  RKString uninstaller = getProperty("uninstall_app");

  RKString menu = programs + "\\" + product;
  RKString menuSub = menu + "\\" + sub;
  makeFolder(menu);
  makeFolder(menuSub);

  RKString programTarget = installFolder + sub + "\\" + app;
  RKString programIcon = installFolder + sub + "\\" + getProperty("start_app_ico");
  RKString programShortcut = stem(menuSub + "\\" + app) + ".lnk";
  RKString uninstallTarget = installFolder + sub + "\\" + uninstaller;
  RKString uninstallIcon = installFolder + sub + "\\" + getProperty("uninstall_app_ico");
  RKString uninstallShortcut = stem(menuSub + "\\" + uninstaller) + ".lnk";
  RKString desktopShortcut = stem(desktop + "\\" + app) + ".lnk";
  RKString listPath = pathField->getText() + "\\" + sub + "\\install.txt";

  createShortcut(programTarget, programShortcut, getProperty("start_app_desc"), programIcon);
  createShortcut(uninstallTarget, uninstallShortcut, getProperty("uninstall_app_desc"), uninstallIcon);
  createShortcut(programTarget, desktopShortcut, getProperty("start_app_desc"), programIcon);
  writeInstallList(listPath, installFolder, uninstallShortcut, programShortcut, menuSub, menu, desktopShortcut);
}

void Setup::createShortcut(RKString target, RKString shortcut, RKString description, RKString icon) {
  // Left initialised for the rest of the program (S_FALSE: it already was).
  if (FAILED(CoInitialize(NULL))) return;
  IShellLinkA* link = NULL;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&link)) || !link)
    return;
  link->SetPath(target.data ? target.data : "");
  link->SetDescription(description.data ? description.data : "");
  link->SetIconLocation(icon.data ? icon.data : "", 0);
  // The program gets its own path as its argument.
  link->SetArguments(target.data ? target.data : "");
  link->SetShowCmd(SW_SHOW);
  IPersistFile* file = NULL;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&file)) && file) {
    file->Save(shortcut.toWide(), TRUE);
    file->Release();
  }
  link->Release();
}

void Setup::writeInstallList(RKString listPath, RKString installFolder, RKString uninstallShortcut,
                             RKString programShortcut, RKString menuSubFolder, RKString menuFolder,
                             RKString desktopShortcut) {
  RKFileStream stream;
  if (!stream.open(listPath, RK_STREAM_WRITE)) return;
  writeLine(stream, listPath);
  writeLine(stream, uninstallShortcut);
  writeLine(stream, programShortcut);
  writeLine(stream, menuSubFolder);
  writeLine(stream, menuFolder);
  writeLine(stream, desktopShortcut);
  // Last entry first, so that a folder's contents come before the folder.
  RKString sub = getProperty("sub_dir");
  if (packageList.getCount() && packageList.moveLast()) {
    do {
      const RKString& path = packageList.getCurrent()->path;
      if (sub.length && path.length >= sub.length && path.substring(0, (int)sub.length - 1).equalsIgnoreCase(sub))
        writeLine(stream, installFolder + path);
    } while (packageList.movePrevious());
  }
  writeLine(stream, getProperty("uninstall_regkey"));
  stream.close();
}

}  // namespace RKSDK
