// Received answers through the identification and the transfer judging: the input is cut into
// received runs (each first byte gives the length of the next run), the first ones go to the
// identification (judged once a line feed came) and, once a device is recognised, the rest to
// the transfer, which collects them into answers. No crash, no
// undefined behaviour, and the transfer never succeeds on an answer that is not the final one.
#include <cstddef>
#include <cstdint>
#include <string>

#include "runtime/multi_element.hpp"
#include "runtime/tdata.hpp"
#include "schemes/identification_scheme.hpp"
#include "schemes/transfer_scheme.hpp"

namespace {

struct Outcome {
  int found = 0;
  int success = 0;
  int failure = 0;
  std::string crc = "FFFF";
  void doFound(kx::TData&, std::uint16_t) { ++found; }
  std::string final_answer;  // the hexadecimal text that the success carried
  void doSuccess(kx::TData& d, std::uint16_t) {
    ++success;
    final_answer = kx::to_string(d);
  }
  void doFailure(kx::TData&, std::uint16_t) { ++failure; }
  void doCrc(kx::TData& d, std::uint16_t) { crc = kx::to_string(d); }
  void getCrc(kx::TData& d, std::uint16_t) { kx::set_string(d, crc); }
};

// Where a received run goes: the identification until a device is recognised, then the
// transfer (as the main window's commutator routes it).
struct Router {
  kx::TKxMultiElementEx* ident = nullptr;
  kx::TKxMultiElementEx* flash = nullptr;
  Outcome* out = nullptr;
  void doRun(kx::TData& block, std::uint16_t) {
    kx::TData route;
    ident->getVar(route, 0);
    if (kx::to_integer(route) == 1) {
      const int before = out->success;
      flash->doWork(block, 0);
      // Success only on the running CRC followed by "FZ", however the answer was cut.
      if (out->success != before && out->final_answer != out->crc + "465A") __builtin_trap();
    } else {
      ident->doWork(block, 2);
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kx::enable_pins();
  Outcome out;
  kx::TKxMultiElementEx ident(nullptr);
  kx::TKxMultiElementEx flash(nullptr);
  ident.onEvent.resize(6);
  flash.onEvent.resize(6);
  flash.dataVar.resize(1);
  Router router{&ident, &flash, &out};
  ident.onEvent[4] = kx::make_link<&Outcome::doFound>(0, &out);
  ident.onEvent[5] = kx::make_link<&Router::doRun>(0, &router);
  flash.onEvent[2] = kx::make_link<&Outcome::doSuccess>(0, &out);
  flash.onEvent[3] = kx::make_link<&Outcome::doFailure>(0, &out);
  flash.onEvent[4] = kx::make_link<&Outcome::doCrc>(0, &out);
  flash.dataVar[0] = kx::make_link<&Outcome::getCrc>(0, &out);
  ident.set_creator(&kx::TClassMultiElementEx_26088F0::create);
  flash.set_creator(&kx::TClassMultiElementEx_2608DC0::create);

  kx::TData opened;
  kx::set_integer(opened, 7);
  ident.doWork(opened, 0);  // the port is open: "VERS" goes out (nowhere here)

  std::size_t at = 0;
  while (at < size) {
    const std::size_t n = data[at++] % 40;
    const std::size_t len = n < size - at ? n : size - at;
    kx::TData block;
    kx::set_string(block, std::string(reinterpret_cast<const char*>(data + at), len));
    at += len;
    kx::fire(kx::make_link<&Router::doRun>(0, &router), block);
  }
  return 0;
}
