// What the tests expect to see of the device dialogue: the window's texts (Windows-1251) and
// the image the tool carries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/devsim/simulator.hpp"

namespace kx::test_texts {

// "Выберите порт с подключённым устройством."
inline const std::string kChoose =
    "\xC2\xFB\xE1\xE5\xF0\xE8\xF2\xE5 \xEF\xEE\xF0\xF2 \xF1 \xEF\xEE\xE4\xEA\xEB\xFE\xF7\xB8"
    "\xED\xED\xFB\xEC \xF3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xEE\xEC.";
// "На этом порту устройств не найдено."
inline const std::string kNotFound =
    "\xCD\xE0 \xFD\xF2\xEE\xEC \xEF\xEE\xF0\xF2\xF3 \xF3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2 "
    "\xED\xE5 \xED\xE0\xE9\xE4\xE5\xED\xEE.";
// "Ошибка при передаче данных!"
inline const std::string kError =
    "\xCE\xF8\xE8\xE1\xEA\xE0 \xEF\xF0\xE8 \xEF\xE5\xF0\xE5\xE4\xE0\xF7\xE5 "
    "\xE4\xE0\xED\xED\xFB\xF5!";

// "Устройство: %1   Текущая версия ПО: %2" filled in.
inline std::string status_for(const std::string& part1, const std::string& part2) {
  return "\xD3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xEE: " + part1 +
         "   \xD2\xE5\xEA\xF3\xF9\xE0\xFF \xE2\xE5\xF0\xF1\xE8\xFF \xCF\xCE: " + part2;
}

// The firmware image the build embeds (KX_IMAGE_FILE of the test target).
inline std::vector<std::uint8_t> image_bytes() {
  return devsim::read_image(KX_IMAGE_FILE).value_or(std::vector<std::uint8_t>());
}

}  // namespace kx::test_texts
