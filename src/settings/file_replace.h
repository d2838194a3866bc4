// Writing a file so that a failure never leaves it half written.
#pragma once

#include <optional>
#include <string>

namespace tovrin {

// Writes a temporary file beside `path` and renames it over the old one, so
// a failure leaves the old file as it was.
bool ReplaceFile(const std::string& path, const std::string& bytes, std::string& error);

// The file a save writes: a symbolic link is followed (also a dangling
// one), so the settings go where the link points and the link stays.
std::optional<std::string> LinkTarget(const std::string& path, std::string& error);

// Keeps the file at `target` as `backup` (replacing an older backup). A
// missing file needs no backup.
bool KeepBackup(const std::string& target, const std::string& backup, std::string& error);

}  // namespace tovrin
