// TKxComAsync: the serial port element. Lists the installed ports, opens one with the line
// settings of its properties, writes and reads byte strings, and while the port is open runs a
// reader thread whose port events are handed to the element thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "elements/serial/port.hpp"
#include "elements/serial/port_trials.hpp"
#include "runtime/handover.hpp"
#include "runtime/input_pending.hpp"
#include "runtime/pinned.hpp"
#include "runtime/tdata.hpp"

namespace kx {

class TKxComAsync : Pinned {
 public:
  // What opens a port: serial::open_port unless a test or a benchmark gives another.
  using Opener =
      std::function<std::unique_ptr<serial::Port>(const std::string& name, serial::OpenError*)>;

  TKxComAsync();
  // `trial` is doPortList's trial open (serial::can_open_port unless a test gives another).
  explicit TKxComAsync(Opener opener, serial::TrialCheck trial = {});
  ~TKxComAsync();

  // Properties (every one starts zero, false or empty).
  std::string Port;
  std::int32_t Baud = 0;
  // Framing and control lines, as the properties number them.
  enum : std::int32_t { kNoParity, kOddParity, kEvenParity, kMarkParity, kSpaceParity };
  enum : std::int32_t { kFiveDataBits, kSixDataBits, kSevenDataBits, kEightDataBits };
  enum : std::int32_t { kOneStopBit, kOneAndAHalfStopBits, kTwoStopBits };
  enum : std::int32_t { kLineOff, kLineOn, kLineHandshake, kRtsToggle };  // DtrControl, RtsControl
  std::int32_t Parity = kNoParity;
  std::int32_t DataBits = 0;  // data bits = DataBits + 5
  std::int32_t StopBits = kOneStopBit;
  std::int32_t EventChar = 0;
  bool DiscardNull = false;
  bool AbortOnError = false;
  bool ParityCheck = false;
  bool ErrorReplace = false;
  std::int32_t ErrorChar = 0;
  bool DsrSensitivity = false;
  bool OutxCtsFlow = false;
  bool OutxDsrFlow = false;
  bool TxContinueOnXoff = false;
  std::int32_t XoffChar = 0;
  std::int32_t XonChar = 0;
  bool InX = false;
  bool OutX = false;
  std::int32_t InQueue = 0;
  std::int32_t OutQueue = 0;
  std::int32_t RtsControl = 0;
  std::int32_t DtrControl = 0;
  bool EvRxChar = false;
  bool EvRxFlag = false;
  bool EvTxEmpty = false;
  bool EvCts = false;
  bool EvDsr = false;
  bool EvRlsd = false;
  bool EvBreak = false;
  bool EvErr = false;
  bool EvRing = false;
  bool EvRx80Full = false;
  std::uint32_t ReadIntervalTimeout = 0;
  std::uint32_t ReadTotalTimeoutConstant = 0;
  std::uint32_t ReadTotalTimeoutMultiplier = 0;
  std::uint32_t WriteTotalTimeoutConstant = 0;
  std::uint32_t WriteTotalTimeoutMultiplier = 0;
  bool CheckPorts = false;
  // Every close lets written bytes leave first, for 1 s at most; with FlushOnClose for 2 s.
  bool FlushOnClose = false;

  // Output events.
  EventLink onWritten, onRead, onPortName, onRxChar, onTxEmpty, onBreak, onRing, onRxFlag,
      onRx80Full, onCommError, onCts, onDsr, onRlsd, onOpening, onOpen, onClosing, onClosed;
  // Data inputs.
  EventLink dataPort, dataDtrControl, dataRtsControl, dataBaud;

  // Input methods (link indices 0..4). doOpen opens the port and sets it up off the element
  // thread and waits at most 1 s for it: a driver that does not answer by then fails the open
  // (the port it gives back later is closed on that thread). Before that it waits, 1 s at most,
  // for a listing's trial open or an earlier close's teardown of the same port still running.
  // doClose lets the port go off the element thread as well (the reader's stop, the bounded
  // drain, purge, close) and waits for it as long as those parts may take with a driver that
  // answers (2.1 s, 3.1 s with FlushOnClose), then goes on, leaving a hung driver's port to
  // that thread; its events come as ever, on the element thread. What doWrite is given during
  // one step of the element thread leaves in one write call when the step ends (before the
  // thread waits again), or at once when the port is closed; onWritten reports that write.
  // doPortList with CheckPorts trial-opens every port off the element thread, all at once, and
  // waits at most 1 s for the answers: a port whose trial hangs in the driver is left out.
  void doOpen(TData& d, std::uint16_t index);
  void doClose(TData& d, std::uint16_t index);
  void doWrite(TData& d, std::uint16_t index);
  void doRead(TData& d, std::uint16_t index);
  void doPortList(TData& d, std::uint16_t index);

  // Read-only views of the element's state (tests, diagnostics).
  bool is_open() const { return open_; }
  bool has_reader() const { return reader_ != nullptr; }
  serial::PortEvents watched_events() const { return watched_; }
  const std::string& port_name() const { return port_name_; }
  const std::vector<std::string>& errors() const { return errors_; }
  bool cts() const { return cts_; }
  bool dsr() const { return dsr_; }
  bool rlsd() const { return rlsd_; }
  // Write calls made on the port since the element was made, and bytes still to be written.
  std::size_t write_calls() const { return write_calls_; }
  std::size_t pending_bytes() const { return pending_.size(); }
  // Why the last open failed ("the port cannot be opened: busy (held by another program), OS
  // error 5"); empty after an open that succeeded.
  const std::string& open_failure() const { return open_failure_; }
  // The last failure of the open port: a write or read that failed, a wait for port events
  // that failed (the port was removed), a line error it reported; empty while none, and again
  // after each open.
  const std::string& port_failure() const { return port_failure_; }

  // The line settings and watched events the properties give (baud, dtr and rts already read; a
  // control-line number out of range drives the line off).
  serial::LineSettings line_settings(std::int32_t baud, std::int32_t dtr, std::int32_t rts) const;
  serial::PortEvents events_from_properties() const;
  // The port's read and write time-outs the time-out properties give. A read interval of all
  // ones with no totals returns at once; all ones for interval and multiplier with a constant
  // waits that long for the first byte only; any other values bound a read by a total and a
  // gap between bytes.
  serial::Timeouts timeouts_from_properties() const;

  // Whether input has arrived that the element has not handled yet: an event of the reader on
  // its way, or bytes in the port's queue beyond those onRxChar last reported and not read
  // since (bytes nobody reads do not count again and again). Element thread.
  bool input_pending() const;

  // Parses a port name as doOpen does: the port number 1..255, or 0 for a bad name.
  static int port_number(const std::string& name);

 private:
  struct Reader;  // the reader thread and its hand-over state

  // What the open's thread is given, and what it gives back.
  struct Setup {
    serial::LineSettings settings;
    serial::Timeouts timeouts;
    serial::PortEvents watched;
    std::uint32_t in_queue = 0, out_queue = 0;
  };
  struct Opened {
    std::unique_ptr<serial::Port> port;  // also when it opened but refused its set-up
    serial::OpenError why;               // None: opened and set up
    bool lines_known = false;
    serial::ModemLines lines;
  };

  // Element thread; `lines_known` tells whether cts_, dsr_ and rlsd_ were read.
  bool open_routine(const std::string& name, std::int32_t baud, std::int32_t rts, std::int32_t dtr,
                    bool& lines_known);
  // Off the element thread: the driver's part of the open, and of the close.
  static Opened open_and_set_up(const Opener& open, const std::string& name, const Setup& setup);
  static void tear_down(serial::Port& port, Reader* reader, bool flush);
  void close_sequence();
  // Writes what doWrite gathered during the current step, in one call.
  void write_pending();
  // Stops the reader and waits, bounded, for it to leave (the close's thread).
  static void stop_reader(serial::Port& port, Reader& reader);
  void fail_open(serial::OpenError why);
  void note_port_failure(const std::string& what, int os_error);
  bool read_modem_status();
  void line_error_check();
  // Runs on the element thread for each event the reader handed over.
  using Run = HandOver<TKxComAsync>::Run;
  void dispatch(serial::PortEvents events, const Run& run);
  // Whether the port is open and not closing, and `run` is its current opening.
  bool current(const Run& run) const;
  static void reader_main(std::shared_ptr<serial::Port> port, std::shared_ptr<Reader> reader,
                          Run run);

  std::shared_ptr<serial::Port> port_;
  bool open_ = false;
  bool closing_ = false;
  std::shared_ptr<Reader> reader_;
  serial::PortEvents watched_;
  bool cts_ = false, dsr_ = false, rlsd_ = false;
  std::string port_name_;
  serial::Timeouts timeouts_;
  std::vector<std::string> errors_;
  // Events of an opening are handed over through its run, and dropped after its close.
  HandOver<TKxComAsync> handover_{this};
  Run run_;
  std::string pending_;  // written by doWrite during this step, not yet handed to the port
  std::size_t write_calls_ = 0;
  Opener opener_;
  serial::TrialCheck trial_;
  std::string open_failure_;
  std::string port_failure_;
  std::uint32_t told_queue_ = 0;             // bytes onRxChar reported that were not read since
  std::unique_ptr<InputWatch> input_watch_;  // while open
};

}  // namespace kx
