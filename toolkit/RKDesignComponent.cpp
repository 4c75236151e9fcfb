#include "RKDesignComponent.h"

#include <new>

namespace RKSDK {

RKDesignComponent::RKDesignComponent()
    : designMode(0), dragging(0), pressPoint(0, 0), zone(0), markedSelected(0), focused(0) {
  appendClassName("RKDesignComponent");
  setWindowClassName("RKDesignComponent");
}

RKDesignComponent::~RKDesignComponent() {}

void RKDesignComponent::setDesignMode(u32 on) { designMode = on; }
void RKDesignComponent::setSelected(u32 on) { markedSelected = on; }

int RKDesignComponent::hitTest(RKPoint p) {
  RKSize s = getSize();
  int w = s.width, h = s.height, x = p.x, y = p.y;
  bool left = 0 <= x && x <= 5;
  bool midX = w / 2 - 2 <= x && x <= w / 2 + 2;
  bool right = w - 5 <= x && x <= w;
  bool top = 0 <= y && y <= 5;
  bool midY = h / 2 - 2 <= y && y <= h / 2 + 2;
  bool bottom = h - 5 <= y && y <= h;
  if (left && top) return 1;
  if (midX && top) return 2;
  if (right && top) return 3;
  if (right && midY) return 4;
  if (right && bottom) return 5;
  if (midX && bottom) return 6;
  if (left && bottom) return 7;
  if (left && midY) return 8;
  return 0;
}

void RKDesignComponent::paintDesign(IRKGraphics* g) {
  if (!g) return;
  g->setTransparentText(1);
  if (!focused && !markedSelected) return;
  RKSize s = getSize();
  int w = s.width, h = s.height;
  RKColor* pen = g->getColor();
  u32 saved = pen ? pen->getARGB() : 0;
  if (dragging) {
    g->drawFocusRect(0, 0, w, h, 1);
  } else {
    if (pen) {
      pen->setRed(0);
      pen->setGreen(0);
      pen->setBlue(255);
    }
    const int spots[8][2] = {{0, 0},     {w / 2 - 2, 0},     {w - 5, 0},    {0, h / 2 - 2}, {w - 5, h / 2 - 2},
                             {0, h - 5}, {w / 2 - 2, h - 5}, {w - 5, h - 5}};
    for (const auto& spot : spots) g->drawRect(spot[0], spot[1], 5, 5);
  }
  restoreColor(pen, saved);
}

void RKDesignComponent::restoreColor(RKColor* color, u32 packed) {
  if (!color) return;
  color->setARGB(packed);
  color->release();
}

u32 RKDesignComponent::paint(RKRect area, IRKGraphics* g) {
  if (!g) return 1;
  if (designMode)
    paintDesign(g);
  else
    g->fillRect(area);
  return 1;
}

u32 RKDesignComponent::mousePressed(RKPoint p) {
  if (!designMode) return 1;
  captureMouse();
  dragging = 1;
  zone = hitTest(p);
  pressPoint = p;
  requestFocus();
  repaint();
  return 1;
}

u32 RKDesignComponent::mouseReleased(RKPoint) {
  if (!designMode) return 1;
  releaseMouse(0);
  dragging = 0;
  zone = 0;
  repaint();
  return 1;
}

u32 RKDesignComponent::mouseMoved(RKPoint p) {
  if (!designMode) return 1;
  if (!dragging) {
    if (!focused) return 1;
    static const u32 kinds[9] = {68, 14, 16, 12, 70, 14, 16, 12, 70};
    int z = hitTest(p);
    RKCursor* cursor = new (std::nothrow) RKCursor();
    if (!cursor) return 1;
    cursor->addRef();
    cursor->setType(kinds[z >= 0 && z <= 8 ? z : 0]);
    setCursor(cursor);
    cursor->release();
    return 1;
  }
  int dx = p.x - pressPoint.x, dy = p.y - pressPoint.y;
  RKPoint at = getLocation();
  RKSize s = getSize();
  int x = at.x, y = at.y, w = s.width, h = s.height;
  // New location and size when the move is allowed; the press point follows the right and
  // bottom edges so that the pointer stays on the handle.
  int nx = x, ny = y, nw = w, nh = h, px = 0, py = 0;
  bool ok = false;
  switch (zone) {
    case 0:
      ok = dx != 0 || dy != 0;
      nx = x + dx;
      ny = y + dy;
      break;
    case 1:
      ok = dx < w - 5 && dy < h - 5;
      nx = x + dx;
      ny = y + dy;
      nw = w - dx;
      nh = h - dy;
      break;
    case 2:
      ok = dy < h - 5;
      ny = y + dy;
      nh = h - dy;
      break;
    case 3:
      ok = w + dx > 5 && dy < h - 5;
      ny = y + dy;
      nw = w + dx;
      nh = h - dy;
      px = dx;
      break;
    case 4:
      ok = w + dx > 5;
      nw = w + dx;
      px = dx;
      break;
    case 5:
      ok = w + dx > 5 && h + dy > 5;
      nw = w + dx;
      nh = h + dy;
      px = dx;
      py = dy;
      break;
    case 6:
      ok = h + dy > 5;
      nh = h + dy;
      py = dy;
      break;
    case 7:
      ok = dx < w - 5 && h + dy > 5;
      nx = x + dx;
      nw = w - dx;
      nh = h + dy;
      py = dy;
      break;
    case 8:
      ok = dx < w - 5;
      nx = x + dx;
      nw = w - dx;
      break;
    default:
      break;
  }
  if (!ok || !peer) return 1;
  peer->setLocation(nx, ny, 1);
  peer->setSize(nw, nh, 1);
  pressPoint.x += px;
  pressPoint.y += py;
  return 1;
}

u32 RKDesignComponent::focusGained() {
  if (!designMode) return 1;
  focused = 1;
  repaint();
  return 1;
}

u32 RKDesignComponent::focusLost() {
  if (!designMode) return 1;
  focused = 0;
  repaint();
  return 1;
}

}  // namespace RKSDK
