#include "RKGuage.h"

namespace RKSDK {

RKGuage::RKGuage()
    : blockStyle(0), maximum(100), value(0), horizontal(1), textVisible(0), inset(0), barColor(0, 0, 255) {
  appendClassName("RKGuage");
  setWindowClassName("RKGuage");
  setBackground(RKColor(255, 255, 255));
}

RKGuage::~RKGuage() {}

void RKGuage::setMaximum(int m) {
  maximum = m;
  redraw();
}

void RKGuage::setValue(int v) {
  value = v;
  redraw();
}

void RKGuage::setBlockStyle(u32 on) { blockStyle = on; }
void RKGuage::setHorizontal(u32 on) { horizontal = on; }
void RKGuage::setTextVisible(u32 on) { textVisible = on; }

void RKGuage::setBarColor(RKColor c) {
  barColor.setRed(c.getRed());
  barColor.setGreen(c.getGreen());
  barColor.setBlue(c.getBlue());
  barColor.setAlpha(c.getAlpha());
}

void RKGuage::setInheritedFlag(u32 flag) {
  RKComponent::setInheritedFlag(flag);
  inset = flag == 0 ? 1 : 0;
}

// Bar length for a span of pixels: span * value / maximum in unsigned 32-bit arithmetic.
static u32 scaled(int span, int value, int maximum) { return u32(span) * u32(value) / u32(maximum); }

void RKGuage::paintBar(IRKGraphics* g, int W, int H) {
  int b = inset;
  if (horizontal) {
    int span = W + 2 * b - 6;
    int L = int(scaled(span, value, maximum));
    if (L > W + 2 * b - 7) L = W + 2 * b - 7;
    int t = H + 2 * b - 6;
    if (!blockStyle) {
      g->drawRect(3 - b, 3 - b, L, t);
      return;
    }
    int x = 3 - b, s = t;
    if (t < L) {
      do {
        g->drawRect(x, 3 - b, t, t);
        x += t + 2;
        s += t + 2;
      } while (s < L);
    }
    int last = t - s + L;
    g->drawRect(x, 3 - b, last > 0 ? last : 0, t);
    return;
  }
  int L = int(u32(value) * u32(H + 2 * b - 6) / u32(maximum));
  int t = W + 2 * b - 6;
  if (!blockStyle) {
    g->drawRect(3 - b, H - L - 3 + b, t, L);
    return;
  }
  int y = H - 3 + b, s = t;
  if (t < L) {
    do {
      g->drawRect(3 - b, y - t, t, t);
      y = y - t - 2;
      s += t + 2;
    } while (s < L);
  }
  g->drawRect(3 - b, H - L - 3 + b, t, t - s + L);
}

void RKGuage::paintPercentage(IRKGraphics* g, int W, int H) {
  RKColor* pen = g->getColor();
  if (!pen) return;
  int ty = H / 2 - 8;
  if (ty < 1) ty = 1;
  int cx = W / 2;
  RKColor white(255, 255, 255);
  if (value == maximum) {
    pen->setARGB(white.getARGB());
    g->drawString("100%", cx - 16, ty);
  } else {
    int b = inset;
    u32 p = u32(value) * 100u / u32(maximum);
    int e = int(scaled(W + 2 * b - 6, value, maximum)) - b + 3;
    RKString digit;
    if (cx + 4 < e) pen->setARGB(white.getARGB());
    g->drawString("%", cx + 4, ty);
    if (cx - 4 < e) pen->setARGB(white.getARGB());
    digit.format("%d", int(p % 10));
    g->drawString(digit, cx - 4, ty);
    if (cx - 12 < e) pen->setARGB(white.getARGB());
    digit.format("%d", int(p / 10));
    g->drawString(digit, cx - 12, ty);
  }
  pen->release();
}

u32 RKGuage::paint(RKRect area, IRKGraphics* g) {
  if (!g) return 1;
  g->fillRect(area);
  g->setTransparentText(1);
  RKSize size = getSize();
  int W = size.width, H = size.height;
  if (look3D)
    g->draw3DFrame(0, 0, W - 1, H - 1, RK_FRAME_SUNKEN);
  else
    g->drawRectOutline(0, 0, W - 1, H - 1);
  RKColor* pen = g->getColor();
  RKColor* fill = g->getFillColor();
  u32 savedPen = pen ? pen->getARGB() : 0;
  u32 savedFill = fill ? fill->getARGB() : 0;
  // The bar and its percentage are shares of the maximum: without a positive maximum there
  // is nothing to share (an empty product folder gives 0).
  if (maximum > 0) {
    if (pen) pen->setARGB(barColor.getARGB());
    if (fill) fill->setARGB(barColor.getARGB());
    paintBar(g, W, H);
    if (pen) pen->setARGB(savedPen);
    if (fill) fill->setARGB(savedFill);
    if (textVisible && horizontal) paintPercentage(g, W, H);
  }
  restoreColor(pen, savedPen);
  restoreColor(fill, savedFill);
  if (designMode) paintDesign(g);
  return 1;
}

}  // namespace RKSDK
