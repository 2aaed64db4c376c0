// What the station's operator sees of the run events (app/run_events.hpp): on a terminal one
// live line per port, redrawn in place, that becomes the port's result line when it ends; with
// --json the events themselves, one JSON line each.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/run_events.hpp"

namespace kx {

class LogFile;

// One line per port on a terminal `width` columns wide (lines are cut to fit, so that they
// never wrap and the redraw finds them again). A port's line shows the port, a bar, the
// percent, the blocks, the time since the device was identified and the time left; its result
// line the result, the blocks, the seconds and, for a failure, the reason.
class TerminalView final : public RunEventSink {
 public:
  using Clock = std::chrono::steady_clock;
  TerminalView(LogFile& out, std::vector<std::string> ports, int width,
               std::function<Clock::time_point()> now = &Clock::now);

  void on_event(const RunEvent& event) override;
  // Draws the lines once more if they changed since the last draw (a redraw may have been
  // skipped). Nothing may have been written below them since.
  void finish();

  // One port's line as it would be drawn now, uncut (for the tests and the redraw).
  std::string line_of(std::size_t index) const;

 private:
  struct Port {
    std::string name;
    bool identified = false, ended = false;
    std::string device;  // model and firmware, once identified
    int blocks = 0, total = 0;
    Clock::time_point since{};  // identified at
    RunRecord record;           // ended: the result
  };
  void draw();

  LogFile& out_;
  std::vector<Port> ports_;
  std::size_t name_width_ = 0;
  int width_;
  std::function<Clock::time_point()> now_;
  std::size_t drawn_ = 0;  // lines drawn so far (the cursor stands below them)
  bool changed_ = false;   // since the last draw
  Clock::time_point last_draw_{};
};

// The events as JSON lines: start, identified and result as they come, progress once for each
// whole percent (and the last block). Every line is one write.
class JsonLines final : public RunEventSink {
 public:
  explicit JsonLines(LogFile& out) : out_(out) {}
  void on_event(const RunEvent& event) override;

 private:
  LogFile& out_;
  std::map<std::string, int> percent_;  // per port: the last progress percent written
};

// Passes every event on to each sink, in order.
class EventFanOut final : public RunEventSink {
 public:
  explicit EventFanOut(std::vector<RunEventSink*> sinks) : sinks_(std::move(sinks)) {}
  void on_event(const RunEvent& event) override {
    for (RunEventSink* s : sinks_) s->on_event(event);
  }

 private:
  std::vector<RunEventSink*> sinks_;
};

}  // namespace kx
