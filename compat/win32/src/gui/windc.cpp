// Window device contexts: each top-level window owns a BGRX surface; the DCs of the window and
// of its children draw into their place on it, clipped to what their ancestors show.
#include "gdi_internal.h"
#include "winsys_internal.h"

#include <algorithm>

namespace rkwin {

struct DcInfo {
  HWND hwnd;  // null: screen DC
  Wnd* top;   // surface owner, null for the screen
  bool own;   // the class DC of a CS_OWNDC window: kept until the window goes
};
static std::map<HDC, DcInfo>& dcs() {
  static std::map<HDC, DcInfo> m;
  return m;
}
static uint32_t scratchPixel;

static RECT intersectRect(RECT a, RECT b) {
  RECT r = {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

// What a window's DC leaves out, as Windows computes a visible region: the visible children
// of a window with WS_CLIPCHILDREN, and for the window and each ancestor with WS_CLIPSIBLINGS
// the visible siblings above it (surface coordinates).
static std::vector<RECT> clipHoles(Wnd* w) {
  std::vector<RECT> holes;
  auto add = [&](Wnd* k) {
    if (!(k->style & WS_VISIBLE)) return;
    POINT o = originOnSurface(k);
    holes.push_back(RECT{o.x, o.y, o.x + (k->rect.right - k->rect.left), o.y + (k->rect.bottom - k->rect.top)});
  };
  if (w->style & WS_CLIPCHILDREN)
    for (Wnd* k : w->children) add(k);
  for (Wnd* a = w; a && a->parent; a = a->parent) {
    if (!(a->style & WS_CLIPSIBLINGS)) continue;
    for (Wnd* k : a->parent->children) {  // topmost first: the ones before a are above it
      if (k == a) break;
      add(k);
    }
  }
  return holes;
}

// Points dc at w's place on its top-level surface, clipped to clip (client coordinates of w)
// and to the parts of w its ancestors show. A window that is not shown (itself or an ancestor
// hidden) draws nothing, as its visible region is empty.
static bool aim(HDC dc, Wnd* w, const RECT* clip, bool create, HDC* made) {
  Wnd* top = topLevelOf(w);
  POINT o = originOnSurface(w);
  RECT c = visibleOnSurface(w);
  if (clip) c = intersectRect(c, RECT{clip->left + o.x, clip->top + o.y, clip->right + o.x, clip->bottom + o.y});
  void* bits = top->pixels.empty() ? static_cast<void*>(&scratchPixel) : static_cast<void*>(top->pixels.data());
  int sw = top->pixels.empty() ? 1 : top->surfW, sh = top->pixels.empty() ? 1 : top->surfH;
  if (top->pixels.empty() || !isVisibleTree(w)) c = {0, 0, 0, 0};
  std::vector<RECT> holes = clipHoles(w);
  if (create) {
    *made = rkgdi::CreateSurfaceDC(bits, sw, sh, sw * 4, o.x, o.y, &c);
    if (*made) rkgdi::SetSurfaceDCHoles(*made, holes.data(), int(holes.size()));
    return *made != nullptr;
  }
  if (!rkgdi::ResetSurfaceDC(dc, bits, sw, sh, sw * 4, o.x, o.y, &c)) return false;
  rkgdi::SetSurfaceDCHoles(dc, holes.data(), int(holes.size()));
  return true;
}

HDC makeWindowDC(Wnd* w, const RECT* clip) {
  if (w->cls->style & CS_OWNDC) {
    if (!w->ownDC) {
      HDC dc = nullptr;
      if (!aim(nullptr, w, clip, true, &dc)) return nullptr;
      w->ownDC = dc;
      dcs()[dc] = DcInfo{w->handle, topLevelOf(w), true};
      return dc;
    }
    aim(w->ownDC, w, clip, false, nullptr);
    dcs()[w->ownDC].top = topLevelOf(w);
    return w->ownDC;
  }
  HDC dc = nullptr;
  if (!aim(nullptr, w, clip, true, &dc)) return nullptr;
  dcs()[dc] = DcInfo{w->handle, topLevelOf(w), false};
  return dc;
}

void freeWindowDC(HDC dc) {
  auto it = dcs().find(dc);
  if (it == dcs().end()) return;
  if (it->second.top) it->second.top->dirty = true;
  if (it->second.own) {
    if (Wnd* w = wndQuiet(it->second.hwnd)) aim(dc, w, nullptr, false, nullptr);
    return;
  }
  rkgdi::ReleaseSurfaceDC(dc);
  dcs().erase(it);
}

void surfaceResize(Wnd* top, int w, int h) {
  if (w < 0) w = 0;
  if (h < 0) h = 0;
  if (w == top->surfW && h == top->surfH) return;
  std::vector<uint32_t> n(size_t(w) * size_t(h), 0xFFFFFFFFu);
  int cw = std::min(w, top->surfW), ch = std::min(h, top->surfH);
  for (int y = 0; y < ch; ++y)
    std::copy(top->pixels.begin() + long(y) * top->surfW, top->pixels.begin() + long(y) * top->surfW + cw,
              n.begin() + long(y) * w);
  top->pixels.swap(n);
  top->surfW = w;
  top->surfH = h;
  top->dirty = true;
  for (auto& d : dcs()) {
    if (d.second.top != top) continue;
    if (Wnd* dw = wndQuiet(d.second.hwnd)) aim(d.first, dw, nullptr, false, nullptr);
  }
}

void releaseOwnDC(Wnd* w) {
  for (auto it = dcs().begin(); it != dcs().end();) {
    if (it->second.hwnd == w->handle || it->second.top == w) {
      rkgdi::ReleaseSurfaceDC(it->first);
      it = dcs().erase(it);
    } else {
      ++it;
    }
  }
  w->ownDC = nullptr;
}

bool regionContains(HRGN region, int x, int y) { return PtInRegion(region, x, y) != FALSE; }
void destroyRegion(HRGN region) { DeleteObject(region); }

bool eraseWithClassBrush(Wnd* w, HDC dc) {
  HBRUSH b = w->cls->background;
  if (!b || !dc) return false;
  bool temporary = false;
  if (uintptr_t(b) <= 31) {  // COLOR_xxx + 1 stands for the system colour's brush
    b = CreateSolidBrush(GetSysColor(int(uintptr_t(b)) - 1));
    temporary = true;
  }
  RECT r = {0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
  FillRect(dc, &r, b);
  if (temporary) DeleteObject(b);
  return true;
}

}  // namespace rkwin

using namespace rkwin;

HDC WINAPI GetDC(HWND h) {
  if (!h || h == st().desktop.handle) {
    HDC dc = rkgdi::CreateScreenDC();
    if (dc) dcs()[dc] = DcInfo{nullptr, nullptr, false};
    return dc;
  }
  Wnd* w = wnd(h);
  if (!w) return nullptr;
  return makeWindowDC(w, nullptr);
}

HDC WINAPI GetWindowDC(HWND h) { return GetDC(h); }

int WINAPI ReleaseDC(HWND, HDC dc) {
  auto it = dcs().find(dc);
  if (it == dcs().end()) return 0;
  if (it->second.top) {
    it->second.top->dirty = true;
    if (it->second.own) return 1;
  }
  rkgdi::ReleaseSurfaceDC(dc);
  dcs().erase(it);
  return 1;
}

HWND WINAPI WindowFromDC(HDC dc) {
  auto it = dcs().find(dc);
  return it == dcs().end() ? nullptr : it->second.hwnd;
}

int WINAPI SetWindowRgn(HWND h, HRGN region, BOOL redraw) {
  Wnd* w = wnd(h);
  if (!w) return 0;
  if (w->region && w->region != region) DeleteObject(w->region);
  w->region = region;
  if (redraw && isVisibleTree(w)) {
    if (w->parent) {
      RECT r = w->rect;
      invalidate(w->parent, &r, true);
    }
    invalidate(w, nullptr, true);
  }
  if (!w->parent) w->dirty = true;
  return 1;
}

int WINAPI GetWindowRgn(HWND h, HRGN region) {
  Wnd* w = wnd(h);
  if (!w || !w->region || !region) return ERROR;
  return CombineRgn(region, w->region, nullptr, RGN_COPY);
}

size_t compat_read_pixels(HWND h, uint32_t* out, size_t capacity) {
  Wnd* w = wndQuiet(h);
  if (!w || !out) return 0;
  Wnd* top = topLevelOf(w);
  POINT o = originOnSurface(w);
  int cw = w->rect.right - w->rect.left, ch = w->rect.bottom - w->rect.top;
  if (size_t(cw) * size_t(ch) > capacity) return 0;
  size_t n = 0;
  for (int y = 0; y < ch; ++y)
    for (int x = 0; x < cw; ++x) {
      int sx = o.x + x, sy = o.y + y;
      uint32_t px = 0;
      if (sx >= 0 && sy >= 0 && sx < top->surfW && sy < top->surfH)
        px = top->pixels[size_t(sy) * size_t(top->surfW) + size_t(sx)];
      out[n++] = px & 0x00FFFFFFu;
    }
  return n;
}

COLORREF compat_get_pixel(HWND h, int x, int y) {
  Wnd* w = wndQuiet(h);
  if (!w) return CLR_INVALID;
  Wnd* top = topLevelOf(w);
  POINT o = originOnSurface(w);
  int sx = o.x + x, sy = o.y + y;
  if (x < 0 || y < 0 || x >= w->rect.right - w->rect.left || y >= w->rect.bottom - w->rect.top || sx >= top->surfW ||
      sy >= top->surfH)
    return CLR_INVALID;
  uint32_t px = top->pixels[size_t(sy) * size_t(top->surfW) + size_t(sx)];
  return RGB((px >> 16) & 0xFF, (px >> 8) & 0xFF, px & 0xFF);
}

BOOL compat_save_png(HWND h, const char* path) {
  Wnd* w = wndQuiet(h);
  if (!w || !path) return FALSE;
  Wnd* top = topLevelOf(w);
  if (top->pixels.empty()) return FALSE;
  return rkgdi::WritePng(top->pixels.data(), top->surfW, top->surfH, top->surfW * 4, path);
}
