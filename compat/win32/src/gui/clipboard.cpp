// The in-process clipboard and dropped files.
#include "winsys_internal.h"

#include <cstring>
#include <set>

namespace rkwin {

struct Clipboard {
  bool open = false;
  bool changed = false;  // written since it was opened: offered to the X display on close
  HWND opener = nullptr;
  HWND owner = nullptr;
  std::map<UINT, HANDLE> data;
};
static Clipboard& clip = *new Clipboard;  // lives until exit, like its data

struct DropData {
  std::vector<std::string> names;
  POINT point;
};
static std::set<DropData*>& drops() {
  static std::set<DropData*>* s = new std::set<DropData*>;
  return *s;
}

void clipboardReset() {
  for (auto& d : clip.data) GlobalFree(d.second);
  clip = Clipboard();
}

}  // namespace rkwin

using namespace rkwin;

BOOL WINAPI OpenClipboard(HWND owner) {
  if (clip.open) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (owner && !wnd(owner)) return FALSE;
  clip.open = true;
  clip.opener = owner;
  clip.changed = false;
  // Text another X client copied replaces ours.
  std::string text;
  if (x11Active() && x11ClipboardFetch(&text)) {
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    if (char* p = mem ? static_cast<char*>(GlobalLock(mem)) : nullptr) {
      memcpy(p, text.c_str(), text.size() + 1);
      GlobalUnlock(mem);
      for (auto& d : clip.data) GlobalFree(d.second);
      clip.data.clear();
      clip.data[CF_TEXT] = mem;
      clip.owner = nullptr;
    } else if (mem) {
      GlobalFree(mem);
    }
  }
  return TRUE;
}

BOOL WINAPI CloseClipboard(void) {
  if (!clip.open) {
    SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
    return FALSE;
  }
  clip.open = false;
  auto it = clip.data.find(CF_TEXT);
  if (clip.changed && it != clip.data.end() && x11Active()) {
    if (const char* p = static_cast<const char*>(GlobalLock(it->second))) {
      SIZE_T n = GlobalSize(it->second);
      x11ClipboardOffer(std::string(p, strnlen(p, n)));
      GlobalUnlock(it->second);
    }
  }
  return TRUE;
}

BOOL WINAPI EmptyClipboard(void) {
  if (!clip.open) {
    SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
    return FALSE;
  }
  for (auto& d : clip.data) GlobalFree(d.second);
  clip.data.clear();
  clip.owner = clip.opener;
  clip.changed = true;
  return TRUE;
}

HANDLE WINAPI SetClipboardData(UINT format, HANDLE mem) {
  if (!clip.open) {
    SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
    return nullptr;
  }
  auto it = clip.data.find(format);
  if (it != clip.data.end() && it->second != mem) GlobalFree(it->second);
  clip.data[format] = mem;
  clip.changed = true;
  return mem;
}

HANDLE WINAPI GetClipboardData(UINT format) {
  if (!clip.open) {
    SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
    return nullptr;
  }
  auto it = clip.data.find(format);
  return it == clip.data.end() ? nullptr : it->second;
}

BOOL WINAPI IsClipboardFormatAvailable(UINT format) {
  if (format == CF_TEXT && x11Active() && x11ClipboardForeign()) return TRUE;  // fetched on opening
  return clip.data.count(format) != 0;
}

HWND WINAPI GetClipboardOwner(void) { return clip.owner; }

void WINAPI DragAcceptFiles(HWND h, BOOL accept) {
  Wnd* w = wnd(h);
  if (!w) return;
  if (accept)
    w->exStyle |= WS_EX_ACCEPTFILES;
  else
    w->exStyle &= ~DWORD(WS_EX_ACCEPTFILES);
}

UINT WINAPI DragQueryFileA(HDROP drop, UINT index, LPSTR file, UINT size) {
  auto* d = reinterpret_cast<DropData*>(drop);
  if (!drops().count(d)) return 0;
  if (index == 0xFFFFFFFFu) return UINT(d->names.size());
  if (index >= d->names.size()) return 0;
  const std::string& n = d->names[index];
  if (!file) return UINT(n.size());
  if (size == 0) return 0;
  size_t c = std::min<size_t>(n.size(), size - 1);
  memcpy(file, n.data(), c);
  file[c] = 0;
  return UINT(c);
}

BOOL WINAPI DragQueryPoint(HDROP drop, LPPOINT p) {
  auto* d = reinterpret_cast<DropData*>(drop);
  if (!drops().count(d) || !p) return FALSE;
  *p = d->point;
  return TRUE;
}

void WINAPI DragFinish(HDROP drop) {
  auto* d = reinterpret_cast<DropData*>(drop);
  if (drops().erase(d)) delete d;
}

BOOL compat_drop_files(HWND h, int x, int y, const char* const* names, int count) {
  Wnd* w = wnd(h);
  if (!w || count < 0) return FALSE;
  // The drop goes to the window or its nearest ancestor that accepts files.
  while (w && !(w->exStyle & WS_EX_ACCEPTFILES)) {
    POINT o = {w->rect.left, w->rect.top};
    x += o.x;
    y += o.y;
    w = w->parent;
  }
  if (!w) return FALSE;
  auto* d = new DropData;
  for (int i = 0; i < count; ++i) d->names.push_back(names[i] ? names[i] : "");
  d->point = {x, y};
  drops().insert(d);
  postMsg(w->handle, WM_DROPFILES, WPARAM(d), 0);
  return TRUE;
}
