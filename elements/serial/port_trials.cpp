#include "elements/serial/port_trials.hpp"

#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "elements/serial/com_name.hpp"
#include "runtime/threads.hpp"

namespace kx::serial {

namespace {

constexpr auto kPollSlice = std::chrono::milliseconds(2);

struct Registry {
  std::mutex mutex;
  std::map<std::string, std::shared_ptr<Trial>> running;  // by port
};

Registry& registry() {
  // Never destroyed: a trial thread still hanging when the process ends may reach for it.
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
    std::lock_guard<std::mutex> done(reg.mutex);
    trial->result.store(ok ? Trial::kOpenable : Trial::kRefused);
    if (auto it = reg.running.find(key); it != reg.running.end() && it->second == trial)
      reg.running.erase(it);
  });
  if (!started) return nullptr;
  r.running.emplace(key, trial);
  return trial;
}

bool openable_by(const Trial& trial, std::chrono::steady_clock::time_point deadline,
                 const std::function<bool()>& stop) {
  while (trial.result.load() == Trial::kPending && std::chrono::steady_clock::now() < deadline &&
         !(stop && stop()))
    std::this_thread::sleep_for(kPollSlice);
  return trial.result.load() == Trial::kOpenable;
}

bool wait_for_trials(const std::string& name, std::chrono::milliseconds bound) {
  Registry& r = registry();
  const std::string key = key_of(name);
  const auto deadline = std::chrono::steady_clock::now() + bound;
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(r.mutex);
      if (r.running.find(key) == r.running.end()) return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kPollSlice);
  }
}

std::size_t trials_running() {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  return r.running.size();
}

}  // namespace kx::serial
