// The job host of tovrin-batch: log lines to stdout (or the journal, with
// fields), abort on a signal.
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "job/job_host.h"

namespace tovrin {

class BatchHost : public JobHost {
 public:
  BatchHost(PlotSettings settings, const std::atomic<bool>& stop)
      : settings_(std::move(settings)), stop_(stop) {}

  bool CaptureSettings(PlotSettings& settings, std::string& error) override;
  // A line is printed once it is final: when the next one arrives or the job ends.
  void AddLog(const std::string& line) override;
  void AddError(const std::string& line) override;
  void ReplaceLastLog(const std::string& line) override;
  // A drawing's final line carries its file name (and, in the journal, its
  // file, result and CUPS job as fields).
  void EndDrawing(const std::string& line, const DrawingReport& report) override;
  // One line per delivery CUPS ended, completed or not.
  void DeliveryEnded(const std::vector<std::string>& lines, const DrawingReport& report) override;
  // Called with the job's progress (per word, per drawing, in waits):
  // the service manager's watchdog is fed from here.
  void ProcessEvents() override {
    if (progress_) progress_();
  }
  bool AbortRequested() override { return stop_; }
  // Waits in small steps, so a signal ends the wait at once.
  void Wait(int ms) override;
  std::string OutputPrinter() override { return settings_.Hprn; }
  void SetOutputPrinter(const std::string& name) override { settings_.Hprn = name; }

  void FlushLog();
  void SetProgress(std::function<void()> progress) { progress_ = std::move(progress); }
  // Settings read again between jobs; the next job captures them.
  void ReplaceSettings(const PlotSettings& settings) { settings_ = settings; }

 private:
  struct Line {
    std::string text;
    bool error = false;
    std::optional<DrawingReport> about;
  };
  void Add(Line line);

  PlotSettings settings_;
  const std::atomic<bool>& stop_;
  std::optional<Line> pending_;
  std::function<void()> progress_;
};

}  // namespace tovrin
