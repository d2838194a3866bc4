// What a plot job needs of the program that runs it (window or batch).
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "settings/plot_settings.h"

namespace tovrin {

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
