// A port whose driver hangs where a test says (the wait for events, the drain, the close) until
// the test lets it go, and an opener that hangs the same way. A hang also ends by itself after
// a while, so that an element which waits for it without bound fails its test instead of
// hanging it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "elements/serial/com_async.hpp"
#include "elements/serial/port.hpp"

namespace kx::serial_testing {

class HangingPort final : public serial::Port {
 public:
  struct Gate {
    std::mutex mutex;
    std::condition_variable cv;
    // Where calls hang: the wait for events hangs and then fails (ignoring stop_waiting); the
    // others hang and then go on as a working port's would.
    bool hang_open = false, hang_wait = true, hang_drain = false, hang_close = false;
    bool released = false;
    bool waiting = false;  // a call hangs now
    bool stopped = false;  // stop_waiting was called
    int opens = 0, closes = 0, alive = 0;

    // Hangs until release() (or, at the latest, `end`).
    void hang(std::chrono::steady_clock::duration end = std::chrono::seconds(6)) {
      std::unique_lock<std::mutex> lock(mutex);
      waiting = true;
      cv.notify_all();
      cv.wait_for(lock, end, [&] { return released; });
      waiting = false;
    }
    void release() {
      std::lock_guard<std::mutex> lock(mutex);
      released = true;
      cv.notify_all();
    }
    // Until `done` holds (at most `bound`); whether it does.
    template <class Done>
    bool wait_until(Done done, std::chrono::milliseconds bound = std::chrono::seconds(3)) {
      std::unique_lock<std::mutex> lock(mutex);
      return cv.wait_for(lock, bound, done);
    }
  };

  explicit HangingPort(std::shared_ptr<Gate> gate) : gate_(std::move(gate)) {
    std::lock_guard<std::mutex> lock(gate_->mutex);
    ++gate_->alive;
  }
  ~HangingPort() override {
    std::lock_guard<std::mutex> lock(gate_->mutex);
    --gate_->alive;
    gate_->cv.notify_all();
  }

  // Opens a HangingPort, after a hang when the gate says so.
  static TKxComAsync::Opener opener(std::shared_ptr<Gate> gate) {
    return [gate](const std::string&, serial::OpenError*) {
      bool hangs = false;
      {
        std::lock_guard<std::mutex> lock(gate->mutex);
        ++gate->opens;
        hangs = gate->hang_open;
      }
      if (hangs) gate->hang();
      return std::make_unique<HangingPort>(gate);
    };
  }

  bool set_settings(const serial::LineSettings&) override { return true; }
  bool set_queue_sizes(std::uint32_t, std::uint32_t) override { return true; }
  bool purge(serial::Purge) override { return true; }
  bool set_timeouts(const serial::Timeouts&) override { return true; }
  bool set_watched_events(serial::PortEvents) override { return true; }
  serial::WaitResult wait_event(serial::PortEvents& events) override {
    events = {};
    if (hangs(&Gate::hang_wait)) {
      gate_->hang(std::chrono::hours(1));  // only the test ends it
      return serial::WaitResult::Failed;
    }
    std::unique_lock<std::mutex> lock(gate_->mutex);
    gate_->cv.wait(lock, [&] { return gate_->stopped; });
    return serial::WaitResult::Stopped;
  }
  void stop_waiting() override {
    std::lock_guard<std::mutex> lock(gate_->mutex);
    gate_->stopped = true;
    gate_->cv.notify_all();
  }
  bool clear_errors(serial::LineErrors& e, std::uint32_t& q) override {
    e = {};
    q = 0;
    return true;
  }
  bool modem_status(serial::ModemLines& lines) override {
    lines = {};
    return true;
  }
  bool queued_input(std::uint32_t& q) override {
    q = 0;
    return true;
  }
  serial::Io read(std::size_t, std::string& out) override {
    out.clear();
    return serial::Io::Done;
  }
  serial::Io write(const std::string& b, std::size_t& n) override {
    n = b.size();
    return serial::Io::Done;
  }
  bool flush() override { return true; }
  bool drain_output(std::chrono::milliseconds) override {
    if (hangs(&Gate::hang_drain)) gate_->hang();
    return true;
  }
  void close() override {
    {
      std::lock_guard<std::mutex> lock(gate_->mutex);
      ++gate_->closes;
      gate_->cv.notify_all();
    }
    if (hangs(&Gate::hang_close)) gate_->hang();
  }
  int last_os_error() const override { return 0; }

 private:
  bool hangs(bool Gate::*where) {
    std::lock_guard<std::mutex> lock(gate_->mutex);
    return (*gate_).*where;
  }

  std::shared_ptr<Gate> gate_;
};

}  // namespace kx::serial_testing
