// The history's failures as they happen to a running program, against real
// files and processes: a file this user cannot write, another program's
// transaction, a damaged page, the file deleted or replaced.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>

#include "history/job_history.h"
#include "run_command.h"
#include "temp_folder.h"

namespace tovrin {
namespace {

using test::TempFolder;
using Clock = std::chrono::steady_clock;

HistoryRow Row(const std::string& name, const char* result = history_result::kFinished) {
  HistoryRow r;
  r.job = 1;
  r.drawing = {"/spool", name, 100, 5, 9};
  r.result = result;
  return r;
}

std::unique_ptr<JobHistory> OpenOk(const std::string& path) {
  std::string error;
  std::unique_ptr<JobHistory> h = JobHistory::Open(path, error);
  EXPECT_TRUE(h) << error;
  return h;
}

std::string Bytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

double SecondsSince(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

// What Open says in a child that dropped to user nobody.
std::string OpenAsNobody(const std::string& path) {
  int fds[2];
  if (::pipe(fds) != 0) return "no pipe";
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    std::string error = "could not become nobody";
    if (::setgid(65534) == 0 && ::setuid(65534) == 0)
      error = JobHistory::Open(path, error) ? "opened" : error;
    (void)!::write(fds[1], error.data(), error.size());
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string said;
  char buf[512];
  ssize_t n;
  while ((n = ::read(fds[0], buf, sizeof buf)) > 0) said.append(buf, static_cast<size_t>(n));
  ::close(fds[0]);
  ::waitpid(pid, nullptr, 0);
  return said;
}

TEST(HistoryFailures, AFileThisUserCannotWriteFailsOpenSayingWhoseItIs) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to leave a file of another user";
  TempFolder dir;
  const std::string path = dir / kHistoryFileName;
  {
    auto h = OpenOk(path);
    HistoryRow r = Row("A.OFI");
    ASSERT_TRUE(h && h->Add(r));
  }
  ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
  ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);  // the folder is the service user's
  const std::string before = Bytes(path);
  const std::string said = OpenAsNobody(path);
  EXPECT_NE(said.find(path + " cannot be written by this user (owner root, mode 0644"),
            std::string::npos)
      << said;
  EXPECT_EQ(Bytes(path), before);

  // The database the user's, its journal files root's: root's program still runs.
  {
    auto root_program = OpenOk(path);
    ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
    const std::string wal_said = OpenAsNobody(path);
    EXPECT_NE(wal_said.find(path + "-wal cannot be written by this user (owner root, mode 0644"),
              std::string::npos)
        << wal_said;
  }
  ASSERT_EQ(::chmod(path.c_str(), 0644), 0);

  // The same for a file that nobody may write, root included.
  if (test::RunCommand("chattr +i '" + path + "' 2>/dev/null").status != 0)
    GTEST_SKIP() << "this file system cannot make a file immutable";
  std::string error;
  const bool opened = JobHistory::Open(path, error) != nullptr;
  test::RunCommand("chattr -i '" + path + "'");
  EXPECT_FALSE(opened);
  EXPECT_NE(error.find("cannot be written by this user"), std::string::npos) << error;
  EXPECT_EQ(Bytes(path), before);
}

// An `sqlite3` shell left inside BEGIN IMMEDIATE, as an administrator did.
class HeldByShell {
 public:
  explicit HeldByShell(const std::string& path)
      : shell_(::popen(("sqlite3 '" + path + "' >/dev/null").c_str(), "w")) {
    if (!shell_) return;
    // It waits its turn: the probe below holds the lock for a moment.
    std::fputs(".timeout 10000\nBEGIN IMMEDIATE;\n", shell_);
    std::fflush(shell_);
    // Held once another connection cannot have the write lock.
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    for (int i = 0; i < 500 && !held_; ++i) {
      held_ = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_BUSY;
      if (!held_) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
      if (!held_) ::usleep(10000);
    }
    sqlite3_close(db);
  }
  ~HeldByShell() {
    if (shell_) ::pclose(shell_);  // its end of input ends it, the transaction undone
  }
  bool held() const { return held_; }

 private:
  FILE* shell_;
  bool held_ = false;
};

TEST(HistoryFailures, AnotherProgramsTransactionMakesACallGiveUpInTimeOrAtAStop) {
  TempFolder dir;
  const std::string path = dir / kHistoryFileName;
  auto h = OpenOk(path);
  ASSERT_TRUE(h);
  HistoryRow row = Row("A.OFI");
  ASSERT_TRUE(h->Add(row));
  {
    HeldByShell shell(path);
    ASSERT_TRUE(shell.held());
    Clock::time_point t = Clock::now();
    HistoryRow b = Row("B.OFI");
    EXPECT_FALSE(h->Add(b));
    EXPECT_GE(SecondsSince(t), 1.9);
    EXPECT_LT(SecondsSince(t), 3.0);
    EXPECT_NE(h->LastError().find("another program holds the job history"), std::string::npos)
        << h->LastError();
    std::optional<HistoryRow> found;
    EXPECT_TRUE(h->LastFor(row.drawing, found) && found) << h->LastError();  // reading goes on

    t = Clock::now();
    h->SetStopCheck([&] { return SecondsSince(t) > 0.05; });
    EXPECT_FALSE(h->Check());
    EXPECT_LT(SecondsSince(t), 0.15);
    EXPECT_NE(h->LastError().find("stopped waiting"), std::string::npos) << h->LastError();
  }
  HistoryRow c = Row("C.OFI");
  EXPECT_TRUE(h->Add(c)) << h->LastError();  // free again
}

// The root page of a table or an index, and the page size.
std::pair<int64_t, int64_t> PageOf(const std::string& path, const std::string& name) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  auto one = [&](const std::string& sql) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
    int64_t v = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int64(st, 0) : 0;
    sqlite3_finalize(st);
    return v;
  };
  auto page = std::make_pair(one("SELECT rootpage FROM sqlite_schema WHERE name='" + name + "'"),
                             one("PRAGMA page_size"));
  sqlite3_close(db);
  return page;
}

TEST(HistoryFailures, JunkOverAPageOfTheRowsOrAnIndexIsAFailureNeverNoRow) {
  struct Damage {
    const char* page;
    bool last_for, last, waiting;  // which reads must fail
  };
  for (Damage d :
       {Damage{"drawings", true, true, true}, Damage{"drawings_by_file", true, false, false},
        Damage{"drawings_by_result", false, false, true}}) {
    SCOPED_TRACE(d.page);
    TempFolder dir;
    const std::string path = dir / kHistoryFileName;
    HistoryRow sent = Row("A.OFI", history_result::kDelivering);
    {
      auto h = OpenOk(path);  // closing it leaves every row in the file itself
      ASSERT_TRUE(h && h->Add(sent));
    }
    auto [page, size] = PageOf(path, d.page);
    ASSERT_GT(page, 1);
    int fd = ::open(path.c_str(), O_WRONLY);
    const std::string junk(static_cast<size_t>(size), '\x5a');
    ASSERT_EQ(::pwrite(fd, junk.data(), junk.size(), (page - 1) * size), size);
    ::close(fd);

    auto h = OpenOk(path);
    ASSERT_TRUE(h);
    std::optional<HistoryRow> found;
    std::vector<HistoryRow> rows;
    EXPECT_EQ(h->LastFor(sent.drawing, found), !d.last_for);
    EXPECT_EQ(h->Last(10, RowFilter::All, rows), !d.last);
    EXPECT_EQ(h->Waiting("", rows), !d.waiting);
    EXPECT_NE(h->LastError().find("malformed"), std::string::npos) << h->LastError();
    if (d.last) {
      EXPECT_FALSE(h->Check());
    }
  }
}

TEST(HistoryFailures, TheFileDeletedOrReplacedUnderAnOpenHistoryFailsCheck) {
  TempFolder dir;
  const std::string path = dir / kHistoryFileName;
  auto writer = OpenOk(path);
  ASSERT_TRUE(writer && writer->Check());
  std::string error;
  auto reader = JobHistory::OpenForReading(path, error);
  ASSERT_TRUE(reader && reader->Check()) << error;
  ASSERT_EQ(::unlink(path.c_str()), 0);
  EXPECT_FALSE(writer->Check());
  EXPECT_NE(writer->LastError().find(path + " was deleted"), std::string::npos)
      << writer->LastError();
  EXPECT_FALSE(reader->Check());

  writer = OpenOk(path);  // a new file under the same name
  ASSERT_TRUE(writer && writer->Check());
  { OpenOk(dir / "other.db"); }
  ASSERT_EQ(std::rename((dir / "other.db").c_str(), path.c_str()), 0);
  EXPECT_FALSE(writer->Check());
  EXPECT_NE(writer->LastError().find(path + " was replaced"), std::string::npos)
      << writer->LastError();
}

// A file this program did not write is not read as a history: tables that
// are views, or values longer than any row of ours.
TEST(HistoryFailures, AFileOfAnotherMakeIsAFailureNotARead) {
  TempFolder dir;
  const std::string path = dir / kHistoryFileName;
  { OpenOk(path); }
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "INSERT INTO drawings(job, started_ms, ended_ms, folder, name, size,"
                         " mtime_ns, inode, header, glf_bytes, result, reason, printer,"
                         " cups_job_id, cups_state) VALUES(1,0,0,'','',0,0,0,"
                         " printf('%.*c', 2000000, 'x'),0,'finished','','',0,'')",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  std::string error;
  auto h = JobHistory::OpenForReading(path, error);
  ASSERT_TRUE(h) << error;
  std::vector<HistoryRow> rows;
  EXPECT_FALSE(h->Last(1, RowFilter::All, rows));
  EXPECT_NE(h->LastError().find("too big"), std::string::npos) << h->LastError();
  h.reset();

  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "DROP TABLE drawings; CREATE VIEW drawings AS SELECT * FROM jobs",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  EXPECT_FALSE(JobHistory::OpenForReading(path, error));
  EXPECT_FALSE(JobHistory::Open(path, error));
  EXPECT_NE(error.find("not plain tables"), std::string::npos) << error;
}

// A write of a held batch that fails loses the batch: the commit says so
// rather than keeping the rows around it.
TEST(HistoryFailures, AFailedWriteInAHeldBatchFailsItsCommit) {
  TempFolder dir;
  const std::string path = dir / kHistoryFileName;
  auto h = OpenOk(path);
  ASSERT_TRUE(h && h->Hold(true));
  HistoryRow kept = Row("A.OFI");
  ASSERT_TRUE(h->Add(kept));
  HistoryRow missing = Row("B.OFI");
  missing.id = 999;
  EXPECT_FALSE(h->Update(missing));
  EXPECT_FALSE(h->Commit());
  EXPECT_NE(h->LastError().find("no history row 999"), std::string::npos) << h->LastError();
  EXPECT_TRUE(h->Hold(false));
  std::vector<HistoryRow> rows;
  ASSERT_TRUE(h->Last(10, RowFilter::All, rows));
  EXPECT_TRUE(rows.empty());
}

}  // namespace
}  // namespace tovrin
