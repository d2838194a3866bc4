#include "web/preview_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "job/plot_job.h"

namespace tovrin::web {

std::string PictureName(const std::string& drawing_name) {
  const std::string stem = DrawingStem(drawing_name);
  if (stem.empty() || stem == "." || stem == ".." || stem.find('/') != std::string::npos) return {};
  return stem + ".png";
}

bool OpenPicture(const std::string& folder, const std::string& picture, OpenedPicture& opened) {
  if (picture.find('/') != std::string::npos) return false;
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return false;
  // O_NONBLOCK: a FIFO planted under the name must not hang the request.
  const int fd = ::openat(dir, picture.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  ::close(dir);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<uint64_t>(st.st_size) > kMaxPictureBytes) {
    ::close(fd);
    return false;
  }
  opened.fd = fd;
  opened.size = static_cast<uint64_t>(st.st_size);
  return true;
}

}  // namespace tovrin::web
