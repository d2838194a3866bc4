// The history's tables as a list of steps: version N becomes N+1 in one
// transaction with its user_version. A new file goes through every step;
// an older one through those it lacks.
#pragma once

#include <cstdint>
#include <string>

#include "history/sqlite_db.h"

namespace tovrin::history_schema {

inline constexpr int kCurrentVersion = 2;

// "written by a newer program (schema N)"
std::string NewerText(int64_t version);

// The database's user_version, and for a version that has tables, that they
// are plain tables (a view or a virtual table is not a history).
[[nodiscard]] bool ReadVersion(sqlite::Connection& db, int64_t& version);

// Brings the database to kCurrentVersion; another program may do the same
// at the same time. Refuses one of a newer program without writing.
[[nodiscard]] bool Migrate(sqlite::Connection& db);

// The columns a row is read from, in HistoryRow order: for a database of an
// older version, the ones it lacks read as empty.
std::string RowColumns(int64_t version);

}  // namespace tovrin::history_schema
