#include "app/device_path.hpp"

#include <string_view>

#include "runtime/text_routines.hpp"

namespace kx {

bool names_a_device(const std::string& path) {
  const std::string_view p(path);
  if (p.size() >= 4 && (p[0] == '\\' || p[0] == '/') && (p[1] == '\\' || p[1] == '/') &&
      p[2] == '.' && (p[3] == '\\' || p[3] == '/'))
    return true;
  std::string_view name =
      p.substr(p.find_last_of("\\/:") == std::string_view::npos ? 0 : p.find_last_of("\\/:") + 1);
  name = name.substr(0, name.find('.'));
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
    if (compare_text_nocase(name, device) == 0) return true;
  return name.size() == 4 &&
         (compare_text_nocase(name.substr(0, 3), "COM") == 0 ||
          compare_text_nocase(name.substr(0, 3), "LPT") == 0) &&
         name[3] >= '1' && name[3] <= '9';
}

}  // namespace kx
