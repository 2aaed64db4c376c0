// The serial back-end: exactly the port operations the serial element needs. One
// implementation per platform (the port_*_win32.cpp files, the port_*_posix.cpp files).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kx::serial {

// How a control line (DTR or RTS) is driven while the port is open.
enum class LineControl : std::uint8_t {
  Off,
  On,
  Handshake,  // DTR: input flow control; RTS: input flow control (raised while there is room)
  Toggle,     // RTS only: raised while bytes are being sent
};

enum class Parity : std::uint8_t { None, Odd, Even, Mark, Space };
enum class StopBits : std::uint8_t { One, OneAndAHalf, Two };

struct FlowControl {
  bool cts_gates_output = false;  // output waits while CTS is off
  bool dsr_gates_output = false;  // output waits while DSR is off
  bool dsr_gates_input = false;   // bytes received while DSR is off are dropped
  bool xon_xoff_output = false;   // output stops at the XOFF byte and goes on at XON
  bool xon_xoff_input = false;    // XOFF is sent when the input queue fills, XON when it empties
  bool output_continues_after_xoff = false;  // ... even when the XOFF this side sent is unanswered
  LineControl dtr = LineControl::Off;
  LineControl rts = LineControl::Off;
  std::uint16_t xon_limit = 0;   // bytes queued below which XON is sent
  std::uint16_t xoff_limit = 0;  // free room below which XOFF is sent
  char xon_char = 0;
  char xoff_char = 0;
};

// The line's framing, error handling and flow control, in the port's own terms. Each back-end
// maps them onto its platform and keeps every setting of the driver they do not name.
struct LineSettings {
  std::uint32_t baud = 0;
  std::uint8_t data_bits = 8;  // 5 to 8
  Parity parity = Parity::None;
  StopBits stop_bits = StopBits::One;
  bool check_parity = false;              // received parity errors are reported
  std::optional<char> error_replacement;  // a byte received with a parity error becomes this one
  bool discard_null = false;              // received zero bytes are dropped
  bool abort_on_error = false;            // a line error stops reads and writes until cleared
  char event_char = 0;                    // its arrival is the "flag byte received" event
  FlowControl flow;
};

// True when every field holds a value a line can take; back-ends refuse anything else.
inline bool valid(const LineSettings& s) {
  return s.baud != 0 && s.data_bits >= 5 && s.data_bits <= 8 && s.parity <= Parity::Space &&
         s.stop_bits <= StopBits::Two && s.flow.dtr <= LineControl::Handshake &&
         s.flow.rts <= LineControl::Toggle;
}

// How long a read may wait for the bytes it asks for.
struct ReadTimeouts {
  enum class Wait : std::uint8_t {
    Bounded,    // until all bytes came, the total passed, or the gap passed after a byte
    Immediate,  // not at all: what is waiting is returned at once
    FirstByte,  // up to `constant` for the first byte, then returns with what is there
  };
  Wait wait = Wait::Bounded;
  // Bounded: the total is per_byte * the count asked for + constant (0: no total), the gap
  // the longest time between two bytes (0: none). All zero: a read waits for all its bytes.
  std::chrono::milliseconds per_byte{0};
  std::chrono::milliseconds constant{0};
  std::chrono::milliseconds gap{0};
};

// How long a write may take: per_byte * the bytes written + constant (0: no bound). A write
// that runs out of time returns with the bytes written so far.
struct WriteTimeouts {
  std::chrono::milliseconds per_byte{0};
  std::chrono::milliseconds constant{0};
};

struct Timeouts {
  ReadTimeouts read;
  WriteTimeouts write;
};

// What the reader's wait can report. Each back-end maps these onto its platform's own codes.
enum class PortEvent : std::uint8_t {
  RxChar,    // bytes were received
  RxFlag,    // the event byte (LineSettings::event_char) was received
  TxEmpty,   // the last byte of the output queue was sent
  Cts,       // the CTS line changed
  Dsr,       // the DSR line changed
  Rlsd,      // the carrier-detect line changed
  Break,     // a break was received
  Err,       // a line error (framing, overrun, parity)
  Ring,      // a ring was seen on the ring-indicator line
  Rx80Full,  // the input queue is 80 % full
};

// A set of port events: what to watch, or what a wait reported.
class PortEvents {
 public:
  constexpr PortEvents() = default;
  constexpr PortEvents(std::initializer_list<PortEvent> events) {
    for (PortEvent e : events) add(e);
  }
  constexpr PortEvents& add(PortEvent e) {
    bits_ = static_cast<std::uint16_t>(bits_ | bit(e));
    return *this;
  }
  constexpr PortEvents& add(PortEvents other) {
    bits_ = static_cast<std::uint16_t>(bits_ | other.bits_);
    return *this;
  }
  constexpr bool has(PortEvent e) const { return (bits_ & bit(e)) != 0; }
  constexpr bool has_any(PortEvents other) const { return (bits_ & other.bits_) != 0; }
  constexpr bool empty() const { return bits_ == 0; }
  friend constexpr bool operator==(PortEvents, PortEvents) = default;

 private:
  static constexpr std::uint16_t bit(PortEvent e) {
    return static_cast<std::uint16_t>(1u << static_cast<unsigned>(e));
  }
  std::uint16_t bits_ = 0;
};

// The modem's input lines, on or off.
struct ModemLines {
  bool cts = false;
  bool dsr = false;
  bool ring = false;
  bool rlsd = false;  // carrier detect
};

// The line errors seen since they were last read.
struct LineErrors {
  bool input_overflow = false;  // the input queue overflowed
  bool overrun = false;         // the receiver lost a byte before it was taken
  bool parity = false;
  bool framing = false;
  bool break_received = false;
  bool output_full = false;  // a byte was written with the output queue full
  bool io = false;           // an I/O error with the device
  bool mode = false;         // a mode the device does not support was asked for
  constexpr bool any() const {
    return input_overflow || overrun || parity || framing || break_received || output_full || io ||
           mode;
  }
};

// What a purge discards: transfers still running are ended (abort) and what waits in a queue
// is dropped (clear), for output and input each.
struct Purge {
  bool abort_output = false;
  bool abort_input = false;
  bool clear_output = false;
  bool clear_input = false;
};

enum class WaitResult {
  Event,    // `events` holds what was reported (possibly nothing when the watched set changed)
  Stopped,  // stop_waiting() was called
  Failed,   // the port is gone or the wait failed
};

// Outcome of a read or a write.
enum class Io {
  Done,     // completed; the count says how many bytes moved (a time-out may cut it short)
  Failed,   // started, then failed
  Refused,  // the call failed at once; nothing was started
};

// How long Port::close() waits for a call still running on another thread to let the handle go.
constexpr std::chrono::milliseconds kCloseGateBound{200};
// How long a back-end waits for a cancelled wait or read of the reader to end before it leaves
// it to the driver (Windows: the wait for port events and the pending read, each once more in
// the close).
constexpr std::chrono::milliseconds kCancelSettleBound{100};
// The longest Port::close() takes with a driver that answers, on every back-end.
constexpr std::chrono::milliseconds kPortCloseBound = kCloseGateBound + 2 * kCancelSettleBound;

class Port {
 public:
  virtual ~Port() = default;

  // Applies the settings; false (nothing applied) for settings that are not valid() or that the
  // driver refuses.
  virtual bool set_settings(const LineSettings& s) = 0;
  virtual bool set_queue_sizes(std::uint32_t in, std::uint32_t out) = 0;
  virtual bool purge(Purge what) = 0;
  virtual bool set_timeouts(const Timeouts& t) = 0;
  // The events the reader's wait watches for; an empty set ends the watch.
  virtual bool set_watched_events(PortEvents events) = 0;

  // Blocks until a watched event, stop_waiting() or failure. Called by one thread at a time
  // (the reader), while the other operations run on the element thread.
  virtual WaitResult wait_event(PortEvents& events) = 0;
  // Wakes a pending wait_event and makes every later one return Stopped. Thread-safe.
  virtual void stop_waiting() = 0;

  // Reads and clears the line errors; `in_queue` gets the bytes waiting to be read.
  virtual bool clear_errors(LineErrors& errors, std::uint32_t& in_queue) = 0;
  virtual bool modem_status(ModemLines& lines) = 0;
  // The bytes waiting to be read, without clearing anything (errors read on the way are kept
  // for the next clear_errors). Asked on every timer tick of the element thread: a back-end
  // answers from what its reader holds where it can, without a call to the driver.
  virtual bool queued_input(std::uint32_t& in_queue) = 0;

  virtual Io read(std::size_t count, std::string& out) = 0;
  virtual Io write(const std::string& bytes, std::size_t& written) = 0;
  // Waits, for at most `bound`, until the bytes written have left the output queue; true when
  // it is empty. A line held by flow control or a pulled adapter gives false, not a hang. (No
  // unbounded flush exists: this is how written bytes leave before a close.)
  virtual bool drain_output(std::chrono::milliseconds bound) = 0;
  // Closes the handle; every later call fails. Safe to call twice. Waits a bounded time for a
  // call still running on another thread; a call stuck in the driver keeps the handle until it
  // returns, and the handle is closed when the last holder lets the port go. With a driver that
  // answers it takes kPortCloseBound at most.
  virtual void close() = 0;

  // The operating system's error code of the last call that failed (0: none known).
  virtual int last_os_error() const = 0;
};

// Why an open failed.
enum class OpenProblem : std::uint8_t {
  None,
  NoSuchPort,
  Busy,          // held by another program
  AccessDenied,  // the user may not open it
  RateRefused,   // the port opened, but its line settings were refused
  NoThread,      // the system refused a thread to open the port or to read it
  NoAnswer,      // the driver did not answer the open within its bound
  Other,
};
struct OpenError {
  OpenProblem problem = OpenProblem::None;
  int os_error = 0;  // the operating system's code (0: none)
};
// "busy (held by another program), OS error 5"; a driver that did not answer has no code.
std::string describe(const OpenError& e);

// Opens the port by its COM name ("COM7", "com7"), exclusively, for the working handle.
// nullptr on failure, and then `why` (when given) says why.
std::unique_ptr<Port> open_port(const std::string& name, OpenError* why = nullptr);

// The installed ports, in the system's own order.
std::vector<std::string> installed_ports();

// Trial open and close: true when the port could be opened now.
bool can_open_port(const std::string& name);

// Gives the calling thread (the reader) the highest priority the platform allows.
void raise_current_thread_priority();

}  // namespace kx::serial
