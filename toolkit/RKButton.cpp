#include "RKButton.h"

#include <new>

namespace RKSDK {

namespace {

const u32 KEY_SPACE = 32;

void setRGB(RKColor* c, u8 r, u8 g, u8 b) {
  if (!c) return;
  c->setRed(r);
  c->setGreen(g);
  c->setBlue(b);
  c->setAlpha(0);
}

void setBlack(RKColor* c) {
  if (c) c->setABGR(0);
}

}  // namespace

RKButton::RKButton() : text(""), buttonDisabled(0), pointerOutside(0), hasHelp(0), hintCreated(0), hint(nullptr) {
  appendClassName("RKButton");
  setWindowClassName("RKButton");
  focused = 0;
  dragging = 0;
  zone = 0;
  pressPoint = RKPoint(0, 0);
  hint = new (std::nothrow) RKHelper();
  if (hint) hint->addRef();
}

RKButton::~RKButton() {
  RKHelper* h = hint;
  hint = nullptr;
  if (h) h->release();
}

void RKButton::setText(RKString t) {
  text = t;
  redraw();
}

RKString RKButton::getText() { return text; }

void RKButton::setHelpText(RKString t) {
  if (!hint) return;
  hint->setText(t);
  hasHelp = 1;
}

void RKButton::createHint() {
  RKFont* font = getFont();
  hint->setFont(font);
  if (font) font->release();
  createChild(hint);
}

void RKButton::setHelper(RKHelper* h) {
  // The new reference first, so that handing over the hint already held keeps it alive.
  if (h) h->addRef();
  RKHelper* old = hint;
  hint = h;
  if (old) old->release();
  // A hint whose window exists already is not created a second time: the first window would
  // stay behind, bound to a peer that no longer knows it.
  if (hintCreated && hint && !hint->isCreated()) createHint();
  hasHelp = 1;
}

int RKButton::enable() {
  if (!buttonDisabled && !isDisabled()) return 0;
  int r = RKComponent::enable();
  buttonDisabled = 0;
  redraw();
  return r;
}

int RKButton::disable() {
  if (buttonDisabled && isDisabled()) return 0;
  // A disabled button ignores its release, so a press in progress gives its capture back
  // now; otherwise the shared capture count would stay up for good.
  if (dragging && !designMode) {
    if (hasMouseCapture()) releaseMouse(0);
    dragging = 0;
    pointerOutside = 0;
  }
  int r = RKComponent::disable();
  buttonDisabled = 1;
  redraw();
  return r;
}

u32 RKButton::paint(RKRect area, IRKGraphics* g) {
  if (!g) return 1;
  g->fillRect(area);
  g->setTransparentText(1);
  RKColor* pen = g->getColor();
  RKColor* fill = g->getFillColor();
  u32 savedPen = pen ? pen->getARGB() : 0;
  u32 savedFill = fill ? fill->getARGB() : 0;
  RKSize s = getSize();
  int w = s.width, h = s.height;
  RKSize e = getTextExtent(text);
  int tw = e.width, th = e.height;
  bool pressedInside = dragging && !pointerOutside;

  if (!designMode) {
    int d = 0;
    if (focused) {
      setBlack(pen);
      if (!look3D) {
        g->drawRectOutline(1, 1, w - 3, h - 3);
        if (pressedInside) {
          d = 1;
          setRGB(pen, 211, 211, 211);
          if (fill && pen) fill->setARGB(pen->getARGB());
          g->drawRect(2, 2, w - 5, h - 5);
        }
      } else if (pressedInside) {
        g->drawRectOutline(1, 1, w - 3, h - 3);
        d = 1;
      } else {
        g->draw3DFrame(1, 1, w - 3, h - 3, RK_FRAME_RAISED);
      }
      setBlack(pen);
      g->drawRectOutline(0, 0, w - 1, h - 1);
      g->drawFocusRect(4, 4, w - 8, h - 8, 1);
    } else if (look3D) {
      g->draw3DFrame(1, 1, w - 3, h - 3, RK_FRAME_RAISED);
    } else {
      setBlack(pen);
      g->drawRectOutline(1, 1, w - 3, h - 3);
      setRGB(pen, 255, 255, 255);
      g->drawRectOutline(2, 2, w - 5, h - 5);
    }
    setBlack(pen);
    int x = d + (w - tw) / 2, y = d + (h - th) / 2;
    if (buttonDisabled)
      g->drawDisabledText(text, x, y);
    else
      g->drawString(text, x, y);
  } else {
    bool still = !(focused && dragging);
    if (look3D) {
      if (!focused)
        g->draw3DFrame(0, 0, w - 1, h - 1, RK_FRAME_RAISED);
      else if (!dragging)
        g->draw3DFrame(1, 1, w - 3, h - 3, RK_FRAME_RAISED);
    } else if (still) {
      setBlack(pen);
      g->drawRectOutline(1, 1, w - 3, h - 3);
      setRGB(pen, 255, 255, 255);
      g->drawRectOutline(2, 2, w - 5, h - 5);
    }
    setBlack(pen);
    g->drawString(text, (w - tw) / 2, (h - th) / 2);
    paintDesign(g);
  }

  restoreColor(pen, savedPen);
  restoreColor(fill, savedFill);
  return 1;
}

u32 RKButton::mousePressed(RKPoint p) {
  if (designMode) return RKDesignComponent::mousePressed(p);
  if (buttonDisabled) return 1;
  captureMouse();
  dragging = 1;
  pointerOutside = 0;
  zone = hitTest(p);
  pressPoint = p;
  redraw();
  return 1;
}

u32 RKButton::mouseReleased(RKPoint p) {
  if (designMode) return RKDesignComponent::mouseReleased(p);
  if (buttonDisabled) return 1;
  releaseMouse(0);
  zone = 0;
  if (!pointerOutside && dragging) postActionToParent(RK_ACTION_BUTTON_CLICKED, 0);
  dragging = 0;
  pointerOutside = 0;
  redraw();
  return 1;
}

// Windows turns a second press within the double-click time into a double click; a native push
// button counts it as a click, focus included, and so does this one. Design mode keeps its own
// handling.
u32 RKButton::mouseDoubleClicked(RKPoint p) { return designMode ? 1 : doubleClickPress(p); }

u32 RKButton::mouseMoved(RKPoint p) {
  if (designMode) return RKDesignComponent::mouseMoved(p);
  if (buttonDisabled || !dragging) return 1;
  RKSize s = getSize();
  bool inside = 0 <= p.x && p.x <= s.width && 0 <= p.y && p.y <= s.height;
  if (inside && pointerOutside) {
    pointerOutside = 0;
    redraw();
  } else if (!inside && !pointerOutside) {
    pointerOutside = 1;
    redraw();
  }
  return 1;
}

u32 RKButton::focusGained() {
  if (designMode) return RKDesignComponent::focusGained();
  if (buttonDisabled) return 1;
  focused = 1;
  redraw();
  return 1;
}

u32 RKButton::focusLost() {
  focused = 0;
  if (designMode)
    repaint();
  else
    redraw();
  return 1;
}

u32 RKButton::keyPressed(u32 keysym, u32) {
  if (keysym != KEY_SPACE || buttonDisabled) return 1;
  dragging = 1;
  redraw();
  return 1;
}

u32 RKButton::keyReleased(u32 keysym, u32) {
  if (keysym != KEY_SPACE || buttonDisabled) return 1;
  dragging = 0;
  postActionToParent(RK_ACTION_BUTTON_CLICKED, 0);
  redraw();
  return 1;
}

u32 RKButton::mouseExited() {
  if (hasHelp && hint) hint->hide();
  return 1;
}

u32 RKButton::mouseHovered(RKPoint p) {
  if (!hasHelp || !hint) return 1;
  if (!hintCreated) {
    hintCreated = 1;
    createHint();
  }
  RKPoint origin = getLocationOnScreen();
  hint->setLocation(origin.x + p.x, origin.y + p.y + 21, 1);
  hint->show(0);
  return 1;
}

}  // namespace RKSDK
