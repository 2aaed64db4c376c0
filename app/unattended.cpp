#include "app/unattended.hpp"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "app/escape.hpp"
#include "app/port_selector.hpp"
#include "app/run_events.hpp"
#include "app/run_record.hpp"
#include "app/update_log.hpp"
#include "elements/stream/stream2hex.hpp"

namespace kx {

namespace {

constexpr std::size_t kMaxHeard = 1024;     // bytes of an identification answer kept for the log
constexpr std::size_t kMaxShownBytes = 32;  // bytes of a refused transfer answer in the log

// "1A2B" as "1A 2B"; a long text is cut.
std::string hex_pairs(std::string_view hex) {
  std::string out;
  for (std::size_t i = 0; i < hex.size() && i < 2 * kMaxShownBytes; i += 2) {
    if (!out.empty()) out += ' ';
    out += hex.substr(i, 2);
  }
  if (hex.size() > 2 * kMaxShownBytes) out += " ...";
  return out;
}

}  // namespace

TKxUnattended::TKxUnattended() : handover_(this), run_(handover_.begin_run()) {}

TKxUnattended::~TKxUnattended() = default;

template <class Act>
void TKxUnattended::later(Act act) {
  run_.post([act](TKxUnattended& e, const HandOver<TKxUnattended>::Run&) { act(e); });
}

void TKxUnattended::startup(void* self) {
  auto* element = static_cast<TKxUnattended*>(self);
  element->started_ = true;
  RunEvent start;
  element->tell(start);
  element->later([](TKxUnattended& e) { e.choose_when_ready(); });
}

void TKxUnattended::doListed(TData&, std::uint16_t) {
  if (const std::string trouble = port_words(ListingTrouble); !trouble.empty())
    log("port list: " + trouble);
  listed_ = true;
  choose_when_ready();
}

void TKxUnattended::choose_when_ready() {
  if (!driving() || !started_ || !listed_ || chosen_) return;
  chosen_ = true;
  if (const std::string changed = port_words(AdapterCheck); !changed.empty()) {
    // Replugged since the start: another device may sit behind the name now.
    reason_ = "no device: " + changed;
    log(reason_ + "; the port is not opened");
    finish(kExitNoDevice);
    return;
  }
  fire_string(onChoose, Port);
}

void TKxUnattended::log(const std::string& text) {
  if (Log != nullptr) Log->line(text);
}

void TKxUnattended::tell(RunEvent& event) {
  if (Events == nullptr) return;
  event.time = iso8601_local(std::chrono::system_clock::now());
  event.port = port_name();
  Events->on_event(event);
}

void TKxUnattended::tell_progress() {
  RunEvent e;
  e.kind = RunEvent::Kind::Progress;
  e.blocks = acknowledged_;
  e.total = TotalBlocks;
  e.percent = TotalBlocks > 0
                  ? static_cast<int>(static_cast<std::int64_t>(acknowledged_) * 100 / TotalBlocks)
                  : 0;
  tell(e);
}

void TKxUnattended::doChoice(TData& d, std::uint16_t) {
  if (stage_ != Stage::Waiting && stage_ != Stage::Identifying) return;
  stage_ = Stage::Identifying;
  heard_.clear();
  refused_.clear();
  refused_count_ = 0;
  reason_.clear();
  std::string chosen = "port chosen: " + printable(Name.empty() ? to_string(d) : Name);
  if (!Selector.empty() && Selector != Name) chosen += " by " + printable(Selector);
  if (const std::string words = adapter_words(Adapter); !words.empty())
    chosen += ", adapter " + printable(words);
  log(chosen);
  if (driving()) fire_null(onWatchStart);
}

void TKxUnattended::doAnswer(TData& d, std::uint16_t) {
  // The identification's runs are logged (its answers are kept as they are judged); the
  // transfer's are kept until the next block is acknowledged, to say what came before a
  // failure.
  if (stage_ != Stage::Identifying && stage_ != Stage::Writing) return;
  const std::string run = to_string(d);
  if (stage_ == Stage::Identifying) {
    log("device answered: \"" + printable(run) + "\"");
    return;
  }
  heard_ += run.substr(0, kMaxHeard - std::min(heard_.size(), kMaxHeard));
}

void TKxUnattended::doJudged(TData& d, std::uint16_t) {
  // One line of what the port received, the answer that the verdict after it is about.
  if (stage_ == Stage::Identifying) heard_ = to_string(d).substr(0, kMaxHeard);
}

void TKxUnattended::doFound(TData&, std::uint16_t) {
  if (stage_ != Stage::Identifying) return;
  stage_ = Stage::Identified;
  device_answer_ = std::move(heard_);
  heard_.clear();
  reason_.clear();
  identified_ = true;
  log("device identified");
  RunEvent found;
  found.kind = RunEvent::Kind::Identified;
  found.answer = device_answer_;
  found.model = answer_word(device_answer_, 1);
  found.firmware = answer_word(device_answer_, 2);
  tell(found);
  if (!driving()) return;
  fire_null(onWatchStop);
  // Unless a person was quicker: a second click would start the transfer over.
  later([](TKxUnattended& e) {
    if (e.stage_ == Stage::Identified) fire_copy(e.onWrite, e.ClickData);
  });
}

std::string TKxUnattended::port_words(const std::function<std::string()>& hook) {
  return hook ? hook() : std::string();
}

void TKxUnattended::doNotFound(TData& d, std::uint16_t) {
  if (stage_ != Stage::Identifying) return;
  if (kind_of(d) == kNull) {
    reason_ = "no device: the port could not be opened";
    const std::string why = port_words(OpenFailure);
    if (!why.empty()) reason_ += ": " + why;
    log(reason_);
    if (driving()) finish(kExitNoDevice);
    return;
  }
  // Judged as the window judges it: a later answer within the time may still be the device's
  // (a banner or an empty line before the answer). A person may also choose another port.
  refused_ = heard_.empty() ? to_string(d) : heard_;
  heard_.clear();
  ++refused_count_;
  reason_ = "no device: the answer is not the device's: \"" + printable(refused_) + "\"";
  log("answer refused: \"" + printable(refused_) + "\"");
}

void TKxUnattended::doTimeout(TData&, std::uint16_t) {
  if (stage_ != Stage::Identifying || !driving()) return;
  // An answer already held, waiting for its end, is judged as the window would judge it.
  fire_null(onJudgeHeld);
  if (stage_ != Stage::Identifying) return;
  char text[64];
  std::snprintf(text, sizeof text, "no device: not identified within %d s", WatchSeconds);
  reason_ = text;
  if (refused_count_ > 0) {
    reason_ += "; refused: \"" + printable(refused_) + "\"";
    if (refused_count_ > 1) reason_ += " and " + std::to_string(refused_count_ - 1) + " before it";
  }
  log(reason_);
  finish(kExitNoDevice);
}

void TKxUnattended::doClick(TData&, std::uint16_t) {
  if (stage_ != Stage::Identified) return;
  stage_ = Stage::Writing;
  code_ = kExitTransferFailed;  // until the transfer reports success
  clicked_ = std::chrono::steady_clock::now();
  heard_.clear();
  log("write clicked");
}

void TKxUnattended::doProgress(TData&, std::uint16_t) {
  if (stage_ != Stage::Writing) return;
  ++acknowledged_;
  heard_.clear();
  log_progress();
  tell_progress();
}

void TKxUnattended::log_progress() {
  while (TotalBlocks > 0 && next_percent_ <= 100 &&
         static_cast<std::int64_t>(acknowledged_) * 100 >=
             static_cast<std::int64_t>(next_percent_) * TotalBlocks) {
    char text[80];
    std::snprintf(text, sizeof text, "progress %d %% (%d of %d blocks)",
                  static_cast<int>(next_percent_), static_cast<int>(acknowledged_),
                  static_cast<int>(TotalBlocks));
    log(text);
    next_percent_ += 10;
  }
}

std::string TKxUnattended::blocks_and_time() const {
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - clicked_).count();
  char text[96];
  std::snprintf(text, sizeof text, "%d of %d blocks acknowledged in %.1f s",
                static_cast<int>(acknowledged_), static_cast<int>(TotalBlocks), seconds);
  return text;
}

void TKxUnattended::doSuccess(TData&, std::uint16_t) {
  if (stage_ != Stage::Writing) return;
  ++acknowledged_;  // the final answer acknowledges the last block
  log_progress();
  tell_progress();
  reason_.clear();
  log("result: updated, " + blocks_and_time());
  finish(kExitUpdated);
}

std::string TKxUnattended::why_failed(TData& d) {
  std::string why;
  const std::string block = std::to_string(acknowledged_);
  TData scratch;  // an unconnected input leaves the failure's record alone
  std::string expected = read_string(scratch, dataCrc, "");
  if (acknowledged_ + 1 >= TotalBlocks) expected += "465A";  // after the last block
  if (kind_of(d) == kInteger) {
    const std::string silence = std::to_string(SilenceSeconds) + " s";
    if (heard_.empty())
      why = "no byte for " + silence + " after block " + block;
    else
      why = "after block " + block + ": received " + hex_pairs(bytes_to_hex(heard_)) +
            " and nothing more for " + silence + ", expected " + hex_pairs(expected);
  } else {
    const std::string received = to_string(d);
    const std::string where =
        stage_ == Stage::Writing ? "after block " + block : "before the write button";
    if (received.empty()) {
      why = where + ": a read from the port failed";
    } else {
      why = where + ": received " + hex_pairs(received);
      if (stage_ == Stage::Writing) why += ", expected " + hex_pairs(expected);
    }
  }
  const std::string port = port_words(PortFailure);
  if (!port.empty()) why += "; the port reported: " + port;
  return why;
}

void TKxUnattended::doFail(TData& d, std::uint16_t) {
  if (stage_ == Stage::Identified) {
    // Bytes before the click: the error screen shows, and the click must not follow it.
    reason_ = why_failed(d);
    log("result: transfer failed; " + reason_);
    finish(kExitTransferFailed);
    return;
  }
  if (stage_ != Stage::Writing) return;
  reason_ = why_failed(d);
  log("result: transfer failed, " + blocks_and_time() + "; " + reason_);
  finish(kExitTransferFailed);
}

void TKxUnattended::interrupt(const std::string& why) {
  if (stage_ == Stage::Done) return;
  reason_ = why;
  log("result: interrupted, " + (stage_ == Stage::Writing ? blocks_and_time() + "; " : "") + why);
  ending_ = true;  // nothing is fired: the program ends without the window's "OK"
  finish(kExitInterrupted);
}

double TKxUnattended::seconds() const {
  const auto end = stage_ == Stage::Done ? ended_ : std::chrono::steady_clock::now();
  return std::chrono::duration<double>(end - created_).count();
}

void TKxUnattended::finish(int code) {
  stage_ = Stage::Done;
  ended_ = std::chrono::steady_clock::now();
  code_ = code;
  if (Events != nullptr && !result_told_) {
    result_told_ = true;
    Events->on_event(result_event(record_of(*this, port_name())));
  }
  if (!driving() || ending_) return;
  ending_ = true;
  // The result screen is shown by now; what the same step still writes leaves first.
  later([](TKxUnattended& e) { fire_null(e.onEnd); });
}

}  // namespace kx
