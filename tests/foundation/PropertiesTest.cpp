#include "RKBufferStream.h"
#include "RKFileStream.h"
#include "RKParam.h"

#include <gtest/gtest.h>

#include <TempPrefix.h>

#include <string.h>

#include <string>

using namespace RKSDK;

namespace {

class Properties : public ::testing::Test {
 protected:
  TempPrefix prefix;
};

int loadText(RKProperties& p, const std::string& text) {
  RKBufferStream s(text.data(), (int)text.size());
  return p.load(&s);
}

RKString value(RKParam& p, const char* key) { return p.getString(key, "<none>"); }

}  // namespace

TEST(Param, SetReplacesAndGettersReadWithoutRemoving) {
  RKParam p;
  EXPECT_STREQ(p.getClassName(), "RKObject.TRKMap.RKParam");
  EXPECT_EQ(p.set("k", "one"), 1);
  EXPECT_EQ(p.set(RKString("k"), RKString("two")), 1);
  EXPECT_STREQ(value(p, "k").data, "two");
  EXPECT_EQ(p.getCount(), 1u);
  p.set(RKString("n"), "42");
  p.set("bad", RKString("abc"));
  p.set("empty", (const char*)nullptr);
  EXPECT_EQ(p.getInt("n"), 42);
  EXPECT_EQ(p.getInt(RKString("n")), 42);  // the key stays
  EXPECT_TRUE(p.containsKey(RKString("n")));
  EXPECT_EQ(p.getInt("bad"), 0);
  EXPECT_EQ(p.getInt("empty"), 0);
  EXPECT_EQ(p.getInt("missing"), 0);
  p.set("big", "99999999999");
  EXPECT_EQ(p.getInt("big"), 2147483647);

  RKString out("kept");
  EXPECT_EQ(p.get("missing", out), 0);
  EXPECT_STREQ(out.data, "kept");
  EXPECT_EQ(p.get(RKString("k"), out), 1);
  EXPECT_STREQ(out.data, "two");
  EXPECT_STREQ(p.getString("empty", "dflt").data, "");  // present, though empty
  EXPECT_STREQ(p.getString(RKString("nope"), RKString("dflt")).data, "dflt");
  EXPECT_STREQ(p.getString("nope", (const char*)nullptr).data, "");

  p.set("long", "0123456789");
  char buffer[8];
  memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(p.getValue("long", buffer, 4), 1);
  EXPECT_EQ(std::string(buffer, 5), std::string("012\0x", 5));
  EXPECT_EQ(p.getValue(RKString("k"), buffer, 8), 1);
  EXPECT_STREQ(buffer, "two");
  EXPECT_EQ(p.getValue("k", buffer, 3), 1);
  EXPECT_STREQ(buffer, "tw");
  EXPECT_EQ(p.getValue("k", nullptr, 8), 0);
  EXPECT_EQ(p.getValue("k", buffer, 0), 0);
  EXPECT_EQ(p.getValue("missing", buffer, 8), 0);

  RKParam copy(p);
  EXPECT_EQ(copy.getCount(), p.getCount());
  RKParam* clone = dynamic_cast<RKParam*>(p.clone());
  ASSERT_NE(clone, nullptr);
  EXPECT_STREQ(value(*clone, "long").data, "0123456789");
  clone->release();
  p.removeAll();
  EXPECT_EQ(p.getCount(), 0u);
  EXPECT_STREQ(value(copy, "k").data, "two");
}

TEST(PropertiesSyntax, CommentsBlanksAndLinesWithoutEquals) {
  RKProperties p;
  EXPECT_STREQ(p.getClassName(), "RKObject.TRKMap.RKParam.RKProperties");
  ASSERT_EQ(loadText(p, "# comment\n\n  \ntitle = Setup  \nflag"), 1);
  EXPECT_EQ(p.getCount(), 2u);
  EXPECT_STREQ(value(p, "title ").data, " Setup");
  EXPECT_STREQ(value(p, "flag").data, "");

  ASSERT_EQ(loadText(p, "=abc\r\nkey=\r\na=b=c\r\nr=1\r\nr=2\r\n \t \r\n   #x=1\r\nlast=end"), 1);
  EXPECT_STREQ(value(p, "").data, "abc");
  EXPECT_STREQ(value(p, "key").data, "");
  EXPECT_STREQ(value(p, "a").data, "b=c");
  EXPECT_STREQ(value(p, "r").data, "2");
  EXPECT_STREQ(value(p, "last").data, "end");
  EXPECT_STREQ(value(p, "   #x").data, "<none>");
  EXPECT_EQ(p.getCount(), 5u);  // loading empties the table first
  EXPECT_EQ(p.load((IRKIOStream*)nullptr), 0);
  EXPECT_EQ(p.save((IRKIOStream*)nullptr), 0);

  RKProperties empty;
  EXPECT_EQ(loadText(empty, ""), 1);
  EXPECT_EQ(empty.getCount(), 0u);
}

TEST(PropertiesSyntax, ReadLineKeepsLineEnds) {
  RKProperties p;
  RKBufferStream s("ab\r\ncd", 6);
  RKString line;
  ASSERT_EQ(p.readLine(&s, line), 1);
  EXPECT_STREQ(line.data, "ab\r\n");
  ASSERT_EQ(p.readLine(&s, line), 1);
  EXPECT_STREQ(line.data, "cd");
  EXPECT_EQ(p.readLine(&s, line), 0);
  EXPECT_EQ(p.readLine(nullptr, line), 0);
  // A position beyond the end yields no line (and no endless empty ones).
  RKBuffer* shared = s.getBuffer();
  shared->resize(2);
  shared->release();
  EXPECT_EQ(p.readLine(&s, line), 0);
}

TEST_F(Properties, SaveSortsKeysAndRoundTripsGbkValues) {
  RKProperties p;
  p.set("b", "2");
  p.set("a", "1");
  p.set("caption", "\xB0\xB2\xD7\xB0\xCF\xF2\xB5\xBC");  // GBK bytes pass through unchanged
  ASSERT_EQ(p.save(RKString("C:\\setup_cn.properties")), 1);
  EXPECT_EQ(TempPrefix::readFile(prefix.onC("setup_cn.properties")),
            "a=1\r\nb=2\r\ncaption=\xB0\xB2\xD7\xB0\xCF\xF2\xB5\xBC\r\n");

  TempPrefix::writeFile(prefix.onC("setup_cn.properties"),
                        TempPrefix::readFile(prefix.onC("setup_cn.properties")) + "# note\r\nproductfold=Vantry\r\n");
  RKProperties q;
  ASSERT_EQ(q.load(RKString("C:\\SETUP_CN.properties")), 1);
  EXPECT_EQ(q.getCount(), 4u);
  EXPECT_STREQ(value(q, "caption").data, "\xB0\xB2\xD7\xB0\xCF\xF2\xB5\xBC");
  EXPECT_STREQ(value(q, "productfold").data, "Vantry");
  EXPECT_EQ(q.getInt("b"), 2);
  EXPECT_EQ(q.getInt("b"), 2);

  RKProperties none;
  EXPECT_EQ(none.save(RKString("C:\\empty.properties")), 1);
  EXPECT_EQ(TempPrefix::readFile(prefix.onC("empty.properties")), "");
  EXPECT_EQ(none.load(RKString("C:\\missing.properties")), 0);
  EXPECT_EQ(none.save(RKString("C:\\no\\such\\folder.properties")), 0);
  EXPECT_EQ(p.save(RKString("Z:\\dev\\full")), 0);  // nothing could be written

  // The caller's stream keeps its reference count.
  RKBufferStream* s = new RKBufferStream();
  s->addRef();
  EXPECT_EQ(p.save(s), 1);
  EXPECT_EQ(s->addRef(), 2u);
  s->release();
  EXPECT_EQ(s->release(), 0u);
}
