#include "RKEdit.h"

#include <new>

namespace RKSDK {

namespace {

const u32 VK_SHIFT_KEY = 16;
const u32 VK_CONTROL_KEY = 17;

bool isLead(char c) { return IsDBCSLeadByte(BYTE(c)) != FALSE; }

// Bytes of the character starting at s: 2 for a lead byte followed by a byte, else 1. A lead
// byte before the terminating NUL stands alone.
int charLength(const char* s) { return (isLead(s[0]) && s[1] != 0) ? 2 : 1; }

}  // namespace

RKEdit::RKEdit()
    : head(nullptr),
      tail(nullptr),
      caretNode(nullptr),
      firstVisibleNode(nullptr),
      text(""),
      charsCreated(0),
      readOnly(0),
      leadBytePending(0),
      selectionBackground(8, 36, 107),
      selectionForeground(255, 255, 255),
      maxLength(2000),
      charCount(0),
      firstVisible(0),
      caretColumn(0),
      selectionStart(0),
      selectionEnd(0),
      lineHeight(0),
      scrollStep(5),
      echoChar{'*', 0},
      echoOn(0),
      echoWidth(0),
      typedBytes{0, 0, 0},
      textCursor(nullptr) {
  appendClassName("RKEdit");
  setWindowClassName("RKEdit");
  setBackground(RKColor(255, 255, 255));
  focused = 0;
  textCursor = new (std::nothrow) RKCursor();
  if (textCursor) {
    textCursor->addRef();
    textCursor->setType(152);
  }
}

RKEdit::~RKEdit() {
  clear();
  if (textCursor) textCursor->release();
  textCursor = nullptr;
}

// ---- text model ----

int RKEdit::getCharCount(const char* s) {
  int n = 0;
  if (!s) return 0;
  while (*s) {
    s += charLength(s);
    ++n;
  }
  return n;
}

int RKEdit::byteOffsetOfChar(const char* s, int n) {
  int off = 0;
  if (!s) return 0;
  for (int i = 0; i < n && s[off]; ++i) off += charLength(s + off);
  return off;
}

void RKEdit::unlinkRange(RKEditChar* first, RKEditChar* last, RKEditChar* replacement) {
  if (!first || first == last) return;
  RKEditChar* before = first->prev;
  for (RKEditChar* c = first; c && c != last;) {
    RKEditChar* next = c->next;
    if (c == caretNode) caretNode = replacement ? replacement : last;
    if (c == firstVisibleNode) firstVisibleNode = replacement ? replacement : last;
    delete c;
    c = next;
  }
  RKEditChar* after = last;
  if (replacement) {
    replacement->prev = before;
    replacement->next = after;
    before = replacement;
    if (!replacement->prev)
      head = replacement;
    else
      replacement->prev->next = replacement;
  } else if (before) {
    before->next = after;
  } else {
    head = after;
  }
  if (after)
    after->prev = before;
  else
    tail = before;
}

void RKEdit::clear() {
  for (RKEditChar* c = head; c;) {
    RKEditChar* next = c->next;
    delete c;
    c = next;
  }
  head = tail = caretNode = firstVisibleNode = nullptr;
}

void RKEdit::empty() {
  clear();
  charCount = firstVisible = caretColumn = selectionStart = selectionEnd = 0;
}

void RKEdit::rebuildChars() {
  if (!charsCreated) return;
  clear();
  const char* s = text.data ? text.data : "";
  int n = getCharCount(s);
  charCount = n < maxLength ? n : maxLength;
  firstVisible = caretColumn = selectionStart = selectionEnd = 0;
  for (int i = 0; i < charCount; ++i) {
    RKEditChar* c = new RKEditChar();
    c->byteCount = charLength(s);
    c->bytes[0] = s[0];
    c->bytes[1] = c->byteCount == 2 ? s[1] : 0;
    c->bytes[2] = 0;
    s += c->byteCount;
    RKSize size = getTextExtent(c->bytes);
    c->width = size.width;
    c->height = size.height;
    c->next = nullptr;
    c->prev = tail;
    if (tail)
      tail->next = c;
    else
      head = c;
    tail = c;
  }
  caretNode = firstVisibleNode = head;
}

void RKEdit::rebuildText() {
  if (charsCreated) text = substring(0, charCount);
}

RKEditChar* RKEdit::nodeAt(int index) {
  if (index < 0) return nullptr;
  RKEditChar* c = head;
  for (int i = 0; c && i < index; ++i) c = c->next;
  return c;
}

void RKEdit::syncCaretNode() { caretNode = nodeAt(caretIndex()); }

void RKEdit::syncNodes() {
  firstVisibleNode = nodeAt(firstVisible);
  syncCaretNode();
}

int RKEdit::visibleWidth(int from, int to) {
  int w = 0, i = 0;
  for (RKEditChar* c = firstVisibleNode; c && i < to; c = c->next, ++i)
    if (i >= from) w += charWidth(c);
  return w;
}

int RKEdit::rangeWidth(int from, int to) {
  int w = 0, i = 0;
  for (RKEditChar* c = head; c && i < to; c = c->next, ++i)
    if (i >= from) w += charWidth(c);
  return w;
}

RKString RKEdit::substring(int from, int to) {
  RKString out("");
  from = clampIndex(from);
  to = clampIndex(to);
  if (from >= to) return out;
  char* buf = new char[size_t(to - from) * 2 + 1];
  int n = 0, i = 0;
  for (RKEditChar* c = head; c && i < to; c = c->next, ++i) {
    if (i < from) continue;
    for (int b = 0; b < c->byteCount; ++b) buf[n++] = c->bytes[b];
  }
  out.assign(buf, u32(n));
  delete[] buf;
  return out;
}

void RKEdit::insertBytes(const char* bytes, int n) {
  if (charCount >= maxLength || n < 1 || n > 2) return;
  RKEditChar* c = new RKEditChar();
  c->bytes[0] = bytes[0];
  c->bytes[1] = n == 2 ? bytes[1] : 0;
  c->bytes[2] = 0;
  c->byteCount = n;
  RKSize size = getTextExtent(c->bytes);
  c->width = size.width;
  c->height = size.height;
  c->next = caretNode;
  c->prev = caretNode ? caretNode->prev : tail;
  if (c->prev)
    c->prev->next = c;
  else
    head = c;
  if (caretNode)
    caretNode->prev = c;
  else
    tail = c;
  // The new character stands where the caret was; when that was the view's left edge it
  // becomes the first visible one.
  if (!firstVisibleNode || firstVisibleNode == caretNode) firstVisibleNode = c;
  ++charCount;
  ++caretColumn;
  int W = getSize().width;
  if (visibleWidth(0, caretColumn) + 5 > W) {
    int old = firstVisible;
    if (caretNode)
      scrollForward();
    else
      scrollForwardOne();
    caretColumn -= firstVisible - old;
    if (caretColumn < 0) {
      firstVisible += caretColumn;
      caretColumn = 0;
      firstVisibleNode = nodeAt(firstVisible);
    }
  }
  selectionStart = selectionEnd = caretIndex();
}

void RKEdit::deleteBackward() {
  int lo = clampIndex(selectionStart < selectionEnd ? selectionStart : selectionEnd);
  int hi = clampIndex(selectionStart < selectionEnd ? selectionEnd : selectionStart);
  if (lo != hi) {
    if (lo == 0 && hi == charCount) {
      empty();
      return;
    }
    RKEditChar* last = nodeAt(hi);
    unlinkRange(nodeAt(lo), last, nullptr);
    charCount -= hi - lo;
    selectionStart = selectionEnd = lo;
    if (lo <= firstVisible) {
      firstVisible = lo;
      firstVisibleNode = last;
      scrollBack();
    }
    caretColumn = lo - firstVisible;
    syncNodes();
    return;
  }
  int index = caretIndex();
  if (index <= 0 || charCount == 0) return;
  if (charCount == 1 && index == 1) {
    empty();
    return;
  }
  if (caretColumn == 0 || (caretColumn == 1 && !caretNode)) {
    int old = firstVisible;
    scrollBack();
    caretColumn += old - firstVisible;
  }
  RKEditChar* victim = caretNode ? caretNode->prev : tail;
  unlinkRange(victim, victim ? victim->next : nullptr, nullptr);
  --charCount;
  --caretColumn;
  selectionStart = selectionEnd = caretIndex();
  syncNodes();
}

void RKEdit::deleteForward() {
  hideCaret();
  if (selectionStart == selectionEnd) {
    if (!caretNode) {
      showCaret();
      return;
    }
    caretNode = caretNode->next;
    ++caretColumn;
    if (visibleWidth(0, caretColumn) + 5 > getSize().width) {
      int old = firstVisible;
      scrollForward();
      caretColumn -= firstVisible - old;
      syncNodes();
    }
    selectionStart = selectionEnd = caretIndex();
  }
  deleteBackward();
  showCaret();
  refresh();
  fireChanged();
}

// ---- view scrolling and caret placement ----

void RKEdit::scrollBack() {
  firstVisible -= scrollStep;
  if (firstVisible < 0) firstVisible = 0;
  firstVisibleNode = nodeAt(firstVisible);
}

void RKEdit::scrollForwardOne() {
  if (firstVisible + 1 >= charCount) {
    scrollToEnd();
    return;
  }
  ++firstVisible;
  firstVisibleNode = nodeAt(firstVisible);
}

void RKEdit::scrollForward() {
  if (firstVisible + scrollStep >= charCount) {
    scrollToEnd();
    return;
  }
  firstVisible += scrollStep;
  firstVisibleNode = nodeAt(firstVisible);
}

void RKEdit::scrollToEnd() {
  int W = getSize().width;
  int total = rangeWidth(0, charCount);
  firstVisible = 0;
  firstVisibleNode = head;
  if (total <= W || !head) return;
  // Take characters off the front, measured as they were summed, until the rest fits; the
  // view never starts past the last character.
  int k = 1;
  for (RKEditChar* c = head; c->next; c = c->next, ++k) {
    total -= charWidth(c);
    if (total < W) {
      firstVisible = k;
      firstVisibleNode = c->next;
      return;
    }
  }
  firstVisible = charCount - 1;
  firstVisibleNode = tail;
}

// Moves the caret to `index` in the model and, while the edit holds the focus (and so the
// caret), on the screen: hidden first, shown again at its new place.
void RKEdit::placeCaret(int index) {
  if (focused) hideCaret();
  if (index < 0 || index > charCount) index = charCount;
  if (index == charCount) {
    scrollToEnd();
    caretColumn = charCount - firstVisible;
  } else if (index < firstVisible) {
    firstVisible = index;
    firstVisibleNode = nodeAt(index);
    caretColumn = 0;
  } else if (visibleWidth(0, index - firstVisible) <= getSize().width) {
    caretColumn = index - firstVisible;
  } else {
    firstVisible = index - 1;
    firstVisibleNode = nodeAt(firstVisible);
    caretColumn = 1;
  }
  selectionStart = selectionEnd = index;
  syncCaretNode();
  if (focused) showCaret();
}

int RKEdit::columnAt(int x) {
  int n = charCount - firstVisible;
  int prev = 0, xi = 0, i = 0;
  for (RKEditChar* c = firstVisibleNode; c && i < n; c = c->next, ++i) {
    if (xi >= x) {
      int col = (xi - x > (xi - prev) / 2) ? i - 1 : i;
      return col < 0 ? 0 : col;
    }
    prev = xi;
    xi += charWidth(c);
  }
  return n;
}

void RKEdit::hideCaret() {
  IRKCaret* caret = getCaret();
  if (!caret) return;
  caret->hide();
  caret->release();
}

void RKEdit::showCaret() {
  IRKCaret* caret = getCaret();
  if (!caret) return;
  caret->setPosition(visibleWidth(0, caretColumn) + textLeft(), caretTop());
  caret->show();
  caret->release();
}

// ---- own operations ----

void RKEdit::setText(RKString t) {
  text = t;
  rebuildChars();
  refresh();
}

RKString RKEdit::getText() {
  rebuildText();
  return text;
}

void RKEdit::setEchoChar(int on, u8 c) {
  echoOn = on ? 1 : 0;
  echoChar[0] = char(c);
  echoChar[1] = 0;
  echoWidth = getTextExtent(echoChar).width;
}

void RKEdit::setMaxLength(int n) {
  if (n >= 0) maxLength = n;
}

void RKEdit::setEditable(int editable) { readOnly = editable ? 0 : 1; }
int RKEdit::getCaretPosition() { return caretColumn; }
void RKEdit::setCaretPosition(int index) {
  placeCaret(index);
  refresh();
}

RKString RKEdit::getSelectedText() {
  int lo = selectionStart < selectionEnd ? selectionStart : selectionEnd;
  int hi = selectionStart < selectionEnd ? selectionEnd : selectionStart;
  return substring(lo, hi);
}

int RKEdit::getSelectionStart() { return selectionStart; }
int RKEdit::getSelectionEnd() { return selectionEnd; }

void RKEdit::select(int start, int end) {
  placeCaret(clampIndex(end));
  selectionStart = clampIndex(start);
  selectionEnd = clampIndex(end);
  refresh();
}

void RKEdit::selectAll() {
  placeCaret(charCount);
  selectionStart = 0;
  selectionEnd = charCount;
  refresh();
}

void RKEdit::setSelectionStart(int i) {
  selectionStart = clampIndex(i);
  refresh();
}

void RKEdit::setSelectionEnd(int i) {
  i = clampIndex(i);
  int start = selectionStart;
  placeCaret(i);
  selectionStart = start;
  selectionEnd = i;
  refresh();
}

void RKEdit::setSelectionBackground(RKColor c) { selectionBackground.setARGB(c.getARGB()); }
void RKEdit::setSelectionForeground(RKColor c) { selectionForeground.setARGB(c.getARGB()); }
void RKEdit::setScrollStep(int n) { scrollStep = n; }

void RKEdit::copy() {
  if (!isKeyDown(VK_CONTROL_KEY) || selectionStart == selectionEnd) return;
  copyToClipboard(getSelectedText());
}

void RKEdit::paste() {
  if (!isKeyDown(VK_CONTROL_KEY)) return;
  RKString clip;
  if (!pasteFromClipboard(clip) || clip.length == 0 || !clip.data) return;
  hideCaret();
  if (selectionStart != selectionEnd) deleteBackward();
  for (const char* s = clip.data; *s;) {
    int n = charLength(s);
    insertBytes(s, n);
    s += n;
  }
  showCaret();
  refresh();
  fireChanged();
}

void RKEdit::cut() {
  if (!isKeyDown(VK_CONTROL_KEY)) return;
  copy();
  if (selectionStart != selectionEnd) {
    hideCaret();
    deleteBackward();
    showCaret();
    refresh();
  }
  fireChanged();
}

// ---- movement ----

void RKEdit::moveHome() {
  caretNode = firstVisibleNode = head;
  caretColumn = firstVisible = 0;
  selectionEnd = 0;
  if (!isKeyDown(VK_SHIFT_KEY)) selectionStart = 0;
}

void RKEdit::moveEnd() {
  caretNode = nullptr;
  scrollToEnd();
  selectionEnd = charCount;
  if (!isKeyDown(VK_SHIFT_KEY)) selectionStart = charCount;
  caretColumn = charCount - firstVisible;
}

void RKEdit::moveLeft() {
  bool shift = isKeyDown(VK_SHIFT_KEY) != 0;
  if (selectionStart != selectionEnd && !shift) {
    selectionStart = selectionEnd = caretIndex();
    return;
  }
  if (caretIndex() <= 0) return;
  if (caretColumn == 0) {
    int old = firstVisible;
    scrollBack();
    caretColumn += old - firstVisible;
  }
  --caretColumn;
  syncCaretNode();
  selectionEnd = caretIndex();
  if (!shift) selectionStart = selectionEnd;
}

void RKEdit::moveRight() {
  bool shift = isKeyDown(VK_SHIFT_KEY) != 0;
  if (selectionStart != selectionEnd && !shift) {
    selectionStart = selectionEnd = caretIndex();
    return;
  }
  if (caretIndex() >= charCount) return;
  ++caretColumn;
  if (visibleWidth(0, caretColumn) + 5 > getSize().width) {
    int old = firstVisible;
    scrollForward();
    caretColumn -= firstVisible - old;
  }
  syncNodes();
  selectionEnd = caretIndex();
  if (!shift) selectionStart = selectionEnd;
}

// ---- handlers ----

void RKEdit::onAfterCreate() {
  RKDesignComponent::onAfterCreate();
  charsCreated = 1;
  rebuildChars();
  lineHeight = int(getFontHeight());
  int r = getTextExtent("\xD1\xAA").width;
  int w = getSize().width;
  if (w <= 5 * r) scrollStep = w <= 2 * r ? 1 : w <= 3 * r ? 2 : w <= 4 * r ? 3 : 4;
  echoWidth = getTextExtent(echoChar).width;
}

u32 RKEdit::paint(RKRect area, IRKGraphics* g) {
  if (!g) return 1;
  g->fillRect(area);
  g->setTransparentText(1);
  RKSize size = getSize();
  RKColor* pen = g->getColor();
  RKColor* fill = g->getFillColor();
  if (look3D)
    g->draw3DFrame(0, 0, size.width - 1, size.height - 1, 1);
  else
    g->drawRectOutline(0, 0, size.width - 1, size.height - 1);
  int a = selectionStart - firstVisible, b = selectionEnd - firstVisible;
  if (a < 0) a = 0;
  if (b < 0) b = 0;
  int lo = a < b ? a : b, hi = a < b ? b : a;
  u32 savedPen = pen ? pen->getARGB() : 0, savedFill = fill ? fill->getARGB() : 0;
  int x = textLeft(), i = 0;
  for (RKEditChar* c = firstVisibleNode; c; c = c->next, ++i) {
    if (pen) {
      if (lo != hi && lo <= i && i < hi && focused) {
        int x0 = visibleWidth(0, i), x1 = visibleWidth(0, i + 1);
        pen->setARGB(selectionBackground.getARGB());
        if (fill) fill->setARGB(pen->getARGB());
        g->drawRect(x0 + textLeft(), 3, x1 - x0 + 1, lineHeight - 1);
        pen->setARGB(selectionForeground.getARGB());
      } else {
        pen->setARGB(savedPen);
      }
    }
    g->drawString(echoOn ? RKString(echoChar) : RKString(c->bytes), x, 2);
    x += charWidth(c);
  }
  restoreColor(pen, savedPen);
  restoreColor(fill, savedFill);
  if (designMode) paintDesign(g);
  return 1;
}

void RKEdit::pressAt(RKPoint p) {
  hideCaret();
  caretColumn = columnAt(p.x);
  syncCaretNode();
  selectionStart = selectionEnd = caretIndex();
  showCaret();
}

u32 RKEdit::mousePressed(RKPoint p) {
  if (designMode) return RKDesignComponent::mousePressed(p);
  pressAt(p);
  refresh();
  captureMouse();
  return 1;
}

u32 RKEdit::mouseReleased(RKPoint p) {
  if (designMode) return RKDesignComponent::mouseReleased(p);
  releaseMouse(0);
  refresh();
  return 1;
}

void RKEdit::selectEverything() {
  hideCaret();
  scrollToEnd();
  selectionStart = 0;
  selectionEnd = charCount;
  caretColumn = charCount - firstVisible;
  syncCaretNode();
  showCaret();
}

u32 RKEdit::mouseDoubleClicked(RKPoint) {
  selectEverything();
  refresh();
  return 1;
}

void RKEdit::dragTo(RKPoint p) {
  int W = getSize().width;
  bool changed = false;
  if (p.x >= 0) {
    if (p.x <= W || rangeWidth(firstVisible, charCount) <= W) {
      int c = columnAt(p.x);
      if (c != caretColumn) {
        caretColumn = c;
        syncCaretNode();
        selectionEnd = caretIndex();
        changed = true;
      }
    } else {
      int old = firstVisible;
      scrollForward();
      selectionEnd = clampIndex(selectionEnd + firstVisible - old);
      caretColumn = selectionEnd - firstVisible;
      if (caretColumn < 0) caretColumn = 0;
      syncNodes();
      changed = true;
    }
  } else if (firstVisible > 0) {
    scrollBack();
    selectionEnd = firstVisible;
    caretColumn = 0;
    syncNodes();
    changed = true;
  } else if (caretColumn != 0) {
    selectionEnd = firstVisible;
    caretColumn = 0;
    syncNodes();
    changed = true;
  }
  if (!changed) return;
  hideCaret();
  showCaret();
  refresh();
}

u32 RKEdit::mouseMoved(RKPoint p) {
  if (designMode) return RKDesignComponent::mouseMoved(p);
  if (hasMouseCapture()) dragTo(p);
  return 1;
}

u32 RKEdit::focusGained() {
  if (designMode) return RKDesignComponent::focusGained();
  focused = 1;
  IRKCaret* caret = getCaret();
  if (caret) {
    caret->setHeight(u32(lineHeight));
    caret->create();
    caret->release();
  }
  showCaret();
  refresh();
  return 1;
}

u32 RKEdit::focusLost() {
  if (designMode) return RKDesignComponent::focusLost();
  focused = 0;
  IRKCaret* caret = getCaret();
  if (caret) {
    caret->destroy();
    caret->release();
  }
  redraw();
  return 1;
}

u32 RKEdit::cursorRequested() {
  if (!designMode && !readOnly && textCursor) setCursor(textCursor);
  return 1;
}

u32 RKEdit::keyTyped(u8 c, u32) {
  if (designMode || readOnly) return 1;
  int n = 1;
  if (leadBytePending) {
    leadBytePending = 0;
    if (c == 0) return 1;
    typedBytes[1] = char(c);
    n = 2;
  } else if (isLead(char(c))) {
    typedBytes[0] = char(c);
    leadBytePending = 1;
    return 1;
  } else {
    if (static_cast<signed char>(c) < 32) return 1;
    typedBytes[0] = char(c);
    typedBytes[1] = 0;
  }
  typedBytes[2] = 0;
  hideCaret();
  if (selectionStart != selectionEnd) deleteBackward();
  insertBytes(typedBytes, n);
  fireChanged();
  showCaret();
  refresh();
  return 1;
}

u32 RKEdit::keyPressed(u32 key, u32) {
  switch (key) {
    case 0xFF08:
      if (readOnly) break;
      hideCaret();
      deleteBackward();
      fireChanged();
      showCaret();
      refresh();
      break;
    case 0xFF50:
    case 0xFF51:
    case 0xFF52:
    case 0xFF53:
    case 0xFF54:
    case 0xFF57:
      hideCaret();
      if (key == 0xFF50)
        moveHome();
      else if (key == 0xFF57)
        moveEnd();
      else if (key == 0xFF51 || key == 0xFF52)
        moveLeft();
      else
        moveRight();
      showCaret();
      refresh();
      break;
    case 0xFFFF:
      if (!readOnly) deleteForward();
      break;
    case 67:
    case 99:
      copy();
      break;
    case 86:
    case 118:
      if (!readOnly) paste();
      break;
    case 88:
    case 120:
      if (!readOnly) cut();
      break;
    case 90:
    case 122:
      if (readOnly || !isKeyDown(VK_CONTROL_KEY)) break;
      hideCaret();
      empty();
      showCaret();
      refresh();
      break;
    default:
      break;
  }
  return 1;
}

}  // namespace RKSDK
