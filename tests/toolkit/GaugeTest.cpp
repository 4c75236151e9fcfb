// The progress gauge: bar geometry for values against the maximum in both looks, blocks,
// vertical bars, the percentage pieces and the empty gauge of a zero maximum.
#include "RKGuage.h"
#include "WidgetTestSupport.h"

class GaugeTest : public WidgetTest {
 protected:
  RKGuage* gauge(int w, int h, u32 look = 1) {
    RKGuage* g = new RKGuage();
    g->setInheritedFlag(look);
    g->setBounds(10, 10, w, h, 0);
    return g;
  }
  // The gauges here are painted without a window: setters that redraw need none.
  void TearDown() override {
    for (RKGuage* g : made) g->release();
    WidgetTest::TearDown();
  }
  RKGuage* kept(int w, int h, u32 look = 1) {
    RKGuage* g = gauge(w, h, look);
    g->addRef();
    made.push_back(g);
    return g;
  }
  std::vector<RKGuage*> made;
  RecordingGraphics rec;
};

TEST_F(GaugeTest, DefaultsDrawOnlyTheFrameOnWhite) {
  RKGuage* g = kept(200, 20);
  EXPECT_EQ(g->getMaximum(), 100);
  EXPECT_EQ(g->getValue(), 0);
  EXPECT_EQ(g->getBackground().getARGB(), RKColor(255, 255, 255).getARGB());
  EXPECT_EQ(paintOf(g, rec), (Events{"fill 0,0,200,20", "frame1 0,0,199,19", "rect 3,3,0,14 pen=0000ff fill=0000ff"}));
  EXPECT_EQ(hexColor(rec.pen), "010203");
  EXPECT_EQ(hexColor(rec.fill), "040506");
}

TEST_F(GaugeTest, SolidBarsInBothLooksAndTheClamp) {
  RKGuage* g = kept(200, 20);
  g->setValue(50);
  EXPECT_EQ(paintOf(g, rec)[2], "rect 3,3,97,14 pen=0000ff fill=0000ff");
  g->setInheritedFlag(0);  // flat: one pixel larger on every side
  Events e = paintOf(g, rec);
  EXPECT_EQ(e[1], "outline 0,0,199,19 pen=010203 fill=040506");
  EXPECT_EQ(e[2], "rect 2,2,98,16 pen=0000ff fill=0000ff");
  g->setValue(300);  // above the maximum: up to the clamp W + 2b - 7
  EXPECT_EQ(paintOf(g, rec)[2], "rect 2,2,195,16 pen=0000ff fill=0000ff");
  g->setBarColor(RKColor(0, 128, 0));
  g->setValue(100);
  EXPECT_EQ(paintOf(g, rec)[2], "rect 2,2,195,16 pen=008000 fill=008000");
}

TEST_F(GaugeTest, BlocksAreSquaresWithTwoPixelGapsAndACutLastBlock) {
  RKGuage* g = kept(200, 20);
  g->setBlockStyle(1);
  g->setValue(25);  // L = 48: squares at 3, 19, 35, then the cut block
  EXPECT_EQ(rec.only("rect").size(), 0u);
  paintOf(g, rec);
  EXPECT_EQ(rec.only("rect"),
            (Events{"rect 3,3,14,14 pen=0000ff fill=0000ff", "rect 19,3,14,14 pen=0000ff fill=0000ff",
                    "rect 35,3,14,14 pen=0000ff fill=0000ff", "rect 51,3,0,14 pen=0000ff fill=0000ff"}));
  g->setValue(5);  // L = 9, shorter than one block: one rectangle of the length
  paintOf(g, rec);
  EXPECT_EQ(rec.only("rect"), (Events{"rect 3,3,9,14 pen=0000ff fill=0000ff"}));
}

TEST_F(GaugeTest, VerticalBarsGrowFromTheBottomUnclamped) {
  RKGuage* g = kept(20, 100);
  g->setHorizontal(0);
  g->setValue(50);  // L = 47
  EXPECT_EQ(paintOf(g, rec)[2], "rect 3,50,14,47 pen=0000ff fill=0000ff");
  g->setValue(200);  // L = 188, drawn past the top and clipped by the window
  EXPECT_EQ(paintOf(g, rec)[2], "rect 3,-91,14,188 pen=0000ff fill=0000ff");
  g->setValue(40);  // blocks, L = 37: squares at 83 and 67, then the rest
  g->setBlockStyle(1);
  paintOf(g, rec);
  EXPECT_EQ(rec.only("rect"),
            (Events{"rect 3,83,14,14 pen=0000ff fill=0000ff", "rect 3,67,14,14 pen=0000ff fill=0000ff",
                    "rect 3,60,14,5 pen=0000ff fill=0000ff"}));
  g->setTextVisible(1);  // vertical gauges show no percentage
  paintOf(g, rec);
  EXPECT_TRUE(rec.only("string").empty());
}

TEST_F(GaugeTest, PercentagePiecesTurnWhiteOnceTheBarReachesThem) {
  RKGuage* g = kept(200, 20);
  g->setTextVisible(1);
  g->setValue(37);  // e = 194*37/100 + 3 = 74: all pieces right of the bar
  paintOf(g, rec);
  EXPECT_EQ(rec.only("string"),
            (Events{"string '%' 104,2 pen=010203", "string '7' 96,2 pen=010203", "string '3' 88,2 pen=010203"}));
  g->setValue(48);  // e = 96: the tens piece at 88 is reached
  paintOf(g, rec);
  EXPECT_EQ(rec.only("string"),
            (Events{"string '%' 104,2 pen=010203", "string '8' 96,2 pen=010203", "string '4' 88,2 pen=ffffff"}));
  g->setValue(51);  // e = 101: units piece at 96 reached too
  paintOf(g, rec);
  EXPECT_EQ(rec.only("string"),
            (Events{"string '%' 104,2 pen=010203", "string '1' 96,2 pen=ffffff", "string '5' 88,2 pen=ffffff"}));
  g->setValue(5);  // below ten percent the tens piece reads 0
  paintOf(g, rec);
  EXPECT_EQ(rec.only("string"),
            (Events{"string '%' 104,2 pen=010203", "string '5' 96,2 pen=010203", "string '0' 88,2 pen=010203"}));
  g->setValue(100);
  paintOf(g, rec);
  EXPECT_EQ(rec.only("string"), (Events{"string '100%' 84,2 pen=ffffff"}));
  EXPECT_EQ(hexColor(rec.pen), "010203");
  RKGuage* low = kept(100, 12);  // the text row is at least 1
  low->setTextVisible(1);
  low->setMaximum(7);
  low->setValue(7);
  paintOf(low, rec);
  EXPECT_EQ(rec.only("string"), (Events{"string '100%' 34,1 pen=ffffff"}));
}

TEST_F(GaugeTest, ZeroMaximumDrawsAnEmptyBarAndNoPercentage) {
  RKGuage* g = kept(200, 20, 0);
  g->setTextVisible(1);
  g->setMaximum(0);
  g->setValue(0);
  EXPECT_EQ(paintOf(g, rec), (Events{"fill 0,0,200,20", "outline 0,0,199,19 pen=010203 fill=040506"}));
  g->setValue(3);
  g->setBlockStyle(1);
  EXPECT_EQ(paintOf(g, rec).size(), 2u);
  g->setHorizontal(0);
  EXPECT_EQ(paintOf(g, rec).size(), 2u);
  g->setMaximum(-4);
  EXPECT_EQ(paintOf(g, rec).size(), 2u);
}

TEST_F(GaugeTest, ValueAndMaximumRedrawTheShownGaugeAtOnce) {
  host->setInheritedFlag(0);  // the container passes its look on to what it holds
  RKGuage* g = place(gauge(200, 20, 1), 10, 10, 200, 20);
  HWND w = windowOf(g);
  EXPECT_EQ(compat_get_pixel(w, 50, 10), RGB(255, 255, 255));
  g->setValue(50);  // no pump: the redraw is immediate
  EXPECT_EQ(compat_get_pixel(w, 50, 10), RGB(0, 0, 255));
  EXPECT_EQ(compat_get_pixel(w, 150, 10), RGB(255, 255, 255));
  g->setMaximum(200);
  EXPECT_EQ(compat_get_pixel(w, 30, 10), RGB(0, 0, 255));
  EXPECT_EQ(compat_get_pixel(w, 60, 10), RGB(255, 255, 255));
  g->setBarColor(RKColor(255, 0, 0));  // shows only at the next paint
  EXPECT_EQ(compat_get_pixel(w, 20, 10), RGB(0, 0, 255));
  g->setMaximum(0);
  EXPECT_EQ(compat_get_pixel(w, 20, 10), RGB(255, 255, 255));
  EXPECT_EQ(compat_get_pixel(w, 0, 0), RGB(0, 0, 0));
}
