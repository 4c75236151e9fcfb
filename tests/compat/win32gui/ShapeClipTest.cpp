// Shapes reaching past the bitmap: the part inside is drawn exactly as it would be on a bitmap
// holding the whole shape, and boxes up to the whole coordinate range draw in time bounded by
// the bitmap, not by the box.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <functional>
#include <vector>

#include "../../../compat/win32/src/gui/gdi_internal.h"
#include "GdiTestSupport.h"

namespace {

using Draw = std::function<void(HDC dc, int dx, int dy)>;

struct Case {
  const char* name;
  int penWidth;
  Draw draw;
};

// Every shape kind, placed inside [10, 70) x [10, 70) when drawn at offset (0, 0).
std::vector<Case> shapes() {
  return {
      {"ellipse", 1, [](HDC dc, int dx, int dy) { Ellipse(dc, 10 + dx, 12 + dy, 67 + dx, 61 + dy); }},
      {"roundrect", 1, [](HDC dc, int dx, int dy) { RoundRect(dc, 10 + dx, 10 + dy, 70 + dx, 55 + dy, 25, 17); }},
      {"arc", 1,
       [](HDC dc, int dx, int dy) { Arc(dc, 10 + dx, 10 + dy, 69 + dx, 60 + dy, 70 + dx, 0 + dy, 0 + dx, 70 + dy); }},
      {"pie", 1,
       [](HDC dc, int dx, int dy) { Pie(dc, 11 + dx, 10 + dy, 70 + dx, 70 + dy, 20 + dx, 70 + dy, 70 + dx, 35 + dy); }},
      {"rectangle", 1, [](HDC dc, int dx, int dy) { Rectangle(dc, 12 + dx, 10 + dy, 66 + dx, 69 + dy); }},
      {"lines", 1,
       [](HDC dc, int dx, int dy) {
         POINT p[] = {{69 + dx, 23 + dy}, {11 + dx, 67 + dy}, {40 + dx, 10 + dy}, {41 + dx, 69 + dy}};
         MoveToEx(dc, 10 + dx, 11 + dy, nullptr);
         PolylineTo(dc, p, 4);
       }},
      {"wide lines", 5,
       [](HDC dc, int dx, int dy) {
         POINT p[] = {{66 + dx, 25 + dy}, {14 + dx, 64 + dy}, {40 + dx, 14 + dy}};
         MoveToEx(dc, 14 + dx, 15 + dy, nullptr);
         PolylineTo(dc, p, 3);
       }},
      {"polygon", 2,
       [](HDC dc, int dx, int dy) {
         POINT p[] = {
             {12 + dx, 12 + dy}, {68 + dx, 30 + dy}, {20 + dx, 68 + dy}, {40 + dx, 11 + dy}, {60 + dx, 66 + dy}};
         Polygon(dc, p, 5);
       }},
      {"path", 3,
       [](HDC dc, int dx, int dy) {
         BeginPath(dc);
         Ellipse(dc, 12 + dx, 12 + dy, 68 + dx, 50 + dy);
         Pie(dc, 12 + dx, 30 + dy, 68 + dx, 68 + dy, 68 + dx, 50 + dy, 12 + dx, 50 + dy);
         EndPath(dc);
         StrokeAndFillPath(dc);
       }},
  };
}

double millisecondsFor(const std::function<void()>& f) {
  auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

TEST(ShapeClip, PartInsideTheBitmapMatchesTheWholeShape) {
  for (const Case& s : shapes()) {
    Canvas whole(80, 80);
    {
      Tools t(whole.dc, kRed, kBlue, s.penWidth);
      s.draw(whole.dc, 0, 0);
    }
    ASSERT_GT(whole.countNot(kWhite, 0, 0, 80, 80), 50) << s.name;
    // The small bitmap shows [ox, ox + 30) x [oy, oy + 25) of the whole one.
    for (int ox : {0, 7, 25, 45, 55})
      for (int oy : {0, 9, 30, 60}) {
        Canvas part(30, 25);
        {
          Tools t(part.dc, kRed, kBlue, s.penWidth);
          s.draw(part.dc, -ox, -oy);
        }
        int wrong = 0;
        for (int y = 0; y < 25; ++y)
          for (int x = 0; x < 30; ++x)
            if (part.at(x, y) != (ox + x < 80 && oy + y < 80 ? whole.at(ox + x, oy + y) : kWhite)) ++wrong;
        EXPECT_EQ(wrong, 0) << s.name << " at " << ox << "," << oy;
      }
  }
}

TEST(ShapeClip, SurfaceClipAndOriginShowTheSamePixels) {
  // A surface DC whose logical origin sits at surface (-40, -30), clipped to part of it: the
  // shapes land where the memory DC put them, and nothing outside the clip changes.
  for (const Case& s : shapes()) {
    Canvas whole(80, 80);
    {
      Tools t(whole.dc, kRed, kBlue, s.penWidth);
      s.draw(whole.dc, 0, 0);
    }
    std::vector<uint32_t> px(50 * 40, 0x00FFFFFFu);
    RECT clip{5, 4, 45, 36};
    HDC dc = rkgdi::CreateSurfaceDC(px.data(), 50, 40, 200, -40, -30, &clip);
    ASSERT_NE(dc, nullptr);
    {
      Tools t(dc, kRed, kBlue, s.penWidth);
      s.draw(dc, 0, 0);
    }
    rkgdi::ReleaseSurfaceDC(dc);
    int wrong = 0;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 50; ++x) {
        uint32_t p = px[size_t(y) * 50 + x];
        COLORREF got = RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
        bool inClip = x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom;
        COLORREF want = inClip && x + 40 < 80 && y + 30 < 80 ? whole.at(x + 40, y + 30) : kWhite;
        if (got != want) ++wrong;
      }
    EXPECT_EQ(wrong, 0) << s.name;
  }
}

TEST(ShapeClip, HugeShapesShowTheirKnownVisiblePart) {
  const int R = 1 << 28;
  {
    // A circle whose left extreme lies at column 20: across 64 rows its outline is straight.
    Canvas c(64, 64);
    Tools t(c.dc, kRed, kBlue);
    EXPECT_TRUE(Ellipse(c.dc, 20, 32 - R, 20 + 2 * R, 32 + R));
    EXPECT_EQ(c.countNot(kWhite, 0, 0, 20, 64), 0);
    EXPECT_EQ(c.countNot(kRed, 20, 0, 21, 64), 0);
    EXPECT_EQ(c.countNot(kBlue, 21, 0, 64, 64), 0);
  }
  {
    // The left half of the same circle's outline; the right half misses the bitmap.
    Canvas c(64, 64);
    Tools t(c.dc, kRed, kBlue);
    EXPECT_TRUE(Arc(c.dc, 20, 32 - R, 20 + 2 * R, 32 + R, R, 0, R, 64));
    EXPECT_EQ(c.countNot(kRed, 20, 0, 21, 64), 0);
    EXPECT_EQ(c.countNotOutside(kWhite, 20, 0, 21, 64), 0);
    Canvas d(64, 64);
    Tools u(d.dc, kRed, kBlue);
    EXPECT_TRUE(Arc(d.dc, 20, 32 - R, 20 + 2 * R, 32 + R, R, 64, R, 0));
    EXPECT_EQ(d.countNot(kWhite, 0, 0, 64, 64), 0);
  }
  {
    // The upper right quarter of a pie centred on the bitmap's middle pixel corner.
    Canvas c(64, 64);
    Tools t(c.dc, kBlack, kGreen);
    EXPECT_TRUE(Pie(c.dc, 32 - R, 32 - R, 32 + R, 32 + R, 64, 32, 32, 0));
    EXPECT_EQ(c.countNot(kGreen, 33, 0, 64, 31), 0);
    EXPECT_EQ(c.countNot(kBlack, 33, 31, 64, 32), 0);  // the east radial
    EXPECT_EQ(c.countNot(kBlack, 32, 0, 33, 31), 0);   // the north radial
    // The four pixels touching the centre belong to the pie; one of them is inside it.
    EXPECT_EQ(c.at(32, 31), kGreen);
    EXPECT_EQ(c.countNot(kBlack, 31, 31, 33, 33), 1);
    EXPECT_EQ(c.countNot(kWhite, 0, 0, 31, 64), 0);
    EXPECT_EQ(c.countNot(kWhite, 0, 33, 64, 64), 0);
  }
  {
    // A rounded rectangle whose straight top edge crosses the bitmap at row 10.
    Canvas c(64, 64);
    Tools t(c.dc, kRed, kBlue);
    EXPECT_TRUE(RoundRect(c.dc, -R, 10, R, 2 * R, 1000, 1000));
    EXPECT_EQ(c.countNot(kWhite, 0, 0, 64, 10), 0);
    EXPECT_EQ(c.countNot(kRed, 0, 10, 64, 11), 0);
    EXPECT_EQ(c.countNot(kBlue, 0, 11, 64, 64), 0);
  }
  {
    // Lines spanning the whole coordinate range: the main diagonal, a row, and a slope of one
    // half (step k from the start lands half of k rounded up).
    Canvas c(64, 64);
    Tools t(c.dc, kRed, kBlue);
    MoveToEx(c.dc, INT_MIN, INT_MIN, nullptr);
    LineTo(c.dc, INT_MAX, INT_MAX);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(c.at(i, i), kRed) << i;
    EXPECT_EQ(c.countNot(kWhite, 0, 0, 64, 64), 64);
    Canvas h(64, 64);
    Tools u(h.dc, kRed, kBlue);
    MoveToEx(h.dc, INT_MAX, 7, nullptr);
    LineTo(h.dc, INT_MIN, 7);
    EXPECT_EQ(h.countNot(kRed, 0, 7, 64, 8), 0);
    EXPECT_EQ(h.countNotOutside(kWhite, 0, 7, 64, 8), 0);
    Canvas s(64, 64);
    Tools v(s.dc, kRed, kBlue);
    MoveToEx(s.dc, -2000000000, -1000000000, nullptr);
    LineTo(s.dc, 2000000000, 1000000000);
    for (int x = 0; x < 64; ++x) EXPECT_EQ(s.at(x, (x + 1) / 2), kRed) << x;
    EXPECT_EQ(s.countNot(kWhite, 0, 0, 64, 64), 64);
  }
  {
    // A wide pen along a row across the whole range covers five rows of the bitmap.
    Canvas c(64, 64);
    Tools t(c.dc, kRed, kBlue, 5);
    MoveToEx(c.dc, INT_MIN, 20, nullptr);
    LineTo(c.dc, INT_MAX, 20);
    EXPECT_EQ(c.countNot(kRed, 0, 18, 64, 23), 0);
    EXPECT_EQ(c.countNotOutside(kWhite, 0, 18, 64, 23), 0);
  }
}

TEST(ShapeClip, HugeBoxesDrawInTimeBoundedByTheBitmap) {
  const int H = 1 << 30;
  struct Huge {
    const char* name;
    bool reaches;  // some of it lies on the bitmap
    std::function<void(HDC)> draw;
  };
  std::vector<Huge> cases = {
      {"ellipse", true, [](HDC dc) { Ellipse(dc, INT_MIN, INT_MIN, INT_MAX, INT_MAX); }},
      {"ellipse edge", true, [=](HDC dc) { Ellipse(dc, 30, -H, INT_MAX, H); }},
      {"roundrect", true, [](HDC dc) { RoundRect(dc, INT_MIN, INT_MIN, INT_MAX, INT_MAX, INT_MIN, INT_MAX); }},
      {"arc", false, [](HDC dc) { Arc(dc, INT_MIN, INT_MIN, INT_MAX, INT_MAX, INT_MAX, INT_MIN, INT_MIN, INT_MAX); }},
      {"arc edge", true, [=](HDC dc) { Arc(dc, 30, -H, INT_MAX, H, 0, 0, 0, 0); }},
      {"pie", true, [](HDC dc) { Pie(dc, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0, 0, 100, -3); }},
      {"pie edge", true, [=](HDC dc) { Pie(dc, -H, 40, H, INT_MAX, 0, 0, 1, 1); }},
      {"rectangle", true, [](HDC dc) { Rectangle(dc, INT_MIN, INT_MIN, INT_MAX, INT_MAX); }},
      {"lines", true,
       [](HDC dc) {
         POINT p[] = {{INT_MAX, INT_MAX}, {INT_MIN, INT_MAX}, {INT_MAX, INT_MIN}, {INT_MIN, 3}};
         MoveToEx(dc, INT_MIN, INT_MIN, nullptr);
         PolylineTo(dc, p, 4);
       }},
      {"bezier", false,
       [](HDC dc) {
         POINT p[] = {{INT_MIN, INT_MIN}, {INT_MAX, INT_MIN}, {INT_MIN, INT_MAX}, {INT_MAX, INT_MAX}};
         PolyBezier(dc, p, 4);
       }},
      {"polygon", true,
       [](HDC dc) {
         POINT p[] = {{INT_MIN, INT_MIN}, {INT_MAX, 0}, {INT_MIN, INT_MAX}, {10, 10}};
         Polygon(dc, p, 4);
       }},
      {"path", true,
       [=](HDC dc) {
         BeginPath(dc);
         Ellipse(dc, INT_MIN, INT_MIN, INT_MAX, INT_MAX);
         Arc(dc, -H, -H, H, H, 0, 0, 1, 1);
         Pie(dc, 30, -H, INT_MAX, H, 0, 0, 0, 100);
         RoundRect(dc, INT_MIN, INT_MIN, INT_MAX, INT_MAX, H, H);
         EndPath(dc);
         StrokeAndFillPath(dc);
       }},
  };
  for (int width : {1, 7}) {
    for (const Huge& h : cases) {
      Canvas c(128, 128);
      Tools t(c.dc, kRed, kBlue, width);
      // Clipped to the bitmap, not walked over the whole coordinate range (which would take
      // hours); the bound is loose so that a loaded machine does not fail it.
      double ms = millisecondsFor([&] { h.draw(c.dc); });
      EXPECT_LT(ms, 2000.0) << h.name << " with a pen of " << width;
      if (h.reaches) {
        EXPECT_GT(c.countNot(kWhite, 0, 0, 128, 128), 0) << h.name << " with a pen of " << width;
      }
    }
  }
}

TEST(ShapeClip, PiesCostLittleMoreThanEllipses) {
  // The sweep is settled per row, not per pixel: a pie over a large bitmap takes about as long
  // as the ellipse around it.
  Canvas c(1024, 1024);
  Tools t(c.dc, kRed, kBlue);
  double ellipse = millisecondsFor([&] {
    for (int i = 0; i < 5; ++i) Ellipse(c.dc, -100, -100, 1100, 1100);
  });
  Canvas p(1024, 1024);
  Tools u(p.dc, kRed, kBlue);
  double pie = millisecondsFor([&] {
    for (int i = 0; i < 5; ++i) Pie(p.dc, -100, -100, 1100, 1100, 0, 0, 1000, 0);
  });
  EXPECT_LT(pie, 5 * ellipse + 25.0) << "ellipse " << ellipse << " ms";
  // Counter-clockwise from the north-west radial round to the north-east one: all but the
  // wedge above the centre.
  EXPECT_EQ(p.at(900, 900), kBlue);
  EXPECT_EQ(p.at(900, 300), kBlue);
  EXPECT_EQ(p.at(100, 300), kBlue);
  EXPECT_EQ(p.at(700, 30), kWhite);
  EXPECT_EQ(p.at(500, 100), kWhite);
}
