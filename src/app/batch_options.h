// The command line of tovrin-batch, parsed into one struct so that it can be
// checked without running the program.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "web/listen_address.h"

namespace tovrin {

// Limits of the options that take seconds (plain decimals).
inline constexpr double kMinWatchSeconds = 0.5;
inline constexpr double kMaxWatchSeconds = 86400;
inline constexpr double kDefaultSettleSeconds = 2;
inline constexpr double kMaxSettleSeconds = 3600;
inline constexpr double kDefaultWaitDeliveredSeconds = 120;
inline constexpr double kMaxWaitDeliveredSeconds = 3600;
inline constexpr int kDefaultHistoryRows = 20;
inline constexpr int kMaxHistoryRows = 1000000;

struct BatchOptions {
  std::optional<std::string> config;                      // --config FILE
  std::vector<std::pair<std::string, std::string>> sets;  // --set KEY=VALUE, checked, in order
  std::optional<double> watch_seconds;                    // --watch SECONDS
  double settle_seconds = kDefaultSettleSeconds;          // --settle SECONDS
  std::optional<std::string> preview_folder;              // --preview DIR
  std::optional<int> history_rows;                        // --history [N]
  std::string history_only;                               // --only failed|waiting (with --history)
  std::vector<std::string> release;                       // --release FILE...
  bool check = false;                                     // --check
  double wait_delivered_seconds = kDefaultWaitDeliveredSeconds;  // --wait-delivered SECONDS
  std::optional<web::ListenAddress> http;                        // --http ADDRESS:PORT
};

struct BatchCommandLine {
  enum class Action { Run, Help, Version, UsageError };
  Action action = Action::Run;
  BatchOptions options;
  // Help: the usage; Version: the version line; UsageError: what is wrong.
  std::string text;
};

BatchCommandLine ParseBatchCommandLine(int argc, const char* const* argv);

}  // namespace tovrin
