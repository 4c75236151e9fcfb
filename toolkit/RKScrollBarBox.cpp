#include "RKScrollBarBox.h"

#include "RKPaintState.h"

namespace RKSDK {

RKScrollBarBox::RKScrollBarBox()
    : orientation(0), dragging(0), grabPoint(0, 0), maximumPosition(0), minimumPosition(0) {
  appendClassName("RKScrollBarBox");
  setWindowClassName("RKScrollBarBox");
}

RKScrollBarBox::~RKScrollBarBox() {}

void RKScrollBarBox::setOrientation(u32 o) { orientation = o; }

void RKScrollBarBox::setMaximumPosition(int p) {
  if (p >= minimumPosition) maximumPosition = p;
}

void RKScrollBarBox::setMinimumPosition(int p) {
  if (p <= maximumPosition) minimumPosition = p;
}

u32 RKScrollBarBox::paint(RKRect area, IRKGraphics* g) {
  if (!g) return 1;
  g->fillRect(area);
  g->setTransparentText(1);
  RKSize s = getSize();
  if (look3D) {
    g->draw3DFrame(0, 0, s.width - 1, s.height - 1, RK_FRAME_RAISED);
    return 1;
  }
  RKPaintState colors(g);
  colors.fill(RKColor(236, 233, 216).getARGB());
  colors.pen(172, 168, 153);
  g->drawRect(0, 0, s.width, s.height);
  return 1;
}

u32 RKScrollBarBox::mousePressed(RKPoint p) {
  captureMouse();
  dragging = 1;
  grabPoint = p;
  return 1;
}

// A second quick press arrives as a double click: it takes the focus and grabs the thumb as any
// press does.
u32 RKScrollBarBox::mouseDoubleClicked(RKPoint p) { return doubleClickPress(p); }

u32 RKScrollBarBox::mouseMoved(RKPoint p) {
  if (!dragging) return 1;
  int dx = p.x - grabPoint.x, dy = p.y - grabPoint.y;
  RKPoint at = getLocation();
  if (orientation) {
    int y = at.y + dy;
    if (dy == 0 || y < minimumPosition || y > maximumPosition) return 1;
    setLocation(at.x, y, 1);
  } else {
    int x = at.x + dx;
    if (dx == 0 || x < minimumPosition || x > maximumPosition) return 1;
    setLocation(x, at.y, 1);
  }
  postActionToParent(RK_ACTION_THUMB_MOVED, 0);
  return 1;
}

u32 RKScrollBarBox::mouseReleased(RKPoint) {
  releaseMouse(0);
  dragging = 0;
  postActionToParent(RK_ACTION_THUMB_RELEASED, 0);
  return 1;
}

}  // namespace RKSDK
