// Conversion between UTF-8 and code page 932 (Windows-31J) through iconv.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tovrin {

// UTF-8 to code page 932; nullopt when a character cannot be encoded or the
// input is not UTF-8.
std::optional<std::string> ToCp932(std::string_view utf8);

// Like ToCp932, but each character that cannot be encoded becomes "?".
std::string ToCp932Lossy(std::string_view utf8);

// Code page 932 to UTF-8; bytes that do not form a character become "?".
std::string FromCp932(std::string_view cp932);

// Code page 932 to UTF-8; nullopt when a byte does not form a character.
std::optional<std::string> FromCp932Exact(std::string_view cp932);

// Number of characters (code points) of a UTF-8 text.
size_t Utf8Length(std::string_view utf8);

}  // namespace tovrin
