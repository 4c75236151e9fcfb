// Cursors and icons: shared system cursors and icons, and created ones.
#include "winsys_internal.h"
#include "compat_path.h"

#include <cstdio>
#include <cstring>

namespace rkwin {

static std::map<HANDLE, CursorObj>& objects() {
  static std::map<HANDLE, CursorObj> m;
  return m;
}
static uintptr_t nextCursorHandle = 0x20010;

static HANDLE newObj(const CursorObj& o) {
  HANDLE h = reinterpret_cast<HANDLE>(nextCursorHandle);
  nextCursorHandle += 4;
  objects()[h] = o;
  return h;
}

CursorObj* cursorObj(HANDLE h) {
  auto it = objects().find(h);
  return it == objects().end() ? nullptr : &it->second;
}

static HANDLE shared(UINT id, bool icon) {
  static std::map<UINT, HANDLE> cursors, icons;
  auto& m = icon ? icons : cursors;
  auto it = m.find(id);
  if (it != m.end()) return it->second;
  HANDLE h = newObj(CursorObj{id, icon, true, 32, 32, 0, 0});
  m[id] = h;
  return h;
}

}  // namespace rkwin

using namespace rkwin;

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
  static const UINT known[] = {32512, 32513, 32514, 32515, 32516, 32640, 32641, 32642,
                               32643, 32644, 32645, 32646, 32648, 32649, 32650, 32651};
  if (instance || !IS_INTRESOURCE(name)) {
    SetLastError(1814);  // ERROR_RESOURCE_NAME_NOT_FOUND: no cursor resources here
    return nullptr;
  }
  UINT id = UINT(uintptr_t(name));
  for (UINT k : known)
    if (k == id) return HCURSOR(shared(id, false));
  SetLastError(1814);
  return nullptr;
}

HCURSOR WINAPI CreateCursor(HINSTANCE, int xHot, int yHot, int width, int height, const void* andPlane,
                            const void* xorPlane) {
  if (width <= 0 || height <= 0 || !andPlane || !xorPlane) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return HCURSOR(newObj(CursorObj{0, false, false, width, height, xHot, yHot}));
}

BOOL WINAPI DestroyCursor(HCURSOR cursor) {
  CursorObj* o = cursorObj(cursor);
  if (!o) {
    SetLastError(ERROR_INVALID_CURSOR_HANDLE);
    return FALSE;
  }
  if (!o->shared) objects().erase(cursor);
  return TRUE;
}

HCURSOR WINAPI SetCursor(HCURSOR cursor) {
  auto& s = st();
  HCURSOR old = s.cursor;
  s.cursor = cursor;
  if (old != cursor && x11Active()) {
    Wnd* t = wndQuiet(s.capture);
    if (!t) {
      for (Wnd* w : s.topLevels)
        if (isVisibleTree(w)) {
          POINT o = clientOriginOnScreen(w);
          POINT p = s.cursorPos;
          if (p.x >= o.x && p.y >= o.y && p.x < w->rect.right && p.y < w->rect.bottom) {
            t = w;
            break;
          }
        }
    }
    if (t) x11SetCursor(topLevelOf(t), cursor);
  }
  return old;
}

HCURSOR WINAPI GetCursor(void) { return st().cursor; }

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
  if (instance || !IS_INTRESOURCE(name)) {
    SetLastError(1814);
    return nullptr;
  }
  UINT id = UINT(uintptr_t(name));
  if (id < 32512 || id > 32518) {
    SetLastError(1814);
    return nullptr;
  }
  return HICON(shared(id, true));
}

HICON WINAPI CreateIcon(HINSTANCE, int width, int height, BYTE planes, BYTE bitsPixel, const BYTE* andBits,
                        const BYTE* xorBits) {
  if (width <= 0 || height <= 0 || !andBits || !xorBits || planes != 1 || bitsPixel == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return HICON(newObj(CursorObj{0, true, false, width, height, width / 2, height / 2}));
}

HICON WINAPI CopyIcon(HICON icon) {
  CursorObj* o = cursorObj(icon);
  if (!o) {
    SetLastError(ERROR_INVALID_ICON_HANDLE);
    return nullptr;
  }
  CursorObj copy = *o;
  copy.shared = false;
  return HICON(newObj(copy));
}

BOOL WINAPI DestroyIcon(HICON icon) {
  CursorObj* o = cursorObj(icon);
  if (!o) {
    SetLastError(ERROR_INVALID_ICON_HANDLE);
    return FALSE;
  }
  if (!o->shared) objects().erase(icon);
  return TRUE;
}

HANDLE WINAPI LoadImageA(HINSTANCE, LPCSTR name, UINT type, int cx, int cy, UINT load) {
  if (!(load & LR_LOADFROMFILE) || !name || IS_INTRESOURCE(name) || (type != IMAGE_ICON && type != IMAGE_CURSOR)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  // An icon or cursor file: a 6-byte directory header (0, type 1 or 2, count) and entries.
  char path[4096];
  if (!compat_host_path(name, path, sizeof(path))) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return nullptr;
  }
  FILE* f = fopen(path, "rb");
  if (!f) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  unsigned char head[6];
  size_t got = fread(head, 1, 6, f);
  fclose(f);
  int kind = head[2] | (head[3] << 8), count = head[4] | (head[5] << 8);
  if (got != 6 || head[0] || head[1] || (kind != 1 && kind != 2) || count == 0) {
    SetLastError(ERROR_BAD_EXE_FORMAT);
    return nullptr;
  }
  if (cx <= 0) cx = 32;
  if (cy <= 0) cy = 32;
  return newObj(CursorObj{0, type == IMAGE_ICON, false, cx, cy, 0, 0});
}

UINT compat_cursor_id(HCURSOR cursor) {
  CursorObj* o = cursorObj(cursor);
  return o ? o->systemId : 0;
}

HCURSOR compat_current_cursor(void) { return st().cursor; }
