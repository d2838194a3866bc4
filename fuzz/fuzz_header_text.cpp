// Any bytes as the start of a drawing: its header text is always 21
// characters without a NUL, whatever the name fields hold.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "fuzz_check.h"
#include "job/header_text.h"
#include "platform/cp932.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = tovrin::HeaderText(std::span<const uint8_t>(data, size));
  FUZZ_CHECK(tovrin::Utf8Length(text) == 21);
  FUZZ_CHECK(text.find('\0') == std::string::npos);
  return 0;
}
