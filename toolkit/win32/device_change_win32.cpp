#include "toolkit/win32/device_change_win32.hpp"

#include <dbt.h>

#include <functional>
#include <utility>

#include "toolkit/toolkit.hpp"

namespace kx::win32 {

namespace {

std::function<void()>& hook() {
  static std::function<void()> h;
  return h;
}

}  // namespace

bool device_change_message(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg != WM_DEVICECHANGE || (wp != DBT_DEVICEARRIVAL && wp != DBT_DEVICEREMOVECOMPLETE))
    return false;
  const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lp);
  if (header == nullptr || header->dbch_devicetype != DBT_DEVTYP_PORT) return false;
  if (const std::function<void()> h = hook()) h();
  return true;
}

}  // namespace kx::win32

namespace kx::tk {

void set_device_change_hook(std::function<void()> h) {
  win32::hook() = std::move(h);
}

}  // namespace kx::tk
