// Pixel-level drawing: points, spans, thin and wide lines, polygon fill and shape masks.
// Pixel (x, y) covers the square [x, x + 1) x [y, y + 1); fills sample pixel centres.
#include "gdi_private.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace rkgdi {

namespace {

// A double coordinate as an integer, held inside [lo, hi] before the conversion so that values
// far outside the int range (or not numbers) stay defined.
int64_t clampTo(double v, int64_t lo, int64_t hi) {
  if (!(v > double(lo))) return lo;
  if (!(v < double(hi))) return hi;
  return int64_t(v);
}

}  // namespace

void plot(const Target& t, int64_t x, int64_t y, uint32_t px) {
  x += t.ox;
  y += t.oy;
  if (x < t.cl || y < t.ct || x >= t.cr || y >= t.cb || !t.open(int(x), int(y))) return;
  std::memcpy(t.bits + size_t(y) * size_t(t.stride) + size_t(x) * 4, &px, 4);
}

void span(const Target& t, int64_t y, int64_t x0, int64_t x1, uint32_t px) {
  y += t.oy;
  if (y < t.ct || y >= t.cb) return;
  int sx0 = int(std::max<int64_t>(x0 + t.ox, t.cl));
  int sx1 = int(std::min<int64_t>(x1 + t.ox, t.cr));
  if (sx0 >= sx1) return;
  int sy = int(y);
  uint8_t* p = t.bits + size_t(sy) * size_t(t.stride) + size_t(sx0) * 4;
  if (t.holeCount) {
    for (int x = sx0; x < sx1; ++x, p += 4)
      if (!t.inHole(x, sy)) std::memcpy(p, &px, 4);
    return;
  }
  // One pixel, then the filled part copied onto the rest, doubling each time.
  size_t n = size_t(sx1 - sx0) * 4;
  std::memcpy(p, &px, 4);
  for (size_t done = 4; done < n;) {
    size_t k = std::min(done, n - done);
    std::memcpy(p + done, p, k);
    done += k;
  }
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
  p[3] = 0;  // a blended pixel is one GDI coloured itself
}

// Bresenham from (x0, y0) towards (x1, y1); the end point only when last is set. Step k along
// the major axis lands on minor offset floor((2 * minor * k + major) / (2 * major)), halves
// rounding away from the start, so the walk starts at the first step inside the clip and ends
// after the last one.
void thinLine(const Target& t, int x0, int y0, int x1, int y1, uint32_t px, bool last) {
  int64_t dx = std::llabs(int64_t(x1) - x0), dy = std::llabs(int64_t(y1) - y0);
  int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  bool xMajor = dx >= dy;
  int64_t major = xMajor ? dx : dy, minor = xMajor ? dy : dx;
  int64_t m0 = xMajor ? x0 : y0, n0 = xMajor ? y0 : x0;
  int sm = xMajor ? sx : sy, sn = xMajor ? sy : sx;
  int64_t lo = xMajor ? t.visLeft() : t.visTop(), hi = (xMajor ? t.visRight() : t.visBottom()) - 1;
  int64_t k0 = sm > 0 ? lo - m0 : m0 - hi, k1 = sm > 0 ? hi - m0 : m0 - lo;
  k0 = std::max<int64_t>(k0, 0);
  k1 = std::min(k1, last ? major : major - 1);
  if (k0 > k1) return;
  if (major == 0) {
    plot(t, x0, y0, px);
    return;
  }
  // The numerator reaches 2^65 for lines across the whole int range.
  unsigned __int128 num = (unsigned __int128)(2 * minor) * uint64_t(k0) + uint64_t(major);
  int64_t q = int64_t(num / uint64_t(2 * major)), rem = int64_t(num % uint64_t(2 * major));
  for (int64_t k = k0; k <= k1; ++k) {
    int64_t m = m0 + sm * k, n = n0 + sn * q;
    if (xMajor)
      plot(t, m, n, px);
    else
      plot(t, n, m, px);
    rem += 2 * minor;
    if (rem >= 2 * major) {
      rem -= 2 * major;
      ++q;
    }
  }
}

// A geometric pen stroke with round caps: every pixel whose centre lies within width / 2 of the
// segment. Odd widths centre on the pixels of the line, even widths on the pixel corners.
// Each visible row of the stroke is one run; its ends come from the row's crossing with the
// stroke and are settled on the exact test of the pixels there.
void wideLine(const Target& t, double x0, double y0, double x1, double y1, int width, uint32_t px) {
  double r = width / 2.0;
  double off = (width % 2) ? 0.0 : 0.5;  // pixel centre relative to the integer coordinate
  int64_t vl = t.visLeft(), vt = t.visTop(), vr = t.visRight() - 1, vb = t.visBottom() - 1;
  if (vl > vr || vt > vb) return;
  int64_t minX = clampTo(std::floor(std::min(x0, x1) - r - 1), vl, vr + 1);
  int64_t maxX = clampTo(std::ceil(std::max(x0, x1) + r + 1), vl - 1, vr);
  int64_t minY = clampTo(std::floor(std::min(y0, y1) - r - 1), vt, vb + 1);
  int64_t maxY = clampTo(std::ceil(std::max(y0, y1) + r + 1), vt - 1, vb);
  double vx = x1 - x0, vy = y1 - y0, len2 = vx * vx + vy * vy;
  double r2 = r * r + 1e-9;
  double reach = std::sqrt(r2), len = std::sqrt(len2);
  auto inside = [&](int64_t x, double cy) {
    double cx = double(x) + off;
    double u = len2 > 0 ? ((cx - x0) * vx + (cy - y0) * vy) / len2 : 0;
    u = std::clamp(u, 0.0, 1.0);
    double ex = cx - (x0 + u * vx), ey = cy - (y0 + u * vy);
    return ex * ex + ey * ey <= r2;
  };
  for (int64_t y = minY; y <= maxY; ++y) {
    double cy = double(y) + off;
    // The row's crossing with the stroke: the union of the two caps and the band along the
    // segment, each an interval of centre positions.
    double lo = HUGE_VAL, hi = -HUGE_VAL;
    auto cap = [&](double px0, double py0) {
      double ey = cy - py0, h = r2 - ey * ey;
      if (h < 0) return;
      double w = std::sqrt(h);
      lo = std::min(lo, px0 - w);
      hi = std::max(hi, px0 + w);
    };
    cap(x0, y0);
    cap(x1, y1);
    if (len2 > 0) {
      double bl = -HUGE_VAL, bh = HUGE_VAL, ey = cy - y0;
      // Distance from the line: |(cx - x0) * vy - ey * vx| <= reach * len.
      if (vy != 0) {
        double a = x0 + (ey * vx - reach * len) / vy, b = x0 + (ey * vx + reach * len) / vy;
        bl = std::max(bl, std::min(a, b));
        bh = std::min(bh, std::max(a, b));
      } else if (std::fabs(ey * vx) > reach * len) {
        bh = -HUGE_VAL;
      }
      // Projection onto the segment: 0 <= (cx - x0) * vx + ey * vy <= len2.
      if (vx != 0) {
        double a = x0 - ey * vy / vx, b = x0 + (len2 - ey * vy) / vx;
        bl = std::max(bl, std::min(a, b));
        bh = std::min(bh, std::max(a, b));
      } else if (ey * vy < 0 || ey * vy > len2) {
        bh = -HUGE_VAL;
      }
      if (bl <= bh) {
        lo = std::min(lo, bl);
        hi = std::max(hi, bh);
      }
    }
    if (!(lo <= hi)) continue;
    // A pixel of margin on each side, then the ends moved onto the exact test.
    int64_t a = std::max(minX, clampTo(std::ceil(lo - off) - 1, minX, maxX + 1));
    int64_t b = std::min(maxX, clampTo(std::floor(hi - off) + 1, minX - 1, maxX));
    while (a <= b && !inside(a, cy)) ++a;
    if (a > b) continue;
    while (a > minX && inside(a - 1, cy)) --a;
    while (b > a && !inside(b, cy)) --b;
    while (b < maxX && inside(b + 1, cy)) ++b;
    span(t, y, a, b + 1, px);
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
  int64_t y0 = std::max(clampTo(std::floor(minY), INT32_MIN, INT32_MAX) - 1, t.visTop());
  int64_t y1 = std::min(clampTo(std::ceil(maxY), INT32_MIN, INT32_MAX) + 1, t.visBottom());
  int64_t xl = t.visLeft() - 1, xr = t.visRight() + 1;
  // Edges enter the active list by their top and leave it below their bottom.
  std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.y0 < b.y0; });
  size_t next = 0;
  std::vector<const Edge*> active;
  std::vector<std::pair<double, int>> xs;
  for (int64_t y = y0; y < y1; ++y) {
    double sy = double(y) + 0.5;
    while (next < edges.size() && edges[next].y0 <= sy) active.push_back(&edges[next++]);
    active.erase(std::remove_if(active.begin(), active.end(), [&](const Edge* e) { return sy >= e->y1; }),
                 active.end());
    if (active.empty()) {
      if (next == edges.size()) break;
      continue;
    }
    xs.clear();
    for (const Edge* e : active) xs.push_back({e->x0 + (sy - e->y0) * (e->x1 - e->x0) / (e->y1 - e->y0), e->dir});
    std::sort(xs.begin(), xs.end());
    int wind = 0;
    for (size_t i = 0; i + 1 < xs.size(); ++i) {
      wind += fillMode == WINDING ? xs[i].second : 1;
      bool inside = fillMode == WINDING ? wind != 0 : (wind & 1) != 0;
      if (!inside) continue;
      // Pixels whose centre x + 0.5 lies in [xa, xb).
      int64_t a = clampTo(std::ceil(xs[i].first - 0.5), xl, xr), b = clampTo(std::ceil(xs[i + 1].first - 0.5), xl, xr);
      if (a < b) span(t, y, a, b, px);
    }
  }
}

namespace {

Run rowOf(const RowShape& s, int64_t y) {
  Run run{0, 0};
  if (y >= s.top && y < s.bottom) s.row(y, &run.l, &run.r);
  return run;
}

}  // namespace

void drawRows(const Target& t, const RowShape& s, const Pen* pen, const Brush* brush, const PixelTest* keepOutline) {
  bool outline = pen && pen->style != PS_NULL;
  uint32_t pp = outline ? pixelOf(pen->color) : 0;
  bool fill = brush && !brush->hollow;
  uint32_t bp = fill ? pixelOf(brush->color) : 0;
  int64_t vl = t.visLeft(), vr = t.visRight();
  int64_t y0 = std::max(s.top, t.visTop()), y1 = std::min(s.bottom, t.visBottom());
  if ((!outline && !fill) || y0 >= y1 || vl >= vr) return;
  auto edge = [&](int64_t y, int64_t a, int64_t b) {
    if (!keepOutline) {
      span(t, y, a, b, pp);
      return;
    }
    for (int64_t x = std::max(a, vl), e = std::min(b, vr); x < e; ++x)
      if ((*keepOutline)(x, y)) plot(t, x, y, pp);
  };
  Run prev = rowOf(s, y0 - 1), cur = rowOf(s, y0);
  for (int64_t y = y0; y < y1; ++y) {
    Run next = rowOf(s, y + 1);
    if (cur.l < cur.r) {
      if (!outline) {
        span(t, y, cur.l, cur.r, bp);
      } else {
        // Inside the outline: pixels whose neighbours left, right, above and below all belong
        // to the shape. An empty run [a, b) with a >= b leaves no inside.
        int64_t il = std::max({cur.l + 1, prev.l, next.l}), ir = std::min({cur.r - 1, prev.r, next.r});
        if (il >= ir) {
          edge(y, cur.l, cur.r);
        } else {
          edge(y, cur.l, il);
          edge(y, ir, cur.r);
          if (fill) span(t, y, il, ir, bp);
        }
      }
    }
    prev = cur;
    cur = next;
  }
}

namespace {

// Sorts runs and joins those that overlap or touch.
void normalise(std::vector<Run>* runs) {
  std::sort(runs->begin(), runs->end(), [](const Run& a, const Run& b) { return a.l < b.l; });
  size_t n = 0;
  for (const Run& r : *runs) {
    if (r.l >= r.r) continue;
    if (n && r.l <= (*runs)[n - 1].r)
      (*runs)[n - 1].r = std::max((*runs)[n - 1].r, r.r);
    else
      (*runs)[n++] = r;
  }
  runs->resize(n);
}

void intersect(const std::vector<Run>& a, const std::vector<Run>& b, std::vector<Run>* out) {
  out->clear();
  for (size_t i = 0, j = 0; i < a.size() && j < b.size();) {
    int64_t l = std::max(a[i].l, b[j].l), r = std::min(a[i].r, b[j].r);
    if (l < r) out->push_back(Run{l, r});
    if (a[i].r < b[j].r)
      ++i;
    else
      ++j;
  }
}

}  // namespace

void drawRunRows(const Target& t, int64_t top, int64_t bottom, const RowRuns& rowRuns, const Pen* pen,
                 const Brush* brush) {
  bool outline = pen && pen->style != PS_NULL;
  uint32_t pp = outline ? pixelOf(pen->color) : 0;
  bool fill = brush && !brush->hollow;
  uint32_t bp = fill ? pixelOf(brush->color) : 0;
  int64_t vl = t.visLeft(), vr = t.visRight();
  int64_t y0 = std::max(top, t.visTop()), y1 = std::min(bottom, t.visBottom());
  if ((!outline && !fill) || y0 >= y1 || vl >= vr) return;
  // The visible columns and one more on each side, where the outline test looks.
  auto load = [&](int64_t y, std::vector<Run>* runs) {
    runs->clear();
    if (y >= top && y < bottom) rowRuns(y, vl - 1, vr + 1, runs);
    normalise(runs);
  };
  std::vector<Run> prev, cur, next, shrunk, both, inside;
  load(y0 - 1, &prev);
  load(y0, &cur);
  for (int64_t y = y0; y < y1; ++y) {
    load(y + 1, &next);
    if (!outline) {
      for (const Run& r : cur) span(t, y, r.l, r.r, bp);
    } else {
      // Inside: the pixels with both row neighbours in their run and the pixels above and below
      // in the shape.
      shrunk.clear();
      for (const Run& r : cur)
        if (r.r - r.l > 2) shrunk.push_back(Run{r.l + 1, r.r - 1});
      intersect(shrunk, prev, &both);
      intersect(both, next, &inside);
      size_t k = 0;
      for (const Run& r : cur) {
        int64_t x = r.l;
        for (; k < inside.size() && inside[k].l < r.r; ++k) {
          span(t, y, x, inside[k].l, pp);
          if (fill) span(t, y, inside[k].l, inside[k].r, bp);
          x = inside[k].r;
        }
        span(t, y, x, r.r, pp);
      }
    }
    std::swap(prev, cur);
    std::swap(cur, next);
  }
}

}  // namespace rkgdi
