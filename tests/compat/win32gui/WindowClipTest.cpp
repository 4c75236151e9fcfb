// What a window's device contexts may touch on the shared top-level surface: a parent with
// WS_CLIPCHILDREN leaves its shown children alone, one without it paints over them and they
// repaint after it, a hidden window draws nothing, and WS_CLIPSIBLINGS keeps a window off the
// siblings above it.
#include "WinsysTestSupport.h"

namespace {

std::map<HWND, COLORREF>& colours() {
  static std::map<HWND, COLORREF> m;
  return m;
}
std::map<HWND, int>& paints() {
  static std::map<HWND, int> m;
  return m;
}

// Fills the whole client area (not only rcPaint) in the window's colour, as a toolkit paint
// that flushes a full back buffer does.
bool paintWhole(HWND h, UINT m, WPARAM, LPARAM, LRESULT* r) {
  if (m == WM_ERASEBKGND) {
    *r = 1;
    return true;
  }
  if (m != WM_PAINT) return false;
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(h, &ps);
  RECT all;
  GetClientRect(h, &all);
  HBRUSH b = CreateSolidBrush(colours()[h]);
  FillRect(dc, &all, b);
  DeleteObject(b);
  EndPaint(h, &ps);
  ++paints()[h];
  *r = 0;
  return true;
}

void fillThroughWindowDC(HWND h, COLORREF c) {
  HDC dc = GetWindowDC(h);
  RECT all;
  GetClientRect(h, &all);
  HBRUSH b = CreateSolidBrush(c);
  FillRect(dc, &all, b);
  DeleteObject(b);
  ReleaseDC(h, dc);
}

const COLORREF kRed = RGB(255, 0, 0), kBlue = RGB(0, 0, 255), kGreen = RGB(0, 255, 0);

}  // namespace

class WindowClipTest : public WinsysTest {
 protected:
  void SetUp() override {
    WinsysTest::SetUp();
    colours().clear();
    paints().clear();
    classHandler() = paintWhole;
  }
  void TearDown() override {
    colours().clear();
    paints().clear();
    WinsysTest::TearDown();
  }
  // A shown parent (red) with one child (blue) at 20, 20, 40 x 30, both painted.
  void build(DWORD parentStyle) {
    parent = top(50, 50, 200, 150, WS_POPUP | parentStyle);
    kid = child(parent, 20, 20, 40, 30);
    colours()[parent] = kRed;
    colours()[kid] = kBlue;
    ShowWindow(parent, SW_SHOW);
    compat_pump();
    paints().clear();
  }
  HWND parent = nullptr, kid = nullptr;
};

TEST_F(WindowClipTest, ParentWithClipChildrenRepaintsAroundItsChildren) {
  build(WS_CLIPCHILDREN);
  ASSERT_EQ(kBlue, compat_get_pixel(parent, 30, 30));
  // A full repaint of the parent does not touch the child, which is not asked to repaint.
  InvalidateRect(parent, nullptr, TRUE);
  compat_pump();
  EXPECT_EQ(1, paints()[parent]);
  EXPECT_EQ(0, paints()[kid]);
  EXPECT_EQ(kBlue, compat_get_pixel(parent, 30, 30));
  EXPECT_EQ(kBlue, compat_get_pixel(kid, 39, 29));
  EXPECT_EQ(kRed, compat_get_pixel(parent, 19, 30));
  EXPECT_EQ(kRed, compat_get_pixel(parent, 60, 30));
  // Nor does drawing through the window DC outside a paint.
  fillThroughWindowDC(parent, kGreen);
  EXPECT_EQ(kBlue, compat_get_pixel(parent, 30, 30));
  EXPECT_EQ(kGreen, compat_get_pixel(parent, 10, 10));
}

TEST_F(WindowClipTest, ParentWithoutClipChildrenPaintsOverThemAndTheyRepaintAfter) {
  build(0);
  InvalidateRect(parent, nullptr, TRUE);
  compat_pump();
  EXPECT_EQ(1, paints()[parent]);
  EXPECT_EQ(1, paints()[kid]);
  EXPECT_EQ(kBlue, compat_get_pixel(parent, 30, 30));
  // Drawing through its DC outside a paint covers the child; nothing repaints it.
  fillThroughWindowDC(parent, kGreen);
  EXPECT_EQ(kGreen, compat_get_pixel(parent, 30, 30));
}

TEST_F(WindowClipTest, HiddenChildDrawsNothingAndLeavesNoPixels) {
  build(WS_CLIPCHILDREN);
  ShowWindow(kid, SW_HIDE);
  compat_pump();
  // The parent repainted the uncovered area.
  EXPECT_EQ(1, paints()[parent]);
  EXPECT_EQ(kRed, compat_get_pixel(parent, 30, 30));
  // A hidden window's DC has nothing to draw on, whether through GetDC or an own DC.
  fillThroughWindowDC(kid, kGreen);
  EXPECT_EQ(kRed, compat_get_pixel(parent, 30, 30));
  HWND own = child(parent, 100, 20, 40, 30, WS_CHILD, "RecOwnDC");
  colours()[own] = kGreen;
  fillThroughWindowDC(own, kGreen);
  EXPECT_EQ(kRed, compat_get_pixel(parent, 110, 30));
  // A child of a hidden parent draws nothing either.
  ShowWindow(kid, SW_SHOW);
  compat_pump();
  HWND grandchild = child(kid, 0, 0, 10, 10);
  ShowWindow(kid, SW_HIDE);
  compat_pump();
  fillThroughWindowDC(grandchild, kGreen);
  EXPECT_EQ(kRed, compat_get_pixel(parent, 25, 25));
  // Shown again, it paints itself.
  ShowWindow(own, SW_SHOW);
  compat_pump();
  EXPECT_EQ(kGreen, compat_get_pixel(parent, 110, 30));
}

TEST_F(WindowClipTest, ClipSiblingsKeepsAWindowOffTheSiblingsAboveIt) {
  build(WS_CLIPCHILDREN);
  // Created later, the new child is below kid in the z-order and overlaps it.
  HWND under = child(parent, 40, 30, 60, 40, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS);
  colours()[under] = kGreen;
  compat_pump();
  EXPECT_EQ(kBlue, compat_get_pixel(parent, 45, 35));   // kid's part, above
  EXPECT_EQ(kGreen, compat_get_pixel(parent, 80, 60));  // under's own part
  // Without the style the lower sibling paints over the upper one.
  HWND plain = child(parent, 0, 0, 30, 30);
  SetWindowPos(plain, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  colours()[plain] = kGreen;
  compat_pump();
  fillThroughWindowDC(plain, kGreen);
  EXPECT_EQ(kGreen, compat_get_pixel(parent, 25, 25));
}
