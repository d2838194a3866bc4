// tovrin-batch --check: what would stop a job, each finding one line.
#include <sys/statvfs.h>
#include <unistd.h>

#include "job/operator_tools.h"
#include "job/plot_job.h"
#include "platform/lock_holder.h"
#include "platform/plot_mark.h"
#include "platform/spool_files.h"
#include "settings/setting_values.h"

namespace tovrin {
namespace {

// Less room than this for GLFs and the history is worth a warning.
constexpr uint64_t kLowSpaceBytes = uint64_t{256} << 20;

void Add(std::vector<ToolLine>& lines, bool ok, const std::string& text) {
  lines.push_back({ok, text});
}

void CheckHistory(std::vector<ToolLine>& lines, const std::string& start) {
  const std::string path = JoinPath(start, kHistoryFileName);
  std::string error;
  if (!StampOf(path, error)) {
    const bool can_create = ::access(start.c_str(), W_OK) == 0;
    Add(lines, can_create,
        can_create ? "job history: none yet (the first job creates " + path + ")"
                   : "job history: " + path + " cannot be created: the folder is not writable");
    return;
  }
  auto history = JobHistory::Open(path, error);
  if (!history || !history->Check()) {
    Add(lines, false, "job history: " + (history ? history->LastError() : error));
    return;
  }
  std::vector<HistoryRow> waiting, failed;
  if (!history->Last(1000, RowFilter::Waiting, waiting) ||
      !history->Last(1000, RowFilter::Failed, failed)) {
    Add(lines, false, "job history: " + history->LastError());
    return;
  }
  Add(lines, true,
      "job history: " + path + " works (" + std::to_string(waiting.size()) +
          " deliveries waiting; see tovrin-batch --history --only waiting / failed)");
}

// The folder is looked at, not locked: a poller's next job must not find
// it taken by the check.
void CheckFolder(std::vector<ToolLine>& lines, const std::string& folder) {
  std::string error;
  if (!ListFolder(folder, error)) {
    Add(lines, false, "OFI folder: " + folder + " cannot be listed (" + error + ")");
    return;
  }
  const std::string holder = FolderLockHolder(folder);
  Add(lines, true,
      "OFI folder: " + folder +
          (holder.empty() ? ", no job plotting it now" : ", a job is plotting it: " + holder));
  if (::access(folder.c_str(), W_OK) != 0)
    Add(lines, false, "OFI folder: not writable by this user (GLFs cannot be written)");
}

void CheckSpace(std::vector<ToolLine>& lines, const std::string& what, const std::string& folder) {
  struct statvfs fs {};
  if (::statvfs(folder.c_str(), &fs) != 0) return;
  const uint64_t free = static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
  Add(lines, free >= kLowSpaceBytes,
      "free space in the " + what + ": " + std::to_string(free >> 20) + " MiB" +
          (free >= kLowSpaceBytes ? "" : " (low: a job may fail to write)"));
}

// Whether drawings can carry the mark of their plot here, tried on a
// temporary file of the folder's own.
void CheckMarks(std::vector<ToolLine>& lines, const std::string& folder) {
  std::string error;
  auto temp = CreateTempFile(folder, ".tovrin-check.tmp", error);
  if (!temp) return;
  PlotMark mark;
  mark.state = history_result::kFinished;
  const MarkAccess written = WritePlotMark(temp->fd, mark, error);
  ::close(temp->fd);
  RemoveFile(temp->path, error);
  if (written != MarkAccess::Done)
    Add(lines, true,
        "plot marks: drawings here cannot carry them; only the job history prevents a second"
        " plot (" +
            error + ")");
}

void CheckQueue(std::vector<ToolLine>& lines, const PlotSettings& s, Spooler& spooler) {
  const std::string name = s.Hprn.empty() ? spooler.DefaultPrinter() : s.Hprn;
  PrinterStatus status;
  std::string error;
  if (name.empty()) {
    // No default: because there is none, or because CUPS cannot be asked.
    const bool asked = spooler.QueryPrinter(name, status, error);
    Add(lines, false,
        "printer: " + (asked ? "Hprn names none and CUPS has no default destination" : error) +
            " (set Hprn, or OfiOut=ﾌｧｲﾙ to keep the GLFs)");
    return;
  }
  if (!spooler.QueryPrinter(name, status, error)) {
    Add(lines, false, "printer " + name + ": " + error);
    return;
  }
  if (!status.exists) {
    Add(lines, false, "printer " + name + ": no such queue (lpstat -p lists them)");
    return;
  }
  std::string text = "printer " + name + ": " + status.state_text;
  if (!status.reasons.empty()) text += ", " + status.reasons;
  if (!status.message.empty()) text += " (" + status.message + ")";
  if (status.stopped) text += "; start it with: cupsenable " + name;
  if (!status.accepting) text += "; it refuses jobs: cupsaccept " + name;
  Add(lines, !status.stopped && status.accepting, text);
}

}  // namespace

std::vector<ToolLine> CheckJobSetup(const PlotSettings& settings, const std::string& start_folder,
                                    Spooler* spooler) {
  std::vector<ToolLine> lines;
  const std::string folder = ResolveOfiFolder(start_folder, settings.OfiFile);
  CheckHistory(lines, start_folder);
  CheckFolder(lines, folder);
  CheckSpace(lines, "OFI folder", folder);
  if (start_folder != folder) CheckSpace(lines, "start folder", start_folder);
  CheckMarks(lines, folder);
  if (settings.OfiOut != setting_values::kToPlotter) {
    Add(lines, true,
        "output: the GLFs are kept in the OFI folder (OfiOut=" + settings.OfiOut + ")");
  } else if (!spooler) {
    Add(lines, false, "printer: this program was built without CUPS");
  } else {
    CheckQueue(lines, settings, *spooler);
  }
  return lines;
}

}  // namespace tovrin
