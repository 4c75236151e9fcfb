// The binary form of a shell link (.lnk) as the published Shell Link format lays it out:
// header, link info with the local target path, the string data, and the terminal block.
#ifndef RKWIN_SHELL_LINK_H
#define RKWIN_SHELL_LINK_H

#include <windows.h>

#include <string>
#include <vector>

namespace rkwin {

struct ShellLinkData {
  std::string target;  // ANSI, Windows form
  std::string arguments;
  std::string description;
  std::string workingDir;
  std::string iconPath;
  int iconIndex = 0;
  int showCmd = 1;  // SW_SHOWNORMAL
  WORD hotkey = 0;
  DWORD targetAttributes = 0;
  FILETIME targetCreated{}, targetAccessed{}, targetWritten{};
  DWORD targetSize = 0;
};

std::vector<BYTE> encodeShellLink(const ShellLinkData& link);
// Reads what encodeShellLink writes (and any link with link info and Unicode strings).
bool decodeShellLink(const std::vector<BYTE>& bytes, ShellLinkData* link);

}  // namespace rkwin

#endif
