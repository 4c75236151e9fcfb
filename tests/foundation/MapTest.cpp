#include <TRKMap.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace RKSDK;

namespace {

typedef TRKMap<RKString, RKString> StringMap;

std::string text(const RKString& s) { return s.data ? std::string(s.data, s.length) : std::string("<null>"); }

std::vector<std::string> keys(StringMap& m) {
  std::vector<std::string> out;
  for (int more = m.moveFirst(); more; more = m.moveNext()) out.push_back(text(m.getCurrentKey()));
  return out;
}

RKString nullKey() {
  RKString s(" ");
  s.trimRight();
  return s;
}

}  // namespace

TEST(MapLookup, PutNeverOverwrites) {
  StringMap m;
  EXPECT_EQ(m.isEmpty(), 1);
  EXPECT_EQ(m.put(RKString("a"), RKString("1")), 1);
  EXPECT_EQ(m.put(RKString("a"), RKString("2")), 0);
  RKString out("untouched");
  EXPECT_EQ(m.get(RKString("a"), out), 1);
  EXPECT_STREQ(out.data, "1");
  EXPECT_EQ(m.getCount(), 1u);
  EXPECT_EQ(m.isEmpty(), 0);
  RKString missing("untouched");
  EXPECT_EQ(m.get(RKString("b"), missing), 0);
  EXPECT_STREQ(missing.data, "untouched");
  EXPECT_EQ(m.containsKey(RKString("a")), 1);
  EXPECT_EQ(m.containsKey(RKString("A")), 0);
}

TEST(MapLookup, ContainsValueComparesContents) {
  StringMap m;
  m.put(RKString("k1"), RKString("same"));
  RKString probe("sa");
  probe.append("me");
  EXPECT_EQ(m.containsValue(probe), 1);
  EXPECT_EQ(m.containsValue(RKString("Same")), 0);
  TRKMap<RKString, int*> p;
  int a = 1, b = 1;
  p.put(RKString("x"), &a);
  EXPECT_EQ(p.containsValue(&a), 1);
  EXPECT_EQ(p.containsValue(&b), 0);  // pointers compare by address
}

TEST(MapLookup, NullKeyAndEmptyKeyDiffer) {
  StringMap m;
  EXPECT_EQ(m.put(RKString(""), RKString("empty")), 1);
  EXPECT_EQ(m.put(nullKey(), RKString("null")), 1);
  EXPECT_EQ(m.put(RKString("a"), RKString("a")), 1);
  EXPECT_EQ(m.getCount(), 3u);
  EXPECT_EQ(keys(m), (std::vector<std::string>{"<null>", "", "a"}));
  RKString v;
  EXPECT_EQ(m.get(nullKey(), v), 1);
  EXPECT_STREQ(v.data, "null");
  EXPECT_EQ(m.get(RKString(), v), 1);
  EXPECT_STREQ(v.data, "empty");
}

TEST(MapWalk, VisitsKeysInByteOrder) {
  StringMap m;
  for (const char* k : {"b", "a", "c", "ab", "\xD6\xD0", "B"}) m.put(RKString(k), RKString(k));
  EXPECT_EQ(keys(m), (std::vector<std::string>{"B", "a", "ab", "b", "c", "\xD6\xD0"}));
  EXPECT_EQ(m.moveNext(), 0);  // at the end
  EXPECT_STREQ(m.getCurrentKey().data, "");
  EXPECT_STREQ(m.getCurrentValue().data, "");
}

TEST(MapWalk, EmptyMap) {
  StringMap m;
  EXPECT_EQ(m.moveFirst(), 0);
  EXPECT_EQ(m.moveNext(), 0);
  EXPECT_STREQ(m.getCurrentKey().data, "");
  TRKMap<RKString, int*> p;
  EXPECT_EQ(p.getCurrentValue(), nullptr);
  EXPECT_EQ(p.remove(RKString("x")), nullptr);
}

TEST(MapWalk, RemovingEachCurrentEntryVisitsAllOnce) {
  StringMap m;
  for (const char* k : {"d", "b", "a", "c"}) m.put(RKString(k), RKString(k));
  std::vector<std::string> seen;
  for (int more = m.moveFirst(); more; more = m.moveNext()) {
    RKString key = m.getCurrentKey();
    seen.push_back(text(key));
    EXPECT_STREQ(m.remove(key).data, key.data);
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(m.getCount(), 0u);
  EXPECT_EQ(m.isEmpty(), 1);
}

TEST(MapWalk, RemovingEveryOtherEntry) {
  StringMap m;
  for (const char* k : {"a", "b", "c", "d", "e"}) m.put(RKString(k), RKString(k));
  std::vector<std::string> seen;
  bool drop = true;
  for (int more = m.moveFirst(); more; more = m.moveNext()) {
    RKString key = m.getCurrentKey();
    seen.push_back(text(key));
    if (drop) m.remove(key);
    drop = !drop;
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"a", "b", "c", "d", "e"}));
  EXPECT_EQ(keys(m), (std::vector<std::string>{"b", "d"}));
}

TEST(MapWalk, RemoveOfAbsentKeyHoldsTheNextStep) {
  StringMap m;
  for (const char* k : {"a", "b", "c"}) m.put(RKString(k), RKString(k));
  m.moveFirst();
  EXPECT_STREQ(m.remove(RKString("zz")).data, "");
  EXPECT_EQ(m.moveNext(), 1);  // stays on a
  EXPECT_STREQ(m.getCurrentKey().data, "a");
  EXPECT_EQ(m.moveNext(), 1);
  EXPECT_STREQ(m.getCurrentKey().data, "b");
  m.remove(RKString("zz"));
  EXPECT_EQ(m.moveFirst(), 1);  // clears the flag
  EXPECT_EQ(m.moveNext(), 1);
  EXPECT_STREQ(m.getCurrentKey().data, "b");
}

TEST(MapWalk, RemoveOfAnotherKeyMovesIterator) {
  StringMap m;
  for (const char* k : {"a", "b", "c", "d"}) m.put(RKString(k), RKString(k));
  m.moveFirst();
  EXPECT_STREQ(m.remove(RKString("b")).data, "b");
  EXPECT_STREQ(m.getCurrentKey().data, "c");
  EXPECT_EQ(m.moveNext(), 1);
  EXPECT_STREQ(m.getCurrentKey().data, "c");
  m.remove(RKString("d"));  // the last entry: the iterator goes to the end
  EXPECT_STREQ(m.getCurrentKey().data, "");
  EXPECT_EQ(m.moveNext(), 0);
  EXPECT_EQ(m.moveNext(), 0);
}

TEST(MapWalk, RemoveAll) {
  StringMap m;
  m.put(RKString("a"), RKString("1"));
  m.moveFirst();
  EXPECT_EQ(m.removeAll(), 1);
  EXPECT_EQ(m.getCount(), 0u);
  EXPECT_EQ(m.moveNext(), 0);
  EXPECT_EQ(m.put(RKString("a"), RKString("2")), 1);
}

TEST(MapCopy, AssignmentCopiesAndWalksSource) {
  StringMap b;
  for (const char* k : {"x", "y"}) b.put(RKString(k), RKString(RKString("v") + k));
  StringMap a;
  a.put(RKString("old"), RKString("old"));
  a = b;
  EXPECT_EQ(keys(a), (std::vector<std::string>{"x", "y"}));
  RKString v;
  a.get(RKString("y"), v);
  EXPECT_STREQ(v.data, "vy");
  EXPECT_STREQ(b.getCurrentKey().data, "");  // b's iterator ended at its end
  a = a;
  EXPECT_EQ(a.getCount(), 2u);
}

TEST(MapCopy, CopyAndCloneAreIndependent) {
  StringMap b;
  b.put(RKString("k"), RKString("v"));
  StringMap c(b);
  EXPECT_STREQ(c.getClassName(), "RKObject.TRKMap");
  EXPECT_STREQ(c.getCurrentKey().data, "");  // the copy's iterator stands at its end
  b.remove(RKString("k"));
  EXPECT_EQ(c.containsKey(RKString("k")), 1);
  c.put(RKString("j"), RKString("w"));
  RKObject* d = c.clone();
  ASSERT_NE(d, nullptr);
  StringMap* dm = dynamic_cast<StringMap*>(d);
  ASSERT_NE(dm, nullptr);
  EXPECT_EQ(keys(*dm), (std::vector<std::string>{"j", "k"}));
  EXPECT_EQ(d->release(), 0u);
}

TEST(MapValues, PointerValuesAreNotOwned) {
  TRKMap<RKString, int*> m;
  int cls = 7;
  EXPECT_EQ(m.put(RKString("RKWindow"), &cls), 1);
  int* out = nullptr;
  EXPECT_EQ(m.get(RKString("RKWindow"), out), 1);
  EXPECT_EQ(out, &cls);
  EXPECT_EQ(m.remove(RKString("RKWindow")), &cls);
  EXPECT_EQ(m.getCount(), 0u);
  EXPECT_EQ(cls, 7);
}
