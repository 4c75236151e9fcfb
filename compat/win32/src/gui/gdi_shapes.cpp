// Lines, shapes and paths. Shapes drawn while a path bracket is open go into the path instead of
// onto the surface, as Windows does.
#include "gdi_private.h"

#include <algorithm>
#include <cmath>

using namespace rkgdi;

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Box {
  int l, t, r, b;
};

// Rectangles are taken with their corners in either order.
Box normalise(int l, int t, int r, int b) {
  return Box{std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b)};
}

bool drawablePen(const Pen* p) { return p && p->style != PS_NULL; }

// Strokes a polyline with the DC's pen: thin pens leave out the last point, wide pens have
// round caps and joins.
void strokePoints(const Target& t, const Pen* pen, const std::vector<PointF>& pts, bool closed) {
  if (!drawablePen(pen) || pts.empty()) return;
  uint32_t px = pixelOf(pen->color);
  size_t n = pts.size();
  size_t segs = closed ? n : n - 1;
  for (size_t i = 0; i < segs; ++i) {
    PointF a = pts[i], b = pts[(i + 1) % n];
    if (pen->width > 1)
      wideLine(t, a.x, a.y, b.x, b.y, pen->width, px);
    else
      thinLine(t, int(std::lround(a.x)), int(std::lround(a.y)), int(std::lround(b.x)), int(std::lround(b.y)), px,
               false);
  }
  if (n == 1 && pen->width > 1) wideLine(t, pts[0].x, pts[0].y, pts[0].x, pts[0].y, pen->width, px);
}

bool pathOpen(DC* dc) { return dc->st.path.state == Path::Open; }

void pathLineTo(DC* dc, double x, double y) {
  Path& p = dc->st.path;
  if (!p.figureOpen) {
    p.figures.push_back(Figure{{PointF{double(dc->st.cur.x), double(dc->st.cur.y)}}, false});
    p.figureOpen = true;
  }
  p.figures.back().pts.push_back(PointF{x, y});
}

void pathAddClosed(DC* dc, std::vector<PointF> pts) {
  dc->st.path.figures.push_back(Figure{std::move(pts), true});
  dc->st.path.figureOpen = false;
}

double centreX(const Box& bx) { return (double(bx.l) + bx.r) / 2.0; }
double centreY(const Box& bx) { return (double(bx.t) + bx.b) / 2.0; }
int64_t widthOf(const Box& bx) { return int64_t(bx.r) - bx.l; }
int64_t heightOf(const Box& bx) { return int64_t(bx.b) - bx.t; }

// Points around an ellipse through pixel corners, counter-clockwise from angle a0 by sweep.
std::vector<PointF> ellipsePoints(const Box& bx, double a0, double sweep) {
  double cx = centreX(bx), cy = centreY(bx);
  double rx = widthOf(bx) / 2.0, ry = heightOf(bx) / 2.0;
  int n = int(std::clamp((rx + ry) * std::fabs(sweep) / 2, 8.0, 720.0));
  std::vector<PointF> v;
  for (int i = 0; i <= n; ++i) {
    double a = a0 + sweep * i / n;
    v.push_back(PointF{cx + rx * std::cos(a), cy - ry * std::sin(a)});
  }
  return v;
}

// The column whose pixel centre lies nearest the middle of the box (the left one of two).
int64_t middleColumn(const Box& bx) {
  int64_t s = int64_t(bx.l) + bx.r - 1;
  return s >= 0 ? s / 2 : -((1 - s) / 2);
}

// First x in [lo, hi] where pred holds, pred being false up to some x and true from there;
// hi + 1 when it never holds.
template <class Pred>
int64_t firstTrue(int64_t lo, int64_t hi, Pred pred) {
  while (lo <= hi) {
    int64_t mid = lo + (hi - lo) / 2;
    if (pred(mid))
      hi = mid - 1;
    else
      lo = mid + 1;
  }
  return lo;
}

// As firstTrue, looking first near hint and widening the search from there: cheap when the
// answer lies close to it.
template <class Pred>
int64_t firstTrueNear(int64_t lo, int64_t hi, int64_t hint, Pred pred) {
  if (lo > hi) return lo;
  hint = std::clamp(hint, lo, hi);
  if (pred(hint)) {
    // The answer is hint or left of it.
    int64_t step = 1, last = hint;
    while (last - step >= lo && pred(last - step)) {
      last -= step;
      step *= 2;
    }
    return firstTrue(std::max(lo, last - step + 1), last - 1, pred);
  }
  int64_t step = 1, first = hint;  // pred fails at first
  while (first + step <= hi && !pred(first + step)) {
    first += step;
    step *= 2;
  }
  return firstTrue(first + 1, std::min(hi, first + step), pred);
}

// A shape symmetric about the box's vertical middle whose rows are single runs: in(x, y) tells
// the pixels of the shape, holding on a run around the middle column of each row. Each row's
// left end is found by bisection, the right end is its mirror image.
template <class In>
RowShape symmetricRows(const Box& bx, In in) {
  RowShape s;
  s.top = bx.t;
  s.bottom = bx.b;
  s.row = [bx, in](int64_t y, int64_t* l, int64_t* r) {
    int64_t mid = middleColumn(bx);
    if (!in(mid, y)) return;
    *l = firstTrue(bx.l, mid, [&](int64_t x) { return in(x, y); });
    *r = int64_t(bx.l) + bx.r - *l;
  };
  return s;
}

// The pixels whose centre lies in the ellipse inscribed in the box.
RowShape ellipseRows(const Box& bx) {
  double cx = centreX(bx), cy = centreY(bx);
  double rx = widthOf(bx) / 2.0, ry = heightOf(bx) / 2.0;
  return symmetricRows(bx, [=](int64_t x, int64_t y) {
    double dx = (double(x) + 0.5 - cx) / rx, dy = (double(y) + 0.5 - cy) / ry;
    return dx * dx + dy * dy <= 1.0 + 1e-9;
  });
}

double radialAngle(const Box& bx, double x, double y) {
  double cx = centreX(bx), cy = centreY(bx);
  return std::atan2(-(y - cy), x - cx);
}

// Counter-clockwise sweep from the start radial to the end radial; equal radials: full turn.
double sweepOf(double a0, double a1) {
  double s = std::fmod(a1 - a0 + 4 * kPi, 2 * kPi);
  return s < 1e-12 ? 2 * kPi : s;
}

bool inSweep(double a, double a0, double sweep) {
  double d = std::fmod(a - a0 + 4 * kPi, 2 * kPi);
  return d <= sweep + 1e-9 || d >= 2 * kPi - 1e-9;
}

}  // namespace

BOOL WINAPI MoveToEx(HDC hdc, int x, int y, LPPOINT lppt) {
  DC* dc = lookupDC(hdc);
  if (!dc) return FALSE;
  if (lppt) *lppt = dc->st.cur;
  dc->st.cur = POINT{x, y};
  if (pathOpen(dc)) dc->st.path.figureOpen = false;
  return TRUE;
}

BOOL WINAPI LineTo(HDC hdc, int x, int y) {
  DC* dc = lookupDC(hdc);
  if (!dc) return FALSE;
  if (pathOpen(dc)) {
    pathLineTo(dc, x, y);
  } else {
    Target t;
    if (targetOf(dc, t))
      strokePoints(t, dc->st.pen, {PointF{double(dc->st.cur.x), double(dc->st.cur.y)}, PointF{double(x), double(y)}},
                   false);
  }
  dc->st.cur = POINT{x, y};
  return TRUE;
}

BOOL WINAPI PolylineTo(HDC hdc, const POINT* apt, DWORD cpt) {
  DC* dc = lookupDC(hdc);
  if (!dc || (!apt && cpt)) return FALSE;
  for (DWORD i = 0; i < cpt; ++i) LineTo(hdc, apt[i].x, apt[i].y);
  return TRUE;
}

namespace {

// The flattened curve of apt[0 .. cpt) (three points a segment) starting at start, without start.
std::vector<PointF> bezierPoints(PointF start, const POINT* apt, DWORD cpt) {
  std::vector<PointF> pts;
  PointF p0 = start;
  for (DWORD i = 0; i + 2 < cpt; i += 3) {
    PointF p1{double(apt[i].x), double(apt[i].y)};
    PointF p2{double(apt[i + 1].x), double(apt[i + 1].y)}, p3{double(apt[i + 2].x), double(apt[i + 2].y)};
    double len = std::hypot(p1.x - p0.x, p1.y - p0.y) + std::hypot(p2.x - p1.x, p2.y - p1.y) +
                 std::hypot(p3.x - p2.x, p3.y - p2.y);
    int n = int(std::clamp(len / 3, 4.0, 256.0));
    for (int k = 1; k <= n; ++k) {
      double s = double(k) / n, u = 1 - s;
      pts.push_back(PointF{u * u * u * p0.x + 3 * u * u * s * p1.x + 3 * u * s * s * p2.x + s * s * s * p3.x,
                           u * u * u * p0.y + 3 * u * u * s * p1.y + 3 * u * s * s * p2.y + s * s * s * p3.y});
    }
    p0 = p3;
  }
  return pts;
}

// Strokes a flattened curve ending on last, which is drawn too.
void strokeCurve(DC* dc, const std::vector<PointF>& pts, POINT last) {
  Target t;
  if (!targetOf(dc, t)) return;
  strokePoints(t, dc->st.pen, pts, false);
  if (drawablePen(dc->st.pen) && dc->st.pen->width <= 1) plot(t, last.x, last.y, pixelOf(dc->st.pen->color));
}

}  // namespace

BOOL WINAPI PolyBezier(HDC hdc, const POINT* apt, DWORD cpt) {
  DC* dc = lookupDC(hdc);
  if (!dc || !apt || cpt < 1 || (cpt - 1) % 3 != 0) return FALSE;
  std::vector<PointF> pts{PointF{double(apt[0].x), double(apt[0].y)}};
  std::vector<PointF> curve = bezierPoints(pts[0], apt + 1, cpt - 1);
  pts.insert(pts.end(), curve.begin(), curve.end());
  if (pathOpen(dc)) {
    dc->st.path.figures.push_back(Figure{pts, false});
    dc->st.path.figureOpen = false;
    return TRUE;
  }
  strokeCurve(dc, pts, apt[cpt - 1]);
  return TRUE;
}

BOOL WINAPI PolyBezierTo(HDC hdc, const POINT* apt, DWORD cpt) {
  DC* dc = lookupDC(hdc);
  if (!dc || !apt || cpt % 3 != 0) return FALSE;
  if (cpt == 0) return TRUE;
  PointF start{double(dc->st.cur.x), double(dc->st.cur.y)};
  std::vector<PointF> curve = bezierPoints(start, apt, cpt);
  if (pathOpen(dc)) {
    // The curve goes on from the current position within the figure being built.
    for (const PointF& p : curve) pathLineTo(dc, p.x, p.y);
  } else {
    curve.insert(curve.begin(), start);
    strokeCurve(dc, curve, apt[cpt - 1]);
  }
  dc->st.cur = apt[cpt - 1];
  return TRUE;
}

BOOL WINAPI GetCurrentPositionEx(HDC hdc, LPPOINT lppt) {
  DC* dc = lookupDC(hdc);
  if (!dc || !lppt) return FALSE;
  *lppt = dc->st.cur;
  return TRUE;
}

BOOL WINAPI Rectangle(HDC hdc, int left, int top, int right, int bottom) {
  DC* dc = lookupDC(hdc);
  if (!dc) return FALSE;
  Box bx = normalise(left, top, right, bottom);
  if (pathOpen(dc)) {
    pathAddClosed(dc, {PointF{double(bx.l), double(bx.t)}, PointF{double(bx.r - 1), double(bx.t)},
                       PointF{double(bx.r - 1), double(bx.b - 1)}, PointF{double(bx.l), double(bx.b - 1)}});
    return TRUE;
  }
  Target t;
  if (!targetOf(dc, t) || bx.r <= bx.l || bx.b <= bx.t) return TRUE;
  const Pen* pen = dc->st.pen;
  const Brush* br = dc->st.brush;
  // Only the rows inside the clip are walked.
  int64_t vt = t.visTop(), vb = t.visBottom();
  auto rows = [&](int64_t from, int64_t to, int64_t l, int64_t r, uint32_t px) {
    for (int64_t y = std::max(from, vt), e = std::min(to, vb); y < e; ++y) span(t, y, l, r, px);
  };
  if (!drawablePen(pen)) {
    // Without an outline the filled area is one pixel smaller on the right and bottom.
    if (br && !br->hollow) rows(bx.t, int64_t(bx.b) - 1, bx.l, int64_t(bx.r) - 1, pixelOf(br->color));
    return TRUE;
  }
  if (br && !br->hollow)
    rows(int64_t(bx.t) + 1, int64_t(bx.b) - 1, int64_t(bx.l) + 1, int64_t(bx.r) - 1, pixelOf(br->color));
  uint32_t pp = pixelOf(pen->color);
  span(t, bx.t, bx.l, bx.r, pp);
  span(t, int64_t(bx.b) - 1, bx.l, bx.r, pp);
  rows(int64_t(bx.t) + 1, int64_t(bx.b) - 1, bx.l, int64_t(bx.l) + 1, pp);
  rows(int64_t(bx.t) + 1, int64_t(bx.b) - 1, int64_t(bx.r) - 1, bx.r, pp);
  return TRUE;
}

BOOL WINAPI RoundRect(HDC hdc, int left, int top, int right, int bottom, int width, int height) {
  DC* dc = lookupDC(hdc);
  if (!dc) return FALSE;
  Box bx = normalise(left, top, right, bottom);
  int64_t ew = std::min<int64_t>(std::llabs(width), widthOf(bx)),
          eh = std::min<int64_t>(std::llabs(height), heightOf(bx));
  if (ew <= 1 || eh <= 1) return Rectangle(hdc, bx.l, bx.t, bx.r, bx.b);
  if (pathOpen(dc)) {
    double rx = ew / 2.0, ry = eh / 2.0;
    std::vector<PointF> pts;
    auto corner = [&](double cx, double cy, double a0) {
      for (int i = 0; i <= 16; ++i) {
        double a = a0 + kPi / 2 * i / 16;
        pts.push_back(PointF{cx + rx * std::cos(a), cy - ry * std::sin(a)});
      }
    };
    corner(bx.r - rx, bx.t + ry, 0);
    corner(bx.l + rx, bx.t + ry, kPi / 2);
    corner(bx.l + rx, bx.b - ry, kPi);
    corner(bx.r - rx, bx.b - ry, 3 * kPi / 2);
    pathAddClosed(dc, std::move(pts));
    return TRUE;
  }
  Target t;
  if (!targetOf(dc, t) || bx.r <= bx.l || bx.b <= bx.t) return TRUE;
  // Pixels whose centre lies within the rectangle with its corners cut by quarter ellipses of
  // ew x eh.
  double rx = ew / 2.0, ry = eh / 2.0;
  double cxl = bx.l + rx, cxr = bx.r - rx, cyt = bx.t + ry, cyb = bx.b - ry;
  RowShape rows = symmetricRows(bx, [=](int64_t x, int64_t y) {
    double py = double(y) + 0.5, px = double(x) + 0.5;
    double cy = py < cyt ? cyt : (py > cyb ? cyb : py);
    double cx = px < cxl ? cxl : (px > cxr ? cxr : px);
    double dx = (px - cx) / rx, dy = (py - cy) / ry;
    return dx * dx + dy * dy <= 1.0 + 1e-9;
  });
  drawRows(t, rows, dc->st.pen, dc->st.brush);
  return TRUE;
}

BOOL WINAPI Ellipse(HDC hdc, int left, int top, int right, int bottom) {
  DC* dc = lookupDC(hdc);
  if (!dc) return FALSE;
  Box bx = normalise(left, top, right, bottom);
  if (pathOpen(dc)) {
    std::vector<PointF> pts = ellipsePoints(bx, 0, 2 * kPi);
    pts.pop_back();
    pathAddClosed(dc, std::move(pts));
    return TRUE;
  }
  Target t;
  if (!targetOf(dc, t) || bx.r <= bx.l || bx.b <= bx.t) return TRUE;
  drawRows(t, ellipseRows(bx), dc->st.pen, dc->st.brush);
  return TRUE;
}

BOOL WINAPI Arc(HDC hdc, int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  DC* dc = lookupDC(hdc);
  if (!dc) return FALSE;
  Box bx = normalise(x1, y1, x2, y2);
  double a0 = radialAngle(bx, x3, y3), sweep = sweepOf(a0, radialAngle(bx, x4, y4));
  if (pathOpen(dc)) {
    dc->st.path.figures.push_back(Figure{ellipsePoints(bx, a0, sweep), false});
    dc->st.path.figureOpen = false;
    return TRUE;
  }
  Target t;
  if (!targetOf(dc, t) || bx.r <= bx.l || bx.b <= bx.t || !drawablePen(dc->st.pen)) return TRUE;
  // The ellipse's outline pixels whose centre lies within the sweep.
  PixelTest keep = [&](int64_t x, int64_t y) { return inSweep(radialAngle(bx, x + 0.5, y + 0.5), a0, sweep); };
  drawRows(t, ellipseRows(bx), dc->st.pen, nullptr, &keep);
  return TRUE;
}

BOOL WINAPI Pie(HDC hdc, int left, int top, int right, int bottom, int xr1, int yr1, int xr2, int yr2) {
  DC* dc = lookupDC(hdc);
  if (!dc) return FALSE;
  Box bx = normalise(left, top, right, bottom);
  double a0 = radialAngle(bx, xr1, yr1), sweep = sweepOf(a0, radialAngle(bx, xr2, yr2));
  if (pathOpen(dc)) {
    std::vector<PointF> pts = ellipsePoints(bx, a0, sweep);
    pts.push_back(PointF{centreX(bx), centreY(bx)});
    pathAddClosed(dc, std::move(pts));
    return TRUE;
  }
  Target t;
  if (!targetOf(dc, t) || bx.r <= bx.l || bx.b <= bx.t) return TRUE;
  RowShape rows = ellipseRows(bx);
  if (sweep >= 2 * kPi) {
    drawRows(t, rows, dc->st.pen, dc->st.brush);
    return TRUE;
  }
  // The pixels of the ellipse whose centre lies within the sweep, and the one holding the
  // centre, which always belongs to the pie. Along a row the angle only grows or only shrinks,
  // so the sweep test changes at a few columns, found by bisection: class() numbers the turn
  // of the angle and its place before, in or after the gap of the sweep, growing with the angle.
  double cx = centreX(bx), cy = centreY(bx);
  auto cls = [&](int64_t x, double py) {
    double a = radialAngle(bx, double(x) + 0.5, py);
    double turn = a - a0 + 4 * kPi, d = std::fmod(turn, 2 * kPi);
    int place = d <= sweep + 1e-9 ? 0 : (d >= 2 * kPi - 1e-9 ? 2 : 1);
    return 3 * std::llround((turn - d) / (2 * kPi)) + place;
  };
  RowShape ellipse = ellipseRows(bx);
  // Where the class changed on the row before: the changes move little from row to row.
  std::vector<int64_t> changes, hints;
  RowRuns runs = [&](int64_t y, int64_t wl, int64_t wr, std::vector<Run>* out) {
    int64_t el = 0, er = 0;
    ellipse.row(y, &el, &er);
    int64_t a = std::max(el, wl), b = std::min(er, wr);
    if (a >= b) return;
    double py = double(y) + 0.5;
    hints.swap(changes);
    changes.clear();
    for (int64_t x = a; x < b;) {
      int64_t c = cls(x, py);
      auto differs = [&](int64_t v) { return cls(v, py) != c; };
      size_t n = changes.size();
      int64_t end =
          n < hints.size() ? firstTrueNear(x + 1, b - 1, hints[n], differs) : firstTrue(x + 1, b - 1, differs);
      if (c % 3 != 1) out->push_back(Run{x, end});
      changes.push_back(end);
      x = end;
    }
    if (std::fabs(py - cy) <= 0.5)
      for (int64_t x = int64_t(std::floor(cx)) - 1; x <= int64_t(std::floor(cx)) + 1; ++x)
        if (x >= a && x < b && std::fabs(double(x) + 0.5 - cx) <= 0.5) out->push_back(Run{x, x + 1});
  };
  drawRunRows(t, bx.t, bx.b, runs, dc->st.pen, dc->st.brush);
  return TRUE;
}

BOOL WINAPI Polygon(HDC hdc, const POINT* apt, int cpt) {
  DC* dc = lookupDC(hdc);
  if (!dc || !apt || cpt < 2) return FALSE;
  std::vector<PointF> pts;
  for (int i = 0; i < cpt; ++i) pts.push_back(PointF{double(apt[i].x), double(apt[i].y)});
  if (pathOpen(dc)) {
    pathAddClosed(dc, std::move(pts));
    return TRUE;
  }
  Target t;
  if (!targetOf(dc, t)) return TRUE;
  const Brush* br = dc->st.brush;
  if (br && !br->hollow) fillFigures(t, {Figure{pts, true}}, dc->st.fillMode, pixelOf(br->color));
  strokePoints(t, dc->st.pen, pts, true);
  return TRUE;
}

BOOL WINAPI PolyPolygon(HDC hdc, const POINT* apt, const INT* asz, int csz) {
  DC* dc = lookupDC(hdc);
  if (!dc || !apt || !asz || csz < 1) return FALSE;
  std::vector<Figure> figures;
  const POINT* p = apt;
  for (int i = 0; i < csz; ++i) {
    if (asz[i] < 2) return FALSE;
    Figure f{{}, true};
    for (int k = 0; k < asz[i]; ++k, ++p) f.pts.push_back(PointF{double(p->x), double(p->y)});
    figures.push_back(std::move(f));
  }
  if (pathOpen(dc)) {
    for (Figure& f : figures) pathAddClosed(dc, std::move(f.pts));
    return TRUE;
  }
  Target t;
  if (!targetOf(dc, t)) return TRUE;
  // All polygons are filled together, so that one inside another is a hole under ALTERNATE.
  const Brush* br = dc->st.brush;
  if (br && !br->hollow) fillFigures(t, figures, dc->st.fillMode, pixelOf(br->color));
  for (const Figure& f : figures) strokePoints(t, dc->st.pen, f.pts, true);
  return TRUE;
}

COLORREF WINAPI SetPixel(HDC hdc, int x, int y, COLORREF color) {
  DC* dc = lookupDC(hdc);
  Target t;
  if (!dc || !targetOf(dc, t)) return CLR_INVALID;
  int sx = x + t.ox, sy = y + t.oy;
  if (!t.open(sx, sy)) return CLR_INVALID;
  plot(t, x, y, pixelOf(color));
  return color & 0xFFFFFF;
}

COLORREF WINAPI GetPixel(HDC hdc, int x, int y) {
  DC* dc = lookupDC(hdc);
  Target t;
  if (!dc || !targetOf(dc, t)) return CLR_INVALID;
  int sx = x + t.ox, sy = y + t.oy;
  if (sx < t.cl || sy < t.ct || sx >= t.cr || sy >= t.cb) return CLR_INVALID;
  const uint8_t* p = t.bits + size_t(sy) * size_t(t.stride) + size_t(sx) * 4;
  return RGB(p[2], p[1], p[0]);
}

// Paths.

BOOL WINAPI BeginPath(HDC hdc) {
  DC* dc = lookupDC(hdc);
  if (!dc) return FALSE;
  dc->st.path = Path{};
  dc->st.path.state = Path::Open;
  return TRUE;
}

BOOL WINAPI EndPath(HDC hdc) {
  DC* dc = lookupDC(hdc);
  if (!dc || dc->st.path.state != Path::Open) return FALSE;
  dc->st.path.state = Path::Closed;
  dc->st.path.figureOpen = false;
  return TRUE;
}

namespace {

// Stroke and/or fill the closed path with the DC's pen and brush, then discard it.
BOOL renderPath(HDC hdc, bool fill, bool stroke) {
  DC* dc = lookupDC(hdc);
  if (!dc || dc->st.path.state != Path::Closed) return FALSE;
  Path path = std::move(dc->st.path);
  dc->st.path = Path{};
  Target t;
  if (!targetOf(dc, t)) return TRUE;
  const Brush* br = dc->st.brush;
  if (fill && br && !br->hollow) fillFigures(t, path.figures, dc->st.fillMode, pixelOf(br->color));
  if (stroke)
    for (const Figure& f : path.figures) strokePoints(t, dc->st.pen, f.pts, f.closed || fill);
  return TRUE;
}

}  // namespace

BOOL WINAPI CloseFigure(HDC hdc) {
  DC* dc = lookupDC(hdc);
  if (!dc || !pathOpen(dc)) return FALSE;
  Path& p = dc->st.path;
  if (!p.figures.empty() && p.figureOpen) {
    p.figures.back().closed = true;
    // A line drawn next starts a new figure at the current position.
    p.figureOpen = false;
  }
  return TRUE;
}

BOOL WINAPI AbortPath(HDC hdc) {
  DC* dc = lookupDC(hdc);
  if (!dc) return FALSE;
  dc->st.path = Path{};
  return TRUE;
}

BOOL WINAPI StrokePath(HDC hdc) { return renderPath(hdc, false, true); }
BOOL WINAPI FillPath(HDC hdc) { return renderPath(hdc, true, false); }
BOOL WINAPI StrokeAndFillPath(HDC hdc) { return renderPath(hdc, true, true); }
