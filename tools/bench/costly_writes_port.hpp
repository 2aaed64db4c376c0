// A port that charges a fixed time before every write call that carries bytes, as a USB serial
// adapter charges one frame per call; everything else goes straight to the port it wraps.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <utility>

#include "elements/serial/port.hpp"

namespace kx::bench {

class CostlyWritesPort final : public serial::Port {
 public:
  CostlyWritesPort(std::unique_ptr<serial::Port> port, std::chrono::microseconds cost)
      : port_(std::move(port)), cost_(cost) {}

  bool set_settings(const serial::LineSettings& s) override { return port_->set_settings(s); }
  bool set_queue_sizes(std::uint32_t in, std::uint32_t out) override {
    return port_->set_queue_sizes(in, out);
  }
  bool purge(serial::Purge what) override { return port_->purge(what); }
  bool set_timeouts(const serial::Timeouts& t) override { return port_->set_timeouts(t); }
  bool set_watched_events(serial::PortEvents events) override {
    return port_->set_watched_events(events);
  }
  serial::WaitResult wait_event(serial::PortEvents& events) override {
    return port_->wait_event(events);
  }
  void stop_waiting() override { port_->stop_waiting(); }
  bool clear_errors(serial::LineErrors& errors, std::uint32_t& in_queue) override {
    return port_->clear_errors(errors, in_queue);
  }
  bool modem_status(serial::ModemLines& lines) override { return port_->modem_status(lines); }
  bool queued_input(std::uint32_t& in_queue) override { return port_->queued_input(in_queue); }
  serial::Io read(std::size_t count, std::string& out) override { return port_->read(count, out); }
  serial::Io write(const std::string& bytes, std::size_t& written) override {
    // The element asks for an empty write only to learn whether the port takes writes: no frame.
    if (!bytes.empty() && cost_.count() > 0) std::this_thread::sleep_for(cost_);
    return port_->write(bytes, written);
  }
  bool drain_output(std::chrono::milliseconds bound) override { return port_->drain_output(bound); }
  void close() override { port_->close(); }
  int last_os_error() const override { return port_->last_os_error(); }

 private:
  std::unique_ptr<serial::Port> port_;
  std::chrono::microseconds cost_;
};

}  // namespace kx::bench
