// Generated wiring: elements in creation order with their properties, then the links.
#include "schemes/identification_scheme.hpp"

#include "elements/flow/case.hpp"
#include "elements/flow/counter.hpp"
#include "elements/flow/do_data.hpp"
#include "elements/flow/hub.hpp"
#include "elements/stream/answer_collector.hpp"
#include "elements/text/format_str.hpp"
#include "elements/text/multi_str_part.hpp"
#include "elements/text/str_mask.hpp"
#include "schemes/scheme_parts.hpp"

namespace kx {

TClassMultiElementEx_26088F0::TClassMultiElementEx_26088F0(TKxMultiElementEx* container,
                                                           void* owner_scheme, void*)
    : owner(owner_scheme) {
  bnd = new TKxEditMultiEx();
  bnd->onWork.resize(3);
  bnd->dataVar.resize(1);

  fmtStatus = new TKxFormatStr();
  fmtStatus->set_Count(2);
  // "Устройство: %1   Текущая версия ПО: %2"
  fmtStatus->Mask =
      "\xD3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xEE: %1   \xD2\xE5\xEA\xF3\xF9\xE0\xFF "
      "\xE2\xE5\xF0\xF1\xE8\xFF \xCF\xCE: %2";

  ddNotFound = new TKxDoData();
  // "На этом порту устройств не найдено."
  set_string(ddNotFound->Data,
             "\xCD\xE0 \xFD\xF2\xEE\xEC \xEF\xEE\xF0\xF2\xF3 \xF3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2 "
             "\xED\xE5 \xED\xE0\xE9\xE4\xE5\xED\xEE.");

  smWord = new TKxStrMask();
  smWord->Mask = "MAGNETOFLUX";
  smWord->IgnoreCase = 1;

  mspReply = new TKxMultiStrPart();
  mspReply->Delimiter = " ";
  mspReply->Skip = 0;
  mspReply->set_Count(3);

  hubOpen = new_hub(1, 2);

  csOpened = new TKxCase();
  set_integer(csOpened->MatchValue, 0);

  hubNotFound = new_hub(4, 2);

  ddVers = new TKxDoData();
  set_string(ddVers->Data, "VERS");

  hubStatus = new_hub(2, 1);

  hubIdentified = new_hub(1, 3);

  cntRoute = new_counter(1);

  hubAsk = new_hub(2, 1);

  // Collects received runs into answers, one line each: up to a line feed or 100 ms without a
  // byte, at most 256 bytes (the rest of a longer line is dropped). What follows a line feed in
  // the same run leaves the scheme, to be routed again as a run of its own.
  acAnswer = new TKxAnswerCollector();
  acAnswer->LineEnd = 10;
  acAnswer->Quiet = 100;
  acAnswer->MaxLength = 256;

  boundary = bnd;
  bnd->scheme = this;
  bnd->container = container;

  bnd->onWork[0] = make_link<&TKxCase::doCompare>(0, csOpened);
  bnd->onWork[1] = make_link<&TKxHub::doEvent>(0, hubOpen);
  bnd->onWork[2] = make_link<&TKxAnswerCollector::doAdd>(0, acAnswer);
  acAnswer->onAnswer = make_link<&TKxMultiStrPart::doSplit>(0, mspReply);
  acAnswer->onRest = make_link<&TKxEditMultiEx::doEvent>(5, bnd);
  fmtStatus->onResult = make_link<&TKxHub::doEvent>(1, hubStatus);
  ddNotFound->onEventData = make_link<&TKxHub::doEvent>(0, hubStatus);
  smWord->onNoMatch = make_link<&TKxHub::doEvent>(1, hubNotFound);
  smWord->onMatch = make_link<&TKxHub::doEvent>(0, hubIdentified);
  mspReply->onRest = make_link<&TKxStrMask::doCompare>(0, smWord);
  mspReply->onNoDelimiter = make_link<&TKxHub::doEvent>(2, hubNotFound);
  hubOpen->onEvent[0] = make_link<&TKxAnswerCollector::doClear>(1, acAnswer);
  hubOpen->onEvent[1] = make_link<&TKxEditMultiEx::doEvent>(2, bnd);
  csOpened->onNoMatch = make_link<&TKxHub::doEvent>(0, hubAsk);
  csOpened->onMatch = make_link<&TKxHub::doEvent>(0, hubNotFound);
  hubNotFound->onEvent[0] = make_link<&TKxEditMultiEx::doEvent>(3, bnd);
  hubNotFound->onEvent[1] = make_link<&TKxDoData::doData>(0, ddNotFound);
  ddVers->onEventData = make_link<&TKxEditMultiEx::doEvent>(0, bnd);
  hubStatus->onEvent[0] = make_link<&TKxEditMultiEx::doEvent>(1, bnd);
  hubIdentified->onEvent[0] = make_link<&TKxFormatStr::doFormat>(0, fmtStatus);
  hubIdentified->onEvent[1] = make_link<&TKxCounter::doNext>(0, cntRoute);
  hubIdentified->onEvent[2] = make_link<&TKxEditMultiEx::doEvent>(4, bnd);
  hubAsk->onEvent[0] = make_link<&TKxDoData::doData>(0, ddVers);

  bnd->dataVar[0] = make_link<&TKxCounter::getCount>(0, cntRoute);
  fmtStatus->dataParam[1] = make_link<&TKxMultiStrPart::getPart>(1, mspReply);
  fmtStatus->dataParam[2] = make_link<&TKxMultiStrPart::getPart>(2, mspReply);
  smWord->dataText = make_link<&TKxMultiStrPart::getPart>(0, mspReply);
}

TClassMultiElementEx_26088F0::~TClassMultiElementEx_26088F0() {
  delete acAnswer;
  delete hubAsk;
  delete cntRoute;
  delete hubIdentified;
  delete hubStatus;
  delete ddVers;
  delete hubNotFound;
  delete csOpened;
  delete hubOpen;
  delete mspReply;
  delete smWord;
  delete ddNotFound;
  delete fmtStatus;
  delete bnd;
}

TKxEditMultiEx* TClassMultiElementEx_26088F0::create(TKxMultiElementEx* container,
                                                     void* parent_control, void* owner) {
  return (new TClassMultiElementEx_26088F0(container, owner, parent_control))->boundary;
}

TClassMultiElementEx_26088F0* TClassMultiElementEx_26088F0::in(const TKxMultiElementEx& container) {
  return container.current ? static_cast<TClassMultiElementEx_26088F0*>(container.current->scheme)
                           : nullptr;
}

}  // namespace kx
