#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include "document/StringList.h"

namespace {

std::string At(const CStringList& list, int32_t index) {
  const CWULString* s = list.GetAt(index);
  return s ? std::string(s->text) : std::string("<null>");
}

}  // namespace

TEST(StringList, AddGetAtAndClear) {
  CStringList list;
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_EQ(list.GetAt(0), nullptr);
  list.Add("one");
  list.Add("");
  list.Add("a text that is longer than the thirty-two byte inline buffer");
  EXPECT_EQ(list.GetCount(), 3);
  EXPECT_EQ(At(list, 0), "one");
  EXPECT_EQ(At(list, 1), "");
  EXPECT_EQ(At(list, 2), "a text that is longer than the thirty-two byte inline buffer");
  EXPECT_EQ(list.GetAt(3), nullptr);
  EXPECT_EQ(list.GetAt(-1), nullptr);
  list.Clear();
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_EQ(list.GetAt(0), nullptr);
  list.Add("again");
  EXPECT_EQ(At(list, 0), "again");
}

TEST(CommandLine, QuotedBlankAndDoubledQuote) {
  CStringList list("first \"second word\" \"a\"\"b\"");
  ASSERT_EQ(list.GetCount(), 3);
  EXPECT_EQ(At(list, 0), "first");
  EXPECT_EQ(At(list, 1), "second word");
  EXPECT_EQ(At(list, 2), "a\"b");
  CStringList quote("\"\"\"\"");
  ASSERT_EQ(quote.GetCount(), 1);
  EXPECT_EQ(At(quote, 0), "\"");
}

TEST(CommandLine, BlanksSeparateAndEmptyWordsAreDropped) {
  CStringList list("  \t /r \r\n C:\\Some\\path.vcj\t ");
  ASSERT_EQ(list.GetCount(), 2);
  EXPECT_EQ(At(list, 0), "/r");
  EXPECT_EQ(At(list, 1), "C:\\Some\\path.vcj");
  EXPECT_EQ(CStringList("").GetCount(), 0);
  EXPECT_EQ(CStringList("    ").GetCount(), 0);
  EXPECT_EQ(CStringList(nullptr).GetCount(), 0);
  // A pair of quotes alone is an empty word.
  EXPECT_EQ(CStringList("\"\" x").GetCount(), 1);
}

TEST(CommandLine, QuotesOpenAnywhereInAWord) {
  CStringList list("C:\\Program\" Files\"\\app.exe /i \"D:\\My Icons\\a b.ico\"tail");
  ASSERT_EQ(list.GetCount(), 3);
  EXPECT_EQ(At(list, 0), "C:\\Program Files\\app.exe");
  EXPECT_EQ(At(list, 1), "/i");
  EXPECT_EQ(At(list, 2), "D:\\My Icons\\a b.icotail");
}

TEST(CommandLine, UnclosedQuoteRunsToTheEnd) {
  CStringList list("a \"b c  ");
  ASSERT_EQ(list.GetCount(), 2);
  EXPECT_EQ(At(list, 1), "b c  ");
  // Outside quotes a doubled quote opens and closes: nothing is added to the word.
  CStringList pair("x\"\"y");
  ASSERT_EQ(pair.GetCount(), 1);
  EXPECT_EQ(At(pair, 0), "xy");
}

TEST(CommandLine, LastWordEndsTheText) {
  CStringList list("alpha beta");
  ASSERT_EQ(list.GetCount(), 2);
  EXPECT_EQ(At(list, 1), "beta");
  const std::string longWord(300, 'w');
  CStringList single(longWord.c_str());
  ASSERT_EQ(single.GetCount(), 1);
  EXPECT_EQ(std::strlen(single.GetAt(0)->text), 300u);
}
