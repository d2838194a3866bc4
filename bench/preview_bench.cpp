// Preview speed: a 10 MB GLF of the kind the translation writes (lines,
// polylines, dashed runs, arcs, circles, filled areas, labels) rendered to
// a 2000 x 1400 PNG. Target: the whole of it in under a second.
//
//   tovrin_preview_bench [--glf_mb=10] [--write_glf=FILE] [benchmark flags]

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QImage>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>

#include "geometry/encode_points.h"
#include "ofi/glf_writer.h"
#include "preview/hpgl_parser.h"
#include "preview/preview_render.h"

namespace tovrin::preview {
namespace {

size_t g_glf_mb = 10;
const QSize kImageSize(2000, 1400);

std::string Encoded(std::initializer_list<int64_t> values) {
  GlfWriter w;
  EncodePoints(w, values);
  return w.Bytes();
}

// An A1 sheet filled at random with what drawings are made of, in the
// sizes of detail drawings: strokes of a few millimetres to a few
// centimetres, holes and arcs up to 4 cm across, wandering over the sheet.
std::string MakeGlf(size_t target_bytes) {
  std::mt19937 rng(4242);
  auto r = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const char* pens[] = {"SP1LT;", "SP2LT;", "SP3LT;", "SP3LT2,1.6;", "SP2LT5,8.0;", "SP4LT;"};
  std::string glf = "\x1b%-1BBPINRO0IP0,0,23760,33640SC0,23760,0,33640,0SD1,11,6,2SSAD1,1643,6,2,7,50SP2";
  glf.reserve(target_bytes + 4096);
  int fx = 12000, fy = 16000;
  while (glf.size() < target_bytes) {
    glf += pens[r(0, 5)];
    // Drawings are drawn feature by feature: each stroke starts near the last.
    for (int i = 0; i < 40; ++i) {
      fx = std::clamp(fx + r(-1500, 1500), 500, 23000);
      fy = std::clamp(fy + r(-1500, 1500), 500, 33000);
      const int x = fx, y = fy;
      switch (r(0, 19)) {
        case 0:
          glf += "PE<=" + Encoded({x, y}) + ";PDAA" + std::to_string(x + r(-800, 800)) + "," +
                 std::to_string(y + r(-800, 800)) + "," + std::to_string(r(-270, 270)) + ".5";
          break;
        case 1:
          glf += "PE<=" + Encoded({x, y}) + ";CI" + std::to_string(r(40, 800));
          break;
        case 2:
          glf += "PE<=" + Encoded({x, y}) + ";PM0PE=" + Encoded({x + 400, y}) + ";PE=" + Encoded({x + 400, y + 300}) +
                 ";PE=" + Encoded({x, y + 300}) + ";PM2FPEP";
          break;
        case 3:
          glf += "DI0.0,1.0;SSSI0.35,0.5LM0PE<=" + Encoded({x, y}) + ";LB" + std::string(1, char(r(0x41, 0x5A))) +
                 "\x03";
          break;
        case 4:
        case 5:
        case 6: {
          glf += "PE<=" + Encoded({x, y});
          for (int k = 0; k < 10; ++k) glf += Encoded({r(-150, 150), r(-150, 150)});
          glf += ";";
          break;
        }
        default:
          glf += "PE<=" + Encoded({x, y, r(-600, 600), r(-600, 600)}) + ";";
      }
    }
  }
  return glf + "PUSP0\x1b" "E";
}

const std::string& Glf() {
  static const std::string glf = MakeGlf(g_glf_mb << 20);
  return glf;
}

void BM_Parse(benchmark::State& state) {
  size_t points = 0, items = 0;
  for (auto _ : state) {
    const PlotPicture picture = ParseGlf(Glf());
    points = picture.points.size();
    items = picture.items.size();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Glf().size()));
  state.counters["points"] = static_cast<double>(points);
  state.counters["items"] = static_cast<double>(items);
}

// Argument: antialiasing on (1) or off (0).
void BM_Render(benchmark::State& state) {
  EnsureGuiApplication();
  const PlotPicture picture = ParseGlf(Glf());
  RenderOptions options;
  options.antialias = state.range(0) != 0;
  for (auto _ : state) benchmark::DoNotOptimize(RenderImage(picture, kImageSize, options));
}

// What the target is about: bytes in, PNG out.
void BM_GlfToPng(benchmark::State& state) {
  EnsureGuiApplication();
  for (auto _ : state) {
    const QImage image = RenderImage(ParseGlf(Glf()), kImageSize);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    benchmark::DoNotOptimize(png.size());
  }
  state.counters["glf_MB"] = static_cast<double>(Glf().size()) / (1 << 20);
}

BENCHMARK(BM_Parse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Render)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GlfToPng)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tovrin::preview

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--glf_mb=", 9) == 0) {
      tovrin::preview::g_glf_mb = std::strtoul(argv[i] + 9, nullptr, 10);
    } else if (std::strncmp(argv[i], "--write_glf=", 12) == 0) {
      std::ofstream(argv[i] + 12, std::ios::binary) << tovrin::preview::Glf();
      return 0;
    }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
