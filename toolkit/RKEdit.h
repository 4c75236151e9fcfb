// A single-line text field drawn by the toolkit itself, with its own caret and selection. The
// text is held as a list of characters of the ANSI code page (one or two bytes each), each
// measured in the field's font, so that the caret, the selection and the visible part are
// counted in characters and measured in pixels. Supports a maximum length, a password echo
// character, read-only mode and the clipboard (Ctrl with C, V, X; Ctrl+Z empties the field).
#ifndef RKSDK_RKEDIT_H
#define RKSDK_RKEDIT_H

#include "RKCursor.h"
#include "RKDesignComponent.h"

namespace RKSDK {

// One character of an edit: its bytes with a NUL, its measured size and its neighbours.
struct RKEditChar {
  char bytes[3];
  int width;
  int height;
  int byteCount;
  RKEditChar* next;
  RKEditChar* prev;
};

class RKEdit : public virtual RKDesignComponent {
 public:
  RKEdit();
  ~RKEdit() override;

  using RKDesignComponent::paint;
  using RKDesignComponent::mousePressed;
  using RKDesignComponent::mouseReleased;
  using RKDesignComponent::mouseDoubleClicked;
  using RKDesignComponent::mouseMoved;
  using RKDesignComponent::focusGained;
  using RKDesignComponent::focusLost;
  using RKDesignComponent::cursorRequested;
  using RKDesignComponent::keyTyped;
  using RKDesignComponent::keyPressed;

  void setText(RKString text) override;
  RKString getText() override;
  virtual void setEchoChar(int on, u8 c);
  // A negative length is ignored; characters already present stay.
  virtual void setMaxLength(int n);
  virtual void setEditable(int editable);
  // The caret's column counted from the first visible character.
  virtual int getCaretPosition();
  virtual void setCaretPosition(int index);
  virtual RKString getSelectedText();
  virtual int getSelectionStart();
  virtual int getSelectionEnd();
  // Indexes are clamped to 0 ... the character count.
  virtual void select(int start, int end);
  virtual void selectAll();
  virtual void setSelectionStart(int i);
  virtual void setSelectionEnd(int i);
  virtual void setSelectionBackground(RKColor c);
  virtual void setSelectionForeground(RKColor c);
  virtual void setScrollStep(int n);

  // The clipboard operations act only while Ctrl is held.
  virtual void copy();
  virtual void paste();
  virtual void cut();

  int getCharacterCount() { return charCount; }
  int getMaxLength() { return maxLength; }
  int getFirstVisible() { return firstVisible; }
  int getScrollStep() { return scrollStep; }

  // Number of characters in a NUL-ended byte string; a lone lead byte before the NUL counts
  // as one character.
  static int getCharCount(const char* bytes);
  // Bytes taken by the first n characters; 0 for n < 1.
  static int byteOffsetOfChar(const char* bytes, int n);

  void onAfterCreate() override;
  u32 paint(RKRect area, IRKGraphics* graphics) override;
  u32 mousePressed(RKPoint p) override;
  u32 mouseReleased(RKPoint p) override;
  u32 mouseDoubleClicked(RKPoint p) override;
  u32 mouseMoved(RKPoint p) override;
  u32 focusGained() override;
  u32 focusLost() override;
  u32 cursorRequested() override;
  u32 keyTyped(u8 c, u32 keyData) override;
  u32 keyPressed(u32 keysym, u32 keyData) override;

 protected:
  // Hooks that a field drawn inside another widget varies: how a change is shown (at once
  // here), the left margin of the text and the top of the caret.
  virtual void refresh() { redraw(); }
  virtual int textLeft() { return 4; }
  virtual int caretTop() { return 3; }

  virtual void unlinkRange(RKEditChar* first, RKEditChar* last, RKEditChar* replacement);
  virtual void clear();
  virtual void rebuildChars();
  virtual void rebuildText();
  virtual int visibleWidth(int from, int to);
  virtual void deleteBackward();
  virtual void insertBytes(const char* bytes, int n);
  virtual void scrollBack();
  virtual RKEditChar* nodeAt(int index);
  virtual void scrollForwardOne();
  virtual void scrollForward();
  virtual void scrollToEnd();
  virtual int rangeWidth(int from, int to);
  virtual void moveHome();
  virtual void moveEnd();
  virtual void moveLeft();
  virtual void moveRight();
  virtual void deleteForward();
  virtual RKString substring(int from, int to);
  virtual int columnAt(int x);
  virtual void syncCaretNode();
  virtual void placeCaret(int index);

  // The caret's index in the text.
  int caretIndex() { return firstVisible + caretColumn; }
  int clampIndex(int i) { return i < 0 ? 0 : (i > charCount ? charCount : i); }
  int charWidth(RKEditChar* c) { return echoOn ? echoWidth : c->width; }
  // The first visible node and the caret node again from their indexes.
  void syncNodes();
  // Native caret: hide, or put at its position and show.
  void hideCaret();
  void showCaret();
  // Bodies of the mouse handlers without their endings, for fields that end them otherwise.
  void pressAt(RKPoint p);
  void selectEverything();
  void dragTo(RKPoint p);
  // Frees the characters and zeroes every count and index.
  void empty();
  void fireChanged() { fireAction(RK_ACTION_TEXT_CHANGED, 0); }

  RKEditChar* head;
  RKEditChar* tail;
  RKEditChar* caretNode;
  RKEditChar* firstVisibleNode;
  RKString text;
  u32 charsCreated;
  u32 readOnly;
  u32 leadBytePending;
  RKColor selectionBackground;
  RKColor selectionForeground;
  int maxLength;
  int charCount;
  int firstVisible;
  int caretColumn;
  int selectionStart;
  int selectionEnd;
  int lineHeight;
  int scrollStep;
  char echoChar[2];
  u32 echoOn;
  int echoWidth;
  char typedBytes[3];
  RKCursor* textCursor;
};

}  // namespace RKSDK

#endif
