#include "RKListBox.h"

#include <new>

#include "RKPaintState.h"

namespace RKSDK {

namespace {

const u32 KEY_RETURN = 0xFF0D;
const u32 KEY_HOME = 0xFF50;
const u32 KEY_LEFT = 0xFF51;
const u32 KEY_UP = 0xFF52;
const u32 KEY_RIGHT = 0xFF53;
const u32 KEY_DOWN = 0xFF54;
const u32 KEY_PAGE_UP = 0xFF55;
const u32 KEY_PAGE_DOWN = 0xFF56;
const u32 KEY_END = 0xFF57;
const u32 VK_SHIFT_KEY = 16;
const u32 VK_CONTROL_KEY = 17;
const int BAR = 18;

void copyColor(RKColor& to, RKColor& from) {
  to.setRed(from.getRed());
  to.setGreen(from.getGreen());
  to.setBlue(from.getBlue());
  to.setAlpha(from.getAlpha());
}

}  // namespace

RKListBoxItem::RKListBoxItem(RKString t) : selected(0), marked(0), text(t) {}
RKListBoxItem::~RKListBoxItem() {}

RKListBox::RKListBox()
    : multipleSelection(0),
      anchorIndex(-1),
      rowHeight(0),
      topIndex(0),
      visibleRows(0),
      selectionColor(8, 36, 107),
      selectionTextColor(255, 255, 255),
      listCreated(0),
      widestItemWidth(0),
      horizontalOffset(0),
      dragSelecting(0),
      cornerInvalidated(0),
      horizontalScrollBar(nullptr),
      verticalScrollBar(nullptr),
      hIncrementButton(nullptr),
      hDecrementButton(nullptr),
      vIncrementButton(nullptr),
      vDecrementButton(nullptr),
      hThumb(nullptr),
      vThumb(nullptr),
      borderAdjust(0) {
  appendClassName("RKListBox");
  initialize();
}

RKListBox::~RKListBox() {
  // The parts must not report to a list that is going away while their windows end.
  if (listCreated) listenToParts(0);
  listCreated = 0;
  for (u32 i = 0; i < items.itemCount; ++i) items.items[i]->release();
  items.itemCount = 0;
  items.reserved = 0;
  dropParts(&hIncrementButton, &hDecrementButton, &hThumb);
  dropParts(&vIncrementButton, &vDecrementButton, &vThumb);
  RKScrollBar* bars[2] = {horizontalScrollBar, verticalScrollBar};
  horizontalScrollBar = verticalScrollBar = nullptr;
  for (RKScrollBar* bar : bars) {
    if (!bar) continue;
    remove(bar);
    bar->release();
  }
}

void RKListBox::initialize() {
  setWindowClassName("RKListBox");
  setBackground(RKColor(255, 255, 255));
  selectionColor = RKColor(8, 36, 107);
  selectionTextColor = RKColor(255, 255, 255);
  multipleSelection = 0;
  anchorIndex = -1;
  rowHeight = topIndex = visibleRows = 0;
  listCreated = 0;
  widestItemWidth = horizontalOffset = 0;
  dragSelecting = cornerInvalidated = 0;
  horizontalScrollBar = new (std::nothrow) RKScrollBar(0);
  verticalScrollBar = new (std::nothrow) RKScrollBar(1);
  RKScrollBar* bars[2] = {horizontalScrollBar, verticalScrollBar};
  for (RKScrollBar* bar : bars) {
    if (!bar) continue;
    bar->addRef();
    bar->setSize(10, 10, 0);
  }
  takeParts(horizontalScrollBar, &hIncrementButton, &hDecrementButton, &hThumb);
  takeParts(verticalScrollBar, &vIncrementButton, &vDecrementButton, &vThumb);
  if (horizontalScrollBar) add(horizontalScrollBar);
  if (verticalScrollBar) add(verticalScrollBar);
  borderAdjust = 0;
}

int RKListBox::rowPitch() { return rowHeight + 1 > 0 ? rowHeight + 1 : 1; }

// ---- parts of the bars ----

void RKListBox::takeParts(RKScrollBar* bar, RKArrowButton** inc, RKArrowButton** dec, RKScrollBarBox** thumb) {
  *inc = bar ? bar->getIncrementButton() : nullptr;
  *dec = bar ? bar->getDecrementButton() : nullptr;
  *thumb = bar ? bar->getThumb() : nullptr;
}

void RKListBox::dropParts(RKArrowButton** inc, RKArrowButton** dec, RKScrollBarBox** thumb) {
  if (*inc) (*inc)->release();
  if (*dec) (*dec)->release();
  if (*thumb) (*thumb)->release();
  *inc = *dec = nullptr;
  *thumb = nullptr;
}

void RKListBox::listenToParts(int on) {
  RKComponent* parts[6] = {hIncrementButton, hDecrementButton, hThumb, vIncrementButton, vDecrementButton, vThumb};
  for (RKComponent* part : parts) {
    if (!part) continue;
    if (on)
      part->addComponentListener(this);
    else
      part->removeComponentListener(this);
  }
}

void RKListBox::replaceBar(RKScrollBar** slot, RKScrollBar* bar, RKArrowButton** inc, RKArrowButton** dec,
                           RKScrollBarBox** thumb) {
  // The bar already held stays as it is: taking it out first would destroy it.
  if (!bar || bar == *slot) return;
  if (*slot) {
    if (listCreated) {
      RKComponent* parts[3] = {*inc, *dec, *thumb};
      for (RKComponent* part : parts)
        if (part) part->removeComponentListener(this);
    }
    dropParts(inc, dec, thumb);
    RKScrollBar* old = *slot;
    *slot = nullptr;
    remove(old);
    old->release();
  }
  bar->addRef();
  *slot = bar;
  add(bar);
  takeParts(bar, inc, dec, thumb);
  if (listCreated) {
    RKComponent* parts[3] = {*inc, *dec, *thumb};
    for (RKComponent* part : parts)
      if (part) part->addComponentListener(this);
  }
}

void RKListBox::setHorizontalScrollBar(RKScrollBar* bar) {
  replaceBar(&horizontalScrollBar, bar, &hIncrementButton, &hDecrementButton, &hThumb);
}

RKScrollBar* RKListBox::getHorizontalScrollBar() {
  if (horizontalScrollBar) horizontalScrollBar->addRef();
  return horizontalScrollBar;
}

void RKListBox::setVerticalScrollBar(RKScrollBar* bar) {
  replaceBar(&verticalScrollBar, bar, &vIncrementButton, &vDecrementButton, &vThumb);
}

RKScrollBar* RKListBox::getVerticalScrollBar() {
  if (verticalScrollBar) verticalScrollBar->addRef();
  return verticalScrollBar;
}

// ---- rows ----

void RKListBox::insertRow(RKListBoxItem* item, int index) {
  item->addRef();
  if (!items.insertAt(index, item)) {
    item->release();
    return;
  }
  if (!listCreated) return;
  int w = getTextExtent(item->text).width;
  if (w > widestItemWidth) widestItemWidth = w;
  updateScrollBars();
  refresh();
}

void RKListBox::insertItem(RKString text, int index) {
  if (index < 0 || u32(index) > items.itemCount) return;
  RKListBoxItem* item = new (std::nothrow) RKListBoxItem(text);
  if (item) insertRow(item, index);
}

void RKListBox::addItem(RKString text) { insertItem(text, int(items.itemCount)); }

void RKListBox::removeItem(RKString text) {
  for (u32 i = 0; i < items.itemCount; ++i) {
    if (items.items[i]->text == text) {
      removeItemAt(int(i));
      return;
    }
  }
}

void RKListBox::removeItemAt(int index) {
  if (!validIndex(index)) return;
  RKListBoxItem* item = items.items[index];
  for (u32 j = u32(index) + 1; j < items.itemCount; ++j) items.items[j - 1] = items.items[j];
  --items.itemCount;
  if (getTextExtent(item->text).width >= widestItemWidth) widestItemWidth = measureWidestItem();
  item->release();
  updateScrollBars();
  refresh();
}

void RKListBox::removeAll() {
  for (u32 i = 0; i < items.itemCount; ++i) items.items[i]->release();
  items.itemCount = 0;
  items.reserved = 0;
  anchorIndex = -1;
  topIndex = 0;
  widestItemWidth = 0;
  if (horizontalScrollBar) horizontalScrollBar->hide();
  if (verticalScrollBar) verticalScrollBar->hide();
  refresh();
}

void RKListBox::replaceItem(RKString text, int index) {
  if (validIndex(index)) {
    RKListBoxItem* item = new (std::nothrow) RKListBoxItem(text);
    if (item) {
      item->addRef();
      items.items[index]->release();
      items.items[index] = item;
    }
  }
  updateScrollBars();
  refresh();
}

int RKListBox::measureWidestItem() {
  int widest = 0;
  for (u32 i = 0; i < items.itemCount; ++i) {
    int w = getTextExtent(items.items[i]->text).width;
    if (w > widest) widest = w;
  }
  return widest;
}

// ---- selection ----

void RKListBox::select(int index) {
  if (!validIndex(index)) return;
  items.items[index]->selected = 1;
  if (!multipleSelection && anchorIndex != -1 && anchorIndex != index) deselect(anchorIndex);
  anchorIndex = index;
  refresh();
}

void RKListBox::deselect(int index) {
  if (validIndex(index)) items.items[index]->selected = 0;
}

void RKListBox::toggleMark(int index) {
  if (validIndex(index)) items.items[index]->marked = !items.items[index]->marked;
}

u32 RKListBox::isMarked(int index) { return validIndex(index) ? items.items[index]->marked : 0; }

void RKListBox::setMultipleSelection(u32 m) { multipleSelection = m; }
u32 RKListBox::isMultipleSelection() { return multipleSelection; }
u32 RKListBox::isSelected(int index) { return validIndex(index) ? items.items[index]->selected : 0; }
RKString RKListBox::getItemText(int index) { return validIndex(index) ? items.items[index]->text : RKString(""); }
int RKListBox::getItemCount() { return int(items.itemCount); }
TRKList<RKString> RKListBox::newTextList() { return TRKList<RKString>(); }

TRKList<int> RKListBox::getSelectedIndexes() {
  TRKList<int> out;
  for (u32 i = 0; i < items.itemCount; ++i)
    if (items.items[i]->selected) out.addLast(int(i));
  return out;
}

int RKListBox::getSelectedIndex() {
  for (u32 i = 0; i < items.itemCount; ++i)
    if (items.items[i]->selected) return int(i);
  return -1;
}

RKString RKListBox::getSelectedText() { return getItemText(getSelectedIndex()); }

TRKList<RKString> RKListBox::getSelectedTexts() {
  TRKList<RKString> out;
  for (u32 i = 0; i < items.itemCount; ++i)
    if (items.items[i]->selected) out.addLast(items.items[i]->text);
  return out;
}

void RKListBox::setSelectionColor(RKColor c) { copyColor(selectionColor, c); }
void RKListBox::setSelectionTextColor(RKColor c) { copyColor(selectionTextColor, c); }

void RKListBox::selectRange(int first, int last) {
  for (u32 i = 0; i < items.itemCount; ++i) items.items[i]->selected = first <= int(i) && int(i) <= last ? 1 : 0;
  refresh();
}

void RKListBox::selectPrevious() {
  if (anchorIndex <= 0 || !validIndex(anchorIndex)) return;
  items.items[anchorIndex - 1]->selected = 1;
  deselect(anchorIndex);
  --anchorIndex;
  if (anchorIndex < topIndex) {
    --topIndex;
    if (barShown(verticalScrollBar)) verticalScrollBar->setValue(verticalScrollBar->getValue() - 1);
  }
  refresh();
  postActionToParent(RK_ACTION_LIST_SELECTION_CHANGED, 0);
}

void RKListBox::selectNext() {
  int next = anchorIndex + 1;
  if (next < 0 || !validIndex(next)) return;
  items.items[next]->selected = 1;
  deselect(anchorIndex);
  anchorIndex = next;
  if (anchorIndex >= topIndex + visibleRows) {
    ++topIndex;
    if (barShown(verticalScrollBar)) verticalScrollBar->setValue(verticalScrollBar->getValue() + 1);
  }
  refresh();
  postActionToParent(RK_ACTION_LIST_SELECTION_CHANGED, 0);
}

void RKListBox::pageTo(int target) {
  if (!validIndex(target)) return;
  items.items[target]->selected = 1;
  if (anchorIndex != target) deselect(anchorIndex);
  anchorIndex = target;
  if (barShown(verticalScrollBar)) verticalScrollBar->setValue(topIndex);
  refresh();
  postActionToParent(RK_ACTION_LIST_SELECTION_CHANGED, 0);
}

void RKListBox::pageUp() {
  if (items.itemCount == 0) return;
  if (anchorIndex == topIndex) {
    topIndex -= visibleRows;
    if (topIndex < 0) topIndex = 0;
  }
  pageTo(topIndex);
}

void RKListBox::pageDown() {
  int count = int(items.itemCount);
  if (count == 0) return;
  int bottom = topIndex + visibleRows - 1;
  if (anchorIndex == bottom) {
    bottom = anchorIndex + visibleRows;
    if (bottom > count - 1) bottom = count - 1;
    topIndex = bottom - visibleRows + 1;
    if (topIndex < 0) topIndex = 0;
  }
  if (bottom > count - 1) bottom = count - 1;
  pageTo(bottom);
}

// ---- scrolling and layout ----

void RKListBox::scrollLeft() {
  if (!barShown(horizontalScrollBar)) return;
  horizontalOffset -= horizontalScrollBar->getUnitIncrement();
  if (horizontalOffset < 0) horizontalOffset = 0;
  horizontalScrollBar->setValue(horizontalOffset);
  refresh();
}

void RKListBox::scrollRight() {
  if (!barShown(horizontalScrollBar)) return;
  int b = int(borderAdjust);
  int shown = getSize().width + 2 * b - 8 - (barShown(verticalScrollBar) ? BAR : 0);
  horizontalOffset += horizontalScrollBar->getUnitIncrement();
  if (horizontalOffset > widestItemWidth - shown) horizontalOffset = widestItemWidth - shown;
  horizontalScrollBar->setValue(horizontalOffset);
  refresh();
}

void RKListBox::updateScrollBars() {
  RKSize s = getSize();
  int w = s.width, h = s.height, b = int(borderAdjust);
  int count = int(items.itemCount);
  bool needVertical = count > visibleRows;
  int usableWidth = needVertical ? w - BAR : w;
  bool needHorizontal = widestItemWidth > usableWidth;
  int usableHeight = needHorizontal ? h - BAR : h;
  visibleRows = (usableHeight + 2 * b - 4) / rowPitch();
  if (!needVertical) needVertical = count > visibleRows;

  if (horizontalScrollBar) {
    if (needHorizontal) {
      horizontalScrollBar->setLocation(2 - b, b + h - 20, 1);
      horizontalScrollBar->setSize(needVertical ? w + 2 * b - 22 : w + 2 * b - 4, BAR, 1);
      if (!horizontalScrollBar->isVisible()) horizontalScrollBar->show(1);
    } else if (horizontalScrollBar->isVisible()) {
      horizontalScrollBar->hide();
    }
  }
  if (verticalScrollBar) {
    if (needVertical) {
      verticalScrollBar->setLocation(b + w - 20, 2 - b, 1);
      verticalScrollBar->setSize(BAR, needHorizontal ? h + 2 * b - 22 : h + 2 * b - 4, 1);
      if (!verticalScrollBar->isVisible()) verticalScrollBar->show(1);
    } else if (verticalScrollBar->isVisible()) {
      verticalScrollBar->hide();
    }
  }
  updateScrollRanges();
}

void RKListBox::updateScrollRanges() {
  int w = getSize().width, b = int(borderAdjust);
  if (barShown(horizontalScrollBar)) {
    horizontalScrollBar->setMaximum(widestItemWidth);
    horizontalScrollBar->setMinimum(0);
    horizontalScrollBar->setVisibleAmount(w + 2 * b - 8 - (barShown(verticalScrollBar) ? BAR : 0));
    horizontalScrollBar->setUnitIncrement(16);
  }
  if (barShown(verticalScrollBar)) {
    verticalScrollBar->setMaximum(int(items.itemCount));
    verticalScrollBar->setMinimum(0);
    verticalScrollBar->setVisibleAmount(visibleRows);
    verticalScrollBar->setUnitIncrement(1);
  }
}

void RKListBox::refresh() {
  RKSize s = getSize();
  int w = s.width, h = s.height, b = int(borderAdjust);
  bool hv = barShown(horizontalScrollBar), vv = barShown(verticalScrollBar);
  repaint(RKRect(2 - b, 2 - b, w + 2 * b - 4 - (vv ? BAR : 0), h + 2 * b - 4 - (hv ? BAR : 0)));
  if (hv && vv) {
    if (!cornerInvalidated) {
      repaint(RKRect(b + w - 20, b + h - 20, BAR, BAR));
      cornerInvalidated = 1;
    }
  } else {
    cornerInvalidated = 0;
  }
}

// ---- lifecycle ----

void RKListBox::setInheritedFlag(u32 flag) {
  RKContainer::setInheritedFlag(flag);
  borderAdjust = flag == 0 ? 1 : 0;
}

void RKListBox::onAfterCreate() {
  RKContainer::onAfterCreate();
  listenToParts(1);
  listCreated = 1;
  rowHeight = int(getFontHeight());
  int b = int(borderAdjust);
  visibleRows = (getSize().height + 2 * b - 4) / rowPitch();
  widestItemWidth = measureWidestItem();
  updateScrollBars();
}

u32 RKListBox::componentResized(u32, u16, u16 height) {
  int b = int(borderAdjust);
  visibleRows = (int(height) + 2 * b - 4) / rowPitch();
  updateScrollBars();
  return 1;
}

u32 RKListBox::componentDestroyed() {
  listenToParts(0);
  listCreated = 0;
  return RKContainer::componentDestroyed();
}

// ---- paint ----

u32 RKListBox::paint(RKRect area, IRKGraphics* g) {
  if (!g) return 1;
  {
    RKPaintState colors(g);
    g->fillRect(area);
    g->setTransparentText(1);
    RKSize s = getSize();
    int w = s.width, h = s.height, b = int(borderAdjust);
    bool hv = barShown(horizontalScrollBar), vv = barShown(verticalScrollBar);
    int rowWidth = w + 2 * b - 4 + horizontalOffset - (vv ? BAR : 0);
    int first = topIndex < 0 ? 0 : topIndex;
    for (int r = first; r < topIndex + visibleRows && r < int(items.itemCount); ++r) {
      RKListBoxItem* item = items.items[r];
      int y = 2 - b + (r - topIndex) * rowPitch();
      if (item->selected) {
        colors.both(selectionColor.getARGB());
        g->drawRect(2 - horizontalOffset - b, y, rowWidth - 1, rowHeight + 1);
        g->drawFocusRect(2 - horizontalOffset - b, y, rowWidth - 1, rowHeight + 1, 1);
        colors.pen(selectionTextColor.getARGB());
      } else {
        colors.pen(colors.savedPen());
      }
      g->drawText(item->text, RKRect(4 - horizontalOffset - b, y, rowWidth, rowHeight), 32);
    }
    if (hv && vv) {
      colors.both(horizontalScrollBar->getBackground().getARGB());
      g->drawRect(b + w - 20, b + h - 20, BAR, BAR);
    }
    colors.pen(0);
    if (look3D)
      g->draw3DFrame(0, 0, w - 1, h - 1, RK_FRAME_SUNKEN);
    else
      g->drawRectOutline(0, 0, w - 1, h - 1);
  }
  if (designMode) paintDesign(g);
  return 1;
}

// ---- mouse and keys ----

int RKListBox::rowAt(int y) { return (int(borderAdjust) + y - 2) / rowPitch() + topIndex; }

u32 RKListBox::mousePressed(RKPoint p) {
  if (designMode) return RKDesignComponent::mousePressed(p);
  RKSize s = getSize();
  int w = s.width, h = s.height, b = int(borderAdjust);
  if (p.x < 2 - b || p.x > w - b - 2 || p.y < 2 - b || p.y > h - b - 2) return 1;
  if (barShown(horizontalScrollBar) && barShown(verticalScrollBar) && p.x > b + w - 20 && p.y > b + h - 20) return 1;
  int row = rowAt(p.y);
  if (!multipleSelection) {
    dragSelecting = 1;
    select(row);
    return 1;
  }
  bool shift = isKeyDown(VK_SHIFT_KEY) != 0, ctrl = isKeyDown(VK_CONTROL_KEY) != 0;
  if (shift) {
    selectRange(anchorIndex < row ? anchorIndex : row, anchorIndex < row ? row : anchorIndex);
  } else if (ctrl) {
    if (!validIndex(row)) return 1;
    items.items[row]->selected = !items.items[row]->selected;
    anchorIndex = row;
    refresh();
  } else {
    if (!validIndex(row)) return 1;
    items.items[row]->selected = 1;
    if (anchorIndex != row) deselect(anchorIndex);
    anchorIndex = row;
    refresh();
  }
  return 1;
}

u32 RKListBox::mouseMoved(RKPoint p) {
  if (designMode) return RKDesignComponent::mouseMoved(p);
  if (!dragSelecting) return 1;
  int row = rowAt(p.y);
  if (!validIndex(row) || row == anchorIndex) return 1;
  items.items[row]->selected = 1;
  deselect(anchorIndex);
  anchorIndex = row;
  refresh();
  return 1;
}

u32 RKListBox::mouseReleased(RKPoint p) {
  if (designMode) return RKDesignComponent::mouseReleased(p);
  dragSelecting = 0;
  if (getSelectedIndex() != -1) postActionToParent(RK_ACTION_LIST_SELECTION_CHANGED, 0);
  return 1;
}

// The press of a double click takes the focus and selects as any press does (the drop-down
// list's arrows and track act on it too); then the item is activated, whatever the point and the
// mode.
u32 RKListBox::mouseDoubleClicked(RKPoint p) {
  if (!designMode) doubleClickPress(p);
  postActionToParent(RK_ACTION_LIST_ITEM_ACTIVATED, 0);
  return 1;
}

u32 RKListBox::keyPressed(u32 keysym, u32) {
  int count = int(items.itemCount);
  switch (keysym) {
    case KEY_RETURN:
      postActionToParent(RK_ACTION_LIST_SELECTION_CHANGED, 0);
      break;
    case KEY_HOME:
      select(0);
      topIndex = 0;
      if (barShown(verticalScrollBar)) verticalScrollBar->setValue(0);
      break;
    case KEY_LEFT:
      scrollLeft();
      break;
    case KEY_UP:
      selectPrevious();
      break;
    case KEY_RIGHT:
      scrollRight();
      break;
    case KEY_DOWN:
      selectNext();
      break;
    case KEY_PAGE_UP:
      pageUp();
      break;
    case KEY_PAGE_DOWN:
      pageDown();
      break;
    case KEY_END:
      select(count - 1);
      if (barShown(verticalScrollBar)) {
        topIndex = count - visibleRows;
        verticalScrollBar->setValue(topIndex);
      }
      break;
    default:
      break;
  }
  return 1;
}

int RKListBox::actionPerformed(RKObject* source, u32 id, u64) {
  if (id != RK_ACTION_SCROLL_VALUE_CHANGED || !source) return 1;
  if (horizontalScrollBar && source == static_cast<RKObject*>(horizontalScrollBar)) {
    horizontalOffset = horizontalScrollBar->getValue();
    refresh();
  } else if (verticalScrollBar && source == static_cast<RKObject*>(verticalScrollBar)) {
    topIndex = verticalScrollBar->getValue();
    refresh();
  }
  return 1;
}

void RKListBox::reclaimFocus(RKObject* source) {
  if (!source) return;
  RKComponent* mine[8] = {horizontalScrollBar,
                          verticalScrollBar,
                          hIncrementButton,
                          hDecrementButton,
                          hThumb,
                          vIncrementButton,
                          vDecrementButton,
                          vThumb};
  for (RKComponent* c : mine) {
    if (c && source == static_cast<RKObject*>(c)) {
      requestFocus();
      return;
    }
  }
}

int RKListBox::mouseReleased(RKObject* s, RKPoint p) {
  RKContainer::mouseReleased(s, p);
  reclaimFocus(s);
  return 1;
}

int RKListBox::mouseDoubleClicked(RKObject* s, RKPoint p) {
  RKContainer::mouseDoubleClicked(s, p);
  reclaimFocus(s);
  return 1;
}

int RKListBox::rightMouseReleased(RKObject* s, RKPoint p) {
  RKContainer::rightMouseReleased(s, p);
  reclaimFocus(s);
  return 1;
}

int RKListBox::rightMouseDoubleClicked(RKObject* s, RKPoint p) {
  RKContainer::rightMouseDoubleClicked(s, p);
  reclaimFocus(s);
  return 1;
}

}  // namespace RKSDK
