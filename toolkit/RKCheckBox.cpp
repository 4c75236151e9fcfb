#include "RKCheckBox.h"

#include "RKPaintState.h"

namespace RKSDK {

namespace {

const u32 KEY_SPACE = 32;

}  // namespace

RKCheckBox::RKCheckBox(RKString t) : RKCheckBox(t, false) {}

RKCheckBox::RKCheckBox(RKString t, bool asRadio) : text(t), checkState(0), pressed(0), pointerInside(0), boxFocused(0) {
  if (asRadio) return;
  appendClassName("RKCheckBox");
  setWindowClassName("RKCheckBox");
}

RKCheckBox::~RKCheckBox() {}

void RKCheckBox::setText(RKString t) {
  text = t;
  redraw();
}

RKString RKCheckBox::getText() { return text; }

void RKCheckBox::setChecked(u32 c) {
  checkState = c;
  redraw();
}

u32 RKCheckBox::isChecked() { return checkState; }

bool RKCheckBox::inside(RKPoint p) {
  RKSize s = getSize();
  return 0 <= p.x && p.x <= s.width && 0 <= p.y && p.y <= s.height;
}

u32 RKCheckBox::mousePressed(RKPoint p) {
  if (designMode) return RKDesignComponent::mousePressed(p);
  captureMouse();
  pressed = 1;
  pointerInside = 1;
  redraw();
  return 1;
}

// A second quick press arrives as a double click: it takes the focus and presses the box as any
// press does.
u32 RKCheckBox::mouseDoubleClicked(RKPoint p) { return designMode ? 1 : doubleClickPress(p); }

u32 RKCheckBox::mouseMoved(RKPoint p) {
  if (designMode) return RKDesignComponent::mouseMoved(p);
  if (!pressed) return 1;
  bool in = inside(p);
  if (in && !pointerInside) {
    pointerInside = 1;
    redraw();
  } else if (!in && pointerInside) {
    pointerInside = 0;
    redraw();
  }
  return 1;
}

u32 RKCheckBox::mouseReleased(RKPoint p) {
  if (designMode) return RKDesignComponent::mouseReleased(p);
  releaseMouse(0);
  pressed = 0;
  pointerInside = 0;
  if (inside(p)) {
    checkState = !checkState;
    redraw();
    fireAction(RK_ACTION_CHECKBOX_TOGGLED, 0);
  }
  return 1;
}

u32 RKCheckBox::keyReleased(u32 keysym, u32) {
  if (keysym != KEY_SPACE) return 1;
  checkState = !checkState;
  fireAction(RK_ACTION_CHECKBOX_TOGGLED, 0);
  redraw();
  return 1;
}

u32 RKCheckBox::focusGained() {
  if (designMode) return RKDesignComponent::focusGained();
  boxFocused = 1;
  redraw();
  return 1;
}

u32 RKCheckBox::focusLost() {
  if (designMode) return RKDesignComponent::focusLost();
  boxFocused = 0;
  redraw();
  return 1;
}

u32 RKCheckBox::paint(RKRect area, IRKGraphics* g) {
  if (!g) return 1;
  g->fillRect(area);
  g->setTransparentText(1);
  RKSize s = getSize();
  int m = s.height / 2;
  int fh = g->getFontHeight();
  {
    RKPaintState colors(g);
    // The box: greyed while disabled or while pressed with the pointer on it.
    if (isDisabled() || (!designMode && pressed && pointerInside))
      colors.both(getBackground().getARGB());
    else
      colors.both(255, 255, 255);
    g->drawRect(2, m - 4, 10, 10);

    if (designMode) {
      paintDesign(g);
    } else if (boxFocused || hasFocus()) {
      colors.pen(0);
      g->drawFocusRect(18, m - fh / 2 - 3, getTextExtent(text).width + 4, fh + 6, 1);
    }

    if (look3D) {
      g->draw3DFrame(0, m - 6, 12, 12, RK_FRAME_SUNKEN);
    } else {
      colors.pen(colors.savedPen());
      g->drawRectOutline(0, m - 6, 12, 12);
      g->drawRectOutline(1, m - 5, 10, 10);
    }

    if (checkState) {
      colors.pen(colors.savedPen());
      g->drawLine(3, m - 1, 7, m + 3, 1);
      g->drawLine(3, m, 6, m + 3, 1);
      g->drawLine(3, m + 1, 6, m + 4, 1);
      g->drawLine(6, m, 10, m - 4, 1);
      g->drawLine(6, m + 1, 10, m - 3, 1);
      g->drawLine(7, m + 1, 10, m - 2, 1);
    }
  }
  g->drawString(text, 20, m - fh / 2 + 1);
  return 1;
}

}  // namespace RKSDK
