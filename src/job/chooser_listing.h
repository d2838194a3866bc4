// What the file chooser lists for a folder, and the names it hands the job.
#pragma once

#include <string>
#include <vector>

namespace tovrin {

struct ChooserEntry {
  std::string text;       // header text + "(" + name part + ")"
  std::string file_name;  // the listed file's own name
};

// The chooser takes any name holding "OFI" or "ofi" (case-sensitive), wider
// than the job's own search.
bool IsChooserName(const std::string& name);

// The name up to its first "."; the whole name when it has none.
std::string NamePart(const std::string& file_name);

// The drawings of `folder` as the chooser shows them: regular, non-hidden,
// non-empty files with a chooser name, in name order. A file whose header
// cannot be read is listed with a blank header; a folder that cannot be
// listed gives no entries.
std::vector<ChooserEntry> ListChooserDrawings(const std::string& folder);

// The job-list name for a chosen file: its name part + ".OFI". When no file
// of exactly that name exists but one matches it apart from letter case, that
// file's real name, so the drawing picked is the drawing plotted.
std::string ChosenFileName(const std::string& folder, const std::string& file_name);

// The folder the chooser opens at: `folder` (taken relative to `start_folder`
// when relative) or its nearest existing parent; `start_folder` when neither
// exists.
std::string OpeningFolder(const std::string& folder, const std::string& start_folder);

}  // namespace tovrin
