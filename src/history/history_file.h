// The history's file as the file system sees it: which file a path names,
// and why this user cannot write it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tovrin {

struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  uint64_t size = 0;  // not part of the identity: a database grows
  bool operator==(const FileIdentity& o) const { return device == o.device && inode == o.inode; }
};

// The file `path` names now; none with `error` set ("… was deleted" when
// there is no such file).
std::optional<FileIdentity> IdentifyFile(const std::string& path, std::string& error);

// What an administrator needs to know to let this user write the history:
// "PATH cannot be written by this user (owner root, mode 0644)". Names the
// journal files beside it when the database itself is writable.
std::string NotWritableText(const std::string& path);

}  // namespace tovrin
