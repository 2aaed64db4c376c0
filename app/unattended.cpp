#include "app/unattended.hpp"

#include <cstdio>

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
  if (stage_ == Stage::Identifying) log("device answered: \"" + printable(to_string(d)) + "\"");
}

void TKxUnattended::doFound(TData&, std::uint16_t) {
  if (stage_ != Stage::Identifying) return;
  stage_ = Stage::Identified;
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
  if (kind_of(d) == kNull)
    log("no device: the port could not be opened");
  else
    log("no device: the answer is not the device's");
  if (driving())
    finish(kExitNoDevice);
  else
    stage_ = Stage::Waiting;  // a person may choose another port
}

void TKxUnattended::doTimeout(TData&, std::uint16_t) {
  if (stage_ != Stage::Identifying || !driving()) return;
  char text[64];
  std::snprintf(text, sizeof text, "no device: not identified within %d s", WatchSeconds);
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
  finish(kExitTransferFailed);
}

void TKxUnattended::finish(int code) {
  stage_ = Stage::Done;
  code_ = code;
  if (!driving() || ending_) return;
  ending_ = true;
  // The result screen is shown by now; what the same step still writes leaves first.
  later([](TKxUnattended& e) { fire_null(e.onEnd); });
}

}  // namespace kx
