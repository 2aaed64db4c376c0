// Sub-scheme containers: numbered work and events across the boundary, kept state, the refusal
// of self-destruction, removal order, and temporary instances.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/multi_element.hpp"
#include "runtime/tdata.hpp"
#include "toolkit/headless/runtime_services.hpp"

namespace kx {
namespace {

std::vector<std::string> g_log;
int g_next_id = 0;

// One element inside the test sub-scheme: a counter that answers its count in the record.
struct Inner {
  int id = 0;
  std::int32_t count = 0;
  void doCount(TData& d, std::uint16_t) {
    ++count;
    g_log.push_back("count " + std::to_string(id));
    set_integer(d, count);
  }
  void getCount(TData& d, std::uint16_t) { set_integer(d, count); }
};

// The sub-scheme: onWork[0] counts, onWork[1] leaves through the boundary's exit 0.
class TestScheme : public TClassMultiBase {
 public:
  explicit TestScheme(TKxMultiElementEx* container) {
    inner.id = ++g_next_id;
    bnd = new TKxEditMultiEx();
    bnd->container = container;
    bnd->scheme = this;
    boundary = bnd;
    bnd->onWork = {make_link<&Inner::doCount>(0, &inner),
                   make_link<&TKxEditMultiEx::doEvent>(0, bnd)};
    bnd->dataVar = {make_link<&Inner::getCount>(0, &inner)};
  }
  ~TestScheme() override {
    g_log.push_back("destroyed " + std::to_string(inner.id));
    delete bnd;
  }
  static TKxEditMultiEx* create(TKxMultiElementEx* container, void*, void*) {
    return (new TestScheme(container))->boundary;
  }

  Inner inner;
  TKxEditMultiEx* bnd = nullptr;
};

// Outside the container: asks it to remove instance 0 when the instance's exit fires.
struct Remover {
  TKxMultiElementEx* container = nullptr;
  void doRemove(TData&, std::uint16_t) {
    TData which;
    set_integer(which, 0);
    container->remove_instance(which, TKxMultiElementEx::kNoEntry);
  }
};

class Containers : public ::testing::Test {
 protected:
  void SetUp() override {
    g_log.clear();
    g_next_id = 0;
    headless::debug_messages().clear();
    enable_pins();
  }
};

TEST_F(Containers, OneKeptInstanceHoldsItsStateAndAnswersInTheRecord) {
  TKxMultiElementEx c(nullptr);
  c.set_creator(&TestScheme::create);
  ASSERT_EQ(c.instances.size(), 1u);
  ASSERT_EQ(c.current, c.instances[0]);
  TData d;
  c.doWork(d, 0);
  EXPECT_EQ(to_integer(d), 1);  // the caller sees what the inner element wrote
  c.doWork(d, 0);
  EXPECT_EQ(to_integer(d), 2);
  TData read;
  c.getVar(read, 0);
  EXPECT_EQ(to_integer(read), 2);
}

TEST_F(Containers, SelfDestructionIsRefusedUntilTheCallHasReturned) {
  TKxMultiElementEx c(nullptr);
  Remover remover{&c};
  c.onEvent = {make_link<&Remover::doRemove>(0, &remover)};
  c.set_creator(&TestScheme::create);
  TKxEditMultiEx* instance = c.current;

  TData d;
  c.doWork(d, 1);  // the instance calls out, and the outside asks to remove it meanwhile
  ASSERT_EQ(headless::debug_messages(),
            std::vector<std::string>{"Self destruction is not allowed !!!"});
  EXPECT_EQ(c.current, instance);
  EXPECT_EQ(c.instances, std::vector<TKxEditMultiEx*>{instance});
  EXPECT_TRUE(g_log.empty());

  remover.doRemove(d, 0);  // the same request once the call has returned
  EXPECT_EQ(c.current, nullptr);
  EXPECT_TRUE(c.instances.empty());
  EXPECT_EQ(g_log, std::vector<std::string>{"destroyed 1"});
  EXPECT_EQ(headless::debug_messages().size(), 1u);
}

TEST_F(Containers, ClearInstancesRemovesLastFirstCallingTheEntryOfEach) {
  TKxMultiElementEx c(nullptr);
  c.set_creator(&TestScheme::create);
  c.instances.push_back(c.create_instance());
  c.instances.push_back(c.create_instance());
  TData d;
  c.clear_instances(d, 0);
  EXPECT_EQ(g_log, (std::vector<std::string>{"count 3", "destroyed 3", "count 2", "destroyed 2",
                                             "count 1", "destroyed 1"}));
  EXPECT_EQ(c.current, nullptr);
  EXPECT_TRUE(c.instances.empty());

  // A number outside the list is ignored.
  set_integer(d, 5);
  c.remove_instance(d, 0);
  EXPECT_EQ(g_log.size(), 6u);
}

TEST_F(Containers, OnDemandEveryCallRunsOnAFreshInstance) {
  TKxMultiElementEx c(nullptr);
  c.CreateOnDemand = 1;
  c.set_creator(&TestScheme::create);
  EXPECT_TRUE(c.instances.empty());
  EXPECT_EQ(c.current, nullptr);
  TData d;
  c.doWork(d, 0);
  EXPECT_EQ(to_integer(d), 1);
  c.doWork(d, 0);
  EXPECT_EQ(to_integer(d), 1);  // no state carried over
  EXPECT_EQ(g_log, (std::vector<std::string>{"count 1", "destroyed 1", "count 2", "destroyed 2"}));
  EXPECT_TRUE(c.instances.empty());
}

TEST_F(Containers, DestructionRemovesEveryInstanceLastFirst) {
  {
    TKxMultiElementEx c(nullptr);
    c.set_creator(&TestScheme::create);
    c.instances.push_back(c.create_instance());
  }
  EXPECT_EQ(g_log, (std::vector<std::string>{"destroyed 2", "destroyed 1"}));
}

}  // namespace
}  // namespace kx
