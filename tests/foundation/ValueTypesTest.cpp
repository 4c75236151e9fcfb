#include <RKColor.h>
#include <RKRect.h>

#include <gtest/gtest.h>

using namespace RKSDK;

TEST(Color, PackedFormsOfPureRed) {
  RKColor red(255, 0, 0);
  EXPECT_EQ(red.getAlpha(), 0);
  EXPECT_EQ(red.getARGB(), 0x00FF0000u);
  EXPECT_EQ(red.getABGR(), 0x000000FFu);
  EXPECT_EQ(red.getABGR(), (u32)RGB(255, 0, 0));  // the COLORREF of the colour
  EXPECT_EQ(red.getRGB565(), 0xF800);
  EXPECT_EQ(red.getRGB555(), 0x7C00);
}

TEST(Color, ByteOrderOfPackedForms) {
  RKColor c(1, 2, 3);
  c.setAlpha(4);
  EXPECT_EQ(c.getARGB(), 0x04010203u);
  EXPECT_EQ(c.getABGR(), 0x04030201u);
  RKColor d;
  d.setARGB(0x80102030u);
  EXPECT_EQ(d.getAlpha(), 0x80);
  EXPECT_EQ(d.getRed(), 0x10);
  EXPECT_EQ(d.getGreen(), 0x20);
  EXPECT_EQ(d.getBlue(), 0x30);
  d.setABGR(0x11223344u);
  EXPECT_EQ(d.getAlpha(), 0x11);
  EXPECT_EQ(d.getBlue(), 0x22);
  EXPECT_EQ(d.getGreen(), 0x33);
  EXPECT_EQ(d.getRed(), 0x44);
}

TEST(Color, SixteenBitSettersDropLowBitsAndKeepAlpha) {
  RKColor c;
  c.setAlpha(9);
  c.setRGB565(0xFFFF);
  EXPECT_EQ(c.getRed(), 248);
  EXPECT_EQ(c.getGreen(), 252);
  EXPECT_EQ(c.getBlue(), 248);
  EXPECT_EQ(c.getAlpha(), 9);
  c.setRGB555(0xFFFF);  // bit 15 is ignored
  EXPECT_EQ(c.getRed(), 248);
  EXPECT_EQ(c.getGreen(), 248);
  EXPECT_EQ(c.getBlue(), 248);
  EXPECT_EQ(c.getAlpha(), 9);
  EXPECT_EQ(c.getRGB555(), 0x7FFF);
  c.setRGB565(0x07E0);  // pure green
  EXPECT_EQ(c.getRed(), 0);
  EXPECT_EQ(c.getGreen(), 252);
  EXPECT_EQ(c.getBlue(), 0);
  RKColor odd(0x87, 0x43, 0x21);
  RKColor back;
  back.setRGB565(odd.getRGB565());
  EXPECT_EQ(back.getRed(), 0x80);
  EXPECT_EQ(back.getGreen(), 0x40);
  EXPECT_EQ(back.getBlue(), 0x20);
}

TEST(Color, ChannelsAndCopies) {
  RKColor c;
  EXPECT_EQ(c.getARGB(), 0u);
  c.setRed(10);
  c.setGreen(20);
  c.setBlue(30);
  c.setAlpha(40);
  RKColor copy(c);
  EXPECT_EQ(copy.getARGB(), c.getARGB());
  EXPECT_STREQ(copy.getClassName(), "RKObject.RKColor");
  RKColor assigned;
  assigned = c;
  EXPECT_EQ(assigned.getAlpha(), 40);
}

TEST(Geometry, PointAndSize) {
  RKPoint p;
  p.translate(3, -4);
  EXPECT_EQ(p.getX(), 3);
  EXPECT_EQ(p.getY(), -4);
  p.setLocation(7, 8);
  EXPECT_EQ(p.x, 7);
  EXPECT_EQ(p.y, 8);
  EXPECT_STREQ(p.getClassName(), "RKObject.RKPoint");
  RKSize s(-5, 6);  // not validated
  EXPECT_EQ(s.getWidth(), -5);
  s.setSize(1, 2);
  EXPECT_EQ(s.getHeight(), 2);
  RKSize copy(s);
  EXPECT_EQ(copy.width, 1);
  EXPECT_STREQ(copy.getClassName(), "RKObject.RKSize");
}

TEST(Geometry, RectangleGettersReturnCountedObjects) {
  RKRect r(1, 2, 3, 4);
  EXPECT_STREQ(r.getClassName(), "RKObject.RKRect");
  RKPoint* p = r.getLocation();
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->getX(), 1);
  EXPECT_EQ(p->getY(), 2);
  EXPECT_EQ(p->release(), 0u);  // held exactly one reference
  RKSize* s = r.getSize();
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->getWidth(), 3);
  EXPECT_EQ(s->getHeight(), 4);
  EXPECT_EQ(s->release(), 0u);
}

TEST(Geometry, RectangleSettersFromObjectsKeepNothing) {
  RKRect r(0, 0, 0, 0);
  RKPoint stackPoint(5, 6);
  r.setLocation(&stackPoint);
  EXPECT_EQ(r.getX(), 5);
  EXPECT_EQ(r.getY(), 6);
  RKPoint* held = new RKPoint(1, 1);
  held->addRef();
  r.setLocation(held);
  EXPECT_EQ(held->addRef(), 2u);  // count untouched by the call
  held->release();
  EXPECT_EQ(held->release(), 0u);
  RKSize* counted = new RKSize(7, 8);
  counted->addRef();
  r.setSize(counted);
  EXPECT_EQ(r.getWidth(), 7);
  EXPECT_EQ(r.getHeight(), 8);
  EXPECT_EQ(counted->release(), 0u);
  RKSize* fresh = new RKSize(9, 10);  // not counted yet: must survive the call
  r.setSize(fresh);
  EXPECT_EQ(fresh->getWidth(), 9);
  fresh->addRef();
  fresh->release();
  r.setLocation(11, 12);
  r.setSize(13, 14);
  r.setX(-1);
  r.setHeight(-2);
  EXPECT_EQ(r.x, -1);
  EXPECT_EQ(r.y, 12);
  EXPECT_EQ(r.width, 13);
  EXPECT_EQ(r.height, -2);
  RKRect copy(r);
  EXPECT_EQ(copy.getWidth(), 13);
}
