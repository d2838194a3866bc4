// Drawings on disk for listing and job tests.
#pragma once

#include <algorithm>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "ofi_builder.h"
#include "temp_folder.h"

namespace tovrin::test {

// A drawing with just a header and the end marker.
inline void SaveDrawing(const TempFolder& dir, const std::string& name, std::string_view header) {
  OfiBuilder b;
  b.Header(header).End();
  b.Save(dir / name);
}

// The header text a drawing made by LinesDrawing shows in the job log.
inline std::string HeaderLine(const std::string& label) {
  std::string h = label;
  h.resize(16, ' ');
  return h + ",    ";
}

// A drawing with some lines and its end marker.
inline std::vector<uint8_t> LinesDrawing(const std::string& label, int lines = 50) {
  OfiBuilder b;
  b.Header(label).Scale(10).SheetRecord(29700, 21000, 29700, 21000).LineClass(2);
  for (int i = 0; i < lines; ++i) b.Line(i * 37 % 20000, i * 11 % 14000, i * 53 % 20000, 900);
  b.End();
  return b.Bytes();
}

// Bytes [from, to) of a drawing into a file, replacing or appending.
inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes, size_t from = 0,
                       size_t to = std::string::npos, bool append = false) {
  std::ofstream f(path, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
  to = std::min(to, bytes.size());
  f.write(reinterpret_cast<const char*>(bytes.data() + from),
          static_cast<std::streamsize>(to - from));
}

}  // namespace tovrin::test
