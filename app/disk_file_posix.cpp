// What a path names now, on POSIX systems: stat, without opening it.
#include <sys/stat.h>

#include "app/disk_file.hpp"

namespace kx {

std::string existing_file_problem(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};  // nothing yet (or nothing that can be seen)
  if (S_ISREG(st.st_mode)) return {};
  if (S_ISDIR(st.st_mode)) return "names a folder";
  if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) return "names a pipe";
  return "names a device";
}

}  // namespace kx
