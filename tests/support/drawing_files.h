// Drawings on disk for listing and job tests.
#pragma once

#include <string>
#include <string_view>

#include "ofi_builder.h"
#include "temp_folder.h"

namespace tovrin::test {

// A drawing with just a header and the end marker.
inline void SaveDrawing(const TempFolder& dir, const std::string& name, std::string_view header) {
  OfiBuilder b;
  b.Header(header).End();
  b.Save(dir / name);
}

}  // namespace tovrin::test
