// Map ordered by string key, with a built-in iterator for walks in key order.
#ifndef RKSDK_TRKMAP_H
#define RKSDK_TRKMAP_H

#include "RKString.h"

#include <map>
#include <new>
#include <string.h>

namespace RKSDK {

// Key order: unsigned bytes as strcmp orders them (a shorter prefix first). A key with null
// text sorts before every other key and is a different key from the empty text.
struct RKStringKeyLess {
  bool operator()(const RKString& a, const RKString& b) const {
    if (!a.data || !b.data) return !a.data && b.data;
    u32 n = a.length < b.length ? a.length : b.length;
    int c = n ? memcmp(a.data, b.data, n) : 0;
    return c != 0 ? c < 0 : a.length < b.length;
  }
};

// put never overwrites an existing key. remove moves the iterator onto the entry that followed
// the removed one and makes the next moveNext stay there, so a walk that removes the current
// entry at each step visits every entry exactly once. Values are stored as copies; pointer
// values are never freed or counted.
template <class K, class V>
class TRKMap : public virtual RKObject {
 public:
  typedef std::map<K, V, RKStringKeyLess> Tree;

  TRKMap() : tree(), iterator(tree.end()), removedFlag(0) { appendClassName("TRKMap"); }

  // A copy of the entries; its iterator stands at its own end.
  TRKMap(const TRKMap& other) : RKObject(), tree(), iterator(tree.end()), removedFlag(0) {
    appendClassName("TRKMap");
    try {
      tree = other.tree;
    } catch (const std::bad_alloc&) {
      tree.clear();
    }
    iterator = tree.end();
  }

  ~TRKMap() override {}

  // Copies other's entries by walking other's own iterator, which ends at its end.
  TRKMap& operator=(const TRKMap& other) {
    if (&other == this) return *this;
    removeAll();
    TRKMap& src = const_cast<TRKMap&>(other);
    u32 total = src.getCount();
    u32 copied = 0;
    for (int more = src.moveFirst(); more && copied < total; more = src.moveNext(), ++copied)
      put(src.getCurrentKey(), src.getCurrentValue());
    return *this;
  }

  virtual int put(const K& key, const V& value) {
    try {
      return tree.emplace(key, value).second ? 1 : 0;
    } catch (const std::bad_alloc&) {
      return 0;
    }
  }

  virtual int get(const K& key, V& out) {
    typename Tree::iterator it = tree.find(key);
    if (it == tree.end()) return 0;
    out = it->second;
    return 1;
  }

  virtual int containsKey(const K& key) { return tree.find(key) != tree.end() ? 1 : 0; }

  virtual int containsValue(const V& value) {
    for (typename Tree::const_iterator it = tree.begin(); it != tree.end(); ++it)
      if (it->second == value) return 1;
    return 0;
  }

  // The removed value, or the empty value when the key is absent (the iterator then stays).
  virtual V remove(const K& key) {
    removedFlag = 1;
    typename Tree::iterator it = tree.find(key);
    if (it == tree.end()) return V();
    V value(it->second);
    iterator = tree.erase(it);
    return value;
  }

  virtual u32 getCount() { return (u32)tree.size(); }

  virtual int moveFirst() {
    removedFlag = 0;
    if (tree.empty()) return 0;
    iterator = tree.begin();
    return 1;
  }

  virtual int moveNext() {
    if (iterator == tree.end()) {
      removedFlag = 0;
      return 0;
    }
    if (removedFlag) {
      removedFlag = 0;
      return 1;
    }
    ++iterator;
    return iterator != tree.end() ? 1 : 0;
  }

  virtual V getCurrentValue() { return iterator != tree.end() ? iterator->second : V(); }
  virtual K getCurrentKey() { return iterator != tree.end() ? iterator->first : K(); }

  virtual int removeAll() {
    tree.clear();
    iterator = tree.end();
    return 1;
  }

  virtual int isEmpty() { return tree.empty() ? 1 : 0; }

  // A new map holding one reference, filled by assignment (this map's iterator ends at the end).
  RKObject* clone() override {
    TRKMap* copy = new (std::nothrow) TRKMap();
    if (!copy) return nullptr;
    *copy = *this;
    copy->addRef();
    return copy;
  }

 protected:
  Tree tree;
  typename Tree::iterator iterator;
  u32 removedFlag;
};

}  // namespace RKSDK

#endif
