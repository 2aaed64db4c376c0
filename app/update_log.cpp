#include "app/update_log.hpp"

#include <cstdio>
#include <ctime>

namespace kx {

namespace {

std::chrono::sys_days day_of(const std::tm& tm) {
  using namespace std::chrono;
  return sys_days{year{tm.tm_year + 1900} / month{static_cast<unsigned>(tm.tm_mon + 1)} /
                  day{static_cast<unsigned>(tm.tm_mday)}};
}

}  // namespace

UpdateLog::UpdateLog(const std::string& path) : file_(std::fopen(path.c_str(), "ab")) {}

UpdateLog::~UpdateLog() {
  if (file_ != nullptr) std::fclose(file_);
}

void UpdateLog::line(std::string_view text) {
  if (file_ == nullptr) return;
  std::string out = iso8601_local(std::chrono::system_clock::now());
  out += ' ';
  out += text;
  out += "\r\n";
  std::fwrite(out.data(), 1, out.size(), file_);
  std::fflush(file_);
}

std::string iso8601_local(std::chrono::system_clock::time_point t) {
  using namespace std::chrono;
  const std::time_t secs = system_clock::to_time_t(t);
  const long long millis =
      duration_cast<milliseconds>(t - system_clock::from_time_t(secs)).count() % 1000;
  std::tm local{}, utc{};
  if (const std::tm* l = std::localtime(&secs)) local = *l;
  if (const std::tm* u = std::gmtime(&secs)) utc = *u;
  // The offset is what separates the local wall clock from UTC at this instant.
  const long long offset_min = (day_of(local) - day_of(utc)).count() * 1440 +
                               (local.tm_hour - utc.tm_hour) * 60 + (local.tm_min - utc.tm_min);
  const long long abs_min = offset_min < 0 ? -offset_min : offset_min;
  char buf[96];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03lld%c%02lld:%02lld",
                local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                local.tm_sec, millis < 0 ? 0 : millis, offset_min < 0 ? '-' : '+', abs_min / 60,
                abs_min % 60);
  return buf;
}

std::string printable(std::string_view bytes) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (b < 0x20 || b == 0x7F) {
      out += "\\x";
      out += hex[b >> 4];
      out += hex[b & 15];
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace kx
