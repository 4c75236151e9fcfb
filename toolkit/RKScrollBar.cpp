#include "RKScrollBar.h"

#include <new>

#include "RKPaintState.h"

namespace RKSDK {

RKScrollBar::RKScrollBar() : RKScrollBar(0) {}

RKScrollBar::RKScrollBar(u32 o)
    : orientation(o),
      maximum(100),
      minimum(0),
      value(0),
      visibleAmount(10),
      unitIncrement(1),
      repeatInterval(100),
      trackColor(50, 50, 50),
      trackPressed(0),
      pressedSide(0),
      repeatKind(0),
      incrementButton(nullptr),
      decrementButton(nullptr),
      thumb(nullptr) {
  appendClassName("RKScrollBar");
  setWindowClassName("RKScrollBar");
  initialize();
}

RKScrollBar::~RKScrollBar() {}

void RKScrollBar::initialize() {
  maximum = 100;
  minimum = 0;
  value = 0;
  visibleAmount = 10;
  unitIncrement = 1;
  repeatInterval = 100;
  trackPressed = pressedSide = repeatKind = 0;
  trackColor = RKColor(50, 50, 50);
  setBackground(RKColor(220, 220, 220));
  thumb = new (std::nothrow) RKScrollBarBox();
  if (thumb) thumb->setOrientation(0);
  bool v = vertical();
  incrementButton = new (std::nothrow) RKArrowButton(v ? RK_ARROW_DOWN : RK_ARROW_RIGHT);
  decrementButton = new (std::nothrow) RKArrowButton(v ? RK_ARROW_UP : RK_ARROW_LEFT);
  if (thumb) thumb->setOrientation(v ? 1 : 0);
  setFocusable(0);
  RKComponent* parts[3] = {incrementButton, decrementButton, thumb};
  for (RKComponent* part : parts) {
    if (!part) continue;
    part->setSize(10, 10, 0);
    add(part);
  }
}

void RKScrollBar::setOrientation(u32 o) {
  if (o == orientation) return;
  if (incrementButton) incrementButton->setDirection(o ? RK_ARROW_DOWN : RK_ARROW_RIGHT);
  if (decrementButton) decrementButton->setDirection(o ? RK_ARROW_UP : RK_ARROW_LEFT);
  if (thumb) thumb->setOrientation(o ? 1 : 0);
  orientation = o;
  layoutArrows();
  layoutThumb();
}

void RKScrollBar::setMaximum(int v) {
  if (v <= minimum) return;
  if (value > v - visibleAmount) value = v - visibleAmount;
  maximum = v;
  layoutThumb();
}

int RKScrollBar::getMaximum() { return maximum; }

void RKScrollBar::setMinimum(int v) {
  if (v >= maximum) return;
  if (value < v) value = v;
  minimum = v;
  layoutThumb();
}

int RKScrollBar::getMinimum() { return minimum; }

void RKScrollBar::setValue(int v) {
  if (v > maximum) v = maximum;
  if (v < minimum) v = minimum;
  value = v;
  valueChanged();
}

int RKScrollBar::getValue() { return value; }

void RKScrollBar::setVisibleAmount(int a) {
  visibleAmount = a;
  layoutThumb();
}

int RKScrollBar::getVisibleAmount() { return visibleAmount; }

void RKScrollBar::setUnitIncrement(int i) {
  unitIncrement = i;
  layoutThumb();
}

int RKScrollBar::getUnitIncrement() { return unitIncrement; }

void RKScrollBar::setRepeatInterval(int ms) {
  if (ms > 0) repeatInterval = ms;
}

namespace {

// Swaps one part of the bar: the old one leaves the container (which releases it), the new
// one joins it (which holds it). The new one joins first, so that handing in the part already
// held does not destroy it on the way.
template <class Part>
void replacePart(RKContainer* bar, Part*& slot, Part* part) {
  if (!part) return;
  if (part == slot) return;
  Part* old = slot;
  slot = part;
  bar->add(part);
  if (old) bar->remove(old);
}

template <class Part>
Part* shared(Part* part) {
  if (part) part->addRef();
  return part;
}

}  // namespace

void RKScrollBar::setIncrementButton(RKArrowButton* b) {
  replacePart(this, incrementButton, b);
  layoutArrows();
}

RKArrowButton* RKScrollBar::getIncrementButton() { return shared(incrementButton); }

void RKScrollBar::setDecrementButton(RKArrowButton* b) {
  replacePart(this, decrementButton, b);
  layoutArrows();
}

RKArrowButton* RKScrollBar::getDecrementButton() { return shared(decrementButton); }

void RKScrollBar::setThumb(RKScrollBarBox* t) {
  replacePart(this, thumb, t);
  layoutThumb();
}

RKScrollBarBox* RKScrollBar::getThumb() { return shared(thumb); }

void RKScrollBar::setTrackColor(RKColor c) {
  trackColor.setRed(c.getRed());
  trackColor.setGreen(c.getGreen());
  trackColor.setBlue(c.getBlue());
  trackColor.setAlpha(c.getAlpha());
}

void RKScrollBar::layoutArrows() {
  if (!incrementButton || !decrementButton) return;
  RKSize s = getSize();
  int w = s.width, h = s.height;
  if (vertical()) {
    if (w <= h) {
      incrementButton->setLocation(0, h - w, 1);
      incrementButton->setSize(w, w, 1);
      decrementButton->setLocation(0, 0, 1);
      decrementButton->setSize(w, w, 1);
      incrementButton->setInset((w - 19) / 4);
      decrementButton->setInset((w - 19) / 4);
    } else {
      incrementButton->setLocation(0, h / 2, 1);
      incrementButton->setSize(w, h / 2, 1);
      decrementButton->setLocation(0, 0, 1);
      decrementButton->setSize(w, h / 2 - 1, 1);
    }
  } else if (w <= h) {
    incrementButton->setLocation(w / 2 - 1, 0, 1);
    incrementButton->setSize(w / 2, h, 1);
    decrementButton->setLocation(0, 0, 1);
    decrementButton->setSize(w / 2 - 1, h, 1);
  } else {
    incrementButton->setLocation(w - h - 1, 0, 1);
    incrementButton->setSize(h, h, 1);
    decrementButton->setLocation(0, 0, 1);
    decrementButton->setSize(h, h, 1);
    incrementButton->setInset((h - 19) / 4);
    decrementButton->setInset((h - 19) / 4);
  }
}

int RKScrollBar::trackLength() {
  RKSize s = getSize();
  RKSize inc = incrementButton ? incrementButton->getSize() : RKSize();
  RKSize dec = decrementButton ? decrementButton->getSize() : RKSize();
  if (vertical()) return s.height - inc.height - dec.height;
  return s.width - inc.width - dec.width;
}

void RKScrollBar::layoutThumb() {
  if (!thumb || !incrementButton || !decrementButton) return;
  RKSize s = getSize();
  bool v = vertical();
  if (v ? !(s.width < s.height) : !(s.width > s.height)) return;
  int track = trackLength();
  int range = maximum - minimum;
  int offset = (value - minimum) * track / range;
  int length = visibleAmount * track / range;
  if (length < 6) length = 6;
  RKSize inc = incrementButton->getSize();
  RKSize dec = decrementButton->getSize();
  if (v) {
    thumb->setLocation(0, dec.height + offset, 1);
    thumb->setSize(s.width, length - 1, 1);
    thumb->setMaximumPosition(s.height - inc.height - length);
    thumb->setMinimumPosition(dec.height);
  } else {
    thumb->setLocation(dec.width + offset, 0, 1);
    thumb->setSize(length - 1, s.height, 1);
    thumb->setMaximumPosition(s.width - inc.width - length);
    thumb->setMinimumPosition(dec.width);
  }
}

void RKScrollBar::valueChanged() {
  if (!thumb || !incrementButton || !decrementButton) return;
  RKSize s = getSize();
  bool v = vertical();
  if (v ? !(s.width < s.height) : !(s.width > s.height)) return;
  int offset = (value - minimum) * trackLength() / (maximum - minimum);
  RKSize dec = decrementButton->getSize();
  if (v)
    thumb->setLocation(0, dec.height + offset, 1);
  else
    thumb->setLocation(dec.width + offset, 0, 1);
}

int RKScrollBar::valueFromThumb() {
  if (!thumb || !decrementButton) return value;
  int track = trackLength();
  // A bar hardly longer than its buttons has no track to measure against.
  if (track <= 0) return value;
  RKPoint at = thumb->getLocation();
  RKSize dec = decrementButton->getSize();
  int position = vertical() ? at.y - dec.height : at.x - dec.width;
  float r = ((float)maximum - (float)minimum) * (float)position / (float)track;
  return int(r) + minimum;
}

void RKScrollBar::stepUp() {
  value += unitIncrement;
  if (value > maximum - visibleAmount) value = maximum - visibleAmount;
  valueChanged();
  postActionToParent(RK_ACTION_SCROLL_VALUE_CHANGED, 0);
}

void RKScrollBar::stepDown() {
  value -= unitIncrement;
  if (value < minimum) value = minimum;
  valueChanged();
  postActionToParent(RK_ACTION_SCROLL_VALUE_CHANGED, 0);
}

void RKScrollBar::pageUp() {
  value -= visibleAmount;
  if (value < minimum) value = minimum;
  pressedSide = 1;
}

void RKScrollBar::pageDown() {
  value += visibleAmount;
  if (value + visibleAmount > maximum) value = maximum - visibleAmount;
  // A visible amount wider than the range would leave the value below the minimum.
  if (value < minimum) value = minimum;
  pressedSide = 2;
}

int RKScrollBar::actionPerformed(RKObject* source, u32 id, u64) {
  RKObject* inc = incrementButton ? static_cast<RKObject*>(incrementButton) : nullptr;
  RKObject* dec = decrementButton ? static_cast<RKObject*>(decrementButton) : nullptr;
  RKObject* box = thumb ? static_cast<RKObject*>(thumb) : nullptr;
  if (source && source == inc && id == RK_ACTION_ARROW_PRESSED) {
    if (value < maximum - visibleAmount) {
      repeatKind = 1;
      startTimer(u32(repeatInterval));
      stepUp();
    }
  } else if (source && source == dec && id == RK_ACTION_ARROW_PRESSED) {
    if (value > minimum) {
      repeatKind = 2;
      startTimer(u32(repeatInterval));
      stepDown();
    }
  } else if (source && source == box && id == RK_ACTION_THUMB_MOVED) {
    int v = valueFromThumb();
    if (v != value) {
      value = v;
      postActionToParent(RK_ACTION_SCROLL_VALUE_CHANGED, 0);
    }
  } else if (source && (source == inc || source == dec) && id == RK_ACTION_ARROW_RELEASED) {
    repeatKind = 0;
    stopTimer();
  }
  return 1;
}

u32 RKScrollBar::mousePressed(RKPoint p) {
  if (designMode) return RKDesignComponent::mousePressed(p);
  captureMouse();
  trackPressed = 1;
  RKPoint at = thumb ? thumb->getLocation() : RKPoint();
  bool before = vertical() ? p.y < at.y : p.x < at.x;
  if (before) {
    pageUp();
    repeatKind = 3;
  } else {
    pageDown();
    repeatKind = 4;
  }
  startTimer(u32(repeatInterval));
  valueChanged();
  repaint();
  postActionToParent(RK_ACTION_SCROLL_VALUE_CHANGED, 0);
  return 1;
}

u32 RKScrollBar::mouseReleased(RKPoint p) {
  if (designMode) return RKDesignComponent::mouseReleased(p);
  trackPressed = 0;
  pressedSide = 0;
  repeatKind = 0;
  stopTimer();
  repaint();
  releaseMouse(0);
  return 1;
}

// A second quick press on the track arrives as a double click: it pages as any press does (the
// bar itself is not focusable, so the focus stays where it is).
u32 RKScrollBar::mouseDoubleClicked(RKPoint p) { return designMode ? 1 : doubleClickPress(p); }

u32 RKScrollBar::mouseMoved(RKPoint p) {
  if (designMode) return RKDesignComponent::mouseMoved(p);
  if (!trackPressed || !thumb || !incrementButton || !decrementButton) return 1;
  RKSize s = getSize();
  int w = s.width, h = s.height, x = p.x, y = p.y;
  RKPoint t = thumb->getLocation();
  RKSize ts = thumb->getSize();
  RKSize inc = incrementButton->getSize();
  RKSize dec = decrementButton->getSize();
  bool in = false;
  if (vertical()) {
    if (pressedSide == 1) in = 0 < x && x < w && dec.height < y && y < t.y;
    if (pressedSide == 2) in = 0 < x && x < w && t.y + ts.height < y && y < h - inc.height;
  } else {
    if (pressedSide == 1) in = dec.width < x && x < t.x && 0 < y && y < h;
    if (pressedSide == 2) in = t.x + ts.width < x && x < w - inc.width && 0 < y && y < ts.height;
  }
  if (in)
    startTimer(u32(repeatInterval));
  else
    stopTimer();
  return 1;
}

u32 RKScrollBar::timerFired() {
  switch (repeatKind) {
    case 1:
      if (value < maximum - visibleAmount) stepUp();
      break;
    case 2:
      if (value > minimum) stepDown();
      break;
    case 3:
    case 4:
      if (repeatKind == 3)
        pageUp();
      else
        pageDown();
      valueChanged();
      repaint();
      postActionToParent(RK_ACTION_SCROLL_VALUE_CHANGED, 0);
      break;
    default:
      break;
  }
  return 1;
}

void RKScrollBar::setSize(int width, int height, int repaint) {
  RKComponent::setSize(width, height, repaint);
  layoutArrows();
  layoutThumb();
}

void RKScrollBar::onAfterCreate() {
  layoutArrows();
  layoutThumb();
  RKContainer::onAfterCreate();
}

u32 RKScrollBar::componentResized(u32, u16, u16) {
  layoutArrows();
  layoutThumb();
  return 1;
}

u32 RKScrollBar::paint(RKRect area, IRKGraphics* g) {
  if (!g) return 1;
  if (designMode) return RKContainer::paint(area, g);
  g->fillRect(area);
  g->setTransparentText(1);
  if (!pressedSide || !thumb || !incrementButton || !decrementButton) return 1;
  RKPaintState colors(g);
  colors.both(trackColor.getARGB());
  RKSize s = getSize();
  int w = s.width, h = s.height;
  RKPoint t = thumb->getLocation();
  RKSize ts = thumb->getSize();
  RKSize inc = incrementButton->getSize();
  RKSize dec = decrementButton->getSize();
  if (vertical()) {
    if (pressedSide == 1) g->drawRect(0, dec.height, w, t.y - dec.height);
    if (pressedSide == 2) g->drawRect(0, t.y + ts.height, w, h - inc.height - t.y - ts.height);
  } else {
    if (pressedSide == 1) g->drawRect(dec.width, 0, t.x - dec.width, h);
    if (pressedSide == 2) g->drawRect(t.x + ts.width, 0, w - inc.width - t.x - ts.width, h);
  }
  return 1;
}

}  // namespace RKSDK
