// GDI objects and device contexts: the handle registry, stock objects, selection with
// reference counts, the save stack, DC modes and the surface DCs of the window manager.
#include "gdi_internal.h"
#include "gdi_private.h"

#include <cstring>
#include <unordered_set>

namespace rkgdi {
namespace {

std::unordered_set<const void*>& registry() {
  static std::unordered_set<const void*> r;
  return r;
}
std::vector<DC*>& allDCs() {
  static std::vector<DC*> v;
  return v;
}

template <class T>
T* registerObject(T* o) {
  registry().insert(o);
  if (o->kind == Kind::DC) allDCs().push_back(reinterpret_cast<DC*>(o));
  return o;
}

void destroy(Object* o) {
  registry().erase(o);
  if (o->kind == Kind::DC) {
    auto& v = allDCs();
    for (size_t i = 0; i < v.size(); ++i)
      if (v[i] == o) {
        v.erase(v.begin() + long(i));
        break;
      }
  }
  delete o;
}

void retain(Object* o) {
  if (o) ++o->refs;
}
void release(Object* o) {
  if (!o) return;
  --o->refs;
  if (o->refs <= 0 && o->pendingDelete && !o->stock) destroy(o);
}
void retainState(DCState& s) {
  retain(s.pen);
  retain(s.brush);
  retain(s.font);
  retain(s.bitmap);
}
void releaseState(DCState& s) {
  release(s.pen);
  release(s.brush);
  release(s.font);
  release(s.bitmap);
  s.pen = nullptr;
  s.brush = nullptr;
  s.font = nullptr;
  s.bitmap = nullptr;
}

Bitmap* stockBitmap() {
  static Bitmap* b = [] {
    Bitmap* x = registerObject(new Bitmap);
    x->stock = true;
    x->width = 1;
    x->height = 1;
    x->pixels.assign(4, 0);
    return x;
  }();
  return b;
}

constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 1024;

DC* newDC(DC::Type type) {
  DC* dc = registerObject(new DC(type));
  dc->st.pen = stockPen();
  dc->st.brush = stockBrush();
  dc->st.font = stockFont();
  dc->st.bitmap = type == DC::Memory ? stockBitmap() : nullptr;
  retainState(dc->st);
  return dc;
}

void freeDC(DC* dc) {
  for (auto& s : dc->saved) releaseState(s);
  dc->saved.clear();
  releaseState(dc->st);
  destroy(dc);
}

bool validSurface(void* bits, int width, int height, int stride) {
  return bits && width >= 0 && height >= 0 && stride >= width * 4;
}

void setSurface(DC* dc, void* bits, int width, int height, int stride, int ox, int oy, const RECT* clip) {
  dc->bits = static_cast<uint8_t*>(bits);
  dc->width = width;
  dc->height = height;
  dc->stride = stride;
  dc->originX = ox;
  dc->originY = oy;
  dc->clip = clip ? *clip : RECT{0, 0, width, height};
  dc->holes.clear();
}

}  // namespace

Object* lookup(const void* h, Kind k) {
  if (!h || !registry().count(h)) return nullptr;
  Object* o = static_cast<Object*>(const_cast<void*>(h));
  return o->kind == k ? o : nullptr;
}

Object* adoptObject(Object* o) { return registerObject(o); }

DC* lookupDC(HDC hdc) { return static_cast<DC*>(lookup(hdc, Kind::DC)); }

Pen* stockPen() {
  static Pen* p = [] {
    Pen* x = registerObject(new Pen);
    x->stock = true;
    return x;
  }();
  return p;
}

Brush* stockBrush() {
  static Brush* b = [] {
    Brush* x = registerObject(new Brush);
    x->stock = true;
    x->color = 0xFFFFFF;
    return x;
  }();
  return b;
}

// The system font: "System", a 16-pixel cell, bold, as the Windows default DC font.
Font* stockFont() {
  static Font* f = [] {
    Font* x = registerObject(new Font);
    x->stock = true;
    x->lf.lfHeight = 16;
    x->lf.lfWeight = FW_BOLD;
    x->lf.lfCharSet = DEFAULT_CHARSET;
    std::strcpy(x->lf.lfFaceName, "System");
    return x;
  }();
  return f;
}

bool targetOf(DC* dc, Target& t) {
  t = Target{};
  if (dc->type == DC::Memory) {
    Bitmap* b = dc->st.bitmap;
    if (!b || b->pixels.empty()) return false;
    t.bits = b->pixels.data();
    t.stride = b->width * 4;
    t.cr = b->width;
    t.cb = b->height;
    t.ox = dc->st.viewportOrg.x;
    t.oy = dc->st.viewportOrg.y;
    return true;
  }
  if (dc->type == DC::Surface && dc->bits) {
    t.bits = dc->bits;
    t.stride = dc->stride;
    t.ox = dc->originX + dc->st.viewportOrg.x;
    t.oy = dc->originY + dc->st.viewportOrg.y;
    t.cl = dc->clip.left > 0 ? dc->clip.left : 0;
    t.ct = dc->clip.top > 0 ? dc->clip.top : 0;
    t.cr = dc->clip.right < dc->width ? dc->clip.right : dc->width;
    t.cb = dc->clip.bottom < dc->height ? dc->clip.bottom : dc->height;
    t.holes = dc->holes.empty() ? nullptr : dc->holes.data();
    t.holeCount = dc->holes.size();
    return true;
  }
  return false;
}

bool surfaceOf(DC* dc, Target& t, int& width, int& height) {
  if (!targetOf(dc, t)) return false;
  if (dc->type == DC::Memory) {
    width = dc->st.bitmap->width;
    height = dc->st.bitmap->height;
  } else {
    width = dc->width;
    height = dc->height;
  }
  return true;
}

HDC CreateSurfaceDC(void* bits, int width, int height, int stride, int originX, int originY, const RECT* clip) {
  if (!validSurface(bits, width, height, stride)) return nullptr;
  DC* dc = newDC(DC::Surface);
  setSurface(dc, bits, width, height, stride, originX, originY, clip);
  return reinterpret_cast<HDC>(dc);
}

BOOL ResetSurfaceDC(HDC hdc, void* bits, int width, int height, int stride, int originX, int originY,
                    const RECT* clip) {
  DC* dc = lookupDC(hdc);
  if (!dc || dc->type != DC::Surface || !validSurface(bits, width, height, stride)) return FALSE;
  setSurface(dc, bits, width, height, stride, originX, originY, clip);
  return TRUE;
}

BOOL SetSurfaceDCClip(HDC hdc, const RECT* clip) {
  DC* dc = lookupDC(hdc);
  if (!dc || dc->type != DC::Surface) return FALSE;
  dc->clip = clip ? *clip : RECT{0, 0, dc->width, dc->height};
  return TRUE;
}

BOOL SetSurfaceDCHoles(HDC hdc, const RECT* holes, int count) {
  DC* dc = lookupDC(hdc);
  if (!dc || dc->type != DC::Surface || count < 0 || (count > 0 && !holes)) return FALSE;
  dc->holes.clear();
  for (int i = 0; i < count; ++i)
    if (holes[i].right > holes[i].left && holes[i].bottom > holes[i].top) dc->holes.push_back(holes[i]);
  return TRUE;
}

void rowHoles(const Target& t, int sy, std::vector<std::pair<int, int>>* out) {
  out->clear();
  for (size_t i = 0; i < t.holeCount; ++i)
    if (sy >= t.holes[i].top && sy < t.holes[i].bottom) out->emplace_back(t.holes[i].left, t.holes[i].right);
}

HDC CreateScreenDC() { return reinterpret_cast<HDC>(newDC(DC::Screen)); }

BOOL ReleaseSurfaceDC(HDC hdc) {
  DC* dc = lookupDC(hdc);
  if (!dc || dc->type == DC::Memory) return FALSE;
  freeDC(dc);
  return TRUE;
}

BOOL IsDC(HDC hdc) { return lookupDC(hdc) ? TRUE : FALSE; }

}  // namespace rkgdi

using namespace rkgdi;

HDC WINAPI CreateCompatibleDC(HDC hdc) {
  if (hdc && !lookupDC(hdc)) return nullptr;
  return reinterpret_cast<HDC>(newDC(DC::Memory));
}

BOOL WINAPI DeleteDC(HDC hdc) {
  DC* dc = lookupDC(hdc);
  if (!dc) return FALSE;
  freeDC(dc);
  return TRUE;
}

int WINAPI SaveDC(HDC hdc) {
  DC* dc = lookupDC(hdc);
  if (!dc) return 0;
  dc->saved.push_back(dc->st);
  retainState(dc->saved.back());
  return int(dc->saved.size());
}

BOOL WINAPI RestoreDC(HDC hdc, int nSavedDC) {
  DC* dc = lookupDC(hdc);
  if (!dc) return FALSE;
  int n = int(dc->saved.size());
  int level = nSavedDC < 0 ? n + nSavedDC + 1 : nSavedDC;  // 1-based index of the state wanted
  if (nSavedDC == 0 || level < 1 || level > n) return FALSE;
  while (int(dc->saved.size()) > level) {
    releaseState(dc->saved.back());
    dc->saved.pop_back();
  }
  DCState target = dc->saved.back();  // references move with it
  dc->saved.pop_back();
  releaseState(dc->st);
  dc->st = target;
  return TRUE;
}

int WINAPI GetDeviceCaps(HDC hdc, int index) {
  DC* dc = lookupDC(hdc);
  if (!dc) return 0;
  switch (index) {
    case LOGPIXELSX:
    case LOGPIXELSY:
      return 96;
    case BITSPIXEL:
      return 32;
    case PLANES:
      return 1;
    case HORZRES:
      return dc->type == DC::Surface ? dc->width : kScreenWidth;
    case VERTRES:
      return dc->type == DC::Surface ? dc->height : kScreenHeight;
    default:
      return 0;
  }
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h) {
  DC* dc = lookupDC(hdc);
  if (!dc || !h || !registry().count(h)) return nullptr;
  Object* o = static_cast<Object*>(h);
  Object** slot = nullptr;
  switch (o->kind) {
    case Kind::Pen:
      slot = reinterpret_cast<Object**>(&dc->st.pen);
      break;
    case Kind::Brush:
      slot = reinterpret_cast<Object**>(&dc->st.brush);
      break;
    case Kind::Font:
      slot = reinterpret_cast<Object**>(&dc->st.font);
      break;
    case Kind::Bitmap:
      if (dc->type != DC::Memory) return nullptr;
      slot = reinterpret_cast<Object**>(&dc->st.bitmap);
      break;
    default:
      return nullptr;
  }
  Object* old = *slot;
  retain(o);
  *slot = o;
  // The previous object stays alive until the handle is returned to the caller.
  if (old) --old->refs;
  if (old && old->refs <= 0 && old->pendingDelete && !old->stock) {
    destroy(old);
    return nullptr;
  }
  return old;
}

BOOL WINAPI DeleteObject(HGDIOBJ ho) {
  if (!ho || !registry().count(ho)) return FALSE;
  Object* o = static_cast<Object*>(ho);
  if (o->kind == Kind::DC) return FALSE;
  if (o->stock) return TRUE;
  // An object selected into a DC cannot be deleted; one kept only by saved states goes when
  // the last of them is dropped.
  for (DC* dc : allDCs()) {
    const DCState& s = dc->st;
    if (s.pen == o || s.brush == o || s.font == o || s.bitmap == o) return FALSE;
  }
  if (o->refs > 0) {
    o->pendingDelete = true;
    return TRUE;
  }
  destroy(o);
  return TRUE;
}

int WINAPI SetBkMode(HDC hdc, int mode) {
  DC* dc = lookupDC(hdc);
  if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  int old = dc->st.bkMode;
  dc->st.bkMode = mode;
  return old;
}

int WINAPI GetBkMode(HDC hdc) {
  DC* dc = lookupDC(hdc);
  return dc ? dc->st.bkMode : 0;
}

COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color) {
  DC* dc = lookupDC(hdc);
  if (!dc) return CLR_INVALID;
  COLORREF old = dc->st.bkColor;
  dc->st.bkColor = color;
  return old;
}

COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color) {
  DC* dc = lookupDC(hdc);
  if (!dc) return CLR_INVALID;
  COLORREF old = dc->st.textColor;
  dc->st.textColor = color;
  return old;
}

int WINAPI SetPolyFillMode(HDC hdc, int mode) {
  DC* dc = lookupDC(hdc);
  if (!dc || (mode != ALTERNATE && mode != WINDING)) return 0;
  int old = dc->st.fillMode;
  dc->st.fillMode = mode;
  return old;
}

int WINAPI SetStretchBltMode(HDC hdc, int mode) {
  DC* dc = lookupDC(hdc);
  if (!dc || mode < BLACKONWHITE || mode > HALFTONE) return 0;
  int old = dc->st.stretchMode;
  dc->st.stretchMode = mode;
  return old;
}

BOOL WINAPI SetViewportOrgEx(HDC hdc, int x, int y, LPPOINT lppt) {
  DC* dc = lookupDC(hdc);
  if (!dc) return FALSE;
  if (lppt) *lppt = dc->st.viewportOrg;
  dc->st.viewportOrg = POINT{x, y};
  return TRUE;
}

HGDIOBJ WINAPI GetStockObject(int i) {
  // The null objects are made once and, like every stock object, never deleted.
  static Pen* nullPen = [] {
    Pen* p = registerObject(new Pen);
    p->stock = true;
    p->style = PS_NULL;
    return p;
  }();
  static Brush* nullBrush = [] {
    Brush* b = registerObject(new Brush);
    b->stock = true;
    b->hollow = true;
    return b;
  }();
  switch (i) {
    case WHITE_BRUSH:
      return stockBrush();
    case NULL_BRUSH:
      return nullBrush;
    case BLACK_PEN:
      return stockPen();
    case NULL_PEN:
      return nullPen;
    default:
      return nullptr;
  }
}

HPEN WINAPI CreatePen(int iStyle, int cWidth, COLORREF color) {
  if (iStyle < PS_SOLID || iStyle > PS_INSIDEFRAME) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Pen* p = registerObject(new Pen);
  p->style = iStyle;
  p->width = cWidth < 1 ? 1 : cWidth;  // width 0 is one pixel
  p->color = color & 0xFFFFFF;
  return reinterpret_cast<HPEN>(p);
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
  Brush* b = registerObject(new Brush);
  b->color = color & 0xFFFFFF;
  return reinterpret_cast<HBRUSH>(b);
}

HBITMAP WINAPI CreateCompatibleBitmap(HDC hdc, int cx, int cy) {
  if (!lookupDC(hdc) || cx < 0 || cy < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (cx == 0 || cy == 0) cx = cy = 1;  // as Windows: an empty size gives a 1 x 1 bitmap
  if (cx > 32767 || cy > 32767 || uint64_t(cx) * uint64_t(cy) > (uint64_t(1) << 28)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  Bitmap* b = new Bitmap;
  b->width = cx;
  b->height = cy;
  b->pixels.assign(size_t(cx) * size_t(cy) * 4, 0);
  return reinterpret_cast<HBITMAP>(registerObject(b));
}

HFONT WINAPI CreateFontIndirectA(const LOGFONTA* lplf) {
  if (!lplf) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Font* f = registerObject(new Font);
  f->lf = *lplf;
  f->lf.lfFaceName[LF_FACESIZE - 1] = 0;
  return reinterpret_cast<HFONT>(f);
}

HFONT WINAPI CreateFontA(int cHeight, int cWidth, int cEscapement, int cOrientation, int cWeight, DWORD bItalic,
                         DWORD bUnderline, DWORD bStrikeOut, DWORD iCharSet, DWORD iOutPrecision, DWORD iClipPrecision,
                         DWORD iQuality, DWORD iPitchAndFamily, LPCSTR pszFaceName) {
  LOGFONTA lf{};
  lf.lfHeight = cHeight;
  lf.lfWidth = cWidth;
  lf.lfEscapement = cEscapement;
  lf.lfOrientation = cOrientation;
  lf.lfWeight = cWeight;
  lf.lfItalic = BYTE(bItalic);
  lf.lfUnderline = BYTE(bUnderline);
  lf.lfStrikeOut = BYTE(bStrikeOut);
  lf.lfCharSet = BYTE(iCharSet);
  lf.lfOutPrecision = BYTE(iOutPrecision);
  lf.lfClipPrecision = BYTE(iClipPrecision);
  lf.lfQuality = BYTE(iQuality);
  lf.lfPitchAndFamily = BYTE(iPitchAndFamily);
  if (pszFaceName) std::strncpy(lf.lfFaceName, pszFaceName, LF_FACESIZE - 1);
  return CreateFontIndirectA(&lf);
}
