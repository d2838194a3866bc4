#include "history/history_schema.h"

#include <sqlite3.h>

#include <array>

namespace tovrin::history_schema {
namespace {

// Version 1: the tables as the first programs made them (kept word for word).
constexpr const char* kVersion1 = R"sql(
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
)sql";

// Version 2: what tells the spooler's job from another under the same id;
// the newest row of a name is found without sorting that name's rows.
constexpr const char* kVersion2 = R"sql(
ALTER TABLE drawings ADD COLUMN cups_job_uuid TEXT NOT NULL DEFAULT '';
ALTER TABLE drawings ADD COLUMN cups_job_created INTEGER NOT NULL DEFAULT 0;
CREATE INDEX drawings_by_name ON drawings(folder, name);
)sql";

// Step i takes version i to i + 1.
constexpr std::array<const char*, kCurrentVersion> kSteps = {kVersion1, kVersion2};

constexpr const char* kReading = "reading the job history's schema";

// One step in one transaction. `version` is what the database had before;
// another program may have taken the step meanwhile, which is no fault.
bool Step(sqlite::Connection& db, int64_t& version) {
  const std::string context = "bringing the job history to schema " + std::to_string(version + 1);
  if (!db.Exec("BEGIN IMMEDIATE", context)) return false;
  int64_t now = 0;
  bool ok = ReadVersion(db, now);
  if (ok && now == version) {
    ok = db.Exec(kSteps[static_cast<size_t>(version)], context) &&
         db.Exec("PRAGMA user_version=" + std::to_string(version + 1), context);
    now = version + 1;
  }
  if (ok && db.Exec("COMMIT", context)) {
    version = now;
    return true;
  }
  if (db.InTransaction()) {
    const std::string why = db.Error();
    const int code = db.ErrorCode();
    if (db.Exec("ROLLBACK", context)) db.RestoreError(why, code);
  }
  return false;
}

}  // namespace

std::string NewerText(int64_t version) {
  return "written by a newer program (schema " + std::to_string(version) + ")";
}

bool ReadVersion(sqlite::Connection& db, int64_t& version) {
  if (!db.QueryInt("PRAGMA user_version", kReading, version)) return false;
  if (version <= 0) return true;
  int64_t tables = 0;
  if (!db.QueryInt("SELECT count(*) FROM sqlite_schema WHERE type='table' AND"
                   " name IN ('jobs','drawings') AND sql NOT LIKE 'CREATE VIRTUAL%'",
                   kReading, tables))
    return false;
  return tables == 2 ||
         db.Fail(kReading, SQLITE_CORRUPT, "its tables are missing or not plain tables");
}

bool Migrate(sqlite::Connection& db) {
  int64_t version = 0;
  if (!ReadVersion(db, version)) return false;
  // Each pass takes a step or sees another program's; never more passes.
  for (int pass = 0; pass <= kCurrentVersion && version < kCurrentVersion; ++pass) {
    if (version < 0) return db.Fail(kReading, SQLITE_CORRUPT, "a negative schema version");
    if (!Step(db, version)) return false;
  }
  if (version > kCurrentVersion) return db.Fail(kReading, SQLITE_ERROR, NewerText(version).c_str());
  return version == kCurrentVersion ||
         db.Fail(kReading, SQLITE_ERROR, "the schema did not come to its current version");
}

std::string RowColumns(int64_t version) {
  const char* cups_job = version >= 2 ? "cups_job_uuid, cups_job_created"
                                      : "'' AS cups_job_uuid, 0 AS cups_job_created";
  return std::string(
             "id, job, started_ms, ended_ms, folder, name, size, mtime_ns, inode, header,"
             " glf_bytes, result, reason, printer, cups_job_id, ") +
         cups_job + ", cups_state";
}

}  // namespace tovrin::history_schema
