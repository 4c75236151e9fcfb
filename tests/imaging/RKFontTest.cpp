#include <gtest/gtest.h>

#include <cstring>

#include "RKFont.h"

using namespace RKSDK;

TEST(RKFont, NewFontHasEmptyFaceZerosAndNinePoints) {
  RKFont f;
  EXPECT_NE(std::strstr(f.getClassName(), ".RKFont"), nullptr);
  EXPECT_TRUE(f.getFaceName().isEmpty());
  EXPECT_EQ(f.getHeight(), 0);
  EXPECT_EQ(f.getWidth(), 0);
  EXPECT_EQ(f.getWeight(), 0);
  EXPECT_EQ(f.getItalic(), 0u);
  EXPECT_EQ(f.getUnderline(), 0u);
  EXPECT_EQ(f.getStrikeOut(), 0u);
  EXPECT_EQ(f.getPointSize(), 9u);
  EXPECT_EQ(f.reserved1(), 0);
}

TEST(RKFont, HeightAndWidthKeepTheirSignButReadAbsolute) {
  RKFont f;
  f.setHeight(-16);
  EXPECT_EQ(f.getHeight(), 16);
  f.setWidth(-7);
  EXPECT_EQ(f.getWidth(), 7);
  f.setPointSize(9);
  EXPECT_EQ(f.getHeight(), 12);
  EXPECT_EQ(f.getPointSize(), 9u);
  f.setPointSize(15);
  EXPECT_EQ(f.getHeight(), 20);
}

TEST(RKFont, CreateOnANinetySixDpiScreen) {
  RKFont* f = RKFont::create(RKString("Any Face"), 12);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->getHeight(), 16);
  EXPECT_EQ(f->getWidth(), 0);
  EXPECT_EQ(f->getWeight(), 400);
  EXPECT_EQ(f->getPointSize(), 12u);
  EXPECT_TRUE(f->getFaceName() == "Any Face");
  // One reference for the caller.
  EXPECT_EQ(f->addRef(), 2u);
  f->release();
  f->release();
}

TEST(RKFont, DefaultIsTheDesktopFaceAtTwelvePoints) {
  RKFont* f = RKFont::createDefault();
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(f->getFaceName() == "System");
  EXPECT_EQ(f->getPointSize(), 12u);
  EXPECT_EQ(f->getHeight(), 16);
  f->release();
}

TEST(RKFont, EqualsIgnoresPointSizeButNotCase) {
  RKFont* a = RKFont::create(RKString("Arial"), 12);
  RKFont* b = RKFont::create(RKString("Arial"), 12);
  ASSERT_TRUE(a && b);
  b->setPointSize(12);
  EXPECT_EQ(a->equals(b), 1);
  a->setHeight(-16);
  b->setHeight(16);
  EXPECT_EQ(a->equals(b), 1);  // absolute heights compared
  RKFont c;
  c.setFaceName(RKString("Arial"));
  c.setHeight(16);
  c.setWeight(400);
  EXPECT_EQ(a->equals(&c), 1);  // point size 9 against 12 does not matter
  c.setFaceName(RKString("arial"));
  EXPECT_EQ(a->equals(&c), 0);
  c.setFaceName(RKString("Arial"));
  c.setItalic(1);
  EXPECT_EQ(a->equals(&c), 0);
  c.setItalic(0);
  c.setUnderline(1);
  EXPECT_EQ(a->equals(&c), 0);
  c.setUnderline(0);
  c.setStrikeOut(1);
  EXPECT_EQ(a->equals(&c), 0);
  c.setStrikeOut(0);
  c.setWeight(600);
  EXPECT_EQ(a->equals(&c), 0);
  EXPECT_EQ(a->equals(nullptr), 0);
  a->release();
  b->release();
}
