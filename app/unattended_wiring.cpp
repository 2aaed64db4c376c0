#include "app/unattended_wiring.hpp"

#include <string>
#include <string_view>

#include "app/unattended.hpp"
#include "elements/flow/hub.hpp"
#include "elements/serial/com_async.hpp"
#include "elements/serial/port_watch.hpp"
#include "elements/stream/answer_collector.hpp"
#include "elements/text/text_holder.hpp"
#include "elements/timer/mm_timer.hpp"
#include "elements/window/button.hpp"
#include "elements/window/combo_box.hpp"
#include "elements/window/simple_form.hpp"
#include "runtime/image_layout.hpp"
#include "runtime/multi_element.hpp"
#include "schemes/identification_scheme.hpp"
#include "schemes/main_scheme.hpp"
#include "schemes/scheme_parts.hpp"
#include "schemes/transfer_scheme.hpp"

namespace kx {

namespace {

constexpr std::int32_t kIdentifySeconds = 3;  // from the port choice to the device's identity
constexpr std::int32_t kSilenceSeconds = 3;   // the transfer's watchdog: three ticks of 1 s

constexpr std::string_view kOpenLead = "the port cannot be opened: ";
constexpr std::string_view kPortLead = "the port reported an error: ";

std::string without_lead(const std::string& text, std::string_view lead) {
  return text.rfind(lead, 0) == 0 ? text.substr(lead.size()) : text;
}

}  // namespace

TKxHub* UnattendedWiring::tap(EventLink& pin, int first) {
  TKxHub* hub = new_hub(1, 2);
  taps_.emplace_back(hub);
  hub->onEvent[static_cast<std::size_t>(first)] = pin;
  pin = make_link<&TKxHub::doEvent>(0, hub);
  return hub;
}

UnattendedWiring::UnattendedWiring(TClassSimpleForm_2597650* s, const std::string& port,
                                   UpdateLog* log)
    : driver_(std::make_unique<TKxUnattended>()), identify_timer_(std::make_unique<TKxMMTimer>()) {
  TKxUnattended* driver = driver_.get();
  driver->Port = port;
  set_integer(driver->ClickData, 0);
  driver->TotalBlocks = static_cast<std::int32_t>(image_layout::kBlockCount);
  driver->WatchSeconds = kIdentifySeconds;
  driver->SilenceSeconds = kSilenceSeconds;
  driver->Log = log;
  // The port's own words on a failure: why it did not open, what it reported while open (the
  // driver says the first words itself).
  TKxComAsync* com = s->com;
  driver->OpenFailure = [com] { return without_lead(com->open_failure(), kOpenLead); };
  driver->PortFailure = [com] { return without_lead(com->port_failure(), kPortLead); };
  TKxPortWatch* watch = s->pwPorts;
  driver->ListingTrouble = [watch] {
    const std::size_t n = watch->failed_thread_starts();
    if (n == 0) return std::string();
    return std::to_string(n) + " trial open(s) could not start (the system refused a thread); " +
           "their ports were left out of the list";
  };
  // A run without a person opens no port but its own: the list neither tries nor shows others.
  if (!port.empty()) s->pwPorts->OnlyPorts = {port};

  TKxMMTimer* tmrIdentify = identify_timer_.get();
  tmrIdentify->set_Resolution(10);
  tmrIdentify->set_Interval(kIdentifySeconds * 1000);
  tmrIdentify->set_Enabled(false);
  tmrIdentify->set_StopAfter(1);

  // The driver hears of a choice, an answer and a click before the scheme acts on it, and of
  // an identification, progress and a result after the window shows it.
  TKxHub* hubChoice = tap(s->cbxPort->onClick, 1);
  TKxHub* hubRx = tap(s->com->onRead, 1);
  TKxHub* hubFoundTap = tap(s->mxIdent->onEvent[identification_pins::kFound], 0);
  TKxHub* hubClick = tap(s->btnWrite->onClick, 1);
  TKxHub* hubProgressTap = tap(s->mxFlash->onEvent[transfer_pins::kProgress], 0);
  TKxHub* hubSuccessTap = tap(s->mxFlash->onEvent[transfer_pins::kSuccess], 0);
  TKxHub* hubFailTap = tap(s->mxFlash->onEvent[transfer_pins::kFault], 0);
  // The identification's collector: the driver hears each answer before it is judged, and at
  // its time-out has what is held judged at once.
  TKxAnswerCollector* acAnswer = TClassMultiElementEx_26088F0::in(*s->mxIdent)->acAnswer;
  TKxHub* hubJudgedTap = tap(acAnswer->onAnswer, 1);

  hubChoice->onEvent[0] = make_link<&TKxUnattended::doChoice>(0, driver);
  hubRx->onEvent[0] = make_link<&TKxUnattended::doAnswer>(1, driver);
  hubJudgedTap->onEvent[0] = make_link<&TKxUnattended::doJudged>(10, driver);
  hubFoundTap->onEvent[1] = make_link<&TKxUnattended::doFound>(2, driver);
  // The scheme leaves "not found" unconnected: the driver takes it.
  s->mxIdent->onEvent[identification_pins::kNotFound] =
      make_link<&TKxUnattended::doNotFound>(3, driver);
  tmrIdentify->onTimer = make_link<&TKxUnattended::doTimeout>(4, driver);
  hubClick->onEvent[0] = make_link<&TKxUnattended::doClick>(5, driver);
  hubProgressTap->onEvent[1] = make_link<&TKxUnattended::doProgress>(6, driver);
  hubSuccessTap->onEvent[1] = make_link<&TKxUnattended::doSuccess>(7, driver);
  hubFailTap->onEvent[1] = make_link<&TKxUnattended::doFail>(8, driver);
  s->pwPorts->onListed = make_link<&TKxUnattended::doListed>(9, driver);
  driver->dataCrc = make_link<&TKxTextHolder::getText>(0, s->edtCrc);
  driver->onChoose = make_link<&TKxHub::doEvent>(0, hubChoice);
  driver->onWrite = make_link<&TKxHub::doEvent>(0, hubClick);
  driver->onEnd = make_link<&TKxSimpleForm::doClose>(0, s->Form);
  driver->onWatchStart = make_link<&TKxMMTimer::doStart>(0, tmrIdentify);
  driver->onWatchStop = make_link<&TKxMMTimer::doStop>(1, tmrIdentify);
  driver->onJudgeHeld = make_link<&TKxAnswerCollector::doFlush>(2, acAnswer);

  register_startup(&TKxUnattended::startup, driver);
}

UnattendedWiring::~UnattendedWiring() {
  // The taps go first, last made first; then the timer and the driver they lead to.
  while (!taps_.empty()) taps_.pop_back();
}

}  // namespace kx
