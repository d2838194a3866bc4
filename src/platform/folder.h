// File-system helpers for the job.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct stat;

namespace tovrin {

struct FolderEntry {
  std::string name;
  bool is_folder = false;
  uint64_t size = 0;
};

// Entries of a folder (without "." and ".."), sorted by the bytes of their
// names; nullopt when the folder cannot be listed.
std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder, std::string& error);

// Whole file into memory; false with `error` set when it cannot be read.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);

// Removes a file; false with `error` set on failure (a missing file is not one).
bool RemoveFile(const std::string& path, std::string& error);

// What identifies a file as it lies in its folder.
struct FileStamp {
  uint64_t size = 0;
  int64_t mtime_ns = 0;  // modification time, ns since the epoch
  uint64_t inode = 0;
  bool regular = false;  // a plain file (not a folder, FIFO, device or link)
  bool link = false;     // a symbolic link: the stamp is the link's own
  bool operator==(const FileStamp&) const = default;
};

// The stamp of what fstat or lstat returned.
FileStamp StampFrom(const struct stat& st);

// The stamp of a path as it lies in its folder: a link is stamped itself,
// never its target. nullopt with `error` set (ENOENT gives "vanished") when
// it cannot be taken.
std::optional<FileStamp> StampOf(const std::string& path, std::string& error);

struct StampedEntry {
  std::string name;
  FileStamp stamp;
};

// The entries of a folder whose names pass `wanted`, each with its stamp
// (a link's own, as StampOf), sorted by the bytes of their names. Other
// names are never stat'ed, so a folder full of unrelated files costs
// little. nullopt when the folder cannot be listed.
std::optional<std::vector<StampedEntry>> ListStamped(const std::string& folder,
                                                     bool (*wanted)(const std::string& name),
                                                     std::string& error);

// The error text of a file that is not there (any more).
inline constexpr const char* kVanishedText = "vanished";

// Flushes a file's data, or a folder's entries, to the disk.
bool SyncPath(const std::string& path, std::string& error);

// Renames within a folder, replacing `to` atomically.
bool RenameFile(const std::string& from, const std::string& to, std::string& error);

// An advisory lock on a folder, held while the object lives. Every program
// that plots from the folder takes it, so two never plot it at once.
class FolderLock {
 public:
  enum class Result { Locked, Busy, Failed };
  FolderLock() = default;
  ~FolderLock();
  FolderLock(FolderLock&& other) noexcept;
  FolderLock& operator=(FolderLock&& other) noexcept;
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  Result TryLock(const std::string& folder, std::string& error);
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

std::string JoinPath(const std::string& folder, const std::string& name);

// The process's current folder, however long; "." when it cannot be told
// (removed meanwhile).
std::string CurrentFolder();

}  // namespace tovrin
