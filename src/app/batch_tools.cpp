#include "app/batch_tools.h"

#include <unistd.h>

#include <filesystem>
#include <iostream>

#include "history/history_table.h"
#include "history/job_history.h"
#include "job/operator_tools.h"
#include "job/plot_job.h"
#include "platform/folder.h"

namespace tovrin {
namespace {

// A running job holds the folder for a while; --release waits that long.
constexpr int kLockTries = 150;
constexpr int kLockTryMicroseconds = 100000;

RowFilter FilterOf(const std::string& only) {
  if (only == "failed") return RowFilter::Failed;
  if (only == "waiting") return RowFilter::Waiting;
  return RowFilter::All;
}

bool LockWithin(FolderLock& lock, const std::string& folder, std::string& error) {
  for (int i = 0; i < kLockTries; ++i) {
    switch (lock.TryLock(folder, error)) {
      case FolderLock::Result::Locked: return true;
      case FolderLock::Result::Failed: return false;
      case FolderLock::Result::Busy: ::usleep(kLockTryMicroseconds);
    }
  }
  error = "a job is plotting the folder; try again when it is done";
  return false;
}

// The history knows a drawing by its folder as the job names it.
std::string SameFolderAs(const std::string& given, const std::string& ofi_folder) {
  const std::string folder = ResolveOfiFolder(CurrentFolder(), given.empty() ? "/" : given);
  std::error_code ec;
  return std::filesystem::equivalent(folder, ofi_folder, ec) ? ofi_folder : folder;
}

void Report(const ToolLine& line) {
  (line.ok ? std::cout : std::cerr) << (line.ok ? "" : "tovrin-batch: ") << line.text << "\n";
}

}  // namespace

int PrintHistory(const std::string& start_folder, int rows, const std::string& only) {
  const std::string path = JoinPath(start_folder, kHistoryFileName);
  std::vector<HistoryRow> last;
  if (std::string error; StampOf(path, error)) {
    auto history = JobHistory::OpenForReading(path, error);
    if (!history || !history->Last(rows, FilterOf(only), last)) {
      std::cerr << "tovrin-batch: " << (history ? history->LastError() : error) << "\n";
      return 1;
    }
  }
  std::cout << FormatHistoryTable(last) << std::flush;
  return 0;
}

int ReleaseDrawings(const std::vector<std::string>& files, const PlotSettings& settings,
                    const std::string& start_folder, Spooler* spooler) {
  std::string error;
  auto history = JobHistory::Open(JoinPath(start_folder, kHistoryFileName), error);
  if (!history) {
    std::cerr << "tovrin-batch: " << error << "\n";
    return 1;
  }
  const std::string ofi_folder = ResolveOfiFolder(start_folder, settings.OfiFile);
  bool all = true;
  for (const std::string& file : files) {
    const size_t slash = file.rfind('/');
    const std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
    const std::string folder =
        slash == std::string::npos ? ofi_folder : SameFolderAs(file.substr(0, slash), ofi_folder);
    FolderLock lock;
    ToolLine line = LockWithin(lock, folder, error)
                        ? ReleaseDrawing(*history, spooler, folder, name)
                        : ToolLine{false, file + ": " + error};
    Report(line);
    all = all && line.ok;
  }
  return all ? 0 : 1;
}

int CheckSetup(const PlotSettings& settings, const std::vector<std::string>& warnings,
               const std::string& start_folder, Spooler* spooler) {
  std::vector<ToolLine> lines = CheckJobSetup(settings, start_folder, spooler);
  for (const std::string& warning : warnings) lines.push_back({false, "settings: " + warning});
  bool all = true;
  for (const ToolLine& line : lines) {
    std::cout << (line.ok ? "ok    " : "FAIL  ") << line.text << "\n";
    all = all && line.ok;
  }
  std::cout << std::flush;
  return all ? 0 : 1;
}

}  // namespace tovrin
