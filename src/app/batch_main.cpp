// tovrin-batch: runs plot jobs without a window.
//
//   tovrin-batch [--config FILE] [--set KEY=VALUE]... [--watch SECONDS] [--settle SECONDS]
//                [--preview DIR] [--wait-delivered SECONDS] [--http ADDRESS:PORT]
//   tovrin-batch --history [N] [--only failed|waiting] | --release FILE... | --check
//   tovrin-batch --help | --version
//
// The options are described in batch_options.cpp (and by --help).
//
// Exit status: 0 every drawing finished (or nothing to plot), 1 a drawing was
// stopped or the job could not run, 2 usage error.

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/batch_host.h"
#include "app/batch_options.h"
#include "app/batch_tools.h"
#include "app/journal.h"
#include "app/service_notify.h"
#include "app/settings_reload.h"
#include "app/spool_wait.h"
#include "job/plot_job.h"
#include "platform/folder.h"
#include "settings/plot_settings.h"
#include "settings/settings_store.h"

#ifdef TOVRIN_WITH_CUPS
#include "platform/cups/cups_spooler.h"
#endif
#ifdef TOVRIN_WITH_PREVIEW
#include "preview/glf_preview.h"
#include "preview/preview_texts.h"
#endif
#ifdef TOVRIN_WITH_WEB
#include "web/status_server.h"
#endif

namespace {

// Lock-free, so the signal handler may set it; read by the job's thread.
std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void OnSignal(int) { g_stop = true; }

// SIGHUP: the settings are read again before the next job.
volatile std::sig_atomic_t g_reload = 0;

void OnReload(int) { g_reload = 1; }

int Usage(const std::string& message) {
  std::cerr << "tovrin-batch: " << message << "\n"
            << "usage: tovrin-batch [--config FILE] [--set KEY=VALUE]... [--watch SECONDS]"
               " [--settle SECONDS] [--preview DIR] [--wait-delivered SECONDS]"
               " [--http ADDRESS:PORT]\n"
               "       tovrin-batch --history [N] [--only failed|waiting] | --release FILE... |"
               " --check\n"
               "       tovrin-batch --help | --version\n";
  return 2;
}

// SIGHUP came: the settings read again, taken when the file was whole.
void Reload(const tovrin::BatchOptions& opt, const std::string& start_folder,
            tovrin::PlotSettings& settings, tovrin::BatchHost& host,
            tovrin::ServiceNotifier& service) {
  g_reload = 0;
  service.Reloading();
  if (tovrin::ReloadAndReport(opt, start_folder, settings)) host.ReplaceSettings(settings);
  service.Reloaded();
}

// Defaults, the settings file, then the --set values. An unreadable
// --config is a usage error; the warnings go to stderr.
std::optional<tovrin::PlotSettings> LoadSettings(const tovrin::BatchOptions& options,
                                                 const std::string& start_folder,
                                                 std::vector<std::string>& warnings,
                                                 std::string& error) {
  tovrin::PlotSettings settings = tovrin::PlotSettings::Defaults(start_folder);
  const std::string path =
      options.config ? *options.config : tovrin::JoinPath(start_folder, tovrin::kSettingsFileName);
  tovrin::SettingsFileRead read = tovrin::ReadSettingsFile(path, settings);
  if (options.config && read.status != tovrin::SettingsFileRead::Status::Read) {
    error = "--config " + path + ": cannot be read (" + read.error + ")";
    return std::nullopt;
  }
  for (const std::string& warning : read.warnings) std::cerr << "tovrin-batch: " << warning << "\n";
  warnings = read.warnings;
  for (const auto& [key, text] : options.sets) {
    if (!tovrin::ApplySettingText(settings, *tovrin::FindSetting(key), text)) {
      error = "value out of range for " + key + ": \"" + text + "\"";
      return std::nullopt;
    }
  }
  return settings;
}

#ifdef TOVRIN_WITH_PREVIEW
// The preview files of a finished drawing; what went wrong or was left out
// goes to stderr.
void WritePreview(const std::string& folder, const std::string& name, const std::string& glf_path) {
  std::string error;
  tovrin::preview::PreviewOutcome outcome;
  const std::string stem = tovrin::DrawingStem(name);
  if (!tovrin::preview::WritePreviewFilesFor(glf_path, folder, stem, error, &outcome))
    std::cerr << "tovrin-batch: preview: " << error << "\n";
  if (!outcome.note.empty()) std::cerr << "tovrin-batch: preview: " << outcome.note << "\n";
  if (outcome.simplified)
    std::cerr << "tovrin-batch: preview: " << folder << "/" << stem
              << ".png: " << tovrin::preview::texts::kSimplified << "\n";
}

void ObservePreviews(tovrin::PlotJob& job, const std::string& folder) {
  job.SetGlfObserver([folder](const std::string& name, const std::string& glf_path) {
    WritePreview(folder, name, glf_path);
  });
}
#endif

// What the job shows of itself, and the status page that serves it with
// --http on threads of its own; without --http no thread is started and
// no socket opened. What the page cannot do goes to stderr; plotting goes on.
class StatusPage {
 public:
  StatusPage(const tovrin::BatchOptions& opt, const tovrin::PlotSettings& settings,
             const std::string& start_folder, tovrin::JobOptions& job_options) {
    job_options.status = &board_;
#ifdef TOVRIN_WITH_WEB
    if (!opt.http) return;
    board_.Update([&](tovrin::PollerState& s) {
      s.start_folder = start_folder;
      s.ofi_folder = tovrin::ResolveOfiFolder(start_folder, settings.OfiFile);
      s.printer = settings.Hprn;
      s.started = static_cast<double>(std::time(nullptr));
    });
    tovrin::web::StatusServerOptions options;
    options.address = *opt.http;
    options.history_path = tovrin::JoinPath(start_folder, tovrin::kHistoryFileName);
    options.preview_folder = opt.preview_folder;
    options.log = [](const std::string& line) { std::cerr << "tovrin-batch: " + line + "\n"; };
    server_ = std::make_unique<tovrin::web::StatusServer>(board_, std::move(options));
    std::string error;
    if (!server_->Start(error)) std::cerr << "tovrin-batch: --http: " << error << "\n";
#else
    (void)opt, (void)settings, (void)start_folder;
#endif
  }

  const tovrin::StatusBoard& board() const { return board_; }

 private:
  tovrin::StatusBoard board_;
#ifdef TOVRIN_WITH_WEB
  std::unique_ptr<tovrin::web::StatusServer> server_;
#endif
};

// An option this build cannot honour, or null.
const char* NotBuiltFor(const tovrin::BatchOptions& opt) {
#ifndef TOVRIN_WITH_PREVIEW
  if (opt.preview_folder) return "this tovrin-batch was built without previews";
#endif
#ifndef TOVRIN_WITH_WEB
  if (opt.http) return "this tovrin-batch was built without the status page (--http)";
#endif
  (void)opt;
  return nullptr;
}

// One job, or with --watch a job whenever one is due until a signal: the
// folder is listed every --watch seconds, and a drawing closed or moved in
// meanwhile is plotted at once. True when every job was clean.
bool RunJobs(const tovrin::BatchOptions& opt, const std::string& start_folder,
             tovrin::PlotSettings& settings, tovrin::PlotJob& job, tovrin::BatchHost& host,
             tovrin::ServiceNotifier& service) {
  tovrin::SpoolWait wait(
      [] { return g_stop.load() || g_reload != 0; },
      [](const std::string& line) { std::cerr << "tovrin-batch: " << line << "\n"; });
  wait.SetTick(service.PingSeconds(), [&service] { service.Alive(); });  // the watchdog
  bool clean = true;
  for (;;) {
    if (g_reload) Reload(opt, start_folder, settings, host, service);
    const tovrin::JobSummary summary = job.Run();
    host.FlushLog();
    service.Listed();
    clean = clean && summary.Clean();
    if (!opt.watch_seconds || g_stop) break;
    wait.Wait(job, summary, *opt.watch_seconds);  // until a job is due or a signal came
    if (g_stop) break;
  }
  return clean;
}

}  // namespace

int main(int argc, char** argv) {
  tovrin::JournalStderr journal_stderr;  // warnings get their priority in the journal
  const tovrin::BatchCommandLine command_line = tovrin::ParseBatchCommandLine(argc, argv);
  switch (command_line.action) {
    case tovrin::BatchCommandLine::Action::Help:
    case tovrin::BatchCommandLine::Action::Version:
      std::cout << command_line.text << std::endl;
      return 0;
    case tovrin::BatchCommandLine::Action::UsageError: return Usage(command_line.text);
    case tovrin::BatchCommandLine::Action::Run: break;
  }
  const tovrin::BatchOptions& opt = command_line.options;
  if (const char* missing = NotBuiltFor(opt)) return Usage(missing);
  const std::string start_folder = tovrin::CurrentFolder();
  if (opt.history_rows)
    return tovrin::PrintHistory(start_folder, *opt.history_rows, opt.history_only);

  std::string error;
  std::vector<std::string> warnings;
  std::optional<tovrin::PlotSettings> settings = LoadSettings(opt, start_folder, warnings, error);
  if (!settings) return Usage(error);
  std::unique_ptr<tovrin::Spooler> spooler;
#ifdef TOVRIN_WITH_CUPS
  spooler = std::make_unique<tovrin::CupsSpooler>();
#endif
  if (!opt.release.empty())
    return tovrin::ReleaseDrawings(opt.release, *settings, start_folder, spooler.get());
  if (opt.check) return tovrin::CheckSetup(*settings, warnings, start_folder, spooler.get());

  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  if (opt.watch_seconds) std::signal(SIGHUP, OnReload);

  tovrin::BatchHost host(*settings, g_stop);
  tovrin::JobOptions job_options;
  job_options.settle_seconds = opt.settle_seconds;
  job_options.wait_delivered_seconds = opt.wait_delivered_seconds;
  job_options.repeat = opt.watch_seconds.has_value();
  const StatusPage status_page(opt, *settings, start_folder, job_options);  // --http
  tovrin::ServiceNotifier service(status_page.board());
  host.SetProgress([&service] { service.Alive(); });
  tovrin::PlotJob job(host, spooler.get(), start_folder, job_options);
#ifdef TOVRIN_WITH_PREVIEW
  if (opt.preview_folder) ObservePreviews(job, *opt.preview_folder);
#endif
  const bool clean = RunJobs(opt, start_folder, *settings, job, host, service);
  service.Stopping();
  return clean ? 0 : 1;
}
