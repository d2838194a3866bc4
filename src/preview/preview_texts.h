// Texts of the plot preview: why preview files could not be written (they
// follow the path), and the mark drawn for a code that names no character.
#pragma once

namespace tovrin::preview::texts {

inline constexpr const char* kCannotCreateFolder = " が作れません";
inline constexpr const char* kCannotWrite = " が書けません";
inline constexpr const char* kUndrawable = "〓";
// Follows the SVG's path; the reason follows it.
inline constexpr const char* kSvgSkipped = " は作りません: ";
inline constexpr const char* kGlfTooBig = "GLF が大きすぎます";
inline constexpr const char* kPictureTooBig = "図が細かすぎます";
// On a picture that shows only part of the drawing (the drawing limit).
inline constexpr const char* kSimplified = "描画の上限に達したため途中までです";

}  // namespace tovrin::preview::texts
