// Any bytes as Tovrin.db: opening it for looking and for writing, and every
// read and a write, end; a call that fails says why, and no read gives
// more rows than asked for.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz_check.h"
#include "history/job_history.h"

namespace {

using tovrin::HistoryRow;
using tovrin::JobHistory;
using tovrin::RowFilter;

// In memory where the system has it: the history takes a path.
std::string ScratchPath() {
  const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return std::string(folder) + "/tovrin-fuzz-" + std::to_string(getpid()) + ".db";
}

void RemoveDatabase(const std::string& path) {
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::remove((path + suffix).c_str());
}

// A failure is reported as one: with a reason.
void Said(const JobHistory& h, bool ok) { FUZZ_CHECK(ok || !h.LastError().empty()); }

void Read(JobHistory& h) {
  Said(h, h.Check());
  std::optional<HistoryRow> row;
  Said(h, h.LastFor({"/spool", "A.OFI", 4096, 11, 77}, row));
  Said(h, h.LastNamed("/spool", "A.OFI", row));
  std::vector<HistoryRow> rows;
  Said(h, h.Waiting("", rows));
  for (RowFilter filter : {RowFilter::All, RowFilter::Failed, RowFilter::Waiting}) {
    const bool ok = h.Last(3, filter, rows);
    Said(h, ok);
    FUZZ_CHECK(!ok || rows.size() <= 3);
  }
}

void Write(JobHistory& h) {
  HistoryRow row;
  row.drawing = {"/spool", "A.OFI", 1, 2, 3};
  row.result = tovrin::history_result::kFinished;
  Said(h, h.NewJob(row.job));
  const bool added = h.Add(row);
  Said(h, added);
  if (added) Said(h, h.Update(row));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = ScratchPath();
  RemoveDatabase(path);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(f != nullptr);
  FUZZ_CHECK(std::fwrite(data, 1, size, f) == size);
  FUZZ_CHECK(std::fclose(f) == 0);
  std::string error;
  if (auto reader = JobHistory::OpenForReading(path, error)) {
    Read(*reader);
  } else {
    FUZZ_CHECK(!error.empty());
  }
  error.clear();
  if (auto writer = JobHistory::Open(path, error)) {
    Read(*writer);
    Write(*writer);
  } else {
    FUZZ_CHECK(!error.empty());
  }
  RemoveDatabase(path);
  return 0;
}
