// A read-only, multi-line view of styled text with a horizontal and a vertical scroll bar.
// The text is a vector of lines, each a list of runs (RKTextAttrib) in one colour and font.
// Appended text follows the end while the view shows its last lines; the user selects text
// with the left mouse button and copies it with Ctrl+C, lines joined by CR LF.
#ifndef RKSDK_RKTEXTVIEW_H
#define RKSDK_RKTEXTVIEW_H

#include <vector>

#include "RKContainer.h"
#include "RKScrollBar.h"
#include "RKTextAttrib.h"
#include "TRKList.h"

namespace RKSDK {

typedef TRKList<RKTextAttrib*> RKTextLine;

class RKTextView : public virtual RKContainer {
 public:
  RKTextView();
  ~RKTextView() override;

  using RKContainer::paint;
  using RKContainer::mousePressed;
  using RKContainer::componentDestroyed;
  using RKComponent::mouseReleased;
  using RKComponent::mouseMoved;
  using RKComponent::keyPressed;
  using RKComponent::componentResized;
  using RKComponent::setSize;

  virtual u32 getMaxLines();
  virtual void setMaxLines(u32 n);
  virtual void append(RKString text, RKColor color, RKFont* font);
  virtual void append(RKString text, RKFont* font);
  virtual void append(RKString text, RKColor color);
  virtual void append(RKString text);
  virtual void insert(RKString text, u32 line, int column, RKColor color, RKFont* font);
  virtual void insert(RKString text, u32 line, int column);
  virtual void replace(RKString text, u32 startLine, u32 endLine, u32 startColumn, int endColumn);
  virtual void setStyle(u32 startLine, u32 endLine, u32 startColumn, int endColumn, RKColor color, RKFont* font);
  virtual void remove(u32 startLine, u32 endLine, u32 startColumn, int endColumn);
  virtual void clear();
  virtual RKString getText(u32 startLine, u32 endLine, u32 startColumn, u32 endColumn);
  virtual void setHorizontalScrollBar(RKScrollBar* bar);
  virtual RKScrollBar* getHorizontalScrollBar();
  virtual void setVerticalScrollBar(RKScrollBar* bar);
  virtual RKScrollBar* getVerticalScrollBar();
  virtual void setSelectionBackground(RKColor c);
  virtual void setSelectionForeground(RKColor c);
  virtual RKString getAllText();
  virtual void setBorderColor(RKColor c);
  virtual void appendRun(const char* text, int length, RKColor color, RKFont* font);
  // The line with a reference added; an index equal to the line count makes a new empty line.
  virtual RKTextLine* getLine(int index);
  virtual void updateWidestLine();
  virtual void layoutScrollBars();
  virtual void updateScrollRanges();
  virtual void insertAt(const char* text, int length, u32 line, int column, RKColor color, RKFont* font);
  virtual u32 lineWidth(int index);
  virtual void removeRange(u32 startLine, u32 endLine, u32 startColumn, int endColumn);
  virtual RKString lineText(RKTextLine* line);
  virtual RKString textBetween(RKTextLine* line, int startColumn, int endColumn);
  virtual RKString textFrom(RKTextLine* line, int column);
  virtual RKString textTo(RKTextLine* line, int column);
  virtual void repaintText();
  virtual void reset();
  virtual RKTSIndex pointToIndex(RKPoint p);
  virtual void hitTestLine(u32 line, u32 x, u32* column, u32* lineX);
  virtual u32 charIndexAtX(RKString text, int x);
  virtual u32 charLeftAtX(RKString text, int x);
  virtual void orderIndexes(RKTSIndex& first, RKTSIndex& second);
  virtual void copySelection();
  virtual void mouseNotify(RKComponent* source);
  virtual int isInsideDoubleByte(int line, u32 column);
  virtual u32 xOfColumn(int line, u32 column);

  u32 getLineCount() { return lines.itemCount; }
  u32 getTopLine() { return topLine; }
  u32 getVisibleLines() { return visibleLines; }
  u32 getWidestLine() { return widestLine; }
  int getScrollX() { return scrollX; }
  u32 isFollowingEnd() { return followEnd; }
  RKTSIndex getSelectionStart() { return selStart; }
  RKTSIndex getSelectionEnd() { return selEnd; }

  void onAfterCreate() override;
  u32 componentResized(u32 kind, u16 width, u16 height) override;
  void setSize(int width, int height, int repaint) override;
  void setInheritedFlag(u32 flag) override;
  u32 componentDestroyed() override;
  u32 paint(RKRect area, IRKGraphics* graphics) override;
  int actionPerformed(RKObject* source, u32 id, u64 parameter) override;
  u32 mousePressed(RKPoint p) override;
  u32 mouseReleased(RKPoint p) override;
  u32 mouseMoved(RKPoint p) override;
  u32 keyPressed(u32 keysym, u32 keyData) override;

 protected:
  // Line pitch divisor: the font height plus 1, never 0.
  int pitch();
  RKTextLine* lineAt(u32 index) { return index < lines.itemCount ? lines.items[index] : nullptr; }
  static std::vector<RKTextAttrib*> runsOf(RKTextLine* line);
  static void setRuns(RKTextLine* line, const std::vector<RKTextAttrib*>& runs);
  static void releaseLine(RKTextLine* line);
  static u32 lengthOf(RKTextLine* line);
  void removeLineAt(u32 index);
  RKTextLine* newLine(RKColor color, RKFont* font, const RKString& text);
  u32 measure(RKTextAttrib* run);
  RKSize extentIn(RKFont* font, RKString text);
  RKTSIndex snapped(RKPoint p);
  RKRect textArea();

  u32 currentLine;
  u32 topLine;
  u32 visibleLines;
  u32 maxLines;
  TRKVector<RKTextLine*> lines;
  u32 widestLine;
  u32 lineHeight;
  int scrollX;
  u32 followEnd;
  u32 cornerPainted;
  RKTSIndex selStart;
  RKTSIndex selEnd;
  u32 selecting;
  RKColor selectionForeground;
  RKColor selectionBackground;
  u32 flatBorder;
  u32 viewCreated;
  RKScrollBar* horizontalBar;
  RKScrollBar* verticalBar;
  RKColor borderColor;
};

}  // namespace RKSDK

#endif
