#include "app/unattended.hpp"

#include <cstdio>
#include <string_view>

#include "app/update_log.hpp"

namespace kx {

TKxUnattended::TKxUnattended() : handover_(this), run_(handover_.begin_run()) {}

TKxUnattended::~TKxUnattended() = default;

template <class Act>
void TKxUnattended::later(Act act) {
  run_.post([act](TKxUnattended& e, const HandOver<TKxUnattended>::Run&) { act(e); });
}

void TKxUnattended::startup(void* self) {
  auto* element = static_cast<TKxUnattended*>(self);
  element->started_ = true;
  element->later([](TKxUnattended& e) { e.choose_when_ready(); });
}

void TKxUnattended::doListed(TData&, std::uint16_t) {
  listed_ = true;
  choose_when_ready();
}

void TKxUnattended::choose_when_ready() {
  if (!driving() || !started_ || !listed_ || chosen_) return;
  chosen_ = true;
  fire_string(onChoose, Port);
}

void TKxUnattended::log(const std::string& text) {
  if (Log != nullptr) Log->line(text);
}

void TKxUnattended::doChoice(TData& d, std::uint16_t) {
  if (stage_ != Stage::Waiting && stage_ != Stage::Identifying) return;
  stage_ = Stage::Identifying;
  log("port chosen: " + printable(to_string(d)));
  if (driving()) fire_null(onWatchStart);
}

void TKxUnattended::doAnswer(TData& d, std::uint16_t) {
  // Only the answers that identify the device; the transfer's acknowledgements are counted.
  if (stage_ == Stage::Identifying) {
    answer_ = to_string(d);
    log("device answered: \"" + printable(answer_) + "\"");
  } else if (stage_ == Stage::Writing && since_ack_.size() < 64) {
    since_ack_ += to_string(d);
  }
}

void TKxUnattended::doFound(TData&, std::uint16_t) {
  if (stage_ != Stage::Identifying) return;
  stage_ = Stage::Identified;
  identified_ = true;
  log("device identified");
  if (!driving()) return;
  fire_null(onWatchStop);
  // Unless a person was quicker: a second click would start the transfer over.
  later([](TKxUnattended& e) {
    if (e.stage_ == Stage::Identified) fire_copy(e.onWrite, e.ClickData);
  });
}

void TKxUnattended::doNotFound(TData& d, std::uint16_t) {
  if (stage_ != Stage::Identifying) return;
  if (kind_of(d) == kNull) {
    outcome_ = "the port could not be opened";
    log("no device: the port could not be opened");
  } else {
    outcome_ = "the answer is not the device's: \"" +
               printable(answer_.empty() ? to_string(d) : answer_) + "\"";
    log("no device: the answer is not the device's");
  }
  if (driving())
    finish(kExitNoDevice);
  else
    stage_ = Stage::Waiting;  // a person may choose another port
}

void TKxUnattended::doTimeout(TData&, std::uint16_t) {
  if (stage_ != Stage::Identifying || !driving()) return;
  char text[64];
  std::snprintf(text, sizeof text, "no device: not identified within %d s", WatchSeconds);
  outcome_ = text + std::string_view("no device: ").size();
  log(text);
  finish(kExitNoDevice);
}

void TKxUnattended::doClick(TData&, std::uint16_t) {
  if (stage_ != Stage::Identified) return;
  stage_ = Stage::Writing;
  code_ = kExitTransferFailed;  // until the transfer reports success
  clicked_ = std::chrono::steady_clock::now();
  log("write clicked");
}

void TKxUnattended::doProgress(TData&, std::uint16_t) {
  if (stage_ != Stage::Writing) return;
  ++acknowledged_;
  since_ack_.clear();
  log_progress();
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
  log("result: updated, " + blocks_and_time());
  finish(kExitUpdated);
}

void TKxUnattended::doFail(TData&, std::uint16_t) {
  if (stage_ != Stage::Writing) return;
  log("result: transfer failed, " + blocks_and_time());
  static const char hex[] = "0123456789ABCDEF";
  std::string heard;
  for (const char c : since_ack_) {
    const auto b = static_cast<unsigned char>(c);
    heard += heard.empty() ? "" : " ";
    heard += hex[b >> 4];
    heard += hex[b & 15];
  }
  outcome_ = "the transfer failed after " + std::to_string(acknowledged_) + " of " +
             std::to_string(TotalBlocks) + " blocks acknowledged; " +
             (heard.empty() ? std::string("nothing received since") : "then received " + heard);
  finish(kExitTransferFailed);
}

double TKxUnattended::seconds() const {
  const auto end = stage_ == Stage::Done ? ended_ : std::chrono::steady_clock::now();
  return std::chrono::duration<double>(end - created_).count();
}

void TKxUnattended::finish(int code) {
  stage_ = Stage::Done;
  ended_ = std::chrono::steady_clock::now();
  code_ = code;
  if (!driving() || ending_) return;
  ending_ = true;
  // The result screen is shown by now; what the same step still writes leaves first.
  later([](TKxUnattended& e) { fire_null(e.onEnd); });
}

}  // namespace kx
