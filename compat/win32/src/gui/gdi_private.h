// Private structures of the graphics stand-in: GDI objects, device contexts and the raster
// target the drawing code works on.
#ifndef RKWIN_GDI_PRIVATE_H
#define RKWIN_GDI_PRIVATE_H

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace rkgdi {

enum class Kind : uint32_t { Pen = 0x47504e31, Brush, Bitmap, Font, DC, Region };

struct Object {
  explicit Object(Kind k) : kind(k) {}
  virtual ~Object() = default;
  Kind kind;
  int refs = 0;        // selections in DC states (current and saved)
  bool stock = false;  // never deleted
  bool pendingDelete = false;
};

struct Pen : Object {
  Pen() : Object(Kind::Pen) {}
  int style = PS_SOLID;
  int width = 1;
  COLORREF color = 0;
};

struct Brush : Object {
  Brush() : Object(Kind::Brush) {}
  COLORREF color = 0;
  bool hollow = false;
};

struct Bitmap : Object {
  Bitmap() : Object(Kind::Bitmap) {}
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;  // BGRX, top-down, stride width * 4
};

struct Font : Object {
  Font() : Object(Kind::Font) {}
  LOGFONTA lf{};
};

struct PointF {
  double x, y;
};

struct Figure {
  std::vector<PointF> pts;
  bool closed = false;
};

// Path bracket state: none, open (between BeginPath and EndPath), closed (ready to stroke/fill).
struct Path {
  enum State { None, Open, Closed } state = None;
  std::vector<Figure> figures;
  bool figureOpen = false;  // the last figure still takes LineTo points
};

struct DCState {
  Pen* pen = nullptr;
  Brush* brush = nullptr;
  Font* font = nullptr;
  Bitmap* bitmap = nullptr;  // memory DCs only
  COLORREF textColor = 0;
  COLORREF bkColor = 0xFFFFFF;
  int bkMode = OPAQUE;
  int fillMode = ALTERNATE;
  int stretchMode = BLACKONWHITE;
  POINT cur{0, 0};
  POINT viewportOrg{0, 0};  // device position of logical (0, 0)
  Path path;
};

struct DC : Object {
  enum Type { Memory, Surface, Screen };
  explicit DC(Type t) : Object(Kind::DC), type(t) {}
  Type type;
  DCState st;
  std::vector<DCState> saved;
  // Surface DCs: caller-owned pixels.
  uint8_t* bits = nullptr;
  int width = 0, height = 0, stride = 0;
  int originX = 0, originY = 0;
  RECT clip{0, 0, 0, 0};
  std::vector<RECT> holes;  // parts of the clip left untouched (surface pixels)
};

// Where drawing lands: pixels, the logical-to-surface offset and the clip (surface pixels).
struct Target {
  uint8_t* bits = nullptr;
  int stride = 0;
  int ox = 0, oy = 0;
  int cl = 0, ct = 0, cr = 0, cb = 0;
  // Rectangles inside the clip that stay untouched (surface pixels), e.g. the child windows a
  // window DC leaves out.
  const RECT* holes = nullptr;
  size_t holeCount = 0;
  bool empty() const { return cl >= cr || ct >= cb; }
  bool inHole(int sx, int sy) const {
    for (size_t i = 0; i < holeCount; ++i)
      if (sx >= holes[i].left && sx < holes[i].right && sy >= holes[i].top && sy < holes[i].bottom) return true;
    return false;
  }
  // Surface pixel (sx, sy) may be drawn.
  bool open(int sx, int sy) const { return sx >= cl && sy >= ct && sx < cr && sy < cb && !inHole(sx, sy); }
  // The clip in logical coordinates, [visLeft, visRight) x [visTop, visBottom); 64-bit so that
  // logical coordinates anywhere in the int range stay exact.
  int64_t visLeft() const { return int64_t(cl) - ox; }
  int64_t visTop() const { return int64_t(ct) - oy; }
  int64_t visRight() const { return int64_t(cr) - ox; }
  int64_t visBottom() const { return int64_t(cb) - oy; }
};

// The holes crossing surface row sy, as [left, right) pairs; empty for most rows.
void rowHoles(const Target& t, int sy, std::vector<std::pair<int, int>>* out);
inline bool inRowHoles(const std::vector<std::pair<int, int>>& row, int sx) {
  for (const auto& h : row)
    if (sx >= h.first && sx < h.second) return true;
  return false;
}

// Handle registry.
Object* lookup(const void* h, Kind k);
// Registers an object made outside this file (regions), so that DeleteObject frees it.
Object* adoptObject(Object* o);
DC* lookupDC(HDC hdc);
bool targetOf(DC* dc, Target& t);
// The pixels of a bitmap or of the surface behind a DC, for blits (whole surface, no offset).
bool surfaceOf(DC* dc, Target& t, int& width, int& height);
Pen* stockPen();
Brush* stockBrush();
Font* stockFont();

// Raster primitives (gdi_raster.cpp), in logical coordinates of the target.
// A colour as a surface pixel. GDI gives the fourth byte of a pixel it colours itself no meaning
// and writes 0 there, so drawing into a 32-bit bitmap clears whatever alpha the pixel had.
inline uint32_t pixelOf(COLORREF c) { return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu); }
// Drawing outside the target's clip is skipped, and every primitive does work in proportion to
// the part of its shape inside the clip, whatever the shape's own size.
void plot(const Target& t, int64_t x, int64_t y, uint32_t px);
void span(const Target& t, int64_t y, int64_t x0, int64_t x1, uint32_t px);  // x0 .. x1 - 1
void blendPixel(const Target& t, int x, int y, uint32_t px, int coverage);   // coverage 0..255
void thinLine(const Target& t, int x0, int y0, int x1, int y1, uint32_t px, bool last);
void wideLine(const Target& t, double x0, double y0, double x1, double y1, int width, uint32_t px);
void fillFigures(const Target& t, const std::vector<Figure>& figs, int fillMode, uint32_t px);

// A shape given row by row: the pixels [l, r) of row y (none when l >= r). Each row is one run
// of pixels, as for ellipses and rounded rectangles.
struct RowShape {
  int64_t top = 0, bottom = 0;  // rows outside [top, bottom) hold no pixels
  std::function<void(int64_t y, int64_t* l, int64_t* r)> row;
};
using PixelTest = std::function<bool(int64_t x, int64_t y)>;
// Draws a shape: pixels with a 4-neighbour outside it form the outline, drawn with the pen
// (unless null), the rest with the brush. With keepOutline set, only the outline pixels it
// accepts are drawn (arcs).
void drawRows(const Target& t, const RowShape& s, const Pen* pen, const Brush* brush,
              const PixelTest* keepOutline = nullptr);
// A shape whose rows may hold several runs (pies: a sector of an ellipse). rowRuns(y, l, r, out)
// lists the runs of row y within columns [l, r), left to right.
struct Run {
  int64_t l, r;
};
using RowRuns = std::function<void(int64_t y, int64_t l, int64_t r, std::vector<Run>* out)>;
// Draws it as drawRows does.
void drawRunRows(const Target& t, int64_t top, int64_t bottom, const RowRuns& rowRuns, const Pen* pen,
                 const Brush* brush);

// Text (gdi_text.cpp).
std::u32string ansiToUnicode(const char* s, int len);
bool fontMetrics(DC* dc, TEXTMETRICA* tm);
// Width of each character in turn, and the line height.
bool measureText(DC* dc, const std::u32string& text, std::vector<int>* advances, SIZE* size);
// Draws a line of text with its cell's top-left at (x, y) in the text colour given, clipped to
// clip (logical coordinates; null: no extra clip). Underlines character underlineAt (-1: none).
// Fills the cell with the background colour when opaque is set.
bool drawText(DC* dc, int x, int y, const std::u32string& text, COLORREF color, const RECT* clip, int underlineAt,
              bool opaque);

}  // namespace rkgdi

#endif
