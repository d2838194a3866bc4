#include "app/batch_host.h"

#include <unistd.h>

#include <iostream>

#include "app/journal.h"
#include "history/job_history.h"
#include "settings/setting_values.h"

namespace tovrin {
namespace {

// Plotted, or on its way: the others were not plotted.
bool Plotted(const std::string& result) {
  return result == history_result::kFinished || result == history_result::kDelivering ||
         result == "completed";
}

}  // namespace

bool BatchHost::CaptureSettings(PlotSettings& settings, std::string&) {
  settings = settings_;
  settings.OfiFMen = setting_values::kAutomatic;  // the batch program always searches the folder
  return true;
}

void BatchHost::Add(Line line) {
  FlushLog();
  pending_ = std::move(line);
}

void BatchHost::AddLog(const std::string& line) { Add({line, false, std::nullopt}); }

void BatchHost::AddError(const std::string& line) { Add({line, true, std::nullopt}); }

void BatchHost::ReplaceLastLog(const std::string& line) {
  if (!pending_) pending_ = Line{};
  pending_->text = line;
}

void BatchHost::EndDrawing(const std::string& line, const DrawingReport& report) {
  if (!pending_) pending_ = Line{};
  pending_->text = line + "  " + report.file;
  pending_->error = !Plotted(report.result);
  pending_->about = report;
}

void BatchHost::DeliveryEnded(const std::vector<std::string>& lines, const DrawingReport& report) {
  const bool plotted = Plotted(report.result);
  const std::string text =
      plotted || lines.empty() ? report.reason : lines[0] + "  " + report.reason;
  Add({text, !plotted, report});
}

void BatchHost::Wait(int ms) {
  for (int waited = 0; waited < ms && !stop_; waited += 20) {
    ::usleep(20000);
    ProcessEvents();
  }
}

void BatchHost::FlushLog() {
  if (!pending_) return;
  Line line = std::move(*pending_);
  pending_.reset();
  if (!IsJournalStream(1, std::getenv("JOURNAL_STREAM"))) {
    std::cout << line.text << std::endl;
    return;
  }
  std::cout << std::flush;
  if (!SendToJournal(line.text, line.error, line.about))
    std::cout << JournalLine(line.text, line.error) << std::endl;  // the stream still takes it
}

}  // namespace tovrin
