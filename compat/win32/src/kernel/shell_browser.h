// The folder browser's window, which the window system provides once a display that can show
// it is in use (the kernel side alone has no windows).
#ifndef RKWIN_SHELL_BROWSER_H
#define RKWIN_SHELL_BROWSER_H

#include <windows.h>
#include <shlobj.h>

#include <string>

namespace rkwin {

// Shows the browser for bi modally. 1 with *path set to the Windows path of the folder chosen,
// 0 when the user cancelled, -1 when no display can show it.
using FolderBrowserWindow = int (*)(const BROWSEINFOA* bi, std::string* path);
void setFolderBrowserWindow(FolderBrowserWindow show);

}  // namespace rkwin

#endif
