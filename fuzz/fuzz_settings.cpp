// Any bytes as Tovrin.sys: reading ends, and what it keeps is a usable
// setting (it formats back to text).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
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

// One scratch file for the whole run, rewritten by every input and removed
// at the end.
const std::string& Scratch() {
  static const std::string path = ScratchPath();
  static const int removed_at_exit = std::atexit(RemoveScratch);
  (void)removed_at_exit;
  return path;
}

void RemoveScratch() { std::remove(Scratch().c_str()); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = Scratch();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(f != nullptr);
  FUZZ_CHECK(std::fwrite(data, 1, size, f) == size);
  std::fclose(f);
  tovrin::PlotSettings settings = tovrin::PlotSettings::Defaults("/tmp");
  FUZZ_CHECK(tovrin::LoadSettingsFile(path, settings));
  // Every kept value formats back to text; a number setting never to nothing.
  for (const tovrin::SettingInfo& info : tovrin::SettingTable()) {
    const std::string text = tovrin::SettingText(settings, info);
    FUZZ_CHECK(info.kind() == tovrin::SettingKind::Text || !text.empty());
  }
  return 0;
}
