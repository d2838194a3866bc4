// How the page names results, spooler job states and why a drawing waits.
#pragma once

#include <string>

namespace tovrin::web {

// As the desktop program's history window shows them; unknown values as they are.
std::string ResultLabel(const std::string& result);
std::string CupsStateLabel(const std::string& state);
// For a WhyCode ("settling", …).
std::string WhyLabel(const std::string& why);

}  // namespace tovrin::web
