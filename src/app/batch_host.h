// The job host of tovrin-batch: log lines to stdout, abort on a signal.
#pragma once

#include <unistd.h>

#include <atomic>
#include <iostream>
#include <optional>
#include <string>

#include "app/journal.h"
#include "job/job_host.h"
#include "settings/setting_values.h"

namespace tovrin {

class BatchHost : public JobHost {
 public:
  BatchHost(PlotSettings settings, const std::atomic<bool>& stop)
      : settings_(std::move(settings)), stop_(stop) {}

  bool CaptureSettings(PlotSettings& settings, std::string&) override {
    settings = settings_;
    settings.OfiFMen = setting_values::kAutomatic;  // the batch program always searches the folder
    return true;
  }
  // A line is printed once it is final: when the next one arrives or the job ends.
  void AddLog(const std::string& line) override {
    FlushLog();
    pending_ = line;
  }
  void AddError(const std::string& line) override {
    AddLog(line);
    pending_error_ = true;
  }
  void ReplaceLastLog(const std::string& line) override { pending_ = line; }
  void ProcessEvents() override {}
  bool AbortRequested() override { return stop_; }
  // Waits in small steps, so a signal ends the wait at once.
  void Wait(int ms) override {
    for (int waited = 0; waited < ms && !stop_; waited += 20) ::usleep(20000);
  }
  std::string OutputPrinter() override { return settings_.Hprn; }
  void SetOutputPrinter(const std::string& name) override { settings_.Hprn = name; }

  void FlushLog() {
    if (!pending_) return;
    std::cout << StdoutLine(*pending_, pending_error_) << std::endl;
    pending_.reset();
    pending_error_ = false;
  }

 private:
  PlotSettings settings_;
  const std::atomic<bool>& stop_;
  std::optional<std::string> pending_;
  bool pending_error_ = false;
};

}  // namespace tovrin
