#!/usr/bin/env bash
# Writes the seed databases of fuzz_history_db: a history of each schema
# with a few rows, in small pages so that the fuzzer's inputs stay small,
# and damaged copies of one the way a crash, a full disk or a bad copy
# leaves a Tovrin.db: cut short, a header that counts pages it does not
# have, a page half overwritten, a schema naming a table's pages wrongly.
#   make_history_seeds.sh [FOLDER]   (default: fuzz/corpus/fuzz_history_db)
set -euo pipefail
out=${1:-$(cd "$(dirname "$0")" && pwd)/corpus/fuzz_history_db}
mkdir -p "$out"

version1="
PRAGMA page_size=512;
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
PRAGMA user_version=1;"

version2="
ALTER TABLE drawings ADD COLUMN cups_job_uuid TEXT NOT NULL DEFAULT '';
ALTER TABLE drawings ADD COLUMN cups_job_created INTEGER NOT NULL DEFAULT 0;
CREATE INDEX drawings_by_name ON drawings(folder, name);
PRAGMA user_version=2;"

rows="
INSERT INTO jobs(started_ms) VALUES(1700000000000);
INSERT INTO drawings(job, started_ms, ended_ms, folder, name, size, mtime_ns, inode, header,
  glf_bytes, result, reason, printer, cups_job_id, cups_state) VALUES
  (1, 1700000000000, 1700000005000, '/spool', 'A.OFI', 4096, 11, 77, 'A', 123, 'delivering', '',
   'Plotter', 42, 'processing'),
  (1, 1700000006000, 1700000007000, '/spool', 'B.OFI', 10, 12, 78, '', 0, 'rejected', 'no end',
   '', 0, ''),
  (1, 1700000008000, 1700000009000, '/spool', 'A.OFI', 4096, 13, 77, 'A', 99, 'finished', '',
   'Plotter', 43, 'completed');"

make() {
  rm -f "$out/$1"
  sqlite3 "$out/$1" "$2" >/dev/null
}
make v1-rows.db "$version1 $rows"
make v2-empty.db "$version1 $version2"
make v2-rows.db "$version1 $rows $version2
UPDATE drawings SET cups_job_uuid='urn:uuid:1b4e28ba-2fa1-11d2-883f-0016d3cca427',
  cups_job_created=1700000001 WHERE id=1;
INSERT INTO drawings(job, started_ms, ended_ms, folder, name, size, mtime_ns, inode, header,
  glf_bytes, result, reason, printer, cups_job_id, cups_state, cups_job_uuid) VALUES
  (1, 1700000010000, 0, '/spool', 'C.OFI', 20, 14, 79, 'C', 0, 'sending', '', 'Plotter', 0, '', '');"
# Damaged copies of v2-rows.db (512-byte pages; the header counts them at
# byte 28, big-endian).
damaged() {  # name, then a command run on the copy
  cp "$out/v2-rows.db" "$out/$1"
  "${@:2}" "$out/$1"
}
cut_short() { truncate -s 2560 "$1"; }
counts_too_many() { printf '\000\000\000\310' | dd of="$1" bs=1 seek=28 conv=notrunc status=none; }
torn_page() { head -c 200 /dev/zero | tr '\000' '\377' | dd of="$1" bs=1 seek=1544 conv=notrunc status=none; }
wrong_root() {
  sqlite3 "$1" "PRAGMA writable_schema=ON; UPDATE sqlite_schema SET rootpage=9 WHERE name='drawings';" >/dev/null
}
damaged damaged-cut-short.db cut_short
damaged damaged-page-count.db counts_too_many
damaged damaged-torn-page.db torn_page
damaged damaged-wrong-root.db wrong_root
ls -l "$out"
