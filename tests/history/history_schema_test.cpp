// Databases of every schema this program has had, and of a newer one.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>

#include "history/job_history.h"
#include "temp_folder.h"

namespace tovrin {
namespace {

using test::TempFolder;

// The first programs' database, made as they made it.
constexpr const char* kVersion1 = R"sql(
PRAGMA journal_mode=WAL;
CREATE TABLE IF NOT EXISTS jobs(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  started_ms INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS drawings(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  job INTEGER NOT NULL,
  started_ms INTEGER NOT NULL,
  ended_ms INTEGER NOT NULL,
  folder TEXT NOT NULL,
  name TEXT NOT NULL,
  size INTEGER NOT NULL,
  mtime_ns INTEGER NOT NULL,
  inode INTEGER NOT NULL,
  header TEXT NOT NULL,
  glf_bytes INTEGER NOT NULL,
  result TEXT NOT NULL,
  reason TEXT NOT NULL,
  printer TEXT NOT NULL,
  cups_job_id INTEGER NOT NULL,
  cups_state TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS drawings_by_file ON drawings(folder, name, size, mtime_ns, inode);
CREATE INDEX IF NOT EXISTS drawings_by_result ON drawings(result);
PRAGMA user_version=1;
INSERT INTO jobs(started_ms) VALUES(1700000000000);
INSERT INTO drawings(job, started_ms, ended_ms, folder, name, size, mtime_ns, inode, header,
  glf_bytes, result, reason, printer, cups_job_id, cups_state)
  VALUES(1, 1700000000000, 1700000005000, '/spool', 'A.OFI', 4096, 11, 77, 'ﾃｽﾄ', 123,
         'delivering', '', 'Plotter', 42, 'processing');
INSERT INTO drawings(job, started_ms, ended_ms, folder, name, size, mtime_ns, inode, header,
  glf_bytes, result, reason, printer, cups_job_id, cups_state)
  VALUES(1, 1700000006000, 1700000007000, '/spool', 'B.OFI', 10, 12, 78, '', 0,
         'rejected', 'no end', '', 0, '');
)sql";

std::string Exec(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  std::string answer;
  auto keep = [](void* out, int, char** values, char**) {
    *static_cast<std::string*>(out) += values[0] ? values[0] : "";
    return 0;
  };
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), keep, &answer, &message) != SQLITE_OK) ADD_FAILURE() << message;
  sqlite3_free(message);
  sqlite3_close(db);
  return answer;
}

std::string Bytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

std::vector<HistoryRow> Rows(JobHistory& h) {
  std::vector<HistoryRow> rows;
  EXPECT_TRUE(h.Last(10, RowFilter::All, rows)) << h.LastError();
  return rows;
}

void ExpectVersion1Rows(const std::vector<HistoryRow>& rows) {
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].drawing, (DrawingIdentity{"/spool", "A.OFI", 4096, 11, 77}));
  EXPECT_EQ(rows[0].header, "ﾃｽﾄ");
  EXPECT_EQ(rows[0].result, history_result::kDelivering);
  EXPECT_EQ(rows[0].cups_job_id, 42);
  EXPECT_EQ(rows[0].cups_state, "processing");
  EXPECT_EQ(rows[0].cups_job_uuid, "");
  EXPECT_EQ(rows[0].cups_job_created, 0);
  EXPECT_EQ(rows[1].reason, "no end");
}

TEST(HistorySchema, AVersion1FileIsReadAsItIsAndMigratedWithItsRows) {
  TempFolder dir;
  const std::string path = dir / kHistoryFileName;
  Exec(path, kVersion1);
  const std::string before = Bytes(path);

  std::string error;
  auto reader = JobHistory::OpenForReading(path, error);
  ASSERT_TRUE(reader) << error;
  EXPECT_TRUE(reader->Check()) << reader->LastError();
  ExpectVersion1Rows(Rows(*reader));
  std::vector<HistoryRow> waiting;
  EXPECT_TRUE(reader->Waiting("/spool", waiting) && waiting.size() == 1u);
  HistoryRow row;
  EXPECT_FALSE(reader->Add(row));  // looking only
  reader.reset();
  EXPECT_EQ(Bytes(path), before);

  auto h = JobHistory::Open(path, error);
  ASSERT_TRUE(h) << error;
  ExpectVersion1Rows(Rows(*h));
  EXPECT_EQ(Exec(path, "PRAGMA user_version"), "2");
  EXPECT_EQ(Exec(path, "SELECT name FROM sqlite_schema WHERE name='drawings_by_name'"),
            "drawings_by_name");
  row.drawing = {"/spool", "A.OFI", 1, 2, 3};
  row.cups_job_uuid = "urn:uuid:1b4e28ba-2fa1-11d2-883f-0016d3cca427";
  row.cups_job_created = 1'765'000'000;
  ASSERT_TRUE(h->Add(row)) << h->LastError();
  std::optional<HistoryRow> named;
  ASSERT_TRUE(h->LastNamed("/spool", "A.OFI", named) && named) << h->LastError();
  EXPECT_EQ(named->id, row.id);  // the newest of that name, whatever its stamp
  EXPECT_EQ(named->cups_job_uuid, row.cups_job_uuid);
  EXPECT_EQ(named->cups_job_created, row.cups_job_created);
}

TEST(HistorySchema, ADatabaseOfANewerProgramIsRefusedAndLeftByteForByte) {
  TempFolder dir;
  const std::string path = dir / kHistoryFileName;
  std::string error;
  ASSERT_TRUE(JobHistory::Open(path, error)) << error;
  Exec(path, "PRAGMA journal_mode=DELETE; PRAGMA user_version=3");
  const std::string before = Bytes(path);
  EXPECT_EQ(JobHistory::Open(path, error), nullptr);
  EXPECT_NE(error.find("written by a newer program (schema 3)"), std::string::npos) << error;
  error.clear();
  EXPECT_EQ(JobHistory::OpenForReading(path, error), nullptr);
  EXPECT_NE(error.find("written by a newer program (schema 3)"), std::string::npos) << error;
  EXPECT_EQ(Bytes(path), before);
  EXPECT_FALSE(std::filesystem::exists(path + "-wal"));
}

TEST(HistorySchema, LastPassesOnlyTheRowsOfItsFilter) {
  TempFolder dir;
  std::string error;
  auto h = JobHistory::Open(dir / kHistoryFileName, error);
  ASSERT_TRUE(h) << error;
  namespace r = history_result;
  for (const char* result : {r::kFinished, r::kSending, r::kLost, r::kDelivering, r::kReleased,
                             r::kAborted, r::kFailed}) {
    HistoryRow row;
    row.result = result;
    ASSERT_TRUE(h->Add(row)) << h->LastError();
  }
  auto results = [&](RowFilter filter, int count) {
    std::vector<HistoryRow> rows;
    EXPECT_TRUE(h->Last(count, filter, rows)) << h->LastError();
    std::string joined;
    for (const HistoryRow& row : rows) joined += row.result + " ";
    return joined;
  };
  EXPECT_EQ(results(RowFilter::Failed, 10), "lost aborted failed ");
  EXPECT_EQ(results(RowFilter::Failed, 2), "aborted failed ");
  EXPECT_EQ(results(RowFilter::Waiting, 10), "sending delivering ");
  EXPECT_EQ(results(RowFilter::All, 1), "failed ");
}

}  // namespace
}  // namespace tovrin
