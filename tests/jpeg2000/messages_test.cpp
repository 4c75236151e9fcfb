#include <gtest/gtest.h>

#include "j2k_test_support.h"
#include "kdu_messages.h"

namespace {

std::string compose_error(const std::function<void(kdu_message &)> &fn) {
  std::ostringstream sink;
  kdu_customize_errors(&sink, nullptr);
  kdu_install_exception_handler();
  try {
    kdu_error e;
    fn(e);
  } catch (kdu_exception &) {
  }
  kdu_customize_errors(nullptr, nullptr);
  kdu_install_exception_handler();
  return sink.str();
}

int warnings_seen = 0;
void count_warning() { warnings_seen++; }

}  // namespace

TEST(KduMessages, HeadingAndIndent) {
  std::string text = compose_error([](kdu_message &e) { e << "Short text " << 42 << "."; });
  EXPECT_EQ(text, "Zizeve Error:\n    Short text 42.\n");
}

TEST(KduMessages, WrapsAtSpacesAfter79Columns) {
  std::string text = compose_error([](kdu_message &e) {
    for (int i = 0; i < 30; i++) e << "word" << i << " ";
  });
  std::istringstream lines(text);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "Zizeve Error:");
  int count = 0;
  std::string joined;
  while (std::getline(lines, line)) {
    EXPECT_LE(line.size(), 79u) << line;
    EXPECT_EQ(line.compare(0, 4, "    "), 0) << line;
    EXPECT_NE(line[4], ' ') << line;
    joined += line.substr(4) + " ";
    count++;
  }
  EXPECT_GE(count, 3);
  EXPECT_EQ(folded(joined), folded(text.substr(14)));
}

TEST(KduMessages, LongWordSplitAtColumn79AndExact79Kept) {
  std::string word(100, 'x');
  std::string text = compose_error([&](kdu_message &e) { e << word; });
  EXPECT_EQ(text, "Zizeve Error:\n    " + std::string(75, 'x') + "\n    " + std::string(25, 'x') + "\n");

  std::string exact = compose_error([&](kdu_message &e) { e << std::string(75, 'y'); });
  EXPECT_EQ(exact, "Zizeve Error:\n    " + std::string(75, 'y') + "\n");
}

TEST(KduMessages, TabsIndentUntilNewlineAndNeverBeyond40) {
  std::string text = compose_error(
      [](kdu_message &e) { e << "\t" << std::string(70, 'a') << " " << std::string(10, 'b') << "\nnext"; });
  EXPECT_EQ(text,
            "Zizeve Error:\n        " + std::string(70, 'a') + "\n        " + std::string(10, 'b') + "\n    next\n");

  std::string deep = compose_error([](kdu_message &e) { e << "\t\t\t\t\t\t\t\t\t\t\t\tz"; });
  EXPECT_EQ(deep, "Zizeve Error:\n" + std::string(40, ' ') + "z\n");
}

TEST(KduMessages, WarningsWithoutSinkOrHandlerAreSilent) {
  warnings_seen = 0;
  {
    kdu_warning w;
    w << "nothing happens";
  }
  EXPECT_EQ(warnings_seen, 0);
  std::ostringstream sink;
  kdu_customize_warnings(&sink, count_warning);
  {
    kdu_warning w;
    w << "seen";
  }
  kdu_customize_warnings(nullptr, nullptr);
  EXPECT_EQ(warnings_seen, 1);
  EXPECT_EQ(sink.str(), "Zizeve Warning:\n    seen\n");
}

TEST(KduMessages, InstalledHandlerThrowsAndNestedErrorsDoNotTerminate) {
  kdu_install_exception_handler();
  kdu_install_exception_handler();  // installing twice is harmless
  // An error raised while composing another one: the inner one throws, and the outer one,
  // destroyed during unwinding, must not throw a second time.
  bool caught = false;
  try {
    kdu_error outer;
    outer << "outer";
    {
      kdu_error inner;
      inner << "inner";
    }
  } catch (kdu_exception &) {
    caught = true;
  }
  EXPECT_TRUE(caught);
}

TEST(KduMessagesDeathTest, ErrorWithoutHandlerExitsWithMinusOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
#ifdef _WIN32
  const int minusOne = -1;  // the whole 32-bit exit code
#else
  const int minusOne = 255;  // a POSIX parent sees the low byte
#endif
  EXPECT_EXIT(
      {
        kdu_customize_errors(nullptr, nullptr);
        kdu_error e;
        e << "fatal";
      },
      ::testing::ExitedWithCode(minusOne), "");
}
