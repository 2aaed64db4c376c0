#include "app/record_paths.hpp"

#include <utility>

#include "app/disk_file.hpp"
#include "app/summary.hpp"
#include "app/supervisor.hpp"

namespace kx {

std::string record_paths_problem(const std::string& log_path, const std::vector<PortLogName>& ports,
                                 const std::string& summary_path) {
  // What the run writes, each with what the log calls it.
  std::vector<std::pair<std::string, std::string>> files;
  if (!log_path.empty()) {
    files.emplace_back("the log", log_path);
    if (ports.size() > 1)
      for (const PortLogName& p : ports)
        files.emplace_back("the log of " + p.port, port_log_path(log_path, p.entry));
  }
  if (!summary_path.empty()) files.emplace_back("the summary", summary_path);
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
  // Last, as nothing else is wrong: the summary is created if it was not there.
  return summary_path.empty() ? std::string() : check_summary_path(summary_path);
}

std::string record_paths_problem(const CommandLine& line) {
  std::vector<PortLogName> ports;
  for (const std::string& port : line.ports) ports.push_back({port, port});
  return record_paths_problem(line.log_path, ports, line.summary_path);
}

}  // namespace kx
