#include "elements/stream/answer_collector.hpp"

#include <algorithm>
#include <utility>

#include "elements/stream/stream2hex.hpp"
#include "runtime/element_thread.hpp"

namespace kx {

namespace {

char upper_ascii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// 0: equal; 1: `text` is a proper beginning of `answer`; 2: neither (letter case ignored).
int compare_beginning(const std::string& text, const std::string& answer) {
  if (text.size() > answer.size()) return 2;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (upper_ascii(text[i]) != upper_ascii(answer[i])) return 2;
  return text.size() == answer.size() ? 0 : 1;
}

}  // namespace

TKxAnswerCollector::TKxAnswerCollector() : TKxAnswerCollector(make_mmtimer_backend()) {}

TKxAnswerCollector::TKxAnswerCollector(std::unique_ptr<MMTimerBackend> backend)
    : handover_(this),
      backend_(std::move(backend)),
      next_run_(make_link<&TKxAnswerCollector::doAdd>(0, this)) {}

TKxAnswerCollector::~TKxAnswerCollector() {
  stop_quiet();
}

void TKxAnswerCollector::use_backend(std::unique_ptr<MMTimerBackend> backend) {
  stop_quiet();
  backend_ = std::move(backend);
}

TKxAnswerCollector::Verdict TKxAnswerCollector::judge_answer(TData& d) {
  const std::string hex = bytes_to_hex(held_);
  std::size_t count = dataAnswer.size();
  if (count > 1 && dataStage.method != nullptr && read_integer(d, dataStage, 0) == FinalStage)
    count = 1;
  bool beginning = false;
  for (std::size_t i = 0; i < count; ++i) {
    const int r = compare_beginning(hex, read_string(d, dataAnswer[i], ""));
    if (r == 0) return Verdict::Complete;
    if (r == 1) beginning = true;
  }
  return beginning ? Verdict::Wait : Verdict::Reject;
}

void TKxAnswerCollector::doAdd(TData& d, std::uint16_t) {
  std::string run = to_string(d);
  if (run.empty()) {
    // A read that brought nothing (it failed, or found the bytes gone): with nothing held it is
    // judged as it stands, as a failed read always was; bytes already held keep waiting for the
    // rest of their answer, which the watchdog or the quiet time bounds. Judged as they stood, a
    // CRC alone after the last block would pass for an acknowledgement.
    if (held_.empty()) pass_on(d);
    return;
  }
  if (dataAnswer.empty() && LineEnd >= 0) {
    add_to_line(d, std::move(run));
    return;
  }
  held_ += run;
  bool complete = false;
  if (!dataAnswer.empty()) {
    complete = judge_answer(d) != Verdict::Wait;
  } else {
    complete = Quiet == 0;  // nothing to wait for
  }
  if (MaxLength != 0 && held_.size() >= MaxLength) complete = true;
  if (complete) {
    pass_on(d);
    return;
  }
  if (Quiet != 0) start_quiet();
  continue_string(d, onHeld, std::move(run));
}

void TKxAnswerCollector::add_to_line(TData& d, std::string run) {
  const std::size_t end = run.find(static_cast<char>(LineEnd & 0xFF));
  const bool line_ends = end != std::string::npos;
  std::string rest;
  if (line_ends) {
    rest = run.substr(end + 1);
    run.resize(end + 1);
  }
  // Past MaxLength bytes the line's bytes are dropped, up to its end.
  const std::size_t room =
      MaxLength == 0 ? run.size() : MaxLength - std::min<std::size_t>(held_.size(), MaxLength);
  held_.append(run, 0, std::min(room, run.size()));
  if (!line_ends) {
    if (Quiet != 0) start_quiet();
    continue_string(d, onHeld, std::move(run));
    return;
  }
  if (rest.empty()) {
    pass_on(d);
    return;
  }
  // The line goes on first, whole; then what followed it, as a run of its own.
  stop_quiet();
  std::string answer = std::move(held_);
  held_.clear();
  fire_string(onAnswer, std::move(answer));
  continue_string(d, onRest.method != nullptr ? onRest : next_run_, std::move(rest));
}

void TKxAnswerCollector::doClear(TData&, std::uint16_t) {
  stop_quiet();
  held_.clear();
}

void TKxAnswerCollector::doFlush(TData& d, std::uint16_t) {
  if (!held_.empty()) pass_on(d);
}

void TKxAnswerCollector::pass_on(TData& d) {
  stop_quiet();
  std::string answer = std::move(held_);
  held_.clear();
  continue_string(d, onAnswer, std::move(answer));
}

void TKxAnswerCollector::start_quiet() {
  // Every run starts the quiet time again.
  stop_quiet();
  // Runs on the back-end's thread: only the hand-over. A wait that was stopped or started
  // again is over, and its tick is dropped when it arrives.
  auto tick = [run = handover_.begin_run()] {
    run.post([](TKxAnswerCollector& self, const HandOver<TKxAnswerCollector>::Run&) {
      self.stop_quiet();
      std::string answer = std::move(self.held_);
      self.held_.clear();
      fire_string(self.onAnswer, std::move(answer));
    });
  };
  quiet_running_ = backend_->start(Quiet, 1, std::move(tick));
}

void TKxAnswerCollector::stop_quiet() {
  handover_.end_run();  // a hand-over already on its way is dropped when it arrives
  if (!quiet_running_) return;
  backend_->stop();
  quiet_running_ = false;
}

}  // namespace kx
