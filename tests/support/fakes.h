// A job host and a spooler that record what a job does.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "job/job_host.h"
#include "platform/spooler.h"
#include "settings/plot_settings.h"

namespace tovrin::test {

// The settings of a job that searches `ofi_folder` for drawings (自動),
// sends their plots to `output` and treats a finished drawing as `at_end`
// says; empty: the default.
inline PlotSettings SearchSettings(const std::string& start, const std::string& ofi_folder,
                                   const char* output, const char* at_end = "") {
  PlotSettings s = PlotSettings::Defaults(start);
  s.OfiFile = ofi_folder;
  s.OfiFMen = "自動";
  s.OfiOut = output;
  if (*at_end) s.OfiFEnd = at_end;
  return s;
}

class FakeHost : public JobHost {
 public:
  explicit FakeHost(PlotSettings s) : settings(std::move(s)) {}

  bool CaptureSettings(PlotSettings& out, std::string& error) override {
    if (!capture_error.empty()) {
      error = capture_error;
      return false;
    }
    out = settings;
    return true;
  }
  void AddLog(const std::string& line) override { log.push_back(line); }
  void ReplaceLastLog(const std::string& line) override {
    if (log.empty())
      log.push_back(line);
    else
      log.back() = line;
  }
  void ProcessEvents() override {
    ++events;
    if (on_events) on_events(*this);
  }
  bool AbortRequested() override { return abort; }
  void Wait(int ms) override {
    waited_ms += ms;
    if (on_wait) on_wait(*this);
  }
  std::optional<std::vector<std::string>> ChooseFiles(std::string& folder) override {
    if (!chooser) return std::nullopt;
    return chooser(folder);
  }
  std::string OutputPrinter() override { return printer; }
  void SetOutputPrinter(const std::string& name) override { printer = name; }

  PlotSettings settings;
  std::string capture_error;
  std::vector<std::string> log;
  long events = 0;
  bool abort = false;
  std::string printer;
  std::function<void(FakeHost&)> on_events;
  std::function<void(FakeHost&)> on_wait;  // instead of sleeping
  long waited_ms = 0;
  std::function<std::optional<std::vector<std::string>>(std::string&)> chooser;
};

// Records every document; a printer named in `refuse` cannot be opened.
class FakeSpooler : public Spooler {
 public:
  struct Document {
    std::string printer, job_name, title, bytes;
    std::vector<std::string> calls;  // the operations in the order made
  };

  std::string DefaultPrinter() override { return default_printer; }
  std::vector<std::string> InstalledPrinters() override { return printers; }
  std::unique_ptr<PrinterConnection> OpenPrinter(const std::string& name,
                                                 std::string& error) override;
  // Jobs are numbered from 1 in creation order, uuid "urn:uuid:fake-N".
  // A job the spooler does not hold under its id (see LoseState) is Lost;
  // the others answer `job_state`, completed when it is not set.
  PrintJobStatus QueryJob(const SpoolerJob& job) override;
  std::optional<std::vector<SpoolerJob>> FindJobs(const std::string& printer,
                                                  const std::string& job_name, int64_t since,
                                                  std::string& error) override;
  // Drops the job from `jobs` when it is still that job.
  bool CancelJob(const SpoolerJob& job, std::string& error) override;
  // As a spooler reinstalled: its jobs forgotten, ids from 1 again with new
  // uuids.
  void LoseState() {
    jobs.clear();
    next_id = 1;
    ++generation;
  }
  SpoolerJob AddJob(const std::string& printer, const std::string& name);

  std::string default_printer = "Plotter1";
  std::vector<std::string> printers{"Plotter1", "Plotter2"};
  std::vector<Document> documents;
  std::vector<SpoolerJob> jobs;  // what the spooler holds, oldest first
  int next_id = 1;
  int generation = 0;
  std::function<PrintJobStatus(int job_id)> job_state;
  std::function<void(const Document&)> on_write;  // after each Write
  int queries = 0;
};

}  // namespace tovrin::test
