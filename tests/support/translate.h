// Translates an OFI built in memory and returns the GLF body.
#pragma once

#include <string>

#include <initializer_list>

#include "ofi_builder.h"
#include "pe_encoding.h"
#include "translate/reader_cycle.h"

namespace tovrin::test {

inline const std::string kPreamble = "\x1b%-1BBPIN";
inline const std::string kTrailer1 = "PUSP0\033E";

struct Translated {
  std::string glf;
  DrawingResult result;
  // The GLF without preamble and one-copy trailer (empty when they differ).
  std::string Body() const {
    if (glf.rfind(kPreamble, 0) != 0 || glf.size() < kPreamble.size() + kTrailer1.size() ||
        glf.compare(glf.size() - kTrailer1.size(), kTrailer1.size(), kTrailer1) != 0)
      return "<unframed>" + glf;
    return glf.substr(kPreamble.size(), glf.size() - kPreamble.size() - kTrailer1.size());
  }
};

inline Translated Translate(JobContext& job, const OfiBuilder& ofi) {
  GlfWriter out;
  std::vector<uint8_t> bytes = ofi.Bytes();
  Translated t;
  t.result = TranslateDrawing(job, bytes, out, [] { return true; });
  t.glf = out.Bytes();
  return t;
}

inline Translated Translate(const PlotSettings& settings, const OfiBuilder& ofi) {
  JobContext job(MakeSnapshot(settings));
  return Translate(job, ofi);
}

}  // namespace tovrin::test
