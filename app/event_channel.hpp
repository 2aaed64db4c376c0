// The child's end of the channel a first process gives each device's process of a run of
// several ("/events=N"): the run's events go there, one line each (app/run_events.hpp). One
// implementation per platform (event_channel_posix.cpp, event_channel_win32.cpp).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "app/log_file.hpp"
#include "app/queued_writer.hpp"
#include "app/run_events.hpp"

namespace kx {

// Writes the bytes whole, on the calling thread (ChannelSink calls it from its writer thread).
// A channel whose reader is gone takes them silently: the process goes on with its device.
class ChannelWriter : public LogFile {};

// Opens the channel named by the text after "/events=": a descriptor number (POSIX) or a handle
// value (Windows) in decimal, open, inherited and a pipe. Null, and `problem` set, otherwise.
std::unique_ptr<ChannelWriter> open_channel(const std::string& name, std::string& problem);

// The run's events as lines into a channel, written on a thread of their own: a first process
// that does not read for a while (it waits for the summary file's lock) holds up no device's
// run. No line is dropped: they are few and small, and the result line is the device's record.
class ChannelSink final : public RunEventSink {
 public:
  explicit ChannelSink(std::unique_ptr<ChannelWriter> writer);
  ~ChannelSink() override;  // finish()
  // Queues the event's line; returns at once.
  void on_event(const RunEvent& event) override;
  // Waits until the lines are in the channel, longer than the first process pauses its reading
  // at most; a first process that does not read by then loses them.
  void finish();

 private:
  QueuedWriter queue_;
};

// The number a channel's name gives: decimal digits only, no sign, at most `max`; false else.
bool parse_channel_name(const std::string& name, unsigned long long max, unsigned long long& out);

}  // namespace kx
