#include "elements/serial/port_trials.hpp"

#include <condition_variable>
#include <map>
#include <mutex>
#include <utility>

#include "elements/serial/com_name.hpp"
#include "runtime/threads.hpp"

namespace kx::serial {

namespace {

struct Registry {
  std::mutex mutex;
  // Told when a trial answers, a teardown ends, or a waiter's stop comes.
  std::condition_variable changed;
  std::map<std::string, std::shared_ptr<Trial>> running;  // by port
  std::map<std::string, int> teardowns;                   // by port: how many run
};

Registry& registry() {
  // Never destroyed: a trial or teardown thread still hanging when the process ends may reach
  // for it.
  static Registry* r = new Registry;
  return *r;
}

// "com7" and "COM7" are the same port.
std::string key_of(const std::string& name) {
  const int n = com_port_number(name);
  return n != 0 ? "COM" + std::to_string(n) : name;
}

}  // namespace

std::shared_ptr<Trial> trial_of(const std::string& name, const TrialCheck& check) {
  Registry& r = registry();
  const std::string key = key_of(name);
  std::lock_guard<std::mutex> lock(r.mutex);
  if (auto it = r.running.find(key); it != r.running.end()) return it->second;
  auto trial = std::make_shared<Trial>();
  // The thread holds the trial and a copy of the check only; the registry outlives it.
  const bool started = start_unwaited_thread([trial, key, name, check] {
    const bool ok = check(name);  // opens and closes again: nothing stays held
    Registry& reg = registry();
    {
      std::lock_guard<std::mutex> done(reg.mutex);
      trial->result.store(ok ? Trial::kOpenable : Trial::kRefused);
      if (auto it = reg.running.find(key); it != reg.running.end() && it->second == trial)
        reg.running.erase(it);
    }
    reg.changed.notify_all();
  });
  if (!started) return nullptr;
  r.running.emplace(key, trial);
  return trial;
}

bool openable_by(const Trial& trial, std::chrono::steady_clock::time_point deadline,
                 const std::function<bool()>& stop) {
  Registry& r = registry();
  std::unique_lock<std::mutex> lock(r.mutex);
  r.changed.wait_until(lock, deadline,
                       [&] { return trial.result.load() != Trial::kPending || (stop && stop()); });
  return trial.result.load() == Trial::kOpenable;
}

void wake_trial_waiters() {
  Registry& r = registry();
  // Taken so that a waiter between its look at `stop` and its wait is not missed.
  { std::lock_guard<std::mutex> lock(r.mutex); }
  r.changed.notify_all();
}

void teardown_started(const std::string& name) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  ++r.teardowns[key_of(name)];
}

void teardown_ended(const std::string& name) {
  Registry& r = registry();
  {
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = r.teardowns.find(key_of(name));
    if (it != r.teardowns.end() && --it->second == 0) r.teardowns.erase(it);
  }
  r.changed.notify_all();
}

bool wait_for_release(const std::string& name, std::chrono::milliseconds bound) {
  Registry& r = registry();
  const std::string key = key_of(name);
  const auto deadline = std::chrono::steady_clock::now() + bound;
  std::unique_lock<std::mutex> lock(r.mutex);
  return r.changed.wait_until(lock, deadline, [&] {
    return r.running.find(key) == r.running.end() && r.teardowns.find(key) == r.teardowns.end();
  });
}

std::size_t trials_running() {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  return r.running.size();
}

}  // namespace kx::serial
