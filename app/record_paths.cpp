#include "app/record_paths.hpp"

#include <utility>
#include <vector>

#include "app/disk_file.hpp"
#include "app/supervisor.hpp"

namespace kx {

std::string record_paths_problem(const CommandLine& line) {
  // What the run writes, each with what the log calls it.
  std::vector<std::pair<std::string, std::string>> files;
  if (!line.log_path.empty()) {
    files.emplace_back("the log", line.log_path);
    if (line.ports.size() > 1)
      for (const std::string& port : line.ports)
        files.emplace_back("the log of " + port, port_log_path(line.log_path, port));
  }
  if (!line.summary_path.empty()) files.emplace_back("the summary", line.summary_path);
  std::vector<std::string> identities;
  for (const auto& [what, path] : files) {
    if (const std::string problem = disk_file_problem(path); !problem.empty())
      return what + " path " + problem + ": " + path;
    identities.push_back(file_identity(path));
  }
  for (std::size_t i = 0; i < files.size(); ++i)
    for (std::size_t j = i + 1; j < files.size(); ++j)
      if (identities[i] == identities[j])
        return files[i].first + " and " + files[j].first +
               " are the same file: " + files[i].second + ", " + files[j].second;
  return {};
}

}  // namespace kx
