// The port probe and the port watch under stress: rounds started, replaced, cancelled and
// destroyed at random, device changes while listings run, trials that hang and thread starts
// the system refuses. Meant for the sanitizer builds as much as for the plain one.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "elements/serial/port_probe.hpp"
#include "elements/serial/port_table.hpp"
#include "elements/serial/port_trials.hpp"
#include "elements/serial/port_watch.hpp"
#include "runtime/element_thread.hpp"
#include "runtime/threads.hpp"

namespace kx::serial_testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Trial opens: COM1 and COM3 open, COM2 and COM4 refuse, COM5 takes a few milliseconds, COM6
// hangs until released. Counts every trial by port.
struct Ports {
  std::mutex mutex;
  std::condition_variable cv;
  bool released = false;
  std::map<std::string, int> trials;

  bool check(const std::string& name) {
    std::unique_lock<std::mutex> lock(mutex);
    ++trials[name];
    if (name == "COM6") cv.wait(lock, [&] { return released; });
    if (name == "COM5") {
      const auto pause = std::chrono::milliseconds(1 + trials[name] % 4);
      lock.unlock();
      std::this_thread::sleep_for(pause);
    }
    return name == "COM1" || name == "COM3" || name == "COM5" || name == "COM6";
  }
  void release() {
    std::lock_guard<std::mutex> lock(mutex);
    released = true;
    cv.notify_all();
  }
  int count(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex);
    return trials[name];
  }
};

class ProbeStress : public ::testing::Test {
 protected:
  void SetUp() override {
    enable_pins();
    clear_registered_ports();
    for (int i = 1; i <= 6; ++i)
      register_port("COM" + std::to_string(i), "/dev/null/" + std::to_string(i));
  }
  void TearDown() override {
    ports->release();
    queue.run_until([] { return serial::trials_running() == 0; }, 3s);
    EXPECT_EQ(serial::trials_running(), 0u);
    queue.drain();
    clear_registered_ports();
    disable_pins();
  }
  serial::PortProbe::Check check() {
    return [p = ports](const std::string& name) { return p->check(name); };
  }

  EventQueue queue;
  ScopedElementThread scoped{&queue};
  std::shared_ptr<Ports> ports = std::make_shared<Ports>();
};

// Records what a watch fires; `alive` is cleared when its watch is destroyed, and nothing may
// arrive after that.
struct WatchLog {
  std::vector<std::string> names;
  int listed = 0, items = 0;
  bool alive = true;
  void onName(TData& d, std::uint16_t) {
    EXPECT_TRUE(alive);
    names.push_back(to_string(d));
  }
  void onListed(TData&, std::uint16_t) {
    EXPECT_TRUE(alive);
    ++listed;
  }
  void onItems(TData&, std::uint16_t) {
    EXPECT_TRUE(alive);
    ++items;
  }
};

TEST_F(ProbeStress, RoundsReplacedCancelledAndDestroyedWithAHangingTrial) {
  std::mt19937 random(7);
  const std::vector<std::string> names = {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6"};
  auto probe = std::make_unique<serial::PortProbe>(check());
  auto answered = std::make_shared<std::vector<std::string>>();
  auto done = std::make_shared<int>(0);
  const auto start_round = [&] {
    answered->clear();
    probe->start(
        names, {}, 300ms,  // a good port's trial answers in time on busy cores
        [answered](const std::string& name, bool ok) {
          answered->push_back(name + (ok ? ":1" : ":0"));
        },
        [done] { ++*done; });
  };
  const std::vector<std::string> whole = {"COM1:1", "COM2:0", "COM3:1",
                                          "COM4:0", "COM5:1", "COM6:0"};
  for (int i = 0; i < 60; ++i) {
    switch (random() % 6) {
      case 0:
        probe->cancel();
        EXPECT_FALSE(probe->running());
        break;
      case 1:
        probe = std::make_unique<serial::PortProbe>(check());
        break;
      case 2:
        thread_testing::refuse_thread_starts(1 + static_cast<int>(random() % 3));
        start_round();
        thread_testing::refuse_thread_starts(0);
        // A refused start leaves ports out (or the whole round), but the round still ends.
        ASSERT_TRUE(queue.run_until([&] { return !probe->running(); }, 2s));
        break;
      default: {
        start_round();
        const int before = *done;
        if (random() % 2 == 0) {
          queue.run_one(std::chrono::milliseconds(random() % 5));
          break;  // replaced or cancelled by the next step, or finished meanwhile
        }
        ASSERT_TRUE(queue.run_until([&] { return *done > before; }, 2s));
        EXPECT_EQ(*answered, whole);
        break;
      }
    }
  }
  probe.reset();
  queue.run_until([] { return false; }, 30ms);
  // The hanging port was tried once, however many rounds asked for it.
  EXPECT_EQ(ports->count("COM6"), 1);
  EXPECT_GT(ports->count("COM1"), 5);
}

TEST_F(ProbeStress, WatchWithDeviceChangesDuringListingsAndADestroyedWatch) {
  std::mt19937 random(11);
  for (int round = 0; round < 12; ++round) {
    WatchLog log;
    auto watch = std::make_unique<TKxPortWatch>(check());
    // Long enough that a trial of a good port answers in time on busy cores; the hanging
    // port's trial holds every listing for this long.
    watch->Timeout = 300;
    watch->onPortName = make_link<&WatchLog::onName>(0, &log);
    watch->onListed = make_link<&WatchLog::onListed>(0, &log);
    watch->onItems = make_link<&WatchLog::onItems>(0, &log);
    TData d;
    watch->doList(d, 0);
    for (int i = 0, changes = static_cast<int>(random() % 6); i < changes; ++i) {
      watch->doDeviceChange(d, 0);
      queue.run_one(std::chrono::milliseconds(random() % 8));
    }
    if (round % 4 == 3) {
      // Destroyed part-way: nothing of it arrives any more.
      watch.reset();
      log.alive = false;
      queue.run_until([] { return false; }, 30ms);
      continue;
    }
    ASSERT_TRUE(queue.run_until([&] { return log.listed == 1 && !watch->listing(); }, 3s));
    EXPECT_EQ(log.names, (std::vector<std::string>{"COM1", "COM3", "COM5"}));
    EXPECT_EQ(watch->shown(), (std::vector<std::string>{"COM1", "COM3", "COM5"}));
    EXPECT_EQ(log.items, 0);  // every later listing gave the same ports
    if (round % 4 == 2) watch->doStop(d, 0);
  }
  EXPECT_EQ(ports->count("COM6"), 1);

  // Once the hanging trial ends, the port is tried again and listed.
  ports->release();
  ASSERT_TRUE(queue.run_until([] { return serial::trials_running() == 0; }, 2s));
  WatchLog log;
  TKxPortWatch watch(check());
  watch.Timeout = 500;
  watch.onPortName = make_link<&WatchLog::onName>(0, &log);
  watch.onListed = make_link<&WatchLog::onListed>(0, &log);
  TData d;
  watch.doList(d, 0);
  ASSERT_TRUE(queue.run_until([&] { return log.listed == 1; }, 3s));
  EXPECT_EQ(log.names, (std::vector<std::string>{"COM1", "COM3", "COM5", "COM6"}));
  EXPECT_EQ(ports->count("COM6"), 2);
}

}  // namespace
}  // namespace kx::serial_testing
