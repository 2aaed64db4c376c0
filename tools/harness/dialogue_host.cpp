#include "tools/harness/dialogue_host.hpp"

#include <utility>

#include "schemes/identification_scheme.hpp"
#include "schemes/transfer_scheme.hpp"
#include "tools/harness/tool_port.hpp"

namespace kx::harness {

void Recorder::doRecord(TData& d, std::uint16_t) {
  entries_.push_back({static_cast<std::uint8_t>(d.kind & 0x7F), to_string(d)});
}

void WriteCounter::doWrite(TData& d, std::uint16_t) {
  std::string text = to_string(d);
  ++writes;
  bytes += text.size();
  if (text.size() > longest) longest = text.size();
  last = std::move(text);
}

DialogueHost::DialogueHost(const std::string& port_name, TKxComAsync::Opener opener)
    : com(std::move(opener)) {
  set_up_as_the_tool(com);

  hubTx.InCount = 2;
  hubTx.set_OutCount(2);
  commRx.set_OutCount(2);
  mxIdent.onEvent.resize(6);
  mxFlash.onEvent.resize(6);
  mxFlash.dataVar.resize(1);

  hubTx.onEvent[0] = make_link<&WriteCounter::doWrite>(0, &written);
  hubTx.onEvent[1] = make_link<&TKxComAsync::doWrite>(2, &com);
  mxIdent.onEvent[identification_pins::kWrite] = make_link<&TKxHub::doEvent>(0, &hubTx);
  mxIdent.onEvent[identification_pins::kStatus] = make_link<&Recorder::doRecord>(0, &status);
  mxIdent.onEvent[identification_pins::kOpen] = make_link<&TKxComAsync::doOpen>(0, &com);
  mxIdent.onEvent[identification_pins::kNotFound] = make_link<&Recorder::doRecord>(0, &not_found);
  mxIdent.onEvent[identification_pins::kFound] = make_link<&Recorder::doRecord>(0, &found);
  mxIdent.onEvent[identification_pins::kRest] = make_link<&TKxCommutator::doWork>(0, &commRx);
  mxFlash.onEvent[transfer_pins::kProgress] = make_link<&Recorder::doRecord>(0, &progress);
  mxFlash.onEvent[transfer_pins::kWrite] = make_link<&TKxHub::doEvent>(1, &hubTx);
  mxFlash.onEvent[transfer_pins::kSuccess] = make_link<&Recorder::doRecord>(0, &success);
  mxFlash.onEvent[transfer_pins::kFault] = make_link<&Recorder::doRecord>(0, &failure);
  mxFlash.onEvent[transfer_pins::kCrc] = make_link<&TKxTextHolder::doText>(0, &crcText);
  commRx.onEvent[0] =
      make_link<&TKxMultiElementEx::doWork>(identification_pins::kReceived, &mxIdent);
  commRx.onEvent[1] = make_link<&TKxMultiElementEx::doWork>(transfer_pins::kReceived, &mxFlash);
  com.onRead = make_link<&TKxCommutator::doWork>(0, &commRx);
  com.onRxChar = make_link<&TKxComAsync::doRead>(3, &com);
  com.onOpen = make_link<&TKxMultiElementEx::doWork>(identification_pins::kOpened, &mxIdent);
  com.onOpening = make_link<&Recorder::doRecord>(0, &opened);

  mxFlash.dataVar[transfer_pins::kCrcText] = make_link<&TKxTextHolder::getText>(0, &crcText);
  commRx.dataChannel = make_link<&TKxMultiElementEx::getVar>(identification_pins::kRoute, &mxIdent);
  com.dataPort = make_link<&TKxEventFromData::getData>(0, &efdPort);

  mxIdent.set_creator(&TClassMultiElementEx_26088F0::create);
  mxFlash.set_creator(&TClassMultiElementEx_2608DC0::create);

  // The stored value is set directly: the pins may still be silent here.
  TData name;
  set_string(name, port_name);
  efdPort.doEvent(name, 0);
}

DialogueHost::~DialogueHost() {
  TData d;
  com.doClose(d, 1);
}

void DialogueHost::start() {
  enable_pins();
  run_startup_list();
}

void DialogueHost::choose_port() {
  TData d;
  efdPort.getData(d, 0);
  mxIdent.doWork(d, identification_pins::kChosen);
}

void DialogueHost::start_write() {
  TData d;
  set_integer(d, 0);
  mxFlash.doWork(d, transfer_pins::kClick);
}

std::int32_t DialogueHost::route() {
  TData d;
  mxIdent.getVar(d, identification_pins::kRoute);
  return to_integer(d);
}

std::string DialogueHost::crc_text() {
  return crcText.Text;
}

TClassMultiElementEx_26088F0& DialogueHost::identification() {
  return *TClassMultiElementEx_26088F0::in(mxIdent);
}

TClassMultiElementEx_2608DC0& DialogueHost::transfer() {
  return *TClassMultiElementEx_2608DC0::in(mxFlash);
}

}  // namespace kx::harness
