#include <gtest/gtest.h>

#include <cstring>

#include "IRKSrcPin.h"
#include "RKImage.h"
#include "RefCount.h"

using namespace RKSDK;

TEST(RKPins, ConnectedObjectIsHeldAndReplaced) {
  IRKPin* pin = new IRKPin();
  pin->addRef();
  EXPECT_NE(std::strstr(pin->getClassName(), ".IRKPin"), nullptr);
  EXPECT_EQ(pin->getConnected(), nullptr);
  RKImage* a = new RKImage();
  a->addRef();
  RKImage* b = new RKImage();
  b->addRef();
  pin->setConnected(a);
  EXPECT_EQ(countOf(a), 2u);
  pin->setConnected(a);
  EXPECT_EQ(countOf(a), 2u);
  RKObject* got = pin->getConnected();
  EXPECT_EQ(got, a);
  got->release();
  pin->setConnected(b);
  EXPECT_EQ(countOf(a), 1u);
  EXPECT_EQ(countOf(b), 2u);
  pin->setConnected(nullptr);
  EXPECT_EQ(countOf(b), 1u);
  pin->setConnected(b);
  pin->release();  // the destructor releases the held object
  EXPECT_EQ(countOf(b), 1u);
  a->release();
  b->release();
}

TEST(RKPins, SourceListsEachPinOnce) {
  IRKSrcPin* source = new IRKSrcPin();
  source->addRef();
  EXPECT_NE(std::strstr(source->getClassName(), ".IRKSrcPin"), nullptr);
  EXPECT_NE(std::strstr(source->getClassName(), ".IRKPin"), nullptr);
  EXPECT_EQ(source->getFormat(), 0);
  EXPECT_EQ(source->connect(nullptr), 0);

  IRKPin* pins[12];
  for (IRKPin*& p : pins) {
    p = new IRKPin();
    p->addRef();
    EXPECT_EQ(source->connect(p), 1);
  }
  EXPECT_EQ(countOf(pins[0]), 2u);
  EXPECT_EQ(source->connect(pins[0]), 1);  // already listed: nothing changes
  EXPECT_EQ(countOf(pins[0]), 2u);
  EXPECT_EQ(source->isConnected(pins[11]), 1);

  IRKPin* stranger = new IRKPin();
  stranger->addRef();
  EXPECT_EQ(source->isConnected(stranger), 0);
  EXPECT_EQ(source->disconnect(stranger), 12);
  EXPECT_EQ(source->disconnect(nullptr), 12);
  EXPECT_EQ(countOf(stranger), 1u);

  EXPECT_EQ(source->disconnect(pins[0]), 11);
  EXPECT_EQ(countOf(pins[0]), 1u);
  EXPECT_EQ(source->isConnected(pins[0]), 0);
  EXPECT_EQ(source->isConnected(pins[1]), 1);

  source->release();  // releases every listed pin
  for (IRKPin* p : pins) {
    EXPECT_EQ(countOf(p), 1u);
    p->release();
  }
  stranger->release();
}
