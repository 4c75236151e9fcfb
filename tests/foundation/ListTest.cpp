#include <FILENODE.h>
#include <TRKList.h>
#include <TRKVector.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace RKSDK;

namespace {

TRKList<int> listOf(std::initializer_list<int> values) {
  TRKList<int> l;
  for (int v : values) l.addLast(v);
  return l;
}

// The elements from head to tail, walking the cursor (which ends on the tail).
std::vector<int> contents(TRKList<int>& l) {
  std::vector<int> out;
  if (!l.moveFirst()) return out;
  do out.push_back(*l.getCurrent());
  while (l.moveNext());
  return out;
}

int current(TRKList<int>& l) { return l.getCurrent() ? *l.getCurrent() : -999; }

}  // namespace

TEST(ListCursor, EmptyListRefusesCursorOperations) {
  TRKList<int> l;
  EXPECT_EQ(l.getCount(), 0u);
  EXPECT_EQ(l.moveFirst(), 0);
  EXPECT_EQ(l.moveLast(), 0);
  EXPECT_EQ(l.moveNext(), 0);
  EXPECT_EQ(l.movePrevious(), 0);
  EXPECT_EQ(l.setCurrent(1), 0);
  EXPECT_EQ(l.removeCurrent(), 0);
  EXPECT_EQ(l.insert(1, 1), 0);
  EXPECT_EQ(l.getCurrent(), nullptr);
  EXPECT_EQ(l.isFirst(), 0);
  EXPECT_EQ(l.isLast(), 0);
  EXPECT_STREQ(l.getClassName(), "RKObject.TRKList");
}

TEST(ListCursor, OnlyFirstAdditionMovesCursor) {
  TRKList<int> l;
  EXPECT_EQ(l.addLast(1), 1);
  EXPECT_EQ(current(l), 1);
  l.addLast(2);
  l.addFirst(0);
  EXPECT_EQ(current(l), 1);
  EXPECT_EQ(l.getCount(), 3u);
  EXPECT_EQ(contents(l), (std::vector<int>{0, 1, 2}));
  TRKList<int> f;
  f.addFirst(5);
  EXPECT_EQ(current(f), 5);
  EXPECT_EQ(f.isFirst(), 1);
  EXPECT_EQ(f.isLast(), 1);
}

TEST(ListCursor, MovesStopAtTheEnds) {
  TRKList<int> l = listOf({1, 2, 3});
  EXPECT_EQ(l.moveFirst(), 1);
  EXPECT_EQ(l.isFirst(), 1);
  EXPECT_EQ(l.movePrevious(), 0);
  EXPECT_EQ(current(l), 1);
  EXPECT_EQ(l.moveNext(), 1);
  EXPECT_EQ(l.isFirst(), 0);
  EXPECT_EQ(l.isLast(), 0);
  EXPECT_EQ(l.moveLast(), 1);
  EXPECT_EQ(l.isLast(), 1);
  EXPECT_EQ(l.moveNext(), 0);
  EXPECT_EQ(current(l), 3);
  EXPECT_EQ(l.movePrevious(), 1);
  EXPECT_EQ(current(l), 2);
}

TEST(ListEdit, InsertBeforeAndAfterCursor) {
  TRKList<int> l = listOf({1, 3});
  l.moveFirst();
  EXPECT_EQ(l.insert(2, 1), 1);
  EXPECT_EQ(current(l), 1);
  EXPECT_EQ(l.insert(0, 0), 1);  // before the head: becomes the head
  l.moveLast();
  EXPECT_EQ(l.insert(4, 1), 1);  // after the tail: becomes the tail
  EXPECT_EQ(l.insert(-1, 0), 1);
  EXPECT_EQ(l.getCount(), 6u);
  EXPECT_EQ(contents(l), (std::vector<int>{0, 1, 2, -1, 3, 4}));
  l.moveLast();
  EXPECT_EQ(current(l), 4);
  l.movePrevious();
  l.movePrevious();
  EXPECT_EQ(current(l), -1);
}

TEST(ListEdit, SetCurrentOverwrites) {
  TRKList<RKString> l;
  l.addLast(RKString("a"));
  l.addLast(RKString("b"));
  l.moveLast();
  EXPECT_EQ(l.setCurrent(RKString("z")), 1);
  EXPECT_STREQ(l.getCurrent()->data, "z");
  l.moveFirst();
  EXPECT_STREQ(l.getCurrent()->data, "a");
}

TEST(ListRemove, CursorMovesToNeighbour) {
  TRKList<int> l = listOf({1, 2, 3, 4});
  l.moveFirst();
  l.moveNext();
  EXPECT_EQ(l.removeCurrent(), 1);  // middle: the following element
  EXPECT_EQ(current(l), 3);
  l.moveLast();
  EXPECT_EQ(l.removeCurrent(), 1);  // tail: the new tail
  EXPECT_EQ(current(l), 3);
  EXPECT_EQ(l.isLast(), 1);
  l.moveFirst();
  EXPECT_EQ(l.removeCurrent(), 1);  // head: the new head
  EXPECT_EQ(current(l), 3);
  EXPECT_EQ(l.isFirst(), 1);
  EXPECT_EQ(l.getCount(), 1u);
  EXPECT_EQ(l.removeCurrent(), 1);  // the only element
  EXPECT_EQ(l.getCount(), 0u);
  EXPECT_EQ(l.getCurrent(), nullptr);
  EXPECT_EQ(l.moveFirst(), 0);
  EXPECT_EQ(l.removeCurrent(), 0);
  l.addLast(9);  // usable again
  EXPECT_EQ(current(l), 9);
}

TEST(ListRemove, RemoveAllEmptiesAndListStaysUsable) {
  TRKList<RKString> l;
  for (const char* s : {"a", "b", "c"}) l.addLast(RKString(s));
  EXPECT_EQ(l.removeAll(), 1);
  EXPECT_EQ(l.getCount(), 0u);
  EXPECT_EQ(l.getCurrent(), nullptr);
  l.addLast(RKString("d"));
  EXPECT_STREQ(l.getCurrent()->data, "d");
}

TEST(ListRemove, PointerElementsAreNotCounted) {
  RKObject* a = new RKObject();
  a->addRef();
  {
    TRKList<RKObject*> l;
    l.addLast(a);
    l.addLast(a);
    l.moveFirst();
    l.removeCurrent();
  }
  EXPECT_EQ(a->addRef(), 2u);
  a->release();
  EXPECT_EQ(a->release(), 0u);
}

TEST(ListCopy, AssignmentWalksSourceCursor) {
  TRKList<int> b = listOf({1, 2, 3});
  b.moveFirst();
  TRKList<int> a = listOf({7});
  a = b;
  EXPECT_EQ(b.isLast(), 1);
  EXPECT_EQ(a.getCount(), 3u);
  EXPECT_EQ(contents(a), (std::vector<int>{1, 2, 3}));
  a = a;
  EXPECT_EQ(a.getCount(), 3u);
  TRKList<int> empty;
  a = empty;
  EXPECT_EQ(a.getCount(), 0u);
}

TEST(ListCopy, CopiesAreIndependent) {
  TRKList<RKString> b;
  b.addLast(RKString("x"));
  b.addLast(RKString("y"));
  TRKList<RKString> a(b);
  EXPECT_EQ(a.getCount(), 2u);
  EXPECT_STREQ(a.getCurrent()->data, "x");
  EXPECT_STREQ(a.getClassName(), "RKObject.TRKList");
  b.moveFirst();
  b.setCurrent(RKString("changed"));
  a.moveFirst();
  EXPECT_STREQ(a.getCurrent()->data, "x");
}

TEST(ListCopy, CloneHoldsOneReference) {
  TRKList<int> l = listOf({4, 5});
  l.moveFirst();
  RKObject* c = l.clone();
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(l.isLast(), 1);
  TRKList<int>* copy = dynamic_cast<TRKList<int>*>(c);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(contents(*copy), (std::vector<int>{4, 5}));
  EXPECT_EQ(c->release(), 0u);  // one reference: this release destroys it
}

TEST(ListRecords, PackageEntriesKeepCreationOrder) {
  TRKList<FILENODE> l;
  FILENODE folder;
  folder.path = "\\data";
  folder.kind = FILENODE_KIND_FOLDER;
  FILENODE file;
  file.path = "\\data\\setup_cn.properties";
  file.kind = FILENODE_KIND_FILE;
  file.size = 1234;
  l.addLast(folder);
  l.addLast(file);
  file.path = "changed";
  l.moveFirst();
  EXPECT_STREQ(l.getCurrent()->path.data, "\\data");
  EXPECT_EQ(l.getCurrent()->kind, 2u);
  EXPECT_EQ(l.getCurrent()->size, 0u);
  l.moveNext();
  EXPECT_STREQ(l.getCurrent()->path.data, "\\data\\setup_cn.properties");
  EXPECT_EQ(l.getCurrent()->size, 1234u);
}

TEST(Vector, InsertAtBoundsAndGrowth) {
  TRKVector<void*> v;
  EXPECT_EQ(v.capacity, 10u);
  EXPECT_EQ(v.itemCount, 0u);
  EXPECT_STREQ(v.getClassName(), "RKObject.TRKVector");
  int cells[12];
  EXPECT_EQ(v.insertAt(-1, &cells[0]), 0);
  EXPECT_EQ(v.insertAt(1, &cells[0]), 0);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(v.insertAt((int)v.itemCount, &cells[i]), 1);
  EXPECT_EQ(v.capacity, 10u);
  EXPECT_EQ(v.insertAt(0, &cells[10]), 1);  // the eleventh grows the array
  EXPECT_EQ(v.capacity, 20u);
  EXPECT_EQ(v.itemCount, 11u);
  EXPECT_EQ(v.get(0), &cells[10]);
  EXPECT_EQ(v.get(1), &cells[0]);
  EXPECT_EQ(v.get(10), &cells[9]);
  EXPECT_EQ(v.get(11), nullptr);
  EXPECT_EQ(v.get(-1), nullptr);
  EXPECT_EQ(v.insertAt(5, &cells[11]), 1);
  EXPECT_EQ(v.get(5), &cells[11]);
  EXPECT_EQ(v.get(6), &cells[4]);
}

TEST(Vector, CopiesShareThePointees) {
  TRKVector<RKObject*> v;
  RKObject* o = new RKObject();
  o->addRef();
  for (int i = 0; i < 15; ++i) v.insertAt(i, o);
  TRKVector<RKObject*> w;
  w = v;
  EXPECT_EQ(w.itemCount, 15u);
  EXPECT_GE(w.capacity, 15u);
  EXPECT_EQ(w.get(14), o);
  TRKVector<RKObject*> x(v);
  EXPECT_EQ(x.itemCount, 15u);
  RKObject* c = v.clone();
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(dynamic_cast<TRKVector<RKObject*>*>(c)->itemCount, 15u);
  c->release();
  w = w;
  EXPECT_EQ(w.itemCount, 15u);
  EXPECT_EQ(o->release(), 0u);  // never counted by the vectors
}
