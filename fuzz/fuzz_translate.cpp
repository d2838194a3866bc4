// Any bytes as an OFI drawing, translated under one of several settings: the
// translation ends, and the GLF is framed by its preamble and trailer.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "fuzz_check.h"
#include "ofi/glf_writer.h"
#include "ofi/job_snapshot.h"
#include "settings/plot_settings.h"
#include "translate/reader_cycle.h"

namespace {

using tovrin::PlotSettings;

// The first byte picks the settings: fonts, plotter kind, reduction, margins.
PlotSettings SettingsFor(uint8_t choice) {
  PlotSettings s = PlotSettings::Defaults("/tmp");
  s.MojiE = (choice & 1) ? "全角" : "半角";
  s.MojiK = (choice & 2) ? "全角" : "半角";
  static const char* const kPlotters[] = {"A1ﾌﾟﾛｯﾀﾛｰﾙ紙", "A0ﾌﾟﾛｯﾀﾛｰﾙ紙", "A0ﾌﾟﾛｯﾀｶｯﾄ紙",
                                          "A1ﾌﾟﾛｯﾀｶｯﾄ紙"};
  s.Plot = kPlotters[(choice >> 2) & 3];
  static const char* const kReductions[] = {"100", "A3", "50", "A0"};
  s.OfiS = kReductions[(choice >> 4) & 3];
  if (choice & 0x40) {
    s.OfiMajX = 12.5f;
    s.OfiMajY = 7;
  }
  if (choice & 0x80) {
    s.OfiB4 = "横";
    s.MojiX = 0.1f;
    s.MojiW = -0.2f;
  }
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  tovrin::JobContext job(tovrin::MakeSnapshot(SettingsFor(data[0])));
  const std::span<const uint8_t> ofi(data + 1, size - 1);
  // Twice in one job: what a drawing leaves behind must not upset the next.
  for (int drawing = 0; drawing < 2; ++drawing) {
    tovrin::GlfWriter out;
    tovrin::TranslateDrawing(job, ofi, out, [] { return true; });
    const std::string& glf = out.Bytes();
    FUZZ_CHECK(glf.rfind("\x1b%-1BBPIN", 0) == 0);
    FUZZ_CHECK(glf.size() >= 11 && glf.compare(glf.size() - 2, 2, "\033E") == 0);
  }
  return 0;
}
