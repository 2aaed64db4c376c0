// What the headless toolkit records of the runtime's services, for tests.
#pragma once

#include <string>
#include <vector>

namespace kx::headless {

// Every text shown with debug_message, oldest first.
std::vector<std::string>& debug_messages();

}  // namespace kx::headless
