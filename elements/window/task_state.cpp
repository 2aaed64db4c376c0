#include "elements/window/task_state.hpp"

#include "toolkit/toolkit.hpp"

namespace kx {

TKxTaskState::~TKxTaskState() {
  if (busy_) tk::set_task_state(tk::TaskState::Idle);
}

void TKxTaskState::doBusy(TData&, std::uint16_t) {
  busy_ = true;
  tk::set_task_progress(0, Max);
  tk::set_task_state(tk::TaskState::Busy);
}

void TKxTaskState::doProgress(TData& d, std::uint16_t) {
  tk::set_task_progress(to_integer(d), Max);
}

void TKxTaskState::doIdle(TData&, std::uint16_t) {
  busy_ = false;
  tk::set_task_state(tk::TaskState::Idle);
}

void TKxTaskState::doFailed(TData&, std::uint16_t) {
  busy_ = false;
  tk::set_task_state(tk::TaskState::Failed);
}

}  // namespace kx
