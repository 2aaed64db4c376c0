// The native kxflash: the Linux station (app/station.hpp).
#include "app/process_setup.hpp"
#include "app/station.hpp"

int main(int argc, char** argv) {
  kx::prepare_process();
  return kx::run_station(argc, argv);
}
