// The multi-line text view: the text model (runs, lines, extraction, insertion, removal),
// its scroll bars and end following, and mouse selection copied with Ctrl+C, with GBK texts.
#include "RKTextView.h"
#include "WidgetTestSupport.h"

namespace {

const char* NI = "\xC4\xE3";
const char* LOW = "\x81\x40";  // trail byte in the ASCII range

std::string str(RKString s) { return s.data ? std::string(s.data, s.length) : ""; }

class TextViewTest : public WidgetTest {
 protected:
  void SetUp() override {
    WidgetTest::SetUp();
    view = new RKTextView();
    view->addRef();
  }
  void TearDown() override {
    compat_set_key_state(VK_CONTROL, FALSE);
    view->release();
    WidgetTest::TearDown();
  }
  void show(int w = 300, int h = 200) { place(view, 10, 10, w, h); }
  std::vector<std::string> runs(int line) {
    std::vector<std::string> out;
    RKTextLine* l = view->getLine(line);
    if (!l) return out;
    if (l->moveFirst()) do
        out.push_back(str((*l->getCurrent())->text));
      while (l->moveNext());
    l->release();
    return out;
  }
  std::string all() { return str(view->getAllText()); }
  RKScrollBar* vbar() {
    RKScrollBar* b = view->getVerticalScrollBar();
    b->release();
    return b;
  }
  RKScrollBar* hbar() {
    RKScrollBar* b = view->getHorizontalScrollBar();
    b->release();
    return b;
  }
  std::string clipboard() { return str(view->pasteFromClipboard()); }
  int lineY(int line) { return 3 + line * int(view->getFontHeight() + 1) + 2; }
  void drag(int x0, int y0, int x1, int y1) {
    HWND h = windowOf(view);
    compat_mouse_move(h, x0, y0);
    compat_mouse_button(h, x0, y0, 1, TRUE);
    compat_mouse_move(h, x1, y1);
    compat_mouse_button(h, x1, y1, 1, FALSE);
    compat_pump();
  }
  void ctrlC() {
    compat_set_key_state(VK_CONTROL, TRUE);
    compat_key('C', TRUE, "");
    compat_key('C', FALSE, "");
    compat_pump();
    compat_set_key_state(VK_CONTROL, FALSE);
  }
  int width(const char* s) { return view->getTextExtent(s).width; }

  RKTextView* view = nullptr;
};

TEST_F(TextViewTest, AppendingSplitsLinesAndMergesRunsOfOneStyle) {
  view->append("a\tb");
  EXPECT_EQ(all(), "a        b");
  view->clear();
  EXPECT_EQ(view->getLineCount(), 0u);
  view->append("x\r\ny\n");
  EXPECT_EQ(view->getLineCount(), 3u);
  EXPECT_EQ(all(), "x\r\ny\r\n");
  view->append("one");
  view->append("two");
  EXPECT_EQ(runs(2), std::vector<std::string>({"onetwo"}));
  view->append("red", RKColor(255, 0, 0));
  EXPECT_EQ(runs(2), std::vector<std::string>({"onetwo", "red"}));
  view->append(RKString(NI) + "\n", RKColor(255, 0, 0));
  EXPECT_EQ(runs(2), std::vector<std::string>({"onetwo", std::string("red") + NI}));
  // An empty line still carries a run in the appended style.
  EXPECT_EQ(runs(3).size(), 1u);
}

TEST_F(TextViewTest, LineLimitDropsTheRest) {
  view->setMaxLines(2);
  view->append("a\nb\nc\nd");
  EXPECT_EQ(all(), "a\r\nb");
  RKTextView* other = new RKTextView();
  other->addRef();
  other->setMaxLines(0);
  other->append("first\nsecond");
  EXPECT_EQ(str(other->getAllText()), "first");
  other->release();
}

TEST_F(TextViewTest, GetLineMakesOnlyTheNextLine) {
  EXPECT_EQ(view->getLineCount(), 0u);
  RKTextLine* l = view->getLine(0);
  ASSERT_NE(l, nullptr);
  l->release();
  EXPECT_EQ(view->getLineCount(), 1u);
  EXPECT_EQ(view->getLine(2), nullptr);
  EXPECT_EQ(view->getLine(-1), nullptr);
}

TEST_F(TextViewTest, ExtractingText) {
  view->append("abcdef\nghij\nklmn");
  EXPECT_EQ(str(view->getText(0, 0, 5, 2)), "cde");
  EXPECT_EQ(str(view->getText(0, 0, 3, 3)), "");
  EXPECT_EQ(str(view->getText(0, 2, 3, 1)), "def\r\nghij\r\nk");
  EXPECT_EQ(str(view->getText(0, 7, 3, 1)), "def\r\nghij\r\nklmn");
  EXPECT_EQ(str(view->getText(9, 9, 0, 2)), "");
  view->clear();
  view->append("a\n\nb");
  EXPECT_EQ(all(), "a\r\n\r\nb");
}

TEST_F(TextViewTest, InsertingText) {
  view->append("abcdef");
  view->insert("X", 0, 3);
  EXPECT_EQ(runs(0), std::vector<std::string>({"abcXdef"}));
  RKFont* font = view->getFont();
  view->insert("Y", 0, 1, RKColor(0, 0, 255), font);
  EXPECT_EQ(runs(0), std::vector<std::string>({"a", "Y", "bcXdef"}));
  view->clear();
  view->append("abcd");
  view->insert("1\n2", 0, 2);
  EXPECT_EQ(all(), "ab1\r\n2cd");
  // Columns outside the line are kept inside it.
  view->insert("E", 1, 99);
  view->insert("S", 0, -5);
  EXPECT_EQ(all(), "Sab1\r\n2cdE");
  view->clear();
  view->append("ab");
  view->append("cd", RKColor(0, 128, 0));
  view->insert("\n", 0, 1);
  EXPECT_EQ(runs(1), std::vector<std::string>({"b", "cd"}));
  if (font) font->release();
}

TEST_F(TextViewTest, RemovingText) {
  view->append("abcdef");
  view->remove(0, 0, 1, 3);
  EXPECT_EQ(all(), "adef");
  view->remove(0, 0, 3, 1);
  EXPECT_EQ(all(), "adef");
  view->clear();
  view->append("abcd\nefgh");
  view->remove(0, 1, 2, 1);
  EXPECT_EQ(all(), "abfgh");
  view->clear();
  view->append("abcd\nefgh\nijkl");
  // An end line past the text stops at the last line.
  view->remove(0, 9, 2, 1);
  EXPECT_EQ(all(), "abjkl");
  view->replace("ZZ", 0, 0, 1, 3);
  EXPECT_EQ(all(), "aZZkl");
  view->setStyle(0, 0, 1, 3, RKColor(255, 0, 0), nullptr);
  EXPECT_EQ(all(), "aZZkl");
  EXPECT_EQ(runs(0), std::vector<std::string>({"a", "ZZ", "", "kl"}));
}

TEST_F(TextViewTest, ScrollBarsShowWhenNeededAndTheViewFollowsTheEnd) {
  show(300, 100);
  RKScrollBar* v = vbar();
  RKScrollBar* h = hbar();
  EXPECT_FALSE(v->isVisible());
  EXPECT_FALSE(h->isVisible());
  u32 fit = view->getVisibleLines();
  ASSERT_GT(fit, 0u);
  for (u32 i = 0; i < fit + 5; ++i) view->append(RKString(NI) + "line\n");
  EXPECT_TRUE(v->isVisible());
  EXPECT_FALSE(h->isVisible());
  EXPECT_EQ(v->getLocation().x, 300 - 20);
  EXPECT_EQ(v->getSize().width, 18);
  EXPECT_EQ(v->getSize().height, 100 - 4);
  EXPECT_EQ(view->getTopLine(), view->getLineCount() - view->getVisibleLines());
  EXPECT_EQ(u32(v->getValue()), view->getTopLine());
  // A line wider than the view brings the horizontal bar.
  std::string wide(80, 'w');
  view->append(wide.c_str());
  EXPECT_TRUE(h->isVisible());
  EXPECT_EQ(v->getSize().height, 100 - 22);
  EXPECT_EQ(h->getLocation().y, 100 - 20);
  // Scrolling up stops the following; back at the bottom it resumes.
  v->setValue(0);
  view->actionPerformed(v, RK_ACTION_SCROLL_VALUE_CHANGED, 0);
  EXPECT_EQ(view->isFollowingEnd(), 0u);
  u32 top = view->getTopLine();
  view->append("\nmore");
  EXPECT_EQ(view->getTopLine(), top);
  v->setValue(int(view->getLineCount() - view->getVisibleLines()));
  view->actionPerformed(v, RK_ACTION_SCROLL_VALUE_CHANGED, 0);
  EXPECT_EQ(view->isFollowingEnd(), 1u);
  view->append("\nlast");
  EXPECT_EQ(view->getTopLine(), view->getLineCount() - view->getVisibleLines());
  // Clearing keeps the widest line.
  u32 widest = view->getWidestLine();
  view->clear();
  EXPECT_EQ(view->getWidestLine(), widest);
  EXPECT_FALSE(v->isVisible());
}

TEST_F(TextViewTest, BothBarsFillTheCornerAndTheBorderFollowsTheFlag) {
  show(200, 100);
  view->setInheritedFlag(0);
  for (int i = 0; i < 20; ++i) view->append(std::string(60, 'm').append("\n").c_str());
  RecordingGraphics g;
  g.addRef();  // held as the peer holds its graphics
  paintOf(view, g);
  std::vector<std::string> outlines = g.only("outline");
  ASSERT_EQ(outlines.size(), 1u);
  EXPECT_NE(outlines[0].find("0,0,199,99 pen=000000"), std::string::npos);
  EXPECT_EQ(g.only("rect 181,81,18,18").size(), 1u);
  EXPECT_TRUE(g.only("frame").empty());
}

TEST_F(TextViewTest, PaintsASelectionInsideOneRunInThreePieces) {
  show();
  view->append("abcdefgh");
  int x2 = 3 + width("ab"), x5 = 3 + width("abcde");
  drag(x2 + 1, lineY(0), x5 + 1, lineY(0));
  RecordingGraphics g;
  g.addRef();  // held as the peer holds its graphics
  paintOf(view, g);
  std::vector<std::string> texts = g.only("text");
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0].substr(0, 9), "text 'ab'");
  EXPECT_EQ(texts[1].substr(0, 10), "text 'cde'");
  EXPECT_NE(texts[1].find("pen=ffffff"), std::string::npos);
  EXPECT_EQ(texts[2].substr(0, 10), "text 'fgh'");
  std::vector<std::string> rects = g.only("rect");
  ASSERT_EQ(rects.size(), 1u);
  EXPECT_NE(rects[0].find("fill=08246b"), std::string::npos);
}

TEST_F(TextViewTest, CopyNeedsCtrlAndASelection) {
  show();
  view->append("line zero\nline one\nline two\nline three");
  compat_click(windowOf(view), 5, lineY(0));
  ctrlC();
  EXPECT_EQ(clipboard(), "");
  drag(3 + width("line "), lineY(3), 3 + width("li"), lineY(1));
  compat_key('C', TRUE, "");
  compat_key('C', FALSE, "");
  compat_pump();
  EXPECT_EQ(clipboard(), "");
  ctrlC();
  EXPECT_EQ(clipboard(), "ne one\r\nline two\r\nline ");
  RKTSIndex a = view->getSelectionStart();
  EXPECT_EQ(a.line, 3u);
  EXPECT_EQ(a.column, 5u);
}

TEST_F(TextViewTest, SelectionEndsNeverSplitGbkCharacters) {
  show();
  std::string text = std::string("a") + LOW + NI + "b";
  view->append(text.c_str());
  // Columns 2 and 4 are second bytes, whatever their value.
  EXPECT_EQ(view->isInsideDoubleByte(0, 2), 1);
  EXPECT_EQ(view->isInsideDoubleByte(0, 4), 1);
  EXPECT_EQ(view->isInsideDoubleByte(0, 1), 0);
  EXPECT_EQ(view->isInsideDoubleByte(0, 3), 0);
  EXPECT_EQ(view->isInsideDoubleByte(0, 5), 0);
  EXPECT_EQ(view->isInsideDoubleByte(7, 1), 0);
  // Lead-range bytes throughout: only the second byte of each pair counts.
  view->append("\n\xB0\xB0\xB0\xB0");
  EXPECT_EQ(view->isInsideDoubleByte(1, 1), 1);
  EXPECT_EQ(view->isInsideDoubleByte(1, 2), 0);
  EXPECT_EQ(view->isInsideDoubleByte(1, 3), 1);
  // A drag whose ends fall inside characters copies whole characters only.
  int xa = 3 + width("a");
  int xEnd = 3 + width((std::string("a") + LOW + NI).c_str());
  drag(xa + width(LOW) - 1, lineY(0), xEnd - 1, lineY(0));
  ctrlC();
  // Both ends fall on lead bytes: the copy holds the whole first pair.
  EXPECT_EQ(clipboard(), LOW);
}

TEST_F(TextViewTest, PointsMapToTheNearestLineAndColumn) {
  show();
  view->append("abc\nde");
  RKTSIndex i = view->pointToIndex(RKPoint(0, 0));
  EXPECT_EQ(i.line, 0u);
  EXPECT_EQ(i.column, 0u);
  i = view->pointToIndex(RKPoint(250, 190));
  EXPECT_EQ(i.line, 1u);
  EXPECT_EQ(i.column, 2u);
  EXPECT_EQ(i.x, u32(width("de")));
  // The right half of a character gives that character's column and left edge.
  i = view->pointToIndex(RKPoint(3 + width("a") + width("b") - 1, lineY(0)));
  EXPECT_EQ(i.column, 1u);
  EXPECT_EQ(i.x, u32(width("a")));
  RKTextView* empty = new RKTextView();
  empty->addRef();
  i = empty->pointToIndex(RKPoint(10, 10));
  EXPECT_EQ(i.line, 0u);
  EXPECT_EQ(empty->getLineCount(), 1u);
  empty->release();
}

}  // namespace
