// TKxComAsync, writes and reads: what one step of the element thread writes leaves in one
// write call when the step ends; a read takes what the port holds.
#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

#include "elements/serial/com_async.hpp"
#include "elements/serial/com_reader.hpp"
#include "runtime/element_thread.hpp"

namespace kx {

void TKxComAsync::doWrite(TData& d, std::uint16_t) {
  const std::string text = to_string(d);
  if (!open_) return;
  if (text.empty()) {
    // Nothing to gather: the port is asked as it is, and onWritten reports 0 bytes.
    std::size_t written = 0;
    if (port_->write(text, written) != serial::Io::Refused) fire_integer(onWritten, 0);
    return;
  }
  const bool first = pending_.empty();
  pending_ += text;
  if (!first) return;
  // The first bytes of a step: the write goes out when the step ends, after everything the
  // step does and before anything else runs. Without an element thread (a bare caller) it goes
  // out at once.
  if (element_thread() == nullptr) {
    write_pending();
    return;
  }
  run_.at_step_end([](TKxComAsync& self, const Run& r) {
    if (self.current(r)) self.write_pending();
  });
}

void TKxComAsync::write_pending() {
  if (pending_.empty()) return;
  const std::string bytes = std::move(pending_);
  pending_.clear();
  if (!open_ || !port_) return;
  ++write_calls_;
  std::size_t written = 0;
  switch (port_->write(bytes, written)) {
    case serial::Io::Done:
      fire_integer(onWritten, clamp_count(static_cast<std::uint32_t>(written)));
      break;
    case serial::Io::Failed:
      note_port_failure("a write failed", port_->last_os_error());
      fire_integer(onWritten, 0);
      break;
    case serial::Io::Refused:
      note_port_failure("a write was refused", port_->last_os_error());
      break;
  }
}

void TKxComAsync::doRead(TData& d, std::uint16_t) {
  const std::int32_t count = to_integer(d);
  if (!open_) return;
  std::string bytes;
  // A negative count reads nothing (it is not taken as a huge unsigned size).
  const serial::Io result = port_->read(count > 0 ? static_cast<std::size_t>(count) : 0, bytes);
  told_queue_ -= std::min<std::uint32_t>(told_queue_, static_cast<std::uint32_t>(bytes.size()));
  switch (result) {
    case serial::Io::Done:
      fire_string(onRead, std::move(bytes));
      break;
    case serial::Io::Failed:
      note_port_failure("a read failed", port_->last_os_error());
      fire_string(onRead, std::string());
      break;
    case serial::Io::Refused:
      note_port_failure("a read was refused", port_->last_os_error());
      break;
  }
}

}  // namespace kx
