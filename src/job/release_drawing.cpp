// tovrin-batch --release: a kept drawing made plottable again.
#include "job/job_records.h"
#include "job/operator_tools.h"
#include "platform/plot_mark.h"

namespace tovrin {

using namespace job_detail;
namespace result = history_result;
using State = PrintJobStatus::State;

namespace {

ToolLine Fail(const std::string& name, const std::string& why) {
  return {false, name + ": " + why};
}

bool StillWithSpooler(const std::string& r) {
  return r == result::kSending || r == result::kDelivering;
}

// A job still with the spooler would print beside the new plot: it is
// cancelled first. Empty when the drawing may be released.
std::string CancelWaitingJob(Spooler* spooler, const HistoryRow& row) {
  if (!StillWithSpooler(row.result) || row.cups_job_id == 0) return {};
  if (!spooler) return "its job #" + std::to_string(row.cups_job_id) + " may still print";
  const SpoolerJob job = JobOf(row);
  const PrintJobStatus status = spooler->QueryJob(job);
  std::string error;
  switch (status.state) {
    case State::Completed:
      return "job #" + std::to_string(job.id) + " completed; the next job finishes it";
    case State::Unknown:
      return "CUPS cannot be asked about job #" + std::to_string(job.id) + " (" + status.reason +
             ")";
    case State::Failed:
    case State::Lost: return {};
    case State::Pending:
    case State::Incoming:
    case State::Stopped:
      if (spooler->CancelJob(job, error)) return {};
      return "job #" + std::to_string(job.id) + " cannot be cancelled (" + error +
             "); cancel it with: cancel " + std::to_string(job.id);
  }
  return {};
}

}  // namespace

ToolLine ReleaseDrawing(JobHistory& history, Spooler* spooler, const std::string& folder,
                        const std::string& name) {
  std::string error;
  const std::optional<FileStamp> stamp = StampOf(JoinPath(folder, name), error);
  if (!stamp) return Fail(name, "cannot be read (" + error + ")");
  if (!stamp->regular) return Fail(name, "is not a plain file");
  std::optional<HistoryRow> last;
  if (!history.LastNamed(folder, name, last)) return Fail(name, history.LastError());
  PlotMark mark;
  const MarkAccess marked = ReadPlotMarkAt(folder, name, mark, error);
  if (!last && marked != MarkAccess::Done)
    return {true, name + ": nothing keeps it from being plotted"};
  HistoryRow row = last.value_or(HistoryRow{});
  if (!last) {  // known only by its mark
    row.result = mark.state;
    row.printer = mark.printer;
    row.cups_job_id = mark.job_id;
    row.cups_job_uuid = mark.job_uuid;
    row.cups_job_created = mark.job_created;
    row.drawing.name = name;
  }
  if (std::string why = CancelWaitingJob(spooler, row); !why.empty()) return Fail(name, why);
  const std::string was = row.result;
  if (last && StillWithSpooler(was)) {  // its job is cancelled: tracked no more
    row.result = result::kFailed;
    row.reason = "cancelled by the operator";
    if (!history.Update(row)) return Fail(name, history.LastError());
  }
  HistoryRow released = row;
  released.id = 0;
  released.drawing = IdentityOf(folder, name, *stamp);
  released.result = result::kReleased;
  released.reason = "released by the operator (was " + was + ")";
  released.started_ms = released.ended_ms = NowMs();
  if (!history.NewJob(released.job) || !history.Add(released))
    return Fail(name, history.LastError());
  if (marked == MarkAccess::Done && RemovePlotMarkAt(folder, name, error) == MarkAccess::Failed)
    return Fail(name, "released, but its plot mark cannot be removed (" + error + ")");
  return {true, name + ": released (was " + was + "); the next job plots it"};
}

}  // namespace tovrin
