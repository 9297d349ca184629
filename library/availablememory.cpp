// Available memory: read from /proc, the control group's files and the resource limits.
#include "availablememory.h"

#include <sys/resource.h>  // for getrlimit

#include <algorithm>
#include <cstdlib>  // for std::strtod
#include <fstream>
#include <limits>
#include <string>
#include <utility>

namespace VXMole {

namespace {

constexpr double kKiB = 1024.0;

// The value after `key` on the first line of the file that starts with it, in kB; -1 when the
// file or the line is missing.
double kilobytes(const char* path, const std::string& key) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, key.size(), key) == 0)
      return std::strtod(line.c_str() + key.size(), nullptr);
  }
  return -1.0;
}

// The number a file holds; -1 when it holds none ("max", a control group without a limit).
double number(const char* path) {
  std::ifstream in(path);
  double value = -1;
  return in >> value ? value : -1.0;
}

}  // namespace

double availableMemory() {
  double available = std::numeric_limits<double>::infinity();
  const double system = kilobytes("/proc/meminfo", "MemAvailable:");
  if (system >= 0) available = std::min(available, system * kKiB);
  for (const auto& [limit, usage] :
       {std::pair<const char*, const char*>{"/sys/fs/cgroup/memory.max",
                                            "/sys/fs/cgroup/memory.current"},
        {"/sys/fs/cgroup/memory/memory.limit_in_bytes",
         "/sys/fs/cgroup/memory/memory.usage_in_bytes"}}) {
    const double most = number(limit);
    const double used = number(usage);
    if (most >= 0 && used >= 0) available = std::min(available, std::max(0.0, most - used));
  }
  for (const auto& [resource, key] :
       {std::pair<int, const char*>{RLIMIT_AS, "VmSize:"}, {RLIMIT_DATA, "VmData:"}}) {
    rlimit bound{};
    if (getrlimit(resource, &bound) != 0 || bound.rlim_cur == RLIM_INFINITY) continue;
    const double held = kilobytes("/proc/self/status", key);
    available = std::min(
        available, std::max(0.0, static_cast<double>(bound.rlim_cur) - std::max(0.0, held) * kKiB));
  }
  return available;
}

}  // namespace VXMole
