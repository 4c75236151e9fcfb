// IPersist and IPersistFile.
#ifndef RKWIN_OBJIDL_H
#define RKWIN_OBJIDL_H

#include "objbase.h"

#define STGM_READ 0x00000000L
#define STGM_WRITE 0x00000001L
#define STGM_READWRITE 0x00000002L

extern const IID IID_IPersist;
extern const IID IID_IPersistFile;

struct IPersist : public IUnknown {
  STDMETHOD(GetClassID)(CLSID* pClassID) PURE;

 protected:
  ~IPersist() = default;
};

struct IPersistFile : public IPersist {
  STDMETHOD(IsDirty)() PURE;
  STDMETHOD(Load)(LPCOLESTR pszFileName, DWORD dwMode) PURE;
  STDMETHOD(Save)(LPCOLESTR pszFileName, BOOL fRemember) PURE;
  STDMETHOD(SaveCompleted)(LPCOLESTR pszFileName) PURE;
  STDMETHOD(GetCurFile)(LPOLESTR* ppszFileName) PURE;

 protected:
  ~IPersistFile() = default;
};

#endif
