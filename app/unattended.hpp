// TKxUnattended: watches a run of the main window, writes the update log and keeps the exit
// code. Given a port it also drives the run without a person: it chooses the port as the port
// list would, presses the write button as a click would once the device is identified, and
// ends the program as "OK" would once the result shows (or once no device is found).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "elements/serial/port_identity.hpp"
#include "runtime/handover.hpp"
#include "runtime/pinned.hpp"
#include "runtime/tdata.hpp"

namespace kx {

class UpdateLog;
class RunEventSink;
struct RunEvent;

// Exit codes of an unattended run.
enum ExitCode : int {
  kExitUpdated = 0,
  kExitTransferFailed = 1,
  kExitNoDevice = 2,
  kExitBadCommandLine = 3,
  // The device was updated, but its summary line could not be written (the log says why).
  kExitSummaryLost = 4,
  kExitInterrupted = 130,  // stopped by a signal (the Linux station's Ctrl-C), as shells count it
};

class TKxUnattended : Pinned {
 public:
  TKxUnattended();
  ~TKxUnattended();

  // Properties.
  std::string Port;                 // the port to choose; empty: a person drives, only watch
  std::string Name;                 // how the log, the events and the record name the port
                                    // (a device path behind Port); empty: as Port
  TData ClickData;                  // what the write button's click carries
  std::int32_t TotalBlocks = 0;     // blocks of a whole transfer
  std::int32_t WatchSeconds = 0;    // how long identification may take (for the log's words)
  std::int32_t SilenceSeconds = 0;  // how long the transfer waits for an answer (the log's words)
  UpdateLog* Log = nullptr;         // not owned; none: nothing is logged
  // Not owned; none: no events. Told the run's start (once the window shows), the device's
  // identification, each acknowledged block (progress) and the result (app/run_events.hpp).
  RunEventSink* Events = nullptr;
  // The port's own words on a failure, asked when it happens; empty or unset: none.
  std::function<std::string()> OpenFailure;  // why the port could not be opened
  std::function<std::string()> PortFailure;  // what the port reported during the transfer
  // The adapter chosen: the selector as written (empty when the port was named) and the port's
  // adapter as listed at the start (no USB IDs: none known), for the log and the record.
  std::string Selector;
  serial::PortIdentity Adapter;
  // Asked just before the port is chosen: empty while the adapter is the one chosen at the
  // start, else why not; the run then ends with no device, nothing opened. Unset: not asked.
  std::function<std::string()> AdapterCheck;
  // What went wrong with the port list's first listing (a trial that could not start).
  std::function<std::string()> ListingTrouble;

  // Data inputs.
  EventLink dataCrc;  // String: the running CRC as hexadecimal text (what the device must answer)

  // Outputs.
  EventLink onChoose;      // String: the port, where the port list's choice goes
  EventLink onWrite;       // ClickData, where the write button's click goes
  EventLink onEnd;         // NULL, where "OK" goes
  EventLink onWatchStart;  // NULL: identification begins, its time-out starts
  EventLink onWatchStop;   // NULL: identified, the time-out stops
  // NULL, at the time-out: an identification answer held, waiting for its end, is judged now.
  EventLink onJudgeHeld;

  // Inputs, each beside one of the scheme's own links.
  void doChoice(TData& d, std::uint16_t index);    // a port was chosen: its name
  void doAnswer(TData& d, std::uint16_t index);    // bytes the port received
  void doJudged(TData& d, std::uint16_t index);    // an identification answer, about to be judged
  void doFound(TData& d, std::uint16_t index);     // the device was identified
  void doNotFound(TData& d, std::uint16_t index);  // NULL: the port did not open; else the answer
  void doTimeout(TData& d, std::uint16_t index);   // identification took too long
  void doClick(TData& d, std::uint16_t index);     // the write button was clicked
  void doProgress(TData& d, std::uint16_t index);  // one more block acknowledged
  void doSuccess(TData& d, std::uint16_t index);   // the transfer succeeded
  // The transfer failed: a refused answer's hexadecimal text, or the watchdog's count (Integer).
  void doFail(TData& d, std::uint16_t index);
  void doListed(TData& d, std::uint16_t index);  // the port list's first listing is over

  // Registered in the start-up list. A driving run chooses its port once the window shows and
  // the port list's first listing is over: until then a trial open may hold the port.
  static void startup(void* self);

  // The run is stopped from outside (a signal, after the port was closed): unless it has
  // ended, it ends now with kExitInterrupted and `why` as its reason. Nothing is fired.
  void interrupt(const std::string& why);

  bool driving() const { return !Port.empty(); }
  const std::string& port_name() const { return Name.empty() ? Port : Name; }
  // What the process returns: 0 when a person drives, else the outcome of the run so far.
  int exit_code() const { return driving() ? code_ : kExitUpdated; }
  // Why the run failed, as the log says it; empty while nothing failed, and after success.
  const std::string& failure_reason() const { return reason_; }
  // The identification answer that was accepted, as received; empty until then.
  const std::string& device_answer() const { return device_answer_; }

  // For the run's record (app/run_record.hpp): whether the device was identified, the blocks
  // acknowledged, and the seconds from the driver's start to the result (or to now).
  bool identified() const { return identified_; }
  std::int32_t acknowledged() const { return acknowledged_; }
  double seconds() const;

 private:
  enum class Stage { Waiting, Identifying, Identified, Writing, Done };

  void choose_when_ready();
  void log(const std::string& text);
  void finish(int code);
  void log_progress();
  void tell(RunEvent& event);  // to Events, with the time and the port
  void tell_progress();
  std::string blocks_and_time() const;
  std::string why_failed(TData& d);
  static std::string port_words(const std::function<std::string()>& hook);

  Stage stage_ = Stage::Waiting;
  int code_ = kExitNoDevice;
  std::int32_t acknowledged_ = 0;
  std::int32_t next_percent_ = 10;
  std::chrono::steady_clock::time_point clicked_{};
  bool ending_ = false;
  bool result_told_ = false;
  bool identified_ = false;
  std::chrono::steady_clock::time_point created_ = std::chrono::steady_clock::now(), ended_{};
  bool started_ = false, listed_ = false, chosen_ = false;
  std::string heard_;          // received since the last verdict on an identification answer
  std::string refused_;        // the last identification answer refused
  int refused_count_ = 0;      // identification answers refused on this port
  std::string reason_;         // see failure_reason()
  std::string device_answer_;  // see device_answer()
  // Runs `act` on the element in a later step of the element thread, as a person's action
  // would come, unless the element is gone by then.
  template <class Act>
  void later(Act act);
  HandOver<TKxUnattended> handover_;
  HandOver<TKxUnattended>::Run run_;  // one for the element's life
};

}  // namespace kx
