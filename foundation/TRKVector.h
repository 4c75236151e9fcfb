// Growable array of pointers. Owners read and change the fields directly; the pointed-to
// objects are never copied, counted or released by the vector.
#ifndef RKSDK_TRKVECTOR_H
#define RKSDK_TRKVECTOR_H

#include "RKObject.h"

#include <new>
#include <stdlib.h>
#include <string.h>

namespace RKSDK {

const u32 RK_VECTOR_STEP = 10;

template <class T>
class TRKVector : public virtual RKObject {
 public:
  TRKVector() : items(nullptr), capacity(RK_VECTOR_STEP), itemCount(0), reserved(0) {
    appendClassName("TRKVector");
    items = static_cast<T*>(calloc(capacity, sizeof(T)));
    if (!items) capacity = 0;
  }

  TRKVector(const TRKVector& other) : TRKVector() { copyFrom(other); }

  ~TRKVector() override { free(items); }

  TRKVector& operator=(const TRKVector& other) {
    if (&other != this) copyFrom(other);
    return *this;
  }

  // Stores item at index (0 to itemCount), moving the later items up; grows by 10 when full.
  int insertAt(int index, T item) {
    if (index < 0 || (u32)index > itemCount) return 0;
    if (itemCount >= capacity && !grow()) return 0;
    memmove(items + index + 1, items + index, (itemCount - (u32)index) * sizeof(T));
    items[index] = item;
    ++itemCount;
    return 1;
  }

  // The item at index, or null outside 0 to itemCount - 1.
  T get(int index) const { return index >= 0 && (u32)index < itemCount ? items[index] : T(); }

  // A new vector holding one reference, with a copy of the pointers.
  RKObject* clone() override {
    TRKVector* copy = new (std::nothrow) TRKVector(*this);
    if (!copy) return nullptr;
    copy->addRef();
    return copy;
  }

  T* items;
  u32 capacity;
  u32 itemCount;
  u32 reserved;  // kept 0; owners reset it with itemCount when they empty the vector

 protected:
  int grow() {
    T* bigger = static_cast<T*>(realloc(items, (capacity + RK_VECTOR_STEP) * sizeof(T)));
    if (!bigger) return 0;
    items = bigger;
    capacity += RK_VECTOR_STEP;
    return 1;
  }

  void copyFrom(const TRKVector& other) {
    itemCount = 0;
    for (u32 i = 0; i < other.itemCount; ++i) {
      if (itemCount >= capacity && !grow()) return;
      items[itemCount++] = other.items[i];
    }
  }
};

}  // namespace RKSDK

#endif
