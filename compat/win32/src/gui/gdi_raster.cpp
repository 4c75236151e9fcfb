// Pixel-level drawing: points, spans, thin and wide lines, polygon fill and shape masks.
// Pixel (x, y) covers the square [x, x + 1) x [y, y + 1); fills sample pixel centres.
#include "gdi_private.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace rkgdi {

void plot(const Target& t, int x, int y, uint32_t px) {
  x += t.ox;
  y += t.oy;
  if (!t.open(x, y)) return;
  std::memcpy(t.bits + size_t(y) * size_t(t.stride) + size_t(x) * 4, &px, 4);
}

void span(const Target& t, int y, int x0, int x1, uint32_t px) {
  y += t.oy;
  if (y < t.ct || y >= t.cb) return;
  x0 = std::max(x0 + t.ox, t.cl);
  x1 = std::min(x1 + t.ox, t.cr);
  if (x0 >= x1) return;
  uint8_t* p = t.bits + size_t(y) * size_t(t.stride) + size_t(x0) * 4;
  if (t.holeCount) {
    for (int x = x0; x < x1; ++x, p += 4)
      if (!t.inHole(x, y)) std::memcpy(p, &px, 4);
    return;
  }
  for (int x = x0; x < x1; ++x, p += 4) std::memcpy(p, &px, 4);
}

void blendPixel(const Target& t, int x, int y, uint32_t px, int coverage) {
  if (coverage <= 0) return;
  if (coverage >= 255) {
    plot(t, x, y, px);
    return;
  }
  x += t.ox;
  y += t.oy;
  if (!t.open(x, y)) return;
  uint8_t* p = t.bits + size_t(y) * size_t(t.stride) + size_t(x) * 4;
  for (int c = 0; c < 3; ++c) {
    int s = int((px >> (8 * c)) & 0xFF);
    p[c] = uint8_t((s * coverage + p[c] * (255 - coverage) + 127) / 255);
  }
  p[3] = 0xFF;
}

// Bresenham from (x0, y0) towards (x1, y1); the end point only when last is set.
void thinLine(const Target& t, int x0, int y0, int x1, int y1, uint32_t px, bool last) {
  int64_t dx = std::llabs(int64_t(x1) - x0), dy = -std::llabs(int64_t(y1) - y0);
  int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  int64_t err = dx + dy;
  int x = x0, y = y0;
  for (;;) {
    if (x == x1 && y == y1) {
      if (last) plot(t, x, y, px);
      return;
    }
    plot(t, x, y, px);
    int64_t e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

// A geometric pen stroke with round caps: every pixel whose centre lies within width / 2 of the
// segment. Odd widths centre on the pixels of the line, even widths on the pixel corners.
void wideLine(const Target& t, double x0, double y0, double x1, double y1, int width, uint32_t px) {
  double r = width / 2.0;
  double off = (width % 2) ? 0.0 : 0.5;  // pixel centre relative to the integer coordinate
  int minX = int(std::floor(std::min(x0, x1) - r - 1)), maxX = int(std::ceil(std::max(x0, x1) + r + 1));
  int minY = int(std::floor(std::min(y0, y1) - r - 1)), maxY = int(std::ceil(std::max(y0, y1) + r + 1));
  minX = std::max(minX, t.cl - t.ox); maxX = std::min(maxX, t.cr - t.ox - 1);
  minY = std::max(minY, t.ct - t.oy); maxY = std::min(maxY, t.cb - t.oy - 1);
  double vx = x1 - x0, vy = y1 - y0, len2 = vx * vx + vy * vy;
  double r2 = r * r + 1e-9;
  for (int y = minY; y <= maxY; ++y) {
    double cy = y + off;
    for (int x = minX; x <= maxX; ++x) {
      double cx = x + off;
      double u = len2 > 0 ? ((cx - x0) * vx + (cy - y0) * vy) / len2 : 0;
      u = std::clamp(u, 0.0, 1.0);
      double ex = cx - (x0 + u * vx), ey = cy - (y0 + u * vy);
      if (ex * ex + ey * ey <= r2) plot(t, x, y, px);
    }
  }
}

// Scan-line fill of closed figures (ALTERNATE: even-odd, WINDING: non-zero).
void fillFigures(const Target& t, const std::vector<Figure>& figs, int fillMode, uint32_t px) {
  struct Edge {
    double x0, y0, x1, y1;
    int dir;
  };
  std::vector<Edge> edges;
  double minY = 1e300, maxY = -1e300;
  for (const Figure& f : figs) {
    size_t n = f.pts.size();
    if (n < 2) continue;
    for (size_t i = 0; i < n; ++i) {
      PointF a = f.pts[i], b = f.pts[(i + 1) % n];
      if (a.y == b.y) continue;
      Edge e = a.y < b.y ? Edge{a.x, a.y, b.x, b.y, 1} : Edge{b.x, b.y, a.x, a.y, -1};
      edges.push_back(e);
      minY = std::min(minY, e.y0);
      maxY = std::max(maxY, e.y1);
    }
  }
  if (edges.empty()) return;
  int y0 = std::max(int(std::floor(minY)) - 1, t.ct - t.oy);
  int y1 = std::min(int(std::ceil(maxY)) + 1, t.cb - t.oy);
  std::vector<std::pair<double, int>> xs;
  for (int y = y0; y < y1; ++y) {
    double sy = y + 0.5;
    xs.clear();
    for (const Edge& e : edges) {
      if (sy < e.y0 || sy >= e.y1) continue;
      xs.push_back({e.x0 + (sy - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0), e.dir});
    }
    if (xs.empty()) continue;
    std::sort(xs.begin(), xs.end());
    int wind = 0;
    for (size_t i = 0; i + 1 < xs.size(); ++i) {
      wind += fillMode == WINDING ? xs[i].second : 1;
      bool inside = fillMode == WINDING ? wind != 0 : (wind & 1) != 0;
      if (!inside) continue;
      // Pixels whose centre x + 0.5 lies in [xa, xb).
      int a = int(std::ceil(xs[i].first - 0.5)), b = int(std::ceil(xs[i + 1].first - 0.5));
      if (a < b) span(t, y, a, b, px);
    }
  }
}

void drawMask(const Target& t, const Mask& mk, const Pen* pen, const Brush* brush) {
  bool outline = pen && pen->style != PS_NULL;
  uint32_t pp = outline ? pixelOf(pen->color) : 0;
  bool fill = brush && !brush->hollow;
  uint32_t bp = fill ? pixelOf(brush->color) : 0;
  for (int j = 0; j < mk.h; ++j) {
    int y = mk.t + j;
    for (int i = 0; i < mk.w; ++i) {
      if (!mk.m[size_t(j) * mk.w + i]) continue;
      int x = mk.l + i;
      if (mk.edge(x, y) && outline)
        plot(t, x, y, pp);
      else if (fill)
        plot(t, x, y, bp);
    }
  }
}

}  // namespace rkgdi
