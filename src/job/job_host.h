// What a plot job needs of the program that runs it (window or batch).
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "settings/plot_settings.h"

namespace tovrin {

// What a drawing's final line is about, for a host that records more than
// the line (the batch program adds the file name, and journal fields).
struct DrawingReport {
  std::string file;    // the OFI's name
  std::string result;  // history_result::*, or "completed" for a job CUPS completed
  std::string printer;
  int cups_job = 0;
  std::string reason;  // why it was not plotted, or CUPS's last word
};

class JobHost {
 public:
  virtual ~JobHost() = default;

  // The settings the job works from. False (with `error` set) when a field
  // that must hold a number does not.
  virtual bool CaptureSettings(PlotSettings& settings, std::string& error) = 0;

  virtual void AddLog(const std::string& line) = 0;
  // A line about the job as a whole that stops it (the job history cannot
  // be used): an error, not a drawing's reason. The journal gives it error
  // priority.
  virtual void AddError(const std::string& line) { AddLog(line); }
  virtual void ReplaceLastLog(const std::string& line) = 0;
  // The drawing's line is final: `line` (its header and "出図終了" or
  // "出図中止") replaces its "出図中" line.
  virtual void EndDrawing(const std::string& line, const DrawingReport& report) {
    (void)report;
    ReplaceLastLog(line);
  }
  // CUPS ended a delivered drawing's job. `lines` are the job log's lines
  // for it: none when it completed (the drawing's line said "出図終了"
  // already), its "出図中止" line and the reason otherwise.
  virtual void DeliveryEnded(const std::vector<std::string>& lines, const DrawingReport& report) {
    (void)report;
    for (const std::string& line : lines) AddLog(line);
  }
  // Lets the window handle pending events; cheap enough to call per word.
  virtual void ProcessEvents() = 0;
  virtual bool AbortRequested() = 0;
  // Waits about `ms` milliseconds for a drawing to settle; a window keeps
  // handling its events meanwhile.
  virtual void Wait(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

  // Manual selection: the chosen file names (with ".OFI"), and the folder the
  // chooser ended in. nullopt: the host has no chooser, search the folder.
  virtual std::optional<std::vector<std::string>> ChooseFiles(std::string& ofi_folder) {
    (void)ofi_folder;
    return std::nullopt;
  }

  // The output printer field: read at every delivery, filled with the
  // default printer at job start when empty.
  virtual std::string OutputPrinter() = 0;
  virtual void SetOutputPrinter(const std::string& name) = 0;

  // The OFI folder as the job leaves it (shown in the folder field).
  virtual void ShowOfiFolder(const std::string& folder) { (void)folder; }
};

}  // namespace tovrin
