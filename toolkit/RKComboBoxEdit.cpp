#include "RKComboBoxEdit.h"

#include "RKComboBox.h"

namespace RKSDK {

namespace {

const u32 VK_SHIFT_KEY = 16;

template <class T>
void keep(T*& slot, T* value) {
  if (value) value->addRef();
  if (slot) slot->release();
  slot = value;
}

template <class T>
void letGo(T*& slot) {
  if (slot) slot->release();
  slot = nullptr;
}

}  // namespace

RKComboBoxEdit::RKComboBoxEdit() : enterHandled(0), list(nullptr), arrowButton(nullptr), comboBox(nullptr) {}

RKComboBoxEdit::~RKComboBoxEdit() {
  letGo(list);
  letGo(arrowButton);
  letGo(comboBox);
}

void RKComboBoxEdit::setList(RKComboBoxListBox* l) { keep(list, l); }
void RKComboBoxEdit::clearList() { letGo(list); }
void RKComboBoxEdit::setArrowButton(RKArrowButton* b) { keep(arrowButton, b); }
void RKComboBoxEdit::clearArrowButton() { letGo(arrowButton); }
void RKComboBoxEdit::setComboBox(RKComboBox* c) { keep(comboBox, c); }
void RKComboBoxEdit::clearComboBox() { letGo(comboBox); }

void RKComboBoxEdit::openDropDown() {
  requestFocus();
  selectAll();
  if (comboBox) comboBox->layoutDropDown();
  if (!list) return;
  list->select(0);
  list->show(0);
}

void RKComboBoxEdit::closeList() {
  if (!list) return;
  list->releaseMouse(0);
  list->hide();
}

u32 RKComboBoxEdit::paint(RKRect area, IRKGraphics* g) {
  if (!g) return 1;
  g->fillRect(area);
  g->setTransparentText(1);
  int a = selectionStart - firstVisible, b = selectionEnd - firstVisible;
  if (a < 0) a = 0;
  if (b < 0) b = 0;
  int lo = a < b ? a : b, hi = a < b ? b : a;
  int top = look3D ? 0 : 2;
  RKColor* pen = g->getColor();
  u32 savedPen = pen ? pen->getARGB() : 0;
  int x = textLeft(), i = 0;
  for (RKEditChar* c = firstVisibleNode; c; c = c->next, ++i) {
    if (pen) {
      if (lo != hi && lo <= i && i < hi && focused) {
        int x0 = visibleWidth(0, i), x1 = visibleWidth(0, i + 1);
        pen->setARGB(selectionBackground.getARGB());
        g->drawRect(x0 + textLeft(), 1, x1 - x0, lineHeight);
        pen->setARGB(selectionForeground.getARGB());
      } else {
        pen->setARGB(savedPen);
      }
    }
    g->drawString(echoOn ? RKString(echoChar) : RKString(c->bytes), x, top);
    x += charWidth(c);
  }
  if (pen) {
    pen->setARGB(savedPen);
    pen->release();
  }
  if (designMode) RKDesignComponent::paint(area, g);
  return 1;
}

u32 RKComboBoxEdit::mousePressed(RKPoint p) {
  if (designMode) return RKDesignComponent::mousePressed(p);
  if (readOnly) {
    openDropDown();
    return 1;
  }
  pressAt(p);
  repaint();
  requestFocus();
  captureMouse();
  return 1;
}

u32 RKComboBoxEdit::mouseReleased(RKPoint p) {
  if (designMode) return RKDesignComponent::mouseReleased(p);
  if (readOnly) {
    if (list && list->isVisible()) list->captureMouse();
    return 1;
  }
  releaseMouse(0);
  repaint();
  return 1;
}

// In a field that is not editable a second quick press opens the drop-down as any press does;
// an editable field selects everything.
u32 RKComboBoxEdit::mouseDoubleClicked(RKPoint p) {
  if (readOnly && !designMode) return doubleClickPress(p);
  return RKEdit::mouseDoubleClicked(p);
}

u32 RKComboBoxEdit::mouseMoved(RKPoint p) { return RKEdit::mouseMoved(p); }

u32 RKComboBoxEdit::focusGained() {
  if (designMode) return RKDesignComponent::focusGained();
  if (readOnly)
    focused = 1;
  else
    RKEdit::focusGained();
  selectAll();
  return 1;
}

u32 RKComboBoxEdit::focusLost() {
  RKEdit::focusLost();
  if (list && list->isVisible()) closeList();
  return 1;
}

u32 RKComboBoxEdit::keyTyped(u8 c, u32 keyData) { return RKEdit::keyTyped(c, keyData); }

u32 RKComboBoxEdit::keyPressed(u32 key, u32 keyData) {
  switch (key) {
    case 0xFF52:
      if (list) list->selectPrevious();
      return 1;
    case 0xFF54:
      if (!list) return 1;
      if (list->isVisible()) {
        list->selectNext();
      } else {
        openDropDown();
        list->captureMouse();
      }
      return 1;
    case 0xFF0D:
      if (!list) return 1;
      list->releaseMouse(0);
      if (list->isVisible()) enterHandled = 1;
      list->hide();
      list->postActionToParent(RK_ACTION_LIST_SELECTION_CHANGED, 0);
      return 1;
    case 0xFF09:
      if (isKeyDown(VK_SHIFT_KEY)) closeList();
      return 1;
    default:
      return RKEdit::keyPressed(key, keyData);
  }
}

}  // namespace RKSDK
