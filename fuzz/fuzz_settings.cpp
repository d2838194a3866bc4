// Any bytes as Tovrin.sys: reading ends, and what it keeps is a usable
// setting (it formats back to text).
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_check.h"
#include "settings/plot_settings.h"
#include "settings/settings_store.h"

namespace {

// In memory where the system has it: the reader takes a path.
std::string ScratchPath() {
  const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return std::string(folder) + "/tovrin-fuzz-" + std::to_string(getpid()) + ".sys";
}

void RemoveScratch();

// One scratch file for the whole run, kept open, rewritten in place by every
// input and removed at the end.
struct Scratch {
  std::string path = ScratchPath();
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
};

const Scratch& TheScratch() {
  static const Scratch scratch;
  static const int removed_at_exit = std::atexit(RemoveScratch);
  (void)removed_at_exit;
  return scratch;
}

void RemoveScratch() { ::unlink(TheScratch().path.c_str()); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Scratch& scratch = TheScratch();
  FUZZ_CHECK(scratch.fd >= 0);
  FUZZ_CHECK(::ftruncate(scratch.fd, 0) == 0);
  FUZZ_CHECK(::pwrite(scratch.fd, data, size, 0) == static_cast<ssize_t>(size));
  const std::string& path = scratch.path;
  tovrin::PlotSettings settings = tovrin::PlotSettings::Defaults("/tmp");
  FUZZ_CHECK(tovrin::LoadSettingsFile(path, settings));
  // Every kept value formats back to text; a number setting never to nothing.
  for (const tovrin::SettingInfo& info : tovrin::SettingTable()) {
    const std::string text = tovrin::SettingText(settings, info);
    FUZZ_CHECK(info.kind() == tovrin::SettingKind::Text || !text.empty());
  }
  return 0;
}
