#include "RKTextView.h"

#include <new>
#include <string>

namespace RKSDK {

namespace {

const u32 VK_CONTROL_KEY = 17;
const int BAR = 18;

bool isLead(char c) { return IsDBCSLeadByte(BYTE(c)) != FALSE; }

u32 runLength(RKTextAttrib* r) { return r ? r->text.length : 0; }

const char* bytesOf(const RKString& s) { return s.data ? s.data : ""; }

RKString bytesRange(const RKString& s, u32 from, u32 to) {
  RKString out("");
  if (to > s.length) to = s.length;
  if (from >= to) return out;
  out.assign(s.data + from, to - from);
  return out;
}

}  // namespace

RKTextView::RKTextView()
    : currentLine(0),
      topLine(0),
      visibleLines(0),
      maxLines(0xFFFFFFFFu),
      widestLine(0),
      lineHeight(0),
      scrollX(0),
      followEnd(1),
      cornerPainted(0),
      selecting(0),
      selectionForeground(255, 255, 255),
      selectionBackground(8, 36, 107),
      flatBorder(0),
      viewCreated(0),
      horizontalBar(nullptr),
      verticalBar(nullptr),
      borderColor(0, 0, 0) {
  appendClassName("RKTextView");
  setWindowClassName("RKTextView");
  setBackground(RKColor(255, 255, 255));
  reset();
  horizontalBar = new (std::nothrow) RKScrollBar(0);
  verticalBar = new (std::nothrow) RKScrollBar(1);
  for (RKScrollBar* bar : {horizontalBar, verticalBar}) {
    if (!bar) continue;
    bar->setFocusable(0);
    bar->setSize(20, 20, 1);
    add(bar);
  }
}

RKTextView::~RKTextView() {
  for (u32 i = 0; i < lines.itemCount; ++i) releaseLine(lines.items[i]);
  lines.itemCount = 0;
}

// ---- lines and runs ----

std::vector<RKTextAttrib*> RKTextView::runsOf(RKTextLine* line) {
  std::vector<RKTextAttrib*> runs;
  if (line && line->moveFirst()) {
    do runs.push_back(*line->getCurrent());
    while (line->moveNext());
  }
  return runs;
}

void RKTextView::setRuns(RKTextLine* line, const std::vector<RKTextAttrib*>& runs) {
  line->removeAll();
  for (RKTextAttrib* r : runs) line->addLast(r);
}

void RKTextView::releaseLine(RKTextLine* line) {
  if (!line) return;
  for (RKTextAttrib* r : runsOf(line)) r->release();
  line->removeAll();
  line->release();
}

u32 RKTextView::lengthOf(RKTextLine* line) {
  u32 n = 0;
  for (RKTextAttrib* r : runsOf(line)) n += runLength(r);
  return n;
}

void RKTextView::removeLineAt(u32 index) {
  if (index >= lines.itemCount) return;
  releaseLine(lines.items[index]);
  for (u32 j = index + 1; j < lines.itemCount; ++j) lines.items[j - 1] = lines.items[j];
  --lines.itemCount;
}

RKTextLine* RKTextView::newLine(RKColor color, RKFont* font, const RKString& text) {
  RKTextLine* line = new RKTextLine();
  line->addRef();
  RKTextAttrib* run = new RKTextAttrib(color, font, text);
  run->addRef();
  line->addLast(run);
  return line;
}

RKSize RKTextView::extentIn(RKFont* font, RKString text) {
  RKFont* saved = getFont();
  if (font) setFont(font);
  RKSize size = getTextExtent(text);
  if (font) setFont(saved);
  if (saved) saved->release();
  return size;
}

u32 RKTextView::measure(RKTextAttrib* run) {
  run->width = u32(extentIn(run->font, run->text).width);
  return run->width;
}

int RKTextView::pitch() {
  int p = int(lineHeight) + 1;
  return p < 1 ? 1 : p;
}

u32 RKTextView::getMaxLines() { return maxLines; }
void RKTextView::setMaxLines(u32 n) { maxLines = n; }

void RKTextView::append(RKString text, RKColor color, RKFont* font) {
  text.replaceAll("\t", "        ");
  appendRun(bytesOf(text), int(text.length), color, font);
}

void RKTextView::append(RKString text, RKFont* font) { append(text, getForeground(), font); }

void RKTextView::append(RKString text, RKColor color) {
  RKFont* font = getFont();
  append(text, color, font);
  if (font) font->release();
}

void RKTextView::append(RKString text) { append(text, getForeground()); }

void RKTextView::insert(RKString text, u32 line, int column, RKColor color, RKFont* font) {
  text.replaceAll("\t", "        ");
  insertAt(bytesOf(text), int(text.length), line, column, color, font);
}

void RKTextView::insert(RKString text, u32 line, int column) {
  RKFont* font = getFont();
  insert(text, line, column, getForeground(), font);
  if (font) font->release();
}

void RKTextView::replace(RKString text, u32 startLine, u32 endLine, u32 startColumn, int endColumn) {
  removeRange(startLine, endLine, startColumn, endColumn);
  insert(text, startLine, int(startColumn));
}

void RKTextView::setStyle(u32 startLine, u32 endLine, u32 startColumn, int endColumn, RKColor color, RKFont* font) {
  RKString t = getText(startLine, endLine, startColumn, u32(endColumn));
  removeRange(startLine, endLine, startColumn, endColumn);
  insert(t, startLine, int(startColumn), color, font);
}

void RKTextView::remove(u32 startLine, u32 endLine, u32 startColumn, int endColumn) {
  removeRange(startLine, endLine, startColumn, endColumn);
}

void RKTextView::clear() {
  for (u32 i = 0; i < lines.itemCount; ++i) releaseLine(lines.items[i]);
  lines.itemCount = 0;
  layoutScrollBars();
  repaintText();
}

RKString RKTextView::getText(u32 startLine, u32 endLine, u32 startColumn, u32 endColumn) {
  RKString out("");
  if (startLine == endLine) {
    if (startColumn == endColumn) return out;
    RKTextLine* line = lineAt(startLine);
    if (!line) return out;
    u32 lo = startColumn < endColumn ? startColumn : endColumn;
    u32 hi = startColumn < endColumn ? endColumn : startColumn;
    return textBetween(line, int(lo), int(hi));
  }
  RKTextLine* first = lineAt(startLine);
  if (!first) return out;
  out = textFrom(first, int(startColumn)) + "\r\n";
  for (u32 i = startLine + 1; i < endLine; ++i) {
    RKTextLine* line = lineAt(i);
    if (!line) {
      out = bytesRange(out, 0, out.length - 2);
      return out;
    }
    out = out + lineText(line) + "\r\n";
  }
  RKTextLine* last = lineAt(endLine);
  if (!last) {
    out = bytesRange(out, 0, out.length - 2);
    return out;
  }
  return out + textTo(last, int(endColumn));
}

RKString RKTextView::getAllText() {
  RKString out("");
  for (u32 i = 0; i < lines.itemCount; ++i) {
    if (i) out = out + "\r\n";
    out = out + lineText(lines.items[i]);
  }
  return out;
}

RKString RKTextView::lineText(RKTextLine* line) {
  std::string s;
  for (RKTextAttrib* r : runsOf(line)) s.append(bytesOf(r->text), r->text.length);
  RKString out("");
  out.assign(s.data(), u32(s.size()));
  return out;
}

RKString RKTextView::textBetween(RKTextLine* line, int a, int b) {
  RKString all = lineText(line);
  return bytesRange(all, a < 0 ? 0 : u32(a), b < 0 ? 0 : u32(b));
}

RKString RKTextView::textFrom(RKTextLine* line, int a) {
  RKString all = lineText(line);
  return bytesRange(all, a < 0 ? 0 : u32(a), all.length);
}

RKString RKTextView::textTo(RKTextLine* line, int b) { return textBetween(line, 0, b); }

RKTextLine* RKTextView::getLine(int index) {
  u32 i = u32(index);
  if (i > lines.itemCount) return nullptr;
  if (i < lines.itemCount) {
    lines.items[i]->addRef();
    return lines.items[i];
  }
  RKFont* font = getFont();
  RKTextLine* line = newLine(getForeground(), font, "");
  if (font) font->release();
  if (!lines.insertAt(int(lines.itemCount), line)) {
    releaseLine(line);
    return nullptr;
  }
  line->addRef();
  return line;
}

u32 RKTextView::lineWidth(int index) {
  RKTextLine* line = lineAt(u32(index));
  if (!line) return 0;
  u32 w = 0;
  for (RKTextAttrib* r : runsOf(line)) w += measure(r);
  return w;
}

void RKTextView::updateWidestLine() {
  u32 widest = 0;
  for (u32 i = 0; i < lines.itemCount; ++i) {
    u32 w = lineWidth(int(i));
    if (w > widest) widest = w;
  }
  widestLine = widest;
}

void RKTextView::appendRun(const char* text, int length, RKColor color, RKFont* font) {
  currentLine = lines.itemCount ? lines.itemCount - 1 : 0;
  RKTextLine* line = getLine(int(currentLine));
  if (!line) return;
  std::string pending;
  auto flush = [&]() {
    std::vector<RKTextAttrib*> runs = runsOf(line);
    RKString t("");
    t.assign(pending.data(), u32(pending.size()));
    if (!runs.empty() && runs.back()->hasStyle(color, font)) {
      runs.back()->text = runs.back()->text + t;
    } else {
      RKTextAttrib* run = new RKTextAttrib(color, font, t);
      run->addRef();
      line->addLast(run);
    }
    pending.clear();
    u32 w = lineWidth(int(currentLine));
    if (w > widestLine) {
      widestLine = w;
      layoutScrollBars();
    } else if (lines.itemCount > visibleLines) {
      layoutScrollBars();
    }
  };
  bool stopped = false;
  for (int i = 0; i < length && !stopped; ++i) {
    char c = text[i];
    if (c == '\r') continue;
    if (c != '\n') {
      pending.push_back(c);
      continue;
    }
    flush();
    if (lines.itemCount >= maxLines) {
      stopped = true;
      break;
    }
    RKTextLine* next = newLine(color, font, "");
    if (!lines.insertAt(int(currentLine + 1), next)) {
      releaseLine(next);
      stopped = true;
      break;
    }
    line->release();
    line = next;
    line->addRef();
    ++currentLine;
  }
  if (!stopped && !pending.empty()) flush();
  line->release();
  if (viewCreated && followEnd && lines.itemCount > visibleLines) {
    topLine = lines.itemCount - visibleLines;
    if (verticalBar) verticalBar->setValue(int(topLine));
  }
  repaintText();
}

void RKTextView::insertAt(const char* text, int length, u32 lineIndex, int column, RKColor color, RKFont* font) {
  RKTextLine* target = getLine(int(lineIndex));
  if (!target) return;
  std::string pending;
  // The run holding the column (a column on a boundary belongs to the run ending there),
  // with its offset; the column is first kept inside the line.
  auto locate = [&](std::vector<RKTextAttrib*>& runs, size_t* at, u32* offset) {
    u32 len = lengthOf(target);
    if (column < 0) column = 0;
    if (u32(column) > len) column = int(len);
    u32 acc = 0;
    for (size_t k = 0; k < runs.size(); ++k) {
      if (acc + runLength(runs[k]) >= u32(column) || k + 1 == runs.size()) {
        *at = k;
        *offset = u32(column) - acc;
        return;
      }
      acc += runLength(runs[k]);
    }
  };
  auto toText = [](const std::string& s) {
    RKString t("");
    t.assign(s.data(), u32(s.size()));
    return t;
  };
  for (int i = 0; i <= length; ++i) {
    bool atEnd = i == length;
    char c = atEnd ? 0 : text[i];
    if (!atEnd && c == '\r') continue;
    if (!atEnd && c != '\n') {
      pending.push_back(c);
      continue;
    }
    if (atEnd && pending.empty()) break;
    std::vector<RKTextAttrib*> runs = runsOf(target);
    if (runs.empty()) break;
    size_t at = 0;
    u32 offset = 0;
    locate(runs, &at, &offset);
    RKTextAttrib* split = runs[at];
    RKString head = bytesRange(split->text, 0, offset);
    RKString tail = bytesRange(split->text, offset, split->text.length);
    RKString ins = toText(pending);
    if (atEnd) {
      if (split->hasStyle(color, font)) {
        split->text = head + ins + tail;
      } else {
        split->text = head;
        RKTextAttrib* a = new RKTextAttrib(color, font, ins);
        RKTextAttrib* b = new RKTextAttrib(split->color, split->font, tail);
        a->addRef();
        b->addRef();
        runs.insert(runs.begin() + long(at) + 1, {a, b});
        setRuns(target, runs);
      }
      break;
    }
    // A line break: the tail and every later run move to a new line after this one.
    std::vector<RKTextAttrib*> moved(runs.begin() + long(at) + 1, runs.end());
    runs.resize(at + 1);
    if (split->hasStyle(color, font)) {
      split->text = head + ins;
    } else {
      split->text = head;
      RKTextAttrib* a = new RKTextAttrib(color, font, ins);
      a->addRef();
      runs.push_back(a);
    }
    setRuns(target, runs);
    RKTextLine* next = newLine(split->color, split->font, tail);
    for (RKTextAttrib* r : moved) next->addLast(r);
    if (!lines.insertAt(int(lineIndex + 1), next)) {
      releaseLine(next);
      break;
    }
    ++lineIndex;
    column = 0;
    target->release();
    target = next;
    target->addRef();
    repaintText();
    pending.clear();
  }
  target->release();
  updateWidestLine();
}

void RKTextView::removeRange(u32 startLine, u32 endLine, u32 startColumn, int endColumn) {
  if (startLine == endLine && startColumn == u32(endColumn)) return;
  if (startLine > endLine) {
    u32 t = startLine;
    startLine = endLine;
    endLine = t;
  }
  if (startLine != endLine) {
    RKTextLine* first = lineAt(startLine);
    if (!first) return;
    // A missing end line stops the range at the last line.
    if (endLine >= lines.itemCount) endLine = lines.itemCount - 1;
    std::vector<RKTextAttrib*> runs = runsOf(first);
    std::vector<RKTextAttrib*> kept;
    u32 acc = 0;
    bool cut = false;
    for (RKTextAttrib* r : runs) {
      if (cut) {
        r->release();
        continue;
      }
      kept.push_back(r);
      if (acc + runLength(r) > startColumn) {
        r->text = bytesRange(r->text, 0, startColumn - acc);
        cut = true;
      }
      acc += runLength(r);
    }
    for (u32 n = endLine - startLine - 1; n > 0; --n) removeLineAt(startLine + 1);
    if (endLine != startLine) {
      RKTextLine* last = lineAt(startLine + 1);
      acc = 0;
      u32 ec = endColumn < 0 ? 0 : u32(endColumn);
      for (RKTextAttrib* r : runsOf(last)) {
        u32 len = runLength(r);
        if (acc + len < ec) {
          acc += len;
          continue;
        }
        RKString part = acc < ec ? bytesRange(r->text, ec - acc, len) : r->text;
        RKTextAttrib* copy = new RKTextAttrib(r->color, r->font, part);
        copy->width = r->width;
        copy->addRef();
        kept.push_back(copy);
        acc += len;
      }
      removeLineAt(startLine + 1);
    }
    setRuns(first, kept);
    updateWidestLine();
    return;
  }
  RKTextLine* line = lineAt(startLine);
  if (!line) return;
  u32 hi = endColumn < 0 ? 0 : u32(endColumn);
  u32 lo = startColumn < hi ? startColumn : hi;
  if (startColumn >= hi) return;
  u32 acc = 0;
  for (RKTextAttrib* r : runsOf(line)) {
    u32 len = runLength(r);
    u32 a = lo > acc ? lo - acc : 0, b = hi > acc ? hi - acc : 0;
    if (a > len) a = len;
    if (b > len) b = len;
    if (a < b) r->text = bytesRange(r->text, 0, a) + bytesRange(r->text, b, len);
    acc += len;
  }
  updateWidestLine();
}

// ---- layout and painting ----

void RKTextView::setSelectionBackground(RKColor c) { selectionBackground.setARGB(c.getARGB()); }
void RKTextView::setSelectionForeground(RKColor c) { selectionForeground.setARGB(c.getARGB()); }
void RKTextView::setBorderColor(RKColor c) { borderColor.setARGB(c.getARGB()); }

void RKTextView::layoutScrollBars() {
  RKSize s = getSize();
  int f = int(flatBorder);
  int availW = s.width + 2 * f - 4, availH = s.height + 2 * f - 4;
  bool needV = lines.itemCount > visibleLines;
  if (needV) availW -= BAR;
  bool needH = widestLine > u32(availW);
  if (needH) availH -= BAR;
  visibleLines = u32(availH / pitch());
  if (!needV && lines.itemCount > visibleLines) needV = true;
  if (horizontalBar) {
    if (needH) {
      horizontalBar->setLocation(2 - f, s.height + f - 20, 1);
      horizontalBar->setSize(needV ? s.width + 2 * f - 22 : s.width + 2 * f - 4, BAR, 1);
      if (!horizontalBar->isVisible()) horizontalBar->show(0);
    } else if (horizontalBar->isVisible()) {
      horizontalBar->hide();
      scrollX = 0;
    }
  }
  if (verticalBar) {
    if (needV) {
      verticalBar->setLocation(s.width + f - 20, 2 - f, 1);
      verticalBar->setSize(BAR, needH ? s.height + 2 * f - 22 : s.height + 2 * f - 4, 1);
      if (!verticalBar->isVisible()) verticalBar->show(0);
    } else if (verticalBar->isVisible()) {
      verticalBar->hide();
      topLine = 0;
    }
  }
  updateScrollRanges();
}

void RKTextView::updateScrollRanges() {
  RKSize s = getSize();
  int f = int(flatBorder);
  bool vVisible = verticalBar && verticalBar->isVisible();
  if (horizontalBar && horizontalBar->isVisible()) {
    horizontalBar->setMaximum(int(widestLine));
    horizontalBar->setMinimum(0);
    horizontalBar->setVisibleAmount(s.width + 2 * f - 8 - (vVisible ? BAR : 0));
    horizontalBar->setUnitIncrement(16);
  }
  if (vVisible) {
    verticalBar->setMaximum(int(lines.itemCount));
    verticalBar->setMinimum(0);
    verticalBar->setVisibleAmount(int(visibleLines));
    verticalBar->setUnitIncrement(1);
  }
}

RKRect RKTextView::textArea() {
  RKSize s = getSize();
  int f = int(flatBorder);
  RKRect r(2 - f, 2 - f, s.width + 2 * f - 4, s.height + 2 * f - 4);
  if (horizontalBar && horizontalBar->isVisible()) r.height -= BAR;
  if (verticalBar && verticalBar->isVisible()) r.width -= BAR;
  return r;
}

void RKTextView::repaintText() {
  RKRect area = textArea();
  bool both = horizontalBar && horizontalBar->isVisible() && verticalBar && verticalBar->isVisible();
  if (both) {
    if (cornerPainted) {
      repaint(area);
    } else {
      RKSize s = getSize();
      int f = int(flatBorder);
      repaint(RKRect(s.width + f - 20, s.height + f - 20, BAR, BAR));
      cornerPainted = 1;
    }
    return;
  }
  repaint(area);
  cornerPainted = 0;
}

void RKTextView::onAfterCreate() {
  RKContainer::onAfterCreate();
  viewCreated = 1;
  updateWidestLine();
  lineHeight = getFontHeight();
  RKSize s = getSize();
  visibleLines = u32((s.height + 2 * int(flatBorder) - 4) / pitch());
  layoutScrollBars();
}

u32 RKTextView::componentResized(u32, u16, u16 height) {
  visibleLines = u32((int(height & 0xFFFF) + 2 * int(flatBorder) - 4) / pitch());
  layoutScrollBars();
  return 1;
}

void RKTextView::setSize(int width, int height, int repaint) {
  RKContainer::setSize(width, height, repaint);
  layoutScrollBars();
}

void RKTextView::setInheritedFlag(u32 flag) {
  RKContainer::setInheritedFlag(flag);
  flatBorder = flag == 0 ? 1 : 0;
}

u32 RKTextView::componentDestroyed() {
  viewCreated = 0;
  return RKContainer::componentDestroyed();
}

u32 RKTextView::paint(RKRect area, IRKGraphics* g) {
  if (!g) return 1;
  g->addRef();
  g->fillRect(area);
  g->setTransparentText(1);
  RKSize s = getSize();
  int W = s.width, H = s.height, f = int(flatBorder);
  RKColor* pen = g->getColor();
  RKColor* fill = g->getFillColor();
  u32 savedPen = pen ? pen->getARGB() : 0, savedFill = fill ? fill->getARGB() : 0;
  RKFont* savedFont = g->getFont();
  RKTSIndex a = selStart, b = selEnd;
  orderIndexes(a, b);
  bool pending = true, inside = false;
  bool vVisible = verticalBar && verticalBar->isVisible();
  int lh = int(lineHeight);
  int y = 3 - f;
  auto highlight = [&](int x0, int w0) {
    if (pen) pen->setARGB(selectionBackground.getARGB());
    if (fill) fill->setARGB(selectionBackground.getARGB());
    g->drawRect(x0, y, w0, lh + 1);
  };
  auto piece = [&](RKTextAttrib* r, u32 from, u32 to, RKColor c, int x0, int w0) {
    if (pen) pen->setARGB(RKColor(c).getARGB());
    if (to > from) g->drawText(bytesRange(r->text, from, to), RKRect(x0, y, w0, lh), 0x20);
    if (pen) pen->setARGB(savedPen);
  };
  for (u32 ln = topLine; ln < topLine + visibleLines; ++ln) {
    RKTextLine* line = lineAt(ln);
    if (!line) break;
    u32 limit = u32(scrollX + 2 * f - 5 + W - (vVisible ? BAR : 0));
    u32 column = 0;
    int x = 3 - f - scrollX;
    for (RKTextAttrib* r : runsOf(line)) {
      u32 pos = u32(x + scrollX + f - 3);
      u32 end = pos + r->width;
      bool last = false;
      if (r->text.length == 0) {
        if (pending && !(a == b)) {
          if (b.line == ln && b.x <= end)
            pending = inside = false;
          else if (a.line == ln && a.x <= end)
            inside = true;
        }
        if (x >= W) break;
        continue;
      }
      u32 w = r->width;
      if (pos + w > limit) {
        w = limit - pos;
        last = true;
      }
      if (r->font) g->setFont(r->font);
      u32 len = r->text.length;
      auto rel = [&](u32 col) { return col > column ? (col - column < len ? col - column : len) : 0; };
      if (!pending || a == b) {
        piece(r, 0, len, r->color, x, int(w));
      } else if (!inside && a.line == ln && b.line == ln && a.x <= end && b.x <= end) {
        highlight(int(a.x) - scrollX + 3 - f, int(b.x - a.x));
        piece(r, 0, rel(a.column), r->color, x, int(a.x - pos));
        piece(r, rel(a.column), rel(b.column), selectionForeground, x + int(a.x - pos), int(b.x - a.x));
        piece(r, rel(b.column), len, r->color, x + int(b.x - pos), int(end - b.x));
        pending = inside = false;
      } else if (b.line == ln && b.x <= end) {
        highlight(x, int(b.x - pos));
        piece(r, 0, rel(b.column), selectionForeground, x, int(b.x - pos));
        piece(r, rel(b.column), len, r->color, x + int(b.x - pos), int(end - b.x));
        pending = inside = false;
      } else if (inside) {
        if (b.line < ln) {
          piece(r, 0, len, r->color, x, int(w));
          pending = inside = false;
        } else {
          highlight(x, int(w));
          piece(r, 0, len, selectionForeground, x, int(w));
        }
      } else if (a.line == ln && a.x <= end) {
        highlight(x + int(a.x - pos), int(end - a.x));
        piece(r, 0, rel(a.column), r->color, x, int(a.x - pos));
        piece(r, rel(a.column), len, selectionForeground, x + int(a.x - pos), int(end - a.x));
        inside = true;
      } else {
        piece(r, 0, len, r->color, x, int(w));
      }
      if (savedFont) g->setFont(savedFont);
      column += len;
      x += int(r->width);
      if (last || x >= W) break;
    }
    y += lh + 1;
  }
  if (vVisible && horizontalBar && horizontalBar->isVisible()) {
    u32 corner = horizontalBar->getBackground().getARGB();
    if (pen) pen->setARGB(corner);
    if (fill) fill->setARGB(corner);
    g->drawRect(W + f - 20, H + f - 20, BAR, BAR);
  }
  if (!look3D) {
    if (pen) pen->setARGB(borderColor.getARGB());
    g->drawRectOutline(0, 0, W - 1, H - 1);
  } else {
    if (pen) {
      pen->setRed(0);
      pen->setGreen(0);
      pen->setBlue(0);
    }
    g->draw3DFrame(0, 0, W - 1, H - 1, 1);
  }
  if (savedFont) {
    g->setFont(savedFont);
    savedFont->release();
  }
  restoreColor(pen, savedPen);
  restoreColor(fill, savedFill);
  if (designMode) paintDesign(g);
  g->release();
  return 1;
}

// ---- scrolling, selection and copying ----

void RKTextView::setHorizontalScrollBar(RKScrollBar* bar) {
  if (horizontalBar) RKContainer::remove(horizontalBar);
  horizontalBar = bar;
  if (bar) add(bar);
}

RKScrollBar* RKTextView::getHorizontalScrollBar() {
  if (horizontalBar) horizontalBar->addRef();
  return horizontalBar;
}

void RKTextView::setVerticalScrollBar(RKScrollBar* bar) {
  if (verticalBar) RKContainer::remove(verticalBar);
  verticalBar = bar;
  if (bar) add(bar);
}

RKScrollBar* RKTextView::getVerticalScrollBar() {
  if (verticalBar) verticalBar->addRef();
  return verticalBar;
}

void RKTextView::reset() {
  selStart.reset();
  selEnd.reset();
  selStart.x = selEnd.x = 3 - flatBorder;
}

RKTSIndex RKTextView::pointToIndex(RKPoint p) {
  int f = int(flatBorder);
  int py = p.y < 3 ? 3 : p.y, px = p.x < 3 ? 3 : p.x;
  u32 line = u32((f + py - 2) / pitch()) + topLine;
  if (line >= lines.itemCount) line = lines.itemCount ? lines.itemCount - 1 : 0;
  u32 column = 0, x = 0;
  hitTestLine(line, u32(scrollX + f + px - 3), &column, &x);
  return RKTSIndex(line, x, column);
}

void RKTextView::hitTestLine(u32 lineIndex, u32 x, u32* column, u32* lineX) {
  *column = 0;
  *lineX = 0;
  RKTextLine* line = getLine(int(lineIndex));
  if (!line) return;
  for (RKTextAttrib* r : runsOf(line)) {
    if (r->width + *lineX <= x) {
      *column += runLength(r);
      *lineX += r->width;
      continue;
    }
    int rx = int(x - *lineX);
    RKFont* saved = getFont();
    if (r->font) setFont(r->font);
    *column += charIndexAtX(r->text, rx);
    *lineX += charLeftAtX(r->text, rx);
    if (r->font) setFont(saved);
    if (saved) saved->release();
    break;
  }
  line->release();
}

u32 RKTextView::charIndexAtX(RKString text, int x) {
  if (text.length == 0) return 0;
  for (u32 n = 0; n < text.length; ++n)
    if (getTextExtent(bytesRange(text, 0, n + 1)).width > x) return n;
  return text.length - 1;
}

u32 RKTextView::charLeftAtX(RKString text, int x) {
  u32 left = 0;
  for (u32 n = 1; n <= text.length; ++n) {
    int w = getTextExtent(bytesRange(text, 0, n)).width;
    if (w > x) break;
    left = u32(w);
  }
  return left;
}

void RKTextView::orderIndexes(RKTSIndex& first, RKTSIndex& second) {
  bool swap = first.line != second.line ? first.line > second.line : first.column > second.column;
  if (!swap) return;
  RKTSIndex t = first;
  first = second;
  second = t;
}

void RKTextView::copySelection() {
  if (!isKeyDown(VK_CONTROL_KEY)) return;
  if (selStart == selEnd) return;
  RKTSIndex a = selStart, b = selEnd;
  orderIndexes(a, b);
  copyToClipboard(getText(a.line, b.line, a.column, b.column));
}

void RKTextView::mouseNotify(RKComponent*) {}

// Walks the line from its start, a lead byte taking its trail byte with it, so that trail
// bytes in the ASCII range are recognised as well.
int RKTextView::isInsideDoubleByte(int lineIndex, u32 column) {
  RKTextLine* line = lineAt(u32(lineIndex));
  if (!line) return 0;
  RKString all = lineText(line);
  if (column == 0 || column >= all.length) return 0;
  u32 i = 0;
  while (i < column) {
    if (isLead(all.data[i]) && i + 1 < all.length) {
      if (i + 1 == column) return 1;
      i += 2;
    } else {
      ++i;
    }
  }
  return 0;
}

u32 RKTextView::xOfColumn(int lineIndex, u32 column) {
  RKTextLine* line = lineAt(u32(lineIndex));
  if (!line) return 0;
  u32 acc = 0, x = 0;
  for (RKTextAttrib* r : runsOf(line)) {
    u32 len = runLength(r);
    if (acc + len < column) {
      acc += len;
      x += r->width;
      continue;
    }
    if (column > acc) x += u32(extentIn(r->font, bytesRange(r->text, 0, column - acc)).width);
    return x;
  }
  return x;
}

RKTSIndex RKTextView::snapped(RKPoint p) {
  RKTSIndex i = pointToIndex(p);
  if (isInsideDoubleByte(int(i.line), i.column)) {
    ++i.column;
    i.x = xOfColumn(int(i.line), i.column);
  }
  return i;
}

int RKTextView::actionPerformed(RKObject* source, u32 id, u64) {
  if (id != RK_ACTION_SCROLL_VALUE_CHANGED || !source) return 1;
  if (horizontalBar && source == static_cast<RKObject*>(horizontalBar)) {
    scrollX = horizontalBar->getValue();
  } else if (verticalBar && source == static_cast<RKObject*>(verticalBar)) {
    int v = verticalBar->getValue();
    topLine = u32(v);
    followEnd = u32(v) == lines.itemCount - visibleLines ? 1 : 0;
  } else {
    return 1;
  }
  repaintText();
  return 1;
}

u32 RKTextView::mousePressed(RKPoint p) {
  if (designMode) return RKDesignComponent::mousePressed(p);
  selecting = 1;
  selStart = snapped(p);
  selEnd = selStart;
  repaintText();
  captureMouse();
  return 1;
}

u32 RKTextView::mouseMoved(RKPoint p) {
  if (designMode) return RKDesignComponent::mouseMoved(p);
  if (!selecting) return 1;
  if (horizontalBar && horizontalBar->isVisible()) {
    RKSize s = getSize();
    int f = int(flatBorder);
    bool v = verticalBar && verticalBar->isVisible();
    int visible = s.width + 2 * f - 8 - (v ? BAR : 0);
    int right = s.width + f - 3 - (v ? BAR : 0);
    bool moved = false;
    if (p.x <= right && p.x < 3 - f) {
      scrollX += p.x + f - 3;
      if (scrollX < 0) scrollX = 0;
      moved = true;
    } else if (p.x > right) {
      int py = p.y < 3 ? 3 : p.y;
      u32 row = u32((f + py - 2) / pitch()) + topLine;
      if (lineWidth(int(row)) > u32(right)) {
        scrollX += p.x - right;
        int most = int(widestLine) - visible;
        if (scrollX > most) scrollX = most;
        if (scrollX < 0) scrollX = 0;
      }
      moved = true;
    }
    if (moved) horizontalBar->setValue(scrollX);
  }
  selEnd = snapped(p);
  repaintText();
  return 1;
}

u32 RKTextView::mouseReleased(RKPoint p) {
  if (designMode) return RKDesignComponent::mouseReleased(p);
  selecting = 0;
  selEnd = snapped(p);
  repaintText();
  releaseMouse(0);
  return 1;
}

u32 RKTextView::keyPressed(u32 key, u32) {
  if (designMode) return 1;
  if (key == 67 || key == 99) copySelection();
  return 1;
}

}  // namespace RKSDK
