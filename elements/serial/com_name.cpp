#include "elements/serial/com_name.hpp"

#include <cstddef>

namespace kx::serial {

int com_port_number(std::string_view name) {
  if (name.size() > 6 || name.size() < 3) return 0;
  for (std::size_t i = 0; i < 3; ++i) {
    char c = name[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != "COM"[i]) return 0;
  }
  int n = 0;
  for (std::size_t i = 3; i < name.size() && name[i] >= '0' && name[i] <= '9'; ++i)
    n = n * 10 + (name[i] - '0');
  return (n >= 1 && n <= 255) ? n : 0;
}

}  // namespace kx::serial
