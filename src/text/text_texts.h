// Setting values the text translation compares, exactly as the users know them.
#pragma once

namespace tovrin::texts {

inline constexpr const char* kFullWidth = "全角";  // MojiE / MojiK: draw with the kanji font
inline constexpr const char* kHalfWidth = "半角";

}  // namespace tovrin::texts
