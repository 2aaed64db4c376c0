#include "toolkit/win32/device_change_win32.hpp"

#include <dbt.h>

#include "runtime/device_change.hpp"

namespace kx::win32 {

bool device_change_message(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg != WM_DEVICECHANGE || (wp != DBT_DEVICEARRIVAL && wp != DBT_DEVICEREMOVECOMPLETE))
    return false;
  const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lp);
  if (header == nullptr || header->dbch_devicetype != DBT_DEVTYP_PORT) return false;
  report_device_change();
  return true;
}

}  // namespace kx::win32
