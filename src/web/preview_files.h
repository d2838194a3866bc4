// The preview pictures the page shows: NAME.png in the --preview folder,
// NAME the drawing's name up to its first ".".
#pragma once

#include <cstdint>
#include <string>

namespace tovrin::web {

// "NAME.png" for a drawing's file name; empty when NAME would not be a plain
// name in the folder (empty, ".", "..", or holding a "/").
std::string PictureName(const std::string& drawing_name);

// A picture opened for sending: a plain file directly in `folder`, never
// through a symbolic link, at most kMaxPictureBytes.
struct OpenedPicture {
  int fd = -1;
  uint64_t size = 0;
};
inline constexpr uint64_t kMaxPictureBytes = 64ull << 20;
bool OpenPicture(const std::string& folder, const std::string& picture, OpenedPicture& opened);

}  // namespace tovrin::web
