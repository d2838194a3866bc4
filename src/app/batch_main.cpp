// tovrin-batch: runs plot jobs without a window.
//
//   tovrin-batch [--config FILE] [--set KEY=VALUE]... [--watch SECONDS] [--preview DIR]
//
// --preview writes NAME.png and NAME.svg of every finished drawing into DIR.
//
// Exit status: 0 every drawing finished (or nothing to plot), 1 a drawing was
// stopped or the job could not run, 2 usage error.

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/batch_host.h"
#include "app/journal.h"
#include "job/plot_job.h"
#include "platform/folder.h"
#include "settings/plot_settings.h"
#include "settings/settings_store.h"
#include "settings/values.h"

#ifdef TOVRIN_WITH_CUPS
#include "platform/cups/cups_spooler.h"
#endif
#ifdef TOVRIN_WITH_PREVIEW
#include "preview/glf_preview.h"
#endif

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) { g_stop = 1; }

struct Options {
  std::optional<std::string> config;
  std::vector<std::pair<std::string, std::string>> sets;
  std::optional<double> watch_seconds;
  std::optional<std::string> preview_folder;
};

int Usage(const std::string& message) {
  std::cerr << "tovrin-batch: " << message << "\n"
            << "usage: tovrin-batch [--config FILE] [--set KEY=VALUE]... [--watch SECONDS]"
               " [--preview DIR]\n";
  return 2;
}

// Returns an error message, or empty on success.
std::string ParseOptions(int argc, char** argv, Options& opt) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](const char* name) -> std::optional<std::string> {
      if (i + 1 >= argc) return std::nullopt;
      (void)name;
      return std::string(argv[++i]);
    };
    if (arg == "--config") {
      auto v = value("--config");
      if (!v) return "--config needs a file";
      opt.config = *v;
    } else if (arg == "--set") {
      auto v = value("--set");
      if (!v) return "--set needs KEY=VALUE";
      size_t eq = v->find('=');
      if (eq == std::string::npos) return "--set needs KEY=VALUE, got \"" + *v + "\"";
      std::string key = v->substr(0, eq);
      if (!tovrin::FindSetting(key)) return "unknown setting \"" + key + "\"";
      opt.sets.emplace_back(key, v->substr(eq + 1));
    } else if (arg == "--watch") {
      auto v = value("--watch");
      if (!v || !tovrin::StartsWithNumber(*v) || tovrin::LeadingNumber(*v) < 0)
        return "--watch needs a number of seconds";
      opt.watch_seconds = tovrin::LeadingNumber(*v);
    } else if (arg == "--preview") {
#ifdef TOVRIN_WITH_PREVIEW
      auto v = value("--preview");
      if (!v || v->empty()) return "--preview needs a folder";
      opt.preview_folder = *v;
#else
      return "this tovrin-batch was built without previews";
#endif
    } else {
      return "unknown argument \"" + arg + "\"";
    }
  }
  return {};
}

std::string CurrentFolder() {
  std::vector<char> buf(4096);
  if (!::getcwd(buf.data(), buf.size())) return ".";
  return buf.data();
}

// Waits the interval in small steps so a signal ends the wait at once.
void WaitInterval(double seconds) {
  for (double waited = 0; waited < seconds && !g_stop; waited += 0.05) ::usleep(50000);
}

}  // namespace

int main(int argc, char** argv) {
  tovrin::JournalStderr journal_stderr;  // warnings get their priority in the journal
  Options opt;
  if (std::string error = ParseOptions(argc, argv, opt); !error.empty()) return Usage(error);

  const std::string start_folder = CurrentFolder();
  tovrin::PlotSettings settings = tovrin::PlotSettings::Defaults(start_folder);
  const std::string config =
      opt.config ? *opt.config : tovrin::JoinPath(start_folder, tovrin::kSettingsFileName);
  tovrin::LoadSettingsFile(config, settings);
  for (const auto& [key, text] : opt.sets) {
    if (!tovrin::ApplySettingText(settings, *tovrin::FindSetting(key), text))
      return Usage("value out of range for " + key + ": \"" + text + "\"");
  }

  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);

  tovrin::BatchHost host(settings, g_stop);
  std::unique_ptr<tovrin::Spooler> spooler;
#ifdef TOVRIN_WITH_CUPS
  spooler = std::make_unique<tovrin::CupsSpooler>();
#endif
  tovrin::PlotJob job(host, spooler.get(), start_folder);
#ifdef TOVRIN_WITH_PREVIEW
  if (opt.preview_folder) {
    const std::string folder = *opt.preview_folder;
    job.SetGlfObserver([folder](const std::string& name, const std::string& glf_path) {
      std::string error;
      if (!tovrin::preview::WritePreviewFilesFor(glf_path, folder, name.substr(0, name.find('.')), error))
        std::cerr << "tovrin-batch: preview: " << error << "\n";
    });
  }
#endif
  bool clean = true;
  for (;;) {
    tovrin::JobSummary summary = job.Run();
    host.FlushLog();
    clean = clean && summary.Clean();
    if (!opt.watch_seconds || g_stop) break;
    WaitInterval(*opt.watch_seconds);
    if (g_stop) break;
  }
  return clean ? 0 : 1;
}
