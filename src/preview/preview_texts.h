// Texts of the plot preview: why preview files could not be written (they
// follow the path), and the mark drawn for a code that names no character.
#pragma once

namespace tovrin::preview::texts {

inline constexpr const char* kCannotCreateFolder = " が作れません";
inline constexpr const char* kCannotWrite = " が書けません";
inline constexpr const char* kUndrawable = "〓";

}  // namespace tovrin::preview::texts
