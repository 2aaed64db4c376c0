// A port whose driver hangs where a test says (the wait for events, the drain, the close) until
// the test lets it go, and an opener that hangs the same way. A hang also ends by itself after
// a while, so that an element which waits for it without bound fails its test instead of
// hanging it. A slow port's drain and close take as long as their bounds allow, and an
// exclusive one cannot be opened while an earlier port has not been closed to the end.
#pragma once

#include <cerrno>
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
    bool slow = false, exclusive = false;
    bool released = false;
    bool waiting = false;  // a call hangs now
    bool stopped = false;  // stop_waiting was called
    int opens = 0, closes = 0, alive = 0;
    int held = 0;  // opened and not closed to the end

    // A count, read under the lock.
    int now(int Gate::*what) {
      std::lock_guard<std::mutex> lock(mutex);
      return this->*what;
    }

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
    ++gate_->held;
  }
  ~HangingPort() override {
    std::lock_guard<std::mutex> lock(gate_->mutex);
    --gate_->alive;
    if (!closed_) --gate_->held;
    gate_->cv.notify_all();
  }

  // Opens a HangingPort, after a hang when the gate says so; an exclusive port still held fails
  // the open as busy.
  static TKxComAsync::Opener opener(std::shared_ptr<Gate> gate) {
    return [gate](const std::string&, serial::OpenError* why) -> std::unique_ptr<serial::Port> {
      bool hangs = false;
      {
        std::lock_guard<std::mutex> lock(gate->mutex);
        ++gate->opens;
        if (gate->exclusive && gate->held > 0) {
          if (why) *why = {serial::OpenProblem::Busy, EBUSY};
          return nullptr;
        }
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
  bool drain_output(std::chrono::milliseconds bound) override {
    if (hangs(&Gate::hang_drain)) gate_->hang();
    if (hangs(&Gate::slow)) {
      std::this_thread::sleep_for(bound);  // a line held by flow control
      return false;
    }
    return true;
  }
  void close() override {
    {
      std::lock_guard<std::mutex> lock(gate_->mutex);
      ++gate_->closes;
      gate_->cv.notify_all();
    }
    if (hangs(&Gate::hang_close)) gate_->hang();
    if (hangs(&Gate::slow)) std::this_thread::sleep_for(serial::kPortCloseBound);
    std::lock_guard<std::mutex> lock(gate_->mutex);
    if (!closed_) --gate_->held;
    closed_ = true;
    gate_->cv.notify_all();
  }
  int last_os_error() const override { return 0; }

 private:
  bool hangs(bool Gate::*where) {
    std::lock_guard<std::mutex> lock(gate_->mutex);
    return (*gate_).*where;
  }

  std::shared_ptr<Gate> gate_;
  bool closed_ = false;  // gate lock
};

}  // namespace kx::serial_testing
