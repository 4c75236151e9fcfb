// Blits: BitBlt, StretchDIBits (nearest-neighbour sampling), TransparentBlt, and GetDIBits.
#include "gdi_private.h"

#include <algorithm>
#include <cstring>

using namespace rkgdi;

namespace {

inline uint8_t* at(const Target& t, int sx, int sy) { return t.bits + size_t(sy) * size_t(t.stride) + size_t(sx) * 4; }

// Source coordinate of destination pixel i of n when n pixels show m source pixels:
// the source pixel under the destination pixel's centre.
inline int64_t sample(int64_t i, int64_t n, int64_t m) { return (2 * i + 1) * m / (2 * n); }

// The destination indices [*from, *to) of a run of n pixels starting at logical position p that
// land inside the clip [lo, hi) (logical coordinates).
inline void clipRun(int64_t p, int64_t n, int64_t lo, int64_t hi, int64_t* from, int64_t* to) {
  *from = std::max<int64_t>(0, lo - p);
  *to = std::min<int64_t>(n, hi - p);
}

// Copies or stretches the source rectangle (surface coordinates of src, size sw x sh) onto the
// destination rectangle (logical coordinates of dst), skipping pixels whose colour is key.
void stretchSurface(const Target& dst, int64_t dx, int64_t dy, int64_t dw, int64_t dh, const Target& src, int sw_full,
                    int sh_full, int64_t sx, int64_t sy, int64_t sw, int64_t sh, bool useKey, uint32_t key) {
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
  // Copy through a temporary when source and destination share pixels.
  std::vector<uint8_t> tmp;
  const uint8_t* sbits = src.bits;
  int sstride = src.stride;
  if (src.bits == dst.bits) {
    tmp.assign(size_t(sh_full) * size_t(src.stride), 0);
    std::memcpy(tmp.data(), src.bits, tmp.size());
    sbits = tmp.data();
  }
  // Only the destination rows and columns inside the clip are visited.
  int64_t j0, j1, i0, i1;
  clipRun(dy, dh, dst.visTop(), dst.visBottom(), &j0, &j1);
  clipRun(dx, dw, dst.visLeft(), dst.visRight(), &i0, &i1);
  std::vector<std::pair<int, int>> holes;
  for (int64_t j = j0; j < j1; ++j) {
    int ty = int(dy + j + dst.oy);
    rowHoles(dst, ty, &holes);
    int64_t ry = sy + (sh == dh ? j : sample(j, dh, sh));
    if (ry < 0 || ry >= sh_full) continue;
    const uint8_t* srow = sbits + size_t(ry) * size_t(sstride);
    for (int64_t i = i0; i < i1; ++i) {
      int tx = int(dx + i + dst.ox);
      if (!holes.empty() && inRowHoles(holes, tx)) continue;
      int64_t rx = sx + (sw == dw ? i : sample(i, dw, sw));
      if (rx < 0 || rx >= sw_full) continue;
      const uint8_t* s = srow + size_t(rx) * 4;
      if (useKey && (uint32_t(s[0]) | uint32_t(s[1]) << 8 | uint32_t(s[2]) << 16) == key) continue;
      std::memcpy(at(dst, tx, ty), s, 4);
    }
  }
}

}  // namespace

BOOL WINAPI BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop) {
  DC* d = lookupDC(hdc);
  DC* s = lookupDC(hdcSrc);
  if (!d || !s || rop != SRCCOPY) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Target dt, st;
  int sw, sh;
  if (!targetOf(d, dt) || !surfaceOf(s, st, sw, sh)) return TRUE;
  stretchSurface(dt, x, y, cx, cy, st, sw, sh, int64_t(x1) + st.ox, int64_t(y1) + st.oy, cx, cy, false, 0);
  return TRUE;
}

BOOL WINAPI TransparentBlt(HDC hdcDest, int xoriginDest, int yoriginDest, int wDest, int hDest, HDC hdcSrc,
                           int xoriginSrc, int yoriginSrc, int wSrc, int hSrc, UINT crTransparent) {
  DC* d = lookupDC(hdcDest);
  DC* s = lookupDC(hdcSrc);
  if (!d || !s || wDest < 0 || hDest < 0 || wSrc < 0 || hSrc < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Target dt, st;
  int sw, sh;
  if (!targetOf(d, dt) || !surfaceOf(s, st, sw, sh)) return TRUE;
  // The key is an RGB colour 0x00bbggrr; the surface holds it as blue, green, red. A value with a
  // top byte set is not an RGB colour and matches no pixel of a bitmap without a palette.
  uint32_t key = ((crTransparent >> 16) & 0xFF) | (crTransparent & 0xFF00) | ((crTransparent & 0xFF) << 16);
  if (crTransparent >> 24) key = 0xFFFFFFFFu;
  stretchSurface(dt, xoriginDest, yoriginDest, wDest, hDest, st, sw, sh, int64_t(xoriginSrc) + st.ox,
                 int64_t(yoriginSrc) + st.oy, wSrc, hSrc, true, key);
  return TRUE;
}

int WINAPI StretchDIBits(HDC hdc, int xDest, int yDest, int DestWidth, int DestHeight, int xSrc, int ySrc, int SrcWidth,
                         int SrcHeight, const void* lpBits, const BITMAPINFO* lpbmi, UINT iUsage, DWORD rop) {
  DC* dc = lookupDC(hdc);
  if (!dc || !lpBits || !lpbmi || rop != SRCCOPY || iUsage != DIB_RGB_COLORS) return 0;
  const BITMAPINFOHEADER& h = lpbmi->bmiHeader;
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biCompression != BI_RGB || h.biWidth <= 0 || h.biHeight == 0 ||
      h.biHeight == INT32_MIN || (h.biBitCount != 24 && h.biBitCount != 32))
    return 0;
  int W = h.biWidth, H = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  bool topDown = h.biHeight < 0;
  int bpp = h.biBitCount / 8;
  size_t stride = ((size_t(W) * bpp + 3) / 4) * 4;
  Target t;
  if (!targetOf(dc, t)) return int(std::min<int64_t>(std::llabs(SrcHeight), INT32_MAX));
  // Normalise mirrored rectangles: a negative extent flips that axis.
  bool flipX = (DestWidth < 0) != (SrcWidth < 0), flipY = (DestHeight < 0) != (SrcHeight < 0);
  int64_t dw = std::llabs(DestWidth), dh = std::llabs(DestHeight), sw = std::llabs(SrcWidth),
          sh = std::llabs(SrcHeight);
  int64_t dx = DestWidth < 0 ? int64_t(xDest) + DestWidth + 1 : xDest;
  int64_t dy = DestHeight < 0 ? int64_t(yDest) + DestHeight + 1 : yDest;
  int64_t sx = SrcWidth < 0 ? int64_t(xSrc) + SrcWidth + 1 : xSrc;
  int64_t syb = SrcHeight < 0 ? int64_t(ySrc) + SrcHeight + 1 : ySrc;
  if (dw == 0 || dh == 0 || sw == 0 || sh == 0) return 0;
  // The source y of a bottom-up DIB counts from its bottom row.
  int64_t syTop = topDown ? syb : H - syb - sh;
  const uint8_t* bits = static_cast<const uint8_t*>(lpBits);
  // Only the destination rows and columns inside the clip are visited.
  int64_t j0, j1, i0, i1;
  clipRun(dy, dh, t.visTop(), t.visBottom(), &j0, &j1);
  clipRun(dx, dw, t.visLeft(), t.visRight(), &i0, &i1);
  std::vector<int64_t> xmap(size_t(std::max<int64_t>(i1 - i0, 0)));
  for (int64_t i = i0; i < i1; ++i) {
    int64_t k = flipX ? dw - 1 - i : i;
    xmap[size_t(i - i0)] = sx + (sw == dw ? k : sample(k, dw, sw));
  }
  std::vector<std::pair<int, int>> holes;
  for (int64_t j = j0; j < j1; ++j) {
    int ty = int(dy + j + t.oy);
    rowHoles(t, ty, &holes);
    int64_t k = flipY ? dh - 1 - j : j;
    int64_t row = syTop + (sh == dh ? k : sample(k, dh, sh));
    if (row < 0 || row >= H) continue;
    const uint8_t* srow = bits + size_t(topDown ? row : H - 1 - row) * stride;
    for (int64_t i = i0; i < i1; ++i) {
      int tx = int(dx + i + t.ox);
      if (!holes.empty() && inRowHoles(holes, tx)) continue;
      int64_t rx = xmap[size_t(i - i0)];
      if (rx < 0 || rx >= W) continue;
      const uint8_t* s = srow + size_t(rx) * bpp;
      uint8_t* p = at(t, tx, ty);
      p[0] = s[0];
      p[1] = s[1];
      p[2] = s[2];
      p[3] = bpp == 4 ? s[3] : 0;  // a 32-bit source's fourth byte is copied as it is; 24-bit pixels have none
    }
  }
  return int(std::min<int64_t>(sh, INT32_MAX));
}

int WINAPI GetDIBits(HDC hdc, HBITMAP hbm, UINT start, UINT cLines, LPVOID lpvBits, LPBITMAPINFO lpbmi, UINT usage) {
  Bitmap* bm = static_cast<Bitmap*>(lookup(hbm, Kind::Bitmap));
  if (!lookupDC(hdc) || !bm || !lpbmi || lpbmi->bmiHeader.biSize < sizeof(BITMAPINFOHEADER) ||
      usage != DIB_RGB_COLORS) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  BITMAPINFOHEADER& h = lpbmi->bmiHeader;
  if (!lpvBits) {
    // Describe the bitmap: its own format when no bit count was asked for.
    if (h.biBitCount == 0) h.biBitCount = 32;
    if (h.biBitCount != 24 && h.biBitCount != 32) return 0;
    h.biWidth = bm->width;
    h.biHeight = bm->height;
    h.biPlanes = 1;
    h.biCompression = BI_RGB;
    h.biSizeImage = DWORD(((size_t(bm->width) * (h.biBitCount / 8) + 3) / 4) * 4 * size_t(bm->height));
    h.biXPelsPerMeter = 0;
    h.biYPelsPerMeter = 0;
    h.biClrUsed = 0;
    h.biClrImportant = 0;
    return bm->height;
  }
  if ((h.biBitCount != 24 && h.biBitCount != 32) || h.biCompression != BI_RGB) return 0;
  int bpp = h.biBitCount / 8;
  bool topDown = h.biHeight < 0;
  size_t stride = ((size_t(bm->width) * bpp + 3) / 4) * 4;
  UINT H = UINT(bm->height);
  if (start >= H) return 0;
  UINT lines = std::min(cLines, H - start);
  uint8_t* out = static_cast<uint8_t*>(lpvBits);
  for (UINT k = 0; k < lines; ++k) {
    UINT line = start + k;  // scan line of the DIB: from the bottom unless top-down
    UINT row = topDown ? line : H - 1 - line;
    const uint8_t* s = bm->pixels.data() + size_t(row) * size_t(bm->width) * 4;
    uint8_t* d = out + size_t(k) * stride;
    if (bpp == 4) {
      std::memcpy(d, s, size_t(bm->width) * 4);
    } else {
      for (int x = 0; x < bm->width; ++x) {
        d[x * 3] = s[x * 4];
        d[x * 3 + 1] = s[x * 4 + 1];
        d[x * 3 + 2] = s[x * 4 + 2];
      }
      std::memset(d + size_t(bm->width) * 3, 0, stride - size_t(bm->width) * 3);
    }
  }
  return int(lines);
}
