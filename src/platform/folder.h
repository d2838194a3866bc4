// File-system helpers for the job.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

std::string JoinPath(const std::string& folder, const std::string& name);

// The process's current folder, however long; "." when it cannot be told
// (removed meanwhile).
std::string CurrentFolder();

}  // namespace tovrin
