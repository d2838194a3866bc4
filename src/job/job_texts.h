// Texts the job shows or compares, exactly as the users know them.
#pragma once

namespace tovrin::texts {

inline constexpr const char* kPlotting = "　出図中";
inline constexpr const char* kFinished = "　出図終了";
inline constexpr const char* kStopped = "　出図中止";
inline constexpr const char* kNoDrawings = "図面が無いか、サイズが0です";
inline constexpr const char* kIncomplete = "図面が終わりまでありません (終了マークが無い)";

inline constexpr const char* kDocumentTitle = "Test";

}  // namespace tovrin::texts
