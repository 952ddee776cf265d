#include <gtest/gtest.h>
#include <climits>
#include <cstring>
#include <string>
#include "wul/WULError.h"
#include "wul/WULString.h"

namespace {

class Counter : public CWULObject {
public:
  int32_t HandleNotify(CWULObject* sender, int32_t code, intptr_t param) override {
    ++changes;
    return 0;
  }
  int changes = 0;
};

std::string Text(size_t n, char c = 'a') { return std::string(n, c); }

TEST(String, InlineUpToThirtyOneCharacters) {
  CWULString s;
  EXPECT_EQ(s.classCode, 1);
  EXPECT_EQ(s.text, s.inlineBuffer);
  EXPECT_STREQ(s.text, "");
  s = Text(31).c_str();
  EXPECT_EQ(s.text, s.inlineBuffer);
  EXPECT_EQ(s.capacity, 32);
  s = Text(32).c_str();
  EXPECT_NE(s.text, s.inlineBuffer);
  EXPECT_EQ(s.capacity, 64);
  EXPECT_EQ(s.GetLength(), 32);
  s = "";
  EXPECT_EQ(s.text, s.inlineBuffer);
  EXPECT_EQ(s.capacity, 32);
}

TEST(String, GrowsAndShrinksOnlyBelowAQuarter) {
  CWULString s;
  s = Text(40).c_str();
  EXPECT_EQ(s.capacity, 64);
  s = Text(10, 'b').c_str();
  EXPECT_EQ(s.capacity, 32);
  EXPECT_STREQ(s.text, "bbbbbbbbbb");
  s.SetStorageSize(512, false);
  EXPECT_EQ(s.capacity, 512);
  s = Text(100).c_str();
  EXPECT_EQ(s.capacity, 256);
  s = Text(63).c_str();  // 64 bytes: a quarter of 256 does not exceed it
  EXPECT_EQ(s.capacity, 256);
  s = Text(62).c_str();
  EXPECT_EQ(s.capacity, 128);
  EXPECT_EQ(std::string(s.text), Text(62));
}

TEST(String, StorageSizeKeepCutsAndTerminates) {
  CWULString s(Text(100).c_str());
  s.SetStorageSize(10, true);
  EXPECT_EQ(s.capacity, 32);
  EXPECT_EQ(std::string(s.text), Text(31));
  s.SetStorageSize(200, true);
  EXPECT_EQ(s.capacity, 256);
  EXPECT_EQ(std::string(s.text), Text(31));
}

TEST(String, StorageSizeWithoutKeep) {
  CWULString s("abc");
  s.SetStorageSize(20, false);  // same capacity: the text stays
  EXPECT_STREQ(s.text, "abc");
  char* buffer = s.GetBuffer(100);
  EXPECT_EQ(buffer, s.text);
  EXPECT_EQ(s.capacity, 128);
  EXPECT_STREQ(s.text, "");
  s.SetStorageSize(-5, false);
  EXPECT_EQ(s.capacity, 32);
}

TEST(String, ImpossibleSizeThrowsAndLeavesStringUnchanged) {
  Counter counter;
  CWULString s(Text(40).c_str());
  s.listener = &counter;
  char* before = s.text;
  for (int size : {INT_MAX, (1 << 30) + 1}) {
    try {
      s.SetStorageSize(size, true);
      FAIL() << size;
    } catch (const CWULError& e) {
      EXPECT_EQ(e.code, 3);
      EXPECT_STREQ(e.location, "CWULString::SetStorageSize");
      EXPECT_STREQ(e.description, "String allocation failed");
    }
    EXPECT_EQ(s.text, before);
    EXPECT_EQ(s.capacity, 64);
    EXPECT_EQ(std::string(s.text), Text(40));
  }
  EXPECT_EQ(counter.changes, 0);
}

TEST(String, AppendsGrowByDoubling) {
  CWULString s;
  int changes = 0;
  std::string expected;
  for (int i = 0; i < 1000; ++i) {
    int capacity = s.capacity;
    char c = static_cast<char>('a' + i % 26);
    s.Append(c);
    expected += c;
    if (s.capacity != capacity) {
      EXPECT_EQ(s.capacity, capacity * 2);
      ++changes;
    }
  }
  EXPECT_EQ(changes, 5);  // 64 ... 1024
  EXPECT_EQ(std::string(s.text), expected);
  CWULString t("x");
  t.Append(CWULString("yz"));
  t.Append(nullptr);
  EXPECT_STREQ(t.text, "xyz");
}

TEST(String, OwnTextAsSource) {
  CWULString s(Text(20).c_str());
  s.Append(s.text);  // grows while reading itself
  EXPECT_EQ(std::string(s.text), Text(40));
  s.Assign(Text(60, 'x').c_str());
  s.text[55] = 'y';
  s.Assign(s.text + 50);  // shrinks back to the inline buffer
  EXPECT_STREQ(s.text, "xxxxxyxxxx");
  EXPECT_EQ(s.capacity, 32);
  s = s;
  EXPECT_STREQ(s.text, "xxxxxyxxxx");
}

TEST(String, ComparisonsAndNull) {
  CWULString a, b(static_cast<const char*>(nullptr));
  EXPECT_TRUE(a.Equals(b));
  EXPECT_TRUE(a.Equals(static_cast<const char*>(nullptr)));
  a = "abc";
  EXPECT_FALSE(a.Equals(b));
  EXPECT_TRUE(a.NotEquals("ab"));
  EXPECT_FALSE(a.NotEquals("abc"));
  a.Assign(nullptr);
  EXPECT_STREQ(a.text, "");
}

TEST(String, CopyOwnsItsBuffer) {
  CWULString a(Text(40).c_str());
  CWULString b(a);
  EXPECT_NE(b.text, a.text);
  b.text[0] = 'z';
  EXPECT_EQ(a.text[0], 'a');
  CWULString c("short"), d(c);
  EXPECT_EQ(d.text, d.inlineBuffer);
  EXPECT_STREQ(d.text, "short");
}

TEST(String, TextChangesNotifyStorageChangesDoNot) {
  Counter counter;
  CWULString s;
  s.listener = &counter;
  s.SetStorageSize(300, true);
  s.GetBuffer(10);
  EXPECT_EQ(counter.changes, 0);
  s.Assign("a");
  s = "b";
  s = CWULString("c");
  s.Append("d");
  s.Append('e');
  s.Clear();
  EXPECT_EQ(counter.changes, 6);
}

}  // namespace
