// A finished drawing kept or delivered. A delivery goes in steps, each on
// record before the next: the "sending" row is committed before the
// spooler's job is created, the job's identity right after, before its
// document is sent, and "delivering" once the spooler has the document. A
// program killed at any point finds on its next start what it needs to
// tell whether the plot reached the spooler.
#include "job/delivery.h"
#include "job/job_records.h"
#include "job/plot_job.h"
#include "ofi/translation.h"
#include "platform/spool_files.h"

namespace tovrin {

using namespace job_detail;
namespace result = history_result;

// Delivery, then the OFI: it goes only once its plot is safe.
PlotJob::Outcome PlotJob::FinishDrawing(const JobContext& job, Drawing& d) {
  const PlotSettings& s = job.cfg.settings;
  const std::string& glf = d.temp_path.empty() ? d.glf_path : d.temp_path;
  if (glf_observer_) glf_observer_(d.name, glf);
  if (s.OfiOut == setting_values::kToPlotter && spooler_) return DeliverDrawing(d);
  host_.EndDrawing(d.header + texts::kFinished, {d.name, result::kFinished, {}, 0, {}});
  ++summary_.finished;
  if (!Record(d, result::kFinished, {})) return Outcome::StopJob;
  ShowEnded(d.row, result::kFinished);
  ShowQueued(d);
  batch_.push_back(d.row);  // marked, or deleted, once the row is committed
  return Outcome::Next;
}

PlotJob::Outcome PlotJob::DeliverDrawing(Drawing& d) {
  // The default printer is looked up only when a drawing goes to it, so an
  // idle poll never talks to the spooler.
  if (host_.OutputPrinter().empty()) host_.SetOutputPrinter(spooler_->DefaultPrinter());
  d.row.printer = host_.OutputPrinter();
  std::string error, ignored;
  if (!Record(d, result::kSending, {}) || !CommitHistory()) {
    RemoveFile(d.temp_path, ignored);
    return Outcome::StopJob;
  }
  MarkDrawing(d.row);
  auto job = DeliverGlf(
      *spooler_, d.row.printer, d.temp_path, d.name,
      [&](const SpoolerJob& created) { return JobCreated(d, created); }, error);
  RemoveFile(d.temp_path, ignored);  // the spooler has the bytes, or will never get them
  if (!job) {
    if (HistoryDown()) return Outcome::StopJob;
    LogStopped(d, result::kFailed, error);
    if (!CommitHistory()) return Outcome::StopJob;
    UnmarkDrawing(d.row);
    summary_.failed = true;
    return Outcome::StopJob;
  }
  // The OFI waits until the spooler reports the job completed.
  host_.EndDrawing(d.header + texts::kFinished,
                   {d.name, result::kDelivering, d.row.printer, d.row.cups_job_id, {}});
  ++summary_.finished;
  ++outstanding_;
  ++sent_since_look_;
  if (!Record(d, result::kDelivering, {}) || !CommitHistory()) return Outcome::StopJob;
  MarkDrawing(d.row);
  ShowEnded(d.row, "delivered");
  ShowQueued(d);
  return Outcome::Next;
}

// The spooler's job exists and its document is not sent yet: its identity
// goes on record first, or the job is cancelled.
bool PlotJob::JobCreated(Drawing& d, const SpoolerJob& job) {
  SetJob(d.row, job);
  if (!SaveRow(d.row) || !CommitHistory()) return false;
  MarkDrawing(d.row);
  return true;
}

}  // namespace tovrin
