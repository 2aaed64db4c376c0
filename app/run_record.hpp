// What one device's unattended run comes to: one line of the summary.
#pragma once

#include <chrono>
#include <string>

#include "elements/serial/port_identity.hpp"

namespace kx {

class TKxUnattended;

// The firmware version the tool offers, as the summary names it.
inline constexpr const char* kOfferedFirmware = "9.1";

struct RunRecord {
  std::chrono::system_clock::time_point ended{};
  std::string time;  // when it ended as another process wrote it; empty: `ended`, local time
  std::string port;
  std::string device;    // the device the port's name led to, where it differs (Linux); "": none
  std::string model;     // the device's answer, second word ("" without one)
  std::string firmware;  // the device's answer, third word
  std::string offered = kOfferedFirmware;
  std::string result;  // "updated", "transfer failed", "no device" or "interrupted"
  int blocks = -1;     // blocks acknowledged; -1: unknown (the summary writes null)
  double seconds = 0;  // from the run's start to its result
  int exit_code = 0;
  std::string reason;            // why it failed; empty on success
  std::string selector;          // the selector that chose the port ("serial=A12345"); empty: named
  serial::PortIdentity adapter;  // the port's adapter as listed (no USB IDs: none known)
};

// The summary's result for a run cut off before its outcome (a stop signal, the session's end,
// a process that ended or was ended without telling its result); its exit code is 130.
inline constexpr const char* kInterrupted = "interrupted";

// The result word of an exit code: 0 "updated", 2 "no device", 130 "interrupted", anything else
// "transfer failed".
const char* result_of(int exit_code);

// Word `index` (from 0) of a device's answer, blank-separated, line ends dropped; "" if none.
std::string answer_word(const std::string& answer, int index);

// The record of a run that found no device on `port` and opened nothing, ending now: its result
// "no device" and why; a port named by its adapter ("serial=A12345") is also the selector.
RunRecord no_device_record(const std::string& port, const std::string& reason);

// The record of the run the driver watched on `port`, ending now.
RunRecord record_of(const TKxUnattended& driver, const std::string& port);

// The device's identification answer and the reason of a failure, as the driver knows them.
std::string device_answer_of(const TKxUnattended& driver);
std::string failure_reason_of(const TKxUnattended& driver);

}  // namespace kx
