#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "RKImageGroup.h"

using namespace RKSDK;

namespace {

RKImage* frame(int w, int h, unsigned char fill = 0) {
  std::vector<unsigned char> bytes(w * h * 4, fill);
  RKImage* image = new RKImage(1007, bytes.data(), w * h * 4, 0, 0, w, h, 0);
  image->addRef();
  return image;
}

}  // namespace

TEST(RKImageGroupHolds, NewGroupIsEmpty) {
  RKImageGroup group;
  EXPECT_NE(std::strstr(group.getClassName(), ".RKImageGroup"), nullptr);
  EXPECT_EQ(group.getCount(), 0);
  EXPECT_EQ(group.getWidth(), 0);
  EXPECT_EQ(group.getHeight(), 0);
  EXPECT_EQ(group.getImage(0), nullptr);
}

TEST(RKImageGroupHolds, AddGetRemoveSetKeepOrderAndReferences) {
  RKImageGroup* group = new RKImageGroup();
  group->addRef();
  RKImage* images[11];
  for (int i = 0; i < 11; ++i) {
    images[i] = frame(1, 1);
    group->addImage(images[i]);
  }
  group->addImage(nullptr);
  ASSERT_EQ(group->getCount(), 11);
  for (int i = 0; i < 11; ++i) {
    RKImage* got = group->getImage(i);
    EXPECT_EQ(got, images[i]);
    got->release();
  }
  EXPECT_EQ(group->getImage(-1), nullptr);
  EXPECT_EQ(group->getImage(11), nullptr);

  group->removeImage(0);
  ASSERT_EQ(group->getCount(), 10);
  RKImage* first = group->getImage(0);
  EXPECT_EQ(first, images[1]);
  first->release();
  group->removeImage(10);
  group->removeImage(-1);
  EXPECT_EQ(group->getCount(), 10);

  RKImage* replacement = frame(2, 2);
  group->setImage(3, replacement);
  group->setImage(3, nullptr);
  group->setImage(99, replacement);
  RKImage* third = group->getImage(3);
  EXPECT_EQ(third, replacement);
  third->release();

  // The group held one reference on each image: after it goes, each image holds only ours.
  group->release();
  for (int i = 0; i < 11; ++i) {
    EXPECT_EQ(images[i]->addRef(), 2u);
    images[i]->release();
    images[i]->release();
  }
  EXPECT_EQ(replacement->addRef(), 2u);
  replacement->release();
  replacement->release();
}

TEST(RKImageGroupHolds, SizeFallsBackToLargestFrameOnlyWhenBothStoredAreZero) {
  RKImageGroup group;
  RKImage* a = frame(10, 20);
  RKImage* b = frame(30, 5);
  group.addImage(a);
  group.addImage(b);
  EXPECT_EQ(group.getWidth(), 30);
  EXPECT_EQ(group.getHeight(), 20);
  group.setHeight(7);
  EXPECT_EQ(group.getWidth(), 0);
  EXPECT_EQ(group.getHeight(), 7);
  group.setWidth(100);
  EXPECT_EQ(group.getWidth(), 100);
  a->release();
  b->release();
}

TEST(RKImageGroupHolds, CloneIsDeepAssignShares) {
  RKImageGroup source;
  RKImage* a = frame(2, 2, 0x11);
  RKImage* b = frame(3, 1, 0x22);
  source.addImage(a);
  source.addImage(b);
  source.setWidth(40);
  source.setHeight(30);

  RKImageGroup* copy = source.clone();
  ASSERT_NE(copy, nullptr);
  ASSERT_EQ(copy->getCount(), 2);
  EXPECT_EQ(copy->getWidth(), 40);
  EXPECT_EQ(copy->getHeight(), 30);
  RKImage* c0 = copy->getImage(0);
  EXPECT_NE(c0, a);
  EXPECT_EQ(c0->getWidth(), 2);
  RKBuffer* pixels = c0->getBuffer();
  EXPECT_EQ(pixels->getData(0)[0], 0x11);
  pixels->release();
  c0->release();
  copy->release();

  RKImageGroup* shared = new RKImageGroup();
  shared->addRef();
  RKImage* old = frame(1, 1);
  shared->addImage(old);
  *shared = source;
  ASSERT_EQ(shared->getCount(), 2);
  EXPECT_EQ(shared->getWidth(), 40);
  RKImage* s1 = shared->getImage(1);
  EXPECT_EQ(s1, b);
  s1->release();
  EXPECT_EQ(old->addRef(), 2u);  // released by the assignment
  old->release();
  old->release();
  shared->release();
  a->release();
  b->release();
}
