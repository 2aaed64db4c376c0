#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/tdata.hpp"

namespace kx {
namespace {

std::vector<std::string> g_calls;

struct Registrant {
  std::string name;
  Registrant* registers_later = nullptr;
  static void run(void* object) {
    auto* self = static_cast<Registrant*>(object);
    g_calls.push_back(self->name);
    if (self->registers_later != nullptr) register_startup(&Registrant::run, self->registers_later);
  }
};

class StartupList : public ::testing::Test {
 protected:
  void SetUp() override {
    g_calls.clear();
    set_startup_done(false);
  }
  void TearDown() override { set_startup_done(false); }
};

TEST_F(StartupList, EmptyListStillMarksStartupDone) {
  EXPECT_FALSE(startup_done());
  run_startup_list();
  EXPECT_TRUE(startup_done());
  EXPECT_TRUE(g_calls.empty());
}

TEST_F(StartupList, RunsInOrderAndLateRegistrationsInTheSamePass) {
  Registrant late{"late"};
  Registrant late2{"late2"};
  late.registers_later = &late2;  // a registration made by a late one is also honoured
  Registrant a{"a", &late};
  Registrant b{"b"};
  Registrant c{"c"};
  register_startup(&Registrant::run, &a);
  register_startup(&Registrant::run, &b);
  register_startup(&Registrant::run, &c);
  run_startup_list();
  EXPECT_EQ(g_calls, (std::vector<std::string>{"a", "b", "c", "late", "late2"}));
  EXPECT_TRUE(startup_done());

  // The list was emptied: a second run calls only what was registered since.
  g_calls.clear();
  register_startup(&Registrant::run, &b);
  run_startup_list();
  EXPECT_EQ(g_calls, (std::vector<std::string>{"b"}));
}

TEST_F(StartupList, ManyRegistrationsFromOneHandlerSurviveTheListGrowing) {
  // Enough registrations from inside a handler to make the list reallocate under the loop.
  std::vector<Registrant> children(200);
  for (std::size_t i = 0; i < children.size(); ++i) children[i].name = std::to_string(i);
  struct Parent {
    std::vector<Registrant>* children;
    static void run(void* object) {
      g_calls.push_back("parent");
      for (auto& child : *static_cast<Parent*>(object)->children)
        register_startup(&Registrant::run, &child);
    }
  } parent{&children};
  register_startup(&Parent::run, &parent);
  run_startup_list();
  ASSERT_EQ(g_calls.size(), 201u);
  EXPECT_EQ(g_calls.front(), "parent");
  EXPECT_EQ(g_calls[1], "0");
  EXPECT_EQ(g_calls.back(), "199");
}

}  // namespace
}  // namespace kx
