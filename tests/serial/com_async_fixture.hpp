// What every serial element test starts from: an element with the settings the tool gives its
// port, COM7 on a pseudo-terminal, and every event recorded.
#pragma once

#include <asm/termbits.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "elements/serial/com_async.hpp"
#include "elements/serial/port_probe.hpp"
#include "elements/serial/port_table.hpp"
#include "runtime/element_thread.hpp"
#include "tests/serial/pty_peer.hpp"
#include "tools/harness/tool_port.hpp"

namespace kx::serial_testing {

using namespace std::chrono_literals;
using test::PtyPeer;
using test::Recorder;
using Log = std::vector<std::string>;

// The settings the tool's main window gives its port.
using harness::set_up_as_the_tool;

// onRxChar is recorded, then passed on to the element's own doRead (as the tool wires it).
struct RxTap {
  TKxComAsync* com = nullptr;
  Recorder* rec = nullptr;
  std::uint16_t name = 0;
  void on(TData& d, std::uint16_t) {
    rec->on(d, name);
    com->doRead(d, 3);
  }
};

class ComAsyncTest : public ::testing::Test {
 protected:
  void SetUp() override {
    enable_pins();
    clear_registered_ports();
    register_port("COM7", peer.path());
    com = std::make_unique<TKxComAsync>();
    set_up_as_the_tool(*com);
    wire(*com, rec);
  }
  void TearDown() override {
    com.reset();
    queue.drain();
    clear_registered_ports();
    disable_pins();
  }

  void wire(TKxComAsync& c, Recorder& r) {
    c.onOpening = r.link("Opening");
    c.onOpen = r.link("Open");
    c.onClosing = r.link("Closing");
    c.onClosed = r.link("Closed");
    c.onCts = r.link("Cts");
    c.onDsr = r.link("Dsr");
    c.onRlsd = r.link("Rlsd");
    c.onWritten = r.link("Written");
    c.onRead = r.link("Read");
    c.onPortName = r.link("PortName");
    r.names.push_back("RxChar");
    tap = {&c, &r, static_cast<std::uint16_t>(r.names.size() - 1)};
    c.onRxChar = make_link<&RxTap::on>(0, &tap);
  }

  // Until the reader has handed an event over to the element thread (at most 3 s).
  void wait_for_handover() {
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (queue.pending() == 0 && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(1ms);
  }

  static void call_open(TKxComAsync& c, const std::string& name) {
    TData d;
    set_string(d, name);
    c.doOpen(d, 0);
  }
  static void call_close(TKxComAsync& c) {
    TData d;
    c.doClose(d, 1);
  }
  static void call_write(TKxComAsync& c, const std::string& bytes) {
    TData d;
    set_string(d, bytes);
    c.doWrite(d, 2);
  }
  static void call_read(TKxComAsync& c, std::int32_t count) {
    TData d;
    set_integer(d, count);
    c.doRead(d, 3);
  }
  static void call_list(TKxComAsync& c) {
    TData d;
    c.doPortList(d, 4);
  }

  EventQueue queue;
  ScopedElementThread scoped{&queue};
  PtyPeer peer;
  Recorder rec;
  RxTap tap;
  std::unique_ptr<TKxComAsync> com;
};

inline const Log kCloseEvents = {"Closing", "Cts:0", "Dsr:0", "Rlsd:0", "Closed"};

}  // namespace kx::serial_testing
