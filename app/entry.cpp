#include "app/entry.hpp"

#include <string_view>

#include "elements/window/simple_form.hpp"
#include "schemes/main_scheme.hpp"
#include "toolkit/toolkit.hpp"

namespace kx {

const char* const kInfoCaption = "Magnetoflux bootloader";
// "Программа обновления ПО устройства MAGNETOFLUX. Версия ПО для обновления: 9.1 (VKD7/NKD7)"
const char* const kInfoText =
    "\xCF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xE0 \xEE\xE1\xED\xEE\xE2\xEB\xE5\xED\xE8\xFF \xCF\xCE "
    "\xF3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xE0 MAGNETOFLUX.\r\n\xC2\xE5\xF0\xF1\xE8\xFF \xCF\xCE "
    "\xE4\xEB\xFF \xEE\xE1\xED\xEE\xE2\xEB\xE5\xED\xE8\xFF: 9.1 (VKD7/NKD7)";

int run_tool(int argc, char** argv) {
  // Only the whole first argument "/qv", exactly so, shows the information box.
  if (argc > 1 && std::string_view(argv[1]) == "/qv") {
    tk::message_box(kInfoCaption, kInfoText);
    return 0;
  }
  auto* scheme = new TClassSimpleForm_2597650();
  current_scheme = scheme;
  scheme->Form->Start();
  tk::run_message_loop();
  delete scheme;
  return 0;
}

}  // namespace kx
