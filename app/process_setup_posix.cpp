#include "app/process_setup.hpp"

namespace kx {

void prepare_process() {}

}  // namespace kx
