// The window back-end: drawing into the back buffer of a (headless) window and flushing it.
#include <gtest/gtest.h>

#include <compat_window.h>

#include <cstring>

#include "ComponentGraphics.h"
#include "GraphicsTestSupport.h"

using namespace RKSDK;
using namespace rktest;

namespace {

class ComponentGraphicsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    compat_display_select(COMPAT_DISPLAY_HEADLESS);
    compat_reset_windows();
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "GraphicsTestWindow";
    RegisterClassExA(&wc);
    hwnd = CreateWindowExA(0, "GraphicsTestWindow", "t", WS_POPUP | WS_VISIBLE, 10, 10, 60, 40, nullptr, nullptr,
                           nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    g = new ComponentGraphics();
    g->addRef();
  }
  void TearDown() override {
    g->release();
    compat_reset_windows();
  }
  // The peer's set-up: window, back buffer of the window's size, colours.
  void attach() {
    HDC dc = GetDC(hwnd);
    g->setWindow(hwnd);
    g->create(dc, 60, 40);
    g->setColor(RKColor(0, 0, 0));
    g->setBackgroundColor(RKColor(255, 255, 255));
    ReleaseDC(hwnd, dc);
  }
  void flushAll() {
    HDC dc = GetDC(hwnd);
    g->flush(dc, RKRect(0, 0, 60, 40));
    ReleaseDC(hwnd, dc);
  }
  HWND hwnd = nullptr;
  ComponentGraphics* g = nullptr;
};

}  // namespace

TEST_F(ComponentGraphicsTest, NothingHappensBeforeTheWindowAndBuffer) {
  EXPECT_NE(std::strstr(g->getClassName(), ".IRKGraphics"), nullptr);
  RKSize s = g->getTextSize(RKString("abc"));
  EXPECT_EQ(s.getWidth(), 0);
  EXPECT_EQ(s.getHeight(), 0);
  EXPECT_EQ(g->getFontHeight(), -1);
  EXPECT_EQ(g->drawArc(0, 0, 5, 5, 0, 0, 0, 0), 0);
  EXPECT_EQ(g->drawBezier(nullptr, 4), 0);
  g->drawRect(0, 0, 5, 5);
  g->clear();
  u32 w = 7, h = 7;
  RKBuffer out;
  EXPECT_EQ(g->readPixels(&out, &w, &h), 0);
  RKFont* f = g->getFont();
  ASSERT_NE(f, nullptr);  // the desktop's face at 12 points
  EXPECT_EQ(f->getPointSize(), 12u);
  f->release();
  RKColor* pen = g->getColor();
  EXPECT_EQ(pen->getARGB(), 0u);
  pen->release();
}

TEST_F(ComponentGraphicsTest, DrawsIntoTheBackBufferAndFlushesIt) {
  attach();
  g->clear();
  RKColor* fill = g->getFillColor();
  fill->setABGR(RGB(255, 0, 0));
  fill->release();
  g->drawRect(5, 5, 10, 10);
  // Nothing reaches the window before the flush.
  EXPECT_NE(compat_get_pixel(hwnd, 8, 8), RGB(255, 0, 0));
  flushAll();
  EXPECT_EQ(compat_get_pixel(hwnd, 8, 8), RGB(255, 0, 0));
  EXPECT_EQ(compat_get_pixel(hwnd, 5, 5), RGB(0, 0, 0));
  EXPECT_EQ(compat_get_pixel(hwnd, 30, 30), RGB(255, 255, 255));
  // flushToWindow copies one rectangle to the whole-window DC.
  g->setBackgroundColor(RKColor(0, 0, 255));
  g->fillRect(RKRect(40, 20, 10, 10));
  g->flushToWindow(40, 20, 5, 5);
  EXPECT_EQ(compat_get_pixel(hwnd, 42, 22), RGB(0, 0, 255));
  EXPECT_EQ(compat_get_pixel(hwnd, 47, 27), RGB(255, 255, 255));
}

TEST_F(ComponentGraphicsTest, ReadPixelsGivesBlueGreenRedRowsTopFirst) {
  attach();
  g->clear();
  g->setPixel(0, 0, RKColor(10, 20, 30));
  g->setPixel(59, 39, RKColor(40, 50, 60));
  RKBuffer out;
  u32 w = 0, h = 0;
  ASSERT_EQ(g->readPixels(&out, &w, &h), 1);
  EXPECT_EQ(w, 60u);
  EXPECT_EQ(h, 40u);
  ASSERT_EQ(out.getSize(), 60 * 40 * 3);
  const u8* p = out.getData(0);
  EXPECT_EQ(p[0], 30);
  EXPECT_EQ(p[1], 20);
  EXPECT_EQ(p[2], 10);
  const u8* q = out.getData((39 * 60 + 59) * 3);
  EXPECT_EQ(q[0], 60);
  EXPECT_EQ(q[2], 40);
  EXPECT_EQ(p[3], 255);
}

TEST_F(ComponentGraphicsTest, RecreatingChangesTheBufferSizeAndTheFontMeasures) {
  attach();
  EXPECT_EQ(g->getFontHeight(), 16);
  RKSize s = g->getTextSize(RKString("Hello"));
  EXPECT_GT(s.getWidth(), 10);
  EXPECT_EQ(s.getHeight(), 16);
  HDC dc = GetDC(hwnd);
  g->create(dc, 20, 10);
  ReleaseDC(hwnd, dc);
  RKBuffer out;
  u32 w = 0, h = 0;
  ASSERT_EQ(g->readPixels(&out, &w, &h), 1);
  EXPECT_EQ(w, 20u);
  EXPECT_EQ(h, 10u);
  // A larger font measures larger; setFont(null) keeps it.
  RKFont* big = RKFont::create(RKString("Arial"), 24);
  EXPECT_EQ(g->setFont(big), 1);
  EXPECT_EQ(g->setFont(nullptr), 0);
  RKSize b = g->getTextSize(RKString("Hello"));
  EXPECT_GT(b.getWidth(), s.getWidth());
  EXPECT_EQ(b.getHeight(), 32);
  big->release();
  // Transparent text keeps the background; the mode outlives each call.
  g->setBackgroundColor(RKColor(0, 255, 0));
  g->clear();
  g->setTransparentText(1);
  g->drawString(RKString("x"), 0, 0);
  g->drawString(RKString("x"), 10, 0);
  ASSERT_EQ(g->readPixels(&out, &w, &h), 1);
  const u8* p = out.getData(0);
  EXPECT_EQ(p[0], 0);
  EXPECT_EQ(p[1], 255);
}
