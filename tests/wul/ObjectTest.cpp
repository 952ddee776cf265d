#include <gtest/gtest.h>
#include <cstdint>
#include "wul/WULObject.h"
#include "wul/WULString.h"

namespace {

class Recorder : public CWULObject {
public:
  int32_t HandleNotify(CWULObject* s, int32_t c, intptr_t p) override {
    ++calls;
    sender = s;
    code = c;
    param = p;
    return 42;
  }
  int calls = 0;
  CWULObject* sender = nullptr;
  int32_t code = -1;
  intptr_t param = -1;
};

TEST(Object, NotifyWithoutListenerReturnsZero) {
  CWULObject object;
  EXPECT_EQ(object.classCode, 0);
  EXPECT_EQ(object.Notify(1, 5), 0);
  EXPECT_EQ(CWULObject::NotifyTo(&object, nullptr, 1, 2), 0);
}

TEST(Object, NotifyReportsSenderCodeAndPointerParam) {
  Recorder listener;
  CWULObject object;
  object.listener = &listener;
  // A pointer must pass unchanged on 64-bit builds too.
  EXPECT_EQ(object.Notify(1, reinterpret_cast<intptr_t>(&listener)), 42);
  EXPECT_EQ(listener.sender, &object);
  EXPECT_EQ(listener.code, 1);
  EXPECT_EQ(reinterpret_cast<Recorder*>(listener.param), &listener);
  object.NotifyChanged();
  EXPECT_EQ(listener.code, 0);
  EXPECT_EQ(listener.param, 0);
  CWULObject::NotifyTo(nullptr, &listener, 2);
  EXPECT_EQ(listener.sender, nullptr);
  EXPECT_EQ(listener.code, 2);
  EXPECT_EQ(listener.calls, 3);
}

TEST(Object, CopyKeepsKindButNotListener) {
  Recorder listener, other;
  CWULString source("x");
  source.listener = &listener;
  CWULString copy(source);
  EXPECT_EQ(copy.classCode, WUL_CLASS_STRING);
  EXPECT_EQ(copy.listener, nullptr);
  copy.Assign("changed");
  EXPECT_EQ(listener.calls, 0);
  copy.listener = &other;
  copy = source;  // assignment keeps the target's own listener
  EXPECT_EQ(copy.listener, &other);
  EXPECT_EQ(other.calls, 1);
}

TEST(Object, ListenerChain) {
  CWULObject a, b, c, outsider;
  a.listener = &b;
  b.listener = &c;
  EXPECT_TRUE(c.IsInListenerChainOf(&a));
  EXPECT_FALSE(a.IsInListenerChainOf(&a));  // the start does not count
  EXPECT_FALSE(a.IsInListenerChainOf(&c));
  EXPECT_FALSE(a.IsInListenerChainOf(nullptr));
  // A cycle ends the search.
  c.listener = &b;
  EXPECT_FALSE(outsider.IsInListenerChainOf(&a));
  EXPECT_TRUE(c.IsInListenerChainOf(&a));
  c.listener = &a;
  EXPECT_TRUE(a.IsInListenerChainOf(&a));
}

// An owner that hears its caption change and reports upwards.
class Owner : public CWULObject {
public:
  Owner() { caption.listener = this; }
  int32_t HandleNotify(CWULObject* sender, int32_t code, intptr_t param) override {
    if (sender == &caption)
      ++captionChanges;
    return NotifyChanged();
  }
  CWULString caption;
  int captionChanges = 0;
};

TEST(Object, ChangeTravelsUpTheListenerChain) {
  Recorder top;
  Owner owner;
  owner.listener = &top;
  owner.caption = "File";
  owner.caption.Append(" menu");
  EXPECT_EQ(owner.captionChanges, 2);
  EXPECT_EQ(top.calls, 2);
  EXPECT_EQ(top.sender, &owner);
}

}  // namespace
