// Shell and component-object calls: CoInitialize/CoCreateInstance for the shell link, the shell
// link object with its persistence interface (writing real .lnk files), and the special folders,
// which live under the user's profile folder of the emulated machine.
#include <windows.h>

#include <direct.h>
#include <objidl.h>
#include <shlobj.h>

#include "ansi_text.h"
#include "compat_shell.h"
#include "shell_browser.h"
#include "shell_link.h"

#include <cstdlib>
#include <deque>
#include <mutex>
#include <utility>
#include <cstring>
#include <new>
#include <string>
#include <vector>

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IPersist = {0x0000010C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const CLSID CLSID_ShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IShellLinkA = {0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

namespace {

thread_local int t_comInits = 0;

void copyOut(const std::string& text, LPSTR out, int cch) {
  if (!out || cch <= 0) return;
  size_t n = text.size() < (size_t)cch - 1 ? text.size() : (size_t)cch - 1;
  memcpy(out, text.data(), n);
  out[n] = 0;
}

std::string narrow(LPCOLESTR wide) {
  if (!wide) return std::string();
  int n = WideCharToMultiByte(CP_ACP, 0, wide, -1, NULL, 0, NULL, NULL);
  if (n <= 1) return std::string();
  std::string out((size_t)n, '\0');
  WideCharToMultiByte(CP_ACP, 0, wide, -1, &out[0], n, NULL, NULL);
  out.resize((size_t)n - 1);
  return out;
}

bool writeWholeFile(const std::string& path, const std::vector<BYTE>& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL) && written == bytes.size();
  CloseHandle(file);
  return ok;
}

bool readWholeFile(const std::string& path, std::vector<BYTE>* bytes) {
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return false;
  BYTE buf[8192];
  DWORD got = 0;
  bytes->clear();
  while (ReadFile(file, buf, sizeof buf, &got, NULL) && got > 0) bytes->insert(bytes->end(), buf, buf + got);
  CloseHandle(file);
  return true;
}

class ShellLink final : public IShellLinkA, public IPersistFile {
 public:
  // IUnknown, shared by both interfaces.
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IShellLinkA) {
      *ppv = static_cast<IShellLinkA*>(this);
    } else if (riid == IID_IPersistFile || riid == IID_IPersist) {
      *ppv = static_cast<IPersistFile*>(this);
    } else {
      *ppv = NULL;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  // IShellLinkA
  HRESULT GetPath(LPSTR pszFile, int cch, WIN32_FIND_DATAA*, DWORD) override {
    copyOut(data_.target, pszFile, cch);
    return data_.target.empty() ? S_FALSE : S_OK;
  }
  HRESULT GetIDList(LPITEMIDLIST* ppidl) override {
    if (ppidl) *ppidl = NULL;
    return E_FAIL;
  }
  HRESULT SetIDList(LPCITEMIDLIST pidl) override {
    char path[MAX_PATH];
    if (!SHGetPathFromIDListA(pidl, path)) return E_INVALIDARG;
    return SetPath(path);
  }
  HRESULT GetDescription(LPSTR pszName, int cch) override {
    copyOut(data_.description, pszName, cch);
    return S_OK;
  }
  HRESULT SetDescription(LPCSTR pszName) override { return setText(&data_.description, pszName); }
  HRESULT GetWorkingDirectory(LPSTR pszDir, int cch) override {
    copyOut(data_.workingDir, pszDir, cch);
    return S_OK;
  }
  HRESULT SetWorkingDirectory(LPCSTR pszDir) override { return setText(&data_.workingDir, pszDir); }
  HRESULT GetArguments(LPSTR pszArgs, int cch) override {
    copyOut(data_.arguments, pszArgs, cch);
    return S_OK;
  }
  HRESULT SetArguments(LPCSTR pszArgs) override { return setText(&data_.arguments, pszArgs); }
  HRESULT GetHotkey(WORD* pwHotkey) override {
    if (!pwHotkey) return E_POINTER;
    *pwHotkey = data_.hotkey;
    return S_OK;
  }
  HRESULT SetHotkey(WORD wHotkey) override {
    data_.hotkey = wHotkey;
    dirty_ = true;
    return S_OK;
  }
  HRESULT GetShowCmd(int* piShowCmd) override {
    if (!piShowCmd) return E_POINTER;
    *piShowCmd = data_.showCmd;
    return S_OK;
  }
  HRESULT SetShowCmd(int iShowCmd) override {
    data_.showCmd = iShowCmd;
    dirty_ = true;
    return S_OK;
  }
  HRESULT GetIconLocation(LPSTR pszIconPath, int cch, int* piIcon) override {
    copyOut(data_.iconPath, pszIconPath, cch);
    if (piIcon) *piIcon = data_.iconIndex;
    return S_OK;
  }
  HRESULT SetIconLocation(LPCSTR pszIconPath, int iIcon) override {
    data_.iconIndex = iIcon;
    return setText(&data_.iconPath, pszIconPath);
  }
  HRESULT SetRelativePath(LPCSTR, DWORD) override { return S_OK; }
  HRESULT Resolve(HWND, DWORD) override { return S_OK; }
  HRESULT SetPath(LPCSTR pszFile) override {
    if (!pszFile) return E_INVALIDARG;
    data_.target = pszFile;
    // The link records the target's attributes, times and size when it exists.
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA(pszFile, &found);
    if (h != INVALID_HANDLE_VALUE) {
      data_.targetAttributes = found.dwFileAttributes;
      data_.targetCreated = found.ftCreationTime;
      data_.targetAccessed = found.ftLastAccessTime;
      data_.targetWritten = found.ftLastWriteTime;
      data_.targetSize = found.nFileSizeLow;
      FindClose(h);
    }
    dirty_ = true;
    return S_OK;
  }

  // IPersistFile
  HRESULT GetClassID(CLSID* pClassID) override {
    if (!pClassID) return E_POINTER;
    *pClassID = CLSID_ShellLink;
    return S_OK;
  }
  HRESULT IsDirty() override { return dirty_ ? S_OK : S_FALSE; }
  HRESULT Load(LPCOLESTR pszFileName, DWORD) override {
    std::vector<BYTE> bytes;
    if (!readWholeFile(narrow(pszFileName), &bytes)) return E_FAIL;
    rkwin::ShellLinkData data;
    if (!rkwin::decodeShellLink(bytes, &data)) return E_FAIL;
    data_ = data;
    current_ = narrow(pszFileName);
    dirty_ = false;
    return S_OK;
  }
  HRESULT Save(LPCOLESTR pszFileName, BOOL fRemember) override {
    std::string path = pszFileName ? narrow(pszFileName) : current_;
    if (path.empty()) return E_INVALIDARG;
    if (!writeWholeFile(path, rkwin::encodeShellLink(data_))) return E_FAIL;
    if (fRemember || !pszFileName) {
      current_ = path;
      dirty_ = false;
    }
    return S_OK;
  }
  HRESULT SaveCompleted(LPCOLESTR) override { return S_OK; }
  HRESULT GetCurFile(LPOLESTR* ppszFileName) override {
    if (!ppszFileName) return E_POINTER;
    *ppszFileName = NULL;
    if (current_.empty()) return S_FALSE;
    int n = MultiByteToWideChar(CP_ACP, 0, current_.c_str(), -1, NULL, 0);
    LPOLESTR out = (LPOLESTR)CoTaskMemAlloc(sizeof(OLECHAR) * (size_t)n);
    if (!out) return E_OUTOFMEMORY;
    MultiByteToWideChar(CP_ACP, 0, current_.c_str(), -1, out, n);
    *ppszFileName = out;
    return S_OK;
  }

 private:
  ~ShellLink() = default;
  HRESULT setText(std::string* field, LPCSTR text) {
    *field = text ? text : "";
    dirty_ = true;
    return S_OK;
  }

  ULONG refs_ = 1;
  bool dirty_ = false;
  std::string current_;
  rkwin::ShellLinkData data_;
};

// A one-item identifier list carrying a Windows path (zero-terminated) in its item.
LPITEMIDLIST makeIdList(const std::string& path) {
  size_t item = 2 + path.size() + 1;
  if (item > 0xFFFF) return NULL;
  BYTE* p = (BYTE*)CoTaskMemAlloc(item + 2);
  if (!p) return NULL;
  p[0] = (BYTE)item;
  p[1] = (BYTE)(item >> 8);
  memcpy(p + 2, path.c_str(), path.size() + 1);
  p[item] = p[item + 1] = 0;
  return (LPITEMIDLIST)p;
}

bool profileFolder(std::string* out) {
  char buf[MAX_PATH];
  DWORD n = GetEnvironmentVariableA("USERPROFILE", buf, sizeof buf);
  if (n == 0 || n >= sizeof buf) return false;
  *out = buf;
  out->resize(rkwin::AnsiText(*out).trimmedEnd('\\'));
  return true;
}

// The folder of a special-folder code, created level by level as a real machine has it.
bool specialFolder(int csidl, std::string* out) {
  std::string profile;
  const char* below = nullptr;
  switch (csidl & ~CSIDL_FLAG_CREATE) {
    case CSIDL_DESKTOP:
    case CSIDL_DESKTOPDIRECTORY:
      below = "\\Desktop";
      break;
    case CSIDL_PROGRAMS:
      below = "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
      break;
    case CSIDL_STARTMENU:
      below = "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu";
      break;
    case CSIDL_APPDATA:
      below = "\\AppData\\Roaming";
      break;
    case CSIDL_PERSONAL:
      below = "\\Documents";
      break;
    default:
      return false;
  }
  if (!profileFolder(&profile)) return false;
  *out = profile + below;
  // Each folder on the way, up to each backslash character after the drive's root.
  rkwin::AnsiText chars(*out);
  for (size_t i = 0; i < out->size(); i += chars.charLength(i))
    if (i >= 3 && (*out)[i] == '\\') _mkdir(out->substr(0, i).c_str());
  _mkdir(out->c_str());
  return true;
}

}  // namespace

HRESULT WINAPI CoInitialize(LPVOID) { return t_comInits++ == 0 ? S_OK : S_FALSE; }

void WINAPI CoUninitialize(void) {
  if (t_comInits > 0) --t_comInits;
}

HRESULT WINAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = NULL;
  if (t_comInits == 0) return CO_E_NOTINITIALIZED;
  if (rclsid != CLSID_ShellLink) return REGDB_E_CLASSNOTREG;
  if (pUnkOuter) return CLASS_E_NOAGGREGATION;
  ShellLink* link = new (std::nothrow) ShellLink();
  if (!link) return E_OUTOFMEMORY;
  HRESULT hr = static_cast<IShellLinkA*>(link)->QueryInterface(riid, ppv);
  static_cast<IShellLinkA*>(link)->Release();
  return hr;
}

LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb) { return malloc(cb ? cb : 1); }

void WINAPI CoTaskMemFree(LPVOID pv) { free(pv); }

HRESULT WINAPI SHGetSpecialFolderLocation(HWND, int csidl, LPITEMIDLIST* ppidl) {
  if (!ppidl) return E_INVALIDARG;
  *ppidl = NULL;
  std::string path;
  if (!specialFolder(csidl, &path)) return E_INVALIDARG;
  *ppidl = makeIdList(path);
  return *ppidl ? S_OK : E_OUTOFMEMORY;
}

BOOL WINAPI SHGetPathFromIDListA(LPCITEMIDLIST pidl, LPSTR pszPath) {
  if (!pszPath) return FALSE;
  pszPath[0] = 0;
  if (!pidl) return FALSE;
  const BYTE* p = (const BYTE*)pidl;
  size_t item = p[0] | (p[1] << 8);
  if (item < 3) return FALSE;
  const char* path = (const char*)(p + 2);
  size_t len = strnlen(path, item - 2);
  if (len >= MAX_PATH || len == item - 2) return FALSE;
  memcpy(pszPath, path, len + 1);
  return TRUE;
}

BOOL WINAPI SHGetSpecialFolderPathA(HWND, LPSTR pszPath, int csidl, BOOL) {
  if (!pszPath) return FALSE;
  std::string path;
  if (!specialFolder(csidl, &path) || path.size() >= MAX_PATH) return FALSE;
  memcpy(pszPath, path.c_str(), path.size() + 1);
  return TRUE;
}

void WINAPI ILFree(LPITEMIDLIST pidl) { CoTaskMemFree(pidl); }

// The folder browser answers from a queue the tests fill; with an empty queue it shows the
// window of the display in use, and without one it is cancelled.
namespace {
std::mutex browserLock;
rkwin::FolderBrowserWindow browserWindow = nullptr;
std::deque<std::pair<bool, std::string>> browserAnswers;
int browserCount = 0;
std::string browserTitle;
unsigned browserFlags = 0;
}  // namespace

void rkwin::setFolderBrowserWindow(FolderBrowserWindow show) {
  std::lock_guard<std::mutex> hold(browserLock);
  browserWindow = show;
}

void compat_folder_browser_answer(const char* windowsPath) {
  std::lock_guard<std::mutex> hold(browserLock);
  browserAnswers.emplace_back(windowsPath != nullptr, windowsPath ? windowsPath : "");
}

int compat_folder_browser_count(void) {
  std::lock_guard<std::mutex> hold(browserLock);
  return browserCount;
}

const char* compat_folder_browser_last_title(void) {
  std::lock_guard<std::mutex> hold(browserLock);
  return browserTitle.c_str();
}

unsigned compat_folder_browser_last_flags(void) {
  std::lock_guard<std::mutex> hold(browserLock);
  return browserFlags;
}

LPITEMIDLIST WINAPI SHBrowseForFolderA(LPBROWSEINFOA lpbi) {
  if (!lpbi) return NULL;
  std::pair<bool, std::string> answer(false, "");
  rkwin::FolderBrowserWindow show = nullptr;
  {
    std::lock_guard<std::mutex> hold(browserLock);
    ++browserCount;
    browserTitle = lpbi->lpszTitle ? lpbi->lpszTitle : "";
    browserFlags = lpbi->ulFlags;
    if (!browserAnswers.empty()) {
      answer = browserAnswers.front();
      browserAnswers.pop_front();
    } else {
      show = browserWindow;
    }
  }
  // The window runs its own message loop, so the lock is not held while it is open.
  if (show) {
    std::string path;
    if (show(lpbi, &path) == 1) answer = std::make_pair(true, path);
  }
  if (!answer.first) return NULL;
  if (lpbi->pszDisplayName) {
    // The display name is the folder's last part (the root's own text for a drive root).
    std::string name = answer.second;
    size_t cut = rkwin::AnsiText(name).findLastOf("\\");
    if (cut != std::string::npos && cut + 1 < name.size()) name = name.substr(cut + 1);
    if (name.size() >= MAX_PATH) name.resize(MAX_PATH - 1);
    memcpy(lpbi->pszDisplayName, name.c_str(), name.size() + 1);
  }
  return makeIdList(answer.second);
}
