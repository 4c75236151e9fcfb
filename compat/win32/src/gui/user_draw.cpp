// Drawing calls of the user-interface side: rectangle fills, focus rectangles, formatted text,
// disabled text and the system colours.
#include "gdi_private.h"

#include <algorithm>
#include <cstring>

using namespace rkgdi;

namespace {

// The system colours of the stand-in's desktop scheme.
const COLORREF kSysColors[] = {RGB(212, 208, 200), RGB(0, 78, 152),    RGB(0, 84, 227),    RGB(122, 150, 223),
                               RGB(255, 255, 255), RGB(255, 255, 255), RGB(0, 0, 0),       RGB(0, 0, 0),
                               RGB(0, 0, 0),       RGB(255, 255, 255), RGB(212, 208, 200), RGB(212, 208, 200),
                               RGB(128, 128, 128), RGB(49, 106, 197),  RGB(255, 255, 255), RGB(236, 233, 216),
                               RGB(172, 168, 153), RGB(172, 168, 153), RGB(0, 0, 0),       RGB(216, 228, 248),
                               RGB(255, 255, 255), RGB(113, 111, 100), RGB(241, 239, 226), RGB(0, 0, 0),
                               RGB(255, 255, 225), RGB(181, 181, 181), RGB(0, 0, 128),     RGB(61, 149, 255),
                               RGB(157, 185, 235), RGB(49, 106, 197),  RGB(236, 233, 216)};
constexpr int kSysColorCount = int(sizeof(kSysColors) / sizeof(kSysColors[0]));

// Prefix processing: "&&" shows "&", "&x" shows x underlined (the last such character).
std::u32string stripPrefix(const std::u32string& s, int* underline) {
  std::u32string out;
  *underline = -1;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == U'&') {
      if (i + 1 >= s.size()) break;
      ++i;
      if (s[i] != U'&') *underline = int(out.size());
    }
    out += s[i];
  }
  return out;
}

std::vector<std::u32string> splitLines(const std::u32string& s) {
  std::vector<std::u32string> lines(1);
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == U'\r' && i + 1 < s.size() && s[i + 1] == U'\n') continue;
    if (s[i] == U'\n') {
      lines.emplace_back();
      continue;
    }
    lines.back() += s[i];
  }
  return lines;
}

}  // namespace

DWORD WINAPI GetSysColor(int nIndex) { return nIndex >= 0 && nIndex < kSysColorCount ? kSysColors[nIndex] : 0; }

int WINAPI FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr) {
  DC* dc = lookupDC(hDC);
  if (!dc || !lprc) return 0;
  COLORREF color;
  // A brush value of a system colour index plus one stands for that colour.
  uintptr_t v = reinterpret_cast<uintptr_t>(hbr);
  if (v >= 1 && v <= uintptr_t(kSysColorCount)) {
    color = kSysColors[v - 1];
  } else {
    Brush* b = static_cast<Brush*>(lookup(hbr, Kind::Brush));
    if (!b) return 0;
    if (b->hollow) return 1;
    color = b->color;
  }
  Target t;
  if (!targetOf(dc, t)) return 1;
  uint32_t px = pixelOf(color);
  for (LONG y = lprc->top; y < lprc->bottom; ++y) span(t, y, lprc->left, lprc->right, px);
  return 1;
}

BOOL WINAPI DrawFocusRect(HDC hDC, const RECT* lprc) {
  DC* dc = lookupDC(hDC);
  if (!dc || !lprc) return FALSE;
  Target t;
  if (!targetOf(dc, t)) return TRUE;
  int l = lprc->left, tp = lprc->top, r = lprc->right, b = lprc->bottom;
  if (r <= l || b <= tp) return TRUE;
  // Every other pixel of the outline, by the parity of its surface position, inverted once.
  auto dot = [&](int x, int y) {
    int sx = x + t.ox, sy = y + t.oy;
    if (((sx + sy) & 1) || !t.open(sx, sy)) return;
    uint8_t* p = t.bits + size_t(sy) * size_t(t.stride) + size_t(sx) * 4;
    p[0] ^= 0xFF;
    p[1] ^= 0xFF;
    p[2] ^= 0xFF;
  };
  for (int x = l; x < r; ++x) {
    dot(x, tp);
    if (b - 1 != tp) dot(x, b - 1);
  }
  for (int y = tp + 1; y < b - 1; ++y) {
    dot(l, y);
    if (r - 1 != l) dot(r - 1, y);
  }
  return TRUE;
}

int WINAPI DrawTextA(HDC hdc, LPCSTR lpchText, int cchText, LPRECT lprc, UINT format) {
  DC* dc = lookupDC(hdc);
  if (!dc || !lprc || (!lpchText && cchText != 0)) return 0;
  if (cchText < 0) cchText = lpchText ? int(std::strlen(lpchText)) : 0;
  if (cchText == 0) {
    if (format & DT_CALCRECT) {
      lprc->right = lprc->left;
      lprc->bottom = lprc->top;
    }
    return 0;
  }
  std::u32string text = ansiToUnicode(lpchText, cchText);
  std::vector<std::u32string> lines;
  if (format & DT_SINGLELINE)
    lines.push_back(text);
  else
    lines = splitLines(text);
  TEXTMETRICA tm;
  if (!fontMetrics(dc, &tm)) return 0;
  int lineH = tm.tmHeight;
  struct Line {
    std::u32string s;
    int underline;
    int width;
  };
  std::vector<Line> ls;
  int maxW = 0;
  for (auto& raw : lines) {
    Line l{raw, -1, 0};
    if (!(format & DT_NOPREFIX)) l.s = stripPrefix(raw, &l.underline);
    SIZE sz{0, 0};
    measureText(dc, l.s, nullptr, &sz);
    l.width = sz.cx;
    maxW = std::max(maxW, l.width);
    ls.push_back(std::move(l));
  }
  int totalH = lineH * int(ls.size());
  if (format & DT_CALCRECT) {
    lprc->right = lprc->left + maxW;
    lprc->bottom = lprc->top + totalH;
    return totalH;
  }
  int y = lprc->top;
  if (format & DT_SINGLELINE) {
    if (format & DT_VCENTER)
      y = lprc->top + (lprc->bottom - lprc->top - lineH) / 2;
    else if (format & DT_BOTTOM)
      y = lprc->bottom - lineH;
  }
  const RECT* clip = (format & DT_NOCLIP) ? nullptr : lprc;
  for (size_t i = 0; i < ls.size(); ++i) {
    int x = lprc->left;
    if (format & DT_CENTER)
      x = lprc->left + (lprc->right - lprc->left - ls[i].width) / 2;
    else if (format & DT_RIGHT)
      x = lprc->right - ls[i].width;
    drawText(dc, x, y + int(i) * lineH, ls[i].s, dc->st.textColor, clip, ls[i].underline, dc->st.bkMode == OPAQUE);
  }
  if (format & (DT_VCENTER | DT_BOTTOM)) return y - lprc->top + totalH;
  return totalH;
}

BOOL WINAPI DrawStateA(HDC hdc, HBRUSH hbrFore, DRAWSTATEPROC qfnCallBack, LPARAM lData, WPARAM wData, int x, int y,
                       int cx, int cy, UINT uFlags) {
  (void)hbrFore;
  (void)cx;
  (void)cy;
  DC* dc = lookupDC(hdc);
  if (!dc) return FALSE;
  UINT type = uFlags & 0x000F;
  if (type == DST_COMPLEX) return qfnCallBack ? qfnCallBack(hdc, lData, wData, cx, cy) : FALSE;
  if (type != DST_TEXT && type != DST_PREFIXTEXT) return FALSE;
  const char* s = reinterpret_cast<const char*>(lData);
  if (!s) return FALSE;
  int len = wData ? int(wData) : int(std::strlen(s));
  std::u32string text = ansiToUnicode(s, len);
  int underline = -1;
  if (type == DST_PREFIXTEXT) text = stripPrefix(text, &underline);
  if (uFlags & DSS_DISABLED) {
    // Embossed: a highlight copy one pixel down and right, the shadow copy on top.
    drawText(dc, x + 1, y + 1, text, GetSysColor(COLOR_3DHILIGHT), nullptr, underline, false);
    drawText(dc, x, y, text, GetSysColor(COLOR_3DSHADOW), nullptr, underline, false);
  } else {
    drawText(dc, x, y, text, dc->st.textColor, nullptr, underline, false);
  }
  return TRUE;
}
