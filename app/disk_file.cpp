#include "app/disk_file.hpp"

#include <array>

#include "runtime/text_routines.hpp"

namespace kx {

namespace {

bool is_separator(char c) {
  return c == '\\' || c == '/';
}

bool starts_with_nocase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         compare_text_nocase(text.substr(0, prefix.size()), prefix) == 0;
}

// A device name as Windows reads the last part of a path: the part before the first dot or
// colon, trailing blanks ignored; the console's CONIN$ and CONOUT$ too. COM and LPT take 0 to 9 and
// the superscript digits 1, 2, 3.
bool is_device_name(std::string_view part) {
  const std::size_t end = part.find_first_of(".:");
  if (end != std::string_view::npos) part = part.substr(0, end);
  while (!part.empty() && part.back() == ' ') part.remove_suffix(1);
  static constexpr std::array<std::string_view, 6> kPlain = {"CON", "PRN",    "AUX",
                                                             "NUL", "CONIN$", "CONOUT$"};
  for (std::string_view name : kPlain)
    if (part.size() == name.size() && starts_with_nocase(part, name)) return true;
  if (part.size() == 4 && (starts_with_nocase(part, "COM") || starts_with_nocase(part, "LPT"))) {
    const auto digit = static_cast<unsigned char>(part[3]);
    return (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
  }
  return false;
}

}  // namespace

std::string disk_file_name_problem(std::string_view path) {
  if (path.empty()) return "is empty";
  if (path.size() >= 4 && is_separator(path[0]) && is_separator(path[1]) &&
      (path[2] == '.' || path[2] == '?') && is_separator(path[3])) {
    // "\\?\C:\..." and "\\?\UNC\server\share\..." are files; anything else there is a device.
    const std::string_view rest = path.substr(4);
    const bool drive =
        path[2] == '?' && rest.size() >= 3 && rest[1] == ':' && is_separator(rest[2]);
    const bool share = path[2] == '?' && starts_with_nocase(rest, "UNC") && rest.size() > 3 &&
                       is_separator(rest[3]);
    if (!drive && !share) return "names a device";
  }
  if (is_separator(path.back())) return "names a folder";
  std::size_t from = path.find_last_of("\\/");
  from = from == std::string_view::npos ? 0 : from + 1;
  std::string_view last = path.substr(from);
  if (from == 0 && last.size() >= 2 && last[1] == ':') last.remove_prefix(2);  // "C:name"
  if (is_device_name(last)) return "names a device";
  if (last == "." || last == "..") return "names a folder";
  return {};
}

std::string disk_file_problem(const std::string& path) {
  std::string problem = disk_file_name_problem(path);
  if (problem.empty()) problem = existing_file_problem(path);
  return problem;
}

}  // namespace kx
