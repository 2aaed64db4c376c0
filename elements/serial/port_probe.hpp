// Trial opens of serial ports off the element thread. All ports of a round are tried at once,
// each on a thread of its own (port_trials.hpp), and each is waited for at most `bound`: an
// open that takes longer (an outgoing Bluetooth port whose partner is away, a hanging driver)
// counts as not openable; its thread finishes on its own, closes the port at once should the
// open succeed late, and no second trial of that port starts while it hangs. The answers come
// back on the element thread in the order of the names, each as soon as it and every one
// before it are known. A thread the system refuses leaves its port out (or, for the collector,
// every port) of that round; the round still ends, and the next one tries again.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/handover.hpp"
#include "runtime/pinned.hpp"
#include "runtime/threads.hpp"

namespace kx::serial {

class PortProbe : Pinned {
 public:
  using Check = std::function<bool(const std::string& name)>;
  using Answer = std::function<void(const std::string& name, bool openable)>;
  using Done = std::function<void()>;

  // `check` is the trial open (the back-end's can_open_port unless a test gives another).
  explicit PortProbe(Check check = {});
  ~PortProbe();

  // Starts a round over `names`; a name whose `known` entry is true is taken as openable
  // without a trial. A round still running is abandoned: none of its answers comes any more.
  // `answer` and then `done` run on the element thread.
  void start(std::vector<std::string> names, std::vector<bool> known,
             std::chrono::milliseconds bound, Answer answer, Done done);
  // Abandons the running round.
  void cancel();
  bool running() const { return running_; }
  // Threads the system refused to start, since the probe was made.
  std::size_t failed_starts() const { return failed_starts_; }

 private:
  struct Round;
  using Run = HandOver<PortProbe>::Run;

  void stop_collector();
  void finish();

  Check check_;
  Answer answer_;  // of the current round
  Done done_;
  // Answers go to the element thread through the current round's run.
  HandOver<PortProbe> handover_;
  std::shared_ptr<Round> round_;
  JoinedThread collector_;
  bool running_ = false;
  std::size_t failed_starts_ = 0;
};

}  // namespace kx::serial
