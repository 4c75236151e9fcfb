#include "RKRadioButton.h"

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

}  // namespace

RKRadioButton::RKRadioButton(RKString t) : RKCheckBox(t, true) {
  appendClassName("RKRadioButton");
  setWindowClassName("RKRadioButton");
}

RKRadioButton::~RKRadioButton() {}

void RKRadioButton::setSelected(u32 s) { setChecked(s); }
u32 RKRadioButton::isSelected() { return checkState; }

u32 RKRadioButton::mouseReleased(RKPoint p) {
  if (designMode) return RKDesignComponent::mouseReleased(p);
  releaseMouse(0);
  pressed = 0;
  pointerInside = 0;
  if (inside(p)) {
    checkState = 1;
    redraw();
    fireAction(RK_ACTION_RADIO_SELECTED, 0);
  }
  return 1;
}

u32 RKRadioButton::keyPressed(u32 keysym, u32) {
  if (keysym != KEY_SPACE) return 1;
  pressed = 1;
  redraw();
  return 1;
}

u32 RKRadioButton::keyReleased(u32 keysym, u32) {
  if (keysym != KEY_SPACE) return 1;
  pressed = 0;
  checkState = 1;
  redraw();
  fireAction(RK_ACTION_RADIO_SELECTED, 0);
  return 1;
}

u32 RKRadioButton::paint(RKRect area, IRKGraphics* g) {
  if (!g) return 1;
  g->fillRect(area);
  g->setTransparentText(1);
  RKColor* pen = g->getColor();
  RKColor* fill = g->getFillColor();
  u32 savedPen = pen ? pen->getARGB() : 0;
  u32 savedFill = fill ? fill->getARGB() : 0;
  RKSize s = getSize();
  int m = s.height / 2;
  int t = m - 5;
  int fh = g->getFontHeight();
  auto both = [&](u8 r, u8 gr, u8 b) {
    setRGB(pen, r, gr, b);
    setRGB(fill, r, gr, b);
  };

  bool grey = isDisabled() || (!designMode && pressed && pointerInside);
  if (grey) {
    RKColor b = getBackground();
    if (pen) pen->setARGB(b.getARGB());
    if (fill) fill->setARGB(b.getARGB());
  } else {
    both(255, 255, 255);
  }
  g->drawEllipse(1, t + 1, 9, 9);

  if (designMode) {
    paintDesign(g);
  } else if (boxFocused) {
    if (pen) pen->setARGB(savedPen);
    if (fill) fill->setARGB(savedPen);
    RKSize e = getTextExtent(text);
    g->drawFocusRect(18, m - fh / 2 - 3, e.width + 4, fh + 6, 1);
  }

  if (!look3D) {
    both(0, 0, 0);
    g->drawOval(0, t, 11, 11);
    if (checkState) g->drawEllipse(2, t + 2, 7, 7);
  } else {
    both(172, 168, 153);
    g->drawArc(0, t, 11, 11, 11, t, 0, t + 11);
    both(255, 255, 255);
    g->drawArc(0, t, 11, 11, 0, t + 11, 11, t);
    both(113, 111, 100);
    g->drawArc(1, t + 1, 9, 9, 11, t, 0, t + 11);
    both(241, 239, 226);
    g->drawArc(1, t + 1, 9, 9, 0, t + 11, 11, t);
    if (checkState) {
      both(0, 0, 0);
      g->drawRect(4, t + 4, 3, 3);
    }
  }

  if (pen) {
    pen->setARGB(savedPen);
    pen->release();
  }
  if (fill) {
    fill->setARGB(savedFill);
    fill->release();
  }
  g->drawString(text, 20, m - fh / 2);
  return 1;
}

// ---- group ----

RKRadioButtonGroup::RKRadioButtonGroup() {
  appendClassName("RKRadioButtonGroup");
  addRef();
}

RKRadioButtonGroup::~RKRadioButtonGroup() { removeAll(); }

void RKRadioButtonGroup::add(RKRadioButton* radio) {
  if (!radio) return;
  radio->addActionListener(this);
  members.insertAt(int(members.itemCount), radio);
}

void RKRadioButtonGroup::remove(RKRadioButton* radio) {
  if (!radio) return;
  radio->removeActionListener(this);
  for (u32 i = 0; i < members.itemCount; ++i) {
    if (members.items[i] != radio) continue;
    for (u32 j = i + 1; j < members.itemCount; ++j) members.items[j - 1] = members.items[j];
    --members.itemCount;
    return;
  }
}

void RKRadioButtonGroup::removeAll() {
  for (u32 i = 0; i < members.itemCount; ++i) members.items[i]->removeActionListener(this);
  members.itemCount = 0;
  members.reserved = 0;
}

u32 RKRadioButtonGroup::getCount() { return members.itemCount; }

int RKRadioButtonGroup::actionPerformed(RKObject* source, u32 id, u64) {
  u32 count = members.itemCount;
  for (u32 i = 0; i < count && i < members.itemCount; ++i) {
    RKRadioButton* r = members.items[i];
    r->setSelected(source == static_cast<RKObject*>(r) && id == RK_ACTION_RADIO_SELECTED ? 1 : 0);
  }
  return 1;
}

}  // namespace RKSDK
