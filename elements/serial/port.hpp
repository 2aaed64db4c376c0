// The serial back-end: exactly the port operations the serial element needs. One
// implementation per platform (port_win32.cpp, port_posix.cpp).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kx::serial {

// Line settings in the platform's line-settings record terms. `flags` is the flag word
// (0x0001 binary ... 0x4000 abort on error); the back-end keeps every field it does not know.
struct LineSettings {
  std::uint32_t baud = 0;
  std::uint32_t flags = 0;
  std::uint16_t xon_lim = 0;
  std::uint16_t xoff_lim = 0;
  std::uint8_t byte_size = 8;
  std::uint8_t parity = 0;     // 0 none, 1 odd, 2 even, 3 mark, 4 space
  std::uint8_t stop_bits = 0;  // 0 one, 1 one and a half, 2 two
  char xon_char = 0;
  char xoff_char = 0;
  char error_char = 0;
  char evt_char = 0;
};

// Flag-word bits.
enum : std::uint32_t {
  kBinary = 0x0001,
  kParity = 0x0002,
  kOutxCtsFlow = 0x0004,
  kOutxDsrFlow = 0x0008,
  kDtrShift = 4,  // 2 bits
  kDsrSensitivity = 0x0040,
  kTxContinueOnXoff = 0x0080,
  kOutX = 0x0100,
  kInX = 0x0200,
  kErrorChar = 0x0400,
  kNullDiscard = 0x0800,
  kRtsShift = 12,  // 2 bits
  kAbortOnError = 0x4000,
};

struct Timeouts {
  std::uint32_t read_interval = 0;
  std::uint32_t read_total_multiplier = 0;
  std::uint32_t read_total_constant = 0;
  std::uint32_t write_total_multiplier = 0;
  std::uint32_t write_total_constant = 0;
};

// Port event bits (the platform's event codes).
enum : std::uint32_t {
  kEvRxChar = 0x0001,
  kEvRxFlag = 0x0002,
  kEvTxEmpty = 0x0004,
  kEvCts = 0x0008,
  kEvDsr = 0x0010,
  kEvRlsd = 0x0020,
  kEvBreak = 0x0040,
  kEvErr = 0x0080,
  kEvRing = 0x0100,
  kEvRx80Full = 0x0400,
};

// Modem status bits.
enum : std::uint32_t { kMsCts = 0x0010, kMsDsr = 0x0020, kMsRing = 0x0040, kMsRlsd = 0x0080 };

// Line error bits.
enum : std::uint32_t {
  kCeRxOver = 0x0001,
  kCeOverrun = 0x0002,
  kCeRxParity = 0x0004,
  kCeFrame = 0x0008,
  kCeBreak = 0x0010,
  kCeTxFull = 0x0100,
  kCeIoe = 0x0400,
  kCeMode = 0x8000,
};

// Purge bits.
enum : std::uint32_t {
  kPurgeTxAbort = 0x0001,
  kPurgeRxAbort = 0x0002,
  kPurgeTxClear = 0x0004,
  kPurgeRxClear = 0x0008,
};

enum class WaitResult {
  Event,    // `events` holds the reported bits (possibly 0 when the mask changed)
  Stopped,  // stop_waiting() was called
  Failed,   // the port is gone or the wait failed
};

// Outcome of a read or a write.
enum class Io {
  Done,     // completed; the count says how many bytes moved (a time-out may cut it short)
  Failed,   // started, then failed
  Refused,  // the call failed at once; nothing was started
};

class Port {
 public:
  virtual ~Port() = default;

  virtual bool get_settings(LineSettings& s) = 0;
  virtual bool set_settings(const LineSettings& s) = 0;
  virtual bool set_queue_sizes(std::uint32_t in, std::uint32_t out) = 0;
  virtual bool purge(std::uint32_t flags) = 0;
  virtual bool set_timeouts(const Timeouts& t) = 0;
  virtual bool set_event_mask(std::uint32_t mask) = 0;

  // Blocks until a watched event, stop_waiting() or failure. Called by one thread at a time
  // (the reader), while the other operations run on the element thread.
  virtual WaitResult wait_event(std::uint32_t& events) = 0;
  // Wakes a pending wait_event and makes every later one return Stopped. Thread-safe.
  virtual void stop_waiting() = 0;

  // Reads and clears the line error bits; `in_queue` gets the bytes waiting to be read.
  virtual bool clear_errors(std::uint32_t& errors, std::uint32_t& in_queue) = 0;
  virtual bool modem_status(std::uint32_t& bits) = 0;

  virtual Io read(std::size_t count, std::string& out) = 0;
  virtual Io write(const std::string& bytes, std::size_t& written) = 0;
  virtual bool flush() = 0;
  // Waits, for at most `bound`, until the bytes written have left the output queue; true when
  // it is empty. A line held by flow control or a pulled adapter gives false, not a hang.
  virtual bool drain_output(std::chrono::milliseconds bound) = 0;
  // Closes the handle; every later call fails. Safe to call twice.
  virtual void close() = 0;
};

// Opens the port by its COM name ("COM7", "com7"), exclusively, for the working handle.
// nullptr on failure.
std::unique_ptr<Port> open_port(const std::string& name);

// The installed ports, in the system's own order.
std::vector<std::string> installed_ports();

// Trial open and close: true when the port could be opened now.
bool can_open_port(const std::string& name);

// Benchmarks only: a fixed time the serial element spends before every write call, as a USB
// adapter charges one frame per call. 0 (the default): none.
void set_write_call_cost(std::chrono::microseconds cost);
std::chrono::microseconds write_call_cost();

// Gives the calling thread (the reader) the highest priority the platform allows.
void raise_current_thread_priority();

}  // namespace kx::serial
