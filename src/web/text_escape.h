// Texts from drawings (file names, header texts, spooler reasons) are bytes
// anyone who can write the spool folder chooses: they reach a page or a JSON
// document only through these.
#pragma once

#include <string>
#include <string_view>

namespace tovrin::web {

// The text with every byte that is not part of well-formed UTF-8 (stray
// continuation bytes, overlong forms, surrogates, past U+10FFFF, cut short)
// replaced by U+FFFD.
std::string ValidUtf8(std::string_view text);

// For HTML text and quoted attribute values: & < > " ' as character
// references, control characters as U+FFFD, invalid UTF-8 as U+FFFD.
std::string EscapeHtml(std::string_view text);

// A JSON string, quotes included: valid UTF-8 whatever the bytes, with
// controls, < > & and U+2028/U+2029 as \u escapes so that it is safe inside
// a script as well.
std::string JsonQuoted(std::string_view text);

// Every byte but A-Z a-z 0-9 - . _ ~ as %XX: one URL path segment.
std::string PercentEncode(std::string_view text);

}  // namespace tovrin::web
