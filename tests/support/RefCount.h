// Test helper: the reference count of an object, read without changing it.
#ifndef RK_TESTS_REF_COUNT_H
#define RK_TESTS_REF_COUNT_H

#include "RKObject.h"

inline unsigned int countOf(RKSDK::RKObject* object) {
  unsigned int n = object->addRef();
  object->release();
  return n - 1;
}

#endif
