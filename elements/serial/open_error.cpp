#include <string>

#include "elements/serial/port.hpp"

namespace kx::serial {

std::string describe(const OpenError& e) {
  std::string text;
  switch (e.problem) {
    case OpenProblem::None:
      text = "no problem";
      break;
    case OpenProblem::NoSuchPort:
      text = "no such port";
      break;
    case OpenProblem::Busy:
      text = "busy (held by another program)";
      break;
    case OpenProblem::AccessDenied:
      text = "access denied";
      break;
    case OpenProblem::RateRefused:
      text = "rate refused (the line settings were not accepted)";
      break;
    case OpenProblem::NoThread:
      text = "no thread to open or read it (the system refused one)";
      break;
    case OpenProblem::NoAnswer:
      return "the driver did not answer within 1 s";
    case OpenProblem::Other:
      text = "failed";
      break;
  }
  return text + ", OS error " + std::to_string(e.os_error);
}

}  // namespace kx::serial
