// What happens in a spool folder as it happens: the names of files closed
// after writing or moved in, through inotify. Events are a shortcut only: a
// full listing stays the truth, and whenever events may have been missed
// (the queue overflowed, the watch was lost with its folder) the caller is
// told to list everything.
#pragma once

#include <string>
#include <vector>

namespace tovrin {

class FolderWatch {
 public:
  FolderWatch() = default;
  ~FolderWatch();
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;

  // Watches `folder` (again, when the watch was lost or the folder is
  // another one); a no-op while it already does. False with `error` when
  // the folder cannot be watched: the caller then lists it on its interval.
  bool Watch(const std::string& folder, std::string& error);
  bool Watching() const { return wd_ >= 0; }
  // Readable when events wait; -1 before the first Watch.
  int Fd() const { return fd_; }

  struct Events {
    std::vector<std::string> names;  // closed after writing, or moved in
    bool list_all = false;           // events were lost: list the whole folder
  };
  // What has arrived since the last call, without blocking.
  Events Take();

 private:
  void Read(Events& events);
  void Lose();

  int fd_ = -1;
  int wd_ = -1;
  std::string folder_;
};

}  // namespace tovrin
