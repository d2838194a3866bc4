// Files a job makes, renames and removes in a folder that other programs
// (every CAD user) write into. Nothing here follows a symbolic link, and
// nothing is removed by path after a separate check: what is removed is
// what was checked.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/folder.h"

namespace tovrin {

// The most bytes a name may have in `folder` (pathconf _PC_NAME_MAX; 255
// when it cannot be told).
size_t NameLimit(const std::string& folder);

// True for the hidden names a job gives its own files in a spool folder
// (".NAME.GLF.tmp", ".tovrin-…"): what a killed run may have left.
bool IsJobTempName(const std::string& name);

// True for the hidden name RemoveIfSame moves a file to while it checks it
// (".tovrin-rm-…"). A killed run may leave one: it is never removed as a
// temp, since it may be another user's new drawing.
bool IsAsideName(const std::string& name);

// Gives a file left under an aside name a visible drawing name of its own
// ("restored(1).OFI", …, never replacing a file), in `kept_as`.
bool RestoreAside(const std::string& folder, const std::string& aside, std::string& kept_as,
                  std::string& error);

// Removes every file with a job temp name from `folder` (never following a
// link; a folder of that name is left). Run under the folder lock, so no
// other job's file is touched. Returns how many were removed; `error` names
// the first that could not be.
int RemoveStaleTemps(const std::string& folder, std::string& error);

// A new file created exclusively (O_CREAT | O_EXCL | O_NOFOLLOW, mode 0644
// less the umask), open for writing. It gets `preferred` when that fits the
// folder's name limit and is free, otherwise a short hidden name of its own
// (".tovrin-XXXXXX.tmp"). The caller owns `fd`.
struct TempFile {
  int fd = -1;
  std::string path;
};
std::optional<TempFile> CreateTempFile(const std::string& folder, const std::string& preferred,
                                       std::string& error);

enum class RemoveOutcome {
  Removed,   // the very file was removed
  Missing,   // nothing under the name (someone else took it)
  Changed,   // another file lies under the name: left (put back) as it was
  Stranded,  // another file lay under the name and could not be put back:
             // it is kept under `kept_as`, and `error` says so
  Failed,    // could not be checked or removed; `error` says why
};
struct RemoveResult {
  RemoveOutcome outcome = RemoveOutcome::Failed;
  std::string error;
  std::string kept_as;  // Stranded: the name the other file now has
};

// Removes `name` from `folder` only if it is still the file `expected`
// stamps (size, modification time, inode): the entry is first renamed to a
// hidden name of the job's, what was moved is checked (fstatat, no link
// followed), and it is unlinked only if it is that file. Anything else is
// renamed back without replacing anything (renameat2 RENAME_NOREPLACE, or
// link and unlink where the file system has no such rename).
RemoveResult RemoveIfSame(const std::string& folder, const std::string& name,
                          const FileStamp& expected);

// Removes whatever lies under `name` (a stale GLF of an earlier run): a
// link is removed itself, a folder is left. True when nothing is there
// afterwards.
bool RemoveEntry(const std::string& folder, const std::string& name, std::string& error);

}  // namespace tovrin
