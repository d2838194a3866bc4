// What the plot job's parts share: the records of a listed and a running
// drawing, and small helpers.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "history/job_history.h"
#include "job/job_texts.h"
#include "job/plot_job.h"
#include "platform/folder.h"
#include "platform/spooler.h"
#include "settings/setting_values.h"

namespace tovrin {

struct PlotJob::Candidate {
  std::string name;
  std::string folder;
  std::optional<FileStamp> stamp;  // as listed; none when a chosen file is missing
  bool chosen = false;             // picked in the chooser rather than found
};

struct PlotJob::Drawing {
  std::string name;
  std::string folder;
  std::string ofi_path;
  std::string glf_path;
  std::string temp_path;  // the GLF is written here, then renamed
  std::string header;
  std::string thread_note;  // why the job's helper threads could not start
  HistoryRow row;
};

namespace job_detail {

inline std::string Reason(const std::string& what) { return texts::kReasonIndent + what; }

inline double WallSeconds() {
  using namespace std::chrono;
  return duration<double>(system_clock::now().time_since_epoch()).count();
}

inline double SteadySeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

inline int64_t NowMs() { return static_cast<int64_t>(WallSeconds() * 1000); }

// The spooler's job a row records.
inline SpoolerJob JobOf(const HistoryRow& row) {
  return {row.cups_job_id, row.cups_job_uuid, row.cups_job_created, row.drawing.name, row.printer};
}

inline void SetJob(HistoryRow& row, const SpoolerJob& job) {
  row.cups_job_id = job.id;
  row.cups_job_uuid = job.uuid;
  row.cups_job_created = job.created;
}

// The stamp of the file a row records, as a plain file.
inline FileStamp StampOf(const HistoryRow& row) {
  FileStamp stamp;
  stamp.size = row.drawing.size;
  stamp.mtime_ns = row.drawing.mtime_ns;
  stamp.inode = row.drawing.inode;
  stamp.regular = true;
  return stamp;
}

inline DrawingIdentity IdentityOf(const std::string& folder, const std::string& name,
                                  const FileStamp& stamp) {
  return {folder, name, stamp.size, stamp.mtime_ns, stamp.inode};
}

}  // namespace job_detail
}  // namespace tovrin
