// devsim: plays the device on a pseudo-terminal until killed or until the transfer is done.
//
//   devsim --link PATH [--fault NAME[:BLOCK]] [--block N] [--baud N] [--image FILE] [--size N]
//          [--report FILE] [--version TEXT] [--linger MS] [--delivery NAME[:GAP_MS]] [--seed N]
//          [--final-read-pause MS]
//
// Prints "port=<terminal path>", makes PATH a symbolic link to the terminal, and on exit
// (SIGTERM, SIGINT, or done) removes the link and writes a key=value report.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tools/devsim/simulator.hpp"

namespace {

using kx::devsim::Fault;

void usage() {
  std::cerr
      << "usage: devsim --link PATH [--fault NAME[:BLOCK]] [--block N] [--baud N] [--image FILE]\n"
         "              [--size N] [--report FILE] [--version TEXT] [--linger MS]\n"
         "              [--final-read-pause MS]\nfaults:";
  for (const std::string& n : kx::devsim::fault_names()) std::cerr << ' ' << n;
  std::cerr << '\n';
}

// "\r", "\n", "\t", "\\" and "\xNN" in a command-line text.
std::string unescape(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    const char c = s[++i];
    if (c == 'r')
      out += '\r';
    else if (c == 'n')
      out += '\n';
    else if (c == 't')
      out += '\t';
    else if (c == 'x' && i + 2 < s.size()) {
      const std::string hex = s.substr(i + 1, 2);
      out += static_cast<char>(std::strtoul(hex.c_str(), nullptr, 16));
      i += 2;
    } else
      out += c;
  }
  return out;
}

bool parse_number(const char* text, unsigned long& out) {
  char* end = nullptr;
  errno = 0;
  out = std::strtoul(text, &end, 10);
  return errno == 0 && end && *end == '\0' && end != text;
}

// "NAME" or "NAME:N": cuts the number off `value` into `number` (left as it is without one);
// false for a suffix that is no number.
bool take_number_suffix(std::string& value, unsigned long& number) {
  const auto colon = value.find(':');
  if (colon == std::string::npos) return true;
  if (!parse_number(value.c_str() + colon + 1, number)) return false;
  value.resize(colon);
  return true;
}

long long epoch_ms(std::chrono::system_clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
}
long long epoch_us(std::chrono::system_clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::microseconds>(t.time_since_epoch()).count();
}

// The value below which `share` of the times lie (0 when there are none).
long long share_below(std::vector<std::chrono::microseconds> times, double share) {
  if (times.empty()) return 0;
  const auto at =
      times.begin() + static_cast<std::ptrdiff_t>(share * static_cast<double>(times.size() - 1));
  std::nth_element(times.begin(), at, times.end());
  return at->count();
}

}  // namespace

int main(int argc, char** argv) {
  kx::devsim::Options options;
  std::string link, report, image_path;
  bool image_given = false;
  unsigned long linger_ms = 500;
#ifdef KX_DEFAULT_IMAGE
  image_path = KX_DEFAULT_IMAGE;  // the image the product build embeds
#endif
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    unsigned long n = 0;
    if (arg == "--link" && has_value) {
      link = argv[++i];
    } else if (arg == "--report" && has_value) {
      report = argv[++i];
    } else if (arg == "--image" && has_value) {
      image_path = argv[++i];
      image_given = true;
    } else if (arg == "--version" && has_value) {
      options.version = unescape(argv[++i]);
    } else if (arg == "--fault" && has_value) {
      // NAME or NAME:BLOCK
      std::string value = argv[++i];
      n = static_cast<unsigned long>(options.fault_block);
      const bool number_ok = take_number_suffix(value, n);
      options.fault_block = static_cast<int>(n);
      auto f = kx::devsim::fault_from_name(value);
      if (!number_ok || !f) {
        usage();
        return 2;
      }
      options.fault = *f;
    } else if (arg == "--delivery" && has_value) {
      // NAME or random:GAP_MS
      std::string value = argv[++i];
      n = static_cast<unsigned long>(options.max_gap.count());
      const bool number_ok = take_number_suffix(value, n);
      options.max_gap = std::chrono::milliseconds(n);
      auto d = kx::devsim::delivery_from_name(value);
      if (!number_ok || !d) {
        usage();
        return 2;
      }
      options.delivery = *d;
    } else if (arg == "--seed" && has_value && parse_number(argv[i + 1], n)) {
      options.seed = static_cast<std::uint32_t>(n);
      ++i;
    } else if (arg == "--block" && has_value && parse_number(argv[i + 1], n)) {
      options.fault_block = static_cast<int>(n);
      ++i;
    } else if (arg == "--baud" && has_value && parse_number(argv[i + 1], n)) {
      options.baud = static_cast<std::uint32_t>(n);
      ++i;
    } else if (arg == "--size" && has_value && parse_number(argv[i + 1], n)) {
      options.image_size = n;
      ++i;
    } else if (arg == "--final-read-pause" && has_value && parse_number(argv[i + 1], n)) {
      options.final_read_pause = std::chrono::milliseconds(n);
      ++i;
    } else if (arg == "--linger" && has_value && parse_number(argv[i + 1], n)) {
      linger_ms = n;
      ++i;
    } else {
      usage();
      return 2;
    }
  }
  if (!image_path.empty()) {
    if (auto image = kx::devsim::read_image(image_path)) {
      options.image = std::move(*image);
    } else if (image_given) {
      std::cerr << "devsim: cannot read " << image_path << '\n';
      return 1;
    } else {
      std::cerr << "devsim: no image at " << image_path << ", the received bytes are not checked\n";
    }
  }

  // Signals are taken synchronously below; the device thread must not see them.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  kx::devsim::Simulator sim(options);
  if (!sim.start()) {
    std::cerr << "devsim: cannot open a pseudo-terminal\n";
    return 1;
  }
  if (!link.empty()) {
    ::unlink(link.c_str());
    if (::symlink(sim.port_path().c_str(), link.c_str()) != 0) {
      std::cerr << "devsim: cannot link " << link << ": " << std::strerror(errno) << '\n';
      return 1;
    }
  }
  std::cout << "port=" << sim.port_path() << std::endl;

  bool signalled = false;
  timespec tick{0, 100 * 1000 * 1000};
  while (!signalled && !sim.wait_done(std::chrono::milliseconds(0))) {
    if (sigtimedwait(&signals, nullptr, &tick) > 0) signalled = true;
  }
  if (!signalled) {
    // Done: stay a moment for a repeated start command, unless told to go.
    timespec rest{static_cast<time_t>(linger_ms / 1000),
                  static_cast<long>((linger_ms % 1000) * 1000 * 1000)};
    sigtimedwait(&signals, nullptr, &rest);
  }
  sim.stop();
  if (!link.empty()) ::unlink(link.c_str());

  const kx::devsim::Results r = sim.results();
  std::ostringstream text;
  text << "port=" << sim.port_path() << '\n'
       << "fault=" << kx::devsim::fault_name(options.fault) << '\n'
       << "fault_block=" << options.fault_block << '\n'
       << "baud=" << options.baud << '\n'
       << "delivery=" << kx::devsim::delivery_name(options.delivery) << '\n'
       << "seed=" << options.seed << '\n'
       << "vers_count=" << r.vers_count << '\n'
       << "bytes_received=" << r.bytes_received << '\n'
       << "blocks_received=" << r.blocks_received << '\n'
       << "answers_sent=" << r.answers_sent << '\n'
       << "image_size=" << (options.image.empty() ? options.image_size : options.image.size())
       << '\n'
       << "image_checked=" << (options.image.empty() ? 0 : 1) << '\n'
       << "image_matched=" << (r.image_matched ? 1 : 0) << '\n'
       << "pusk_received=" << (r.pusk_received ? 1 : 0) << '\n'
       << "pusk_count=" << r.pusk_count << '\n'
       << "unexpected_bytes=" << r.unexpected_bytes << '\n'
       << "unplugged=" << (r.unplugged ? 1 : 0) << '\n'
       << "done=" << (r.done ? 1 : 0) << '\n'
       << "transfer_us=" << r.transfer_time.count() << '\n'
       << "last_read_epoch_ms=" << epoch_ms(r.last_read) << '\n'
       << "last_answered_epoch_ms=" << epoch_ms(r.last_answered) << '\n'
       << "first_vers_epoch_us=" << epoch_us(r.first_vers) << '\n'
       << "turnaround_median_us=" << share_below(r.turnarounds, 0.5) << '\n'
       << "turnaround_p90_us=" << share_below(r.turnarounds, 0.9) << '\n'
       << "unread_when_quiet=" << r.unread_when_quiet << '\n'
       << "last_answer_pieces=" << r.last_answer_pieces << '\n'
       << "quiet_with_empty_queue=" << r.quiet_with_empty_queue << '\n'
       << "ended_by=" << (signalled ? "signal" : "done") << '\n';
  if (!report.empty()) {
    const std::string tmp = report + ".tmp";
    {
      std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
      out << text.str();
    }
    std::rename(tmp.c_str(), report.c_str());  // readers never see half a report
  } else {
    std::cout << text.str();
  }
  return 0;
}
