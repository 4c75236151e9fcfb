// The single-line edit field on the headless display: typing through WM_CHAR (ASCII and GBK
// pairs), deletion, movement with and without Shift, mouse selection, the clipboard with its
// length limit, echo and read-only mode.
#include "RKEdit.h"
#include "WidgetTestSupport.h"

namespace {

const char* NI = "\xC4\xE3";   // a GBK character
const char* HAO = "\xBA\xC3";  // another one
const char* LOW = "\x81\x40";  // GBK pair whose second byte is in the ASCII range

class EditTest : public WidgetTest {
 protected:
  RKEdit* makeEdit(int w = 200, int h = 24) {
    RKEdit* e = new RKEdit();
    e->addRef();
    edits.push_back(e);
    place(e, 10, 10, w, h);
    e->addActionListener(&changes);
    return e;
  }
  void TearDown() override {
    for (RKEdit* e : edits) {
      e->removeActionListener(&changes);
      e->release();
    }
    edits.clear();
    compat_set_key_state(VK_SHIFT, FALSE);
    compat_set_key_state(VK_CONTROL, FALSE);
    WidgetTest::TearDown();
  }
  // Clicks into the edit so that it holds the focus.
  void focus(RKEdit* e) {
    compat_click(windowOf(e), e->getSize().width / 2, 10);
    compat_pump();
    ASSERT_EQ(e->hasFocus(), 1u);
  }
  void typeBytes(RKEdit* e, const std::string& bytes) {
    for (unsigned char c : bytes) PostMessageA(windowOf(e), WM_CHAR, c, 1);
    compat_pump();
  }
  void press(UINT vk) {
    compat_key(vk, TRUE, "");
    compat_key(vk, FALSE, "");
    compat_pump();
  }
  void ctrl(UINT letter) {
    compat_set_key_state(VK_CONTROL, TRUE);
    press(letter);
    compat_set_key_state(VK_CONTROL, FALSE);
  }
  std::string textOf(RKEdit* e) {
    RKString t = e->getText();
    return t.data ? t.data : "";
  }
  std::string selectedOf(RKEdit* e) {
    RKString t = e->getSelectedText();
    return t.data ? t.data : "";
  }
  std::string clipboard(RKEdit* e) {
    RKString t = e->pasteFromClipboard();
    return t.data ? t.data : "";
  }
  int width(RKEdit* e, const char* s) { return e->getTextExtent(s).width; }
  CompatCaretInfo caret() {
    CompatCaretInfo info = {};
    compat_caret_info(&info);
    return info;
  }
  int typed() { return changes.count(RK_ACTION_TEXT_CHANGED); }

  std::vector<RKEdit*> edits;
  ActionCounter changes;
};

TEST_F(EditTest, ConstructionDefaults) {
  RKEdit* e = new RKEdit();
  e->addRef();
  EXPECT_TRUE(e->getWindowClassName() == "RKEdit");
  RKColor bg = e->getBackground();
  EXPECT_EQ(bg.getRed(), 255);
  EXPECT_EQ(bg.getBlue(), 255);
  EXPECT_EQ(e->getMaxLength(), 2000);
  EXPECT_EQ(e->getScrollStep(), 5);
  // Before the window exists the text is only stored.
  e->setText("hello");
  EXPECT_EQ(e->getCharacterCount(), 0);
  EXPECT_TRUE(e->getText() == "hello");
  e->release();
}

TEST_F(EditTest, TextSetBeforeCreationIsBuiltAtCreationAndCutToMaxLength) {
  RKEdit* e = new RKEdit();
  e->addRef();
  edits.push_back(e);
  e->setMaxLength(4);
  e->setText(RKString("ab") + NI + "cd");
  place(e, 10, 10, 200, 24);
  EXPECT_EQ(e->getCharacterCount(), 4);
  EXPECT_EQ(textOf(e), std::string("ab") + NI + "c");
  e->setMaxLength(-3);
  EXPECT_EQ(e->getMaxLength(), 4);
}

TEST_F(EditTest, CharacterCountsOfByteStrings) {
  EXPECT_EQ(RKEdit::getCharCount(""), 0);
  EXPECT_EQ(RKEdit::getCharCount((std::string("a") + NI + "b").c_str()), 3);
  EXPECT_EQ(RKEdit::getCharCount(LOW), 1);
  // A lone lead byte at the end is one character and the NUL is never taken with it.
  EXPECT_EQ(RKEdit::getCharCount("ab\xC4"), 3);
  EXPECT_EQ(RKEdit::byteOffsetOfChar((std::string(NI) + "xy").c_str(), 2), 3);
  EXPECT_EQ(RKEdit::byteOffsetOfChar("abc", 0), 0);
  EXPECT_EQ(RKEdit::byteOffsetOfChar("ab\xC4", 5), 3);
}

TEST_F(EditTest, TextEndingInLoneLeadByteKeepsItsBytes) {
  RKEdit* e = makeEdit();
  e->setText("ab\xC4");
  EXPECT_EQ(e->getCharacterCount(), 3);
  EXPECT_EQ(textOf(e), "ab\xC4");
  EXPECT_EQ(e->getText().length, 3u);
}

TEST_F(EditTest, TypingAsciiAndGbkPairs) {
  RKEdit* e = makeEdit();
  focus(e);
  typeBytes(e, "ab");
  EXPECT_EQ(textOf(e), "ab");
  EXPECT_EQ(typed(), 2);
  // A lead byte alone inserts nothing; its trail byte completes one character.
  typeBytes(e, "\xC4");
  EXPECT_EQ(textOf(e), "ab");
  EXPECT_EQ(typed(), 2);
  typeBytes(e, "\xE3");
  EXPECT_EQ(textOf(e), std::string("ab") + NI);
  EXPECT_EQ(typed(), 3);
  EXPECT_EQ(e->getCharacterCount(), 3);
  typeBytes(e, LOW);
  EXPECT_EQ(e->getCharacterCount(), 4);
  EXPECT_EQ(e->getCaretPosition(), 4);
  // Control characters and the bytes from 0x80 up that are not lead bytes are dropped.
  typeBytes(e, "\t\r\x1b\x80\xFF");
  EXPECT_EQ(e->getCharacterCount(), 4);
  // A key press whose text the loop turns into WM_CHAR.
  compat_key('Q', TRUE, "q");
  compat_key('Q', FALSE, nullptr);
  compat_pump();
  EXPECT_EQ(textOf(e), std::string("ab") + NI + LOW + "q");
  CompatCaretInfo c = caret();
  EXPECT_EQ(c.hwnd, windowOf(e));
  EXPECT_EQ(c.x, 4 + width(e, (std::string("ab") + NI + LOW + "q").c_str()));
  EXPECT_EQ(c.y, 3);
}

TEST_F(EditTest, BackspaceAndDeleteRemoveWholeCharacters) {
  RKEdit* e = makeEdit();
  focus(e);
  e->setText(RKString("a") + NI + "b");
  press(VK_END);
  press(VK_BACK);
  EXPECT_EQ(textOf(e), std::string("a") + NI);
  press(VK_BACK);
  EXPECT_EQ(textOf(e), "a");
  EXPECT_EQ(typed(), 2);
  press(VK_BACK);
  EXPECT_EQ(textOf(e), "");
  press(VK_BACK);  // nothing left: nothing happens but the action
  EXPECT_EQ(textOf(e), "");

  e->setText(RKString(NI) + "xy");
  press(VK_HOME);
  int before = typed();
  press(VK_DELETE);
  EXPECT_EQ(textOf(e), "xy");
  EXPECT_EQ(e->getCaretPosition(), 0);
  EXPECT_EQ(typed(), before + 1);
  press(VK_END);
  press(VK_DELETE);  // at the end: nothing removed, no action
  EXPECT_EQ(textOf(e), "xy");
  EXPECT_EQ(typed(), before + 1);
}

TEST_F(EditTest, HomeEndAndArrowsWithShift) {
  RKEdit* e = makeEdit();
  focus(e);
  e->setText("abc");
  press(VK_END);
  EXPECT_EQ(e->getCaretPosition(), 3);
  compat_set_key_state(VK_SHIFT, TRUE);
  press(VK_HOME);
  compat_set_key_state(VK_SHIFT, FALSE);
  EXPECT_EQ(e->getSelectionStart(), 3);
  EXPECT_EQ(e->getSelectionEnd(), 0);
  EXPECT_EQ(selectedOf(e), "abc");
  // Left without Shift collapses the selection and leaves the caret.
  press(VK_LEFT);
  EXPECT_EQ(selectedOf(e), "");
  EXPECT_EQ(e->getCaretPosition(), 0);
  press(VK_RIGHT);
  compat_set_key_state(VK_SHIFT, TRUE);
  press(VK_RIGHT);
  press(VK_DOWN);
  compat_set_key_state(VK_SHIFT, FALSE);
  EXPECT_EQ(selectedOf(e), "bc");
  press(VK_RIGHT);  // collapses
  EXPECT_EQ(e->getCaretPosition(), 3);
  press(VK_RIGHT);  // at the end nothing moves
  EXPECT_EQ(e->getCaretPosition(), 3);
  press(VK_UP);
  EXPECT_EQ(e->getCaretPosition(), 2);
  // Typing over a selection replaces it.
  e->select(0, 2);
  typeBytes(e, "Z");
  EXPECT_EQ(textOf(e), "Zc");
}

TEST_F(EditTest, MouseSelectionAndDoubleClick) {
  RKEdit* e = makeEdit();
  e->setText(RKString("ab") + NI + "cd");
  int wa = width(e, "a");
  HWND h = windowOf(e);
  // Press left of the first character's middle, drag to the end of the GBK character.
  int xEnd = width(e, (std::string("ab") + NI).c_str());
  compat_mouse_move(h, 1, 10);
  compat_mouse_button(h, 1, 10, 1, TRUE);
  compat_pump();
  EXPECT_EQ(e->getCaretPosition(), 0);
  compat_mouse_move(h, xEnd, 10);
  compat_pump();
  compat_mouse_button(h, xEnd, 10, 1, FALSE);
  compat_pump();
  EXPECT_EQ(selectedOf(e), std::string("ab") + NI);
  EXPECT_EQ(e->getSelectionStart(), 0);
  EXPECT_EQ(e->getSelectionEnd(), 3);
  EXPECT_EQ(GetCapture(), nullptr);
  // A press on a character's right half puts the caret after it.
  compat_click(h, wa - 1, 10);
  compat_pump();
  EXPECT_EQ(e->getCaretPosition(), 1);
  compat_clock_set_virtual(TRUE);
  compat_click(h, 20, 10);
  compat_click(h, 20, 10);
  compat_pump();
  EXPECT_EQ(selectedOf(e), std::string("ab") + NI + "cd");
  EXPECT_EQ(e->getCaretPosition(), 5);
}

TEST_F(EditTest, ClipboardCopyCutPasteWithLengthLimit) {
  RKEdit* e = makeEdit();
  focus(e);
  e->setText(RKString("12") + NI + "34");
  e->select(1, 3);
  press('C');  // without Ctrl nothing is copied
  EXPECT_EQ(clipboard(e), "");
  ctrl('C');
  EXPECT_EQ(clipboard(e), std::string("2") + NI);
  int before = typed();
  ctrl('X');
  EXPECT_EQ(textOf(e), "134");
  EXPECT_EQ(typed(), before + 1);
  ctrl('X');  // nothing selected: the action still comes
  EXPECT_EQ(typed(), before + 2);
  press(VK_END);
  ctrl('V');
  EXPECT_EQ(textOf(e), std::string("134") + "2" + NI);
  // A paste stops at the maximum length: 8 characters present, room for 2.
  e->setText("abcdefgh");
  e->setMaxLength(10);
  press(VK_END);
  e->copyToClipboard(RKString(HAO) + "xyz");
  ctrl('V');
  EXPECT_EQ(textOf(e), std::string("abcdefgh") + HAO + "x");
  typeBytes(e, "q");
  EXPECT_EQ(e->getCharacterCount(), 10);
  // A clipboard text ending in a lone lead byte pastes it as one byte, never more.
  e->setText("");
  e->copyToClipboard("k\xC4");
  ctrl('V');
  EXPECT_EQ(e->getCharacterCount(), 2);
  EXPECT_EQ(textOf(e), "k\xC4");
  // Ctrl+Z empties the field without an action.
  before = typed();
  ctrl('Z');
  EXPECT_EQ(textOf(e), "");
  EXPECT_EQ(typed(), before);
}

TEST_F(EditTest, ReadOnlyRefusesEditingButAllowsMovingAndCopying) {
  RKEdit* e = makeEdit();
  focus(e);
  e->setText("abc");
  e->setEditable(0);
  typeBytes(e, "x");
  press(VK_END);
  press(VK_BACK);
  press(VK_HOME);
  press(VK_DELETE);
  e->copyToClipboard("zz");
  ctrl('V');
  compat_set_key_state(VK_SHIFT, TRUE);
  press(VK_END);
  compat_set_key_state(VK_SHIFT, FALSE);
  ctrl('X');
  ctrl('Z');
  EXPECT_EQ(textOf(e), "abc");
  EXPECT_EQ(typed(), 0);
  ctrl('C');
  EXPECT_EQ(clipboard(e), "abc");
}

TEST_F(EditTest, EchoCharacterIsDrawnAndMeasured) {
  RKEdit* e = makeEdit(60, 24);
  e->setEchoChar(1, '#');
  focus(e);
  typeBytes(e, std::string("pw") + NI);
  EXPECT_EQ(textOf(e), std::string("pw") + NI);
  EXPECT_EQ(caret().x, 4 + 3 * width(e, "#"));
  RecordingGraphics g;
  std::vector<std::string> strings;
  for (const std::string& c : paintOf(e, g))
    if (c.compare(0, 6, "string") == 0) strings.push_back(c);
  ASSERT_EQ(strings.size(), 3u);
  EXPECT_EQ(strings[0].substr(0, 15), "string '#' 4,2 ");
  // Scrolling to the end with echo on, in a text much wider than the field, stays inside the
  // character list and keeps the caret in the view.
  e->setText("abcdefghijklmnopqrstuvwxyz0123456789");
  press(VK_END);
  EXPECT_GT(e->getFirstVisible(), 0);
  EXPECT_LT(e->getFirstVisible(), e->getCharacterCount());
  EXPECT_LE(caret().x, 60);
}

TEST_F(EditTest, ScrollingKeepsTheCaretInTheView) {
  RKEdit* e = makeEdit(60, 24);
  focus(e);
  typeBytes(e, "nnnnnnnnnnnnnnnnnnnn");
  EXPECT_GT(e->getFirstVisible(), 0);
  CompatCaretInfo c = caret();
  EXPECT_GT(c.x, 4);
  EXPECT_LE(c.x, 60);
  // Going back to the start after End shows the head again with the caret at the margin.
  e->setCaretPosition(0);
  EXPECT_EQ(e->getFirstVisible(), 0);
  EXPECT_EQ(e->getCaretPosition(), 0);
  press(VK_END);
  e->select(0, 0);
  EXPECT_EQ(e->getFirstVisible(), 0);
  EXPECT_EQ(e->getCaretPosition(), 0);
  press(VK_END);
  for (int i = 0; i < 20; ++i) press(VK_LEFT);
  EXPECT_EQ(e->getFirstVisible(), 0);
  EXPECT_EQ(caret().x, 4);
  // Out-of-range selections are clamped.
  e->select(-4, 99);
  EXPECT_EQ(e->getSelectionStart(), 0);
  EXPECT_EQ(e->getSelectionEnd(), 20);
  e->setSelectionStart(-1);
  e->setSelectionEnd(400);
  EXPECT_EQ(e->getSelectionEnd(), 20);
}

TEST_F(EditTest, SelectionIsPaintedOnlyWithTheFocus) {
  RKEdit* e = makeEdit();
  e->setText("abcd");
  e->select(1, 3);
  RecordingGraphics g;
  paintOf(e, g);
  EXPECT_TRUE(g.only("rect").empty());
  focus(e);
  e->select(1, 3);
  paintOf(e, g);
  std::vector<std::string> rects = g.only("rect");
  ASSERT_EQ(rects.size(), 2u);
  EXPECT_NE(rects[0].find("pen=08246b"), std::string::npos);
  EXPECT_EQ(g.only("frame1").size(), 1u);
  std::vector<std::string> strings = g.only("string");
  ASSERT_EQ(strings.size(), 4u);
  EXPECT_NE(strings[1].find("pen=ffffff"), std::string::npos);
  EXPECT_NE(strings[0].find("pen=010203"), std::string::npos);
}

TEST_F(EditTest, FocusCreatesAndDestroysTheCaretAndCursorFollowsReadOnly) {
  RKEdit* e = makeEdit();
  RKEdit* other = makeEdit();
  other->setLocation(10, 50, 0);
  focus(e);
  EXPECT_EQ(caret().hwnd, windowOf(e));
  other->requestFocus();
  compat_pump();
  EXPECT_EQ(caret().hwnd, windowOf(other));
}

TEST_F(EditTest, TypingInsideAFullFieldScrollsByTheStep) {
  RKEdit* e = makeEdit(60, 24);
  e->setScrollStep(3);
  focus(e);
  typeBytes(e, "nnnnnnnnnnnnnnnnnnnn");
  int first = e->getFirstVisible();
  ASSERT_GT(first, 0);
  // Back to a column near the right edge, then type there.
  press(VK_LEFT);
  press(VK_LEFT);
  int before = e->getFirstVisible();
  typeBytes(e, "nnnn");
  EXPECT_GE(e->getFirstVisible(), before);
  EXPECT_EQ(e->getCharacterCount(), 24);
  EXPECT_LE(caret().x, 60);
  EXPECT_GE(caret().x, 4);
  EXPECT_EQ(e->getFirstVisible() + e->getCaretPosition(), 22);
}

TEST_F(EditTest, DeleteInsideGbkTextAndSelectionDeletion) {
  RKEdit* e = makeEdit();
  focus(e);
  e->setText(RKString("a") + NI + LOW + "b");
  press(VK_HOME);
  press(VK_RIGHT);
  press(VK_DELETE);
  EXPECT_EQ(textOf(e), std::string("a") + LOW + "b");
  EXPECT_EQ(e->getCaretPosition(), 1);
  // A selection is removed whole by Backspace, Delete and typing.
  e->select(1, 3);
  press(VK_BACK);
  EXPECT_EQ(textOf(e), "a");
  e->setText("hello");
  e->select(4, 1);
  press(VK_DELETE);
  EXPECT_EQ(textOf(e), "ho");
  EXPECT_EQ(e->getSelectionStart(), 1);
  EXPECT_EQ(e->getSelectionEnd(), 1);
  e->selectAll();
  typeBytes(e, NI);
  EXPECT_EQ(textOf(e), NI);
}

TEST_F(EditTest, EditableFieldShowsTheIBeam) {
  RKEdit* e = makeEdit();
  compat_mouse_move(windowOf(e), 20, 10);
  compat_pump();
  EXPECT_EQ(compat_cursor_id(compat_current_cursor()), 32513u);
}

}  // namespace

// Every programmatic move of the caret shows it where the model puts it.
TEST_F(EditTest, ProgrammaticMovesDrawTheCaretAtTheModelsPosition) {
  RKEdit* e = makeEdit();
  focus(e);
  typeBytes(e, "abc");
  EXPECT_EQ(caret().x, 4 + width(e, "abc"));
  e->setCaretPosition(0);
  EXPECT_EQ(caret().x, 4);
  EXPECT_EQ(caret().y, 3);
  EXPECT_EQ(caret().hideCount, 0);
  e->select(0, 2);
  EXPECT_EQ(caret().x, 4 + width(e, "ab"));
  EXPECT_EQ(selectedOf(e), "ab");
  e->selectAll();
  EXPECT_EQ(caret().x, 4 + width(e, "abc"));
  EXPECT_EQ(selectedOf(e), "abc");
  e->setSelectionEnd(1);
  EXPECT_EQ(caret().x, 4 + width(e, "a"));
  EXPECT_EQ(selectedOf(e), "a");
  e->setCaretPosition(2);
  EXPECT_EQ(caret().x, 4 + width(e, "ab"));
  EXPECT_EQ(caret().hideCount, 0);
  // Typing goes on at the caret the call placed.
  typeBytes(e, "X");
  EXPECT_EQ(textOf(e), "abXc");
  EXPECT_EQ(caret().x, 4 + width(e, "abX"));
}

// An edit without the focus moves only its model, never the caret of the focused one.
TEST_F(EditTest, MovesInAnEditWithoutTheFocusLeaveTheCaretAlone) {
  RKEdit* e = makeEdit();
  RKEdit* other = makeEdit();
  other->setLocation(10, 50, 0);
  other->setText("abcdef");
  focus(e);
  typeBytes(e, "ab");
  CompatCaretInfo before = caret();
  other->setCaretPosition(3);
  other->selectAll();
  other->setSelectionEnd(2);
  EXPECT_EQ(other->getSelectionEnd(), 2);
  CompatCaretInfo after = caret();
  EXPECT_EQ(after.hwnd, windowOf(e));
  EXPECT_EQ(after.x, before.x);
  EXPECT_EQ(after.hideCount, before.hideCount);
}
