#include "RKArrowButton.h"

#include "RKPaintState.h"

namespace RKSDK {

RKArrowButton::RKArrowButton() : RKArrowButton(RK_ARROW_DOWN) {}

RKArrowButton::RKArrowButton(u32 d) : direction(d), inset(0), pressed(0), held(0) {
  appendClassName("RKArrowButton");
  setWindowClassName("RKArrowButton");
}

RKArrowButton::~RKArrowButton() {}

void RKArrowButton::setDirection(u32 d) {
  direction = d;
  redraw();
}

void RKArrowButton::setInset(int i) {
  if (i < 0) return;
  inset = i;
  redraw();
}

u32 RKArrowButton::paint(RKRect area, IRKGraphics* g) {
  if (!g) return 1;
  g->fillRect(area);
  g->setTransparentText(1);
  RKPaintState colors(g);
  RKSize sz = getSize();
  int w = sz.width, h = sz.height, m = inset, s = 0;

  if (!pressed) {
    if (look3D) {
      g->draw3DFrame(0, 0, w - 1, h - 1, RK_FRAME_RAISED);
    } else {
      colors.pen(172, 168, 153);
      g->drawRectOutline(0, 0, w - 1, h - 1);
    }
    colors.both(0, 0, 0);
  } else {
    colors.pen(130, 130, 132);
    g->drawRectOutline(0, 0, w - 1, h - 1);
    colors.both(0, 0, 0);
    if (!look3D) {
      g->drawRect(1, 1, w - 2, h - 2);
      colors.both(255, 255, 255);
      s = 1;
    }
  }

  RKPoint p[3];
  bool any = true;
  if (!pressed) {
    switch (direction) {
      case RK_ARROW_LEFT:
        p[0] = RKPoint(m + 6, 2 * m + 9);
        p[1] = RKPoint(3 * m + 9, m + 6);
        p[2] = RKPoint(3 * m + 9, 3 * m + 12);
        break;
      case RK_ARROW_UP:
        p[0] = RKPoint(2 * m + 9, m + 6);
        p[1] = RKPoint(m + 6, 3 * m + 9);
        p[2] = RKPoint(3 * m + 12, 3 * m + 9);
        break;
      case RK_ARROW_RIGHT:
        p[0] = RKPoint(m + 6, m + 6);
        p[1] = RKPoint(m + 6, 3 * m + 12);
        p[2] = RKPoint(3 * m + 9, 2 * m + 9);
        break;
      case RK_ARROW_DOWN:
        p[0] = RKPoint(m + 6, m + 6);
        p[1] = RKPoint(3 * m + 12, m + 6);
        p[2] = RKPoint(2 * m + 9, 3 * m + 9);
        break;
      default:
        any = false;
        break;
    }
  } else {
    switch (direction) {
      case RK_ARROW_LEFT:
        p[0] = RKPoint(m - s + 7, 2 * m + 10);
        p[1] = RKPoint(3 * m - s + 10, m + 7);
        p[2] = RKPoint(3 * m - s + 10, 3 * m + 13);
        break;
      case RK_ARROW_UP:
        p[0] = RKPoint(2 * m - s + 10, m + 7);
        p[1] = RKPoint(m - s + 7, 3 * m + 10);
        p[2] = RKPoint(3 * m - s + 13, 3 * m + 10);
        break;
      case RK_ARROW_RIGHT:
        p[0] = RKPoint(m - s + 7, m + 7);
        p[1] = RKPoint(m - s + 7, 3 * m + 13);
        p[2] = RKPoint(3 * m - s + 10, 2 * m + 10);
        break;
      case RK_ARROW_DOWN:
        p[0] = RKPoint(m - s + 7, m + 7);
        p[1] = RKPoint(3 * m - s + 13, m + 7);
        p[2] = RKPoint(2 * m - s + 10, 3 * m + 10);
        break;
      default:
        any = false;
        break;
    }
  }
  if (any) g->drawPolygon(p, 3, 0);
  if (designMode) paintDesign(g);
  return 1;
}

u32 RKArrowButton::mousePressed(RKPoint p) {
  if (designMode) return RKDesignComponent::mousePressed(p);
  captureMouse();
  pressed = held = 1;
  redraw();
  fireAction(RK_ACTION_ARROW_PRESSED, 0);
  return 1;
}

u32 RKArrowButton::mouseReleased(RKPoint p) {
  if (designMode) return RKDesignComponent::mouseReleased(p);
  releaseMouse(0);
  pressed = held = 0;
  redraw();
  fireAction(RK_ACTION_ARROW_RELEASED, 0);
  return 1;
}

// A second quick press arrives as a double click: it takes the focus and presses the arrow as
// any press does.
u32 RKArrowButton::mouseDoubleClicked(RKPoint p) { return designMode ? 1 : doubleClickPress(p); }

u32 RKArrowButton::mouseMoved(RKPoint p) {
  if (designMode) return RKDesignComponent::mouseMoved(p);
  if (!held) return 1;
  RKSize s = getSize();
  bool outside = p.x < 0 || p.y < 0 || p.x > s.width || p.y > s.height;
  if (outside && pressed) {
    pressed = 0;
    redraw();
    fireAction(RK_ACTION_ARROW_RELEASED, 0);
  } else if (!outside && !pressed) {
    pressed = 1;
    redraw();
    fireAction(RK_ACTION_ARROW_PRESSED, 0);
  }
  return 1;
}

}  // namespace RKSDK
