// The Win32 serial port: one class whose parts live in files of their own (opening and
// settings, the wait for port events, reads and writes, the port's state and line errors).
//
// No wait on an overlapped operation is unbounded: waits run in slices, and a wait or result
// that fails is taken as the port being gone. A record whose operation never completes, even
// after cancelling, is left allocated rather than freed under the driver's feet.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>

#include "elements/serial/port.hpp"
#include "runtime/pinned.hpp"

namespace kx::serial::win32 {

constexpr DWORD kSliceMs = 50;
constexpr DWORD kCancelBoundMs = 1000;
// A cancelled wait for port events that has not ended by then is left to the driver: a close
// must not wait for it (some drivers end such a wait only when the handle closes).
constexpr DWORD kWaitCancelBoundMs = static_cast<DWORD>(kCancelSettleBound.count());
constexpr ULONGLONG kNoTimeoutBoundMs = 60000;  // the driver waits for ever: we do not
constexpr ULONGLONG kMarginMs = 5000;

// One read or write: its own overlapped record, its own event and its own buffer.
struct Transfer : Pinned {
  OVERLAPPED ov{};
  std::string buffer;
  Transfer() { ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr); }
  ~Transfer() {
    if (ov.hEvent) CloseHandle(ov.hEvent);
  }
};

// The reader's wait for port events: the record and the mask the driver fills in. Allocated on
// its own so that a wait the driver never ends can be left to it.
struct WaitRecord {
  OVERLAPPED ov{};
  DWORD mask = 0;
};

class Win32Port final : public Port {
 public:
  Win32Port(HANDLE h, HANDLE wait_event);
  ~Win32Port() override;

  int last_os_error() const override { return static_cast<int>(last_error_.load()); }

  // Opening and settings (port_open_win32.cpp).
  bool set_settings(const LineSettings& s) override;
  bool set_queue_sizes(std::uint32_t in, std::uint32_t out) override;
  bool purge(Purge what) override;
  bool set_timeouts(const Timeouts& t) override;
  void close() override;

  // The wait for port events (port_wait_win32.cpp); while the reader watches for received
  // bytes only, it waits by reading (port_read_win32.cpp).
  bool set_watched_events(PortEvents events) override;
  WaitResult wait_event(PortEvents& events) override;
  void stop_waiting() override;

  // The port's state and line errors (port_state_win32.cpp).
  bool clear_errors(LineErrors& errors, std::uint32_t& in_queue) override;
  bool queued_input(std::uint32_t& in_queue) override;
  bool modem_status(ModemLines& lines) override;

  // Reads and writes (port_io_win32.cpp).
  Io read(std::size_t count, std::string& out) override;
  Io write(const std::string& bytes, std::size_t& written) override;
  bool drain_output(std::chrono::milliseconds bound) override;

 private:
  // Exclusive gate held.
  void release();

  bool usable() const { return h_ != INVALID_HANDLE_VALUE && !closed_.load(); }

  COMMTIMEOUTS timeouts();

  static ULONGLONG driver_bound(std::uint32_t multiplier, std::uint32_t constant, std::size_t count,
                                std::uint32_t interval);

  // Cancels the pending wait for port events and waits for it to end, briefly; a wait that
  // does not end is left to the driver with its record.
  void settle_wait();

  // Waiting by reading (port_read_win32.cpp). While the reader watches for received bytes only
  // and the element's reads return at once with what has come, the reader keeps an overlapped
  // ReadFile pending that the first arriving byte completes, then reads what else the queue
  // holds: one wake-up a run of bytes, with the bytes in hand. What it brought waits in the
  // inbox for the element.
  bool reads_by_waiting();
  // Whether the handle has the pending read's time-outs: the reader then waits by reading.
  bool reading();
  // The time-outs the handle gets: the element's, or while the reader waits by reading, its
  // pending read's (the first byte ends it, or the constant) with the element's write ones.
  bool apply_timeouts();
  WaitResult wait_by_reading(PortEvents& events);
  // Inbox lock held: starts the pending read of up to `count` bytes; false when the driver
  // refuses it.
  bool arm_read(DWORD count);
  // Reads `count` bytes that the input queue holds into the inbox.
  void read_queued(DWORD count);
  // Inbox lock held: takes the completed read's bytes into the inbox; false when the read
  // failed (last_error_ set). `complete` is false when it has not ended yet.
  bool collect_read(bool& complete, DWORD& moved);
  // The same, with the read's own error code (0 when it did not fail).
  bool collect_read(bool& complete, DWORD& moved, DWORD& error);
  // Cancels the pending read and waits, briefly, for it to end, keeping what it brought; a
  // read that does not end is left to the driver with its record.
  void settle_read();
  // Inbox lock held: up to `count` bytes from the inbox into `out`.
  void take_inbox(std::size_t count, std::string& out);

  // The port's state. The system tells it only together with clearing the line's error bits:
  // they are kept for the element, which hears of them at its next clear_errors.
  bool look(COMSTAT& stat);

  // Reader thread: whether the input queue holds bytes that no event reported, or that were
  // left over after a read, since the last look. Bytes nobody reads are not reported again.
  bool unreported_input();

  // Cancels a pending operation and waits, bounded, for it to complete; marks the record as
  // abandoned when it never does.
  void settle(OVERLAPPED* ov, bool* abandoned);

  // A finished transfer's record (its event included) serves the next transfer of the same
  // direction: one write per image byte would otherwise make and close an event each time.
  // Reads and writes never share a record; a record the driver may still own is never reused.
  Transfer* take(bool is_write);
  void give_back(Transfer* tr, bool is_write);

  // Starts a read or write and waits for it in slices. Frees the record unless the
  // operation could not be brought to an end; what a read brought is copied out first.
  Io run(Transfer* tr, bool is_write, DWORD len, ULONGLONG bound, DWORD& n,
         std::string* received = nullptr);

  std::mutex spare_mutex_;
  std::unique_ptr<Transfer> spare_[2];  // read, write
  std::shared_timed_mutex gate_;        // shared by every operation, exclusive for close
  std::atomic<bool> closed_{false};     // closed, though a stuck call may still hold the handle
  std::atomic<DWORD> last_error_{0};
  std::atomic<std::uint32_t> kept_errors_{0};
  std::atomic<PortEvents> watched_{};
  // Bytes the element has read so far: the reader tells new input from what was read already.
  std::atomic<std::uint64_t> consumed_{0};
  HANDLE h_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> gone_{false};
  std::mutex timeouts_mutex_;
  COMMTIMEOUTS timeouts_{};
  WaitRecord* wait_;  // the event is read by stop_waiting too; the rest by the reader only
  // The pending read and the inbox (waiting by reading). The record is the reader's; the
  // element's reads take what it brought.
  std::mutex inbox_mutex_;
  std::string inbox_;
  Transfer* read_ = nullptr;  // allocated at the first read; left to the driver when abandoned
  bool read_armed_ = false;   // a ReadFile is pending on read_ (inbox lock)
  bool read_abandoned_ = false;
  ULONGLONG read_armed_at_ = 0;
  // The handle has the pending read's time-outs (timeouts_mutex_).
  bool handle_reads_waiting_ = false;
  // Reader thread only.
  bool wait_abandoned_ = false;
  bool wait_armed_ = false;  // a WaitCommEvent is pending on the record
  int empty_completions_ = 0;
  DWORD seen_queue_ = 0;
  std::uint64_t seen_consumed_ = 0;
};

}  // namespace kx::serial::win32

namespace kx::serial {

// "\\.\" + name: the device path that opens COM10 and above as well.
std::string device_path(const std::string& name);

}  // namespace kx::serial
