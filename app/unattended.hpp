// TKxUnattended: watches a run of the main window, writes the update log and keeps the exit
// code. Given a port it also drives the run without a person: it chooses the port as the port
// list would, presses the write button as a click would once the device is identified, and
// ends the program as "OK" would once the result shows (or once no device is found).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "runtime/handover.hpp"
#include "runtime/pinned.hpp"
#include "runtime/tdata.hpp"

namespace kx {

class UpdateLog;

// Exit codes of an unattended run.
enum ExitCode : int {
  kExitUpdated = 0,
  kExitTransferFailed = 1,
  kExitNoDevice = 2,
  kExitBadCommandLine = 3,
};

class TKxUnattended : Pinned {
 public:
  TKxUnattended();
  ~TKxUnattended();

  // Properties.
  std::string Port;               // the port to choose; empty: a person drives, only watch
  TData ClickData;                // what the write button's click carries
  std::int32_t TotalBlocks = 0;   // blocks of a whole transfer
  std::int32_t WatchSeconds = 0;  // how long identification may take (for the log's words)
  UpdateLog* Log = nullptr;       // not owned; none: nothing is logged

  // Outputs.
  EventLink onChoose;      // String: the port, where the port list's choice goes
  EventLink onWrite;       // ClickData, where the write button's click goes
  EventLink onEnd;         // NULL, where "OK" goes
  EventLink onWatchStart;  // NULL: identification begins, its time-out starts
  EventLink onWatchStop;   // NULL: identified, the time-out stops

  // Inputs, each beside one of the scheme's own links.
  void doChoice(TData& d, std::uint16_t index);    // a port was chosen: its name
  void doAnswer(TData& d, std::uint16_t index);    // bytes the port received
  void doFound(TData& d, std::uint16_t index);     // the device was identified
  void doNotFound(TData& d, std::uint16_t index);  // NULL: the port did not open; else the answer
  void doTimeout(TData& d, std::uint16_t index);   // identification took too long
  void doClick(TData& d, std::uint16_t index);     // the write button was clicked
  void doProgress(TData& d, std::uint16_t index);  // one more block acknowledged
  void doSuccess(TData& d, std::uint16_t index);   // the transfer succeeded
  void doFail(TData& d, std::uint16_t index);      // the transfer failed
  void doListed(TData& d, std::uint16_t index);    // the port list's first listing is over

  // Registered in the start-up list. A driving run chooses its port once the window shows and
  // the port list's first listing is over: until then a trial open may hold the port.
  static void startup(void* self);

  bool driving() const { return !Port.empty(); }
  // What the process returns: 0 when a person drives, else the outcome of the run so far.
  int exit_code() const { return driving() ? code_ : kExitUpdated; }

  // For the run's record (app/run_record.hpp): the last answer heard while identifying, the
  // outcome's reason ("" while none), whether the device was identified, the blocks
  // acknowledged, and the seconds from the driver's start to the result (or to now).
  const std::string& last_answer() const { return answer_; }
  const std::string& outcome() const { return outcome_; }
  bool identified() const { return identified_; }
  std::int32_t acknowledged() const { return acknowledged_; }
  double seconds() const;

 private:
  enum class Stage { Waiting, Identifying, Identified, Writing, Done };

  void choose_when_ready();
  void log(const std::string& text);
  void finish(int code);
  void log_progress();
  std::string blocks_and_time() const;

  Stage stage_ = Stage::Waiting;
  int code_ = kExitNoDevice;
  std::int32_t acknowledged_ = 0;
  std::int32_t next_percent_ = 10;
  std::chrono::steady_clock::time_point clicked_{};
  bool ending_ = false;
  std::string answer_, outcome_;
  std::string since_ack_;  // bytes received during the transfer since the last acknowledgement
  bool identified_ = false;
  std::chrono::steady_clock::time_point created_ = std::chrono::steady_clock::now(), ended_{};
  bool started_ = false, listed_ = false, chosen_ = false;
  // Runs `act` on the element in a later step of the element thread, as a person's action
  // would come, unless the element is gone by then.
  template <class Act>
  void later(Act act);
  HandOver<TKxUnattended> handover_;
  HandOver<TKxUnattended>::Run run_;  // one for the element's life
};

}  // namespace kx
