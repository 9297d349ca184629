// Available memory: how much more memory the process can take, as the system and its limits say.
#pragma once

namespace VXMole {

// Memory the process can still take, in bytes: the least of what the system has available
// (/proc/meminfo), of what its control group allows beyond what the group uses (cgroup v2 or
// v1), and of its address-space and data limits beyond what it holds. Infinity where none of
// these can be read.
double availableMemory();

}  // namespace VXMole
