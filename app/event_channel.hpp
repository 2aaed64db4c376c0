// The child's end of the channel a first process gives each device's process of a run of
// several ("/events=N"): the run's events go there, one line each (app/run_events.hpp). One
// implementation per platform (event_channel_posix.cpp, event_channel_win32.cpp).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "app/run_events.hpp"

namespace kx {

// Writes each line whole, on the calling thread. A channel whose reader is gone takes the lines
// silently: the process goes on with its device.
class ChannelWriter {
 public:
  virtual ~ChannelWriter() = default;
  virtual void write_line(std::string_view line) = 0;
};

// Opens the channel named by the text after "/events=": a descriptor number (POSIX) or a handle
// value (Windows) in decimal, open, inherited and a pipe. Null, and `problem` set, otherwise.
std::unique_ptr<ChannelWriter> open_channel(const std::string& name, std::string& problem);

// The run's events as lines into a channel.
class ChannelSink final : public RunEventSink {
 public:
  explicit ChannelSink(std::unique_ptr<ChannelWriter> writer) : writer_(std::move(writer)) {}
  void on_event(const RunEvent& event) override { writer_->write_line(event_line(event)); }

 private:
  std::unique_ptr<ChannelWriter> writer_;
};

// The number a channel's name gives: decimal digits only, no sign, at most `max`; false else.
bool parse_channel_name(const std::string& name, unsigned long long max, unsigned long long& out);

}  // namespace kx
