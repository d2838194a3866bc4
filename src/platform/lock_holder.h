// Who holds a folder's lock, for an administrator asking why a job waits.
#pragma once

#include <string>

namespace tovrin {

// "pid 1234 (tovrin-batch --watch 30)" for the process holding the flock on
// `folder`, from /proc/locks; empty when none is found (or it cannot be
// told: another mount namespace, /proc not mounted).
std::string FolderLockHolder(const std::string& folder);

}  // namespace tovrin
