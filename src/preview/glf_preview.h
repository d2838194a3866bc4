// Preview files of a finished GLF: NAME.png and NAME.svg in a folder.
#pragma once

#include <string>
#include <string_view>

namespace tovrin::preview {

inline constexpr int kPreviewLongSide = 2000;  // pixels of the PNG's longer side

// Renders `glf` (its bytes) into `folder`/`stem`.png and .svg. Returns false
// with a message in `error` when a file cannot be written.
bool WritePreviewFiles(std::string_view glf, const std::string& folder, const std::string& stem,
                       std::string& error);

// The same for a GLF file on disk.
bool WritePreviewFilesFor(const std::string& glf_path, const std::string& folder,
                          const std::string& stem, std::string& error);

}  // namespace tovrin::preview
