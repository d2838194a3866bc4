#include "app/batch_options.h"

#include <CLI/CLI.hpp>

#include "app/version.h"
#include "settings/plot_settings.h"
#include "settings/setting_checks.h"
#include "settings/values.h"

namespace tovrin {
namespace {

constexpr const char* kDescription =
    "Plots the OFI drawings of the OFI folder without a window: each drawing becomes a GLF\n"
    "file that goes to the plotter queue or stays in the folder.\n"
    "Settings: the defaults, then ./Tovrin.sys (or --config FILE), then each --set in order.";

constexpr const char* kFooter =
    "Exit status: 0 every drawing finished or there was nothing to plot; 1 a drawing was\n"
    "aborted, rejected or failed, or the job could not run; 2 a usage error.\n"
    "Seconds are plain decimals such as 2 or 0.5.";

// The text of every option that takes a value, before it is checked.
struct RawOptions {
  std::string config;
  std::vector<std::string> sets;
  std::string watch, settle, preview, history, wait_delivered, only, http;
  std::vector<std::string> release;
  bool check = false;
};

void DefineOptions(CLI::App& app, RawOptions& raw) {
  app.add_option("--config", raw.config, "read the settings from FILE instead of ./Tovrin.sys")
      ->type_name("FILE");
  app.add_option("--set", raw.sets,
                 "set one setting (keys as in Tovrin.sys, values in UTF-8); repeatable")
      ->type_name("KEY=VALUE")
      ->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
      ->allow_extra_args(false);
  app.add_option("--watch", raw.watch,
                 "run a job, wait SECONDS after its end, and again, until SIGINT or SIGTERM"
                 " (0.5 to 86400)")
      ->type_name("SECONDS");
  app.add_option("--settle", raw.settle,
                 "take a drawing only once it is unchanged for SECONDS (0 to 3600, default 2)")
      ->type_name("SECONDS");
  app.add_option("--preview", raw.preview,
                 "write NAME.png and NAME.svg of every finished drawing into DIR")
      ->type_name("DIR");
  app.add_option("--history", raw.history,
                 "print the last N rows of the job history (default 20), then exit")
      ->type_name("[N]")
      ->expected(0, 1)
      ->default_str(std::to_string(kDefaultHistoryRows));
  app.add_option("--only", raw.only,
                 "with --history: only the drawings that were not plotted (failed) or that wait"
                 " for the plotter queue (waiting)")
      ->type_name("failed|waiting");
  app.add_option("--release", raw.release,
                 "make kept drawings of the OFI folder plottable again (a lost, failed or held"
                 " delivery; a held job is cancelled first), then exit")
      ->type_name("FILE...")
      ->expected(1, -1);
  app.add_flag("--check", raw.check,
               "report what would stop a job (job history, folder lock, CUPS and the queue,"
               " free space, settings), then exit: 0 all is well, 1 otherwise");
  app.add_option("--wait-delivered", raw.wait_delivered,
                 "at the end of a job, wait up to SECONDS for the plotter queue to report the"
                 " deliveries completed (0 to 3600, default 120)")
      ->type_name("SECONDS");
  app.add_option("--http", raw.http,
                 "serve a read-only status page, its JSON and metrics on ADDRESS:PORT (a numeric"
                 " address, such as 127.0.0.1:8631) while jobs run")
      ->type_name("ADDRESS:PORT");
  app.set_version_flag("--version", std::string("tovrin-batch ") + TOVRIN_VERSION,
                       "print the version and exit");
}

// Each check returns an error message, empty when the value is good.
std::string CheckSeconds(const CLI::App& app, const char* name, const std::string& text, double min,
                         double max, double& out) {
  if (app.count(name) == 0) return {};
  std::optional<double> seconds = ParseSeconds(text, min, max);
  if (!seconds)
    return std::string(name) + " \"" + text + "\": seconds must be a plain decimal from " +
           GeneralNumber(min) + " to " + GeneralNumber(max);
  out = *seconds;
  return {};
}

std::string CheckSets(const std::vector<std::string>& sets, BatchOptions& options) {
  for (const std::string& set : sets) {
    size_t eq = set.find('=');
    if (eq == std::string::npos) return "--set needs KEY=VALUE, got \"" + set + "\"";
    std::string key = set.substr(0, eq);
    const SettingInfo* info = FindSetting(key);
    if (!info) return "--set: unknown setting \"" + key + "\"";
    CheckedSetting checked = CheckCommandLineValue(*info, set.substr(eq + 1));
    if (!checked.value) return "--set " + checked.error;
    options.sets.emplace_back(key, *checked.value);
  }
  return {};
}

// --history, --release and --check each do one thing and exit.
std::string CheckActions(const CLI::App& app, const RawOptions& raw, BatchOptions& options) {
  const int actions =
      (app.count("--history") ? 1 : 0) + (app.count("--release") ? 1 : 0) + (raw.check ? 1 : 0);
  if (actions > 1) return "--history, --release and --check cannot be combined";
  if (app.count("--only")) {
    if (!app.count("--history")) return "--only goes with --history";
    if (raw.only != "failed" && raw.only != "waiting")
      return "--only \"" + raw.only + "\": failed or waiting";
    options.history_only = raw.only;
  }
  if (actions == 1 && app.count("--watch")) return "--watch runs jobs: it cannot be combined";
  if (actions == 1 && app.count("--http"))
    return "--http shows running jobs: it cannot be combined";
  options.release = raw.release;
  options.check = raw.check;
  return {};
}

std::string CheckValues(const CLI::App& app, const RawOptions& raw, BatchOptions& options) {
  if (app.count("--config")) {
    if (raw.config.empty()) return "--config needs a file";
    options.config = raw.config;
  }
  if (std::string error = CheckSets(raw.sets, options); !error.empty()) return error;
  double watch = 0;
  if (std::string error =
          CheckSeconds(app, "--watch", raw.watch, kMinWatchSeconds, kMaxWatchSeconds, watch);
      !error.empty())
    return error;
  if (app.count("--watch")) options.watch_seconds = watch;
  if (std::string error =
          CheckSeconds(app, "--settle", raw.settle, 0, kMaxSettleSeconds, options.settle_seconds);
      !error.empty())
    return error;
  if (std::string error = CheckSeconds(app, "--wait-delivered", raw.wait_delivered, 0,
                                       kMaxWaitDeliveredSeconds, options.wait_delivered_seconds);
      !error.empty())
    return error;
  if (app.count("--preview")) {
    if (raw.preview.empty()) return "--preview needs a folder";
    options.preview_folder = raw.preview;
  }
  if (app.count("--http")) {
    std::string error;
    options.http = web::ParseListenAddress(raw.http, error);
    if (!options.http) return "--http " + error;
  }
  if (app.count("--history")) {
    std::optional<double> rows = ParsePlainDecimal(raw.history);
    if (!rows || *rows < 1 || *rows > kMaxHistoryRows || *rows != static_cast<int>(*rows))
      return "--history \"" + raw.history + "\": N must be a whole number from 1 to " +
             std::to_string(kMaxHistoryRows);
    options.history_rows = static_cast<int>(*rows);
  }
  return CheckActions(app, raw, options);
}

}  // namespace

BatchCommandLine ParseBatchCommandLine(int argc, const char* const* argv) {
  CLI::App app(kDescription, "tovrin-batch");
  app.footer(kFooter);
  RawOptions raw;
  DefineOptions(app, raw);
  BatchCommandLine result;
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    result.action = BatchCommandLine::Action::Help;
    result.text = app.help();
    return result;
  } catch (const CLI::CallForVersion& e) {
    result.action = BatchCommandLine::Action::Version;
    result.text = e.what();
    return result;
  } catch (const CLI::ParseError& e) {
    result.action = BatchCommandLine::Action::UsageError;
    result.text = e.what();
    return result;
  }
  result.text = CheckValues(app, raw, result.options);
  if (!result.text.empty()) result.action = BatchCommandLine::Action::UsageError;
  return result;
}

}  // namespace tovrin
