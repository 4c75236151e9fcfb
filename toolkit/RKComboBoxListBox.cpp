#include "RKComboBoxListBox.h"

#include <initializer_list>
#include <new>

namespace RKSDK {

namespace {

const int BAR = 20;
const int ARROW = 18;

bool between(int low, int v, int high) { return low < v && v < high; }

// An arrow of a drop-down bar; null when it cannot be allocated.
RKComboBoxArrowButton* newArrow(u32 direction) {
  RKComboBoxArrowButton* a = new (std::nothrow) RKComboBoxArrowButton(direction);
  if (!a) return nullptr;
  a->addRef();
  a->setSize(1, 1, 0);
  return a;
}

// A drop-down bar; null when it cannot be allocated.
RKComboBoxScrollBar* newBar(int vertical) {
  RKComboBoxScrollBar* b = new (std::nothrow) RKComboBoxScrollBar(vertical);
  if (!b) return nullptr;
  b->addRef();
  b->setSize(20, 20, 0);
  return b;
}

template <class T>
void letGo(T*& part) {
  if (part) part->release();
  part = nullptr;
}

}  // namespace

// Parts whose allocation fails stay null; the list goes on without them.
RKComboBoxListBox::RKComboBoxListBox() : RKListBox() {
  horizontalBar = newBar(0);
  verticalBar = newBar(1);
  // The list box keeps the parts of a bar it is given, so the bars get their arrows first.
  arrowRight = newArrow(RK_ARROW_RIGHT);
  arrowLeft = newArrow(RK_ARROW_LEFT);
  arrowDown = newArrow(RK_ARROW_DOWN);
  arrowUp = newArrow(RK_ARROW_UP);
  if (horizontalBar) {
    horizontalBar->setIncrementButton(arrowRight);
    horizontalBar->setDecrementButton(arrowLeft);
  }
  if (verticalBar) {
    verticalBar->setIncrementButton(arrowDown);
    verticalBar->setDecrementButton(arrowUp);
  }
  setHorizontalScrollBar(horizontalBar);
  setVerticalScrollBar(verticalBar);
  if (horizontalBar) horizontalBar->setFocusable(0);
  if (verticalBar) verticalBar->setFocusable(0);
  grabX = grabY = pressedPart = 0;
  arrowHeld = 0;
  listCreated = 0;
}

RKComboBoxListBox::~RKComboBoxListBox() {
  letGo(arrowRight);
  letGo(arrowLeft);
  letGo(arrowDown);
  letGo(arrowUp);
  letGo(horizontalBar);
  letGo(verticalBar);
}

void RKComboBoxListBox::onAfterCreate() {
  RKListBox::onAfterCreate();
  for (RKComboBoxArrowButton* a : {arrowRight, arrowLeft, arrowDown, arrowUp})
    if (a) a->setList(this);
  listCreated = 1;
}

u32 RKComboBoxListBox::componentDestroyed() {
  listCreated = 0;
  // The arrows' references back to the list would keep it alive.
  for (RKComboBoxArrowButton* a : {arrowRight, arrowLeft, arrowDown, arrowUp})
    if (a) a->clearList();
  return RKListBox::componentDestroyed();
}

void RKComboBoxListBox::selectPrevious() {
  int c = anchorIndex;
  if (c <= 0) return;
  if (validIndex(c - 1)) items.items[c - 1]->selected = 1;
  deselect(c);
  anchorIndex = c - 1;
  if (anchorIndex < topIndex) {
    --topIndex;
    if (barShown(verticalScrollBar)) verticalScrollBar->setValue(verticalScrollBar->getValue() - 1);
  }
  refresh();
}

void RKComboBoxListBox::selectNext() {
  int c = anchorIndex;
  if (c >= getItemCount() - 1) return;
  int next = c < 0 ? 0 : c + 1;
  items.items[next]->selected = 1;
  deselect(c);
  anchorIndex = next;
  if (anchorIndex >= topIndex + visibleRows) {
    ++topIndex;
    if (barShown(verticalScrollBar)) verticalScrollBar->setValue(verticalScrollBar->getValue() + 1);
  }
  refresh();
}

// ---- the bar parts under the pointer ----

int RKComboBoxListBox::partAt(RKPoint p) {
  bool hb = barShown(horizontalScrollBar), vb = barShown(verticalScrollBar);
  if (!hb && !vb) return 0;
  RKSize s = getSize();
  int f = int(borderAdjust), X = f + s.width, Y = f + s.height, x = p.x, y = p.y;
  int L = 0, R = 0, T = 0, B = 0;
  if (hThumb) {
    L = hThumb->getLocation().x - f + 2;
    R = L + hThumb->getSize().width;
  }
  if (vThumb) {
    T = vThumb->getLocation().y - f + 2;
    B = T + vThumb->getSize().height;
  }
  bool rightColumn = between(X - BAR, x, X - 2), bottomRow = between(Y - BAR, y, Y - 2);
  if (hb && vb) {
    if (rightColumn && between(2 - f, y, BAR - f)) return 1;
    if (rightColumn && between(Y - BAR - ARROW, y, Y - BAR)) return 2;
    if (between(2 - f, x, BAR - f) && bottomRow) return 3;
    if (between(X - BAR - ARROW, x, X - BAR) && bottomRow) return 4;
    if (rightColumn && bottomRow) return 5;
    if (between(L, x, R) && bottomRow) return 6;
    if (rightColumn && between(T, y, B)) return 7;
    if ((between(BAR - f, x, L) || between(R, x, X - BAR - ARROW)) && bottomRow) return 8;
    if (rightColumn && (between(f + BAR, y, T) || between(B, y, Y - BAR - ARROW))) return 9;
    return 0;
  }
  if (hb) {
    if (between(2 - f, x, BAR - f) && bottomRow) return 10;
    if (rightColumn && bottomRow) return 11;
    if (between(L, x, R) && bottomRow) return 12;
    if ((between(BAR - f, x, L) || between(R, x, X - BAR)) && bottomRow) return 13;
    return 0;
  }
  if (rightColumn && between(2 - f, y, BAR - f)) return 14;
  if (rightColumn && bottomRow) return 15;
  if (rightColumn && between(T, y, B)) return 16;
  if (rightColumn && (between(f + BAR, y, T) || between(B, y, Y - BAR))) return 17;
  return 0;
}

RKComboBoxArrowButton* RKComboBoxListBox::arrowOf(int code) {
  switch (code) {
    case 1:
    case 14:
      return arrowUp;
    case 2:
    case 15:
      return arrowDown;
    case 3:
    case 10:
      return arrowLeft;
    case 4:
    case 11:
      return arrowRight;
    default:
      return nullptr;
  }
}

RKComboBoxScrollBar* RKComboBoxListBox::barOf(int code) {
  return code == 8 || code == 13 ? horizontalBar : (code == 9 || code == 17 ? verticalBar : nullptr);
}

RKPoint RKComboBoxListBox::originOf(int code) {
  RKSize s = getSize();
  int f = int(borderAdjust), X = f + s.width, Y = f + s.height;
  switch (code) {
    case 1:
    case 14:
      return RKPoint(X - BAR, 2 - f);
    case 2:
      return RKPoint(X - BAR, Y - BAR - ARROW);
    case 15:
      return RKPoint(X - BAR, Y - BAR);
    case 3:
    case 10:
      return RKPoint(2 - f, Y - BAR);
    case 4:
      return RKPoint(X - BAR - ARROW, Y - BAR);
    case 11:
      return RKPoint(X - BAR, Y - BAR);
    case 8:
    case 13:
      return RKPoint(2 - f, Y - BAR);
    case 9:
    case 17:
      return RKPoint(X - BAR, 2 - f);
    default:
      return RKPoint(0, 0);
  }
}

bool RKComboBoxListBox::inArrow(int code, RKPoint p) { return partAt(p) == code; }

static RKPoint minus(RKPoint p, RKPoint o) { return RKPoint(p.x - o.x, p.y - o.y); }

// ---- mouse ----

u32 RKComboBoxListBox::mousePressed(RKPoint p) {
  int code = partAt(p);
  if (code == 0) return RKListBox::mousePressed(p);
  if (isArrow(code)) {
    RKComboBoxArrowButton* a = arrowOf(code);
    if (a) a->mousePressed(minus(p, originOf(code)));
    pressedPart = code;
    arrowHeld = 1;
  } else if (code == 5) {
    pressedPart = 5;
  } else if (code == 6 || code == 12) {
    pressedPart = code;
    grabX = int(borderAdjust) - hThumb->getLocation().x + p.x - 2;
  } else if (code == 7 || code == 16) {
    pressedPart = code;
    grabY = int(borderAdjust) - vThumb->getLocation().y + p.y - 2;
  } else {
    barOf(code)->mousePressed(minus(p, originOf(code)));
    pressedPart = code;
  }
  return 1;
}

void RKComboBoxListBox::dragThumb(bool horizontal, RKPoint p) {
  RKScrollBarBox* t = horizontal ? hThumb : vThumb;
  RKScrollBar* bar = horizontal ? horizontalScrollBar : verticalScrollBar;
  if (!t || !bar) return;
  int f = int(borderAdjust);
  RKPoint at = t->getLocation();
  RKSize ts = t->getSize(), bs = bar->getSize();
  int thumbLength = horizontal ? ts.width : ts.height;
  int barLength = horizontal ? bs.width : bs.height;
  int pos = horizontal ? f - grabX + p.x - 2 : f - grabY + p.y - 2;
  if (pos >= ARROW) {
    if (pos + thumbLength > barLength - ARROW) pos = barLength - ARROW - thumbLength;
  } else {
    pos = ARROW;
  }
  if (horizontal)
    t->setLocation(pos, at.y, 1);
  else
    t->setLocation(at.x, pos, 1);
  t->postActionToParent(RK_ACTION_SCROLL_BOX_MOVED, 0);
}

void RKComboBoxListBox::hoverAt(RKPoint p) {
  RKSize s = getSize();
  int f = int(borderAdjust);
  int right = f + s.width - 2 - (barShown(verticalScrollBar) ? ARROW : 0);
  int bottom = f + s.height - 2 - (barShown(horizontalScrollBar) ? ARROW : 0);
  if (!between(2 - f, p.x, right) || !between(2 - f, p.y, bottom)) return;
  int row = (f + p.y - 2) / rowPitch() + topIndex;
  if (row == anchorIndex || !validIndex(row)) return;
  items.items[row]->selected = 1;
  if (validIndex(anchorIndex)) deselect(anchorIndex);
  anchorIndex = row;
  refresh();
}

u32 RKComboBoxListBox::mouseMoved(RKPoint p) {
  if (designMode) return RKDesignComponent::mouseMoved(p);
  int code = pressedPart;
  if (isArrow(code)) {
    RKComboBoxArrowButton* a = arrowOf(code);
    bool in = inArrow(code, p);
    if (in && !arrowHeld) {
      if (a) a->mousePressed(minus(p, originOf(code)));
      arrowHeld = 1;
    } else if (!in && arrowHeld) {
      if (a) a->mouseReleased(minus(p, originOf(code)));
      arrowHeld = 0;
    }
  } else if (code == 6 || code == 12) {
    dragThumb(true, p);
  } else if (code == 7 || code == 16) {
    dragThumb(false, p);
  } else if (isTrack(code)) {
    barOf(code)->mouseMoved(minus(p, originOf(code)));
  } else if (code == 0) {
    hoverAt(p);
  }
  return 1;
}

u32 RKComboBoxListBox::mouseReleased(RKPoint p) {
  if (designMode) return RKDesignComponent::mouseReleased(p);
  dragSelecting = 0;
  int code = pressedPart;
  if (isArrow(code)) {
    RKComboBoxArrowButton* a = arrowOf(code);
    if (a) a->mouseReleased(minus(p, originOf(code)));
    arrowHeld = 0;
  } else if (isTrack(code)) {
    barOf(code)->mouseReleased(minus(p, originOf(code)));
  } else if (code == 6 || code == 12) {
    grabX = 0;
  } else if (code == 7 || code == 16) {
    grabY = 0;
  }
  pressedPart = 0;
  if (code == 0) {
    releaseMouse(0);
    hide();
    postActionToParent(RK_ACTION_LIST_SELECTION_CHANGED, 0);
  }
  return 1;
}

}  // namespace RKSDK
