// The header text of a drawing shown in the job log and the file chooser.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tovrin {

// Bytes 108..123 in four groups of 4, ",", bytes 124..127: each group decoded
// from code page 932, NUL shown as a blank, padded or cut to 4 characters, so
// the text is always 21 characters. Missing bytes count as NUL.
std::string HeaderText(std::span<const uint8_t> file_start);

// The 21-character header of a drawing whose header cannot be read.
std::string BlankHeaderText();

}  // namespace tovrin
