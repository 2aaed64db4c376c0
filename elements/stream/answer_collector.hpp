// TKxAnswerCollector: collects the runs of received bytes that a serial driver hands on into
// one answer, and passes the answer on whole, so that a judge behind it sees what the device
// wrote however the link cut it.
//
// Two ways of knowing that an answer is complete, set by the properties:
// - by what it may be (`AnswerCount` > 0): `dataAnswer[i]` reads the hexadecimal text of each
//   answer that could be accepted now (compared ignoring letter case, as a whole). The bytes
//   collected are passed on as soon as they equal one of them, or as soon as they cannot be
//   the beginning of any of them (bytes that cannot begin an acceptable answer, and bytes
//   beyond a complete one, go on at once, to be rejected); while they are a proper beginning
//   of one, the collector waits for more. When `dataStage` reads `FinalStage`, only
//   `dataAnswer[0]` can be accepted.
// - by its end (`AnswerCount` 0): with a `LineEnd`, an answer is one line, up to and including
//   the byte `LineEnd`, and goes on once its line end has come, or once `Quiet` ms have passed
//   without a byte. A run that brings several lines gives one answer for each, in turn: what
//   follows the first line end leaves through `onRest`, to be routed again as a run of its own,
//   so the same bytes give the same answers however the link cut them. An answer holds at most
//   `MaxLength` bytes: the rest of its line is dropped (it is neither judged nor passed on). With
//   no `LineEnd`, the bytes go on after `Quiet` ms without a byte, or once `MaxLength` bytes are
//   held.
// A run that is empty (a failed read) passes on at once when nothing is held, and is ignored
// while bytes are held. The quiet time runs on the timer back-end's thread and is handed over
// to the element thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "elements/timer/mmtimer_backend.hpp"
#include "runtime/handover.hpp"
#include "runtime/pinned.hpp"
#include "runtime/tdata.hpp"

namespace kx {

class TKxAnswerCollector : Pinned {
 public:
  TKxAnswerCollector();
  // A collector on a given timer back-end (tests).
  explicit TKxAnswerCollector(std::unique_ptr<MMTimerBackend> backend);
  ~TKxAnswerCollector();
  // Another back-end for a collector a scheme made (tests end the quiet time by hand); a quiet
  // time running is stopped first.
  void use_backend(std::unique_ptr<MMTimerBackend> backend);

  // Properties.
  std::int32_t LineEnd = -1;     // the byte that ends an answer; -1: none
  std::uint32_t Quiet = 0;       // ms without a byte that end an answer; 0: none
  std::int32_t FinalStage = -1;  // the value of dataStage at which only dataAnswer[0] counts
  std::uint32_t MaxLength = 0;   // the most bytes of an answer; 0: no limit
  void set_AnswerCount(std::uint8_t n) { dataAnswer.resize(n); }

  // Data inputs.
  std::vector<EventLink> dataAnswer;  // hexadecimal text of an acceptable answer
  EventLink dataStage;                // Integer, compared with FinalStage

  // Output events.
  EventLink onAnswer;  // String: the collected answer, whole
  EventLink onHeld;    // String: a run that was kept, waiting for the rest of its answer
  // String: what followed a line end in the run that brought it, after that line's answer;
  // unconnected: the collector takes it as its next run.
  EventLink onRest;

  // index 0: a received run (String).
  void doAdd(TData& d, std::uint16_t index);
  // index 1: drops what is held; nothing fires.
  void doClear(TData& d, std::uint16_t index);
  // index 2: what is held goes on now, as at the end of the quiet time; nothing held: nothing.
  void doFlush(TData& d, std::uint16_t index);

  const std::string& held() const { return held_; }

 private:
  enum class Verdict { Complete, Wait, Reject };
  Verdict judge_answer(TData& d);
  void add_to_line(TData& d, std::string run);
  void pass_on(TData& d);
  void start_quiet();
  void stop_quiet();

  HandOver<TKxAnswerCollector> handover_;
  std::unique_ptr<MMTimerBackend> backend_;
  std::string held_;
  bool quiet_running_ = false;
  EventLink next_run_;  // doAdd of this collector: where an unconnected onRest goes
};

}  // namespace kx
