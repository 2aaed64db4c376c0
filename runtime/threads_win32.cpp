// Windows threads: _beginthreadex for both kinds, so no thread of the product goes through the
// C++ library's thread records. (Detaching a std::thread whose body may already have ended
// crashed the MinGW thread library under Wine now and then, at the start of the next thread.)
// A joined thread's handle is waited on and closed by its owner; an unwaited thread's handle is
// closed at once, and the thread object goes when the thread ends.
#include <windows.h>

#include <process.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

#include "runtime/threads.hpp"

namespace kx {

namespace {

unsigned __stdcall thread_entry(void* arg) {
  std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(arg));
  thread_detail::run_body(*body);
  return 0;
}

// The new thread's handle, or nullptr when the system refused one.
HANDLE begin_thread(std::function<void()> body) {
  if (thread_detail::start_refused()) return nullptr;
  auto* arg = new std::function<void()>(std::move(body));
  const std::uintptr_t h = _beginthreadex(nullptr, 0, &thread_entry, arg, 0, nullptr);
  if (h == 0) {
    delete arg;
    return nullptr;
  }
  return reinterpret_cast<HANDLE>(h);
}

}  // namespace

struct JoinedThread::Native {
  HANDLE handle = nullptr;
};

JoinedThread::JoinedThread() : native_(std::make_unique<Native>()) {}

JoinedThread::~JoinedThread() {
  join();
}

bool JoinedThread::start(std::function<void()> body) {
  if (native_->handle != nullptr) return false;
  native_->handle = begin_thread(std::move(body));
  return native_->handle != nullptr;
}

void JoinedThread::join() {
  if (native_->handle == nullptr) return;
  WaitForSingleObject(native_->handle, INFINITE);
  CloseHandle(native_->handle);
  native_->handle = nullptr;
}

bool JoinedThread::joinable() const {
  return native_->handle != nullptr;
}

bool start_unwaited_thread(std::function<void()> body) {
  const HANDLE h = begin_thread(std::move(body));
  if (h == nullptr) return false;
  CloseHandle(h);  // the thread runs on; nobody waits for it
  return true;
}

}  // namespace kx
