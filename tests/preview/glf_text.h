// Pieces of GLF text for the preview tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "pe_encoding.h"

namespace tovrin::preview::test {

inline const std::string kEtx = "\x03";
inline const std::string kNulEtx = std::string("\x00\x03", 2);
inline const std::string kPreamble = "\x1b%-1BBPIN";
inline const std::string kTrailer = "PUSP0\033E";

// The base-64 numbers of PE, as the translation writes them.
inline std::string Encoded(std::initializer_list<int64_t> values) {
  return tovrin::test::Enc(values);
}

// A pen-up absolute move, as before every label.
inline std::string MoveTo(int64_t x, int64_t y) { return "PE<=" + Encoded({x, y}) + ";"; }

// A4 portrait plot area with user units equal to plotter units.
inline std::string A4Sheet(const std::string& rotation = "0") {
  return kPreamble + "RO" + rotation + "IP0,0,8400,11880SC0,8400,0,11880,0SP1";
}

}  // namespace tovrin::preview::test
