// What a path names now, on POSIX systems: stat, without opening it.
#include <sys/stat.h>

#include <climits>
#include <cstdlib>

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

std::string file_identity(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0)
    return "file " + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
  const std::size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  char full[PATH_MAX];
  if (::realpath(folder.c_str(), full) == nullptr) return "path " + path;
  return "path " + std::string(full) + "/" + name;
}

}  // namespace kx
