// The pieces of spool_files.cpp that name and move entries, kept apart so
// that the moves which must never replace anything can be tried directly.
#pragma once

#include <cstddef>
#include <string>

#include "platform/spool_files.h"

namespace tovrin::spool {

// `prefix` + six random letters or digits + `suffix`: short, so it fits any
// name limit, and not guessable ahead by someone planting entries.
std::string RandomName(const char* prefix, const char* suffix);

// Renames `from` to `to` within the open folder `dir_fd` only if `to` is
// free: renameat2 RENAME_NOREPLACE, or MoveByLink where the file system has
// no such flag. 0 on success, otherwise the errno (EEXIST: `to` is taken).
int MoveNoReplace(int dir_fd, const std::string& from, const std::string& to);

// The same by link and unlink: link never replaces what is there. Links
// the entry itself (a symbolic link stays one); a folder cannot be moved so.
// 0 once `to` names the entry, even if `from` could not be let go.
int MoveByLink(int dir_fd, const std::string& from, const std::string& to);

// `name` with "(tag)" put before its extension ("A.OFI", "1" -> "A(1).OFI"),
// its stem cut so that the whole fits `limit` bytes.
std::string NumberedName(const std::string& name, const std::string& tag, size_t limit);

// The most bytes a name may have in the open folder (255 when unknown).
size_t NameLimitOf(int dir_fd);

// Puts the entry moved aside to `aside` back under `name`, never replacing
// what lies there now: Changed when it is back; Stranded when `name` was
// taken meanwhile and the entry got a numbered name of its own
// (`kept_as`); Failed when it stays under `aside`.
void PutBack(int dir_fd, const std::string& aside, const std::string& name, RemoveResult& result);

}  // namespace tovrin::spool
