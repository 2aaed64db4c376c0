#include "app/arguments.hpp"
#include "app/entry.hpp"
#include "app/process_setup.hpp"

int main(int argc, char** argv) {
  kx::prepare_process();
  std::vector<std::string> args = kx::program_arguments(argc, argv);
  std::vector<char*> utf8;
  for (std::string& a : args) utf8.push_back(a.data());
  utf8.push_back(nullptr);
  return kx::run_tool(static_cast<int>(args.size()), utf8.data());
}
