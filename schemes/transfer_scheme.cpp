// Generated wiring: elements in creation order with their properties, then the links.
#include "schemes/transfer_scheme.hpp"

#include "elements/flow/after_step.hpp"
#include "elements/flow/compare.hpp"
#include "elements/flow/counter.hpp"
#include "elements/flow/do_data.hpp"
#include "elements/flow/for.hpp"
#include "elements/flow/hub.hpp"
#include "elements/flow/if_else.hpp"
#include "elements/stream/answer_collector.hpp"
#include "elements/stream/crc16_32.hpp"
#include "elements/stream/memory_stream_element.hpp"
#include "elements/stream/stream2hex.hpp"
#include "elements/text/convertor.hpp"
#include "elements/text/data_to_file.hpp"
#include "elements/text/str_cat.hpp"
#include "elements/text/str_mask.hpp"
#include "elements/timer/mm_timer.hpp"
#include "runtime/image_layout.hpp"
#include "runtime/resource.hpp"
#include "schemes/scheme_parts.hpp"

namespace kx {

TClassMultiElementEx_2608DC0::TClassMultiElementEx_2608DC0(TKxMultiElementEx* container,
                                                           void* owner_scheme, void*)
    : owner(owner_scheme) {
  bnd = new TKxEditMultiEx();
  bnd->onWork.resize(2);
  bnd->dataVar.resize(0);

  cvByte = new TKxConvertor();
  cvByte->Mode = TKxConvertor::kByteToChar;
  cvByte->Digits = 1;

  dtfImage = new TKxDataToFile();

  cntBlock = new_counter(image_layout::kLastBlock);
  hubBlock = new_hub(2, 1);

  smAck = new TKxStrMask();
  smAck->Mask = "SZ";
  smAck->IgnoreCase = 1;

  smFinal = new TKxStrMask();
  smFinal->Mask = "FZ";
  smFinal->IgnoreCase = 1;

  hubReply = new_hub(1, 3);

  msImage = new TKxMemoryStream();
  msImage->replace_stream(load_resource_stream("STREAM0"));

  forBlock = new TKxFor();
  forBlock->Start = 0;
  forBlock->End = static_cast<std::int32_t>(image_layout::kBlockSize) - 1;
  forBlock->Step = 1;
  forBlock->IncludeEnd = 1;
  forBlock->PassData = 0;

  hubAck = new_hub(1, 2);
  hubSend = new_hub(2, 1);
  hubFinal = new_hub(1, 4);

  ddPusk = new TKxDoData();
  set_string(ddPusk->Data, "PUSK");

  crc = new TKxCRC16_32();
  crc->HexText = kCrcTextHexTidied;
  crc->Mode = kCrc16Reflected;
  crc->Polynom = "$A001";
  crc->Init = "$FFFF";
  crc->SwapBytes = 0;

  cvHex = new TKxConvertor();
  cvHex->Mode = TKxConvertor::kNumberToHex;
  cvHex->Digits = 1;

  hubByte = new_hub(1, 2);
  hubCrc = new_hub(1, 3);

  s2hReply = new TKxStream2Hex();

  scFinalMask = new TKxStrCat();
  scFinalMask->Str1 = "";
  scFinalMask->Str2 = "465A";

  hubFault = new_hub(2, 3);

  tmrWatch = new TKxMMTimer();
  tmrWatch->set_Resolution(1);
  tmrWatch->set_Interval(1000);
  tmrWatch->set_Enabled(false);
  tmrWatch->set_StopAfter(0);

  cntSeconds = new_counter(100);
  hubBegin = new_hub(1, 2);

  ifTimeout = new TKxIf_else();
  ifTimeout->Mode = kCompareEqual;
  set_integer(ifTimeout->Op2, 3);

  // Collects received runs into one answer: the CRC (while blocks remain) or the CRC
  // followed by "FZ"; after the last block only the latter.
  acReply = new TKxAnswerCollector();
  acReply->set_AnswerCount(2);
  acReply->FinalStage = image_layout::kLastBlock;

  // The watchdog starts once block 0 has been handed to the port, at the end of the click's step.
  asWatch = new TKxAfterStep();

  // Shut by the first outcome, success or failure, for good (0, then 1 however often it
  // steps): from then on no received answer and no click reaches the transfer, so nothing more
  // is sent and nothing more is reported ("PUSK" goes once).
  cntShut = new TKxCounter();
  cntShut->Value = 0;
  cntShut->Min = 1;
  cntShut->Max = 1;
  cntShut->Step = 1;
  cntShut->Down = 0;

  ifRxOpen = new TKxIf_else();
  ifRxOpen->Mode = kCompareEqual;
  set_integer(ifRxOpen->Op2, 0);

  ifClickOpen = new TKxIf_else();
  ifClickOpen->Mode = kCompareEqual;
  set_integer(ifClickOpen->Op2, 0);

  boundary = bnd;
  bnd->scheme = this;
  bnd->container = container;

  bnd->onWork[0] = make_link<&TKxIf_else::doCompare>(0, ifRxOpen);
  ifRxOpen->onTrue = make_link<&TKxAnswerCollector::doAdd>(0, acReply);
  acReply->onAnswer = make_link<&TKxHub::doEvent>(0, hubReply);
  acReply->onHeld = make_link<&TKxCounter::doReset>(2, cntSeconds);
  bnd->onWork[1] = make_link<&TKxIf_else::doCompare>(0, ifClickOpen);
  ifClickOpen->onTrue = make_link<&TKxHub::doEvent>(0, hubBegin);
  hubBegin->onEvent[0] = make_link<&TKxHub::doEvent>(1, hubBlock);
  hubBegin->onEvent[1] = make_link<&TKxAfterStep::doEvent>(0, asWatch);
  asWatch->onEvent = make_link<&TKxMMTimer::doStart>(0, tmrWatch);
  hubBlock->onEvent[0] = make_link<&TKxFor::doFor>(0, forBlock);
  forBlock->onIteration = make_link<&TKxDataToFile::doGet>(1, dtfImage);
  dtfImage->onGet = make_link<&TKxHub::doEvent>(0, hubByte);
  hubByte->onEvent[0] = make_link<&TKxConvertor::doConvert>(0, cvByte);
  hubByte->onEvent[1] = make_link<&TKxConvertor::doConvert>(0, cvHex);
  cvByte->onResult = make_link<&TKxHub::doEvent>(1, hubSend);
  ddPusk->onEventData = make_link<&TKxHub::doEvent>(0, hubSend);
  hubSend->onEvent[0] = make_link<&TKxEditMultiEx::doEvent>(1, bnd);
  cvHex->onResult = make_link<&TKxCRC16_32::doCRC>(0, crc);
  crc->onCRC = make_link<&TKxHub::doEvent>(0, hubCrc);
  hubCrc->onEvent[0] = make_link<&TKxEditMultiEx::doEvent>(4, bnd);
  hubCrc->onEvent[1] = make_link<&TKxStrCat::doStrCat>(0, scFinalMask);
  hubCrc->onEvent[2] = make_link<&TKxStrMask::doSetMask>(1, smAck);
  scFinalMask->onResult = make_link<&TKxStrMask::doSetMask>(1, smFinal);
  hubReply->onEvent[0] = make_link<&TKxStream2Hex::doConvert>(0, s2hReply);
  hubReply->onEvent[1] = make_link<&TKxEditMultiEx::doEvent>(5, bnd);
  hubReply->onEvent[2] = make_link<&TKxCounter::doReset>(2, cntSeconds);
  s2hReply->onResult = make_link<&TKxStrMask::doCompare>(0, smFinal);
  smFinal->onMatch = make_link<&TKxHub::doEvent>(0, hubFinal);
  smFinal->onNoMatch = make_link<&TKxStrMask::doCompare>(0, smAck);
  smAck->onMatch = make_link<&TKxHub::doEvent>(0, hubAck);
  smAck->onNoMatch = make_link<&TKxHub::doEvent>(0, hubFault);
  hubAck->onEvent[0] = make_link<&TKxCounter::doNext>(0, cntBlock);
  hubAck->onEvent[1] = make_link<&TKxHub::doEvent>(0, hubBlock);
  cntBlock->onCount = make_link<&TKxEditMultiEx::doEvent>(0, bnd);
  hubFinal->onEvent[0] = make_link<&TKxDoData::doData>(0, ddPusk);
  hubFinal->onEvent[1] = make_link<&TKxEditMultiEx::doEvent>(2, bnd);
  hubFinal->onEvent[2] = make_link<&TKxMMTimer::doStop>(1, tmrWatch);
  hubFinal->onEvent[3] = make_link<&TKxCounter::doNext>(0, cntShut);
  tmrWatch->onTimer = make_link<&TKxCounter::doNext>(0, cntSeconds);
  cntSeconds->onCount = make_link<&TKxIf_else::doCompare>(0, ifTimeout);
  ifTimeout->onTrue = make_link<&TKxHub::doEvent>(1, hubFault);
  hubFault->onEvent[0] = make_link<&TKxAnswerCollector::doClear>(1, acReply);
  hubFault->onEvent[1] = make_link<&TKxCounter::doNext>(0, cntShut);
  hubFault->onEvent[2] = make_link<&TKxEditMultiEx::doEvent>(3, bnd);

  dtfImage->dataStream = make_link<&TKxMemoryStream::getStream>(0, msImage);
  crc->dataInit = make_link<&TKxEditMultiEx::getVar>(0, bnd);
  scFinalMask->dataStr1 = make_link<&TKxEditMultiEx::getVar>(0, bnd);
  ifTimeout->dataOp1 = make_link<&TKxCounter::getCount>(0, cntSeconds);
  acReply->dataAnswer[0] = make_link<&TKxStrMask::getMask>(0, smFinal);
  acReply->dataAnswer[1] = make_link<&TKxStrMask::getMask>(0, smAck);
  acReply->dataStage = make_link<&TKxCounter::getCount>(0, cntBlock);
  ifRxOpen->dataOp1 = make_link<&TKxCounter::getCount>(0, cntShut);
  ifClickOpen->dataOp1 = make_link<&TKxCounter::getCount>(0, cntShut);
}

TClassMultiElementEx_2608DC0::~TClassMultiElementEx_2608DC0() {
  delete ifClickOpen;
  delete ifRxOpen;
  delete cntShut;
  delete asWatch;
  delete acReply;
  delete ifTimeout;
  delete hubBegin;
  delete cntSeconds;
  delete tmrWatch;
  delete hubFault;
  delete scFinalMask;
  delete s2hReply;
  delete hubCrc;
  delete hubByte;
  delete cvHex;
  delete crc;
  delete ddPusk;
  delete hubFinal;
  delete hubSend;
  delete hubAck;
  delete forBlock;
  delete msImage;
  delete hubReply;
  delete smFinal;
  delete smAck;
  delete hubBlock;
  delete cntBlock;
  delete dtfImage;
  delete cvByte;
  delete bnd;
}

TKxEditMultiEx* TClassMultiElementEx_2608DC0::create(TKxMultiElementEx* container,
                                                     void* parent_control, void* owner) {
  return (new TClassMultiElementEx_2608DC0(container, owner, parent_control))->boundary;
}

TClassMultiElementEx_2608DC0* TClassMultiElementEx_2608DC0::in(const TKxMultiElementEx& container) {
  return container.current ? static_cast<TClassMultiElementEx_2608DC0*>(container.current->scheme)
                           : nullptr;
}

}  // namespace kx
