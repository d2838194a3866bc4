#include "platform/folder_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace tovrin {

namespace {

constexpr uint32_t kWatchMask =
    IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// Lost with its folder: removed, moved away, or its file system unmounted.
constexpr uint32_t kLostMask = IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT;
// A read of this size takes at least one event of the longest name.
constexpr size_t kBufferBytes = 64 * 1024;
static_assert(kBufferBytes >= sizeof(inotify_event) + NAME_MAX + 1);

}  // namespace

FolderWatch::~FolderWatch() {
  if (fd_ >= 0) ::close(fd_);
}

bool FolderWatch::Watch(const std::string& folder, std::string& error) {
  if (wd_ >= 0 && folder == folder_) return true;
  if (fd_ < 0) fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd_ < 0) {
    error = std::strerror(errno);
    return false;
  }
  if (wd_ >= 0) ::inotify_rm_watch(fd_, wd_);
  wd_ = ::inotify_add_watch(fd_, folder.c_str(), kWatchMask);
  folder_ = folder;
  if (wd_ < 0) {
    error = std::strerror(errno);
    return false;
  }
  return true;
}

FolderWatch::Events FolderWatch::Take() {
  Events events;
  if (fd_ >= 0) Read(events);
  return events;
}

// Reads until the queue is empty; every event read is used or counted
// lost, so the loop always advances.
void FolderWatch::Read(Events& events) {
  alignas(inotify_event) char buffer[kBufferBytes];
  for (;;) {
    const ssize_t got = ::read(fd_, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return;  // EAGAIN: empty
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
      const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
      if (e->mask & IN_Q_OVERFLOW) events.list_all = true;
      if (e->wd != wd_ || wd_ < 0) continue;  // a watch given up before
      if (e->mask & kLostMask) {
        events.list_all = true;
        Lose();
      } else if (e->len > 0 && (e->mask & (IN_CLOSE_WRITE | IN_MOVED_TO))) {
        events.names.emplace_back(e->name, ::strnlen(e->name, e->len));
      }
    }
  }
}

// The next Watch adds it afresh, once the folder is back.
void FolderWatch::Lose() {
  if (wd_ >= 0) ::inotify_rm_watch(fd_, wd_);
  wd_ = -1;
}

}  // namespace tovrin
