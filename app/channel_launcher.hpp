// What both platforms' launchers share: each started process's channel cut into lines, its end
// reported only after every whole line it wrote (or after a short grace when a process it
// started keeps the channel open), and the waiting loop. The platform part starts, looks at,
// listens to and ends the processes (process_launcher_win32.cpp, process_launcher_posix.cpp).
#pragma once

#include <chrono>
#include <vector>

#include "app/line_buffer.hpp"
#include "app/process_launcher.hpp"

namespace kx {

class ChannelLauncher : public ProcessLauncher {
 public:
  ProcessNews wait(std::chrono::milliseconds bound) final;
  void forget(int id) final;

 protected:
  using Clock = std::chrono::steady_clock;
  struct Child {
    LineBuffer lines;
    bool channel_open = true;
    bool ended = false, reported = false, forgotten = false;
    Clock::time_point ended_at{};
    ProcessEnd end;
  };

  // Platform: the ends of the processes not yet ended (mark_ended for each); listening for at
  // most `most` for channel bytes or a process's end, taking what the channels hold into
  // their lines (close_channel at a channel's end); closing a channel.
  virtual void look_at_ends() = 0;
  virtual void listen(Clock::duration most) = 0;
  virtual void close_channel_of(std::size_t index) = 0;

  void mark_ended(std::size_t index, bool exited, long long code);
  void close_channel(std::size_t index);
  // Whether the process still counts: started, not reported ended and not forgotten.
  bool awaited(std::size_t index) const;

  std::vector<Child> children_;

 private:
  bool ready(ProcessNews& news);
};

}  // namespace kx
