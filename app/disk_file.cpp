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
// colon, trailing blanks ignored; the console's CONIN$ and CONOUT$ too. COM and LPT take 0 to 9
// and the superscript digits 1, 2, 3 (in UTF-8, as the command line arrives: a letter of another
// alphabet in that place, such as the Cyrillic "і", is no digit).
bool is_device_name(std::string_view part) {
  const std::size_t end = part.find_first_of(".:");
  if (end != std::string_view::npos) part = part.substr(0, end);
  while (!part.empty() && part.back() == ' ') part.remove_suffix(1);
  static constexpr std::array<std::string_view, 6> kPlain = {"CON", "PRN",    "AUX",
                                                             "NUL", "CONIN$", "CONOUT$"};
  for (std::string_view name : kPlain)
    if (part.size() == name.size() && starts_with_nocase(part, name)) return true;
  if (part.size() < 4 || !(starts_with_nocase(part, "COM") || starts_with_nocase(part, "LPT")))
    return false;
  const std::string_view digit = part.substr(3);
  static constexpr std::array<std::string_view, 3> kSuperscripts = {"\xC2\xB9", "\xC2\xB2",
                                                                    "\xC2\xB3"};
  if (digit.size() == 1) return digit[0] >= '0' && digit[0] <= '9';
  for (std::string_view s : kSuperscripts)
    if (digit == s) return true;
  return false;
}

// The prefixes by which a path names the system's object space rather than a file on a drive:
// "\\.\" and "\\?\" (but for "\\?\C:\" and "\\?\UNC\"), and the object manager's own
// names at the root: "\??\", "\Device\", "\DosDevices\", "\GLOBAL??\", "\GLOBALROOT\".
// Either separator counts.
bool is_device_path(std::string_view path) {
  const auto sep = [&path](std::size_t i) { return i < path.size() && is_separator(path[i]); };
  if (sep(0) && sep(1) && path.size() >= 3 && (path[2] == '.' || path[2] == '?') &&
      (path.size() == 3 || sep(3))) {
    const std::string_view rest = path.size() > 4 ? path.substr(4) : std::string_view();
    const bool drive =
        path[2] == '?' && rest.size() >= 3 && rest[1] == ':' && is_separator(rest[2]);
    const bool share = path[2] == '?' && starts_with_nocase(rest, "UNC") && rest.size() > 3 &&
                       is_separator(rest[3]);
    return !drive && !share;
  }
  if (!sep(0) || sep(1)) return false;
  std::string_view first = path.substr(1);
  first = first.substr(0, first.find_first_of("\\/"));
  static constexpr std::array<std::string_view, 5> kObjectRoots = {"??", "Device", "DosDevices",
                                                                   "GLOBAL??", "GLOBALROOT"};
  for (std::string_view root : kObjectRoots)
    if (first.size() == root.size() && starts_with_nocase(first, root)) return true;
  return false;
}

// A colon past the drive ("C:") names a stream of a file ("run.log:hidden"), never the file.
bool names_a_stream(std::string_view path) {
  std::size_t from = 0;
  if (path.size() >= 4 && is_separator(path[0]) && is_separator(path[1]) && path[2] == '?' &&
      is_separator(path[3]))
    from = 4;  // "\\?\C:\..."
  if (path.size() >= from + 2 && path[from + 1] == ':') from += 2;
  return path.find(':', from) != std::string_view::npos;
}

}  // namespace

std::string disk_file_name_problem(std::string_view path) {
  if (path.empty()) return "is empty";
  if (is_device_path(path)) return "names a device";
  if (is_separator(path.back())) return "names a folder";
  std::size_t from = path.find_last_of("\\/");
  from = from == std::string_view::npos ? 0 : from + 1;
  std::string_view last = path.substr(from);
  if (from == 0 && last.size() >= 2 && last[1] == ':') last.remove_prefix(2);  // "C:name"
  if (is_device_name(last)) return "names a device";
  if (last == "." || last == "..") return "names a folder";
  if (names_a_stream(path)) return "names a stream of a file (a colon after the drive)";
  return {};
}

std::string disk_file_problem(const std::string& path) {
  std::string problem = disk_file_name_problem(path);
  if (problem.empty()) problem = existing_file_problem(path);
  return problem;
}

}  // namespace kx
