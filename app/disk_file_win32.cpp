// What a path names now, on Windows: its attributes, without opening it.
#include <windows.h>

#include "app/disk_file.hpp"

namespace kx {

std::string existing_file_problem(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return {};  // nothing yet (or nothing to be seen)
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return "names a folder";
  if (attributes & FILE_ATTRIBUTE_DEVICE) return "names a device";
  return {};
}

}  // namespace kx
