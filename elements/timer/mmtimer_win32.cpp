// The system timer on Windows: the multimedia timer, periodic, with a synchronous kill so
// that no tick runs once timeKillEvent has returned. Its two functions come from the system
// folder's winmm at run time (winmm is no known DLL: a static import would take a winmm.dll
// lying beside the executable).
//
// A timer thread that was held up may run the periodic callbacks it missed one right after the
// other: the callbacks are passed on by the grid of their points (tick_grid.hpp), so the missed
// ones give one tick rather than a burst, and a late tick never makes the next on-time one
// vanish (a watchdog counting three ticks neither sees them within milliseconds nor waits a
// fourth second for them).
#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>

#include <chrono>

#include "elements/timer/mmtimer_backend.hpp"
#include "elements/timer/tick_grid.hpp"
#include "toolkit/win32/system_library.hpp"

namespace kx {

namespace {

using SetEventFn = MMRESULT(WINAPI*)(UINT, UINT, LPTIMECALLBACK, DWORD_PTR, UINT);
using KillEventFn = MMRESULT(WINAPI*)(UINT);

struct TimerFunctions {
  SetEventFn set_event = win32::system_function<SetEventFn>(L"winmm.dll", "timeSetEvent");
  KillEventFn kill_event = win32::system_function<KillEventFn>(L"winmm.dll", "timeKillEvent");
};

const TimerFunctions& functions() {
  static const TimerFunctions f;
  return f;
}

class Win32Timer : public MMTimerBackend {
 public:
  ~Win32Timer() override { stop(); }

  bool start(std::uint32_t interval_ms, std::uint32_t resolution_ms,
             std::function<void()> tick) override {
    stop();
    if (interval_ms == 0 || functions().set_event == nullptr || functions().kill_event == nullptr)
      return false;
    tick_ = std::move(tick);
    grid_ = TickGrid(std::chrono::steady_clock::now(), std::chrono::milliseconds(interval_ms));
    id_ = functions().set_event(interval_ms, resolution_ms, &Win32Timer::callback,
                                reinterpret_cast<DWORD_PTR>(this),
                                TIME_PERIODIC | TIME_CALLBACK_FUNCTION | TIME_KILL_SYNCHRONOUS);
    return id_ != 0;
  }

  void stop() override {
    if (id_ == 0) return;
    functions().kill_event(id_);
    id_ = 0;
  }

 private:
  static void CALLBACK callback(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    auto* self = reinterpret_cast<Win32Timer*>(user);
    if (!self->grid_.pass(std::chrono::steady_clock::now())) return;
    self->tick_();
  }

  std::function<void()> tick_;
  // The timer's thread only, while it runs (set before it starts).
  TickGrid grid_{std::chrono::steady_clock::time_point{}, std::chrono::milliseconds(1)};
  UINT id_ = 0;
};

}  // namespace

std::unique_ptr<MMTimerBackend> make_mmtimer_backend() {
  return std::make_unique<Win32Timer>();
}

}  // namespace kx
