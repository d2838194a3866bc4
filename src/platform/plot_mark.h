// The mark a plotted drawing carries itself: a user extended attribute on
// the OFI file saying which file was plotted (size, modification time,
// inode) and how far its plot got. The mark goes wherever the drawing goes
// and whoever lists the folder sees it: another program with another start
// folder, or this one after its job history was lost, does not plot the
// drawing again while it is unchanged.
//
// A mark is data any user who owns the file can write: it is parsed within
// a size bound and anything malformed counts as no mark.
#pragma once

#include <cstdint>
#include <string>

#include "platform/folder.h"

namespace tovrin {

inline constexpr const char* kPlotMarkAttribute = "user.tovrin.plot";
// The most bytes a mark may have; a longer attribute is not a mark of ours.
inline constexpr size_t kMaxPlotMarkBytes = 1024;

struct PlotMark {
  // The file as it was plotted.
  uint64_t size = 0;
  int64_t mtime_ns = 0;
  uint64_t inode = 0;
  // How far the plot got: "sending", "delivering", "finished", "failed" or
  // "lost" (the history_result texts).
  std::string state;
  // The spooler's job, once there is one.
  std::string printer;
  int job_id = 0;
  std::string job_uuid;
  int64_t job_created = 0;
  // When the drawing's plot began, s since the epoch: a program killed
  // before it recorded the spooler's job looks for jobs created since.
  int64_t since = 0;
  // The job that plotted it deletes its finished drawings: a finished
  // drawing still carrying this mark was left by a run stopped before it
  // deleted it, and is deleted, not plotted again.
  bool then_delete = false;

  // True when the mark was made on the file as it is now (a rewritten or
  // touched drawing no longer matches its mark).
  bool Matches(const FileStamp& stamp) const {
    return stamp.size == size && stamp.mtime_ns == mtime_ns && stamp.inode == inode;
  }
  bool operator==(const PlotMark&) const = default;
};

// The attribute's bytes and back. Parse is false for anything that is not
// a well-formed mark of ours (too long, another version, a field missing or
// out of range, control bytes in a text).
std::string FormatPlotMark(const PlotMark& mark);
bool ParsePlotMark(const std::string& bytes, PlotMark& mark);

enum class MarkAccess {
  Done,         // read (or written, removed) as asked
  None,         // reading: the file carries no mark (or a malformed one)
  Unsupported,  // the file system keeps no user attributes, or this user
                // may not set them on this file: rely on the history
  Failed,       // the file could not be asked; `error` says why
};

// On a file opened by the caller (the drawing as it is being read).
MarkAccess ReadPlotMark(int fd, PlotMark& mark, std::string& error);
MarkAccess WritePlotMark(int fd, const PlotMark& mark, std::string& error);
// By name in a folder, never following a link (listing, tracking).
MarkAccess ReadPlotMarkAt(const std::string& folder, const std::string& name, PlotMark& mark,
                          std::string& error);
MarkAccess WritePlotMarkAt(const std::string& folder, const std::string& name, const PlotMark& mark,
                           std::string& error);
MarkAccess RemovePlotMarkAt(const std::string& folder, const std::string& name, std::string& error);

}  // namespace tovrin
