// Text-to-number conversions and back: no crash, no undefined behaviour, and a text made from
// a real reads back as the same real to within rounding.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "runtime/tdata.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  (void)kx::text_to_integer(text);
  double real = kx::text_to_real(text);
  if (std::isfinite(real)) {
    std::string shown = kx::real_to_text(real);
    double back = kx::text_to_real(shown);
    double magnitude = std::fabs(real);
    if (magnitude > 1e-100 && magnitude < 1e100 && std::fabs(back - real) > magnitude * 1e-12)
      __builtin_trap();
    (void)kx::real_to_integer(real);
  }
  kx::TData d;
  kx::set_string(d, std::string(text));
  (void)kx::to_integer(d);
  (void)kx::to_real(d);
  (void)kx::compare_text_nocase(text, "MAGNETOFLUX");
  (void)kx::replace_all(std::string(text), "%1", "x");
  return 0;
}
