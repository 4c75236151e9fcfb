// Shell calls: special folders, item-identifier lists, the shell link, the folder browser.
#ifndef RKWIN_SHLOBJ_H
#define RKWIN_SHLOBJ_H

#include "objidl.h"
#include "windef.h"

#pragma pack(push, 1)
typedef struct _SHITEMID {
  USHORT cb;
  BYTE abID[1];
} SHITEMID;
typedef struct _ITEMIDLIST {
  SHITEMID mkid;
} ITEMIDLIST;
#pragma pack(pop)
typedef ITEMIDLIST* LPITEMIDLIST;
typedef const ITEMIDLIST* LPCITEMIDLIST;
typedef ITEMIDLIST* PIDLIST_ABSOLUTE;
typedef const ITEMIDLIST* PCIDLIST_ABSOLUTE;

#define CSIDL_DESKTOP 0x0000
#define CSIDL_PROGRAMS 0x0002
#define CSIDL_PERSONAL 0x0005
#define CSIDL_STARTMENU 0x000b
#define CSIDL_DESKTOPDIRECTORY 0x0010
#define CSIDL_APPDATA 0x001a
#define CSIDL_WINDOWS 0x0024
#define CSIDL_SYSTEM 0x0025
#define CSIDL_PROGRAM_FILES 0x0026
#define CSIDL_FLAG_CREATE 0x8000

HRESULT WINAPI SHGetSpecialFolderLocation(HWND hwnd, int csidl, LPITEMIDLIST* ppidl);
BOOL WINAPI SHGetPathFromIDListA(LPCITEMIDLIST pidl, LPSTR pszPath);
BOOL WINAPI SHGetSpecialFolderPathA(HWND hwnd, LPSTR pszPath, int csidl, BOOL fCreate);
void WINAPI ILFree(LPITEMIDLIST pidl);

#define BIF_RETURNONLYFSDIRS 0x0001
#define BIF_DONTGOBELOWDOMAIN 0x0002

typedef int(CALLBACK* BFFCALLBACK)(HWND hwnd, UINT uMsg, LPARAM lParam, LPARAM lpData);
typedef struct _browseinfoA {
  HWND hwndOwner;
  LPCITEMIDLIST pidlRoot;
  LPSTR pszDisplayName;
  LPCSTR lpszTitle;
  UINT ulFlags;
  BFFCALLBACK lpfn;
  LPARAM lParam;
  int iImage;
} BROWSEINFOA, *LPBROWSEINFOA;

// The chosen folder as an identifier list (free with ILFree or CoTaskMemFree), NULL on cancel.
LPITEMIDLIST WINAPI SHBrowseForFolderA(LPBROWSEINFOA lpbi);

extern const CLSID CLSID_ShellLink;
extern const IID IID_IShellLinkA;

typedef struct _WIN32_FIND_DATAA WIN32_FIND_DATAA;

#define SLR_NO_UI 0x0001
#define SLGP_SHORTPATH 0x0001
#define SLGP_UNCPRIORITY 0x0002
#define SLGP_RAWPATH 0x0004

struct IShellLinkA : public IUnknown {
  STDMETHOD(GetPath)(LPSTR pszFile, int cch, WIN32_FIND_DATAA* pfd, DWORD fFlags) PURE;
  STDMETHOD(GetIDList)(LPITEMIDLIST* ppidl) PURE;
  STDMETHOD(SetIDList)(LPCITEMIDLIST pidl) PURE;
  STDMETHOD(GetDescription)(LPSTR pszName, int cch) PURE;
  STDMETHOD(SetDescription)(LPCSTR pszName) PURE;
  STDMETHOD(GetWorkingDirectory)(LPSTR pszDir, int cch) PURE;
  STDMETHOD(SetWorkingDirectory)(LPCSTR pszDir) PURE;
  STDMETHOD(GetArguments)(LPSTR pszArgs, int cch) PURE;
  STDMETHOD(SetArguments)(LPCSTR pszArgs) PURE;
  STDMETHOD(GetHotkey)(WORD* pwHotkey) PURE;
  STDMETHOD(SetHotkey)(WORD wHotkey) PURE;
  STDMETHOD(GetShowCmd)(int* piShowCmd) PURE;
  STDMETHOD(SetShowCmd)(int iShowCmd) PURE;
  STDMETHOD(GetIconLocation)(LPSTR pszIconPath, int cch, int* piIcon) PURE;
  STDMETHOD(SetIconLocation)(LPCSTR pszIconPath, int iIcon) PURE;
  STDMETHOD(SetRelativePath)(LPCSTR pszPathRel, DWORD dwReserved) PURE;
  STDMETHOD(Resolve)(HWND hwnd, DWORD fFlags) PURE;
  STDMETHOD(SetPath)(LPCSTR pszFile) PURE;

 protected:
  ~IShellLinkA() = default;
};

#endif
