#include "RKComboBox.h"

#include <new>

namespace RKSDK {

RKComboBox::RKComboBox()
    : arrowButton(nullptr),
      edit(nullptr),
      list(nullptr),
      dropJustOpened(0),
      notEditable(0),
      frameFlag(0),
      lastIndex(-1),
      visibleRows(5),
      wired(0) {
  appendClassName("RKComboBox");
  // A part whose allocation fails stays null; the combo box goes on without it.
  list = new (std::nothrow) RKComboBoxListBox();
  if (list) {
    list->addRef();
    list->setWindowStyle(RK_STYLE_POPUP);
    list->hide();
    list->setInheritedFlag(0);
    list->setFocusable(0);
    list->setSize(20, 20, 0);
    add(list);
  }
  arrowButton = new (std::nothrow) RKArrowButton(RK_ARROW_DOWN);
  if (arrowButton) {
    arrowButton->addRef();
    arrowButton->setSize(20, 20, 0);
    arrowButton->setFocusable(0);
    add(arrowButton);
  }
  edit = new (std::nothrow) RKComboBoxEdit();
  if (edit) {
    edit->addRef();
    edit->setInheritedFlag(0);
    edit->setList(list);
    edit->setArrowButton(arrowButton);
    edit->setSize(20, 20, 0);
    edit->setFocusable(0);
    add(edit);
  }
}

RKComboBox::~RKComboBox() {
  if (list) remove(list);
  if (edit) remove(edit);
  if (arrowButton) remove(arrowButton);
  if (edit) {
    edit->clearList();
    edit->clearArrowButton();
  }
  if (list) list->release();
  if (edit) edit->release();
  if (arrowButton) arrowButton->release();
}

// ---- parts ----

void RKComboBox::setArrowButton(RKArrowButton* b) {
  if (arrowButton) {
    if (wired) arrowButton->removeComponentListener(this);
    remove(arrowButton);
    arrowButton->release();
  }
  arrowButton = b;
  if (!b) return;
  b->addRef();
  b->setFocusable(0);
  if (wired) b->addComponentListener(this);
  add(b);
}

RKArrowButton* RKComboBox::getArrowButton() {
  if (arrowButton) arrowButton->addRef();
  return arrowButton;
}

void RKComboBox::setEdit(RKComboBoxEdit* e) {
  if (edit) {
    if (wired) edit->clearComboBox();
    remove(edit);
    edit->release();
  }
  edit = e;
  if (!e) return;
  e->addRef();
  e->setInheritedFlag(0);
  e->setFocusable(0);
  e->setList(list);
  if (wired) e->setComboBox(this);
  add(e);
}

RKComboBoxEdit* RKComboBox::getEdit() {
  if (edit) edit->addRef();
  return edit;
}

void RKComboBox::setList(RKComboBoxListBox* l) {
  if (list) {
    remove(list);
    if (wired) list->removeComponentListener(this);
    list->release();
  }
  list = l;
  if (!l) return;
  l->addRef();
  l->setWindowStyle(RK_STYLE_POPUP);
  l->hide();
  l->setInheritedFlag(0);
  if (wired) l->addComponentListener(this);
  l->setFocusable(0);
  add(l);
}

RKComboBoxListBox* RKComboBox::getList() {
  if (list) list->addRef();
  return list;
}

// ---- items and text ----

void RKComboBox::addItem(RKString text) {
  if (list) list->addItem(text);
}

void RKComboBox::setEditable(int editable) {
  notEditable = editable == 0 ? 1 : 0;
  if (edit) edit->setEditable(editable);
}

void RKComboBox::select(int index) {
  if (!list) return;
  list->select(index);
  if (edit) edit->setText(list->getItemText(index));
}

void RKComboBox::setVisibleRows(int rows) {
  visibleRows = rows;
  layoutDropDown();
}

void RKComboBox::setText(RKString text) {
  if (edit) edit->setText(text);
}

RKString RKComboBox::getText() { return edit ? edit->getText() : RKString(""); }

int RKComboBox::getSelectedIndex() { return list ? list->getSelectedIndex() : -1; }

void RKComboBox::removeItem(int index) {
  if (list) list->removeItemAt(index);
}

void RKComboBox::removeAllItems() {
  if (list) list->removeAll();
}

// ---- geometry ----

void RKComboBox::layoutDropDown() {
  if (!wired || !list) return;
  RKSize s = getSize();
  RKPoint at = getLocationOnScreen();
  int screenHeight = RKComponent::getScreenSize().height;
  int d = (int(list->getFontHeight()) + 1) * visibleRows + 3;
  if (at.y + s.height - 1 + d <= screenHeight)
    list->setLocation(at.x, at.y + s.height - 1, 1);
  else
    list->setLocation(at.x, at.y - d, 1);
  list->setSize(s.width - 1, d, 1);
}

void RKComboBox::layout() {
  RKSize size = getSize();
  int w = size.width, h = size.height, f = frameFlag;
  int s = h + 2 * f - 4;
  if (arrowButton) {
    arrowButton->setLocation(w - 2 - s + f, 2 - f, 1);
    arrowButton->setSize(s, s, 1);
    arrowButton->setInset((h - 20) / 4);
  }
  if (edit) {
    edit->setLocation(2 - f, 2 - f, 1);
    edit->setSize(w - 4 - s + 2 * f, s, 1);
  }
  layoutDropDown();
}

void RKComboBox::setInheritedFlag(u32 flag) {
  RKContainer::setInheritedFlag(flag);
  frameFlag = 1;
}

// ---- lifecycle ----

void RKComboBox::onAfterCreate() {
  RKContainer::onAfterCreate();
  layout();
  if (list) list->addComponentListener(this);
  if (arrowButton) arrowButton->addComponentListener(this);
  if (edit) edit->setComboBox(this);
  wired = 1;
}

u32 RKComboBox::componentDestroyed() {
  if (list) list->removeComponentListener(this);
  if (arrowButton) arrowButton->removeComponentListener(this);
  if (edit) edit->clearComboBox();
  wired = 0;
  // The drop-down is a pop-up window, which the box's window does not take down with it.
  if (list) list->destroy();
  return RKContainer::componentDestroyed();
}

u32 RKComboBox::componentResized(u32, u16, u16) {
  layout();
  return 1;
}

u32 RKComboBox::paint(RKRect area, IRKGraphics* g) {
  if (!g) return 1;
  g->addRef();
  g->setTransparentText(1);
  RKSize s = getSize();
  RKColor* pen = g->getColor();
  u32 saved = pen ? pen->getARGB() : 0;
  if (look3D)
    g->draw3DFrame(0, 0, s.width - 1, s.height - 1, 1);
  else
    g->drawRectOutline(0, 0, s.width - 1, s.height - 1);
  if (pen) {
    pen->setARGB(saved);
    pen->release();
  }
  if (designMode) RKDesignComponent::paint(area, g);
  g->release();
  return 1;
}

u32 RKComboBox::focusGained() {
  RKDesignComponent::focusGained();
  if (edit) edit->requestFocus();
  return 1;
}

// ---- listening to the parts ----

void RKComboBox::closeList() {
  if (!list) return;
  list->releaseMouse(0);
  list->hide();
}

bool RKComboBox::outside(RKPoint p) {
  RKSize s = list->getSize();
  return p.x < 0 || p.y < 0 || p.x > s.width || p.y > s.height;
}

static bool same(RKObject* source, RKComponent* part) { return part && source == static_cast<RKObject*>(part); }

int RKComboBox::mousePressed(RKObject* source, RKPoint p) {
  if (isSelf(source)) RKDesignComponent::mousePressed(p);
  if (same(source, list) && outside(p)) closeList();
  return 1;
}

int RKComboBox::mouseReleased(RKObject* source, RKPoint p) {
  RKComponent::mouseReleased(source, p);
  if (same(source, list)) {
    if (outside(p)) closeList();
  } else if (same(source, arrowButton) && dropJustOpened) {
    if (list) list->captureMouse();
    dropJustOpened = 0;
  }
  return 1;
}

int RKComboBox::keyReleased(RKObject* source, u32 keysym, u32 keyData) {
  if (keysym == 27) {
    closeList();
    postActionToParent(RK_ACTION_COMBO_ESCAPE, 0);
  } else if (keysym == 0xFF09) {
    closeList();
    postActionToParent(RK_ACTION_COMBO_TAB, 0);
  } else if (keysym == 0xFF0D) {
    if (edit && !edit->isEnterHandled()) {
      closeList();
      postActionToParent(RK_ACTION_COMBO_ENTER, 0);
    }
    if (edit) edit->clearEnterHandled();
  }
  if (isSelf(source)) return int(RKComponent::keyReleased(keysym, keyData));
  return 1;
}

int RKComboBox::actionPerformed(RKObject* source, u32 id, u64) {
  if (same(source, arrowButton) && id == RK_ACTION_ARROW_PRESSED) {
    if (edit) edit->openDropDown();
    dropJustOpened = 1;
  } else if (same(source, list) && id == RK_ACTION_LIST_SELECTION_CHANGED) {
    if (edit) {
      edit->setText(list->getSelectedText());
      edit->selectAll();
    }
    int i = list->getSelectedIndex();
    if (i != lastIndex) {
      lastIndex = i;
      postActionToParent(RK_ACTION_COMBO_SELECTION_CHANGED, 0);
    }
  }
  return 1;
}

}  // namespace RKSDK
