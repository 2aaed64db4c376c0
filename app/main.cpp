#include "app/entry.hpp"
#include "app/process_setup.hpp"

int main(int argc, char** argv) {
  kx::prepare_process();
  return kx::run_tool(argc, argv);
}
