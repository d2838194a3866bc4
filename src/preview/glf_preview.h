// Preview files of a finished GLF: NAME.png and NAME.svg in a folder.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tovrin::preview {

inline constexpr int kPreviewLongSide = 2000;  // pixels of the PNG's longer side

// Up to this size a GLF is parsed whole, as the preview window does; above
// it the PNG is drawn in a streaming pass and no SVG is made.
inline constexpr size_t kWholePictureGlfBytes = 16u << 20;
// An SVG grows by some 170 bytes per point and takes several times that
// while it is made: past this many points (a label counts as 8) the SVG is
// skipped.
inline constexpr size_t kMaxSvgPoints = 300'000;

// What became of the preview files besides errors.
struct PreviewOutcome {
  bool svg_written = false;
  bool simplified = false;  // the PNG shows only part (the drawing limit)
  std::string note;         // why the SVG was skipped, for the log
};

// Renders `glf` (its bytes) into `folder`/`stem`.png and, when not too big,
// .svg. Returns false with a message in `error` when a file cannot be written.
bool WritePreviewFiles(std::string_view glf, const std::string& folder, const std::string& stem,
                       std::string& error, PreviewOutcome* outcome = nullptr);

// The same for a GLF file on disk; the file is mapped, not read into memory.
bool WritePreviewFilesFor(const std::string& glf_path, const std::string& folder,
                          const std::string& stem, std::string& error,
                          PreviewOutcome* outcome = nullptr);

}  // namespace tovrin::preview
