// Doubly linked list with a built-in cursor through which all access goes.
#ifndef RKSDK_TRKLIST_H
#define RKSDK_TRKLIST_H

#include "RKObject.h"

#include <new>

namespace RKSDK {

template <class T>
struct TRKListNode {
  explicit TRKListNode(const T& v) : value(v), prev(nullptr), next(nullptr) {}
  T value;
  TRKListNode* prev;
  TRKListNode* next;
};

// Elements are held by value (copies). Pointer elements are only stored: the list never adds or
// releases references. Only the first element added to an empty list becomes current; later
// additions leave the cursor where it is. Results are 1 for success and 0 for failure.
template <class T>
class TRKList : public virtual RKObject {
 public:
  typedef TRKListNode<T> Node;

  TRKList() : count(0), head(nullptr), cursor(nullptr), tail(nullptr) { appendClassName("TRKList"); }

  // A copy with its own nodes; the source's cursor is left alone, the copy's stands on its head.
  TRKList(const TRKList& other) : RKObject(), count(0), head(nullptr), cursor(nullptr), tail(nullptr) {
    appendClassName("TRKList");
    for (Node* n = other.head; n; n = n->next)
      if (!addLast(n->value)) break;
  }

  ~TRKList() override { removeAll(); }

  // Copies other's elements in order by walking other's own cursor, which ends on its tail.
  TRKList& operator=(const TRKList& other) {
    if (&other == this) return *this;
    removeAll();
    TRKList& src = const_cast<TRKList&>(other);
    if (!src.moveFirst()) return *this;
    u32 copied = 0;
    do {
      T* v = src.getCurrent();
      if (v) addLast(*v);
      ++copied;
    } while (copied < src.count && src.moveNext());
    return *this;
  }

  virtual u32 getCount() { return count; }
  virtual int isFirst() { return cursor && cursor == head ? 1 : 0; }
  virtual int isLast() { return cursor && cursor == tail ? 1 : 0; }

  virtual int moveFirst() {
    if (!head) return 0;
    cursor = head;
    return 1;
  }

  virtual int moveLast() {
    if (!tail) return 0;
    cursor = tail;
    return 1;
  }

  virtual int movePrevious() {
    if (!head || !cursor || cursor == head || !cursor->prev) return 0;
    cursor = cursor->prev;
    return 1;
  }

  virtual int moveNext() {
    if (!head || !cursor || cursor == tail || !cursor->next) return 0;
    cursor = cursor->next;
    return 1;
  }

  virtual int removeAll() {
    Node* n = head;
    while (n) {
      Node* next = n->next;
      delete n;
      n = next;
    }
    head = cursor = tail = nullptr;
    count = 0;
    return 1;
  }

  virtual int addFirst(const T& value) {
    Node* node = new (std::nothrow) Node(value);
    if (!node) return 0;
    if (head) {
      node->next = head;
      head->prev = node;
      head = node;
    } else {
      head = cursor = tail = node;
    }
    ++count;
    return 1;
  }

  virtual int addLast(const T& value) {
    Node* node = new (std::nothrow) Node(value);
    if (!node) return 0;
    if (head) {
      node->prev = tail;
      tail->next = node;
    } else {
      head = cursor = node;
    }
    tail = node;
    ++count;
    return 1;
  }

  // A new element after (after != 0) or before (after == 0) the cursor, which stays put.
  virtual int insert(const T& value, int after) {
    if (!cursor) return 0;
    Node* node = new (std::nothrow) Node(value);
    if (!node) return 0;
    if (after) {
      node->prev = cursor;
      node->next = cursor->next;
      if (cursor->next) cursor->next->prev = node;
      cursor->next = node;
      if (cursor == tail) tail = node;
    } else {
      node->next = cursor;
      node->prev = cursor->prev;
      if (cursor->prev) cursor->prev->next = node;
      cursor->prev = node;
      if (cursor == head) head = node;
    }
    ++count;
    return 1;
  }

  virtual int setCurrent(const T& value) {
    if (!cursor) return 0;
    cursor->value = value;
    return 1;
  }

  // Unlinks the current element; the cursor moves to the following one, or to the new tail
  // when the tail was removed.
  virtual int removeCurrent() {
    if (!cursor) return 0;
    Node* gone = cursor;
    if (gone == head) {
      head = head->next;
      cursor = head;
      if (!head)
        tail = nullptr;
      else
        head->prev = nullptr;
    } else if (gone == tail) {
      tail = tail->prev;
      tail->next = nullptr;
      cursor = tail;
    } else {
      gone->prev->next = gone->next;
      gone->next->prev = gone->prev;
      cursor = gone->next;
    }
    delete gone;
    --count;
    return 1;
  }

  // The element at the cursor, inside its node; null without a cursor.
  virtual T* getCurrent() { return cursor ? &cursor->value : nullptr; }

  // A new list holding one reference, filled by assignment (this list's cursor ends on its tail).
  RKObject* clone() override {
    TRKList* copy = new (std::nothrow) TRKList();
    if (!copy) return nullptr;
    *copy = *this;
    copy->addRef();
    return copy;
  }

 protected:
  u32 count;
  Node* head;
  Node* cursor;
  Node* tail;
};

}  // namespace RKSDK

#endif
