#include "app/run_record.hpp"

#include <string_view>

#include "app/port_selector.hpp"
#include "app/unattended.hpp"

namespace kx {

std::string answer_word(const std::string& answer, int index) {
  std::string text = answer;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  int at = 0;
  std::size_t from = 0;
  for (;;) {
    const std::size_t blank = text.find(' ', from);
    if (at == index)
      return text.substr(from, blank == std::string::npos ? std::string::npos : blank - from);
    if (blank == std::string::npos) return {};
    from = blank + 1;
    ++at;
  }
}

const char* result_of(int exit_code) {
  if (exit_code == kExitUpdated || exit_code == kExitSummaryLost) return "updated";
  if (exit_code == kExitNoDevice) return "no device";
  if (exit_code == kExitInterrupted) return "interrupted";
  return "transfer failed";
}

std::string device_answer_of(const TKxUnattended& driver) {
  return driver.device_answer();
}

std::string failure_reason_of(const TKxUnattended& driver) {
  // The summary's result already says "no device".
  constexpr std::string_view kNoDevice = "no device: ";
  const std::string& reason = driver.failure_reason();
  return reason.rfind(kNoDevice, 0) == 0 ? reason.substr(kNoDevice.size()) : reason;
}

RunRecord no_device_record(const std::string& port, const std::string& reason) {
  RunRecord r;
  r.ended = std::chrono::system_clock::now();
  r.port = port;
  if (is_adapter_selector(port)) r.selector = port;
  r.exit_code = kExitNoDevice;
  r.result = result_of(r.exit_code);
  r.reason = reason;
  return r;
}

RunRecord record_of(const TKxUnattended& driver, const std::string& port) {
  RunRecord r;
  r.ended = std::chrono::system_clock::now();
  r.port = port;
  const std::string answer = device_answer_of(driver);
  if (driver.identified()) {
    r.model = answer_word(answer, 1);
    r.firmware = answer_word(answer, 2);
  }
  r.exit_code = driver.exit_code();
  r.result = result_of(r.exit_code);
  r.blocks = driver.acknowledged();
  r.seconds = driver.seconds();
  if (r.exit_code != kExitUpdated) r.reason = failure_reason_of(driver);
  r.selector = driver.Selector;
  r.adapter = driver.Adapter;
  return r;
}

}  // namespace kx
