#include <string>

#include <gtest/gtest.h>

#include "runtime/tdata.hpp"

namespace kx {
namespace {

TEST(CopyChain, BuildsHeapNodesThatOutliveTheSource) {
  TData copy;
  {
    TData third;
    set_string(third, "c");
    TData second;
    set_integer(second, 2);
    second.next = &third;
    TData first;
    set_string(first, "a");
    first.next = &second;
    copy_chain(copy, first);
    ASSERT_NE(copy.next, nullptr);
    EXPECT_NE(copy.next, &second);
    ASSERT_NE(copy.next->next, nullptr);
    EXPECT_NE(copy.next->next, &third);
    // Changing the source afterwards does not reach the copy.
    set_string(third, "changed");
  }
  EXPECT_EQ(copy.str_value, "a");
  EXPECT_EQ(copy.next->int_value, 2);
  EXPECT_EQ(copy.next->next->str_value, "c");
  EXPECT_EQ(copy.next->next->next, nullptr);
  free_chain(copy);
  EXPECT_EQ(copy.next, nullptr);
  EXPECT_EQ(copy.str_value, "a");  // the head is the caller's and stays
}

TEST(CopyChain, ANullRecordEndsTheCopy) {
  TData after;
  set_integer(after, 9);
  TData gap;  // NULL
  gap.next = &after;
  TData first;
  set_integer(first, 1);
  first.next = &gap;
  TData copy;
  copy_chain(copy, first);
  ASSERT_NE(copy.next, nullptr);
  EXPECT_EQ(kind_of(*copy.next), kNull);
  EXPECT_EQ(copy.next->next, nullptr);
  free_chain(copy);

  TData null_head;
  null_head.next = &after;
  copy_chain(copy, null_head);
  EXPECT_EQ(copy.next, nullptr);
  free_chain(copy);  // nothing to free: must not touch the source's nodes
  EXPECT_EQ(after.int_value, 9);
}

TEST(CopyChain, ReadingACopiedChainNeverFreesIt) {
  TData second;
  set_integer(second, 2);
  TData first;
  set_integer(first, 1);
  first.next = &second;
  TData owned;
  copy_chain(owned, first);
  TData reader = owned;  // shallow: shares the owned nodes
  EXPECT_EQ(read_integer(reader, unconnected_link(), 0), 1);
  EXPECT_EQ(read_integer(reader, unconnected_link(), 0), 2);
  EXPECT_EQ(read_integer(reader, unconnected_link(), 0), 0);
  ASSERT_NE(owned.next, nullptr);
  EXPECT_EQ(owned.next->int_value, 2);
  free_chain(owned);  // under the address sanitizer: exactly one release, no leak
}

TEST(CopyChain, LongChainsCopyAndFreeWithoutRecursion) {
  constexpr int kLength = 100000;
  TData head;
  set_integer(head, 0);
  TData* last = &head;
  for (int i = 1; i < kLength; ++i) {
    last->next = new TData;
    last = last->next;
    set_integer(*last, i);
  }
  TData copy;
  copy_chain(copy, head);
  int count = 0;
  long long sum = 0;
  for (const TData* p = &copy; p != nullptr; p = p->next) {
    ++count;
    sum += p->int_value;
  }
  EXPECT_EQ(count, kLength);
  EXPECT_EQ(sum, static_cast<long long>(kLength) * (kLength - 1) / 2);
  free_chain(copy);
  free_chain(head);
}

}  // namespace
}  // namespace kx
