// The label: its text-format flags per alignment, the immediate redraw of a new text and the
// alignment that waits for the next paint.
#include "RKLabel.h"
#include "WidgetTestSupport.h"

class LabelTest : public WidgetTest {
 protected:
  RecordingGraphics rec;
};

TEST_F(LabelTest, AlignmentsChooseTheFormatFlags) {
  RKLabel* l = place(new RKLabel("Folder:"), 10, 10, 120, 18);
  EXPECT_EQ(l->getAlignment(), RK_ALIGN_LEFT);
  EXPECT_EQ(paintOf(l, rec), (Events{"fill 0,0,120,18", "text 'Folder:' 0,0,120,18 0x20 pen=010203"}));
  EXPECT_EQ(rec.transparent, 1);
  const std::pair<int, const char*> cases[] = {
      {RK_ALIGN_RIGHT, "0x22"}, {RK_ALIGN_CENTER, "0x21"}, {3, "0"}, {-1, "0"}, {RK_ALIGN_LEFT, "0x20"}};
  for (const auto& c : cases) {
    l->setAlignment(c.first);
    EXPECT_EQ(l->getAlignment(), c.first);
    EXPECT_EQ(paintOf(l, rec)[1], std::string("text 'Folder:' 0,0,120,18 ") + c.second + " pen=010203");
  }
  // Design mode on a selected label: the handles follow the text.
  l->setDesignMode(1);
  l->setSelected(1);
  Events e = paintOf(l, rec);
  ASSERT_EQ(e.size(), 10u);
  EXPECT_EQ(e[9], "rect 115,13,5,5 pen=0000ff fill=040506");
}

TEST_F(LabelTest, NewTextRedrawsAtOnceAlignmentWaitsForThePaint) {
  host->setBackground(RKColor(255, 255, 255));
  RKLabel* l = new RKLabel("");
  l->setBackground(RKColor(255, 255, 255));
  place(l, 10, 10, 200, 20);
  HWND w = windowOf(l);
  auto darkColumns = [&](int from, int to) {
    int n = 0;
    for (int x = from; x < to; ++x)
      for (int y = 0; y < 20; ++y)
        if (GetRValue(compat_get_pixel(w, x, y)) < 128) {
          ++n;
          break;
        }
    return n;
  };
  EXPECT_EQ(darkColumns(0, 200), 0);  // an empty text paints the background only
  EXPECT_EQ(paintOf(l, rec), (Events{"fill 0,0,200,20", "text '' 0,0,200,20 0x20 pen=010203"}));
  l->setText("Hello");  // no pump: drawn at once
  EXPECT_EQ(l->getText(), RKString("Hello"));
  EXPECT_GT(darkColumns(0, 50), 0);
  EXPECT_EQ(darkColumns(100, 200), 0);
  l->setAlignment(RK_ALIGN_RIGHT);
  EXPECT_EQ(darkColumns(150, 200), 0);  // not yet
  l->repaint();
  compat_pump();
  EXPECT_EQ(darkColumns(0, 100), 0);
  EXPECT_GT(darkColumns(150, 200), 0);
  // A long text stays on one line, cut at the edges.
  l->setAlignment(RK_ALIGN_CENTER);
  l->setText("A label text that is far wider than the two hundred pixels of the label");
  EXPECT_GT(darkColumns(0, 5), 0);
  EXPECT_GT(darkColumns(195, 200), 0);
}
