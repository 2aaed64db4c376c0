// A host scheme for the identification and transfer sub-schemes, without a window: the port,
// the transmit hub, the receive commutator reading the routing counter, the text holder of the
// running CRC, and recorders in place of the status line, the progress bar and
// the outcome displays. Tests and the benchmark drive it on an EventQueue.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "elements/flow/commutator.hpp"
#include "elements/flow/event_from_data.hpp"
#include "elements/flow/hub.hpp"
#include "elements/serial/com_async.hpp"
#include "elements/text/text_holder.hpp"
#include "runtime/multi_element.hpp"
#include "runtime/tdata.hpp"

namespace kx {
class TClassMultiElementEx_26088F0;
class TClassMultiElementEx_2608DC0;
}  // namespace kx

namespace kx::harness {

// Keeps what reaches it: the kind and the text of every value.
class Recorder {
 public:
  struct Entry {
    std::uint8_t kind;
    std::string text;
  };
  void doRecord(TData& d, std::uint16_t index);
  const std::vector<Entry>& entries() const { return entries_; }
  std::size_t count() const { return entries_.size(); }
  std::string last_text() const { return entries_.empty() ? std::string() : entries_.back().text; }

 private:
  std::vector<Entry> entries_;
};

// Counts the writes and the bytes of each, without keeping them.
class WriteCounter {
 public:
  void doWrite(TData& d, std::uint16_t index);
  std::size_t writes = 0;
  std::size_t bytes = 0;
  std::size_t longest = 0;
  std::string last;
};

class DialogueHost {
 public:
  // The port name stands where the main window keeps the chosen port; `opener` (when given)
  // opens the serial element's ports.
  explicit DialogueHost(const std::string& port_name, TKxComAsync::Opener opener = {});
  ~DialogueHost();
  DialogueHost(const DialogueHost&) = delete;
  DialogueHost& operator=(const DialogueHost&) = delete;

  // Switches the pins on and runs the start-up list, as the form's start does.
  void start();
  // A port choice: identification begins (open, "VERS").
  void choose_port();
  // The write button: the transfer begins.
  void start_write();
  // The routing counter as the commutator reads it.
  std::int32_t route();
  std::string crc_text();

  TClassMultiElementEx_26088F0& identification();
  TClassMultiElementEx_2608DC0& transfer();

  TKxComAsync com;
  TKxHub hubTx;
  TKxCommutator commRx;
  TKxMultiElementEx mxIdent{nullptr};
  TKxMultiElementEx mxFlash{nullptr};
  TKxEventFromData efdPort;
  TKxTextHolder crcText{"FFFF", {}};

  Recorder status, not_found, found, progress, success, failure, opened;
  WriteCounter written;
};

}  // namespace kx::harness
