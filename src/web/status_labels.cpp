#include "web/status_labels.h"

#include <map>

#include "history/history_table.h"
#include "web/web_texts.h"

namespace tovrin::web {
namespace {

std::string Find(const std::map<std::string, std::string>& labels, const std::string& key) {
  auto it = labels.find(key);
  return it != labels.end() ? it->second : key;
}

}  // namespace

// One set of words for every view: the history's own.
std::string ResultLabel(const std::string& result) { return ResultText(result); }

std::string CupsStateLabel(const std::string& state) { return CupsStateText(state); }

std::string WhyLabel(const std::string& why) {
  static const std::map<std::string, std::string> kLabels = {{"settling", texts::kSettling},
                                                             {"incomplete", texts::kIncomplete},
                                                             {"with_spooler", texts::kWithSpooler},
                                                             {"held", texts::kHeld},
                                                             {"lost", texts::kLost},
                                                             {"failed", texts::kFailed}};
  return Find(kLabels, why);
}

}  // namespace tovrin::web
