// The system timer on Windows: the multimedia timer, periodic, with a synchronous kill so
// that no tick runs once timeKillEvent has returned.
#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>

#include "elements/timer/mmtimer_backend.hpp"

namespace kx {

namespace {

class Win32Timer : public MMTimerBackend {
 public:
  ~Win32Timer() override { stop(); }

  bool start(std::uint32_t interval_ms, std::uint32_t resolution_ms,
             std::function<void()> tick) override {
    stop();
    if (interval_ms == 0) return false;
    tick_ = std::move(tick);
    id_ = timeSetEvent(interval_ms, resolution_ms, &Win32Timer::callback,
                       reinterpret_cast<DWORD_PTR>(this),
                       TIME_PERIODIC | TIME_CALLBACK_FUNCTION | TIME_KILL_SYNCHRONOUS);
    return id_ != 0;
  }

  void stop() override {
    if (id_ == 0) return;
    timeKillEvent(id_);
    id_ = 0;
  }

 private:
  static void CALLBACK callback(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    reinterpret_cast<Win32Timer*>(user)->tick_();
  }

  std::function<void()> tick_;
  UINT id_ = 0;
};

}  // namespace

std::unique_ptr<MMTimerBackend> make_mmtimer_backend() {
  return std::make_unique<Win32Timer>();
}

}  // namespace kx
