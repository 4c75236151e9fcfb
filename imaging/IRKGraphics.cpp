#include "IRKGraphics.h"

namespace RKSDK {

IRKGraphics::IRKGraphics() { appendClassName("IRKGraphics"); }
IRKGraphics::~IRKGraphics() {}

void IRKGraphics::drawRectOutline(int, int, int, int) {}
void IRKGraphics::drawRoundRect(int, int, int, int, int, int) {}
int IRKGraphics::drawImage(RKImage*, int, int, int, int, int, int, int, int) { return 0; }
int IRKGraphics::drawImage(RKImage*, int, int, int, int) { return 0; }
int IRKGraphics::drawImage(RKImage*, int, int) { return 0; }
int IRKGraphics::drawImageTransparent(RKImage*, int, int, int, int, int, int, int, int, RKColor) { return 0; }
int IRKGraphics::drawArc(int, int, int, int, int, int, int, int) { return 0; }
void IRKGraphics::drawLine(int, int, int, int, int) {}
void IRKGraphics::drawOval(int, int, int, int) {}
void IRKGraphics::drawPolyline(RKPoint*, int) {}
int IRKGraphics::drawBezier(RKPoint*, int) { return 0; }
void IRKGraphics::drawText(RKString, RKRect, u32) {}
void IRKGraphics::drawString(RKString, int, int) {}
void IRKGraphics::setPixel(int, int, RKColor) {}
void IRKGraphics::drawPie(int, int, int, int, int, int, int, int) {}
void IRKGraphics::drawEllipse(int, int, int, int) {}
void IRKGraphics::drawRect(int, int, int, int) {}
void IRKGraphics::drawPolygon(RKPoint*, int, int) {}
RKFont* IRKGraphics::getFont() { return nullptr; }
int IRKGraphics::setFont(RKFont*) { return 0; }
RKColor* IRKGraphics::getBackgroundColor() { return nullptr; }
RKColor* IRKGraphics::getColor() { return nullptr; }
RKColor* IRKGraphics::getFillColor() { return nullptr; }
void IRKGraphics::setTransparentText(int) {}
void IRKGraphics::fillRect(RKRect) {}
void IRKGraphics::clear() {}
void IRKGraphics::drawDisabledText(RKString, int, int) {}
void IRKGraphics::drawFocusRect(int, int, int, int, int) {}
RKSize IRKGraphics::getTextSize(RKString) { return RKSize(0, 0); }
int IRKGraphics::getFontHeight() { return 0; }
void IRKGraphics::setNullPen(int) {}
void IRKGraphics::setNullFill(int) {}
void IRKGraphics::moveTo(int, int) {}
void IRKGraphics::polylineTo(int, int, RKPoint*, int) {}
int IRKGraphics::polyBezierTo(int, int, RKPoint*, int) { return 0; }
void IRKGraphics::drawPolyPolygon(RKPoint*, const int*, int, int) {}
int IRKGraphics::closeFigure() { return 0; }
int IRKGraphics::abortPath() { return 0; }
int IRKGraphics::beginPath() { return 0; }
int IRKGraphics::endPath() { return 0; }
int IRKGraphics::strokePath() { return 0; }
int IRKGraphics::fillPath() { return 0; }
int IRKGraphics::strokeAndFillPath() { return 0; }
void IRKGraphics::flushToWindow(int, int, int, int) {}

void IRKGraphics::draw3DFrame(int x, int y, int w, int h, int style) {
  switch (style) {
    case RK_FRAME_SUNKEN:
      drawSunkenFrame(x, y, w, h);
      break;
    case RK_FRAME_RAISED:
      drawRaisedFrame(x, y, w, h);
      break;
    case RK_FRAME_ETCHED:
      drawEtchedFrame(x, y, w, h);
      break;
    default:
      break;
  }
}

// Draws each group of lines at width 1 in its colour, through the pen colour object, whose
// packed value is restored afterwards.
void IRKGraphics::drawFrameGroups(const FrameGroup* groups, int count) {
  RKColor* pen = getColor();
  if (!pen) return;
  u32 saved = pen->getARGB();
  for (int i = 0; i < count; ++i) {
    pen->setRed(groups[i].r);
    pen->setGreen(groups[i].g);
    pen->setBlue(groups[i].b);
    for (int k = 0; k < groups[i].count; ++k) {
      const FrameLine& l = groups[i].lines[k];
      drawLine(l.x1, l.y1, l.x2, l.y2, 1);
    }
  }
  pen->setARGB(saved);
  pen->release();
}

void IRKGraphics::drawSunkenFrame(int x, int y, int w, int h) {
  const FrameGroup g[] = {
      {172, 168, 153, {{x, y, x + w, y}, {x, y, x, y + h}}, 2},
      {255, 255, 255, {{x + w, y, x + w, y + h}, {x + w, y + h, x, y + h}}, 2},
      {113, 111, 100, {{x + 1, y + 1, x + w - 1, y + 1}, {x + 1, y + 1, x + 1, y + h - 1}}, 2},
      {241, 239, 226, {{x + w - 1, y + 1, x + w - 1, y + h - 1}, {x + w - 1, y + h - 1, x, y + h - 1}}, 2},
  };
  drawFrameGroups(g, 4);
}

void IRKGraphics::drawRaisedFrame(int x, int y, int w, int h) {
  const FrameGroup g[] = {
      {0, 0, 0, {{x + w, y + h, x + w, y}, {x + w, y + h, x, y + h}}, 2},
      {123, 123, 123, {{x + w - 1, y + h - 1, x + w - 1, y}, {x + w - 1, y + h - 1, x, y + h - 1}}, 2},
      {255, 255, 255, {{x, y, x, y + h}, {x, y, x + w, y}}, 2},
  };
  drawFrameGroups(g, 3);
}

void IRKGraphics::drawEtchedFrame(int x, int y, int w, int h) {
  const FrameGroup g[] = {
      {127,
       127,
       127,
       {{x, y, x + w - 1, y},
        {x + w - 1, y, x + w - 1, y + h - 1},
        {x + w - 1, y + h - 1, x, y + h - 1},
        {x, y + h - 1, x, y}},
       4},
      {255,
       255,
       255,
       {{x + 1, y + 1, x + w - 2, y + 1},
        {x + w, y, x + w, y + h},
        {x + w, y + h, x, y + h},
        {x + 1, y + h - 2, x + 1, y + 1}},
       4},
  };
  drawFrameGroups(g, 2);
}

}  // namespace RKSDK
