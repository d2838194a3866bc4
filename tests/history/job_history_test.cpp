// The job history against real database files, shared by real processes.
#include "history/job_history.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <limits>
#include <set>

#include "temp_folder.h"

namespace tovrin {
namespace {

using test::TempFolder;

HistoryRow SampleRow(const std::string& name, int64_t job = 1) {
  HistoryRow r;
  r.job = job;
  r.started_ms = 1'700'000'000'123;
  r.drawing = {"/spool", name, 4096, 1'700'000'000'000'000'001, 77};
  r.header = "図面ﾃｽﾄ 1";
  r.glf_bytes = 12345;
  r.result = history_result::kPlotting;
  r.printer = "Plotter";
  return r;
}

std::unique_ptr<JobHistory> OpenOk(const std::string& path) {
  std::string error;
  std::unique_ptr<JobHistory> h = JobHistory::Open(path, error);
  EXPECT_TRUE(h) << error;
  return h;
}

// The calls of the history with their answers checked: a test of what they
// return fails at the call that did not answer.
int64_t NewJob(JobHistory& h) {
  int64_t job = 0;
  EXPECT_TRUE(h.NewJob(job)) << h.LastError();
  return job;
}
int64_t Add(JobHistory& h, HistoryRow row) {
  if (h.Add(row)) return row.id;
  ADD_FAILURE() << h.LastError();
  return 0;
}
std::vector<HistoryRow> Last(JobHistory& h, int count) {
  std::vector<HistoryRow> rows;
  EXPECT_TRUE(h.Last(count, RowFilter::All, rows)) << h.LastError();
  return rows;
}
std::optional<HistoryRow> LastFor(JobHistory& h, const DrawingIdentity& d) {
  std::optional<HistoryRow> row;
  EXPECT_TRUE(h.LastFor(d, row)) << h.LastError();
  return row;
}
std::vector<HistoryRow> Waiting(JobHistory& h, const std::string& folder) {
  std::vector<HistoryRow> rows;
  EXPECT_TRUE(h.Waiting(folder, rows)) << h.LastError();
  return rows;
}

// Runs `body` in a child process and returns its wait status.
template <typename F>
int InChild(F body) {
  pid_t pid = ::fork();
  if (pid == 0) {
    body();
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return status;
}

TEST(JobHistory, RowsKeepEveryFieldAndUpdatesRewriteThem) {
  TempFolder dir;
  auto h = OpenOk(dir / kHistoryFileName);
  ASSERT_TRUE(h);
  int64_t job = NewJob(*h);
  EXPECT_GT(job, 0);
  EXPECT_GT(NewJob(*h), job);

  HistoryRow row = SampleRow("A.OFI", job);
  row.drawing.size = std::numeric_limits<uint64_t>::max();  // unsigned values keep their bits
  row.drawing.inode = (uint64_t{1} << 63) + 5;
  row.header = std::string("a\0b", 3);
  row.id = Add(*h, row);
  ASSERT_GT(row.id, 0) << h->LastError();

  std::vector<HistoryRow> last = Last(*h, 10);
  ASSERT_EQ(last.size(), 1u);
  EXPECT_EQ(last[0].drawing, row.drawing);
  EXPECT_EQ(last[0].header, row.header);
  EXPECT_EQ(last[0].started_ms, row.started_ms);
  EXPECT_EQ(last[0].glf_bytes, row.glf_bytes);

  row.ended_ms = row.started_ms + 5000;
  row.result = history_result::kDelivering;
  row.reason = "printer stopped";
  row.cups_job_id = 42;
  row.cups_state = "processing";
  ASSERT_TRUE(h->Update(row)) << h->LastError();
  last = Last(*h, 1);
  ASSERT_EQ(last.size(), 1u);
  EXPECT_EQ(last[0].ended_ms, row.ended_ms);
  EXPECT_EQ(last[0].result, history_result::kDelivering);
  EXPECT_EQ(last[0].reason, "printer stopped");
  EXPECT_EQ(last[0].cups_job_id, 42);
  EXPECT_EQ(last[0].cups_state, "processing");

  HistoryRow missing = row;
  missing.id = row.id + 100;
  EXPECT_FALSE(h->Update(missing));
  EXPECT_FALSE(h->LastError().empty());
}

TEST(JobHistory, LastForFindsOnlyTheVeryFileAndItsNewestRow) {
  TempFolder dir;
  auto h = OpenOk(dir / kHistoryFileName);
  ASSERT_TRUE(h);
  HistoryRow first = SampleRow("A.OFI");
  first.result = history_result::kAborted;
  Add(*h, first);
  HistoryRow second = SampleRow("A.OFI");
  second.result = history_result::kFinished;
  int64_t second_id = Add(*h, second);
  Add(*h, SampleRow("B.OFI"));

  std::optional<HistoryRow> found = LastFor(*h, first.drawing);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->id, second_id);
  EXPECT_EQ(found->result, history_result::kFinished);

  for (auto change :
       {+[](DrawingIdentity& d) { d.size += 1; }, +[](DrawingIdentity& d) { d.mtime_ns += 1; },
        +[](DrawingIdentity& d) { d.inode += 1; }, +[](DrawingIdentity& d) { d.folder = "/other"; },
        +[](DrawingIdentity& d) { d.name = "a.ofi"; }}) {
    DrawingIdentity other = first.drawing;
    change(other);
    EXPECT_FALSE(LastFor(*h, other)) << other.folder << "/" << other.name;
  }
}

TEST(JobHistory, DeliveringRowsOldestFirstByFolder) {
  TempFolder dir;
  auto h = OpenOk(dir / kHistoryFileName);
  ASSERT_TRUE(h);
  for (const char* name : {"A.OFI", "B.OFI", "C.OFI", "D.OFI"}) {
    HistoryRow r = SampleRow(name);
    r.result =
        std::string(name) == "C.OFI" ? history_result::kFinished : history_result::kDelivering;
    if (std::string(name) == "D.OFI") r.drawing.folder = "/elsewhere";
    Add(*h, r);
  }
  std::vector<HistoryRow> spool = Waiting(*h, "/spool");
  ASSERT_EQ(spool.size(), 2u);
  EXPECT_EQ(spool[0].drawing.name, "A.OFI");
  EXPECT_EQ(spool[1].drawing.name, "B.OFI");
  std::vector<HistoryRow> all = Waiting(*h, "");
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[2].drawing.name, "D.OFI");
}

TEST(JobHistory, LastGivesTheNewestRowsNewestLast) {
  TempFolder dir;
  auto h = OpenOk(dir / kHistoryFileName);
  ASSERT_TRUE(h);
  for (int i = 0; i < 30; ++i) Add(*h, SampleRow("D" + std::to_string(i) + ".OFI"));
  std::vector<HistoryRow> last = Last(*h, 20);
  ASSERT_EQ(last.size(), 20u);
  EXPECT_EQ(last.front().drawing.name, "D10.OFI");
  EXPECT_EQ(last.back().drawing.name, "D29.OFI");
  EXPECT_TRUE(Last(*h, 0).empty());
  EXPECT_EQ(Last(*h, 1000).size(), 30u);
}

TEST(JobHistory, DatabaseIsWalWithSchemaVersionAndSurvivesReopening) {
  TempFolder dir;
  std::string path = dir / kHistoryFileName;
  int64_t job;
  {
    auto h = OpenOk(path);
    ASSERT_TRUE(h);
    job = NewJob(*h);
    Add(*h, SampleRow("A.OFI", job));
  }
  auto h = OpenOk(path);
  ASSERT_TRUE(h);
  EXPECT_EQ(Last(*h, 5).size(), 1u);
  EXPECT_GT(NewJob(*h), job);  // job numbers never repeat

  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  auto pragma = [&](const char* sql) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    std::string value = sqlite3_step(st) == SQLITE_ROW
                            ? reinterpret_cast<const char*>(sqlite3_column_text(st, 0))
                            : "";
    sqlite3_finalize(st);
    return value;
  };
  EXPECT_EQ(pragma("PRAGMA journal_mode"), "wal");
  EXPECT_EQ(pragma("PRAGMA user_version"), "2");
  sqlite3_close(db);
}

TEST(JobHistory, ADatabaseThatCannotBeOpenedGivesAClearError) {
  TempFolder dir;
  std::filesystem::create_directory(dir / "Tovrin.db");
  dir.WriteFile("plain", "x");
  dir.WriteFile("garbage.db", std::string(8192, '\x5a'));
  for (std::string path : {dir / "Tovrin.db", dir / "plain/Tovrin.db", dir / "missing/Tovrin.db",
                           dir / "garbage.db"}) {
    std::string error;
    EXPECT_EQ(JobHistory::Open(path, error), nullptr) << path;
    EXPECT_NE(error.find("cannot open the job history " + path + ": "), std::string::npos) << error;
  }
  EXPECT_EQ(dir.ReadFile("garbage.db"), std::string(8192, '\x5a'));  // left as it was
}

TEST(JobHistory, ADatabaseOfANewerProgramIsLeftAlone) {
  TempFolder dir;
  std::string path = dir / kHistoryFileName;
  { OpenOk(path); }
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  sqlite3_exec(db, "PRAGMA user_version=7", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  std::string error;
  EXPECT_EQ(JobHistory::Open(path, error), nullptr);
  EXPECT_NE(error.find("newer program"), std::string::npos) << error;
}

TEST(JobHistory, UnwritableFolderGivesAnError) {
  TempFolder dir;
  std::filesystem::permissions(
      dir.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec |
                      std::filesystem::perms::others_read | std::filesystem::perms::others_exec);
  // Root writes anywhere: the child tries as nobody.
  int status = InChild([&] {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
    std::string error;
    auto h = JobHistory::Open(dir / kHistoryFileName, error);
    ::_exit(!h && error.find("cannot open the job history") != std::string::npos ? 0 : 1);
  });
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_FALSE(dir.Exists(kHistoryFileName));
}

TEST(JobHistory, RowsCommittedBeforeACrashAreThereAfterIt) {
  TempFolder dir;
  std::string path = dir / kHistoryFileName;
  // Leaves without closing anything, as a crash would.
  int status = InChild([&] {
    std::string error;
    auto h = JobHistory::Open(path, error);
    if (!h) ::_exit(3);
    for (int i = 0; i < 5; ++i)
      if (Add(*h, SampleRow("C" + std::to_string(i) + ".OFI")) == 0) ::_exit(4);
    ::_exit(0);
  });
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

  // Killed while writing as fast as it can.
  pid_t writer = ::fork();
  if (writer == 0) {
    std::string error;
    auto h = JobHistory::Open(path, error);
    for (int i = 0;; ++i) Add(*h, SampleRow("K" + std::to_string(i) + ".OFI"));
  }
  ::usleep(300000);
  ::kill(writer, SIGKILL);
  ::waitpid(writer, &status, 0);

  auto h = OpenOk(path);
  ASSERT_TRUE(h);
  std::vector<HistoryRow> rows = Last(*h, 100000);
  ASSERT_GE(rows.size(), 5u);
  EXPECT_EQ(rows[4].drawing.name, "C4.OFI");
  for (size_t i = 5; i < rows.size(); ++i)
    EXPECT_EQ(rows[i].drawing.name, "K" + std::to_string(i - 5) + ".OFI");
  EXPECT_GT(Add(*h, SampleRow("After.OFI")), 0) << h->LastError();
}

TEST(JobHistory, ProcessesWriteAndReadAtOnce) {
  TempFolder dir;
  std::string path = dir / kHistoryFileName;  // created by whichever writer comes first
  constexpr int kWriters = 3, kRows = 60;
  std::vector<pid_t> writers;
  for (int w = 0; w < kWriters; ++w) {
    pid_t pid = ::fork();
    if (pid == 0) {
      std::string error;
      auto h = JobHistory::Open(path, error);
      if (!h) ::_exit(3);
      for (int i = 0; i < kRows; ++i) {
        int64_t job = NewJob(*h);
        HistoryRow r = SampleRow("W" + std::to_string(w) + "-" + std::to_string(i) + ".OFI", job);
        r.id = Add(*h, r);
        r.result = history_result::kFinished;
        if (job == 0 || r.id == 0 || !h->Update(r)) ::_exit(4);
      }
      ::_exit(0);
    }
    writers.push_back(pid);
  }
  // A reader meanwhile, as `--history` next to a poller.
  auto reader = OpenOk(path);
  ASSERT_TRUE(reader);
  size_t seen = 0;
  for (int i = 0; i < 50; ++i) {
    std::vector<HistoryRow> rows = Last(*reader, 1000);
    EXPECT_GE(rows.size(), seen);
    seen = rows.size();
    ::usleep(2000);
  }
  for (pid_t pid : writers) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  std::vector<HistoryRow> rows = Last(*reader, 1000);
  ASSERT_EQ(rows.size(), static_cast<size_t>(kWriters * kRows));
  std::set<int64_t> jobs;
  for (const HistoryRow& r : rows) {
    EXPECT_EQ(r.result, history_result::kFinished);
    jobs.insert(r.job);
  }
  EXPECT_EQ(jobs.size(), rows.size());  // every job number handed out once
}

}  // namespace
}  // namespace tovrin

namespace tovrin {
namespace {

// Held rows are one transaction: others see them at the commit, and a crash
// before it loses exactly them, never a committed row.
TEST(JobHistory, HeldRowsAppearTogetherAtTheCommitAndACrashLosesOnlyThem) {
  TempFolder dir;
  const std::string path = dir / kHistoryFileName;
  auto writer = OpenOk(path);
  auto reader = OpenOk(path);
  ASSERT_TRUE(writer && reader);
  ASSERT_TRUE(writer->Hold(true));
  HistoryRow row = SampleRow("H1.OFI", NewJob(*writer));
  row.id = Add(*writer, row);
  row.result = history_result::kFinished;
  EXPECT_TRUE(writer->Update(row));
  EXPECT_EQ(LastFor(*writer, row.drawing)->result, history_result::kFinished);  // its own rows
  EXPECT_TRUE(Last(*reader, 10).empty());
  EXPECT_TRUE(writer->Commit());
  ASSERT_EQ(Last(*reader, 10).size(), 1u);
  EXPECT_EQ(Last(*reader, 10)[0].result, history_result::kFinished);
  Add(*writer, SampleRow("H2.OFI"));
  EXPECT_TRUE(writer->Hold(false));  // releasing commits
  EXPECT_EQ(Last(*reader, 10).size(), 2u);
  Add(*writer, SampleRow("H3.OFI"));  // not held: committed at once
  EXPECT_EQ(Last(*reader, 10).size(), 3u);
  writer.reset();

  int status = InChild([&] {
    std::string error;
    auto h = JobHistory::Open(path, error);
    if (!h) ::_exit(3);
    if (!h->Hold(true)) ::_exit(5);
    Add(*h, SampleRow("Committed.OFI"));
    if (!h->Commit()) ::_exit(4);
    Add(*h, SampleRow("Lost.OFI"));
    ::_exit(0);  // without a commit, as a crash
  });
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  std::vector<HistoryRow> rows = Last(*reader, 10);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows.back().drawing.name, "Committed.OFI");
  // The lost transaction left no lock behind.
  EXPECT_GT(Add(*reader, SampleRow("After.OFI")), 0) << reader->LastError();
}

}  // namespace
}  // namespace tovrin
