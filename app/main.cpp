#include "app/entry.hpp"

int main(int argc, char** argv) {
  return kx::run_tool(argc, argv);
}
