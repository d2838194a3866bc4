// Number formatting with "#"/"0" patterns, halves rounded away from zero.
#pragma once

#include <string>
#include <string_view>

namespace tovrin {

// The value is first taken to 15 significant decimal digits, then rounded to
// the pattern's last placeholder. "#" digits are written only when
// significant, "0" digits always; a value that rounds to zero has no "-".
// Examples: (2.5, "##") -> "3", (0.5, "###.0####") -> ".5", (0, "########")
// -> "", (-90, "###.0####") -> "-90.0", (2.125, "##0.0####") -> "2.125".
std::string FormatNumber(double value, std::string_view pattern);

}  // namespace tovrin
